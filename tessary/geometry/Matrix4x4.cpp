#include "tessary/geometry/Matrix4x4.h"

#include <cmath>

namespace Tessary {

Matrix4x4& Matrix4x4::operator=(const Matrix3x3& m) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m_m[i * 4 + j] = m(i, j);
    m_m[15] = 1.0;
    return *this;
}

Matrix4x4& Matrix4x4::SetTranslation(double x, double y, double z) {
    SetIdentity();
    m_m[12] = x;
    m_m[13] = y;
    m_m[14] = z;
    return *this;
}

Matrix4x4& Matrix4x4::SetRotation(const Point3d& axis, const Point3d& centre, double deg) {
    SetRotation(axis, deg);
    const double cx = centre.x, cy = centre.y, cz = centre.z;
    m_m[12] = cx - (cx * m_m[0] + cy * m_m[4] + cz * m_m[8]);
    m_m[13] = cy - (cx * m_m[1] + cy * m_m[5] + cz * m_m[9]);
    m_m[14] = cz - (cx * m_m[2] + cy * m_m[6] + cz * m_m[10]);
    return *this;
}

void Matrix4x4::Transform(Point3d* points, std::size_t count) const {
    if (!IsAffine()) {
        for (std::size_t i = 0; i < count; ++i) Transform(points[i]);
        return;
    }
    // Affine: w is exactly 1 for finite points, so the division is the
    // identity and can go. A non-finite coordinate makes w NaN, which maps the
    // point to Point3d::maximum as in the general form.
    const double m00 = m_m[0], m01 = m_m[1], m02 = m_m[2];
    const double m10 = m_m[4], m11 = m_m[5], m12 = m_m[6];
    const double m20 = m_m[8], m21 = m_m[9], m22 = m_m[10];
    const double m30 = m_m[12], m31 = m_m[13], m32 = m_m[14];
    for (std::size_t i = 0; i < count; ++i) {
        Point3d& p = points[i];
        const double x = p.x, y = p.y, z = p.z;
        if (!std::isfinite(x + y + z)) {  // the sum of floats cannot overflow a double
            p = Point3d::maximum;
            continue;
        }
        p.x = static_cast<float>(x * m00 + y * m10 + z * m20 + m30);
        p.y = static_cast<float>(x * m01 + y * m11 + z * m21 + m31);
        p.z = static_cast<float>(x * m02 + y * m12 + z * m22 + m32);
    }
}

}  // namespace Tessary
