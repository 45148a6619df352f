// kernel/directory.cpp: the current directory, which is the process's own Linux
// working directory shown as a path on drive C: (kernel/paths.h). Any thread, as on
// Windows the current directory belongs to the whole process.
#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

#include "kernel/diag.h"
#include "kernel/paths.h"

using namespace kernel;

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
    std::string cwd(256, '\0');
    while (getcwd(cwd.data(), cwd.size()) == nullptr) {
        if (errno != ERANGE) return Fail(ErrorFromErrno(errno), DWORD(0), "kernel: GetCurrentDirectoryA: %s", std::strerror(errno));
        cwd.resize(cwd.size() * 2);
    }
    cwd.resize(std::strlen(cwd.c_str()));
    std::string shown = DrivePathOf(cwd);
    DWORD length = static_cast<DWORD>(shown.size());
    // Too small: the size needed, terminator included, and the buffer left as it was.
    if (buffer == nullptr || bufferLength <= length) return length + 1;
    std::memcpy(buffer, shown.c_str(), shown.size() + 1);
    return length;
}

BOOL SetCurrentDirectoryA(LPCSTR pathName) {
    ResolvedPath target;
    if (DWORD error = ResolvePath(pathName, &target)) return Fail(error, FALSE);
    if (!target.exists) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    if (!target.isDirectory) return Fail(ERROR_DIRECTORY, FALSE);
    if (chdir(target.path.c_str()) != 0) return Fail(ErrorFromErrno(errno), FALSE);
    return TRUE;
}
