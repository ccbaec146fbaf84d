#pragma once

// Matrix4x4: the homogeneous transformation held by display lists and applied
// by every primitive. Rows 0..2 x columns 0..2 are the linear part, row 3
// (m30, m31, m32) the translation, column 3 the projective part ((0, 0, 0, 1)
// for an affine map). A point p becomes (p, 1) * M divided by w; a point whose
// w is not above 2.220446049250313e-16 in magnitude (or is NaN) has no finite
// image and maps to Point3d::maximum.

#include <cmath>
#include <cstddef>
#include <iosfwd>

#include "tessary/frame/Export.h"
#include "tessary/geometry/Matrix3x3.h"
#include "tessary/geometry/Point3d.h"
#include "tessary/geometry/SquareMatrix.h"

namespace Tessary {

class TESSARY_API Matrix4x4 : public SquareMatrix<4, Matrix4x4> {
    using Base = SquareMatrix<4, Matrix4x4>;

public:
    using Base::Base;
    using Base::Set;
    using Base::SetRotation;

    constexpr Matrix4x4() = default;
    Matrix4x4(double m00, double m01, double m02, double m03, double m10, double m11, double m12, double m13,
              double m20, double m21, double m22, double m23, double m30, double m31, double m32, double m33)
        : Base(UninitializedMatrix) {
        Set(m00, m01, m02, m03, m10, m11, m12, m13, m20, m21, m22, m23, m30, m31, m32, m33);
    }
    Matrix4x4(Axis axis, double deg) : Base(UninitializedMatrix) { SetRotation(axis, deg); }
    Matrix4x4(const Point3d& axis, double deg) : Base(UninitializedMatrix) { SetRotation(axis, deg); }
    Matrix4x4(const Point3d& from, const Point3d& to) : Base(UninitializedMatrix) { SetRotation(from, to); }
    Matrix4x4(const Point3d& axis, const Point3d& centre, double deg) : Base(UninitializedMatrix) {
        SetRotation(axis, centre, deg);
    }

    // Copies m into the upper-left block and sets m33 to 1; the translation
    // row and m03, m13, m23 keep their values.
    Matrix4x4& operator=(const Matrix3x3& m);

    Matrix4x4& Set(double m00, double m01, double m02, double m03, double m10, double m11, double m12, double m13,
                   double m20, double m21, double m22, double m23, double m30, double m31, double m32, double m33) {
        const double v[16] = {m00, m01, m02, m03, m10, m11, m12, m13, m20, m21, m22, m23, m30, m31, m32, m33};
        return Set(v);
    }

    // The projective point transformation (see the header comment).
    Point3d Transform(const Point3d& p) const {
        const double x = p.x, y = p.y, z = p.z;
        const double w = x * m_m[3] + y * m_m[7] + z * m_m[11] + m_m[15];
        if (!(std::fabs(w) > 2.220446049250313e-16)) return Point3d::maximum;
        return Point3d((x * m_m[0] + y * m_m[4] + z * m_m[8] + m_m[12]) / w,
                       (x * m_m[1] + y * m_m[5] + z * m_m[9] + m_m[13]) / w,
                       (x * m_m[2] + y * m_m[6] + z * m_m[10] + m_m[14]) / w);
    }
    void Transform(Point3d& p) const { p = Transform(static_cast<const Point3d&>(p)); }
    // Transforms `count` points in place, with the same results as one by one.
    void Transform(Point3d* points, std::size_t count) const;
    void Transform(Point3d::Array& points) const {
        Transform(points.GetData(), static_cast<std::size_t>(points.GetSize()));
    }
    // p * R with the linear block only: no translation, no division by w
    // (for directions and normals).
    Point3d Rotate(const Point3d& p) const {
        const double x = p.x, y = p.y, z = p.z;
        return Point3d(x * m_m[0] + y * m_m[4] + z * m_m[8], x * m_m[1] + y * m_m[5] + z * m_m[9],
                       x * m_m[2] + y * m_m[6] + z * m_m[10]);
    }
    void Rotate(Point3d& p) const { p = Rotate(static_cast<const Point3d&>(p)); }

    // The identity with (m30, m31, m32) = t.
    Matrix4x4& SetTranslation(double x, double y, double z);
    Matrix4x4& SetTranslation(const Point3d& t) { return SetTranslation(t.GetX(), t.GetY(), t.GetZ()); }
    void GetTranslation(Point3d& t) const { t = GetTranslation(); }
    Point3d GetTranslation() const { return Point3d(m_m[12], m_m[13], m_m[14]); }

    // Rotation by deg about the axis through centre (centre * M = centre).
    Matrix4x4& SetRotation(const Point3d& axis, const Point3d& centre, double deg);

    // True when column 3 is exactly (0, 0, 0, 1).
    bool IsAffine() const { return m_m[3] == 0.0 && m_m[7] == 0.0 && m_m[11] == 0.0 && m_m[15] == 1.0; }
};

static_assert(sizeof(Matrix4x4) == 128, "Matrix4x4 is sixteen packed doubles");

inline Point3d operator*(const Point3d& p, const Matrix4x4& m) { return m.Transform(p); }
inline double Determinant(const Matrix4x4& m) { return m.Determinant(); }

}  // namespace Tessary
