#include "Selection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "MoleculePath.h"
#include "SceneProgram.h"

using namespace TessaryScene;

namespace {

const Structure& Molecule(const std::string& name) {
    static std::map<std::string, Structure> read;
    auto found = read.find(name);
    if (found == read.end()) found = read.emplace(name, ReadStructure(MoleculePath(name))).first;
    return found->second;
}

std::size_t Count(const std::vector<char>& flags) { return static_cast<std::size_t>(std::count(flags.begin(), flags.end(), 1)); }

std::size_t Selected(const std::string& text, const Structure& s) { return Count(Select(ParseSelection(text), s)); }

using AtomTest = std::function<bool(const Atom&)>;

std::size_t CountWhere(const Structure& s, const AtomTest& test) {
    std::size_t n = 0;
    for (const Atom& a : s.atoms) n += test(a) ? 1 : 0;
    return n;
}

bool In(const std::string& value, const std::set<std::string>& names) { return names.count(value) > 0; }

const std::set<std::string> kAminoAcids = {"ALA", "ARG", "ASN", "ASP", "CYS", "GLN", "GLU", "GLY", "HIS", "ILE",
                                           "LEU", "LYS", "MET", "PHE", "PRO", "SER", "THR", "TRP", "TYR", "VAL"};
const std::set<std::string> kDeoxy = {"DA", "DC", "DG", "DT"};

bool Protein(const Atom& a) { return a.residueKind == ResidueKind::Polymer && In(a.residueName, kAminoAcids); }
bool Nucleic(const Atom& a) { return a.residueKind == ResidueKind::Polymer && In(a.residueName, kDeoxy); }
bool Backbone(const Atom& a) {
    return (Protein(a) && In(a.name, {"N", "CA", "C", "O"})) ||
           (Nucleic(a) && In(a.name, {"P", "OP1", "OP2", "O5'", "C5'", "C4'", "C3'", "O3'"}));
}

struct WordCase {
    const char* file;
    const char* text;
    AtomTest test;
    std::size_t atLeast;  // guards against a test that passes by counting nothing
};

TEST(Selection, EachWordCountsWhatAPlainLoopCounts) {
    const WordCase cases[] = {
        {"2hhb.ent", "chain A", [](const Atom& a) { return a.chain == "A"; }, 1000},
        {"2hhb.ent", "chain C", [](const Atom& a) { return a.chain == "C"; }, 1000},
        {"2hhb.ent", "resi 10-20", [](const Atom& a) { return a.residueNumber >= 10 && a.residueNumber <= 20; }, 300},
        {"2hhb.ent", "resi 5+7-8", [](const Atom& a) { return In(std::to_string(a.residueNumber), {"5", "7", "8"}); }, 50},
        {"2hhb.ent", "resn HEM", [](const Atom& a) { return a.residueName == "HEM"; }, 150},
        {"2hhb.ent", "name CA", [](const Atom& a) { return a.name == "CA"; }, 500},
        {"2hhb.ent", "elem Fe", [](const Atom& a) { return a.element == "Fe"; }, 4},
        {"2hhb.ent", "metal", [](const Atom& a) { return a.element == "Fe"; }, 4},
        {"2hhb.ent", "polymer", [](const Atom& a) { return a.residueKind == ResidueKind::Polymer; }, 4000},
        {"2hhb.ent", "ligand", [](const Atom& a) { return a.residueKind == ResidueKind::Ligand; }, 150},
        {"2hhb.ent", "water", [](const Atom& a) { return a.residueName == "HOH"; }, 200},
        {"2hhb.ent", "protein", Protein, 4000},
        {"2hhb.ent", "backbone", Backbone, 2000},
        {"2hhb.ent", "sidechain", [](const Atom& a) { return Protein(a) && !Backbone(a); }, 2000},
        {"2hhb.ent", "all", [](const Atom&) { return true; }, 4779},
        {"2hhb.ent", "none", [](const Atom&) { return false; }, 0},
        {"4at1.ent", "metal", [](const Atom& a) { return a.element == "Zn"; }, 1},
        {"4at1.ent", "resn ATP", [](const Atom& a) { return a.residueName == "ATP"; }, 20},
        {"4at1.ent", "protein", Protein, 6000},
        {"1ubq.pdb", "water", [](const Atom& a) { return a.residueKind == ResidueKind::Water; }, 50},
        {"1ubq.pdb", "resi 76", [](const Atom& a) { return a.residueNumber == 76; }, 5},
        {"pdb3mht.pdb", "nucleic", Nucleic, 400},
        {"pdb3mht.pdb", "backbone", Backbone, 1500},
        {"pdb3mht.pdb", "nucleic and backbone", [](const Atom& a) { return Nucleic(a) && Backbone(a); }, 150},
        {"pdb3mht.pdb", "name O5'", [](const Atom& a) { return a.name == "O5'"; }, 20},
        {"1d3z.pdb", "hydrogen", [](const Atom& a) { return a.element == "H" || a.element == "D"; }, 500},
        {"1d3z.pdb", "not hydrogen", [](const Atom& a) { return a.element != "H" && a.element != "D"; }, 500},
        {"1d3z.pdb", "sidechain and hydrogen",
         [](const Atom& a) { return Protein(a) && !Backbone(a) && (a.element == "H" || a.element == "D"); }, 300},
    };
    for (const WordCase& c : cases) {
        const Structure& s = Molecule(c.file);
        const std::size_t expected = CountWhere(s, c.test);
        EXPECT_EQ(Selected(c.text, s), expected) << c.file << ": " << c.text;
        EXPECT_GE(expected, c.atLeast) << c.file << ": " << c.text;
    }
}

TEST(Selection, NamesTakeWildcardsAndAlternativesAndMatchWhole) {
    const Structure& s = Molecule("2hhb.ent");
    const WordCase cases[] = {
        {"", "name C*", [](const Atom& a) { return a.name[0] == 'C'; }, 2000},
        {"", "name ?", [](const Atom& a) { return a.name.size() == 1; }, 1500},
        {"", "name C?", [](const Atom& a) { return a.name.size() == 2 && a.name[0] == 'C'; }, 500},
        {"", "name *1", [](const Atom& a) { return a.name.back() == '1'; }, 100},
        {"", "name C", [](const Atom& a) { return a.name == "C"; }, 500},
        {"", "resn ALA|GLY", [](const Atom& a) { return a.residueName == "ALA" || a.residueName == "GLY"; }, 200},
        {"", "resn H*|PO4", [](const Atom& a) { return a.residueName[0] == 'H' || a.residueName == "PO4"; }, 500},
        {"", "resn HE*|PO4", [](const Atom& a) { return a.residueName == "HEM" || a.residueName == "PO4"; }, 150},
        {"", "elem F", [](const Atom& a) { return a.element == "F"; }, 0},
        {"", "chain a", [](const Atom&) { return false; }, 0},  // chain names keep their case
        {"", "name N.", [](const Atom&) { return false; }, 0},  // a dot is a dot, not any character
    };
    for (const WordCase& c : cases) {
        const std::size_t expected = CountWhere(s, c.test);
        EXPECT_EQ(Selected(c.text, s), expected) << c.text;
        EXPECT_GE(expected, c.atLeast) << c.text;
    }
}

// A hand-made structure for what the files lack: insertion codes, negative
// numbers and old starred nucleotide names.
Structure Handmade() {
    Structure s;
    const std::tuple<const char*, const char*, int, char> atoms[] = {
        {"N", "GLY", -2, ' '},  {"CA", "GLY", -2, ' '}, {"N", "ALA", 52, ' '}, {"CA", "ALA", 52, ' '},
        {"N", "SER", 52, 'A'},  {"CA", "SER", 52, 'A'}, {"N", "THR", 52, 'B'}, {"N", "VAL", 53, ' '},
        {"P", "DA", 60, ' '},   {"O5*", "DA", 60, ' '}, {"C1*", "DA", 60, ' '}, {"O1P", "DA", 60, ' '},
        {"N9", "DA", 60, ' '},
    };
    float x = 0;
    for (const auto& [name, residue, number, code] : atoms) {
        Atom a;
        a.name = name;
        a.element = std::string(1, name[0]);
        a.residueName = residue;
        a.residueNumber = number;
        a.insertionCode = code;
        a.chain = "A";
        a.residueKind = ResidueKind::Polymer;
        a.position = Tessary::Point3d(x, 0, 0);
        x += 10;
        s.atoms.push_back(a);
    }
    return s;
}

TEST(Selection, ResidueNumbersTakeSignsInsertionCodesAndLists) {
    const Structure s = Handmade();
    const std::pair<const char*, std::size_t> cases[] = {
        {"resi -2", 2},       {"resi -5--1", 2},  {"resi 52", 5},     {"resi 52A", 2},   {"resi 52B", 1},
        {"resi 52A-52B", 3},  {"resi 52-52A", 4}, {"resi 51-53", 6},  {"resi -2+53", 3}, {"resi 52A+60", 7},
        {"resi 20-10", 0},    {"resi 0", 0},
    };
    for (const auto& [text, count] : cases) EXPECT_EQ(Selected(text, s), count) << text;
}

TEST(Selection, OldNucleotideNamesCount) {
    const Structure s = Handmade();
    EXPECT_EQ(Selected("nucleic", s), 5u);
    EXPECT_EQ(Selected("nucleic and backbone", s), 3u);  // P, O5*, O1P
    EXPECT_EQ(Selected("protein", s), 8u);
    EXPECT_EQ(Selected("backbone", s), 11u);
    EXPECT_EQ(Selected("sidechain", s), 0u);
}

TEST(Selection, NotBindsTighterThanAndTighterThanOr) {
    const Structure& s = Molecule("2hhb.ent");
    auto is = [](const char* chain) { return [chain](const Atom& a) { return a.chain == chain; }; };
    const AtomTest a = is("A"), b = is("B"), water = [](const Atom& x) { return x.residueKind == ResidueKind::Water; };
    const std::pair<const char*, AtomTest> cases[] = {
        {"chain A or chain B and water", [&](const Atom& x) { return a(x) || (b(x) && water(x)); }},
        {"(chain A or chain B) and water", [&](const Atom& x) { return (a(x) || b(x)) && water(x); }},
        {"not chain A and water", [&](const Atom& x) { return !a(x) && water(x); }},
        {"not (chain A and water)", [&](const Atom& x) { return !(a(x) && water(x)); }},
        {"water and not chain A or chain B", [&](const Atom& x) { return (water(x) && !a(x)) || b(x); }},
        {"not not chain A", a},
        {"NOT Chain A AND WATER", [&](const Atom& x) { return !a(x) && water(x); }},
        {"((chain A))or(chain B)", [&](const Atom& x) { return a(x) || b(x); }},
        {"byres name FE and water", [](const Atom&) { return false; }},
    };
    for (const auto& [text, test] : cases) {
        EXPECT_EQ(Selected(text, s), CountWhere(s, test)) << text;
    }
}

TEST(Selection, WithinAgreesWithEveryDistance) {
    const std::tuple<const char*, const char*, double> cases[] = {
        {"2hhb.ent", "resn HEM", 4.5}, {"2hhb.ent", "metal", 2.5}, {"4at1.ent", "resn ATP", 6.0},
        {"1ubq.pdb", "resi 1", 2.0},   {"1ubq.pdb", "name CA", 12.0},
    };
    for (const auto& [file, inner, distance] : cases) {
        const Structure& s = Molecule(file);
        const std::vector<char> centre = Select(ParseSelection(inner), s);
        std::vector<char> expected(s.atoms.size(), 0);
        for (std::size_t i = 0; i < s.atoms.size(); ++i)
            for (std::size_t j = 0; j < s.atoms.size() && !expected[i]; ++j)
                if (centre[j] && s.atoms[i].position.Distance(s.atoms[j].position) < distance) expected[i] = 1;
        const std::string text = "within " + std::to_string(distance) + " of " + inner;
        EXPECT_EQ(Select(ParseSelection(text), s), expected) << file << ": " << text;
        EXPECT_GT(Count(expected), Count(centre)) << text;
    }
    const Structure& s = Molecule("1ubq.pdb");
    EXPECT_EQ(Selected("within 1e6 of resi 1", s), s.atoms.size());  // beyond the whole extent
    EXPECT_EQ(Selected("within 5 of none", s), 0u);
}

TEST(Selection, ByresTakesWholeResidues) {
    const Structure& s = Molecule("2hhb.ent");
    using Key = std::tuple<std::string, int, char, std::string>;
    auto key = [](const Atom& a) { return Key(a.chain, a.residueNumber, a.insertionCode, a.residueName); };
    const std::pair<const char*, AtomTest> cases[] = {
        {"name CB", [](const Atom& a) { return a.name == "CB"; }},
        {"metal", [](const Atom& a) { return a.element == "Fe"; }},
        {"name OG and chain B", [](const Atom& a) { return a.name == "OG" && a.chain == "B"; }},
    };
    for (const auto& [inner, test] : cases) {
        std::set<Key> residues;
        for (const Atom& a : s.atoms)
            if (test(a)) residues.insert(key(a));
        const std::size_t expected = CountWhere(s, [&](const Atom& a) { return residues.count(key(a)) > 0; });
        EXPECT_EQ(Selected(std::string("byres (") + inner + ")", s), expected) << inner;
        EXPECT_GT(expected, CountWhere(s, test)) << inner;
    }
}

std::string Message(const std::string& text) {
    try {
        ParseSelection(text);
    } catch (const InputError& e) {
        return e.what();
    }
    return "(parsed)";
}

TEST(Selection, ErrorsNameWhatAndWhere) {
    const std::pair<std::string, std::string> cases[] = {
        {"chian A", "unknown word 'chian' at 1"},
        {"(chain A or (resn HEM)", "missing ')' at 23"},
        {"(chain A resn HEM)", "missing ')' at 10"},
        {"resi x", "bad number 'x' at 6"},
        {"resi 1-", "bad number '1-' at 6"},
        {"resi 1++2", "bad number '1++2' at 6"},
        {"resi 5AA", "bad number '5AA' at 6"},
        {"resi 99999999999", "bad number '99999999999' at 6"},
        {"", "empty selection"},
        {"   ", "empty selection"},
        {"chain", "'chain' needs a value at 6"},
        {"name (CA)", "'name' needs a value at 6"},
        {"resn ALA|", "bad name 'ALA|' at 6"},
        {"resn |ALA", "bad name '|ALA' at 6"},
        {"chain A and", "expected a selection at 12"},
        {"chain A or or water", "unknown word 'or' at 12"},
        {")", "unexpected ')' at 1"},
        {"chain A)", "unexpected ')' at 8"},
        {"chain A water", "unexpected 'water' at 9"},
        {"()", "unexpected ')' at 2"},
        {"within x of water", "bad distance 'x' at 8"},
        {"within -1 of water", "bad distance '-1' at 8"},
        {"within 0 of water", "bad distance '0' at 8"},
        {"within inf of water", "bad distance 'inf' at 8"},
        {"within 5 water", "expected 'of' at 10"},
        {"within 5", "expected 'of' at 9"},
        {"within", "'within' needs a distance at 7"},
        {"byres", "expected a selection at 6"},
        {"not", "expected a selection at 4"},
        // Words are quoted on one line, whatever their bytes: a NUL would end the message.
        {std::string("na\0me\tx", 7) + " A", "unknown word 'na?me' at 1"},
        {"chain A na\x7fme", "unexpected 'na?me' at 9"},
        {std::string(100, 'x'), "unknown word '" + std::string(40, 'x') + "...' at 1"},
        {std::string(39, 'x') + "\xc3\xa9", "unknown word '" + std::string(39, 'x') + "...' at 1"},
        {"resi 1" + std::string(60, '0'), "bad number '1" + std::string(39, '0') + "...' at 6"},
    };
    for (const auto& [text, message] : cases) EXPECT_EQ(Message(text), message) << "'" << text << "'";
}

std::string Repeat(const std::string& part, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += part;
    return text;
}

TEST(Selection, DeepAndLongExpressionsStayWithinBounds) {
    const Structure& s = Molecule("1ubq.pdb");
    const std::size_t all = s.atoms.size();
    const int deep = kMaxSelectionDepth + 1;
    // Refused before the stack could grow with them.
    EXPECT_EQ(Message(Repeat("(", deep) + "all" + Repeat(")", deep)), "nesting deeper than 256 at 257");
    EXPECT_EQ(Message(Repeat("not ", 100000) + "all"), "nesting deeper than 256 at 1025");
    EXPECT_EQ(Message(Repeat("byres ", deep) + "all"), "nesting deeper than 256 at 1537");
    EXPECT_EQ(Message(Repeat("(", 100000)), "nesting deeper than 256 at 257");
    // Up to the cap they work.
    const int allowed = kMaxSelectionDepth - 1;  // the innermost word is a level too
    EXPECT_EQ(Selected(Repeat("(", allowed) + "all" + Repeat(")", allowed), s), all);
    EXPECT_EQ(Selected(Repeat("not ", allowed - 1) + "all", s), all);  // 254 nots
    EXPECT_EQ(Selected(Repeat("not ", allowed - 2) + "all", s), 0u);
    // Long flat chains nest no deeper.
    EXPECT_EQ(Selected("none" + Repeat(" or chain A", 20000), s), all);
    EXPECT_EQ(Selected("all" + Repeat(" and not water", 20000), s), CountWhere(s, [](const Atom& a) {
                  return a.residueKind != ResidueKind::Water;
              }));
    EXPECT_EQ(Selected("resi " + Repeat("1+", 5000) + "2", s), CountWhere(s, [](const Atom& a) {
                  return a.residueNumber == 1 || a.residueNumber == 2;
              }));
    // Odd characters are words like any other.
    for (const char* text : {"\x01", "name \xff", "resn \"", "chain \\", "((((", "))))", "name *", "name |"}) {
        try {
            Select(ParseSelection(text), s);
        } catch (const InputError&) {
        }
    }
    EXPECT_EQ(Selected("name *", s), all);
}

TEST(Selection, EmptyStructuresSelectNothing) {
    const Structure empty;
    for (const char* text : {"all", "protein", "within 5 of all", "byres all", "backbone"})
        EXPECT_TRUE(Select(ParseSelection(text), empty).empty()) << text;
}

// ---- the commands ---------------------------------------------------------------

using scene_test::ExpectRefusal;
using scene_test::RunScene;

TEST(SelectionCli, InfoCountsTheSelection) {
    const Structure& s = Molecule("2hhb.ent");
    const std::size_t expected = CountWhere(s, [](const Atom& a) { return a.chain == "B" && a.name == "CA"; });
    const auto o = RunScene("info " + MoleculePath("2hhb.ent") + " --select 'chain B and name CA'");
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("select  chain B and name CA: atoms " + std::to_string(expected) + "\n"), std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find("atoms   " + std::to_string(s.atoms.size()) + "\n"), std::string::npos) << o.out;
}

