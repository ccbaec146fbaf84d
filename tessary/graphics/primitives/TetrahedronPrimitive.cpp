#include "tessary/graphics/primitives/TetrahedronPrimitive.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
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

// The points still to come, in a k-d tree. Each node bounds its points by
// their box and by a slab across the direction from the centre of all points
// to the node's centre; on a shell of points the slab is thin, and it alone
// keeps a search for the points beyond a face from wandering over the boxes
// whose corners stick out past the face's plane. Each node also knows its
// highest point number, so the points already added are skipped.
class PointsAhead {
public:
    PointsAhead(const Point3d* points, std::int32_t count) : m_all(points), m_count(count) { Build(0); }

    // Calls found(i) for every point numbered `from` or above that lies
    // beyond the face, in no particular order.
    template <class Found>
    void Search(const Point3d& centroid, const Point3d& normal, std::int32_t from, Found&& found) {
        // Once half the points are in, a tree of the rest is worth building.
        if (m_count - from < m_boxed / 2 && m_boxed > 64) Build(from);
        // A NaN in the face leaves nothing beyond it.
        for (int a = 0; a < 3; ++a)
            if (std::isnan(centroid[a]) || std::isnan(normal[a])) return;
        for (std::int32_t i : m_unboxed)
            if (i >= from && Beyond(centroid, normal, m_all[i])) found(i);
        if (m_nodes.empty()) return;
        const Plane plane(centroid, normal, m_extent);
        std::uint32_t stack[64];
        int depth = 0;
        stack[depth++] = 0;
        while (depth > 0) {
            const Node& node = m_nodes[stack[--depth]];
            if (node.last < from || plane.Behind(node)) continue;
            if (node.child == 0) {
                for (std::uint32_t k = node.begin; k < node.end; ++k)
                    if (m_points[k].index >= from && Beyond(centroid, normal, m_points[k].point))
                        found(m_points[k].index);
            } else {
                stack[depth++] = node.child + 1;
                stack[depth++] = node.child;
            }
        }
    }

private:
    static constexpr std::size_t kLeafSize = 8;

    struct Node {
        float lo[3], hi[3];
        float axis[3];           // direction across the slab
        double low, high;        // the points' extent along it
        std::int32_t last;       // highest point number in the subtree
        std::uint32_t child;     // first of two children; 0 for a leaf
        std::uint32_t begin, end;
    };
    struct Entry {
        Point3d point;
        std::int32_t index;
    };

    // A face's plane, as the search tests nodes against it.
    class Plane {
    public:
        Plane(const Point3d& centroid, const Point3d& normal, const double* extent) {
            double scale = 0.0, size = 0.0;
            m_offset = 0.0;
            for (int a = 0; a < 3; ++a) {
                m_n[a] = normal[a];
                m_offset += m_n[a] * centroid[a];
                const double reach = std::fabs(double(centroid[a])) + extent[a];
                scale += reach * std::fabs(m_n[a]);
                size += reach;
            }
            // Points lie beyond when their distance, computed from rounded
            // differences, exceeds the tolerance. The bounds below are of the
            // exact distance, so the margin takes in that rounding (within
            // 2^-24 of each difference) and the bounds' own, with room to spare.
            // Non-finite numbers leave no margin that passes, and prune nothing.
            m_limit = m_offset + kTolerance - scale * 2.5e-7 - size * 1e-12;
        }

        // True when no point of the node can lie beyond the plane: by the
        // node's box, or else by its slab and its box across the slab.
        bool Behind(const Node& node) const {
            double box = 0.0;
            for (int a = 0; a < 3; ++a) box += m_n[a] * (m_n[a] >= 0.0 ? node.hi[a] : node.lo[a]);
            if (box <= m_limit) return true;
            const double along = m_n[0] * node.axis[0] + m_n[1] * node.axis[1] + m_n[2] * node.axis[2];
            double slab = along * (along >= 0.0 ? node.high : node.low);
            for (int a = 0; a < 3; ++a) {
                const double w = m_n[a] - along * node.axis[a];
                slab += w * (w >= 0.0 ? node.hi[a] : node.lo[a]);
            }
            return slab <= m_limit;
        }

    private:
        double m_n[3];
        double m_offset;
        double m_limit;
    };

    // Takes the finite points numbered `from` on.
    void Build(std::int32_t from) {
        m_nodes.clear();
        m_points.clear();
        m_unboxed.clear();
        std::vector<std::int32_t> order;
        for (std::int32_t i = from; i < m_count; ++i) {
            const Point3d& p = m_all[i];
            // A non-finite point cannot be boxed; every search tests it.
            if (std::isfinite(p.GetX()) && std::isfinite(p.GetY()) && std::isfinite(p.GetZ())) order.push_back(i);
            else m_unboxed.push_back(i);
        }
        m_boxed = static_cast<std::int32_t>(order.size());
        if (order.empty()) return;
        for (std::int32_t i : order)
            for (int a = 0; a < 3; ++a) m_extent[a] = std::max(m_extent[a], std::fabs(double(m_all[i][a])));
        m_nodes.reserve(2 * order.size() / kLeafSize + 2);
        m_nodes.push_back({});
        Split(0, order, 0, order.size());
        m_points.reserve(order.size());
        for (std::int32_t i : order) m_points.push_back({m_all[i], i});
    }

