#pragma once

// SquareMatrix<N, Derived>: the operations that Matrix3x3 and Matrix4x4 share,
// written once over the order N. Elements are doubles in row-major order;
// points are row vectors multiplied on the left (p * M), so p * (A * B)
// applies A first. The builders (scale, reflection, rotations, cell matrix)
// compute a 3 x 3 linear block; a 4 x 4 matrix takes it as its upper-left
// block with no translation and (0, 0, 0, 1) as column 3.
//
// Fall-backs: division by an exact zero and inversion of a singular matrix
// (an exactly zero pivot) leave the matrix unchanged; Set(i, j, v) outside the
// matrix does nothing; operator() clamps each index into range.
//
// Archive form: N*N doubles row-major, independent of the format version.
// Text form: the elements row-major, each in setw(w) when the stream has a
// width w, otherwise each followed by one blank (the last one too).

#include <algorithm>
#include <cassert>
#include <iosfwd>

#include "tessary/frame/CArchive.h"
#include "tessary/frame/Export.h"
#include "tessary/frame/Serialization.h"
#include "tessary/geometry/Point3d.h"

namespace Tessary {

// The coordinate axes; other values given to the builders select nothing.
enum class Axis { x = 0, y = 1, z = 2 };

namespace detail {

// Numerics shared by both orders, out of line. `m` holds n*n doubles row-major.
TESSARY_API bool InvertSquare(double* m, int n);
TESSARY_API double DeterminantSquare(const double* m, int n);
TESSARY_API void MultiplySquare(const double* a, const double* b, double* out, int n);
TESSARY_API std::ostream& PrintSquare(std::ostream& os, const double* m, int n);
// Text form of the n*n elements, and its all-or-nothing input into `m`.
TESSARY_API std::ostream& WriteSquareText(std::ostream& os, const double* m, int n);
TESSARY_API bool ReadSquareText(std::istream& is, double* m, int n);

// 3 x 3 linear blocks of the builders, row-major, written to `b`.
TESSARY_API void AxisRotationBlock(double* b, Axis axis, double deg);
TESSARY_API void AxisAngleRotationBlock(double* b, const Point3d& axis, double deg);
TESSARY_API void FromToRotationBlock(double* b, const Point3d& from, const Point3d& to);
TESSARY_API void FrameRotationBlock(double* b, const Point3d& dir);
// False (and `b` untouched) when any of the six values is exactly zero or
// no cell has the three angles.
TESSARY_API bool CellBlock(double* b, double a, double bLen, double c, double alpha, double beta, double gamma);

}  // namespace detail

template <int N, class Derived>
class TESSARY_API SquareMatrix {
public:
    static constexpr int Order = N;
    static constexpr int Size = N * N;

    enum IdentityMatrix { IdentityMatrix };
    enum NullMatrix { NullMatrix };
    enum UninitializedMatrix { UninitializedMatrix };

    // The zero matrix, not the identity.
    constexpr SquareMatrix() : m_m{} {}
    explicit SquareMatrix(enum IdentityMatrix) : m_m{} { SetIdentity(); }
    explicit constexpr SquareMatrix(enum NullMatrix) : m_m{} {}
    explicit SquareMatrix(enum UninitializedMatrix) {}
    // N*N doubles, row-major.
    explicit SquareMatrix(const double* values) { Set(values); }

    Derived& Set(const double* values) {
        std::copy(values, values + Size, m_m);
        return Self();
    }
    void Get(double* values) const { std::copy(m_m, m_m + Size, values); }
    // Ignored unless both indices lie within 0..N-1.
    Derived& Set(int i, int j, double v) {
        if (i >= 0 && i < N && j >= 0 && j < N) m_m[i * N + j] = v;
        return Self();
    }
    // Indices must lie within 0..N-1 (clamped into range in release builds).
    double Get(int i, int j) const {
        assert(i >= 0 && i < N && j >= 0 && j < N && "matrix index out of range");
        return m_m[Clamp(i) * N + Clamp(j)];
    }
    // Each index is clamped into 0..N-1.
    double& operator()(int i, int j) { return m_m[Clamp(i) * N + Clamp(j)]; }
    const double& operator()(int i, int j) const { return m_m[Clamp(i) * N + Clamp(j)]; }
    operator double*() { return m_m; }
    operator const double*() const { return m_m; }

    Derived& SetIdentity() {
        SetNull();
        for (int i = 0; i < N; ++i) m_m[i * N + i] = 1.0;
        return Self();
    }
    Derived& SetNull() {
        std::fill(m_m, m_m + Size, 0.0);
        return Self();
    }

    Derived& operator+=(const Derived& o) {
        for (int k = 0; k < Size; ++k) m_m[k] += o.m_m[k];
        return Self();
    }
    Derived& operator-=(const Derived& o) {
        for (int k = 0; k < Size; ++k) m_m[k] -= o.m_m[k];
        return Self();
    }
    // this * o
    Derived& operator*=(const Derived& o) {
        double out[Size];
        detail::MultiplySquare(m_m, o.m_m, out, N);
        return Set(out);
    }
    Derived& operator*=(double s) {
        for (double& v : m_m) v *= s;
        return Self();
    }
    // Unchanged when s is exactly zero.
    Derived& operator/=(double s) {
        if (s == 0.0) return Self();
        for (double& v : m_m) v /= s;
        return Self();
    }

