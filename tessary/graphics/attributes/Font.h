#pragma once

// Font: a typeface name and a size in points, as labels carry them. The
// library does not check the face against any font list; a renderer decides
// what an unknown face means.
//
// Edge cases: the constructor stores any size, 0 and negative included;
// SetSize ignores sizes below 1. Equality compares faces byte for byte,
// case-sensitively. A default-constructed font is DefaultFont(), the font
// labels start with, so a host's array of fonts never holds a size-0 face
// nobody chose. The default fonts are made afresh by each call, so the
// library keeps no font object of its own and nothing depends on start-up order.

#include <cstdint>
#include <utility>

#include "tessary/frame/CArchive.h"
#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"

namespace Tessary {

class TESSARY_API Font {
public:
    Font() : Font(DefaultFont()) {}
    Font(CString face, int size) : m_face(std::move(face)), m_size(size) {}

    static Font DefaultFont() { return Font("Arial", 12); }
    static Font DefaultBigFont() { return Font("Arial", 16); }

    CString GetFace() const { return m_face; }
    void SetFace(CString face) { m_face = std::move(face); }
    int GetSize() const { return m_size; }
    // Sizes below 1 are ignored.
    void SetSize(int size) {
        if (size > 0) m_size = size;
    }

    bool operator==(const Font& other) const { return m_size == other.m_size && m_face == other.m_face; }
    bool operator!=(const Font& other) const { return !(*this == other); }

    // The face (archive string), then the size (32-bit word); no version test.
    void Serialize(CArchive& ar);

protected:
    CString m_face;
    std::int32_t m_size = 0;
};

}  // namespace Tessary
