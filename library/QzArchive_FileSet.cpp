// QzArchive_FileSet.cpp: the archive-aware file set, the archive cache and the open-file
// table (rules in QzArchive_FileSet.h). Callers hold the library lock.
//
// Opening a path:
// 1. Its absolute form (upper-cased, against the process's current directory) is made.
// 2. When the remembered archive's directory prefix is followed by a backslash in it, that
//    archive is reopened through the cache and the rest is the member path.
// 3. Otherwise every leading run of components (split at single '\' and '/' bytes; never
//    the file name itself, never an empty component) is tried as an archive: the prefix,
//    a dot and the extension. The shortest that opens wins and is remembered.
// 4. With an archive, the member is opened or the open fails: the plain file is not tried.
//    Without one, the plain file is opened by the path as given.
// Joined names longer than 255 bytes fail the absolute form, or skip that prefix.
#include "QzArchive_FileSet.h"

#include <cstring>

#include <platform/win32.h>

#include "QzUseCLib.h"
#include "QzWinFilePath.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"

namespace {

ArchiveTable g_archives;

const char* ArchiveExtension() { return g_archives.extensionLength > 0 ? g_archives.extension : "QZA"; }

// The open file behind a handle, or null for an empty or impossible slot.
ArchiveOpenFile* OpenFileOf(FileHandle file) {
    uintptr_t slot = file & 0x0FFFFFFFu;
    return slot < static_cast<uintptr_t>(kArchiveOpenFileSlots) ? g_archives.files[slot] : nullptr;
}

int FindEmptyFileSlot() {
    for (int i = 0; i < kArchiveOpenFileSlots; i++)
        if (g_archives.files[i] == nullptr) return i;
    return -1;
}

void DropOpenFile(int slot) {
    FreeMemory(g_archives.files[slot]);
    g_archives.files[slot] = nullptr;
}

// Joins prefix bytes, a dot and the extension into out (kArchivePathSize bytes); false when
// the name is longer than 255 bytes.
bool MakeArchiveName(const char* prefix, int prefixLength, char* out) {
    const char* extension = ArchiveExtension();
    int extensionLength = static_cast<int>(std::strlen(extension));
    if (prefixLength + 1 + extensionLength >= kArchivePathSize) return false;
    std::memcpy(out, prefix, static_cast<size_t>(prefixLength));
    out[prefixLength] = '.';
    std::memcpy(out + prefixLength + 1, extension, static_cast<size_t>(extensionLength) + 1);
    return true;
}

// Step 3 of the open: the shortest prefix of abs that names an archive. Returns its cache
// index (and the member path) or -1.
int SearchArchive(const char* abs, const char** memberPath) {
    int componentStart = 0;
    for (int i = 0; abs[i] != 0; i++) {
        if (abs[i] != '\\' && abs[i] != '/') continue;
        bool emptyComponent = i == componentStart;
        componentStart = i + 1;
        if (emptyComponent) continue;
        char name[kArchivePathSize];
        if (!MakeArchiveName(abs, i, name)) continue;
        int index = OpenArchiveCached(name, -1);
        if (index < 0) continue;
        g_archives.rememberedIndex = index;
        CopyStringBounded(g_archives.rememberedPath, kArchivePathSize, name);
        g_archives.rememberedPrefixLength = i;
        *memberPath = abs + i + 1;
        return index;
    }
    return -1;
}

}  // namespace

// ---- the file set ----------------------------------------------------------------------------

FileHandle ArchiveFileOpen(const char* path, int useReadThread, int) {
    if (g_archives.fileCount >= kArchiveOpenFileSlots) {
        WriteLog("同時に開けるファイルの数が限界を超えました\n");
        return 0;
    }
    int slot = FindEmptyFileSlot();
    if (slot < 0) return 0;
    ArchiveOpenFile* open =
        static_cast<ArchiveOpenFile*>(AllocZeroedMemory(sizeof(ArchiveOpenFile), __FILE_NAME__, __LINE__));
    if (open == nullptr) {
        WriteLog("ファイルの情報を格納するメモリの確保に失敗しました\n");
        return 0;
    }
    g_archives.files[slot] = open;
    open->member = 1;

    // Zeroed, so that the prefix comparison past a short name's terminator is defined.
    char abs[kArchivePathSize] = {};
    int index = -1;
    const char* memberPath = nullptr;
    if (path != nullptr && MakeAbsolutePath(path, abs) == 0) {
        int prefixLength = g_archives.rememberedPrefixLength;
        if (prefixLength > 0 && CompareStringsN(abs, g_archives.rememberedPath, prefixLength) == 0 &&
            abs[prefixLength] == '\\') {
            index = OpenArchiveCached(g_archives.rememberedPath, g_archives.rememberedIndex);
            if (index >= 0) memberPath = abs + prefixLength + 1;
        } else {
            index = SearchArchive(abs, &memberPath);
        }
    }

    if (index >= 0) {
        if (OpenArchiveMember(&open->cursor, &g_archives.archives[index]->state, memberPath) != 0) {
            ReleaseArchive(index);
            DropOpenFile(slot);
            return 0;
        }
        open->archiveIndex = index;
    } else {
        open->file = path != nullptr ? DirectFileOpen(path, useReadThread, 1) : nullptr;
        if (open->file == nullptr) {
            DropOpenFile(slot);
            return 0;
        }
        open->member = 0;
    }
    g_archives.fileCount++;
    return static_cast<FileHandle>(slot) | kArchiveHandleTag;
}

int ArchiveFileClose(FileHandle file) {
    ArchiveOpenFile* open = OpenFileOf(file);
    if (open == nullptr) return -1;
    if (open->member) {
        ReleaseArchive(open->archiveIndex);
        CloseArchiveMember(&open->cursor);
    } else {
        DirectFileClose(open->file);
    }
    DropOpenFile(static_cast<int>(file & 0x0FFFFFFFu));
    g_archives.fileCount--;
    return 0;
}

