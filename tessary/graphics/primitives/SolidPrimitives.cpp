#include "tessary/graphics/primitives/SolidPrimitives.h"

#include "tessary/frame/Serialization.h"

namespace Tessary {

void SpherePrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](SpherePrimitive& s) {
        s.LitPrimitive::Serialize(ar);
        ArchiveFields(ar, s.m_center, s.m_radius);
    });
}

void EllipsoidPrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](EllipsoidPrimitive& e) {
        e.LitPrimitive::Serialize(ar);
        ArchiveFields(ar, e.m_center, e.m_size, e.m_matrix);
    });
}

// End IDs and the capped flag are not in the form: the copy that loads keeps them.
void CylinderPrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](CylinderPrimitive& c) {
        c.LitPrimitive::Serialize(ar);
        ArchiveFields(ar, c.m_end1, c.m_end2, c.m_radius);
    });
}

void ConePrimitive::Serialize(CArchive& ar) {
    ArchiveObject(ar, *this, [&ar](ConePrimitive& c) {
        c.LitPrimitive::Serialize(ar);
        ArchiveFields(ar, c.m_base, c.m_tip, c.m_color, c.m_radius);
    });
}

}  // namespace Tessary
