#pragma once

// The one way to write an archive form. A class states its archive fields
// once, in archive order, and one call serves both directions:
//
//   void Marker::Serialize(CArchive& ar) {
//       ArchiveObject(ar, *this, [&ar](Marker& m) {
//           ArchiveFields(ar, m.m_id,                      // int: 4 bytes
//                         AsWord(m.m_visible),             // bool as a 32-bit word
//                         AsByte(m.m_picked),              // bool as one byte
//                         m.m_centre,                      // a field with its own Serialize
//                         FromVersion(13, m.m_stipple),    // present from version 13 on
//                         Sequence(m.m_labels, 1));        // int32 count, then each label
//       });
//   }
//
// Fields. ArchiveFields(ar, f...) hands each field to ArchiveField(ar, f), the
// customisation point: plain numbers and CString go through the archive's
// fixed-width operators, a class with Serialize(CArchive&) through that, and
// anything else through an ArchiveField overload that argument-dependent
// lookup finds beside the type. Adapters are such overloads on small wrapper
// types; higher folders add their own the same way (WithoutAlpha for colours
// in color/, the float/double rule of Point3d in geometry/).
//
// Versions. The archive's object schema is the format version. FromVersion
// compares it unsigned, so the unset schema (all bits set) counts as newer
// than every version; FromVersionSigned compares it signed, so unset is -1,
// older than all. Both decide the layout in both directions.
// StoredAlwaysFromVersion writes its fields whatever the schema and reads
// them when the unsigned test passes: the unset schema counts as newest on
// loading, so what is stored with it loads back whole.
//
// The load rule. A load that throws leaves the object valid and, wherever the
// object can be copied, exactly as it was: ArchiveObject loads into a copy of
// the object, lets `finish` settle it (derived values, dirty flags) and only
// then moves it in. The copy is free for value types; for containers it costs
// one copy per load, which loads (rare, from files) can afford and which
// spares a host a half-loaded object that draws wrong colours without a sign.
// ArchiveFieldsThen is the same rule for forms that do not lie in members
// (an interned string, a fraction that loads through its setter): the fields
// are local stand-ins and `loaded` runs only after all of them were read.
// Where it is not applied, and why: CountedBlock (CArray::Serialize) reads
// into a fresh buffer and swaps it in, which is all or nothing without a copy;
// Sequence and the adapters load in place, but they run inside ArchiveObject,
// so the object as a whole is still all or nothing. A class whose copy is not
// a plain value (it owns a registry entry, or shares a block with others)
// loads through stand-ins instead. A subclass whose Serialize calls its
// base's first, outside an ArchiveObject of its own, gets the rule for the
// base part only: its own fields are each loaded whole, so it stays valid,
// but it may keep old ones beside a new base part.

#include <cstdint>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "tessary/frame/CArchive.h"
#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"