    // Splits the points at the median of the box's longest side until a few remain.
    void Split(std::uint32_t at, std::vector<std::int32_t>& order, std::size_t begin, std::size_t end) {
        Node node{};
        double sum[3] = {0.0, 0.0, 0.0};
        for (int a = 0; a < 3; ++a) {
            node.lo[a] = std::numeric_limits<float>::infinity();
            node.hi[a] = -std::numeric_limits<float>::infinity();
        }
        node.last = -1;
        for (std::size_t k = begin; k < end; ++k) {
            const Point3d& p = m_all[order[k]];
            for (int a = 0; a < 3; ++a) {
                node.lo[a] = std::min(node.lo[a], p[a]);
                node.hi[a] = std::max(node.hi[a], p[a]);
                sum[a] += p[a];
            }
            node.last = std::max(node.last, order[k]);
        }
        if (at == 0) {
            for (int a = 0; a < 3; ++a) m_centre[a] = 0.5 * (node.lo[a] + node.hi[a]);
        }
        // The slab: across the direction from the centre of all points.
        Point3d across(sum[0] / static_cast<double>(end - begin) - m_centre[0],
                     sum[1] / static_cast<double>(end - begin) - m_centre[1],
                     sum[2] / static_cast<double>(end - begin) - m_centre[2]);
        across.Normalize();
        for (int a = 0; a < 3; ++a) node.axis[a] = across[a];
        node.low = std::numeric_limits<double>::infinity();
        node.high = -std::numeric_limits<double>::infinity();
        for (std::size_t k = begin; k < end; ++k) {
            const Point3d& p = m_all[order[k]];
            const double d = double(node.axis[0]) * p[0] + double(node.axis[1]) * p[1] + double(node.axis[2]) * p[2];
            node.low = std::min(node.low, d);
            node.high = std::max(node.high, d);
        }
        node.begin = static_cast<std::uint32_t>(begin);
        node.end = static_cast<std::uint32_t>(end);
        if (end - begin <= kLeafSize) {
            m_nodes[at] = node;
            return;
        }
        int axis = 0;
        for (int a = 1; a < 3; ++a)
            if (node.hi[a] - node.lo[a] > node.hi[axis] - node.lo[axis]) axis = a;
        const std::size_t middle = begin + (end - begin) / 2;
        const Point3d* all = m_all;
        std::nth_element(order.begin() + static_cast<std::ptrdiff_t>(begin),
                         order.begin() + static_cast<std::ptrdiff_t>(middle),
                         order.begin() + static_cast<std::ptrdiff_t>(end),
                         [all, axis](std::int32_t i, std::int32_t j) { return all[i][axis] < all[j][axis]; });
        node.child = static_cast<std::uint32_t>(m_nodes.size());
        m_nodes.push_back({});
        m_nodes.push_back({});
        m_nodes[at] = node;
        Split(node.child, order, begin, middle);
        Split(node.child + 1, order, middle, end);
    }

    const Point3d* m_all;
    std::int32_t m_count;
    std::int32_t m_boxed = 0;
    double m_centre[3] = {0.0, 0.0, 0.0};
    double m_extent[3] = {0.0, 0.0, 0.0};  // largest magnitude of each coordinate
    std::vector<Node> m_nodes;
    std::vector<Entry> m_points;  // in leaf order
    std::vector<std::int32_t> m_unboxed;
};

// The decomposition's working state. Each point still to come keeps the list
// of faces it lies beyond (its conflicts), filled in when a face is made:
// a point's turn then looks at those faces alone instead of every visible
// face, and finds the same faces, in the same (tetrahedron, face) order, as
// a scan of them all would. The conflicts of a new face are found by a search
// of the points ahead rather than inherited from the faces it replaces,
// because the 0.001 tolerance lets a point lie beyond a new face but beyond
// neither of the two faces whose edge it was built on.
//
// One departure: the faces a point lies beyond must form one edge-connected
// patch, or the tetrahedra built on them overlap and the hull tears (a point
// just past two thin faces but not past the one between them). Then only the
// patch of the face it lies farthest beyond is built on; the rest stay
// visible, less than a thin face's width beyond the point. Where the patch is
// connected, as on every well-spread point set, nothing changes.
class TetrahedronDecomposition {
public:
    // The points are added in order, after every visible face of `result`
    // has been seen.
    TetrahedronDecomposition(TetrahedronPrimitive::Array& result, const Point3d* points, std::int32_t count)
        : m_result(result), m_points(points), m_ahead(points, count), m_lists(static_cast<std::size_t>(count)) {
        for (int t = 0; t < m_result.GetSize(); ++t)
            for (bool hidden : m_result[t].m_hiddenFaces) m_hidden.push_back(hidden);
        FindConflicts(0);
    }

