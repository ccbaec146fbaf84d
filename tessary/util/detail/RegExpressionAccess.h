#pragma once

// The library's inside view of a RegExpression: its compiled program and
// match table, for the matching code and for tests that look at the node
// bytes and search hints, without making them public.

#include "tessary/util/RegExpression.h"
#include "tessary/util/detail/RegProgram.h"

namespace Tessary {
namespace detail {

struct RegMatchTable;

struct RegExpressionAccess {
    // The compiled program, or null before the first successful compile.
    static const RegProgram* Program(const RegExpression& re) { return re.m_program; }
    static RegProgram*& Program(RegExpression& re) { return re.m_program; }
    static RegMatchTable& Table(RegExpression& re) { return *re.m_substrings; }
    static const char*& Error(RegExpression& re) { return re.m_error; }
};

}  // namespace detail
}  // namespace Tessary
