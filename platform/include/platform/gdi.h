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
#define BI_RLE8 1
#define BI_RLE4 2
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
// X8R8G8B8); an 8-bit section keeps the 256-entry colour table after the header. A
// negative height puts the top row first. *bits receives the pixels, zeroed, rows padded
// to 4 bytes. NULL (and NULL bits) for a width below 1, a height of 0, another bit count
// or compression, or more than 2^31 bytes.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
int GetObjectA(HGDIOBJ object, int size, LPVOID out);  // BITMAP of a DIB section; bytes written
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
// Whole-DIB transfers into the bitmap selected in dc, converted to its format (see
// gdi/dibconvert.h for what is read). SetDIBitsToDevice takes only
// (dc, 0, 0, w, |h|, 0, 0, 0, |h|, bits, info, DIB_RGB_COLORS); StretchDIBits only the
// left-to-right mirror (dc, 0, 0, w, +-|h|, w - 1, 0, -w, |h|, bits, info,
// DIB_RGB_COLORS, SRCCOPY), rows upright. Both return the lines copied, 0 for anything
// else, compressed sources included.
int SetDIBitsToDevice(HDC dc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);

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

// ---- fonts and glyphs (platform/src/gdi/fonts.cpp, glyphs.cpp) ------------------------------
// Fonts are faces found through fontconfig and rendered by FreeType, with fixed hinting
// and rendering settings so that one font file gives the same bits on every run. A
// face name is CP932; an empty one takes the character set's language (SHIFTJIS_CHARSET
// Japanese, HANGUL_CHARSET Korean, DEFAULT_CHARSET the ANSI code page's). Monospaced
// faces are preferred. A positive height is the cell height (tmAscent + tmDescent), a
// negative one the em height. A font is selected into a memory context with SelectObject
// (which answers the previous font) and freed by DeleteObject once no context holds it.
// Character codes of GetGlyphOutlineA are a byte, or lead x 256 + trail, in the font's
// code page: 932 for Shift-JIS, 949 for Hangul, the ANSI code page for the rest. Main
// thread.
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SHIFTJIS_CHARSET 128
#define HANGUL_CHARSET 129

#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FW_NORMAL 400
#define FW_BOLD 700

// Null only under fault injection: a face that does not exist takes fontconfig's best
// match for the language. A weight of 600 or more takes the face's bold style, or
// emboldens the outlines of a face without one. Width, escapement, orientation, italic,
// underline, strike-out, precisions and quality are not used.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);

typedef struct tagTEXTMETRICA {
    LONG tmHeight;           // tmAscent + tmDescent
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;  // tmHeight - the em height
    LONG tmExternalLeading;  // 0
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;     // the widest advance at this size
    LONG tmWeight;           // as asked
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;   // as asked
    BYTE tmCharSet;          // as asked
} TEXTMETRICA, *LPTEXTMETRICA;

// The metrics of the font selected into the context (a context without one: a default
// font of height 16 in DEFAULT_CHARSET). FALSE for a null context or output.
BOOL GetTextMetricsA(HDC dc, LPTEXTMETRICA metrics);

typedef struct _FIXED {
    WORD fract;
    SHORT value;
} FIXED;

typedef struct _MAT2 {
    FIXED eM11;
    FIXED eM12;
    FIXED eM21;
    FIXED eM22;
} MAT2, *LPMAT2;

typedef struct _GLYPHMETRICS {
    UINT gmBlackBoxX;        // the ink box; 1 x 1 for a glyph without ink
    UINT gmBlackBoxY;
    POINT gmptGlyphOrigin;   // the ink's left edge from the pen, its top edge above the baseline
    SHORT gmCellIncX;        // the advance in whole pixels
    SHORT gmCellIncY;        // 0
} GLYPHMETRICS, *LPGLYPHMETRICS;

#define GGO_METRICS 0
#define GGO_BITMAP 1        // 1 bit per pixel, the leftmost pixel in the top bit
#define GGO_GRAY4_BITMAP 5  // a byte per pixel, levels 0..16
#define GDI_ERROR 0xFFFFFFFFu

// The glyph of a character code of the selected font. A code that does not convert, or
// a character the face lacks, gives the face's missing glyph. GGO_METRICS fills the
// metrics and returns 0. For the bitmaps, size 0 or no buffer returns the bytes needed;
// otherwise rows are written top first, each padded to a multiple of 4 bytes, and the
// bytes written are returned; a glyph without ink needs 0 bytes. GDI_ERROR: another
// format, no metrics, a transform other than identity, a buffer too small, or an
// injected fault.
DWORD GetGlyphOutlineA(HDC dc, UINT code, UINT format, LPGLYPHMETRICS metrics, DWORD size, LPVOID buffer,
                       const MAT2* transform);
