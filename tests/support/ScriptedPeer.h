// ScriptedPeer.h: the far end of a test's connection: a thread with blocking POSIX
// sockets on 127.0.0.1 that plays a script of steps (accept, send in chunks, read, echo
// frames, wait for the test, half-close, close, reset), or serves HTTP responses while
// recording each request. Every blocking call gives up after kPatienceMs, so a failing
// test ends. Never includes winsock.h (the library's sockets are not POSIX names).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qztest {

// How long a test waits for another thread or process before it calls that a failure.
// Only a failing test waits it out, and a loaded two-core machine can starve a peer's
// thread or a starting python3 for many seconds, so it is generous.
constexpr int kPatienceMs = 30'000;

bool PosixFramedLoopback(int64_t total, int message);

class ScriptedPeer {
public:
    // Listens on 127.0.0.1 at the port (0: one the system picks). The script starts with
    // Start().
    explicit ScriptedPeer(int port = 0);
    // A peer on a descriptor the test already holds (a paired connect's end), which it
    // then owns.
    struct Descriptor {
        int fd;
    };
    explicit ScriptedPeer(Descriptor descriptor);
    ~ScriptedPeer();  // closes everything and joins the thread
    ScriptedPeer(ScriptedPeer&&) = delete;

    int port() const { return port_; }  // 0 when it listens on nothing

    // ---- script steps, played in order on the peer's thread ----
    ScriptedPeer& Accept();                     // the next connection becomes the current one
    ScriptedPeer& ConnectTo(int port);          // a connection to 127.0.0.1:port
    ScriptedPeer& Send(const std::string& bytes, int chunk = 0);  // in writes of chunk bytes (0: one)
    ScriptedPeer& SendFrame(const std::string& payload);          // 4-byte little-endian length first
    ScriptedPeer& Read(int bytes);              // exactly that many bytes into Received()
    ScriptedPeer& ReadToEnd();                  // until the library closes
    // Reads frames until `bytes` payload bytes arrived and sends them back in frames of
    // at most `frame` payload bytes, so boundaries differ from the sender's.
    ScriptedPeer& EchoFrames(int64_t bytes, int frame);
    ScriptedPeer& WaitForTest();                // until the test calls Release()
    ScriptedPeer& HalfClose();                  // shutdown of the sending side
    ScriptedPeer& Close();
    ScriptedPeer& Reset();                      // SO_LINGER 0: the close sends a reset
    // HTTP: for each response, accepts a connection, records the request (its header,
    // and a body of the "Content-Length:" it announces), sends the response in chunks and
    // closes, unless `keepOpen` (then it waits for the test before closing).
    ScriptedPeer& ServeHttp(const std::string& response, int chunk = 0, bool keepOpen = false);
    // ServeHttp without the close: the script goes on on the same connection.
    ScriptedPeer& AnswerHttp(const std::string& response, int chunk = 0);
    ScriptedPeer& Do(std::function<void(int fd)> step);  // any step on the current connection

    void Start();
    void Release();  // lets a WaitForTest step go on
    // Waits (bounded) for the script to end; false when it timed out.
    bool Finish();

    std::string Received();                     // bytes Read, ReadToEnd and EchoFrames took
    size_t ReceivedSize();                      // their count so far, for a test that waits on it
    std::vector<std::string> Requests();        // ServeHttp's recorded requests
    int LocalPort() const { return localPort_; }  // of ConnectTo's connection
    bool Failed() const { return failed_; }     // a step found a closed or broken connection

private:
    friend bool PosixFramedLoopback(int64_t total, int message);
    void Run();
    bool ReadExactly(int fd, char* out, int64_t bytes);
    bool WriteAll(int fd, const char* bytes, size_t size, int chunk);

    int listenFd_ = -1;
    int fd_ = -1;
    int port_ = 0;
    int localPort_ = 0;
    std::vector<std::function<void()>> steps_;
    std::thread thread_;
    std::mutex lock_;
    std::condition_variable changed_;
    bool released_ = false;
    bool done_ = false;
    bool failed_ = false;
    std::string received_;
    std::vector<std::string> requests_;
};

// python3's http.server over a folder, on 127.0.0.1 at a port the kernel picks, with a
// handler of ours besides the files: a POST is answered "<bytes> <crc32 hex>" of its body,
// and GET /reset/N sends N bytes without a length and then resets the connection.
class HttpServerProcess {
public:
    explicit HttpServerProcess(const std::string& folder);
    ~HttpServerProcess();  // SIGTERM, then waits
    int port() const { return port_; }
    const std::string& error() const { return error_; }  // why it did not start ("" when it did)

private:
    int pid_ = -1;
    int port_ = 0;
    std::string error_;
};

// The yardstick of framed throughput: `total` payload bytes in messages of `message`
// bytes, each after its 4-byte length, over a plain loopback TCP pair: a blocking writer
// thread and a reader that takes every header and payload. Returns once all arrived
// (false on a socket error).
bool PosixFramedLoopback(int64_t total, int message);

// The monotonic clock in milliseconds, for waits bounded in real time (<chrono> does not
// compile with the tests' Shift-JIS execution character set).
int64_t RealMilliseconds();

// Raises the soft descriptor limit to `wanted`; false when the hard limit is lower.
bool RaiseDescriptorLimit(int wanted, int* hardLimit);
// Descriptors open in this process.
int CountOpenDescriptors();

}  // namespace qztest
