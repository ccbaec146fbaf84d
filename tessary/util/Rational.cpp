#include "tessary/util/Rational.h"

#include <cfloat>
#include <cstdlib>
#include <iomanip>
#include <istream>
#include <ostream>

namespace Tessary {

namespace {

// Two's-complement narrowing, the way 16- and 32-bit fields keep values.
std::int16_t Wrap16(long long v) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(v)); }
int Wrap32(long long v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }

}  // namespace

Rational& Rational::SetFraction(int n, int d) {
    if (d == 1 || d == 0 || n == 0) {
        m_numerator = Wrap16(n);
        m_denominator = Wrap16(d);
    } else if (d == -1) {
        m_numerator = Wrap16(-static_cast<long long>(n));
        m_denominator = 1;
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
    m_numerator = Wrap16(negative ? -a : a);
    m_denominator = Wrap16(b);
}

Rational& Rational::Negate() {
    if (m_denominator < 0) m_denominator = Wrap16(-static_cast<int>(m_denominator));
    else m_numerator = Wrap16(-static_cast<int>(m_numerator));
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

// Products of two 16-bit values always fit in 32 bits.
bool operator==(const Rational& a, const Rational& b) {
    return b.GetDenominator() * a.GetNumerator() == a.GetDenominator() * b.GetNumerator();
}
bool operator!=(const Rational& a, const Rational& b) { return !(a == b); }
bool operator<(const Rational& a, const Rational& b) {
    return b.GetDenominator() * a.GetNumerator() < a.GetDenominator() * b.GetNumerator();
}
bool operator<=(const Rational& a, const Rational& b) {
    return a.GetDenominator() * b.GetNumerator() >= b.GetDenominator() * a.GetNumerator();
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

CArchive& operator<<(CArchive& ar, const Rational& r) {
    return ar << static_cast<std::int16_t>(r.GetNumerator()) << static_cast<std::int16_t>(r.GetDenominator());
}

CArchive& operator>>(CArchive& ar, Rational& r) {
    std::int16_t n;
    std::int16_t d;
    ar >> n >> d;
    r.SetFraction(n, d);
    return ar;
}

}  // namespace Tessary
