// Framed and raw data over real connections: message framing on the wire, splits of
// every kind, large transfers, hostile lengths, losses mid-message, failed growth and the
// soak through the echoing peer and the library's own pair.
#include <unistd.h>

#include <random>
#include <vector>

#include "NetFixture.h"

namespace QzWinNetSocket_test {

namespace {

using NetDataTest = NetTest;

TEST_F(NetDataTest, SendsTravelAsTheirOwnFramesAndReceiversKeepNoBoundaries) {
    qztest::ScriptedPeer peer;
    peer.Accept().Read(4 + 5 + 4 + 7).SendFrame("abcdefghijkl").WaitForTest().Start();
    const int handle = Connect(peer.port());
    ASSERT_NE(handle, -1);
    ASSERT_EQ(Send(handle, "hello"), 0);
    ASSERT_EQ(Send(handle, "goodbye"), 0);
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(handle) == 12; }));
    EXPECT_EQ(peer.Received(), Frame("hello") + Frame("goodbye"));
    char out[8];
    EXPECT_EQ(Locked([&] { return NetWorkRecv(handle, out, 8); }), 0);
    EXPECT_EQ(std::string(out, 8), "abcdefgh");
    EXPECT_EQ(Length(handle), 4);
    EXPECT_EQ(Locked([&] { return NetWorkRecv(handle, out, 5); }), -1);
    EXPECT_EQ(Locked([&] { return NetWorkRecvToPeek(handle, out, 4); }), 0);
    EXPECT_EQ(Locked([&] { return NetWorkRecv(handle, out, -1); }), -1);
    EXPECT_EQ(Length(handle), 4);
    peer.Release();
}

TEST_F(NetDataTest, MessagesArriveWholeHoweverTheStreamIsSplit) {
    struct Case {
        const char* name;
        int chunk;           // the peer's writes
        bool stallInHeader;  // two bytes of the last header, then the peer waits
    } cases[] = {
        {"header byte by byte", 1, false},
        {"three-byte pieces", 3, false},
        {"two header bytes, then a stall", 0, true},
        {"all at once", 0, false},
    };
    int port = 5000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string first = Pattern(600, 1), second = Pattern(1200, 2);
        const std::string head = Frame(first) + Frame(""), tail = Frame(second);
        const size_t held = c.stallInHeader ? 2 : 0;
        Paired paired = ConnectPaired(++port);
        ASSERT_NE(paired.handle, -1);
        paired.peer->Send(head + tail.substr(0, held), c.chunk).WaitForTest().Send(tail.substr(held), c.chunk).Start();
        // The first message is read in part, so the last one wraps the ring's end.
        EXPECT_EQ(Receive(paired.handle, 500), first.substr(0, 500));
        if (c.stallInHeader) {
            // Half a header is taken as it comes: the pump returns, every time.
            ASSERT_TRUE(PumpUntil([&] { return FindNetWorkData(paired.handle)->receiveHeaderBytes == 2; }));
            Pump(20);
            EXPECT_EQ(Length(paired.handle), 100);
        }
        paired.peer->Release();
        EXPECT_EQ(Receive(paired.handle, 1300), first.substr(500) + second);
        EXPECT_EQ(Locked([&] { return FindNetWorkData(paired.handle)->receiveBuffer.capacity; }), 1600);
        Locked([&] { return DisconnectSocket(paired.handle); });
    }
}

TEST_F(NetDataTest, CapsOfOneToThreeBytesEachWayKeepTheStream) {
    const int port = Listen();
    for (int cap = 1; cap <= 3; ++cap) {
        SCOPED_TRACE(cap);
        int accepted = -1;
        const int handle = ConnectToSelf(port, &accepted);
        ASSERT_NE(accepted, -1);
        for (int end : {handle, accepted}) ptest::CapSocketTransfers(SocketOf(end), cap, cap);
        std::string sent;
        for (int i = 0; i < 20; ++i) {
            const std::string message = Pattern(static_cast<size_t>(1 + i * 7), static_cast<uint32_t>(i));
            ASSERT_EQ(Send(handle, message), 0);
            sent += message;
        }
        EXPECT_TRUE(Receive(accepted, static_cast<int>(sent.size())) == sent);
        ASSERT_EQ(Send(accepted, "back"), 0);
        EXPECT_EQ(Receive(handle, 4), "back");
        Locked([&] { return DisconnectSocket(handle) + DisconnectSocket(accepted); });
    }
}

