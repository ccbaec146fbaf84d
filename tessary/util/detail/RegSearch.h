#pragma once

// What both matchers share: which subject positions a try starts from, and
// how a greedy repeat backs off. Inline, because the fast matcher's speed on
// short names depends on these loops being folded into it.

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "tessary/util/detail/RegProgram.h"

namespace Tessary {
namespace detail {

// Whether the subject holds the must string. Names are short: a plain loop
// beats the library search there.
inline bool HoldsMustString(const RegProgram& prog, const char* s, int len) {
    const char* must = prog.MustString();
    const int length = prog.mustLength;
    if (length > 1 || len > 64)
        return std::string_view(s, static_cast<std::size_t>(len))
                   .find(std::string_view(must, static_cast<std::size_t>(length))) != std::string_view::npos;
    // One character: test them all without stopping at the first hit.
    bool found = false;
    for (int pos = 0; pos < len; ++pos) found |= s[pos] == must[0];
    return found;
}

// The first and last positions a match can start from, by its length bounds.
inline void StartBounds(const RegProgram& prog, int len, int& first, int& last) {
    first = prog.endWithin >= 0 ? std::max(0, len - prog.endWithin) : 0;
    last = len - prog.minLength;
}

#if defined(__GNUC__)
#define TESSARY_REG_INLINE __attribute__((always_inline)) inline
#else
#define TESSARY_REG_INLINE inline
#endif

// Tries each position in [first, last] that holds `only`, leftmost first,
// until `tryAt(pos)` reports a match (1, with `start` set) or gives up (-1);
// 0 when none matched.
template <class TryAt>
TESSARY_REG_INLINE int ScanStartChar(const char* s, int len, int first, int last, char only, int& start,
                                     TryAt tryAt) {
    const int stop = std::min(last, len - 1);
    for (int pos = first; pos <= stop; ++pos) {
        if (s[pos] != only) continue;
        if (const int r = tryAt(pos)) {
            start = pos;
            return r;
        }
    }
    return 0;
}

// Tries the positions where a match can start, leftmost first, as
// ScanStartChar does. Positions that cannot start a match are skipped, which
// leaves the leftmost match as it is.
template <class TryAt>
TESSARY_REG_INLINE int ScanStarts(const RegProgram& prog, const char* s, int len, int& start, TryAt tryAt) {
    if (prog.mustOffset != 0 && !HoldsMustString(prog, s, len)) return 0;
    if (prog.anchored) {
        start = 0;
        return tryAt(0);
    }
    int first;
    int last;
    StartBounds(prog, len, first, last);
    if (prog.startChar >= 0) return ScanStartChar(s, len, first, last, static_cast<char>(prog.startChar), start, tryAt);
    if (prog.useStartSet) {
        // A start set needs a character at the start.
        const int stop = std::min(last, len - 1);
        for (int pos = first; pos <= stop; ++pos) {
            if (!prog.startSet.Has(s[pos])) continue;
            if (const int r = tryAt(pos)) {
                start = pos;
                return r;
            }
        }
        return 0;
    }
    // Without a start set the end of the subject is a position too.
    for (int pos = first; pos <= last; ++pos) {
        if (const int r = tryAt(pos)) {
            start = pos;
            return r;
        }
    }
    return 0;
}

#undef TESSARY_REG_INLINE

// Whether the zero-width node `op` (AtStart, AtEnd, WordStart, WordEnd)
// holds at `pos`.
inline bool AssertionHolds(unsigned char op, const char* s, int len, int pos) {
    switch (op) {
        case RegOp::AtStart:
            return pos == 0;
        case RegOp::AtEnd:
            return pos == len;
        case RegOp::WordStart:
            return pos < len && IsRegWordChar(s[pos]) && (pos == 0 || !IsRegWordChar(s[pos - 1]));
        default:  // WordEnd
            return pos >= len || !IsRegWordChar(s[pos]);
    }
}

// The largest repeat count from `count` down to `min` after which a following
// literal can start, that is, the subject character at base + count is
// `nextChar`; any count when `nextChar` is 0. -1 when no count is left. Each
// count tested adds to `steps`.
inline int BackOffRepeat(const char* s, int len, int base, int count, int min, char nextChar, std::uint64_t& steps) {
    if (nextChar == '\0') return count >= min ? count : -1;
    for (; count >= min; --count) {
        ++steps;
        if (base + count < len && s[base + count] == nextChar) return count;
    }
    return -1;
}

}  // namespace detail
}  // namespace Tessary
