#include "tessary/color/Color.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <limits>
#include <sstream>
#include <type_traits>
#include <vector>

#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

static_assert(sizeof(Color) == 4 && std::is_trivially_copyable_v<Color> && !std::is_polymorphic_v<Color>);

std::vector<int> RGBA(const Color& c) { return {c.GetR(), c.GetG(), c.GetB(), c.GetA()}; }
using V = std::vector<int>;

TEST(Color, PackingKeepsAOnlyInGetRGB) {
    EXPECT_EQ(Color().GetRGB(), 0ul);
    EXPECT_EQ(Color(), Color::Black());
    EXPECT_EQ(Color(255, 0, 0), Color::Red());
    EXPECT_EQ(Color::Red().GetRGB(), 0xFFul);
    EXPECT_EQ(Color::Blue().GetRGB(), 0xFF0000ul);

    const Color c(1, 2, 3, 4);
    EXPECT_EQ(c.GetRGB(), 0x04030201ul);
    EXPECT_EQ(static_cast<unsigned long>(c), 0x030201ul);
    const unsigned char* bytes = c;
    EXPECT_EQ(V(bytes, bytes + 4), (V{1, 2, 3, 4}));

    // Only the low 32 bits of an unsigned long count; ints keep their low 8 bits.
    EXPECT_EQ(RGBA(Color(0xAB04030201ul)), (V{1, 2, 3, 4}));
    Color assigned;
    assigned = 0xFF00FF00ul;
    EXPECT_EQ(RGBA(assigned), (V{0, 255, 0, 255}));
    EXPECT_EQ(RGBA(Color(261, -1, 511, 256)), (V{5, 255, 255, 0}));
    EXPECT_NE(Color(1, 2, 3, 4), Color(1, 2, 3, 5));
}

TEST(Color, NamedColours) {
    const std::pair<Color, V> table[] = {
        {Color::Black(), {0, 0, 0, 0}},       {Color::Red(), {255, 0, 0, 0}},        {Color::Green(), {0, 255, 0, 0}},
        {Color::Yellow(), {255, 255, 0, 0}},  {Color::Selected(), {255, 255, 0, 0}}, {Color::Blue(), {0, 0, 255, 0}},
        {Color::Magenta(), {255, 0, 255, 0}}, {Color::Cyan(), {0, 255, 255, 0}},    {Color::White(), {255, 255, 255, 0}},
        {Color::Grey(), {127, 127, 127, 0}},  {Color::ReadOnly(), {230, 230, 230, 0}}, {Color::Hidden(), {135, 135, 135, 0}},
    };
    for (const auto& [color, expected] : table) EXPECT_EQ(RGBA(color), expected);
    EXPECT_EQ(Color::Grey().GetRGBString(), CString("127 127 127"));
    EXPECT_EQ(Color(1, 2, 3, 200).GetRGBString(), CString("1 2 3"));
}

TEST(Color, FloatConversionsTruncateAndWrap) {
    EXPECT_EQ(RGBA(Color(1.0f, 0.5f, 0.0f)), (V{255, 127, 0, 0}));
    EXPECT_EQ(RGBA(Color(0.999f, 0.2f, 0.4f, 1.0f)), (V{254, 51, 102, 255}));
    EXPECT_EQ(Color::White().GetRFloat(), 1.0f);
    EXPECT_EQ(Color(1, 0, 0).GetRFloat(), 0.003921568859368563f);

    // byte -> unit float -> byte is the identity for every byte.
    for (int v = 0; v < 256; ++v) {
        const Color c(v, v, v, v);
        float r, g, b, a;
        c.GetRGB(r, g, b, a);
        ASSERT_EQ(Color(r, g, b, a), c) << v;
    }

    // No clamping: the low 8 bits of the truncated product; NaN and infinity give 0.
    Color c;
    EXPECT_EQ(c.SetR(2.0f).GetR(), 254);     // 510
    EXPECT_EQ(c.SetR(-0.5f).GetR(), 129);    // -127
    EXPECT_EQ(c.SetR(-0.001f).GetR(), 0);    // -0.255 truncates to 0
    EXPECT_EQ(c.SetR(std::nanf("")).GetR(), 0);
    EXPECT_EQ(c.SetR(std::numeric_limits<float>::infinity()).GetR(), 0);
    const long long big = static_cast<long long>(1.0e10f * 255.0f);
    EXPECT_EQ(c.SetR(1.0e10f).GetR(), big & 0xFF);
    EXPECT_EQ(c.SetR(-1.0e10f).GetR(), (-big) & 0xFF);
}

TEST(Color, ThreeComponentSettersKeepA) {
    Color c(9, 9, 9, 77);
    EXPECT_EQ(RGBA(c.SetRGB(1, 2, 3)), (V{1, 2, 3, 77}));
    EXPECT_EQ(RGBA(c.SetRGB(1.0f, 0.0f, 0.5f)), (V{255, 0, 127, 77}));
    EXPECT_EQ(RGBA(c.SetRGB(1, 2, 3, 260)), (V{1, 2, 3, 4}));
    EXPECT_EQ(RGBA(c.SetA(static_cast<unsigned char>(8)).SetR(300)), (V{44, 2, 3, 8}));
}

