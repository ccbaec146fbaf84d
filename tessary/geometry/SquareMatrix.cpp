#include "tessary/geometry/SquareMatrix.h"

#include <cmath>
#include <iomanip>
#include <ostream>

#include "tessary/geometry/detail/TextFields.h"

namespace Tessary::detail {

namespace {
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;

void Identity3(double* b) {
    for (int k = 0; k < 9; ++k) b[k] = (k % 4 == 0) ? 1.0 : 0.0;
}

// Determinant of the 3 x 3 minor of an n x n matrix given by three rows and
// three columns, expanded along its first row.
double Minor3(const double* m, int n, const int* r, const int* c) {
    auto at = [&](int i, int j) { return m[r[i] * n + c[j]]; };
    return at(0, 0) * (at(1, 1) * at(2, 2) - at(2, 1) * at(1, 2)) -
           at(0, 1) * (at(1, 0) * at(2, 2) - at(2, 0) * at(1, 2)) +
           at(0, 2) * (at(1, 0) * at(2, 1) - at(2, 0) * at(1, 1));
}
}  // namespace

bool InvertSquare(double* m, int n) {
    // Gauss-Jordan on a working copy; m changes only once every pivot was
    // found. Only an exactly zero pivot counts as singular.
    double work[16];
    double r[16];
    for (int k = 0; k < n * n; ++k) {
        work[k] = m[k];
        r[k] = (k % (n + 1) == 0) ? 1.0 : 0.0;
    }
    for (int i = 0; i < n; ++i) {
        int pivot = i;
        double best = std::fabs(work[i * n + i]);
        for (int row = i + 1; row < n; ++row) {
            const double v = std::fabs(work[row * n + i]);
            if (v > best) {
                best = v;
                pivot = row;
            }
        }
        if (best == 0.0) return false;
        if (pivot != i) {
            for (int j = i; j < n; ++j) std::swap(work[i * n + j], work[pivot * n + j]);
            for (int j = 0; j < n; ++j) std::swap(r[i * n + j], r[pivot * n + j]);
        }
        const double a = work[i * n + i];
        if (a != 1.0) {
            for (int j = i + 1; j < n; ++j) work[i * n + j] /= a;
            work[i * n + i] = 1.0;
            for (int j = 0; j < n; ++j) r[i * n + j] /= a;
        }
        for (int row = 0; row < n; ++row) {
            const double f = work[row * n + i];
            if (row == i || f == 0.0) continue;
            for (int j = i + 1; j < n; ++j) work[row * n + j] -= f * work[i * n + j];
            work[row * n + i] = 0.0;
            for (int j = 0; j < n; ++j) r[row * n + j] -= f * r[i * n + j];
        }
    }
    std::copy(r, r + n * n, m);
    return true;
}

double DeterminantSquare(const double* m, int n) {
    static const int kRows[3] = {1, 2, 3};
    if (n == 3) {
        static const int kRows3[3] = {0, 1, 2};
        return Minor3(m, 3, kRows3, kRows3);
    }
    // n == 4: cofactor expansion along row 0 with 3 x 3 minors.
    static const int kCols[4][3] = {{1, 2, 3}, {0, 2, 3}, {0, 1, 3}, {0, 1, 2}};
    double det = 0.0;
    for (int j = 0; j < 4; ++j) {
        const double term = m[j] * Minor3(m, 4, kRows, kCols[j]);
        det += (j % 2 == 0) ? term : -term;
    }
    return det;
}

void MultiplySquare(const double* a, const double* b, double* out, int n) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double sum = 0.0;
            for (int k = 0; k < n; ++k) sum += a[i * n + k] * b[k * n + j];
            out[i * n + j] = sum;
        }
}

std::ostream& WriteSquareText(std::ostream& os, const double* m, int n) {
    return WriteTextFields(os, m, n * n, TextLayout::Matrix);
}

bool ReadSquareText(std::istream& is, double* m, int n) { return ReadTextFields(is, m, n * n); }

