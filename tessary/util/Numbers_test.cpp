// Roman numerals, fractions and counters.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "tessary/frame/CArchive.h"
#include "tessary/util/Counter.h"
#include "tessary/util/Rational.h"
#include "tessary/util/RomanNumerals.h"
#include "tessary/util/detail/RomanNumeralCache.h"
#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

using RomanNumerals::IntegerToRomanNumeral;
using RomanNumerals::RomanNumeralToInteger;

int Roman(const char* text, bool expectOk = true) {
    int value = 12345;
    EXPECT_EQ(RomanNumeralToInteger(std::string(text), value), expectOk) << text;
    return value;
}

std::string Roman(int value) {
    std::string text = "junk";
    IntegerToRomanNumeral(value, text);
    return text;
}

TEST(RomanNumerals, BothDirections) {
    EXPECT_EQ(Roman(1994), "MCMXCIV");
    EXPECT_EQ(Roman("MCMXCIV"), 1994);
    EXPECT_EQ(Roman(4000), "MMMM");
    EXPECT_EQ(Roman(0), "0");
    EXPECT_EQ(Roman(-12), "-XII");
    EXPECT_EQ(Roman(3888), "MMMDCCCLXXXVIII");
    for (int v = -3000; v <= 5000; v += 7) EXPECT_EQ(Roman(Roman(v).c_str()), v) << v;
}

TEST(RomanNumerals, LenientReading) {
    EXPECT_EQ(Roman("-XII"), -12);
    EXPECT_EQ(Roman("-"), 0);
    EXPECT_EQ(Roman(""), 0);
    EXPECT_EQ(Roman("0"), 0);
    EXPECT_EQ(Roman("IIII"), 4);
    EXPECT_EQ(Roman("VV"), 10);
    EXPECT_EQ(Roman("IVIV"), 8);
    EXPECT_EQ(Roman("xii", false), 0);
    EXPECT_EQ(Roman("IIV", false), 0);
    EXPECT_EQ(Roman("IM", false), 0);
    EXPECT_EQ(Roman("--I", false), 0);
    EXPECT_EQ(Roman("X ", false), 0);
    EXPECT_EQ(Roman("00", false), 0);
}

TEST(RomanNumerals, IntRangeEnds) {
    EXPECT_EQ(Roman(Roman(INT_MAX).c_str()), INT_MAX);
    const std::string minText = Roman(INT_MIN);
    EXPECT_EQ(minText.substr(0, 3), "-MM");
    EXPECT_EQ(Roman(minText.c_str()), INT_MIN);
    // One more than INT_MAX does not fit; neither does INT_MIN's magnitude positive.
    EXPECT_EQ(Roman((Roman(INT_MAX) + "I").c_str(), false), 0);
    EXPECT_EQ(Roman(minText.substr(1).c_str(), false), 0);
    EXPECT_EQ(Roman((minText + "I").c_str(), false), 0);
}

TEST(RomanNumerals, CStringFormsAndCache) {
    CString a, b;
    IntegerToRomanNumeral(2024, a);
    IntegerToRomanNumeral(2024, b);
    EXPECT_EQ(a, "MMXXIV");
    EXPECT_EQ(a, b);
    int value = 0;
    EXPECT_TRUE(RomanNumeralToInteger(CString("XLII"), value));
    EXPECT_EQ(value, 42);
}

// Large values are mostly "M"s (2 MB near INT_MAX): the cache must not keep
// them, yet every text must be the same as the uncached conversion's.
TEST(RomanNumerals, CacheHoldsOnlyShortTexts) {
    detail::RomanNumeralCache& cache = detail::g_romanNumeralCache;
    const int limit = detail::kRomanNumeralCachedMagnitude;
    struct Case {
        int value;
        bool cached;
    };
    const Case cases[] = {
        {limit, true},       {-limit, true},          {limit + 1, false},   {-limit - 1, false},
        {INT_MAX, false},    {INT_MAX - 1, false},    {INT_MIN, false},     {INT_MIN + 1, false},
        {1000000, false},    {0, true},               {1, true},            {-1, true},
    };
    for (const Case& c : cases) {
        CString first, second;
        IntegerToRomanNumeral(c.value, first);
        IntegerToRomanNumeral(c.value, second);
        EXPECT_EQ(first.str(), Roman(c.value)) << c.value;
        EXPECT_EQ(second.str(), Roman(c.value)) << c.value;
        EXPECT_EQ(cache.PLookup(c.value) != nullptr, c.cached) << c.value;
    }
    EXPECT_EQ(Roman(limit), "MMMCMXCIX");

    CString text;
    for (int v = -2 * limit; v <= 2 * limit; ++v) IntegerToRomanNumeral(v, text);
    for (int i = 0; i < 20; ++i) IntegerToRomanNumeral(INT_MAX - i, text);
    EXPECT_EQ(cache.GetCount(), 2 * limit + 1);
}

