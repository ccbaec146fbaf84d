#include "tessary/graphics/primitives/TetrahedronPrimitive.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tessary/frame/Serialization.h"

namespace Tessary {

namespace {

// Corners A, B, C of each face, then its opposite vertex.
constexpr int kFaceCorners[4][4] = {{0, 1, 2, 3}, {0, 3, 1, 2}, {0, 2, 3, 1}, {1, 3, 2, 0}};

// Planes and shared faces are told apart at this distance.
constexpr double kTolerance = 0.001;

// The one test of "beyond a face", shared by PointIsExternal and the
// decomposition's face list so that both decide alike, bit for bit.
bool Beyond(const Point3d& centroid, const Point3d& normal, const Point3d& point) {
    return (point - centroid).Dot(normal) > kTolerance;
}

}  // namespace

// The decomposition's working state: the faces of `result` that are still
// visible, in (tetrahedron, face) order, with copies of their centroids and
// normals side by side. Scanning this short contiguous list instead of every
// face of every tetrahedron finds the same faces in the same order (a hidden
// face is never external), which is what the step-by-step description asks.
//
// One departure: the faces a point lies beyond must form one edge-connected
// patch, or the tetrahedra built on them overlap and the hull tears (a point
// just past two thin faces but not past the one between them). Then only the
// patch of the face it lies farthest beyond is built on; the rest stay
// visible, less than a thin face's width beyond the point. Where the patch is
// connected, as on every well-spread point set, nothing changes.
class TetrahedronDecomposition {
public:
    explicit TetrahedronDecomposition(TetrahedronPrimitive::Array& result) : m_result(result) { Collect(0); }

    void Add(const Point3d& point) {
        const int firstNew = m_result.GetSize();
        // Faces the point lies beyond become hidden, so they leave the list.
        m_beyond.clear();
        std::size_t kept = 0;
        for (const VisibleFace& f : m_faces) {
            if (Beyond(f.centroid, f.normal, point)) m_beyond.push_back(f);
            else m_faces[kept++] = f;
        }
        m_faces.resize(kept);
        KeepConnectedPatch(point);

        for (const VisibleFace& f : m_beyond) {
            Point3d a, b, c;
            m_result[f.tet].GetFaceVertices(f.face, a, b, c);
            m_result.Add(TetrahedronPrimitive(a, b, c, point));
            m_result[f.tet].m_hiddenFaces[f.face] = true;
            // Face 0 of the new one is the face it was built on.
            m_result[m_result.GetSize() - 1].m_hiddenFaces[0] = true;
        }
        HideSharedFaces(firstNew);
        Collect(firstNew);
    }

private:
    struct VisibleFace {
        Point3d centroid;
        Point3d normal;
        std::int32_t tet;
        std::int32_t face;
    };

    // A corner by its coordinates' bits: corners are copies of the same
    // input points, and bits give a total order even for NaNs.
    using CornerKey = std::array<std::uint32_t, 3>;
    static CornerKey KeyOf(const Point3d& p) {
        const float xyz[3] = {static_cast<float>(p.GetX()), static_cast<float>(p.GetY()), static_cast<float>(p.GetZ())};
        CornerKey key;
        std::memcpy(key.data(), xyz, sizeof xyz);
        return key;
    }
    struct EdgeRef {
        CornerKey a, b;  // a < b
        std::uint32_t face;
        bool operator<(const EdgeRef& o) const { return a != o.a ? a < o.a : b < o.b; }
        bool SameEdge(const EdgeRef& o) const { return a == o.a && b == o.b; }
    };

    std::uint32_t Root(std::uint32_t i) {
        while (m_parent[i] != i) i = m_parent[i] = m_parent[m_parent[i]];
        return i;
    }

