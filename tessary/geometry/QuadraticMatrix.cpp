#include "tessary/geometry/QuadraticMatrix.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <utility>

#include "tessary/geometry/Matrix3x3.h"
#include "tessary/geometry/Matrix4x4.h"

namespace Tessary {

namespace {

constexpr int kMaxQLIterations = 30;
constexpr double kResidualTolerance = 1e-14;

// Work space of the decomposition. The 3x3 and 4x4 matrices of the geometry
// code are decomposed in hot loops, so small orders stay off the heap.
template <class T, int Local = 16>
class Scratch {
public:
    explicit Scratch(int n)
        : m_heap(n > Local ? std::make_unique<T[]>(static_cast<std::size_t>(n)) : nullptr),
          m_data(n > Local ? m_heap.get() : m_local) {}
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    T* get() { return m_data; }
    T& operator[](int i) { return m_data[i]; }

private:
    T m_local[Local];
    std::unique_ptr<T[]> m_heap;
    T* m_data;
};

// sqrt(a^2 + b^2) without overflow or underflow of the squares; the plain
// form is taken whenever it is exact enough, since it sits in the QL sweep.
inline double Hypot(double a, double b) {
    const double sq = a * a + b * b;
    if (sq > std::numeric_limits<double>::min() && sq <= std::numeric_limits<double>::max()) return std::sqrt(sq);
    const double aa = std::fabs(a);
    const double bb = std::fabs(b);
    if (aa > bb) {
        const double r = bb / aa;
        return aa * std::sqrt(1.0 + r * r);
    }
    if (bb == 0.0) return 0.0;
    const double r = aa / bb;
    return bb * std::sqrt(1.0 + r * r);
}

// Dot product with four partial sums, so the loads pipeline.
inline double Dot(const double* x, const double* y, int n) {
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        s0 += x[k] * y[k];
        s1 += x[k + 1] * y[k + 1];
        s2 += x[k + 2] * y[k + 2];
        s3 += x[k + 3] * y[k + 3];
    }
    for (; k < n; ++k) s0 += x[k] * y[k];
    return (s0 + s1) + (s2 + s3);
}

void TransposeRows(double* const* m, int n) {
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) std::swap(m[i][j], m[j][i]);
}

bool IsSymmetricRows(const double* const* a, int n) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j <= i; ++j)
            if (!(a[i][j] == a[j][i])) return false;  // NaN anywhere fails, the diagonal included
    return true;
}

// Householder reduction of the symmetric matrix held in `z` to tridiagonal
// form. On return z holds the orthogonal matrix Q, d the diagonal and e the
// off-diagonal (e[i] couples i - 1 and i; e[0] = 0). Rows are reduced from
// the last upwards; only the lower triangle of the working block is read.
void Tridiagonalize(double* const* z, int n, double* d, double* e, double* work) {
    for (int i = n - 1; i > 0; --i) {
        const int l = i - 1;
        double* zi = z[i];
        double h = 0.0;
        double scale = 0.0;
        if (l > 0)
            for (int k = 0; k <= l; ++k) scale += std::fabs(zi[k]);
        if (l == 0 || scale == 0.0) {
            e[i] = zi[l];
        } else {
            for (int k = 0; k <= l; ++k) {
                zi[k] /= scale;
                h += zi[k] * zi[k];
            }
            double f = zi[l];
            const double g = f > 0.0 ? -std::sqrt(h) : std::sqrt(h);
            e[i] = scale * g;
            h -= f * g;
            zi[l] = f - g;

            // p = A u / h with A the symmetric leading block (lower triangle
            // stored), walked by rows so every access is contiguous.
            for (int j = 0; j <= l; ++j) e[j] = 0.0;
            for (int j = 0; j <= l; ++j) {
                const double* zj = z[j];
                const double uj = zi[j];
                for (int k = 0; k < j; ++k) e[k] += zj[k] * uj;
                e[j] += Dot(zj, zi, j) + zj[j] * uj;
            }
            f = 0.0;
            for (int j = 0; j <= l; ++j) {
                z[j][i] = zi[j] / h;  // u / h, kept for the accumulation of Q
                e[j] /= h;
                f += e[j] * zi[j];
            }
            const double hh = f / (h + h);
            for (int j = 0; j <= l; ++j) {
                const double fj = zi[j];
                const double gj = e[j] - hh * fj;
                e[j] = gj;
                double* zj = z[j];
                for (int k = 0; k <= j; ++k) zj[k] -= fj * e[k] + gj * zi[k];
            }
        }
        d[i] = h;
    }
    d[0] = 0.0;
    e[0] = 0.0;

    // Accumulate the reflections. For row i the column sums
    // work[j] = sum_k z[i][k] z[k][j] are gathered row by row.
    for (int i = 0; i < n; ++i) {
        if (d[i] != 0.0) {
            const double* zi = z[i];
            for (int j = 0; j < i; ++j) work[j] = 0.0;
            for (int k = 0; k < i; ++k) {
                const double zik = zi[k];
                const double* zk = z[k];
                for (int j = 0; j < i; ++j) work[j] += zik * zk[j];
            }
            for (int k = 0; k < i; ++k) {
                double* zk = z[k];
                const double zki = zk[i];
                for (int j = 0; j < i; ++j) zk[j] -= work[j] * zki;
            }
        }
        d[i] = z[i][i];
        z[i][i] = 1.0;
        for (int j = 0; j < i; ++j) z[j][i] = z[i][j] = 0.0;
    }
}

