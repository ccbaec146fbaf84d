#pragma once

// Color: the library's one colour value, four bytes R, G, B, A with nothing
// else, so arrays of colours are packed 4-byte values that archives may copy
// as raw memory. A is the transparency (0 = opaque); every colour the library
// makes on its own is opaque.
//
// Conversions the rest of the library relies on:
// * packed value: R in bits 0-7, G 8-15, B 16-23, A 24-31 (the four bytes as
//   one little-endian word). Only the low 32 bits of an `unsigned long` count.
// * unit floats: byte c reads as c * 0.003921568859368563f, just above 1/255,
//   so byte -> float -> byte is the identity.
// * float -> byte: integer part of f * 255, truncated toward zero, low 8 bits
//   kept. No clamping: values outside 0..1 wrap; NaN and infinities give 0.
//
// GetRGB() keeps A; the conversion to unsigned long drops it. `*` and `/`
// return an opaque colour, `*=` and `/=` keep A. Division by zero changes
// nothing.

#include <cmath>
#include <cstdint>
#include <iosfwd>

#include "tessary/frame/CArchive.h"
#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"
#include "tessary/frame/Serialization.h"

namespace Tessary {

class TESSARY_API Color {
public:
    constexpr Color() : m_r(0), m_g(0), m_b(0), m_a(0) {}
    // Low 8 bits of each argument; A = 0 for the three-component forms.
    constexpr Color(int r, int g, int b) : m_r(Low8(r)), m_g(Low8(g)), m_b(Low8(b)), m_a(0) {}
    constexpr Color(int r, int g, int b, int a) : m_r(Low8(r)), m_g(Low8(g)), m_b(Low8(b)), m_a(Low8(a)) {}
    Color(float r, float g, float b) : Color() { SetRGB(r, g, b, 0.0f); }
    Color(float r, float g, float b, float a) : Color() { SetRGB(r, g, b, a); }
    // Double literals would otherwise be ambiguous between the int and float forms.
    Color(double r, double g, double b) : Color(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b)) {}
    Color(double r, double g, double b, double a)
        : Color(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), static_cast<float>(a)) {}
    constexpr Color(unsigned long packed)
        : m_r(static_cast<unsigned char>(packed & 0xFFu)),
          m_g(static_cast<unsigned char>((packed >> 8) & 0xFFu)),
          m_b(static_cast<unsigned char>((packed >> 16) & 0xFFu)),
          m_a(static_cast<unsigned char>((packed >> 24) & 0xFFu)) {}

    constexpr Color(const Color&) = default;
    constexpr Color& operator=(const Color&) = default;
    Color& operator=(unsigned long packed) { return *this = Color(packed); }

    // Named colours, all opaque. Grey is 127; Selected is the same as Yellow.
    static constexpr Color Black() { return Color(0, 0, 0); }
    static constexpr Color Red() { return Color(255, 0, 0); }
    static constexpr Color Green() { return Color(0, 255, 0); }
    static constexpr Color Yellow() { return Color(255, 255, 0); }
    static constexpr Color Selected() { return Color(255, 255, 0); }
    static constexpr Color Blue() { return Color(0, 0, 255); }
    static constexpr Color Magenta() { return Color(255, 0, 255); }
    static constexpr Color Cyan() { return Color(0, 255, 255); }
    static constexpr Color White() { return Color(255, 255, 255); }
    static constexpr Color Grey() { return Color(127, 127, 127); }
    static constexpr Color ReadOnly() { return Color(230, 230, 230); }
    static constexpr Color Hidden() { return Color(135, 135, 135); }

    constexpr unsigned char GetR() const { return m_r; }
    constexpr unsigned char GetG() const { return m_g; }
    constexpr unsigned char GetB() const { return m_b; }
    constexpr unsigned char GetA() const { return m_a; }
    float GetRFloat() const { return ByteToFloat(m_r); }
    float GetGFloat() const { return ByteToFloat(m_g); }
    float GetBFloat() const { return ByteToFloat(m_b); }
    float GetAFloat() const { return ByteToFloat(m_a); }

    // The packed value with A.
    constexpr unsigned long GetRGB() const {
        return static_cast<unsigned long>(m_r) | (static_cast<unsigned long>(m_g) << 8) |
               (static_cast<unsigned long>(m_b) << 16) | (static_cast<unsigned long>(m_a) << 24);
    }
    void GetRGB(unsigned long& packed) const { packed = GetRGB(); }
    // The packed value without A.
    constexpr operator unsigned long() const { return GetRGB() & 0xFFFFFFul; }
    // The four bytes in storage order R, G, B, A.
    operator const unsigned char*() const { return &m_r; }

    void GetRGB(unsigned char& r, unsigned char& g, unsigned char& b) const { r = m_r; g = m_g; b = m_b; }
    void GetRGB(unsigned char& r, unsigned char& g, unsigned char& b, unsigned char& a) const {
        GetRGB(r, g, b);
        a = m_a;
    }
    void GetRGB(int& r, int& g, int& b) const { r = m_r; g = m_g; b = m_b; }
    void GetRGB(int& r, int& g, int& b, int& a) const {
        GetRGB(r, g, b);
        a = m_a;
    }
    void GetRGB(float& r, float& g, float& b) const { r = GetRFloat(); g = GetGFloat(); b = GetBFloat(); }
    void GetRGB(float& r, float& g, float& b, float& a) const {
        GetRGB(r, g, b);
        a = GetAFloat();
    }
    // "R G B" in decimal; A is not included.
    CString GetRGBString() const;

    Color& SetR(unsigned char v) { m_r = v; return *this; }
    Color& SetG(unsigned char v) { m_g = v; return *this; }
    Color& SetB(unsigned char v) { m_b = v; return *this; }
    Color& SetA(unsigned char v) { m_a = v; return *this; }
    Color& SetR(float v) { m_r = FloatToByte(v); return *this; }
    Color& SetG(float v) { m_g = FloatToByte(v); return *this; }
    Color& SetB(float v) { m_b = FloatToByte(v); return *this; }
    Color& SetA(float v) { m_a = FloatToByte(v); return *this; }
    // Integer arguments keep their low 8 bits (an int would be ambiguous otherwise).
    Color& SetR(int v) { return SetR(Low8(v)); }
    Color& SetG(int v) { return SetG(Low8(v)); }
    Color& SetB(int v) { return SetB(Low8(v)); }
    Color& SetA(int v) { return SetA(Low8(v)); }

    // The three-component setters leave A as it was.
    Color& SetRGB(int r, int g, int b) { m_r = Low8(r); m_g = Low8(g); m_b = Low8(b); return *this; }
    Color& SetRGB(int r, int g, int b, int a) { SetRGB(r, g, b); m_a = Low8(a); return *this; }
    Color& SetRGB(unsigned char r, unsigned char g, unsigned char b) { m_r = r; m_g = g; m_b = b; return *this; }
    Color& SetRGB(unsigned char r, unsigned char g, unsigned char b, unsigned char a) {
        SetRGB(r, g, b);
        m_a = a;
        return *this;
    }
    Color& SetRGB(float r, float g, float b) {
        m_r = FloatToByte(r); m_g = FloatToByte(g); m_b = FloatToByte(b);
        return *this;
    }
    Color& SetRGB(float r, float g, float b, float a) { SetRGB(r, g, b); m_a = FloatToByte(a); return *this; }
    Color& SetRGB(double r, double g, double b) {
        return SetRGB(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b));
    }
    Color& SetRGB(double r, double g, double b, double a) {
        return SetRGB(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), static_cast<float>(a));
    }
    // A colour name (black, red, green, yellow, blue, magenta, cyan, white,
    // grey; any letter case, no surrounding blanks) replaces all four
    // components; three integers set R, G, B clamped to 0..255 and keep A.
    // Anything else, including empty text, leaves the colour unchanged.
    Color& SetRGB(const CString& text);

    // R, G and B scaled in the unit-float view; A kept.
    Color& operator*=(double k) { return ScaleRGB(k); }
    Color& operator*=(float k) { return ScaleRGB(static_cast<double>(k)); }
    // Division by zero leaves the colour unchanged.
    Color& operator/=(double k) { return k == 0.0 ? *this : ScaleRGB(1.0, k); }
    Color& operator/=(float k) { return *this /= static_cast<double>(k); }
    // Scaled copies are opaque (A = 0), except that division by zero returns
    // an exact copy.
    Color operator*(double k) const { return Color(*this).ScaleRGB(k).SetA(static_cast<unsigned char>(0)); }
    Color operator*(float k) const { return *this * static_cast<double>(k); }
    Color operator/(double k) const {
        return k == 0.0 ? *this : Color(*this).ScaleRGB(1.0, k).SetA(static_cast<unsigned char>(0));
    }
    Color operator/(float k) const { return *this / static_cast<double>(k); }

    friend constexpr bool operator==(const Color& a, const Color& b) {
        return a.m_r == b.m_r && a.m_g == b.m_g && a.m_b == b.m_b && a.m_a == b.m_a;
    }
    friend constexpr bool operator!=(const Color& a, const Color& b) { return !(a == b); }

    // One 32-bit word: the packed value, A included.
    void Serialize(CArchive& ar);

