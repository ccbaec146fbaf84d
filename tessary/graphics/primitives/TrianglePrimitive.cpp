#include "tessary/graphics/primitives/TrianglePrimitive.h"

#include "tessary/frame/Serialization.h"

namespace Tessary {

void TrianglePrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](TrianglePrimitive& t) {
        t.LitPrimitive::Serialize(ar);
        // Every corner carries the one colour on disk; the second and third
        // copies are read and dropped.
        Color second = t.m_color;
        Color third = t.m_color;
        ArchiveFields(ar, WithoutAlpha(t.m_color), t.m_end1, WithoutAlpha(second), t.m_end2, WithoutAlpha(third),
                      t.m_end3, t.m_normal);
    });
}

void UnlitTrianglePrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](UnlitTrianglePrimitive& t) {
        t.GraphicsPrimitive::Serialize(ar);
        ArchiveFields(ar, t.m_end1, t.m_end2, t.m_end3, t.m_color);
    });
}

}  // namespace Tessary
