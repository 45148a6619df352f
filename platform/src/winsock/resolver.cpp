// winsock/resolver.cpp: host look-ups for gethostbyname and gethostbyaddr, IPv4 only,
// through getaddrinfo and getnameinfo on the calling thread, or through testing.h's
// resolver table in their place. Any thread. Never includes winsock.h (see sockets.h).
#include <arpa/inet.h>
#include <cstring>
#include <mutex>
#include <netdb.h>
#include <strings.h>
#include <sys/socket.h>
#include <vector>

#include "kernel/controls.h"
#include "platform/testing.h"
#include "winsock/sockets.h"

namespace {

std::mutex g_tableLock;
bool g_tableInUse = false;
std::vector<ptest::ResolverEntry>& g_table = *new std::vector<ptest::ResolverEntry>;  // never destroyed

// The answer of one table row: its IPv4 address, or a 16-byte answer of another family.
void FillFromEntry(const ptest::ResolverEntry& entry, winsock::HostAnswer* out) {
    out->name = entry.name;
    in_addr address = {};
    if (!entry.address.empty() && inet_pton(AF_INET, entry.address.c_str(), &address) == 1) {
        out->family = 2;
        out->length = 4;
        std::memcpy(out->address, &address.s_addr, 4);
    } else {
        out->family = 23;  // WinSock's AF_INET6
        out->length = 16;
        std::memset(out->address, 0, sizeof out->address);
    }
}

}  // namespace

namespace winsock {

bool TableLookUpName(const char* name, HostAnswer* out, bool* found) {
    std::lock_guard<std::mutex> hold(g_tableLock);
    if (!g_tableInUse) return false;
    *found = false;
    for (const auto& entry : g_table) {
        if (strcasecmp(entry.name.c_str(), name) != 0) continue;
        FillFromEntry(entry, out);
        *found = true;
        break;
    }
    return true;
}

bool TableLookUpAddress(uint32_t address, HostAnswer* out, bool* found) {
    std::lock_guard<std::mutex> hold(g_tableLock);
    if (!g_tableInUse) return false;
    *found = false;
    for (const auto& entry : g_table) {
        in_addr parsed = {};
        if (entry.address.empty() || inet_pton(AF_INET, entry.address.c_str(), &parsed) != 1) continue;
        if (parsed.s_addr != address) continue;
        FillFromEntry(entry, out);
        *found = true;
        break;
    }
    return true;
}

bool LookUpName(const char* name, HostAnswer* out) {
    bool found = false;
    if (TableLookUpName(name, out, &found)) return found;
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* list = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &list) != 0 || list == nullptr) return false;
    const auto* in = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
    out->name = list->ai_canonname != nullptr ? list->ai_canonname : name;
    out->family = 2;
    out->length = 4;
    std::memcpy(out->address, &in->sin_addr.s_addr, 4);
    freeaddrinfo(list);
    return true;
}

bool LookUpAddress(uint32_t address, HostAnswer* out) {
    bool found = false;
    if (TableLookUpAddress(address, out, &found)) return found;
    sockaddr_in in = {};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = address;
    char host[NI_MAXHOST];
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&in), sizeof in, host, sizeof host, nullptr, 0, NI_NAMEREQD) != 0)
        return false;
    out->name = host;
    out->family = 2;
    out->length = 4;
    std::memcpy(out->address, &address, 4);
    return true;
}

}  // namespace winsock

namespace kernel {
void ResetResolverControls() {
    std::lock_guard<std::mutex> hold(g_tableLock);
    g_tableInUse = false;
    g_table.clear();
}
}  // namespace kernel

namespace ptest {
void SetResolverTable(const std::vector<ResolverEntry>& entries) {
    std::lock_guard<std::mutex> hold(g_tableLock);
    g_tableInUse = true;
    g_table = entries;
}
}  // namespace ptest
