// QzWinNetHttp.cpp: HTTP/1.0 GET, POST and HEAD transfers as step machines advanced by
// the message pump. Library lock held by callers.
//
// Rules a hostile server meets:
// - status 200 is required (404 fails with error 1, anything else with error 0);
// - "Content-Length:" (case-sensitive, value after its first space) is read with
//   saturation; a value outside 0 to 2^31 - 1 ends the transfer with (2, 0), and only
//   the first such line counts, so no second block is allocated;
// - a known size is never exceeded, in memory or in the file;
// - a line that cannot fit 255 bytes ends the transfer with (2, 0);
// - once the connection is down or its handle invalid, a pass that takes no bytes ends
//   the transfer: finished for a file body of unknown size with nothing left after the
//   peer's orderly close, else failed with error 3 (a reset is never a finish). So no
//   transfer waits on bytes that can never be taken.
//
// Pace: the request goes out as far as the socket takes it in each pass, the rest in the
// next ones; a pass reads at most kMaxCallsPerPass pieces of the body. A file body goes
// into a file beside the target, which it replaces only when the transfer finishes.
#include "QzWinNetHttp.h"

#include <climits>
#include <cstring>

#include "QzUseCLib.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzWinNetUrl.h"

HttpSystemState g_http;

namespace {

constexpr char kLengthKey[] = "Content-Length:";
// File bodies stream through one buffer per method; a call uses it only between its
// receive and the write that follows.
char g_getBuffer[kHttpBodyPiece];
char g_postBuffer[kHttpBodyPiece];
// Whether the transfer being processed took bytes from its connection in this pass.
int g_passTookBytes = 0;

HttpDownloadData* RecordAt(int slot) { return slot >= 0 && slot < kHttpSlots ? g_http.table[slot] : nullptr; }

// The announced length of a "Content-Length:" line: 1 with *size set (-1 when the line
// has no space, as the plain reader gives), or 0 when the value is no length at all.
bool ReadLengthValue(const char* line, int* size) {
    const char* space = std::strchr(line, ' ');
    if (space == nullptr) {
        *size = -1;
        return true;
    }
    int64_t value = 0;
    if (!ReadSaturatedDecimal(space, &value) || value < 0 || value > INT_MAX) return false;
    *size = static_cast<int>(value);
    return true;
}

// Takes the status line; false when the transfer ended or no line waits yet.
bool TakeStatus(int slot, HttpDownloadData* d, bool logFailure) {
    char line[kHttpLineLimit + 1];
    const int got = ReadHttpLine(d->connection, line);
    if (got == -2) {
        FinishHttpDownload(slot, 2, 0);
        return false;
    }
    if (got != 0) return false;
    const int status = ParseHttpLineValue(line);
    if (status != 200) {
        if (logFailure) WriteLogFormat("接続に失敗しました (戻り値:%d)", status);
        FinishHttpDownload(slot, 2, status == 404 ? 1 : 0);
        return false;
    }
    d->step = 2;
    return true;
}

// Takes the announced length; false when the transfer ended.
bool TakeLength(int slot, HttpDownloadData* d, const char* line) {
    int size = -1;
    if (!ReadLengthValue(line, &size)) {
        FinishHttpDownload(slot, 2, 0);
        return false;
    }
    d->size = size;
    if (size == -1) return true;
    d->lengthSeen = 1;
    if (d->output == 1 && d->method != kHttpHead) {
        *d->memoryTarget = AllocMemory(size, __FILE_NAME__, __LINE__);
        if (*d->memoryTarget == nullptr) {
            FinishHttpDownload(slot, 2, 2);
            return false;
        }
    }
    return true;
}

// Whether the connection ended in order: the peer's close without an error, and no
// receive found it broken.
bool EndedInOrder(const HttpDownloadData* d) {
    const NetWorkData* connection = FindNetWorkData(d->connection);
    return connection != nullptr && connection->lostError == 0;
}

// Step 0: the request text, then the POST body, as far as the socket takes them; the rest
// goes out in the next passes, before any reply is read. True once all went out (step 1
// is next); false while bytes are left or when a send failed (the transfer ended).
bool SendRequest(int slot, HttpDownloadData* d) {
    if (d->requestLength == 0) {
        if (d->method == kHttpPost) {
            FormatStringBounded(d->request, kHttpRequestSize, "POST %s HTTP/1.0\nHost: %s:%d\nContent-Length: %d\n\n",
                                d->path, d->host, d->port, d->postLength);
        } else if (d->method == kHttpHead) {
            FormatStringBounded(d->request, kHttpRequestSize, "HEAD %s HTTP/1.0\n\n", d->path);
        } else {
            FormatStringBounded(d->request, kHttpRequestSize, "GET %s HTTP/1.0\r\nHost: %s:%d\r\nConnection: close\r\n\r\n",
                                d->path, d->host, d->port);
        }
        d->requestLength = static_cast<int>(std::strlen(d->request));
        d->requestSent = 0;
    }
    const int body = d->method == kHttpPost ? d->postLength : 0;
    for (int sends = 0; d->requestSent < d->requestLength + body; ++sends) {
        if (sends == kMaxCallsPerPass) return false;
        const bool text = d->requestSent < d->requestLength;
        const char* from = text ? d->request + d->requestSent
                                : reinterpret_cast<const char*>(d->postBody) + (d->requestSent - d->requestLength);
        const int left = text ? d->requestLength - d->requestSent : d->requestLength + body - d->requestSent;
        const int sent = NetWorkSend(d->connection, from, left);
        if (sent < 0) {
            // A full socket buffer waits for the next pass; anything else broke the request.
            const int error = WSAGetLastError();
            if (error == WSAEWOULDBLOCK && GetNetWorkAcceptState(d->connection) == 1) return false;
            FinishHttpDownload(slot, 2, 3);
            return false;
        }
        d->requestSent += sent;
    }
    d->step = 1;
    return true;
}

// The common body of GET and POST: step 0 sends the request, then status, headers, body.
int ProcessHttpTransfer(int slot, bool post) {
    HttpDownloadData* d = RecordAt(slot);
    if (d == nullptr) return -1;
    if (d->step == 0 && !SendRequest(slot, d)) return 0;
    if (d->step == 1 && !TakeStatus(slot, d, !post)) return 0;
    if (d->step == 2) {
        char line[kHttpLineLimit + 1];
        const int got = ReadHttpLine(d->connection, line);
        if (got == -2) return FinishHttpDownload(slot, 2, 0);
        if (got != 0) return 0;
        if (std::strchr(line, ':') != nullptr) {
            // One header line a call; only the first length counts.
            if (IsHttpLengthLine(line) && !d->lengthSeen) TakeLength(slot, d, line);
            return 0;
        }
        d->step = 3;
    }
    if (d->step != 3) return 0;
    char* buffer = post ? g_postBuffer : g_getBuffer;
    for (int reads = 0; reads < kMaxCallsPerPass; ++reads) {
        int n;
        if (d->output == 0) {
            const int left = d->size == -1 ? kHttpBodyPiece : d->size - d->received;
            n = NetWorkRecv(d->connection, buffer, left < kHttpBodyPiece ? left : kHttpBodyPiece);
            if (n > 0) {
                DWORD written = 0;
                if (!WriteFile(d->file, buffer, static_cast<DWORD>(n), &written, nullptr) || written != static_cast<DWORD>(n))
                    return FinishHttpDownload(slot, 2, 4);
            }
        } else {
            const int left = d->size - d->received;
            n = d->size == -1 ? -1
                              : NetWorkRecv(d->connection, static_cast<char*>(*d->memoryTarget) + d->received,
                                            left < kHttpBodyPiece ? left : kHttpBodyPiece);
        }
        if (n < 0) return 0;
        if (n > 0) g_passTookBytes = 1;
        d->received += n;
        if (d->size != -1 && d->received >= d->size) return FinishHttpDownload(slot, 0, -1);
        // A body of known size that is still short can only go on; the connection's state
        // matters when its size is unknown, or when the stream has ended.
        if (d->size != -1 && n > 0) continue;
        const int a = GetNetWorkAcceptState(d->connection);
        const int b = GetNetWorkDataLength(d->connection);
        if (d->size == -1 && a == 0 && b == 0 && EndedInOrder(d)) return FinishHttpDownload(slot, 0, -1);
        if (post && d->size == -1 && (a != 0 || b != 0)) return 0;
        if (n == 0) return 0;
    }
    return 0;
}

}  // namespace

