// Writes the neighbour-list suite's point sets for anchors that run in
// another language (bench/kdtree_pairs.py): for each set, <name>.xyz with
// the points as little-endian float32 x, y, z, and a line "name cutoff count"
// in index.txt. Usage: neighbor_points DIR
#include <fstream>
#include <iostream>
#include <string>

#include "bench/support/NeighborData.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: neighbor_points DIR\n";
        return 2;
    }
    const std::string dir = argv[1];
    std::ofstream index(dir + "/index.txt");
    for (const TessaryBench::NamedDataset& set : TessaryBench::kDatasets) {
        const TessaryBench::Dataset& d = TessaryBench::GetDataset(set.id);
        std::ofstream out(dir + "/" + set.name + ".xyz", std::ios::binary);
        for (const Tessary::Point3d& p : d.points) {
            const float xyz[3] = {p.x, p.y, p.z};
            out.write(reinterpret_cast<const char*>(xyz), sizeof xyz);
        }
        index << set.name << ' ' << d.cutoff << ' ' << d.points.size() << '\n';
        if (!out) {
            std::cerr << "cannot write " << dir << "/" << set.name << ".xyz\n";
            return 1;
        }
    }
    return index ? 0 : 1;
}
