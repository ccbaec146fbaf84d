#include "MetalSites.h"

#include <algorithm>
#include <cstdio>

#include "AtomGrid.h"
#include "Elements.h"

namespace TessaryScene {

namespace CG = Tessary::CoordinationGeometry;

namespace {

// A bond to a metal is at most the sum of the covalent radii plus this slack:
// metal-ligand bonds run a few tenths longer than the single-bond radii say
// (Zn-S 2.3 against 2.27, haem Fe-N 2.0-2.2 against 2.03), while the next
// shell (the carbon behind a ligand, porphyrin carbons at 3.0 from Fe) stays
// outside it. Element-aware, so Ca-O at 2.4-2.6 and K-O near 2.8 still count.
constexpr double kBondSlack = 0.5;
// Closer than this is an overlap (a stray duplicate or broken coordinates),
// not a bond, and would give no usable direction.
constexpr double kMinimumBond = 0.5;
// The largest coordination numbers met in real complexes (lanthanides among
// nitrates); more atoms in the shell are a crowd, of which the nearest count.
constexpr std::size_t kMaxLigands = 12;

bool IsHydrogen(const Atom& atom) {
    return atom.element == "H" || atom.element == "D";
}

bool IsMetal(const Atom& atom) {
    return LookupElement(atom.element).metal;
}

double CovalentRadius(const Atom& atom) {
    return LookupElement(atom.element).covalentRadius;
}

// Readable names of the shapes, indexed by type value; the ones cut from a
// larger shape say so.
const char* const kGeometryNames[CG::kNumCoordinationGeometryTypes] = {
    "none",
    "linear",
    "angular",
    "angular (trigonal planar)",
    "angular (square planar)",
    "trigonal planar",
    "trigonal pyramidal",
    "trigonal pyramidal (trigonal bipyramid)",
    "trigonal pyramidal (octahedron)",
    "T-shaped",
    "tetrahedral",
    "square planar",
    "square pyramidal (4)",
    "trigonal planar pyramidal",
    "see-saw",
    "see-saw (trigonal bipyramid)",
    "trigonal bipyramidal",
    "square pyramidal",
    "octahedral",
    "trigonal prismatic",
    "trigonal antiprismatic",
    "trigonal antiprismatic (stretched)",
    "pentagonal pyramidal",
    "pentagonal bipyramidal",
    "capped octahedral",
    "capped trigonal prismatic",
    "cubic",
    "square antiprismatic",
    "dodecahedral",
    "hexagonal bipyramidal",
    "heptagonal bipyramidal",
};

// Every shape of the ligand count that the library can score, best first.
// Shapes it cannot score (deviation -1) are left out: a -1 would sort as the
// best fit.
std::vector<GeometryScore> Classify(const Structure& structure, const MetalSite& site) {
    const int count = static_cast<int>(site.ligands.size());
    const Tessary::Point3d& centre = structure.atoms[site.metal].position;
    Tessary::Point3d::Array directions;
    for (const Ligand& ligand : site.ligands)
        directions.Add(centre.Direction(structure.atoms[ligand.atom].position).Normalize());

    std::vector<GeometryScore> scores;
    for (int value = 1; value < CG::kNumCoordinationGeometryTypes; ++value) {
        const auto type = static_cast<CG::CoordinationGeometryType>(value);
        if (CG::GetCoordinationNumber(type) != count) continue;
        const double deviation = CG::DeviationFromIdealCoordinationGeometry(directions, type);
        if (deviation < 0.0) continue;
        scores.push_back({type, kGeometryNames[value], deviation});
    }
    std::stable_sort(scores.begin(), scores.end(),
                     [](const GeometryScore& a, const GeometryScore& b) { return a.deviation < b.deviation; });
    return scores;
}

}  // namespace

std::vector<MetalSite> FindMetalSites(const Structure& structure) {
    std::vector<int> metals;
    double widestMetal = 0.0, widestLigand = 0.0;
    for (std::size_t i = 0; i < structure.atoms.size(); ++i) {
        const Atom& atom = structure.atoms[i];
        if (IsMetal(atom)) {
            metals.push_back(static_cast<int>(i));
            widestMetal = std::max(widestMetal, CovalentRadius(atom));
        } else if (!IsHydrogen(atom)) {
            widestLigand = std::max(widestLigand, CovalentRadius(atom));
        }
    }
    if (metals.empty()) return {};

    // One grid whose reach covers the longest bond any pair here could make,
    // so each metal's query over the cells around it is complete.
    AtomGrid grid(structure, widestMetal + widestLigand + kBondSlack);

    std::vector<MetalSite> sites;
    std::vector<int> found;
    for (int metal : metals) {
        const Atom& centre = structure.atoms[metal];
        const double reach = CovalentRadius(centre) + widestLigand + kBondSlack;
        found.clear();
        if (grid.Searched(metal)) grid.Near(centre.position, reach, found);

        MetalSite site;
        site.metal = metal;
        for (const int index : found) {
            const Atom& atom = structure.atoms[index];
            if (IsMetal(atom) || IsHydrogen(atom)) continue;
            const double distance = centre.position.Distance(atom.position);
            if (distance < kMinimumBond || distance > CovalentRadius(centre) + CovalentRadius(atom) + kBondSlack)
                continue;
            site.ligands.push_back({index, distance});
        }
        const std::size_t keep = std::min(site.ligands.size(), kMaxLigands);
        std::partial_sort(site.ligands.begin(), site.ligands.begin() + static_cast<std::ptrdiff_t>(keep),
                          site.ligands.end(), [](const Ligand& a, const Ligand& b) {
                              return a.distance != b.distance ? a.distance < b.distance : a.atom < b.atom;
                          });
        site.ligands.resize(keep);
        site.scores = Classify(structure, site);
        sites.push_back(std::move(site));
    }
    return sites;
}

namespace {

std::string Fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// "CYS 109 B SG 2.31"; atoms without residues (XYZ) are named by their label alone.
std::string LigandText(const Structure& structure, const Ligand& ligand) {
    const Atom& atom = structure.atoms[ligand.atom];
    std::string text = atom.ResidueLabel();
    if (!atom.residueName.empty()) text += ' ' + atom.name;
    return text + ' ' + Fixed(ligand.distance, 2);
}

std::string Join(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
    return text;
}

}  // namespace

void PrintMetalTable(const Structure& structure, const std::vector<MetalSite>& sites, std::ostream& out) {
    using Row = std::vector<std::string>;
    std::vector<Row> rows = {{"metal", "residue", "n", "best", "deviations", "ligands"}};
    for (const MetalSite& site : sites) {
        const Atom& metal = structure.atoms[site.metal];
        std::vector<std::string> scores, ligands;
        for (const GeometryScore& score : site.scores) scores.push_back(score.name + ' ' + Fixed(score.deviation, 3));
        for (const Ligand& ligand : site.ligands) ligands.push_back(LigandText(structure, ligand));
        rows.push_back({metal.element, metal.ResidueLabel(), std::to_string(site.ligands.size()),
                        site.HasGeometry() ? site.Best().name : "-", scores.empty() ? "-" : Join(scores),
                        ligands.empty() ? "-" : Join(ligands)});
    }

    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const Row& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) line += std::string(widths[c] - row[c].size() + 2, ' ');
        }
        out << line << '\n';
    }
}

}  // namespace TessaryScene
