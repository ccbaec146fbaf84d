#pragma once

// DisplayList3D: what a host hands its renderer. One array per primitive
// kind (by value, in insertion order), child lists held by value, a local
// transformation, six clip planes, a render mode and an icon scale. The
// library never draws and never archives a list; it files, counts, copies,
// merges, transforms and renumbers.
//
// Edge cases:
// - Lit solids and meshes are filed opaque or transparent once, at Add, by
//   the A byte of one deciding colour (a cylinder's end 1, a mesh's first
//   vertex; a mesh without vertices is opaque). Changing the colour later
//   does not move the element.
// - Get... outside the array asserts in debug builds and clamps into range
//   otherwise; on an empty array the const form hands back a default element
//   and the non-const form a scratch default whose changes are lost (each
//   list has its own, made at the first such call).
//   Remove... ignores the part of a range that lies outside the array.
// - The copy constructor and assignment take the source's ID; Copy keeps
//   this list's own. Append and AppendArrays of a list to itself (or of a
//   list inside its own tree) append one copy of the content as it stood
//   before the call.
// - Baking (ApplyLocalTransformation, Flatten) keeps every primitive where
//   the tree drew it: the 3D kinds move (cones too), meshes with their
//   normals, arcs with their polylines and axes, and a text callout's 3D
//   location (its box stays on the overlay with the other 2D shapes). A
//   volume's grid is the host's: it carries its own placement and stays.
//   SetOID and TranslateOIDs leave cones alone.
// - Every operation on the tree walks it from a stack of its own, so a tree
//   of any depth fits on the thread's stack.
// - GetClipPlane redirects an index outside 0..5 to entry 0; the other
//   clip-plane accessors ignore it (GetClipPlaneEnabled gives false).
// - Pick dots are appended, never cleared. A clip value that is not a
//   number drops the dot; a point without a finite image under a projective
//   transformation lands at Point3d::maximum. A volume without a grid and a
//   mesh triangle that names a vertex outside the array yield nothing.
//   Labels marked as annotations are overlay dots only; the others 3D only.
//
// Threads: the ID counter is process-wide and unlocked, so lists are
// constructed from one thread at a time; a list is used by one thread at a
// time, and its const members may run on several threads at once.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <tuple>
#include <type_traits>
#include <vector>

#include "tessary/frame/CMap.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/Plane.h"
#include "tessary/geometry/Point3d.h"
#include "tessary/graphics/primitives/ArcPrimitive.h"
#include "tessary/graphics/primitives/LinePrimitives.h"
#include "tessary/graphics/primitives/OverlayLines.h"
#include "tessary/graphics/primitives/OverlayShapes.h"
#include "tessary/graphics/primitives/OverlayText.h"
#include "tessary/graphics/primitives/PointPrimitives.h"
#include "tessary/graphics/primitives/Rect2DPrimitive.h"
#include "tessary/graphics/primitives/SolidPrimitives.h"
#include "tessary/graphics/primitives/TetrahedronPrimitive.h"
#include "tessary/graphics/primitives/TriangleMeshPrimitive.h"
#include "tessary/graphics/primitives/TrianglePrimitive.h"
#include "tessary/graphics/primitives/VolumePrimitive.h"