private:
    static constexpr float kByteToFloat = 0.003921568859368563f;

    static constexpr unsigned char Low8(int v) { return static_cast<unsigned char>(v & 0xFF); }
    static float ByteToFloat(unsigned char c) { return static_cast<float>(c) * kByteToFloat; }
    static unsigned char FloatToByte(float f) {
        const float scaled = f * 255.0f;
        if (scaled >= 0.0f && scaled < 2147483648.0f) return static_cast<unsigned char>(static_cast<std::int32_t>(scaled) & 0xFF);
        return WrapToByte(scaled);
    }
    // Out-of-range and negative products: the low 8 bits of the truncated value.
    static unsigned char WrapToByte(float scaled);
    // Each of R, G, B becomes FloatToByte(unit * factor / divisor).
    Color& ScaleRGB(double factor, double divisor = 1.0) {
        m_r = FloatToByte(static_cast<float>(ByteToFloat(m_r) * factor / divisor));
        m_g = FloatToByte(static_cast<float>(ByteToFloat(m_g) * factor / divisor));
        m_b = FloatToByte(static_cast<float>(ByteToFloat(m_b) * factor / divisor));
        return *this;
    }

    // Shared with the colour-map code, which blends in the same unit-float view.
    friend class ColorMap;

    unsigned char m_r;
    unsigned char m_g;
    unsigned char m_b;
    unsigned char m_a;
};

static_assert(sizeof(Color) == 4, "Color is four packed bytes; colour arrays are archived as raw memory");

// Text form: R G B A separated by single blanks, or, with a field width w >= 1
// in force, each component in a field of width w with no separator.
TESSARY_API std::ostream& operator<<(std::ostream& os, const Color& color);
// Reads four integers R G B A; the colour changes only if all four were read.
TESSARY_API std::istream& operator>>(std::istream& is, Color& color);

// The archive form of Serialize, for callers that chain archive operators.
inline CArchive& operator<<(CArchive& ar, const Color& color) { return StoreValue(ar, color); }
inline CArchive& operator>>(CArchive& ar, Color& color) { return LoadValue(ar, color); }

// Archive adapter: the colour word with its A byte cleared on storing, so only
// R, G and B survive; loading takes the whole word, so the colour comes back
// opaque. The object's own A is left alone when storing.
struct ColorWithoutAlpha {
    Color& color;
};
inline ColorWithoutAlpha WithoutAlpha(Color& color) { return {color}; }
TESSARY_API void ArchiveField(CArchive& ar, ColorWithoutAlpha& field);

}  // namespace Tessary
