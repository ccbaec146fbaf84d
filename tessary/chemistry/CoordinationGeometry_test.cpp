#include "tessary/chemistry/CoordinationGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tessary/geometry/Matrix3x3.h"
#include "tests/support/Molecule.h"
#include "tests/support/TestSeed.h"

namespace Tessary {
namespace {

using namespace CoordinationGeometry;

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;


CoordinationGeometryType Type(int value) { return static_cast<CoordinationGeometryType>(value); }

Point3d::Array Reference(int type) {
    Point3d::Array points;
    GetCoordinates(Type(type), points, nullptr);
    Point3d::Array directions;
    for (int i = 1; i < points.GetSize(); ++i) directions.Add(points[i]);
    return directions;
}

std::string Digits(const IntArray& a) {
    std::string s;
    for (int v : a) s += std::to_string(v);
    return s;
}

// The score by its definition, for an assignment in the form the function
// returns it; the prism uses its own sum.
double ScoreOf(const Point3d::Array& dirs, int type, const std::vector<int>& assignment) {
    const int n = dirs.GetSize();
    std::vector<int> ligandAt(n);
    const bool ligandToPosition = type == 19 || type == 20;
    for (int i = 0; i < n; ++i) {
        if (ligandToPosition) ligandAt[assignment[i] - 1] = i;
        else ligandAt[i] = assignment[i] - 1;
    }
    const auto c = [&](int k, int l) { return dirs[ligandAt[k]].Dot(dirs[ligandAt[l]]); };
    if (type == 19) {
        double score = 3.0;
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) score += dirs[i].Dot(dirs[j]) * dirs[i].Dot(dirs[j]);
        for (auto [k, l] : {std::pair{1, 5}, {1, 6}, {2, 4}, {2, 6}, {3, 4}, {3, 5}}) score += c(k - 1, l - 1);
        return score;
    }
    // Ideal cosines: from the reference set, or for the see-saw cut from a
    // trigonal bipyramid, its two equatorial ligands at 120 degrees.
    Point3d::Array ref = type == 15 ? Point3d::Array() : Reference(type);
    if (type == 15) {
        ref.Add(Point3d(1, 0, 0));
        ref.Add(Point3d(-1, 0, 0));
        ref.Add(Point3d(0, 1, 0));
        ref.Add(Point3d(0, -0.5, std::sqrt(0.75)));
    }
    double score = 0.0;
    for (int k = 0; k < n; ++k)
        for (int l = k + 1; l < n; ++l) {
            double ideal = ref[k].Dot(ref[l]);
            ideal = std::round(ideal * 6.0) / 6.0;  // the tabulated values: 0, -1/3, -1/2, -1
            const double d = c(k, l) - ideal;
            score += d * d;
        }
    return score;
}

Point3d RandomUnit(std::mt19937_64& rng) {
    std::normal_distribution<double> g;
    for (;;) {
        const double x = g(rng), y = g(rng), z = g(rng);
        const double len = std::sqrt(x * x + y * y + z * z);
        if (len > 1e-3) return Point3d(x / len, y / len, z / len);
    }
}

// ---------------------------------------------------------------------------
TEST(CoordinationGeometry, CoordinationNumbers) {
    const int expected[31] = {0, 2, 2, 2, 2, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 5, 5, 6, 6, 6, 6, 6, 7, 7, 7, 8, 8, 8, 8, 9};
    for (int t = 0; t <= 30; ++t) EXPECT_EQ(GetCoordinationNumber(Type(t)), expected[t]) << t;
    EXPECT_EQ(GetCoordinationNumber(Type(31)), 0);
    EXPECT_EQ(GetCoordinationNumber(Type(-1)), 0);
    EXPECT_EQ(GetCoordinationNumber(Type(1 << 30)), 0);
}

TEST(CoordinationGeometry, EveryNameOfTheDictionary) {
    const std::pair<const char*, int> names[] = {
        {"linear", 1}, {"l2", 1}, {"angular", 2}, {"a2", 2}, {"a2t4", 2}, {"a2tp3", 3}, {"a2sp4", 4},
        {"trigonalPlanar", 5}, {"tp3", 5}, {"trigonalPyramidal", 6}, {"tpy3", 6}, {"tpy3t4", 6},
        {"tpy3tbpy5", 7}, {"tpy3oc6", 8}, {"tShaped", 9}, {"ts3", 9}, {"tetrahedral", 10}, {"t4", 10},
        {"squarePlanar", 11}, {"square", 11}, {"sp4", 11}, {"squarePyramidal", 12}, {"spy4", 12},
        {"trigonalPlanarPyramidal", 13}, {"tpy4", 13}, {"seeSaw", 14}, {"ss4", 14}, {"ss4oc6", 14},
        {"ss4tbpy5", 15}, {"trigonalBipyramidal", 16}, {"tbpy5", 16}, {"squarePlanarPyramidal", 17},
        {"spy5", 17}, {"octahedral", 18}, {"oc6", 18}, {"trigonalPrismatic", 19}, {"tpr6", 19},
        {"trigonalAntiprismatic", 20}, {"tapr6", 20}, {"trigonalAntiprismaticStretched", 21},
        {"pentagonalPlanarPyramidal", 22}, {"ppy6", 22}, {"pentagonalBipyramidal", 23}, {"pbpy7", 23},
        {"octahedralFaceMonocapped", 24}, {"ocf7", 24}, {"trigonalPrismaticSquareFaceMonocapped", 25},
        {"tprs7", 25}, {"cubic", 26}, {"cu8", 26}, {"squareAntiprismatic", 27}, {"sapr8", 27},
        {"dodecahedral", 28}, {"dd8", 28}, {"hexagonalBipyramidal", 29}, {"hbpy8", 29},
        {"heptagonalBipyramidal", 30}, {"hbpy9", 30}};
    ASSERT_EQ(std::size(names), 58u);
    for (const auto& [name, type] : names) {
        EXPECT_EQ(StringToCoordinationGeometry(name), type) << name;
        std::string upper(name), lower(name);
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(StringToCoordinationGeometry(CString(upper)), type) << upper;
        EXPECT_EQ(StringToCoordinationGeometry(CString(lower)), type) << lower;
    }
}

TEST(CoordinationGeometry, NameLookupIsAWholeMatch) {
    EXPECT_EQ(StringToCoordinationGeometry("TBPY5"), 16);
    EXPECT_EQ(StringToCoordinationGeometry("Octahedral"), 18);
    EXPECT_EQ(StringToCoordinationGeometry("trigonalplanar"), 5);
    EXPECT_EQ(StringToCoordinationGeometry("square"), 11);
    EXPECT_EQ(StringToCoordinationGeometry(" oc6"), 0);
    EXPECT_EQ(StringToCoordinationGeometry("oc6 "), 0);
    EXPECT_EQ(StringToCoordinationGeometry("oc"), 0);
    EXPECT_EQ(StringToCoordinationGeometry("oc66"), 0);
    EXPECT_EQ(StringToCoordinationGeometry(""), 0);
    EXPECT_EQ(StringToCoordinationGeometry(CString(std::string("oc6\0x", 5))), 0);  // no early stop at NUL
    EXPECT_EQ(StringToCoordinationGeometry("squarePlanarX"), 0);
}

TEST(CoordinationGeometry, ReferenceSetsAreUnitVectorsAfterTheOrigin) {
    const int withoutDirections[] = {3, 4, 7, 8, 15, 30};
    for (int t = 1; t <= 30; ++t) {
        SCOPED_TRACE(t);
        Point3d::Array points;
        points.Add(Point3d(9, 9, 9));  // emptied first
        const int size = GetCoordinates(Type(t), points, nullptr);
        EXPECT_EQ(size, points.GetSize());
        if (std::find(std::begin(withoutDirections), std::end(withoutDirections), t) != std::end(withoutDirections)) {
            EXPECT_EQ(size, 0);
            continue;
        }
        ASSERT_EQ(size, GetCoordinationNumber(Type(t)) + 1);
        EXPECT_EQ(points[0].x, 0.0f);
        EXPECT_EQ(points[0].y, 0.0f);
        EXPECT_EQ(points[0].z, 0.0f);
        for (int i = 1; i < size; ++i) {
            if (t == 21) continue;
            EXPECT_NEAR(points[i].Length(), 1.0, 2e-7) << i;
        }
    }
    Point3d::Array none;
    EXPECT_EQ(GetCoordinates(NoCoordinationGeometry, none, nullptr), 0);
}

// The stored floats are the constructions rounded once: the pentagon's
// c72/s72/c36/s36, the stretched antiprism's x scaled before rounding, and
// the sets that reuse others.
TEST(CoordinationGeometry, ReferenceValuesFollowTheirConstructions) {
    const double a = std::sqrt(1.0 / 3.0), b = std::sqrt(2.0 / 3.0), h = std::sqrt(0.5);
    const double c36 = (std::sqrt(5.0) + 1) / 4, c72 = c36 - 0.5;
    const double s36 = std::sqrt((1 - c36) * (1 + c36)), s72 = std::sqrt((1 - c72) * (1 + c72));
    const auto expectPoint = [](const Point3d& p, double x, double y, double z) {
        EXPECT_EQ(p.x, static_cast<float>(x));
        EXPECT_EQ(p.y, static_cast<float>(y));
        EXPECT_EQ(p.z, static_cast<float>(z));
    };
    expectPoint(Reference(2)[1], -1.0 / 3.0, 2 * std::sqrt(2.0) / 3, 0);
    expectPoint(Reference(6)[2], -1.0 / 3.0, -b, std::sqrt(2.0) / 3);
    expectPoint(Reference(19)[4], -a, -b / 2, h);
    expectPoint(Reference(21)[5], -1.4 * a, b / 2, h);
    EXPECT_NEAR(Reference(21)[0].x, 0.80829, 1e-5);
    expectPoint(Reference(22)[2], c72, s72, 0);
    expectPoint(Reference(22)[4], -c36, -s36, 0);
    expectPoint(Reference(23)[4], 0, -c36, s36);
    expectPoint(Reference(24)[6], a, a, a);
    expectPoint(Reference(25)[6], 0, -1, 0);
    expectPoint(Reference(27)[1], 0, b, a);
}

TEST(CoordinationGeometry, CoordinatesOfTheEdgeCases) {
    Point3d::Array points;
    EXPECT_EQ(GetCoordinates(Octahedral, points, nullptr), 7);
    EXPECT_EQ(points[1].z, 1.0f);
    EXPECT_EQ(points[1].x, 0.0f);
    EXPECT_EQ(GetCoordinates(AngularTrigonalPlanar, points, nullptr), 0);
    EXPECT_EQ(points.GetSize(), 0);
    EXPECT_EQ(GetCoordinates(Type(31), points, nullptr), 0);
    EXPECT_EQ(GetCoordinates(Type(-3), points, nullptr), 0);
}

// ---- constraints ------------------------------------------------------------
TEST(CoordinationGeometry, ConstraintPairsAreOrdered) {
    const GeometryConstraint none;
    const A2GeometryConstraint a2(0.5);
    const TPY3GeometryConstraint tpy3(0.1, 0.2, 0.3);
    const SS4GeometryConstraint ss4(0.7);
    EXPECT_EQ(none.GetAngleConstraint(1, 2), 0.0);
    EXPECT_EQ(a2.GetAngleConstraint(1, 2), 0.5);
    EXPECT_EQ(a2.GetAngleConstraint(2, 1), 0.0);
    EXPECT_EQ(a2.GetAngleConstraint(3, 4), 0.0);
    EXPECT_EQ(tpy3.GetAngleConstraint(1, 2), 0.1);
    EXPECT_EQ(tpy3.GetAngleConstraint(1, 3), 0.2);
    EXPECT_EQ(tpy3.GetAngleConstraint(2, 3), 0.3);
    EXPECT_EQ(tpy3.GetAngleConstraint(3, 2), 0.0);
    EXPECT_EQ(tpy3.GetAngleConstraint(1, 1), 0.0);
    EXPECT_EQ(ss4.GetAngleConstraint(3, 4), 0.7);
    EXPECT_EQ(ss4.GetAngleConstraint(4, 3), 0.0);
    EXPECT_EQ(ss4.GetAngleConstraint(1, 2), 0.0);
    const GeometryConstraint& base = tpy3;  // through the base class
    EXPECT_EQ(base.GetAngleConstraint(2, 3), 0.3);
}

TEST(CoordinationGeometry, ConstrainedAngularAndSeeSaw) {
    Point3d::Array points;
    const A2GeometryConstraint right(kPi / 2);
    ASSERT_EQ(GetCoordinates(Angular, points, &right), 3);
    EXPECT_EQ(points[0].Length(), 0.0);
    EXPECT_EQ(points[1].x, 1.0f);
    EXPECT_NEAR(points[2].x, 0.0, 1e-7);
    EXPECT_EQ(points[2].y, 1.0f);
    // The same constraint leaves (1, 3) and (2, 3) at 0: no trigonal pyramid.
    points.Add(Point3d(1, 1, 1));
    EXPECT_EQ(GetCoordinates(TrigonalPyramidal, points, &right), 0);
    EXPECT_EQ(points.GetSize(), 0);
    // Only three types take a constraint.
    EXPECT_EQ(GetCoordinates(Octahedral, points, &right), 0);
    EXPECT_EQ(points.GetSize(), 0);

    const SS4GeometryConstraint seeSaw(kPi / 4);
    ASSERT_EQ(GetCoordinates(SeeSaw, points, &seeSaw), 5);
    const Point3d::Array ref = Reference(14);
    for (int i = 0; i < 4; ++i) EXPECT_LT(points[i + 1].Distance(ref[i]), 1e-7) << i;
    EXPECT_NEAR(GetCoordinationAngle(SeeSaw, 3, 4), kPi / 2, 1e-7);

    // The constraint's class is not checked: the base class gives angle 0.
    const GeometryConstraint none;
    ASSERT_EQ(GetCoordinates(Angular, points, &none), 3);
    EXPECT_EQ(points[2].x, 1.0f);
    EXPECT_EQ(points[2].y, 0.0f);
}

TEST(CoordinationGeometry, ConeConstructionExamples) {
    Point3d::Array p;
    const double tet = 109.4712 * kDeg;
    const TPY3GeometryConstraint tetrahedral(tet, tet, tet);
    ASSERT_EQ(GetCoordinates(TrigonalPyramidal, p, &tetrahedral), 4);
    EXPECT_NEAR(p[1].x, 1.0 / 3, 1e-5);
    EXPECT_NEAR(p[1].y, 0.0, 1e-7);
    EXPECT_NEAR(p[1].z, 0.94281, 1e-5);
    EXPECT_NEAR(p[2].y, -0.8165, 1e-4);
    EXPECT_NEAR(p[2].z, -0.4714, 1e-4);
    EXPECT_NEAR(p[3].y, 0.8165, 1e-4);
    EXPECT_NEAR(p[3].z, -0.4714, 1e-4);

    const TPY3GeometryConstraint right(kPi / 2, kPi / 2, kPi / 2);
    ASSERT_EQ(GetCoordinates(TrigonalPyramidal, p, &right), 4);
    for (int i = 1; i <= 3; ++i) EXPECT_NEAR(p[i].x, std::sqrt(1.0 / 3), 1e-7);

    // Three 120 degree angles: the radius is 1 up to rounding, a planar set.
    const TPY3GeometryConstraint planar(120 * kDeg, 120 * kDeg, 120 * kDeg);
    ASSERT_EQ(GetCoordinates(TrigonalPyramidal, p, &planar), 4);
    EXPECT_NEAR(p[1].Distance(Point3d(0, 0, 1)), 0.0, 1e-6);
    EXPECT_NEAR(p[2].Distance(Point3d(0, -std::sqrt(0.75), -0.5)), 0.0, 1e-6);
    EXPECT_NEAR(p[3].Distance(Point3d(0, std::sqrt(0.75), -0.5)), 0.0, 1e-6);
}

TEST(CoordinationGeometry, ConeConstructionFailures) {
    Point3d::Array p;
    const auto fails = [&](double a12, double a13, double a23) {
        p.Add(Point3d(1, 2, 3));
        const TPY3GeometryConstraint c(a12 * kDeg, a13 * kDeg, a23 * kDeg);
        return GetCoordinates(TrigonalPyramidal, p, &c) == 0 && p.GetSize() == 0;
    };
    EXPECT_TRUE(fails(0, 90, 90));      // cosine 1
    EXPECT_TRUE(fails(180, 90, 90));    // cosine -1
    EXPECT_TRUE(fails(30, 30, 90));     // chords violate the triangle inequality
    EXPECT_TRUE(fails(30, 30, 2 * std::asin(2 * std::sin(15 * kDeg)) / kDeg));  // flat chord triangle
    EXPECT_TRUE(fails(170, 170, 170));  // circumradius above 1: no cone about x
    EXPECT_TRUE(fails(125, 125, 125));
    EXPECT_TRUE(fails(std::nan(""), 90, 90));
    EXPECT_FALSE(fails(119, 119, 119));
    // Three coplanar unit vectors: the tips lie on the unit circle itself.
    EXPECT_FALSE(fails(30, 30, 60));
    EXPECT_NEAR(p[1].x, 0.0, 1e-6);
}

TEST(CoordinationGeometry, ConeConstructionHitsRequestedAngles) {
    std::mt19937_64 rng(TestSeed());
    SCOPED_TRACE(testing::Message() << "TESSARY_TEST_SEED=" << TestSeed());
    std::uniform_real_distribution<double> angle(20 * kDeg, 160 * kDeg);
    int built = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        const double a12 = angle(rng), a13 = angle(rng), a23 = angle(rng);
        const TPY3GeometryConstraint c(a12, a13, a23);
        Point3d::Array p;
        if (GetCoordinates(TrigonalPyramidal, p, &c) == 0) continue;
        ++built;
        ASSERT_EQ(p.GetSize(), 4);
        const auto ang = [&](int i, int j) { return std::acos(std::clamp(p[i].Dot(p[j]), -1.0, 1.0)); };
        EXPECT_NEAR(ang(1, 2), a12, 2e-5);
        EXPECT_NEAR(ang(1, 3), a13, 2e-5);
        EXPECT_NEAR(ang(2, 3), a23, 2e-5);
        for (int i = 1; i <= 3; ++i) {
            EXPECT_NEAR(p[i].Length(), 1.0, 1e-6);
            EXPECT_NEAR(p[i].x, p[1].x, 1e-6);  // equal angles with +x
        }
        EXPECT_LE(p[2].y, 0.0f);  // vector 2 on the side of negative y
    }
    EXPECT_GT(built, 500);
}

