#pragma once

// Matrix3x3: rotations, reflections, scalings, crystallographic cell matrices
// and general linear maps of points (p * M, row vectors on the left). Beside
// the operations shared with Matrix4x4 (see SquareMatrix.h) it carries a
// singular value decomposition and the principal-axes analysis of point sets
// built on it: best-fitting line and plane and a planarity test.

#include <iosfwd>

#include "tessary/frame/Export.h"
#include "tessary/geometry/Point3d.h"
#include "tessary/geometry/SquareMatrix.h"

namespace Tessary {

class Matrix4x4;

class TESSARY_API Matrix3x3 : public SquareMatrix<3, Matrix3x3> {
    using Base = SquareMatrix<3, Matrix3x3>;

public:
    using Base::Base;
    using Base::Set;

    constexpr Matrix3x3() = default;
    Matrix3x3(double m00, double m01, double m02, double m10, double m11, double m12, double m20, double m21,
              double m22)
        : Base(UninitializedMatrix) {
        Set(m00, m01, m02, m10, m11, m12, m20, m21, m22);
    }
    Matrix3x3(Axis axis, double deg) : Base(UninitializedMatrix) { SetRotation(axis, deg); }
    Matrix3x3(const Point3d& axis, double deg) : Base(UninitializedMatrix) { SetRotation(axis, deg); }
    Matrix3x3(const Point3d& from, const Point3d& to) : Base(UninitializedMatrix) { SetRotation(from, to); }

    // The upper-left 3 x 3 block.
    Matrix3x3& operator=(const Matrix4x4& m);

    Matrix3x3& Set(double m00, double m01, double m02, double m10, double m11, double m12, double m20, double m21,
                   double m22) {
        const double v[9] = {m00, m01, m02, m10, m11, m12, m20, m21, m22};
        return Set(v);
    }

    // p * M, rounded to float on storing. Transform and Rotate are the same map.
    Point3d Transform(const Point3d& p) const {
        const double x = p.x, y = p.y, z = p.z;
        return Point3d(x * m_m[0] + y * m_m[3] + z * m_m[6], x * m_m[1] + y * m_m[4] + z * m_m[7],
                       x * m_m[2] + y * m_m[5] + z * m_m[8]);
    }
    void Transform(Point3d& p) const { p = Transform(static_cast<const Point3d&>(p)); }
    Point3d Rotate(const Point3d& p) const { return Transform(p); }
    void Rotate(Point3d& p) const { Transform(p); }

    // Principal axes of a point set. centre is the mean (zero for no points);
    // axis1..3 are unit vectors of decreasing spread (axis3 is the normal of
    // the best-fitting plane; each axis' sign is arbitrary); plusK and minusK
    // are the largest extents along +axisK and -axisK, never negative.
    static void PCA(const Point3d::Array& points, Point3d& centre, Point3d& axis1, Point3d& axis2, Point3d& axis3,
                    double& plus1, double& minus1, double& plus2, double& minus2, double& plus3, double& minus3);
    // end1 = centre + axis1 * plus1, end2 = centre - axis1 * minus1.
    static void BestFittingLine(const Point3d::Array& points, Point3d& end1, Point3d& end2);
    // Four corners (corners[0..3]) of the rectangle spanned by the first two axes.
    static void BestFittingPlane(const Point3d::Array& points, Point3d* corners);

protected:
    // Singular value decomposition a = u * diag(d) * v: u and v orthogonal,
    // d non-negative and descending. False (results still finite-sized but
    // meaningless) when the iteration did not converge, as with NaN input.
    static bool SingularValueDecomposition(const Matrix3x3& a, Matrix3x3& u, double* d, Matrix3x3& v);
};

static_assert(sizeof(Matrix3x3) == 72, "Matrix3x3 is nine packed doubles");

inline Point3d operator*(const Point3d& p, const Matrix3x3& m) { return m.Transform(p); }
inline double Determinant(const Matrix3x3& m) { return m.Determinant(); }
// True for fewer than 3 points; otherwise when the extent along +axis3 of the
// principal axes does not exceed tol (the extent along -axis3 is not looked at).
TESSARY_API bool IsPlanar(const Point3d::Array& points, double tol);

}  // namespace Tessary
