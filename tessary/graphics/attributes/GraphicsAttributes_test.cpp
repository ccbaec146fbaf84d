#include "tessary/graphics/attributes/GraphicsAttributes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

using test::Bytes;
using test::ExpectGoldenBytes;
using test::HexDump;
using test::LoadBytes;
using test::StoreBytes;

// Expected archive forms, put together from the field widths alone.
struct Form {
    Bytes bytes;
    Form& U8(unsigned char v) {
        bytes.push_back(v);
        return *this;
    }
    Form& U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) U8(static_cast<unsigned char>(v >> (8 * i)));
        return *this;
    }
    Form& F32(float v) {
        std::uint32_t u;
        std::memcpy(&u, &v, sizeof u);
        return U32(u);
    }
    Form& F64(double v) {
        std::uint64_t u;
        std::memcpy(&u, &v, sizeof u);
        return U32(static_cast<std::uint32_t>(u)).U32(static_cast<std::uint32_t>(u >> 32));
    }
    // Colour word, position (doubles when `wide`), enabled byte.
    Form& Light(std::uint32_t color, float x, float y, float z, bool wide, unsigned char enabled) {
        U32(color);
        for (float c : {x, y, z}) wide ? F64(c) : F32(c);
        return U8(enabled);
    }
};

// Light i of the sample: colour (10+i, 20, 30, 40), at (i, 2i, -1), every other one on.
LightSource SampleLight(int i) { return LightSource(Point3d(i, 2 * i, -1), Color(10 + i, 20, 30, 40), i % 2 == 1); }
Form& SampleLightRecord(Form& f, int i, bool wide) {
    return f.Light(0x281e140au + static_cast<std::uint32_t>(i), float(i), float(2 * i), -1.0f, wide,
                   static_cast<unsigned char>(i % 2));
}

GraphicsAttributes Sample() {
    GraphicsAttributes g;
    g.SetBkColor(Color(1, 2, 3, 4));
    for (int i = 0; i < 4; ++i) g.SetLight(i, SampleLight(i));
    g.SetViewSize(25.5);
    g.SetQuality(3);
    g.SetProjection(-7);
    g.SetFog(true);
    g.SetStereo(true);
    g.SetStereoAngle(4.25);
    g.SetPerspectiveAngle(30);
    g.SetLineWidth(2.5);
    g.SetFontScale(0.75);
    g.SetFastRender(false);
    g.SetStereoSeparationFactor(1.5);
    g.SetStereoSkewFactor(0.5);
    Matrix4x4 m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m(r, c) = 4 * r + c + 1;
    g.SetMatrix(m);
    g.SetZFarAdj(-0.25f);
    g.SetZNearAdj(0.125f);
    return g;
}

// The sample's form with `count` light records (records past the fourth
// repeat the pattern) and, in the records, doubles when `wide`.
Bytes SampleForm(std::int32_t count, bool wide, std::uint32_t fogWord = 1) {
    Form f;
    f.U32(0x04030201).U32(static_cast<std::uint32_t>(count));
    for (int i = 0; i < count; ++i) SampleLightRecord(f, i, wide);
    f.F32(25.5f).U32(3).U32(static_cast<std::uint32_t>(-7)).U32(fogWord).U32(1);
    f.F32(4.25f).F32(30.0f).F32(2.5f).F32(0.75f).U32(0).F32(1.5f).F32(0.5f);
    for (int v = 1; v <= 16; ++v) f.F64(v);
    f.F32(-0.25f).F32(0.125f);
    return f.bytes;
}

// Matrices have no ==; compare element by element.
bool SameMatrix(const Matrix4x4& a, const Matrix4x4& b) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (a(r, c) != b(r, c)) return false;
    return true;
}

void ExpectSameLight(const LightSource& a, const LightSource& b) {
    EXPECT_EQ(a.GetPosition(), b.GetPosition());
    EXPECT_EQ(a.GetColor(), b.GetColor());
    EXPECT_EQ(a.GetEnabled(), b.GetEnabled());
}

