#include "tessary/util/RegExpression.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "tessary/util/detail/RegExpressionAccess.h"
#include "tessary/util/detail/RegFastMatcher.h"
#include "tessary/util/detail/RegProgram.h"

namespace Tessary {

namespace {

// Copies n <= 32 bytes with fixed-size moves that overlap in the middle,
// never touching a byte outside [src, src + n).
inline void SmallCopy(char* dst, const char* src, int n) {
    if (n >= 16) {
        std::memcpy(dst, src, 16);
        std::memcpy(dst + n - 16, src + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(dst, src, 8);
        std::memcpy(dst + n - 8, src + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(dst, src, 4);
        std::memcpy(dst + n - 4, src + n - 4, 4);
    } else if (n > 0) {
        dst[0] = src[0];
        dst[n / 2] = src[n / 2];
        dst[n - 1] = src[n - 1];
    }
}

}  // namespace

namespace detail {

// The substrings of the last Match: the text of group 0, and where each group
// lies in it. Kept as spans so that a match costs one copy; short matches
// (names) stay in the inline buffer.
struct RegMatchTable {
    std::string longText;
    char shortText[32] = {};
    std::int32_t length = 0;
    std::int32_t groupStart[kRegGroups] = {};
    std::int32_t groupLength[kRegGroups] = {};
    int count = 0;

    const char* Text() const {
        return length <= static_cast<std::int32_t>(sizeof shortText) ? shortText : longText.data();
    }
    void SetText(const char* text, int n) {
        length = n;
        if (n <= static_cast<std::int32_t>(sizeof shortText)) SmallCopy(shortText, text, n);
        else longText.assign(text, static_cast<std::size_t>(n));
    }
    // Fills the table for a match of s[start, end) without groups; returns
    // the result of Match (false for an empty match or a partial `whole` one).
    bool TakeWholeMatch(const char* s, int len, int start, int end, bool whole) {
        // An empty match does not count as one.
        if (end == start) return false;
        SetText(s + start, end - start);
        groupStart[0] = 0;
        groupLength[0] = end - start;
        count = 1;
        return !whole || (start == 0 && end == len);
    }
};

}  // namespace detail

namespace {

using detail::kRegMagic;
using detail::RegMatchTable;
using detail::RegProgram;

// Match of a program with a simple form (no choices to undo). Out of line,
// like MatchProgram, so that Match stays small for the shortest path.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
bool MatchSimple(RegProgram& prog, RegMatchTable& table, const CString& subject, bool whole) {
    const char* s = subject.GetString();
    const int len = subject.GetLength();
    int start = 0;
    int end = 0;
    if (detail::FastMatcher(prog, s, len).SearchSimple(start, end) != 1) return false;
    return table.TakeWholeMatch(s, len, start, end, whole);
}

// Match after the short paths: compiles, then runs the flat or the general
// matcher.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
bool MatchProgram(RegExpression& re, const CString& subject, bool whole) {
    using Access = detail::RegExpressionAccess;
    if (subject.IsEmpty() && re.GetText() == ".*") return true;
    RegProgram*& program = Access::Program(re);
    const char*& error = Access::Error(re);
    RegMatchTable& table = Access::Table(re);
    if (!program) {
        program = detail::CompileRegProgram(re.GetText().GetString(), error);
        if (!program) return false;
    }
    RegProgram& prog = *program;
    const char* s = subject.GetString();
    const int len = subject.GetLength();
    int fast = -1;
    if (prog.fastCount > 0 && prog.Code()[0] == kRegMagic) {
        int start = 0;
        int end = 0;
        fast = detail::FastMatcher(prog, s, len).Search(start, end);
        prog.startp[0] = fast == 1 ? s + start : nullptr;
        prog.endp[0] = fast == 1 ? s + end : nullptr;
        if (fast == 0) return false;
        // No groups: the table is the match alone.
        if (fast == 1 && prog.groups == 1) return table.TakeWholeMatch(s, len, start, end, whole);
    }
    const bool found = fast < 0 ? detail::SearchRegProgram(prog, s, len, error) : fast == 1;

    int count = 0;
    if (found) {
        while (count < prog.groups && prog.startp[count] && prog.endp[count] && prog.endp[count] > prog.startp[count])
            ++count;
    }
    if (count == 0) return false;
    const char* base = prog.startp[0];
    table.SetText(base, static_cast<int>(prog.endp[0] - base));
    for (int i = 0; i < count; ++i) {
        table.groupStart[i] = static_cast<std::int32_t>(prog.startp[i] - base);
        table.groupLength[i] = static_cast<std::int32_t>(prog.endp[i] - prog.startp[i]);
    }
    table.count = count;
    return !whole || (prog.startp[0] == s && prog.endp[0] == s + len);
}

}  // namespace

RegExpression::RegExpression(const CString& text, bool flag)
    : Pattern<CString>(flag), m_text(text), m_substrings(std::make_unique<RegMatchTable>()) {
    m_text.Trim();
    if (m_text.GetAt(0) == '*') m_text = '.' + m_text;
}

RegExpression::RegExpression(const RegExpression& other)
    : Pattern<CString>(other),
      m_text(other.m_text),
      m_substrings(std::make_unique<RegMatchTable>(*other.m_substrings)) {}

RegExpression& RegExpression::operator=(const RegExpression& other) {
    if (this == &other) return *this;
    Pattern<CString>::operator=(other);
    std::free(m_program);
    m_program = nullptr;
    m_text = other.m_text;
    *m_substrings = *other.m_substrings;
    m_error = nullptr;
    return *this;
}

RegExpression::~RegExpression() { std::free(m_program); }

Pattern<CString>* RegExpression::Copy() const { return new RegExpression(*this); }

bool RegExpression::IsRegExpression(const CString& text) { return text.FindOneOf("*+\\.^[]$&()") >= 0; }

bool RegExpression::Match(const CString& subject, bool whole) {
    m_error = nullptr;
    RegMatchTable& table = *m_substrings;
    table.count = 0;
    // Programs without choices whose matches start with one certain
    // character take the shortest path; this function stays small for it.
    if (m_program && m_program->simpleByChar && m_program->Code()[0] == kRegMagic && !subject.IsEmpty()) {
        const char* s = subject.GetString();
        const int len = subject.GetLength();
        int start = 0;
        int end = 0;
        // The table is filled here: the program's group slots are not needed.
        if (detail::FastMatcher(*m_program, s, len).SearchSimpleByChar(start, end) != 1) return false;
        return table.TakeWholeMatch(s, len, start, end, whole);
    }
    if (m_program && m_program->simpleOffset != 0 && m_program->Code()[0] == kRegMagic && !subject.IsEmpty())
        return MatchSimple(*m_program, table, subject, whole);
    return MatchProgram(*this, subject, whole);
}

CString RegExpression::GetSubstring(int i) const {
    const RegMatchTable& table = *m_substrings;
    if (i < 0 || i >= table.count) return CString();
    const auto length = static_cast<std::size_t>(table.groupLength[i]);
    return CString(std::string_view(table.Text() + table.groupStart[i], length));
}

int RegExpression::GetSubstringCount() const { return m_substrings->count; }

}  // namespace Tessary
