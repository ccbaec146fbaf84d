// Labels: the text naming an atom, placement clear of each other and inside
// the picture, the view's room for them, the --labels sets, and the B-factor
// legend of the overlay.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "Fragment.h"
#include "Labels.h"
#include "MetalSites.h"
#include "MoleculePath.h"
#include "Render.h"
#include "Scene.h"
#include "SceneProgram.h"
#include "Structure.h"
#include "View.h"

using namespace TessaryScene;
using namespace scene_test;
using Tessary::Color;
using Tessary::DisplayList3D;
using Tessary::Point3d;

namespace {

Atom MakeAtom(const std::string& name, const std::string& element, const std::string& residue, int number,
              const std::string& chain, const Point3d& position, double bFactor = 20.0) {
    Atom a;
    a.name = name;
    a.element = element;
    a.residueName = residue;
    a.residueNumber = number;
    a.chain = chain;
    a.residueKind = residue.empty() ? ResidueKind::None : ResidueKind::Ligand;
    a.position = position;
    a.bFactor = bFactor;
    return a;
}

// An Fe4S4 cubane (SF4 101 A, Fe-S 2.3 A) held by four cysteine SG atoms.
Structure Cubane() {
    Structure s;
    s.title = "CUBANE";
    s.modelCount = 1;
    const double h = 1.15;
    const int fe[4][3] = {{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}};
    for (int i = 0; i < 4; ++i) {
        const Point3d p(static_cast<float>(h * fe[i][0]), static_cast<float>(h * fe[i][1]),
                        static_cast<float>(h * fe[i][2]));
        s.atoms.push_back(MakeAtom("FE" + std::to_string(i + 1), "Fe", "SF4", 101, "A", p));
        s.atoms.push_back(MakeAtom("S" + std::to_string(i + 1), "S", "SF4", 101, "A", -p));
    }
    for (int i = 0; i < 4; ++i) {
        Point3d out = s.atoms[static_cast<std::size_t>(2 * i)].position;
        out = out + out * static_cast<float>(2.3 / std::sqrt(3.0) / h);
        Atom sg = MakeAtom("SG", "S", "CYS", 5 + 10 * i, "A", out);
        sg.residueKind = ResidueKind::Polymer;
        s.atoms.push_back(sg);
    }
    s.chains = {{"A", 0, static_cast<int>(s.atoms.size())}};
    return s;
}

// 30 zinc ions packed into a ball 4 angstroms across (evenly spread
// directions, radii growing outwards): far more labels than room.
Structure ZincCrowd() {
    std::string xyz = "30\ncrowd\n";
    for (int k = 0; k < 30; ++k) {
        const double y = 1.0 - 2.0 * (k + 0.5) / 30, r = std::sqrt(1.0 - y * y), t = 2.399963229728653 * k;
        const double radius = 0.8 + 1.2 * k / 29.0;
        xyz += "Zn " + std::to_string(radius * r * std::cos(t)) + " " + std::to_string(radius * y) + " " +
               std::to_string(radius * r * std::sin(t)) + "\n";
    }
    return ParseFragment(xyz);
}

std::vector<std::string> LabelTexts(const DisplayList3D& root) {
    std::vector<std::string> texts;
    for (int c = 0; c < root.GetNumDisplayLists(); ++c) {
        const DisplayList3D& list = root.GetDisplayList(c);
        for (int i = 0; i < list.GetNumText3D(); ++i) texts.push_back(list.GetText3D(i).GetText());
    }
    return texts;
}

TEST(Labels, NameTheAtom) {
    Atom insertion = MakeAtom("SG", "S", "CYS", 52, "B", Point3d());
    insertion.insertionCode = 'A';
    struct Case {
        Atom atom;
        const char* label;
    };
    const Case cases[] = {
        {MakeAtom("FE1", "Fe", "SF4", 101, "A", Point3d()), "FE1 SF4 101 A"},
        {MakeAtom("ZN", "Zn", "ZN", 301, "", Point3d()), "ZN ZN 301"},  // no chain
        {insertion, "SG CYS 52A B"},
        {MakeAtom("Fe", "Fe", "", 12, "", Point3d()), "Fe12"},  // an XYZ atom: its element and number
        {MakeAtom("Fe2", "Fe", "", 7, "", Point3d()), "Fe2"},   // a named atom without residue
    };
    for (const Case& c : cases) EXPECT_EQ(AtomLabel(c.atom), c.label);
}

// Old scenes wrote "Fe 101 A" four times for one cluster.
TEST(Labels, ClusterMetalsAreToldApart) {
    const Structure s = Cubane();
    SceneOptions options;
    options.labels = LabelSet::Metals;
    const std::vector<std::string> texts = LabelTexts(BuildScene(s, options).root);
    EXPECT_EQ(texts, (std::vector<std::string>{"FE1 SF4 101 A", "FE2 SF4 101 A", "FE3 SF4 101 A", "FE4 SF4 101 A"}));
}

// Each set: metals first, then each donor atom once (the cubane's S bind
// three Fe each), nothing for none.
TEST(Labels, SetsChooseTheAtoms) {
    const Structure s = Cubane();
    const std::vector<MetalSite> sites = FindMetalSites(s);
    ASSERT_EQ(sites.size(), 4u);
    std::set<int> donors;
    for (const MetalSite& site : sites)
        for (const Ligand& l : site.ligands) donors.insert(l.atom);
    ASSERT_EQ(donors.size(), 8u) << "4 cubane S and 4 SG";
    struct Case {
        LabelSet set;
        std::size_t count;
    };
    for (const Case& c : {Case{LabelSet::None, 0}, Case{LabelSet::Metals, 4}, Case{LabelSet::All, 4 + donors.size()}}) {
        SceneOptions options;
        options.labels = c.set;
        const std::vector<std::string> texts = LabelTexts(BuildScene(s, options).root);
        ASSERT_EQ(texts.size(), c.count);
        for (std::size_t i = 0; i < std::min<std::size_t>(4, texts.size()); ++i)
            EXPECT_EQ(texts[i].rfind("FE", 0), 0u) << texts[i] << ": metals come first";
        EXPECT_EQ(std::set<std::string>(texts.begin(), texts.end()).size(), texts.size()) << "no atom twice";
        if (c.set == LabelSet::All) {
            EXPECT_NE(std::find(texts.begin(), texts.end(), "SG CYS 5 A"), texts.end());
        }
    }
}

// Placement by itself: exact outcomes of small layouts.
TEST(Labels, PlacementKeepsInsideAndClear) {
    const LabelSize size{60, 16, 13};
    const double width = 400, height = 300;
    struct Case {
        const char* name;
        std::vector<LabelRequest> requests;
        std::vector<PixelBox> obstacles;
        int dropped;
    };
    // Dots every 10 pixels leave no room for a label; very many shapes on one spot leave the rest free.
    std::vector<PixelBox> dots, stack(100000, PixelBox{0, 0, 50, 50});
    for (int y = 0; y < height; y += 10)
        for (int x = 0; x < width; x += 10) dots.push_back({x + 0.5, y + 0.5, 1, 1});
    const Case cases[] = {
        {"dotted overlay", {{200, 150, size}}, dots, 1},
        {"stacked overlay", {{20, 20, size}, {200, 150, size}}, stack, 1},  // the first has no spot clear of it
        {"right edge: goes left", {{399, 150, size}}, {}, 0},
        {"top edge: goes below", {{200, 1, size}}, {}, 0},
        {"corner", {{399, 299, size}}, {}, 0},
        {"covered by the overlay", {{200, 150, size}}, {{0, 0, width, height}}, 1},
        {"wider than the picture", {{200, 150, LabelSize{500, 16, 13}}}, {}, 1},
        {"under the title", {{200, 30, size}}, {{12, 12, 376, 28}}, 0},
        {"outside the picture", {{-500, 150, size}}, {}, 1},
        {"no finite image", {{std::nan(""), 150, size}}, {}, 1},
        {"same atom twice", {{200, 150, size}, {200, 150, size}}, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LabelPlacement p = PlaceLabels(c.requests, width, height, c.obstacles);
        EXPECT_EQ(p.dropped, c.dropped);
        for (std::size_t i = 0; i < c.requests.size(); ++i) {
            if (!p.placed[i]) continue;
            EXPECT_TRUE(p.boxes[i].Inside(width, height));
            for (const PixelBox& o : c.obstacles) EXPECT_FALSE(p.boxes[i].Overlaps(o));
            for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(p.placed[j] && p.boxes[i].Overlaps(p.boxes[j]));
        }
    }
    // Many labels on one spot: each spot at most once, the rest counted.
    const std::vector<LabelRequest> pile(40, LabelRequest{200, 150, size});
    const LabelPlacement p = PlaceLabels(pile, width, height, {});
    const long placed = std::count(p.placed.begin(), p.placed.end(), true);
    EXPECT_GE(placed, 4);
    EXPECT_LE(placed, kLabelSpots);
    EXPECT_EQ(p.dropped, 40 - placed);
}

// Where the picture takes them: a fitted view of a built scene, laid out as
// the renderer draws it. Every placed box lies inside the picture, clear of
// the others and of the overlay (the title); the rest are counted.
void ExpectTidyLabels(const Structure& s, const SceneOptions& options, int& placed, int& dropped) {
    const Scene scene = BuildScene(s, options);
    View view;
    ASSERT_TRUE(view.FitView(scene.root, 20, 30, 0, options.width, options.height, kTitleRoom));
    const SceneLabels layout = LayOutLabels(scene.root, view);
    ASSERT_EQ(layout.labels.size(), LabelTexts(scene.root).size());
    ASSERT_FALSE(layout.overlay.empty()) << "the title";
    placed = 0;
    const auto& boxes = layout.placement.boxes;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (!layout.placement.placed[i]) continue;
        ++placed;
        EXPECT_TRUE(boxes[i].Inside(options.width, options.height)) << layout.labels[i]->GetText();
        for (const PixelBox& o : layout.overlay) EXPECT_FALSE(boxes[i].Overlaps(o)) << layout.labels[i]->GetText();
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_FALSE(layout.placement.placed[j] && boxes[i].Overlaps(boxes[j]))
                << layout.labels[i]->GetText() << " / " << layout.labels[j]->GetText();
    }
    dropped = layout.placement.dropped;
    EXPECT_EQ(placed + dropped, static_cast<int>(boxes.size()));
}

TEST(Labels, CrowdsArePlacedWithoutOverlap) {
    struct Case {
        const char* name;
        Structure structure;
        LabelSet set;
        int width, height;
        bool allPlaced;
    };
    const Case cases[] = {
        {"cubane", Cubane(), LabelSet::Metals, 1200, 900, true},
        {"cubane, donors too", Cubane(), LabelSet::All, 1200, 900, true},
        {"30 zinc in a small picture", ZincCrowd(), LabelSet::Metals, 300, 240, false},
        {"30 zinc", ZincCrowd(), LabelSet::Metals, 1200, 900, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SceneOptions options;
        options.labels = c.set;
        options.width = c.width;
        options.height = c.height;
        int placed = 0, dropped = 0;
        ExpectTidyLabels(c.structure, options, placed, dropped);
        EXPECT_GT(placed, 0);
        if (c.allPlaced) {
            EXPECT_EQ(dropped, 0);
        }
    }
}

// A metal at each extreme of the picture: the fit leaves room for its label
// at the first spot tried, so it stays there and inside the picture.
TEST(Labels, EdgeLabelsStayInside) {
    struct Case {
        const char* name;
        Point3d metal;
    };
    const Case cases[] = {
        {"right", Point3d(30, 0, 0)}, {"left", Point3d(-30, 0, 0)}, {"top", Point3d(0, 20, 0)},
        {"bottom", Point3d(0, -20, 0)}, {"top right", Point3d(30, 20, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Structure s;
        s.modelCount = 1;
        // A carbon chain across the middle and the long-named metal out at the edge.
        for (int k = -10; k <= 10; ++k)
            s.atoms.push_back(MakeAtom("C" + std::to_string(k + 11), "C", "LIG", 1, "A", Point3d(1.5f * k, 0, 0)));
        s.atoms.push_back(MakeAtom("ZN", "Zn", "ZN", 1201, "A", c.metal));
        s.chains = {{"A", 0, static_cast<int>(s.atoms.size())}};
        SceneOptions options;
        options.width = 400;
        options.height = 300;
        const Scene scene = BuildScene(s, options);
        View view;
        ASSERT_TRUE(view.FitView(scene.root, 0, 0, 0, options.width, options.height, kTitleRoom));
        const SceneLabels layout = LayOutLabels(scene.root, view);
        ASSERT_EQ(layout.labels.size(), 1u);
        ASSERT_TRUE(layout.placement.placed[0]);
        const Point3d at = view.Project(c.metal);
        const TextMeasure measure;
        const PixelBox first =
            LabelSpot(at.x, at.y, MeasureLabel(measure.Context(), layout.labels[0]->GetFont(), "ZN ZN 1201 A"), 0);
        EXPECT_TRUE(first.Inside(options.width, options.height));
        EXPECT_GE(first.y, kTitleRoom) << "below the title's room";
        EXPECT_EQ(layout.placement.boxes[0].x, first.x);
        EXPECT_EQ(layout.placement.boxes[0].y, first.y);
        // The atoms stay in the picture too.
        for (const Atom& a : s.atoms) {
            const Point3d p = view.Project(a.position);
            EXPECT_GE(p.x, 0);
            EXPECT_LE(p.x, options.width);
            EXPECT_GE(p.y, kTitleRoom);
            EXPECT_LE(p.y, options.height);
        }
    }
}

// ---- the legend -----------------------------------------------------------------

struct Legend {
    bool found = false;
    std::vector<std::string> texts;  // title, low end, high end
    std::vector<PixelBox> rectangles;
    std::vector<Color> samples;
};

Legend FindLegend(const DisplayList3D& root) {
    Legend legend;
    for (int i = 0; i < root.GetNumTextStrings(); ++i) legend.texts.push_back(root.GetTextString(i).GetTextString().GetString());
    for (int i = 0; i < root.GetNumRectangles(); ++i) {
        const auto& r = root.GetRectangle(i);
        legend.rectangles.push_back({r.GetOrigin().x, r.GetOrigin().y, r.GetSize().x, r.GetSize().y});
        if (i > 0) legend.samples.push_back(r.GetBackgroundColor());  // after the panel
    }
    legend.found = !legend.texts.empty() && legend.texts.front() == kLegendTitle;
    return legend;
}

// The colour an atom is drawn in: its sphere or ellipsoid, found by its ID.
Color AtomColor(const Scene& scene, int atom) {
    for (int c = 0; c < scene.root.GetNumDisplayLists(); ++c) {
        const DisplayList3D& list = scene.root.GetDisplayList(c);
        for (int i = 0; i < list.GetNumOpaqueSpheres(); ++i)
            if (list.GetOpaqueSphere(i).GetID() == scene.AtomID(atom)) return list.GetOpaqueSphere(i).GetColor();
        for (int i = 0; i < list.GetNumOpaqueEllipsoids(); ++i)
            if (list.GetOpaqueEllipsoid(i).GetID() == scene.AtomID(atom)) return list.GetOpaqueEllipsoid(i).GetColor();
    }
    ADD_FAILURE() << "no primitive for atom " << atom;
    return Color();
}

TEST(Legend, ShowsTheRampAndTheRangeOfBFactorColours) {
    for (const char* file : {"2hhb.ent", "Fe_1brf_snip_reduced.pdb"}) {
        SCOPED_TRACE(file);
        const Structure s = ReadStructure(MoleculePath(file));
        SceneOptions options;
        options.coloring = Coloring::BFactor;
        const Scene scene = BuildScene(s, options);
        const Legend legend = FindLegend(scene.root);
        ASSERT_TRUE(legend.found);
        ASSERT_EQ(legend.texts.size(), 3u);
        const auto low = std::min_element(s.atoms.begin(), s.atoms.end(),
                                          [](const Atom& a, const Atom& b) { return a.bFactor < b.bFactor; });
        const auto high = std::max_element(s.atoms.begin(), s.atoms.end(),
                                           [](const Atom& a, const Atom& b) { return a.bFactor < b.bFactor; });
        EXPECT_NEAR(std::atof(legend.texts[1].c_str()), low->bFactor, 0.005) << legend.texts[1];
        EXPECT_NEAR(std::atof(legend.texts[2].c_str()), high->bFactor, 0.005) << legend.texts[2];
        // The bar's ends are the colours of the coolest and the hottest atom.
        ASSERT_EQ(legend.samples.size(), static_cast<std::size_t>(kLegendSamples));
        EXPECT_EQ(legend.samples.front(), AtomColor(scene, static_cast<int>(low - s.atoms.begin())));
        EXPECT_EQ(legend.samples.back(), AtomColor(scene, static_cast<int>(high - s.atoms.begin())));
        EXPECT_NE(legend.samples.front(), legend.samples.back());
        // Inside the picture, below the title's room, so clear of the title.
        for (const PixelBox& r : legend.rectangles) {
            EXPECT_TRUE(r.Inside(options.width, options.height));
            EXPECT_GE(r.y, kTitleRoom);
        }
        // The view keeps the atoms above the legend's panel, as the program fits it.
        const int room = BottomRoom(scene.root, options.height);
        EXPECT_EQ(room, options.height - static_cast<int>(legend.rectangles.front().y));
        View view;
        ASSERT_TRUE(view.FitView(scene.root, 0, 0, 0, options.width, options.height, kTitleRoom, room));
        for (const Atom& a : s.atoms) EXPECT_LT(view.Project(a.position).y, legend.rectangles.front().y);
        // Drawn as laid out: the title callout's box overlaps nothing of the legend.
        const SceneLabels layout = LayOutLabels(scene.root, view);
        const PixelBox& title = layout.overlay.back();  // the root's callout comes last
        EXPECT_LT(title.y, kTitleRoom);
        for (std::size_t i = 0; i + 1 < layout.overlay.size(); ++i) EXPECT_FALSE(title.Overlaps(layout.overlay[i])) << i;
    }
}

TEST(Legend, OnlyForBFactorColoursAndWhereItFits) {
    const Structure s = ReadStructure(MoleculePath("Fe_1brf_snip_reduced.pdb"));
    struct Case {
        Coloring coloring;
        int width, height;
        bool legend;
    };
    const Case cases[] = {
        {Coloring::Element, 1200, 900, false},
        {Coloring::Chain, 1200, 900, false},
        {Coloring::BFactor, 1200, 900, true},
        {Coloring::BFactor, 200, 150, true},
        {Coloring::BFactor, 64, 64, false},  // no room below the title
    };
    for (const Case& c : cases) {
        SceneOptions options;
        options.coloring = c.coloring;
        options.width = c.width;
        options.height = c.height;
        const Scene scene = BuildScene(s, options);
        const Legend legend = FindLegend(scene.root);
        EXPECT_EQ(legend.found, c.legend) << static_cast<int>(c.coloring) << " " << c.width;
        if (!c.legend) {
            EXPECT_EQ(BottomRoom(scene.root, c.height), 0);
            EXPECT_EQ(scene.root.GetNumRectangles(), 0);
            EXPECT_EQ(scene.root.GetNumTextStrings(), 0);
        }
    }
}

// ---- the command line -----------------------------------------------------------

int CountOf(const std::string& info, const std::string& kind) {
    const std::size_t at = info.find("  " + kind + " ");
    return at == std::string::npos ? 0 : std::atoi(info.c_str() + at + kind.size() + 3);
}

TEST(LabelsCli, SetsCountTheirAtoms) {
    for (const char* file : {"2hhb.ent", "water_cluster_Mg.xyz", "1ubq.pdb"}) {
        SCOPED_TRACE(file);
        const std::string path = MoleculePath(file);
        const Structure s = ReadStructure(path);
        const std::vector<MetalSite> sites = FindMetalSites(s);
        std::set<int> donors;
        for (const MetalSite& site : sites)
            for (const Ligand& l : site.ligands) donors.insert(l.atom);
        struct Case {
            const char* option;
            std::size_t labels;
        };
        const Case cases[] = {
            {"", sites.size()},
            {"--labels metals", sites.size()},
            {"--labels all", sites.size() + donors.size()},
            {"--labels none", 0},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.option);
            const Outcome o = RunScene("info " + path + " " + c.option);
            ASSERT_EQ(o.exitCode, 0) << o.err;
            EXPECT_EQ(CountOf(o.out, "Text3D"), static_cast<int>(c.labels)) << o.out;
        }
    }
    ExpectRefusal(RunScene("info " + MoleculePath("2hhb.ent") + " --labels some"));
    ExpectRefusal(RunScene("metals " + MoleculePath("2hhb.ent") + " --labels all"));
    EXPECT_NE(RunScene("render --help").out.find("--labels"), std::string::npos);
}

// Labels without room are counted on stderr, as many as the layout drops;
// a picture where all fit says nothing.
TEST(LabelsCli, DroppedLabelsAreCountedOnStderr) {
    const std::string crowd = Temp("crowd.xyz"), png = Temp("crowd.png");
    std::string xyz = "30\ncrowd\n";
    const Structure zinc = ZincCrowd();
    for (const Atom& a : zinc.atoms)
        xyz += "Zn " + std::to_string(a.position.x) + " " + std::to_string(a.position.y) + " " +
               std::to_string(a.position.z) + "\n";
    Write(crowd, xyz);

    SceneOptions options;
    options.width = 300;
    options.height = 240;
    const Scene scene = BuildScene(ReadStructure(crowd), options);
    View view;
    ASSERT_TRUE(view.FitView(scene.root, 0, 0, 0, options.width, options.height, kTitleRoom));
    const int dropped = LayOutLabels(scene.root, view).placement.dropped;
    ASSERT_GT(dropped, 0);

    const Outcome o = RunScene("render " + crowd + " -o " + png + " --size 300x240");
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.err, "tessary-scene: " + std::to_string(dropped) + " of 30 labels left out (no free spot beside their atoms)\n");

    const Outcome roomy = RunScene("render " + MoleculePath("2hhb.ent") + " -o " + png + " --labels all");
    ASSERT_EQ(roomy.exitCode, 0) << roomy.err;
    EXPECT_EQ(roomy.err, "");
}

}  // namespace