std::ostream& PrintSquare(std::ostream& os, const double* m, int n) {
    os << std::fixed;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) os << std::setw(10) << m[i * n + j];
        os << std::endl;
    }
    return os;
}

void AxisRotationBlock(double* b, Axis axis, double deg) {
    Identity3(b);
    const double r = deg * kDegToRad;
    const double c = std::cos(r), s = std::sin(r);
    switch (axis) {
        case Axis::x: b[4] = c; b[5] = s; b[7] = -s; b[8] = c; break;
        // The y rotation turns the opposite way to the right-hand rule.
        case Axis::y: b[0] = c; b[2] = s; b[6] = -s; b[8] = c; break;
        case Axis::z: b[0] = c; b[1] = s; b[3] = -s; b[4] = c; break;
        default: break;
    }
}

void AxisAngleRotationBlock(double* b, const Point3d& axis, double deg) {
    const Point3d unit = Normalize(axis);
    const double x = unit.x, y = unit.y, z = unit.z;
    const double r = deg * kDegToRad;
    const double c = std::cos(r), s = std::sin(r), t = 1.0 - c;
    b[0] = x * x + c * (1.0 - x * x);
    b[1] = x * y * t + z * s;
    b[2] = x * z * t - y * s;
    b[3] = x * y * t - z * s;
    b[4] = y * y + c * (1.0 - y * y);
    b[5] = y * z * t + x * s;
    b[6] = x * z * t + y * s;
    b[7] = y * z * t - x * s;
    b[8] = z * z + c * (1.0 - z * z);
}

void FromToRotationBlock(double* b, const Point3d& from, const Point3d& to) {
    const double len = from.Length() * to.Length();
    if (len == 0.0 || from == to) {
        Identity3(b);
        return;
    }
    const Point3d k = from.Cross(to);
    const double dot = from.Dot(to);
    if (k == Point3d::zero) {
        if (dot > 0.0) Identity3(b);
        else AxisAngleRotationBlock(b, from.Normal(), 180.0);
        return;
    }
    const double angle = std::atan2(k.Length() / len, dot / len) * kRadToDeg;
    AxisAngleRotationBlock(b, k, angle);
}

void FrameRotationBlock(double* b, const Point3d& dir) {
    // Any fixed direction would do; stored scenes were built with this one.
    static constexpr Point3d kReference(0.123456, 0.789123, 0.601701);
    const Point3d v = Normalize(dir);
    const Point3d u = Normalize(v.Cross(kReference));
    const Point3d w = u.Cross(v);
    const Point3d rows[3] = {w, u, v};
    for (int i = 0; i < 3; ++i) {
        b[i * 3 + 0] = rows[i].x;
        b[i * 3 + 1] = rows[i].y;
        b[i * 3 + 2] = rows[i].z;
    }
}

bool CellBlock(double* b, double a, double bLen, double c, double alpha, double beta, double gamma) {
    if (a == 0.0 || bLen == 0.0 || c == 0.0 || alpha == 0.0 || beta == 0.0 || gamma == 0.0) return false;
    const double ca = std::cos(alpha * kDegToRad), cb = std::cos(beta * kDegToRad);
    const double cg = std::cos(gamma * kDegToRad), sg = std::sin(gamma * kDegToRad);
    const double radicand = 1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg;
    // No cell has these angles (one exceeds the sum of the other two): a
    // matrix of NaNs would poison every coordinate, so leave it as it was.
    if (!(radicand >= 0.0)) return false;
    const double v = std::sqrt(radicand);
    Identity3(b);
    b[0] = a;
    b[1] = 0.0;
    b[2] = 0.0;
    b[3] = bLen * cg;
    b[4] = bLen * sg;
    b[5] = 0.0;
    b[6] = c * cb;
    b[7] = c * (ca - cb * cg) / sg;
    b[8] = c * v / sg;
    return true;
}

}  // namespace Tessary::detail
