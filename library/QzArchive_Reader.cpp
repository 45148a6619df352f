// QzArchive_Reader.cpp: one archive's header, tables, look-ups and members (layout in
// QzArchive_Reader.h). Callers hold the library lock.
//
// Bounds, all in 64 bits: the table block lies inside the archive and both table offsets
// inside the block (else the archive does not open); a name record, a directory record,
// a directory's run of entries and a parent record lie inside the block, and a member's
// data inside the archive (else the look-up or the open fails); a compressed block is at
// least 9 bytes, its sizes match the entry's, and it decodes to exactly its plain size.
#include "QzArchive_Reader.h"

#include <climits>
#include <cstring>

#include "QzArchive_LZ.h"
#include "QzUseCLib.h"
#include "QzWinMemory.h"

namespace {

uint16_t Read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t Read32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// Entry fields.
uint32_t EntryNameOffset(const unsigned char* entry) { return Read32(entry); }
uint32_t EntryAttributes(const unsigned char* entry) { return Read32(entry + 4); }
uint32_t EntryDataOffset(const unsigned char* entry) { return Read32(entry + 32); }
uint32_t EntryPlainSize(const unsigned char* entry) { return Read32(entry + 36); }
uint32_t EntryBlockSize(const ArchiveState* state, const unsigned char* entry) {
    return state->header.version >= 2 ? Read32(entry + 40) : kArchiveStoredMember;
}

// True when [offset, offset + length) lies inside the table block.
bool InTable(const ArchiveState* state, uint64_t offset, uint64_t length) {
    return offset <= state->header.tableSize && length <= state->header.tableSize - offset;
}

// The directory record at an offset of the directory table, or null when it lies outside.
const unsigned char* DirectoryRecord(const ArchiveState* state, uint32_t offset) {
    uint64_t at = static_cast<uint64_t>(state->header.dirTableOffset) + offset;
    return InTable(state, at, kArchiveDirRecordSize) ? state->table + at : nullptr;
}

bool NameMatches(const ArchiveState* state, const unsigned char* entry, const ArchiveSearchKey* key) {
    uint64_t at = EntryNameOffset(entry);
    if (!InTable(state, at, 4)) return false;
    const unsigned char* record = state->nameTable + at;
    uint16_t length = Read16(record);
    if (!InTable(state, at + 4, static_cast<uint64_t>(length) * 4)) return false;
    return length == key->length && Read16(record + 2) == key->checksum &&
           std::memcmp(record + 4, key->name, static_cast<size_t>(length) * 4) == 0;
}

// The first entry of the current directory with the directory bit as asked whose name
// matches the key, or null.
const unsigned char* FindEntry(const ArchiveState* state, const ArchiveSearchKey* key, bool directory) {
    const unsigned char* dir = DirectoryRecord(state, state->currentDir);
    if (dir == nullptr || key->length == 0) return nullptr;
    uint32_t count = Read32(dir + 8);
    uint64_t first = static_cast<uint64_t>(state->header.fileTableOffset) + Read32(dir + 12);
    int entrySize = ArchiveEntrySize(state->header.version);
    if (!InTable(state, first, static_cast<uint64_t>(count) * entrySize)) return nullptr;
    const unsigned char* entry = state->table + first;
    for (uint32_t i = 0; i < count; i++, entry += entrySize) {
        bool isDirectory = (EntryAttributes(entry) & kArchiveDirectoryAttribute) != 0;
        if (isDirectory == directory && NameMatches(state, entry, key)) return entry;
    }
    return nullptr;
}

bool ContainsBackslash(const char* path) { return FindFirstChar(path, '\\') != nullptr; }

// Walks the directories of a path with backslashes (rules of ChangeArchiveDirectory).
// On failure *failedAt is the component that could not be entered.
int WalkArchiveDirectories(ArchiveState* state, const char* path, int restoreOnFailure, ArchiveSearchKey* keyOut,
                           const char** failedAt) {
    uint32_t saved = state->currentDir;
    ArchiveSearchKey key;
    MakeArchiveSearchKey(&key, "", nullptr);
    const char* p = path;
    while (*p != 0) {
        if (*p == '\\') {
            // An empty component: a leading backslash or two in a row.
            state->currentDir = 0;
            p++;
            continue;
        }
        int taken = 0;
        if (MakeArchiveSearchKey(&key, p, &taken) != 0 || EnterArchiveDirectory(state, &key) != 0) {
            if (restoreOnFailure == 1) state->currentDir = saved;
            if (keyOut != nullptr) *keyOut = key;
            if (failedAt != nullptr) *failedAt = p;
            return -1;
        }
        p += taken;
        if (*p == '\\') {
            p++;
            if (*p == 0) break;  // a single trailing backslash ends the walk
        }
    }
    if (keyOut != nullptr) *keyOut = key;
    return 0;
}

// Bytes of a member as stored in the archive, unscrambled, into buffer.
bool ReadStoredBytes(ArchiveState* state, int64_t at, void* buffer, int length) {
    if (state->memoryImage) {
        std::memcpy(buffer, state->image + at, static_cast<size_t>(length));
        if (!state->imageUnscrambled) ApplyArchiveKey(buffer, length, at, state->key);
        return true;
    }
    if (DirectFileSeek(state->file, static_cast<int>(at), 0) != 0) return false;
    return ReadArchiveBytes(buffer, length, state->file, state->key, at) == length;
}

// The member's data position in the archive.
int64_t MemberDataStart(const ArchiveState* state, const unsigned char* entry) {
    return static_cast<int64_t>(state->header.dataOffset) + EntryDataOffset(entry);
}

}  // namespace

