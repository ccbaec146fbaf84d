#include "tessary/color/ColorMap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

const Color kBlack = Color::Black(), kWhite = Color::White(), kRed = Color::Red(), kGreen = Color::Green(),
            kBlue = Color::Blue();
using Colors = std::vector<Color>;
using Bytes = std::vector<unsigned char>;

Colors Slots(const ColorMap& map) {
    Colors slots;
    for (int i = 0; i < map.GetSizeMap(); ++i) slots.push_back(map.ColorAtIndex(i));
    return slots;
}

using test::LoadBytes;
using test::StoreBytes;

BoolArray Transfer(std::initializer_list<bool> entries) {
    BoolArray transfer;
    for (bool on : entries) transfer.Add(on);
    return transfer;
}

TEST(ColorMap, DefaultMapIsNearBlack) {
    const ColorMap map;
    EXPECT_TRUE(map.IsBlended());
    EXPECT_EQ(map.GetSizeMap(), 256);
    EXPECT_EQ(map.SizeColors(), 3);
    EXPECT_EQ(map.End(), 255.0);
    EXPECT_EQ((Colors{map.ColorAtEntry(0), map.ColorAtEntry(1), map.ColorAtEntry(2)}),
              (Colors{Color(0, 0, 1), Color(0, 1, 0), Color(1, 0, 0)}));
    EXPECT_EQ((Colors{map.ColorAtIndex(0), map.ColorAtIndex(128), map.ColorAtIndex(255)}),
              (Colors{Color(0, 0, 1), Color(0, 1, 0), Color(1, 0, 0)}));
    for (const Color& c : Slots(map)) EXPECT_LE(c.GetR() + c.GetG() + c.GetB(), 2);
    EXPECT_EQ(ColorMap(10).IndexOfValue(4.5), 5);  // end is n - 1: (0 - 4.5) * 10 / (0 - 9)
}

TEST(ColorMap, IndexOfValueTruncatesThenClamps) {
    const ColorMap map;
    const std::pair<double, int> cases[] = {{0.0, 0},     {254.0, 254}, {254.5, 255},  {255.0, 255},
                                            {1000.0, 255}, {-3.0, 0},    {-0.5, 0},     {std::nan(""), 0},
                                            {1e300, 255},  {-1e300, 0}};
    for (const auto& [value, slot] : cases) EXPECT_EQ(map.IndexOfValue(value), slot) << value;

    ColorMap flat(8);
    flat.SetBeginEnd(2.0, 2.0);  // scale 1: (begin - v) truncated, so slot 0 at or above begin
    EXPECT_EQ((std::vector<int>{flat.IndexOfValue(2.0), flat.IndexOfValue(100.0), flat.IndexOfValue(-1.5),
                                flat.IndexOfValue(-100.0)}),
              (std::vector<int>{0, 0, 3, 7}));
    ColorMap falling(4);
    falling.SetBeginEnd(1.0, 0.0);  // the index falls as the value rises
    EXPECT_EQ((std::vector<int>{falling.IndexOfValue(1.0), falling.IndexOfValue(0.3), falling.IndexOfValue(0.0)}),
              (std::vector<int>{0, 2, 3}));
}

TEST(ColorMap, BlendedSegments) {
    ColorMap map;  // 256 slots, three stops: step 128
    map.Ramp(ColorArray::RedWhiteBlue(), true);
    EXPECT_EQ(map.ColorAtIndex(0), kRed);
    EXPECT_EQ(map.ColorAtIndex(64), Color(255, 127, 127));   // 255 * 64/128 = 127.5
    EXPECT_EQ(map.ColorAtIndex(127), Color(255, 253, 253));  // one increment short of white
    EXPECT_EQ(map.ColorAtIndex(128), kWhite);
    EXPECT_EQ(map.ColorAtIndex(200), Color(110, 110, 255));  // 255 * (1 - 72/127) = 110.4
    EXPECT_EQ(map.ColorAtIndex(255), kBlue);

    ColorMap grey(256);
    grey.Ramp(kBlack, kWhite, true);
    EXPECT_EQ(grey.ColorAtIndex(0), kBlack);
    EXPECT_EQ(grey.ColorAtIndex(255), kWhite);
    for (int i = 1; i < 256; ++i) ASSERT_GE(grey.ColorAtIndex(i).GetR(), grey.ColorAtIndex(i - 1).GetR()) << i;

    // The last segment takes the remainder and divides by its count - 1; A blends too.
    ColorMap rest(10);
    rest.Ramp(Color(0, 0, 0, 0), Color(255, 255, 255, 255), Color(0, 0, 0, 0), true);
    const std::vector<int> expected{0, 51, 102, 153, 204, 255, 191, 127, 63, 0};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(rest.ColorAtIndex(i), Color(expected[i], expected[i], expected[i], expected[i]));
}

