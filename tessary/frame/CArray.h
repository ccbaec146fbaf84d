#pragma once

// CArray: the growable array of the library's interface, over std::vector.
// Indices are ints. GetAt/SetAt/ElementAt/operator[] expect an index in range
// (checked by assert in debug builds); InsertAt grows the array when the index
// lies past the end, and RemoveAt ignores the part of a range that lies outside.
//
// Serialize writes the archive count of the size followed by the elements'
// memory images as one block (an array of CString writes each string instead);
// loading checks the count against the input before it allocates, and a load
// that throws leaves the array as it was.

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <iterator>
#include <type_traits>
#include <vector>

#include "tessary/frame/CArchive.h"
#include "tessary/frame/CString.h"
#include "tessary/frame/Serialization.h"

namespace Tessary {

namespace detail {
// std::vector<bool> packs bits and hands out proxies; a one-byte slot keeps
// BoolArray an array of real bools with the one-byte archive image.
struct BoolSlot {
    bool value;
};
template <class T>
using ArrayStorage = std::conditional_t<std::is_same_v<T, bool>, BoolSlot, T>;
template <class T>
T& SlotValue(T& slot) { return slot; }
template <class T>
const T& SlotValue(const T& slot) { return slot; }
inline bool& SlotValue(BoolSlot& slot) { return slot.value; }
inline const bool& SlotValue(const BoolSlot& slot) { return slot.value; }
// Stored as its memory image; loaded byte by byte so any non-zero byte is
// true and no stray byte is ever read as a bool.
inline void ArchiveField(CArchive& ar, BoolSlot& slot) { ArchiveFields(ar, slot.value); }
}  // namespace detail
template <>
inline constexpr bool kLoadsPerElement<detail::BoolSlot> = true;

template <class TYPE, class ARG_TYPE = const TYPE&>
class CArray {
    using Slot = detail::ArrayStorage<TYPE>;

public:
    CArray() = default;

    int GetSize() const { return static_cast<int>(m_data.size()); }
    int GetCount() const { return GetSize(); }
    int GetUpperBound() const { return GetSize() - 1; }
    bool IsEmpty() const { return m_data.empty(); }

    // New elements are value-initialised (zero for plain types). `growBy` is a
    // capacity hint: it reserves that many extra slots when the array grows.
    void SetSize(int newSize, int growBy = -1) {
        newSize = std::max(newSize, 0);
        if (growBy > 0 && static_cast<std::size_t>(newSize) > m_data.capacity())
            m_data.reserve(static_cast<std::size_t>(newSize) + static_cast<std::size_t>(growBy));
        m_data.resize(static_cast<std::size_t>(newSize));
    }
    void FreeExtra() { m_data.shrink_to_fit(); }
    void RemoveAll() { m_data.clear(); }

    const TYPE& GetAt(int i) const { return detail::SlotValue(m_data[Checked(i)]); }
    TYPE& GetAt(int i) { return detail::SlotValue(m_data[Checked(i)]); }
    void SetAt(int i, ARG_TYPE value) { detail::SlotValue(m_data[Checked(i)]) = value; }
    TYPE& ElementAt(int i) { return GetAt(i); }
    const TYPE& ElementAt(int i) const { return GetAt(i); }
    TYPE& operator[](int i) { return GetAt(i); }
    const TYPE& operator[](int i) const { return GetAt(i); }

    TYPE* GetData() { return m_data.empty() ? nullptr : &detail::SlotValue(m_data.front()); }
    const TYPE* GetData() const { return m_data.empty() ? nullptr : &detail::SlotValue(m_data.front()); }

    // Grows the array (value-initialising the gap) when i is at or past the end.
    void SetAtGrow(int i, ARG_TYPE value) {
        if (i < 0) return;
        if (i >= GetSize()) {
            TYPE copy(value);  // `value` may refer into this array
            SetSize(i + 1);
            detail::SlotValue(m_data[static_cast<std::size_t>(i)]) = std::move(copy);
            return;
        }
        detail::SlotValue(m_data[static_cast<std::size_t>(i)]) = value;
    }

    // Appends; returns the new element's index.
    int Add(ARG_TYPE value) {
        Push(TYPE(value));
        return GetSize() - 1;
    }
    // Appends a copy of `src` (which may be this array); returns the old size.
    int Append(const CArray& src) {
        const int old = GetSize();
        if (&src == this) {
            m_data.reserve(2 * m_data.size());
            std::copy_n(m_data.begin(), old, std::back_inserter(m_data));
        } else {
            m_data.insert(m_data.end(), src.m_data.begin(), src.m_data.end());
        }
        return old;
    }
    void Copy(const CArray& src) {
        if (&src != this) m_data = src.m_data;
    }

    // Inserts `count` copies of `value` before i; an i past the end grows the array first.
    void InsertAt(int i, ARG_TYPE value, int count = 1) {
        if (i < 0 || count <= 0) return;
        TYPE copy(value);
        if (i > GetSize()) SetSize(i);
        m_data.insert(m_data.begin() + i, static_cast<std::size_t>(count), MakeSlot(std::move(copy)));
    }
    void InsertAt(int i, const CArray* src) {
        if (i < 0 || !src) return;
        const std::vector<Slot> copy(src->m_data);
        if (i > GetSize()) SetSize(i);
        m_data.insert(m_data.begin() + i, copy.begin(), copy.end());
    }
    // Removes up to `count` elements from i; the part of the range outside the array is ignored.
    void RemoveAt(int i, int count = 1) {
        const long long size = GetSize();
        const long long first = std::clamp<long long>(i, 0, size);
        const long long last = std::clamp<long long>(static_cast<long long>(i) + std::max(count, 0), first, size);
        m_data.erase(m_data.begin() + first, m_data.begin() + last);
    }

    // A load that throws leaves the array as it was.
    void Serialize(CArchive& ar) { ArchiveFields(ar, CountedBlock(m_data)); }

    // Range-for over the elements.
    TYPE* begin() { return GetData(); }
    TYPE* end() { return GetData() + GetSize(); }
    const TYPE* begin() const { return GetData(); }
    const TYPE* end() const { return GetData() + GetSize(); }

    friend bool operator==(const CArray& a, const CArray& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }
    friend bool operator!=(const CArray& a, const CArray& b) { return !(a == b); }

private:
    std::size_t Checked(int i) const {
        assert(i >= 0 && i < GetSize() && "CArray index out of range");
        return static_cast<std::size_t>(i);
    }
    static Slot MakeSlot(TYPE value) {
        if constexpr (std::is_same_v<TYPE, bool>) return Slot{value};
        else return value;
    }
    void Push(TYPE value) { m_data.push_back(MakeSlot(std::move(value))); }

    std::vector<Slot> m_data;
};

using BoolArray = CArray<bool, bool>;
using IntArray = CArray<std::int32_t, std::int32_t>;
using UIntArray = CArray<std::uint32_t, std::uint32_t>;
using DoubleArray = CArray<double, double>;
using ByteArray = CArray<unsigned char, unsigned char>;

class CStringArray : public CArray<CString, const CString&> {};

}  // namespace Tessary
