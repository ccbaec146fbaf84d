#include "tessary/util/RegExpression.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace Tessary {

namespace detail {

// The compiled program: header, then `size` bytes of code (magic byte first,
// then the nodes). One malloc'd block, released with free().
struct RegProgram {
    const char* startp[10];
    const char* endp[10];
    char firstChar;    // every match starts with it, or 0
    bool anchored;     // the expression starts with "^"
    int mustOffset;    // offset of the must string in the code, or 0
    int mustLength;
    int size;
    int groups;  // group slots in use: 0 (whole match) to the last group
    // When every match consumes a first character, the characters it can be.
    bool useFirstSet;
    std::uint64_t firstSet[4];
    // Straight programs (see FastOp) also carry a flat copy after the code.
    int fastCount;
    int fastOffset;
    // The flat matcher's filter of start positions: the first set, or the
    // first character alone; unused when any position may start a match.
    bool fastUseStartSet;
    std::uint64_t fastStartSet[4];
    // Offset of the SimpleForm of the program after the flat copy, or 0.
    int simpleOffset;
    // A simple form without a leading repeat, "^" or must string, whose
    // matches start with fastStartChar.
    bool simpleByChar;
    // The only character that can start a match, or -1 (then the start set).
    int fastStartChar;
    // Bounds on where a match of the flat program can start: it consumes at
    // least fastMinLength characters, and when it passes "$", at most
    // fastEndWithin characters before it (-1: no such bound).
    int fastMinLength;
    int fastEndWithin;

    unsigned char* Code() { return reinterpret_cast<unsigned char*>(this + 1); }
    const unsigned char* Code() const { return reinterpret_cast<const unsigned char*>(this + 1); }
};

}  // namespace detail

namespace {

using detail::RegProgram;
using Op = RegExpression::Opcode;

constexpr int kGroups = 10;

// Flags the parser passes up about what it just built.
constexpr int kWorst = 0;      // might match the empty string
constexpr int kHasWidth = 1;   // never matches the empty string
constexpr int kSimple = 2;     // one node matching exactly one character
constexpr int kSpStart = 4;    // starts with * or ?

// Characters that end a literal run.
constexpr const char* kMeta = "^$.[()|?+*\\\n";

bool IsMult(char c) { return c == '*' || c == '+' || c == '?'; }
bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Membership in a NUL-terminated set; NUL itself is never a member. Sets are
// short, so a plain loop beats a library call.
inline bool InSetChars(const unsigned char* set, char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u == 0) return false;
    for (; *set; ++set)
        if (*set == u) return true;
    return false;
}

int NextOf(const unsigned char* code, int node) {
    const int offset = (code[node + 1] << 8) | code[node + 2];
    if (offset == 0) return 0;
    return code[node] == Op::LoopBack ? node - offset : node + offset;
}

// Length in bytes of the node at `node`, its string operand included.
int NodeLength(const unsigned char* code, int node) {
    const unsigned char op = code[node];
    if (op == Op::Literal || op == Op::InSet || op == Op::NotInSet)
        return 3 + static_cast<int>(std::strlen(reinterpret_cast<const char*>(code + node + 3))) + 1;
    return 3;
}

// Two passes over the text: the first (sizing) only counts bytes, the second
// writes the nodes into a buffer of exactly that size. Node positions are
// offsets into the code; 0 (the magic byte) is never a node, so it serves as
// "none", and -1 reports a syntax error.
class Compiler {
public:
    Compiler(const char* text, unsigned char* code) : m_p(text), m_code(code), m_sizing(code == nullptr) {}

    int Parse(int& flags) {
        EmitByte(RegExpression::Magic);
        return Reg(false, flags);
    }
    long Size() const { return m_sizing ? m_size : m_emit; }
    const char* Error() const { return m_error; }
    int Groups() const { return m_groups; }

private:
    int Fail(const char* message) {
        if (!m_error) m_error = message;
        return -1;
    }

    void EmitByte(unsigned char b) {
        if (m_sizing) ++m_size;
        else m_code[m_emit++] = b;
    }
    int EmitNode(unsigned char op) {
        if (m_sizing) {
            m_size += 3;
            return 1;
        }
        const int node = m_emit;
        m_code[m_emit++] = op;
        m_code[m_emit++] = 0;
        m_code[m_emit++] = 0;
        return node;
    }
    // Puts a node in front of the operand that starts at `at`.
    void InsertNode(unsigned char op, int at) {
        if (m_sizing) {
            m_size += 3;
            return;
        }
        std::memmove(m_code + at + 3, m_code + at, static_cast<std::size_t>(m_emit - at));
        m_emit += 3;
        m_code[at] = op;
        m_code[at + 1] = 0;
        m_code[at + 2] = 0;
    }
    // Links the last node of the chain starting at `p` to `target`.
    void Tail(int p, int target) {
        if (m_sizing) return;
        int scan = p;
        for (int next; (next = NextOf(m_code, scan)) != 0;) scan = next;
        const int offset = m_code[scan] == Op::LoopBack ? scan - target : target - scan;
        m_code[scan + 1] = static_cast<unsigned char>((offset >> 8) & 0xFF);
        m_code[scan + 2] = static_cast<unsigned char>(offset & 0xFF);
    }
    // Tail on the operand of an Alternative node; nothing for other nodes.
    void OperandTail(int p, int target) {
        if (m_sizing || p <= 0 || m_code[p] != Op::Alternative) return;
        Tail(p + 3, target);
    }

    // The expression or a parenthesised group: alternatives separated by "|"
    // or a newline. Nesting is bounded by the nine groups.
    int Reg(bool paren, int& flags) {
        flags = kHasWidth;
        int ret = 0;
        int parno = 0;
        if (paren) {
            if (m_groups >= kGroups) return Fail("too many ()");
            parno = m_groups++;
            ret = EmitNode(static_cast<unsigned char>(Op::GroupOpen + parno));
        }
        int branchFlags;
        int br = Branch(branchFlags);
        if (br < 0) return -1;
        if (ret) Tail(ret, br);
        else ret = br;
        if (!(branchFlags & kHasWidth)) flags &= ~kHasWidth;
        flags |= branchFlags & kSpStart;
        while (*m_p == '|' || *m_p == '\n') {
            ++m_p;
            br = Branch(branchFlags);
            if (br < 0) return -1;
            Tail(ret, br);
            if (!(branchFlags & kHasWidth)) flags &= ~kHasWidth;
            flags |= branchFlags & kSpStart;
        }
        const int ender = EmitNode(static_cast<unsigned char>(paren ? Op::GroupClose + parno : Op::Stop));
        Tail(ret, ender);
        if (!m_sizing)
            for (int b = ret; b != 0; b = NextOf(m_code, b)) OperandTail(b, ender);
        if (paren) {
            if (*m_p != ')') return Fail("unmatched ()");
            ++m_p;
        } else if (*m_p != '\0') {
            return Fail(*m_p == ')' ? "unmatched ()" : "junk on end");
        }
        return ret;
    }

    // One alternative: a chain of pieces behind an Alternative node.
    int Branch(int& flags) {
        flags = kWorst;
        const int ret = EmitNode(Op::Alternative);
        int chain = 0;
        while (*m_p != '\0' && *m_p != '|' && *m_p != '\n' && *m_p != ')') {
            int pieceFlags;
            const int latest = Piece(pieceFlags);
            if (latest < 0) return -1;
            flags |= pieceFlags & kHasWidth;
            if (chain == 0) flags |= pieceFlags & kSpStart;
            else Tail(chain, latest);
            chain = latest;
        }
        if (chain == 0) EmitNode(Op::Empty);
        return ret;
    }

