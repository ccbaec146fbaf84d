#include "tessary/graphics/primitives/TetrahedronPrimitive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <utility>

#include "tests/support/ArchiveBytes.h"
#include "tests/support/ExpectPoint.h"
#include "tests/support/GoldenBytes.h"
#include "tests/support/LiteralDecomposition.h"
#include "tests/support/Molecule.h"
#include "tests/support/ScanDecomposition.h"
#include "tests/support/TestSeed.h"

namespace Tessary {
namespace {

using namespace test;  // golden-bytes helpers
using Tetrahedra = TetrahedronPrimitive::Array;

// Opens the protected steps to the tests.
struct OpenTetrahedron : TetrahedronPrimitive {
    using TetrahedronPrimitive::TetrahedronPrimitive;
    explicit OpenTetrahedron(const TetrahedronPrimitive& t) : TetrahedronPrimitive(t) {}
    using TetrahedronPrimitive::AddNthPointTetrahedra;
    using TetrahedronPrimitive::DefineFaceCentroidAndNormal;
    using TetrahedronPrimitive::PointIsExternal;
};

const Point3d kO(0, 0, 0), kX(1, 0, 0), kY(0, 1, 0), kZ(0, 0, 1);

Point3d::Array Points(std::initializer_list<Point3d> list) {
    Point3d::Array out;
    for (const Point3d& p : list) out.Add(p);
    return out;
}

TEST(TetrahedronPrimitive, UnitCornerHasOutwardUnitNormals) {
    // Both orders of the middle points give the same oriented tetrahedron.
    for (const TetrahedronPrimitive& t : {TetrahedronPrimitive(kO, kX, kY, kZ), TetrahedronPrimitive(kO, kY, kX, kZ)}) {
        Point3d v0, v1, v2, v3;
        t.GetTetrahedronVertices(v0, v1, v2, v3);
        EXPECT_EQ(v0, kO);
        EXPECT_EQ(v3, kZ);
        EXPECT_LE((v1 - v0).Cross(v2 - v0).Dot(v3 - v0), 0.0) << "(V1 - V0) x (V2 - V0) never points to V3";

        ExpectPoint(t.GetFaceNormal(0), 0, 0, -1);
        ExpectPoint(t.GetFaceCentroid(0), 1.0 / 3, 1.0 / 3, 0);
        for (int f = 0; f < 4; ++f) {
            SCOPED_TRACE(f);
            EXPECT_NEAR(t.GetFaceNormal(f).Length(), 1.0, 1e-6);
            Point3d a, b, c;
            t.GetFaceVertices(f, a, b, c);
            const Point3d opposite = v0 + v1 + v2 + v3 - a - b - c;
            EXPECT_LT((opposite - t.GetFaceCentroid(f)).Dot(t.GetFaceNormal(f)), 0.0);
        }
        EXPECT_EQ(t.GetNumFaces(), 4);
        EXPECT_EQ(t.GetColor(), Color(0, 0, 0, 0));
        EXPECT_EQ(t.GetID(), 0u);
    }
}

TEST(TetrahedronPrimitive, FaceNumbersOutsideTheRangeTouchNothing) {
    TetrahedronPrimitive t(kO, kX, kY, kZ);
    Point3d a(7, 7, 7), b = a, c = a;
    t.GetFaceVertices(4, a, b, c);
    t.GetFaceVertices(-1, a, b, c);
    EXPECT_EQ(a, Point3d(7, 7, 7));
    t.SetHiddenFace(4, true);
    t.SetHiddenFace(-1, true);
    EXPECT_EQ(t.GetNumFaces(), 4);
    EXPECT_FALSE(t.GetHiddenFace(9));
    EXPECT_EQ(t.GetFaceNormal(9), Point3d(0, 0, 0));
}

TEST(TetrahedronPrimitive, FaceStepsReportDegenerateFacesAndTheOutside) {
    OpenTetrahedron flat(kO, kX, kY, Point3d(1, 1, 0));
    for (int f = 0; f < 4; ++f) EXPECT_TRUE(flat.DefineFaceCentroidAndNormal(f)) << f;
    EXPECT_EQ(flat.GetNumFaces(), 4) << "built all the same";
    OpenTetrahedron solid(kO, kX, kY, kZ);
    for (int f = 0; f < 4; ++f) EXPECT_FALSE(solid.DefineFaceCentroidAndNormal(f)) << f;

    // A point is external strictly beyond the tolerance.
    OpenTetrahedron& t = solid;  // face 0: z = 0, normal -z
    const struct {
        double z;
        bool external;
    } cases[] = {{0.0, false}, {-0.0005, false}, {-0.0011, true}, {-1.0, true}, {0.5, false}};
    for (const auto& c : cases) EXPECT_EQ(t.PointIsExternal(0, Point3d(0.2, 0.2, c.z)), c.external) << c.z;
    t.SetHiddenFace(0, true);
    EXPECT_FALSE(t.PointIsExternal(0, Point3d(0.2, 0.2, -1.0))) << "a hidden face has no outside";
    EXPECT_EQ(t.GetNumFaces(), 3);
}

TEST(TetrahedronPrimitive, TransformRecomputesFacesAndKeepsFlags) {
    TetrahedronPrimitive t(kO, kX, kY, kZ);
    t.SetHiddenFace(2, true);
    t.SetColor(Color(1, 2, 3));
    Matrix4x4 m(Axis::x, 180.0);
    m(3, 2) = 5.0;  // then up by 5
    t.Transform(m);
    ExpectPoint(t.GetFaceNormal(0), 0, 0, 1);
    ExpectPoint(t.GetFaceCentroid(0), 1.0 / 3, -1.0 / 3, 5);
    EXPECT_TRUE(t.GetHiddenFace(2));
    EXPECT_EQ(t.GetNumFaces(), 3);
    EXPECT_EQ(t.GetColor(), Color(1, 2, 3));
}

TEST(TetrahedronPrimitive, DecomposeSmallSets) {
    Tetrahedra result;
    TetrahedronPrimitive::DecomposePolyhedron(result, Points({kO, kX, kY}));
    EXPECT_EQ(result.GetSize(), 0) << "fewer than four points append nothing";

    TetrahedronPrimitive::DecomposePolyhedron(result, Points({kO, kX, kY, kZ}));
    ASSERT_EQ(result.GetSize(), 1);
    EXPECT_EQ(result[0].GetNumFaces(), 4);

    // A fifth point beyond face 0 only (z = 0) adds one tetrahedron on it.
    result.RemoveAll();
    TetrahedronPrimitive::DecomposePolyhedron(result, Points({kO, kX, kY, kZ, Point3d(0.2, 0.2, -1)}));
    ASSERT_EQ(result.GetSize(), 2);
    EXPECT_TRUE(result[0].GetHiddenFace(0));
    EXPECT_TRUE(result[1].GetHiddenFace(0));
    EXPECT_EQ(result[0].GetNumFaces(), 3);
    EXPECT_EQ(result[1].GetNumFaces(), 3);

    // The result is appended to, and what it held takes part.
    TetrahedronPrimitive::DecomposePolyhedron(result, Points({kO, kX, kY, kZ, Point3d(0.2, 0.2, 2)}));
    EXPECT_EQ(result.GetSize(), 5) << "one new base, plus the fifth point on the old top and the new one";
}

// ---- hulls of real and random point sets --------------------------------------------

struct Hull {
    int faces = 0;
    int corners = 0;          // distinct vertices of the visible faces
    int unpairedEdges = 0;    // directed edges of the outward-turned faces without their reverse
    int inwardNormals = 0;    // sound faces whose normal points into their tetrahedron
    int degenerate = 0;       // visible faces whose opposite vertex lies in their plane
    double worstOutside = 0;  // largest distance of an input point beyond a visible, sound face
    double tetraVolume = 0;   // sum of the tetrahedra's volumes
    double hullVolume = 0;    // volume enclosed by the visible faces
};

using Key = std::array<float, 3>;
Key KeyOf(const Point3d& p) { return {static_cast<float>(p.GetX()), static_cast<float>(p.GetY()), static_cast<float>(p.GetZ())}; }

// The visible faces, each turned to face away from its own tetrahedron, must
// close up: every directed edge meets its reverse exactly once.
Hull Examine(const Tetrahedra& result, const Point3d::Array& points) {
    Hull h;
    std::map<std::pair<Key, Key>, int> edges;
    for (int t = 0; t < result.GetSize(); ++t) {
        Point3d v0, v1, v2, v3;
        result[t].GetTetrahedronVertices(v0, v1, v2, v3);
        h.tetraVolume += std::fabs((v1 - v0).Cross(v2 - v0).Dot(v3 - v0)) / 6.0;
        for (int f = 0; f < 4; ++f) {
            if (result[t].GetHiddenFace(f)) continue;
            ++h.faces;
            Point3d a, b, c;
            result[t].GetFaceVertices(f, a, b, c);
            const Point3d opposite = v0 + v1 + v2 + v3 - a - b - c;
            Point3d cross = (b - a).Cross(c - a);
            if (cross.Dot(opposite - a) > 0) {
                std::swap(b, c);
                cross = -cross;
            }
            const Key k[3] = {KeyOf(a), KeyOf(b), KeyOf(c)};
            for (int e = 0; e < 3; ++e) ++edges[{k[e], k[(e + 1) % 3]}];
            h.hullVolume += a.Dot(cross) / 6.0;

            const Point3d& n = result[t].GetFaceNormal(f);
            const Point3d& centroid = result[t].GetFaceCentroid(f);
            // A sliver's flat face keeps its normal unoriented; only sound faces promise outward normals.
            if (std::fabs((opposite - centroid).Dot(n)) < 0.001) {
                ++h.degenerate;
                continue;
            }
            if (n.Dot(cross) <= 0) ++h.inwardNormals;
            for (int i = 0; i < points.GetSize(); ++i)
                h.worstOutside = std::max(h.worstOutside, (points[i] - centroid).Dot(n));
        }
    }
    std::map<Key, int> corners;
    for (const auto& e : edges) ++corners[e.first.first];
    h.corners = static_cast<int>(corners.size());
    for (const auto& e : edges) {
        const auto reverse = edges.find({e.first.second, e.first.first});
        if (e.second != 1 || reverse == edges.end() || reverse->second != 1) ++h.unpairedEdges;
    }
    return h;
}

// The iterative decomposition must match the step-by-step description where
// that holds together, and its visible faces must close around the points
// with outward normals. The 0.001 tolerance allows a slightly concave hull
// where a point lay that close to a neighbouring face's plane, which tiny
// faces magnify; `convex` asks for all points within 0.001 of every sound face.
enum class Reference { Literal, Own };
void ExpectClosedHull(const Point3d::Array& points, const std::string& what, bool convex, int maxDegenerate = 0,
                      Reference reference = Reference::Literal) {
    SCOPED_TRACE(what);
    Tetrahedra result;
    TetrahedronPrimitive::DecomposePolyhedron(result, points);
    if (reference == Reference::Literal) {
        Tetrahedra literal;
        TessaryTest::LiteralDecompose(literal, points);
        ASSERT_EQ(result.GetSize(), literal.GetSize());
        for (int t = 0; t < result.GetSize(); ++t) {
            ASSERT_EQ(StoreBytes(result[t], 7), StoreBytes(literal[t], 7)) << t;
            for (int f = 0; f < 4; ++f) ASSERT_EQ(result[t].GetHiddenFace(f), literal[t].GetHiddenFace(f)) << t;
        }
    }

    const Hull h = Examine(result, points);
    EXPECT_EQ(h.faces, 2 * h.corners - 4) << "a triangulated sphere";
    // Well-spread points are all corners; a crowded one may lie within the
    // tolerance of the hull and add nothing.
    if (reference == Reference::Literal) {
        EXPECT_EQ(h.corners, points.GetSize());
    } else {
        EXPECT_GE(h.corners, points.GetSize() - points.GetSize() / 100);
    }
    EXPECT_EQ(h.unpairedEdges, 0);
    EXPECT_EQ(h.inwardNormals, 0);
    EXPECT_LE(h.degenerate, maxDegenerate);
    if (convex) {
        EXPECT_LE(h.worstOutside, 0.001);
    }
    EXPECT_NEAR(h.tetraVolume, h.hullVolume, 1e-4 * h.hullVolume) << "tetrahedra neither overlap nor leave gaps";
}

std::string Molecules(const char* name) { return std::string(TESSARY_SOURCE_DIR) + "/data/molecules/" + name; }

// Heavy atoms within 2.8 of the metal: its ligand shell.
Point3d::Array LigandShell(const TessaryTest::Molecule& mol, std::size_t metal) {
    const TessaryTest::Atom& m = mol.atoms[metal];
    Point3d::Array shell;
    for (std::size_t i = 0; i < mol.atoms.size(); ++i) {
        const TessaryTest::Atom& a = mol.atoms[i];
        if (i != metal && a.element != "H" && Distance(Point3d(a.x, a.y, a.z), Point3d(m.x, m.y, m.z)) < 2.8)
            shell.Add(Point3d(a.x, a.y, a.z));
    }
    return shell;
}

TEST(TetrahedronPrimitive, DecomposeMetalLigandShells) {
    const struct {
        const char* file;
        const char* metal;
        int ligands;
        std::size_t sites;
    } sites[] = {{"4at1.ent", "Zn", 4, 2},
                 {"Fe_1brf_snip_reduced.pdb", "Fe", 4, 1},
                 {"2hhb.ent", "Fe", 5, 4},
                 {"water_cluster_Mg.xyz", "Mg", 6, 1}};
    for (const auto& s : sites) {
        const TessaryTest::Molecule mol = TessaryTest::ReadMolecule(Molecules(s.file));
        const std::vector<std::size_t> metals = mol.FindElement(s.metal);
        ASSERT_EQ(metals.size(), s.sites) << s.file;
        for (std::size_t metal : metals) {
            const Point3d::Array shell = LigandShell(mol, metal);
            ASSERT_EQ(shell.GetSize(), s.ligands) << s.file;
            ExpectClosedHull(shell, std::string(s.file) + " " + s.metal + " " + std::to_string(metal), true);
        }
    }

    // The borane cage: twelve borons on an icosahedron.
    const TessaryTest::Molecule cage = TessaryTest::ReadMolecule(Molecules("b12h12.xyz"));
    Point3d::Array borons;
    for (std::size_t i : cage.FindElement("B")) borons.Add(Point3d(cage.atoms[i].x, cage.atoms[i].y, cage.atoms[i].z));
    ASSERT_EQ(borons.GetSize(), 12);
    ExpectClosedHull(borons, "b12h12", true);
}

TEST(TetrahedronPrimitive, DecomposeRandomSphere) {
    const std::uint32_t seed = TestSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    std::normal_distribution<double> normal;
    // Points at least 2 apart on a sphere of radius 10, as atoms of a shell
    // would be. Points much closer than that make thin faces that a later
    // point sees, past the 0.001 tolerance, apart from their neighbours: the
    // decomposition then overlaps, as its step-by-step rule does too.
    Point3d::Array points;
    while (points.GetSize() < 120) {
        Point3d p(normal(rng), normal(rng), normal(rng));
        p.ChangeLength(10.0);
        bool apart = true;
        for (int i = 0; i < points.GetSize() && apart; ++i) apart = Distance(p, points[i]) >= 2.0;
        if (apart) points.Add(p);
    }
    // A few slivers may lie on the hull, with a flat face each.
    ExpectClosedHull(points, "random sphere", false, 4);

    // Uniform points crowd together here and there. Read step by step, some
    // point then lies past two thin faces but not the one between them, and
    // the tetrahedra on both overlap; building on the patch around the face
    // it is farthest beyond keeps the hull whole.
    Point3d::Array crowded;
    for (int i = 0; i < 2000; ++i) {
        Point3d p(normal(rng), normal(rng), normal(rng));
        crowded.Add(p.ChangeLength(10.0));
    }
    ExpectClosedHull(crowded, "crowded sphere", false, 80, Reference::Own);

    // Points inside the hull add nothing.
    Tetrahedra result;
    TetrahedronPrimitive::DecomposePolyhedron(result, points);
    const int size = result.GetSize();
    OpenTetrahedron::AddNthPointTetrahedra(result, Point3d(0.5, -0.5, 0.25));
    EXPECT_EQ(result.GetSize(), size);
    // One step taken through the protected entry matches the description.
    Tetrahedra literal = result;
    const Point3d outside(0, 0, 12);
    OpenTetrahedron::AddNthPointTetrahedra(result, outside);
    TessaryTest::LiteralAddPoint(literal, outside);
    ASSERT_GT(result.GetSize(), size);
    ASSERT_EQ(result.GetSize(), literal.GetSize());
    for (int t = 0; t < result.GetSize(); ++t)
        for (int f = 0; f < 4; ++f) EXPECT_EQ(result[t].GetHiddenFace(f), literal[t].GetHiddenFace(f)) << t;
}

// ---- the face search against a scan of every visible face ---------------------------

// Point sets for the decomposition, each from one seed.
struct PointSet {
    const char* name;
    std::function<Point3d::Array(std::mt19937&)> make;
};

Point3d RandomDirection(std::mt19937& rng) {
    std::normal_distribution<double> normal;
    Point3d p(normal(rng), normal(rng), normal(rng));
    return p.ChangeLength(1.0);
}

Point3d::Array OnSphere(std::mt19937& rng, int count, double radius) {
    Point3d::Array points;
    for (int i = 0; i < count; ++i) points.Add(RandomDirection(rng) * radius);
    return points;
}

Point3d::Array InBall(std::mt19937& rng, int count, double radius) {
    std::uniform_real_distribution<double> uniform;
    Point3d::Array points;
    for (int i = 0; i < count; ++i) points.Add(RandomDirection(rng) * (radius * std::cbrt(uniform(rng))));
    return points;
}

// The points of an n x n x n grid, in random order: whole faces of the hull are coplanar.
Point3d::Array Grid(std::mt19937& rng, int n, double step) {
    Point3d::Array points;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) points.Add(Point3d(i * step, j * step, k * step));
    std::shuffle(points.GetData(), points.GetData() + points.GetSize(), rng);
    return points;
}

const PointSet kPointSets[] = {
    {"ball", [](std::mt19937& rng) { return InBall(rng, 400, 10.0); }},
    {"sphere", [](std::mt19937& rng) { return OnSphere(rng, 800, 1000.0); }},
    // Thin faces that later points see apart from their neighbours.
    {"crowded sphere", [](std::mt19937& rng) { return OnSphere(rng, 1000, 10.0); }},
    {"far from the origin",
     [](std::mt19937& rng) {
         Point3d::Array points = OnSphere(rng, 300, 20.0);
         for (int i = 0; i < points.GetSize(); ++i) points[i] += Point3d(500, -300, 200);
         return points;
     }},
    {"grid", [](std::mt19937& rng) { return Grid(rng, 6, 1.5); }},
    // Every corner of a grid's cube on one sphere, and the body centres of its cells inside.
    {"cospherical",
     [](std::mt19937& rng) {
         Point3d::Array points;
         const double r = 5.0;
         for (int i = 0; i < 8; ++i) points.Add(Point3d(i & 1 ? r : -r, i & 2 ? r : -r, i & 4 ? r : -r));
         for (int a = 0; a < 3; ++a)
             for (double s : {-1.0, 1.0}) {
                 Point3d p(0, 0, 0);
                 p[a] = static_cast<float>(s * r * std::sqrt(3.0));
                 points.Add(p);
             }
         Point3d::Array more = OnSphere(rng, 60, r * std::sqrt(3.0));
         points.Append(more);
         return points;
     }},
    {"duplicates",
     [](std::mt19937& rng) {
         Point3d::Array points = InBall(rng, 150, 8.0);
         std::uniform_int_distribution<int> pick(0, points.GetSize() - 1);
         for (int i = 0; i < 150; ++i) points.Add(points[pick(rng)]);
         points.InsertAt(2, points[0]);  // also among the first four
         return points;
     }},
    {"collinear",
     [](std::mt19937& rng) {
         std::uniform_real_distribution<double> t(-10.0, 10.0);
         Point3d::Array points;
         for (int i = 0; i < 50; ++i) {
             const double s = t(rng);
             points.Add(Point3d(1 + 2 * s, -1 + s, 3 - 0.5 * s));
         }
         points.Append(InBall(rng, 50, 10.0));
         return points;
     }},
    {"coplanar",
     [](std::mt19937& rng) {
         Point3d::Array points;
         std::uniform_real_distribution<double> u(-10.0, 10.0);
         for (int i = 0; i < 120; ++i) points.Add(Point3d(u(rng), u(rng), 2.0));
         // Then off the plane, on both sides.
         for (int i = 0; i < 60; ++i) points.Add(Point3d(u(rng), u(rng), i % 2 ? 6.0 : -1.0));
         return points;
     }},
    {"a far point after a sphere",
     [](std::mt19937& rng) {
         Point3d::Array points = OnSphere(rng, 300, 10.0);
         points.Add(Point3d(0, 0, 1e4));
         points.Append(OnSphere(rng, 50, 11.0));
         return points;
     }},
    {"not finite",
     [](std::mt19937& rng) {
         const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
         Point3d::Array points = InBall(rng, 60, 10.0);
         points.InsertAt(20, Point3d(nan, 0, 0));
         points.InsertAt(30, Point3d(inf, 1, 2));
         points.InsertAt(40, Point3d(0, -inf, 0));
         points.Append(InBall(rng, 20, 12.0));
         return points;
     }},
    {"huge coordinates", [](std::mt19937& rng) { return InBall(rng, 40, 1e18); }},
    {"three points", [](std::mt19937& rng) { return InBall(rng, 3, 1.0); }},
    {"none", [](std::mt19937&) { return Point3d::Array(); }},
};

void ExpectSameTetrahedra(const Tetrahedra& result, const Tetrahedra& expected) {
    ASSERT_EQ(result.GetSize(), expected.GetSize());
    for (int t = 0; t < result.GetSize(); ++t) {
        ASSERT_EQ(StoreBytes(result[t], 7), StoreBytes(expected[t], 7)) << "tetrahedron " << t;
        for (int f = 0; f < 4; ++f)
            ASSERT_EQ(result[t].GetHiddenFace(f), expected[t].GetHiddenFace(f)) << "tetrahedron " << t << " face " << f;
    }
}

TEST(TetrahedronPrimitive, DecomposeFindsTheFacesAScanFinds) {
    const std::uint32_t seed = TestSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (const PointSet& set : kPointSets) {
        SCOPED_TRACE(set.name);
        std::mt19937 rng(seed);
        const Point3d::Array points = set.make(rng);
        Tetrahedra result, scanned;
        TetrahedronPrimitive::DecomposePolyhedron(result, points);
        TessaryTest::ScanDecompose(scanned, points);
        if (points.GetSize() >= 4) {
            EXPECT_GT(result.GetSize(), 0);
        }
        ExpectSameTetrahedra(result, scanned);

        // Appended to what a result held, which takes part: one face hidden,
        // and a loaded one whose normals are not unit (one long, one short).
        // The smaller sets suffice, and keep the quadratic scan quick.
        if (points.GetSize() > 400) continue;
        Tetrahedra held, heldScanned;
        held.Add(TetrahedronPrimitive(kO, kX * 30, kY * 30, kZ * 30));
        held[0].SetHiddenFace(2, true);
        TetrahedronPrimitive loaded(Point3d(-20, -20, -20), Point3d(-20, 20, 0), Point3d(20, 0, 0), Point3d(0, 0, 20));
        Bytes form = StoreBytes(loaded, 7);
        for (int face : {0, 3}) {
            const Point3d n = loaded.GetFaceNormal(face) * (face == 0 ? 3.0 : 0.25);
            const float xyz[3] = {static_cast<float>(n.GetX()), static_cast<float>(n.GetY()), static_cast<float>(n.GetZ())};
            std::memcpy(&form[12 + 40 * face + 28], xyz, sizeof xyz);
        }
        LoadBytes(loaded, form, 7);
        held.Add(loaded);
        heldScanned = held;
        TetrahedronPrimitive::DecomposePolyhedron(held, points);
        TessaryTest::ScanDecompose(heldScanned, points);
        ExpectSameTetrahedra(held, heldScanned);
    }
}

// The volume of the convex hull, from every triple of points with all the
// others on one side; for points in general position. In doubles throughout.
double BruteHullVolume(const Point3d::Array& points) {
    using V = std::array<double, 3>;
    const auto sub = [](const V& a, const V& b) { return V{a[0] - b[0], a[1] - b[1], a[2] - b[2]}; };
    const auto cross = [](const V& a, const V& b) {
        return V{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    };
    const auto dot = [](const V& a, const V& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
    const int n = points.GetSize();
    std::vector<V> p;
    V centre{0, 0, 0};
    for (int i = 0; i < n; ++i) {
        p.push_back({points[i].GetX(), points[i].GetY(), points[i].GetZ()});
        for (int a = 0; a < 3; ++a) centre[a] += p.back()[a] / n;
    }
    double volume = 0;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j)
            for (int k = j + 1; k < n; ++k) {
                const V normal = cross(sub(p[j], p[i]), sub(p[k], p[i]));
                const double tolerance = 1e-9 * std::sqrt(dot(normal, normal)) * std::sqrt(dot(p[i], p[i]) + 1);
                bool above = false, below = false;
                for (int m = 0; m < n && !(above && below); ++m) {
                    const double d = dot(sub(p[m], p[i]), normal);
                    above = above || d > tolerance;
                    below = below || d < -tolerance;
                }
                if (above && below) continue;
                volume += std::fabs(dot(sub(p[i], centre), cross(sub(p[j], centre), sub(p[k], centre)))) / 6;
            }
    return volume;
}

TEST(TetrahedronPrimitive, DecomposeFillsTheHullOnce) {
    const std::uint32_t seed = TestSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    const struct {
        const char* name;
        Point3d::Array points;
    } cases[] = {{"ball", InBall(rng, 60, 10.0)}, {"sphere", OnSphere(rng, 60, 10.0)},
                 {"large sphere", OnSphere(rng, 40, 1000.0)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Tetrahedra result;
        TetrahedronPrimitive::DecomposePolyhedron(result, c.points);
        const Hull h = Examine(result, c.points);
        EXPECT_EQ(h.unpairedEdges, 0);
        EXPECT_LE(h.worstOutside, 0.001) << "every point inside";
        EXPECT_NEAR(h.tetraVolume, h.hullVolume, 1e-6 * h.hullVolume) << "tetrahedra neither overlap nor leave gaps";
        EXPECT_NEAR(h.tetraVolume, BruteHullVolume(c.points), 1e-6 * h.tetraVolume) << "the whole hull";
    }
}

// ---- archive ------------------------------------------------------------------------

TEST(TetrahedronPrimitive, ArchiveForm) {
    TetrahedronPrimitive t(kO, kX, kY, kZ);
    t.SetID(7);
    t.SetColor(Color(0x11, 0x22, 0x33, 0x44));
    // Per face: colour, vertex, centroid, normal; the points as floats under
    // version 7, as doubles when it is unset. The points were given O, X, Y, Z:
    // Z lies above X x Y, so V1 = Y and V2 = X.
    const auto formOf = [](bool floats) {
        const auto F = [floats](double x, double y, double z) { return PointBytes(Point3d(x, y, z), floats); };
        const double h = 1.0 / 3, r = 1 / std::sqrt(3.0);
        const Bytes rgb = {0x11, 0x22, 0x33, 0x00};
        return Cat({{7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                    rgb, F(0, 0, 0), F(h, h, 0), F(0, 0, -1), rgb, F(0, 1, 0), F(0, h, h), F(-1, 0, 0),
                    rgb, F(1, 0, 0), F(h, 0, h), F(0, -1, 0), rgb, F(0, 0, 1), F(h, h, h), F(r, r, r)});
    };
    const Bytes form = formOf(true);
    t.SetHiddenFace(1, true);
    const TetrahedronPrimitive loaded = ExpectGoldenBytes(t, form, 7);
    EXPECT_EQ(loaded.GetColor(), Color(0x11, 0x22, 0x33));
    EXPECT_EQ(loaded.GetNumFaces(), 4) << "hidden flags are not stored; a load clears them";

    // The colour comes from the first vertex; the other three are read past.
    Bytes mixed = form;
    mixed[12 + 40] = 0x99;
    TetrahedronPrimitive other(kO, kX, kY, kZ);
    other.SetHiddenFace(3, true);
    LoadBytes(other, mixed, 7);
    EXPECT_EQ(other.GetColor(), Color(0x11, 0x22, 0x33));
    EXPECT_FALSE(other.GetHiddenFace(3));
    EXPECT_EQ(other.GetID(), 7u);

    const TetrahedronPrimitive fromDoubles = ExpectGoldenBytes(t, formOf(false));
    EXPECT_EQ(StoreBytes(fromDoubles, 7), form);

    // A cut form throws and leaves the tetrahedron as it was.
    Bytes cut(form.begin(), form.end() - 3);
    TetrahedronPrimitive kept(kO, kX, kY, Point3d(0, 0, 2));
    kept.SetHiddenFace(0, true);
    EXPECT_THROW(LoadBytes(kept, cut, 7), CArchiveException);
    EXPECT_TRUE(kept.GetHiddenFace(0));
    ExpectPoint(kept.GetFaceCentroid(3), 1.0 / 3, 1.0 / 3, 2.0 / 3);
}

static_assert(sizeof(TetrahedronPrimitive) <= 176, "lit part, 4 vertices, 4 flags, 4 centroids, colour, 4 normals");

}  // namespace
}  // namespace Tessary