// The primitive arrays, one row each, in declaration order:
//   X(Class, Plural, Singular, Filing, Placement)
// Plural names the count (GetNum<Plural>), Singular the element and its
// removal (Get<Singular>, Remove<Singular>); Add(const Class&) comes with the
// Single or Opaque row of a kind. Filing: Single, or Opaque followed at once
// by Transparent for a kind with two arrays. Placement, what baking a
// transformation does: Moved (Transform), MovedWithNormals (TransformAll:
// meshes turn their normals, arcs their axes and polylines), Fixed (not
// visited: the overlay's own coordinates).
#define TESSARY_DISPLAY_LIST_ARRAYS(X)                                                                   \
    X(LinePrimitive, Lines, Line, Single, Moved)                                                         \
    X(DashedLinePrimitive, DashedLines, DashedLine, Single, Moved)                                       \
    X(LineArrayPrimitive, LineArrays, LineArray, Single, Moved)                                          \
    X(TetrahedronPrimitive, OpaqueTetrahedrons, OpaqueTetrahedron, Opaque, Moved)                        \
    X(TetrahedronPrimitive, TransparentTetrahedrons, TransparentTetrahedron, Transparent, Moved)         \
    X(SpherePrimitive, OpaqueSpheres, OpaqueSphere, Opaque, Moved)                                       \
    X(SpherePrimitive, TransparentSpheres, TransparentSphere, Transparent, Moved)                        \
    X(EllipsoidPrimitive, OpaqueEllipsoids, OpaqueEllipsoid, Opaque, Moved)                              \
    X(EllipsoidPrimitive, TransparentEllipsoids, TransparentEllipsoid, Transparent, Moved)               \
    X(CylinderPrimitive, OpaqueCylinders, OpaqueCylinder, Opaque, Moved)                                 \
    X(CylinderPrimitive, TransparentCylinders, TransparentCylinder, Transparent, Moved)                  \
    X(ConePrimitive, Cones, Cone, Single, Moved)                                                         \
    X(TrianglePrimitive, Triangles, Triangle, Single, Moved)                                             \
    X(TriangleMeshPrimitive, OpaqueTriangleMeshes, OpaqueTriangleMesh, Opaque, MovedWithNormals)         \
    X(TriangleMeshPrimitive, TransparentTriangleMeshes, TransparentTriangleMesh, Transparent, MovedWithNormals) \
    X(DotPrimitive, Dots, Dot, Single, Moved)                                                            \
    X(ArcPrimitive, Arcs, Arc, Single, MovedWithNormals)                                                 \
    X(Text3DPrimitive, Text3D, Text3D, Single, Moved)                                                    \
    X(UnlitTrianglePrimitive, UnlitTriangles, UnlitTriangle, Single, Moved)                              \
    X(Rect2DPrimitive, Rect2D, Rect2D, Single, Moved)                                                    \
    X(VolumePrimitive, Volume, Volume, Single, Moved)                                                    \
    X(IconPrimitive, Icon, Icon, Single, Moved)                                                          \
    X(LineSegmentPrimitive, LineSegments, LineSegment, Single, Fixed)                                    \
    X(PolylinePrimitive, Polylines, Polyline, Single, Fixed)                                             \
    X(RectanglePrimitive, Rectangles, Rectangle, Single, Fixed)                                          \
    X(EllipsePrimitive, Ellipses, Ellipse, Single, Fixed)                                                \
    X(TriangleShapePrimitive, TriangleShapes, TriangleShape, Single, Fixed)                              \
    X(TextStringPrimitive, TextStrings, TextString, Single, Fixed)                                       \
    X(TextBoxPrimitive, TextBoxes, TextBox, Single, Fixed)                                               \
    X(TextCalloutPrimitive, TextCallouts, TextCallout, Single, Moved)

namespace Tessary {

class DisplayList3D;

namespace detail {
struct DisplayListFallbacks;
// The array types of the table; the leading void absorbs the table's leading comma.
template <class... T>
struct DisplayListKinds;
template <class... T>
struct DisplayListKinds<void, T...> {
    using Arrays = std::tuple<std::vector<T>...>;
    using Elements = std::tuple<T...>;
};
}  // namespace detail

class TESSARY_API DisplayList3D {
public:
    // Renderer-defined; the library only stores and copies the value.
    enum RenderMode : int { DefaultRenderMode = 1 };

    // Render mode 1, the next ID, empty arrays, icon scale (1, 1, 1), identity, six disabled planes.
    DisplayList3D();
    // Takes the source's ID and a copy of its content (children keep their IDs).
    DisplayList3D(const DisplayList3D& other);
    DisplayList3D(DisplayList3D&&) noexcept;
    // Takes the source's ID and a copy of its content; self-assignment changes nothing.
    DisplayList3D& operator=(const DisplayList3D& other);
    DisplayList3D& operator=(DisplayList3D&&) noexcept;
    ~DisplayList3D();

