// Compiles an expression and matches it against a subject, both taken from the
// input: the first byte holds options, the pattern runs up to the first NUL,
// the subject is the rest. Option bit 0 asks for a whole match; bit 1 repeats
// the subject to about 64 KB so that long subjects and deep backtracking are
// exercised. No input may crash, overflow the stack or hang.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "tessary/util/RegExpression.h"
#include "tessary/util/RegNumber.h"

using namespace Tessary;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const unsigned options = data[0];
    const char* rest = reinterpret_cast<const char*>(data + 1);
    const std::size_t restSize = size - 1;
    const void* nul = std::memchr(rest, '\0', restSize);
    const std::size_t patternSize = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - rest) : restSize;
    const std::string pattern(rest, patternSize);
    std::string subject = patternSize < restSize ? std::string(rest + patternSize + 1, restSize - patternSize - 1)
                                                 : std::string();
    if ((options & 2) && !subject.empty()) {
        while (subject.size() < 65536) subject += subject;
    }
    const bool whole = options & 1;

    RegExpression re(CString(pattern), false);
    const bool matched = re.Match(CString(subject), whole);
    const int count = re.GetSubstringCount();
    // Only the empty-subject rule of ".*" matches without a whole match.
    const bool emptyRule = subject.empty() && re.GetText() == ".*";
    if (matched && count < 1 && !emptyRule) __builtin_trap();
    if (count > 10) __builtin_trap();
    for (int i = -1; i <= count; ++i) {
        const CString part = re.GetSubstring(i);
        if (part.GetLength() > static_cast<int>(subject.size())) __builtin_trap();
    }
    // A copy compiles afresh and must agree.
    std::unique_ptr<Pattern<CString>> copy(re.Copy());
    if (copy->Match(CString(subject), whole) != matched) __builtin_trap();
    (void)RegExpression::IsRegExpression(CString(pattern));

    // With an alternative that can never match, the same expression runs
    // through the general matcher (straight programs take a fast path): both
    // must agree on the result and every substring unless one gave up.
    const CString text = re.GetText();
    if (!emptyRule) {
        RegExpression general(text + "|$x", false);
        const bool generalMatched = general.Match(CString(subject), whole);
        if (!re.GetErrorMessage() && !general.GetErrorMessage()) {
            if (generalMatched != matched) __builtin_trap();
            if (general.GetSubstringCount() != count) __builtin_trap();
            for (int i = 0; i < count; ++i)
                if (general.GetSubstring(i) != re.GetSubstring(i)) __builtin_trap();
        }
    }

    RegNumber range{CString(pattern)};
    (void)range.Match(CString(subject), whole);
    (void)RegNumber::IsRegNumber(CString(pattern));
    return 0;
}
