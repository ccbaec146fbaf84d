#pragma once

// View: the orthographic camera of the reference host. World points are
// rotated (about x, then y, then z, right-handed, in degrees), then scaled
// and centred so the whole scene fits the image. The renderer draws through
// Project and picking projects pick dots through it, so both see the same
// pixels.
//
// View space: x to the right, y up, z towards the viewer. Pixels: origin at
// the top-left corner, y down. Depth is the view-space z in pixels, measured
// from the scene centre: larger is nearer the viewer.
//
// Edge cases: an empty scene keeps the identity fit (scale 1, centre at the
// origin); a scene of one point gets a scale that shows a 10 angstrom field.

#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/Point3d.h"
#include "tessary/graphics/displaylist/DisplayList3D.h"

namespace TessaryScene {

class View {
public:
    View() = default;

    // Rotates by xDeg, yDeg, zDeg and fits the bounding box of everything the
    // renderer draws in 3D (clip planes applied, radii counted) into
    // width x height pixels with a margin, keeping the aspect. Labels count
    // with their text at their first spot (Labels.h), unless no scale could
    // fit them.
    // `top` pixels at the top stay free for the overlay (a title), `bottom`
    // pixels at the bottom for a legend; together at most half the height.
    // Returns false, leaving the identity fit, when the view cannot be
    // computed: an angle that is not finite, or a fit that overflows.
    bool FitView(const Tessary::DisplayList3D& root, double xDeg, double yDeg, double zDeg, int width, int height,
                 int top = 0, int bottom = 0);

    // Pixel x, pixel y and depth of a world point.
    Tessary::Point3d Project(const Tessary::Point3d& world) const;
    // A world direction (or length-carrying vector) in view space, in pixels:
    // x right, y down, z towards the viewer, like Project without the offset.
    void ProjectVector(const double v[3], double out[3]) const;

    // The direction towards the viewer, in world coordinates (a unit vector).
    Tessary::Point3d TowardsViewer() const;
    // Pixels per angstrom.
    double GetScale() const { return m_scale; }
    // World to view space, row vectors (p * R), a pure rotation.
    Tessary::Matrix4x4 GetRotation() const;
    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }

private:
    void SetRotation(double xDeg, double yDeg, double zDeg);

    double m_r[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    double m_centre[3] = {0, 0, 0};  // the fitted box's centre, in view space
    double m_scale = 1.0;
    int m_width = 800;
    int m_height = 600;
    int m_top = 0;
    int m_bottom = 0;
};

}  // namespace TessaryScene
