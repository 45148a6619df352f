// The network layer's start and end, connections and their events, against real peers
// on 127.0.0.1: the library itself, the scripted peer and paired connects.
#include <unistd.h>

#include <memory>
#include <vector>

#include "NetFixture.h"
#include "QzWinTime.h"
#include "QzWinWindow.h"

namespace QzWinNetWork_test {

namespace {

using NetWorkTest = NetTest;

TEST_F(NetWorkTest, StartAndEndAreLoggedAndASecondCycleUsesTheNetworkAgain) {
    int descriptorsAfterEnd = -1;
    for (int cycle = 0; cycle < 2; ++cycle) {
        SCOPED_TRACE(cycle);
        if (cycle == 1) {
            ASSERT_EQ(ApiInitializeLibrary(), 0);
            g_windowSystem.runAlways = 1;
        }
        const int port = Listen();
        ASSERT_GT(port, 0);
        int accepted = -1;
        const int handle = ConnectToSelf(port, &accepted);
        ASSERT_NE(handle, -1);
        ASSERT_NE(accepted, -1);
        ASSERT_EQ(Send(handle, "ping"), 0);
        EXPECT_EQ(Receive(accepted, 4), "ping");
        ASSERT_EQ(ApiTerminateLibrary(), 0);
        const std::string log = Log();
        std::string missing;
        EXPECT_TRUE(InOrder(log,
                            {"ネットワーク関連を初期化します\r\n", "初期化を完了しました \r\n",
                             "ネットワーク関連の終了処理を行います \r\n", "ネットワーク関連の終了処理は完了しました\r\n",
                             "Total size:0(0.000kb)  Alloc num:0"},
                            &missing))
            << missing;
        EXPECT_EQ(ptest::GetOpenSockets(), 0);
        EXPECT_EQ(ptest::GetWinSockStartups(), 0);
        // The first cycle may leave what the platform opens once for the process; the
        // second leaves nothing more.
        if (cycle == 0) descriptorsAfterEnd = qztest::CountOpenDescriptors();
        EXPECT_EQ(qztest::CountOpenDescriptors(), descriptorsAfterEnd);
    }
}

TEST_F(NetWorkTest, BeforeTheStartEveryCallAnswersAsUnstarted) {
    Locked([] {
        EXPECT_EQ(DisconnectSocket(0x48000000), -1);
        EXPECT_EQ(GetNetWorkAcceptState(0x48000000), -1);
        EXPECT_EQ(AcceptNetWork(), -1);
        char byte;
        EXPECT_EQ(NetWorkRecv(0x48000000, &byte, 1), -1);
        EXPECT_EQ(NetWorkSend(0x48000000, &byte, 1), -1);
        EXPECT_EQ(GetNetWorkDataLength(0x48000000), -1);
        EXPECT_EQ(PumpNetWorkMessages(1), 0);
        EXPECT_EQ(TerminateNetWorkSystem(), 0);
        EXPECT_EQ(HandleSocketEvent(nullptr, kNetWorkMessage, 5, FD_READ), 0);
        return 0;
    });
    EXPECT_NE(Log().find("通信エラー No.1\r\n"), std::string::npos);
    EXPECT_EQ(g_netWork.started, 0);
    Locked([] {
        SetNetWorkFramingFlag(1);
        EXPECT_EQ(GetNetWorkFramingOffFlag(), 0);
        SetNetWorkAutoCloseFlag(0);
        EXPECT_EQ(GetNetWorkAutoCloseOffFlag(), 1);
        SetNetWorkAutoCloseFlag(1);
        return 0;
    });
}

TEST_F(NetWorkTest, FailedStartsAreLoggedAndTheNextStartRetries) {
    struct Case {
        const char* fault;
        const char* logged;
    } cases[] = {
        {"WSAStartup", "WinSock.DLLが導入されていません\r\n"},
        {"WSAStartup:2.2", "Winsock.DLLのバージョンが違います\r\n"},
        {"RegisterClassExA", "ネットワーク処理用の子ウインドウクラスの登録に失敗しました\r\n"},
        {"CreateWindowExA", "ネットワーク処理用の子ウインドウの作成に失敗しました\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        ptest::FailCall(c.fault);
        EXPECT_EQ(Locked([] { return ConnectSocket(static_cast<int>(Loopback()), 1); }), -1);
        EXPECT_EQ(g_netWork.started, 0);
        EXPECT_NE(Log().find(c.logged), std::string::npos);
        if (std::string(c.fault) == "WSAStartup:2.2") {
            EXPECT_EQ(ptest::GetWinSockStartups(), 0) << "a wrong version is cleaned up";
        }
        ptest::ClearFaults();
        // The next start tries again, however far the last one got.
        ASSERT_EQ(Locked([] { return InitializeNetWorkSystem(nullptr); }), 0);
        Locked([] { return TerminateNetWorkSystem(); });
    }
    EXPECT_EQ(ptest::GetWinSockStartups(), 0);
}

TEST_F(NetWorkTest, NoLazyStartOnceTheCloseMessageIsOut) {
    g_windowSystem.closePosted = 1;
    uint8_t address[4];
    EXPECT_EQ(Locked([&] { return ResolveHostAddress("127.0.0.1", address); }), -1);
    EXPECT_EQ(Locked([] { return ConnectSocket(static_cast<int>(Loopback()), 1); }), -1);
    EXPECT_EQ(g_netWork.started, 0);
    g_windowSystem.closePosted = 0;
}

TEST_F(NetWorkTest, DefaultPortSharedFramedConnectionAndSeparateRawOnes) {
    if (Listen(kDefaultNetWorkPort) != kDefaultNetWorkPort) GTEST_SKIP() << "port 10001 is taken on this machine";
    const int framed = Locked([] { return ConnectSocket(static_cast<int>(Loopback()), -1); });
    ASSERT_NE(framed, -1);
    EXPECT_EQ(Locked([] { return ConnectSocket(static_cast<int>(Loopback()), -1); }), framed);
    const int raw1 = Connect(kDefaultNetWorkPort, 0);
    const int raw2 = Connect(kDefaultNetWorkPort, 0);
    ASSERT_NE(raw1, -1);
    ASSERT_NE(raw2, -1);
    EXPECT_NE(raw1, framed);
    EXPECT_NE(raw2, raw1);
    EXPECT_NE(SocketOf(raw1), SocketOf(raw2));
    // A framed request never takes a raw connection either.
    EXPECT_EQ(Locked([] { return FindNetWorkData(ConnectSocket(static_cast<int>(Loopback()), -1))->framing; }), 1);
}

TEST_F(NetWorkTest, RefusedConnectFailsAfterTheTimeOutAndAnImmediateErrorAtOnce) {
    int closedPort = 0;
    {
        qztest::ScriptedPeer gone;
        closedPort = gone.port();
    }
    const int start = Locked([] { return GetMillisecondTime(0); });
    EXPECT_EQ(Connect(closedPort), -1);
    const int waited = Locked([] { return GetMillisecondTime(0); }) - start;
    EXPECT_GE(waited, 2000);
    EXPECT_NE(Log().find("ネットワークログ。127.0.0.1 への接続に失敗しました。\r\n["), std::string::npos);

    ptest::FailCall("connect");
    const int before = Locked([] { return GetMillisecondTime(0); });
    EXPECT_EQ(Connect(closedPort), -1);
    EXPECT_LT(Locked([] { return GetMillisecondTime(0); }) - before, 100);
    for (const char* fault : {"socket", "WSAAsyncSelect"}) {
        SCOPED_TRACE(fault);
        ptest::FailCall(fault);
        EXPECT_EQ(Connect(closedPort), -1);
    }
    const std::string log = Log();
    EXPECT_NE(log.find("WINSOCK.DLLが動作していません、ソケットの作成に失敗しました"), std::string::npos);
    EXPECT_NE(log.find("WSAAsyncSelectでエラーが発生しました"), std::string::npos);
    EXPECT_EQ(Locked([] { return g_netWork.listFirst.next; }), &g_netWork.listLast) << "no trace in the list";
    EXPECT_EQ(ptest::GetOpenSockets(), 0);
}

TEST_F(NetWorkTest, PeerCloseIsReportedThenClosedByTheNextPumpUnlessAutoCloseIsOff) {
    for (int autoClose : {1, 0}) {
        SCOPED_TRACE(autoClose);
        qztest::ScriptedPeer peer;
        peer.Accept().WaitForTest().Close().Start();
        const int handle = Connect(peer.port(), 1, autoClose);
        ASSERT_NE(handle, -1);
        EXPECT_EQ(Locked([&] { return GetNetWorkAcceptState(handle); }), 1);
        peer.Release();
        ASSERT_TRUE(PumpUntil([&] { return GetNetWorkAcceptState(handle) == 0; }));
        Pump(2);
        const size_t logged = Log().size();
        if (autoClose) {
            EXPECT_EQ(Locked([&] { return FindNetWorkData(handle); }), nullptr);
            EXPECT_EQ(Locked([&] { return GetNetWorkAcceptState(handle); }), -1);
            EXPECT_EQ(Log().size(), logged) << "an empty slot is refused without a line";
        } else {
            EXPECT_EQ(Locked([&] { return GetNetWorkAcceptState(handle); }), 0);
            EXPECT_EQ(Locked([&] { return DisconnectSocket(handle); }), 0);
        }
    }
}

TEST_F(NetWorkTest, CheckNumbersWrapAfter2048Records) {
    std::vector<int> handles;
    for (int cycle = 0; cycle < 2049; ++cycle) {
        const int peerEnd = ptest::PairNextConnect("127.0.0.1", 4000);
        ASSERT_GE(peerEnd, 0);
        qztest::ScriptedPeer peer(qztest::ScriptedPeer::Descriptor{peerEnd});
        const int handle = Connect(4000);
        ASSERT_NE(handle, -1) << cycle;
        handles.push_back(handle);
        ASSERT_EQ(Locked([&] { return DisconnectSocket(handle); }), 0);
    }
    EXPECT_EQ(handles[0] & 0xFFFF, 0);
    EXPECT_EQ((handles[1] >> 16) & 0x7FF, ((handles[0] >> 16) + 1) & 0x7FF);
    EXPECT_EQ(handles[2048], handles[0]) << "slot and check number come round again";
    EXPECT_EQ(ptest::GetOpenSockets(), 0);
}

TEST_F(NetWorkTest, AFullTableRefusesTheNextConnectAndAnIncomingOne) {
    int hard = 0;
    if (!qztest::RaiseDescriptorLimit(8400, &hard)) GTEST_SKIP() << "the hard descriptor limit is " << hard;
    const int port = Listen();
    std::vector<int> peerEnds;
    // Raw, so no connection is shared; paired, so no port or TIME_WAIT is used up.
    for (int i = 0; i < kNetWorkSlots; ++i) {
        peerEnds.push_back(ptest::PairNextConnect("127.0.0.1", 20000 + i));
        ASSERT_NE(Connect(20000 + i, 0), -1) << i;
    }
    EXPECT_EQ(Connect(30000, 0), -1);
    EXPECT_NE(Log().find("ソケットに空きがありません\r\n"), std::string::npos);
    qztest::ScriptedPeer incoming;
    incoming.ConnectTo(port).Start();
    ASSERT_TRUE(PumpUntil([&] { return Log().find("空きソケットデータがなかったので accept を拒否しました \r\n") != std::string::npos; }));
    for (int fd : peerEnds) close(fd);
}

TEST_F(NetWorkTest, AcceptedConnectionsAreGivenOnceInTheirOrderWithThePeersAddress) {
    EXPECT_EQ(Locked([] { return GetNextAcceptedNetWork(); }), -1) << "before the start";
    const int port = Listen();
    qztest::ScriptedPeer first, second;
    first.ConnectTo(port).WaitForTest().Start();
    // The second connects only once the first was accepted, so the order is known.
    ASSERT_TRUE(PumpUntil([] { return g_netWork.table[0] != nullptr; }));
    second.ConnectTo(port).WaitForTest().Start();
    ASSERT_TRUE(PumpUntil([] { return g_netWork.table[1] != nullptr; }));
    const int a = Locked([] { return GetNextAcceptedNetWork(); });
    const int b = Locked([] { return GetNextAcceptedNetWork(); });
    EXPECT_EQ(Locked([] { return GetNextAcceptedNetWork(); }), -1) << "each is given once";
    first.Release();
    second.Release();
    ASSERT_TRUE(first.Finish());
    ASSERT_TRUE(second.Finish());
    Locked([&] {
        const NetWorkData* data = FindNetWorkData(a);
        EXPECT_NE(data, nullptr);
        if (data == nullptr) return 0;
        EXPECT_EQ(data->connected, 1);
        EXPECT_EQ(data->address[0], 127);
        EXPECT_EQ(data->address[3], 1);
        EXPECT_EQ(ntohs(static_cast<u_short>(data->port)), first.LocalPort());
        const NetWorkData* later = FindNetWorkData(b);
        EXPECT_NE(later, nullptr);
        if (later != nullptr) {
            EXPECT_EQ(ntohs(static_cast<u_short>(later->port)), second.LocalPort());
        }
        return 0;
    });
}

TEST_F(NetWorkTest, HostsResolveThroughTheTable) {
    ptest::SetResolverTable({{"game.example", "10.1.2.3"}, {"v6.example", ""}, {"loop.example", "127.0.0.1"}});
    struct Case {
        const char* name;
        int result;
        uint8_t address[4];
    } cases[] = {
        {"game.example", 0, {10, 1, 2, 3}},
        {"GAME.example", 0, {10, 1, 2, 3}},
        {"127.0.0.1", 0, {127, 0, 0, 1}},  // a dotted address goes through its reverse entry
        {"10.9.9.9", -1, {}},              // and fails without one
        {"v6.example", -2, {}},
        {"missing.example", -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint8_t address[4] = {};
        EXPECT_EQ(Locked([&] { return ResolveHostAddress(c.name, address); }), c.result);
        if (c.result == 0) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(address), 4), std::string(reinterpret_cast<const char*>(c.address), 4));
        }
    }
}

TEST_F(NetWorkTest, TheMessageThreadClosesALostConnection) {
    qztest::ScriptedPeer peer;
    peer.Accept().WaitForTest().Close().Start();
    const int handle = Connect(peer.port());
    ASSERT_NE(handle, -1);
    peer.Release();
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkAcceptState(handle) == 0; }));
    // From here only the message thread's ProcessMessage runs.
    const int64_t deadline = qztest::RealMilliseconds() + qztest::kPatienceMs;
    while (Locked([&] { return FindNetWorkData(handle) != nullptr; }) && qztest::RealMilliseconds() < deadline) {
    }
    EXPECT_EQ(Locked([&] { return FindNetWorkData(handle); }), nullptr);
}

