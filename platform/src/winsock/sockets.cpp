// winsock/sockets.cpp: WinSock sockets over POSIX descriptors, and their events.
// Any thread; g_lock guards the table. Never includes winsock.h (see sockets.h).
//
// Events are re-armed as WinSock re-arms them, one message per occurrence:
//   FD_CONNECT  once, with SO_ERROR's error; FD_WRITE follows a success
//   FD_READ     when data waits while armed; posting disarms, every recv re-arms
//   FD_WRITE    after connect or accept, then after a send that would have blocked
//   FD_CLOSE    once, on an orderly close (error 0) or a reset, after the FD_READ of
//               earlier data
//   FD_ACCEPT   while a connection waits on the listener; accept re-arms
#include "winsock/sockets.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "kernel/clock.h"
#include "kernel/controls.h"
#include "kernel/diag.h"
#include "platform/testing.h"
#include "window/model.h"

namespace winsock {
namespace {

// winsock.h's values, repeated here because that header stays out of this file.
constexpr int kAfInet = 2;
constexpr int kSockStream = 1;
constexpr int kMsgPeek = 0x2;
constexpr long kFdRead = 0x01, kFdWrite = 0x02, kFdAccept = 0x08, kFdConnect = 0x10, kFdClose = 0x20;
constexpr int kWouldBlock = 10035, kNotSocket = 10038, kInvalid = 10022, kNotInitialised = 10093;
constexpr int kSysNotReady = 10091, kConnRefused = 10061, kConnAborted = 10053, kNoBufs = 10055;
constexpr int kSocketError = -1;

enum class State { Fresh, Connecting, Connected, Listening, Failed };

struct Socket {
    int fd = -1;
    State state = State::Fresh;
    HWND window = nullptr;
    UINT message = 0;
    long mask = 0;
    DWORD owner = 0;
    bool readArmed = true;
    bool writeArmed = false;
    bool acceptArmed = true;
    bool closeReported = false;
    // The peer's side ended and nothing is left to read: a level-triggered EPOLLIN would
    // announce that end on every poll, so the read interest goes for good.
    bool readEnded = false;
    int epoll = -1;          // the owner thread's epoll, once registered
    uint32_t interest = 0;   // what that epoll watches for it (0: not in it)
    int sendCap = 0;  // testing.h: at most this many bytes a call (0: no cap)
    int recvCap = 0;
    std::vector<std::pair<HWND, UINT>> postedTo;  // where its events went, for closesocket
};

std::mutex g_lock;
std::map<uintptr_t, Socket>& g_sockets = *new std::map<uintptr_t, Socket>;  // never destroyed
uintptr_t g_nextId = 1;
std::atomic<int> g_registered{0};  // sockets with a window and events: PeekMessageA's fast test
int g_startups = 0;
// testing.h's paired connects: (address, port) in network order -> the library's end.
std::map<std::pair<uint32_t, uint16_t>, int>& g_pairs = *new std::map<std::pair<uint32_t, uint16_t>, int>;

thread_local int t_lastError = 0;
// One epoll per thread that owns registered sockets, watching for exactly the events that
// are armed, so a poll costs what is ready, not what is open.
std::map<DWORD, int>& g_epolls = *new std::map<DWORD, int>;

int ErrorOf(int error) {
    switch (error) {
    case EAGAIN:
    case EINPROGRESS: return kWouldBlock;
    case ECONNREFUSED: return kConnRefused;
    case ETIMEDOUT: return 10060;
    case ENETUNREACH: return 10051;
    case EHOSTUNREACH: return 10065;
    case ECONNRESET:
    case EPIPE: return 10054;
    case EBADF:
    case ENOTSOCK: return kNotSocket;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case EMFILE:
    case ENFILE: return 10024;
    case ENOBUFS:
    case ENOMEM: return kNoBufs;
    case ENOTCONN: return 10057;
    case EISCONN: return 10056;
    case EALREADY: return 10037;
    case ECONNABORTED: return kConnAborted;
    case EACCES: return 10013;
    case EAFNOSUPPORT: return 10047;
    default: return kInvalid;
    }
}

template <typename T>
T Fail(int error, T result) {
    t_lastError = error;
    return result;
}

Socket* Find(uintptr_t s) {
    auto it = g_sockets.find(s);
    return it == g_sockets.end() ? nullptr : &it->second;
}

bool IsRegistered(const Socket& socket) { return socket.window != nullptr && socket.mask != 0; }

void SetRegistered(Socket* socket, HWND window, UINT message, long mask) {
    const bool was = IsRegistered(*socket);
    socket->window = window;
    socket->message = message;
    socket->mask = mask;
    const bool now = IsRegistered(*socket);
    if (was != now) g_registered.fetch_add(now ? 1 : -1);
}

// What the socket waits for now, from its state, mask and armed events.
uint32_t WantedEvents(const Socket& socket) {
    if (!IsRegistered(socket)) return 0;
    switch (socket.state) {
    case State::Connecting: return EPOLLOUT;
    case State::Listening: return socket.acceptArmed && (socket.mask & kFdAccept) ? uint32_t{EPOLLIN} : 0u;
    case State::Connected: {
        uint32_t want = 0;
        if (!socket.closeReported) want |= EPOLLRDHUP;
        if (socket.readArmed && (socket.mask & kFdRead) && !socket.readEnded) want |= EPOLLIN;
        if (socket.writeArmed && (socket.mask & kFdWrite)) want |= EPOLLOUT;
        return want;
    }
    default: return 0;
    }
}

// Brings the owner's epoll in line with what the socket waits for (g_lock held).
void Rearm(uintptr_t id, Socket* socket, bool descriptorReplaced = false) {
    const uint32_t want = WantedEvents(*socket);
    if (descriptorReplaced) socket->interest = 0;  // the old description left the epoll with it
    if (want == socket->interest && !descriptorReplaced) return;
    if (socket->epoll < 0) return;
    epoll_event event = {};
    event.events = want;
    event.data.u64 = id;
    if (want == 0) {
        epoll_ctl(socket->epoll, EPOLL_CTL_DEL, socket->fd, &event);
    } else if (socket->interest == 0) {
        if (epoll_ctl(socket->epoll, EPOLL_CTL_ADD, socket->fd, &event) != 0 && errno == EEXIST)
            epoll_ctl(socket->epoll, EPOLL_CTL_MOD, socket->fd, &event);
    } else {
        epoll_ctl(socket->epoll, EPOLL_CTL_MOD, socket->fd, &event);
    }
    socket->interest = want;
}

void Post(Socket* socket, uintptr_t id, long event, int error) {
    const LPARAM lParam = static_cast<LPARAM>(static_cast<DWORD>(event & 0xFFFF) | static_cast<DWORD>(error & 0xFFFF) << 16);
    const std::pair<HWND, UINT> target{socket->window, socket->message};
    bool known = false;
    for (const auto& seen : socket->postedTo) known = known || seen == target;
    if (!known) socket->postedTo.push_back(target);
    PostMessageA(socket->window, socket->message, static_cast<WPARAM>(id), lParam);
}

int PendingError(int fd) {
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
    return error;
}

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
    sockaddr_in in = {};
    in.sin_family = AF_INET;
    in.sin_port = port;
    in.sin_addr.s_addr = address;
    return in;
}

uintptr_t AddSocket(int fd, State state) {
    const uintptr_t id = g_nextId++;
    Socket& socket = g_sockets[id];
    socket.fd = fd;
    socket.state = state;
    return id;
}

}  // namespace