    Derived& Transpose() {
        for (int i = 0; i < N; ++i)
            for (int j = i + 1; j < N; ++j) std::swap(m_m[i * N + j], m_m[j * N + i]);
        return Self();
    }
    // Gauss-Jordan with partial pivoting; unchanged when a pivot is exactly zero.
    Derived& Invert() {
        detail::InvertSquare(m_m, N);
        return Self();
    }
    // Cofactor expansion along row 0.
    double Determinant() const { return detail::DeterminantSquare(m_m, N); }
    double Det() const { return Determinant(); }

    // ---- builders: each overwrites the whole matrix --------------------------
    Derived& SetScale(double s) { return SetScale(s, s, s); }
    Derived& SetScale(double sx, double sy, double sz) {
        const double b[9] = {sx, 0.0, 0.0, 0.0, sy, 0.0, 0.0, 0.0, sz};
        return SetLinear(b);
    }
    Derived& SetScale(const Point3d& s) { return SetScale(s.GetX(), s.GetY(), s.GetZ()); }
    // -1 on the axis' diagonal entry; the identity for any other value.
    Derived& SetReflection(Axis axis) {
        double b[9] = {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
        const int a = static_cast<int>(axis);
        if (a >= 0 && a < 3) b[a * 4] = -1.0;
        return SetLinear(b);
    }
    // About a coordinate axis. Right-hand rule for x and z; the y rotation
    // turns the other way (m02 = sin, m20 = -sin), as stored matrices expect.
    Derived& SetRotation(Axis axis, double deg) {
        double b[9];
        detail::AxisRotationBlock(b, axis, deg);
        return SetLinear(b);
    }
    // About an axis through the origin, right-hand rule; a zero axis gives cos(deg) * I.
    Derived& SetRotation(const Point3d& axis, double deg) {
        double b[9];
        detail::AxisAngleRotationBlock(b, axis, deg);
        return SetLinear(b);
    }
    // Turns the direction of `from` onto that of `to`. Identity for a zero
    // vector or equal directions; 180 degrees about from.Normal() when opposed.
    Derived& SetRotation(const Point3d& from, const Point3d& to) {
        double b[9];
        detail::FromToRotationBlock(b, from, to);
        return SetLinear(b);
    }
    // An orthonormal frame whose third row is normalise(dir): (0, 0, 1) * M = dir.
    Derived& SetRotation(const Point3d& dir) {
        double b[9];
        detail::FrameRotationBlock(b, dir);
        return SetLinear(b);
    }
    // Crystallographic cell matrix (angles in degrees): fractional row vectors
    // times it give Cartesian ones. Unchanged when any value is exactly zero,
    // or when no cell has the three angles (one above the sum of the others).
    Derived& FractionalToCartesian(double a, double b, double c, double alpha, double beta, double gamma) {
        double block[9];
        if (detail::CellBlock(block, a, b, c, alpha, beta, gamma)) SetLinear(block);
        return Self();
    }
    Derived& FractionalToCartesian(const Point3d& lengths, const Point3d& angles) {
        return FractionalToCartesian(lengths.GetX(), lengths.GetY(), lengths.GetZ(), angles.GetX(), angles.GetY(),
                                     angles.GetZ());
    }

    // A load that throws leaves the matrix as it was.
    void Serialize(CArchive& ar) {
        ArchiveObject(ar, Self(), [&ar](Derived& m) {
            for (double& v : m.m_m) ArchiveFields(ar, v);
        });
    }
    // One row per line, fixed notation (left set on the stream), width 10.
    void Print(std::ostream& os) const { detail::PrintSquare(os, m_m, N); }

    // ---- free operators -------------------------------------------------------
    friend Derived operator+(Derived a, const Derived& b) { return a += b; }
    friend Derived operator-(Derived a, const Derived& b) { return a -= b; }
    friend Derived operator*(const Derived& a, const Derived& b) {
        Derived out(Derived::UninitializedMatrix);
        detail::MultiplySquare(a.m_m, b.m_m, out.m_m, N);
        return out;
    }
    friend Derived operator*(Derived m, double s) { return m *= s; }
    friend Derived operator*(double s, Derived m) { return m *= s; }
    friend Derived operator/(Derived m, double s) { return m /= s; }

    friend CArchive& operator<<(CArchive& ar, const Derived& m) { return StoreValue(ar, m); }
    friend CArchive& operator>>(CArchive& ar, Derived& m) { return LoadValue(ar, m); }
    friend std::ostream& operator<<(std::ostream& os, const Derived& m) {
        return detail::WriteSquareText(os, m.m_m, N);
    }
    // Changes m only when all N*N numbers were read.
    friend std::istream& operator>>(std::istream& is, Derived& m) {
        double values[Size];
        if (detail::ReadSquareText(is, values, N)) m.Set(values);
        return is;
    }

protected:
    static int Clamp(int i) { return i < 0 ? 0 : i >= N ? N - 1 : i; }
    Derived& Self() { return static_cast<Derived&>(*this); }
    const Derived& Self() const { return static_cast<const Derived&>(*this); }

    // Takes a 3 x 3 linear block; a larger matrix becomes the identity around it.
    Derived& SetLinear(const double* block) {
        if (N != 3) SetIdentity();
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) m_m[i * N + j] = block[i * 3 + j];
        return Self();
    }

    double m_m[Size];
};

}  // namespace Tessary
