#include "tessary/graphics/attributes/GraphicsAttributes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

using test::Bytes;
using test::ExpectGoldenBytes;
using test::HexDump;
using test::LoadBytes;
using test::StoreBytes;

// Expected forms from the field widths alone: each value's little-endian image, back to back.
template <class... T>
Bytes Form(T... values) {
    Bytes b;
    auto put = [&b](auto v) {
        using Word = std::conditional_t<sizeof v == 4, std::uint32_t, std::uint8_t>;
        using U = std::conditional_t<sizeof v == 8, std::uint64_t, Word>;
        U u;
        std::memcpy(&u, &v, sizeof u);
        for (std::size_t i = 0; i < sizeof u; ++i) b.push_back(static_cast<unsigned char>(u >> (8 * i)));
    };
    (put(values), ...);
    return b;
}
void Append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }

// Sample light i: colour (10+i, 20, 30, 40) at (i, 2i, -1), every other one on.
LightSource SampleLight(int i) { return LightSource(Point3d(i, 2 * i, -1), Color(10 + i, 20, 30, 40), i % 2 == 1); }
Bytes SampleLightForm(int i, bool wide) {
    const std::uint8_t on = i % 2;
    const std::uint32_t color = 0x281e140au + static_cast<std::uint32_t>(i);
    return wide ? Form(color, double(i), double(2 * i), -1.0, on) : Form(color, float(i), float(2 * i), -1.0f, on);
}

GraphicsAttributes Sample() {
    GraphicsAttributes g;
    g.SetBkColor(Color(1, 2, 3, 4));
    for (int i = 0; i < 4; ++i) g.SetLight(i, SampleLight(i));
    g.SetViewSize(25.5), g.SetQuality(3), g.SetProjection(-7), g.SetFog(true), g.SetStereo(true);
    g.SetStereoAngle(4.25), g.SetPerspectiveAngle(30), g.SetLineWidth(2.5), g.SetFontScale(0.75);
    g.SetFastRender(false), g.SetStereoSeparationFactor(1.5), g.SetStereoSkewFactor(0.5);
    Matrix4x4 m;
    for (int k = 0; k < 16; ++k) m(k / 4, k % 4) = k + 1;
    g.SetMatrix(m), g.SetZFarAdj(-0.25f), g.SetZNearAdj(0.125f);
    return g;
}
// The sample's form with `count` light records (doubles in them when `wide`).
Bytes SampleForm(std::int32_t count, bool wide, std::int32_t fogWord = 1) {
    Bytes b = Form(0x04030201u, count);
    for (int i = 0; i < count; ++i) Append(b, SampleLightForm(i, wide));
    Append(b, Form(25.5f, 3, -7, fogWord, 1, 4.25f, 30.0f, 2.5f, 0.75f, 0, 1.5f, 0.5f));
    for (int v = 1; v <= 16; ++v) Append(b, Form(double(v)));
    Append(b, Form(-0.25f, 0.125f));
    return b;
}

void ExpectSameLight(const LightSource& a, const LightSource& b) { EXPECT_EQ(StoreBytes(a, 7), StoreBytes(b, 7)); }

TEST(GraphicsAttributes, DefaultsAndLightIndices) {
    Bytes defaults = Form(0u, 4);
    for (int i = 0; i < 4; ++i) Append(defaults, Form(0x00ffffffu, 0.0f, 0.0f, 1.0f, std::uint8_t{0}));
    Append(defaults, Form(18.0f, 0, 0, 0, 0, 3.5f, 45.0f, 1.6f, 1.0f, 1, 1.0f, 1.0f));
    for (int v = 0; v < 16; ++v) Append(defaults, Form(0.0));
    Append(defaults, Form(0.0f, 0.0f));
    GraphicsAttributes g = ExpectGoldenBytes(GraphicsAttributes(), defaults, 7, Sample());
    EXPECT_EQ(g.GetLineWidth(), static_cast<double>(1.6f)) << "float storage behind a double interface";

    g = Sample();
    for (int i : {-1, 4}) ExpectSameLight(g.GetLight(i), LightSource());
    const Bytes before = StoreBytes(g, 7);
    g.SetLight(-1, LightSource()), g.SetLight(4, LightSource());
    g = *&g;
    EXPECT_EQ(StoreBytes(g, 7), before) << "out-of-range lights and self-assignment change nothing";
}

