// QzWinExtrasStandIns.cpp: stand-ins for the on-screen log and the window extras.
#include "QzWinExtrasStandIns.h"

#include "QzStandIn.h"
#include "QzWinMemory.h"
#include "QzWinState.h"

int InitScreenLog() { return StandInCall("InitScreenLog", 0); }
int DeleteScreenLogFont() { return StandInCall("DeleteScreenLogFont", 0); }

int EnumMenuItems(HMENU) { return StandInCall("EnumMenuItems", 0); }
int SetMenuEnabled(int) { return StandInCall("SetMenuEnabled", 0); }
int UpdateFullScreenMenu() { return StandInCall("UpdateFullScreenMenu", 0); }
int LookUpMenuItemName(int, char*) { return StandInCall("LookUpMenuItemName", -1); }
int BuildToolbar(const char*, int) { return StandInCall("BuildToolbar", 0); }
int FindToolbarButton(int) { return StandInCall("FindToolbarButton", -1); }
int MeasureToolbarHeight() { return StandInCall("MeasureToolbarHeight", 0); }
int SetWindowRegionFromFile(const char*) { return StandInCall("SetWindowRegionFromFile", 0); }

int FreeDroppedFileNames() {
    WindowSystemState& ws = g_windowSystem;
    for (int i = 0; i < ws.droppedFileCount; i++) {
        FreeMemory(ws.droppedFiles[i]);
        ws.droppedFiles[i] = nullptr;
    }
    ws.droppedFileCount = 0;
    return StandInCall("FreeDroppedFileNames", 0);
}

int UpdateCursorVisibility(int flag) {
    WindowSystemState& ws = g_windowSystem;
    ws.mouseVisible = flag;
    int shown = flag == 1 ? 1 : 0;
    if (shown != ws.cursorShown) {
        if (shown) {
            while (ShowCursor(TRUE) < 0) {
            }
        } else {
            while (ShowCursor(FALSE) >= 0) {
            }
        }
        ws.cursorShown = shown;
    }
    return StandInCall("UpdateCursorVisibility", 0);
}
