// QzWinToolbar.h: the toolbar strip above the client area: a row of buttons cut from one
// bitmap (button width = bitmap width / button count). The window procedure marks a
// clicked button; nothing in the library adds buttons, and nothing in this system builds
// a toolbar. Main thread under the library lock.
#pragma once

// Null closes the toolbar (its buttons, window and bitmap) in either mode and refits the
// window: 0. A bitmap file builds the toolbar, or gives an existing one the new bitmap,
// in window mode only, and refits the window below it: 0; -1 in full screen, for a
// button count below 1, when the file cannot be read or the window cannot be made (each
// logged).
int BuildToolbar(const char* bitmapFile, int buttonCount);
// Deletes every button from the toolbar; count 0. 0, or -1 without a toolbar.
int ClearToolbarButtons();
// Index of the first button that is not a separator with that command id; -1 when none
// (also without a toolbar).
int FindToolbarButton(int commandId);
// Height of the toolbar window in pixels, 0 without a toolbar.
int MeasureToolbarHeight();
