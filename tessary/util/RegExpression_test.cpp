#include "tessary/util/RegExpression.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tessary/util/detail/RegExpressionAccess.h"
#include "tessary/util/detail/RegProgram.h"
#include "tests/support/TestSeed.h"

namespace Tessary {
namespace {

// Opens up the compiled program for inspection.
class InspectedExpression : public RegExpression {
public:
    using RegExpression::RegExpression;
    std::vector<unsigned char> Program() const {
        const detail::RegProgram* program = detail::RegExpressionAccess::Program(*this);
        return program ? std::vector<unsigned char>(program->Code(), program->Code() + program->size)
                       : std::vector<unsigned char>();
    }
    std::vector<unsigned char> Compiled() {
        Match("compile", false);
        return Program();
    }
    bool Hints(char& first, bool& anchored, CString& must) const {
        const detail::RegProgram* program = detail::RegExpressionAccess::Program(*this);
        if (!program) return false;
        first = program->firstChar;
        anchored = program->anchored;
        must = program->mustOffset ? CString(program->MustString(), program->mustLength) : CString();
        return true;
    }
};

bool Matches(const char* pattern, const CString& subject, bool whole = false) {
    RegExpression re(pattern, false);
    return re.Match(subject, whole);
}

std::vector<std::string> Groups(const char* pattern, const char* subject) {
    RegExpression re(pattern, false);
    re.Match(subject, false);
    std::vector<std::string> groups;
    for (int i = 0; i < re.GetSubstringCount(); ++i) groups.push_back(re.GetSubstring(i).str());
    return groups;
}

using Bytes = std::vector<unsigned char>;

TEST(RegExpressionProgram, NodeLayoutWithBigEndianOffsets) {
    EXPECT_EQ(InspectedExpression("abc", false).Compiled(),
              (Bytes{0x9C, 6, 0, 10, 8, 0, 7, 'a', 'b', 'c', 0, 0, 0, 0}));
    EXPECT_EQ(InspectedExpression("a|b", false).Compiled(),
              (Bytes{0x9C, 6, 0, 8, 8, 0, 13, 'a', 0, 6, 0, 8, 8, 0, 5, 'b', 0, 0, 0, 0}));
    EXPECT_EQ(InspectedExpression("a*", false).Compiled(),
              (Bytes{0x9C, 6, 0, 11, 10, 0, 8, 8, 0, 0, 'a', 0, 0, 0, 0}));
}

TEST(RegExpressionProgram, GroupLoopCountsLoopBackBackwards) {
    const Bytes expected{0x9C, 6,  0, 29, 6, 0, 20, 21, 0, 3, 6, 0, 8, 8, 0, 5, 'a',
                         0,    31, 0, 3,  7, 0, 17, 6,  0, 3, 9, 0, 3, 0, 0, 0};
    EXPECT_EQ(InspectedExpression("(a)*", false).Compiled(), expected);
}

TEST(RegExpressionProgram, NewlineAndBarBuildTheSameAlternation) {
    EXPECT_EQ(InspectedExpression("a|b", false).Compiled(), InspectedExpression("a\nb", false).Compiled());
}

TEST(RegExpressionProgram, RunStopsBeforeARepeatedLastCharacter) {
    // "abc*" is the literal "ab", then c repeated.
    const Bytes program = InspectedExpression("abc*", false).Compiled();
    ASSERT_GE(program.size(), 10u);
    EXPECT_EQ(program[4], detail::RegOp::Literal);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&program[7])), "ab");
    EXPECT_EQ(program[10], detail::RegOp::RepeatStar);
    EXPECT_TRUE(Matches("abc*", "ab", true));
    EXPECT_TRUE(Matches("abc*", "abccc", true));
    EXPECT_FALSE(Matches("abc*", "abcabc", true));
}

