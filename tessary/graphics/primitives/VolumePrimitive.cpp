#include "tessary/graphics/primitives/VolumePrimitive.h"

#include "tessary/frame/Serialization.h"

namespace Tessary {

VolumePrimitive::VolumePrimitive() {
    m_colors.Add(Color::Blue());
    m_colors.Add(Color::Red());
    m_transferFunction.Add(true);
    m_transferFunction.Add(true);
}

VolumePrimitive::VolumePrimitive(NComponentVolume<float>* volume, float dataMin, float dataMax, float displayMin,
                                 float displayMax, bool clipOutsideRange, const ColorArray& colors,
                                 float transparency, const BoolArray& transferFunction, unsigned int id)
    : UnlitPrimitive(id),
      m_volume(volume),
      m_dataMin(dataMin),
      m_dataMax(dataMax),
      m_displayMin(displayMin),
      m_displayMax(displayMax),
      m_transparency(transparency),
      m_clipOutsideRange(clipOutsideRange),
      m_colors(colors),
      m_transferFunction(transferFunction) {}

VolumePrimitive::~VolumePrimitive() = default;

void VolumePrimitive::Serialize(CArchive& ar) {
    ArchiveObject(
        ar, *this,
        [&ar](VolumePrimitive& v) {
            v.GraphicsPrimitive::Serialize(ar);
            ArchiveFields(ar, v.m_dataMin, v.m_dataMax, v.m_displayMin, v.m_displayMax,
                          AsWord(v.m_clipOutsideRange), Sequence(v.m_colors, sizeof(Color)), v.m_transparency,
                          Sequence(v.m_transferFunction, sizeof(std::int32_t), [](bool& on) { return AsWord(on); }));
        },
        // The grid is the host's and is never stored; a loaded volume waits
        // for the host to attach it again.
        [](VolumePrimitive& v) { v.m_volume = nullptr; });
}

void VolumePrimitive::Transform(const Matrix4x4&) {}

}  // namespace Tessary
