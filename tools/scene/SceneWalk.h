#pragma once

// The one walk over a display-list tree that the view and the renderer share,
// so the fit and the picture see the same primitives in the same places.
// Every list's 3D content goes through its aggregate transformation (parent x
// local, row vectors) and is kept only when its reference point (a centre, a
// midpoint, a centroid) lies on the kept side of each enabled clip plane of
// its list: a x + b y + c z + d >= 0 in world coordinates, the rule the
// library's pick dots follow. The sink receives world coordinates.
//
// Radii, semi-axes and the ellipsoid axis matrix do not follow the list's
// transformation, just as baking a transformation into the primitives leaves
// them alone: a tree renders the same before and after Flatten.
//
// Not drawn: cones, icons, screen rectangles and volumes.

#include <cmath>
#include <utility>
#include <vector>

#include "tessary/color/Color.h"
#include "tessary/graphics/displaylist/DisplayList3D.h"

namespace TessaryScene {

// A dash pattern along a line: none, n dashes over the whole line, or a
// 16-bit stipple repeated along it (bit 0 first, one pixel a bit).
struct LineDash {
    enum Kind { None, Count, Stipple } kind = None;
    int count = 0;
    bool startBlank = false;
    unsigned short stipple = 0;
};

// Each kind does nothing unless a sink wants it.
class WorldSink {
public:
    virtual ~WorldSink() = default;
    virtual void Sphere(const Tessary::Point3d& /*centre*/, double /*radius*/, Tessary::Color /*color*/) {}
    // The semi-axes as the rows of `axes` (each scaled by its length).
    virtual void Ellipsoid(const Tessary::Point3d& /*centre*/, const double /*axes*/[3][3], Tessary::Color /*color*/) {}
    virtual void Cylinder(const Tessary::Point3d& /*end1*/, const Tessary::Point3d& /*end2*/, double /*radius*/,
                          Tessary::Color /*color1*/, Tessary::Color /*color2*/) {}
    // A lit flat face; `lit` false for unlit triangles.
    virtual void Face(const Tessary::Point3d& /*a*/, const Tessary::Point3d& /*b*/, const Tessary::Point3d& /*c*/,
                      Tessary::Color /*color*/, bool /*lit*/) {}
    virtual void Line(const Tessary::Point3d& /*end1*/, const Tessary::Point3d& /*end2*/, Tessary::Color /*color1*/,
                      Tessary::Color /*color2*/, double /*width*/, const LineDash& /*dash*/) {}
    virtual void Dot(const Tessary::Point3d& /*p*/, Tessary::Color /*color*/, double /*width*/) {}
    // A label in the scene (annotation labels belong to the overlay).
    virtual void Label(const Tessary::Point3d& /*p*/, const Tessary::Text3DPrimitive& /*label*/) {}
    // Each list once, before its primitives, with its aggregate transformation:
    // the overlay is unclipped and in pixels, but a callout's anchor is 3D.
    virtual void List(const Tessary::DisplayList3D&, const Tessary::Matrix4x4&) {}
};

// False for Point3d::maximum, the stand-in for a point without a finite
// image under a projective transformation, and for anything not finite.
inline bool HasImage(const Tessary::Point3d& p) {
    const float limit = Tessary::Point3d::maximum.x;
    return std::fabs(p.x) < limit && std::fabs(p.y) < limit && std::fabs(p.z) < limit;
}

// Calls visit(list, state) for `root` and each list below it in pre-order
// (children in index order); a list's children get the state its own visit
// returned, `root` gets `rootState`. The walk keeps its own stack, so a
// stored scene of any depth fits on the thread's stack.
template <class List, class State, class Visit>
void ForEachList(List& root, const State& rootState, Visit&& visit) {
    std::vector<std::pair<List*, State>> stack{{&root, rootState}};
    while (!stack.empty()) {
        std::pair<List*, State> top = std::move(stack.back());
        stack.pop_back();
        const State childState = visit(*top.first, top.second);
        for (int i = top.first->GetNumDisplayLists(); i-- > 0;)
            stack.emplace_back(&top.first->GetDisplayList(i), childState);
    }
}

// Hands every visible 3D primitive of `root`'s tree to `sink`.
void WalkWorld(const Tessary::DisplayList3D& root, WorldSink& sink);

}  // namespace TessaryScene
