#include "tessary/color/Color.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <limits>
#include <sstream>
#include <type_traits>
#include <vector>

namespace Tessary {
namespace {

static_assert(sizeof(Color) == 4);
static_assert(std::is_trivially_copyable_v<Color>);
static_assert(!std::is_polymorphic_v<Color>);

void ExpectRGBA(const Color& c, int r, int g, int b, int a) {
    EXPECT_EQ(c.GetR(), r);
    EXPECT_EQ(c.GetG(), g);
    EXPECT_EQ(c.GetB(), b);
    EXPECT_EQ(c.GetA(), a);
}

TEST(Color, PackingKeepsAOnlyInGetRGB) {
    EXPECT_EQ(Color().GetRGB(), 0ul);
    EXPECT_EQ(Color(), Color::Black());
    EXPECT_EQ(Color(255, 0, 0), Color::Red());
    EXPECT_EQ(Color::Red().GetRGB(), 0xFFul);
    EXPECT_EQ(Color::Blue().GetRGB(), 0xFF0000ul);

    const Color c(1, 2, 3, 4);
    EXPECT_EQ(c.GetRGB(), 0x04030201ul);
    EXPECT_EQ(static_cast<unsigned long>(c), 0x030201ul);
    unsigned long packed = 0;
    c.GetRGB(packed);
    EXPECT_EQ(packed, 0x04030201ul);
    const unsigned char* bytes = c;
    EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 4), (std::vector<unsigned char>{1, 2, 3, 4}));

    // Only the low 32 bits of an unsigned long carry meaning.
    ExpectRGBA(Color(0xAB04030201ul), 1, 2, 3, 4);
    Color assigned;
    assigned = 0xFF00FF00ul;
    ExpectRGBA(assigned, 0, 255, 0, 255);
    // Integer components keep their low 8 bits.
    ExpectRGBA(Color(261, -1, 511, 256), 5, 255, 255, 0);
    EXPECT_NE(Color(1, 2, 3, 4), Color(1, 2, 3, 5));
}

TEST(Color, NamedColours) {
    struct { Color color; int r, g, b; } const table[] = {
        {Color::Black(), 0, 0, 0},       {Color::Red(), 255, 0, 0},       {Color::Green(), 0, 255, 0},
        {Color::Yellow(), 255, 255, 0},  {Color::Selected(), 255, 255, 0}, {Color::Blue(), 0, 0, 255},
        {Color::Magenta(), 255, 0, 255}, {Color::Cyan(), 0, 255, 255},    {Color::White(), 255, 255, 255},
        {Color::Grey(), 127, 127, 127},  {Color::ReadOnly(), 230, 230, 230}, {Color::Hidden(), 135, 135, 135},
    };
    for (const auto& row : table) ExpectRGBA(row.color, row.r, row.g, row.b, 0);
    EXPECT_EQ(Color::Grey().GetRGBString(), CString("127 127 127"));
    EXPECT_EQ(Color(1, 2, 3, 200).GetRGBString(), CString("1 2 3"));
}

TEST(Color, FloatConversionsTruncateAndWrap) {
    ExpectRGBA(Color(1.0f, 0.5f, 0.0f), 255, 127, 0, 0);
    ExpectRGBA(Color(0.999f, 0.2f, 0.4f, 1.0f), 254, 51, 102, 255);
    ExpectRGBA(Color(1.0, 0.5, 0.0), 255, 127, 0, 0);

    EXPECT_EQ(Color::White().GetRFloat(), 1.0f);
    EXPECT_EQ(Color(1, 0, 0).GetRFloat(), 0.003921568859368563f);
    float r, g, b, a;
    Color(0, 255, 0, 255).GetRGB(r, g, b, a);
    EXPECT_EQ(r, 0.0f);
    EXPECT_EQ(g, 1.0f);
    EXPECT_EQ(a, 1.0f);

    // byte -> unit float -> byte is the identity for every byte.
    for (int v = 0; v < 256; ++v) {
        Color c(v, v, v, v);
        Color back;
        back.SetRGB(c.GetRFloat(), c.GetGFloat(), c.GetBFloat(), c.GetAFloat());
        ASSERT_EQ(back, c) << v;
    }

    // No clamping: the low 8 bits of the truncated product.
    Color c;
    EXPECT_EQ(c.SetR(2.0f).GetR(), 254);                      // 510
    EXPECT_EQ(c.SetR(-0.5f).GetR(), 129);                     // -127
    EXPECT_EQ(c.SetR(-0.001f).GetR(), 0);                     // -0.255 truncates to 0
    EXPECT_EQ(c.SetR(std::nanf("")).GetR(), 0);
    EXPECT_EQ(c.SetR(std::numeric_limits<float>::infinity()).GetR(), 0);
    const float big = 1.0e10f * 255.0f;
    EXPECT_EQ(c.SetR(1.0e10f).GetR(), static_cast<long long>(big) & 0xFF);
    EXPECT_EQ(c.SetR(-1.0e10f).GetR(), (-static_cast<long long>(big)) & 0xFF);
}

