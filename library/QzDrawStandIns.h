// QzDrawStandIns.h: stand-ins for the parts the DirectDraw screen and the 2D pieces call
// that are not built yet: the on-screen log's drawing, fonts, the window menu, the mask
// screen, and the DIB conversions of the image front end. Each keeps its part's name and
// signature, does the least that part allows and reports to QzStandIn.h. Delete a
// declaration here when its part lands.
#pragma once

#include <cstdint>

#include "QzDrawMemImg.h"
#include "QzGraphicsImage.h"
#include "platform/ddraw.h"
#include "platform/gdi.h"

// ---- on-screen log, fonts, menu ---------------------------------------------------------------
int DrawScreenLog();           // 0
int IsScreenLogVisible();      // 0
int SetStandardFontSize(const char* faceName, int size, int thickness);  // 0
int IsMenuEnabled();           // 0
// The default font's face, size and thickness when a default font is live; -1: none.
int GetDefaultFontSettings(char* faceName, int faceSize, int* size, int* thickness);

// ---- the mask screen ----------------------------------------------------------------------------
IDirectDrawSurface7* GetMaskWorkSurface();  // null: no mask screen
MEMIMG* GetMaskMEMIMG();                    // null
int SaveMaskBackground(int x1, int y1, int x2, int y2, GraphImage* targetImage, IDirectDrawSurface7* surface);  // 0
int ApplyMaskAfterDraw(int x1, int y1, int x2, int y2, GraphImage* targetImage, IDirectDrawSurface7* surface);  // 0

// ---- DIB conversions ------------------------------------------------------------------------------
// -1: not built; the 8-bit screen path that uses them reports the failure.
int ConvertGraphImageToDib(const GraphImage* image, BITMAPINFO** info, void** bits);
HBITMAP MakeDibSection(const BITMAPINFO* info, const void* bits);  // null

// ---- fonts and text -------------------------------------------------------------------------------
// No font exists yet: every font handle is unknown to these.
int FontUsesTextureCache(int font);  // 0
int IsFontAntialiased(int font);     // 0
// The text's size in the font (the text core's measuring mode); -1: no such font.
int MeasureFontString(int font, const char* text, int vertical, int* width, int* height);
// Draws text onto a MEMIMG at (x, y) within drawArea (colours of the image's format); -1.
int DrawFontStringCore(MEMIMG* dst, int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor,
                       int vertical);
// The font's 2D cache piece and its MEMIMG; -1.
int SetupFontCache(int font, int* piece, MEMIMG** image);
int G_D3D_DrawStringWithFont(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor,
                             int vertical);  // -1
