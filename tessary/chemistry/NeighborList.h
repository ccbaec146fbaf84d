#pragma once

// NeighborList: finds, among points added one at a time (typically atom
// positions), those within a cutoff of a query point and every pair closer
// than the cutoff. It is a uniform grid of cubic cells with the cutoff as
// edge, stored sparsely: only occupied cells exist, named by 64-bit keys, so
// every finite point is found wherever it lies.
//
// Points are numbered from 0 in the order of addition. The points of each
// cell are kept contiguous, in the order they were added, in coordinate
// arrays sorted by cell when a query needs it: Add only appends, and a point query made
// after a few Adds searches the newcomers through per-cell chains until they
// are worth a new sort. Cells are found through a row index of the occupied
// box when that box is compact, else through a hash of the keys; the pair
// search walks the cells in key order and looks cells up only for the
// newcomers. Queries thus walk memory instead of chasing per-cell allocations.
//
// Odd cases: a point with a non-finite coordinate gets its number but is
// never reported; with a cutoff that is not a positive finite number every
// point gets its number and nothing is ever found. Queries never clear the
// arrays they are given: results are appended.
//
// Threads: Add needs the object to itself; the const queries may run from
// several threads at once on an object no one is adding to.

#include <cstdint>
#include <memory>

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
    struct Impl;

    std::int32_t m_count = 0;
    double m_cutoff;
    double m_inverseCell;  // 1 / cell edge
    double m_cutoff2;
    bool m_active;       // the cutoff is a positive finite number
    bool m_floatFilter;  // cutoff^2 is well inside the float range: pairs are screened in float
    std::unique_ptr<Impl> m_impl;
};

}  // namespace Tessary
