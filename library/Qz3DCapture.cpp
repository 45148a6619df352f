// Qz3DCapture.cpp: the five read-back methods (see Qz3DCapture.h).
//
// Every method works piece by piece: a piece whose place (x1 + piece x, y1 + piece y)
// lies inside the read area takes its visible size clipped to the area's right and
// bottom edges, read from that place on the draw target's surface (moved by the draw
// origin) into the piece's texture position. Methods 3 and 4 go through a temporary
// texture but move only the covered rectangle on into the piece's texture.
#include "Qz3DCapture.h"

#include <algorithm>
#include <cstring>

#include "Qz3DDevice.h"
#include "Qz3DSystem.h"
#include "Qz3DTexture.h"
#include "QzDrawConvert.h"
#include "QzDrawPresent.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzDrawSurfaceData.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsSystem.h"
#include "QzWinLog.h"
#include "QzWinWindow.h"
#include "platform/gdi.h"
#include "platform/winuser.h"

namespace {

struct ReadArea {
    int width, height;      // of the draw target, or of the desktop
    int originX, originY;   // where the target's (0, 0) lies on its surface
    bool desktop;
    IDirectDrawSurface7* source;
};

// The read area, after the rectangle checks that come before anything is touched.
bool PrepareRead(int x1, int y1, int x2, int y2, const GraphData* graph, int clientCoords, ReadArea* area) {
    if (graph == nullptr)
        return false;
    const DrawState& ds = g_drawState;
    area->desktop = clientCoords == 0 && IsWindowMode() && ds.drawScreen == kDrawTargetFront;
    if (area->desktop) {
        area->width = GetSystemMetrics(SM_CXSCREEN);
        area->height = GetSystemMetrics(SM_CYSCREEN);
        area->originX = area->originY = 0;
    } else {
        if (ds.drawScreen == kDrawTargetFront || ds.drawScreen == kDrawTargetBack) {
            GetScreenSize(&area->width, &area->height);
        } else {
            const GraphData* target = GetGraphData(ds.drawScreen);
            if (target == nullptr)
                return false;
            area->width = target->width;
            area->height = target->height;
        }
        area->originX = ds.drawOrigin.left;
        area->originY = ds.drawOrigin.top;
    }
    if (x1 < 0 || y1 < 0 || x2 <= x1 || y2 <= y1 || x1 > area->width || y1 > area->height)
        return false;
    if (graph->width < x2 - x1 || graph->height < y2 - y1)
        return false;
    area->source = GetDrawTargetSurface();
    return area->source != nullptr;
}

// The part of a piece the read covers: its rectangle on the source surface. False when
// nothing of it lies inside the area.
bool CoveredPart(const ReadArea& area, int x1, int y1, const Surface3DData* p, RECT* source) {
    int px = x1 + p->x, py = y1 + p->y;
    if (px > area.width || py > area.height)
        return false;
    int w = std::min((int)p->width, area.width - px), h = std::min((int)p->height, area.height - py);
    if (w <= 0 || h <= 0)
        return false;
    *source = RECT{area.originX + px, area.originY + py, area.originX + px + w, area.originY + py + h};
    return true;
}

bool LockWhole(IDirectDrawSurface7* surface, DDSURFACEDESC2* desc, HRESULT* result) {
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = sizeof *desc;
    *result = surface->Lock(nullptr, desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
    return *result == DD_OK;
}

// The texts of methods 3 and 4, which share their first steps.
struct TemporaryTexts {
    const char* sourceDc;
    const char* create;
    const char* temporaryDc;
    const char* bitBlt;
    const char* releaseDc;
};
const TemporaryTexts kTexts3 = {
    "Error  G_D3D_GetDrawScreenGraphFunction3 　ＤＣ取得に失敗しました  GetDC  ReturnValue:%d",
    "Error  G_D3D_GetDrawScreenGraphFunction3 　作業用テクスチャサーフェスの作成に失敗しました  CreateSurface  "
    "ReturnValue:%d",
    "Error  G_D3D_GetDrawScreenGraphFunction3 　作業用テクスチャサーフェスのＤＣ取得に失敗しました  GetDC  "
    "ReturnValue:%d",
    "Error  G_D3D_GetDrawScreenGraphFunction3 　作業用テクスチャサーフェスへのイメージ転送に失敗しました  BitBlt  "
    "ErrorCode:%x",
    "Error  G_D3D_GetDrawScreenGraphFunction3 　作業用テクスチャサーフェスのＤＣ解放に失敗しました  ReleaseDC  "
    "ReturnValue:%d",
};
const TemporaryTexts kTexts4 = {
    "Error  G_D3D_GetDrawScreenGraphFunction4 　ＤＣ取得に失敗しました  GetDC  ReturnValue:%d",
    "Error  G_D3D_GetDrawScreenGraphFunction4 　作業用テクスチャサーフェスの作成に失敗しました  CreateSurface  "
    "ReturnValue:%d",
    "Error  G_D3D_GetDrawScreenGraphFunction4 　作業用テクスチャサーフェスのＤＣ取得に失敗しました  GetDC  "
    "ReturnValue:%d",
    "Error  G_D3D_GetDrawScreenGraphFunction4 　作業用テクスチャサーフェスへのイメージ転送に失敗しました  BitBlt  "
    "ErrorCode:%x",
    "Error  G_D3D_GetDrawScreenGraphFunction4 　作業用テクスチャサーフェスのＤＣ解放に失敗しました  ReleaseDC  "
    "ReturnValue:%d",
};

// The shared start of methods 3 and 4 for one piece: a temporary texture of the store's
// size holding the covered part at the piece's texture position. Null (logged) on failure.
IDirectDrawSurface7* FillTemporary(const TemporaryTexts& texts, HDC sourceDc, const SurfaceData* sd,
                                   const Surface3DData* p, const RECT& source) {
    HRESULT hr;
    IDirectDrawSurface7* temporary = CreateTemporaryTexture(sd, &hr);
    if (temporary == nullptr) {
        WriteLogFormat(texts.create, (int)hr);
        return nullptr;
    }
    HDC dc = nullptr;
    hr = temporary->GetDC(&dc);
    if (hr != DD_OK) {
        WriteLogFormat(texts.temporaryDc, (int)hr);
        temporary->Release();
        return nullptr;
    }
    if (!BitBlt(dc, p->textureX, p->textureY, source.right - source.left, source.bottom - source.top, sourceDc,
                source.left, source.top, SRCCOPY)) {
        WriteLogFormat(texts.bitBlt, (unsigned)GetLastError());
        temporary->ReleaseDC(dc);
        temporary->Release();
        return nullptr;
    }
    hr = temporary->ReleaseDC(dc);
    if (hr != DD_OK) {
        WriteLogFormat(texts.releaseDc, (int)hr);
        temporary->Release();
        return nullptr;
    }
    return temporary;
}

// Runs `step` for each piece of the graphic that the read covers, with the part of the
// source it covers. A piece without a store ends the walk with -1; a step's non-zero
// result ends it with that result.
template <typename Step>
int ForEachCoveredPiece(const ReadArea& area, int x1, int y1, GraphData* graph, Step step) {
    for (int i = 0; i < graph->pieceCount && i < kGraphMaxPieces; ++i) {
        const Surface3DData* p = GetSurface3DData(graph->pieces[i]);
        SurfaceData* sd = GetSurface3DStore(p);
        if (sd == nullptr || sd->surface == nullptr)
            return -1;
        RECT source;
        if (!CoveredPart(area, x1, y1, p, &source))
            continue;
        if (int result = step(p, sd, source); result != 0)
            return result;
    }
    return 0;
}

// The same walk with the source surface's DC open throughout; a failed GetDC is logged
// with `dcFailure` and ends the read.
template <typename Step>
int ForEachCoveredPieceWithDc(const ReadArea& area, int x1, int y1, GraphData* graph, const char* dcFailure,
                              Step step) {
    HDC sourceDc = nullptr;
    HRESULT hr = area.source->GetDC(&sourceDc);
    if (hr != DD_OK)
        return WriteLogFormat(dcFailure, (int)hr);
    int result = ForEachCoveredPiece(area, x1, y1, graph, [&](const Surface3DData* p, SurfaceData* sd,
                                                               const RECT& source) { return step(sourceDc, p, sd, source); });
    area.source->ReleaseDC(sourceDc);
    return result;
}

}  // namespace

int G_D3D_GetDrawScreenGraphFunction1(int x1, int y1, int x2, int y2, GraphData* graph, int clientCoords) {
    ReadArea area;
    if (!PrepareRead(x1, y1, x2, y2, graph, clientCoords, &area))
        return -1;
    return ForEachCoveredPiece(area, x1, y1, graph, [&](const Surface3DData* p, SurfaceData* sd, const RECT& source) {
        RECT from = source;
        HRESULT hr = sd->surface->BltFast(p->textureX, p->textureY, area.source, &from, DDBLTFAST_NOCOLORKEY);
        if (hr != DD_OK)
            return WriteLogFormat("Error G_D3D_GetDrawScreenGraphFunction1  BltFast ReturnValue:%d", (int)hr);
        SetSurfaceDataColorKey(p->surfaceData);
        return 0;
    });
}

int G_D3D_GetDrawScreenGraphFunction2(int x1, int y1, int x2, int y2, GraphData* graph, int clientCoords) {
    ReadArea area;
    if (!PrepareRead(x1, y1, x2, y2, graph, clientCoords, &area))
        return -1;
    auto step = [](HDC sourceDc, const Surface3DData* p, SurfaceData* sd, const RECT& source) {
        HDC dc = nullptr;
        HRESULT hr = sd->surface->GetDC(&dc);
        if (hr != DD_OK)
            return WriteLogFormat("Error  G_D3D_GetDrawScreenGraphFunction2 　作業用テクスチャサーフェスのＤＣ取得に"
                                  "失敗しました  GetDC ReturnValue:%d",
                                  (int)hr);
        if (!BitBlt(dc, p->textureX, p->textureY, source.right - source.left, source.bottom - source.top, sourceDc,
                    source.left, source.top, SRCCOPY)) {
            int result = WriteLogFormat("Error  G_D3D_GetDrawScreenGraphFunction2 　作業用テクスチャサーフェスへの"
                                        "イメージ転送に失敗しました  BitBlt  ErrorCode:%x",
                                        (unsigned)GetLastError());
            sd->surface->ReleaseDC(dc);
            return result;
        }
        hr = sd->surface->ReleaseDC(dc);
        if (hr != DD_OK)
            return WriteLogFormat("Error  G_D3D_GetDrawScreenGraphFunction2 　作業用テクスチャサーフェスのＤＣ解放に"
                                  "失敗しました  ReleaseDC ReturnValue:%d",
                                  (int)hr);
        SetSurfaceDataColorKey(p->surfaceData);
        return 0;
    };
    return ForEachCoveredPieceWithDc(
        area, x1, y1, graph, "Error  G_D3D_GetDrawScreenGraphFunction2  ＤＣ取得に失敗しました  GetDC ReturnValue:%d",
        step);
}

int G_D3D_GetDrawScreenGraphFunction3(int x1, int y1, int x2, int y2, GraphData* graph, int clientCoords) {
    ReadArea area;
    if (!PrepareRead(x1, y1, x2, y2, graph, clientCoords, &area))
        return -1;
    auto step = [&](HDC sourceDc, const Surface3DData* p, SurfaceData* sd, const RECT& source) {
        IDirectDrawSurface7* temporary = FillTemporary(kTexts3, sourceDc, sd, p, source);
        if (temporary == nullptr)
            return -1;
        HRESULT hr;
        int result = 0;
        DDSURFACEDESC2 to, from;
        if (!LockWhole(sd->surface, &to, &hr)) {
            result = WriteLogFormat("Error  G_D3D_GetDrawScreenGraphFunction3 　転送先テクスチャサーフェスのロックに"
                                    "失敗しました  Lock  ReturnValue:%d",
                                    (int)hr);
        } else if (!LockWhole(temporary, &from, &hr)) {
            result = WriteLogFormat("Error  G_D3D_GetDrawScreenGraphFunction3 　作業用テクスチャサーフェスのロックに"
                                    "失敗しました  Lock  ReturnValue:%d",
                                    (int)hr);
            sd->surface->Unlock(nullptr);
        } else {
            const ColorFormat* format = G_D3D_GetTextureColorFormat(sd->formatIndex);
            RECT covered = {p->textureX, p->textureY, p->textureX + (source.right - source.left),
                            p->textureY + (source.bottom - source.top)};
            ConvertPixelRect(to.lpSurface, to.lPitch, format, from.lpSurface, from.lPitch, format, nullptr, 0, nullptr,
                             covered.left, covered.top, &covered, 0, 0, 0, GetGraphDibOption(), 0, 0, 0);
            temporary->Unlock(nullptr);
            sd->surface->Unlock(nullptr);
            SetSurfaceDataColorKey(p->surfaceData);
        }
        temporary->Release();
        return result;
    };
    return ForEachCoveredPieceWithDc(area, x1, y1, graph, kTexts3.sourceDc, step);
}

int G_D3D_GetDrawScreenGraphFunction4(int x1, int y1, int x2, int y2, GraphData* graph, int clientCoords) {
    ReadArea area;
    if (!PrepareRead(x1, y1, x2, y2, graph, clientCoords, &area))
        return -1;
    IDirect3DDevice7* device = G_D3D_GetCurrentDevice();
    if (device == nullptr)
        return -1;
    auto step = [&](HDC sourceDc, const Surface3DData* p, SurfaceData* sd, const RECT& source) {
        IDirectDrawSurface7* temporary = FillTemporary(kTexts4, sourceDc, sd, p, source);
        if (temporary == nullptr)
            return -1;
        HRESULT hr;
        int result = 0;
        RECT covered = {p->textureX, p->textureY, p->textureX + (source.right - source.left),
                        p->textureY + (source.bottom - source.top)};
        POINT at = {covered.left, covered.top};
        // A busy texture is restored and tried again, ten calls at most.
        for (int call = 1;; ++call) {
            hr = device->Load(sd->surface, &at, temporary, &covered, 0);
            if (hr != DDERR_SURFACEBUSY || call == 10)
                break;
            sd->surface->Restore();
            Sleep(1);
        }
        if (hr != D3D_OK) {
            int screenWidth = 0, screenHeight = 0;
            GetScreenSize(&screenWidth, &screenHeight);
            WriteLogFormat("hr:%d  W:%d  H:%d  FullMode:%d  Point x:%d y:%d   Rect top:%d bottom:%d left:%d right:%d",
                           (int)hr, screenWidth, screenHeight, IsWindowMode() ? 0 : 1, (int)at.x, (int)at.y,
                           (int)covered.top, (int)covered.bottom, (int)covered.left, (int)covered.right);
            WriteLogFormat("AlphaCh:%d  AlphaTest:%d  ColorBitDepth:%d", sd->alphaChannel, sd->transColorUse,
                           sd->colorBitDepth);
            WriteLogFormat("ScreenColor:%d  SizeX:%d  SizeY:%d  DrawPointX:%d  DrawPointY:%d  WndRect.left:%d  "
                           "WndRect.top:%d  left:%d  top:%d",
                           GetColorBitDepth(), (int)(source.right - source.left), (int)(source.bottom - source.top),
                           p->x, p->y, area.originX, area.originY, x1, y1);
            result = -1;
        } else {
            SetSurfaceDataColorKey(p->surfaceData);
        }
        temporary->Release();
        return result;
    };
    return ForEachCoveredPieceWithDc(area, x1, y1, graph, kTexts4.sourceDc, step);
}

int G_D3D_GetDrawScreenGraphFunction5(int x1, int y1, int x2, int y2, GraphData* graph, int clientCoords) {
    ReadArea area;
    if (!PrepareRead(x1, y1, x2, y2, graph, clientCoords, &area) || area.desktop)
        return -1;
    IDirectDrawSurface7* work = GetWorkSurface();
    if (work == nullptr)
        return -1;
    // The read rectangle clipped to the draw target and to the work surface.
    int screenWidth = 0, screenHeight = 0;
    GetScreenSize(&screenWidth, &screenHeight);
    int width = std::min({x2, area.width, x1 + screenWidth}) - x1;
    int height = std::min({y2, area.height, y1 + screenHeight}) - y1;
    if (width <= 0 || height <= 0)
        return 0;
    RECT read = {area.originX + x1, area.originY + y1, area.originX + x1 + width, area.originY + y1 + height};
    if (CopyBetweenSurfaces(work, area.source, 0, 0, &read, -1) != 0)
        return -1;
    RECT lockRect = {0, 0, width, height};
    DDSURFACEDESC2 from;
    std::memset(&from, 0, sizeof from);
    from.dwSize = sizeof from;
    HRESULT hr = work->Lock(&lockRect, &from, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
    if (hr != DD_OK)
        return WriteLogFormat("Error  G_D3D_GetDrawScreenGraphFunction5 　作業用テクスチャサーフェスのロックに失敗しま"
                              "した  Lock  ReturnValue:%d",
                              (int)hr);
    int result = 0;
    for (int i = 0; i < graph->pieceCount && i < kGraphMaxPieces; ++i) {
        const Surface3DData* p = GetSurface3DData(graph->pieces[i]);
        SurfaceData* sd = GetSurface3DStore(p);
        if (sd == nullptr || sd->surface == nullptr)
            continue;
        // Only what was copied to the work surface is read.
        int w = std::min((int)p->width, width - p->x), h = std::min((int)p->height, height - p->y);
        if (w <= 0 || h <= 0)
            continue;
        RECT region = {p->textureX, p->textureY, p->textureX + w, p->textureY + h};
        DDSURFACEDESC2 to;
        std::memset(&to, 0, sizeof to);
        to.dwSize = sizeof to;
        hr = sd->surface->Lock(&region, &to, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
        if (hr != DD_OK) {
            result = WriteLogFormat("Error  G_D3D_GetDrawScreenGraphFunction5 　転送先テクスチャサーフェスのロックに"
                                    "失敗しました  Lock  ReturnValue:%d",
                                    (int)hr);
            break;
        }
        RECT source = {p->x, p->y, p->x + w, p->y + h};
        ConvertPixelRect(to.lpSurface, to.lPitch, G_D3D_GetTextureColorFormat(sd->formatIndex), from.lpSurface,
                         from.lPitch, GetScreenColorFormat(), nullptr, 0, nullptr, 0, 0, &source, 0, 0, 0,
                         GetGraphDibOption(), 0, 0, 0);
        sd->surface->Unlock(&region);
        SetSurfaceDataColorKey(p->surfaceData);
    }
    work->Unlock(&lockRect);
    return result;
}
