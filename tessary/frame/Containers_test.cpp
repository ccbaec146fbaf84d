#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tessary/frame/CArray.h"
#include "tessary/frame/CMap.h"
#include "tests/support/GoldenBytes.h"

using namespace Tessary;
using Bytes = std::vector<unsigned char>;

TEST(CArray, GrowsShrinksAndKeepsOrder) {
    IntArray a;
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(a.GetData(), nullptr);
    EXPECT_EQ(a.Add(5), 0);
    EXPECT_EQ(a.Add(6), 1);
    a.SetSize(4, 16);
    EXPECT_EQ(a.GetSize(), 4);
    EXPECT_EQ(a[2], 0);  // new elements are zero
    a.SetAtGrow(6, 9);
    EXPECT_EQ(a.GetCount(), 7);
    EXPECT_EQ(a[5], 0);
    EXPECT_EQ(a.GetUpperBound(), 6);
    a.SetAt(0, 1);
    a.ElementAt(1) = 2;
    EXPECT_EQ((std::vector<int>(a.begin(), a.end())), (std::vector<int>{1, 2, 0, 0, 0, 0, 9}));

    a.InsertAt(1, 7, 2);
    a.InsertAt(10, 8);  // past the end: grows with zeros first
    EXPECT_EQ((std::vector<int>(a.begin(), a.end())), (std::vector<int>{1, 7, 7, 2, 0, 0, 0, 0, 9, 0, 8}));
    a.RemoveAt(3, 5);
    EXPECT_EQ((std::vector<int>(a.begin(), a.end())), (std::vector<int>{1, 7, 7, 9, 0, 8}));
    a.RemoveAt(3, 1000);  // the range is clipped to the array
    a.RemoveAt(-5, 2);
    a.RemoveAt(99);
    EXPECT_EQ((std::vector<int>(a.begin(), a.end())), (std::vector<int>{1, 7, 7}));

    EXPECT_EQ(a.Append(a), 3);  // appending to itself doubles the content once
    EXPECT_EQ((std::vector<int>(a.begin(), a.end())), (std::vector<int>{1, 7, 7, 1, 7, 7}));
    IntArray b;
    b.Copy(a);
    EXPECT_EQ(b, a);
    b.InsertAt(0, &a);
    EXPECT_EQ(b.GetSize(), 12);
    b.RemoveAll();
    EXPECT_TRUE(b.IsEmpty());
    a.SetSize(-3);
    EXPECT_EQ(a.GetSize(), 0);
}

TEST(CArray, SetAtGrowAndAddAcceptTheirOwnElements) {
    CStringArray a;
    a.Add("first");
    a.SetAtGrow(40, a[0]);
    a.Add(a[40]);
    EXPECT_EQ(a[40], "first");
    EXPECT_EQ(a[41], "first");
    a.InsertAt(0, a[41]);
    EXPECT_EQ(a[0], "first");
}

TEST(CArray, BoolArrayHoldsRealBools) {
    BoolArray flags;
    flags.SetSize(3);
    flags[1] = true;
    bool* data = flags.GetData();
    ASSERT_NE(data, nullptr);
    EXPECT_FALSE(data[0]);
    EXPECT_TRUE(data[1]);
    static_assert(std::is_same_v<decltype(flags.GetData()), bool*>);
}

TEST(CArray, SerializesCountThenMemoryImage) {
    IntArray a;
    a.Add(1);
    a.Add(-2);
    IntArray old;
    old.Add(99);
    EXPECT_EQ(test::ExpectGoldenBytes(a, {0x02, 0x00, 0x01, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}, kUnsetSchema, old), a);
}

TEST(CArray, SerializesLargeArraysWithTheLongCount) {
    DoubleArray a;
    a.SetSize(0x10000);
    a[0xFFFF] = 1.5;
    Bytes bytes;
    {
        CArchive ar(bytes, CArchive::store);
        a.Serialize(ar);
    }
    ASSERT_EQ(bytes.size(), 6u + 8u * 0x10000);
    EXPECT_EQ((Bytes(bytes.begin(), bytes.begin() + 6)), (Bytes{0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}));
    DoubleArray back;
    CArchive ar(bytes, CArchive::load);
    back.Serialize(ar);
    EXPECT_EQ(back, a);
}

