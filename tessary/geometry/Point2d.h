#pragma once

// Point2d: the 2D point and vector of the screen-plane overlay shapes. Unlike
// Point3d it stores doubles. Its operations mirror Point3d's where a 2D
// meaning exists, with the same fall-backs: division by zero leaves the
// operand unchanged, any index other than 0 or 1 yields x.
//
// Rotate keeps one cache of the last angle and its cosine and sine, shared by
// all points and unsynchronised (initially 180, -1, 0).
//
// Archive form: two doubles whatever the format version. Text form: "x y", or
// two fields of the stream's width.

#include <cmath>
#include <iosfwd>
#include <limits>
#include <type_traits>

#include "tessary/frame/CArchive.h"
#include "tessary/frame/CArray.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Point3d.h"

namespace Tessary {

class TESSARY_API Point2d {
public:
    using Array = CArray<Point2d, const Point2d&>;

    static const Point2d origin;
    static const Point2d iVector;
    static const Point2d jVector;
    static const Point2d minimum;  // the float limits, held in doubles
    static const Point2d maximum;

    constexpr Point2d() : x(0.0), y(0.0) {}
    constexpr Point2d(double px, double py) : x(px), y(py) {}
    // Two values from the array; a null pointer gives (0, 0).
    explicit Point2d(const double* v) : x(v ? v[0] : 0.0), y(v ? v[1] : 0.0) {}
    // Drops z. Implicit: hosts pass 3D points where 2D ones are wanted.
    Point2d(const Point3d& p) : x(p.x), y(p.y) {}
    // Reads two numbers; stays (0, 0) unless both were read.
    explicit Point2d(std::istream& is);
    // Reads two doubles.
    explicit Point2d(CArchive& ar);

    double GetX() const { return x; }
    double GetY() const { return y; }
    void GetXY(float& px, float& py) const { px = static_cast<float>(x); py = static_cast<float>(y); }
    void GetXY(double& px, double& py) const { px = x; py = y; }
    void SetX(double v) { x = v; }
    void SetY(double v) { y = v; }
    void SetXY(double px, double py) { x = px; y = py; }
    void SetXY(const Point3d& p) { x = p.x; y = p.y; }

    // x for 0, y for 1; any other index yields x (of any integer type, so no
    // index reaches the built-in pointer subscript).
    template <class Index, std::enable_if_t<std::is_integral_v<Index>, int> = 0>
    double operator[](Index i) const { return i == 1 ? y : x; }
    template <class Index, std::enable_if_t<std::is_integral_v<Index>, int> = 0>
    double& operator[](Index i) { return i == 1 ? y : x; }
    operator double*() { return &x; }
    operator const double*() const { return &x; }

    Point2d& operator+=(const Point2d& p) { x += p.x; y += p.y; return *this; }
    Point2d& operator-=(const Point2d& p) { x -= p.x; y -= p.y; return *this; }
    Point2d& operator+=(double s) { x += s; y += s; return *this; }
    Point2d& operator-=(double s) { x -= s; y -= s; return *this; }
    Point2d& operator*=(const Point2d& p) { x *= p.x; y *= p.y; return *this; }
    Point2d& operator*=(double s) { x *= s; y *= s; return *this; }
    // Unchanged unless both divisor components are non-zero.
    Point2d& operator/=(const Point2d& p) {
        if (p.x != 0.0 && p.y != 0.0) { x /= p.x; y /= p.y; }
        return *this;
    }
    // Unchanged when s is exactly zero.
    Point2d& operator/=(double s) {
        if (s != 0.0) { x /= s; y /= s; }
        return *this;
    }

