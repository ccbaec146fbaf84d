#include "tessary/geometry/Plane.h"

#include <gtest/gtest.h>

using Tessary::Point3d;

TEST(Plane, CoefficientsAreNotNormalised) {
    Tessary::Plane plane(Point3d(0, 0, 1), Point3d(0, 0, 2));
    double a, b, c, d;
    plane.GetABCD(a, b, c, d);
    EXPECT_EQ(a, 0.0);
    EXPECT_EQ(b, 0.0);
    EXPECT_EQ(c, 2.0);
    EXPECT_EQ(d, -2.0);
    EXPECT_EQ(plane.Apply(Point3d(0, 0, 3)), 4.0);
    EXPECT_EQ(plane.Apply(Point3d(5, 5, 0)), -2.0);

    const Tessary::Plane copy(plane);
    Point3d point, normal;
    copy.Get(point, normal);
    EXPECT_EQ(normal, Point3d(0, 0, 2));
    EXPECT_EQ(point, Point3d(0, 0, 1));

    const Tessary::Plane none;
    EXPECT_EQ(none.Apply(Point3d(1e30, -4, 2)), 0.0);
    Tessary::Plane tilted;
    tilted.Set(Point3d(1, 2, 3), Point3d(1, 1, 1));
    EXPECT_NEAR(tilted.Apply(Point3d(1, 2, 3)), 0.0, 1e-12);
}
