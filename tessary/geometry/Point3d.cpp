#include "tessary/geometry/Point3d.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "tessary/frame/Serialization.h"
#include "tessary/geometry/detail/TextFields.h"
#include "tessary/util/Random.h"

namespace Tessary {

namespace {

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;
constexpr double kFloatEpsilon = 1.1920928955078125e-07;

// Intermediate vectors stay in double so that a chain of steps rounds to
// float only once, when the result is stored in a Point3d.
struct Vec {
    double x, y, z;
    Vec(double px, double py, double pz) : x(px), y(py), z(pz) {}
    Vec(const Point3d& p) : x(p.x), y(p.y), z(p.z) {}  // implicit: points widen freely
    Point3d ToPoint() const { return Point3d(x, y, z); }
};
Vec operator-(const Vec& a, const Vec& b) { return Vec(a.x - b.x, a.y - b.y, a.z - b.z); }
double Dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec Cross(const Vec& a, const Vec& b) {
    return Vec(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}
double Length2(const Vec& v) { return Dot(v, v); }

// Rotates the coordinates (a, b) of a plane by deg: a' = a c - b s, b' = a s + b c.
void RotatePair(float& a, float& b, double deg) {
    if (deg == 0.0) return;
    const double r = deg * kDegToRad;
    const double c = std::cos(r), s = std::sin(r);
    const double pa = a, pb = b;
    a = static_cast<float>(pa * c - pb * s);
    b = static_cast<float>(pa * s + pb * c);
}

}  // namespace

Point3d Point3d::CrossNormal(const Point3d& p) const {
    const Point3d k = Cross(p);
    if (k.x == 0.0f && k.y == 0.0f && k.z == 0.0f) return Normal();
    return k;
}

void CrossNormal(const Point3d& a, const Point3d& b, Point3d& out) {
    const Point3d k = a.Cross(b);
    out = k == Point3d::zero ? a.Normal() : k;
}

double Point3d::SumPowers(int n) const {
    // abs(INT_MIN) overflows; its magnitude is the same as INT_MAX + 1 for pow.
    const double e = n < 0 ? -static_cast<double>(n) : static_cast<double>(n);
    return std::pow(double(x), e) + std::pow(double(y), e) + std::pow(double(z), e);
}

Point3d& Point3d::Maximum(const Point3d& p) {
    x = std::max(x, p.x);
    y = std::max(y, p.y);
    z = std::max(z, p.z);
    return *this;
}

Point3d& Point3d::Minimum(const Point3d& p) {
    x = std::min(x, p.x);
    y = std::min(y, p.y);
    z = std::min(z, p.z);
    return *this;
}

Point3d& Point3d::ChangeLength(double len) {
    const double old = Length();
    if (old == 0.0 || old == len) return *this;
    const double f = len / old;
    return Store(x * f, y * f, z * f);
}

Point3d Point3d::Normal() const {
    double nx = 1.0, ny = 1.0, nz = 1.0;
    if (x != 0.0f) {
        nx = -(double(y) + z) / x;
    } else if (y != 0.0f) {
        ny = -(double(x) + z) / y;
    } else if (z != 0.0f) {
        nz = -(double(x) + y) / z;
    }
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    return Point3d(nx / len, ny / len, nz / len);
}

Point3d& Point3d::RotateAboutX(double deg) {
    RotatePair(y, z, deg);
    return *this;
}
Point3d& Point3d::RotateAboutY(double deg) {
    RotatePair(z, x, deg);
    return *this;
}
Point3d& Point3d::RotateAboutZ(double deg) {
    RotatePair(x, y, deg);
    return *this;
}

Point3d Point3d::Random(RandomSequence& sequence) {
    // Drawn in separate statements: x, y, z must take the values in that order.
    const double px = sequence();
    const double py = sequence();
    const double pz = sequence();
    return Point3d(px, py, pz);
}

Point3d Point3d::Random() {
    UniformRandomSequence sequence(-1.0, 1.0);
    Point3d p = Random(sequence);
    return p.Normalize();
}

Point3d& Point3d::Randomize(RandomSequence& sequence) {
    const double old = Length();
    *this = Random(sequence);
    if (old > 0.0) ChangeLength(old);
    return *this;
}

Point3d& Point3d::Randomize() {
    UniformRandomSequence sequence(-1.0, 1.0);
    return Randomize(sequence);
}

namespace {

// A coordinate kept as a double up to version 6 and while the version is
// unset (widened on storing, rounded back on loading), as a float from 7 on.
struct Coordinate {
    float& value;
};

void ArchiveField(CArchive& ar, Coordinate& field) {
    if (Point3d::ArchivedAsFloats(ar)) {
        ArchiveFields(ar, field.value);
        return;
    }
    double wide = field.value;
    ArchiveFields(ar, wide);
    field.value = static_cast<float>(wide);
}

}  // namespace

void Point3d::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](Point3d& p) {
        ArchiveFields(ar, Coordinate{p.x}, Coordinate{p.y}, Coordinate{p.z});
    });
}

