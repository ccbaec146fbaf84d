#include "tessary/geometry/Point3d.h"

#include "tessary/util/Random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <limits>
#include <sstream>
#include <vector>
#include "tests/support/ExpectPoint.h"
#include "tests/support/GoldenBytes.h"

using Tessary::CArchive;
using Tessary::Point3d;

namespace {

constexpr double kInvSqrt2 = 0.70710678118654752;
constexpr double kInvSqrt3 = 0.57735026918962576;


}  // namespace

TEST(Point3d, LayoutAndConstants) {
    static_assert(sizeof(Point3d) == 12);
    // Usable in constant expressions: set before any initialiser runs.
    static_assert(Point3d::kVector.z == 1.0f && Point3d::maximum.y == std::numeric_limits<float>::max());
    const Point3d p(1, 2, 3);
    EXPECT_EQ(static_cast<const float*>(p)[2], 3.0f);
    EXPECT_EQ(Point3d::maximum.GetX(), 3.4028234663852886e38);
    EXPECT_EQ(Point3d::minimum.GetZ(), -3.4028234663852886e38);
    EXPECT_EQ(Point3d::kVector.GetZ(), 1.0);
    EXPECT_EQ(Point3d::jVector.GetY(), 1.0);
    EXPECT_EQ(Point3d::origin.Length(), 0.0);
    // Stored as float, handed out as double.
    EXPECT_EQ(Point3d(0.1, 0, 0).GetX(), static_cast<double>(0.1f));
    const double d[3] = {4, 5, 6};
    ExpectPoint(Point3d(d), 4, 5, 6, 0);
    ExpectPoint(Point3d(static_cast<const float*>(nullptr)), 0, 0, 0, 0);
    ExpectPoint(Point3d(static_cast<const double*>(nullptr)), 0, 0, 0, 0);
}

TEST(Point3d, IndexOutOfRangeYieldsX) {
    Point3d p(1, 2, 3);
    EXPECT_EQ(p[0], 1.0f);
    EXPECT_EQ(p[2], 3.0f);
    EXPECT_EQ(p[5], 1.0f);
    EXPECT_EQ(p[-1], 1.0f);
    // Wide indices take the same rule, not the pointer subscript.
    EXPECT_EQ(p[std::size_t(2)], 3.0f);
    EXPECT_EQ(p[5L], 1.0f);
    EXPECT_EQ(p[0x100000002LL], 1.0f);
    p[7] = 9.0f;
    EXPECT_EQ(p.x, 9.0f);
    EXPECT_EQ(p.SetY(8).SetZ(7).Sum(), 24.0);
}

TEST(Point3d, ArithmeticAndDivisionFallBacks) {
    const Point3d p(1, 2, 3);
    ExpectPoint(p / Point3d(1, 0, 1), 1, 2, 3, 0);
    ExpectPoint(p / 0.0, 1, 2, 3, 0);
    ExpectPoint(p / Point3d(2, 4, 8), 0.5, 0.5, 0.375, 0);
    ExpectPoint(p * Point3d(4, 5, 6), 4, 10, 18, 0);
    ExpectPoint(2.0 * p, 2, 4, 6, 0);
    ExpectPoint(p - 1.0, 0, 1, 2, 0);
    ExpectPoint(-p, -1, -2, -3, 0);
    Point3d q = p;
    (q += 1.0) -= Point3d(1, 1, 1);
    EXPECT_EQ(q, p);
    // One rounding per stored component: 0.1f * 3 computed in double.
    Point3d r(0.1, 0, 0);
    r *= 3.0;
    EXPECT_EQ(r.x, static_cast<float>(static_cast<double>(0.1f) * 3.0));
}

TEST(Point3d, EqualityIsASumOfAbsoluteDifferences) {
    EXPECT_FALSE(Point3d(0, 0, 0).Compare(Point3d(0.1, 0.1, 0.1), 0.25));  // sum 0.3, distance 0.17
    EXPECT_TRUE(Compare(Point3d(0, 0, 0), Point3d(0.1, 0.1, 0.1), 0.31));
    EXPECT_TRUE(Point3d(1, 2, 3) == Point3d(1, 2, 3));
    EXPECT_TRUE(Point3d(1, 2, 3) != Point3d(std::nextafter(1.0f, 2.0f), 2, 3));
    EXPECT_TRUE(Point3d(0, 0, 0) == Point3d(1e-39, 0, 0));  // below the smallest normal float
}

