// QzGraphicsDrawState.h: DrawState, the settings every drawing path reads (draw target,
// draw area, blend mode, bright colour, blend graphic, filter, masking), and ClipRect,
// the rectangle clip that subsystems 2, 7 and 8 share.
//
// One instance, cleared by graphics start-up. Main thread under the library lock;
// ClipRect takes no lock and touches nothing but its arguments.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// Draw targets that are not graphic handles.
constexpr int kDrawTargetFront = -4;
constexpr int kDrawTargetBack = -2;

struct DrawState {
    int32_t drawScreen;           // -4 front, -2 back, or a graphic handle
    int32_t targetInVideoMemory;  // the target's surface lies in video memory
    RECT drawOrigin;              // where the target's pixels lie on the surface written
    RECT drawArea;                // clip rectangle in target coordinates, right/bottom exclusive
    float drawAreaF[4];           // drawArea as floats, kept equal
    int32_t drawScreenWidth;
    int32_t drawScreenHeight;
    int32_t zEnable;
    int32_t zWriteEnable;
    int32_t filterMode;  // 0 nearest, 1 bilinear
    int32_t blendMode;   // 0 none, 1 alpha, 2 add, 3 subtract, 4 multiply (5 inside the subtract emulation)
    int32_t blendParam;  // 0..255
    int32_t blendGraph;  // graphic handle, -1 none
    int32_t blendGraphBorderParam;
    int32_t blendGraphBorderRange;
    uint32_t brightColor;  // 0xRRGGBB; 0xFFFFFF is no change
    int32_t maskRequested;
    int32_t maskWorkInVideoMemory;
    int32_t maskActive;
    int32_t drawAreaEmpty;  // drawArea has zero width or height
};

extern DrawState g_drawState;

// Clips rect in place into clip (which must not be reversed). An inverted rect first
// collapses to zero width or height. An empty result has left = right or top = bottom.
// Returns 0.
int ClipRect(RECT* rect, const RECT* clip);

// Stores drawArea and its float copy and the empty flag.
void SetDrawAreaRect(const RECT& area);
