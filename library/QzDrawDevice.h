// QzDrawDevice.h: the DirectDraw object of the library and what exists once per object:
// the window clipper, the 8-bit screen palette, the saved capabilities, the overlay
// format test for movies, the blend lookup tables of the software blitters, and the
// release and re-creation steps of the device-loss rebuild. The objects live in
// ScreenState (QzDrawScreen.h). Main thread under the library lock.
#pragma once

#include <cstdint>

#include "platform/ddraw.h"

// The blend lookup tables, built once by InitializeDirectDraw and kept for the process.
extern int32_t ScaleTable[256][256];         // [i][j] = i x j / 255
extern int32_t SignedScaleTable[256][512];   // [i][k] = i x (k - 255) / 255, k = 0..510
extern uint8_t LerpTable64[64 * 64 * 64];    // [i x 4096 + j x 64 + k] = (i x j + (63 - i) x k) / 63
void BuildBlendLookupTables();

int InitializeDirectDraw();  // 0; -1 when an object exists; fatal on object or clipper failure
int TerminateDirectDraw();   // 0
int CreateDirectDrawObject(IDirectDraw7** out);  // 0 or -1, logged
int CreateWindowClipper(IDirectDraw7* dd, IDirectDrawClipper** out, HWND window);  // 0 or -1
int CreateScreenPalette();
int ReleaseScreenPalette();
int ReleasePaletteForRebuild();
int ReapplyPaletteEntries();
int RecreateScreenPalette();
DDCAPS* CopyDirectDrawCaps(DDCAPS* out);
// The overlay format found at start-up, or null (none, or a screen below 640 x 400).
const DDPIXELFORMAT* GetOverlayPixelFormat();
int RestoreDesktopDisplayMode();  // 0; -1 without an object

// The rebuild steps, in the order the device-loss rebuild calls them.
int ReleaseAllSurface2DSurfaces();
int ReleaseClipper();
int ReleaseDirectDrawObjects();
int RecreateDirectDrawObjects();
int ResetCooperativeLevel();
int ReapplyDisplayMode();
int RecreateAllSurface2DSurfaces();
int RecreateClipper();

// Present but called by nothing in this system.
int EnumDirectDrawDevices();
int ReadBmpPalette(const char* path, uint8_t buffer[1024]);
