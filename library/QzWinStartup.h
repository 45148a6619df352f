// QzWinStartup.h: the library's start-up and end sequence, COM, and the push of a window
// to the front. Main thread, under the library lock. This header includes no platform
// header, so the game may include it.
#pragma once

// Brings the library up in its fixed order: 0, or -1 (a 24-bit desktop in window mode or
// a requested 24-bit screen, a failing step, or a library that is already up).
int InitializeLibrary();
// Ends the library, whatever part of it is up. Always 0.
int TerminateLibrary();

int InitializeCom();  // 0, or -1 (already initialised, or CoInitialize failed)
int TerminateCom();   // 0, or -1 when COM is not initialised

// Makes the window the foreground window past the system's foreground lock; with
// makeTopMost 1 the main window then stays on top.
void ForceWindowForeground(struct HWND__* window, int makeTopMost);
