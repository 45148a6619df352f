// QzWinProc.h: the window procedure of the class "QzLib", which turns window events into
// library state, and the painter of the background picture while the window is
// inactive. Main thread, inside message dispatching under the library lock.
#pragma once

#include <platform/win32.h>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Shows the background picture over the screen (the back screen's frame is kept). 0, also
// during the end sequence; -1 without a picture or when its graphic cannot be made.
// Defined with the picture, in QzWinExtras.cpp.
int DrawInactiveBackground(HDC dc);