TEST(GraphicsAttributes, Defaults) {
    const GraphicsAttributes g;
    EXPECT_EQ(g.GetViewSize(), 18.0);
    EXPECT_EQ(g.GetQuality(), 0);
    EXPECT_EQ(g.GetProjection(), 0);
    EXPECT_EQ(g.GetPerspectiveAngle(), 45.0);
    EXPECT_EQ(g.GetStereoAngle(), 3.5);
    EXPECT_EQ(g.GetStereoSeparationFactor(), 1.0);
    EXPECT_EQ(g.GetStereoSkewFactor(), 1.0);
    EXPECT_EQ(g.GetLineWidth(), static_cast<double>(1.6f));
    EXPECT_NE(g.GetLineWidth(), 1.6);
    EXPECT_EQ(g.GetFontScale(), 1.0);
    EXPECT_TRUE(g.GetFastRender());
    EXPECT_FALSE(g.GetFog());
    EXPECT_FALSE(g.GetStereo());
    EXPECT_EQ(g.GetBkColor(), Color(0, 0, 0, 0));
    EXPECT_EQ(g.GetZFarAdj(), 0.0f);
    EXPECT_EQ(g.GetZNearAdj(), 0.0f);
    EXPECT_TRUE(SameMatrix(g.GetMatrix(), Matrix4x4()));
    for (int i : {-1, 0, 1, 2, 3, 4}) {
        const LightSource light = g.GetLight(i);
        EXPECT_EQ(light.GetPosition(), Point3d(0, 0, 1)) << i;
        EXPECT_EQ(light.GetColor(), Color(255, 255, 255, 0)) << i;
        EXPECT_FALSE(light.GetEnabled()) << i;
    }
}

TEST(GraphicsAttributes, SettersNarrowToFloatAndLightsStayInRange) {
    GraphicsAttributes g = Sample();
    g.SetViewSize(0.1);
    EXPECT_EQ(g.GetViewSize(), static_cast<double>(0.1f));
    ExpectSameLight(g.GetLight(2), SampleLight(2));
    ExpectSameLight(g.GetLight(4), LightSource());
    ExpectSameLight(g.GetLight(-1), LightSource());

    const Bytes before = StoreBytes(g, 7);
    g.SetLight(4, SampleLight(9));
    g.SetLight(-1, SampleLight(9));
    EXPECT_EQ(StoreBytes(g, 7), before) << "lights outside 0..3 are ignored";

    GraphicsAttributes copy(g);
    EXPECT_EQ(StoreBytes(copy, 7), before);
    copy = *&copy;
    EXPECT_EQ(StoreBytes(copy, 7), before) << "assignment to itself";
    GraphicsAttributes assigned;
    assigned = copy;
    EXPECT_EQ(StoreBytes(assigned, 7), before);
}

TEST(LightSource, ArchiveByVersion) {
    const LightSource light(Point3d(1, 2, 3), Color(0x11, 0x22, 0x33, 0x44), true);
    const Bytes narrow = Form().Light(0x44332211, 1, 2, 3, false, 1).bytes;
    const Bytes wide = Form().Light(0x44332211, 1, 2, 3, true, 1).bytes;
    for (std::uint32_t schema : {7u, 13u}) ExpectSameLight(ExpectGoldenBytes(light, narrow, schema), light);
    ExpectSameLight(ExpectGoldenBytes(light, wide, kUnsetSchema), light);

    // Version 6 writes the whole light but reads none of it.
    EXPECT_EQ(StoreBytes(light, 6), wide);
    LightSource old;
    LoadBytes(old, wide, 6);
    ExpectSameLight(old, LightSource());

    // Any non-zero byte is enabled.
    Bytes seven = narrow;
    seven.back() = 7;
    LightSource loaded;
    LoadBytes(loaded, seven, 7);
    EXPECT_TRUE(loaded.GetEnabled());
}

