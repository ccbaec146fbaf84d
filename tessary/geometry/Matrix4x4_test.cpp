#include "tessary/geometry/Matrix4x4.h"

#include <gtest/gtest.h>

#include <algorithm>
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



bool SameElements(const Matrix4x4& a, const Matrix4x4& b) {
    return std::memcmp(static_cast<const double*>(a), static_cast<const double*>(b), sizeof(double) * 16) == 0;
}

bool SamePoint(const Point3d& a, const Point3d& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

const Matrix4x4 kIdentity(Matrix4x4::IdentityMatrix);

Matrix4x4 Sequence() {
    Matrix4x4 m;
    for (int k = 0; k < 16; ++k) static_cast<double*>(m)[k] = k + 1;
    return m;
}

}  // namespace

TEST(Matrix4x4, ConstructionAndAccess) {
    static_assert(sizeof(Matrix4x4) == 128);
    const Matrix4x4 m = Sequence();
    EXPECT_TRUE(SameElements(m, Matrix4x4(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16)));
    EXPECT_EQ(m(7, 7), 16.0);
    EXPECT_EQ(m(-1, 3), 4.0);
    EXPECT_EQ(m.Get(3, 0), 13.0);
    Matrix4x4 n = m;
    n.Set(4, 0, 0.0).Set(0, 4, 0.0);
    EXPECT_TRUE(SameElements(n, m));
    EXPECT_TRUE(SameElements(Matrix4x4(Matrix4x4::NullMatrix), Matrix4x4()));
}

TEST(Matrix4x4, ZeroMatrixHasNoFiniteImage) {
    EXPECT_TRUE(SamePoint(Point3d(1, 2, 3) * Matrix4x4(), Point3d::maximum));
    Matrix4x4 tiny(kIdentity);
    tiny(3, 3) = 1e-16;
    EXPECT_TRUE(SamePoint(Point3d(0, 0, 0) * tiny, Point3d::maximum));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Point3d p(1, 2, 3);
    p.y = nan;
    EXPECT_TRUE(SamePoint(p * kIdentity, Point3d::maximum));
}

TEST(Matrix4x4, TranslationAndRotatePart) {
    Matrix4x4 t;
    t.SetTranslation(1, 2, 3);
    ExpectPoint(Point3d() * t, 1, 2, 3, 0);
    ExpectPoint(t.Rotate(Point3d()), 0, 0, 0, 0);
    ExpectPoint(t.Rotate(Point3d(4, 5, 6)), 4, 5, 6, 0);
    ExpectPoint(t.GetTranslation(), 1, 2, 3, 0);
    Point3d out;
    t.GetTranslation(out);
    EXPECT_EQ(out, Point3d(1, 2, 3));

    Matrix4x4 half(kIdentity);
    half(3, 3) = 2.0;
    ExpectPoint(Point3d(2, 4, 6) * half, 1, 2, 3, 0);
    // Rotate ignores w as well as the translation.
    ExpectPoint(half.Rotate(Point3d(2, 4, 6)), 2, 4, 6, 0);
}

TEST(Matrix4x4, RotationAboutACentre) {
    const Matrix4x4 m(Point3d(0, 0, 1), Point3d(1, 1, 0), 90);
    ExpectPoint(Point3d(1, 1, 0) * m, 1, 1, 0);
    ExpectPoint(Point3d(2, 1, 0) * m, 1, 2, 0);
    // Same as rotating about the origin and translating afterwards: A * B applies A first.
    Matrix4x4 toOrigin, rotate(Point3d(0, 0, 1), 90.0), back;
    toOrigin.SetTranslation(-1, -1, 0);
    back.SetTranslation(1, 1, 0);
    const Matrix4x4 composed = toOrigin * rotate * back;
    ExpectPoint(Point3d(2, 1, 0) * composed, 1, 2, 0);
}

