#pragma once

// Single triangles: TrianglePrimitive is lit and carries a facet normal that
// the caller supplies (it is never recomputed, and Transform leaves it as it
// is); UnlitTrianglePrimitive is drawn flat. Both colour the whole triangle
// with one colour, and both compare by geometry only: the ends (and the normal
// of the lit kind) by Point3d's ==, never the colour, the ID or the material.
//
// Archive forms:
//   TrianglePrimitive: the LitPrimitive part; three vertex forms, one per
//     corner (the colour word with A cleared, then the corner); the normal.
//     Loading takes the colour of the first vertex form, so a loaded triangle
//     is opaque.
//   UnlitTrianglePrimitive: the object ID; the three ends; the colour as one
//     whole word, A included.
// Points follow Point3d's rule: doubles while the version is unset or at most
// 6, floats from 7 on.

#include "tessary/color/Color.h"
#include "tessary/frame/CArchive.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/Point3d.h"
#include "tessary/graphics/primitives/GraphicsPrimitive.h"

namespace Tessary {

// The three corners both triangle kinds hold, with their accessors and the
// transform that moves them; Base is the kind's root (lit or unlit).
template <class Base>
class TESSARY_API TriangleCorners : public Base {
public:
    const Point3d& GetEnd1() const { return m_end1; }
    const Point3d& GetEnd2() const { return m_end2; }
    const Point3d& GetEnd3() const { return m_end3; }
    void SetEnd1(const Point3d& end) { m_end1 = end; }
    void SetEnd2(const Point3d& end) { m_end2 = end; }
    void SetEnd3(const Point3d& end) { m_end3 = end; }

    // Each end becomes end * m; nothing else changes.
    virtual void Transform(const Matrix4x4& m) {
        m.Transform(m_end1);
        m.Transform(m_end2);
        m.Transform(m_end3);
    }

protected:
    TriangleCorners() = default;
    TriangleCorners(const Point3d& end1, const Point3d& end2, const Point3d& end3, unsigned int id)
        : Base(id), m_end1(end1), m_end2(end2), m_end3(end3) {}

    bool SameEnds(const TriangleCorners& other) const {
        return m_end1 == other.m_end1 && m_end2 == other.m_end2 && m_end3 == other.m_end3;
    }

    Point3d m_end1;
    Point3d m_end2;
    Point3d m_end3;
};

class TESSARY_API TrianglePrimitive : public TriangleCorners<LitPrimitive> {
public:
    TrianglePrimitive() = default;
    // Material and representation 0.
    TrianglePrimitive(const Point3d& end1, const Point3d& end2, const Point3d& end3, const Point3d& normal,
                      const Color& color, unsigned int id)
        : TriangleCorners(end1, end2, end3, id), m_normal(normal), m_color(color) {}
    TrianglePrimitive(const TrianglePrimitive&) = default;
    TrianglePrimitive& operator=(const TrianglePrimitive&) = default;

    const Point3d& GetNormal() const { return m_normal; }
    void SetNormal(const Point3d& normal) { m_normal = normal; }
    Color GetColor() const { return m_color; }
    void SetColor(const Color& color) { m_color = color; }

    // Ends and normal; not the colour, the ID, the material or the representation.
    bool operator==(const TrianglePrimitive& other) const { return SameEnds(other) && m_normal == other.m_normal; }
    bool operator!=(const TrianglePrimitive& other) const { return !(*this == other); }

    void Serialize(CArchive& ar);

protected:
    Point3d m_normal;
    Color m_color;
};

class TESSARY_API UnlitTrianglePrimitive : public TriangleCorners<UnlitPrimitive> {
public:
    UnlitTrianglePrimitive() = default;
    UnlitTrianglePrimitive(const Point3d& end1, const Point3d& end2, const Point3d& end3, const Color& color,
                           unsigned int id)
        : TriangleCorners(end1, end2, end3, id), m_color(color) {}
    UnlitTrianglePrimitive(const UnlitTrianglePrimitive&) = default;
    UnlitTrianglePrimitive& operator=(const UnlitTrianglePrimitive&) = default;

    Color GetColor() const { return m_color; }
    void SetColor(const Color& color) { m_color = color; }

    // The ends only.
    bool operator==(const UnlitTrianglePrimitive& other) const { return SameEnds(other); }
    bool operator!=(const UnlitTrianglePrimitive& other) const { return !(*this == other); }

    void Serialize(CArchive& ar);

protected:
    Color m_color;
};

static_assert(sizeof(TrianglePrimitive) <= 72, "a lit triangle is its root, four points and a colour");
static_assert(sizeof(UnlitTrianglePrimitive) <= 56, "an unlit triangle is its root, three points and a colour");

}  // namespace Tessary
