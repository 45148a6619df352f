// QzGraphicsHandle.cpp: the handle rule, written once for every table of records: the
// encoding, the check counter, the validity test and the slot choice. Pointer tables and
// inline tables differ only in how a slot holds its record, which the two small access
// records below answer.
#include "QzGraphicsHandle.h"

#include <cstring>

namespace {

const HandleKindRule kKindRules[12] = {
    {0, false, false},
    {32768, false, false},  // 1 graphic
    {4096, false, false},   // 2 sound
    {100, true, false},     // 3 movie
    {40, true, false},      // 4 font
    {32768, false, false},  // 5 2D piece
    {65536, false, false},  // 6 texture piece
    {65536, false, false},  // 7 pixel store
    {512, false, true},     // 8 memory block
    {4096, true, false},    // 9 network connection
    {20, false, true},      // 10 text input
    {256, false, false},    // 11 music
};

int32_t ReadInt32(const void* record, size_t offset) {
    int32_t value;
    std::memcpy(&value, (const uint8_t*)record + offset, sizeof value);
    return value;
}

void WriteInt32(void* record, size_t offset, int32_t value) {
    std::memcpy((uint8_t*)record + offset, &value, sizeof value);
}

// How a slot holds its record.
struct PointerSlots {
    const HandleTable* t;
    void* At(int slot) const { return t->records[slot]; }
};

struct InlineSlots {
    const InlineHandleTable* t;
    void* Entry(int slot) const { return (uint8_t*)t->entries + (size_t)slot * t->entrySize; }
    void* At(int slot) const {
        void* entry = Entry(slot);
        return ReadInt32(entry, t->inUseOffset) ? entry : nullptr;
    }
};

template <typename Table, typename Slots>
int ChooseSlot(const Table* table, Slots slots) {
    if (table->count >= table->size)
        return -1;
    if (!table->lowestFree && table->highWater < table->size)
        return table->highWater;
    for (int i = 0; i < table->size; ++i)
        if (slots.At(i) == nullptr)
            return i;
    return -1;
}

// Takes the counter's value as the check number, then advances the counter (2047 wraps
// to 0), counts the record and raises the high-water index.
template <typename Table>
int32_t TakeSlot(Table* table, int slot, void* record) {
    int32_t check = table->checkCounter;
    WriteInt32(record, table->checkOffset, check);
    table->checkCounter = check + 1 >= kHandleCheckLimit ? 0 : check + 1;
    ++table->count;
    if (slot >= table->highWater)
        table->highWater = slot + 1;
    return MakeHandle(table->kind, slot, check);
}

template <typename Table, typename Slots>
void* RecordOf(const Table* table, Slots slots, int32_t handle) {
    int slot = GetHandleSlotIfValid(handle, table->kind, table->size);
    if (slot < 0)
        return nullptr;
    void* record = slots.At(slot);
    if (record == nullptr || ReadInt32(record, table->checkOffset) != GetHandleCheck(handle))
        return nullptr;
    return record;
}

// Uncounts a freed slot and lowers the high-water index past the free slots below it.
template <typename Table, typename Slots>
void Uncount(Table* table, Slots slots, int slot) {
    --table->count;
    if (slot + 1 == table->highWater) {
        int top = slot;
        while (top > 0 && slots.At(top - 1) == nullptr)
            --top;
        table->highWater = table->count == 0 ? 0 : top;
    }
}

}  // namespace

const HandleKindRule* GetHandleKindRule(int kind) {
    return kind >= 1 && kind <= 11 ? &kKindRules[kind] : nullptr;
}

HandleTable MakeHandleTable(int kind, void** records, size_t checkOffset) {
    const HandleKindRule* rule = GetHandleKindRule(kind);
    return HandleTable{kind, rule ? rule->size : 0, records, 0, 0, 0, rule && rule->lowestFree, checkOffset};
}

int GetHandleSlotIfValid(int32_t handle, int kind, int size) {
    if (handle < 0 || GetHandleKind(handle) != kind)
        return -1;
    int slot = GetHandleSlot(handle);
    return slot < size ? slot : -1;
}

// ---- pointer tables ------------------------------------------------------------------------

void ResetHandleTable(HandleTable* table) {
    for (int i = 0; i < table->size; ++i)
        table->records[i] = nullptr;
    table->count = 0;
    table->highWater = 0;
    table->checkCounter = 0;
}

int ChooseHandleSlot(const HandleTable* table) {
    return ChooseSlot(table, PointerSlots{table});
}

int32_t TakeHandleSlot(HandleTable* table, int slot, void* record) {
    table->records[slot] = record;
    return TakeSlot(table, slot, record);
}

void* GetHandleRecord(const HandleTable* table, int32_t handle) {
    return RecordOf(table, PointerSlots{table}, handle);
}

void ReleaseHandleSlot(HandleTable* table, int slot) {
    if (slot < 0 || slot >= table->size || table->records[slot] == nullptr)
        return;
    table->records[slot] = nullptr;
    Uncount(table, PointerSlots{table}, slot);
}

int32_t GetSlotHandle(const HandleTable* table, int slot) {
    const void* record = table->records[slot];
    return record ? MakeHandle(table->kind, slot, ReadInt32(record, table->checkOffset)) : -1;
}

// ---- inline tables --------------------------------------------------------------------------

InlineHandleTable MakeInlineHandleTable(int kind, void* entries, size_t entrySize, size_t inUseOffset,
                                        size_t checkOffset) {
    const HandleKindRule* rule = GetHandleKindRule(kind);
    return InlineHandleTable{kind,        rule ? rule->size : 0, entries, entrySize, inUseOffset,
                             checkOffset, 0, 0, 0, rule && rule->lowestFree};
}

void ResetHandleTable(InlineHandleTable* table) {
    std::memset(table->entries, 0, (size_t)table->size * table->entrySize);
    table->count = 0;
    table->highWater = 0;
    table->checkCounter = 0;
}

int ChooseHandleSlot(const InlineHandleTable* table) {
    return ChooseSlot(table, InlineSlots{table});
}

int32_t TakeHandleSlot(InlineHandleTable* table, int slot) {
    void* entry = InlineSlots{table}.Entry(slot);
    WriteInt32(entry, table->inUseOffset, 1);
    return TakeSlot(table, slot, entry);
}

void* GetHandleRecord(const InlineHandleTable* table, int32_t handle) {
    return RecordOf(table, InlineSlots{table}, handle);
}

void ReleaseHandleSlot(InlineHandleTable* table, int slot) {
    if (slot < 0 || slot >= table->size || InlineSlots{table}.At(slot) == nullptr)
        return;
    std::memset(InlineSlots{table}.Entry(slot), 0, table->entrySize);
    Uncount(table, InlineSlots{table}, slot);
}

int32_t GetSlotHandle(const InlineHandleTable* table, int slot) {
    const void* entry = InlineSlots{table}.At(slot);
    return entry ? MakeHandle(table->kind, slot, ReadInt32(entry, table->checkOffset)) : -1;
}
