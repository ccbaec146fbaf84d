#include "tessary/geometry/detail/TextFields.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>

using namespace Tessary::detail;

TEST(TextFields, FollowTheWidthRules) {
    const double xyz[3] = {1, 2, 3};
    const double m[4] = {1, 0, 0, 1};
    const struct {
        const double* values;
        int count;
        TextLayout layout;
        int width;
        const char* expected;
    } cases[] = {
        {xyz, 3, TextLayout::Point, 0, "1 2 3"},
        {xyz, 3, TextLayout::Point, 4, "   1   2   3"},
        {m, 4, TextLayout::Matrix, 0, "1 0 0 1 "},
        {m, 4, TextLayout::Matrix, 3, "  1  0  0  1"},
    };
    for (const auto& c : cases) {
        std::ostringstream os;
        os << std::setw(c.width);
        WriteTextFields(os, c.values, c.count, c.layout);
        EXPECT_EQ(os.str(), c.expected);
    }
}

TEST(TextFields, InputReportsPartialReads) {
    double v[3] = {0, 0, 0};
    std::istringstream good("1.5 -2 3e2");
    EXPECT_TRUE(ReadTextFields(good, v, 3));
    EXPECT_EQ(v[2], 300.0);
    std::istringstream bad("1 2 x");
    EXPECT_FALSE(ReadTextFields(bad, v, 3));
    EXPECT_TRUE(bad.fail());
    std::istringstream shortText("1 2");
    EXPECT_FALSE(ReadTextFields(shortText, v, 3));
}
