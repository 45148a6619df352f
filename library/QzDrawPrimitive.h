// QzDrawPrimitive.h: the software image engine's rotated and triangle drawing and its
// primitives (filled rectangles, lines), clipped to drawArea with the blend state of
// DrawState.
//
// For now they are minimal: FillMEMIMGRect does blend mode 0 only, a fill clipped to
// drawArea; the rotated, triangle and line routines draw nothing. Main thread under the
// library lock.
#pragma once

#include <cstdint>

#include "QzDrawMemImg.h"
#include "platform/win32.h"

struct MEMIMGVertex {
    int x, y, u, v;  // destination position and source texel
};

struct MEMIMGLine {
    int x1, y1, x2, y2;
    int color;      // a value of the destination's format
    int parameter;  // not read
};

void PutMEMIMGRotated(MEMIMG* dst, const MEMIMG* src, int centerX, int centerY, float angle, float scale,
                      int transparent, int mirror, const MEMIMG* blendImage);
void PutMEMIMGTriangle(MEMIMG* dst, const MEMIMG* src, const MEMIMGVertex vertex[3], int transparent,
                       const MEMIMG* blendImage, uint32_t color);
// Fills rect (right and bottom exclusive; null: the whole image) with color, a value of
// dst's format. Nothing for a destination with a palette or alpha.
void FillMEMIMGRect(MEMIMG* dst, const RECT* rect, uint32_t color);
void PlotMEMIMGLines(MEMIMG* dst, const MEMIMGLine* lines, int count);
