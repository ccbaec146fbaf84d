// Every static object of the library is defined here, in this one translation
// unit, so their construction order is the order of this file and their
// destruction order its reverse. Objects whose value is fixed data are
// constant-initialised and exist before any code runs; the others follow in
// the order below. The module registry comes last: the library registers
// itself only once everything else exists.
//
// Other translation units of the library define no static objects with
// constructors or destructors.

#include "tessary/frame/detail/ModuleRegistry.h"

namespace Tessary::detail {

ModuleRegistry g_moduleRegistry;

}  // namespace Tessary::detail
