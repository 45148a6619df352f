// QzGraphicsFront.cpp: the drawing front end's state: target selection with its camera,
// the draw area, the clear, the blend, bright and filter settings, and the subtract
// emulation. The Direct3D layer is told only while Direct3D drawing is usable; the 2D
// layer always.
#include "QzGraphicsFront.h"

#include <algorithm>

#include "Qz3DScene.h"
#include "Qz3DSprite.h"
#include "QzDraw2D.h"
#include "QzDrawPresent.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzDrawSurfaces.h"
#include "QzGraphicsData.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsMatrix.h"
#include "QzGraphicsMask.h"
#include "QzGraphicsSystem.h"
#include "QzWinLog.h"
#include "QzWinMessage.h"
#include "QzWinState.h"
#include "QzWinWindow.h"

namespace {

// The Direct3D and DirectDraw selection of a target; true when either layer took it.
bool SelectInLayers(int target) {
    const int d3d = IsDirect3DDrawingUsable() ? G_D3D_SelectDrawTarget(target) : -1;
    const int dd = SetDrawTargetSurface(target);
    return d3d == 0 || dd == 0;
}

RECT OriginFor(int target) {
    RECT origin = {0, 0, 0, 0};
    if (target == kDrawTargetFront && IsWindowMode() && !g_screen.softwareRender)
        GetWindowClientRect(&origin);
    return origin;
}

bool IsSoftwareFrontScreen() {
    return g_drawState.drawScreen == kDrawTargetFront && g_screen.softwareRender && g_screen.colorBitDepth != 8;
}

}  // namespace

int SelectDrawTarget(int target) {
    if (!IsGraphDataInitialized())
        return -1;
    WaitForWindowActive();
    const int masked = g_drawState.maskRequested;
    if (masked)
        EnableMaskDraw(0);
    // A raw slot number names a graphic only while its slot holds one.
    if (target >= 0 && target < kGraphTableSize && GetGraphTable()->records[target] == nullptr) {
        if (masked)
            EnableMaskDraw(1);
        return -1;
    }
    const int previous = g_drawState.drawScreen;
    const int previousWidth = g_drawState.drawScreenWidth, previousHeight = g_drawState.drawScreenHeight;
    const RECT previousOrigin = g_drawState.drawOrigin;
    g_drawState.drawScreen = target;
    g_drawState.drawOrigin = OriginFor(target);
    if (!SelectInLayers(target)) {
        g_drawState.drawScreen = previous;
        g_drawState.drawOrigin = previousOrigin;
        SelectInLayers(previous);
        if (masked)
            EnableMaskDraw(1);
        return -1;
    }
    int width = 0, height = 0;
    GetGraphDimensions(target, &width, &height);
    g_drawState.drawScreenWidth = width;
    g_drawState.drawScreenHeight = height;
    if (width == previousWidth && height == previousHeight) {
        const RECT area = g_drawState.drawArea;
        SetDrawClipArea(area.left, area.top, area.right, area.bottom);
    } else {
        SetDrawClipArea(0, 0, width, height);
    }
    SetupDrawTargetCamera(width, height);
    if (masked)
        EnableMaskDraw(1);
    return 0;
}

int GetSelectedDrawTarget() {
    return g_drawState.drawScreen;
}

int SetDrawClipArea(int x1, int y1, int x2, int y2) {
    WaitForWindowActive();
    g_windowSystem.drawArea = RECT{x1, y1, x2, y2};
    const int target = g_drawState.drawScreen;
    const char* name;
    int width = 0, height = 0;
    if (target == kDrawTargetFront) {
        name = "Front Buffer";
        GetScreenSize(&width, &height);
        if (IsWindowMode()) {
            // Only the part of the window on the desktop can be drawn.
            RECT client;
            GetWindowClientRect(&client);
            if (client.left < 0)
                x1 = -client.left;
            if (client.top < 0)
                y1 = -client.top;
            width = std::min(width, GetSystemMetrics(SM_CXSCREEN) - (int)client.left);
            height = std::min(height, GetSystemMetrics(SM_CYSCREEN) - (int)client.top);
        }
    } else if (target == kDrawTargetBack) {
        name = "Back Buffer";
        GetScreenSize(&width, &height);
    } else {
        name = "Image Buffer";
        if (GetGraphDimensions(target, &width, &height) != 0)
            return 0;
    }
    if (x1 > x2)
        std::swap(x1, x2);
    if (y1 > y2)
        std::swap(y1, y2);
    width = std::max(width, 0), height = std::max(height, 0);
    x1 = std::clamp(x1, 0, width), x2 = std::clamp(x2, 0, width);
    y1 = std::clamp(y1, 0, height), y2 = std::clamp(y2, 0, height);
    SetDrawAreaRect(RECT{x1, y1, x2, y2});
    if (!g_drawState.drawAreaEmpty) {
        if (IsDirect3DDrawingUsable() && G_D3D_SetClipViewport(&g_drawState.drawArea) != 0)
            WriteLogFormat("ビューポートの設定に失敗しました %s", name);
        Surface2DSetClipArea(&g_drawState.drawArea);
    }
    return 0;
}

