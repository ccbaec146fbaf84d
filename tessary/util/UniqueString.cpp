#include "tessary/util/UniqueString.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "tessary/frame/Serialization.h"
#include "tessary/util/detail/OpenTable.h"

namespace Tessary {

// Open addressing over the stored strings. A slot is 16 bytes: the string's
// number and a 12-byte key. A text of up to 11 bytes is its own key (its
// length and bytes, zero padded), so looking up a short name, the common
// case, reads one slot and never the stored string. A longer text keys by a
// length mark and its hash, and is compared with the stored string when
// those agree. The strings sit in fixed chunks of 256, which never move
// once allocated.
struct UniqueStringTable::Map {
    static constexpr std::size_t kShort = 11;
    static constexpr std::uint32_t kLongMark = 0xFF;  // the length byte of a longer text

    struct Key {
        std::uint32_t head;  // the length, then bytes 8..10 of a short text
        std::uint64_t tail;  // bytes 0..7 of a short text, zero padded
        std::uint64_t hash;
    };

    struct Slot {
        std::uint32_t index = 0;  // string number + 1; 0 marks an empty slot
        std::uint32_t head = 0;
        std::uint64_t tail = 0;
        bool IsEmpty() const { return index == 0; }
    };

    detail::OpenTable<Slot> slots;

    static constexpr std::size_t kChunk = 256;

    std::vector<std::unique_ptr<CString[]>> chunks;
    std::size_t count = 0;

    // The stored string of an occupied slot.
    const CString& String(const Slot& slot) const { return chunks[(slot.index - 1) / kChunk][(slot.index - 1) % kChunk]; }
    CString* Store(std::string_view text) {
        if (count % kChunk == 0) chunks.emplace_back(new CString[kChunk]);
        CString* stored = &chunks.back()[count % kChunk];
        *stored = CString(text);
        ++count;
        return stored;
    }

    static std::uint64_t Mix(std::uint64_t h) {
        h ^= h >> 32;
        h *= 0xD6E8FEB86659FD93ull;
        h ^= h >> 32;
        return h;
    }

    // `bytes` bytes from `p`, the first one lowest, as the overlapping loads
    // of MakeKey need on any byte order.
    static std::uint64_t Load(const char* p, std::size_t bytes) {
        std::uint64_t word = 0;
#if defined(__BYTE_ORDER__) && defined(__ORDER_BIG_ENDIAN__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        for (std::size_t i = 0; i < bytes; ++i) word |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
#else
        std::memcpy(&word, p, bytes);
#endif
        return word;
    }

    static Key MakeKey(std::string_view text) {
        const char* p = text.data();
        const std::size_t n = text.size();
        Key key;
        if (n <= kShort) {
            // Fixed-size loads that overlap instead of a copy of n bytes.
            std::uint64_t low = 0;
            std::uint64_t high = 0;
            if (n >= 8) {
                low = Load(p, 8);
                high = Load(p + n - 4, 4) >> (8 * (12 - n));
            } else if (n >= 4) {
                low = Load(p, 4) | Load(p + n - 4, 4) << (8 * (n - 4));
            } else if (n > 0) {
                low = Load(p, 1) | Load(p + n / 2, 1) << (8 * (n / 2)) | Load(p + n - 1, 1) << (8 * (n - 1));
            }
            key.head = static_cast<std::uint32_t>(n | high << 8);
            key.tail = low;
            key.hash = Mix((low ^ (std::uint64_t{key.head} << 40)) * 0x9E3779B97F4A7C15ull);
            return key;
        }
        // FNV-1a over 8-byte words, then a final mix.
        std::uint64_t h = 0xcbf29ce484222325ull ^ n;
        std::size_t k = 0;
        for (; k + 8 <= n; k += 8) {
            h = (h ^ Load(p + k, 8)) * 0x100000001b3ull;
            h ^= h >> 29;
        }
        key.hash = Mix((h ^ Load(p + n - 8, 8)) * 0x9E3779B97F4A7C15ull);
        key.head = kLongMark | static_cast<std::uint32_t>(key.hash << 8);
        key.tail = key.hash;
        return key;
    }

    // A short text is decided by its key alone; a longer one also by its text.
    auto Matches(std::string_view text, const Key& key) const {
        return [this, text, &key](const Slot& slot) {
            return slot.head == key.head && slot.tail == key.tail &&
                   (text.size() <= kShort || std::string_view(String(slot).str()) == text);
        };
    }
};

const CString* UniqueStringTable::Add(const char* text) {
    return text ? Add(std::string_view(text)) : &null;
}

const CString* UniqueStringTable::Add(std::string_view text) {
    if (text.empty()) return &null;
    if (!m_map) m_map = new Map;
    Map& map = *m_map;
    const Map::Key key = Map::MakeKey(text);
    map.slots.Reserve(map.count + 1, [&map](const Map::Slot& slot) {
        return Map::MakeKey(std::string_view(map.String(slot).str())).hash;
    });
    Map::Slot& slot = map.slots.Probe(key.hash, map.Matches(text, key));
    if (!slot.IsEmpty()) return &map.String(slot);
    const CString* stored = map.Store(text);
    slot.head = key.head;
    slot.tail = key.tail;
    slot.index = static_cast<std::uint32_t>(map.count);
    map.slots.Commit();
    return stored;
}

const CString* UniqueStringTable::Find(const char* text) const {
    return text ? Find(std::string_view(text)) : &null;
}

const CString* UniqueStringTable::Find(std::string_view text) const {
    if (text.empty() || !m_map) return &null;
    const Map::Key key = Map::MakeKey(text);
    const Map::Slot* slot = m_map->slots.Find(key.hash, m_map->Matches(text, key));
    return slot ? &m_map->String(*slot) : &null;
}

int UniqueStringTable::GetCount() const { return m_map ? static_cast<int>(m_map->count) : 0; }

UniqueStringTable::~UniqueStringTable() {
    delete m_map;
    m_map = nullptr;
}

void UniqueString::Serialize(CArchive& ar) {
    CString text = *m_string;
    ArchiveFieldsThen(ar, [&] { *this = text; }, text);
}

}  // namespace Tessary
