#include "SecondaryStructure.h"

#include <algorithm>
#include <array>
#include <map>
#include <numeric>
#include <tuple>
#include <utility>

#include "tessary/chemistry/NeighborList.h"

using Tessary::IntArray;
using Tessary::NeighborList;
using Tessary::Point3d;

namespace TessaryScene {

namespace {

constexpr double kPeptideBond = 2.5;     // C to N of consecutive residues, at most
constexpr double kBondEnergy = -0.5;     // kcal/mol: an H-bond below it
constexpr double kDonorSearch = 6.0;     // N to O beyond this cannot reach -0.5
constexpr double kCoupling = 0.084 * 332.0;

// Residues as runs of atoms of one chain with the same number, insertion
// code and name.
std::vector<SecondaryStructure::Residue> SplitResidues(const Structure& s) {
    std::vector<SecondaryStructure::Residue> residues;
    for (const Chain& chain : s.chains) {
        for (int i = chain.first; i < chain.first + chain.count; ++i) {
            const Atom& a = s.atoms[static_cast<std::size_t>(i)];
            const Atom* previous = i > chain.first ? &s.atoms[static_cast<std::size_t>(i - 1)] : nullptr;
            if (!previous || previous->residueNumber != a.residueNumber || previous->insertionCode != a.insertionCode ||
                previous->residueName != a.residueName)
                residues.push_back({i, 0, ' '});
            ++residues.back().atomCount;
        }
    }
    return residues;
}

// The backbone of a protein residue; has* say which atoms the file gives.
struct Backbone {
    int residue = 0;  // index into the residue list
    Point3d n, ca, c, o, h;
    bool hasO = false, hasH = false, proline = false;
    int segment = 0;  // peptide-bonded run; consecutive entries of a run are consecutive residues
};

std::vector<Backbone> FindBackbone(const Structure& s, const std::vector<SecondaryStructure::Residue>& residues) {
    std::vector<Backbone> backbone;
    int segment = -1;
    for (std::size_t r = 0; r < residues.size(); ++r) {
        Backbone b;
        b.residue = static_cast<int>(r);
        bool hasN = false, hasCA = false, hasC = false;
        const Atom& first = s.atoms[static_cast<std::size_t>(residues[r].firstAtom)];
        if (first.residueKind != ResidueKind::Polymer) continue;
        for (int i = residues[r].firstAtom; i < residues[r].firstAtom + residues[r].atomCount; ++i) {
            const Atom& a = s.atoms[static_cast<std::size_t>(i)];
            if (a.element == "H" || a.element == "D") {
                if (a.name == "H" || a.name == "HN") b.h = a.position, b.hasH = true;
                continue;
            }
            if (a.name == "N") b.n = a.position, hasN = true;
            else if (a.name == "CA") b.ca = a.position, hasCA = true;
            else if (a.name == "C") b.c = a.position, hasC = true;
            else if (a.name == "O") b.o = a.position, b.hasO = true;
        }
        if (!hasN || !hasCA || !hasC) continue;
        b.proline = first.residueName == "PRO";
        const Backbone* previous = backbone.empty() ? nullptr : &backbone.back();
        const bool bonded = previous && previous->segment == segment && previous->residue + 1 == b.residue &&
                            previous->c.Distance(b.n) < kPeptideBond;
        if (!bonded) ++segment;
        b.segment = segment;
        // Without the file's H, it lies 1 A from N along the previous C=O.
        if (!b.hasH && bonded && previous->hasO) {
            Point3d co = previous->c - previous->o;
            if (co.Length() > 0.0) {
                b.h = b.n + co.Normalize();
                b.hasH = true;
            }
        }
        if (b.proline) b.hasH = false;
        backbone.push_back(b);
    }
    return backbone;
}

// The hydrogen bonds found: for each residue the two strongest acceptors of
// its N-H, as Kabsch and Sander keep them.
struct Bonds {
    struct Partner {
        int other = -1;
        double energy = 0.0;
    };
    std::vector<std::array<Partner, 2>> acceptorsOf;  // by donor (N-H) residue