TEST(Color, SettersKeepOrReplaceA) {
    Color c(9, 9, 9, 77);
    c.SetRGB(1, 2, 3);
    ExpectRGBA(c, 1, 2, 3, 77);
    c.SetRGB(static_cast<unsigned char>(4), static_cast<unsigned char>(5), static_cast<unsigned char>(6));
    ExpectRGBA(c, 4, 5, 6, 77);
    c.SetRGB(1.0f, 0.0f, 0.5f);
    ExpectRGBA(c, 255, 0, 127, 77);
    c.SetRGB(1, 2, 3, 260);
    ExpectRGBA(c, 1, 2, 3, 4);
    c.SetA(static_cast<unsigned char>(8)).SetR(300);
    ExpectRGBA(c, 44, 2, 3, 8);
    int ir, ig, ib, ia;
    c.GetRGB(ir, ig, ib, ia);
    EXPECT_EQ((std::vector<int>{ir, ig, ib, ia}), (std::vector<int>{44, 2, 3, 8}));
}

TEST(Color, SetFromText) {
    Color c(1, 2, 3, 200);
    c.SetRGB(CString("Magenta"));
    ExpectRGBA(c, 255, 0, 255, 0);
    c.SetA(static_cast<unsigned char>(200)).SetRGB(CString("10 20 30"));
    ExpectRGBA(c, 10, 20, 30, 200);
    c.SetRGB(CString("  -5\t300 7"));
    ExpectRGBA(c, 0, 255, 7, 200);
    c.SetRGB(CString("0 -1 0"));
    ExpectRGBA(c, 0, 0, 0, 200);
    c.SetRGB(CString("4 5 6 7"));
    ExpectRGBA(c, 4, 5, 6, 200);
    c.SetRGB(CString("rEd"));
    ExpectRGBA(c, 255, 0, 0, 0);
    c.SetRGB(CString("GREY"));
    ExpectRGBA(c, 127, 127, 127, 0);

    // None of these changes anything.
    const Color before(11, 22, 33, 44);
    for (const char* text : {"", "purple", "gray", "readonly", "selected", " red", "red ", "1 2", "1 2 x",
                             "1.5 2 3", "99999999999 0 0", "x1 2 3"}) {
        Color same = before;
        same.SetRGB(CString(text));
        EXPECT_EQ(same, before) << '"' << text << '"';
    }
    // The whole text must match, embedded NUL included.
    Color same = before;
    same.SetRGB(CString("red\0blue", 8));
    EXPECT_EQ(same, before);
}

TEST(Color, ScalingTruncatesAndTreatsAByOperator) {
    const Color c(200, 100, 50, 9);
    ExpectRGBA(c * 0.5, 100, 50, 25, 0);
    ExpectRGBA(c * 0.5f, 100, 50, 25, 0);
    ExpectRGBA(c / 2.0, 100, 50, 25, 0);
    ExpectRGBA(c / 2.0f, 100, 50, 25, 0);
    ExpectRGBA(c / 0.0, 200, 100, 50, 9);
    ExpectRGBA(c, 200, 100, 50, 9);

    Color m = c;
    m *= 0.5;
    ExpectRGBA(m, 100, 50, 25, 9);
    m /= 0.0f;
    ExpectRGBA(m, 100, 50, 25, 9);
    m /= 0.5;
    ExpectRGBA(m, 200, 100, 50, 9);
    EXPECT_EQ((Color::White() * 0.999).GetR(), 254);
    EXPECT_EQ((Color(200, 0, 0) * 2.0).GetR(), 144);  // 400 wraps
}

TEST(Color, TextStreamForms) {
    std::ostringstream plain;
    plain << Color(255, 0, 0, 0);
    EXPECT_EQ(plain.str(), "255 0 0 0");

    std::ostringstream wide;
    wide << std::setw(4) << Color(1, 22, 3, 4) << '|';
    EXPECT_EQ(wide.str(), "   1  22   3   4|");

    Color c(5, 6, 7, 8);
    std::istringstream four("1 2\n 3 300");
    EXPECT_TRUE(four >> c);
    ExpectRGBA(c, 1, 2, 3, 44);

    std::istringstream three("9 9 9");
    EXPECT_FALSE(three >> c);
    ExpectRGBA(c, 1, 2, 3, 44);
    std::istringstream junk("9 9 x 9");
    EXPECT_FALSE(junk >> c);
    ExpectRGBA(c, 1, 2, 3, 44);

    std::stringstream round;
    round << Color(10, 20, 30, 40);
    Color back;
    round >> back;
    EXPECT_EQ(back, Color(10, 20, 30, 40));
}

TEST(Color, ArchiveIsOnePackedWord) {
    std::vector<unsigned char> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        Color(1, 2, 3, 4).Serialize(ar);
        ar << Color::Blue();
    }
    const std::vector<unsigned char> golden{1, 2, 3, 4, 0, 0, 255, 0};
    ASSERT_EQ(bytes, golden);

    CArchive in(bytes, CArchive::load);
    Color a, b;
    a.Serialize(in);
    in >> b;
    EXPECT_EQ(a, Color(1, 2, 3, 4));
    EXPECT_EQ(b, Color::Blue());
    EXPECT_THROW(a.Serialize(in), CArchiveException);
    EXPECT_EQ(a, Color(1, 2, 3, 4));

    std::vector<unsigned char> again;
    {
        CArchive ar(again, CArchive::store);
        a.Serialize(ar);
        b.Serialize(ar);
    }
    EXPECT_EQ(again, golden);
}

}  // namespace
}  // namespace Tessary
