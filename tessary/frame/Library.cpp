#include "tessary/frame/Library.h"

#include <dlfcn.h>

#include <stdexcept>

#include "tessary/frame/detail/ModuleRegistry.h"

namespace Tessary {

namespace detail {

namespace {

std::string ModuleFileOf(const void* codeAddress) {
    Dl_info info{};
    if (dladdr(codeAddress, &info) == 0 || !info.dli_fname) return std::string();
    return info.dli_fname;
}

}  // namespace

ModuleRegistry::ModuleRegistry() {
    // The library's own file must be known to the loader; if it is not, the
    // library was not loaded as a module and must not pretend it was.
    const std::string self = ModuleFileOf(reinterpret_cast<const void*>(&AttachCoreDLL));
    if (self.empty()) throw std::runtime_error("tessary: the library cannot find its own module");
    m_registered = true;
    m_links.push_back(self);
}

void ModuleRegistry::Link(const void* codeAddress) { m_links.push_back(ModuleFileOf(codeAddress)); }

}  // namespace detail

bool CoreModuleRegistry::IsRegistered() { return detail::g_moduleRegistry.IsRegistered(); }

int CoreModuleRegistry::GetLinkCount() { return static_cast<int>(detail::g_moduleRegistry.Links().size()); }

CString CoreModuleRegistry::GetLinkedModule(int index) {
    const auto& links = detail::g_moduleRegistry.Links();
    if (index < 0 || index >= static_cast<int>(links.size())) return CString();
    return CString(links[static_cast<std::size_t>(index)]);
}

}  // namespace Tessary

extern "C" void AttachCoreDLL() {
    Tessary::detail::g_moduleRegistry.Link(__builtin_extract_return_addr(__builtin_return_address(0)));
}

extern "C" int TessaryCoreLinkCount() { return Tessary::CoreModuleRegistry::GetLinkCount(); }