TEST(Point3d, Products) {
    const Point3d a(1, 2, 3), b(4, 5, 6);
    EXPECT_EQ(a.Dot(b), 32.0);
    ExpectPoint(CrossProduct(a, b), -3, 6, -3, 0);
    Point3d out;
    CrossProduct(a, b, out);
    EXPECT_EQ(out, a.Cross(b));
    // Parallel vectors fall back to a.Normal().
    ExpectPoint(CrossNormal(Point3d(1, 0, 0), Point3d(2, 0, 0)), 0, kInvSqrt2, kInvSqrt2);
    CrossNormal(Point3d(1, 0, 0), Point3d(2, 0, 0), out);
    ExpectPoint(out, 0, kInvSqrt2, kInvSqrt2);
    ExpectPoint(Point3d(1, 0, 0).CrossNormal(Point3d(0, 1, 0)), 0, 0, 1, 0);
    // The three-argument form tests with ==: a product below the smallest
    // normal float counts as zero there, not in the two-argument form.
    const Point3d tiny(1e-20, 0, 0), other(0, 1e-20, 0);
    ExpectPoint(CrossNormal(tiny, other), 0, 0, 1e-40, 1e-45);
    CrossNormal(tiny, other, out);
    ExpectPoint(out, 0, kInvSqrt2, kInvSqrt2);
}

TEST(Point3d, Measures) {
    const Point3d p(3, 4, 12);
    EXPECT_EQ(p.SumPowers(-2), p.SumSquares());
    EXPECT_EQ(SumPowers(p, 3), 27.0 + 64.0 + 1728.0);
    // Direction points from the first point to the second.
    ExpectPoint(Direction(Point3d(1, 1, 1), p), 2, 3, 11, 0);
    Point3d m(1, 5, -2);
    m.Minimum(Point3d(2, 3, -1));
    ExpectPoint(m, 1, 3, -2, 0);
}

TEST(Point3d, BoxTestIsInclusiveAndUnsorted) {
    const Point3d lo(0, 0, 0), hi(1, 2, 3);
    EXPECT_TRUE(Point3d(1, 2, 3).CheckInsideBox(lo, hi));
    EXPECT_TRUE(CheckPointInsideBox(lo, hi, Point3d(0, 0, 0)));
    EXPECT_FALSE(CheckPointInsideBox(lo, hi, Point3d(0, 2.0001, 0)));
    EXPECT_FALSE(CheckPointInsideBox(hi, lo, Point3d(0.5, 0.5, 0.5)));
}

TEST(Point3d, LengthChanges) {
    ExpectPoint(ChangeLength(Point3d(3, 4, 0), 10), 6, 8, 0);
    ExpectPoint(ChangeLength(Point3d(3, 4, 0), -5), -3, -4, 0);
    ExpectPoint(Normalize(Point3d()), 0, 0, 0, 0);
    ExpectPoint(Normalize(Point3d(0, 0, -7)), 0, 0, -1, 0);
}

TEST(Point3d, NormalFallBacks) {
    ExpectPoint(Point3d().Normal(), kInvSqrt3, kInvSqrt3, kInvSqrt3);
    ExpectPoint(Normal(Point3d(0, 0, 2)), kInvSqrt2, kInvSqrt2, 0);
    const Point3d v(1, 2, 3);
    EXPECT_NEAR(v.Dot(v.Normal()), 0.0, 1e-6);
    EXPECT_NEAR(v.Normal().Length(), 1.0, 1e-6);
    // Plane through three points: (b - a) x (c - b), normalised.
    ExpectPoint(Normal(Point3d(0, 0, 0), Point3d(1, 0, 0), Point3d(1, 1, 0)), 0, 0, 1);
    ExpectPoint(Normal(Point3d(0, 0, 0), Point3d(1, 1, 1), Point3d(2, 2, 2)), 0, 0, 0, 0);
    ExpectPoint(Normal(Point3d(1, 1, 1), Point3d(1, 1, 1), Point3d(1, 1, 1)), 0, 0, 0, 0);
}

TEST(Point3d, AxisRotationsFollowTheRightHandRule) {
    ExpectPoint(Point3d(1, 0, 0).RotateAboutZ(90), 0, 1, 0);
    ExpectPoint(Point3d(0, 1, 0).RotateAboutX(90), 0, 0, 1);
    ExpectPoint(Point3d(0, 0, 1).RotateAboutY(90), 1, 0, 0);
    ExpectPoint(Point3d(1, 0, 0).RotateAboutY(90), 0, 0, -1);
    // Exactly 0 leaves the point alone, even where computing would not (NaN * 0).
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Point3d p(1, 2, 3);
    p.z = nan;
    p.RotateAboutX(0);
    EXPECT_EQ(p.y, 2.0f);
}

