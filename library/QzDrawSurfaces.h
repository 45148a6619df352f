// QzDrawSurfaces.h: the screen's surfaces in each mode (primary, back or flip chain, work
// surfaces, Z; and in software rendering the front, back and Z MEMIMGs), their release
// and restore, the draw target and its clear on the DirectDraw path. Main thread under
// the library lock.
#pragma once

int CreateMainSurfaces();   // 0; -1 without an object or with a primary; failures are fatal
int ReleaseMainSurfaces();  // 0; -1 without an object
int RestoreMainSurfaces();  // 0; -1 without an object
int RestoreAllSurface2D();  // OR of RestoreSurfaceData; -1 without an object
// -4 front, -2 back, or a graphic: 0, or -1 for an invalid graphic or a missing piece.
int SetDrawTargetSurface(int target);
int ClearDrawTarget2D();
// The back MEMIMG wraps the locked back surface: the graphics depth equals the screen
// depth and the screen is exactly X8R8G8B8 at 32 or R5G6B5 at 16.
bool BackImageCanWrapSurface();
