// HTTP transfers against python3's http.server and the scripted peer as a server: request
// bytes, bodies to memory and to files, every way a response can go wrong, and the
// slot table. Transfers advance only through ProcessMessage.
#include <dirent.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>

#include "NetFixture.h"
#include "QzWinMemory.h"
#include "QzWinNetHttp.h"
#include "QzWinNetUrl.h"

namespace QzWinNetHttp_test {

namespace {

class HttpTest : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        // 127.0.0.1 is looked up in reverse; the table answers it, not the machine.
        ptest::SetResolverTable({{"localhost", "127.0.0.1"}, {"v6.example", ""}});
    }

    struct Result {
        int state = -9;
        int error = -9;
        int size = -9;
        int received = -9;
    };
    // The transfer as a caller reads it (all -9 for a slot without one). Lock held.
    static Result StatusOf(int slot) {
        HttpDownloadStatus status;
        if (GetHttpDownloadStatus(slot, &status) != 0) return Result{};
        return Result{status.state, status.error, status.size, status.received};
    }

    static int Start(int method, const std::string& url, const char* file, void** memory, const std::string& body = "") {
        return Locked([&] {
            return StartHttpDownload(method, url.c_str(), 0, file, memory, body.data(), static_cast<int>(body.size()));
        });
    }
    // Pumps until the transfer ends (bounded in real time).
    static Result Run(int slot) {
        PumpUntil([&] { return StatusOf(slot).state != -1; });
        return Locked([&] { return StatusOf(slot); });
    }
    static void Close(int slot) {
        Locked([&] { return CloseHttpDownload(slot); });
    }
    static void Free(void* block) {
        Locked([&] { return FreeMemory(block); });
    }
    static std::string Url(int port, const std::string& path) { return "http://127.0.0.1:" + std::to_string(port) + path; }
    // Names in the folder that end in ".part": a download's file that outlived it.
    static std::vector<std::string> PartFiles(const std::string& folder) {
        std::vector<std::string> found;
        DIR* listing = opendir(folder.c_str());
        while (dirent* entry = listing != nullptr ? readdir(listing) : nullptr) {
            const std::string name = entry->d_name;
            if (name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0) found.push_back(name);
        }
        if (listing != nullptr) closedir(listing);
        return found;
    }
    static std::string Crc(const std::string& bytes) {
        char text[16];
        std::snprintf(text, sizeof text, "%08lx",
                      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
        return text;
    }
};

// Uncapped and through sockets that take 5 bytes a call: the rest of a request goes out in
// the next passes, before the reply is read.
TEST_F(HttpTest, RequestsGoOutByteForByteDirectAndThroughAProxy) {
    qztest::ScriptedPeer server;
    const std::string ok = "HTTP/1.0 200 OK\r\nContent-Length: 7\r\n\r\na=1&b=2";
    for (int i = 0; i < 8; ++i) server.ServeHttp(ok);
    server.Start();
    const std::string port = std::to_string(server.port());
    struct Case {
        const char* name;
        int method;
        std::string url;
        bool proxy;
        std::string request;
    } cases[] = {
        {"GET", kHttpGet, Url(server.port(), "/a b"), false,
         "GET /a+b HTTP/1.0\r\nHost: 127.0.0.1:" + port + "\r\nConnection: close\r\n\r\n"},
        {"POST", kHttpPost, Url(server.port(), "/form"), false,
         "POST /form HTTP/1.0\nHost: 127.0.0.1:" + port + "\nContent-Length: 7\n\na=1&b=2"},
        {"HEAD", kHttpHead, Url(server.port(), "/x"), false, "HEAD /x HTTP/1.0\n\n"},
        {"GET by proxy", kHttpGet, "http://h:8080/a b", true,
         "GET http://h:8080/a+b HTTP/1.0\r\nHost: 127.0.0.1:" + port + "\r\nConnection: close\r\n\r\n"},
    };
    std::strcpy(g_httpProxy.hostName, "127.0.0.1");
    g_httpProxy.port = server.port();
    for (int i = 0; i < 8; ++i) {
        const Case& c = cases[i % 4];
        const int cap = i < 4 ? 0 : 5;
        SCOPED_TRACE(c.name + std::string(cap ? ", 5 bytes a send" : ""));
        void* block = nullptr;
        const int slot = Locked([&] {
            const int started = StartHttpDownload(c.method, c.url.c_str(), c.proxy ? 1 : 0, nullptr, &block, "a=1&b=2", 7);
            if (started != -1 && cap) ptest::CapSocketTransfers(FindNetWorkData(g_http.table[started]->connection)->socket, cap, 0);
            return started;
        });
        ASSERT_NE(slot, -1);
        const Result r = Run(slot);
        EXPECT_EQ(r.state, 0);
        EXPECT_EQ(r.size, 7);
        if (c.method != kHttpHead) {
            EXPECT_NE(block, nullptr);
            if (block != nullptr) {
                EXPECT_EQ(std::string(static_cast<char*>(block), 7), "a=1&b=2") << "the POST body echoed";
            }
        }
        Close(slot);
        Free(block);
    }
    ASSERT_TRUE(server.Finish());
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 8u);
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(requests[i], cases[i % 4].request) << cases[i % 4].name;
}

