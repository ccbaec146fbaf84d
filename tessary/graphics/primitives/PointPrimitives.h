#pragma once

// Things drawn at one coloured point: plain points, dots, 3D text labels and
// icons. All share UnlitPointPrimitive's coord (a vertex: the point and its
// colour) and its Transform, which moves the point only: a dot's width, a
// label's text, font and z offset, an icon's scale and flags stay.
//
// Archive forms:
//   point   object ID; the coord's vertex form (colour word with A cleared,
//           then the point)
//   dot     the point form; width
//   icon    the point form; icon ID; rotation invariant, scale invariant and
//           use colour as words (non-zero loads as true); the scale as a
//           double. Note the order: the flags lie the other way round in the
//           object, and the constructors take rotation before scale too.
//   text    from version 11 on, compared unsigned (so the unset version
//           too): the point form; text; font face (string); font size;
//           z offset (double); is annotation (word).
//           Up to version 10: object ID; colour word (A cleared when
//           storing, the whole word when loading); text; font face; font
//           size; position; z offset; is annotation. Storing always writes
//           the face as a string; loading reads a string with version 10
//           and, with 9 or less, an old font number: 1 Arial, 2 Times New
//           Roman, 3 Courier New, any other number keeps the face. So a
//           label stored under 9 or less does not load back under the same
//           version: those versions exist to read old files.
// Points follow Point3d's rule: doubles while the version is unset or at most
// 6, floats from 7 on. A load that throws leaves the object as it was.

#include <cstdint>

#include "tessary/color/Color.h"
#include "tessary/frame/CArchive.h"
#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/Point3d.h"
#include "tessary/graphics/attributes/Font.h"
#include "tessary/graphics/primitives/GraphicsPrimitive.h"
#include "tessary/graphics/primitives/Vertex.h"

namespace Tessary {

class TESSARY_API UnlitPointPrimitive : public UnlitPrimitive {
public:
    UnlitPointPrimitive() = default;
    UnlitPointPrimitive(const Point3d& coord, const Color& color, unsigned int id)
        : UnlitPrimitive(id), m_coord(coord, color) {}

    const Point3d& GetCoord() const { return m_coord.GetPoint(); }
    void SetCoord(const Point3d& coord) { m_coord.SetPoint(coord); }
    Color GetColor() const { return m_coord.GetColor(); }
    void SetColor(const Color& color) { m_coord.SetColor(color); }

    // Moves the point; nothing else of a point kind changes.
    virtual void Transform(const Matrix4x4& m) { m_coord.Transform(m); }

    void Serialize(CArchive& ar);

protected:
    Vertex m_coord;
};

class TESSARY_API DotPrimitive : public UnlitPointPrimitive {
public:
    DotPrimitive() = default;
    DotPrimitive(const Point3d& coord, const Color& color, int width, unsigned int id)
        : UnlitPointPrimitive(coord, color, id), m_width(width) {}

    int GetWidth() const { return m_width; }
    void SetWidth(int width) { m_width = width; }

    void Serialize(CArchive& ar);

protected:
    std::int32_t m_width = 1;
};

// A label at a 3D position. The z offset is a depth shift the renderer
// applies; the annotation flag is the host's.
class TESSARY_API Text3DPrimitive : public UnlitPointPrimitive {
public:
    Text3DPrimitive() = default;
    // Not an annotation.
    Text3DPrimitive(const char* text, const Point3d& position, double zOffset, const Color& color, const Font& font,
                    unsigned int id)
        : UnlitPointPrimitive(position, color, id), m_text(text), m_font(font), m_zOffset(zOffset) {}
    // Font::DefaultFont(), z offset 0, not an annotation.
    Text3DPrimitive(const char* text, const Point3d& position, const Color& color, unsigned int id)
        : UnlitPointPrimitive(position, color, id), m_text(text) {}

    const char* GetText() const { return m_text; }
    // Null sets the empty text.
    void SetText(const char* text) { m_text = CString(text); }
    Font GetFont() const { return m_font; }
    void SetFont(const Font& font) { m_font = font; }
    const Point3d& GetPosition() const { return GetCoord(); }
    void SetPosition(const Point3d& position) { SetCoord(position); }
    double GetZOffset() const { return m_zOffset; }
    void SetZOffset(double zOffset) { m_zOffset = zOffset; }
    bool GetIsAnnotation() const { return m_isAnnotation; }
    void SetIsAnnotation(bool isAnnotation) { m_isAnnotation = isAnnotation; }

    void Serialize(CArchive& ar);

protected:
    CString m_text;
    Font m_font;
    double m_zOffset = 0.0;
    bool m_isAnnotation = false;
};

// An icon of the icon library placed at a point; the vertex colour tints it
// when use colour is set.
class TESSARY_API IconPrimitive : public UnlitPointPrimitive {
public:
    IconPrimitive() = default;
    // Note the flag order, rotation before scale. Uses its colour; scale 1.
    IconPrimitive(const Point3d& coord, unsigned int iconID, bool rotationInvariant, bool scaleInvariant,
                  const Color& color, unsigned int id)
        : UnlitPointPrimitive(coord, color, id), m_iconID(iconID), m_scaleInvariant(scaleInvariant),
          m_rotationInvariant(rotationInvariant), m_useColor(true) {}
    // Colour 0, not used; scale 1.
    IconPrimitive(const Point3d& coord, unsigned int iconID, bool rotationInvariant, bool scaleInvariant,
                  unsigned int id)
        : UnlitPointPrimitive(coord, Color(0, 0, 0, 0), id), m_iconID(iconID), m_scaleInvariant(scaleInvariant),
          m_rotationInvariant(rotationInvariant) {}

    unsigned int GetIconID() const { return m_iconID; }
    void SetIconID(unsigned int iconID) { m_iconID = iconID; }
    double GetIconScale() const { return m_iconScale; }
    void SetIconScale(double scale) { m_iconScale = scale; }
    bool GetScaleInvariant() const { return m_scaleInvariant; }
    void SetScaleInvariant(bool invariant) { m_scaleInvariant = invariant; }
    bool GetRotationInvariant() const { return m_rotationInvariant; }
    void SetRotationInvariant(bool invariant) { m_rotationInvariant = invariant; }
    bool GetUseColor() const { return m_useColor; }
    void SetUseColor(bool useColor) { m_useColor = useColor; }

    virtual void Serialize(CArchive& ar);

protected:
    std::uint32_t m_iconID = 0;
    bool m_scaleInvariant = false;
    bool m_rotationInvariant = false;
    bool m_useColor = false;
    double m_iconScale = 1.0;
};

static_assert(sizeof(UnlitPointPrimitive) <= 40, "a point is its root and a vertex");
static_assert(sizeof(DotPrimitive) <= 48, "a dot adds a width");
static_assert(sizeof(IconPrimitive) <= 56, "an icon adds an ID, three flags and a scale");
static_assert(sizeof(Text3DPrimitive) <= 128, "a label adds two strings, a size, an offset and a flag");

}  // namespace Tessary
