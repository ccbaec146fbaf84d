#include "Render.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "Files.h"
#include "SceneWalk.h"
#include "Structure.h"

// Leak checkers are told about that remnant (see ~Stamps): a sanitized
// build reads this hook; an ordinary one never calls it.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:cairo_recording_surface_create\n"; }

namespace TessaryScene {

using Tessary::Color;
using Tessary::DisplayList3D;
using Tessary::Matrix4x4;
using Tessary::Point3d;

namespace {

// ---- draw items -------------------------------------------------------------------

enum class Kind : std::uint8_t {
    Sphere,    // v: x, y, r
    Ellipse,   // v: x, y, semi-axis a, semi-axis b, angle of a
    Band,      // v: x1, y1, x2, y2, half width, cap depth (the end circle's minor semi-axis)
    Disc,      // v: x, y, r (a band seen end on)
    Face,      // v: three corners
    Line,      // v: x1, y1, x2, y2, width, dash length, dash offset
    Dot,       // v: x, y, r
    Overlay,   // ref: the shape; v: callout anchor x, y, and 1 when it has one
};

enum Layer : std::uint8_t { Opaque, Transparent, Overlays };

struct DrawItem {
    float depth = 0.0f;
    std::uint32_t seq = 0;
    Layer layer = Opaque;
    Kind kind = Kind::Sphere;
    std::uint8_t overlay = 0;   // which overlay kind ref points to
    LineDash::Kind dash = LineDash::None;
    std::uint16_t stipple = 0;
    Color color;
    float v[7] = {};
    const void* ref = nullptr;
};

enum OverlayKind : std::uint8_t { Segment, Polyline, Rectangle, EllipseShape, TriangleShape, Text, TextBox, Callout,
                                  Annotation };

constexpr double kPi = 3.14159265358979323846;

double Square(double x) { return x * x; }

double Alpha(Color c) { return 1.0 - c.GetA() / 255.0; }

// The light, in view space (x right, y up, z towards the viewer): from the upper left, in front.
constexpr double kLight[3] = {-0.408248290463863, 0.408248290463863, 0.816496580927726};

// Collects the draw items of a tree, in world order; Sort orders them for painting.
class Collector : public WorldSink {
public:
    Collector(const View& view, std::vector<DrawItem>& items) : m_view(view), m_items(items) {}

    // Where spheres sit, so bonds can be trimmed at them.
    void SetSpheres(std::vector<std::array<float, 4>> spheres) {
        m_spheres = std::move(spheres);
        std::sort(m_spheres.begin(), m_spheres.end());
    }

    void Sphere(const Point3d& c, double r, Color color) override {
        const Point3d p = Project(c);
        DrawItem& item = Add(Kind::Sphere, p.z, color);
        Set(item, {p.x, p.y, r * m_view.GetScale()});
    }

    void Ellipsoid(const Point3d& c, const double axes[3][3], Color color) override {
        // The outline is the image of the unit ball under the projected axes:
        // the ellipse whose matrix is the sum of the axes' 2D outer products.
        double sxx = 0, sxy = 0, syy = 0;
        for (int i = 0; i < 3; ++i) {
            double q[3];
            m_view.ProjectVector(axes[i], q);
            sxx += q[0] * q[0];
            sxy += q[0] * q[1];
            syy += q[1] * q[1];
        }
        const double mean = 0.5 * (sxx + syy), diff = 0.5 * (sxx - syy);
        const double root = std::sqrt(diff * diff + sxy * sxy);
        const double a = std::sqrt(std::max(mean + root, 0.0)), b = std::sqrt(std::max(mean - root, 0.0));
        const Point3d p = Project(c);
        DrawItem& item = Add(Kind::Ellipse, p.z, color);
        Set(item, {p.x, p.y, a, b, 0.5 * std::atan2(2.0 * sxy, sxx - syy)});
    }

    void Cylinder(const Point3d& end1, const Point3d& end2, double radius, Color c1, Color c2) override {
        const double d[3] = {double(end2.x) - end1.x, double(end2.y) - end1.y, double(end2.z) - end1.z};
        const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        if (!(length > 0.0)) return;
        const Point3d mid = end1.MidPoint(end2);
        const double half = 0.5 * length;
        const double trim1 = Trim(end1, radius), trim2 = Trim(end2, radius);
        const auto along = [&](const Point3d& from, double t) {
            const double s = t / length;
            return Point3d(from.x + s * d[0], from.y + s * d[1], from.z + s * d[2]);
        };
        if (trim1 < half) Band(along(end1, trim1), mid, radius, c1);
        if (trim2 < half) Band(mid, along(end2, -trim2), radius, c2);
    }

    void Face(const Point3d& a, const Point3d& b, const Point3d& c, Color color, bool lit) override {
        const Point3d pa = Project(a), pb = Project(b), pc = Project(c);
        double shade = 1.0;
        if (lit) {
            // The normal in view space (y up), from the projected corners;
            // either side may face the viewer, so the light counts both ways.
            const double u[3] = {double(pb.x) - pa.x, double(pa.y) - pb.y, double(pb.z) - pa.z};
            const double w[3] = {double(pc.x) - pa.x, double(pa.y) - pc.y, double(pc.z) - pa.z};
            const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
            const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            const double cosine = len > 0.0 ? std::fabs(n[0] * kLight[0] + n[1] * kLight[1] + n[2] * kLight[2]) / len
                                            : 0.0;
            shade = 0.45 + 0.55 * cosine;
        }
        DrawItem& item = Add(Kind::Face, (pa.z + pb.z + pc.z) / 3.0, color);
        Set(item, {pa.x, pa.y, pb.x, pb.y, pc.x, pc.y, shade});
    }