    // Faces that share an edge join one patch: sort the edges, join neighbours.
    void KeepConnectedPatch(const Point3d& point) {
        const std::size_t n = m_beyond.size();
        if (n < 2) return;
        m_edges.clear();
        m_parent.resize(n);
        std::size_t seed = 0;
        double farthest = -1.0;
        for (std::size_t i = 0; i < n; ++i) {
            const VisibleFace& f = m_beyond[i];
            Point3d corner[3];
            m_result[f.tet].GetFaceVertices(f.face, corner[0], corner[1], corner[2]);
            const CornerKey key[3] = {KeyOf(corner[0]), KeyOf(corner[1]), KeyOf(corner[2])};
            for (int e = 0; e < 3; ++e) {
                const CornerKey& u = key[e];
                const CornerKey& v = key[(e + 1) % 3];
                m_edges.push_back({std::min(u, v), std::max(u, v), static_cast<std::uint32_t>(i)});
            }
            m_parent[i] = static_cast<std::uint32_t>(i);
            const double margin = (point - f.centroid).Dot(f.normal);
            if (margin > farthest) {
                farthest = margin;
                seed = i;
            }
        }
        std::sort(m_edges.begin(), m_edges.end());
        for (std::size_t e = 1; e < m_edges.size(); ++e)
            if (m_edges[e].SameEdge(m_edges[e - 1])) m_parent[Root(m_edges[e].face)] = Root(m_edges[e - 1].face);
        const std::uint32_t patchRoot = Root(static_cast<std::uint32_t>(seed));
        m_inPatch.resize(n);
        std::size_t reached = 0;
        for (std::size_t i = 0; i < n; ++i) {
            m_inPatch[i] = Root(static_cast<std::uint32_t>(i)) == patchRoot;
            reached += m_inPatch[i] ? 1 : 0;
        }
        if (reached == n) return;
        // The faces left out return to the visible list, which stays in order.
        std::vector<VisibleFace> patch, back;
        for (std::size_t i = 0; i < n; ++i) (m_inPatch[i] ? patch : back).push_back(m_beyond[i]);
        m_beyond.swap(patch);
        std::vector<VisibleFace> merged;
        merged.reserve(m_faces.size() + back.size());
        std::merge(m_faces.begin(), m_faces.end(), back.begin(), back.end(), std::back_inserter(merged),
                   [](const VisibleFace& a, const VisibleFace& b) {
                       return a.tet != b.tet ? a.tet < b.tet : a.face < b.face;
                   });
        m_faces.swap(merged);
    }

    // New tetrahedra that share a face (centroids closer than the tolerance)
    // hide it on both; every pair is looked at, without stopping at a match.
    void HideSharedFaces(int firstNew) {
        const int end = m_result.GetSize();
        for (int i = firstNew; i < end; ++i) {
            TetrahedronPrimitive& ti = m_result[i];
            for (int j = i + 1; j < end; ++j) {
                TetrahedronPrimitive& tj = m_result[j];
                for (int k = 0; k < 4; ++k) {
                    if (ti.m_hiddenFaces[k]) continue;
                    for (int l = 0; l < 4; ++l) {
                        if (ti.m_faceCentroids[k].Distance(tj.m_faceCentroids[l]) < kTolerance) {
                            ti.m_hiddenFaces[k] = true;
                            tj.m_hiddenFaces[l] = true;
                        }
                    }
                }
            }
        }
    }

    void Collect(int firstTet) {
        for (int t = firstTet; t < m_result.GetSize(); ++t) {
            const TetrahedronPrimitive& tet = m_result[t];
            for (int f = 0; f < 4; ++f)
                if (!tet.m_hiddenFaces[f]) m_faces.push_back({tet.m_faceCentroids[f], tet.m_faceNormals[f], t, f});
        }
    }

