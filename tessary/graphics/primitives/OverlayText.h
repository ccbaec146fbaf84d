#pragma once

// Texts of the 2D overlay: a text string with its font and cursor, a text
// box that lays the text out at a width, and a callout, a text box that
// points at a 3D location. They share the shape base's outline and fill.
//
// Edge cases: a default text is empty, in Font::DefaultFont(), cursor 0 and
// hidden. Only the callout has a Transform, and it moves the 3D location
// only (location 2d is the host's, for its own projection).
//
// Archive forms:
//   TextStringPrimitive: the shape form; the text; the font face; the font
//     size (word, kept as read); the cursor position (word); show cursor
//     (word). The face is a string from schema 10 on (unsigned, so the unset
//     schema too) and whenever storing; loading with schema 9 or less reads
//     a font number word instead: 1 Arial, 2 Times New Roman, 3 Courier New,
//     anything else keeps the face. Show cursor loads as true only from a
//     word of exactly 1.
//   TextBoxPrimitive: the text form; the box width (float); show handles
//     (word, true only from exactly 1).
//   TextCalloutPrimitive: the box form; the location (Point3d, doubles or
//     floats by the schema); location 2d (two doubles).

#include <cstdint>

#include "tessary/color/Color.h"
#include "tessary/frame/CArchive.h"
#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/Point2d.h"
#include "tessary/geometry/Point3d.h"
#include "tessary/graphics/attributes/Font.h"
#include "tessary/graphics/primitives/OverlayShapes.h"

namespace Tessary {

class TESSARY_API TextStringPrimitive : public UnlitShapePrimitive {
public:
    TextStringPrimitive() = default;
    explicit TextStringPrimitive(unsigned int id) : UnlitShapePrimitive(id) {}
    // Cursor 0, hidden.
    TextStringPrimitive(const CString& text, const Font& font, const Point2d& origin, bool isOutlined,
                        const Color& foreground, int outlineWidth, bool isFilled, const Color& background,
                        unsigned int id)
        : UnlitShapePrimitive(origin, isOutlined, foreground, outlineWidth, isFilled, background, id),
          m_text(text),
          m_font(font) {}
    // Empty text in the default font.
    TextStringPrimitive(const Point2d& origin, bool isOutlined, const Color& foreground, int outlineWidth,
                        bool isFilled, const Color& background, unsigned int id)
        : UnlitShapePrimitive(origin, isOutlined, foreground, outlineWidth, isFilled, background, id) {}
    TextStringPrimitive(const TextStringPrimitive&) = default;
    TextStringPrimitive& operator=(const TextStringPrimitive&) = default;
    ~TextStringPrimitive() override;

    const CString& GetTextString() const { return m_text; }
    void SetTextString(const CString& text) { m_text = text; }
    Font GetFont() const { return m_font; }
    void SetFont(const Font& font) { m_font = font; }
    int GetCursorPosition() const { return m_cursorPosition; }
    void SetCursorPosition(int position) { m_cursorPosition = position; }
    bool GetShowCursor() const { return m_showCursor; }
    void SetShowCursor(bool show) { m_showCursor = show; }

    void Serialize(CArchive& ar) override;

protected:
    CString m_text;
    Font m_font;
    std::int32_t m_cursorPosition = 0;
    bool m_showCursor = false;
};

class TESSARY_API TextBoxPrimitive : public TextStringPrimitive {
public:
    TextBoxPrimitive() = default;
    explicit TextBoxPrimitive(unsigned int id) : TextStringPrimitive(id) {}
    TextBoxPrimitive(float boxWidth, bool showHandles, const CString& text, const Font& font, const Point2d& origin,
                     bool isOutlined, const Color& foreground, int outlineWidth, bool isFilled,
                     const Color& background, unsigned int id)
        : TextStringPrimitive(text, font, origin, isOutlined, foreground, outlineWidth, isFilled, background, id),
          m_boxWidth(boxWidth),
          m_showHandles(showHandles) {}
    // Box width 0, no handles.
    TextBoxPrimitive(const CString& text, const Font& font, const Point2d& origin, bool isOutlined,
                     const Color& foreground, int outlineWidth, bool isFilled, const Color& background,
                     unsigned int id)
        : TextStringPrimitive(text, font, origin, isOutlined, foreground, outlineWidth, isFilled, background, id) {}
    TextBoxPrimitive(const TextBoxPrimitive&) = default;
    TextBoxPrimitive& operator=(const TextBoxPrimitive&) = default;
    ~TextBoxPrimitive() override;

    float GetBoxWidth() const { return m_boxWidth; }
    void SetBoxWidth(float width) { m_boxWidth = width; }
    bool GetShowHandles() const { return m_showHandles; }
    void SetShowHandles(bool show) { m_showHandles = show; }

    void Serialize(CArchive& ar) override;

protected:
    float m_boxWidth = 0.0f;
    bool m_showHandles = false;
};

class TESSARY_API TextCalloutPrimitive : public TextBoxPrimitive {
public:
    TextCalloutPrimitive() = default;
    explicit TextCalloutPrimitive(unsigned int id) : TextBoxPrimitive(id) {}
    // Location 2d (0, 0).
    TextCalloutPrimitive(const Point3d& location, float boxWidth, bool showHandles, const CString& text,
                         const Font& font, const Point2d& origin, bool isOutlined, const Color& foreground,
                         int outlineWidth, bool isFilled, const Color& background, unsigned int id)
        : TextBoxPrimitive(boxWidth, showHandles, text, font, origin, isOutlined, foreground, outlineWidth,
                           isFilled, background, id),
          m_location(location) {}
    // Location and location 2d zero.
    TextCalloutPrimitive(float boxWidth, bool showHandles, const CString& text, const Font& font,
                         const Point2d& origin, bool isOutlined, const Color& foreground, int outlineWidth,
                         bool isFilled, const Color& background, unsigned int id)
        : TextBoxPrimitive(boxWidth, showHandles, text, font, origin, isOutlined, foreground, outlineWidth,
                           isFilled, background, id) {}
    TextCalloutPrimitive(const TextCalloutPrimitive&) = default;
    TextCalloutPrimitive& operator=(const TextCalloutPrimitive&) = default;
    ~TextCalloutPrimitive() override;

    const Point3d& GetLocation() const { return m_location; }
    void SetLocation(const Point3d& location) { m_location = location; }
    const Point2d& GetLocation2d() const { return m_location2d; }
    void SetLocation2d(const Point2d& location) { m_location2d = location; }

    void Serialize(CArchive& ar) override;
    // The location becomes location * m; nothing else changes.
    virtual void Transform(const Matrix4x4& m);

protected:
    Point3d m_location;
    Point2d m_location2d;
};

static_assert(sizeof(TextCalloutPrimitive) <= 168, "a callout is a shape, a text, a font and two locations");

}  // namespace Tessary
