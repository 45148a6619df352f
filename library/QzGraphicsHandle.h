// QzGraphicsHandle.h: the handle rule shared by every table of library objects. A
// handle is one positive 32-bit integer: the slot in bits 0-15, an 11-bit check number
// in bits 16-26, the kind in bits 27-30, bit 31 clear. Each kind keeps its own check
// counter (0..2047, then 0 again); a new record takes the counter's value, stored in
// the record (its first field unless the table says otherwise). A new record takes the
// table's high-water slot (one past the highest in use) while that lies inside the
// table, else the lowest free slot; some kinds always take the lowest free slot.
//
// The rule is written once here for every kind: tables of record pointers (null: free)
// and tables of inline entries with an in-use flag (memory blocks, text inputs) share it.
// Each kind supplies where its records keep the check number (the network record keeps
// it after its flag fields). Tables are owned by the subsystem of their kind; this file
// only keeps their rules. Main thread, under the library lock.
#pragma once

#include <cstddef>
#include <cstdint>

enum HandleKind {
    kHandleKindGraph = 1,         // GraphData, 32768
    kHandleKindSound = 2,         // SoundData, 4096
    kHandleKindMovie = 3,         // MovieData, 100
    kHandleKindFont = 4,          // FontData, 40
    kHandleKindSurface2D = 5,     // Surface2D, 32768
    kHandleKindSurface3D = 6,     // Surface3DData, 65536
    kHandleKindSurfaceData = 7,   // SurfaceData, 65536
    kHandleKindMemBlock = 8,      // MemBlockData, 512
    kHandleKindNetWork = 9,       // NetWorkData, 4096
    kHandleKindTextInput = 10,    // TextInputData, 20
    kHandleKindMusic = 11,        // MusicData, 256
};

constexpr int kHandleCheckLimit = 2048;  // check numbers run 0..2047

// What each kind's table is: its slots, whether a new record always takes the lowest
// free slot (fonts, movies, network connections), and whether its records are inline
// entries with an in-use flag (memory blocks, text inputs).
struct HandleKindRule {
    int size;
    bool lowestFree;
    bool inlineRecords;
};
// Kinds 1-11; null for any other value.
const HandleKindRule* GetHandleKindRule(int kind);

constexpr int32_t MakeHandle(int kind, int slot, int check) {
    return (int32_t)((uint32_t)kind << 27 | (uint32_t)(check & 0x7FF) << 16 | (uint32_t)(slot & 0xFFFF));
}
constexpr int GetHandleSlot(int32_t handle) {
    return (int)((uint32_t)handle & 0xFFFF);
}
constexpr int GetHandleCheck(int32_t handle) {
    return (int)((uint32_t)handle >> 16 & 0x7FF);
}
constexpr int GetHandleKind(int32_t handle) {
    return (int)((uint32_t)handle >> 27 & 0xF);
}

// A table of record pointers (null: free slot).
struct HandleTable {
    int kind;
    int size;             // slots
    void** records;       // size entries, owned by the table's subsystem
    int count;            // records in use
    int highWater;        // one past the highest slot in use; 0 when empty
    int checkCounter;     // the next check number
    bool lowestFree;      // always take the lowest free slot (fonts, movies, network)
    size_t checkOffset;   // where the record keeps its int32 check number (0: first field)
};

// A pointer table of a kind, sized and ruled by GetHandleKindRule; records has the
// kind's size entries. checkOffset: where the kind's records keep their int32 check number.
HandleTable MakeHandleTable(int kind, void** records, size_t checkOffset = 0);

// The validity test's first half, the same for every kind: bit 31 clear, the kind bits
// equal kind, the slot below size. The slot, or -1.
int GetHandleSlotIfValid(int32_t handle, int kind, int size);

// Empties the table's bookkeeping and restarts its check counter (the records are the
// owner's to free first).
void ResetHandleTable(HandleTable* table);

// The slot a new record would take, or -1 when the table is full.
int ChooseHandleSlot(const HandleTable* table);

// Puts record into slot (from ChooseHandleSlot): gives it the next check number,
// counts it and raises the high-water index. Returns the handle.
int32_t TakeHandleSlot(HandleTable* table, int slot, void* record);

// The record a handle names, or null when the handle is not valid for this table.
void* GetHandleRecord(const HandleTable* table, int32_t handle);

// Frees a slot: uncounts it and lowers the high-water index past free slots.
void ReleaseHandleSlot(HandleTable* table, int slot);

// The handle of the record in slot, rebuilt from its stored check number.
int32_t GetSlotHandle(const HandleTable* table, int slot);

// ---- tables of inline entries ----------------------------------------------------------
// entrySize-byte entries, each with an int32 in-use flag and an int32 check number at the
// given offsets. A free entry is all zero after ReleaseHandleSlot.
struct InlineHandleTable {
    int kind;
    int size;
    void* entries;
    size_t entrySize;
    size_t inUseOffset;
    size_t checkOffset;
    int count;
    int highWater;
    int checkCounter;
    bool lowestFree;
};

// An inline table of a kind, ruled by GetHandleKindRule.
InlineHandleTable MakeInlineHandleTable(int kind, void* entries, size_t entrySize, size_t inUseOffset,
                                        size_t checkOffset);
void ResetHandleTable(InlineHandleTable* table);  // clears every entry too
int ChooseHandleSlot(const InlineHandleTable* table);
// Marks the entry in use with the next check number; the handle.
int32_t TakeHandleSlot(InlineHandleTable* table, int slot);
void* GetHandleRecord(const InlineHandleTable* table, int32_t handle);
// Clears the whole entry and uncounts it.
void ReleaseHandleSlot(InlineHandleTable* table, int slot);
int32_t GetSlotHandle(const InlineHandleTable* table, int slot);
