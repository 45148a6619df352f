// NetFuzz.h: the network layer started headless for a fuzz target: a window of its own
// as the network window's parent, the fast clock, captured log lines, and a paired
// connect whose far end the target writes.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "QzWinNetWork.h"
#include "platform/testing.h"

namespace qzfuzz {

inline HWND NetWorkParent() {
    static HWND parent = [] {
        setenv("QZ_BACKEND", "null", 1);
        ptest::SetClockMode(ptest::ClockMode::Fast);
        ptest::SetFastClockReadStep(1000);  // every peek may poll
        ptest::CaptureDebugOutput(true);
        ptest::SetResolverTable({{"localhost", "127.0.0.1"}});
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "NetFuzzParent";
        RegisterClassExA(&wc);
        return CreateWindowExA(0, "NetFuzzParent", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    }();
    if (InitializeNetWorkSystem(parent) != 0) std::abort();
    ptest::TakeDebugOutput();
    return parent;
}

// Writes what the descriptor takes now; the count, 0 when it would block.
inline size_t WriteSome(int fd, const uint8_t* data, size_t size) {
    const ssize_t put = ::write(fd, data, size);
    return put > 0 ? static_cast<size_t>(put) : 0;
}

inline void MakeNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

}  // namespace qzfuzz