    void Line(const Point3d& end1, const Point3d& end2, Color c1, Color c2, double width,
              const LineDash& dash) override {
        const Point3d p = Project(end1), q = Project(end2), mid = Project(end1.MidPoint(end2));
        const double length = std::hypot(double(q.x) - p.x, double(q.y) - p.y);
        // Dashes run on across the two halves: the second starts where the first stopped.
        double dashLength = 0.0, offset = 0.0;
        if (dash.kind == LineDash::Count && dash.count > 0) {
            dashLength = length / (2.0 * dash.count);
            offset = dash.startBlank ? dashLength : 0.0;
        }
        const double w = std::max(width, 1.0);
        const LineDash::Kind kind = dash.kind == LineDash::Count && dashLength <= 0.0 ? LineDash::None : dash.kind;
        DrawItem& first = Add(Kind::Line, 0.5 * (p.z + mid.z), c1);
        Set(first, {p.x, p.y, mid.x, mid.y, w, dashLength, offset});
        first.dash = kind;
        first.stipple = dash.stipple;
        DrawItem& second = Add(Kind::Line, 0.5 * (mid.z + q.z), c2);
        Set(second, {mid.x, mid.y, q.x, q.y, w, dashLength, offset + 0.5 * length});
        second.dash = kind;
        second.stipple = dash.stipple;
    }

    void Dot(const Point3d& c, Color color, double width) override {
        const Point3d p = Project(c);
        Set(Add(Kind::Dot, p.z, color), {p.x, p.y, 0.5 * std::max(width, 1.0)});
    }

    void List(const DisplayList3D& list, const Matrix4x4& m) override {
        const auto add = [&](const void* shape, OverlayKind kind) -> DrawItem& {
            DrawItem& item = Add(Kind::Overlay, 0.0, Color());
            item.layer = Overlays;
            item.overlay = kind;
            item.ref = shape;
            return item;
        };
        for (int i = 0; i < list.GetNumLineSegments(); ++i) add(&list.GetLineSegment(i), Segment);
        for (int i = 0; i < list.GetNumPolylines(); ++i) add(&list.GetPolyline(i), Polyline);
        for (int i = 0; i < list.GetNumRectangles(); ++i) add(&list.GetRectangle(i), Rectangle);
        for (int i = 0; i < list.GetNumEllipses(); ++i) add(&list.GetEllipse(i), EllipseShape);
        for (int i = 0; i < list.GetNumTriangleShapes(); ++i) add(&list.GetTriangleShape(i), TriangleShape);
        for (int i = 0; i < list.GetNumTextStrings(); ++i) add(&list.GetTextString(i), Text);
        for (int i = 0; i < list.GetNumTextBoxes(); ++i) add(&list.GetTextBox(i), TextBox);
        for (int i = 0; i < list.GetNumTextCallouts(); ++i) {
            const auto& callout = list.GetTextCallout(i);
            DrawItem& item = add(&callout, Callout);
            // A location left at the origin is unset.
            if (!(callout.GetLocation() == Point3d::zero)) {
                const Point3d anchor = Project(m.Transform(callout.GetLocation()));
                if (std::isfinite(anchor.x) && std::isfinite(anchor.y)) Set(item, {anchor.x, anchor.y, 1.0});
            }
        }
        for (int i = 0; i < list.GetNumText3D(); ++i)
            if (list.GetText3D(i).GetIsAnnotation()) add(&list.GetText3D(i), Annotation);
    }

private:
    // NaN for a point without a finite image, so its item is dropped.
    Point3d Project(const Point3d& world) const {
        const float nan = std::numeric_limits<float>::quiet_NaN();
        return HasImage(world) ? m_view.Project(world) : Point3d(nan, nan, nan);
    }
    DrawItem& Add(Kind kind, double depth, Color color) {
        DrawItem& item = m_items.emplace_back();
        item.kind = kind;
        item.depth = static_cast<float>(depth);
        item.seq = static_cast<std::uint32_t>(m_items.size());
        item.color = color;
        item.layer = color.GetA() > 0 ? Transparent : Opaque;
        return item;
    }
    static void Set(DrawItem& item, std::initializer_list<double> values) {
        int i = 0;
        for (double value : values) item.v[i++] = static_cast<float>(value);
    }

    // How far the axis of a cylinder of `radius` runs inside a sphere centred
    // at `end` before it leaves it: 0 when no sphere sits there.
    double Trim(const Point3d& end, double radius) const {
        const std::array<float, 4> key{end.x, end.y, end.z, -1.0f};
        const auto it = std::upper_bound(m_spheres.begin(), m_spheres.end(), key);
        if (it == m_spheres.end() || (*it)[0] != end.x || (*it)[1] != end.y || (*it)[2] != end.z) return 0.0;
        const double r = (*it)[3];
        return std::sqrt(std::max(r * r - radius * radius, 0.0));
    }

