// Geometry core against Eigen on the same data in the same run (the Eigen
// cases are in geometry_eigen.cpp, built twice: see there).
//
// * Transform: 10 million Point3d transformed in place by an affine
//   Matrix4x4 (a rotation about a centre): the bulk Transform, and the
//   one-point operator* in a loop; each point read and written, against
//   memcpy of the same total (support/Bandwidth.h).
// * PCA: Matrix3x3::PCA of 100,000 points (centre, axes and the six
//   extents).
#include <benchmark/benchmark.h>

#include <cstddef>
#include <vector>

#include "bench/support/Bandwidth.h"
#include "bench/support/GeometryData.h"
#include "tessary/geometry/Matrix3x3.h"

using namespace TessaryBench;
using Tessary::Matrix3x3;
using Tessary::Matrix4x4;
using Tessary::Point3d;

namespace {

void TransformBulk(benchmark::State& state) {
    std::vector<Point3d> points = RandomPoints(kTransformCount, 1);
    const Matrix4x4 m = Motion();
    for (auto _ : state) {
        m.Transform(points.data(), points.size());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kTransformCount));
    ReportTraffic(state, TransformTraffic(state));
}
BENCHMARK(TransformBulk)->Unit(benchmark::kMillisecond);
TESSARY_MEMCPY_ANCHOR(Transform, TransformTraffic);

void TransformOneByOne(benchmark::State& state) {
    std::vector<Point3d> points = RandomPoints(kTransformCount, 1);
    const Matrix4x4 m = Motion();
    for (auto _ : state) {
        for (Point3d& p : points) p = p * m;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kTransformCount));
    ReportTraffic(state, TransformTraffic(state));
}
BENCHMARK(TransformOneByOne)->Unit(benchmark::kMillisecond);

void Pca(benchmark::State& state) {
    const std::vector<Point3d> source = RandomPoints(kPcaCount, 2);
    Point3d::Array points;
    points.SetSize(kPcaCount);
    for (int i = 0; i < kPcaCount; ++i) points[i] = source[static_cast<std::size_t>(i)];
    for (auto _ : state) {
        Point3d centre, a1, a2, a3;
        double p1, m1, p2, m2, p3, m3;
        Matrix3x3::PCA(points, centre, a1, a2, a3, p1, m1, p2, m2, p3, m3);
        benchmark::DoNotOptimize(a3);
        benchmark::DoNotOptimize(p3);
    }
    state.SetItemsProcessed(state.iterations() * kPcaCount);
}
BENCHMARK(Pca)->Unit(benchmark::kMicrosecond);

}  // namespace