int LastError() { return t_lastError; }
void SetLastError(int error) { t_lastError = error; }

int Startup(uint16_t requested, uint16_t* version) {
    if (kernel::ConsumeFault("WSAStartup")) return kSysNotReady;
    *version = kernel::ConsumeFault("WSAStartup:2.2") ? 0x0202 : 0x0101;
    (void)requested;
    std::lock_guard<std::mutex> hold(g_lock);
    ++g_startups;
    return 0;
}

int Cleanup() {
    std::lock_guard<std::mutex> hold(g_lock);
    if (g_startups == 0) return Fail(kNotInitialised, kSocketError);
    --g_startups;
    // The last cleanup with no socket left gives back the threads' epolls too, so a
    // program that started and ended WinSock keeps no descriptor of it.
    if (g_startups == 0 && g_sockets.empty()) {
        for (auto& [thread, epoll] : g_epolls) ::close(epoll);
        g_epolls.clear();
    }
    return 0;
}

uintptr_t Open(int af, int type, int protocol) {
    if (kernel::ConsumeFault("socket")) return Fail(kNoBufs, uintptr_t{0});
    if (af != kAfInet || type != kSockStream) return Fail(10047, uintptr_t{0});
    (void)protocol;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return Fail(ErrorOf(errno), uintptr_t{0});
    std::lock_guard<std::mutex> hold(g_lock);
    return AddSocket(fd, State::Fresh);
}