TEST(GraphicsAttributes, ArchiveByVersion) {
    const GraphicsAttributes g = Sample();
    ASSERT_EQ(SampleForm(4, false).size(), 4u + 4 + 4 * 17 + 12 * 4 + 128 + 8);
    for (std::uint32_t schema : {7u, 13u}) {
        const GraphicsAttributes loaded = ExpectGoldenBytes(g, SampleForm(4, false), schema);
        ExpectSameLight(loaded.GetLight(3), SampleLight(3));
        EXPECT_TRUE(SameMatrix(loaded.GetMatrix(), g.GetMatrix()));
        EXPECT_EQ(loaded.GetZNearAdj(), 0.125f);
    }
    ExpectGoldenBytes(g, SampleForm(4, true), kUnsetSchema);

    // Version 6 writes everything and reads the background colour only.
    EXPECT_EQ(StoreBytes(g, 6), SampleForm(4, true));
    GraphicsAttributes old;
    LoadBytes(old, SampleForm(4, true), 6);
    GraphicsAttributes expected;
    expected.SetBkColor(Color(1, 2, 3, 4));
    EXPECT_EQ(HexDump(StoreBytes(old, 7)), HexDump(StoreBytes(expected, 7)));
}

TEST(GraphicsAttributes, LightCountOtherThanFour) {
    const GraphicsAttributes g = Sample();
    // Six records: the first four are kept, the last two stepped over.
    GraphicsAttributes six;
    LoadBytes(six, SampleForm(6, false), 7);
    EXPECT_EQ(HexDump(StoreBytes(six, 7)), HexDump(StoreBytes(g, 7)));

    // Two records change lights 0 and 1 only.
    GraphicsAttributes two;
    const LightSource kept(Point3d(5, 5, 5), Color::Red(), true);
    for (int i = 0; i < 4; ++i) two.SetLight(i, kept);
    LoadBytes(two, SampleForm(2, false), 7);
    ExpectSameLight(two.GetLight(0), SampleLight(0));
    ExpectSameLight(two.GetLight(1), SampleLight(1));
    ExpectSameLight(two.GetLight(2), kept);
    ExpectSameLight(two.GetLight(3), kept);
    EXPECT_EQ(two.GetViewSize(), 25.5);
}

TEST(GraphicsAttributes, FlagWordsStoreBackAsRead) {
    GraphicsAttributes g;
    const Bytes form = SampleForm(4, false, 5);
    LoadBytes(g, form, 7);
    EXPECT_TRUE(g.GetFog());
    EXPECT_EQ(StoreBytes(g, 7), form);
    g.SetFog(true);
    EXPECT_EQ(StoreBytes(g, 7), SampleForm(4, false));
}

TEST(GraphicsAttributes, LoadThatThrowsLeavesTheObjectAsItWas) {
    auto withCount = [](std::uint32_t count) {
        Bytes b = SampleForm(4, false);
        for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<unsigned char>(count >> (8 * i));
        return b;
    };
    Bytes cut = SampleForm(4, false);
    cut.pop_back();
    const struct {
        const char* name;
        Bytes bytes;
        CArchiveException::Cause cause;
    } cases[] = {
        {"negative count", withCount(0xFFFFFFFFu), CArchiveException::badCount},
        {"count beyond the input", withCount(1000), CArchiveException::badCount},
        {"cut short", cut, CArchiveException::endOfFile},
    };
    for (const auto& c : cases) {
        GraphicsAttributes g;
        g.SetQuality(11);
        const Bytes before = StoreBytes(g, 7);
        try {
            LoadBytes(g, c.bytes, 7);
            ADD_FAILURE() << c.name << ": no throw";
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.m_cause, c.cause) << c.name;
        }
        EXPECT_EQ(StoreBytes(g, 7), before) << c.name;
    }
}

}  // namespace
}  // namespace Tessary
