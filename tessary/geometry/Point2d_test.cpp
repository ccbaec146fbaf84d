#include "tessary/geometry/Point2d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <sstream>
#include <vector>

#include "tests/support/GoldenBytes.h"

using Tessary::CArchive;
using Tessary::Point2d;
using Tessary::Point3d;

TEST(Point2dDeathTest, FirstHalfTurnUsesTheInitialCache) {
    // A fresh process, so that no earlier Rotate has replaced the cache: the
    // exact (-1, -2) shows that no sine of 180 degrees (1.2e-16) was computed.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Point2d p(1, 2);
            p.Rotate(180);
            std::exit(p.x == -1.0 && p.y == -2.0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(Point2d, Rotation) {
    Point2d p(1, 2);
    p.Rotate(360);
    p.Rotate(-720);
    EXPECT_EQ(p, Point2d(1, 2));
    Point2d q(1, 0);
    q.Rotate(90);
    EXPECT_NEAR(q.x, 0.0, 1e-15);
    EXPECT_NEAR(q.y, 1.0, 1e-15);
    q.Rotate(90);  // cached angle
    EXPECT_NEAR(q.x, -1.0, 1e-15);
    q.Rotate(-90);
    EXPECT_NEAR(q.y, 1.0, 1e-15);
    // Once another angle was used, 180 is computed: sin(pi) is not exactly 0.
    Point2d r(1, 2);
    r.Rotate(180);
    EXPECT_NEAR(r.x, -1.0, 1e-15);
    EXPECT_NEAR(r.y, -2.0, 1e-15);
}

TEST(Point2d, ConstantsConstructionAndAccess) {
    static_assert(sizeof(Point2d) == 16);
    EXPECT_EQ(Point2d::minimum.x, -3.4028234663852886e38);
    EXPECT_EQ(Point2d::maximum.y, 3.4028234663852886e38);
    EXPECT_EQ(Point2d::jVector.y, 1.0);
    EXPECT_EQ(Point2d(Point3d(1, 2, 3)), Point2d(1, 2));
    Point2d s;
    s.SetXY(Point3d(4, 5, 6));
    EXPECT_EQ(s, Point2d(4, 5));
    EXPECT_EQ(Point2d(static_cast<const double*>(nullptr)), Point2d());
    Point2d p(1, 2);
    EXPECT_EQ(p[-1], 1.0);
    EXPECT_EQ(p[7L], 1.0);
    EXPECT_EQ(p[1], 2.0);
    p[9] = 5.0;
    EXPECT_EQ(p.x, 5.0);
    float fx, fy;
    p.GetXY(fx, fy);
    EXPECT_EQ(fy, 2.0f);
}

TEST(Point2d, ArithmeticAndFallBacks) {
    EXPECT_EQ(Point2d(1, 2) / Point2d(0, 5), Point2d(1, 2));
    EXPECT_EQ(Point2d(1, 2) / 0.0, Point2d(1, 2));
    EXPECT_EQ(Point2d(1, 2) / Point2d(2, 4), Point2d(0.5, 0.5));
    EXPECT_EQ(Point2d(1, 2) * Point2d(3, 4), Point2d(3, 8));
    EXPECT_EQ(3.0 * Point2d(1, 2) - Point2d(1, 1), Point2d(2, 5));
    EXPECT_EQ(-Point2d(1, 2), Point2d(-1, -2));
    const int equal = Point2d(1, 2) == Point2d(1, 2);
    EXPECT_EQ(equal, 1);
    EXPECT_TRUE(Point2d(0, 0) != Point2d(1e-30, 0));

    EXPECT_EQ(Direction(Point2d(1, 1), Point2d(4, 5)), Point2d(3, 4));
    Point2d m(1, 5);
    m.Maximum(Point2d(2, 3));
    EXPECT_EQ(m, Point2d(2, 5));
    m.Minimum(Point2d(0, 4));
    EXPECT_EQ(m, Point2d(0, 4));
    Point2d v(3, 4);
    v.ChangeLength(10);
    EXPECT_EQ(v, Point2d(6, 8));
    Point2d zero;
    zero.Normalize();
    EXPECT_EQ(zero, Point2d());
    EXPECT_EQ(Angle(Point2d(1, 0), Point2d(0, 0), Point2d(0, 0)), 90.0);
    EXPECT_NEAR(Angle(Point2d(1, 0), Point2d(0, 0), Point2d(-1, 1)), 135.0, 1e-12);
}

TEST(Point2d, ArchiveAndText) {
    // Two doubles whatever the version.
    const Tessary::test::Bytes golden = {0, 0, 0, 0, 0, 0, 0xF8, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0xC0};
    for (std::uint32_t schema : {0xFFFFFFFFu, 6u, 13u}) {
        EXPECT_EQ(Tessary::test::ExpectGoldenBytes(Point2d(1.5, -2), golden, schema), Point2d(1.5, -2));
    }
    // The operators and the archive constructor read and write the same form.
    std::vector<unsigned char> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        ar << Point2d(1.5, -2) << Point2d(3, 4);
    }
    {
        CArchive ar(bytes, CArchive::load);
        EXPECT_EQ(Point2d(ar), Point2d(1.5, -2));
        Point2d p;
        ar >> p;
        EXPECT_EQ(p, Point2d(3, 4));
        EXPECT_THROW(ar >> p, Tessary::CArchiveException);
        EXPECT_EQ(p, Point2d(3, 4));
    }
    std::ostringstream plain, wide;
    plain << Point2d(1, 2);
    wide << std::setw(3) << Point2d(1, 2);
    EXPECT_EQ(plain.str(), "1 2");
    EXPECT_EQ(wide.str(), "  1  2");

    std::istringstream two("3 4");
    EXPECT_EQ(Point2d(two), Point2d(3, 4));
    std::istringstream one("3 x");
    EXPECT_EQ(Point2d(one), Point2d());
    Point2d kept(7, 8);
    std::istringstream bad("3");
    bad >> kept;
    EXPECT_TRUE(bad.fail());
    EXPECT_EQ(kept, Point2d(7, 8));
}
