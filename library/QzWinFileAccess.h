// QzWinFileAccess.h: the one table of nine operations that every file the library reads
// goes through. Start-up installs the archive-aware set (QzArchive_FileSet.h); the
// direct set (QzWinFileDirect.h) opens plain files. Streams sit on top (QzWinFileStream.h).
// Runs on the caller's thread under the library lock.
#pragma once

#include <cstdint>

// An open file of the installed set, 0 on failure. Archive-aware set: the open-file slot
// or-ed with 0xF0000000; direct set: the address of the file's DirectFile record, so it
// is pointer-sized. Callers treat it as opaque and test only for 0.
typedef uintptr_t FileHandle;

// Origins of the seek operations.
enum : int {
    kSeekFromStart = 0,
    kSeekFromCurrent = 1,
    kSeekFromEnd = 2,
};

struct FileAccessTable {
    FileHandle (*open)(const char* path, int useReadThread, int reserved);  // 0 on failure
    int (*close)(FileHandle file);                                          // 0, or -1
    int (*tell)(FileHandle file);                                           // read position
    int (*seek)(FileHandle file, int offset, int origin);                   // 0, or -1
    int (*read)(void* buffer, int size, int count, FileHandle file);        // by the set's rules
    int (*eof)(FileHandle file);                   // non-zero once a read found nothing left
    int (*idle)(FileHandle file);                  // 1 when no request is still running
    int (*setCurrentDir)(const char* path);
    int (*getCurrentDir)(char* buffer);
};

// Copies a table whole. Null installs the direct set when the archives-off setting is 1,
// else the archive-aware set.
int SetFileAccessTable(const FileAccessTable* table);

// Each calls the same-named entry of the installed table and returns its result.
FileHandle FileAccessOpen(const char* path, int useReadThread, int reserved);
int FileAccessClose(FileHandle file);
int FileAccessTell(FileHandle file);
int FileAccessSeek(FileHandle file, int offset, int origin);
int FileAccessRead(void* buffer, int size, int count, FileHandle file);
int FileAccessEof(FileHandle file);
int FileAccessIdle(FileHandle file);
// Current directory of the installed set. The buffer holds at least 260 bytes.
int FileAccessSetDir(const char* path);
int FileAccessGetDir(char* buffer);
