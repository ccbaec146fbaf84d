#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "tessary/graphics/displaylist/DisplayList3D.h"
#include "tests/support/BondedAtoms.h"

namespace Tessary {
namespace {

struct Dot {
    double x, y, z;
    unsigned id;
};
using Getter = int (DisplayList3D::*)(std::vector<DotPrimitive>&) const;

// The dots a getter appends behind three that were there, checked for the
// count returned, the pick colour and width.
std::vector<Dot> DotsOf(const DisplayList3D& list, Getter get = &DisplayList3D::GetPickDots) {
    std::vector<DotPrimitive> dots(3);
    const int returned = (list.*get)(dots);
    EXPECT_EQ(returned, static_cast<int>(dots.size()));
    std::vector<Dot> out;
    for (std::size_t i = 3; i < dots.size(); ++i) {
        const Point3d& p = dots[i].GetCoord();
        out.push_back({p.GetX(), p.GetY(), p.GetZ(), dots[i].GetID()});
        EXPECT_TRUE(dots[i].GetColor().GetRGB() == 0u && dots[i].GetWidth() == 1);
    }
    return out;
}
std::vector<unsigned> IDs(const std::vector<Dot>& dots) {
    std::vector<unsigned> ids;
    for (const Dot& d : dots) ids.push_back(d.id);
    return ids;
}
void ExpectDots(const std::vector<Dot>& actual, const std::vector<Dot>& expected, double tol = 1e-6) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("dot " + std::to_string(i));
        EXPECT_NEAR(actual[i].x, expected[i].x, tol);
        EXPECT_NEAR(actual[i].y, expected[i].y, tol);
        EXPECT_NEAR(actual[i].z, expected[i].z, tol);
        EXPECT_EQ(actual[i].id, expected[i].id);
    }
}
template <class T>
T WithID(T p, unsigned id) {
    p.SetID(id);
    return p;
}

const Color kOpaque(9, 9, 9, 0);
const Color kClear(9, 9, 9, 7);
Point3d P(double x, double y = 0, double z = 0) { return Point3d(x, y, z); }
SpherePrimitive Sphere(const Point3d& c, unsigned id) { return SpherePrimitive(c, 1.0, kOpaque, id); }
Matrix4x4 Translation(double x, double y, double z) { return Matrix4x4().SetTranslation(x, y, z); }
Text3DPrimitive Annotation(const Point3d& at, unsigned id) {
    Text3DPrimitive label("a", at, kOpaque, id);
    label.SetIsAnnotation(true);
    return label;
}

// Two triangles over four vertices (0 1 2, 2 1 3); per-vertex IDs when given.
TriangleMeshPrimitive Quad(Color first, unsigned id, std::vector<unsigned> oids = {}, int lastIndex = 3) {
    TriangleMeshPrimitive::VertexArray v;
    v.SetSize(4);
    for (int i = 0; i < 4; ++i) v[i] = VertexNormal(P(i % 2 * 3, i / 2 * 3), P(0, 0, 1), i == 0 ? first : kOpaque);
    TriangleMeshPrimitive::TriangleArray t;
    for (TriangleIndex triangle : {TriangleIndex(0, 1, 2), TriangleIndex(2, 1, lastIndex)}) t.Add(triangle);
    OIDArray ids;
    for (unsigned o : oids) ids.Add(o);
    return WithID(TriangleMeshPrimitive(v, t, ids), id);
}

NComponentVolume<float> g_box(P(0, 0, 0), P(1, 2, 3), {2, 3, 4}, P(0.5, 0.5, 0.5));
// Lengths (2, 2, 2); the origin moves every corner by one cell edge a.
NComponentVolume<float> g_cell(P(2, 0, 0), P(9, 9, 9), {2, 2, 2}, P(1, 1, 1), 1, P(90, 90, 120));
VolumePrimitive Box(unsigned id, NComponentVolume<float>* grid = &g_box) {
    VolumePrimitive v;
    v.SetVolume(grid);
    return WithID(v, id);
}