// QL iteration with implicit shifts on the tridiagonal (d, e). The
// eigenvectors are kept as the rows of `zt` (the transpose of Q on entry),
// so each plane rotation touches two contiguous rows.
bool QLImplicit(double* d, double* e, double* const* zt, int n) {
    for (int i = 1; i < n; ++i) e[i - 1] = e[i];
    e[n - 1] = 0.0;
    for (int l = 0; l < n; ++l) {
        int iterations = 0;
        int m;
        do {
            for (m = l; m < n - 1; ++m) {
                const double dd = std::fabs(d[m]) + std::fabs(d[m + 1]);
                if (std::fabs(e[m]) + dd == dd) break;
            }
            if (m == l) break;
            // Non-finite input never converges; the cap ends the call.
            if (iterations++ == kMaxQLIterations) return false;
            double g = (d[l + 1] - d[l]) / (2.0 * e[l]);
            double r = Hypot(g, 1.0);
            g = d[m] - d[l] + e[l] / (g + (g >= 0.0 ? std::fabs(r) : -std::fabs(r)));
            double s = 1.0, c = 1.0, p = 0.0;
            int i;
            for (i = m - 1; i >= l; --i) {
                const double f = s * e[i];
                const double b = c * e[i];
                r = Hypot(f, g);
                e[i + 1] = r;
                if (r == 0.0) {
                    // Underflow: the matrix splits here; start over at l.
                    d[i + 1] -= p;
                    e[m] = 0.0;
                    break;
                }
                s = f / r;
                c = g / r;
                g = d[i + 1] - p;
                r = (d[i] - g) * s + 2.0 * c * b;
                p = s * r;
                d[i + 1] = g + p;
                g = c * r - b;
                double* zl = zt[i];
                double* zh = zt[i + 1];
                for (int k = 0; k < n; ++k) {
                    const double t = zh[k];
                    zh[k] = s * zl[k] + c * t;
                    zl[k] = c * zl[k] - s * t;
                }
            }
            if (r == 0.0 && i >= l) continue;
            d[l] -= p;
            e[l] = g;
            e[m] = 0.0;
        } while (m != l);
    }
    return true;
}

// Copies `a` into `v`, reduces it and iterates. On return the eigenvectors
// are the rows of v (unsorted) and the eigenvalues in values.
bool ReduceAndIterate(const double* const* a, double* const* v, int n, double* values) {
    for (int i = 0; i < n; ++i) std::memcpy(v[i], a[i], static_cast<std::size_t>(n) * sizeof(double));
    Scratch<double> e(n);
    Scratch<double> work(n);
    Tridiagonalize(v, n, values, e.get(), work.get());
    TransposeRows(v, n);
    if (!QLImplicit(values, e.get(), v, n)) return false;
    for (int i = 0; i < n; ++i)
        if (std::isnan(values[i])) return false;
    return true;
}

