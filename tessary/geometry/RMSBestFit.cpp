#include "tessary/geometry/RMSBestFit.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "tessary/geometry/QuadraticMatrix.h"

namespace Tessary {

namespace {

// Everything a fit needs from A and B, gathered in one pass over the points:
// the single-precision coordinate sums that define the centroids, and double
// sums of the coordinates and of their products from which the correlation
// about those centroids follows without a second pass.
struct FitSums {
    float sumA[3] = {0.0f, 0.0f, 0.0f};
    float sumB[3] = {0.0f, 0.0f, 0.0f};
    double a[3] = {0.0, 0.0, 0.0};
    double b[3] = {0.0, 0.0, 0.0};
    double ab[3][3] = {{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
};

// Point3d is three packed floats; the SSE2 paths below load four floats
// from a point (the fourth belongs to the next point and is ignored), so the
// last point of an array always takes the scalar path.
#if defined(__SSE2__)
#define TESSARY_FIT_SSE2 1
inline __m128 LoadWithNext(const Point3d* p) { return _mm_loadu_ps(&p->x); }
inline __m128d Low(__m128d v) { return _mm_unpacklo_pd(v, v); }
inline __m128d High(__m128d v) { return _mm_unpackhi_pd(v, v); }
#endif

void Accumulate(const Point3d* A, const Point3d* B, int n, FitSums& s) {
    float fa0 = 0.0f, fa1 = 0.0f, fa2 = 0.0f, fb0 = 0.0f, fb1 = 0.0f, fb2 = 0.0f;
    double a0 = 0.0, a1 = 0.0, a2 = 0.0, b0 = 0.0, b1 = 0.0, b2 = 0.0;
    double s00 = 0.0, s01 = 0.0, s02 = 0.0, s10 = 0.0, s11 = 0.0, s12 = 0.0, s20 = 0.0, s21 = 0.0, s22 = 0.0;
    int i = 0;
#if defined(TESSARY_FIT_SSE2)
    {
        // Lane by lane the single-precision sums are the plain sequential ones.
        __m128 fa = _mm_setzero_ps(), fb = _mm_setzero_ps();
        __m128d axySum = _mm_setzero_pd(), azSum = axySum, bxySum = axySum, bzSum = axySum;
        __m128d row0 = axySum, row1 = axySum, row2 = axySum, colZ = axySum, zz = axySum;
        for (; i + 1 < n; ++i) {
            const __m128 a4 = LoadWithNext(A + i);
            const __m128 b4 = LoadWithNext(B + i);
            fa = _mm_add_ps(fa, a4);
            fb = _mm_add_ps(fb, b4);
            const __m128d axy = _mm_cvtps_pd(a4), azw = _mm_cvtps_pd(_mm_movehl_ps(a4, a4));
            const __m128d bxy = _mm_cvtps_pd(b4), bzw = _mm_cvtps_pd(_mm_movehl_ps(b4, b4));
            axySum = _mm_add_pd(axySum, axy);
            azSum = _mm_add_pd(azSum, azw);
            bxySum = _mm_add_pd(bxySum, bxy);
            bzSum = _mm_add_pd(bzSum, bzw);
            row0 = _mm_add_pd(row0, _mm_mul_pd(Low(axy), bxy));   // (ax bx, ax by)
            row1 = _mm_add_pd(row1, _mm_mul_pd(High(axy), bxy));  // (ay bx, ay by)
            row2 = _mm_add_pd(row2, _mm_mul_pd(Low(azw), bxy));   // (az bx, az by)
            colZ = _mm_add_pd(colZ, _mm_mul_pd(axy, Low(bzw)));   // (ax bz, ay bz)
            zz = _mm_add_pd(zz, _mm_mul_pd(azw, bzw));            // (az bz, -)
        }
        alignas(16) float f[4];
        _mm_store_ps(f, fa);
        fa0 = f[0], fa1 = f[1], fa2 = f[2];
        _mm_store_ps(f, fb);
        fb0 = f[0], fb1 = f[1], fb2 = f[2];
        alignas(16) double d[2];
        _mm_store_pd(d, axySum);
        a0 = d[0], a1 = d[1];
        a2 = _mm_cvtsd_f64(azSum);
        _mm_store_pd(d, bxySum);
        b0 = d[0], b1 = d[1];
        b2 = _mm_cvtsd_f64(bzSum);
        _mm_store_pd(d, row0);
        s00 = d[0], s01 = d[1];
        _mm_store_pd(d, row1);
        s10 = d[0], s11 = d[1];
        _mm_store_pd(d, row2);
        s20 = d[0], s21 = d[1];
        _mm_store_pd(d, colZ);
        s02 = d[0], s12 = d[1];
        s22 = _mm_cvtsd_f64(zz);
    }
#endif
    for (; i < n; ++i) {
        const float ax = A[i].x, ay = A[i].y, az = A[i].z;
        const float bx = B[i].x, by = B[i].y, bz = B[i].z;
        fa0 += ax;
        fa1 += ay;
        fa2 += az;
        fb0 += bx;
        fb1 += by;
        fb2 += bz;
        const double dax = ax, day = ay, daz = az, dbx = bx, dby = by, dbz = bz;
        a0 += dax;
        a1 += day;
        a2 += daz;
        b0 += dbx;
        b1 += dby;
        b2 += dbz;
        s00 += dax * dbx;
        s01 += dax * dby;
        s02 += dax * dbz;
        s10 += day * dbx;
        s11 += day * dby;
        s12 += day * dbz;
        s20 += daz * dbx;
        s21 += daz * dby;
        s22 += daz * dbz;
    }
    s.sumA[0] = fa0;
    s.sumA[1] = fa1;
    s.sumA[2] = fa2;
    s.sumB[0] = fb0;
    s.sumB[1] = fb1;
    s.sumB[2] = fb2;
    s.a[0] = a0;
    s.a[1] = a1;
    s.a[2] = a2;
    s.b[0] = b0;
    s.b[1] = b1;
    s.b[2] = b2;
    const double ab[3][3] = {{s00, s01, s02}, {s10, s11, s12}, {s20, s21, s22}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) s.ab[r][c] = ab[r][c];
}

// The centroids (single-precision sums divided by n, stored as points) and
// the correlation R[r][c] = sum over the points of (A - cA)[r] * (B - cB)[c].
struct Fit {
    double cA[3];
    double cB[3];
    double R[3][3];
};

Fit Correlate(const Point3d::Array& A, const Point3d::Array& B, int n) {
    FitSums s;
    Accumulate(A.GetData(), B.GetData(), n, s);
    Fit fit;
    const double count = n;
    for (int r = 0; r < 3; ++r) {
        fit.cA[r] = static_cast<float>(s.sumA[r] / count);
        fit.cB[r] = static_cast<float>(s.sumB[r] / count);
    }
    // sum (a - cA)(b - cB) = sum ab - sum(a) cB - cA sum(b) + n cA cB
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            fit.R[r][c] = s.ab[r][c] - s.a[r] * fit.cB[c] - fit.cA[r] * s.b[c] + count * fit.cA[r] * fit.cB[c];
    return fit;
}

// p' = p * M + t for every point of C, computed in double (the vector path
// adds in the same order as the scalar one, so both round alike).
void ApplyMotion(const double M[3][3], const double t[3], Point3d::Array& C) {
    Point3d* p = C.GetData();
    const int n = C.GetSize();
    const double m00 = M[0][0], m01 = M[0][1], m02 = M[0][2];
    const double m10 = M[1][0], m11 = M[1][1], m12 = M[1][2];
    const double m20 = M[2][0], m21 = M[2][1], m22 = M[2][2];
    const double t0 = t[0], t1 = t[1], t2 = t[2];
    int i = 0;
#if defined(TESSARY_FIT_SSE2)
    const __m128d row0 = _mm_set_pd(m01, m00), row1 = _mm_set_pd(m11, m10), row2 = _mm_set_pd(m21, m20);
    const __m128d txy = _mm_set_pd(t1, t0), col2 = _mm_set_pd(m12, m02);
    const __m128d z2 = _mm_set_sd(m22), tz = _mm_set_sd(t2);
    for (; i + 1 < n; ++i) {
        const __m128 p4 = LoadWithNext(p + i);
        const __m128d xy = _mm_cvtps_pd(p4), zw = _mm_cvtps_pd(_mm_movehl_ps(p4, p4));
        const __m128d x = Low(xy), y = High(xy), z = Low(zw);
        const __m128d outXY = _mm_add_pd(
            _mm_add_pd(_mm_add_pd(_mm_mul_pd(x, row0), _mm_mul_pd(y, row1)), _mm_mul_pd(z, row2)), txy);
        const __m128d zTerms = _mm_mul_pd(xy, col2);
        __m128d outZ = _mm_add_sd(zTerms, High(zTerms));
        outZ = _mm_add_sd(_mm_add_sd(outZ, _mm_mul_sd(zw, z2)), tz);
        _mm_storel_pi(reinterpret_cast<__m64*>(&p[i].x), _mm_cvtpd_ps(outXY));
        _mm_store_ss(&p[i].z, _mm_cvtsd_ss(_mm_setzero_ps(), outZ));
    }
#endif
    for (; i < n; ++i) {
        const double x = p[i].x, y = p[i].y, z = p[i].z;
        p[i].x = static_cast<float>(x * m00 + y * m10 + z * m20 + t0);
        p[i].y = static_cast<float>(x * m01 + y * m11 + z * m21 + t1);
        p[i].z = static_cast<float>(x * m02 + y * m12 + z * m22 + t2);
    }
}

void Translate(Point3d::Array& C, const Point3d& from, const Point3d& to) {
    const double t[3] = {double(to.x) - from.x, double(to.y) - from.y, double(to.z) - from.z};
    const double identity[3][3] = {{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};
    ApplyMotion(identity, t, C);
}

// Translation that completes the rotation: t = cB - cA * M.
void TranslationFor(const Fit& fit, const double M[3][3], double t[3]) {
    for (int c = 0; c < 3; ++c) t[c] = fit.cB[c] - (fit.cA[0] * M[0][c] + fit.cA[1] * M[1][c] + fit.cA[2] * M[2][c]);
}

constexpr double kAxisRotationRule = 0.001;
constexpr int kMaxAxisSteps = 101;

}  // namespace

void RMSBestFit(const Point3d::Array& A, const Point3d::Array& B, Point3d::Array& C) {
    const int n = A.GetSize();
    if (n < 1 || B.GetSize() < n) return;
    if (n == 1) {
        Translate(C, A[0], B[0]);
        return;
    }
    Fit fit = Correlate(A, B, n);
    double (&R)[3][3] = fit.R;
    double U[3][3] = {{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};

    // Each step turns about one axis by the angle that maximises trace(U R)
    // for that axis alone; a full cycle without a turn means convergence.
    bool turnedThisCycle = false;
    for (int step = 0; step < kMaxAxisSteps; ++step) {
        const int axis = step % 3;
        const int f = (axis + 1) % 3;
        const int k = (axis + 2) % 3;
        const double sig = R[k][f] - R[f][k];
        const double gam = R[f][f] + R[k][k];
        const double h = std::sqrt(sig * sig + gam * gam);
        if (h != 0.0 && std::fabs(sig) > kAxisRotationRule * std::fabs(gam)) {
            for (double(*m)[3] : {R, U}) {
                for (int j = 0; j < 3; ++j) {
                    const double rf = m[f][j];
                    const double rk = m[k][j];
                    m[f][j] = (gam * rf + sig * rk) / h;
                    m[k][j] = (gam * rk - sig * rf) / h;
                }
            }
            turnedThisCycle = true;
        }
        if (axis == 2) {
            if (!turnedThisCycle) break;
            turnedThisCycle = false;
        }
    }

    // U acts on column vectors; the row-vector form of the motion is U^T.
    double M[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) M[r][c] = U[c][r];
    double t[3];
    TranslationFor(fit, M, t);
    ApplyMotion(M, t, C);
}

namespace RMSBestFitTools {

bool FindAndApplyTransformation(const Point3d::Array& A, const Point3d::Array& B, Point3d::Array& C) {
    const int n = A.GetSize();
    if (n == 0 || B.GetSize() != n || C.GetSize() == 0) return false;
    if (n == 1) {
        Translate(C, A[0], B[0]);
        return true;
    }
    const Fit fit = Correlate(A, B, n);
    const double(&S)[3][3] = fit.R;
    const double sxx = S[0][0], sxy = S[0][1], sxz = S[0][2];
    const double syx = S[1][0], syy = S[1][1], syz = S[1][2];
    const double szx = S[2][0], szy = S[2][1], szz = S[2][2];

    // The quaternion of the best rotation is the eigenvector of the largest
    // eigenvalue of this symmetric matrix.
    double N[4][4];
    N[0][0] = sxx + syy + szz;
    N[0][1] = syz - szy;
    N[0][2] = szx - sxz;
    N[0][3] = sxy - syx;
    N[1][1] = sxx - syy - szz;
    N[1][2] = sxy + syx;
    N[1][3] = sxz + szx;
    N[2][2] = -sxx + syy - szz;
    N[2][3] = syz + szy;
    N[3][3] = -sxx - syy + szz;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < i; ++j) N[i][j] = N[j][i];

    double V[4][4];
    double values[4];
    const double* rowsN[4] = {N[0], N[1], N[2], N[3]};
    double* rowsV[4] = {V[0], V[1], V[2], V[3]};
    // The residual check is not wanted here: a zero eigenvalue (planar or
    // collinear sets) fails it although the largest one is sound.
    const detail::EigenOutcome outcome = detail::DecomposeSymmetric(rowsN, rowsV, 4, values, false);
    if (outcome == detail::EigenOutcome::Rejected || outcome == detail::EigenOutcome::NoConvergence) return false;

    const double q0 = V[0][0], q1 = V[1][0], q2 = V[2][0], q3 = V[3][0];
    const double M[3][3] = {
        {q0 * q0 + q1 * q1 - q2 * q2 - q3 * q3, 2.0 * (q1 * q2 + q0 * q3), 2.0 * (q1 * q3 - q0 * q2)},
        {2.0 * (q1 * q2 - q0 * q3), q0 * q0 - q1 * q1 + q2 * q2 - q3 * q3, 2.0 * (q2 * q3 + q0 * q1)},
        {2.0 * (q1 * q3 + q0 * q2), 2.0 * (q2 * q3 - q0 * q1), q0 * q0 - q1 * q1 - q2 * q2 + q3 * q3},
    };
    double t[3];
    TranslationFor(fit, M, t);
    ApplyMotion(M, t, C);
    return true;
}

void FindPlane(const Point3d::Array& points, Point3d& centre, Point3d& normal) {
    const int n = points.GetSize();
    normal = Point3d(0.0, 0.0, 1.0);
    if (n == 0) {
        centre = Point3d(0.0, 0.0, 0.0);
        return;
    }
    if (n == 1) {
        centre = points[0];
        return;
    }
    const double share = 1.0 / n;
    Point3d sum;
    for (const Point3d& p : points) sum += p * share;
    centre = sum;

    double S[3][3] = {{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
    const double c[3] = {centre.x, centre.y, centre.z};
    for (const Point3d& p : points) {
        const double d[3] = {p.x - c[0], p.y - c[1], p.z - c[2]};
        for (int r = 0; r < 3; ++r)
            for (int k = r; k < 3; ++k) S[r][k] += d[r] * d[k];
    }
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < r; ++k) S[r][k] = S[k][r];

    double V[3][3];
    double values[3];
    const double* rowsS[3] = {S[0], S[1], S[2]};
    double* rowsV[3] = {V[0], V[1], V[2]};
    const detail::EigenOutcome outcome = detail::DecomposeSymmetric(rowsS, rowsV, 3, values, false);
    if (outcome == detail::EigenOutcome::Rejected || outcome == detail::EigenOutcome::NoConvergence) return;
    normal = Point3d(V[0][2], V[1][2], V[2][2]);
}

}  // namespace RMSBestFitTools

}  // namespace Tessary
