// Structural chemistry: the neighbour list against anchors on the same
// points in the same run, and the octahedral deviation score.
//
// Points (support/NeighborData.h): 1,000,000 uniform random points at 0.1
// per cubic unit (a cube of side about 215) with cutoff 3.0, stored once in
// random order and once sorted into 8-unit blocks (roughly how atoms lie in a
// file); and two real structures, a 50,293-atom solvated system and a
// 22,194-atom crystal structure, at 2.0 (bonds) and 4.0 (contacts).
//
// Anchors for all pairs within the cutoff, the named ones first:
// * GemmiContactSearch: gemmi's NeighborSearch (built and populated) and its
//   ContactSearch told to ignore nothing, over the points as one chain of
//   16-atom residues (the model is made outside the timing, as a host has its
//   model already). No unit cell: the crystal's points alone, as for the
//   others. It reports each pair once.
// * The kd-tree pairs of SciPy (cKDTree + query_pairs) run from
//   bench/kdtree_pairs.py on the same points, which neighbor_points writes
//   out; scripts/bench runs both after this program.
// * Nanoflann: KD-tree build plus one radius search per point, keeping the
//   pairs (i, j) with j > i: it finds every pair twice, so it is no measure
//   of a pair search, only of a radius search per point.
// * CompressedRowGrid: a dense cell grid over the bounding box, points
//   counting-sorted by cell and their coordinates copied into cell order; the
//   pair search walks 13 half-shell neighbours as 5 contiguous runs.
// * UnorderedMapCells: a plain cell list, std::unordered_map from a 64-bit
//   cell key to a std::vector of point numbers.
// Every pair search here writes the same two int32 arrays, branch-free where
// the structure allows, so the comparison is of the structures.
//
// Memory: this program counts the bytes held through operator new, so each
// build reports its peak and retained bytes per point (peakB/pt, heldB/pt);
// for the neighbour list, BM_Memory_Tessary measures a list ready for point
// queries, the anchors their built structure.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "bench/support/NeighborData.h"
#include "tessary/chemistry/CoordinationGeometry.h"
#include "tessary/chemistry/NeighborList.h"
#include "tessary/geometry/Matrix3x3.h"

#if defined(TESSARY_HAVE_NANOFLANN)
#include <nanoflann.hpp>
#endif
#if defined(TESSARY_HAVE_GEMMI)
#include <gemmi/contact.hpp>
#endif

// ---- allocation accounting ------------------------------------------------------
namespace {
std::size_t g_heldBytes = 0;
std::size_t g_peakBytes = 0;
}  // namespace

void* operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    g_heldBytes += malloc_usable_size(p);
    g_peakBytes = std::max(g_peakBytes, g_heldBytes);
    return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept {
    if (!p) return;
    g_heldBytes -= malloc_usable_size(p);
    std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

using namespace Tessary;
using namespace TessaryBench;

namespace {

// Measures the bytes a build takes while it runs and keeps afterwards.
class MemoryProbe {
public:
    MemoryProbe() : m_base(g_heldBytes) { g_peakBytes = g_heldBytes; }
    void Report(benchmark::State& state, std::size_t points) const {
        const double n = static_cast<double>(points);
        state.counters["peakB/pt"] = static_cast<double>(g_peakBytes - m_base) / n;
        state.counters["heldB/pt"] = static_cast<double>(g_heldBytes - m_base) / n;
    }

private:
    std::size_t m_base;
};

// Pair output shared by all: two int32 arrays written branch-free.
struct PairBuffer {
    std::vector<std::int32_t> first, second;
    std::size_t count = 0;
    void Reserve(std::size_t extra) {
        if (count + extra <= first.size()) return;
        const std::size_t size = std::max(first.size() * 2, count + extra);
        first.resize(size);
        second.resize(size);
    }
    void Put(std::int32_t a, std::int32_t b, bool keep) {
        first[count] = a;
        second[count] = b;
        count += keep;
    }
};

// ---- anchor: compressed-row dense grid ----------------------------------------------
class CompressedRowGrid {
public:
    CompressedRowGrid(const std::vector<Point3d>& points, double cutoff) : m_cutoff2(static_cast<float>(cutoff * cutoff)) {
        float lo[3] = {points[0].x, points[0].y, points[0].z}, hi[3] = {lo[0], lo[1], lo[2]};
        for (const Point3d& p : points)
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], p[a]);
                hi[a] = std::max(hi[a], p[a]);
            }
        m_inverse = 1.0f / static_cast<float>(cutoff);
        for (int a = 0; a < 3; ++a) {
            m_lo[a] = lo[a];
            m_n[a] = static_cast<int>((hi[a] - lo[a]) * m_inverse) + 1;
        }
        const std::size_t cells = static_cast<std::size_t>(m_n[0]) * m_n[1] * m_n[2];
        m_start.assign(cells + 1, 0);
        std::vector<std::uint32_t> cellOf(points.size());
        for (std::size_t i = 0; i < points.size(); ++i) {
            cellOf[i] = static_cast<std::uint32_t>(Cell(points[i]));
            ++m_start[cellOf[i] + 1];
        }
        for (std::size_t c = 0; c < cells; ++c) m_start[c + 1] += m_start[c];
        std::vector<std::uint32_t> cursor(m_start.begin(), m_start.end() - 1);
        m_x.resize(points.size());
        m_y.resize(points.size());
        m_z.resize(points.size());
        m_id.resize(points.size());
        for (std::size_t i = 0; i < points.size(); ++i) {
            const std::uint32_t at = cursor[cellOf[i]]++;
            m_x[at] = points[i].x;
            m_y[at] = points[i].y;
            m_z[at] = points[i].z;
            m_id[at] = static_cast<std::int32_t>(i);
        }
    }

    void Pairs(PairBuffer& out) const {
        for (int cz = 0; cz < m_n[2]; ++cz)
            for (int cy = 0; cy < m_n[1]; ++cy)
                for (int cx = 0; cx < m_n[0]; ++cx) {
                    const std::size_t c = Index(cx, cy, cz);
                    const std::uint32_t b = m_start[c], e = m_start[c + 1];
                    if (b == e) continue;
                    for (std::uint32_t i = b; i < e; ++i) Test(i, i + 1, e, out);
                    if (cx + 1 < m_n[0]) Run(b, e, m_start[c + 1], m_start[c + 2], out);
                    // Rows (cy + 1, cz) and (cy - 1 .. cy + 1, cz + 1), three cells each.
                    const int rows[4][2] = {{1, 0}, {-1, 1}, {0, 1}, {1, 1}};
                    for (const auto& r : rows) {
                        const int y = cy + r[0], z = cz + r[1];
                        if (y < 0 || y >= m_n[1] || z >= m_n[2]) continue;
                        const std::size_t first = Index(std::max(cx - 1, 0), y, z);
                        const std::size_t last = Index(std::min(cx + 1, m_n[0] - 1), y, z);
                        Run(b, e, m_start[first], m_start[last + 1], out);
                    }
                }
    }

    int Query(const Point3d& p, std::vector<std::int32_t>& found) const {
        const int cx = Axis(p.x, 0), cy = Axis(p.y, 1), cz = Axis(p.z, 2);
        float best = 3.4e38f;
        int nearest = -1;
        for (int z = std::max(cz - 1, 0); z <= std::min(cz + 1, m_n[2] - 1); ++z)
            for (int y = std::max(cy - 1, 0); y <= std::min(cy + 1, m_n[1] - 1); ++y) {
                const std::uint32_t b = m_start[Index(std::max(cx - 1, 0), y, z)];
                const std::uint32_t e = m_start[Index(std::min(cx + 1, m_n[0] - 1), y, z) + 1];
                for (std::uint32_t j = b; j < e; ++j) {
                    const float dx = m_x[j] - p.x, dy = m_y[j] - p.y, dz = m_z[j] - p.z;
                    const float d2 = dx * dx + dy * dy + dz * dz;
                    if (d2 < m_cutoff2) {
                        found.push_back(m_id[j]);
                        if (d2 < best) {
                            best = d2;
                            nearest = m_id[j];
                        }
                    }
                }
            }
        return nearest;
    }

