#include "tessary/frame/Serialization.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>
#include <vector>

#include "tessary/frame/CArray.h"

using namespace Tessary;
using Bytes = std::vector<unsigned char>;

namespace {

enum class Shade { flat = 0, smooth = 2 };

struct Item {
    int id = 0;
    CString name;
    void Serialize(CArchive& ar) { SerializeFields(ar, id, name); }
};

}  // namespace

TEST(Serialization, FieldsBoolWordsAndEnumsRoundTrip) {
    int i = -3;
    double d = 0.25;
    CString s("x");
    bool flag = true;
    Shade shade = Shade::smooth;
    Bytes bytes;
    {
        CArchive ar(bytes, CArchive::store);
        SerializeFields(ar, i, d, s);
        SerializeBoolAsWord(ar, flag);
        SerializeEnum(ar, shade);
    }
    ASSERT_EQ(bytes.size(), 4u + 8u + 2u + 4u + 4u);
    EXPECT_EQ((Bytes(bytes.end() - 8, bytes.end())), (Bytes{1, 0, 0, 0, 2, 0, 0, 0}));
    int i2 = 0;
    double d2 = 0;
    CString s2;
    bool flag2 = false;
    Shade shade2 = Shade::flat;
    CArchive ar(bytes, CArchive::load);
    SerializeFields(ar, i2, d2, s2);
    SerializeBoolAsWord(ar, flag2);
    SerializeEnum(ar, shade2);
    EXPECT_EQ(i2, i);
    EXPECT_EQ(d2, d);
    EXPECT_EQ(s2, s);
    EXPECT_TRUE(flag2);
    EXPECT_EQ(shade2, Shade::smooth);
}

TEST(Serialization, SchemaTestsTreatTheUnsetValueBySignedness) {
    Bytes bytes;
    CArchive ar(bytes, CArchive::store);
    EXPECT_TRUE(SchemaAtLeastUnsigned(ar, 13));  // unset is newest
    EXPECT_FALSE(SchemaAtLeastSigned(ar, 0));    // unset is -1, oldest
    ar.SetObjectSchema(10);
    EXPECT_TRUE(SchemaAtLeastUnsigned(ar, 10));
    EXPECT_FALSE(SchemaAtLeastUnsigned(ar, 11));
    EXPECT_TRUE(SchemaAtLeastSigned(ar, 7));
    EXPECT_FALSE(SchemaAtLeastSigned(ar, 11));
}

TEST(Serialization, SequencesCarryASignedCountAndCheckIt) {
    CArray<Item> items;
    items.SetSize(2);
    items[0].id = 1;
    items[1].name = "two";
    Bytes bytes;
    {
        CArchive ar(bytes, CArchive::store);
        SerializeSequence(ar, items, 5);
    }
    EXPECT_EQ(bytes, (Bytes{2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 3, 't', 'w', 'o'}));
    CArray<Item> back;
    {
        CArchive ar(bytes, CArchive::load);
        SerializeSequence(ar, back, 5);
    }
    ASSERT_EQ(back.GetSize(), 2);
    EXPECT_EQ(back[0].id, 1);
    EXPECT_EQ(back[1].name, "two");

    Bytes negative = {0xFF, 0xFF, 0xFF, 0xFF};
    CArchive neg(negative, CArchive::load);
    EXPECT_THROW(SerializeSequence(neg, back, 5), CArchiveException);
    Bytes tooMany = {100, 0, 0, 0, 1, 2, 3};
    CArchive many(tooMany, CArchive::load);
    EXPECT_THROW(SerializeSequence(many, back, 5), CArchiveException);
}

TEST(Serialization, TextFieldsFollowTheWidthRules) {
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

TEST(Serialization, TextInputReportsPartialReads) {
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
