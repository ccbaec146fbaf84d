#pragma once

// The matcher of programs with a flat form (RegFlatForm.h). The repeats and
// alternations are its only choice points, at most one each on a fixed
// stack. It gives up (leaving the search to the general matcher, which bounds
// pathological cases) after a modest amount of work. Header-only: the
// public Match folds the simple-form loops into itself.

#include <cstdint>

#include "tessary/util/detail/RegFlatForm.h"
#include "tessary/util/detail/RegProgram.h"
#include "tessary/util/detail/RegSearch.h"

#if defined(__GNUC__)
#define TESSARY_REG_INLINE __attribute__((always_inline)) inline
#else
#define TESSARY_REG_INLINE inline
#endif

namespace Tessary {
namespace detail {

class FastMatcher {
public:
    FastMatcher(RegProgram& prog, const char* s, int len)
        : m_prog(prog),
          m_code(prog.Code()),
          m_ops(FastOps(prog)),
          m_s(s),
          m_len(len),
          m_limit(4096 + 8 * static_cast<std::uint64_t>(len)) {}

    // The leftmost match: 1 with `start` and `end` set, 0 for none, -1 when
    // giving up. Group positions of the match are left in the program.
    TESSARY_REG_INLINE int Search(int& start, int& end) {
        if (m_prog.simpleOffset != 0) return SearchSimple(start, end);
        return ScanStarts(m_prog, m_s, m_len, start, [this, &end](int pos) { return Try(pos, end); });
    }

    // Search for a program with a simple form: never gives up.
    TESSARY_REG_INLINE int SearchSimple(int& start, int& end) {
        const SimpleForm& form = SimpleFormOf(m_prog);
        if (form.leadMin >= 0) {
            // A later start leaves the leading repeat fewer counts to try:
            // when the first start fails, every later one does.
            if (m_prog.mustOffset != 0 && !HoldsMustString(m_prog, m_s, m_len)) return 0;
            start = 0;
            return TrySimpleLead(form, 0, end);
        }
        return ScanStarts(m_prog, m_s, m_len, start,
                          [this, &form, &end](int pos) { return TrySimpleFrom(form, 0, pos, end); });
    }

    // SearchSimple for a program marked simpleByChar: every start holds the
    // start character, so its test is skipped.
    TESSARY_REG_INLINE int SearchSimpleByChar(int& start, int& end) {
        const SimpleForm& form = SimpleFormOf(m_prog);
        int first;
        int last;
        StartBounds(m_prog, m_len, first, last);
        return ScanStartChar(m_s, m_len, first, last, static_cast<char>(m_prog.startChar), start,
                             [this, &form, &end](int pos) { return TrySimpleFrom(form, 1, pos, end); });
    }

private:
    // The simple form with a leading repeat, from `start`: 1 with `end`
    // set, or 0. The repeat takes all it can and gives back one character
    // at a time; before "$" only one count can do.
    int TrySimpleLead(const SimpleForm& form, int start, int& end) const {
        const int lowest = form.atEnd ? m_len - form.chars : start + form.leadMin;
        for (int at = m_len - form.chars; at >= lowest && at >= start + form.leadMin; --at) {
            if (TrySimpleFrom(form, 0, at, end)) return 1;
        }
        return 0;
    }

    // The characters of a simple form from the `k`th on, and what follows
    // them, for a match starting at `start`.
    int TrySimpleFrom(const SimpleForm& form, int k, int start, int& end) const {
        if (m_len - start < form.chars) return 0;
        while (k < form.chars && form.sets[k].Has(m_s[start + k])) ++k;
        if (k < form.chars) return 0;
        int pos = start + form.chars;
        if (form.repeatAny) {
            if (m_len - pos < form.repeatMin) return 0;
            pos = m_len;
        } else if (form.repeatMin >= 0) {
            const int from = pos;
            while (pos < m_len && form.repeat.Has(m_s[pos])) ++pos;
            if (pos - from < form.repeatMin) return 0;
        } else if (form.atEnd && pos != m_len) {
            return 0;
        }
        end = pos;
        return 1;
    }

