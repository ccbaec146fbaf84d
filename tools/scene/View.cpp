#include "View.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "Labels.h"
#include "SceneWalk.h"

namespace TessaryScene {

using Tessary::Color;
using Tessary::Point3d;

namespace {

constexpr double kPi = 3.14159265358979323846;

// out = v * r (row vector).
void RotateBy(const double r[3][3], const double v[3], double out[3]) {
    for (int k = 0; k < 3; ++k) out[k] = v[0] * r[0][k] + v[1] * r[1][k] + v[2] * r[2][k];
}

// The view-space box of everything drawn, in angstroms.
class Bounds : public WorldSink {
public:
    // A label: its anchor in view space (angstroms) and the pixels its first
    // spot reaches from there, along x (right) and y (up).
    struct LabelReach {
        double v[2];
        double low[2], high[2];
    };

    explicit Bounds(const double (&rotation)[3][3]) : m_r(rotation) {}

    void Sphere(const Point3d& c, double r, Color) override { Add(c, r, r, r); }
    void Ellipsoid(const Point3d& c, const double axes[3][3], Color) override {
        // The half extent along view axis j is the length of column j of the rotated axes.
        double rotated[3][3], half[3] = {0, 0, 0};
        for (int i = 0; i < 3; ++i) RotateBy(m_r, axes[i], rotated[i]);
        for (int j = 0; j < 3; ++j)
            half[j] = std::sqrt(rotated[0][j] * rotated[0][j] + rotated[1][j] * rotated[1][j] +
                                rotated[2][j] * rotated[2][j]);
        Add(c, half[0], half[1], half[2]);
    }
    void Cylinder(const Point3d& a, const Point3d& b, double r, Color, Color) override {
        Add(a, r, r, r);
        Add(b, r, r, r);
    }
    void Face(const Point3d& a, const Point3d& b, const Point3d& c, Color, bool) override {
        Add(a, 0, 0, 0);
        Add(b, 0, 0, 0);
        Add(c, 0, 0, 0);
    }
    void Line(const Point3d& a, const Point3d& b, Color, Color, double, const LineDash&) override {
        Add(a, 0, 0, 0);
        Add(b, 0, 0, 0);
    }
    void Dot(const Point3d& p, Color, double) override { Add(p, 0, 0, 0); }
    void Label(const Point3d& p, const Tessary::Text3DPrimitive& label) override {
        Add(p, 0, 0, 0);
        if (!HasImage(p)) return;
        const double world[3] = {p.x, p.y, p.z};
        double v[3];
        RotateBy(m_r, world, v);
        const PixelBox box = LabelSpot(0, 0, MeasureLabel(m_measure.Context(), label.GetFont(), label.GetText()), 0);
        m_labels.push_back({{v[0], v[1]}, {box.x, -(box.y + box.height)}, {box.x + box.width, -box.y}});
    }

    bool Empty() const { return !(m_min[0] <= m_max[0]); }
    double m_min[3] = {kInf, kInf, kInf};
    double m_max[3] = {-kInf, -kInf, -kInf};
    std::vector<LabelReach> m_labels;

    // The pixels the scene spans along view axis j at `scale` pixels per
    // angstrom, labels included: from lo to hi, relative to the view origin.
    void Span(int j, double scale, double& lo, double& hi) const {
        lo = scale * m_min[j];
        hi = scale * m_max[j];
        for (const LabelReach& l : m_labels) {
            lo = std::min(lo, scale * l.v[j] + l.low[j]);
            hi = std::max(hi, scale * l.v[j] + l.high[j]);
        }
    }

private:
    TextMeasure m_measure;
    static constexpr double kInf = std::numeric_limits<double>::infinity();

    void Add(const Point3d& p, double hx, double hy, double hz) {
        if (!HasImage(p)) return;
        const double world[3] = {p.x, p.y, p.z};
        double v[3];
        RotateBy(m_r, world, v);
        const double half[3] = {std::fabs(hx), std::fabs(hy), std::fabs(hz)};
        for (int j = 0; j < 3; ++j) {
            m_min[j] = std::min(m_min[j], v[j] - half[j]);
            m_max[j] = std::max(m_max[j], v[j] + half[j]);
        }
    }

    const double (&m_r)[3][3];
};

}  // namespace

void View::SetRotation(double xDeg, double yDeg, double zDeg) {
    // Row-vector rotation matrices, right-handed: p * Rx * Ry * Rz.
    const auto axis = [](int a, double deg, double m[3][3]) {
        // Whole turns off first: a large angle keeps its precision.
        const double t = std::fmod(deg, 360.0) * kPi / 180.0, c = std::cos(t), s = std::sin(t);
        const int i = (a + 1) % 3, j = (a + 2) % 3;
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k) m[r][k] = r == k ? 1.0 : 0.0;
        m[i][i] = c;
        m[i][j] = s;
        m[j][i] = -s;
        m[j][j] = c;
    };
    double rx[3][3], ry[3][3], rz[3][3], rxy[3][3];
    axis(0, xDeg, rx);
    axis(1, yDeg, ry);
    axis(2, zDeg, rz);
    const auto multiply = [](const double a[3][3], const double b[3][3], double out[3][3]) {
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k) out[r][k] = a[r][0] * b[0][k] + a[r][1] * b[1][k] + a[r][2] * b[2][k];
    };
    multiply(rx, ry, rxy);
    multiply(rxy, rz, m_r);
}


