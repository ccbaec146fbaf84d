#include "tessary/graphics/primitives/SolidPrimitives.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "tests/support/ExpectPoint.h"
#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

using namespace test;  // golden-bytes helpers

// Little-endian chunks of the forms below.
const Bytes kLit = {0x07, 0, 0, 0, 0x01, 0, 0, 0, 0x02, 0, 0, 0};  // ID 7, material 1, representation 2
const Bytes kLitOld = {0x07, 0, 0, 0, 0x01, 0, 0, 0};             // before version 7: no representation
const Bytes kF123 = {0, 0, 0x80, 0x3f, 0, 0, 0, 0x40, 0, 0, 0x40, 0x40};
const Bytes kF456 = {0, 0, 0x80, 0x40, 0, 0, 0xa0, 0x40, 0, 0, 0xc0, 0x40};
const Bytes kD123 = {0, 0, 0, 0, 0, 0, 0xf0, 0x3f, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0x08, 0x40};
const Bytes kRadius = {0, 0, 0xc0, 0x3f};  // 1.5f
const Bytes kRgb = {0x11, 0x22, 0x33, 0x00};
const Bytes kRgba = {0x11, 0x22, 0x33, 0x44};

const Point3d kP123(1, 2, 3);
const Point3d kP456(4, 5, 6);
const Color kColor(0x11, 0x22, 0x33, 0x44);

bool SameMatrix(const Matrix4x4& a, const Matrix4x4& b) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (a(i, j) != b(i, j)) return false;
    return true;
}

template <class T>
T WithLitPart(T primitive) {
    primitive.SetMaterial(static_cast<LitPrimitive::Material>(1));
    primitive.SetRepresentation(static_cast<LitPrimitive::Representation>(2));
    return primitive;
}

TEST(SolidPrimitives, DefaultsAndRadiusAtFloatPrecision) {
    EXPECT_EQ(SpherePrimitive().GetRadius(), 0.0);
    EXPECT_TRUE(SameMatrix(EllipsoidPrimitive().GetMatrix(), Matrix4x4(Matrix4x4::IdentityMatrix)));
    EXPECT_TRUE(CylinderPrimitive().GetIsCapped());
    EXPECT_EQ(ConePrimitive().GetColor(), Color(0, 0, 0, 0));

    SpherePrimitive s;
    s.SetRadius(0.1);
    EXPECT_EQ(s.GetRadius(), static_cast<double>(0.1f));
    EXPECT_EQ(CylinderPrimitive(kP123, kColor, kP456, kColor, 0.1, 1).GetRadius(), static_cast<double>(0.1f));
    EXPECT_EQ(ConePrimitive(kP123, kP456, kColor, 0.1, 1).GetRadius(), static_cast<double>(0.1f));
}

TEST(SolidPrimitives, TransformsMovePointsAndKeepSizes) {
    const Matrix4x4 scale(3, 0, 0, 0, 0, 3, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1);
    SpherePrimitive sphere(kP123, 2.0, kColor, 9);
    sphere.Transform(scale);
    ExpectPoint(sphere.GetCenter(), 3, 6, 9);
    EXPECT_EQ(sphere.GetRadius(), 2.0);

    const Matrix4x4 axes(Axis::x, 30.0);
    Matrix4x4 turn(Axis::z, 90.0);
    turn(3, 2) = 1.0;  // then up by 1
    EllipsoidPrimitive ellipsoid(kP123, kP456, axes, kColor, 9);
    ellipsoid.Transform(turn);
    EXPECT_EQ(ellipsoid.GetCenter(), turn.Transform(kP123));
    EXPECT_EQ(ellipsoid.GetSize(), kP456);
    EXPECT_TRUE(SameMatrix(ellipsoid.GetMatrix(), axes));

    ConePrimitive cone(kP123, kP456, kColor, 1.5, 9);
    cone.Transform(scale);
    ExpectPoint(cone.GetBase(), 3, 6, 9);
    ExpectPoint(cone.GetTip(), 12, 15, 18);
    EXPECT_EQ(cone.GetRadius(), 1.5);
}

