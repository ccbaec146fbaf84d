#pragma once

// CMap: the hash map of the library's interface, over std::unordered_map.
// Entries also sit in a list in order of insertion, so iteration (range-for
// or GetStartPosition/GetNextAssoc) is deterministic and a POSITION stays
// valid while other entries are added or removed.

#include <list>
#include <unordered_map>
#include <utility>

#include "tessary/frame/CString.h"

namespace Tessary {

// Opaque iteration cursor; null means the iteration is over.
struct PositionTag;
using POSITION = PositionTag*;

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
class CMap {
public:
    struct CPair {
        const KEY key;
        VALUE value;
    };

    // `blockSize` is accepted for interface compatibility; the standard
    // containers do their own allocation.
    explicit CMap(int blockSize = 10) { (void)blockSize; }
    CMap(const CMap& other) { *this = other; }
    CMap& operator=(const CMap& other) {
        if (&other == this) return *this;
        RemoveAll();
        for (const CPair& pair : other.m_entries) Insert(pair.key, pair.value);  // ARG_VALUE may be non-const
        return *this;
    }

    int GetCount() const { return static_cast<int>(m_entries.size()); }
    int GetSize() const { return GetCount(); }
    bool IsEmpty() const { return m_entries.empty(); }

    // Copies the value for `key` into `value` and returns true, or returns false.
    bool Lookup(ARG_KEY key, VALUE& value) const {
        const auto it = m_index.find(KEY(key));
        if (it == m_index.end()) return false;
        value = it->second->value;
        return true;
    }
    // The entry for `key`, or null.
    const CPair* PLookup(ARG_KEY key) const {
        const auto it = m_index.find(KEY(key));
        return it == m_index.end() ? nullptr : &*it->second;
    }
    CPair* PLookup(ARG_KEY key) {
        const auto it = m_index.find(KEY(key));
        return it == m_index.end() ? nullptr : &*it->second;
    }

    // The value for `key`, inserted value-initialised when absent.
    VALUE& operator[](ARG_KEY key) {
        KEY k(key);
        const auto it = m_index.find(k);
        if (it != m_index.end()) return it->second->value;
        return Insert(std::move(k), VALUE());
    }
    // A new entry is copy-constructed from `value`, not default-made and then
    // assigned: a value type whose constructor has effects (a display list
    // takes an ID) sees one construction per entry.
    void SetAt(ARG_KEY key, ARG_VALUE value) {
        KEY k(key);
        const auto it = m_index.find(k);
        if (it != m_index.end()) it->second->value = value;
        else Insert(std::move(k), VALUE(value));
    }

    bool RemoveKey(ARG_KEY key) {
        const auto it = m_index.find(KEY(key));
        if (it == m_index.end()) return false;
        m_entries.erase(it->second);
        m_index.erase(it);
        return true;
    }
    void RemoveAll() {
        m_index.clear();
        m_entries.clear();
    }

    // Sizes the hash table for about `buckets` entries.
    void InitHashTable(unsigned int buckets, bool allocNow = true) {
        (void)allocNow;
        m_index.reserve(buckets);
    }
    unsigned int GetHashTableSize() const { return static_cast<unsigned int>(m_index.bucket_count()); }

    POSITION GetStartPosition() const { return ToPosition(m_entries.begin()); }
    // Reads the entry at `pos` and advances `pos` (to null after the last entry).
    void GetNextAssoc(POSITION& pos, KEY& key, VALUE& value) const {
        const CPair* pair = reinterpret_cast<const CPair*>(pos);
        key = pair->key;
        value = pair->value;
        auto it = m_index.find(pair->key)->second;
        pos = ToPosition(++it);
    }

    auto begin() { return m_entries.begin(); }
    auto end() { return m_entries.end(); }
    auto begin() const { return m_entries.begin(); }
    auto end() const { return m_entries.end(); }

private:
    using EntryList = std::list<CPair>;
    VALUE& Insert(KEY key, VALUE value) {
        m_entries.push_back(CPair{key, std::move(value)});
        m_index.emplace(std::move(key), std::prev(m_entries.end()));
        return m_entries.back().value;
    }
    POSITION ToPosition(typename EntryList::const_iterator it) const {
        return it == m_entries.end() ? nullptr : reinterpret_cast<POSITION>(const_cast<CPair*>(&*it));
    }

    EntryList m_entries;
    std::unordered_map<KEY, typename EntryList::iterator> m_index;
};

// String-keyed maps: exact, case-sensitive keys.
class CMapStringToPtr : public CMap<CString, const char*, void*, void*> {
public:
    using CMap::CMap;
};

class CMapStringToString : public CMap<CString, const char*, CString, const char*> {
public:
    using CMap::CMap;
};

}  // namespace Tessary
