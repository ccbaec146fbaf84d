#pragma once

// The process-wide cache of integer-to-numeral conversions. It is one of the
// library's ordered static objects; the CString form of IntegerToRomanNumeral
// is its only user.

#include "tessary/frame/CMap.h"
#include "tessary/frame/CString.h"

namespace Tessary {
namespace detail {

class RomanNumeralCache : public CMap<int, int, CString, const CString&> {
public:
    RomanNumeralCache() { InitHashTable(17); }
};

extern RomanNumeralCache g_romanNumeralCache;

}  // namespace detail
}  // namespace Tessary
