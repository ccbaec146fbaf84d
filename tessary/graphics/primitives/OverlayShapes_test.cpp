#include "tessary/graphics/primitives/OverlayShapes.h"

#include <gtest/gtest.h>

#include "tests/support/ArchiveBytes.h"
#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

using namespace test;  // golden-bytes helpers

const Color kFore(1, 2, 3, 4), kBack(5, 6, 7, 8);

// The shape part of every form below: ID 9, origin (1, 2), outlined, width 3,
// filled, stippled, pattern 6.
template <class Shape>
Shape Styled(Shape shape) {
    shape.SetStipplePattern(static_cast<UnlitShapePrimitive::StipplePattern>(6));
    shape.SetIsStippled(true);
    return shape;
}
const Bytes kShapeForm = Cat({Raw<std::uint32_t>({9}), Raw<double>({1, 2}), Raw<unsigned char>({1, 2, 3, 4, 5, 6, 7, 8}),
                              Raw<std::int32_t>({1, 3, 1, 1, 6})});

TEST(OverlayShapes, DefaultsAndConstructorOrder) {
    const UnlitShapePrimitive shape;
    EXPECT_TRUE(shape.GetIsOutlined());
    EXPECT_EQ(shape.GetForegroundColor(), Color::White());
    EXPECT_EQ(shape.GetBackgroundColor(), Color::White());
    EXPECT_EQ(shape.GetOutlineWidth(), 1);
    EXPECT_FALSE(shape.GetIsFilled() || shape.GetIsStippled());
    EXPECT_EQ(shape.GetStipplePattern(), 4);
    EXPECT_EQ(UnlitShapePrimitive(Point2d(), false, kFore, 2, true, kBack, 1).GetStipplePattern(), 4);

    const RectanglePrimitive rect(Point2d(10, 20), Point2d(1, 2), true, kFore, 3, false, kBack, 9);
    EXPECT_EQ(rect.GetSize(), Point2d(10, 20));
    EXPECT_EQ(rect.GetOrigin(), Point2d(1, 2));
    const EllipsePrimitive ellipse(Point2d(10, 20), Point2d(1, 2), true, kFore, 3, false, kBack, 9);
    EXPECT_EQ(ellipse.GetSize(), Point2d(10, 20));
    EXPECT_EQ(EllipsePrimitive(Point2d(1, 2), true, kFore, 3, false, kBack, 9).GetSize(), Point2d(0, 0));

    TriangleShapePrimitive triangle(Point2d(1, 2), Point2d(3, 4), Point2d(5, 6), true, kFore, 3, true, kBack, 9);
    EXPECT_EQ(triangle.GetOrigin(), Point2d(1, 2));
    triangle.SetPoint1(Point2d(7, 7));
    EXPECT_EQ(triangle.GetOrigin(), Point2d(1, 2)) << "only the constructor ties the origin to point 1";
    EXPECT_EQ(triangle.GetPoint1(), Point2d(7, 7));
}

TEST(OverlayShapes, EachFormFollowsTheShapePart) {
    ExpectGoldenBytesThroughBase<UnlitShapePrimitive>(
        Styled(UnlitShapePrimitive(Point2d(1, 2), true, kFore, 3, true, kBack, 9)), kShapeForm);
    const Bytes sized = Cat({kShapeForm, Raw<double>({10, 20})});
    const RectanglePrimitive rect = ExpectGoldenBytesThroughBase<UnlitShapePrimitive>(
        Styled(RectanglePrimitive(Point2d(10, 20), Point2d(1, 2), true, kFore, 3, true, kBack, 9)), sized);
    EXPECT_EQ(rect.GetOutlineWidth(), 3);
    EXPECT_EQ(rect.GetBackgroundColor(), kBack);
    EXPECT_EQ(rect.GetStipplePattern(), 6);
    EXPECT_EQ(rect.GetSize(), Point2d(10, 20));
    ExpectGoldenBytesThroughBase<UnlitShapePrimitive>(
        Styled(EllipsePrimitive(Point2d(10, 20), Point2d(1, 2), true, kFore, 3, true, kBack, 9)), sized);
    const TriangleShapePrimitive triangle = ExpectGoldenBytesThroughBase<UnlitShapePrimitive>(
        Styled(TriangleShapePrimitive(Point2d(1, 2), Point2d(3, 4), Point2d(5, 6), true, kFore, 3, true, kBack, 9)),
        Cat({kShapeForm, Raw<double>({1, 2, 3, 4, 5, 6})}));
    EXPECT_EQ(triangle.GetPoint3(), Point2d(5, 6));

    // Any non-zero flag word is true.
    Bytes flags = kShapeForm;
    flags[28] = 7;  // outlined
    flags[36] = 0;  // filled
    UnlitShapePrimitive loaded;
    LoadBytes(loaded, flags);
    EXPECT_TRUE(loaded.GetIsOutlined());
    EXPECT_FALSE(loaded.GetIsFilled());
}

}  // namespace
}  // namespace Tessary