TEST_F(NetDataTest, LargeTransfersBothWaysAndASendAboveTheCap) {
    qztest::ScriptedPeer peer;
    const int total = 16 << 20;
    peer.Accept().EchoFrames(total, 50'000).WaitForTest().Start();
    const int handle = Connect(peer.port());
    ASSERT_NE(handle, -1);
    const std::string data = Pattern(static_cast<size_t>(total), 3);
    std::string back;
    std::string piece(65536, '\0');
    for (int sent = 0; sent < total || static_cast<int>(back.size()) < total;) {
        if (sent < total) {
            ASSERT_EQ(Locked([&] { return NetWorkSend(handle, data.data() + sent, 65536); }), 0);
            sent += 65536;
        }
        ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(handle) > 0 || sent < total; }));
        const int waiting = Length(handle);
        if (waiting > 0) {
            const int take = waiting < 65536 ? waiting : 65536;
            ASSERT_EQ(Locked([&] { return NetWorkRecv(handle, piece.data(), take); }), 0);
            back.append(piece, 0, static_cast<size_t>(take));
        }
    }
    EXPECT_TRUE(back == data) << "16 MiB came back changed";
    peer.Release();

    // The library to itself: one send above the largest message still arrives whole.
    const int port = Listen();
    int accepted = -1;
    const int self = ConnectToSelf(port, &accepted);
    const std::string huge = Pattern(static_cast<size_t>(kMaxFrameLength) + 100, 4);
    ASSERT_EQ(Send(self, huge), 0);
    EXPECT_TRUE(Receive(accepted, static_cast<int>(huge.size())) == huge);
}

TEST_F(NetDataTest, AHundredThousandSmallMessagesFromAPeer) {
    std::mt19937 random(11);
    std::string stream, sent;
    for (int i = 0; i < 100'000; ++i) {
        const std::string message = Pattern(1 + random() % 64, static_cast<uint32_t>(i));
        stream += Frame(message);
        sent += message;
    }
    Paired paired = ConnectPaired(4100);
    ASSERT_NE(paired.handle, -1);
    paired.peer->Send(stream, 4096).Start();
    std::string got;
    std::string buffer(65536, '\0');
    const int64_t deadline = qztest::RealMilliseconds() + 4 * qztest::kPatienceMs;
    while (got.size() < sent.size() && qztest::RealMilliseconds() < deadline) {
        Pump();
        const int waiting = Length(paired.handle);
        if (waiting <= 0) continue;
        ASSERT_EQ(Locked([&] { return NetWorkRecv(paired.handle, buffer.data(), waiting); }), 0);
        got.append(buffer, 0, static_cast<size_t>(waiting));
    }
    EXPECT_TRUE(got == sent) << got.size() << " of " << sent.size() << " bytes";
}

TEST_F(NetDataTest, HostileLengthsSetTheErrorAndTheNextPumpCloses) {
    struct Case {
        uint32_t length;
        const char* logged;
    } cases[] = {
        {0xFFFFFFFFu, "(データサイズ -1 byte)"},
        {0x80000000u, "(データサイズ -2147483648 byte)"},
        {0x7F000000u, "(データサイズ 2130706432 byte)"},
        {static_cast<uint32_t>(kMaxFrameLength) + 1, "(データサイズ 67108865 byte)"},
    };
    int port = 6000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logged);
        Paired paired = ConnectPaired(++port);
        ASSERT_NE(paired.handle, -1);
        std::string header(4, '\0');
        for (int i = 0; i < 4; ++i) header[i] = static_cast<char>(c.length >> (8 * i));
        paired.peer->Send(header + "payload").WaitForTest().Start();
        const int allocated = Locked([] { return g_windowSystem.tracker.totalSize; });
        ASSERT_TRUE(PumpUntil([&] {
            const NetWorkData* data = FindNetWorkData(paired.handle);
            return data == nullptr || data->error == 1;
        }));
        EXPECT_LT(Locked([] { return g_windowSystem.tracker.totalSize; }) - allocated, 1 << 20);
        const std::string log = Log();
        EXPECT_NE(log.find("リングバッファの再確保に失敗しました(確保しようとしたサイズ "), std::string::npos);
        EXPECT_NE(log.find(std::string("受信データを保存するリングバッファのリサイズに失敗しました") + c.logged), std::string::npos);
        Pump();
        EXPECT_EQ(Locked([&] { return FindNetWorkData(paired.handle); }), nullptr);
        paired.peer->Release();
    }
}

