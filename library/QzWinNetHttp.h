// QzWinNetHttp.h: up to 100 HTTP/1.0 transfers (GET, POST, HEAD) over raw connections,
// each advanced a little in every pass of the message pump; the body goes to a file in
// pieces of up to 16 KiB or into one memory block of the announced size.
// Main thread, or the message thread, under the library lock.
#pragma once

#include <platform/win32.h>

#include <cstdint>

#include "QzWinNetWork.h"

constexpr int kHttpSlots = 100;
constexpr int kHttpLineLimit = 255;  // bytes a status or header line is looked for in
constexpr int kHttpRequestSize = 128 + 256 + 128;  // the longest request text, host and path at their limits
// A body is read in pieces of at most this size, at most kMaxCallsPerPass of them (1 MiB) in
// one pass of the upkeep, so no pass holds the game for long whatever the body's size.
constexpr int kHttpBodyPiece = 16384;

enum HttpMethod : int32_t { kHttpGet = 0, kHttpPost = 1, kHttpHead = 2 };

struct HttpDownloadData {
    int32_t method;
    int32_t step;
    int32_t state;  // -1 running, 0 finished, 2 failed
    // With state 2: 0 another status or a bad response, 1 status 404, 2 no memory for the
    // body, 3 connection lost, 4 the file could not be written or put in the target's place.
    int32_t error;
    int32_t connection;  // raw network handle, -1 when none
    int32_t output;      // 0 file, 1 memory
    HANDLE file;
    void** memoryTarget;  // the caller's variable that receives the body block
    int32_t size;         // "Content-Length:", -1 while none was announced
    int32_t received;
    char host[128];
    char path[256];
    uint8_t* postBody;
    int32_t postLength;
    int32_t port;
    int32_t lengthSeen;  // a "Content-Length:" value was taken; later ones are skipped
    // Step 0 sends the request text and then the POST body, as far as the socket takes
    // them in each pass: how many bytes of the two went out so far.
    char request[kHttpRequestSize];
    int32_t requestLength;  // 0 until the text is made
    int32_t requestSent;
    // File output: the body goes into `partial` beside the target, which it replaces only
    // when the transfer finishes with state 0. Empty for memory output and HEAD.
    char target[MAX_PATH];
    char partial[MAX_PATH];
};

// What a caller reads of a transfer.
struct HttpDownloadStatus {
    int32_t state;     // -1 running, 0 finished, 2 failed
    int32_t error;     // with state 2 (see HttpDownloadData), else -1
    int32_t received;  // body bytes taken so far
    int32_t size;      // the announced "Content-Length:", -1 while none was
};

struct HttpSystemState {
    HttpDownloadData* table[kHttpSlots];
    int32_t used;
};
extern HttpSystemState g_http;

// InitializeHttpSystem, TerminateHttpSystem and ProcessAllHttpDownloads: QzWinNetWork.h.
int AddHttpDownloadData();   // slot, or -1 (logged)
int DeleteHttpDownloadData(int slot);
int FinishHttpDownload(int slot, int state, int error);  // 0, -1 for an empty slot
int ProcessHttpDownload(int slot);
int ProcessHttpGet(int slot);
int ProcessHttpPost(int slot);
int ProcessHttpHead(int slot);
int CloseHttpDownload(int slot);  // 0, or -1 outside 0-99 or empty
int CloseAllHttpDownloads();      // 0
// 0 with the line (no line feed, a carriage return kept), -1 while no whole line waits,
// -2 when 255 bytes wait without a line feed (the line can never be taken).
int ReadHttpLine(int connection, char* out);
int ParseHttpLineValue(const char* line);  // the number after the first space, or -1
// Raw connection to the URL's host (or the proxy), or -1 (logged). Outputs may be null;
// host, request and file name take 128 bytes each.
int ConnectHttpHost(const char* url, int proxyFlag, uint8_t* ipOut, char* hostOut, char* requestOut,
                    char* fileNameOut, int* portOut);

// Starts a transfer: a file (fileName, replaced only by a body that arrives whole) or
// memory (*memoryTarget gets the block) output; for POST a copy of the body is sent. A HEAD
// request writes no file. The slot, or -1 (logged).
int StartHttpDownload(int method, const char* url, int proxyFlag, const char* fileName, void** memoryTarget,
                      const void* postBody, int postLength);
// The state, error, received count and announced size of the transfer in the slot: 0, or
// -1 when the slot holds no transfer.
int GetHttpDownloadStatus(int slot, HttpDownloadStatus* out);
// Whether a header line announces the body's length: it begins with "Content-Length:",
// case included. Looks at no byte past the line's end.
bool IsHttpLengthLine(const char* line);
