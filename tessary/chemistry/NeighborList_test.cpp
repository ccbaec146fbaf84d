#include "tessary/chemistry/NeighborList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "tests/support/Molecule.h"
#include "tests/support/TestSeed.h"

namespace Tessary {
namespace {


std::vector<int> Values(const IntArray& a) { return std::vector<int>(a.begin(), a.end()); }

using PairSet = std::set<std::pair<int, int>>;

// Pairs as unordered pairs; fails the test on a pair reported twice or a self pair.
PairSet CollectPairs(const IntArray& first, const IntArray& second, int from = 0) {
    PairSet pairs;
    EXPECT_EQ(first.GetSize(), second.GetSize());
    for (int i = from; i < first.GetSize(); ++i) {
        const int a = std::min(first[i], second[i]), b = std::max(first[i], second[i]);
        EXPECT_NE(a, b);
        EXPECT_TRUE(pairs.insert({a, b}).second) << "pair reported twice: " << a << " " << b;
    }
    return pairs;
}

PairSet BrutePairs(const std::vector<Point3d>& points, double cutoff) {
    PairSet pairs;
    for (std::size_t i = 0; i < points.size(); ++i)
        for (std::size_t j = i + 1; j < points.size(); ++j)
            if (points[i].Distance2(points[j]) < cutoff * cutoff)
                pairs.insert({static_cast<int>(i), static_cast<int>(j)});
    return pairs;
}

// Checks one radius query against brute force: the same set, each once, and
// the nearest at the smallest distance.
void CheckQuery(const NeighborList& list, const std::vector<Point3d>& points, const Point3d& q, double radius) {
    IntArray found;
    found.Add(-7);  // results are appended
    const int nearest = list.GetNeighbors(q, radius, found);
    ASSERT_GE(found.GetSize(), 1);
    EXPECT_EQ(found[0], -7);
    std::vector<int> got(found.begin() + 1, found.end());
    std::sort(got.begin(), got.end());
    std::vector<int> expected;
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double d2 = q.Distance2(points[i]);
        if (d2 < radius * radius) {
            expected.push_back(static_cast<int>(i));
            best = std::min(best, d2);
        }
    }
    ASSERT_EQ(got, expected);
    if (expected.empty()) {
        EXPECT_EQ(nearest, -1);
    } else {
        ASSERT_GE(nearest, 0);
        EXPECT_EQ(q.Distance2(points[static_cast<std::size_t>(nearest)]), best);
    }
}

class Probe : public NeighborList {
public:
    using NeighborList::NeighborList;
    using NeighborList::GetIndex;
    using NeighborList::GetSubIndex;
};

// ---------------------------------------------------------------------------
TEST(NeighborList, SmallExample) {
    NeighborList list(2.0, 10);
    EXPECT_EQ(list.Add(Point3d(0, 0, 0)), 0);
    EXPECT_EQ(list.Add(Point3d(1.5, 0, 0)), 1);
    EXPECT_EQ(list.Add(Point3d(3, 0, 0)), 2);
    IntArray found;
    EXPECT_EQ(list.GetNeighbors(Point3d(0, 0, 0), found), 0);
    EXPECT_EQ(Values(found), (std::vector<int>{0, 1}));
    IntArray first, second;
    EXPECT_EQ(list.GetPairs(first, second), 2);
    EXPECT_EQ(CollectPairs(first, second), (PairSet{{0, 1}, {1, 2}}));
}

TEST(NeighborList, ExactlyOneCutoffApartIsNotClose) {
    NeighborList list(2.0, 10);
    list.Add(Point3d(0.5, 0.25, 0));
    list.Add(Point3d(2.5, 0.25, 0));
    IntArray found, first, second;
    EXPECT_EQ(list.GetNeighbors(Point3d(0.5, 0.25, 0), found), 0);
    EXPECT_EQ(Values(found), std::vector<int>{0});
    EXPECT_EQ(list.GetPairs(first, second), 0);
}

TEST(NeighborList, EmptyListAppendsNothing) {
    NeighborList list(1.5, 0);
    IntArray found, first, second;
    found.Add(5);
    first.Add(1);
    first.Add(2);
    EXPECT_EQ(list.GetNeighbors(Point3d(0, 0, 0), found), -1);
    EXPECT_EQ(Values(found), std::vector<int>{5});
    EXPECT_EQ(list.GetPairs(first, second), 2);
    EXPECT_EQ(second.GetSize(), 0);
}

TEST(NeighborList, SmallerRadiusSearchesTheSameCells) {
    NeighborList list(3.0, 10);
    list.Add(Point3d(0, 0, 0));
    list.Add(Point3d(0.9, 0, 0));
    list.Add(Point3d(0, 1.5, 0));
    list.Add(Point3d(0, 0, -2.9));
    IntArray found;
    EXPECT_EQ(list.GetNeighbors(Point3d(0.1, 0, 0), 1.0, found), 0);
    std::vector<int> got = Values(found);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<int>{0, 1}));
    found.RemoveAll();
    EXPECT_EQ(list.GetNeighbors(Point3d(0.1, 0, 0), found), 0);
    EXPECT_EQ(found.GetSize(), 4);
    // Not positive: nothing is closer than that.
    found.RemoveAll();
    EXPECT_EQ(list.GetNeighbors(Point3d(0, 0, 0), -1.0, found), -1);
    EXPECT_EQ(list.GetNeighbors(Point3d(0, 0, 0), 0.0, found), -1);
    EXPECT_EQ(list.GetNeighbors(Point3d(0, 0, 0), std::nan(""), found), -1);
    EXPECT_EQ(found.GetSize(), 0);
}

