#include "tessary/geometry/detail/TextFields.h"

#include <iomanip>
#include <istream>
#include <ostream>

namespace Tessary::detail {

std::ostream& WriteTextFields(std::ostream& os, const double* values, int count, TextLayout layout) {
    const std::streamsize width = os.width();
    for (int i = 0; i < count; ++i) {
        if (layout == TextLayout::Point) {
            if (i > 0) {
                if (width > 0) os << std::setw(static_cast<int>(width));
                else os << ' ';
            }
            os << values[i];
        } else {
            if (width != 0) os << std::setw(static_cast<int>(width)) << values[i];
            else os << values[i] << ' ';
        }
    }
    return os;
}

bool ReadTextFields(std::istream& is, double* values, int count) {
    for (int i = 0; i < count; ++i) {
        if (!(is >> values[i])) return false;
    }
    return true;
}

}  // namespace Tessary::detail
