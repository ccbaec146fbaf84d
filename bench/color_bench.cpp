// Colour maps in bulk: colouring ten million property values through
// ColorMapParameters::CalculateColor after its first call, against the
// hand-written lookup a viewer would otherwise inline (multiply, truncate,
// clamp, load) over the same values and the same table; and rebuilding a
// 65,536-slot map, in slots per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "tessary/color/ColorMap.h"

using namespace Tessary;

namespace {

constexpr std::size_t kValueCount = 10'000'000;
constexpr int kRebuildSlots = 65'536;

// Values spread a little beyond the range, so both clamps are taken.
const std::vector<double>& Values() {
    static const std::vector<double> values = [] {
        std::mt19937_64 rng(20261207);
        std::uniform_real_distribution<double> dist(-0.1, 1.1);
        std::vector<double> v(kValueCount);
        for (double& x : v) x = dist(rng);
        return v;
    }();
    return values;
}

ColorMapParameters MakeParameters() {
    ColorMapParameters p("Rainbow 1", false, 0.0, 1.0, 256);
    p.CalculateColor(0.0);  // builds the map; the loop below only looks up
    return p;
}

void BM_CalculateColor(benchmark::State& state) {
    const std::vector<double>& values = Values();
    ColorMapParameters p = MakeParameters();
    std::vector<Color> out(values.size());
    for (auto _ : state) {
        for (std::size_t i = 0; i < values.size(); ++i) out[i] = p.CalculateColor(values[i]);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_CalculateColor)->Unit(benchmark::kMillisecond);

// The anchor: the same table and range, looked up by hand.
void BM_InlineTableLookup(benchmark::State& state) {
    const std::vector<double>& values = Values();
    ColorMapParameters p = MakeParameters();
    std::vector<Color> table(256);
    for (int i = 0; i < 256; ++i) table[static_cast<std::size_t>(i)] = p.CalculateColor((i + 0.5) / 256.0);
    const double scale = 256.0;
    const int last = 255;
    std::vector<Color> out(values.size());
    for (auto _ : state) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            int slot = static_cast<int>(values[i] * scale);
            slot = slot < 0 ? 0 : (slot > last ? last : slot);
            out[i] = table[static_cast<std::size_t>(slot)];
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_InlineTableLookup)->Unit(benchmark::kMillisecond);

void BM_RampRebuild(benchmark::State& state) {
    ColorMap map(kRebuildSlots);
    const ColorArray ramp = ColorArray::Rainbow2();
    for (auto _ : state) {
        map.Ramp(ramp, true);
        benchmark::DoNotOptimize(map.ColorAtIndex(kRebuildSlots / 2));
    }
    state.SetItemsProcessed(state.iterations() * kRebuildSlots);
}
BENCHMARK(BM_RampRebuild);

// The whole lazy rebuild of a parameter set: resize, range, named ramp, transfer function.
void BM_ParametersRebuild(benchmark::State& state) {
    ColorMapParameters p("Blue-White-Red", false, 0.0, 1.0, kRebuildSlots);
    for (auto _ : state) {
        p.SetMinimum(0.0);
        benchmark::DoNotOptimize(p.CalculateColor(0.5));
    }
    state.SetItemsProcessed(state.iterations() * kRebuildSlots);
}
BENCHMARK(BM_ParametersRebuild);

}  // namespace
