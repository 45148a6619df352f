// kernel/files.cpp: file handles over POSIX descriptors, DeleteFileA and MoveFileExA. Any thread;
// the file position is the descriptor's own, as a Windows handle's is its own.
// Names go through kernel/paths.h, so a case variant of an existing file is that file.
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "kernel/diag.h"
#include "kernel/filecontrols.h"
#include "kernel/objects.h"
#include "kernel/paths.h"

namespace kernel {
namespace {

struct File : Object {
    File(int descriptor, bool read, bool write) : Object(ObjectKind::File), fd(descriptor), canRead(read), canWrite(write) {}
    ~File() override { close(fd); }
    const int fd;
    const bool canRead;
    const bool canWrite;
};

bool OpenNew(const std::string& path, int flags, int* fd) {
    *fd = open(path.c_str(), flags | O_CREAT | O_EXCL | O_CLOEXEC | O_NONBLOCK, 0666);
    return *fd >= 0;
}

}  // namespace
}  // namespace kernel

using namespace kernel;

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD, LPSECURITY_ATTRIBUTES, DWORD creationDisposition,
                   DWORD, HANDLE) {
    if (creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING)
        return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    bool read = (desiredAccess & GENERIC_READ) != 0;
    bool write = (desiredAccess & GENERIC_WRITE) != 0;
    if (creationDisposition == TRUNCATE_EXISTING && !write) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    NoteFileOpen(fileName);
    if (fileName != nullptr && ConsumeFault((std::string("CreateFileA:") + fileName).c_str()))
        return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    if (ConsumeFault("CreateFileA")) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);

    ResolvedPath target;
    if (DWORD error = ResolvePath(fileName, &target)) return Fail(error, INVALID_HANDLE_VALUE);
    if (target.isDirectory) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    if (target.trailingSeparator)
        return Fail(target.exists ? ERROR_INVALID_NAME : ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);

    // A handle without read or write access may still be opened (to ask its size).
    int flags = (read && write) ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    int fd = -1;
    DWORD reportExisting = 0;  // what the last error says on success
    switch (creationDisposition) {
    case CREATE_NEW:
        if (target.exists) return Fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
        OpenNew(target.path, flags, &fd);
        break;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
        if (target.exists) {
            int truncate = creationDisposition == CREATE_ALWAYS ? O_TRUNC : 0;
            fd = open(target.path.c_str(), flags | truncate | O_CLOEXEC | O_NONBLOCK);
            reportExisting = ERROR_ALREADY_EXISTS;
        } else {
            OpenNew(target.path, flags, &fd);
        }
        break;
    case OPEN_EXISTING:
    case TRUNCATE_EXISTING:
        if (!target.exists) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
        fd = open(target.path.c_str(), flags | (creationDisposition == TRUNCATE_EXISTING ? O_TRUNC : 0) | O_CLOEXEC | O_NONBLOCK);
        break;
    }
    if (fd < 0) return Fail(ErrorFromErrno(errno), INVALID_HANDLE_VALUE);

    // Only plain files become handles: the folder test above raced with the file system,
    // and a pipe or device has no Windows name (O_NONBLOCK kept a pipe from blocking).
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    }
    HANDLE handle = AddObject(std::make_shared<File>(fd, read, write));
    SetLastError(reportExisting);
    return handle;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED) {
    if (bytesRead) *bytesRead = 0;
    auto file = FindObject<File>(handle, ObjectKind::File);
    if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!file->canRead) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (buffer == nullptr && bytesToRead > 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (ConsumeFault("ReadFile")) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (ConsumeFault("ReadFileShort")) bytesToRead /= 2;
    DWORD done = 0;
    while (done < bytesToRead) {
        ssize_t got = read(file->fd, static_cast<char*>(buffer) + done, bytesToRead - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            if (bytesRead) *bytesRead = done;
            return Fail(ErrorFromErrno(errno), FALSE);
        }
        if (got == 0) break;  // the end: TRUE with what was read
        done += static_cast<DWORD>(got);
    }
    if (bytesRead) *bytesRead = done;
    return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED) {
    if (bytesWritten) *bytesWritten = 0;
    auto file = FindObject<File>(handle, ObjectKind::File);
    if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!file->canWrite) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (buffer == nullptr && bytesToWrite > 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (ConsumeFault("WriteFile")) return Fail(ERROR_DISK_FULL, FALSE);
    if (ConsumeFault("WriteFileShort")) bytesToWrite /= 2;
    DWORD done = 0;
    while (done < bytesToWrite) {
        ssize_t put = write(file->fd, static_cast<const char*>(buffer) + done, bytesToWrite - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (bytesWritten) *bytesWritten = done;
            return Fail(put < 0 ? ErrorFromErrno(errno) : ERROR_DISK_FULL, FALSE);
        }
        done += static_cast<DWORD>(put);
    }
    if (bytesWritten) *bytesWritten = done;
    return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distanceToMove, PLONG distanceToMoveHigh, DWORD moveMethod) {
    auto file = FindObject<File>(handle, ObjectKind::File);
    if (!file) return Fail(ERROR_INVALID_HANDLE, INVALID_SET_FILE_POINTER);
    if (ConsumeFault("SetFilePointer")) return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
    // Without the high half the distance is a signed 32-bit value; with it, the two
    // halves make one signed 64-bit distance.
    int64_t distance = distanceToMoveHigh
                           ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceToMoveHigh)) << 32) |
                                                  static_cast<uint32_t>(distanceToMove))
                           : distanceToMove;
    int64_t base = 0;
    if (moveMethod == FILE_CURRENT) {
        base = lseek(file->fd, 0, SEEK_CUR);
    } else if (moveMethod == FILE_END) {
        struct stat info;
        base = fstat(file->fd, &info) == 0 ? info.st_size : -1;
    } else if (moveMethod != FILE_BEGIN) {
        return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
    }
    if (base < 0) return Fail(ErrorFromErrno(errno), INVALID_SET_FILE_POINTER);
    // Both are within +-2^63 only in theory; a sum that would overflow is refused too.
    int64_t target = 0;
    if (__builtin_add_overflow(base, distance, &target) || target < 0)
        return Fail(ERROR_NEGATIVE_SEEK, INVALID_SET_FILE_POINTER);
    // Without the high half the caller can only be told a 32-bit position.
    if (!distanceToMoveHigh && target > 0xFFFFFFFE) return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
    if (lseek(file->fd, target, SEEK_SET) < 0) return Fail(ErrorFromErrno(errno), INVALID_SET_FILE_POINTER);
    if (distanceToMoveHigh) *distanceToMoveHigh = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
    // The low half may itself read 0xFFFFFFFF; callers with a high half tell by the error.
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(target);
}