    TetrahedronPrimitive::Array& m_result;
    std::vector<VisibleFace> m_faces;
    // Scratch of one step.
    std::vector<VisibleFace> m_beyond;
    std::vector<EdgeRef> m_edges;
    std::vector<std::uint32_t> m_parent;
    std::vector<char> m_inPatch;
};

TetrahedronPrimitive::TetrahedronPrimitive(const Point3d& p1, const Point3d& p2, const Point3d& p3,
                                           const Point3d& p4) {
    const Point3d n = (p2 - p1).Cross(p3 - p1);
    const bool swap = (p4 - p1).Dot(n) > 0.0;
    m_vertices[0] = p1;
    m_vertices[1] = swap ? p3 : p2;
    m_vertices[2] = swap ? p2 : p3;
    m_vertices[3] = p4;
    for (int face = 0; face < 4; ++face) DefineFaceCentroidAndNormal(face);
}

int TetrahedronPrimitive::GetNumFaces() const {
    int count = 0;
    for (bool hidden : m_hiddenFaces) count += hidden ? 0 : 1;
    return count;
}

void TetrahedronPrimitive::GetTetrahedronVertices(Point3d& v0, Point3d& v1, Point3d& v2, Point3d& v3) const {
    v0 = m_vertices[0];
    v1 = m_vertices[1];
    v2 = m_vertices[2];
    v3 = m_vertices[3];
}

void TetrahedronPrimitive::GetFaceVertices(int face, Point3d& a, Point3d& b, Point3d& c) const {
    if (!IsFace(face)) return;
    a = m_vertices[kFaceCorners[face][0]];
    b = m_vertices[kFaceCorners[face][1]];
    c = m_vertices[kFaceCorners[face][2]];
}

void TetrahedronPrimitive::Transform(const Matrix4x4& m) {
    m.Transform(m_vertices, 4);
    for (int face = 0; face < 4; ++face) DefineFaceCentroidAndNormal(face);
}

bool TetrahedronPrimitive::DefineFaceCentroidAndNormal(int face) {
    if (!IsFace(face)) return false;
    const int* corner = kFaceCorners[face];
    const Point3d& a = m_vertices[corner[0]];
    const Point3d& b = m_vertices[corner[1]];
    const Point3d& c = m_vertices[corner[2]];
    const Point3d& opposite = m_vertices[corner[3]];
    Point3d& centroid = m_faceCentroids[face];
    Point3d& normal = m_faceNormals[face];
    centroid = (a + b + c) / 3.0;
    normal = (c - b).Cross(a - b);
    normal.Normalize();
    const double d = normal.GetX() * (opposite.GetX() - centroid.GetX()) +
                     normal.GetY() * (opposite.GetY() - centroid.GetY()) +
                     normal.GetZ() * (opposite.GetZ() - centroid.GetZ());
    if (std::fabs(d) < kTolerance) return true;
    if (d > 0.0) normal = -normal;
    return false;
}

bool TetrahedronPrimitive::PointIsExternal(int face, const Point3d& point) const {
    return IsFace(face) && !m_hiddenFaces[face] && Beyond(m_faceCentroids[face], m_faceNormals[face], point);
}

void TetrahedronPrimitive::AddNthPointTetrahedra(Array& result, const Point3d& point) {
    TetrahedronDecomposition(result).Add(point);
}

void TetrahedronPrimitive::DecomposePolyhedron(Array& result, const Point3d::Array& points) {
    const int count = points.GetSize();
    if (count < 4) return;
    result.Add(TetrahedronPrimitive(points[0], points[1], points[2], points[3]));
    // The recursive description bottoms out at the first four points and
    // then adds the rest one by one in order: this loop does the same.
    TetrahedronDecomposition decomposition(result);
    for (int i = 4; i < count; ++i) decomposition.Add(points[i]);
}

void TetrahedronPrimitive::Serialize(CArchive& ar) {
    // The colour goes with every vertex; the first one read is the colour.
    Color colors[4] = {m_color, m_color, m_color, m_color};
    ArchiveObject(
        ar, *this,
        [&ar, &colors](TetrahedronPrimitive& t) {
            t.LitPrimitive::Serialize(ar);
            for (int i = 0; i < 4; ++i)
                ArchiveFields(ar, WithoutAlpha(colors[i]), t.m_vertices[i], t.m_faceCentroids[i], t.m_faceNormals[i]);
        },
        [&colors](TetrahedronPrimitive& t) {
            t.m_color = colors[0];
            for (bool& hidden : t.m_hiddenFaces) hidden = false;
        });
}

}  // namespace Tessary
