#include "tessary/util/UniqueString.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/GoldenBytes.h"

namespace Tessary {
namespace {

TEST(UniqueString, EqualTextsShareOneString) {
    const UniqueString a("CA");
    const UniqueString b(CString("CA"));
    const UniqueString c("ca");
    EXPECT_EQ(a.StringPtr(), b.StringPtr());
    EXPECT_NE(a.StringPtr(), c.StringPtr());
    EXPECT_EQ(a.String(), "CA");
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a != c);

    UniqueString d(a);
    EXPECT_EQ(d.StringPtr(), a.StringPtr());
    d = "N";
    EXPECT_EQ(d.String(), "N");
    d = CString("CA");
    EXPECT_EQ(d.StringPtr(), a.StringPtr());
    d = c;
    EXPECT_EQ(d.StringPtr(), c.StringPtr());
}

TEST(UniqueString, NullAndEmptyShareTheNullString) {
    const UniqueString empty("");
    const UniqueString null(static_cast<const char*>(nullptr));
    const UniqueString emptyCString{CString()};
    EXPECT_EQ(empty.StringPtr(), &UniqueStringTable::null);
    EXPECT_EQ(null.StringPtr(), &UniqueStringTable::null);
    EXPECT_EQ(emptyCString.StringPtr(), &UniqueStringTable::null);
    EXPECT_TRUE(UniqueStringTable::null.IsEmpty());
}

TEST(UniqueString, FindNeverAdds) {
    UniqueStringTable& table = UniqueString::m_table;
    const int before = table.GetCount();
    EXPECT_EQ(table.Find("never-interned-xyz"), &UniqueStringTable::null);
    EXPECT_EQ(table.Find(static_cast<const char*>(nullptr)), &UniqueStringTable::null);
    EXPECT_EQ(table.GetCount(), before);
    const CString* added = table.Add("now-interned-xyz");
    EXPECT_EQ(table.GetCount(), before + 1);
    EXPECT_EQ(table.Find("now-interned-xyz"), added);
    EXPECT_EQ(table.Add(std::string_view("now-interned-xyz")), added);
    EXPECT_EQ(table.GetCount(), before + 1);
}

TEST(UniqueString, PointersStayValidAsTheTableGrows) {
    const UniqueString first("grow-0");
    const CString* address = first.StringPtr();
    std::vector<const CString*> pointers;
    for (int i = 0; i < 20000; ++i) pointers.push_back(UniqueString(("grow-" + std::to_string(i)).c_str()).StringPtr());
    EXPECT_EQ(pointers[0], address);
    EXPECT_EQ(*address, "grow-0");
    for (int i = 0; i < 20000; i += 997) {
        EXPECT_EQ(UniqueString(("grow-" + std::to_string(i)).c_str()).StringPtr(), pointers[static_cast<std::size_t>(i)]);
        EXPECT_EQ(pointers[static_cast<std::size_t>(i)]->str(), "grow-" + std::to_string(i));
    }
}

TEST(UniqueString, TextsThatDifferInOneByteOrInLengthStayApart) {
    // Every length around the short-key limit, each text differing from the
    // others only in its last byte, in one inner byte, or by a trailing NUL.
    UniqueStringTable& table = UniqueString::m_table;
    std::vector<std::string> texts;
    for (std::size_t n = 1; n <= 13; ++n) {
        std::string text(n, 'k');
        texts.push_back(text);
        text.back() = 'm';
        texts.push_back(text);
        text.back() = 'k';
        text[n / 2] = 'j';
        texts.push_back(text);
        texts.push_back(std::string(n, 'k') + '\0');
    }
    std::vector<const CString*> stored;
    for (const std::string& text : texts) stored.push_back(table.Add(std::string_view(text)));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(stored[i]->str(), texts[i]) << i;
        EXPECT_EQ(table.Find(std::string_view(texts[i])), stored[i]) << i;
        EXPECT_EQ(table.Add(std::string_view(texts[i])), stored[i]) << i;
        for (std::size_t j = 0; j < i; ++j) {
            if (texts[j] != texts[i]) {
                EXPECT_NE(stored[j], stored[i]) << i << " " << j;
            }
        }
    }
    EXPECT_EQ(table.Find(std::string_view("kkkkkkkkkkkkkk")), &UniqueStringTable::null);
    EXPECT_EQ(table.Find(std::string_view("kkkkkkkkkkkk\0", 13)), stored[11 * 4 + 3]);
}

TEST(UniqueString, ArchiveRoundTrip) {
    const test::Bytes golden = {6, 'H', 'E', 'T', 'A', 'T', 'M'};
    const UniqueString loaded =
        test::ExpectGoldenBytes(UniqueString("HETATM"), golden, kUnsetSchema, UniqueString("x"));
    EXPECT_EQ(loaded.StringPtr(), UniqueString("HETATM").StringPtr());
    EXPECT_EQ(test::StoreBytes(UniqueString("")), test::Bytes{0});
    UniqueString target("x");
    test::LoadBytes(target, {0});
    EXPECT_EQ(target.StringPtr(), &UniqueStringTable::null);
    EXPECT_THROW(test::LoadBytes(target, {3, 'a'}), CArchiveException);
    EXPECT_EQ(target.StringPtr(), &UniqueStringTable::null);
}

}  // namespace
}  // namespace Tessary
