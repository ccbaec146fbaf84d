#pragma once

// The common front of the archive-loader fuzz targets: the first byte is the
// selector handed to `load` (its top bit also says: read from a stream rather
// than from a vector), the rest is the archive. Malformed input may throw
// CArchiveException and nothing else, so only that is caught.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "tessary/frame/CArchive.h"

namespace Tessary::fuzz {

template <class Load>
int LoadArchiveInput(const std::uint8_t* data, std::size_t size, Load&& load) {
    if (size < 1) return 0;
    const unsigned selector = data[0];
    std::vector<unsigned char> payload(data + 1, data + size);
    try {
        if (selector & 0x80) {
            std::istringstream in(std::string(payload.begin(), payload.end()));
            CArchive ar(in);
            load(ar, selector);
        } else {
            CArchive ar(payload, CArchive::load);
            load(ar, selector);
        }
    } catch (const CArchiveException&) {
        // Malformed input is reported this way and only this way.
    }
    return 0;
}

}  // namespace Tessary::fuzz
