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

DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size, va_list*) {
    // The codes the platform sets, with the texts Windows gives them.
    static const struct {
        DWORD code;
        const char* text;
    } kTexts[] = {
        {ERROR_SUCCESS, "The operation completed successfully."},
        {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
        {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
        {ERROR_TOO_MANY_OPEN_FILES, "The system cannot open the file."},
        {ERROR_ACCESS_DENIED, "Access is denied."},
        {ERROR_INVALID_HANDLE, "The handle is invalid."},
        {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory resources are available to process this command."},
        {ERROR_FILE_EXISTS, "The file exists."},
        {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
        {ERROR_DISK_FULL, "There is not enough space on the disk."},
        {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
        {ERROR_INVALID_NAME, "The filename, directory name, or volume label syntax is incorrect."},
        {ERROR_NEGATIVE_SEEK, "An attempt was made to move the file pointer before the beginning of the file."},
        {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists."},
        {ERROR_DIRECTORY, "The directory name is invalid."},
    };
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || buffer == nullptr) {
        t_lastError = ERROR_INVALID_PARAMETER;
        return 0;
    }
    for (const auto& entry : kTexts) {
        if (entry.code != messageId) continue;
        const size_t length = std::strlen(entry.text) + 2;
        if (size <= length) {
            t_lastError = ERROR_INSUFFICIENT_BUFFER;
            return 0;
        }
        std::snprintf(buffer, size, "%s\r\n", entry.text);
        return static_cast<DWORD>(length);
    }
    t_lastError = 317;  // ERROR_MR_MID_NOT_FOUND: no text for this code
    return 0;
}

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
