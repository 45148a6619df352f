// QzGraphicsDrawState.cpp: the draw state record and the rectangle clip.
#include "QzGraphicsDrawState.h"

// The values graphics start-up gives, from process start on: front screen, no blend
// graphic, no brightness change, depth writes on.
DrawState g_drawState = [] {
    DrawState d = {};
    d.drawScreen = kDrawTargetFront;
    d.zWriteEnable = 1;
    d.blendGraph = -1;
    d.brightColor = 0xFFFFFF;
    return d;
}();

int ClipRect(RECT* rect, const RECT* clip) {
    if (rect->left > rect->right)
        rect->right = rect->left;
    if (rect->top > rect->bottom)
        rect->bottom = rect->top;

    if (rect->bottom > clip->bottom)
        rect->bottom = clip->bottom;
    else if (rect->bottom < clip->top)
        rect->bottom = clip->top;
    if (rect->top > clip->bottom)
        rect->top = clip->bottom;
    else if (rect->top < clip->top)
        rect->top = clip->top;

    if (rect->right > clip->right)
        rect->right = clip->right;
    else if (rect->right < clip->left)
        rect->right = clip->left;
    if (rect->left > clip->right)
        rect->left = clip->right;
    else if (rect->left < clip->left)
        rect->left = clip->left;
    return 0;
}

void SetDrawAreaRect(const RECT& area) {
    g_drawState.drawArea = area;
    g_drawState.drawAreaF[0] = (float)area.left;
    g_drawState.drawAreaF[1] = (float)area.top;
    g_drawState.drawAreaF[2] = (float)area.right;
    g_drawState.drawAreaF[3] = (float)area.bottom;
    g_drawState.drawAreaEmpty = area.left == area.right || area.top == area.bottom ? 1 : 0;
}
