#include "tessary/graphics/primitives/LinePrimitives.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "tests/support/ArchiveBytes.h"
#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

using namespace test;  // golden-bytes helpers

const Point3d kP123(1, 2, 3);
const Point3d kP456(4, 5, 6);
const Color kRed(0x11, 0x22, 0x33, 0x44);
const Color kBlue(0x55, 0x66, 0x77, 0x88);

// A line's form: ID, two vertex forms (RGB, A cleared; point), width, ID 2.
Bytes LineBytes(std::uint32_t id, const Point3d& a, const Point3d& b, std::int32_t width, std::uint32_t id2,
                bool floats) {
    return Cat({Raw<std::uint32_t>({id}), {0x11, 0x22, 0x33, 0}, PointBytes(a, floats), {0x55, 0x66, 0x77, 0},
                PointBytes(b, floats), Raw<std::int32_t>({width}), Raw<std::uint32_t>({id2})});
}

TEST(LinePrimitive, ConstructorsGiveEachHalfItsColourAndID) {
    struct Case {
        const char* name;
        LinePrimitive line;
        Color color2;
        unsigned int id2;
    };
    const Case cases[] = {
        {"one colour, one ID", LinePrimitive(kP123, kP456, kRed, 3, 7), kRed, 7},
        {"one colour, two IDs", LinePrimitive(kP123, kP456, kRed, 3, 7, 9), kRed, 9},
        {"two colours, one ID", LinePrimitive(kP123, kRed, kP456, kBlue, 3, 7), kBlue, 7},
        {"dashed, one colour", DashedLinePrimitive(kP123, kP456, kRed, 3, 4, true, 7), kRed, 7},
        {"dashed, two colours", DashedLinePrimitive(kP123, kRed, kP456, kBlue, 3, 4, true, 7), kBlue, 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.line.GetEnd2(), kP456) << c.name;
        EXPECT_EQ(c.line.GetColor1(), kRed) << c.name;
        EXPECT_EQ(c.line.GetColor2(), c.color2) << c.name;
        EXPECT_EQ(c.line.GetID1(), 7u) << c.name;
        EXPECT_EQ(c.line.GetID2(), c.id2) << c.name;
    }
    LinePrimitive line(kP123, kP456, kRed, 1, 7);
    line.SetID1(8);
    EXPECT_EQ(line.GetID2(), 7u) << "SetID1 sets the first half only";

    EXPECT_EQ(LinePrimitive().GetWidth(), 1);
    EXPECT_EQ(DashedLinePrimitive().GetNumDashes(), 10);
    const LineArrayPrimitive array;
    EXPECT_EQ(array.GetLineWidth(), 1.0f);
    EXPECT_FALSE(array.GetDashed());
    EXPECT_EQ(array.GetDashPattern(), 0xFF00);
}

TEST(LinePrimitive, TransformsMoveEveryEnd) {
    Matrix4x4 shift(Matrix4x4::IdentityMatrix);
    shift.SetTranslation(10, 20, 30);

    DashedLinePrimitive dashed(kP123, kRed, kP456, kBlue, 2, 5, true, 7);
    static_cast<LinePrimitive&>(dashed).Transform(shift);
    EXPECT_EQ(dashed.GetEnd1(), Point3d(11, 22, 33));
    EXPECT_EQ(dashed.GetEnd2(), Point3d(14, 25, 36));

    LineArrayPrimitive::LineArray lines;
    lines.Add(LinePrimitive(kP123, kP456, kRed, 1, 1));
    lines.Add(LinePrimitive(kP456, kP123, kRed, 1, 2));
    LineArrayPrimitive array(2.5f, lines, true, 0x0F0F);
    array.Transform(shift);
    EXPECT_EQ(array.GetLineArray()[0].GetEnd1(), Point3d(11, 22, 33));
    EXPECT_EQ(array.GetLineArray()[1].GetEnd1(), Point3d(14, 25, 36));
    EXPECT_EQ(array.GetLineArray()[1].GetEnd2(), Point3d(11, 22, 33));
    EXPECT_EQ(lines[0].GetEnd1(), kP123) << "the constructor copies the lines";
}

