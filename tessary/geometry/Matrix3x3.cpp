#include "tessary/geometry/Matrix3x3.h"

#include <cfloat>
#include <cmath>

#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/detail/PointBlocks.h"

namespace Tessary {

Matrix3x3& Matrix3x3::operator=(const Matrix4x4& m) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m_m[i * 3 + j] = m(i, j);
    return *this;
}

namespace {

// Golub-Kahan singular value decomposition of a 3 x 3 matrix by Givens
// rotations. The invariant a = U * A * V holds throughout: a rotation of rows
// of A is undone in the columns of U, a rotation of columns of A in the rows
// of V.
class Svd3 {
public:
    Svd3(const double* a) {
        for (int k = 0; k < 9; ++k) {
            m_a[k / 3][k % 3] = a[k];
            m_u[k / 3][k % 3] = m_v[k / 3][k % 3] = (k % 4 == 0) ? 1.0 : 0.0;
        }
    }

    bool Run() {
        Bidiagonalize();
        bool converged = false;
        // A 3 x 3 converges in a handful of sweeps; the cap only stops
        // non-finite input, which never meets the tolerance.
        for (int sweep = 0; sweep < kMaxSweeps && !converged; ++sweep) converged = Step();
        SortAndFixSigns();
        return converged;
    }

    double m_a[3][3];
    double m_u[3][3];
    double m_v[3][3];

private:
    static constexpr int kMaxSweeps = 100;

    struct Rotation {
        double c = 1.0, s = 0.0;
    };
    // The rotation taking (a, b) to (r, 0); the identity when b is 0.
    static Rotation Make(double a, double b) {
        if (b == 0.0) return {};
        const double fa = std::fabs(a), fb = std::fabs(b);
        double r;
        if (fa > fb) {
            const double t = b / a;
            r = fa * std::sqrt(1.0 + t * t);
        } else {
            const double t = a / b;
            r = fb * std::sqrt(1.0 + t * t);
        }
        return {a / r, b / r};
    }
    // Rows `first` and `second` of A, compensated in the columns of U.
    void RotateRows(int first, int second, Rotation g) {
        for (int j = 0; j < 3; ++j) {
            const double p = m_a[first][j], q = m_a[second][j];
            m_a[first][j] = g.c * p + g.s * q;
            m_a[second][j] = -g.s * p + g.c * q;
            const double up = m_u[j][first], uq = m_u[j][second];
            m_u[j][first] = g.c * up + g.s * uq;
            m_u[j][second] = -g.s * up + g.c * uq;
        }
    }
    // Columns `first` and `second` of A, compensated in the rows of V.
    void RotateColumns(int first, int second, Rotation g) {
        for (int j = 0; j < 3; ++j) {
            const double p = m_a[j][first], q = m_a[j][second];
            m_a[j][first] = g.c * p + g.s * q;
            m_a[j][second] = -g.s * p + g.c * q;
            const double vp = m_v[first][j], vq = m_v[second][j];
            m_v[first][j] = g.c * vp + g.s * vq;
            m_v[second][j] = -g.s * vp + g.c * vq;
        }
    }
    // Zeroes A(second, col) against A(first, col) by a row rotation.
    void ZeroByRows(int first, int second, int col) {
        if (m_a[second][col] == 0.0) return;
        RotateRows(first, second, Make(m_a[first][col], m_a[second][col]));
        m_a[second][col] = 0.0;
    }

    void Bidiagonalize() {
        ZeroByRows(0, 1, 0);
        ZeroByRows(0, 2, 0);
        ZeroByRows(1, 2, 1);
        // Upper triangular now; clear (0, 2) and the (1, 0) that creates.
        ZeroByRows(1, 0, 2);
        if (m_a[1][0] != 0.0) {
            RotateColumns(1, 0, Make(m_a[1][1], m_a[1][0]));
            m_a[1][0] = 0.0;
        }
    }

    // One pass: deflation tests, then a QR sweep on the active block.
    // Returns true once the superdiagonal has vanished.
    bool Step() {
        double sum = 0.0;
        for (const auto& row : m_a)
            for (double v : row) sum += std::fabs(v);
        const double tol = sum * DBL_EPSILON;
        for (int i = 0; i < 2; ++i)
            if (std::fabs(m_a[i][i + 1]) <= tol) m_a[i][i + 1] = 0.0;
        if (m_a[0][1] == 0.0 && m_a[1][2] == 0.0) return true;

        // A (near) zero diagonal entry beside a live superdiagonal one: clear
        // its row by rotations against the rows below, which splits the matrix.
        for (int i = 0; i < 2; ++i) {
            if (m_a[i][i + 1] != 0.0 && std::fabs(m_a[i][i]) <= tol) {
                m_a[i][i] = 0.0;
                for (int k = i + 1; k < 3; ++k) {
                    if (m_a[i][k] == 0.0) continue;
                    RotateRows(k, i, Make(m_a[k][k], m_a[i][k]));
                    m_a[i][k] = 0.0;
                }
                return false;
            }
        }

        const int p = m_a[0][1] == 0.0 ? 1 : 0;
        const int q = m_a[1][2] == 0.0 ? 1 : 2;
        Sweep(p, q);
        return false;
    }

