#pragma once

// Vertex: a position with its own colour, embedded wherever a point of a
// primitive is coloured on its own (sphere centres, line and cylinder ends).
// VertexNormal adds a surface normal, which nothing keeps normalised; meshes
// hold their vertices as VertexNormals.
//
// Equality compares the points (Point3d's ==) and the R, G, B bytes: the
// transparency byte A is ignored. The archive form is the colour word with A
// cleared, then the point (then the normal): a loaded vertex is opaque.
// Transform moves the point only; the normal of a VertexNormal stays as it is.

#include "tessary/color/Color.h"
#include "tessary/frame/CArchive.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/Point3d.h"

namespace Tessary {

class TESSARY_API Vertex {
public:
    Vertex() : m_point(0.0, 0.0, 0.0), m_color(0, 0, 0, 0) {}
    Vertex(const Point3d& point, const Color& color) : m_point(point), m_color(color) {}
    Vertex(const Vertex&) = default;
    Vertex& operator=(const Vertex&) = default;
    virtual ~Vertex() = default;

    const Point3d& GetPoint() const { return m_point; }
    void SetPoint(const Point3d& point) { m_point = point; }
    Color GetColor() const { return m_color; }
    void SetColor(const Color& color) { m_color = color; }

    bool operator==(const Vertex& other) const {
        return m_point == other.m_point && SameRGB(m_color, other.m_color);
    }
    bool operator!=(const Vertex& other) const { return !(*this == other); }

    void Transform(const Matrix4x4& m) { m.Transform(m_point); }

    void Serialize(CArchive& ar);

protected:
    static bool SameRGB(const Color& a, const Color& b) {
        return a.GetR() == b.GetR() && a.GetG() == b.GetG() && a.GetB() == b.GetB();
    }

    Point3d m_point;
    Color m_color;
};

class TESSARY_API VertexNormal : public Vertex {
public:
    VertexNormal() : m_normal(0.0, 0.0, 0.0) {}
    // Note the order: point, normal, colour.
    VertexNormal(const Point3d& point, const Point3d& normal, const Color& color)
        : Vertex(point, color), m_normal(normal) {}

    const Point3d& GetNormal() const { return m_normal; }
    void SetNormal(const Point3d& normal) { m_normal = normal; }
    // Point3d::Normalize's rule: a zero normal stays zero.
    void Normalize() { m_normal.Normalize(); }

    bool operator==(const VertexNormal& other) const {
        return Vertex::operator==(other) && m_normal == other.m_normal;
    }
    bool operator!=(const VertexNormal& other) const { return !(*this == other); }

    void Serialize(CArchive& ar);

protected:
    Point3d m_normal;
};

static_assert(sizeof(Vertex) <= 24, "a vertex is a table pointer, three floats and a colour");
static_assert(sizeof(VertexNormal) <= 40, "a normal adds three floats");

}  // namespace Tessary