    // An atom with an optional repeat. Simple atoms get the compact repeat
    // nodes; anything else loops through Alternative/LoopBack/Empty.
    int Piece(int& flags) {
        int atomFlags;
        const int ret = Atom(atomFlags);
        if (ret < 0) return -1;
        const char op = *m_p;
        if (!IsMult(op)) {
            flags = atomFlags;
            return ret;
        }
        if (!(atomFlags & kHasWidth) && op != '?') return Fail("*+ operand could be empty");
        flags = op != '+' ? (kWorst | kSpStart) : (kWorst | kHasWidth);

        if (op == '*' && (atomFlags & kSimple)) {
            InsertNode(Op::RepeatStar, ret);
        } else if (op == '*') {
            // x* becomes (x LoopBack | Empty)
            InsertNode(Op::Alternative, ret);
            OperandTail(ret, EmitNode(Op::LoopBack));
            OperandTail(ret, ret);
            Tail(ret, EmitNode(Op::Alternative));
            Tail(ret, EmitNode(Op::Empty));
        } else if (op == '+' && (atomFlags & kSimple)) {
            InsertNode(Op::RepeatPlus, ret);
        } else if (op == '+') {
            // x+ becomes x (LoopBack | Empty)
            const int next = EmitNode(Op::Alternative);
            Tail(ret, next);
            Tail(EmitNode(Op::LoopBack), ret);
            Tail(next, EmitNode(Op::Alternative));
            Tail(ret, EmitNode(Op::Empty));
        } else {
            // x? becomes (x | Empty)
            InsertNode(Op::Alternative, ret);
            Tail(ret, EmitNode(Op::Alternative));
            const int next = EmitNode(Op::Empty);
            Tail(ret, next);
            OperandTail(ret, next);
        }
        ++m_p;
        if (IsMult(*m_p)) return Fail("nested *?+");
        return ret;
    }

    int Atom(int& flags) {
        flags = kWorst;
        const char c = *m_p++;
        switch (c) {
            case '^':
                return EmitNode(Op::AtStart);
            case '$':
                return EmitNode(Op::AtEnd);
            case '.':
                flags |= kHasWidth | kSimple;
                return EmitNode(Op::AnyChar);
            case '[':
                return Set(flags);
            case '(': {
                int groupFlags;
                const int ret = Reg(true, groupFlags);
                if (ret < 0) return -1;
                flags |= groupFlags & (kHasWidth | kSpStart);
                return ret;
            }
            case '\0':
            case '|':
            case '\n':
            case ')':
                // Branch() stops before these.
                return Fail("internal urp");
            case '?':
            case '+':
            case '*':
                return Fail("?+* follows nothing");
            case '\\':
                if (*m_p == '\0') return Fail("trailing \\");
                if (*m_p == '<') {
                    ++m_p;
                    return EmitNode(Op::WordStart);
                }
                if (*m_p == '>') {
                    ++m_p;
                    return EmitNode(Op::WordEnd);
                }
                break;
            default:
                break;
        }
        --m_p;
        return LiteralRun(flags);
    }

    int Set(int& flags) {
        int ret;
        if (*m_p == '^') {
            ret = EmitNode(Op::NotInSet);
            ++m_p;
        } else {
            ret = EmitNode(Op::InSet);
        }
        if (*m_p == ']' || *m_p == '-') EmitByte(static_cast<unsigned char>(*m_p++));
        while (*m_p != '\0' && *m_p != ']') {
            if (*m_p != '-') {
                EmitByte(static_cast<unsigned char>(*m_p++));
                continue;
            }
            ++m_p;
            if (*m_p == ']' || *m_p == '\0') {
                EmitByte('-');
                continue;
            }
            // The range start is already in the set.
            int from = static_cast<unsigned char>(m_p[-2]) + 1;
            const int to = static_cast<unsigned char>(*m_p);
            if (from > to + 1) return Fail("invalid [] range");
            for (; from <= to; ++from) EmitByte(static_cast<unsigned char>(from));
            ++m_p;
        }
        EmitByte(0);
        if (*m_p != ']') return Fail("unmatched []");
        ++m_p;
        flags |= kHasWidth | kSimple;
        return ret;
    }

    // Ordinary characters (and "\c" escapes) up to the next metacharacter.
    // When a repeat follows, it applies to the last character alone.
    int LiteralRun(int& flags) {
        const char* end = m_p;
        const char* last = m_p;
        int count = 0;
        while (*end != '\0') {
            if (*end == '\\') {
                if (end[1] == '\0' || end[1] == '<' || end[1] == '>') break;
                last = end;
                end += 2;
            } else {
                if (std::strchr(kMeta, *end)) break;
                last = end;
                ++end;
            }
            ++count;
        }
        if (count == 0) return Fail("internal urp");
        if (count > 1 && IsMult(*end)) {
            end = last;
            --count;
        }
        flags |= kHasWidth;
        if (count == 1) flags |= kSimple;
        const int ret = EmitNode(Op::Literal);
        for (const char* r = m_p; r < end;) {
            if (*r == '\\') ++r;
            EmitByte(static_cast<unsigned char>(*r++));
        }
        EmitByte(0);
        m_p = end;
        return ret;
    }

    const char* m_p;
    unsigned char* m_code;
    bool m_sizing;
    long m_size = 0;
    int m_emit = 0;
    int m_groups = 1;
    const char* m_error = nullptr;
};

// The characters a match can start with, found by walking the program from
// its start through every node that consumes nothing. False when a path can
// reach the end without consuming, or when any character may come first:
// then the set is no help. Assertions are passed through, which only makes
// the set larger than necessary.
bool FirstSet(RegProgram& prog) {
    const unsigned char* code = prog.Code();
    std::uint64_t* set = prog.firstSet;
    auto add = [set](unsigned c) { set[c >> 6] |= std::uint64_t{1} << (c & 63); };
    // Adds what the simple node `node` consumes; false for "anything".
    auto consume = [&](int node) {
        const unsigned char* operand = code + node + 3;
        switch (code[node]) {
            case Op::Literal:
                add(operand[0]);
                return true;
            case Op::InSet:
                for (; *operand; ++operand) add(*operand);
                return true;
            case Op::NotInSet: {
                bool excluded[256] = {};
                for (; *operand; ++operand) excluded[*operand] = true;
                for (unsigned c = 0; c < 256; ++c)
                    if (!excluded[c]) add(c);
                return true;
            }
            default:
                return false;
        }
    };
    std::vector<bool> visited(static_cast<std::size_t>(prog.size), false);
    std::vector<int> pending{1};
    while (!pending.empty()) {
        const int node = pending.back();
        pending.pop_back();
        if (node <= 0 || node + 3 > prog.size) return false;
        if (visited[static_cast<std::size_t>(node)]) continue;
        visited[static_cast<std::size_t>(node)] = true;
        const unsigned char op = code[node];
        const int next = NextOf(code, node);
        switch (op) {
            case Op::Literal:
            case Op::InSet:
            case Op::NotInSet:
                consume(node);
                break;
            case Op::RepeatPlus:
                if (!consume(node + 3)) return false;
                break;
            case Op::RepeatStar:
                if (!consume(node + 3)) return false;
                pending.push_back(next);
                break;
            case Op::Alternative:
                pending.push_back(node + 3);
                if (next != 0 && code[next] == Op::Alternative) pending.push_back(next);
                break;
            case Op::AtStart:
            case Op::AtEnd:
            case Op::WordStart:
            case Op::WordEnd:
            case Op::Empty:
            case Op::LoopBack:
                pending.push_back(next);
                break;
            default:
                if ((op > Op::GroupOpen && op < Op::GroupOpen + kGroups) ||
                    (op > Op::GroupClose && op < Op::GroupClose + kGroups)) {
                    pending.push_back(next);
                    break;
                }
                return false;  // Stop, AnyChar: no useful set
        }
    }
    return true;
}

// A straight program, one alternative of simple nodes, groups that are not
// repeated, and alternations of plain literals ("(CA|CB|N)", "x?"), is also
// kept as a flat array of these: the common name filters then run without the
// general machinery. Its choice points, the repeats and the alternations,
// are explored exactly as the general matcher explores them; since no node
// is visited twice on a path, group positions need no log.
constexpr int kMaxFastOps = 16;
constexpr int kMaxFastRepeats = 8;  // choice points: repeats and alternations
constexpr int kMaxFastAlternatives = 8;

