#include "tessary/geometry/Matrix3x3.h"

#include "tessary/geometry/Matrix4x4.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>
#include "tests/support/TestSeed.h"
#include "tests/support/ExpectPoint.h"

using Tessary::Axis;
using Tessary::CArchive;
using Tessary::Matrix3x3;
using Tessary::Matrix4x4;
using Tessary::Point3d;

namespace {



void ExpectMatrix(const Matrix3x3& m, const Matrix3x3& expected, double tol) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(m.Get(i, j), expected.Get(i, j), tol) << "element " << i << j;
}

bool SameElements(const Matrix3x3& a, const Matrix3x3& b) {
    return std::memcmp(static_cast<const double*>(a), static_cast<const double*>(b), sizeof(double) * 9) == 0;
}

const Matrix3x3 kIdentity(Matrix3x3::IdentityMatrix);

// The decomposition behind the principal axes is not part of the public face.
struct Decomposer : Matrix3x3 {
    using Matrix3x3::SingularValueDecomposition;
};

}  // namespace

TEST(Matrix3x3, ConstructionAndAccess) {
    static_assert(sizeof(Matrix3x3) == 72);
    const Matrix3x3 zero;
    for (int k = 0; k < 9; ++k) EXPECT_EQ(static_cast<const double*>(zero)[k], 0.0);
    EXPECT_EQ(kIdentity.Get(1, 1), 1.0);
    EXPECT_EQ(kIdentity.Get(1, 0), 0.0);
    EXPECT_TRUE(SameElements(Matrix3x3(Matrix3x3::NullMatrix), zero));

    Matrix3x3 m(1, 2, 3, 4, 5, 6, 7, 8, 9);
    EXPECT_EQ(m.Get(0, 2), 3.0);
    EXPECT_EQ(m.Get(2, 0), 7.0);
    EXPECT_EQ(m(5, -1), 7.0);  // indices clamped to (2, 0)
    m(-3, 9) = 30.0;           // (0, 2)
    EXPECT_EQ(m.Get(0, 2), 30.0);
    m.Set(3, 0, 99.0).Set(0, -1, 99.0);
    EXPECT_TRUE(SameElements(m, Matrix3x3(1, 2, 30, 4, 5, 6, 7, 8, 9)));

    double out[9];
    m.Get(out);
    EXPECT_EQ(out[5], 6.0);
    EXPECT_TRUE(SameElements(Matrix3x3(out), m));
    m.SetIdentity();
    EXPECT_TRUE(SameElements(m, kIdentity));
}

TEST(Matrix3x3, Arithmetic) {
    const Matrix3x3 a(1, 2, 3, 4, 5, 6, 7, 8, 10);
    const Matrix3x3 b(2, 0, 1, 1, 3, 0, 0, 1, 1);
    EXPECT_TRUE(SameElements(a * b, Matrix3x3(4, 9, 4, 13, 21, 10, 22, 34, 17)));
    Matrix3x3 c = a;
    c *= b;
    EXPECT_TRUE(SameElements(c, a * b));
    EXPECT_TRUE(SameElements(a + b - b, a));
    EXPECT_TRUE(SameElements(2.0 * a, a * 2.0));
    EXPECT_TRUE(SameElements(a / 0.0, a));
    EXPECT_EQ((a / 2.0).Get(2, 2), 5.0);
    EXPECT_EQ(a.Determinant(), -3.0);
    EXPECT_EQ(Determinant(b), 7.0);
    Matrix3x3 t = a;
    t.Transpose();
    EXPECT_EQ(t.Get(0, 2), 7.0);
    EXPECT_EQ(t.Det(), a.Det());
    // Row vector on the left: x' = x m00 + y m10 + z m20.
    ExpectPoint(Point3d(1, 1, 1) * a, 12, 15, 19, 0);
    Point3d p(1, 0, 0);
    a.Transform(p);
    ExpectPoint(p, 1, 2, 3, 0);
}

