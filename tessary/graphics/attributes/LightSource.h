#pragma once

// LightSource: one light of a view, a position, a colour and an on/off flag.
// The library only stores, copies and archives it; a renderer gives it meaning.
// A default light is a disabled white light at (0, 0, 1).
//
// Archive form: the colour word (A included), the position (Point3d's form:
// doubles up to version 6 and with the unset version, floats from 7 on), the
// enabled flag as one byte. All three are always written. Loading reads them
// from version 7 on, and with the unset version too, so a store and load with
// the same archive round-trip; version 6 or less reads nothing and keeps the
// light as it was. Any non-zero byte loads as enabled.

#include "tessary/color/Color.h"
#include "tessary/frame/CArchive.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Point3d.h"

namespace Tessary {

class TESSARY_API LightSource {
public:
    LightSource() = default;
    LightSource(const Point3d& position, const Color& color, bool enabled)
        : m_position(position), m_color(color), m_enabled(enabled) {}
    LightSource(const LightSource&) = default;
    LightSource& operator=(const LightSource&) = default;
    virtual ~LightSource() = default;

    const Point3d& GetPosition() const { return m_position; }
    void SetPosition(const Point3d& position) { m_position = position; }
    Color GetColor() const { return m_color; }
    void SetColor(const Color& color) { m_color = color; }
    bool GetEnabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }

    void Serialize(CArchive& ar);

protected:
    Point3d m_position{0.0, 0.0, 1.0};
    Color m_color = Color::White();
    bool m_enabled = false;
};

static_assert(sizeof(LightSource) <= 32, "a light is a table pointer, three floats, a colour and a flag");

}  // namespace Tessary
