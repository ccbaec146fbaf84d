#pragma once

// Builders for expected archive bytes, written apart from the library's own
// archive code so a golden-bytes test does not check that code against itself:
// Raw lays values out as their little-endian memory images, PointBytes gives
// a point as three floats or three doubles, ShortStringBytes a short string (Cat of GoldenBytes.h joins the
// pieces).

#include <cstring>
#include <initializer_list>
#include <vector>

#include "tessary/geometry/Point3d.h"
#include "tests/support/GoldenBytes.h"

namespace Tessary::test {

template <class T>
std::vector<unsigned char> Raw(std::initializer_list<T> values) {
    std::vector<unsigned char> bytes(values.size() * sizeof(T));
    if (values.size() != 0) std::memcpy(bytes.data(), values.begin(), bytes.size());
    return bytes;
}

inline std::vector<unsigned char> PointBytes(const Point3d& p, bool floats) {
    if (floats) return Raw<float>({p.x, p.y, p.z});
    return Raw<double>({p.x, p.y, p.z});
}

// A string of fewer than 255 bytes: its length byte, then its bytes.
inline std::vector<unsigned char> ShortStringBytes(const char* text) {
    const std::size_t length = std::strlen(text);
    std::vector<unsigned char> bytes(1, static_cast<unsigned char>(length));
    bytes.insert(bytes.end(), text, text + length);
    return bytes;
}

}  // namespace Tessary::test