TEST(RegExpressionProgram, SearchHints) {
    char first = 0;
    bool anchored = false;
    CString must;
    InspectedExpression literal("abc", false);
    literal.Compiled();
    ASSERT_TRUE(literal.Hints(first, anchored, must));
    EXPECT_EQ(first, 'a');
    EXPECT_FALSE(anchored);
    EXPECT_TRUE(must.IsEmpty());

    InspectedExpression start("^x", false);
    start.Compiled();
    start.Hints(first, anchored, must);
    EXPECT_EQ(first, '\0');
    EXPECT_TRUE(anchored);

    // A leading star: the longest literal of the chain must occur, the later
    // one winning a tie.
    InspectedExpression star("x*ab.cd", false);
    star.Compiled();
    star.Hints(first, anchored, must);
    EXPECT_EQ(must, "cd");
    InspectedExpression longer("x*abc.cd", false);
    longer.Compiled();
    longer.Hints(first, anchored, must);
    EXPECT_EQ(must, "abc");

    // Two top-level alternatives: no hints at all.
    InspectedExpression two("^a|b", false);
    two.Compiled();
    two.Hints(first, anchored, must);
    EXPECT_EQ(first, '\0');
    EXPECT_FALSE(anchored);
}

TEST(RegExpressionCompile, EveryErrorHasItsMessage) {
    const std::string tooBig(40000, 'a');
    const struct {
        const char* pattern;
        const char* message;
    } cases[] = {
        {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", "too many ()"},
        {"(ab", "unmatched ()"},
        {"ab)", "unmatched ()"},
        {"(a*)*", "*+ operand could be empty"},
        {"(^)+", "*+ operand could be empty"},
        {"(a|)*", "*+ operand could be empty"},
        {"a**", "nested *?+"},
        {"a?+", "nested *?+"},
        {"+a", "?+* follows nothing"},
        {"a|*b", "?+* follows nothing"},
        {"[abc", "unmatched []"},
        {"[c-a]", "invalid [] range"},
        {"ab\\", "trailing \\"},
        {tooBig.c_str(), "regexp too big"},
    };
    for (const auto& c : cases) {
        RegExpression re(c.pattern, false);
        EXPECT_FALSE(re.Match("abc", false)) << c.pattern;
        ASSERT_NE(re.GetErrorMessage(), nullptr) << c.pattern;
        EXPECT_STREQ(re.GetErrorMessage(), c.message) << c.pattern;
        EXPECT_EQ(re.GetSubstringCount(), 0);
    }
    // Nine groups are fine; "(a?)*" is not, "(a?)" alone is.
    EXPECT_TRUE(Matches("(a)(b)(c)(d)(e)(f)(g)(h)(i)", "abcdefghi"));
    EXPECT_TRUE(Matches("x(a?)y", "xy"));
}

TEST(RegExpressionCompile, SizeLimitIsTheProgramBytes) {
    // Magic + Alternative + Literal header + NUL + Stop = 11 bytes around the run.
    EXPECT_TRUE(Matches(std::string(32766 - 11, 'a').c_str(), std::string(32766 - 11, 'a').c_str(), true));
    RegExpression tooBig(std::string(32767 - 11, 'a').c_str(), false);
    EXPECT_FALSE(tooBig.Match("a", false));
    EXPECT_STREQ(tooBig.GetErrorMessage(), "regexp too big");
}

TEST(RegExpressionMatch, LiteralsSetsAndAnchors) {
    EXPECT_TRUE(Matches("C[AB]", "CA", true));
    EXPECT_TRUE(Matches("C[AB]", "XCB"));
    EXPECT_FALSE(Matches("C[AB]", "XCB", true));
    EXPECT_FALSE(Matches("C[AB]", "CC"));
    EXPECT_TRUE(Matches("[^H].*", "CA", true));
    EXPECT_FALSE(Matches("[^H]", "H"));
    EXPECT_TRUE(Matches("[]a]", "]"));
    EXPECT_TRUE(Matches("[-a]", "-"));
    EXPECT_TRUE(Matches("[a-]", "-"));
    EXPECT_TRUE(Matches("[^]]", "a"));
    EXPECT_FALSE(Matches("[^]]", "]"));
    EXPECT_TRUE(Matches("[a-cx]", "b"));
    EXPECT_FALSE(Matches("[a-cx]", "d"));
    EXPECT_TRUE(Matches("^O.*", "OXT", true));
    EXPECT_FALSE(Matches("^O.*", "HO"));
    EXPECT_TRUE(Matches("(CA|CB|N)$", "HN"));
    EXPECT_FALSE(Matches("(CA|CB|N)$", "NA"));
    EXPECT_TRUE(Matches("a\\.b", "a.b"));
    EXPECT_FALSE(Matches("a\\.b", "axb"));
    EXPECT_TRUE(Matches("a\\*", "a*"));
    // Case-sensitive bytes.
    EXPECT_FALSE(Matches("ca", "CA"));
    EXPECT_TRUE(Matches("\xE9t\xE9", "\xE9t\xE9"));
}

TEST(RegExpressionMatch, RepeatsOnNodesAndGroups) {
    EXPECT_TRUE(Matches("ab+c", "abbbc", true));
    EXPECT_FALSE(Matches("ab+c", "ac"));
    EXPECT_TRUE(Matches("ab?c", "ac", true));
    EXPECT_TRUE(Matches("ab?c", "abc", true));
    EXPECT_FALSE(Matches("ab?c", "abbc"));
    EXPECT_TRUE(Matches("(ab)+c", "ababc", true));
    EXPECT_FALSE(Matches("(ab)+c", "c"));
    EXPECT_TRUE(Matches("x(ab)*c", "xc", true));
    EXPECT_TRUE(Matches("(ab)?c", "abc", true));
    EXPECT_TRUE(Matches("a.*b", "aXXbYYb", true));
    EXPECT_TRUE(Matches("(a|b)*c", "ababbc", true));
    // Greedy with back-off.
    EXPECT_EQ(Groups("(a*)(a)", "aaa"), (std::vector<std::string>{"aaa", "aa", "a"}));
    EXPECT_EQ(Groups("(.*)b(.*)", "abab"), (std::vector<std::string>{"abab", "aba"}));
}

TEST(RegExpressionMatch, WordBoundaries) {
    EXPECT_TRUE(Matches("\\<ab", "x ab"));
    EXPECT_FALSE(Matches("\\<ab", "xab"));
    EXPECT_TRUE(Matches("\\<ab", "ab"));
    EXPECT_TRUE(Matches("ab\\>", "ab c"));
    EXPECT_TRUE(Matches("ab\\>", "ab"));
    EXPECT_FALSE(Matches("ab\\>", "abc"));
    EXPECT_TRUE(Matches("\\<a_1\\>", "(a_1)"));
}

TEST(RegExpressionMatch, GroupsAndSubstrings) {
    EXPECT_EQ(Groups("(a)(b)(c)", "xabc"), (std::vector<std::string>{"abc", "a", "b", "c"}));
    // Nested groups.
    EXPECT_EQ(Groups("((a)b)", "ab"), (std::vector<std::string>{"ab", "ab", "a"}));
    // A group that did not take part hides the later ones.
    EXPECT_EQ(Groups("(a)(x)?(c)", "ac"), (std::vector<std::string>{"ac", "a"}));
    // So does an empty one.
    EXPECT_EQ(Groups("(a)(x*)(c)", "ac"), (std::vector<std::string>{"ac", "a"}));
    // Inside a repeat the last iteration wins.
    EXPECT_EQ(Groups("(a|b)+c", "abc"), (std::vector<std::string>{"abc", "b"}));
    EXPECT_EQ(Groups("((a)|(b))+", "ab"), (std::vector<std::string>{"ab", "b", "a", "b"}));
    // Backing into an alternation takes the next alternative.
    EXPECT_EQ(Groups("x(ab|a)b", "xab"), (std::vector<std::string>{"xab", "a"}));
    EXPECT_EQ(Groups("(CA|CB|N)$", "HN"), (std::vector<std::string>{"N", "N"}));
    EXPECT_EQ(Groups("a(b|)c", "ac"), (std::vector<std::string>{"ac"}));
    // Positions from a failed alternative are not kept.
    EXPECT_EQ(Groups("(a)x|(a)y", "ay"), (std::vector<std::string>{"ay"}));

    RegExpression re("(a)(b)", false);
    EXPECT_EQ(re.GetSubstringCount(), 0);
    EXPECT_TRUE(re.Match("ab", true));
    EXPECT_EQ(re.GetSubstringCount(), 3);
    EXPECT_EQ(re.GetSubstring(2), "b");
    EXPECT_EQ(re.GetSubstring(3), "");
    EXPECT_EQ(re.GetSubstring(-1), "");
    // A failed match clears the table, whichever way it failed.
    EXPECT_FALSE(re.Match("xx", false));  // lacks the first character
    EXPECT_EQ(re.GetSubstringCount(), 0);
    EXPECT_TRUE(re.Match("ab", false));
    EXPECT_FALSE(re.Match("", false));
    EXPECT_EQ(re.GetSubstringCount(), 0);
    RegExpression must("x*abc", false);
    EXPECT_TRUE(must.Match("abc", false));
    EXPECT_FALSE(must.Match("abd", false));  // lacks the must string
    EXPECT_EQ(must.GetSubstringCount(), 0);
}

TEST(RegExpressionMatch, EmptyMatchesAndEmptySubjects) {
    // Only the empty string at the first position: no match.
    EXPECT_FALSE(Matches("b*", "ab"));
    EXPECT_TRUE(Matches("b*", "ba"));
    EXPECT_FALSE(Matches("^", "abc"));
    EXPECT_TRUE(Matches(".*", ""));
    EXPECT_TRUE(Matches("*", ""));
    EXPECT_TRUE(Matches("  .*  ", ""));
    EXPECT_FALSE(Matches("a*", ""));
    EXPECT_FALSE(Matches("^$", ""));
    EXPECT_FALSE(Matches("", "abc"));
}

TEST(RegExpressionMatch, LeadingStarAndTrimming) {
    RegExpression re("  *abc ", true);
    EXPECT_EQ(re.GetText(), ".*abc");
    EXPECT_TRUE(re.GetFlag());
    EXPECT_TRUE(re.Match("xxabc", true));
    EXPECT_TRUE(Matches("*1", "HD1", true));
    EXPECT_FALSE(Matches("*1", "HD2"));
}

TEST(RegExpressionMatch, SubjectWithEmbeddedNul) {
    const CString subject(std::string("a\0b", 3));
    EXPECT_TRUE(Matches("a.b", subject, true));
    EXPECT_FALSE(Matches("a[^x]b", "axb"));
    EXPECT_TRUE(Matches("a[^x]b", subject, true));
    EXPECT_FALSE(Matches("a[xyz]b", subject));
}

TEST(RegExpressionCopy, CopiesTextAndSubstringsButNotTheProgram) {
    InspectedExpression re("(a)b", true);
    ASSERT_TRUE(re.Match("ab", false));
    InspectedExpression copy(re);
    EXPECT_TRUE(copy.Program().empty());
    EXPECT_EQ(copy.GetSubstringCount(), 2);
    EXPECT_EQ(copy.GetSubstring(1), "a");
    EXPECT_TRUE(copy.GetFlag());

    std::unique_ptr<Pattern<CString>> clone(re.Copy());
    EXPECT_TRUE(clone->Match("xab", false));
    EXPECT_FALSE(clone->Match("xab", true));

    InspectedExpression other("zz", false);
    ASSERT_TRUE(other.Match("zz", false));
    other = re;
    EXPECT_TRUE(other.Program().empty());
    EXPECT_EQ(other.GetText(), "(a)b");
    EXPECT_TRUE(other.Match("ab", true));
    InspectedExpression& alias = other;
    other = alias;  // self-assignment keeps the expression
    EXPECT_TRUE(other.Match("ab", true));
}

TEST(RegExpressionMatch, IsRegExpression) {
    for (const char* text : {"C*", "a+", "\\x", "a.b", "^a", "[a]", "b]", "a$", "a&b", "(a", "a)"})
        EXPECT_TRUE(RegExpression::IsRegExpression(text)) << text;
    for (const char* text : {"", "CA", "a?b", "a|b", "a-b"}) EXPECT_FALSE(RegExpression::IsRegExpression(text)) << text;
}

// Long subjects and big programs must neither exhaust the stack nor hang.
TEST(RegExpressionLimits, LongSubjects) {
    std::string many(10 * 1024 * 1024, 'a');
    EXPECT_FALSE(Matches(".*x", many.c_str()));
    EXPECT_TRUE(Matches("a+", many.c_str(), true));
    many.back() = 'x';
    EXPECT_TRUE(Matches(".*x", many.c_str(), true));
    EXPECT_TRUE(Matches("[^b]*x$", many.c_str(), true));

    std::string pairs;
    for (int i = 0; i < 1024 * 1024; ++i) pairs += "ab";
    RegExpression loop("(ab)*", false);
    EXPECT_TRUE(loop.Match(pairs.c_str(), true));
    EXPECT_EQ(loop.GetSubstring(1), "ab");
    EXPECT_TRUE(Matches("(a|b)+$", pairs.c_str(), true));
    EXPECT_TRUE(Matches("^(ab)+$", pairs.c_str(), true));
}

TEST(RegExpressionLimits, BacktrackingStaysBounded) {
    const std::string as(40, 'a');
    EXPECT_FALSE(Matches("(a|aa)*b", as.c_str()));
    EXPECT_FALSE(Matches("(a|aa)+c", (as + "b").c_str()));
    EXPECT_TRUE(Matches("(a|aa)+b", (as + "b").c_str(), true));
    const std::string longer(3000, 'a');
    EXPECT_FALSE(Matches("(a|a)*(a|a)*(a|a)*c", longer.c_str()));
    EXPECT_FALSE(Matches("(.*)(.*)(.*)(.*)(.*)[b]", longer.c_str()));
}

TEST(RegExpressionLimits, UnanchoredStarSearchesStayLinear) {
    // Without a first character every position is tried; a repeat that failed
    // over a run is not retried from inside it.
    const std::string as(4 * 1024 * 1024, 'a');
    EXPECT_FALSE(Matches(".*[b]", as.c_str()));
    EXPECT_FALSE(Matches("(.*)[b]", as.c_str()));
    EXPECT_FALSE(Matches("[^b]+[b]", as.c_str()));
    std::string words;
    while (words.size() < 65536) words += " word xx";
    EXPECT_FALSE(Matches(".*[-]x?.+\\>", words.c_str()));
    // Two greedy repeats, the second entered again from ever lower positions
    // as the first backs off: each position is tried once per repeat.
    std::string pieces;
    while (pieces.size() < 90000) pieces += "..>b w ";
    RegExpression twice("a?.+\\>b ?.+\\>bX", false);
    EXPECT_FALSE(twice.Match(pieces.c_str(), false));
    EXPECT_EQ(twice.GetErrorMessage(), nullptr);
    // The shortcut never hides a match.
    EXPECT_TRUE(Matches("[ab]*c", "ababab c"));
    EXPECT_EQ(Groups("a*ab", "xaaab"), (std::vector<std::string>{"aaab"}));
    EXPECT_EQ(Groups("(a|b)*c", "abxbac"), (std::vector<std::string>{"bac", "a"}));
    EXPECT_EQ(Groups("[a-c]+d", "abcabce abd"), (std::vector<std::string>{"abd"}));
}

TEST(RegExpressionLimits, BigAlternationNearTheLimit) {
    std::string pattern;
    int n = 0;
    // Each alternative "wNNNNN|" costs an Alternative and a Literal node, 13 bytes.
    while (pattern.size() < 17000) pattern += "w" + std::to_string(10000 + n++) + "|";
    pattern += "last";
    RegExpression re(pattern.c_str(), false);
    EXPECT_TRUE(re.Match("xlast", false)) << (re.GetErrorMessage() ? re.GetErrorMessage() : "");
    EXPECT_TRUE(re.Match("w10007", true));
    EXPECT_FALSE(re.Match("w9", false));
}

TEST(RegExpressionMatch, LeadingAnyRepeatGivesBackOneCharacterAtATime) {
    EXPECT_EQ(Groups(".*a", "xaya"), (std::vector<std::string>{"xaya"}));
    EXPECT_EQ(Groups(".*a", "xayb"), (std::vector<std::string>{"xa"}));
    EXPECT_EQ(Groups(".+a", "a"), std::vector<std::string>{});
    EXPECT_EQ(Groups(".+a[bc]", "abab"), (std::vector<std::string>{"abab"}));
    EXPECT_EQ(Groups(".*ab$", "abxab"), (std::vector<std::string>{"abxab"}));
    EXPECT_EQ(Groups(".*ab$", "abxa"), std::vector<std::string>{});
    EXPECT_EQ(Groups(".*a.", "xaax"), (std::vector<std::string>{"xaax"}));
    EXPECT_TRUE(Matches("*1", "CG1", true));
    EXPECT_FALSE(Matches("*1", "C1'", true));
    EXPECT_EQ(Groups("*1", "C1'"), (std::vector<std::string>{"C1"}));
    // Starts bounded by "$" and by the shortest match.
    EXPECT_EQ(Groups("(CA|CB|N)$", "NCA"), (std::vector<std::string>{"CA", "CA"}));
    EXPECT_EQ(Groups("(CA|CB|N)$", "CAN"), (std::vector<std::string>{"N", "N"}));
    EXPECT_EQ(Groups("C[AB]", "xCACB"), (std::vector<std::string>{"CA"}));
    EXPECT_EQ(Groups("C[AB]", "xxC"), std::vector<std::string>{});
}

// Straight programs ("C[AB]", "H.*", "(CA|CB|N)$") run on a flat fast path;
// adding an alternative that never matches forces the general matcher. Both
// must agree on every result and on every substring.
TEST(RegExpressionMatch, FastPathAgreesWithGeneralMatcher) {
    const unsigned seed = TestSeed();
    SCOPED_TRACE("TESSARY_TEST_SEED=" + std::to_string(seed));
    std::mt19937 rng(seed);
    const char* atoms[] = {"a",  "b",      "ab",  ".",    "[ab]",   "[^a]", "^",    "$",
                           "\\<", "\\>", "c",  "(a)", "(a|b)", "(ab|c|)", "(.)", "(b*)"};
    constexpr int kAtoms = static_cast<int>(std::size(atoms));
    const char* repeats[] = {"", "", "*", "+", "?"};
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 3000; ++round) {
        std::string pattern;
        for (int n = 1 + pick(5); n > 0; --n) {
            const std::string atom = atoms[pick(kAtoms)];
            // Groups may not be repeated in a straight program; leave them bare
            // (and keep within nine groups).
            pattern += atom + (atom[0] == '(' ? "" : repeats[pick(5)]);
        }
        if (pattern == ".*") continue;  // its empty-subject rule is about the text itself
        RegExpression straight(pattern.c_str(), false);
        RegExpression grouped((pattern + "|\x01").c_str(), false);
        for (int k = 0; k < 8; ++k) {
            std::string subject;
            for (int n = pick(9); n > 0; --n) subject += "abc "[pick(4)];
            for (const bool whole : {false, true}) {
                const bool a = straight.Match(subject.c_str(), whole);
                const bool b = grouped.Match(subject.c_str(), whole);
                ASSERT_EQ(a, b) << pattern << " on '" << subject << "' whole " << whole;
                ASSERT_EQ(straight.GetSubstringCount(), grouped.GetSubstringCount()) << pattern << " on '" << subject << "'";
                for (int g = 0; g < straight.GetSubstringCount(); ++g)
                    ASSERT_EQ(straight.GetSubstring(g), grouped.GetSubstring(g)) << pattern << " on '" << subject << "'";
            }
        }
    }
}

