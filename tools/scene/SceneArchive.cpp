#include "SceneArchive.h"

#include <cstring>

#include "tessary/frame/Serialization.h"

namespace TessaryScene {

using namespace Tessary;

namespace {

const char kMagic[] = "tessary-scene";
constexpr int kFormat = 1;
constexpr int kMaxDepth = 64;

// What each kind's archive form leaves out, stored after it. Kinds without
// an overload lose nothing a viewer draws.
template <class T>
void Extras(CArchive&, T&) {}

void ArchiveA(CArchive& ar, Color& color) {
    unsigned char a = color.GetA();
    if (ar.IsStoring()) {
        ar << a;
    } else {
        ar >> a;
        color.SetA(a);
    }
}

template <class T>
void ColorExtras(CArchive& ar, T& p) {
    Color c = p.GetColor();
    ArchiveA(ar, c);
    p.SetColor(c);
}
void Extras(CArchive& ar, SpherePrimitive& p) { ColorExtras(ar, p); }
void Extras(CArchive& ar, EllipsoidPrimitive& p) { ColorExtras(ar, p); }
void Extras(CArchive& ar, TetrahedronPrimitive& p) {
    ColorExtras(ar, p);
    for (int face = 0; face < 4; ++face) {
        bool hidden = p.GetHiddenFace(face);
        if (ar.IsStoring()) ar << hidden; else ar >> hidden;
        p.SetHiddenFace(face, hidden);
    }
}
template <class T>
void EndsExtras(CArchive& ar, T& p) {
    Color c1 = p.GetColor1(), c2 = p.GetColor2();
    ArchiveA(ar, c1);
    ArchiveA(ar, c2);
    p.SetColor1(c1);
    p.SetColor2(c2);
}
void Extras(CArchive& ar, LinePrimitive& p) { EndsExtras(ar, p); }
void Extras(CArchive& ar, CylinderPrimitive& p) {
    EndsExtras(ar, p);
    unsigned id1 = p.GetEnd1ID(), id2 = p.GetEnd2ID();
    bool capped = p.GetIsCapped();
    if (ar.IsStoring()) {
        ar << id1 << id2 << capped;
    } else {
        ar >> id1 >> id2 >> capped;
        p.SetEnd1ID(id1);
        p.SetEnd2ID(id2);
        p.SetIsCapped(capped);
    }
}

// A mesh's form clears A in every vertex and leaves out the line width and
// the per-vertex object IDs (which only the constructor takes).
void Extras(CArchive& ar, TriangleMeshPrimitive& m) {
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

void ArchivePoint(CArchive& ar, Point3d& p) {
    if (ar.IsStoring()) ar << p.x << p.y << p.z; else ar >> p.x >> p.y >> p.z;
}

void StoreList(const DisplayList3D& list, CArchive& ar, int depth) {
    // A tree deeper than a load accepts would make a file that cannot be read back.
    if (depth > kMaxDepth) throw CArchiveException(CArchiveException::badCount);
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
#define TESSARY_SCENE_STORE(Class, Plural, Singular, ...)          \
    ar.WriteCount(static_cast<std::uint64_t>(list.GetNum##Plural())); \
    for (int i = 0; i < list.GetNum##Plural(); ++i) {               \
        Class copy = list.Get##Singular(i);                         \
        copy.Serialize(ar);                                         \
        Extras(ar, copy);                                           \
    }
    TESSARY_DISPLAY_LIST_ARRAYS(TESSARY_SCENE_STORE)
#undef TESSARY_SCENE_STORE
    ar.WriteCount(static_cast<std::uint64_t>(list.GetNumDisplayLists()));
    for (int i = 0; i < list.GetNumDisplayLists(); ++i) StoreList(list.GetDisplayList(i), ar, depth + 1);
}

// Every element is at least one byte long, so a count beyond the bytes left is refused at once.
int ReadElementCount(CArchive& ar) {
    const std::uint64_t count = ar.ReadCount();
    ar.CheckAvailable(count, 1);
    return static_cast<int>(count);
}

void LoadList(DisplayList3D& list, CArchive& ar, int depth) {
    if (depth > kMaxDepth) throw CArchiveException(CArchiveException::badCount);
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
    // Add files a solid by the A byte the extras restored, so it lands in the row it came from.
#define TESSARY_SCENE_LOAD(Class, Plural, Singular, ...)       \
    for (int i = 0, n = ReadElementCount(ar); i < n; ++i) {     \
        Class element;                                          \
        element.Serialize(ar);                                  \
        Extras(ar, element);                                    \
        list.Add(element);                                      \
    }
    TESSARY_DISPLAY_LIST_ARRAYS(TESSARY_SCENE_LOAD)
#undef TESSARY_SCENE_LOAD
    for (int i = 0, n = ReadElementCount(ar); i < n; ++i) {
        DisplayList3D child;
        LoadList(child, ar, depth + 1);
        list.Add(child);
    }
}

template <class T>
std::vector<unsigned char> FormOf(const T& element) {
    std::vector<unsigned char> bytes;
    CArchive ar(bytes, CArchive::store);
    T copy = element;
    copy.Serialize(ar);
    Extras(ar, copy);
    ar.Close();
    return bytes;
}

bool SameDots(const std::vector<DotPrimitive>& a, const std::vector<DotPrimitive>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const Point3d &p = a[i].GetCoord(), &q = b[i].GetCoord();
        if (a[i].GetID() != b[i].GetID() || p.x != q.x || p.y != q.y || p.z != q.z) return false;
    }
    return true;
}

void CompareLists(const DisplayList3D& a, const DisplayList3D& b, const std::string& where,
                  std::vector<std::string>& out) {
    if (a.GetRenderMode() != b.GetRenderMode()) out.push_back(where + ": render mode");
    if (std::memcmp(static_cast<const double*>(a.GetLocalTransformation()),
                    static_cast<const double*>(b.GetLocalTransformation()), 16 * sizeof(double)) != 0)
        out.push_back(where + ": local transformation");
    for (int i = 0; i < a.GetMaxClipPlanes(); ++i) {
        Point3d pa, na, pb, nb;
        a.GetClipPlane(i).Get(pa, na);
        b.GetClipPlane(i).Get(pb, nb);
        if (a.GetClipPlaneEnabled(i) != b.GetClipPlaneEnabled(i) || !(pa == pb) || !(na == nb))
            out.push_back(where + ": clip plane " + std::to_string(i));
    }
#define TESSARY_SCENE_COMPARE(Class, Plural, Singular, ...)                                     \
    if (a.GetNum##Plural() != b.GetNum##Plural()) {                                             \
        out.push_back(where + ": " + std::to_string(a.GetNum##Plural()) + " vs " +              \
                      std::to_string(b.GetNum##Plural()) + " " #Plural);                        \
    } else {                                                                                    \
        for (int i = 0; i < a.GetNum##Plural(); ++i)                                            \
            if (FormOf(a.Get##Singular(i)) != FormOf(b.Get##Singular(i))) {                     \
                out.push_back(where + ": " #Singular " " + std::to_string(i));                  \
                break;                                                                          \
            }                                                                                   \
    }
    TESSARY_DISPLAY_LIST_ARRAYS(TESSARY_SCENE_COMPARE)
#undef TESSARY_SCENE_COMPARE
    if (a.GetNumDisplayLists() != b.GetNumDisplayLists()) {
        out.push_back(where + ": child list count");
        return;
    }
    for (int i = 0; i < a.GetNumDisplayLists(); ++i)
        CompareLists(a.GetDisplayList(i), b.GetDisplayList(i), where + "/" + std::to_string(i), out);
}

}  // namespace

void StoreScene(const DisplayList3D& root, CArchive& ar) {
    ar << CString(kMagic) << kFormat;
    StoreList(root, ar, 0);
}

DisplayList3D LoadScene(CArchive& ar) {
    CString magic;
    int format = 0;
    ar >> magic;
    if (std::strcmp(magic, kMagic) != 0) throw CArchiveException(CArchiveException::badClass);
    ar >> format;
    if (format != kFormat) throw CArchiveException(CArchiveException::badSchema);
    DisplayList3D root;
    LoadList(root, ar, 0);
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

std::vector<std::string> CompareScenes(const DisplayList3D& a, const DisplayList3D& b) {
    std::vector<std::string> out;
    CompareLists(a, b, "root", out);
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
