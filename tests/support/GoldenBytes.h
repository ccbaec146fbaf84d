#pragma once

// Golden-bytes checks of archive forms. ExpectGoldenBytes stores an object,
// compares the bytes with the committed expectation (a hex dump on failure,
// 16 bytes a line, so a diff points at the offset), loads them back into a
// second object and stores that again: the same bytes must come out.
// StoreBytes and LoadBytes are the single steps, for malformed-input cases.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "tessary/frame/CArchive.h"
#include "tessary/frame/Serialization.h"

namespace Tessary::test {

using Bytes = std::vector<unsigned char>;

// Joins named chunks of an expected form: Cat({header, point, radius}).
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline std::string HexDump(const Bytes& bytes) {
    std::string out;
    char cell[24];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i % 16 == 0) {
            std::snprintf(cell, sizeof cell, "%04zx:", i);
            out += cell;
        }
        std::snprintf(cell, sizeof cell, " %02x", bytes[i]);
        out += cell;
        if (i % 16 == 15 || i + 1 == bytes.size()) out += '\n';
    }
    return out;
}

// The bytes of `object`'s archive form under `schema`.
template <class T>
Bytes StoreBytes(const T& object, std::uint32_t schema = kUnsetSchema) {
    Bytes bytes;
    CArchive ar(bytes, CArchive::store);
    ar.SetObjectSchema(schema);
    T copy(object);
    ArchiveField(ar, copy);
    return bytes;
}

// Loads `target` from `bytes` under `schema`; archive errors pass through.
template <class T>
void LoadBytes(T& target, const Bytes& bytes, std::uint32_t schema = kUnsetSchema) {
    Bytes input(bytes);
    CArchive ar(input, CArchive::load);
    ar.SetObjectSchema(schema);
    ArchiveField(ar, target);
}

// Store -> expected bytes -> load into `loaded` -> store again -> same bytes.
// Returns the loaded object for checks of its own.
template <class T>
T ExpectGoldenBytes(const T& object, const Bytes& expected, std::uint32_t schema = kUnsetSchema,
                    T loaded = T()) {
    const Bytes stored = StoreBytes(object, schema);
    EXPECT_EQ(HexDump(stored), HexDump(expected)) << "archive form under schema " << schema;
    LoadBytes(loaded, expected, schema);
    EXPECT_EQ(HexDump(StoreBytes(loaded, schema)), HexDump(expected)) << "stored again after loading";
    return loaded;
}

// ExpectGoldenBytes, then the same store and load through a reference to
// Base: the virtual Serialize, not the caller's static type, picks the form.
template <class Base, class T>
T ExpectGoldenBytesThroughBase(const T& object, const Bytes& expected, std::uint32_t schema = kUnsetSchema) {
    T loaded = ExpectGoldenBytes(object, expected, schema);
    T copy(object);
    Bytes stored;
    CArchive out(stored, CArchive::store);
    out.SetObjectSchema(schema);
    static_cast<Base&>(copy).Serialize(out);
    EXPECT_EQ(HexDump(stored), HexDump(expected)) << "stored through the base";
    T again;
    Bytes input(expected);
    CArchive in(input, CArchive::load);
    in.SetObjectSchema(schema);
    static_cast<Base&>(again).Serialize(in);
    EXPECT_EQ(HexDump(StoreBytes(again, schema)), HexDump(expected)) << "loaded through the base";
    return loaded;
}

}  // namespace Tessary::test
