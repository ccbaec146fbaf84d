// The program as a user runs it: bad input ends with one line and exit
// code 2 and leaves no output behind; good input gives pictures whose
// pixels and shapes match the scene.

#include <gtest/gtest.h>

#include <cairo.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "MoleculePath.h"
#include "Scene.h"
#include "SceneProgram.h"
#include "Structure.h"
#include "View.h"
#include "Gzip.h"

using namespace TessaryScene;
using namespace scene_test;

namespace {

const std::string kWater = MoleculePath("water_cluster_Mg.xyz");

const char kZinc[] = "HETATM    1 ZN    ZN A 201      26.266  25.413   2.842  1.00 10.38          ZN  \n";

TEST(Cli, BadInputEndsWithOneLineAndExitCode2) {
    const std::string out = Temp("never.png");
    Write(Temp("notes.txt"), "ATOM\n");
    Write(Temp("empty.xyz"), "0\nnothing here\n");
    Write(Temp("junk.pdb"), "this is not a structure\n");
    Write(Temp("junk.bin"), "tessary-scene?");
    const std::string atoms = std::string(kZinc) + "ATOM      2  SG  CYS A   1      26.266  27.413   2.842  1.00 10.38           S  \n";
    Write(Temp("empty.pdb"), "");
    Write(Temp("empty.cif"), "");
    Write(Temp("blank.xyz"), "\n\n");
    Write(Temp("header.pdb"), "HEADER    NOTHING BUT A HEADER\nEND\n");
    Write(Temp("cut.pdb"), atoms.substr(0, atoms.size() - 40));
    Write(Temp("cut.cif"), "data_x\nloop_\n_atom_site.id\n_atom_site.type_symbol\n_atom_site.Cartn_x\n1 C\n");
    Write(Temp("cell.cif"), "data_x\n_cell.length_a 10.0\n");
    Write(Temp("cut.pdb.gz"), Gzip(atoms).substr(0, 30));
    Write(Temp("bad.pdb.gz"), Gzip(atoms).substr(0, 10) + std::string(40, 'x'));
    Write(Temp("count.xyz"), "99999999999999999999\nhuge\nO 0 0 0\n");
    Write(Temp("short.xyz"), "3\nshort\nO 0 0 0\nH 1 0 0\n");
    Write(Temp("nan.pdb"), atoms + "ATOM      3  CB  CYS A   1         nan  27.413   2.842  1.00 10.38           C  \n");
    Write(Temp("nan.xyz"), "1\nx\nO 0 nan 0\n");
    // Two members of spaces after real atoms: 6 MB of text from a few kilobytes.
    Write(Temp("bomb.pdb.gz"), Gzip(atoms) + Gzip(std::string(std::size_t(3) << 20, ' ')) +
                                   Gzip(std::string(std::size_t(3) << 20, ' ')));
    std::filesystem::create_directories(Temp("folder.pdb"));
    std::filesystem::create_directories(Temp("folder.cif.gz"));
    Write(Temp("locked.pdb"), atoms);
    chmod(Temp("locked.pdb").c_str(), 0);
    const std::string cases[] = {
        "",
        "draw " + kWater,
        "render /no/such/file.pdb -o " + out,
        "render " + Temp("notes.txt") + " -o " + out,
        "render " + Temp("empty.xyz") + " -o " + out,
        "render " + Temp("junk.pdb") + " -o " + out,
        "render " + kWater + " -o " + Temp("never.bmp"),
        "render " + kWater,
        "render " + kWater + " -o " + out + " --bogus",
        "render " + kWater + " -o " + out + " --size 10x10",
        "render " + kWater + " -o " + out + " --size 800x",
        "render " + kWater + " -o " + out + " --view 1,2",
        "render " + kWater + " -o " + out + " --view 1,2,x",
        "render " + kWater + " -o " + out + " --model 0",
        "render " + kWater + " -o " + out + " --model 2",
        "render " + kWater + " -o " + out + " --color purple",
        "render " + kWater + " -o " + out + " --style sticks",
        "render " + kWater + " -o " + out + " --slab -1",
        "render " + kWater + " -o " + out + " --slab",
        "pick " + kWater,
        "pick " + kWater + " --at 1",
        "metals " + kWater + " --at 1,2",
        "superpose " + kWater,
        "archive --check " + Temp("junk.bin"),
        "archive " + kWater,
        "info " + kWater + " " + kWater,
        "info " + Temp("empty.pdb"),
        "info " + Temp("empty.cif"),
        "info " + Temp("blank.xyz"),
        "info " + Temp("header.pdb"),
        "info " + Temp("cut.pdb"),
        "info " + Temp("cut.cif"),
        "info " + Temp("cell.cif"),
        "info " + Temp("cut.pdb.gz"),
        "info " + Temp("bad.pdb.gz"),
        "info " + Temp("count.xyz"),
        "info " + Temp("short.xyz"),
        "render " + Temp("nan.pdb") + " -o " + out,
        "metals " + Temp("nan.pdb"),
        "render " + Temp("nan.xyz") + " -o " + out,
        "render " + Temp("bomb.pdb.gz") + " --max-input-mb 4 -o " + out,
        "render " + kWater + " --max-input-mb 0 -o " + out,
        "render " + kWater + " --max-input-mb 1.5 -o " + out,
        "info " + Temp("folder.pdb"),
        "info " + Temp("folder.cif.gz"),
        "render " + MoleculePath("1d3z.pdb") + " --model 11 -o " + out,
        "render " + MoleculePath("1d3z.pdb") + " --model 1000000 -o " + out,
        "superpose " + MoleculePath("1ubq.pdb") + " " + Temp("nan.pdb"),
        "superpose " + kWater + " " + Temp("short.xyz"),
        "superpose " + kWater + " " + MoleculePath("1ubq.pdb"),
        "superpose " + kWater + " " + kWater + " --chain A",
        "superpose " + MoleculePath("1ubq.pdb") + " " + MoleculePath("1ubq.pdb") + " --chain B",
        "superpose " + MoleculePath("1ubq.pdb") + " " + MoleculePath("1ubq.pdb") + " --chains A",
        "superpose " + MoleculePath("1ubq.pdb") + " " + MoleculePath("1ubq.pdb") + " --chains A,",
        "superpose " + MoleculePath("1ubq.pdb") + " " + MoleculePath("1ubq.pdb") + " --chains A,A,A",
        "superpose " + MoleculePath("1ubq.pdb") + " " + MoleculePath("1ubq.pdb") + " --chain A,B",
        "superpose " + MoleculePath("1ubq.pdb") + " " + MoleculePath("1ubq.pdb") + " --chain A --chain A",
        "superpose " + MoleculePath("1d3z.pdb") + " --models --chains A,B",
        "metals " + kWater + " --chain A",
    };
    // Root reads a file whatever its mode; others are refused.
    std::vector<std::string> all(std::begin(cases), std::end(cases));
    if (geteuid() != 0) all.push_back("info " + Temp("locked.pdb"));
    for (const std::string& args : all) {
        SCOPED_TRACE(args);
        ExpectRefusal(RunScene(args));
        EXPECT_FALSE(Exists(out));
        EXPECT_FALSE(Exists(Temp("never.bmp")));
    }
    for (const char* name : {"folder.pdb", "folder.cif.gz", "bomb.pdb.gz", "locked.pdb"}) std::filesystem::remove(Temp(name));
}

TEST(Cli, EveryCommandHasHelp) {
    for (const char* command : {"render", "pick", "metals", "superpose", "archive", "info"}) {
        const Outcome o = RunScene(std::string(command) + " --help");
        EXPECT_EQ(o.exitCode, 0) << command;
        EXPECT_EQ(o.out.rfind(std::string("usage: tessary-scene ") + command, 0), 0u) << o.out;
        EXPECT_NE(o.out.find("--max-input-mb N"), std::string::npos) << o.out;
    }
    const Outcome general = RunScene("--help");
    EXPECT_EQ(general.exitCode, 0);
    EXPECT_NE(general.out.find("--max-input-mb N"), std::string::npos) << general.out;
}

// Only atoms with alternative-location marks are left out, and one line on
// stderr counts them; a simulation box whose residue numbers wrap loses nothing.
TEST(Cli, LeftOutAtomsAreCountedOnStderr) {
    const std::string crambin = MoleculePath("pdb1ejg.pdb");
    std::istringstream lines(Slurp(crambin));
    std::string line;
    int inFile = 0;
    while (std::getline(lines, line)) inFile += line.rfind("ATOM", 0) == 0 || line.rfind("HETATM", 0) == 0;
    const Outcome o = RunScene("info " + crambin);
    ASSERT_EQ(o.exitCode, 0) << o.err;
    const std::size_t at = o.out.find("\natoms   ");
    ASSERT_NE(at, std::string::npos) << o.out;
    const int read = std::stoi(o.out.substr(at + 9));
    EXPECT_LT(read, inFile);
    EXPECT_EQ(o.err, "tessary-scene: " + crambin + ": " + std::to_string(inFile - read) +
                         " atom(s) of later alternative conformations left out (the first conformation is drawn)\n");

    std::string box;
    char text[96];
    for (int i = 0; i < 10010; ++i) {
        for (int k = 0; k < 3; ++k) {
            std::snprintf(text, sizeof text, "ATOM  %5d  %-3s TIP W%4d    %8.3f%8.3f%8.3f  1.00  0.00           %c\n",
                          (3 * i + k + 1) % 100000, k == 0 ? "OH2" : k == 1 ? "H1" : "H2", (i + 1) % 10000,
                          3.1 * (i % 25) + 0.8 * k, 3.1 * (i / 25 % 25), 3.1 * (i / 625), k == 0 ? 'O' : 'H');
            box += text;
        }
    }
    Write(Temp("box.pdb"), box);
    const Outcome water = RunScene("info " + Temp("box.pdb"));
    EXPECT_EQ(water.exitCode, 0) << water.err;
    EXPECT_EQ(water.err, "");
    EXPECT_NE(water.out.find("\natoms   30030\n"), std::string::npos) << water.out.substr(0, 200);
    std::remove(Temp("box.pdb").c_str());
}

// A simulation box (protein segments, a water segment, ions) is listed by
// segment with its waters counted, not as a chain named by the fourth letter
// of TIP3; thousands of segments stay a short list.
TEST(Cli, InfoListsSimulationSegmentsBriefly) {
    const std::string box = MoleculePath("pdb1tw7_step3_charmm2namd.pdb");
    std::istringstream lines(Slurp(box));
    std::string line;
    int waters = 0;
    while (std::getline(lines, line))
        waters += line.rfind("ATOM", 0) == 0 && line.compare(12, 9, " OH2 TIP3") == 0;
    ASSERT_GT(waters, 0);
    const Outcome o = RunScene("info " + box);
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("\n  SOLV: " + std::to_string(waters) + " waters\n"), std::string::npos) << o.out;
    for (const char* segment : {"\n  PROA: 1 polymer part (", "\n  PROB: 1 polymer part (", "\n  CLA: "})
        EXPECT_NE(o.out.find(segment), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("\n  3:"), std::string::npos) << o.out;

