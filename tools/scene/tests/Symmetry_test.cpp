// Metal shells completed across the crystal (donors of symmetry mates), NCS
// copies generated when reading, and biological assemblies, on small PDB
// fragments built here and on the repository's real structures.

#include <gtest/gtest.h>

#include <gemmi/symmetry.hpp>

#include <array>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "MetalSites.h"
#include "MoleculePath.h"
#include "PlainSearch.h"
#include "Scene.h"
#include "SceneProgram.h"
#include "Structure.h"

using namespace TessaryScene;
using Tessary::Point3d;

namespace {

struct Placed {
    const char* record;  // ATOM or HETATM
    const char* name;
    const char* residue;
    std::string chain;
    int number;
    Point3d at;
    const char* element;
};

std::string AtomLine(int serial, const Placed& a) {
    const std::string name = std::string(a.name).size() < 4 && std::string(a.element).size() == 1
                                 ? " " + std::string(a.name)
                                 : std::string(a.name);
    char line[96];
    std::snprintf(line, sizeof line, "%-6s%5d %-4s %3s %1s%4d    %8.3f%8.3f%8.3f  1.00 20.00          %2s\n",
                  a.record, serial, name.c_str(), a.residue, a.chain.c_str(), a.number, a.at.x, a.at.y, a.at.z,
                  a.element);
    return line;
}

std::string Cryst1(double a, double b, double c, double beta, const char* group) {
    char line[96];
    std::snprintf(line, sizeof line, "CRYST1%9.3f%9.3f%9.3f%7.2f%7.2f%7.2f %-11s%4d\n", a, b, c, 90.0, beta, 90.0,
                  group, 1);
    return line;
}

// The rotation about y by 180 degrees and the identity, as MTRIX or BIOMT rows.
std::string Rows(const char* prefix, int serial, bool twoFold, const char* given) {
    std::string text;
    for (int i = 0; i < 3; ++i) {
        const double diagonal = twoFold && i != 1 ? -1.0 : 1.0;
        char line[96];
        std::snprintf(line, sizeof line, "%s%d %3d%10.6f%10.6f%10.6f     %10.5f    %s\n", prefix, i + 1, serial,
                      i == 0 ? diagonal : 0.0, i == 1 ? diagonal : 0.0, i == 2 ? diagonal : 0.0, 0.0, given);
        text += line;
    }
    return text;
}

std::string Text(const std::string& head, const std::vector<Placed>& atoms) {
    std::string text = head;
    int serial = 0;
    for (const Placed& a : atoms) text += AtomLine(++serial, a);
    return text + "END\n";
}

Structure Read(const std::string& text, const std::string& name, int assembly = 0) {
    const std::string path = scene_test::Temp(name + ".pdb");
    scene_test::Write(path, text);
    return ReadStructure(path, 1, kDefaultMaxInputMegabytes, assembly);
}

const Point3d kAxisZinc(0.0f, 10.0f, 0.0f);
const float kInvSqrt3 = static_cast<float>(1.0 / std::sqrt(3.0));

// A zinc on the two-fold axis along b with a histidine nitrogen and a
// cysteine sulfur on two corners of a tetrahedron; the two-fold (-x,y,-z)
// puts the other two corners in place.
std::vector<Placed> HalfSite(const std::string& chain) {
    const Point3d t1(kInvSqrt3, kInvSqrt3, kInvSqrt3), t2(kInvSqrt3, -kInvSqrt3, -kInvSqrt3);
    return {{"ATOM", "NE2", "HIS", chain, 10, kAxisZinc + t1 * 2.02f, "N"},
            {"ATOM", "SG", "CYS", chain, 20, kAxisZinc + t2 * 2.30f, "S"},
            {"HETATM", "ZN", "ZN", chain, 101, kAxisZinc, "ZN"}};
}

// The same half site with its two-fold copy given as chain B (the zinc once).
std::vector<Placed> WholeSite() {
    std::vector<Placed> atoms = HalfSite("A");
    for (const Placed& a : HalfSite("B")) {
        if (std::string(a.element) == "ZN") continue;
        Placed copy = a;
        copy.at = Point3d(-a.at.x, a.at.y, -a.at.z);
        atoms.push_back(copy);
    }
    return atoms;
}

// The ligands of each site as the table writes them, sites parted by " | ".
std::string LigandCells(const Structure& s) {
    std::ostringstream table;
    PrintMetalTable(s, FindMetalSites(s), table);
    std::istringstream lines(table.str());
    std::string line, cells;
    std::getline(lines, line);
    const std::size_t column = line.find("ligands");
    while (std::getline(lines, line)) cells += (cells.empty() ? "" : " | ") + line.substr(column);
    return cells;
}

// Fractions of the cell as P 21 21 21 (30 x 40 x 50) places them.
Point3d Orthorhombic(double x, double y, double z) {
    return Point3d(static_cast<float>(30 * x), static_cast<float>(40 * y), static_cast<float>(50 * z));
}

const char* const kHalfSiteImages =
    "HIS 10 A NE2 2.02, HIS 10 A NE2 2.02 [-x,y,-z], CYS 20 A SG 2.30, CYS 20 A SG 2.30 [-x,y,-z]";

TEST(Symmetry, MetalShellsAreCompletedFromSymmetryMates) {
    // A zinc near the screw axes of P 21 21 21 at fractions (0.74, 0.02,
    // 0.3): a water 2.10 below it along -b is the image, under -x+1/2,-y,z+1/2
    // and one cell along a, of the water stored at (0.76, 0.0325, -0.2).
    const Point3d zinc = Orthorhombic(0.74, 0.02, 0.3);
    const std::vector<Placed> screw = {{"HETATM", "ZN", "ZN", "A", 101, zinc, "ZN"},
                                       {"HETATM", "O", "HOH", "A", 2, zinc + Point3d(2.05f, 0, 0), "O"},
                                       {"HETATM", "O", "HOH", "A", 3, Orthorhombic(0.76, 0.0325, -0.2), "O"}};
    // A zinc 0.8 from the cell's face x = 0 in P 1: the water beyond the face is stored a cell away.
    const std::vector<Placed> edge = {{"HETATM", "ZN", "ZN", "A", 101, Point3d(0.8f, 10, 10), "ZN"},
                                      {"HETATM", "O", "HOH", "A", 2, Point3d(0.8f, 12.05f, 10), "O"},
                                      {"HETATM", "O", "HOH", "A", 3, Point3d(18.7f, 10, 10), "O"}};
    const struct {
        const char* what;
        std::string text;
        const char* ligands;
        bool crystal = true;  // the plain search knows no placeholder cells
    } cases[] = {
        {"on a two-fold axis (a special position)", Text(Cryst1(30, 40, 35, 90, "P 1 2 1"), HalfSite("A")),
         kHalfSiteImages},
        {"the copies given in the file", Text(Cryst1(30, 40, 35, 90, "P 1 2 1"), WholeSite()),
         "HIS 10 A NE2 2.02, HIS 10 B NE2 2.02, CYS 20 A SG 2.30, CYS 20 B SG 2.30"},
        {"no crystal (a placeholder cell)", Text(Cryst1(1, 1, 1, 90, "P 1"), HalfSite("A")),
         "HIS 10 A NE2 2.02, CYS 20 A SG 2.30"},
        {"no CRYST1 at all", Text("", HalfSite("A")), "HIS 10 A NE2 2.02, CYS 20 A SG 2.30"},
        {"beside a screw axis", Text(Cryst1(30, 40, 50, 90, "P 21 21 21"), screw),
         "HOH 2 A O 2.05, HOH 3 A O 2.10 [-x+3/2,-y,z+1/2]"},
        {"at a cell face", Text(Cryst1(20, 20, 20, 90, "P 1"), edge), "HOH 2 A O 2.05, HOH 3 A O 2.10 [x-1,y,z]"},
        // The same site in a cell too small for the model: no crystal's content.
        {"a model spanning many cells", Text(Cryst1(3, 3, 3, 90, "P 1"), edge), "HOH 2 A O 2.05", false},
        {"a cell narrower than half a bond's reach", Text(Cryst1(1.5, 1.5, 1.5, 90, "P 1"), HalfSite("A")),
         "HIS 10 A NE2 2.02, CYS 20 A SG 2.30", false},
    };
    int images = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Structure s = Read(c.text, "case");
        EXPECT_EQ(LigandCells(s), c.ligands);
        if (c.crystal) images += ExpectTableAgreesWithAPlainSearch(s);
    }
    EXPECT_EQ(images, 4);

