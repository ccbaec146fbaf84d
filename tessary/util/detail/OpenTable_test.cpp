#include "tessary/util/detail/OpenTable.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace Tessary::detail {
namespace {

struct Entry {
    std::uint32_t key = 0;  // 0: empty
    std::uint32_t value = 0;
    bool IsEmpty() const { return key == 0; }
};

// Adds key -> value unless present; returns the stored value.
std::uint32_t FindOrAdd(OpenTable<Entry>& table, std::uint32_t key, std::uint32_t value, std::uint64_t (*hash)(std::uint32_t)) {
    table.Reserve(table.Size() + 1, [hash](const Entry& e) { return hash(e.key); });
    Entry& slot = table.Probe(hash(key), [key](const Entry& e) { return e.key == key; });
    if (slot.IsEmpty()) {
        slot = Entry{key, value};
        table.Commit();
    }
    return slot.value;
}

std::uint64_t Spread(std::uint32_t key) { return key * 0x9E3779B97F4A7C15ull; }
std::uint64_t Same(std::uint32_t) { return ~std::uint64_t{0}; }  // every key starts at the last slot

TEST(OpenTable, KeepsEveryEntryThroughGrowthAndCollisions) {
    for (auto hash : {&Spread, &Same}) {
        OpenTable<Entry> table;
        EXPECT_EQ(table.Find(hash(1), [](const Entry&) { return true; }), nullptr);  // no slots yet
        for (std::uint32_t k = 1; k <= 300; ++k) ASSERT_EQ(FindOrAdd(table, k, k * 2, hash), k * 2);
        for (std::uint32_t k = 1; k <= 300; ++k) EXPECT_EQ(FindOrAdd(table, k, 0, hash), k * 2);  // no duplicates
        EXPECT_EQ(table.Size(), 300u);
        for (std::uint32_t k = 1; k <= 301; ++k) {
            const Entry* e = table.Find(hash(k), [k](const Entry& x) { return x.key == k; });
            if (k <= 300) {
                ASSERT_NE(e, nullptr) << k;
                EXPECT_EQ(e->value, k * 2);
            } else {
                EXPECT_EQ(e, nullptr);
            }
        }
        table.Clear();
        EXPECT_EQ(table.Size(), 0u);
        EXPECT_EQ(table.Find(hash(5), [](const Entry& x) { return x.key == 5; }), nullptr);
        EXPECT_EQ(FindOrAdd(table, 5, 7, hash), 7u);
    }
}

}  // namespace
}  // namespace Tessary::detail
