#pragma once

// The compiled form of a RegExpression, shared by its compiler and matchers.
//
// A program is one malloc'd block: the RegProgram header, then `size` bytes of
// code (the magic byte, then the nodes), and for straight programs the flat
// form after the code (see RegFlatForm.h). Each node is an opcode byte, a
// 16-bit "next" offset stored high byte first (counted backward for LoopBack,
// 0 for none) and, for literals and sets, a NUL-terminated operand.

#include <cctype>
#include <cstdint>
#include <cstring>

namespace Tessary {
namespace detail {

// Node opcodes.
struct RegOp {
    enum Code : unsigned char {
        Stop = 0,
        AtStart = 1,
        AtEnd = 2,
        AnyChar = 3,
        InSet = 4,
        NotInSet = 5,
        Alternative = 6,
        LoopBack = 7,
        Literal = 8,
        Empty = 9,
        RepeatStar = 10,
        RepeatPlus = 11,
        WordStart = 12,
        WordEnd = 13,
        GroupOpen = 20,   // + group number 1..9
        GroupClose = 30,  // + group number 1..9
    };
};

constexpr unsigned char kRegMagic = 0x9C;
// Programs of this many code bytes or more do not compile.
constexpr int kRegMaxProgramSize = 0x7FFF;
// Group slots: 0 is the whole match, 1..9 the groups.
constexpr int kRegGroups = 10;

inline bool IsGroupOpen(unsigned char op) { return op > RegOp::GroupOpen && op < RegOp::GroupOpen + kRegGroups; }
inline bool IsGroupClose(unsigned char op) { return op > RegOp::GroupClose && op < RegOp::GroupClose + kRegGroups; }

// Letters, digits and "_": what the word boundaries look for.
inline bool IsRegWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// A set of byte values. Plain data, so that a value-initialised one is empty
// and the flat form can be copied with memcpy.
struct CharSet {
    std::uint64_t bits[4];

    void Add(unsigned c) { bits[c >> 6] |= std::uint64_t{1} << (c & 63); }
    void Remove(unsigned c) { bits[c >> 6] &= ~(std::uint64_t{1} << (c & 63)); }
    void Fill() {
        for (std::uint64_t& word : bits) word = ~std::uint64_t{0};
    }
    bool Has(char c) const {
        const auto u = static_cast<unsigned char>(c);
        return (bits[u >> 6] >> (u & 63)) & 1;
    }
    // The only member, or -1 when there are none or several.
    int OnlyMember() const;
};

struct RegProgram {
    // Group boundaries of the last successful try, written by the matchers.
    const char* startp[kRegGroups];
    const char* endp[kRegGroups];
    char firstChar;  // every match starts with it, or 0
    bool anchored;   // the expression starts with "^"
    int mustOffset;  // offset of the must string in the code, or 0
    int mustLength;
    int size;    // code bytes
    int groups;  // group slots in use: 0 (whole match) to the last group

    // Where a match can start; both matchers scan with these (ScanStarts).
    // When every match consumes a first character, the characters it can
    // be, and the only one when there is one (else -1).
    bool useStartSet;
    CharSet startSet;
    int startChar;
    // A match consumes at least minLength characters; when it passes "$",
    // it starts at most endWithin characters before the end (-1: no bound).
    int minLength;
    int endWithin;

    // The flat form of a straight program (0 count when there is none), and
    // the offset of its SimpleForm after it (0 when there is none).
    int fastCount;
    int fastOffset;
    int simpleOffset;
    // A simple form without a leading repeat, "^" or must string, whose
    // matches start with startChar.
    bool simpleByChar;

    unsigned char* Code() { return reinterpret_cast<unsigned char*>(this + 1); }
    const unsigned char* Code() const { return reinterpret_cast<const unsigned char*>(this + 1); }
    const char* MustString() const { return reinterpret_cast<const char*>(Code() + mustOffset); }
};

// Adds what the one-character node at `node` (Literal, AnyChar, InSet,
// NotInSet) consumes to `set`.
void AddConsumed(const unsigned char* code, int node, CharSet& set);

// The node after `node`, or 0.
inline int NextNode(const unsigned char* code, int node) {
    const int offset = (code[node + 1] << 8) | code[node + 2];
    if (offset == 0) return 0;
    return code[node] == RegOp::LoopBack ? node - offset : node + offset;
}

// The first character of the Literal after `node`, or 0 when the next node is
// no literal: a repeat before it can only stop where that character stands.
inline char FollowingLiteralChar(const unsigned char* code, int node) {
    const int next = NextNode(code, node);
    return next != 0 && code[next] == RegOp::Literal ? static_cast<char>(code[next + 3]) : '\0';
}

// Length in bytes of the node at `node`, its string operand included.
inline int NodeLength(const unsigned char* code, int node) {
    const unsigned char op = code[node];
    if (op == RegOp::Literal || op == RegOp::InSet || op == RegOp::NotInSet)
        return 3 + static_cast<int>(std::strlen(reinterpret_cast<const char*>(code + node + 3))) + 1;
    return 3;
}

// Length of the NUL-terminated operand of the node at `node`.
inline int OperandLength(const unsigned char* code, int node) {
    return static_cast<int>(std::strlen(reinterpret_cast<const char*>(code + node + 3)));
}

// Compiles `text` into a new program (release with std::free), or returns
// null with `error` set.
RegProgram* CompileRegProgram(const char* text, const char*& error);

// The backtracking search over any program: true with startp/endp filled
// for the leftmost match; false for none, or with `error` set when the
// search gave up.
bool SearchRegProgram(RegProgram& prog, const char* s, int len, const char*& error);

}  // namespace detail
}  // namespace Tessary
