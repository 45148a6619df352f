// QzDrawScreen.cpp: the ScreenState record and its plain accessors.
#include "QzDrawScreen.h"

ScreenState g_screen;

int GetScreenSize(int* width, int* height) {
    if (width)
        *width = g_screen.width != 0 ? g_screen.width : 640;
    if (height)
        *height = g_screen.height != 0 ? g_screen.height : 480;
    return 0;
}

int GetColorBitDepth() {
    return g_screen.graphicsBitDepth != 0 ? g_screen.graphicsBitDepth : 16;
}

int GetScreenBitDepth() {
    return GetColorBitDepth();
}

int GetVBlankWaitFlag() {
    return g_screen.vblankWait;
}

int SetVBlankWaitFlag(int flag) {
    g_screen.vblankWait = flag;
    return 0;
}

int SetDisable3DFlag(int flag) {
    g_screen.disable3D = flag;
    return 0;
}

int GetDisable3DFlag() {
    return g_screen.disable3D;
}

int SetEndSceneBefore2DFlag(int flag) {
    g_screen.endSceneBefore2D = flag;
    return 0;
}

int GetSoftwareRenderFlag() {
    return g_screen.softwareRender;
}

int GetBltPresentFlag() {
    return g_screen.bltPresent;
}

int GetDisplayModeChangedFlag() {
    return g_screen.displayModeChanged;
}

int SetDisplayModeChangedFlag(int flag) {
    g_screen.displayModeChanged = flag;
    return 1;
}

IDirectDrawSurface7* GetDrawTargetSurface() {
    return g_screen.drawTarget.surface;
}

IDirectDrawSurface7* GetPrimarySurface() {
    return g_screen.primary;
}

IDirectDrawSurface7* GetBackSurface() {
    return g_screen.back;
}

IDirectDrawSurface7* GetWorkSurface() {
    return g_screen.work[0];
}

IDirectDraw7* GetDirectDrawObject() {
    return g_screen.directDraw;
}

bool IsSoftwareScreen() {
    return g_screen.softwareRender != 0 && g_screen.colorBitDepth != 8;
}
