#include "MetalSites.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <iterator>

#include "AtomGrid.h"
#include "Elements.h"

namespace TessaryScene {

namespace CG = Tessary::CoordinationGeometry;

namespace {

// Typical metal-donor bond lengths (angstroms) to oxygen (water,
// carboxylate), nitrogen (histidine, porphyrin) and sulfur (cysteine) as
// surveyed over metalloprotein and small-molecule structures; 0 where the
// pair is too rare to tabulate. Other donors scale from the donor of their
// family by the difference of covalent radii (F from O; C from N; Se, P and
// the heavier halogens from S); metals missing here use the sum of covalent
// radii. The tolerance (kLigandTolerance) covers the scatter of bonds in
// medium-resolution crystal structures while the second shell (the carbon
// behind a carboxylate oxygen, a histidine ring carbon, a cysteine CB, a
// sulfonyl sulfur near 2.9-3.3) stays outside.
struct TypicalBonds {
    const char* metal;
    double o, n, s;
};
constexpr TypicalBonds kTypicalBonds[] = {
    {"Na", 2.41, 2.50, 0.0},  {"Mg", 2.07, 2.19, 0.0},  {"K", 2.84, 2.90, 0.0},   {"Ca", 2.39, 2.50, 0.0},
    {"Mn", 2.19, 2.21, 2.35}, {"Fe", 2.04, 2.16, 2.30}, {"Co", 2.09, 2.14, 2.25}, {"Ni", 2.09, 2.14, 2.20},
    {"Cu", 2.04, 2.02, 2.25}, {"Zn", 2.09, 2.07, 2.33},
};

enum class Family { None, O, N, S };

Family DonorFamily(const std::string& element) {
    if (element == "O" || element == "F") return Family::O;
    if (element == "N" || element == "C") return Family::N;
    if (element == "S" || element == "Se" || element == "P" || element == "Cl" || element == "Br" || element == "I")
        return Family::S;
    return Family::None;
}

// Closer than this is an overlap (a stray duplicate or broken coordinates),
// not a bond, and would give no usable direction.
constexpr double kMinimumBond = 0.5;
// The largest coordination numbers met in real complexes (lanthanides among
// nitrates); more atoms in the shell are a crowd, of which the nearest count.
constexpr std::size_t kMaxLigands = 12;
// Two atoms are bonded (for the second-shell test) within the sum of their
// covalent radii plus this.
constexpr double kCovalentSlack = 0.45;
// A bonded partner at most this much nearer the metal binds side-on with
// the donor; one nearer still hides it.
constexpr double kSideOn = 0.2;
// Symmetry-mate queries allowed per atom of the structure (see FindMetalSites).
constexpr std::size_t kMateQueriesPerAtom = 64;
// Deviations this close are the same fit told apart by rounding alone.
constexpr double kTie = 1e-9;
// Two reference shapes this close are one shape written twice.
constexpr double kSameShape = 1e-6;

const char* const kDonorElements[] = {"O", "F", "N", "C", "S", "Se", "P", "Cl", "Br", "I"};

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

// The shapes of each ligand count, the more common first: the order of
// candidates whose scores tie.
constexpr CG::CoordinationGeometryType kPreference[] = {
    CG::Linear, CG::Angular, CG::AngularTrigonalPlanar, CG::AngularSquarePlanar,
    CG::TrigonalPlanar, CG::TrigonalPyramidal, CG::TShaped, CG::TrigonalPyramidalTrigonalBipyramidal,
    CG::TrigonalPyramidalOctahedral,
    CG::Tetrahedral, CG::SquarePlanar, CG::SeeSaw, CG::TrigonalPlanarPyramidal, CG::SeeSawTrigonalBipyramidal,
    CG::SquarePyramidal,
    CG::TrigonalBipyramidal, CG::SquarePlanarPyramidal,
    CG::Octahedral, CG::TrigonalPrismatic, CG::TrigonalAntiprismatic, CG::TrigonalAntiprismaticStretched,
    CG::PentagonalPlanarPyramidal,
    CG::PentagonalBipyramidal, CG::OctahedralFaceMonocapped, CG::TrigonalPrismaticSquareFaceMonocapped,
    CG::SquareAntiprismatic, CG::Dodecahedral, CG::Cubic, CG::HexagonalBipyramidal,
    CG::HeptagonalBipyramidal,
};
static_assert(std::size(kPreference) == CG::kNumCoordinationGeometryTypes - 1, "every shape has a rank");

std::size_t Rank(CG::CoordinationGeometryType type) {
    return static_cast<std::size_t>(std::find(std::begin(kPreference), std::end(kPreference), type) -
                                    std::begin(kPreference));
}

// Every shape of the ligand count that the library can score, best first.
// Shapes it cannot score (deviation -1) are left out: a -1 would sort as the
// best fit; those with reference directions go to `unscored`.
void Classify(const Structure& structure, MetalSite& site) {
    const int count = static_cast<int>(site.ligands.size());
    const Tessary::Point3d& centre = structure.atoms[site.metal].position;
    Tessary::Point3d::Array directions;
    for (const Ligand& ligand : site.ligands)
        directions.Add(centre.Direction(ligand.position).Normalize());

    std::vector<GeometryScore>& scores = site.scores;
    for (const CG::CoordinationGeometryType type : kPreference) {
        if (CG::GetCoordinationNumber(type) != count) continue;
        const double deviation = CG::DeviationFromIdealCoordinationGeometry(directions, type);
        if (deviation >= 0.0) {
            scores.push_back({type, kGeometryNames[type], deviation});
        } else {
            Tessary::Point3d::Array reference;
            if (CG::GetCoordinates(type, reference) > 0) site.unscored.push_back(type);
        }
    }
    // Best first; within a run of scores equal to rounding (measured from
    // the run's first) the more common shape leads, whatever the last bits say.
    std::stable_sort(scores.begin(), scores.end(),
                     [](const GeometryScore& a, const GeometryScore& b) { return a.deviation < b.deviation; });
    for (auto run = scores.begin(); run != scores.end();) {
        auto end = run;
        while (end != scores.end() && end->deviation - run->deviation <= kTie) ++end;
        std::sort(run, end, [](const GeometryScore& a, const GeometryScore& b) { return Rank(a.type) < Rank(b.type); });
        run = end;
    }
    // A candidate whose own reference directions fit the best shape exactly is that shape.
    for (std::size_t k = 1; k < scores.size(); ++k) {
        Tessary::Point3d::Array reference;
        if (CG::GetCoordinates(scores[k].type, reference) <= 1) continue;
        reference.RemoveAt(0);  // the central atom
        const double fit = CG::DeviationFromIdealCoordinationGeometry(reference, scores.front().type);
        scores[k].sameShapeAsBest = fit >= 0.0 && fit < kSameShape;
    }
}

// A donor bonds to the metal only as the near end of its ligand: an atom
// whose own bonded partner lies clearly nearer the metal is the second shell
// (the carbon behind a carboxylate oxygen, the sulfur of a sulfonyl, the
// nitrogen of a nitrate), and this is what lets carbon count at all (CO,
// CN-, carbenes). Side-on pairs (O2, S2, an alkene) sit at nearly equal
// distances and both count. `shell` holds every atom that may stand nearer
// the metal at `centre` than `donor`; `place` says where an atom stands (for
// an image, the image of the atom: its partners come with it).
template <class Place>
bool FirstShell(const Structure& structure, const Tessary::Point3d& centre, int donor, const std::vector<int>& shell,
                const Place& place) {
    const Atom& d = structure.atoms[donor];
    const Tessary::Point3d at = place(donor);
    const double own = centre.Distance(at);
    for (const int index : shell) {
        const Atom& other = structure.atoms[index];
        if (index == donor || IsHydrogen(other) || IsMetal(other)) continue;
        const Tessary::Point3d there = place(index);
        if (centre.Distance(there) >= own - kSideOn) continue;
        if (at.Distance(there) <= CovalentRadius(d) + CovalentRadius(other) + kCovalentSlack) return false;
    }
    return true;
}

}  // namespace

double LigandLimit(const std::string& metal, const std::string& donor) {
    const Family family = DonorFamily(donor);
    if (family == Family::None) return 0.0;
    const double donorRadius = LookupElement(donor).covalentRadius;
    for (const TypicalBonds& row : kTypicalBonds) {
        if (metal != row.metal) continue;
        const double typical = family == Family::O ? row.o : family == Family::N ? row.n : row.s;
        if (typical <= 0.0) break;
        const char* reference = family == Family::O ? "O" : family == Family::N ? "N" : "S";
        return typical + donorRadius - LookupElement(reference).covalentRadius + kLigandTolerance;
    }
    return LookupElement(metal).covalentRadius + donorRadius + kLigandTolerance;
}

namespace {

// The longest bond any donor could make to `metal`.
double Reach(const std::string& metal) {
    double reach = 0.0;
    for (const char* donor : kDonorElements) reach = std::max(reach, LigandLimit(metal, donor));
    return reach;
}

}  // namespace

namespace {

// Distances the same to a millionth of an angstrom (an atom and its image
// across an axis, computed through different rounding) tie, so the atom
// itself comes first.
long long DistanceKey(double distance) { return std::llround(distance * 1e6); }

bool IsIdentity(const Crystal::Operation& op) {
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            if (op.rotation24[i][j] != (i == j ? 24 : 0)) return false;
    return op.translation24 == std::array<int, 3>{0, 0, 0};
}

// The symmetry mates a metal's shell can reach: the operations of the
// crystal and, for each, the whole-cell shifts that bring the image of the
// model's box (in fractions of the cell) within reach of the metal.
class SymmetryMates {
public:
    explicit SymmetryMates(const Structure& s) : m_crystal(s.crystal) {
        if (!m_crystal.Known()) return;
        bool any = false;
        for (const Atom& atom : s.atoms) {
            const Tessary::Point3d f = m_crystal.Fractional(atom.position);
            if (!std::isfinite(f.x) || !std::isfinite(f.y) || !std::isfinite(f.z)) continue;
            for (int i = 0; i < 3; ++i) {
                m_low[i] = any ? std::min(m_low[i], static_cast<double>(f[i])) : f[i];
                m_high[i] = any ? std::max(m_high[i], static_cast<double>(f[i])) : f[i];
            }
            any = true;
        }
        m_searched = any;
        for (int i = 0; i < 3; ++i)
            m_searched = m_searched && m_high[i] - m_low[i] <= kMaxCellSpan && std::fabs(m_low[i]) < kFar &&
                         std::fabs(m_high[i]) < kFar;
    }

