#include "tessary/geometry/QuadraticMatrix.h"

#include "tessary/geometry/Matrix3x3.h"
#include "tessary/geometry/Matrix4x4.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <sstream>
#include <vector>
#include "tests/support/TestSeed.h"

using Tessary::QuadraticMatrix;

namespace {


QuadraticMatrix FromRows(std::initializer_list<std::initializer_list<double>> rows) {
    QuadraticMatrix m(static_cast<int>(rows.size()));
    int i = 0;
    for (const auto& row : rows) {
        int j = 0;
        for (double v : row) m(i, j++) = v;
        ++i;
    }
    return m;
}

QuadraticMatrix RandomSymmetric(int n, std::mt19937& rng) {
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    QuadraticMatrix m(n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j <= i; ++j) m(i, j) = m(j, i) = dist(rng);
    return m;
}

}  // namespace

TEST(QuadraticMatrix, StorageIsZeroFilledRowMajorAndOwned) {
    QuadraticMatrix empty;
    EXPECT_EQ(empty.Dimension(), 0);
    EXPECT_EQ(static_cast<double**>(empty), nullptr);
    EXPECT_EQ(QuadraticMatrix(0).Dimension(), 0);
    EXPECT_EQ(QuadraticMatrix(-3).Dimension(), 0);

    QuadraticMatrix m(3);
    ASSERT_EQ(m.Dimension(), 3);
    double** rows = m;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(m(i, j), 0.0);
    // One block, row after row.
    EXPECT_EQ(rows[1], rows[0] + 3);
    EXPECT_EQ(rows[2], rows[0] + 6);
    m[2][1] = 7.5;  // the row array indexes like a plain 2D array
    EXPECT_EQ(m(2, 1), 7.5);

    const QuadraticMatrix& cm = m;
    const double* const* crows = cm;
    EXPECT_EQ(crows[2], rows[2]);
    EXPECT_EQ(cm[2][1], 7.5);

    const QuadraticMatrix m3(Tessary::Matrix3x3(1, 2, 3, 4, 5, 6, 7, 8, 9));
    ASSERT_EQ(m3.Dimension(), 3);
    EXPECT_EQ(m3(0, 2), 3.0);
    EXPECT_EQ(m3(2, 0), 7.0);
    Tessary::Matrix4x4 t4(Tessary::Matrix4x4::IdentityMatrix);
    t4.SetTranslation(1, 2, 3);
    const QuadraticMatrix m4(t4);
    ASSERT_EQ(m4.Dimension(), 4);
    EXPECT_EQ(m4(3, 1), 2.0);
    EXPECT_EQ(m4(3, 3), 1.0);
    EXPECT_EQ(m4(1, 3), 0.0);

    QuadraticMatrix copy(m);
    copy(2, 1) = -1.0;
    EXPECT_EQ(m(2, 1), 7.5);  // deep copy
    EXPECT_EQ(QuadraticMatrix(empty).Dimension(), 0);
}

