// Small-molecule CIF files: sites completed to whole molecules by symmetry,
// displacements in Cartesian form, metal sites checked against the bonds the
// file itself lists, and ellipsoids drawn by default for them alone.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Elements.h"
#include "MetalSites.h"
#include "MoleculePath.h"
#include "Scene.h"
#include "SceneProgram.h"
#include "SmallMolecule.h"
#include "Structure.h"
#include "Gzip.h"

using namespace TessaryScene;
using namespace scene_test;

namespace {

const char kC2c[] =
    "loop_\n_symmetry_equiv_pos_as_xyz\n'x, y, z'\n'-x, y, -z+1/2'\n'x+1/2, y+1/2, z'\n'-x+1/2, y+1/2, -z+1/2'\n"
    "'-x, -y, -z'\n'x, -y, z-1/2'\n'-x+1/2, -y+1/2, -z'\n'x+1/2, -y+1/2, z-1/2'\n";

std::string CellText(double a, double b, double c, double beta) {
    std::ostringstream text;
    text << "_cell_length_a " << a << "\n_cell_length_b " << b << "\n_cell_length_c " << c
         << "\n_cell_angle_alpha 90\n_cell_angle_beta " << beta << "\n_cell_angle_gamma 90\n";
    return text.str();
}

// "label element x y z U_iso" rows under an _atom_site loop.
std::string SiteLoop(const std::string& rows) {
    return "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n"
           "_atom_site_fract_z\n_atom_site_U_iso_or_equiv\n" + rows;
}

std::string AnisoLoop(const std::string& rows) {
    return "loop_\n_atom_site_aniso_label\n_atom_site_aniso_U_11\n_atom_site_aniso_U_22\n_atom_site_aniso_U_33\n"
           "_atom_site_aniso_U_12\n_atom_site_aniso_U_13\n_atom_site_aniso_U_23\n" + rows;
}

Structure ReadCif(const std::string& text) {
    const std::string path = Temp("fragment.cif");
    Write(path, text);
    return ReadStructure(path);
}

const Atom* Named(const Structure& s, const std::string& name, const std::string& symmetry = "") {
    for (const Atom& a : s.atoms)
        if (a.name == name && a.symmetry == symmetry) return &a;
    return nullptr;
}

double ClosestPair(const Structure& s) {
    double closest = 1e9;
    for (std::size_t i = 0; i < s.atoms.size(); ++i)
        for (std::size_t j = i + 1; j < s.atoms.size(); ++j)
            closest = std::min(closest, static_cast<double>(s.atoms[i].position.Distance(s.atoms[j].position)));
    return closest;
}

// "C2 H3 N" as element counts.
std::map<std::string, int> Formula(const std::string& text) {
    std::map<std::string, int> counts;
    std::istringstream in(text);
    std::string item;
    while (in >> item) {
        std::size_t digits = 0;
        while (digits < item.size() && std::isalpha(static_cast<unsigned char>(item[digits]))) ++digits;
        counts[item.substr(0, digits)] += digits < item.size() ? std::stoi(item.substr(digits)) : 1;
    }
    return counts;
}

// One row of a CIF's _geom_bond loop, read here from the text on its own.
struct ListedBond {
    std::string first, second;
    double distance;
    double su;  // its standard uncertainty, "1.37(2)" 0.02; 0 where none is given
};

ListedBond ParseBond(const std::string& first, const std::string& second, const std::string& value) {
    const std::size_t open = value.find('(');
    const std::string number = value.substr(0, open);
    double su = 0;
    if (open != std::string::npos) {
        const std::size_t point = number.find('.');
        const int decimals = point == std::string::npos ? 0 : static_cast<int>(number.size() - point - 1);
        su = std::stod(value.substr(open + 1)) * std::pow(10.0, -decimals);
    }
    return {first, second, std::stod(number), su};
}

std::vector<ListedBond> GeomBonds(const std::string& path) {
    std::istringstream lines(Slurp(path));
    std::string line;
    std::vector<ListedBond> bonds;
    bool inLoop = false, bondLoop = false, rowsSeen = false;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::vector<std::string> row;
        for (std::string w; words >> w;) row.push_back(w);
        if (row.empty() || row[0][0] == '#') continue;
        if (row[0] == "loop_") {
            inLoop = true;
            bondLoop = rowsSeen = false;
        } else if (row[0][0] == '_') {
            // A tag heads the loop until its first row; after it, the loop is over.
            if (inLoop && !rowsSeen && !bondLoop) bondLoop = row[0].rfind("_geom_bond_", 0) == 0;
            if (rowsSeen) inLoop = bondLoop = false;
        } else if (inLoop) {
            rowsSeen = true;
            if (bondLoop && row.size() >= 3)
                bonds.push_back(ParseBond(row[0], row[1], row[2]));
        }
    }
    return bonds;
}