    void Band(const Point3d& from, const Point3d& to, double radius, Color color) {
        const Point3d p = Project(from), q = Project(to);
        const double w = radius * m_view.GetScale();
        if (std::hypot(double(q.x) - p.x, double(q.y) - p.y) < 0.5) {
            Set(Add(Kind::Disc, 0.5 * (p.z + q.z), color), {0.5 * (p.x + q.x), 0.5 * (p.y + q.y), w});
            return;
        }
        // The end circles are seen as ellipses, flatter the more the axis lies in the screen's plane.
        const double length = std::sqrt(Square(double(q.x) - p.x) + Square(double(q.y) - p.y) + Square(double(q.z) - p.z));
        Set(Add(Kind::Band, 0.5 * (p.z + q.z), color), {p.x, p.y, q.x, q.y, w, w * std::fabs(q.z - p.z) / length});
    }

    const View& m_view;
    std::vector<DrawItem>& m_items;
    std::vector<std::array<float, 4>> m_spheres;
};

// Gathers the spheres' world centres and radii.
class SphereTable : public WorldSink {
public:
    void Sphere(const Point3d& c, double r, Color) override {
        m_spheres.push_back({c.x, c.y, c.z, static_cast<float>(r)});
    }
    std::vector<std::array<float, 4>> m_spheres;
};

std::vector<DrawItem> CollectItems(const DisplayList3D& root, const View& view) {
    SphereTable table;
    WalkWorld(root, table);
    std::vector<DrawItem> items;
    Collector collector(view, items);
    collector.SetSpheres(std::move(table.m_spheres));
    WalkWorld(root, collector);
    // A point without a finite image (a projective transformation) draws nothing.
    items.erase(std::remove_if(items.begin(), items.end(),
                               [](const DrawItem& item) {
                                   if (!std::isfinite(item.depth)) return true;
                                   for (float value : item.v)
                                       if (!std::isfinite(value)) return true;
                                   return false;
                               }),
                items.end());
    // Layer by layer; far to near in the 3D layers; ties keep the tree's order.
    std::sort(items.begin(), items.end(), [](const DrawItem& a, const DrawItem& b) {
        if (a.layer != b.layer) return a.layer < b.layer;
        if (a.depth != b.depth) return a.depth < b.depth;
        return a.seq < b.seq;
    });
    return items;
}

// ---- painting ---------------------------------------------------------------------

struct Rgb {
    double r, g, b;
};
Rgb ToRgb(Color c) { return {c.GetR() / 255.0, c.GetG() / 255.0, c.GetB() / 255.0}; }
// `c` scaled by `f` (f > 1 blends towards white by f - 1).
Rgb Shade(Rgb c, double f) {
    if (f <= 1.0) return {c.r * f, c.g * f, c.b * f};
    const double t = std::min(f - 1.0, 1.0);
    return {c.r + (1.0 - c.r) * t, c.g + (1.0 - c.g) * t, c.b + (1.0 - c.b) * t};
}
void SetSource(cairo_t* cr, Rgb c, double alpha) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }
void SetSource(cairo_t* cr, Color c) { SetSource(cr, ToRgb(c), Alpha(c)); }

struct GradientStop {
    double offset, shade;  // shade as for Shade()
};
// Fills the current path with `pattern` graded through shades of `color`; frees the pattern.
void FillGraded(cairo_t* cr, cairo_pattern_t* pattern, Color color, std::initializer_list<GradientStop> stops) {
    const Rgb c = ToRgb(color);
    for (const GradientStop& stop : stops) {
        const Rgb s = Shade(c, stop.shade);
        cairo_pattern_add_color_stop_rgba(pattern, stop.offset, s.r, s.g, s.b, Alpha(color));
    }
    cairo_set_source(cr, pattern);
    cairo_fill(cr);
    cairo_pattern_destroy(pattern);
}

// Fills the current path (a circle of radius r at cx, cy in user space) as a
// lit ball: highlight to the upper left, the colour itself a third of the way
// out (so the middle of a disc shows it), darkening to a thin rim.
void FillBall(cairo_t* cr, double cx, double cy, double r, double hx, double hy, Color color) {
    FillGraded(cr, cairo_pattern_create_radial(hx, hy, 0.0, cx, cy, r), color,
               {{0.0, 1.65}, {0.33, 1.0}, {0.85, 0.7}, {0.93, 0.55}, {1.0, 0.3}});
}

// A sphere's ball: its circle filled as a lit ball, the highlight up and left of the centre.
void Ball(cairo_t* cr, double x, double y, double r, Color color) {
    cairo_arc(cr, x, y, r, 0.0, 2.0 * kPi);
    FillBall(cr, x, y, r, x - 0.35 * r, y - 0.35 * r, color);
}

// For the vector formats: shaded shapes drawn once each, in a space of
// their own, and stamped into place by an affine map. cairo writes a source
// surface once however often it is painted, where every filled gradient is
// written anew, so a picture holds one gradient per stamp instead of one per
// sphere or bond. A stamp is the same drawing as the direct one, so the
// picture looks the same; images draw every item directly.
class Stamps {
public:
    // The stamp under `key`; the first time, `draw(cr)` draws it within `extent`.
    template <class Draw>
    cairo_pattern_t* Of(std::uint64_t key, const cairo_rectangle_t& extent, Draw draw) {
        const auto it = std::lower_bound(m_stamps.begin(), m_stamps.end(), key,
                                         [](const Stamp& stamp, std::uint64_t k) { return stamp.key < k; });
        if (it != m_stamps.end() && it->key == key) return it->pattern.get();
        cairo_surface_t* surface = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extent);
        cairo_t* cr = cairo_create(surface);
        draw(cr);
        cairo_destroy(cr);
        Pattern pattern(cairo_pattern_create_for_surface(surface));
        cairo_surface_destroy(surface);
        return m_stamps.insert(it, Stamp{key, std::move(pattern)})->pattern.get();
    }

