#pragma once

// The two coloured ends that lines and cylinders share: each end is a vertex
// (a point with the colour of its half), with the accessors of both kinds and
// the move that transforms both points. Base is the kind's root (lit or
// unlit). The kinds declare their own virtual Transform, each in the place
// its table of virtual functions asks for, and call TransformEnds from it.

#include "tessary/color/Color.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/Point3d.h"
#include "tessary/graphics/primitives/Vertex.h"

namespace Tessary {

template <class Base>
class TESSARY_API VertexEnds : public Base {
public:
    const Point3d& GetEnd1() const { return m_end1.GetPoint(); }
    void SetEnd1(const Point3d& end) { m_end1.SetPoint(end); }
    const Point3d& GetEnd2() const { return m_end2.GetPoint(); }
    void SetEnd2(const Point3d& end) { m_end2.SetPoint(end); }
    Color GetColor1() const { return m_end1.GetColor(); }
    void SetColor1(const Color& color) { m_end1.SetColor(color); }
    Color GetColor2() const { return m_end2.GetColor(); }
    void SetColor2(const Color& color) { m_end2.SetColor(color); }

protected:
    VertexEnds() = default;
    VertexEnds(const Point3d& end1, const Color& color1, const Point3d& end2, const Color& color2, unsigned int id)
        : Base(id), m_end1(end1, color1), m_end2(end2, color2) {}

    // Both points become p * m; the colours stay.
    void TransformEnds(const Matrix4x4& m) {
        m_end1.Transform(m);
        m_end2.Transform(m);
    }

    Vertex m_end1;
    Vertex m_end2;
};

}  // namespace Tessary
