#pragma once

// Superposition of C-alpha traces: two structures, or every model of an NMR
// ensemble onto its first, fitted by the closed-form quaternion method with
// the iterative axis-rotation method beside it.

#include <ostream>
#include <string>
#include <vector>

#include "Structure.h"

namespace TessaryScene {

struct Superposition {
    int matched = 0;             // C-alpha pairs fitted
    bool byFirstChain = false;   // no chain name in common: matched by residue number in each first chain
    double rmsdBefore = 0.0;     // angstroms, as the coordinates stand
    double rmsdExact = 0.0;      // after the quaternion fit
    double rmsdIterative = 0.0;  // after the axis-rotation fit
};

// Fits the C-alpha atoms of `moving` onto those of `fixed`, matched by chain,
// residue number and insertion code; when no pair matches that way, by
// residue number and insertion code within the first chain of each. Neither
// structure changes. Throws InputError when fewer than 3 pairs match.
Superposition Superpose(const Structure& moving, const Structure& fixed);

struct ModelSuperposition {
    int model = 0;  // counted from 1
    Superposition fit;
};

// Models 2 to n of the file, each onto model 1. Throws InputError for a file
// with a single model, or as ReadStructure and Superpose do.
std::vector<ModelSuperposition> SuperposeModels(const std::string& path,
                                                int maxInputMegabytes = kDefaultMaxInputMegabytes);

// The report of `superpose A B`: what matched and the three RMSDs.
void PrintSuperposition(const Structure& moving, const Structure& fixed, const Superposition& fit, std::ostream& out);

// The report of `superpose FILE --models`: one row per model.
void PrintModelSuperpositions(const std::string& path, const std::vector<ModelSuperposition>& fits,
                              std::ostream& out);

}  // namespace TessaryScene