    // Paints `stamp` carried by `toUser` from its space into user space.
    static void Place(cairo_t* cr, cairo_pattern_t* stamp, cairo_matrix_t toUser) {
        if (cairo_matrix_invert(&toUser) != CAIRO_STATUS_SUCCESS) return;  // flat: nothing to see
        cairo_pattern_set_matrix(stamp, &toUser);
        cairo_set_source(cr, stamp);
        cairo_paint(cr);
    }

    // A stamp's key: its colour and which shape of that colour.
    static std::uint64_t Key(Color color, std::uint32_t shape) {
        return std::uint64_t(shape) << 32 | std::uint32_t(color.GetR()) | std::uint32_t(color.GetG()) << 8 |
               std::uint32_t(color.GetB()) << 16 | std::uint32_t(color.GetA()) << 24;
    }

    // cairo's SVG surface keeps every source surface it has written alive
    // after the document is done (a reference cycle through the document);
    // finishing a stamp frees its drawing, and what stays is the stamps' bare
    // surfaces, a few hundred bytes each, once per picture.
    ~Stamps() {
        for (const Stamp& stamp : m_stamps) {
            cairo_surface_t* surface = nullptr;
            cairo_pattern_get_surface(stamp.pattern.get(), &surface);
            cairo_surface_finish(surface);
        }
    }
    Stamps() = default;
    Stamps(const Stamps&) = delete;
    Stamps& operator=(const Stamps&) = delete;

private:
    struct PatternDeleter {
        void operator()(cairo_pattern_t* p) const { cairo_pattern_destroy(p); }
    };
    using Pattern = std::unique_ptr<cairo_pattern_t, PatternDeleter>;
    struct Stamp {
        std::uint64_t key;
        Pattern pattern;
    };
    std::vector<Stamp> m_stamps;  // by key
};

// Stamp spaces (cairo's vector surfaces take a source surface's extent to
// start at its origin): a ball of radius kBallSize about (kBallSize,
// kBallSize); a band along v = kBandWidth from u = 0 to kBandLength, kBandWidth
// either side, lit from +v, with caps of kBandLength / kCapSteps steps of depth.
constexpr double kBallSize = 64.0, kBandLength = 128.0, kBandWidth = 32.0;
constexpr int kCapSteps = 128;

void DrawSphere(cairo_t* cr, const DrawItem& item, Stamps* stamps) {
    const double x = item.v[0], y = item.v[1], r = item.v[2];
    if (!(r > 0.0)) return;
    if (!stamps) return Ball(cr, x, y, r, item.color);
    const cairo_rectangle_t extent = {0.0, 0.0, 2.0 * kBallSize, 2.0 * kBallSize};
    cairo_pattern_t* stamp = stamps->Of(Stamps::Key(item.color, 0), extent,
                                        [&](cairo_t* c) { Ball(c, kBallSize, kBallSize, kBallSize, item.color); });
    Stamps::Place(cr, stamp, {r / kBallSize, 0.0, 0.0, r / kBallSize, x - r, y - r});
}

void DrawEllipse(cairo_t* cr, const DrawItem& item) {
    const double a = item.v[2], b = item.v[3], angle = item.v[4];
    if (!(a > 1e-3) || !(b > 1e-3)) return;  // seen edge on: nothing to shade
    cairo_save(cr);
    cairo_translate(cr, item.v[0], item.v[1]);
    cairo_rotate(cr, angle);
    cairo_scale(cr, a, b);
    cairo_arc(cr, 0.0, 0.0, 1.0, 0.0, 2.0 * kPi);
    // The highlight sits where the surface faces the upper left: on the unit
    // circle, along the transpose of the circle-to-screen map applied to that direction.
    const double cs = std::cos(angle), sn = std::sin(angle);
    double hx = a * (-cs - sn), hy = b * (sn - cs);
    const double h = std::hypot(hx, hy);
    hx *= 0.5 / h, hy *= 0.5 / h;
    FillBall(cr, 0.0, 0.0, 1.0, hx, hy, item.color);
    cairo_restore(cr);
}

// Half of the end ellipse at (x, y), on the side `dir` (a unit vector along the band) points to.
void Cap(cairo_t* cr, double x, double y, double dx, double dy, double w, double depth) {
    if (depth < 0.05) {  // seen side on: a square end
        cairo_line_to(cr, x + dy * w, y - dx * w);
        cairo_line_to(cr, x - dy * w, y + dx * w);
        return;
    }
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, std::atan2(dy, dx));
    cairo_scale(cr, depth, w);
    cairo_arc(cr, 0.0, 0.0, 1.0, -0.5 * kPi, 0.5 * kPi);
    cairo_restore(cr);
}

