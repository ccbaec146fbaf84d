#include "tessary/frame/Serialization.h"

#include <gtest/gtest.h>

#include <vector>

#include "tessary/frame/CArray.h"
#include "tests/support/GoldenBytes.h"

using namespace Tessary;
using Tessary::test::Bytes;
using Tessary::test::ExpectGoldenBytes;
using Tessary::test::LoadBytes;
using Tessary::test::StoreBytes;

namespace {

enum class Shade { flat = 0, smooth = 2 };

struct Item {
    int id = 0;
    CString name;
    void Serialize(CArchive& ar) { ArchiveFields(ar, id, name); }
};

// One field of every kind, with the rules a primitive states.
struct Record {
    int i = 0;
    double d = 0;
    CString s;
    bool word = false;
    bool byte = false;
    Shade shade = Shade::flat;
    int newer = 0;     // from version 13, unset newest
    int signedV = 0;   // from version 7, unset oldest
    int always = 0;    // always stored, loaded from version 7
    CArray<Item> items;
    bool settled = false;

    void Serialize(CArchive& ar) {
        ArchiveObject(
            ar, *this,
            [&ar](Record& r) {
                ArchiveFields(ar, r.i, r.d, r.s, AsWord(r.word), AsByte(r.byte), AsWord(r.shade),
                              FromVersion(13, r.newer), FromVersionSigned(7, r.signedV),
                              StoredAlwaysFromVersion(7, r.always), Sequence(r.items, 5));
            },
            [](Record& r) { r.settled = true; });
    }
};

Record Sample() {
    Record r;
    r.i = -3;
    r.d = 0.25;
    r.s = "x";
    r.word = true;
    r.byte = true;
    r.shade = Shade::smooth;
    r.newer = 0x11;
    r.signedV = 0x22;
    r.always = 0x33;
    r.items.SetSize(1);
    r.items[0].id = 7;
    r.items[0].name = "ab";
    return r;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace

TEST(Serialization, EveryFieldKindAndVersionRuleHasItsBytes) {
    const Bytes head = {0xFD, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xD0, 0x3F, 1, 'x',
                        1,    0,    0,    0,    1, 2, 0, 0, 0};
    const Bytes newer = {0x11, 0, 0, 0}, signedV = {0x22, 0, 0, 0}, always = {0x33, 0, 0, 0};
    const Bytes items = {1, 0, 0, 0, 7, 0, 0, 0, 2, 'a', 'b'};
    struct Case {
        std::uint32_t schema;
        Bytes expected;
    } cases[] = {
        {kUnsetSchema, Concat({head, newer, always, items})},  // unsigned: newest; signed: oldest
        {13, Concat({head, newer, signedV, always, items})},
        {7, Concat({head, signedV, always, items})},
        {6, Concat({head, always, items})},  // stored always, skipped on loading
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.schema);
        if (c.schema == 6) {
            EXPECT_EQ(StoreBytes(Sample(), 6), c.expected);
            continue;
        }
        const Record back = ExpectGoldenBytes(Sample(), c.expected, c.schema);
        EXPECT_TRUE(back.settled);
        EXPECT_EQ(back.shade, Shade::smooth);
        EXPECT_EQ(back.items[0].name, "ab");
    }
    // A word or byte other than 0 and 1 loads as true.
    Bytes odd = Concat({head, newer, always, items});
    odd[12 + 2 + 1] = 0x80;  // the bool word's low byte
    odd[12 + 2 + 4] = 0x02;  // the bool byte
    Record loaded;
    LoadBytes(loaded, odd);
    EXPECT_TRUE(loaded.word);
    EXPECT_TRUE(loaded.byte);
}

TEST(Serialization, AThrowingLoadLeavesTheObjectAsItWas) {
    const Bytes full = StoreBytes(Sample());
    // Cut inside the sequence's element, after every plain field was read.
    for (std::size_t cut : {std::size_t{3}, std::size_t{20}, full.size() - 1}) {
        SCOPED_TRACE(cut);
        Record target;
        target.s = "old";
        target.items.SetSize(3);
        EXPECT_THROW(LoadBytes(target, Bytes(full.begin(), full.begin() + static_cast<long>(cut))),
                     CArchiveException);
        EXPECT_EQ(target.i, 0);
        EXPECT_EQ(target.s, "old");
        EXPECT_EQ(target.items.GetSize(), 3);
        EXPECT_FALSE(target.settled);
    }
}

TEST(Serialization, SequencesCarryASignedCountAndCheckIt) {
    CArray<Item> items;
    items.SetSize(2);
    items[0].id = 1;
    items[1].name = "two";
    Bytes bytes;
    {
        CArchive ar(bytes, CArchive::store);
        ArchiveFields(ar, Sequence(items, 5));
    }
    EXPECT_EQ(bytes, (Bytes{2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 3, 't', 'w', 'o'}));
    CArray<Item> back;
    {
        CArchive ar(bytes, CArchive::load);
        ArchiveFields(ar, Sequence(back, 5));
    }
    ASSERT_EQ(back.GetSize(), 2);
    EXPECT_EQ(back[0].id, 1);
    EXPECT_EQ(back[1].name, "two");

    for (Bytes bad : {Bytes{0xFF, 0xFF, 0xFF, 0xFF}, Bytes{100, 0, 0, 0, 1, 2, 3}}) {
        CArchive ar(bad, CArchive::load);
        EXPECT_THROW(ArchiveFields(ar, Sequence(back, 5)), CArchiveException);
    }
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

TEST(Serialization, ValueOperatorsRefuseTheWrongDirection) {
    Bytes bytes{1, 0, 0, 0};
    Item item;
    CArchive loading(bytes, CArchive::load);
    EXPECT_THROW(StoreValue(loading, item), CArchiveException);
    Bytes out;
    CArchive storing(out, CArchive::store);
    EXPECT_THROW(LoadValue(storing, item), CArchiveException);
    // Stand-ins hand their values on only after a load.
    int standIn = 5;
    bool handed = false;
    ArchiveFieldsThen(storing, [&] { handed = true; }, standIn);
    EXPECT_FALSE(handed);
    EXPECT_EQ(out, (Bytes{5, 0, 0, 0}));
}