TEST(Color, SetFromText) {
    Color c(1, 2, 3, 200);
    EXPECT_EQ(RGBA(c.SetRGB(CString("Magenta"))), (V{255, 0, 255, 0}));
    c.SetA(static_cast<unsigned char>(200));
    EXPECT_EQ(RGBA(c.SetRGB(CString("10 20 30"))), (V{10, 20, 30, 200}));
    EXPECT_EQ(RGBA(c.SetRGB(CString("  -5\t300 7"))), (V{0, 255, 7, 200}));
    EXPECT_EQ(RGBA(c.SetRGB(CString("0 -1 0"))), (V{0, 0, 0, 200}));
    EXPECT_EQ(RGBA(c.SetRGB(CString("4 5 6 7"))), (V{4, 5, 6, 200}));
    EXPECT_EQ(RGBA(c.SetRGB(CString("rEd"))), (V{255, 0, 0, 0}));
    EXPECT_EQ(RGBA(c.SetRGB(CString("GREY"))), (V{127, 127, 127, 0}));

    // None of these changes anything: no such name, blanks around a name,
    // too few numbers, a number that does not fit 32 bits, embedded NUL.
    const Color before(11, 22, 33, 44);
    for (const CString& text : {CString(""), CString("purple"), CString("gray"), CString("readonly"),
                                CString("selected"), CString(" red"), CString("red "), CString("1 2"),
                                CString("1 2 x"), CString("1.5 2 3"), CString("99999999999 0 0"),
                                CString("red\0blue", 8)}) {
        Color same = before;
        EXPECT_EQ(same.SetRGB(text), before) << '"' << text.GetString() << '"';
    }
}

TEST(Color, ScalingTruncatesAndTreatsAByOperator) {
    const Color c(200, 100, 50, 9);
    for (const Color& scaled : {c * 0.5, c * 0.5f, c / 2.0, c / 2.0f}) EXPECT_EQ(RGBA(scaled), (V{100, 50, 25, 0}));
    EXPECT_EQ(RGBA(c / 0.0), (V{200, 100, 50, 9}));

    Color m = c;
    EXPECT_EQ(RGBA(m *= 0.5), (V{100, 50, 25, 9}));
    EXPECT_EQ(RGBA(m /= 0.0f), (V{100, 50, 25, 9}));
    EXPECT_EQ(RGBA(m /= 0.5), (V{200, 100, 50, 9}));
    EXPECT_EQ((Color::White() * 0.999).GetR(), 254);
    EXPECT_EQ((Color(200, 0, 0) * 2.0).GetR(), 144);  // 400 wraps
}

TEST(Color, TextStreamForms) {
    std::ostringstream plain, wide;
    plain << Color(255, 0, 0, 0);
    wide << std::setw(4) << Color(1, 22, 3, 4) << '|';
    EXPECT_EQ(plain.str(), "255 0 0 0");
    EXPECT_EQ(wide.str(), "   1  22   3   4|");

    Color c(5, 6, 7, 8);
    std::istringstream four("1 2\n 3 300"), three("9 9 9"), junk("9 9 x 9");
    EXPECT_TRUE(four >> c);
    EXPECT_EQ(RGBA(c), (V{1, 2, 3, 44}));
    EXPECT_FALSE(three >> c);
    EXPECT_FALSE(junk >> c);
    EXPECT_EQ(RGBA(c), (V{1, 2, 3, 44}));
}

TEST(Color, ArchiveIsOnePackedWord) {
    EXPECT_EQ(test::ExpectGoldenBytes(Color(1, 2, 3, 4), {1, 2, 3, 4}), Color(1, 2, 3, 4));
    EXPECT_EQ(test::ExpectGoldenBytes(Color::Blue(), {0, 0, 255, 0}), Color::Blue());

    // The operators are the same form; a short input throws and keeps the colour.
    std::vector<unsigned char> bytes{9, 8, 7, 6, 5};
    CArchive in(bytes, CArchive::load);
    Color a;
    in >> a;
    EXPECT_EQ(a, Color(9, 8, 7, 6));
    EXPECT_THROW(a.Serialize(in), CArchiveException);
    EXPECT_EQ(a, Color(9, 8, 7, 6));
}

TEST(Color, WithoutAlphaClearsTheStoredAOnly) {
    Color c(1, 2, 3, 200);
    test::Bytes bytes;
    {
        CArchive ar(bytes, CArchive::store);
        ArchiveFields(ar, WithoutAlpha(c));
    }
    EXPECT_EQ(bytes, (test::Bytes{1, 2, 3, 0}));
    EXPECT_EQ(c.GetA(), 200);  // storing leaves the object alone
    // Loading takes the whole word, A byte included, as it lies in the file.
    test::Bytes file{4, 5, 6, 7};
    CArchive in(file, CArchive::load);
    ArchiveFields(in, WithoutAlpha(c));
    EXPECT_EQ(c, Color(4, 5, 6, 7));
}

}  // namespace
}  // namespace Tessary
