// QzWinNetUrl.h: the text work of the HTTP transfers: splitting a URL, forming a direct
// or proxy request, URL-encoding a path in place, and two progress-text formatters.
// Texts are zero-terminated bytes in the caller's buffers. Library lock held by callers.
#pragma once

#include <cstdint>

// Size of every URL part text (host, path, request, file name) the HTTP code passes.
constexpr int kHttpUrlTextSize = 128;

// The proxy of the HTTP transfers; an empty host name means none. Nothing in the
// network layer sets it.
struct HttpProxySetting {
    char hostName[256];
    int32_t port;
};
extern HttpProxySetting g_httpProxy;

// 0, or -1 when the URL holds no "//" or a part does not fit kHttpUrlTextSize bytes
// (outputs are then unspecified but never written past that size). Any output may be null.
int ParseHttpUrl(const char* url, char* host, char* path, char* fileName, int* port);
// 0, or -1 when the URL cannot be split or the request does not fit kHttpUrlTextSize.
int ResolveHttpUrl(const char* url, int proxyFlag, char* host, char* request, char* fileName, int* port);
// Encodes in place and returns the encoded length; the buffer must hold the result.
int EncodeUrlText(char* text, int mode, int countOnly);
int FormatByteSizeText(int bytes, char* out);  // 'G', 'M' or 'k'
int FormatTimeText(int milliseconds, char* out);  // 0
