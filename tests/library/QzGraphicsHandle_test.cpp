// The handle rule shared by every table, and ClipRect.
#include <gtest/gtest.h>

#include <vector>

#include "QzGraphicsDrawState.h"
#include "QzGraphicsHandle.h"

namespace {

struct Record {
    int32_t check;
    int payload;
};

struct SmallTable {
    std::vector<void*> slots;
    HandleTable table;
    std::vector<Record> records;
    explicit SmallTable(int size, bool lowestFree = false) : slots((size_t)size), records((size_t)size * 4) {
        table = HandleTable{kHandleKindSurfaceData, size, slots.data(), 0, 0, 0, lowestFree, 0};
        ResetHandleTable(&table);
    }
    int next = 0;
    int32_t Add() {
        int slot = ChooseHandleSlot(&table);
        if (slot < 0)
            return -1;
        return TakeHandleSlot(&table, slot, &records[(size_t)next++]);
    }
};

TEST(HandleRule, EncodingAndCheckNumbersWrapAfter2047) {
    SmallTable t(8);
    t.table.checkCounter = 2047;
    int32_t a = t.Add();
    int32_t b = t.Add();
    EXPECT_EQ(GetHandleCheck(a), 2047);
    EXPECT_EQ(GetHandleCheck(b), 0);
    EXPECT_EQ(a, (int32_t)(0x38000000 | 2047 << 16 | 0));
    EXPECT_EQ(b, (int32_t)(0x38000000 | 1));
    EXPECT_EQ(GetHandleKind(a), kHandleKindSurfaceData);
    EXPECT_GT(a, 0);
}

TEST(HandleRule, HighWaterSlotThenLowestFree) {
    SmallTable t(4);
    int32_t h0 = t.Add(), h1 = t.Add(), h2 = t.Add();
    EXPECT_EQ(GetHandleSlot(h2), 2);
    // Deleting the highest lets the next record take its slot again.
    ReleaseHandleSlot(&t.table, 2);
    EXPECT_EQ(t.table.highWater, 2);
    EXPECT_EQ(GetHandleSlot(t.Add()), 2);
    // Deleting a middle one does not: the next takes the high-water slot.
    ReleaseHandleSlot(&t.table, GetHandleSlot(h1));
    EXPECT_EQ(GetHandleSlot(t.Add()), 3);
    // With the high-water index at the table's end, the lowest free slot is taken.
    EXPECT_EQ(t.table.highWater, 4);
    EXPECT_EQ(GetHandleSlot(t.Add()), 1);
    EXPECT_EQ(t.Add(), -1);  // full
    (void)h0;
}

TEST(HandleRule, HighWaterFallsPastFreeSlotsAndToZero) {
    SmallTable t(8);
    for (int i = 0; i < 5; ++i)
        t.Add();
    ReleaseHandleSlot(&t.table, 3);
    ReleaseHandleSlot(&t.table, 4);
    EXPECT_EQ(t.table.highWater, 3);
    ReleaseHandleSlot(&t.table, 1);
    ReleaseHandleSlot(&t.table, 2);
    EXPECT_EQ(t.table.highWater, 1);
    ReleaseHandleSlot(&t.table, 0);
    EXPECT_EQ(t.table.highWater, 0);
    EXPECT_EQ(t.table.count, 0);
    EXPECT_EQ(GetHandleSlot(t.Add()), 0);
}

TEST(HandleRule, LowestFreeTables) {
    SmallTable t(4, true);
    t.Add();
    t.Add();
    t.Add();
    ReleaseHandleSlot(&t.table, 0);
    EXPECT_EQ(GetHandleSlot(t.Add()), 0);
}

TEST(HandleRule, ValidityTest) {
    SmallTable t(4);
    int32_t h = t.Add();
    ASSERT_NE(GetHandleRecord(&t.table, h), nullptr);
    struct Bad {
        const char* name;
        int32_t handle;
    };
    const Bad bad[] = {
        {"other kind", MakeHandle(kHandleKindSurface2D, 0, 0)},
        {"bit 31", (int32_t)((uint32_t)h | 0x80000000u)},
        {"slot outside the table", MakeHandle(kHandleKindSurfaceData, 4, 0)},
        {"empty slot", MakeHandle(kHandleKindSurfaceData, 1, 0)},
        {"stale check number", MakeHandle(kHandleKindSurfaceData, 0, 1)},
        {"minus one", -1},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.name);
        EXPECT_EQ(GetHandleRecord(&t.table, b.handle), nullptr);
    }
    // A slot reused by a newer record rejects the old handle.
    ReleaseHandleSlot(&t.table, 0);
    int32_t again = t.Add();
    EXPECT_EQ(GetHandleSlot(again), 0);
    EXPECT_EQ(GetHandleRecord(&t.table, h), nullptr);
    EXPECT_NE(GetHandleRecord(&t.table, again), nullptr);
    EXPECT_EQ(GetSlotHandle(&t.table, 0), again);
}

struct ClipCase {
    RECT in, clip, out;
};

TEST(ClipRect, Table) {
    const ClipCase cases[] = {
        {{50, 50, 10, 10}, {0, 0, 100, 100}, {50, 50, 50, 50}},
        {{-20, 10, 30, 200}, {0, 0, 100, 100}, {0, 10, 30, 100}},
        {{120, -5, 150, -1}, {0, 0, 100, 100}, {100, 0, 100, 0}},
        {{10, 20, 30, 40}, {0, 0, 100, 100}, {10, 20, 30, 40}},
    };
    for (const ClipCase& c : cases) {
        RECT r = c.in;
        EXPECT_EQ(ClipRect(&r, &c.clip), 0);
        EXPECT_EQ(r.left, c.out.left) << c.in.left << "," << c.in.top << "," << c.in.right << "," << c.in.bottom;
        EXPECT_EQ(r.top, c.out.top);
        EXPECT_EQ(r.right, c.out.right);
        EXPECT_EQ(r.bottom, c.out.bottom);
    }
}

}  // namespace
