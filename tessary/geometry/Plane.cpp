#include "tessary/geometry/Plane.h"

namespace Tessary {

// Out of line so the vtable has one home.
Plane::~Plane() = default;

}  // namespace Tessary
