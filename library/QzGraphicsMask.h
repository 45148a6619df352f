// QzGraphicsMask.h: the mask screen, a screen-sized mask of one byte per pixel that keeps
// drawing off the pixels whose byte is not 0. While masking is in force (maskActive of
// DrawState) the drawing layers write to a screen-sized work copy instead of the draw
// target: the work surface in hardware mode (the Direct3D layer renders into it, the 2D
// layer draws into it) or the work MEMIMG in software mode. The drawing front end
// brackets every draw: SaveMaskBackground copies the target under the draw's rectangle
// into the work copy, ApplyMaskAfterDraw keys the masked pixels and copies the rectangle
// back, skipping the key colour.
//
// Nothing in the library fills the mask or sets maskExists: a builder does both. The
// state survives a device reset through FreeMaskScreenParts / RebuildMaskScreen.
// Main thread under the library lock.
#pragma once

#include <cstdint>

#include "QzDrawMemImg.h"
#include "QzGraphicsImage.h"
#include "platform/ddraw.h"

struct MaskScreenState {
    uint8_t* maskBuffer;      // maskPitch x maskHeight bytes; 0 allows drawing, anything else forbids it
    int32_t maskPitch;        // the width rounded up to a multiple of 4
    int32_t maskWidth;        // the screen size the buffer was made for
    int32_t maskHeight;
    IDirectDrawSurface7* maskWorkSurface;  // hardware mode: screen size, source key maskKeyColor
    int32_t workWidth;                     // the screen size the work copy was made for
    int32_t workHeight;
    MEMIMG maskWorkImage;                  // software mode: screen size, the screen's standard type
    int32_t maskUsesImage;                 // 1 while maskWorkImage is set up
    uint32_t maskKeyColor;                 // 0; nothing changes it
    int32_t maskExists;                    // 1 while a mask screen is built (set by its builder)
};

extern MaskScreenState g_maskScreen;

// Clears the state without freeing anything (graphics start-up, after the end removed it).
void ResetMaskScreenState();

// Makes the buffer (makeBuffer) and the work copy (makeWork) that do not exist yet, at the
// screen size. 0; a work copy that cannot be made is fatal, a buffer that cannot be
// allocated stays absent.
int BuildMaskScreen(int makeBuffer, int makeWork);
// After a device reset: builds again what existed and re-enables masking when asked. 0.
int RebuildMaskScreen();
// Before a device reset: frees the buffer and both work copies; maskExists and the
// masking request stay. 0.
int FreeMaskScreenParts();
// Graphics end: masking off, everything freed, maskExists and maskActive cleared. 0.
int RemoveMaskScreen();
// 0, or -1 without a mask buffer (nothing changes then).
int EnableMaskDraw(int flag);
int IsMaskDrawEnabled();  // maskRequested

IDirectDrawSurface7* GetMaskWorkSurface();  // null without one
MEMIMG* GetMaskMEMIMG();                    // the work MEMIMG while set up, else null

// The bracket around one draw; exactly one of targetSurface and targetImage is given.
// The rectangle is in target coordinates. Both return 0.
int SaveMaskBackground(int x1, int y1, int x2, int y2, IDirectDrawSurface7* targetSurface, GraphImage* targetImage);
int ApplyMaskAfterDraw(int x1, int y1, int x2, int y2, IDirectDrawSurface7* targetSurface, GraphImage* targetImage);
