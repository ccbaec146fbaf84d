#pragma once

// The entry of the archive fuzz targets: the first byte of the input chooses
// the source (top bit set: a stream, so read-ahead and give-back run too;
// clear: a vector) and is handed to `load` to pick the class; the rest is
// the archive. Malformed input may throw CArchiveException and nothing else.
// TryLoad, Store, Load and ExpectRoundTrip are the steps a target runs on what
// it loaded.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
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

// Loads `object`; false when the archive threw (the object must still be
// usable then).
template <class T>
bool TryLoad(Tessary::CArchive& ar, T& object) {
    try {
        object.Serialize(ar);
        return true;
    } catch (const Tessary::CArchiveException&) {
        return false;
    }
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

// Stores `object`, loads the bytes into `into` (a fresh object, or a copy
// where a version reads only part of a form) and stores that again: the two
// stores must agree.
template <class T>
void ExpectRoundTrip(T object, std::uint32_t schema, T into) {
    const std::vector<unsigned char> first = Store(object, schema);
    Load(into, first, schema);
    if (Store(into, schema) != first) std::abort();
}

}  // namespace fuzz