Point3d Normal(const Point3d& a, const Point3d& b, const Point3d& c) {
    const Vec n = Cross(Vec(b) - Vec(a), Vec(c) - Vec(b));
    const double len = std::sqrt(Length2(n));
    if (len == 0.0) return Point3d();
    return Point3d(n.x / len, n.y / len, n.z / len);
}

double Angle(const Point3d& a, const Point3d& b, const Point3d& c) {
    const Vec u = Vec(a) - Vec(b);
    const Vec v = Vec(c) - Vec(b);
    const double d = Dot(u, v);
    const double s = Length2(u) * Length2(v);
    double cosine = d;
    if (s > kFloatEpsilon) cosine = std::clamp(d / std::sqrt(s), -1.0, 1.0);
    return std::acos(cosine) * kRadToDeg;
}

double Dihedral(const Point3d& a, const Point3d& b, const Point3d& c, const Point3d& d) {
    const Vec axis = Vec(c) - Vec(b);
    const Vec e = Cross(Vec(a) - Vec(b), axis);
    const Vec f = Cross(Vec(b) - Vec(c), Vec(d) - Vec(c));
    const double dot = Dot(e, f);
    const double len = std::sqrt(Length2(e)) * std::sqrt(Length2(f));
    double cosine;
    if (len >= kFloatEpsilon) cosine = dot / len;
    else cosine = dot >= kFloatEpsilon ? 1.0 : 0.0;
    cosine = std::clamp(cosine, -1.0, 1.0);
    const double angle = std::acos(cosine) * kRadToDeg;
    return Dot(axis, Cross(e, f)) < 0.0 ? -angle : angle;
}

double DistanceToLine2(const Point3d& p, const Point3d& a, const Point3d& b) {
    const Vec d = Vec(a) - Vec(b);
    const double g = Length2(d);
    if (!(g > 1e-6)) return 0.0;
    const Vec w = Cross(d, Cross(d, Vec(p) - Vec(a)));
    return Length2(w) / (g * g);
}

double DistanceToPlane2(const Point3d& p, const Point3d& a, const Point3d& b, int& side) {
    const Vec n = Vec(b) - Vec(a);
    const double g = Length2(n);
    if (!(g > 1e-6)) return 0.0;
    const double s = Dot(n, Vec(p)) - Dot(n, Vec(a));
    side = s > 0.0 ? 1 : -1;
    return s * s / g;
}

Point3d ProjectToLine(const Point3d& p, const Point3d& a, const Point3d& b) {
    const double r = std::sqrt(Length2(Vec(p) - Vec(a)));
    const double t = r * std::cos(Angle(b, a, p) * kDegToRad);
    Point3d unit = Direction(a, b);
    unit.Normalize();
    // Scaled to length t, so a negative t points back along the line.
    const double len = unit.Length();
    if (len == 0.0) return a;
    const double f = t / len;
    return Point3d(a.x + unit.x * f, a.y + unit.y * f, a.z + unit.z * f);
}

Point3d ProjectToPlane(const Point3d& p, const Point3d& a, const Point3d& b, double& dist, int& side) {
    dist = DistanceToPlane(p, a, b, side);
    if (dist == 0.0) return p;
    const Vec n = Vec(b) - Vec(a);
    const double f = side * dist;
    return Point3d(p.x - n.x * f, p.y - n.y * f, p.z - n.z * f);
}

Point3d ProjectToPlane(const Point3d& p, const Point3d& a, const Point3d& b, float& dist, int& side) {
    double d = 0.0;
    const Point3d result = ProjectToPlane(p, a, b, d, side);
    dist = static_cast<float>(d);
    return result;
}

CArchive& operator<<(CArchive& ar, const Point3d& p) { return StoreValue(ar, p); }

CArchive& operator>>(CArchive& ar, Point3d& p) { return LoadValue(ar, p); }

std::ostream& operator<<(std::ostream& os, const Point3d& p) {
    const double v[3] = {p.x, p.y, p.z};
    return detail::WriteTextFields(os, v, 3, detail::TextLayout::Point);
}

std::istream& operator>>(std::istream& is, Point3d& p) {
    double v[3];
    if (detail::ReadTextFields(is, v, 3)) p = Point3d(v);
    return is;
}

}  // namespace Tessary
