#pragma once

// The flat form of a straight program: one alternative of simple nodes,
// groups that are not repeated, and alternations of plain literals
// ("(CA|CB|N)", "x?"). The common name filters are such programs; they then
// run on the fast matcher (RegFastMatcher.h) without the general machinery.
// Its choice points, the repeats and the alternations, are explored exactly
// as the general matcher explores them; since no node is visited twice on a
// path, group positions need no log.

#include <cstdint>

#include "tessary/util/detail/RegProgram.h"

namespace Tessary {
namespace detail {

constexpr int kMaxFastOps = 16;
constexpr int kMaxFastRepeats = 8;  // choice points: repeats and alternations
constexpr int kMaxFastAlternatives = 8;

struct FastOp {
    CharSet set;           // what one step consumes: sets, repeat operands
    std::int32_t literal;  // Literal: code offset of its text
    std::int32_t length;   // Literal: text length; Alternative: number of alternatives
    // Alternative: each alternative is a literal (code offset and length;
    // length 0 for an empty alternative).
    std::int16_t altOffset[kMaxFastAlternatives];
    std::int16_t altLength[kMaxFastAlternatives];
    unsigned char kind;  // the opcode
    unsigned char min;   // repeats: least count
    char nextChar;       // repeats: first character of a following Literal, or 0
    bool any;            // repeats: the operand is AnyChar
};

// The simplest straight programs, a run of one-character tests with an
// optional "^" or repeat of "." before it and either "$" or one repeat after
// it ("C[AB]", "^O.*", "[^H].*", ".*1"), need no backtracking at all: a
// plain loop over these sets finds what the flat matcher finds.
struct SimpleForm {
    static constexpr int kMaxChars = 16;
    CharSet sets[kMaxChars];
    CharSet repeat;
    int chars;
    int leadMin;     // least count of a leading ".*" or ".+", -1 when there is none
    int repeatMin;   // -1 when there is no repeat after the characters
    bool repeatAny;  // that repeat takes any character: it runs to the end
    bool atEnd;
};

inline const FastOp* FastOps(const RegProgram& prog) {
    return reinterpret_cast<const FastOp*>(prog.Code() + prog.fastOffset);
}
inline const SimpleForm& SimpleFormOf(const RegProgram& prog) {
    return *reinterpret_cast<const SimpleForm*>(prog.Code() + prog.simpleOffset);
}

// Appends the flat form (and the simple form) to a freshly compiled program
// when it has one, growing the block; sets the start bounds either way.
// Without memory for the copy the program stays general.
void AttachFlatForm(RegProgram*& prog);

}  // namespace detail
}  // namespace Tessary
