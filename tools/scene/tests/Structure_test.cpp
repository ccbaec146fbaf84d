#include "Structure.h"

#include "Scene.h"
#include "MoleculePath.h"
#include "Gzip.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

namespace TessaryScene {
namespace {

// Named after the running test and process: ctest runs the cases as parallel
// processes, and several builds may share the temporary directory.
std::string TempFile(const std::string& name) {
    return ::testing::TempDir() + "scene_structure_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + std::to_string(getpid()) + "_" + name;
}

Structure ReadText(const std::string& text, const std::string& extension = ".pdb") {
    const std::string path = TempFile("input" + extension);
    std::ofstream(path, std::ios::binary) << text;
    Structure s = ReadStructure(path);
    std::remove(path.c_str());
    return s;
}

// The message of the InputError that reading `text` throws, or "" when it reads.
std::string ReadError(const std::string& text, const std::string& extension) {
    try {
        ReadText(text, extension);
    } catch (const InputError& e) {
        return e.what();
    }
    return "";
}

std::string Summary(const Structure& s) {
    std::string text;
    for (const Atom& a : s.atoms) text += a.residueName + " " + std::to_string(a.residueNumber) + " " + a.element + ";";
    return text;
}

// A PDB coordinate line; `name` in columns 13-16 and `altloc` in column 17.
std::string AtomLine(const char* record, int serial, const char* name, char altloc, const char* residue, char chain,
                     int number, double x, double y, double z, const char* element) {
    char line[96];
    std::snprintf(line, sizeof line, "%-6s%5d %-4s%c%3s %c%4d    %8.3f%8.3f%8.3f  1.00 10.00          %2s\n", record,
                  serial % 100000, name, altloc, residue, chain, number, x, y, z, element);
    return line;
}

// Old files with line numbers where the element and charge now stand, ligands
// numbered like protein residues, and alternative conformations: only atoms
// with alternative-location marks are ever left out, and they are counted.
TEST(Structure, ReadsOldAndAlternativeRecords) {
    struct Case {
        const char* what;
        std::string text;
        const char* atoms;
        int leftOut;
    };
    const Case cases[] = {
        {"old format, haem numbered like the first residue",
         "ATOM      1  N   VAL A   1       6.130  16.559   4.905  7.00 41.29      2HHB 206\n"
         "HETATM 1071 FE   HEM A   1       8.136   7.395 -15.038 24.00 18.06      2HHB1276\n",
         "VAL 1 N;HEM 1 Fe;", 0},
        {"element and charge columns",
         "HETATM    1 ZN    ZN A 201      26.266  25.413   2.842  1.00 10.38          ZN2+\n", "ZN 201 Zn;", 0},
        {"point mutation keeps its first residue",
         "ATOM      2  CA ASER A  10      26.266  25.413   2.842  0.50 10.38           C  \n"
         "ATOM      3  CA BTHR A  10      26.366  25.413   2.842  0.50 10.38           C  \n"
         "ATOM      4  CA  GLY A  11      29.266  25.413   2.842  1.00 10.38           C  \n",
         "SER 10 C;GLY 11 C;", 1},
        {"alternative atoms within a residue keep their first mark, unmarked atoms stay",
         AtomLine("ATOM", 1, " N", ' ', "SER", 'A', 5, 0, 0, 0, "N") +
             AtomLine("ATOM", 2, " CA", 'B', "SER", 'A', 5, 1, 0, 0, "C") +
             AtomLine("ATOM", 3, " CA", 'A', "SER", 'A', 5, 1.1, 0, 0, "C") +
             AtomLine("ATOM", 4, " OG", 'A', "SER", 'A', 5, 2, 0, 0, "O") +
             AtomLine("ATOM", 5, " OG", 'B', "SER", 'A', 5, 2.1, 0, 0, "O"),
         "SER 5 N;SER 5 C;SER 5 O;", 2},
        {"a marked ligand numbered like an unmarked residue keeps its first conformation",
         AtomLine("ATOM", 1, " N", ' ', "VAL", 'A', 1, 0, 0, 0, "N") +
             AtomLine("HETATM", 2, "FE", 'A', "HEM", 'A', 1, 5, 0, 0, "FE") +
             AtomLine("HETATM", 3, "FE", 'B', "HEM", 'A', 1, 5.2, 0, 0, "FE"),
         "VAL 1 N;HEM 1 Fe;", 1},
        {"names repeated without marks are separate atoms (numbers wrapped in a water box)",
         AtomLine("ATOM", 1, " OH2", ' ', "TIP", 'W', 1, 0, 0, 0, "O") +
             AtomLine("ATOM", 2, " H1", ' ', "TIP", 'W', 1, 0.8, 0, 0, "H") +
             AtomLine("ATOM", 3, " OH2", ' ', "TIP", 'W', 2, 3, 0, 0, "O") +
             AtomLine("ATOM", 4, " OH2", ' ', "TIP", 'W', 1, 6, 0, 0, "O") +
             AtomLine("ATOM", 5, " H1", ' ', "TIP", 'W', 1, 6.8, 0, 0, "H"),
         "TIP 1 O;TIP 1 H;TIP 1 O;TIP 1 H;TIP 2 O;", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Structure s = ReadText(c.text);
        EXPECT_EQ(Summary(s), c.atoms);
        EXPECT_EQ(s.alternativesLeftOut, c.leftOut);
    }
}

// A simulation box writes residue numbers modulo 10000 within one chain.
TEST(Structure, WaterBoxWrappingPast9999KeepsEveryAtom) {
    const int waters = 10010;
    std::string text = "TITLE     WATER BOX\n";
    for (int i = 0; i < waters; ++i) {
        const double x = 3.1 * (i % 25), y = 3.1 * (i / 25 % 25), z = 3.1 * (i / 625);
        const int number = (i + 1) % 10000;
        text += AtomLine("ATOM", 3 * i + 1, " OH2", ' ', "TIP", 'W', number, x, y, z, "O");
        text += AtomLine("ATOM", 3 * i + 2, " H1", ' ', "TIP", 'W', number, x + 0.76, y + 0.59, z, "H");
        text += AtomLine("ATOM", 3 * i + 3, " H2", ' ', "TIP", 'W', number, x - 0.76, y + 0.59, z, "H");
    }
    const Structure s = ReadText(text);
    ASSERT_EQ(s.atoms.size(), static_cast<std::size_t>(3 * waters));
    EXPECT_EQ(s.alternativesLeftOut, 0);
    // The last water (number 10 after the wrap) is read where it stands.
    const double x = 3.1 * ((waters - 1) % 25), y = 3.1 * ((waters - 1) / 25 % 25), z = 3.1 * ((waters - 1) / 625);
    int found = 0;
    for (const Atom& a : s.atoms)
        if (a.name == "OH2" && a.residueNumber == waters % 10000 && std::abs(a.position.x - x) < 1e-3 &&
            std::abs(a.position.y - y) < 1e-3 && std::abs(a.position.z - z) < 1e-3)
            ++found;
    EXPECT_EQ(found, 1);
}

// One rule for every reader: a number of an atom that is not finite is
// refused, naming the atom (PDB, mmCIF) or the line (XYZ).
TEST(Structure, NonFiniteNumbersAreRefusedByEveryReader) {
    const std::string cifHead =
        "data_x\nloop_\n_atom_site.group_PDB\n_atom_site.id\n_atom_site.type_symbol\n_atom_site.label_atom_id\n"
        "_atom_site.label_alt_id\n_atom_site.label_comp_id\n_atom_site.label_asym_id\n_atom_site.label_seq_id\n"
        "_atom_site.Cartn_x\n_atom_site.Cartn_y\n_atom_site.Cartn_z\n_atom_site.occupancy\n"
        "_atom_site.B_iso_or_equiv\n_atom_site.auth_seq_id\n_atom_site.pdbx_PDB_model_num\n"
        "ATOM 1 S SG . CYS A 1 1.0 2.0 3.0 1 10 1 1\n";
    const std::string zincLine = "HETATM    2 ZN    ZN A 201      26.266  25.413   2.842  1.00 10.38          ZN  \n";
    const std::string sulphur = AtomLine("ATOM", 1, " SG", ' ', "CYS", 'A', 1, 24, 25, 2.8, "S");
    struct Case {
        const char* extension;
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {".pdb", sulphur + "HETATM    2 ZN    ZN A 201      26.266  25.413     nan  1.00 10.38          ZN  \n",
         "atom 2 (ZN of ZN 201 A) has a coordinate that is not a finite number"},
        {".pdb", "HETATM    2 ZN    ZN A 201         inf  25.413   2.842  1.00 10.38          ZN  \n" + sulphur,
         "atom 2 (ZN of ZN 201 A) has a coordinate that is not a finite number"},
        {".pdb", sulphur + "HETATM    2 ZN    ZN A 201      26.266  25.413   2.842  1.00   nan          ZN  \n",
         "atom 2 (ZN of ZN 201 A) has a B-factor that is not a finite number"},
        {".pdb", zincLine + "ANISOU    2 ZN    ZN A 201      nan   1000   1000      0      0      0      ZN  \n",
         ""},  // ANISOU holds integers: gemmi reads "nan" as 0, which is finite
        {".cif", cifHead + "HETATM 2 ZN ZN . ZN A . 1.0 2.0 nan 1 10 201 1\n",
         "atom 2 (ZN of ZN 201 A) has a coordinate that is not a finite number"},
        {".cif", cifHead + "HETATM 2 ZN ZN . ZN A . 1e999 2.0 3.0 1 10 201 1\n",
         "atom 2 (ZN of ZN 201 A) has a coordinate that is not a finite number"},
        {".cif", cifHead + "HETATM 2 ZN ZN . ZN A . 1.0 2.0 3.0 1 1e999 201 1\n",
         "atom 2 (ZN of ZN 201 A) has a B-factor that is not a finite number"},
        {".xyz", "2\nwater\nH 0 0 0\nO 0 0 nan\n", "XYZ line 4 (O) has a coordinate that is not a finite number"},
        {".xyz", "2\nwater\nH 0 0 0\nO -inf 0 0\n", "XYZ line 4 (O) has a coordinate that is not a finite number"},
        {".xyz", "1\nwater\nO 0 1e999 0\n", "XYZ line 3 (O) has a coordinate that is not a finite number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string message = ReadError(c.text, c.extension);
        if (*c.message == '\0')
            EXPECT_EQ(message, "");
        else
            EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
    // Numbers too small for a double are finite (zero): they stay.
    EXPECT_EQ(ReadText("1\ntiny\nO 1e-400 0 0\n", ".xyz").atoms.at(0).position.x, 0.0);
}

// Gzipped input is inflated member after member, and the limit is checked as
// the text grows, whatever the gzip trailers claim.
TEST(Structure, GzipInputIsInflatedWithinTheLimit) {
    const std::string first = "first member\n", second = "second member\n";
    const std::string half(std::size_t(3) << 18, ' ');  // 0.75 MB
    std::string corrupt = Gzip(first + second);
    corrupt[12] = static_cast<char>(corrupt[12] ^ 0x55);
    corrupt[13] = static_cast<char>(corrupt[13] ^ 0x55);
    const std::string whole = Gzip(first);
    struct Case {
        const char* what;
        std::string name;
        std::string bytes;
        std::string text;     // when it reads
        const char* message;  // when it does not
    };
    const Case cases[] = {
        {"one member", "a.pdb.gz", Gzip(first), first, nullptr},
        {"two members", "a.pdb.gz", Gzip(first) + Gzip(second), first + second, nullptr},
        {"padding after the last member", "a.pdb.gz", Gzip(first) + std::string(512, '\0'), first, nullptr},
        {"plain text under a .gz name", "a.pdb.gz", first, first, nullptr},
        {"exactly the limit", "a.pdb.gz", Gzip(std::string(std::size_t(1) << 20, '\n')),
         std::string(std::size_t(1) << 20, '\n'), nullptr},
        {"gzip bytes under a plain name", "a.pdb", whole, whole, nullptr},
        {"two members together beyond the limit", "a.pdb.gz", Gzip(half) + Gzip(half), "",
         "holds more than 1 MB once decompressed (--max-input-mb raises the limit)"},
        {"a plain file beyond the limit", "a.pdb", half + half, "",
         "is larger than 1 MB (--max-input-mb raises the limit)"},
        {"truncated", "a.pdb.gz", whole.substr(0, whole.size() / 2), "", "the compressed data ends early"},
        {"truncated second member", "a.pdb.gz", whole + whole.substr(0, 12), "", "the compressed data ends early"},
        {"corrupt", "a.pdb.gz", corrupt, "", "bad compressed data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = TempFile(c.name);
        std::ofstream(path, std::ios::binary) << c.bytes;
        if (c.message == nullptr) {
            EXPECT_EQ(ReadInputText(path, 1), c.text);
        } else {
            try {
                ReadInputText(path, 1);
                ADD_FAILURE() << "read";
            } catch (const InputError& e) {
                EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
                EXPECT_EQ(std::string(e.what()).rfind(path, 0), 0u) << e.what();
            }
        }
        std::remove(path.c_str());
    }
    const std::string directory = TempFile("folder.pdb");
    std::filesystem::create_directories(directory);
    EXPECT_THROW(ReadInputText(directory, 1), InputError);
    EXPECT_THROW(ReadStructure(directory), InputError);
    std::filesystem::remove(directory);
}

// A pipe gives no size up front: its text comes in pieces, under the same
// limit as a regular file's, and whole across the pieces.
TEST(Structure, PipedInputIsReadWholeWithinTheLimit) {
    std::string under;
    for (std::size_t i = 0; under.size() < (std::size_t(3) << 18); ++i) under += "line " + std::to_string(i) + "\n";
    const std::string over = under + under;  // 1.5 MB
    void (*const before)(int) = std::signal(SIGPIPE, SIG_IGN);  // the reader stops early past the limit
    for (const std::string* text : {&std::as_const(under), &std::as_const(over)}) {
        SCOPED_TRACE(text->size());
        const std::string path = TempFile("pipe.pdb");
        std::remove(path.c_str());
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        std::thread writer([&] {
            const int fd = open(path.c_str(), O_WRONLY);
            for (std::size_t done = 0; fd >= 0 && done < text->size();) {
                const ssize_t n = write(fd, text->data() + done, std::min<std::size_t>(text->size() - done, 4000));
                if (n <= 0) break;
                done += static_cast<std::size_t>(n);
            }
            if (fd >= 0) close(fd);
        });
        if (text == &under) {
            EXPECT_EQ(ReadInputText(path, 1), under);
        } else {
            try {
                ReadInputText(path, 1);
                ADD_FAILURE() << "read";
            } catch (const InputError& e) {
                EXPECT_NE(std::string(e.what()).find("is larger than 1 MB"), std::string::npos) << e.what();
            }
        }
        writer.join();
        std::remove(path.c_str());
    }
    std::signal(SIGPIPE, before);
}

// Well-formed UTF-8 stays as it is; every byte that starts no well-formed
// sequence is read as Latin-1.
TEST(Structure, TextAsUtf8KeepsUtf8AndReadsOtherBytesAsLatin1) {
    const struct {
        const char* what;
        std::string in, out;
    } cases[] = {
        {"ASCII", "HIS 96 A", "HIS 96 A"},
        {"two, three and four bytes", "cr\xC3\xA8me \xE2\x82\xAC \xF0\x9F\x98\x80", "cr\xC3\xA8me \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"Latin-1", "CR\xC8ME BR\xDBL\xC9" "E", "CR\xC3\x88ME BR\xC3\x9BL\xC3\x89" "E"},
        {"C1 range", "\x80\x9F", "\xC2\x80\xC2\x9F"},
        {"overlong", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
        {"overlong three bytes", "\xE0\x80\xAF", "\xC3\xA0\xC2\x80\xC2\xAF"},
        {"surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},
        {"cut short at the end", "ab\xE2\x82", "ab\xC3\xA2\xC2\x82"},
        {"lead byte before ASCII", "\xC3(", "\xC3\x83("},
        {"mixed", "\xE9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
        {"empty", "", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(TextAsUtf8(c.in), c.out) << c.what;
}

// Whatever reaches a picture is valid UTF-8: the title, the names in labels
// and the comment of an XYZ frame.
TEST(Structure, Latin1TextIsReadAsUtf8) {
    const Structure pdb = ReadText("TITLE     CR\xC8ME BR\xDBL\xC9" "E\n" +
                                   AtomLine("HETATM", 1, "\xC9L", ' ', "L\xC9G", '\xE9', 7, 0, 0, 0, "C"));
    EXPECT_EQ(pdb.title, "CR\xC3\x88ME BR\xC3\x9BL\xC3\x89" "E");
    ASSERT_EQ(pdb.atoms.size(), 1u);
    EXPECT_EQ(pdb.atoms[0].name, "\xC3\x89L");
    EXPECT_EQ(pdb.atoms[0].ResidueLabel(), "L\xC3\x89G 7 \xC3\xA9");
    const Structure xyz = ReadText("1\n  \xE9nergie -76.4 \n\xC9 0 0 0\n", ".xyz");
    EXPECT_EQ(xyz.title, "\xC3\xA9nergie -76.4");
    EXPECT_EQ(xyz.atoms.at(0).element, "\xC3\x89");
}

// Real files number residues below zero (propeptides, tags) and carry odd
// records. The sanitizer build runs this through gemmi's negative shifts,
// which ubsan.supp lets pass.
TEST(Structure, NegativeResidueNumbersAndOddRecords) {
    const std::string text =
        "HEADER    TEST                                    01-JAN-00   1ABC\n"
        "TITLE     NEGATIVE NUMBERS\n"
        "\xC9\xC9\xC9\xC9  a record outside ASCII\n"
        "HELIX    1   1 GLY A   -3  GLY A   -1  1                                   3\n"
        "SSBOND   1 CYS A   -3    CYS A   -1                          1555   1555  2.03\n"
        "LINK         CA  GLY A  -3                 CA  GLY A  -1     1555   1555  2.00\n"
        "CISPEP   1 GLY A   -3    GLY A   -2          0        -0.28\n" +
        AtomLine("ATOM", 1, " CA", ' ', "GLY", 'A', -3, 0, 0, 0, "C") +
        AtomLine("ATOM", 2, " CA", ' ', "ALA", 'A', -2, 3.8, 0, 0, "C") +
        AtomLine("ATOM", 3, " CA", ' ', "GLY", 'A', -1, 7.6, 0, 0, "C") +
        "ANISOU    3  CA  GLY A  -1     1000   1000   1000      0      0      0       C\n" +
        AtomLine("HETATM", 4, "ZN", ' ', " ZN", 'B', -100, 5, 5, 0, "ZN") + "CONECT    1    2\nEND\n";
    const Structure s = ReadText(text);
    EXPECT_EQ(s.title, "NEGATIVE NUMBERS");
    EXPECT_EQ(Summary(s), "GLY -3 C;ALA -2 C;GLY -1 C;ZN -100 Zn;");
    ASSERT_EQ(s.chains.size(), 2u);
    EXPECT_TRUE(s.atoms[2].hasAniso);
}

// An ensemble read once gives every model as reading each on its own does.
TEST(Structure, AllModelsReadOnceMatchEachModelRead) {
    const std::string path = std::string(TESSARY_SOURCE_DIR) + "/data/molecules/1d3z.pdb";
    const std::vector<Structure> models = ReadStructureModels(path);
    const Structure first = ReadStructure(path);
    ASSERT_GT(first.modelCount, 2);
    ASSERT_EQ(models.size(), static_cast<std::size_t>(first.modelCount));
    for (const int model : {1, 2, first.modelCount}) {
        SCOPED_TRACE(model);
        const Structure alone = ReadStructure(path, model);
        const Structure& together = models[static_cast<std::size_t>(model - 1)];
        EXPECT_EQ(together.model, model);
        EXPECT_EQ(Summary(together), Summary(alone));
        ASSERT_EQ(together.atoms.size(), alone.atoms.size());
        for (std::size_t i = 0; i < alone.atoms.size(); ++i)
            ASSERT_TRUE(together.atoms[i].position == alone.atoms[i].position) << i;
    }
    EXPECT_FALSE(models[0].atoms[0].position == models[1].atoms[0].position);

    const std::vector<Structure> frames = ParseXyzFrames("1\nfirst\nHe 0 0 0\n\n2\nsecond\nC 1 2 3\nO -1 -2 -3\n", 0);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].title, "second");
    EXPECT_EQ(frames[1].model, 2);
    EXPECT_EQ(frames[0].modelCount, 2);
    EXPECT_EQ(Summary(frames[1]), " 1 C; 2 O;");
}


// A line as simulation programs write it: the residue name in columns 18-21,
// column 22 blank, the segment ID in columns 73-76 and no element.
std::string MdLine(int serial, const char* name, const char* residue, int number, double x, const char* segment) {
    char line[96];
    std::snprintf(line, sizeof line, "ATOM  %5d %-4s %-4s %4d    %8.3f%8.3f%8.3f  1.00  0.00      %-4s\n", serial,
                  name, residue, number, x, 1.0, 2.0, segment);
    return line;
}

// A protein segment, waters and an ion as a simulation program writes them.
std::string MdFragment() {
    std::string text = "REMARK  SIMULATION BOX\n";
    int serial = 0;
    double x = 0;
    const auto add = [&](const char* name, const char* residue, int number, const char* segment) {
        text += MdLine(++serial, name, residue, number, x += 1.1, segment);
    };
    for (const char* name : {" N", " CA", " C", " O"}) add(name, "ALA", 1, "PROA");
    for (const char* name : {" N", " CA", " CB", " CG", " C", " O"}) add(name, "HSD", 2, "PROA");
    for (int w = 1; w <= 3; ++w)
        for (const char* name : {" OH2", " H1", " H2"}) add(name, "TIP3", w, "WT1");
    add(" SOD", "SOD", 1, "ION");
    return text + "TER\nEND\n";
}

// Four-letter residue names stay whole and blank chains take the segment;
// names and chains of ordinary files stay as they were.
TEST(Structure, SimulationFilesKeepFourLetterNamesAndSegments) {
    struct Case {
        const char* what;
        std::string text;
        std::string residues;  // "name chain kind;" per residue, kind 'P', 'L' or 'W'
    };
    const std::string standard = AtomLine("ATOM", 1, " CA", ' ', "ALA", 'A', 1, 0, 0, 0, "C") +
                                 AtomLine("HETATM", 2, " O", ' ', "HOH", 'A', 2, 3, 0, 0, "O");
    // A two-letter chain right-aligned in columns 21-22 is a chain, not a fourth letter.
    std::string twoLetter = AtomLine("ATOM", 1, " CA", ' ', "GLY", ' ', 1, 0, 0, 0, "C");
    twoLetter.replace(20, 2, "AB");
    const std::string resumed = AtomLine("ATOM", 1, " CA", ' ', "GLY", 'A', 1, 0, 0, 0, "C") + "TER\n" +
                                AtomLine("ATOM", 2, " CA", ' ', "GLY", 'A', 5, 9, 0, 0, "C") +
                                AtomLine("HETATM", 3, " CA", ' ', "CA", 'A', 6, 20, 0, 0, "CA");
    // One number in several segments, each residue with its own fourth letter.
    const std::string segments = MdLine(1, " OH2", "TIP3", 1, 1.1, "WT1") + MdLine(2, " OH2", "TIP4", 1, 2.2, "WT2") +
                                 MdLine(3, " P", "POPC", 1, 3.3, "MEMB") + MdLine(4, " OH2", "TIP5", 2, 4.4, "WT1");
    const Case cases[] = {
        {"chain resumed after TER", resumed, "GLY A P;GLY A P;CA A L;"},
        {"one number in several segments", segments, "TIP3 WT1 W;TIP4 WT2 W;POPC MEMB L;TIP5 WT1 W;"},
        {"simulation box", MdFragment(), "ALA PROA P;HSD PROA P;TIP3 WT1 W;TIP3 WT1 W;TIP3 WT1 W;SOD ION L;"},
        {"ordinary file", standard, "ALA A P;HOH A W;"},
        {"two-letter chain", twoLetter, "GLY AB P;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Structure s = ReadText(c.text);
        std::string residues;
        for (std::size_t i = 0; i < s.atoms.size(); ++i) {
            const Atom& a = s.atoms[i];
            if (i > 0 && s.atoms[i - 1].residueNumber == a.residueNumber && s.atoms[i - 1].chain == a.chain) continue;
            const char kind = a.residueKind == ResidueKind::Polymer ? 'P' : a.residueKind == ResidueKind::Water ? 'W' : 'L';
            residues += a.residueName + " " + a.chain + " " + kind + ";";
        }
        EXPECT_EQ(residues, c.residues);
    }
}

// Chain names come back once each with their parts counted: gemmi splits a
// chain at TER into polymer, ligand and water parts, and a water box wrapping
// past 9999 holds many molecules under one residue number.
TEST(Structure, ChainSummariesGroupPartsByName) {
    std::string text;
    int serial = 0;
    for (int r = 1; r <= 3; ++r)
        for (const char* name : {" N", " CA", " C"}) {
            ++serial;
            text += AtomLine("ATOM", serial, name, ' ', "GLY", 'A', r, serial, 0, 0, name[1] == 'N' ? "N" : "C");
        }
    text += "TER\n";
    text += AtomLine("ATOM", ++serial, " CA", ' ', "GLY", 'B', 1, 40, 0, 0, "C");
    text += "TER\n";
    text += AtomLine("HETATM", ++serial, "ZN", ' ', "ZN", 'A', 101, 20, 0, 0, "ZN");
    text += AtomLine("HETATM", ++serial, "C1", ' ', "ACT", 'A', 102, 21, 0, 0, "C");
    text += AtomLine("HETATM", ++serial, "O", ' ', "HOH", 'A', 201, 22, 0, 0, "O");
    text += AtomLine("HETATM", ++serial, "O", ' ', "HOH", 'B', 201, 42, 0, 0, "O");
    // Two waters under one number, as after a wrap.
    text += AtomLine("HETATM", ++serial, "O", ' ', "HOH", 'A', 202, 23, 0, 0, "O");
    text += AtomLine("HETATM", ++serial, "O", ' ', "HOH", 'A', 202, 24, 0, 0, "O");
    const std::vector<ChainSummary> chains = SummariseChains(ReadText(text));
    ASSERT_EQ(chains.size(), 2u);
    EXPECT_EQ(chains[0].name, "A");
    EXPECT_GE(chains[0].parts, 2);
    EXPECT_EQ(chains[0].polymerParts, 1);
    EXPECT_EQ(chains[0].polymerResidues, 3);
    EXPECT_EQ(chains[0].ligands, 2);
    EXPECT_EQ(chains[0].waters, 3);
    EXPECT_EQ(chains[0].atoms, 9 + 5);
    EXPECT_EQ(chains[1].name, "B");
    EXPECT_EQ(chains[1].polymerResidues, 1);
    EXPECT_EQ(chains[1].waters, 1);

    std::ostringstream all, cut;
    PrintChainSummaries(chains, 2, all);
    EXPECT_EQ(all.str(), "  A: 1 polymer part (3 residues), 2 ligands, 3 waters\n  B: 1 polymer part (1 residue), 1 water\n");
    PrintChainSummaries(chains, 1, cut);
    EXPECT_EQ(cut.str(), "  A: 1 polymer part (3 residues), 2 ligands, 3 waters\n  ... 1 more chain (2 atoms)\n");
}

// The backbone trace runs through every polymer residue: a selenomethionine
// written as HETATM between two alanines, and the phosphates of a DNA strand
// (C4' standing in where the first nucleotide has no P).
TEST(Structure, TraceRunsThroughModifiedResiduesAndNucleicAcids) {
    struct Case {
        const char* what;
        std::string text;
        int points;  // backbone atoms on the trace, one a residue
    } cases[] = {
        {"protein with MSE",
         AtomLine("ATOM", 1, " CA", ' ', "ALA", 'A', 1, 0, 0, 0, "C") +
             AtomLine("HETATM", 2, " CA", ' ', "MSE", 'A', 2, 3.8, 0, 0, "C") +
             AtomLine("HETATM", 3, "SE", ' ', "MSE", 'A', 2, 3.8, 2, 0, "SE") +
             AtomLine("ATOM", 4, " CA", ' ', "ALA", 'A', 3, 7.6, 0, 0, "C"),
         3},
        {"DNA strand",
         AtomLine("ATOM", 1, " C4'", ' ', " DA", 'B', 1, 0, 0, 0, "C") +
             AtomLine("ATOM", 2, " P", ' ', " DT", 'B', 2, 6.5, 0, 0, "P") +
             AtomLine("ATOM", 3, " C4'", ' ', " DT", 'B', 2, 6.5, 3, 0, "C") +
             AtomLine("ATOM", 4, " P", ' ', " DG", 'B', 3, 13, 0, 0, "P"),
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Structure s = ReadText(c.text);
        const Scene scene = BuildScene(s, SceneOptions());
        ASSERT_GE(scene.root.GetNumDisplayLists(), 1);
        const Tessary::DisplayList3D& chain = scene.root.GetDisplayList(0);
        // One unbroken curve from the first residue's backbone atom to the last's.
        ASSERT_GE(chain.GetNumLines(), 2 * (c.points - 1));
        for (int k = 1; k < chain.GetNumLines(); ++k) EXPECT_EQ(chain.GetLine(k - 1).GetEnd2(), chain.GetLine(k).GetEnd1());
        EXPECT_EQ(chain.GetLine(0).GetEnd1(), s.atoms.front().position);
        EXPECT_EQ(chain.GetLine(chain.GetNumLines() - 1).GetEnd2(), s.atoms.back().position);
    }
}

// Protein-nucleic acid complexes as the files give them: strands named DA..DT
// with primed sugar atoms, or the old one-letter names with starred ones and
// 5' ends without a phosphate. Every strand is a polymer part of its own, and
// one unbroken trace runs through its backbone: from the first nucleotide's P
// (C4' or C4* where it has none) to the last one's P.
struct StrandCase {
    const char* file;
    const char* chain;
    int residues;  // nucleotides in the strand, all polymer
};

// The part of chain `name` holding its polymer, or -1.
int PolymerPart(const Structure& s, const std::string& name) {
    for (std::size_t c = 0; c < s.chains.size(); ++c) {
        const Chain& part = s.chains[c];
        if (part.name != name) continue;
        for (int i = part.first; i < part.first + part.count; ++i)
            if (s.atoms[static_cast<std::size_t>(i)].residueKind == ResidueKind::Polymer) return static_cast<int>(c);
    }
    return -1;
}

// The backbone atom the trace must pass through at the residue holding atom `at`.
Tessary::Point3d StrandBackbone(const Structure& s, const Chain& part, int at) {
    const Atom& head = s.atoms[static_cast<std::size_t>(at)];
    const Atom* sugar = nullptr;
    for (int i = part.first; i < part.first + part.count; ++i) {
        const Atom& a = s.atoms[static_cast<std::size_t>(i)];
        if (a.residueNumber != head.residueNumber || a.residueName != head.residueName) continue;
        if (a.name == "P") return a.position;
        if (a.name == "C4'" || a.name == "C4*") sugar = &a;
    }
    EXPECT_NE(sugar, nullptr) << head.ResidueLabel();
    return sugar ? sugar->position : Tessary::Point3d();
}

void ExpectStrands(const StrandCase* cases, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
        const StrandCase& c = cases[k];
        SCOPED_TRACE(std::string(c.file) + " chain " + c.chain);
        const Structure s = ReadStructure(MoleculePath(c.file));
        bool named = false;
        for (const ChainSummary& summary : SummariseChains(s)) {
            if (summary.name != c.chain) continue;
            named = true;
            EXPECT_EQ(summary.polymerParts, 1);
            EXPECT_EQ(summary.polymerResidues, c.residues);
            EXPECT_EQ(summary.ligands, 0);
        }
        EXPECT_TRUE(named);
        const int index = PolymerPart(s, c.chain);
        const Scene scene = BuildScene(s, SceneOptions());
        if (index < 0 || index >= scene.root.GetNumDisplayLists()) {
            ADD_FAILURE() << "no polymer part";
            continue;
        }
        const Chain& part = s.chains[static_cast<std::size_t>(index)];
        const Tessary::DisplayList3D& list = scene.root.GetDisplayList(index);
        if (list.GetNumLines() < 2 * (c.residues - 1)) {
            ADD_FAILURE() << list.GetNumLines() << " line pieces";
            continue;
        }
        int breaks = 0;
        for (int i = 1; i < list.GetNumLines(); ++i) breaks += list.GetLine(i - 1).GetEnd2() != list.GetLine(i).GetEnd1();
        EXPECT_EQ(breaks, 0);
        EXPECT_EQ(list.GetLine(0).GetEnd1(), StrandBackbone(s, part, part.first));
        int last = part.first + part.count - 1;
        while (s.atoms[static_cast<std::size_t>(last)].residueKind != ResidueKind::Polymer) --last;
        EXPECT_EQ(list.GetLine(list.GetNumLines() - 1).GetEnd2(), StrandBackbone(s, part, last));
    }
}

TEST(Structure, DnaStrandsOfComplexesArePolymersWithOneTrace) {
    const StrandCase cases[] = {
        {"pdb3mht.pdb", "C", 12},  // the 5' nucleotide has its P
        {"pdb3mht.pdb", "D", 13},  // it has none: the trace starts at C4'
    };
    ExpectStrands(cases, std::size(cases));

    // The protein beside them keeps its own part and its ligands.
    const Structure s = ReadStructure(MoleculePath("pdb3mht.pdb"));
    const std::vector<ChainSummary> chains = SummariseChains(s);
    ASSERT_EQ(chains.size(), 3u);
    EXPECT_EQ(chains[2].name, "A");
    EXPECT_EQ(chains[2].polymerResidues, 327);
    EXPECT_EQ(chains[2].ligands, 1);  // S-adenosylhomocysteine
    EXPECT_EQ(chains[2].waters, 58);
}

// Old-style strands name the sugar C4* and start without a phosphate: the
// trace starts at the first sugar, and a 5' nucleotide written as ATOM stays
// in the polymer even where its name ("T") is not tabulated.
TEST(Structure, OldStyleStrandsStartAtTheirFirstSugar) {
    const StrandCase cases[] = {
        {"pdb1zff.ent", "A", 10},
    };
    ExpectStrands(cases, std::size(cases));
}

// The crystal as the metal shells use it: every operation an isometry
// mapping fractional coordinates by its triplet, the identity first, and a
// placeholder cell (1 A, P 1, as NMR entries write it) no crystal at all.
TEST(Structure, CrystalOperationsMatchTheirSpaceGroup) {
    using Tessary::Point3d;
    const struct {
        const char* file;
        const char* group;
        std::size_t operations;
    } cases[] = {{"4at1.ent", "P 3 2 1", 6},  {"2hhb.ent", "P 1 21 1", 2}, {"1d3z.pdb", "", 0},
                 {"pdb1zff.ent", "C 1 2 1", 4}, {"pdb3mht.pdb", "", 0}};  // no CRYST1
    const Point3d probe(3.5, -7.25, 11.0), other(-2.0, 4.5, 1.25);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const Crystal& crystal = ReadStructure(MoleculePath(c.file)).crystal;
        EXPECT_EQ(crystal.spaceGroup, c.group);
        ASSERT_EQ(crystal.operations.size(), c.operations);
        if (!crystal.Known()) continue;
        EXPECT_EQ(crystal.operations[0].triplet, "x,y,z");
        for (int i = 0; i < 3; ++i) {
            const Point3d f = crystal.Fractional(crystal.edges[static_cast<std::size_t>(i)]);
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(f[j], i == j ? 1.0 : 0.0, 1e-6);
        }
        for (const Crystal::Operation& op : crystal.operations) {
            SCOPED_TRACE(op.triplet);
            // Cells are written to three decimals, so operations are isometries to about 1e-5.
            EXPECT_NEAR(op.Apply(probe).Distance(op.Apply(other)), probe.Distance(other), 1e-3);
        }
    }
    // "-y,x-y,z+1/3" style: the second operation of P 3 2 1 takes (x, y, z) to (-y, x-y, z).
    const Crystal crystal = ReadStructure(MoleculePath("4at1.ent")).crystal;
    const Point3d f = crystal.Fractional(crystal.operations[1].Apply(probe));
    const Point3d g = crystal.Fractional(probe);
    EXPECT_EQ(crystal.operations[1].triplet, "-y,x-y,z");
    EXPECT_NEAR(f.x, -g.y, 1e-5);
    EXPECT_NEAR(f.y, g.x - g.y, 1e-5);
    EXPECT_NEAR(f.z, g.z, 1e-5);
}

// 1ZFF holds one strand of a self-complementary duplex; its REMARK 350 makes
// the other from the crystal's two-fold, -x+1, y, -z+1 in a monoclinic cell
// with beta = 112 degrees (BIOMT x' = -x + 21.74942, z' = -z + 31.04397).
// Through the crystal the host reads, each base must meet its partner:
// N1 of a purine 2.5-3.6 A from N3 of the pyrimidine, residue i with residue
// 11 - i of the mate (the terminal pairs are the loosest).
TEST(Structure, CrystalTwoFoldPairsTheStrandIntoItsDuplex) {
    const Structure s = ReadStructure(MoleculePath("pdb1zff.ent"));
    const Crystal& crystal = s.crystal;
    const Crystal::Operation* twoFold = nullptr;
    for (const Crystal::Operation& op : crystal.operations)
        if (op.triplet == "-x,y,-z") twoFold = &op;
    ASSERT_NE(twoFold, nullptr);
    const Tessary::Point3d lattice = crystal.edges[0] + crystal.edges[2];
    const Tessary::Point3d probe(3.5, -7.25, 11.0);
    // The cell is written to three decimals.
    EXPECT_NEAR(twoFold->Apply(probe).Distance(Tessary::Point3d(21.74942 - probe.x, probe.y, 31.04397 - probe.z) - lattice),
                0.0, 2e-3);
    auto find = [&](int residue, const char* name) -> const Atom* {
        for (const Atom& a : s.atoms)
            if (a.residueNumber == residue && a.name == name) return &a;
        return nullptr;
    };
    int pairs = 0;
    for (int i = 1; i <= 10; ++i) {
        SCOPED_TRACE(i);
        const Atom* base = find(i, "N1");
        ASSERT_NE(base, nullptr);
        const bool purine = base->residueName == "A" || base->residueName == "G";
        const Atom* partner = find(11 - i, purine ? "N3" : "N1");
        const Atom* own = purine ? base : find(i, "N3");
        ASSERT_NE(partner, nullptr);
        ASSERT_NE(own, nullptr);
        const double d = own->position.Distance(twoFold->Apply(partner->position) + lattice);
        EXPECT_GT(d, 2.5);
        EXPECT_LT(d, 3.6);
        ++pairs;
    }
    EXPECT_EQ(pairs, 10);
}

}  // namespace
}  // namespace TessaryScene
