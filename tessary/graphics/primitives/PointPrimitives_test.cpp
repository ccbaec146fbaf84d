#include "tessary/graphics/primitives/PointPrimitives.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/ArchiveBytes.h"
#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

using namespace test;  // golden-bytes helpers

const Point3d kP123(1, 2, 3);
const Color kColor(0x11, 0x22, 0x33, 0x44);
const Bytes kRgb = {0x11, 0x22, 0x33, 0x00};

// A short archive string: its one-byte length, then its bytes.
Bytes Str(const std::string& s) {
    return Cat({Bytes{static_cast<unsigned char>(s.size())}, Bytes(s.begin(), s.end())});
}
Bytes Word(std::int32_t w) { return Raw<std::int32_t>({w}); }

TEST(PointPrimitives, ConstructorDefaults) {
    EXPECT_EQ(DotPrimitive().GetWidth(), 1);
    const Text3DPrimitive plain("C1", kP123, kColor, 9);
    EXPECT_EQ(plain.GetFont(), Font::DefaultFont());
    EXPECT_EQ(plain.GetZOffset(), 0.0);
    EXPECT_FALSE(Text3DPrimitive("N2", kP123, 0.5, kColor, Font("Courier New", 9), 9).GetIsAnnotation());
    Text3DPrimitive none;
    none.SetText(nullptr);
    EXPECT_STREQ(none.GetText(), "");

    // Both icon constructors take the rotation flag before the scale flag.
    const IconPrimitive untinted(kP123, 5, true, false, 9);
    const IconPrimitive tinted(kP123, 5, false, true, kColor, 9);
    EXPECT_TRUE(untinted.GetRotationInvariant() && !untinted.GetScaleInvariant());
    EXPECT_TRUE(!tinted.GetRotationInvariant() && tinted.GetScaleInvariant());
    EXPECT_FALSE(untinted.GetUseColor());
    EXPECT_TRUE(tinted.GetUseColor());
    EXPECT_EQ(untinted.GetIconScale(), 1.0);
    EXPECT_EQ(tinted.GetIconScale(), 1.0);
}

TEST(PointPrimitives, TransformMovesThePointOnly) {
    Matrix4x4 m(Axis::z, 90.0);
    m(3, 2) = 1.0;  // then up by 1
    DotPrimitive dot(kP123, kColor, 3, 9);
    Text3DPrimitive text("O", kP123, 0.25, kColor, Font::DefaultBigFont(), 9);
    IconPrimitive icon(kP123, 5, true, true, kColor, 9);
    icon.SetIconScale(2.0);
    for (UnlitPointPrimitive* p : {static_cast<UnlitPointPrimitive*>(&dot), static_cast<UnlitPointPrimitive*>(&text),
                                   static_cast<UnlitPointPrimitive*>(&icon)}) {
        p->Transform(m);
        EXPECT_EQ(p->GetCoord(), m.Transform(kP123));
        EXPECT_EQ(p->GetColor(), kColor);
    }
    EXPECT_EQ(text.GetZOffset(), 0.25);
    EXPECT_EQ(icon.GetIconScale(), 2.0);
}

TEST(PointPrimitives, PointDotAndIconForms) {
    const Bytes point7 = Cat({Word(9), kRgb, PointBytes(kP123, true)});
    EXPECT_EQ(ExpectGoldenBytes(UnlitPointPrimitive(kP123, kColor, 9), point7, 7).GetColor().GetA(), 0);
    ExpectGoldenBytes(DotPrimitive(kP123, kColor, 4, 9), Cat({Word(9), kRgb, PointBytes(kP123, false), Word(4)}));

    // The flags go rotation, scale, use colour, whatever order they lie in.
    IconPrimitive icon(kP123, 5, true, false, kColor, 9);
    icon.SetIconScale(1.5);
    const Bytes iconForm = Cat({point7, Word(5), Word(1), Word(0), Word(1), Raw<double>({1.5})});
    ExpectGoldenBytes(icon, iconForm, 7);
    IconPrimitive loaded;
    LoadBytes(loaded, Cat({point7, Word(5), Word(0), Word(-3), Word(0), Raw<double>({1.5})}), 7);
    EXPECT_FALSE(loaded.GetRotationInvariant());
    EXPECT_TRUE(loaded.GetScaleInvariant()) << "a non-zero word is true";
    EXPECT_FALSE(loaded.GetUseColor());
}

