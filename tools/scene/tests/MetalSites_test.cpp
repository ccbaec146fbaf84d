#include "MetalSites.h"
#include "MoleculePath.h"
#include "PlainSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <set>
#include <sstream>

namespace TessaryScene {
namespace {

namespace CG = Tessary::CoordinationGeometry;

struct SiteCase {
    const char* file;
    const char* metal;
    int sites;
    const char* ligands;  // residue and element of each, sorted
    CG::CoordinationGeometryType best;
    int withBest;            // sites whose best fit is `best`
    std::size_t candidates;  // the shapes of that ligand count that can be scored
    double shortest, longest;
};

TEST(MetalSites, RealSitesHaveTheirKnownLigandsAndShape) {
    const SiteCase cases[] = {
        {"4at1.ent", "Zn", 2, "CYS S,CYS S,CYS S,CYS S,", CG::Tetrahedral, 2, 5, 2.1, 2.5},
        {"2hhb.ent", "Fe", 4, "HEM N,HEM N,HEM N,HEM N,HIS N,", CG::SquarePlanarPyramidal, 4, 2, 1.9, 2.3},
        {"Fe_1brf_snip_reduced.pdb", "Fe", 1, "CYS S,CYS S,CYS S,CYS S,", CG::Tetrahedral, 1, 5, 2.1, 2.5},
        // An Fe4S4 cubane: three sulfides and one cysteine each. FE4's angles
        // run from 92 to 135 degrees, which a trigonal pyramid fits better.
        {"sf4_cys4_fragment.pdb", "Fe", 4, "CYS S,SF4 S,SF4 S,SF4 S,", CG::Tetrahedral, 3, 5, 2.15, 2.3},
        {"water_cluster_Mg.xyz", "Mg", 1, " O, O, O, O, O, O,", CG::Octahedral, 1, 3, 1.9, 2.0},
    };
    for (const SiteCase& c : cases) {
        SCOPED_TRACE(c.file);
        const Structure s = ReadStructure(MoleculePath(c.file));
        const std::vector<MetalSite> sites = FindMetalSites(s);
        ASSERT_EQ(static_cast<int>(sites.size()), c.sites);
        int withBest = 0;
        for (const MetalSite& site : sites) {
            EXPECT_EQ(s.atoms[site.metal].element, c.metal);
            std::multiset<std::string> ligands;
            double last = 0.0;
            for (const Ligand& ligand : site.ligands) {
                const Atom& atom = s.atoms[ligand.atom];
                ligands.insert(atom.residueName + " " + atom.element + ",");
                EXPECT_EQ(atom.chain, s.atoms[site.metal].chain);
                EXPECT_GE(ligand.distance, std::max(c.shortest, last));  // nearest first
                EXPECT_LE(ligand.distance, c.longest);
                last = ligand.distance;
            }
            EXPECT_EQ(std::accumulate(ligands.begin(), ligands.end(), std::string()), c.ligands);
            ASSERT_TRUE(site.HasGeometry());
            withBest += site.Best().type == c.best;
            EXPECT_EQ(site.scores.size(), c.candidates);
            for (std::size_t i = 0; i < site.scores.size(); ++i) {
                EXPECT_GE(site.scores[i].deviation, i ? site.scores[i - 1].deviation : 0.0);
                EXPECT_EQ(CG::GetCoordinationNumber(site.scores[i].type), static_cast<int>(site.ligands.size()));
            }
        }
        EXPECT_EQ(withBest, c.withBest);
    }
}

Atom MakeAtom(const char* element, const char* name, double x, double y = 0.0, double z = 0.0) {
    Atom atom;
    atom.element = element;
    atom.name = name;
    atom.residueName = "LIG";
    atom.residueNumber = 1;
    atom.chain = "A";
    atom.position = Tessary::Point3d(x, y, z);
    return atom;
}

// The bond rule: the typical bond length plus 0.5; hydrogens, metals, atoms
// that donate no lone pair and overlaps are never ligands.
TEST(MetalSites, BondRule) {
    struct Case {
        const char* element;
        double distance;
        bool ligand;
    };
    const Case cases[] = {
        {"S", 2.80, true},   // Zn-S typical 2.33
        {"S", 2.88, false},
        {"O", 2.55, true},   // Zn-O typical 2.09
        {"O", 2.65, false},
        {"N", 2.55, true},   // Zn-N typical 2.07
        {"N", 2.62, false},
        {"Cl", 2.70, true},  // from Zn-S, 0.03 shorter radius
        {"Cl", 2.85, false},
        {"C", 2.00, true},   // a lone carbon: the donor end of its ligand
        {"Ca", 2.30, false}, // another metal
        {"H", 1.50, false},
        {"D", 1.50, false},
        {"Ar", 2.50, false}, // no donor
        {"B", 2.20, false},
        {"N", 0.20, false},  // an overlap
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.element) + " at " + std::to_string(c.distance));
        Structure s;
        s.atoms = {MakeAtom("Zn", "ZN", 10.0), MakeAtom(c.element, "X", 10.0 + c.distance)};
        const std::vector<MetalSite> sites = FindMetalSites(s);
        ASSERT_FALSE(sites.empty());
        EXPECT_EQ(sites.front().ligands.size(), c.ligand ? 1u : 0u);
        // One ligand (or none) fits no scorable shape.
        EXPECT_FALSE(sites.front().HasGeometry());
    }
}

