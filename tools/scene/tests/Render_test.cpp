#include "Render.h"

#include <cairo-svg.h>
#include <cairo.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "Structure.h"
#include "View.h"

namespace TessaryScene {
namespace {

namespace fs = std::filesystem;
using namespace Tessary;

class FontCaches : public ::testing::Environment {
public:
    void TearDown() override { ReleaseFontCaches(); }
};
const auto* const kFontCaches = ::testing::AddGlobalTestEnvironment(new FontCaches);

constexpr int kWidth = 400, kHeight = 300;
const Color kRed(220, 30, 30), kBlue(30, 30, 220), kGreen(30, 200, 30), kYellow(250, 250, 0), kGrey(128, 128, 128);
const Color kGlass(0, 200, 0, 128);
const Point3d kA(0, 0, 0), kB(4, 0, 0), kChildOrigin(0, -4, 0), kClipped(2, -4, 0);

// Two spheres joined by a grey bond, a transparent tetrahedron above them, a
// label, a callout pointing at B, a child list moved down holding a green
// sphere, and a plane that cuts away the yellow sphere of the root.
DisplayList3D TestScene() {
    DisplayList3D root;
    root.Add(SpherePrimitive(kA, 1.0, kRed, 1));
    root.Add(SpherePrimitive(kB, 1.0, kBlue, 2));
    root.Add(SpherePrimitive(kClipped, 1.0, kYellow, 3));
    root.Add(CylinderPrimitive(kA, kGrey, kB, kGrey, 0.2, 4));
    TetrahedronPrimitive tetra(Point3d(1, 2, 0), Point3d(3, 2, 0), Point3d(2, 3.5, 0), Point3d(2, 2.5, 1));
    tetra.SetColor(kGlass);
    root.Add(tetra);
    root.Add(Text3DPrimitive("A", kA, Color(0, 0, 0), 5));
    TextCalloutPrimitive callout(kB + Point3d(0, 0.9, 0), 80.0f, false, "B", Font(), Point2d(10, 10), true, Color(0, 0, 0), 1, true,
                                 Color(255, 255, 200), 6);
    root.Add(callout);
    root.SetClipPlane(0, Plane(Point3d(0, -2, 0), Point3d(0, 1, 0)));  // keeps y >= -2
    root.SetClipPlaneEnabled(0, true);

    DisplayList3D child;
    Matrix4x4 move(Matrix4x4::IdentityMatrix);
    move.SetTranslation(kChildOrigin);
    child.SetLocalTransformation(move);
    child.Add(SpherePrimitive(Point3d(0, 0, 0), 1.0, kGreen, 7));
    root.Add(child);
    return root;
}

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("tessary_render_" + std::to_string(getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    fs::path m_dir;
};

struct Image {
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface{nullptr, cairo_surface_destroy};
    // R, G, B at a pixel (the image is opaque, so unpremultiplied).
    Color At(double x, double y) const {
        const int ix = static_cast<int>(x), iy = static_cast<int>(y);
        const unsigned char* data = cairo_image_surface_get_data(surface.get());
        const auto pixel =
            *reinterpret_cast<const std::uint32_t*>(data + iy * cairo_image_surface_get_stride(surface.get()) + 4 * ix);
        return Color(int(pixel >> 16 & 255), int(pixel >> 8 & 255), int(pixel & 255));
    }
};

Image ReadPng(const std::string& path) {
    Image image;
    image.surface.reset(cairo_image_surface_create_from_png(path.c_str()));
    EXPECT_EQ(cairo_surface_status(image.surface.get()), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(image.surface.get()), kWidth);
    EXPECT_EQ(cairo_image_surface_get_height(image.surface.get()), kHeight);
    return image;
}

void ExpectNear(Color got, Color want, int tolerance, const char* what) {
    EXPECT_NEAR(got.GetR(), want.GetR(), tolerance) << what;
    EXPECT_NEAR(got.GetG(), want.GetG(), tolerance) << what;
    EXPECT_NEAR(got.GetB(), want.GetB(), tolerance) << what;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(RenderTest, PngShowsTheSceneThroughTheView) {
    const DisplayList3D scene = TestScene();
    View view;
    view.FitView(scene, 0, 0, 0, kWidth, kHeight);
    Render(scene, view, Path("scene.png"));
    const Image image = ReadPng(Path("scene.png"));

    const struct {
        Point3d world;
        Color color;
        const char* what;
    } spheres[] = {{kA, kRed, "sphere A"}, {kB, kBlue, "sphere B"}, {kChildOrigin, kGreen, "sphere in the moved child"}};
    for (const auto& s : spheres) {
        const Point3d p = view.Project(s.world);
        ExpectNear(image.At(p.x, p.y), s.color, 30, s.what);
    }
    ExpectNear(image.At(2, kHeight - 2), Color::White(), 0, "background");
    const Point3d clipped = view.Project(kClipped);
    ExpectNear(image.At(clipped.x, clipped.y), Color::White(), 0, "clipped sphere");
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const Color c = image.At(x, y);
            ASSERT_FALSE(c.GetR() > 200 && c.GetG() > 200 && c.GetB() < 60) << "yellow at " << x << "," << y;
        }

    // The bond stops where it leaves sphere A: inside A's disc on the axis it is A's red.
    const Point3d insideA = view.Project(Point3d(0.6, 0, 0));
    const Color a = image.At(insideA.x, insideA.y);
    EXPECT_GT(a.GetR(), a.GetG() + 60);
    const Point3d bond = view.Project(Point3d(2, 0, 0));
    const Color b = image.At(bond.x, bond.y);
    EXPECT_NEAR(b.GetR(), b.GetG(), 12);
    EXPECT_NEAR(b.GetG(), b.GetB(), 12);

    // The glass tetrahedron lets the white through.
    const Point3d glass = view.Project(Point3d(2, 2.4, 0.25));
    const Color g = image.At(glass.x, glass.y);
    EXPECT_GT(g.GetG(), g.GetR() + 20);
    EXPECT_GT(g.GetR(), 60);

    // The callout's filled box, and its leader line to B.
    ExpectNear(image.At(80, 14), Color(255, 255, 200), 2, "callout box");
    const Point3d anchor = view.Project(kB + Point3d(0, 0.9, 0));
    int darkest = 255;
    const double mx = 0.5 * (anchor.x + 90), my = 0.5 * (anchor.y + 20);
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) darkest = std::min<int>(darkest, image.At(mx + dx, my + dy).GetG());
    EXPECT_LT(darkest, 120) << "leader line";
}

TEST_F(RenderTest, EllipsoidOutlineFollowsItsLongAxis) {
    // Semi-axes 3, 1, 1 along world x; seen turned 90 degrees about z, the long axis stands upright.
    DisplayList3D scene;
    scene.Add(EllipsoidPrimitive(Point3d(0, 0, 0), Point3d(3, 1, 1), Matrix4x4(Matrix4x4::IdentityMatrix), kBlue, 1));
    scene.Add(DotPrimitive(Point3d(-4, -4, 0), kGrey, 1, 2));
    scene.Add(DotPrimitive(Point3d(4, 4, 0), kGrey, 1, 3));
    View view;
    view.FitView(scene, 0, 0, 90, kWidth, kHeight);
    Render(scene, view, Path("ellipsoid.png"));
    const Image image = ReadPng(Path("ellipsoid.png"));
    const Point3d c = view.Project(Point3d(0, 0, 0));
    const double s = view.GetScale();
    const struct {
        double dx, dy;
        bool inside;
    } probes[] = {{0, 2.6, true}, {0, -2.6, true}, {0.8, 0, true}, {1.3, 0, false}, {-1.3, 0, false}, {0, 3.3, false}};
    for (const auto& p : probes) {
        const Color got = image.At(c.x + p.dx * s, c.y + p.dy * s);
        EXPECT_EQ(got.GetR() == 255 && got.GetG() == 255, !p.inside) << p.dx << "," << p.dy;
    }
}

TEST_F(RenderTest, DashesFollowCountAndStipple) {
    // Dark or light pixels along a black line 3 pixels wide: `at` in pixels
    // from its start for stipples (a pixel a bit), in eighths of its length for counted dashes.
    const struct {
        const char* what;
        bool stipple;
        int dashes;
        bool startBlank;
        unsigned short pattern;
        std::vector<std::pair<double, bool>> dark;
    } cases[] = {
        {"4 dashes", false, 4, false, 0, {{0.5, true}, {1.5, false}, {2.5, true}, {5.5, false}, {6.5, true}}},
        {"4 dashes, blank first", false, 4, true, 0, {{0.5, false}, {1.5, true}, {4.5, false}, {7.5, true}}},
        {"low byte on", true, 0, false, 0x00FF, {{4, true}, {12, false}, {20, true}, {28, false}}},
        {"nibbles, off first", true, 0, false, 0xF0F0, {{2, false}, {6, true}, {10, false}, {14, true}, {18, false}}},
        {"gap inside", true, 0, false, 0xFF0F, {{2, true}, {6, false}, {12, true}, {18, true}, {22, false}}},
    };
    for (const auto& c : cases) {
        const Point3d end1(0, 0, 0), end2(10, 0, 0);
        DisplayList3D scene;
        if (c.stipple) {
            LineArrayPrimitive::LineArray lines;
            lines.Add(LinePrimitive(end1, end2, Color(0, 0, 0), 1, 1));
            scene.Add(LineArrayPrimitive(3.0f, lines, true, c.pattern));
        } else {
            scene.Add(DashedLinePrimitive(end1, end2, Color(0, 0, 0), 3, c.dashes, c.startBlank, 1));
        }
        View view;
        view.FitView(scene, 0, 0, 0, kWidth, kHeight);
        Render(scene, view, Path("dash.png"));
        const Image image = ReadPng(Path("dash.png"));
        const Point3d p = view.Project(end1), q = view.Project(end2);
        for (const auto& [at, dark] : c.dark) {
            const double x = c.stipple ? p.x + at : p.x + at / 8.0 * (q.x - p.x);
            EXPECT_EQ(image.At(x, p.y).GetG() < 100, dark) << c.what << " at " << at;
        }
    }
}

std::size_t Occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// What an SVG of Render's holds (see Render.h): the placements of ball
// stamps (stamps holding a radial gradient), and the gradients defined.
struct SvgCounts {
    std::size_t balls = 0, radialGradients = 0, linearGradients = 0;
};
SvgCounts CountSvg(const std::string& svg) {
    SvgCounts counts;
    const std::string stampStart = "<g id=\"surface";
    for (std::size_t at = svg.find(stampStart); at != std::string::npos; at = svg.find(stampStart, at + 1)) {
        const std::size_t idStart = at + 7;
        const std::string id = svg.substr(idStart, svg.find('"', idStart) - idStart);
        // The stamp's group ends at its own </g>.
        std::size_t pos = at + 1, end = std::string::npos;
        for (int depth = 1; depth > 0;) {
            const std::size_t open = std::min(svg.find("<g ", pos), svg.find("<g>", pos));
            const std::size_t close = svg.find("</g>", pos);
            if (close == std::string::npos) break;
            if (open < close) {
                ++depth, pos = open + 1;
            } else {
                --depth, pos = close + 1, end = close;
            }
        }
        if (svg.substr(at, end - at).find("url(#radial") != std::string::npos)
            counts.balls += Occurrences(svg, "<use xlink:href=\"#" + id + "\"");
    }
    counts.radialGradients = Occurrences(svg, "<radialGradient");
    counts.linearGradients = Occurrences(svg, "<linearGradient");
    return counts;
}

TEST_F(RenderTest, VectorFormatsAreWholeFiles) {
    const DisplayList3D scene = TestScene();
    View view;
    view.FitView(scene, 20, 30, 0, kWidth, kHeight);
    Render(scene, view, Path("scene.SVG"));
    const std::string svg = ReadFile(Path("scene.SVG"));
    ASSERT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_EQ(CountSvg(svg).balls, 3u);  // the clipped sphere is not drawn

    Render(scene, view, Path("scene.pdf"));
    EXPECT_EQ(ReadFile(Path("scene.pdf")).substr(0, 4), "%PDF");
}

// Spheres and bonds of a few colours: the vector formats define each ball
// and band once and place it, so they grow by a placement per item, not by
// a gradient per item.
TEST_F(RenderTest, ManyItemsOfFewColoursShareTheirShading) {
    const Color colors[] = {kRed, kBlue, kGreen};
    constexpr int kSide = 20;
    DisplayList3D scene;
    const auto at = [](int i, int j) { return Point3d(3.0f * i, 3.0f * j, 0.0f); };
    for (int i = 0; i < kSide; ++i)
        for (int j = 0; j < kSide; ++j) {
            const Color& color = colors[(i + j) % 3];
            scene.Add(SpherePrimitive(at(i, j), 0.5, color, 1));
            if (i > 0) scene.Add(CylinderPrimitive(at(i - 1, j), colors[(i - 1 + j) % 3], at(i, j), color, 0.15, 2));
        }
    const std::size_t spheres = kSide * kSide, bands = 2 * (kSide - 1) * kSide;
    View view;
    view.FitView(scene, 20, 30, 0, kWidth, kHeight);

    Render(scene, view, Path("many.svg"));
    const std::string svg = ReadFile(Path("many.svg"));
    const SvgCounts counts = CountSvg(svg);
    EXPECT_EQ(counts.balls, spheres);
    EXPECT_EQ(counts.radialGradients, 3u);  // one per colour
    // The bands are all alike: one cap depth per colour, two where a depth
    // falls on the boundary between two stamps.
    EXPECT_GE(counts.linearGradients, 3u);
    EXPECT_LE(counts.linearGradients, 6u);
    EXPECT_LT(svg.size(), 150 * (spheres + bands));  // a gradient per item took over 1 KB each

    Render(scene, view, Path("many.pdf"));
    EXPECT_LT(ReadFile(Path("many.pdf")).size(), 150 * (spheres + bands));
}

// The output is written as it is made: a write that fails on the way
// (here past the file-size limit) throws, leaves no partial file and no
// temporary beside it, and leaves a file it would have replaced as it was.
TEST_F(RenderTest, FailedWriteLeavesNoPartialFile) {
    DisplayList3D scene;
    for (int i = 0; i < 200; ++i) {
        scene.Add(SpherePrimitive(Point3d(float(i % 20), float(i / 20), 0.0f), 0.4, Color(i, 100, 255 - i), 1));
    }
    View view;
    view.FitView(scene, 10, 20, 0, kWidth, kHeight);
    const std::string kept = "the file as it was";
    {
        std::ofstream out(Path("kept.svg"), std::ios::binary);
        out << kept;
    }
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    for (const char* name : {"scene.svg", "scene.pdf", "scene.png", "kept.svg"}) {
        SCOPED_TRACE(name);
        try {
            Render(scene, view, Path(name));
            ADD_FAILURE() << "wrote past the limit";
        } catch (const InputError& e) {
            EXPECT_NE(std::string(e.what()).find(std::strerror(EFBIG)), std::string::npos) << e.what();
        }
    }
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previousHandler);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(m_dir)) left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"kept.svg"});
    EXPECT_EQ(ReadFile(Path("kept.svg")), kept);
}

