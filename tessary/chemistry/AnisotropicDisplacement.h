#pragma once

// AnisotropicDisplacement: an atom's anisotropic displacement parameters, the
// six independent components of the symmetric displacement tensor U (from
// which displacement ellipsoids are drawn) and their six standard
// uncertainties. A plain value: it stores the twelve floats as given, with no
// check and no unit, and hands both tensors out as symmetric matrices. The
// default is the unit tensor with zero uncertainties.

#include "tessary/frame/Export.h"
#include "tessary/geometry/Matrix3x3.h"

namespace Tessary {

class TESSARY_API AnisotropicDisplacement {
public:
    AnisotropicDisplacement() = default;
    AnisotropicDisplacement(float u11, float u22, float u33, float u12, float u13, float u23, float sigu11,
                            float sigu22, float sigu33, float sigu12, float sigu13, float sigu23)
        : m_u{u11, u22, u33, u12, u13, u23}, m_sigu{sigu11, sigu22, sigu33, sigu12, sigu13, sigu23} {}

    // One getter and one setter per component, in storage order: the diagonal
    // (11, 22, 33), then the off-diagonal (12, 13, 23).
#define TESSARY_ANISOTROPIC_COMPONENT(name, slot)                                    \
    float GetU##name() const { return m_u[slot]; }                                   \
    AnisotropicDisplacement& SetU##name(float v) { m_u[slot] = v; return *this; }    \
    float GetSigu##name() const { return m_sigu[slot]; }                             \
    AnisotropicDisplacement& SetSigu##name(float v) { m_sigu[slot] = v; return *this; }
    TESSARY_ANISOTROPIC_COMPONENT(11, 0)
    TESSARY_ANISOTROPIC_COMPONENT(22, 1)
    TESSARY_ANISOTROPIC_COMPONENT(33, 2)
    TESSARY_ANISOTROPIC_COMPONENT(12, 3)
    TESSARY_ANISOTROPIC_COMPONENT(13, 4)
    TESSARY_ANISOTROPIC_COMPONENT(23, 5)
#undef TESSARY_ANISOTROPIC_COMPONENT

    // Rows (U11, U12, U13), (U12, U22, U23), (U13, U23, U33).
    Matrix3x3 GetMatrix() const { return Symmetric(m_u); }
    // The same arrangement of the uncertainties.
    Matrix3x3 GetUncertaintyMatrix() const { return Symmetric(m_sigu); }

private:
    static Matrix3x3 Symmetric(const float (&c)[6]) {
        return Matrix3x3(c[0], c[3], c[4], c[3], c[1], c[5], c[4], c[5], c[2]);
    }

    float m_u[6] = {1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f};
    float m_sigu[6] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
};

static_assert(sizeof(AnisotropicDisplacement) == 12 * sizeof(float), "twelve floats and nothing else");

}  // namespace Tessary