// ---- angles --------------------------------------------------------------------
TEST(CoordinationGeometry, IdealAngles) {
    EXPECT_DOUBLE_EQ(GetCoordinationAngle(Octahedral, 1, 2), kPi);
    EXPECT_DOUBLE_EQ(GetCoordinationAngle(Octahedral, 1, 3), kPi / 2);
    EXPECT_NEAR(GetCoordinationAngle(Tetrahedral, 1, 2), 1.910633, 1e-6);
    EXPECT_NEAR(GetCoordinationAngle(SquarePyramidal, 1, 3) / kDeg, 141.06, 0.01);
    EXPECT_NEAR(GetCoordinationAngle(TrigonalAntiprismaticStretched, 1, 2) / kDeg, 71.34, 0.01);
    EXPECT_NEAR(GetCoordinationAngle(TrigonalBipyramidal, 3, 4), 2 * kPi / 3, 1e-6);
    EXPECT_NEAR(GetCoordinationAngle(PentagonalBipyramidal, 3, 4), 72 * kDeg, 1e-6);
    // Stored floats as they are: (a, a, a) . (-a, -a, -a) is a little above -1.
    EXPECT_NEAR(GetCoordinationAngle(Cubic, 1, 8), kPi, 5e-4);
    EXPECT_LT(GetCoordinationAngle(Cubic, 1, 8), kPi);
    // The stretched antiprism's opposite vectors have a dot product of -1.32: clamped.
    EXPECT_EQ(GetCoordinationAngle(TrigonalAntiprismaticStretched, 1, 4), std::acos(-1.0));
    EXPECT_EQ(GetCoordinationAngle(Octahedral, 1, 1), 0.0);
    EXPECT_EQ(GetCoordinationAngle(Octahedral, 0, 1), 0.0);
    EXPECT_EQ(GetCoordinationAngle(Octahedral, 1, 7), 0.0);
    EXPECT_EQ(GetCoordinationAngle(AngularTrigonalPlanar, 1, 2), 0.0);
    EXPECT_EQ(GetCoordinationAngle(Type(31), 1, 2), 0.0);
    EXPECT_EQ(GetCoordinationAngle(Type(-1), 1, 2), 0.0);
    EXPECT_EQ(GetCoordinationAngle(NoCoordinationGeometry, 1, 2), 0.0);
}

