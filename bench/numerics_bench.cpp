// Numerics: the symmetric eigen decomposition against Eigen's self-adjoint
// solvers (our call includes its residual check), superposition by the
// quaternion method against a plain Kabsch fit (one pass accumulating
// centroids and covariance in double, Eigen's JacobiSVD, one pass applying
// the motion), the memory-bound passes against a plain streaming pass over
// the same arrays and memcpy of the same total bytes, and Hermite traces of a
// long backbone. The Eigen cases are in numerics_eigen.cpp, built twice: see
// there.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "tessary/geometry/Matrix3x3.h"
#include "tessary/geometry/QuadraticMatrix.h"
#include "tessary/geometry/RMSBestFit.h"
#include "tessary/geometry/Spline.h"

#include "bench/support/NumericsData.h"

using namespace Tessary;
using namespace TessaryBench;

namespace {

void BM_Eigen_Ours(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<double> data = RandomSymmetric(n, 7);
    QuadraticMatrix a(n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) a(i, j) = data[static_cast<std::size_t>(i * n + j)];
    QuadraticMatrix vectors(n);
    std::vector<double> values(static_cast<std::size_t>(n));
    for (auto _ : state) {
        benchmark::DoNotOptimize(a.GetEigenvectorsAndEigenvalues(vectors, values.data()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Eigen_Ours)->Arg(4)->Arg(50)->Arg(200);

void BM_Fit_Quaternion(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    FitData data(n);
    for (auto _ : state) {
        benchmark::DoNotOptimize(RMSBestFitTools::FindAndApplyTransformation(data.a, data.b, data.c));
        benchmark::ClobberMemory();
    }
    ReportFitBytes(state, n);
}
BENCHMARK(BM_Fit_Quaternion)->Arg(100)->Arg(10'000)->Arg(1'000'000);

void BM_Fit_Iterative(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    FitData data(n);
    for (auto _ : state) {
        RMSBestFit(data.a, data.b, data.c);
        benchmark::ClobberMemory();
    }
    ReportFitBytes(state, n);
}
BENCHMARK(BM_Fit_Iterative)->Arg(100)->Arg(10'000)->Arg(1'000'000);

// The bandwidth yardstick: read A and B, read and write C, no arithmetic to speak of.
void BM_Fit_StreamingPass(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    FitData data(n);
    const std::size_t words = static_cast<std::size_t>(n) * 3;
    for (auto _ : state) {
        std::uint32_t acc = 0;
        const auto* a = reinterpret_cast<const std::uint32_t*>(data.a.GetData());
        const auto* b = reinterpret_cast<const std::uint32_t*>(data.b.GetData());
        for (std::size_t i = 0; i < words; ++i) acc += a[i] ^ b[i];
        benchmark::DoNotOptimize(acc);
        auto* c = reinterpret_cast<std::uint32_t*>(data.c.GetData());
        for (std::size_t i = 0; i < words; ++i) c[i] ^= acc & 1u;
        benchmark::ClobberMemory();
    }
    ReportFitBytes(state, n);
}
BENCHMARK(BM_Fit_StreamingPass)->Arg(100)->Arg(10'000)->Arg(1'000'000);
TESSARY_MEMCPY_ANCHOR(Fit, FitTraffic)->Arg(100)->Arg(10'000)->Arg(1'000'000);

// A 10,000-residue backbone trace: a wobbly helix, 10 points per segment.
void BM_HermiteTrace(benchmark::State& state) {
    const int residues = 10'000;
    Point3d::Array trace;
    trace.SetSize(residues);
    for (int i = 0; i < residues; ++i)
        trace[i] = Point3d(2.3 * std::cos(i * 1.745), 2.3 * std::sin(i * 1.745), 1.5 * i + 0.2 * std::sin(i * 0.1));
    const Spline spline(Spline::CardinalSpline);
    Point3d::Array points, out;
    const int passes = static_cast<int>(state.range(0));
    int produced = 0;
    for (auto _ : state) {
        points = trace;  // smoothing works in place
        produced = spline.GetHermiteSpline(points, residues, out, nullptr, nullptr, passes, 10, 1.0);
        benchmark::DoNotOptimize(out.GetData());
    }
    state.SetItemsProcessed(state.iterations() * produced);
}
BENCHMARK(BM_HermiteTrace)->Arg(0)->Arg(2);

void BM_CubicSpline(benchmark::State& state) {
    const int n = 10'000;
    Point3d::Array in;
    in.SetSize(n);
    for (int i = 0; i < n; ++i) in[i] = Point3d(std::cos(i * 0.3), std::sin(i * 0.3), 0.1 * i);
    Spline spline(Spline::BSpline);
    spline.SetGranularity(10);
    Point3d::Array out;
    for (auto _ : state) {
        spline.GetCubicSpline(in, out);
        benchmark::DoNotOptimize(out.GetData());
    }
    state.SetItemsProcessed(state.iterations() * out.GetSize());
}
BENCHMARK(BM_CubicSpline);

}  // namespace
