// QzWinNetSocket.cpp: the data of the connections: framed messages received straight
// into the receive ring and sent from the send ring, and the raw recv and send of
// unframed connections. Library lock held by callers.
//
// Wire format of a framed connection, both ways: a 4-byte little-endian payload length,
// then the payload. A message takes the bytes queued when it starts (at most
// kMaxFrameLength), so one call's data never waits behind a message it missed; receivers
// keep no message boundaries.
#include <cstring>

#include "QzWinLog.h"
#include "QzWinNetWork.h"

namespace {

// Re-entry through the pump's dispatch: an event's nested receive or send for any
// connection returns at once; the outer loop, the next event or call does the work.
int g_inRecvSocket = 0;
int g_inSendSocket = 0;

// The common refusals of the data operations: -1 for a bad handle or an unstarted layer
// (silent), a record not in use or with its error flag (logged). Null when refused.
NetWorkData* CheckedRecord(int handle, const char* operation) {
    if (!g_netWork.started) return nullptr;
    NetWorkData* data = FindNetWorkData(handle);
    if (data == nullptr) return nullptr;
    if (!data->inUse) {
        WriteLogFormat("有効なネットワークハンドルではありません in %s", operation);
        return nullptr;
    }
    if (data->error) {
        WriteLogFormat("このネットワークハンドルにはエラーが発生しています in %s", operation);
        return nullptr;
    }
    return data;
}

// A set guard for the length of one call.
class Guard {
public:
    explicit Guard(int* flag) : flag_(flag) { *flag_ = 1; }
    ~Guard() { *flag_ = 0; }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    int* flag_;
};

// Notes a socket call's error other than would-block: the connection is broken, and its
// first such error is kept as the way it ended.
void NoteBroken(NetWorkData* data, int* ended) {
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK) return;
    *ended = 1;
    if (data->lostError == 0) data->lostError = error;
}

// recv on the connection's socket, noting the end of the peer's stream: a count of 0
// for a read of at least a byte (the orderly close, nothing left), or an error (a reset).
int ReceiveFrom(NetWorkData* data, char* at, int size, int flags) {
    const int got = recv(data->socket, at, size, flags);
    if (got == 0 && size > 0) data->receiveEnded = 1;
    if (got == SOCKET_ERROR) NoteBroken(data, &data->receiveEnded);
    return got;
}

// send on the connection's socket, noting an error that means nothing more can go.
int SendTo(NetWorkData* data, const char* from, int size) {
    const int sent = send(data->socket, from, size, 0);
    if (sent == SOCKET_ERROR) NoteBroken(data, &data->sendEnded);
    return sent;
}

// Receives up to `space` bytes of the current message at the ring's write position, in at
// most two recv calls when the message wraps the storage. The count, or -1 when the first
// recv failed.
int ReceivePayload(NetWorkData* data) {
    RingBuffer* ring = WrapRingBufferPositions(&data->receiveBuffer);
    char* storage = reinterpret_cast<char*>(ring->storage);
    const int w = ring->writePosition;
    const int r = data->receiveRemainder;
    if (ring->capacity < w + r) {
        const int toEnd = ring->capacity - w;
        const int first = ReceiveFrom(data, storage + w, toEnd, 0);
        if (first == SOCKET_ERROR) return -1;
        if (first < toEnd) {
            ring->writePosition += first;
            return first;
        }
        const int second = ReceiveFrom(data, storage, r - toEnd, 0);
        if (second == SOCKET_ERROR) {
            ring->writePosition = 0;
            return first;
        }
        ring->writePosition = second;
        return first + second;
    }
    const int got = ReceiveFrom(data, storage + w, r, 0);
    if (got == SOCKET_ERROR) return -1;
    ring->writePosition += got;
    return got;
}

// Sends up to the message's remaining payload from the ring's read position, in at most
// two send calls when it wraps. The count, or -1 when the first send failed.
int SendPayload(NetWorkData* data) {
    RingBuffer* ring = WrapRingBufferPositions(&data->sendBuffer);
    const char* storage = reinterpret_cast<const char*>(ring->storage);
    const int rd = ring->readPosition;
    const int s = data->sendRemainder;
    if (ring->capacity < rd + s) {
        const int toEnd = ring->capacity - rd;
        const int first = SendTo(data, storage + rd, toEnd);
        if (first == SOCKET_ERROR) return -1;
        if (first < toEnd) {
            ring->readPosition += first;
            return first;
        }
        const int second = SendTo(data, storage, s - toEnd);
        if (second == SOCKET_ERROR) {
            ring->readPosition = 0;
            return first;
        }
        ring->readPosition = second;
        return first + second;
    }
    const int sent = SendTo(data, storage + rd, s);
    if (sent == SOCKET_ERROR) return -1;
    ring->readPosition += sent;
    return sent;
}

}  // namespace

