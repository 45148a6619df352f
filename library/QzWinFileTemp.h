// QzWinFileTemp.h: new empty temporary files, for the players that need a real file
// (MIDI and movies). Callers hold the library lock.
#pragma once

#include <platform/win32.h>

// A new, empty file in the system's temporary folder whose name starts with "tmp", open
// for writing only; its full path goes to outPath (260 bytes) when given. Null when there
// is no temporary folder, no unique name or the file cannot be created (nothing copied).
HANDLE CreateTemporaryFile(char* outPath);
