#pragma once

// Internal: bulk point passes four points at a time with AVX, for the hot
// loops over point arrays (affine transforms, principal axes). Builds for
// x86-64 carry the AVX code next to the plain one and pick it at run time,
// so the library itself still targets the baseline instruction set.
//
// Four packed points (twelve floats) are transposed to x, y and z vectors of
// four doubles and back. The transpositions use blends where they can: those
// do not compete with shuffles and conversions for one execution port.

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TESSARY_POINT_BLOCKS 1
#include <immintrin.h>
#define TESSARY_AVX_TARGET __attribute__((target("avx")))
#else
#define TESSARY_POINT_BLOCKS 0
#endif

namespace Tessary::detail {

#if TESSARY_POINT_BLOCKS

inline bool HaveAvx() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx");
}

// f holds x0 y0 z0 x1 | y1 z1 x2 y2 | z2 x3 y3 z3.
TESSARY_AVX_TARGET inline void LoadPoints4(const float* f, __m256d& x, __m256d& y, __m256d& z) {
    const __m128 a = _mm_loadu_ps(f), b = _mm_loadu_ps(f + 4), d = _mm_loadu_ps(f + 8);
    // x0 x3 x2 x1, y1 y0 y3 y2, z2 z1 z0 z3: one shuffle each puts them in order.
    const __m128 rx = _mm_blend_ps(_mm_blend_ps(a, b, 0x4), d, 0x2);
    const __m128 ry = _mm_blend_ps(_mm_blend_ps(a, b, 0x9), d, 0x4);
    const __m128 rz = _mm_blend_ps(_mm_blend_ps(a, b, 0x2), d, 0x9);
    x = _mm256_cvtps_pd(_mm_shuffle_ps(rx, rx, _MM_SHUFFLE(1, 2, 3, 0)));
    y = _mm256_cvtps_pd(_mm_shuffle_ps(ry, ry, _MM_SHUFFLE(2, 3, 0, 1)));
    z = _mm256_cvtps_pd(_mm_shuffle_ps(rz, rz, _MM_SHUFFLE(3, 0, 1, 2)));
}

// Rounds each double to float once and stores the four points.
TESSARY_AVX_TARGET inline void StorePoints4(float* f, __m256d x, __m256d y, __m256d z) {
    const __m128 fx = _mm256_cvtpd_ps(x), fy = _mm256_cvtpd_ps(y), fz = _mm256_cvtpd_ps(z);
    // The three shuffles are their own inverses.
    const __m128 ox = _mm_shuffle_ps(fx, fx, _MM_SHUFFLE(1, 2, 3, 0));
    const __m128 oy = _mm_shuffle_ps(fy, fy, _MM_SHUFFLE(2, 3, 0, 1));
    const __m128 oz = _mm_shuffle_ps(fz, fz, _MM_SHUFFLE(3, 0, 1, 2));
    _mm_storeu_ps(f, _mm_blend_ps(_mm_blend_ps(ox, oy, 0x2), oz, 0x4));
    _mm_storeu_ps(f + 4, _mm_blend_ps(_mm_blend_ps(oy, oz, 0x2), ox, 0x4));
    _mm_storeu_ps(f + 8, _mm_blend_ps(_mm_blend_ps(oz, ox, 0x2), oy, 0x4));
}

TESSARY_AVX_TARGET inline double HorizontalSum(__m256d v) {
    const __m128d pair = _mm_add_pd(_mm256_castpd256_pd128(v), _mm256_extractf128_pd(v, 1));
    return _mm_cvtsd_f64(_mm_add_sd(pair, _mm_unpackhi_pd(pair, pair)));
}

TESSARY_AVX_TARGET inline double HorizontalMax(__m256d v) {
    const __m128d pair = _mm_max_pd(_mm256_castpd256_pd128(v), _mm256_extractf128_pd(v, 1));
    return _mm_cvtsd_f64(_mm_max_sd(pair, _mm_unpackhi_pd(pair, pair)));
}

TESSARY_AVX_TARGET inline double HorizontalMin(__m256d v) {
    const __m128d pair = _mm_min_pd(_mm256_castpd256_pd128(v), _mm256_extractf128_pd(v, 1));
    return _mm_cvtsd_f64(_mm_min_sd(pair, _mm_unpackhi_pd(pair, pair)));
}

#endif

}  // namespace Tessary::detail