TEST(Rational, SetFractionRules) {
    const struct {
        int n, d, rn, rd;
    } cases[] = {
        {6, -4, -3, 2}, {4, 4, 1, 1},     {0, 7, 0, 7},     {5, 0, 5, 0},       {-6, -4, 3, 2},  {3, -1, -3, 1},
        {7, 1, 7, 1},   {-8, 12, -2, 3},  {65539, 6, 1, 2},  // 65539 wraps to 3
        {0, 0, 0, 0},   {65536, 65536, 0, 0},                  // both wrap to zero: left alone
        {32767, 32767, 1, 1},
    };
    for (const auto& c : cases) {
        const Rational r(c.n, c.d);
        EXPECT_EQ(r.GetNumerator(), c.rn) << c.n << "/" << c.d;
        EXPECT_EQ(r.GetDenominator(), c.rd) << c.n << "/" << c.d;
    }
    Rational r(1, 2);
    r.SetNumerator(2);
    EXPECT_EQ(r.String(), "1/1");
    r.SetDenominator(-3);
    EXPECT_EQ(r.String(), "-1/3");
    short sn, sd;
    r.GetFraction(sn, sd);
    EXPECT_EQ(sn, -1);
    EXPECT_EQ(sd, 3);
    long ln, ld;
    r.GetFraction(ln, ld);
    EXPECT_EQ(ln, -1);
}

TEST(Rational, ValueAndTests) {
    EXPECT_DOUBLE_EQ(Rational(3, 4).CalcValue(), 0.75);
    EXPECT_EQ(Rational(5, 0).CalcValue(), DBL_MAX);
    EXPECT_EQ(Rational(-5, 0).CalcValue(), -DBL_MAX);
    EXPECT_EQ(static_cast<double>(Rational(0, 0)), DBL_MAX);
    EXPECT_TRUE(!Rational(0, 7));
    EXPECT_FALSE(!Rational(0, 0));
    EXPECT_FALSE(!Rational(1, 7));
}

TEST(Rational, ArithmeticAndComparisons) {
    Rational a(1, 2);
    a += Rational(1, 3);
    EXPECT_EQ(a.String(), "5/6");
    EXPECT_EQ((Rational(1, 2) - Rational(3, 4)).String(), "-1/4");
    EXPECT_EQ((Rational(2, 3) * Rational(3, 4)).String(), "1/2");
    EXPECT_EQ((Rational(2, 3) / Rational(4, 3)).String(), "1/2");
    EXPECT_EQ((Rational(1, 2) / Rational(0, 1)).String(), "1/0");
    // Products beyond 32 bits wrap instead of overflowing.
    // 32767^2 / (32766 * 32765) wraps to 16 bits before it is reduced.
    EXPECT_EQ((Rational(32767, 32766) * Rational(32767, 32765)).String(), "-1/32762");
    // The numerator's low 16 bits are zero: 0 over a reduced denominator.
    EXPECT_EQ((Rational(-32768, 32767) + Rational(-32768, 32765)).String(), "0/1");

    EXPECT_TRUE(Rational(1, 2) == Rational(2, 4));
    EXPECT_TRUE(Rational(0, 7) == Rational(0, 1));
    EXPECT_TRUE(Rational(1, 3) < Rational(1, 2));
    EXPECT_TRUE(Rational(1, 3) <= Rational(1, 3));
    EXPECT_TRUE(Rational(1, 2) > Rational(1, 3));
    EXPECT_TRUE(Rational(1, 2) >= Rational(2, 4));
    EXPECT_TRUE(Rational(-1, 2) < Rational(1, 3));
    EXPECT_TRUE(Rational(1, 2) != Rational(1, 3));
}

TEST(Rational, UnaryOperatorsDependOnConstness) {
    Rational r(3, 4);
    -r;  // negates in place
    EXPECT_EQ(r.String(), "-3/4");
    EXPECT_EQ(&+r, &r);

    const Rational c(3, 4);
    const Rational negated = -c;
    EXPECT_EQ(negated.String(), "-3/4");
    EXPECT_EQ(c.String(), "3/4");
    EXPECT_EQ((+c).String(), "3/4");
}

