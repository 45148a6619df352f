// QzWinFileDirect.cpp: plain files through the operating system, in plain mode or with a
// read-ahead thread. Caller's thread under the library lock, except the read-ahead thread.
//
// Rules of a read (both modes):
// - an item size or count of 0 or less reads nothing and changes nothing;
// - at or past the end of the file the end flag is set and nothing is read;
// - otherwise only whole items that fit before the end are asked for (none: end flag);
// - the position advances by the bytes actually delivered and the result is the whole
//   items among them; a failed read of the system gives 0 and leaves the position.
// Sizes and positions are worked out in 64 bits; files of 2 GiB or more are refused at
// open because positions are ints.
#include "QzWinFileDirect.h"

#include <climits>
#include <cstddef>
#include <cstring>

#include "QzUseCLib.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"

namespace {

constexpr DWORD kIdleSliceMs = 100;

// The size of an open file, or -1 when it is 2 GiB or more or cannot be had.
int64_t MeasureFile(HANDLE file) {
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
    int64_t size = (static_cast<int64_t>(high) << 32) | low;
    return size > INT_MAX ? -1 : size;
}

// The caller may write the command block only while the done event is signalled, that
// is once the previous command has finished.
void WaitReadAheadDone(FileReadAheadBlock* block) { WaitForSingleObject(block->doneEvent, INFINITE); }

// Hands the thread the command whose parameters are already in the block.
void StartReadAheadCommand(FileReadAheadBlock* block, int command) {
    block->command = command;
    ResetEvent(block->doneEvent);
    SetEvent(block->commandEvent);
}

// Ends a thread that has stopped taking commands and releases what the block holds.
void ReleaseReadAheadThread(FileReadAheadBlock* block) {
    if (block->thread != nullptr) {
        WaitForSingleObject(block->thread, INFINITE);
        CloseHandle(block->thread);
    }
    if (block->commandEvent != nullptr) CloseHandle(block->commandEvent);
    if (block->doneEvent != nullptr) CloseHandle(block->doneEvent);
}

// Thread side: fills the cache behind its valid bytes during an idle slice.
void ReadAheadIntoCache(FileReadAheadBlock* block) {
    if (block->cacheFill >= kReadAheadCacheSize) return;
    int64_t from = static_cast<int64_t>(block->cacheOffset) + block->cacheFill;
    if (from > INT_MAX) return;
    if (SetFilePointer(block->file, static_cast<LONG>(from), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return;
    DWORD got = 0;
    if (ReadFile(block->file, block->cache + block->cacheFill, static_cast<DWORD>(kReadAheadCacheSize - block->cacheFill),
                 &got, nullptr))
        block->cacheFill += static_cast<int>(got);
}

// Thread side: serves a read from the front of the cache, the rest from the file.
// Writes back the bytes delivered, or -1 when the system's read failed.
void ServeReadAheadRead(FileReadAheadBlock* block) {
    unsigned char* destination = static_cast<unsigned char*>(block->readDestination);
    int position = block->readPosition;
    int wanted = block->readBytes;
    int delivered = 0;
    if (position == block->cacheOffset && block->cacheFill > 0) {
        int n = wanted < block->cacheFill ? wanted : block->cacheFill;
        std::memcpy(destination, block->cache, static_cast<size_t>(n));
        destination += n;
        position += n;
        wanted -= n;
        delivered += n;
        block->cacheOffset += n;
        block->cacheFill -= n;
        std::memmove(block->cache, block->cache + n, static_cast<size_t>(block->cacheFill));
    }
    if (wanted > 0) {
        DWORD got = 0;
        bool ok = SetFilePointer(block->file, position, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
                  ReadFile(block->file, destination, static_cast<DWORD>(wanted), &got, nullptr);
        if (!ok) got = 0;
        block->cacheOffset = position + static_cast<int>(got);
        block->cacheFill = 0;
        if (!ok) {
            block->readBytes = -1;
            return;
        }
        delivered += static_cast<int>(got);
    }
    block->readBytes = delivered;
}

}  // namespace

DWORD WINAPI FileReadAheadThreadProc(LPVOID parameter) {
    FileReadAheadBlock* block = static_cast<FileReadAheadBlock*>(parameter);
    for (;;) {
        DWORD wait = WaitForSingleObject(block->commandEvent, kIdleSliceMs);
        if (wait == WAIT_TIMEOUT) {
            if (block->file != nullptr) ReadAheadIntoCache(block);
            continue;
        }
        if (wait != WAIT_OBJECT_0) {
            // The events are gone: nobody can post a command any more.
            if (block->file != nullptr) CloseHandle(block->file);
            block->finished = 1;
            return 1;
        }
        ResetEvent(block->commandEvent);
        ResetEvent(block->doneEvent);
        switch (block->command) {
        case kReadAheadOpen:
            block->file = CreateFileA(block->fileName, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
            if (block->file == INVALID_HANDLE_VALUE) {
                block->file = nullptr;
                block->openFailed = 1;
                block->finished = 1;
                SetEvent(block->doneEvent);
                return 0;
            }
            block->cacheOffset = 0;
            block->cacheFill = 0;
            break;
        case kReadAheadClose:
            if (block->file != nullptr) CloseHandle(block->file);
            block->file = nullptr;
            break;
        case kReadAheadRead:
            ServeReadAheadRead(block);
            break;
        case kReadAheadSeek:
            SetFilePointer(block->file, block->seekPosition, nullptr, FILE_BEGIN);
            block->cacheOffset = block->seekPosition;
            block->cacheFill = 0;
            break;
        case kReadAheadQuit:
            if (block->file != nullptr) CloseHandle(block->file);
            block->file = nullptr;
            block->finished = 1;
            SetEvent(block->doneEvent);
            return 0;
        default:
            break;
        }
        SetEvent(block->doneEvent);
    }
}

namespace {

// Thread mode's open: the caller's thread only measures the file; the thread opens it.
DirectFile* OpenWithReadAheadThread(DirectFile* file, const char* path) {
    FileReadAheadBlock* block = &file->readAhead;
    if (CopyStringBounded(block->fileName, sizeof(block->fileName), path) != static_cast<int>(std::strlen(path))) {
        FreeMemory(file);
        return nullptr;
    }
    HANDLE probe = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        FreeMemory(file);
        return nullptr;
    }
    int64_t size = MeasureFile(probe);
    CloseHandle(probe);
    if (size < 0) {
        FreeMemory(file);
        return nullptr;
    }
    file->size = static_cast<int>(size);

    block->commandEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    block->doneEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (block->commandEvent != nullptr && block->doneEvent != nullptr)
        block->thread = CreateThread(nullptr, 0, FileReadAheadThreadProc, block, 0, &block->threadId);
    if (block->thread == nullptr) {
        ReleaseReadAheadThread(block);
        FreeMemory(file);
        WriteLog("ファイルアクセス専用スレッドの作成に失敗しました\n");
        return nullptr;
    }

    WaitReadAheadDone(block);
    StartReadAheadCommand(block, kReadAheadOpen);
    WaitReadAheadDone(block);
    if (block->openFailed) {
        ReleaseReadAheadThread(block);
        FreeMemory(file);
        WriteLog("ファイルのオープンに失敗しました\n");
        return nullptr;
    }
    file->position = 0;
    file->endFlag = 0;
    return file;
}

}  // namespace

DirectFile* DirectFileOpen(const char* path, int useReadThread, int) {
    if (path == nullptr) return nullptr;
    // Only the read-ahead thread uses the 128 KB cache at the record's end: a plain file is
    // the record without it. The cache is read only as far as its fill count, so it is
    // never cleared.
    constexpr size_t kWithoutCache = offsetof(DirectFile, readAhead) + offsetof(FileReadAheadBlock, cache);
    const bool threadMode = useReadThread == 1;
    const int bytes = static_cast<int>(threadMode ? sizeof(DirectFile) : kWithoutCache);
    DirectFile* file = static_cast<DirectFile*>(AllocMemory(bytes, __FILE_NAME__, __LINE__));
    if (file == nullptr) return nullptr;
    std::memset(file, 0, kWithoutCache);
    file->threadMode = threadMode;
    if (file->threadMode) return OpenWithReadAheadThread(file, path);

    file->file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file->file == INVALID_HANDLE_VALUE) {
        FreeMemory(file);
        return nullptr;
    }
    int64_t size = MeasureFile(file->file);
    if (size < 0) {
        CloseHandle(file->file);
        FreeMemory(file);
        return nullptr;
    }
    file->size = static_cast<int>(size);
    file->position = 0;
    file->endFlag = 0;
    return file;
}

int DirectFileClose(DirectFile* file) {
    if (file == nullptr) return -1;
    int result = 0;
    if (file->threadMode) {
        WaitReadAheadDone(&file->readAhead);
        StartReadAheadCommand(&file->readAhead, kReadAheadQuit);
        WaitReadAheadDone(&file->readAhead);
        ReleaseReadAheadThread(&file->readAhead);
    } else if (!CloseHandle(file->file)) {
        result = -1;
    }
    FreeMemory(file);
    return result;
}

int DirectFileTell(DirectFile* file) { return file->position; }

int DirectFileSeek(DirectFile* file, int offset, int origin) {
    int64_t target;
    switch (origin) {
    case 0: target = offset; break;
    case 1: target = static_cast<int64_t>(file->position) + offset; break;
    case 2: target = static_cast<int64_t>(file->size) + offset; break;
    default: return -1;
    }
    // The system refuses a negative target; positions beyond INT_MAX cannot be told.
    if (target < 0 || target > INT_MAX) return -1;
    if (file->threadMode) {
        // The seek runs while the caller goes on; the next command waits for it.
        WaitReadAheadDone(&file->readAhead);
        file->readAhead.seekPosition = static_cast<int>(target);
        StartReadAheadCommand(&file->readAhead, kReadAheadSeek);
    } else if (SetFilePointer(file->file, static_cast<LONG>(target), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
        return -1;
    }
    file->position = static_cast<int>(target);
    file->endFlag = 0;
    return 0;
}

int DirectFileRead(void* buffer, int size, int count, DirectFile* file) {
    if (size <= 0 || count <= 0) return 0;
    if (file->position >= file->size) {
        file->endFlag = 1;
        return 0;
    }
    int64_t left = static_cast<int64_t>(file->size) - file->position;
    if (static_cast<int64_t>(size) * count > left) count = static_cast<int>(left / size);
    if (count == 0) {
        file->endFlag = 1;
        return 0;
    }
    int bytes = size * count;  // at most `left`, so it fits

    int delivered;
    if (file->threadMode) {
        FileReadAheadBlock* block = &file->readAhead;
        WaitReadAheadDone(block);
        block->readDestination = buffer;
        block->readPosition = file->position;
        block->readBytes = bytes;
        StartReadAheadCommand(block, kReadAheadRead);
        WaitReadAheadDone(block);
        delivered = block->readBytes;
    } else {
        DWORD got = 0;
        if (!ReadFile(file->file, buffer, static_cast<DWORD>(bytes), &got, nullptr)) {
            // Put the system's pointer back where the caller's position says.
            SetFilePointer(file->file, file->position, nullptr, FILE_BEGIN);
            delivered = -1;
        } else {
            delivered = static_cast<int>(got);
        }
    }
    if (delivered < 0) return 0;
    file->position += delivered;
    return delivered / size;
}

int DirectFileEof(DirectFile* file) { return file->endFlag ? -1 : 0; }

int DirectFileIdle(DirectFile* file) {
    if (!file->threadMode) return 1;
    return WaitForSingleObject(file->readAhead.doneEvent, 0) == WAIT_OBJECT_0 ? 1 : 0;
}

int DirectSetCurrentDir(const char* path) { return SetCurrentDirectoryA(path); }

int DirectGetCurrentDir(char* buffer) {
    DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
    // Too long (the system then leaves the buffer alone) or not expressible: an empty
    // name rather than whatever the buffer held.
    if (length == 0 || length >= MAX_PATH) {
        buffer[0] = '\0';
        return 0;
    }
    return static_cast<int>(length);
}
