#include "Pick.h"

#include <cmath>

namespace TessaryScene {

PickResult Pick(const std::vector<Tessary::DotPrimitive>& dots, const View& view, double x, double y,
                double tolerance) {
    PickResult best;
    best.distance = tolerance;
    for (const auto& dot : dots) {
        const Tessary::Point3d p = view.Project(dot.GetCoord());
        const double d = std::hypot(p.x - x, p.y - y);
        if (d > tolerance) continue;
        if (!best.found || d < best.distance - 0.5 || (d <= best.distance + 0.5 && p.z > best.pixel.z)) {
            best.found = true;
            best.id = dot.GetID();
            best.pixel = p;
            best.distance = d;
        }
    }
    return best;
}

const std::vector<Tessary::DotPrimitive>& Picker::Collect(const Tessary::DisplayList3D& root) {
    m_dots.clear();  // keeps the capacity
    root.GetPickDots(m_dots);
    return m_dots;
}

PickResult Picker::Pick(const Tessary::DisplayList3D& root, const View& view, double x, double y, double tolerance) {
    return TessaryScene::Pick(Collect(root), view, x, y, tolerance);
}

}  // namespace TessaryScene