    void Add(std::int32_t index) {
        const Point3d& point = m_points[index];
        m_next = index + 1;
        const int firstNew = m_result.GetSize();
        // Its faces still visible, newest first; its blocks are free after.
        m_beyond.clear();
        List& list = m_lists[static_cast<std::size_t>(index)];
        for (std::int32_t b = list.head, used = list.used; b != kNone; used = Block::kSize) {
            Block& block = m_blocks[static_cast<std::size_t>(b)];
            for (std::int32_t k = used - 1; k >= 0; --k) {
                const std::int32_t id = block.faces[k];
                if (m_hidden[static_cast<std::size_t>(id)]) continue;
                const TetrahedronPrimitive& t = m_result[id / 4];
                m_beyond.push_back({t.m_faceCentroids[id % 4], t.m_faceNormals[id % 4], id / 4, id % 4});
            }
            const std::int32_t next = block.next;
            block.next = m_freeBlock;
            m_freeBlock = b;
            b = next;
        }
        list = List{};
        std::reverse(m_beyond.begin(), m_beyond.end());
        KeepConnectedPatch(point);

        for (const VisibleFace& f : m_beyond) {
            Point3d a, b, c;
            m_result[f.tet].GetFaceVertices(f.face, a, b, c);
            m_result.Add(TetrahedronPrimitive(a, b, c, point));
            m_result[f.tet].m_hiddenFaces[f.face] = true;
            m_hidden[static_cast<std::size_t>(4 * f.tet + f.face)] = true;
            // Face 0 of the new one is the face it was built on.
            m_result[m_result.GetSize() - 1].m_hiddenFaces[0] = true;
        }
        HideSharedFaces(firstNew);
        for (int t = firstNew; t < m_result.GetSize(); ++t)
            for (bool hidden : m_result[t].m_hiddenFaces) m_hidden.push_back(hidden);
        FindConflicts(firstNew);
    }

private:
    static constexpr std::int32_t kNone = -1;

    // A point's faces (as 4 * tetrahedron + face) sit in a chain of blocks,
    // newest block first, so that reading them touches little memory.
    struct Block {
        static constexpr std::int32_t kSize = 7;
        std::int32_t faces[kSize];
        std::int32_t next;
    };
    struct List {
        std::int32_t head = kNone;
        std::int32_t used = 0;  // entries in the head block
    };

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
        // The faces left out stay visible.
        const std::uint32_t patchRoot = Root(static_cast<std::uint32_t>(seed));
        std::size_t kept = 0;
        for (std::size_t i = 0; i < n; ++i)
            if (Root(static_cast<std::uint32_t>(i)) == patchRoot) m_beyond[kept++] = m_beyond[i];
        m_beyond.resize(kept);
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

    // Records the visible faces of the tetrahedra from `firstTet` on with
    // every point ahead that lies beyond them. Faces are taken in order, and
    // each list is built from its head, so a list runs newest first.
    void FindConflicts(int firstTet) {
        for (int t = firstTet; t < m_result.GetSize(); ++t) {
            const TetrahedronPrimitive& tet = m_result[t];
            for (int f = 0; f < 4; ++f) {
                if (tet.m_hiddenFaces[f]) continue;
                const std::int32_t id = 4 * t + f;
                m_ahead.Search(tet.m_faceCentroids[f], tet.m_faceNormals[f], m_next,
                               [this, id](std::int32_t i) { Record(m_lists[static_cast<std::size_t>(i)], id); });
            }
        }
    }

    void Record(List& list, std::int32_t face) {
        if (list.head == kNone || list.used == Block::kSize) {
            std::int32_t b = m_freeBlock;
            if (b != kNone) {
                m_freeBlock = m_blocks[static_cast<std::size_t>(b)].next;
            } else {
                b = static_cast<std::int32_t>(m_blocks.size());
                m_blocks.emplace_back();
            }
            m_blocks[static_cast<std::size_t>(b)].next = list.head;
            list.head = b;
            list.used = 0;
        }
        m_blocks[static_cast<std::size_t>(list.head)].faces[list.used++] = face;
    }

    TetrahedronPrimitive::Array& m_result;
    const Point3d* m_points;
    PointsAhead m_ahead;
    std::int32_t m_next = 0;  // the first point not yet added
    std::vector<List> m_lists;    // per point
    std::vector<Block> m_blocks;
    std::int32_t m_freeBlock = kNone;
    std::vector<char> m_hidden;   // the faces' hidden flags, by 4 * tetrahedron + face
    // Scratch of one step.
    std::vector<VisibleFace> m_beyond;
    std::vector<EdgeRef> m_edges;
    std::vector<std::uint32_t> m_parent;
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
    TetrahedronDecomposition(result, &point, 1).Add(0);
}

void TetrahedronPrimitive::DecomposePolyhedron(Array& result, const Point3d::Array& points) {
    const int count = points.GetSize();
    if (count < 4) return;
    result.Add(TetrahedronPrimitive(points[0], points[1], points[2], points[3]));
    // The recursive description bottoms out at the first four points and
    // then adds the rest one by one in order: this loop does the same.
    TetrahedronDecomposition decomposition(result, points.GetData() + 4, count - 4);
    for (int i = 0; i < count - 4; ++i) decomposition.Add(i);
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