// ---- the two real files ----------------------------------------------------------

struct RealFile {
    const char* file;
    std::vector<const char*> molecules;  // formula of each whole molecule
    const char* metal;                   // site label
    const char* geometry;
    std::size_t ligands;
};

const RealFile kRealFiles[] = {
    {"P24Ru4H252C296S24N16.cif", {"C72 H60 N3 P6 Ru S6", "C2 H3 N"}, "Ru(1)", "octahedral", 6},
    {"C26H16BeN2O2S2.cif", {"C26 H16 Be N2 O2 S2"}, "Be1", "tetrahedral", 4},
};

TEST(SmallMolecule, RealFilesCompleteToWholeMolecules) {
    for (const RealFile& c : kRealFiles) {
        SCOPED_TRACE(c.file);
        const Structure s = ReadStructure(MoleculePath(c.file));
        ASSERT_TRUE(s.SmallMolecule());
        EXPECT_EQ(s.crystal.spaceGroup, "C 1 2/c 1");
        ASSERT_EQ(s.molecules, static_cast<int>(c.molecules.size()));
        // Each molecule holds its formula, atom for atom.
        for (std::size_t m = 0; m < c.molecules.size(); ++m) {
            std::map<std::string, int> found;
            for (const Atom& a : s.atoms)
                if (a.residueNumber == static_cast<int>(m) + 1) ++found[a.element];
            EXPECT_EQ(found, Formula(c.molecules[m])) << "molecule " << m + 1;
        }
        EXPECT_GE(ClosestPair(s), 0.5);

        // Every bond the file lists is there, at its length (to 0.01, or its
        // uncertainty where coordinates are given to fewer digits): between
        // atoms, a bond of the scene; to the metal, a ligand of its site.
        const Scene scene = BuildScene(s, SceneOptions());
        std::set<std::pair<int, int>> bonds;
        for (const Bond& b : scene.bonds) bonds.insert({b.first, b.second});
        ASSERT_EQ(scene.metals.size(), 1u);
        const MetalSite& site = scene.metals.front();
        EXPECT_EQ(s.atoms[static_cast<std::size_t>(site.metal)].name, c.metal);
        ASSERT_TRUE(site.HasGeometry());
        EXPECT_EQ(site.Best().name, c.geometry);
        const std::vector<ListedBond> listed = GeomBonds(MoleculePath(c.file));
        ASSERT_GT(listed.size(), 40u);
        std::size_t metalBonds = 0;
        for (const ListedBond& bond : listed) {
            SCOPED_TRACE(bond.first + " - " + bond.second);
            const double tolerance = std::max(0.01, bond.su);
            bool present = false;
            for (std::size_t i = 0; i < s.atoms.size() && !present; ++i) {
                if (s.atoms[i].name != bond.first) continue;
                for (std::size_t j = 0; j < s.atoms.size() && !present; ++j) {
                    if (s.atoms[j].name != bond.second ||
                        std::fabs(s.atoms[i].position.Distance(s.atoms[j].position) - bond.distance) > tolerance)
                        continue;
                    const int a = static_cast<int>(std::min(i, j)), b = static_cast<int>(std::max(i, j));
                    if (bond.first == c.metal || bond.second == c.metal) {
                        const int ligand = bond.first == c.metal ? static_cast<int>(j) : static_cast<int>(i);
                        for (const Ligand& l : site.ligands)
                            present = present || (l.atom == ligand && std::fabs(l.distance - bond.distance) <= tolerance);
                    } else {
                        present = bonds.count({a, b}) > 0;
                    }
                }
            }
            EXPECT_TRUE(present);
            if (bond.first == c.metal || bond.second == c.metal) {
                ++metalBonds;
                EXPECT_LE(bond.su, 0.01);  // the metal's bonds are held to 0.01
            }
        }
        // The site's ligands are exactly the metal's listed bonds.
        EXPECT_EQ(site.ligands.size(), c.ligands);
        EXPECT_EQ(metalBonds, c.ligands);
    }
}

