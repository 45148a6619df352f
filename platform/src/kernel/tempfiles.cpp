// kernel/tempfiles.cpp: the temporary folder and unique temporary names. Any thread.
// Names are made through CreateFileA, so they follow the same path rules as every file.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "kernel/diag.h"
#include "kernel/filecontrols.h"
#include "kernel/paths.h"

using namespace kernel;

namespace {

// The numbers tried next; the process id spreads parallel processes apart.
std::atomic<unsigned> g_nextUnique{0};

unsigned NextUnique() {
    unsigned start = static_cast<unsigned>(getpid()) * 7919u;
    unsigned n = (start + g_nextUnique.fetch_add(1)) & 0xFFFFu;
    return n == 0 ? 1 : n;
}

}  // namespace

DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer) {
    if (ConsumeFault("GetTempPathA")) return Fail(ERROR_PATH_NOT_FOUND, DWORD(0));
    std::string shown = DrivePathOf(TempFolder());
    if (shown.back() != '\\') shown += '\\';
    DWORD length = static_cast<DWORD>(shown.size());
    // Too small: the size needed, terminator included, and the buffer left as it was.
    if (buffer == nullptr || bufferLength <= length) return length + 1;
    std::memcpy(buffer, shown.c_str(), shown.size() + 1);
    return length;
}

UINT GetTempFileNameA(LPCSTR pathName, LPCSTR prefixString, UINT unique, LPSTR tempFileName) {
    if (pathName == nullptr || tempFileName == nullptr) return Fail(ERROR_INVALID_PARAMETER, UINT(0));
    if (ConsumeFault("GetTempFileNameA")) return Fail(ERROR_ACCESS_DENIED, UINT(0));
    std::string folder = pathName;
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
    std::string prefix = prefixString != nullptr ? std::string(prefixString).substr(0, 3) : std::string();

    // A given number only makes the name; 0 asks for a new file under a free number.
    int tries = unique != 0 ? 1 : 0x10000;
    for (int i = 0; i < tries; i++) {
        unsigned number = unique != 0 ? (unique & 0xFFFFu) : NextUnique();
        char digits[8];
        std::snprintf(digits, sizeof digits, "%X", number);
        std::string name = folder + prefix + digits + ".tmp";
        if (name.size() >= MAX_PATH) return Fail(ERROR_INVALID_PARAMETER, UINT(0));
        if (unique == 0) {
            HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                if (GetLastError() == ERROR_FILE_EXISTS) continue;
                return 0;  // the folder is missing or refuses: CreateFileA set the error
            }
            CloseHandle(file);
        }
        std::memcpy(tempFileName, name.c_str(), name.size() + 1);
        return number;
    }
    return Fail(ERROR_FILE_EXISTS, UINT(0));
}
