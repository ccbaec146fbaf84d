#pragma once

// RegExpression: a small regular-expression filter for names and labels.
//
// Syntax: literals, "." (any character), bracket sets "[a-z]" and "[^...]",
// groups "(...)" (at most nine), alternation with "|" or a newline, the
// repeats "*", "+" and "?", the anchors "^" and "$", word boundaries "\<" and
// "\>", and "\" to take the next character literally. A pattern that starts
// with "*" (after trimming) is read as ".*" + the rest, as a shell user means.
//
// The expression is compiled on the first Match into a compact node program
// and run by a backtracking matcher that keeps its choice points on the heap,
// so neither long subjects nor deep patterns can exhaust the call stack. A
// search that backtracks beyond a fixed work budget gives up and reports no
// match rather than running for minutes.
//
// Edge-case contract:
// * Match of an empty subject is true only for the expression ".*".
// * A match must consume at least one character: a pattern that matches only
//   the empty string at the search position reports no match.
// * GetSubstring(0) is the whole match, 1..9 the groups, stopping at the first
//   group that did not take part or matched nothing. The table always
//   describes the last Match, a failed one included (then it is empty).
// * An expression that does not compile makes every Match return false;
//   GetErrorMessage() says why.
// * Subjects are compared as bytes over their full length (embedded NUL
//   bytes are ordinary characters); the expression text ends at its first NUL.

#include <cstdint>
#include <string>

#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"
#include "tessary/util/Pattern.h"

namespace Tessary {

namespace detail {
struct RegProgram;
}

class TESSARY_API RegExpression : public Pattern<CString> {
public:
    // Node opcodes of the compiled program.
    enum Opcode : unsigned char {
        Stop = 0,
        AtStart = 1,
        AtEnd = 2,
        AnyChar = 3,
        InSet = 4,
        NotInSet = 5,
        Alternative = 6,
        LoopBack = 7,
        Literal = 8,
        Empty = 9,
        RepeatStar = 10,
        RepeatPlus = 11,
        WordStart = 12,
        WordEnd = 13,
        GroupOpen = 20,   // + group number 1..9
        GroupClose = 30,  // + group number 1..9
    };
    static constexpr unsigned char Magic = 0x9C;
    static constexpr int MaxProgramSize = 0x7FFF;

    // Trims `text`; nothing is compiled until the first Match.
    RegExpression(const CString& text, bool flag);
    // Copies start without a compiled program.
    RegExpression(const RegExpression& other);
    RegExpression& operator=(const RegExpression& other);
    ~RegExpression() override;

    Pattern<CString>* Copy() const override;
    bool Match(const CString& subject, bool whole) override;

    // Substring i of the last Match; empty when i is out of range.
    virtual CString GetSubstring(int i) const;
    virtual int GetSubstringCount() const;

    // True when `text` holds any of the characters "*+\.^[]$&()".
    static bool IsRegExpression(const CString& text);

    // The expression as it is compiled (trimmed, leading "*" expanded).
    const CString& GetText() const { return m_text; }
    // Why the last compile or search failed, or null when it did not.
    const char* GetErrorMessage() const { return m_error; }

protected:
    // The compiled program from its magic byte on (null before the first
    // successful compile); `size` receives its length in bytes.
    const unsigned char* GetProgram(int& size) const;
    // The search hints of the compiled program. False when not compiled.
    bool GetProgramHints(char& firstChar, bool& anchored, CString& mustString) const;

    CString m_text;
    // The substrings of the last Match: the text of group 0, and where each
    // group lies in it. Kept as spans so that a match costs one copy.
    // Short matches (names) stay in the inline buffer.
    std::string m_match;
    char m_shortMatch[32] = {};
    std::int32_t m_matchLength = 0;
    std::int32_t m_groupStart[10] = {};
    std::int32_t m_groupLength[10] = {};
    int m_substringCount = 0;
    detail::RegProgram* m_program = nullptr;
    const char* m_error = nullptr;

private:
    // Match after the short path: compiles, runs the flat or general matcher.
    // Internal to the library, so that Match calls it directly.
#if defined(__GNUC__) && !defined(_WIN32)
    __attribute__((visibility("hidden")))
#endif
    bool MatchProgram(const CString& subject, bool whole);
    // Match of a compiled program with a simple form (no choices to undo).
#if defined(__GNUC__) && !defined(_WIN32)
    __attribute__((visibility("hidden")))
#endif
    bool MatchSimple(const CString& subject, bool whole);
    // Fills the table for a match of s[start, end) without groups; returns
    // the result of Match (false for an empty match or a partial `whole` one).
    bool TakeWholeMatch(const char* s, int len, int start, int end, bool whole);
    void ReleaseProgram();
    void CopyMatch(const RegExpression& other);
    const char* MatchText() const;
};

}  // namespace Tessary
