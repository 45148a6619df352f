// QzWinNetRing.h: the byte rings of the network connections, and the 4-byte
// little-endian length framing of their messages, on buffers alone. Socket traffic
// (receiving into and sending from these rings) belongs to the connection code.
// No lock of its own: callers hold the library lock.
#pragma once

#include <cstdint>

// Starts all zero, without storage; the storage only grows.
struct RingBuffer {
    unsigned char* storage;  // tracked allocation of capacity bytes, or null
    int32_t readPosition;    // oldest stored byte
    int32_t writePosition;   // where the next byte goes
    int32_t stored;
    int32_t capacity;
};

int InitRingBuffer(RingBuffer* ring);                       // 0
int FreeRingBuffer(RingBuffer* ring);                       // 0
// Room for `needed` more bytes: a ring too small grows to the larger of twice its capacity
// and needed + stored + 1000. 0, or -1 (logged; the storage and its bytes stay) when the
// storage cannot grow; a negative need or one whose new capacity passes INT_MAX is
// refused the same way.
int GrowRingBuffer(RingBuffer* ring, int needed);
int AppendRingBuffer(RingBuffer* ring, const void* data, int length);  // 0, or -1
// 0, or -1 when fewer than size bytes are stored (or size is negative); peek keeps them.
int ReadRingBuffer(RingBuffer* ring, void* destination, int size, int peek);
int GetRingBufferDataLength(const RingBuffer* ring);
int GetRingBufferFreeSpace(const RingBuffer* ring);
RingBuffer* WrapRingBufferPositions(RingBuffer* ring);

// ---- framing -------------------------------------------------------------------------
constexpr int kFrameHeaderSize = 4;
// The largest message either side of a framed connection takes: a longer announced
// length is refused as a failed growth, and a sender never starts a longer message.
constexpr int kMaxFrameLength = 64 * 1024 * 1024;

void EncodeFrameHeader(uint32_t length, unsigned char header[kFrameHeaderSize]);
// The payload length, or -1 for a length of 2^31 or more (no i32 can count it).
int DecodeFrameHeader(const unsigned char header[kFrameHeaderSize]);

// Receiving side of one framed stream: the header bytes gathered so far and the payload
// bytes of the current message still to come (0 between messages).
struct FrameReceiveState {
    unsigned char header[kFrameHeaderSize];
    int32_t headerBytes;
    int32_t remainder;
};

// The header step of every framed receiver: decodes the length, refuses one above
// kMaxFrameLength, and grows the ring to hold the whole message. The length, or -1 after
// the growth's log line and "受信データを保存するリングバッファのリサイズに失敗しました".
int BeginFramedMessage(const unsigned char header[kFrameHeaderSize], RingBuffer* ring);

// Takes incoming stream bytes in any split: headers are gathered whole, the ring is grown
// to the full message before its payload is stored, and payload bytes go into the ring.
// 0, or -1 on a refused length or a failed growth (logged; the stream is not usable
// any more).
int ReceiveFramedBytes(FrameReceiveState* state, RingBuffer* ring, const void* data, int size);
// Appends one message (header and payload) to a ring of outgoing bytes; 0, or -1.
int AppendFramedMessage(RingBuffer* ring, const void* data, int length);
