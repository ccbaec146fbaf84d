#include "tessary/graphics/primitives/OverlayLines.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "tests/support/ArchiveBytes.h"
#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

using namespace test;  // golden-bytes helpers

Point2d::Array Points(std::initializer_list<Point2d> points) {
    Point2d::Array array;
    for (const Point2d& p : points) array.Add(p);
    return array;
}

const Point2d::Array kFive = Points({{1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}});

TEST(OverlayLines, SegmentHoldsTwoPointsOrNone) {
    EXPECT_EQ(LineSegmentPrimitive(Point2d(1, 2), Point2d(3, 4), Color::Red(), 2, 5).GetPoints(),
              Points({{1, 2}, {3, 4}}));
    const LineSegmentPrimitive bare(Color::Red(), 2, 5);
    EXPECT_TRUE(bare.GetPoints().IsEmpty());
    EXPECT_EQ(bare.GetColor(), Color::Red());
    EXPECT_EQ(LineSegmentPrimitive().GetWidth(), 1);

    LineSegmentPrimitive segment;
    UnlitLinePrimitive& line = segment;
    line.SetPoints(kFive);
    EXPECT_EQ(segment.GetPoints(), Points({{1, 2}, {3, 4}})) << "the base's SetPoints reaches the segment's";
    line.SetPoints(Points({{7, 7}}));
    EXPECT_TRUE(segment.GetPoints().IsEmpty()) << "one point is no segment";

    PolylinePrimitive polyline(kFive, Color::White(), 1, 0);
    EXPECT_EQ(polyline.GetPoints(), kFive);
    polyline.SetPoints(polyline.GetPoints());
    EXPECT_EQ(polyline.GetPoints(), kFive) << "its own array";
}

TEST(OverlayLines, ArchiveFormIsCountedPointsColourAndWidth) {
    const PolylinePrimitive polyline(Points({{1, 2}, {3, 4}, {5, 6}}), Color(1, 2, 3, 4), 3, 0x0A0B0C0D);
    const Bytes form = Cat({Raw<std::uint32_t>({0x0A0B0C0D}), Raw<std::uint16_t>({3}), Raw<double>({1, 2, 3, 4, 5, 6}),
                            Raw<unsigned char>({1, 2, 3, 4}), Raw<std::int32_t>({3})});
    for (std::uint32_t schema : {6u, 13u, kUnsetSchema})
        EXPECT_EQ(ExpectGoldenBytesThroughBase<UnlitLinePrimitive>(polyline, form, schema).GetPoints(),
                  polyline.GetPoints());

    const LineSegmentPrimitive segment(Point2d(1, 2), Point2d(3, 4), Color(1, 2, 3, 4), 3, 0x0A0B0C0D);
    const Bytes segmentForm = Cat({Raw<std::uint32_t>({0x0A0B0C0D}), Raw<std::uint16_t>({2}),
                                   Raw<double>({1, 2, 3, 4}), Raw<unsigned char>({1, 2, 3, 4}), Raw<std::int32_t>({3})});
    ExpectGoldenBytesThroughBase<UnlitLinePrimitive>(segment, segmentForm);

    // A segment read from a form with another count keeps the first two or none.
    LineSegmentPrimitive loaded;
    LoadBytes(loaded, form);
    EXPECT_EQ(loaded.GetPoints(), Points({{1, 2}, {3, 4}}));
    EXPECT_EQ(loaded.GetWidth(), 3);
    UnlitLinePrimitive& base = loaded;
    Bytes one = StoreBytes(UnlitLinePrimitive(Points({{8, 9}}), Color(), 1, 0));
    CArchive ar(one, CArchive::load);
    base.Serialize(ar);
    EXPECT_TRUE(loaded.GetPoints().IsEmpty());
}

}  // namespace
}  // namespace Tessary
