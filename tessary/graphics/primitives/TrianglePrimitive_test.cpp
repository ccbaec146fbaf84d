#include "tessary/graphics/primitives/TrianglePrimitive.h"

#include <gtest/gtest.h>

#include "tests/support/ArchiveBytes.h"
#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

using test::Bytes;
using test::ExpectGoldenBytes;
using test::LoadBytes;

const Point3d kEnd1(1, 0, 0), kEnd2(0, 2, 0), kEnd3(0, 0, -1), kNormal(0, 0, 1);

TEST(TrianglePrimitive, EqualityComparesGeometryOnly) {
    const TrianglePrimitive t(kEnd1, kEnd2, kEnd3, kNormal, Color(1, 2, 3), 7);
    EXPECT_EQ(t, TrianglePrimitive(kEnd1, kEnd2, kEnd3, kNormal, Color(9, 9, 9, 9), 8));
    EXPECT_NE(t, TrianglePrimitive(kEnd1, kEnd2, kEnd3, Point3d(0, 1, 0), Color(1, 2, 3), 7));
    EXPECT_NE(t, TrianglePrimitive(kEnd2, kEnd1, kEnd3, kNormal, Color(1, 2, 3), 7)) << "end 1 pairs with end 1";
    EXPECT_EQ(t.GetMaterial(), 0);
    EXPECT_EQ(t.GetID(), 7u);

    const UnlitTrianglePrimitive u(kEnd1, kEnd2, kEnd3, Color(1, 2, 3), 7);
    EXPECT_EQ(u, UnlitTrianglePrimitive(kEnd1, kEnd2, kEnd3, Color(4, 5, 6), 1));
    EXPECT_NE(u, UnlitTrianglePrimitive(kEnd1, kEnd2, Point3d(0, 0, 1), Color(1, 2, 3), 7));
}

TEST(TrianglePrimitive, TransformMovesTheEndsButNotTheNormal) {
    Matrix4x4 m(Axis::z, 90.0);
    m.SetTranslation(Point3d(0, 0, 5));
    TrianglePrimitive t(kEnd1, kEnd2, kEnd3, kNormal, Color(1, 2, 3), 7);
    UnlitTrianglePrimitive u(kEnd1, kEnd2, kEnd3, Color(1, 2, 3), 7);
    t.Transform(m);
    u.Transform(m);
    for (const auto& [moved, end] : {std::pair{t.GetEnd1(), kEnd1}, {t.GetEnd2(), kEnd2}, {t.GetEnd3(), kEnd3},
                                     {u.GetEnd1(), kEnd1}, {u.GetEnd2(), kEnd2}, {u.GetEnd3(), kEnd3}})
        EXPECT_EQ(moved, end * m);
    EXPECT_EQ(t.GetNormal(), kNormal);
}

TEST(TrianglePrimitive, ArchiveWritesOneVertexFormPerCorner) {
    TrianglePrimitive t(kEnd1, kEnd2, kEnd3, kNormal, Color(0x11, 0x22, 0x33, 200), 0x0A0B0C0D);
    t.SetRepresentation(static_cast<LitPrimitive::Representation>(2));
    for (bool floats : {true, false}) {
        const std::uint32_t schema = floats ? 7 : kUnsetSchema;
        const Bytes rgb0 = test::Raw<unsigned char>({0x11, 0x22, 0x33, 0});
        const Bytes form = test::Cat({test::Raw<std::int32_t>({0x0A0B0C0D, 0, 2}),  //
                                      rgb0, test::PointBytes(kEnd1, floats),        //
                                      rgb0, test::PointBytes(kEnd2, floats),        //
                                      rgb0, test::PointBytes(kEnd3, floats),        //
                                      test::PointBytes(kNormal, floats)});
        const TrianglePrimitive loaded = ExpectGoldenBytes(t, form, schema);
        EXPECT_EQ(loaded, t);
        EXPECT_EQ(loaded.GetColor(), Color(0x11, 0x22, 0x33, 0)) << "a loaded triangle is opaque";
        EXPECT_EQ(loaded.GetID(), 0x0A0B0C0Du);
        EXPECT_EQ(loaded.GetRepresentation(), 2);
    }
    EXPECT_EQ(t.GetColor().GetA(), 200) << "storing leaves the object's own A alone";

    // Corners written with different colours: the first one wins, as read.
    const Bytes mixed = test::Cat({test::Raw<std::int32_t>({1, 0, 0}),                                      //
                                   test::Raw<unsigned char>({1, 2, 3, 4}), test::PointBytes(kEnd1, true),  //
                                   test::Raw<unsigned char>({5, 6, 7, 0}), test::PointBytes(kEnd2, true),  //
                                   test::Raw<unsigned char>({8, 9, 10, 0}), test::PointBytes(kEnd3, true),
                                   test::PointBytes(kNormal, true)});
    TrianglePrimitive read;
    LoadBytes(read, mixed, 7);
    EXPECT_EQ(read.GetColor(), Color(1, 2, 3, 4));
    EXPECT_EQ(read, t);
}

TEST(TrianglePrimitive, UnlitArchiveKeepsTheWholeColourWord) {
    const UnlitTrianglePrimitive u(kEnd1, kEnd2, kEnd3, Color(0x11, 0x22, 0x33, 0x44), 0x01020304);
    for (bool floats : {true, false}) {
        const Bytes form = test::Cat({test::Raw<std::uint32_t>({0x01020304}), test::PointBytes(kEnd1, floats),
                                      test::PointBytes(kEnd2, floats), test::PointBytes(kEnd3, floats),
                                      test::Raw<unsigned char>({0x11, 0x22, 0x33, 0x44})});
        const UnlitTrianglePrimitive loaded = ExpectGoldenBytes(u, form, floats ? 13 : 6);
        EXPECT_EQ(loaded.GetColor(), u.GetColor());
        EXPECT_EQ(loaded, u);
    }
}

}  // namespace
}  // namespace Tessary