    // 1 with `end` set, 0 for no match from `start`, -1 when giving up.
    TESSARY_REG_INLINE int Try(int start, int& end) {
        struct Choice {
            int op;
            int base;
            int count;
        } stack[kMaxFastRepeats];
        int depth = 0;
        int i = 0;
        int pos = start;
        for (;;) {
            // Work is counted where it can repeat: at backtracking and in
            // repeat scans. A forward run between two of those is bounded by
            // the program.
            const FastOp& op = m_ops[i];
            switch (op.kind) {
                case RegOp::Stop:
                    end = pos;
                    return 1;
                case RegOp::Literal: {
                    if (op.length > m_len - pos) goto backtrack;
                    // Literals in name filters are a few characters: no library call.
                    const unsigned char* text = m_code + op.literal;
                    for (int k = 0; k < op.length; ++k)
                        if (static_cast<unsigned char>(m_s[pos + k]) != text[k]) goto backtrack;
                    pos += op.length;
                    break;
                }
                case RegOp::AnyChar:
                case RegOp::InSet:
                case RegOp::NotInSet:
                    if (pos >= m_len || !op.set.Has(m_s[pos])) goto backtrack;
                    ++pos;
                    break;
                case RegOp::AtStart:
                case RegOp::AtEnd:
                case RegOp::WordStart:
                case RegOp::WordEnd:
                    if (!AssertionHolds(op.kind, m_s, m_len, pos)) goto backtrack;
                    break;
                case RegOp::Alternative: {
                    const int alternative = NextAlternative(op, 0, pos);
                    if (alternative < 0) goto backtrack;
                    stack[depth++] = Choice{i, pos, alternative};
                    pos += op.altLength[alternative];
                    break;
                }
                case RegOp::RepeatStar:
                case RegOp::RepeatPlus: {
                    int k = pos;
                    if (op.any) k = m_len;
                    else
                        while (k < m_len && op.set.Has(m_s[k])) ++k;
                    m_steps += static_cast<std::uint64_t>(k - pos) / 8;
                    const int count = BackOffRepeat(m_s, m_len, pos, k - pos, op.min, op.nextChar, m_steps);
                    if (count < 0) goto backtrack;
                    stack[depth++] = Choice{i, pos, count};
                    pos += count;
                    break;
                }
                default:  // group boundaries; the last visit is the one on the path
                    if (op.kind > RegOp::GroupClose) m_prog.endp[op.kind - RegOp::GroupClose] = m_s + pos;
                    else m_prog.startp[op.kind - RegOp::GroupOpen] = m_s + pos;
                    break;
            }
            ++i;
            continue;

        backtrack:
            if (++m_steps > m_limit) return -1;
            for (;;) {
                if (depth == 0) return 0;
                Choice& choice = stack[depth - 1];
                const FastOp& chosen = m_ops[choice.op];
                if (chosen.kind == RegOp::Alternative) {
                    const int alternative = NextAlternative(chosen, choice.count + 1, choice.base);
                    if (alternative < 0) {
                        --depth;
                        continue;
                    }
                    choice.count = alternative;
                    pos = choice.base + chosen.altLength[alternative];
                    i = choice.op + 1;
                    break;
                }
                const int count =
                    BackOffRepeat(m_s, m_len, choice.base, choice.count - 1, chosen.min, chosen.nextChar, m_steps);
                if (count < 0) {
                    --depth;
                    continue;
                }
                choice.count = count;
                pos = choice.base + count;
                i = choice.op + 1;
                break;
            }
        }
    }

    // The first alternative from `from` on whose literal matches at `pos`, or -1.
    int NextAlternative(const FastOp& op, int from, int pos) const {
        for (int a = from; a < op.length; ++a) {
            const int length = op.altLength[a];
            if (length > m_len - pos) continue;
            const unsigned char* text = m_code + op.altOffset[a];
            int k = 0;
            while (k < length && static_cast<unsigned char>(m_s[pos + k]) == text[k]) ++k;
            if (k == length) return a;
        }
        return -1;
    }

    RegProgram& m_prog;
    const unsigned char* m_code;
    const FastOp* m_ops;
    const char* m_s;
    int m_len;
    std::uint64_t m_steps = 0;
    std::uint64_t m_limit;
};

}  // namespace detail
}  // namespace Tessary

#undef TESSARY_REG_INLINE
