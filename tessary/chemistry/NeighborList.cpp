#include "tessary/chemistry/NeighborList.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <limits>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "tessary/util/detail/OpenTable.h"

namespace Tessary {

namespace {

// A cell key packs three 21-bit fields, x fastest: ((k << 42) | (j << 21) | i)
// after biasing each index into 0 .. 2^21 - 1. Sorting cells by key therefore
// lines up the three cells (i - 1, j, k), (i, j, k), (i + 1, j, k) one after
// another, which both queries exploit. Indices are clamped one short of the
// field's ends so that every neighbour of a clamped cell still has a key; the
// clamp is monotone, so points closer than the cutoff stay in the same or
// adjacent cells even far out, where cells merely grow crowded.
constexpr int kFieldBits = 21;
constexpr std::int64_t kBias = std::int64_t{1} << (kFieldBits - 1);
constexpr int kMinIndex = static_cast<int>(-kBias + 1);
constexpr int kMaxIndex = static_cast<int>(kBias - 2);
constexpr std::uint64_t kFieldMask = (std::uint64_t{1} << kFieldBits) - 1;
constexpr std::uint64_t kEmptyKey = ~std::uint64_t{0};  // no packed key has the top bit set

constexpr std::uint64_t KeyDelta(int di, int dj, int dk) {
    constexpr std::int64_t kRow = std::int64_t{1} << kFieldBits, kPlane = kRow << kFieldBits;
    return static_cast<std::uint64_t>(std::int64_t{di} + std::int64_t{dj} * kRow + std::int64_t{dk} * kPlane);
}
constexpr std::uint64_t Field(std::uint64_t key, int axis) { return (key >> (axis * kFieldBits)) & kFieldMask; }

// The cell edge is the cutoff enlarged by a relative 2^-26. Two points closer
// than the cutoff then always differ by less than one cell in scaled
// coordinates, even after the rounding of v * (1 / edge) at the largest
// indices (about 2^20 cells, where a double still resolves 2^-32 of a cell).
constexpr double kCellMargin = 1.0 + 1.0 / (1 << 26);

// The 27 cells of a point query, as rows along x: each (dj, dk) in this order,
// and within a row the offsets di = 0, -1, +1.
constexpr int kQueryRows[9][2] = {{0, 0}, {1, 0}, {-1, 0}, {1, -1}, {0, -1}, {-1, -1}, {1, 1}, {0, 1}, {-1, 1}};

// The half shell of the pair search: (1, 0, 0), then these rows with
// di = -1, 0, +1 each. With (1, 0, 0) they are one of each pair of opposite
// neighbours, so every pair of adjacent cells is visited from one side.
constexpr int kPairRows[4][2] = {{-1, 0}, {1, 1}, {0, 1}, {-1, 1}};

bool IsFinite(const Point3d& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// Cell index of one coordinate and key of a finite point. The members of the
// same names are exported and so called through the symbol table; these stay
// inline for the passes over every point.
inline int SubIndex(double v, double inverseCell) {
    const double s = v * inverseCell;
    if (!(s >= kMinIndex)) return kMinIndex;  // also catches NaN
    if (s >= kMaxIndex) return kMaxIndex;
    const int t = static_cast<int>(s);  // toward zero; floor below
    return t - (static_cast<double>(t) > s ? 1 : 0);
}
inline std::uint64_t PackKey(int i, int j, int k) {
    const auto field = [](int v) { return static_cast<std::uint64_t>(std::clamp(v, kMinIndex, kMaxIndex) + kBias); };
    return (field(k) << (2 * kFieldBits)) | (field(j) << kFieldBits) | field(i);
}
inline std::uint64_t PointKey(const Point3d& p, double inverseCell) {
    return PackKey(SubIndex(p.x, inverseCell), SubIndex(p.y, inverseCell), SubIndex(p.z, inverseCell));
}

int BitWidth(std::uint64_t v) {
    int bits = 0;
    for (; v; v >>= 1) ++bits;
    return bits;
}

// From cell key to a 32-bit number (a laid-out cell, a chain of newcomers).
class KeyTable {
public:
    void Clear() { m_table.Clear(); }
    std::int32_t Find(std::uint64_t key) const {
        const Slot* slot = m_table.Find(Hash(key), [key](const Slot& s) { return s.key == key; });
        return slot ? slot->value : -1;
    }
    // The value stored for key, or `value` after storing it.
    std::int32_t FindOrAdd(std::uint64_t key, std::int32_t value, std::size_t expected = 8) {
        m_table.Reserve(std::max(expected, m_table.Size() + 1), [](const Slot& s) { return Hash(s.key); });
        Slot& slot = m_table.Probe(Hash(key), [key](const Slot& s) { return s.key == key; });
        if (slot.IsEmpty()) {
            slot = Slot{key, value};
            m_table.Commit();
        }
        return slot.value;
    }

private:
    struct Slot {
        std::uint64_t key = kEmptyKey;
        std::int32_t value = -1;
        bool IsEmpty() const { return key == kEmptyKey; }
    };
    static std::uint64_t Hash(std::uint64_t key) { return key * 0x9E3779B97F4A7C15ull; }

    detail::OpenTable<Slot> m_table;
};

// A stable counting pass over digit(key) for every element of `order`.
template <class Digit>
void CountingPass(const std::vector<std::uint64_t>& keys, const std::vector<std::uint32_t>& order,
                  std::vector<std::uint32_t>& out, std::size_t buckets, Digit digit) {
    std::vector<std::uint32_t> start(buckets + 1, 0);
    for (std::uint32_t i : order) ++start[digit(keys[i]) + 1];
    for (std::size_t b = 0; b < buckets; ++b) start[b + 1] += start[b];
    for (std::uint32_t i : order) out[start[digit(keys[i])]++] = i;
}

// Four-wide distance tests load past the end of a run; the padding keeps
// them inside the arrays.
constexpr std::size_t kPad = 4;
constexpr float kFar = std::numeric_limits<float>::infinity();

// The laid-out points, coordinates apart so that distance tests run over
// contiguous floats, followed by kPad infinitely distant points.
// Every slot is written by the layout, so the arrays start uninitialised.
struct CellPoints {
    std::unique_ptr<float[]> x, y, z;
    std::unique_ptr<std::int32_t[]> id;
    std::size_t size = 0;

    std::size_t Size() const { return size; }
    void Resize(std::size_t n) {
        size = n;
        x.reset(new float[n + kPad]);
        y.reset(new float[n + kPad]);
        z.reset(new float[n + kPad]);
        id.reset(new std::int32_t[n + kPad]);
        for (std::size_t i = n; i < n + kPad; ++i) Set(i, -1, Point3d(kFar, kFar, kFar));
    }
    void Set(std::size_t at, std::int32_t number, const Point3d& p) {
        x[at] = p.x;
        y[at] = p.y;
        z[at] = p.z;
        id[at] = number;
    }
    Point3d Position(std::size_t at) const { return Point3d(x[at], y[at], z[at]); }
};

}  // namespace

// Everything behind the interface: the points sorted by cell, the cells, the
// structure that finds a cell by key for point queries, and the points added
// since the last sort.
//
// Queries are const and may run side by side, so whatever they lay out is
// built once per batch of Adds under a once-flag and read-only after that:
// `prepare` sorts when enough points are new and chains the rest, `locate`
// builds the lookup that point queries need. Add, which has the object to
// itself, rearms both once they have run.
struct NeighborList::Impl {
    explicit Impl(int hashSize)
        : hashSize(static_cast<std::size_t>(std::clamp(hashSize, 8, 1 << 20))), prepare(std::in_place),
          locate(std::in_place) {}

