// dsound/module.h: "DSOUND.DLL" for LoadLibraryA and GetProcAddress (window/desktop.cpp):
// the one module of the platform, which exports DirectSoundEnumerateA. Any thread.
#pragma once

#include "platform/win32.h"

namespace dsound {

// The module for "DSOUND.DLL" in any case; NULL for any other name, or when a test
// made the load fail ("LoadLibraryA:DSOUND.DLL").
HMODULE LoadSoundModule(LPCSTR name);
bool IsSoundModule(HMODULE module);
// FreeLibrary of the module: one load fewer.
void ReleaseSoundModule();
// "DirectSoundEnumerateA", or NULL (ERROR_PROC_NOT_FOUND) for other names or when a
// test made the look-up fail ("GetProcAddress:DirectSoundEnumerateA").
FARPROC FindSoundExport(LPCSTR name);

}  // namespace dsound