    // Implicit QR sweep with a Wilkinson shift on the block p..q.
    void Sweep(int p, int q) {
        const double dm = m_a[q - 1][q - 1], em = m_a[q - 1][q], dn = m_a[q][q];
        const double ep = q - 1 > p ? m_a[q - 2][q - 1] : 0.0;
        // Trailing 2 x 2 block of A^T A; the shift is its eigenvalue nearer t22.
        const double t11 = dm * dm + ep * ep, t12 = dm * em, t22 = dn * dn + em * em;
        const double delta = (t11 - t22) * 0.5;
        const double root = std::sqrt(delta * delta + t12 * t12);
        const double denom = delta + (delta >= 0.0 ? root : -root);
        const double mu = denom != 0.0 ? t22 - t12 * t12 / denom : t22;

        double y = m_a[p][p] * m_a[p][p] - mu;
        double z = m_a[p][p] * m_a[p][p + 1];
        for (int k = p; k < q; ++k) {
            RotateColumns(k, k + 1, Make(y, z));
            if (k > p) m_a[k - 1][k + 1] = 0.0;
            y = m_a[k][k];
            z = m_a[k + 1][k];
            RotateRows(k, k + 1, Make(y, z));
            m_a[k + 1][k] = 0.0;
            if (k + 1 < q) {
                y = m_a[k][k + 1];
                z = m_a[k][k + 2];
            }
        }
    }

    void SortAndFixSigns() {
        for (int i = 0; i < 3; ++i) {
            if (m_a[i][i] < 0.0) {
                m_a[i][i] = -m_a[i][i];
                for (double& v : m_v[i]) v = -v;
            }
        }
        for (int i = 0; i < 2; ++i) {
            int best = i;
            for (int k = i + 1; k < 3; ++k)
                if (m_a[k][k] > m_a[best][best]) best = k;
            if (best == i) continue;
            std::swap(m_a[i][i], m_a[best][best]);
            for (int j = 0; j < 3; ++j) {
                std::swap(m_u[j][i], m_u[j][best]);
                std::swap(m_v[i][j], m_v[best][j]);
            }
        }
    }
};

}  // namespace

bool Matrix3x3::SingularValueDecomposition(const Matrix3x3& a, Matrix3x3& u, double* d, Matrix3x3& v) {
    Svd3 svd(a.m_m);
    const bool converged = svd.Run();
    for (int i = 0; i < 3; ++i) {
        d[i] = svd.m_a[i][i];
        for (int j = 0; j < 3; ++j) {
            u.m_m[i * 3 + j] = svd.m_u[i][j];
            v.m_m[i * 3 + j] = svd.m_v[i][j];
        }
    }
    return converged;
}

