// QzDrawScreenColor.h: the screen's own colour format, read from the display mode, and
// the conversions between the screen's colour values and r, g, b.
#pragma once

#include <cstdint>

#include "QzDrawColorFormat.h"
#include "platform/ddraw.h"

// Reads the display mode's format into ScreenState (pixel format, colour format, class,
// screen depth) and logs its masks. 0; -1 without a DirectDraw object.
int ReadDisplayPixelFormat();
const ColorFormat* GetScreenColorFormat();
const DDPIXELFORMAT* GetScreenPixelFormat();
// 0 R5G6B5, 1 X1R5G5B5, 2 X8R8G8B8, 3 any other masks.
int ClassifyScreenFormat(const ColorFormat* format);
// A colour value for drawing on the screen: the nearest palette index on an 8-bit
// screen (lowest index among equals), else packed in the screen's format (in software
// rendering the standard MEMIMG format of the graphics depth), without alpha bits.
uint32_t GetScreenColorValue(int r, int g, int b);
// The inverse: 0, or -1 for an index outside 0-255 on an 8-bit screen.
int GetColorValueRGB(uint32_t value, int* r, int* g, int* b);
