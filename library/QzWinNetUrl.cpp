// QzWinNetUrl.cpp: URL splitting, request forming, URL encoding and progress texts.
// Every output is bounded by kHttpUrlTextSize: a URL whose parts do not fit fails
// instead of writing past the caller's buffers.
#include "QzWinNetUrl.h"

#include <cstdio>
#include <cstring>

#include "QzUseCLib.h"
#include "QzWinState.h"

HttpProxySetting g_httpProxy;

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Copies n bytes and a terminator; false (nothing written) when that does not fit.
bool CopyPart(char* out, const char* from, size_t n) {
    if (n + 1 > static_cast<size_t>(kHttpUrlTextSize)) return false;
    std::memcpy(out, from, n);
    out[n] = '\0';
    return true;
}

bool IsKept(unsigned char c, int mode) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    if (c == '.' || c == '_' || c == '-' || c == '*') return true;
    if (c == '/' || c == ':' || c == '%') return mode != 1;
    return false;
}

bool PairsDoubleBytes(int mode) { return mode == 0; }

// The exact length EncodeUrlText gives (double-byte pairs recognised as it does).
int EncodedLength(const char* text, int mode) {
    int length = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == ' ' || IsKept(c, mode)) {
            length += 1;
        } else if (PairsDoubleBytes(mode) && IsDoubleByteLeadChar(p, g_windowSystem.codePageMode) && p[1] != '\0') {
            length += 6;
            ++p;
        } else {
            length += 3;
        }
    }
    return length;
}

void WriteEscape(char* at, unsigned char c) {
    at[0] = '%';
    at[1] = kHexDigits[c >> 4];
    at[2] = kHexDigits[c & 15];
}

}  // namespace

int ParseHttpUrl(const char* url, char* host, char* path, char* fileName, int* port) {
    char scratchHost[kHttpUrlTextSize], scratchPath[kHttpUrlTextSize], scratchFile[kHttpUrlTextSize];
    int scratchPort;
    if (host == nullptr) host = scratchHost;
    if (path == nullptr) path = scratchPath;
    if (fileName == nullptr) fileName = scratchFile;
    if (port == nullptr) port = &scratchPort;

    const char* slashes = std::strstr(url, "//");
    if (slashes == nullptr) return -1;
    const char* hostStart = slashes + 2;
    const char* pathStart = FindFirstChar(hostStart, '/');
    if (pathStart != nullptr) {
        if (!CopyPart(host, hostStart, static_cast<size_t>(pathStart - hostStart))) return -1;
        if (!CopyPart(path, pathStart, std::strlen(pathStart))) return -1;
    } else {
        if (!CopyPart(host, hostStart, std::strlen(hostStart))) return -1;
        CopyPart(path, "/", 1);
    }

    char* colon = std::strchr(host, ':');
    if (colon != nullptr) {
        // Read with saturation, so "h:4294967376" is not port 80; past 65535 is no port.
        int64_t value = 0;
        if (!ReadSaturatedDecimal(colon + 1, &value)) value = -1;
        if (value > 65535) return -1;
        *port = value <= 0 ? -1 : static_cast<int>(value);
        *colon = '\0';
    } else {
        *port = -1;
    }

    const char* lastSlash = FindLastChar(path, '/');
    const char* name = lastSlash != nullptr ? lastSlash + 1 : path;
    if (*name == '\0') name = "index.htm";
    CopyPart(fileName, name, std::strlen(name));  // never longer than the path
    return 0;
}