struct FastOp {
    std::uint64_t set[4];  // what one step consumes: sets, repeat operands
    std::int32_t literal;  // Literal: code offset of its text
    std::int32_t length;   // Literal: text length; Alternative: number of alternatives
    // Alternative: each alternative is a literal (code offset and length;
    // length 0 for an empty alternative).
    std::int16_t altOffset[kMaxFastAlternatives];
    std::int16_t altLength[kMaxFastAlternatives];
    unsigned char kind;    // the opcode
    unsigned char min;     // repeats: least count
    char nextChar;         // repeats: first character of a following Literal, or 0
    bool any;              // repeats: the operand is AnyChar
};

// Fills `op.set` with what the simple node at `node` consumes.
void SimpleNodeSet(const unsigned char* code, int node, FastOp& op) {
    auto add = [&op](unsigned c) { op.set[c >> 6] |= std::uint64_t{1} << (c & 63); };
    const unsigned char* operand = code + node + 3;
    switch (code[node]) {
        case Op::Literal:
            add(operand[0]);
            break;
        case Op::AnyChar:
            for (std::uint64_t& word : op.set) word = ~std::uint64_t{0};
            op.any = true;
            break;
        case Op::InSet:
            for (; *operand; ++operand) add(*operand);
            break;
        case Op::NotInSet: {
            // NUL is never in a set, so a negated set takes it.
            for (std::uint64_t& word : op.set) word = ~std::uint64_t{0};
            for (; *operand; ++operand) op.set[*operand >> 6] &= ~(std::uint64_t{1} << (*operand & 63));
            break;
        }
        default:
            break;
    }
}

// The flat form of a straight program, or 0 when the program is not one.
int CollectFastOps(const RegProgram& prog, FastOp* ops) {
    const unsigned char* code = prog.Code();
    const int after = NextOf(code, 1);
    if (after == 0 || code[after] != Op::Stop) return 0;
    auto nextAlternative = [code](int alternative) {
        const int next = NextOf(code, alternative);
        return next != 0 && code[next] == Op::Alternative ? next : 0;
    };
    int count = 0;
    int repeats = 0;
    for (int node = 4, following; node != 0; node = following) {
        if (node + 3 > prog.size) return 0;
        following = NextOf(code, node);
        const unsigned char kind = code[node];
        if (kind == Op::Empty) continue;
        if (count == kMaxFastOps) return 0;
        FastOp& op = ops[count++];
        op = FastOp{};
        op.kind = kind;
        if ((kind > Op::GroupOpen && kind < Op::GroupOpen + kGroups) ||
            (kind > Op::GroupClose && kind < Op::GroupClose + kGroups))
            continue;
        switch (kind) {
            case Op::Stop:
                return count;
            case Op::Literal:
                op.literal = node + 3;
                op.length = static_cast<std::int32_t>(std::strlen(reinterpret_cast<const char*>(code + node + 3)));
                break;
            case Op::AnyChar:
            case Op::InSet:
            case Op::NotInSet:
                SimpleNodeSet(code, node, op);
                break;
            case Op::AtStart:
            case Op::AtEnd:
            case Op::WordStart:
            case Op::WordEnd:
                break;
            case Op::RepeatStar:
            case Op::RepeatPlus: {
                if (++repeats > kMaxFastRepeats) return 0;
                SimpleNodeSet(code, node + 3, op);
                op.min = kind == Op::RepeatPlus ? 1 : 0;
                const int next = NextOf(code, node);
                op.nextChar = next != 0 && code[next] == Op::Literal ? static_cast<char>(code[next + 3]) : '\0';
                break;
            }
            case Op::Alternative: {
                // Alternatives that are each one literal (or nothing) and all
                // lead to the same node, where the path continues.
                if (++repeats > kMaxFastRepeats) return 0;
                int last = node;
                while (nextAlternative(last)) last = nextAlternative(last);
                const int join = NextOf(code, last);
                if (join == 0) return 0;
                for (int alternative = node; alternative != 0; alternative = nextAlternative(alternative)) {
                    if (op.length == kMaxFastAlternatives) return 0;
                    const int operand = alternative + 3;
                    int offset = 0;
                    int length = 0;
                    if (operand != join) {
                        if (NextOf(code, operand) != join) return 0;
                        if (code[operand] == Op::Literal) {
                            offset = operand + 3;
                            length = static_cast<int>(std::strlen(reinterpret_cast<const char*>(code + offset)));
                        } else if (code[operand] != Op::Empty) {
                            return 0;
                        }
                    }
                    op.altOffset[op.length] = static_cast<std::int16_t>(offset);
                    op.altLength[op.length] = static_cast<std::int16_t>(length);
                    ++op.length;
                }
                following = join;
                break;
            }
            default:
                return 0;
        }
    }
    return 0;
}

// The simplest straight programs, a run of one-character tests with an
// optional "^" or repeat of "." before it and either "$" or one repeat after
// it ("C[AB]", "^O.*", "[^H].*", ".*1"), need no general backtracking: a
// plain loop over these sets finds what the flat matcher finds.
struct SimpleForm {
    static constexpr int kMaxChars = 16;
    std::uint64_t sets[kMaxChars][4];
    std::uint64_t repeat[4];
    int chars;
    int leadMin;    // least count of a leading ".*" or ".+", -1 when there is none
    int repeatMin;  // -1 when there is no repeat after the characters
    bool repeatAny;  // that repeat takes any character: it runs to the end
    bool atEnd;
};

bool CollectSimpleForm(const RegProgram& prog, const FastOp* ops, int count, SimpleForm& form) {
    form = SimpleForm{};
    form.leadMin = -1;
    form.repeatMin = -1;
    const unsigned char* code = prog.Code();
    for (int i = 0; i < count; ++i) {
        const FastOp& op = ops[i];
        if (form.atEnd && op.kind != Op::Stop) return false;
        const bool consumes = op.kind == Op::Literal || op.kind == Op::AnyChar || op.kind == Op::InSet ||
                              op.kind == Op::NotInSet;
        if (consumes && form.repeatMin >= 0) {
            // Characters after a repeat: only a leading "." repeat is simple.
            if (form.chars != 0 || !form.repeatAny || form.leadMin >= 0) return false;
            form.leadMin = form.repeatMin;
            form.repeatMin = -1;
            form.repeatAny = false;
        }
        switch (op.kind) {
            case Op::Stop:
                return i == count - 1;
            case Op::AtStart:
                if (i != 0 || !prog.anchored) return false;
                break;
            case Op::AtEnd:
                // A repeat before "$" could be backed off; the flat matcher
                // bounds that search.
                if (form.repeatMin >= 0) return false;
                form.atEnd = true;
                break;
            case Op::Literal:
                if (form.chars + op.length > SimpleForm::kMaxChars) return false;
                for (int k = 0; k < op.length; ++k) {
                    const unsigned c = code[op.literal + k];
                    form.sets[form.chars++][c >> 6] |= std::uint64_t{1} << (c & 63);
                }
                break;
            case Op::AnyChar:
            case Op::InSet:
            case Op::NotInSet:
                if (form.chars == SimpleForm::kMaxChars) return false;
                std::memcpy(form.sets[form.chars++], op.set, sizeof op.set);
                break;
            case Op::RepeatStar:
            case Op::RepeatPlus:
                if (form.repeatMin >= 0 || form.leadMin >= 0) return false;
                form.repeatMin = op.min;
                form.repeatAny = op.any;
                std::memcpy(form.repeat, op.set, sizeof op.set);
                break;
            default:
                return false;
        }
    }
    return false;
}