    std::string many;
    char text[96];
    for (int i = 0; i < 30; ++i) {
        std::snprintf(text, sizeof text, "ATOM  %5d  SOD SOD  %4d    %8.3f%8.3f%8.3f  1.00  0.00      I%03d\n", i + 1,
                      i + 1, 3.0 * i, 0.0, 0.0, i);
        many += text;
    }
    Write(Temp("ions.pdb"), many);
    const Outcome ions = RunScene("info " + Temp("ions.pdb"));
    ASSERT_EQ(ions.exitCode, 0) << ions.err;
    EXPECT_NE(ions.out.find("chains  30\n  I000: 1 ligand\n"), std::string::npos) << ions.out;
    EXPECT_NE(ions.out.find("\n  I019: 1 ligand\n  ... 10 more chains (10 atoms)\natoms   30\n"), std::string::npos)
        << ions.out;
}

// XYZ frames fit atom by atom, two files or every frame of one; a chosen
// chain fits alone.
TEST(Cli, SuperposeXyzFramesAndChosenChains) {
    std::istringstream lines(Slurp(kWater));
    std::string count, comment, line, frames;
    std::getline(lines, count);
    std::getline(lines, comment);
    std::vector<std::string> atoms;
    while (std::getline(lines, line))
        if (!line.empty()) atoms.push_back(line);
    // The cluster, then shifted along x by 1 and 2 angstroms.
    for (int shift = 0; shift < 3; ++shift) {
        frames += count + "\nframe " + std::to_string(shift) + "\n";
        for (const std::string& atom : atoms) {
            std::istringstream fields(atom);
            std::string element;
            double x = 0, y = 0, z = 0;
            fields >> element >> x >> y >> z;
            frames += element + " " + std::to_string(x + shift) + " " + std::to_string(y) + " " + std::to_string(z) + "\n";
        }
    }
    Write(Temp("frames.xyz"), frames);
    const Outcome two = RunScene("superpose " + kWater + " " + Temp("frames.xyz") + " --model 1");
    ASSERT_EQ(two.exitCode, 0) << two.err;
    EXPECT_NE(two.out.find("matched: " + std::to_string(atoms.size()) + " atoms, by index\n"), std::string::npos)
        << two.out;
    const Outcome models = RunScene("superpose " + Temp("frames.xyz") + " --models");
    ASSERT_EQ(models.exitCode, 0) << models.err;
    EXPECT_NE(models.out.find("          3         19      2.000      0.000      0.000\n"), std::string::npos)
        << models.out;

    const Outcome chain = RunScene("superpose " + MoleculePath("2hhb.ent") + " " + MoleculePath("2hhb.ent") +
                                   " --chains A,C");
    ASSERT_EQ(chain.exitCode, 0) << chain.err;
    EXPECT_NE(chain.out.find("matched: 141 C-alpha atoms, by residue number in the chosen chains\n"),
              std::string::npos)
        << chain.out;
    const Outcome ensemble = RunScene("superpose " + MoleculePath("1d3z.pdb") + " --models --chain A");
    EXPECT_EQ(ensemble.exitCode, 0) << ensemble.err;
    const Outcome help = RunScene("superpose --help");
    EXPECT_NE(help.out.find("--chains IDA,IDB"), std::string::npos) << help.out;
}