int ResolveHttpUrl(const char* url, int proxyFlag, char* host, char* request, char* fileName, int* port) {
    char scratchHost[kHttpUrlTextSize];
    if (host == nullptr) host = scratchHost;
    host[0] = '\0';
    if (proxyFlag == 1) {
        char urlHost[kHttpUrlTextSize], localPath[kHttpUrlTextSize];
        int urlPort;
        if (ParseHttpUrl(url, urlHost, localPath, fileName, &urlPort) == -1) return -1;
        if (EncodedLength(localPath, 0) >= kHttpUrlTextSize) return -1;
        EncodeUrlText(localPath, 0, 0);
        char absolute[kHttpUrlTextSize * 2 + 32];
        int n = urlPort != -1 ? std::snprintf(absolute, sizeof(absolute), "http://%s:%d%s", urlHost, urlPort, localPath)
                              : std::snprintf(absolute, sizeof(absolute), "http://%s%s", urlHost, localPath);
        if (n < 0 || n >= kHttpUrlTextSize) return -1;
        if (request != nullptr) std::memcpy(request, absolute, static_cast<size_t>(n) + 1);
        // The proxy's host name fits its own 256 bytes, not necessarily the caller's 128.
        if (!CopyPart(host, g_httpProxy.hostName, strnlen(g_httpProxy.hostName, sizeof(g_httpProxy.hostName) - 1)))
            return -1;
        if (port != nullptr) *port = g_httpProxy.port;
        if (host[0] != '\0') return 0;
    }
    char scratchRequest[kHttpUrlTextSize];
    if (request == nullptr) request = scratchRequest;
    int directPort;
    if (ParseHttpUrl(url, host, request, fileName, &directPort) == -1) return -1;
    if (directPort == -1) directPort = 80;
    if (port != nullptr) *port = directPort;
    if (EncodedLength(request, 0) >= kHttpUrlTextSize) return -1;
    EncodeUrlText(request, 0, 0);
    return 0;
}

int EncodeUrlText(char* text, int mode, int countOnly) {
    int length = 0;
    char* p = text;
    while (*p != '\0') {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == ' ') {
            if (!countOnly) *p = '+';
            length += 1;
            p += 1;
        } else if (IsKept(c, mode)) {
            length += 1;
            p += 1;
        } else if (countOnly) {
            length += 3;
            p += 1;
        } else if (PairsDoubleBytes(mode) && IsDoubleByteLeadChar(p, g_windowSystem.codePageMode) && p[1] != '\0') {
            const unsigned char second = static_cast<unsigned char>(p[1]);
            std::memmove(p + 6, p + 2, std::strlen(p + 2) + 1);
            WriteEscape(p, c);
            WriteEscape(p + 3, second);
            length += 6;
            p += 6;
        } else {
            std::memmove(p + 3, p + 1, std::strlen(p + 1) + 1);
            WriteEscape(p, c);
            length += 3;
            p += 3;
        }
    }
    return length;
}

int FormatByteSizeText(int bytes, char* out) {
    const double x = static_cast<double>(bytes);
    if (x > 858993459.2) {
        std::sprintf(out, "%.1f", x * (1.0 / 1073741824.0));
        return 'G';
    }
    if (x > 838860.8) {
        std::sprintf(out, "%.1f", x * (1.0 / 1048576.0));
        return 'M';
    }
    std::sprintf(out, "%.1f", x * (1.0 / 1024.0));
    if (std::strcmp(out, "-0.0") == 0) std::strcpy(out, "0.0");
    return 'k';
}

int FormatTimeText(int milliseconds, char* out) {
    out[0] = '\0';
    int ms = milliseconds;
    bool days = false, hours = false;
    if (ms >= 86400000) {
        std::sprintf(out + std::strlen(out), "%d日 ", ms / 86400000);
        ms %= 86400000;
        days = true;
    }
    if (ms >= 3600000) {
        std::sprintf(out + std::strlen(out), "%d時間 ", ms / 3600000);
        ms %= 3600000;
        hours = true;
    }
    if (ms >= 60000 && !days) {
        std::sprintf(out + std::strlen(out), "%d分 ", ms / 60000);
        ms %= 60000;
    }
    if (!days && !hours) std::sprintf(out + std::strlen(out), "%d秒", ms / 1000);
    return 0;
}
