#include "tessary/geometry/Spline.h"

#include <gtest/gtest.h>

#include <cmath>

using Tessary::Point3d;
using Tessary::Spline;

namespace {

// The shared cache as the library left it at load, read before any test runs.
const bool kRecalcAtLoad = Spline::m_recalcMatrix;
const Spline::SplineType kOldTypeAtLoad = Spline::m_oldType;
const int kAlphaSizeAtLoad = Spline::m_alpha.GetSize();
const bool kMatrixZeroAtLoad = [] {
    for (const auto& row : Spline::m_matrix)
        for (double v : row)
            if (v != 0.0) return false;
    return true;
}();

// Opens the protected pieces to the tests.
class OpenSpline : public Spline {
public:
    using Spline::Spline;
    using Spline::GetBetaMatrix;
    using Spline::GetBsplineMatrix;
    using Spline::GetCardinalMatrix;
    using Spline::Hermite1to4;
    using Spline::Matrix;
};

Point3d::Array Points(std::initializer_list<Point3d> list) {
    Point3d::Array a;
    for (const Point3d& p : list) a.Add(p);
    return a;
}

const Point3d::Array kControl = Points({Point3d(0, 0, 0), Point3d(1, 2, 0), Point3d(3, 3, 1), Point3d(4, 1, 2),
                                        Point3d(6, 0, 0)});

void ExpectPointNear(const Point3d& actual, const Point3d& expected, double tol) {
    EXPECT_NEAR(actual.x, expected.x, tol);
    EXPECT_NEAR(actual.y, expected.y, tol);
    EXPECT_NEAR(actual.z, expected.z, tol);
}

// Closed forms, per coordinate.
Point3d CatmullRom(const Point3d& p0, const Point3d& p1, const Point3d& p2, const Point3d& p3, double t) {
    return 0.5 * (2.0 * p1 + (p2 - p0) * t + (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3) * (t * t) +
                  (3.0 * p1 - p0 - 3.0 * p2 + p3) * (t * t * t));
}

Point3d UniformBSpline(const Point3d& p0, const Point3d& p1, const Point3d& p2, const Point3d& p3, double t) {
    const double u = 1.0 - t;
    return (1.0 / 6.0) * (u * u * u * p0 + (3 * t * t * t - 6 * t * t + 4) * p1 +
                          (-3 * t * t * t + 3 * t * t + 3 * t + 1) * p2 + t * t * t * p3);
}

}  // namespace

TEST(Spline, SharedCacheStartsEmptyAndPendingRebuild) {
    EXPECT_TRUE(kRecalcAtLoad);
    EXPECT_EQ(kOldTypeAtLoad, Spline::BetaSpline);
    EXPECT_EQ(kAlphaSizeAtLoad, 0);
    EXPECT_TRUE(kMatrixZeroAtLoad);
}

TEST(Spline, ConstructionDefaultsAndTypeChanges) {
    const Spline cardinal(Spline::CardinalSpline);
    EXPECT_EQ(cardinal.GetGranularity(), 6);
    EXPECT_EQ(cardinal.GetTension(), 0.5);
    EXPECT_EQ(cardinal.GetBias(), 0.0);
    EXPECT_EQ(Spline::m_oldType, Spline::CardinalSpline);
    EXPECT_EQ(Spline(Spline::BSpline).GetTension(), 1.0);
    EXPECT_EQ(Spline(Spline::BetaSpline).GetTension(), 1.0);

    Point3d::Array out;
    Spline::m_recalcMatrix = false;
    const Spline same(Spline::BetaSpline);  // the last type: nothing to rebuild
    EXPECT_FALSE(Spline::m_recalcMatrix);
    const Spline other(Spline::BSpline);
    EXPECT_TRUE(Spline::m_recalcMatrix);

    // Copies take the parameters and leave the shared cache alone.
    Spline::m_recalcMatrix = false;
    Spline copy = cardinal;
    copy = Spline(cardinal);
    EXPECT_EQ(copy.GetType(), Spline::CardinalSpline);
    EXPECT_EQ(copy.GetTension(), 0.5);
    copy.SetGranularity(9);
    EXPECT_TRUE(Spline::m_recalcMatrix);
    EXPECT_EQ(copy.GetGranularity(), 9);
}