TEST(ColorMap, OtherBuildBranches) {
    Colors stops;
    for (int i = 0; i < 8; ++i) stops.push_back(Color(i, 0, 0));
    const auto build = [&](int n, int m, bool blended) {
        ColorMap map(n);
        map.Ramp(m, stops.data(), blended);
        return Slots(map);
    };
    // Fewer slots than stops, blended: sample at i * M / N, rounding to nearest past the middle.
    EXPECT_EQ(build(2, 5, true), (Colors{stops[0], stops[4]}));
    EXPECT_EQ(build(5, 8, true), (Colors{stops[0], stops[1], stops[3], stops[5], stops[7]}));
    // Flat bands: the last band takes the remainder, all of the map when bands are empty.
    EXPECT_EQ(build(2, 5, false), (Colors{stops[4], stops[4]}));
    EXPECT_EQ(build(3, 3, true), (Colors{stops[0], stops[1], stops[2]}));
    EXPECT_EQ(build(4, 1, true), Colors(4, stops[0]));

    ColorMap bands(10);
    bands.Ramp(ColorArray::RedGreenBlue(), false);
    EXPECT_EQ(Slots(bands), (Colors{kRed, kRed, kRed, kGreen, kGreen, kGreen, kBlue, kBlue, kBlue, kBlue}));

    ColorMap none(4);
    none.Ramp(ColorArray(), true);
    EXPECT_EQ(none.SizeColors(), 0);
    EXPECT_EQ(Slots(none), Colors(4, kBlack));
    EXPECT_EQ(none.ColorAtEntry(0), kBlack);
    EXPECT_EQ(none.Ramp(-3, stops.data(), true).SizeColors(), 0);
    EXPECT_EQ(none.Ramp(2, nullptr, true).SizeColors(), 0);
}

TEST(ColorMap, SizesBelowOneAndResize) {
    ColorMap zero(0);
    EXPECT_EQ(zero.GetSizeMap(), 1);
    EXPECT_EQ(zero.ColorAtValue(5.0), Color(1, 0, 0));  // one slot, three stops: the last stop

    ColorMap map(10);
    map.SetBeginEnd(0.0, 10.0);
    map.Ramp(kRed, kBlue, false);
    map.Resize(20);  // the scale still describes 10 slots
    EXPECT_EQ(map.IndexOfValue(5.0), 5);
    EXPECT_EQ(map.ColorAtIndex(9), kRed);
    EXPECT_EQ(map.ColorAtIndex(10), kBlue);
    EXPECT_EQ(map.SetEnd(10.0).IndexOfValue(5.0), 10);
    EXPECT_EQ(map.Resize(-4).GetSizeMap(), 1);
    EXPECT_EQ(map.IndexOfValue(9.0), 0);
}

TEST(ColorMap, LookupsClampAndEditsStayInside) {
    ColorMap map(4);
    map.SetBeginEnd(0.0, 4.0);
    map.Ramp(kRed, kBlue, true);
    EXPECT_EQ((Colors{map.ColorAtEntry(-1), map.ColorAtEntry(2), map.ColorAtIndex(-3), map.ColorAtIndex(9)}),
              (Colors{kRed, kBlue, kRed, kBlue}));

    map.Invert();
    EXPECT_EQ((Colors{map.ColorAtIndex(0), map.ColorAtIndex(3), map.ColorAtEntry(0)}), (Colors{kBlue, kRed, kBlue}));

    map.SetColorAtIndex(-1, kGreen).SetColorAtIndex(4, kGreen).SetColorForValue(1.5, kWhite);
    EXPECT_EQ((Colors{map.ColorAtIndex(0), map.ColorAtIndex(1), map.ColorAtIndex(3)}), (Colors{kBlue, kWhite, kRed}));

    map.Ramp(kBlack, kBlack, false).SetColorForRange(3.5, 1.2, kGreen);  // either order: slots 1..3
    EXPECT_EQ(Slots(map), (Colors{kBlack, kGreen, kGreen, kGreen}));
    ColorMap falling(4);
    falling.SetBeginEnd(4.0, 0.0);
    falling.Ramp(kBlack, kBlack, false).SetColorForRange(0.5, 2.5, kRed);  // slots 3 down to 1
    EXPECT_EQ(Slots(falling), (Colors{kBlack, kRed, kRed, kRed}));
}

