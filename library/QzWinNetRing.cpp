// QzWinNetRing.cpp: growing byte rings and the length framing of network messages.
// Library lock held by callers. Sockets and the network window live elsewhere.
#include "QzWinNetRing.h"

#include <climits>
#include <cstring>

#include "QzWinLog.h"
#include "QzWinMemory.h"

namespace {

constexpr int kRingSlack = 1000;

// -1 after the growth's log line; the size is printed whole, however far it passes 2^31.
int LogGrowthFailure(int64_t size) {
    return WriteLogFormat("リングバッファの再確保に失敗しました(確保しようとしたサイズ %lld byte)",
                          static_cast<long long>(size));
}

}  // namespace

int InitRingBuffer(RingBuffer* ring) {
    std::memset(ring, 0, sizeof(*ring));
    return 0;
}

int FreeRingBuffer(RingBuffer* ring) {
    if (ring->storage != nullptr) FreeMemory(ring->storage);
    std::memset(ring, 0, sizeof(*ring));
    return 0;
}

RingBuffer* WrapRingBufferPositions(RingBuffer* ring) {
    if (ring->readPosition == ring->capacity) ring->readPosition = 0;
    if (ring->writePosition == ring->capacity) ring->writePosition = 0;
    return ring;
}

int GetRingBufferDataLength(const RingBuffer* ring) { return ring->stored; }

int GetRingBufferFreeSpace(const RingBuffer* ring) { return ring->capacity - ring->stored; }

int GrowRingBuffer(RingBuffer* ring, int needed) {
    WrapRingBufferPositions(ring);
    if (needed >= 0 && static_cast<int64_t>(ring->capacity) >= static_cast<int64_t>(needed) + ring->stored) return 0;
    // A need the i32 capacity cannot hold fails like a refused allocation, so a bad length
    // never turns into a small buffer. The ring at least doubles, so a stream of messages
    // each larger than the last costs a handful of growths rather than one per message.
    const int64_t exact = static_cast<int64_t>(needed) + ring->stored + kRingSlack;
    const int64_t doubled = 2 * static_cast<int64_t>(ring->capacity);
    const int64_t wanted = doubled > exact && doubled <= INT_MAX ? doubled : exact;
    unsigned char* grown = nullptr;
    if (needed >= 0 && wanted <= INT_MAX)
        grown = static_cast<unsigned char*>(AllocMemory(static_cast<int>(wanted), __FILE_NAME__, __LINE__));
    if (grown == nullptr) {
        // The old storage and its bytes stay: a message may be going out from them.
        return LogGrowthFailure(wanted);
    }
    if (ring->stored > 0) {
        const int first = ring->readPosition + ring->stored > ring->capacity ? ring->capacity - ring->readPosition
                                                                              : ring->stored;
        std::memcpy(grown, ring->storage + ring->readPosition, static_cast<size_t>(first));
        std::memcpy(grown + first, ring->storage, static_cast<size_t>(ring->stored - first));
    }
    if (ring->storage != nullptr) FreeMemory(ring->storage);
    ring->storage = grown;
    ring->capacity = static_cast<int>(wanted);
    ring->readPosition = 0;
    ring->writePosition = ring->stored;
    return 0;
}

int AppendRingBuffer(RingBuffer* ring, const void* data, int length) {
    WrapRingBufferPositions(ring);
    if (GrowRingBuffer(ring, length) == -1)
        return WriteLogFormat("リングバッファへのデータの追加に失敗しました(追加する長さ %d byte)", length);
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    const int toEnd = ring->capacity - ring->writePosition;
    if (length > toEnd) {
        std::memcpy(ring->storage + ring->writePosition, bytes, static_cast<size_t>(toEnd));
        std::memcpy(ring->storage, bytes + toEnd, static_cast<size_t>(length - toEnd));
        ring->writePosition = length - toEnd;
    } else {
        if (length > 0) std::memcpy(ring->storage + ring->writePosition, bytes, static_cast<size_t>(length));
        ring->writePosition += length;
    }
    ring->stored += length;
    return 0;
}