    std::size_t hashSize;
    std::size_t stored = 0;  // points that can be found; only Add changes it

    // The points sorted by cell, and the points added since.
    CellPoints sorted;
    std::vector<VoxelData> pending;
    Point3d pendingLow, pendingHigh;  // the corners of the newcomers' box

    std::size_t LaidOut() const { return sorted.Size(); }
    std::size_t Total() const { return sorted.Size() + pending.size(); }

    // Laid-out cells in key order: cell c holds sorted[cellStart[c] .. cellStart[c + 1]).
    std::vector<std::uint64_t> cellKey;
    std::vector<std::uint32_t> cellStart;
    bool counted = false;  // the last sort was the counting sort: denseStart is its row index

    // Cell lookup: a row index of the occupied box when that is not much
    // larger than the points (kept from the counting sort, or built on the
    // first point query after a radix sort), else a hash table for point
    // queries.
    bool locatorReady = false;
    std::uint64_t boxLo[3] = {0, 0, 0};
    std::uint64_t boxSize[3] = {0, 0, 0};
    std::vector<std::uint32_t> denseStart;  // by box cell: where its points start in `sorted`
    KeyTable cellTable;

    // Chains of the points added since the last sort, per cell key.
    KeyTable chainTable;  // key -> chain number
    std::vector<std::int32_t> chainHead, chainTail;
    std::vector<std::int32_t> chainNext;  // by pending point
    std::size_t chained = 0;

    // The flags say, without the call into the once machinery, that the work
    // is done: a query then costs one load each.
    std::optional<std::once_flag> prepare, locate;
    std::atomic<bool> prepared{false}, located{false};

    struct Range {
        std::uint32_t first, last;
    };

    // The laid-out cell with this key, or -1 (hash lookup).
    std::int32_t Locate(std::uint64_t key) const { return cellTable.Find(key); }

    // The box cell (x, y, z) offsets of a key; an offset outside the box
    // wraps to a huge value and fails the bound check.
    std::uint64_t BoxOffset(std::uint64_t key, int axis) const { return Field(key, axis) - boxLo[axis]; }

    // The laid-out points of the cell with this key (after Locator()).
    Range CellRange(std::uint64_t key) const {
        if (!denseStart.empty()) {
            const std::uint64_t x = BoxOffset(key, 0), y = BoxOffset(key, 1), z = BoxOffset(key, 2);
            if (x >= boxSize[0] || y >= boxSize[1] || z >= boxSize[2]) return Range{0, 0};
            const std::uint64_t d = (z * boxSize[1] + y) * boxSize[0] + x;
            return Range{denseStart[d], denseStart[d + 1]};
        }
        const std::int32_t c = Locate(key);
        if (c < 0) return Range{0, 0};
        return Range{cellStart[static_cast<std::size_t>(c)], cellStart[static_cast<std::size_t>(c) + 1]};
    }

    // Lays out what was added since the last query, once.
    void Prepare(const NeighborList& list) {
        if (prepared.load(std::memory_order_acquire)) return;
        std::call_once(*prepare, [&] {
            // A sort costs a pass over all points; until a good share of them
            // is new, the newcomers are searched through their cells' chains.
            if (pending.size() > 256 + LaidOut() / 4) Layout(list);
            LinkPending(list);
            prepared.store(true, std::memory_order_release);
        });
    }
    // Builds the cell lookup of point queries, once; after Prepare.
    void Locator() {
        if (located.load(std::memory_order_acquire)) return;
        std::call_once(*locate, [&] {
            if (!locatorReady) BuildLocator();
            located.store(true, std::memory_order_release);
        });
    }
    // Called by Add before it changes anything a query reads.
    void Rearm() {
        if (!prepared.load(std::memory_order_relaxed)) return;
        prepare.emplace();
        locate.emplace();
        prepared.store(false, std::memory_order_relaxed);
        located.store(false, std::memory_order_relaxed);
    }

    void Layout(const NeighborList& list);

