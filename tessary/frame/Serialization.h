#pragma once

// Shared pieces of every Serialize and text-stream operator in the library:
//
// * SerializeFields(ar, a, b, ...) stores or loads fixed-width fields in order,
//   one call for both directions.
// * Schema tests: the archive's object schema is the format version. A class
//   that compares it unsigned sees the unset value (all bits set) as newer than
//   every version; one that compares it signed sees it as -1, older than all.
// * Booleans and enumerations stored as 32-bit words.
// * Sequences of a class's own elements: a signed 32-bit count, then each
//   element's own Serialize; the count is checked against the input first.
// * Text fields of points and matrices, with and without a field width, and
//   all-or-nothing text input.

#include <cstdint>
#include <iosfwd>
#include <type_traits>

#include "tessary/frame/CArchive.h"
#include "tessary/frame/Export.h"

namespace Tessary {

// Stores or loads each field with the archive's fixed-width operators.
template <class... Fields>
void SerializeFields(CArchive& ar, Fields&... fields) {
    if (ar.IsStoring()) {
        (ar << ... << static_cast<const Fields&>(fields));
    } else {
        (ar >> ... >> fields);
    }
}

// Schema tests: see the header comment for what the unset value means in each.
inline bool SchemaAtLeastUnsigned(const CArchive& ar, std::uint32_t version) {
    return ar.GetObjectSchema() >= version;
}
inline bool SchemaAtLeastSigned(const CArchive& ar, std::int32_t version) {
    return static_cast<std::int32_t>(ar.GetObjectSchema()) >= version;
}

// A bool kept on disk as a 32-bit word; any non-zero word loads as true.
inline void SerializeBoolAsWord(CArchive& ar, bool& value) {
    if (ar.IsStoring()) {
        ar << static_cast<std::int32_t>(value ? 1 : 0);
    } else {
        std::int32_t word;
        ar >> word;
        value = word != 0;
    }
}

// An enumeration kept on disk as a 32-bit integer. The value is taken as
// read: every enumeration of the library has underlying type int.
template <class Enum>
void SerializeEnum(CArchive& ar, Enum& value) {
    static_assert(std::is_enum_v<Enum> && sizeof(Enum) == 4, "enumerations are archived as 32-bit words");
    if (ar.IsStoring()) {
        ar << static_cast<std::int32_t>(value);
    } else {
        std::int32_t word;
        ar >> word;
        value = static_cast<Enum>(word);
    }
}

// Loads a signed 32-bit element count and checks that the input can still
// hold that many elements of at least `minBytesPerElement` bytes each.
TESSARY_API int ReadElementCount(CArchive& ar, std::uint64_t minBytesPerElement);

// A sequence of elements with their own Serialize: signed 32-bit count, then
// each element in index order. `minBytesPerElement` is the least one element
// occupies on disk. The array needs GetSize, SetSize and operator[].
template <class Array>
void SerializeSequence(CArchive& ar, Array& array, std::uint64_t minBytesPerElement) {
    if (ar.IsStoring()) {
        ar << static_cast<std::int32_t>(array.GetSize());
        for (int i = 0; i < array.GetSize(); ++i) array[i].Serialize(ar);
        return;
    }
    array.SetSize(ReadElementCount(ar, minBytesPerElement));
    for (int i = 0; i < array.GetSize(); ++i) array[i].Serialize(ar);
}

// Text layouts of the geometric value types.
enum class TextLayout {
    // width w > 0: first value, then each further one in setw(w); else blank-separated.
    Point,
    // width w != 0: every value in setw(w); else every value followed by a blank.
    Matrix,
};

// Writes `count` doubles with the stream's precision and flags.
TESSARY_API std::ostream& WriteTextFields(std::ostream& os, const double* values, int count, TextLayout layout);

// Reads `count` doubles into `values`. Stops at the first failed extraction;
// returns true only if all were read. `values` may be partly written on
// failure: callers read into a temporary and assign on success.
TESSARY_API bool ReadTextFields(std::istream& is, double* values, int count);

}  // namespace Tessary
