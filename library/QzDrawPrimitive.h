// QzDrawPrimitive.h: the software image engine's rotated and triangle drawing and its
// primitives (filled rectangles, lines), clipped to drawArea with the blend state of
// DrawState.
//
// Fills and lines draw every blend mode (QzDrawFill.cpp); triangles draw solid colours
// in every blend mode (QzDrawTriangle.cpp); textured triangles draw nothing yet. Main
// thread under the library lock.
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
struct MEMIMGPoint {
    int x, y;
};

// Draws all of src onto four corners (top-left, top-right, bottom-left, bottom-right) as
// two triangles.
void PutMEMIMGQuad(MEMIMG* dst, const MEMIMG* src, const MEMIMGPoint corner[4], int transparent,
                   const MEMIMG* blendImage);
// Fills rect (right and bottom exclusive; null: the whole image) with color, a value of
// dst's format. Nothing for a destination with a palette or alpha.
void FillMEMIMGRect(MEMIMG* dst, const RECT* rect, uint32_t color);
// Line from (x1, y1) to (x2, y2), the end point not drawn.
void PlotMEMIMGLine(MEMIMG* dst, int x1, int y1, int x2, int y2, uint32_t color);
void PlotMEMIMGLines(MEMIMG* dst, const MEMIMGLine* lines, int count);
