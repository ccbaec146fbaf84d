#include "tessary/graphics/displaylist/DisplayList3D.h"

#include <algorithm>
#include <cassert>
#include <functional>
#include <iterator>
#include <utility>

#include "tessary/graphics/displaylist/detail/DisplayListStatics.h"
#include "tessary/graphics/displaylist/detail/DisplayListWalk.h"

namespace Tessary {

using detail::kDescend;
using detail::kSkip;
using detail::NoState;

struct DisplayList3D::Scratch {
    Kinds::Elements m_elements;
    DisplayList3D m_list{WithoutID()};
};

namespace {

enum class Placement { Moved, MovedWithNormals, Fixed };
// The Placement column, by row.
#define TESSARY_DL_PLACEMENT(Class, Plural, Singular, Filing, Where) Placement::Where,
constexpr Placement kPlacement[] = {TESSARY_DISPLAY_LIST_ARRAYS(TESSARY_DL_PLACEMENT)};
#undef TESSARY_DL_PLACEMENT

bool IsIdentity(const Matrix4x4& m) {
    static constexpr double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const double* v = m;
    return std::equal(v, v + 16, identity);
}

// [first, first + count) clamped to [0, size).
std::pair<std::size_t, std::size_t> ClampRange(std::size_t size, int first, int count) {
    const long long n = static_cast<long long>(size);
    const long long begin = std::clamp<long long>(first, 0, n);
    const long long end = std::clamp<long long>(static_cast<long long>(first) + std::max(count, 0), begin, n);
    return {static_cast<std::size_t>(begin), static_cast<std::size_t>(end)};
}

// The element an index outside `array` stands for: asserts in debug builds,
// then the nearest end, or what `fallback` gives for an empty array.
template <class Vector, class Fallback>
auto& ClampedElement(Vector& array, int index, const Fallback& fallback) {
    assert(false && "display list index out of range");
    if (array.empty()) return fallback().get();
    return array[index < 0 ? 0 : array.size() - 1];
}

// Appends a copy of `src` to `dst`; `src` may be `dst` itself (one copy of
// the elements as they were) or an array of another list.
template <class T>
void AppendCopy(std::vector<T>& dst, const std::vector<T>& src) {
    if (&dst == &src) {
        const std::size_t n = dst.size();
        dst.reserve(2 * n);
        for (std::size_t i = 0; i < n; ++i) dst.push_back(dst[i]);
    } else {
        dst.insert(dst.end(), src.begin(), src.end());
    }
}

// The object IDs a kind carries, each replaced by id(old). Cones keep theirs.
template <class T, class Id>
void VisitOIDs(T& p, const Id& id) {
    p.SetID(id(p.GetID()));
}
template <class Id>
void VisitOIDs(ConePrimitive&, const Id&) {}
// Both halves (a dashed line, a kind of its own, has the one ID).
template <class Id>
void VisitOIDs(LinePrimitive& p, const Id& id) {
    p.SetID1(id(p.GetID1()));
    p.SetID2(id(p.GetID2()));
}
// The array's own ID and, since picking reports them, its lines' IDs.
template <class Id>
void VisitOIDs(LineArrayPrimitive& p, const Id& id) {
    p.SetID(id(p.GetID()));
    for (LinePrimitive& line : p.GetLineArray()) VisitOIDs(line, id);
}
template <class Id>
void VisitOIDs(CylinderPrimitive& p, const Id& id) {
    p.GraphicsPrimitive::SetID(id(p.GetID()));  // CylinderPrimitive::SetID would overwrite the ends
    p.SetEnd1ID(id(p.GetEnd1ID()));
    p.SetEnd2ID(id(p.GetEnd2ID()));
}
// Per-vertex IDs only when there is one for every vertex; then each entry
// below max(vertices, triangles) that exists, once.
template <class Id>
void VisitOIDs(TriangleMeshPrimitive& p, const Id& id) {
    p.SetID(id(p.GetID()));
    const int oids = p.GetNumOIDs();
    if (oids < p.GetNumVertices()) return;
    const int last = std::min(oids, std::max(p.GetNumVertices(), p.GetNumTriangles()));
    for (int i = 0; i < last; ++i) p.SetOIDAt(i, id(p.GetOIDAt(i)));
}

}  // namespace

DisplayList3D::DisplayList3D() : m_id(++m_lastID) {}

DisplayList3D::DisplayList3D(WithoutID) : m_id(0) {}

DisplayList3D::DisplayList3D(const DisplayList3D& other) : DisplayList3D(other, WithoutChildren()) {
    CopyChildren(other);  // a list under construction lies in no tree
}

DisplayList3D::DisplayList3D(const DisplayList3D& other, WithoutChildren)
    : m_renderMode(other.m_renderMode), m_id(other.m_id), m_arrays(other.m_arrays), m_iconScale(other.m_iconScale),
      m_localTransformation(other.m_localTransformation) {
    std::copy(std::begin(other.m_clipPlanes), std::end(other.m_clipPlanes), std::begin(m_clipPlanes));
}

DisplayList3D::DisplayList3D(DisplayList3D&&) noexcept = default;
DisplayList3D& DisplayList3D::operator=(DisplayList3D&&) noexcept = default;

DisplayList3D::~DisplayList3D() {
    // The descendants are taken down from a list of their own, each after its
    // children have been moved out, so no destructor runs inside another.
    std::vector<DisplayList3D> doomed(std::move(m_children));
    while (!doomed.empty()) {
        if (doomed.back().m_children.empty()) {
            doomed.pop_back();
            continue;
        }
        std::vector<DisplayList3D> children(std::move(doomed.back().m_children));
        doomed.pop_back();
        if (doomed.empty()) doomed.swap(children);
        else doomed.insert(doomed.end(), std::make_move_iterator(children.begin()), std::make_move_iterator(children.end()));
    }
}

DisplayList3D& DisplayList3D::operator=(const DisplayList3D& other) {
    if (&other != this) {
        const std::uint32_t id = other.m_id;  // `other` may not survive the copy
        Copy(other);
        m_id = id;
    }
    return *this;
}

void DisplayList3D::Copy(const DisplayList3D& other) {
    if (&other == this) return;
    // When one list lies in the other's tree, copying in place could destroy
    // or change `other` before it is read: copy it aside first.
    if (Contains(other) || other.Contains(*this)) {
        const DisplayList3D aside(other);
        Copy(aside);
        return;
    }
    AssignOwn(other);
    CopyChildren(other);
}

void DisplayList3D::AssignOwn(const DisplayList3D& other) {
    m_renderMode = other.m_renderMode;
    m_arrays = other.m_arrays;  // in place: the arrays keep their storage
    m_iconScale = other.m_iconScale;
    m_localTransformation = other.m_localTransformation;
    std::copy(std::begin(other.m_clipPlanes), std::end(other.m_clipPlanes), std::begin(m_clipPlanes));
}

void DisplayList3D::CopyChildren(const DisplayList3D& other) {
    // Walks `other`; each visit gives the list's counterpart here as many
    // children as the source has: the ones there take the content of theirs
    // in place (so they keep their storage) when they are visited, the rest
    // are copies of their sources without children. The counterparts'
    // vectors do not change again once their children are being visited, so
    // the pointers handed down stay valid.
    if (other.m_children.empty()) {  // most lists: no walk
        m_children.clear();
        return;
    }
    struct Counterpart {
        DisplayList3D* parent;  // null for the root
        const DisplayList3D* source;
        std::size_t reused;  // children of `parent` that were there before
    };
    Walk(other, Counterpart{nullptr, nullptr, 0}, [this](const DisplayList3D& source, const Counterpart& up) {
        DisplayList3D* target = this;
        if (up.parent != nullptr) {
            const auto index = static_cast<std::size_t>(&source - up.source->m_children.data());
            target = &up.parent->m_children[index];
            if (index < up.reused) {
                target->AssignOwn(source);
                target->m_id = source.m_id;
            }
        }
        std::vector<DisplayList3D>& children = target->m_children;
        const std::size_t n = source.m_children.size();
        if (children.size() > n) children.erase(children.begin() + static_cast<std::ptrdiff_t>(n), children.end());
        const std::size_t reused = children.size();
        children.reserve(n);
        for (std::size_t i = reused; i < n; ++i) children.push_back(DisplayList3D(source.m_children[i], WithoutChildren()));
        return std::optional<Counterpart>(Counterpart{target, &source, reused});
    });
}

bool DisplayList3D::Contains(const DisplayList3D& list) const {
    bool found = false;
    Walk(*this, NoState(), [&](const DisplayList3D& l, NoState) {
        found = found || &l == &list;
        return found ? kSkip : kDescend;
    });
    return found;
}

// ---- store ----------------------------------------------------------------------

template <std::size_t Row>
const DisplayList3D::ElementOf<Row>& DisplayList3D::OutOfRange(int index) const {
    return ClampedElement(Array<Row>(), index,
                          [] { return std::cref(std::get<Row>(detail::g_displayListFallbacks.m_defaults)); });
}

template <std::size_t Row>
DisplayList3D::ElementOf<Row>& DisplayList3D::OutOfRange(int index) {
    return ClampedElement(Array<Row>(), index, [this] {
        auto& scratch = std::get<Row>(OwnScratch().m_elements);
        scratch = ElementOf<Row>();
        return std::ref(scratch);
    });
}

DisplayList3D::Scratch& DisplayList3D::OwnScratch() {
    if (!m_scratch) m_scratch = std::make_unique<Scratch>();
    return *m_scratch;
}

template <std::size_t Row>
void DisplayList3D::Remove(int first, int count) {
    auto& array = Array<Row>();
    const auto range = ClampRange(array.size(), first, count);
    array.erase(array.begin() + static_cast<std::ptrdiff_t>(range.first),
                array.begin() + static_cast<std::ptrdiff_t>(range.second));
}

// The inline accessors reach these through the library's interface.
#define TESSARY_DL_INSTANTIATE(Class, Plural, ...)                                              \
    template TESSARY_API const Class& DisplayList3D::OutOfRange<DisplayList3D::Plural##Row>(int) const; \
    template TESSARY_API Class& DisplayList3D::OutOfRange<DisplayList3D::Plural##Row>(int);             \
    template TESSARY_API void DisplayList3D::Remove<DisplayList3D::Plural##Row>(int, int);
TESSARY_DISPLAY_LIST_ARRAYS(TESSARY_DL_INSTANTIATE)
#undef TESSARY_DL_INSTANTIATE

int DisplayList3D::GetNumPrim() const {
    long long count = 0;
    Walk(*this, NoState(), [&](const DisplayList3D& list, NoState) {
        list.ForEachRow([&](auto row) {
            const auto& array = list.Array<row>();
            if constexpr (std::is_same_v<ElementOf<row>, TriangleMeshPrimitive>) {
                for (const TriangleMeshPrimitive& mesh : array) count += mesh.GetNumVertices();
            } else {
                count += static_cast<long long>(array.size());
            }
        });
        return kDescend;
    });
    return static_cast<int>(std::min<long long>(count, INT32_MAX));
}

void DisplayList3D::Clear() {
    Walk(*this, NoState(), [](DisplayList3D& list, NoState) {
        list.ClearOwn();
        return kDescend;
    });
}

void DisplayList3D::ClearOwn() {
    ForEachRow([&](auto row) { Array<row>().clear(); });
    m_iconScale = Point3d(1.0, 1.0, 1.0);
    m_localTransformation.SetIdentity();
    for (ClipPlane& entry : m_clipPlanes) entry = ClipPlane();
}

int DisplayList3D::AppendArrays(const DisplayList3D& other) {
    std::size_t appended = 0;
    ForEachRow([&](auto row) {
        const auto& src = other.Array<row>();
        appended += src.size();  // read first: src may be the destination
        AppendCopy(Array<row>(), src);
    });
    return static_cast<int>(appended);
}

int DisplayList3D::Append(const DisplayList3D& other) {
    // Copies of the children first: `other` may be this list or lie inside
    // its tree, and growing the children could move it.
    std::vector<DisplayList3D> children(other.m_children);
    const int appended = AppendArrays(other);
    m_children.insert(m_children.end(), std::make_move_iterator(children.begin()),
                      std::make_move_iterator(children.end()));
    return appended + static_cast<int>(children.size());
}

// ---- tree -----------------------------------------------------------------------

unsigned DisplayList3D::Add(const DisplayList3D& child) {
    DisplayList3D copy(child);  // before the children grow: `child` may be one of them
    m_children.push_back(std::move(copy));
    return m_children.back().GetID();
}

const DisplayList3D& DisplayList3D::GetDisplayList(int index) const {
    if (index >= 0 && static_cast<std::size_t>(index) < m_children.size())
        return m_children[static_cast<std::size_t>(index)];
    return ClampedElement(m_children, index, [] { return std::cref(detail::g_displayListFallbacks.m_defaultList); });
}

DisplayList3D& DisplayList3D::GetDisplayList(int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < m_children.size())
        return m_children[static_cast<std::size_t>(index)];
    return ClampedElement(m_children, index, [this] {
        DisplayList3D& scratch = OwnScratch().m_list;
        scratch.m_children.clear();
        scratch.ClearOwn();
        scratch.m_renderMode = DefaultRenderMode;
        return std::ref(scratch);
    });
}