TEST(SmallMolecule, MetalsCommandListsTheSites) {
    for (const RealFile& c : kRealFiles) {
        SCOPED_TRACE(c.file);
        const Outcome o = RunScene(std::string("metals ") + MoleculePath(c.file));
        ASSERT_EQ(o.exitCode, 0) << o.err;
        std::istringstream lines(o.out);
        std::string header, row, more;
        std::getline(lines, header);
        std::getline(lines, row);
        EXPECT_FALSE(std::getline(lines, more)) << o.out;
        std::istringstream words(row);
        std::string element, label, count, best;
        words >> element >> label >> count >> best;
        EXPECT_EQ(label, c.metal);
        EXPECT_EQ(count, std::to_string(c.ligands));
        EXPECT_EQ(best, c.geometry);
        // Each listed partner of the metal, by its label and length to 0.01.
        for (const ListedBond& bond : GeomBonds(MoleculePath(c.file))) {
            if (bond.first != c.metal && bond.second != c.metal) continue;
            const std::string ligand = bond.first == c.metal ? bond.second : bond.first;
            const std::size_t at = row.find(ligand + " ");
            ASSERT_NE(at, std::string::npos) << ligand << " in " << row;
            EXPECT_NEAR(std::stod(row.substr(at + ligand.size() + 1)), bond.distance, 0.01) << ligand;
        }
    }
}

// ---- derived fragments -----------------------------------------------------------

// C2/c by its operations alone: a Cl-C-C-Cl molecule across the two-fold
// axis at x = 0, z = 1/4, half of it in the asymmetric unit; the image's
// tensor turns with it (the axis is Cartesian y: U12 and U23 change sign).
TEST(SmallMolecule, MoleculeAcrossATwoFoldAxisIsCompleted) {
    const Structure s = ReadCif("data_half\n" + CellText(10, 10, 10, 90) + kC2c +
                                SiteLoop("C1 C 0.075 0.2 0.25 0.03\nCl1 Cl 0.13 0.36 0.25 0.04\n") +
                                AnisoLoop("C1 0.02 0.03 0.04 0.005 0.002 -0.004\n"));
    ASSERT_EQ(s.atoms.size(), 4u);
    EXPECT_EQ(s.molecules, 1);
    EXPECT_EQ(s.crystal.operations.size(), 8u);
    const Atom* c1 = Named(s, "C1");
    const Atom* image = Named(s, "C1", "-x,y,-z+1/2");
    ASSERT_TRUE(c1 && image && Named(s, "Cl1") && Named(s, "Cl1", "-x,y,-z+1/2"));
    EXPECT_NEAR(c1->position.Distance(image->position), 1.5, 1e-4);
    const std::array<double, 6> rotated = {0.02, 0.03, 0.04, -0.005, 0.002, 0.004};
    for (std::size_t k = 0; k < 6; ++k) EXPECT_NEAR(image->u[k], rotated[k], 1e-9) << k;
    EXPECT_EQ(image->ResidueLabel(), "C1 -x,y,-z+1/2");
    EXPECT_EQ(c1->ResidueLabel(), "C1");
    // Picked, a site reads by its label, once.
    const Scene scene = BuildScene(s, SceneOptions());
    const int i = static_cast<int>(image - s.atoms.data());
    EXPECT_EQ(scene.Describe(s, scene.AtomID(i)), "atom " + std::to_string(i + 1) + " C1 -x,y,-z+1/2");
}

