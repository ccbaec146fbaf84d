// Numerics: the symmetric eigen decomposition against Eigen's self-adjoint
// solvers (our call includes its residual check), superposition by the
// quaternion method against a plain Kabsch fit (one pass accumulating
// centroids and covariance in double, Eigen's JacobiSVD, one pass applying
// the motion), the memory-bound passes against a plain streaming pass over
// the same arrays, and Hermite traces of a long backbone.
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

#if defined(TESSARY_HAVE_EIGEN)
#include <Eigen/Dense>
#include <Eigen/Eigenvalues>
#include <Eigen/SVD>
#endif

using namespace Tessary;

namespace {

std::vector<double> RandomSymmetric(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> m(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j <= i; ++j)
            m[static_cast<std::size_t>(i * n + j)] = m[static_cast<std::size_t>(j * n + i)] = dist(rng);
    return m;
}

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

#if defined(TESSARY_HAVE_EIGEN)
void BM_Eigen_Anchor4(benchmark::State& state) {
    const std::vector<double> data = RandomSymmetric(4, 7);
    const Eigen::Matrix4d a = Eigen::Map<const Eigen::Matrix<double, 4, 4, Eigen::RowMajor>>(data.data());
    Eigen::SelfAdjointEigenSolver<Eigen::Matrix4d> solver;
    for (auto _ : state) {
        solver.compute(a);
        benchmark::DoNotOptimize(solver.eigenvectors().data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Eigen_Anchor4);

void BM_Eigen_AnchorDynamic(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<double> data = RandomSymmetric(n, 7);
    const Eigen::MatrixXd a = Eigen::Map<const Eigen::MatrixXd>(data.data(), n, n);
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(n);
    for (auto _ : state) {
        solver.compute(a);
        benchmark::DoNotOptimize(solver.eigenvectors().data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Eigen_AnchorDynamic)->Arg(50)->Arg(200);
#endif

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
        for (int i = 0; i < n; ++i) {
            a[i] = Point3d(dist(rng) + 40.0, dist(rng) - 12.0, dist(rng) + 5.0);
            b[i] = a[i] * r + Point3d(5.0 + noise(rng), -7.0 + noise(rng), 11.0 + noise(rng));
        }
        c = a;
    }
};

// Bytes each fit touches: A and B read, C read and written.
void ReportFitBytes(benchmark::State& state, int n) {
    state.SetItemsProcessed(state.iterations() * n);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(n) * 4 * 12);
}

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

#if defined(TESSARY_HAVE_EIGEN)
// The anchor: Kabsch with everything a careful host would write by hand.
void BM_Fit_KabschAnchor(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    FitData data(n);
    for (auto _ : state) {
        const Point3d* A = data.a.GetData();
        const Point3d* B = data.b.GetData();
        double sa[3] = {0, 0, 0}, sb[3] = {0, 0, 0}, sab[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
        for (int i = 0; i < n; ++i) {
            const double a[3] = {A[i].x, A[i].y, A[i].z};
            const double b[3] = {B[i].x, B[i].y, B[i].z};
            for (int r = 0; r < 3; ++r) {
                sa[r] += a[r];
                sb[r] += b[r];
                for (int c = 0; c < 3; ++c) sab[r][c] += a[r] * b[c];
            }
        }
        Eigen::Vector3d ca(sa[0] / n, sa[1] / n, sa[2] / n), cb(sb[0] / n, sb[1] / n, sb[2] / n);
        Eigen::Matrix3d h;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) h(r, c) = sab[r][c] - n * ca[r] * cb[c];
        Eigen::JacobiSVD<Eigen::Matrix3d> svd(h, Eigen::ComputeFullU | Eigen::ComputeFullV);
        const double d = (svd.matrixV() * svd.matrixU().transpose()).determinant() > 0 ? 1.0 : -1.0;
        const Eigen::Matrix3d rot = svd.matrixV() * Eigen::Vector3d(1, 1, d).asDiagonal() * svd.matrixU().transpose();
        const Eigen::Vector3d t = cb - rot * ca;
        Point3d* C = data.c.GetData();
        const int m = data.c.GetSize();
        for (int i = 0; i < m; ++i) {
            const double x = C[i].x, y = C[i].y, z = C[i].z;
            C[i].x = static_cast<float>(rot(0, 0) * x + rot(0, 1) * y + rot(0, 2) * z + t[0]);
            C[i].y = static_cast<float>(rot(1, 0) * x + rot(1, 1) * y + rot(1, 2) * z + t[1]);
            C[i].z = static_cast<float>(rot(2, 0) * x + rot(2, 1) * y + rot(2, 2) * z + t[2]);
        }
        benchmark::ClobberMemory();
    }
    ReportFitBytes(state, n);
}
BENCHMARK(BM_Fit_KabschAnchor)->Arg(100)->Arg(10'000)->Arg(1'000'000);
#endif

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