void DisplayList3D::RemoveDisplayList(int first, int count) {
    const auto range = ClampRange(m_children.size(), first, count);
    m_children.erase(m_children.begin() + static_cast<std::ptrdiff_t>(range.first),
                     m_children.begin() + static_cast<std::ptrdiff_t>(range.second));
}

DisplayList3D* DisplayList3D::LookupDisplayList(unsigned id) {
    DisplayList3D* found = nullptr;
    Walk(*this, NoState(), [&](DisplayList3D& list, NoState) {
        if (found == nullptr && list.m_id == id) found = &list;
        return found ? kSkip : kDescend;
    });
    return found;
}

const DisplayList3D* DisplayList3D::LookupDisplayList(unsigned id) const {
    return const_cast<DisplayList3D*>(this)->LookupDisplayList(id);
}

void DisplayList3D::GetAggregateTransformation(const DisplayList3D& root, unsigned id, Matrix4x4& result) const {
    GetAggregateTransformationTree(root, id, Matrix4x4(Matrix4x4::IdentityMatrix), result);
}

void DisplayList3D::GetAggregateTransformationTree(const DisplayList3D& list, unsigned id, Matrix4x4 parent,
                                                   Matrix4x4& result) const {
    // A matched list is not searched further, but its siblings are: the last match wins.
    Walk(list, parent, [&](const DisplayList3D& l, const Matrix4x4& above) -> std::optional<Matrix4x4> {
        const Matrix4x4 m = above * l.m_localTransformation;
        if (l.m_id != id) return m;
        result = m;
        return std::nullopt;
    });
}

