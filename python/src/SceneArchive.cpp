#include "SceneArchive.h"

#include <cstdint>
#include <cstring>

#include "tessary/frame/CArchive.h"
#include "tessary/frame/Serialization.h"
#include "SceneKinds.h"

namespace tessary_python {

using namespace Tessary;

namespace {

constexpr const char* kMagic = "tessary.scene";
constexpr std::uint32_t kLayout = 1;
constexpr std::uint32_t kSchema = 13;
constexpr int kMaxDepth = 64;

// Each element: the library's form, then what that form leaves out. One
// function per kind serves both directions: storing reads the extras from
// the element, loading writes them back into the element just loaded.
void ArchiveElement(CArchive& ar, SpherePrimitive& s) {
    s.Serialize(ar);
    Color color = s.GetColor();
    unsigned char alpha = color.GetA();
    ArchiveFields(ar, alpha);
    if (ar.IsLoading()) s.SetColor(color.SetA(alpha));
}

void ArchiveElement(CArchive& ar, CylinderPrimitive& c) {
    c.Serialize(ar);
    Color color1 = c.GetColor1(), color2 = c.GetColor2();
    unsigned char alpha1 = color1.GetA(), alpha2 = color2.GetA();
    std::uint32_t end1 = c.GetEnd1ID(), end2 = c.GetEnd2ID();
    bool capped = c.GetIsCapped();
    ArchiveFields(ar, alpha1, alpha2, end1, end2, AsByte(capped));
    if (ar.IsLoading()) {
        c.SetColor1(color1.SetA(alpha1));
        c.SetColor2(color2.SetA(alpha2));
        c.SetEnd1ID(end1);
        c.SetEnd2ID(end2);
        c.SetIsCapped(capped);
    }
}

void ArchiveElement(CArchive& ar, TriangleMeshPrimitive& m) {
    m.Serialize(ar);
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
        // Vertex IDs only come in through the constructor, which leaves the rest at defaults.
        TriangleMeshPrimitive withIds(m.GetVertexArray(), m.GetTriangleArray(), ids);
        withIds.SetID(m.GetID());
        withIds.SetMaterial(m.GetMaterial());
        withIds.SetRepresentation(m.GetRepresentation());
        withIds.SetTwoSided(m.GetTwoSided());
        m = withIds;
    }
    m.SetLineWidth(width);
}

// The list's own settings.
struct Frame {
    std::int32_t renderMode = DisplayList3D::DefaultRenderMode;
    Matrix4x4 local{Matrix4x4::IdentityMatrix};
    bool enabled[6] = {};
    Point3d point[6];
    Point3d normal[6];
    Point3d iconScale;
};

void ArchiveFrame(CArchive& ar, Frame& f) {
    ArchiveFields(ar, f.renderMode, f.local);
    for (int i = 0; i < 6; ++i) ArchiveFields(ar, AsByte(f.enabled[i]), f.point[i], f.normal[i]);
    ArchiveFields(ar, f.iconScale);
}

// Opaque, then transparent elements of one kind; copies are cheap (a mesh shares its block).
template <class Count, class Get>
void StoreKind(CArchive& ar, const DisplayList3D& list, Count count, Get get) {
    ar.WriteCount(static_cast<std::uint64_t>(count(list, false)) + static_cast<std::uint64_t>(count(list, true)));
    ForEachOfKind(list, count, get, [&ar](auto element) { ArchiveElement(ar, element); });
}

template <class T>
void LoadKind(CArchive& ar, DisplayList3D& list) {
    const std::uint64_t count = ar.ReadCount();
    ar.CheckAvailable(count, 12);  // every form starts with at least three words
    for (std::uint64_t i = 0; i < count; ++i) {
        T element;
        ArchiveElement(ar, element);
        list.Add(element);
    }
}

void StoreList(CArchive& ar, const DisplayList3D& list, int depth) {
    // Refused here too, or the bytes would not load back.
    if (depth > kMaxDepth) throw CArchiveException(CArchiveException::badCount);
    Frame f;
    f.renderMode = list.GetRenderMode();
    f.local = list.GetLocalTransformation();
    for (int i = 0; i < 6; ++i) {
        f.enabled[i] = list.GetClipPlaneEnabled(i);
        list.GetClipPlane(i).Get(f.point[i], f.normal[i]);
    }
    f.iconScale = list.GetIconScale();
    ArchiveFrame(ar, f);
    StoreKind(ar, list, NumSpheres, GetSphere);
    StoreKind(ar, list, NumCylinders, GetCylinder);
    StoreKind(ar, list, NumMeshes, GetMesh);
    ar.WriteCount(static_cast<std::uint64_t>(list.GetNumDisplayLists()));
    for (int i = 0; i < list.GetNumDisplayLists(); ++i) StoreList(ar, list.GetDisplayList(i), depth + 1);
}

void LoadList(CArchive& ar, DisplayList3D& list, int depth) {
    if (depth > kMaxDepth) throw CArchiveException(CArchiveException::badCount);
    Frame f;
    ArchiveFrame(ar, f);
    list.SetRenderMode(static_cast<DisplayList3D::RenderMode>(f.renderMode));
    list.SetLocalTransformation(f.local);
    for (int i = 0; i < 6; ++i) {
        list.SetClipPlane(i, Plane(f.point[i], f.normal[i]));
        list.SetClipPlaneEnabled(i, f.enabled[i]);
    }
    list.SetIconScale(f.iconScale);
    LoadKind<SpherePrimitive>(ar, list);
    LoadKind<CylinderPrimitive>(ar, list);
    LoadKind<TriangleMeshPrimitive>(ar, list);
    const std::uint64_t children = ar.ReadCount();
    ar.CheckAvailable(children, 200);  // a list's frame alone takes more
    for (std::uint64_t i = 0; i < children; ++i) {
        DisplayList3D child;
        LoadList(ar, child, depth + 1);
        list.Add(child);
    }
}

}  // namespace

std::vector<unsigned char> StoreScene(const DisplayList3D& list) {
    std::vector<unsigned char> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        ar.SetObjectSchema(kSchema);
        ar << CString(kMagic) << kLayout << kSchema;
        StoreList(ar, list, 0);
    }
    return bytes;
}

DisplayList3D LoadScene(std::vector<unsigned char>& bytes) {
    CArchive ar(bytes, CArchive::load);
    CString magic;
    std::uint32_t layout = 0, schema = 0;
    ar >> magic >> layout >> schema;
    if (std::strcmp(magic.GetString(), kMagic) != 0) throw CArchiveException(CArchiveException::badClass);
    if (layout != kLayout || schema != kSchema) throw CArchiveException(CArchiveException::badSchema);
    ar.SetObjectSchema(schema);
    DisplayList3D list;
    LoadList(ar, list, 0);
    bool leftOver = true;
    try {
        ar.Peek(1);
    } catch (const CArchiveException&) {
        leftOver = false;
    }
    if (leftOver) throw CArchiveException(CArchiveException::genericException);
    return list;
}

}  // namespace tessary_python
