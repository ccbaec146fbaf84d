// The general matcher: backtracking over the node program of any expression,
// with its choice points on the heap, so neither long subjects nor deep
// patterns can exhaust the call stack.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "tessary/util/detail/RegProgram.h"
#include "tessary/util/detail/RegSearch.h"

namespace Tessary {
namespace detail {

namespace {

using Op = RegOp;

// Membership in a NUL-terminated set operand; NUL itself is never a member.
// Sets are short, so a plain loop beats a library call.
inline bool InSetChars(const unsigned char* set, char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u == 0) return false;
    for (; *set; ++set)
        if (*set == u) return true;
    return false;
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
        if (m_code[0] != kRegMagic) return Fail("corrupted program");
        int start = 0;
        return ScanStarts(m_prog, m_s, m_len, start, [this](int pos) { return Try(pos) ? 1 : m_error ? -1 : 0; }) == 1;
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
        for (int i = 1; i < kRegGroups; ++i) {
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
                const int next = NextNode(m_code, scan);
                switch (op) {
                    case Op::Stop:
                        end = pos;
                        return true;
                    case Op::AtStart:
                    case Op::AtEnd:
                    case Op::WordStart:
                    case Op::WordEnd:
                        if (!AssertionHolds(op, m_s, m_len, pos)) goto backtrack;
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
                        const char nextChar = FollowingLiteralChar(m_code, scan);
                        int available = -1;
                        const FailedRun* known = FindFailedRun(scan, pos, available);
                        if (!known) {
                            available = Repeat(scan + 3, pos, m_len);
                            if (available < 0) return false;
                        }
                        const int cap = known ? std::min(available, known->lo - 1 - pos) : available;
                        const int count = BackOffRepeat(m_s, m_len, pos, cap, min, nextChar, m_steps);
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
                        if (IsGroupOpen(op) || IsGroupClose(op)) {
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
                const int next = NextNode(m_code, repeat);
                const int min = m_code[repeat] == Op::RepeatStar ? 0 : 1;
                const char nextChar = FollowingLiteralChar(m_code, repeat);
                const int count = BackOffRepeat(m_s, m_len, top.pos, top.count - 1, min, nextChar, m_steps);
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
        const int next = NextNode(m_code, alternative);
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

}  // namespace

bool SearchRegProgram(RegProgram& prog, const char* s, int len, const char*& error) {
    Matcher matcher(prog, s, len);
    const bool found = matcher.Search();
    error = matcher.Error();
    return found;
}

}  // namespace detail
}  // namespace Tessary
