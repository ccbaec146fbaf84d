#include "MetalSites.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace TessaryScene {
namespace {

namespace CG = Tessary::CoordinationGeometry;

std::string DataPath(const std::string& name) {
    return std::string(TESSARY_SOURCE_DIR) + "/data/molecules/" + name;
}

struct SiteCase {
    const char* file;
    const char* metal;
    int sites;
    int ligands;
    CG::CoordinationGeometryType best;
    double shortest, longest;  // metal-ligand distances
};

TEST(MetalSites, RealSitesHaveTheirKnownLigandsAndShape) {
    const SiteCase cases[] = {
        {"4at1.ent", "Zn", 2, 4, CG::Tetrahedral, 2.1, 2.5},
        {"2hhb.ent", "Fe", 4, 5, CG::SquarePlanarPyramidal, 1.9, 2.3},
        {"Fe_1brf_snip_reduced.pdb", "Fe", 1, 4, CG::Tetrahedral, 2.1, 2.5},
        {"water_cluster_Mg.xyz", "Mg", 1, 6, CG::Octahedral, 1.9, 2.0},
    };
    for (const SiteCase& c : cases) {
        SCOPED_TRACE(c.file);
        const Structure s = ReadStructure(DataPath(c.file));
        const std::vector<MetalSite> sites = FindMetalSites(s);
        ASSERT_EQ(static_cast<int>(sites.size()), c.sites);
        for (const MetalSite& site : sites) {
            EXPECT_EQ(s.atoms[site.metal].element, c.metal);
            ASSERT_EQ(static_cast<int>(site.ligands.size()), c.ligands);
            for (std::size_t i = 0; i < site.ligands.size(); ++i) {
                EXPECT_GE(site.ligands[i].distance, c.shortest);
                EXPECT_LE(site.ligands[i].distance, c.longest);
                if (i > 0) {
                    EXPECT_LE(site.ligands[i - 1].distance, site.ligands[i].distance);
                }
            }
            ASSERT_TRUE(site.HasGeometry());
            EXPECT_EQ(site.Best().type, c.best);
            for (std::size_t i = 1; i < site.scores.size(); ++i)
                EXPECT_LE(site.scores[i - 1].deviation, site.scores[i].deviation);
        }
    }
}

TEST(MetalSites, LigandsAreTheKnownAtoms) {
    const Structure zinc = ReadStructure(DataPath("4at1.ent"));
    for (const MetalSite& site : FindMetalSites(zinc)) {
        std::set<int> residues;
        for (const Ligand& ligand : site.ligands) {
            const Atom& atom = zinc.atoms[ligand.atom];
            EXPECT_EQ(atom.residueName + " " + atom.name, "CYS SG");
            EXPECT_EQ(atom.chain, zinc.atoms[site.metal].chain);
            residues.insert(atom.residueNumber);
        }
        EXPECT_EQ(residues, (std::set<int>{109, 114, 138, 141}));
    }
    // Haem: four pyrrole nitrogens and the proximal histidine.
    const Structure haem = ReadStructure(DataPath("2hhb.ent"));
    for (const MetalSite& site : FindMetalSites(haem)) {
        int pyrrole = 0, histidine = 0;
        for (const Ligand& ligand : site.ligands) {
            const Atom& atom = haem.atoms[ligand.atom];
            pyrrole += atom.residueName == "HEM" && atom.element == "N";
            histidine += atom.residueName == "HIS" && atom.name == "NE2";
        }
        EXPECT_EQ(pyrrole, 4);
        EXPECT_EQ(histidine, 1);
    }
}

// Every shape of the ligand count that can be scored, none that cannot.
TEST(MetalSites, ScoresCoverEveryScorableShapeOfTheCount) {
    const Structure s = ReadStructure(DataPath("4at1.ent"));
    const MetalSite site = FindMetalSites(s).front();
    std::set<int> types;
    for (const GeometryScore& score : site.scores) {
        types.insert(score.type);
        EXPECT_GE(score.deviation, 0.0);
        EXPECT_FALSE(score.name.empty());
    }
    EXPECT_EQ(types, (std::set<int>{CG::Tetrahedral, CG::SquarePlanar, CG::TrigonalPlanarPyramidal, CG::SeeSaw,
                                    CG::SeeSawTrigonalBipyramidal}));
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
    const Structure s = ReadStructure(DataPath("4at1.ent"));
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
