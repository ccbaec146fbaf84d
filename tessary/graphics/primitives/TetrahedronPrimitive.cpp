#include "tessary/graphics/primitives/TetrahedronPrimitive.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
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

// The visible faces, filed by the direction of their normals: the six sides
// of a cube around the unit sphere, each cut into a quadtree of cells. A cell
// knows the cone its normals lie in and the least plane offset among the
// faces ever filed under it, which bounds how far beyond any of them a point
// can lie; a search for the faces a point lies beyond skips every cell whose
// bound stays within the tolerance. On a round hull a point only nears the
// faces that turn towards it, so a search looks at a few cells per level.
// Hidden faces leave their leaves when a search meets them.
class FacesByNormal {
public:
    // `extent` bounds the magnitude of each coordinate of every point and
    // centroid to come; `centre` is the middle of the points, so that the
    // planes' offsets are small.
    FacesByNormal(const double* centre, const double* extent) {
        for (int a = 0; a < 3; ++a) {
            m_centre[a] = centre[a];
            m_extent += extent[a];
        }
        Grow(2);
    }

    void Insert(std::int32_t id, const Point3d& centroid, const Point3d& normal) {
        bool finite = true;
        for (int a = 0; a < 3; ++a) {
            // Nothing lies beyond a face with a NaN or a zero normal.
            if (std::isnan(centroid[a]) || std::isnan(normal[a])) return;
            finite = finite && std::isfinite(centroid[a]);
        }
        const double length2 = normal.SumSquares();
        if (length2 == 0.0) return;
        // The cones bound unit normals; others (a loaded tetrahedron's, or
        // a face with a far-off centroid) are tested for every point.
        if (!finite || std::fabs(length2 - 1.0) > 1e-6) {
            m_unfiled.push_back({centroid, normal, id, 0.0});
            return;
        }
        double local[3];
        const int side = SideOf(normal, local);
        const int cells = 1 << m_depth;
        const int i = std::min(cells - 1, static_cast<int>((local[1] / local[0] + 1.0) * 0.5 * cells));
        const int j = std::min(cells - 1, static_cast<int>((local[2] / local[0] + 1.0) * 0.5 * cells));
        const double offset = normal[0] * (centroid[0] - m_centre[0]) + normal[1] * (centroid[1] - m_centre[1]) +
                              normal[2] * (centroid[2] - m_centre[2]);
        double* least = &m_least[static_cast<std::size_t>(side) * m_levelStart.back()];
        for (int level = 0; level <= m_depth; ++level) {
            double& l = least[Cell(level, i >> (m_depth - level), j >> (m_depth - level))];
            l = std::min(l, offset);
        }
        m_leaves[(static_cast<std::size_t>(side) << (2 * m_depth)) + static_cast<std::size_t>(i) * static_cast<std::size_t>(cells) + static_cast<std::size_t>(j)]
            .push_back({centroid, normal, id, offset});
        // About four faces a leaf at most, within limits: a finer level
        // once they crowd.
        if (++m_filed > 4 * m_leaves.size() && m_depth < 8) Grow(m_depth + 1);
    }