TEST(NeighborList, LargerRadiusSearchesOnlyTheAdjacentCells) {
    NeighborList list(1.0, 10);
    list.Add(Point3d(0.5, 0.5, 0.5));
    list.Add(Point3d(1.9, 0.5, 0.5));  // the next cell
    list.Add(Point3d(2.6, 0.5, 0.5));  // two cells on
    IntArray found;
    EXPECT_EQ(list.GetNeighbors(Point3d(0.5, 0.5, 0.5), 3.0, found), 0);
    EXPECT_EQ(Values(found), (std::vector<int>{0, 1}));
}

TEST(NeighborList, CrowdedAdjacentCells) {
    // Many points in one cell, one point across the boundary: every close
    // pair between the cells is reported, wherever it sits in the cell.
    NeighborList list(1.0, 10);
    std::vector<Point3d> points;
    for (int i = 0; i < 12; ++i) points.push_back(Point3d(0.95 - 0.07 * i, 0.5, 0.5));
    points.push_back(Point3d(1.05, 0.5, 0.5));
    for (const Point3d& p : points) list.Add(p);
    IntArray first, second;
    list.GetPairs(first, second);
    EXPECT_EQ(CollectPairs(first, second), BrutePairs(points, 1.0));
}

TEST(NeighborList, VisitOrderAndTheFirstMetNearest) {
    // Equal distances: the query's own cell is searched before the cell at
    // -x, so the later point, met first, is the nearest; within a cell the
    // earlier added point comes first.
    NeighborList list(2.0, 10);
    list.Add(Point3d(-0.25, 1, 1));  // cell -1 in x
    list.Add(Point3d(0.75, 1, 1));   // the query's cell
    list.Add(Point3d(0.25, 1.5, 1));
    list.Add(Point3d(0.25, 0.5, 1));
    IntArray found;
    EXPECT_EQ(list.GetNeighbors(Point3d(0.25, 1, 1), found), 1);
    EXPECT_EQ(Values(found), (std::vector<int>{1, 2, 3, 0}));
}

