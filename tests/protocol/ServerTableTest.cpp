#include <gtest/gtest.h>

#include "protocol/ServerTable.h"

using namespace mgmt;

namespace {
std::array<uint8_t, kProbeSize> Head(int n) {
    return {0x00, 0x10, 0x20, 0x30, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n), 0x01, 0x04, 0, 0};
}
}  // namespace

TEST(ServerTable, OneRowPerMacInArrivalOrder) {
    ServerTable t;
    size_t row = 99;
    EXPECT_EQ(ServerTable::AddResult::Added, t.Add(Head(7), 0, &row));
    EXPECT_EQ(0u, row);
    EXPECT_EQ(ServerTable::AddResult::Added, t.Add(Head(3), 1, &row));
    EXPECT_EQ(1u, row);
    // The same MAC again, even with other trailing bytes and status: dropped.
    auto again = Head(7);
    again[8] = 0xEE;
    EXPECT_EQ(ServerTable::AddResult::Duplicate, t.Add(again, 3, &row));
    EXPECT_EQ(2u, t.Count());
    EXPECT_EQ(0, t.Row(0)->head[8]);
    EXPECT_EQ(0, t.Row(0)->status);
    EXPECT_EQ(1, t.Row(1)->status);
    EXPECT_FALSE(t.Row(2));
}

TEST(ServerTable, TheHundredFirstServerIsDroppedUntilARescan) {
    ServerTable t;
    for (int i = 0; i < 100; ++i) ASSERT_EQ(ServerTable::AddResult::Added, t.Add(Head(i), 0));
    EXPECT_EQ(ServerTable::AddResult::Full, t.Add(Head(100), 0));
    EXPECT_EQ(ServerTable::AddResult::Duplicate, t.Add(Head(42), 0));
    EXPECT_EQ(100u, t.Count());
    EXPECT_EQ(Head(99), t.Row(99)->head);
    t.Clear();
    EXPECT_EQ(0u, t.Count());
    size_t row = 99;
    EXPECT_EQ(ServerTable::AddResult::Added, t.Add(Head(100), 0, &row));
    EXPECT_EQ(0u, row);
}