    // Makes the content equal to `other`'s, keeping this list's ID.
    void Copy(const DisplayList3D& other);

    unsigned GetID() const { return m_id; }
    RenderMode GetRenderMode() const { return m_renderMode; }
    void SetRenderMode(RenderMode mode) { m_renderMode = mode; }
    const Point3d& GetIconScale() const { return m_iconScale; }
    void SetIconScale(const Point3d& scale) { m_iconScale = scale; }

    // ---- the per-kind family ------------------------------------------------
    // Add returns the index of the copy in the array it was filed in.
#define TESSARY_DL_ADD_Single(Class, Plural) \
    int Add(const Class& primitive) { return Push<Plural##Row>(primitive); }
#define TESSARY_DL_ADD_Opaque(Class, Plural)                                                  \
    int Add(const Class& primitive) {                                                         \
        static_assert(std::is_same_v<ElementOf<Plural##Row + 1>, Class>, "the transparent row follows"); \
        return IsTransparent(primitive) ? Push<Plural##Row + 1>(primitive) : Push<Plural##Row>(primitive); \
    }
#define TESSARY_DL_ADD_Transparent(Class, Plural)
#define TESSARY_DL_ACCESSORS(Class, Plural, Singular, Filing, Placement)                           \
    TESSARY_DL_ADD_##Filing(Class, Plural)                                                         \
    int GetNum##Plural() const { return static_cast<int>(Array<Plural##Row>().size()); }        \
    const Class& Get##Singular(int index) const { return Element<Plural##Row>(index); }         \
    Class& Get##Singular(int index) { return Element<Plural##Row>(index); }                     \
    void Remove##Singular(int first, int count) { Remove<Plural##Row>(first, count); }
    TESSARY_DISPLAY_LIST_ARRAYS(TESSARY_DL_ACCESSORS)
#undef TESSARY_DL_ACCESSORS
#undef TESSARY_DL_ADD_Single
#undef TESSARY_DL_ADD_Opaque
#undef TESSARY_DL_ADD_Transparent

    // True when no list of the tree holds a primitive.
    bool IsEmpty() const { return GetNumPrim() == 0; }
    // Empties every array, here and in every child (the children stay), and
    // resets icon scale, transformation and clip planes; keeps render mode and ID.
    void Clear();
    // AppendArrays, then copies of `other`'s children (keeping their IDs);
    // returns the elements plus the children appended.
    int Append(const DisplayList3D& other);

    // ---- the tree -------------------------------------------------------------
    // Appends a copy of `child` with its subtree; returns the child's ID.
    unsigned Add(const DisplayList3D& child);
    int GetNumDisplayLists() const { return static_cast<int>(m_children.size()); }
    // Clamped like the primitive accessors.
    const DisplayList3D& GetDisplayList(int index) const;
    DisplayList3D& GetDisplayList(int index);
    void RemoveDisplayList(int first, int count);

    // The first list of the tree with `id` in pre-order (this list first); null if none.
    DisplayList3D* LookupDisplayList(unsigned id);
    const DisplayList3D* LookupDisplayList(unsigned id) const;

    const Matrix4x4& GetLocalTransformation() const { return m_localTransformation; }
    void SetLocalTransformation(const Matrix4x4& m) { m_localTransformation = m; }
    // The aggregate transformation of the list with `id` in `root`'s tree, the
    // last one in pre-order when several carry it; `result` untouched when none does.
    void GetAggregateTransformation(const DisplayList3D& root, unsigned id, Matrix4x4& result) const;
    // Bakes every local transformation of the tree into the primitives; all become identity.
    void ApplyLocalTransformation();
    // Bakes, then merges every descendant's arrays into this list in pre-order and drops the children.
    void Flatten();

    // Object IDs of every primitive of the tree (cones excepted).
    void SetOID(unsigned oid);
    // Replaces each object ID that is a key of `map` by its value.
    void TranslateOIDs(const CMap<unsigned int, unsigned int, unsigned int, unsigned int>& map);

    // ---- clip planes ------------------------------------------------------------
    int GetMaxClipPlanes() const { return kMaxClipPlanes; }
    const Plane& GetClipPlane(int i) const { return m_clipPlanes[ValidClipPlane(i) ? i : 0].m_plane; }
    void SetClipPlane(int i, const Plane& plane) {
        if (ValidClipPlane(i)) m_clipPlanes[i].m_plane = plane;
    }
    void SetClipPlaneEnabled(int i, bool enabled) {
        if (ValidClipPlane(i)) m_clipPlanes[i].m_enabled = enabled;
    }
    bool GetClipPlaneEnabled(int i) const { return ValidClipPlane(i) && m_clipPlanes[i].m_enabled; }

    // ---- pick dots ----------------------------------------------------------------
    // Appends the 3D pick dots of the tree in world coordinates, each list's
    // own dots clipped by its enabled planes; returns the size of `dots`.
    int GetPickDots(std::vector<DotPrimitive>& dots) const;
    // Appends the overlay dots of the tree (2D shapes, annotation labels),
    // untransformed and unclipped; returns the size of `dots`.
    int GetPickDots2D(std::vector<DotPrimitive>& dots) const;

protected:
    // ---- rows of the table, for code that walks the arrays ------------------------
#define TESSARY_DL_ROW(Class, Plural, ...) Plural##Row,
    enum ArrayRow : std::size_t { TESSARY_DISPLAY_LIST_ARRAYS(TESSARY_DL_ROW) ArrayCount };
#undef TESSARY_DL_ROW
#define TESSARY_DL_TYPE(Class, ...) , Class
    using Kinds = detail::DisplayListKinds<void TESSARY_DISPLAY_LIST_ARRAYS(TESSARY_DL_TYPE)>;
#undef TESSARY_DL_TYPE
    using Arrays = Kinds::Arrays;
    template <std::size_t Row>
    using ElementOf = std::tuple_element_t<Row, Kinds::Elements>;

    template <std::size_t Row>
    const std::vector<ElementOf<Row>>& Array() const { return std::get<Row>(m_arrays); }
    template <std::size_t Row>
    std::vector<ElementOf<Row>>& Array() { return std::get<Row>(m_arrays); }
    // Calls f(std::integral_constant<std::size_t, Row>) for every row, in order.
    template <class F>
    static void ForEachRow(F&& f) { ForEachRow(f, std::make_index_sequence<ArrayCount>()); }

    // Primitives of the tree; a mesh counts its vertices.
    int GetNumPrim() const;
    // Appends copies of `other`'s elements row by row, without refiling and
    // without transforming; returns their number (a mesh counts 1).
    int AppendArrays(const DisplayList3D& other);
    // GetAggregateTransformation below `parent`, from `list` down.
    void GetAggregateTransformationTree(const DisplayList3D& list, unsigned id, Matrix4x4 parent,
                                        Matrix4x4& result) const;
    // ApplyLocalTransformation below `parent`.
    void ApplyLocalTransformationTree(const Matrix4x4& parent);
    // Moves this list's own primitives by `m`, then sets the local transformation to identity.
    void TransformPrimitives(const Matrix4x4& m);
    // Appends the dots of this list and its descendants under `parent` x
    // local transformation, each list clipped by its own planes; returns the
    // number of dots held.
    int GetPickDotsTree(const Matrix4x4& parent, std::vector<DotPrimitive>& dots) const;
    // Appends this list's own dots in world coordinates, `world` being its
    // aggregate transformation, clipped by its enabled planes.
    void GetPickDotsWorld(const Matrix4x4& world, std::vector<DotPrimitive>& dots) const;
    // This list's own dots as stored: no children, no transformation, no clipping.
    int GetPickDotsPrimitives(std::vector<DotPrimitive>& dots) const;

    // The deciding colour's A byte; an empty mesh is opaque.
    template <class T>
    static bool IsTransparent(const T& p) { return p.GetColor().GetA() > 0; }
    static bool IsTransparent(const CylinderPrimitive& p) { return p.GetColor1().GetA() > 0; }
    static bool IsTransparent(const TriangleMeshPrimitive& p) {
        return p.GetNumVertices() > 0 && p.GetVertexAt(0).GetColor().GetA() > 0;
    }

    static constexpr int kMaxClipPlanes = 6;
    struct ClipPlane {
        bool m_enabled = false;
        Plane m_plane;
    };

    // Class-wide: the last ID handed out (0 when the library is loaded).
    static std::uint32_t m_lastID;

    RenderMode m_renderMode = DefaultRenderMode;
    std::uint32_t m_id;
    Arrays m_arrays;
    Point3d m_iconScale{1.0, 1.0, 1.0};
    std::vector<DisplayList3D> m_children;
    Matrix4x4 m_localTransformation{Matrix4x4::IdentityMatrix};
    ClipPlane m_clipPlanes[kMaxClipPlanes];

private:
    friend struct detail::DisplayListFallbacks;
    struct WithoutID {};
    // A list with ID 0 that leaves the counter alone (stand-ins and shells to copy into).
    explicit DisplayList3D(WithoutID);
    struct WithoutChildren {};
    // A copy of `other`'s own content and ID, without its children.
    DisplayList3D(const DisplayList3D& other, WithoutChildren);
    // This list's stand-ins for an element of an empty array (DisplayList3D.cpp).
    struct Scratch;
    Scratch& OwnScratch();
    std::unique_ptr<Scratch> m_scratch;

    // Calls visit(list, state) on `root` and on each descendant in pre-order
    // (children in index order, each before its own children). A child gets
    // the state its parent's visit returned, the root `rootState`; a visit
    // that returns none keeps the walk out of its children. The walk keeps
    // its own stack, one frame per level, so depth costs no thread stack; a
    // visit may change its list's children, which are read after it.
    // (detail/DisplayListWalk.h)
    template <class List, class State, class Visit>
    static void Walk(List& root, const State& rootState, Visit&& visit);

    // Render mode, arrays, icon scale, transformation and clip planes; not the ID or the children.
    void AssignOwn(const DisplayList3D& other);
    // Makes the children a copy of `other`'s tree, IDs included, reusing the
    // lists that are there; `other` lies outside this list's tree and it outside `other`'s.
    void CopyChildren(const DisplayList3D& other);
    // Empties the arrays and resets icon scale, transformation and clip planes.
    void ClearOwn();

    template <class F, std::size_t... Row>
    static void ForEachRow(F& f, std::index_sequence<Row...>) {
        (f(std::integral_constant<std::size_t, Row>()), ...);
    }
    static bool ValidClipPlane(int i) { return i >= 0 && i < kMaxClipPlanes; }
    // True when `list` is this list or one of its descendants.
    bool Contains(const DisplayList3D& list) const;

    // The pick-dot walks (PickDots.cpp): each hands every dot of this list's
    // own arrays to `out(point, id)`, in the order of the pick tables.
    template <class Out>
    void EmitPickDots(Out& out) const;
    template <class Out>
    void EmitPickDots2D(Out& out) const;
    // An upper bound of the 3D dots of the tree, from counts alone.
    std::size_t PickDotBound() const;

    template <std::size_t Row>
    int Push(const ElementOf<Row>& primitive) {
        auto& array = Array<Row>();
        array.push_back(primitive);
        return static_cast<int>(array.size()) - 1;
    }
    template <std::size_t Row>
    const ElementOf<Row>& Element(int index) const {
        const auto& array = Array<Row>();
        if (index >= 0 && static_cast<std::size_t>(index) < array.size()) return array[static_cast<std::size_t>(index)];
        return OutOfRange<Row>(index);
    }
    template <std::size_t Row>
    ElementOf<Row>& Element(int index) {
        auto& array = Array<Row>();
        if (index >= 0 && static_cast<std::size_t>(index) < array.size()) return array[static_cast<std::size_t>(index)];
        return OutOfRange<Row>(index);
    }
    // The cold paths of Element (asserting in debug builds).
    template <std::size_t Row>
    const ElementOf<Row>& OutOfRange(int index) const;
    template <std::size_t Row>
    ElementOf<Row>& OutOfRange(int index);
    template <std::size_t Row>
    void Remove(int first, int count);
};

}  // namespace Tessary
