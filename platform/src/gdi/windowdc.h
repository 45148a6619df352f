// gdi/windowdc.h: device contexts of windows. A window's context reports what the
// desktop's does (the window shows on the desktop); nothing is drawn through it yet.
#pragma once

#include "platform/win32.h"

namespace gdi {

// A new context for a live window, or null.
HDC OpenWindowDc(HWND window);
// True when the context was a window's; it is no longer valid afterwards.
bool CloseWindowDc(HDC dc);
// True for an open window context.
bool IsWindowDc(HDC dc);

}  // namespace gdi
