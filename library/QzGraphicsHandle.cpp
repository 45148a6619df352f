// QzGraphicsHandle.cpp: the handle rule, written once for every table of records.
#include "QzGraphicsHandle.h"

#include <cstring>

namespace {

int32_t ReadCheck(const HandleTable* table, const void* record) {
    int32_t check;
    std::memcpy(&check, (const uint8_t*)record + table->checkOffset, sizeof check);
    return check;
}

}  // namespace

void ResetHandleTable(HandleTable* table) {
    for (int i = 0; i < table->size; ++i)
        table->records[i] = nullptr;
    table->count = 0;
    table->highWater = 0;
    table->checkCounter = 0;
}

int ChooseHandleSlot(const HandleTable* table) {
    if (table->count >= table->size)
        return -1;
    if (!table->lowestFree && table->highWater < table->size)
        return table->highWater;
    for (int i = 0; i < table->size; ++i)
        if (table->records[i] == nullptr)
            return i;
    return -1;
}

int32_t TakeHandleSlot(HandleTable* table, int slot, void* record) {
    int32_t check = table->checkCounter;
    std::memcpy((uint8_t*)record + table->checkOffset, &check, sizeof check);
    table->checkCounter = check + 1 >= kHandleCheckLimit ? 0 : check + 1;
    table->records[slot] = record;
    ++table->count;
    if (slot >= table->highWater)
        table->highWater = slot + 1;
    return MakeHandle(table->kind, slot, check);
}

void* GetHandleRecord(const HandleTable* table, int32_t handle) {
    if (handle < 0 || GetHandleKind(handle) != table->kind)
        return nullptr;
    int slot = GetHandleSlot(handle);
    if (slot >= table->size)
        return nullptr;
    void* record = table->records[slot];
    if (record == nullptr || ReadCheck(table, record) != GetHandleCheck(handle))
        return nullptr;
    return record;
}

void ReleaseHandleSlot(HandleTable* table, int slot) {
    if (slot < 0 || slot >= table->size || table->records[slot] == nullptr)
        return;
    table->records[slot] = nullptr;
    --table->count;
    if (slot + 1 == table->highWater) {
        int top = slot;
        while (top > 0 && table->records[top - 1] == nullptr)
            --top;
        table->highWater = table->count == 0 ? 0 : top;
    }
}

int32_t GetSlotHandle(const HandleTable* table, int slot) {
    const void* record = table->records[slot];
    return record ? MakeHandle(table->kind, slot, ReadCheck(table, record)) : -1;
}
