#include "SceneArchive.h"

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <tuple>
#include <utility>

#include "tessary/frame/Serialization.h"

namespace TessaryScene {

using namespace Tessary;

namespace {

const char kMagic[] = "tessary-scene";
// From this format on every kind is kept whole (format 1 lost the A byte of
// dashed lines, line arrays, lit triangles, dots, labels and icons, and all
// of a screen rectangle but its ID).
constexpr int kWholeKinds = 2;

// ---- what the scene file adds to the forms ---------------------------------------

void ArchiveA(CArchive& ar, Color& color) {
    unsigned char a = color.GetA();
    ArchiveFields(ar, a);
    color.SetA(a);
}
template <class T>
void ColorA(CArchive& ar, T& p) {
    Color c = p.GetColor();
    ArchiveA(ar, c);
    p.SetColor(c);
}
template <class T>
void EndsA(CArchive& ar, T& p) {
    Color c1 = p.GetColor1(), c2 = p.GetColor2();
    ArchiveA(ar, c1);
    ArchiveA(ar, c2);
    p.SetColor1(c1);
    p.SetColor2(c2);
}

// ---- state, as the getters give it ---------------------------------------------

// Exact comparison of what two getters returned; the overloads are declared
// here so the templates below see them all.
bool Same(double a, double b);
bool Same(float a, float b);
bool Same(const Point3d& a, const Point3d& b);
bool Same(const Point2d& a, const Point2d& b);
bool Same(const Matrix4x4& a, const Matrix4x4& b);
bool Same(const VertexNormal& a, const VertexNormal& b);
bool Same(const ColorArray& a, const ColorArray& b);
bool Same(const LinePrimitive& a, const LinePrimitive& b);
template <class T, class Arg>
bool Same(const CArray<T, Arg>& a, const CArray<T, Arg>& b);
template <class T, std::size_t N>
bool Same(const std::array<T, N>& a, const std::array<T, N>& b);
template <class... T>
bool Same(const std::tuple<T...>& a, const std::tuple<T...>& b);
// IDs, integers, flags, enumerations, colours (all four bytes), strings, fonts, triangle indices.
template <class T>
bool Same(const T& a, const T& b) {
    return a == b;
}

bool Same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }
bool Same(float a, float b) { return Same(static_cast<double>(a), static_cast<double>(b)); }
bool Same(const Point3d& a, const Point3d& b) { return Same(a.x, b.x) && Same(a.y, b.y) && Same(a.z, b.z); }
bool Same(const Point2d& a, const Point2d& b) { return Same(a.x, b.x) && Same(a.y, b.y); }
bool Same(const Matrix4x4& a, const Matrix4x4& b) {
    const double *p = a, *q = b;
    for (int i = 0; i < 16; ++i)
        if (!Same(p[i], q[i])) return false;
    return true;
}
bool Same(const VertexNormal& a, const VertexNormal& b) {
    return Same(a.GetPoint(), b.GetPoint()) && Same(a.GetNormal(), b.GetNormal()) && a.GetColor() == b.GetColor();
}
template <class T, class Arg>
bool Same(const CArray<T, Arg>& a, const CArray<T, Arg>& b) {
    if (a.GetSize() != b.GetSize()) return false;
    for (int i = 0; i < a.GetSize(); ++i)
        if (!Same(a[i], b[i])) return false;
    return true;
}
bool Same(const ColorArray& a, const ColorArray& b) {
    return a.GetName() == b.GetName() &&
           Same(static_cast<const CArray<Color, const Color&>&>(a), static_cast<const CArray<Color, const Color&>&>(b));
}
template <class T, std::size_t N>
bool Same(const std::array<T, N>& a, const std::array<T, N>& b) {
    for (std::size_t i = 0; i < N; ++i)
        if (!Same(a[i], b[i])) return false;
    return true;
}
template <class Tuple, std::size_t... I>
bool SameElements(const Tuple& a, const Tuple& b, std::index_sequence<I...>) {
    return (Same(std::get<I>(a), std::get<I>(b)) && ...);
}
template <class... T>
bool Same(const std::tuple<T...>& a, const std::tuple<T...>& b) {
    return SameElements(a, b, std::index_sequence_for<T...>());
}

auto LitState(const LitPrimitive& p) { return std::make_tuple(p.GetID(), p.GetMaterial(), p.GetRepresentation()); }
auto ShapeState(const UnlitShapePrimitive& s) {
    return std::make_tuple(s.GetID(), s.GetOrigin(), s.GetIsOutlined(), s.GetForegroundColor(), s.GetOutlineWidth(),
                           s.GetIsFilled(), s.GetBackgroundColor(), s.GetIsStippled(), s.GetStipplePattern());
}
auto TextState(const TextStringPrimitive& t) {
    return std::tuple_cat(ShapeState(t), std::make_tuple(t.GetTextString(), t.GetFont(), t.GetCursorPosition(),
                                                         t.GetShowCursor()));
}
auto BoxState(const TextBoxPrimitive& t) {
    return std::tuple_cat(TextState(t), std::make_tuple(t.GetBoxWidth(), t.GetShowHandles()));
}
auto OverlayLineState(const UnlitLinePrimitive& l) {
    return std::make_tuple(l.GetID(), std::cref(l.GetPoints()), l.GetColor(), l.GetWidth());
}

// ---- the kind table ---------------------------------------------------------------

// Kind<T> says, for one class of the display list's table, what the scene
// file stores after T's archive form (Extras, for the format being read or
// written) and what a comparison reads of an element (State, through the
// getters). There is no general entry: a class without its own fails to
// compile where the table is expanded, and no class falls back on its base's.
template <class T>
struct Kind;
// A kind whose library form already holds everything it draws with.
struct NoExtras {
    template <class T>
    static void Extras(CArchive&, T&, int) {}
};

template <>
struct Kind<LinePrimitive> {
    static void Extras(CArchive& ar, LinePrimitive& p, int) { EndsA(ar, p); }
    static auto State(const LinePrimitive& p) {
        return std::make_tuple(p.GetID1(), p.GetID2(), p.GetEnd1(), p.GetEnd2(), p.GetColor1(), p.GetColor2(),
                               p.GetWidth());
    }
};
template <>
struct Kind<DashedLinePrimitive> {
    static void Extras(CArchive& ar, DashedLinePrimitive& p, int format) {
        if (format >= kWholeKinds) EndsA(ar, p);
    }
    static auto State(const DashedLinePrimitive& p) {
        return std::tuple_cat(Kind<LinePrimitive>::State(p), std::make_tuple(p.GetNumDashes(), p.GetStartBlank()));
    }
};
template <>
struct Kind<LineArrayPrimitive> {
    static void Extras(CArchive& ar, LineArrayPrimitive& p, int format) {
        if (format < kWholeKinds) return;
        for (LinePrimitive& line : p.GetLineArray()) EndsA(ar, line);
    }
    static auto State(const LineArrayPrimitive& p) {
        return std::make_tuple(p.GetID(), p.GetLineWidth(), p.GetDashed(), p.GetDashPattern(), std::cref(p.GetLineArray()));
    }
};
template <>
struct Kind<TetrahedronPrimitive> {
    static void Extras(CArchive& ar, TetrahedronPrimitive& p, int) {
        ColorA(ar, p);
        for (int face = 0; face < 4; ++face) {
            bool hidden = p.GetHiddenFace(face);
            ArchiveFields(ar, AsByte(hidden));
            p.SetHiddenFace(face, hidden);
        }
    }
    static auto State(const TetrahedronPrimitive& p) {
        std::array<Point3d, 4> vertices, centroids, normals;
        std::array<bool, 4> hidden{};
        p.GetTetrahedronVertices(vertices[0], vertices[1], vertices[2], vertices[3]);
        for (int face = 0; face < 4; ++face) {
            const auto f = static_cast<std::size_t>(face);
            centroids[f] = p.GetFaceCentroid(face);
            normals[f] = p.GetFaceNormal(face);
            hidden[f] = p.GetHiddenFace(face);
        }
        return std::tuple_cat(LitState(p), std::make_tuple(p.GetColor(), vertices, centroids, normals, hidden));
    }
};
template <>
struct Kind<SpherePrimitive> {
    static void Extras(CArchive& ar, SpherePrimitive& p, int) { ColorA(ar, p); }
    static auto State(const SpherePrimitive& p) {
        return std::tuple_cat(LitState(p), std::make_tuple(p.GetCenter(), p.GetColor(), p.GetRadius()));
    }
};
template <>
struct Kind<EllipsoidPrimitive> {
    static void Extras(CArchive& ar, EllipsoidPrimitive& p, int) { ColorA(ar, p); }
    static auto State(const EllipsoidPrimitive& p) {
        return std::tuple_cat(LitState(p), std::make_tuple(p.GetCenter(), p.GetColor(), p.GetSize(), p.GetMatrix()));
    }
};
template <>
struct Kind<CylinderPrimitive> {
    static void Extras(CArchive& ar, CylinderPrimitive& p, int) {
        EndsA(ar, p);
        unsigned id1 = p.GetEnd1ID(), id2 = p.GetEnd2ID();
        bool capped = p.GetIsCapped();
        ArchiveFields(ar, id1, id2, AsByte(capped));
        p.SetEnd1ID(id1);
        p.SetEnd2ID(id2);
        p.SetIsCapped(capped);
    }
    static auto State(const CylinderPrimitive& p) {
        return std::tuple_cat(LitState(p), std::make_tuple(p.GetEnd1(), p.GetEnd2(), p.GetColor1(), p.GetColor2(),
                                                           p.GetRadius(), p.GetEnd1ID(), p.GetEnd2ID(), p.GetIsCapped()));
    }
};
template <>
struct Kind<ConePrimitive> : NoExtras {
    static auto State(const ConePrimitive& p) {
        return std::tuple_cat(LitState(p), std::make_tuple(p.GetBase(), p.GetTip(), p.GetColor(), p.GetRadius()));
    }
};
template <>
struct Kind<TrianglePrimitive> {
    static void Extras(CArchive& ar, TrianglePrimitive& p, int format) {
        if (format >= kWholeKinds) ColorA(ar, p);
    }
    static auto State(const TrianglePrimitive& p) {
        return std::tuple_cat(LitState(p),
                              std::make_tuple(p.GetEnd1(), p.GetEnd2(), p.GetEnd3(), p.GetNormal(), p.GetColor()));
    }
};
template <>
struct Kind<TriangleMeshPrimitive> {
    // The form clears A in every vertex and leaves out the line width and the
    // per-vertex object IDs (which only the constructor takes).
    static void Extras(CArchive& ar, TriangleMeshPrimitive& m, int) {
        float width = m.GetLineWidth();
        OIDArray ids;
        CArray<unsigned char> alphas;
        if (ar.IsStoring()) {
            for (int i = 0; i < m.GetNumOIDs(); ++i) ids.Add(m.GetOIDAt(i));
            for (int i = 0; i < m.GetNumVertices(); ++i) alphas.Add(m.GetVertexAt(i).GetColor().GetA());
        }
        ArchiveFields(ar, width, ids, alphas);
        if (ar.IsStoring()) return;
        if (alphas.GetSize() != m.GetNumVertices()) throw CArchiveException(CArchiveException::badCount);
        VertexNormal* v = m.GetVertices();
        for (int i = 0; i < alphas.GetSize(); ++i) v[i].SetColor(v[i].GetColor().SetA(alphas[i]));
        if (!ids.IsEmpty()) {
            TriangleMeshPrimitive withIds(m.GetVertexArray(), m.GetTriangleArray(), ids);
            withIds.SetID(m.GetID());
            withIds.SetMaterial(m.GetMaterial());
            withIds.SetRepresentation(m.GetRepresentation());
            withIds.SetTwoSided(m.GetTwoSided());
            m = withIds;
        }
        m.SetLineWidth(width);
    }
    static auto State(const TriangleMeshPrimitive& p) {
        std::vector<unsigned> ids;
        for (int i = 0; i < p.GetNumOIDs(); ++i) ids.push_back(p.GetOIDAt(i));
        return std::tuple_cat(LitState(p), std::make_tuple(p.GetTwoSided(), p.GetLineWidth(),
                                                           std::cref(p.GetTriangleArray()),
                                                           std::cref(p.GetVertexArray()), std::move(ids)));
    }
};
template <>
struct Kind<DotPrimitive> {
    static void Extras(CArchive& ar, DotPrimitive& p, int format) {
        if (format >= kWholeKinds) ColorA(ar, p);
    }
    static auto State(const DotPrimitive& p) { return std::make_tuple(p.GetID(), p.GetCoord(), p.GetColor(), p.GetWidth()); }
};
template <>
struct Kind<ArcPrimitive> : NoExtras {
    static auto State(const ArcPrimitive& p) {
        return std::make_tuple(p.GetID(), p.GetCenter(), p.GetNormal(), p.GetStart(), p.GetAngle(), p.GetNumSegments(),
                               p.GetColor(), p.GetWidth(), std::cref(p.GetPoints()));
    }
};
template <>
struct Kind<Text3DPrimitive> {
    static void Extras(CArchive& ar, Text3DPrimitive& p, int format) {
        if (format >= kWholeKinds) ColorA(ar, p);
    }
    static auto State(const Text3DPrimitive& p) {
        return std::make_tuple(p.GetID(), p.GetCoord(), p.GetColor(), CString(p.GetText()), p.GetFont(), p.GetZOffset(),
                               p.GetIsAnnotation());
    }
};
template <>
struct Kind<UnlitTrianglePrimitive> : NoExtras {
    static auto State(const UnlitTrianglePrimitive& p) {
        return std::make_tuple(p.GetID(), p.GetEnd1(), p.GetEnd2(), p.GetEnd3(), p.GetColor());
    }
};
template <>
struct Kind<Rect2DPrimitive> {
    // The kind has no form of its own: what it archives is the object ID.
    static void Extras(CArchive& ar, Rect2DPrimitive& p, int format) {
        if (format < kWholeKinds) return;
        Point3d coord = p.GetCoord();
        Color color = p.GetColor();
        std::int32_t width = p.GetWidth(), height = p.GetHeight();
        ArchiveFieldsThen(
            ar,
            [&] {
                p.SetCoord(coord);
                p.SetColor(color);
                p.SetWidth(width);
                p.SetHeight(height);
            },
            coord, color, width, height);
    }
    static auto State(const Rect2DPrimitive& p) {
        return std::make_tuple(p.GetID(), p.GetCoord(), p.GetColor(), p.GetWidth(), p.GetHeight());
    }
};
template <>
struct Kind<VolumePrimitive> {
    static void Extras(CArchive& ar, VolumePrimitive& p, int format) {
        if (format < kWholeKinds) return;
        CString name = p.GetColors().GetName();
        ArchiveFieldsThen(ar, [&] { p.GetColors().SetName(name); }, name);
    }
    // Not the grid: it is the host's, and never stored.
    static auto State(const VolumePrimitive& p) {
        return std::make_tuple(p.GetID(), p.GetDataMin(), p.GetDataMax(), p.GetDisplayMin(), p.GetDisplayMax(),
                               p.GetClipOutsideRange(), std::cref(p.GetColors()), p.GetTransparency(),
                               std::cref(p.GetTransferFunction()));
    }
};
template <>
struct Kind<IconPrimitive> {
    static void Extras(CArchive& ar, IconPrimitive& p, int format) {
        if (format >= kWholeKinds) ColorA(ar, p);
    }
    static auto State(const IconPrimitive& p) {
        return std::make_tuple(p.GetID(), p.GetCoord(), p.GetColor(), p.GetIconID(), p.GetIconScale(),
                               p.GetScaleInvariant(), p.GetRotationInvariant(), p.GetUseColor());
    }
};
template <>
struct Kind<LineSegmentPrimitive> : NoExtras {
    static auto State(const LineSegmentPrimitive& p) { return OverlayLineState(p); }
};
template <>
struct Kind<PolylinePrimitive> : NoExtras {
    static auto State(const PolylinePrimitive& p) { return OverlayLineState(p); }
};
template <>
struct Kind<RectanglePrimitive> : NoExtras {
    static auto State(const RectanglePrimitive& p) { return std::tuple_cat(ShapeState(p), std::make_tuple(p.GetSize())); }
};
template <>
struct Kind<EllipsePrimitive> : NoExtras {
    static auto State(const EllipsePrimitive& p) { return Kind<RectanglePrimitive>::State(p); }
};
template <>
struct Kind<TriangleShapePrimitive> : NoExtras {
    static auto State(const TriangleShapePrimitive& p) {
        return std::tuple_cat(ShapeState(p), std::make_tuple(p.GetPoint1(), p.GetPoint2(), p.GetPoint3()));
    }
};
template <>
struct Kind<TextStringPrimitive> : NoExtras {
    static auto State(const TextStringPrimitive& p) { return TextState(p); }
};
template <>
struct Kind<TextBoxPrimitive> : NoExtras {
    static auto State(const TextBoxPrimitive& p) { return BoxState(p); }
};
template <>
struct Kind<TextCalloutPrimitive> : NoExtras {
    static auto State(const TextCalloutPrimitive& p) {
        return std::tuple_cat(BoxState(p), std::make_tuple(p.GetLocation(), p.GetLocation2d()));
    }
};

bool Same(const LinePrimitive& a, const LinePrimitive& b) {
    return Same(Kind<LinePrimitive>::State(a), Kind<LinePrimitive>::State(b));
}
template <class T>
bool SameElement(const T& a, const T& b) {
    return Same(Kind<T>::State(a), Kind<T>::State(b));
}

// ---- one list ---------------------------------------------------------------------

// Points of the list header, as three floats.
void ArchivePoint(CArchive& ar, Point3d& p) { ArchiveFields(ar, p.x, p.y, p.z); }

// Every element and every list is at least one byte long, so a count beyond
// the bytes left is refused before anything grows.
int ReadElementCount(CArchive& ar) {
    const std::uint64_t count = ar.ReadCount();
    ar.CheckAvailable(count, 1);
    return static_cast<int>(count);
}

// The list's arrays row by row. A loaded element goes back into the array it
// was stored from: Add would file a lit kind by its colour, and a colour
// changed after Add leaves the element where it was. The rows are open to
// code that derives from the list.
struct Rows : DisplayList3D {
    static void Store(const DisplayList3D& list, CArchive& ar) {
#define TESSARY_SCENE_STORE(Class, Plural, Singular, ...)                  \
    ar.WriteCount(static_cast<std::uint64_t>(list.GetNum##Plural()));     \
    for (int i = 0; i < list.GetNum##Plural(); ++i) {                     \
        Class copy = list.Get##Singular(i);                               \
        copy.Serialize(ar);                                               \
        Kind<Class>::Extras(ar, copy, kSceneFormat);                      \
    }
        TESSARY_DISPLAY_LIST_ARRAYS(TESSARY_SCENE_STORE)
#undef TESSARY_SCENE_STORE
    }

    static void Load(DisplayList3D& list, CArchive& ar, int format) {
        Arrays& arrays = list.*(&Rows::m_arrays);
#define TESSARY_SCENE_LOAD(Class, Plural, ...)                      \
    for (int i = 0, n = ReadElementCount(ar); i < n; ++i) {         \
        Class element;                                              \
        element.Serialize(ar);                                      \
        Kind<Class>::Extras(ar, element, format);                   \
        std::get<Plural##Row>(arrays).push_back(std::move(element)); \
    }
        TESSARY_DISPLAY_LIST_ARRAYS(TESSARY_SCENE_LOAD)
#undef TESSARY_SCENE_LOAD
    }
};

// Everything of a list but its children, then the number of children.
void StoreList(const DisplayList3D& list, CArchive& ar) {
    ar << static_cast<int>(list.GetRenderMode());
    Point3d scale = list.GetIconScale();
    ArchivePoint(ar, scale);
    Matrix4x4 local = list.GetLocalTransformation();
    local.Serialize(ar);
    for (int i = 0; i < list.GetMaxClipPlanes(); ++i) {
        Point3d point, normal;
        list.GetClipPlane(i).Get(point, normal);
        ar << static_cast<int>(list.GetClipPlaneEnabled(i));
        ArchivePoint(ar, point);
        ArchivePoint(ar, normal);
    }
    Rows::Store(list, ar);
    ar.WriteCount(static_cast<std::uint64_t>(list.GetNumDisplayLists()));
}

// Reads what StoreList wrote into `list` and returns the number of children that follow.
int LoadList(DisplayList3D& list, CArchive& ar, int format) {
    int mode = 0;
    ar >> mode;
    list.SetRenderMode(static_cast<DisplayList3D::RenderMode>(mode));
    Point3d scale;
    ArchivePoint(ar, scale);
    list.SetIconScale(scale);
    Matrix4x4 local;
    local.Serialize(ar);
    list.SetLocalTransformation(local);
    for (int i = 0; i < list.GetMaxClipPlanes(); ++i) {
        int enabled = 0;
        Point3d point, normal;
        ar >> enabled;
        ArchivePoint(ar, point);
        ArchivePoint(ar, normal);
        list.SetClipPlane(i, Plane(point, normal));
        list.SetClipPlaneEnabled(i, enabled != 0);
    }
    Rows::Load(list, ar, format);
    return ReadElementCount(ar);
}

// Sets the archive's object schema for the life of the scope.
class SchemaScope {
public:
    SchemaScope(CArchive& ar, std::uint32_t schema) : m_ar(ar), m_saved(ar.GetObjectSchema()) {
        ar.SetObjectSchema(schema);
    }
    ~SchemaScope() { m_ar.SetObjectSchema(m_saved); }
    SchemaScope(const SchemaScope&) = delete;
    SchemaScope& operator=(const SchemaScope&) = delete;

private:
    CArchive& m_ar;
    std::uint32_t m_saved;
};

// ---- comparison -------------------------------------------------------------------

bool SameDots(const std::vector<DotPrimitive>& a, const std::vector<DotPrimitive>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].GetID() != b[i].GetID() || !Same(a[i].GetCoord(), b[i].GetCoord())) return false;
    return true;
}

// A list's settings and arrays, not its children.
void CompareList(const DisplayList3D& a, const DisplayList3D& b, const std::string& where,
                 std::vector<std::string>& out) {
    if (a.GetRenderMode() != b.GetRenderMode()) out.push_back(where + ": render mode");
    if (!Same(a.GetIconScale(), b.GetIconScale())) out.push_back(where + ": icon scale");
    if (!Same(a.GetLocalTransformation(), b.GetLocalTransformation())) out.push_back(where + ": local transformation");
    for (int i = 0; i < a.GetMaxClipPlanes(); ++i) {
        Point3d pa, na, pb, nb;
        a.GetClipPlane(i).Get(pa, na);
        b.GetClipPlane(i).Get(pb, nb);
        if (a.GetClipPlaneEnabled(i) != b.GetClipPlaneEnabled(i) || !Same(pa, pb) || !Same(na, nb))
            out.push_back(where + ": clip plane " + std::to_string(i));
    }
#define TESSARY_SCENE_COMPARE(Class, Plural, Singular, ...)                                     \
    if (a.GetNum##Plural() != b.GetNum##Plural()) {                                             \
        out.push_back(where + ": " + std::to_string(a.GetNum##Plural()) + " vs " +              \
                      std::to_string(b.GetNum##Plural()) + " " #Plural);                        \
    } else {                                                                                    \
        for (int i = 0; i < a.GetNum##Plural(); ++i)                                            \
            if (!SameElement(a.Get##Singular(i), b.Get##Singular(i))) {                         \
                out.push_back(where + ": " #Singular " " + std::to_string(i));                  \
                break;                                                                          \
            }                                                                                   \
    }
    TESSARY_DISPLAY_LIST_ARRAYS(TESSARY_SCENE_COMPARE)
#undef TESSARY_SCENE_COMPARE
}

}  // namespace

void StoreScene(const DisplayList3D& root, CArchive& ar) {
    const SchemaScope schema(ar, kSceneObjectSchema);
    ar << CString(kMagic) << kSceneFormat << kSceneObjectSchema;
    // Pre-order with a stack of (list, next child): the depth costs heap, not frames.
    struct Frame {
        const DisplayList3D* list;
        int next;
    };
    std::vector<Frame> stack;
    StoreList(root, ar);
    stack.push_back({&root, 0});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.list->GetNumDisplayLists()) {
            stack.pop_back();
            continue;
        }
        const DisplayList3D& child = top.list->GetDisplayList(top.next++);
        StoreList(child, ar);
        stack.push_back({&child, 0});
    }
}

DisplayList3D LoadScene(CArchive& ar) {
    CString magic;
    int format = 0;
    ar >> magic;
    if (magic != kMagic) throw CArchiveException(CArchiveException::badClass);
    ar >> format;
    if (format < 1 || format > kSceneFormat) throw CArchiveException(CArchiveException::badSchema);
    // Format 1 wrote the forms with the unset schema.
    std::uint32_t objectSchema = kUnsetSchema;
    if (format >= 2) {
        ar >> objectSchema;
        if (objectSchema > kSceneObjectSchema) throw CArchiveException(CArchiveException::badSchema);
    }
    const SchemaScope schema(ar, objectSchema);
    // Each child is loaded where it stays, as the last child of its parent:
    // nothing is copied, however deep the tree. A parent's children vector
    // grows only after the subtree of its previous child is complete, so the
    // pointers on the stack stay valid.
    struct Frame {
        DisplayList3D* list;
        int remaining;
    };
    DisplayList3D root;
    std::vector<Frame> stack;
    stack.push_back({&root, LoadList(root, ar, format)});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.remaining == 0) {
            stack.pop_back();
            continue;
        }
        --top.remaining;
        DisplayList3D& parent = *top.list;
        parent.Add(DisplayList3D());
        DisplayList3D& child = parent.GetDisplayList(parent.GetNumDisplayLists() - 1);
        const int children = LoadList(child, ar, format);
        stack.push_back({&child, children});
    }
    return root;
}

std::vector<unsigned char> SceneBytes(const DisplayList3D& root) {
    std::vector<unsigned char> bytes;
    CArchive ar(bytes, CArchive::store);
    StoreScene(root, ar);
    ar.Close();
    return bytes;
}

DisplayList3D SceneFromBytes(std::vector<unsigned char>& bytes) {
    CArchive ar(bytes, CArchive::load);
    DisplayList3D root = LoadScene(ar);
    // Trailing bytes mean the file is not what its first part says.
    std::uint8_t extra = 0;
    bool more = true;
    try {
        ar >> extra;
    } catch (const CArchiveException&) {
        more = false;
    }
    if (more) throw CArchiveException(CArchiveException::genericException);
    return root;
}

bool IsSceneFile(const unsigned char* data, std::size_t size) {
    const std::size_t length = sizeof kMagic - 1;
    return size > length && data[0] == length && std::memcmp(data + 1, kMagic, length) == 0;
}

std::vector<std::string> CompareScenes(const DisplayList3D& a, const DisplayList3D& b) {
    std::vector<std::string> out;
    // Both trees side by side in pre-order; `where` is the path to the pair on top.
    struct Frame {
        const DisplayList3D* a;
        const DisplayList3D* b;
        int next;
        std::size_t pathLength;  // of `where` before this pair's step was appended
    };
    std::string where = "root";
    std::vector<Frame> stack;
    CompareList(a, b, where, out);
    stack.push_back({&a, &b, 0, where.size()});
    while (!stack.empty()) {
        Frame& top = stack.back();
        const int children = top.a->GetNumDisplayLists();
        if (top.next == 0 && children != top.b->GetNumDisplayLists()) {
            out.push_back(where + ": child list count");
            top.next = children;
        }
        if (top.next == children) {
            where.resize(top.pathLength);
            stack.pop_back();
            continue;
        }
        const int i = top.next++;
        const DisplayList3D& childA = top.a->GetDisplayList(i);
        const DisplayList3D& childB = top.b->GetDisplayList(i);
        const std::size_t length = where.size();
        where += "/" + std::to_string(i);
        CompareList(childA, childB, where, out);
        stack.push_back({&childA, &childB, 0, length});
    }
    std::vector<DotPrimitive> dotsA, dotsB;
    a.GetPickDots(dotsA);
    b.GetPickDots(dotsB);
    if (!SameDots(dotsA, dotsB)) out.push_back("3D pick dots differ");
    dotsA.clear();
    dotsB.clear();
    a.GetPickDots2D(dotsA);
    b.GetPickDots2D(dotsB);
    if (!SameDots(dotsA, dotsB)) out.push_back("overlay pick dots differ");
    return out;
}

}  // namespace TessaryScene
