#include "tessary/color/Color.h"

#include <algorithm>
#include <cctype>
#include <iomanip>
#include <locale>
#include <istream>
#include <ostream>
#include <sstream>

namespace Tessary {

unsigned char Color::WrapToByte(float scaled) {
    if (!std::isfinite(scaled)) return 0;
    // fmod keeps the low 8 bits of the integer part exactly, whatever its size,
    // and avoids converting a value that does not fit an integer.
    const int low = static_cast<int>(std::fmod(std::trunc(scaled), 256.0f));
    return static_cast<unsigned char>(low & 0xFF);
}

CString Color::GetRGBString() const {
    CString text;
    text.Format("%d %d %d", m_r, m_g, m_b);
    return text;
}

Color& Color::SetRGB(const CString& text) {
    if (text.IsEmpty()) return *this;
    if (std::isalpha(static_cast<unsigned char>(text.GetAt(0)))) {
        static constexpr struct {
            const char* name;
            Color color;
        } kNames[] = {
            {"black", Black()}, {"red", Red()},         {"green", Green()}, {"yellow", Yellow()}, {"blue", Blue()},
            {"magenta", Magenta()}, {"cyan", Cyan()}, {"white", White()}, {"grey", Grey()},
        };
        CString lower(text);
        lower.MakeLower();
        for (const auto& entry : kNames) {
            if (lower == CString(entry.name)) return *this = entry.color;
        }
        return *this;
    }
    // 32-bit extraction: a number that does not fit fails as it does for a
    // 32-bit long, rather than being clamped.
    std::istringstream in(text.str());
    in.imbue(std::locale::classic());  // a host's global locale must not change what parses
    std::int32_t r, g, b;
    if (!(in >> r >> g >> b)) return *this;
    auto clamp = [](std::int32_t v) { return static_cast<unsigned char>(std::clamp<std::int32_t>(v, 0, 255)); };
    m_r = clamp(r);
    m_g = clamp(g);
    m_b = clamp(b);
    return *this;
}

void Color::Serialize(CArchive& ar) {
    // The four bytes in memory order are the packed little-endian word.
    ArchiveObject(ar, *this, [&ar](Color& c) { ArchiveFields(ar, c.m_r, c.m_g, c.m_b, c.m_a); });
}

void ArchiveField(CArchive& ar, ColorWithoutAlpha& field) {
    Color word(field.color.GetR(), field.color.GetG(), field.color.GetB());
    ArchiveFieldsThen(ar, [&] { field.color = word; }, word);
}

std::ostream& operator<<(std::ostream& os, const Color& color) {
    const std::streamsize width = os.width();
    const int parts[4] = {color.GetR(), color.GetG(), color.GetB(), color.GetA()};
    for (int i = 0; i < 4; ++i) {
        if (width >= 1) {
            os << std::setw(static_cast<int>(width)) << parts[i];
        } else {
            if (i > 0) os << ' ';
            os << parts[i];
        }
    }
    return os;
}

std::istream& operator>>(std::istream& is, Color& color) {
    int r, g, b, a;
    if (is >> r >> g >> b >> a) color = Color(r, g, b, a);
    return is;
}

}  // namespace Tessary