// ---- deviation ------------------------------------------------------------------
TEST(CoordinationGeometry, DeviationEdgeCases) {
    IntArray assignment;
    EXPECT_NEAR(DeviationFromIdealCoordinationGeometry(Reference(18), Octahedral, assignment), 0.0, 1e-12);
    EXPECT_EQ(Digits(assignment), "123456");
    EXPECT_NEAR(DeviationFromIdealCoordinationGeometry(Reference(19), TrigonalPrismatic, assignment), 2.0, 1e-6);
    EXPECT_EQ(Digits(assignment), "123456");

    assignment.SetSize(0);
    assignment.Add(7);
    assignment.Add(8);
    Point3d::Array five = Reference(16);
    EXPECT_EQ(DeviationFromIdealCoordinationGeometry(five, Octahedral, assignment), -1.0);
    EXPECT_EQ(Digits(assignment), "78");
    EXPECT_EQ(DeviationFromIdealCoordinationGeometry(Reference(5), TrigonalPlanar, assignment), -1.0);
    EXPECT_EQ(DeviationFromIdealCoordinationGeometry(Reference(1), Linear, assignment), -1.0);
    EXPECT_EQ(DeviationFromIdealCoordinationGeometry(Reference(21), TrigonalAntiprismaticStretched, assignment), -1.0);
    EXPECT_EQ(DeviationFromIdealCoordinationGeometry(Point3d::Array(), NoCoordinationGeometry, assignment), -1.0);
    EXPECT_EQ(DeviationFromIdealCoordinationGeometry(Point3d::Array(), Type(31), assignment), -1.0);
    EXPECT_EQ(Digits(assignment), "78");
    EXPECT_EQ(DeviationFromIdealCoordinationGeometry(five, Octahedral), -1.0);
}