int InitializeHttpSystem() {
    std::memset(&g_http, 0, sizeof g_http);
    std::memset(&g_httpProxy, 0, sizeof g_httpProxy);
    return 0;
}

int TerminateHttpSystem() { return CloseAllHttpDownloads(); }

int AddHttpDownloadData() {
    if (g_http.used == kHttpSlots) {
        WriteLog("同時にダウンロードしているファイルが限界に達していたためダウンロードを開始できませんでした\n");
        return -1;
    }
    int slot = 0;
    while (g_http.table[slot] != nullptr) ++slot;
    auto* d = static_cast<HttpDownloadData*>(AllocZeroedMemory(sizeof(HttpDownloadData), __FILE_NAME__, __LINE__));
    if (d == nullptr) {
        WriteLog("ダウンロード処理用データ領域の確保に失敗しました\n");
        return -1;
    }
    g_http.table[slot] = d;
    ++g_http.used;
    return slot;
}

int DeleteHttpDownloadData(int slot) {
    if (HttpDownloadData* d = RecordAt(slot)) {
        FreeMemory(d);
        g_http.table[slot] = nullptr;
        --g_http.used;
    }
    return 0;
}

int FinishHttpDownload(int slot, int state, int error) {
    HttpDownloadData* d = RecordAt(slot);
    if (d == nullptr) return -1;
    if (d->connection != -1) DisconnectSocket(d->connection);
    d->connection = -1;
    if (d->postBody != nullptr) FreeMemory(d->postBody);
    d->postBody = nullptr;
    if (d->file != nullptr) CloseHandle(d->file);
    d->file = nullptr;
    // The body replaces the target only at a finish; any other end leaves the target as
    // it was, and a target that cannot be replaced fails the transfer.
    if (d->partial[0] != '\0') {
        const bool finished = d->state == -1 && state == 0;
        if (!finished || !MoveFileExA(d->partial, d->target, MOVEFILE_REPLACE_EXISTING)) {
            DeleteFileA(d->partial);
            if (finished) {
                state = 2;
                error = 4;
            }
        }
        d->partial[0] = '\0';
    }
    if (d->state == -1) d->state = state;
    if (d->error == -1) d->error = error;
    if (d->memoryTarget != nullptr && d->state != 0) {
        FreeMemory(*d->memoryTarget);
        *d->memoryTarget = nullptr;
    }
    return 0;
}

