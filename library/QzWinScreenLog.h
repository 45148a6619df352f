// QzWinScreenLog.h: the on-screen log, a scrolling console drawn over the screen. Text
// added to it is broken into lines that fit the screen width in the log's own font (an
// edge font of 16 pixels); it keeps at most 80 lines of 254 bytes, and once the screen
// is full the oldest line scrolls away. The present draws it over each frame while it is
// visible. Its block lives in WindowSystemState. Main thread under the library lock.
#pragma once

int InitScreenLog();         // 0; -1 without a DirectDraw object or main window
int DeleteScreenLogFont();   // 0
int PrepareScreenLogFont();  // 0
int NewScreenLogLine();      // 0
int AddScreenLogChar(const char* text);  // bytes taken (1 or 2)
int AddScreenLogText(const char* text);  // 0
int ClearScreenLog();        // 0
int DrawScreenLog();         // 0
int IsScreenLogVisible();    // the visible flag