TEST(CoordinationGeometry, WorkedOctahedralAssignment) {
    Point3d::Array axes;
    for (const Point3d& p : {Point3d(1, 0, 0), Point3d(-1, 0, 0), Point3d(0, 1, 0), Point3d(0, -1, 0),
                             Point3d(0, 0, 1), Point3d(0, 0, -1)})
        axes.Add(p);
    IntArray assignment;
    EXPECT_EQ(DeviationFromIdealCoordinationGeometry(axes, Octahedral, assignment), 0.0);
    EXPECT_EQ(Digits(assignment), "123546");
}

TEST(CoordinationGeometry, EqualScoresKeepTheEarlierCandidate) {
    Point3d::Array same;
    for (int i = 0; i < 3; ++i) same.Add(Point3d(0, 0, 1));
    IntArray assignment;
    // (1 - -1)^2 + (1 - 0)^2 + (1 - 0)^2 for every candidate
    EXPECT_NEAR(DeviationFromIdealCoordinationGeometry(same, TShaped, assignment), 6.0, 1e-12);
    EXPECT_EQ(Digits(assignment), "123");
    same.Add(Point3d(0, 0, 1));
    same.Add(Point3d(0, 0, 1));
    same.Add(Point3d(0, 0, 1));
    DeviationFromIdealCoordinationGeometry(same, TrigonalPrismatic, assignment);
    EXPECT_EQ(Digits(assignment), "123456");
}

