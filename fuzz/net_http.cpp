// HTTP transfers on hostile responses: the first byte picks the method and the output,
// a paired connect's far end answers with the rest and closes. The transfer ends within a
// bounded number of pump passes, leaks nothing, and a successful memory download holds
// exactly its announced length.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "NetFuzz.h"
#include "QzWinMemory.h"
#include "QzWinNetHttp.h"
#include "QzWinState.h"

QZ_FUZZ_TARGET(NetHttp)(const uint8_t* data, size_t size) {
    qzfuzz::NetWorkParent();
    if (size == 0) return 0;
    const int allocations = g_windowSystem.tracker.count;
    const int method = data[0] % 3;
    const bool toMemory = (data[0] / 3) % 2 == 0;
    const int peer = ptest::PairNextConnect("127.0.0.1", 9001);
    void* block = nullptr;
    const int slot = StartHttpDownload(method, "http://127.0.0.1:9001/f", 0, toMemory ? nullptr : "net_http.out",
                                       toMemory ? &block : nullptr, "body", 4);
    if (peer < 0 || slot == -1) std::abort();
    qzfuzz::MakeNonBlocking(peer);
    size_t at = 1;
    bool peerOpen = true;
    // Every pass takes a line or a piece, or ends the transfer once the peer is gone.
    const int maxPasses = static_cast<int>(size) + 64;
    int passes = 0;
    HttpDownloadStatus status{};
    for (; passes < maxPasses && GetHttpDownloadStatus(slot, &status) == 0 && status.state == -1; ++passes) {
        if (at < size) at += qzfuzz::WriteSome(peer, data + at, size - at);
        if (at == size && peerOpen) {
            close(peer);
            peerOpen = false;
        }
        PumpNetWorkMessages(1);
        ProcessAllHttpDownloads();
    }
    if (GetHttpDownloadStatus(slot, &status) != 0 || status.state == -1) std::abort();
    if (toMemory && method != kHttpHead && status.state == 0 && (block == nullptr || status.received != status.size))
        std::abort();
    if (toMemory && status.state != 0 && block != nullptr) std::abort();
    CloseHttpDownload(slot);
    FreeMemory(block);
    if (peerOpen) close(peer);
    ptest::TakeDebugOutput();
    if (g_windowSystem.tracker.count != allocations) std::abort();
    if (ptest::GetOpenSockets() != 0) std::abort();
    return 0;
}

QZ_FUZZ_SEEDS(NetHttp) {
    const std::string ok = "HTTP/1.0 200 OK\r\n";
    return {
        "\x00" + ok + "Content-Length: 5\r\n\r\nhello",
        "\x03" + ok + "Server: x\r\n\r\nbody without a length",
        "\x01" + ok + "Content-Length: 4\r\nContent-Length: 9\r\n\r\nbody",
        "\x02" + ok + "Content-Length: 12\r\n\r\n",
        "\x00HTTP/1.0 404 Not Found\r\n\r\n",
        "\x04" + ok + "Content-Length: 99999999999\r\n\r\nx",
        "\x00" + ok + "X: " + std::string(300, 'a') + "\n\n",
    };
}