    // Calls found(id) for every face not hidden that the point lies beyond,
    // in no particular order.
    template <class Found>
    void Find(const Point3d& point, const std::vector<char>& hidden, Found&& found) {
        // Tests a list of faces; says how many hidden ones left it.
        const auto visit = [&](std::vector<Entry>& faces) {
            const std::size_t size = faces.size();
            for (std::size_t k = 0; k < faces.size();) {
                if (hidden[static_cast<std::size_t>(faces[k].id)]) {
                    faces[k] = faces.back();
                    faces.pop_back();
                    continue;
                }
                if (Beyond(faces[k].centroid, faces[k].normal, point)) found(faces[k].id);
                ++k;
            }
            return size - faces.size();
        };
        visit(m_unfiled);
        const double x[3] = {point[0] - m_centre[0], point[1] - m_centre[1], point[2] - m_centre[2]};
        const double length = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
        // The search bounds the exact distance (n . (p - c)) of unit normals;
        // the test rounds each difference to a float (within 2^-24) and the
        // normals are unit to a few float steps. The margin takes in both,
        // and the bounds' own rounding, many times over; a non-finite point
        // gets no margin that passes and is tested against every face.
        const double reach = std::fabs(double(point[0])) + std::fabs(double(point[1])) + std::fabs(double(point[2])) + m_extent;
        const double margin = length * 1e-6 + reach * 2.5e-7;
        const std::size_t cells = m_levelStart.back();
        for (int side = 0; side < 6; ++side) {
            const int a = side / 2;
            const double local[3] = {side % 2 ? -x[a] : x[a], x[(a + 1) % 3], x[(a + 2) % 3]};
            const double* least = &m_least[static_cast<std::size_t>(side) * cells];
            std::vector<Entry>* leaves = &m_leaves[static_cast<std::size_t>(side) << (2 * m_depth)];
            struct Item {
                int level, i, j;
            };
            Item stack[4 * 9 + 4];
            int depth = 0;
            stack[depth++] = {0, 0, 0};
            while (depth > 0) {
                const Item item = stack[--depth];
                const std::size_t cell = Cell(item.level, item.i, item.j);
                if (m_cones[cell].Reach(local, length) + margin - least[cell] <= kTolerance) continue;
                if (item.level == m_depth) {
                    std::vector<Entry>& faces = leaves[(static_cast<std::size_t>(item.i) << m_depth) + static_cast<std::size_t>(item.j)];
                    if (const std::size_t removed = visit(faces)) {
                        m_filed -= removed;
                        Tighten(side, item.i, item.j, faces);
                    }
                    continue;
                }
                for (int k = 0; k < 4; ++k) stack[depth++] = {item.level + 1, 2 * item.i + k / 2, 2 * item.j + k % 2};
            }
        }
    }

private:
    struct Entry {
        Point3d centroid;
        Point3d normal;
        std::int32_t id;
        double offset;  // of the plane, from the centre
    };
    // The unit vectors of a cell lie within `angle` of `axis`, in the side's
    // own frame (its axis first).
    struct Cone {
        double axis[3];
        double cosAngle, sinAngle;
        // The most that a unit vector of the cone reaches along x (of length `length`).
        double Reach(const double* x, double length) const {
            const double along = axis[0] * x[0] + axis[1] * x[1] + axis[2] * x[2];
            if (along >= length * cosAngle) return length;
            return along * cosAngle + std::sqrt(std::max(0.0, length * length - along * along)) * sinAngle;
        }
    };

    // Files every face anew at the given depth.
    void Grow(int depth) {
        std::vector<std::vector<Entry>> leaves;
        leaves.swap(m_leaves);
        m_depth = depth;
        m_levelStart.assign(1, 0);
        for (int level = 0; level <= m_depth; ++level)
            m_levelStart.push_back(m_levelStart.back() + (std::size_t{1} << (2 * level)));
        const std::size_t cells = m_levelStart.back();
        m_cones.resize(cells);
        for (int level = 0; level <= m_depth; ++level) {
            const int side = 1 << level;
            for (int i = 0; i < side; ++i)
                for (int j = 0; j < side; ++j) m_cones[Cell(level, i, j)] = MakeCone(level, i, j);
        }
        m_least.assign(6 * cells, std::numeric_limits<double>::infinity());
        m_leaves.resize(6 * (std::size_t{1} << (2 * m_depth)));
        m_filed = 0;
        for (const std::vector<Entry>& leaf : leaves)
            for (const Entry& e : leaf) Insert(e.id, e.centroid, e.normal);
    }

    // A leaf lost faces: its least offset, and its ancestors', are now
    // those of the faces still filed, which keeps the bounds close.
    void Tighten(int side, int i, int j, const std::vector<Entry>& faces) {
        double* least = &m_least[static_cast<std::size_t>(side) * m_levelStart.back()];
        double l = std::numeric_limits<double>::infinity();
        for (const Entry& e : faces) l = std::min(l, e.offset);
        least[Cell(m_depth, i, j)] = l;
        for (int level = m_depth - 1; level >= 0; --level) {
            i >>= 1;
            j >>= 1;
            const std::size_t child = Cell(level + 1, 2 * i, 2 * j);
            const std::size_t stride = std::size_t{1} << (level + 1);
            least[Cell(level, i, j)] = std::min(std::min(least[child], least[child + 1]),
                                                std::min(least[child + stride], least[child + stride + 1]));
        }
    }

