// kernel/diag.h: the platform's one-line failures. A failure sets what Windows would
// (the last error and the result) and writes one tagged line to standard error:
//   return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE, "kernel: %s not found", name);
#pragma once

#include <cstdarg>

#include "platform/win32.h"

namespace kernel {

// Writes "tag: text\n" to standard error; the format carries the tag itself.
void Diag(const char* format, ...) __attribute__((format(printf, 1, 2)));
void DiagV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

// Sets the last error and returns `result`; logs only when a format is given.
template <typename T>
T Fail(DWORD error, T result) {
    SetLastError(error);
    return result;
}

template <typename T>
__attribute__((format(printf, 3, 4))) T Fail(DWORD error, T result, const char* format, ...) {
    va_list args;
    va_start(args, format);
    DiagV(format, args);
    va_end(args);
    SetLastError(error);
    return result;
}

// True when a test asked the named call to fail this time (see ptest::FailCall).
bool ConsumeFault(const char* name);

}  // namespace kernel
