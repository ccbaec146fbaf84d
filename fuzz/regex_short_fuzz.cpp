// Name-sized expressions against name-sized subjects, the way hosts filter
// atom and residue names, so that thousands of inputs run each second. The
// first byte holds options (bit 0 asks for a whole match), the pattern runs
// up to the first NUL, the subject is the rest; longer inputs are skipped.
//
// Every expression runs three ways that must agree on the result and on
// every substring: as written, matched twice so that the second Match takes
// the shortest paths of a compiled program; wrapped in a group, which keeps
// a straight program off the simple paths; and with an alternative that
// never matches, which leaves only the general matcher.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "tessary/util/RegExpression.h"

using namespace Tessary;

namespace {

constexpr std::size_t kMaxPattern = 32;
constexpr std::size_t kMaxSubject = 48;

struct Outcome {
    bool matched;
    int count;
    CString parts[10];
};

Outcome Run(RegExpression& re, const CString& subject, bool whole) {
    Outcome out{};
    out.matched = re.Match(subject, whole);
    out.count = re.GetSubstringCount();
    if (out.count < 0 || out.count > 10) __builtin_trap();
    for (int i = 0; i < out.count; ++i) out.parts[i] = re.GetSubstring(i);
    return out;
}

void ExpectSame(const Outcome& a, const Outcome& b) {
    if (a.matched != b.matched || a.count != b.count) __builtin_trap();
    for (int i = 0; i < a.count; ++i)
        if (a.parts[i] != b.parts[i]) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool whole = data[0] & 1;
    const char* rest = reinterpret_cast<const char*>(data + 1);
    const std::size_t restSize = size - 1;
    const void* nul = std::memchr(rest, '\0', restSize);
    const std::size_t patternSize = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - rest) : restSize;
    const std::size_t subjectSize = patternSize < restSize ? restSize - patternSize - 1 : 0;
    if (patternSize > kMaxPattern || subjectSize > kMaxSubject) return 0;
    const CString subject(std::string(rest + patternSize + (nul ? 1 : 0), subjectSize));

    RegExpression re(CString(std::string(rest, patternSize)), false);
    const Outcome first = Run(re, subject, whole);
    if (re.GetErrorMessage()) return 0;
    // The second Match runs the compiled program on its shortest path.
    const Outcome again = Run(re, subject, whole);
    if (!re.GetErrorMessage()) ExpectSame(first, again);
    const CString text = re.GetText();
    // Only the empty-subject rule of ".*" matches without a substring.
    const bool emptyRule = subject.IsEmpty() && text == ".*";
    if (first.matched && first.count < 1 && !emptyRule) __builtin_trap();
    if (first.count > 0 && first.parts[0].GetLength() > subject.GetLength()) __builtin_trap();
    if (emptyRule) return 0;

    std::unique_ptr<Pattern<CString>> copy(re.Copy());
    if (copy->Match(subject, whole) != first.matched) __builtin_trap();

    // A matcher that gave up proves nothing either way.
    RegExpression general(text + "|$x", false);
    Run(general, subject, whole);
    const Outcome generalOutcome = Run(general, subject, whole);
    if (!general.GetErrorMessage()) ExpectSame(first, generalOutcome);

    // One group more: group 1 is the whole match, the others move up one.
    RegExpression wrapped("(" + text + ")", false);
    Run(wrapped, subject, whole);
    const Outcome grouped = Run(wrapped, subject, whole);
    if (wrapped.GetErrorMessage()) return 0;  // a tenth group, or gave up
    if (grouped.matched != first.matched || grouped.count != (first.count ? first.count + 1 : 0)) __builtin_trap();
    for (int i = 0; i < first.count; ++i)
        if (grouped.parts[i + 1] != first.parts[i] || grouped.parts[0] != first.parts[0]) __builtin_trap();
    return 0;
}