// A water cut by the cell edge, its hydrogen listed first: the molecule is
// grown once from that hydrogen, not again from the oxygen.
TEST(SmallMolecule, MoleculeAcrossACellEdgeIsDrawnOnce) {
    const Structure s = ReadCif("data_water\n" + CellText(8, 9, 10, 90) + "_symmetry_space_group_name_H-M 'P 1'\n" +
                                SiteLoop("H1 H 0.07 0.5 0.5 0.05\nO1 O 0.95 0.5 0.5 0.04\nH2 H 0.93 0.61 0.5 0.05\n"));
    ASSERT_EQ(s.atoms.size(), 3u);
    EXPECT_EQ(s.molecules, 1);
    EXPECT_EQ(s.atoms[0].name, "H1");
    const Atom* oxygen = Named(s, "O1", "x-1,y,z");
    ASSERT_NE(oxygen, nullptr);
    for (const Atom& a : s.atoms) {
        if (a.element != "H") continue;
        EXPECT_LT(a.position.Distance(oxygen->position), 1.1) << a.name;
    }
    EXPECT_GE(ClosestPair(s), 0.5);
}

// ZnCl2 with zinc on the two-fold axis (exactly, and a little off it): zinc
// once, both chlorides, and the metal table names the image. The group
// comes by name, Hall symbol or number alike.
TEST(SmallMolecule, AtomOnASpecialPositionIsKeptOnce) {
    const struct {
        const char* zinc;
        const char* group;
    } cases[] = {{"0", "_symmetry_space_group_name_H-M 'C 1 2/c 1'"},
                 {"0.002", "_space_group_name_H-M_alt 'C 1 2/c 1'"},
                 {"0", "_symmetry_space_group_name_Hall '-C 2yc'"},
                 {"0.002", "_space_group_IT_number 15"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.zinc) + " " + c.group);
        const Structure s = ReadCif("data_zncl2\n" + CellText(10, 10, 10, 90) + c.group + "\n" +
                                    SiteLoop(std::string("Zn1 Zn ") + c.zinc + " 0.2 0.25 0.02\nCl1 Cl 0.17 0.28 0.32 0.03\n"));
        EXPECT_EQ(s.crystal.spaceGroup, "C 1 2/c 1");
        ASSERT_EQ(s.atoms.size(), 3u);
        EXPECT_EQ(std::count_if(s.atoms.begin(), s.atoms.end(), [](const Atom& a) { return a.element == "Zn"; }), 1);
        const std::vector<MetalSite> sites = FindMetalSites(s);
        ASSERT_EQ(sites.size(), 1u);
        ASSERT_EQ(sites[0].ligands.size(), 2u);
        std::ostringstream table;
        PrintMetalTable(s, sites, table);
        // The chloride and its image, in either order.
        EXPECT_TRUE(std::regex_search(table.str(), std::regex("(  |, )Cl1 [12]\\.\\d\\d(,|\n)"))) << table.str();
        EXPECT_TRUE(std::regex_search(table.str(), std::regex("(  |, )Cl1 -x,y,-z\\+1/2 [12]\\.\\d\\d(,|\n)")))
            << table.str();
    }
}