TEST(LinePrimitive, ArchiveForms) {
    const LinePrimitive line(kP123, kRed, kP456, kBlue, 3, 7);
    for (bool floats : {true, false}) {
        const std::uint32_t schema = floats ? 7 : kUnsetSchema;
        const LinePrimitive loaded = ExpectGoldenBytes(line, LineBytes(7, kP123, kP456, 3, 7, floats), schema);
        EXPECT_EQ(loaded.GetColor1().GetA(), 0) << "loaded ends are opaque";
    }

    // A dashed line is one line form and exactly five bytes: dashes, start-blank byte.
    const DashedLinePrimitive dashed(kP123, kRed, kP456, kBlue, 3, 4, true, 7);
    const Bytes dashedForm = Cat({LineBytes(7, kP123, kP456, 3, 7, true), Raw<std::int32_t>({4}), {0x01}});
    ExpectGoldenBytes(dashed, dashedForm, 7);
    Bytes twoByte = dashedForm;
    twoByte.back() = 0x02;
    DashedLinePrimitive blank;
    LoadBytes(blank, twoByte, 7);
    EXPECT_TRUE(blank.GetStartBlank()) << "any non-zero byte is true";
}

TEST(LineArrayPrimitive, StippleFieldsFromVersionThirteen) {
    LineArrayPrimitive::LineArray lines;
    lines.Add(LinePrimitive(kP123, kRed, kP456, kBlue, 3, 7));
    LineArrayPrimitive array(2.5f, lines, true, 0x0F0F);
    array.SetID(5);
    const Bytes head = Cat({Raw<std::uint32_t>({5, 1}), LineBytes(7, kP123, kP456, 3, 7, true), Raw<float>({2.5f})});
    const Bytes stipple = Cat({Raw<std::int32_t>({1}), Raw<std::uint16_t>({0x0F0F})});

    ExpectGoldenBytes(array, Cat({head, stipple}), 13);
    // The unset version counts as newest: doubles for points, stipple included.
    ExpectGoldenBytes(array,
                      Cat({Raw<std::uint32_t>({5, 1}), LineBytes(7, kP123, kP456, 3, 7, false), Raw<float>({2.5f}),
                           stipple}));
    ExpectGoldenBytes(array, head, 12);

    // Version 12 keeps the stipple the array had.
    LineArrayPrimitive old(1.0f, {}, true, 0x1234);
    LoadBytes(old, head, 12);
    EXPECT_TRUE(old.GetDashed());
    EXPECT_EQ(old.GetDashPattern(), 0x1234);
    EXPECT_EQ(old.GetLineWidth(), 2.5f);

    // Only the word 1 is dashed.
    for (std::int32_t word : {0, 1, 2, -1}) {
        LineArrayPrimitive loaded;
        LoadBytes(loaded, Cat({head, Raw<std::int32_t>({word}), Raw<std::uint16_t>({0x00FF})}), 13);
        EXPECT_EQ(loaded.GetDashed(), word == 1) << word;
        EXPECT_EQ(loaded.GetDashPattern(), 0x00FF);
    }
}

TEST(LineArrayPrimitive, BadCountsThrowAndChangeNothing) {
    LineArrayPrimitive array(4.0f, {}, true, 0x00F0);
    const Bytes before = StoreBytes(array, 13);
    for (std::int32_t count : {-1, 2, 0x7FFFFFFF}) {
        const Bytes form = Cat({Raw<std::int32_t>({9, count}), LineBytes(7, kP123, kP456, 3, 7, true)});
        EXPECT_THROW(LoadBytes(array, form, 13), CArchiveException) << count;
        EXPECT_EQ(StoreBytes(array, 13), before) << count;
    }
}

}  // namespace
}  // namespace Tessary
