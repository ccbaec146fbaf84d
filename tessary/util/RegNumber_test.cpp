#include "tessary/util/RegNumber.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

namespace Tessary {
namespace {

TEST(RegNumber, RangesAndSingleNumbers) {
    RegNumber range("10-20");
    EXPECT_TRUE(range.Match("15", false));
    EXPECT_TRUE(range.Match("20", false));
    EXPECT_TRUE(range.Match("10", false));
    EXPECT_FALSE(range.Match("21", false));
    EXPECT_FALSE(range.Match("15", true));

    RegNumber negative("-5--1");
    EXPECT_EQ(negative.GetMinimum(), -5);
    EXPECT_EQ(negative.GetMaximum(), -1);
    EXPECT_TRUE(negative.Match("-3", false));
    EXPECT_FALSE(negative.Match("0", false));

    RegNumber single("-5");
    EXPECT_EQ(single.GetMinimum(), -5);
    EXPECT_EQ(single.GetMaximum(), -5);

    RegNumber seven("7");
    EXPECT_TRUE(seven.Match("7", true));
    EXPECT_TRUE(seven.Match("7abc", true));
    EXPECT_FALSE(seven.Match("8", true));

    RegNumber open("5-");
    EXPECT_EQ(open.GetMinimum(), 5);
    EXPECT_EQ(open.GetMaximum(), 5);

    RegNumber empty("");
    EXPECT_TRUE(empty.Match("0", false));
    EXPECT_TRUE(empty.Match("1", false));
    EXPECT_TRUE(empty.Match("x", false));  // no digits reads as 0
    EXPECT_FALSE(empty.Match("2", false));

    RegNumber reversed("20-10");
    EXPECT_FALSE(reversed.Match("15", false));

    // Out-of-range ends saturate rather than wrap.
    RegNumber huge("0-99999999999");
    EXPECT_EQ(huge.GetMaximum(), INT32_MAX);
    EXPECT_TRUE(huge.Match("4294967296", false));
    EXPECT_FALSE(range.GetFlag());

    std::unique_ptr<Pattern<CString>> copy(range.Copy());
    EXPECT_TRUE(copy->Match("12", false));
}

TEST(RegNumber, IsRegNumber) {
    EXPECT_FALSE(RegNumber::IsRegNumber("12"));
    EXPECT_TRUE(RegNumber::IsRegNumber("1-2"));
    EXPECT_TRUE(RegNumber::IsRegNumber("--5"));
    EXPECT_TRUE(RegNumber::IsRegNumber("-5--1"));
    EXPECT_TRUE(RegNumber::IsRegNumber("+1-+2"));
    EXPECT_FALSE(RegNumber::IsRegNumber("1-"));
    EXPECT_FALSE(RegNumber::IsRegNumber(""));
    EXPECT_FALSE(RegNumber::IsRegNumber("-"));
    EXPECT_FALSE(RegNumber::IsRegNumber("a-2"));
    EXPECT_FALSE(RegNumber::IsRegNumber("1-2-3"));
    EXPECT_FALSE(RegNumber::IsRegNumber("1-2x"));
}

}  // namespace
}  // namespace Tessary