// Ten peers each send half a message and close: the pass of the pump that closes them
// waits for none, since each socket has reported its end. In the fast clock every clock
// read is 0.1 ms, so a pass's time counts its waiting on any machine.
TEST_F(NetWorkTest, PeersGoneInTheMiddleOfAMessageAreClosedWithoutWaiting) {
    ptest::SetFastClockReadStep(100);
    const int port = Listen();
    std::vector<std::unique_ptr<qztest::ScriptedPeer>> peers;
    for (int i = 0; i < 10; ++i) {
        peers.push_back(std::make_unique<qztest::ScriptedPeer>());
        peers.back()->ConnectTo(port).Send(Frame(Pattern(1000, static_cast<uint32_t>(i))).substr(0, 504)).Close().Start();
    }
    // Every one accepted, its half message taken and its end seen.
    std::vector<int> handles;
    ASSERT_TRUE(PumpUntil([&] {
        for (int handle; (handle = GetNextAcceptedNetWork()) != -1;) handles.push_back(handle);
        if (handles.size() < 10) return false;
        for (int handle : handles) {
            const NetWorkData* data = FindNetWorkData(handle);
            if (data == nullptr || GetNetWorkDataLength(handle) != 500 || data->connected != 0) return false;
        }
        return true;
    }));
    // The losses are reported and the next pass closes them, with no other pass between.
    const uint32_t spent = Locked([&] {
        for (int handle : handles) EXPECT_EQ(GetNetWorkAcceptState(handle), 0);
        const int start = GetMillisecondTime(0);
        ProcessMessage();
        return MillisecondsSince(start);
    });
    EXPECT_LT(spent, 50u);
    for (int handle : handles) EXPECT_EQ(Locked([&] { return FindNetWorkData(handle); }), nullptr);
}

