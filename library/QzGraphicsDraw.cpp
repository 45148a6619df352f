// QzGraphicsDraw.cpp: the draws of the front end and the bracket they share.
//
// The bracket: nothing while the draw area is empty; the graphic and the blend graphic
// checked; the window waited for; the affected rectangle R worked out only when the mask,
// the software front screen or the subtract emulation needs it; the movie frame brought
// up to date; the mask background saved under R; the draw (wrapped in the subtract
// emulation for blend mode 3 on the Direct3D path); the mask applied under R; R copied
// from the software front screen to the primary surface.
#include "QzGraphicsDraw.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <initializer_list>

#include "Qz3DScene.h"
#include "Qz3DSprite.h"
#include "QzDraw2D.h"
#include "QzDraw2DDraw.h"
#include "QzDrawPresent.h"
#include "QzDrawScreen.h"
#include "QzGraphicsData.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsMovie.h"
#include "QzGraphicsSystem.h"
#include "QzWinMessage.h"

namespace {

bool IsSoftwareFrontScreen() {
    return g_drawState.drawScreen == kDrawTargetFront && g_screen.softwareRender && g_screen.colorBitDepth != 8;
}

// Boxes take the Direct3D path when new graphics may use 3D and Direct3D drawing is
// usable on a hardware-rendered screen.
bool BoxesUseDirect3D() {
    return g_graphCreateSettings.use3D && IsDirect3DDrawingUsable() && !g_screen.softwareRender;
}

// The graphic of a draw and its blend graphic check; null for a failed check.
GraphData* DrawnGraph(int handle) {
    GraphData* graph = GetGraphData(handle);
    if (graph == nullptr)
        return nullptr;
    if (g_drawState.blendGraph != -1) {
        GraphData* blend = GetGraphData(g_drawState.blendGraph);
        if (blend == nullptr || blend->width < graph->width || blend->height < graph->height)
            return nullptr;
    }
    return graph;
}

// Every screen and graphic lies well inside this many pixels of the origin. A draw whose
// box leaves it can show nothing, and is dropped before any edge is added up in 32 bits:
// sums of a few such values, the draw origin and the layers' own margins stay far from
// overflowing.
constexpr double kDrawReach = 1 << 28;

bool WithinReach(std::initializer_list<double> values) {
    for (double v : values)
        if (!(v >= -kDrawReach && v <= kDrawReach))  // NaN fails too
            return false;
    return true;
}

bool NeedsRect(bool direct3D) {
    return (g_drawState.blendMode == 3 && direct3D) || g_drawState.maskActive || IsSoftwareFrontScreen();
}

// Steps 6 to 11 of the bracket around the draw itself.
template <typename Draw>
int Bracket(RECT r, bool needed, bool direct3D, Draw draw) {
    if (needed)
        ClipRect(&r, &g_drawState.drawArea);
    if (needed && g_drawState.maskActive)
        BeginMaskedDraw(r.left, r.top, r.right, r.bottom);
    if (needed && IsSoftwareFrontScreen())
        RefreshFrontMEMIMG();
    int result;
    if (g_drawState.blendMode == 3 && direct3D) {
        BeginSubtractBlendDraw(&r);
        result = draw();
        EndSubtractBlendDraw(&r);
    } else {
        result = draw();
    }
    if (needed && g_drawState.maskActive)
        EndMaskedDraw(r.left, r.top, r.right, r.bottom);
    if (needed && IsSoftwareFrontScreen())
        CopyFrontMEMIMGToPrimary(&r);
    return result;
}

// The movie of a plain or stretched draw: its frame brought up to date; an overlay movie
// is placed on the screen instead and the draw gives -1.
bool ShowsOverlay(int handle, GraphData* graph, int x, int y, int scale) {
    if (graph->movie < 0)
        return false;
    UpdateGraphMovieFrame(handle);
    if (GetGraphMovieFrameMode(graph->movie) != 1)
        return false;
    UpdateMovieOverlay(x, y, scale, GetMovieData(graph->movie), 1);
    return true;
}

}  // namespace

int DrawPlainGraph(int x, int y, int handle, int transparent) {
    if (g_drawState.drawAreaEmpty)
        return 0;
    GraphData* graph = DrawnGraph(handle);
    if (graph == nullptr)
        return -1;
    if (!WithinReach({(double)x, (double)y, (double)x + graph->width, (double)y + graph->height}))
        return 0;
    WaitForWindowActive();
    const bool direct3D = graph->useTexture != 0;
    const bool needed = NeedsRect(direct3D);
    const RECT r = {x, y, x + graph->width, y + graph->height};
    if (ShowsOverlay(handle, graph, x, y, 1))
        return -1;
    return Bracket(r, needed, direct3D, [&] {
        return direct3D ? G_D3D_DrawGraph(x, y, graph, transparent, 1) : DrawGraphSurface2D(x, y, graph, transparent, 1);
    });
}