// ---- archive files ------------------------------------------------------------------------

void ClearArchiveState(ArchiveState* state) { std::memset(state, 0, sizeof(*state)); }

int ReadArchiveBytes(void* buffer, int length, DirectFile* file, const unsigned char key[kArchiveKeySize],
                     int64_t position) {
    if (position == -1) position = DirectFileTell(file);
    int delivered = DirectFileRead(buffer, 1, length, file);
    ApplyArchiveKey(buffer, delivered, position, key);
    return delivered;
}

int ReadInvertedBytes(void* buffer, int length, DirectFile* file) {
    int delivered = DirectFileRead(buffer, 1, length, file);
    InvertBytes(buffer, delivered);
    return delivered;
}

int OpenArchiveFile(ArchiveState* state, const char* path, const char* keyString) {
    if (state->file != nullptr || state->image != nullptr) return -1;
    DirectFile* file = DirectFileOpen(path, 0, 1);
    if (file == nullptr) return -1;
    int64_t archiveSize = file->size;

    // The first key, then the second when the magic does not show.
    ArchiveHeader header;
    unsigned char key[kArchiveKeySize];
    MakeArchiveKey(keyString, key);
    bool found = ReadArchiveBytes(&header, kArchiveHeaderSize, file, key, 0) == kArchiveHeaderSize &&
                 std::memcmp(header.magic, "QZ", 2) == 0;
    if (!found) {
        MakeArchiveSecondKey(key);
        found = DirectFileSeek(file, 0, 0) == 0 &&
                ReadArchiveBytes(&header, kArchiveHeaderSize, file, key, 0) == kArchiveHeaderSize &&
                std::memcmp(header.magic, "QZ", 2) == 0;
    }
    bool sound = found && header.version <= kArchiveMaxVersion &&
                 static_cast<uint64_t>(header.tableOffset) + header.tableSize <= static_cast<uint64_t>(archiveSize) &&
                 header.fileTableOffset <= header.tableSize && header.dirTableOffset <= header.tableSize;
    unsigned char* table = nullptr;
    if (sound) table = static_cast<unsigned char*>(AllocMemory(static_cast<int>(header.tableSize), __FILE_NAME__, __LINE__));
    if (table == nullptr || DirectFileSeek(file, static_cast<int>(header.tableOffset), 0) != 0 ||
        ReadArchiveBytes(table, static_cast<int>(header.tableSize), file, key, header.tableOffset) !=
            static_cast<int>(header.tableSize)) {
        if (table != nullptr) FreeMemory(table);
        DirectFileClose(file);
        return -1;
    }

    state->header = header;
    state->file = file;
    state->table = table;
    state->nameTable = table;
    state->fileTable = table + header.fileTableOffset;
    state->dirTable = table + header.dirTableOffset;
    state->currentDir = 0;
    std::memcpy(state->key, key, kArchiveKeySize);
    state->memoryImage = 0;
    state->imageUnscrambled = 0;
    state->archiveSize = archiveSize;
    return 0;
}

