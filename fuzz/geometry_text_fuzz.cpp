// Reads points and matrices from arbitrary text. The first byte picks the
// order of the types to read; the rest is the stream. Checked on every read:
// a failed extraction leaves the target exactly as it was, and a successful
// one writes back (at full precision) to text that reads back bit for bit.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <limits>
#include <sstream>
#include <string>
#include <type_traits>

#include "tessary/geometry/Matrix3x3.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/Point2d.h"
#include "tessary/geometry/Point3d.h"

using namespace Tessary;

namespace {

template <class T>
bool Finite(const T& value, int count) {
    const auto* v = reinterpret_cast<const unsigned char*>(&value);
    for (int i = 0; i < count; ++i) {
        if (sizeof(T) / count == 4) {
            float f;
            std::memcpy(&f, v + 4 * i, 4);
            if (!std::isfinite(f)) return false;
        } else {
            double d;
            std::memcpy(&d, v + 8 * i, 8);
            if (!std::isfinite(d)) return false;
        }
    }
    return true;
}

template <class T>
void ReadOne(std::istringstream& in, T sentinel, int count) {
    T target = sentinel;
    in >> target;
    if (in.fail()) {
        if (std::memcmp(&target, &sentinel, sizeof(T)) != 0) std::abort();
        in.clear();
        in.ignore(1);
        return;
    }
    if (!Finite(target, count)) return;
    std::ostringstream out;
    out << std::setprecision(17) << target;
    std::istringstream back(out.str());
    T again = sentinel;
    back >> again;
    if (back.fail() || std::memcmp(&again, &target, sizeof(T)) != 0) std::abort();
    // Print and the width forms must cope with whatever was read.
    std::ostringstream sink;
    sink << std::setw(7) << target;
    if constexpr (std::is_same_v<T, Matrix3x3> || std::is_same_v<T, Matrix4x4>) target.Print(sink);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned order = data[0];
    std::istringstream in(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    const Point3d p3(-7, 8, 9.5);
    const Point2d p2(-7, 8);
    Matrix3x3 m3(Matrix3x3::IdentityMatrix);
    m3(2, 1) = 0.25;
    Matrix4x4 m4(Matrix4x4::IdentityMatrix);
    m4(3, 0) = -3;
    for (int step = 0; step < 256 && in.good(); ++step) {
        switch ((order >> (2 * (step % 4))) & 3u) {
            case 0: ReadOne(in, p3, 3); break;
            case 1: ReadOne(in, p2, 2); break;
            case 2: ReadOne(in, m3, 9); break;
            default: ReadOne(in, m4, 16); break;
        }
    }
    return 0;
}
