// The scene file end to end: a structure archived with the options of a
// picture renders, from the scene file, to exactly that picture.

#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "tessary/graphics/displaylist/DisplayList3D.h"

#include "MoleculePath.h"
#include "Scene.h"
#include "SceneArchive.h"
#include "SceneProgram.h"
#include "Structure.h"

using namespace scene_test;

namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

// Which pixels differ between two PNGs of the same size; -1 when a size differs.
long DifferentPixels(const std::string& a, const std::string& b) {
    const Surface first(cairo_image_surface_create_from_png(a.c_str()));
    const Surface second(cairo_image_surface_create_from_png(b.c_str()));
    EXPECT_EQ(cairo_surface_status(first.get()), CAIRO_STATUS_SUCCESS) << a;
    EXPECT_EQ(cairo_surface_status(second.get()), CAIRO_STATUS_SUCCESS) << b;
    const int width = cairo_image_surface_get_width(first.get()), height = cairo_image_surface_get_height(first.get());
    if (width == 0 || width != cairo_image_surface_get_width(second.get()) ||
        height != cairo_image_surface_get_height(second.get()))
        return -1;
    long different = 0;
    for (int y = 0; y < height; ++y) {
        const unsigned char* p = cairo_image_surface_get_data(first.get()) + y * cairo_image_surface_get_stride(first.get());
        const unsigned char* q = cairo_image_surface_get_data(second.get()) + y * cairo_image_surface_get_stride(second.get());
        for (int x = 0; x < width; ++x) different += std::memcmp(p + 4 * x, q + 4 * x, 4) != 0;
    }
    return different;
}

// Pixels of a PNG that are not the white background.
long InkedPixels(const std::string& path) {
    const Surface image(cairo_image_surface_create_from_png(path.c_str()));
    long inked = 0;
    for (int y = 0; y < cairo_image_surface_get_height(image.get()); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(image.get()) +
                                                                y * cairo_image_surface_get_stride(image.get()));
        for (int x = 0; x < cairo_image_surface_get_width(image.get()); ++x) inked += row[x] != 0xFFFFFFFFu;
    }
    return inked;
}

TEST(SceneFile, RendersExactlyTheStructuresPicture) {
    struct Case {
        const char* file;
        std::string build;  // options that build the scene: render of the structure and archive
        std::string view;   // options of the view: all three
        std::string slab;   // the slab: render of the structure and archive
    };
    const Case cases[] = {
        {"Fe_1brf_snip_reduced.pdb", "", "--view 20,30,0 --size 640x480", ""},
        {"Fe_1brf_snip_reduced.pdb", "--style spacefill", "--view 0,90,10 --size 500x420", "--slab 9"},
        {"2hhb.ent", "--color chain", "--view -30,15,0 --size 720x540", ""},
        // The legend drawn again, the labels placed again for the view.
        {"2hhb.ent", "--color bfactor --labels all", "--view 10,-20,0 --size 800x600", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.build + " " + c.view + " " + c.slab);
        const std::string structure = MoleculePath(c.file);
        const std::string direct = Temp("direct.png"), scene = Temp("scene.bin"), stored = Temp("stored.png");
        for (const std::string& path : {direct, scene, stored}) std::remove(path.c_str());

        Outcome o = RunScene("render " + structure + " -o " + direct + " " + c.build + " " + c.view + " " + c.slab);
        ASSERT_EQ(o.exitCode, 0) << o.err;
        o = RunScene("archive " + structure + " -o " + scene + " " + c.build + " " + c.view + " " + c.slab);
        ASSERT_EQ(o.exitCode, 0) << o.err;
        EXPECT_NE(o.out.find("compared equal"), std::string::npos) << o.out;
        o = RunScene("render " + scene + " -o " + stored + " " + c.view);
        ASSERT_EQ(o.exitCode, 0) << o.err;
        EXPECT_NE(o.out.find("scene file"), std::string::npos) << o.out;
        EXPECT_EQ(DifferentPixels(direct, stored), 0);
        EXPECT_GT(InkedPixels(stored), 20000);
    }
}

