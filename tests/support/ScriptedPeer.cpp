// ScriptedPeer.cpp: the scripted socket peer and the http.server fixture (see the header).
#include "ScriptedPeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qztest {
namespace {

constexpr int kWaitMs = kPatienceMs;

void SetTimeouts(int fd) {
    timeval limit{kWaitMs / 1000, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

void CloseFd(int* fd) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
}

}  // namespace

ScriptedPeer::ScriptedPeer(int port) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<uint16_t>(port));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(listenFd_, 64) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&at), &size) != 0) {
        CloseFd(&listenFd_);
        return;
    }
    port_ = ntohs(at.sin_port);
}

ScriptedPeer::ScriptedPeer(Descriptor descriptor) : fd_(descriptor.fd) { SetTimeouts(fd_); }

ScriptedPeer::~ScriptedPeer() {
    Release();
    Finish();
    // A thread still blocked gives up when its descriptors go.
    if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);
    if (listenFd_ >= 0) shutdown(listenFd_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    CloseFd(&fd_);
    CloseFd(&listenFd_);
}

ScriptedPeer& ScriptedPeer::Do(std::function<void(int)> step) {
    steps_.push_back([this, step] { step(fd_); });
    return *this;
}

ScriptedPeer& ScriptedPeer::Accept() {
    steps_.push_back([this] {
        pollfd waiting{listenFd_, POLLIN, 0};
        CloseFd(&fd_);
        if (poll(&waiting, 1, kWaitMs) != 1) {
            failed_ = true;
            return;
        }
        fd_ = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd_ < 0) failed_ = true;
        SetTimeouts(fd_);
    });
    return *this;
}

ScriptedPeer& ScriptedPeer::ConnectTo(int port) {
    steps_.push_back([this, port] {
        CloseFd(&fd_);
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        SetTimeouts(fd_);
        if (connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) failed_ = true;
        socklen_t size = sizeof to;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&to), &size);
        localPort_ = ntohs(to.sin_port);
    });
    return *this;
}

