// dsound/module.cpp: the "DSOUND.DLL" module (see module.h).
#include "dsound/module.h"

#include <cstring>
#include <strings.h>

#include "kernel/diag.h"
#include "platform/dsound.h"

namespace dsound {
namespace {

// Any distinct non-null value will do: the handle is only compared.
int g_moduleTag;

}  // namespace

HMODULE LoadSoundModule(LPCSTR name) {
    if (name == nullptr || strcasecmp(name, "DSOUND.DLL") != 0) return nullptr;
    if (kernel::ConsumeFault("LoadLibraryA:DSOUND.DLL")) return nullptr;
    return reinterpret_cast<HMODULE>(&g_moduleTag);
}

bool IsSoundModule(HMODULE module) { return module == reinterpret_cast<HMODULE>(&g_moduleTag); }

FARPROC FindSoundExport(LPCSTR name) {
    if (name == nullptr || std::strcmp(name, "DirectSoundEnumerateA") != 0 ||
        kernel::ConsumeFault("GetProcAddress:DirectSoundEnumerateA"))
        return kernel::Fail(ERROR_PROC_NOT_FOUND, FARPROC(nullptr));
    // Through void (*)(), the type that converts to any other function type quietly.
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&DirectSoundEnumerateA));
}

}  // namespace dsound
