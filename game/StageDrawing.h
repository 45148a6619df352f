// StageDrawing.h: one frame of a stage in its layer order, and the bitmap text that the
// stage, the menus and the result screens draw with.
#pragma once

#include <cstdint>

// Draws the stage into the current target and makes the drawing's state changes at their
// points (the pan and the end-of-map scan first; the shot frames and the clear count
// after the field; the tally's unlock, bonus and count).
void DrawStage();

// Every character and then the terminating NUL, 12 px apart, each centred in its cell;
// bytes of 0x80 and above, and the NUL, draw glyph 0.
void DrawFontText(int x, int y, const char* text);
void DrawFont2Text(int x, int y, const char* text);
// A non-negative number right-aligned in places + 1 cells; higher digits are dropped.
void DrawFontNumber(int x, int y, int32_t value, int places);
// The same with the 20-px big digits.
void DrawBigNumber(int x, int y, int32_t value, int places);

// What a table gives for an index outside it: no draw is made.
constexpr int kNoSprite = -0x7FFFFFFF - 1;

// Centred, scaled and rotated (angle in 1024ths of a turn), transparency on.
void DrawSpriteCentred(int x, int y, double scale, int32_t angle, int handle);