TEST(QuadraticMatrix, AssignmentCopiesInPlaceOrExchangesStorage) {
    QuadraticMatrix target(3);
    double* const block = static_cast<double**>(target)[0];
    QuadraticMatrix source = FromRows({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    target = source;
    EXPECT_EQ(static_cast<double**>(target)[0], block);  // same order: no new storage
    EXPECT_EQ(target(1, 2), 6.0);

    QuadraticMatrix big(5);
    big = source;
    EXPECT_EQ(big.Dimension(), 3);
    EXPECT_EQ(big(2, 0), 7.0);
    source(2, 0) = 0.0;
    EXPECT_EQ(big(2, 0), 7.0);

    big = QuadraticMatrix();
    EXPECT_EQ(big.Dimension(), 0);
    const QuadraticMatrix& alias = target;
    target = alias;  // self-assignment keeps the elements
    EXPECT_EQ(target(2, 2), 9.0);
}

TEST(QuadraticMatrix, SymmetryIsExactAndTransposeSwapsInPlace) {
    EXPECT_FALSE(QuadraticMatrix().IsSymmetric());
    EXPECT_TRUE(QuadraticMatrix(1).IsSymmetric());
    QuadraticMatrix m = FromRows({{1, 0.1, 2}, {0.1, 3, 4}, {2, 4, 5}});
    EXPECT_TRUE(m.IsSymmetric());
    m(0, 1) = std::nextafter(0.1, 1.0);  // differs from its mirror in the last bit
    EXPECT_FALSE(m.IsSymmetric());
    m(0, 1) = 0.1;
    m(1, 1) = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(m.IsSymmetric());

    QuadraticMatrix t = FromRows({{1, 2}, {3, 4}});
    t.Transpose().Transpose().Transpose();
    EXPECT_EQ(t(0, 1), 3.0);
    EXPECT_EQ(t(1, 0), 2.0);
    EXPECT_EQ(t(1, 1), 4.0);
    QuadraticMatrix().Transpose();  // nothing to do, nothing to break
}

TEST(QuadraticMatrix, PrintWritesDimensionAndNumberedRows) {
    QuadraticMatrix id = FromRows({{1, 0}, {0, 1}});
    std::ostringstream os;
    os << id;
    EXPECT_EQ(os.str(), "Dimension = 2\nRow #1\n1 0\nRow #2\n0 1\n");

    std::ostringstream fixed;
    fixed.setf(std::ios::fixed);
    fixed.precision(2);
    FromRows({{0.5}}).Print(fixed);
    EXPECT_EQ(fixed.str(), "Dimension = 1\nRow #1\n0.50\n");

    std::ostringstream none;
    none << QuadraticMatrix();
    EXPECT_EQ(none.str(), "Dimension = 0\n");
}

TEST(QuadraticMatrixEigen, SmallCasesWithKnownResults) {
    double values[3] = {};
    QuadraticMatrix vectors;

    ASSERT_TRUE(FromRows({{5}}).GetEigenvectorsAndEigenvalues(vectors, values));
    EXPECT_EQ(values[0], 5.0);
    ASSERT_EQ(vectors.Dimension(), 1);
    EXPECT_EQ(vectors(0, 0), 1.0);

    ASSERT_TRUE(FromRows({{2, 1}, {1, 2}}).GetEigenvectorsAndEigenvalues(vectors, values));
    EXPECT_NEAR(values[0], 3.0, 1e-15);
    EXPECT_NEAR(values[1], 1.0, 1e-15);
    const double h = std::sqrt(0.5);
    EXPECT_NEAR(std::fabs(vectors(0, 0)), h, 1e-15);
    EXPECT_NEAR(vectors(1, 0), vectors(0, 0), 1e-15);   // (1, 1)
    EXPECT_NEAR(vectors(1, 1), -vectors(0, 1), 1e-15);  // (1, -1)

    // A diagonal matrix: its unit vectors, permuted into descending order.
    ASSERT_TRUE(FromRows({{1, 0, 0}, {0, 3, 0}, {0, 0, 2}}).GetEigenvectorsAndEigenvalues(vectors, values));
    EXPECT_EQ(values[0], 3.0);
    EXPECT_EQ(values[1], 2.0);
    EXPECT_EQ(values[2], 1.0);
    const int expectedRow[3] = {1, 2, 0};
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r) EXPECT_EQ(std::fabs(vectors(r, c)), r == expectedRow[c] ? 1.0 : 0.0);
}

TEST(QuadraticMatrixEigen, EqualEigenvaluesKeepTheirOrder) {
    double values[3] = {};
    QuadraticMatrix vectors;
    ASSERT_TRUE(FromRows({{2, 0, 0}, {0, 1, 0}, {0, 0, 2}}).GetEigenvectorsAndEigenvalues(vectors, values));
    EXPECT_EQ(values[0], 2.0);
    EXPECT_EQ(values[1], 2.0);
    EXPECT_EQ(values[2], 1.0);
    EXPECT_EQ(std::fabs(vectors(0, 0)), 1.0);  // the first 2 came from row 0
    EXPECT_EQ(std::fabs(vectors(2, 1)), 1.0);
    EXPECT_EQ(std::fabs(vectors(1, 2)), 1.0);
}

TEST(QuadraticMatrixEigen, RefusedInputWritesNothing) {
    QuadraticMatrix vectors = FromRows({{9}});
    double values[2] = {-7.0, -7.0};
    QuadraticMatrix lopsided = FromRows({{1, 2}, {std::nextafter(2.0, 3.0), 1}});
    EXPECT_FALSE(lopsided.GetEigenvectorsAndEigenvalues(vectors, values));
    EXPECT_FALSE(QuadraticMatrix().GetEigenvectorsAndEigenvalues(vectors, values));
    EXPECT_FALSE(FromRows({{1, 0}, {0, 1}}).GetEigenvectorsAndEigenvalues(vectors, nullptr));
    EXPECT_EQ(values[0], -7.0);
    EXPECT_EQ(vectors.Dimension(), 1);
    EXPECT_EQ(vectors(0, 0), 9.0);
}

TEST(QuadraticMatrixEigen, NonFiniteInputFailsWithoutHanging) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    double values[4];
    QuadraticMatrix vectors;
    EXPECT_FALSE(FromRows({{1, inf}, {inf, 1}}).GetEigenvectorsAndEigenvalues(vectors, values));
    EXPECT_FALSE(FromRows({{inf, 0}, {0, -inf}}).GetEigenvectorsAndEigenvalues(vectors, values));
    EXPECT_FALSE(FromRows({{1, nan}, {nan, 1}}).GetEigenvectorsAndEigenvalues(vectors, values));
    QuadraticMatrix big(4);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) big(i, j) = (i + j) % 2 ? inf : -inf;
    EXPECT_FALSE(big.GetEigenvectorsAndEigenvalues(vectors, values));
    // Huge but finite elements must not overflow the rotations.
    ASSERT_TRUE(FromRows({{1e300, 1e300}, {1e300, 1e300}}).IsSymmetric());
    FromRows({{1e300, 1e300}, {1e300, -1e300}}).GetEigenvectorsAndEigenvalues(vectors, values);
    EXPECT_NEAR(values[0] / 1e300, std::sqrt(2.0), 1e-14);
    EXPECT_NEAR(values[1] / 1e300, -std::sqrt(2.0), 1e-14);
}

