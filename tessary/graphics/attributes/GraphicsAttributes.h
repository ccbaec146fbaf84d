#pragma once

// GraphicsAttributes: the viewing and rendering settings of one view (view
// size, projection, four lights, fog, stereo, background, line width, font
// scale, a view matrix and depth-range adjustments). The library stores,
// copies and archives them; a renderer interprets them. Quality and
// projection are host-defined codes.
//
// Sizes, angles and factors are kept as floats behind a double interface:
// a setter narrows to float, so GetLineWidth() of a default object is the
// float nearest 1.6, not 1.6. Flags are kept as 32-bit words and read as
// bool (any non-zero word is true), so a loaded word is stored back as read.
//
// Edge cases: GetLight outside 0..3 returns a default light; SetLight outside
// 0..3 is ignored.
//
// Archive form: background colour (A included); the number of lights (always
// 4 on storing) and the light records; view size, quality, projection, fog,
// stereo, stereo angle, perspective angle, line width, font scale, fast
// render, stereo separation and skew factors; the matrix; far- and near-plane
// adjustments. Everything is always written. Loading with version 6 or less
// reads the background colour only; version 7 on, and the unset version (so
// a store and load with the same archive round-trip), read the rest too.
// Loaded light records beyond the fourth are read and dropped; fewer than
// four leave the remaining lights as they were. A light count that is
// negative or that the remaining input cannot hold throws before any record
// is read.

#include <cstdint>

#include "tessary/color/Color.h"
#include "tessary/frame/CArchive.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/graphics/attributes/LightSource.h"

namespace Tessary {

class TESSARY_API GraphicsAttributes {
public:
    static constexpr int kNumLights = 4;

    GraphicsAttributes() = default;
    GraphicsAttributes(const GraphicsAttributes&) = default;
    GraphicsAttributes& operator=(const GraphicsAttributes&) = default;
    virtual ~GraphicsAttributes() = default;

    double GetViewSize() const { return m_viewSize; }
    void SetViewSize(double size) { m_viewSize = static_cast<float>(size); }
    int GetQuality() const { return m_quality; }
    void SetQuality(int quality) { m_quality = quality; }
    int GetProjection() const { return m_projection; }
    void SetProjection(int projection) { m_projection = projection; }

    // A copy of light i, or a default light when i is outside 0..3.
    LightSource GetLight(int i) const { return IsLight(i) ? m_lights[i] : LightSource(); }
    // Ignored when i is outside 0..3.
    void SetLight(int i, const LightSource& light) {
        if (IsLight(i)) m_lights[i] = light;
    }

    bool GetFog() const { return m_fog != 0; }
    void SetFog(bool fog) { m_fog = fog; }
    bool GetStereo() const { return m_stereo != 0; }
    void SetStereo(bool stereo) { m_stereo = stereo; }
    double GetStereoAngle() const { return m_stereoAngle; }
    void SetStereoAngle(double angle) { m_stereoAngle = static_cast<float>(angle); }
    double GetStereoSeparationFactor() const { return m_stereoSeparationFactor; }
    void SetStereoSeparationFactor(double factor) { m_stereoSeparationFactor = static_cast<float>(factor); }
    double GetStereoSkewFactor() const { return m_stereoSkewFactor; }
    void SetStereoSkewFactor(double factor) { m_stereoSkewFactor = static_cast<float>(factor); }
    double GetPerspectiveAngle() const { return m_perspectiveAngle; }
    void SetPerspectiveAngle(double angle) { m_perspectiveAngle = static_cast<float>(angle); }
    Color GetBkColor() const { return m_bkColor; }
    void SetBkColor(const Color& color) { m_bkColor = color; }
    double GetLineWidth() const { return m_lineWidth; }
    void SetLineWidth(double width) { m_lineWidth = static_cast<float>(width); }
    double GetFontScale() const { return m_fontScale; }
    void SetFontScale(double scale) { m_fontScale = static_cast<float>(scale); }
    bool GetFastRender() const { return m_fastRender != 0; }
    void SetFastRender(bool fast) { m_fastRender = fast; }
    float GetZFarAdj() const { return m_zFarAdj; }
    void SetZFarAdj(float adjustment) { m_zFarAdj = adjustment; }
    float GetZNearAdj() const { return m_zNearAdj; }
    void SetZNearAdj(float adjustment) { m_zNearAdj = adjustment; }
    const Matrix4x4& GetMatrix() const { return m_matrix; }
    void SetMatrix(const Matrix4x4& matrix) { m_matrix = matrix; }

    void Serialize(CArchive& ar);

protected:
    static bool IsLight(int i) { return i >= 0 && i < kNumLights; }

    float m_viewSize = 18.0f;
    std::int32_t m_quality = 0;
    std::int32_t m_projection = 0;
    LightSource m_lights[kNumLights];
    std::int32_t m_fog = 0;
    std::int32_t m_stereo = 0;
    float m_stereoAngle = 3.5f;
    float m_stereoSeparationFactor = 1.0f;
    float m_stereoSkewFactor = 1.0f;
    float m_perspectiveAngle = 45.0f;
    Color m_bkColor = Color::Black();
    float m_lineWidth = 1.6f;
    float m_fontScale = 1.0f;
    std::int32_t m_fastRender = 1;
    float m_zFarAdj = 0.0f;
    float m_zNearAdj = 0.0f;
    Matrix4x4 m_matrix;
};

static_assert(sizeof(GraphicsAttributes) <= 328, "a table pointer, fifteen 4-byte fields, four lights and a matrix");

}  // namespace Tessary
