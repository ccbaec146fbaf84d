#pragma once

// Small-molecule (core) CIF files: fractional sites of an asymmetric unit,
// a cell and a space group. The reader completes the molecules by symmetry,
// so what is drawn is whole molecules, each atom once.

#include <string>

#include <gemmi/cifdoc.hpp>
#include <gemmi/symmetry.hpp>
#include <gemmi/unitcell.hpp>

#include "Structure.h"

namespace TessaryScene {

// Completion stops once it has this many times the asymmetric unit's atoms:
// a polymeric crystal (or a hostile file) never closes.
constexpr int kMaxCompletionGrowth = 64;

// Two images closer than this are one atom (a site on a symmetry element).
constexpr double kCoincidence = 0.3;

// The cell and space group in Cartesian terms; empty without both.
Crystal CrystalOf(const gemmi::UnitCell& cell, const gemmi::SpaceGroup* group);

// The first block holding atom coordinates, mmCIF (_atom_site.Cartn_x) or
// small-molecule (_atom_site_fract_x); a note on stderr names it when several
// blocks hold them. Throws InputError when none does.
const gemmi::cif::Block& CoordinateBlock(const gemmi::cif::Document& doc, const std::string& path);

// Fractional sites and no Cartesian ones: a block to read with ReadSmallMolecule.
bool IsSmallMoleculeBlock(const gemmi::cif::Block& block);

// The block's sites as whole molecules: the asymmetric unit, then symmetry
// images (operations with lattice translations) of atoms bonded to atoms
// already there, until nothing more bonds (or kMaxCompletionGrowth). Atom
// names are the site labels; an image carries its operation in `symmetry`;
// the residue number is the molecule's, from 1. Displacements become
// Cartesian U (rotated with their image), U_iso the B-factor. Of disorder
// groups only the first is kept, as alternative conformations are.
// Throws InputError.
Structure ReadSmallMolecule(const gemmi::cif::Block& block, const std::string& path);

}  // namespace TessaryScene