int DrawStretchedGraph(int x1, int y1, int x2, int y2, int handle, int transparent) {
    if (g_drawState.drawAreaEmpty)
        return 0;
    GraphData* graph = DrawnGraph(handle);
    if (graph == nullptr)
        return -1;
    if (!WithinReach({(double)x1, (double)y1, (double)x2, (double)y2}))
        return 0;
    WaitForWindowActive();
    const bool direct3D = graph->useTexture != 0;
    const bool needed = NeedsRect(direct3D);
    const RECT r = {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    if (ShowsOverlay(handle, graph, x1, y1, (x2 - x1) / graph->width))
        return -1;
    return Bracket(r, needed, direct3D, [&] {
        return direct3D ? G_D3D_DrawStretchedGraph(x1, y1, x2, y2, graph, transparent, 1)
                        : DrawGraphScaled2D(x1, y1, x2, y2, graph, transparent, 1, -1);
    });
}

int DrawScaleRotateGraph(int x, int y, double scale, double angle, int handle, int transparent, int mirror) {
    return DrawScaleRotateGraphCore((float)x, (float)y, scale, angle, handle, transparent, mirror);
}

int DrawScaleRotateGraphCore(float x, float y, double scale, double angle, int handle, int transparent, int mirror) {
    if (g_drawState.drawAreaEmpty)
        return 0;
    GraphData* graph = DrawnGraph(handle);
    if (graph == nullptr)
        return -1;
    // The turned image lies within its half diagonal (at most width + height) of the centre;
    // the angle must survive the layers' single precision.
    const double radius = std::fabs(scale) * ((double)graph->width + graph->height);
    if (!WithinReach({(double)x - radius, (double)x + radius, (double)y - radius, (double)y + radius}) ||
        !(std::fabs(angle) <= FLT_MAX))
        return 0;
    WaitForWindowActive();
    const bool direct3D = graph->useTexture != 0;
    const bool needed = NeedsRect(direct3D);
    RECT r = {0, 0, 0, 0};
    if (needed) {
        // The turned corners' bounding box, widened by 5 pixels.
        const int w = graph->width, h = graph->height, cx = w / 2, cy = h / 2;
        const double c = std::cos(angle), s = std::sin(angle);
        double left = 1e30, top = 1e30, right = -1e30, bottom = -1e30;
        for (auto [px, py] : {std::pair{-cx, -cy}, {w - cx, -cy}, {-cx, h - cy}, {w - cx, h - cy}}) {
            const double tx = x + scale * (px * c - py * s), ty = y + scale * (px * s + py * c);
            left = std::min(left, tx), right = std::max(right, tx);
            top = std::min(top, ty), bottom = std::max(bottom, ty);
        }
        r = RECT{(int)(left - 5), (int)(top - 5), (int)(right + 5), (int)(bottom + 5)};
    }
    if (graph->movie >= 0)
        UpdateGraphMovieFrame(handle);
    return Bracket(r, needed, direct3D, [&] {
        return direct3D ? G_D3D_DrawScaleRotateGraph(x, y, scale, angle, graph, transparent, mirror)
                        : DrawGraphRotated2D(x, y, scale, angle, graph, transparent, mirror);
    });
}

int DrawFreeQuadGraph(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int handle,
                      int transparent) {
    if (g_drawState.drawAreaEmpty)
        return 0;
    GraphData* graph = DrawnGraph(handle);
    if (graph == nullptr)
        return -1;
    if (!WithinReach({x1, y1, x2, y2, x3, y3, x4, y4}))
        return 0;
    WaitForWindowActive();
    const bool direct3D = graph->useTexture != 0;
    const bool needed = NeedsRect(direct3D);
    RECT r = {0, 0, 0, 0};
    if (needed) {
        // From the first corner, then widened to every other one.
        r = RECT{(int)x1, (int)y1, (int)x1, (int)y1};
        for (auto [px, py] : {std::pair{x2, y2}, {x3, y3}, {x4, y4}}) {
            r.left = std::min(r.left, (LONG)(int)px), r.right = std::max(r.right, (LONG)(int)px);
            r.top = std::min(r.top, (LONG)(int)py), r.bottom = std::max(r.bottom, (LONG)(int)py);
        }
    }
    if (graph->movie >= 0)
        UpdateGraphMovieFrame(handle);
    // The layers take the corners top-left, top-right, bottom-left, bottom-right.
    return Bracket(r, needed, direct3D, [&] {
        return direct3D ? G_D3D_DrawFreeQuadGraph(x1, y1, x2, y2, x4, y4, x3, y3, graph, transparent)
                        : DrawGraphQuad2DF(x1, y1, x2, y2, x4, y4, x3, y3, graph, transparent);
    });
}

int DrawMirroredGraph(int x, int y, int handle, int transparent) {
    GraphData* graph = GetGraphData(handle);
    if (graph == nullptr)
        return -1;
    if (!WithinReach({(double)x, (double)y, (double)x + graph->width, (double)y + graph->height}))
        return g_drawState.drawAreaEmpty || DrawnGraph(handle) != nullptr ? 0 : -1;
    return DrawStretchedGraph(x + graph->width, y, x, y + graph->height, handle, transparent);
}

namespace {

// Runs draw with the draw area narrowed to area (clipped to the current one), then puts
// both copies of the area back.
template <typename Draw>
int WithNarrowedArea(RECT area, Draw draw) {
    const RECT saved = g_drawState.drawArea;
    ClipRect(&area, &saved);
    SetDrawAreaRect(area);
    const int result = draw();
    SetDrawAreaRect(saved);
    return result;
}

int Truncate(double v) {
    return (int)v;
}

}  // namespace

int DrawGraphSourceRect(int x, int y, int sourceX, int sourceY, int width, int height, int handle, int transparent,
                        int mirror) {
    GraphData* graph = GetGraphData(handle);
    if (graph == nullptr)
        return -1;
    if (!WithinReach({(double)x, (double)y, (double)sourceX, (double)sourceY, (double)width, (double)height}))
        return 0;
    const int graphWidth = graph->width;
    return WithNarrowedArea(RECT{x, y, x + width, y + height}, [&] {
        return mirror ? DrawMirroredGraph(x + sourceX + width - graphWidth, y - sourceY, handle, transparent)
                      : DrawPlainGraph(x - sourceX, y - sourceY, handle, transparent);
    });
}

int DrawGraphSourceRectStretched(int x1, int y1, int x2, int y2, int sourceX, int sourceY, int sourceWidth,
                                 int sourceHeight, int handle, int transparent) {
    GraphData* graph = GetGraphData(handle);
    if (graph == nullptr || sourceWidth < 1 || sourceHeight < 1)
        return -1;
    const bool mirrorX = x2 < x1, mirrorY = y2 < y1;
    const int left = std::min(x1, x2), right = std::max(x1, x2), top = std::min(y1, y2), bottom = std::max(y1, y2);
    const int w = graph->width, h = graph->height;
    if (!WithinReach({(double)x1, (double)y1, (double)x2, (double)y2, (double)sourceX, (double)sourceY}))
        return 0;
    const double sx = (double)(right - left) / sourceWidth, sy = (double)(bottom - top) / sourceHeight;
    const double beforeX = sourceX * sx, afterX = (w - sourceX) * sx;
    const double beforeY = sourceY * sy, afterY = (h - sourceY) * sy;
    if (!WithinReach({beforeX, afterX, beforeY, afterY}))
        return 0;
    const int X1 = mirrorX ? right + Truncate(beforeX) : left - Truncate(beforeX);
    const int X2 = mirrorX ? right - Truncate(afterX) : left + Truncate(afterX);
    const int Y1 = mirrorY ? bottom + Truncate(beforeY) : top - Truncate(beforeY);
    const int Y2 = mirrorY ? bottom - Truncate(afterY) : top + Truncate(afterY);
    return WithNarrowedArea(RECT{left, top, right, bottom},
                            [&] { return DrawStretchedGraph(X1, Y1, X2, Y2, handle, transparent); });
}

int FillGraphColor(int handle, int r, int g, int b, int a) {
    GraphData* graph = GetGraphData(handle);
    if (graph == nullptr)
        return -1;
    return graph->useTexture ? G_D3D_FillGraph(graph, r, g, b, a) : FillGraphSurfaces2D(graph, r, g, b, a);
}

int DrawRectangle(int x1, int y1, int x2, int y2, uint32_t color, int fill) {
    return fill ? DrawFilledBox(x1, y1, x2, y2, color) : DrawBoxOutline(x1, y1, x2, y2, color);
}

namespace {

// A box through the draw bracket, on Direct3D or by the CPU as the screen allows.
template <typename Direct3DBox, typename CpuBox>
int DrawBox(int x1, int y1, int x2, int y2, Direct3DBox direct3DBox, CpuBox cpuBox) {
    if (g_drawState.drawAreaEmpty || !WithinReach({(double)x1, (double)y1, (double)x2, (double)y2}))
        return 0;
    WaitForWindowActive();
    const bool direct3D = BoxesUseDirect3D();
    // Either corner order names the same box.
    const RECT r = {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    return Bracket(r, NeedsRect(direct3D), direct3D, [&] { return direct3D ? direct3DBox() : cpuBox(); });
}

}  // namespace

int DrawFilledBox(int x1, int y1, int x2, int y2, uint32_t color) {
    return DrawBox(
        x1, y1, x2, y2, [&] { return G_D3D_FillBox(x1, y1, x2, y2, color); },
        [&] { return FillBoxByCpu(x1, y1, x2, y2, color); });
}

int DrawBoxOutline(int x1, int y1, int x2, int y2, uint32_t color) {
    return DrawBox(
        x1, y1, x2, y2, [&] { return G_D3D_OutlineBox(x1, y1, x2, y2, color); },
        [&] { return OutlineBoxByCpu(x1, y1, x2, y2, color); });
}
