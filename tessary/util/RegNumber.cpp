#include "tessary/util/RegNumber.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace Tessary {

namespace {

// atol with 32-bit results: the leading integer, 0 when there is none;
// out-of-range values saturate instead of wrapping.
std::int32_t LeadingInteger(const char* text) {
    const long long v = std::strtoll(text, nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

// The position of the "-" between the two ends, or -1 when the text is no range.
int SplitPosition(const CString& text) {
    if (text.IsEmpty()) return -1;
    int dash = text.Find('-');
    if (dash == 0) dash = text.Find('-', 1);
    if (dash < 0 || dash == text.GetLength() - 1) return -1;
    return dash;
}

// Every character a digit, but "+" or "-" may lead.
bool IsIntegerWord(const CString& word) {
    for (int i = 0; i < word.GetLength(); ++i) {
        const char c = word[i];
        if (std::isdigit(static_cast<unsigned char>(c))) continue;
        if (i == 0 && (c == '+' || c == '-')) continue;
        return false;
    }
    return true;
}

}  // namespace

RegNumber::RegNumber(const CString& text) : Pattern<CString>(false) {
    if (text.IsEmpty()) {
        m_minimum = 0;
        m_maximum = 1;
        return;
    }
    const int dash = SplitPosition(text);
    if (dash > 0) {
        m_minimum = LeadingInteger(text.Left(dash));
        m_maximum = LeadingInteger(text.Mid(dash + 1));
    } else {
        m_minimum = m_maximum = LeadingInteger(text);
    }
}

Pattern<CString>* RegNumber::Copy() const { return new RegNumber(*this); }

bool RegNumber::Match(const CString& subject, bool whole) {
    const std::int32_t value = LeadingInteger(subject);
    if (whole) return value == m_minimum && value == m_maximum;
    return m_minimum <= value && value <= m_maximum;
}

bool RegNumber::IsRegNumber(const CString& text) {
    const int dash = SplitPosition(text);
    if (dash <= 0) return false;
    return IsIntegerWord(text.Left(dash)) && IsIntegerWord(text.Mid(dash + 1));
}

}  // namespace Tessary
