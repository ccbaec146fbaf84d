#include "tessary/graphics/primitives/GraphicsPrimitive.h"

#include "tessary/frame/Serialization.h"

namespace Tessary {

void GraphicsPrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](GraphicsPrimitive& p) { ArchiveFields(ar, p.m_id); });
}

void LitPrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](LitPrimitive& p) {
        p.GraphicsPrimitive::Serialize(ar);
        ArchiveFields(ar, AsWord(p.m_material), StoredAlwaysFromVersion(7, AsWord(p.m_representation)));
    });
}

}  // namespace Tessary
