#include "tessary/graphics/primitives/OverlayText.h"

#include <gtest/gtest.h>

#include "tests/support/ArchiveBytes.h"
#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

using namespace test;  // golden-bytes helpers

const Color kFore(1, 2, 3, 4), kBack(5, 6, 7, 8);
// ID 9, origin (1, 2), outlined, width 3, not filled, not stippled, pattern 4.
const Bytes kShapeForm = Cat({Raw<std::uint32_t>({9}), Raw<double>({1, 2}), Raw<unsigned char>({1, 2, 3, 4, 5, 6, 7, 8}),
                              Raw<std::int32_t>({1, 3, 0, 0, 4})});

TextCalloutPrimitive Callout() {
    TextCalloutPrimitive callout(Point3d(1, 2, 3), 2.5f, true, "Hi", Font("Courier", 14), Point2d(1, 2), true, kFore,
                                 3, false, kBack, 9);
    callout.SetCursorPosition(2);
    callout.SetShowCursor(true);
    callout.SetLocation2d(Point2d(7, 8));
    return callout;
}

TEST(OverlayText, DefaultsAndCalloutTransform) {
    const TextBoxPrimitive box(4);
    EXPECT_EQ(box.GetFont(), Font::DefaultFont());
    EXPECT_TRUE(box.GetTextString().IsEmpty());
    EXPECT_EQ(box.GetCursorPosition(), 0);
    EXPECT_FALSE(box.GetShowCursor() || box.GetShowHandles());
    EXPECT_EQ(box.GetBoxWidth(), 0.0f);
    EXPECT_EQ(box.GetID(), 4u);
    EXPECT_EQ(TextCalloutPrimitive(1.5f, true, "x", Font(), Point2d(), true, kFore, 1, false, kBack, 0).GetLocation(),
              Point3d(0, 0, 0));

    TextCalloutPrimitive callout = Callout();
    Matrix4x4 shift(Matrix4x4::IdentityMatrix);
    shift.SetTranslation(Point3d(10, 0, -1));
    callout.Transform(shift);
    EXPECT_EQ(callout.GetLocation(), Point3d(11, 2, 2));
    EXPECT_EQ(callout.GetLocation2d(), Point2d(7, 8));
    EXPECT_EQ(callout.GetOrigin(), Point2d(1, 2));
}

TEST(OverlayText, FormsNestTextBoxAndCallout) {
    const Bytes text = Cat({kShapeForm, ShortStringBytes("Hi"), ShortStringBytes("Courier"),
                            Raw<std::int32_t>({14, 2, 1})});
    const Bytes box = Cat({text, Raw<float>({2.5f}), Raw<std::int32_t>({1})});
    const TextCalloutPrimitive callout = Callout();
    ExpectGoldenBytesThroughBase<UnlitShapePrimitive>(TextStringPrimitive(callout), text);
    ExpectGoldenBytesThroughBase<TextStringPrimitive>(TextBoxPrimitive(callout), box);
    for (bool floats : {true, false}) {
        const TextCalloutPrimitive loaded = ExpectGoldenBytesThroughBase<UnlitShapePrimitive>(
            callout, Cat({box, PointBytes(Point3d(1, 2, 3), floats), Raw<double>({7, 8})}), floats ? 10 : kUnsetSchema);
        EXPECT_EQ(loaded.GetFont(), Font("Courier", 14));
        EXPECT_TRUE(loaded.GetShowCursor() && loaded.GetShowHandles());
        EXPECT_EQ(loaded.GetLocation2d(), Point2d(7, 8));
    }
    // Storing writes the face as a string whatever the schema.
    EXPECT_EQ(HexDump(StoreBytes(TextStringPrimitive(callout), 9)), HexDump(text));
}

TEST(OverlayText, OldSchemasNameTheFaceByNumber) {
    struct Case {
        std::int32_t number, cursorWord;
        const char* face;
        bool shown;
    };
    for (const Case& c : {Case{1, 1, "Arial", true}, Case{2, 0, "Times New Roman", false},
                          Case{3, 2, "Courier New", false}, Case{4, -1, "Kept", false}, Case{0, 1, "Kept", true}}) {
        const Bytes form = Cat({kShapeForm, ShortStringBytes("Hi"), Raw<std::int32_t>({c.number, 20, 5, c.cursorWord})});
        TextStringPrimitive text;
        text.SetFont(Font("Kept", 8));
        LoadBytes(text, form, 9);
        EXPECT_EQ(text.GetFont(), Font(c.face, 20)) << c.number;
        EXPECT_EQ(text.GetShowCursor(), c.shown) << c.cursorWord;
        EXPECT_EQ(text.GetCursorPosition(), 5);
    }
    // A show-handles word of 2 is not 1.
    Bytes box = Cat({StoreBytes(TextStringPrimitive()), Raw<float>({1}), Raw<std::int32_t>({2})});
    TextBoxPrimitive loaded;
    loaded.SetShowHandles(true);
    LoadBytes(loaded, box);
    EXPECT_FALSE(loaded.GetShowHandles());
    EXPECT_EQ(loaded.GetBoxWidth(), 1.0f);
}

}  // namespace
}  // namespace Tessary
