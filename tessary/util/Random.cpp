#include "tessary/util/Random.h"

#include <cmath>

namespace Tessary {

namespace detail {
// Defined with the library's other statics, in start-up order.
extern RandomInteger g_defaultRandomInteger;
}  // namespace detail

RandomInteger& DefaultRandomInteger() { return detail::g_defaultRandomInteger; }

RandomInteger::~RandomInteger() = default;

int RandomInteger::operator()() {
    unsigned long state = m_state;
    const int value = CalcRandomNumber(state);
    m_state = static_cast<std::uint32_t>(state);
    return value;
}

int RandomInteger::GetMaximumValue() const { return 0x7FFF; }

int RandomInteger::CalcRandomNumber(unsigned long& state) {
    // 32-bit wrap-around even where unsigned long is 64 bits wide.
    const std::uint32_t next = static_cast<std::uint32_t>(state) * 1103515245u + 12345u;
    state = next;
    return static_cast<int>((next >> 16) & 0x7FFFu);
}

unsigned long RandomInteger::GetDefaultSeed() { return DefaultRandomInteger().m_state; }

unsigned long RandomInteger::SetDefaultSeed(unsigned long s) {
    RandomInteger& generator = DefaultRandomInteger();
    const unsigned long previous = generator.m_state;
    generator.m_state = static_cast<std::uint32_t>(s);
    return previous;
}

RandomSequence::~RandomSequence() = default;

double RandomSequence::operator()() { return 0.0; }

UniformRandomSequence::UniformRandomSequence(double lower, double upper)
    : UniformRandomSequence(DefaultRandomInteger(), lower, upper) {}

UniformRandomSequence::UniformRandomSequence(RandomInteger& generator, double lower, double upper)
    : m_generator(&generator), m_upper(upper), m_lower(lower) {}

UniformRandomSequence::~UniformRandomSequence() = default;

double UniformRandomSequence::operator()() {
    const double k = (*m_generator)();
    const double m = m_generator->GetMaximumValue();
    return m_lower + (m_upper - m_lower) * k / m;
}

NormalRandomSequence::NormalRandomSequence(double mean, double sigma)
    : NormalRandomSequence(DefaultRandomInteger(), mean, sigma) {}

NormalRandomSequence::NormalRandomSequence(RandomInteger& generator, double mean, double sigma)
    : m_uniform(generator, 0.0, 1.0), m_mean(mean), m_sigma(sigma) {}

NormalRandomSequence::~NormalRandomSequence() = default;

double NormalRandomSequence::operator()() {
    double x, s;
    do {
        const double u = m_uniform();
        const double v = m_uniform();
        x = 2.0 * u - 1.0;
        const double y = 2.0 * v - 1.0;
        s = y * y + x * x;
        // s == 0 would divide by zero; the standard generator never yields it
        // (2k/32767 - 1 is never 0), but a derived one might.
    } while (s > 1.0 || s == 0.0);
    return x * std::sqrt(-2.0 * std::log(s) / s) * m_sigma + m_mean;
}

}  // namespace Tessary
