#include "Superpose.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>

#include "tessary/geometry/RMSBestFit.h"

namespace TessaryScene {

using Tessary::Point3d;

namespace {

bool IsCAlpha(const Atom& atom) {
    // The element test keeps calcium ions, also named CA, out.
    return atom.name == "CA" && atom.element == "C";
}

using ResidueKey = std::tuple<std::string, int, char>;

// The C-alpha atoms of a structure by chain, residue number and insertion
// code; for one chain (`chain` not null) the chain is left out of the key.
// The first of duplicates wins. Only atoms flagged in `selected` count (all
// when it is empty).
std::map<ResidueKey, int> CAlphas(const Structure& structure, const std::string* chain, const std::vector<char>& selected) {
    std::map<ResidueKey, int> found;
    for (std::size_t i = 0; i < structure.atoms.size(); ++i) {
        const Atom& atom = structure.atoms[i];
        if (!IsCAlpha(atom) || (chain && atom.chain != *chain) || (!selected.empty() && !selected[i])) continue;
        found.emplace(ResidueKey(chain ? std::string() : atom.chain, atom.residueNumber, atom.insertionCode),
                      static_cast<int>(i));
    }
    return found;
}

// The chain of the first (selected) C-alpha atom, or null.
const std::string* FirstCAlphaChain(const Structure& structure, const std::vector<char>& selected) {
    for (std::size_t i = 0; i < structure.atoms.size(); ++i)
        if (IsCAlpha(structure.atoms[i]) && (selected.empty() || selected[i])) return &structure.atoms[i].chain;
    return nullptr;
}

// Matched C-alpha positions of both structures, in the order of the keys;
// null chains pair every chain by name.
struct Selected {
    std::vector<char> moving, fixed;  // empty: every atom
};

void Match(const Structure& moving, const std::string* movingChain, const Structure& fixed,
           const std::string* fixedChain, const Selected& selected, Point3d::Array& a, Point3d::Array& b) {
    const std::map<ResidueKey, int> fromFixed = CAlphas(fixed, fixedChain, selected.fixed);
    for (const auto& [key, index] : CAlphas(moving, movingChain, selected.moving)) {
        const auto other = fromFixed.find(key);
        if (other == fromFixed.end()) continue;
        a.Add(moving.atoms[index].position);
        b.Add(fixed.atoms[other->second].position);
    }
}

bool HasResidues(const Structure& s) {
    return std::any_of(s.atoms.begin(), s.atoms.end(), [](const Atom& a) { return !a.residueName.empty(); });
}

void RequireChain(const Structure& s, const std::string& chain) {
    if (chain.empty()) return;
    if (!HasResidues(s)) throw InputError(s.path + " has no chains to choose from (atoms are fitted by index)");
    std::string names;
    for (const Chain& c : s.chains) {
        if (c.name == chain) return;
        if (names.find(" " + c.name + ",") != std::string::npos || names.size() > 60) continue;
        names += " " + c.name + ",";
    }
    if (!names.empty()) names.pop_back();
    throw InputError("no chain " + chain + " in " + s.path + " (chains:" + names + ")");
}

double Rmsd(const Point3d::Array& a, const Point3d::Array& b) {
    double sum = 0.0;
    for (int i = 0; i < a.GetSize(); ++i) sum += a[i].Distance2(b[i]);
    return std::sqrt(sum / a.GetSize());
}

std::string Fixed(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string Padded(const std::string& text, std::size_t width) {
    return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

}  // namespace

Superposition Superpose(const Structure& moving, const Structure& fixed, const ChainChoice& choice,
                        const Selection* selection) {
    const ChainChoice chains{choice.fixed.empty() ? choice.moving : choice.fixed,
                             choice.moving.empty() ? choice.fixed : choice.moving};
    RequireChain(fixed, chains.fixed);
    RequireChain(moving, chains.moving);
    Superposition fit;
    Point3d::Array a, b;
    Selected selected;
    if (selection) selected = {Select(*selection, moving), Select(*selection, fixed)};
    if (!HasResidues(moving) || !HasResidues(fixed)) {
        // Frames of one molecule list their atoms in the same order.
        fit.pairing = Pairing::ByAtomIndex;
        if (moving.atoms.size() != fixed.atoms.size())
            throw InputError(moving.path + " has " + std::to_string(moving.atoms.size()) + " atoms and " + fixed.path +
                             " " + std::to_string(fixed.atoms.size()) +
                             "; without residues atoms pair by index, so the counts must agree");
        for (std::size_t i = 0; i < moving.atoms.size(); ++i)
            if (!selection || (selected.moving[i] && selected.fixed[i])) {
                a.Add(moving.atoms[i].position);
                b.Add(fixed.atoms[i].position);
            }
    } else if (!chains.fixed.empty()) {
        fit.pairing = Pairing::ByChosenChains;
        Match(moving, &chains.moving, fixed, &chains.fixed, selected, a, b);
    } else {
        Match(moving, nullptr, fixed, nullptr, selected, a, b);
        const std::string* movingFirst = FirstCAlphaChain(moving, selected.moving);
        const std::string* fixedFirst = FirstCAlphaChain(fixed, selected.fixed);
        if (a.GetSize() == 0 && movingFirst && fixedFirst) {
            fit.pairing = Pairing::ByFirstChain;
            Match(moving, movingFirst, fixed, fixedFirst, selected, a, b);
        }
    }
    fit.matched = a.GetSize();
    const char* what = fit.pairing == Pairing::ByAtomIndex ? " atoms of " : " C-alpha atoms of ";
    if (fit.matched < 3)
        throw InputError("only " + std::to_string(fit.matched) + what + moving.path + " match " + fixed.path +
                         "; a superposition needs 3");

    fit.rmsdBefore = Rmsd(a, b);
    Point3d::Array moved = a;
    if (!Tessary::RMSBestFitTools::FindAndApplyTransformation(a, b, moved))
        throw InputError("cannot superpose " + moving.path + " onto " + fixed.path + ": coordinates out of range");
    fit.rmsdExact = Rmsd(moved, b);
    moved = a;
    Tessary::RMSBestFit(a, b, moved);
    fit.rmsdIterative = Rmsd(moved, b);
    return fit;
}

std::vector<ModelSuperposition> SuperposeModels(const std::string& path, int maxInputMegabytes,
                                                const std::string& chain, int assembly, const Selection* selection) {
    // One reading for all models: reading the file again for each would take
    // time growing with the square of its size.
    const std::vector<Structure> models = ReadStructureModels(path, maxInputMegabytes, assembly);
    if (models.size() < 2) throw InputError(path + " has a single model; --models needs an ensemble");
    std::vector<ModelSuperposition> fits;
    for (std::size_t k = 1; k < models.size(); ++k) fits.push_back({models[k].model, Superpose(models[k], models[0], {chain, chain}, selection)});
    return fits;
}

void PrintSuperposition(const Structure& moving, const Structure& fixed, const Superposition& fit, std::ostream& out) {
    out << "moving:  " << moving.path << " (model " << moving.model << ")\n"
        << "fixed:   " << fixed.path << " (model " << fixed.model << ")\n"
        << "matched: " << fit.matched;
    switch (fit.pairing) {
        case Pairing::ByChain: out << " C-alpha atoms, by chain and residue number\n"; break;
        case Pairing::ByFirstChain: out << " C-alpha atoms, by residue number in the first chain of each\n"; break;
        case Pairing::ByChosenChains: out << " C-alpha atoms, by residue number in the chosen chains\n"; break;
        case Pairing::ByAtomIndex: out << " atoms, by index\n"; break;
    }
    out
        << "RMSD before:           " << Fixed(fit.rmsdBefore) << " A\n"
        << "RMSD after quaternion: " << Fixed(fit.rmsdExact) << " A\n"
        << "RMSD after iterative:  " << Fixed(fit.rmsdIterative) << " A\n";
}

void PrintModelSuperpositions(const std::string& path, const std::vector<ModelSuperposition>& fits,
                              std::ostream& out) {
    out << path << ": models onto model 1, RMSD in A\n";
    const char* const heads[] = {"model", "matched", "before", "quaternion", "iterative"};
    for (const char* head : heads) out << Padded(head, 11);
    out << '\n';
    for (const ModelSuperposition& row : fits) {
        out << Padded(std::to_string(row.model), 11) << Padded(std::to_string(row.fit.matched), 11)
            << Padded(Fixed(row.fit.rmsdBefore), 11) << Padded(Fixed(row.fit.rmsdExact), 11)
            << Padded(Fixed(row.fit.rmsdIterative), 11) << '\n';
    }
}

}  // namespace TessaryScene