TEST_F(RenderTest, FailuresLeaveNoFile) {
    const DisplayList3D scene = TestScene();
    View view;
    view.FitView(scene, 0, 0, 0, kWidth, kHeight);
    for (const char* name : {"scene.jpg", "scene", "png"}) {
        EXPECT_THROW(Render(scene, view, Path(name)), InputError) << name;
    }
    EXPECT_THROW(Render(scene, view, Path("missing/scene.png")), InputError);
    EXPECT_TRUE(fs::is_empty(m_dir));
}

TEST_F(RenderTest, PointsWithoutFiniteImageDrawNothing) {
    // w = x + 1: the bond's end at x = -1 has no finite image, its midpoint has.
    DisplayList3D scene, child;
    Matrix4x4 projective(Matrix4x4::IdentityMatrix);
    projective(0, 3) = 1.0;
    projective(3, 3) = 1.0;
    child.SetLocalTransformation(projective);
    child.Add(CylinderPrimitive(Point3d(-1, 0, 0), kGrey, Point3d(3, 0, 0), kGrey, 0.2, 1));
    child.Add(SpherePrimitive(Point3d(-1, 0, 0), 1.0, kYellow, 2));
    scene.Add(child);
    scene.Add(SpherePrimitive(Point3d(0, 5, 0), 1.0, kRed, 3));
    View view;
    view.FitView(scene, 0, 0, 0, kWidth, kHeight);
    ASSERT_NO_THROW(Render(scene, view, Path("projective.png")));
    const Point3d red = view.Project(Point3d(0, 5, 0));
    ExpectNear(ReadPng(Path("projective.png")).At(red.x, red.y), kRed, 30, "finite sphere");
}