// A band from (x1, y1) to (x2, y2) along the unit (dx, dy), `w` either side,
// its ends capped `depth` deep, graded across from shadow to the light on
// the side (nx, ny).
void Band(cairo_t* cr, double x1, double y1, double x2, double y2, double dx, double dy, double w, double depth,
          double nx, double ny, Color color) {
    cairo_move_to(cr, x1 + dy * w, y1 - dx * w);
    Cap(cr, x2, y2, dx, dy, w, depth);
    Cap(cr, x1, y1, -dx, -dy, w, depth);
    cairo_close_path(cr);
    FillGraded(cr, cairo_pattern_create_linear(x1 - nx * w, y1 - ny * w, x1 + nx * w, y1 + ny * w), color,
               {{0.0, 0.35}, {0.45, 1.0}, {0.72, 1.35}, {1.0, 0.6}});
}

void DrawBand(cairo_t* cr, const DrawItem& item, Stamps* stamps) {
    const double w = item.v[4], depth = item.v[5];
    double x1 = item.v[0], y1 = item.v[1], x2 = item.v[2], y2 = item.v[3];
    const double len = std::hypot(x2 - x1, y2 - y1);
    if (!(w > 0.0) || !(len > 0.0)) return;
    const double dx = (x2 - x1) / len, dy = (y2 - y1) / len;
    // Half a pixel longer at each end, so the two halves of a bond meet without a seam.
    x1 -= 0.5 * dx, y1 -= 0.5 * dy, x2 += 0.5 * dx, y2 += 0.5 * dy;
    // Across the band from the shadow side to the side facing the light (up-left on the screen).
    double nx = -dy, ny = dx;
    if (nx + ny > 0.0) nx = -nx, ny = -ny;
    if (!stamps) return Band(cr, x1, y1, x2, y2, dx, dy, w, depth, nx, ny, item.color);
    // The stamp spans the band cap tip to cap tip; its caps are as deep as
    // this band's to within 1/(2 kCapSteps) of that span.
    const double cap = depth < 0.05 ? 0.0 : depth;  // as Cap draws it
    const double span = len + 1.0 + 2.0 * cap;
    const int steps = std::min(kCapSteps / 2, static_cast<int>(std::lround(kCapSteps * cap / span)));
    const double stampCap = kBandLength * steps / kCapSteps;
    const cairo_rectangle_t extent = {0.0, 0.0, kBandLength, 2.0 * kBandWidth};
    cairo_pattern_t* stamp = stamps->Of(Stamps::Key(item.color, 1 + steps), extent, [&](cairo_t* c) {
        Band(c, stampCap, kBandWidth, kBandLength - stampCap, kBandWidth, 1.0, 0.0, kBandWidth, stampCap, 0.0, 1.0,
             item.color);
    });
    const double along = span / kBandLength, across = w / kBandWidth;
    Stamps::Place(cr, stamp, {along * dx, along * dy, across * nx, across * ny, x1 - cap * dx - w * nx,
                              y1 - cap * dy - w * ny});
}

void DrawFace(cairo_t* cr, const DrawItem& item) {
    cairo_move_to(cr, item.v[0], item.v[1]);
    cairo_line_to(cr, item.v[2], item.v[3]);
    cairo_line_to(cr, item.v[4], item.v[5]);
    cairo_close_path(cr);
    SetSource(cr, Shade(ToRgb(item.color), item.v[6]), Alpha(item.color));
    if (item.layer == Opaque) {
        // A hairline of the fill's own colour closes the seams between
        // neighbouring faces that antialiasing would leave.
        cairo_fill_preserve(cr);
        cairo_set_line_width(cr, 0.5);
        cairo_stroke(cr);
    } else {
        cairo_fill(cr);
    }
}

void SetStipple(cairo_t* cr, std::uint16_t pattern, double offset) {
    // Runs of equal bits, bit 0 first. cairo's pattern starts with a dash,
    // so it starts at a set bit after a clear one, and the bits before that
    // become an offset into it.
    const auto bit = [pattern](int i) { return (pattern >> (i & 15)) & 1; };
    int start = 0;
    while (start < 16 && !(bit(start) && !bit(start + 15))) ++start;
    if (start == 16) return;  // all dash, or all gap (which cairo cannot draw): solid
    double runs[16];
    int count = 0;
    for (int i = 0; i < 16;) {
        const int value = bit(start + i);
        int run = 0;
        while (i < 16 && bit(start + i) == value) ++run, ++i;
        runs[count++] = run;
    }
    cairo_set_dash(cr, runs, count, offset + (16 - start) % 16);
}

void DrawLine(cairo_t* cr, const DrawItem& item) {
    cairo_move_to(cr, item.v[0], item.v[1]);
    cairo_line_to(cr, item.v[2], item.v[3]);
    cairo_set_line_width(cr, item.v[4]);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    if (item.dash == LineDash::Count) {
        const double dash = item.v[5];
        cairo_set_dash(cr, &dash, 1, item.v[6]);
    } else if (item.dash == LineDash::Stipple) {
        SetStipple(cr, item.stipple, item.v[6]);
    }
    SetSource(cr, item.color);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0.0);
}

void DrawDisc(cairo_t* cr, const DrawItem& item, double shade) {
    if (!(item.v[2] > 0.0)) return;
    cairo_arc(cr, item.v[0], item.v[1], item.v[2], 0.0, 2.0 * kPi);
    SetSource(cr, Shade(ToRgb(item.color), shade), Alpha(item.color));
    cairo_fill(cr);
}

