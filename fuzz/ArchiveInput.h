#pragma once

// The entry of the archive fuzz targets: the first byte of the input chooses
// the source (top bit set: a stream, so read-ahead and give-back run too;
// clear: a vector) and is handed to `load` to pick the class; the rest is
// the archive. Malformed input may throw CArchiveException and nothing else.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "tessary/frame/CArchive.h"

namespace fuzz {

template <class Load>
int LoadArchive(const std::uint8_t* data, std::size_t size, Load&& load) {
    if (size < 1) return 0;
    std::vector<unsigned char> payload(data + 1, data + size);
    try {
        if (data[0] & 0x80) {
            std::istringstream in(std::string(payload.begin(), payload.end()));
            Tessary::CArchive ar(in);
            load(ar, data[0]);
        } else {
            Tessary::CArchive ar(payload, Tessary::CArchive::load);
            load(ar, data[0]);
        }
    } catch (const Tessary::CArchiveException&) {
        // Malformed input is reported this way and only this way.
    }
    return 0;
}

}  // namespace fuzz