TEST(Point3d, AngleEdgeCases) {
    EXPECT_EQ(Angle(Point3d(1, 0, 0), Point3d(0, 0, 0), Point3d(0, 0, 0)), 90.0);
    EXPECT_EQ(Angle(Point3d(1, 0, 0), Point3d(0, 0, 0), Point3d(-2, 0, 0)), 180.0);
    EXPECT_NEAR(Angle(Point3d(1, 0, 0), Point3d(0, 0, 0), Point3d(1, 1, 0)), 45.0, 1e-12);
    // Short arms: the product of squared lengths is below the float epsilon,
    // so the dot product (1e-8) is taken as the cosine itself.
    EXPECT_DOUBLE_EQ(Angle(Point3d(1e-4, 0, 0), Point3d(0, 0, 0), Point3d(1e-4, 1e-9, 0)),
                     std::acos(static_cast<double>(1e-4f) * static_cast<double>(1e-4f)) * 57.29577951308232);
}

TEST(Point3d, DihedralSignsAndDegenerateInput) {
    const Point3d b(0, 0, 0), c(1, 0, 0);
    EXPECT_NEAR(Dihedral(Point3d(0, 1, 0), b, c, Point3d(1, 1, 0)), 0.0, 1e-9);    // cis
    EXPECT_NEAR(Dihedral(Point3d(0, 1, 0), b, c, Point3d(1, -1, 0)), 180.0, 1e-9);  // trans
    const double plus = Dihedral(Point3d(0, 1, 0), b, c, Point3d(1, 0, 1));
    const double minus = Dihedral(Point3d(0, 1, 0), b, c, Point3d(1, 0, -1));
    EXPECT_NEAR(std::fabs(plus), 90.0, 1e-9);
    EXPECT_EQ(plus, -minus);
    EXPECT_EQ(Torsion(Point3d(0, 1, 0), b, c, Point3d(1, 0, 1)), plus);
    EXPECT_EQ(Dihedral(Point3d(-1, 0, 0), b, c, Point3d(2, 0, 0)), 90.0);  // collinear
}

TEST(Point3d, DistancesToLinesAndPlanes) {
    EXPECT_NEAR(DistanceToLine2(Point3d(5, 3, 4), Point3d(0, 0, 0), Point3d(2, 0, 0)), 25.0, 1e-9);
    EXPECT_NEAR(Point3d(5, 3, 4).DistanceToLine(Point3d(0, 0, 0), Point3d(2, 0, 0)), 5.0, 1e-9);
    EXPECT_EQ(DistanceToLine2(Point3d(5, 3, 4), Point3d(1, 1, 1), Point3d(1, 1, 1)), 0.0);

    int side = 7;
    EXPECT_EQ(DistanceToPlane2(Point3d(3, 4, 0), Point3d(0, 0, 0), Point3d(0, 0, 1), side), 0.0);
    EXPECT_EQ(side, -1);
    side = 7;
    EXPECT_EQ(DistanceToPlane2(Point3d(3, 4, 0), Point3d(1, 1, 1), Point3d(1, 1, 1), side), 0.0);
    EXPECT_EQ(side, 7);
    EXPECT_EQ(Point3d(0, 0, 5).DistanceToPlane(Point3d(0, 0, 1), Point3d(0, 0, 3), side), 4.0);
    EXPECT_EQ(side, 1);
    EXPECT_EQ(DistanceToPlane(Point3d(0, 0, -5), Point3d(0, 0, 1), Point3d(0, 0, 3), side), 6.0);
    EXPECT_EQ(side, -1);
}

TEST(Point3d, Projections) {
    ExpectPoint(ProjectToLine(Point3d(1, 1, 0), Point3d(0, 0, 0), Point3d(2, 0, 0)), 1, 0, 0);
    ExpectPoint(ProjectToLine(Point3d(-1, 1, 0), Point3d(0, 0, 0), Point3d(2, 0, 0)), -1, 0, 0);
    ExpectPoint(Point3d(3, 3, 3).ProjectToLine(Point3d(1, 2, 3), Point3d(1, 2, 3)), 1, 2, 3, 0);

    // A unit normal gives the foot of the perpendicular.
    double dist = 0;
    int side = 0;
    ExpectPoint(ProjectToPlane(Point3d(2, 3, 5), Point3d(0, 0, 1), Point3d(0, 0, 2), dist, side), 2, 3, 1, 0);
    EXPECT_EQ(dist, 4.0);
    EXPECT_EQ(side, 1);
    // A normal of length 2 moves the point by dist times 2: (0, 0, 5) lands on -5.
    ExpectPoint(ProjectToPlane(Point3d(0, 0, 5), Point3d(0, 0, 0), Point3d(0, 0, 2), dist, side), 0, 0, -5, 0);
    EXPECT_EQ(dist, 5.0);
    float fdist = 0;
    ExpectPoint(Point3d(0, 0, -1).ProjectToPlane(Point3d(0, 0, 0), Point3d(0, 0, 1), fdist, side), 0, 0, 0, 0);
    EXPECT_EQ(fdist, 1.0f);
    EXPECT_EQ(side, -1);
}