    // The site on the axis is the tetrahedron the two halves make.
    const Structure s = Read(cases[0].text, "axis");
    const std::vector<MetalSite> sites = FindMetalSites(s);
    ASSERT_EQ(sites.size(), 1u);
    ASSERT_TRUE(sites[0].HasGeometry());
    EXPECT_EQ(sites[0].Best().type, Tessary::CoordinationGeometry::Tetrahedral);
    EXPECT_LT(sites[0].Best().deviation, 0.01);
    for (const Ligand& l : sites[0].ligands) {
        const Point3d own = s.atoms[static_cast<std::size_t>(l.atom)].position;
        const Point3d expected = l.FromImage() ? Point3d(-own.x, own.y, -own.z) : own;
        EXPECT_LT(l.position.Distance(expected), 1e-4);
    }
}

// The image's bonded partners are the images of the atom's partners: a
// carboxylate carbon of the mate nearer the metal than its oxygen hides
// that oxygen, as it would in the model.
TEST(Symmetry, ImagesKeepTheSecondShellRule) {
    // Zinc at the cell face x = 0 of P 1 (20 A): beyond it (stored a cell
    // away) a carbon 2.0 from the zinc with an oxygen 2.45 behind it.
    const Point3d zinc(0.5f, 10, 10);
    const std::vector<Placed> atoms = {{"HETATM", "ZN", "ZN", "A", 101, zinc, "ZN"},
                                       {"HETATM", "C", "LIG", "A", 5, Point3d(18.5f, 10, 10), "C"},
                                       {"HETATM", "O", "LIG", "A", 5, Point3d(18.5f, 8.86f, 9.7f), "O"}};
    const Structure s = Read(Text(Cryst1(20, 20, 20, 90, "P 1"), atoms), "shell");
    const std::vector<MetalSite> sites = FindMetalSites(s);
    ASSERT_EQ(sites.size(), 1u);
    ASSERT_EQ(sites[0].ligands.size(), 1u);  // the carbon, the donor end, alone
    EXPECT_EQ(s.atoms[static_cast<std::size_t>(sites[0].ligands[0].atom)].element, "C");
    EXPECT_EQ(sites[0].ligands[0].image, "x-1,y,z");
}

