// Every static object of the library is defined here, in this one translation
// unit, so their construction order is the order of this file and their
// destruction order its reverse. Objects whose value is fixed data are
// constant-initialised and exist before any code runs; the others follow in
// the order below. The module registry comes last: the library registers
// itself only once everything else exists.
//
// Other translation units of the library define no static objects with
// constructors or destructors.
//
// Order of the objects that are built at start-up:
//   1. the colour-map code's shared black colour
//   2. Point2d constants, then Point3d constants
//   3. the default random generator (seed 1)
//   4. Spline::m_alpha
//   5. UniqueString::m_table
//   6. UniqueStringTable::null, then the Roman numeral cache
//   7. display lists: the ID counter (constant), then the fallback elements
//      of out-of-range accessors
//   8. the icon library: ID counter and map pointers (constant), then the
//      holder of the maps, which are built at first use
//   9. the module registry (registers the library)

#include <type_traits>

#include "tessary/color/ColorMap.h"
#include "tessary/frame/detail/ModuleRegistry.h"
#include "tessary/geometry/Spline.h"
#include "tessary/graphics/displaylist/detail/DisplayListStatics.h"
#include "tessary/util/Random.h"
#include "tessary/util/UniqueString.h"
#include "tessary/util/detail/RomanNumeralCache.h"

namespace Tessary {

// --- 1. colour ---------------------------------------------------------------
// Constant-initialised: it holds its value before any initialiser runs and
// needs no destructor, so no start-up code can see it unset.
namespace detail {
constexpr Color g_colorMapBlack = Color::Black();
static_assert(std::is_trivially_destructible_v<Color>, "the shared black must need no exit action");
}  // namespace detail

// --- 2. points ---------------------------------------------------------------
// The Point2d and Point3d constants are constexpr, defined inline in their
// headers: constant-initialised, they exist before any code runs.

// --- 3. random sequences -----------------------------------------------------
namespace detail {
RandomInteger g_defaultRandomInteger(1);
}  // namespace detail

// --- 4. splines --------------------------------------------------------------
// The basis-matrix cache: flag, matrix and last type are constant-initialised
// data; only the parameter array is built at start-up.
bool Spline::m_recalcMatrix = true;
double Spline::m_matrix[4][4] = {};
Spline::SplineType Spline::m_oldType = Spline::BetaSpline;
DoubleArray Spline::m_alpha;

// --- 5, 6. interned strings --------------------------------------------------
// The intern table first, then the shared empty string it hands out; the
// Roman numeral cache is built with them and, like them, holds only strings.
UniqueStringTable UniqueString::m_table;
const CString UniqueStringTable::null;
namespace detail {
RomanNumeralCache g_romanNumeralCache;
}  // namespace detail

// --- 7. display lists -----------------------------------------------------------
// The counter is constant-initialised, so the first list made gets 1 whatever
// runs first; the scratch list of the fallbacks takes no ID.
std::uint32_t DisplayList3D::m_lastID = 0;
namespace detail {
DisplayListFallbacks g_displayListFallbacks;
}  // namespace detail

// --- 8. icon library -------------------------------------------------------------
// The holder starts empty (constant-initialised); its destructor frees the
// maps, definitions included, at unload.
std::uint32_t IconLibrary::m_iconID = 0;
IconLibrary::DefinitionMap* IconLibrary::m_pIconDefinitions = nullptr;
IconLibrary::IndexMap* IconLibrary::m_pIconIndex = nullptr;
namespace detail {
IconLibraryMaps g_iconLibraryMaps;
}  // namespace detail

// --- 9. last: the module registry -------------------------------------------
namespace detail {
ModuleRegistry g_moduleRegistry;
}  // namespace detail

}  // namespace Tessary