int ProcessHttpDownload(int slot) {
    HttpDownloadData* d = RecordAt(slot);
    if (d == nullptr) return -1;
    if (d->state != -1) return 0;
    // Whether the connection was up before this pass: one that goes down during the pass
    // may have brought its last bytes with it, which the next pass takes.
    const int upBefore = GetNetWorkAcceptState(d->connection) == 1;
    g_passTookBytes = 0;
    int result = 0;
    switch (d->method) {
    case kHttpGet: result = ProcessHttpGet(slot); break;
    case kHttpPost: result = ProcessHttpPost(slot); break;
    case kHttpHead: result = ProcessHttpHead(slot); break;
    default: return 0;
    }
    if (d->state != -1 || g_passTookBytes || upBefore) return result;
    // Nothing taken in a whole pass on a connection that was already gone (or whose handle
    // is invalid): nothing more can come. A file body of unknown size is whole only when
    // the peer closed in order with nothing left.
    const int left = GetNetWorkDataLength(d->connection);
    if (d->method != kHttpHead && d->step == 3 && d->output == 0 && d->size == -1 && left == 0 && EndedInOrder(d))
        return FinishHttpDownload(slot, 0, -1);
    return FinishHttpDownload(slot, 2, 3);
}

int ProcessAllHttpDownloads() {
    const int count = g_http.used;
    for (int slot = 0, visited = 0; slot < kHttpSlots && visited < count; ++slot) {
        if (g_http.table[slot] == nullptr) continue;
        ++visited;
        ProcessHttpDownload(slot);
    }
    return 0;
}