namespace {

// The three passes of the principal-axes analysis over the points, plain and
// (where available) four points at a time. They add in a different order, so
// the two can differ in the last bits.

void SumScalar(const Point3d* p, int from, int n, double* sum) {
    for (int i = from; i < n; ++i) {
        sum[0] += p[i].x;
        sum[1] += p[i].y;
        sum[2] += p[i].z;
    }
}

// s = xx, xy, xz, yy, yz, zz of the deviations from c.
void ScatterScalar(const Point3d* p, int from, int n, const double* c, double* s) {
    for (int i = from; i < n; ++i) {
        const double dx = p[i].x - c[0], dy = p[i].y - c[1], dz = p[i].z - c[2];
        s[0] += dx * dx;
        s[1] += dx * dy;
        s[2] += dx * dz;
        s[3] += dy * dy;
        s[4] += dy * dz;
        s[5] += dz * dz;
    }
}

// hi[k] / lo[k]: the largest / smallest (p - c) . axis[k], kept at 0 or beyond.
void ExtentsScalar(const Point3d* p, int from, int n, const double* c, const double (*axis)[3], double* hi,
                   double* lo) {
    for (int i = from; i < n; ++i) {
        const double dx = p[i].x - c[0], dy = p[i].y - c[1], dz = p[i].z - c[2];
        for (int k = 0; k < 3; ++k) {
            const double t = dx * axis[k][0] + dy * axis[k][1] + dz * axis[k][2];
            if (t > hi[k]) hi[k] = t;
            if (t < lo[k]) lo[k] = t;
        }
    }
}

#if TESSARY_POINT_BLOCKS
TESSARY_AVX_TARGET void SumAvx(const Point3d* p, int n, double* sum) {
    __m256d sx = _mm256_setzero_pd(), sy = sx, sz = sx;
    const int blocks = n / 4;
    for (int b = 0; b < blocks; ++b) {
        __m256d x, y, z;
        detail::LoadPoints4(&p[4 * b].x, x, y, z);
        sx = _mm256_add_pd(sx, x);
        sy = _mm256_add_pd(sy, y);
        sz = _mm256_add_pd(sz, z);
    }
    sum[0] = detail::HorizontalSum(sx);
    sum[1] = detail::HorizontalSum(sy);
    sum[2] = detail::HorizontalSum(sz);
    _mm256_zeroupper();
    SumScalar(p, 4 * blocks, n, sum);
}

TESSARY_AVX_TARGET void ScatterAvx(const Point3d* p, int n, const double* c, double* s) {
    const __m256d cx = _mm256_set1_pd(c[0]), cy = _mm256_set1_pd(c[1]), cz = _mm256_set1_pd(c[2]);
    __m256d acc[6];
    for (__m256d& v : acc) v = _mm256_setzero_pd();
    const int blocks = n / 4;
    for (int b = 0; b < blocks; ++b) {
        __m256d x, y, z;
        detail::LoadPoints4(&p[4 * b].x, x, y, z);
        x = _mm256_sub_pd(x, cx);
        y = _mm256_sub_pd(y, cy);
        z = _mm256_sub_pd(z, cz);
        acc[0] = _mm256_add_pd(acc[0], _mm256_mul_pd(x, x));
        acc[1] = _mm256_add_pd(acc[1], _mm256_mul_pd(x, y));
        acc[2] = _mm256_add_pd(acc[2], _mm256_mul_pd(x, z));
        acc[3] = _mm256_add_pd(acc[3], _mm256_mul_pd(y, y));
        acc[4] = _mm256_add_pd(acc[4], _mm256_mul_pd(y, z));
        acc[5] = _mm256_add_pd(acc[5], _mm256_mul_pd(z, z));
    }
    for (int k = 0; k < 6; ++k) s[k] = detail::HorizontalSum(acc[k]);
    _mm256_zeroupper();
    ScatterScalar(p, 4 * blocks, n, c, s);
}

TESSARY_AVX_TARGET void ExtentsAvx(const Point3d* p, int n, const double* c, const double (*axis)[3], double* hi,
                                   double* lo) {
    const __m256d cx = _mm256_set1_pd(c[0]), cy = _mm256_set1_pd(c[1]), cz = _mm256_set1_pd(c[2]);
    __m256d a[3][3], vhi[3], vlo[3];
    for (int k = 0; k < 3; ++k) {
        for (int j = 0; j < 3; ++j) a[k][j] = _mm256_set1_pd(axis[k][j]);
        vhi[k] = vlo[k] = _mm256_setzero_pd();
    }
    const int blocks = n / 4;
    for (int b = 0; b < blocks; ++b) {
        __m256d x, y, z;
        detail::LoadPoints4(&p[4 * b].x, x, y, z);
        x = _mm256_sub_pd(x, cx);
        y = _mm256_sub_pd(y, cy);
        z = _mm256_sub_pd(z, cz);
        for (int k = 0; k < 3; ++k) {
            const __m256d t = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(x, a[k][0]), _mm256_mul_pd(y, a[k][1])),
                                            _mm256_mul_pd(z, a[k][2]));
            // With t first, a NaN t keeps the running value, as in the plain pass.
            vhi[k] = _mm256_max_pd(t, vhi[k]);
            vlo[k] = _mm256_min_pd(t, vlo[k]);
        }
    }
    for (int k = 0; k < 3; ++k) {
        hi[k] = detail::HorizontalMax(vhi[k]);
        lo[k] = detail::HorizontalMin(vlo[k]);
    }
    _mm256_zeroupper();
    ExtentsScalar(p, 4 * blocks, n, c, axis, hi, lo);
}
#endif

void SumPoints(const Point3d* p, int n, double* sum) {
    sum[0] = sum[1] = sum[2] = 0.0;
#if TESSARY_POINT_BLOCKS
    if (detail::HaveAvx()) return SumAvx(p, n, sum);
#endif
    SumScalar(p, 0, n, sum);
}

