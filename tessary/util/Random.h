#pragma once

// Reproducible pseudo-random sequences. RandomInteger is a 32-bit linear
// congruential generator handing out 15-bit values; the real-valued sequences
// draw from one such generator, by default the process-wide one seeded with 1,
// so a run repeats exactly unless somebody sets a seed.
//
// The generator state is 32 bits wide whatever the width of `unsigned long`:
// every step wraps modulo 2^32. Nothing here is synchronised; sequences that
// share a generator advance the same state.
// The default generator is process-wide: draw from it (and get or set its
// seed) from one thread at a time.

#include <cstdint>

#include "tessary/frame/Export.h"

namespace Tessary {

class TESSARY_API RandomInteger {
public:
    // Seed and state both take the low 32 bits of `seed`.
    RandomInteger(unsigned long seed = 1)
        : m_seed(static_cast<std::uint32_t>(seed)), m_state(static_cast<std::uint32_t>(seed)) {}
    RandomInteger(const RandomInteger&) = default;
    RandomInteger& operator=(const RandomInteger&) = default;
    virtual ~RandomInteger();

    // The next value in 0..GetMaximumValue().
    int operator()();
    // 32767: the largest value operator() hands out.
    virtual int GetMaximumValue() const;
    // Restarts the sequence from the seed.
    RandomInteger& Reset() {
        m_state = m_seed;
        return *this;
    }

    // The default generator's current state.
    static unsigned long GetDefaultSeed();
    // Sets the default generator's state (low 32 bits of s); returns the previous state.
    static unsigned long SetDefaultSeed(unsigned long s);

    std::uint32_t GetSeed() const { return m_seed; }
    std::uint32_t GetState() const { return m_state; }

protected:
    std::uint32_t m_seed;
    std::uint32_t m_state;

private:
    // One step: state = state * 1103515245 + 12345 (mod 2^32); returns bits 16..30.
    virtual int CalcRandomNumber(unsigned long& state);
};

// The process-wide generator (seed 1) that sequences built without one use.
TESSARY_API RandomInteger& DefaultRandomInteger();

// Base of the real-valued sequences; the base itself yields 0.
class TESSARY_API RandomSequence {
public:
    RandomSequence() = default;
    RandomSequence(const RandomSequence&) = default;
    RandomSequence& operator=(const RandomSequence&) = default;
    virtual ~RandomSequence();

    virtual double operator()();
};

// lower + (upper - lower) * k / 32767 for the generator's next value k: both
// ends are reachable. The generator is not owned and must outlive the sequence.
class TESSARY_API UniformRandomSequence : public RandomSequence {
public:
    UniformRandomSequence(double lower, double upper);
    UniformRandomSequence(RandomInteger& generator, double lower, double upper);
    UniformRandomSequence(const UniformRandomSequence&) = default;
    UniformRandomSequence& operator=(const UniformRandomSequence&) = default;
    ~UniformRandomSequence() override;

    double operator()() override;

protected:
    RandomInteger* m_generator;
    double m_upper;
    double m_lower;
};

// Normal deviates by the polar method: one deviate per accepted pair, the
// second one is not kept.
class TESSARY_API NormalRandomSequence : public RandomSequence {
public:
    NormalRandomSequence(double mean, double sigma);
    NormalRandomSequence(RandomInteger& generator, double mean, double sigma);
    NormalRandomSequence(const NormalRandomSequence&) = default;
    NormalRandomSequence& operator=(const NormalRandomSequence&) = default;
    ~NormalRandomSequence() override;

    double operator()() override;

protected:
    UniformRandomSequence m_uniform;
    double m_mean;
    double m_sigma;
};

}  // namespace Tessary