private:
    int Axis(float v, int a) const { return std::clamp(static_cast<int>((v - m_lo[a]) * m_inverse), 0, m_n[a] - 1); }
    std::size_t Cell(const Point3d& p) const { return Index(Axis(p.x, 0), Axis(p.y, 1), Axis(p.z, 2)); }
    std::size_t Index(int x, int y, int z) const {
        return (static_cast<std::size_t>(z) * m_n[1] + static_cast<std::size_t>(y)) * m_n[0] + static_cast<std::size_t>(x);
    }
    void Test(std::uint32_t i, std::uint32_t b, std::uint32_t e, PairBuffer& out) const {
        out.Reserve(e - b);
        const float x = m_x[i], y = m_y[i], z = m_z[i];
        const std::int32_t id = m_id[i];
        for (std::uint32_t j = b; j < e; ++j) {
            const float dx = m_x[j] - x, dy = m_y[j] - y, dz = m_z[j] - z;
            out.Put(id, m_id[j], dx * dx + dy * dy + dz * dz < m_cutoff2);
        }
    }
    void Run(std::uint32_t b, std::uint32_t e, std::uint32_t nb, std::uint32_t ne, PairBuffer& out) const {
        if (nb == ne) return;
        for (std::uint32_t i = b; i < e; ++i) Test(i, nb, ne, out);
    }

    float m_cutoff2, m_inverse;
    float m_lo[3];
    int m_n[3];
    std::vector<std::uint32_t> m_start;
    std::vector<float> m_x, m_y, m_z;
    std::vector<std::int32_t> m_id;
};

// ---- anchor: unordered_map cell list ------------------------------------------------
class UnorderedMapCells {
public:
    UnorderedMapCells(const std::vector<Point3d>& points, double cutoff)
        : m_points(points), m_cutoff2(cutoff * cutoff), m_inverse(1.0 / cutoff) {
        for (std::size_t i = 0; i < points.size(); ++i) m_cells[Key(points[i], 0, 0, 0)].push_back(static_cast<std::int32_t>(i));
    }

    void Pairs(PairBuffer& out) const {
        static const int half[13][3] = {{1, 0, 0},  {-1, -1, 0}, {0, -1, 0}, {1, -1, 0}, {-1, 1, 1},
                                        {0, 1, 1},  {1, 1, 1},   {-1, 0, 1}, {0, 0, 1},  {1, 0, 1},
                                        {-1, -1, 1}, {0, -1, 1}, {1, -1, 1}};
        for (const auto& [key, ids] : m_cells) {
            for (std::size_t a = 0; a < ids.size(); ++a) {
                out.Reserve(ids.size());
                for (std::size_t b = a + 1; b < ids.size(); ++b) Put(ids[a], ids[b], out);
            }
            for (const auto& o : half) {
                const auto it = m_cells.find(key + Delta(o[0], o[1], o[2]));
                if (it == m_cells.end()) continue;
                for (std::int32_t a : ids) {
                    out.Reserve(it->second.size());
                    for (std::int32_t b : it->second) Put(a, b, out);
                }
            }
        }
    }

    int Query(const Point3d& p, std::vector<std::int32_t>& found) const {
        double best = 1e300;
        int nearest = -1;
        for (int dz = -1; dz <= 1; ++dz)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const auto it = m_cells.find(Key(p, dx, dy, dz));
                    if (it == m_cells.end()) continue;
                    for (std::int32_t j : it->second) {
                        const double d2 = p.Distance2(m_points[static_cast<std::size_t>(j)]);
                        if (d2 < m_cutoff2) {
                            found.push_back(j);
                            if (d2 < best) {
                                best = d2;
                                nearest = j;
                            }
                        }
                    }
                }
        return nearest;
    }

