#include "tessary/graphics/primitives/ArcPrimitive.h"

#include <algorithm>

#include "tessary/frame/Serialization.h"

namespace Tessary {

ArcPrimitive::ArcPrimitive(const Point3d& center, const Point3d& normal, const Point3d& start, double angle,
                           int numSegments, const Color& color, int width, unsigned int id)
    : UnlitPrimitive(id), m_center(center), m_normal(normal), m_start(start), m_angle(static_cast<float>(angle)),
      m_numSegments(numSegments), m_color(color), m_width(width) {
    Generate();
}

const Point3d& ArcPrimitive::GetPointAt(int i) const {
    if (m_points.IsEmpty()) return m_start;
    return m_points[std::clamp(i, 0, m_points.GetSize() - 1)];
}

void ArcPrimitive::Generate() {
    const int segments = std::min(m_numSegments, kMaxSegments);
    Point3d::Array points;
    points.SetSize(std::max(segments, 0) + 1);
    points[0] = m_start;
    if (segments > 0) {
        // Step by step from the last point, as the arc has always been drawn;
        // the step is the float angle divided in float.
        const Matrix4x4 step(m_normal, m_center, m_angle / static_cast<float>(segments));
        for (int i = 1; i <= segments; ++i) {
            points[i] = points[i - 1];
            step.Transform(points[i]);
        }
    }
    m_points = std::move(points);
}

void ArcPrimitive::Transform(const Matrix4x4& m) {
    m.Transform(m_center);
    m.Transform(m_normal);
    m_normal.Normalize();
    m.Transform(m_start);
}

void ArcPrimitive::TransformAll(const Matrix4x4& m) {
    const Point3d centre = m_center * m;
    m_normal = (m_center + m_normal) * m - centre;
    m_normal.Normalize();
    m_center = centre;
    m.Transform(m_start);
    m.Transform(m_points);
}

void ArcPrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](ArcPrimitive& a) {
        a.GraphicsPrimitive::Serialize(ar);
        ArchiveFields(ar, a.m_center, a.m_normal, a.m_start, a.m_color, a.m_points, a.m_angle, a.m_numSegments,
                      a.m_width);
    });
}

}  // namespace Tessary