TEST(Matrix3x3, InversionIsExactGaussJordan) {
    Matrix3x3 zeroColumn(1, 0, 2, 3, 0, 4, 5, 0, 6);
    const Matrix3x3 before = zeroColumn;
    zeroColumn.Invert();
    EXPECT_TRUE(SameElements(zeroColumn, before));

    const Matrix3x3 swap(0, 1, 0, 1, 0, 0, 0, 0, 1);
    Matrix3x3 inv = swap;
    inv.Invert();
    EXPECT_TRUE(SameElements(inv, swap));

    // Rank 2 with no zero pivot in exact arithmetic order still inverts to
    // something only when a pivot is non-zero; this one hits an exact zero.
    Matrix3x3 singular(1, 2, 3, 2, 4, 6, 1, 1, 1);
    const Matrix3x3 s0 = singular;
    singular.Invert();
    EXPECT_TRUE(SameElements(singular, s0));

    Matrix3x3 diag(2, 0, 0, 0, 4, 0, 0, 0, 8);
    diag.Invert();
    EXPECT_TRUE(SameElements(diag, Matrix3x3(0.5, 0, 0, 0, 0.25, 0, 0, 0, 0.125)));
}

TEST(Matrix3x3, InverseTimesMatrixIsIdentity) {
    const unsigned seed = TestSeed();
    SCOPED_TRACE("TESSARY_TEST_SEED=" + std::to_string(seed));
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int trial = 0; trial < 200; ++trial) {
        Matrix3x3 m;
        for (int k = 0; k < 9; ++k) static_cast<double*>(m)[k] = dist(rng);
        m += 3.0 * kIdentity;  // diagonally dominant: well conditioned
        Matrix3x3 inv = m;
        inv.Invert();
        ExpectMatrix(inv * m, kIdentity, 1e-12);
        ExpectMatrix(m * inv, kIdentity, 1e-12);
    }
}

TEST(Matrix3x3, AxisRotationSenses) {
    ExpectPoint(Point3d(1, 0, 0) * Matrix3x3(Axis::z, 90), 0, 1, 0);
    ExpectPoint(Point3d(0, 1, 0) * Matrix3x3(Axis::x, 90), 0, 0, 1);
    // The y builder turns the other way from the axis-angle form.
    ExpectPoint(Point3d(1, 0, 0) * Matrix3x3(Axis::y, 90), 0, 0, 1);
    ExpectPoint(Point3d(1, 0, 0) * Matrix3x3(Point3d(0, 1, 0), 90), 0, 0, -1);
    ExpectPoint(Point3d(1, 0, 0) * Matrix3x3(Point3d(0, 0, 5), 90), 0, 1, 0);
    EXPECT_TRUE(SameElements(Matrix3x3(static_cast<Axis>(7), 30), kIdentity));
    // A zero axis gives cos(deg) times the identity.
    ExpectMatrix(Matrix3x3(Point3d(), 60), 0.5 * kIdentity, 1e-15);
}

TEST(Matrix3x3, RotationsKeepLengths) {
    std::mt19937 rng(TestSeed());
    SCOPED_TRACE("TESSARY_TEST_SEED=" + std::to_string(TestSeed()));
    std::uniform_real_distribution<double> dist(-10.0, 10.0);
    for (int trial = 0; trial < 100; ++trial) {
        const Point3d axis(dist(rng), dist(rng), dist(rng));
        const Matrix3x3 r(axis, dist(rng) * 36.0);
        EXPECT_NEAR(r.Determinant(), 1.0, 1e-6);
        const Point3d p(dist(rng), dist(rng), dist(rng));
        EXPECT_NEAR((p * r).Length(), p.Length(), 1e-5 * (1.0 + p.Length()));
        // The axis itself stays put.
        EXPECT_LT(Distance(axis * r, axis), 1e-4 * (1.0 + axis.Length()));
    }
}

