#include "tessary/graphics/attributes/LightSource.h"

#include "tessary/frame/Serialization.h"

namespace Tessary {

void LightSource::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](LightSource& l) {
        ArchiveFields(ar, StoredAlwaysFromVersion(7, l.m_color, l.m_position, AsByte(l.m_enabled)));
    });
}

}  // namespace Tessary
