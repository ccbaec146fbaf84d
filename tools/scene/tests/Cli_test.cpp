// The program as a user runs it: bad input ends with one line and exit
// code 2 and leaves no output behind; good input gives pictures whose
// pixels and shapes match the scene.

#include <gtest/gtest.h>

#include <cairo.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "MoleculePath.h"
#include "Scene.h"
#include "Structure.h"
#include "View.h"

using namespace TessaryScene;

namespace {

struct Outcome {
    int exitCode = -1;
    std::string out, err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) { return std::ifstream(path).good(); }

// Named after the running test: ctest runs the cases as parallel processes.
std::string Temp(const std::string& name) {
    return ::testing::TempDir() + "scene_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + name;
}

Outcome RunScene(const std::string& args) {
    const std::string out = Temp("stdout"), err = Temp("stderr");
    const int status = std::system((std::string(TESSARY_SCENE_PROGRAM) + " " + args + " >" + out + " 2>" + err).c_str());
    Outcome o;
    o.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.out = Slurp(out);
    o.err = Slurp(err);
    return o;
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

const std::string kWater = MoleculePath("water_cluster_Mg.xyz");

TEST(Cli, BadInputEndsWithOneLineAndExitCode2) {
    const std::string out = Temp("never.png");
    Write(Temp("notes.txt"), "ATOM\n");
    Write(Temp("empty.xyz"), "0\nnothing here\n");
    Write(Temp("junk.pdb"), "this is not a structure\n");
    Write(Temp("junk.bin"), "tessary-scene?");
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
    };
    for (const std::string& args : cases) {
        SCOPED_TRACE(args);
        const Outcome o = RunScene(args);
        EXPECT_EQ(o.exitCode, 2);
        EXPECT_EQ(o.out, "");
        ASSERT_FALSE(o.err.empty());
        EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
        EXPECT_EQ(o.err.rfind("tessary-scene: ", 0), 0u) << o.err;
        EXPECT_FALSE(Exists(out));
        EXPECT_FALSE(Exists(Temp("never.bmp")));
    }
}

TEST(Cli, EveryCommandHasHelp) {
    for (const char* command : {"render", "pick", "metals", "superpose", "archive", "info"}) {
        const Outcome o = RunScene(std::string(command) + " --help");
        EXPECT_EQ(o.exitCode, 0) << command;
        EXPECT_EQ(o.out.rfind(std::string("usage: tessary-scene ") + command, 0), 0u) << o.out;
    }
    EXPECT_EQ(RunScene("--help").exitCode, 0);
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

}  // namespace