// U of a monoclinic cell (a 10, b 12, c 15, beta 120) worked by hand:
// A N = [[2/sqrt3, 0, -1/sqrt3], [0, 1, 0], [0, 0, 1]] (a along x, b along y),
// and U_cart = (A N) U (A N)^T for U11 .02, U22 .03, U33 .04, U13 .01 gives
// U11 = (2 * .03 + .02) / 3, U33 = .04, U13 = -.02 / sqrt3, whether the
// file writes U_ij or B_ij. U_iso and B_iso give the B-factor.
TEST(SmallMolecule, DisplacementsBecomeCartesian) {
    const Structure s = ReadCif("data_mono\n" + CellText(10, 12, 15, 120) + "_symmetry_space_group_name_H-M 'P 1'\n" +
                                SiteLoop("C1 C 0.1 0.1 0.1 0.05\n") + AnisoLoop("C1 0.02 0.03 0.04 0 0.01 0\n"));
    ASSERT_EQ(s.atoms.size(), 1u);
    const Atom& a = s.atoms[0];
    ASSERT_TRUE(a.hasAniso);
    const std::array<double, 6> expected = {0.08 / 3, 0.03, 0.04, 0, -0.02 / std::sqrt(3.0), 0};
    for (std::size_t k = 0; k < 6; ++k) EXPECT_NEAR(a.u[k], expected[k], 1e-9) << k;
    const double uToB = 8 * std::pow(std::acos(-1.0), 2);
    EXPECT_NEAR(a.bFactor, uToB * 0.05, 1e-9);
    // The same tensor written as B_ij.
    std::ostringstream bRows;
    bRows << "loop_\n_atom_site_aniso_label\n_atom_site_aniso_B_11\n_atom_site_aniso_B_22\n_atom_site_aniso_B_33\n"
             "_atom_site_aniso_B_12\n_atom_site_aniso_B_13\n_atom_site_aniso_B_23\nC1 "
          << 0.02 * uToB << " " << 0.03 * uToB << " " << 0.04 * uToB << " 0 " << 0.01 * uToB << " 0\n";
    const Structure fromB = ReadCif("data_monob\n" + CellText(10, 12, 15, 120) +
                                    "_symmetry_space_group_name_H-M 'P 1'\n" + SiteLoop("C1 C 0.1 0.1 0.1 0.05\n") + bRows.str());
    ASSERT_EQ(fromB.atoms.size(), 1u);
    ASSERT_TRUE(fromB.atoms[0].hasAniso);
    for (std::size_t k = 0; k < 6; ++k) EXPECT_NEAR(fromB.atoms[0].u[k], expected[k], 1e-6) << k;
    const Structure b = ReadCif("data_b\n" + CellText(10, 12, 15, 120) + "_symmetry_space_group_name_H-M 'P 1'\n" +
                                "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
                                "_atom_site_B_iso_or_equiv\nO1 0.1 0.2 0.3 2.5\n");
    ASSERT_EQ(b.atoms.size(), 1u);
    EXPECT_EQ(b.atoms[0].element, "O");
    EXPECT_FALSE(b.atoms[0].hasAniso);
    EXPECT_NEAR(b.atoms[0].bFactor, 2.5, 1e-9);
}

// Disorder groups read like alternative conformations: the first stays.
TEST(SmallMolecule, FirstDisorderGroupIsKept) {
    const Structure s = ReadCif("data_disorder\n" + CellText(10, 10, 10, 90) + "_symmetry_space_group_name_H-M 'P 1'\n" +
                                "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
                                "_atom_site_disorder_group\nC1 0.1 0.1 0.1 .\nC2A 0.25 0.1 0.1 1\nC2B 0.24 0.13 0.1 2\n"
                                "C3A 0.35 0.1 0.1 1\nC3B 0.34 0.16 0.1 2\n");
    std::vector<std::string> names;
    for (const Atom& a : s.atoms) names.push_back(a.name);
    EXPECT_EQ(names, (std::vector<std::string>{"C1", "C2A", "C3A"}));
    EXPECT_EQ(s.alternativesLeftOut, 2);
}