TEST(Rational, TextForms) {
    std::ostringstream out;
    out << Rational(3, 4);
    EXPECT_EQ(out.str(), "3/4");
    std::ostringstream wide;
    wide << std::setw(3) << Rational(3, 4);
    EXPECT_EQ(wide.str(), "  3  /  4");

    Rational r(1, 5);
    std::istringstream in("3/4 -6 / 8");
    in >> r;
    EXPECT_EQ(r.String(), "3/4");
    in >> r;
    EXPECT_EQ(r.String(), "-3/4");

    std::istringstream bad("3 x");
    bad >> r;
    EXPECT_TRUE(bad.fail());
    EXPECT_EQ(r.String(), "-3/4");
    bad.clear();
    EXPECT_EQ(bad.get(), 'x');  // put back

    for (const char* text : {"", "3", "3/", "3/x", "99999/2", "x/2"}) {
        std::istringstream partial(text);
        partial >> r;
        EXPECT_TRUE(partial.fail()) << text;
        EXPECT_EQ(r.String(), "-3/4") << text;
    }
}

TEST(Rational, ArchiveForm) {
    test::ExpectGoldenBytes(Rational(3, 4), {3, 0, 4, 0});
    test::ExpectGoldenBytes(Rational(-1, 2), {0xFF, 0xFF, 2, 0});
    // -32768 has no positive partner: the stored value keeps its sign
    // however often it goes through an archive.
    test::ExpectGoldenBytes(Rational(5, -32768), {5, 0, 0, 0x80});
    test::ExpectGoldenBytes(Rational(-5, -32768), {0xFB, 0xFF, 0, 0x80});

    // An unreduced pair comes back reduced; a short input throws and leaves the value.
    Rational r;
    test::LoadBytes(r, {6, 0, 0xFC, 0xFF});
    EXPECT_EQ(r.String(), "-3/2");
    EXPECT_THROW(test::LoadBytes(r, {1, 0, 2}), CArchiveException);
    EXPECT_EQ(r.String(), "-3/2");
}

TEST(Rational, TheMostNegativeFieldKeepsValueAndSign) {
    const double tiny = 1.0 / 32768.0;
    struct Case {
        int n, d;
        const char* text;
        double value;
    } cases[] = {
        {5, -32768, "5/-32768", -5 * tiny},
        {-5, -32768, "-5/-32768", 5 * tiny},
        {1, 32768, "1/-32768", -tiny},  // 32768 wraps to -32768 first
        {-32768, -3, "-32768/-3", 32768.0 / 3},
        {-32768, 3, "-32768/3", -32768.0 / 3},
        {-32768, -1, "-32768/-1", 32768.0},
        {32768, -1, "-32768/1", -32768.0},
        {6, -32768, "-3/16384", -6 * tiny},  // halves when it can
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Rational r(c.n, c.d);
        EXPECT_EQ(r.String(), c.text);
        EXPECT_DOUBLE_EQ(r.CalcValue(), c.value);
        // Fixed point: rebuilding, text and negating twice keep the value.
        EXPECT_EQ((+r).String(), c.text);
        Rational read;
        std::istringstream in(c.text);
        in >> read;
        EXPECT_EQ(read.String(), c.text);
        EXPECT_DOUBLE_EQ((-r).CalcValue(), -c.value);
        EXPECT_DOUBLE_EQ((-(-r)).CalcValue(), c.value);
        // Comparisons see the value, not the signs of the fields.
        EXPECT_EQ(r < Rational(0), c.value < 0);
        EXPECT_EQ(r > Rational(0), c.value > 0);
        EXPECT_TRUE(r == read);
    }
    // Zero over a negative denominator is kept as given and compares as zero.
    EXPECT_TRUE(Rational(0, -5) < Rational(1, 2));
    EXPECT_TRUE(Rational(0, -5) == Rational(0));
}

TEST(Counter, StepsAndWrapping) {
    Counter c(5u);
    ++c;
    ++c;
    ++c;
    EXPECT_EQ(static_cast<unsigned>(c), 15u);

    Counter p(7u, 2u);
    const Counter old = p++;
    EXPECT_EQ(static_cast<unsigned>(old), 7u);
    EXPECT_EQ(old.GetStep(), 2u);
    EXPECT_EQ(static_cast<unsigned>(p), 9u);

    Counter w(4294967294u, 3u);
    ++w;
    EXPECT_EQ(static_cast<unsigned>(w), 1u);
    Counter one(4294967295u, 1u);
    EXPECT_EQ(static_cast<unsigned>(++one), 0u);

    Counter still(10u, 0u);
    ++still;
    EXPECT_EQ(static_cast<unsigned>(still), 10u);

    Counter d;
    EXPECT_EQ(d.GetStep(), 1u);
    d = p;  // value only
    EXPECT_EQ(static_cast<unsigned>(d), 9u);
    EXPECT_EQ(d.GetStep(), 1u);
    d = 100u;
    d.Reset(50);
    EXPECT_EQ(static_cast<unsigned>(d), 50u);
    d.Zero();
    EXPECT_EQ(static_cast<unsigned>(d), 0u);
    EXPECT_EQ(d.GetStep(), 1u);
}

}  // namespace
}  // namespace Tessary
