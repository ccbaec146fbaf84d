#pragma once

// Lets tests and tools inside the repository look at the compiled program of
// a RegExpression (node bytes, search hints) without making it public.

#include "tessary/util/RegExpression.h"
#include "tessary/util/detail/RegProgram.h"

namespace Tessary {
namespace detail {

struct RegExpressionAccess {
    // The compiled program, or null before the first successful compile.
    static const RegProgram* Program(const RegExpression& re) { return re.m_program; }
};

}  // namespace detail
}  // namespace Tessary
