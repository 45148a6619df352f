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
//   the transfer: finished for a file body of unknown size with nothing left, else
//   failed with error 3. So no transfer waits on bytes that can never be taken.
#include "QzWinNetHttp.h"

#include <climits>
#include <cstring>

#include "QzUseCLib.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzWinNetUrl.h"

HttpSystemState g_http;

namespace {

constexpr int kBodyPiece = 4096;
constexpr int kLengthKeySize = 15;  // "Content-Length:"
// File bodies stream through one buffer per method; a call uses it only between its
// receive and the write that follows.
char g_getBuffer[kBodyPiece];
char g_postBuffer[kBodyPiece];
// Whether the transfer being processed took bytes from its connection in this pass.
int g_passTookBytes = 0;

HttpDownloadData* RecordAt(int slot) { return slot >= 0 && slot < kHttpSlots ? g_http.table[slot] : nullptr; }

bool IsLengthLine(const char* line) { return CompareStringsN(line, "Content-Length:", kLengthKeySize) == 0; }

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

// The common body of GET and POST: step 0 sends the request, then status, headers, body.
int ProcessHttpTransfer(int slot, bool post) {
    HttpDownloadData* d = RecordAt(slot);
    if (d == nullptr) return -1;
    char request[128 + 256 + 128];
    if (d->step == 0) {
        if (post) {
            FormatStringBounded(request, sizeof request, "POST %s HTTP/1.0\nHost: %s:%d\nContent-Length: %d\n\n", d->path,
                                d->host, d->port, d->postLength);
            NetWorkSend(d->connection, request, static_cast<int>(std::strlen(request)));
            NetWorkSend(d->connection, d->postBody, d->postLength);
        } else {
            FormatStringBounded(request, sizeof request, "GET %s HTTP/1.0\r\nHost: %s:%d\r\nConnection: close\r\n\r\n",
                                d->path, d->host, d->port);
            NetWorkSend(d->connection, request, static_cast<int>(std::strlen(request)));
        }
        d->step = 1;
    }
    if (d->step == 1 && !TakeStatus(slot, d, !post)) return 0;
    if (d->step == 2) {
        char line[kHttpLineLimit + 1];
        const int got = ReadHttpLine(d->connection, line);
        if (got == -2) return FinishHttpDownload(slot, 2, 0);
        if (got != 0) return 0;
        if (std::strchr(line, ':') != nullptr) {
            // One header line a call; only the first length counts.
            if (IsLengthLine(line) && !d->lengthSeen) TakeLength(slot, d, line);
            return 0;
        }
        d->step = 3;
    }
    if (d->step != 3) return 0;
    char* buffer = post ? g_postBuffer : g_getBuffer;
    for (;;) {
        int n;
        if (d->output == 0) {
            const int left = d->size == -1 ? kBodyPiece : d->size - d->received;
            n = NetWorkRecv(d->connection, buffer, left < kBodyPiece ? left : kBodyPiece);
            if (n > 0) {
                DWORD written = 0;
                if (!WriteFile(d->file, buffer, static_cast<DWORD>(n), &written, nullptr) || written != static_cast<DWORD>(n))
                    return FinishHttpDownload(slot, 2, 4);
            }
        } else {
            n = d->size == -1 ? -1
                              : NetWorkRecv(d->connection, static_cast<char*>(*d->memoryTarget) + d->received,
                                            d->size - d->received);
        }
        if (n < 0) return 0;
        if (n > 0) g_passTookBytes = 1;
        d->received += n;
        const int a = GetNetWorkAcceptState(d->connection);
        const int b = GetNetWorkDataLength(d->connection);
        if ((d->size != -1 && d->received >= d->size) || (d->size == -1 && a == 0 && b == 0))
            return FinishHttpDownload(slot, 0, -1);
        if (post && d->size == -1 && (a != 0 || b != 0)) return 0;
        if (n == 0) return 0;
    }
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
    // is invalid): nothing more can come.
    const int left = GetNetWorkDataLength(d->connection);
    if (d->method != kHttpHead && d->step == 3 && d->output == 0 && d->size == -1 && left <= 0)
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
    if (RecordAt(slot) == nullptr) return -1;
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
    if (d->step == 0) {
        char request[256 + 32];
        FormatStringBounded(request, sizeof request, "HEAD %s HTTP/1.0\n\n", d->path);
        NetWorkSend(d->connection, request, static_cast<int>(std::strlen(request)));
        d->step = 1;
    }
    if (d->step == 1 && !TakeStatus(slot, d, false)) return 0;
    if (d->step == 2) {
        char line[kHttpLineLimit + 1];
        const int got = ReadHttpLine(d->connection, line);
        if (got == -2) return FinishHttpDownload(slot, 2, 0);
        if (got != 0 || !IsLengthLine(line)) return 0;
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
    } else {
        d->file = CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (d->file == INVALID_HANDLE_VALUE) {
            d->file = nullptr;
            CloseHttpDownload(slot);
            return WriteLogFormat("ファイル %s を作成できませんでした", fileName);
        }
    }
    return slot;
}
