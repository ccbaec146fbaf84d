#pragma once

// The point sets of the neighbour-list suite, shared by chemistry_bench and
// neighbor_points (which writes them out for the Python anchors):
// 1,000,000 uniform random points at 0.1 per cubic unit with cutoff 3.0, in
// random order and sorted into 8-unit blocks, and two real structures at 2.0
// (bonds) and 4.0 (contacts).

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "tessary/geometry/Point3d.h"
#include "tests/support/Molecule.h"

namespace TessaryBench {

using Tessary::Point3d;

struct Dataset {
    std::vector<Point3d> points;
    double cutoff;
};

enum DatasetId { RandomOrder, Blocked, Solvated2, Solvated4, Crystal2, Crystal4 };

inline std::vector<Point3d> RandomCloud() {
    constexpr std::size_t kPoints = 1'000'000;
    const double side = std::cbrt(static_cast<double>(kPoints) / 0.1);
    std::mt19937_64 rng(20261207);
    std::uniform_real_distribution<double> u(0.0, side);
    std::vector<Point3d> points(kPoints);
    for (Point3d& p : points) p = Point3d(u(rng), u(rng), u(rng));
    return points;
}

inline std::vector<Point3d> ReadAtoms(const char* file) {
    const TessaryTest::Molecule mol =
        TessaryTest::ReadMolecule(std::string(TESSARY_SOURCE_DIR) + "/data/molecules/" + file);
    std::vector<Point3d> points;
    points.reserve(mol.atoms.size());
    for (const TessaryTest::Atom& a : mol.atoms) points.push_back(Point3d(a.x, a.y, a.z));
    return points;
}

inline const Dataset& GetDataset(DatasetId id) {
    static Dataset sets[6];
    Dataset& d = sets[id];
    if (!d.points.empty()) return d;
    switch (id) {
        case RandomOrder:
            d = {RandomCloud(), 3.0};
            break;
        case Blocked: {
            d = {RandomCloud(), 3.0};
            const auto block = [](const Point3d& p) {
                return std::make_tuple(static_cast<int>(p.z / 8), static_cast<int>(p.y / 8), static_cast<int>(p.x / 8));
            };
            std::stable_sort(d.points.begin(), d.points.end(),
                             [&](const Point3d& a, const Point3d& b) { return block(a) < block(b); });
            break;
        }
        case Solvated2:
        case Solvated4:
            d = {ReadAtoms("pdb1tw7_step3_charmm2namd.pdb"), id == Solvated2 ? 2.0 : 4.0};
            break;
        case Crystal2:
        case Crystal4:
            d = {ReadAtoms("4JSV.pdb"), id == Crystal2 ? 2.0 : 4.0};
            break;
    }
    return d;
}

// The sets by the names the benchmark cases carry.
struct NamedDataset {
    const char* name;
    DatasetId id;
};
constexpr NamedDataset kDatasets[] = {{"random_1M", RandomOrder},           {"blocked_1M", Blocked},
                                      {"solvated_50k_bonds", Solvated2},    {"solvated_50k_contacts", Solvated4},
                                      {"crystal_22k_bonds", Crystal2},      {"crystal_22k_contacts", Crystal4}};

}  // namespace TessaryBench