TEST(CoordinationGeometry, SeeSawCutFromTrigonalBipyramid) {
    Point3d::Array dirs;
    dirs.Add(Point3d(0, -0.5, std::sqrt(0.75)));
    dirs.Add(Point3d(1, 0, 0));
    dirs.Add(Point3d(0, 1, 0));
    dirs.Add(Point3d(-1, 0, 0));
    IntArray assignment;
    EXPECT_NEAR(DeviationFromIdealCoordinationGeometry(dirs, SeeSawTrigonalBipyramidal, assignment), 0.0, 1e-12);
    EXPECT_EQ(Digits(assignment), "2413");
    // Scored as the octahedral see-saw, the 120 degree pair costs (-1/2 - 0)^2.
    EXPECT_NEAR(DeviationFromIdealCoordinationGeometry(dirs, SeeSaw, assignment), 0.25, 1e-7);
}

// Every supported type recognises its own shape whatever the order and
// orientation of the ligands, and the assignment it reports achieves the score.
TEST(CoordinationGeometry, DeviationFindsTheShapeUnderPermutationAndRotation) {
    const std::uint64_t seed = TestSeed();
    SCOPED_TRACE(testing::Message() << "TESSARY_TEST_SEED=" << seed);
    std::mt19937_64 rng(seed);
    const int types[] = {6, 9, 10, 11, 13, 14, 15, 16, 17, 18, 19, 20};
    for (int type : types) {
        SCOPED_TRACE(type);
        Point3d::Array ref = Reference(type);
        if (type == 15) {
            ref.Add(Point3d(1, 0, 0));
            ref.Add(Point3d(-1, 0, 0));
            ref.Add(Point3d(0, 1, 0));
            ref.Add(Point3d(0, -0.5, std::sqrt(0.75)));
        }
        const int n = ref.GetSize();
        ASSERT_EQ(n, GetCoordinationNumber(Type(type)));
        for (int trial = 0; trial < 40; ++trial) {
            const Matrix3x3 rotation(RandomUnit(rng), std::uniform_real_distribution<double>(-180, 180)(rng));
            std::vector<int> perm(n);
            for (int i = 0; i < n; ++i) perm[i] = i;
            std::shuffle(perm.begin(), perm.end(), rng);
            Point3d::Array dirs;
            for (int i = 0; i < n; ++i) dirs.Add(ref[perm[i]] * rotation);
            IntArray assignment;
            const double score = DeviationFromIdealCoordinationGeometry(dirs, Type(type), assignment);
            EXPECT_NEAR(score, type == 19 ? 2.0 : 0.0, 1e-5);
            ASSERT_EQ(assignment.GetSize(), n);
            std::vector<int> a(assignment.begin(), assignment.end());
            std::vector<int> sorted = a;
            std::sort(sorted.begin(), sorted.end());
            for (int i = 0; i < n; ++i) EXPECT_EQ(sorted[i], i + 1);
            EXPECT_NEAR(ScoreOf(dirs, type, a), score, 1e-9);
        }
    }
}