TEST(NeighborList, NonFinitePointsAreNumberedButNeverFound) {
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    NeighborList list(2.0, 10);
    EXPECT_EQ(list.Add(Point3d(0, 0, 0)), 0);
    EXPECT_EQ(list.Add(Point3d(nan, 0, 0)), 1);
    EXPECT_EQ(list.Add(Point3d(0, inf, 0)), 2);
    EXPECT_EQ(list.Add(Point3d(0.5, 0, 0)), 3);
    IntArray found, first, second;
    EXPECT_EQ(list.GetNeighbors(Point3d(0, 0, 0), found), 0);
    EXPECT_EQ(Values(found), (std::vector<int>{0, 3}));
    EXPECT_EQ(list.GetNeighbors(Point3d(nan, 0, 0), found), -1);
    EXPECT_EQ(list.GetNeighbors(Point3d(0, -inf, 0), found), -1);
    EXPECT_EQ(found.GetSize(), 2);
    EXPECT_EQ(list.GetPairs(first, second), 1);
    EXPECT_EQ(CollectPairs(first, second), (PairSet{{0, 3}}));
}

TEST(NeighborList, CutoffThatIsNotPositiveFiniteFindsNothing) {
    for (double cutoff : {0.0, -2.0, std::nan(""), std::numeric_limits<double>::infinity(), 1e-320}) {
        SCOPED_TRACE(cutoff);
        NeighborList list(cutoff, 10);
        EXPECT_EQ(list.Add(Point3d(0, 0, 0)), 0);
        EXPECT_EQ(list.Add(Point3d(0, 0, 0)), 1);
        IntArray found, first, second;
        EXPECT_EQ(list.GetNeighbors(Point3d(0, 0, 0), 1.0, found), -1);
        EXPECT_EQ(found.GetSize(), 0);
        EXPECT_EQ(list.GetPairs(first, second), 0);
    }
}

TEST(NeighborList, CellArithmetic) {
    Probe probe(2.0, 10);
    EXPECT_EQ(probe.GetSubIndex(0.0), 0);
    EXPECT_EQ(probe.GetSubIndex(1.99), 0);
    EXPECT_EQ(probe.GetSubIndex(-0.01), -1);  // floor, not truncation
    EXPECT_EQ(probe.GetSubIndex(-2.5), -2);
    EXPECT_EQ(probe.GetSubIndex(5000.0), 2499);  // far beyond the old +-645 cells
    EXPECT_EQ(probe.GetSubIndex(1e300), probe.GetSubIndex(1e200));  // clamped, no overflow
    EXPECT_EQ(probe.GetSubIndex(-1e300), probe.GetSubIndex(-1e200));
    EXPECT_EQ(probe.GetIndex(1, 0, 0) - probe.GetIndex(0, 0, 0), 1);  // x runs fastest
    EXPECT_NE(probe.GetIndex(0, 1, 0), probe.GetIndex(0, 0, 1));
    EXPECT_EQ(probe.GetIndex(Point3d(std::nanf(""), 0, 0)), -1);
    EXPECT_GE(probe.GetIndex(Point3d(-3.0e38, 3.0e38, 0)), 0);
}

TEST(NeighborList, SameArrayForBothHalvesGetsPairsInTurn) {
    NeighborList list(2.0, 10);
    list.Add(Point3d(0, 0, 0));
    list.Add(Point3d(1, 0, 0));
    IntArray both;
    both.Add(9);
    EXPECT_EQ(list.GetPairs(both, both), 3);
    EXPECT_EQ(both[0], 9);
    EXPECT_EQ(std::min(both[1], both[2]), 0);
    EXPECT_EQ(std::max(both[1], both[2]), 1);
}

