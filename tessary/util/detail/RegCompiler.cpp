// The compiler: expression text to node program in two passes (size, then
// emit), then the search hints, the start filter and the flat form.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tessary/util/detail/RegFlatForm.h"
#include "tessary/util/detail/RegProgram.h"

namespace Tessary {
namespace detail {

void AddConsumed(const unsigned char* code, int node, CharSet& set) {
    const unsigned char* operand = code + node + 3;
    switch (code[node]) {
        case RegOp::Literal:
            set.Add(operand[0]);
            break;
        case RegOp::AnyChar:
            set.Fill();
            break;
        case RegOp::InSet:
            for (; *operand; ++operand) set.Add(*operand);
            break;
        case RegOp::NotInSet:
            // NUL is never in a set, so a negated set takes it.
            set.Fill();
            for (; *operand; ++operand) set.Remove(*operand);
            break;
        default:
            break;
    }
}

int CharSet::OnlyMember() const {
    int only = -1;
    for (unsigned c = 0; c < 256; ++c) {
        if (!Has(static_cast<char>(c))) continue;
        if (only >= 0) return -1;
        only = static_cast<int>(c);
    }
    return only;
}

namespace {

using Op = RegOp;

// Flags the parser passes up about what it just built.
constexpr int kWorst = 0;      // might match the empty string
constexpr int kHasWidth = 1;   // never matches the empty string
constexpr int kSimple = 2;     // one node matching exactly one character
constexpr int kSpStart = 4;    // starts with * or ?

// Characters that end a literal run.
constexpr const char* kMeta = "^$.[()|?+*\\\n";

bool IsMult(char c) { return c == '*' || c == '+' || c == '?'; }

// Two passes over the text: the first (sizing) only counts bytes, the second
// writes the nodes into a buffer of exactly that size. Node positions are
// offsets into the code; 0 (the magic byte) is never a node, so it serves as
// "none", and -1 reports a syntax error.
class Compiler {
public:
    Compiler(const char* text, unsigned char* code) : m_p(text), m_code(code), m_sizing(code == nullptr) {}

    int Parse(int& flags) {
        EmitByte(kRegMagic);
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
        for (int next; (next = NextNode(m_code, scan)) != 0;) scan = next;
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
            if (m_groups >= kRegGroups) return Fail("too many ()");
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
            for (int b = ret; b != 0; b = NextNode(m_code, b)) OperandTail(b, ender);
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
bool FirstSet(const RegProgram& prog, CharSet& set) {
    const unsigned char* code = prog.Code();
    // Adds what the simple node `node` consumes; false for "anything".
    auto consume = [&](int node) {
        if (code[node] == Op::AnyChar) return false;
        AddConsumed(code, node, set);
        return true;
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
        const int next = NextNode(code, node);
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
                if (IsGroupOpen(op) || IsGroupClose(op)) {
                    pending.push_back(next);
                    break;
                }
                return false;  // Stop, AnyChar: no useful set
        }
    }
    return true;
}

// The search hints of a single top-level alternative, from its first node:
// the literal every match starts with or "^", and after a leading "*" or "?"
// piece the longest literal of the chain (the later on equal lengths).
void SetHints(RegProgram& prog, int flags) {
    const unsigned char* code = prog.Code();
    int scan = 1;
    const int afterFirst = NextNode(code, scan);
    if (afterFirst == 0 || code[afterFirst] != Op::Stop) return;
    scan += 3;
    if (code[scan] == Op::Literal) prog.firstChar = static_cast<char>(code[scan + 3]);
    else if (code[scan] == Op::AtStart) prog.anchored = true;
    if (!(flags & kSpStart)) return;
    int longest = 0;
    int length = 0;
    for (; scan != 0; scan = NextNode(code, scan)) {
        if (code[scan] != Op::Literal) continue;
        const int l = OperandLength(code, scan);
        if (l >= length) {
            longest = scan + 3;
            length = l;
        }
    }
    prog.mustOffset = longest;
    prog.mustLength = length;
}

// Where tries may start: the first set when every match consumes a first
// character, else the known first character, else anywhere.
void SetStarts(RegProgram& prog, int flags) {
    prog.startChar = -1;
    prog.endWithin = -1;
    if (!prog.anchored && (flags & kHasWidth) && FirstSet(prog, prog.startSet)) {
        prog.useStartSet = true;
    } else {
        prog.startSet = CharSet{};
        if (prog.firstChar != '\0') {
            prog.startSet.Add(static_cast<unsigned char>(prog.firstChar));
            prog.useStartSet = true;
        }
    }
    if (prog.useStartSet) prog.startChar = prog.startSet.OnlyMember();
}

}  // namespace

RegProgram* CompileRegProgram(const char* text, const char*& error) {
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
    if (size >= kRegMaxProgramSize) {
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
    SetHints(*prog, flags);
    SetStarts(*prog, flags);
    AttachFlatForm(prog);
    return prog;
}

}  // namespace detail
}  // namespace Tessary
