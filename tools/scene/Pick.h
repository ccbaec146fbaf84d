#pragma once

// Picking as a viewer does it: project the pick dots of the tree through
// the view and take the one under the cursor.

#include <vector>

#include "tessary/graphics/displaylist/DisplayList3D.h"
#include "tessary/graphics/primitives/PointPrimitives.h"

#include "View.h"

namespace TessaryScene {

struct PickResult {
    bool found = false;
    unsigned id = 0;
    Tessary::Point3d pixel;  // the dot's projection: x, y, depth
    double distance = 0.0;   // pixels from the cursor
};

// The dot nearest the cursor on the screen within `tolerance` pixels; among
// dots as near (within half a pixel), the one nearest the viewer.
PickResult Pick(const std::vector<Tessary::DotPrimitive>& dots, const View& view, double x, double y,
                double tolerance = 8.0);

// Picks on a tree click after click. The dots are gathered anew each time
// (the tree or its clipping may have changed), into a buffer the picker
// keeps: after the first pick the buffer has room for a scene's dots, so
// later picks on a scene of that size allocate nothing.
class Picker {
public:
    // The tree's pick dots, in the tree's order; valid until the next call.
    const std::vector<Tessary::DotPrimitive>& Collect(const Tessary::DisplayList3D& root);
    // Collects the dots and picks among them as Pick above does.
    PickResult Pick(const Tessary::DisplayList3D& root, const View& view, double x, double y, double tolerance = 8.0);

private:
    std::vector<Tessary::DotPrimitive> m_dots;
};

}  // namespace TessaryScene