// The B-factor legend is part of the stored scene: the same texts (title and
// range) and colour samples come back from the file, at the same places.
TEST(SceneFile, KeepsTheLegend) {
    const std::string scene = Temp("legend.bin");
    const Outcome o = RunScene("archive " + MoleculePath("Fe_1brf_snip_reduced.pdb") + " -o " + scene +
                               " --color bfactor --size 640x480");
    ASSERT_EQ(o.exitCode, 0) << o.err;
    const std::string text = Slurp(scene);
    std::vector<unsigned char> bytes(text.begin(), text.end());
    const Tessary::DisplayList3D root = TessaryScene::SceneFromBytes(bytes);
    TessaryScene::SceneOptions options;
    options.coloring = TessaryScene::Coloring::BFactor;
    options.width = 640;
    options.height = 480;
    const TessaryScene::Scene built =
        TessaryScene::BuildScene(TessaryScene::ReadStructure(MoleculePath("Fe_1brf_snip_reduced.pdb")), options);
    ASSERT_EQ(root.GetNumTextStrings(), 3);
    EXPECT_STREQ(root.GetTextString(0).GetTextString().GetString(), TessaryScene::kLegendTitle);
    ASSERT_EQ(root.GetNumTextStrings(), built.root.GetNumTextStrings());
    for (int i = 0; i < root.GetNumTextStrings(); ++i) {
        EXPECT_STREQ(root.GetTextString(i).GetTextString().GetString(),
                     built.root.GetTextString(i).GetTextString().GetString());
        EXPECT_EQ(root.GetTextString(i).GetOrigin().x, built.root.GetTextString(i).GetOrigin().x);
        EXPECT_EQ(root.GetTextString(i).GetOrigin().y, built.root.GetTextString(i).GetOrigin().y);
    }
    ASSERT_EQ(root.GetNumRectangles(), TessaryScene::kLegendSamples + 1);
    ASSERT_EQ(root.GetNumRectangles(), built.root.GetNumRectangles());
    for (int i = 0; i < root.GetNumRectangles(); ++i) {
        EXPECT_EQ(root.GetRectangle(i).GetBackgroundColor(), built.root.GetRectangle(i).GetBackgroundColor()) << i;
        EXPECT_EQ(root.GetRectangle(i).GetOrigin().x, built.root.GetRectangle(i).GetOrigin().x) << i;
        EXPECT_EQ(root.GetRectangle(i).GetSize().x, built.root.GetRectangle(i).GetSize().x) << i;
    }
}

TEST(SceneFile, RenderRefusesWhatOnlyBuildsAScene) {
    const std::string scene = Temp("water.bin"), out = Temp("never.png");
    ASSERT_EQ(RunScene("archive " + MoleculePath("water_cluster_Mg.xyz") + " -o " + scene).exitCode, 0);
    for (const char* option : {"--style spacefill", "--color chain", "--no-ellipsoids", "--ellipsoids", "--probability 0.9",
                               "--model 1", "--slab 5", "--labels none"}) {
        SCOPED_TRACE(option);
        const Outcome o = RunScene("render " + scene + " -o " + out + " " + option);
        EXPECT_EQ(o.exitCode, 2);
        EXPECT_NE(o.err.find("scene file"), std::string::npos) << o.err;
        EXPECT_FALSE(std::ifstream(out).good());
    }
    // A damaged scene file is reported as one.
    std::string bytes = Slurp(scene);
    bytes.resize(bytes.size() / 2);
    std::ofstream(Temp("half.bin"), std::ios::binary) << bytes;
    const Outcome o = RunScene("render " + Temp("half.bin") + " -o " + out);
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_NE(o.err.find("not a scene file"), std::string::npos) << o.err;
}

// A stored tree of any depth is checked and drawn on the program's own
// stack: the one sphere at the bottom of a 20,000-deep chain shows.
TEST(SceneFile, DeepChainChecksAndRenders) {
    Tessary::DisplayList3D root;
    Tessary::DisplayList3D* bottom = &root;
    for (int level = 0; level < 20000; ++level) {
        bottom->Add(Tessary::DisplayList3D());
        bottom = &bottom->GetDisplayList(0);
    }
    bottom->Add(Tessary::SpherePrimitive(Tessary::Point3d(1, 2, 3), 2, Tessary::Color(200, 30, 30), 7));
    const std::vector<unsigned char> bytes = TessaryScene::SceneBytes(root);
    const std::string scene = Temp("deep.scene"), png = Temp("deep.png");
    std::ofstream(scene, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<std::streamsize>(bytes.size()));
    const Outcome check = RunScene("archive --check " + scene);
    EXPECT_EQ(check.exitCode, 0) << check.err;
    const Outcome render = RunScene("render " + scene + " --size 64x64 -o " + png);
    ASSERT_EQ(render.exitCode, 0) << render.err;
    const Surface image(cairo_image_surface_create_from_png(png.c_str()));
    ASSERT_EQ(cairo_surface_status(image.get()), CAIRO_STATUS_SUCCESS);
    // Any clearly red pixel (ARGB32, little-endian: B, G, R, A).
    const unsigned char* data = cairo_image_surface_get_data(image.get());
    const int stride = cairo_image_surface_get_stride(image.get());
    int red = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const unsigned char* p = data + y * stride + 4 * x;
            red += p[2] > p[1] + 80 ? 1 : 0;
        }
    EXPECT_GT(red, 100) << "the sphere at the bottom of the chain is drawn";
}

}  // namespace
