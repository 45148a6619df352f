// The handle rule shared by every table, driven over several kinds (pointer tables,
// inline tables, lowest-free tables, a kind that keeps its check number elsewhere), and
// ClipRect.
#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "QzGraphicsDrawState.h"
#include "QzGraphicsHandle.h"

namespace QzGraphicsHandle_test {

namespace {

// A record that keeps its check number after eight flag words, as the network record
// does; other kinds keep it first.
struct Record {
    int32_t first;
    int32_t flags[8];
    int32_t later;
    int32_t inUse;  // inline tables only
};

// One table of a kind, pointer or inline, behind the same few calls.
class Table {
public:
    Table(int kind, size_t checkOffset) : rule_(*GetHandleKindRule(kind)) {
        if (rule_.inlineRecords) {
            entries_.resize((size_t)rule_.size);
            inline_ = MakeInlineHandleTable(kind, entries_.data(), sizeof(Record), offsetof(Record, inUse), checkOffset);
            ResetHandleTable(&inline_);
        } else {
            slots_.resize((size_t)rule_.size);
            records_.resize((size_t)rule_.size);
            pointer_ = MakeHandleTable(kind, slots_.data(), checkOffset);
            ResetHandleTable(&pointer_);
        }
    }
    int32_t Add() {
        if (rule_.inlineRecords) {
            int slot = ChooseHandleSlot(&inline_);
            return slot < 0 ? -1 : TakeHandleSlot(&inline_, slot);
        }
        int slot = ChooseHandleSlot(&pointer_);
        return slot < 0 ? -1 : TakeHandleSlot(&pointer_, slot, &records_[(size_t)slot]);
    }
    void Release(int32_t handle) {
        if (rule_.inlineRecords) ReleaseHandleSlot(&inline_, GetHandleSlot(handle));
        else ReleaseHandleSlot(&pointer_, GetHandleSlot(handle));
    }
    bool Valid(int32_t handle) const {
        return (rule_.inlineRecords ? GetHandleRecord(&inline_, handle) : GetHandleRecord(&pointer_, handle)) != nullptr;
    }
    int32_t SlotHandle(int slot) const {
        return rule_.inlineRecords ? GetSlotHandle(&inline_, slot) : GetSlotHandle(&pointer_, slot);
    }
    int highWater() const { return rule_.inlineRecords ? inline_.highWater : pointer_.highWater; }
    int count() const { return rule_.inlineRecords ? inline_.count : pointer_.count; }
    const HandleKindRule& rule() const { return rule_; }

private:
    HandleKindRule rule_;
    std::vector<void*> slots_;
    std::vector<Record> records_;
    std::vector<Record> entries_;
    HandleTable pointer_ = {};
    InlineHandleTable inline_ = {};
};

struct KindCase {
    const char* name;
    int kind;
    size_t checkOffset;
};

const KindCase kKinds[] = {
    {"graphic", kHandleKindGraph, 0},
    {"sound", kHandleKindSound, 0},
    {"movie (lowest free)", kHandleKindMovie, 0},
    {"font (lowest free)", kHandleKindFont, 0},
    {"texture piece", kHandleKindSurface3D, 0},
    {"memory block (inline)", kHandleKindMemBlock, 0},
    {"network (check after its flags)", kHandleKindNetWork, offsetof(Record, later)},
    {"text input (inline)", kHandleKindTextInput, 0},
    {"music", kHandleKindMusic, 0},
};

TEST(HandleRule, KindTable) {
    const int sizes[12] = {0, 32768, 4096, 100, 40, 32768, 65536, 65536, 512, 4096, 20, 256};
    for (int kind = 1; kind <= 11; ++kind) {
        SCOPED_TRACE(kind);
        ASSERT_NE(GetHandleKindRule(kind), nullptr);
        EXPECT_EQ(GetHandleKindRule(kind)->size, sizes[kind]);
        EXPECT_EQ(GetHandleKindRule(kind)->lowestFree, kind == 3 || kind == 4 || kind == 9);
        EXPECT_EQ(GetHandleKindRule(kind)->inlineRecords, kind == 8 || kind == 10);
    }
    EXPECT_EQ(GetHandleKindRule(0), nullptr);
    EXPECT_EQ(GetHandleKindRule(12), nullptr);
}

TEST(HandleRule, CheckNumbersWrapAfter2047) {
    for (const KindCase& k : kKinds) {
        SCOPED_TRACE(k.name);
        Table t(k.kind, k.checkOffset);
        // 2047 records come and go in slot 0; the 2048th gets 2047, the next 0.
        for (int i = 0; i < 2047; ++i) t.Release(t.Add());
        int32_t a = t.Add();
        int32_t b = t.Add();
        EXPECT_EQ(GetHandleCheck(a), 2047);
        EXPECT_EQ(GetHandleCheck(b), 0);
        EXPECT_EQ(a, (int32_t)((uint32_t)k.kind << 27 | 2047u << 16 | (uint32_t)GetHandleSlot(a)));
        EXPECT_EQ(GetHandleKind(b), k.kind);
        EXPECT_GT(a, 0);
        EXPECT_TRUE(t.Valid(a));
        EXPECT_EQ(t.SlotHandle(GetHandleSlot(a)), a);
    }
}

TEST(HandleRule, SlotChoice) {
    for (const KindCase& k : kKinds) {
        SCOPED_TRACE(k.name);
        const bool lowest = GetHandleKindRule(k.kind)->lowestFree;
        {
            // Deleting the highest lets the next record take its slot again.
            Table t(k.kind, k.checkOffset);
            t.Add(), t.Add();
            int32_t h2 = t.Add();
            t.Release(h2);
            EXPECT_EQ(t.highWater(), 2);
            EXPECT_EQ(GetHandleSlot(t.Add()), 2);
        }
        {
            // Deleting a middle one: the next takes the high-water slot, unless the kind
            // always takes the lowest free one.
            Table t(k.kind, k.checkOffset);
            t.Add();
            int32_t h1 = t.Add();
            t.Add();
            t.Release(h1);
            EXPECT_EQ(GetHandleSlot(t.Add()), lowest ? 1 : 3);
        }
        {
            // A full table refuses; with the high-water index at the end, the lowest free
            // slot is taken.
            Table t(k.kind, k.checkOffset);
            std::vector<int32_t> handles;
            for (int i = 0; i < t.rule().size; ++i) handles.push_back(t.Add());
            EXPECT_EQ(t.Add(), -1);
            t.Release(handles[5]);
            t.Release(handles[3]);
            EXPECT_EQ(GetHandleSlot(t.Add()), 3);
        }
        {
            // The high-water index falls past free slots, to 0 when the table empties.
            Table t(k.kind, k.checkOffset);
            std::vector<int32_t> h;
            for (int i = 0; i < 5; ++i) h.push_back(t.Add());
            t.Release(h[1]);
            t.Release(h[4]);
            t.Release(h[3]);
            EXPECT_EQ(t.highWater(), 3);
            t.Release(h[2]);
            EXPECT_EQ(t.highWater(), 1);
            t.Release(h[0]);
            EXPECT_EQ(t.highWater(), 0);
            EXPECT_EQ(t.count(), 0);
        }
    }
}

TEST(HandleRule, ValidityTest) {
    for (const KindCase& k : kKinds) {
        SCOPED_TRACE(k.name);
        Table t(k.kind, k.checkOffset);
        int32_t h = t.Add();
        int32_t h1 = t.Add();
        ASSERT_TRUE(t.Valid(h));
        const int otherKind = k.kind == 1 ? 2 : 1;
        const struct {
            const char* name;
            int32_t handle;
        } bad[] = {
            {"bit 31", (int32_t)((uint32_t)h | 0x80000000u)},
            {"other kind", MakeHandle(otherKind, 0, 0)},
            {"slot outside the table", MakeHandle(k.kind, t.rule().size, 0)},
            {"empty slot", MakeHandle(k.kind, 2, 0)},
            {"wrong check number", MakeHandle(k.kind, 0, 5)},
            {"minus one", -1},
        };
        for (const auto& b : bad) {
            SCOPED_TRACE(b.name);
            // Sixteen slot bits cannot name a slot past a 65536-slot table.
            if (t.rule().size > 0xFFFF && std::string(b.name) == "slot outside the table") continue;
            EXPECT_FALSE(t.Valid(b.handle));
        }
        // A stale handle: its slot now holds a newer record.
        t.Release(h1);
        t.Release(h);
        int32_t again = t.Add();
        EXPECT_EQ(GetHandleSlot(again), 0);
        EXPECT_FALSE(t.Valid(h));
        EXPECT_TRUE(t.Valid(again));
    }
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

}  // namespace QzGraphicsHandle_test