TEST(Spline, CatmullRomWindows) {
    Spline s(Spline::CardinalSpline);
    s.SetTension(0.5);
    Point3d::Array out;
    EXPECT_EQ(s.GetCubicSpline(kControl, out), 1);
    ASSERT_EQ(out.GetSize(), 12);
    EXPECT_EQ(out[0], kControl[1]);  // t = 0 of the first window is in[1]
    EXPECT_EQ(out[6], kControl[2]);  // and the next window starts where t = 1 would be
    for (int w = 0; w < 2; ++w)
        for (int j = 0; j < 6; ++j)
            ExpectPointNear(out[w * 6 + j],
                            CatmullRom(kControl[w], kControl[w + 1], kControl[w + 2], kControl[w + 3], j / 6.0), 1e-5);
    EXPECT_FALSE(Spline::m_recalcMatrix);
    EXPECT_EQ(Spline::m_alpha.GetSize(), 6);
    EXPECT_EQ(Spline::m_alpha[3], 0.5);
}

TEST(Spline, BSplineAndBetaSplineBases) {
    OpenSpline b(Spline::BSpline);
    b.SetGranularity(4);
    Point3d::Array out;
    b.GetCubicSpline(kControl, out);
    ASSERT_EQ(out.GetSize(), 8);
    ExpectPointNear(out[0], (kControl[0] + 4.0 * kControl[1] + kControl[2]) / 6.0, 1e-6);
    for (int w = 0; w < 2; ++w)
        for (int j = 0; j < 4; ++j)
            ExpectPointNear(out[w * 4 + j],
                            UniformBSpline(kControl[w], kControl[w + 1], kControl[w + 2], kControl[w + 3], j / 4.0),
                            1e-5);

    // The beta-spline with bias 1 and tension 0 is the uniform B-spline.
    double uniform[4][4];
    b.GetBsplineMatrix();
    std::copy(&Spline::m_matrix[0][0], &Spline::m_matrix[0][0] + 16, &uniform[0][0]);
    OpenSpline beta(Spline::BetaSpline);
    beta.SetBias(1.0).SetTension(0.0);
    beta.GetBetaMatrix();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(Spline::m_matrix[r][c], uniform[r][c], 1e-15) << r << "," << c;
    // Bias 0, tension 1: divided by 3, the last row is (0, 1, 2, 0) / 3.
    beta.SetBias(0.0).SetTension(1.0);
    beta.GetBetaMatrix();
    EXPECT_EQ(Spline::m_matrix[3][1], 1.0 / 3.0);
    EXPECT_EQ(Spline::m_matrix[0][3], 2.0 / 3.0);
    EXPECT_EQ(beta.Matrix(3, 6, 9, 12, 0.0), 8.0);

    // Cardinal with tension 0.5: Horner evaluation of the Catmull-Rom form.
    OpenSpline cardinal(Spline::CardinalSpline);
    cardinal.GetCardinalMatrix();
    EXPECT_EQ(cardinal.Matrix(0, 1, 2, 3, 0.5), 1.5);
    EXPECT_EQ(cardinal.Matrix(0, 1, 0, 0, 0.0), 1.0);
}

TEST(Spline, TooFewPointsOrNoGranularityGiveNothing) {
    Spline s(Spline::CardinalSpline);
    Point3d::Array out = Points({Point3d(9, 9, 9)});
    EXPECT_EQ(s.GetCubicSpline(Points({Point3d(0, 0, 0), Point3d(1, 0, 0), Point3d(2, 0, 0)}), out), 1);
    EXPECT_EQ(out.GetSize(), 0);
    EXPECT_EQ(s.GetCubicSpline(Point3d::Array(), out), 1);
    EXPECT_EQ(out.GetSize(), 0);

    for (int g : {0, -5}) {
        s.SetGranularity(g);
        out = kControl;
        EXPECT_EQ(s.GetCubicSpline(kControl, out), 1);
        EXPECT_EQ(out.GetSize(), 0);
    }
}