int ReadRingBuffer(RingBuffer* ring, void* destination, int size, int peek) {
    if (size < 0 || ring->stored < size) return -1;
    WrapRingBufferPositions(ring);
    unsigned char* out = static_cast<unsigned char*>(destination);
    const int toEnd = ring->capacity - ring->readPosition;
    if (size > toEnd) {
        std::memcpy(out, ring->storage + ring->readPosition, static_cast<size_t>(toEnd));
        std::memcpy(out + toEnd, ring->storage, static_cast<size_t>(size - toEnd));
        if (!peek) ring->readPosition = size - toEnd;
    } else {
        if (size > 0) std::memcpy(out, ring->storage + ring->readPosition, static_cast<size_t>(size));
        if (!peek) ring->readPosition += size;
    }
    if (!peek) ring->stored -= size;
    return 0;
}

void EncodeFrameHeader(uint32_t length, unsigned char header[kFrameHeaderSize]) {
    for (int i = 0; i < kFrameHeaderSize; ++i) header[i] = static_cast<unsigned char>(length >> (8 * i));
}

int DecodeFrameHeader(const unsigned char header[kFrameHeaderSize]) {
    uint32_t length = 0;
    for (int i = 0; i < kFrameHeaderSize; ++i) length |= static_cast<uint32_t>(header[i]) << (8 * i);
    return length > static_cast<uint32_t>(INT_MAX) ? -1 : static_cast<int>(length);
}

int BeginFramedMessage(const unsigned char header[kFrameHeaderSize], RingBuffer* ring) {
    const uint32_t announced = static_cast<uint32_t>(header[0]) | static_cast<uint32_t>(header[1]) << 8 |
                               static_cast<uint32_t>(header[2]) << 16 | static_cast<uint32_t>(header[3]) << 24;
    // Room for the whole message before any payload byte; a length above the cap is
    // refused as a growth the allocator refused, so four bytes never reserve gigabytes.
    bool grown = false;
    if (announced <= static_cast<uint32_t>(kMaxFrameLength)) {
        grown = GrowRingBuffer(ring, static_cast<int>(announced)) == 0;
    } else {
        LogGrowthFailure(announced);
    }
    if (!grown)
        return WriteLogFormat("受信データを保存するリングバッファのリサイズに失敗しました(データサイズ %d byte)",
                              static_cast<int>(announced));
    return static_cast<int>(announced);
}

int ReceiveFramedBytes(FrameReceiveState* state, RingBuffer* ring, const void* data, int size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        if (state->remainder == 0) {
            const int take = size < kFrameHeaderSize - state->headerBytes ? size : kFrameHeaderSize - state->headerBytes;
            std::memcpy(state->header + state->headerBytes, bytes, static_cast<size_t>(take));
            state->headerBytes += take;
            bytes += take;
            size -= take;
            if (state->headerBytes < kFrameHeaderSize) break;
            state->headerBytes = 0;
            const int length = BeginFramedMessage(state->header, ring);
            if (length == -1) {
                state->remainder = 0;
                return -1;
            }
            state->remainder = length;
            continue;
        }
        const int take = size < state->remainder ? size : state->remainder;
        if (AppendRingBuffer(ring, bytes, take) == -1) return -1;
        state->remainder -= take;
        bytes += take;
        size -= take;
    }
    return 0;
}

int AppendFramedMessage(RingBuffer* ring, const void* data, int length) {
    if (length < 0) return -1;
    unsigned char header[kFrameHeaderSize];
    EncodeFrameHeader(static_cast<uint32_t>(length), header);
    // Room for both first, so a failure never leaves a header without its payload.
    if (GrowRingBuffer(ring, length > INT_MAX - kFrameHeaderSize ? -1 : kFrameHeaderSize + length) == -1) return -1;
    AppendRingBuffer(ring, header, kFrameHeaderSize);
    return AppendRingBuffer(ring, data, length);
}