    // After a radix sort (the counting sort leaves its row index behind).
    void BuildLocator() {
        cellTable.Clear();
        if (!cellKey.empty()) {
            const std::uint64_t volume = boxSize[0] * boxSize[1] * boxSize[2];
            if (volume <= 8 * cellKey.size() + 4096) {
                // Box cells and laid-out cells share one order, so the starts
                // of the empty box cells are filled in from the next occupied one.
                denseStart.resize(volume + 1);
                std::uint64_t d = 0;
                for (std::size_t c = 0; c < cellKey.size(); ++c) {
                    const std::uint64_t at = (BoxOffset(cellKey[c], 2) * boxSize[1] + BoxOffset(cellKey[c], 1)) * boxSize[0] +
                                             BoxOffset(cellKey[c], 0);
                    for (; d <= at; ++d) denseStart[d] = cellStart[c];
                }
                for (; d <= volume; ++d) denseStart[d] = cellStart.back();
            } else {
                for (std::size_t c = 0; c < cellKey.size(); ++c)
                    cellTable.FindOrAdd(cellKey[c], static_cast<std::int32_t>(c), std::max(cellKey.size(), hashSize));
            }
        }
        locatorReady = true;
    }

    void LinkPending(const NeighborList& list) {
        for (; chained < pending.size(); ++chained) {
            const auto q = static_cast<std::int32_t>(chained);
            chainNext.push_back(-1);
            const auto fresh = static_cast<std::int32_t>(chainHead.size());
            const auto key = PointKey(pending[chained].position, list.m_inverseCell);
            const std::int32_t chain = chainTable.FindOrAdd(key, fresh);
            if (chain == fresh) {
                chainHead.push_back(q);
                chainTail.push_back(q);
                continue;
            }
            chainNext[static_cast<std::size_t>(chainTail[static_cast<std::size_t>(chain)])] = q;
            chainTail[static_cast<std::size_t>(chain)] = q;
        }
    }

    void DropChains() {
        chainTable.Clear();
        chainHead.clear();
        chainTail.clear();
        chainNext.clear();
        chained = 0;
    }
};

namespace {

// Appends pairs straight into the caller's arrays, growing them geometrically;
// the kernels then store every tested pair and advance only past close ones,
// which keeps the inner loop free of unpredictable branches. The same array
// passed twice gets each pair's two numbers one after the other.
class PairSink {
public:
    PairSink(IntArray& first, IntArray& second)
        : m_first(&first == &second ? &m_ownFirst : &first), m_second(&first == &second ? &m_ownSecond : &second),
          m_target(&first == &second ? &first : nullptr), m_base1(m_first->GetSize()), m_base2(m_second->GetSize()) {}

    // Room for `extra` more pairs; false when the arrays cannot hold them.
    bool Reserve(std::size_t extra) {
        if (m_count + extra <= m_capacity) return true;
        const std::size_t limit =
            static_cast<std::size_t>(std::numeric_limits<int>::max()) - static_cast<std::size_t>(std::max(m_base1, m_base2));
        std::size_t capacity = std::max({m_count + extra, m_capacity + m_capacity / 2, std::size_t{1024}});
        capacity = std::min(capacity, limit);
        if (capacity > m_capacity) {
            m_first->SetSize(m_base1 + static_cast<int>(capacity));
            m_second->SetSize(m_base2 + static_cast<int>(capacity));
            m_capacity = capacity;
            m_f = m_first->GetData() + m_base1;
            m_s = m_second->GetData() + m_base2;
        }
        return m_count + extra <= m_capacity;
    }
    // Appends one pair; false when the arrays are full.
    bool Put(std::int32_t a, std::int32_t b) {
        if (!Reserve(1)) return false;
        m_f[m_count] = a;
        m_s[m_count] = b;
        ++m_count;
        return true;
    }

    // The kernels write through these after a successful Reserve.
    std::int32_t* m_f = nullptr;
    std::int32_t* m_s = nullptr;
    std::size_t m_count = 0;

    int Finish() {
        m_first->SetSize(m_base1 + static_cast<int>(m_count));
        m_second->SetSize(m_base2 + static_cast<int>(m_count));
        if (!m_target) return m_first->GetSize();
        const int room = std::numeric_limits<int>::max() - m_target->GetSize();
        const int pairs = static_cast<int>(std::min<std::size_t>(m_count, static_cast<std::size_t>(room / 2)));
        for (int i = 0; i < pairs; ++i) {
            m_target->Add(m_ownFirst[i]);
            m_target->Add(m_ownSecond[i]);
        }
        return m_target->GetSize();
    }

private:
    IntArray m_ownFirst, m_ownSecond;
    IntArray* m_first;
    IntArray* m_second;
    IntArray* m_target;
    int m_base1, m_base2;
    std::size_t m_capacity = 0;
};

// Counts pairs without keeping them: the kernels write each point's
// candidates into a scratch as large as one point's candidates, and Reserve,
// called before every point, tallies and rewinds it.
class CountSink {
public:
    bool Reserve(std::size_t extra) {
        m_total += m_count;
        m_count = 0;
        if (extra > m_scratch.size() / 2) {
            m_scratch.resize(2 * extra);
            m_f = m_scratch.data();
            m_s = m_f + extra;
        }
        return true;
    }
    bool Put(std::int32_t, std::int32_t) {
        ++m_count;
        return true;
    }
    std::size_t Total() const { return m_total + m_count; }