    // Calls f(operation, cells, inverse) for every operation and shift, but
    // the identity unshifted, under which an atom within `reach` of
    // `centre` may land; `inverse` is the point the operation takes to `centre`.
    // Each call takes one from `budget`; none is made once it is spent.
    template <class F>
    void ForEach(const Tessary::Point3d& centre, double reach, std::size_t& budget, F&& f) const {
        if (!m_searched) return;
        const Tessary::Point3d fc = m_crystal.Fractional(centre);
        double near[3];
        for (std::size_t i = 0; i < 3; ++i) {
            near[i] = reach * m_crystal.toFractional[i].Length();
            // A cell narrower than a bond holds no crystal (and would ask for shifts without end).
            if (!(near[i] <= kMaxReachInCells) || !(std::fabs(fc[static_cast<int>(i)]) < kFar)) return;
        }
        for (const Crystal::Operation& op : m_crystal.operations) {
            int from[3], to[3];
            for (std::size_t i = 0; i < 3; ++i) {
                double low = op.translation24[i] / 24.0, high = low;
                for (std::size_t j = 0; j < 3; ++j) {
                    const double r = op.rotation24[i][j] / 24.0;
                    low += r * (r > 0 ? m_low[j] : m_high[j]);
                    high += r * (r > 0 ? m_high[j] : m_low[j]);
                }
                const double at = fc[static_cast<int>(i)];
                from[i] = static_cast<int>(std::ceil(at - near[i] - high));
                to[i] = static_cast<int>(std::floor(at + near[i] - low));
            }
            const bool identity = IsIdentity(op);
            std::array<int, 3> n{};
            for (n[0] = from[0]; n[0] <= to[0]; ++n[0])
                for (n[1] = from[1]; n[1] <= to[1]; ++n[1])
                    for (n[2] = from[2]; n[2] <= to[2]; ++n[2]) {
                        if (identity && n == std::array<int, 3>{0, 0, 0}) continue;
                        if (budget == 0) return;
                        --budget;
                        f(op, n, Inverse(op, n, centre));
                    }
        }
    }