TEST(NeighborList, PairsAppendToArraysOfDifferentSizes) {
    NeighborList list(2.0, 10);
    list.Add(Point3d(0, 0, 0));
    list.Add(Point3d(1, 0, 0));
    IntArray first, second;
    first.Add(4);
    first.Add(4);
    second.Add(5);
    EXPECT_EQ(list.GetPairs(first, second), 3);
    ASSERT_EQ(second.GetSize(), 2);
    EXPECT_EQ(first[0], 4);
    EXPECT_EQ(second[0], 5);
    EXPECT_EQ(std::set<int>({first[2], second[1]}), (std::set<int>{0, 1}));
}

// ---- randomized comparison with brute force -----------------------------------
struct Scene {
    const char* name;
    double cutoff;
    double offset;  // where the cloud sits on every axis
    double side;
    double split;  // every other point moves this far on every axis (a sparse box)
};

TEST(NeighborList, MatchesBruteForce) {
    const std::uint64_t seed = TestSeed();
    SCOPED_TRACE(testing::Message() << "TESSARY_TEST_SEED=" << seed);
    std::mt19937_64 rng(seed);
    const Scene scenes[] = {
        {"dense cube", 1.0, 0.0, 6.0, 0.0},
        {"sparse cube around the origin", 2.5, -20.0, 40.0, 0.0},
        {"far beyond +645 cutoffs", 1.0, 700.0, 8.0, 0.0},
        {"far beyond -645 cutoffs", 3.0, -3000.0, 20.0, 0.0},
        {"two clusters far apart", 1.0, -50.0, 7.0, 2000.0},
        {"clusters on both sides of the key range", 1.0, -2.0e6, 9.0, 4.0e6},
        {"beyond the key range", 0.5, 1.0e7, 4.0, 0.0},
        {"huge coordinates", 1.0e30, -1.0e32, 3.0e30, 0.0},
        {"tiny coordinates", 1.0e-16, 1.0e-15, 5.0e-16, 0.0},
    };
    for (const Scene& scene : scenes) {
        SCOPED_TRACE(scene.name);
        std::uniform_real_distribution<double> u(scene.offset, scene.offset + scene.side);
        std::vector<Point3d> points;
        NeighborList list(scene.cutoff, 64);
        for (int i = 0; i < 700; ++i) {
            const double shift = i % 2 ? scene.split : 0.0;
            points.push_back(Point3d(u(rng) + shift, u(rng) + shift, u(rng) + shift));
            // Some duplicates and points exactly on cell boundaries.
            if (i % 50 == 0) points.push_back(points.back());
            if (i % 70 == 0) points.push_back(Point3d(scene.offset + scene.cutoff * 3, u(rng), u(rng)));
        }
        for (std::size_t i = 0; i < points.size(); ++i) ASSERT_EQ(list.Add(points[i]), static_cast<int>(i));

        IntArray first, second;
        const int size = list.GetPairs(first, second);
        EXPECT_EQ(size, first.GetSize());
        const PairSet expected = BrutePairs(points, scene.cutoff);
        EXPECT_EQ(CollectPairs(first, second), expected);

        // The same points with the last ones added after a layout: too few
        // for a new sort, so their pairs come through their chains.
        for (const std::size_t newcomers : {std::size_t{1}, std::size_t{120}}) {
            NeighborList later(scene.cutoff, 64);
            const std::size_t laidOut = points.size() - newcomers;
            for (std::size_t i = 0; i < laidOut; ++i) later.Add(points[i]);
            IntArray ignored;
            later.GetPairs(ignored, ignored);
            for (std::size_t i = laidOut; i < points.size(); ++i) later.Add(points[i]);
            IntArray laterFirst, laterSecond;
            later.GetPairs(laterFirst, laterSecond);
            EXPECT_EQ(CollectPairs(laterFirst, laterSecond), expected) << newcomers << " newcomers";
        }

        for (int q = 0; q < 150; ++q) {
            const double shift = q % 4 < 2 ? scene.split : 0.0;
            const Point3d query = q % 3 == 0 ? points[static_cast<std::size_t>(q)]
                                             : Point3d(u(rng) + shift, u(rng) + shift, u(rng) + shift);
            const double radius = scene.cutoff * (q % 2 ? 1.0 : std::uniform_real_distribution<double>(0.1, 1.0)(rng));
            CheckQuery(list, points, query, radius);
        }
    }
}

