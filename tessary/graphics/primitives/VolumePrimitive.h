#pragma once

// VolumePrimitive: a host's 3D grid of values put into a display list for
// volume rendering, with what maps its values to colour and opacity: the
// grid's value range, the displayed range, a colour ramp, one on/off switch
// per ramp entry and an overall transparency. The grid is borrowed: the
// primitive and its copies point at the host's grid and never free it.
//
// Defaults: no grid, ranges 0, not clipped, the ramp blue then red, both
// transfer entries on, transparency 0.3. Transform does nothing (the grid
// places itself). Setting an array from itself changes nothing.
//
// Archive form: the object ID; data min, data max, display min, display max
// (floats); clip outside range (word, non-zero is true); the colour count
// (word) and each colour as a whole word, A included; the transparency
// (float); the transfer count (word) and each entry as a word (non-zero is
// true). The grid pointer and the ramp's name are never stored: a load
// leaves no grid (the host reattaches it) and keeps the ramp's old name.
// Counts are checked against the input before anything is allocated.

#include "tessary/color/ColorArray.h"
#include "tessary/frame/CArchive.h"
#include "tessary/frame/CArray.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/graphics/primitives/GraphicsPrimitive.h"
#include "tessary/graphics/primitives/NComponentVolume.h"

namespace Tessary {

class TESSARY_API VolumePrimitive : public UnlitPrimitive {
public:
    VolumePrimitive();
    VolumePrimitive(NComponentVolume<float>* volume, float dataMin, float dataMax, float displayMin, float displayMax,
                    bool clipOutsideRange, const ColorArray& colors, float transparency,
                    const BoolArray& transferFunction, unsigned int id);
    VolumePrimitive(const VolumePrimitive&) = default;
    VolumePrimitive& operator=(const VolumePrimitive&) = default;
    ~VolumePrimitive() override;

    // The host's grid, or null.
    const NComponentVolume<float>* GetVolume() const { return m_volume; }
    void SetVolume(NComponentVolume<float>* volume) { m_volume = volume; }
    float GetDataMin() const { return m_dataMin; }
    void SetDataMin(float value) { m_dataMin = value; }
    float GetDataMax() const { return m_dataMax; }
    void SetDataMax(float value) { m_dataMax = value; }
    float GetDisplayMin() const { return m_displayMin; }
    void SetDisplayMin(float value) { m_displayMin = value; }
    float GetDisplayMax() const { return m_displayMax; }
    void SetDisplayMax(float value) { m_displayMax = value; }
    bool GetClipOutsideRange() const { return m_clipOutsideRange; }
    void SetClipOutsideRange(bool clip) { m_clipOutsideRange = clip; }
    const ColorArray& GetColors() const { return m_colors; }
    ColorArray& GetColors() { return m_colors; }
    // Copies the ramp's name and colours.
    void SetColors(const ColorArray& colors) { m_colors = colors; }
    const BoolArray& GetTransferFunction() const { return m_transferFunction; }
    BoolArray& GetTransferFunction() { return m_transferFunction; }
    void SetTransferFunction(const BoolArray& transferFunction) { m_transferFunction = transferFunction; }
    float GetTransparency() const { return m_transparency; }
    void SetTransparency(float transparency) { m_transparency = transparency; }

    virtual void Serialize(CArchive& ar);
    // Nothing moves: the grid carries its own placement.
    virtual void Transform(const Matrix4x4& m);

protected:
    NComponentVolume<float>* m_volume = nullptr;
    float m_dataMin = 0.0f;
    float m_dataMax = 0.0f;
    float m_displayMin = 0.0f;
    float m_displayMax = 0.0f;
    float m_transparency = 0.3f;
    bool m_clipOutsideRange = false;
    ColorArray m_colors;
    BoolArray m_transferFunction;
};

static_assert(sizeof(VolumePrimitive) <= 136, "a volume is its root, a pointer, five numbers and two arrays");

}  // namespace Tessary
