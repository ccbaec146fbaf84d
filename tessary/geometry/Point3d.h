#pragma once

// Point3d: the library's 3D point and vector. It stores three floats, because
// display lists and meshes hold points by the thousand, but every accessor
// speaks double and every computation runs in double, rounding once per
// stored component.
//
// Nothing here reports an error: division by zero leaves the operand as it
// was, normalising a zero vector keeps it zero, and degenerate geometry yields
// the fall-back value documented beside each function.
//
// Archive form: three doubles while the archive's format version is unset or
// at most 6, three floats from version 7 on (in both directions). Text form:
// "x y z", or three fields of the stream's width with nothing between them.

#include <cmath>
#include <cstdint>
#include <iosfwd>
#include <limits>
#include <type_traits>

#include "tessary/frame/CArchive.h"
#include "tessary/frame/CArray.h"
#include "tessary/frame/Export.h"

namespace Tessary {

class RandomSequence;

class TESSARY_API Point3d {
public:
    enum UninitializedPoint { UninitializedPoint };
    using Array = CArray<Point3d, const Point3d&>;

    static const Point3d origin;
    static const Point3d zero;
    static const Point3d iVector;
    static const Point3d jVector;
    static const Point3d kVector;
    static const Point3d minimum;  // most negative finite float in each coordinate
    static const Point3d maximum;  // largest finite float; also "no finite image"

    constexpr Point3d() : x(0.0f), y(0.0f), z(0.0f) {}
    constexpr Point3d(double px, double py, double pz)
        : x(static_cast<float>(px)), y(static_cast<float>(py)), z(static_cast<float>(pz)) {}
    // Leaves the coordinates unset, for arrays that are filled right away.
    explicit Point3d(enum UninitializedPoint) {}
    // Three values from the array; a null pointer gives (0, 0, 0).
    explicit Point3d(const double* v)
        : x(v ? static_cast<float>(v[0]) : 0.0f), y(v ? static_cast<float>(v[1]) : 0.0f),
          z(v ? static_cast<float>(v[2]) : 0.0f) {}
    explicit Point3d(const float* v) : x(v ? v[0] : 0.0f), y(v ? v[1] : 0.0f), z(v ? v[2] : 0.0f) {}

    double GetX() const { return x; }
    double GetY() const { return y; }
    double GetZ() const { return z; }
    void GetXYZ(float& px, float& py, float& pz) const { px = x; py = y; pz = z; }
    void GetXYZ(double& px, double& py, double& pz) const { px = x; py = y; pz = z; }
    Point3d& SetX(double v) { x = static_cast<float>(v); return *this; }
    Point3d& SetY(double v) { y = static_cast<float>(v); return *this; }
    Point3d& SetZ(double v) { z = static_cast<float>(v); return *this; }
    Point3d& SetXYZ(double px, double py, double pz) { return *this = Point3d(px, py, pz); }
    Point3d& SetXYZ(const Point3d& p) { return *this = p; }

    // x, y, z for 0, 1, 2; any other index yields x. Any integer type is
    // taken as it is, so no index reaches the built-in pointer subscript.
    template <class Index, std::enable_if_t<std::is_integral_v<Index>, int> = 0>
    float& operator[](Index i) { return i == 1 ? y : i == 2 ? z : x; }
    template <class Index, std::enable_if_t<std::is_integral_v<Index>, int> = 0>
    const float& operator[](Index i) const { return i == 1 ? y : i == 2 ? z : x; }
    operator float*() { return &x; }
    operator const float*() const { return &x; }

    Point3d& operator+=(const Point3d& p) { return Store(double(x) + p.x, double(y) + p.y, double(z) + p.z); }
    Point3d& operator-=(const Point3d& p) { return Store(double(x) - p.x, double(y) - p.y, double(z) - p.z); }
    Point3d& operator+=(double s) { return Store(x + s, y + s, z + s); }
    Point3d& operator-=(double s) { return Store(x - s, y - s, z - s); }
    // Component-wise product, not a dot or cross product.
    Point3d& operator*=(const Point3d& p) { return Store(double(x) * p.x, double(y) * p.y, double(z) * p.z); }
    Point3d& operator*=(double s) { return Store(x * s, y * s, z * s); }
    // Component-wise quotient; unchanged unless all three divisor components are non-zero.
    Point3d& operator/=(const Point3d& p) {
        if (p.x == 0.0f || p.y == 0.0f || p.z == 0.0f) return *this;
        return Store(double(x) / p.x, double(y) / p.y, double(z) / p.z);
    }
    // Unchanged when s is zero.
    Point3d& operator/=(double s) {
        if (s == 0.0) return *this;
        return Store(x / s, y / s, z / s);
    }

