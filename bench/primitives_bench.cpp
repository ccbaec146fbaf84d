// Graphics primitives.
//
// * DecomposePolyhedron of 1,000 and 10,000 uniform random points on a
//   sphere of radius 50. Each new point scans the faces still visible, so the
//   time grows with the square of the point count. Anchor: the step-by-step
//   reading that scans all four faces of every tetrahedron so far
//   (tests/support/LiteralDecomposition.h), at 1,000 points only: at 10,000
//   crowded points it tears the hull and builds about a million tetrahedra,
//   which takes the better part of a minute.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "tessary/graphics/primitives/TetrahedronPrimitive.h"
#include "tests/support/LiteralDecomposition.h"

using Tessary::Point3d;
using Tessary::TetrahedronPrimitive;

namespace {

Point3d::Array SpherePoints(int count) {
    std::mt19937 rng(7);
    std::normal_distribution<double> normal;
    Point3d::Array points;
    points.SetSize(0, count);
    for (int i = 0; i < count; ++i) {
        Point3d p(normal(rng), normal(rng), normal(rng));
        points.Add(p.ChangeLength(50.0));
    }
    return points;
}

template <void (*Decompose)(TetrahedronPrimitive::Array&, const Point3d::Array&)>
void Run(benchmark::State& state) {
    const Point3d::Array points = SpherePoints(static_cast<int>(state.range(0)));
    std::int64_t tetrahedra = 0;
    for (auto _ : state) {
        TetrahedronPrimitive::Array result;
        Decompose(result, points);
        tetrahedra = result.GetSize();
        benchmark::DoNotOptimize(result.GetData());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["tetrahedra"] = static_cast<double>(tetrahedra);
}

void Decompose_Tessary(benchmark::State& state) { Run<TetrahedronPrimitive::DecomposePolyhedron>(state); }
void Decompose_Literal(benchmark::State& state) { Run<TessaryTest::LiteralDecompose>(state); }

BENCHMARK(Decompose_Tessary)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(Decompose_Literal)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
