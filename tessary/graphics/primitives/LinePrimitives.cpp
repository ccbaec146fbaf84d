#include "tessary/graphics/primitives/LinePrimitives.h"

#include "tessary/frame/Serialization.h"

namespace Tessary {

namespace {

// The least a line form occupies: ID, two vertex forms with float points, width, ID 2.
constexpr std::uint64_t kMinLineFormBytes = 4 + 2 * (4 + 12) + 4 + 4;

}  // namespace

void LinePrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](LinePrimitive& l) {
        l.GraphicsPrimitive::Serialize(ar);
        ArchiveFields(ar, l.m_end1, l.m_end2, l.m_width, l.m_id2);
    });
}

void DashedLinePrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](DashedLinePrimitive& l) {
        l.LinePrimitive::Serialize(ar);
        ArchiveFields(ar, l.m_numDashes, AsByte(l.m_startBlank));
    });
}

void LineArrayPrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](LineArrayPrimitive& a) {
        a.GraphicsPrimitive::Serialize(ar);
        ArchiveFields(ar, Sequence(a.m_lines, kMinLineFormBytes), a.m_lineWidth,
                      FromVersion(13, AsWordIsOne(a.m_dashed), a.m_dashPattern));
    });
}

}  // namespace Tessary