    std::int32_t* m_f = nullptr;
    std::int32_t* m_s = nullptr;
    std::size_t m_count = 0;

private:
    std::vector<std::int32_t> m_scratch;
    std::size_t m_total = 0;
};

}  // namespace

NeighborList::NeighborList(double cutoff, int hashSize)
    : m_cutoff(cutoff),
      m_inverseCell(1.0 / (cutoff * kCellMargin)),
      m_cutoff2(cutoff * cutoff),
      m_active(std::isfinite(cutoff) && cutoff > 0.0 && std::isfinite(1.0 / cutoff)),
      m_floatFilter(m_cutoff2 >= 1e-30 && m_cutoff2 <= 1e30),
      m_impl(std::make_unique<Impl>(hashSize)) {}

NeighborList::~NeighborList() = default;

int NeighborList::GetSubIndex(double v) const { return SubIndex(v, m_inverseCell); }

std::int64_t NeighborList::GetIndex(int i, int j, int k) const { return static_cast<std::int64_t>(PackKey(i, j, k)); }

std::int64_t NeighborList::GetIndex(const Point3d& p) const {
    if (!IsFinite(p)) return -1;
    return static_cast<std::int64_t>(PointKey(p, m_inverseCell));
}

int NeighborList::Add(const Point3d& p) {
    if (m_count == std::numeric_limits<std::int32_t>::max()) return -1;
    const std::int32_t number = m_count++;
    if (!m_active || !IsFinite(p)) return number;  // numbered, never found
    Impl& m = *m_impl;
    m.Rearm();
    if (m.pending.empty()) m.pendingLow = m.pendingHigh = p;
    Point3d& low = m.pendingLow;
    Point3d& high = m.pendingHigh;
    low = Point3d(std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z));
    high = Point3d(std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z));
    m.pending.push_back(VoxelData{number, p});  // filed into its cell by the next sort
    ++m.stored;
    return number;
}

// Sorts every point by cell, stably: a cell keeps its points in the order of
// addition. A counting sort over the occupied box when the box holds no more
// cells than about sixteen times the points (one pass, like a dense grid; its
// row index, 4 bytes a box cell, is kept for the queries), else a radix sort
// of the keys squeezed to the bits each axis needs. Molecules at bond cutoffs
// fill about one box cell in ten, so they take the first way.
void NeighborList::Impl::Layout(const NeighborList& list) {
    Impl& m = *this;
    const std::size_t old = m.LaidOut(), total = m.Total();
    if (total == old) return;
    m.DropChains();

    // The occupied box, in cell indices: the cells laid out so far, and the
    // cells of the extreme coordinates of the new points (the index is monotone).
    std::uint64_t lo[3] = {kFieldMask, kFieldMask, kFieldMask}, hi[3] = {0, 0, 0};
    const auto widen = [&](std::uint64_t key) {
        for (int axis = 0; axis < 3; ++axis) {
            lo[axis] = std::min(lo[axis], Field(key, axis));
            hi[axis] = std::max(hi[axis], Field(key, axis));
        }
    };
    for (std::uint64_t key : m.cellKey) widen(key);
    widen(PointKey(m.pendingLow, list.m_inverseCell));
    widen(PointKey(m.pendingHigh, list.m_inverseCell));
    std::uint64_t size[3];
    for (int axis = 0; axis < 3; ++axis) size[axis] = hi[axis] - lo[axis] + 1;
    const std::uint64_t volume = size[0] * size[1] * size[2];  // at most 2^63
    const bool dense = volume <= 16 * static_cast<std::uint64_t>(total) + 4096;

    // Each point's sort key, in the current order; earlier points through their cells.
    int width[3] = {0, 0, 0};
    if (!dense)
        for (int axis = 0; axis < 3; ++axis) width[axis] = BitWidth(size[axis] - 1);
    const auto sortKey = [&](std::uint64_t key) {
        const std::uint64_t x = Field(key, 0) - lo[0], y = Field(key, 1) - lo[1], z = Field(key, 2) - lo[2];
        return dense ? (z * size[1] + y) * size[0] + x : (z << (width[0] + width[1])) | (y << width[0]) | x;
    };
    const auto fillKeys = [&](auto& keys) {
        using Key = typename std::decay_t<decltype(keys)>::value_type;
        keys.resize(total);
        for (std::size_t c = 0; c < m.cellKey.size(); ++c)
            std::fill(keys.begin() + m.cellStart[c], keys.begin() + m.cellStart[c + 1],
                      static_cast<Key>(sortKey(m.cellKey[c])));
        // A point's cell indices are already clamped into the key range.
        const double inverse = list.m_inverseCell;
        const auto offset = [&](float v, int axis) {
            return static_cast<std::uint64_t>(SubIndex(v, inverse) + kBias) - lo[axis];
        };
        for (std::size_t i = old; i < total; ++i) {
            const Point3d& p = m.pending[i - old].position;
            const std::uint64_t x = offset(p.x, 0), y = offset(p.y, 1), z = offset(p.z, 2);
            keys[i] = static_cast<Key>(dense ? (z * size[1] + y) * size[0] + x
                                             : (z << (width[0] + width[1])) | (y << width[0]) | x);
        }
    };

    CellPoints sorted;
    sorted.Resize(total);
    const auto move = [&](std::size_t from, std::size_t to) {
        if (from < old)
            sorted.Set(to, m.sorted.id[from], m.sorted.Position(from));
        else
            sorted.Set(to, m.pending[from - old].index, m.pending[from - old].position);
    };
    std::vector<std::uint64_t> cellKey;
    std::vector<std::uint32_t> cellStart;
    std::vector<std::uint32_t> boxStart;
    const auto addCell = [&](std::uint64_t x, std::uint64_t y, std::uint64_t z, std::uint32_t start) {
        cellKey.push_back(((z + lo[2]) << (2 * kFieldBits)) | ((y + lo[1]) << kFieldBits) | (x + lo[0]));
        cellStart.push_back(start);
    };
    if (dense) {
        std::vector<std::uint32_t> keys;  // the box index: below 2^32 as the box is small
        fillKeys(keys);
        // Counted one slot on, the running starts end up as the box's row index:
        // after the scatter, boxStart[d] is where box cell d starts.
        boxStart.assign(volume + 2, 0);
        std::size_t occupied = 0;
        for (std::uint32_t key : keys) occupied += boxStart[key + 2]++ == 0 ? 1 : 0;
        cellKey.reserve(occupied);
        cellStart.reserve(occupied + 1);
        for (std::uint64_t d = 1; d <= volume; ++d) boxStart[d + 1] += boxStart[d];
        for (std::size_t i = 0; i < total; ++i) move(i, boxStart[keys[i] + 1]++);
        boxStart.pop_back();
        std::uint64_t d = 0;
        for (std::uint64_t z = 0; z < size[2]; ++z)
            for (std::uint64_t y = 0; y < size[1]; ++y, d += size[0]) {
                if (boxStart[d + size[0]] == boxStart[d]) continue;  // an empty row
                for (std::uint64_t x = 0; x < size[0]; ++x)
                    if (boxStart[d + x + 1] > boxStart[d + x]) addCell(x, y, z, boxStart[d + x]);
            }
    } else {
        std::vector<std::uint64_t> keys;
        fillKeys(keys);
        std::vector<std::uint32_t> order(total), next(total);
        for (std::size_t i = 0; i < total; ++i) order[i] = static_cast<std::uint32_t>(i);
        constexpr int kDigitBits = 11;
        for (int shift = 0; shift < width[0] + width[1] + width[2]; shift += kDigitBits) {
            CountingPass(keys, order, next, std::size_t{1} << kDigitBits,
                         [shift](std::uint64_t key) { return (key >> shift) & ((1u << kDigitBits) - 1); });
            order.swap(next);
        }
        const std::uint64_t maskX = (std::uint64_t{1} << width[0]) - 1, maskY = (std::uint64_t{1} << width[1]) - 1;
        for (std::size_t k = 0; k < total; ++k) {
            move(order[k], k);
            const std::uint64_t key = keys[order[k]];
            if (k == 0 || key != keys[order[k - 1]])
                addCell(key & maskX, (key >> width[0]) & maskY, key >> (width[0] + width[1]), static_cast<std::uint32_t>(k));
        }
    }
    cellStart.push_back(static_cast<std::uint32_t>(total));

    m.sorted = std::move(sorted);
    std::vector<VoxelData>().swap(m.pending);
    m.cellKey.swap(cellKey);
    m.cellStart.swap(cellStart);
    m.denseStart.swap(boxStart);  // empty after the radix sort
    m.cellTable.Clear();
    for (int axis = 0; axis < 3; ++axis) {
        m.boxLo[axis] = lo[axis];
        m.boxSize[axis] = size[axis];
    }
    m.counted = dense;
    m.locatorReady = dense;
}

