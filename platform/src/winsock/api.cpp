// winsock/api.cpp: the WinSock calls of winsock.h over the socket table of sockets.h.
// Any thread. Never includes the POSIX socket headers (see sockets.h).
#include <cstring>

#include "platform/winsock.h"
#include "winsock/sockets.h"

namespace {

// The calling thread's host entry, valid until its next look-up.
struct HostEntry {
    hostent entry;
    char name[256];
    char address[16];
    char* addresses[2];
    char* aliases[1];
};
thread_local HostEntry t_host;

hostent* FillHostEntry(const winsock::HostAnswer& answer) {
    HostEntry& h = t_host;
    std::memset(&h, 0, sizeof h);
    std::strncpy(h.name, answer.name.c_str(), sizeof h.name - 1);
    std::memcpy(h.address, answer.address, sizeof h.address);
    h.addresses[0] = h.address;
    h.entry.h_name = h.name;
    h.entry.h_aliases = h.aliases;
    h.entry.h_addrtype = static_cast<short>(answer.family);
    h.entry.h_length = static_cast<short>(answer.length);
    h.entry.h_addr_list = h.addresses;
    return &h.entry;
}

bool ReadAddress(const sockaddr* name, int length, uint32_t* address, uint16_t* port) {
    if (name == nullptr || length < static_cast<int>(sizeof(sockaddr_in))) return false;
    const auto* in = reinterpret_cast<const sockaddr_in*>(name);
    if (in->sin_family != AF_INET) return false;
    *address = in->sin_addr.s_addr;
    *port = in->sin_port;
    return true;
}

bool WriteAddress(sockaddr* name, int* length, uint32_t address, uint16_t port) {
    if (name == nullptr || length == nullptr) return true;
    if (*length < static_cast<int>(sizeof(sockaddr_in))) return false;
    sockaddr_in in = {};
    in.sin_family = AF_INET;
    in.sin_port = port;
    in.sin_addr.s_addr = address;
    std::memcpy(name, &in, sizeof in);
    *length = sizeof in;
    return true;
}

}  // namespace

int WSAStartup(WORD versionRequested, LPWSADATA data) {
    if (data == nullptr) return WSAEFAULT;
    uint16_t version = 0;
    const int error = winsock::Startup(versionRequested, &version);
    if (error != 0) return error;
    std::memset(data, 0, sizeof *data);
    data->wVersion = version;
    data->wHighVersion = version;
    std::strcpy(data->szDescription, "WinSock over POSIX sockets");
    std::strcpy(data->szSystemStatus, "Running");
    data->iMaxSockets = 32767;
    return 0;
}

int WSACleanup() { return winsock::Cleanup(); }
int WSAGetLastError() { return winsock::LastError(); }
void WSASetLastError(int error) { winsock::SetLastError(error); }

int WSAAsyncSelect(SOCKET s, HWND window, u_int message, long events) {
    return winsock::AsyncSelect(s, window, message, events);
}

SOCKET socket(int af, int type, int protocol) {
    const uintptr_t s = winsock::Open(af, type, protocol);
    return s != 0 ? s : INVALID_SOCKET;
}

int closesocket(SOCKET s) { return winsock::Close(s); }

int bind(SOCKET s, const sockaddr* name, int nameLength) {
    uint32_t address;
    uint16_t port;
    if (!ReadAddress(name, nameLength, &address, &port)) {
        winsock::SetLastError(WSAEFAULT);
        return SOCKET_ERROR;
    }
    return winsock::Bind(s, address, port);
}

int listen(SOCKET s, int backlog) { return winsock::Listen(s, backlog); }

int getsockname(SOCKET s, sockaddr* name, int* nameLength) {
    uint32_t address;
    uint16_t port;
    if (winsock::LocalName(s, &address, &port) != 0) return SOCKET_ERROR;
    if (name == nullptr || !WriteAddress(name, nameLength, address, port)) {
        winsock::SetLastError(WSAEFAULT);
        return SOCKET_ERROR;
    }
    return 0;
}

int connect(SOCKET s, const sockaddr* name, int nameLength) {
    uint32_t address;
    uint16_t port;
    if (!ReadAddress(name, nameLength, &address, &port)) {
        winsock::SetLastError(WSAEFAULT);
        return SOCKET_ERROR;
    }
    return winsock::Connect(s, address, port);
}

SOCKET accept(SOCKET s, sockaddr* address, int* addressLength) {
    if (address != nullptr && (addressLength == nullptr || *addressLength < static_cast<int>(sizeof(sockaddr_in)))) {
        winsock::SetLastError(WSAEFAULT);
        return INVALID_SOCKET;
    }
    uint32_t peer = 0;
    uint16_t port = 0;
    const uintptr_t accepted = winsock::Accept(s, &peer, &port);
    if (accepted == 0) return INVALID_SOCKET;
    WriteAddress(address, addressLength, peer, port);
    return accepted;
}

int send(SOCKET s, const char* buffer, int length, int flags) { return winsock::Send(s, buffer, length, flags); }
int recv(SOCKET s, char* buffer, int length, int flags) { return winsock::Recv(s, buffer, length, flags); }

u_short htons(u_short value) { return static_cast<u_short>(value << 8 | value >> 8); }
u_short ntohs(u_short value) { return htons(value); }
uint32_t htonl(uint32_t value) { return __builtin_bswap32(value); }
uint32_t ntohl(uint32_t value) { return __builtin_bswap32(value); }

uint32_t inet_addr(const char* text) {
    if (text == nullptr) return INADDR_NONE;
    uint32_t parts[4];
    const char* p = text;
    for (int i = 0; i < 4; ++i) {
        if (*p < '0' || *p > '9') return INADDR_NONE;
        uint32_t value = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + static_cast<uint32_t>(*p++ - '0');
            if (++digits > 3 || value > 255) return INADDR_NONE;
        }
        parts[i] = value;
        if (i < 3 && *p++ != '.') return INADDR_NONE;
    }
    if (*p != '\0') return INADDR_NONE;
    return parts[0] | parts[1] << 8 | parts[2] << 16 | parts[3] << 24;
}

hostent* gethostbyname(const char* name) {
    winsock::HostAnswer answer;
    if (name == nullptr || !winsock::LookUpName(name, &answer)) {
        winsock::SetLastError(WSAHOST_NOT_FOUND);
        return nullptr;
    }
    return FillHostEntry(answer);
}

hostent* gethostbyaddr(const char* address, int length, int type) {
    winsock::HostAnswer answer;
    uint32_t in = 0;
    if (address == nullptr || length != 4 || type != AF_INET) {
        winsock::SetLastError(WSAEFAULT);
        return nullptr;
    }
    std::memcpy(&in, address, 4);
    if (!winsock::LookUpAddress(in, &answer)) {
        winsock::SetLastError(WSAHOST_NOT_FOUND);
        return nullptr;
    }
    return FillHostEntry(answer);
}
