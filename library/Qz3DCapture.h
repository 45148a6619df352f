// Qz3DCapture.h: the five ways of reading a rectangle of the draw target (usually the
// screen) back into a graphic held in textures: a DirectDraw blit, GDI device contexts,
// GDI into a temporary texture then a conversion, GDI into a temporary texture then a
// Direct3D texture load, and a copy to the work surface then a conversion. The capture
// of Qz3DScene.h tries them in a fixed order and remembers the one that worked.
//
// Each takes (x1, y1)-(x2, y2) of the draw target, right and bottom exclusive, and puts
// (x1, y1) on the graphic's top-left pixel. Coordinates are the draw target's, or the
// desktop's when clientCoords is 0 in window mode with the front screen as target (the
// fifth method refuses that case). A bad rectangle gives -1 before anything is touched;
// a piece reaching past the draw target takes only the part inside, and each method
// writes only the covered part of each piece, so sub-images sharing a texture survive.
// 0 when every covered piece was filled, -1 otherwise (failures are logged).
//
// Main thread under the library lock.
#pragma once

#include "QzGraphicsData.h"

int G_D3D_GetDrawScreenGraphFunction1(int x1, int y1, int x2, int y2, GraphData* graph, int clientCoords);
int G_D3D_GetDrawScreenGraphFunction2(int x1, int y1, int x2, int y2, GraphData* graph, int clientCoords);
int G_D3D_GetDrawScreenGraphFunction3(int x1, int y1, int x2, int y2, GraphData* graph, int clientCoords);
int G_D3D_GetDrawScreenGraphFunction4(int x1, int y1, int x2, int y2, GraphData* graph, int clientCoords);
int G_D3D_GetDrawScreenGraphFunction5(int x1, int y1, int x2, int y2, GraphData* graph, int clientCoords);
