#pragma once

// Open lines of the 2D overlay, in the host's overlay coordinates (never
// transformed by the library). UnlitLinePrimitive holds any number of points
// with one colour and width; PolylinePrimitive is the same; a
// LineSegmentPrimitive holds no point or exactly two.
//
// Edge cases: SetPoints with the line's own array does nothing. A segment
// keeps the first two points it is given and ignores the rest; given fewer
// than two (through SetPoints, through the base's virtual SetPoints, or
// from an archive) it holds no point, so a segment never has one end only.
//
// Archive form (every line kind): the object ID; the points in the
// platform-array form (the archive's count, then two doubles per point);
// the colour as a whole word, A included; the width (word).

#include <cstdint>

#include "tessary/color/Color.h"
#include "tessary/frame/CArchive.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Point2d.h"
#include "tessary/graphics/primitives/GraphicsPrimitive.h"

namespace Tessary {

class TESSARY_API UnlitLinePrimitive : public UnlitPrimitive {
public:
    UnlitLinePrimitive() = default;
    explicit UnlitLinePrimitive(unsigned int id) : UnlitPrimitive(id) {}
    UnlitLinePrimitive(const Point2d::Array& points, const Color& color, int width, unsigned int id)
        : UnlitPrimitive(id), m_points(points), m_color(color), m_width(width) {}
    UnlitLinePrimitive(const Color& color, int width, unsigned int id)
        : UnlitPrimitive(id), m_color(color), m_width(width) {}
    UnlitLinePrimitive(const UnlitLinePrimitive&) = default;
    UnlitLinePrimitive& operator=(const UnlitLinePrimitive&) = default;
    ~UnlitLinePrimitive() override;

    const Point2d::Array& GetPoints() const { return m_points; }
    // Copies the points.
    virtual void SetPoints(const Point2d::Array& points);
    Color GetColor() const { return m_color; }
    void SetColor(const Color& color) { m_color = color; }
    int GetWidth() const { return m_width; }
    void SetWidth(int width) { m_width = width; }

    virtual void Serialize(CArchive& ar);

protected:
    Point2d::Array m_points;
    Color m_color = Color::White();
    std::int32_t m_width = 1;
};

class TESSARY_API LineSegmentPrimitive : public UnlitLinePrimitive {
public:
    LineSegmentPrimitive() = default;
    LineSegmentPrimitive(const Point2d& p1, const Point2d& p2, const Color& color, int width, unsigned int id);
    LineSegmentPrimitive(const Color& color, int width, unsigned int id) : UnlitLinePrimitive(color, width, id) {}
    LineSegmentPrimitive(const LineSegmentPrimitive&) = default;
    LineSegmentPrimitive& operator=(const LineSegmentPrimitive&) = default;
    ~LineSegmentPrimitive() override;

    // Keeps points[0] and points[1]; fewer than two points leave no point.
    void SetPoints(const Point2d::Array& points) override;
    // The line form; a loaded array other than two points leaves no point
    // or the first two, as SetPoints would.
    void Serialize(CArchive& ar) override;
};

class TESSARY_API PolylinePrimitive : public UnlitLinePrimitive {
public:
    PolylinePrimitive() = default;
    PolylinePrimitive(const Point2d::Array& points, const Color& color, int width, unsigned int id);
    PolylinePrimitive(const Color& color, int width, unsigned int id) : UnlitLinePrimitive(color, width, id) {}
    PolylinePrimitive(const PolylinePrimitive&) = default;
    PolylinePrimitive& operator=(const PolylinePrimitive&) = default;
    ~PolylinePrimitive() override;
};

static_assert(sizeof(LineSegmentPrimitive) <= 48, "a line is its root, one array, a colour and a width");

}  // namespace Tessary