// Stable sort of the eigenvalues with the rows of v permuted to match,
// following the permutation's cycles.
void SortEigenRows(double* const* v, int n, double* values, bool ascending) {
    struct Entry {
        double value;
        int index;
    };
    Scratch<Entry> order(n);
    for (int i = 0; i < n; ++i) order[i] = {values[i], i};
    if (ascending)
        std::stable_sort(order.get(), order.get() + n, [](const Entry& x, const Entry& y) { return x.value < y.value; });
    else
        std::stable_sort(order.get(), order.get() + n, [](const Entry& x, const Entry& y) { return x.value > y.value; });

    Scratch<bool> placed(n);
    Scratch<double> held(n);
    const std::size_t rowBytes = static_cast<std::size_t>(n) * sizeof(double);
    for (int i = 0; i < n; ++i) {
        values[i] = order[i].value;
        placed[i] = order[i].index == i;
    }
    for (int start = 0; start < n; ++start) {
        if (placed[start]) continue;
        // Row `target` receives old row order[target].index.
        std::memcpy(held.get(), v[start], rowBytes);
        int target = start;
        for (;;) {
            const int source = order[target].index;
            placed[target] = true;
            if (source == start) {
                std::memcpy(v[target], held.get(), rowBytes);
                break;
            }
            std::memcpy(v[target], v[source], rowBytes);
            target = source;
        }
    }
}

double RowMaxAbs(const double* row, int n) {
    double m = 0.0;
    for (int j = 0; j < n; ++j) m = std::max(m, std::fabs(row[j]));
    return m;
}

// |A v - lambda v| <= tol * max|A[i][*]| * |lambda| in every row; any NaN fails.
bool RowIsEigenvector(const double* const* a, int n, const double* v, double lambda, double tol, const double* rowMax) {
    const double scale = tol * std::fabs(lambda);
    for (int i = 0; i < n; ++i) {
        const double residual = std::fabs(Dot(a[i], v, n) - lambda * v[i]);
        if (!(residual <= scale * rowMax[i])) return false;
    }
    return true;
}

}  // namespace

namespace detail {

EigenOutcome DecomposeSymmetric(const double* const* a, double* const* v, int n, double* values, bool check) {
    if (n < 1 || !values || !a || !v || !IsSymmetricRows(a, n)) return EigenOutcome::Rejected;
    if (!ReduceAndIterate(a, v, n, values)) {
        TransposeRows(v, n);
        return EigenOutcome::NoConvergence;
    }
    SortEigenRows(v, n, values, false);
    bool passed = true;
    if (check) {
        Scratch<double> rowMax(n);
        for (int i = 0; i < n; ++i) rowMax[i] = RowMaxAbs(a[i], n);
        for (int c = 0; c < n && passed; ++c)
            passed = RowIsEigenvector(a, n, v[c], values[c], kResidualTolerance, rowMax.get());
    }
    TransposeRows(v, n);
    return passed ? EigenOutcome::Solved : EigenOutcome::CheckFailed;
}

}  // namespace detail

void QuadraticMatrix::Allocate(int n) {
    m_block.reset();
    m_rows.reset();
    m_dimension = 0;
    if (n <= 0) return;
    const std::size_t order = static_cast<std::size_t>(n);
    m_block = std::make_unique<double[]>(order * order);  // value-initialised: zeros
    m_rows = std::make_unique<double*[]>(order);
    for (std::size_t i = 0; i < order; ++i) m_rows[i] = m_block.get() + i * order;
    m_dimension = n;
}

QuadraticMatrix::QuadraticMatrix(int n) { Allocate(n); }

QuadraticMatrix::QuadraticMatrix(const Matrix3x3& m) {
    Allocate(3);
    std::memcpy(m_block.get(), static_cast<const double*>(m), 9 * sizeof(double));
}

QuadraticMatrix::QuadraticMatrix(const Matrix4x4& m) {
    Allocate(4);
    std::memcpy(m_block.get(), static_cast<const double*>(m), 16 * sizeof(double));
}

QuadraticMatrix::QuadraticMatrix(const QuadraticMatrix& other) {
    Allocate(other.m_dimension);
    if (m_dimension > 0)
        std::memcpy(m_block.get(), other.m_block.get(),
                    static_cast<std::size_t>(m_dimension) * static_cast<std::size_t>(m_dimension) * sizeof(double));
}

