// winsock.h: WinSock 1.1 as far as the library's network uses it, answered on Linux over
// POSIX sockets by platform/src/winsock/. Values and widths are WinSock's: SOCKET is an
// unsigned pointer-sized id (never 0, never reused), sockaddr_in is 16 bytes, errors are
// the WSA numbers. Events registered with WSAAsyncSelect are found by PeekMessageA on
// the thread that owns the window, with one poll(), and posted as window messages.
//
// C++ linkage, like the rest of the platform: a C-linkage connect or send would take the
// place of the C library's own in X11's and SDL's calls in this process. For the same
// reason this header is never included beside the POSIX socket headers.
#pragma once

#include "platform/win32.h"

// The C library's own u_char, u_short and u_int are the same types; its u_long is 64
// bits, so WinSock's 32-bit u_long values are written as uint32_t here.
typedef unsigned char u_char;
typedef unsigned short u_short;
typedef unsigned int u_int;
typedef UINT_PTR SOCKET;

#define INVALID_SOCKET (~static_cast<SOCKET>(0))
#define SOCKET_ERROR (-1)

#define AF_INET 2
#define PF_INET AF_INET
#define SOCK_STREAM 1
#define IPPROTO_TCP 6
#define INADDR_ANY 0x00000000u
#define INADDR_NONE 0xFFFFFFFFu
#define INADDR_LOOPBACK 0x7F000001u
#define SOMAXCONN 5

#define MSG_PEEK 0x2

// WSAAsyncSelect events: the low word of the message's lParam; the error is the high word.
#define FD_READ 0x01
#define FD_WRITE 0x02
#define FD_OOB 0x04
#define FD_ACCEPT 0x08
#define FD_CONNECT 0x10
#define FD_CLOSE 0x20
#define WSAGETSELECTEVENT(lParam) LOWORD(lParam)
#define WSAGETSELECTERROR(lParam) HIWORD(lParam)

// Errors (WSAGetLastError).
#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAEINPROGRESS 10036
#define WSAEALREADY 10037
#define WSAENOTSOCK 10038
#define WSAEMSGSIZE 10040
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOBUFS 10055
#define WSAEISCONN 10056
#define WSAENOTCONN 10057
#define WSAESHUTDOWN 10058
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAEHOSTUNREACH 10065
#define WSASYSNOTREADY 10091
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093
#define WSAHOST_NOT_FOUND 11001
#define WSANO_DATA 11004

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

typedef struct WSAData {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
} WSADATA, *LPWSADATA;

struct in_addr {
    uint32_t s_addr;  // network byte order: the first octet in the lowest byte
};

struct sockaddr {
    u_short sa_family;
    char sa_data[14];
};

struct sockaddr_in {
    short sin_family;
    u_short sin_port;  // network byte order
    struct in_addr sin_addr;
    char sin_zero[8];
};
static_assert(sizeof(sockaddr_in) == 16, "WinSock's sockaddr_in is 16 bytes");

struct hostent {
    char* h_name;
    char** h_aliases;
    short h_addrtype;
    short h_length;
    char** h_addr_list;
};
#define h_addr h_addr_list[0]

int WSAStartup(WORD versionRequested, LPWSADATA data);
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int error);
// Window, message and events for the socket; the socket becomes non-blocking. An event
// mask of 0 stops the events.
int WSAAsyncSelect(SOCKET s, HWND window, u_int message, long events);

SOCKET socket(int af, int type, int protocol);
int closesocket(SOCKET s);
int bind(SOCKET s, const struct sockaddr* name, int nameLength);
int listen(SOCKET s, int backlog);
int getsockname(SOCKET s, struct sockaddr* name, int* nameLength);
int connect(SOCKET s, const struct sockaddr* name, int nameLength);
SOCKET accept(SOCKET s, struct sockaddr* address, int* addressLength);
int send(SOCKET s, const char* buffer, int length, int flags);
int recv(SOCKET s, char* buffer, int length, int flags);

u_short htons(u_short value);
u_short ntohs(u_short value);
uint32_t htonl(uint32_t value);
uint32_t ntohl(uint32_t value);
// INADDR_NONE for anything but a dotted IPv4 address.
uint32_t inet_addr(const char* text);
// Synchronous, IPv4 only; the entry is the calling thread's until its next look-up.
struct hostent* gethostbyname(const char* name);
struct hostent* gethostbyaddr(const char* address, int length, int type);
