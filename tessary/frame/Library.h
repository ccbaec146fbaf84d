#pragma once

// Loading the library and linking it into host modules.
//
// When the library is loaded, its static objects come into being first (all of
// them are defined, in a fixed order, in one translation unit), then the library
// registers itself in its module registry and links itself once for the module
// that loaded it. Any further module that wants the library's resources calls
// AttachCoreDLL(), which links one more module; repeated calls are not guarded.
// At unload the statics go away in reverse order of construction.
// The registry is process-wide and not synchronised: attach and query it from
// one thread at a time (as module loading does).

#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"

// Links the library into the calling module's chain. C linkage keeps the
// exported symbol under its own name, so a host can find it with dlsym too.
extern "C" TESSARY_API void AttachCoreDLL();

// Number of links in the registry; for hosts that reach the library through dlsym.
extern "C" TESSARY_API int TessaryCoreLinkCount();

namespace Tessary {

// What the library recorded about the modules it is linked into.
class TESSARY_API CoreModuleRegistry {
public:
    // True once the library has registered itself at load.
    static bool IsRegistered();
    // Number of links: 1 after load, one more for every AttachCoreDLL call.
    static int GetLinkCount();
    // The file of the module that made link `index` (link 0 is the library's
    // own registration at load); empty when out of range or unknown.
    static CString GetLinkedModule(int index);
};

}  // namespace Tessary
