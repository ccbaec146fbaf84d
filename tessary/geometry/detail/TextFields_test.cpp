#include "tessary/geometry/detail/TextFields.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>

using namespace Tessary::detail;

TEST(TextFields, FollowTheWidthRules) {
    const double xyz[3] = {1, 2, 3};
    std::ostringstream plain;
    WriteTextFields(plain, xyz, 3, TextLayout::Point);
    EXPECT_EQ(plain.str(), "1 2 3");
    std::ostringstream wide;
    wide << std::setw(4);
    WriteTextFields(wide, xyz, 3, TextLayout::Point);
    EXPECT_EQ(wide.str(), "   1   2   3");

    const double m[4] = {1, 0, 0, 1};
    std::ostringstream matrix;
    WriteTextFields(matrix, m, 4, TextLayout::Matrix);
    EXPECT_EQ(matrix.str(), "1 0 0 1 ");
    std::ostringstream matrixWide;
    matrixWide << std::setw(3);
    WriteTextFields(matrixWide, m, 4, TextLayout::Matrix);
    EXPECT_EQ(matrixWide.str(), "  1  0  0  1");
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
