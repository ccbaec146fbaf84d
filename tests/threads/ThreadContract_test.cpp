// What the library promises to threads, run from four threads released
// together and compared with the answers of one thread: const queries of one
// NeighborList, separate RegExpression objects, the CoordinationGeometry
// functions, separate display lists. Built under ThreadSanitizer too, where a race fails the run even
// when the answers happen to come out right.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tessary/chemistry/CoordinationGeometry.h"
#include "tessary/chemistry/NeighborList.h"
#include "tessary/graphics/displaylist/DisplayList3D.h"
#include "tessary/util/RegExpression.h"
#include "tests/support/Molecule.h"

namespace Tessary {
namespace {

constexpr int kThreads = 4;

// Runs work(thread) on kThreads threads that start it at the same moment.
template <class Work>
void RunTogether(Work work) {
    std::atomic<int> waiting{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&waiting, &work, t] {
            waiting.fetch_sub(1);
            while (waiting.load() > 0) std::this_thread::yield();
            work(t);
        });
    for (std::thread& thread : threads) thread.join();
}

std::vector<Point3d> Atoms(const char* file) {
    const TessaryTest::Molecule mol =
        TessaryTest::ReadMolecule(std::string(TESSARY_SOURCE_DIR) + "/data/molecules/" + file);
    std::vector<Point3d> points;
    for (const TessaryTest::Atom& a : mol.atoms) points.emplace_back(a.x, a.y, a.z);
    return points;
}

// Copies of the points shifted far apart along x: an occupied box far larger
// than the points, so cells are found through the hash of their keys.
std::vector<Point3d> Sparse(const std::vector<Point3d>& points, int copies) {
    std::vector<Point3d> out;
    for (int c = 0; c < copies; ++c)
        for (const Point3d& p : points) out.emplace_back(p.x + 1000.0 * c, p.y, p.z);
    return out;
}

using Pairs = std::vector<std::pair<int, int>>;

Pairs GetPairs(const NeighborList& list) {
    IntArray first, second;
    list.GetPairs(first, second);
    Pairs pairs;
    for (int i = 0; i < first.GetSize(); ++i)
        pairs.emplace_back(std::min(first[i], second[i]), std::max(first[i], second[i]));
    std::sort(pairs.begin(), pairs.end());
    return pairs;
}

// Every query point's sorted neighbours and nearest one.
using Neighbors = std::vector<std::pair<std::vector<int>, int>>;

Neighbors GetNeighbors(const NeighborList& list, const std::vector<Point3d>& queries) {
    Neighbors all;
    IntArray found;
    for (const Point3d& q : queries) {
        found.SetSize(0);
        const int nearest = list.GetNeighbors(q, found);
        std::vector<int> sorted(found.begin(), found.end());
        std::sort(sorted.begin(), sorted.end());
        all.emplace_back(std::move(sorted), nearest);
    }
    return all;
}

void AddAll(NeighborList& list, const std::vector<Point3d>& points, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) list.Add(points[i]);
}

// Lists are fresh each round so that the threads race for the first layout.
constexpr int kRounds = 8;

TEST(ThreadContract, PairsOfOneListFromFourThreads) {
    const std::vector<Point3d> protein = Atoms("1ubq.pdb");
    for (const auto& points : {protein, Sparse(protein, 3)}) {
        NeighborList reference(1.9, 64);
        AddAll(reference, points, 0, points.size());
        const Pairs expected = GetPairs(reference);
        ASSERT_GT(expected.size(), points.size() / 2);  // bonds
        for (int round = 0; round < kRounds; ++round) {
            NeighborList list(1.9, 64);
            AddAll(list, points, 0, points.size());
            std::vector<Pairs> got(kThreads);
            RunTogether([&](int t) { got[static_cast<std::size_t>(t)] = GetPairs(list); });
            for (int t = 0; t < kThreads; ++t) EXPECT_EQ(got[static_cast<std::size_t>(t)], expected) << "thread " << t;
        }
    }
}

TEST(ThreadContract, PointQueriesOfASparseListAfterItsPairs) {
    const std::vector<Point3d> points = Sparse(Atoms("1ubq.pdb"), 4);
    NeighborList reference(4.0, 64);
    AddAll(reference, points, 0, points.size());
    const Neighbors expected = GetNeighbors(reference, points);
    for (int round = 0; round < kRounds; ++round) {
        NeighborList list(4.0, 64);
        AddAll(list, points, 0, points.size());
        GetPairs(list);  // lays the cells out; the point-query lookup is still to be built
        std::vector<Neighbors> got(kThreads);
        RunTogether([&](int t) { got[static_cast<std::size_t>(t)] = GetNeighbors(list, points); });
        for (int t = 0; t < kThreads; ++t) EXPECT_EQ(got[static_cast<std::size_t>(t)], expected) << "thread " << t;
    }
}

