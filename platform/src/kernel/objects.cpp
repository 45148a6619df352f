// kernel/objects.cpp: the kernel handle table. Any thread; guarded by g_tableLock.
#include "kernel/objects.h"

#include <mutex>
#include <unordered_map>

#include "kernel/diag.h"

namespace kernel {
namespace {

std::mutex g_tableLock;
std::unordered_map<uintptr_t, std::shared_ptr<Object>> g_objects;
// Handle values step by 4 from 0x1000 and never come back, so a stale handle
// cannot name a newer object.
uintptr_t g_nextValue = 0x1000;

}  // namespace

HANDLE AddObject(std::shared_ptr<Object> object) {
    std::lock_guard<std::mutex> hold(g_tableLock);
    uintptr_t value = g_nextValue;
    g_nextValue += 4;
    g_objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<Object> FindObject(HANDLE handle) {
    std::lock_guard<std::mutex> hold(g_tableLock);
    auto it = g_objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == g_objects.end() ? nullptr : it->second;
}

bool RemoveObject(HANDLE handle) {
    std::shared_ptr<Object> object;  // released outside the table lock
    std::lock_guard<std::mutex> hold(g_tableLock);
    auto it = g_objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == g_objects.end()) return false;
    object = std::move(it->second);
    g_objects.erase(it);
    return true;
}

}  // namespace kernel

BOOL CloseHandle(HANDLE object) {
    if (kernel::ConsumeFault("CloseHandle")) return kernel::Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!kernel::RemoveObject(object)) return kernel::Fail(ERROR_INVALID_HANDLE, FALSE);
    return TRUE;
}
