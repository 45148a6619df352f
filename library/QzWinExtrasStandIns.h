// QzWinExtrasStandIns.h: stand-ins for the on-screen log and for the window extras
// (menu, toolbar, window region, dropped files, cursor), until those parts exist. Each
// keeps its part's name and signature and reports to QzStandIn.h. None of the extras is
// switched on in this system, so the least their parts allow is to do nothing; the two
// that keep state the window system relies on (the dropped names and the cursor) do
// their whole job. Delete a declaration here when its part lands.
#pragma once

#include <platform/win32.h>

// ---- on-screen log ------------------------------------------------------------------------
int InitScreenLog();        // 0
int DeleteScreenLogFont();  // 0

// ---- menu, toolbar, region ------------------------------------------------------------------
int EnumMenuItems(HMENU menu);           // 0
int SetMenuEnabled(int flag);            // 0
int UpdateFullScreenMenu();              // 0
int LookUpMenuItemName(int id, char* out);  // -1: no items
int BuildToolbar(const char* bitmapFile, int buttonCount);  // 0
int FindToolbarButton(int commandId);    // -1: no toolbar
int MeasureToolbarHeight();              // 0: no toolbar
int SetWindowRegionFromFile(const char* bitmapFile);  // 0

// ---- dropped files and the cursor (whole) ------------------------------------------------------
// Frees every stored dropped-file name; count 0. 0.
int FreeDroppedFileNames();
// Mouse-visible setting = flag; the cursor shows when the flag is 1 (no menu is ever
// shown here): ShowCursor is called until the display count agrees. 0.
int UpdateCursorVisibility(int flag);