TEST(Spline, NoSplineTypeKeepsThePresizedOutputWhileARebuildIsPending) {
    Spline s(Spline::NoSpline);
    s.SetGranularity(2);
    Point3d::Array out = Points({Point3d(7, 7, 7)});
    EXPECT_EQ(s.GetCubicSpline(kControl, out), 1);
    ASSERT_EQ(out.GetSize(), (5 + 2) * 2);
    EXPECT_EQ(out[0], Point3d(7, 7, 7));
    EXPECT_EQ(out[13], Point3d(0, 0, 0));
    EXPECT_TRUE(Spline::m_recalcMatrix);  // still pending for the next spline
}

// The basis matrix is one cache: it follows whichever spline rebuilt it last.
TEST(Spline, AlternatingSplinesShareTheLastBuiltMatrix) {
    Spline a(Spline::CardinalSpline);
    Spline b(Spline::CardinalSpline);
    Point3d::Array reference, out;
    Spline(Spline::CardinalSpline).SetTension(0.5).GetCubicSpline(kControl, reference);

    a.SetTension(2.0);
    b.GetCubicSpline(kControl, out);  // rebuilds with b's tension 0.5
    a.GetCubicSpline(kControl, out);  // no setter since: a uses b's matrix
    ASSERT_EQ(out.GetSize(), reference.GetSize());
    for (int i = 0; i < out.GetSize(); ++i) EXPECT_EQ(out[i], reference[i]);

    a.SetGranularity(6);  // now a rebuilds with its own tension
    a.GetCubicSpline(kControl, out);
    EXPECT_EQ(out[0], kControl[1]);
    EXPECT_NE(out[3], reference[3]);
    const double t = 0.5, T = 2.0;
    const double expected = ((((-T) * 0 + (2 - T) * 2 + (T - 2) * 3 + T * 1) * t +
                              (2 * T * 0 + (T - 3) * 2 + (3 - 2 * T) * 3 - T * 1)) * t +
                             (-T * 0 + T * 3)) * t + 2;
    EXPECT_NEAR(out[3].y, expected, 1e-6);
}

// A spline of another granularity evaluating on the shared cache still gets
// its own number of points per window, spanning the whole window.
TEST(Spline, StaleParametersOfAnotherGranularityAreNotReadPastTheirEnd) {
    Spline coarse(Spline::BSpline);
    coarse.SetGranularity(2);
    Spline fine = coarse;
    Point3d::Array out;
    coarse.GetCubicSpline(kControl, out);  // cache: 2 parameters
    fine.SetGranularity(8);
    Spline::m_recalcMatrix = false;  // as if another spline had just rebuilt with granularity 2
    fine.GetCubicSpline(kControl, out);
    ASSERT_EQ(out.GetSize(), 16);
    ExpectPointNear(out[4], UniformBSpline(kControl[0], kControl[1], kControl[2], kControl[3], 0.5), 1e-5);
    EXPECT_EQ(Spline::m_alpha.GetSize(), 8);
}

TEST(Spline, HermiteSegmentsShareTheirEnds) {
    const Spline s(Spline::CardinalSpline);
    Point3d::Array points = Points({Point3d(0, 0, 0), Point3d(1, 0, 0), Point3d(1, 1, 0)});
    Point3d::Array out;
    ASSERT_EQ(s.GetHermiteSpline(points, 3, out, nullptr, nullptr, 0, 5, 1.0), 9);
    EXPECT_EQ(out.GetSize(), 3 * 6);
    EXPECT_EQ(out[0], points[0]);
    EXPECT_EQ(out[4], points[1]);
    EXPECT_EQ(out[8], points[2]);

    // Tangents: unit direction tilted away from the binormal, the end ones
    // copied from their neighbour (0.3 D[1] normalises to D[1]).
    const Point3d d = Tessary::Normalize(Point3d(1, 1, 0));
    const Point3d tangent = 0.9816 * d - 0.1908 * Point3d(0, 0, 1);
    ExpectPointNear(out[2], Spline::HermiteSingle(points[0], points[1], tangent, tangent, 0.5), 1e-6);
    ExpectPointNear(out[6], Spline::HermiteSingle(points[1], points[2], tangent, tangent, 0.5), 1e-6);

    // Scale multiplies the tangents.
    Point3d::Array scaled;
    s.GetHermiteSpline(points, 3, scaled, nullptr, nullptr, 0, 5, 3.0);
    ExpectPointNear(scaled[2], Spline::HermiteSingle(points[0], points[1], 3.0 * tangent, 3.0 * tangent, 0.5), 1e-6);
}

