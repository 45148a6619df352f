// QzGraphicsFront.cpp: ClearDrawTarget of the drawing front end (the DirectDraw part).
#include "QzGraphicsFront.h"

#include "QzDrawScreen.h"
#include "QzDrawSurfaces.h"
#include "QzGraphicsDrawState.h"
#include "QzWinWindow.h"
#include "QzWinMessage.h"

int ClearDrawTarget() {
    WaitForWindowActive();
    ClearDrawTarget2D();
    return 0;
}

int SelectDrawTarget(int target) {
    // Graphic targets need the graphic table, which does not exist yet.
    if (target != kDrawTargetFront && target != kDrawTargetBack)
        return -1;
    WaitForWindowActive();
    g_drawState.drawScreen = target;
    int width = 0, height = 0;
    GetScreenSize(&width, &height);
    g_drawState.drawScreenWidth = width;
    g_drawState.drawScreenHeight = height;
    SetDrawAreaRect(RECT{0, 0, width, height});
    g_drawState.drawOrigin = RECT{0, 0, 0, 0};
    if (target == kDrawTargetFront && IsWindowMode() && !g_screen.softwareRender)
        GetWindowClientRect(&g_drawState.drawOrigin);
    SetDrawTargetSurface(target);
    return 0;
}
