#include "tessary/geometry/Point2d.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "tessary/frame/Serialization.h"
#include "tessary/geometry/detail/TextFields.h"

namespace Tessary {

namespace {
// The rotation cache shared by every Point2d. Plain data, so it is set before
// any code runs; the first Rotate(180) uses these values as they are.
struct RotationCache {
    double angle;
    double cosine;
    double sine;
};
RotationCache g_rotation = {180.0, -1.0, 0.0};
}  // namespace

Point2d::Point2d(std::istream& is) : x(0.0), y(0.0) {
    double v[2];
    if (detail::ReadTextFields(is, v, 2)) {
        x = v[0];
        y = v[1];
    }
}

Point2d::Point2d(CArchive& ar) : x(0.0), y(0.0) { LoadValue(ar, *this); }

void Point2d::Rotate(double deg) {
    if (std::fmod(deg, 360.0) == 0.0) return;
    if (deg != g_rotation.angle) {
        const double r = deg * 0.017453292519943295;
        g_rotation = {deg, std::cos(r), std::sin(r)};
    }
    const double c = g_rotation.cosine, s = g_rotation.sine;
    const double px = x, py = y;
    x = px * c - py * s;
    y = py * c + px * s;
}

void Point2d::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](Point2d& p) { ArchiveFields(ar, p.x, p.y); });
}

double Angle(const Point2d& a, const Point2d& b, const Point2d& c) {
    const Point2d u = a - b, v = c - b;
    const double d = u.Dot(v);
    const double s = u.SumSquares() * v.SumSquares();
    double cosine = d;
    if (s > 1.1920928955078125e-07) cosine = std::clamp(d / std::sqrt(s), -1.0, 1.0);
    return std::acos(cosine) * 57.29577951308232;
}

CArchive& operator<<(CArchive& ar, const Point2d& p) { return StoreValue(ar, p); }

CArchive& operator>>(CArchive& ar, Point2d& p) { return LoadValue(ar, p); }

std::ostream& operator<<(std::ostream& os, const Point2d& p) {
    const double v[2] = {p.x, p.y};
    return detail::WriteTextFields(os, v, 2, detail::TextLayout::Point);
}

std::istream& operator>>(std::istream& is, Point2d& p) {
    double v[2];
    if (detail::ReadTextFields(is, v, 2)) p = Point2d(v[0], v[1]);
    return is;
}

}  // namespace Tessary
