// QzWinMemory.cpp: the tracked allocator. Callers hold the library lock.
//
// Rules:
// - Each block is an 80-byte header followed by the caller's bytes. The header's first
//   40 bytes (the record: file, id, line, size, links) are mirrored into its last 40
//   (the guard); a difference means the header was damaged.
// - The blocks form one list from the newest along the older links down to a sentinel
//   that stands as the oldest element. The list starts empty at process start and is
//   never reset, so blocks made before start-up stay listed.
// - Beside the list, an index of the live headers answers in constant time whether a
//   pointer is a tracked block. FreeMemory asks it before reading anything, so a foreign
//   or already freed pointer is logged and left alone, and the list stays intact; the
//   list walks ask it too, so a damaged link ends a walk instead of leaving the list.
// - The totals are kept in wrapping 32-bit arithmetic, as the record's fields are ints.
#include "QzWinMemory.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <platform/win32.h>

#include "QzUseCLib.h"
#include "QzWinLog.h"

namespace {

AllocTrackerState& Tracker() { return g_windowSystem.tracker; }

// ---- index of the live headers ----------------------------------------------------------
// Linear probing over a power-of-two table, filled at most to three quarters; removal
// shifts the following run back, so no tombstones build up.

uint32_t IndexHome(uintptr_t key, uint32_t capacity) {
    uint64_t mixed = static_cast<uint64_t>(key >> 4) * 0x9E3779B97F4A7C15ull;
    return static_cast<uint32_t>(mixed >> 32) & (capacity - 1);
}

void IndexPlace(uintptr_t* slots, uint32_t capacity, uintptr_t key) {
    uint32_t i = IndexHome(key, capacity);
    while (slots[i] != 0) i = (i + 1) & (capacity - 1);
    slots[i] = key;
}

// Makes room for one more key; false when the table cannot grow.
bool IndexReserve(AllocIndex& index) {
    if (index.capacity != 0 && (static_cast<uint64_t>(index.used) + 1) * 4 <= static_cast<uint64_t>(index.capacity) * 3)
        return true;
    uint32_t capacity = index.capacity == 0 ? 256 : index.capacity * 2;
    if (capacity == 0) return false;
    uintptr_t* slots = static_cast<uintptr_t*>(std::calloc(capacity, sizeof(uintptr_t)));
    if (slots == nullptr) return false;
    for (uint32_t i = 0; i < index.capacity; i++)
        if (index.slots[i] != 0) IndexPlace(slots, capacity, index.slots[i]);
    std::free(index.slots);
    index.slots = slots;
    index.capacity = capacity;
    return true;
}

void IndexInsert(AllocIndex& index, uintptr_t key) {
    IndexPlace(index.slots, index.capacity, key);
    index.used++;
}

bool IndexContains(const AllocIndex& index, uintptr_t key) {
    if (index.capacity == 0 || key == 0) return false;
    uint32_t i = IndexHome(key, index.capacity);
    while (index.slots[i] != 0) {
        if (index.slots[i] == key) return true;
        i = (i + 1) & (index.capacity - 1);
    }
    return false;
}

void IndexRemove(AllocIndex& index, uintptr_t key) {
    if (index.capacity == 0) return;
    uint32_t mask = index.capacity - 1;
    uint32_t i = IndexHome(key, index.capacity);
    while (index.slots[i] != key) {
        if (index.slots[i] == 0) return;
        i = (i + 1) & mask;
    }
    // Shift back every following key that would no longer be found past the hole.
    uint32_t hole = i;
    uint32_t j = i;
    for (;;) {
        j = (j + 1) & mask;
        if (index.slots[j] == 0) break;
        uint32_t home = IndexHome(index.slots[j], index.capacity);
        bool movable = ((j - home) & mask) >= ((j - hole) & mask);
        if (movable) {
            index.slots[hole] = index.slots[j];
            hole = j;
        }
    }
    index.slots[hole] = 0;
    index.used--;
}

bool IsLiveHeader(const AllocHeader* header) {
    return IndexContains(Tracker().index, reinterpret_cast<uintptr_t>(header));
}

// The older neighbour on a walk, or null where the walk must end (the sentinel, or a
// link that does not lead to a live block).
AllocHeader* OlderOnWalk(const AllocHeader* header) {
    AllocHeader* older = header->older;
    if (older == &Tracker().sentinel || !IsLiveHeader(older)) return nullptr;
    return older;
}

AllocHeader* NewestOnWalk() {
    AllocHeader* newest = Tracker().newest;
    return newest != nullptr && IsLiveHeader(newest) ? newest : nullptr;
}

int AddWrapping(int a, int b) {
    return static_cast<int>(static_cast<unsigned>(a) + static_cast<unsigned>(b));
}

bool ShouldLog(int size) {
    const AllocTrackerState& t = Tracker();
    return t.trapSize < 0 || t.trapSize == size || t.logEvery;
}

}  // namespace