// ---- queries -----------------------------------------------------------------
int NeighborList::GetNeighbors(const Point3d& p, IntArray& found) const { return GetNeighbors(p, m_cutoff, found); }

int NeighborList::GetNeighbors(const Point3d& p, double radius, IntArray& found) const {
    Impl& state = *m_impl;
    if (!m_active || !(radius > 0.0) || !IsFinite(p) || state.stored == 0) return -1;
    state.Prepare(*this);
    state.Locator();
    const Impl& m = state;  // read-only from here on: other queries may be reading it too
    using Range = Impl::Range;

    // The 27 cells around p as rows along x: each row's cells in the order
    // di = 0, -1, +1 (empty when absent). A row's cells lie side by side in
    // storage, -1 first.
    const std::uint64_t here = PointKey(p, m_inverseCell);
    const std::size_t numCells = m.cellKey.size();
    const std::uint64_t x = m.BoxOffset(here, 0), sizeX = m.boxSize[0];
    Range cells[9][3];
    std::size_t candidates = 0;
    for (int r = 0; r < 9; ++r) {
        const std::uint64_t key = here + KeyDelta(0, kQueryRows[r][0], kQueryRows[r][1]);
        Range* row = cells[r];
        row[0] = row[1] = row[2] = Range{0, 0};
        if (!m.denseStart.empty()) {
            // A row of the box: its cells' starts sit side by side.
            const std::uint64_t y = m.BoxOffset(key, 1), z = m.BoxOffset(key, 2);
            if (y < m.boxSize[1] && z < m.boxSize[2]) {
                const std::uint32_t* start = m.denseStart.data() + (z * m.boxSize[1] + y) * sizeX;
                const std::uint64_t at[3] = {x, x - 1, x + 1};  // below 0 wraps
                for (int i = 0; i < 3; ++i)
                    if (at[i] < sizeX) row[i] = Range{start[at[i]], start[at[i] + 1]};
            }
        } else {
            const std::int32_t center = m.Locate(key);
            std::int32_t minus, plus;
            if (center >= 0) {
                // Cells are in key order: the row's neighbours sit beside it.
                const auto c = static_cast<std::size_t>(center);
                minus = c > 0 && m.cellKey[c - 1] == key - 1 ? center - 1 : -1;
                plus = c + 1 < numCells && m.cellKey[c + 1] == key + 1 ? center + 1 : -1;
            } else {
                minus = m.Locate(key - 1);
                plus = m.Locate(key + 1);
            }
            const std::int32_t found3[3] = {center, minus, plus};
            for (int i = 0; i < 3; ++i)
                if (found3[i] >= 0) {
                    const auto c = static_cast<std::size_t>(found3[i]);
                    row[i] = Range{m.cellStart[c], m.cellStart[c + 1]};
                }
        }
        for (int i = 0; i < 3; ++i) candidates += row[i].last - row[i].first;
    }

    // Candidates are screened in float; the ones that pass are decided in
    // double. The screen admits a relative 2^-20 beyond the radius, far more
    // than the float rounding, so it never drops a point that is close.
    const double r2 = radius * radius;
    const bool screen = r2 >= 1e-30 && r2 <= 1e30;
    const float screenR2 = screen ? static_cast<float>(r2) * (1.0f + 1.0f / (1 << 20)) : 0.0f;
    const float qx = p.x, qy = p.y, qz = p.z;
    double best = std::numeric_limits<double>::infinity();
    int nearest = -1;
    const CellPoints& sorted = m.sorted;
    const int base = found.GetSize();

    if (m.pending.empty() && candidates + kPad <= static_cast<std::size_t>(std::numeric_limits<int>::max() - base)) {
        // Room for every candidate: each row is screened in one pass, four
        // at a time, its passing storage slots written without a branch;
        // the slots of the row's own cell are then moved before those of the
        // cell at -x. A last pass decides the slots in double, keeps the
        // close ones as point numbers and finds the nearest.
        found.SetSize(base + static_cast<int>(candidates + kPad));
        std::int32_t* out = found.GetData() + base;
        std::size_t n = 0;
        for (const Range* row : cells) {
            std::uint32_t lo = std::numeric_limits<std::uint32_t>::max(), hi = 0;
            for (int i = 0; i < 3; ++i)
                if (row[i].last > row[i].first) {
                    lo = std::min(lo, row[i].first);
                    hi = std::max(hi, row[i].last);
                }
            if (lo >= hi) continue;
            const std::size_t rowStart = n;
            if (!screen) {
                for (std::uint32_t v = lo; v < hi; ++v) out[n++] = static_cast<std::int32_t>(v);
            } else {
#if defined(__SSE2__)
                const __m128 vx = _mm_set1_ps(qx), vy = _mm_set1_ps(qy), vz = _mm_set1_ps(qz), vr = _mm_set1_ps(screenR2);
                for (std::uint32_t v = lo; v < hi; v += 4) {
                    const __m128 dx = _mm_sub_ps(_mm_loadu_ps(sorted.x.get() + v), vx);
                    const __m128 dy = _mm_sub_ps(_mm_loadu_ps(sorted.y.get() + v), vy);
                    const __m128 dz = _mm_sub_ps(_mm_loadu_ps(sorted.z.get() + v), vz);
                    const __m128 d2 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
                    const int lanes = hi - v >= 4 ? 0xF : (1 << (hi - v)) - 1;
                    const int pass = _mm_movemask_ps(_mm_cmplt_ps(d2, vr)) & lanes;
                    for (std::uint32_t lane = 0; lane < 4; ++lane) {
                        out[n] = static_cast<std::int32_t>(v + lane);
                        n += static_cast<std::uint32_t>(pass >> lane) & 1;
                    }
                }
#else
                for (std::uint32_t v = lo; v < hi; ++v) {
                    const float dx = sorted.x[v] - qx, dy = sorted.y[v] - qy, dz = sorted.z[v] - qz;
                    out[n] = static_cast<std::int32_t>(v);
                    n += dx * dx + dy * dy + dz * dz < screenR2 ? 1 : 0;
                }
#endif
            }
            // Slots ascend: the cell at -x, the row's own cell, the cell at +x.
            const auto minusEnd = static_cast<std::int32_t>(row[1].last > row[1].first ? row[1].last : lo);
            const auto centerEnd = static_cast<std::int32_t>(row[0].last > row[0].first ? row[0].last : minusEnd);
            std::size_t minusHits = 0, centerHits = 0;
            for (std::size_t h = rowStart; h < n; ++h) {
                minusHits += out[h] < minusEnd ? 1 : 0;
                centerHits += out[h] >= minusEnd && out[h] < centerEnd ? 1 : 0;
            }
            if (minusHits && centerHits)
                std::rotate(out + rowStart, out + rowStart + minusHits, out + rowStart + minusHits + centerHits);
        }
        std::size_t kept = 0;
        for (std::size_t h = 0; h < n; ++h) {
            const auto at = static_cast<std::size_t>(out[h]);
            const double d2 = p.Distance2(sorted.Position(at));
            const std::int32_t number = sorted.id[at];
            out[kept] = number;
            const bool close = d2 < r2;
            if (close && d2 < best) {
                best = d2;
                nearest = number;
            }
            kept += close ? 1 : 0;
        }
        found.SetSize(base + static_cast<int>(kept));
        return nearest;
    }

    // Newcomers since the last sort (or a result near the array's limit):
    // cell by cell, each cell's laid-out points and then its newcomers,
    // which together keep the order of addition.
    const auto test = [&](const Point3d& position, std::int32_t number) {
        if (screen) {
            const float dx = position.x - qx, dy = position.y - qy, dz = position.z - qz;
            if (!(dx * dx + dy * dy + dz * dz < screenR2)) return;
        }
        const double d2 = p.Distance2(position);
        if (d2 < r2) {
            found.Add(number);
            if (d2 < best) {
                best = d2;
                nearest = number;
            }
        }
    };
    const bool chains = !m.pending.empty();
    for (int r = 0; r < 9; ++r) {
        const std::uint64_t key = here + KeyDelta(0, kQueryRows[r][0], kQueryRows[r][1]);
        const std::uint64_t keys[3] = {key, key - 1, key + 1};
        for (int i = 0; i < 3; ++i) {
            for (std::uint32_t v = cells[r][i].first; v < cells[r][i].last; ++v) test(sorted.Position(v), sorted.id[v]);
            if (!chains) continue;
            const std::int32_t chain = m.chainTable.Find(keys[i]);
            if (chain < 0) continue;
            for (std::int32_t q = m.chainHead[static_cast<std::size_t>(chain)]; q >= 0;
                 q = m.chainNext[static_cast<std::size_t>(q)])
                test(m.pending[static_cast<std::size_t>(q)].position, m.pending[static_cast<std::size_t>(q)].index);
        }
    }
    return nearest;
}

