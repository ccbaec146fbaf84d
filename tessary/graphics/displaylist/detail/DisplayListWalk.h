#pragma once

// The one walk over a display-list tree (see DisplayList3D::Walk): pre-order
// from a stack of frames on the heap, one per level below the root, so any
// depth fits on the thread's stack.

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "tessary/graphics/displaylist/DisplayList3D.h"

namespace Tessary {

namespace detail {
// The state of a walk that hands nothing down: a visit returns kDescend or kSkip.
struct NoState {};
inline constexpr std::optional<NoState> kDescend{NoState{}};
inline constexpr std::optional<NoState> kSkip{};
}  // namespace detail

template <class List, class State, class Visit>
void DisplayList3D::Walk(List& root, const State& rootState, Visit&& visit) {
    std::optional<State> state = visit(root, rootState);
    if (!state || root.m_children.empty()) return;
    // A list whose children are being visited, the next of them, and the
    // state they get.
    struct Frame {
        List* list;
        std::size_t next;
        State state;
    };
    std::vector<Frame> stack;
    stack.push_back(Frame{&root, 0, std::move(*state)});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.list->m_children.size()) {
            stack.pop_back();
            continue;
        }
        List& child = top.list->m_children[top.next++];
        state = visit(child, top.state);
        if (state && !child.m_children.empty()) stack.push_back(Frame{&child, 0, std::move(*state)});
    }
}

}  // namespace Tessary