    // C=O of backbone residue `co` bonds N-H of `nh`.
    bool Bonded(int co, int nh) const {
        if (nh < 0 || co < 0 || nh >= static_cast<int>(acceptorsOf.size())) return false;
        for (const Partner& p : acceptorsOf[static_cast<std::size_t>(nh)])
            if (p.other == co && p.energy < kBondEnergy) return true;
        return false;
    }
};

Bonds FindHydrogenBonds(const std::vector<Backbone>& bb) {
    Bonds bonds;
    bonds.acceptorsOf.resize(bb.size());
    NeighborList oxygens(kDonorSearch, static_cast<int>(bb.size()));
    std::vector<int> acceptor;  // numbers in the list to backbone entries
    for (std::size_t k = 0; k < bb.size(); ++k)
        if (bb[k].hasO) {
            oxygens.Add(bb[k].o);
            acceptor.push_back(static_cast<int>(k));
        }
    IntArray found;
    for (std::size_t d = 0; d < bb.size(); ++d) {
        if (!bb[d].hasH) continue;
        found.RemoveAll();
        oxygens.GetNeighbors(bb[d].n, kDonorSearch, found);
        auto& best = bonds.acceptorsOf[d];
        for (int f = 0; f < found.GetSize(); ++f) {
            const int a = acceptor[static_cast<std::size_t>(found[f])];
            // A residue's own C=O and that of the one before are no bond.
            if (a == static_cast<int>(d) || (a + 1 == static_cast<int>(d) && bb[static_cast<std::size_t>(a)].segment == bb[d].segment))
                continue;
            const Backbone& acc = bb[static_cast<std::size_t>(a)];
            const double e = HydrogenBondEnergy(acc.c, acc.o, bb[d].n, bb[d].h);
            if (e < best[0].energy) {
                best[1] = best[0];
                best[0] = {a, e};
            } else if (e < best[1].energy) {
                best[1] = {a, e};
            }
        }
    }
    return bonds;
}

enum class BridgeType { Parallel, Antiparallel };

struct Ladder {
    BridgeType type;
    int iLo, iHi, jLo, jHi;  // backbone entries, i side before j side
    int bridges = 1;
};

class Assigner {
public:
    Assigner(const std::vector<Backbone>& bb, const Bonds& bonds) : m_bb(bb), m_bonds(bonds), m_code(bb.size(), ' ') {}

    std::vector<char> Run() {
        Turns();
        Strands();
        Helices();
        return m_code;
    }

private:
    int Size() const { return static_cast<int>(m_bb.size()); }
    // Entries a..b (a <= b) are one peptide-bonded run.
    bool Unbroken(int a, int b) const {
        return a >= 0 && b < Size() && a <= b && m_bb[static_cast<std::size_t>(a)].segment == m_bb[static_cast<std::size_t>(b)].segment;
    }

    // turnStart[n][i]: an n-turn starts at i (C=O of i bonds N-H of i+n).
    void Turns() {
        for (int n = 3; n <= 5; ++n) {
            auto& starts = m_turnStart[static_cast<std::size_t>(n - 3)];
            starts.assign(m_bb.size(), false);
            for (int i = 0; i + n < Size(); ++i)
                if (Unbroken(i, i + n) && m_bonds.Bonded(i, i + n)) starts[static_cast<std::size_t>(i)] = true;
        }
    }
    bool TurnAt(int n, int i) const {
        return i >= 0 && i < Size() && m_turnStart[static_cast<std::size_t>(n - 3)][static_cast<std::size_t>(i)];
    }

    // Two consecutive n-turns at i-1 and i make residues i..i+n-1 helix;
    // alpha wins over everything, 3-10 and pi take only coil (pi may also
    // take its own kind). Turns left over mark their inner residues T.
    void Helices() {
        for (int i = 1; i < Size(); ++i)
            if (TurnAt(4, i - 1) && TurnAt(4, i))
                for (int j = i; j < i + 4; ++j) m_code[static_cast<std::size_t>(j)] = 'H';
        MinimalHelices(3, 'G');
        MinimalHelices(5, 'I');
        for (int n = 3; n <= 5; ++n)
            for (int i = 0; i < Size(); ++i)
                if (TurnAt(n, i))
                    for (int j = i + 1; j < i + n; ++j)
                        if (m_code[static_cast<std::size_t>(j)] == ' ') m_code[static_cast<std::size_t>(j)] = 'T';
    }
    void MinimalHelices(int n, char code) {
        for (int i = 1; i < Size(); ++i) {
            if (!TurnAt(n, i - 1) || !TurnAt(n, i)) continue;
            bool free = true;
            for (int j = i; j < i + n; ++j) free = free && (m_code[static_cast<std::size_t>(j)] == ' ' || m_code[static_cast<std::size_t>(j)] == code);
            if (free)
                for (int j = i; j < i + n; ++j) m_code[static_cast<std::size_t>(j)] = code;
        }
    }

    // A bridge between i and j (i + 2 < j) needs both neighbours of each.
    bool Bridge(int i, int j, BridgeType& type) const {
        if (j - i < 3 || !Unbroken(i - 1, i + 1) || !Unbroken(j - 1, j + 1)) return false;
        const Bonds& b = m_bonds;
        if ((b.Bonded(i - 1, j) && b.Bonded(j, i + 1)) || (b.Bonded(j - 1, i) && b.Bonded(i, j + 1))) {
            type = BridgeType::Parallel;
            return true;
        }
        if ((b.Bonded(i, j) && b.Bonded(j, i)) || (b.Bonded(i - 1, j + 1) && b.Bonded(j - 1, i + 1))) {
            type = BridgeType::Antiparallel;
            return true;
        }
        return false;
    }