    std::size_t Cell(int level, int i, int j) const {
        return m_levelStart[static_cast<std::size_t>(level)] + (static_cast<std::size_t>(i) << level) + static_cast<std::size_t>(j);
    }

    // The side of the cube a direction points to (0..5: +x, -x, +y, -y, +z,
    // -z), and the direction in that side's frame.
    static int SideOf(const Point3d& n, double* local) {
        int a = 0;
        for (int b = 1; b < 3; ++b)
            if (std::fabs(n[b]) > std::fabs(n[a])) a = b;
        const bool negative = n[a] < 0.0f;
        local[0] = negative ? -double(n[a]) : double(n[a]);
        local[1] = n[(a + 1) % 3];
        local[2] = n[(a + 2) % 3];
        return 2 * a + (negative ? 1 : 0);
    }

    static Cone MakeCone(int level, int i, int j) {
        const double step = 2.0 / (1 << level);
        const auto unit = [](double u, double v, double* out) {
            const double l = std::sqrt(1.0 + u * u + v * v);
            out[0] = 1.0 / l;
            out[1] = u / l;
            out[2] = v / l;
        };
        Cone cone;
        unit(-1.0 + (i + 0.5) * step, -1.0 + (j + 0.5) * step, cone.axis);
        // A cell is bounded by great circles, so its farthest point is a corner.
        double cosAngle = 1.0;
        for (int k = 0; k < 4; ++k) {
            double corner[3];
            unit(-1.0 + (i + k / 2) * step, -1.0 + (j + k % 2) * step, corner);
            cosAngle = std::min(cosAngle, cone.axis[0] * corner[0] + cone.axis[1] * corner[1] + cone.axis[2] * corner[2]);
        }
        // Widened a little for the rounding of the filing and of this.
        const double angle = std::acos(std::min(1.0, cosAngle)) + 1e-9;
        cone.cosAngle = std::cos(angle);
        cone.sinAngle = std::sin(angle);
        return cone;
    }

    double m_centre[3];
    double m_extent = 0.0;  // bounds the sum of a centroid's coordinates' magnitudes
    int m_depth = 0;
    std::size_t m_filed = 0;                // faces in the leaves
    std::vector<std::size_t> m_levelStart;  // first cell of each level, per side
    std::vector<Cone> m_cones;              // per cell, the same on every side
    std::vector<double> m_least;            // per side and cell: least offset filed
    std::vector<std::vector<Entry>> m_leaves;
    std::vector<Entry> m_unfiled;  // faces that no cone bounds: always tested
};

// The decomposition's working state: the visible faces, filed by normal so
// that each point looks at the faces turned towards it instead of all of
// them. It finds the same faces as a scan of every visible face, and takes
// them in the same (tetrahedron, face) order, so the result is the same.
//
// One departure: the faces a point lies beyond must form one edge-connected
// patch, or the tetrahedra built on them overlap and the hull tears (a point
// just past two thin faces but not past the one between them). Then only the
// patch of the face it lies farthest beyond is built on; the rest stay
// visible, less than a thin face's width beyond the point. Where the patch is
// connected, as on every well-spread point set, nothing changes.
class TetrahedronDecomposition {
public:
    // Takes in the visible faces of `result`; the points to come bound the
    // coordinates of the faces to come.
    TetrahedronDecomposition(TetrahedronPrimitive::Array& result, const Point3d* points, int count)
        : m_result(result), m_faces(MakeFaces(result, points, count)) {
        File(0);
    }

