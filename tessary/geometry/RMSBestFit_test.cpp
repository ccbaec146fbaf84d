#include "tessary/geometry/RMSBestFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tessary/geometry/Matrix3x3.h"
#include "tests/support/TestSeed.h"

using Tessary::Matrix3x3;
using Tessary::Point3d;
using Tessary::RMSBestFit;
using Tessary::RMSBestFitTools::FindAndApplyTransformation;
using Tessary::RMSBestFitTools::FindPlane;

namespace {


Point3d::Array Points(std::initializer_list<Point3d> list) {
    Point3d::Array a;
    for (const Point3d& p : list) a.Add(p);
    return a;
}

Point3d::Array Moved(const Point3d::Array& a, const Matrix3x3& r, const Point3d& t) {
    Point3d::Array out;
    for (const Point3d& p : a) out.Add(p * r + t);
    return out;
}

double MaxDeviation(const Point3d::Array& a, const Point3d::Array& b) {
    double worst = 0.0;
    for (int i = 0; i < a.GetSize(); ++i) worst = std::max(worst, a[i].Distance(b[i]));
    return worst;
}

double Rmsd(const Point3d::Array& a, const Point3d::Array& b) {
    double sum = 0.0;
    for (int i = 0; i < a.GetSize(); ++i) sum += a[i].Distance2(b[i]);
    return std::sqrt(sum / a.GetSize());
}

// The linear part of the motion a fit applies, read back from a unit frame
// moved along with C.
Matrix3x3 AppliedLinearPart(const Point3d::Array& movedFrame) {
    const Point3d o = movedFrame[0];
    const Point3d ex = movedFrame[1] - o, ey = movedFrame[2] - o, ez = movedFrame[3] - o;
    return Matrix3x3(ex.x, ex.y, ex.z, ey.x, ey.y, ey.z, ez.x, ez.y, ez.z);
}

Point3d::Array UnitFrame() {
    return Points({Point3d(0, 0, 0), Point3d(1, 0, 0), Point3d(0, 1, 0), Point3d(0, 0, 1)});
}

Point3d::Array RandomCloud(int n, std::mt19937& rng, double spread) {
    std::uniform_real_distribution<double> dist(-spread, spread);
    Point3d::Array a;
    for (int i = 0; i < n; ++i) a.Add(Point3d(dist(rng), dist(rng), dist(rng)));
    return a;
}

// The CA trace of every model of a multi-model PDB file.
std::vector<Point3d::Array> ReadModelTraces(const std::string& path) {
    std::vector<Point3d::Array> models;
    std::ifstream in(path);
    std::string line;
    bool open = false;
    while (std::getline(in, line)) {
        if (line.compare(0, 5, "MODEL") == 0 || (!open && line.compare(0, 4, "ATOM") == 0)) {
            models.emplace_back();
            open = true;
        }
        if (line.compare(0, 6, "ENDMDL") == 0) open = false;
        if (!open || line.compare(0, 4, "ATOM") != 0 || line.size() < 54 || line.compare(12, 4, " CA ") != 0) continue;
        models.back().Add(Point3d(std::atof(line.substr(30, 8).c_str()), std::atof(line.substr(38, 8).c_str()),
                                  std::atof(line.substr(46, 8).c_str())));
    }
    return models;
}

}  // namespace

TEST(RMSBestFit, IdenticalSetsLeaveCInPlace) {
    const unsigned seed = TestSeed();
    SCOPED_TRACE("TESSARY_TEST_SEED=" + std::to_string(seed));
    std::mt19937 rng(seed);
    const Point3d::Array a = RandomCloud(20, rng, 10.0);
    Point3d::Array c1 = a, c2 = a;
    RMSBestFit(a, a, c1);
    ASSERT_TRUE(FindAndApplyTransformation(a, a, c2));
    EXPECT_LT(MaxDeviation(c1, a), 1e-5);
    EXPECT_LT(MaxDeviation(c2, a), 1e-5);
}