namespace Tessary {

constexpr std::uint32_t kUnsetSchema = 0xFFFFFFFFu;

namespace detail {
template <class T, class = void>
struct HasSerialize : std::false_type {};
template <class T>
struct HasSerialize<T, std::void_t<decltype(std::declval<T&>().Serialize(std::declval<CArchive&>()))>>
    : std::true_type {};
}  // namespace detail

// The customisation point's fall-back: numbers and strings by the archive's
// operators, classes by their own Serialize.
template <class T>
void ArchiveField(CArchive& ar, T& value) {
    if constexpr (detail::HasSerialize<T>::value) {
        value.Serialize(ar);
    } else {
        static_assert(!std::is_enum_v<T>, "archive enumerations with AsWord");
        if (ar.IsStoring()) ar << value;
        else ar >> value;
    }
}

// Each field in order, both directions.
template <class... Fields>
void ArchiveFields(CArchive& ar, Fields&&... fields) {
    (ArchiveField(ar, fields), ...);
}

// Storing archives `object` itself; loading archives into a copy, calls
// finish(copy) and moves the copy in, so a throw leaves `object` untouched.
template <class T, class Fields, class Finish>
void ArchiveObject(CArchive& ar, T& object, Fields&& fields, Finish&& finish) {
    if (ar.IsStoring()) {
        fields(object);
        return;
    }
    T loaded(object);
    fields(loaded);
    finish(loaded);
    object = std::move(loaded);
}
template <class T, class Fields>
void ArchiveObject(CArchive& ar, T& object, Fields&& fields) {
    ArchiveObject(ar, object, std::forward<Fields>(fields), [](T&) {});
}

// Archives local stand-ins of an object's form; `loaded()` runs after a load
// that read them all, and only then.
template <class Loaded, class... Fields>
void ArchiveFieldsThen(CArchive& ar, Loaded&& loaded, Fields&&... fields) {
    ArchiveFields(ar, fields...);
    if (ar.IsLoading()) loaded();
}

// The archive operators of value types: `ar << v` stores a copy through
// ArchiveField (a loading archive throws readOnly, as every `<<` does);
// `ar >> v` loads through it (a storing archive throws writeOnly).
template <class T>
CArchive& StoreValue(CArchive& ar, const T& value) {
    if (ar.IsLoading()) throw CArchiveException(CArchiveException::readOnly);
    T copy(value);
    ArchiveField(ar, copy);
    return ar;
}
template <class T>
CArchive& LoadValue(CArchive& ar, T& value) {
    if (ar.IsStoring()) throw CArchiveException(CArchiveException::writeOnly);
    ArchiveField(ar, value);
    return ar;
}

// ---- schema tests ---------------------------------------------------------------

inline bool SchemaAtLeastUnsigned(const CArchive& ar, std::uint32_t version) {
    return ar.GetObjectSchema() >= version;
}
inline bool SchemaAtLeastSigned(const CArchive& ar, std::int32_t version) {
    return static_cast<std::int32_t>(ar.GetObjectSchema()) >= version;
}

// ---- adapters -------------------------------------------------------------------

// A bool or an enumeration kept as a 32-bit word; any non-zero word loads as
// true, and an enumeration takes the word as read (every enumeration of the
// library has underlying type int, so every value is valid).
template <class T>
struct Word {
    T& value;
};
template <class T>
Word<T> AsWord(T& value) {
    static_assert(std::is_same_v<T, bool> || (std::is_enum_v<T> && sizeof(T) == 4),
                  "AsWord takes a bool or a 32-bit enumeration");
    return {value};
}
template <class T>
void ArchiveField(CArchive& ar, Word<T>& field) {
    std::int32_t word = static_cast<std::int32_t>(field.value);
    ArchiveFields(ar, word);
    if constexpr (std::is_same_v<T, bool>) field.value = word != 0;
    else field.value = static_cast<T>(word);
}

// A bool kept as a 32-bit word that loads as true only when it is exactly 1:
// some older forms left other values in such words, and those never meant
// "set". Stores 1 or 0.
struct WordIsOne {
    bool& value;
};
inline WordIsOne AsWordIsOne(bool& value) { return {value}; }
inline void ArchiveField(CArchive& ar, WordIsOne& field) {
    std::int32_t word = field.value ? 1 : 0;
    ArchiveFields(ar, word);
    field.value = word == 1;
}

// A bool kept as one byte; any non-zero byte loads as true. (A plain bool
// field is archived the same way; AsByte says so where it matters.)
struct Byte {
    bool& value;
};
inline Byte AsByte(bool& value) { return {value}; }
inline void ArchiveField(CArchive& ar, Byte& field) { ArchiveFields(ar, field.value); }

// Fields present only when `Rule` accepts the archive's schema.
namespace detail {
struct UnsignedSchema {
    static bool Present(const CArchive& ar, std::uint32_t v) { return SchemaAtLeastUnsigned(ar, v); }
};
struct SignedSchema {
    static bool Present(const CArchive& ar, std::uint32_t v) {
        return SchemaAtLeastSigned(ar, static_cast<std::int32_t>(v));
    }
};
struct StoredAlways {
    static bool Present(const CArchive& ar, std::uint32_t v) {
        return ar.IsStoring() || SchemaAtLeastUnsigned(ar, v);
    }
};
}  // namespace detail

template <class Rule, class... Fields>
struct Versioned {
    std::uint32_t version;
    std::tuple<Fields...> fields;  // references to plain fields, adapters by value
};
template <class Rule, class... Fields>
void ArchiveField(CArchive& ar, Versioned<Rule, Fields...>& field) {
    if (!Rule::Present(ar, field.version)) return;
    std::apply([&ar](auto&... f) { ArchiveFields(ar, f...); }, field.fields);
}
template <class... Fields>
Versioned<detail::UnsignedSchema, Fields...> FromVersion(std::uint32_t version, Fields&&... fields) {
    return {version, std::tuple<Fields...>(std::forward<Fields>(fields)...)};
}
template <class... Fields>
Versioned<detail::SignedSchema, Fields...> FromVersionSigned(std::int32_t version, Fields&&... fields) {
    return {static_cast<std::uint32_t>(version), std::tuple<Fields...>(std::forward<Fields>(fields)...)};
}
template <class... Fields>
Versioned<detail::StoredAlways, Fields...> StoredAlwaysFromVersion(std::uint32_t version, Fields&&... fields) {
    return {version, std::tuple<Fields...>(std::forward<Fields>(fields)...)};
}

// Loads a signed 32-bit element count and checks that the input can still
// hold that many elements of at least `minBytesPerElement` bytes each;
// a negative count throws badCount.
TESSARY_API int ReadElementCount(CArchive& ar, std::uint64_t minBytesPerElement);

// A sequence of elements: signed 32-bit count, then each element by its own
// ArchiveField in index order. Loading resizes the array to the checked count
// and loads the elements in place. `minBytesPerElement` is the least one
// element occupies on disk. The array needs GetSize, SetSize and operator[].
// An element form other than the element's own is given as an adapter maker:
// Sequence(flags, 4, [](bool& f) { return AsWord(f); }).
namespace detail {
struct SameElement {
    template <class T>
    T& operator()(T& element) const { return element; }
};
}  // namespace detail
template <class Array, class Element = detail::SameElement>
struct SequenceField {
    Array& array;
    std::uint64_t minBytesPerElement;
    Element element;
};
template <class Array, class Element = detail::SameElement>
SequenceField<Array, Element> Sequence(Array& array, std::uint64_t minBytesPerElement, Element element = {}) {
    return {array, minBytesPerElement, element};
}
template <class Array, class Element>
void ArchiveField(CArchive& ar, SequenceField<Array, Element>& field) {
    std::int32_t count = field.array.GetSize();
    if (ar.IsStoring()) ArchiveFields(ar, count);
    else field.array.SetSize(ReadElementCount(ar, field.minBytesPerElement));
    for (int i = 0; i < field.array.GetSize(); ++i) {
        auto&& element = field.element(field.array[i]);
        ArchiveField(ar, element);
    }
}

// The platform-array form: the archive's count encoding of the size, then the
// elements' memory images as one raw block; elements that are not plain
// memory (strings), or that must not be read as raw bytes (kLoadsPerElement),
// go one by one through ArchiveField. Loading checks the count against the
// input, reads into a fresh buffer and swaps it in.
template <class T>
inline constexpr bool kLoadsPerElement = !std::is_trivially_copyable_v<T>;

template <class T>
struct CountedBlockField {
    std::vector<T>& elements;
};
template <class T>
CountedBlockField<T> CountedBlock(std::vector<T>& elements) {
    return {elements};
}
template <class T>
void ArchiveField(CArchive& ar, CountedBlockField<T>& field) {
    static_assert(std::is_trivially_copyable_v<T> || std::is_same_v<T, CString>,
                  "a counted block holds memory images or strings; give other elements a Sequence");
    constexpr bool raw = std::is_trivially_copyable_v<T>;
    if (ar.IsStoring()) {
        ar.WriteCount(field.elements.size());
        if constexpr (raw) ar.Write(field.elements.data(), field.elements.size() * sizeof(T));
        else for (T& e : field.elements) ArchiveField(ar, e);
        return;
    }
    const std::uint64_t count = ar.ReadCount();
    // A string takes at least its one-byte length in the input.
    ar.CheckAvailable(count, raw ? sizeof(T) : 1);
    if (count > static_cast<std::uint64_t>(INT32_MAX)) throw CArchiveException(CArchiveException::badCount);
    std::vector<T> loaded(static_cast<std::size_t>(count));
    if constexpr (!kLoadsPerElement<T>) ar.Read(loaded.data(), loaded.size() * sizeof(T));
    else for (T& e : loaded) ArchiveField(ar, e);
    field.elements.swap(loaded);
}

}  // namespace Tessary
