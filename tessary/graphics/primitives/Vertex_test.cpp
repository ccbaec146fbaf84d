#include "tessary/graphics/primitives/Vertex.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tessary/graphics/primitives/GraphicsPrimitive.h"
#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

using test::Bytes;
using test::ExpectGoldenBytes;
using test::LoadBytes;
using test::StoreBytes;

TEST(Vertex, EqualityIgnoresTransparencyOnly) {
    const Vertex a(Point3d(1, 2, 3), Color(10, 20, 30, 200));
    EXPECT_EQ(a, Vertex(Point3d(1, 2, 3), Color(10, 20, 30, 0)));
    EXPECT_NE(a, Vertex(Point3d(1, 2, 3), Color(10, 20, 31, 200)));
    EXPECT_NE(a, Vertex(Point3d(1, 2, 3.5), Color(10, 20, 30, 200)));

    const VertexNormal n(Point3d(1, 2, 3), Point3d(0, 0, 1), Color(1, 2, 3, 9));
    EXPECT_EQ(n, VertexNormal(Point3d(1, 2, 3), Point3d(0, 0, 1), Color(1, 2, 3, 0)));
    EXPECT_NE(n, VertexNormal(Point3d(1, 2, 3), Point3d(0, 1, 0), Color(1, 2, 3, 9)));
}

TEST(Vertex, TransformMovesThePointButNotTheNormal) {
    VertexNormal v(Point3d(1, 0, 0), Point3d(0, 0, 2), Color(5, 6, 7));
    EXPECT_EQ(v.GetPoint(), Point3d(1, 0, 0));
    EXPECT_EQ(v.GetNormal(), Point3d(0, 0, 2));
    Matrix4x4 shift;
    shift.SetTranslation(Point3d(0, 0, 5));
    // A quarter turn about z, then the shift: (1, 0, 0) goes to (0, ±1, 5).
    v.Transform(Matrix4x4(Axis::z, 90.0) * shift);
    EXPECT_NEAR(v.GetPoint().GetX(), 0.0, 1e-6);
    EXPECT_NEAR(std::fabs(v.GetPoint().GetY()), 1.0, 1e-6);
    EXPECT_NEAR(v.GetPoint().GetZ(), 5.0, 1e-6);
    EXPECT_EQ(v.GetNormal(), Point3d(0, 0, 2));
    EXPECT_EQ(v.GetColor(), Color(5, 6, 7));
    v.Normalize();
    EXPECT_EQ(v.GetNormal(), Point3d(0, 0, 1));
}

TEST(Vertex, ArchiveClearsTransparencyAndFollowsThePointLayout) {
    const Vertex v(Point3d(1, 2, 3), Color(0x11, 0x22, 0x33, 200));
    // Version 7 on: the point as three floats.
    const Vertex loaded = ExpectGoldenBytes(v,
                                            {0x11, 0x22, 0x33, 0x00,                          //
                                             0x00, 0x00, 0x80, 0x3f, 0x00, 0x00, 0x00, 0x40,  //
                                             0x00, 0x00, 0x40, 0x40},
                                            7);
    EXPECT_EQ(loaded.GetColor(), Color(0x11, 0x22, 0x33, 0));
    EXPECT_EQ(loaded, v);
    EXPECT_EQ(v.GetColor().GetA(), 200) << "storing leaves the object's own A alone";
    // Unset version: three doubles.
    EXPECT_EQ(StoreBytes(v).size(), 4u + 24u);

    const VertexNormal n(Point3d(1, 0, 0), Point3d(0, 0, -1), Color(1, 2, 3, 4));
    ExpectGoldenBytes(n,
                      {0x01, 0x02, 0x03, 0x00,                                                  //
                       0x00, 0x00, 0x80, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  //
                       0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xbf},
                      13);
}

TEST(Vertex, LoadThatThrowsLeavesTheVertexAsItWas) {
    VertexNormal v(Point3d(1, 2, 3), Point3d(4, 5, 6), Color(7, 8, 9));
    const VertexNormal before = v;
    Bytes truncated = StoreBytes(VertexNormal(Point3d(9, 9, 9), Point3d(9, 9, 9), Color(1, 1, 1)), 7);
    truncated.resize(truncated.size() - 2);
    EXPECT_THROW(LoadBytes(v, truncated, 7), CArchiveException);
    EXPECT_EQ(v, before);
}

TEST(GraphicsPrimitive, DefaultsAndCopies) {
    const LitPrimitive lit;
    EXPECT_EQ(lit.GetID(), 0u);
    EXPECT_EQ(lit.GetMaterial(), 0);
    EXPECT_EQ(lit.GetRepresentation(), 0);
    LitPrimitive other(42);
    other.SetMaterial(static_cast<LitPrimitive::Material>(3));
    other.SetRepresentation(static_cast<LitPrimitive::Representation>(2));
    LitPrimitive copy(other);
    EXPECT_EQ(copy.GetID(), 42u);
    EXPECT_EQ(copy.GetMaterial(), 3);
    EXPECT_EQ(copy.GetRepresentation(), 2);
    EXPECT_EQ(UnlitPrimitive(7).GetID(), 7u);
}

TEST(GraphicsPrimitive, RepresentationWordByVersion) {
    LitPrimitive p(0x01020304);
    p.SetMaterial(static_cast<LitPrimitive::Material>(5));
    p.SetRepresentation(static_cast<LitPrimitive::Representation>(6));
    const Bytes form = {0x04, 0x03, 0x02, 0x01, 0x05, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00};
    // Both words are written whatever the version; 7 and the unset version read both.
    for (std::uint32_t schema : {6u, 7u, kUnsetSchema}) EXPECT_EQ(StoreBytes(p, schema), form) << schema;
    for (std::uint32_t schema : {7u, kUnsetSchema}) ExpectGoldenBytes(p, form, schema);

    // Version 6 reads the ID and the material and keeps the representation.
    LitPrimitive old;
    old.SetRepresentation(static_cast<LitPrimitive::Representation>(9));
    LoadBytes(old, form, 6);
    EXPECT_EQ(old.GetID(), 0x01020304u);
    EXPECT_EQ(old.GetMaterial(), 5);
    EXPECT_EQ(old.GetRepresentation(), 9);

    ExpectGoldenBytes(UnlitPrimitive(0xA0B0C0D0), {0xD0, 0xC0, 0xB0, 0xA0});
}

}  // namespace
}  // namespace Tessary
