#include "tessary/graphics/primitives/Rect2DPrimitive.h"

#include <gtest/gtest.h>

namespace Tessary {
namespace {

TEST(Rect2DPrimitive, TransformMovesTheAnchorAndKeepsTheScreenSize) {
    Matrix4x4 m(Axis::x, 90.0);
    m(3, 0) = 5.0;
    Rect2DPrimitive rect(Point3d(1, 2, 3), Color(1, 2, 3, 4), 40, 20, 6);
    rect.Transform(m);
    EXPECT_EQ(rect.GetCoord(), m.Transform(Point3d(1, 2, 3)));
    EXPECT_EQ(rect.GetWidth(), 40);
    EXPECT_EQ(rect.GetHeight(), 20);
    EXPECT_EQ(Rect2DPrimitive().GetWidth(), 0);
}

}  // namespace
}  // namespace Tessary