// How many characters a match of the flat program consumes at least, and
// at most before its first "$" (-1 when there is none or a repeat comes first).
void FastLengthBounds(const FastOp* ops, int count, int& minLength, int& endWithin) {
    minLength = 0;
    endWithin = -1;
    int before = 0;  // most characters consumed so far, -1 once unbounded
    for (int i = 0; i < count; ++i) {
        const FastOp& op = ops[i];
        switch (op.kind) {
            case Op::Literal:
                minLength += op.length;
                if (before >= 0) before += op.length;
                break;
            case Op::AnyChar:
            case Op::InSet:
            case Op::NotInSet:
                minLength += 1;
                if (before >= 0) before += 1;
                break;
            case Op::RepeatStar:
            case Op::RepeatPlus:
                minLength += op.min;
                before = -1;
                break;
            case Op::Alternative: {
                int shortest = op.altLength[0];
                int longest = op.altLength[0];
                for (int a = 1; a < op.length; ++a) {
                    shortest = std::min<int>(shortest, op.altLength[a]);
                    longest = std::max<int>(longest, op.altLength[a]);
                }
                minLength += shortest;
                if (before >= 0) before += longest;
                break;
            }
            case Op::AtEnd:
                if (endWithin < 0 && before >= 0) endWithin = before;
                before = -1;
                break;
            default:
                break;
        }
    }
}

RegProgram* CompileProgram(const char* text, const char*& error) {
    if (!text) {
        error = "NULL argument";
        return nullptr;
    }
    int flags = 0;
    Compiler sizing(text, nullptr);
    if (sizing.Parse(flags) < 0) {
        error = sizing.Error();
        return nullptr;
    }
    const long size = sizing.Size();
    if (size >= RegExpression::MaxProgramSize) {
        error = "regexp too big";
        return nullptr;
    }
    const std::size_t bytes = sizeof(RegProgram) + static_cast<std::size_t>(size);
    auto* prog = static_cast<RegProgram*>(std::calloc(1, bytes));
    if (!prog) {
        error = "out of space";
        return nullptr;
    }
    prog->size = static_cast<int>(size);
    Compiler emit(text, prog->Code());
    if (emit.Parse(flags) < 0 || emit.Size() != size) {
        error = emit.Error() ? emit.Error() : "internal foulup";
        std::free(prog);
        return nullptr;
    }
    prog->groups = emit.Groups();

    // Search hints, only for a single top-level alternative.
    const unsigned char* code = prog->Code();
    int scan = 1;
    const int afterFirst = NextOf(code, scan);
    if (afterFirst != 0 && code[afterFirst] == Op::Stop) {
        scan += 3;
        if (code[scan] == Op::Literal) prog->firstChar = static_cast<char>(code[scan + 3]);
        else if (code[scan] == Op::AtStart) prog->anchored = true;
        if (flags & kSpStart) {
            int longest = 0;
            int length = 0;
            for (; scan != 0; scan = NextOf(code, scan)) {
                if (code[scan] != Op::Literal) continue;
                const int l = static_cast<int>(std::strlen(reinterpret_cast<const char*>(code + scan + 3)));
                if (l >= length) {
                    longest = scan + 3;
                    length = l;
                }
            }
            prog->mustOffset = longest;
            prog->mustLength = length;
        }
    }
    prog->useFirstSet = !prog->anchored && (flags & kHasWidth) && FirstSet(*prog);

    FastOp ops[kMaxFastOps];
    const int fastCount = CollectFastOps(*prog, ops);
    if (fastCount > 0) {
        const int offset = (prog->size + 7) & ~7;
        const std::size_t opBytes = sizeof(FastOp) * static_cast<std::size_t>(fastCount);
        SimpleForm form;
        const bool simple = CollectSimpleForm(*prog, ops, fastCount, form);
        const std::size_t grownBytes =
            sizeof(RegProgram) + static_cast<std::size_t>(offset) + opBytes + (simple ? sizeof(SimpleForm) : 0);
        // Without room for the flat copy the general matcher does the work.
        if (auto* grown = static_cast<RegProgram*>(std::realloc(prog, grownBytes))) {
            prog = grown;
            std::memcpy(prog->Code() + offset, ops, opBytes);
            prog->fastCount = fastCount;
            prog->fastOffset = offset;
            if (simple) {
                prog->simpleOffset = offset + static_cast<int>(opBytes);
                std::memcpy(prog->Code() + prog->simpleOffset, &form, sizeof form);
            }
            if (prog->useFirstSet) {
                prog->fastUseStartSet = true;
                std::memcpy(prog->fastStartSet, prog->firstSet, sizeof prog->firstSet);
            } else if (prog->firstChar != '\0') {
                const auto c = static_cast<unsigned char>(prog->firstChar);
                prog->fastUseStartSet = true;
                prog->fastStartSet[c >> 6] |= std::uint64_t{1} << (c & 63);
            }
            FastLengthBounds(ops, fastCount, prog->fastMinLength, prog->fastEndWithin);
            int members = 0;
            for (int c = 0; c < 256; ++c) {
                if (!((prog->fastStartSet[c >> 6] >> (c & 63)) & 1)) continue;
                prog->fastStartChar = c;
                ++members;
            }
            if (members != 1) prog->fastStartChar = -1;
            prog->simpleByChar = simple && form.leadMin < 0 && prog->fastStartChar >= 0 && !prog->anchored &&
                                 prog->mustOffset == 0;
        }
    }
    return prog;
}

// Whether the subject holds the must string. Names are short: a plain loop
// beats the library search there.
bool HoldsMustString(const RegProgram& prog, const char* s, int len) {
    const char* must = reinterpret_cast<const char*>(prog.Code() + prog.mustOffset);
    const int length = prog.mustLength;
    if (length > 1 || len > 64)
        return std::string_view(s, static_cast<std::size_t>(len))
                   .find(std::string_view(must, static_cast<std::size_t>(length))) != std::string_view::npos;
    // One character: test them all without stopping at the first hit.
    bool found = false;
    for (int pos = 0; pos < len; ++pos) found |= s[pos] == must[0];
    return found;
}

// Tries the positions where a match can start, in order, until `tryAt`
// reports a match (1) or gives up (-1); 0 when no position matched.
template <class TryAt>
int SearchPositions(const RegProgram& prog, const char* s, int len, TryAt tryAt) {
    if (prog.mustOffset != 0 && !HoldsMustString(prog, s, len)) return 0;
    if (prog.anchored) return tryAt(0);
    if (prog.firstChar != '\0') {
        // Names are short: look for the first character inline before paying
        // for a library call.
        for (int pos = 0; pos < len && pos < 16; ++pos) {
            if (s[pos] != prog.firstChar) continue;
            if (const int r = tryAt(pos)) return r;
        }
        for (int pos = 16; pos < len;) {
            const void* hit = std::memchr(s + pos, prog.firstChar, static_cast<std::size_t>(len - pos));
            if (!hit) break;
            pos = static_cast<int>(static_cast<const char*>(hit) - s);
            if (const int r = tryAt(pos)) return r;
            ++pos;
        }
        return 0;
    }
    if (prog.useFirstSet) {
        const std::uint64_t* set = prog.firstSet;
        for (int pos = 0; pos < len; ++pos) {
            const auto c = static_cast<unsigned char>(s[pos]);
            if (!((set[c >> 6] >> (c & 63)) & 1)) continue;
            if (const int r = tryAt(pos)) return r;
        }
        return 0;
    }
    for (int pos = 0; pos <= len; ++pos)
        if (const int r = tryAt(pos)) return r;
    return 0;
}

// The matcher of straight programs: the repeats are the only choice points,
// at most one each on a fixed stack. It gives up (and leaves the search to
// the general matcher, which bounds pathological cases) after a modest
// amount of work.
class FastMatcher {
public:
    FastMatcher(RegProgram& prog, const char* s, int len)
        : m_prog(prog),
          m_code(prog.Code()),
          m_ops(reinterpret_cast<const FastOp*>(prog.Code() + prog.fastOffset)),
          m_s(s),
          m_len(len),
          m_limit(4096 + 8 * static_cast<std::uint64_t>(len)) {}

