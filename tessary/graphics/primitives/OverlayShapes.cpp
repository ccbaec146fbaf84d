#include "tessary/graphics/primitives/OverlayShapes.h"

#include "tessary/frame/Serialization.h"

namespace Tessary {

UnlitShapePrimitive::~UnlitShapePrimitive() = default;
RectanglePrimitive::~RectanglePrimitive() = default;
EllipsePrimitive::~EllipsePrimitive() = default;
TriangleShapePrimitive::~TriangleShapePrimitive() = default;

void UnlitShapePrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](UnlitShapePrimitive& s) {
        s.GraphicsPrimitive::Serialize(ar);
        ArchiveFields(ar, s.m_origin, s.m_foreground, s.m_background, AsWord(s.m_isOutlined), s.m_outlineWidth,
                      AsWord(s.m_isFilled), AsWord(s.m_isStippled), AsWord(s.m_stipplePattern));
    });
}

void RectanglePrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](RectanglePrimitive& r) {
        r.UnlitShapePrimitive::Serialize(ar);
        ArchiveFields(ar, r.m_size);
    });
}

void TriangleShapePrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](TriangleShapePrimitive& t) {
        t.UnlitShapePrimitive::Serialize(ar);
        ArchiveFields(ar, t.m_point1, t.m_point2, t.m_point3);
    });
}

}  // namespace Tessary
