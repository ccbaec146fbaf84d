#include "tessary/util/detail/RegFlatForm.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace Tessary {
namespace detail {

namespace {

using Op = RegOp;

// What the repeat operand at `node` consumes.
void SimpleNodeSet(const unsigned char* code, int node, FastOp& op) {
    AddConsumed(code, node, op.set);
    op.any = code[node] == Op::AnyChar;
}

// The flat form of a straight program, or 0 when the program is not one.
int CollectFastOps(const RegProgram& prog, FastOp* ops) {
    const unsigned char* code = prog.Code();
    const int after = NextNode(code, 1);
    if (after == 0 || code[after] != Op::Stop) return 0;
    auto nextAlternative = [code](int alternative) {
        const int next = NextNode(code, alternative);
        return next != 0 && code[next] == Op::Alternative ? next : 0;
    };
    int count = 0;
    int repeats = 0;
    for (int node = 4, following; node != 0; node = following) {
        if (node + 3 > prog.size) return 0;
        following = NextNode(code, node);
        const unsigned char kind = code[node];
        if (kind == Op::Empty) continue;
        if (count == kMaxFastOps) return 0;
        FastOp& op = ops[count++];
        op = FastOp{};
        op.kind = kind;
        if (IsGroupOpen(kind) || IsGroupClose(kind)) continue;
        switch (kind) {
            case Op::Stop:
                return count;
            case Op::Literal:
                op.literal = node + 3;
                op.length = OperandLength(code, node);
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
                op.nextChar = FollowingLiteralChar(code, node);
                break;
            }
            case Op::Alternative: {
                // Alternatives that are each one literal (or nothing) and all
                // lead to the same node, where the path continues.
                if (++repeats > kMaxFastRepeats) return 0;
                int last = node;
                while (nextAlternative(last)) last = nextAlternative(last);
                const int join = NextNode(code, last);
                if (join == 0) return 0;
                for (int alternative = node; alternative != 0; alternative = nextAlternative(alternative)) {
                    if (op.length == kMaxFastAlternatives) return 0;
                    const int operand = alternative + 3;
                    int offset = 0;
                    int length = 0;
                    if (operand != join) {
                        if (NextNode(code, operand) != join) return 0;
                        if (code[operand] == Op::Literal) {
                            offset = operand + 3;
                            length = OperandLength(code, operand);
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
                for (int k = 0; k < op.length; ++k) form.sets[form.chars++].Add(code[op.literal + k]);
                break;
            case Op::AnyChar:
            case Op::InSet:
            case Op::NotInSet:
                if (form.chars == SimpleForm::kMaxChars) return false;
                form.sets[form.chars++] = op.set;
                break;
            case Op::RepeatStar:
            case Op::RepeatPlus:
                if (form.repeatMin >= 0 || form.leadMin >= 0) return false;
                form.repeatMin = op.min;
                form.repeatAny = op.any;
                form.repeat = op.set;
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

}  // namespace

void AttachFlatForm(RegProgram*& prog) {
    FastOp ops[kMaxFastOps];
    const int fastCount = CollectFastOps(*prog, ops);
    if (fastCount == 0) return;
    const int offset = (prog->size + 7) & ~7;
    const std::size_t opBytes = sizeof(FastOp) * static_cast<std::size_t>(fastCount);
    SimpleForm form;
    const bool simple = CollectSimpleForm(*prog, ops, fastCount, form);
    const std::size_t grownBytes =
        sizeof(RegProgram) + static_cast<std::size_t>(offset) + opBytes + (simple ? sizeof(SimpleForm) : 0);
    // Without room for the flat copy the general matcher does the work.
    auto* grown = static_cast<RegProgram*>(std::realloc(prog, grownBytes));
    if (!grown) return;
    prog = grown;
    std::memcpy(prog->Code() + offset, ops, opBytes);
    prog->fastCount = fastCount;
    prog->fastOffset = offset;
    if (simple) {
        prog->simpleOffset = offset + static_cast<int>(opBytes);
        std::memcpy(prog->Code() + prog->simpleOffset, &form, sizeof form);
    }
    FastLengthBounds(ops, fastCount, prog->minLength, prog->endWithin);
    prog->simpleByChar =
        simple && form.leadMin < 0 && prog->startChar >= 0 && !prog->anchored && prog->mustOffset == 0;
}

}  // namespace detail
}  // namespace Tessary