TEST(PickDots, EachKindGivesItsPointsAndIDs) {
    const double kH = std::sqrt(3.0);
    struct Case {
        const char* name;
        std::function<void(DisplayList3D&)> fill;
        std::vector<Dot> expected;
    };
    const std::vector<Case> cases = {
        {"sphere without ID", [](DisplayList3D& l) { l.Add(Sphere(P(1), 0)); }, {}},
        {"sphere", [](DisplayList3D& l) { l.Add(Sphere(P(1, 2, 3), 4)); }, {{1, 2, 3, 4}}},
        {"line, end 2 without ID", [](DisplayList3D& l) { l.Add(LinePrimitive(P(1), P(2), kOpaque, 1, 3, 0)); },
         {{1, 0, 0, 3}}},
        {"line, end 1 without ID", [](DisplayList3D& l) { l.Add(LinePrimitive(P(1), P(2), kOpaque, 1, 0, 5)); },
         {{2, 0, 0, 5}}},
        {"dashed line", [](DisplayList3D& l) { l.Add(DashedLinePrimitive(P(0), P(2), kOpaque, 1, 4, false, 2)); },
         {{0, 0, 0, 2}, {2, 0, 0, 2}, {1, 0, 0, 2}}},
        {"cylinder, ends without IDs",
         [](DisplayList3D& l) { l.Add(CylinderPrimitive(P(0), kOpaque, P(4), kOpaque, 1.0, 9, 0, 0)); },
         {{0, 0, 0, 0}, {2, 0, 0, 9}, {4, 0, 0, 0}}},
        {"cylinder without ID",
         [](DisplayList3D& l) { l.Add(CylinderPrimitive(P(0), kOpaque, P(4), kOpaque, 1.0, 0, 1, 2)); }, {}},
        {"opaque mesh, per-vertex IDs",
         [](DisplayList3D& l) { l.Add(Quad(kOpaque, 0, {1, 2, 3, 4})); },
         {{0, 0, 0, 1}, {3, 0, 0, 2}, {0, 3, 0, 3}, {1, 1, 0, 1}, {0, 3, 0, 3}, {3, 0, 0, 2}, {3, 3, 0, 4}, {2, 2, 0, 3}}},
        {"transparent mesh, per-vertex IDs, one of them 0",
         [](DisplayList3D& l) { l.Add(Quad(kClear, 0, {1, 0, 3, 4})); },
         {{0, 0, 0, 1}, {0, 3, 0, 3}, {3, 3, 0, 4}, {1, 1, 0, 1}, {2, 2, 0, 3}}},
        {"opaque mesh, too few per-vertex IDs: the mesh's",
         [](DisplayList3D& l) { l.Add(Quad(kOpaque, 6, {1, 2, 3})); },
         {{0, 0, 0, 6}, {3, 0, 0, 6}, {0, 3, 0, 6}, {1, 1, 0, 6}, {0, 3, 0, 6}, {3, 0, 0, 6}, {3, 3, 0, 6}, {2, 2, 0, 6}}},
        {"opaque mesh without any ID", [](DisplayList3D& l) { l.Add(Quad(kOpaque, 0)); }, {}},
        {"transparent mesh without any ID: the centroids", [](DisplayList3D& l) { l.Add(Quad(kClear, 0)); },
         {{1, 1, 0, 0}, {2, 2, 0, 0}}},
        {"mesh triangle past the vertex array is skipped",
         [](DisplayList3D& l) { l.Add(Quad(kClear, 5, {}, 4)); },
         {{0, 0, 0, 5}, {3, 0, 0, 5}, {0, 3, 0, 5}, {3, 3, 0, 5}, {1, 1, 0, 5}}},
        {"volume without a grid", [](DisplayList3D& l) { l.Add(WithID(VolumePrimitive(), 3)); }, {}},
        {"axis-aligned volume", [](DisplayList3D& l) { l.Add(Box(3)); },
         {{0, 0, 0, 3}, {1, 0, 0, 3}, {1, 2, 0, 3}, {0, 2, 0, 3}, {0, 0, 3, 3}, {1, 0, 3, 3}, {1, 2, 3, 3}, {0, 2, 3, 3}}},
        {"parallelepiped volume", [](DisplayList3D& l) { l.Add(Box(1, &g_cell)); },
         {{2, 0, 0, 1}, {4, 0, 0, 1}, {3, kH, 0, 1}, {1, kH, 0, 1}, {2, 0, 2, 1}, {4, 0, 2, 1}, {3, kH, 2, 1}, {1, kH, 2, 1}}},
        {"projective list: divided by w, or no finite image", [](DisplayList3D& l) {
             l.SetLocalTransformation(Matrix4x4(1, 0, 0, 0.5, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));
             l.Add(Sphere(P(2, 4, 6), 1));
             l.Add(Sphere(P(-2, 0, 0), 2));
         },
         {{1, 2, 3, 1}, {Point3d::maximum.GetX(), Point3d::maximum.GetY(), Point3d::maximum.GetZ(), 2}}},
        {"annotation label has no 3D dot", [](DisplayList3D& l) { l.Add(Annotation(P(1), 8)); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DisplayList3D list;
        c.fill(list);
        ExpectDots(DotsOf(list), c.expected, 1e-5);
    }
}

// One primitive of every kind, each with its own IDs.
TEST(PickDots, EveryKindInTheOrderOfTheTables) {
    DisplayList3D list;
    list.Add(LinePrimitive(P(1), P(1, 1), kOpaque, 1, 1, 2));
    list.Add(DashedLinePrimitive(P(2), P(2, 2), kOpaque, 1, 4, false, 3));
    LineArrayPrimitive::LineArray lines;
    lines.Add(LinePrimitive(P(3), P(3, 1), kOpaque, 1, 5, 6));
    list.Add(WithID(LineArrayPrimitive(1.0f, lines, false, 0xFFFF), 4));
    TetrahedronPrimitive tetrahedron(P(0), P(1), P(0, 1), P(0, 0, 1));
    tetrahedron.SetColor(kClear);
    list.Add(WithID(tetrahedron, 8));
    tetrahedron.SetColor(kOpaque);
    list.Add(WithID(tetrahedron, 7));
    list.Add(SpherePrimitive(P(6), 1.0, kClear, 10));
    list.Add(Sphere(P(6), 9));
    list.Add(EllipsoidPrimitive(P(7), P(1, 1, 1), Matrix4x4(Matrix4x4::IdentityMatrix), kOpaque, 11));
    list.Add(EllipsoidPrimitive(P(7), P(1, 1, 1), Matrix4x4(Matrix4x4::IdentityMatrix), kClear, 12));
    list.Add(CylinderPrimitive(P(8), kClear, P(9), kOpaque, 1.0, 16, 17, 18));
    list.Add(CylinderPrimitive(P(8), kOpaque, P(9), kClear, 1.0, 13, 14, 15));
    list.Add(ConePrimitive(P(0), P(1), kOpaque, 1.0, 19));
    list.Add(TrianglePrimitive(P(0), P(1), P(0, 1), P(0, 0, 1), kOpaque, 21));
    list.Add(DotPrimitive(P(10), kOpaque, 3, 20));
    list.Add(Quad(kClear, 23));
    list.Add(Quad(kOpaque, 22));
    const ArcPrimitive arc(P(0), P(0, 0, 1), P(1), 90.0, 3, kOpaque, 1, 24);
    ASSERT_EQ(arc.GetNumPoints(), 4);
    list.Add(arc);
    list.Add(Text3DPrimitive("t", P(11), kOpaque, 25));
    list.Add(Annotation(P(1, 2, 3), 30));
    list.Add(UnlitTrianglePrimitive(P(0), P(1), P(0, 1), kOpaque, 26));
    list.Add(Rect2DPrimitive(P(12), kOpaque, 4, 4, 27));
    list.Add(Box(28));
    list.Add(IconPrimitive(P(13), 1, false, false, 29));
    list.Add(LineSegmentPrimitive(Point2d(1, 1), Point2d(2, 2), kOpaque, 1, 31));
    Point2d::Array points;
    for (double x : {1.0, 2.0, 3.0}) points.Add(Point2d(x, 0));
    list.Add(PolylinePrimitive(points, kOpaque, 1, 32));
    RectanglePrimitive rectangle(Point2d(2, 1), Point2d(10, 20), false, kOpaque, 1, false, kOpaque, 33);
    list.Add(rectangle);
    EllipsePrimitive ellipse;
    ellipse.SetOrigin(Point2d(10, 20));
    ellipse.SetSize(Point2d(2, 1));
    list.Add(WithID(ellipse, 34));
    list.Add(TriangleShapePrimitive(Point2d(1, 0), Point2d(2, 0), Point2d(3, 0), false, kOpaque, 1, false, kOpaque, 35));
    list.Add(TextStringPrimitive(36));
    list.Add(TextBoxPrimitive(37));
    list.Add(WithID(TextCalloutPrimitive(), 38));

    const std::vector<unsigned> expected3D = {1,  2,  3,  3,  3,  5,  6,  7,  7,  7,  7,  8,  8,  8,  8,  9,  10,
                                              11, 12, 14, 13, 15, 17, 16, 18, 20, 21, 21, 21, 22, 22, 22, 22, 22,
                                              22, 22, 22, 23, 23, 23, 23, 23, 23, 24, 24, 24, 24, 25, 26, 26, 26,
                                              27, 28, 28, 28, 28, 28, 28, 28, 28, 29};
    EXPECT_EQ(IDs(DotsOf(list)), expected3D);
    const std::vector<Dot> dots2D = DotsOf(list, &DisplayList3D::GetPickDots2D);
    EXPECT_EQ(IDs(dots2D), (std::vector<unsigned>{30, 31, 31, 32, 32, 32, 33, 33, 33, 33, 34, 34, 34, 34, 35, 35, 35,
                                                   36, 37, 38}));
    ASSERT_EQ(dots2D.size(), 20u);
    ExpectDots({dots2D.begin(), dots2D.begin() + 1}, {{1, 2, 3, 30}});
    ExpectDots({dots2D.begin() + 6, dots2D.begin() + 14}, {{10, 20, 0, 33}, {12, 20, 0, 33}, {12, 21, 0, 33},
                                                           {10, 21, 0, 33}, {12, 21, 0, 34}, {8, 21, 0, 34},
                                                           {8, 19, 0, 34}, {12, 19, 0, 34}});
}

TEST(PickDots, EachListIsClippedByItsOwnPlanesCarriedByItsTransformation) {
    DisplayList3D root, child, grandchild;
    root.SetLocalTransformation(Translation(1, 0, 0));
    root.SetClipPlane(0, Plane(P(0), P(0, 0, 1)));
    root.SetClipPlaneEnabled(0, true);
    root.SetClipPlane(1, Plane(P(0), P(0, 0, -1)));  // set but not enabled
    root.Add(Sphere(P(0, 0, -0.5), 1));
    root.Add(Sphere(P(0, 0, 0), 2));
    child.SetLocalTransformation(Translation(0, 5, 0));
    child.Add(Sphere(P(0, 0, -0.5), 4));  // below the root's plane, which is not the child's
    // The grandchild turns and moves far along its plane's turned normal, so
    // a normal moved with the translation would point the other way.
    const Matrix4x4 turn(Axis::z, 90.0);
    const Point3d normal = turn.Rotate(P(1));
    grandchild.SetLocalTransformation(turn * Translation(-50 * normal.GetX(), -50 * normal.GetY(), 0));
    grandchild.SetClipPlane(3, Plane(P(0), P(1)));
    grandchild.SetClipPlaneEnabled(3, true);
    grandchild.SetClipPlane(4, Plane(P(0), P(0, 1)));
    grandchild.SetClipPlaneEnabled(4, true);
    for (unsigned i = 0; i < 4; ++i) grandchild.Add(Sphere(P(i % 2 ? 0.5 : -0.5, i / 2 ? 0.5 : -0.5, 0), 10 + i));
    child.Add(grandchild);
    root.Add(child);

    const std::vector<Dot> dots = DotsOf(root);
    ASSERT_EQ(IDs(dots), (std::vector<unsigned>{2, 4, 13}));
    ExpectDots({dots[0], dots[1]}, {{1, 0, 0, 2}, {1, 5, -0.5, 4}});
    Matrix4x4 aggregate;
    root.GetAggregateTransformation(root, root.GetDisplayList(0).GetDisplayList(0).GetID(), aggregate);
    const Point3d expected = P(0.5, 0.5, 0) * aggregate;  // Matrix4x4's transformation, bit for bit
    EXPECT_EQ(Point3d(dots[2].x, dots[2].y, dots[2].z), expected);

    // A clip value that is not a number drops the dot: here inf - inf.
    DisplayList3D scaled;
    scaled.SetLocalTransformation(Matrix4x4(2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1));
    scaled.SetClipPlane(2, Plane(P(0), P(1, 1, 0)));
    scaled.SetClipPlaneEnabled(2, true);
    const double big = std::numeric_limits<float>::max();
    for (const Dot& d : std::vector<Dot>{{big, -big, 0, 1}, {1, 1, 0, 2}, {1, -2, 0, 3}, {-big, big, 0, 4}})
        scaled.Add(Sphere(P(d.x, d.y, d.z), d.id));
    EXPECT_EQ(IDs(DotsOf(scaled)), std::vector<unsigned>{2});
}

// Atoms as spheres and bonds as sticks of 1ubq, placed by a turned and moved
// tree: every dot goes back to its atom or bond.
TEST(PickDots, ProteinDotsMapBackToTheirAtomsAndBonds) {
    const TessaryTest::BondedAtoms protein = TessaryTest::ReadBondedPdb("1ubq.pdb");
    const auto& [mol, centres, first, second, bonds] = protein;
    ASSERT_GT(bonds, static_cast<int>(mol.Size()) * 9 / 10);
    const unsigned kBondIDs = 100000;

    DisplayList3D atoms, sticks, root;
    for (std::size_t i = 0; i < centres.size(); ++i)
        atoms.Add(SpherePrimitive(centres[i], 0.4, mol.atoms[i].hetero ? kClear : kOpaque, static_cast<unsigned>(i + 1)));
    for (int b = 0; b < bonds; ++b)
        sticks.Add(CylinderPrimitive(centres[first[b]], kOpaque, centres[second[b]], kOpaque, 0.15,
                                     kBondIDs + static_cast<unsigned>(b), static_cast<unsigned>(first[b] + 1),
                                     static_cast<unsigned>(second[b] + 1)));
    atoms.SetLocalTransformation(Matrix4x4(Axis::x, 30.0));
    sticks.SetLocalTransformation(Matrix4x4(Axis::x, 30.0));
    root.SetLocalTransformation(Translation(-centres[0].GetX(), -centres[0].GetY(), -centres[0].GetZ()));
    root.Add(atoms);
    root.Add(sticks);
    const Matrix4x4 world = root.GetLocalTransformation() * Matrix4x4(Axis::x, 30.0);

    std::vector<DotPrimitive> dots;
    ASSERT_EQ(root.GetPickDots(dots), static_cast<int>(mol.Size()) + 3 * bonds);
    std::map<unsigned, int> seen;
    for (std::size_t i = 0; i < mol.Size(); ++i) {
        const unsigned id = dots[i].GetID();
        ASSERT_TRUE(id >= 1 && id <= mol.Size());
        ++seen[id];
        EXPECT_LT(dots[i].GetCoord().Distance(centres[id - 1] * world), 1e-4);
    }
    EXPECT_EQ(seen.size(), mol.Size());
    for (int b = 0; b < bonds; ++b) {
        const DotPrimitive* stick = &dots[mol.Size() + 3 * static_cast<std::size_t>(b)];
        EXPECT_EQ(stick[0].GetID(), static_cast<unsigned>(first[b] + 1));
        EXPECT_EQ(stick[1].GetID(), kBondIDs + static_cast<unsigned>(b));
        EXPECT_EQ(stick[2].GetID(), static_cast<unsigned>(second[b] + 1));
        EXPECT_LT(stick[0].GetCoord().Distance(centres[first[b]] * world), 1e-4);
        EXPECT_LT(stick[1].GetCoord().Distance(centres[first[b]].MidPoint(centres[second[b]]) * world), 1e-4);
        EXPECT_LT(stick[2].GetCoord().Distance(centres[second[b]] * world), 1e-4);
    }
}

// A host that derives from the list walks a subtree under its own parent
// transformation: the dots of the whole walk, moved by that parent.
TEST(PickDots, TreeUnderAParentTransformation) {
    struct Exposed : DisplayList3D {
        using DisplayList3D::GetPickDotsTree;
    };
    Exposed root;
    root.Add(SpherePrimitive(Point3d(1, 0, 0), 1, Color(), 1));
    DisplayList3D child;
    child.Add(SpherePrimitive(Point3d(0, 2, 0), 1, Color(), 2));
    child.SetLocalTransformation(Matrix4x4().SetTranslation(Point3d(0, 0, 3)));
    root.Add(child);
    std::vector<DotPrimitive> dots;
    ASSERT_EQ(root.GetPickDotsTree(Matrix4x4().SetTranslation(Point3d(10, 0, 0)), dots), 2);
    EXPECT_EQ(dots[0].GetCoord(), Point3d(11, 0, 0));
    EXPECT_EQ(dots[1].GetCoord(), Point3d(10, 2, 3));
    EXPECT_EQ(dots[1].GetID(), 2u);
}

}  // namespace
}  // namespace Tessary
