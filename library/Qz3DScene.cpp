// Qz3DScene.cpp: boxes, render targets, clearing and filling texture graphics, the
// read-back dispatcher, the transforms and the end of the scene.
//
// Boxes draw untextured (vertex format 0): the vertex colour is the box colour scaled by
// the diffuse colour's channels, its alpha the diffuse alpha, so the blend modes act on
// boxes as on sprites. Texture graphics are cleared and filled piece by piece, over each
// piece's own region, so a derived graphic never wipes its parent or its siblings.
#include "Qz3DScene.h"

#include <algorithm>
#include <cstring>

#include "Qz3DCapture.h"
#include "Qz3DDevice.h"
#include "Qz3DSprite.h"
#include "Qz3DSystem.h"
#include "Qz3DTexture.h"
#include "QzDraw2D.h"
#include "QzDraw2DDraw.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzGraphicsMask.h"
#include "QzDrawSurfaceData.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsSystem.h"
#include "QzWinLog.h"
#include "QzWinWindow.h"

namespace {

// The order in which the read-back methods are tried.
int (*const kCaptureMethods[])(int, int, int, int, GraphData*, int) = {
    G_D3D_GetDrawScreenGraphFunction5, G_D3D_GetDrawScreenGraphFunction1, G_D3D_GetDrawScreenGraphFunction3,
    G_D3D_GetDrawScreenGraphFunction2, G_D3D_GetDrawScreenGraphFunction4,
};
constexpr int kCaptureMethodCount = 5;

int CurrentSlot() {
    return g_d3d.currentSlot;
}

void Unbind(D3DDeviceSlot* s) {
    if (s->texture != nullptr || s->force) {
        G_D3D_FlushSlotVertexBatch(CurrentSlot());
        s->textureDirty = 1;
        if (s->texture != nullptr)
            s->stateDirty = 1;
        s->texture = nullptr;
    }
}

// The box colour through the diffuse colour: each channel scaled, the diffuse alpha kept.
uint32_t BoxColor(uint32_t color) {
    int r = 0, g = 0, b = 0;
    GetColorValueRGB(color, &r, &g, &b);
    uint32_t d = G_D3D_GetDiffuseColor();
    uint32_t dr = d >> 16 & 0xFF, dg = d >> 8 & 0xFF, db = d & 0xFF, da = d >> 24;
    return (dr * (uint32_t)r / 255) << 16 | (dg * (uint32_t)g / 255) << 8 | (db * (uint32_t)b / 255) | da << 24;
}

D3DVertexColor* ReserveColorVertices(D3DDeviceSlot* s, D3DPRIMITIVETYPE primitive, int count) {
    if (s->batchCount > 0 &&
        (s->batchPrimitive != primitive || s->batchCount + count > kD3DBatchCapacity[s->batchFormat]))
        G_D3D_FlushSlotVertexBatch(CurrentSlot());
    s->batchPrimitive = primitive;
    return (D3DVertexColor*)s->batchWrite;
}

void Put(D3DVertexColor* v, float x, float y, uint32_t color) {
    v->x = x;
    v->y = y;
    v->diffuse = color;
}

// Fills a piece's own region of its store with a raw value (and its depth buffer).
void FillPieceRegion(const Surface3DData* p, SurfaceData* sd, uint32_t value, bool depthToo) {
    RECT region = {p->textureX, p->textureY, p->textureX + p->width, p->textureY + p->height};
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    if (depthToo && sd->zSurface) {
        fx.dwFillDepth = 0xFFFF;
        sd->zSurface->Blt(&region, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx);
    }
    if (sd->surface) {
        fx.dwFillColor = value;
        sd->surface->Blt(&region, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    }
}

}  // namespace

int G_D3D_FillBox(int x1, int y1, int x2, int y2, uint32_t color) {
    if (g_d3d.direct3D == nullptr)
        return -1;
    if (g_d3d.cpuTarget)
        return FillBoxByCpu(x1, y1, x2, y2, color);
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(CurrentSlot());
    if (s == nullptr)
        return -1;
    RECT r = {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    ClipRect(&r, &g_drawState.drawArea);
    if (r.right == r.left || r.bottom == r.top)
        return 0;
    G_D3D_BeginScene(CurrentSlot());
    Unbind(s);
    G_D3D_SetupDrawGraphStates(nullptr, 0);
    uint32_t c = BoxColor(color);
    float left = (float)(r.left + g_drawState.drawOrigin.left), right = (float)(r.right + g_drawState.drawOrigin.left);
    float top = (float)(r.top + g_drawState.drawOrigin.top), bottom = (float)(r.bottom + g_drawState.drawOrigin.top);
    if (s->stateDirty || s->textureDirty)
        G_D3D_ApplyStates(CurrentSlot());
    if (s->batchFormat == 0) {
        D3DVertexColor* v = ReserveColorVertices(s, D3DPT_TRIANGLELIST, 6);
        Put(&v[0], left, top, c);
        Put(&v[1], right, top, v[1].diffuse);
        Put(&v[2], left, bottom, v[2].diffuse);
        Put(&v[3], right, bottom, c);
        Put(&v[4], left, bottom, v[4].diffuse);
        Put(&v[5], right, top, v[5].diffuse);
        s->batchWrite += 6 * sizeof(D3DVertexColor);
        s->batchCount += 6;
    }
    if (g_d3d.frontTarget)
        G_D3D_EndScene();
    return 0;
}

int G_D3D_OutlineBox(int x1, int y1, int x2, int y2, uint32_t color) {
    if (g_d3d.direct3D == nullptr)
        return -1;
    // Each axis in order on its own: swapping whole corners would leave a box given as
    // (right, top, left, bottom) upside down.
    if (x1 > x2)
        std::swap(x1, x2);
    if (y1 > y2)
        std::swap(y1, y2);
    if (g_d3d.cpuTarget)
        return OutlineBoxByCpu(x1, y1, x2, y2, color);
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(CurrentSlot());
    if (s == nullptr)
        return -1;
    if (!s->sceneOpen)
        G_D3D_BeginScene(CurrentSlot());
    if (s->texture != nullptr)
        Unbind(s);
    G_D3D_SetupDrawGraphStates(nullptr, 0);
    if (s->stateDirty || s->textureDirty)
        G_D3D_ApplyStates(CurrentSlot());
    uint32_t c = BoxColor(color);
    float L = (float)(x1 + g_drawState.drawOrigin.left), T = (float)(y1 + g_drawState.drawOrigin.top);
    float R = (float)(x2 + g_drawState.drawOrigin.left - 1), B = (float)(y2 + g_drawState.drawOrigin.top - 1);
    if (s->batchFormat == 0) {
        D3DVertexColor* v = ReserveColorVertices(s, D3DPT_LINELIST, 8);
        // Each line ends short of its last pixel's centre, so no corner is drawn twice.
        Put(&v[0], L, T, c);
        Put(&v[1], R - 0.1f, T, c);
        Put(&v[2], R, T, c);
        Put(&v[3], R, B - 0.1f, c);
        Put(&v[4], L, B, c);
        Put(&v[5], R + 0.9f, B, c);
        Put(&v[6], L, T + 1.0f, c);
        Put(&v[7], L, B - 0.1f, c);
        s->batchWrite += 8 * sizeof(D3DVertexColor);
        s->batchCount += 8;
    }
    if (g_d3d.frontTarget)
        G_D3D_EndScene();
    return 0;
}

int G_D3D_CaptureDrawTarget(int x1, int y1, int x2, int y2, GraphData* graph, int clientCoords) {
    if (g_d3d.direct3D == nullptr)
        return -1;
    if (g_d3d.cpuTarget)
        return 0;
    G_D3D_FlushVertexBatch();
    G_D3D_EndScene();
    const Surface3DData* first = graph && graph->pieceCount > 0 ? GetSurface3DData(graph->pieces[0]) : nullptr;
    SurfaceData* sd = GetSurface3DStore(first);
    if (sd == nullptr)
        return -1;
    int32_t& remembered = g_d3d.captureMethod[sd->alphaChannel || sd->transColorUse ? 1 : 0];
    int result = -1;
    if (remembered >= 0 && remembered < kCaptureMethodCount) {
        result = kCaptureMethods[remembered](x1, y1, x2, y2, graph, clientCoords);
        if (result >= 0)
            return result;
    }
    for (remembered = 0; remembered < kCaptureMethodCount; ++remembered) {
        result = kCaptureMethods[remembered](x1, y1, x2, y2, graph, clientCoords);
        if (result == 0)
            break;
    }
    if (result < 0)
        remembered = -1;
    return result;
}

int G_D3D_FillGraph(GraphData* graph, int r, int g, int b, int a) {
    if (g_d3d.direct3D == nullptr || graph == nullptr)
        return -1;
    if (g_d3d.cpuTarget)
        return 0;
    G_D3D_FlushVertexBatch();
    for (int i = 0; i < graph->pieceCount && i < kGraphMaxPieces; ++i) {
        const Surface3DData* p = GetSurface3DData(graph->pieces[i]);
        SurfaceData* sd = GetSurface3DStore(p);
        if (sd == nullptr)
            return -1;
        FillPieceRegion(p, sd, PackPixelRGBA(G_D3D_GetTextureColorFormat(sd->formatIndex), r, g, b, a), false);
    }
    return 0;
}

int G_D3D_SelectDrawTarget(int target) {
    if (g_d3d.direct3D == nullptr)
        return 0;
    int slot = CurrentSlot();
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return 0;
    G_D3D_FlushVertexBatch();
    G_D3D_EndScene();
    G_D3D_SetRenderTarget(nullptr, slot);
    Unbind(s);
    if (target == kDrawTargetFront) {
        G_D3D_SetRenderTarget(GetPrimarySurface(), slot);
        g_d3d.cpuTarget = 0;
        g_d3d.frontTarget = 1;
        return 0;
    }
    if (target == kDrawTargetBack) {
        G_D3D_SetRenderTarget(GetBackSurface(), slot);
        g_d3d.cpuTarget = 0;
        g_d3d.frontTarget = 0;
        return 0;
    }
    GraphData* graph = GetGraphData(target);
    if (graph == nullptr)
        return -1;
    if (graph->pieceCount != 1) {
        // Direct3D draws into one texture only: the CPU path takes this target, and
        // Direct3D draws do nothing until another target is chosen.
        g_d3d.cpuTarget = 1;
        g_d3d.frontTarget = 0;
        return -1;
    }
    if (graph->useTexture) {
        SurfaceData* sd = GetSurface3DStore(GetSurface3DData(graph->pieces[0]));
        if (sd == nullptr || sd->drawValid != 1)
            return -1;
        G_D3D_SetRenderTarget(sd->surface, slot);
    } else {
        Surface2D* piece = GetSurface2D(graph->pieces[0]);
        SurfaceData* sd = piece ? GetSurfaceData(piece->store) : nullptr;
        if (sd == nullptr)
            return -1;
        if (sd->systemMemory) {
            g_d3d.cpuTarget = 1;
            return -1;
        }
        G_D3D_SetRenderTarget(sd->surface, slot);
    }
    g_d3d.cpuTarget = 0;
    g_d3d.frontTarget = 0;
    return 0;
}

int G_D3D_ClearDrawTarget() {
    if (g_d3d.direct3D == nullptr)
        return -1;
    G_D3D_FlushVertexBatch();
    G_D3D_EndScene();
    int target = g_drawState.drawScreen;
    if (target == kDrawTargetFront || target == -3 || target == kDrawTargetBack)
        return 0;
    GraphData* graph = GetGraphData(target);
    if (graph == nullptr || !graph->useTexture)
        return 0;
    if (graph->pieceCount < 1)
        return -1;
    for (int i = 0; i < graph->pieceCount && i < kGraphMaxPieces; ++i) {
        const Surface3DData* p = GetSurface3DData(graph->pieces[i]);
        SurfaceData* sd = GetSurface3DStore(p);
        if (sd == nullptr)
            return -1;
        FillPieceRegion(p, sd, 0, true);
    }
    return 0;
}

int G_D3D_ResetRenderTarget(int maskFlag) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(CurrentSlot());
    if (s == nullptr)
        return -1;
    G_D3D_FlushVertexBatch();
    IDirectDrawSurface7* surface = maskFlag ? GetMaskWorkSurface() : GetDrawTargetSurface();
    if (maskFlag && surface == nullptr)
        return -1;
    G_D3D_SetRenderTarget(surface, CurrentSlot());
    bool windowFront = GetDrawTargetSurface() == GetPrimarySurface() && IsWindowMode();
    if (!(windowFront && maskFlag)) {
        G_D3D_SetClipViewport(&g_drawState.drawArea);
        return 0;
    }
    g_d3d.cpuTarget = 0;
    const RECT& a = g_drawState.drawArea;
    D3DVIEWPORT7 viewport = {(DWORD)a.left, (DWORD)a.top, (DWORD)(a.right - a.left), (DWORD)(a.bottom - a.top), 0.0f,
                             1.0f};
    if (G_D3D_SetViewport(&viewport, CurrentSlot()) != 0)
        return WriteLog("ビューポートのセットに失敗しました\n");
    return 0;
}

int G_D3D_SetWorldMatrix(const Matrix* matrix) {
    return G_D3D_SetWorldTransform(matrix, CurrentSlot());
}

int G_D3D_SetViewMatrix(const Matrix* matrix) {
    return G_D3D_SetViewTransform(matrix, CurrentSlot());
}

int G_D3D_SetProjectionMatrix(const Matrix* matrix) {
    return G_D3D_SetProjectionTransform(matrix, CurrentSlot());
}

int G_D3D_EndScene() {
    return G_D3D_FlushAndEndScene(CurrentSlot());
}
