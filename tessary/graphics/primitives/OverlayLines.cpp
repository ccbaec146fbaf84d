#include "tessary/graphics/primitives/OverlayLines.h"

#include "tessary/frame/Serialization.h"

namespace Tessary {

namespace {
// A segment's two ends out of any array: the first two, or none.
Point2d::Array SegmentEnds(const Point2d::Array& points) {
    Point2d::Array ends;
    if (points.GetSize() >= 2) {
        ends.Add(points[0]);
        ends.Add(points[1]);
    }
    return ends;
}
}  // namespace

UnlitLinePrimitive::~UnlitLinePrimitive() = default;

void UnlitLinePrimitive::SetPoints(const Point2d::Array& points) { m_points.Copy(points); }

void UnlitLinePrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](UnlitLinePrimitive& l) {
        l.GraphicsPrimitive::Serialize(ar);
        ArchiveFields(ar, l.m_points, l.m_color, l.m_width);
    });
}

LineSegmentPrimitive::LineSegmentPrimitive(const Point2d& p1, const Point2d& p2, const Color& color, int width,
                                           unsigned int id)
    : UnlitLinePrimitive(color, width, id) {
    Point2d::Array ends;
    ends.Add(p1);
    ends.Add(p2);
    LineSegmentPrimitive::SetPoints(ends);
}

LineSegmentPrimitive::~LineSegmentPrimitive() = default;

// Reading points[1] of a shorter array would run past its end; an empty
// segment is the one state a renderer and the pick dots can always handle.
void LineSegmentPrimitive::SetPoints(const Point2d::Array& points) {
    UnlitLinePrimitive::SetPoints(SegmentEnds(points));
}

void LineSegmentPrimitive::Serialize(CArchive& ar) {
    ArchiveObject(
        ar, *this, [&ar](LineSegmentPrimitive& s) { s.UnlitLinePrimitive::Serialize(ar); },
        [](LineSegmentPrimitive& s) {
            if (s.m_points.GetSize() != 2) s.m_points = SegmentEnds(s.m_points);
        });
}

PolylinePrimitive::PolylinePrimitive(const Point2d::Array& points, const Color& color, int width, unsigned int id)
    : UnlitLinePrimitive(color, width, id) {
    SetPoints(points);
}

PolylinePrimitive::~PolylinePrimitive() = default;

}  // namespace Tessary
