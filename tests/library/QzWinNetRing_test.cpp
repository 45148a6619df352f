// The network byte rings and the length framing of messages on buffers alone.
#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "QzWinFileAccess.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzWinNetRing.h"
#include "QzWinState.h"
#include "TempDir.h"
#include "platform/testing.h"

namespace QzWinNetRing_test {

namespace {

class RingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ptest::CaptureDebugOutput(true);
        FileAccessGetDir(g_windowSystem.startupDir);
        CreateLogFile();
        InitRingBuffer(&ring);
        ptest::TakeDebugOutput();
    }
    void TearDown() override {
        FreeRingBuffer(&ring);
        ptest::ResetControls();
    }
    std::string Read(int size, int peek = 0) {
        std::string out(static_cast<size_t>(size < 0 ? 0 : size), '\0');
        if (ReadRingBuffer(&ring, out.data(), size, peek) != 0) return "<refused>";
        return out;
    }
    static int LogCount(const std::string& log, const std::string& text) {
        int count = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++count;
        return count;
    }
    qztest::TempDir dir;
    RingBuffer ring;
};

TEST_F(RingTest, GrowsWithSlackAndMovesWrappedBytesToStart) {
    ASSERT_EQ(AppendRingBuffer(&ring, std::string(500, 'a').data(), 500), 0);
    EXPECT_EQ(ring.capacity, 1500);  // needed + stored + 1000
    ASSERT_EQ(AppendRingBuffer(&ring, std::string(1000, 'b').data(), 1000), 0);
    EXPECT_EQ(GetRingBufferFreeSpace(&ring), 0);
    EXPECT_EQ(Read(1000), std::string(500, 'a') + std::string(500, 'b'));
    // 900 bytes go in from the start of the storage, behind the 500 left at its end.
    std::string wrap;
    for (int i = 0; i < 900; ++i) wrap += static_cast<char>('A' + i % 26);
    ASSERT_EQ(AppendRingBuffer(&ring, wrap.data(), 900), 0);
    EXPECT_EQ(ring.capacity, 1500);
    EXPECT_EQ(ring.writePosition, 900);
    // 1400 stored and wrapped; 200 more grow the ring to twice its 1500, more than
    // 200 + 1400 + 1000.
    std::string more(200, 'z');
    ASSERT_EQ(AppendRingBuffer(&ring, more.data(), 200), 0);
    EXPECT_EQ(ring.capacity, 3000);
    EXPECT_EQ(ring.readPosition, 0);
    EXPECT_EQ(Read(500, 1), std::string(500, 'b'));  // peek keeps them
    EXPECT_EQ(Read(1600), std::string(500, 'b') + wrap + more);
    EXPECT_EQ(Read(1), "<refused>");
}

// A ring too small grows to the larger of twice its capacity and need + stored + 1000.
TEST_F(RingTest, GrowthAtLeastDoublesTheCapacity) {
    struct Case {
        int capacity, stored, added, grown;
    } cases[] = {
        {1000, 900, 200, 2100},  // the exact need is the larger
        {1500, 1400, 200, 3000},
        {1500, 100, 200, 1500},  // it fits: no growth
        {0, 0, 10, 1010},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.capacity);
        RingBuffer r;
        InitRingBuffer(&r);
        if (c.capacity > 0) r.storage = static_cast<unsigned char*>(AllocMemory(c.capacity, __FILE_NAME__, __LINE__));
        r.capacity = c.capacity;
        r.stored = c.stored;
        r.writePosition = c.stored;
        ASSERT_EQ(GrowRingBuffer(&r, c.added), 0);
        EXPECT_EQ(r.capacity, c.grown);
        FreeRingBuffer(&r);
    }
    // Messages that pile up unread cost a growth each doubling, not one each.
    const std::string message = std::string(65536, 'm');
    int growths = 0;
    for (int i = 0; i < 256; ++i) {
        const int before = ring.capacity;
        ASSERT_EQ(AppendRingBuffer(&ring, message.data(), 65536), 0);
        if (ring.capacity != before) ++growths;
    }
    EXPECT_LE(growths, 9);  // 66536 bytes, then doublings up to 16 MiB
    EXPECT_EQ(GetRingBufferDataLength(&ring), 256 * 65536);
}

TEST_F(RingTest, ReadsAndPeeksAcrossTheEndInOrder) {
    AppendRingBuffer(&ring, std::string(500, '.').data(), 500);
    AppendRingBuffer(&ring, std::string(995, '.').data(), 995);
    Read(1495);
    AppendRingBuffer(&ring, "0123456789", 10);  // 5 bytes to the end, 5 from the start
    EXPECT_EQ(ring.capacity, 1500);
    EXPECT_EQ(ring.writePosition, 5);
    EXPECT_EQ(Read(7, 1), "0123456");
    EXPECT_EQ(GetRingBufferDataLength(&ring), 10);
    EXPECT_EQ(Read(11), "<refused>");
    EXPECT_EQ(GetRingBufferDataLength(&ring), 10);
    EXPECT_EQ(Read(10), "0123456789");
    EXPECT_EQ(Read(-1), "<refused>");
}

