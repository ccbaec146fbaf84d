#pragma once

// Outlined or filled shapes of the 2D overlay, anchored at an origin in the
// host's overlay coordinates (never transformed by the library). The shape
// base carries the outline and fill style; rectangles and ellipses add a
// size, triangles three corners.
//
// Edge cases: a default shape is outlined, white on white, outline width 1,
// not filled, not stippled, stipple pattern 4. A rectangle's constructor
// takes the size before the origin. A triangle's constructor puts its first
// corner into the origin as well; SetPoint1 later leaves the origin alone.
//
// Archive forms:
//   UnlitShapePrimitive: the object ID; the origin (two doubles); the
//     foreground and background colours, each a whole word, A included;
//     outlined (word); outline width (word); filled (word); stippled (word);
//     stipple pattern (word). Flags load as true when their word is non-zero.
//   RectanglePrimitive and EllipsePrimitive: the shape form; the size.
//   TriangleShapePrimitive: the shape form; corners 1, 2 and 3.

#include <cstdint>

#include "tessary/color/Color.h"
#include "tessary/frame/CArchive.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Point2d.h"
#include "tessary/graphics/primitives/GraphicsPrimitive.h"

namespace Tessary {

class TESSARY_API UnlitShapePrimitive : public UnlitPrimitive {
public:
    // Host-defined values; the library only keeps them. 4 is the default.
    enum StipplePattern : int { DefaultStipplePattern = 4 };

    UnlitShapePrimitive() = default;
    explicit UnlitShapePrimitive(unsigned int id) : UnlitPrimitive(id) {}
    // Not stippled, pattern 4.
    UnlitShapePrimitive(const Point2d& origin, bool isOutlined, const Color& foreground, int outlineWidth,
                        bool isFilled, const Color& background, unsigned int id)
        : UnlitPrimitive(id),
          m_outlineWidth(outlineWidth),
          m_origin(origin),
          m_foreground(foreground),
          m_background(background),
          m_isOutlined(isOutlined),
          m_isFilled(isFilled) {}
    UnlitShapePrimitive(const UnlitShapePrimitive&) = default;
    UnlitShapePrimitive& operator=(const UnlitShapePrimitive&) = default;
    ~UnlitShapePrimitive() override;

    const Point2d& GetOrigin() const { return m_origin; }
    void SetOrigin(const Point2d& origin) { m_origin = origin; }
    bool GetIsOutlined() const { return m_isOutlined; }
    void SetIsOutlined(bool isOutlined) { m_isOutlined = isOutlined; }
    Color GetForegroundColor() const { return m_foreground; }
    void SetForegroundColor(const Color& color) { m_foreground = color; }
    int GetOutlineWidth() const { return m_outlineWidth; }
    void SetOutlineWidth(int width) { m_outlineWidth = width; }
    bool GetIsFilled() const { return m_isFilled; }
    void SetIsFilled(bool isFilled) { m_isFilled = isFilled; }
    Color GetBackgroundColor() const { return m_background; }
    void SetBackgroundColor(const Color& color) { m_background = color; }
    bool GetIsStippled() const { return m_isStippled; }
    void SetIsStippled(bool isStippled) { m_isStippled = isStippled; }
    StipplePattern GetStipplePattern() const { return m_stipplePattern; }
    void SetStipplePattern(StipplePattern pattern) { m_stipplePattern = pattern; }

    virtual void Serialize(CArchive& ar);

protected:
    // The width first: it fills the room the ID leaves before the origin.
    std::int32_t m_outlineWidth = 1;
    Point2d m_origin;
    Color m_foreground = Color::White();
    Color m_background = Color::White();
    StipplePattern m_stipplePattern = DefaultStipplePattern;
    bool m_isOutlined = true;
    bool m_isFilled = false;
    bool m_isStippled = false;
};

class TESSARY_API RectanglePrimitive : public UnlitShapePrimitive {
public:
    RectanglePrimitive() = default;
    // The size comes first, then the origin.
    RectanglePrimitive(const Point2d& size, const Point2d& origin, bool isOutlined, const Color& foreground,
                       int outlineWidth, bool isFilled, const Color& background, unsigned int id)
        : UnlitShapePrimitive(origin, isOutlined, foreground, outlineWidth, isFilled, background, id),
          m_size(size) {}
    // Size (0, 0).
    RectanglePrimitive(const Point2d& origin, bool isOutlined, const Color& foreground, int outlineWidth,
                       bool isFilled, const Color& background, unsigned int id)
        : UnlitShapePrimitive(origin, isOutlined, foreground, outlineWidth, isFilled, background, id) {}
    RectanglePrimitive(const RectanglePrimitive&) = default;
    RectanglePrimitive& operator=(const RectanglePrimitive&) = default;
    ~RectanglePrimitive() override;

    // Width and height.
    const Point2d& GetSize() const { return m_size; }
    void SetSize(const Point2d& size) { m_size = size; }

    void Serialize(CArchive& ar) override;

protected:
    Point2d m_size;
};

// Described by the rectangle's origin and size.
class TESSARY_API EllipsePrimitive : public RectanglePrimitive {
public:
    using RectanglePrimitive::RectanglePrimitive;
    EllipsePrimitive() = default;
    EllipsePrimitive(const EllipsePrimitive&) = default;
    EllipsePrimitive& operator=(const EllipsePrimitive&) = default;
    ~EllipsePrimitive() override;
};

class TESSARY_API TriangleShapePrimitive : public UnlitShapePrimitive {
public:
    TriangleShapePrimitive() = default;
    // The origin is p1.
    TriangleShapePrimitive(const Point2d& p1, const Point2d& p2, const Point2d& p3, bool isOutlined,
                           const Color& foreground, int outlineWidth, bool isFilled, const Color& background,
                           unsigned int id)
        : UnlitShapePrimitive(p1, isOutlined, foreground, outlineWidth, isFilled, background, id),
          m_point1(p1),
          m_point2(p2),
          m_point3(p3) {}
    TriangleShapePrimitive(const TriangleShapePrimitive&) = default;
    TriangleShapePrimitive& operator=(const TriangleShapePrimitive&) = default;
    ~TriangleShapePrimitive() override;

    Point2d GetPoint1() const { return m_point1; }
    Point2d GetPoint2() const { return m_point2; }
    Point2d GetPoint3() const { return m_point3; }
    // The corner setters leave the origin where it is.
    void SetPoint1(const Point2d& p) { m_point1 = p; }
    void SetPoint2(const Point2d& p) { m_point2 = p; }
    void SetPoint3(const Point2d& p) { m_point3 = p; }

    void Serialize(CArchive& ar) override;

protected:
    Point2d m_point1;
    Point2d m_point2;
    Point2d m_point3;
};

static_assert(sizeof(UnlitShapePrimitive) <= 48, "a shape is its root, an origin, two colours and its style");
static_assert(sizeof(TriangleShapePrimitive) <= 96, "a triangle shape adds three points");

}  // namespace Tessary