// A chain that bonds into itself through the lattice never closes; the
// completion stops at its limit instead.
TEST(SmallMolecule, PolymerCompletionIsBounded) {
    const Structure s = ReadCif("data_chain\n" + CellText(1.5, 10, 10, 90) + "_symmetry_space_group_name_H-M 'P 1'\n" +
                                SiteLoop("C1 C 0 0 0 0.03\n"));
    EXPECT_EQ(static_cast<int>(s.atoms.size()), kMaxCompletionGrowth);
    EXPECT_GE(ClosestPair(s), 1.49);
}

// ---- errors and notes ------------------------------------------------------------

TEST(SmallMolecule, ErrorsNameWhatToMend) {
    const std::string water =
        "data_w\n" + CellText(8, 9, 10, 90) + "_symmetry_space_group_name_H-M 'P 1'\n" + SiteLoop("O1 O 0.5 0.5 0.5 0.04\n");
    std::string crowd;  // 5500 sites under the 192 operations of F m -3 m: over a million images
    for (int k = 0; k < 5500; ++k) crowd += "C" + std::to_string(k) + " C 0." + std::to_string(1000 + k) + " 0.1 0.1 0.03\n";
    std::filesystem::create_directories(Temp("folder.cif"));
    const struct {
        const char* name;
        std::string text;  // written unless the name is the folder
        std::string args;  // after the path
        std::string message;  // expected in the one line, after "tessary-scene: "
    } cases[] = {
        {"nothing.cif", "data_x\n_cell_length_a 10\n", "",
         "no atom coordinates in PATH (neither _atom_site.Cartn_x nor _atom_site_fract_x)"},
        {"empty.cif", "# no block\n", "", "no data block in PATH"},
        {"nocell.cif", "data_x\n" + SiteLoop("O1 O 0.5 0.5 0.5 0.04\n"), "", "PATH: fractional coordinates without a cell"},
        {"flat.cif", "data_x\n" + CellText(8, 9, 10, 180) + SiteLoop("O1 O 0.5 0.5 0.5 0.04\n"), "",
         "PATH: the cell has no volume"},
        {"tiny.cif", "data_x\n" + CellText(0.5, 0.5, 0.5, 90) + "_symmetry_space_group_name_H-M 'P 1'\n" + SiteLoop("O1 O 0.5 0.5 0.5 0.04\n"), "",
         "PATH: the cell is too small"},
        {"far.cif", "data_x\n" + CellText(8, 9, 10, 90) + SiteLoop("O1 O 5000 0.5 0.5 0.04\n"), "",
         "PATH: site O1 has a fractional coordinate beyond 1000"},
        {"crowd.cif", "data_x\n" + CellText(500, 500, 500, 90) + "_symmetry_space_group_name_H-M 'F m -3 m'\n" + SiteLoop(crowd),
         "", "PATH: 5500 sites in F m -3 m are more than a small-molecule crystal holds"},
        {"water.cif", water, " --model 2", "PATH has 1 model(s); model 2 was asked for"},
        {"cut.cif.gz", Gzip(water).substr(0, 40), "", "PATH: the compressed data ends early"},
        {"folder.cif", "", "", "PATH is a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Temp(c.name);
        if (std::string(c.name) != "folder.cif") Write(path, c.text);
        const Outcome o = RunScene("info " + path + c.args);
        ExpectRefusal(o);
        std::string message = c.message;
        message.replace(message.find("PATH"), 4, path);
        EXPECT_EQ(o.err.find("tessary-scene: " + message), 0u) << o.err;
    }
    std::filesystem::remove(Temp("folder.cif"));
}

// Several blocks: the first with coordinates is read and named; a group
// gemmi does not know leaves the sites as they are, with a note.
TEST(SmallMolecule, NotesNameTheBlockReadAndAnUnknownGroup) {
    const std::string water = CellText(8, 9, 10, 90) + "_symmetry_space_group_name_H-M 'P 1'\n" +
                              SiteLoop("O1 O 0.5 0.5 0.5 0.04\nH1 H 0.5 0.6 0.5 0.05\nH2 H 0.6 0.47 0.5 0.05\n");
    Write(Temp("blocks.cif"), "data_notes\n_journal_year 2005\ndata_first\n" + water + "data_second\n" + CellText(8, 9, 10, 90) +
                                  SiteLoop("N1 N 0.5 0.5 0.5 0.04\n"));
    Outcome o = RunScene("info " + Temp("blocks.cif"));
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("atoms   3\n"), std::string::npos) << o.out;
    EXPECT_EQ(o.err, "tessary-scene: " + Temp("blocks.cif") +
                         ": 2 data blocks hold atom coordinates; data_first (the first) is read\n");

    Write(Temp("nogroup.cif"), "data_x\n" + CellText(8, 9, 10, 90) + SiteLoop("N1 N 0.5 0.5 0.5 0.04\nN2 N 0.5 0.6 0.5 0.04\n"));
    o = RunScene("info " + Temp("nogroup.cif"));
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("atoms   2\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("sites   2 in the asymmetric unit (space group unknown), completed to 1 molecule\n"),
              std::string::npos) << o.out;
    EXPECT_NE(o.err.find("space group unknown"), std::string::npos) << o.err;
}