    // The leftmost match, tried at the same positions and in the same order
    // as SearchPositions does, in one loop so that Try is inlined: 1 with
    // `start` and `end` set, 0 for none, -1 when giving up.
    int Search(int& start, int& end) {
        if (m_prog.simpleOffset != 0) return SearchSimple(start, end);
        return Scan(start, end, [this](int pos, int& e) { return Try(pos, e); });
    }
    // SearchSimple for a program marked simpleByChar.
#if defined(__GNUC__)
    __attribute__((always_inline))
#endif
    int SearchSimpleByChar(int& start, int& end) {
        const auto& form = *reinterpret_cast<const SimpleForm*>(m_code + m_prog.simpleOffset);
        const char only = static_cast<char>(m_prog.fastStartChar);
        const int first = m_prog.fastEndWithin >= 0 ? std::max(0, m_len - m_prog.fastEndWithin) : 0;
        const int last = std::min(m_len - m_prog.fastMinLength, m_len - 1);
        for (int pos = first; pos <= last; ++pos) {
            if (m_s[pos] != only) continue;
            // The first character is the start character: test the others.
            int k = 1;
            while (k < form.chars && InSet(form.sets[k], m_s[pos + k])) ++k;
            if (k < form.chars || !TrySimpleRest(form, pos + form.chars, end)) continue;
            start = pos;
            return 1;
        }
        return 0;
    }

    // Search for a program with a simple form: never gives up.
#if defined(__GNUC__)
    __attribute__((always_inline))
#endif
    int SearchSimple(int& start, int& end) {
        const auto& form = *reinterpret_cast<const SimpleForm*>(m_code + m_prog.simpleOffset);
        if (form.leadMin >= 0) {
            // A later start leaves the leading repeat fewer counts to try:
            // when the first start fails, every later one does.
            if (m_prog.mustOffset != 0 && !HoldsMustString(m_prog, m_s, m_len)) return 0;
            start = 0;
            return TrySimple(form, 0, end);
        }
        return Scan(start, end, [this, &form](int pos, int& e) { return TrySimple(form, pos, e); });
    }

private:
    template <class TryAt>
#if defined(__GNUC__)
    __attribute__((always_inline))
#endif
    int Scan(int& start, int& end, TryAt tryAt) {
        if (m_prog.mustOffset != 0 && !HoldsMustString(m_prog, m_s, m_len)) return 0;
        if (m_prog.anchored) {
            start = 0;
            return tryAt(0, end);
        }
        // Positions outside the bounds cannot start a match: skipping them
        // leaves the leftmost match as it is.
        const int first = m_prog.fastEndWithin >= 0 ? std::max(0, m_len - m_prog.fastEndWithin) : 0;
        const int last = m_len - m_prog.fastMinLength;
        // A start set needs a character at the start.
        const int lastWithSet = std::min(last, m_len - 1);
        if (m_prog.fastStartChar >= 0) {
            const char only = static_cast<char>(m_prog.fastStartChar);
            for (int pos = first; pos <= lastWithSet; ++pos) {
                if (m_s[pos] != only) continue;
                if (const int r = tryAt(pos, end)) {
                    start = pos;
                    return r;
                }
            }
            return 0;
        }
        if (m_prog.fastUseStartSet) {
            const std::uint64_t* set = m_prog.fastStartSet;
            for (int pos = first; pos <= lastWithSet; ++pos) {
                const auto c = static_cast<unsigned char>(m_s[pos]);
                if (!((set[c >> 6] >> (c & 63)) & 1)) continue;
                if (const int r = tryAt(pos, end)) {
                    start = pos;
                    return r;
                }
            }
            return 0;
        }
        for (int pos = first; pos <= last; ++pos) {
            if (const int r = tryAt(pos, end)) {
                start = pos;
                return r;
            }
        }
        return 0;
    }

    // The simple form from `start`: 1 with `end` set, or 0.
    int TrySimple(const SimpleForm& form, int start, int& end) const {
        if (form.leadMin >= 0) {
            // The leading repeat takes all it can and gives back one
            // character at a time; before "$" only one count can do.
            const int lowest = form.atEnd ? m_len - form.chars : start + form.leadMin;
            for (int at = m_len - form.chars; at >= lowest && at >= start + form.leadMin; --at) {
                if (TrySimpleTail(form, at, end)) return 1;
            }
            return 0;
        }
        return TrySimpleTail(form, start, end);
    }

    // The characters and what follows them, from `start`.
    int TrySimpleTail(const SimpleForm& form, int start, int& end) const {
        if (m_len - start < form.chars) return 0;
        const unsigned char* s = reinterpret_cast<const unsigned char*>(m_s) + start;
        for (int k = 0; k < form.chars; ++k)
            if (!((form.sets[k][s[k] >> 6] >> (s[k] & 63)) & 1)) return 0;
        return TrySimpleRest(form, start + form.chars, end);
    }

    // What follows the characters of a simple form, from `pos`.
    int TrySimpleRest(const SimpleForm& form, int pos, int& end) const {
        if (form.repeatAny) {
            if (m_len - pos < form.repeatMin) return 0;
            pos = m_len;
        } else if (form.repeatMin >= 0) {
            const int from = pos;
            while (pos < m_len && InSet(form.repeat, m_s[pos])) ++pos;
            if (pos - from < form.repeatMin) return 0;
        } else if (form.atEnd && pos != m_len) {
            return 0;
        }
        end = pos;
        return 1;
    }

    static bool InSet(const std::uint64_t* set, char c) {
        const auto u = static_cast<unsigned char>(c);
        return (set[u >> 6] >> (u & 63)) & 1;
    }

    // 1 with `end` set, 0 for no match from `start`, -1 when giving up.
#if defined(__GNUC__)
    __attribute__((always_inline))
#endif
    int Try(int start, int& end) {
        struct Choice {
            int op;
            int base;
            int count;
        } stack[kMaxFastRepeats];
        int depth = 0;
        int i = 0;
        int pos = start;
        for (;;) {
            // Work is counted where it can repeat: at backtracking and in
            // repeat scans. A forward run between two of those is bounded by
            // the program.
            const FastOp& op = m_ops[i];
            switch (op.kind) {
                case Op::Stop:
                    end = pos;
                    return 1;
                case Op::Literal: {
                    if (op.length > m_len - pos) goto backtrack;
                    // Literals in name filters are a few characters: no library call.
                    const unsigned char* text = m_code + op.literal;
                    for (int k = 0; k < op.length; ++k)
                        if (static_cast<unsigned char>(m_s[pos + k]) != text[k]) goto backtrack;
                    pos += op.length;
                    break;
                }
                case Op::AnyChar:
                case Op::InSet:
                case Op::NotInSet:
                    if (pos >= m_len || !Member(op, m_s[pos])) goto backtrack;
                    ++pos;
                    break;
                case Op::AtStart:
                    if (pos != 0) goto backtrack;
                    break;
                case Op::AtEnd:
                    if (pos != m_len) goto backtrack;
                    break;
                case Op::WordStart:
                    if (pos >= m_len || !IsWordChar(m_s[pos]) || (pos > 0 && IsWordChar(m_s[pos - 1])))
                        goto backtrack;
                    break;
                case Op::WordEnd:
                    if (pos < m_len && IsWordChar(m_s[pos])) goto backtrack;
                    break;
                case Op::Alternative: {
                    const int alternative = NextAlternative(op, 0, pos);
                    if (alternative < 0) goto backtrack;
                    stack[depth++] = Choice{i, pos, alternative};
                    pos += op.altLength[alternative];
                    break;
                }
                case Op::RepeatStar:
                case Op::RepeatPlus: {
                    int k = pos;
                    if (op.any) k = m_len;
                    else
                        while (k < m_len && Member(op, m_s[k])) ++k;
                    m_steps += static_cast<std::uint64_t>(k - pos) / 8;
                    const int count = BackOff(op, k - pos, pos);
                    if (count < 0) goto backtrack;
                    stack[depth++] = Choice{i, pos, count};
                    pos += count;
                    break;
                }
                default:  // group boundaries; the last visit is the one on the path
                    if (op.kind > Op::GroupClose) m_prog.endp[op.kind - Op::GroupClose] = m_s + pos;
                    else m_prog.startp[op.kind - Op::GroupOpen] = m_s + pos;
                    break;
            }
            ++i;
            continue;

        backtrack:
            if (++m_steps > m_limit) return -1;
            for (;;) {
                if (depth == 0) return 0;
                Choice& choice = stack[depth - 1];
                const FastOp& chosen = m_ops[choice.op];
                if (chosen.kind == Op::Alternative) {
                    const int alternative = NextAlternative(chosen, choice.count + 1, choice.base);
                    if (alternative < 0) {
                        --depth;
                        continue;
                    }
                    choice.count = alternative;
                    pos = choice.base + chosen.altLength[alternative];
                    i = choice.op + 1;
                    break;
                }
                const int count = BackOff(chosen, choice.count - 1, choice.base);
                if (count < 0) {
                    --depth;
                    continue;
                }
                choice.count = count;
                pos = choice.base + count;
                i = choice.op + 1;
                break;
            }
        }
    }