    void Add(const Point3d& point) {
        const int firstNew = m_result.GetSize();
        m_found.clear();
        m_faces.Find(point, m_hidden, [this](std::int32_t id) { m_found.push_back(id); });
        std::sort(m_found.begin(), m_found.end());
        m_beyond.clear();
        for (std::int32_t id : m_found) {
            const TetrahedronPrimitive& t = m_result[id / 4];
            m_beyond.push_back({t.m_faceCentroids[id % 4], t.m_faceNormals[id % 4], id / 4, id % 4});
        }
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
        File(firstNew);
    }

private:
    struct VisibleFace {
        Point3d centroid;
        Point3d normal;
        std::int32_t tet;
        std::int32_t face;
    };

    static FacesByNormal MakeFaces(const TetrahedronPrimitive::Array& result, const Point3d* points, int count) {
        double lo[3], hi[3], extent[3] = {0.0, 0.0, 0.0};
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::numeric_limits<double>::infinity();
            hi[a] = -lo[a];
        }
        const auto take = [&](const Point3d& p) {
            for (int a = 0; a < 3; ++a) {
                if (!std::isfinite(p[a])) continue;
                lo[a] = std::min(lo[a], double(p[a]));
                hi[a] = std::max(hi[a], double(p[a]));
                extent[a] = std::max(extent[a], std::fabs(double(p[a])));
            }
        };
        for (int i = 0; i < count; ++i) take(points[i]);
        for (int t = 0; t < result.GetSize(); ++t) {
            for (const Point3d& v : result[t].m_vertices) take(v);
            for (const Point3d& c : result[t].m_faceCentroids) take(c);
        }
        double centre[3];
        for (int a = 0; a < 3; ++a) centre[a] = lo[a] <= hi[a] ? 0.5 * (lo[a] + hi[a]) : 0.0;
        return FacesByNormal(centre, extent);
    }

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
        bool SameEdge(const EdgeRef& o) const {
            return a[0] == o.a[0] && a[1] == o.a[1] && a[2] == o.a[2] && b[0] == o.b[0] && b[1] == o.b[1] && b[2] == o.b[2];
        }
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
        // Join the faces of equal edges: a few faces, as most points see,
        // pair by pair; many, through the sorted edges.
        if (n <= 16) {
            for (std::size_t e = 0; e < m_edges.size(); ++e)
                for (std::size_t f = e + 3 - e % 3; f < m_edges.size(); ++f)
                    if (m_edges[e].SameEdge(m_edges[f])) m_parent[Root(m_edges[f].face)] = Root(m_edges[e].face);
        } else {
            std::sort(m_edges.begin(), m_edges.end());
            for (std::size_t e = 1; e < m_edges.size(); ++e)
                if (m_edges[e].SameEdge(m_edges[e - 1])) m_parent[Root(m_edges[e].face)] = Root(m_edges[e - 1].face);
        }
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

    // Files the visible faces of the tetrahedra from `firstTet` on.
    void File(int firstTet) {
        for (int t = firstTet; t < m_result.GetSize(); ++t) {
            const TetrahedronPrimitive& tet = m_result[t];
            for (int f = 0; f < 4; ++f) {
                m_hidden.push_back(tet.m_hiddenFaces[f]);
                if (!tet.m_hiddenFaces[f]) m_faces.Insert(4 * t + f, tet.m_faceCentroids[f], tet.m_faceNormals[f]);
            }
        }
    }

    TetrahedronPrimitive::Array& m_result;
    FacesByNormal m_faces;
    std::vector<char> m_hidden;  // every face's hidden flag, by 4 * tetrahedron + face
    // Scratch of one step.
    std::vector<std::int32_t> m_found;
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
    TetrahedronDecomposition(result, &point, 1).Add(point);
}

void TetrahedronPrimitive::DecomposePolyhedron(Array& result, const Point3d::Array& points) {
    const int count = points.GetSize();
    if (count < 4) return;
    result.Add(TetrahedronPrimitive(points[0], points[1], points[2], points[3]));
    // The recursive description bottoms out at the first four points and
    // then adds the rest one by one in order: this loop does the same.
    TetrahedronDecomposition decomposition(result, points.GetData() + 4, count - 4);
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
