#pragma once

// IconLibrary: the process-wide registry of icon symbols. An icon's
// definition is a display list in a unit frame around the origin, stored by
// icon ID; a second map finds the ID by name (exact, case-sensitive). The
// first use of any member builds four icons (IDs 1 to 4: "Tessary.jack",
// "Tessary.cross", "Tessary.triangle", "Tessary.diamond"), which takes four
// list IDs from DisplayList3D's counter; GetNewIconID then hands out 5, 6, ...
// and only reserves the number: storing a definition and a name is the
// caller's business.
//
// Threads: the maps and the ID counter are process-wide and unlocked; use
// the library from one thread at a time.

#include <cstdint>

#include "tessary/frame/CMap.h"
#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"
#include "tessary/graphics/displaylist/DisplayList3D.h"

namespace Tessary {

class TESSARY_API IconLibrary {
public:
    using DefinitionMap = CMap<unsigned int, unsigned int, DisplayList3D, DisplayList3D&>;
    using IndexMap = CMap<CString, CString, unsigned int, unsigned int&>;

    // Icon ID -> definition; callers may read and add.
    static DefinitionMap& GetIconDefinitions();
    // Icon name -> icon ID.
    static IndexMap& GetIconIndex();
    // The next free icon ID (5 on the first call of a process).
    static unsigned GetNewIconID();

    // All state is class-wide: an instance has nothing to copy.
    IconLibrary& operator=(const IconLibrary&) { return *this; }

protected:
    // The highest icon ID handed out so far (4 once the built-in icons exist).
    static std::uint32_t m_iconID;
    // Null until the first use.
    static DefinitionMap* m_pIconDefinitions;
    static IndexMap* m_pIconIndex;

private:
    // Builds the maps and the built-in icons once; later calls return at once.
    static void Initialize();
};

}  // namespace Tessary