// Every operation of every space-group setting gemmi knows, shifted by up
// to two cells each way, written as gemmi writes the shifted operation.
TEST(Symmetry, OperationTripletsFoldTheShiftIn) {
    int checked = 0;
    for (const gemmi::SpaceGroup& group : gemmi::spacegroup_tables::main) {
        for (const gemmi::Op& op : group.operations()) {
            Crystal::Operation ours;
            ours.rotation24 = op.rot;
            ours.translation24 = op.tran;
            for (int a = -2; a <= 2; ++a)
                for (int c = -2; c <= 2; c += 2) {
                    gemmi::Op shifted = op;
                    shifted.tran[0] += 24 * a;
                    shifted.tran[2] += 24 * c;
                    ASSERT_EQ(ours.Triplet({a, 0, c}), shifted.triplet()) << group.hm;
                    ++checked;
                }
        }
    }
    EXPECT_GT(checked, 10000);
}

// What a symmetry mate's ligand looks like in the scene: its dashed line
// ends at the image, a small sphere carrying the contact's ID stands there,
// and picking either names the operation.
TEST(Symmetry, SceneDrawsImagesWhereTheyStand) {
    const Structure s = Read(Text(Cryst1(30, 40, 35, 90, "P 1 2 1"), HalfSite("A")), "scene");
    const Scene scene = BuildScene(s, SceneOptions());
    ASSERT_EQ(scene.contacts.size(), 4u);
    const Tessary::DisplayList3D& sites = scene.root.GetDisplayList(scene.root.GetNumDisplayLists() - 1);
    ASSERT_EQ(sites.GetNumDashedLines(), 4);
    int images = 0;
    for (int k = 0; k < sites.GetNumDashedLines(); ++k) {
        const auto& line = sites.GetDashedLine(k);
        const int c = scene.ContactOf(line.GetID1());
        ASSERT_GE(c, 0);
        const Contact& contact = scene.contacts[static_cast<std::size_t>(c)];
        const Point3d own = s.atoms[static_cast<std::size_t>(contact.second)].position;
        const std::string described = scene.Describe(s, line.GetID1());
        if (contact.image.empty()) {
            EXPECT_EQ(line.GetEnd2(), own);
            EXPECT_EQ(described.find('('), std::string::npos) << described;
            continue;
        }
        ++images;
        EXPECT_EQ(contact.image, "-x,y,-z");
        EXPECT_LT(line.GetEnd2().Distance(Point3d(-own.x, own.y, -own.z)), 1e-4);
        const std::string& name = s.atoms[static_cast<std::size_t>(contact.second)].name;
        EXPECT_NE(described.find(name + " " + s.atoms[static_cast<std::size_t>(contact.second)].ResidueLabel() +
                                 " (-x,y,-z)"),
                  std::string::npos)
            << described;
        bool sphere = false;
        for (int p = 0; p < sites.GetNumOpaqueSpheres(); ++p) {
            const auto& ball = sites.GetOpaqueSphere(p);
            if (ball.GetID() == line.GetID1()) {
                sphere = true;
                EXPECT_EQ(ball.GetCenter(), line.GetEnd2());
            }
        }
        EXPECT_TRUE(sphere);
    }
    EXPECT_EQ(images, 2);
    EXPECT_EQ(sites.GetNumOpaqueSpheres(), 2);
}