// An icon kind of a host, with a word of its own after the icon's form.
struct TaggedIcon : IconPrimitive {
    using IconPrimitive::IconPrimitive;
    void Serialize(CArchive& ar) override {
        IconPrimitive::Serialize(ar);
        ArchiveFields(ar, tag);
    }
    std::int32_t tag = 0x5A5A5A5A;
};

TEST(IconPrimitive, SerializeDispatchesThroughTheIconBase) {
    TaggedIcon tagged(kP123, 5, false, false, 9);
    Bytes bytes;
    {
        CArchive ar(bytes, CArchive::store);
        ar.SetObjectSchema(7);
        static_cast<IconPrimitive&>(tagged).Serialize(ar);
    }
    const Bytes form = Cat({Word(9), {0, 0, 0, 0}, PointBytes(kP123, true), Word(5), Word(0), Word(0), Word(0),
                            Raw<double>({1.0}), Word(0x5A5A5A5A)});
    EXPECT_EQ(HexDump(bytes), HexDump(form));

    TaggedIcon back;
    back.tag = 0;
    CArchive ar(bytes, CArchive::load);
    ar.SetObjectSchema(7);
    static_cast<IconPrimitive&>(back).Serialize(ar);
    EXPECT_EQ(back.tag, 0x5A5A5A5A);
}

TEST(Text3DPrimitive, CurrentFormFromVersionEleven) {
    Text3DPrimitive text("CA", kP123, 0.5, kColor, Font("Times New Roman", 14), 9);
    text.SetIsAnnotation(true);
    const Bytes tail = Cat({Str("CA"), Str("Times New Roman"), Word(14), Raw<double>({0.5}), Word(1)});
    const Text3DPrimitive loaded =
        ExpectGoldenBytes(text, Cat({Word(9), kRgb, PointBytes(kP123, true), tail}), 11);
    EXPECT_TRUE(loaded.GetIsAnnotation());
    ExpectGoldenBytes(text, Cat({Word(9), kRgb, PointBytes(kP123, false), tail}));
}

TEST(Text3DPrimitive, OldFormsUpToVersionTen) {
    Text3DPrimitive text("CA", kP123, 0.5, kColor, Font("Courier New", 14), 9);
    const auto oldForm = [](const Bytes& face, const Point3d& at, bool floats) {
        return Cat({Word(9), kRgb, Str("CA"), face, Word(14), PointBytes(at, floats), Raw<double>({0.5}), Word(0)});
    };
    // Version 10: the face is a string; points are floats from 7 on, doubles before.
    EXPECT_EQ(ExpectGoldenBytes(text, oldForm(Str("Courier New"), kP123, true), 10).GetFont(),
              Font("Courier New", 14));
    EXPECT_EQ(HexDump(StoreBytes(text, 6)), HexDump(oldForm(Str("Courier New"), kP123, false)));
    EXPECT_EQ(HexDump(StoreBytes(text, 9)), HexDump(oldForm(Str("Courier New"), kP123, true)))
        << "storing writes the face as a string under any old version";

    // Version 9 and below read a font number.
    struct Case {
        std::int32_t number;
        const char* face;
    };
    const Case cases[] = {{1, "Arial"}, {2, "Times New Roman"}, {3, "Courier New"}, {7, "Symbol"}, {0, "Symbol"}};
    for (const Case& c : cases) {
        Text3DPrimitive loaded("x", Point3d(0, 0, 0), 0.0, Color(), Font("Symbol", 8), 1);
        LoadBytes(loaded, oldForm(Word(c.number), kP123, true), 9);
        EXPECT_EQ(loaded.GetFont(), Font(c.face, 14)) << c.number;
        EXPECT_EQ(loaded.GetPosition(), kP123);
    }

    // The old form loads the colour word whole.
    Bytes withAlpha = oldForm(Str("Arial"), kP123, true);
    withAlpha[7] = 0x44;
    Text3DPrimitive loaded;
    LoadBytes(loaded, withAlpha, 10);
    EXPECT_EQ(loaded.GetColor(), kColor);

    // A cut form throws and changes nothing.
    const Bytes before = StoreBytes(text);
    withAlpha.pop_back();
    EXPECT_THROW(LoadBytes(text, withAlpha, 10), CArchiveException);
    EXPECT_EQ(StoreBytes(text), before);
}

}  // namespace
}  // namespace Tessary