// A peer that resets while messages wait to go out to it: nothing can go any more, so the
// close does not wait out the send flush's second either.
TEST_F(NetWorkTest, QueuedDataForAPeerThatResetIsDroppedWithoutWaiting) {
    ptest::SetFastClockReadStep(100);
    qztest::ScriptedPeer peer;
    peer.Accept().WaitForTest().Reset().Start();
    const int handle = Connect(peer.port(), 1, 0);
    ASSERT_NE(handle, -1);
    auto queued = [&] { return Locked([&] { return GetRingBufferDataLength(&FindNetWorkData(handle)->sendBuffer); }); };
    for (int messages = 0; queued() == 0; ++messages) {
        ASSERT_LT(messages, 1024) << "the socket buffers never filled";
        ASSERT_EQ(Send(handle, Pattern(65536, static_cast<uint32_t>(messages))), 0);
    }
    peer.Release();
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkAcceptState(handle) == 0; }));
    const uint32_t spent = Locked([&] {
        const int start = GetMillisecondTime(0);
        EXPECT_EQ(DisconnectSocket(handle), 0);
        return MillisecondsSince(start);
    });
    EXPECT_LT(spent, 50u);
}

// The connect and flush waits measure time across the clock's sign bit (25 days of
// uptime) as at any other time: a refused connect waits its 2 s, and a half message from
// a peer that is still there gets its second.
TEST_F(NetWorkTest, WaitsKeepTheirLengthAcrossTheClocksSignBit) {
    const uint64_t signBit = uint64_t{1} << 31;  // in milliseconds
    int closedPort = 0;
    {
        qztest::ScriptedPeer gone;
        closedPort = gone.port();
    }
    ptest::SetFastClockMicroseconds((signBit - 500) * 1000);
    int start = Locked([] { return GetMillisecondTime(0); });
    EXPECT_EQ(Connect(closedPort), -1);
    uint32_t waited = Locked([&] { return MillisecondsSince(start); });
    EXPECT_GE(waited, 2000u);
    EXPECT_LT(waited, 2500u);

    Paired paired = ConnectPaired(4200);
    ASSERT_NE(paired.handle, -1);
    paired.peer->Send(Frame(Pattern(1000, 42)).substr(0, 504)).WaitForTest().Start();
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(paired.handle) == 500; }));
    ptest::SetFastClockMicroseconds((signBit - 300) * 1000);
    waited = Locked([&] {
        start = GetMillisecondTime(0);
        EXPECT_EQ(DisconnectSocket(paired.handle), 0);
        return MillisecondsSince(start);
    });
    EXPECT_GE(waited, 1000u);
    EXPECT_LT(waited, 1500u);
    paired.peer->Release();
}

