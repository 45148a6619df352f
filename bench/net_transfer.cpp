// What the network costs, against the plain machine doing the same work over loopback.
// Framed throughput: 64 MiB in messages of 64 bytes and of 64 KiB, the library sending
// to its own listener and reading it all back, against a plain POSIX pair (a blocking
// writer thread and a reader) moving the same header and payload bytes. Downloads: a
// 64 MiB body from an HTTP server thread of the benchmark's own (the response held in
// memory), to a file and to memory, against curl --http1.0 from the same server to a file
// in the same folder and to /dev/null. The library runs with the always-run setting, so
// its pump never sleeps; curl's time includes its start, which the closing note measures.
// A game calls the network once a frame, so the longest single library call of each
// transfer is measured too.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "BenchRatios.h"
#include "QzApi.h"
#include "QzWinLock.h"
#include "QzWinMemory.h"
#include "QzWinMessage.h"
#include "QzWinNetHttp.h"
#include "QzWinNetWork.h"
#include "QzWinState.h"
#include "ScriptedPeer.h"
#include "platform/testing.h"

extern char** environ;

namespace {

constexpr int64_t kTotal = 64 << 20;

// The longest single library call of a benchmark, in milliseconds: in real time, which a
// busy machine stretches when it takes the processor away, and in the thread's processor
// time, which is the library's own work.
struct Longest {
    double wall = 0;
    double processor = 0;
};
std::map<std::string, Longest> g_longestCalls;

double Milliseconds(clockid_t clock) {
    timespec now;
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Runs one library call and, unless `longest` is null, keeps its times where they are the
// longest so far. Timing costs clock reads of its own, so the throughput runs go without.
template <typename Call>
auto Timed(Longest* longest, Call call) {
    if (longest == nullptr) return call();
    const double wall = Milliseconds(CLOCK_MONOTONIC);
    const double processor = Milliseconds(CLOCK_THREAD_CPUTIME_ID);
    auto result = call();
    longest->wall = std::max(longest->wall, Milliseconds(CLOCK_MONOTONIC) - wall);
    longest->processor = std::max(longest->processor, Milliseconds(CLOCK_THREAD_CPUTIME_ID) - processor);
    return result;
}

struct Library {
    bool started = false;
    int listenPort = 0;
    Library() {
        setenv("QZ_BACKEND", "null", 0);
        ptest::CaptureDebugOutput(true);
        if (ApiInitializeLibrary() != 0) return;
        EnterLibraryLock();
        g_windowSystem.runAlways = 1;
        ptest::SetResolverTable({{"localhost", "127.0.0.1"}});
        listenPort = OpenNetWorkListener(0);
        LeaveLibraryLock();
        started = listenPort > 0;
    }
    ~Library() {
        if (g_windowSystem.libraryInitialized) ApiTerminateLibrary();
    }
};

Library& TheLibrary() {
    static Library library;
    return library;
}

// The library to itself: every message sent, everything read back.
void LibraryFramed(benchmark::State& state, bool timeCalls) {
    Library& library = TheLibrary();
    const int message = static_cast<int>(state.range(0));
    const std::string payload(static_cast<size_t>(message), 'p');
    std::vector<char> sink(1 << 20);
    EnterLibraryLock();
    int accepted = -1;
    const int sender = ConnectSocket(static_cast<int>(inet_addr("127.0.0.1")), library.listenPort);
    // The accept follows the listener's own event, which may come after the connect's.
    for (int pass = 0; accepted == -1 && pass < 10000; ++pass) accepted = GetNextAcceptedNetWork();
    if (sender == -1 || accepted == -1) {
        LeaveLibraryLock();
        state.SkipWithError("no connection to the library's own listener");
        return;
    }
    Longest longest;
    Longest* timed = timeCalls ? &longest : nullptr;
    for (auto _ : state) {
        int64_t sent = 0, got = 0;
        while (got < kTotal) {
            if (sent < kTotal) {
                Timed(timed, [&] { return NetWorkSend(sender, payload.data(), message); });
                sent += message;
            } else {
                Timed(timed, [] { return ProcessMessage(); });
            }
            const int waiting = Timed(timed, [&] { return GetNetWorkDataLength(accepted); });
            // Read in large pieces, as a receiver keeping up would.
            if (waiting >= static_cast<int>(sink.size()) || (sent >= kTotal && waiting > 0)) {
                const int take = waiting < static_cast<int>(sink.size()) ? waiting : static_cast<int>(sink.size());
                Timed(timed, [&] { return NetWorkRecv(accepted, sink.data(), take); });
                got += take;
            }
        }
    }
    DisconnectSocket(sender);
    DisconnectSocket(accepted);
    LeaveLibraryLock();
    if (timeCalls) g_longestCalls["framed"] = longest;
    state.SetBytesProcessed(state.iterations() * kTotal);
}

void BM_PosixFramed(benchmark::State& state) {
    for (auto _ : state)
        if (!qztest::PosixFramedLoopback(kTotal, static_cast<int>(state.range(0)))) state.SkipWithError("socket error");
    state.SetBytesProcessed(state.iterations() * kTotal);
}

const std::string& Response() {
    static const std::string response =
        "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(kTotal) + "\r\n\r\n" + std::string(kTotal, 'd');
    return response;
}

// One download through the library's pump; 0 for memory, 1 for a file.
void LibraryDownload(benchmark::State& state, bool timeCalls) {
    TheLibrary();
    const bool toFile = state.range(0) == 1;
    Longest longest;
    Longest* timed = timeCalls ? &longest : nullptr;
    for (auto _ : state) {
        state.PauseTiming();
        qztest::ScriptedPeer server;
        server.ServeHttp(Response()).Start();
        const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/big";
        state.ResumeTiming();
        void* block = nullptr;
        EnterLibraryLock();
        const int slot = StartHttpDownload(kHttpGet, url.c_str(), 0, toFile ? "net_bench.bin" : nullptr,
                                           toFile ? nullptr : &block, nullptr, 0);
        HttpDownloadStatus status{};
        while (slot != -1 && GetHttpDownloadStatus(slot, &status) == 0 && status.state == -1)
            Timed(timed, [] { return ProcessMessage(); });
        if (slot == -1 || status.state != 0) state.SkipWithError("the download failed");
        CloseHttpDownload(slot);
        FreeMemory(block);
        LeaveLibraryLock();
    }
    unlink("net_bench.bin");
    if (timeCalls) g_longestCalls["download"] = longest;
    state.SetBytesProcessed(state.iterations() * kTotal);
}

bool RunCurl(const std::string& url, const char* out) {
    const char* argv[] = {"curl", "-s", "--http1.0", "-o", out, url.c_str(), nullptr};
    pid_t pid = -1;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_CurlDownload(benchmark::State& state) {
    const bool toFile = state.range(0) == 1;
    for (auto _ : state) {
        state.PauseTiming();
        qztest::ScriptedPeer server;
        server.ServeHttp(Response()).Start();
        const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/big";
        state.ResumeTiming();
        if (!RunCurl(url, toFile ? "curl_bench.bin" : "/dev/null")) state.SkipWithError("curl failed");
    }
    unlink("curl_bench.bin");
    state.SetBytesProcessed(state.iterations() * kTotal);
}

// curl's own start: an empty body from the same kind of server.
void BM_CurlStart(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        qztest::ScriptedPeer server;
        server.ServeHttp("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n").Start();
        const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/empty";
        state.ResumeTiming();
        if (!RunCurl(url, "/dev/null")) state.SkipWithError("curl failed");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!TheLibrary().started) {
        std::fprintf(stderr, "bench_net_transfer: the library did not start headless\n");
        return 1;
    }
    for (int message : {64, 65536}) {
        benchmark::RegisterBenchmark("BM_LibraryFramed", LibraryFramed, false)->Arg(message)->Unit(benchmark::kMillisecond)->Iterations(2);
        benchmark::RegisterBenchmark("BM_PosixFramed", BM_PosixFramed)->Arg(message)->Unit(benchmark::kMillisecond)->Iterations(2);
    }
    for (int toFile : {0, 1}) {
        benchmark::RegisterBenchmark("BM_LibraryDownload", LibraryDownload, false)->Arg(toFile)->Unit(benchmark::kMillisecond)->Iterations(3);
        benchmark::RegisterBenchmark("BM_CurlDownload", BM_CurlDownload)->Arg(toFile)->Unit(benchmark::kMillisecond)->Iterations(3);
    }
    // The same transfers again, every library call timed.
    benchmark::RegisterBenchmark("BM_LibraryFramedCalls", LibraryFramed, true)->Arg(65536)->Unit(benchmark::kMillisecond)->Iterations(1);
    benchmark::RegisterBenchmark("BM_LibraryDownloadCalls", LibraryDownload, true)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);
    benchmark::RegisterBenchmark("BM_CurlStart", BM_CurlStart)->Unit(benchmark::kMillisecond)->Iterations(5);
    benchmark::Initialize(&argc, argv);
    qzbench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    qzbench::PrintRatios(reporter, {
        {"framed 64 B messages: library / POSIX pair", "BM_LibraryFramed/64/iterations:2", "BM_PosixFramed/64/iterations:2"},
        {"framed 64 KiB messages: library / POSIX pair", "BM_LibraryFramed/65536/iterations:2", "BM_PosixFramed/65536/iterations:2"},
        {"download to memory: library / curl to /dev/null", "BM_LibraryDownload/0/iterations:3", "BM_CurlDownload/0/iterations:3"},
        {"download to a file: library / curl to a file", "BM_LibraryDownload/1/iterations:3", "BM_CurlDownload/1/iterations:3"},
    });
    const double start = reporter.Time("BM_CurlStart/iterations:5");
    if (start > 0) std::printf("note  curl's start and an empty download: %.1f ms of each curl time\n", start);

    // The three figures a game cares about, beside their goals.
    const double framed = reporter.Time("BM_LibraryFramed/65536/iterations:2");
    const double posix = reporter.Time("BM_PosixFramed/65536/iterations:2");
    const double download = reporter.Time("BM_LibraryDownload/1/iterations:3");
    const double curl = reporter.Time("BM_CurlDownload/1/iterations:3");
    if (framed > 0 && posix > 0)
        std::printf("goal  framed 64 MiB in 64 KiB messages, library time / POSIX pair's %8.2f  (goal: at most 1.50)\n",
                    framed / posix);
    if (download > 0 && curl > 0)
        std::printf("goal  64 MiB download to a file, library speed / curl's          %8.2f  (goal: at least 0.90)\n",
                    curl / download);
    for (const char* transfer : {"framed", "download"}) {
        if (g_longestCalls.count(transfer) == 0) continue;
        const Longest& longest = g_longestCalls[transfer];
        std::printf("goal  longest single call, %-8s %6.2f ms processor, %6.2f ms real  (goal: under 5 ms)\n", transfer,
                    longest.processor, longest.wall);
    }
    // Ended here, not by the static's destructor: at exit the platform's per-thread state
    // is already gone.
    ApiTerminateLibrary();
    benchmark::Shutdown();
    return 0;
}
