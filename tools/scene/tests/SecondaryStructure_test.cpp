// Secondary structure: the file's records, the hydrogen-bond assignment
// against them, built geometries, broken input, and the command line.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "MoleculePath.h"
#include "Scene.h"
#include "SceneProgram.h"
#include "SecondaryStructure.h"
#include "Structure.h"

using namespace TessaryScene;
using Tessary::Point3d;

namespace {

// Lines of `text` starting with `record` (a PDB record name or an mmCIF row prefix).
int CountLines(const std::string& text, const std::string& record) {
    std::istringstream in(text);
    int count = 0;
    for (std::string line; std::getline(in, line);) count += line.rfind(record, 0) == 0;
    return count;
}

// Residues with N, CA and C: those both assignments judge.
std::vector<int> ProteinResidues(const Structure& s, const SecondaryStructure& ss) {
    std::vector<int> protein;
    for (std::size_t r = 0; r < ss.residues.size(); ++r) {
        std::set<std::string> names;
        const auto& res = ss.residues[r];
        for (int i = res.firstAtom; i < res.firstAtom + res.atomCount; ++i) names.insert(s.atoms[static_cast<std::size_t>(i)].name);
        if (s.atoms[static_cast<std::size_t>(res.firstAtom)].residueKind == ResidueKind::Polymer && names.count("N") &&
            names.count("CA") && names.count("C"))
            protein.push_back(static_cast<int>(r));
    }
    return protein;
}

// Share of protein residues whose class (helix, strand, other) is the same in both.
double Agreement(const Structure& s) {
    const SecondaryStructure file = AssignSecondaryStructure(s, SecondarySource::FromFile);
    const SecondaryStructure computed = AssignSecondaryStructure(s, SecondarySource::Computed);
    const std::vector<int> protein = ProteinResidues(s, file);
    int same = 0;
    for (int r : protein)
        same += ClassOf(file.residues[static_cast<std::size_t>(r)].code) ==
                ClassOf(computed.residues[static_cast<std::size_t>(r)].code);
    return protein.empty() ? 0.0 : static_cast<double>(same) / static_cast<double>(protein.size());
}

Atom BackboneAtom(const std::string& name, int number, const Point3d& p) {
    Atom a;
    a.name = name;
    a.element = name.substr(0, 1);
    a.residueName = "ALA";
    a.residueNumber = number;
    a.chain = "A";
    a.residueKind = ResidueKind::Polymer;
    a.position = p;
    return a;
}

// The point d from c with angle b-c-d `angle` and dihedral a-b-c-d `torsion` (degrees).
Point3d Place(const Point3d& a, const Point3d& b, const Point3d& c, double d, double angle, double torsion) {
    const double kDeg = M_PI / 180.0;
    Point3d bc = c - b;
    bc.Normalize();
    Point3d n = (b - a).Cross(bc);
    n.Normalize();
    const Point3d m = n.Cross(bc);
    const double x = -d * std::cos(angle * kDeg), y = d * std::sin(angle * kDeg) * std::cos(torsion * kDeg),
                 z = d * std::sin(angle * kDeg) * std::sin(torsion * kDeg);
    return c + bc * static_cast<float>(x) + m * static_cast<float>(y) + n * static_cast<float>(z);
}

// A backbone of `count` alanines with the same phi and psi throughout,
// trans peptides, standard bond lengths and angles.
Structure Backbone(int count, double phi, double psi) {
    Structure s;
    Point3d n(0, 0, 0), ca(1.458f, 0, 0), c = Place(Point3d(0, 1, 0), n, ca, 1.525, 111.2, -60.0);
    for (int r = 1; r <= count; ++r) {
        const Point3d nextN = Place(n, ca, c, 1.329, 116.2, psi);
        const Point3d o = Place(n, ca, c, 1.231, 120.5, psi + 180.0);
        for (const auto& [name, p] : {std::pair<std::string, Point3d>{"N", n}, {"CA", ca}, {"C", c}, {"O", o}})
            s.atoms.push_back(BackboneAtom(name, r, p));
        const Point3d nextCA = Place(ca, c, nextN, 1.458, 121.7, 180.0);
        const Point3d nextC = Place(c, nextN, nextCA, 1.525, 111.2, phi);
        n = nextN, ca = nextCA, c = nextC;
    }
    s.chains.push_back({"A", 0, static_cast<int>(s.atoms.size())});
    return s;
}

std::string Codes(const SecondaryStructure& ss) {
    std::string codes;
    for (const auto& r : ss.residues) codes += r.code;
    return codes;
}

}  // namespace