TEST(CylinderPrimitive, IdsAndCappedFlagFollowCopies) {
    CylinderPrimitive c(kP123, kColor, kP456, Color(1, 2, 3), 1.0, 5, 6, 8);
    EXPECT_EQ(c.GetID(), 5u);
    EXPECT_EQ(c.GetEnd1ID(), 6u);
    EXPECT_EQ(c.GetEnd2ID(), 8u);
    EXPECT_TRUE(c.GetIsCapped());
    c.SetIsCapped(false);
    const CylinderPrimitive copy(c);
    CylinderPrimitive assigned;
    assigned = c;
    for (const CylinderPrimitive* p : {&copy, static_cast<const CylinderPrimitive*>(&assigned)}) {
        EXPECT_FALSE(p->GetIsCapped());
        EXPECT_EQ(p->GetEnd1ID(), 6u);
        EXPECT_EQ(p->GetEnd2ID(), 8u);
        EXPECT_EQ(p->GetColor2(), Color(1, 2, 3));
    }

    c.SetID(7);
    EXPECT_EQ(c.GetID(), 7u);
    EXPECT_EQ(c.GetEnd1ID(), 7u);
    EXPECT_EQ(c.GetEnd2ID(), 7u);
    const CylinderPrimitive six(kP123, kColor, kP456, kColor, 1.0, 7);
    EXPECT_EQ(six.GetEnd1ID(), 7u);
    EXPECT_EQ(six.GetEnd2ID(), 7u);
}

// Counts the calls that reach the virtual Transform.
struct CountingCylinder : CylinderPrimitive {
    using CylinderPrimitive::CylinderPrimitive;
    void Transform(const Matrix4x4& m) override {
        ++transforms;
        CylinderPrimitive::Transform(m);
    }
    int transforms = 0;
};

TEST(CylinderPrimitive, RotationsGoThroughTransformAndKeepTheRest) {
    const Point3d axis(1, 1, 0);
    const Point3d centre(0, 2, -1);
    CountingCylinder c(kP123, kColor, kP456, Color(9, 8, 7), 0.75, 5, 6, 8);
    c.SetIsCapped(false);
    c.Rotate(axis, 40.0);
    EXPECT_EQ(c.GetEnd1(), Matrix4x4(axis, 40.0).Transform(kP123));
    EXPECT_EQ(c.GetEnd2(), Matrix4x4(axis, 40.0).Transform(kP456));
    c.Rotate(axis, centre, -40.0);
    const Matrix4x4 back(axis, centre, -40.0);
    EXPECT_EQ(c.GetEnd1(), back.Transform(Matrix4x4(axis, 40.0).Transform(kP123)));
    EXPECT_EQ(c.transforms, 2);

    c.Translate(Point3d(1, 0, 0));
    EXPECT_EQ(c.transforms, 2) << "a translation is not a transform";
    EXPECT_EQ(c.GetRadius(), 0.75);
    EXPECT_EQ(c.GetColor1(), kColor);
    EXPECT_EQ(c.GetColor2(), Color(9, 8, 7));
    EXPECT_EQ(c.GetEnd1ID(), 6u);
    EXPECT_EQ(c.GetEnd2ID(), 8u);
    EXPECT_FALSE(c.GetIsCapped());

    CylinderPrimitive moved(kP123, kColor, kP456, kColor, 1.0, 1);
    moved.Translate(Point3d(-1, -2, -3));
    EXPECT_EQ(moved.GetEnd1(), Point3d(0, 0, 0));
    EXPECT_EQ(moved.GetEnd2(), Point3d(3, 3, 3));
}

