#pragma once

// The tetrahedron decomposition as the library first built it, through the
// public accessors only: a list of the faces still visible, scanned in full
// for every new point (time quadratic in the point count), and the
// edge-connected patch around the face the point lies farthest beyond. Tests
// hold the library's conflict-list search to it tetrahedron for tetrahedron,
// and the benchmark shows what that search gained.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

#include "tessary/graphics/primitives/TetrahedronPrimitive.h"

namespace TessaryTest {

class ScanDecomposition {
public:
    using Point3d = Tessary::Point3d;
    using TetrahedronPrimitive = Tessary::TetrahedronPrimitive;

    explicit ScanDecomposition(TetrahedronPrimitive::Array& result) : m_result(result) { Collect(0); }

    void Add(const Point3d& point) {
        const int firstNew = m_result.GetSize();
        std::vector<Face> beyond;
        std::size_t kept = 0;
        for (const Face& f : m_faces) {
            if (Beyond(f, point)) beyond.push_back(f);
            else m_faces[kept++] = f;
        }
        m_faces.resize(kept);
        KeepConnectedPatch(beyond, point);
        for (const Face& f : beyond) {
            Point3d a, b, c;
            m_result[f.tet].GetFaceVertices(f.face, a, b, c);
            m_result.Add(TetrahedronPrimitive(a, b, c, point));
            m_result[f.tet].SetHiddenFace(f.face, true);
            m_result[m_result.GetSize() - 1].SetHiddenFace(0, true);
        }
        HideSharedFaces(firstNew);
        Collect(firstNew);
    }

private:
    struct Face {
        int tet, face;
        bool operator<(const Face& o) const { return tet != o.tet ? tet < o.tet : face < o.face; }
    };
    using Key = std::array<std::uint32_t, 3>;
    struct Edge {
        Key a, b;
        std::size_t face;
        bool operator<(const Edge& o) const { return a != o.a ? a < o.a : b < o.b; }
    };

    static Key KeyOf(const Point3d& p) {
        const float xyz[3] = {static_cast<float>(p.GetX()), static_cast<float>(p.GetY()), static_cast<float>(p.GetZ())};
        Key key;
        std::memcpy(key.data(), xyz, sizeof xyz);
        return key;
    }

    double Margin(const Face& f, const Point3d& point) const {
        return (point - m_result[f.tet].GetFaceCentroid(f.face)).Dot(m_result[f.tet].GetFaceNormal(f.face));
    }
    bool Beyond(const Face& f, const Point3d& point) const { return Margin(f, point) > 0.001; }

    static std::size_t Root(std::vector<std::size_t>& parent, std::size_t i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    }

    void KeepConnectedPatch(std::vector<Face>& beyond, const Point3d& point) {
        const std::size_t n = beyond.size();
        if (n < 2) return;
        std::vector<Edge> edges;
        std::vector<std::size_t> parent(n);
        std::size_t seed = 0;
        double farthest = -1.0;
        for (std::size_t i = 0; i < n; ++i) {
            Point3d corner[3];
            m_result[beyond[i].tet].GetFaceVertices(beyond[i].face, corner[0], corner[1], corner[2]);
            for (int e = 0; e < 3; ++e) {
                const Key u = KeyOf(corner[e]), v = KeyOf(corner[(e + 1) % 3]);
                edges.push_back({std::min(u, v), std::max(u, v), i});
            }
            parent[i] = i;
            const double margin = Margin(beyond[i], point);
            if (margin > farthest) {
                farthest = margin;
                seed = i;
            }
        }
        std::sort(edges.begin(), edges.end());
        for (std::size_t e = 1; e < edges.size(); ++e)
            if (edges[e].a == edges[e - 1].a && edges[e].b == edges[e - 1].b)
                parent[Root(parent, edges[e].face)] = Root(parent, edges[e - 1].face);
        const std::size_t patchRoot = Root(parent, seed);
        std::vector<Face> patch, back;
        for (std::size_t i = 0; i < n; ++i) (Root(parent, i) == patchRoot ? patch : back).push_back(beyond[i]);
        if (back.empty()) return;
        beyond.swap(patch);
        std::vector<Face> merged;
        std::merge(m_faces.begin(), m_faces.end(), back.begin(), back.end(), std::back_inserter(merged));
        m_faces.swap(merged);
    }

    void HideSharedFaces(int firstNew) {
        const int end = m_result.GetSize();
        for (int i = firstNew; i < end; ++i)
            for (int j = i + 1; j < end; ++j)
                for (int k = 0; k < 4; ++k) {
                    if (m_result[i].GetHiddenFace(k)) continue;
                    for (int l = 0; l < 4; ++l)
                        if (m_result[i].GetFaceCentroid(k).Distance(m_result[j].GetFaceCentroid(l)) < 0.001) {
                            m_result[i].SetHiddenFace(k, true);
                            m_result[j].SetHiddenFace(l, true);
                        }
                }
    }

    void Collect(int firstTet) {
        for (int t = firstTet; t < m_result.GetSize(); ++t)
            for (int f = 0; f < 4; ++f)
                if (!m_result[t].GetHiddenFace(f)) m_faces.push_back({t, f});
    }

    TetrahedronPrimitive::Array& m_result;
    std::vector<Face> m_faces;  // the visible faces, in (tetrahedron, face) order
};

inline void ScanDecompose(Tessary::TetrahedronPrimitive::Array& result, const Tessary::Point3d::Array& points) {
    if (points.GetSize() < 4) return;
    result.Add(Tessary::TetrahedronPrimitive(points[0], points[1], points[2], points[3]));
    ScanDecomposition decomposition(result);
    for (int i = 4; i < points.GetSize(); ++i) decomposition.Add(points[i]);
}

}  // namespace TessaryTest
