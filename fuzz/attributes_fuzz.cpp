// Archive loaders of the scene attributes (font, light, view attributes) from
// arbitrary bytes. The first byte picks the class (low two bits), the format
// version (next two bits: 6, 7, 13 or unset) and the source (top bit: stream,
// else vector); the rest is the archive. Malformed input may throw
// CArchiveException and nothing else; the object must then still copy, store
// and destroy. After a load that succeeded, storing, loading that into a copy
// and storing again must give the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/ArchiveInput.h"
#include "tessary/graphics/attributes/Font.h"
#include "tessary/graphics/attributes/GraphicsAttributes.h"
#include "tessary/graphics/attributes/LightSource.h"

using namespace Tessary;

namespace {

const std::uint32_t kSchemas[] = {6u, 7u, 13u, 0xFFFFFFFFu};

// Loads into `object`. A version that reads only part of a form keeps the
// rest, so the second load goes into a copy of the first rather than a fresh
// object.
template <class T>
void Exercise(CArchive& ar, T object) {
    const std::uint32_t schema = ar.GetObjectSchema();
    const bool loaded = fuzz::TryLoad(ar, object);
    T copy(object);
    fuzz::Store(copy, schema);
    if (loaded) fuzz::ExpectRoundTrip(object, schema, object);
}

void Load(CArchive& ar, unsigned selector) {
    ar.SetObjectSchema(kSchemas[(selector >> 2) & 3]);
    switch (selector & 3) {
        case 0:
            Exercise(ar, Font("Courier", 7));
            break;
        case 1:
            Exercise(ar, LightSource(Point3d(1, 2, 3), Color::Red(), true));
            break;
        default: {
            GraphicsAttributes g;
            g.SetLight(2, LightSource(Point3d(4, 5, 6), Color::Green(), true));
            Exercise(ar, g);
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzz::LoadArchive(data, size, Load);
}