void* AllocMemory(int size, const char* file, int line) {
    AllocTrackerState& t = Tracker();
    if (size < 0 || size > INT_MAX - kAllocHeaderSize) return nullptr;

    if (!IndexReserve(t.index)) {
        DumpAllocations();
        return nullptr;
    }
    AllocHeader* header = static_cast<AllocHeader*>(AllocProcessHeap(size + kAllocHeaderSize));
    if (header == nullptr) {
        DumpAllocations();
        return nullptr;
    }

    std::memset(header, 0, kAllocRecordSize);
    if (file != nullptr) {
        size_t length = std::strlen(file);
        const char* tail = length >= 15 ? file + length - 15 : file;
        std::memcpy(header->file, tail, std::strlen(tail));
    }
    header->id = t.nextId;
    t.nextId = static_cast<uint16_t>(t.nextId + 1);
    header->line = static_cast<int16_t>(static_cast<uint16_t>(line));
    header->size = size;

    AllocHeader* previous = t.newest != nullptr ? t.newest : &t.sentinel;
    previous->newer = header;
    header->older = previous;
    header->newer = nullptr;
    t.newest = header;
    RefreshAllocGuard(header);
    RefreshAllocGuard(previous);
    IndexInsert(t.index, reinterpret_cast<uintptr_t>(header));

    t.totalSize = AddWrapping(t.totalSize, size);
    t.count++;

    if (ShouldLog(size)) {
        WriteLog("mem alloc  ");
        LogAllocRecord(header);
    }
    if (t.logTotals) LogAllocTotal();
    if (t.checkEvery) CheckAllAllocHeaders();
    return reinterpret_cast<unsigned char*>(header) + kAllocHeaderSize;
}

void* AllocZeroedMemory(int size, const char* file, int line) {
    void* block = AllocMemory(size, file, line);
    if (block != nullptr) std::memset(block, 0, static_cast<size_t>(size));
    return block;
}

int FreeMemory(void* block) {
    AllocTrackerState& t = Tracker();
    if (block == nullptr) return 0;

    // Nothing is read through the pointer before the index vouches for it.
    uintptr_t key = reinterpret_cast<uintptr_t>(block) - kAllocHeaderSize;
    if (!IndexContains(t.index, key)) {
        WriteLogFormat("確保されていないメモリの解放要求を無視しました アドレス:%p", block);
        return 0;
    }
    AllocHeader* header = reinterpret_cast<AllocHeader*>(key);
    if (CheckAllocHeader(header) != 0) return 0;

    t.totalSize = AddWrapping(t.totalSize, -header->size);
    t.count--;
    if (t.checkEvery) CheckAllAllocHeaders();

    AllocHeader* older = header->older;
    AllocHeader* newer = header->newer;
    older->newer = newer;
    if (newer != nullptr) newer->older = older;
    if (t.newest == header) t.newest = older;
    RefreshAllocGuard(older);
    if (newer != nullptr) RefreshAllocGuard(newer);
    IndexRemove(t.index, key);

    if (ShouldLog(header->size)) {
        WriteLog("mem free  ");
        LogAllocRecord(header);
    }
    if (t.logTotals) LogAllocTotal();
    return FreeProcessHeap(header);
}

int DumpAllocations() {
    WriteLog("\n");
    WriteLogFormat("Alloc memory dump");
    for (AllocHeader* header = NewestOnWalk(); header != nullptr; header = OlderOnWalk(header)) LogAllocRecord(header);
    LogAllocTotal();
    WriteLog("\n");
    return -1;
}

int CheckAllAllocHeaders() {
    for (AllocHeader* header = NewestOnWalk(); header != nullptr; header = OlderOnWalk(header))
        if (CheckAllocHeader(header) != 0) return -1;
    return 0;
}

int CheckAllocHeader(AllocHeader* header) {
    if (std::memcmp(header, header->guard, kAllocRecordSize) == 0) return 0;
    WriteLog("以下のメモリ確保情報が破損しました");
    LogAllocRecord(header);
    return -1;
}

void RefreshAllocGuard(AllocHeader* header) { std::memcpy(header->guard, header, kAllocRecordSize); }

int LogAllocRecord(AllocHeader* header) {
    // A damaged record may lack its terminator or claim more bytes than the block has:
    // the name is read through a terminated copy, and the data shown is bounded by the
    // smaller of the record's and the guard's size.
    char file[16];
    std::memcpy(file, header->file, 15);
    file[15] = '\0';
    int32_t guardSize;
    std::memcpy(&guardSize, header->guard + offsetof(AllocHeader, size), sizeof guardSize);
    int shown = header->size < guardSize ? header->size : guardSize;
    if (shown < 0) shown = 0;
    if (shown > 16) shown = 16;

    char line[256];
    int length = FormatStringBounded(line, sizeof line, "\tsize:%d(%.3fkb)  file:%s  line:%d  ID:%d  data:<",
                                     header->size, header->size / 1024.0, file, header->line, header->id);
    if (length < 0) length = 0;
    const unsigned char* data = reinterpret_cast<const unsigned char*>(header) + kAllocHeaderSize;
    for (int i = 0; i < shown; i++) line[length++] = (data[i] < 0x20 || data[i] > 0x7F) ? '.' : static_cast<char>(data[i]);
    std::memcpy(line + length, "> [", 3);
    length += 3;
    static const char kHex[] = "0123456789abcdef";
    for (int i = 0; i < shown; i++) {
        line[length++] = kHex[data[i] >> 4];
        line[length++] = kHex[data[i] & 15];
        line[length++] = ' ';
    }
    // The last character written (the final blank, or the "[") becomes "]\n".
    std::memcpy(line + length - 1, "]\n", 3);
    return WriteLog(line);
}

int LogAllocTotal() {
    const AllocTrackerState& t = Tracker();
    return WriteLogFormat("\tTotal size:%d(%.3fkb)  Alloc num:%d", t.totalSize, t.totalSize / 1024.0, t.count);
}

void* AllocProcessHeap(int bytes) {
    if (bytes < 0) return nullptr;
    return HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(bytes));
}

int FreeProcessHeap(void* block) { return HeapFree(GetProcessHeap(), 0, block); }