int CloseHttpDownload(int slot) {
    HttpDownloadData* d = RecordAt(slot);
    if (d == nullptr) return -1;
    // A body cut off by the caller is no finish: its file goes, the target stays.
    if (d->state == -1 && d->partial[0] != '\0') {
        if (d->file != nullptr) CloseHandle(d->file);
        d->file = nullptr;
        DeleteFileA(d->partial);
        d->partial[0] = '\0';
    }
    FinishHttpDownload(slot, 0, -1);
    DeleteHttpDownloadData(slot);
    return 0;
}

int CloseAllHttpDownloads() {
    const int count = g_http.used;
    for (int slot = 0, visited = 0; slot < kHttpSlots && visited < count; ++slot) {
        if (g_http.table[slot] == nullptr) continue;
        ++visited;
        CloseHttpDownload(slot);
    }
    return 0;
}

int ProcessHttpGet(int slot) { return ProcessHttpTransfer(slot, false); }
int ProcessHttpPost(int slot) { return ProcessHttpTransfer(slot, true); }

int ProcessHttpHead(int slot) {
    HttpDownloadData* d = RecordAt(slot);
    if (d == nullptr) return -1;
    if (d->step == 0 && !SendRequest(slot, d)) return 0;
    if (d->step == 1 && !TakeStatus(slot, d, false)) return 0;
    if (d->step == 2) {
        char line[kHttpLineLimit + 1];
        const int got = ReadHttpLine(d->connection, line);
        if (got == -2) return FinishHttpDownload(slot, 2, 0);
        if (got != 0 || !IsHttpLengthLine(line)) return 0;
        if (!TakeLength(slot, d, line)) return 0;
        d->step = 3;
        return FinishHttpDownload(slot, 0, -1);
    }
    if (d->step == 3) FinishHttpDownload(slot, 0, -1);
    return 0;
}

int ReadHttpLine(int connection, char* out) {
    char buffer[kHttpLineLimit + 1] = {};
    const int n = NetWorkRecvToPeek(connection, buffer, kHttpLineLimit);
    if (n <= 0) return -1;
    // Protocol lines are bytes: a line feed ends the line whatever byte stands before it.
    const char* feed = static_cast<const char*>(std::memchr(buffer, '\n', static_cast<size_t>(n)));
    if (feed == nullptr) return n == kHttpLineLimit ? -2 : -1;
    const int length = static_cast<int>(feed - buffer);
    std::memcpy(out, buffer, static_cast<size_t>(length));
    out[length] = '\0';
    if (NetWorkRecv(connection, buffer, length + 1) > 0) g_passTookBytes = 1;
    return 0;
}

bool IsHttpLengthLine(const char* line) { return std::strncmp(line, kLengthKey, sizeof kLengthKey - 1) == 0; }

int ParseHttpLineValue(const char* line) {
    const char* space = FindFirstChar(line, ' ');
    return space == nullptr ? -1 : ConvertStringToInt(space);
}

