#pragma once

// Secondary structure of a structure's protein residues, as the file records
// it (HELIX/SHEET, struct_conf/struct_sheet_range) or computed from backbone
// hydrogen bonds after Kabsch and Sander: n-turns, helices from two
// consecutive turns (alpha H from 4-turns, 3-10 G from 3-turns, pi I from
// 5-turns), bridges grouped into ladders and bulge-linked ladders into
// strands E, lone bridges B. Turns not in a helix are T; the rest is coil.
//
// Residues are consecutive only when peptide-bonded (C to N under 2.5 A), so
// a chain break ends every helix and strand. A residue needs N, CA and C to
// take part; one without O accepts no hydrogen bond. Residues without
// protein backbone (nucleic acids, ligands, waters) stay coil.

#include <string>
#include <vector>

#include "Structure.h"

namespace TessaryScene {

// FromFile uses the file's records and computes when the file has none
// that name a residue of the structure.
enum class SecondarySource { FromFile, Computed };

// The three classes the scene colours by: H G I are helix, E is strand,
// everything else (B, T, coil) is coil.
enum class SecondaryClass { Coil, Helix, Strand };
SecondaryClass ClassOf(char code);

struct SecondaryStructure {
    struct Residue {
        int firstAtom = 0;
        int atomCount = 0;
        char code = ' ';  // H G I E B T, ' ' for coil
    };
    std::vector<Residue> residues;  // every residue of every chain, in atom order
    std::vector<char> atomCodes;    // the code of each atom's residue
    int helices = 0;   // segments: the file's helix records that name present residues, or computed runs of H, G or I
    int strands = 0;   // likewise strand records, or runs of E
    bool computed = false;
};

SecondaryStructure AssignSecondaryStructure(const Structure& structure, SecondarySource source);

// The Kabsch-Sander electrostatic energy of the hydrogen bond C=O ... H-N in
// kcal/mol; distances under 0.5 A give the floor -9.9.
double HydrogenBondEnergy(const Tessary::Point3d& c, const Tessary::Point3d& o, const Tessary::Point3d& n,
                          const Tessary::Point3d& h);

// "3 helices, 4 strands (from the file)" / "... (computed)".
std::string DescribeSecondaryStructure(const SecondaryStructure& ss);

}  // namespace TessaryScene
