#include "tessary/util/StringUtils.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>

#include "tessary/geometry/Point3d.h"

namespace Tessary {
namespace {

TEST(StringUtilsParse, WhitespaceTokensConsumeOneCharacterMore) {
    CString text("  abc def");
    EXPECT_EQ(StringUtils::Parse(text), "abc");
    EXPECT_EQ(text, "def");
    EXPECT_EQ(StringUtils::Parse(text), "def");
    EXPECT_EQ(text, "");
    EXPECT_EQ(StringUtils::Parse(text), "");
    EXPECT_EQ(text, "");
    // Exactly one separator goes with the token.
    text = "a  b";
    StringUtils::Parse(text);
    EXPECT_EQ(text, " b");
    text = "   ";
    EXPECT_EQ(StringUtils::Parse(text), "");
    EXPECT_EQ(text, "");
}

TEST(StringUtilsParse, DelimitedTokens) {
    CString text(" a, b");
    EXPECT_EQ(StringUtils::Parse(text, ','), "a");
    EXPECT_EQ(text, " b");
    text = ",a";
    EXPECT_EQ(StringUtils::Parse(text, ','), "");
    EXPECT_EQ(text, "a");
    text = " a b ;c";
    EXPECT_EQ(StringUtils::Parse(text, ",;"), "a b ");
    EXPECT_EQ(text, "c");
    text = " whole";
    EXPECT_EQ(StringUtils::Parse(text, ","), "whole");
    EXPECT_EQ(text, "");
    text = "a,b";
    EXPECT_EQ(StringUtils::Parse(text, static_cast<const char*>(nullptr)), "a,b");
    EXPECT_EQ(text, "");
}

TEST(StringUtilsParse, QuotedStrings) {
    CString text("'it' rest");
    EXPECT_EQ(StringUtils::ParseQuotedString(text), "it");
    EXPECT_EQ(text, " rest");
    text = "'open";
    EXPECT_EQ(StringUtils::ParseQuotedString(text), "open");
    EXPECT_EQ(text, "");
    text = "plain";
    EXPECT_EQ(StringUtils::ParseQuotedString(text), "");
    EXPECT_EQ(text, "plain");
    text = "  `a\"b` c";
    EXPECT_EQ(StringUtils::ParseQuotedString(text), "a\"b");
    EXPECT_EQ(text, " c");
    text = "   ";
    EXPECT_EQ(StringUtils::ParseQuotedString(text), "");
    EXPECT_EQ(text, "");

    EXPECT_EQ(StringUtils::PeekQuotedString(" 'x'"), "");
    text = " 'x'";
    EXPECT_EQ(StringUtils::ParseQuotedString(text), "x");
    EXPECT_EQ(StringUtils::PeekQuotedString("\"a b\" c"), "a b");
    EXPECT_EQ(StringUtils::PeekQuotedString("'abc"), "abc");
}

TEST(StringUtilsParse, RealNumbersAndPoints) {
    CString text("1.5, x, ,2e3");
    EXPECT_DOUBLE_EQ(StringUtils::ParseRealNumber(text, ','), 1.5);
    EXPECT_DOUBLE_EQ(StringUtils::ParseRealNumber(text, ','), 0.0);  // atof is lenient
    EXPECT_DOUBLE_EQ(StringUtils::ParseRealNumber(text, ","), 0.0);  // empty token
    EXPECT_DOUBLE_EQ(StringUtils::ParseRealNumber(text, ","), 2000.0);

    text = "1 2 x 4";
    const Point3d bad = StringUtils::ParsePoint(text, ' ');
    EXPECT_EQ(bad.GetX(), 0.0);
    EXPECT_EQ(bad.GetY(), 0.0);
    EXPECT_EQ(bad.GetZ(), 0.0);
    EXPECT_EQ(text, "4");

    text = "1,2.5,-3;rest";
    const Point3d p = StringUtils::ParsePoint(text, ",;");
    EXPECT_EQ(p.GetX(), 1.0);
    EXPECT_EQ(p.GetY(), 2.5);
    EXPECT_EQ(p.GetZ(), -3.0);
    EXPECT_EQ(text, "rest");

    const CString line("4 5 6");
    const Point3d peeked = StringUtils::PeekPoint(line, ' ');
    EXPECT_EQ(peeked.GetZ(), 6.0);
    EXPECT_EQ(line, "4 5 6");
    EXPECT_EQ(StringUtils::PeekPoint("1,2", ",").GetX(), 0.0);  // only two tokens
    EXPECT_DOUBLE_EQ(StringUtils::PeekRealNumber(";;7;8", ';'), 7.0);
}

TEST(StringUtilsPeek, LeavesTheTextAlone) {
    EXPECT_EQ(StringUtils::Peek("  abc def"), "abc");
    EXPECT_EQ(StringUtils::Peek(",a", ','), "a");
    EXPECT_EQ(StringUtils::Peek(",,a,b", ","), "a");
    // Whitespace is skipped only when it is a delimiter.
    EXPECT_EQ(StringUtils::Peek(" a,b", ","), " a");
    EXPECT_EQ(StringUtils::Peek(" a,b", ""), " a,b");
    EXPECT_EQ(StringUtils::Peek(" a,b", static_cast<const char*>(nullptr)), " a,b");
    EXPECT_EQ(StringUtils::Peek("", ","), "");
}

TEST(StringUtilsChecks, ChecksAndEdits) {
    EXPECT_TRUE(StringUtils::CheckNextCharacter('x', "  x1"));
    EXPECT_FALSE(StringUtils::CheckNextCharacter('x', "  y"));
    EXPECT_FALSE(StringUtils::CheckNextCharacter(' ', "   "));
    EXPECT_FALSE(StringUtils::CheckNextCharacter('\0', ""));

    EXPECT_TRUE(StringUtils::CheckQuotedString("'a'", '\''));
    EXPECT_TRUE(StringUtils::CheckQuotedString("''", '\''));
    EXPECT_FALSE(StringUtils::CheckQuotedString("'", '\''));
    EXPECT_FALSE(StringUtils::CheckQuotedString("'a\"", '\''));
    EXPECT_EQ(StringUtils::QuoteString("a'b", '\''), "'a'b'");

    CString text(" \t a  b\n\nc  ");
    StringUtils::CleanString(text);
    EXPECT_EQ(text, "a b c");

    text = "a b \"c d\" 'e f'";
    StringUtils::RemoveSpaces(text);
    EXPECT_EQ(text, "ab\"c d\"'e f'");
    // The two quote flags are independent: an apostrophe inside double quotes
    // still toggles its own flag.
    text = "\"it's\" a b";
    StringUtils::RemoveSpaces(text);
    EXPECT_EQ(text, "\"it's\" a b");

    CStringArray array;
    for (const char* s : {"b", "a", "B", "b", "a", "c"}) array.Add(s);
    StringUtils::RemoveDuplicateStrings(array);
    ASSERT_EQ(array.GetSize(), 4);
    EXPECT_EQ(array[0], "b");
    EXPECT_EQ(array[1], "a");
    EXPECT_EQ(array[2], "B");
    EXPECT_EQ(array[3], "c");
}

TEST(StringUtilsStreams, WhitespaceTokens) {
    std::istringstream in("  one\ttwo\n three");
    EXPECT_EQ(StringUtils::ExtractString(in), "one");
    EXPECT_EQ(in.peek(), 't');  // the separator was consumed
    EXPECT_EQ(StringUtils::ExtractString(in), "two");
    // The last token comes back although no separator follows it.
    EXPECT_EQ(StringUtils::ExtractString(in), "three");
    EXPECT_TRUE(in.eof());
    EXPECT_FALSE(in.fail());
    EXPECT_EQ(StringUtils::ExtractString(in), "");
    EXPECT_TRUE(in.fail());

    // Tokens have no length limit.
    const std::string big(20000, 'x');
    std::istringstream large(big + " y");
    EXPECT_EQ(StringUtils::ExtractString(large).str(), big);
    EXPECT_EQ(StringUtils::ExtractString(large), "y");
}

TEST(StringUtilsStreams, DelimitedTokensLeaveTheDelimiter) {
    std::istringstream in("  ab,cd;ef");
    EXPECT_EQ(StringUtils::ExtractString(in, ",;"), "ab");
    EXPECT_EQ(in.get(), ',');
    EXPECT_EQ(StringUtils::ExtractString(in, ",;"), "cd");
    EXPECT_EQ(in.get(), ';');
    EXPECT_EQ(StringUtils::ExtractString(in, ",;"), "ef");
    EXPECT_FALSE(in.fail());

    std::istringstream blank("a b");
    EXPECT_EQ(StringUtils::ExtractString(blank, ""), "a");
    EXPECT_EQ(blank.get(), ' ');
}

TEST(StringUtilsStreams, LinesUpTo8191Characters) {
    std::istringstream in("  first line\n\n  second\nlast");
    EXPECT_EQ(StringUtils::ExtractLine(in), "first line");
    EXPECT_EQ(StringUtils::ExtractLine(in), "second");  // blank lines are leading whitespace
    EXPECT_EQ(StringUtils::ExtractLine(in), "last");
    EXPECT_FALSE(in.fail());
    EXPECT_EQ(StringUtils::ExtractLine(in), "");
    EXPECT_TRUE(in.fail());

    std::istringstream fits(std::string(8191, 'a') + "\nb");
    EXPECT_EQ(StringUtils::ExtractLine(fits).GetLength(), 8191);
    EXPECT_EQ(StringUtils::ExtractLine(fits), "b");

    std::istringstream tooLong(std::string(8192, 'a') + "\nb");
    EXPECT_EQ(StringUtils::ExtractLine(tooLong), "");
    EXPECT_TRUE(tooLong.fail());

    std::istringstream colon("a:b");
    EXPECT_EQ(StringUtils::ExtractString(colon, ':'), "a");
    EXPECT_EQ(StringUtils::ExtractString(colon, ':'), "b");
}

TEST(StringUtilsConvert, Booleans) {
    for (const char* word : {"on", "t", "true", "y", "yes", "YES", "True", "oN"}) {
        bool b = false;
        EXPECT_TRUE(StringUtils::StringToBoolean(word, b)) << word;
        EXPECT_TRUE(b) << word;
    }
    for (const char* word : {"f", "false", "n", "no", "off", "OFF"}) {
        bool b = true;
        EXPECT_TRUE(StringUtils::StringToBoolean(word, b)) << word;
        EXPECT_FALSE(b) << word;
    }
    for (const char* word : {"1", "0", "", " yes", "yes ", "ye", "onn"}) {
        bool b = true;
        EXPECT_FALSE(StringUtils::StringToBoolean(word, b)) << word;
        EXPECT_TRUE(b);
    }
    bool b = true;
    EXPECT_FALSE(StringUtils::StringToBoolean(nullptr, b));
}

TEST(StringUtilsConvert, IntegersAreStrict32Bit) {
    long l = 99;
    EXPECT_TRUE(StringUtils::StringToInteger(" 12", l));
    EXPECT_EQ(l, 12);
    for (const char* bad : {"12a", "", "a", "12 ", "+", "2147483648", "-2147483649", "99999999999999999999"}) {
        long v = 99;
        EXPECT_FALSE(StringUtils::StringToInteger(bad, v)) << bad;
        EXPECT_EQ(v, 99);
    }
    EXPECT_FALSE(StringUtils::StringToInteger(nullptr, l));
    EXPECT_TRUE(StringUtils::StringToInteger("-2147483648", l));
    EXPECT_EQ(l, -2147483648L);

    int i = 5;
    EXPECT_TRUE(StringUtils::StringToInteger("2147483647", i));
    EXPECT_EQ(i, INT_MAX);
    EXPECT_FALSE(StringUtils::StringToInteger("2147483648", i));
    EXPECT_EQ(i, INT_MAX);

    short s = 0;
    EXPECT_TRUE(StringUtils::StringToInteger("70000", s));  // low 16 bits, no range check
    EXPECT_EQ(s, static_cast<short>(70000 - 65536));
    EXPECT_TRUE(StringUtils::StringToInteger("-1", s));
    EXPECT_EQ(s, -1);
}

TEST(StringUtilsConvert, RealsAndPoints) {
    double d = 7;
    EXPECT_TRUE(StringUtils::StringToReal(" -1.5e2", d));
    EXPECT_EQ(d, -150.0);
    for (const char* bad : {"1.5x", "", ".", "1e999", "x1"}) {
        double v = 7;
        EXPECT_FALSE(StringUtils::StringToReal(bad, v)) << bad;
        EXPECT_EQ(v, 7);
    }
    float f = 3;
    EXPECT_TRUE(StringUtils::StringToReal("0.25", f));
    EXPECT_EQ(f, 0.25f);
    EXPECT_FALSE(StringUtils::StringToReal("1e300", f));  // no silent infinity
    EXPECT_EQ(f, 0.25f);

    Point3d p(9, 9, 9);
    EXPECT_TRUE(StringUtils::StringToPoint(" 1 2.5\t-3 trailing", p));
    EXPECT_EQ(p.GetX(), 1.0);
    EXPECT_EQ(p.GetY(), 2.5);
    EXPECT_EQ(p.GetZ(), -3.0);
    EXPECT_FALSE(StringUtils::StringToPoint("1 2", p));
    EXPECT_FALSE(StringUtils::StringToPoint("1 2 z", p));
    EXPECT_FALSE(StringUtils::StringToPoint(nullptr, p));
    EXPECT_EQ(p.GetX(), 1.0);
}

}  // namespace
}  // namespace Tessary
