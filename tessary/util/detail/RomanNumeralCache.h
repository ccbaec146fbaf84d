#pragma once

// The process-wide cache of integer-to-numeral conversions. It is one of the
// library's ordered static objects; the CString form of IntegerToRomanNumeral
// is its only user. It holds only values whose text is short: the text of a
// large value is mostly "M"s (about 2 MB near INT_MAX), and keeping those for
// the life of the process would pin memory long after the labels are gone.
// Not synchronised: convert from one thread at a time.

#include "tessary/frame/CMap.h"
#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"

namespace Tessary {
namespace detail {

// Values of magnitude up to this are cached (texts of at most 16 characters);
// the cache never grows past 2 * kRomanNumeralCachedMagnitude + 1 entries.
constexpr int kRomanNumeralCachedMagnitude = 3999;

inline bool IsRomanNumeralCached(int value) {
    return value >= -kRomanNumeralCachedMagnitude && value <= kRomanNumeralCachedMagnitude;
}

class RomanNumeralCache : public CMap<int, int, CString, const CString&> {
public:
    RomanNumeralCache() { InitHashTable(17); }
};

// Exported only so the library's tests can watch its size.
extern TESSARY_API RomanNumeralCache g_romanNumeralCache;

}  // namespace detail
}  // namespace Tessary
