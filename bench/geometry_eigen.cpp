// The Eigen anchors of the geometry suite, on the data of
// support/GeometryData.h. This file is built twice (bench/CMakeLists.txt):
// into geometry_bench at the baseline flags, and into a shared module at
// -march=native, so each anchor runs as <case>/baseline and <case>/native.
//
// * EigenTransform: Eigen's Affine3f applied column by column to the same
//   floats viewed as a 3 x N matrix, counted as our transforms are.
// * EigenPca: the mean and the scatter matrix accumulated in double over the
//   same points, then Eigen's JacobiSVD of it with full U and V.
#include <benchmark/benchmark.h>

#include <Eigen/Dense>
#include <Eigen/Geometry>
#include <Eigen/SVD>

#include "bench/support/EigenFlags.h"
#include "bench/support/GeometryData.h"

using namespace TessaryBench;

namespace {

void EigenTransform(benchmark::State& state) {
    std::vector<Point3d> points = RandomPoints(kTransformCount, 1);
    const Matrix4x4 m = Motion();
    Eigen::Affine3f t = Eigen::Affine3f::Identity();
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) t.linear()(i, j) = static_cast<float>(m(j, i));  // we multiply row vectors
        t.translation()(i) = static_cast<float>(m(3, i));
    }
    Eigen::Map<Eigen::Matrix3Xf> map(&points[0].x, 3, static_cast<Eigen::Index>(points.size()));
    for (auto _ : state) {
        for (Eigen::Index i = 0; i < map.cols(); ++i) map.col(i) = t * map.col(i);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kTransformCount));
    ReportTraffic(state, TransformTraffic(state));
}
TESSARY_EIGEN_BENCHMARK(EigenTransform)->Unit(benchmark::kMillisecond);

void EigenPca(benchmark::State& state) {
    const std::vector<Point3d> points = RandomPoints(kPcaCount, 2);
    for (auto _ : state) {
        Eigen::Vector3d mean = Eigen::Vector3d::Zero();
        for (const Point3d& p : points) mean += Eigen::Vector3d(p.x, p.y, p.z);
        mean /= static_cast<double>(points.size());
        Eigen::Matrix3d scatter = Eigen::Matrix3d::Zero();
        for (const Point3d& p : points) {
            const Eigen::Vector3d d = Eigen::Vector3d(p.x, p.y, p.z) - mean;
            scatter.noalias() += d * d.transpose();
        }
        Eigen::JacobiSVD<Eigen::Matrix3d> svd(scatter, Eigen::ComputeFullU | Eigen::ComputeFullV);
        benchmark::DoNotOptimize(svd.matrixU().data());
        benchmark::DoNotOptimize(svd.singularValues().data());
    }
    state.SetItemsProcessed(state.iterations() * kPcaCount);
}
TESSARY_EIGEN_BENCHMARK(EigenPca)->Unit(benchmark::kMicrosecond);

}  // namespace