TEST_F(RingTest, FailedGrowthKeepsStorageAndBytesAndIsLogged) {
    AppendRingBuffer(&ring, "abc", 3);
    unsigned char* storage = ring.storage;
    ptest::TakeDebugOutput();
    EXPECT_EQ(GrowRingBuffer(&ring, INT_MAX - 10), -1);
    ptest::FailCall("HeapAlloc");
    EXPECT_EQ(GrowRingBuffer(&ring, 5000), -1);
    // A message may be going out from these bytes: they stay where they were.
    EXPECT_EQ(ring.storage, storage);
    EXPECT_EQ(Read(3, 1), "abc");
    EXPECT_EQ(LogCount(ptest::TakeDebugOutput(), "リングバッファの再確保に失敗しました(確保しようとしたサイズ "), 2);
    EXPECT_EQ(AppendRingBuffer(&ring, "x", -5), -1);
    EXPECT_NE(ptest::TakeDebugOutput().find("リングバッファへのデータの追加に失敗しました(追加する長さ -5 byte)"),
              std::string::npos);
    EXPECT_EQ(Read(3), "abc");
}

TEST_F(RingTest, FramedMessagesSplitAnyWayArriveAsOneStream) {
    RingBuffer wire;
    InitRingBuffer(&wire);
    ASSERT_EQ(AppendFramedMessage(&wire, "hello", 5), 0);
    ASSERT_EQ(AppendFramedMessage(&wire, "", 0), 0);
    ASSERT_EQ(AppendFramedMessage(&wire, "goodbye", 7), 0);
    std::vector<unsigned char> bytes(static_cast<size_t>(GetRingBufferDataLength(&wire)));
    ReadRingBuffer(&wire, bytes.data(), static_cast<int>(bytes.size()), 0);
    FreeRingBuffer(&wire);
    const unsigned char header[4] = {5, 0, 0, 0};
    ASSERT_EQ(std::memcmp(bytes.data(), header, 4), 0);
    for (size_t split = 1; split < bytes.size(); ++split) {
        SCOPED_TRACE(split);
        RingBuffer in;
        InitRingBuffer(&in);
        FrameReceiveState state{};
        ASSERT_EQ(ReceiveFramedBytes(&state, &in, bytes.data(), static_cast<int>(split)), 0);
        ASSERT_EQ(ReceiveFramedBytes(&state, &in, bytes.data() + split, static_cast<int>(bytes.size() - split)), 0);
        EXPECT_EQ(state.remainder, 0);
        EXPECT_EQ(state.headerBytes, 0);
        char out[12];
        ASSERT_EQ(ReadRingBuffer(&in, out, 12, 0), 0);
        EXPECT_EQ(std::string(out, 12), "hellogoodbye");
        FreeRingBuffer(&in);
    }
}

TEST_F(RingTest, LengthsAboveTheCapAreRefusedWithoutAllocating) {
    struct Case {
        unsigned char header[4];
        const char* logged;
        const char* announced;  // the growth line's size
    } cases[] = {
        {{0xFF, 0xFF, 0xFF, 0xFF}, "(データサイズ -1 byte)", "4294967295"},
        {{0x00, 0x00, 0x00, 0x80}, "(データサイズ -2147483648 byte)", "2147483648"},
        {{0x00, 0x00, 0x00, 0x7F}, "(データサイズ 2130706432 byte)", "2130706432"},
        {{0x01, 0x00, 0x00, 0x04}, "(データサイズ 67108865 byte)", "67108865"},  // the cap + 1
    };
    AppendRingBuffer(&ring, "kept", 4);
    const int capacity = ring.capacity;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logged);
        FrameReceiveState state{};
        ASSERT_EQ(ReceiveFramedBytes(&state, &ring, c.header, 4), -1);
        std::string log = ptest::TakeDebugOutput();
        EXPECT_NE(log.find(std::string("リングバッファの再確保に失敗しました(確保しようとしたサイズ ") + c.announced + " byte)"),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find(std::string("受信データを保存するリングバッファのリサイズに失敗しました") + c.logged),
                  std::string::npos)
            << log;
        EXPECT_EQ(state.remainder, 0);
        EXPECT_EQ(ring.capacity, capacity);
        EXPECT_EQ(Read(4, 1), "kept");
    }
    // The cap itself is a length like any other.
    const unsigned char atCap[4] = {0x00, 0x00, 0x00, 0x04};
    FrameReceiveState state{};
    ASSERT_EQ(ReceiveFramedBytes(&state, &ring, atCap, 4), 0);
    EXPECT_EQ(state.remainder, kMaxFrameLength);
    EXPECT_EQ(DecodeFrameHeader(cases[0].header), -1);
    EXPECT_EQ(AppendFramedMessage(&ring, "x", INT_MAX - 2), -1);
}

}  // namespace

}  // namespace QzWinNetRing_test