// A compressed file is read member after member up to the limit, which the
// option raises; past it the program stops while inflating.
TEST(Cli, DecompressionStopsAtTheLimit) {
    const std::string atoms = std::string(kZinc) + "ATOM      2  SG  CYS A   1      26.266  27.413   2.842  1.00 10.38           S  \n";
    const std::string bomb = Temp("bomb.pdb.gz");
    Write(bomb, Gzip(atoms) + Gzip(std::string(std::size_t(3) << 20, ' ')) + Gzip(std::string(std::size_t(3) << 20, ' ')));
    const Outcome stopped = RunScene("info " + bomb + " --max-input-mb 4");
    EXPECT_EQ(stopped.exitCode, 2);
    EXPECT_EQ(stopped.err, "tessary-scene: " + bomb + " holds more than 4 MB once decompressed (--max-input-mb raises the limit)\n");
    for (const std::string& limit : {std::string(" --max-input-mb 7"), std::string()}) {
        const Outcome read = RunScene("info " + bomb + limit);
        EXPECT_EQ(read.exitCode, 0) << limit << read.err;
        EXPECT_NE(read.out.find("\natoms   2\n"), std::string::npos) << read.out;
    }
    std::remove(bomb.c_str());
}

// A title in an old 8-bit encoding draws as its Latin-1 reading: the SVG is
// the one its UTF-8 spelling gives, and differs from a plain ASCII title.
TEST(Cli, Latin1TitleDrawsLikeItsUtf8Spelling) {
    const std::string atoms = std::string(kZinc) + "ATOM      2  SG  CYS A   1      26.266  27.413   2.842  1.00 10.38           S  \n";
    const struct {
        const char* name;
        std::string text;
    } files[] = {
        {"latin1.pdb", "TITLE     CR\xC8ME BR\xDBL\xC9" "E\n" + atoms},
        {"utf8.pdb", "TITLE     CR\xC3\x88ME BR\xC3\x9BL\xC3\x89" "E\n" + atoms},
        {"ascii.pdb", "TITLE     CREME BRULEE\n" + atoms},
        {"latin1.xyz", "2\n\xE9nergie\nZn 0 0 0\nS 2.3 0 0\n"},
        {"utf8.xyz", "2\n\xC3\xA9nergie\nZn 0 0 0\nS 2.3 0 0\n"},
        // No title: the file's own name, in whatever encoding the system gave it, is the title.
        {"caf\xE9.xyz", "2\n\nZn 0 0 0\nS 2.3 0 0\n"},
    };
    std::map<std::string, std::string> svg;
    for (const auto& f : files) {
        Write(Temp(f.name), f.text);
        const std::string out = Temp(std::string(f.name) + ".svg");
        const Outcome o = RunScene("render " + Temp(f.name) + " --size 300x200 -o " + out);
        ASSERT_EQ(o.exitCode, 0) << f.name << ": " << o.err;
        svg[f.name] = Slurp(out);
    }
    EXPECT_EQ(svg["latin1.pdb"], svg["utf8.pdb"]);
    EXPECT_NE(svg["latin1.pdb"], svg["ascii.pdb"]);
    EXPECT_EQ(svg["latin1.xyz"], svg["utf8.xyz"]);
    const std::string png = Temp("latin1.png");
    const Outcome o = RunScene("render " + Temp("latin1.pdb") + " --size 300x200 -o " + png);
    EXPECT_EQ(o.exitCode, 0) << o.err;
    cairo_surface_t* image = cairo_image_surface_create_from_png(png.c_str());
    EXPECT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(image);
    const Outcome info = RunScene("info " + Temp("latin1.pdb"));
    EXPECT_NE(info.out.find("title   CR\xC3\x88ME BR\xC3\x9BL\xC3\x89" "E\n"), std::string::npos) << info.out;
}