TEST(ViewTest, FitsTheSceneAndProjectsConsistently) {
    DisplayList3D scene;
    const Point3d centres[] = {{-3, 1, 2}, {5, 2, -1}, {1, -4, 0.5}};
    for (const Point3d& c : centres) scene.Add(SpherePrimitive(c, 1.5, kRed, 1));
    const Point3d middle(1, -1, 0.5);  // the centre of the spheres' box

    const double rotations[][3] = {{0, 0, 0}, {90, 0, 0}, {30, 45, 60}, {-120, 10, 200}};
    for (const auto& r : rotations) {
        View view;
        view.FitView(scene, r[0], r[1], r[2], kWidth, kHeight);
        SCOPED_TRACE(testing::Message() << r[0] << "," << r[1] << "," << r[2]);
        double lo[2] = {1e9, 1e9}, hi[2] = {-1e9, -1e9};
        for (const Point3d& c : centres) {
            const Point3d p = view.Project(c);
            const double radius = 1.5 * view.GetScale();
            lo[0] = std::min(lo[0], p.x - radius), hi[0] = std::max(hi[0], p.x + radius);
            lo[1] = std::min(lo[1], p.y - radius), hi[1] = std::max(hi[1], p.y + radius);
        }
        EXPECT_GE(lo[0], 0.0);
        EXPECT_GE(lo[1], 0.0);
        EXPECT_LE(hi[0], kWidth);
        EXPECT_LE(hi[1], kHeight);
        EXPECT_NEAR(0.5 * (lo[0] + hi[0]), kWidth / 2.0, 0.01);
        EXPECT_NEAR(0.5 * (lo[1] + hi[1]), kHeight / 2.0, 0.01);
        // Tight in the limiting direction: the margin is all that is left.
        EXPECT_GT(std::max((hi[0] - lo[0]) / kWidth, (hi[1] - lo[1]) / kHeight), 0.85);
        if (r[0] == 0 && r[1] == 0 && r[2] == 0) {
            const Point3d p = view.Project(middle);
            EXPECT_NEAR(p.x, kWidth / 2.0, 1e-3);
            EXPECT_NEAR(p.y, kHeight / 2.0, 1e-3);
        }
    }

    // Directions: y up on the screen, z towards the viewer, right-handed turns.
    View view;
    view.FitView(scene, 0, 0, 0, kWidth, kHeight);
    EXPECT_LT(view.Project(Point3d(0, 1, 0)).y, view.Project(Point3d(0, -1, 0)).y);
    EXPECT_GT(view.Project(Point3d(0, 0, 1)).z, view.Project(Point3d(0, 0, -1)).z);
    view.FitView(scene, 0, 0, 90, kWidth, kHeight);
    EXPECT_LT(view.Project(Point3d(1, 0, 0)).y, view.Project(Point3d(-1, 0, 0)).y);  // x turned onto y
    view.FitView(scene, 90, 0, 0, kWidth, kHeight);
    EXPECT_GT(view.Project(Point3d(0, 1, 0)).z, view.Project(Point3d(0, -1, 0)).z);  // y turned onto z
}