TEST_F(HttpTest, AnEightMegabytePostReachesTheServerWhole) {
    qztest::HttpServerProcess server(dir.path());
    ASSERT_EQ(server.error(), "");
    const std::string body = Pattern(8 << 20, 28);
    void* block = nullptr;
    const int slot = Start(kHttpPost, Url(server.port(), "/digest"), nullptr, &block, body);
    ASSERT_NE(slot, -1);
    const Result r = Run(slot);
    EXPECT_EQ(r.state, 0);
    const std::string expected = std::to_string(body.size()) + " " + Crc(body);
    ASSERT_EQ(r.size, static_cast<int>(expected.size()));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(static_cast<char*>(block), expected.size()), expected) << "the server's count and digest";
    Close(slot);
    Free(block);
}

TEST_F(HttpTest, FilesFromHttpServerToMemoryAndToAFile) {
    qztest::TempDir served;  // made current, so the file output lands here
    const std::vector<size_t> sizes = {0, 1, 4096, 4097, 16384, 16385, 3 << 20};
    for (size_t size : sizes) qztest::WriteWholeFile(served.file("f" + std::to_string(size)), Pattern(size, static_cast<uint32_t>(size)));
    qztest::HttpServerProcess server(served.path());
    ASSERT_EQ(server.error(), "");
    for (size_t size : sizes) {
        SCOPED_TRACE(size);
        const std::string url = Url(server.port(), "/f" + std::to_string(size));
        const std::string expected = Pattern(size, static_cast<uint32_t>(size));
        void* block = nullptr;
        int slot = Start(kHttpGet, url, nullptr, &block);
        Result r = Run(slot);
        EXPECT_EQ(r.state, 0);
        EXPECT_EQ(r.received, static_cast<int>(size));
        ASSERT_NE(block, nullptr);
        EXPECT_TRUE(std::string(static_cast<char*>(block), size) == expected);
        Close(slot);
        Free(block);

        slot = Start(kHttpGet, url, "got.bin", nullptr);
        r = Run(slot);
        EXPECT_EQ(r.state, 0);
        EXPECT_EQ(r.received, static_cast<int>(size));
        Close(slot);
        EXPECT_TRUE(qztest::ReadWholeFile(served.file("got.bin")) == expected);  // the current folder

        slot = Start(kHttpHead, url, nullptr, &block);
        r = Run(slot);
        EXPECT_EQ(r.state, 0);
        EXPECT_EQ(r.size, static_cast<int>(size));
        Close(slot);
    }
    void* block = nullptr;
    const int slot = Start(kHttpGet, Url(server.port(), "/missing"), nullptr, &block);
    const Result r = Run(slot);
    EXPECT_EQ(r.state, 2);
    EXPECT_EQ(r.error, 1);
    EXPECT_EQ(block, nullptr);
    Close(slot);
}

