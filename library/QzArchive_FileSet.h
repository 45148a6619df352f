// QzArchive_FileSet.h: the archive-aware file set, installed at library start-up. A file
// C:\GAME\DATA\IMG\A.BMP is looked for as the member IMG\A.BMP of C:\GAME\DATA.QZA (or of
// C:\GAME.QZA, and so on, the shortest prefix first) before the plain file is opened. An
// archive that exists hides the directory it stands for. Archives stay open in a cache
// of 512 with user counts; open files (members and plain files) take slots of a table of
// 512, whose numbers or-ed with 0xF0000000 are the FileHandles. Callers hold the library
// lock.
#pragma once

#include "QzArchive_Reader.h"
#include "QzWinFileAccess.h"

constexpr int kArchiveCacheSlots = 512;
constexpr int kArchiveOpenFileSlots = 512;
constexpr uintptr_t kArchiveHandleTag = 0xF0000000u;
constexpr int kArchivePathSize = 256;

struct CachedArchive {
    int userCount;
    ArchiveState state;
    char path[kArchivePathSize];  // the cache's key
};

struct ArchiveOpenFile {
    int member;         // 1: an archive member, 0: a plain file
    DirectFile* file;   // the plain file
    int archiveIndex;   // the member's CachedArchive
    ArchiveMemberCursor cursor;
};

struct ArchiveTable {
    CachedArchive* archives[kArchiveCacheSlots];
    ArchiveOpenFile* files[kArchiveOpenFileSlots];
    char extension[16];  // while extensionLength is 0, "QZA"
    int extensionLength;
    char keyString[17];  // used when keySet is 1
    int keySet;
    int archiveCount;
    int fileCount;
    // The archive of the last successful search, tried first for paths below it.
    int rememberedIndex;  // a hint only: the path decides
    char rememberedPath[kArchivePathSize];
    int rememberedPrefixLength;  // 0: none remembered
};

// The set, in table order (the FileAccessTable's results).
FileHandle ArchiveFileOpen(const char* path, int useReadThread, int reserved);
int ArchiveFileClose(FileHandle file);
int ArchiveFileTell(FileHandle file);
int ArchiveFileSeek(FileHandle file, int offset, int origin);
int ArchiveFileRead(void* buffer, int size, int count, FileHandle file);  // members: bytes
int ArchiveFileEof(FileHandle file);
int ArchiveFileIdle(FileHandle file);  // 1
int ArchiveSetCurrentDir(const char* path);  // 0, or -1 when the system refuses
int ArchiveGetCurrentDir(char* buffer);      // into 256 bytes: 0, or -1 and "" when it does not fit

// The archive cache.
int OpenArchiveCached(const char* path, int hint);  // cache index, or -1
int ReleaseArchive(int index);                      // 0, or -1 (empty slot, no user left)
int FreeUnusedArchives();                           // 0: closes every archive without users
int ReleaseUnusedArchives();                        // library end
int ClearArchiveTable();                            // library start: forgets everything

// The upper-cased absolute form of a path (or of the current directory for null) against
// the process's current directory, into 256 bytes. 0, or -1 (empty component, too long).
int MakeAbsolutePath(const char* path, char* out);

// For tests and diagnostics.
const ArchiveTable* GetArchiveTable();