int RecvSocket(int handle) {
    if (!g_netWork.started || FindNetWorkData(handle) == nullptr || g_inRecvSocket) return -1;
    Guard guard(&g_inRecvSocket);
    PumpNetWorkMessages(0);
    NetWorkData* data = CheckedRecord(handle, "RecvSocket");
    if (data == nullptr) return -1;
    if (!data->framing) return 0;
    int passes = 0;
    for (;;) {
        if (data->receiveRemainder == 0) {
            // Header bytes are taken as they come: a stalled peer's partial header is not
            // announced again by every poll.
            const int want = kFrameHeaderSize - data->receiveHeaderBytes;
            const int got = ReceiveFrom(data, reinterpret_cast<char*>(data->receiveHeader) + data->receiveHeaderBytes, want, 0);
            if (got == SOCKET_ERROR || got == 0) break;
            data->receiveHeaderBytes += got;
            if (data->receiveHeaderBytes < kFrameHeaderSize) break;
            data->receiveHeaderBytes = 0;
            const int length = BeginFramedMessage(data->receiveHeader, &data->receiveBuffer);
            if (length == -1) {
                data->error = 1;
                return -1;
            }
            data->receiveRemainder = length;
            if (length == 0) break;  // an empty message ends the pass
        }
        const int total = ReceivePayload(data);
        if (total == -1) break;
        data->receiveBuffer.stored += total;
        data->receiveRemainder -= total;
        PumpNetWorkMessages(0);
        // Go on while bytes come, so a short recv is followed up at once; the bound keeps
        // a fast peer from holding the pump (recv re-armed FD_READ for what is left).
        if (total == 0 || ++passes == kMaxCallsPerPass) break;
    }
    return 0;
}

int SendSocket(int handle) {
    if (!g_netWork.started || FindNetWorkData(handle) == nullptr || g_inSendSocket) return -1;
    Guard guard(&g_inSendSocket);
    PumpNetWorkMessages(0);
    NetWorkData* data = CheckedRecord(handle, "SendSocket");
    if (data == nullptr) return -1;
    if (GetRingBufferDataLength(&data->sendBuffer) == 0 || !data->framing) return 0;
    for (;;) {
        unsigned char header[kFrameHeaderSize];
        if (data->headerRemainder != 0) {
            // The header is never rebuilt while partly out: its length field stays put.
            EncodeFrameHeader(static_cast<uint32_t>(data->sendRemainder), header);
            const int sent = SendTo(data, reinterpret_cast<const char*>(header) + kFrameHeaderSize - data->headerRemainder,
                                    data->headerRemainder);
            if (sent == SOCKET_ERROR || sent == 0) break;
            data->headerRemainder -= sent;
            if (data->headerRemainder != 0) continue;
        } else if (data->sendRemainder == 0) {
            const int queued = GetRingBufferDataLength(&data->sendBuffer);
            data->sendRemainder = queued < kMaxFrameLength ? queued : kMaxFrameLength;
            EncodeFrameHeader(static_cast<uint32_t>(data->sendRemainder), header);
            const int sent = SendTo(data, reinterpret_cast<const char*>(header), kFrameHeaderSize);
            if (sent == SOCKET_ERROR) {
                data->sendRemainder = 0;
                break;
            }
            if (sent < kFrameHeaderSize) {
                data->headerRemainder = kFrameHeaderSize - sent;
                continue;
            }
        }
        const int total = SendPayload(data);
        if (total == -1) break;
        data->sendBuffer.stored -= total;
        data->sendRemainder -= total;
        PumpNetWorkMessages(0);
        // Go on until the queue is empty or a send would block: only a blocked send
        // brings FD_WRITE back, so stopping after a short one would strand the rest.
        if (total == 0 || GetRingBufferDataLength(&data->sendBuffer) == 0) break;
    }
    return 0;
}

namespace {

int Receive(int handle, void* destination, int size, int peek, const char* operation) {
    if (size < 0 || !g_netWork.started || FindNetWorkData(handle) == nullptr) return -1;
    PumpNetWorkMessages(0);
    NetWorkData* data = CheckedRecord(handle, operation);
    if (data == nullptr) return -1;
    if (RecvSocket(handle) == -1) return -1;
    if (!data->framing) return ReceiveFrom(data, static_cast<char*>(destination), size, peek ? MSG_PEEK : 0);
    if (ReadRingBuffer(&data->receiveBuffer, destination, size, peek) == -1) return -1;
    RecvSocket(handle);
    return 0;
}

}  // namespace

int NetWorkRecv(int handle, void* destination, int size) { return Receive(handle, destination, size, 0, "NetWorkRecv"); }

int NetWorkRecvToPeek(int handle, void* destination, int size) {
    return Receive(handle, destination, size, 1, "NetWorkRecvToPeek");
}

int NetWorkSend(int handle, const void* bytes, int length) {
    if (length < 0 || !g_netWork.started || FindNetWorkData(handle) == nullptr) return -1;
    PumpNetWorkMessages(0);
    NetWorkData* data = CheckedRecord(handle, "NetWorkSend");
    if (data == nullptr || data->connected != 1) return -1;
    SendSocket(handle);
    if (!data->framing) return SendTo(data, static_cast<const char*>(bytes), length);
    if (AppendRingBuffer(&data->sendBuffer, bytes, length) == -1)
        return WriteLogFormat("送信データ %d byte の追加に失敗しました in NewWorkSend", length);
    SendSocket(handle);
    return 0;
}

int GetNetWorkDataLength(int handle) {
    if (!g_netWork.started) return -1;
    PumpNetWorkMessages(0);
    RecvSocket(handle);
    SendSocket(handle);
    if (FindNetWorkData(handle) == nullptr) return -1;
    NetWorkData* data = CheckedRecord(handle, "GetNetWorkDataLength");
    if (data == nullptr) return -1;
    if (data->framing) return GetRingBufferDataLength(&data->receiveBuffer);
    char byte;
    return NetWorkRecvToPeek(handle, &byte, 1);
}