int ArchiveFileTell(FileHandle file) {
    ArchiveOpenFile* open = OpenFileOf(file);
    if (open == nullptr) return -1;
    return open->member ? TellArchiveMember(&open->cursor) : DirectFileTell(open->file);
}

int ArchiveFileSeek(FileHandle file, int offset, int origin) {
    ArchiveOpenFile* open = OpenFileOf(file);
    if (open == nullptr) return -1;
    return open->member ? SeekArchiveMember(&open->cursor, offset, origin) : DirectFileSeek(open->file, offset, origin);
}

int ArchiveFileRead(void* buffer, int size, int count, FileHandle file) {
    ArchiveOpenFile* open = OpenFileOf(file);
    if (open == nullptr) return -1;
    if (!open->member) return DirectFileRead(buffer, size, count, open->file);
    if (size <= 0 || count <= 0) return 0;
    int64_t bytes = static_cast<int64_t>(size) * count;
    return ReadArchiveMember(&open->cursor, buffer, bytes > INT32_MAX ? INT32_MAX : static_cast<int>(bytes));
}

int ArchiveFileEof(FileHandle file) {
    ArchiveOpenFile* open = OpenFileOf(file);
    if (open == nullptr) return -1;
    return open->member ? EofArchiveMember(&open->cursor) : DirectFileEof(open->file);
}

int ArchiveFileIdle(FileHandle) { return 1; }

int ArchiveSetCurrentDir(const char* path) { return SetCurrentDirectoryA(path) ? 0 : -1; }

int ArchiveGetCurrentDir(char* buffer) {
    DWORD length = GetCurrentDirectoryA(kArchivePathSize, buffer);
    // Too long (the system then leaves the buffer alone) or not expressible.
    if (length == 0 || length >= static_cast<DWORD>(kArchivePathSize)) {
        buffer[0] = '\0';
        return -1;
    }
    return 0;
}

// ---- the archive cache -------------------------------------------------------------------------

int OpenArchiveCached(const char* path, int hint) {
    if (path == nullptr || std::strlen(path) >= static_cast<size_t>(kArchivePathSize)) return -1;
    if (hint >= 0 && hint < kArchiveCacheSlots && g_archives.archives[hint] != nullptr &&
        CompareStrings(g_archives.archives[hint]->path, path) == 0) {
        g_archives.archives[hint]->userCount++;
        return hint;
    }
    int emptySlot = -1;
    for (int i = 0, seen = 0; i < kArchiveCacheSlots && seen < g_archives.archiveCount; i++) {
        CachedArchive* cached = g_archives.archives[i];
        if (cached == nullptr) {
            emptySlot = i;
            continue;
        }
        seen++;
        if (CompareStrings(cached->path, path) == 0) {
            cached->userCount++;
            return i;
        }
    }
    if (g_archives.archiveCount >= kArchiveCacheSlots) {
        FreeUnusedArchives();
        if (g_archives.archiveCount >= kArchiveCacheSlots) return -1;
        emptySlot = -1;
    }
    if (emptySlot < 0) {
        for (int i = 0; i < kArchiveCacheSlots; i++) {
            if (g_archives.archives[i] == nullptr) {
                emptySlot = i;
                break;
            }
        }
    }
    if (emptySlot < 0) return -1;

    ArchiveState state;
    ClearArchiveState(&state);
    if (OpenArchiveFile(&state, path, g_archives.keySet ? g_archives.keyString : nullptr) != 0) return -1;
    CachedArchive* cached = static_cast<CachedArchive*>(AllocMemory(sizeof(CachedArchive), __FILE_NAME__, __LINE__));
    if (cached == nullptr) {
        CloseArchiveState(&state);
        return -1;
    }
    cached->state = state;
    cached->userCount = 1;
    CopyStringBounded(cached->path, kArchivePathSize, path);
    g_archives.archives[emptySlot] = cached;
    g_archives.archiveCount++;
    return emptySlot;
}

int ReleaseArchive(int index) {
    if (index < 0 || index >= kArchiveCacheSlots) return -1;
    CachedArchive* cached = g_archives.archives[index];
    if (cached == nullptr || cached->userCount <= 0) return -1;
    cached->userCount--;
    return 0;
}

int FreeUnusedArchives() {
    for (int i = 0; i < kArchiveCacheSlots; i++) {
        CachedArchive* cached = g_archives.archives[i];
        if (cached == nullptr || cached->userCount > 0) continue;
        CloseArchiveState(&cached->state);
        FreeMemory(cached);
        g_archives.archives[i] = nullptr;
        g_archives.archiveCount--;
    }
    return 0;
}

int ReleaseUnusedArchives() { return FreeUnusedArchives(); }

int ClearArchiveTable() {
    std::memset(&g_archives, 0, sizeof(g_archives));
    return 0;
}

const ArchiveTable* GetArchiveTable() { return &g_archives; }

// ---- paths -----------------------------------------------------------------------------------

int MakeAbsolutePath(const char* path, char* out) {
    char current[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    if (length == 0 || length >= MAX_PATH) {
        // Without a current directory only a path with its own drive can be made whole.
        current[0] = '\0';
        if (path == nullptr || path[0] == '\0' || path[1] != ':') {
            out[0] = '\0';
            return -1;
        }
    }
    UpperCaseString(current);
    if (path == nullptr) {
        if (CopyStringBounded(out, kArchivePathSize, current) != static_cast<int>(std::strlen(current))) {
            out[0] = '\0';
            return -1;
        }
        return 0;
    }
    return WalkPath(path, current, kPathWalkUpperCase, out, kArchivePathSize);
}
