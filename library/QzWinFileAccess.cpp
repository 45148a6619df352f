// QzWinFileAccess.cpp: the installed file-access table and its dispatchers. Callers hold
// the library lock.
#include "QzWinFileAccess.h"

#include "QzArchive_FileSet.h"
#include "QzWinFileDirect.h"
#include "QzWinState.h"

namespace {

// The direct set, in table form: its handles are the addresses of DirectFile records.
DirectFile* DirectOf(FileHandle file) { return reinterpret_cast<DirectFile*>(file); }
FileHandle DirectOpen(const char* path, int useReadThread, int reserved) {
    return reinterpret_cast<FileHandle>(DirectFileOpen(path, useReadThread, reserved));
}
int DirectClose(FileHandle file) { return DirectFileClose(DirectOf(file)); }
int DirectTell(FileHandle file) { return DirectFileTell(DirectOf(file)); }
int DirectSeek(FileHandle file, int offset, int origin) { return DirectFileSeek(DirectOf(file), offset, origin); }
int DirectRead(void* buffer, int size, int count, FileHandle file) {
    return DirectFileRead(buffer, size, count, DirectOf(file));
}
int DirectEof(FileHandle file) { return DirectFileEof(DirectOf(file)); }
int DirectIdle(FileHandle file) { return DirectFileIdle(DirectOf(file)); }

constexpr FileAccessTable kDirectFileSet = {DirectOpen, DirectClose, DirectTell,          DirectSeek,         DirectRead,
                                            DirectEof,  DirectIdle,  DirectSetCurrentDir, DirectGetCurrentDir};

constexpr FileAccessTable kArchiveFileSet = {ArchiveFileOpen, ArchiveFileClose, ArchiveFileTell,
                                             ArchiveFileSeek, ArchiveFileRead,  ArchiveFileEof,
                                             ArchiveFileIdle, ArchiveSetCurrentDir, ArchiveGetCurrentDir};

// Start-up installs a set; until then the direct set answers, so that nothing before
// start-up calls through an empty table.
FileAccessTable g_fileAccess = kDirectFileSet;

}  // namespace

int SetFileAccessTable(const FileAccessTable* table) {
    if (table != nullptr)
        g_fileAccess = *table;
    else
        g_fileAccess = GetWindowSystemState()->archivesOff == 1 ? kDirectFileSet : kArchiveFileSet;
    return 0;
}

FileHandle FileAccessOpen(const char* path, int useReadThread, int reserved) {
    return g_fileAccess.open(path, useReadThread, reserved);
}
int FileAccessClose(FileHandle file) { return g_fileAccess.close(file); }
int FileAccessTell(FileHandle file) { return g_fileAccess.tell(file); }
int FileAccessSeek(FileHandle file, int offset, int origin) { return g_fileAccess.seek(file, offset, origin); }
int FileAccessRead(void* buffer, int size, int count, FileHandle file) {
    return g_fileAccess.read(buffer, size, count, file);
}
int FileAccessEof(FileHandle file) { return g_fileAccess.eof(file); }
int FileAccessIdle(FileHandle file) { return g_fileAccess.idle(file); }
int FileAccessSetDir(const char* path) { return g_fileAccess.setCurrentDir(path); }
int FileAccessGetDir(char* buffer) { return g_fileAccess.getCurrentDir(buffer); }
