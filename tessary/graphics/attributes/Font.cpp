#include "tessary/graphics/attributes/Font.h"

#include "tessary/frame/Serialization.h"

namespace Tessary {

void Font::Serialize(CArchive& ar) {
    // A loaded size is kept as read, like the constructor's: the archive holds
    // what some host chose, and SetSize's rule is for callers.
    ArchiveObject(ar, *this, [&ar](Font& f) { ArchiveFields(ar, f.m_face, f.m_size); });
}

}  // namespace Tessary