TEST(RMSBestFit, SinglePairOnlyTranslates) {
    const Point3d::Array a = Points({Point3d(1, 1, 1)});
    const Point3d::Array b = Points({Point3d(2, 3, 4)});
    const Point3d::Array c = Points({Point3d(0, 0, 0), Point3d(5, -1, 2)});
    Point3d::Array c1 = c, c2 = c;
    RMSBestFit(a, b, c1);
    ASSERT_TRUE(FindAndApplyTransformation(a, b, c2));
    for (const Point3d::Array* moved : {&c1, &c2}) {
        EXPECT_EQ((*moved)[0], Point3d(1, 2, 3));
        EXPECT_EQ((*moved)[1], Point3d(6, 1, 5));
    }
}

TEST(RMSBestFit, QuarterTurnAboutZWithShift) {
    const Point3d::Array a = Points({Point3d(0, 0, 0), Point3d(2, 0, 0), Point3d(0, 3, 0), Point3d(0, 0, 4),
                                     Point3d(1, 1, 1)});
    const Point3d::Array b = Moved(a, Matrix3x3(Tessary::Axis::z, 90.0), Point3d(1, 2, 3));
    EXPECT_EQ(b[1], Point3d(1, 4, 3));  // (2, 0, 0) turned onto +y, then shifted

    Point3d::Array exact = a;
    ASSERT_TRUE(FindAndApplyTransformation(a, b, exact));
    EXPECT_LT(MaxDeviation(exact, b), 2e-6);

    // The axis method stops once a turn would be below 0.001 of the fit's
    // scale, so it lands within that share of the set's size (about 4 here).
    Point3d::Array iterative = a;
    RMSBestFit(a, b, iterative);
    EXPECT_LT(MaxDeviation(iterative, b), 0.001 * 4.0 * 2);
}

TEST(RMSBestFit, RandomProperMotionIsRecovered) {
    const unsigned seed = TestSeed();
    SCOPED_TRACE("TESSARY_TEST_SEED=" + std::to_string(seed));
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int trial = 0; trial < 20; ++trial) {
        const Point3d::Array a = RandomCloud(3 + trial * 5, rng, 15.0);
        const Point3d axis(unit(rng), unit(rng), unit(rng));
        const Matrix3x3 r(axis, 360.0 * unit(rng));
        const Point3d shift(100 * unit(rng), 100 * unit(rng), 100 * unit(rng));
        const Point3d::Array b = Moved(a, r, shift);

        Point3d::Array exact = a;
        ASSERT_TRUE(FindAndApplyTransformation(a, b, exact));
        EXPECT_LT(MaxDeviation(exact, b), 1e-4) << "trial " << trial;

        Point3d::Array iterative = a;
        RMSBestFit(a, b, iterative);
        EXPECT_LT(MaxDeviation(iterative, b), 0.001 * 15.0 * 4) << "trial " << trial;

        // The motion applied to a separate frame is the generating one.
        Point3d::Array frame = UnitFrame();
        ASSERT_TRUE(FindAndApplyTransformation(a, b, frame));
        const Matrix3x3 applied = AppliedLinearPart(frame);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(applied(i, j), r(i, j), 2e-5);
    }
}

TEST(RMSBestFit, MirrorImagesGetAProperRotation) {
    const unsigned seed = TestSeed();
    SCOPED_TRACE("TESSARY_TEST_SEED=" + std::to_string(seed));
    std::mt19937 rng(seed);
    const Point3d::Array a = RandomCloud(30, rng, 5.0);
    Point3d::Array b;
    for (const Point3d& p : a) b.Add(Point3d(-p.x, p.y, p.z));

    Point3d::Array frame1 = UnitFrame(), frame2 = UnitFrame();
    ASSERT_TRUE(FindAndApplyTransformation(a, b, frame1));
    RMSBestFit(a, b, frame2);
    for (const Point3d::Array* frame : {&frame1, &frame2}) {
        const Matrix3x3 m = AppliedLinearPart(*frame);
        EXPECT_NEAR(m.Determinant(), 1.0, 1e-5);
        Matrix3x3 mt = m;
        mt.Transpose();
        const Matrix3x3 product = m * mt;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(product(i, j), i == j ? 1.0 : 0.0, 1e-5);
    }
    // A rotation cannot undo the mirror: the fit stays imperfect.
    Point3d::Array moved = a;
    ASSERT_TRUE(FindAndApplyTransformation(a, b, moved));
    EXPECT_GT(Rmsd(moved, b), 0.1);
}

