// QzGraphicsHandle.h: the handle rule shared by every table of library objects. A
// handle is one positive 32-bit integer: the slot in bits 0-15, an 11-bit check number
// in bits 16-26, the kind in bits 27-30, bit 31 clear. Each kind keeps its own check
// counter (0..2047, then 0 again); a new record takes the counter's value, stored in
// the record (its first field unless the table says otherwise). A new record takes the
// table's high-water slot (one past the highest in use) while that lies inside the
// table, else the lowest free slot; some kinds always take the lowest free slot.
//
// Tables are owned by the subsystem of their kind; this file only keeps their rules.
// Main thread, under the library lock.
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