private:
    static std::int64_t Delta(int dx, int dy, int dz) { return dx + std::int64_t{dy} * (1 << 21) + std::int64_t{dz} * (std::int64_t{1} << 42); }
    std::int64_t Key(const Point3d& p, int dx, int dy, int dz) const {
        const auto axis = [&](float v) { return static_cast<std::int64_t>(std::floor(v * m_inverse)) + (1 << 20); };
        return axis(p.x) + (axis(p.y) << 21) + (axis(p.z) << 42) + Delta(dx, dy, dz);
    }
    void Put(std::int32_t a, std::int32_t b, PairBuffer& out) const {
        out.Put(a, b, m_points[static_cast<std::size_t>(a)].Distance2(m_points[static_cast<std::size_t>(b)]) < m_cutoff2);
    }

    const std::vector<Point3d>& m_points;
    double m_cutoff2, m_inverse;
    std::unordered_map<std::int64_t, std::vector<std::int32_t>> m_cells;
};

// ---- anchor: nanoflann KD-tree --------------------------------------------------------
#if defined(TESSARY_HAVE_NANOFLANN)
struct Cloud {
    const std::vector<Point3d>& points;
    std::size_t kdtree_get_point_count() const { return points.size(); }
    float kdtree_get_pt(std::size_t i, std::size_t dim) const { return points[i][static_cast<int>(dim)]; }
    template <class Box>
    bool kdtree_get_bbox(Box&) const { return false; }
};
using KdTree = nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<float, Cloud>, Cloud, 3, std::uint32_t>;

// Radius-search callback that keeps the pairs (query, j) with j > query.
struct PairCollector {
    float radius2;
    std::int32_t query;
    PairBuffer* out;
    std::size_t found = 0;
    void init() {}
    void clear() {}
    std::size_t size() const { return found; }
    bool full() const { return true; }
    float worstDist() const { return radius2; }
    bool addPoint(float d2, std::uint32_t j) {
        if (d2 < radius2 && static_cast<std::int32_t>(j) > query) {
            out->Reserve(1);
            out->Put(query, static_cast<std::int32_t>(j), true);
            ++found;
        }
        return true;
    }
};

struct QueryCollector {
    float radius2;
    std::vector<std::int32_t>* found;
    float best = 3.4e38f;
    int nearest = -1;
    void init() {}
    void clear() {}
    std::size_t size() const { return found->size(); }
    bool full() const { return true; }
    float worstDist() const { return radius2; }
    bool addPoint(float d2, std::uint32_t j) {
        if (d2 < radius2) {
            found->push_back(static_cast<std::int32_t>(j));
            if (d2 < best) {
                best = d2;
                nearest = static_cast<int>(j);
            }
        }
        return true;
    }
};
#endif

// ---- pairs: build + every close pair ------------------------------------------------------
void ReportPairs(benchmark::State& state, const Dataset& d, std::size_t pairs) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * d.points.size()));
    state.counters["pairs"] = static_cast<double>(pairs);
    state.counters["ns/pt"] = benchmark::Counter(static_cast<double>(d.points.size()) * 1e-9,
                                                 benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
}

void BM_Pairs_Tessary(benchmark::State& state, DatasetId id) {
    const Dataset& d = GetDataset(id);
    std::size_t pairs = 0;
    for (auto _ : state) {
        NeighborList list(d.cutoff, static_cast<int>(d.points.size() / 2));
        for (const Point3d& p : d.points) list.Add(p);
        IntArray first, second;
        pairs = static_cast<std::size_t>(list.GetPairs(first, second));
        benchmark::DoNotOptimize(first.GetData());
    }
    ReportPairs(state, d, pairs);
}

// The list's own bytes: every point added, laid out and ready for point
// queries (the first query sorts the points and builds the cell lookup).
void BM_Memory_Tessary(benchmark::State& state, DatasetId id) {
    const Dataset& d = GetDataset(id);
    for (auto _ : state) {
        MemoryProbe probe;
        NeighborList list(d.cutoff, static_cast<int>(d.points.size() / 2));
        for (const Point3d& p : d.points) list.Add(p);
        IntArray found;
        benchmark::DoNotOptimize(list.GetNeighbors(d.points[0], found));
        found.RemoveAll();
        found.FreeExtra();
        state.PauseTiming();
        probe.Report(state, d.points.size());
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * d.points.size()));
}