TEST(RMSBestFit, RefusedInputLeavesCUnchanged) {
    const Point3d::Array a = Points({Point3d(0, 0, 0), Point3d(1, 0, 0), Point3d(0, 1, 0)});
    const Point3d::Array shortB = Points({Point3d(5, 5, 5), Point3d(6, 5, 5)});
    const Point3d::Array c = Points({Point3d(7, 8, 9)});
    Point3d::Array target = c;

    EXPECT_FALSE(FindAndApplyTransformation(a, shortB, target));
    EXPECT_FALSE(FindAndApplyTransformation(Point3d::Array(), Point3d::Array(), target));
    Point3d::Array empty;
    EXPECT_FALSE(FindAndApplyTransformation(a, a, empty));
    EXPECT_EQ(empty.GetSize(), 0);

    // B shorter than A: the axis method must not read past B's end.
    RMSBestFit(a, shortB, target);
    RMSBestFit(Point3d::Array(), Point3d::Array(), target);
    EXPECT_EQ(target[0], c[0]);

    // A longer B is fine for the axis method: only its first points count.
    const Point3d::Array longB = Points({Point3d(1, 1, 1), Point3d(2, 1, 1), Point3d(1, 2, 1), Point3d(9, 9, 9)});
    RMSBestFit(a, longB, target);
    EXPECT_EQ(target[0], Point3d(8, 9, 10));
}

TEST(RMSBestFit, NonFiniteInputNeitherHangsNorCorruptsC) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Point3d::Array good = Points({Point3d(0, 0, 0), Point3d(1, 0, 0), Point3d(0, 1, 0)});
    for (float bad : {nan, inf}) {
        Point3d::Array a = good;
        a[1].y = bad;
        const Point3d::Array c = Points({Point3d(3, 2, 1)});
        Point3d::Array target = c;
        EXPECT_FALSE(FindAndApplyTransformation(a, good, target));
        EXPECT_FALSE(FindAndApplyTransformation(good, a, target));
        EXPECT_EQ(target[0], c[0]);
        RMSBestFit(a, good, target);  // returns; the result is not meaningful
    }
}

TEST(RMSBestFit, CMayBeTheArrayBeingFitted) {
    const unsigned seed = TestSeed();
    SCOPED_TRACE("TESSARY_TEST_SEED=" + std::to_string(seed));
    std::mt19937 rng(seed);
    Point3d::Array a = RandomCloud(12, rng, 8.0);
    const Point3d::Array b = Moved(a, Matrix3x3(Point3d(1, 1, 0), 70.0), Point3d(3, -2, 1));
    Point3d::Array separate = a;
    ASSERT_TRUE(FindAndApplyTransformation(a, b, separate));
    Point3d::Array iterative = a;
    RMSBestFit(a, b, iterative);
    Point3d::Array a2 = a;
    ASSERT_TRUE(FindAndApplyTransformation(a, b, a));  // the motion is found before C changes
    RMSBestFit(a2, b, a2);
    for (int i = 0; i < a.GetSize(); ++i) {
        EXPECT_EQ(a[i], separate[i]);
        EXPECT_EQ(a2[i], iterative[i]);
    }
}

TEST(RMSBestFit, CollinearAndCoincidentSetsStillFit) {
    // A zero eigenvalue of the quaternion matrix does not count as failure.
    const Point3d::Array line = Points({Point3d(0, 0, 0), Point3d(1, 0, 0), Point3d(2, 0, 0), Point3d(3, 0, 0)});
    const Point3d::Array b = Moved(line, Matrix3x3(Tessary::Axis::y, 30.0), Point3d(1, 1, 1));
    Point3d::Array moved = line;
    ASSERT_TRUE(FindAndApplyTransformation(line, b, moved));
    EXPECT_LT(MaxDeviation(moved, b), 1e-5);

    const Point3d::Array same = Points({Point3d(2, 2, 2), Point3d(2, 2, 2)});
    const Point3d::Array target = Points({Point3d(5, 5, 5), Point3d(5, 5, 5)});
    moved = same;
    ASSERT_TRUE(FindAndApplyTransformation(same, target, moved));
    EXPECT_LT(MaxDeviation(moved, target), 1e-5);
}

