#pragma once

// AtomGrid: the neighbour list the bond and metal-site searches query, one
// atom at a time, over the atoms of a structure.
//
// Atoms in a crowd no real structure has are left out: a cell of the grid
// (edge `reach`) holding more than one atom per cubic angstrom (and more
// than 64), about five times the density of the densest solids. Such
// crowds (thousands of atoms in one spot) come from broken or hostile
// files; leaving them out keeps every query short, so a search costs time
// in proportion to the atoms, never to the pairs. Those atoms get no bonds
// and no ligands, and are nobody's partner.

#include <memory>
#include <vector>

#include "tessary/chemistry/NeighborList.h"

#include "Structure.h"

namespace TessaryScene {

class AtomGrid {
public:
    // `reach`: the longest distance any query will ask for.
    AtomGrid(const Structure& structure, double reach);

    // Appends to `found` the atoms (indices into Structure::atoms) closer
    // than `radius` (at most the reach) to `p`; a crowded or non-finite
    // atom is never found.
    void Near(const Tessary::Point3d& p, double radius, std::vector<int>& found);
    // False for an atom left out as part of a crowd.
    bool Searched(int atom) const { return m_listed[static_cast<std::size_t>(atom)]; }

private:
    Tessary::NeighborList m_list;
    std::vector<int> m_atomOf;    // list number -> atom
    std::vector<bool> m_listed;   // per atom
    Tessary::IntArray m_scratch;
};

}  // namespace TessaryScene
