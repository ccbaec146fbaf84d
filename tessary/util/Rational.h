#pragma once

// Rational: an exact fraction of two 16-bit integers for ratios such as
// crystallographic fractions and symmetry translations (1/2, 1/3, 3/4).
// It keeps itself in lowest terms with the sign on the numerator.
//
// Edge-case contract:
// * SetFraction stores n/1, n/0 and 0/d as given (0/7 stays 0/7); n/-1
//   becomes -n/1; everything else is reduced.
// * Values wrap to 16 bits before they are reduced; arithmetic forms its
//   products in 32 bits (wrapping) before SetFraction.
// * A zero denominator is representable; its value is -DBL_MAX for a
//   negative numerator and +DBL_MAX otherwise (0/0 included).
// * Text input stores a value only when "n/d" was read in full; otherwise
//   the stream is failed and the value unchanged.
// * 32768 exists in 16 bits only as -32768. Where the reduced form would need
//   +32768 in a field (n/32768 with n odd, 32768/d with d odd, 32768/1), both
//   signs flip instead: 5/-32768 stays 5/-32768 (value -5/32768), -5/-32768
//   stays -5/-32768 (value +5/32768), -32768/-3 stays so, and -(-32768/1) is
//   -32768/-1. Value and sign are exact; such a value is a fixed point of
//   SetFraction, so text and archive round trips keep it. Negation changes
//   the other field when the named one is -32768 (-32768/0 stays as it is).
// * Comparisons cross-multiply with both denominators taken positive, so the
//   forms with a negative denominator (these, and 0/-d) compare by value.

#include <cstdint>
#include <iosfwd>

#include "tessary/frame/CArchive.h"
#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"

namespace Tessary {

class Rational;
// The archive form: two 16-bit little-endian words, numerator first; loading
// applies SetFraction. Classes holding a Rational field archive it through this.
TESSARY_API void ArchiveField(CArchive& ar, Rational& r);

class TESSARY_API Rational {
public:
    Rational(int numerator = 0, int denominator = 1) { SetFraction(numerator, denominator); }

    Rational& SetFraction(int n, int d);
    Rational& SetNumerator(int n) { return SetFraction(n, m_denominator); }
    Rational& SetDenominator(int d) { return SetFraction(m_numerator, d); }

    int GetNumerator() const { return m_numerator; }
    int GetDenominator() const { return m_denominator; }
    void GetFraction(short& n, short& d) const { n = m_numerator, d = m_denominator; }
    void GetFraction(int& n, int& d) const { n = m_numerator, d = m_denominator; }
    void GetFraction(long& n, long& d) const { n = m_numerator, d = m_denominator; }

    double CalcValue() const;
    operator double() const { return CalcValue(); }

    // True for a zero with a non-zero denominator.
    bool operator!() const { return m_numerator == 0 && m_denominator != 0; }

    Rational& operator+=(const Rational& r);
    Rational& operator-=(const Rational& r);
    Rational& operator*=(const Rational& r);
    Rational& operator/=(const Rational& r);

    // On a const object: a copy rebuilt through the constructor (so reduced).
    Rational operator+() const { return Rational(m_numerator, m_denominator); }
    // On a const object: a negated copy.
    Rational operator-() const { return Rational(*this).Negate(); }
    // On a non-const object: the object itself.
    Rational& operator+() { return *this; }
    // On a non-const object: negates the object itself.
    Rational& operator-() { return Negate(); }

    // "n/d" with no spaces.
    CString String() const;

private:
    friend void ArchiveField(CArchive& ar, Rational& r);

    Rational& Negate();
    void Reduce();

    std::int16_t m_numerator = 0;
    std::int16_t m_denominator = 1;
};

static_assert(sizeof(Rational) == 4, "Rational is two 16-bit fields");

inline Rational operator+(const Rational& a, const Rational& b) { return Rational(a) += b; }
inline Rational operator-(const Rational& a, const Rational& b) { return Rational(a) -= b; }
inline Rational operator*(const Rational& a, const Rational& b) { return Rational(a) *= b; }
inline Rational operator/(const Rational& a, const Rational& b) { return Rational(a) /= b; }

// Cross-multiplied comparisons, as the fractions stand (no reduction).
TESSARY_API bool operator==(const Rational& a, const Rational& b);
TESSARY_API bool operator!=(const Rational& a, const Rational& b);
TESSARY_API bool operator<(const Rational& a, const Rational& b);
TESSARY_API bool operator<=(const Rational& a, const Rational& b);
TESSARY_API bool operator>(const Rational& a, const Rational& b);
TESSARY_API bool operator>=(const Rational& a, const Rational& b);

// Width w > 0: numerator, "/" and denominator each in a field of w; else "n/d".
TESSARY_API std::ostream& operator<<(std::ostream& os, const Rational& r);
TESSARY_API std::istream& operator>>(std::istream& is, Rational& r);

// The archive form of ArchiveField, for callers that chain archive operators.
TESSARY_API CArchive& operator<<(CArchive& ar, const Rational& r);
TESSARY_API CArchive& operator>>(CArchive& ar, Rational& r);

}  // namespace Tessary
