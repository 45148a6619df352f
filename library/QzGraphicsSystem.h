// QzGraphicsSystem.h: graphics start-up and end, GraphCreateSettings (the settings every
// new graphic and pixel store is made with), and graphics management start and end: the
// graphic table, the draw state, the settings and the fonts are set up by
// InitializeGraphData, which every screen-mode change runs, and torn down by
// TerminateGraphData. Main thread under the library lock.
#pragma once

#include <cstdint>

#include "platform/win32.h"

struct GraphCreateSettings {
    int32_t colorBitDepth;  // bit depth of new graphics; 0 = the screen's graphics depth
    int32_t use3D;          // new graphics may use texture pieces
    int32_t drawValid;      // new graphics can be draw targets
    int32_t alphaChannel;   // new blank graphics carry alpha
    int32_t transColorUse;  // new graphics honour the transparent colour
    int32_t systemMemory;   // new 2D graphics live in system memory
    int32_t blendImage;     // new graphics are blend images (nothing changes it)
    uint32_t transColor;    // 0xRRGGBB, the colour key of new pixel stores
    int32_t dibOption;      // option word of the 16-bit DIB conversions (nothing changes it)
};

extern GraphCreateSettings g_graphCreateSettings;

// 4 x 4 floats, row-major; row vectors are multiplied on the left.
struct Matrix {
    float m[4][4];
};

// Stores the window and runs the DirectDraw start-up; 0.
int InitializeGraphicsSystem(HWND window);
// The DirectDraw end; 0.
int TerminateGraphicsSystem();
HWND GetGraphicsWindow();

// Graphics management start (once; a second call changes nothing) and end (deleting
// every memory block and graphic and the fonts; nothing before start). Both 0.
int InitializeGraphData();
int TerminateGraphData();
int IsGraphDataInitialized();
// Direct3D drawing is usable: decided at graphics management start (the Direct3D object
// existed).
int IsDirect3DDrawingUsable();
// 1 when use3D is on, Direct3D drawing is usable, the screen is not rendered in software
// and a current Direct3D device exists.
int IsGraph3DUsable();
int GetGraphDibOption();  // dibOption

// ---- the new-graphic settings ------------------------------------------------------------------
// use3D; while no DirectDraw object exists also the do-not-use-Direct3D flag (!flag). 0.
int SetNewGraph3DFlag(int flag);
int SetNewGraphTransColorFlag(int flag);
int GetNewGraphTransColorFlag();
int SetNewGraphDrawValidFlag(int flag);  // 0
int SetNewGraphSystemMemFlag(int flag);
int GetNewGraphSystemMemFlag();
int SetNewGraphBitDepth(int depth);
int GetNewGraphBitDepth();
int SetNewGraphAlphaFlag(int flag);
int GetNewGraphAlphaFlag();

// Copies the rectangle into drawOrigin (the window system after the window moves); 0.
int SetDrawOriginRect(const RECT* rect);
// The screen size (640 x 480 while unset) and graphics depth (16 while unset); 0.
int GetScreenModeInfo(int* width, int* height, int* colorBitDepth);
// Copies (x1, y1)-(x2, y2) of the draw target into the graphic; -1 for an invalid handle.
int CaptureDrawTargetToGraph(int x1, int y1, int x2, int y2, int handle, int option);