TEST(Spline, HermiteEndTangentsFromBeforeAndAfter) {
    const Spline s(Spline::CardinalSpline);
    Point3d::Array line = Points({Point3d(0, 0, 0), Point3d(1, 0, 0), Point3d(2, 0, 0)});
    const Point3d before(0, -1, 0), after(2, 0, 1);
    Point3d::Array out;
    ASSERT_EQ(s.GetHermiteSpline(line, 3, out, &before, &after, 0, 3, 1.0), 5);
    // D[0] = P[0] - before = (0, 1, 0); D[2] = after - P[2] = (0, 0, 1); no binormal on a line.
    const Point3d t0(0, 0.9816, 0), t1(0.9816, 0, 0), t2(0, 0, 0.9816);
    ExpectPointNear(out[1], Spline::HermiteSingle(line[0], line[1], t0, t1, 0.5), 1e-6);
    ExpectPointNear(out[3], Spline::HermiteSingle(line[1], line[2], t1, t2, 0.5), 1e-6);

    // Two points without neighbours: zero tangents, a straight blend.
    Point3d::Array pair = Points({Point3d(0, 0, 0), Point3d(4, 0, 0)});
    ASSERT_EQ(s.GetHermiteSpline(pair, 2, out, nullptr, nullptr, 0, 3, 1.0), 3);
    EXPECT_EQ(out[1], Point3d(2, 0, 0));
}

TEST(Spline, HermiteSmoothingMovesInnerPointsInPlace) {
    const Spline s(Spline::CardinalSpline);
    Point3d::Array zigzag = Points({Point3d(0, 0, 0), Point3d(1, 1, 0), Point3d(2, -1, 0), Point3d(3, 1, 0),
                                    Point3d(4, 0, 0), Point3d(9, 9, 9)});
    Point3d::Array out;
    const Point3d before(-1, 0, 0);
    ASSERT_EQ(s.GetHermiteSpline(zigzag, 5, out, &before, nullptr, 1, 4, 2.0), 13);
    EXPECT_EQ(zigzag[0], Point3d(0, 0, 0));
    EXPECT_EQ(zigzag[1], Point3d(1, 0.25, 0));   // 0.5 (P1 + 0.5 (P0 + P2)) from the old values
    EXPECT_EQ(zigzag[2], Point3d(2, 0, 0));
    EXPECT_EQ(zigzag[3], Point3d(3, 0.25, 0));
    EXPECT_EQ(zigzag[4], Point3d(4, 0, 0));
    EXPECT_EQ(zigzag[5], Point3d(9, 9, 9));      // beyond count: untouched
    EXPECT_EQ(out.GetSize(), 6 * 5);
    // Tangents now come from the smoothed points, normalised and scaled; the
    // given start keeps its tilted direction (from P0 - before and the
    // binormal of the unsmoothed points, (0, 0, -1)) and is rescaled too.
    const Point3d t1 = Tessary::Normalize(zigzag[2] - zigzag[0]) * 2.0;
    const Point3d t0 = Tessary::Normalize(Point3d(0.9816, 0, 0.1908)) * 2.0;
    ExpectPointNear(out[1], Spline::HermiteSingle(zigzag[0], zigzag[1], t0, t1, 1.0 / 3.0), 1e-5);
    const Point3d t4 = Tessary::Normalize(zigzag[4] - zigzag[3]) * 2.0;
    const Point3d t3 = Tessary::Normalize(zigzag[4] - zigzag[2]) * 2.0;
    ExpectPointNear(out[11], Spline::HermiteSingle(zigzag[3], zigzag[4], t3, t4, 2.0 / 3.0), 1e-5);

    // Negative passes: no smoothing, but tangents from the points.
    Point3d::Array copy = Points({Point3d(0, 0, 0), Point3d(1, 1, 0), Point3d(2, 0, 0)});
    s.GetHermiteSpline(copy, 3, out, nullptr, nullptr, -1, 3, 1.0);
    EXPECT_EQ(copy[1], Point3d(1, 1, 0));
    ExpectPointNear(out[1], Spline::HermiteSingle(copy[0], copy[1], Tessary::Normalize(Point3d(1, 1, 0)),
                                                  Point3d(1, 0, 0), 0.5),
                    1e-6);
}