// A lattice whose spacing divides the cutoff: crowded cells, and many pairs
// at exactly the cutoff, which the pair test must leave out whatever
// arithmetic screens the candidates.
TEST(NeighborList, LatticeAtExactlyTheCutoff) {
    for (double spacing : {0.5, 0.25, 1.0 / 3.0}) {
        SCOPED_TRACE(spacing);
        NeighborList list(1.0, 64);
        std::vector<Point3d> points;
        for (int i = 0; i < 7; ++i)
            for (int j = 0; j < 7; ++j)
                for (int k = 0; k < 7; ++k) {
                    points.push_back(Point3d(i * spacing - 1.0, j * spacing, k * spacing + 3.0));
                    list.Add(points.back());
                }
        IntArray first, second;
        list.GetPairs(first, second);
        EXPECT_EQ(CollectPairs(first, second), BrutePairs(points, 1.0));
        for (std::size_t q = 0; q < points.size(); q += 17) CheckQuery(list, points, points[q], 1.0);
    }
}

// Adds and queries interleaved: newcomers are searched before the next
// layout, layouts merge them with earlier points, and pairs stay exact.
TEST(NeighborList, InterleavedAddsAndQueries) {
    const std::uint64_t seed = TestSeed() + 1;
    SCOPED_TRACE(testing::Message() << "TESSARY_TEST_SEED=" << seed - 1);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(0.0, 12.0);
    NeighborList list(1.5, 4);
    std::vector<Point3d> points;
    for (int round = 0; round < 8; ++round) {
        const int batch = round == 0 ? 3 : 300 * round;
        for (int i = 0; i < batch; ++i) {
            // Some cells are new each round; from round 6 on, a far cluster
            // makes the occupied box sparse.
            const double far = round >= 6 && i % 2 ? 5000.0 : 0.0;
            points.push_back(Point3d(u(rng) + far, u(rng), u(rng) + round));
            ASSERT_EQ(list.Add(points.back()), static_cast<int>(points.size()) - 1);
            if (i % 37 == 0) CheckQuery(list, points, Point3d(u(rng) + far, u(rng), u(rng) + round), 1.5);
        }
        IntArray first, second;
        list.GetPairs(first, second);
        EXPECT_EQ(CollectPairs(first, second), BrutePairs(points, 1.5));
        for (int q = 0; q < 30; ++q) CheckQuery(list, points, Point3d(u(rng) + (q % 2 ? 5000.0 : 0.0), u(rng), u(rng)), 1.5);
    }
}

TEST(NeighborList, BondsOfARealProtein) {
    const TessaryTest::Molecule mol =
        TessaryTest::ReadMolecule(std::string(TESSARY_SOURCE_DIR) + "/data/molecules/1ubq.pdb");
    ASSERT_EQ(mol.Size(), 660u);
    std::vector<Point3d> points;
    NeighborList list(2.0, 256);
    for (const TessaryTest::Atom& a : mol.atoms) {
        points.push_back(Point3d(a.x, a.y, a.z));
        list.Add(points.back());
    }
    IntArray first, second;
    const int pairs = list.GetPairs(first, second);
    EXPECT_EQ(CollectPairs(first, second), BrutePairs(points, 2.0));
    EXPECT_GT(pairs, 600);  // about one bond per heavy atom
    EXPECT_LT(pairs, 720);
}

