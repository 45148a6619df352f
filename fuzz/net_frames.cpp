// Framed connections on hostile bytes: a paired connect's far end writes the input in
// chunks sized by its first byte (larger for long inputs) and closes; the target pumps
// and reads until quiet, then disconnects. No length may reserve more than the frame cap, and nothing stays allocated.
// Inputs whose frames announce between a megabyte and the cap are skipped (see below).
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "NetFuzz.h"
#include "QzWinState.h"

namespace {

// Frames announcing more than this (but no more than the cap, which is refused) are
// skipped: the ring grows to the announced length before any payload arrives, and for
// tens of megabytes the sanitizer's bookkeeping of that block, not the library, was most
// of a run. Growing to a megabyte takes the same path.
constexpr uint32_t kMaxFuzzedFrame = 1 << 20;

// Whether a frame the peer sends, read as the receiver reads the stream, announces a
// length in that skipped band.
bool AnnouncesHugeFrame(const uint8_t* data, size_t size) {
    for (size_t at = 1; at + 4 <= size;) {
        const uint32_t length = data[at] | data[at + 1] << 8 | data[at + 2] << 16 | static_cast<uint32_t>(data[at + 3]) << 24;
        if (length > static_cast<uint32_t>(kMaxFrameLength)) return false;
        if (length > kMaxFuzzedFrame) return true;
        at += 4 + static_cast<size_t>(length);
    }
    return false;
}

}  // namespace

QZ_FUZZ_TARGET(NetFrames)(const uint8_t* data, size_t size) {
    qzfuzz::NetWorkParent();
    if (AnnouncesHugeFrame(data, size)) return 0;
    const int allocations = g_windowSystem.tracker.count;
    const int baseBytes = g_windowSystem.tracker.totalSize;
    const int peer = ptest::PairNextConnect("127.0.0.1", 9000);
    const int handle = ConnectSocket(static_cast<int>(inet_addr("127.0.0.1")), 9000);
    if (peer < 0 || handle == -1) std::abort();
    qzfuzz::MakeNonBlocking(peer);
    // Every piece costs a pump pass, so a long input goes in at most 16 of them; short
    // ones still arrive split anywhere, headers included.
    size_t chunk = size > 0 ? 1 + data[0] % 61 : 1;
    if (chunk < size / 16 + 1) chunk = size / 16 + 1;
    size_t at = size > 0 ? 1 : 0;
    static std::vector<char> buffer(65536);
    // Reads what waits, as a caller would; false once the connection is gone.
    auto drain = [&] {
        PumpNetWorkMessages(1);
        if (FindNetWorkData(handle) == nullptr) return false;
        const int waiting = GetNetWorkDataLength(handle);
        if (waiting > 0)
            NetWorkRecv(handle, buffer.data(), waiting < static_cast<int>(buffer.size()) ? waiting : static_cast<int>(buffer.size()));
        // However the lengths lie, the rings never hold more than one message's cap.
        if (g_windowSystem.tracker.totalSize - baseBytes > kMaxFrameLength + 64 * 1024) std::abort();
        return true;
    };
    while (at < size) {
        const size_t piece = size - at < chunk ? size - at : chunk;
        at += qzfuzz::WriteSome(peer, data + at, piece);
        if (!drain()) break;
    }
    close(peer);
    for (int pass = 0; pass < 64 && drain(); ++pass) {
        if (GetNetWorkAcceptState(handle) == 0 && GetNetWorkDataLength(handle) <= 0) break;
    }
    // A message still incomplete gets a second to arrive before the disconnect, but the
    // peer is closed and drained, so nothing more can come: reads of the clock step a
    // quarter second there instead of a millisecond, and the wait ends after a few
    // passes instead of a thousand.
    ptest::SetFastClockReadStep(250000);
    DisconnectSocket(handle);
    ptest::SetFastClockReadStep(1000);
    ptest::TakeDebugOutput();
    if (g_windowSystem.tracker.count != allocations) std::abort();
    if (ptest::GetOpenSockets() != 0) std::abort();
    return 0;
}

QZ_FUZZ_SEEDS(NetFrames) {
    auto frame = [](const std::string& payload) {
        std::string out(4, '\0');
        for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(payload.size() >> (8 * i));
        return out + payload;
    };
    return {
        "\x00" + frame("hello") + frame("") + frame(std::string(300, 'x')),
        "\x02" + frame("split") + frame("into pieces"),
        std::string("\x07") + "\xFF\xFF\xFF\x7F" + "tail",
        std::string("\x03") + "\x00\x00\x00\x04" + "capped",
        std::string("\x01") + "\x10\x00",
    };
}
