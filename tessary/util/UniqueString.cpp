#include "tessary/util/UniqueString.h"

#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

namespace Tessary {

// Open addressing over the stored strings. Each slot keeps the full hash
// beside the pointer, so a probe compares texts only when the hashes agree;
// the strings themselves sit in a deque, whose elements never move.
struct UniqueStringTable::Map {
    struct Slot {
        std::uint64_t hash;
        const CString* string;  // null: empty slot
    };

    std::vector<Slot> slots = std::vector<Slot>(128, Slot{0, nullptr});
    std::deque<CString> strings;

    static std::uint64_t Hash(std::string_view text) {
        // FNV-1a over 8-byte words, then a final mix; names are short.
        std::uint64_t h = 0xcbf29ce484222325ull ^ text.size();
        const char* p = text.data();
        std::size_t n = text.size();
        while (n >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            h = (h ^ word) * 0x100000001b3ull;
            h ^= h >> 29;
            p += 8;
            n -= 8;
        }
        std::uint64_t tail = 0;
        std::memcpy(&tail, p, n);
        h = (h ^ tail) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 32;
        h *= 0xD6E8FEB86659FD93ull;
        h ^= h >> 32;
        return h;
    }

    std::size_t Mask() const { return slots.size() - 1; }

    // The slot holding `text`, or the empty slot where it belongs.
    Slot& Probe(std::string_view text, std::uint64_t hash) {
        for (std::size_t i = hash & Mask();; i = (i + 1) & Mask()) {
            Slot& slot = slots[i];
            if (!slot.string) return slot;
            if (slot.hash == hash && std::string_view(slot.string->str()) == text) return slot;
        }
    }

    void Grow() {
        std::vector<Slot> old(slots.size() * 2, Slot{0, nullptr});
        old.swap(slots);
        for (const Slot& slot : old) {
            if (!slot.string) continue;
            for (std::size_t i = slot.hash & Mask();; i = (i + 1) & Mask()) {
                if (!slots[i].string) {
                    slots[i] = slot;
                    break;
                }
            }
        }
    }
};

const CString* UniqueStringTable::Add(const char* text) {
    return text ? Add(std::string_view(text)) : &null;
}

const CString* UniqueStringTable::Add(std::string_view text) {
    if (text.empty()) return &null;
    if (!m_map) m_map = new Map;
    const std::uint64_t hash = Map::Hash(text);
    Map::Slot* slot = &m_map->Probe(text, hash);
    if (slot->string) return slot->string;
    // Keep the load below 1/2 so probes stay short.
    if (2 * (m_map->strings.size() + 1) > m_map->slots.size()) {
        m_map->Grow();
        slot = &m_map->Probe(text, hash);
    }
    m_map->strings.emplace_back(text);
    slot->hash = hash;
    slot->string = &m_map->strings.back();
    return slot->string;
}

const CString* UniqueStringTable::Find(const char* text) const {
    return text ? Find(std::string_view(text)) : &null;
}

const CString* UniqueStringTable::Find(std::string_view text) const {
    if (text.empty() || !m_map) return &null;
    const Map::Slot& slot = m_map->Probe(text, Map::Hash(text));
    return slot.string ? slot.string : &null;
}

int UniqueStringTable::GetCount() const { return m_map ? static_cast<int>(m_map->strings.size()) : 0; }

UniqueStringTable::~UniqueStringTable() {
    delete m_map;
    m_map = nullptr;
}

void UniqueString::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar << *m_string;
    } else {
        CString text;
        ar >> text;
        m_string = m_table.Add(std::string_view(text.str()));
    }
}

}  // namespace Tessary
