// kernel/debugger.cpp: OutputDebugStringA. With no debugger on Linux the text goes to
// standard error, converted from CP932 to UTF-8; a test may capture the exact bytes
// instead (testing.h). Any thread; the capture is guarded by g_captureLock.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "kernel/controls.h"
#include "kernel/text.h"
#include "platform/testing.h"

namespace {

std::mutex g_captureLock;
bool g_capturing = false;  // guarded by g_captureLock
std::string g_captured;

}  // namespace

namespace kernel {

void ResetDebugControls() {
    std::lock_guard<std::mutex> hold(g_captureLock);
    g_capturing = false;
    g_captured.clear();
}

}  // namespace kernel

namespace ptest {

void CaptureDebugOutput(bool on) {
    std::lock_guard<std::mutex> hold(g_captureLock);
    g_capturing = on;
}

std::string TakeDebugOutput() {
    std::lock_guard<std::mutex> hold(g_captureLock);
    std::string text;
    text.swap(g_captured);
    return text;
}

}  // namespace ptest

void OutputDebugStringA(LPCSTR text) {
    if (text == nullptr) return;
    {
        std::lock_guard<std::mutex> hold(g_captureLock);
        if (g_capturing) {
            g_captured += text;
            return;
        }
    }
    std::string utf8 = kernel::Cp932ToUtf8(std::string_view(text, std::strlen(text)));
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
}
