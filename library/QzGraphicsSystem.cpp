// QzGraphicsSystem.cpp: graphics start-up and end, the creation settings, and graphics
// management start and end.
#include "QzGraphicsSystem.h"

#include "Qz3DDevice.h"
#include "Qz3DSystem.h"
#include "QzDraw2D.h"
#include "QzDrawDevice.h"
#include "QzDrawScreen.h"
#include "QzGraphicsData.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFont.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsMatrix.h"
#include "QzGraphicsMask.h"
#include "Qz3DScene.h"
#include "Qz3DSprite.h"
#include "QzWinLog.h"
#include "QzWinMessage.h"

// The settings after graphics start-up, from process start on.
GraphCreateSettings g_graphCreateSettings = [] {
    GraphCreateSettings g = {};
    g.use3D = 1;
    g.transColorUse = 1;
    return g;
}();

namespace {
HWND g_window = nullptr;
int g_initialized = 0;
int g_direct3DUsable = 0;
}  // namespace

int InitializeGraphicsSystem(HWND window) {
    g_window = window;
    InitializeDirectDraw();
    return 0;
}

int TerminateGraphicsSystem() {
    TerminateDirectDraw();
    return 0;
}

HWND GetGraphicsWindow() {
    return g_window;
}

int InitializeGraphData() {
    if (g_initialized)
        return 0;
    WriteLog("グラフィック管理系の初期化を行います\n");
    IndentLog();
    // Everything of graphics management starts afresh; the recovery handler stays.
    ResetGraphTable();
    RestartFontCheckCounter();
    g_drawState = DrawState{};
    g_graphCreateSettings = GraphCreateSettings{};
    ClearStoredMatrices();
    ResetMaskScreenState();
    g_drawState.blendGraph = -1;
    g_drawState.zEnable = 0;
    g_drawState.zWriteEnable = 1;
    g_drawState.filterMode = 0;
    g_drawState.blendMode = 0;
    g_drawState.brightColor = 0xFFFFFF;
    g_graphCreateSettings.use3D = 1;
    g_graphCreateSettings.transColorUse = 1;
    g_initialized = 1;

    // The Direct3D layer's diffuse colour follows the fresh blend and bright settings.
    G_D3D_UpdateDiffuseColor2();

    DeleteAllSurface2DIfReady();
    g_direct3DUsable = g_d3d.direct3D != nullptr ? 1 : 0;
    WriteLog(g_direct3DUsable ? "３Ｄグラフィック描画機能を使用します\n" : "３Ｄグラフィック描画機能は使用しません\n");
    g_graphCreateSettings.colorBitDepth = 0;
    // Masking is asked for from the start; it comes into force only with a mask screen.
    g_drawState.maskRequested = 1;
    g_drawState.maskActive = g_maskScreen.maskExists ? 1 : 0;

    g_drawState.drawScreen = kDrawTargetBack;
    SelectDrawTarget(kDrawTargetFront);
    int width = 0, height = 0;
    GetScreenSize(&width, &height);
    SetDrawClipArea(0, 0, width, height);
    // The default font starts from its fixed settings (the mode change re-applies size
    // and thickness afterwards).
    g_defaultFont = DefaultFontSettings{"", 16, 6, 0, 1, 1, 0, -1};
    InitializeFonts();
    UnindentLog();
    WriteLog("グラフィック管理系の初期化は正常に終了しました\n");
    return 0;
}

int TerminateGraphData() {
    if (!g_initialized)
        return 0;
    RemoveMaskScreen();
    DeleteAllMemBlockData();
    DeleteAllGraphs(0);
    TerminateFonts();
    g_initialized = 0;
    WriteLog("グラフィック管理系の終了処理は正常に終了しました\n");
    return 0;
}

int IsGraphDataInitialized() {
    return g_initialized;
}

int IsDirect3DDrawingUsable() {
    return g_direct3DUsable;
}

int IsGraph3DUsable() {
    return g_graphCreateSettings.use3D && g_direct3DUsable && !g_screen.softwareRender &&
                   G_D3D_GetCurrentDevice() != nullptr
               ? 1
               : 0;
}

int GetGraphDibOption() {
    return g_graphCreateSettings.dibOption;
}

int SetNewGraph3DFlag(int flag) {
    g_graphCreateSettings.use3D = flag;
    if (GetDirectDrawObject() == nullptr)
        SetDisable3DFlag(flag ? 0 : 1);
    return 0;
}

int SetNewGraphTransColorFlag(int flag) {
    g_graphCreateSettings.transColorUse = flag;
    return 0;
}

int GetNewGraphTransColorFlag() {
    return g_graphCreateSettings.transColorUse;
}

int SetNewGraphDrawValidFlag(int flag) {
    g_graphCreateSettings.drawValid = flag;
    return 0;
}

int SetNewGraphSystemMemFlag(int flag) {
    g_graphCreateSettings.systemMemory = flag;
    return 0;
}

int GetNewGraphSystemMemFlag() {
    return g_graphCreateSettings.systemMemory;
}

int SetNewGraphBitDepth(int depth) {
    g_graphCreateSettings.colorBitDepth = depth;
    return 0;
}

int GetNewGraphBitDepth() {
    return g_graphCreateSettings.colorBitDepth;
}

int SetNewGraphAlphaFlag(int flag) {
    g_graphCreateSettings.alphaChannel = flag;
    return 0;
}

int GetNewGraphAlphaFlag() {
    return g_graphCreateSettings.alphaChannel;
}

int SetDrawOriginRect(const RECT* rect) {
    g_drawState.drawOrigin = *rect;
    return 0;
}

int GetScreenModeInfo(int* width, int* height, int* colorBitDepth) {
    GetScreenSize(width, height);
    if (colorBitDepth != nullptr)
        *colorBitDepth = GetColorBitDepth();
    return 0;
}

int CaptureDrawTargetToGraph(int x1, int y1, int x2, int y2, int handle, int option) {
    GraphData* graph = GetGraphData(handle);
    if (graph == nullptr)
        return -1;
    WaitForWindowActive();
    G_D3D_EndScene();
    if (graph->useTexture)
        return G_D3D_CaptureDrawTarget(x1, y1, x2, y2, graph, option);
    return CaptureDrawTargetToSurface2D(x1, y1, x2, y2, graph);
}