namespace {

struct PairScreen {
    double cutoff2;
    bool useFloat;  // screen in float; decide near the cutoff in double
    float lo, hi;
};

// Candidates first <= j < last of the laid-out points against point
// (ax, ay, az): stores every candidate at out[n] and advances n past the close
// ones, without a branch per candidate. With the float screen, distances are
// computed four at a time in single precision (a group with no close
// candidate, most of them, writes nothing), lanes past
// `last` masked off (the padding keeps their loads inside the arrays); only
// candidates within a relative 2^-20 of the cutoff (well beyond the rounding
// of that computation) are decided again in double, exactly as a point query
// decides them. Writes at most kPad - 1 slots beyond the candidates.
inline std::size_t PairRun(const CellPoints& v, std::size_t first, std::size_t last, float ax, float ay, float az,
                           std::int32_t ida, const PairScreen& screen, std::int32_t* f, std::int32_t* s, std::size_t n) {
    const float* x = v.x.get();
    const float* y = v.y.get();
    const float* z = v.z.get();
    const std::int32_t* id = v.id.get();
    const auto exact = [&](std::size_t j) {
        const double dx = double(x[j]) - ax, dy = double(y[j]) - ay, dz = double(z[j]) - az;
        return dx * dx + dy * dy + dz * dz < screen.cutoff2;
    };
    std::size_t j = first;
    if (!screen.useFloat) {
        for (; j < last; ++j) {
            f[n] = ida;
            s[n] = id[j];
            n += exact(j) ? 1 : 0;
        }
        return n;
    }
#if defined(__SSE2__)
    const __m128 vx = _mm_set1_ps(ax), vy = _mm_set1_ps(ay), vz = _mm_set1_ps(az);
    const __m128 vlo = _mm_set1_ps(screen.lo), vhi = _mm_set1_ps(screen.hi);
    for (; j < last; j += 4) {
        const __m128 dx = _mm_sub_ps(_mm_loadu_ps(x + j), vx);
        const __m128 dy = _mm_sub_ps(_mm_loadu_ps(y + j), vy);
        const __m128 dz = _mm_sub_ps(_mm_loadu_ps(z + j), vz);
        const __m128 d2 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
        const int lanes = last - j >= 4 ? 0xF : (1 << (last - j)) - 1;
        int keep = _mm_movemask_ps(_mm_cmplt_ps(d2, vlo)) & lanes;
        const int near = _mm_movemask_ps(_mm_cmplt_ps(d2, vhi)) & lanes & ~keep;
        if (near)
            for (int lane = 0; lane < 4; ++lane)
                if ((near >> lane) & 1) keep |= exact(j + static_cast<std::size_t>(lane)) << lane;
        if (!keep) continue;  // most groups, at the cutoffs of molecules
        for (int lane = 0; lane < 4; ++lane) {
            f[n] = ida;
            s[n] = id[j + static_cast<std::size_t>(lane)];
            n += static_cast<std::size_t>((keep >> lane) & 1);
        }
    }
#else
    for (; j < last; ++j) {
        const float dx = x[j] - ax, dy = y[j] - ay, dz = z[j] - az;
        const float d2 = dx * dx + dy * dy + dz * dz;
        bool keep = d2 < screen.lo;
        // Bitwise, not short-circuit: `keep` itself is unpredictable, `near` almost never set.
        const bool near = (d2 < screen.hi) & !keep;
        if (near) keep = exact(j);
        f[n] = ida;
        s[n] = id[j];
        n += keep ? 1 : 0;
    }
#endif
    return n;
}

// The pair test of one laid-out cell [begin, end): each of its points against
// the points stored after it up to `ahead` (the rest of the cell and the cell
// at +x), then against the runs [first, last) of neighbouring cells, in that
// order.
template <class Sink>
void AddPairs(const CellPoints& v, std::uint32_t begin, std::uint32_t end, std::uint32_t ahead,
              const std::uint32_t (*runs)[2], int numRuns, const PairScreen& screen, Sink& sink) {
    std::size_t others = 0;
    for (int r = 0; r < numRuns; ++r) others += runs[r][1] - runs[r][0];
    for (std::uint32_t a = begin; a < end; ++a) {
        const float ax = v.x[a], ay = v.y[a], az = v.z[a];
        const std::int32_t ida = v.id[a];
        // Room for every candidate of this point (never more than one point's
        // worth beyond the pairs found).
        if (!sink.Reserve(ahead - a - 1 + others + kPad)) {
            // The arrays cannot grow that far: store pairs one by one until full.
            const auto one = [&](std::uint32_t first, std::uint32_t last) {
                for (std::uint32_t j = first; j < last; ++j) {
                    const double dx = double(v.x[j]) - ax, dy = double(v.y[j]) - ay, dz = double(v.z[j]) - az;
                    if (dx * dx + dy * dy + dz * dz < screen.cutoff2 && !sink.Put(ida, v.id[j])) return false;
                }
                return true;
            };
            if (!one(a + 1, ahead)) return;
            for (int r = 0; r < numRuns; ++r)
                if (!one(runs[r][0], runs[r][1])) return;
            continue;
        }
        std::size_t n = PairRun(v, a + 1, ahead, ax, ay, az, ida, screen, sink.m_f, sink.m_s, sink.m_count);
        for (int r = 0; r < numRuns; ++r) n = PairRun(v, runs[r][0], runs[r][1], ax, ay, az, ida, screen, sink.m_f, sink.m_s, n);
        sink.m_count = n;
    }
}

}  // namespace

