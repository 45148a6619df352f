// QzDraw2DDraw.h: the software-draw bracket and the 2D draw front ends of the DirectDraw
// path. A draw is either one plain BltFast of a piece, or work for the software image
// engine: the bracket locks the target (or copies it into a system-memory work surface),
// converts non-native screen formats, wraps target and source in MEMIMG headers, and
// narrows drawArea to what it locked or copied, so no blitter writes outside it; End
// undoes all of it. Brackets do not nest.
//
// Main thread under the library lock; no surface stays locked between calls.
#pragma once

#include <cstdint>

#include "QzDrawMemImg.h"
#include "QzDrawPrimitive.h"
#include "QzGraphicsData.h"
#include "platform/win32.h"

struct Surface2D;

// kind 1: a plain piece copy is acceptable. rawColour 1: the draw only writes colours
// given in the screen format (*color is converted with a converted work copy). 0, or -1
// for an empty clipped rectangle or a lock failure. Software rendering: 0 at once.
int BeginMEMIMGDrawOnSurface(Surface2D* piece, int kind, const RECT* srcRect, const RECT* dstRect, int rawColour,
                             uint32_t* color);
int EndMEMIMGDrawOnSurface();
MEMIMG* GetBlendGraphMEMIMG();

// Front ends: -1 without a DirectDraw object, 0 after drawing (also when nothing shows).
int DrawSurface2D(int x, int y, int piece, int transparent);
int DrawGraphSurface2D(double x, double y, GraphData* graph, int transparent, int intFlag);
// x2 < x1 or y2 < y1 mirrors; piece -1: the graphic's first. -1 for an empty rectangle or
// a scale that does not fit 16.16.
int DrawGraphScaled2D(double x1, double y1, double x2, double y2, GraphData* graph, int transparent, int intFlag,
                      int piece);
// -1 for a position, scale or angle that is not finite or out of range.
int DrawGraphRotated2D(float x, float y, double scale, double angle, GraphData* graph, int transparent, int mirror);
int DrawGraphTriangle2D(const MEMIMGVertex vertex[3], GraphData* graph, int transparent, uint32_t color);
int DrawGraphQuad2D(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GraphData* graph,
                    int transparent);
int DrawGraphQuad2DF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, GraphData* graph,
                     int transparent);
int FillBoxByCpu(int x1, int y1, int x2, int y2, uint32_t color);
int OutlineBoxByCpu(int x1, int y1, int x2, int y2, uint32_t color);
int DrawLineList2D(const MEMIMGLine* lines, int count);
int DrawStringOnSurface2D(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor, int vertical);
