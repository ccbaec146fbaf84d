// Archive loaders of the triangle primitives and meshes from arbitrary bytes.
// The first byte picks the class (low two bits), the schema (next two bits)
// and the source, vector or stream (top bit); the rest is the archive.
// Malformed input may throw CArchiveException and nothing else. Whether the
// load threw or not, the object must stay usable: copied, changed through
// copy on write, stored, loaded again to the same bytes and destroyed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/ArchiveInput.h"
#include "tessary/graphics/primitives/TriangleMeshPrimitive.h"
#include "tessary/graphics/primitives/TrianglePrimitive.h"

using namespace Tessary;

namespace {

const std::uint32_t kSchemas[] = {6, 7, 13, 0xFFFFFFFFu};

template <class T>
std::vector<unsigned char> Store(T& object, std::uint32_t schema) {
    std::vector<unsigned char> bytes;
    CArchive ar(bytes, CArchive::store);
    ar.SetObjectSchema(schema);
    object.Serialize(ar);
    return bytes;
}

// Store, load into a fresh object, store again: the two stores must agree.
// Versions before 7 store the newest form but read an older one, so the
// round trip runs under 13 for them.
template <class T>
void CheckRoundTrip(T& object, std::uint32_t schema) {
    if (schema < 7) schema = 13;
    T copy(object);
    std::vector<unsigned char> first = Store(copy, schema);
    T fresh;
    CArchive in(first, CArchive::load);
    in.SetObjectSchema(schema);
    fresh.Serialize(in);
    if (Store(fresh, schema) != first) std::abort();
}

// Walks the mesh as a reader would (only through valid triangles), then
// changes a copy and checks that the original did not move.
void Exercise(TriangleMeshPrimitive& mesh) {
    double sum = 0.0;
    for (int i = 0; i < mesh.GetNumTriangles(); ++i) {
        if (!mesh.IsValidTriangle(i)) continue;
        const TriangleIndex& t = mesh.GetTriangleAt(i);
        for (int corner = 0; corner < 3; ++corner) sum += mesh.GetVertexAt(t.GetIndex(corner)).GetPoint().GetX();
    }
    const VertexNormal* before = static_cast<const TriangleMeshPrimitive&>(mesh).GetVertices();
    TriangleMeshPrimitive copy(mesh);
    copy.TransformAll(Matrix4x4(Point3d(1, 1, 0), Point3d(0, 2, 1), sum == 0.0 ? 30.0 : 60.0));
    copy.SetOIDAt(0, 1);
    if (copy.GetNumVertices() > 0) {
        VertexNormal v = copy.GetVertexAt(0);
        copy.SetVertexAt(copy.GetNumVertices() - 1, v);
    }
    if (static_cast<const TriangleMeshPrimitive&>(mesh).GetVertices() != before) std::abort();
    ColorArray colors;
    copy.GetColors(colors);
    if (colors.GetSize() != copy.GetNumVertices()) std::abort();
}

void Load(CArchive& ar, unsigned which) {
    const std::uint32_t schema = kSchemas[(which >> 2) & 3];
    ar.SetObjectSchema(schema);
    switch (which & 3) {
        case 0: {
            TrianglePrimitive t;
            try {
                t.Serialize(ar);
            } catch (const CArchiveException&) {
                CheckRoundTrip(t, schema);
                throw;
            }
            CheckRoundTrip(t, schema);
            break;
        }
        case 1: {
            UnlitTrianglePrimitive t;
            t.Serialize(ar);
            CheckRoundTrip(t, schema);
            break;
        }
        case 2: {
            TriangleIndex t;
            t.Serialize(ar);
            CheckRoundTrip(t, schema);
            break;
        }
        case 3: {
            TriangleMeshPrimitive mesh;
            const TriangleMeshPrimitive sharer(mesh);
            try {
                mesh.Serialize(ar);
            } catch (const CArchiveException&) {
                Exercise(mesh);
                CheckRoundTrip(mesh, schema);
                throw;
            }
            Exercise(mesh);
            CheckRoundTrip(mesh, schema);
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzz::LoadArchive(data, size, Load);
}