bool ScriptedPeer::WriteAll(int fd, const char* bytes, size_t size, int chunk) {
    size_t done = 0;
    while (done < size) {
        size_t piece = size - done;
        if (chunk > 0 && piece > static_cast<size_t>(chunk)) piece = static_cast<size_t>(chunk);
        const ssize_t put = ::send(fd, bytes + done, piece, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

bool ScriptedPeer::ReadExactly(int fd, char* out, int64_t bytes) {
    int64_t done = 0;
    while (done < bytes) {
        const ssize_t got = ::recv(fd, out + done, static_cast<size_t>(bytes - done), 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += got;
    }
    return true;
}

ScriptedPeer& ScriptedPeer::Send(const std::string& bytes, int chunk) {
    steps_.push_back([this, bytes, chunk] {
        if (!WriteAll(fd_, bytes.data(), bytes.size(), chunk)) failed_ = true;
    });
    return *this;
}

ScriptedPeer& ScriptedPeer::SendFrame(const std::string& payload) {
    std::string frame(4, '\0');
    const uint32_t length = static_cast<uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i) frame[i] = static_cast<char>(length >> (8 * i));
    return Send(frame + payload);
}

ScriptedPeer& ScriptedPeer::Read(int bytes) {
    steps_.push_back([this, bytes] {
        std::string got(static_cast<size_t>(bytes), '\0');
        if (!ReadExactly(fd_, got.data(), bytes)) failed_ = true;
        std::lock_guard<std::mutex> hold(lock_);
        received_ += got;
    });
    return *this;
}

ScriptedPeer& ScriptedPeer::ReadToEnd() {
    steps_.push_back([this] {
        char buffer[65536];
        for (;;) {
            const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                if (got < 0) failed_ = true;
                return;
            }
            std::lock_guard<std::mutex> hold(lock_);
            received_.append(buffer, static_cast<size_t>(got));
        }
    });
    return *this;
}

ScriptedPeer& ScriptedPeer::EchoFrames(int64_t bytes, int frame) {
    steps_.push_back([this, bytes, frame] {
        std::string pending;
        int64_t taken = 0;
        while (taken < bytes) {
            unsigned char header[4];
            if (!ReadExactly(fd_, reinterpret_cast<char*>(header), 4)) {
                failed_ = true;
                return;
            }
            const uint32_t length = header[0] | header[1] << 8 | header[2] << 16 | static_cast<uint32_t>(header[3]) << 24;
            std::string payload(length, '\0');
            if (!ReadExactly(fd_, payload.data(), length)) {
                failed_ = true;
                return;
            }
            taken += length;
            pending += payload;
            {
                std::lock_guard<std::mutex> hold(lock_);
                received_ += payload;
            }
            // Whole frames of our own size go back; the tail waits for more or the end.
            size_t at = 0;
            while (pending.size() - at >= static_cast<size_t>(frame) || (taken >= bytes && at < pending.size())) {
                const size_t n = std::min(pending.size() - at, static_cast<size_t>(frame));
                std::string out(4, '\0');
                for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(n >> (8 * i));
                out.append(pending, at, n);
                if (!WriteAll(fd_, out.data(), out.size(), 0)) {
                    failed_ = true;
                    return;
                }
                at += n;
            }
            pending.erase(0, at);
        }
    });
    return *this;
}

ScriptedPeer& ScriptedPeer::WaitForTest() {
    steps_.push_back([this] {
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait_for(hold, std::chrono::milliseconds(kWaitMs), [this] { return released_; });
        released_ = false;
    });
    return *this;
}

ScriptedPeer& ScriptedPeer::HalfClose() {
    steps_.push_back([this] { shutdown(fd_, SHUT_WR); });
    return *this;
}

ScriptedPeer& ScriptedPeer::Close() {
    steps_.push_back([this] { CloseFd(&fd_); });
    return *this;
}

ScriptedPeer& ScriptedPeer::Reset() {
    steps_.push_back([this] {
        linger now{1, 0};
        setsockopt(fd_, SOL_SOCKET, SO_LINGER, &now, sizeof now);
        CloseFd(&fd_);
    });
    return *this;
}

ScriptedPeer& ScriptedPeer::ServeHttp(const std::string& response, int chunk, bool keepOpen) {
    AnswerHttp(response, chunk);
    if (keepOpen) WaitForTest();
    return Close();
}

ScriptedPeer& ScriptedPeer::AnswerHttp(const std::string& response, int chunk) {
    Accept();
    steps_.push_back([this, response, chunk] {
        // The request: up to the empty line (either line end), then its announced body.
        std::string request;
        char c;
        while (request.find("\r\n\r\n") == std::string::npos && request.find("\n\n") == std::string::npos) {
            if (::recv(fd_, &c, 1, 0) != 1) {
                failed_ = true;
                break;
            }
            request += c;
        }
        const size_t key = request.find("Content-Length: ");
        if (key != std::string::npos) {
            const long body = std::strtol(request.c_str() + key + 16, nullptr, 10);
            std::string bytes(static_cast<size_t>(body > 0 ? body : 0), '\0');
            if (!ReadExactly(fd_, bytes.data(), static_cast<int64_t>(bytes.size()))) failed_ = true;
            request += bytes;
        }
        {
            std::lock_guard<std::mutex> hold(lock_);
            requests_.push_back(request);
        }
        if (!WriteAll(fd_, response.data(), response.size(), chunk)) failed_ = true;
    });
    return *this;
}

void ScriptedPeer::Start() { thread_ = std::thread([this] { Run(); }); }

void ScriptedPeer::Run() {
    for (auto& step : steps_) step();
    std::lock_guard<std::mutex> hold(lock_);
    done_ = true;
    changed_.notify_all();
}

void ScriptedPeer::Release() {
    std::lock_guard<std::mutex> hold(lock_);
    released_ = true;
    changed_.notify_all();
}

bool ScriptedPeer::Finish() {
    if (!thread_.joinable()) return true;
    std::unique_lock<std::mutex> hold(lock_);
    return changed_.wait_for(hold, std::chrono::milliseconds(2 * kWaitMs), [this] { return done_; });
}

std::string ScriptedPeer::Received() {
    std::lock_guard<std::mutex> hold(lock_);
    return received_;
}

size_t ScriptedPeer::ReceivedSize() {
    std::lock_guard<std::mutex> hold(lock_);
    return received_.size();
}

std::vector<std::string> ScriptedPeer::Requests() {
    std::lock_guard<std::mutex> hold(lock_);
    return requests_;
}

// ---- http.server ------------------------------------------------------------------------------

namespace {

// http.server with a handler of ours: the folder's files as the module serves them, and
//   POST (any path)  reads the announced body and answers "<bytes read> <crc32 in hex>";
//   GET /reset/N     answers 200 without a length, N bytes of 'r', then a reset.
constexpr char kHttpServerScript[] = R"(
import functools, http.server, os, socket, struct, sys, zlib

class Handler(http.server.SimpleHTTPRequestHandler):
    def do_POST(self):
        left = int(self.headers.get('Content-Length', '0'))
        total, crc = 0, 0
        while left > 0:
            piece = self.rfile.read(min(left, 1 << 20))
            if not piece:
                break
            total += len(piece)
            left -= len(piece)
            crc = zlib.crc32(piece, crc)
        answer = ('%d %08x' % (total, crc)).encode()
        self.send_response(200)
        self.send_header('Content-Length', str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)

    def do_GET(self):
        if not self.path.startswith('/reset/'):
            return super().do_GET()
        self.send_response(200)
        self.end_headers()
        self.wfile.write(b'r' * int(self.path[7:]))
        self.wfile.flush()
        # A close with linger 0 sends a reset, never the orderly end.
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack('ii', 1, 0))
        os.close(self.connection.detach())

handler = functools.partial(Handler, directory=sys.argv[1])
server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
server.daemon_threads = True
print('Serving HTTP on 127.0.0.1 port %d' % server.server_address[1], flush=True)
server.serve_forever()
)";

}  // namespace