    double Dot(const Point3d& p) const { return double(x) * p.x + double(y) * p.y + double(z) * p.z; }
    // this x p
    Point3d Cross(const Point3d& p) const {
        return Point3d(double(y) * p.z - double(z) * p.y, double(z) * p.x - double(x) * p.z,
                       double(x) * p.y - double(y) * p.x);
    }
    // this x p; Normal() of this point when the product is exactly zero.
    Point3d CrossNormal(const Point3d& p) const;
    // The vector from this point to p.
    Point3d Direction(const Point3d& p) const { return Point3d(double(p.x) - x, double(p.y) - y, double(p.z) - z); }
    Point3d MidPoint(const Point3d& p) const {
        return Point3d((double(x) + p.x) * 0.5, (double(y) + p.y) * 0.5, (double(z) + p.z) * 0.5);
    }
    double Sum() const { return double(x) + y + z; }
    double SumSquares() const { return double(x) * x + double(y) * y + double(z) * z; }
    double Length2() const { return SumSquares(); }
    double Length() const { return std::sqrt(SumSquares()); }
    // x^|n| + y^|n| + z^|n|
    double SumPowers(int n) const;
    double Distance2(const Point3d& p) const {
        const double dx = double(p.x) - x, dy = double(p.y) - y, dz = double(p.z) - z;
        return dx * dx + dy * dy + dz * dz;
    }
    double Distance(const Point3d& p) const { return std::sqrt(Distance2(p)); }
    // True when |dx| + |dy| + |dz| <= tol (a sum, not a Euclidean distance).
    bool Compare(const Point3d& p, double tol) const {
        return std::fabs(double(x) - p.x) + std::fabs(double(y) - p.y) + std::fabs(double(z) - p.z) <= tol;
    }
    // Inclusive on every side; the corners are not sorted first.
    bool CheckInsideBox(const Point3d& lo, const Point3d& hi) const {
        return lo.x <= x && x <= hi.x && lo.y <= y && y <= hi.y && lo.z <= z && z <= hi.z;
    }
    // Component-wise maximum/minimum with p, in place.
    Point3d& Maximum(const Point3d& p);
    Point3d& Minimum(const Point3d& p);
    // Scales to length len (a negative len also reverses); a zero vector, or
    // one already of length len, is left unchanged.
    Point3d& ChangeLength(double len);
    Point3d& Normalize() { return ChangeLength(1.0); }
    // A unit vector perpendicular to this one; (1, 1, 1) normalised for the zero vector.
    Point3d Normal() const;

    // Rotations about the coordinate axes through the origin, right-hand
    // rule, in degrees; an angle of exactly 0 leaves the point untouched.
    Point3d& RotateAboutX(double deg);
    Point3d& RotateAboutY(double deg);
    Point3d& RotateAboutZ(double deg);

    // Three successive values of the sequence, x first, not normalised.
    static Point3d Random(RandomSequence& sequence);
    // A random unit vector from a fresh uniform sequence over [-1, 1].
    static Point3d Random();
    // New random coordinates, rescaled to the old length when that was not 0.
    Point3d& Randomize(RandomSequence& sequence);
    Point3d& Randomize();

    double DistanceToLine2(const Point3d& a, const Point3d& b) const;
    double DistanceToLine(const Point3d& a, const Point3d& b) const;
    double DistanceToPlane2(const Point3d& a, const Point3d& b, int& side) const;
    double DistanceToPlane(const Point3d& a, const Point3d& b, int& side) const;
    Point3d ProjectToLine(const Point3d& a, const Point3d& b) const;
    Point3d ProjectToPlane(const Point3d& a, const Point3d& b, double& dist, int& side) const;
    Point3d ProjectToPlane(const Point3d& a, const Point3d& b, float& dist, int& side) const;

    void Serialize(CArchive& ar);
    // True when `ar`'s version puts points on disk as three floats (7 on, the
    // unset version excluded); otherwise they are three doubles. For bulk
    // coders that must write the same bytes as Serialize.
    static bool ArchivedAsFloats(const CArchive& ar) {
        const std::uint32_t schema = ar.GetObjectSchema();
        return schema != 0xFFFFFFFFu && schema >= 7;
    }