TEST(Point3d, RandomDrawsXYZInOrder) {
    Tessary::RandomInteger g(5);
    Tessary::RandomInteger ref(5);
    Tessary::UniformRandomSequence s(g, 0.0, 32767.0);
    const Point3d p = Point3d::Random(s);
    const double x = ref(), y = ref(), z = ref();
    ExpectPoint(p, x, y, z, 0);

    // Randomize keeps a non-zero length, and turns zero into a raw triple.
    Point3d q(0, 3, 4);
    q.Randomize(s);
    EXPECT_NEAR(q.Length(), 5.0, 1e-5);
    Tessary::RandomInteger g2(11), ref2(11);
    Tessary::UniformRandomSequence raw(g2, 0.0, 32767.0);
    Point3d zero;
    zero.Randomize(raw);
    const double rx = ref2(), ry = ref2(), rz = ref2();
    ExpectPoint(zero, rx, ry, rz, 0);
}

TEST(Point3d, DefaultRandomVectorsAreUnitLength) {
    const unsigned long saved = Tessary::RandomInteger::SetDefaultSeed(1);
    const Point3d p = Point3d::Random();
    const double x = -1.0 + 2.0 * 16838 / 32767.0, y = -1.0 + 2.0 * 5758 / 32767.0, z = -1.0 + 2.0 * 10113 / 32767.0;
    const double len = std::sqrt(x * x + y * y + z * z);
    ExpectPoint(p, x / len, y / len, z / len);
    Point3d q(0, 0, 2);
    q.Randomize();
    EXPECT_NEAR(q.Length(), 2.0, 1e-6);
    Tessary::RandomInteger::SetDefaultSeed(saved);
}

TEST(Point3d, ArchiveLayoutFollowsTheVersion) {
    using Tessary::test::Bytes;
    const Point3d p(1, 2, 3);
    const Bytes doubles = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0x40,
                           0, 0, 0, 0, 0, 0, 0x08, 0x40};
    const Bytes floats = {0, 0, 0x80, 0x3F, 0, 0, 0, 0x40, 0, 0, 0x40, 0x40};
    // Only the all-bits value means unset: a large version is still "7 or higher".
    const struct {
        std::uint32_t schema;
        const Bytes& expected;
    } cases[] = {{0xFFFFFFFFu, doubles}, {6, doubles}, {0, doubles}, {7, floats}, {13, floats}, {0x80000000u, floats}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.schema);
        EXPECT_EQ(Tessary::test::ExpectGoldenBytes(p, c.expected, c.schema), p);
    }
    // The archive operators write and read the same bytes as Serialize.
    std::vector<unsigned char> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        ar << p;
    }
    EXPECT_EQ(bytes, doubles);
    Point3d back;
    CArchive in(bytes, CArchive::load);
    in >> back;
    EXPECT_EQ(back, p);

    // A short input throws, the archive error reaches the caller and the point stays.
    Point3d target(7, 8, 9);
    EXPECT_THROW(Tessary::test::LoadBytes(target, Bytes(doubles.begin(), doubles.begin() + 20)),
                 Tessary::CArchiveException);
    EXPECT_EQ(target, Point3d(7, 8, 9));

    // Arrays of points go through the array's own block form: 12 bytes each.
    Point3d::Array array;
    array.Add(p);
    array.Add(Point3d(4, 5, 6));
    EXPECT_EQ(Tessary::test::StoreBytes(array).size(), 2u + 24u);
}

TEST(Point3d, TextForms) {
    std::ostringstream plain;
    plain << Point3d(1, 2, 3);
    EXPECT_EQ(plain.str(), "1 2 3");
    std::ostringstream wide;
    wide << std::setw(4) << Point3d(1, 2, 3) << '|';
    EXPECT_EQ(wide.str(), "   1   2   3|");

    Point3d p(7, 8, 9);
    std::istringstream good(" 1.5 -2 3e2 ");
    good >> p;
    ExpectPoint(p, 1.5, -2, 300, 0);
    for (const char* bad : {"1 2 x", "1 2", "", "1 nan"}) {
        Point3d q(7, 8, 9);
        std::istringstream in(bad);
        in >> q;
        EXPECT_TRUE(in.fail()) << bad;
        ExpectPoint(q, 7, 8, 9, 0);
    }
}