TEST(Matrix3x3, RotationFromTo) {
    EXPECT_TRUE(SameElements(Matrix3x3(Point3d(1, 0, 0), Point3d(2, 0, 0)), kIdentity));
    EXPECT_TRUE(SameElements(Matrix3x3(Point3d(), Point3d(2, 0, 0)), kIdentity));
    const Matrix3x3 flip(Point3d(1, 0, 0), Point3d(-3, 0, 0));
    ExpectMatrix(flip, Matrix3x3(Point3d(0, 0.70710678, 0.70710678), 180), 1e-7);
    ExpectPoint(Point3d(1, 0, 0) * flip, -1, 0, 0);

    const Point3d from(1, 2, 3), to(-2, 0.5, 4);
    const Point3d turned = from * Matrix3x3(from, to);
    ExpectPoint(turned, Normalize(to).GetX() * from.Length(), Normalize(to).GetY() * from.Length(),
                Normalize(to).GetZ() * from.Length(), 1e-5);
}

TEST(Matrix3x3, FrameRotationTurnsZOntoDirection) {
    Matrix3x3 m;
    m.SetRotation(Point3d(0, 3, 4));
    ExpectPoint(Point3d(0, 0, 1) * m, 0, 0.6, 0.8);
    ExpectMatrix(m * Matrix3x3(m).Transpose(), kIdentity, 1e-6);
    // Row 1 is the normalised v x r for the fixed reference direction r.
    const Point3d u = Normalize(Point3d(0, 0.6, 0.8).Cross(Point3d(0.123456, 0.789123, 0.601701)));
    ExpectPoint(Point3d(0, 1, 0) * m, u.GetX(), u.GetY(), u.GetZ(), 1e-7);
}

TEST(Matrix3x3, BuildersOverwriteEverything) {
    Matrix3x3 m(9, 9, 9, 9, 9, 9, 9, 9, 9);
    EXPECT_TRUE(SameElements(m.SetScale(2), Matrix3x3(2, 0, 0, 0, 2, 0, 0, 0, 2)));
    EXPECT_TRUE(SameElements(m.SetScale(Point3d(1, 2, 3)), Matrix3x3(1, 0, 0, 0, 2, 0, 0, 0, 3)));
    EXPECT_TRUE(SameElements(m.SetReflection(Axis::y), Matrix3x3(1, 0, 0, 0, -1, 0, 0, 0, 1)));
    EXPECT_TRUE(SameElements(m.SetReflection(static_cast<Axis>(3)), kIdentity));
    EXPECT_TRUE(SameElements(m.SetNull(), Matrix3x3()));
}

TEST(Matrix3x3, CellMatrices) {
    Matrix3x3 m;
    m.FractionalToCartesian(10, 10, 10, 90, 90, 90);
    ExpectMatrix(m, 10.0 * kIdentity, 1e-12);
    // Any zero parameter leaves the matrix as it was.
    const Matrix3x3 before(1, 2, 3, 4, 5, 6, 7, 8, 9);
    m = before;
    m.FractionalToCartesian(Point3d(5, 6, 7), Point3d(90, 0, 90));
    EXPECT_TRUE(SameElements(m, before));
    // Angles no cell can have (20 > 5 + 10) would give NaNs: also unchanged.
    m.FractionalToCartesian(5, 6, 7, 20, 5, 10);
    EXPECT_TRUE(SameElements(m, before));
    // Monoclinic-like cell: a along x, b in the xy plane, volume a b c v.
    m.FractionalToCartesian(4, 5, 6, 80, 100, 120);
    ExpectPoint(Point3d(1, 0, 0) * m, 4, 0, 0, 1e-6);
    EXPECT_NEAR((Point3d(0, 1, 0) * m).GetZ(), 0.0, 1e-6);
    EXPECT_NEAR((Point3d(0, 1, 0) * m).Length(), 5.0, 1e-5);
    EXPECT_NEAR((Point3d(0, 0, 1) * m).Length(), 6.0, 1e-5);
    EXPECT_NEAR(Angle(Point3d(1, 0, 0) * m, Point3d(), Point3d(0, 1, 0) * m), 120.0, 1e-4);
    EXPECT_NEAR(Angle(Point3d(0, 1, 0) * m, Point3d(), Point3d(0, 0, 1) * m), 80.0, 1e-4);
    EXPECT_NEAR(Angle(Point3d(1, 0, 0) * m, Point3d(), Point3d(0, 0, 1) * m), 100.0, 1e-4);
}

