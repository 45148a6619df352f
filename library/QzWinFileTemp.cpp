// QzWinFileTemp.cpp: temporary files. Callers hold the library lock.
#include "QzWinFileTemp.h"

#include <cstring>

#include "QzUseCLib.h"
#include "QzWinFilePath.h"

namespace {
constexpr int kTempDirSize = 256;
}

HANDLE CreateTemporaryFile(char* outPath) {
    char folder[kTempDirSize];
    DWORD length = GetTempPathA(kTempDirSize, folder);
    if (length == 0 || length >= static_cast<DWORD>(kTempDirSize)) return nullptr;
    if (folder[length - 1] != '\\' && AppendStringBounded(folder, kTempDirSize, "\\") != static_cast<int>(length) + 1)
        return nullptr;

    char name[MAX_PATH];
    if (GetTempFileNameA(folder, "tmp", 0, name) == 0) return nullptr;
    char fullPath[MAX_PATH];
    if (MakeFullPath(name, fullPath, nullptr) != 0) return nullptr;

    // The system made the name by creating the file; it is made anew, exclusively.
    DeleteFileA(fullPath);
    HANDLE file = CreateFileA(fullPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    if (outPath != nullptr) CopyStringBounded(outPath, MAX_PATH, fullPath);
    return file;
}
