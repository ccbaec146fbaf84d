#include "tessary/util/UniqueString.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace Tessary {

// Open addressing over the stored strings. A slot is 8 bytes, a tag (part
// of the hash and the length) and the string's number, so that the slots of
// tens of thousands of names stay in cache and a probe touches a stored
// string only when the tags agree. The strings sit in fixed chunks of 256,
// which never move once allocated.
struct UniqueStringTable::Map {
    struct Slot {
        std::uint32_t tag;    // hash bits 40..63 and the length (capped at 255)
        std::uint32_t index;  // string number + 1; 0 marks an empty slot
    };

    std::vector<Slot> slots = std::vector<Slot>(256, Slot{0, 0});

    static std::uint32_t Tag(std::uint64_t hash, std::size_t length) {
        return static_cast<std::uint32_t>((hash >> 40) << 8) | static_cast<std::uint32_t>(length < 255 ? length : 255);
    }

    static constexpr std::size_t kChunk = 256;

    std::vector<std::unique_ptr<CString[]>> chunks;
    std::size_t count = 0;

    CString& String(std::uint32_t index) { return chunks[index / kChunk][index % kChunk]; }
    CString* Store(std::string_view text) {
        if (count % kChunk == 0) chunks.emplace_back(new CString[kChunk]);
        CString* stored = &chunks.back()[count % kChunk];
        *stored = CString(text);
        ++count;
        return stored;
    }

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
        for (std::size_t k = 0; k < n; ++k) tail |= static_cast<std::uint64_t>(static_cast<unsigned char>(p[k])) << (8 * k);
        h = (h ^ tail) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 32;
        h *= 0xD6E8FEB86659FD93ull;
        h ^= h >> 32;
        return h;
    }

    std::size_t Mask() const { return slots.size() - 1; }

    // The slot holding `text`, or the empty slot where it belongs.
    Slot& Probe(std::string_view text, std::uint64_t hash) {
        const std::uint32_t tag = Tag(hash, text.size());
        for (std::size_t i = hash & Mask();; i = (i + 1) & Mask()) {
            Slot& slot = slots[i];
            if (slot.index == 0) return slot;
            if (slot.tag == tag && std::string_view(String(slot.index - 1).str()) == text) return slot;
        }
    }

    void Grow() {
        std::vector<Slot> old(slots.size() * 2, Slot{0, 0});
        old.swap(slots);
        for (const Slot& slot : old) {
            if (slot.index == 0) continue;
            const std::uint64_t hash = Hash(std::string_view(String(slot.index - 1).str()));
            for (std::size_t i = hash & Mask();; i = (i + 1) & Mask()) {
                if (slots[i].index == 0) {
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
    if (slot->index != 0) return &m_map->String(slot->index - 1);
    // Keep the load below 4/5: probes stay within a cache line or two.
    if (5 * (m_map->count + 1) > 4 * m_map->slots.size()) {
        m_map->Grow();
        slot = &m_map->Probe(text, hash);
    }
    const CString* stored = m_map->Store(text);
    slot->tag = Map::Tag(hash, text.size());
    slot->index = static_cast<std::uint32_t>(m_map->count);
    return stored;
}

const CString* UniqueStringTable::Find(const char* text) const {
    return text ? Find(std::string_view(text)) : &null;
}

const CString* UniqueStringTable::Find(std::string_view text) const {
    if (text.empty() || !m_map) return &null;
    const Map::Slot& slot = m_map->Probe(text, Map::Hash(text));
    return slot.index != 0 ? &m_map->String(slot.index - 1) : &null;
}

int UniqueStringTable::GetCount() const { return m_map ? static_cast<int>(m_map->count) : 0; }

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
