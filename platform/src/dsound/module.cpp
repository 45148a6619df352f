// dsound/module.cpp: the "DSOUND.DLL" module (see module.h).
#include "dsound/module.h"

#include <atomic>
#include <cstring>
#include <strings.h>

#include "kernel/diag.h"
#include "platform/dsound.h"
#include "platform/testing.h"

namespace dsound {
namespace {

// Any distinct non-null value will do: the handle is only compared.
int g_moduleTag;
// Loads not yet freed, as the system's reference count (for tests).
std::atomic<int> g_references{0};

}  // namespace

HMODULE LoadSoundModule(LPCSTR name) {
    if (name == nullptr || strcasecmp(name, "DSOUND.DLL") != 0) return nullptr;
    if (kernel::ConsumeFault("LoadLibraryA:DSOUND.DLL")) return nullptr;
    g_references.fetch_add(1);
    return reinterpret_cast<HMODULE>(&g_moduleTag);
}

bool IsSoundModule(HMODULE module) { return module == reinterpret_cast<HMODULE>(&g_moduleTag); }

void ReleaseSoundModule() { g_references.fetch_sub(1); }

FARPROC FindSoundExport(LPCSTR name) {
    if (name == nullptr || std::strcmp(name, "DirectSoundEnumerateA") != 0 ||
        kernel::ConsumeFault("GetProcAddress:DirectSoundEnumerateA"))
        return kernel::Fail(ERROR_PROC_NOT_FOUND, FARPROC(nullptr));
    // Through void (*)(), the type that converts to any other function type quietly.
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&DirectSoundEnumerateA));
}

}  // namespace dsound

namespace ptest {

int GetLoadedModuleCount() { return dsound::g_references.load(); }

}  // namespace ptest