TEST(Cli, RenderedPngShowsTheElementColourAtTheMetal) {
    const std::string png = Temp("water.png");
    std::remove(png.c_str());
    const Outcome o = RunScene("render " + kWater + " -o " + png + " --size 400x300 --view 20,30,0");
    ASSERT_EQ(o.exitCode, 0) << o.err;

    const Structure s = ReadStructure(kWater);
    SceneOptions options;
    options.width = 400;
    options.height = 300;
    const Scene scene = BuildScene(s, options);
    View view;
    view.FitView(scene.root, 20, 30, 0, 400, 300, kTitleRoom);
    int mg = 0;
    while (s.atoms[static_cast<std::size_t>(mg)].element != "Mg") ++mg;
    const Tessary::Point3d at = view.Project(s.atoms[static_cast<std::size_t>(mg)].position);

    cairo_surface_t* image = cairo_image_surface_create_from_png(png.c_str());
    ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(image), 400);
    EXPECT_EQ(cairo_image_surface_get_height(image), 300);
    const unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    auto pixel = [&](int x, int y) {
        const auto* p = reinterpret_cast<const std::uint32_t*>(data + y * stride) + x;
        return *p;  // 0xAARRGGBB
    };
    const std::uint32_t centre = pixel(static_cast<int>(at.x), static_cast<int>(at.y));
    const int r = (centre >> 16) & 0xFF, g = (centre >> 8) & 0xFF, b = centre & 0xFF;
    // Magnesium is (138, 255, 0); the disc is shaded, so allow for light and shade.
    EXPECT_GT(g, 160);
    EXPECT_GT(g, r + 40);
    EXPECT_LT(b, 120);
    // A corner far from every atom shows the background.
    EXPECT_EQ(pixel(2, 298) & 0xFFFFFF, pixel(398, 298) & 0xFFFFFF);
    cairo_surface_destroy(image);
}