DWORD GetFileSize(HANDLE handle, LPDWORD fileSizeHigh) {
    auto file = FindObject<File>(handle, ObjectKind::File);
    if (!file) return Fail(ERROR_INVALID_HANDLE, INVALID_FILE_SIZE);
    struct stat info;
    if (fstat(file->fd, &info) != 0) return Fail(ErrorFromErrno(errno), INVALID_FILE_SIZE);
    uint64_t size = static_cast<uint64_t>(info.st_size);
    if (fileSizeHigh) *fileSizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(size);
}

BOOL DeleteFileA(LPCSTR fileName) {
    ResolvedPath target;
    if (DWORD error = ResolvePath(fileName, &target)) return Fail(error, FALSE);
    if (!target.exists) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    if (target.isDirectory) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (target.trailingSeparator) return Fail(ERROR_INVALID_NAME, FALSE);
    if (unlink(target.path.c_str()) != 0) return Fail(ErrorFromErrno(errno), FALSE);
    return TRUE;
}

BOOL MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags) {
    if ((flags & ~DWORD{MOVEFILE_REPLACE_EXISTING}) != 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (ConsumeFault("MoveFileExA")) return Fail(ERROR_ACCESS_DENIED, FALSE);
    ResolvedPath from, to;
    if (DWORD error = ResolvePath(existingFileName, &from)) return Fail(error, FALSE);
    if (!from.exists) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    if (from.isDirectory || from.trailingSeparator) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (DWORD error = ResolvePath(newFileName, &to)) return Fail(error, FALSE);
    if (to.isDirectory || to.trailingSeparator) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (to.exists && !(flags & MOVEFILE_REPLACE_EXISTING)) return Fail(ERROR_ALREADY_EXISTS, FALSE);
    if (rename(from.path.c_str(), to.path.c_str()) != 0) return Fail(ErrorFromErrno(errno), FALSE);
    return TRUE;
}
