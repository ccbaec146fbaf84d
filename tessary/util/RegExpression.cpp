#include "tessary/util/RegExpression.h"

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

// Membership in a NUL-terminated set; NUL itself is never a member.
bool InSetChars(const unsigned char* set, char c) {
    return c != '\0' && std::strchr(reinterpret_cast<const char*>(set), c) != nullptr;
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
    return prog;
}

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

// A choice point: an alternative still to try, or a repeat that can back off.
struct Frame {
    std::int32_t node;    // the Alternative to try next, or the repeat node
    std::int32_t pos;     // subject position of the choice (repeat: where it started)
    std::uint32_t log;    // group-log length at the choice
    std::int32_t count;   // repeat: the count in use; -1 for an alternative
    std::int32_t limit;   // repeat: the most repetitions available
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
    }

    bool Search() {
        for (int i = 0; i < kGroups; ++i) m_prog.startp[i] = m_prog.endp[i] = nullptr;
        if (m_code[0] != RegExpression::Magic) return Fail("corrupted program");
        if (m_prog.mustOffset != 0) {
            const std::string_view must(reinterpret_cast<const char*>(m_code + m_prog.mustOffset),
                                        static_cast<std::size_t>(m_prog.mustLength));
            if (std::string_view(m_s, static_cast<std::size_t>(m_len)).find(must) == std::string_view::npos)
                return false;
        }
        if (m_prog.anchored) return Try(0);
        if (m_prog.firstChar != '\0') {
            for (int pos = 0; pos < m_len && !m_error;) {
                const void* hit = std::memchr(m_s + pos, m_prog.firstChar, static_cast<std::size_t>(m_len - pos));
                if (!hit) break;
                pos = static_cast<int>(static_cast<const char*>(hit) - m_s);
                if (Try(pos)) return true;
                ++pos;
            }
            return false;
        }
        for (int pos = 0; pos <= m_len && !m_error; ++pos)
            if (Try(pos)) return true;
        return false;
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
        for (std::size_t i = 0; i < m_log.Size(); ++i) {
            const GroupMark& mark = m_log[i];
            if (mark.op > Op::GroupClose) m_prog.endp[mark.op - Op::GroupClose] = m_s + mark.pos;
            else m_prog.startp[mark.op - Op::GroupOpen] = m_s + mark.pos;
        }
        return true;
    }

    // Number of repetitions of the simple node `node` available from `pos`.
    int Repeat(int node, int pos) {
        const unsigned char* operand = m_code + node + 3;
        int k = pos;
        switch (m_code[node]) {
            case Op::AnyChar:
                k = m_len;
                break;
            case Op::Literal:
                while (k < m_len && m_s[k] == static_cast<char>(operand[0])) ++k;
                break;
            case Op::InSet:
                while (k < m_len && InSetChars(operand, m_s[k])) ++k;
                break;
            case Op::NotInSet:
                while (k < m_len && !InSetChars(operand, m_s[k])) ++k;
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

    // True when the state was seen before (and therefore failed).
    bool Seen(int node, int pos) {
        if (m_memo.empty()) {
            if (m_memoTried || m_steps < m_memoThreshold) return false;
            StartMemo();
            if (m_memo.empty()) return false;
        }
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
    }

    bool Run(int pos, int& end) {
        int scan = 1;
        for (;;) {
            if (++m_steps > kBudget) return Fail("search too complex");
            if (scan <= 0 || scan + 3 > m_prog.size) return Fail("corrupted pointers");
            if (Seen(scan, pos)) goto backtrack;
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
                    case Op::Alternative:
                        if (next != 0 && m_code[next] == Op::Alternative) {
                            if (!PushFrame({next, pos, static_cast<std::uint32_t>(m_log.Size()), -1, 0})) return false;
                        }
                        scan += 3;
                        continue;
                    case Op::RepeatStar:
                    case Op::RepeatPlus: {
                        const int min = op == Op::RepeatStar ? 0 : 1;
                        const char nextChar = next != 0 && m_code[next] == Op::Literal
                                                  ? static_cast<char>(m_code[next + 3])
                                                  : '\0';
                        if (InFailedRun(scan, pos)) goto backtrack;
                        const int available = Repeat(scan + 3, pos);
                        if (available < 0) return false;
                        const int count = BackOff(available, min, pos, nextChar);
                        if (count < 0) {
                            RecordFailedRun(scan, pos, pos + available);
                            goto backtrack;
                        }
                        // Kept until every count failed, so that the failure can be recorded.
                        if (!PushFrame({scan, pos, static_cast<std::uint32_t>(m_log.Size()), count, available}))
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
                    const int following = NextOf(m_code, alternative);
                    if (following != 0 && m_code[following] == Op::Alternative) top.node = following;
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
                    RecordFailedRun(repeat, top.pos, top.pos + top.limit);
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

    // A repeat that failed from `start`, where its operand ran to `end`, fails
    // from every position in between too: what it could reach from there it
    // could reach from `start`. This keeps ".*x"-like searches linear.
    bool InFailedRun(int node, int pos) const {
        for (int i = 0; i < m_failedCount; ++i) {
            const FailedRun& run = m_failedRuns[i];
            if (run.node == node && run.start <= pos && pos <= run.end) return true;
        }
        return false;
    }
    void RecordFailedRun(int node, int start, int end) {
        m_failedRuns[m_failedNext] = FailedRun{node, start, end};
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
    bool m_memoTried = false;
    std::vector<std::uint64_t> m_memo;
    std::vector<std::uint16_t> m_nodeIndex;
    struct FailedRun {
        int node;
        int start;
        int end;
    };
    static constexpr int kFailedRuns = 8;
    FailedRun m_failedRuns[kFailedRuns];
    int m_failedNext = 0;
    int m_failedCount = 0;
    SmallStack<Frame, 32> m_stack;
    SmallStack<GroupMark, 32> m_log;
};

}  // namespace

RegExpression::RegExpression(const CString& text, bool flag) : Pattern<CString>(flag), m_text(text) {
    m_text.Trim();
    if (m_text.GetAt(0) == '*') m_text = '.' + m_text;
}

RegExpression::RegExpression(const RegExpression& other)
    : Pattern<CString>(other), m_text(other.m_text), m_substrings(other.m_substrings) {}

RegExpression& RegExpression::operator=(const RegExpression& other) {
    if (this == &other) return *this;
    Pattern<CString>::operator=(other);
    ReleaseProgram();
    m_text = other.m_text;
    m_substrings.Copy(other.m_substrings);
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

bool RegExpression::Match(const CString& subject, bool whole) {
    m_error = nullptr;
    if (subject.IsEmpty() && m_text == ".*") {
        m_substrings.RemoveAll();
        return true;
    }
    if (!m_program) {
        m_program = CompileProgram(m_text.GetString(), m_error);
        if (!m_program) {
            m_substrings.RemoveAll();
            return false;
        }
    }
    Matcher matcher(*m_program, subject.GetString(), subject.GetLength());
    const bool found = matcher.Search();
    m_error = matcher.Error();

    int count = 0;
    if (found) {
        while (count < kGroups && m_program->startp[count] && m_program->endp[count] &&
               m_program->endp[count] > m_program->startp[count])
            ++count;
    }
    m_substrings.SetSize(count);
    for (int i = 0; i < count; ++i)
        m_substrings[i] = CString(m_program->startp[i], static_cast<int>(m_program->endp[i] - m_program->startp[i]));
    if (count == 0) return false;
    return !whole || (m_program->startp[0] == subject.GetString() &&
                      m_program->endp[0] == subject.GetString() + subject.GetLength());
}

CString RegExpression::GetSubstring(int i) const {
    return i >= 0 && i < m_substrings.GetSize() ? m_substrings[i] : CString();
}

int RegExpression::GetSubstringCount() const { return m_substrings.GetSize(); }

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