    // The vector from this point to p.
    Point2d Direction(const Point2d& p) const { return Point2d(p.x - x, p.y - y); }
    double Dot(const Point2d& p) const { return x * p.x + y * p.y; }
    double Sum() const { return x + y; }
    double SumSquares() const { return x * x + y * y; }
    double Length2() const { return SumSquares(); }
    double Length() const { return std::sqrt(SumSquares()); }
    double Distance2(const Point2d& p) const { return Direction(p).SumSquares(); }
    double Distance(const Point2d& p) const { return std::sqrt(Distance2(p)); }
    double SumPowers(unsigned n) const { return std::pow(x, double(n)) + std::pow(y, double(n)); }
    Point2d MidPoint(const Point2d& p) const { return Point2d((x + p.x) * 0.5, (y + p.y) * 0.5); }
    // Component-wise, in place.
    void Maximum(const Point2d& p) { x = (x < p.x) ? p.x : x; y = (y < p.y) ? p.y : y; }
    void Minimum(const Point2d& p) { x = (p.x < x) ? p.x : x; y = (p.y < y) ? p.y : y; }
    // Scales to length len when the length is above 0 and differs from len.
    void ChangeLength(double len) {
        const double old = Length();
        if (old > 0.0 && old != len) *this *= len / old;
    }
    void Normalize() { ChangeLength(1.0); }
    // Counter-clockwise by deg degrees about the origin; nothing happens when
    // fmod(deg, 360) is exactly 0.
    void Rotate(double deg);

    void Serialize(CArchive& ar);

    double x;
    double y;
};

static_assert(sizeof(Point2d) == 16, "Point2d is two packed doubles");
static_assert(std::is_trivially_copyable_v<Point2d>, "Point2d arrays are archived as memory images");

inline constexpr Point2d Point2d::origin{0.0, 0.0};
inline constexpr Point2d Point2d::iVector{1.0, 0.0};
inline constexpr Point2d Point2d::jVector{0.0, 1.0};
inline constexpr Point2d Point2d::minimum{-static_cast<double>(std::numeric_limits<float>::max()),
                                          -static_cast<double>(std::numeric_limits<float>::max())};
inline constexpr Point2d Point2d::maximum{static_cast<double>(std::numeric_limits<float>::max()),
                                          static_cast<double>(std::numeric_limits<float>::max())};

inline Point2d operator+(Point2d a, const Point2d& b) { return a += b; }
inline Point2d operator-(Point2d a, const Point2d& b) { return a -= b; }
inline Point2d operator+(Point2d a, double s) { return a += s; }
inline Point2d operator-(Point2d a, double s) { return a -= s; }
inline Point2d operator*(Point2d a, const Point2d& b) { return a *= b; }
inline Point2d operator*(Point2d a, double s) { return a *= s; }
inline Point2d operator*(double s, Point2d a) { return a *= s; }
inline Point2d operator/(Point2d a, const Point2d& b) { return a /= b; }
inline Point2d operator/(Point2d a, double s) { return a /= s; }
inline Point2d operator+(const Point2d& p) { return p; }
inline Point2d operator-(const Point2d& p) { return Point2d(-p.x, -p.y); }
// Equal when |dx| + |dy| does not exceed the smallest normal float.
inline int operator==(const Point2d& a, const Point2d& b) {
    return std::fabs(a.x - b.x) + std::fabs(a.y - b.y) <= 1.1754943508222875e-38;
}
inline int operator!=(const Point2d& a, const Point2d& b) { return !(a == b); }

inline Point2d Direction(const Point2d& a, const Point2d& b) { return a.Direction(b); }
inline double Sum(const Point2d& p) { return p.Sum(); }
inline double SumSquares(const Point2d& p) { return p.SumSquares(); }
inline double Length2(const Point2d& p) { return p.Length2(); }
inline double Length(const Point2d& p) { return p.Length(); }
inline double Distance2(const Point2d& a, const Point2d& b) { return a.Distance2(b); }
inline double Distance(const Point2d& a, const Point2d& b) { return a.Distance(b); }
inline double SumPowers(const Point2d& p, unsigned n) { return p.SumPowers(n); }
inline Point2d MidPoint(const Point2d& a, const Point2d& b) { return a.MidPoint(b); }
// Angle at b in degrees, with the same thresholds as the Point3d form.
TESSARY_API double Angle(const Point2d& a, const Point2d& b, const Point2d& c);

TESSARY_API CArchive& operator<<(CArchive& ar, const Point2d& p);
TESSARY_API CArchive& operator>>(CArchive& ar, Point2d& p);
TESSARY_API std::ostream& operator<<(std::ostream& os, const Point2d& p);
// Changes p only when both numbers were read.
TESSARY_API std::istream& operator>>(std::istream& is, Point2d& p);

}  // namespace Tessary
