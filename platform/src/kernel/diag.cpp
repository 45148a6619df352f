// kernel/diag.cpp: the last error, the tagged diagnostics on standard error and the
// named fault injection that tests arm through testing.h.
#include "kernel/diag.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/testing.h"

namespace {

thread_local DWORD t_lastError = 0;

std::mutex g_faultLock;
std::map<std::string, int> g_faults;  // name -> calls left until the failing one
// Whether any fault is armed: HeapAlloc asks on every call, and nearly always none is.
std::atomic<bool> g_anyFault{false};

}  // namespace

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD error) { t_lastError = error; }

namespace kernel {

void Diag(const char* format, ...) {
    va_list args;
    va_start(args, format);
    DiagV(format, args);
    va_end(args);
}

void DiagV(const char* format, va_list args) {
    char line[1024];
    vsnprintf(line, sizeof line, format, args);
    std::fprintf(stderr, "%s\n", line);
}

bool ConsumeFault(const char* name) {
    if (!g_anyFault.load(std::memory_order_acquire)) return false;
    std::lock_guard<std::mutex> hold(g_faultLock);
    auto it = g_faults.find(name);
    if (it == g_faults.end()) return false;
    if (--it->second > 0) return false;
    g_faults.erase(it);
    g_anyFault.store(!g_faults.empty(), std::memory_order_release);
    return true;
}

}  // namespace kernel

namespace ptest {

void FailCall(const char* name, int nth) {
    std::lock_guard<std::mutex> hold(g_faultLock);
    g_faults[name] = nth < 1 ? 1 : nth;
    g_anyFault.store(true, std::memory_order_release);
}

void ClearFaults() {
    std::lock_guard<std::mutex> hold(g_faultLock);
    g_faults.clear();
    g_anyFault.store(false, std::memory_order_release);
}

}  // namespace ptest
