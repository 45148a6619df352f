// QzDrawBlit.h: the software blitters that draw one MEMIMG onto another at a position
// or scaled into a rectangle, clipped to drawArea, with the blend state of DrawState.
//
// Both apply the blend mode and parameter, the bright colour, a blend graphic, the colour
// key, per-pixel source alpha and palette sources, to R5G6B5 and X8R8G8B8 images; their
// per-pixel operations are in QzDrawBlitPixel.h. A call whose settings cannot be drawn
// draws nothing. Main thread under the library lock (the palette scratch is shared).
#pragma once

#include "QzDrawMemImg.h"
#include "platform/win32.h"

// Draws src with its pixel (0, 0) at (x, y) of dst. Nothing when the types differ, dst
// has a palette or alpha, the clipped area is empty, or the blend mode and parameter draw
// nothing (mode outside 0-4, alpha or add at 0, subtract at 0 from a direct source).
// transparent 1 with valid run tables and nothing clipped walks the run tables.
void PutMEMIMG(MEMIMG* dst, const MEMIMG* src, int x, int y, int transparent, const MEMIMG* blendImage);
// Draws src stretched into rect (x2 < x1 or y2 < y1 mirrors).
void PutMEMIMGScaled(MEMIMG* dst, const MEMIMG* src, const RECT* rect, int transparent, const MEMIMG* blendImage);
