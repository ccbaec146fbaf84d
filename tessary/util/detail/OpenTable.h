#pragma once

// Internal: the open-addressing table under the library's hashed lookups
// (interned strings, cell keys). Linear probing over a power-of-two array of
// slots kept at most half full, so a lookup mostly reads one slot. The slot
// type is the caller's: it holds the key (or enough of it to compare) and the
// value, says whether it is empty through `IsEmpty()`, and a default slot must
// be empty. Slots are placed by the top bits of a 64-bit hash, which must
// therefore be mixed there.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Tessary::detail {

template <class Slot>
class OpenTable {
public:
    std::size_t Size() const { return m_size; }

    // Drops every entry and the slots.
    void Clear() {
        m_slots.clear();
        m_size = 0;
        m_shift = 64;
    }

    // The slot `match` accepts, or null; probes from the slot of `hash`.
    template <class Match>
    const Slot* Find(std::uint64_t hash, Match match) const {
        if (m_slots.empty()) return nullptr;
        for (std::size_t i = Start(hash);; i = (i + 1) & Mask()) {
            const Slot& slot = m_slots[i];
            if (slot.IsEmpty()) return nullptr;
            if (match(slot)) return &slot;
        }
    }

    // The slot `match` accepts, or the empty slot where such an entry belongs.
    // Call Reserve(Size() + 1, ...) first whenever the entry may be new, and
    // Commit() after filling an empty slot.
    template <class Match>
    Slot& Probe(std::uint64_t hash, Match match) {
        for (std::size_t i = Start(hash);; i = (i + 1) & Mask()) {
            Slot& slot = m_slots[i];
            if (slot.IsEmpty() || match(slot)) return slot;
        }
    }
    void Commit() { ++m_size; }

    // Room for `entries` entries; `hashOf(slot)` rehashes the stored ones
    // when the slots grow. Returns true when they grew (slots moved).
    template <class HashOf>
    bool Reserve(std::size_t entries, HashOf hashOf) {
        if (2 * entries <= m_slots.size()) return false;
        int bits = 4;
        while ((std::size_t{1} << bits) < 2 * entries) ++bits;
        std::vector<Slot> old(std::size_t{1} << bits);
        old.swap(m_slots);
        m_shift = 64 - bits;
        for (const Slot& slot : old) {
            if (slot.IsEmpty()) continue;
            std::size_t i = Start(hashOf(slot));
            while (!m_slots[i].IsEmpty()) i = (i + 1) & Mask();
            m_slots[i] = slot;
        }
        return true;
    }

private:
    std::size_t Mask() const { return m_slots.size() - 1; }
    std::size_t Start(std::uint64_t hash) const { return static_cast<std::size_t>(hash >> m_shift); }

    std::vector<Slot> m_slots;
    std::size_t m_size = 0;
    int m_shift = 64;  // 64 - log2 of the slot count
};

}  // namespace Tessary::detail