TEST(LightSource, ArchiveByVersion) {
    const LightSource light(Point3d(1, 2, 3), Color(0x11, 0x22, 0x33, 0x44), true);
    const Bytes narrow = Form(0x44332211u, 1.0f, 2.0f, 3.0f, std::uint8_t{1});
    const Bytes wide = Form(0x44332211u, 1.0, 2.0, 3.0, std::uint8_t{1});
    for (std::uint32_t schema : {7u, 13u}) ExpectSameLight(ExpectGoldenBytes(light, narrow, schema), light);
    ExpectSameLight(ExpectGoldenBytes(light, wide, kUnsetSchema), light);

    EXPECT_EQ(StoreBytes(light, 6), wide) << "version 6 writes everything";
    LightSource old;
    LoadBytes(old, wide, 6);
    ExpectSameLight(old, LightSource());  // ... and reads nothing

    Bytes seven = narrow;
    seven.back() = 7;
    LoadBytes(old, seven, 7);
    EXPECT_TRUE(old.GetEnabled());
}

TEST(GraphicsAttributes, ArchiveByVersion) {
    for (std::uint32_t schema : {7u, 13u}) {
        const GraphicsAttributes g = ExpectGoldenBytes(Sample(), SampleForm(4, false), schema);
        const double got[] = {g.GetViewSize(), g.GetStereoAngle(), g.GetPerspectiveAngle(), g.GetLineWidth(),
                              g.GetFontScale(), g.GetStereoSeparationFactor(), g.GetStereoSkewFactor(),
                              g.GetZFarAdj(), g.GetZNearAdj(), g.GetMatrix()(3, 2)};
        const double want[] = {25.5, 4.25, 30, 2.5, 0.75, 1.5, 0.5, -0.25, 0.125, 15};
        for (int k = 0; k < 10; ++k) EXPECT_EQ(got[k], want[k]) << k;
        EXPECT_TRUE(g.GetFog() && g.GetStereo() && !g.GetFastRender());
        EXPECT_EQ(g.GetQuality() * 100 + g.GetProjection(), 293);
        EXPECT_EQ(g.GetBkColor(), Color(1, 2, 3, 4));
        ExpectSameLight(g.GetLight(3), SampleLight(3));
    }
    ExpectGoldenBytes(Sample(), SampleForm(4, true), kUnsetSchema);

    EXPECT_EQ(StoreBytes(Sample(), 6), SampleForm(4, true)) << "version 6 writes everything";
    GraphicsAttributes old, expected;
    LoadBytes(old, SampleForm(4, true), 6);
    expected.SetBkColor(Color(1, 2, 3, 4));
    EXPECT_EQ(HexDump(StoreBytes(old, 7)), HexDump(StoreBytes(expected, 7))) << "... and reads the colour only";
}

TEST(GraphicsAttributes, LightCountsAndFlagWords) {
    GraphicsAttributes six;
    LoadBytes(six, SampleForm(6, false), 7);
    EXPECT_EQ(HexDump(StoreBytes(six, 7)), HexDump(SampleForm(4, false))) << "records past the fourth skipped";

    GraphicsAttributes two;
    const LightSource kept(Point3d(5, 5, 5), Color::Red(), true);
    for (int i = 0; i < 4; ++i) two.SetLight(i, kept);
    LoadBytes(two, SampleForm(2, false), 7);
    for (int i = 0; i < 4; ++i) ExpectSameLight(two.GetLight(i), i < 2 ? SampleLight(i) : kept);

    // A flag word other than 0 or 1 reads as true and is stored back as read.
    GraphicsAttributes fog;
    LoadBytes(fog, SampleForm(4, false, 5), 7);
    EXPECT_TRUE(fog.GetFog());
    EXPECT_EQ(StoreBytes(fog, 7), SampleForm(4, false, 5));
}

TEST(GraphicsAttributes, LoadThatThrowsLeavesTheObjectAsItWas) {
    Bytes cut = SampleForm(4, false), negative = SampleForm(-1, false), tooMany = SampleForm(4, false);
    cut.pop_back();
    tooMany[5] = 0x10;  // 4100 records: refused before any is read
    const std::pair<Bytes, CArchiveException::Cause> cases[] = {
        {negative, CArchiveException::badCount},
        {tooMany, CArchiveException::badCount},
        {cut, CArchiveException::endOfFile}};
    for (const auto& [bytes, cause] : cases) {
        GraphicsAttributes g = Sample();
        try {
            LoadBytes(g, bytes, 7);
            ADD_FAILURE() << "no throw";
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.m_cause, cause);
        }
        EXPECT_EQ(StoreBytes(g, 7), SampleForm(4, false));
    }
}

}  // namespace
}  // namespace Tessary