    void Strands() {
        // Candidate pairs lie around a bond, so the search follows the bonds.
        std::vector<std::pair<int, int>> candidates;
        for (int nh = 0; nh < Size(); ++nh)
            for (const Bonds::Partner& p : m_bonds.acceptorsOf[static_cast<std::size_t>(nh)]) {
                if (p.other < 0 || p.energy >= kBondEnergy) continue;
                for (int x = p.other - 1; x <= p.other + 1; ++x)
                    for (int y = nh - 1; y <= nh + 1; ++y)
                        if (x >= 0 && y >= 0 && x < Size() && y < Size()) candidates.emplace_back(std::min(x, y), std::max(x, y));
            }
        std::sort(candidates.begin(), candidates.end());
        candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());

        // Bridges in order of i then j extend a ladder whose last bridge is
        // (i-1, j-1) for parallel or (i-1, j+1) for antiparallel ones.
        std::vector<Ladder> ladders;
        std::map<std::tuple<BridgeType, int, int>, std::size_t> awaiting;  // the next bridge of each ladder
        auto next = [](const Ladder& l) {
            return std::make_tuple(l.type, l.iHi + 1, l.type == BridgeType::Parallel ? l.jHi + 1 : l.jLo - 1);
        };
        for (const auto& [i, j] : candidates) {
            BridgeType type;
            if (!Bridge(i, j, type)) continue;
            const auto found = awaiting.find(std::make_tuple(type, i, j));
            // Bridge() saw i and j bonded to both neighbours: the ladder runs on unbroken.
            if (found != awaiting.end()) {
                const std::size_t k = found->second;
                awaiting.erase(found);
                Ladder& l = ladders[k];
                l.iHi = i;
                (type == BridgeType::Parallel ? l.jHi : l.jLo) = j;
                ++l.bridges;
                awaiting[next(l)] = k;
            } else {
                ladders.push_back({type, i, i, j, j, 1});
                awaiting[next(ladders.back())] = ladders.size() - 1;
            }
        }

        // Ladders of one type with a small gap on both sides (a bulge) join.
        std::vector<int> group(ladders.size());
        std::iota(group.begin(), group.end(), 0);
        auto root = [&](int x) {
            while (group[static_cast<std::size_t>(x)] != x) x = group[static_cast<std::size_t>(x)] = group[static_cast<std::size_t>(group[static_cast<std::size_t>(x)])];
            return x;
        };
        // Ladders start in order of i, so partners lie a few residues on.
        for (std::size_t a = 0; a < ladders.size(); ++a)
            for (std::size_t b = a + 1; b < ladders.size() && ladders[b].iLo < ladders[a].iHi + 6; ++b) {
                const Ladder& A = ladders[a];
                const Ladder& B = ladders[b];
                if (A.type != B.type || B.iLo <= A.iHi || !Unbroken(A.iLo, B.iHi)) continue;
                const int gapI = B.iLo - A.iHi;
                const int gapJ = A.type == BridgeType::Parallel ? B.jLo - A.jHi : A.jLo - B.jHi;
                if (gapJ <= 0) continue;
                const bool parallelSides = A.type == BridgeType::Parallel ? Unbroken(A.jLo, B.jHi) : Unbroken(B.jLo, A.jHi);
                if (parallelSides && ((gapI < 6 && gapJ < 3) || (gapI < 3 && gapJ < 6)))
                    group[static_cast<std::size_t>(root(static_cast<int>(a)))] = root(static_cast<int>(b));
            }
        std::vector<Ladder> joined(ladders.size(), Ladder{BridgeType::Parallel, 0, -1, 0, -1, 0});
        for (std::size_t a = 0; a < ladders.size(); ++a) {
            Ladder& g = joined[static_cast<std::size_t>(root(static_cast<int>(a)))];
            const Ladder& l = ladders[a];
            if (g.bridges == 0) g = l;
            else {
                g.iLo = std::min(g.iLo, l.iLo), g.iHi = std::max(g.iHi, l.iHi);
                g.jLo = std::min(g.jLo, l.jLo), g.jHi = std::max(g.jHi, l.jHi);
                g.bridges += l.bridges;
            }
        }
        for (const Ladder& g : joined) {
            if (g.bridges == 0) continue;
            const char code = g.bridges > 1 ? 'E' : 'B';
            for (int k = g.iLo; k <= g.iHi; ++k) Mark(k, code);
            for (int k = g.jLo; k <= g.jHi; ++k) Mark(k, code);
        }
    }
    void Mark(int k, char code) {
        char& c = m_code[static_cast<std::size_t>(k)];
        if (c != 'E') c = code;  // a residue in a ladder and a lone bridge is strand
    }

