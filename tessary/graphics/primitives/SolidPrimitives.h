#pragma once

// The round lit solids of a scene: spheres, ellipsoids, cylinders and cones
// (tetrahedra live in TetrahedronPrimitive.h). Each is a small value kept by
// the display list in an array per kind.
//
// Radii are kept as floats and pass through the interface as doubles, so a
// set radius comes back rounded to float precision. Transforms move points
// only: a radius, an ellipsoid's semi-axes and its axis matrix stay as they
// are whatever scaling or rotation the matrix holds.
//
// A cylinder has one colour and one object ID per half. SetID sets the
// primitive's ID and both end IDs; the end IDs and the capped flag are not
// part of the archive form, so a load leaves them as they were.
//
// Archive forms, each after the LitPrimitive part:
//   sphere     centre vertex (colour without A, point), radius float
//   ellipsoid  centre vertex, semi-axes point, axis matrix (16 doubles)
//   cylinder   end 1 vertex, end 2 vertex, radius float
//   cone       base point, tip point, colour word with A, radius float
// Points follow the version rule of Point3d (doubles when unset or up to 6).

#include "tessary/color/Color.h"
#include "tessary/frame/CArchive.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/Point3d.h"
#include "tessary/graphics/primitives/GraphicsPrimitive.h"
#include "tessary/graphics/primitives/Vertex.h"
#include "tessary/graphics/primitives/VertexEnds.h"

namespace Tessary {

class TESSARY_API SpherePrimitive : public LitPrimitive {
public:
    SpherePrimitive() = default;
    SpherePrimitive(const Point3d& center, double radius, const Color& color, unsigned int id)
        : LitPrimitive(id), m_center(center, color), m_radius(static_cast<float>(radius)) {}

    const Point3d& GetCenter() const { return m_center.GetPoint(); }
    void SetCenter(const Point3d& center) { m_center.SetPoint(center); }
    Color GetColor() const { return m_center.GetColor(); }
    void SetColor(const Color& color) { m_center.SetColor(color); }
    double GetRadius() const { return m_radius; }
    void SetRadius(double radius) { m_radius = static_cast<float>(radius); }

    // Moves the centre; the radius stays, whatever scaling `m` holds.
    virtual void Transform(const Matrix4x4& m) { m_center.Transform(m); }

    void Serialize(CArchive& ar);

protected:
    Vertex m_center;
    float m_radius = 0.0f;
};

// Not a sphere: its own kind, with three semi-axes along the axes of a matrix.
class TESSARY_API EllipsoidPrimitive : public LitPrimitive {
public:
    EllipsoidPrimitive() = default;
    EllipsoidPrimitive(const Point3d& center, const Point3d& size, const Matrix4x4& matrix, const Color& color,
                       unsigned int id)
        : LitPrimitive(id), m_center(center, color), m_size(size), m_matrix(matrix) {}

    const Point3d& GetCenter() const { return m_center.GetPoint(); }
    void SetCenter(const Point3d& center) { m_center.SetPoint(center); }
    Color GetColor() const { return m_center.GetColor(); }
    void SetColor(const Color& color) { m_center.SetColor(color); }
    const Point3d& GetSize() const { return m_size; }
    void SetSize(const Point3d& size) { m_size = size; }
    const Matrix4x4& GetMatrix() const { return m_matrix; }
    void SetMatrix(const Matrix4x4& matrix) { m_matrix = matrix; }

    // Moves the centre only; semi-axes and axis matrix stay as they are.
    virtual void Transform(const Matrix4x4& m) { m_center.Transform(m); }

    void Serialize(CArchive& ar);

protected:
    Vertex m_center;
    Point3d m_size;
    Matrix4x4 m_matrix{Matrix4x4::IdentityMatrix};
};

class TESSARY_API CylinderPrimitive : public VertexEnds<LitPrimitive> {
public:
    CylinderPrimitive() = default;
    // Both end IDs take `id`.
    CylinderPrimitive(const Point3d& end1, const Color& color1, const Point3d& end2, const Color& color2,
                      double radius, unsigned int id)
        : CylinderPrimitive(end1, color1, end2, color2, radius, id, id, id) {}
    CylinderPrimitive(const Point3d& end1, const Color& color1, const Point3d& end2, const Color& color2,
                      double radius, unsigned int id, unsigned int end1ID, unsigned int end2ID)
        : VertexEnds(end1, color1, end2, color2, id), m_radius(static_cast<float>(radius)), m_end1ID(end1ID),
          m_end2ID(end2ID) {}

    double GetRadius() const { return m_radius; }
    void SetRadius(double radius) { m_radius = static_cast<float>(radius); }
    unsigned int GetEnd1ID() const { return m_end1ID; }
    void SetEnd1ID(unsigned int id) { m_end1ID = id; }
    unsigned int GetEnd2ID() const { return m_end2ID; }
    void SetEnd2ID(unsigned int id) { m_end2ID = id; }
    bool GetIsCapped() const { return m_isCapped; }
    void SetIsCapped(bool capped) { m_isCapped = capped; }

    // The primitive's ID and both end IDs at once (hides GraphicsPrimitive::SetID).
    void SetID(unsigned int id) {
        GraphicsPrimitive::SetID(id);
        m_end1ID = m_end2ID = id;
    }

    // Rotations go through the virtual Transform, so a subclass that
    // overrides Transform sees them too. Angles in degrees.
    virtual void Rotate(const Point3d& axis, const Point3d& point, double angle) {
        Transform(Matrix4x4(axis, point, angle));
    }
    virtual void Rotate(const Point3d& axis, double angle) { Transform(Matrix4x4(axis, angle)); }
    // Moves both ends; radius, colours, IDs and the capped flag stay.
    virtual void Transform(const Matrix4x4& m) { TransformEnds(m); }
    virtual void Translate(const Point3d& offset) {
        m_end1.SetPoint(m_end1.GetPoint() + offset);
        m_end2.SetPoint(m_end2.GetPoint() + offset);
    }

    void Serialize(CArchive& ar);

protected:
    float m_radius = 0.0f;
    std::uint32_t m_end1ID = 0;
    std::uint32_t m_end2ID = 0;
    bool m_isCapped = true;
};

class TESSARY_API ConePrimitive : public LitPrimitive {
public:
    ConePrimitive() = default;
    ConePrimitive(const Point3d& base, const Point3d& tip, const Color& color, double radius, unsigned int id)
        : LitPrimitive(id), m_base(base), m_tip(tip), m_color(color), m_radius(static_cast<float>(radius)) {}

    const Point3d& GetBase() const { return m_base; }
    void SetBase(const Point3d& base) { m_base = base; }
    const Point3d& GetTip() const { return m_tip; }
    void SetTip(const Point3d& tip) { m_tip = tip; }
    Color GetColor() const { return m_color; }
    void SetColor(const Color& color) { m_color = color; }
    double GetRadius() const { return m_radius; }
    void SetRadius(double radius) { m_radius = static_cast<float>(radius); }

    // Moves base and tip; the base radius stays.
    virtual void Transform(const Matrix4x4& m) {
        m.Transform(m_base);
        m.Transform(m_tip);
    }

    void Serialize(CArchive& ar);

protected:
    Point3d m_base;
    Point3d m_tip;
    Color m_color;
    float m_radius = 0.0f;
};

}  // namespace Tessary
