#pragma once

// Component-wise comparison of a point with expected coordinates.

#include <gtest/gtest.h>

#include "tessary/geometry/Point3d.h"

inline void ExpectPoint(const Tessary::Point3d& p, double x, double y, double z, double tol = 1e-6) {
    EXPECT_NEAR(p.GetX(), x, tol);
    EXPECT_NEAR(p.GetY(), y, tol);
    EXPECT_NEAR(p.GetZ(), z, tol);
}