// The file's records, counted from the text, are the segments read.
TEST(SecondaryStructureTest, FileRecordsCountAsInTheText) {
    for (const char* name : {"1ubq.pdb", "2hhb.ent", "4at1.ent", "4JSV.pdb", "pdb3mht.pdb", "pdb1ejg.pdb", "1d3z.pdb"}) {
        SCOPED_TRACE(name);
        const std::string text = scene_test::Slurp(MoleculePath(name));
        const Structure s = ReadStructure(MoleculePath(name));
        const SecondaryStructure ss = AssignSecondaryStructure(s, SecondarySource::FromFile);
        EXPECT_FALSE(ss.computed);
        EXPECT_EQ(ss.helices, CountLines(text, "HELIX "));
        EXPECT_EQ(ss.strands, CountLines(text, "SHEET "));
        // Every atom's code is its residue's, and records mark residues.
        int marked = 0;
        for (const auto& r : ss.residues)
            for (int i = r.firstAtom; i < r.firstAtom + r.atomCount; ++i) {
                ASSERT_EQ(ss.atomCodes[static_cast<std::size_t>(i)], r.code);
                marked += r.code != ' ';
            }
        EXPECT_GT(marked, 0);
    }
}

// 1ubq's records by residue: the 3-10 helix of class 5 is G, the alpha one H,
// strands E, and the residues just outside them coil.
TEST(SecondaryStructureTest, FileRecordsMarkTheirResidues) {
    const Structure s = ReadStructure(MoleculePath("1ubq.pdb"));
    const SecondaryStructure ss = AssignSecondaryStructure(s, SecondarySource::FromFile);
    std::map<int, char> byNumber;
    for (const auto& r : ss.residues) {
        const Atom& a = s.atoms[static_cast<std::size_t>(r.firstAtom)];
        if (a.residueKind == ResidueKind::Polymer) byNumber[a.residueNumber] = r.code;
    }
    const std::vector<std::pair<int, char>> expected = {
        {22, ' '}, {23, 'H'}, {34, 'H'}, {35, ' '}, {56, 'G'}, {59, 'G'}, {60, ' '},
        {1, 'E'}, {7, 'E'}, {8, ' '}, {10, 'E'}, {17, 'E'}, {47, ' '}, {48, 'E'}, {72, 'E'}, {73, ' '}};
    for (const auto& [number, code] : expected) EXPECT_EQ(byNumber.at(number), code) << "residue " << number;
}

// mmCIF keeps its helices and strands in struct_conf and struct_sheet_range:
// 1ubq written as mmCIF with its records gives the same counts and codes.
TEST(SecondaryStructureTest, MmcifRecords) {
    const Structure pdb = ReadStructure(MoleculePath("1ubq.pdb"));
    std::ostringstream cif;
    cif << "data_1UBQ\n_entry.id 1UBQ\n"
           "loop_\n_struct_conf.conf_type_id\n_struct_conf.id\n_struct_conf.beg_label_comp_id\n"
           "_struct_conf.beg_auth_asym_id\n_struct_conf.beg_auth_seq_id\n_struct_conf.end_label_comp_id\n"
           "_struct_conf.end_auth_asym_id\n_struct_conf.end_auth_seq_id\n_struct_conf.pdbx_PDB_helix_class\n"
           "HELX_P HELX_P1 ILE A 23 GLU A 34 1\nHELX_P HELX_P2 LEU A 56 TYR A 59 5\n"
           "loop_\n_struct_sheet_range.sheet_id\n_struct_sheet_range.id\n_struct_sheet_range.beg_label_comp_id\n"
           "_struct_sheet_range.beg_auth_asym_id\n_struct_sheet_range.beg_auth_seq_id\n"
           "_struct_sheet_range.end_label_comp_id\n_struct_sheet_range.end_auth_asym_id\n"
           "_struct_sheet_range.end_auth_seq_id\n"
           "A 1 GLY A 10 VAL A 17\nA 2 MET A 1 THR A 7\nA 3 GLU A 64 ARG A 72\n";
    cif << "loop_\n_atom_site.group_PDB\n_atom_site.id\n_atom_site.type_symbol\n_atom_site.label_atom_id\n"
           "_atom_site.label_alt_id\n_atom_site.label_comp_id\n_atom_site.label_asym_id\n_atom_site.label_seq_id\n"
           "_atom_site.Cartn_x\n_atom_site.Cartn_y\n_atom_site.Cartn_z\n_atom_site.occupancy\n_atom_site.B_iso_or_equiv\n"
           "_atom_site.auth_seq_id\n_atom_site.auth_asym_id\n"
           "_atom_site.pdbx_PDB_model_num\n";
    int serial = 0;
    for (const Atom& a : pdb.atoms)
        if (a.residueKind == ResidueKind::Polymer)
            cif << "ATOM " << ++serial << " " << a.element << " " << a.name << " . " << a.residueName << " A "
                << a.residueNumber << " " << a.position.x << " " << a.position.y << " " << a.position.z << " 1 "
                << a.bFactor << " " << a.residueNumber << " A 1\n";
    const std::string path = scene_test::Temp("1ubq.cif");
    scene_test::Write(path, cif.str());
    const Structure s = ReadStructure(path);
    const SecondaryStructure ss = AssignSecondaryStructure(s, SecondarySource::FromFile);
    EXPECT_FALSE(ss.computed);
    EXPECT_EQ(ss.helices, CountLines(cif.str(), "HELX_P "));
    EXPECT_EQ(ss.strands, 3);
    const SecondaryStructure fromPdb = AssignSecondaryStructure(pdb, SecondarySource::FromFile);
    std::string cifCodes, pdbCodes;
    for (const auto& r : ss.residues) cifCodes += r.code;
    for (const auto& r : fromPdb.residues)
        if (pdb.atoms[static_cast<std::size_t>(r.firstAtom)].residueKind == ResidueKind::Polymer) {
            const int number = pdb.atoms[static_cast<std::size_t>(r.firstAtom)].residueNumber;
            // The two strands left out of the mmCIF are coil there.
            pdbCodes += (number >= 40 && number <= 50) ? (r.code == 'E' ? ' ' : r.code) : r.code;
        }
    EXPECT_EQ(cifCodes, pdbCodes);
}