int CloseArchiveFile(ArchiveState* state) {
    if (state->file == nullptr && state->image == nullptr) return 0;
    if (state->memoryImage) {
        if (state->imageUnscrambled)
            ApplyArchiveKey(state->image, state->imageSize, 0, state->key);
        else
            FreeMemory(state->image);
    } else {
        DirectFileClose(state->file);
    }
    if (state->table != nullptr) FreeMemory(state->table);
    ClearArchiveState(state);
    return 0;
}

int CloseArchiveState(ArchiveState* state) {
    CloseArchiveFile(state);
    ClearArchiveState(state);
    return 0;
}

// ---- names and directories ----------------------------------------------------------------

int MakeArchiveSearchKey(ArchiveSearchKey* key, const char* text, int* lengthOut) {
    std::memset(key->name, 0, sizeof(key->name));
    key->checksum = 0;
    key->length = 0;
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text);
    int n = 0;
    while (in[n] != 0 && in[n] != '\\') {
        if (IsShiftJisLeadByte(in[n]) && in[n + 1] != 0) {
            n += 2;
        } else {
            n += 1;
        }
    }
    if (lengthOut != nullptr) *lengthOut = n;
    int padded = (n + 4) & ~3;
    if (padded > kArchiveSearchNameSize) return -1;
    unsigned int sum = 0;
    for (int i = 0; i < n;) {
        if (IsShiftJisLeadByte(in[i]) && i + 1 < n) {
            key->name[i] = in[i];
            key->name[i + 1] = in[i + 1];
            sum += in[i] + in[i + 1];
            i += 2;
            continue;
        }
        unsigned char c = in[i];
        if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 32);
        key->name[i] = c;
        sum += c;
        i += 1;
    }
    key->checksum = static_cast<uint16_t>(sum);
    key->length = static_cast<uint16_t>(padded / 4);
    return 0;
}

int EnterArchiveDirectory(ArchiveState* state, const ArchiveSearchKey* key) {
    const unsigned char* entry = FindEntry(state, key, true);
    if (entry == nullptr || DirectoryRecord(state, EntryDataOffset(entry)) == nullptr) return -1;
    state->currentDir = EntryDataOffset(entry);
    return 0;
}

int ChangeArchiveDirectory(ArchiveState* state, const char* path, int restoreOnFailure, ArchiveSearchKey* keyOut) {
    if (std::strcmp(path, ".") == 0) return 0;
    if (std::strcmp(path, "\\") == 0) {
        state->currentDir = 0;
        return 0;
    }
    if (std::strcmp(path, "..") == 0) {
        const unsigned char* dir = DirectoryRecord(state, state->currentDir);
        if (dir == nullptr) return -1;
        uint32_t parent = Read32(dir + 4);
        if (parent == kArchiveNoParent || DirectoryRecord(state, parent) == nullptr) return -1;
        state->currentDir = parent;
        return 0;
    }
    if (!ContainsBackslash(path)) {
        ArchiveSearchKey key;
        bool entered = MakeArchiveSearchKey(&key, path, nullptr) == 0 && EnterArchiveDirectory(state, &key) == 0;
        if (keyOut != nullptr) *keyOut = key;
        return entered ? 0 : -1;
    }
    return WalkArchiveDirectories(state, path, restoreOnFailure, keyOut, nullptr);
}

const unsigned char* FindArchiveFileEntry(ArchiveState* state, const char* path) {
    uint32_t saved = state->currentDir;
    const unsigned char* entry = nullptr;
    ArchiveSearchKey key;
    if (!ContainsBackslash(path)) {
        if (MakeArchiveSearchKey(&key, path, nullptr) == 0) entry = FindEntry(state, &key, false);
    } else {
        const char* failedAt = nullptr;
        if (WalkArchiveDirectories(state, path, 0, &key, &failedAt) != 0) {
            // The walk stopped at a name that is no directory here. Only the last
            // component may be a file: "A.BMP\X" names nothing.
            int taken = 0;
            MakeArchiveSearchKey(&key, failedAt, &taken);
            if (failedAt[taken] == 0) entry = FindEntry(state, &key, false);
        }
    }
    state->currentDir = saved;
    return entry;
}

