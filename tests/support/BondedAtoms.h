#pragma once

// A sample structure's atoms with the bonds a distance cutoff finds between
// them, for tests that build scenes of atoms and sticks.

#include <string>
#include <vector>

#include "tessary/chemistry/NeighborList.h"
#include "tessary/geometry/Point3d.h"
#include "tests/support/Molecule.h"

namespace TessaryTest {

struct BondedAtoms {
    Molecule molecule;
    std::vector<Tessary::Point3d> centres;  // one per atom, in file order
    Tessary::IntArray first, second;        // bond b joins atoms first[b] and second[b]
    int bonds = 0;
};

// The first model of a PDB file under data/molecules; bonds are pairs closer than 1.9.
inline BondedAtoms ReadBondedPdb(const std::string& name) {
    BondedAtoms out;
    out.molecule = ReadPdb(std::string(TESSARY_SOURCE_DIR) + "/data/molecules/" + name);
    Tessary::NeighborList neighbors(1.9, 1024);
    for (const Atom& atom : out.molecule.atoms) {
        out.centres.emplace_back(atom.x, atom.y, atom.z);
        neighbors.Add(out.centres.back());
    }
    out.bonds = neighbors.GetPairs(out.first, out.second);
    return out;
}

}  // namespace TessaryTest
