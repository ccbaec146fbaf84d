#include "tessary/graphics/primitives/Vertex.h"

#include "tessary/frame/Serialization.h"

namespace Tessary {

void Vertex::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](Vertex& v) { ArchiveFields(ar, WithoutAlpha(v.m_color), v.m_point); });
}

void VertexNormal::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](VertexNormal& v) {
        ArchiveFields(ar, WithoutAlpha(v.m_color), v.m_point, v.m_normal);
    });
}

}  // namespace Tessary
