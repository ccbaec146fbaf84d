#include "tessary/frame/CString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <unordered_set>

using namespace Tessary;

TEST(CString, ConstructsFromEverySource) {
    EXPECT_TRUE(CString().IsEmpty());
    EXPECT_TRUE(CString(static_cast<const char*>(nullptr)).IsEmpty());
    EXPECT_EQ(CString("abc", 2), "ab");
    EXPECT_EQ(CString("abc", -1), "");
    EXPECT_EQ(CString('x', 3), "xxx");
    EXPECT_EQ(CString(std::string("std")), "std");
    CString s;
    s = "text";
    EXPECT_EQ(s.GetLength(), 4);
    s = static_cast<const char*>(nullptr);
    EXPECT_TRUE(s.IsEmpty());
    s = 'c';
    EXPECT_EQ(s, "c");
    s.Empty();
    EXPECT_EQ(s.GetLength(), 0);
}

TEST(CString, AppendsAndPrepends) {
    CString s("b");
    s += 'c';
    s += "de";
    s += CString("f");
    EXPECT_EQ('a' + s, "abcdef");
    EXPECT_EQ(s + 'g', "bcdefg");
    EXPECT_EQ("<" + s + ">", "<bcdef>");
    EXPECT_EQ(s + CString("!"), "bcdef!");
}

TEST(CString, SubstringsClampTheirArguments) {
    const CString s("HETATM");
    EXPECT_EQ(s.Mid(3), "ATM");
    EXPECT_EQ(s.Mid(2, 2), "TA");
    EXPECT_EQ(s.Mid(-4, 3), "HET");
    EXPECT_EQ(s.Mid(4, 100), "TM");
    EXPECT_EQ(s.Mid(10), "");
    EXPECT_EQ(s.Mid(2, -1), "");
    EXPECT_EQ(s.Left(3), "HET");
    EXPECT_EQ(s.Left(99), "HETATM");
    EXPECT_EQ(s.Left(-1), "");
    EXPECT_EQ(s.Right(2), "TM");
    EXPECT_EQ(s.Right(99), "HETATM");
    EXPECT_EQ(s.GetAt(1), 'E');
    EXPECT_EQ(s[99], '\0');
}

TEST(CString, FindsCharactersAndSubstrings) {
    const CString s("C1 N2 O3");
    EXPECT_EQ(s.Find('N'), 3);
    EXPECT_EQ(s.Find('Z'), -1);
    EXPECT_EQ(s.Find(' ', 3), 5);
    EXPECT_EQ(s.Find(' ', 99), -1);
    EXPECT_EQ(s.Find("O3"), 6);
    EXPECT_EQ(s.FindOneOf("0123456789"), 1);
    EXPECT_EQ(s.FindOneOf("xyz"), -1);
    EXPECT_EQ(s.FindOneOf(""), -1);
    EXPECT_EQ(s.ReverseFind(' '), 5);
}

TEST(CString, TrimsAndChangesCase) {
    CString s(" \t Fe2+ \n");
    EXPECT_EQ(CString(s).TrimLeft(), "Fe2+ \n");
    EXPECT_EQ(CString(s).TrimRight(), " \t Fe2+");
    EXPECT_EQ(s.Trim(), "Fe2+");
    EXPECT_EQ(s.MakeLower(), "fe2+");
    EXPECT_EQ(s.MakeUpper(), "FE2+");
    EXPECT_EQ(CString("   ").Trim(), "");
    EXPECT_EQ(CString("--x--").Trim("-"), "x");
    EXPECT_EQ(CString("xx").TrimRight("x"), "");
    CString r("a.b.c");
    EXPECT_EQ(r.Replace(".", "::"), 2);
    EXPECT_EQ(r, "a::b::c");
    EXPECT_EQ(r.Replace(':', '-'), 4);
    EXPECT_EQ(r.Replace("", "x"), 0);
}

TEST(CString, FormatsLikePrintfAtAnyLength) {
    CString s;
    s.Format("%s-%04d-%.2f", "atom", 7, 1.005);
    EXPECT_EQ(s, "atom-0007-1.00");
    s.Format("%0500d", 1);
    EXPECT_EQ(s.GetLength(), 500);
    EXPECT_EQ(s.Right(2), "01");
    s.AppendFormat("%c", '!');
    EXPECT_EQ(s.GetLength(), 501);
}

TEST(CString, BufferRoundTrip) {
    CString s("ab");
    char* buffer = s.GetBuffer(10);
    std::strcpy(buffer, "residue");
    s.ReleaseBuffer();
    EXPECT_EQ(s, "residue");
    EXPECT_EQ(s.GetLength(), 7);
    buffer = s.GetBuffer(3);  // never shrinks the text
    EXPECT_EQ(std::string(buffer), "residue");
    s.ReleaseBuffer(3);
    EXPECT_EQ(s, "res");
    s.GetBuffer(0);
    s.ReleaseBuffer(50);  // longer than the buffer: clamped
    EXPECT_EQ(s, "res");
}

TEST(CString, ComparesWithAndWithoutCase) {
    const CString a("Alpha"), b("alpha"), c("Alphabet");
    EXPECT_GT(b.Compare(a), 0);
    EXPECT_EQ(a.CompareNoCase(b), 0);
    EXPECT_EQ(a.CompareNoCase("ALPHA"), 0);
    EXPECT_LT(a.CompareNoCase(c), 0);
    EXPECT_GT(c.CompareNoCase("ALPHA"), 0);
    EXPECT_LT(a.Compare(c), 0);
    EXPECT_TRUE(a == "Alpha");
    EXPECT_TRUE("Alpha" == a);
    EXPECT_TRUE(a != b);
    EXPECT_TRUE(a < b && "Alpha" < b && a < "alpha");
    EXPECT_TRUE(c > a && c >= a && a <= c);
    EXPECT_EQ(std::strcmp(static_cast<const char*>(a), "Alpha"), 0);
    // Counted: an embedded NUL is part of the string.
    const CString withNul(std::string("ab\0c", 4));
    EXPECT_EQ(withNul.GetLength(), 4);
    EXPECT_NE(withNul, CString("ab"));
    std::unordered_set<CString> set{a, b, CString("Alpha")};
    EXPECT_EQ(set.size(), 2u);
}
