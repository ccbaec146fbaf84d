#include "tessary/color/ColorArray.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

std::vector<Color> Elements(const ColorArray& array) { return std::vector<Color>(array.begin(), array.end()); }

TEST(ColorArray, ConstructionAndCopy) {
    EXPECT_EQ(ColorArray().GetSize(), 0);
    EXPECT_EQ(ColorArray().GetName(), CString("Undefined"));
    EXPECT_EQ(Elements(ColorArray(3)), std::vector<Color>(3, Color()));
    EXPECT_EQ(ColorArray(-2, 5).GetSize(), 0);

    ColorArray named(CString("Mine"), 2, 0);
    named[1] = Color(1, 2, 3, 4);
    named.Add(Color::Red());
    ColorArray assigned;
    assigned = ColorArray(named);
    const ColorArray& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.GetName(), CString("Mine"));
    EXPECT_EQ(Elements(assigned), (std::vector<Color>{Color(), Color(1, 2, 3, 4), Color::Red()}));
}

TEST(ColorArray, BuiltInRampsAndNamedLookup) {
    const Color K = Color::Black(), W = Color::White(), R = Color::Red(), G = Color::Green(), B = Color::Blue(),
                Y = Color::Yellow(), C = Color::Cyan(), M = Color::Magenta();
    struct { ColorArray ramp; const char* name; std::vector<Color> stops; } const table[] = {
        {ColorArray::BlackWhite(), "Black-White", {K, W}},
        {ColorArray::WhiteBlack(), "White-Black", {W, K}},
        {ColorArray::RedBlue(), "Red-Blue", {R, B}},
        {ColorArray::BlueRed(), "Blue-Red", {B, R}},
        {ColorArray::RedWhiteBlue(), "Red-White-Blue", {R, W, B}},
        {ColorArray::BlueWhiteRed(), "Blue-White-Red", {B, W, R}},
        {ColorArray::RedGreenBlue(), "Red-Green-Blue", {R, G, B}},
        {ColorArray::BlueGreenRed(), "Blue-Green-Red", {B, G, R}},
        {ColorArray::Rainbow1(), "Rainbow 1", {R, Y, G, C}},
        {ColorArray::Rainbow1Reversed(), "Rainbow 1 Reversed", {C, G, Y, R}},
        {ColorArray::Rainbow2(), "Rainbow 2", {R, M, B, C}},
        {ColorArray::Rainbow2Reversed(), "Rainbow 2 Reversed", {C, B, M, R}},
    };
    for (const auto& row : table) {
        EXPECT_EQ(row.ramp.GetName(), CString(row.name));
        EXPECT_EQ(Elements(row.ramp), row.stops) << row.name;
        const ColorArray found = ColorArray::Named(row.name);
        EXPECT_EQ(found.GetName(), CString(row.name));
        EXPECT_EQ(Elements(found), row.stops) << row.name;
    }

    const ColorArray upper = ColorArray::Named("BLUE-WHITE-RED");
    EXPECT_EQ(upper.GetName(), CString("Blue-White-Red"));
    EXPECT_EQ(Elements(upper), (std::vector<Color>{B, W, R}));
    EXPECT_EQ(ColorArray::Named("rainbow 1").GetName(), CString("Rainbow 1"));

    for (const char* unknown : {"", "Purple", "Red-Blue ", " Red-Blue", "Rainbow", "Rainbow 1 Reversed!"}) {
        const ColorArray fallback = ColorArray::Named(unknown);
        EXPECT_EQ(fallback.GetName(), CString("Red-Green-Blue")) << unknown;
        EXPECT_EQ(Elements(fallback), (std::vector<Color>{R, G, B}));
    }
}

TEST(ColorArray, ArchiveForm) {
    ColorArray ramp(CString("Ramp"));
    ramp.Add(Color(1, 2, 3, 4));
    ramp.Add(Color(255, 0, 0, 9));
    const test::Bytes golden = {0x02, 0x00, 1, 2, 3, 4, 255, 0, 0, 9, 4, 'R', 'a', 'm', 'p'};  // two colours, "Ramp"
    const ColorArray loaded = test::ExpectGoldenBytes(ramp, golden, kUnsetSchema, ColorArray(CString("Old"), 7));
    EXPECT_EQ(loaded.GetName(), CString("Ramp"));
    EXPECT_EQ(Elements(loaded), Elements(ramp));

    const test::Bytes empty = {0x00, 0x00, 9, 'U', 'n', 'd', 'e', 'f', 'i', 'n', 'e', 'd'};
    const ColorArray loadedEmpty = test::ExpectGoldenBytes(ColorArray(), empty, kUnsetSchema, ColorArray::Rainbow1());
    EXPECT_EQ(loadedEmpty.GetName(), CString("Undefined"));
    EXPECT_EQ(loadedEmpty.GetSize(), 0);
}

TEST(ColorArray, CraftedCountThrowsBeforeAllocating) {
    // Count 0xFFFFFFFE (escaped 32-bit form) with only a few bytes behind it.
    std::vector<unsigned char> bytes{0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4};
    CArchive in(bytes, CArchive::load);
    ColorArray target = ColorArray::RedBlue();
    EXPECT_THROW(target.Serialize(in), CArchiveException);
    EXPECT_EQ(target.GetName(), CString("Red-Blue"));
    EXPECT_EQ(target.GetSize(), 2);
    // A name cut short after a whole colour block leaves the old colours too.
    EXPECT_THROW(test::LoadBytes(target, {1, 0, 1, 2, 3, 4, 5, 'a'}), CArchiveException);
    EXPECT_EQ(target.GetName(), CString("Red-Blue"));
    EXPECT_EQ(Elements(target), Elements(ColorArray::RedBlue()));
}

}  // namespace
}  // namespace Tessary
