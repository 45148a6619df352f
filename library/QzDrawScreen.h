// QzDrawScreen.h: ScreenState, the record of the screen's globals: the DirectDraw
// object, clipper and palette, the screen's format and mode, the screen surfaces and
// images, the draw target, the software-draw bracket, the present settings and the
// measured timings, with the accessors other parts read them through.
//
// One instance, zero at process start. Main thread under the library lock.
#pragma once

#include <cstdint>

#include "QzDrawColorFormat.h"
#include "QzDrawMemImg.h"
#include "platform/ddraw.h"
#include "platform/win32.h"

// One entry of the device enumeration (filled only by EnumDirectDrawDevices).
struct DirectDrawDeviceEntry {
    GUID guid;  // zero for the primary display driver
    char driverName[512];
    char description[512];
    uint32_t totalVideoMemory;
    int32_t has3D;
    int32_t inUse;
};
constexpr int kDirectDrawDeviceSlots = 10;

// Where 2D draws write after a target has been selected.
struct DrawTarget {
    IDirectDrawSurface7* surface;  // null when the target is a MEMIMG
    int32_t xOffset;               // position of the target's pixel (0, 0) on surface
    int32_t yOffset;
    MEMIMG* image;                 // the target as a MEMIMG, or null
    MEMIMG* depthImage;            // its Z image, or null
};

// The software-draw bracket's state between Begin and End.
struct MEMIMGDrawBracket {
    MEMIMG* sourceImage;
    MEMIMG sourceHeader;
    int32_t sourceLocked;
    int32_t sourceWorkCopy;
    IDirectDrawSurface7* sourceSurface;
    RECT sourceRect;
    MEMIMG* destImage;
    MEMIMG destHeader;
    int32_t destLocked;
    int32_t destWorkCopy;
    int32_t nonNativeScreen;
    IDirectDrawSurface7* destSurface;
    RECT destRect;
    RECT clippedRect;
    IDirectDrawSurface7* targetSurface;
    RECT targetRect;
    int32_t plainCopy;
    RECT savedDrawArea;      // drawArea outside the bracket, restored by End
    int32_t drawAreaNarrowed;
};

struct ScreenState {
    // DirectDraw device.
    IDirectDraw7* directDraw;
    IDirectDrawClipper* clipper;
    IDirectDrawPalette* palette;
    DDCAPS caps;
    DirectDrawDeviceEntry devices[kDirectDrawDeviceSlots];
    int32_t deviceCount;

    // The screen's format.
    ColorFormat screenFormat;        // long form
    DDPIXELFORMAT screenPixelFormat;
    int32_t screenFormatClass;       // 0 R5G6B5, 1 X1R5G5B5, 2 X8R8G8B8, 3 other

    // The mode.
    int32_t width;
    int32_t height;
    int32_t colorBitDepth;     // the display's depth after every mode change
    int32_t refreshRate;       // 0: the display's default
    int32_t graphicsBitDepth;  // the depth graphics are made in
    int32_t cooperativeLevel;
    int32_t overlayFormatIndex;

    MEMIMGDrawBracket bracket;

    // Screen surfaces and images.
    int32_t screenImagesMade;
    IDirectDrawSurface7* primary;
    MEMIMG frontImage;
    int32_t frontDirty;
    IDirectDrawSurface7* back;
    MEMIMG backImage;
    IDirectDrawSurface7* zSurface;
    MEMIMG zImage;
    IDirectDrawSurface7* work[2];
    // Recorded when the back image was made: it wraps the locked back surface. Release
    // and present read this rather than the format of the moment.
    int32_t backImageWrapsSurface;

    DrawTarget drawTarget;

    PALETTEENTRY paletteEntries[256];
    int32_t displayModeChanged;
    int32_t vblankWait;
    int32_t disable3D;
    int32_t endSceneBefore2D;
    int32_t mmxAvailable;
    int32_t softwareRender;
    int32_t bltPresent;    // nothing sets it
    int32_t copyMethod;    // 1 GDI BitBlt, 0 BltFast
    int32_t multithreaded; // nothing sets it
    int32_t directDrawInitialized;

    uint64_t frameCounter;
    int32_t lastVBlankWait;  // milliseconds
    int32_t frameTime;       // milliseconds per display frame, -1 unknown
    int32_t scanLines;
    int32_t pacingTime;      // (2 x frame time - 4) / 3, -1 unknown
    int32_t lastModeChange;  // milliseconds, 0 before the first change
};

extern ScreenState g_screen;

// ---- accessors -------------------------------------------------------------------------
int GetScreenSize(int* width, int* height);  // 640 x 480 while unset; 0
int GetColorBitDepth();                      // the graphics depth, 16 while unset
int GetScreenBitDepth();                     // the same
int GetVBlankWaitFlag();
int SetVBlankWaitFlag(int flag);  // 0
int SetDisable3DFlag(int flag);   // 0
int GetDisable3DFlag();
int SetEndSceneBefore2DFlag(int flag);  // 0
int GetSoftwareRenderFlag();
int GetBltPresentFlag();
int GetDisplayModeChangedFlag();
int SetDisplayModeChangedFlag(int flag);  // 1
IDirectDrawSurface7* GetDrawTargetSurface();
IDirectDrawSurface7* GetPrimarySurface();
IDirectDrawSurface7* GetBackSurface();
IDirectDrawSurface7* GetWorkSurface();
IDirectDraw7* GetDirectDrawObject();
// Software rendering in the sense of the screen surfaces: the flag is set and the
// screen depth is not 8.
bool IsSoftwareScreen();