TEST(SolidPrimitives, ArchiveFormsWithFloatPoints) {
    const SpherePrimitive sphere = ExpectGoldenBytes(WithLitPart(SpherePrimitive(kP123, 1.5, kColor, 7)),
                                                     Cat({kLit, kRgb, kF123, kRadius}), 7);
    EXPECT_EQ(sphere.GetRepresentation(), 2);
    EXPECT_EQ(sphere.GetColor().GetA(), 0) << "a loaded vertex colour is opaque";

    const Matrix4x4 m(1, 2, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    const Bytes one = {0, 0, 0, 0, 0, 0, 0xf0, 0x3f};
    const Bytes two = {0, 0, 0, 0, 0, 0, 0, 0x40};
    const Bytes zero(8, 0);
    ExpectGoldenBytes(WithLitPart(EllipsoidPrimitive(kP123, kP456, m, kColor, 7)),
                      Cat({kLit, kRgb, kF123, kF456,                 //
                           one, two, zero, zero, zero, one, zero, zero,  // rows 0 and 1
                           zero, zero, one, zero, zero, zero, zero, one}),
                      13);

    ExpectGoldenBytes(WithLitPart(CylinderPrimitive(kP123, kColor, kP456, Color(1, 2, 3, 4), 1.5, 7)),
                      Cat({kLit, kRgb, kF123, {1, 2, 3, 0}, kF456, kRadius}), 7);

    // The cone keeps the whole colour word, A included.
    const ConePrimitive cone = ExpectGoldenBytes(WithLitPart(ConePrimitive(kP123, kP456, kColor, 1.5, 7)),
                                                 Cat({kLit, kF123, kF456, kRgba, kRadius}), 7);
    EXPECT_EQ(cone.GetColor(), kColor);
}

TEST(SolidPrimitives, ArchiveFormsByVersion) {
    // Unset version: points as doubles, the representation read back.
    const SpherePrimitive sphere = WithLitPart(SpherePrimitive(kP123, 1.5, kColor, 7));
    EXPECT_EQ(ExpectGoldenBytes(sphere, Cat({kLit, kRgb, kD123, kRadius})).GetRepresentation(), 2);
    ExpectGoldenBytes(WithLitPart(ConePrimitive(kP123, kP123, kColor, 1.5, 7)),
                      Cat({kLit, kD123, kD123, kRgba, kRadius}));

    // Version 6 reads an old form without the representation word and keeps
    // the representation the object had; storing writes the word regardless.
    SpherePrimitive old;
    old.SetRepresentation(static_cast<LitPrimitive::Representation>(9));
    LoadBytes(old, Cat({kLitOld, kRgb, kD123, kRadius}), 6);
    EXPECT_EQ(old.GetID(), 7u);
    EXPECT_EQ(old.GetMaterial(), 1);
    EXPECT_EQ(old.GetRepresentation(), 9);
    EXPECT_EQ(old.GetCenter(), kP123);
    EXPECT_EQ(old.GetRadius(), 1.5);
    EXPECT_EQ(StoreBytes(old, 6).size(), 12u + 4u + 24u + 4u);
}

TEST(CylinderPrimitive, LoadKeepsEndIdsAndCappedFlag) {
    const Bytes form = StoreBytes(CylinderPrimitive(kP456, kColor, kP123, kColor, 2.0, 3), 7);
    CylinderPrimitive c(kP123, kColor, kP456, kColor, 1.0, 5, 6, 8);
    c.SetIsCapped(false);
    LoadBytes(c, form, 7);
    EXPECT_EQ(c.GetID(), 3u);
    EXPECT_EQ(c.GetEnd1(), kP456);
    EXPECT_EQ(c.GetRadius(), 2.0);
    EXPECT_EQ(c.GetEnd1ID(), 6u);
    EXPECT_EQ(c.GetEnd2ID(), 8u);
    EXPECT_FALSE(c.GetIsCapped());

    // A cut form throws and leaves the cylinder whole.
    Bytes cut(form.begin(), form.end() - 1);
    const CylinderPrimitive before = c;
    EXPECT_THROW(LoadBytes(c, cut, 7), CArchiveException);
    EXPECT_EQ(StoreBytes(c, 7), StoreBytes(before, 7));
}

static_assert(sizeof(SpherePrimitive) <= 56, "lit part, centre vertex, radius");
static_assert(sizeof(CylinderPrimitive) <= 88, "lit part, two vertices, radius, two IDs, flag");

}  // namespace
}  // namespace Tessary
