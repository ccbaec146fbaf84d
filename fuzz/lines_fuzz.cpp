// Archive loaders of the line, point, label, icon and arc primitives from
// arbitrary bytes. The first byte picks the class (low three bits), the
// schema (next three bits: 6, 7, 9, 10, 11, 12, 13 or unset) and the source,
// vector or stream (top bit); the rest is the archive. Malformed input may
// throw CArchiveException and nothing else. Whether the load threw or not,
// the object must stay usable: transformed, copied, stored and destroyed;
// after a load that succeeded, storing, loading and storing again must give
// the same bytes. A loaded arc with up to 4096 segments regenerates its
// polyline, which must then hold one point more than its segments.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <type_traits>
#include <vector>

#include "fuzz/ArchiveInput.h"
#include "tessary/graphics/primitives/ArcPrimitive.h"
#include "tessary/graphics/primitives/LinePrimitives.h"
#include "tessary/graphics/primitives/PointPrimitives.h"

using namespace Tessary;

namespace {

const std::uint32_t kSchemas[] = {6, 7, 9, 10, 11, 12, 13, 0xFFFFFFFFu};
constexpr int kGenerateUpTo = 4096;

void Exercise(ArcPrimitive& arc) {
    volatile float sink = arc.GetPointAt(arc.GetNumPoints()).x + arc.GetPointAt(-1).y;
    static_cast<void>(sink);
    // Polylines at the cap take a millisecond each under the sanitizers;
    // the unit tests pin the cap, the fuzzer the counts below it.
    if (arc.GetNumSegments() > kGenerateUpTo) return;
    ArcPrimitive copy(arc);
    copy.Generate();
    if (copy.GetNumPoints() != std::max(copy.GetNumSegments(), 0) + 1) std::abort();
}
template <class T>
void Exercise(T&) {}

template <class T>
void Load(CArchive& ar, std::uint32_t schema) {
    T object;
    const bool loaded = fuzz::TryLoad(ar, object);
    object.Transform(Matrix4x4(Point3d(1, 1, 0), Point3d(0, 2, 1), 30.0));
    Exercise(object);
    T copy(object);
    fuzz::Store(copy, schema);
    // Labels stored under 9 or less write a face string that such a load
    // reads as a font number: that form does not round-trip by design.
    if constexpr (std::is_same_v<T, Text3DPrimitive>)
        if (schema < 10) return;
    if (loaded) fuzz::ExpectRoundTrip(object, schema, T());
}

void LoadAny(CArchive& ar, unsigned which) {
    const std::uint32_t schema = kSchemas[(which >> 3) & 7];
    ar.SetObjectSchema(schema);
    switch (which & 7) {
        case 0: Load<LinePrimitive>(ar, schema); break;
        case 1: Load<DashedLinePrimitive>(ar, schema); break;
        case 2: Load<LineArrayPrimitive>(ar, schema); break;
        case 3: Load<UnlitPointPrimitive>(ar, schema); break;
        case 4: Load<DotPrimitive>(ar, schema); break;
        case 5: Load<Text3DPrimitive>(ar, schema); break;
        case 6: Load<IconPrimitive>(ar, schema); break;
        case 7: Load<ArcPrimitive>(ar, schema); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzz::LoadArchive(data, size, LoadAny);
}