    const std::vector<Backbone>& m_bb;
    const Bonds& m_bonds;
    std::vector<char> m_code;
    std::array<std::vector<bool>, 3> m_turnStart;
};

bool InRange(const Atom& a, const SecondaryRange& r) {
    const std::pair<int, char> at(a.residueNumber, a.insertionCode);
    return a.chain == r.chain && std::make_pair(r.startNumber, r.startInsertion) <= at &&
           at <= std::make_pair(r.endNumber, r.endInsertion);
}

char HelixCode(int helixClass) {
    switch (helixClass) {
        case 3: return 'I';
        case 5: return 'G';
        default: return 'H';
    }
}

}  // namespace

SecondaryClass ClassOf(char code) {
    switch (code) {
        case 'H': case 'G': case 'I': return SecondaryClass::Helix;
        case 'E': return SecondaryClass::Strand;
        default: return SecondaryClass::Coil;
    }
}

double HydrogenBondEnergy(const Point3d& c, const Point3d& o, const Point3d& n, const Point3d& h) {
    const double on = o.Distance(n), ch = c.Distance(h), oh = o.Distance(h), cn = c.Distance(n);
    if (on < 0.5 || ch < 0.5 || oh < 0.5 || cn < 0.5) return -9.9;
    return std::max(-9.9, kCoupling * (1.0 / on + 1.0 / ch - 1.0 / oh - 1.0 / cn));
}

SecondaryStructure AssignSecondaryStructure(const Structure& s, SecondarySource source) {
    SecondaryStructure ss;
    ss.residues = SplitResidues(s);
    bool fromFile = false;
    if (source == SecondarySource::FromFile && !s.secondaryRanges.empty()) {
        // Each residue looks only at its chain's ranges: large assemblies
        // hold thousands of records over hundreds of chains.
        std::map<std::string, std::vector<std::size_t>> rangesOf;
        for (std::size_t k = 0; k < s.secondaryRanges.size(); ++k) rangesOf[s.secondaryRanges[k].chain].push_back(k);
        std::vector<bool> used(s.secondaryRanges.size(), false);
        for (SecondaryStructure::Residue& r : ss.residues) {
            const Atom& a = s.atoms[static_cast<std::size_t>(r.firstAtom)];
            const auto chainRanges = rangesOf.find(a.chain);
            if (a.residueKind != ResidueKind::Polymer || chainRanges == rangesOf.end()) continue;
            for (std::size_t k : chainRanges->second) {
                const SecondaryRange& range = s.secondaryRanges[k];
                if (!InRange(a, range)) continue;
                used[k] = true;
                // A strand recorded in two sheets is still a strand; a helix
                // record does not overwrite one.
                if (range.kind == SecondaryRange::Kind::Strand) r.code = 'E';
                else if (r.code == ' ') r.code = HelixCode(range.helixClass);
            }
        }
        for (std::size_t k = 0; k < used.size(); ++k)
            if (used[k]) ++(s.secondaryRanges[k].kind == SecondaryRange::Kind::Helix ? ss.helices : ss.strands);
        fromFile = ss.helices + ss.strands > 0;
    }
    if (!fromFile) {
        for (SecondaryStructure::Residue& r : ss.residues) r.code = ' ';
        ss.helices = ss.strands = 0;
        ss.computed = true;
        const std::vector<Backbone> bb = FindBackbone(s, ss.residues);
        const Bonds bonds = FindHydrogenBonds(bb);
        const std::vector<char> codes = Assigner(bb, bonds).Run();
        for (std::size_t k = 0; k < bb.size(); ++k) {
            ss.residues[static_cast<std::size_t>(bb[k].residue)].code = codes[k];
            // Segments: runs of one helix code or of E within one bonded run.
            const bool continues = k > 0 && bb[k - 1].segment == bb[k].segment && codes[k - 1] == codes[k];
            if (continues) continue;
            if (ClassOf(codes[k]) == SecondaryClass::Helix) ++ss.helices;
            else if (codes[k] == 'E') ++ss.strands;
        }
    }
    ss.atomCodes.assign(s.atoms.size(), ' ');
    for (const SecondaryStructure::Residue& r : ss.residues)
        std::fill_n(ss.atomCodes.begin() + r.firstAtom, r.atomCount, r.code);
    return ss;
}

std::string DescribeSecondaryStructure(const SecondaryStructure& ss) {
    auto count = [](int n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); };
    return count(ss.helices, "helix", "helices") + ", " + count(ss.strands, "strand", "strands") +
           (ss.computed ? " (computed)" : " (from the file)");
}

}  // namespace TessaryScene
