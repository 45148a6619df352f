// QzGraphicsText.h: the text core, which measures a string in a font or draws it from
// the font's glyph cache, and the drawing front end's text operation. The memory path
// writes glyph pixels straight into a MEMIMG in the screen's pixel layout, composing edge
// and anti-aliasing per pixel; text runs across, or down with each glyph turned a
// quarter turn clockwise. Main thread under the library lock.
#pragma once

#include <cstdint>

#include "QzDrawMemImg.h"
#include "platform/win32.h"

// mode 1 draws, 0 measures. Colours are colour values of the screen format. The memory
// path draws into dst inside clip (both required when drawing); transparent 1 leaves the
// background of a glyph's box alone, 0 writes 0 there. length -1: the whole text.
// outSize: (advance, cellHeight) across, (cellHeight, advance) down. The pen advance, or
// -1 (no DirectDraw object, an invalid font, a memory draw without dst or clip).
int DrawFontStringCore(int mode, int x, int y, int scaled, double scaleX, double scaleY, const char* text,
                       uint32_t color, MEMIMG* dst, const RECT* clip, int transparent, int font, uint32_t edgeColor,
                       int length, int vertical, SIZE* outSize);
int MeasureFontStringWidth(const char* text, int length, int font, int vertical);

// The 2D text path's forms: the size of the text in the font (0, -1 for an invalid font),
// and a draw onto a MEMIMG inside drawArea with transparent background (0 or -1).
int MeasureFontString(int font, const char* text, int vertical, int* width, int* height);
int DrawFontStringCore(MEMIMG* dst, int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor,
                       int vertical);

// The front end's text operation: the font check, the affected rectangle, the mask
// bracket and the software front screen around the 2D (or Direct3D) text draw.
int DrawStringWithFont(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor, int vertical);