// A laid-out list answers a query in one pass over each row of cells; a list
// with newcomers since its last sort walks cell by cell. Both must give the
// same numbers in the same order (cell by cell: the row's own cell, -x, +x;
// within a cell the order of addition) and the same nearest.
TEST(NeighborList, QueryOrderIsTheSameLaidOutOrNot) {
    const std::uint64_t seed = TestSeed() + 3;
    SCOPED_TRACE(testing::Message() << "TESSARY_TEST_SEED=" << seed - 3);
    std::mt19937_64 rng(seed);
    struct Case {
        const char* name;
        double cutoff, side, far;
    };
    const Case cases[] = {{"compact box", 1.5, 9.0, 0.0}, {"sparse box", 1.0, 6.0, 3000.0}, {"negative corner", 2.0, -12.0, 0.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::uniform_real_distribution<double> u(std::min(0.0, c.side), std::max(0.0, c.side));
        std::vector<Point3d> points;
        for (int i = 0; i < 900; ++i) {
            const double shift = i % 3 == 0 ? c.far : 0.0;
            points.push_back(Point3d(u(rng) + shift, u(rng), u(rng) - shift));
            if (i % 40 == 0) points.push_back(points.back());  // equal distances: the first met is the nearest
        }
        NeighborList laidOut(c.cutoff, 64), fresh(c.cutoff, 64);
        for (const Point3d& p : points) laidOut.Add(p);
        IntArray ignored;
        laidOut.GetNeighbors(points[0], ignored);  // lays every point out
        // Too few newcomers for a new sort: every query of `fresh` walks cell by cell.
        const std::size_t first = points.size() - 200;
        for (std::size_t i = 0; i < first; ++i) fresh.Add(points[i]);
        fresh.GetNeighbors(points[0], ignored);
        for (std::size_t i = first; i < points.size(); ++i) fresh.Add(points[i]);
        for (std::size_t q = 0; q < points.size(); q += 7) {
            const Point3d query = q % 2 ? points[q] : Point3d(points[q].x + 0.3f, points[q].y - 0.2f, points[q].z);
            for (const double radius : {c.cutoff, 0.5 * c.cutoff}) {
                IntArray a, b;
                a.Add(-1);
                b.Add(-1);
                EXPECT_EQ(laidOut.GetNeighbors(query, radius, a), fresh.GetNeighbors(query, radius, b)) << q;
                EXPECT_EQ(Values(a), Values(b)) << q;
                CheckQuery(laidOut, points, query, radius);
            }
        }
    }
}

// ---- edge cases of the pair search, against brute force -----------------------
struct PairCase {
    const char* name;
    double cutoff;
    std::vector<Point3d> points;
};

// Points on a lattice of `n` per axis with the given spacing from `origin`.
std::vector<Point3d> Lattice(int n, double spacing, const Point3d& origin) {
    std::vector<Point3d> points;
    for (int k = 0; k < n; ++k)
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i)
                points.push_back(Point3d(origin.x + i * spacing, origin.y + j * spacing, origin.z + k * spacing));
    return points;
}

// Checks the pairs of `points` against brute force: each close pair once, and
// the pairs of a list built in one go equal, in order, those of a list whose
// last points arrived after a layout.
void CheckPairs(const PairCase& c) {
    SCOPED_TRACE(c.name);
    NeighborList list(c.cutoff, 64);
    for (const Point3d& p : c.points) list.Add(p);
    IntArray first, second;
    first.Add(-3);  // pairs are appended
    second.Add(-4);
    const int size = list.GetPairs(first, second);
    ASSERT_EQ(size, first.GetSize());
    ASSERT_EQ(first[0], -3);
    ASSERT_EQ(second[0], -4);
    EXPECT_EQ(CollectPairs(first, second, 1), BrutePairs(c.points, c.cutoff));
    // Asking again gives the same pairs in the same order.
    IntArray again1, again2;
    list.GetPairs(again1, again2);
    EXPECT_EQ(Values(again1), std::vector<int>(first.begin() + 1, first.end()));
    EXPECT_EQ(Values(again2), std::vector<int>(second.begin() + 1, second.end()));
}

