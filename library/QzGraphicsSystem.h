// QzGraphicsSystem.h: graphics start-up and end, and GraphCreateSettings, the settings
// every new graphic and pixel store is made with. Graphics management itself (the
// graphic table's start-up, fonts, matrices, device-loss recovery) is not built yet:
// InitializeGraphData and TerminateGraphData are stand-ins reporting to QzStandIn.h.
// Main thread under the library lock.
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

// Stores the window and runs the DirectDraw start-up; 0.
int InitializeGraphicsSystem(HWND window);
// The DirectDraw end; 0.
int TerminateGraphicsSystem();
HWND GetGraphicsWindow();

int InitializeGraphData();  // stand-in: 0
int TerminateGraphData();   // stand-in: 0
int GetGraphDibOption();    // dibOption