    // The first alternative from `from` on whose literal matches at `pos`, or -1.
    int NextAlternative(const FastOp& op, int from, int pos) const {
        for (int a = from; a < op.length; ++a) {
            const int length = op.altLength[a];
            if (length > m_len - pos) continue;
            const unsigned char* text = m_code + op.altOffset[a];
            int k = 0;
            while (k < length && static_cast<unsigned char>(m_s[pos + k]) == text[k]) ++k;
            if (k == length) return a;
        }
        return -1;
    }

    static bool Member(const FastOp& op, char c) {
        const auto u = static_cast<unsigned char>(c);
        return (op.set[u >> 6] >> (u & 63)) & 1;
    }

    // As the general matcher: the largest count from `count` down to the
    // repeat's minimum after which a following literal can start; -1 if none.
    int BackOff(const FastOp& op, int count, int base) {
        if (op.nextChar == '\0') return count >= op.min ? count : -1;
        for (; count >= op.min; --count) {
            ++m_steps;
            if (base + count < m_len && m_s[base + count] == op.nextChar) return count;
        }
        return -1;
    }

    RegProgram& m_prog;
    const unsigned char* m_code;
    const FastOp* m_ops;
    const char* m_s;
    int m_len;
    std::uint64_t m_steps = 0;
    std::uint64_t m_limit;
};

// A stack that lives on the C stack while small and moves to the heap when it
// grows; most matches never leave the inline part.
template <class T, int N>
class SmallStack {
public:
    SmallStack() = default;
    SmallStack(const SmallStack&) = delete;
    SmallStack& operator=(const SmallStack&) = delete;

    std::size_t Size() const { return m_size; }
    bool IsEmpty() const { return m_size == 0; }
    void Clear() { m_size = 0; }
    void Resize(std::size_t n) { m_size = n; }  // shrinking only
    T& Back() { return m_data[m_size - 1]; }
    void Pop() { --m_size; }
    T& operator[](std::size_t i) { return m_data[i]; }
    void Push(const T& v) {
        if (m_size == m_capacity) Grow();
        m_data[m_size++] = v;
    }

private:
    void Grow() {
        if (m_data == m_inline) m_heap.assign(m_inline, m_inline + m_size);
        m_capacity *= 2;
        m_heap.resize(m_capacity);
        m_data = m_heap.data();
    }

    T m_inline[N];
    std::vector<T> m_heap;
    T* m_data = m_inline;
    std::size_t m_size = 0;
    std::size_t m_capacity = N;
};

struct FailedRun {
    int node;
    int start;
    int end;
    int lo;
};

// A choice point: an alternative still to try, or a repeat that can back off.
struct Frame {
    std::int32_t node;    // the Alternative to try next, or the repeat node
    std::int32_t pos;     // subject position of the choice (repeat: where it started)
    std::uint32_t log;    // group-log length at the choice
    std::int32_t count;   // repeat: the count in use; -1 for an alternative
    std::int32_t limit;   // repeat: where its operand's run ends
};

// A group boundary passed on the current path.
struct GroupMark {
    std::int32_t pos;
    std::int32_t op;
};

// Backtracking search over the node program with its choice points on the
// heap. Group positions are logged along the current path and applied only
// on success, the last mark of each group winning, which is what recording
// "after the rest matched, only when unset" amounts to.
//
// Every loop body consumes at least one character (the compiler rejects
// empty operands), so the state (node, position) can come round again only
// after it failed. When a search runs long, such states are remembered and
// not explored twice; a repeat that failed over a run of characters is not
// retried from inside that run; a hard work budget bounds the rest.
class Matcher {
public:
    static constexpr std::uint64_t kBudget = std::uint64_t{1} << 26;
    static constexpr std::size_t kMaxEntries = std::size_t{1} << 24;
    static constexpr std::uint64_t kMemoBits = std::uint64_t{1} << 28;

    Matcher(RegProgram& prog, const char* subject, int length)
        : m_prog(prog), m_code(prog.Code()), m_s(subject), m_len(length) {
        m_memoThreshold = 20000 + 16 * static_cast<std::uint64_t>(length);
        m_checkpoint = m_memoThreshold;
    }

    bool Search() {
        // Only slot 0 needs clearing here: the others are read only after a
        // successful try, which clears them first.
        m_prog.startp[0] = m_prog.endp[0] = nullptr;
        if (m_code[0] != RegExpression::Magic) return Fail("corrupted program");
        return SearchPositions(m_prog, m_s, m_len, [this](int pos) { return Try(pos) ? 1 : m_error ? -1 : 0; }) == 1;
    }

    const char* Error() const { return m_error; }

private:
    bool Fail(const char* message) {
        if (!m_error) m_error = message;
        return false;
    }

    bool Try(int start) {
        m_stack.Clear();
        m_log.Clear();
        int end;
        if (!Run(start, end)) return false;
        m_prog.startp[0] = m_s + start;
        m_prog.endp[0] = m_s + end;
        for (int i = 1; i < kGroups; ++i) {
            if (i >= m_prog.groups) break;
            m_prog.startp[i] = m_prog.endp[i] = nullptr;
        }
        for (std::size_t i = 0; i < m_log.Size(); ++i) {
            const GroupMark& mark = m_log[i];
            if (mark.op > Op::GroupClose) m_prog.endp[mark.op - Op::GroupClose] = m_s + mark.pos;
            else m_prog.startp[mark.op - Op::GroupOpen] = m_s + mark.pos;
        }
        return true;
    }

    // Number of repetitions of the simple node `node` available from `pos`,
    // looking no further than `limit`.
    int Repeat(int node, int pos, int limit) {
        const unsigned char* operand = m_code + node + 3;
        int k = pos;
        switch (m_code[node]) {
            case Op::AnyChar:
                return limit - pos;
            case Op::Literal:
                while (k < limit && m_s[k] == static_cast<char>(operand[0])) ++k;
                break;
            case Op::InSet:
                while (k < limit && InSetChars(operand, m_s[k])) ++k;
                break;
            case Op::NotInSet:
                while (k < limit && !InSetChars(operand, m_s[k])) ++k;
                break;
            default:
                Fail("internal foulup");
                return -1;
        }
        m_steps += static_cast<std::uint64_t>(k - pos) / 8;
        return k - pos;
    }

    // With the literal look-ahead, the largest count from `count` down to
    // `min` after which the next character can start that literal; -1 if none.
    int BackOff(int count, int min, int base, char nextChar) {
        if (nextChar == '\0') return count >= min ? count : -1;
        for (; count >= min; --count) {
            ++m_steps;
            if (base + count < m_len && m_s[base + count] == nextChar) return count;
        }
        return -1;
    }

    // Called when the step count passes m_checkpoint: enforces the budget and
    // starts remembering failed states once a search runs long.
    bool Checkpoint() {
        if (m_steps > kBudget) return Fail("search too complex");
        if (!m_memoTried && m_steps >= m_memoThreshold) StartMemo();
        m_checkpoint = m_memoTried ? kBudget : m_memoThreshold;
        return true;
    }

    // True when the state was seen before (and therefore failed).
    bool Seen(int node, int pos) {
        const std::uint64_t bit = static_cast<std::uint64_t>(m_nodeIndex[static_cast<std::size_t>(node)]) *
                                      static_cast<std::uint64_t>(m_len + 1) +
                                  static_cast<std::uint64_t>(pos);
        std::uint64_t& word = m_memo[bit >> 6];
        const std::uint64_t mask = std::uint64_t{1} << (bit & 63);
        if (word & mask) return true;
        word |= mask;
        return false;
    }