TEST(SelectionCli, MetalsListOnlySelectedSites) {
    const std::string path = MoleculePath("2hhb.ent");
    const auto all = RunScene("metals " + path);
    const auto chainB = RunScene("metals " + path + " --select 'chain B'");
    ASSERT_EQ(chainB.exitCode, 0) << chainB.err;
    auto rows = [](const std::string& text, const std::string& marker) {
        int n = 0;
        for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(rows(all.out, "\nFe "), 4);
    EXPECT_EQ(rows(chainB.out, "\nFe "), 1);
    EXPECT_NE(chainB.out.find("HEM 1 B"), std::string::npos) << chainB.out;
    EXPECT_EQ(chainB.out.find("HEM 1 A"), std::string::npos) << chainB.out;
}

TEST(SelectionCli, SuperposeFitsOnlySelectedCAlphas) {
    const std::string path = MoleculePath("2hhb.ent");
    const Structure& s = Molecule("2hhb.ent");
    const std::size_t expected = CountWhere(s, [](const Atom& a) {
        return a.name == "CA" && a.element == "C" && a.chain == "A" && a.residueNumber <= 40;
    });
    const auto o = RunScene("superpose " + path + " " + path + " --select 'chain A and resi 1-40'");
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("matched: " + std::to_string(expected) + " C-alpha"), std::string::npos) << o.out;
    ExpectRefusal(RunScene("superpose " + path + " " + path + " --select 'resn HEM'"));  // no C-alpha atoms
}