HttpServerProcess::HttpServerProcess(const std::string& folder) {
    // Its first line comes through a pipe; its request log goes to an unlinked file for the
    // whole run (a closed pipe there would make each request fail on its log line).
    int out[2];
    char errorPath[] = "/tmp/qz-httpserver-XXXXXX";
    const int errorFile = mkstemp(errorPath);
    if (errorFile < 0 || pipe2(out, O_CLOEXEC) != 0) {
        error_ = "no pipe or file for http.server";
        return;
    }
    unlink(errorPath);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errorFile, 2);
    const char* argv[] = {"python3", "-u", "-c", kHttpServerScript, folder.c_str(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, "python3", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        error_ = std::string("python3 could not be started: ") + std::strerror(spawned);
        ::close(out[0]);
        ::close(errorFile);
        return;
    }
    pid_ = pid;
    // "Serving HTTP on 127.0.0.1 port N ...", in time.
    std::string line;
    const int64_t deadline = RealMilliseconds() + kPatienceMs;
    while (line.find('\n') == std::string::npos && RealMilliseconds() < deadline) {
        pollfd ready{out[0], POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) continue;
        char buffer[512];
        const ssize_t got = ::read(out[0], buffer, sizeof buffer);
        if (got <= 0) break;
        line.append(buffer, static_cast<size_t>(got));
    }
    ::close(out[0]);
    const size_t at = line.find(" port ");
    if (at != std::string::npos) port_ = std::atoi(line.c_str() + at + 6);
    if (port_ <= 0) {
        char errors[2048] = {};
        const ssize_t got = pread(errorFile, errors, sizeof errors - 1, 0);
        error_ = "http.server did not start: " + line + (got > 0 ? std::string(errors, static_cast<size_t>(got)) : "");
    }
    ::close(errorFile);
}

HttpServerProcess::~HttpServerProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
}

bool PosixFramedLoopback(int64_t total, int message) {
    ScriptedPeer listener;
    const int port = listener.port();
    int reader = -1;
    std::thread writer([&] {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
            std::string frame(4 + static_cast<size_t>(message), 'p');
            for (int i = 0; i < 4; ++i) frame[static_cast<size_t>(i)] = static_cast<char>(message >> (8 * i));
            for (int64_t sent = 0; sent < total; sent += message) {
                size_t done = 0;
                while (done < frame.size()) {
                    const ssize_t put = ::send(fd, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
                    if (put <= 0) break;
                    done += static_cast<size_t>(put);
                }
            }
        }
        ::close(fd);
    });
    pollfd waiting{listener.listenFd_, POLLIN, 0};
    if (poll(&waiting, 1, kWaitMs) == 1) reader = accept4(listener.listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    int64_t got = 0;
    std::vector<char> buffer(static_cast<size_t>(message) + 4);
    bool ok = reader >= 0;
    while (ok && got < total) {
        // The header, then the payload, as a framed receiver takes them.
        char header[4];
        ok = listener.ReadExactly(reader, header, 4) && listener.ReadExactly(reader, buffer.data(), message);
        got += message;
    }
    writer.join();
    if (reader >= 0) ::close(reader);
    return ok;
}

int64_t RealMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

bool RaiseDescriptorLimit(int wanted, int* hardLimit) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    *hardLimit = limit.rlim_max == RLIM_INFINITY ? 1 << 30 : static_cast<int>(limit.rlim_max);
    if (limit.rlim_cur >= static_cast<rlim_t>(wanted)) return true;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < static_cast<rlim_t>(wanted)) return false;
    limit.rlim_cur = static_cast<rlim_t>(wanted);
    return setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

int CountOpenDescriptors() {
    int count = 0;
    DIR* folder = opendir("/proc/self/fd");
    if (folder == nullptr) return -1;
    while (dirent* entry = readdir(folder))
        if (entry->d_name[0] != '.') ++count;
    closedir(folder);
    return count - 1;  // the folder's own
}

}  // namespace qztest
