// The part of the structure model every reader shares, free of gemmi so the
// fuzzer links it with the XYZ reader alone.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <set>

#include "Structure.h"

namespace TessaryScene {

using Tessary::Point3d;

std::string Atom::ResidueLabel() const {
    // A small-molecule site goes by its label (an XYZ atom's name is its element).
    if (residueName.empty() && chain.empty() && residueKind == ResidueKind::None && name != element && !name.empty())
        return symmetry.empty() ? name : name + " " + symmetry;
    std::string label = residueName.empty() ? element : residueName;
    label += ' ' + std::to_string(residueNumber);
    if (insertionCode != ' ') label += insertionCode;
    if (!chain.empty()) label += ' ' + chain;
    return label;
}

namespace {

// n/24 in lowest terms.
std::pair<int, int> Reduced24(int n) {
    int a = n < 0 ? -n : n, b = 24;
    while (b != 0) {
        const int rest = a % b;
        a = b;
        b = rest;
    }
    const int divisor = a == 0 ? 1 : a;
    return {n / divisor, 24 / divisor};
}

// One coordinate of a triplet as space groups are written: "x-y", "-z+1/2",
// "2/3*x" for the rare fractional coefficient, a sign only between terms.
std::string TripletPart(const std::array<int, 3>& row, int constant) {
    std::string text;
    const auto sign = [&](int n) {
        if (n < 0) text += '-';
        else if (!text.empty()) text += '+';
    };
    for (int j = 0; j < 3; ++j) {
        const int c = row[static_cast<std::size_t>(j)];
        if (c == 0) continue;
        sign(c);
        const auto [num, den] = Reduced24(c < 0 ? -c : c);
        const char letter = "xyz"[j];
        if (den == 1 && num == 1) text += letter;
        else if (num == 1) text += std::string(1, letter) + '/' + std::to_string(den);
        else text += std::to_string(num) + (den == 1 ? "" : "/" + std::to_string(den)) + '*' + letter;
    }
    if (constant != 0) {
        sign(constant);
        const auto [num, den] = Reduced24(constant < 0 ? -constant : constant);
        text += std::to_string(num) + (den == 1 ? "" : "/" + std::to_string(den));
    }
    return text;
}

}  // namespace

std::string Crystal::Operation::Triplet(const std::array<int, 3>& cells) const {
    std::string text;
    for (std::size_t i = 0; i < 3; ++i)
        text += (i ? "," : "") + TripletPart(rotation24[i], translation24[i] + 24 * cells[i]);
    return text;
}

Point3d::Array Structure::Positions() const {
    Point3d::Array points;
    points.SetSize(static_cast<int>(atoms.size()));
    for (std::size_t i = 0; i < atoms.size(); ++i) points[static_cast<int>(i)] = atoms[i].position;
    return points;
}

std::vector<ChainSummary> SummariseChains(const Structure& structure) {
    std::vector<ChainSummary> summaries;
    std::map<std::string, std::size_t> byName;
    for (const Chain& part : structure.chains) {
        const auto [entry, added] = byName.emplace(part.name, summaries.size());
        if (added) summaries.push_back({part.name});
        ChainSummary& summary = summaries[entry->second];
        ++summary.parts;
        summary.atoms += part.count;
        bool polymer = false;
        std::set<std::string> names;  // atom names of the residue so far
        for (int i = part.first; i < part.first + part.count; ++i) {
            const Atom& atom = structure.atoms[static_cast<std::size_t>(i)];
            const Atom* before = i > part.first ? &structure.atoms[static_cast<std::size_t>(i - 1)] : nullptr;
            const bool sameResidue = before != nullptr && before->residueNumber == atom.residueNumber &&
                                     before->insertionCode == atom.insertionCode &&
                                     before->residueName == atom.residueName && !names.count(atom.name);
            if (sameResidue) {
                names.insert(atom.name);
                continue;
            }
            names = {atom.name};
            switch (atom.residueKind) {
                case ResidueKind::Polymer: ++summary.polymerResidues, polymer = true; break;
                case ResidueKind::Ligand: ++summary.ligands; break;
                case ResidueKind::Water: ++summary.waters; break;
                case ResidueKind::None: break;
            }
        }
        if (polymer) ++summary.polymerParts;
    }
    return summaries;
}

namespace {

std::string Counted(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

void PrintChainSummaries(const std::vector<ChainSummary>& chains, std::size_t limit, std::ostream& out) {
    for (std::size_t c = 0; c < chains.size() && c < limit; ++c) {
        const ChainSummary& chain = chains[c];
        std::vector<std::string> items;
        if (chain.polymerParts > 0)
            items.push_back(Counted(chain.polymerParts, "polymer part", "polymer parts") + " (" +
                            Counted(chain.polymerResidues, "residue", "residues") + ")");
        if (chain.ligands > 0) items.push_back(Counted(chain.ligands, "ligand", "ligands"));
        if (chain.waters > 0) items.push_back(Counted(chain.waters, "water", "waters"));
        if (items.empty()) items.push_back(Counted(chain.atoms, "atom", "atoms"));
        out << "  " << (chain.name.empty() ? "-" : chain.name) << ":";
        for (std::size_t k = 0; k < items.size(); ++k) out << (k == 0 ? " " : ", ") << items[k];
        out << '\n';
    }
    if (chains.size() > limit) {
        int atoms = 0;
        for (std::size_t c = limit; c < chains.size(); ++c) atoms += chains[c].atoms;
        out << "  ... " << Counted(static_cast<int>(chains.size() - limit), "more chain", "more chains") << " ("
            << Counted(atoms, "atom", "atoms") << ")\n";
    }
}

std::string ElementSymbolCase(const std::string& symbol) {
    std::string s = symbol;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        s[i] = static_cast<char>(i == 0 ? std::toupper(c) : std::tolower(c));
    }
    return s;
}

std::string TextAsUtf8(const std::string& text) {
    // Names and labels are nearly always ASCII, which is UTF-8 as it is.
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return text;
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        const unsigned char c = p[i];
        // Length and the range of the second byte of a well-formed sequence
        // (no overlong forms, no surrogates, nothing beyond U+10FFFF).
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (c < 0x80) length = 1;
        else if (c >= 0xC2 && c <= 0xDF) length = 2;
        else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        }
        bool valid = length > 0 && i + length <= size;
        for (std::size_t k = 1; valid && k < length; ++k) {
            const unsigned char next = p[i + k];
            valid = k == 1 ? next >= low && next <= high : next >= 0x80 && next <= 0xBF;
        }
        if (valid) {
            out.append(text, i, length);
            i += length;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
            ++i;
        }
    }
    return out;
}

namespace {

// An atom as messages name it: "CA of HIS 96 A", or "O" in an XYZ file.
std::string Describe(const Atom& atom) {
    return atom.residueName.empty() ? atom.name : atom.name + " of " + atom.ResidueLabel();
}

}  // namespace

namespace {

// What in the atom is not a finite number, or null.
const char* NonFinitePart(const Atom& atom) {
    const auto finite = [](double v) { return std::isfinite(v); };
    const Point3d& p = atom.position;
    if (!finite(p.x) || !finite(p.y) || !finite(p.z)) return "a coordinate";
    if (!finite(atom.bFactor)) return "a B-factor";
    if (!std::all_of(atom.u.begin(), atom.u.end(), finite)) return "a displacement";
    return nullptr;
}

}  // namespace

bool HasFiniteNumbers(const Atom& atom) { return NonFinitePart(atom) == nullptr; }

void RequireFiniteNumbers(const Atom& atom, const std::string& where) {
    if (const char* what = NonFinitePart(atom))
        throw InputError(where + " (" + Describe(atom) + ") has " + what + " that is not a finite number");
}

}  // namespace TessaryScene
