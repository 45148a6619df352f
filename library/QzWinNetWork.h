// QzWinNetWork.h: the network and HTTP download services as start-up, shutdown, the
// message pump and the window procedure call them. The network itself (sockets,
// connections, downloads) is not built yet: this is the network that was never
// started, which the callers meet when the game opens no connection.
// Main thread, or the message thread, under the library lock.
#pragma once

#include <platform/win32.h>

int InitializeHttpSystem();     // 0: the download table is clear
int TerminateHttpSystem();      // 0: no download is open
int TerminateNetWorkSystem();   // 0: the network was never started
int ProcessAllHttpDownloads();  // 0: nothing to step
int PumpNetWorkMessages(int closeLost);  // 0: no network window
// A socket notification (WM_USER + 0x105) for a socket no connection owns: logged, 0.
LRESULT HandleSocketEvent(HWND window, UINT message, WPARAM socket, LPARAM event);
