#pragma once

// ArcPrimitive: a circular arc drawn as a polyline. The arc is given by its
// centre, its axis (the normal), a start point, a swept angle in degrees and
// a number of segments; the polyline's points are generated from those by the
// constructor and by Generate, and by nothing else: the setters change only
// the stored parameter and Transform moves centre, normal and start but keeps
// the generated points as they were, so a host regenerates when it wants the
// points to follow.
//
// Edge cases:
// - Generation turns the start about the normal through the centre by
//   angle / segments, segment after segment. With 0 or fewer segments the
//   polyline is the start point alone (no rotation is built).
// - The polyline holds at most kMaxSegments segments: a larger count (a host
//   value or one read from a file) sweeps the same angle in kMaxSegments
//   steps, so no count can make Generate allocate without bound. The stored
//   count stays as given. Loading never generates: it reads the points as
//   stored, and their count is checked against the input first.
// - Transform treats the normal as a point (translation included) and then
//   normalises it; a normal that maps to zero stays zero. TransformAll moves
//   the polyline too and turns the normal as a direction.
// - GetPointAt clamps its index into the polyline; an arc without points (a
//   default one, or one loaded so) gives its start point.
// - The default arc has angle 0, 0 segments and width 0, and no points.
//
// Archive form: object ID; centre, normal and start (Point3d's rule: doubles
// while the version is unset or at most 6, floats from 7 on); the colour as
// one whole word, A included; the points as the archive's count of them and
// their memory images, three floats each, whatever the version; the angle as
// a float; the number of segments; the width. A load that throws leaves the
// arc as it was.

#include <cstdint>

#include "tessary/color/Color.h"
#include "tessary/frame/CArchive.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/Point3d.h"
#include "tessary/graphics/primitives/GraphicsPrimitive.h"

namespace Tessary {

class TESSARY_API ArcPrimitive : public UnlitPrimitive {
public:
    // Far finer than any screen shows a circle, and a bounded allocation.
    static constexpr int kMaxSegments = 1 << 16;

    ArcPrimitive() = default;
    // Stores the parameters (the angle rounded to float) and generates the points.
    ArcPrimitive(const Point3d& center, const Point3d& normal, const Point3d& start, double angle, int numSegments,
                 const Color& color, int width, unsigned int id);

    const Point3d& GetCenter() const { return m_center; }
    void SetCenter(const Point3d& center) { m_center = center; }
    const Point3d& GetNormal() const { return m_normal; }
    void SetNormal(Point3d& normal) { m_normal = normal; }
    const Point3d& GetStart() const { return m_start; }
    void SetStart(Point3d& start) { m_start = start; }
    double GetAngle() const { return m_angle; }
    void SetAngle(double angle) { m_angle = static_cast<float>(angle); }
    int GetNumSegments() const { return m_numSegments; }
    void SetNumSegments(int numSegments) { m_numSegments = numSegments; }
    Color GetColor() const { return m_color; }
    void SetColor(const Color& color) { m_color = color; }
    int GetWidth() const { return m_width; }
    void SetWidth(int width) { m_width = width; }

    int GetNumPoints() const { return m_points.GetSize(); }
    // Point i of the polyline, i clamped into it; the start for an arc without points.
    const Point3d& GetPointAt(int i) const;
    const Point3d::Array& GetPoints() const { return m_points; }

    // Replaces the polyline with one made from the current parameters.
    void Generate();

    // Centre and start are moved, the normal is moved as a point and
    // normalised; angle, segments and the polyline stay.
    virtual void Transform(const Matrix4x4& m);
    // Moves the whole arc, as baking a display list does: centre, start and
    // every polyline point, and turns the normal as a direction at the centre,
    // ((centre + normal) * m - centre * m, normalised). Under a similarity
    // the polyline is then what Generate makes of the moved parameters.
    virtual void TransformAll(const Matrix4x4& m);

    void Serialize(CArchive& ar);

protected:
    Point3d m_center;
    Point3d m_normal;
    Point3d m_start;
    float m_angle = 0.0f;
    std::int32_t m_numSegments = 0;
    Color m_color;
    std::int32_t m_width = 0;
    Point3d::Array m_points;
};

static_assert(sizeof(ArcPrimitive) <= 88, "an arc is its root, three points, four words and one vector");

}  // namespace Tessary