TEST(Matrix3x3, SingularValueDecomposition) {
    std::mt19937 rng(TestSeed());
    SCOPED_TRACE("TESSARY_TEST_SEED=" + std::to_string(TestSeed()));
    std::uniform_real_distribution<double> dist(-5.0, 5.0);
    for (int trial = 0; trial < 200; ++trial) {
        Matrix3x3 a;
        for (int k = 0; k < 9; ++k) static_cast<double*>(a)[k] = dist(rng);
        if (trial % 4 == 1) a.Set(2, 0, a.Get(0, 0)).Set(2, 1, a.Get(0, 1)).Set(2, 2, a.Get(0, 2));  // rank 2
        if (trial % 4 == 2) a.Set(1, 1, 0.0).Set(0, 0, 0.0);
        Matrix3x3 u, v;
        double d[3];
        ASSERT_TRUE(Decomposer::SingularValueDecomposition(a, u, d, v));
        EXPECT_GE(d[0], d[1]);
        EXPECT_GE(d[1], d[2]);
        EXPECT_GE(d[2], 0.0);
        ExpectMatrix(u * Matrix3x3(u).Transpose(), kIdentity, 1e-12);
        ExpectMatrix(v * Matrix3x3(v).Transpose(), kIdentity, 1e-12);
        ExpectMatrix(u * Matrix3x3(d[0], 0, 0, 0, d[1], 0, 0, 0, d[2]) * v, a, 1e-11);
        EXPECT_NEAR(d[0] * d[1] * d[2], std::fabs(a.Determinant()), 1e-9);
    }
    Matrix3x3 u, v;
    double d[3];
    EXPECT_TRUE(Decomposer::SingularValueDecomposition(Matrix3x3(), u, d, v));
    EXPECT_EQ(d[0], 0.0);
    // Non-finite input stops at the iteration cap.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(Decomposer::SingularValueDecomposition(Matrix3x3(1, nan, 0, 0, 1, 0, 0, 0, 1), u, d, v));
    const double inf = std::numeric_limits<double>::infinity();
    // Infinity too: returning at all is the point.
    Decomposer::SingularValueDecomposition(Matrix3x3(1, inf, 0, 0, 1, 0, 0, 0, 1), u, d, v);
}

TEST(Matrix3x3, PrincipalAxes) {
    // A 10 x 4 rectangle of points in a tilted plane through (1, 2, 3).
    const Matrix3x3 tilt(Point3d(1, 1, 0), 30);
    Point3d::Array points;
    for (int i = 0; i <= 10; ++i)
        for (int j = 0; j <= 4; ++j) points.Add(Point3d(i - 5.0, j - 2.0, 0) * tilt + Point3d(1, 2, 3));
    Point3d centre, a1, a2, a3;
    double p1, m1, p2, m2, p3, m3;
    Matrix3x3::PCA(points, centre, a1, a2, a3, p1, m1, p2, m2, p3, m3);
    ExpectPoint(centre, 1, 2, 3, 1e-5);
    EXPECT_NEAR(std::fabs(a1.Dot(Point3d(1, 0, 0) * tilt)), 1.0, 1e-6);
    EXPECT_NEAR(std::fabs(a2.Dot(Point3d(0, 1, 0) * tilt)), 1.0, 1e-6);
    EXPECT_NEAR(std::fabs(a3.Dot(Point3d(0, 0, 1) * tilt)), 1.0, 1e-6);
    EXPECT_NEAR(p1, 5.0, 1e-5);
    EXPECT_NEAR(m1, 5.0, 1e-5);
    EXPECT_NEAR(p2, 2.0, 1e-5);
    EXPECT_NEAR(m2, 2.0, 1e-5);
    EXPECT_LT(p3, 1e-5);
    EXPECT_LT(m3, 1e-5);
    EXPECT_TRUE(IsPlanar(points, 1e-4));

    Point3d corners[4];
    Matrix3x3::BestFittingPlane(points, corners);
    EXPECT_NEAR(Distance(corners[0], corners[2]), std::sqrt(10.0 * 10.0 + 4.0 * 4.0), 1e-4);
    EXPECT_NEAR(Distance(corners[0], corners[1]), 10.0, 1e-4);
    EXPECT_NEAR(Distance(corners[1], corners[2]), 4.0, 1e-4);

    Point3d end1, end2;
    Matrix3x3::BestFittingLine(points, end1, end2);
    EXPECT_NEAR(Distance(end1, end2), 10.0, 1e-4);
    ExpectPoint(MidPoint(end1, end2), 1, 2, 3, 1e-5);
}

