#pragma once

// The matrices and point sets of the numerics suite, shared by our cases and
// the Eigen anchors (numerics_eigen.cpp) so both work on the same data.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "bench/support/Bandwidth.h"
#include "tessary/geometry/Matrix3x3.h"
#include "tessary/geometry/Point3d.h"

namespace TessaryBench {

using Tessary::Matrix3x3;
using Tessary::Point3d;

inline std::vector<double> RandomSymmetric(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> m(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j <= i; ++j)
            m[static_cast<std::size_t>(i * n + j)] = m[static_cast<std::size_t>(j * n + i)] = dist(rng);
    return m;
}

// A protein-sized cloud and a rotated, shifted, slightly perturbed copy.
struct FitData {
    Point3d::Array a, b, c;
    explicit FitData(int n) {
        std::mt19937 rng(11);
        std::uniform_real_distribution<double> dist(-30.0, 30.0);
        std::normal_distribution<double> noise(0.0, 0.3);
        const Matrix3x3 r(Point3d(0.3, -0.5, 0.8), 37.0);
        a.SetSize(n);
        b.SetSize(n);
        // One draw after another, so every build makes the same points.
        const auto draw = [&rng](auto& from, double shift) { return from(rng) + shift; };
        for (int i = 0; i < n; ++i) {
            const double ax = draw(dist, 40.0), ay = draw(dist, -12.0), az = draw(dist, 5.0);
            a[i] = Point3d(ax, ay, az);
            const double nx = draw(noise, 5.0), ny = draw(noise, -7.0), nz = draw(noise, 11.0);
            b[i] = a[i] * r + Point3d(nx, ny, nz);
        }
        c = a;
    }
};

// Bytes each fit touches: A, B and C read, C written.
inline Traffic FitTraffic(const benchmark::State& state) {
    const std::int64_t bytes = state.range(0) * static_cast<std::int64_t>(sizeof(Point3d));
    return {3 * bytes, bytes};
}

inline void ReportFitBytes(benchmark::State& state, int n) {
    state.SetItemsProcessed(state.iterations() * n);
    ReportTraffic(state, FitTraffic(state));
}

}  // namespace TessaryBench