// ---- ellipsoids ------------------------------------------------------------------

int Count(const Scene& scene, const std::string& kind) {
    for (const auto& [name, count] : CountPrimitives(scene.root))
        if (name == kind) return count;
    return 0;
}

TEST(SmallMolecule, EllipsoidsByFileKindAndOption) {
    const Structure small = ReadStructure(MoleculePath("C26H16BeN2O2S2.cif"));
    const Structure protein = ReadStructure(MoleculePath("pdb1ejg.pdb"));
    const auto tensors = [](const Structure& s) {
        return static_cast<int>(std::count_if(s.atoms.begin(), s.atoms.end(), [](const Atom& a) { return a.hasAniso; }));
    };
    ASSERT_EQ(tensors(small), 33);  // every non-hydrogen site of the file has its row
    const struct {
        const Structure* structure;
        Ellipsoids option;
        Style style;
        bool drawn;
    } cases[] = {
        {&small, Ellipsoids::ByKind, Style::BallAndStick, true},   {&small, Ellipsoids::Off, Style::BallAndStick, false},
        {&small, Ellipsoids::On, Style::Spacefill, false},         {&protein, Ellipsoids::ByKind, Style::BallAndStick, false},
        {&protein, Ellipsoids::On, Style::BallAndStick, true},     {&protein, Ellipsoids::Off, Style::BallAndStick, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.structure->path + " option " + std::to_string(static_cast<int>(c.option)));
        SceneOptions options;
        options.ellipsoids = c.option;
        options.style = c.style;
        const Scene scene = BuildScene(*c.structure, options);
        EXPECT_EQ(scene.ellipsoids, c.drawn);
        const int drawn = tensors(*c.structure) - scene.nonPositiveDefinite;
        EXPECT_EQ(Count(scene, "OpaqueEllipsoids"), c.drawn ? drawn : 0);
        EXPECT_EQ(Count(scene, "OpaqueSpheres"), static_cast<int>(c.structure->atoms.size()) - (c.drawn ? drawn : 0));
    }
}