TEST(MetalSites, TableRowsAreAligned) {
    const Structure s = ReadStructure(MoleculePath("4at1.ent"));
    std::ostringstream out;
    PrintMetalTable(s, FindMetalSites(s), out);
    const std::string deviations =
        "tetrahedral 0.059, trigonal planar pyramidal 0.220, see-saw (trigonal bipyramid) 0.728, see-saw 0.761, "
        "square planar 1.196  ";
    const std::string expected =
        "metal  residue   n  best         deviations" + std::string(deviations.size() - 10, ' ') + "ligands\n" +
        "Zn     ZN 109 B  4  tetrahedral  " + deviations +
        "CYS 109 B SG 2.33, CYS 114 B SG 2.33, CYS 138 B SG 2.34, CYS 141 B SG 2.34\n" +
        "Zn     ZN 109 D  4  tetrahedral  "
        "tetrahedral 0.028, trigonal planar pyramidal 0.334, see-saw (trigonal bipyramid) 0.739, see-saw 0.791, "
        "square planar 1.188  CYS 114 D SG 2.28, CYS 109 D SG 2.32, CYS 138 D SG 2.33, CYS 141 D SG 2.34\n";
    EXPECT_EQ(out.str(), expected);

    // Sites without ligands print dashes, and atoms without residues their label alone.
    Structure lone;
    lone.atoms = {MakeAtom("Mg", "MG", 0.0), MakeAtom("O", "O", 2.0)};
    lone.atoms[1].residueName.clear();
    lone.atoms.push_back(MakeAtom("Na", "NA", 20.0));
    std::ostringstream table;
    PrintMetalTable(lone, FindMetalSites(lone), table);
    EXPECT_EQ(table.str(),
              "metal  residue  n  best  deviations  ligands\n"
              "Mg     LIG 1 A  1  -     -           O 1 A 2.00\n"
              "Na     LIG 1 A  0  -     -           -\n");
}

// The point in the plane z = 0 at `fromMetal` from the origin (the metal)
// and `bond` from `partner`, on the left (+1) or right (-1) of the line
// from the origin to the partner: builds a ligand atom by atom.
Tessary::Point3d Bonded(const Tessary::Point3d& partner, double bond, double fromMetal, double side) {
    const double p = std::hypot(partner.x, partner.y);
    const double along = (p * p + fromMetal * fromMetal - bond * bond) / (2.0 * p);
    const double across = side * std::sqrt(fromMetal * fromMetal - along * along);
    const double ux = partner.x / p, uy = partner.y / p;
    return Tessary::Point3d(along * ux - across * uy, along * uy + across * ux, 0.0);
}

