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

template <class Base>
std::vector<unsigned char> Store(Base& object, std::uint32_t schema) {
    std::vector<unsigned char> bytes;
    CArchive ar(bytes, CArchive::store);
    ar.SetObjectSchema(schema);
    object.Serialize(ar);
    return bytes;
}

template <class T, class Base>
void Load(CArchive& ar, std::uint32_t schema) {
    T object;
    bool loaded = false;
    try {
        static_cast<Base&>(object).Serialize(ar);
        loaded = true;
    } catch (const CArchiveException&) {
    }
    T copy(object);
    const std::vector<unsigned char> first = Store<Base>(copy, schema);
    // Texts stored under a schema below 10 write a face string where that
    // schema reads a font number.
    if (!loaded || (std::is_base_of_v<TextStringPrimitive, T> && schema < 10)) return;
    T fresh;
    std::vector<unsigned char> input(first);
    CArchive in(input, CArchive::load);
    in.SetObjectSchema(schema);
    static_cast<Base&>(fresh).Serialize(in);
    if (Store<Base>(fresh, schema) != first) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzz::LoadArchive(data, size, [](CArchive& ar, std::uint8_t selector) {
        const std::uint32_t schema = kSchemas[(selector >> 4) & 7];
        ar.SetObjectSchema(schema);
        switch (selector & 15) {
            case 0: Load<VolumePrimitive, VolumePrimitive>(ar, schema); break;
            case 1: Load<UnlitLinePrimitive, UnlitLinePrimitive>(ar, schema); break;
            case 2: Load<LineSegmentPrimitive, UnlitLinePrimitive>(ar, schema); break;
            case 3: Load<PolylinePrimitive, UnlitLinePrimitive>(ar, schema); break;
            case 4: Load<UnlitShapePrimitive, UnlitShapePrimitive>(ar, schema); break;
            case 5: Load<RectanglePrimitive, UnlitShapePrimitive>(ar, schema); break;
            case 6: Load<EllipsePrimitive, UnlitShapePrimitive>(ar, schema); break;
            case 7: Load<TriangleShapePrimitive, UnlitShapePrimitive>(ar, schema); break;
            case 8: Load<TextStringPrimitive, UnlitShapePrimitive>(ar, schema); break;
            case 9: Load<TextBoxPrimitive, UnlitShapePrimitive>(ar, schema); break;
            case 10: Load<TextCalloutPrimitive, UnlitShapePrimitive>(ar, schema); break;
            default: break;
        }
    });
}
