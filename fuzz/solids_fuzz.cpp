// Archive loaders of the solid primitives, and the tetrahedron decomposition,
// from arbitrary bytes. The first byte picks the class (low three bits) and
// the version (next two bits: 6, 7, 13 or unset); the rest is the archive.
// Malformed input may throw CArchiveException and nothing else. After any
// load the object must copy, store and destroy cleanly; after one that
// succeeded, storing, loading and storing again must give the same bytes.
// Class 5 reads up to a dozen points and decomposes them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/ArchiveInput.h"
#include "tessary/graphics/primitives/SolidPrimitives.h"
#include "tessary/graphics/primitives/TetrahedronPrimitive.h"

using namespace Tessary;

namespace {

constexpr std::uint32_t kSchemas[4] = {6, 7, 13, 0xFFFFFFFFu};

template <class T>
void Load(CArchive& ar, std::uint32_t schema) {
    T object;
    const bool loaded = fuzz::TryLoad(ar, object);
    T copy(object);
    fuzz::Store(copy, schema);
    // Version 6 stores a representation word that it does not read back.
    if (!loaded || schema == 6) return;
    fuzz::ExpectRoundTrip(copy, schema, T());
}

void Decompose(CArchive& ar) {
    Point3d::Array points;
    try {
        for (int i = 0; i < 12; ++i) {
            float x, y, z;
            ar >> x >> y >> z;
            points.Add(Point3d(x, y, z));
        }
    } catch (const CArchiveException&) {
    }
    TetrahedronPrimitive::Array result;
    TetrahedronPrimitive::DecomposePolyhedron(result, points);
    for (int t = 0; t < result.GetSize(); ++t) {
        if (result[t].GetNumFaces() < 0 || result[t].GetNumFaces() > 4) std::abort();
        result[t].Transform(Matrix4x4(Axis::z, 30.0));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::vector<unsigned char> payload(data + 1, data + size);
    const std::uint32_t schema = kSchemas[(data[0] >> 3) & 3];
    CArchive ar(payload, CArchive::load);
    ar.SetObjectSchema(schema);
    switch (data[0] & 7) {
        case 0: Load<SpherePrimitive>(ar, schema); break;
        case 1: Load<EllipsoidPrimitive>(ar, schema); break;
        case 2: Load<CylinderPrimitive>(ar, schema); break;
        case 3: Load<ConePrimitive>(ar, schema); break;
        case 4: Load<TetrahedronPrimitive>(ar, schema); break;
        case 5: Decompose(ar); break;
        default: break;
    }
    return 0;
}
