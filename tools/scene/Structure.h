#pragma once

// The structure model of the reference host: atoms of one model, grouped by
// chain, as read from a PDB, mmCIF or XYZ file. Everything the scene, the
// metal table and the superposition need, and nothing the library keeps.

#include <array>
#include <cstddef>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tessary/geometry/Point3d.h"

namespace TessaryScene {

// Bad input the user can mend: a missing or unreadable file, an unknown
// format, a structure without atoms, a bad option. The program prints the
// message as one line and exits with 2.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a residue is part of: a polymer chain (amino or nucleic acid), a
// ligand or ion, or the solvent; None for atoms without residues (XYZ).
enum class ResidueKind { None, Polymer, Ligand, Water };

struct Atom {
    std::string name;         // "CA"
    std::string element;      // "C", "Zn": capital then small letters
    std::string residueName;  // "HIS", or four letters ("TIP3") from simulation files
    int residueNumber = 0;
    char insertionCode = ' ';
    std::string chain;        // the segment ID where a PDB file leaves the chain blank; empty for XYZ files
    ResidueKind residueKind = ResidueKind::None;
    Tessary::Point3d position;
    double bFactor = 0.0;
    bool hetero = false;
    // Anisotropic displacement U11 U22 U33 U12 U13 U23 in square angstroms.
    bool hasAniso = false;
    std::array<double, 6> u{};
    // A symmetry image of a small-molecule site: the operation that made it
    // ("-x+1,y,-z+1/2"); empty for the site itself and other files' atoms.
    std::string symmetry;

    // "HIS 96 A" (or the element and number for molecules without residues;
    // the site label, and the operation of an image, for small-molecule sites).
    std::string ResidueLabel() const;
};

// Atoms [first, first + count) of one chain.
struct Chain {
    std::string name;
    int first = 0;
    int count = 0;
};

// The crystal a structure was read from, in Cartesian angstroms: the cell's
// edges and the space group's operations x' = R x + t (the identity first).
// Empty for files without a cell or with an unknown space group.
struct Crystal {
    struct Operation {
        std::string triplet;  // "-x,y+1/2,-z"
        std::array<Tessary::Point3d, 3> rotation;  // rows of R
        Tessary::Point3d translation;
        // The same in fractions of the cell, in 24ths (a denominator every
        // space group's operations share): f' = (R24 f + t24) / 24.
        std::array<std::array<int, 3>, 3> rotation24{};
        std::array<int, 3> translation24{};

        Tessary::Point3d Apply(const Tessary::Point3d& p) const {
            return Tessary::Point3d(rotation[0].Dot(p), rotation[1].Dot(p), rotation[2].Dot(p)) + translation;
        }
        // The triplet of this operation followed by a shift of `cells` whole
        // cells, the shift folded into the constant terms: "-x,y+1/2,-z"
        // shifted by (1,0,0) is "-x+1,y+1/2,-z"; no shift gives `triplet`.
        std::string Triplet(const std::array<int, 3>& cells) const;
    };
    std::string spaceGroup;                   // Hermann-Mauguin symbol, "P 21 21 21"
    std::array<Tessary::Point3d, 3> edges{};  // a, b, c
    std::array<Tessary::Point3d, 3> toFractional{};  // rows of the inverse of [a b c]
    std::vector<Operation> operations;

    bool Known() const { return !operations.empty(); }
    Tessary::Point3d Fractional(const Tessary::Point3d& p) const {
        return Tessary::Point3d(toFractional[0].Dot(p), toFractional[1].Dot(p), toFractional[2].Dot(p));
    }
    // Where operation `op` followed by a shift of `cells` takes `p`.
    Tessary::Point3d Image(const Operation& op, const std::array<int, 3>& cells, const Tessary::Point3d& p) const {
        return op.Apply(p) + edges[0] * static_cast<float>(cells[0]) + edges[1] * static_cast<float>(cells[1]) +
               edges[2] * static_cast<float>(cells[2]);
    }
};

// A helix or strand as the file records it (HELIX/SHEET, struct_conf/
// struct_sheet_range): residues `start` to `end` of `chain`, numbered as the
// atoms are. helixClass is the PDB class (1 right-handed alpha, 3 pi, 5 3-10;
// 0 unknown or a strand).
struct SecondaryRange {
    enum class Kind { Helix, Strand };
    Kind kind = Kind::Helix;
    std::string chain;
    int startNumber = 0;
    char startInsertion = ' ';
    int endNumber = 0;
    char endInsertion = ' ';
    int helixClass = 0;
};

struct Structure {
    std::string path;
    std::string title;
    int modelCount = 0;   // models (or XYZ frames) in the file
    int model = 1;        // the one held here, counted from 1
    std::vector<Atom> atoms;
    std::vector<Chain> chains;
    int alternativesLeftOut = 0;  // atoms of later alternative conformations not read
    Crystal crystal;
    // Small-molecule CIF files: the asymmetric unit's sites read, and the
    // whole molecules the symmetry completed them to; 0 for other files.
    int asymmetricSites = 0;
    int molecules = 0;
    std::vector<SecondaryRange> secondaryRanges;  // in file order, helices first

