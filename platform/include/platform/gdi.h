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

// ---- windows: device contexts, painting, stock objects ---------------------------------
// GetDC(window) gives the window's device context; ReleaseDC takes it back. Painting
// validates the window; nothing is drawn by GDI here (presenting draws the frames).
#define WHITE_BRUSH 0
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
HGDIOBJ GetStockObject(int object);  // BLACK_BRUSH and NULL_BRUSH; NULL for others

typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint);  // validates; rcPaint is the client area
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);  // 1; draws nothing yet

// ---- bitmaps, memory device contexts and copies (platform/src/gdi/bitmaps.cpp) --------
// Device contexts over memory: a memory context holds the bitmap selected into it; a
// DirectDraw surface's context (IDirectDrawSurface7::GetDC) covers the surface's pixels.
// BitBlt copies between contexts of the same pixel format, clipped to both; anything
// else returns FALSE. Main thread.
typedef struct tagPALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
} PALETTEENTRY, *LPPALETTEENTRY;

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

#define BI_RGB 0
#define BI_BITFIELDS 3
#define DIB_RGB_COLORS 0

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // positive: bottom-up rows; negative: top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER, *LPBITMAPINFOHEADER;
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];  // palette (8 bits) or the three BI_BITFIELDS masks
} BITMAPINFO, *LPBITMAPINFO;

typedef struct tagBITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;  // row length, rounded up to 4 bytes
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
} BITMAP, *LPBITMAP;

#define SRCCOPY 0x00CC0020u

HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);  // a bitmap into a memory context; the previous one
BOOL DeleteObject(HGDIOBJ object);
BOOL GdiFlush();
// 8, 16, 24 or 32 bits; 16 and 32 may carry BI_BITFIELDS masks (default X1R5G5B5 and
// X8R8G8B8). *bits receives the pixels, zeroed, rows padded to 4 bytes.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
int GetObjectA(HGDIOBJ object, int size, LPVOID out);  // BITMAP of a DIB section; bytes written
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);

// ---- regions (platform/src/gdi/regions.cpp) -------------------------------------------------
// A region is a set of pixels kept as rectangles; DeleteObject frees it. SetWindowRgn
// keeps a copy, so the caller may delete its own afterwards. Any thread.
#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3

#define RGN_AND 1
#define RGN_OR 2
#define RGN_XOR 3
#define RGN_DIFF 4
#define RGN_COPY 5

HRGN CreateRectRgn(int left, int top, int right, int bottom);
// RGN_OR and RGN_COPY; the destination may be one of the sources. The kind of the
// result, or ERROR (another mode, or a handle that names no region).
int CombineRgn(HRGN destination, HRGN source1, HRGN source2, int mode);
