// The tracked allocator: the record and dump texts, ids and totals, damaged headers,
// heap failure, bad sizes, and frees of pointers it never gave out.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "QzWinFileAccess.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzWinState.h"
#include "TempDir.h"
#include "platform/testing.h"

namespace QzWinMemory_test {

namespace {

AllocHeader* HeaderOf(void* block) {
    return reinterpret_cast<AllocHeader*>(static_cast<unsigned char*>(block) - kAllocHeaderSize);
}

class AllocTest : public ::testing::Test {
protected:
    void SetUp() override {
        ptest::SetClockMode(ptest::ClockMode::Fast);
        ptest::SetFastClockReadStep(0);
        ptest::CaptureDebugOutput(true);
        FileAccessGetDir(g_windowSystem.startupDir);
        CreateLogFile();
    }
    void TearDown() override { ptest::ResetControls(); }

    // What the log writer sent to the debugger: the texts without their time prefix.
    static std::string Logged() { return ptest::TakeDebugOutput(); }
    static std::string RecordOf(void* block) {
        Logged();
        LogAllocRecord(HeaderOf(block));
        return Logged();
    }

    qztest::TempDir dir;
};

TEST_F(AllocTest, RecordsShowSizeNameLineIdAndTheFirstBytes) {
    void* longName = AllocMemory(4, "library/abcdefghijklmnopqrstuvwxyz.cpp", 70000);
    std::memcpy(longName, "WXYZ", 4);
    EXPECT_EQ(RecordOf(longName),
              "\tsize:4(0.004kb)  file:pqrstuvwxyz.cpp  line:4464  ID:0  data:<WXYZ> [57 58 59 5a]\r\n");

    void* abc = AllocZeroedMemory(20, "a.cpp", 5);
    std::memcpy(abc, "ABC", 3);
    EXPECT_EQ(RecordOf(abc),
              "\tsize:20(0.020kb)  file:a.cpp  line:5  ID:1  data:<ABC.............> "
              "[41 42 43 00 00 00 00 00 00 00 00 00 00 00 00 00]\r\n");

    // Under the default trap size 0, a block of size 0 is logged as it is made.
    Logged();
    void* empty = AllocMemory(0, "b.cpp", 6);
    EXPECT_EQ(Logged(), "mem alloc  \tsize:0(0.000kb)  file:b.cpp  line:6  ID:2  data:<> ]\r\n");

    unsigned char edges[] = {0x1F, 0x20, 0x7F, 0x80, 0xFF};
    void* high = AllocMemory(sizeof edges, nullptr, -1);
    std::memcpy(high, edges, sizeof edges);
    EXPECT_EQ(RecordOf(high), "\tsize:5(0.005kb)  file:  line:-1  ID:3  data:<. \x7f..> [1f 20 7f 80 ff]\r\n");

    Logged();
    FreeMemory(empty);
    EXPECT_EQ(Logged(), "mem free  \tsize:0(0.000kb)  file:b.cpp  line:6  ID:2  data:<> ]\r\n");
    FreeMemory(longName);
    FreeMemory(abc);
    FreeMemory(high);
}

TEST_F(AllocTest, IdsTotalsAndTheDumpFollowAllocationsAndFrees) {
    void* a = AllocMemory(100, "a.cpp", 1);
    void* b = AllocMemory(30, "b.cpp", 2);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 16, 0u);
    EXPECT_EQ(FreeMemory(a) != 0, true);
    EXPECT_EQ(g_windowSystem.tracker.totalSize, 30);
    EXPECT_EQ(g_windowSystem.tracker.count, 1);
    void* c = AllocMemory(50, "c.cpp", 3);
    EXPECT_EQ(HeaderOf(b)->id, 1);
    EXPECT_EQ(HeaderOf(c)->id, 2);
    std::memset(b, 'b', 30);
    std::memset(c, 'c', 50);