    void StartMemo() {
        m_memoTried = true;
        m_nodeIndex.assign(static_cast<std::size_t>(m_prog.size), 0);
        std::uint32_t nodes = 0;
        for (int node = 1; node + 3 <= m_prog.size; node += NodeLength(m_code, node))
            m_nodeIndex[static_cast<std::size_t>(node)] = static_cast<std::uint16_t>(nodes++);
        const std::uint64_t bits = static_cast<std::uint64_t>(nodes) * static_cast<std::uint64_t>(m_len + 1);
        if (bits > kMemoBits) return;
        m_memo.assign(static_cast<std::size_t>((bits + 63) / 64), 0);
        m_memoOn = true;
    }

    bool Run(int pos, int& end) {
        int scan = 1;
        for (;;) {
            if (++m_steps > m_checkpoint && !Checkpoint()) return false;
            if (scan <= 0 || scan + 3 > m_prog.size) return Fail("corrupted pointers");
            if (m_memoOn && Seen(scan, pos)) goto backtrack;
            {
                const unsigned char op = m_code[scan];
                const unsigned char* operand = m_code + scan + 3;
                const int next = NextOf(m_code, scan);
                switch (op) {
                    case Op::Stop:
                        end = pos;
                        return true;
                    case Op::AtStart:
                        if (pos != 0) goto backtrack;
                        break;
                    case Op::AtEnd:
                        if (pos != m_len) goto backtrack;
                        break;
                    case Op::WordStart:
                        if (pos >= m_len || !IsWordChar(m_s[pos])) goto backtrack;
                        if (pos > 0 && IsWordChar(m_s[pos - 1])) goto backtrack;
                        break;
                    case Op::WordEnd:
                        if (pos < m_len && IsWordChar(m_s[pos])) goto backtrack;
                        break;
                    case Op::AnyChar:
                        if (pos >= m_len) goto backtrack;
                        ++pos;
                        break;
                    case Op::Literal: {
                        int k = pos;
                        for (const unsigned char* c = operand; *c; ++c, ++k)
                            if (k >= m_len || m_s[k] != static_cast<char>(*c)) goto backtrack;
                        pos = k;
                        break;
                    }
                    case Op::InSet:
                        if (pos >= m_len || !InSetChars(operand, m_s[pos])) goto backtrack;
                        ++pos;
                        break;
                    case Op::NotInSet:
                        if (pos >= m_len || InSetChars(operand, m_s[pos])) goto backtrack;
                        ++pos;
                        break;
                    case Op::Empty:
                    case Op::LoopBack:
                        break;
                    case Op::Alternative: {
                        if (next == 0 || m_code[next] != Op::Alternative) {
                            scan += 3;  // a single alternative: no choice
                            continue;
                        }
                        const int alternative = Viable(scan, pos);
                        if (alternative == 0) goto backtrack;
                        const int following = Viable(NextAlternative(alternative), pos);
                        if (following != 0 &&
                            !PushFrame({following, pos, static_cast<std::uint32_t>(m_log.Size()), -1, 0}))
                            return false;
                        scan = alternative + 3;
                        continue;
                    }
                    case Op::RepeatStar:
                    case Op::RepeatPlus: {
                        const int min = op == Op::RepeatStar ? 0 : 1;
                        const char nextChar = next != 0 && m_code[next] == Op::Literal
                                                  ? static_cast<char>(m_code[next + 3])
                                                  : '\0';
                        int available = -1;
                        const FailedRun* known = FindFailedRun(scan, pos, available);
                        if (!known) {
                            available = Repeat(scan + 3, pos, m_len);
                            if (available < 0) return false;
                        }
                        const int cap = known ? std::min(available, known->lo - 1 - pos) : available;
                        const int count = BackOff(cap, min, pos, nextChar);
                        if (count < 0) {
                            RecordFailedRun(scan, pos, pos + available, pos + min);
                            goto backtrack;
                        }
                        // Kept until every count failed, so that the failure can be recorded.
                        if (!PushFrame({scan, pos, static_cast<std::uint32_t>(m_log.Size()), count, pos + available}))
                            return false;
                        pos += count;
                        break;
                    }
                    default:
                        if ((op > Op::GroupOpen && op < Op::GroupOpen + kGroups) ||
                            (op > Op::GroupClose && op < Op::GroupClose + kGroups)) {
                            if (m_log.Size() >= kMaxEntries) return Fail("search too complex");
                            m_log.Push({pos, op});
                            break;
                        }
                        return Fail("memory corruption");
                }
                scan = next;
                continue;
            }

        backtrack:
            for (;;) {
                if (m_stack.IsEmpty()) return false;
                Frame& top = m_stack.Back();
                m_log.Resize(top.log);
                if (top.count < 0) {
                    const int alternative = top.node;
                    pos = top.pos;
                    const int following = Viable(NextAlternative(alternative), pos);
                    if (following != 0) top.node = following;
                    else m_stack.Pop();
                    scan = alternative + 3;
                    break;
                }
                const int repeat = top.node;
                const int next = NextOf(m_code, repeat);
                const int min = m_code[repeat] == Op::RepeatStar ? 0 : 1;
                const char nextChar =
                    next != 0 && m_code[next] == Op::Literal ? static_cast<char>(m_code[next + 3]) : '\0';
                const int count = BackOff(top.count - 1, min, top.pos, nextChar);
                if (count < 0) {
                    RecordFailedRun(repeat, top.pos, top.limit, top.pos + min);
                    m_stack.Pop();
                    continue;
                }
                pos = top.pos + count;
                top.count = count;
                scan = next;
                break;
            }
        }
    }

    // The alternative after `alternative` in its chain, or 0.
    int NextAlternative(int alternative) const {
        const int next = NextOf(m_code, alternative);
        return next != 0 && m_code[next] == Op::Alternative ? next : 0;
    }

    // The first alternative from `alternative` on that is worth trying at
    // `pos`: one whose leading literal cannot match there fails at once, so
    // it is passed over without a choice point. 0 when none is left.
    int Viable(int alternative, int pos) const {
        for (; alternative != 0; alternative = NextAlternative(alternative)) {
            const int operand = alternative + 3;
            if (m_code[operand] != Op::Literal) return alternative;
            if (pos < m_len && m_s[pos] == static_cast<char>(m_code[operand + 3])) return alternative;
        }
        return 0;
    }

    // What is known about a repeat node: its operand runs from any position
    // in [start, end] up to `end`, and the rest of the program failed from
    // every position in [lo, end]. A later visit inside the run then tries
    // only the counts that land below `lo`, so backing a repeat off over a
    // long subject costs linear time however often it is entered
    // (".*x", ".+\\>a.+\\>b" and the like).
    // A visit below a known run scans only up to where the run is known.
    const FailedRun* FindFailedRun(int node, int pos, int& available) {
        for (int i = 0; i < m_failedCount; ++i) {
            const FailedRun& run = m_failedRuns[i];
            if (run.node != node || pos > run.end) continue;
            if (run.start > pos && Repeat(node + 3, pos, run.start) != run.start - pos) continue;
            available = run.end - pos;
            return &run;
        }
        return nullptr;
    }
    void RecordFailedRun(int node, int start, int end, int lo) {
        for (int i = 0; i < m_failedCount; ++i) {
            FailedRun& run = m_failedRuns[i];
            if (run.node == node && run.end == end) {
                run.start = std::min(run.start, start);
                run.lo = std::min(run.lo, lo);
                return;
            }
        }
        m_failedRuns[m_failedNext] = FailedRun{node, start, end, lo};
        m_failedNext = (m_failedNext + 1) % kFailedRuns;
        if (m_failedCount < kFailedRuns) ++m_failedCount;
    }

    bool PushFrame(const Frame& frame) {
        if (m_stack.Size() >= kMaxEntries) return Fail("search too complex");
        m_stack.Push(frame);
        return true;
    }

