#pragma once

// NeighborList: finds, among points added one at a time (typically atom
// positions), those within a cutoff of a query point and every pair closer
// than the cutoff. It is a uniform grid of cubic cells with the cutoff as
// edge, stored sparsely: only occupied cells exist, found through a hash of
// 64-bit cell keys, so every finite point is found wherever it lies.
//
// Points are numbered from 0 in the order of addition. The points of each
// cell are kept contiguous, in the order they were added, in one array laid
// out on the first query after an Add (Add itself only files the point), so a
// query walks memory instead of chasing per-cell allocations.
//
// Odd cases: a point with a non-finite coordinate gets its number but is
// never reported; with a cutoff that is not a positive finite number every
// point gets its number and nothing is ever found. Queries never clear the
// arrays they are given: results are appended.
//
// Like the rest of the library the object is used from one thread at a time;
// queries are const but the first one after an Add lays out the cells.

#include <cstdint>
#include <vector>

#include "tessary/frame/CArray.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Point3d.h"

namespace Tessary {

class TESSARY_API NeighborList {
public:
    // A stored point: its number and position.
    struct VoxelData {
        std::int32_t index;
        Point3d position;
    };

    // `hashSize` is the expected number of occupied cells (a sizing hint).
    NeighborList(double cutoff, int hashSize);
    virtual ~NeighborList();
    NeighborList(const NeighborList&) = delete;
    NeighborList& operator=(const NeighborList&) = delete;

    // Stores p and returns its number (0 for the first point); -1 only when
    // the 32-bit numbering is exhausted.
    int Add(const Point3d& p);

    // GetNeighbors(p, cutoff, found).
    int GetNeighbors(const Point3d& p, IntArray& found) const;
    // Appends the numbers of the stored points closer than `radius` to p, and
    // returns the number of the nearest of them (the first met among equals),
    // or -1 when none. Only the 27 cells around p are searched, so the result
    // is complete for a radius up to the cutoff. A radius that is not positive
    // finds nothing.
    int GetNeighbors(const Point3d& p, double radius, IntArray& found) const;

    // Appends every pair of stored points closer than the cutoff, exactly
    // once, the first number to pairFirst and the second to pairSecond, and
    // returns the size of pairFirst afterwards.
    int GetPairs(IntArray& pairFirst, IntArray& pairSecond) const;

protected:
    // Cell index of one coordinate (floor division by the cell edge, clamped
    // into the range that keys can hold); cell key of three indices; cell key
    // of a point, -1 for a point with a non-finite coordinate.
    int GetSubIndex(double v) const;
    std::int64_t GetIndex(int i, int j, int k) const;
    std::int64_t GetIndex(const Point3d& p) const;

private:
    struct PendingPoint {
        float x, y, z;
        std::int32_t cell;  // -1: not filed (non-finite)
    };
    struct Bucket {
        std::uint64_t key;
        std::int32_t cell;
    };
    class PairSink;

    std::int32_t FindCell(std::uint64_t key) const;
    std::int32_t FindOrAddCell(std::uint64_t key);
    void GrowTable();
    void Layout() const;
    void LinkPending() const;
    std::vector<std::int32_t> SortCellsByKey() const;
    void AddPairs(const VoxelData* a, const VoxelData* aEnd, const VoxelData* b, const VoxelData* bEnd,
                  PairSink& sink) const;
    void AddPairsWithin(const VoxelData* a, const VoxelData* aEnd, PairSink& sink) const;

    std::int32_t m_count = 0;
    double m_cutoff;
    double m_inverseCell;  // 1 / cell edge
    double m_cutoff2;
    bool m_active;  // the cutoff is a positive finite number
    int m_hashSize;

    // Cells, by cell number. After a layout the numbers follow the key order
    // and m_cellStart[c] .. m_cellStart[c + 1] is the cell's run in m_voxels;
    // cells created by later Adds are numbered after them until the next layout.
    mutable std::vector<std::uint64_t> m_cellKey;
    mutable std::vector<std::uint32_t> m_cellStart;
    mutable std::vector<VoxelData> m_voxels;
    mutable std::size_t m_laidOutCells = 0;  // cells covered by m_cellStart

    // Points added since the last layout, numbered from m_pendingBase. Until
    // there are enough of them to pay for a new layout, point queries reach
    // them through per-cell chains (linked lazily, oldest first).
    mutable std::vector<PendingPoint> m_pending;
    mutable std::int32_t m_pendingBase = 0;
    mutable std::vector<std::int32_t> m_chainHead;  // by cell
    mutable std::vector<std::int32_t> m_chainTail;  // by cell
    mutable std::vector<std::int32_t> m_chainNext;  // by pending point
    mutable std::size_t m_chained = 0;              // pending points linked so far

    mutable std::vector<Bucket> m_table;  // open addressing, key -> cell number
    int m_tableShift = 64;        // 64 - log2(table size)
};

}  // namespace Tessary