    Logged();
    EXPECT_EQ(DumpAllocations(), -1);
    EXPECT_EQ(Logged(),
              "\r\nAlloc memory dump\r\n"
              "\tsize:50(0.049kb)  file:c.cpp  line:3  ID:2  data:<cccccccccccccccc> "
              "[63 63 63 63 63 63 63 63 63 63 63 63 63 63 63 63]\r\n"
              "\tsize:30(0.029kb)  file:b.cpp  line:2  ID:1  data:<bbbbbbbbbbbbbbbb> "
              "[62 62 62 62 62 62 62 62 62 62 62 62 62 62 62 62]\r\n"
              "\tTotal size:80(0.078kb)  Alloc num:2\r\n\r\n");
    FreeMemory(b);
    FreeMemory(c);
    EXPECT_EQ(g_windowSystem.tracker.totalSize, 0);
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
}

TEST_F(AllocTest, EmptyDumpHoldsTheHeadingAndAZeroTotal) {
    ptest::AdvanceFastClock(3000);
    DumpAllocations();
    EXPECT_EQ(qztest::ReadWholeFile(dir.file("AppLog.txt")),
              "3:\r\n3:Alloc memory dump\r\n3:\tTotal size:0(0.000kb)  Alloc num:0\r\n3:\r\n");
}

TEST_F(AllocTest, DamagedHeaderIsReportedOnTheRecordsLineAndNotFreed) {
    void* block = AllocMemory(8, "dmg.cpp", 9);
    std::memset(block, 'q', 8);
    HeaderOf(block)->file[0] = 'X';
    const std::string report =
        "以下のメモリ確保情報が破損しました\tsize:8(0.008kb)  file:Xmg.cpp  line:9  ID:0  data:<qqqqqqqq> "
        "[71 71 71 71 71 71 71 71]\r\n";

    Logged();
    EXPECT_EQ(CheckAllAllocHeaders(), -1);
    EXPECT_EQ(Logged(), report);
    EXPECT_EQ(FreeMemory(block), 0);
    EXPECT_EQ(Logged(), report);
    EXPECT_EQ(g_windowSystem.tracker.count, 1);

    RefreshAllocGuard(HeaderOf(block));
    EXPECT_EQ(CheckAllAllocHeaders(), 0);
    EXPECT_NE(FreeMemory(block), 0);
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
}

TEST_F(AllocTest, CheckEverySettingFindsDamageAtTheNextCall) {
    g_windowSystem.tracker.checkEvery = 1;
    void* block = AllocMemory(4, "chk.cpp", 1);
    void* middle = AllocMemory(4, "chk.cpp", 2);  // a neighbour's guard is refreshed on each link
    HeaderOf(block)->size = 5;
    Logged();
    void* other = AllocMemory(4, "chk.cpp", 3);
    EXPECT_EQ(Logged().rfind("以下のメモリ確保情報が破損しました\tsize:5(", 0), 0u);
    HeaderOf(block)->size = 4;  // repaired: record and guard agree again
    EXPECT_NE(FreeMemory(other), 0);
    EXPECT_NE(FreeMemory(middle), 0);
    EXPECT_NE(FreeMemory(block), 0);
    EXPECT_EQ(g_windowSystem.tracker.totalSize, 0);
}

TEST_F(AllocTest, HeapFailureDumpsTheListAndGivesNull) {
    void* kept = AllocMemory(2, "kept.cpp", 7);
    std::memcpy(kept, "ok", 2);
    ptest::FailCall("HeapAlloc");
    Logged();
    EXPECT_EQ(AllocMemory(16, "fail.cpp", 8), nullptr);
    EXPECT_EQ(Logged(),
              "\r\nAlloc memory dump\r\n"
              "\tsize:2(0.002kb)  file:kept.cpp  line:7  ID:0  data:<ok> [6f 6b]\r\n"
              "\tTotal size:2(0.002kb)  Alloc num:1\r\n\r\n");
    EXPECT_EQ(g_windowSystem.tracker.count, 1);
    FreeMemory(kept);
}

TEST_F(AllocTest, BadSizesGiveNull) {
    const int sizes[] = {-1, INT_MIN, INT_MAX, INT_MAX - kAllocHeaderSize + 1};
    for (int size : sizes) {
        SCOPED_TRACE(size);
        EXPECT_EQ(AllocMemory(size, "bad.cpp", 1), nullptr);
        EXPECT_EQ(AllocZeroedMemory(size, "bad.cpp", 2), nullptr);
    }
    EXPECT_EQ(AllocProcessHeap(-1), nullptr);
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
    EXPECT_EQ(g_windowSystem.tracker.totalSize, 0);
}

TEST_F(AllocTest, ForeignAndDoubleFreesAreRefusedAndTheListStaysIntact) {
    void* first = AllocMemory(10, "first.cpp", 1);
    void* second = AllocMemory(20, "second.cpp", 2);
    void* third = AllocMemory(30, "third.cpp", 3);
    int onStack = 0;
    void* plain = std::malloc(200);
    void* inside = static_cast<unsigned char*>(second) + 16;

    EXPECT_EQ(FreeMemory(&onStack), 0);
    EXPECT_EQ(FreeMemory(static_cast<unsigned char*>(plain) + kAllocHeaderSize), 0);
    EXPECT_EQ(FreeMemory(inside), 0);
    EXPECT_NE(FreeMemory(second), 0);
    Logged();
    EXPECT_EQ(FreeMemory(second), 0);
    EXPECT_EQ(Logged().rfind("確保されていないメモリの解放要求を無視しました", 0), 0u);
    std::free(plain);

    EXPECT_EQ(g_windowSystem.tracker.count, 2);
    EXPECT_EQ(g_windowSystem.tracker.totalSize, 40);
    EXPECT_EQ(CheckAllAllocHeaders(), 0);
    EXPECT_EQ(HeaderOf(third)->older, HeaderOf(first));
    EXPECT_EQ(HeaderOf(first)->newer, HeaderOf(third));
    EXPECT_NE(FreeMemory(third), 0);
    EXPECT_NE(FreeMemory(first), 0);
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
}

TEST_F(AllocTest, ManyBlocksFreedInAnyOrderLeaveAnEmptyList) {
    // Enough blocks to grow the live-block index several times.
    constexpr int kBlocks = 3000;
    static void* blocks[kBlocks];
    for (int i = 0; i < kBlocks; i++) blocks[i] = AllocMemory(i % 64, "many.cpp", i);
    for (int i = 0; i < kBlocks; i += 2) EXPECT_NE(FreeMemory(blocks[i]), 0);
    for (int i = kBlocks - 1; i > 0; i -= 2) EXPECT_NE(FreeMemory(blocks[i]), 0);
    for (int i = 0; i < kBlocks; i += 97) EXPECT_EQ(FreeMemory(blocks[i]), 0);
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
    EXPECT_EQ(g_windowSystem.tracker.totalSize, 0);
    EXPECT_EQ(g_windowSystem.tracker.index.used, 0u);
}

}  // namespace

}  // namespace QzWinMemory_test
