#include "tessary/util/Random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

using Tessary::NormalRandomSequence;
using Tessary::RandomInteger;
using Tessary::RandomSequence;
using Tessary::UniformRandomSequence;

namespace {

// An independent model of the step, in 64-bit arithmetic masked to 32 bits.
struct ReferenceLcg {
    std::uint64_t state;
    int Next() {
        state = (state * 1103515245u + 12345u) & 0xFFFFFFFFu;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }
};

// Hands out a fixed script of values, to pin the real-valued sequences.
class ScriptedInteger : public RandomInteger {
public:
    explicit ScriptedInteger(std::initializer_list<int> values) : m_values(values) {}

private:
    int CalcRandomNumber(unsigned long&) override { return m_values[m_next++ % m_values.size()]; }
    std::vector<int> m_values;
    std::size_t m_next = 0;
};

// Restores the default generator's state, which every test binary shares.
class DefaultStateGuard {
public:
    DefaultStateGuard() : m_state(RandomInteger::GetDefaultSeed()) {}
    ~DefaultStateGuard() { RandomInteger::SetDefaultSeed(m_state); }

private:
    unsigned long m_state;
};

}  // namespace

TEST(RandomInteger, SeedOneGivesTheClassicSequence) {
    RandomInteger r;
    const int expected[] = {16838, 5758, 10113, 17515, 31051, 5627};
    for (int v : expected) EXPECT_EQ(r(), v);
    EXPECT_EQ(r.GetMaximumValue(), 32767);
}

TEST(RandomInteger, StateWrapsModulo2To32) {
    // Seeds above 32 bits keep their low word; a long run stays on the 32-bit sequence.
    RandomInteger wide(static_cast<unsigned long>(0x100000007ull));
    ReferenceLcg ref{7};
    for (int i = 0; i < 100000; ++i) ASSERT_EQ(wide(), ref.Next()) << "step " << i;
    EXPECT_EQ(wide.GetSeed(), 7u);
    EXPECT_EQ(wide.GetState(), ref.state);
}

TEST(RandomInteger, ResetRestartsFromTheSeed) {
    RandomInteger r(42);
    const int a = r(), b = r();
    r();
    r.Reset();
    EXPECT_EQ(r(), a);
    EXPECT_EQ(r(), b);
}

TEST(RandomInteger, DefaultSeedAccessors) {
    DefaultStateGuard guard;
    const unsigned long before = RandomInteger::GetDefaultSeed();
    EXPECT_EQ(RandomInteger::SetDefaultSeed(1234), before);
    EXPECT_EQ(RandomInteger::GetDefaultSeed(), 1234u);
    UniformRandomSequence first(0.0, 32767.0);
    const double a = first(), b = first();
    RandomInteger::SetDefaultSeed(1234);
    UniformRandomSequence second(0.0, 32767.0);
    EXPECT_EQ(second(), a);
    EXPECT_EQ(second(), b);
    // Only the low 32 bits are kept.
    RandomInteger::SetDefaultSeed(static_cast<unsigned long>(0x100000005ull));
    EXPECT_EQ(RandomInteger::GetDefaultSeed(), 5u);
}

TEST(RandomIntegerDeathTest, DefaultGeneratorStartsAtSeedOne) {
    // Run in a freshly started process, where nothing has drawn yet.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const bool fresh = RandomInteger::GetDefaultSeed() == 1;
            UniformRandomSequence s(0.0, 32767.0);
            std::exit(fresh && s() == 16838.0 && s() == 5758.0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(UniformRandomSequence, BothEndsAreReachable) {
    ScriptedInteger g{0, 32767, 16384};
    UniformRandomSequence s(g, 2.0, 4.0);
    EXPECT_EQ(s(), 2.0);
    EXPECT_EQ(s(), 4.0);
    EXPECT_DOUBLE_EQ(s(), 2.0 + 2.0 * 16384.0 / 32767.0);
    // Copies share the generator.
    UniformRandomSequence copy(s);
    EXPECT_EQ(copy(), 2.0);
    EXPECT_EQ(s(), 4.0);
}

TEST(UniformRandomSequence, DrawsFromTheGivenGenerator) {
    RandomInteger g(99);
    ReferenceLcg ref{99};
    UniformRandomSequence s(g, -1.0, 1.0);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(s(), -1.0 + 2.0 * ref.Next() / 32767.0);
    RandomSequence base;
    EXPECT_EQ(base(), 0.0);
}

TEST(NormalRandomSequence, PolarMethodRejectsAndKeepsOneDeviate) {
    // First pair: x = 1, y = 1, s = 2 > 1, rejected. Second pair: u = 24575/32767
    // (x = 0.4999...), v = 16384/32767 (y = 1/32767): accepted.
    ScriptedInteger g{32767, 32767, 24575, 16384, 8192, 16384};
    NormalRandomSequence n(g, 10.0, 2.0);
    const double x = 2.0 * 24575.0 / 32767.0 - 1.0;
    const double y = 2.0 * 16384.0 / 32767.0 - 1.0;
    const double s = y * y + x * x;
    EXPECT_DOUBLE_EQ(n(), x * std::sqrt(-2.0 * std::log(s) / s) * 2.0 + 10.0);
    // Exactly four values were drawn and no second deviate was kept: the next
    // call computes afresh from the script's fifth and sixth values.
    const double x2 = 2.0 * 8192.0 / 32767.0 - 1.0;
    const double s2 = y * y + x2 * x2;
    EXPECT_DOUBLE_EQ(n(), x2 * std::sqrt(-2.0 * std::log(s2) / s2) * 2.0 + 10.0);
}

TEST(NormalRandomSequence, MomentsOfALongRun) {
    RandomInteger g(2024);
    NormalRandomSequence n(g, 5.0, 3.0);
    const int count = 200000;
    double sum = 0.0, sum2 = 0.0;
    for (int i = 0; i < count; ++i) {
        const double v = n();
        sum += v;
        sum2 += v * v;
    }
    const double mean = sum / count;
    const double var = sum2 / count - mean * mean;
    EXPECT_NEAR(mean, 5.0, 0.05);
    EXPECT_NEAR(std::sqrt(var), 3.0, 0.05);
}