void BM_Add_Tessary(benchmark::State& state, DatasetId id) {
    const Dataset& d = GetDataset(id);
    for (auto _ : state) {
        NeighborList list(d.cutoff, static_cast<int>(d.points.size() / 2));
        for (const Point3d& p : d.points) benchmark::DoNotOptimize(list.Add(p));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * d.points.size()));
}

// Builds an anchor structure over the points and enumerates its pairs.
template <class CellStructure>
void BM_Pairs_Anchor(benchmark::State& state, DatasetId id) {
    const Dataset& d = GetDataset(id);
    std::size_t pairs = 0;
    for (auto _ : state) {
        MemoryProbe probe;
        const CellStructure cells(d.points, d.cutoff);
        state.PauseTiming();
        probe.Report(state, d.points.size());
        state.ResumeTiming();
        PairBuffer out;
        cells.Pairs(out);
        pairs = out.count;
        benchmark::DoNotOptimize(out.first.data());
    }
    ReportPairs(state, d, pairs);
}

void BM_Pairs_CompressedRowGrid(benchmark::State& state, DatasetId id) {
    BM_Pairs_Anchor<CompressedRowGrid>(state, id);
}

void BM_Pairs_UnorderedMapCells(benchmark::State& state, DatasetId id) {
    BM_Pairs_Anchor<UnorderedMapCells>(state, id);
}

#if defined(TESSARY_HAVE_NANOFLANN)
void BM_Pairs_Nanoflann(benchmark::State& state, DatasetId id) {
    const Dataset& d = GetDataset(id);
    std::size_t pairs = 0;
    const float radius2 = static_cast<float>(d.cutoff * d.cutoff);
    for (auto _ : state) {
        MemoryProbe probe;
        const Cloud cloud{d.points};
        const KdTree tree(3, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(10));
        state.PauseTiming();
        probe.Report(state, d.points.size());
        state.ResumeTiming();
        PairBuffer out;
        nanoflann::SearchParams params(32, 0.0f, false);
        for (std::size_t i = 0; i < d.points.size(); ++i) {
            PairCollector collector{radius2, static_cast<std::int32_t>(i), &out};
            tree.findNeighbors(collector, &d.points[i].x, params);
        }
        pairs = out.count;
        benchmark::DoNotOptimize(out.first.data());
    }
    ReportPairs(state, d, pairs);
}
#endif

#if defined(TESSARY_HAVE_GEMMI)
// The points as gemmi atoms (serial = point number), one chain of 16-atom residues.
gemmi::Model GemmiModel(const std::vector<Point3d>& points) {
    constexpr std::size_t kResidueAtoms = 16;
    gemmi::Model model("1");
    model.chains.emplace_back("A");
    std::vector<gemmi::Residue>& residues = model.chains.back().residues;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i % kResidueAtoms == 0) {
            gemmi::ResidueId id;
            id.name = "UNK";
            id.seqid = gemmi::SeqId(static_cast<int>(residues.size() + 1), ' ');
            residues.emplace_back(id);
        }
        gemmi::Atom atom;
        atom.name = "X";
        atom.serial = static_cast<int>(i);
        atom.pos = gemmi::Position(points[i].x, points[i].y, points[i].z);
        residues.back().atoms.push_back(atom);
    }
    return model;
}

