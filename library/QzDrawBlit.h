// QzDrawBlit.h: the software blitters that draw one MEMIMG onto another at a position
// or scaled into a rectangle, clipped to drawArea, with the blend state of DrawState.
//
// For now they are minimal: PutMEMIMG does blend mode 0 only, a copy clipped to drawArea
// with the source's colour key when asked; PutMEMIMGScaled draws nothing. Main thread
// under the library lock.
#pragma once

#include "QzDrawMemImg.h"
#include "platform/win32.h"

// Draws src with its pixel (0, 0) at (x, y) of dst. Nothing when the types differ, dst
// has a palette or alpha, or the clipped area is empty.
void PutMEMIMG(MEMIMG* dst, const MEMIMG* src, int x, int y, int transparent, const MEMIMG* blendImage);
// Draws src stretched into rect (x2 < x1 or y2 < y1 mirrors).
void PutMEMIMGScaled(MEMIMG* dst, const MEMIMG* src, const RECT* rect, int transparent, const MEMIMG* blendImage);