// cairo calls the write callback from C: an append that fails (out of
// memory) must come back as an error status, never as an exception thrown
// through cairo's frames.
TEST(Render, FailedAppendIsReportedToCairo) {
    struct Budget {
        std::size_t left;
        std::string bytes;
        void append(const char* data, std::size_t length) {
            if (length > left) throw std::bad_alloc();
            left -= length;
            bytes.append(data, length);
        }
    };
    for (std::size_t budget : {std::size_t(0), std::size_t(100)}) {
        SCOPED_TRACE(budget);
        Budget svg{budget, {}};
        cairo_surface_t* surface = cairo_svg_surface_create_for_stream(AppendTo<Budget>, &svg, 50, 50);
        cairo_t* cr = cairo_create(surface);
        cairo_arc(cr, 25, 25, 20, 0, 6.3);
        cairo_fill(cr);
        cairo_destroy(cr);
        cairo_surface_finish(surface);
        EXPECT_EQ(cairo_surface_status(surface), CAIRO_STATUS_NO_MEMORY);
        cairo_surface_destroy(surface);

        Budget png{budget, {}};
        cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 50, 50);
        EXPECT_EQ(cairo_surface_write_to_png_stream(image, AppendTo<Budget>, &png), CAIRO_STATUS_NO_MEMORY);
        cairo_surface_destroy(image);
    }
    // Any other failure (a write to the file) is a write error.
    struct Refusing {
        void append(const char*, std::size_t) { throw std::runtime_error("disk full"); }
    } refusing;
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 50, 50);
    EXPECT_EQ(cairo_surface_write_to_png_stream(image, AppendTo<Refusing>, &refusing), CAIRO_STATUS_WRITE_ERROR);
    cairo_surface_destroy(image);
}

