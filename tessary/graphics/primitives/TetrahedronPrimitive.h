#pragma once

// A lit tetrahedron, and the decomposition of a convex point set (a ligand
// shell, a cage) into tetrahedra whose visible faces form its hull.
//
// Vertices V0..V3 are ordered at construction so that (V1 - V0) x (V2 - V0)
// never points towards V3. Faces, with their opposite vertex:
//   0: V0 V1 V2 (V3)   1: V0 V3 V1 (V2)   2: V0 V2 V3 (V1)   3: V1 V3 V2 (V0)
// Each face keeps its centroid and unit normal, pointing away from the
// opposite vertex. A face whose opposite vertex lies within 0.001 of its
// plane is degenerate: its normal is kept as the cross product gave it,
// unoriented, and the tetrahedron is built all the same.
//
// A hidden face is shared with a neighbour and not drawn; GetNumFaces counts
// the others. Face numbers outside 0..3 are the caller's fault; they read as
// a visible face at the origin with a zero normal and set nothing.
//
// DecomposePolyhedron appends to `result` (never clears it): one tetrahedron
// of the first four points, then, for each further point, one tetrahedron on
// every visible face that the point lies more than 0.001 beyond, hiding the
// faces that the new tetrahedra share. Fewer than four points append nothing.
// Points that lie inside the hull so far add nothing. It runs in a loop, not
// by recursion, so any number of points is fine. The visible faces are filed
// by the direction of their normals, and each point looks only at those that
// can turn towards it: on a round hull the time grows little faster than the
// point count, and it finds what a scan of every visible face would.
// The tolerances are absolute: where corners crowd together and faces grow
// thin, a point may lie past the tolerance beyond two faces but not beyond
// the one between them. Building on both would overlap and tear the hull, so
// only the edge-connected patch around the face the point lies farthest
// beyond is built on; on well-spread points this never arises.
//
// Archive form, after the LitPrimitive part, for each face i: vertex Vi with
// the colour (A cleared), centroid i, normal i. Hidden flags are not stored:
// a loaded tetrahedron has none, and takes its colour from the first vertex.

#include "tessary/color/Color.h"
#include "tessary/frame/CArchive.h"
#include "tessary/frame/CArray.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/Point3d.h"
#include "tessary/graphics/primitives/GraphicsPrimitive.h"

namespace Tessary {

class TESSARY_API TetrahedronPrimitive : public LitPrimitive {
public:
    using Array = CArray<TetrahedronPrimitive, const TetrahedronPrimitive&>;

    TetrahedronPrimitive() = default;
    // Object ID, material, representation and colour 0; no face hidden.
    TetrahedronPrimitive(const Point3d& p1, const Point3d& p2, const Point3d& p3, const Point3d& p4);

    Color GetColor() const { return m_color; }
    void SetColor(const Color& color) { m_color = color; }

    // 4 minus the hidden faces.
    int GetNumFaces() const;
    bool GetHiddenFace(int face) const { return IsFace(face) && m_hiddenFaces[face]; }
    void SetHiddenFace(int face, bool hidden) {
        if (IsFace(face)) m_hiddenFaces[face] = hidden;
    }
    const Point3d& GetFaceCentroid(int face) const { return IsFace(face) ? m_faceCentroids[face] : Point3d::zero; }
    const Point3d& GetFaceNormal(int face) const { return IsFace(face) ? m_faceNormals[face] : Point3d::zero; }
    void GetTetrahedronVertices(Point3d& v0, Point3d& v1, Point3d& v2, Point3d& v3) const;
    // Writes nothing for a face outside 0..3.
    void GetFaceVertices(int face, Point3d& a, Point3d& b, Point3d& c) const;

    // Moves the vertices and recomputes every face's centroid and normal;
    // hidden flags and colour stay.
    virtual void Transform(const Matrix4x4& m);

    static void DecomposePolyhedron(Array& result, const Point3d::Array& points);

    void Serialize(CArchive& ar);

protected:
    // Grows `result` by one point, as one step of DecomposePolyhedron.
    static void AddNthPointTetrahedra(Array& result, const Point3d& point);
    // True when the face is degenerate (normal left unoriented).
    bool DefineFaceCentroidAndNormal(int face);
    // Visible and more than 0.001 beyond the face's plane.
    bool PointIsExternal(int face, const Point3d& point) const;

    static bool IsFace(int face) { return face >= 0 && face < 4; }

    Point3d m_vertices[4];
    bool m_hiddenFaces[4] = {false, false, false, false};
    Point3d m_faceCentroids[4];
    Color m_color;
    Point3d m_faceNormals[4];

private:
    friend class TetrahedronDecomposition;
};

}  // namespace Tessary