TEST(ColorMap, ArchiveForm) {
    ColorMap map(2);
    map.Ramp(kRed, Color(0, 0, 255, 7), true);
    Bytes golden{
        0x01, 0x01, 0x00, 0x00, 0x00,                            // blended, last index
        0, 0, 0, 0, 0, 0, 0x00, 0x00,                            // begin 0.0
        0, 0, 0, 0, 0, 0, 0xF0, 0x3F,                            // end 1.0
        0, 0, 0, 0, 0, 0, 0x00, 0xC0,                            // scale -2.0
        0x02, 0x00, 0x00, 0x00, 255, 0, 0, 0, 0, 0, 255, 7,      // entries
        0x02, 0x00, 0x00, 0x00, 255, 0, 0, 0, 0, 0, 255, 7,      // slots
    };
    const ColorMap loaded = test::ExpectGoldenBytes(map, golden);
    EXPECT_EQ(loaded.GetSizeMap(), 2);
    EXPECT_EQ(loaded.ColorAtValue(0.75), Color(0, 0, 255, 7));

    ColorMap rainbow(100);
    rainbow.Ramp(ColorArray::Rainbow2(), true);
    ColorMap copy(3);
    LoadBytes(copy, StoreBytes(rainbow));
    EXPECT_EQ(Slots(copy), Slots(rainbow));
    EXPECT_EQ(Slots(copy.Resize(100)), Slots(rainbow));  // the loaded stops rebuild the same map
}

TEST(ColorMap, LoadWithZeroCountsKeepsOldArraysSafely) {
    Bytes bytes{
        0x00, 0xE8, 0x03, 0x00, 0x00,                            // flat, last index 1000
        0, 0, 0, 0, 0, 0, 0x00, 0x00,                            // begin 0.0
        0, 0, 0, 0, 0, 0, 0xF0, 0x3F,                            // end 1.0
        0, 0, 0, 0, 0, 0, 0x90, 0xC0,                            // scale -1024
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,          // M = 0, N = 0
    };
    ColorMap map(4);
    map.Ramp(kRed, kBlue, true);
    const Colors before = Slots(map);
    LoadBytes(map, bytes);
    EXPECT_FALSE(map.IsBlended());
    EXPECT_EQ(map.SizeColors(), 0);
    EXPECT_EQ(map.GetSizeMap(), 0);
    // The old slots answer lookups; nothing reads past them, whatever the last index says.
    EXPECT_EQ(map.IndexOfValue(1.0), 3);
    EXPECT_EQ((Colors{map.ColorAtValue(0.0), map.ColorAtValue(1.0), map.ColorAtIndex(7), map.ColorAtEntry(1)}),
              (Colors{before[0], before[3], before[0], kBlack}));
    EXPECT_EQ(StoreBytes(map), bytes);  // counts always match what is written
    EXPECT_EQ(map.Ramp(false).GetSizeMap(), 1);
}

