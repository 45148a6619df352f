// QzWinProc.h: the window procedure of the class "QzLib", which turns window events into
// library state, and the painter of the background picture while the window is
// inactive. Main thread, inside message dispatching under the library lock.
#pragma once

#include <platform/win32.h>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// 0 during the end sequence; -1 without a background picture, which nothing in this
// system sets.
int DrawInactiveBackground(HDC dc);
