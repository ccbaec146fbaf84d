// The Eigen anchors of the numerics suite, on the data of
// support/NumericsData.h. This file is built twice (bench/CMakeLists.txt):
// into numerics_bench at the baseline flags, and into a shared module at
// -march=native, so each anchor runs as <case>/baseline and <case>/native.
#include <benchmark/benchmark.h>

#include <Eigen/Dense>
#include <Eigen/Eigenvalues>
#include <Eigen/SVD>

#include "bench/support/EigenFlags.h"
#include "bench/support/NumericsData.h"

using namespace TessaryBench;

namespace {

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
TESSARY_EIGEN_BENCHMARK(BM_Eigen_Anchor4);

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
TESSARY_EIGEN_BENCHMARK(BM_Eigen_AnchorDynamic)->Arg(50)->Arg(200);

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
TESSARY_EIGEN_BENCHMARK(BM_Fit_KabschAnchor)->Arg(100)->Arg(10'000)->Arg(1'000'000);

}  // namespace