void DisplayList3D::ApplyLocalTransformation() { ApplyLocalTransformationTree(Matrix4x4(Matrix4x4::IdentityMatrix)); }

void DisplayList3D::ApplyLocalTransformationTree(const Matrix4x4& parent) {
    Walk(*this, parent, [](DisplayList3D& list, const Matrix4x4& above) {
        const Matrix4x4 l = above * list.m_localTransformation;
        list.TransformPrimitives(l);
        return std::optional<Matrix4x4>(l);
    });
}

void DisplayList3D::TransformPrimitives(const Matrix4x4& m) {
    // The identity changes no coordinate; skipping it keeps shared mesh blocks shared.
    if (!IsIdentity(m)) {
        ForEachRow([&](auto row) {
            constexpr Placement placement = kPlacement[row];
            if constexpr (placement == Placement::Moved) {
                for (auto& p : Array<row>()) p.Transform(m);
            } else if constexpr (placement == Placement::MovedWithNormals) {
                for (auto& p : Array<row>()) p.TransformAll(m);
            }
        });
    }
    m_localTransformation.SetIdentity();
}

void DisplayList3D::Flatten() {
    ApplyLocalTransformation();
    // Every transformation is now the identity; each descendant's elements
    // are moved here in pre-order, then the children go.
    Walk(*this, NoState(), [this](DisplayList3D& list, NoState) {
        if (&list == this) return kDescend;
        ForEachRow([&](auto row) {
            auto& dst = Array<row>();
            auto& src = list.Array<row>();
            if (dst.empty()) dst.swap(src);
            else dst.insert(dst.end(), std::make_move_iterator(src.begin()), std::make_move_iterator(src.end()));
        });
        return kDescend;
    });
    m_children.clear();
}

// ---- object IDs -------------------------------------------------------------------

void DisplayList3D::SetOID(unsigned oid) {
    Walk(*this, NoState(), [oid](DisplayList3D& list, NoState) {
        list.ForEachRow([&](auto row) {
            for (auto& p : list.Array<row>()) VisitOIDs(p, [oid](unsigned) { return oid; });
        });
        return kDescend;
    });
}

void DisplayList3D::TranslateOIDs(const CMap<unsigned int, unsigned int, unsigned int, unsigned int>& map) {
    const auto translate = [&map](unsigned id) {
        map.Lookup(id, id);
        return id;
    };
    Walk(*this, NoState(), [&](DisplayList3D& list, NoState) {
        list.ForEachRow([&](auto row) {
            for (auto& p : list.Array<row>()) VisitOIDs(p, translate);
        });
        return kDescend;
    });
}

}  // namespace Tessary
