// Geometry core against Eigen on the same data in the same run.
//
// * Transform: 10 million Point3d transformed in place by an affine
//   Matrix4x4 (a rotation about a centre): the bulk Transform, and the
//   one-point operator* in a loop. Anchor: Eigen's Affine3f applied column by
//   column to the same floats viewed as a 3 x N matrix.
// * PCA: Matrix3x3::PCA of 100,000 points (centre, axes and the six
//   extents). Anchor: the mean and the scatter matrix accumulated in double
//   over the same points, then Eigen's JacobiSVD of it with full U and V.
//
// Without Eigen the anchor cases are left out.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <random>
#include <vector>

#include "tessary/geometry/Matrix3x3.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/Point3d.h"

#ifdef TESSARY_HAVE_EIGEN
#include <Eigen/Dense>
#include <Eigen/Geometry>
#include <Eigen/SVD>
#endif

using Tessary::Matrix3x3;
using Tessary::Matrix4x4;
using Tessary::Point3d;

namespace {

constexpr std::size_t kTransformCount = 10'000'000;
constexpr int kPcaCount = 100'000;

std::vector<Point3d> RandomPoints(std::size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-50.0f, 50.0f);
    std::vector<Point3d> points(count, Point3d(Point3d::UninitializedPoint));
    for (Point3d& p : points) p = Point3d(dist(rng), 0.5f * dist(rng), 0.1f * dist(rng) + 0.2f * p.x);
    return points;
}

// A rotation about a centre keeps repeated in-place passes bounded.
Matrix4x4 Motion() { return Matrix4x4(Point3d(1, 2, 3), Point3d(4, -5, 6), 17.0); }

void TransformBulk(benchmark::State& state) {
    std::vector<Point3d> points = RandomPoints(kTransformCount, 1);
    const Matrix4x4 m = Motion();
    for (auto _ : state) {
        m.Transform(points.data(), points.size());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kTransformCount));
}
BENCHMARK(TransformBulk)->Unit(benchmark::kMillisecond);

void TransformOneByOne(benchmark::State& state) {
    std::vector<Point3d> points = RandomPoints(kTransformCount, 1);
    const Matrix4x4 m = Motion();
    for (auto _ : state) {
        for (Point3d& p : points) p = p * m;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kTransformCount));
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

#ifdef TESSARY_HAVE_EIGEN

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
}
BENCHMARK(EigenTransform)->Unit(benchmark::kMillisecond);

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
BENCHMARK(EigenPca)->Unit(benchmark::kMicrosecond);

#endif

}  // namespace