TEST_F(HttpTest, EveryResponseEndsAsItShould) {
    const std::string ok = "HTTP/1.0 200 OK\r\n";
    struct Case {
        const char* name;
        std::string response;
        int method;
        bool toFile;
        int state, error;
        std::string body;  // what the caller gets when the state is 0
    } cases[] = {
        {"500", "HTTP/1.0 500 Internal Server Error\r\n\r\n", kHttpGet, false, 2, 0, ""},
        {"302", "HTTP/1.0 302 Found\r\nLocation: /x\r\n\r\n", kHttpGet, true, 2, 0, ""},
        {"lower-case length to a file", ok + "content-length: 10\r\n\r\n0123456789", kHttpGet, true, 0, -1, "0123456789"},
        {"unspaced length to a file", ok + "Content-Length:10\r\n\r\n0123456789", kHttpGet, true, 0, -1, "0123456789"},
        {"POST to a file without a length", ok + "\r\n0123456789", kHttpPost, true, 0, -1, "0123456789"},
        {"memory without a length", ok + "\r\n0123456789", kHttpGet, false, 2, 3, ""},
        {"HEAD without a length", ok + "Server: x\r\n\r\n", kHttpHead, false, 2, 3, ""},
        {"short body", ok + "Content-Length: 10\r\n\r\n01234", kHttpGet, false, 2, 3, ""},
        {"long body to memory", ok + "Content-Length: 4\r\n\r\n0123456789", kHttpGet, false, 0, -1, "0123"},
        {"long body to a file", ok + "Content-Length: 4\r\n\r\n0123456789", kHttpGet, true, 0, -1, "0123"},
        {"length -5", ok + "Content-Length: -5\r\n\r\nx", kHttpGet, false, 2, 0, ""},
        {"length 99999999999", ok + "Content-Length: 99999999999\r\n\r\nx", kHttpGet, false, 2, 0, ""},
        {"length 4294967301", ok + "Content-Length: 4294967301\r\n\r\nx", kHttpGet, true, 2, 0, ""},
        {"length abc", ok + "Content-Length: abc\r\n\r\nx", kHttpGet, false, 2, 0, ""},
        {"a block the allocator refuses", ok + "Content-Length: 2147483647\r\n\r\nx", kHttpGet, false, 2, 2, ""},
        {"two length lines", ok + "Content-Length: 3\r\nContent-Length: 5\r\n\r\nabc", kHttpGet, false, 0, -1, "abc"},
        {"a 300-byte line", ok + "X-Long: " + std::string(300, 'a') + "\r\n\r\n", kHttpGet, false, 2, 0, ""},
        {"a line feed after 0x82", ok + "X: \x82\nContent-Length: 2\r\n\r\nok", kHttpGet, false, 0, -1, "ok"},
        {"a line cut by the close", ok + "Content-Len", kHttpGet, true, 2, 3, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qztest::ScriptedPeer server;
        server.ServeHttp(c.response).Start();
        void* block = nullptr;
        const int slot = Locked([&] {
            return StartHttpDownload(c.method, Url(server.port(), "/r").c_str(), 0, c.toFile ? "out.bin" : nullptr,
                                     c.toFile ? nullptr : &block, "p", 1);
        });
        ASSERT_NE(slot, -1);
        const Result r = Run(slot);
        EXPECT_EQ(r.state, c.state);
        EXPECT_EQ(r.error, c.error);
        if (c.state == 0 && c.toFile) {
            EXPECT_EQ(qztest::ReadWholeFile(dir.file("out.bin")), c.body);
        } else if (c.state == 0 && c.method != kHttpHead) {
            ASSERT_NE(block, nullptr);
            EXPECT_EQ(std::string(static_cast<char*>(block), c.body.size()), c.body);
        } else {
            EXPECT_EQ(block, nullptr);
        }
        Close(slot);
        Free(block);
    }
    EXPECT_EQ(Locked([] { return g_windowSystem.tracker.count; }), baseAllocations + 0) << "no block was left behind";
}

TEST_F(HttpTest, AStalledServerLeavesTheTransferRunningWithoutHoldingThePump) {
    qztest::ScriptedPeer server;
    const std::string half = "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n01234";
    server.ServeHttp(half, 0, true).ServeHttp(half, 0, true).Start();
    void* block = nullptr;
    int slot = Start(kHttpGet, Url(server.port(), "/s"), nullptr, &block);
    ASSERT_TRUE(PumpUntil([&] { return StatusOf(slot).received == 5; }));
    Pump(50);
    EXPECT_EQ(Locked([&] { return StatusOf(slot).state; }), -1);
    // Closing a running transfer gives state 0 and leaves the partly filled block.
    Close(slot);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(static_cast<char*>(block), 5), "01234");
    Free(block);
    server.Release();

    // To a file, the cut-off body goes with its file and the target keeps its bytes.
    qztest::WriteWholeFile(dir.file("kept.bin"), "earlier");
    slot = Start(kHttpGet, Url(server.port(), "/s"), "kept.bin", nullptr);
    ASSERT_TRUE(PumpUntil([&] { return StatusOf(slot).received == 5; }));
    Close(slot);
    EXPECT_EQ(qztest::ReadWholeFile(dir.file("kept.bin")), "earlier");
    EXPECT_EQ(PartFiles(dir.path()), std::vector<std::string>{});
    server.Release();
}