// The hydrogen-bond assignment agrees with the depositors' records on most
// residues (helix, strand or neither), for crystal and NMR structures.
TEST(SecondaryStructureTest, ComputedAgreesWithTheFile) {
    const std::vector<std::pair<std::string, int>> files = {
        {"1ubq.pdb", 1}, {"2hhb.ent", 1}, {"4JSV.pdb", 1}, {"pdb3mht.pdb", 1}, {"4at1.ent", 1}, {"1d3z.pdb", 1}, {"1d3z.pdb", 10}};
    int lone = 0;
    for (const auto& [name, model] : files) {
        const Structure s = ReadStructure(MoleculePath(name), model);
        const double agreement = Agreement(s);
        std::printf("%s model %d: %.1f%% of residues agree\n", name.c_str(), model, 100.0 * agreement);
        EXPECT_GE(agreement, 0.8) << name << " model " << model;
        const SecondaryStructure computed = AssignSecondaryStructure(s, SecondarySource::Computed);
        EXPECT_TRUE(computed.computed);
        EXPECT_GT(computed.helices + computed.strands, 0) << name;
        // A strand is a ladder of two bridges or more: never one residue
        // alone; a bridge alone is B.
        const std::string codes = " " + Codes(computed) + " ";
        EXPECT_EQ(codes.find(" E "), std::string::npos) << name;
        for (char other : std::string("HGIBT")) {
            EXPECT_EQ(codes.find(std::string(1, other) + "E" + other), std::string::npos) << name;
        }
        lone += static_cast<int>(std::count(codes.begin(), codes.end(), 'B'));
    }
    EXPECT_GT(lone, 0);
}

// An ideal alpha helix is H from its second residue to its last but one; a
// backbone with the helix's phi and psi at alternate residues is none.
TEST(SecondaryStructureTest, IdealAlphaHelix) {
    const Structure helix = Backbone(20, -57.0, -47.0);
    const SecondaryStructure ss = AssignSecondaryStructure(helix, SecondarySource::FromFile);
    EXPECT_TRUE(ss.computed);  // no records: computed
    EXPECT_EQ(Codes(ss).substr(1, 18), std::string(18, 'H')) << Codes(ss);
    EXPECT_EQ(ss.helices, 1);
    EXPECT_EQ(ss.strands, 0);
    // An extended chain has no hydrogen bonds within itself.
    const SecondaryStructure extended = AssignSecondaryStructure(Backbone(20, -120.0, 130.0), SecondarySource::Computed);
    EXPECT_EQ(Codes(extended), std::string(20, ' '));
}

