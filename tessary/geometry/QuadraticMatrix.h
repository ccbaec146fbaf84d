#pragma once

// QuadraticMatrix: a square matrix of doubles whose order is chosen at run
// time, with the complete eigen decomposition of a real symmetric matrix.
//
// Storage is one zero-filled block of n * n doubles, row after row, plus an
// array of n row pointers into it, so the matrix can be handed to code that
// indexes m[i][j]. An empty matrix (order 0) owns neither.
//
// GetEigenvectorsAndEigenvalues returns the eigenvalues from largest to
// smallest and the matching orthonormal eigenvectors as columns. It refuses
// (returns false) a matrix that is empty or not exactly symmetric, gives up
// after 30 QL iterations for one eigenvalue, and checks every column against
// A v = lambda v with a tolerance of 1e-14 relative to |lambda| (so a zero
// eigenvalue passes only with an exactly zero residual).

#include <iosfwd>
#include <memory>

#include "tessary/frame/Export.h"

namespace Tessary {

class Matrix3x3;
class Matrix4x4;

namespace detail {

// How a symmetric decomposition ended. The public call folds everything but
// Solved into false; the superposition code needs to tell a usable result
// whose residual check failed apart from one that never converged.
enum class EigenOutcome { Solved, Rejected, NoConvergence, CheckFailed };

// The decomposition on raw rows: `a` is the n x n input, `v` receives the
// eigenvectors as columns (it may not share storage with `a`), `values` the
// eigenvalues in descending order. `check` runs the residual test.
EigenOutcome DecomposeSymmetric(const double* const* a, double* const* v, int n, double* values, bool check);

}  // namespace detail

class TESSARY_API QuadraticMatrix {
public:
    // Sort orders of the eigenvalue sorts: 1 ascending, any other value descending.
    enum EigenvalueSortOrder { Ascending = 1, Descending = 2 };

    QuadraticMatrix() = default;
    // n x n zeros; n <= 0 gives an empty matrix.
    explicit QuadraticMatrix(int n);
    QuadraticMatrix(const Matrix3x3& m);
    QuadraticMatrix(const Matrix4x4& m);
    QuadraticMatrix(const QuadraticMatrix& other);
    QuadraticMatrix(QuadraticMatrix&& other) noexcept;
    // Same order: elements copied in place. Otherwise a deep copy replaces the storage.
    QuadraticMatrix& operator=(const QuadraticMatrix& other);
    QuadraticMatrix& operator=(QuadraticMatrix&& other) noexcept;
    ~QuadraticMatrix();

    int Dimension() const { return m_dimension; }

    // No range check: the caller keeps 0 <= i, j < Dimension().
    double& operator()(int i, int j) { return m_rows[i][j]; }
    const double& operator()(int i, int j) const { return m_rows[i][j]; }

    // The row array (null for an empty matrix).
    operator double**() { return m_rows.get(); }
    operator const double* const*() const { return m_rows.get(); }

    // False for an empty matrix; otherwise exact equality of every mirrored pair.
    bool IsSymmetric() const;
    QuadraticMatrix& Transpose();

    // True on success. `values` must hold Dimension() doubles. On failure after
    // the input checks, `vectors` and `values` hold intermediate results.
    bool GetEigenvectorsAndEigenvalues(QuadraticMatrix& vectors, double* values) const;

    // "Dimension = n", then "Row #k" and the row's elements on a line each.
    void Print(std::ostream& os) const;

private:
    // Residual test of one eigenvector of this matrix, stored as a column or as a row of `vectors`.
    bool IsColumnEigenvector(int col, const QuadraticMatrix& vectors, double lambda, double tol) const;
    bool IsRowEigenvector(int row, const QuadraticMatrix& vectors, double lambda, double tol) const;
    // Sorts `values` and permutes this matrix's columns (rows) to match.
    void SortColumns(double* values, EigenvalueSortOrder order);
    void SortRows(double* values, EigenvalueSortOrder order);

    void Allocate(int n);

    std::unique_ptr<double[]> m_block;
    std::unique_ptr<double*[]> m_rows;
    int m_dimension = 0;
};

TESSARY_API std::ostream& operator<<(std::ostream& os, const QuadraticMatrix& m);

}  // namespace Tessary
