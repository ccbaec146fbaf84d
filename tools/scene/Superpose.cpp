#include "Superpose.h"

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

// The C-alpha atoms of a structure by chain (or "" for all in the first
// chain), residue number and insertion code; the first of duplicates wins.
std::map<ResidueKey, int> CAlphas(const Structure& structure, bool firstChainOnly) {
    std::map<ResidueKey, int> found;
    const std::string* firstChain = nullptr;
    for (std::size_t i = 0; i < structure.atoms.size(); ++i) {
        const Atom& atom = structure.atoms[i];
        if (!IsCAlpha(atom)) continue;
        if (!firstChain) firstChain = &atom.chain;
        if (firstChainOnly && atom.chain != *firstChain) continue;
        found.emplace(ResidueKey(firstChainOnly ? std::string() : atom.chain, atom.residueNumber, atom.insertionCode),
                      static_cast<int>(i));
    }
    return found;
}

// Matched positions of both structures, in the order of the keys.
void Match(const Structure& moving, const Structure& fixed, bool firstChainOnly, Point3d::Array& a,
           Point3d::Array& b) {
    const std::map<ResidueKey, int> fromFixed = CAlphas(fixed, firstChainOnly);
    for (const auto& [key, index] : CAlphas(moving, firstChainOnly)) {
        const auto other = fromFixed.find(key);
        if (other == fromFixed.end()) continue;
        a.Add(moving.atoms[index].position);
        b.Add(fixed.atoms[other->second].position);
    }
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

Superposition Superpose(const Structure& moving, const Structure& fixed) {
    Superposition fit;
    Point3d::Array a, b;
    Match(moving, fixed, false, a, b);
    if (a.GetSize() == 0) {
        fit.byFirstChain = true;
        Match(moving, fixed, true, a, b);
    }
    fit.matched = a.GetSize();
    if (fit.matched < 3)
        throw InputError("only " + std::to_string(fit.matched) + " C-alpha atoms of " + moving.path + " match " +
                         fixed.path + "; a superposition needs 3");

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

std::vector<ModelSuperposition> SuperposeModels(const std::string& path, int maxInputMegabytes) {
    // One reading for all models: reading the file again for each would take
    // time growing with the square of its size.
    const std::vector<Structure> models = ReadStructureModels(path, maxInputMegabytes);
    if (models.size() < 2) throw InputError(path + " has a single model; --models needs an ensemble");
    std::vector<ModelSuperposition> fits;
    for (std::size_t k = 1; k < models.size(); ++k) fits.push_back({models[k].model, Superpose(models[k], models[0])});
    return fits;
}

void PrintSuperposition(const Structure& moving, const Structure& fixed, const Superposition& fit, std::ostream& out) {
    out << "moving:  " << moving.path << " (model " << moving.model << ")\n"
        << "fixed:   " << fixed.path << " (model " << fixed.model << ")\n"
        << "matched: " << fit.matched << " C-alpha atoms"
        << (fit.byFirstChain ? ", by residue number in the first chain of each" : ", by chain and residue number")
        << '\n'
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