// MTRIX operations whose copies the file leaves out are applied when it is
// read, the copies as chains of their own (the zinc on the axis once);
// copies marked as given are not made again.
TEST(Symmetry, NcsCopiesAreGeneratedOnce) {
    const std::string head = Cryst1(1, 1, 1, 90, "P 1");
    const struct {
        const char* what;
        std::string text;
        std::size_t atoms;
        const char* ligands;
    } cases[] = {
        {"not given", Text(head + Rows("MTRIX", 1, false, "1") + Rows("MTRIX", 2, true, " "), HalfSite("A")), 5,
         "HIS 10 A NE2 2.02, HIS 10 B NE2 2.02, CYS 20 A SG 2.30, CYS 20 B SG 2.30"},
        {"given", Text(head + Rows("MTRIX", 1, false, "1") + Rows("MTRIX", 2, true, "1"), WholeSite()), 5,
         "HIS 10 A NE2 2.02, HIS 10 B NE2 2.02, CYS 20 A SG 2.30, CYS 20 B SG 2.30"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Structure s = Read(c.text, "ncs");
        EXPECT_EQ(s.atoms.size(), c.atoms);
        ASSERT_EQ(s.chains.size(), 2u);
        EXPECT_EQ(s.chains[0].name, "A");
        EXPECT_EQ(s.chains[1].name, "B");
        EXPECT_EQ(LigandCells(s), c.ligands);
    }
    // The program says so once.
    const std::string path = scene_test::Temp("ncs.pdb");
    scene_test::Write(path, cases[0].text);
    const scene_test::Outcome o = scene_test::RunScene("metals " + path);
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.err.find("1 NCS copy"), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
    // Without REMARK 350 there is no assembly to build.
    scene_test::ExpectRefusal(scene_test::RunScene("metals " + path + " --assembly 1"));
}

std::string AssemblyText() {
    std::string remarks = "REMARK 350 BIOMOLECULE: 1\n"
                          "REMARK 350 AUTHOR DETERMINED BIOLOGICAL UNIT: DIMERIC\n"
                          "REMARK 350 APPLY THE FOLLOWING TO CHAINS: A\n";
    remarks += Rows("REMARK 350   BIOMT", 1, false, "");
    remarks += Rows("REMARK 350   BIOMT", 2, true, "");
    remarks += "REMARK 350 BIOMOLECULE: 2\n"
               "REMARK 350 AUTHOR DETERMINED BIOLOGICAL UNIT: MONOMERIC\n"
               "REMARK 350 APPLY THE FOLLOWING TO CHAINS: A\n";
    remarks += Rows("REMARK 350   BIOMT", 1, false, "");
    // C-alpha atoms far from the zinc, for superpose.
    std::vector<Placed> atoms = HalfSite("A");
    atoms.push_back({"ATOM", "CA", "HIS", "A", 10, Point3d(5, 14, 5), "C"});
    atoms.push_back({"ATOM", "CA", "CYS", "A", 20, Point3d(5, 6, -5), "C"});
    atoms.push_back({"ATOM", "CA", "GLY", "A", 30, Point3d(9, 10, 8), "C"});
    return Text(Cryst1(30, 40, 35, 90, "P 1 2 1") + remarks, atoms);
}

// An assembly is built from its operators; the crystal still completes
// shells, but not with images of atoms the assembly holds already.
TEST(Symmetry, AssembliesAreBuiltOnRequest) {
    const struct {
        int assembly;
        std::size_t chains;
        const char* ligands;
    } cases[] = {
        {0, 1, kHalfSiteImages},
        {1, 2, "HIS 10 A NE2 2.02, HIS 10 B NE2 2.02, CYS 20 A SG 2.30, CYS 20 B SG 2.30"},
        {2, 1, kHalfSiteImages},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.assembly);
        const Structure s = Read(AssemblyText(), "assembly", c.assembly);
        EXPECT_EQ(s.chains.size(), c.chains);
        EXPECT_EQ(s.crystal.spaceGroup, "P 1 2 1");
        EXPECT_EQ(LigandCells(s), c.ligands);
    }
    // A bad number names the choices; a file without assemblies says so.
    const struct {
        std::string file;
        const char* says;
    } refusals[] = {
        {scene_test::Temp("assembly.pdb"), "has 2 assemblies: 1 (DIMERIC), 2 (MONOMERIC); assembly 3 was asked for"},
        {MoleculePath("2hhb.ent"), "lists no assemblies"},
        {MoleculePath("water_cluster_Mg.xyz"), "lists no assemblies"},
    };
    scene_test::Write(refusals[0].file, AssemblyText());
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.file);
        EXPECT_THROW(
            try { ReadStructure(r.file, 1, kDefaultMaxInputMegabytes, 3); } catch (const InputError& e) {
                EXPECT_NE(std::string(e.what()).find(r.says), std::string::npos) << e.what();
                throw;
            },
            InputError);
    }
}

