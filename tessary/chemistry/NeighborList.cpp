#include "tessary/chemistry/NeighborList.h"

#include <algorithm>
#include <cmath>
#include <limits>

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
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(di) + (static_cast<std::int64_t>(dj) << kFieldBits) +
                                      (static_cast<std::int64_t>(dk) << (2 * kFieldBits)));
}

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

std::uint64_t HashKey(std::uint64_t key, int shift) { return (key * 0x9E3779B97F4A7C15ull) >> shift; }

int BitWidth(std::uint64_t v) {
    int bits = 0;
    while (v) {
        ++bits;
        v >>= 1;
    }
    return bits;
}

}  // namespace

// Appends pairs straight into the caller's arrays, growing them geometrically;
// the kernels then store every tested pair and advance only past close ones,
// which keeps the inner loop free of unpredictable branches. The same array
// passed twice gets each pair's two numbers one after the other.
class NeighborList::PairSink {
public:
    PairSink(IntArray& first, IntArray& second)
        : m_first(&first == &second ? &m_ownFirst : &first), m_second(&first == &second ? &m_ownSecond : &second),
          m_target(&first == &second ? &first : nullptr), m_base1(m_first->GetSize()), m_base2(m_second->GetSize()) {}

    // Room for `extra` more pairs; false when the arrays cannot hold them.
    bool Reserve(std::size_t extra) {
        if (m_count + extra <= m_capacity) return true;
        const std::size_t limit =
            static_cast<std::size_t>(std::numeric_limits<int>::max()) - static_cast<std::size_t>(std::max(m_base1, m_base2));
        std::size_t capacity = std::max({m_count + extra, 2 * m_capacity, std::size_t{1024}});
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

NeighborList::NeighborList(double cutoff, int hashSize)
    : m_cutoff(cutoff),
      m_inverseCell(1.0 / (cutoff * kCellMargin)),
      m_cutoff2(cutoff * cutoff),
      m_active(std::isfinite(cutoff) && cutoff > 0.0 && std::isfinite(m_inverseCell)),
      m_hashSize(std::clamp(hashSize, 8, 1 << 20)) {}

NeighborList::~NeighborList() = default;

int NeighborList::GetSubIndex(double v) const {
    double s = std::floor(v * m_inverseCell);
    if (!(s >= kMinIndex)) s = kMinIndex;  // also catches NaN
    if (s > kMaxIndex) s = kMaxIndex;
    return static_cast<int>(s);
}

std::int64_t NeighborList::GetIndex(int i, int j, int k) const {
    const auto field = [](int v) { return static_cast<std::uint64_t>(std::clamp(v, kMinIndex, kMaxIndex) + kBias); };
    return static_cast<std::int64_t>((field(k) << (2 * kFieldBits)) | (field(j) << kFieldBits) | field(i));
}

std::int64_t NeighborList::GetIndex(const Point3d& p) const {
    if (!IsFinite(p)) return -1;
    return GetIndex(GetSubIndex(p.x), GetSubIndex(p.y), GetSubIndex(p.z));
}

// ---- the cell table ----------------------------------------------------------
std::int32_t NeighborList::FindCell(std::uint64_t key) const {
    if (m_table.empty()) return -1;
    const std::size_t mask = m_table.size() - 1;
    for (std::size_t slot = HashKey(key, m_tableShift);; slot = (slot + 1) & mask) {
        const Bucket& bucket = m_table[slot];
        if (bucket.key == key) return bucket.cell;
        if (bucket.key == kEmptyKey) return -1;
    }
}

std::int32_t NeighborList::FindOrAddCell(std::uint64_t key) {
    if (2 * (m_cellKey.size() + 1) > m_table.size()) GrowTable();
    const std::size_t mask = m_table.size() - 1;
    for (std::size_t slot = HashKey(key, m_tableShift);; slot = (slot + 1) & mask) {
        Bucket& bucket = m_table[slot];
        if (bucket.key == key) return bucket.cell;
        if (bucket.key == kEmptyKey) {
            bucket.key = key;
            bucket.cell = static_cast<std::int32_t>(m_cellKey.size());
            m_cellKey.push_back(key);
            return bucket.cell;
        }
    }
}

void NeighborList::GrowTable() {
    std::size_t size = m_table.empty() ? 2 * static_cast<std::size_t>(m_hashSize) : 2 * m_table.size();
    int bits = BitWidth(size - 1);
    size = std::size_t{1} << bits;
    std::vector<Bucket> old(size, Bucket{kEmptyKey, -1});
    old.swap(m_table);
    m_tableShift = 64 - bits;
    const std::size_t mask = size - 1;
    for (const Bucket& bucket : old) {
        if (bucket.key == kEmptyKey) continue;
        std::size_t slot = HashKey(bucket.key, m_tableShift);
        while (m_table[slot].key != kEmptyKey) slot = (slot + 1) & mask;
        m_table[slot] = bucket;
    }
}

// ---- adding and laying out -----------------------------------------------------
int NeighborList::Add(const Point3d& p) {
    if (m_count == std::numeric_limits<std::int32_t>::max()) return -1;
    const std::int32_t number = m_count++;
    if (!m_active) return number;  // nothing can ever be found: keep nothing
    PendingPoint pending{p.x, p.y, p.z, -1};
    if (IsFinite(p)) pending.cell = FindOrAddCell(static_cast<std::uint64_t>(GetIndex(p)));
    m_pending.push_back(pending);
    return number;
}

// Cell numbers in key order, by a radix sort of the keys squeezed to the bits
// that the occupied range of each axis needs.
std::vector<std::int32_t> NeighborList::SortCellsByKey() const {
    const std::size_t n = m_cellKey.size();
    std::uint64_t lo[3] = {kFieldMask, kFieldMask, kFieldMask}, hi[3] = {0, 0, 0};
    for (std::uint64_t key : m_cellKey)
        for (int f = 0; f < 3; ++f) {
            const std::uint64_t v = (key >> (f * kFieldBits)) & kFieldMask;
            lo[f] = std::min(lo[f], v);
            hi[f] = std::max(hi[f], v);
        }
    int width[3], shift[3], total = 0;
    for (int f = 0; f < 3; ++f) {
        width[f] = n ? BitWidth(hi[f] - lo[f]) : 0;
        shift[f] = total;
        total += width[f];
    }
    std::vector<std::uint64_t> keys(n), keysTmp(n);
    std::vector<std::int32_t> order(n), orderTmp(n);
    for (std::size_t c = 0; c < n; ++c) {
        std::uint64_t compact = 0;
        for (int f = 0; f < 3; ++f) compact |= (((m_cellKey[c] >> (f * kFieldBits)) & kFieldMask) - lo[f]) << shift[f];
        keys[c] = compact;
        order[c] = static_cast<std::int32_t>(c);
    }
    constexpr int kDigitBits = 11;
    constexpr std::size_t kBuckets = std::size_t{1} << kDigitBits;
    std::vector<std::uint32_t> histogram(kBuckets);
    for (int pass = 0; pass * kDigitBits < total; ++pass) {
        const int digitShift = pass * kDigitBits;
        std::fill(histogram.begin(), histogram.end(), 0u);
        for (std::uint64_t key : keys) ++histogram[(key >> digitShift) & (kBuckets - 1)];
        std::uint32_t sum = 0;
        for (std::uint32_t& h : histogram) {
            const std::uint32_t count = h;
            h = sum;
            sum += count;
        }
        for (std::size_t c = 0; c < n; ++c) {
            const std::uint32_t to = histogram[(keys[c] >> digitShift) & (kBuckets - 1)]++;
            keysTmp[to] = keys[c];
            orderTmp[to] = order[c];
        }
        keys.swap(keysTmp);
        order.swap(orderTmp);
    }
    return order;
}

void NeighborList::Layout() const {
    if (m_pending.empty()) return;
    const std::size_t numCells = m_cellKey.size();
    const std::size_t oldCells = m_laidOutCells;

    std::vector<std::uint32_t> pendingCount(numCells, 0);
    for (const PendingPoint& p : m_pending)
        if (p.cell >= 0) ++pendingCount[static_cast<std::size_t>(p.cell)];

    // New cells break the key order: renumber every cell by key.
    const bool renumber = numCells > oldCells;
    std::vector<std::int32_t> order, rankOf;
    if (renumber) {
        order = SortCellsByKey();
        rankOf.resize(numCells);
        for (std::size_t r = 0; r < numCells; ++r) rankOf[static_cast<std::size_t>(order[r])] = static_cast<std::int32_t>(r);
    }
    const auto cellAt = [&](std::size_t rank) { return renumber ? static_cast<std::size_t>(order[rank]) : rank; };
    const auto oldCount = [&](std::size_t cell) {
        return cell < oldCells ? m_cellStart[cell + 1] - m_cellStart[cell] : 0u;
    };

    std::vector<std::uint32_t> start(numCells + 1);
    std::uint32_t total = 0;
    for (std::size_t r = 0; r < numCells; ++r) {
        const std::size_t cell = cellAt(r);
        start[r] = total;
        total += oldCount(cell) + pendingCount[cell];
    }
    start[numCells] = total;

    // A cell's earlier points come first, then the new ones in order of addition.
    std::vector<VoxelData> voxels(total);
    std::vector<std::uint32_t>& cursor = pendingCount;  // reused: next free slot by rank
    for (std::size_t r = 0; r < numCells; ++r) {
        const std::size_t cell = cellAt(r);
        const std::uint32_t count = oldCount(cell);
        if (count) std::copy_n(m_voxels.begin() + m_cellStart[cell], count, voxels.begin() + start[r]);
        cursor[r] = start[r] + count;
    }
    std::int32_t number = m_pendingBase;
    for (const PendingPoint& p : m_pending) {
        if (p.cell >= 0) {
            const std::size_t rank = renumber ? static_cast<std::size_t>(rankOf[static_cast<std::size_t>(p.cell)])
                                              : static_cast<std::size_t>(p.cell);
            voxels[cursor[rank]++] = VoxelData{number, Point3d(p.x, p.y, p.z)};
        }
        ++number;
    }

    if (renumber) {
        std::vector<std::uint64_t> keys(numCells);
        for (std::size_t r = 0; r < numCells; ++r) keys[r] = m_cellKey[static_cast<std::size_t>(order[r])];
        m_cellKey.swap(keys);
        for (Bucket& bucket : m_table)
            if (bucket.key != kEmptyKey) bucket.cell = rankOf[static_cast<std::size_t>(bucket.cell)];
    }
    m_cellStart.swap(start);
    m_voxels.swap(voxels);
    m_laidOutCells = numCells;

    std::vector<PendingPoint>().swap(m_pending);
    m_pendingBase = m_count;
    m_chainHead.clear();
    m_chainTail.clear();
    m_chainNext.clear();
    m_chained = 0;
}

void NeighborList::LinkPending() const {
    if (m_chainHead.size() < m_cellKey.size()) {
        m_chainHead.resize(m_cellKey.size(), -1);
        m_chainTail.resize(m_cellKey.size(), -1);
    }
    for (; m_chained < m_pending.size(); ++m_chained) {
        const auto q = static_cast<std::int32_t>(m_chained);
        m_chainNext.push_back(-1);
        const std::int32_t cell = m_pending[m_chained].cell;
        if (cell < 0) continue;
        std::int32_t& tail = m_chainTail[static_cast<std::size_t>(cell)];
        if (tail >= 0) m_chainNext[static_cast<std::size_t>(tail)] = q;
        else m_chainHead[static_cast<std::size_t>(cell)] = q;
        tail = q;
    }
}

// ---- queries -----------------------------------------------------------------
int NeighborList::GetNeighbors(const Point3d& p, IntArray& found) const { return GetNeighbors(p, m_cutoff, found); }

int NeighborList::GetNeighbors(const Point3d& p, double radius, IntArray& found) const {
    if (!m_active || !(radius > 0.0) || !IsFinite(p) || m_cellKey.empty()) return -1;
    // A new layout costs a pass over all points; until a good share of them is
    // new, the newcomers are searched through their cells' chains instead.
    if (m_pending.size() > 256 + m_voxels.size() / 4) Layout();
    else if (!m_pending.empty()) LinkPending();

    const double r2 = radius * radius;
    const double px = p.x, py = p.y, pz = p.z;
    double best = std::numeric_limits<double>::infinity();
    int nearest = -1;
    const auto test = [&](std::int32_t number, double x, double y, double z) {
        const double dx = x - px, dy = y - py, dz = z - pz;
        const double d2 = dx * dx + dy * dy + dz * dz;
        if (d2 < r2) {
            found.Add(number);
            if (d2 < best) {
                best = d2;
                nearest = number;
            }
        }
    };
    const auto visit = [&](std::int32_t cell) {
        if (cell < 0) return;
        const auto c = static_cast<std::size_t>(cell);
        if (c < m_laidOutCells)
            for (std::uint32_t v = m_cellStart[c], end = m_cellStart[c + 1]; v < end; ++v)
                test(m_voxels[v].index, m_voxels[v].position.x, m_voxels[v].position.y, m_voxels[v].position.z);
        if (c < m_chainHead.size())
            for (std::int32_t q = m_chainHead[c]; q >= 0; q = m_chainNext[static_cast<std::size_t>(q)]) {
                const PendingPoint& pp = m_pending[static_cast<std::size_t>(q)];
                test(m_pendingBase + q, pp.x, pp.y, pp.z);
            }
    };

    const bool newCells = m_cellKey.size() > m_laidOutCells;
    const auto here = static_cast<std::uint64_t>(GetIndex(GetSubIndex(px), GetSubIndex(py), GetSubIndex(pz)));
    for (const auto& row : kQueryRows) {
        const std::uint64_t key = here + KeyDelta(0, row[0], row[1]);
        const std::int32_t center = FindCell(key);
        std::int32_t minus, plus;
        if (center >= 0 && static_cast<std::size_t>(center) < m_laidOutCells) {
            // Laid-out cells are in key order: the row's neighbours sit beside it.
            const auto c = static_cast<std::size_t>(center);
            minus = c > 0 && m_cellKey[c - 1] == key - 1 ? center - 1 : newCells ? FindCell(key - 1) : -1;
            plus = c + 1 < m_laidOutCells && m_cellKey[c + 1] == key + 1 ? center + 1
                   : newCells                                               ? FindCell(key + 1)
                                                                            : -1;
        } else {
            minus = FindCell(key - 1);
            plus = FindCell(key + 1);
        }
        visit(center);
        visit(minus);
        visit(plus);
    }
    return nearest;
}

void NeighborList::AddPairsWithin(const VoxelData* a, const VoxelData* aEnd, PairSink& sink) const {
    const std::size_t n = static_cast<std::size_t>(aEnd - a);
    if (n < 2) return;
    if (!sink.Reserve(n * (n - 1) / 2)) {
        for (const VoxelData* p = a; p < aEnd; ++p)
            for (const VoxelData* q = p + 1; q < aEnd; ++q)
                if (p->position.Distance2(q->position) < m_cutoff2 && !sink.Put(p->index, q->index)) return;
        return;
    }
    std::int32_t* f = sink.m_f;
    std::int32_t* s = sink.m_s;
    std::size_t count = sink.m_count;
    const double c2 = m_cutoff2;
    for (const VoxelData* p = a; p < aEnd; ++p) {
        const double x = p->position.x, y = p->position.y, z = p->position.z;
        const std::int32_t first = p->index;
        for (const VoxelData* q = p + 1; q < aEnd; ++q) {
            const double dx = x - q->position.x, dy = y - q->position.y, dz = z - q->position.z;
            f[count] = first;
            s[count] = q->index;
            count += (dx * dx + dy * dy + dz * dz < c2) ? 1 : 0;
        }
    }
    sink.m_count = count;
}

void NeighborList::AddPairs(const VoxelData* a, const VoxelData* aEnd, const VoxelData* b, const VoxelData* bEnd,
                            PairSink& sink) const {
    const std::size_t na = static_cast<std::size_t>(aEnd - a), nb = static_cast<std::size_t>(bEnd - b);
    if (!sink.Reserve(na * nb)) {
        for (const VoxelData* p = a; p < aEnd; ++p)
            for (const VoxelData* q = b; q < bEnd; ++q)
                if (p->position.Distance2(q->position) < m_cutoff2 && !sink.Put(p->index, q->index)) return;
        return;
    }
    std::int32_t* f = sink.m_f;
    std::int32_t* s = sink.m_s;
    std::size_t count = sink.m_count;
    const double c2 = m_cutoff2;
    for (const VoxelData* p = a; p < aEnd; ++p) {
        const double x = p->position.x, y = p->position.y, z = p->position.z;
        const std::int32_t first = p->index;
        for (const VoxelData* q = b; q < bEnd; ++q) {
            const double dx = x - q->position.x, dy = y - q->position.y, dz = z - q->position.z;
            f[count] = first;
            s[count] = q->index;
            count += (dx * dx + dy * dy + dz * dz < c2) ? 1 : 0;
        }
    }
    sink.m_count = count;
}

int NeighborList::GetPairs(IntArray& pairFirst, IntArray& pairSecond) const {
    if (!m_active || m_cellKey.empty()) return pairFirst.GetSize();
    Layout();
    PairSink sink(pairFirst, pairSecond);
    const std::size_t numCells = m_cellKey.size();
    const VoxelData* voxels = m_voxels.data();
    std::size_t cursor[4] = {0, 0, 0, 0};  // per half-shell row: first cell not below its reach

    for (std::size_t c = 0; c < numCells; ++c) {
        const std::uint64_t key = m_cellKey[c];
        const VoxelData* a = voxels + m_cellStart[c];
        const VoxelData* aEnd = voxels + m_cellStart[c + 1];
        AddPairsWithin(a, aEnd, sink);
        if (c + 1 < numCells && m_cellKey[c + 1] == key + 1)
            AddPairs(a, aEnd, voxels + m_cellStart[c + 1], voxels + m_cellStart[c + 2], sink);
        // Cells are in key order and each row's reach rises with the key, so
        // every row keeps a cursor that only moves forward: a merge, no hashing.
        for (int r = 0; r < 4; ++r) {
            const std::uint64_t lo = key + KeyDelta(-1, kPairRows[r][0], kPairRows[r][1]);
            std::size_t& d = cursor[r];
            while (d < numCells && m_cellKey[d] < lo) ++d;
            for (std::size_t e = d; e < numCells && m_cellKey[e] <= lo + 2; ++e)
                AddPairs(a, aEnd, voxels + m_cellStart[e], voxels + m_cellStart[e + 1], sink);
        }
    }
    return sink.Finish();
}

}  // namespace Tessary
