// Graphics primitives.
//
// * DecomposePolyhedron of 1,000, 10,000 and 100,000 random points of radius
//   1,000, uniform in a ball and on a sphere (where every point is a corner of
//   the hull). Anchor: qhull computing the triangulated hull of the same
//   points (when libqhull_r is found); the volume counters compare the hulls.
//   They agree except on the 100,000-point sphere, where the closest points
//   lie within the decomposition's 0.001 tolerance of each other's faces and
//   it overlaps tetrahedra, as its step-by-step rule does.
//   Baselines: the scan of every visible face that this library used before
//   (tests/support/ScanDecomposition.h), whose time grows with the square of
//   the point count, and the step-by-step reading that scans every face of
//   every tetrahedron (tests/support/LiteralDecomposition.h).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "tessary/graphics/primitives/TetrahedronPrimitive.h"
#include "tests/support/LiteralDecomposition.h"
#include "tests/support/ScanDecomposition.h"

#ifdef TESSARY_HAVE_QHULL
#include <libqhull_r/qhull_ra.h>
#endif

using Tessary::Point3d;
using Tessary::TetrahedronPrimitive;

namespace {

enum Shape { Ball, Sphere };
constexpr double kRadius = 1000.0;

Point3d::Array RandomPoints(Shape shape, int count) {
    std::mt19937 rng(7);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> uniform;
    Point3d::Array points;
    points.SetSize(0, count);
    for (int i = 0; i < count; ++i) {
        Point3d p(normal(rng), normal(rng), normal(rng));
        // A uniform direction; in the ball, a radius whose cube is uniform.
        points.Add(p.ChangeLength(shape == Sphere ? kRadius : kRadius * std::cbrt(uniform(rng))));
    }
    return points;
}

double Volume(const TetrahedronPrimitive::Array& tetrahedra) {
    double volume = 0.0;
    for (int t = 0; t < tetrahedra.GetSize(); ++t) {
        Point3d v0, v1, v2, v3;
        tetrahedra[t].GetTetrahedronVertices(v0, v1, v2, v3);
        volume += std::fabs((v1 - v0).Cross(v2 - v0).Dot(v3 - v0)) / 6.0;
    }
    return volume;
}

template <void (*Decompose)(TetrahedronPrimitive::Array&, const Point3d::Array&)>
void Run(benchmark::State& state, Shape shape) {
    const Point3d::Array points = RandomPoints(shape, static_cast<int>(state.range(0)));
    TetrahedronPrimitive::Array result;
    for (auto _ : state) {
        result.RemoveAll();
        Decompose(result, points);
        benchmark::DoNotOptimize(result.GetData());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["tetrahedra"] = static_cast<double>(result.GetSize());
    state.counters["volume"] = Volume(result);
}

void Decompose_Ball_Tessary(benchmark::State& state) { Run<TetrahedronPrimitive::DecomposePolyhedron>(state, Ball); }
void Decompose_Sphere_Tessary(benchmark::State& state) { Run<TetrahedronPrimitive::DecomposePolyhedron>(state, Sphere); }
void Decompose_Ball_Scan(benchmark::State& state) { Run<TessaryTest::ScanDecompose>(state, Ball); }
void Decompose_Sphere_Scan(benchmark::State& state) { Run<TessaryTest::ScanDecompose>(state, Sphere); }
void Decompose_Sphere_Literal(benchmark::State& state) { Run<TessaryTest::LiteralDecompose>(state, Sphere); }

BENCHMARK(Decompose_Ball_Tessary)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(Decompose_Sphere_Tessary)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(Decompose_Ball_Scan)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(Decompose_Sphere_Scan)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(Decompose_Sphere_Literal)->Arg(1000)->Unit(benchmark::kMillisecond);

#ifdef TESSARY_HAVE_QHULL
// The triangulated hull ("Qt") of the same points, built and freed each time.
void RunQhull(benchmark::State& state, Shape shape) {
    const Point3d::Array points = RandomPoints(shape, static_cast<int>(state.range(0)));
    std::vector<coordT> coords;
    coords.reserve(static_cast<std::size_t>(points.GetSize()) * 3);
    for (int i = 0; i < points.GetSize(); ++i)
        for (double c : {points[i].GetX(), points[i].GetY(), points[i].GetZ()}) coords.push_back(c);
    char command[] = "qhull Qt";
    double facets = 0, volume = 0;
    for (auto _ : state) {
        qhT context;
        qhT* qh = &context;
        qh_zero(qh, stderr);
        if (qh_new_qhull(qh, 3, points.GetSize(), coords.data(), False, command, nullptr, stderr) != 0) {
            state.SkipWithError("qhull failed");
            break;
        }
        state.PauseTiming();
        facets = qh->num_facets;
        qh_getarea(qh, qh->facet_list);
        volume = qh->totvol;
        state.ResumeTiming();
        qh_freeqhull(qh, !qh_ALL);
        int curlong = 0, totlong = 0;
        qh_memfreeshort(qh, &curlong, &totlong);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["facets"] = facets;
    state.counters["volume"] = volume;
}

void Decompose_Ball_Qhull(benchmark::State& state) { RunQhull(state, Ball); }
void Decompose_Sphere_Qhull(benchmark::State& state) { RunQhull(state, Sphere); }

BENCHMARK(Decompose_Ball_Qhull)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(Decompose_Sphere_Qhull)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
