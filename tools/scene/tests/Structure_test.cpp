#include "Structure.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace TessaryScene {
namespace {

Structure ReadPdbText(const std::string& text) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("scene_structure_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".pdb");
    std::ofstream(path) << text;
    Structure s = ReadStructure(path.string());
    std::filesystem::remove(path);
    return s;
}

std::string Summary(const Structure& s) {
    std::string text;
    for (const Atom& a : s.atoms) text += a.residueName + " " + std::to_string(a.residueNumber) + " " + a.element + ";";
    return text;
}

// Old files with line numbers where the element and charge now stand, ligands
// numbered like protein residues, and alternative residues of one number.
TEST(Structure, ReadsOldAndAlternativeRecords) {
    struct Case {
        const char* what;
        const char* text;
        const char* atoms;
    };
    const Case cases[] = {
        {"old format, haem numbered like the first residue",
         "ATOM      1  N   VAL A   1       6.130  16.559   4.905  7.00 41.29      2HHB 206\n"
         "HETATM 1071 FE   HEM A   1       8.136   7.395 -15.038 24.00 18.06      2HHB1276\n",
         "VAL 1 N;HEM 1 Fe;"},
        {"element and charge columns",
         "HETATM    1 ZN    ZN A 201      26.266  25.413   2.842  1.00 10.38          ZN2+\n",
         "ZN 201 Zn;"},
        {"point mutation keeps its first residue",
         "ATOM      2  CA ASER A  10      26.266  25.413   2.842  0.50 10.38           C  \n"
         "ATOM      3  CA BTHR A  10      26.366  25.413   2.842  0.50 10.38           C  \n"
         "ATOM      4  CA  GLY A  11      29.266  25.413   2.842  1.00 10.38           C  \n",
         "SER 10 C;GLY 11 C;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Summary(ReadPdbText(c.text)), c.atoms);
    }
}

}  // namespace
}  // namespace TessaryScene