void BM_Pairs_GemmiContactSearch(benchmark::State& state, DatasetId id) {
    const Dataset& d = GetDataset(id);
    gemmi::Model model = GemmiModel(d.points);
    std::size_t pairs = 0;
    for (auto _ : state) {
        MemoryProbe probe;
        gemmi::NeighborSearch search(model, gemmi::UnitCell(), d.cutoff);
        search.populate();
        state.PauseTiming();
        probe.Report(state, d.points.size());
        state.ResumeTiming();
        gemmi::ContactSearch contacts(static_cast<float>(d.cutoff));
        contacts.ignore = gemmi::ContactSearch::Ignore::Nothing;
        PairBuffer out;
        contacts.for_each_contact(search, [&out](const gemmi::CRA& a, const gemmi::CRA& b, int, float) {
            out.Reserve(1);
            out.Put(a.atom->serial, b.atom->serial, true);
        });
        pairs = out.count;
        benchmark::DoNotOptimize(out.first.data());
    }
    ReportPairs(state, d, pairs);
}
#endif

// ---- point queries ------------------------------------------------------------------------
constexpr std::size_t kQueries = 200'000;

enum QueryOrder { RandomQueries, StorageOrder };

std::vector<Point3d> QueryPoints(const Dataset& d, QueryOrder order) {
    std::vector<Point3d> q(kQueries);
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<std::size_t> pick(0, d.points.size() - 1);
    for (std::size_t i = 0; i < kQueries; ++i) q[i] = d.points[order == RandomQueries ? pick(rng) : i % d.points.size()];
    return q;
}

void Clear(IntArray& found) { found.RemoveAll(); }
void Clear(std::vector<std::int32_t>& found) { found.clear(); }
std::size_t Count(const IntArray& found) { return static_cast<std::size_t>(found.GetSize()); }
std::size_t Count(const std::vector<std::int32_t>& found) { return found.size(); }

// Times all queries; `query(q, found)` appends the neighbours of q to `found`.
template <class Found, class Query>
void TimeQueries(benchmark::State& state, const std::vector<Point3d>& queries, Found& found, Query&& query) {
    std::size_t total = 0;
    for (auto _ : state) {
        total = 0;
        for (const Point3d& q : queries) {
            Clear(found);
            query(q, found);
            total += Count(found);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kQueries));
    state.counters["found/q"] = static_cast<double>(total) / kQueries;
}

void BM_Query_Tessary(benchmark::State& state, DatasetId id, QueryOrder order) {
    const Dataset& d = GetDataset(id);
    const std::vector<Point3d> queries = QueryPoints(d, order);
    NeighborList list(d.cutoff, static_cast<int>(d.points.size() / 2));
    for (const Point3d& p : d.points) list.Add(p);
    IntArray found;
    list.GetNeighbors(d.points[0], found);  // lays the cells out before timing
    TimeQueries(state, queries, found,
                [&](const Point3d& q, IntArray& out) { benchmark::DoNotOptimize(list.GetNeighbors(q, out)); });
}

void BM_Query_CompressedRowGrid(benchmark::State& state, DatasetId id, QueryOrder order) {
    const Dataset& d = GetDataset(id);
    const std::vector<Point3d> queries = QueryPoints(d, order);
    const CompressedRowGrid grid(d.points, d.cutoff);
    std::vector<std::int32_t> found;
    TimeQueries(state, queries, found, [&](const Point3d& q, std::vector<std::int32_t>& out) {
        benchmark::DoNotOptimize(grid.Query(q, out));
    });
}

void BM_Query_UnorderedMapCells(benchmark::State& state, DatasetId id, QueryOrder order) {
    const Dataset& d = GetDataset(id);
    const std::vector<Point3d> queries = QueryPoints(d, order);
    const UnorderedMapCells cells(d.points, d.cutoff);
    std::vector<std::int32_t> found;
    TimeQueries(state, queries, found, [&](const Point3d& q, std::vector<std::int32_t>& out) {
        benchmark::DoNotOptimize(cells.Query(q, out));
    });
}

#if defined(TESSARY_HAVE_NANOFLANN)
void BM_Query_Nanoflann(benchmark::State& state, DatasetId id, QueryOrder order) {
    const Dataset& d = GetDataset(id);
    const std::vector<Point3d> queries = QueryPoints(d, order);
    const Cloud cloud{d.points};
    const KdTree tree(3, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(10));
    const float radius2 = static_cast<float>(d.cutoff * d.cutoff);
    nanoflann::SearchParams params(32, 0.0f, false);
    std::vector<std::int32_t> found;
    TimeQueries(state, queries, found, [&](const Point3d& q, std::vector<std::int32_t>& out) {
        QueryCollector collector{radius2, &out};
        tree.findNeighbors(collector, &q.x, params);
        benchmark::DoNotOptimize(collector.nearest);
    });
}
#endif