TEST(Cli, ArchiveStoresReloadsAndChecks) {
    const std::string scene = Temp("water.scene");
    std::remove(scene.c_str());
    const Outcome stored = RunScene("archive " + kWater + " -o " + scene);
    ASSERT_EQ(stored.exitCode, 0) << stored.err;
    EXPECT_NE(stored.out.find("compared equal and stored again byte-identical"), std::string::npos);
    const Outcome checked = RunScene("archive --check " + scene);
    EXPECT_EQ(checked.exitCode, 0) << checked.err;
    EXPECT_NE(checked.out.find(std::to_string(Slurp(scene).size()) + " bytes"), std::string::npos) << checked.out;
}

TEST(Cli, PickReportsTheAtomUnderThePixel) {
    const Structure s = ReadStructure(kWater);
    const Scene scene = BuildScene(s, SceneOptions());
    View view;
    view.FitView(scene.root, 0, 0, 0, 1200, 900, kTitleRoom);
    const Tessary::Point3d at = view.Project(s.atoms[0].position);
    const Outcome o = RunScene("pick " + kWater + " --at " + std::to_string(at.x) + "," + std::to_string(at.y));
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out.rfind("atom 1 O O 1 (id 1,", 0), 0u) << o.out;
    EXPECT_EQ(RunScene("pick " + kWater + " --at 1,1").exitCode, 1);
}

