// Archive loaders of the volume primitive and the 2D overlay shapes from
// arbitrary bytes. The first byte picks the source (top bit), the schema
// (bits 4 to 6: 6, 7, 9, 10, 13 or unset) and the class (low four bits); the
// rest is the archive. Malformed input may throw CArchiveException and
// nothing else. Loads run through a reference to the family base, so the
// virtual Serialize is the one exercised. After any load the object must
// copy, store and destroy cleanly; after one that succeeded, storing, loading
// and storing again must give the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <type_traits>
#include <vector>

#include "fuzz/ArchiveInput.h"
#include "tessary/graphics/primitives/OverlayLines.h"
#include "tessary/graphics/primitives/OverlayShapes.h"
#include "tessary/graphics/primitives/OverlayText.h"
#include "tessary/graphics/primitives/VolumePrimitive.h"

using namespace Tessary;

namespace {

const std::uint32_t kSchemas[] = {6, 7, 9, 10, 13, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};

template <class T, class Base>
void CheckLoad(CArchive& ar, std::uint32_t schema) {
    T object;
    bool loaded = false;
    try {
        static_cast<Base&>(object).Serialize(ar);
        loaded = true;
    } catch (const CArchiveException&) {
    }
    T copy(object);
    const std::vector<unsigned char> first = fuzz::Store(static_cast<Base&>(copy), schema);
    // Texts stored under a schema below 10 write a face string where that
    // schema reads a font number.
    if (!loaded || (std::is_base_of_v<TextStringPrimitive, T> && schema < 10)) return;
    T fresh;
    fuzz::Load(static_cast<Base&>(fresh), first, schema);
    if (fuzz::Store(static_cast<Base&>(fresh), schema) != first) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzz::LoadArchive(data, size, [](CArchive& ar, std::uint8_t selector) {
        const std::uint32_t schema = kSchemas[(selector >> 4) & 7];
        ar.SetObjectSchema(schema);
        switch (selector & 15) {
            case 0: CheckLoad<VolumePrimitive, VolumePrimitive>(ar, schema); break;
            case 1: CheckLoad<UnlitLinePrimitive, UnlitLinePrimitive>(ar, schema); break;
            case 2: CheckLoad<LineSegmentPrimitive, UnlitLinePrimitive>(ar, schema); break;
            case 3: CheckLoad<PolylinePrimitive, UnlitLinePrimitive>(ar, schema); break;
            case 4: CheckLoad<UnlitShapePrimitive, UnlitShapePrimitive>(ar, schema); break;
            case 5: CheckLoad<RectanglePrimitive, UnlitShapePrimitive>(ar, schema); break;
            case 6: CheckLoad<EllipsePrimitive, UnlitShapePrimitive>(ar, schema); break;
            case 7: CheckLoad<TriangleShapePrimitive, UnlitShapePrimitive>(ar, schema); break;
            case 8: CheckLoad<TextStringPrimitive, UnlitShapePrimitive>(ar, schema); break;
            case 9: CheckLoad<TextBoxPrimitive, UnlitShapePrimitive>(ar, schema); break;
            case 10: CheckLoad<TextCalloutPrimitive, UnlitShapePrimitive>(ar, schema); break;
            default: break;
        }
    });
}
