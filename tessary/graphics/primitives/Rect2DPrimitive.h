#pragma once

// Rect2DPrimitive: a screen-aligned rectangle of integer width and height
// (in the renderer's units) anchored at a 3D point. Transform moves the
// anchor only; the size is the screen's and stays. It has no archive form.

#include <cstdint>

#include "tessary/color/Color.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/Point3d.h"
#include "tessary/graphics/primitives/GraphicsPrimitive.h"

namespace Tessary {

class TESSARY_API Rect2DPrimitive : public UnlitPrimitive {
public:
    Rect2DPrimitive() = default;
    Rect2DPrimitive(const Point3d& coord, const Color& color, int width, int height, unsigned int id)
        : UnlitPrimitive(id), m_coord(coord), m_color(color), m_width(width), m_height(height) {}

    const Point3d& GetCoord() const { return m_coord; }
    void SetCoord(const Point3d& coord) { m_coord = coord; }
    Color GetColor() const { return m_color; }
    void SetColor(const Color& color) { m_color = color; }
    int GetWidth() const { return m_width; }
    void SetWidth(int width) { m_width = width; }
    int GetHeight() const { return m_height; }
    void SetHeight(int height) { m_height = height; }

    virtual void Transform(const Matrix4x4& m) { m.Transform(m_coord); }

protected:
    Point3d m_coord;
    Color m_color;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
};

static_assert(sizeof(Rect2DPrimitive) <= 40, "a screen rectangle is its root, a point, a colour and two sizes");

}  // namespace Tessary
