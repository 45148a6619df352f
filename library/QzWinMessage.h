// QzWinMessage.h: the message pump, the message thread and the wait for an active
// window. Both threads run the pump only under the library lock.
#pragma once

#include <platform/win32.h>

// Dispatches the main thread's messages (at most six a call on an active window), keeps
// pumping while the window is inactive, then runs the upkeep tail. 0, or -1 once the quit
// flag is set.
int ProcessMessage();
// The message thread: pump and upkeep every 17 ms under the lock, until the quit flag.
DWORD WINAPI MessageThreadProc(LPVOID parameter);
// Pumps until the window is active again, then restores lost surfaces.
void WaitForWindowActive();
// Sets the quit flag and wakes the message thread if it waits for the lock, so the end
// of the window never waits out one of its 1000-ms slices.
void SetQuitFlag();