    bool SmallMolecule() const { return asymmetricSites > 0; }
    Tessary::Point3d::Array Positions() const;
};

// The largest structure text read, in megabytes after decompression, unless
// the caller raises it: a small compressed file may inflate without bound.
constexpr int kDefaultMaxInputMegabytes = 1024;

// What `info` says of each chain name: gemmi splits a chain into parts
// (polymer, ligands, waters), and a name may come back several times.
struct ChainSummary {
    std::string name;
    int parts = 0;          // runs of atoms under this name
    int polymerParts = 0;   // runs holding polymer residues
    int polymerResidues = 0;
    int ligands = 0;        // ligand and ion residues
    int waters = 0;
    int atoms = 0;
};

// One entry per chain name, in the order the names first appear. A residue
// is a run of atoms with the same number, insertion code and name in which no
// atom name repeats: residue numbers wrapping past 9999 in a simulation box
// give one number to many molecules.
std::vector<ChainSummary> SummariseChains(const Structure& structure);

// "A: 1 polymer part (153 residues), 2 ligands, 120 waters" per chain name;
// beyond `limit` names, one line counts the chains and atoms left.
void PrintChainSummaries(const std::vector<ChainSummary>& chains, std::size_t limit, std::ostream& out);

// Reads model `model` (from 1) of a PDB (.pdb, .ent), mmCIF or small-molecule
// CIF (.cif, .mmcif; told apart by their coordinates, see SmallMolecule.h) or
// XYZ (.xyz) file, each possibly gzipped (.gz). PDB files written by
// simulation programs are read as those programs mean them: a residue name
// running into column 21 is four letters long when column 22 is blank, and a
// blank chain takes the segment ID of columns 73-76. Alternative conformations
// keep their first (only atoms with alternative-location marks are left out,
// and a note on stderr says how many); waters stay. Every name and title is
// valid UTF-8. Throws InputError, also for a coordinate, B-factor or
// displacement that is not a finite number and for text beyond
// `maxInputMegabytes`.
//
// Copies: `assembly` N (from 1) builds biological assembly N of the file
// (REMARK 350, pdbx_struct_assembly), copies in chains renamed apart; N
// beyond the file's assemblies is an InputError naming them. Without an
// assembly, NCS copies the file describes (MTRIX, struct_ncs_oper) but does
// not give are generated as chains of their own, with a note on stderr.
// Copies of an atom on an axis of the copying that land on it are dropped.
// The crystal stays as the file gives it.
Structure ReadStructure(const std::string& path, int model = 1, int maxInputMegabytes = kDefaultMaxInputMegabytes,
                        int assembly = 0);

// Every model of the file, read once (an ensemble), as ReadStructure reads each.
std::vector<Structure> ReadStructureModels(const std::string& path, int maxInputMegabytes = kDefaultMaxInputMegabytes,
                                           int assembly = 0);

// The text of a file, gunzipped when its name ends in .gz and it starts like
// gzip data (several members follow each other; bytes after the last are
// ignored). Throws InputError for a directory, an unreadable or truncated file
// and text beyond `maxInputMegabytes`, checked while inflating.
std::string ReadInputText(const std::string& path, int maxInputMegabytes);

// The XYZ text of a file: frames of "count / comment / element x y z" lines.
// Public so the fuzzer reaches it without a file. Throws InputError.
Structure ParseXyz(const std::string& text, int model);

// Frame `model` (from 1) of the XYZ text, or every frame for model 0.
std::vector<Structure> ParseXyzFrames(const std::string& text, int model);

// `text` as valid UTF-8: valid sequences stay, every other byte is read as
// Latin-1 (U+0080 to U+00FF), so a title in an old encoding still draws.
std::string TextAsUtf8(const std::string& text);

// Throws InputError naming `where` and the atom when a number of the atom
// (coordinates, B-factor, displacement) is not finite: one rule for every reader.
void RequireFiniteNumbers(const Atom& atom, const std::string& where);
// Whether RequireFiniteNumbers would pass the atom, without a message to build.
bool HasFiniteNumbers(const Atom& atom);

// "ZN" or "zn" to "Zn".
std::string ElementSymbolCase(const std::string& symbol);

}  // namespace TessaryScene
