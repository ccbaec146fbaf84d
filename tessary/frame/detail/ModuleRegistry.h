#pragma once

// Internal: the library's module registry. The one instance is the last static
// object of the library (see Statics.cpp), so it registers the library only
// after every other static exists.

#include <string>
#include <vector>

namespace Tessary::detail {

class ModuleRegistry {
public:
    // Registers the library and makes its first link. A failure here throws out
    // of static initialisation, which aborts the load: a half-registered library
    // never reaches host code.
    ModuleRegistry();

    // Records a link made from the module that holds `codeAddress`.
    void Link(const void* codeAddress);

    bool IsRegistered() const { return m_registered; }
    const std::vector<std::string>& Links() const { return m_links; }

private:
    bool m_registered = false;
    std::vector<std::string> m_links;
};

extern ModuleRegistry g_moduleRegistry;

}  // namespace Tessary::detail
