// Pick dots: every primitive kind reduced to points that carry object IDs.
//
// One emitter per kind hands its points to an output functor. The 3D walk
// fuses the per-list steps (collect, transform, clip, append survivors) into
// that functor, so each dot is built once, in the caller's array, already in
// world coordinates: the same dots in the same order as collecting a list's
// dots first, without a temporary array per list.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "tessary/geometry/Matrix3x3.h"
#include "tessary/graphics/displaylist/DisplayList3D.h"
#include "tessary/graphics/displaylist/detail/DisplayListWalk.h"

// The output functors sit in every emitter's inner loop.
#if defined(__GNUC__)
#define TESSARY_PICK_INLINE __attribute__((always_inline)) inline
#else
#define TESSARY_PICK_INLINE inline
#endif

namespace Tessary {

namespace {

// ---- emitters, one per kind -----------------------------------------------------
// Emit3D/Emit2D hand the points to `out`; MaxDots is the most Emit3D can give,
// from counts alone, for one reservation up front. Kinds without dots of a
// sort fall to the overloads on the root class (an overload on a nearer base
// still wins for derived kinds).

template <class Out>
void Emit3D(const GraphicsPrimitive&, Out&) {}
template <class Out>
void Emit2D(const GraphicsPrimitive&, Out&) {}
std::size_t MaxDots(const GraphicsPrimitive&) { return 0; }
std::size_t MaxDots(const LinePrimitive&) { return 2; }
std::size_t MaxDots(const DashedLinePrimitive&) { return 3; }
std::size_t MaxDots(const LineArrayPrimitive& p) { return 2 * static_cast<std::size_t>(p.GetLineArray().GetSize()); }
std::size_t MaxDots(const TetrahedronPrimitive&) { return 4; }
std::size_t MaxDots(const SpherePrimitive&) { return 1; }
std::size_t MaxDots(const EllipsoidPrimitive&) { return 1; }
std::size_t MaxDots(const CylinderPrimitive&) { return 3; }
std::size_t MaxDots(const UnlitPointPrimitive&) { return 1; }  // dots, icons, labels
std::size_t MaxDots(const Rect2DPrimitive&) { return 1; }
std::size_t MaxDots(const TrianglePrimitive&) { return 3; }
std::size_t MaxDots(const UnlitTrianglePrimitive&) { return 3; }
std::size_t MaxDots(const ArcPrimitive& p) { return static_cast<std::size_t>(p.GetNumPoints()); }
std::size_t MaxDots(const VolumePrimitive&) { return 8; }
// Opaque meshes give four dots a triangle, transparent ones a dot a vertex
// and one a triangle: the larger of the two serves both arrays.
std::size_t MaxDots(const TriangleMeshPrimitive& p) {
    const auto vertices = static_cast<std::size_t>(p.GetNumVertices());
    const auto triangles = static_cast<std::size_t>(p.GetNumTriangles());
    return std::max(4 * triangles, vertices + triangles);
}

// Both ends, each under its own ID and only when that ID is set.
template <class Out>
void Emit3D(const LinePrimitive& p, Out& out) {
    if (p.GetID1() != 0) out(p.GetEnd1(), p.GetID1());
    if (p.GetID2() != 0) out(p.GetEnd2(), p.GetID2());
}
template <class Out>
void Emit3D(const DashedLinePrimitive& p, Out& out) {
    if (const unsigned id = p.GetID()) {
        out(p.GetEnd1(), id);
        out(p.GetEnd2(), id);
        out(p.GetEnd1().MidPoint(p.GetEnd2()), id);
    }
}
// The array's own ID gates the lines; each line reports its own IDs.
template <class Out>
void Emit3D(const LineArrayPrimitive& p, Out& out) {
    if (p.GetID() == 0) return;
    for (const LinePrimitive& line : p.GetLineArray()) Emit3D(line, out);
}
template <class Out>
void Emit3D(const TetrahedronPrimitive& p, Out& out) {
    if (const unsigned id = p.GetID()) {
        Point3d v[4];
        p.GetTetrahedronVertices(v[0], v[1], v[2], v[3]);
        for (const Point3d& corner : v) out(corner, id);
    }
}
template <class Out>
void Emit3D(const SpherePrimitive& p, Out& out) {
    if (const unsigned id = p.GetID()) out(p.GetCenter(), id);
}
template <class Out>
void Emit3D(const EllipsoidPrimitive& p, Out& out) {
    if (const unsigned id = p.GetID()) out(p.GetCenter(), id);
}
// The ends report their own IDs even when those are 0.
template <class Out>
void Emit3D(const CylinderPrimitive& p, Out& out) {
    if (const unsigned id = p.GetID()) {
        out(p.GetEnd1(), p.GetEnd1ID());
        out(p.GetEnd1().MidPoint(p.GetEnd2()), id);
        out(p.GetEnd2(), p.GetEnd2ID());
    }
}
// Dots, icons and anchored screen rectangles: the one coordinate.
template <class T, class Out>
void EmitCoord(const T& p, Out& out) {
    if (const unsigned id = p.GetID()) out(p.GetCoord(), id);
}
template <class Out>
void Emit3D(const DotPrimitive& p, Out& out) { EmitCoord(p, out); }
template <class Out>
void Emit3D(const IconPrimitive& p, Out& out) { EmitCoord(p, out); }
template <class Out>
void Emit3D(const Rect2DPrimitive& p, Out& out) { EmitCoord(p, out); }
template <class Base, class Out>
void EmitCorners(const TriangleCorners<Base>& p, Out& out) {
    if (const unsigned id = p.GetID()) {
        out(p.GetEnd1(), id);
        out(p.GetEnd2(), id);
        out(p.GetEnd3(), id);
    }
}
template <class Out>
void Emit3D(const TrianglePrimitive& p, Out& out) { EmitCorners(p, out); }
template <class Out>
void Emit3D(const UnlitTrianglePrimitive& p, Out& out) { EmitCorners(p, out); }
template <class Out>
void Emit3D(const ArcPrimitive& p, Out& out) {
    if (const unsigned id = p.GetID())
        for (const Point3d& point : p.GetPoints()) out(point, id);
}
// A label is either in the scene or on the overlay, never both.
template <class Out>
void Emit3D(const Text3DPrimitive& p, Out& out) {
    if (!p.GetIsAnnotation() && p.GetID() != 0) out(p.GetPosition(), p.GetID());
}
template <class Out>
void Emit2D(const Text3DPrimitive& p, Out& out) {
    if (p.GetIsAnnotation() && p.GetID() != 0) out(p.GetPosition(), p.GetID());
}

// The corners of the grid's box, in the order of the unit flags below. A
// volume without a grid has no box and yields nothing.
template <class Out>
void Emit3D(const VolumePrimitive& p, Out& out) {
    static constexpr float kFlags[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                           {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    const unsigned id = p.GetID();
    const NComponentVolume<float>* grid = p.GetVolume();
    if (id == 0 || grid == nullptr) return;
    const Point3d& o = grid->GetOrigin();
    const Point3d& angles = grid->GetCellAngles();
    if (angles.x == 90.0f && angles.y == 90.0f && angles.z == 90.0f) {
        const Point3d& e = grid->GetFarCorner();
        for (const auto& f : kFlags)
            out(Point3d(f[0] != 0 ? e.x : o.x, f[1] != 0 ? e.y : o.y, f[2] != 0 ? e.z : o.z), id);
        return;
    }
    const auto& n = grid->GetPointCounts();
    const Point3d& s = grid->GetSpacings();
    const Point3d lengths(static_cast<float>(n[0]) * s.x, static_cast<float>(n[1]) * s.y,
                          static_cast<float>(n[2]) * s.z);
    Matrix3x3 toCartesian;
    toCartesian.FractionalToCartesian(lengths, angles);
    for (const auto& f : kFlags) out((Point3d(f) * lengths + o) / lengths * toCartesian, id);
}

// Meshes. id(v) is the vertex's own ID when there is one for every vertex,
// else the mesh's. Triangles that name a vertex outside the array are skipped.
class MeshIDs {
public:
    explicit MeshIDs(const TriangleMeshPrimitive& mesh)
        : m_mesh(mesh), m_perVertex(mesh.GetNumOIDs() >= mesh.GetNumVertices()) {}
    unsigned operator()(int v) const { return m_perVertex ? m_mesh.GetOIDAt(v) : m_mesh.GetID(); }
    // False when no vertex can carry an ID: a mesh of ID 0 without per-vertex IDs.
    bool Any() const { return m_perVertex || m_mesh.GetID() != 0; }

private:
    const TriangleMeshPrimitive& m_mesh;
    bool m_perVertex;
};

template <class F>
void ForEachValidTriangle(const TriangleMeshPrimitive& mesh, F&& f) {
    const TriangleIndex* triangles = mesh.GetTriangleArray().GetData();
    const VertexNormal* v = mesh.GetVertices();
    const int count = mesh.GetNumTriangles();
    const auto vertices = static_cast<unsigned>(mesh.GetNumVertices());
    for (int i = 0; i < count; ++i) {
        // IsValidTriangle's test, kept inline: a negative index wraps past the array.
        const TriangleIndex& t = triangles[i];
        if (static_cast<unsigned>(t.GetA()) >= vertices || static_cast<unsigned>(t.GetB()) >= vertices ||
            static_cast<unsigned>(t.GetC()) >= vertices)
            continue;
        f(t, v, v[t.GetA()].GetPoint(), v[t.GetB()].GetPoint(), v[t.GetC()].GetPoint());
    }
}

TESSARY_PICK_INLINE Point3d Centroid(const Point3d& a, const Point3d& b, const Point3d& c) { return (a + b + c) / 3.0; }

// Opaque: the corners and centroid of every triangle with a corner ID set.
// Corners go through out.Corner, which may reuse the work done for a vertex
// when the next triangles name it again.
template <class Out>
void EmitOpaqueMesh(const TriangleMeshPrimitive& mesh, Out& out) {
    const MeshIDs id(mesh);
    if (!id.Any()) return;
    out.BeginMesh();
    ForEachValidTriangle(mesh, [&](const TriangleIndex& t, const VertexNormal* v, const Point3d& a, const Point3d& b,
                                   const Point3d& c) {
        const unsigned ia = id(t.GetA()), ib = id(t.GetB()), ic = id(t.GetC());
        if (ia == 0 && ib == 0 && ic == 0) return;
        out.Corner(v, t.GetA(), ia);
        out.Corner(v, t.GetB(), ib);
        out.Corner(v, t.GetC(), ic);
        out(Centroid(a, b, c), ia);
    });
}
// Transparent: every vertex with an ID, then every centroid whatever its ID.
template <class Out>
void EmitTransparentMesh(const TriangleMeshPrimitive& mesh, Out& out) {
    const MeshIDs id(mesh);
    const VertexNormal* v = mesh.GetVertices();
    const int count = mesh.GetNumVertices();
    if (id.Any())
        for (int i = 0; i < count; ++i)
            if (const unsigned vid = id(i)) out(v[i].GetPoint(), vid);
    ForEachValidTriangle(mesh, [&](const TriangleIndex& t, const VertexNormal*, const Point3d& a, const Point3d& b,
                                   const Point3d& c) {
        out(Centroid(a, b, c), id(t.GetA()));
    });
}

// ---- overlay emitters (points in the overlay plane at z = 0) ----------------------

template <class Out>
void EmitPoints2D(const Point2d* points, int count, unsigned id, Out& out) {
    for (int i = 0; i < count; ++i) out(Point3d(points[i].x, points[i].y, 0.0), id);
}
template <class Out>
void Emit2D(const LineSegmentPrimitive& p, Out& out) {
    const Point2d::Array& points = p.GetPoints();
    if (p.GetID() != 0) EmitPoints2D(points.GetData(), std::min(points.GetSize(), 2), p.GetID(), out);
}
template <class Out>
void Emit2D(const PolylinePrimitive& p, Out& out) {
    const Point2d::Array& points = p.GetPoints();
    if (p.GetID() != 0) EmitPoints2D(points.GetData(), points.GetSize(), p.GetID(), out);
}
// A rectangle's corners counter-clockwise from its origin; an ellipse's
// bounding corners, its origin being the centre and its size the half axes.
template <class Out>
void Emit2D(const RectanglePrimitive& p, Out& out) {
    if (p.GetID() == 0) return;
    const Point2d& o = p.GetOrigin();
    const Point2d& s = p.GetSize();
    const Point2d corners[4] = {{o.x, o.y}, {o.x + s.x, o.y}, {o.x + s.x, o.y + s.y}, {o.x, o.y + s.y}};
    EmitPoints2D(corners, 4, p.GetID(), out);
}
template <class Out>
void Emit2D(const EllipsePrimitive& p, Out& out) {
    if (p.GetID() == 0) return;
    const Point2d& o = p.GetOrigin();
    const Point2d& s = p.GetSize();
    const Point2d corners[4] = {
        {o.x + s.x, o.y + s.y}, {o.x - s.x, o.y + s.y}, {o.x - s.x, o.y - s.y}, {o.x + s.x, o.y - s.y}};
    EmitPoints2D(corners, 4, p.GetID(), out);
}
template <class Out>
void Emit2D(const TriangleShapePrimitive& p, Out& out) {
    if (p.GetID() == 0) return;
    const Point2d corners[3] = {p.GetPoint1(), p.GetPoint2(), p.GetPoint3()};
    EmitPoints2D(corners, 3, p.GetID(), out);
}
// Text strings, boxes and callouts: the origin.
template <class Out>
void Emit2D(const TextStringPrimitive& p, Out& out) {
    if (p.GetID() != 0) EmitPoints2D(&p.GetOrigin(), 1, p.GetID(), out);
}

// ---- outputs ---------------------------------------------------------------------

constexpr Color kPickColor(0, 0, 0, 0);  // all four bytes 0

// What an output without a vertex cache does with mesh corners.
template <class Derived>
struct PlainCorners {
    void BeginMesh() {}
    TESSARY_PICK_INLINE void Corner(const VertexNormal* v, int i, unsigned id) {
        static_cast<Derived&>(*this)(v[i].GetPoint(), id);
    }
};

// Appends dots as they come.
class AppendDots : public PlainCorners<AppendDots> {
public:
    explicit AppendDots(std::vector<DotPrimitive>& dots) : m_dots(dots) {}
    TESSARY_PICK_INLINE void operator()(const Point3d& p, unsigned id) { m_dots.emplace_back(p, kPickColor, 1, id); }

private:
    std::vector<DotPrimitive>& m_dots;
};

// Counts the dots.
class Count : public PlainCorners<Count> {
public:
    void operator()(const Point3d&, unsigned) { ++m_count; }
    std::size_t m_count = 0;
};

// Room for `extra` more dots, growing geometrically: the lists of a tree
// reserve one after another.
void Reserve(std::vector<DotPrimitive>& dots, std::size_t extra) {
    const std::size_t needed = dots.size() + extra;
    if (needed > dots.capacity()) dots.reserve(std::max(needed, 2 * dots.capacity()));
}

template <class F, std::size_t... Row>
void ForEachInOrder(F&& f, std::index_sequence<Row...>) {
    (f(std::integral_constant<std::size_t, Row>()), ...);
}

// A clip plane carried into world coordinates: a x + b y + c z + d >= 0 keeps.
struct ActivePlane {
    double a, b, c, d;
};

// Transforms each dot by `m` and appends it when every active plane keeps it.
// Affine matrices skip the division by w, which is exactly 1 for every finite
// point; the rest take Matrix4x4::Transform, so the results are the same.
// Clipped dots gather in a small buffer without a branch on the clip test
// (which planes keep a dot is as good as random to the processor) and go to
// the caller's array block by block; Flush appends the rest. Mesh corners
// keep their world position and verdict in a small cache by vertex index:
// neighbouring triangles share vertices, so most corners are computed once.
template <bool Affine, bool Clipped>
class ToWorld {
public:
    ToWorld(const Matrix4x4& m, const ActivePlane* planes, int numPlanes, std::vector<DotPrimitive>& dots)
        : m_m(m), m_planes(planes), m_numPlanes(numPlanes), m_dots(dots) {}

    TESSARY_PICK_INLINE void operator()(const Point3d& p, unsigned id) {
        const Point3d q = Transformed(p);
        Put(q, id, !Clipped || Kept(q));
    }
    void BeginMesh() {
        for (Cached& entry : m_cache) entry.m_index = -1;
    }
    TESSARY_PICK_INLINE void Corner(const VertexNormal* v, int i, unsigned id) {
        Cached& entry = m_cache[static_cast<unsigned>(i) % kCache];
        if (entry.m_index != i) {
            entry.m_index = i;
            entry.m_point = Transformed(v[i].GetPoint());
            entry.m_kept = !Clipped || Kept(entry.m_point);
        }
        Put(entry.m_point, id, entry.m_kept);
    }
    void Flush() {
        for (std::size_t i = 0; i < m_pending; ++i) m_dots.emplace_back(m_buffer[i].m_point, kPickColor, 1, m_buffer[i].m_id);
        m_pending = 0;
    }

private:
    static constexpr std::size_t kBlock = Clipped ? 256 : 1;
    static constexpr unsigned kCache = 256;
    struct Pending {
        Point3d m_point;
        unsigned m_id;
    };
    struct Cached {
        int m_index = -1;
        Point3d m_point;
        bool m_kept = false;
    };

    TESSARY_PICK_INLINE void Put(const Point3d& q, unsigned id, bool kept) {
        if constexpr (Clipped) {
            if (m_pending == kBlock) Flush();
            m_buffer[m_pending] = {q, id};
            m_pending += kept ? 1 : 0;
        } else {
            m_dots.emplace_back(q, kPickColor, 1, id);
        }
    }

    TESSARY_PICK_INLINE Point3d Transformed(const Point3d& p) const {
        if (!Affine) return m_m.Transform(p);
        const double x = p.x, y = p.y, z = p.z;
        if (!std::isfinite(x + y + z)) return m_m.Transform(p);
        const double* m = m_m;
        return Point3d(x * m[0] + y * m[4] + z * m[8] + m[12], x * m[1] + y * m[5] + z * m[9] + m[13],
                       x * m[2] + y * m[6] + z * m[10] + m[14]);
    }
    // Written so that NaN drops the dot.
    TESSARY_PICK_INLINE bool Kept(const Point3d& q) const {
        const double x = q.x, y = q.y, z = q.z;
        bool kept = true;
        for (int i = 0; i < m_numPlanes; ++i) {
            const ActivePlane& plane = m_planes[i];
            kept &= plane.a * x + plane.b * y + plane.c * z + plane.d >= 0.0;
        }
        return kept;
    }

    const Matrix4x4& m_m;
    const ActivePlane* m_planes;
    int m_numPlanes;
    std::vector<DotPrimitive>& m_dots;
    std::size_t m_pending = 0;
    Pending m_buffer[kBlock];
    Cached m_cache[kCache];
};

}  // namespace

// ---- walks -------------------------------------------------------------------------

template <class Out>
void DisplayList3D::EmitPickDots(Out& out) const {
    // Table order, except that dots come before triangles; cones and the
    // overlay arrays have no 3D dots.
    using Order = std::index_sequence<LinesRow, DashedLinesRow, LineArraysRow, OpaqueTetrahedronsRow,
                                      TransparentTetrahedronsRow, OpaqueSpheresRow, TransparentSpheresRow,
                                      OpaqueEllipsoidsRow, TransparentEllipsoidsRow, OpaqueCylindersRow,
                                      TransparentCylindersRow, DotsRow, TrianglesRow, OpaqueTriangleMeshesRow,
                                      TransparentTriangleMeshesRow, ArcsRow, Text3DRow, UnlitTrianglesRow,
                                      Rect2DRow, VolumeRow, IconRow>;
    const auto walk = [&](auto row) {
        if constexpr (row == OpaqueTriangleMeshesRow) {
            for (const auto& p : Array<row>()) EmitOpaqueMesh(p, out);
        } else if constexpr (row == TransparentTriangleMeshesRow) {
            for (const auto& p : Array<row>()) EmitTransparentMesh(p, out);
        } else {
            for (const auto& p : Array<row>()) Emit3D(p, out);
        }
    };
    ForEachInOrder(walk, Order());
}

template <class Out>
void DisplayList3D::EmitPickDots2D(Out& out) const {
    ForEachRow([&](auto row) {
        for (const auto& p : Array<row>()) Emit2D(p, out);
    });
}

std::size_t DisplayList3D::PickDotBound() const {
    std::size_t bound = 0;
    Walk(*this, detail::NoState(), [&](const DisplayList3D& list, detail::NoState) {
        list.ForEachRow([&](auto row) {
            for (const auto& p : list.Array<row>()) bound += MaxDots(p);
        });
        return detail::kDescend;
    });
    return bound;
}

int DisplayList3D::GetPickDots(std::vector<DotPrimitive>& dots) const {
    Reserve(dots, std::max<std::size_t>(static_cast<std::size_t>(GetNumPrim()), PickDotBound()));
    return GetPickDotsTree(Matrix4x4(Matrix4x4::IdentityMatrix), dots);
}

int DisplayList3D::GetPickDotsTree(const Matrix4x4& parent, std::vector<DotPrimitive>& dots) const {
    Walk(*this, parent, [&](const DisplayList3D& list, const Matrix4x4& above) {
        const Matrix4x4 m = above * list.m_localTransformation;
        list.GetPickDotsWorld(m, dots);
        return std::optional<Matrix4x4>(m);
    });
    return static_cast<int>(dots.size());
}

void DisplayList3D::GetPickDotsWorld(const Matrix4x4& m, std::vector<DotPrimitive>& dots) const {
    // Each enabled plane carried by m: the point by m, the normal by m
    // without its translation, then normalised.
    Matrix4x4 linear(m);
    linear(3, 0) = linear(3, 1) = linear(3, 2) = 0.0;
    ActivePlane planes[kMaxClipPlanes];
    int numPlanes = 0;
    for (const ClipPlane& entry : m_clipPlanes) {
        if (!entry.m_enabled) continue;
        Point3d point, normal;
        entry.m_plane.Get(point, normal);
        const Plane world(point * m, (normal * linear).Normalize());
        ActivePlane& active = planes[numPlanes++];
        world.GetABCD(active.a, active.b, active.c, active.d);
    }
    const auto emit = [&](auto out) {
        EmitPickDots(out);
        out.Flush();
    };
    if (m.IsAffine()) {
        if (numPlanes > 0) emit(ToWorld<true, true>(m, planes, numPlanes, dots));
        else emit(ToWorld<true, false>(m, planes, numPlanes, dots));
    } else {
        if (numPlanes > 0) emit(ToWorld<false, true>(m, planes, numPlanes, dots));
        else emit(ToWorld<false, false>(m, planes, numPlanes, dots));
    }
}

int DisplayList3D::GetPickDotsPrimitives(std::vector<DotPrimitive>& dots) const {
    AppendDots out(dots);
    EmitPickDots(out);
    return static_cast<int>(dots.size());
}

int DisplayList3D::GetPickDots2D(std::vector<DotPrimitive>& dots) const {
    Walk(*this, detail::NoState(), [&](const DisplayList3D& list, detail::NoState) {
        // Each list's own dots, counted exactly: the overlay holds few shapes.
        Count count;
        list.EmitPickDots2D(count);
        Reserve(dots, count.m_count);
        AppendDots out(dots);
        list.EmitPickDots2D(out);
        return detail::kDescend;
    });
    return static_cast<int>(dots.size());
}

}  // namespace Tessary