int Close(uintptr_t s) {
    std::vector<std::pair<HWND, UINT>> postedTo;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        Socket* socket = Find(s);
        if (socket == nullptr) return Fail(kNotSocket, kSocketError);
        if (IsRegistered(*socket)) g_registered.fetch_sub(1);
        if (socket->interest != 0) epoll_ctl(socket->epoll, EPOLL_CTL_DEL, socket->fd, nullptr);
        ::close(socket->fd);
        postedTo.swap(socket->postedTo);
        g_sockets.erase(s);
    }
    // Its events still queued would name a socket that no longer exists.
    for (const auto& [window, message] : postedTo) window::DropPostedMessages(window, message, static_cast<WPARAM>(s));
    return 0;
}

int AsyncSelect(uintptr_t s, HWND window, UINT message, long events) {
    if (kernel::ConsumeFault("WSAAsyncSelect")) return Fail(kInvalid, kSocketError);
    const DWORD owner = window != nullptr ? GetWindowThreadProcessId(window, nullptr) : 0;
    if (events != 0 && owner == 0) return Fail(kInvalid, kSocketError);
    std::lock_guard<std::mutex> hold(g_lock);
    Socket* socket = Find(s);
    if (socket == nullptr) return Fail(kNotSocket, kSocketError);
    const int flags = fcntl(socket->fd, F_GETFL);
    if (flags < 0 || fcntl(socket->fd, F_SETFL, flags | O_NONBLOCK) != 0) return Fail(ErrorOf(errno), kSocketError);
    if (socket->interest != 0 && socket->owner != owner) {
        epoll_ctl(socket->epoll, EPOLL_CTL_DEL, socket->fd, nullptr);
        socket->interest = 0;
    }
    SetRegistered(socket, events != 0 ? window : nullptr, message, events);
    socket->owner = owner;
    if (owner != 0) {
        int& epoll = g_epolls[owner];
        if (epoll == 0) epoll = epoll_create1(EPOLL_CLOEXEC);
        socket->epoll = epoll;
    }
    Rearm(s, socket);
    return 0;
}

int Bind(uintptr_t s, uint32_t address, uint16_t port) {
    std::lock_guard<std::mutex> hold(g_lock);
    Socket* socket = Find(s);
    if (socket == nullptr) return Fail(kNotSocket, kSocketError);
    const sockaddr_in in = MakeAddress(address, port);
    if (::bind(socket->fd, reinterpret_cast<const sockaddr*>(&in), sizeof in) != 0) return Fail(ErrorOf(errno), kSocketError);
    return 0;
}

int Listen(uintptr_t s, int backlog) {
    std::lock_guard<std::mutex> hold(g_lock);
    Socket* socket = Find(s);
    if (socket == nullptr) return Fail(kNotSocket, kSocketError);
    if (::listen(socket->fd, backlog) != 0) return Fail(ErrorOf(errno), kSocketError);
    socket->state = State::Listening;
    socket->acceptArmed = true;
    Rearm(s, socket);
    return 0;
}

