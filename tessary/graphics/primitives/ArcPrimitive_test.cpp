#include "tessary/graphics/primitives/ArcPrimitive.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>

#include "tests/support/ArchiveBytes.h"
#include "tests/support/ExpectPoint.h"
#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

using namespace test;  // golden-bytes helpers

const Point3d kCentre(1, 1, 0);
const Point3d kUp(0, 0, 1);
const Point3d kStart(3, 1, 0);
const Color kColor(0x11, 0x22, 0x33, 0x44);

ArcPrimitive QuarterArc(int segments) { return ArcPrimitive(kCentre, kUp, kStart, 90.0, segments, kColor, 2, 7); }

TEST(ArcPrimitive, GeneratesSegmentsPlusOnePoints) {
    const ArcPrimitive arc = QuarterArc(3);
    ASSERT_EQ(arc.GetNumPoints(), 4);
    EXPECT_EQ(arc.GetPointAt(0), kStart);
    // A quarter turn about z through the centre, right-handed: (3, 1) -> (1, 3).
    ExpectPoint(arc.GetPointAt(3), 1, 3, 0, 1e-5);
    EXPECT_NEAR(Angle(kStart, kCentre, arc.GetPointAt(1)), 30.0, 1e-4);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(Distance(arc.GetPointAt(i), kCentre), 2.0, 1e-5) << i;

    // No segments, or fewer: the start alone, and no rotation that divides by zero.
    for (int segments : {0, -1, INT_MIN}) {
        const ArcPrimitive flat = QuarterArc(segments);
        ASSERT_EQ(flat.GetNumPoints(), 1) << segments;
        EXPECT_EQ(flat.GetPointAt(0), kStart);
    }

    // A default arc has defined values and no points; GetPointAt clamps.
    const ArcPrimitive none;
    EXPECT_EQ(none.GetNumSegments(), 0);
    EXPECT_EQ(none.GetNumPoints(), 0);
    EXPECT_EQ(&none.GetPointAt(0), &none.GetStart());
    EXPECT_EQ(arc.GetPointAt(-5), arc.GetPointAt(0));
    EXPECT_EQ(arc.GetPointAt(99), arc.GetPointAt(3));
}

TEST(ArcPrimitive, HugeSegmentCountsAreCapped) {
    const ArcPrimitive fine = QuarterArc(INT_MAX);
    EXPECT_EQ(fine.GetNumSegments(), INT_MAX) << "the stored count stays as given";
    ASSERT_EQ(fine.GetNumPoints(), ArcPrimitive::kMaxSegments + 1);
    ExpectPoint(fine.GetPointAt(ArcPrimitive::kMaxSegments), 1, 3, 0, 1e-3);
}

TEST(ArcPrimitive, SettersAndTransformKeepThePointsUntilGenerate) {
    ArcPrimitive arc = QuarterArc(2);
    const Point3d::Array before = arc.GetPoints();

    Matrix4x4 shift(Matrix4x4::IdentityMatrix);
    shift.SetTranslation(3, 0, -1);
    arc.Transform(shift);
    EXPECT_EQ(arc.GetCenter(), Point3d(4, 1, -1));
    EXPECT_EQ(arc.GetStart(), Point3d(6, 1, -1));
    EXPECT_EQ(arc.GetNormal(), Point3d(1, 0, 0)) << "the normal moves as a point, then is normalised";
    EXPECT_EQ(arc.GetPoints(), before);

    Point3d start(4, 1, 1);
    arc.SetStart(start);
    arc.SetNumSegments(4);
    arc.SetAngle(180.0);
    EXPECT_EQ(arc.GetPoints(), before) << "setters do not regenerate";
    arc.Generate();
    ASSERT_EQ(arc.GetNumPoints(), 5);
    ExpectPoint(arc.GetPointAt(4), 4, 1, -3, 1e-5);
    EXPECT_EQ(ArcPrimitive(arc).GetPoints(), arc.GetPoints());
}

// TransformAll moves the arc whole: its polyline is what Generate makes of the
// moved parameters, the normal turned (not shifted) with the arc.
TEST(ArcPrimitive, TransformAllMovesThePolylineAndTurnsTheNormal) {
    const auto near = [](const Point3d& p, const Point3d& q, double tol) { ExpectPoint(p, q.GetX(), q.GetY(), q.GetZ(), tol); };
    const Matrix4x4 shift = Matrix4x4().SetTranslation(3, 0, -1);
    for (const Matrix4x4& m : {shift, Matrix4x4(Point3d(1, 2, 3), 40.0) * shift}) {
        ArcPrimitive arc = QuarterArc(5);
        const Point3d::Array before = arc.GetPoints();
        arc.TransformAll(m);
        near(arc.GetCenter(), kCentre * m, 1e-6);
        near(arc.GetNormal(), kUp * m - Point3d(0, 0, 0) * m, 1e-6);
        ASSERT_EQ(arc.GetNumPoints(), before.GetSize());
        for (int i = 0; i < before.GetSize(); ++i) near(arc.GetPointAt(i), before[i] * m, 1e-5);
        const Point3d::Array moved = arc.GetPoints();
        arc.Generate();
        for (int i = 0; i < moved.GetSize(); ++i) near(arc.GetPointAt(i), moved[i], 1e-4);
    }
}

TEST(ArcPrimitive, ArchiveFormKeepsThePointsAsFloats) {
    ArcPrimitive arc = QuarterArc(1);
    const Point3d end = arc.GetPointAt(1);
    const Bytes tail = Cat({{0x11, 0x22, 0x33, 0x44}, {2, 0}, PointBytes(kStart, true), PointBytes(end, true), Raw<float>({90.0f}),
                            Raw<std::int32_t>({1, 2})});
    for (bool floats : {true, false}) {
        const Bytes form = Cat({Raw<std::uint32_t>({7}), PointBytes(kCentre, floats), PointBytes(kUp, floats),
                                PointBytes(kStart, floats), tail});
        const ArcPrimitive loaded = ExpectGoldenBytes(arc, form, floats ? 7 : kUnsetSchema);
        EXPECT_EQ(loaded.GetColor(), kColor) << "the colour keeps its A byte";
        EXPECT_EQ(loaded.GetPoints(), arc.GetPoints());
    }

    // Loading reads the points as stored and never generates: a huge count
    // of segments costs nothing until the host asks for the polyline.
    Bytes huge = StoreBytes(arc, 7);
    const std::int32_t count = INT_MAX;
    std::memcpy(huge.data() + huge.size() - 8, &count, 4);
    ArcPrimitive loaded;
    LoadBytes(loaded, huge, 7);
    EXPECT_EQ(loaded.GetNumSegments(), INT_MAX);
    EXPECT_EQ(loaded.GetNumPoints(), 2);

    // A point count the input cannot hold throws and leaves the arc as it was.
    Bytes lying = StoreBytes(arc, 7);
    lying[4 + 36 + 4] = 0x30;
    const Bytes before = StoreBytes(loaded, 7);
    EXPECT_THROW(LoadBytes(loaded, lying, 7), CArchiveException);
    EXPECT_EQ(StoreBytes(loaded, 7), before);
}

}  // namespace
}  // namespace Tessary