TEST(Matrix3x3, PrincipalAxesOfDegenerateSets) {
    Point3d centre(9, 9, 9), a1, a2, a3;
    double p1 = -1, m1 = -1, p2 = -1, m2 = -1, p3 = -1, m3 = -1;
    Matrix3x3::PCA(Point3d::Array(), centre, a1, a2, a3, p1, m1, p2, m2, p3, m3);
    EXPECT_EQ(centre, Point3d());
    for (double e : {p1, m1, p2, m2, p3, m3}) EXPECT_EQ(e, 0.0);

    Point3d::Array same;
    for (int i = 0; i < 5; ++i) same.Add(Point3d(1, 2, 3));
    Matrix3x3::PCA(same, centre, a1, a2, a3, p1, m1, p2, m2, p3, m3);
    EXPECT_EQ(centre, Point3d(1, 2, 3));
    for (double e : {p1, m1, p2, m2, p3, m3}) EXPECT_EQ(e, 0.0);
    EXPECT_NEAR(a1.Length(), 1.0, 1e-6);

    Point3d::Array two;
    two.Add(Point3d(0, 0, 0));
    two.Add(Point3d(10, 20, 30));
    EXPECT_TRUE(IsPlanar(two, 0.0));
    Point3d end1, end2;
    Matrix3x3::BestFittingLine(two, end1, end2);
    EXPECT_NEAR(std::min(Distance(end1, Point3d(10, 20, 30)), Distance(end1, Point3d())), 0.0, 1e-4);
    EXPECT_NEAR(Distance(end1, end2), Point3d(10, 20, 30).Length(), 1e-4);

    // A point with NaN must not hang the decomposition.
    Point3d::Array broken = two;
    broken.Add(Point3d(std::numeric_limits<double>::quiet_NaN(), 0, 0));
    Matrix3x3::PCA(broken, centre, a1, a2, a3, p1, m1, p2, m2, p3, m3);
    (void)IsPlanar(broken, 1.0);  // returning at all is the point
}

TEST(Matrix3x3, IsPlanarLooksAtPlusThreeOnly) {
    // Four corners of a square plus one point above: along axis3 the lone point
    // lies 0.8 from the centre, the corners 0.2 on the other side.
    Point3d::Array points;
    for (Point3d p : {Point3d(-5, -5, 0), Point3d(5, -5, 0), Point3d(5, 5, 0), Point3d(-5, 5, 0), Point3d(0, 0, 1)})
        points.Add(p);
    Point3d centre, a1, a2, a3;
    double p1, m1, p2, m2, p3, m3;
    Matrix3x3::PCA(points, centre, a1, a2, a3, p1, m1, p2, m2, p3, m3);
    ASSERT_NEAR(std::fabs(a3.GetZ()), 1.0, 1e-6);
    const double off = a3.GetZ() > 0 ? p3 : m3;
    const double corners = a3.GetZ() > 0 ? m3 : p3;
    EXPECT_NEAR(off, 0.8, 1e-6);
    EXPECT_NEAR(corners, 0.2, 1e-6);
    EXPECT_EQ(IsPlanar(points, 0.5), p3 <= 0.5);
}