int LocalName(uintptr_t s, uint32_t* address, uint16_t* port) {
    std::lock_guard<std::mutex> hold(g_lock);
    Socket* socket = Find(s);
    if (socket == nullptr) return Fail(kNotSocket, kSocketError);
    sockaddr_in in = {};
    socklen_t size = sizeof in;
    if (getsockname(socket->fd, reinterpret_cast<sockaddr*>(&in), &size) != 0) return Fail(ErrorOf(errno), kSocketError);
    *address = in.sin_addr.s_addr;
    *port = in.sin_port;
    return 0;
}

int Connect(uintptr_t s, uint32_t address, uint16_t port) {
    std::lock_guard<std::mutex> hold(g_lock);
    Socket* socket = Find(s);
    if (socket == nullptr) return Fail(kNotSocket, kSocketError);
    if (kernel::ConsumeFault("connect")) return Fail(kConnRefused, kSocketError);
    auto paired = g_pairs.find({address, port});
    const bool replaced = paired != g_pairs.end();
    if (replaced) {
        // The test's socketpair takes the socket's place: same descriptor, same calls.
        const int flags = fcntl(socket->fd, F_GETFL);
        dup2(paired->second, socket->fd);
        fcntl(socket->fd, F_SETFL, flags);
        ::close(paired->second);
        g_pairs.erase(paired);
    } else {
        const sockaddr_in in = MakeAddress(address, port);
        if (::connect(socket->fd, reinterpret_cast<const sockaddr*>(&in), sizeof in) != 0 && errno != EINPROGRESS)
            return Fail(ErrorOf(errno), kSocketError);
    }
    // The outcome comes as FD_CONNECT, also when the connection was made at once.
    socket->state = State::Connecting;
    Rearm(s, socket, replaced);
    return Fail(kWouldBlock, kSocketError);
}

