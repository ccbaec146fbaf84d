#include "tessary/graphics/displaylist/DisplayList3D.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support/BondedAtoms.h"
#include "tests/support/ExpectPoint.h"

namespace Tessary {
namespace {

// Opens the protected members the store's contract names.
struct List : DisplayList3D {
    using DisplayList3D::AppendArrays;
    using DisplayList3D::GetNumPrim;
    static List& Of(DisplayList3D& list) { return static_cast<List&>(list); }
    static const List& Of(const DisplayList3D& list) { return static_cast<const List&>(list); }
};

const Color kOpaque(10, 20, 30, 0);
const Color kClear(10, 20, 30, 1);

SpherePrimitive Sphere(double x, unsigned id = 0, Color color = kOpaque) {
    return SpherePrimitive(Point3d(x, 0.0, 0.0), 1.0, color, id);
}

// A strip of `vertices` vertices along x (two triangles per step), the first with colour `first`.
TriangleMeshPrimitive Mesh(int vertices, Color first = kOpaque, unsigned id = 0) {
    TriangleMeshPrimitive::VertexArray v;
    TriangleMeshPrimitive::TriangleArray t;
    v.SetSize(vertices);
    for (int i = 0; i < vertices; ++i) v[i] = VertexNormal(Point3d(i, i % 2, 0), Point3d(0, 0, 1), i ? kOpaque : first);
    t.SetSize(std::max(vertices - 2, 0));
    for (int i = 0; i + 2 < vertices; ++i) t[i].Set(i, i + 1, i + 2);
    return TriangleMeshPrimitive(v, t, id);
}

TetrahedronPrimitive Tetrahedron(Color color, unsigned id) {
    TetrahedronPrimitive t(Point3d(0, 0, 0), Point3d(1, 0, 0), Point3d(0, 1, 0), Point3d(0, 0, 1));
    t.SetColor(color);
    t.SetID(id);
    return t;
}

Matrix4x4 Translation(double x, double y, double z) { return Matrix4x4().SetTranslation(x, y, z); }

void ExpectPointNear(const Point3d& p, const Point3d& expected, double tol) {
    ExpectPoint(p, expected.x, expected.y, expected.z, tol);
}

std::vector<double> Coefficients(const Plane& plane) {
    double a, b, c, d;
    plane.GetABCD(a, b, c, d);
    return {a, b, c, d};
}

// ---- filing ---------------------------------------------------------------------------

TEST(DisplayList3DStore, EachSplitKindIsFiledByItsDecidingColourOnce) {
    struct Case {
        const char* kind;
        std::function<int(DisplayList3D&, Color)> add;  // adds one element with that deciding colour
        std::function<std::pair<int, int>(const DisplayList3D&)> counts;  // opaque, transparent
    };
    const Case cases[] = {
        {"tetrahedron", [](DisplayList3D& l, Color c) { return l.Add(Tetrahedron(c, 1)); },
         [](const DisplayList3D& l) { return std::make_pair(l.GetNumOpaqueTetrahedrons(), l.GetNumTransparentTetrahedrons()); }},
        {"sphere", [](DisplayList3D& l, Color c) { return l.Add(Sphere(0, 1, c)); },
         [](const DisplayList3D& l) { return std::make_pair(l.GetNumOpaqueSpheres(), l.GetNumTransparentSpheres()); }},
        {"ellipsoid",
         [](DisplayList3D& l, Color c) { return l.Add(EllipsoidPrimitive(Point3d(), Point3d(1, 1, 1), Matrix4x4(), c, 1)); },
         [](const DisplayList3D& l) { return std::make_pair(l.GetNumOpaqueEllipsoids(), l.GetNumTransparentEllipsoids()); }},
        // End 2 is never looked at.
        {"cylinder",
         [](DisplayList3D& l, Color c) {
             return l.Add(CylinderPrimitive(Point3d(), c, Point3d(1, 0, 0), c.GetA() ? kOpaque : kClear, 0.5, 1));
         },
         [](const DisplayList3D& l) { return std::make_pair(l.GetNumOpaqueCylinders(), l.GetNumTransparentCylinders()); }},
        // Only the first vertex decides.
        {"mesh", [](DisplayList3D& l, Color c) { return l.Add(Mesh(5, c)); },
         [](const DisplayList3D& l) { return std::make_pair(l.GetNumOpaqueTriangleMeshes(), l.GetNumTransparentTriangleMeshes()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        DisplayList3D list;
        EXPECT_EQ(c.add(list, kOpaque), 0);
        EXPECT_EQ(c.add(list, kOpaque), 1);
        EXPECT_EQ(c.add(list, Color(0, 0, 0, 200)), 0);
        EXPECT_EQ(c.counts(list), std::make_pair(2, 1));
    }

    DisplayList3D list;
    EXPECT_EQ(list.Add(Mesh(0, kClear)), 0);  // no vertex: opaque
    EXPECT_EQ(list.GetNumOpaqueTriangleMeshes(), 1);
    VertexNormal clearVertex(Point3d(), Point3d(), kClear);
    list.GetOpaqueTriangleMesh(0).GetVertexArray().Add(clearVertex);
    EXPECT_EQ(list.GetNumTransparentTriangleMeshes(), 0) << "a stored element never moves";
    list.Add(ConePrimitive(Point3d(), Point3d(0, 0, 1), kClear, 1.0, 0));
    list.Add(TrianglePrimitive(Point3d(), Point3d(1, 0, 0), Point3d(0, 1, 0), Point3d(0, 0, 1), kClear, 0));
    EXPECT_EQ(list.GetNumCones() + list.GetNumTriangles(), 2);
}

// ---- counting, removing, clamping ---------------------------------------------------

TEST(DisplayList3DStore, NumPrimCountsMeshVerticesThroughTheTree) {
    for (Color meshColour : {kOpaque, kClear}) {
        DisplayList3D list;
        list.Add(Sphere(0));
        list.Add(Mesh(12, meshColour));
        EXPECT_EQ(List::Of(list).GetNumPrim(), 13);
        DisplayList3D child;
        child.Add(Mesh(4));
        DisplayList3D grandchild;
        grandchild.Add(Sphere(1));
        child.Add(grandchild);
        list.Add(child);
        EXPECT_EQ(List::Of(list).GetNumPrim(), 13 + 4 + 1);
    }
    DisplayList3D onlyLists;
    onlyLists.Add(DisplayList3D());
    onlyLists.GetDisplayList(0).Add(DisplayList3D());
    EXPECT_TRUE(onlyLists.IsEmpty());
    onlyLists.GetDisplayList(0).GetDisplayList(0).Add(Mesh(0));
    EXPECT_TRUE(onlyLists.IsEmpty()) << "a mesh without vertices counts nothing";
    onlyLists.GetDisplayList(0).GetDisplayList(0).Add(Sphere(0));
    EXPECT_FALSE(onlyLists.IsEmpty());
}

TEST(DisplayList3DStore, RemoveKeepsOrderAndClampsItsRange) {
    struct Case {
        int first, count;
        std::vector<double> left;
    };
    const Case cases[] = {
        {2, 3, {0, 1, 5, 6}}, {4, 0, {0, 1, 2, 3, 4, 5, 6}}, {5, 10, {0, 1, 2, 3, 4}},
        {-2, 3, {1, 2, 3, 4, 5, 6}}, {9, 1, {0, 1, 2, 3, 4, 5, 6}}, {1, -4, {0, 1, 2, 3, 4, 5, 6}},
    };
    for (const Case& c : cases) {
        DisplayList3D list;
        for (int i = 0; i < 7; ++i) list.Add(Sphere(i));
        list.RemoveOpaqueSphere(c.first, c.count);
        std::vector<double> left;
        for (int i = 0; i < list.GetNumOpaqueSpheres(); ++i) left.push_back(list.GetOpaqueSphere(i).GetCenter().x);
        EXPECT_EQ(left, c.left) << c.first << ", " << c.count;
    }
}

#ifdef NDEBUG
TEST(DisplayList3DStore, GetOutOfRangeClampsAndAnEmptyArrayGivesADefault) {
    DisplayList3D list;
    list.Add(Sphere(0, 1));
    list.Add(Sphere(1, 2));
    EXPECT_EQ(list.GetOpaqueSphere(-3).GetID(), 1u);
    EXPECT_EQ(std::as_const(list).GetOpaqueSphere(7).GetID(), 2u);
    EXPECT_EQ(std::as_const(list).GetTransparentSphere(0).GetID(), 0u);
    list.GetTransparentSphere(0).SetID(9);  // a scratch element: the change goes nowhere
    EXPECT_EQ(list.GetTransparentSphere(0).GetID(), 0u);
    EXPECT_EQ(std::as_const(list).GetTransparentSphere(0).GetID(), 0u);
    EXPECT_EQ(list.GetNumTransparentSpheres(), 0);
    EXPECT_EQ(list.GetDisplayList(2).GetNumDisplayLists(), 0);

    // Each list has its own scratch: lists used by different threads share nothing.
    DisplayList3D other;
    SpherePrimitive& mine = list.GetTransparentSphere(0);
    SpherePrimitive& theirs = other.GetTransparentSphere(0);
    EXPECT_NE(&mine, &theirs);
    mine.SetID(4);
    theirs.SetID(5);
    EXPECT_EQ(mine.GetID(), 4u);
    EXPECT_NE(&list.GetDisplayList(0), &other.GetDisplayList(0));
    // A copy or a move leaves the source's scratch with the source.
    DisplayList3D copied(list);
    EXPECT_NE(&copied.GetTransparentSphere(0), &list.GetTransparentSphere(0));
    DisplayList3D moved(std::move(copied));
    EXPECT_EQ(moved.GetTransparentSphere(0).GetID(), 0u);
}
#endif

// ---- IDs, copies, clearing, appending ------------------------------------------------

TEST(DisplayList3DStore, IdsComeFromTheCounterAndFollowCopiesButNotCopy) {
    DisplayList3D a;
    DisplayList3D b;
    EXPECT_EQ(b.GetID(), a.GetID() + 1);
    a.Add(Tetrahedron(kClear, 3));
    a.Add(Sphere(0));
    a.SetRenderMode(static_cast<DisplayList3D::RenderMode>(4));
    a.SetIconScale(Point3d(2, 2, 2));
    a.SetClipPlaneEnabled(3, true);
    a.SetLocalTransformation(Translation(1, 2, 3));
    const unsigned childID = a.Add(DisplayList3D());

    const DisplayList3D copied(a);
    EXPECT_EQ(copied.GetID(), a.GetID());
    b.Copy(a);
    EXPECT_EQ(b.GetID(), a.GetID() + 1);
    for (const DisplayList3D* l : {&copied, static_cast<const DisplayList3D*>(&b)}) {
        EXPECT_EQ(l->GetNumTransparentTetrahedrons(), 1);
        EXPECT_EQ(l->GetNumOpaqueTetrahedrons(), 0);
        EXPECT_EQ(l->GetNumOpaqueSpheres(), 1);
        EXPECT_EQ(l->GetRenderMode(), 4);
        EXPECT_EQ(l->GetIconScale(), Point3d(2, 2, 2));
        EXPECT_TRUE(l->GetClipPlaneEnabled(3));
        EXPECT_EQ(l->GetLocalTransformation().GetTranslation(), Point3d(1, 2, 3));
        EXPECT_EQ(l->GetDisplayList(0).GetID(), childID);
    }
    DisplayList3D c;
    c = a;
    EXPECT_EQ(c.GetID(), a.GetID());
    const DisplayList3D& self = c;
    c = self;
    EXPECT_EQ(c.GetNumOpaqueSpheres(), 1);
    // Copying from inside the own tree: the child's (empty) content replaces the list's.
    c.Copy(c.GetDisplayList(0));
    EXPECT_EQ(c.GetID(), a.GetID());
    EXPECT_EQ(c.GetNumOpaqueSpheres() + c.GetNumDisplayLists(), 0);
    // ... and into the own tree: the child becomes the root as it was.
    a.GetDisplayList(0).Copy(a);
    EXPECT_EQ(a.GetDisplayList(0).GetID(), childID);
    EXPECT_EQ(a.GetDisplayList(0).GetNumOpaqueSpheres(), 1);
    EXPECT_EQ(a.GetDisplayList(0).GetDisplayList(0).GetNumDisplayLists(), 0);
    // Over a list with more children and with fewer: the source's children, in order, with their IDs.
    DisplayList3D wide;
    for (int i = 0; i < 3; ++i) wide.Add(DisplayList3D());
    DisplayList3D narrow(wide);
    narrow.RemoveDisplayList(0, 2);
    b.Copy(narrow);
    EXPECT_EQ(b.GetNumDisplayLists(), 1);
    EXPECT_EQ(b.GetDisplayList(0).GetID(), wide.GetDisplayList(2).GetID());
    b.Copy(wide);
    ASSERT_EQ(b.GetNumDisplayLists(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(b.GetDisplayList(i).GetID(), wide.GetDisplayList(i).GetID());
}

TEST(DisplayList3DStore, ClearEmptiesChildrenButKeepsThem) {
    DisplayList3D list;
    for (int i = 0; i < 3; ++i) {
        DisplayList3D child;
        child.Add(Sphere(i));
        child.Add(DisplayList3D());
        list.Add(child);
    }
    list.Add(Mesh(3));
    list.SetClipPlane(2, Plane(Point3d(1, 0, 0), Point3d(0, 1, 0)));
    list.SetClipPlaneEnabled(2, true);
    list.SetIconScale(Point3d(3, 3, 3));
    list.SetRenderMode(static_cast<DisplayList3D::RenderMode>(2));
    list.SetLocalTransformation(Translation(1, 0, 0));
    const unsigned id = list.GetID();
    list.Clear();
    EXPECT_EQ(list.GetNumDisplayLists(), 3);
    EXPECT_TRUE(list.IsEmpty());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(list.GetDisplayList(i).GetNumDisplayLists(), 1);
    for (int i = 0; i < list.GetMaxClipPlanes(); ++i) EXPECT_FALSE(list.GetClipPlaneEnabled(i));
    EXPECT_EQ(Coefficients(list.GetClipPlane(2)), Coefficients(Plane()));
    EXPECT_EQ(list.GetIconScale(), Point3d(1, 1, 1));
    EXPECT_EQ(list.GetLocalTransformation().GetTranslation(), Point3d(0, 0, 0));
    EXPECT_EQ(list.GetRenderMode(), 2);
    EXPECT_EQ(list.GetID(), id);
}

TEST(DisplayList3DStore, AppendCountsElementsAndChildrenAndAppendsItselfOnce) {
    DisplayList3D source;
    source.Add(Sphere(0));
    source.Add(Sphere(1, 0, kClear));
    source.Add(Mesh(12));
    source.Add(Mesh(3, kClear));
    const unsigned first = source.Add(DisplayList3D());
    source.Add(DisplayList3D());
    source.SetLocalTransformation(Translation(5, 0, 0));

    DisplayList3D target;
    target.Add(Sphere(9));
    EXPECT_EQ(target.Append(source), 6);
    EXPECT_EQ(target.GetNumOpaqueSpheres(), 2);
    EXPECT_EQ(target.GetNumTransparentSpheres(), 1);
    EXPECT_EQ(target.GetNumTransparentTriangleMeshes(), 1);
    EXPECT_EQ(target.GetOpaqueSphere(1).GetCenter().x, 0.0f) << "no transformation applied";
    EXPECT_EQ(target.GetDisplayList(0).GetID(), first);
    EXPECT_EQ(target.GetLocalTransformation().GetTranslation(), Point3d(0, 0, 0));

    DisplayList3D meshOnly;
    meshOnly.Add(Mesh(12));
    EXPECT_EQ(List::Of(target).AppendArrays(meshOnly), 1);

    // Self: one copy of the content as it was.
    EXPECT_EQ(target.Append(target), 6 + 2);
    EXPECT_EQ(target.GetNumOpaqueSpheres(), 4);
    EXPECT_EQ(target.GetNumOpaqueTriangleMeshes(), 4);
    EXPECT_EQ(target.GetNumDisplayLists(), 4);
    EXPECT_EQ(target.GetOpaqueSphere(2).GetCenter().x, 9.0f);

    // A child appended to its parent: the child's own children arrive whole.
    DisplayList3D parent;
    DisplayList3D child;
    child.Add(Sphere(7));
    for (int i = 0; i < 5; ++i) child.Add(DisplayList3D());
    parent.Add(child);
    EXPECT_EQ(parent.Append(parent.GetDisplayList(0)), 6);
    EXPECT_EQ(parent.GetNumDisplayLists(), 6);
    EXPECT_EQ(parent.GetDisplayList(0).GetNumDisplayLists(), 5);
}

// ---- the tree -------------------------------------------------------------------------

TEST(DisplayList3DTree, LookupFindsTheFirstAndAggregateTheLastInPreOrder) {
    DisplayList3D root;
    DisplayList3D seven;
    seven.SetLocalTransformation(Translation(1, 0, 0));
    EXPECT_EQ(root.Add(seven), seven.GetID());
    DisplayList3D middle;
    middle.SetLocalTransformation(Translation(0, 2, 0));
    middle.Add(seven);
    root.Add(middle);
    root.SetLocalTransformation(Translation(0, 0, 4));

    EXPECT_EQ(root.LookupDisplayList(seven.GetID()), &root.GetDisplayList(0));
    EXPECT_EQ(root.LookupDisplayList(root.GetID()), &root);
    EXPECT_EQ(root.LookupDisplayList(0xFFFFFFFFu), nullptr);
    EXPECT_EQ(std::as_const(root).LookupDisplayList(middle.GetID()), &root.GetDisplayList(1));

    Matrix4x4 m(Matrix4x4::IdentityMatrix);
    DisplayList3D().GetAggregateTransformation(root, seven.GetID(), m);
    EXPECT_EQ(m.GetTranslation(), Point3d(1, 2, 4));

    const Matrix4x4 untouched = Translation(-7, -7, -7);
    m = untouched;
    root.GetAggregateTransformation(root, 0xFFFFFFFFu, m);
    EXPECT_EQ(m.GetTranslation(), untouched.GetTranslation());

    // The root acts first: T x R sends the child's origin to (1, 0, 0) x R.
    DisplayList3D turned;
    turned.SetLocalTransformation(Matrix4x4(Axis::z, 90.0));
    DisplayList3D shifted;
    shifted.SetLocalTransformation(Translation(1, 0, 0));
    shifted.Add(turned);
    shifted.GetAggregateTransformation(shifted, turned.GetID(), m);
    ExpectPointNear(Point3d(0, 0, 0) * m, Point3d(1, 0, 0) * Matrix4x4(Axis::z, 90.0), 1e-6);
    // A matched list is not searched further: its own descendant with the same ID is ignored.
    DisplayList3D nested(turned);
    nested.Add(turned);
    nested.GetDisplayList(0).SetLocalTransformation(Translation(50, 0, 0));
    nested.GetAggregateTransformation(nested, turned.GetID(), m);
    ExpectPointNear(Point3d(0, 0, 0) * m, Point3d(0, 0, 0), 1e-9);
}

TEST(DisplayList3DTree, ApplyAndFlattenBakeEveryLevelInPreOrder) {
    DisplayList3D root;
    root.Add(Sphere(0, 1));
    root.Add(ConePrimitive(Point3d(0, 0, 0), Point3d(0, 0, 1), kOpaque, 1.0, 0));
    root.SetLocalTransformation(Translation(1, 0, 0));
    DisplayList3D child0;
    child0.Add(Sphere(0, 2));
    child0.Add(Mesh(3));
    child0.SetLocalTransformation(Matrix4x4(Axis::z, 90.0));
    DisplayList3D grandchild;
    grandchild.Add(Sphere(0, 3));
    grandchild.SetLocalTransformation(Translation(0, 0, 5));
    child0.Add(grandchild);
    root.Add(child0);
    DisplayList3D child1;
    child1.Add(Sphere(0, 4));
    root.Add(child1);
    root.SetClipPlaneEnabled(1, true);

    DisplayList3D applied(root);
    applied.ApplyLocalTransformation();
    EXPECT_EQ(applied.GetOpaqueSphere(0).GetCenter(), Point3d(1, 0, 0));
    // The root's shift acts first, then the child's turn, then the grandchild's shift.
    const Matrix4x4 turn(Axis::z, 90.0);
    const Point3d turned = Point3d(1, 0, 0) * turn;
    ExpectPointNear(applied.GetDisplayList(0).GetDisplayList(0).GetOpaqueSphere(0).GetCenter(),
                    turned + Point3d(0, 0, 5), 1e-6);
    const TriangleMeshPrimitive& mesh = applied.GetDisplayList(0).GetOpaqueTriangleMesh(0);
    ExpectPointNear(mesh.GetVertexAt(2).GetPoint(), Point3d(3, 0, 0) * turn, 1e-6);
    ExpectPointNear(mesh.GetVertexAt(2).GetNormal(), Point3d(0, 0, 1), 1e-6);
    EXPECT_EQ(applied.GetCone(0).GetTip(), Point3d(1, 0, 1)) << "cones move like the other solids";
    for (const DisplayList3D* l : {&applied, &applied.GetDisplayList(0), &applied.GetDisplayList(0).GetDisplayList(0)})
        EXPECT_EQ(l->GetLocalTransformation().GetTranslation(), Point3d(0, 0, 0));
    EXPECT_TRUE(applied.GetClipPlaneEnabled(1));

    root.Flatten();
    EXPECT_EQ(root.GetNumDisplayLists(), 0);
    ASSERT_EQ(root.GetNumOpaqueSpheres(), 4);
    const Point3d expected[] = {Point3d(1, 0, 0), turned, turned + Point3d(0, 0, 5), Point3d(1, 0, 0)};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(root.GetOpaqueSphere(i).GetID(), static_cast<unsigned>(i + 1));
        ExpectPointNear(root.GetOpaqueSphere(i).GetCenter(), expected[i], 1e-6);
    }
    EXPECT_EQ(root.GetNumOpaqueTriangleMeshes(), 1);
    EXPECT_TRUE(root.GetClipPlaneEnabled(1));
}

TEST(DisplayList3DTree, AddingAListToItselfOrItsChildCopiesItFirst) {
    DisplayList3D list;
    list.Add(Sphere(0));
    list.Add(DisplayList3D());
    EXPECT_EQ(list.Add(list), list.GetID());
    ASSERT_EQ(list.GetNumDisplayLists(), 2);
    EXPECT_EQ(list.GetDisplayList(1).GetNumDisplayLists(), 1) << "the copy is the list as it was";
    EXPECT_EQ(list.GetDisplayList(1).GetNumOpaqueSpheres(), 1);
    for (int i = 0; i < 20; ++i) list.Add(list.GetDisplayList(1));  // each growth may move the source
    EXPECT_EQ(list.GetNumDisplayLists(), 22);
    EXPECT_EQ(list.GetDisplayList(21).GetNumOpaqueSpheres(), 1);
    list.RemoveDisplayList(1, 100);
    EXPECT_EQ(list.GetNumDisplayLists(), 1);
}

// A callout's box is on the overlay, its 3D location in the scene.
TEST(DisplayList3DTree, OverlayShapesKeepTheirPlacesButTakeObjectIDs) {
    DisplayList3D child;
    TextCalloutPrimitive callout(1);
    callout.SetLocation(Point3d(1, 2, 3));
    child.Add(callout);
    child.Add(TextBoxPrimitive(1));
    child.Add(TextStringPrimitive(1));
    child.Add(EllipsePrimitive());
    child.Add(RectanglePrimitive());
    child.Add(LineSegmentPrimitive(Point2d(1, 1), Point2d(2, 2), kOpaque, 1, 1));
    child.SetLocalTransformation(Translation(5, 5, 5));
    DisplayList3D root;
    root.Add(child);
    root.SetOID(4);
    root.Flatten();
    // Each kind in its own array, even where one class derives from another.
    const int counts[] = {root.GetNumTextCallouts(), root.GetNumTextBoxes(), root.GetNumTextStrings(),
                          root.GetNumEllipses(), root.GetNumRectangles(), root.GetNumLineSegments()};
    for (int count : counts) EXPECT_EQ(count, 1);
    EXPECT_EQ(root.GetTextCallout(0).GetLocation(), Point3d(6, 7, 8));
    EXPECT_EQ(root.GetLineSegment(0).GetPoints()[1], Point2d(2, 2));
    const unsigned ids[] = {root.GetTextCallout(0).GetID(), root.GetTextBox(0).GetID(), root.GetTextString(0).GetID(),
                            root.GetEllipse(0).GetID(), root.GetRectangle(0).GetID(), root.GetLineSegment(0).GetID()};
    for (unsigned id : ids) EXPECT_EQ(id, 4u);
}

// ---- object IDs and clip planes ------------------------------------------------------

TEST(DisplayList3DTree, SetAndTranslateOIDsReachEveryKindButCones) {
    DisplayList3D list;
    list.Add(CylinderPrimitive(Point3d(), kOpaque, Point3d(1, 0, 0), kOpaque, 0.5, 1, 2, 3));
    list.Add(ConePrimitive(Point3d(), Point3d(0, 0, 1), kOpaque, 1.0, 1));
    OIDArray oids;
    for (unsigned id : {1u, 2u, 1u, 7u}) oids.Add(id);
    TriangleMeshPrimitive withIds(Mesh(4).GetVertexArray(), Mesh(4).GetTriangleArray(), oids);
    withIds.SetID(2);
    DisplayList3D child;
    child.Add(withIds);
    OIDArray shortIds;
    shortIds.Add(1);
    child.Add(TriangleMeshPrimitive(Mesh(4).GetVertexArray(), Mesh(4).GetTriangleArray(), shortIds));
    child.Add(Sphere(0, 1, kClear));
    list.Add(child);
    list.Add(LinePrimitive(Point3d(), Point3d(1, 0, 0), kOpaque, 1, 2, 9));
    list.Add(DashedLinePrimitive(Point3d(), Point3d(1, 0, 0), kOpaque, 1, 4, false, 1));
    LineArrayPrimitive::LineArray inner;
    inner.Add(LinePrimitive(Point3d(), Point3d(1, 0, 0), kOpaque, 1, 1, 2));
    list.Add(LineArrayPrimitive(1.0f, inner, false, 0));
    list.GetLineArray(0).SetID(2);

    CMap<unsigned int, unsigned int, unsigned int, unsigned int> swap;
    swap.SetAt(1, 2);
    swap.SetAt(2, 1);
    list.TranslateOIDs(swap);
    const CylinderPrimitive& cylinder = list.GetOpaqueCylinder(0);
    EXPECT_EQ(std::vector<unsigned>({cylinder.GetID(), cylinder.GetEnd1ID(), cylinder.GetEnd2ID()}),
              std::vector<unsigned>({2, 1, 3}));
    EXPECT_EQ(list.GetCone(0).GetID(), 1u);
    const DisplayList3D& c = list.GetDisplayList(0);
    EXPECT_EQ(c.GetOpaqueTriangleMesh(0).GetID(), 1u);
    EXPECT_EQ(std::vector<unsigned>({c.GetOpaqueTriangleMesh(0).GetOIDAt(0), c.GetOpaqueTriangleMesh(0).GetOIDAt(1),
                                     c.GetOpaqueTriangleMesh(0).GetOIDAt(2), c.GetOpaqueTriangleMesh(0).GetOIDAt(3)}),
              std::vector<unsigned>({2, 1, 2, 7}));
    EXPECT_EQ(c.GetOpaqueTriangleMesh(1).GetOIDAt(0), 1u) << "an ID array shorter than the vertices is kept";
    EXPECT_EQ(c.GetTransparentSphere(0).GetID(), 2u);
    EXPECT_EQ(withIds.GetOIDAt(0), 1u) << "the added mesh's shared block is left alone";
    EXPECT_EQ(std::make_pair(list.GetLine(0).GetID1(), list.GetLine(0).GetID2()), std::make_pair(1u, 9u));
    EXPECT_EQ(list.GetDashedLine(0).GetID(), 2u);
    const LinePrimitive& innerLine = list.GetLineArray(0).GetLineArray()[0];
    EXPECT_EQ(std::make_pair(innerLine.GetID1(), innerLine.GetID2()), std::make_pair(2u, 1u)) << "as picking reports them";
    EXPECT_EQ(list.GetLineArray(0).GetID(), 1u);

    list.SetOID(5);
    EXPECT_EQ(cylinder.GetID() + cylinder.GetEnd1ID() + cylinder.GetEnd2ID(), 15u);
    EXPECT_EQ(list.GetCone(0).GetID(), 1u);
    EXPECT_EQ(c.GetOpaqueTriangleMesh(0).GetOIDAt(3), 5u);
    EXPECT_EQ(c.GetOpaqueTriangleMesh(1).GetOIDAt(0), 1u);
    EXPECT_EQ(c.GetOpaqueTriangleMesh(1).GetID(), 5u);
}

TEST(DisplayList3DTree, ClipPlaneIndicesOutsideTheSixAreIgnoredOrRedirected) {
    DisplayList3D list;
    EXPECT_EQ(list.GetMaxClipPlanes(), 6);
    list.SetClipPlane(0, Plane(Point3d(0, 0, 1), Point3d(0, 0, 1)));
    list.SetClipPlane(5, Plane(Point3d(0, 0, 2), Point3d(0, 1, 0)));
    list.SetClipPlane(6, Plane(Point3d(0, 0, 3), Point3d(1, 0, 0)));
    list.SetClipPlaneEnabled(6, true);
    list.SetClipPlaneEnabled(-1, true);
    for (int i : {-1, 6, 0}) EXPECT_EQ(Coefficients(list.GetClipPlane(i)), std::vector<double>({0, 0, 1, -1})) << i;
    EXPECT_EQ(Coefficients(list.GetClipPlane(5)), std::vector<double>({0, 1, 0, 0}));
    for (int i = -1; i <= 6; ++i) EXPECT_FALSE(list.GetClipPlaneEnabled(i)) << "setting a plane does not enable it";
    list.SetClipPlaneEnabled(5, true);
    EXPECT_TRUE(list.GetClipPlaneEnabled(5));
}

// ---- a real structure ---------------------------------------------------------------

TEST(DisplayList3DScene, ProteinAtomsAndBondsSurviveFlatteningAndRenumbering) {
    const TessaryTest::BondedAtoms protein = TessaryTest::ReadBondedPdb("1ubq.pdb");
    const auto& [mol, centres, first, second, bonds] = protein;
    ASSERT_GT(mol.Size(), 600u);
    ASSERT_GT(bonds, static_cast<int>(mol.Size()) * 9 / 10);

    // Atoms in one child, bonds in another, the structure centred by the root.
    DisplayList3D atoms, sticks, root;
    for (std::size_t i = 0; i < centres.size(); ++i)
        atoms.Add(SpherePrimitive(centres[i], 0.4, mol.atoms[i].hetero ? kClear : kOpaque, static_cast<unsigned>(i + 1)));
    for (int b = 0; b < bonds; ++b)
        sticks.Add(CylinderPrimitive(centres[first[b]], kOpaque, centres[second[b]], kOpaque, 0.15, 0,
                                     static_cast<unsigned>(first[b] + 1), static_cast<unsigned>(second[b] + 1)));
    root.Add(atoms);
    const unsigned sticksID = root.Add(sticks);
    root.SetLocalTransformation(Translation(-centres[0].x, -centres[0].y, -centres[0].z));
    EXPECT_EQ(List::Of(root).GetNumPrim(), static_cast<int>(mol.Size()) + bonds);

    Matrix4x4 m;
    root.GetAggregateTransformation(root, sticksID, m);
    ExpectPointNear(centres[first[0]] * m, centres[first[0]] - centres[0], 1e-4);

    CMap<unsigned int, unsigned int, unsigned int, unsigned int> shift;
    for (unsigned id = 1; id <= mol.Size(); ++id) shift.SetAt(id, id + 1000);
    root.TranslateOIDs(shift);
    root.Flatten();
    const int spheres = root.GetNumOpaqueSpheres() + root.GetNumTransparentSpheres();
    EXPECT_EQ(spheres, static_cast<int>(mol.Size()));
    ASSERT_EQ(root.GetNumOpaqueCylinders(), bonds);
    ExpectPointNear(root.GetOpaqueSphere(0).GetCenter(), Point3d(0, 0, 0), 1e-6);
    for (int b = 0; b < bonds; b += 97) {
        const CylinderPrimitive& stick = root.GetOpaqueCylinder(b);
        EXPECT_EQ(stick.GetEnd1ID(), static_cast<unsigned>(first[b] + 1001));
        EXPECT_EQ(stick.GetEnd2ID(), static_cast<unsigned>(second[b] + 1001));
        EXPECT_EQ(stick.GetID(), 0u);
        ExpectPointNear(stick.GetEnd2(), centres[second[b]] - centres[0], 1e-4);
    }
}

// ---- baking keeps the picture ----------------------------------------------------------

// Where the tree draws each kind: scene points through the list's aggregate
// transformation, overlay points as they are. An overload per kind (or per
// family), so a kind without one fails to compile.
struct Placed {
    std::vector<Point3d> scene;
    std::vector<Point2d> overlay;
};
template <class Base>
void Place(const VertexEnds<Base>& p, const Matrix4x4& w, Placed& out) {  // lines, dashed lines, cylinders
    out.scene.insert(out.scene.end(), {p.GetEnd1() * w, p.GetEnd2() * w});
}
template <class Base>
void Place(const TriangleCorners<Base>& p, const Matrix4x4& w, Placed& out) {
    out.scene.insert(out.scene.end(), {p.GetEnd1() * w, p.GetEnd2() * w, p.GetEnd3() * w});
}
void Place(const LineArrayPrimitive& p, const Matrix4x4& w, Placed& out) {
    for (const LinePrimitive& line : p.GetLineArray()) Place(line, w, out);
}
void Place(const TetrahedronPrimitive& p, const Matrix4x4& w, Placed& out) {
    Point3d v[4];
    p.GetTetrahedronVertices(v[0], v[1], v[2], v[3]);
    for (const Point3d& corner : v) out.scene.push_back(corner * w);
}
void Place(const SpherePrimitive& p, const Matrix4x4& w, Placed& out) { out.scene.push_back(p.GetCenter() * w); }
void Place(const EllipsoidPrimitive& p, const Matrix4x4& w, Placed& out) { out.scene.push_back(p.GetCenter() * w); }
void Place(const ConePrimitive& p, const Matrix4x4& w, Placed& out) {
    out.scene.insert(out.scene.end(), {p.GetBase() * w, p.GetTip() * w});
}
void Place(const TriangleMeshPrimitive& p, const Matrix4x4& w, Placed& out) {
    for (int i = 0; i < p.GetNumVertices(); ++i) out.scene.push_back(p.GetVertexAt(i).GetPoint() * w);
}
void Place(const UnlitPointPrimitive& p, const Matrix4x4& w, Placed& out) { out.scene.push_back(p.GetCoord() * w); }
void Place(const Rect2DPrimitive& p, const Matrix4x4& w, Placed& out) { out.scene.push_back(p.GetCoord() * w); }
void Place(const ArcPrimitive& p, const Matrix4x4& w, Placed& out) {
    out.scene.insert(out.scene.end(), {p.GetCenter() * w, p.GetStart() * w});
    for (const Point3d& point : p.GetPoints()) out.scene.push_back(point * w);
}
// The grid is the host's and carries its own placement: nothing the list could move.
void Place(const VolumePrimitive&, const Matrix4x4&, Placed&) {}
void Place(const UnlitLinePrimitive& p, const Matrix4x4&, Placed& out) {
    out.overlay.insert(out.overlay.end(), p.GetPoints().begin(), p.GetPoints().end());
}
void Place(const RectanglePrimitive& p, const Matrix4x4&, Placed& out) {  // ellipses too
    out.overlay.insert(out.overlay.end(), {p.GetOrigin(), p.GetSize()});
}
void Place(const TriangleShapePrimitive& p, const Matrix4x4&, Placed& out) {
    out.overlay.insert(out.overlay.end(), {p.GetPoint1(), p.GetPoint2(), p.GetPoint3()});
}
void Place(const TextStringPrimitive& p, const Matrix4x4&, Placed& out) { out.overlay.push_back(p.GetOrigin()); }
// The box sits on the overlay; its leader runs to the 3D location.
void Place(const TextCalloutPrimitive& p, const Matrix4x4& w, Placed& out) {
    out.overlay.push_back(p.GetOrigin());
    out.scene.push_back(p.GetLocation() * w);
}

using Placements = std::map<std::string, Placed>;

void PlaceTree(const DisplayList3D& list, const Matrix4x4& parent, Placements& out) {
    const Matrix4x4 w = parent * list.GetLocalTransformation();
#define TESSARY_TEST_PLACE(Class, Plural, Singular, ...) \
    for (int i = 0; i < list.GetNum##Plural(); ++i) Place(list.Get##Singular(i), w, out[#Plural]);
    TESSARY_DISPLAY_LIST_ARRAYS(TESSARY_TEST_PLACE)
#undef TESSARY_TEST_PLACE
    for (int i = 0; i < list.GetNumDisplayLists(); ++i) PlaceTree(list.GetDisplayList(i), w, out);
}
Placements PlaceTree(const DisplayList3D& root) {
    Placements out;
    PlaceTree(root, Matrix4x4(Matrix4x4::IdentityMatrix), out);
    return out;
}

void ExpectSamePlaces(const Placements& actual, const Placements& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (const auto& [kind, places] : expected) {
        SCOPED_TRACE(kind);
        const Placed& got = actual.at(kind);
        ASSERT_EQ(got.scene.size(), places.scene.size());
        for (std::size_t i = 0; i < places.scene.size(); ++i) ExpectPointNear(got.scene[i], places.scene[i], 1e-4);
        EXPECT_EQ(got.overlay, places.overlay);
    }
}

// One element of every kind, each with its own points.
void AddEveryKind(DisplayList3D& list, NComponentVolume<float>& grid) {
    list.Add(LinePrimitive(Point3d(1, 0, 0), Point3d(1, 1, 0), kOpaque, 1, 1, 2));
    list.Add(DashedLinePrimitive(Point3d(2, 0, 0), Point3d(2, 2, 0), kOpaque, 1, 4, false, 3));
    LineArrayPrimitive::LineArray lines;
    lines.Add(LinePrimitive(Point3d(3, 0, 0), Point3d(3, 1, 1), kOpaque, 1, 5, 6));
    list.Add(LineArrayPrimitive(1.0f, lines, false, 4));
    list.Add(Tetrahedron(kOpaque, 7));
    list.Add(Tetrahedron(kClear, 8));
    list.Add(Sphere(6, 9));
    list.Add(Sphere(-6, 10, kClear));
    for (Color c : {kOpaque, kClear})
        list.Add(EllipsoidPrimitive(Point3d(7, 1, 0), Point3d(1, 2, 3), Matrix4x4(Matrix4x4::IdentityMatrix), c, 11));
    list.Add(CylinderPrimitive(Point3d(8, 0, 0), kOpaque, Point3d(9, 1, 2), kOpaque, 1.0, 12));
    list.Add(CylinderPrimitive(Point3d(8, 0, 1), kClear, Point3d(9, 1, 3), kOpaque, 1.0, 13));
    list.Add(ConePrimitive(Point3d(1, 2, 3), Point3d(2, 4, 5), kOpaque, 1.0, 14));
    list.Add(TrianglePrimitive(Point3d(0, 0, 1), Point3d(1, 0, 1), Point3d(0, 1, 1), Point3d(0, 0, 1), kOpaque, 15));
    list.Add(Mesh(5));
    list.Add(Mesh(4, kClear));
    list.Add(DotPrimitive(Point3d(10, 1, 2), kOpaque, 3, 16));
    list.Add(ArcPrimitive(Point3d(1, 1, 1), Point3d(0, 0, 1), Point3d(2, 1, 1), 90.0, 3, kOpaque, 1, 17));
    list.Add(Text3DPrimitive("t", Point3d(11, 0, 1), kOpaque, 18));
    list.Add(UnlitTrianglePrimitive(Point3d(0, 2, 0), Point3d(1, 2, 0), Point3d(0, 3, 0), kOpaque, 19));
    list.Add(Rect2DPrimitive(Point3d(12, 1, 0), kOpaque, 4, 4, 20));
    VolumePrimitive volume;
    volume.SetVolume(&grid);
    list.Add(volume);
    list.Add(IconPrimitive(Point3d(13, 0, 2), 1, false, false, 21));
    list.Add(LineSegmentPrimitive(Point2d(1, 1), Point2d(2, 2), kOpaque, 1, 22));
    Point2d::Array points;
    for (double x : {1.0, 2.0, 3.0}) points.Add(Point2d(x, 0));
    list.Add(PolylinePrimitive(points, kOpaque, 1, 23));
    list.Add(RectanglePrimitive(Point2d(2, 1), Point2d(10, 20), false, kOpaque, 1, false, kOpaque, 24));
    EllipsePrimitive ellipse;
    ellipse.SetOrigin(Point2d(10, 20));
    list.Add(ellipse);
    list.Add(TriangleShapePrimitive(Point2d(1, 0), Point2d(2, 0), Point2d(3, 1), false, kOpaque, 1, false, kOpaque, 25));
    TextStringPrimitive text(26);
    text.SetOrigin(Point2d(4, 5));
    list.Add(text);
    list.Add(TextBoxPrimitive(27));
    TextCalloutPrimitive callout(28);
    callout.SetLocation(Point3d(3, 2, 1));
    callout.SetOrigin(Point2d(30, 40));
    list.Add(callout);
}

TEST(DisplayList3DTree, BakingKeepsEveryKindWhereTheTreeDrewIt) {
    NComponentVolume<float> grid(Point3d(0, 0, 0), Point3d(1, 1, 1), {2, 2, 2}, Point3d(1, 1, 1));
    // root (shifted) -> child (turned about a slanted axis, scaled, shifted) -> grandchild (shifted).
    const Matrix4x4 scale(1.5, 0, 0, 0, 0, 1.5, 0, 0, 0, 0, 1.5, 0, 0, 0, 0, 1);
    DisplayList3D child;
    AddEveryKind(child, grid);
#define TESSARY_TEST_EVERY_KIND(Class, Plural, ...) EXPECT_GT(child.GetNum##Plural(), 0) << #Plural;
    TESSARY_DISPLAY_LIST_ARRAYS(TESSARY_TEST_EVERY_KIND)
#undef TESSARY_TEST_EVERY_KIND
    child.SetLocalTransformation(Matrix4x4(Point3d(1, 2, 3), 35.0) * scale * Translation(2, -1, 4));
    DisplayList3D grandchild;
    grandchild.Add(ConePrimitive(Point3d(0, 0, 0), Point3d(0, 0, 2), kOpaque, 1.0, 30));
    TextCalloutPrimitive callout(31);
    callout.SetLocation(Point3d(1, 0, 0));
    grandchild.Add(callout);
    grandchild.Add(Sphere(1, 32));
    grandchild.SetLocalTransformation(Translation(0, 3, 0));
    child.Add(grandchild);
    DisplayList3D root;
    root.Add(Sphere(0, 33));
    root.Add(child);
    root.SetLocalTransformation(Translation(-4, 0, 1));
    const Placements before = PlaceTree(root);

    DisplayList3D applied(root);
    applied.ApplyLocalTransformation();
    ExpectSamePlaces(PlaceTree(applied), before);
    root.Flatten();
    ASSERT_EQ(root.GetNumDisplayLists(), 0);
    ExpectSamePlaces(PlaceTree(root), before);
    // The polyline of a baked arc still turns about its baked axis from its baked start.
    ArcPrimitive arc = root.GetArc(0);
    const Point3d::Array baked = arc.GetPoints();
    arc.Generate();
    ASSERT_EQ(arc.GetNumPoints(), baked.GetSize());
    for (int i = 0; i < baked.GetSize(); ++i) ExpectPointNear(arc.GetPoints()[i], baked[i], 1e-4);
}

// ---- trees of any depth ------------------------------------------------------------------

// Deeper than any recursion over the tree fits on a default 8 MB stack.
constexpr int kDepth = 20'000;

// A chain of `depth` lists, each the only child of the one before: level k
// holds a sphere and an overlay string, both of ID k + 1, and is shifted by
// (1, 0, 0), so its sphere is drawn at (k + 1, 0, 0).
DisplayList3D Chain(int depth = kDepth) {
    DisplayList3D root;
    DisplayList3D* tip = &root;
    for (int k = 0; k < depth; ++k) {
        if (k > 0) {
            tip->Add(DisplayList3D());
            tip = &tip->GetDisplayList(0);
        }
        tip->Add(Sphere(0, static_cast<unsigned>(k + 1)));
        tip->Add(TextStringPrimitive(static_cast<unsigned>(k + 1)));
        tip->SetLocalTransformation(Translation(1, 0, 0));
    }
    return root;
}

std::vector<const DisplayList3D*> Levels(const DisplayList3D& root) {
    std::vector<const DisplayList3D*> levels{&root};
    while (levels.back()->GetNumDisplayLists() > 0) levels.push_back(&levels.back()->GetDisplayList(0));
    return levels;
}
std::vector<unsigned> LevelIDs(const DisplayList3D& root) {
    std::vector<unsigned> ids;
    for (const DisplayList3D* l : Levels(root)) ids.push_back(l->GetID());
    return ids;
}
// The ID of each level's sphere (0 where it has none).
std::vector<unsigned> SphereIDs(const DisplayList3D& root) {
    std::vector<unsigned> ids;
    for (const DisplayList3D* l : Levels(root)) ids.push_back(l->GetNumOpaqueSpheres() ? l->GetOpaqueSphere(0).GetID() : 0);
    return ids;
}
std::vector<unsigned> OneTo(int n, unsigned offset = 0) {
    std::vector<unsigned> ids;
    for (int k = 1; k <= n; ++k) ids.push_back(static_cast<unsigned>(k) + offset);
    return ids;
}

// One chain serves every case; a case that changes a tree works on its own copy.
TEST(DisplayList3DTree, EveryTreeOperationWorksOnADeepChain) {
    struct Case {
        const char* name;
        std::function<void(const DisplayList3D& chain)> run;
    };
    const Case cases[] = {
        {"pick dots, in pre-order", [](const DisplayList3D& chain) {
             std::vector<DotPrimitive> dots;
             ASSERT_EQ(chain.GetPickDots(dots), kDepth);
             std::vector<unsigned> ids;
             for (int k = 0; k < kDepth; ++k) {
                 ids.push_back(dots[static_cast<std::size_t>(k)].GetID());
                 if (k % 997 == 0) ExpectPointNear(dots[static_cast<std::size_t>(k)].GetCoord(), Point3d(k + 1, 0, 0), 1e-9);
             }
             EXPECT_EQ(ids, OneTo(kDepth));
         }},
        {"overlay pick dots", [](const DisplayList3D& chain) {
             std::vector<DotPrimitive> dots;
             ASSERT_EQ(chain.GetPickDots2D(dots), kDepth);
             std::vector<unsigned> ids;
             for (const DotPrimitive& d : dots) ids.push_back(d.GetID());
             EXPECT_EQ(ids, OneTo(kDepth));
         }},
        {"lookup, aggregate transformation and count", [](const DisplayList3D& chain) {
             const DisplayList3D* deepest = Levels(chain).back();
             EXPECT_EQ(chain.LookupDisplayList(deepest->GetID()), deepest);
             EXPECT_EQ(chain.LookupDisplayList(0xFFFFFFFFu), nullptr);
             Matrix4x4 m;
             chain.GetAggregateTransformation(chain, deepest->GetID(), m);
             EXPECT_EQ(m.GetTranslation(), Point3d(kDepth, 0, 0));
             EXPECT_EQ(List::Of(chain).GetNumPrim(), 2 * kDepth);
             EXPECT_FALSE(chain.IsEmpty());
         }},
        {"copy construction, destruction and moves", [](const DisplayList3D& chain) {
             DisplayList3D copy(chain);
             EXPECT_EQ(LevelIDs(copy), LevelIDs(chain));
             EXPECT_EQ(SphereIDs(copy), OneTo(kDepth));
             DisplayList3D moved(std::move(copy));
             EXPECT_EQ(Levels(moved).size(), static_cast<std::size_t>(kDepth));
             moved = DisplayList3D();  // the deep tree goes here
             EXPECT_EQ(moved.GetNumDisplayLists(), 0);
         }},
        {"Copy and assignment over lists of their own", [](const DisplayList3D& chain) {
             DisplayList3D target = Chain(3);
             const unsigned own = target.GetID();
             target.Copy(chain);  // three lists reused, the rest new
             std::vector<unsigned> expected = LevelIDs(chain);
             expected[0] = own;
             EXPECT_EQ(LevelIDs(target), expected);
             target.RemoveOpaqueSphere(0, 1);
             target = chain;  // every list reused
             EXPECT_EQ(LevelIDs(target), LevelIDs(chain));
             EXPECT_EQ(SphereIDs(target), OneTo(kDepth));
         }},
        {"Copy of the root into its own child", [](const DisplayList3D& chain) {
             DisplayList3D tree(chain);
             const std::vector<unsigned> ids = LevelIDs(tree);
             tree.GetDisplayList(0).Copy(tree);
             std::vector<unsigned> expected = ids;
             expected.insert(expected.begin() + 2, ids.begin() + 1, ids.end());
             expected.resize(static_cast<std::size_t>(kDepth) + 1);
             EXPECT_EQ(LevelIDs(tree), expected);
         }},
        {"Append and Add of a deep list", [](const DisplayList3D& chain) {
             DisplayList3D holder;
             EXPECT_EQ(holder.Append(chain), 3);
             EXPECT_EQ(holder.Add(chain), chain.GetID());
             ASSERT_EQ(holder.GetNumDisplayLists(), 2);
             EXPECT_EQ(Levels(holder.GetDisplayList(0)).size(), static_cast<std::size_t>(kDepth - 1));
             EXPECT_EQ(Levels(holder.GetDisplayList(1)).size(), static_cast<std::size_t>(kDepth));
             EXPECT_EQ(List::Of(holder).GetNumPrim(), 2 * (kDepth - 1) + 2 + 2 * kDepth);
         }},
        {"ApplyLocalTransformation, then Flatten in pre-order", [](const DisplayList3D& chain) {
             DisplayList3D tree(chain);
             tree.ApplyLocalTransformation();
             const std::vector<const DisplayList3D*> levels = Levels(tree);
             for (std::size_t k = 0; k < levels.size(); k += 997) {
                 ExpectPointNear(levels[k]->GetOpaqueSphere(0).GetCenter(), Point3d(k + 1, 0, 0), 1e-9);
                 EXPECT_EQ(levels[k]->GetLocalTransformation().GetTranslation(), Point3d(0, 0, 0));
             }
             EXPECT_EQ(levels.back()->GetLocalTransformation().GetTranslation(), Point3d(0, 0, 0));
             tree.Flatten();
             EXPECT_EQ(tree.GetNumDisplayLists(), 0);
             ASSERT_EQ(tree.GetNumOpaqueSpheres(), kDepth);
             ASSERT_EQ(tree.GetNumTextStrings(), kDepth);
             std::vector<unsigned> ids;
             for (int k = 0; k < kDepth; ++k) ids.push_back(tree.GetOpaqueSphere(k).GetID());
             EXPECT_EQ(ids, OneTo(kDepth));
             ExpectPointNear(tree.GetOpaqueSphere(kDepth - 1).GetCenter(), Point3d(kDepth, 0, 0), 1e-9);
         }},
        {"SetOID, TranslateOIDs and Clear", [](const DisplayList3D& chain) {
             DisplayList3D tree(chain);
             CMap<unsigned int, unsigned int, unsigned int, unsigned int> shift;
             for (unsigned id = 1; id <= kDepth; ++id) shift.SetAt(id, id + 100);
             tree.TranslateOIDs(shift);
             EXPECT_EQ(SphereIDs(tree), OneTo(kDepth, 100));
             tree.SetOID(7);
             EXPECT_EQ(SphereIDs(tree), std::vector<unsigned>(kDepth, 7u));
             tree.Clear();
             EXPECT_TRUE(tree.IsEmpty());
             EXPECT_EQ(Levels(tree).size(), static_cast<std::size_t>(kDepth));
             EXPECT_EQ(SphereIDs(tree), std::vector<unsigned>(kDepth, 0u));
         }},
    };
    const DisplayList3D chain = Chain();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.run(chain);
    }
}

static_assert(std::is_nothrow_move_constructible_v<DisplayList3D>, "children vectors relocate by moving");

}  // namespace
}  // namespace Tessary
