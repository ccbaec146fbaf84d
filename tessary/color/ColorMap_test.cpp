#include "tessary/color/ColorMap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace Tessary {
namespace {

const Color kBlack = Color::Black(), kWhite = Color::White(), kRed = Color::Red(), kGreen = Color::Green(),
            kBlue = Color::Blue();

std::vector<Color> Slots(const ColorMap& map) {
    std::vector<Color> slots;
    for (int i = 0; i < map.GetSizeMap(); ++i) slots.push_back(map.ColorAtIndex(i));
    return slots;
}

std::vector<unsigned char> Store(ColorMap& map) {
    std::vector<unsigned char> bytes;
    CArchive ar(bytes, CArchive::store);
    map.Serialize(ar);
    return bytes;
}

TEST(ColorMap, DefaultMapIsNearBlack) {
    const ColorMap map;
    EXPECT_TRUE(map.IsBlended());
    EXPECT_EQ(map.GetSizeMap(), 256);
    EXPECT_EQ(map.SizeColors(), 3);
    EXPECT_EQ(map.Begin(), 0.0);
    EXPECT_EQ(map.End(), 255.0);
    EXPECT_EQ(map.ColorAtEntry(0), Color(0, 0, 1));
    EXPECT_EQ(map.ColorAtEntry(1), Color(0, 1, 0));
    EXPECT_EQ(map.ColorAtEntry(2), Color(1, 0, 0));
    EXPECT_EQ(map.ColorAtIndex(0), Color(0, 0, 1));
    EXPECT_EQ(map.ColorAtIndex(128), Color(0, 1, 0));
    EXPECT_EQ(map.ColorAtIndex(255), Color(1, 0, 0));
    for (const Color& c : Slots(map)) EXPECT_LE(c.GetR() + c.GetG() + c.GetB(), 2);

    const ColorMap ten(10);
    EXPECT_EQ(ten.End(), 9.0);
    EXPECT_EQ(ten.IndexOfValue(4.5), 5);  // (0 - 4.5) * 10 / (0 - 9)
}

TEST(ColorMap, IndexOfValueTruncatesThenClamps) {
    const ColorMap map;
    EXPECT_EQ(map.IndexOfValue(0.0), 0);
    EXPECT_EQ(map.IndexOfValue(254.0), 254);
    EXPECT_EQ(map.IndexOfValue(254.5), 255);
    EXPECT_EQ(map.IndexOfValue(255.0), 255);
    EXPECT_EQ(map.IndexOfValue(1000.0), 255);
    EXPECT_EQ(map.IndexOfValue(-3.0), 0);
    EXPECT_EQ(map.IndexOfValue(-0.5), 0);
    EXPECT_EQ(map.IndexOfValue(std::nan("")), 0);
    EXPECT_EQ(map.IndexOfValue(1e300), 255);
    EXPECT_EQ(map.IndexOfValue(-1e300), 0);

    ColorMap flat(8);
    flat.SetBeginEnd(2.0, 2.0);  // scale 1: (begin - v) truncated
    EXPECT_EQ(flat.IndexOfValue(2.0), 0);
    EXPECT_EQ(flat.IndexOfValue(100.0), 0);
    EXPECT_EQ(flat.IndexOfValue(-1.5), 3);
    EXPECT_EQ(flat.IndexOfValue(-100.0), 7);

    ColorMap falling(4);
    falling.SetBeginEnd(1.0, 0.0);  // index falls as the value rises
    EXPECT_EQ(falling.IndexOfValue(1.0), 0);
    EXPECT_EQ(falling.IndexOfValue(0.3), 2);
    EXPECT_EQ(falling.IndexOfValue(0.0), 3);
}

TEST(ColorMap, BlendedSegmentsMatchWorkedExample) {
    ColorMap map;
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
    for (int i = 0; i < 10; ++i) {
        const Color c = rest.ColorAtIndex(i);
        EXPECT_EQ(c.GetR(), expected[i]) << i;
        EXPECT_EQ(c.GetA(), expected[i]) << i;
    }

    ColorMap three(3);
    three.Ramp(kBlack, kWhite, true);
    EXPECT_EQ(Slots(three), (std::vector<Color>{kBlack, Color(127, 127, 127), kWhite}));
}

TEST(ColorMap, OtherBuildBranches) {
    const Color stops[5] = {Color(1, 0, 0), Color(2, 0, 0), Color(3, 0, 0), Color(4, 0, 0), Color(5, 0, 0)};

    ColorMap sampled(2);
    sampled.Ramp(5, stops, true);  // r = 2.5: slot 0 takes stop 0, the last slot the last stop
    EXPECT_EQ(Slots(sampled), (std::vector<Color>{stops[0], stops[4]}));
    sampled.Ramp(5, stops, false);  // no slots for the inner bands: the last stop everywhere
    EXPECT_EQ(Slots(sampled), (std::vector<Color>{stops[4], stops[4]}));

    // Eight stops on five slots: r = 1.6; slots past the middle round to nearest.
    std::vector<Color> eight;
    for (int i = 0; i < 8; ++i) eight.push_back(Color(i, 0, 0));
    ColorMap five(5);
    five.Ramp(8, eight.data(), true);
    EXPECT_EQ(Slots(five), (std::vector<Color>{eight[0], eight[1], eight[3], eight[5], eight[7]}));

    ColorMap bands(10);
    bands.Ramp(ColorArray::RedGreenBlue(), false);
    EXPECT_EQ(Slots(bands), (std::vector<Color>{kRed, kRed, kRed, kGreen, kGreen, kGreen, kBlue, kBlue, kBlue, kBlue}));

    ColorMap same(3);
    same.Ramp(3, stops, true);  // N = M: slot i is stop i, blended or not
    EXPECT_EQ(Slots(same), (std::vector<Color>{stops[0], stops[1], stops[2]}));

    ColorMap single(4);
    single.Ramp(1, stops + 3, true);
    EXPECT_EQ(Slots(single), std::vector<Color>(4, stops[3]));

    ColorMap none(4);
    none.Ramp(ColorArray(), true);
    EXPECT_EQ(none.SizeColors(), 0);
    EXPECT_EQ(Slots(none), std::vector<Color>(4, kBlack));
    EXPECT_EQ(none.ColorAtEntry(0), kBlack);
    none.Ramp(-3, stops, true);
    EXPECT_EQ(none.SizeColors(), 0);
    none.Ramp(2, nullptr, true);
    EXPECT_EQ(none.SizeColors(), 0);
}

TEST(ColorMap, SizesBelowOneAndResize) {
    ColorMap zero(0);
    EXPECT_EQ(zero.GetSizeMap(), 1);
    EXPECT_EQ(zero.ColorAtValue(5.0), Color(1, 0, 0));  // one slot, three stops: the last stop
    ColorMap map(10);
    map.SetBeginEnd(0.0, 10.0);
    map.Ramp(kRed, kBlue, false);
    map.Resize(20);  // the scale still describes 10 slots
    EXPECT_EQ(map.GetSizeMap(), 20);
    EXPECT_EQ(map.IndexOfValue(5.0), 5);
    EXPECT_EQ(map.ColorAtIndex(9), kRed);
    EXPECT_EQ(map.ColorAtIndex(10), kBlue);
    map.SetEnd(10.0);
    EXPECT_EQ(map.IndexOfValue(5.0), 10);
    map.Resize(-4);
    EXPECT_EQ(map.GetSizeMap(), 1);
    EXPECT_EQ(map.IndexOfValue(9.0), 0);
}

TEST(ColorMap, LookupsClampAndEditsStayInside) {
    ColorMap map(4);
    map.SetBeginEnd(0.0, 4.0);
    map.Ramp(kRed, kBlue, true);
    EXPECT_EQ(map.ColorAtEntry(-1), kRed);
    EXPECT_EQ(map.ColorAtEntry(2), kBlue);
    EXPECT_EQ(map.ColorAtIndex(-3), kRed);
    EXPECT_EQ(map.ColorAtIndex(4 + 5), kBlue);

    map.Invert();
    EXPECT_EQ(map.ColorAtIndex(0), kBlue);
    EXPECT_EQ(map.ColorAtIndex(3), kRed);
    EXPECT_EQ(map.ColorAtEntry(0), kBlue);

    map.SetColorAtIndex(-1, kGreen).SetColorAtIndex(4, kGreen);
    EXPECT_EQ(map.ColorAtIndex(0), kBlue);
    EXPECT_EQ(map.ColorAtIndex(3), kRed);
    map.SetColorForValue(1.5, kWhite);
    EXPECT_EQ(map.ColorAtIndex(1), kWhite);

    map.Ramp(kBlack, kBlack, false);
    map.SetColorForRange(3.5, 1.2, kGreen);  // either order sets slots 1..3
    EXPECT_EQ(Slots(map), (std::vector<Color>{kBlack, kGreen, kGreen, kGreen}));

    ColorMap falling(4);
    falling.SetBeginEnd(4.0, 0.0);
    falling.Ramp(kBlack, kBlack, false);
    falling.SetColorForRange(0.5, 2.5, kRed);  // slots 3 down to 1, whichever way the map runs
    EXPECT_EQ(Slots(falling), (std::vector<Color>{kBlack, kRed, kRed, kRed}));
}

TEST(ColorMap, ArchiveForm) {
    ColorMap map(2);
    map.SetBeginEnd(0.0, 1.0);
    map.Ramp(kRed, Color(0, 0, 255, 7), true);
    std::vector<unsigned char> golden{
        0x01,                                            // blended
        0x01, 0x00, 0x00, 0x00,                          // last index
        0, 0, 0, 0, 0, 0, 0x00, 0x00,                    // begin 0.0
        0, 0, 0, 0, 0, 0, 0xF0, 0x3F,                    // end 1.0
        0, 0, 0, 0, 0, 0, 0x00, 0xC0,                    // scale -2.0
        0x02, 0x00, 0x00, 0x00, 255, 0, 0, 0, 0, 0, 255, 7,  // entries
        0x02, 0x00, 0x00, 0x00, 255, 0, 0, 0, 0, 0, 255, 7,  // slots
    };
    ASSERT_EQ(Store(map), golden);

    ColorMap loaded;
    CArchive in(golden, CArchive::load);
    loaded.Serialize(in);
    EXPECT_TRUE(loaded.IsBlended());
    EXPECT_EQ(loaded.GetSizeMap(), 2);
    EXPECT_EQ(loaded.SizeColors(), 2);
    EXPECT_EQ(loaded.ColorAtValue(0.75), Color(0, 0, 255, 7));
    EXPECT_EQ(Store(loaded), golden);

    // A default map stored and loaded recomputes the same colours.
    ColorMap rainbow(100);
    rainbow.Ramp(ColorArray::Rainbow2(), true);
    std::vector<unsigned char> bytes = Store(rainbow);
    CArchive back(bytes, CArchive::load);
    ColorMap copy(3);
    copy.Serialize(back);
    EXPECT_EQ(Slots(copy), Slots(rainbow));
    copy.Resize(100);
    EXPECT_EQ(Slots(copy), Slots(rainbow));
}

TEST(ColorMap, LoadWithZeroCountsKeepsOldArraysSafely) {
    std::vector<unsigned char> bytes{
        0x00, 0xE8, 0x03, 0x00, 0x00,                    // flat, last index 1000
        0, 0, 0, 0, 0, 0, 0x00, 0x00,                    // begin 0.0
        0, 0, 0, 0, 0, 0, 0xF0, 0x3F,                    // end 1.0
        0, 0, 0, 0, 0, 0, 0x90, 0xC0,                    // scale -1024
        0x00, 0x00, 0x00, 0x00,                          // M = 0
        0x00, 0x00, 0x00, 0x00,                          // N = 0
    };
    ColorMap map(4);
    map.Ramp(kRed, kBlue, true);
    const std::vector<Color> before = Slots(map);
    CArchive in(bytes, CArchive::load);
    map.Serialize(in);
    EXPECT_FALSE(map.IsBlended());
    EXPECT_EQ(map.SizeColors(), 0);
    EXPECT_EQ(map.GetSizeMap(), 0);
    // The old slots answer lookups; nothing reads past them.
    EXPECT_EQ(map.ColorAtValue(0.0), before[0]);
    EXPECT_EQ(map.ColorAtValue(1.0), before[3]);
    EXPECT_EQ(map.IndexOfValue(1.0), 3);
    EXPECT_EQ(map.ColorAtIndex(7), before[0]);
    EXPECT_EQ(map.ColorAtEntry(1), kBlack);
    // Stored again, the counts match what is written.
    std::vector<unsigned char> again = Store(map);
    EXPECT_EQ(again, bytes);
    // A rebuild has no stops to use and at least one slot.
    map.Ramp(false);
    map.Resize(0);
    EXPECT_EQ(map.GetSizeMap(), 1);
}

TEST(ColorMap, MalformedArchivesThrowAndLeaveAUsableMap) {
    std::vector<unsigned char> header{0x01, 0x01, 0, 0, 0};
    header.resize(header.size() + 24, 0);
    for (std::vector<unsigned char> tail : {std::vector<unsigned char>{0xFF, 0xFF, 0xFF, 0xFF},   // M = -1
                                            std::vector<unsigned char>{0xFF, 0xFF, 0xFF, 0x7F},   // M huge
                                            std::vector<unsigned char>{0x01, 0, 0, 0, 1, 2}}) {    // short entry
        std::vector<unsigned char> bytes = header;
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        ColorMap map(3);
        CArchive in(bytes, CArchive::load);
        EXPECT_THROW(map.Serialize(in), CArchiveException);
        EXPECT_EQ(map.SizeColors(), 3);
        map.ColorAtValue(0.5);
        map.ColorAtIndex(2);
    }
}

TEST(ColorMapParameters, DefaultsAndLazyRebuild) {
    ColorMapParameters p;
    EXPECT_EQ(p.GetSpectrumName(), CString("Blue-Green-Red"));
    EXPECT_FALSE(p.GetClip());
    EXPECT_EQ(p.GetMinimum(), 0.0);
    EXPECT_EQ(p.GetMaximum(), 1.0);
    BoolArray transfer;
    p.GetTransferFunction(transfer);
    ASSERT_EQ(transfer.GetSize(), 32);
    for (bool on : transfer) EXPECT_TRUE(on);

    EXPECT_EQ(p.CalculateColor(0.0), kBlue);
    EXPECT_EQ(p.CalculateColor(1.0 / 32 - 1e-9), kBlue);
    EXPECT_EQ(p.CalculateColor(0.25), Color(0, 127, 127));
    EXPECT_EQ(p.CalculateColor(0.5), kGreen);
    EXPECT_EQ(p.CalculateColor(31.0 / 32), kRed);
    EXPECT_EQ(p.CalculateColor(1.0), kRed);
    EXPECT_EQ(p.CalculateColor(1.5), kRed);
    EXPECT_EQ(p.CalculateColor(-0.1), kBlue);
    EXPECT_EQ(p.CalculateColor(std::nan("")), kBlue);

    p.SetClip(true);
    EXPECT_EQ(p.CalculateColor(1.5), kBlack);
    EXPECT_EQ(p.CalculateColor(-0.1), kBlack);
    EXPECT_EQ(p.CalculateColor(std::nan("")), kBlack);
    EXPECT_EQ(p.CalculateColor(1.0), kRed);

    // Every setter takes effect on the next lookup.
    p.SetSpectrumName("red-BLUE");
    EXPECT_EQ(p.CalculateColor(0.0), kRed);
    p.SetMinimum(-1.0).SetMaximum(0.0);
    EXPECT_EQ(p.CalculateColor(0.0), kBlue);
    EXPECT_EQ(p.CalculateColor(-1.0), kRed);
    transfer.SetSize(2);
    p.SetTransferFunction(transfer);
    EXPECT_EQ(p.CalculateColor(-0.6), kRed);
    EXPECT_EQ(p.CalculateColor(-0.4), kBlue);
}

TEST(ColorMapParameters, TransferFunctionBlacksOutSlots) {
    BoolArray transfer;
    for (bool on : {false, true, true, false}) transfer.Add(on);
    for (bool clip : {false, true}) {
        ColorMapParameters p("Black-White", clip, 0.0, 4.0, transfer);
        EXPECT_EQ(p.CalculateColor(0.0), kBlack);
        EXPECT_EQ(p.CalculateColor(1.0), Color(85, 85, 85));
        EXPECT_EQ(p.CalculateColor(2.0), Color(170, 170, 170));
        EXPECT_EQ(p.CalculateColor(3.9), kBlack);
        EXPECT_EQ(p.CalculateColor(4.0), kBlack);
    }
    ColorMapParameters empty("Black-White", false, 0.0, 1.0, 0);
    EXPECT_EQ(empty.CalculateColor(0.5), kBlack);
    ColorMapParameters none("White-Black", false, 0.0, 1.0, BoolArray());
    EXPECT_EQ(none.CalculateColor(0.0), kBlack);

    // Copies carry the built map with them.
    ColorMapParameters source("White-Black", false, 0.0, 1.0, 3);
    source.CalculateColor(0.0);
    ColorMapParameters copy(source);
    EXPECT_EQ(copy.CalculateColor(0.0), kWhite);
    EXPECT_EQ(copy.CalculateColor(0.99), kBlack);
}

TEST(ColorMapParameters, EqualityAndOrder) {
    BoolArray tf;
    tf.Add(true);
    tf.Add(false);
    const ColorMapParameters base("Red-Blue", false, 0.0, 1.0, tf);
    EXPECT_TRUE(base == ColorMapParameters("RED-blue", false, 0.0, 1.0, tf));
    EXPECT_FALSE(base < ColorMapParameters("RED-blue", false, 0.0, 1.0, tf));
    EXPECT_FALSE(base > ColorMapParameters("RED-blue", false, 0.0, 1.0, tf));

    BoolArray longer(tf);
    longer.Add(false);
    BoolArray flipped;
    flipped.Add(true);
    flipped.Add(true);
    const ColorMapParameters greater[] = {
        ColorMapParameters("red-green", false, -5.0, -5.0, 0),   // name decides first, ignoring case
        ColorMapParameters("Red-Blue", true, -5.0, -5.0, 0),     // then clip
        ColorMapParameters("Red-Blue", false, 0.5, -5.0, 0),     // then minimum
        ColorMapParameters("Red-Blue", false, 0.0, 2.0, 0),      // then maximum
        ColorMapParameters("Red-Blue", false, 0.0, 1.0, longer), // then transfer length
        ColorMapParameters("Red-Blue", false, 0.0, 1.0, flipped),// then entries, false before true
    };
    for (const ColorMapParameters& other : greater) {
        EXPECT_TRUE(base < other);
        EXPECT_TRUE(other > base);
        EXPECT_FALSE(other < base);
        EXPECT_TRUE(base != other);
    }

    const ColorMapParameters nan("x", false, std::nan(""), 1.0, 1);
    EXPECT_TRUE(nan == nan);
    EXPECT_FALSE(nan == ColorMapParameters(nan));
}

TEST(ColorMapParameters, ArchiveForm) {
    BoolArray tf;
    for (bool on : {true, false, true}) tf.Add(on);
    ColorMapParameters p("Red-Blue", true, -1.0, 2.0, tf);
    std::vector<unsigned char> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        p.Serialize(ar);
    }
    std::vector<unsigned char> golden{
        8, 'R', 'e', 'd', '-', 'B', 'l', 'u', 'e',   // spectrum name
        0x01,                                        // clip
        0, 0, 0, 0, 0, 0, 0xF0, 0xBF,                // minimum -1.0
        0, 0, 0, 0, 0, 0, 0x00, 0x40,                // maximum 2.0
        0x03, 0x00, 0x00, 0x00,                      // transfer length, a plain word
        1, 0, 1,
    };
    ASSERT_EQ(bytes, golden);

    golden.back() = 7;  // any non-zero byte loads as true
    ColorMapParameters loaded;
    loaded.CalculateColor(0.0);
    CArchive in(golden, CArchive::load);
    loaded.Serialize(in);
    EXPECT_TRUE(loaded == p);
    for (double v : {-1.5, -1.0, -0.2, 0.0, 0.5, 1.0, 1.9, 2.0, 3.0}) EXPECT_EQ(loaded.CalculateColor(v), p.CalculateColor(v)) << v;
    std::vector<unsigned char> again;
    {
        CArchive ar(again, CArchive::store);
        loaded.Serialize(ar);
    }
    golden.back() = 1;
    EXPECT_EQ(again, golden);

    std::vector<unsigned char> negative(golden.begin(), golden.end() - 7);
    for (unsigned char b : {0xFF, 0xFF, 0xFF, 0xFF}) negative.push_back(b);
    CArchive bad(negative, CArchive::load);
    EXPECT_THROW(loaded.Serialize(bad), CArchiveException);
    loaded.CalculateColor(0.5);
}

}  // namespace
}  // namespace Tessary