TEST(Matrix4x4, BuildersSetTheWholeMatrix) {
    Matrix4x4 m = Sequence();
    m.SetScale(2, 3, 4);
    EXPECT_TRUE(SameElements(m, Matrix4x4(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1)));
    m = Sequence();
    m.SetReflection(Axis::z);
    EXPECT_TRUE(SameElements(m, Matrix4x4(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1)));
    m = Sequence();
    m.SetRotation(Axis::y, 90);
    EXPECT_NEAR(m(0, 2), 1.0, 1e-15);
    EXPECT_NEAR(m(2, 0), -1.0, 1e-15);
    EXPECT_EQ(m(3, 0), 0.0);
    EXPECT_EQ(m(0, 3), 0.0);
    EXPECT_EQ(m(3, 3), 1.0);
    ExpectPoint(Point3d(1, 0, 0) * Matrix4x4(Axis::y, 90), 0, 0, 1);
    ExpectPoint(Point3d(1, 0, 0) * Matrix4x4(Point3d(0, 1, 0), 90), 0, 0, -1);
    ExpectPoint(Point3d(1, 0, 0) * Matrix4x4(Point3d(1, 0, 0), Point3d(0, 0, 7)), 0, 0, 1);
    m = Sequence();
    m.FractionalToCartesian(Point3d(10, 10, 10), Point3d(90, 90, 90));
    ExpectPoint(Point3d(1, 1, 1) * m, 10, 10, 10, 1e-9);
    EXPECT_EQ(m(3, 3), 1.0);
    m = Sequence();
    m.FractionalToCartesian(10, 10, 0, 90, 90, 90);
    EXPECT_TRUE(SameElements(m, Sequence()));
    m.SetRotation(Point3d(0, 0, 2));
    ExpectPoint(Point3d(0, 0, 1) * m, 0, 0, 1, 1e-6);
}

TEST(Matrix4x4, AssignmentBetweenOrders) {
    Matrix4x4 m;
    m.SetTranslation(5, 6, 7);
    m(0, 3) = 0.5;
    m(3, 3) = 3.0;
    m = Matrix3x3(2, 0, 0, 0, 2, 0, 0, 0, 2);
    EXPECT_TRUE(SameElements(m, Matrix4x4(2, 0, 0, 0.5, 0, 2, 0, 0, 0, 0, 2, 0, 5, 6, 7, 1)));
    Matrix3x3 block;
    block = Sequence();
    EXPECT_TRUE(std::memcmp(static_cast<const double*>(block),
                            static_cast<const double*>(Matrix3x3(1, 2, 3, 5, 6, 7, 9, 10, 11)), 72) == 0);
}

TEST(Matrix4x4, DeterminantAndInverse) {
    EXPECT_EQ(Matrix4x4(1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4).Determinant(), 24.0);
    const Matrix4x4 perm(0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0);
    EXPECT_EQ(Determinant(perm), -1.0);
    Matrix4x4 inv = perm;
    inv.Invert();
    Matrix4x4 transposed = perm;
    transposed.Transpose();
    EXPECT_TRUE(SameElements(inv, transposed));
    EXPECT_EQ(Sequence().Det(), 0.0);
    Matrix4x4 singular = Sequence();
    singular.Invert();  // rank 2: elimination meets an exact zero pivot
    EXPECT_TRUE(SameElements(singular, Sequence()));
    Matrix4x4 scaled = Sequence();
    EXPECT_TRUE(SameElements(scaled /= 0.0, Sequence()));

    std::mt19937 rng(TestSeed());
    SCOPED_TRACE("TESSARY_TEST_SEED=" + std::to_string(TestSeed()));
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int trial = 0; trial < 200; ++trial) {
        Matrix4x4 m;
        for (int k = 0; k < 16; ++k) static_cast<double*>(m)[k] = dist(rng);
        m += 4.0 * kIdentity;
        Matrix4x4 mi = m;
        mi.Invert();
        const Matrix4x4 product = mi * m;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) EXPECT_NEAR(product(i, j), i == j ? 1.0 : 0.0, 1e-12);
    }
}

