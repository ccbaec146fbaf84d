#include "tessary/graphics/attributes/GraphicsAttributes.h"

#include <cstdint>

#include "tessary/frame/Serialization.h"

namespace Tessary {
namespace {

constexpr int kNumLights = GraphicsAttributes::kNumLights;

// The least a light record takes when it is read at all: colour word, three
// floats, enabled byte.
constexpr std::uint64_t kMinLightRecordBytes = 4 + 3 * 4 + 1;

// The light records: a count (always the four lights on storing), then each
// light's form. Loading keeps the first four records and reads the rest only
// to step over them; each record goes through a fresh light, so a short
// record list leaves the later lights alone.
struct LightRecords {
    LightSource (&lights)[kNumLights];
};

void ArchiveField(CArchive& ar, LightRecords& field) {
    if (ar.IsStoring()) {
        std::int32_t count = kNumLights;
        ArchiveFields(ar, count);
        for (LightSource& light : field.lights) ArchiveFields(ar, light);
        return;
    }
    const int count = ReadElementCount(ar, kMinLightRecordBytes);
    for (int i = 0; i < count; ++i) {
        LightSource light;
        ArchiveFields(ar, light);
        if (i < kNumLights) field.lights[i] = light;
    }
}

}  // namespace

void GraphicsAttributes::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](GraphicsAttributes& g) {
        ArchiveFields(ar, g.m_bkColor,
                      StoredAlwaysFromVersion(7, LightRecords{g.m_lights}, g.m_viewSize, g.m_quality,
                                              g.m_projection, g.m_fog, g.m_stereo, g.m_stereoAngle,
                                              g.m_perspectiveAngle, g.m_lineWidth, g.m_fontScale, g.m_fastRender,
                                              g.m_stereoSeparationFactor, g.m_stereoSkewFactor, g.m_matrix,
                                              g.m_zFarAdj, g.m_zNearAdj));
    });
}

}  // namespace Tessary