#define TESSARY_PAIR_BENCHMARKS(fn)                                                       \
    BENCHMARK_CAPTURE(fn, random_1M, RandomOrder)->Unit(benchmark::kMillisecond);         \
    BENCHMARK_CAPTURE(fn, blocked_1M, Blocked)->Unit(benchmark::kMillisecond);            \
    BENCHMARK_CAPTURE(fn, solvated_50k_bonds, Solvated2)->Unit(benchmark::kMillisecond);  \
    BENCHMARK_CAPTURE(fn, solvated_50k_contacts, Solvated4)->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(fn, crystal_22k_bonds, Crystal2)->Unit(benchmark::kMillisecond);    \
    BENCHMARK_CAPTURE(fn, crystal_22k_contacts, Crystal4)->Unit(benchmark::kMillisecond)

#define TESSARY_QUERY_BENCHMARKS(fn)                                                              \
    BENCHMARK_CAPTURE(fn, random_1M_random_queries, RandomOrder, RandomQueries)->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(fn, random_1M_storage_order, RandomOrder, StorageOrder)->Unit(benchmark::kMillisecond);   \
    BENCHMARK_CAPTURE(fn, blocked_1M_random_queries, Blocked, RandomQueries)->Unit(benchmark::kMillisecond);    \
    BENCHMARK_CAPTURE(fn, blocked_1M_storage_order, Blocked, StorageOrder)->Unit(benchmark::kMillisecond)

BENCHMARK_CAPTURE(BM_Add_Tessary, random_1M, RandomOrder)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Add_Tessary, blocked_1M, Blocked)->Unit(benchmark::kMillisecond);
TESSARY_PAIR_BENCHMARKS(BM_Pairs_Tessary);
#if defined(TESSARY_HAVE_GEMMI)
TESSARY_PAIR_BENCHMARKS(BM_Pairs_GemmiContactSearch);
#endif
TESSARY_PAIR_BENCHMARKS(BM_Memory_Tessary);
TESSARY_PAIR_BENCHMARKS(BM_Pairs_CompressedRowGrid);
TESSARY_PAIR_BENCHMARKS(BM_Pairs_UnorderedMapCells);
TESSARY_QUERY_BENCHMARKS(BM_Query_Tessary);
TESSARY_QUERY_BENCHMARKS(BM_Query_CompressedRowGrid);
TESSARY_QUERY_BENCHMARKS(BM_Query_UnorderedMapCells);
#if defined(TESSARY_HAVE_NANOFLANN)
TESSARY_PAIR_BENCHMARKS(BM_Pairs_Nanoflann);
TESSARY_QUERY_BENCHMARKS(BM_Query_Nanoflann);
#endif

// ---- coordination geometry -------------------------------------------------------------------
void BM_OctahedralDeviation(benchmark::State& state) {
    // A distorted octahedron in shuffled order, so the best candidate is not the first.
    std::mt19937_64 rng(3);
    std::normal_distribution<double> noise(0.0, 0.05);
    Point3d::Array ideal;
    CoordinationGeometry::GetCoordinates(CoordinationGeometry::Octahedral, ideal);
    std::vector<Point3d> dirs(ideal.begin() + 1, ideal.end());
    std::shuffle(dirs.begin(), dirs.end(), rng);
    Point3d::Array input;
    const Matrix3x3 turn(Point3d(1, 2, 3), 37.0);
    for (const Point3d& p : dirs) input.Add((p * turn + Point3d(noise(rng), noise(rng), noise(rng))).Normalize());
    IntArray assignment;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            CoordinationGeometry::DeviationFromIdealCoordinationGeometry(input, CoordinationGeometry::Octahedral, assignment));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OctahedralDeviation);

}  // namespace
