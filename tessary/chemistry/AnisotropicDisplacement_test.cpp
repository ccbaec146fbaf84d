#include "tessary/chemistry/AnisotropicDisplacement.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace Tessary {
namespace {

static_assert(std::is_trivially_copyable_v<AnisotropicDisplacement>, "a plain value of twelve floats");

void ExpectMatrix(const Matrix3x3& m, const double (&expected)[9]) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(m.Get(i, j), expected[i * 3 + j]) << i << "," << j;
}

TEST(AnisotropicDisplacement, DefaultIsTheUnitTensorWithoutUncertainty) {
    const AnisotropicDisplacement d;
    ExpectMatrix(d.GetMatrix(), {1, 0, 0, 0, 1, 0, 0, 0, 1});
    ExpectMatrix(d.GetUncertaintyMatrix(), {0, 0, 0, 0, 0, 0, 0, 0, 0});
}

TEST(AnisotropicDisplacement, OffDiagonalSettersFillBothTriangles) {
    AnisotropicDisplacement d;
    d.SetU12(0.25f);
    ExpectMatrix(d.GetMatrix(), {1, 0.25, 0, 0.25, 1, 0, 0, 0, 1});
    d.SetU13(-0.5f).SetU23(0.125f).SetU33(3.0f);
    ExpectMatrix(d.GetMatrix(), {1, 0.25, -0.5, 0.25, 1, 0.125, -0.5, 0.125, 3});
    d.SetSigu12(0.01f).SetSigu11(0.02f);
    ExpectMatrix(d.GetUncertaintyMatrix(), {0.02f, 0.01f, 0, 0.01f, 0, 0, 0, 0, 0});
}

TEST(AnisotropicDisplacement, TwelveArgumentsComeBackInOrder) {
    const AnisotropicDisplacement d(1.5f, 2.5f, 3.5f, 0.1f, 0.2f, 0.3f, 0.01f, 0.02f, 0.03f, 0.04f, 0.05f, 0.06f);
    EXPECT_EQ(d.GetU11(), 1.5f);
    EXPECT_EQ(d.GetU22(), 2.5f);
    EXPECT_EQ(d.GetU33(), 3.5f);
    EXPECT_EQ(d.GetU12(), 0.1f);
    EXPECT_EQ(d.GetU13(), 0.2f);
    EXPECT_EQ(d.GetU23(), 0.3f);
    EXPECT_EQ(d.GetSigu11(), 0.01f);
    EXPECT_EQ(d.GetSigu22(), 0.02f);
    EXPECT_EQ(d.GetSigu33(), 0.03f);
    EXPECT_EQ(d.GetSigu12(), 0.04f);
    EXPECT_EQ(d.GetSigu13(), 0.05f);
    EXPECT_EQ(d.GetSigu23(), 0.06f);
    // Each component is widened from its float, not re-rounded.
    ExpectMatrix(d.GetMatrix(), {1.5, 0.1f, 0.2f, 0.1f, 2.5, 0.3f, 0.2f, 0.3f, 3.5});
    ExpectMatrix(d.GetUncertaintyMatrix(), {0.01f, 0.04f, 0.05f, 0.04f, 0.02f, 0.06f, 0.05f, 0.06f, 0.03f});

    AnisotropicDisplacement copy;
    copy = d;
    const AnisotropicDisplacement& alias = copy;
    copy = alias;  // assignment to itself changes nothing
    ExpectMatrix(copy.GetUncertaintyMatrix(), {0.01f, 0.04f, 0.05f, 0.04f, 0.02f, 0.06f, 0.05f, 0.06f, 0.03f});
    const AnisotropicDisplacement constructed(d);
    EXPECT_EQ(constructed.GetU23(), 0.3f);
    // Values are stored unchecked.
    copy.SetU11(-4.0f);
    EXPECT_EQ(copy.GetU11(), -4.0f);
    EXPECT_EQ(d.GetU11(), 1.5f);
}

}  // namespace
}  // namespace Tessary
