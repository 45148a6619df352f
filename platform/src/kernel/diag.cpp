// kernel/diag.cpp: the last error, the tagged diagnostics on standard error and the
// named fault injection that tests arm through testing.h.
#include "kernel/diag.h"

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

}  // namespace

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD error) { t_lastError = error; }

namespace kernel {

void Diag(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fprintf(stderr, "%s\n", line);
}

bool ConsumeFault(const char* name) {
    std::lock_guard<std::mutex> hold(g_faultLock);
    auto it = g_faults.find(name);
    if (it == g_faults.end()) return false;
    if (--it->second > 0) return false;
    g_faults.erase(it);
    return true;
}

}  // namespace kernel

namespace ptest {

void FailCall(const char* name, int nth) {
    std::lock_guard<std::mutex> hold(g_faultLock);
    g_faults[name] = nth < 1 ? 1 : nth;
}

void ClearFaults() {
    std::lock_guard<std::mutex> hold(g_faultLock);
    g_faults.clear();
}

}  // namespace ptest
