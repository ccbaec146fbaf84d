#include "MetalSites.h"
#include "MoleculePath.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    std::size_t candidates;  // the shapes of that ligand count that can be scored
    double shortest, longest;
};

TEST(MetalSites, RealSitesHaveTheirKnownLigandsAndShape) {
    const SiteCase cases[] = {
        {"4at1.ent", "Zn", 2, "CYS S,CYS S,CYS S,CYS S,", CG::Tetrahedral, 5, 2.1, 2.5},
        {"2hhb.ent", "Fe", 4, "HEM N,HEM N,HEM N,HEM N,HIS N,", CG::SquarePlanarPyramidal, 2, 1.9, 2.3},
        {"Fe_1brf_snip_reduced.pdb", "Fe", 1, "CYS S,CYS S,CYS S,CYS S,", CG::Tetrahedral, 5, 2.1, 2.5},
        {"water_cluster_Mg.xyz", "Mg", 1, " O, O, O, O, O, O,", CG::Octahedral, 3, 1.9, 2.0},
    };
    for (const SiteCase& c : cases) {
        SCOPED_TRACE(c.file);
        const Structure s = ReadStructure(MoleculePath(c.file));
        const std::vector<MetalSite> sites = FindMetalSites(s);
        ASSERT_EQ(static_cast<int>(sites.size()), c.sites);
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
            EXPECT_EQ(site.Best().type, c.best);
            EXPECT_EQ(site.scores.size(), c.candidates);
            for (std::size_t i = 0; i < site.scores.size(); ++i) {
                EXPECT_GE(site.scores[i].deviation, i ? site.scores[i - 1].deviation : 0.0);
                EXPECT_EQ(CG::GetCoordinationNumber(site.scores[i].type), static_cast<int>(site.ligands.size()));
            }
        }
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

// The bond rule: covalent radii plus 0.5; hydrogens, metals and overlaps are never ligands.
TEST(MetalSites, BondRule) {
    struct Case {
        const char* element;
        double distance;
        bool ligand;
    };
    const Case cases[] = {
        {"S", 2.75, true},   // Zn-S reach 2.77
        {"S", 2.80, false},
        {"O", 2.35, true},   // Zn-O reach 2.38
        {"O", 2.45, false},
        {"Ca", 2.30, false}, // another metal
        {"H", 1.50, false},
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

}  // namespace
}  // namespace TessaryScene