// The candidate lists hold one assignment per inequivalent arrangement, so on
// any input their minimum is the minimum over all n! assignments.
TEST(CoordinationGeometry, CandidateMinimumIsTheMinimumOverAllAssignments) {
    const std::uint64_t seed = TestSeed() + 1;
    SCOPED_TRACE(testing::Message() << "TESSARY_TEST_SEED=" << seed - 1);
    std::mt19937_64 rng(seed);
    const int types[] = {6, 9, 10, 11, 13, 14, 15, 16, 17, 18, 19, 20};
    for (int type : types) {
        SCOPED_TRACE(type);
        const int n = GetCoordinationNumber(Type(type));
        for (int trial = 0; trial < 10; ++trial) {
            Point3d::Array dirs;
            for (int i = 0; i < n; ++i) dirs.Add(RandomUnit(rng));
            const double score = DeviationFromIdealCoordinationGeometry(dirs, Type(type));
            std::vector<int> perm(n);
            for (int i = 0; i < n; ++i) perm[i] = i + 1;
            double best = 1e300;
            do best = std::min(best, ScoreOf(dirs, type, perm));
            while (std::next_permutation(perm.begin(), perm.end()));
            EXPECT_NEAR(score, best, 1e-9);
        }
    }
}

// ---- real metal centres ------------------------------------------------------------
Point3d::Array LigandDirections(const TessaryTest::Molecule& mol, std::size_t metal) {
    const TessaryTest::Atom& m = mol.atoms[metal];
    Point3d::Array dirs;
    for (std::size_t i = 0; i < mol.atoms.size(); ++i) {
        const TessaryTest::Atom& a = mol.atoms[i];
        if (i == metal || a.element == "H") continue;
        Point3d d(a.x - m.x, a.y - m.y, a.z - m.z);
        if (d.Length() < 2.8) dirs.Add(d.Normalize());
    }
    return dirs;
}