TEST(SmallMolecule, EllipsoidOptionsOnTheCommandLine) {
    const std::string be = MoleculePath("C26H16BeN2O2S2.cif"), crambin = MoleculePath("pdb1ejg.pdb");
    const struct {
        std::string args;
        bool ellipsoids;
    } cases[] = {
        {"info " + be, true},
        {"info " + be + " --no-ellipsoids", false},
        {"info " + be + " --probability 0.9", true},
        {"info " + crambin, false},
        {"info " + crambin + " --ellipsoids", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome o = RunScene(c.args);
        ASSERT_EQ(o.exitCode, 0) << o.err;
        EXPECT_EQ(o.out.find("OpaqueEllipsoids") != std::string::npos, c.ellipsoids) << o.out;
    }
    for (const char* bad : {"0", "1", "-0.5", "1.5", "half", "nan"}) {
        SCOPED_TRACE(bad);
        const Outcome o = RunScene("info " + be + " --probability " + bad);
        ExpectRefusal(o);
        EXPECT_NE(o.err.find("bad value for --probability"), std::string::npos) << o.err;
    }
    const Outcome help = RunScene("render --help");
    for (const char* option : {"--ellipsoids", "--no-ellipsoids", "--probability P"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

// The radius holding P of a trivariate normal distribution, against the
// chi-square table for three degrees of freedom, and the semi-axes of an
// isotropic tensor drawn at that probability.
TEST(SmallMolecule, ProbabilityScaleFollowsTheChiSquareTable) {
    const struct {
        double probability, quantile;
    } table[] = {{0.1, 0.584}, {0.5, 2.366}, {0.9, 6.251}, {0.95, 7.815}, {0.99, 11.345}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.probability);
        EXPECT_NEAR(ProbabilityScale(row.probability), std::sqrt(row.quantile), 1e-3);
        Structure s;
        Atom atom;
        atom.element = "C";
        atom.hasAniso = true;
        atom.u = {0.04, 0.04, 0.04, 0, 0, 0};
        s.atoms = {atom};
        s.chains = {{"", 0, 1}};
        SceneOptions options;
        options.ellipsoids = Ellipsoids::On;
        options.probability = row.probability;
        const Scene scene = BuildScene(s, options);
        EXPECT_NEAR(scene.root.GetDisplayList(0).GetOpaqueEllipsoid(0).GetSize().x, 0.2 * std::sqrt(row.quantile), 1e-3);
    }
    EXPECT_NEAR(ProbabilityScale(0.5), 1.5382, 1e-4);
}

// A tensor that is no ellipsoid is drawn as a sphere and counted: on stderr
// when rendering, in a line of info.
TEST(SmallMolecule, NonPositiveDefiniteTensorsAreCounted) {
    const std::string path = Temp("npd.cif");
    Write(path, "data_npd\n" + CellText(10, 10, 10, 90) + "_symmetry_space_group_name_H-M 'P 1'\n" +
                    SiteLoop("O1 O 0.1 0.1 0.1 0.03\nO2 O 0.5 0.5 0.5 0.03\nO3 O 0.8 0.2 0.5 0.03\n") +
                    AnisoLoop("O1 0.02 0.03 0.04 0 0 0\nO2 0.02 0.03 -0.01 0 0 0\n"));
    const Structure s = ReadStructure(path);
    const Scene scene = BuildScene(s, SceneOptions());
    EXPECT_EQ(scene.tensors, 2);
    EXPECT_EQ(scene.nonPositiveDefinite, 1);
    EXPECT_EQ(Count(scene, "OpaqueEllipsoids"), 1);
    EXPECT_EQ(Count(scene, "OpaqueSpheres"), 2);

    Outcome o = RunScene("render " + path + " -o " + Temp("npd.png"));
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.err, "tessary-scene: " + path + ": 1 displacement tensor(s) not positive definite, drawn as spheres\n");
    o = RunScene("info " + path);
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("tensors 2 (1 not positive definite), drawn as ellipsoids\n"), std::string::npos) << o.out;
    // Spheres asked for: nothing to report while rendering.
    o = RunScene("render " + path + " --no-ellipsoids -o " + Temp("npd.png"));
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.err, "");
}

}  // namespace