int ConnectHttpHost(const char* url, int proxyFlag, uint8_t* ipOut, char* hostOut, char* requestOut, char* fileNameOut,
                    int* portOut) {
    char host[kHttpUrlTextSize], request[kHttpUrlTextSize], fileName[kHttpUrlTextSize];
    int port = 0;
    if (ResolveHttpUrl(url, proxyFlag, host, request, fileName, &port) == -1)
        return WriteLogFormat("ＵＲＬ %s の解析に失敗しました\n", url);
    uint8_t address[4];
    // Only an IPv4 answer gives an address to connect to.
    if (ResolveHostAddress(host, address) < 0) return WriteLogFormat("ダウンロード先ホスト %s が見つかりませんでした", host);
    const int framing = GetNetWorkFramingOffFlag() == 0 ? 1 : 0;
    const int autoClose = GetNetWorkAutoCloseOffFlag() == 0 ? 1 : 0;
    SetNetWorkFramingFlag(0);
    SetNetWorkAutoCloseFlag(0);
    int32_t packed;
    std::memcpy(&packed, address, 4);
    const int connection = ConnectSocket(packed, port);
    SetNetWorkFramingFlag(framing);
    SetNetWorkAutoCloseFlag(autoClose);
    if (connection == -1) return WriteLogFormat("ダウンロード先ホスト %s への接続に失敗しました", host);
    if (hostOut != nullptr) CopyString(hostOut, host);
    if (requestOut != nullptr) CopyString(requestOut, request);
    if (fileNameOut != nullptr) CopyString(fileNameOut, fileName);
    if (portOut != nullptr) *portOut = port;
    if (ipOut != nullptr) std::memcpy(ipOut, address, 4);
    return connection;
}

int StartHttpDownload(int method, const char* url, int proxyFlag, const char* fileName, void** memoryTarget,
                      const void* postBody, int postLength) {
    if (method < kHttpGet || method > kHttpHead || (fileName == nullptr && memoryTarget == nullptr) || postLength < 0)
        return -1;
    const int slot = AddHttpDownloadData();
    if (slot == -1) return -1;
    HttpDownloadData* d = g_http.table[slot];
    d->connection = -1;
    d->state = -1;
    d->error = -1;
    d->size = -1;
    d->method = method;
    d->connection = ConnectHttpHost(url, proxyFlag, nullptr, d->host, d->path, nullptr, &d->port);
    if (d->connection == -1) {
        DeleteHttpDownloadData(slot);
        return -1;
    }
    if (method == kHttpPost) {
        d->postBody = static_cast<uint8_t*>(AllocMemory(postLength, __FILE_NAME__, __LINE__));
        if (d->postBody == nullptr) {
            CloseHttpDownload(slot);
            return WriteLog("ダウンロード処理用データ領域の確保に失敗しました\n");
        }
        if (postLength > 0) std::memcpy(d->postBody, postBody, static_cast<size_t>(postLength));
        d->postLength = postLength;
    }
    if (memoryTarget != nullptr) {
        d->output = 1;
        d->memoryTarget = memoryTarget;
        *memoryTarget = nullptr;
    } else if (method != kHttpHead) {
        // The body goes beside the target under a name of this slot's own, so the target
        // keeps its bytes until a whole body replaces them.
        // ".99.part" at most; a name that leaves no room for it cannot be written.
        if (std::strlen(fileName) + 8 < MAX_PATH) {
            FormatStringBounded(d->partial, MAX_PATH, "%s.%d.part", fileName, slot);
            CopyString(d->target, fileName);
            d->file = CreateFileA(d->partial, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        } else {
            d->file = INVALID_HANDLE_VALUE;
        }
        if (d->file == INVALID_HANDLE_VALUE) {
            d->file = nullptr;
            d->partial[0] = '\0';
            CloseHttpDownload(slot);
            return WriteLogFormat("ファイル %s を作成できませんでした", fileName);
        }
    }
    return slot;
}

int GetHttpDownloadStatus(int slot, HttpDownloadStatus* out) {
    const HttpDownloadData* d = RecordAt(slot);
    if (d == nullptr) return -1;
    *out = {d->state, d->error, d->received, d->size};
    return 0;
}