TEST(ColorMap, MalformedArchivesThrowAndLeaveTheMapAsItWas) {
    const Bytes whole = {
        0x00, 0x05, 0, 0, 0,                // flat, last index 5
        0, 0, 0, 0, 0, 0, 0x24, 0x40,       // begin 10.0
        0, 0, 0, 0, 0, 0, 0, 0,             // end 0.0
        0, 0, 0, 0, 0, 0, 0xF0, 0x3F,       // scale 1.0
        0x01, 0, 0, 0, 1, 2, 3, 4,          // one entry
        0x01, 0, 0, 0, 9, 8, 7, 6,          // one slot
    };
    const Bytes tails[] = {
        {0xFF, 0xFF, 0xFF, 0xFF},  // negative entry count
        {0xFF, 0xFF, 0xFF, 0x7F},  // more entries than the input holds
        {0x01, 0, 0, 0, 1, 2},     // an entry cut short
    };
    std::vector<Bytes> inputs;
    for (const Bytes& tail : tails) {
        Bytes bytes(whole.begin(), whole.begin() + 29);
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        inputs.push_back(bytes);
    }
    // New name, range and entries read in full, then the slots cut short.
    inputs.emplace_back(whole.begin(), whole.end() - 1);
    for (const Bytes& bytes : inputs) {
        ColorMap map(3);
        map.Ramp(kRed, kGreen, kBlue, false).SetBeginEnd(-1.0, 4.0);
        const Bytes before = StoreBytes(map);
        EXPECT_THROW(LoadBytes(map, bytes), CArchiveException);
        EXPECT_EQ(StoreBytes(map), before);
        EXPECT_TRUE(map.IsBlended() == false && map.SizeColors() == 3 && map.Begin() == -1.0);
        EXPECT_EQ(Slots(map), (Colors{kRed, kGreen, kBlue}));
    }
}

TEST(ColorMapParameters, DefaultsClipAndLazyRebuild) {
    ColorMapParameters p;
    EXPECT_EQ(p.GetSpectrumName(), CString("Blue-Green-Red"));
    EXPECT_FALSE(p.GetClip());
    EXPECT_EQ(p.GetMinimum(), 0.0);
    EXPECT_EQ(p.GetMaximum(), 1.0);
    BoolArray transfer;
    p.GetTransferFunction(transfer);
    ASSERT_EQ(transfer.GetSize(), 32);
    for (bool on : transfer) EXPECT_TRUE(on);

    const std::pair<double, Color> unclipped[] = {
        {0.0, kBlue}, {1.0 / 32 - 1e-9, kBlue}, {0.25, Color(0, 127, 127)}, {0.5, kGreen}, {31.0 / 32, kRed},
        {1.0, kRed},  {1.5, kRed},              {-0.1, kBlue},             {std::nan(""), kBlue}};
    for (const auto& [value, color] : unclipped) EXPECT_EQ(p.CalculateColor(value), color) << value;
    p.SetClip(true);
    for (double outside : {1.5, -0.1, std::nan("")}) EXPECT_EQ(p.CalculateColor(outside), kBlack) << outside;
    EXPECT_EQ(p.CalculateColor(1.0), kRed);

    // Every setter takes effect on the next lookup.
    EXPECT_EQ(p.SetSpectrumName("red-BLUE").CalculateColor(0.0), kRed);
    p.SetMinimum(-1.0).SetMaximum(0.0);
    EXPECT_EQ((Colors{p.CalculateColor(0.0), p.CalculateColor(-1.0)}), (Colors{kBlue, kRed}));
    transfer.SetSize(2);
    EXPECT_EQ((Colors{p.SetTransferFunction(transfer).CalculateColor(-0.6), p.CalculateColor(-0.4)}),
              (Colors{kRed, kBlue}));
}

TEST(ColorMapParameters, TransferFunctionBlacksOutSlots) {
    for (bool clip : {false, true}) {
        ColorMapParameters p("Black-White", clip, 0.0, 4.0, Transfer({false, true, true, false}));
        EXPECT_EQ((Colors{p.CalculateColor(0.0), p.CalculateColor(1.0), p.CalculateColor(2.0), p.CalculateColor(3.9),
                          p.CalculateColor(4.0)}),
                  (Colors{kBlack, Color(85, 85, 85), Color(170, 170, 170), kBlack, kBlack}));
    }
    EXPECT_EQ(ColorMapParameters("Black-White", false, 0.0, 1.0, 0).CalculateColor(0.5), kBlack);
    EXPECT_EQ(ColorMapParameters("White-Black", false, 0.0, 1.0, BoolArray()).CalculateColor(0.0), kBlack);

    ColorMapParameters source("White-Black", false, 0.0, 1.0, 3);
    source.CalculateColor(0.0);
    ColorMapParameters copy(source);  // carries the built map
    EXPECT_EQ((Colors{copy.CalculateColor(0.0), copy.CalculateColor(0.99)}), (Colors{kWhite, kBlack}));
}