TEST(Matrix3x3, CentreOfALargeSetIsSummedAccurately) {
    // One far point, then many at 1: a float running sum would drop every 1
    // (the float spacing at 3e8 is 32) and put the centre one unit short.
    const int n = 1 << 20;
    Point3d::Array points;
    points.SetSize(n);
    points[0] = Point3d(3e8, 0, 0);
    for (int i = 1; i < n; ++i) points[i] = Point3d(1, 0, 0);
    Point3d centre, a1, a2, a3;
    double p1, m1, p2, m2, p3, m3;
    Matrix3x3::PCA(points, centre, a1, a2, a3, p1, m1, p2, m2, p3, m3);
    EXPECT_NEAR(centre.GetX(), (3e8 + (n - 1)) / n, 1e-4);
}

TEST(Matrix3x3, ArchiveAndText) {
    const Matrix3x3 m(1, 2, 3, 4, 5, 6, 7, 8, 9.5);
    std::vector<unsigned char> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        ar.SetObjectSchema(7);
        ar << m;
        Matrix3x3(m).Serialize(ar);
    }
    ASSERT_EQ(bytes.size(), 144u);
    // Row-major doubles, little-endian: m01 = 2.0 second, m22 = 9.5 last.
    const unsigned char m01[8] = {0, 0, 0, 0, 0, 0, 0, 0x40}, m22[8] = {0, 0, 0, 0, 0, 0, 0x23, 0x40};
    EXPECT_EQ(0, std::memcmp(bytes.data() + 8, m01, 8));
    EXPECT_EQ(0, std::memcmp(bytes.data() + 64, m22, 8));
    EXPECT_EQ(0, std::memcmp(bytes.data(), bytes.data() + 72, 72));
    {
        CArchive ar(bytes, CArchive::load);
        Matrix3x3 a, b;
        ar >> a;
        b.Serialize(ar);
        EXPECT_TRUE(SameElements(a, m));
        EXPECT_TRUE(SameElements(b, m));
        std::vector<unsigned char> again;
        CArchive out(again, CArchive::store);
        out << a << b;
        out.Close();
        EXPECT_EQ(again, bytes);
    }
    // A short input throws and leaves the target as it was.
    std::vector<unsigned char> shortInput(bytes.begin(), bytes.begin() + 70);
    CArchive ar(shortInput, CArchive::load);
    Matrix3x3 target = kIdentity;
    EXPECT_THROW(ar >> target, Tessary::CArchiveException);
    EXPECT_TRUE(SameElements(target, kIdentity));

    std::ostringstream plain;
    plain << kIdentity;
    EXPECT_EQ(plain.str(), "1 0 0 0 1 0 0 0 1 ");
    std::ostringstream wide;
    wide << std::setw(3) << kIdentity;
    EXPECT_EQ(wide.str(), "  1  0  0  0  1  0  0  0  1");

    Matrix3x3 read;
    std::istringstream in("1 2 3 4 5 6 7 8 9.5");
    in >> read;
    EXPECT_TRUE(SameElements(read, m));
    std::istringstream bad("1 2 3 4 5 6 7 8");
    read = kIdentity;
    bad >> read;
    EXPECT_TRUE(bad.fail());
    EXPECT_TRUE(SameElements(read, kIdentity));

    std::ostringstream printed;
    kIdentity.Print(printed);
    EXPECT_EQ(printed.str(),
              "  1.000000  0.000000  0.000000\n  0.000000  1.000000  0.000000\n  0.000000  0.000000  1.000000\n");
    EXPECT_TRUE(printed.flags() & std::ios::fixed);
}
