// QzWinFileDirect.h: the direct file set, which opens plain files with the operating
// system. The archive-aware set uses it for archive files and every plain file; it is
// installed itself only when the archives-off setting is 1.
//
// Plain mode reads straight into the caller's buffer. Read-ahead thread mode (asked for
// with useReadThread 1, by no caller of this system) gives the file a thread of its own
// that keeps up to 128 KiB read ahead of the last read, filled in its 100-ms idle slices.
// Runs on the caller's thread under the library lock, apart from that thread.
#pragma once

#include <cstdint>

#include <platform/win32.h>

constexpr int kReadAheadCacheSize = 131072;

// Commands the caller posts to the read-ahead thread.
enum : int {
    kReadAheadOpen = 0,
    kReadAheadClose = 1,
    kReadAheadRead = 2,
    kReadAheadSeek = 3,
    kReadAheadQuit = 4,
};

// The caller writes the command block only while the done event is signalled; the thread
// touches the cache and its file only between taking a command and signalling done, or in
// an idle slice while no command is pending.
struct FileReadAheadBlock {
    DWORD threadId;
    HANDLE thread;
    HANDLE file;          // the thread's own handle
    HANDLE commandEvent;  // manual reset, starts clear
    HANDLE doneEvent;     // manual reset, starts signalled
    int command;
    int finished;    // set by the thread as it ends
    int openFailed;
    char fileName[260];
    // Read request; the thread writes back the bytes it delivered.
    void* readDestination;
    int readPosition;
    int readBytes;
    int seekPosition;
    int cacheOffset;  // file position of the cache's first byte
    int cacheFill;    // valid bytes in the cache
    unsigned char cache[kReadAheadCacheSize];  // last: a file without the thread has none
};

struct DirectFile {
    HANDLE file;      // not used in thread mode
    int threadMode;   // 1: read-ahead thread mode
    int endFlag;      // set by a read that finds nothing, cleared by a seek
    int position;     // the caller's read position
    int size;         // taken at open
    FileReadAheadBlock readAhead;  // last; its cache exists only in thread mode
};

// The set, in table order. Results as for the FileAccessTable.
DirectFile* DirectFileOpen(const char* path, int useReadThread, int reserved);  // null on failure
int DirectFileClose(DirectFile* file);                                          // 0, or -1
int DirectFileTell(DirectFile* file);
int DirectFileSeek(DirectFile* file, int offset, int origin);  // 0, or -1 (nothing changed)
int DirectFileRead(void* buffer, int size, int count, DirectFile* file);  // whole items
int DirectFileEof(DirectFile* file);   // -1 when the end flag is set, else 0
int DirectFileIdle(DirectFile* file);  // 0 while a thread-mode command still runs, else 1
int DirectSetCurrentDir(const char* path);  // the system's result: non-zero on success
int DirectGetCurrentDir(char* buffer);      // into 260 bytes: its length; 0 and "" when it does not fit

// The read-ahead thread's body; its parameter is the file's FileReadAheadBlock.
DWORD WINAPI FileReadAheadThreadProc(LPVOID parameter);
