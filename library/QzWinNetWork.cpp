// QzWinNetWork.cpp: the never-started network (see the header).
#include "QzWinNetWork.h"

#include "QzWinLog.h"

int InitializeHttpSystem() { return 0; }
int TerminateHttpSystem() { return 0; }
int TerminateNetWorkSystem() { return 0; }
int ProcessAllHttpDownloads() { return 0; }
int PumpNetWorkMessages(int) { return 0; }

LRESULT HandleSocketEvent(HWND, UINT, WPARAM, LPARAM) {
    // No connection exists, so no socket can be found.
    WriteLog("通信エラー No.1\n");
    return 0;
}