// Points added after a query wait in chains until enough are new for a sort;
// queries from several threads must then read the same chains, and pairs
// with the newcomers must still come out exactly once.
TEST(ThreadContract, QueriesWithFewPointsAddedSinceTheLastLayout) {
    const std::vector<Point3d> protein = Atoms("1ubq.pdb");
    for (const auto& points : {protein, Sparse(protein, 2)}) {
        for (const std::size_t pending : {std::size_t{40}, std::size_t{200}, points.size()}) {
            SCOPED_TRACE(testing::Message() << points.size() << " points, " << pending << " pending");
            const std::size_t laidOut = points.size() - pending;
            NeighborList reference(1.9, 64);
            AddAll(reference, points, 0, points.size());
            const Pairs expectedPairs = GetPairs(reference);
            const Neighbors expectedNeighbors = GetNeighbors(reference, points);
            for (int round = 0; round < kRounds / 2; ++round) {
                NeighborList list(1.9, 64);
                AddAll(list, points, 0, laidOut);
                GetPairs(list);
                AddAll(list, points, laidOut, points.size());
                std::vector<Pairs> pairs(kThreads);
                std::vector<Neighbors> neighbors(kThreads);
                // Half the threads start with the pairs, half with point queries.
                RunTogether([&](int t) {
                    const auto i = static_cast<std::size_t>(t);
                    if (t % 2) neighbors[i] = GetNeighbors(list, points);
                    pairs[i] = GetPairs(list);
                    if (t % 2 == 0) neighbors[i] = GetNeighbors(list, points);
                });
                for (int t = 0; t < kThreads; ++t) {
                    EXPECT_EQ(pairs[static_cast<std::size_t>(t)], expectedPairs) << "thread " << t;
                    EXPECT_EQ(neighbors[static_cast<std::size_t>(t)], expectedNeighbors) << "thread " << t;
                }
            }
        }
    }
}

TEST(ThreadContract, SeparateExpressionsFromFourThreads) {
    const TessaryTest::Molecule mol =
        TessaryTest::ReadMolecule(std::string(TESSARY_SOURCE_DIR) + "/data/molecules/1ubq.pdb");
    const char* const patterns[] = {"C[AB]", "^O", "*G", "N|S.", "(C|N)(D|E)[0-9]?$", "\\<H"};
    const auto matchAll = [&] {
        std::vector<int> results;
        for (const char* text : patterns) {
            RegExpression expression(text, false);
            for (const TessaryTest::Atom& atom : mol.atoms) {
                const CString subject((atom.residue + " " + atom.name).c_str());
                results.push_back(expression.Match(subject, false) ? expression.GetSubstring(0).GetLength() : -1);
                results.push_back(expression.Match(CString(atom.name.c_str()), true) ? 1 : 0);
            }
        }
        return results;
    };
    const std::vector<int> expected = matchAll();
    ASSERT_NE(std::count(expected.begin(), expected.end(), -1), static_cast<long>(expected.size() / 2));
    std::vector<std::vector<int>> got(kThreads);
    RunTogether([&](int t) { got[static_cast<std::size_t>(t)] = matchAll(); });
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(got[static_cast<std::size_t>(t)], expected) << "thread " << t;
}

TEST(ThreadContract, CoordinationGeometryFromFourThreads) {
    using namespace CoordinationGeometry;
    // The ligand directions of every metal site of a few structures.
    std::vector<Point3d::Array> sites;
    for (const char* file : {"2hhb.ent", "4at1.ent", "Fe_1brf_snip_reduced.pdb", "water_cluster_Mg.xyz"}) {
        const TessaryTest::Molecule mol =
            TessaryTest::ReadMolecule(std::string(TESSARY_SOURCE_DIR) + "/data/molecules/" + file);
        for (const char* element : {"Fe", "Zn", "Mg"})
            for (std::size_t metal : mol.FindElement(element)) {
                const TessaryTest::Atom& m = mol.atoms[metal];
                Point3d::Array dirs;
                for (std::size_t i = 0; i < mol.atoms.size(); ++i) {
                    const TessaryTest::Atom& a = mol.atoms[i];
                    Point3d d(a.x - m.x, a.y - m.y, a.z - m.z);
                    if (i != metal && a.element != "H" && d.Length() < 2.8) dirs.Add(d.Normalize());
                }
                sites.push_back(dirs);
            }
    }
    ASSERT_GE(sites.size(), 6u);
    const auto classifyAll = [&] {
        std::vector<double> results;
        for (const Point3d::Array& dirs : sites)
            for (int type = 1; type <= 30; ++type) {
                const auto t = static_cast<CoordinationGeometryType>(type);
                if (GetCoordinationNumber(t) != dirs.GetSize()) continue;
                IntArray assignment;
                results.push_back(DeviationFromIdealCoordinationGeometry(dirs, t, assignment));
                for (int a : assignment) results.push_back(a);
                Point3d::Array ideal;
                results.push_back(GetCoordinates(t, ideal));
                results.push_back(GetCoordinationAngle(t, 1, 2));
            }
        results.push_back(StringToCoordinationGeometry("Octahedral"));
        return results;
    };
    const std::vector<double> expected = classifyAll();
    ASSERT_GT(expected.size(), sites.size() * 4);
    std::vector<std::vector<double>> got(kThreads);
    RunTogether([&](int t) { got[static_cast<std::size_t>(t)] = classifyAll(); });
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(got[static_cast<std::size_t>(t)], expected) << "thread " << t;
}

#ifdef NDEBUG
// An empty array's non-const Get... hands back a scratch element (debug builds
// assert instead); lists on different threads must not share it.
TEST(ThreadContract, ScratchElementsOfSeparateListsFromFourThreads) {
    std::vector<DisplayList3D> lists(kThreads);  // the ID counter is one thread's at a time
    std::vector<int> wrong(kThreads, 0);
    RunTogether([&](int t) {
        DisplayList3D& list = lists[static_cast<std::size_t>(t)];
        const auto mine = static_cast<unsigned>(t + 1);
        for (int i = 0; i < 2000; ++i) {
            SpherePrimitive& sphere = list.GetOpaqueSphere(0);
            sphere.SetID(mine);
            DisplayList3D& child = list.GetDisplayList(0);
            child.SetIconScale(Point3d(mine, mine, mine));
            if (sphere.GetID() != mine || child.GetIconScale().x != static_cast<float>(mine)) ++wrong[static_cast<std::size_t>(t)];
        }
    });
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(wrong[static_cast<std::size_t>(t)], 0) << "thread " << t;
}
#endif

}  // namespace
}  // namespace Tessary
