#pragma once

// The display-list subsystem's process-wide objects, defined in Statics.cpp.
// Used by one thread at a time.

#include <optional>

#include "tessary/graphics/displaylist/DisplayList3D.h"
#include "tessary/graphics/displaylist/IconLibrary.h"

namespace Tessary {
namespace detail {

// What an out-of-range const Get... hands back on an empty array: defaults
// that are never written, so safe from several threads. (The non-const forms
// hand back a scratch element of the list itself.) The list takes no ID.
struct DisplayListFallbacks {
    using Elements = DisplayList3D::Kinds::Elements;
    Elements m_defaults;
    DisplayList3D m_defaultList{DisplayList3D::WithoutID()};
};
extern DisplayListFallbacks g_displayListFallbacks;

// The icon maps come into being at the first use of the icon library and go
// at unload.
struct IconLibraryMaps {
    std::optional<IconLibrary::DefinitionMap> m_definitions;
    std::optional<IconLibrary::IndexMap> m_index;
    bool m_initialized = false;
};
extern IconLibraryMaps g_iconLibraryMaps;

}  // namespace detail
}  // namespace Tessary
