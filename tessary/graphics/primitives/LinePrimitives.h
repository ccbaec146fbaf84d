#pragma once

// Lines of a scene: a line with a colour and an object ID per half, a dashed
// line, and a batch of lines that share a width and a stipple pattern.
//
// A line's object ID doubles as the ID of its first half (GetID1/SetID1 are
// GetID/SetID); the second half has its own ID 2. The constructors that take
// a single ID give both halves that ID. Transform moves both ends (translation
// included); widths, colours and IDs stay.
//
// Archive forms:
//   line        object ID; end 1 and end 2 as vertex forms (colour word with
//               A cleared, then the point); width; ID 2
//   dashed      the line form; number of dashes; start blank as one byte
//   line array  object ID; the line count (signed 32-bit) and each line's
//               form; the line width as a float; from version 13 on,
//               compared unsigned (so the unset version too): dashed as a
//               word (only the word 1 loads as true) and the pattern as a
//               16-bit word. Below 13 neither is written, and a load keeps
//               the dashed flag and pattern the array had.
// Points follow Point3d's rule: doubles while the version is unset or at most
// 6, floats from 7 on. A load that throws leaves the object as it was.

#include <cstdint>

#include "tessary/color/Color.h"
#include "tessary/frame/CArchive.h"
#include "tessary/frame/CArray.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/Point3d.h"
#include "tessary/graphics/primitives/GraphicsPrimitive.h"
#include "tessary/graphics/primitives/VertexEnds.h"

namespace Tessary {

class TESSARY_API LinePrimitive : public VertexEnds<UnlitPrimitive> {
public:
    LinePrimitive() = default;
    // Both ends take `color`; both halves take `id`.
    LinePrimitive(const Point3d& end1, const Point3d& end2, const Color& color, int width, unsigned int id)
        : LinePrimitive(end1, color, end2, color, width, id) {}
    // Both ends take `color`.
    LinePrimitive(const Point3d& end1, const Point3d& end2, const Color& color, int width, unsigned int id,
                  unsigned int id2)
        : VertexEnds(end1, color, end2, color, id), m_width(width), m_id2(id2) {}
    // Both halves take `id`.
    LinePrimitive(const Point3d& end1, const Color& color1, const Point3d& end2, const Color& color2, int width,
                  unsigned int id)
        : VertexEnds(end1, color1, end2, color2, id), m_width(width), m_id2(id) {}

    int GetWidth() const { return m_width; }
    void SetWidth(int width) { m_width = width; }
    // The object ID.
    unsigned int GetID1() const { return GetID(); }
    // The object ID only; ID 2 stays.
    void SetID1(unsigned int id) { SetID(id); }
    unsigned int GetID2() const { return m_id2; }
    void SetID2(unsigned int id) { m_id2 = id; }

    virtual void Transform(const Matrix4x4& m) { TransformEnds(m); }

    void Serialize(CArchive& ar);

protected:
    std::int32_t m_width = 1;
    std::uint32_t m_id2 = 0;
};

class TESSARY_API DashedLinePrimitive : public LinePrimitive {
public:
    DashedLinePrimitive() = default;
    // Both ends take `color`; both halves take `id`.
    DashedLinePrimitive(const Point3d& end1, const Point3d& end2, const Color& color, int width, int numDashes,
                        bool startBlank, unsigned int id)
        : DashedLinePrimitive(end1, color, end2, color, width, numDashes, startBlank, id) {}
    // Both halves take `id`.
    DashedLinePrimitive(const Point3d& end1, const Color& color1, const Point3d& end2, const Color& color2, int width,
                        int numDashes, bool startBlank, unsigned int id)
        : LinePrimitive(end1, color1, end2, color2, width, id), m_numDashes(numDashes), m_startBlank(startBlank) {}

    int GetNumDashes() const { return m_numDashes; }
    void SetNumDashes(int numDashes) { m_numDashes = numDashes; }
    // Whether the line begins with a gap rather than a dash.
    bool GetStartBlank() const { return m_startBlank; }
    void SetStartBlank(bool startBlank) { m_startBlank = startBlank; }

    void Serialize(CArchive& ar);

protected:
    std::int32_t m_numDashes = 10;
    bool m_startBlank = false;
};

// Many lines drawn with one width and, when dashed, one stipple pattern; each
// line keeps its own ends, colours, IDs and width. The array's own object ID
// is 0 unless the host sets it.
class TESSARY_API LineArrayPrimitive : public UnlitPrimitive {
public:
    using LineArray = CArray<LinePrimitive, const LinePrimitive&>;

    LineArrayPrimitive() = default;
    // Object ID 0; the lines are copied.
    LineArrayPrimitive(float lineWidth, const LineArray& lines, bool dashed, unsigned short dashPattern)
        : m_lineWidth(lineWidth), m_dashed(dashed), m_dashPattern(dashPattern), m_lines(lines) {}

    float GetLineWidth() const { return m_lineWidth; }
    void SetLineWidth(float lineWidth) { m_lineWidth = lineWidth; }
    bool GetDashed() const { return m_dashed; }
    void SetDashed(bool dashed) { m_dashed = dashed; }
    unsigned short GetDashPattern() const { return m_dashPattern; }
    void SetDashPattern(unsigned short dashPattern) { m_dashPattern = dashPattern; }
    const LineArray& GetLineArray() const { return m_lines; }
    LineArray& GetLineArray() { return m_lines; }
    void SetLineArray(const LineArray& lines) { m_lines.Copy(lines); }

    // Transforms every line in place.
    virtual void Transform(const Matrix4x4& m) {
        for (LinePrimitive& line : m_lines) line.Transform(m);
    }

    void Serialize(CArchive& ar);

protected:
    float m_lineWidth = 1.0f;
    bool m_dashed = false;
    std::uint16_t m_dashPattern = 0xFF00;
    LineArray m_lines;
};

static_assert(sizeof(LinePrimitive) <= 72, "a line is its root, two vertices, a width and an ID");
static_assert(sizeof(DashedLinePrimitive) <= 80, "a dashed line adds a count and a flag");
static_assert(sizeof(LineArrayPrimitive) <= 48, "a line array is its root, the stipple and one vector");

}  // namespace Tessary