// Numbers that parse but cannot make a picture, and outputs that are not
// files to replace: each is refused with one line and exit code 2, leaving
// nothing behind and the output as it was.
TEST(Cli, UnusableNumbersAndOutputsAreRefused) {
    const std::string out = Temp("never.png");
    std::remove(out.c_str());
    const std::string fifo = Temp("fifo.png"), readOnly = Temp("readonly.png"), directory = Temp("dir.png");
    const std::string dangling = Temp("dangling.png"), readOnlyScene = Temp("readonly.scene");
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    for (const std::string& path : {readOnly, readOnlyScene}) {
        std::remove(path.c_str());
        Write(path, "keep me");
        ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    }
    rmdir(directory.c_str());
    ASSERT_EQ(mkdir(directory.c_str(), 0755), 0);
    std::remove(dangling.c_str());
    ASSERT_EQ(symlink(Temp("missing.png").c_str(), dangling.c_str()), 0);

    const std::string render = "render " + kWater + " -o " + out;
    const std::string pick = "pick " + kWater + " --at 600,450";
    const std::string cases[] = {
        // A turn of 1e308 degrees overflows the rotation to NaN.
        render + " --view 1e308,0,0",
        render + " --view 0,-1e308,0",
        render + " --view 0,0,36001",
        render + " --view inf,0,0",
        render + " --view nan,0,0",
        pick + " --view 1e308,0,0",
        // Pictures too large to hold in memory, even with each side allowed.
        render + " --size 100000x100000",
        render + " --size 16384x16384",
        render + " --size 16384.5x16",
        render + " --slab 1e300",
        render + " --slab 0",
        render + " --slab nan",
        render + " --model 1e300",
        render + " --model -1",
        // Picks outside the picture, or at no number.
        "pick " + kWater + " --at -1,450",
        "pick " + kWater + " --at 600,901",
        "pick " + kWater + " --at 1e308,1e308",
        "pick " + kWater + " --at nan,4",
        "pick " + kWater + " --at 200,200 --size 100x100",
        // Outputs that are not regular files the user may write.
        "render " + kWater + " -o " + fifo,
        "render " + kWater + " -o " + readOnly,
        "render " + kWater + " -o " + directory,
        "render " + kWater + " -o " + dangling,
        "render " + kWater + " -o /no/such/directory/x.png",
        "archive " + kWater + " -o " + fifo,
        "archive " + kWater + " -o " + readOnlyScene,
    };
    for (const std::string& args : cases) {
        SCOPED_TRACE(args);
        ExpectRefusal(RunScene(args));
        EXPECT_FALSE(Exists(out));
    }
    struct stat st;
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(Slurp(readOnly), "keep me");
    EXPECT_EQ(Slurp(readOnlyScene), "keep me");
    ASSERT_EQ(lstat(dangling.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_FALSE(Exists(Temp("missing.png")));
    for (const std::string& path : {fifo, readOnly, readOnlyScene, dangling}) std::remove(path.c_str());
    rmdir(directory.c_str());
}

bool IsPng(const std::string& path) { return Slurp(path).rfind("\x89PNG", 0) == 0; }

// Temporaries the writer may have left in `directory`.
int Leftovers(const std::string& directory) {
    int count = 0;
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) return -1;
    while (const dirent* entry = readdir(dir)) count += std::string(entry->d_name).rfind(".tessary-", 0) == 0;
    closedir(dir);
    return count;
}

TEST(Cli, OutputsAreWrittenThroughLinksWithTheirModeAndAnyName) {
    // A link is written through: the link stays, its target gets the picture.
    const std::string target = Temp("target.png"), link = Temp("link.png");
    std::remove(link.c_str());
    Write(target, "old");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    Outcome o = RunScene("render " + kWater + " -o " + link + " --size 64x64");
    ASSERT_EQ(o.exitCode, 0) << o.err;
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_TRUE(IsPng(target));

    // A replaced file keeps its permission bits.
    const std::string shared = Temp("shared.png");
    Write(shared, "old");
    ASSERT_EQ(chmod(shared.c_str(), 0640), 0);
    o = RunScene("render " + kWater + " -o " + shared + " --size 64x64");
    ASSERT_EQ(o.exitCode, 0) << o.err;
    ASSERT_EQ(stat(shared.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_TRUE(IsPng(shared));
    for (const std::string& path : {target, link, shared}) std::remove(path.c_str());

    // A name of 250 characters (the limit is 255) is written: the temporary
    // beside it has a short name of its own.
    std::string directory = Temp("dirXXXXXX");
    ASSERT_NE(mkdtemp(directory.data()), nullptr);
    const std::string longPath = directory + "/" + std::string(246, 'n') + ".png";
    o = RunScene("render " + kWater + " -o " + longPath + " --size 64x64");
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(IsPng(longPath));
    EXPECT_EQ(Leftovers(directory), 0);
    std::remove(longPath.c_str());
    rmdir(directory.c_str());
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define TESSARY_SCENE_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TESSARY_SCENE_SANITIZED 1
#endif

// Small files of crowded coordinates: 20,000 atoms at one point (160 KB,
// once 3 GB of pairs) and 5,000 oxygens around an iron (once 2.3 million
// bonds). Each runs within 400 MB of address space with few bonds.
TEST(Cli, CrowdedFilesRunInBoundedMemory) {
#ifdef TESSARY_SCENE_SANITIZED
    GTEST_SKIP() << "a sanitizer reserves more address space than the limit";
#else
    const std::string point = Temp("point.xyz"), shell = Temp("shell.xyz");
    {
        std::ofstream file(point);
        file << "20000\none point\n";
        for (int k = 0; k < 20000; ++k) file << "C 1.5 -2 3\n";
    }
    {
        std::ofstream file(shell);
        file << "5001\nshell\nFe 0 0 0\n";
        for (int k = 0; k < 5000; ++k) {
            const double y = 1.0 - 2.0 * (k + 0.5) / 5000, r = std::sqrt(1.0 - y * y), t = 2.399963229728653 * k;
            file << "O " << 2.0 * r * std::cos(t) << " " << 2.0 * y << " " << 2.0 * r * std::sin(t) << "\n";
        }
    }
    const std::string kLimit = "ulimit -v 400000; ";
    const auto bonds = [](const std::string& out) {
        const std::size_t at = out.find("\nbonds ");
        return at == std::string::npos ? -1L : std::stol(out.substr(at + 7));
    };
    for (const std::string& file : {point, shell}) {
        SCOPED_TRACE(file);
        const Outcome o = RunScene("info " + file, kLimit);
        ASSERT_EQ(o.exitCode, 0) << o.err;
        EXPECT_GE(bonds(o.out), 0) << o.out;
        EXPECT_LE(bonds(o.out), 20000) << o.out;
    }
    const std::string png = Temp("shell.png");
    const Outcome o = RunScene("render " + shell + " -o " + png + " --size 200x200", kLimit);
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(IsPng(png));
    for (const std::string& path : {point, shell, png}) std::remove(path.c_str());
#endif
}

}  // namespace