// The same in mmCIF: NCS operations marked "generate" in struct_ncs_oper,
// and assemblies of pdbx_struct_assembly made of pdbx_struct_oper_list.
TEST(Symmetry, MmcifNcsAndAssemblies) {
    std::string text = "data_TEST\n"
                       "loop_\n_struct_ncs_oper.id\n_struct_ncs_oper.code\n";
    const char* const tags[] = {"matrix[1][1]", "matrix[1][2]", "matrix[1][3]", "matrix[2][1]", "matrix[2][2]",
                                "matrix[2][3]", "matrix[3][1]", "matrix[3][2]", "matrix[3][3]", "vector[1]",
                                "vector[2]",    "vector[3]"};
    for (const char* tag : tags) text += std::string("_struct_ncs_oper.") + tag + "\n";
    const std::string identity = "1 0 0 0 1 0 0 0 1 0 0 0\n", twoFold = "-1 0 0 0 1 0 0 0 -1 0 0 0\n";
    text += "1 given " + identity + "2 generate " + twoFold;
    text += "loop_\n_pdbx_struct_assembly.id\n_pdbx_struct_assembly.details\n_pdbx_struct_assembly.method_details\n"
            "_pdbx_struct_assembly.oligomeric_details\n_pdbx_struct_assembly.oligomeric_count\n"
            "1 author_defined_assembly ? dimeric 2\n2 author_defined_assembly ? monomeric 1\n";
    text += "loop_\n_pdbx_struct_assembly_gen.assembly_id\n_pdbx_struct_assembly_gen.oper_expression\n"
            "_pdbx_struct_assembly_gen.asym_id_list\n1 (1,2) A\n2 1 A\n";
    text += "loop_\n_pdbx_struct_oper_list.id\n_pdbx_struct_oper_list.type\n";
    for (const char* tag : tags) text += std::string("_pdbx_struct_oper_list.") + tag + "\n";
    text += "1 'identity operation' " + identity + "2 'point symmetry operation' " + twoFold;
    text += "loop_\n_atom_site.group_PDB\n_atom_site.id\n_atom_site.type_symbol\n_atom_site.label_atom_id\n"
            "_atom_site.label_alt_id\n_atom_site.label_comp_id\n_atom_site.label_asym_id\n_atom_site.label_seq_id\n"
            "_atom_site.Cartn_x\n"
            "_atom_site.Cartn_y\n_atom_site.Cartn_z\n_atom_site.occupancy\n_atom_site.B_iso_or_equiv\n"
            "_atom_site.auth_seq_id\n_atom_site.auth_asym_id\n_atom_site.pdbx_PDB_model_num\n";
    int serial = 0;
    for (const Placed& a : HalfSite("A")) {
        char line[160];
        std::snprintf(line, sizeof line, "%s %d %s %s . %s A %s %.3f %.3f %.3f 1 20 %d A 1\n", a.record, ++serial,
                      a.element, a.name, a.residue, std::string(a.record) == "ATOM" ? std::to_string(a.number).c_str() : ".",
                      a.at.x, a.at.y, a.at.z, a.number);
        text += line;
    }
    const std::string path = scene_test::Temp("copies.cif");
    scene_test::Write(path, text);
    const char* const whole = "HIS 10 A NE2 2.02, HIS 10 B NE2 2.02, CYS 20 A SG 2.30, CYS 20 B SG 2.30";
    const struct {
        int assembly;
        std::size_t atoms;
        const char* ligands;
    } cases[] = {{0, 5, whole}, {1, 5, whole}, {2, 3, "HIS 10 A NE2 2.02, CYS 20 A SG 2.30"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.assembly);
        const Structure s = ReadStructure(path, 1, kDefaultMaxInputMegabytes, c.assembly);
        EXPECT_EQ(s.atoms.size(), c.atoms);
        EXPECT_EQ(LigandCells(s), c.ligands);
    }
    try {
        ReadStructure(path, 1, kDefaultMaxInputMegabytes, 3);
        ADD_FAILURE() << "assembly 3 was read";
    } catch (const InputError& e) {
        EXPECT_NE(std::string(e.what()).find("has 2 assemblies: 1 (dimeric), 2 (monomeric)"), std::string::npos)
            << e.what();
    }
}