int ClearDrawTarget() {
    WaitForWindowActive();
    if (IsDirect3DDrawingUsable())
        G_D3D_ClearDrawTarget();
    ClearDrawTarget2D();
    if (IsSoftwareFrontScreen()) {
        int width = 0, height = 0;
        GetScreenSize(&width, &height);
        const RECT whole = {0, 0, width, height};
        CopyFrontMEMIMGToPrimary(&whole);
    }
    return 0;
}

int SetDrawFilterMode(int mode) {
    if (mode == g_drawState.filterMode)
        return 0;
    WaitForWindowActive();
    g_drawState.filterMode = mode;
    if (IsDirect3DDrawingUsable())
        G_D3D_SetDrawFilterMode(mode);
    return 0;
}

int GetDrawFilterMode() {
    return g_drawState.filterMode;
}

int SetBlendMode(int mode, int parameter) {
    if (mode == g_drawState.blendMode && parameter == g_drawState.blendParam)
        return 0;
    WaitForWindowActive();
    g_drawState.blendMode = mode;
    g_drawState.blendParam = std::clamp(parameter, 0, 255);
    G_D3D_UpdateDiffuseColor(0, 0);
    return 0;
}

int SelectBlendGraph(int handle, int borderParam, int borderRange) {
    DrawState& ds = g_drawState;
    if (handle == ds.blendGraph && borderParam == ds.blendGraphBorderParam && borderRange == ds.blendGraphBorderRange)
        return 0;
    GraphData* graph = nullptr;
    if (handle != -1) {
        graph = GetGraphData(handle);
        if (graph == nullptr)
            return -1;
    }
    WaitForWindowActive();
    ds.blendGraph = handle;
    ds.blendGraphBorderParam = std::clamp(borderParam, 0, 255);
    ds.blendGraphBorderRange = std::clamp(borderRange, 0, 255);
    if (IsDirect3DDrawingUsable())
        G_D3D_SelectBlendGraph(graph, ds.blendGraphBorderParam, ds.blendGraphBorderRange);
    SetupBlendGraphTable(graph, ds.blendGraphBorderParam, ds.blendGraphBorderRange);
    return 0;
}

void SetBrightColorPacked(uint32_t rgb) {
    rgb &= 0xFFFFFF;
    if (rgb == g_drawState.brightColor)
        return;
    g_drawState.brightColor = rgb;
    G_D3D_UpdateDiffuseColor2();
}

int SetBrightColor(int r, int g, int b) {
    const uint32_t c = g_drawState.brightColor;
    if (r == (int)(c >> 16 & 0xFF) && g == (int)(c >> 8 & 0xFF) && b == (int)(c & 0xFF))
        return 0;
    g_drawState.brightColor = (uint32_t)std::clamp(r, 0, 255) << 16 | (uint32_t)std::clamp(g, 0, 255) << 8 |
                              (uint32_t)std::clamp(b, 0, 255);
    if (IsDirect3DDrawingUsable())
        G_D3D_UpdateDiffuseColor2();
    return 0;
}

namespace {

// The remembered settings of the draw inside the subtract bracket.
uint32_t g_subtractBright = 0xFFFFFF;
int g_subtractParam = 0;

// A white box in mode 3 at full strength turns the rectangle into its complement.
void InvertRect(const RECT* rect) {
    g_drawState.brightColor = 0xFFFFFF;
    G_D3D_UpdateDiffuseColor2();
    SetBlendMode(3, 255);
    G_D3D_FillBox(rect->left, rect->top, rect->right, rect->bottom, GetScreenColorValue(255, 255, 255));
    g_drawState.brightColor = g_subtractBright;
    G_D3D_UpdateDiffuseColor2();
}

}  // namespace

int BeginSubtractBlendDraw(const RECT* rect) {
    g_subtractBright = g_drawState.brightColor;
    g_subtractParam = g_drawState.blendParam;
    InvertRect(rect);
    SetBlendMode(5, g_subtractParam);
    return 0;
}

int EndSubtractBlendDraw(const RECT* rect) {
    InvertRect(rect);
    SetBlendMode(3, g_subtractParam);
    return 0;
}