TEST(Spline, HermiteDegenerateCounts) {
    const Spline s(Spline::CardinalSpline);
    Point3d::Array points = Points({Point3d(0, 0, 0), Point3d(1, 0, 0), Point3d(2, 1, 0)});
    Point3d::Array out = points;
    EXPECT_EQ(s.GetHermiteSpline(points, 1, out, nullptr, nullptr, 0, 5, 1.0), 0);
    EXPECT_EQ(out.GetSize(), 0);
    EXPECT_EQ(s.GetHermiteSpline(points, 4, out, nullptr, nullptr, 0, 5, 1.0), 0);  // more than there are
    EXPECT_EQ(s.GetHermiteSpline(points, 3, out, nullptr, nullptr, 0, 0, 1.0), 0);
    EXPECT_EQ(s.GetHermiteSpline(points, 3, out, nullptr, nullptr, 0, -4, 1.0), 0);
    EXPECT_EQ(out.GetSize(), 0);

    // One point per segment: each segment's start, the last one remaining.
    ASSERT_EQ(s.GetHermiteSpline(points, 3, out, nullptr, nullptr, 0, 1, 1.0), 1);
    EXPECT_EQ(out[0], points[1]);
    // Two per segment: the segment ends only.
    ASSERT_EQ(s.GetHermiteSpline(points, 3, out, nullptr, nullptr, 0, 2, 1.0), 3);
    EXPECT_EQ(out[0], points[0]);
    EXPECT_EQ(out[1], points[1]);
    EXPECT_EQ(out[2], points[2]);
}

TEST(Spline, HermiteSingleAndTheSnappedEnd) {
    const Point3d p0(1, 2, 3), p1(4, 6, 8), t0(1, 0, 0), t1(0, 1, 0);
    EXPECT_EQ(Spline::HermiteSingle(p0, p1, t0, t1, 0.0), p0);
    EXPECT_EQ(Spline::HermiteSingle(p0, p1, t0, t1, 1.0), p1);
    // s = 0.5: (p0 + p1) / 2 + (t0 - t1) / 8
    EXPECT_EQ(Spline::HermiteSingle(p0, p1, t0, t1, 0.5), Point3d(2.625, 3.875, 5.5));

    // Within 0.001 of the end the linear term of t0 is taken at s = 1.
    Point3d::Array out(Points({Point3d(), Point3d()}));
    out.SetSize(3000);
    OpenSpline::Hermite1to4(p0, p1, t0, t1, out, 1, 2001);
    const double s = 1999.0 / 2000.0;
    ExpectPointNear(out[1 + 1999], Spline::HermiteSingle(p0, p1, t0, t1, s) + (1.0 - s) * t0, 1e-6);
    const double early = 1000.0 / 2000.0;
    ExpectPointNear(out[1 + 1000], Spline::HermiteSingle(p0, p1, t0, t1, early), 1e-6);
    EXPECT_EQ(out[0], Point3d());

    // Slots past the end of out are skipped, never written.
    Point3d::Array small;
    small.SetSize(3);
    OpenSpline::Hermite1to4(p0, p1, t0, t1, small, 1, 5);
    EXPECT_EQ(small.GetSize(), 3);
    EXPECT_EQ(small[1], p0);
    OpenSpline::Hermite1to4(p0, p1, t0, t1, small, 0, 0);
    OpenSpline::Hermite1to4(p0, p1, t0, t1, small, -2, 3);
    EXPECT_EQ(small[0], Point3d());
}
