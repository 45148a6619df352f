// Qz3DSprite.h: graphics drawn through Direct3D. Every texture piece of a graphic becomes
// a quad of pre-transformed vertices: plain, stretched and rotated draws append two
// triangles per piece to the current slot's batch; free-corner draws append two
// triangles too, or draw an 8 x 8 vertex grid at once when the quad is no parallelogram.
// Also the values every vertex carries: the diffuse colour (blend parameter and bright
// colour) and the blend graphic's size, and the clip viewport.
//
// Rules of the geometry: pixel centres lie on integer coordinates, so plain, stretched,
// rotated and integer free-corner draws move by -0.5 to put texel centres on pixel
// centres; every draw adds the draw origin. Only the first vertex of each triangle gets
// the diffuse colour: the device shades flat.
//
// The draws return 0 after drawing (also when nothing shows) and at once while the draw
// target is a graphic Direct3D cannot draw into; -1 without Direct3D or for a piece that
// is not a live texture piece (pieces before it stay queued). Main thread under the
// library lock.
#pragma once

#include <cstdint>

#include "QzGraphicsData.h"
#include "platform/win32.h"

int G_D3D_SetDrawFilterMode(int mode);  // 0 point, 1 linear
int G_D3D_UpdateDiffuseColor(int, int);  // both ignored; 0
int G_D3D_UpdateDiffuseColor2();         // 0
uint32_t G_D3D_GetDiffuseColor();
// Selects (graph) or clears (null) the blend graphic; -1 keeps the stored border value.
int G_D3D_SelectBlendGraph(const GraphData* graph, int borderParam, int borderRange);
int G_D3D_SetClipViewport(const RECT* clip);

// x and y are integers when intFlag is 1 (a double holds every int32 exactly), else
// floats.
int G_D3D_DrawGraph(double x, double y, GraphData* graph, int transparent, int intFlag);
int G_D3D_DrawStretchedGraph(double x1, double y1, double x2, double y2, GraphData* graph, int transparent,
                             int intFlag);
// Centred on (x, y), scaled, turned clockwise on screen by angle (radians), mirrored
// left-right with mirror 1.
int G_D3D_DrawScaleRotateGraph(float x, float y, double scale, double angle, GraphData* graph, int transparent,
                               int mirror);
// Corners top-left, top-right, bottom-left, bottom-right.
int G_D3D_DrawFreeQuadGraph(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                            GraphData* graph, int transparent);
int G_D3D_DrawFreeQuadGraphInt(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GraphData* graph,
                               int transparent);
// One piece onto four points already in render-target pixels.
void G_D3D_DrawTexturedQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                            int piece, int unused);