// Ligands are the donor atoms bound to the metal: the carbon behind a
// carboxylate, a histidine ring or a cysteine sulfur, and the sulfur of a
// sulfonyl, are the second shell; the second oxygen of a carboxylate counts
// when it is within the limit itself; the carbon of CO is its donor.
TEST(MetalSites, OnlyDonorAtomsOfTheFirstShell) {
    using P = Tessary::Point3d;
    struct Piece {
        const char* element;
        const char* name;
        P position;
    };
    struct Case {
        const char* what;
        const char* metal;
        std::vector<Piece> atoms;
        const char* ligands;  // names, nearest first
    };
    const P oe1(2.00, 0, 0), cd = Bonded(oe1, 1.25, 2.45, 1), oe2 = Bonded(cd, 1.25, 2.70, 1);
    const P od1(2.05, 0, 0), cg = Bonded(od1, 1.26, 2.50, 1), od2 = Bonded(cg, 1.26, 2.45, 1);
    const P caO(2.40, 0, 0), caCg = Bonded(caO, 1.25, 2.90, -1), caO2 = Bonded(caCg, 1.25, 3.40, -1);
    const P ne2(2.10, 0, 0), ce1 = Bonded(ne2, 1.33, 3.05, 1), cd2 = Bonded(ne2, 1.37, 3.10, -1);
    const P sg(0, 2.30, 0), cb = Bonded(sg, 1.82, 3.30, 1);
    const P so(2.40, 0, 0), ss = Bonded(so, 1.45, 2.95, 1);
    const P fc(1.80, 0, 0), fo = Bonded(fc, 1.15, 2.95, 1);
    const P pa(2.10, 0, 0), pb = Bonded(pa, 1.48, 2.15, 1);  // side-on peroxide
    const Case cases[] = {
        {"glutamate, one oxygen bound", "Zn", {{"O", "OE1", oe1}, {"C", "CD", cd}, {"O", "OE2", oe2}}, "OE1"},
        {"aspartate, both oxygens bound", "Zn", {{"O", "OD1", od1}, {"C", "CG", cg}, {"O", "OD2", od2}}, "OD1 OD2"},
        {"aspartate on calcium", "Ca", {{"O", "OD1", caO}, {"C", "CG", caCg}, {"O", "OD2", caO2}}, "OD1"},
        {"histidine", "Zn", {{"N", "NE2", ne2}, {"C", "CE1", ce1}, {"C", "CD2", cd2}}, "NE2"},
        {"cysteine", "Zn", {{"S", "SG", sg}, {"C", "CB", cb}}, "SG"},
        {"sulfonyl on calcium", "Ca", {{"O", "O1", so}, {"S", "S", ss}}, "O1"},
        {"carbonyl", "Fe", {{"C", "C", fc}, {"O", "O", fo}}, "C"},
        {"side-on peroxide", "Cu", {{"O", "O1", pa}, {"O", "O2", pb}}, "O1 O2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Structure s;
        s.atoms = {MakeAtom(c.metal, c.metal, 0.0)};
        for (const Piece& piece : c.atoms) {
            s.atoms.push_back(MakeAtom(piece.element, piece.name, 0.0));
            s.atoms.back().position = piece.position;
        }
        const std::vector<MetalSite> sites = FindMetalSites(s);
        ASSERT_EQ(sites.size(), 1u);
        std::string names;
        for (const Ligand& ligand : sites.front().ligands)
            names += (names.empty() ? "" : " ") + s.atoms[ligand.atom].name;
        EXPECT_EQ(names, c.ligands);
    }
}

// A Zn(H2O)6 octahedron (cis 83.4-97.3, trans 171.3-171.8 degrees) scores as
// an octahedron and a trigonal antiprism alike, the antiprism a rounding
// bit lower: the common shape wins, and since the library's antiprism is the
// octahedron itself, the call is no guess.
TEST(MetalSites, TiedScoresPreferTheCommonShape) {
    Structure s;
    s.atoms = {MakeAtom("Zn", "ZN", 10.0, 20.0, 30.0)};
    const double oxygens[6][3] = {{12.082, 19.909, 29.922}, {7.889, 19.939, 29.807},  {10.186, 22.097, 30.011},
                                  {10.125, 17.876, 29.914}, {9.985, 20.177, 32.046}, {9.946, 20.111, 27.935}};
    int number = 1;
    for (const auto& o : oxygens) {
        s.atoms.push_back(MakeAtom("O", "O", o[0], o[1], o[2]));
        s.atoms.back().residueName = "HOH";
        s.atoms.back().residueNumber = ++number;
    }
    const std::vector<MetalSite> sites = FindMetalSites(s);
    ASSERT_EQ(sites.size(), 1u);
    const MetalSite& site = sites.front();
    ASSERT_EQ(site.ligands.size(), 6u);
    ASSERT_GE(site.scores.size(), 2u);
    EXPECT_NEAR(site.scores[0].deviation, site.scores[1].deviation, 1e-12);
    EXPECT_EQ(site.Best().type, CG::Octahedral);
    EXPECT_EQ(site.scores[1].type, CG::TrigonalAntiprismatic);
    EXPECT_TRUE(site.scores[1].sameShapeAsBest);
    EXPECT_FALSE(site.Ambiguous());
    std::ostringstream out;
    PrintMetalTable(s, sites, out);
    EXPECT_NE(out.str().find("  octahedral  octahedral 0."), std::string::npos) << out.str();

    // A clear winner is not marked, even with close runners-up behind it.
    const Structure zinc = ReadStructure(MoleculePath("4at1.ent"));
    for (const MetalSite& clear : FindMetalSites(zinc)) EXPECT_FALSE(clear.Ambiguous());
}

// Along the Berry path from a trigonal bipyramid (t = 0) to a square pyramid
// (t = 1) the two fits cross; where they do the call is a guess, marked "?".
TEST(MetalSites, HalfwayBetweenTwoShapesIsMarked) {
    const double basal = 104.0 * M_PI / 180.0;
    const Tessary::Point3d from[5] = {{1, 0, 0}, {0, 0, 1}, {0, 0, -1}, {-0.5, 0.8660254, 0}, {-0.5, -0.8660254, 0}};
    const Tessary::Point3d to[5] = {{1, 0, 0},
                                    {static_cast<float>(std::cos(basal)), 0, static_cast<float>(std::sin(basal))},
                                    {static_cast<float>(std::cos(basal)), 0, static_cast<float>(-std::sin(basal))},
                                    {static_cast<float>(std::cos(basal)), static_cast<float>(std::sin(basal)), 0},
                                    {static_cast<float>(std::cos(basal)), static_cast<float>(-std::sin(basal)), 0}};
    const auto siteAt = [&](double t) {
        Structure s;
        s.atoms = {MakeAtom("Zn", "ZN", 0.0)};
        for (int k = 0; k < 5; ++k) {
            Tessary::Point3d d = from[k] * static_cast<float>(1 - t) + to[k] * static_cast<float>(t);
            d.Normalize();
            s.atoms.push_back(MakeAtom("O", "O", 0.0));
            s.atoms.back().position = d * 2.0f;
            s.atoms.back().residueNumber = k + 2;
        }
        const std::vector<MetalSite> sites = FindMetalSites(s);
        EXPECT_EQ(sites.size(), 1u);
        return sites.front();
    };
    const auto gap = [](const MetalSite& site) {
        double bipyramid = -1, pyramid = -1;
        for (const GeometryScore& score : site.scores) {
            if (score.type == CG::TrigonalBipyramidal) bipyramid = score.deviation;
            if (score.type == CG::SquarePlanarPyramidal) pyramid = score.deviation;
        }
        return bipyramid - pyramid;
    };
    EXPECT_EQ(siteAt(0).Best().type, CG::TrigonalBipyramidal);
    EXPECT_FALSE(siteAt(0).Ambiguous());
    EXPECT_EQ(siteAt(1).Best().type, CG::SquarePlanarPyramidal);
    EXPECT_FALSE(siteAt(1).Ambiguous());
    double crossing = 0;
    for (double t = 0; t <= 1; t += 0.005)
        if (std::fabs(gap(siteAt(t))) < std::fabs(gap(siteAt(crossing)))) crossing = t;
    const MetalSite halfway = siteAt(crossing);
    ASSERT_LT(std::fabs(gap(halfway)), kAmbiguousMargin);
    EXPECT_TRUE(halfway.Ambiguous());
}

// Seven or more ligands: the library holds reference shapes for 7 and 8 but
// scores none of them, and has none beyond; the row says which.
TEST(MetalSites, LargeCoordinationNumbersSayWhatTheLibraryHas) {
    struct Case {
        int ligands;
        const char* deviations;
    };
    const Case cases[] = {
        {7, "not scored: pentagonal bipyramidal, capped octahedral, capped trigonal prismatic"},
        {8, "not scored: square antiprismatic, dodecahedral, cubic, hexagonal bipyramidal"},
        {9, "no reference shape for 9"},  // heptagonal bipyramidal is named, without directions
        {10, "no reference shape for 10"},
        {12, "no reference shape for 12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ligands);
        // Oxygens spread over a sphere of 2.8 around a potassium, far apart from each other.
        Structure s;
        s.atoms = {MakeAtom("K", "K", 0.0)};
        const double golden = std::acos(-1.0) * (3.0 - std::sqrt(5.0));
        for (int i = 0; i < c.ligands; ++i) {
            const double z = 1.0 - (2.0 * i + 1.0) / c.ligands, r = std::sqrt(1.0 - z * z);
            s.atoms.push_back(MakeAtom("O", "O", 2.8 * r * std::cos(golden * i), 2.8 * r * std::sin(golden * i),
                                       2.8 * z));
            s.atoms.back().residueNumber = i + 2;
        }
        const std::vector<MetalSite> sites = FindMetalSites(s);
        ASSERT_EQ(sites.size(), 1u);
        ASSERT_EQ(static_cast<int>(sites.front().ligands.size()), c.ligands);
        EXPECT_FALSE(sites.front().HasGeometry());
        std::ostringstream out;
        PrintMetalTable(s, sites, out);
        const std::string row = out.str().substr(out.str().find('\n') + 1);
        const std::vector<std::string> cells = TableColumns(row.substr(0, row.size() - 1));
        ASSERT_EQ(cells.size(), 6u) << row;
        EXPECT_EQ(cells[2], std::to_string(c.ligands));
        EXPECT_EQ(cells[3], "-");
        EXPECT_EQ(cells[4], c.deviations);
    }
}

// The table against a search of its own (PlainSearch.h), symmetry mates
// of the crystal included: none of these structures has a metal whose shell
// reaches across to a mate, so none may gain an image.
TEST(MetalSites, TableAgreesWithAPlainSearch) {
    for (const char* file : {"2hhb.ent", "4at1.ent", "Fe_1brf_snip_reduced.pdb", "4JSV.pdb", "sf4_cys4_fragment.pdb"}) {
        SCOPED_TRACE(file);
        const Structure s = ReadStructure(MoleculePath(file));
        EXPECT_TRUE(s.crystal.Known());
        EXPECT_EQ(ExpectTableAgreesWithAPlainSearch(s), 0);
    }
}

}  // namespace
}  // namespace TessaryScene