    Tessary::Point3d Image(const Crystal::Operation& op, const std::array<int, 3>& cells, const Tessary::Point3d& p) const {
        return m_crystal.Image(op, cells, p);
    }

private:
    static constexpr double kMaxReachInCells = 2.0;
    static constexpr double kFar = 1e6;  // cells from the origin: no model lies there

    // R^T (p - t - shift): the operations are isometries.
    Tessary::Point3d Inverse(const Crystal::Operation& op, const std::array<int, 3>& cells,
                             const Tessary::Point3d& p) const {
        Tessary::Point3d moved = p;
        moved -= m_crystal.Image(op, cells, Tessary::Point3d(0, 0, 0));
        const auto& r = op.rotation;
        return r[0] * moved.x + r[1] * moved.y + r[2] * moved.z;
    }

    const Crystal& m_crystal;
    bool m_searched = false;
    double m_low[3] = {0, 0, 0}, m_high[3] = {0, 0, 0};
};

}  // namespace

std::vector<MetalSite> FindMetalSites(const Structure& structure) {
    std::vector<int> metals;
    double widest = kSameAtom;
    for (std::size_t i = 0; i < structure.atoms.size(); ++i) {
        const Atom& atom = structure.atoms[i];
        if (!IsMetal(atom)) continue;
        metals.push_back(static_cast<int>(i));
        widest = std::max(widest, Reach(atom.element));
    }
    if (metals.empty()) return {};

    // One grid whose reach covers the longest bond any metal here could
    // make, so each metal's query over the cells around it is complete.
    AtomGrid grid(structure, widest);
    const SymmetryMates mates(structure);
    // Queries of symmetry mates, in all: a real crystal asks a few dozen per
    // metal, and metals are a small part of any real structure, so only a
    // hostile file (a crowd of metals in a tiny cell) spends it.
    std::size_t budget = kMateQueriesPerAtom * structure.atoms.size() + kMateQueriesPerAtom * 64;

    std::vector<MetalSite> sites;
    std::vector<int> found, clash;
    for (int metal : metals) {
        const Atom& centre = structure.atoms[metal];
        MetalSite site;
        site.metal = metal;
        // Limits by donor element for this metal: a mate's query looks at many atoms.
        std::vector<std::pair<const std::string*, double>> limits;
        const auto limitOf = [&](const std::string& element) {
            for (const auto& [e, limit] : limits)
                if (*e == element) return limit;
            limits.emplace_back(&element, LigandLimit(centre.element, element));
            return limits.back().second;
        };
        // The donors among `found`, placed by `place`; `image` names the
        // operation (nullptr for the atoms themselves).
        const auto addDonors = [&](const auto& place, const auto* image) {
            for (const int index : found) {
                const Atom& atom = structure.atoms[index];
                const Tessary::Point3d at = place(index);
                const double distance = centre.position.Distance(at);
                if (distance < kMinimumBond || distance > limitOf(atom.element)) continue;
                if (!FirstShell(structure, centre.position, index, found, place)) continue;
                if (image != nullptr) {
                    clash.clear();
                    grid.Near(at, kSameAtom, clash);
                    if (!clash.empty()) continue;
                    if (std::any_of(site.ligands.begin(), site.ligands.end(),
                                    [&](const Ligand& l) { return l.position.Distance(at) < kSameAtom; }))
                        continue;
                }
                site.ligands.push_back({index, distance, at, image != nullptr ? (*image)() : std::string()});
            }
        };
        if (grid.Searched(metal)) {
            const double reach = Reach(centre.element);
            found.clear();
            grid.Near(centre.position, reach, found);
            const std::function<std::string()>* itself = nullptr;
            addDonors([&](int index) { return structure.atoms[static_cast<std::size_t>(index)].position; }, itself);
            mates.ForEach(centre.position, reach, budget,
                          [&](const Crystal::Operation& op, const std::array<int, 3>& cells, const Tessary::Point3d& inverse) {
                              found.clear();
                              grid.Near(inverse, reach, found);
                              if (found.empty()) return;
                              const std::function<std::string()> triplet = [&] { return op.Triplet(cells); };
                              addDonors(
                                  [&](int index) {
                                      return mates.Image(op, cells, structure.atoms[static_cast<std::size_t>(index)].position);
                                  },
                                  &triplet);
                          });
        }
        const std::size_t keep = std::min(site.ligands.size(), kMaxLigands);
        std::partial_sort(site.ligands.begin(), site.ligands.begin() + static_cast<std::ptrdiff_t>(keep),
                          site.ligands.end(), [](const Ligand& a, const Ligand& b) {
                              const long long da = DistanceKey(a.distance), db = DistanceKey(b.distance);
                              if (da != db) return da < db;
                              return a.atom != b.atom ? a.atom < b.atom : a.image < b.image;
                          });
        site.ligands.resize(keep);
        Classify(structure, site);
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
    text += ' ' + Fixed(ligand.distance, 2);
    return ligand.FromImage() ? text + " [" + ligand.image + ']' : text;
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
        std::string best = "-", deviations = "-";
        if (site.HasGeometry()) {
            best = site.Best().name + (site.Ambiguous() ? "?" : "");
            deviations = Join(scores);
        } else if (!site.unscored.empty()) {
            std::vector<std::string> names;
            for (const auto type : site.unscored) names.push_back(kGeometryNames[type]);
            deviations = "not scored: " + Join(names);
        } else if (site.ligands.size() > 1) {
            deviations = "no reference shape for " + std::to_string(site.ligands.size());
        }
        rows.push_back({metal.element, metal.ResidueLabel(), std::to_string(site.ligands.size()), best, deviations,
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
