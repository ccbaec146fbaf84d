#include "tessary/graphics/attributes/Font.h"

#include <gtest/gtest.h>

#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

using test::Bytes;
using test::ExpectGoldenBytes;
using test::LoadBytes;
using test::StoreBytes;

TEST(Font, DefaultsEqualityAndSizeRule) {
    EXPECT_EQ(Font::DefaultFont(), Font("Arial", 12));
    EXPECT_EQ(Font::DefaultBigFont().GetFace(), CString("Arial"));
    EXPECT_EQ(Font::DefaultBigFont().GetSize(), 16);
    EXPECT_EQ(Font(), Font::DefaultFont());
    EXPECT_NE(Font("arial", 12), Font::DefaultFont()) << "faces compare case-sensitively";
    EXPECT_NE(Font("Arial", 13), Font::DefaultFont());

    Font f("Courier", 0);
    EXPECT_EQ(f.GetSize(), 0) << "the constructor keeps any size";
    for (int ignored : {0, -3}) {
        f.SetSize(ignored);
        EXPECT_EQ(f.GetSize(), 0) << ignored;
    }
    f.SetSize(9);
    EXPECT_EQ(f.GetSize(), 9);
    f.SetFace("Times");
    EXPECT_EQ(Font(f), Font("Times", 9));
}

TEST(Font, ArchiveIsFaceThenSizeWhateverTheVersion) {
    const Bytes arial = {0x05, 'A', 'r', 'i', 'a', 'l', 0x0c, 0x00, 0x00, 0x00};
    for (std::uint32_t schema : {0u, 6u, 7u, 13u, kUnsetSchema}) {
        EXPECT_EQ(ExpectGoldenBytes(Font::DefaultFont(), arial, schema), Font::DefaultFont()) << schema;
    }
    // A stored size below 1 loads as it was stored.
    const Font odd = ExpectGoldenBytes(Font("", -2), {0x00, 0xfe, 0xff, 0xff, 0xff});
    EXPECT_EQ(odd.GetSize(), -2);
}

TEST(Font, LoadThatThrowsLeavesTheFontAsItWas) {
    Font f("Helvetica", 10);
    Bytes cut = StoreBytes(Font("Symbol", 30));
    cut.pop_back();
    EXPECT_THROW(LoadBytes(f, cut), CArchiveException);
    EXPECT_EQ(f, Font("Helvetica", 10));
}

}  // namespace
}  // namespace Tessary