    float x;
    float y;
    float z;

private:
    Point3d& Store(double px, double py, double pz) {
        x = static_cast<float>(px);
        y = static_cast<float>(py);
        z = static_cast<float>(pz);
        return *this;
    }
};

static_assert(sizeof(Point3d) == 12, "Point3d is three packed floats");
static_assert(std::is_trivially_copyable_v<Point3d>, "Point3d arrays are archived as memory images");

inline constexpr Point3d Point3d::origin{0.0, 0.0, 0.0};
inline constexpr Point3d Point3d::zero{0.0, 0.0, 0.0};
inline constexpr Point3d Point3d::iVector{1.0, 0.0, 0.0};
inline constexpr Point3d Point3d::jVector{0.0, 1.0, 0.0};
inline constexpr Point3d Point3d::kVector{0.0, 0.0, 1.0};
inline constexpr Point3d Point3d::minimum{-static_cast<double>(std::numeric_limits<float>::max()),
                                          -static_cast<double>(std::numeric_limits<float>::max()),
                                          -static_cast<double>(std::numeric_limits<float>::max())};
inline constexpr Point3d Point3d::maximum{static_cast<double>(std::numeric_limits<float>::max()),
                                          static_cast<double>(std::numeric_limits<float>::max()),
                                          static_cast<double>(std::numeric_limits<float>::max())};

// ---- arithmetic ------------------------------------------------------------
inline Point3d operator+(Point3d a, const Point3d& b) { return a += b; }
inline Point3d operator-(Point3d a, const Point3d& b) { return a -= b; }
inline Point3d operator+(Point3d a, double s) { return a += s; }
inline Point3d operator-(Point3d a, double s) { return a -= s; }
inline Point3d operator*(Point3d a, const Point3d& b) { return a *= b; }
inline Point3d operator*(Point3d a, double s) { return a *= s; }
inline Point3d operator*(double s, Point3d a) { return a *= s; }
inline Point3d operator/(Point3d a, const Point3d& b) { return a /= b; }
inline Point3d operator/(Point3d a, double s) { return a /= s; }
inline Point3d operator+(const Point3d& p) { return p; }
inline Point3d operator-(const Point3d& p) { return Point3d(-double(p.x), -double(p.y), -double(p.z)); }
// Equal within the smallest normal float, as a sum of absolute differences.
inline bool operator==(const Point3d& a, const Point3d& b) { return a.Compare(b, 1.1754943508222875e-38); }
inline bool operator!=(const Point3d& a, const Point3d& b) { return !(a == b); }

// ---- free twins of the members -----------------------------------------------
inline double DotProduct(const Point3d& a, const Point3d& b) { return a.Dot(b); }
inline Point3d CrossProduct(const Point3d& a, const Point3d& b) { return a.Cross(b); }
inline void CrossProduct(const Point3d& a, const Point3d& b, Point3d& out) { out = a.Cross(b); }
inline Point3d CrossNormal(const Point3d& a, const Point3d& b) { return a.CrossNormal(b); }
// a x b; a.Normal() when the product equals zero under ==.
TESSARY_API void CrossNormal(const Point3d& a, const Point3d& b, Point3d& out);
inline Point3d Direction(const Point3d& a, const Point3d& b) { return a.Direction(b); }
inline Point3d MidPoint(const Point3d& a, const Point3d& b) { return a.MidPoint(b); }
inline double Sum(const Point3d& p) { return p.Sum(); }
inline double SumSquares(const Point3d& p) { return p.SumSquares(); }
inline double Length2(const Point3d& p) { return p.Length2(); }
inline double Length(const Point3d& p) { return p.Length(); }
inline double SumPowers(const Point3d& p, int n) { return p.SumPowers(n); }
inline double Distance2(const Point3d& a, const Point3d& b) { return a.Distance2(b); }
inline double Distance(const Point3d& a, const Point3d& b) { return a.Distance(b); }
inline bool Compare(const Point3d& a, const Point3d& b, double tol) { return a.Compare(b, tol); }
inline bool CheckPointInsideBox(const Point3d& lo, const Point3d& hi, const Point3d& p) {
    return p.CheckInsideBox(lo, hi);
}
inline Point3d Maximum(Point3d a, const Point3d& b) { return a.Maximum(b); }
inline Point3d Minimum(Point3d a, const Point3d& b) { return a.Minimum(b); }
inline Point3d ChangeLength(Point3d p, double len) { return p.ChangeLength(len); }
inline Point3d Normalize(Point3d p) { return p.Normalize(); }
inline Point3d Normal(const Point3d& p) { return p.Normal(); }
// Unit normal of the plane through a, b, c: normalise((b - a) x (c - b));
// (0, 0, 0) for collinear or coincident points.
TESSARY_API Point3d Normal(const Point3d& a, const Point3d& b, const Point3d& c);

// ---- geometric measures (angles in degrees) -----------------------------------
// Angle at b between the arms to a and c; 90 when an arm has zero length.
TESSARY_API double Angle(const Point3d& a, const Point3d& b, const Point3d& c);
// Signed dihedral about b -> c in [-180, 180]; 90 for collinear input.
TESSARY_API double Dihedral(const Point3d& a, const Point3d& b, const Point3d& c, const Point3d& d);
inline double Torsion(const Point3d& a, const Point3d& b, const Point3d& c, const Point3d& d) {
    return Dihedral(a, b, c, d);
}
// Squared distance from p to the line through a and b; 0 when a and b (nearly) coincide.
TESSARY_API double DistanceToLine2(const Point3d& p, const Point3d& a, const Point3d& b);
inline double DistanceToLine(const Point3d& p, const Point3d& a, const Point3d& b) {
    return std::sqrt(DistanceToLine2(p, a, b));
}
// Squared distance from p to the plane through a with normal b - a. side
// becomes +1 on the normal's side, else -1 (also on the plane); with a and b
// (nearly) coinciding the result is 0 and side is left as it was.
TESSARY_API double DistanceToPlane2(const Point3d& p, const Point3d& a, const Point3d& b, int& side);
inline double DistanceToPlane(const Point3d& p, const Point3d& a, const Point3d& b, int& side) {
    return std::sqrt(DistanceToPlane2(p, a, b, side));
}
// Foot of the perpendicular from p on the line through a and b (a when a == b).
TESSARY_API Point3d ProjectToLine(const Point3d& p, const Point3d& a, const Point3d& b);
// p - (b - a) * side * dist. The offset uses b - a as given, so this is the
// foot on the plane only when |b - a| is 1; callers rely on that.
TESSARY_API Point3d ProjectToPlane(const Point3d& p, const Point3d& a, const Point3d& b, double& dist, int& side);
TESSARY_API Point3d ProjectToPlane(const Point3d& p, const Point3d& a, const Point3d& b, float& dist, int& side);

inline double Point3d::DistanceToLine2(const Point3d& a, const Point3d& b) const { return Tessary::DistanceToLine2(*this, a, b); }
inline double Point3d::DistanceToLine(const Point3d& a, const Point3d& b) const { return Tessary::DistanceToLine(*this, a, b); }
inline double Point3d::DistanceToPlane2(const Point3d& a, const Point3d& b, int& side) const {
    return Tessary::DistanceToPlane2(*this, a, b, side);
}
inline double Point3d::DistanceToPlane(const Point3d& a, const Point3d& b, int& side) const {
    return Tessary::DistanceToPlane(*this, a, b, side);
}
inline Point3d Point3d::ProjectToLine(const Point3d& a, const Point3d& b) const { return Tessary::ProjectToLine(*this, a, b); }
inline Point3d Point3d::ProjectToPlane(const Point3d& a, const Point3d& b, double& dist, int& side) const {
    return Tessary::ProjectToPlane(*this, a, b, dist, side);
}
inline Point3d Point3d::ProjectToPlane(const Point3d& a, const Point3d& b, float& dist, int& side) const {
    return Tessary::ProjectToPlane(*this, a, b, dist, side);
}

// ---- archive and text forms ------------------------------------------------
TESSARY_API CArchive& operator<<(CArchive& ar, const Point3d& p);
TESSARY_API CArchive& operator>>(CArchive& ar, Point3d& p);
TESSARY_API std::ostream& operator<<(std::ostream& os, const Point3d& p);
// Changes p only when all three numbers were read.
TESSARY_API std::istream& operator>>(std::istream& is, Point3d& p);

}  // namespace Tessary