    RegProgram& m_prog;
    const unsigned char* m_code;
    const char* m_s;
    int m_len;
    const char* m_error = nullptr;
    std::uint64_t m_steps = 0;
    std::uint64_t m_memoThreshold;
    std::uint64_t m_checkpoint;
    bool m_memoTried = false;
    bool m_memoOn = false;
    std::vector<std::uint64_t> m_memo;
    std::vector<std::uint16_t> m_nodeIndex;
    static constexpr int kFailedRuns = 8;
    FailedRun m_failedRuns[kFailedRuns];
    int m_failedNext = 0;
    int m_failedCount = 0;
    SmallStack<Frame, 32> m_stack;
    SmallStack<GroupMark, 32> m_log;
};

// The general search, kept out of line so that the common fast path of
// Match does not carry the general matcher's stack frame.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
bool SearchGeneral(RegProgram& prog, const char* s, int len, const char*& error) {
    Matcher matcher(prog, s, len);
    const bool found = matcher.Search();
    error = matcher.Error();
    return found;
}

// Copies n <= 32 bytes with fixed-size moves that overlap in the middle,
// never touching a byte outside [src, src + n).
inline void SmallCopy(char* dst, const char* src, int n) {
    if (n >= 16) {
        std::memcpy(dst, src, 16);
        std::memcpy(dst + n - 16, src + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(dst, src, 8);
        std::memcpy(dst + n - 8, src + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(dst, src, 4);
        std::memcpy(dst + n - 4, src + n - 4, 4);
    } else if (n > 0) {
        dst[0] = src[0];
        dst[n / 2] = src[n / 2];
        dst[n - 1] = src[n - 1];
    }
}

}  // namespace

RegExpression::RegExpression(const CString& text, bool flag) : Pattern<CString>(flag), m_text(text) {
    m_text.Trim();
    if (m_text.GetAt(0) == '*') m_text = '.' + m_text;
}

RegExpression::RegExpression(const RegExpression& other)
    : Pattern<CString>(other), m_text(other.m_text) {
    CopyMatch(other);
}

void RegExpression::CopyMatch(const RegExpression& other) {
    m_match = other.m_match;
    std::memcpy(m_shortMatch, other.m_shortMatch, sizeof m_shortMatch);
    m_matchLength = other.m_matchLength;
    m_substringCount = other.m_substringCount;
    std::memcpy(m_groupStart, other.m_groupStart, sizeof m_groupStart);
    std::memcpy(m_groupLength, other.m_groupLength, sizeof m_groupLength);
}

const char* RegExpression::MatchText() const {
    return m_matchLength <= static_cast<std::int32_t>(sizeof m_shortMatch) ? m_shortMatch : m_match.data();
}

RegExpression& RegExpression::operator=(const RegExpression& other) {
    if (this == &other) return *this;
    Pattern<CString>::operator=(other);
    ReleaseProgram();
    m_text = other.m_text;
    CopyMatch(other);
    m_error = nullptr;
    return *this;
}

RegExpression::~RegExpression() { ReleaseProgram(); }

void RegExpression::ReleaseProgram() {
    std::free(m_program);
    m_program = nullptr;
}

Pattern<CString>* RegExpression::Copy() const { return new RegExpression(*this); }

bool RegExpression::IsRegExpression(const CString& text) { return text.FindOneOf("*+\\.^[]$&()") >= 0; }

inline bool RegExpression::TakeWholeMatch(const char* s, int len, int start, int end, bool whole) {
    // An empty match does not count as one.
    if (end == start) return false;
    const char* text = s + start;
    const int length = end - start;
    m_matchLength = length;
    if (length <= static_cast<std::int32_t>(sizeof m_shortMatch))
        SmallCopy(m_shortMatch, text, length);
    else
        m_match.assign(text, static_cast<std::size_t>(length));
    m_groupStart[0] = 0;
    m_groupLength[0] = length;
    m_substringCount = 1;
    return !whole || (start == 0 && end == len);
}

bool RegExpression::Match(const CString& subject, bool whole) {
    m_error = nullptr;
    m_substringCount = 0;
    // Programs without choices whose matches start with one certain
    // character take the shortest path; this function stays small for it.
    if (m_program && m_program->simpleByChar && m_program->Code()[0] == Magic && !subject.IsEmpty()) {
        RegProgram& prog = *m_program;
        const char* s = subject.GetString();
        const int len = subject.GetLength();
        int start = 0;
        int end = 0;
        // The table is filled here: the program's group slots are not needed.
        if (FastMatcher(prog, s, len).SearchSimpleByChar(start, end) != 1) return false;
        return TakeWholeMatch(s, len, start, end, whole);
    }
    if (m_program && m_program->simpleOffset != 0 && m_program->Code()[0] == Magic && !subject.IsEmpty())
        return MatchSimple(subject, whole);
    return MatchProgram(subject, whole);
}

bool RegExpression::MatchSimple(const CString& subject, bool whole) {
    RegProgram& prog = *m_program;
    const char* s = subject.GetString();
    const int len = subject.GetLength();
    int start = 0;
    int end = 0;
    if (FastMatcher(prog, s, len).SearchSimple(start, end) != 1) return false;
    return TakeWholeMatch(s, len, start, end, whole);
}

bool RegExpression::MatchProgram(const CString& subject, bool whole) {
    if (subject.IsEmpty() && m_text == ".*") return true;
    if (!m_program) {
        m_program = CompileProgram(m_text.GetString(), m_error);
        if (!m_program) return false;
    }
    const char* s = subject.GetString();
    const int len = subject.GetLength();
    int fast = -1;
    if (m_program->fastCount > 0 && m_program->Code()[0] == Magic) {
        RegProgram& prog = *m_program;
        int start = 0;
        int end = 0;
        fast = FastMatcher(prog, s, len).Search(start, end);
        prog.startp[0] = fast == 1 ? s + start : nullptr;
        prog.endp[0] = fast == 1 ? s + end : nullptr;
        if (fast == 0) return false;
        if (fast == 1 && prog.groups == 1) {
            // No groups: the table is the match alone.
            return TakeWholeMatch(s, len, start, end, whole);
        }
    }
    const bool found = fast < 0 ? SearchGeneral(*m_program, s, len, m_error) : fast == 1;

    int count = 0;
    if (found) {
        while (count < m_program->groups && m_program->startp[count] && m_program->endp[count] &&
               m_program->endp[count] > m_program->startp[count])
            ++count;
    }
    if (count == 0) return false;
    const char* base = m_program->startp[0];
    m_matchLength = static_cast<std::int32_t>(m_program->endp[0] - base);
    if (m_matchLength <= static_cast<std::int32_t>(sizeof m_shortMatch))
        SmallCopy(m_shortMatch, base, m_matchLength);
    else
        m_match.assign(base, static_cast<std::size_t>(m_matchLength));
    for (int i = 0; i < count; ++i) {
        m_groupStart[i] = static_cast<std::int32_t>(m_program->startp[i] - base);
        m_groupLength[i] = static_cast<std::int32_t>(m_program->endp[i] - m_program->startp[i]);
    }
    m_substringCount = count;
    return !whole || (m_program->startp[0] == subject.GetString() &&
                      m_program->endp[0] == subject.GetString() + subject.GetLength());
}

CString RegExpression::GetSubstring(int i) const {
    if (i < 0 || i >= m_substringCount) return CString();
    return CString(std::string_view(MatchText() + m_groupStart[i], static_cast<std::size_t>(m_groupLength[i])));
}

int RegExpression::GetSubstringCount() const { return m_substringCount; }

const unsigned char* RegExpression::GetProgram(int& size) const {
    size = m_program ? m_program->size : 0;
    return m_program ? m_program->Code() : nullptr;
}

bool RegExpression::GetProgramHints(char& firstChar, bool& anchored, CString& mustString) const {
    if (!m_program) return false;
    firstChar = m_program->firstChar;
    anchored = m_program->anchored;
    mustString = m_program->mustOffset
                     ? CString(reinterpret_cast<const char*>(m_program->Code() + m_program->mustOffset),
                               m_program->mustLength)
                     : CString();
    return true;
}

}  // namespace Tessary
