// gdi.h: the GDI services the library uses. For now, the desktop's device context
// and its capabilities.
#pragma once

#include "platform/win32.h"

#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMCOLORS 24
#define VREFRESH 116

HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
int GetDeviceCaps(HDC dc, int index);
