#include "tessary/geometry/Spline.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

namespace Tessary {

namespace {

using Basis = double[4][4];

void FillBasis(const double (&rows)[4][4], double divisor = 1.0) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) Spline::m_matrix[r][c] = rows[r][c] / divisor;
}

void FillAlpha(int granularity) {
    Spline::m_alpha.SetSize(granularity);
    for (int i = 0; i < granularity; ++i) Spline::m_alpha[i] = i / static_cast<double>(granularity);
}

// The Hermite basis at s, with `s0` standing in for s in the linear term of
// the start tangent.
Point3d HermitePoint(const Point3d& p0, const Point3d& p1, const Point3d& t0, const Point3d& t1, double s,
                     double s0) {
    const double s2 = s * s;
    const double s3 = s2 * s;
    const double h00 = 2.0 * s3 - 3.0 * s2 + 1.0;
    const double h01 = -2.0 * s3 + 3.0 * s2;
    const double h10 = s3 - 2.0 * s2 + s0;
    const double h11 = s3 - s2;
    return Point3d(h00 * p0.x + h01 * p1.x + h10 * t0.x + h11 * t1.x, h00 * p0.y + h01 * p1.y + h10 * t0.y + h11 * t1.y,
                   h00 * p0.z + h01 * p1.z + h10 * t0.z + h11 * t1.z);
}

}  // namespace

Spline::Spline(SplineType type)
    : m_type(type), m_granularity(6), m_tension(type == CardinalSpline ? 0.5 : 1.0), m_bias(0.0) {
    if (type != m_oldType) m_recalcMatrix = true;
    m_oldType = type;
}

Spline& Spline::SetTension(double tension) {
    m_tension = tension;
    m_recalcMatrix = true;
    return *this;
}

Spline& Spline::SetBias(double bias) {
    m_bias = bias;
    m_recalcMatrix = true;
    return *this;
}

Spline& Spline::SetGranularity(int granularity) {
    m_granularity = granularity;
    m_recalcMatrix = true;
    return *this;
}

void Spline::GetBetaMatrix() const {
    const double B = m_bias, T = m_tension;
    const double B2 = B * B, B3 = B2 * B;
    const double rows[4][4] = {
        {-2.0 * B3, 2.0 * (B + B2 + B3 + T), -2.0 * (T + B2 + B + 1.0), 2.0},
        {6.0 * B3, -3.0 * (T + 2.0 * B2 + 2.0 * B3), 3.0 * (T + 2.0 * B2), 0.0},
        {-6.0 * B3, 6.0 * (B3 - B), 6.0 * B, 0.0},
        {2.0 * B3, T + 4.0 * (B + B2), 2.0, 0.0},
    };
    FillBasis(rows, T + 2.0 * B3 + 4.0 * B2 + 4.0 * B + 2.0);
}

void Spline::GetCardinalMatrix() const {
    const double T = m_tension;
    const double rows[4][4] = {
        {-T, 2.0 - T, T - 2.0, T},
        {2.0 * T, T - 3.0, 3.0 - 2.0 * T, -T},
        {-T, 0.0, T, 0.0},
        {0.0, 1.0, 0.0, 0.0},
    };
    FillBasis(rows);
}

void Spline::GetBsplineMatrix() const {
    const double T = m_tension;
    const double k = 0.16666666666666666;
    const double rows[4][4] = {
        {-T * k, (12.0 - 9.0 * T) * k, (9.0 * T - 12.0) * k, T * k},
        {3.0 * T * k, (12.0 * T - 18.0) * k, (18.0 - 15.0 * T) * k, 0.0},
        {-3.0 * T * k, 0.0, 3.0 * T * k, 0.0},
        {T * k, (6.0 - 2.0 * T) * k, T * k, 0.0},
    };
    FillBasis(rows);
}

double Spline::Matrix(double a, double b, double c, double d, double t) const {
    const Basis& m = m_matrix;
    const double r0 = m[0][0] * a + m[0][1] * b + m[0][2] * c + m[0][3] * d;
    const double r1 = m[1][0] * a + m[1][1] * b + m[1][2] * c + m[1][3] * d;
    const double r2 = m[2][0] * a + m[2][1] * b + m[2][2] * c + m[2][3] * d;
    const double r3 = m[3][0] * a + m[3][1] * b + m[3][2] * c + m[3][3] * d;
    return ((r0 * t + r1) * t + r2) * t + r3;
}