TEST_F(NetWorkTest, DisconnectSendsQueuedDataFirstAndLeavesNothing) {
    qztest::ScriptedPeer peer;
    peer.Accept().WaitForTest().ReadToEnd().Start();
    const int handle = Connect(peer.port());
    ASSERT_NE(handle, -1);
    auto queued = [&] { return Locked([&] { return GetRingBufferDataLength(&FindNetWorkData(handle)->sendBuffer); }); };
    // The peer reads nothing yet: messages go out until the socket buffers are full and
    // the tail of the last one waits in the send queue.
    std::string wire;
    int messages = 0;
    while (queued() == 0) {
        ASSERT_LT(messages, 1024) << "the socket buffers never filled";
        const std::string message = Pattern(65536, static_cast<uint32_t>(messages++));
        ASSERT_EQ(Send(handle, message), 0);
        wire += Frame(message);
    }
    ASSERT_GE(messages, 3) << "the socket buffers took less than two messages";
    // The peer then empties the socket buffers; with nobody pumping, the library adds
    // nothing to them. The queue, at most one message, fits them again at once, so the
    // flush never waits for the peer's thread, however loaded the machine.
    const int64_t out = static_cast<int64_t>(wire.size()) - queued() -
                        Locked([&] { return FindNetWorkData(handle)->headerRemainder; });
    peer.Release();
    const int64_t deadline = qztest::RealMilliseconds() + qztest::kPatienceMs;
    while (static_cast<int64_t>(peer.ReceivedSize()) < out && qztest::RealMilliseconds() < deadline) {
    }
    ASSERT_EQ(static_cast<int64_t>(peer.ReceivedSize()), out);
    EXPECT_GT(queued(), 0);
    ASSERT_EQ(Locked([&] { return DisconnectSocket(handle); }), 0);
    ASSERT_TRUE(peer.Finish());
    EXPECT_TRUE(peer.Received() == wire) << peer.Received().size() << " of " << wire.size();
    Pump(3);
    EXPECT_EQ(Log().find("通信エラー No.1"), std::string::npos);
    EXPECT_EQ(ptest::GetOpenSockets(), 0);
    EXPECT_EQ(Locked([] { return g_windowSystem.tracker.count; }), baseAllocations);
}

}  // namespace

}  // namespace QzWinNetWork_test
