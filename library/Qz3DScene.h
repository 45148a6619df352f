// Qz3DScene.h: the Direct3D side of everything that is not a sprite: filled and outlined
// boxes, the render target behind the draw target (front buffer, back buffer or a
// graphic), clearing and filling texture graphics, reading the draw target back into a
// graphic, the three transforms, and the end of the scene, which the present and every
// DirectDraw or CPU access to a surface call first.
//
// Blend modes become the blend table's rows: 0 none, 1 alpha, 2 add, 4 multiply; mode 3
// (subtract) has no device blend, so the front end wraps a draw in a white box of mode 3
// (which inverts the target), the draw in mode 5 (add) and a second white box.
//
// Main thread under the library lock.
#pragma once

#include <cstdint>

#include "QzGraphicsData.h"

struct Matrix;

int G_D3D_FillBox(int x1, int y1, int x2, int y2, uint32_t color);
// One pixel wide: rows y1 and y2 - 1, columns x1 and x2 - 1.
int G_D3D_OutlineBox(int x1, int y1, int x2, int y2, uint32_t color);
// Reads (x1, y1)-(x2, y2) of the draw target into the graphic's pieces, trying the five
// read-back methods from the one that last worked for graphics of its alpha kind.
int G_D3D_CaptureDrawTarget(int x1, int y1, int x2, int y2, GraphData* graph, int clientCoords);
int G_D3D_FillGraph(GraphData* graph, int r, int g, int b, int a);
int G_D3D_SelectDrawTarget(int target);  // -4 front, -2 back, or a graphic handle
int G_D3D_ClearDrawTarget();
int G_D3D_ResetRenderTarget(int maskFlag);
int G_D3D_SetWorldMatrix(const Matrix* matrix);
int G_D3D_SetViewMatrix(const Matrix* matrix);
int G_D3D_SetProjectionMatrix(const Matrix* matrix);
int G_D3D_EndScene();
