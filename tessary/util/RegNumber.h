#pragma once

// RegNumber: an integer-range filter such as "10-20", "-5--1" or "7", matched
// against subjects that start with an integer (residue numbers, serials).
//
// Edge-case contract:
// * A subject converts like atol: its leading integer, 0 when there is none,
//   so "7abc" reads as 7. Values beyond 32 bits saturate.
// * The ends are taken as written, never swapped: "20-10" matches nothing.
// * An empty range text is the range 0..1.
// * With `whole` true a subject matches only a single-number pattern equal
//   to it.

#include <cstdint>

#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"
#include "tessary/util/Pattern.h"

namespace Tessary {

class TESSARY_API RegNumber : public Pattern<CString> {
public:
    explicit RegNumber(const CString& text);
    RegNumber(const RegNumber& other) = default;
    RegNumber& operator=(const RegNumber& other) = default;
    ~RegNumber() override = default;

    Pattern<CString>* Copy() const override;
    bool Match(const CString& subject, bool whole) override;

    // True when `text` is a range of two integer words ("1-2", "-5--1");
    // a single number is not a range.
    static bool IsRegNumber(const CString& text);

    std::int32_t GetMinimum() const { return m_minimum; }
    std::int32_t GetMaximum() const { return m_maximum; }

protected:
    std::int32_t m_maximum = 0;
    std::int32_t m_minimum = 0;
};

}  // namespace Tessary
