#include "tessary/graphics/primitives/VolumePrimitive.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>

#include "tests/support/ArchiveBytes.h"
#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

using namespace test;  // golden-bytes helpers

NComponentVolume<float> Grid() { return NComponentVolume<float>(Point3d(0, 0, 0), Point3d(1, 2, 3), {2, 3, 4}, Point3d(0.5, 1, 1)); }

TEST(VolumePrimitive, DefaultsAndCopiesShareTheHostsGrid) {
    const VolumePrimitive v;
    EXPECT_EQ(v.GetVolume(), nullptr);
    ASSERT_EQ(v.GetColors().GetSize(), 2);
    EXPECT_EQ(v.GetColors()[0], Color::Blue());
    EXPECT_EQ(v.GetColors()[1], Color::Red());
    ASSERT_EQ(v.GetTransferFunction().GetSize(), 2);
    EXPECT_TRUE(v.GetTransferFunction()[0] && v.GetTransferFunction()[1]);
    EXPECT_EQ(v.GetTransparency(), 0.3f);
    EXPECT_FALSE(v.GetClipOutsideRange());
    EXPECT_EQ(v.GetDataMin() + v.GetDataMax() + v.GetDisplayMin() + v.GetDisplayMax(), 0.0f);

    NComponentVolume<float> grid = Grid();
    grid.At(1, 2, 3) = 7.0f;
    VolumePrimitive held(&grid, -1, 1, -0.5f, 0.5f, true, ColorArray::Rainbow1(), 0.25f, BoolArray(), 9);
    {
        auto copy = std::make_unique<VolumePrimitive>(held);
        EXPECT_EQ(copy->GetVolume(), &grid);
        copy->Transform(Matrix4x4(Axis::x, 90.0));
        EXPECT_EQ(copy->GetVolume(), &grid) << "Transform changes nothing";
        EXPECT_EQ(copy->GetDisplayMin(), -0.5f);
        EXPECT_EQ(copy->GetColors().GetName(), CString("Rainbow 1"));
    }
    EXPECT_EQ(held.GetVolume()->At(1, 2, 3), 7.0f) << "a copy going away leaves the grid alone";
    const VolumePrimitive& alias = held;
    held = alias;
    EXPECT_EQ(held.GetColors().GetSize(), 4);
}

TEST(VolumePrimitive, GridLaysOutXFastestComponentsInnermost) {
    NComponentVolume<float> grid(Point3d(), Point3d(1, 1, 1), {2, 3, 4}, Point3d(1, 1, 1), 2);
    ASSERT_EQ(grid.GetSamples().size(), 2u * 3 * 4 * 2);
    grid.At(1, 2, 3, 1) = 5.0f;
    grid.At(1, 0, 0, 0) = 6.0f;
    EXPECT_EQ(grid.GetSamples().back(), 5.0f);
    EXPECT_EQ(grid.GetSamples()[2], 6.0f);
    grid.SetPointCounts({-1, 3, 4});
    EXPECT_EQ(grid.GetPointCounts()[0], 0);
    EXPECT_TRUE(grid.GetSamples().empty());
    EXPECT_EQ(grid.GetCellAngles(), Point3d(90, 90, 90));
}

