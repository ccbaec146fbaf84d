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
//
// Threads: the library starts none. Separate objects share nothing and may
// be used from different threads at once. Match and assignment change the
// object, so one object is used by one thread at a time; its const members
// only read and may run together while nothing changes it.

#include <memory>

#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"
#include "tessary/util/Pattern.h"

namespace Tessary {

namespace detail {
struct RegProgram;
struct RegMatchTable;
struct RegExpressionAccess;
}  // namespace detail

class TESSARY_API RegExpression : public Pattern<CString> {
public:
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
    CString m_text;

private:
    friend struct detail::RegExpressionAccess;

    // The substrings of the last Match.
    std::unique_ptr<detail::RegMatchTable> m_substrings;
    // The compiled program, null before the first successful compile.
    detail::RegProgram* m_program = nullptr;
    const char* m_error = nullptr;
};

}  // namespace Tessary
