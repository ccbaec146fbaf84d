#pragma once

// Counter: an unsigned 32-bit counter with a step, for serial numbers and
// identifiers. Additions wrap modulo 2^32; a step of 0 never moves it.
// Assigning one counter to another copies the value only: each counter keeps
// the step it was made with.

#include <cstdint>

namespace Tessary {

class Counter {
public:
    Counter() = default;
    explicit Counter(unsigned step) : m_step(static_cast<std::uint32_t>(step)) {}
    Counter(unsigned value, unsigned step)
        : m_value(static_cast<std::uint32_t>(value)), m_step(static_cast<std::uint32_t>(step)) {}
    Counter(const Counter&) = default;

    Counter& operator=(const Counter& other) {
        m_value = other.m_value;
        return *this;
    }
    Counter& operator=(unsigned v) { return Reset(v); }
    Counter& Reset(unsigned v) {
        m_value = static_cast<std::uint32_t>(v);
        return *this;
    }
    Counter& Zero() { return Reset(0); }

    operator unsigned() const { return m_value; }
    unsigned GetStep() const { return m_step; }

    Counter& operator++() {
        m_value += m_step;  // unsigned: wraps modulo 2^32
        return *this;
    }
    // The old value with the same step.
    Counter operator++(int) {
        Counter old(*this);
        ++*this;
        return old;
    }

private:
    std::uint32_t m_value = 0;
    std::uint32_t m_step = 1;
};

}  // namespace Tessary
