// QzGraphicsStandIns.h: stand-ins for the graphics parts the window system, its window
// procedure and the library's start-up call, until those parts exist: movies, the mask
// screen, screen modes and surfaces, 3D textures, the graphic table, the draw front end
// and graphics start-up with device recovery. Each keeps its part's name and signature,
// does the least that part allows, and reports to QzStandIn.h. The screen's own record
// and accessors (QzDrawScreen.h) and the draw state (QzGraphicsDrawState.h) exist and
// are used as they are. Delete a declaration here when its part lands.
#pragma once

#include <platform/win32.h>

// Landed: the screen mode (QzDrawScreenMode.h), surfaces (QzDrawSurfaces.h), present
// (QzDrawPresent.h), target selection (QzGraphicsFront.h) and graphics start-up
// (QzGraphicsSystem.h).
#include "QzDrawPresent.h"
#include "QzDrawScreenMode.h"
#include "QzDrawSurfaces.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsSystem.h"

// ---- movies and the mask screen ---------------------------------------------------------------
int PlayAllGraphMovies();      // 0
int PauseAllGraphMovies();     // 0
int ReleaseAllMovieStreams();  // 0
int ReopenMovieStreams();      // 0
int EnableMaskDraw(int flag);  // -1: there is no mask buffer
int GetMaskDrawFlag();         // 0

// ---- screen modes, surfaces, present ---------------------------------------------------------
int G_D3D_RestoreAllTextures();  // 0

// ---- graphics, the draw front end, start-up and recovery ---------------------------------------
int CreateBlankGraph(int width, int height);   // -1: no graphic can be made yet
int DeleteOneGraph(int handle, int logFlag);   // -1 for the handles CreateBlankGraph gave
int SetDrawClipArea(int x1, int y1, int x2, int y2);  // 0
int SetDrawOriginRect(const RECT* rect);               // 0
int SetNewGraphDrawValidFlag(int flag);                // 0
int RebuildGraphicsDevice();                           // 0
int RestoreAllGraphSurfaces();                         // 0
// The default handler is none; the stand-in keeps no handler.
int SetGraphRecoveryHandler(void (*handler)());
int HasGraphRecoveryHandler();  // 0, or what a test set
// The screen mode's size and depth (QzDrawScreen.h's values); 0.
int GetScreenModeInfo(int* width, int* height, int* colorBitDepth);
