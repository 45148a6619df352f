// QzArchive_Reader.h: reading one QZA archive: its header and table block, directory
// walks and name look-ups, and open members (stored, or one LZ block decompressed whole
// at open). The cache and the file set that make archives stand in for directories are
// in QzArchive_FileSet.h. Callers hold the library lock.
//
// Layout (little-endian, every byte scrambled with the working key, QzArchive_Key.h):
// - header, 24 bytes: "QZ", version (3 or lower), table block size, data area offset,
//   table block offset, file table and directory table offsets inside the table block;
// - table block: the name table at offset 0, then the file and directory tables;
// - name record: length L in 4-byte units (2), checksum (2), the name in search form
//   padded with zeros to L x 4 bytes;
// - file entry, 40 bytes (versions 0-1) or 44 (2-3): name record offset, attributes
//   (0x10 directory), 24 bytes not read, data offset (a directory: its directory record's
//   offset), plain size, and from version 2 the compressed block size or 0xFFFFFFFF for
//   a stored member;
// - directory record, 16 bytes (the root at offset 0): not read, parent offset
//   (0xFFFFFFFF for the root), entry count, first entry's offset in the file table.
//
// A damaged archive is never trusted: every offset and count is checked against what
// holds it. Header damage makes the archive fail to open; damage in the tables or a
// block makes the look-up or the member open fail.
#pragma once

#include <cstdint>

#include "QzArchive_Key.h"
#include "QzWinFileDirect.h"

constexpr int kArchiveHeaderSize = 24;
constexpr int kArchiveMaxVersion = 3;
constexpr int kArchiveDirRecordSize = 16;
constexpr uint32_t kArchiveNoParent = 0xFFFFFFFFu;
constexpr uint32_t kArchiveStoredMember = 0xFFFFFFFFu;
constexpr uint32_t kArchiveDirectoryAttribute = 0x10;
constexpr int kArchiveSearchNameSize = 1024;

// Entry size by version: 40 bytes before version 2, 44 from it.
inline int ArchiveEntrySize(int version) { return version >= 2 ? 44 : 40; }

struct ArchiveHeader {
    char magic[2];  // "QZ"
    uint16_t version;
    uint32_t tableSize;
    uint32_t dataOffset;
    uint32_t tableOffset;
    uint32_t fileTableOffset;
    uint32_t dirTableOffset;
};
static_assert(sizeof(ArchiveHeader) == kArchiveHeaderSize, "archive header layout");

struct ArchiveState {
    ArchiveHeader header;
    DirectFile* file;       // the archive file, or null for an image in memory
    unsigned char* image;   // an archive image in memory
    unsigned char* table;   // the table block (the name table starts it)
    unsigned char* fileTable;
    unsigned char* dirTable;
    unsigned char* nameTable;
    uint32_t currentDir;    // offset of the current directory's record in the directory table
    unsigned char key[kArchiveKeySize];
    int memoryImage;        // 1: image rather than file
    int imageUnscrambled;   // 1: the image was unscrambled in place
    int imageSize;
    int64_t archiveSize;    // bytes of the file or image, for the bounds checks
};

// A name in search form (a-z upper-cased, Shift-JIS pairs as they stand, zero-padded to
// (n + 4) rounded down to a multiple of 4 bytes), its checksum and length in 4-byte units.
struct ArchiveSearchKey {
    unsigned char name[kArchiveSearchNameSize];
    uint16_t checksum;
    uint16_t length;
};

struct ArchiveMemberCursor {
    ArchiveState* state;
    const unsigned char* entry;  // inside the state's file table
    unsigned char* copy;         // the decompressed member, null for a stored one
    int endFlag;
    int position;
};

// Archive files.
void ClearArchiveState(ArchiveState* state);
int OpenArchiveFile(ArchiveState* state, const char* path, const char* keyString);  // 0, or -1
int CloseArchiveFile(ArchiveState* state);                                          // 0
int CloseArchiveState(ArchiveState* state);                                         // 0
// Reads length bytes at the file's position and unscrambles them from position (-1: the
// file's own position). Returns the bytes delivered.
int ReadArchiveBytes(void* buffer, int length, DirectFile* file, const unsigned char key[kArchiveKeySize],
                     int64_t position);
int ReadInvertedBytes(void* buffer, int length, DirectFile* file);

// Names and directories.
int MakeArchiveSearchKey(ArchiveSearchKey* key, const char* text, int* lengthOut);  // 0, -1 for a name too long
int EnterArchiveDirectory(ArchiveState* state, const ArchiveSearchKey* key);        // 0, or -1
int ChangeArchiveDirectory(ArchiveState* state, const char* path, int restoreOnFailure, ArchiveSearchKey* keyOut);
// The file entry a path inside the archive names, or null (missing, a directory, damage).
const unsigned char* FindArchiveFileEntry(ArchiveState* state, const char* path);

// Members.
int OpenArchiveMember(ArchiveMemberCursor* cursor, ArchiveState* state, const char* path);  // 0, or -1
int ReadArchiveMember(ArchiveMemberCursor* cursor, void* buffer, int bytes);  // bytes delivered
int SeekArchiveMember(ArchiveMemberCursor* cursor, int offset, int origin);   // 0; clipped to 0..size
int TellArchiveMember(ArchiveMemberCursor* cursor);
int EofArchiveMember(ArchiveMemberCursor* cursor);  // -1 when the end flag is set, else 0
int CloseArchiveMember(ArchiveMemberCursor* cursor);  // 0
// The plain size of the member behind a cursor.
int GetArchiveMemberSize(const ArchiveMemberCursor* cursor);
