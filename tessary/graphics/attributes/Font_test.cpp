#include "tessary/graphics/attributes/Font.h"

#include <gtest/gtest.h>

#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

TEST(Font, DefaultsEqualityAndSizeRule) {
    EXPECT_EQ(Font::DefaultFont(), Font("Arial", 12));
    EXPECT_EQ(Font::DefaultBigFont(), Font("Arial", 16));
    EXPECT_EQ(Font(), Font::DefaultFont());
    EXPECT_NE(Font("arial", 12), Font::DefaultFont()) << "faces compare case-sensitively";

    Font f("Courier", 0);
    f.SetSize(0), f.SetSize(-3);
    EXPECT_EQ(f.GetSize(), 0) << "the constructor keeps any size; SetSize ignores sizes below 1";
    f.SetSize(9), f.SetFace("Times");
    EXPECT_EQ(Font(f), Font("Times", 9));
}

TEST(Font, ArchiveIsFaceThenSizeWhateverTheVersion) {
    const test::Bytes arial = {0x05, 'A', 'r', 'i', 'a', 'l', 0x0c, 0x00, 0x00, 0x00};
    for (std::uint32_t schema : {0u, 6u, 7u, 13u, kUnsetSchema})
        EXPECT_EQ(test::ExpectGoldenBytes(Font::DefaultFont(), arial, schema), Font::DefaultFont()) << schema;
    EXPECT_EQ(test::ExpectGoldenBytes(Font("", -2), {0x00, 0xfe, 0xff, 0xff, 0xff}).GetSize(), -2)
        << "a stored size below 1 loads as stored";

    Font f("Helvetica", 10);
    test::Bytes cut = test::StoreBytes(Font("Symbol", 30));
    cut.pop_back();
    EXPECT_THROW(test::LoadBytes(f, cut), CArchiveException);
    EXPECT_EQ(f, Font("Helvetica", 10)) << "a load that throws changes nothing";
}

}  // namespace
}  // namespace Tessary