int NeighborList::GetPairs(IntArray& pairFirst, IntArray& pairSecond) const {
    Impl& state = *m_impl;
    if (!m_active || state.stored == 0) return pairFirst.GetSize();
    state.Prepare(*this);
    if (!state.pending.empty()) state.Locator();  // the newcomers look their cells up
    const Impl& m = state;  // read-only from here on: other queries may be reading it too

    const float c2f = static_cast<float>(m_cutoff2);
    const PairScreen screen{m_cutoff2, m_floatFilter, c2f * (1.0f - 1.0f / (1 << 20)), c2f * (1.0f + 1.0f / (1 << 20))};
    const CellPoints& v = m.sorted;

    // Walks the laid-out cells in key order and hands each occupied one to
    // visit(begin, end, ahead, runs, numRuns); `sampleStride` above 1 takes
    // about one in that many rows (box) or cells (sparse), spread evenly.
    const auto walk = [&](std::uint64_t sampleStride, auto&& visit) {
        const auto taken = [sampleStride](std::uint64_t n) {
            return sampleStride <= 1 || ((n * 0x9E3779B97F4A7C15ull) >> 40) % sampleStride == 0;
        };
        std::uint32_t runs[4][2];
        if (m.counted) {
            // The box's row index: every neighbour row is found by arithmetic.
            const std::uint64_t sx = m.boxSize[0], sy = m.boxSize[1], sz = m.boxSize[2];
            const std::uint32_t* start = m.denseStart.data();
            for (std::uint64_t z = 0; z < sz; ++z)
                for (std::uint64_t y = 0; y < sy; ++y) {
                    const std::uint64_t row = (z * sy + y) * sx;
                    if (start[row] == start[row + sx] || !taken(z * sy + y)) continue;
                    for (std::uint64_t x = 0; x < sx; ++x) {
                        const std::uint32_t begin = start[row + x], end = start[row + x + 1];
                        if (begin == end) continue;
                        // The cell itself and the cell at +x are one run: each
                        // point meets the points stored after it.
                        const std::uint32_t ahead = start[row + std::min(x + 2, sx)];
                        int numRuns = 0;
                        for (const auto& r : kPairRows) {
                            const std::uint64_t ny = y + static_cast<std::uint64_t>(r[0]), nz = z + static_cast<std::uint64_t>(r[1]);
                            if (ny >= sy || nz >= sz) continue;  // below 0 wraps
                            const std::uint64_t other = (nz * sy + ny) * sx;
                            const std::uint32_t first = start[other + (x ? x - 1 : 0)], last = start[other + std::min(x + 2, sx)];
                            if (first == last) continue;
                            runs[numRuns][0] = first;
                            runs[numRuns][1] = last;
                            ++numRuns;
                        }
                        visit(begin, end, ahead, runs, numRuns);
                    }
                }
            return;
        }
        const std::uint64_t* keys = m.cellKey.data();
        const std::size_t numCells = m.cellKey.size();
        std::size_t cursor[4] = {0, 0, 0, 0};  // per half-shell row: first cell not below its reach
        for (std::size_t c = 0; c < numCells; ++c) {
            if (!taken(c)) continue;
            const std::uint64_t key = keys[c];
            const std::uint32_t ahead = m.cellStart[c + 1 < numCells && keys[c + 1] == key + 1 ? c + 2 : c + 1];
            // Cells are in key order and each row's reach rises with the key, so
            // every row keeps a cursor that only moves forward: a merge, no
            // lookups (a sample, skipping most cells, searches instead). The up
            // to three cells of a row are one run too.
            int numRuns = 0;
            for (int r = 0; r < 4; ++r) {
                const std::uint64_t lo = key + KeyDelta(-1, kPairRows[r][0], kPairRows[r][1]);
                std::size_t& d = cursor[r];
                if (sampleStride > 1) d = static_cast<std::size_t>(std::lower_bound(keys + d, keys + numCells, lo) - keys);
                while (d < numCells && keys[d] < lo) ++d;
                std::size_t e = d;
                while (e < numCells && keys[e] <= lo + 2) ++e;
                if (e > d) {
                    runs[numRuns][0] = m.cellStart[d];
                    runs[numRuns][1] = m.cellStart[e];
                    ++numRuns;
                }
            }
            visit(m.cellStart[c], m.cellStart[c + 1], ahead, runs, numRuns);
        }
    };

    // The output is sized once from the pairs of a sample of the cells, so
    // that it is neither copied while it grows nor cleared far beyond its
    // final size (a fresh process pays for every page it touches). Small
    // lists simply grow.
    PairSink sink(pairFirst, pairSecond);
    const std::size_t laidOut = m.LaidOut();
    const std::uint64_t stride = std::min<std::uint64_t>(32, laidOut / 1024);
    if (stride >= 8) {
        CountSink counter;
        std::size_t sampled = 0;
        walk(stride, [&](std::uint32_t begin, std::uint32_t end, std::uint32_t ahead, const std::uint32_t(*runs)[2],
                         int numRuns) {
            sampled += end - begin;
            AddPairs(v, begin, end, ahead, runs, numRuns, screen, counter);
        });
        if (sampled > 0) {
            // Newcomers meet about as many neighbours as laid-out points, and
            // each of their pairs has one of them.
            const double perPoint = static_cast<double>(counter.Total()) / static_cast<double>(sampled);
            const double estimate = perPoint * static_cast<double>(laidOut + 2 * m.pending.size());
            // A sample that met a rare dense clump can overshoot wildly: past
            // 64 pairs a point the output grows as it fills instead.
            const double cap = 64.0 * static_cast<double>(m.Total());
            sink.Reserve(static_cast<std::size_t>(std::min(estimate * 1.125 + 4096.0, cap)));
        }
    }
    walk(1, [&](std::uint32_t begin, std::uint32_t end, std::uint32_t ahead, const std::uint32_t(*runs)[2], int numRuns) {
        AddPairs(v, begin, end, ahead, runs, numRuns, screen, sink);
    });

    // Pairs with a newcomer: each against the laid-out points of the 27 cells
    // around it, and against the newcomers after it in those cells' chains.
    for (std::size_t q = 0; q < m.pending.size(); ++q) {
        const VoxelData& a = m.pending[q];
        const std::uint64_t here = PointKey(a.position, m_inverseCell);
        for (const auto& row : kQueryRows)
            for (int di = -1; di <= 1; ++di) {
                const std::uint64_t key = here + KeyDelta(di, row[0], row[1]);
                const Impl::Range cell = m.CellRange(key);
                for (std::uint32_t b = cell.first; b < cell.last; ++b)
                    if (a.position.Distance2(v.Position(b)) < m_cutoff2 && !sink.Put(v.id[b], a.index))
                        return sink.Finish();
                const std::int32_t chain = m.chainTable.Find(key);
                if (chain < 0) continue;
                for (std::int32_t b = m.chainHead[static_cast<std::size_t>(chain)]; b >= 0;
                     b = m.chainNext[static_cast<std::size_t>(b)]) {
                    const VoxelData& other = m.pending[static_cast<std::size_t>(b)];
                    if (static_cast<std::size_t>(b) > q && a.position.Distance2(other.position) < m_cutoff2 &&
                        !sink.Put(a.index, other.index))
                        return sink.Finish();
                }
            }
    }
    return sink.Finish();
}

}  // namespace Tessary