bool View::FitView(const Tessary::DisplayList3D& root, double xDeg, double yDeg, double zDeg, int width,
                   int height, int top, int bottom) {
    m_width = std::max(width, 1);
    m_height = std::max(height, 1);
    m_top = std::clamp(top, 0, m_height / 2);
    m_bottom = std::clamp(bottom, 0, m_height / 2 - m_top);
    const auto identity = [this] {
        SetRotation(0, 0, 0);
        m_scale = 1.0;
        m_centre[0] = m_centre[1] = m_centre[2] = 0.0;
    };
    identity();
    if (!std::isfinite(xDeg) || !std::isfinite(yDeg) || !std::isfinite(zDeg)) return false;
    SetRotation(xDeg, yDeg, zDeg);

    Bounds bounds(m_r);
    WalkWorld(root, bounds);
    if (bounds.Empty()) return true;
    for (int j = 0; j < 3; ++j) m_centre[j] = 0.5 * bounds.m_min[j] + 0.5 * bounds.m_max[j];

    const double margin = std::max(4.0, 0.04 * std::min(m_width, m_height));
    const double room[2] = {std::max(1.0, m_width - 2.0 * margin), std::max(1.0, m_height - m_top - m_bottom - 2.0 * margin)};
    double scale = std::numeric_limits<double>::infinity();
    for (int j = 0; j < 2; ++j) {
        const double extent = bounds.m_max[j] - bounds.m_min[j];
        if (extent > 1e-9) scale = std::min(scale, room[j] / extent);
    }
    m_scale = std::isfinite(scale) ? scale : std::min(room[0], room[1]) / 10.0;

    // Labels reach a fixed number of pixels beyond their atoms, whatever the
    // scale: the span grows with the scale (convexly), so the largest scale
    // that fits them is found by halving. Labels too big for the picture at
    // any scale leave the atoms' fit alone.
    if (!bounds.m_labels.empty()) {
        const auto fits = [&](double s) {
            for (int j = 0; j < 2; ++j) {
                double lo, hi;
                bounds.Span(j, s, lo, hi);
                if (!(hi - lo <= room[j])) return false;
            }
            return true;
        };
        if (!fits(m_scale) && fits(0.0)) {
            double good = 0.0, bad = m_scale;
            for (int i = 0; i < 60; ++i) {
                const double mid = 0.5 * (good + bad);
                (fits(mid) ? good : bad) = mid;
            }
            if (good > 0.0) m_scale = good;
        }
        if (m_scale > 0.0 && std::isfinite(m_scale)) {
            for (int j = 0; j < 2; ++j) {
                double lo, hi;
                bounds.Span(j, m_scale, lo, hi);
                m_centre[j] = 0.5 * (lo + hi) / m_scale;
            }
        }
    }

    bool finite = std::isfinite(m_scale) && m_scale > 0.0;
    for (int j = 0; j < 3; ++j) {
        finite = finite && std::isfinite(m_centre[j]);
        for (int k = 0; k < 3; ++k) finite = finite && std::isfinite(m_r[j][k]);
    }
    if (!finite) identity();
    return finite;
}

Point3d View::Project(const Point3d& world) const {
    const double p[3] = {world.x, world.y, world.z};
    double v[3];
    RotateBy(m_r, p, v);
    return Point3d(0.5 * m_width + m_scale * (v[0] - m_centre[0]), m_top + 0.5 * (m_height - m_top - m_bottom) - m_scale * (v[1] - m_centre[1]),
                   m_scale * (v[2] - m_centre[2]));
}

void View::ProjectVector(const double v[3], double out[3]) const {
    RotateBy(m_r, v, out);
    out[0] *= m_scale;
    out[1] *= -m_scale;
    out[2] *= m_scale;
}

Point3d View::TowardsViewer() const {
    // View z of a world point p is p * column 2 of the rotation.
    return Point3d(static_cast<float>(m_r[0][2]), static_cast<float>(m_r[1][2]), static_cast<float>(m_r[2][2]));
}

Tessary::Matrix4x4 View::GetRotation() const {
    return Tessary::Matrix4x4(m_r[0][0], m_r[0][1], m_r[0][2], 0.0, m_r[1][0], m_r[1][1], m_r[1][2], 0.0, m_r[2][0],
                              m_r[2][1], m_r[2][2], 0.0, 0.0, 0.0, 0.0, 1.0);
}

}  // namespace TessaryScene
