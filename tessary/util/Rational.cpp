#include "tessary/util/Rational.h"

#include <cfloat>
#include <cstdlib>
#include <iomanip>
#include <istream>
#include <ostream>

#include "tessary/frame/Serialization.h"

namespace Tessary {

namespace {

// Two's-complement narrowing, the way 16- and 32-bit fields keep values.
std::int16_t Wrap16(long long v) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(v)); }
int Wrap32(long long v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }
constexpr std::int16_t kMin16 = -32768;

// Cross products with both denominators made non-negative, so that the
// fractions stored with a negative denominator (0/-d, n/-32768) compare by
// their value.
struct CrossProducts {
    long long left;   // a's numerator times b's denominator
    long long right;  // b's numerator times a's denominator
};
CrossProducts Cross(const Rational& a, const Rational& b) {
    long long an = a.GetNumerator(), ad = a.GetDenominator(), bn = b.GetNumerator(), bd = b.GetDenominator();
    if (ad < 0) an = -an, ad = -ad;
    if (bd < 0) bn = -bn, bd = -bd;
    return {an * bd, bn * ad};
}

}  // namespace

Rational& Rational::SetFraction(int n, int d) {
    if (d == 1 || d == 0 || n == 0) {
        m_numerator = Wrap16(n);
        m_denominator = Wrap16(d);
    } else if (d == -1) {
        // 32768 exists only as -32768/-1.
        const long long negated = -static_cast<long long>(n);
        m_numerator = Wrap16(negated);
        m_denominator = negated == 32768 ? -1 : 1;
    } else {
        m_numerator = Wrap16(n);
        m_denominator = Wrap16(d);
        Reduce();
    }
    return *this;
}

void Rational::Reduce() {
    int a = std::abs(static_cast<int>(m_numerator));
    int b = std::abs(static_cast<int>(m_denominator));
    // Both fields can wrap to 0; there is nothing to divide by then.
    if (a == 0 && b == 0) return;
    int x = a;
    int y = b;
    while (y != 0) {
        const int t = x % y;
        x = y;
        y = t;
    }
    const bool negative = (m_numerator < 0) != (m_denominator < 0);
    a /= x;
    b /= x;
    // A magnitude of 32768 exists only as -32768. When the preferred form
    // (sign on the numerator, denominator positive) needs +32768 in either
    // field, both signs flip: the value stays exact and keeps its sign.
    const bool flip = b == 32768 || (a == 32768 && !negative);
    if (flip) b = -b;
    m_numerator = Wrap16(negative != flip ? -a : a);
    m_denominator = Wrap16(b);
}

Rational& Rational::Negate() {
    // A negative denominator takes the sign change, otherwise the numerator;
    // -32768 has no 16-bit negation, so then the other field takes it.
    const bool denominatorFirst = m_denominator < 0;
    std::int16_t& first = denominatorFirst ? m_denominator : m_numerator;
    std::int16_t& other = denominatorFirst ? m_numerator : m_denominator;
    if (first != kMin16) first = static_cast<std::int16_t>(-first);
    else if (other != kMin16) other = static_cast<std::int16_t>(-other);
    return *this;
}

double Rational::CalcValue() const {
    if (m_denominator == 0) return m_numerator < 0 ? -DBL_MAX : DBL_MAX;
    return static_cast<double>(m_numerator) / static_cast<double>(m_denominator);
}

Rational& Rational::operator+=(const Rational& r) {
    const long long a = m_numerator, b = m_denominator, c = r.m_numerator, d = r.m_denominator;
    return SetFraction(Wrap32(a * d + c * b), Wrap32(b * d));
}

Rational& Rational::operator-=(const Rational& r) {
    const long long a = m_numerator, b = m_denominator, c = r.m_numerator, d = r.m_denominator;
    return SetFraction(Wrap32(a * d - c * b), Wrap32(b * d));
}

Rational& Rational::operator*=(const Rational& r) {
    const long long a = m_numerator, b = m_denominator, c = r.m_numerator, d = r.m_denominator;
    return SetFraction(Wrap32(a * c), Wrap32(b * d));
}

Rational& Rational::operator/=(const Rational& r) {
    const long long a = m_numerator, b = m_denominator, c = r.m_numerator, d = r.m_denominator;
    return SetFraction(Wrap32(a * d), Wrap32(b * c));
}

CString Rational::String() const {
    CString text;
    text.Format("%d%c%d", static_cast<int>(m_numerator), '/', static_cast<int>(m_denominator));
    return text;
}

bool operator==(const Rational& a, const Rational& b) {
    const CrossProducts c = Cross(a, b);
    return c.left == c.right;
}
bool operator!=(const Rational& a, const Rational& b) { return !(a == b); }
bool operator<(const Rational& a, const Rational& b) {
    const CrossProducts c = Cross(a, b);
    return c.left < c.right;
}
bool operator<=(const Rational& a, const Rational& b) {
    const CrossProducts c = Cross(a, b);
    return c.right >= c.left;
}
bool operator>(const Rational& a, const Rational& b) { return !(a <= b); }
bool operator>=(const Rational& a, const Rational& b) { return !(a < b); }

std::ostream& operator<<(std::ostream& os, const Rational& r) {
    const std::streamsize w = os.width();
    if (w <= 0) return os << r.GetNumerator() << '/' << r.GetDenominator();
    return os << std::setw(static_cast<int>(w)) << r.GetNumerator() << std::setw(static_cast<int>(w)) << '/'
              << std::setw(static_cast<int>(w)) << r.GetDenominator();
}

std::istream& operator>>(std::istream& is, Rational& r) {
    short n;
    if (!(is >> n)) return is;
    char slash;
    if (!(is >> slash)) return is;
    if (slash != '/') {
        is.putback(slash);
        is.setstate(std::ios::failbit);
        return is;
    }
    short d;
    if (is >> d) r.SetFraction(n, d);
    return is;
}

void ArchiveField(CArchive& ar, Rational& r) {
    std::int16_t n = r.m_numerator;
    std::int16_t d = r.m_denominator;
    ArchiveFieldsThen(ar, [&] { r.SetFraction(n, d); }, n, d);
}

CArchive& operator<<(CArchive& ar, const Rational& r) { return StoreValue(ar, r); }

CArchive& operator>>(CArchive& ar, Rational& r) { return LoadValue(ar, r); }

}  // namespace Tessary