// A body of unknown length is whole only after the peer's orderly close; one ended by a
// reset fails as a lost connection, after any number of bytes.
TEST_F(HttpTest, ABodyEndedByAResetFails) {
    qztest::HttpServerProcess server(dir.path());
    ASSERT_EQ(server.error(), "");
    for (int bytes : {0, 1000, 300'000}) {
        SCOPED_TRACE(bytes);
        const int slot = Start(kHttpGet, Url(server.port(), "/reset/" + std::to_string(bytes)), "reset.bin", nullptr);
        ASSERT_NE(slot, -1);
        const Result r = Run(slot);
        EXPECT_EQ(r.state, 2);
        EXPECT_EQ(r.error, 3);
        Close(slot);
    }
    EXPECT_EQ(qztest::ReadWholeFile(dir.file("reset.bin")), "") << "no file was made";
}

// A file download replaces its target only with a whole body: every other end leaves the
// earlier file as it was, and no file of the download's own stays behind.
TEST_F(HttpTest, AFailedDownloadLeavesTheFileItWasToReplace) {
    qztest::TempDir served;
    qztest::WriteWholeFile(served.file("new.bin"), Pattern(100'000, 30));
    qztest::HttpServerProcess server(served.path());
    ASSERT_EQ(server.error(), "");
    struct Case {
        const char* name;
        int method;
        std::string path;
        const char* fault;
        int state, error;
        std::string after;  // the target's bytes afterwards
    } cases[] = {
        {"404", kHttpGet, "/missing", nullptr, 2, 1, "earlier"},
        {"reset", kHttpGet, "/reset/100000", nullptr, 2, 3, "earlier"},
        {"whole body", kHttpGet, "/new.bin", nullptr, 0, -1, Pattern(100'000, 30)},
        {"target cannot be replaced", kHttpGet, "/new.bin", "MoveFileExA", 2, 4, "earlier"},
        {"HEAD, which has no body", kHttpHead, "/new.bin", nullptr, 0, -1, "earlier"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qztest::WriteWholeFile(served.file("target.bin"), "earlier");
        const int slot = Start(c.method, Url(server.port(), c.path), "target.bin", nullptr);
        ASSERT_NE(slot, -1);
        if (c.fault != nullptr) ptest::FailCall(c.fault);
        const Result r = Run(slot);
        ptest::ClearFaults();
        EXPECT_EQ(r.state, c.state);
        EXPECT_EQ(r.error, c.error);
        EXPECT_TRUE(qztest::ReadWholeFile(served.file("target.bin")) == c.after);
        EXPECT_EQ(PartFiles(served.path()), std::vector<std::string>{});
        Close(slot);
    }
}

// However fast the server, one pass of the upkeep takes at most kMaxCallsPerPass pieces of
// a body: a count of bytes, so the bound holds on any machine, at any speed.
TEST_F(HttpTest, A64MegabyteBodyComesInBoundedPassesWhole) {
    qztest::TempDir served;
    // Every 4-byte word differs, so a piece out of place shows in the digest.
    std::string body(64 << 20, '\0');
    for (size_t i = 0; i < body.size() / 4; ++i) {
        const uint32_t word = static_cast<uint32_t>(i) * 2654435761u;
        std::memcpy(&body[i * 4], &word, 4);
    }
    qztest::WriteWholeFile(served.file("big.bin"), body);
    qztest::HttpServerProcess server(served.path());
    ASSERT_EQ(server.error(), "");
    for (bool toFile : {true, false}) {
        SCOPED_TRACE(toFile ? "to a file" : "to memory");
        void* block = nullptr;
        const int perPass = kMaxCallsPerPass * kHttpBodyPiece;
        // Every pass is the test's own: the message thread waits for the lock throughout.
        const auto [r, largest] = Locked([&] {
            const int slot = StartHttpDownload(kHttpGet, Url(server.port(), "/big.bin").c_str(), 0,
                                               toFile ? "got.bin" : nullptr, toFile ? nullptr : &block, nullptr, 0);
            int most = 0;
            const int64_t deadline = qztest::RealMilliseconds() + 4 * qztest::kPatienceMs;
            while (StatusOf(slot).state == -1 && qztest::RealMilliseconds() < deadline) {
                const int before = StatusOf(slot).received;
                ProcessMessage();
                const int taken = StatusOf(slot).received - before;
                if (taken > most) most = taken;
            }
            const Result result = StatusOf(slot);
            CloseHttpDownload(slot);
            return std::make_pair(result, most);
        });
        EXPECT_EQ(r.state, 0);
        EXPECT_EQ(r.received, static_cast<int>(body.size()));
        EXPECT_LE(largest, perPass);
        const std::string got = toFile ? qztest::ReadWholeFile(served.file("got.bin"))
                                       : std::string(static_cast<char*>(block), block != nullptr ? body.size() : 0);
        EXPECT_EQ(Crc(got), Crc(body));
        Free(block);
    }
}

TEST_F(HttpTest, WriteFailuresAndAnInvalidHandleEndTheTransfer) {
    for (const char* fault : {"WriteFile", "WriteFileShort", "invalid handle"}) {
        SCOPED_TRACE(fault);
        const bool invalid = std::string(fault) == "invalid handle";
        qztest::ScriptedPeer server;
        server.AnswerHttp("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n").WaitForTest().Send(std::string(100, 'b'));
        server.WaitForTest().Close().Start();
        const int slot = Start(kHttpGet, Url(server.port(), "/w"), "w.bin", nullptr);
        ASSERT_NE(slot, -1);
        // Under the lock throughout, so the message thread's pump cannot take the body first.
        const Result r = Locked([&] {
            HttpDownloadData* d = g_http.table[slot];
            const int64_t deadline = qztest::RealMilliseconds() + qztest::kPatienceMs;
            while (d->step != 3 && qztest::RealMilliseconds() < deadline) ProcessMessage();
            server.Release();
            while (GetNetWorkDataLength(d->connection) <= 0 && qztest::RealMilliseconds() < deadline) {
            }
            if (invalid) {
                d->connection = 0x48000000 | 4000;
                for (int i = 0; i < 3 && d->state == -1; ++i) ProcessMessage();
            } else {
                ptest::FailCall(fault);
                ProcessHttpDownload(slot);
            }
            return Result{d->state, d->error, d->size, d->received};
        });
        EXPECT_EQ(r.state, 2);
        EXPECT_EQ(r.error, invalid ? 3 : 4);
        server.Release();
        Close(slot);
        ptest::ClearFaults();
    }
}

TEST_F(HttpTest, TwoDownloadsFromOneServerGetTheirOwnBytes) {
    qztest::ScriptedPeer server;
    server.ServeHttp("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nfirst")
        .ServeHttp("HTTP/1.0 200 OK\r\nContent-Length: 6\r\n\r\nsecond")
        .Start();
    void *a = nullptr, *b = nullptr;
    const int slotA = Start(kHttpGet, Url(server.port(), "/a"), nullptr, &a);
    const int slotB = Start(kHttpGet, Url(server.port(), "/b"), nullptr, &b);
    ASSERT_NE(slotA, -1);
    ASSERT_NE(slotB, -1);
    EXPECT_NE(g_http.table[slotA]->connection, g_http.table[slotB]->connection);
    EXPECT_EQ(Run(slotA).state, 0);
    EXPECT_EQ(Run(slotB).state, 0);
    EXPECT_EQ(std::string(static_cast<char*>(a), 5), "first");
    EXPECT_EQ(std::string(static_cast<char*>(b), 6), "second");
    Close(slotA);
    Close(slotB);
    Free(a);
    Free(b);
}

TEST_F(HttpTest, TheSlotTableAndTheFirstResult) {
    Locked([&] {
        for (int i = 0; i < kHttpSlots; ++i) EXPECT_EQ(AddHttpDownloadData(), i);
        EXPECT_EQ(AddHttpDownloadData(), -1);
        EXPECT_EQ(CloseHttpDownload(100), -1);
        EXPECT_EQ(CloseHttpDownload(-1), -1);
        HttpDownloadData* d = g_http.table[7];
        d->connection = -1;
        d->state = -1;
        d->error = -1;
        FinishHttpDownload(7, 2, 1);
        FinishHttpDownload(7, 0, -1);
        EXPECT_EQ(d->state, 2);
        EXPECT_EQ(d->error, 1);
        HttpDownloadStatus status;
        EXPECT_EQ(GetHttpDownloadStatus(7, &status), 0);
        EXPECT_EQ(status.state, 2);
        EXPECT_EQ(status.error, 1);
        CloseAllHttpDownloads();
        for (int slot : {-1, 0, 7, 99, 100}) EXPECT_EQ(GetHttpDownloadStatus(slot, &status), -1) << slot;
        return 0;
    });
    EXPECT_EQ(g_http.used, 0);
    EXPECT_NE(Log().find("同時にダウンロードしているファイルが限界に達していたためダウンロードを開始できませんでした\r\n"),
              std::string::npos);
}

TEST_F(HttpTest, OnlyALineThatBeginsWithTheLengthKeyAnnouncesALength) {
    const struct {
        const char* line;
        bool announces;
    } cases[] = {
        {"Content-Length: 5", true}, {"Content-Length:", true}, {"content-length: 5", false},
        {"Content-Lengt", false},    {"Co", false},             {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        // A block exactly the line's size: a look past its end is a fault of its own.
        const size_t size = std::strlen(c.line) + 1;
        std::unique_ptr<char[]> line(new char[size]);
        std::memcpy(line.get(), c.line, size);
        EXPECT_EQ(IsHttpLengthLine(line.get()), c.announces);
    }
}

TEST_F(HttpTest, HostsAndUrlsThatCannotBeReached) {
    int closedPort = 0;
    {
        qztest::ScriptedPeer gone;
        closedPort = gone.port();
    }
    void* block = nullptr;
    const std::string overlong = "http://h/" + std::string(300, 'a');
    EXPECT_EQ(Start(kHttpGet, "http://missing.example/x", nullptr, &block), -1);
    EXPECT_EQ(Start(kHttpGet, "http://v6.example/x", nullptr, &block), -1);
    EXPECT_EQ(Start(kHttpGet, Url(closedPort, "/x"), nullptr, &block), -1);
    EXPECT_EQ(Start(kHttpGet, overlong, nullptr, &block), -1);
    const std::string log = Log();
    EXPECT_NE(log.find("ダウンロード先ホスト missing.example が見つかりませんでした"), std::string::npos);
    EXPECT_NE(log.find("ダウンロード先ホスト v6.example が見つかりませんでした"), std::string::npos);
    EXPECT_NE(log.find("ダウンロード先ホスト 127.0.0.1 への接続に失敗しました"), std::string::npos);
    EXPECT_NE(log.find("ＵＲＬ " + overlong + " の解析に失敗しました\r\n"), std::string::npos);
    EXPECT_EQ(g_http.used, 0);
}

}  // namespace

}  // namespace QzWinNetHttp_test