int Spline::GetCubicSpline(const Point3d::Array& in, Point3d::Array& out) const {
    const int n = in.GetSize();
    const int g = m_granularity;
    const std::int64_t reserved = (static_cast<std::int64_t>(n) + 2) * g;
    if (g < 1 || reserved > INT_MAX) {
        out.RemoveAll();
        return 1;
    }
    out.SetSize(static_cast<int>(reserved));

    if (m_recalcMatrix) {
        switch (m_type) {
        case BetaSpline: GetBetaMatrix(); break;
        case CardinalSpline: GetCardinalMatrix(); break;
        case BSpline: GetBsplineMatrix(); break;
        case NoSpline: return 1;
        default: break;  // an unknown type evaluates with the matrix as it stands
        }
        FillAlpha(g);
        m_recalcMatrix = false;
    } else if (m_alpha.GetSize() != g) {
        // The cached parameters belong to a spline of another granularity;
        // the matrix stays shared, but a window always spans 0 to 1.
        FillAlpha(g);
    }

    const Point3d* p = in.GetData();
    Point3d* o = out.GetData();
    const double* alpha = m_alpha.GetData();
    int written = 0;
    for (int k = 0; k + 3 < n; ++k) {
        const Point3d &a = p[k], &b = p[k + 1], &c = p[k + 2], &d = p[k + 3];
        for (int j = 0; j < g; ++j) {
            const double t = alpha[j];
            o[written++] = Point3d(Matrix(a.x, b.x, c.x, d.x, t), Matrix(a.y, b.y, c.y, d.y, t),
                                   Matrix(a.z, b.z, c.z, d.z, t));
        }
    }
    out.SetSize(written);
    return 1;
}

int Spline::GetHermiteSpline(Point3d::Array& points, int count, Point3d::Array& out, const Point3d* before,
                             const Point3d* after, int passes, int perSegment, double scale) const {
    const int size = points.GetSize();
    const std::int64_t reserved = static_cast<std::int64_t>(size) * (static_cast<std::int64_t>(perSegment) + 1);
    if (count < 2 || count > size || perSegment < 1 || reserved > INT_MAX) {
        out.RemoveAll();
        return 0;
    }
    out.SetSize(static_cast<int>(reserved));

    const int m = count - 1;
    Point3d* P = points.GetData();
    std::vector<Point3d> D(static_cast<std::size_t>(count)), B(D.size()), T(D.size());

    for (int j = 1; j < m; ++j) {
        D[j] = P[j + 1] - P[j - 1];
        B[j] = (P[j] - P[j - 1]).Cross(P[j + 1] - P[j]);
    }
    D[0] = before ? P[0] - *before : 0.3 * D[1];
    B[0] = B[1];
    D[m] = after ? *after - P[m] : 0.3 * D[m - 1];
    B[m] = B[m - 1];
    for (int j = 0; j <= m; ++j) {
        D[j].Normalize();
        B[j].Normalize();
        // The unit direction tilted away from the binormal by about 11 degrees.
        T[j] = (0.9816 * D[j] - 0.1908 * B[j]) * scale;
    }

    if (passes != 0) {
        if (passes > 0) {
            std::vector<Point3d> old(P, P + count);
            for (int pass = 0; pass < passes; ++pass) {
                for (int j = 1; j < m; ++j) P[j] = 0.5 * (old[j] + 0.5 * (old[j - 1] + old[j + 1]));
                std::copy(P, P + count, old.begin());
            }
        }
        for (int j = 1; j < m; ++j) T[j] = P[j + 1] - P[j - 1];
        if (!before) T[0] = P[1] - P[0];
        if (!after) T[m] = P[m] - P[m - 1];
        for (int j = 0; j <= m; ++j) T[j] = T[j].Normalize() * scale;
    }

    int start = 0;
    for (int i = 0; i < m; ++i) {
        Hermite1to4(P[i], P[i + 1], T[i], T[i + 1], out, start, perSegment);
        start += perSegment - 1;
    }
    return m * (perSegment - 1) + 1;
}

Point3d Spline::HermiteSingle(const Point3d& p0, const Point3d& p1, const Point3d& t0, const Point3d& t1,
                              const double& s) {
    return HermitePoint(p0, p1, t0, t1, s, s);
}

void Spline::Hermite1to4(const Point3d& p0, const Point3d& p1, const Point3d& t0, const Point3d& t1,
                         Point3d::Array& out, int start, int count) {
    if (count <= 0 || start < 0) return;
    const int last = std::min(count, out.GetSize() - start);
    const double span = count > 1 ? count - 1 : 1.0;  // one point: the start only
    for (int i = 0; i < last; ++i) {
        const double s = i / span;
        const double s0 = std::fabs(s - 1.0) < 0.001 ? 1.0 : s;
        out[start + i] = HermitePoint(p0, p1, t0, t1, s, s0);
    }
}

}  // namespace Tessary
