// kernel/process.cpp: the module handle and the end of the process.
#include <cstdio>
#include <unistd.h>

#include "platform/win32.h"

namespace {
// The executable's instance handle only identifies it.
struct HINSTANCE__ g_instance;
}  // namespace

HMODULE GetModuleHandleA(LPCSTR moduleName) { return moduleName == nullptr ? &g_instance : nullptr; }

// Ends at once with the status's low byte, running no static destructors: other
// threads may still be running library code.
void ExitProcess(UINT exitCode) {
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(static_cast<int>(exitCode & 0xFF));
}