// ---- text ---------------------------------------------------------------------------

// Text with a light halo, baseline at x, y: readable on any background.
void HaloText(cairo_t* cr, double x, double y, const char* text, Rgb ink, double alpha) {
    cairo_move_to(cr, x, y);
    cairo_text_path(cr, text);
    cairo_set_source_rgba(cr, 1.0, 1.0, 1.0, 0.85 * alpha);
    cairo_set_line_width(cr, 3.0);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke_preserve(cr);
    SetSource(cr, ink, alpha);
    cairo_fill(cr);
}

// A label's own colour when it is dark enough to read on white, else near black.
Rgb Ink(Color c) {
    const Rgb rgb = ToRgb(c);
    return 0.299 * rgb.r + 0.587 * rgb.g + 0.114 * rgb.b < 0.45 ? rgb : Rgb{0.1, 0.1, 0.1};
}

// A label's text in its box (from LabelSpot).
void DrawLabel(cairo_t* cr, const PixelBox& box, const Tessary::Text3DPrimitive& label) {
    SelectFont(cr, label.GetFont());
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    HaloText(cr, box.x + kLabelHalo, box.y + kLabelHalo + font.ascent, label.GetText(), Ink(label.GetColor()),
             Alpha(label.GetColor()));
}

// The lines of a text, broken at newlines and, for a positive width, between words.
std::vector<std::string> LayOut(cairo_t* cr, const std::string& text, double width) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string paragraph = text.substr(start, end - start);
        std::string line;
        std::size_t pos = 0;
        while (pos < paragraph.size()) {
            std::size_t next = paragraph.find(' ', pos);
            if (next == std::string::npos) next = paragraph.size();
            const std::string word = paragraph.substr(pos, next - pos);
            const std::string candidate = line.empty() ? word : line + " " + word;
            cairo_text_extents_t extents;
            cairo_text_extents(cr, candidate.c_str(), &extents);
            if (width > 0.0 && !line.empty() && extents.x_advance > width) {
                lines.push_back(line);
                line = word;
            } else {
                line = candidate;
            }
            pos = next + 1;
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

void FillAndOutline(cairo_t* cr, const Tessary::UnlitShapePrimitive& shape) {
    if (shape.GetIsFilled()) {
        SetSource(cr, shape.GetBackgroundColor());
        cairo_fill_preserve(cr);
    }
    if (shape.GetIsOutlined() && shape.GetOutlineWidth() > 0) {
        SetSource(cr, shape.GetForegroundColor());
        cairo_set_line_width(cr, shape.GetOutlineWidth());
        cairo_stroke_preserve(cr);
    }
    cairo_new_path(cr);
}

// A text string, box or callout laid out from its origin (the top-left
// corner): its lines and its box (x, y, width, height).
struct TextLayout {
    std::vector<std::string> lines;
    std::array<double, 4> box;
    cairo_font_extents_t font;
};
constexpr double kTextPad = 3.0;

TextLayout LayOutText(cairo_t* cr, const Tessary::TextStringPrimitive& p, double boxWidth) {
    TextLayout t;
    SelectFont(cr, p.GetFont());
    cairo_font_extents(cr, &t.font);
    t.lines = LayOut(cr, p.GetTextString().GetString(), boxWidth);
    double width = boxWidth;
    for (const std::string& line : t.lines) {
        cairo_text_extents_t extents;
        cairo_text_extents(cr, line.c_str(), &extents);
        width = std::max(width, extents.x_advance);
    }
    const Tessary::Point2d& o = p.GetOrigin();
    t.box = {o.x, o.y, width + 2 * kTextPad, t.font.height * t.lines.size() + 2 * kTextPad};
    return t;
}

// The text in the foreground colour, over its box when filled or outlined.
// Returns the box (x, y, width, height).
std::array<double, 4> DrawText(cairo_t* cr, const Tessary::TextStringPrimitive& p, double boxWidth) {
    const TextLayout t = LayOutText(cr, p, boxWidth);
    cairo_rectangle(cr, t.box[0], t.box[1], t.box[2], t.box[3]);
    FillAndOutline(cr, p);
    SetSource(cr, p.GetForegroundColor());
    for (std::size_t i = 0; i < t.lines.size(); ++i) {
        cairo_move_to(cr, t.box[0] + kTextPad, t.box[1] + kTextPad + t.font.ascent + t.font.height * i);
        cairo_show_text(cr, t.lines[i].c_str());
    }
    return t.box;
}

void DrawPoints(cairo_t* cr, const Tessary::UnlitLinePrimitive& line) {
    const Tessary::Point2d::Array& points = line.GetPoints();
    if (points.GetSize() < 2) return;
    cairo_move_to(cr, points[0].x, points[0].y);
    for (int i = 1; i < points.GetSize(); ++i) cairo_line_to(cr, points[i].x, points[i].y);
    SetSource(cr, line.GetColor());
    cairo_set_line_width(cr, std::max(line.GetWidth(), 1));
    cairo_stroke(cr);
}

void DrawOverlay(cairo_t* cr, const DrawItem& item) {
    using namespace Tessary;
    switch (item.overlay) {
    case Segment:
    case Polyline:
        DrawPoints(cr, *static_cast<const UnlitLinePrimitive*>(item.ref));
        break;
    case Rectangle: {
        const auto& p = *static_cast<const RectanglePrimitive*>(item.ref);
        cairo_rectangle(cr, p.GetOrigin().x, p.GetOrigin().y, p.GetSize().x, p.GetSize().y);
        FillAndOutline(cr, p);
        break;
    }
    case EllipseShape: {
        // Centred at the origin, the size being the half axes.
        const auto& p = *static_cast<const EllipsePrimitive*>(item.ref);
        const Point2d &o = p.GetOrigin(), &s = p.GetSize();
        if (!(s.x > 1e-3 && s.y > 1e-3)) break;
        cairo_save(cr);
        cairo_translate(cr, o.x, o.y);
        cairo_scale(cr, s.x, s.y);
        cairo_arc(cr, 0.0, 0.0, 1.0, 0.0, 2.0 * kPi);
        cairo_restore(cr);  // the path stays; the stroke is not stretched
        FillAndOutline(cr, p);
        break;
    }
    case TriangleShape: {
        const auto& p = *static_cast<const TriangleShapePrimitive*>(item.ref);
        cairo_move_to(cr, p.GetPoint1().x, p.GetPoint1().y);
        cairo_line_to(cr, p.GetPoint2().x, p.GetPoint2().y);
        cairo_line_to(cr, p.GetPoint3().x, p.GetPoint3().y);
        cairo_close_path(cr);
        FillAndOutline(cr, p);
        break;
    }
    case Text:
        DrawText(cr, *static_cast<const TextStringPrimitive*>(item.ref), 0.0);
        break;
    case TextBox: {
        const auto& p = *static_cast<const TextBoxPrimitive*>(item.ref);
        DrawText(cr, p, p.GetBoxWidth());
        break;
    }
    case Callout: {
        const auto& p = *static_cast<const TextCalloutPrimitive*>(item.ref);
        const std::array<double, 4> box = DrawText(cr, p, p.GetBoxWidth());
        if (item.v[2] != 0.0) {
            // From the point of the box nearest the anchor.
            const double ax = item.v[0], ay = item.v[1];
            const double fx = std::clamp(ax, box[0], box[0] + box[2]), fy = std::clamp(ay, box[1], box[1] + box[3]);
            cairo_move_to(cr, fx, fy);
            cairo_line_to(cr, ax, ay);
            SetSource(cr, p.GetForegroundColor());
            cairo_set_line_width(cr, std::max(p.GetOutlineWidth(), 1));
            cairo_stroke(cr);
            cairo_arc(cr, ax, ay, 2.0, 0.0, 2.0 * kPi);
            cairo_fill(cr);
        }
        break;
    }
    case Annotation: {
        const auto& p = *static_cast<const Text3DPrimitive*>(item.ref);
        const LabelSize size = MeasureLabel(cr, p.GetFont(), p.GetText());
        DrawLabel(cr, LabelSpot(p.GetPosition().x, p.GetPosition().y, size, 0), p);
        break;
    }
    default:
        break;
    }
}

// `stamps` is null for images, else where the vector formats keep their stamps.
void Paint(cairo_t* cr, const std::vector<DrawItem>& items, const SceneLabels& labels, int width, int height,
           Stamps* stamps) {
    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_fill(cr);
    bool labelsDrawn = false;
    const auto drawLabels = [&] {
        for (std::size_t i = 0; i < labels.labels.size(); ++i)
            if (labels.placement.placed[i]) DrawLabel(cr, labels.placement.boxes[i], *labels.labels[i]);
        labelsDrawn = true;
    };
    for (const DrawItem& item : items) {
        if (item.layer == Overlays && !labelsDrawn) drawLabels();
        switch (item.kind) {
        case Kind::Sphere: DrawSphere(cr, item, stamps); break;
        case Kind::Ellipse: DrawEllipse(cr, item); break;
        case Kind::Band: DrawBand(cr, item, stamps); break;
        case Kind::Disc: DrawDisc(cr, item, 0.8); break;
        case Kind::Face: DrawFace(cr, item); break;
        case Kind::Line: DrawLine(cr, item); break;
        case Kind::Dot: DrawDisc(cr, item, 1.0); break;
        case Kind::Overlay: DrawOverlay(cr, item); break;
        }
    }
    if (!labelsDrawn) drawLabels();
}

// The labels in view and the overlay's boxes, as LayOutLabels needs them.
class LabelSink : public WorldSink {
public:
    LabelSink(const View& view, cairo_t* cr, SceneLabels& out, std::vector<LabelRequest>& requests)
        : m_view(view), m_cr(cr), m_out(out), m_requests(requests) {}

    void Label(const Point3d& c, const Tessary::Text3DPrimitive& label) override {
        const Point3d p = m_view.Project(c);
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
        m_out.labels.push_back(&label);
        m_requests.push_back({p.x, p.y, MeasureLabel(m_cr, label.GetFont(), label.GetText())});
    }

    void List(const DisplayList3D& list, const Matrix4x4&) override {
        using namespace Tessary;
        const auto add = [&](double x0, double y0, double x1, double y1) {
            m_out.overlay.push_back({std::min(x0, x1), std::min(y0, y1), std::fabs(x1 - x0), std::fabs(y1 - y0)});
        };
        const auto text = [&](const TextStringPrimitive& p, double boxWidth) {
            const TextLayout t = LayOutText(m_cr, p, boxWidth);
            add(t.box[0], t.box[1], t.box[0] + t.box[2], t.box[1] + t.box[3]);
        };
        for (int i = 0; i < list.GetNumRectangles(); ++i) {
            const auto& p = list.GetRectangle(i);
            add(p.GetOrigin().x, p.GetOrigin().y, p.GetOrigin().x + p.GetSize().x, p.GetOrigin().y + p.GetSize().y);
        }
        for (int i = 0; i < list.GetNumEllipses(); ++i) {
            const Point2d &o = list.GetEllipse(i).GetOrigin(), &s = list.GetEllipse(i).GetSize();
            add(o.x - s.x, o.y - s.y, o.x + s.x, o.y + s.y);
        }
        for (int i = 0; i < list.GetNumTriangleShapes(); ++i) {
            const auto& p = list.GetTriangleShape(i);
            const Point2d &a = p.GetPoint1(), &b = p.GetPoint2(), &c = p.GetPoint3();
            add(std::min({a.x, b.x, c.x}), std::min({a.y, b.y, c.y}), std::max({a.x, b.x, c.x}),
                std::max({a.y, b.y, c.y}));
        }
        for (int i = 0; i < list.GetNumTextStrings(); ++i) text(list.GetTextString(i), 0.0);
        for (int i = 0; i < list.GetNumTextBoxes(); ++i) text(list.GetTextBox(i), list.GetTextBox(i).GetBoxWidth());
        for (int i = 0; i < list.GetNumTextCallouts(); ++i)
            text(list.GetTextCallout(i), list.GetTextCallout(i).GetBoxWidth());
        for (int i = 0; i < list.GetNumText3D(); ++i) {
            const auto& p = list.GetText3D(i);
            if (!p.GetIsAnnotation()) continue;
            const PixelBox box = LabelSpot(p.GetPosition().x, p.GetPosition().y,
                                           MeasureLabel(m_cr, p.GetFont(), p.GetText()), 0);
            m_out.overlay.push_back(box);
        }
    }

private:
    const View& m_view;
    cairo_t* m_cr;
    SceneLabels& m_out;
    std::vector<LabelRequest>& m_requests;
};

// ---- output ---------------------------------------------------------------------------

enum class Format { Png, Svg, Pdf };

Format FormatOf(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of('/');
    std::string ext = dot == std::string::npos || (slash != std::string::npos && dot < slash) ? "" : path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "png") return Format::Png;
    if (ext == "svg") return Format::Svg;
    if (ext == "pdf") return Format::Pdf;
    throw InputError("cannot render to '" + path + "': the output must end in .png, .svg or .pdf");
}

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