TEST(Matrix4x4, ProductAppliesTheLeftFactorFirst) {
    std::mt19937 rng(TestSeed());
    SCOPED_TRACE("TESSARY_TEST_SEED=" + std::to_string(TestSeed()));
    std::uniform_real_distribution<double> dist(-3.0, 3.0);
    for (int trial = 0; trial < 100; ++trial) {
        Matrix4x4 a(Point3d(dist(rng), dist(rng), dist(rng)), Point3d(dist(rng), dist(rng), dist(rng)),
                    dist(rng) * 60);
        Matrix4x4 b;
        b.SetScale(dist(rng), dist(rng), dist(rng));
        Matrix4x4 shift;
        shift.SetTranslation(dist(rng), dist(rng), dist(rng));
        b *= shift;
        const Point3d p(dist(rng), dist(rng), dist(rng));
        const Point3d once = p * (a * b);
        const Point3d twice = (p * a) * b;
        EXPECT_LT(Distance(once, twice), 1e-5 * (1.0 + once.Length()));
    }
}

TEST(Matrix4x4, BulkTransformMatchesSinglePoints) {
    // Blocks of four go through a vector path: cover whole blocks, blocks
    // holding a non-finite point, and a remainder, bit for bit.
    std::mt19937 rng(TestSeed());
    SCOPED_TRACE("TESSARY_TEST_SEED=" + std::to_string(TestSeed()));
    std::uniform_real_distribution<float> dist(-1e3f, 1e3f);
    std::vector<Point3d> points(1003, Point3d(Point3d::UninitializedPoint));
    for (Point3d& p : points) p = Point3d(dist(rng), dist(rng), dist(rng));
    points[5].z = std::numeric_limits<float>::infinity();
    points[10].x = std::numeric_limits<float>::quiet_NaN();
    points[11].y = -std::numeric_limits<float>::infinity();
    points[1001] = Point3d(1e30, -3e38, 1e-40);

    Matrix4x4 affine(Point3d(1, 2, 3), Point3d(4, 5, 6), 33);
    affine(3, 0) = 1e6;
    Matrix4x4 projective = affine;
    projective(1, 3) = 0.25;
    for (const Matrix4x4& m : {affine, projective}) {
        std::vector<Point3d> bulk = points;
        m.Transform(bulk.data(), bulk.size());
        for (std::size_t i = 0; i < points.size(); ++i)
            ASSERT_TRUE(SamePoint(bulk[i], points[i] * m)) << "point " << i;
    }
    EXPECT_TRUE(SamePoint(points[5] * affine, Point3d::maximum));
    Point3d::Array array;
    array.Add(Point3d(1, 2, 3));
    affine.Transform(array);
    EXPECT_TRUE(SamePoint(array[0], Point3d(1, 2, 3) * affine));
}

TEST(Matrix4x4, ArchiveAndText) {
    const Matrix4x4 m = Sequence();
    std::vector<unsigned char> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        ar << m;
    }
    ASSERT_EQ(bytes.size(), 128u);
    double last;
    std::memcpy(&last, bytes.data() + 120, sizeof last);
    EXPECT_EQ(last, 16.0);
    {
        CArchive ar(bytes, CArchive::load);
        ar.SetObjectSchema(3);
        Matrix4x4 back;
        back.Serialize(ar);
        EXPECT_TRUE(SameElements(back, m));
    }
    std::ostringstream plain;
    plain << kIdentity;
    EXPECT_EQ(plain.str(), "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 ");
    std::ostringstream printed;
    kIdentity.Print(printed);
    const std::string text = printed.str();
    EXPECT_EQ(text.substr(0, 41), "  1.000000  0.000000  0.000000  0.000000\n");
    EXPECT_EQ(text.size(), 4u * 41u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);

    Matrix4x4 read = kIdentity;
    std::istringstream bad("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 x");
    bad >> read;
    EXPECT_TRUE(bad.fail());
    EXPECT_TRUE(SameElements(read, kIdentity));
    std::istringstream good("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16");
    good >> read;
    EXPECT_TRUE(SameElements(read, m));
}
