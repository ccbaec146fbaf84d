#pragma once

// Picking as a viewer does it: project the pick dots of the tree through
// the view and take the one under the cursor.

#include <vector>

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

}  // namespace TessaryScene