TEST_F(NetDataTest, APartReceivedBeforeACloseOrResetStaysReadable) {
    int port = 7000;
    for (bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "reset" : "close");
        qztest::ScriptedPeer peer;
        std::string partial = Frame(Pattern(100, 5)).substr(0, 54);
        peer.Accept().Send(partial).WaitForTest();
        if (reset) {
            peer.Reset();
        } else {
            peer.Close();
        }
        peer.Start();
        ++port;
        const int handle = Connect(peer.port(), 1, 0);
        ASSERT_NE(handle, -1);
        ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(handle) == 50; }));
        peer.Release();
        ASSERT_TRUE(PumpUntil([&] { return GetNetWorkAcceptState(handle) == 0; }));
        EXPECT_EQ(Receive(handle, 50), Pattern(100, 5).substr(0, 50));
        EXPECT_EQ(Send(handle, "x"), -1) << "a connection that is down takes no data";
        Locked([&] { return DisconnectSocket(handle); });
    }
}

TEST_F(NetDataTest, FailedSendGrowthWithAMessageInFlightKeepsThatMessage) {
    qztest::ScriptedPeer peer;
    const std::string first = Pattern(16 << 20, 6), second = Pattern(10, 7);
    // The peer reads nothing until told, so the first message stays in flight.
    peer.Accept().WaitForTest().Read(static_cast<int>(4 + first.size() + 4 + second.size())).Start();
    const int handle = Connect(peer.port());
    ASSERT_NE(handle, -1);
    ASSERT_EQ(Send(handle, first), 0);
    ASSERT_GT(Locked([&] { return FindNetWorkData(handle)->sendRemainder; }), 0) << "the message is still going out";
    // More than the whole ring, so growth is needed however much more the socket buffers
    // take before the append (they grow as the connection ages).
    const int refusedSize = Locked([&] { return FindNetWorkData(handle)->sendBuffer.capacity; }) + 1;
    const std::string refused = Pattern(static_cast<size_t>(refusedSize), 8);
    const size_t logged = Log().size();
    EXPECT_EQ(Locked([&] {
                  ptest::FailCall("HeapAlloc");
                  return NetWorkSend(handle, refused.data(), refusedSize);
              }),
              -1);
    const std::string size = std::to_string(refusedSize);
    std::string missing;
    EXPECT_TRUE(InOrder(Log().substr(logged),
                        {"リングバッファの再確保に失敗しました(確保しようとしたサイズ ",
                         "リングバッファへのデータの追加に失敗しました(追加する長さ " + size + " byte)",
                         "送信データ " + size + " byte の追加に失敗しました in NewWorkSend"},
                        &missing))
        << missing;
    peer.Release();
    ASSERT_EQ(Send(handle, second), 0);
    ASSERT_TRUE(PumpUntil([&] { return GetRingBufferDataLength(&FindNetWorkData(handle)->sendBuffer) == 0; }));
    ASSERT_TRUE(peer.Finish());
    EXPECT_TRUE(peer.Received() == Frame(first) + Frame(second));
}

TEST_F(NetDataTest, RawLengthIsMinusOneThenOneThenZeroAfterTheClose) {
    qztest::ScriptedPeer peer;
    peer.Accept().WaitForTest().Send("r").WaitForTest().Close().Start();
    const int handle = Connect(peer.port(), 0);
    ASSERT_NE(handle, -1);
    EXPECT_EQ(Length(handle), -1);
    peer.Release();
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(handle) == 1; }));
    char byte = 0;
    EXPECT_EQ(Locked([&] { return NetWorkRecv(handle, &byte, 1); }), 1);
    EXPECT_EQ(byte, 'r');
    peer.Release();
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(handle) == 0; }));
}

