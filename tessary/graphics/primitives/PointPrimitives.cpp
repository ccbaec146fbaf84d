#include "tessary/graphics/primitives/PointPrimitives.h"

#include "tessary/frame/Serialization.h"
#include "tessary/graphics/attributes/detail/OldFontNumber.h"

namespace Tessary {

namespace {

// Fields that only a load below `version` reads (and nothing stores).
struct LoadedBeforeVersion {
    static bool Present(const CArchive& ar, std::uint32_t version) {
        return ar.IsLoading() && !SchemaAtLeastUnsigned(ar, version);
    }
};

}  // namespace

void UnlitPointPrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](UnlitPointPrimitive& p) {
        p.GraphicsPrimitive::Serialize(ar);
        ArchiveFields(ar, p.m_coord);
    });
}

void DotPrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](DotPrimitive& d) {
        d.UnlitPointPrimitive::Serialize(ar);
        ArchiveFields(ar, d.m_width);
    });
}

void Text3DPrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](Text3DPrimitive& t) {
        t.GraphicsPrimitive::Serialize(ar);
        if (SchemaAtLeastUnsigned(ar, 11)) {
            ArchiveFields(ar, t.m_coord, t.m_text, t.m_font);
        } else {
            // The old form splits the vertex and the font around the text.
            Color color = t.m_coord.GetColor();
            Point3d position = t.m_coord.GetPoint();
            CString face = t.m_font.GetFace();
            std::int32_t size = t.m_font.GetSize();
            ArchiveFieldsThen(
                ar,
                [&] {
                    t.m_coord = Vertex(position, color);
                    t.m_font = Font(face, size);
                },
                WithoutAlpha(color), t.m_text, StoredAlwaysFromVersion(10, face),
                Versioned<LoadedBeforeVersion, detail::OldFontNumberField>{10, {detail::OldFontNumber(face)}}, size, position);
        }
        ArchiveFields(ar, t.m_zOffset, AsWord(t.m_isAnnotation));
    });
}

void IconPrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](IconPrimitive& i) {
        i.UnlitPointPrimitive::Serialize(ar);
        ArchiveFields(ar, i.m_iconID, AsWord(i.m_rotationInvariant), AsWord(i.m_scaleInvariant),
                      AsWord(i.m_useColor), i.m_iconScale);
    });
}

}  // namespace Tessary