TEST(Render, ViewsThatCannotBeComputedAreRefused) {
    const DisplayList3D scene = TestScene();
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    for (const auto& angles : {std::array<double, 3>{inf, 0, 0}, {0, -inf, 0}, {0, 0, nan}}) {
        View view;
        EXPECT_FALSE(view.FitView(scene, angles[0], angles[1], angles[2], kWidth, kHeight));
        // Left as the identity fit (one pixel per angstrom, the origin in the
        // middle): every projection is a number.
        const Point3d p = view.Project(kB);
        EXPECT_EQ(p.x, kWidth / 2 + kB.x);
        EXPECT_EQ(p.y, kHeight / 2 - kB.y);
        EXPECT_EQ(view.GetScale(), 1.0);
    }
    // Any finite angle turns to a finite view (in degrees, 1e308 overflows
    // radians).
    View far;
    ASSERT_TRUE(far.FitView(scene, 1e308, -1e308, 0, kWidth, kHeight));
    const Point3d p = far.Project(kB);
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
    // Whole turns leave the view as it was, however many.
    View turned, once;
    ASSERT_TRUE(turned.FitView(scene, 30 + 360.0 * 99, -45 - 360.0 * 7, 10 + 360.0 * 50, kWidth, kHeight));
    ASSERT_TRUE(once.FitView(scene, 30, -45, 10, kWidth, kHeight));
    for (const Point3d& world : {kA, kB, kChildOrigin}) {
        EXPECT_NEAR(turned.Project(world).x, once.Project(world).x, 1e-3);
        EXPECT_NEAR(turned.Project(world).y, once.Project(world).y, 1e-3);
        EXPECT_NEAR(turned.Project(world).z, once.Project(world).z, 1e-3);
    }
    // The direction towards the viewer is the one along which depth grows.
    const Point3d towards = once.TowardsViewer();
    const double step = once.Project(kA + towards).z - once.Project(kA).z;
    EXPECT_NEAR(step, once.GetScale(), 1e-3 * once.GetScale());
}

TEST(Render, PicturesBeyondThePixelLimitAreRefusedBeforeDrawing) {
    const DisplayList3D scene = TestScene();
    const fs::path path = fs::path(::testing::TempDir()) / "render_too_large.png";
    fs::remove(path);
    View view;
    ASSERT_TRUE(view.FitView(scene, 0, 0, 0, 16384, 16384));
    ASSERT_GT(static_cast<long long>(view.GetWidth()) * view.GetHeight(), kMaxPixels);
    EXPECT_THROW(Render(scene, view, path.string()), InputError);
    EXPECT_FALSE(fs::exists(path));
}

}  // namespace
}  // namespace TessaryScene
