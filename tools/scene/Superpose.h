#pragma once

// Superposition of C-alpha traces (or of whole XYZ frames): two structures,
// or every model of an NMR ensemble onto its first, fitted by the closed-form quaternion method with
// the iterative axis-rotation method beside it.

#include <ostream>
#include <string>
#include <vector>

#include "Selection.h"
#include "Structure.h"

namespace TessaryScene {

// How the fitted atoms were paired.
enum class Pairing {
    ByChain,         // C-alpha atoms by chain, residue number and insertion code
    ByFirstChain,    // no chain name in common: by residue number in each first chain
    ByChosenChains,  // by residue number within the chain chosen in each structure
    ByAtomIndex,     // files without residues (XYZ): every atom, in file order
};

struct Superposition {
    int matched = 0;             // pairs fitted
    Pairing pairing = Pairing::ByChain;
    double rmsdBefore = 0.0;     // angstroms, as the coordinates stand
    double rmsdExact = 0.0;      // after the quaternion fit
    double rmsdIterative = 0.0;  // after the axis-rotation fit
};

// The chain to fit in each structure: both empty fits every chain, one
// empty takes the other's name.
struct ChainChoice {
    std::string fixed, moving;
};

// Fits `moving` onto `fixed`. Structures with residues pair their C-alpha
// atoms by chain, residue number and insertion code; when no pair matches
// that way, by residue number and insertion code within the first chain of
// each; with `chains` chosen, by residue number within those chains. When
// either structure has no residues (XYZ frames) every atom pairs with the atom
// of the same index, and the counts must agree. Neither structure changes.
// Throws InputError when fewer than 3 pairs match, for a chosen chain the
// structure lacks, and for chains chosen in a structure without residues.
// With a `selection`, only atoms it selects in their own structure are fitted
// (for frames without residues: pairs selected in both).
Superposition Superpose(const Structure& moving, const Structure& fixed, const ChainChoice& chains = {},
                        const Selection* selection = nullptr);

struct ModelSuperposition {
    int model = 0;  // counted from 1
    Superposition fit;
};

// Models 2 to n of the file, each onto model 1, on chain `chain` alone when
// one is named, each model built as assembly `assembly` when one is asked
// for, on the atoms of `selection` when one is given. Throws InputError for a file with a single model, or as
// ReadStructure and Superpose do.
std::vector<ModelSuperposition> SuperposeModels(const std::string& path,
                                                int maxInputMegabytes = kDefaultMaxInputMegabytes,
                                                const std::string& chain = "", int assembly = 0,
                                                const Selection* selection = nullptr);

// The report of `superpose A B`: what matched and the three RMSDs.
void PrintSuperposition(const Structure& moving, const Structure& fixed, const Superposition& fit, std::ostream& out);

// The report of `superpose FILE --models`: one row per model.
void PrintModelSuperpositions(const std::string& path, const std::vector<ModelSuperposition>& fits,
                              std::ostream& out);

}  // namespace TessaryScene
