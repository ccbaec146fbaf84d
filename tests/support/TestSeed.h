#pragma once

// The seed of the randomised tests: fixed, so a run repeats, unless the
// environment variable TESSARY_TEST_SEED names another. Tests print the seed
// they used when they fail.

#include <cstdint>
#include <cstdlib>

inline std::uint32_t TestSeed() {
    const char* env = std::getenv("TESSARY_TEST_SEED");
    return env ? static_cast<std::uint32_t>(std::strtoul(env, nullptr, 10)) : 20261207u;
}