QuadraticMatrix::QuadraticMatrix(QuadraticMatrix&& other) noexcept
    : m_block(std::move(other.m_block)), m_rows(std::move(other.m_rows)), m_dimension(other.m_dimension) {
    other.m_dimension = 0;
}

QuadraticMatrix& QuadraticMatrix::operator=(const QuadraticMatrix& other) {
    if (this == &other) return *this;
    if (m_dimension == other.m_dimension) {
        if (m_dimension > 0)
            std::memcpy(m_block.get(), other.m_block.get(),
                        static_cast<std::size_t>(m_dimension) * static_cast<std::size_t>(m_dimension) * sizeof(double));
        return *this;
    }
    QuadraticMatrix copy(other);
    std::swap(m_block, copy.m_block);
    std::swap(m_rows, copy.m_rows);
    std::swap(m_dimension, copy.m_dimension);
    return *this;
}

QuadraticMatrix& QuadraticMatrix::operator=(QuadraticMatrix&& other) noexcept {
    if (this == &other) return *this;
    m_block = std::move(other.m_block);
    m_rows = std::move(other.m_rows);
    m_dimension = other.m_dimension;
    other.m_dimension = 0;
    return *this;
}

QuadraticMatrix::~QuadraticMatrix() = default;

bool QuadraticMatrix::IsSymmetric() const {
    return m_dimension > 0 && IsSymmetricRows(m_rows.get(), m_dimension);
}

QuadraticMatrix& QuadraticMatrix::Transpose() {
    TransposeRows(m_rows.get(), m_dimension);
    return *this;
}

bool QuadraticMatrix::GetEigenvectorsAndEigenvalues(QuadraticMatrix& vectors, double* values) const {
    if (!values || !IsSymmetric()) return false;
    if (&vectors == this) {
        // The result replaces the matrix, but the residual check needs the original.
        const QuadraticMatrix input(*this);
        return input.GetEigenvectorsAndEigenvalues(vectors, values);
    }
    if (vectors.m_dimension != m_dimension) vectors.Allocate(m_dimension);
    return detail::DecomposeSymmetric(m_rows.get(), vectors.m_rows.get(), m_dimension, values, true) ==
           detail::EigenOutcome::Solved;
}

bool QuadraticMatrix::IsColumnEigenvector(int col, const QuadraticMatrix& vectors, double lambda, double tol) const {
    const int n = m_dimension;
    for (int i = 0; i < n; ++i) {
        double s = 0.0;
        for (int j = 0; j < n; ++j) s += m_rows[i][j] * vectors.m_rows[j][col];
        const double residual = std::fabs(s - lambda * vectors.m_rows[i][col]);
        if (!(residual <= tol * RowMaxAbs(m_rows[i], n) * std::fabs(lambda))) return false;
    }
    return true;
}

bool QuadraticMatrix::IsRowEigenvector(int row, const QuadraticMatrix& vectors, double lambda, double tol) const {
    const int n = m_dimension;
    Scratch<double> rowMax(n);
    for (int i = 0; i < n; ++i) rowMax[i] = RowMaxAbs(m_rows[i], n);
    return RowIsEigenvector(m_rows.get(), n, vectors.m_rows[row], lambda, tol, rowMax.get());
}

void QuadraticMatrix::SortRows(double* values, EigenvalueSortOrder order) {
    SortEigenRows(m_rows.get(), m_dimension, values, order == Ascending);
}

void QuadraticMatrix::SortColumns(double* values, EigenvalueSortOrder order) {
    Transpose();
    SortRows(values, order);
    Transpose();
}

void QuadraticMatrix::Print(std::ostream& os) const {
    os << "Dimension = " << m_dimension << '\n';
    for (int i = 0; i < m_dimension; ++i) {
        os << "Row #" << (i + 1) << '\n';
        for (int j = 0; j < m_dimension; ++j) {
            if (j > 0) os << ' ';
            os << m_rows[i][j];
        }
        os << '\n';
    }
}

std::ostream& operator<<(std::ostream& os, const QuadraticMatrix& m) {
    m.Print(os);
    return os;
}

}  // namespace Tessary