void ScatterPoints(const Point3d* p, int n, const double* c, double* s) {
    for (int k = 0; k < 6; ++k) s[k] = 0.0;
#if TESSARY_POINT_BLOCKS
    if (detail::HaveAvx()) return ScatterAvx(p, n, c, s);
#endif
    ScatterScalar(p, 0, n, c, s);
}

void PointExtents(const Point3d* p, int n, const double* c, const double (*axis)[3], double* hi, double* lo) {
    for (int k = 0; k < 3; ++k) hi[k] = lo[k] = 0.0;
#if TESSARY_POINT_BLOCKS
    if (detail::HaveAvx()) return ExtentsAvx(p, n, c, axis, hi, lo);
#endif
    ExtentsScalar(p, 0, n, c, axis, hi, lo);
}

}  // namespace

void Matrix3x3::PCA(const Point3d::Array& points, Point3d& centre, Point3d& axis1, Point3d& axis2, Point3d& axis3,
                    double& plus1, double& minus1, double& plus2, double& minus2, double& plus3, double& minus3) {
    const int n = points.GetSize();
    const Point3d* p = points.GetData();

    // The mean is summed in double: a float sum stalls once it is 2^24 times
    // larger than the coordinates, and large sets would get a wrong centre.
    double sum[3];
    SumPoints(p, n, sum);
    centre = n > 0 ? Point3d(sum[0] / n, sum[1] / n, sum[2] / n) : Point3d();
    const double c[3] = {centre.x, centre.y, centre.z};

    double s[6];
    ScatterPoints(p, n, c, s);
    const Matrix3x3 scatter(s[0], s[1], s[2], s[1], s[3], s[4], s[2], s[4], s[5]);
    Matrix3x3 u, v;
    double d[3];
    SingularValueDecomposition(scatter, u, d, v);
    axis1 = Point3d(u.m_m[0], u.m_m[3], u.m_m[6]);
    axis2 = Point3d(u.m_m[1], u.m_m[4], u.m_m[7]);
    axis3 = Point3d(u.m_m[2], u.m_m[5], u.m_m[8]);

    // Extents along the axes as stored (floats), so that centre + axis * plus
    // reaches the outermost point.
    const Point3d* axes[3] = {&axis1, &axis2, &axis3};
    double ax[3][3];
    for (int k = 0; k < 3; ++k) {
        ax[k][0] = axes[k]->x;
        ax[k][1] = axes[k]->y;
        ax[k][2] = axes[k]->z;
    }
    double hi[3], lo[3];
    PointExtents(p, n, c, ax, hi, lo);
    plus1 = hi[0];
    plus2 = hi[1];
    plus3 = hi[2];
    // 0 - lo, not -lo: no extent comes out as -0.
    minus1 = 0.0 - lo[0];
    minus2 = 0.0 - lo[1];
    minus3 = 0.0 - lo[2];
}

namespace {
// centre + a * s + b * t in double, rounded once.
Point3d Offset(const Point3d& centre, const Point3d& a, double s, const Point3d& b = Point3d(), double t = 0.0) {
    return Point3d(centre.x + a.x * s + b.x * t, centre.y + a.y * s + b.y * t, centre.z + a.z * s + b.z * t);
}
}  // namespace

void Matrix3x3::BestFittingLine(const Point3d::Array& points, Point3d& end1, Point3d& end2) {
    Point3d centre, axis1, axis2, axis3;
    double plus1, minus1, plus2, minus2, plus3, minus3;
    PCA(points, centre, axis1, axis2, axis3, plus1, minus1, plus2, minus2, plus3, minus3);
    end1 = Offset(centre, axis1, plus1);
    end2 = Offset(centre, axis1, -minus1);
}

void Matrix3x3::BestFittingPlane(const Point3d::Array& points, Point3d* corners) {
    Point3d centre, axis1, axis2, axis3;
    double plus1, minus1, plus2, minus2, plus3, minus3;
    PCA(points, centre, axis1, axis2, axis3, plus1, minus1, plus2, minus2, plus3, minus3);
    corners[0] = Offset(centre, axis1, plus1, axis2, plus2);
    corners[1] = Offset(centre, axis1, -minus1, axis2, plus2);
    corners[2] = Offset(centre, axis1, -minus1, axis2, -minus2);
    corners[3] = Offset(centre, axis1, plus1, axis2, -minus2);
}

bool IsPlanar(const Point3d::Array& points, double tol) {
    if (points.GetSize() < 3) return true;
    Point3d centre, axis1, axis2, axis3;
    double plus1, minus1, plus2, minus2, plus3, minus3;
    Matrix3x3::PCA(points, centre, axis1, axis2, axis3, plus1, minus1, plus2, minus2, plus3, minus3);
    return plus3 <= tol;
}

}  // namespace Tessary