TEST(ColorMapParameters, EqualityAndOrder) {
    const BoolArray tf = Transfer({true, false});
    const ColorMapParameters base("Red-Blue", false, 0.0, 1.0, tf);
    const ColorMapParameters same("RED-blue", false, 0.0, 1.0, tf);
    EXPECT_TRUE(base == same);
    EXPECT_FALSE(base < same || base > same);

    const ColorMapParameters greater[] = {
        {"red-green", false, -5.0, -5.0, 0},                       // name first, ignoring case
        {"Red-Blue", true, -5.0, -5.0, 0},                         // then clip
        {"Red-Blue", false, 0.5, -5.0, 0},                         // then minimum
        {"Red-Blue", false, 0.0, 2.0, 0},                          // then maximum
        {"Red-Blue", false, 0.0, 1.0, Transfer({true, false, false})},  // then transfer length
        {"Red-Blue", false, 0.0, 1.0, Transfer({true, true})},     // then entries, false before true
    };
    for (const ColorMapParameters& other : greater) {
        EXPECT_TRUE(base < other && other > base && base != other);
        EXPECT_FALSE(other < base);
    }
    const ColorMapParameters nan("x", false, std::nan(""), 1.0, 1);
    const ColorMapParameters& self = nan;
    EXPECT_TRUE(nan == self);
    EXPECT_FALSE(nan == ColorMapParameters(nan));
}

TEST(ColorMapParameters, ArchiveForm) {
    ColorMapParameters p("Red-Blue", true, -1.0, 2.0, Transfer({true, false, true}));
    Bytes golden{
        8, 'R', 'e', 'd', '-', 'B', 'l', 'u', 'e', 0x01,   // spectrum name, clip
        0, 0, 0, 0, 0, 0, 0xF0, 0xBF,                      // minimum -1.0
        0, 0, 0, 0, 0, 0, 0x00, 0x40,                      // maximum 2.0
        0x03, 0x00, 0x00, 0x00, 1, 0, 1,                   // transfer length as a plain word, entries
    };
    ColorMapParameters used;
    used.CalculateColor(0.0);
    ColorMapParameters loaded = test::ExpectGoldenBytes(p, golden, kUnsetSchema, used);
    EXPECT_TRUE(loaded == p);

    golden.back() = 7;  // any non-zero byte loads as true
    LoadBytes(loaded, golden);
    EXPECT_TRUE(loaded == p);
    EXPECT_EQ(StoreBytes(loaded), StoreBytes(p));
    for (double v : {-1.5, -1.0, -0.2, 0.0, 0.5, 1.0, 1.9, 2.0, 3.0}) {
        EXPECT_EQ(loaded.CalculateColor(v), p.CalculateColor(v)) << v;
    }
}

TEST(ColorMapParameters, MalformedArchivesThrowAndLeaveTheParametersAsTheyWere) {
    const Bytes whole = StoreBytes(ColorMapParameters("Red-Blue", true, -1.0, 2.0, Transfer({true, false, true})));
    Bytes negative(whole.begin(), whole.end() - 7);
    negative.insert(negative.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    const Bytes cutLast(whole.begin(), whole.end() - 1), cutInMinimum(whole.begin(), whole.begin() + 12);
    for (const Bytes& bytes : {negative, cutLast, cutInMinimum}) {
        ColorMapParameters target("Rainbow1", false, 5.0, 6.0, Transfer({false, true}));
        const ColorMapParameters before = target;
        const Color colourBefore = target.CalculateColor(5.9);
        EXPECT_THROW(LoadBytes(target, bytes), CArchiveException);
        EXPECT_TRUE(target == before);
        EXPECT_EQ(target.GetSpectrumName(), CString("Rainbow1"));
        EXPECT_EQ(target.CalculateColor(5.9), colourBefore);
        EXPECT_EQ(StoreBytes(target), StoreBytes(before));
    }
}

}  // namespace
}  // namespace Tessary