TEST(RMSBestFitTools, FindPlaneCentreAndNormal) {
    Point3d centre(9, 9, 9), normal;
    FindPlane(Point3d::Array(), centre, normal);
    EXPECT_EQ(centre, Point3d(0, 0, 0));
    EXPECT_EQ(normal, Point3d(0, 0, 1));
    FindPlane(Points({Point3d(1, 2, 3)}), centre, normal);
    EXPECT_EQ(centre, Point3d(1, 2, 3));
    EXPECT_EQ(normal, Point3d(0, 0, 1));

    FindPlane(Points({Point3d(0, 0, 5), Point3d(3, 0, 5), Point3d(0, 6, 5)}), centre, normal);
    EXPECT_EQ(centre, Point3d(1, 2, 5));
    EXPECT_NEAR(std::fabs(normal.z), 1.0, 1e-12);
    EXPECT_NEAR(normal.x, 0.0, 1e-12);
    EXPECT_NEAR(normal.y, 0.0, 1e-12);

    // A tilted plane through a noisy cloud: the normal is (1, 1, 1) / sqrt 3.
    const unsigned seed = TestSeed();
    SCOPED_TRACE("TESSARY_TEST_SEED=" + std::to_string(seed));
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-10.0, 10.0);
    Point3d::Array tilted;
    for (int i = 0; i < 200; ++i) {
        const double u = dist(rng), v = dist(rng);
        tilted.Add(Point3d(u, v, -u - v + 4.0));
    }
    FindPlane(tilted, centre, normal);
    EXPECT_NEAR(centre.x + centre.y + centre.z, 4.0, 1e-4);
    EXPECT_NEAR(std::fabs(normal.x + normal.y + normal.z), std::sqrt(3.0), 1e-6);
    EXPECT_NEAR(normal.Length(), 1.0, 1e-6);

    Point3d::Array broken = tilted;
    broken[3].x = std::numeric_limits<float>::quiet_NaN();
    FindPlane(broken, centre, normal);
    EXPECT_EQ(normal, Point3d(0, 0, 1));
}

// Ten NMR models of one protein: every model's CA trace is superposed on the
// first. The quaternion fit must be optimal (no small extra turn improves
// it), the axis method within its stopping rule of it, and the fitted
// centroid on the target's.
TEST(RMSBestFit, SuperposesNmrModels) {
    const std::vector<Point3d::Array> models = ReadModelTraces(TESSARY_SOURCE_DIR "/data/molecules/1d3z.pdb");
    ASSERT_EQ(models.size(), 10u);
    const Point3d::Array& reference = models[0];
    ASSERT_EQ(reference.GetSize(), 76);
    for (std::size_t m = 1; m < models.size(); ++m) {
        SCOPED_TRACE("model " + std::to_string(m + 1));
        const Point3d::Array& model = models[m];
        ASSERT_EQ(model.GetSize(), reference.GetSize());
        Point3d::Array exact = model;
        ASSERT_TRUE(FindAndApplyTransformation(model, reference, exact));
        Point3d::Array iterative = model;
        RMSBestFit(model, reference, iterative);

        const double best = Rmsd(exact, reference);
        EXPECT_LT(best, 5.0);
        EXPECT_LT(best, Rmsd(model, reference));
        EXPECT_LE(best, Rmsd(iterative, reference) + 1e-5);
        EXPECT_LT(Rmsd(iterative, reference), best + 0.05);

        Point3d ce, cr;
        for (int i = 0; i < exact.GetSize(); ++i) {
            ce += exact[i] * (1.0 / exact.GetSize());
            cr += reference[i] * (1.0 / reference.GetSize());
        }
        EXPECT_LT(ce.Distance(cr), 1e-3);

        for (Tessary::Axis axis : {Tessary::Axis::x, Tessary::Axis::y, Tessary::Axis::z})
            for (double deg : {-0.05, 0.05}) {
                const Matrix3x3 turn(axis, deg);
                Point3d::Array nudged;
                for (const Point3d& p : exact) nudged.Add((p - ce) * turn + ce);
                EXPECT_GT(Rmsd(nudged, reference), best);
            }
    }

    // A model against a rigidly moved copy of itself comes back exactly,
    // although the coordinates lie some 100 units from the origin.
    const Point3d::Array copy = Moved(models[3], Matrix3x3(Point3d(1, -2, 0.5), 123.0), Point3d(-40, 7, 250));
    Point3d::Array back = copy;
    ASSERT_TRUE(FindAndApplyTransformation(copy, models[3], back));
    EXPECT_LT(MaxDeviation(back, models[3]), 1e-4);
}
