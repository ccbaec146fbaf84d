#pragma once

// Text layouts shared by the points and matrices: numbers go out as doubles
// with the stream's precision and flags, and come in all or nothing.

#include <iosfwd>

#include "tessary/frame/Export.h"

namespace Tessary::detail {

enum class TextLayout {
    // width w > 0: first value, then each further one in setw(w); else blank-separated.
    Point,
    // width w != 0: every value in setw(w); else every value followed by a blank.
    Matrix,
};

TESSARY_API std::ostream& WriteTextFields(std::ostream& os, const double* values, int count, TextLayout layout);

// Reads `count` doubles into `values`. Stops at the first failed extraction;
// returns true only if all were read. `values` may be partly written on
// failure: callers read into a temporary and assign on success.
TESSARY_API bool ReadTextFields(std::istream& is, double* values, int count);

}  // namespace Tessary::detail