// Every command that reads a structure takes --assembly, and says so in its help.
TEST(Symmetry, EveryReadingCommandTakesAnAssembly) {
    const std::string path = scene_test::Temp("assembly.pdb");
    scene_test::Write(path, AssemblyText());
    const std::string other = scene_test::Temp("other.pdb");
    scene_test::Write(other, AssemblyText());
    const struct {
        std::string args;
        const char* says;
    } cases[] = {
        {"metals " + path + " --assembly 1", "CYS 20 B SG 2.30"},
        {"info " + path + " --assembly 1", "chains  2"},
        {"render " + path + " --assembly 1 -o " + scene_test::Temp("a.svg"), "wrote"},
        {"pick " + path + " --assembly 1 --at 600,470", ""},
        {"superpose " + path + " " + other + " --assembly 1", "RMSD"},
        {"archive " + path + " --assembly 1 -o " + scene_test::Temp("a.bin"), "byte-identical"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const scene_test::Outcome o = scene_test::RunScene(c.args);
        EXPECT_LE(o.exitCode, 1) << o.err;
        EXPECT_NE(o.out.find(c.says), std::string::npos) << o.out;
        const std::string command = c.args.substr(0, c.args.find(' '));
        const scene_test::Outcome help = scene_test::RunScene(command + " --help");
        EXPECT_NE(help.out.find("--assembly N"), std::string::npos) << help.out;
        std::string refused = c.args;
        refused.replace(refused.find("--assembly 1"), 12, "--assembly 7");
        scene_test::ExpectRefusal(scene_test::RunScene(refused));
    }
}

}  // namespace
