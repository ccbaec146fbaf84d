// Archive loaders of the colour classes from arbitrary bytes. The first byte
// picks the class and the source (vector or stream); the rest is the archive.
// Malformed input may throw CArchiveException and nothing else. After a load
// that succeeded, every lookup must stay inside the object, and storing,
// loading and storing again must give the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "fuzz/ArchiveInput.h"
#include "tessary/color/Color.h"
#include "tessary/color/ColorArray.h"
#include "tessary/color/ColorMap.h"

using namespace Tessary;

namespace {

template <class T>
std::vector<unsigned char> Store(T& object) {
    std::vector<unsigned char> bytes;
    CArchive ar(bytes, CArchive::store);
    object.Serialize(ar);
    return bytes;
}

// Store, load into a fresh object, store again: the two stores must agree.
template <class T>
void CheckRoundTrip(T& loaded) {
    std::vector<unsigned char> first = Store(loaded);
    T fresh;
    CArchive in(first, CArchive::load);
    fresh.Serialize(in);
    if (Store(fresh) != first) std::abort();
}

const double kProbes[] = {0.0, 0.5, 1.0, -1.0, 255.0, 1e9, -1e9, std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity()};

void Exercise(ColorMap& map) {
    for (double v : kProbes) {
        map.ColorAtValue(v);
        map.SetColorForValue(v, Color::Red());
    }
    map.SetColorForRange(-1e9, 1e9, Color::Blue());
    for (int i : {-1, 0, 1, map.GetSizeMap() - 1, map.GetSizeMap(), std::numeric_limits<int>::max()}) {
        map.ColorAtIndex(i);
        map.ColorAtEntry(i);
        map.SetColorAtIndex(i, Color::Green());
    }
    map.Invert();
}

void Load(CArchive& ar, unsigned which) {
    switch (which % 4) {
        case 0: {
            Color c;
            c.Serialize(ar);
            CheckRoundTrip(c);
            break;
        }
        case 1: {
            ColorArray a = ColorArray::Rainbow1();
            a.Serialize(ar);
            CheckRoundTrip(a);
            break;
        }
        case 2: {
            ColorMap map(3);
            map.Serialize(ar);
            CheckRoundTrip(map);
            ColorMap copy(map);
            Exercise(copy);
            // Rebuilding from whatever was loaded stays inside the map too.
            map.Resize(map.GetSizeMap() % 512);
            Exercise(map);
            break;
        }
        case 3: {
            ColorMapParameters p;
            p.Serialize(ar);
            CheckRoundTrip(p);
            for (double v : kProbes) p.CalculateColor(v);
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzz::LoadArchiveInput(data, size, Load);
}