// Tens of thousands of messages of 1 byte to 64 KiB both ways, through the echoing peer
// and the library's own pair, with and without caps: every byte arrives, and the rings,
// allocations and descriptors end where they began.
TEST_F(NetDataTest, Soak) {
    struct Case {
        const char* name;
        bool echo;
        int messages;
        int largest;
        int cap;
    } cases[] = {
        {"echo", true, 5'000, 65536, 0},
        {"pair", false, 5'000, 65536, 0},
        {"echo, capped", true, 2'500, 512, 7},
        {"pair, capped", false, 2'500, 512, 5},
    };
    const int port = Listen();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::mt19937 random(static_cast<uint32_t>(c.messages + c.cap));
        std::vector<int> sizes;
        int64_t total = 0;
        for (int i = 0; i < c.messages; ++i) {
            // Sizes spread evenly over powers of two, so small and large both come often.
            const int top = 1 << (random() % 17);
            const int size = 1 + static_cast<int>(random() % static_cast<uint32_t>(top < c.largest ? top : c.largest));
            sizes.push_back(size);
            total += size;
        }
        qztest::ScriptedPeer peer;
        int sender = -1, receiver = -1;
        if (c.echo) {
            peer.Accept().EchoFrames(total, 40'000).WaitForTest().Start();
            sender = receiver = Connect(peer.port());
        } else {
            sender = ConnectToSelf(port, &receiver);
        }
        ASSERT_NE(sender, -1);
        ASSERT_NE(receiver, -1);
        if (c.cap > 0) {
            ptest::CapSocketTransfers(SocketOf(sender), c.cap, c.cap);
            ptest::CapSocketTransfers(SocketOf(receiver), c.cap, c.cap);
        }
        const std::string source = Pattern(65536 * 2, 9);
        uint64_t sentSum = 0, gotSum = 0;
        int64_t got = 0;
        std::string buffer(65536, '\0');
        size_t next = 0;
        int64_t offset = 0;
        const int64_t deadline = qztest::RealMilliseconds() + 4 * qztest::kPatienceMs;
        while (got < total && qztest::RealMilliseconds() < deadline) {
            if (next < sizes.size()) {
                const int size = sizes[next++];
                const char* bytes = source.data() + offset % 65536;
                offset += size;
                for (int i = 0; i < size; ++i) sentSum = sentSum * 31 + static_cast<uint8_t>(bytes[i]);
                ASSERT_EQ(Locked([&] { return NetWorkSend(sender, bytes, size); }), 0);
            } else {
                Pump();
            }
            const int waiting = Length(receiver);
            if (waiting > 0) {
                const int take = waiting < 65536 ? waiting : 65536;
                ASSERT_EQ(Locked([&] { return NetWorkRecv(receiver, buffer.data(), take); }), 0);
                for (int i = 0; i < take; ++i) gotSum = gotSum * 31 + static_cast<uint8_t>(buffer[static_cast<size_t>(i)]);
                got += take;
            }
        }
        EXPECT_EQ(got, total);
        EXPECT_EQ(gotSum, sentSum);
        Locked([&] {
            EXPECT_EQ(GetRingBufferDataLength(&FindNetWorkData(receiver)->receiveBuffer), 0);
            EXPECT_EQ(GetRingBufferDataLength(&FindNetWorkData(sender)->sendBuffer), 0);
            DisconnectSocket(sender);
            if (receiver != sender) DisconnectSocket(receiver);
            return 0;
        });
        peer.Release();
    }
    Locked([] { return TerminateNetWorkSystem(); });
    EXPECT_EQ(Locked([] { return g_windowSystem.tracker.count; }), baseAllocations);
    EXPECT_EQ(qztest::CountOpenDescriptors(), baseDescriptors);
}

}  // namespace

}  // namespace QzWinNetSocket_test
