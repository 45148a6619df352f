// QzGraphicsDib.h: decoded pictures as Windows device-independent bitmaps (DIBs) and DIB
// sections, for the window system's region, toolbar and background picture and the 8-bit
// screen's transfers. A DIB handed out here is top-down with rows padded to 4 bytes: 8
// bits with the picture's 256-entry palette, or 24 bits (blue, green, red).
// Callers hold the library lock.
#pragma once

#include "QzDrawColorFormat.h"
#include "QzGraphicsImage.h"
#include "platform/gdi.h"

// A BITMAPINFO with room for 256 palette entries.
constexpr int kDibInfoSize = (int)sizeof(BITMAPINFOHEADER) + 256 * 4;

// Fills bmi (kDibInfoSize bytes) for the image and hands out its bits: 0 (the image's
// own block, when its rows already are a DIB's and no copy is forced), 1 (a new tracked
// block the caller frees) or -1 (no memory). force24 turns 8-bit images into 24 bits too.
int ConvertGraphImageToDib(const GraphImage* image, BITMAPINFO* bmi, void** bitsOut, int forceCopy, int force24);

// A DIB section holding the picture (mirrored left to right with mirrorFlag 1), in the
// format given (16 or 32 bits become bit fields, 24 bits BI_RGB; a 32-bit format is
// turned into the 24-bit one when the source is 24-bit, and the caller's record changes)
// or in 24 bits without one. Null when it cannot be made, for a format of 8 bits or fewer,
// and when the picture cannot be transferred.
HBITMAP MakeDibSection(const BITMAPINFO* bmi, const void* bits, int mirrorFlag, ColorFormat* format);

// Decodes a picture (as DecodeGraphImage) straight into a DIB section, in the format given
// or, without one, as the decoded DIB is (8 bits with its palette, else 24 bits). Null on
// failure (logged where the section cannot be made).
HBITMAP CreateDIBGraph(const char* path, const void* memory, int size, int sourceKind, int mirrorFlag,
                       ColorFormat* format);
HBITMAP CreateDIBGraphFromFile(const char* path, int mirrorFlag, ColorFormat* format);