TEST(CArray, StringAndBoolArraysSerializeElementwise) {
    CStringArray names;
    names.Add("CA");
    names.Add("");
    BoolArray flags;
    flags.Add(true);
    flags.Add(false);
    EXPECT_EQ(test::ExpectGoldenBytes(names, {0x02, 0x00, 0x02, 'C', 'A', 0x00}), names);
    EXPECT_EQ(test::ExpectGoldenBytes(flags, {0x02, 0x00, 0x01, 0x00}), flags);
    BoolArray flagsBack;
    test::LoadBytes(flagsBack, {0x02, 0x00, 0x01, 0x05});  // any non-zero byte is true
    EXPECT_TRUE(flagsBack[0]);
    EXPECT_TRUE(flagsBack[1]);
    // A string cut short leaves the array as it was.
    EXPECT_THROW(test::LoadBytes(names, {0x02, 0x00, 0x01, 'X', 0x03, 'Y'}), CArchiveException);
    EXPECT_EQ(names.GetSize(), 2);
    EXPECT_EQ(names[0], CString("CA"));
}

TEST(CArray, CraftedCountsAreRefusedBeforeAllocation) {
    // A 10-byte archive that claims 2^30 ints, and one that claims 2^32 strings.
    Bytes ints = {0xFF, 0xFF, 0x00, 0x00, 0x00, 0x40, 1, 2, 3, 4};
    Bytes strings = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0};
    IntArray a;
    a.Add(1);
    CArchive ar(ints, CArchive::load);
    try {
        a.Serialize(ar);
        FAIL() << "crafted count accepted";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, CArchiveException::badCount);
    }
    EXPECT_EQ(a.GetSize(), 1);  // nothing was touched
    CStringArray s;
    CArchive ar2(strings, CArchive::load);
    EXPECT_THROW(s.Serialize(ar2), CArchiveException);
}

TEST(CMap, LookupInsertRemove) {
    CMap<unsigned int, unsigned int, unsigned int, unsigned int> ids;
    EXPECT_TRUE(ids.IsEmpty());
    ids.SetAt(1, 10);
    ids.SetAt(2, 20);
    ids.SetAt(1, 11);  // replaces
    unsigned int v = 0;
    EXPECT_TRUE(ids.Lookup(1, v));
    EXPECT_EQ(v, 11u);
    EXPECT_FALSE(ids.Lookup(3, v));
    EXPECT_EQ(v, 11u);  // untouched on a miss
    EXPECT_EQ(ids[3], 0u);  // operator[] inserts a zero value
    EXPECT_EQ(ids.GetCount(), 3);
    EXPECT_TRUE(ids.RemoveKey(2));
    EXPECT_FALSE(ids.RemoveKey(2));
    EXPECT_EQ(ids.GetCount(), 2);
    ids.InitHashTable(1000);
    EXPECT_GE(ids.GetHashTableSize(), 1000u);
    EXPECT_TRUE(ids.Lookup(1, v));
    ids.RemoveAll();
    EXPECT_EQ(ids.GetSize(), 0);
}

// A value whose constructors count themselves, as a display list's ID counter does.
struct Counted {
    static inline int defaults = 0;
    Counted() { ++defaults; }
    Counted(const Counted&) = default;
    Counted& operator=(const Counted&) = default;
    int value = 0;
};

TEST(CMap, SetAtCopiesANewValueWithoutDefaultMakingOne) {
    CMap<int, int, Counted, Counted&> map;
    Counted item;
    item.value = 7;
    const int before = Counted::defaults;
    map.SetAt(1, item);
    map.SetAt(1, item);  // replaces
    CMap<int, int, Counted, Counted&> copy(map);
    EXPECT_EQ(Counted::defaults, before);
    EXPECT_EQ(copy[1].value, 7);
    EXPECT_EQ(map[2].value, 0);  // operator[] still makes a default value
    EXPECT_EQ(Counted::defaults, before + 1);
}

TEST(CMap, IteratesInInsertionOrderAndSurvivesRemovalOfTheCurrentKey) {
    CMapStringToString map;
    map.SetAt("zinc", "Zn");
    map.SetAt("iron", "Fe");
    map.SetAt("Iron", "not Fe");  // keys are case-sensitive
    map.SetAt("magnesium", "Mg");
    std::vector<std::string> seen;
    POSITION pos = map.GetStartPosition();
    while (pos) {
        CString key, value;
        map.GetNextAssoc(pos, key, value);
        seen.push_back(std::string(key) + "=" + std::string(value));
        map.RemoveKey(key);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"zinc=Zn", "iron=Fe", "Iron=not Fe", "magnesium=Mg"}));
    EXPECT_TRUE(map.IsEmpty());

    CMapStringToPtr ptrs;
    int target = 0;
    ptrs["x"] = &target;
    CMapStringToPtr copy(ptrs);
    void* p = nullptr;
    EXPECT_TRUE(copy.Lookup("x", p));
    EXPECT_EQ(p, &target);
    EXPECT_FALSE(copy.Lookup("X", p));
    EXPECT_NE(copy.PLookup("x"), nullptr);
}
