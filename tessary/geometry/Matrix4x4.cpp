#include "tessary/geometry/Matrix4x4.h"

#include <cmath>

#include "tessary/geometry/detail/PointBlocks.h"

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

namespace {

// Affine transformation of points in place: w is exactly 1 for finite points,
// so the division is the identity and can go. A non-finite coordinate makes w
// NaN in the general form, which maps the point to Point3d::maximum; the sum
// x + y + z of floats cannot overflow a double, so it is non-finite exactly
// when a coordinate is. The arithmetic is the general form's, operation for
// operation (multiplies, then left-to-right sums, no fused multiply-add), so
// the bulk and the one-point results agree to the bit.
void TransformAffineScalar(const double* m, Point3d* points, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        Point3d& p = points[i];
        const double x = p.x, y = p.y, z = p.z;
        if (!std::isfinite(x + y + z)) {
            p = Point3d::maximum;
            continue;
        }
        p.x = static_cast<float>(x * m[0] + y * m[4] + z * m[8] + m[12]);
        p.y = static_cast<float>(x * m[1] + y * m[5] + z * m[9] + m[13]);
        p.z = static_cast<float>(x * m[2] + y * m[6] + z * m[10] + m[14]);
    }
}

#if TESSARY_POINT_BLOCKS
TESSARY_AVX_TARGET void TransformAffineAvx(const double* m, Point3d* points, std::size_t count) {
    __m256d c[4][3];  // c[k][j]: m(k, j) in all four lanes
    for (int k = 0; k < 4; ++k)
        for (int j = 0; j < 3; ++j) c[k][j] = _mm256_set1_pd(m[k * 4 + j]);
    const std::size_t blocks = count / 4;
    for (std::size_t n = 0; n < blocks; ++n) {
        float* f = &points[4 * n].x;
        __m256d x, y, z;
        detail::LoadPoints4(f, x, y, z);
        const __m256d sum = _mm256_add_pd(_mm256_add_pd(x, y), z);
        const __m256d finite = _mm256_cmp_pd(_mm256_sub_pd(sum, sum), _mm256_setzero_pd(), _CMP_EQ_OQ);
        if (_mm256_movemask_pd(finite) != 0xF) {
            TransformAffineScalar(m, points + 4 * n, 4);
            continue;
        }
        __m256d out[3];
        for (int j = 0; j < 3; ++j)
            out[j] = _mm256_add_pd(_mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(x, c[0][j]), _mm256_mul_pd(y, c[1][j])),
                                                 _mm256_mul_pd(z, c[2][j])),
                                   c[3][j]);
        detail::StorePoints4(f, out[0], out[1], out[2]);
    }
    // Clear the upper halves before plain SSE code runs again (the compiler
    // does not always do so for a function with its own target).
    _mm256_zeroupper();
    TransformAffineScalar(m, points + 4 * blocks, count - 4 * blocks);
}
#endif

void TransformAffine(const double* m, Point3d* points, std::size_t count) {
#if TESSARY_POINT_BLOCKS
    if (detail::HaveAvx()) {
        TransformAffineAvx(m, points, count);
        return;
    }
#endif
    TransformAffineScalar(m, points, count);
}

}  // namespace

void Matrix4x4::Transform(Point3d* points, std::size_t count) const {
    if (!IsAffine()) {
        for (std::size_t i = 0; i < count; ++i) Transform(points[i]);
        return;
    }
    TransformAffine(m_m, points, count);
}

}  // namespace Tessary