void Check(cairo_status_t status) {
    if (status != CAIRO_STATUS_SUCCESS) throw std::runtime_error(std::string("cairo: ") + cairo_status_to_string(status));
}

}  // namespace

SceneLabels LayOutLabels(const DisplayList3D& root, const View& view) {
    SceneLabels out;
    std::vector<LabelRequest> requests;
    const TextMeasure measure;
    LabelSink sink(view, measure.Context(), out, requests);
    WalkWorld(root, sink);
    out.placement = PlaceLabels(requests, view.GetWidth(), view.GetHeight(), out.overlay);
    return out;
}

RenderSummary Render(const DisplayList3D& root, const View& view, const std::string& path) {
    const Format format = FormatOf(path);
    const int width = view.GetWidth(), height = view.GetHeight();
    if (static_cast<long long>(width) * height > kMaxPixels)
        throw InputError("cannot render " + std::to_string(width) + "x" + std::to_string(height) + " pixels to '" +
                         path + "' (at most " + std::to_string(kMaxPixels) + ")");
    CheckOutput(path);
    const std::vector<DrawItem> items = CollectItems(root, view);
    const SceneLabels labels = LayOutLabels(root, view);

    // Written as made into a fresh file that replaces the output only when whole.
    OutputFile output(path);
    Stamps stamps;  // outlives the surface: cairo leaks a source surface destroyed while its user still holds it
    Surface surface;
    switch (format) {
    case Format::Png: surface.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)); break;
    case Format::Svg: surface.reset(cairo_svg_surface_create_for_stream(AppendTo<OutputFile>, &output, width, height)); break;
    case Format::Pdf: surface.reset(cairo_pdf_surface_create_for_stream(AppendTo<OutputFile>, &output, width, height)); break;
    }
    Check(cairo_surface_status(surface.get()));
    {
        const Context cr(cairo_create(surface.get()));
        Paint(cr.get(), items, labels, width, height, format == Format::Png ? nullptr : &stamps);
        Check(cairo_status(cr.get()));
    }
    if (format == Format::Png) {
        const cairo_status_t status = cairo_surface_write_to_png_stream(surface.get(), AppendTo<OutputFile>, &output);
        output.CheckWritten();
        Check(status);
    }
    cairo_surface_finish(surface.get());
    output.CheckWritten();
    Check(cairo_surface_status(surface.get()));
    output.Commit();
    return {static_cast<int>(labels.labels.size()), labels.placement.dropped};
}

void ReleaseFontCaches() {
    cairo_debug_reset_static_data();
    FcFini();
}

}  // namespace TessaryScene