TEST(QuadraticMatrixEigen, ResidualCheckIsRelativeToLambda) {
    double values[2];
    QuadraticMatrix vectors;
    // A zero eigenvalue passes when its residual is exactly zero...
    EXPECT_TRUE(FromRows({{0, 0}, {0, 1}}).GetEigenvectorsAndEigenvalues(vectors, values));
    EXPECT_EQ(values[1], 0.0);
    // ...and fails on any rounding residual, though the result is usable.
    QuadraticMatrix rank1 = FromRows({{0.1, 0.3}, {0.3, 0.9}});
    const bool ok = rank1.GetEigenvectorsAndEigenvalues(vectors, values);
    EXPECT_NEAR(values[0], 1.0, 1e-15);
    EXPECT_NEAR(values[1], 0.0, 1e-15);
    if (values[1] != 0.0 || vectors(0, 1) * 0.1 + vectors(1, 1) * 0.3 != 0.0) {
        EXPECT_FALSE(ok);
    }
}

TEST(QuadraticMatrixEigen, DecomposingIntoItselfChecksAgainstTheInput) {
    QuadraticMatrix m = FromRows({{4, 1, 0}, {1, 3, 1}, {0, 1, 2}});
    QuadraticMatrix reference;
    double expected[3], values[3];
    ASSERT_TRUE(m.GetEigenvectorsAndEigenvalues(reference, expected));
    ASSERT_TRUE(m.GetEigenvectorsAndEigenvalues(m, values));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(values[i], expected[i]);
        for (int j = 0; j < 3; ++j) EXPECT_EQ(m(i, j), reference(i, j));
    }
}

// A v = lambda v, orthonormal columns, descending order and V diag(lambda) V^T = A,
// for random symmetric matrices of every order from 1 to 50. The result is
// complete whether or not the strict residual check reported success (it
// rejects most large random matrices, whose small eigenvalues carry rounding
// residuals above 1e-14 |lambda|).
TEST(QuadraticMatrixEigen, RandomSymmetricMatricesDecomposeCompletely) {
    const unsigned seed = TestSeed();
    SCOPED_TRACE("TESSARY_TEST_SEED=" + std::to_string(seed));
    std::mt19937 rng(seed);
    for (int n = 1; n <= 50; ++n) {
        SCOPED_TRACE("order " + std::to_string(n));
        const QuadraticMatrix a = RandomSymmetric(n, rng);
        QuadraticMatrix v;
        std::vector<double> lambda(static_cast<std::size_t>(n));
        const bool checked = a.GetEigenvectorsAndEigenvalues(v, lambda.data());
        if (n == 1) {
            EXPECT_TRUE(checked);
        }
        ASSERT_EQ(v.Dimension(), n);
        const double tol = 1e-13 * n;
        for (int c = 0; c < n; ++c) {
            if (c > 0) {
                EXPECT_GE(lambda[c - 1], lambda[c]);
            }
            for (int i = 0; i < n; ++i) {
                double av = 0.0;
                for (int j = 0; j < n; ++j) av += a(i, j) * v(j, c);
                EXPECT_NEAR(av, lambda[c] * v(i, c), tol);
            }
            for (int d = 0; d <= c; ++d) {
                double dot = 0.0;
                for (int i = 0; i < n; ++i) dot += v(i, c) * v(i, d);
                EXPECT_NEAR(dot, c == d ? 1.0 : 0.0, tol);
            }
        }
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                double sum = 0.0;
                for (int c = 0; c < n; ++c) sum += v(i, c) * lambda[c] * v(j, c);
                EXPECT_NEAR(sum, a(i, j), tol);
            }
    }
}
