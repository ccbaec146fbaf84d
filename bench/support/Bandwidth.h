#pragma once

// Bandwidth counted alike on both sides. A bulk pass states the bytes it
// reads and the bytes it writes; its bytes_per_second is their sum per
// second. Beside it runs a Memcpy/... case: memcpy of half that total, so it
// too reads and writes the same total. The table printed at the end of the
// run (BenchMain.cpp) pairs each pass with the memcpy of its total and
// divides the two rates; nobody needs to do it by hand.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace TessaryBench {

struct Traffic {
    std::int64_t read = 0;
    std::int64_t written = 0;
    std::int64_t Total() const { return read + written; }
};

// Sets bytes_per_second to (read + written) per second, with the two parts as counters.
inline void ReportTraffic(benchmark::State& state, const Traffic& t) {
    state.SetBytesProcessed(state.iterations() * t.Total());
    state.counters["bytes_read"] = static_cast<double>(t.read);
    state.counters["bytes_written"] = static_cast<double>(t.written);
}

// The anchor: memcpy of Total() / 2 bytes reads and writes Total() bytes.
// `traffic` is the pass's own function of its arguments, so the sizes are
// worked out only when the case runs and always match the pass's.
using TrafficOf = Traffic (*)(const benchmark::State&);
inline void Memcpy(benchmark::State& state, TrafficOf traffic) {
    const std::int64_t total = traffic(state).Total();
    const std::size_t half = static_cast<std::size_t>(total / 2);
    std::vector<unsigned char> from(half, 1), to(half, 0);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), half);
        benchmark::ClobberMemory();
    }
    ReportTraffic(state, Traffic{static_cast<std::int64_t>(half), static_cast<std::int64_t>(half)});
}

}  // namespace TessaryBench

// Registers Memcpy/<name>, the anchor of every pass with the total of `traffic`.
#define TESSARY_MEMCPY_ANCHOR(name, traffic)                                                           \
    [[maybe_unused]] static benchmark::internal::Benchmark* const tessary_memcpy_anchor_##name =        \
        benchmark::RegisterBenchmark("Memcpy/" #name, TessaryBench::Memcpy, traffic)->Unit(benchmark::kMillisecond)