TEST(SelectionCli, SuperposeSelectsAtomsOfFrames) {
    const std::string path = MoleculePath("b12h12.xyz");
    const Structure& s = Molecule("b12h12.xyz");
    const auto o = RunScene("superpose " + path + " " + path + " --select 'elem B'");
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("matched: " + std::to_string(CountWhere(s, [](const Atom& a) { return a.element == "B"; })) +
                         " atoms"),
              std::string::npos)
        << o.out;
}

TEST(SelectionCli, FaultyExpressionsAndOtherCommandsAreRefused) {
    const std::string path = MoleculePath("1ubq.pdb");
    for (const std::string& args : {"info " + path + " --select 'chian A'", "metals " + path + " --select '(water'",
                                    "superpose " + path + " " + path + " --select ''",
                                    "info " + path + " --select water --select water",
                                    "render " + path + " -o x.png --select water", "info " + path + " --select"}) {
        const auto o = RunScene(args);
        ExpectRefusal(o);
    }
    const auto o = RunScene("info " + path + " --select 'chian A'");
    EXPECT_EQ(o.err, "tessary-scene: unknown word 'chian' at 1\n");
    for (const char* command : {"info", "metals", "superpose"})
        EXPECT_NE(RunScene(std::string(command) + " --help").out.find("--select SEL"), std::string::npos) << command;
}

}  // namespace
