// winsock/sockets.h: the socket table behind winsock.h, in neutral types, so that the
// POSIX side (sockets.cpp, resolver.cpp) never sees winsock.h and the WinSock side
// (api.cpp) never sees the POSIX headers. Ids are winsock.h's SOCKET values.
// Any thread; one lock guards the table. Errors go to the calling thread's WSA error.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace winsock {

// The calling thread's WSAGetLastError value.
int LastError();
void SetLastError(int error);

// 0 or a WSA error; *version is what the answer carries.
int Startup(uint16_t requested, uint16_t* version);
int Cleanup();  // 0, or SOCKET_ERROR (WSANOTINITIALISED)

// Addresses and ports stay in network byte order throughout.
uintptr_t Open(int af, int type, int protocol);  // 0: failed
int Close(uintptr_t s);                          // 0 or -1
int AsyncSelect(uintptr_t s, HWND window, UINT message, long events);
int Bind(uintptr_t s, uint32_t address, uint16_t port);
int Listen(uintptr_t s, int backlog);
int LocalName(uintptr_t s, uint32_t* address, uint16_t* port);
int Connect(uintptr_t s, uint32_t address, uint16_t port);
uintptr_t Accept(uintptr_t s, uint32_t* address, uint16_t* port);  // 0: failed
int Send(uintptr_t s, const char* buffer, int length, int flags);
int Recv(uintptr_t s, char* buffer, int length, int flags);

// A host as a look-up answers it: family 2 with 4 address bytes, or another family.
struct HostAnswer {
    std::string name;
    int family = 2;
    int length = 4;
    uint8_t address[16] = {};
};
bool LookUpName(const char* name, HostAnswer* out);
bool LookUpAddress(uint32_t address, HostAnswer* out);

// PeekMessageA's first step: one poll() over the calling thread's registered sockets,
// at most once per millisecond of the platform clock; each event found is posted.
void PollEvents(DWORD thread);

// The resolver table of testing.h (resolver.cpp): true when it is in use, and then the
// answer (false: not found).
bool TableLookUpName(const char* name, HostAnswer* out, bool* found);
bool TableLookUpAddress(uint32_t address, HostAnswer* out, bool* found);

}  // namespace winsock