std::string Molecules(const char* name) { return std::string(TESSARY_SOURCE_DIR) + "/data/molecules/" + name; }

TEST(CoordinationGeometry, TetrahedralMetalSites) {
    for (const char* file : {"4at1.ent", "Fe_1brf_snip_reduced.pdb"}) {
        SCOPED_TRACE(file);
        const TessaryTest::Molecule mol = TessaryTest::ReadMolecule(Molecules(file));
        std::vector<std::size_t> metals = mol.FindElement("Zn");
        for (std::size_t fe : mol.FindElement("Fe")) metals.push_back(fe);
        ASSERT_FALSE(metals.empty());
        for (std::size_t metal : metals) {
            const Point3d::Array dirs = LigandDirections(mol, metal);
            ASSERT_EQ(dirs.GetSize(), 4);
            const double t4 = DeviationFromIdealCoordinationGeometry(dirs, Tetrahedral);
            EXPECT_GE(t4, 0.0);
            EXPECT_LT(t4, DeviationFromIdealCoordinationGeometry(dirs, SquarePlanar));
            EXPECT_LT(t4, DeviationFromIdealCoordinationGeometry(dirs, SeeSaw));
        }
    }
}

TEST(CoordinationGeometry, HaemIronIsSquarePyramidal) {
    const TessaryTest::Molecule mol = TessaryTest::ReadMolecule(Molecules("2hhb.ent"));
    const std::vector<std::size_t> irons = mol.FindElement("Fe");
    ASSERT_EQ(irons.size(), 4u);
    for (std::size_t fe : irons) {
        const Point3d::Array dirs = LigandDirections(mol, fe);
        ASSERT_EQ(dirs.GetSize(), 5);
        const double spy5 = DeviationFromIdealCoordinationGeometry(dirs, SquarePlanarPyramidal);
        EXPECT_GE(spy5, 0.0);
        EXPECT_LT(spy5, DeviationFromIdealCoordinationGeometry(dirs, TrigonalBipyramidal));
    }
}

TEST(CoordinationGeometry, HexaquaMagnesiumIsOctahedral) {
    const TessaryTest::Molecule mol = TessaryTest::ReadMolecule(Molecules("water_cluster_Mg.xyz"));
    const std::vector<std::size_t> mg = mol.FindElement("Mg");
    ASSERT_EQ(mg.size(), 1u);
    const Point3d::Array dirs = LigandDirections(mol, mg[0]);
    ASSERT_EQ(dirs.GetSize(), 6);
    IntArray assignment;
    const double oc6 = DeviationFromIdealCoordinationGeometry(dirs, Octahedral, assignment);
    EXPECT_GE(oc6, 0.0);
    EXPECT_LT(oc6, 0.01);
    EXPECT_LT(oc6, DeviationFromIdealCoordinationGeometry(dirs, TrigonalPrismatic) - 1.0);
}

}  // namespace
}  // namespace Tessary