// ---- members --------------------------------------------------------------------------------

int GetArchiveMemberSize(const ArchiveMemberCursor* cursor) { return static_cast<int>(EntryPlainSize(cursor->entry)); }

int OpenArchiveMember(ArchiveMemberCursor* cursor, ArchiveState* state, const char* path) {
    const unsigned char* entry = FindArchiveFileEntry(state, path);
    if (entry == nullptr) return -1;
    uint32_t plainSize = EntryPlainSize(entry);
    uint32_t blockSize = EntryBlockSize(state, entry);
    bool compressed = blockSize != kArchiveStoredMember;
    int64_t dataStart = MemberDataStart(state, entry);
    int64_t storedSize = compressed ? blockSize : plainSize;
    if (plainSize > INT_MAX || dataStart + storedSize > state->archiveSize) return -1;

    unsigned char* copy = nullptr;
    if (compressed) {
        if (blockSize < kArchiveLZHeaderSize) return -1;
        copy = static_cast<unsigned char*>(AllocMemory(static_cast<int>(plainSize), __FILE_NAME__, __LINE__));
        unsigned char* block = static_cast<unsigned char*>(AllocMemory(static_cast<int>(blockSize), __FILE_NAME__, __LINE__));
        bool decoded = copy != nullptr && block != nullptr &&
                       ReadStoredBytes(state, dataStart, block, static_cast<int>(blockSize)) &&
                       GetArchiveLZBlockSize(block) == blockSize && GetArchiveLZPlainSize(block) == plainSize &&
                       DecodeArchiveLZ(block, copy) == static_cast<int>(plainSize);
        if (block != nullptr) FreeMemory(block);
        if (!decoded) {
            if (copy != nullptr) FreeMemory(copy);
            return -1;
        }
    }
    cursor->state = state;
    cursor->entry = entry;
    cursor->copy = copy;
    cursor->endFlag = 0;
    cursor->position = 0;
    return 0;
}

int ReadArchiveMember(ArchiveMemberCursor* cursor, void* buffer, int bytes) {
    if (cursor->endFlag) return 0;
    int size = GetArchiveMemberSize(cursor);
    if (cursor->position >= size) {
        cursor->endFlag = 1;
        return 0;
    }
    if (bytes <= 0) return 0;
    int n = bytes < size - cursor->position ? bytes : size - cursor->position;
    ArchiveState* state = cursor->state;
    int delivered;
    if (cursor->copy != nullptr) {
        std::memcpy(buffer, cursor->copy + cursor->position, static_cast<size_t>(n));
        delivered = n;
    } else if (state->memoryImage) {
        ReadStoredBytes(state, MemberDataStart(state, cursor->entry) + cursor->position, buffer, n);
        delivered = n;
    } else {
        int64_t at = MemberDataStart(state, cursor->entry) + cursor->position;
        if (DirectFileTell(state->file) != at && DirectFileSeek(state->file, static_cast<int>(at), 0) != 0) return 0;
        delivered = ReadArchiveBytes(buffer, n, state->file, state->key, at);
        // A truncated archive delivers less; nothing at all counts as the end.
        if (delivered == 0) {
            cursor->endFlag = 1;
            return 0;
        }
    }
    cursor->endFlag = 0;
    cursor->position += delivered;
    return delivered;
}

int SeekArchiveMember(ArchiveMemberCursor* cursor, int offset, int origin) {
    int size = GetArchiveMemberSize(cursor);
    int64_t target = offset;
    if (origin == 1) target += cursor->position;
    if (origin == 2) target += size;
    if (target < 0) target = 0;
    if (target > size) target = size;
    cursor->position = static_cast<int>(target);
    cursor->endFlag = 0;
    return 0;
}

int TellArchiveMember(ArchiveMemberCursor* cursor) { return cursor->position; }

int EofArchiveMember(ArchiveMemberCursor* cursor) { return cursor->endFlag ? -1 : 0; }

int CloseArchiveMember(ArchiveMemberCursor* cursor) {
    if (cursor->copy != nullptr) FreeMemory(cursor->copy);
    std::memset(cursor, 0, sizeof(*cursor));
    return 0;
}
