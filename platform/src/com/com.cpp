// com/com.cpp: per-thread COM initialisation and CoCreateInstance over the class table.
// Any thread; each thread counts its own initialisations.
#include <mutex>
#include <vector>

#include "com/factory.h"
#include "kernel/diag.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

thread_local int t_initialised = 0;

std::mutex g_classLock;
std::vector<com::ClassEntry> g_registered;

}  // namespace

namespace com {

void RegisterClass(REFCLSID classId, Creator create) {
    std::lock_guard<std::mutex> hold(g_classLock);
    for (ClassEntry& entry : g_registered)
        if (entry.classId == classId) {
            entry.create = create;
            return;
        }
    g_registered.push_back({classId, create});
}

Creator FindClass(REFCLSID classId) {
    {
        std::lock_guard<std::mutex> hold(g_classLock);
        for (const ClassEntry& entry : g_registered)
            if (entry.classId == classId) return entry.create;
    }
    for (const ClassEntry* entry = kClasses; entry->create != nullptr; ++entry)
        if (entry->classId == classId) return entry->create;
    return nullptr;
}

}  // namespace com

HRESULT CoInitialize(LPVOID) {
    if (kernel::ConsumeFault("CoInitialize")) return E_FAIL;
    return t_initialised++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (t_initialised > 0) --t_initialised;
}

HRESULT CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD, REFIID iid, LPVOID* object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (t_initialised == 0) return CO_E_NOTINITIALIZED;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    com::Creator create = com::FindClass(classId);
    if (create == nullptr) return REGDB_E_CLASSNOTREG;
    return create(iid, object);
}