// Breaks end helices: moving half the helix away, dropping a residue's N or
// CA, or every O (no acceptors) or every N-H (prolines) never crashes and
// splits or ends the helix.
TEST(SecondaryStructureTest, BreaksAndMissingAtoms) {
    struct Case {
        const char* what;
        std::function<void(Structure&)> damage;
        int helices;
        int coilResidue;  // residue index (from 0) that must not be helix, -1 for none
    };
    auto dropAtom = [](int number, const std::string& name) {
        return [=](Structure& s) {
            std::vector<Atom> kept;
            for (const Atom& a : s.atoms)
                if (a.residueNumber != number || a.name != name) kept.push_back(a);
            s.atoms = kept;
            s.chains = {{"A", 0, static_cast<int>(kept.size())}};
        };
    };
    const std::vector<Case> cases = {
        // C to N 2.7 A: too long for a peptide bond, close enough for the
        // hydrogen bonds across to hold.
        {"half shifted 1.4 A along the peptide bond", [](Structure& s) {
             Point3d bond = s.atoms[4 * 12].position - s.atoms[4 * 11 + 2].position;  // C 12 to N 13
             bond.ChangeLength(1.4);
             for (Atom& a : s.atoms)
                 if (a.residueNumber > 12) a.position += bond;
         }, 2, 12},
        {"half moved 20 A away", [](Structure& s) {
             for (Atom& a : s.atoms)
                 if (a.residueNumber > 12) a.position += Point3d(20, 0, 0);
         }, 2, 12},
        {"no N at residue 13", dropAtom(13, "N"), 2, 12},
        {"no CA at residue 13", dropAtom(13, "CA"), 2, 12},
        {"no O anywhere", [](Structure& s) {
             std::vector<Atom> kept;
             for (const Atom& a : s.atoms)
                 if (a.name != "O") kept.push_back(a);
             s.atoms = kept;
             s.chains = {{"A", 0, static_cast<int>(kept.size())}};
         }, 0, -1},
        {"every residue a proline (no N-H to donate)", [](Structure& s) {
             for (Atom& a : s.atoms) a.residueName = "PRO";
         }, 0, -1},
        {"one residue", [](Structure& s) {
             s.atoms.resize(4);
             s.chains = {{"A", 0, 4}};
         }, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Structure s = Backbone(24, -57.0, -47.0);
        c.damage(s);
        const SecondaryStructure ss = AssignSecondaryStructure(s, SecondarySource::Computed);
        EXPECT_EQ(ss.helices, c.helices) << Codes(ss);
        EXPECT_EQ(ss.strands, 0);
        if (c.coilResidue >= 0) {
            EXPECT_NE(ClassOf(ss.residues[static_cast<std::size_t>(c.coilResidue)].code), SecondaryClass::Helix) << Codes(ss);
        }
        EXPECT_EQ(ss.atomCodes.size(), s.atoms.size());
    }
}

// Ubiquitin's first seventeen residues, a two-strand antiparallel hairpin,
// cut out of the file: the computed strands lie within the recorded ones.
TEST(SecondaryStructureTest, HairpinFragment) {
    Structure s = ReadStructure(MoleculePath("1ubq.pdb"));
    std::vector<Atom> fragment;
    for (const Atom& a : s.atoms)
        if (a.residueKind == ResidueKind::Polymer && a.residueNumber <= 17) fragment.push_back(a);
    s.atoms = fragment;
    s.chains = {{"A", 0, static_cast<int>(fragment.size())}};
    s.secondaryRanges.clear();
    const SecondaryStructure ss = AssignSecondaryStructure(s, SecondarySource::FromFile);
    EXPECT_TRUE(ss.computed);
    EXPECT_EQ(ss.strands, 2) << Codes(ss);
    EXPECT_EQ(ss.helices, 0) << Codes(ss);
    int strandResidues = 0;
    for (const auto& r : ss.residues) {
        const int number = s.atoms[static_cast<std::size_t>(r.firstAtom)].residueNumber;
        if (r.code == 'E') {
            ++strandResidues;
            EXPECT_TRUE((number >= 1 && number <= 7) || (number >= 10 && number <= 17)) << number;
        }
    }
    EXPECT_GE(strandResidues, 8) << Codes(ss);
}

// Without protein there is no secondary structure, from either source.
TEST(SecondaryStructureTest, NoProtein) {
    for (const char* name : {"pdb1zff.ent", "benzene1.xyz"}) {
        const Structure s = ReadStructure(MoleculePath(name));
        for (SecondarySource source : {SecondarySource::FromFile, SecondarySource::Computed}) {
            const SecondaryStructure ss = AssignSecondaryStructure(s, source);
            EXPECT_EQ(ss.helices, 0) << name;
            EXPECT_EQ(ss.strands, 0) << name;
            EXPECT_EQ(std::string(ss.atomCodes.begin(), ss.atomCodes.end()), std::string(s.atoms.size(), ' ')) << name;
        }
    }
}

// Atoms too close for the energy's terms give its floor, not infinity.
TEST(SecondaryStructureTest, EnergyFloor) {
    const Point3d p(1, 2, 3);
    EXPECT_EQ(HydrogenBondEnergy(p, p, p, p), -9.9);
    EXPECT_EQ(HydrogenBondEnergy(Point3d(0, 0, 0), Point3d(0, 0, 1.2f), Point3d(0, 0, 1.5f), Point3d(0, 0, 1.4f)), -9.9);
}

// Colouring by secondary structure: each atom takes its residue's class colour,
// and the three colours differ.
TEST(SecondaryStructureTest, SceneColours) {
    const Structure s = ReadStructure(MoleculePath("1ubq.pdb"));
    SceneOptions options;
    options.coloring = Coloring::SecondaryStructure;
    const Scene scene = BuildScene(s, options);
    const SecondaryStructure ss = AssignSecondaryStructure(s, SecondarySource::FromFile);
    std::map<unsigned, Tessary::Color> byID;
    for (int part = 0; part < scene.root.GetNumDisplayLists(); ++part) {
        const auto& list = scene.root.GetDisplayList(part);
        for (int i = 0; i < list.GetNumOpaqueSpheres(); ++i) byID[list.GetOpaqueSphere(i).GetID()] = list.GetOpaqueSphere(i).GetColor();
    }
    std::set<unsigned> colours;
    for (std::size_t i = 0; i < s.atoms.size(); ++i) {
        const auto found = byID.find(scene.AtomID(static_cast<int>(i)));
        ASSERT_NE(found, byID.end());
        EXPECT_EQ(found->second.GetRGB(), SecondaryColor(ss.atomCodes[i]).GetRGB()) << i;
        colours.insert(found->second.GetRGB());
    }
    EXPECT_EQ(colours.size(), 3u);
    EXPECT_NE(SecondaryColor('H').GetRGB(), SecondaryColor('E').GetRGB());
    EXPECT_NE(SecondaryColor('E').GetRGB(), SecondaryColor(' ').GetRGB());
    EXPECT_NE(SecondaryColor('H').GetRGB(), SecondaryColor(' ').GetRGB());
}

// `info` names the counts and their source; --ss compute overrides the file;
// bad values are refused.
TEST(SecondaryStructureTest, CommandLine) {
    const std::string ubq = MoleculePath("1ubq.pdb");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"info " + ubq, "secondary structure: 2 helices, 5 strands (from the file)\n"},
        {"info " + ubq + " --ss file", "secondary structure: 2 helices, 5 strands (from the file)\n"},
        {"info " + MoleculePath("pdb1zff.ent"), "secondary structure: 0 helices, 0 strands (computed)\n"},
    };
    for (const auto& [args, line] : cases) {
        const scene_test::Outcome o = scene_test::RunScene(args);
        EXPECT_EQ(o.exitCode, 0) << args << o.err;
        EXPECT_NE(o.out.find(line), std::string::npos) << args << "\n" << o.out;
    }
    const Structure s = ReadStructure(ubq);
    const scene_test::Outcome computed = scene_test::RunScene("info " + ubq + " --ss compute");
    EXPECT_NE(computed.out.find("secondary structure: " +
                                DescribeSecondaryStructure(AssignSecondaryStructure(s, SecondarySource::Computed)) + "\n"),
              std::string::npos)
        << computed.out;
    EXPECT_NE(computed.out.find("(computed)"), std::string::npos);

    const std::string png = scene_test::Temp("ss.png");
    const scene_test::Outcome render = scene_test::RunScene("render " + ubq + " --color ss -o " + png);
    EXPECT_EQ(render.exitCode, 0) << render.err;
    EXPECT_TRUE(scene_test::Exists(png));
    scene_test::ExpectRefusal(scene_test::RunScene("render " + ubq + " --ss guess -o " + png));
    scene_test::ExpectRefusal(scene_test::RunScene("render " + ubq + " --color helix -o " + png));
}
