#pragma once

// The entry of the archive fuzz targets: the first byte of the input chooses
// the source (top bit set: a stream, so read-ahead and give-back run too;
// clear: a vector) and is handed to `load` to pick the class; the rest is
// the archive. Malformed input may throw CArchiveException and nothing else.
// Store and Load are the single steps of a target's round-trip checks.

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

// The bytes `object` stores under `schema`, by the Serialize its static type
// names (pass a base reference to reach a virtual one).
template <class T>
std::vector<unsigned char> Store(T& object, std::uint32_t schema) {
    std::vector<unsigned char> bytes;
    Tessary::CArchive ar(bytes, Tessary::CArchive::store);
    ar.SetObjectSchema(schema);
    object.Serialize(ar);
    return bytes;
}

// Loads `object` from `bytes` under `schema`; archive errors pass through.
template <class T>
void Load(T& object, std::vector<unsigned char> bytes, std::uint32_t schema) {
    Tessary::CArchive ar(bytes, Tessary::CArchive::load);
    ar.SetObjectSchema(schema);
    object.Serialize(ar);
}

}  // namespace fuzz