uintptr_t Accept(uintptr_t s, uint32_t* address, uint16_t* port) {
    std::lock_guard<std::mutex> hold(g_lock);
    Socket* socket = Find(s);
    if (socket == nullptr) return Fail(kNotSocket, uintptr_t{0});
    socket->acceptArmed = true;
    Rearm(s, socket);
    if (kernel::ConsumeFault("accept")) return Fail(kConnAborted, uintptr_t{0});
    sockaddr_in in = {};
    socklen_t size = sizeof in;
    const int fd = accept4(socket->fd, reinterpret_cast<sockaddr*>(&in), &size, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return Fail(ErrorOf(errno), uintptr_t{0});
    if (address != nullptr) *address = in.sin_addr.s_addr;
    if (port != nullptr) *port = in.sin_port;
    const uintptr_t id = AddSocket(fd, State::Connected);
    g_sockets[id].writeArmed = true;
    return id;
}

int Send(uintptr_t s, const char* buffer, int length, int flags) {
    std::lock_guard<std::mutex> hold(g_lock);
    Socket* socket = Find(s);
    if (socket == nullptr) return Fail(kNotSocket, kSocketError);
    if (length < 0) return Fail(kInvalid, kSocketError);
    (void)flags;
    if (socket->sendCap > 0 && length > socket->sendCap) length = socket->sendCap;
    const ssize_t sent = ::send(socket->fd, buffer, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (sent < 0) {
        const int error = errno;
        if (error == EAGAIN) {
            socket->writeArmed = true;
            Rearm(s, socket);
        }
        return Fail(ErrorOf(error), kSocketError);
    }
    return static_cast<int>(sent);
}

int Recv(uintptr_t s, char* buffer, int length, int flags) {
    std::lock_guard<std::mutex> hold(g_lock);
    Socket* socket = Find(s);
    if (socket == nullptr) return Fail(kNotSocket, kSocketError);
    if (length < 0) return Fail(kInvalid, kSocketError);
    if (!socket->readArmed) {
        socket->readArmed = true;
        Rearm(s, socket);
    }
    if (socket->recvCap > 0 && length > socket->recvCap) length = socket->recvCap;
    const ssize_t got = ::recv(socket->fd, buffer, static_cast<size_t>(length), (flags & kMsgPeek) ? MSG_PEEK : 0);
    if (got < 0) return Fail(ErrorOf(errno), kSocketError);
    return static_cast<int>(got);
}

void PollEvents(DWORD thread) {
    if (g_registered.load(std::memory_order_relaxed) == 0) return;
    // However fast a peer sends, a pump that peeks until its queue is empty gets to the
    // end: new events are looked for at most once a millisecond.
    thread_local bool polled = false;
    thread_local uint64_t lastPoll = 0;
    const uint64_t now = kernel::ReadClockMicroseconds();
    if (polled && now - lastPoll < 1000) return;
    polled = true;
    lastPoll = now;

    std::lock_guard<std::mutex> hold(g_lock);
    auto epoll = g_epolls.find(thread);
    if (epoll == g_epolls.end()) return;
    epoll_event ready[256];
    const int count = epoll_wait(epoll->second, ready, 256, 0);
    for (int i = 0; i < count; ++i) {
        const uintptr_t id = static_cast<uintptr_t>(ready[i].data.u64);
        Socket* found = Find(id);
        if (found == nullptr) continue;
        Socket& socket = *found;
        const uint32_t got = ready[i].events;
        if (socket.state == State::Connecting) {
            const int error = PendingError(socket.fd);
            socket.state = error == 0 ? State::Connected : State::Failed;
            if (error == 0) socket.writeArmed = false;  // FD_WRITE goes out with the connect
            if (socket.mask & kFdConnect) Post(&socket, id, kFdConnect, error == 0 ? 0 : ErrorOf(error));
            if (error == 0 && (socket.mask & kFdWrite)) Post(&socket, id, kFdWrite, 0);
        } else if (socket.state == State::Listening) {
            socket.acceptArmed = false;
            Post(&socket, id, kFdAccept, 0);
        } else if (socket.state == State::Connected) {
            if ((got & EPOLLIN) && socket.readArmed && (socket.mask & kFdRead)) {
                int waiting = 0;
                if (ioctl(socket.fd, FIONREAD, &waiting) == 0 && waiting > 0) {
                    socket.readArmed = false;
                    Post(&socket, id, kFdRead, 0);
                } else if (socket.closeReported || (got & (EPOLLRDHUP | EPOLLHUP | EPOLLERR))) {
                    socket.readEnded = true;
                }
            }
            if ((got & EPOLLOUT) && socket.writeArmed && (socket.mask & kFdWrite)) {
                socket.writeArmed = false;
                Post(&socket, id, kFdWrite, 0);
            }
            if ((got & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) && !socket.closeReported) {
                socket.closeReported = true;
                const int error = PendingError(socket.fd);
                if (socket.mask & kFdClose) Post(&socket, id, kFdClose, error == 0 ? 0 : ErrorOf(error));
            }
        }
        Rearm(id, &socket);
    }
}

void ResetSocketControls() {
    std::lock_guard<std::mutex> hold(g_lock);
    for (auto& [key, fd] : g_pairs) ::close(fd);
    g_pairs.clear();
}

}  // namespace winsock

namespace kernel {
void ResetWinSockControls() { winsock::ResetSocketControls(); }
}  // namespace kernel

namespace ptest {

void CapSocketTransfers(uintptr_t socket, int sendBytes, int recvBytes) {
    std::lock_guard<std::mutex> hold(winsock::g_lock);
    winsock::Socket* found = winsock::Find(socket);
    if (found == nullptr) return;
    found->sendCap = sendBytes;
    found->recvCap = recvBytes;
}

int PairNextConnect(const char* dottedAddress, int port) {
    in_addr address = {};
    if (inet_pton(AF_INET, dottedAddress, &address) != 1) return -1;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return -1;
    std::lock_guard<std::mutex> hold(winsock::g_lock);
    auto key = std::make_pair(address.s_addr, htons(static_cast<uint16_t>(port)));
    auto old = winsock::g_pairs.find(key);
    if (old != winsock::g_pairs.end()) ::close(old->second);
    winsock::g_pairs[key] = ends[0];
    return ends[1];
}

int GetWinSockStartups() {
    std::lock_guard<std::mutex> hold(winsock::g_lock);
    return winsock::g_startups;
}

int GetOpenSockets() {
    std::lock_guard<std::mutex> hold(winsock::g_lock);
    return static_cast<int>(winsock::g_sockets.size());
}

}  // namespace ptest