TEST(NeighborList, PairEdgeCases) {
    const double c = 2.0;
    std::vector<PairCase> cases = {
        {"empty", c, {}},
        {"one point", c, {Point3d(1, 2, 3)}},
        {"two duplicates", c, {Point3d(-1, -1, -1), Point3d(-1, -1, -1)}},
        {"exactly the cutoff apart on each axis", c,
         {Point3d(0, 0, 0), Point3d(2, 0, 0), Point3d(0, -2, 0), Point3d(0, 0, 2), Point3d(-2, 0, 0)}},
        {"just inside the cutoff across a cell boundary", c,
         {Point3d(1.99f, 0, 0), Point3d(3.98f, 0, 0), Point3d(2.0f, 0, 0), Point3d(-0.0001f, 0, 0)}},
        {"negative coordinates", c, Lattice(6, 0.9, Point3d(-7.3, -4.1, -11.0))},
        // Beyond the range of cell keys: the cells there are clamped together.
        {"huge coordinates", 1e30, Lattice(5, 6e29, Point3d(-3e36f, 2.5e36f, 1e30f))},
        {"lattice spacing dividing the cutoff", c, Lattice(9, 0.5, Point3d(-2, -2, -2))},
    };
    // A long run of duplicates: one crowded cell whose points all pair up.
    cases.push_back({"many duplicates", c, std::vector<Point3d>(300, Point3d(4, 4, 4))});
    for (const PairCase& pc : cases) CheckPairs(pc);
}

// Lists large enough that the pair search sizes its output from a sample of
// the cells: whether the sample under- or overestimates, the pairs are exact.
TEST(NeighborList, PairsOfLargeLists) {
    const std::uint64_t seed = TestSeed() + 2;
    SCOPED_TRACE(testing::Message() << "TESSARY_TEST_SEED=" << seed - 2);
    std::mt19937_64 rng(seed);
    const auto cloud = [&](std::size_t n, double side, const Point3d& origin) {
        std::uniform_real_distribution<double> u(0.0, side);
        std::vector<Point3d> points(n);
        for (Point3d& p : points) p = Point3d(origin.x + u(rng), origin.y + u(rng), origin.z + u(rng));
        return points;
    };
    const auto join = [](std::vector<Point3d> a, const std::vector<Point3d>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<PairCase> cases = {
        {"uniform cloud, compact box", 2.0, cloud(12000, 36.0, Point3d(-18, -18, -18))},
        {"lattice at exactly the cutoff", 1.0, Lattice(22, 0.5, Point3d(-5, 3, -1))},
        // A sparse box (sorted by key, no row index) with a crowded clump
        // that a sample of the cells may miss or hit.
        {"sparse box with a clump", 1.5,
         join(join(cloud(9000, 300.0, Point3d(-150, -150, -150)), std::vector<Point3d>(400, Point3d(7.5f, -3, 2))),
              cloud(600, 1.0, Point3d(-90, 40, 0)))},
        {"two far clusters", 3.0, join(cloud(5000, 30.0, Point3d(0, 0, 0)), cloud(5000, 30.0, Point3d(-1e5, 2e5, 0)))},
    };
    for (const PairCase& pc : cases) {
        CheckPairs(pc);
        // The last points added after a layout are paired through their cells' chains.
        NeighborList later(pc.cutoff, 64);
        const std::size_t laidOut = pc.points.size() * 7 / 8;
        for (std::size_t i = 0; i < laidOut; ++i) later.Add(pc.points[i]);
        IntArray ignored;
        later.GetNeighbors(pc.points[0], ignored);
        for (std::size_t i = laidOut; i < pc.points.size(); ++i) later.Add(pc.points[i]);
        IntArray first, second;
        later.GetPairs(first, second);
        EXPECT_EQ(CollectPairs(first, second), BrutePairs(pc.points, pc.cutoff)) << pc.name << ", with newcomers";
    }
}

}  // namespace
}  // namespace Tessary