// Objects share no scratch space: threads matching with their own objects,
// one expression of each matcher kind, see what one thread sees alone.
TEST(RegExpressionThreads, SeparateObjectsMatchIndependently) {
    const char* patterns[] = {"C[AB]", "H.*", "(CA|CB|N)$", "*1", "(C|H)(A|B)+.*\\>", "^(x|C)+G?(1|2)"};
    const char* subjects[] = {"CA", "HB2", "NCA", "CG1", "CCAB1", "OXT", "xCG2", "HH12 X", ""};
    auto run = [&] {
        std::string out;
        for (int round = 0; round < 200; ++round) {
            for (const char* pattern : patterns) {
                RegExpression re(pattern, false);
                for (const char* subject : subjects) {
                    out += re.Match(subject, round % 2 == 1) ? '1' : '0';
                    for (int g = 0; g < re.GetSubstringCount(); ++g) out += re.GetSubstring(g).str() + ",";
                }
            }
        }
        return out;
    };
    const std::string expected = run();
    std::vector<std::string> results(4);
    std::vector<std::thread> threads;
    for (std::string& result : results) threads.emplace_back([&run, &result] { result = run(); });
    for (std::thread& thread : threads) thread.join();
    for (const std::string& result : results) EXPECT_EQ(result, expected);
}

}  // namespace
}  // namespace Tessary
