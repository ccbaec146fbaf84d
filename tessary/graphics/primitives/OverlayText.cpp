#include "tessary/graphics/primitives/OverlayText.h"

#include "tessary/frame/Serialization.h"
#include "tessary/graphics/attributes/detail/OldFontNumber.h"

namespace Tessary {

namespace {

// The font's face and size. Before schema 10 a face was one of three font
// numbers; a number we do not know keeps the face the text had.
struct FontForm {
    Font& font;
};
void ArchiveField(CArchive& ar, FontForm& field) {
    if (ar.IsStoring() || SchemaAtLeastUnsigned(ar, 10)) {
        ArchiveFields(ar, field.font);
        return;
    }
    CString face = field.font.GetFace();
    std::int32_t size = 0;
    ArchiveFields(ar, detail::OldFontNumber(face), size);
    field.font = Font(face, size);
}

}  // namespace

TextStringPrimitive::~TextStringPrimitive() = default;
TextBoxPrimitive::~TextBoxPrimitive() = default;
TextCalloutPrimitive::~TextCalloutPrimitive() = default;

void TextStringPrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](TextStringPrimitive& t) {
        t.UnlitShapePrimitive::Serialize(ar);
        ArchiveFields(ar, t.m_text, FontForm{t.m_font}, t.m_cursorPosition, AsWordIsOne(t.m_showCursor));
    });
}

void TextBoxPrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](TextBoxPrimitive& b) {
        b.TextStringPrimitive::Serialize(ar);
        ArchiveFields(ar, b.m_boxWidth, AsWordIsOne(b.m_showHandles));
    });
}

void TextCalloutPrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](TextCalloutPrimitive& c) {
        c.TextBoxPrimitive::Serialize(ar);
        ArchiveFields(ar, c.m_location, c.m_location2d);
    });
}

void TextCalloutPrimitive::Transform(const Matrix4x4& m) { m.Transform(m_location); }

}  // namespace Tessary