// A sample count that wraps around or passes the limit is refused before
// anything changes, so At() can never index past the samples.
TEST(VolumePrimitive, GridRefusesSampleCountsItCannotHold) {
    using Grid3 = NComponentVolume<float>;
    struct Case {
        const char* name;
        std::function<void(Grid3&)> change;
    };
    const Case cases[] = {
        {"2^21 x 2^21 x 2^22 wraps to 0", [](Grid3& g) { g.SetPointCounts({1 << 21, 1 << 21, 1 << 22}); }},
        {"largest counts", [](Grid3& g) { g.SetPointCounts({INT32_MAX, INT32_MAX, INT32_MAX}); }},
        {"just past the limit", [](Grid3& g) { g.SetPointCounts({(1 << 15) + 1, 1 << 15, 1}); }},
        {"components times points", [](Grid3& g) { g.SetComponents(INT32_MAX); }},
        {"counts times components", [](Grid3& g) { g.SetPointCounts({1 << 20, 1 << 10, 3}); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Grid3 grid(Point3d(), Point3d(1, 1, 1), {2, 3, 4}, Point3d(1, 1, 1), 2);
        grid.At(1, 2, 3, 1) = 5.0f;
        EXPECT_THROW(c.change(grid), std::length_error);
        EXPECT_EQ(grid.GetPointCounts(), (Grid3::Counts{2, 3, 4}));
        EXPECT_EQ(grid.GetComponents(), 2);
        ASSERT_EQ(grid.GetSamples().size(), 2u * 3 * 4 * 2);
        EXPECT_EQ(grid.At(1, 2, 3, 1), 5.0f);
    }
    EXPECT_THROW(Grid3(Point3d(), Point3d(), {1 << 21, 1 << 21, 1 << 22}, Point3d(1, 1, 1)), std::length_error);
    // Counts of zero make any product fit.
    Grid3 flat(Point3d(), Point3d(), {0, INT32_MAX, INT32_MAX}, Point3d(1, 1, 1), INT32_MAX);
    EXPECT_TRUE(flat.GetSamples().empty());
}

TEST(VolumePrimitive, ArchiveFormDropsTheGridAndTheRampName) {
    NComponentVolume<float> grid = Grid();
    ColorArray colors("Mine");
    colors.Add(Color(1, 2, 3, 4));
    colors.Add(Color(5, 6, 7, 8));
    BoolArray transfer;
    transfer.Add(false);
    transfer.Add(true);
    transfer.Add(true);
    const VolumePrimitive v(&grid, 1, 2, 3, 4, true, colors, 0.5f, transfer, 0x01020304);
    const Bytes form = Cat({Raw<std::uint32_t>({0x01020304}), Raw<float>({1, 2, 3, 4}), Raw<std::int32_t>({1, 2}),
                            Raw<unsigned char>({1, 2, 3, 4, 5, 6, 7, 8}), Raw<float>({0.5f}),
                            Raw<std::int32_t>({3, 0, 1, 1})});
    VolumePrimitive target;
    target.SetVolume(&grid);
    target.GetColors().SetName("Kept");
    const VolumePrimitive loaded = ExpectGoldenBytes(v, form, kUnsetSchema, target);
    EXPECT_EQ(loaded.GetVolume(), nullptr) << "the host reattaches its grid";
    EXPECT_EQ(loaded.GetColors().GetName(), CString("Kept"));
    EXPECT_EQ(loaded.GetColors()[1], Color(5, 6, 7, 8)) << "A survives";
    EXPECT_TRUE(loaded.GetClipOutsideRange());

    // 256 of each into a default volume; any non-zero entry word is true.
    VolumePrimitive big;
    big.GetColors().SetSize(256);
    big.GetTransferFunction().SetSize(256);
    Bytes bigForm = StoreBytes(big);
    bigForm[bigForm.size() - 4] = 2;
    VolumePrimitive back;
    LoadBytes(back, bigForm);
    EXPECT_EQ(back.GetColors().GetSize(), 256);
    ASSERT_EQ(back.GetTransferFunction().GetSize(), 256);
    EXPECT_TRUE(back.GetTransferFunction()[255]);
    EXPECT_FALSE(back.GetTransferFunction()[254]);
}

TEST(VolumePrimitive, BadCountsThrowAndLeaveTheVolumeAsItWas) {
    NComponentVolume<float> grid = Grid();
    const Bytes head = Cat({Raw<std::uint32_t>({5}), Raw<float>({1, 2, 3, 4}), Raw<std::int32_t>({0})});
    for (const Bytes& form : {Cat({head, Raw<std::int32_t>({-1})}),                             // negative
                              Cat({head, Raw<std::int32_t>({0x7fffffff})}),                     // past the end
                              Cat({head, Raw<std::int32_t>({0}), Raw<float>({0}), Raw<std::int32_t>({2, 1})})}) {
        VolumePrimitive v;
        v.SetVolume(&grid);
        EXPECT_THROW(LoadBytes(v, form), CArchiveException);
        EXPECT_EQ(v.GetVolume(), &grid);
        EXPECT_EQ(v.GetID(), 0u);
        EXPECT_EQ(v.GetColors().GetSize(), 2);
        EXPECT_EQ(v.GetTransferFunction().GetSize(), 2);
    }
}

}  // namespace
}  // namespace Tessary
