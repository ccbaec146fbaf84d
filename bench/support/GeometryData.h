#pragma once

// The points and motions of the geometry suite, shared by our cases and the
// Eigen anchors (geometry_eigen.cpp) so both work on the same data.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "bench/support/Bandwidth.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/Point3d.h"

namespace TessaryBench {

using Tessary::Matrix4x4;
using Tessary::Point3d;

constexpr std::size_t kTransformCount = 10'000'000;
constexpr int kPcaCount = 100'000;

// A flattened cloud, z leaning on x. The draws are sequenced one by one so
// every compiler (and both builds of the anchors) makes the same points.
inline std::vector<Point3d> RandomPoints(std::size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-50.0f, 50.0f);
    std::vector<Point3d> points(count);
    for (Point3d& p : points) {
        const float x = dist(rng);
        const float y = 0.5f * dist(rng);
        p = Point3d(x, y, 0.1f * dist(rng) + 0.2f * x);
    }
    return points;
}

// A rotation about a centre keeps repeated in-place passes bounded.
inline Matrix4x4 Motion() { return Matrix4x4(Point3d(1, 2, 3), Point3d(4, -5, 6), 17.0); }

// A transform in place reads and writes every point.
inline Traffic TransformTraffic(const benchmark::State&) {
    const auto bytes = static_cast<std::int64_t>(sizeof(Point3d) * kTransformCount);
    return {bytes, bytes};
}

}  // namespace TessaryBench
