// QzGraphicsDraw.h: the drawing front end's draws. Each checks its graphic (and the blend
// graphic, which must be at least as large), waits for an active window, keeps a movie
// graphic's frame current, brackets the draw with the mask screen and the software front
// screen, emulates subtraction on the Direct3D path, and hands the draw to the graphic's
// path: texture pieces through Direct3D, or the 2D piece through DirectDraw and the
// software image engine. With an empty draw area a draw does nothing and returns 0.
// Text is QzGraphicsText.h. Main thread under the library lock.
#pragma once

#include <cstdint>

// Transparent 1: the transparent colour is left out.
int DrawPlainGraph(int x, int y, int handle, int transparent);
// x2 < x1 or y2 < y1 mirror.
int DrawStretchedGraph(int x1, int y1, int x2, int y2, int handle, int transparent);
// Centred on (x, y), scaled, turned clockwise on screen by angle (radians).
int DrawScaleRotateGraph(int x, int y, double scale, double angle, int handle, int transparent, int mirror);
int DrawScaleRotateGraphCore(float x, float y, double scale, double angle, int handle, int transparent, int mirror);
// Corners top-left, top-right, bottom-right, bottom-left.
int DrawFreeQuadGraph(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int handle,
                      int transparent);
int DrawMirroredGraph(int x, int y, int handle, int transparent);
// The source rectangle of the graphic at (x, y), or stretched into (x1, y1)-(x2, y2) (a
// reversed range mirrors).
int DrawGraphSourceRect(int x, int y, int sourceX, int sourceY, int width, int height, int handle, int transparent,
                        int mirror);
int DrawGraphSourceRectStretched(int x1, int y1, int x2, int y2, int sourceX, int sourceY, int sourceWidth,
                                 int sourceHeight, int handle, int transparent);
// Every piece of the graphic filled with the colour; -1 for an invalid handle.
int FillGraphColor(int handle, int r, int g, int b, int a);
// Colours are values of the screen format; x2 and y2 are exclusive.
int DrawRectangle(int x1, int y1, int x2, int y2, uint32_t color, int fill);
int DrawFilledBox(int x1, int y1, int x2, int y2, uint32_t color);
int DrawBoxOutline(int x1, int y1, int x2, int y2, uint32_t color);
