// QzDraw2DDraw.cpp: the software-draw bracket and the 2D front ends.
//
// Between Begin and End, drawArea is the bracket's clipped rectangle: the blitters clip
// to it, so they touch only what was locked or copied. The source side is likewise only
// the rectangle a draw can read.
#include "QzDraw2DDraw.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "Qz3DDevice.h"
#include "Qz3DScene.h"
#include "Qz3DText.h"
#include "QzDraw2D.h"
#include "QzDrawBlit.h"
#include "QzDrawConvert.h"
#include "QzDrawPresent.h"
#include "QzDrawScreen.h"
#include "QzGraphicsFont.h"
#include "QzGraphicsMask.h"
#include "QzDrawSurfaceData.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsText.h"
#include "QzUseCLib.h"

namespace {

MEMIMGDrawBracket& B() {
    return g_screen.bracket;
}

const ColorFormat* StandardOfScreen() {
    return GetMEMIMGColorFormat(g_screen.colorBitDepth == 16 ? 0 : 1, 0, 0);
}

int ScreenType() {
    return g_screen.colorBitDepth == 16 ? 0 : 1;
}

bool IsSetUp(const MEMIMG* m) {
    return m != nullptr && m->magic == kMemImgMagic;
}

// A header over memory whose pixel (0, 0) is at `pixels`.
void MakeHeader(MEMIMG* m, uint8_t* pixels, int width, int height, int pitch, uint32_t key, int type) {
    std::memset(m, 0, sizeof *m);
    m->pixels = pixels;
    SetupMEMIMG(m, width, height, pitch, key, type, 0, 0, 0);
}

// Converts a locked area in place between the screen format and the standard one.
void ConvertInPlace(void* pixels, int pitch, const ColorFormat* to, const ColorFormat* from, int width, int height) {
    RECT r = {0, 0, width, height};
    ConvertPixelRect(pixels, pitch, to, pixels, pitch, from, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0, 0, 0, 0, 0);
}

void RestoreDrawArea() {
    if (B().drawAreaNarrowed) {
        SetDrawAreaRect(B().savedDrawArea);
        B().drawAreaNarrowed = 0;
    }
}

// Where the software-rendering blitters draw: the mask image while masking, else the
// target's own image.
MEMIMG* SoftwareTarget() {
    if (g_drawState.maskActive) {
        MEMIMG* mask = GetMaskMEMIMG();
        if (mask)
            return mask;
    }
    MEMIMG* image = g_screen.drawTarget.image;
    return IsSetUp(image) ? image : nullptr;
}

// The piece's pixels as a MEMIMG in software rendering: the store's own, or a view of the
// piece when it covers less than the store.
MEMIMG* SoftwareSource(Surface2D* piece, MEMIMG* view) {
    SurfaceData* sd = piece ? GetSurfaceData(piece->store) : nullptr;
    if (sd == nullptr || !IsSetUp(&sd->memImage))
        return nullptr;
    if (piece->xInStore == 0 && piece->yInStore == 0 && piece->width == sd->width && piece->height == sd->height)
        return &sd->memImage;
    return MakeMEMIMGView(view, &sd->memImage, piece->xInStore, piece->yInStore, piece->width, piece->height);
}

void FlushBeforeDraw() {
    G_D3D_FlushVertexBatch();
    if (g_screen.endSceneBefore2D)
        G_D3D_EndScene();
}

Surface2D* FirstPiece(GraphData* graph) {
    return graph && graph->pieceCount > 0 ? GetSurface2D(graph->pieces[0]) : nullptr;
}

}  // namespace

MEMIMG* GetBlendGraphMEMIMG() {
    if (g_drawState.blendGraph == -1)
        return nullptr;
    GraphData* graph = GetGraphData(g_drawState.blendGraph);
    if (graph == nullptr || graph->useTexture)
        return nullptr;
    Surface2D* piece = FirstPiece(graph);
    SurfaceData* sd = piece ? GetSurfaceData(piece->store) : nullptr;
    return sd && IsSetUp(&sd->memImage) ? &sd->memImage : nullptr;
}

int BeginMEMIMGDrawOnSurface(Surface2D* piece, int kind, const RECT* srcRect, const RECT* dstRect, int rawColour,
                             uint32_t* color) {
    if (IsSoftwareScreen())
        return 0;
    MEMIMGDrawBracket& b = B();
    b.destLocked = b.sourceLocked = 0;
    b.destWorkCopy = b.sourceWorkCopy = 0;
    b.sourceImage = nullptr;
    b.destImage = nullptr;
    b.drawAreaNarrowed = 0;
    IDirectDrawSurface7* target = g_drawState.maskActive ? GetMaskWorkSurface() : g_screen.drawTarget.surface;
    SurfaceData* sd = piece ? GetSurfaceData(piece->store) : nullptr;
    bool bright = (g_drawState.brightColor & 0xFFFFFF) != 0xFFFFFF;
    bool blend = (g_drawState.blendMode == 1 && g_drawState.blendParam != 255) ||
                 (g_drawState.blendMode != 0 && g_drawState.blendMode != 1) || (sd && sd->alphaChannel) ||
                 g_drawState.blendGraph != -1;
    bool videoTarget = g_drawState.maskActive ? (target != nullptr && g_drawState.maskWorkInVideoMemory)
                                              : g_drawState.targetInVideoMemory != 0;

    if (kind == 1 && sd && !sd->memImageStore && sd->surface && !blend && !bright && target &&
        ((videoTarget && !sd->systemMemory) || (!videoTarget && sd->systemMemory))) {
        b.plainCopy = 1;
        b.sourceSurface = sd->surface;
        b.sourceRect = RECT{srcRect->left + piece->xInStore, srcRect->top + piece->yInStore,
                            srcRect->right + piece->xInStore, srcRect->bottom + piece->yInStore};
        int dx = g_screen.drawTarget.xOffset + g_drawState.drawOrigin.left;
        int dy = g_screen.drawTarget.yOffset + g_drawState.drawOrigin.top;
        b.destSurface = target;
        b.destRect = RECT{dstRect->left + dx, dstRect->top + dy, dstRect->right + dx, dstRect->bottom + dy};
        return 0;
    }
    b.plainCopy = 0;
    b.nonNativeScreen = g_screen.screenFormatClass == 1 || g_screen.screenFormatClass == 3 ? 1 : 0;
    b.clippedRect = *dstRect;
    ClipRect(&b.clippedRect, &g_drawState.drawArea);
    const RECT& c = b.clippedRect;
    if (c.left == c.right || c.top == c.bottom)
        return -1;
    int cw = c.right - c.left, ch = c.bottom - c.top;
    int screenBytes = g_screen.screenFormat.pixelBytes;

    MEMIMG* targetImage = g_screen.drawTarget.image;
    if (!g_drawState.maskActive && IsSetUp(targetImage)) {
        int ox = g_screen.drawTarget.xOffset, oy = g_screen.drawTarget.yOffset;
        if (ox == 0 && oy == 0) {
            b.destImage = targetImage;
        } else {
            MakeHeader(&b.destHeader, targetImage->pixels + (ptrdiff_t)ox * targetImage->format->pixelBytes +
                                          (ptrdiff_t)oy * targetImage->pitch,
                       g_drawState.drawScreenWidth, g_drawState.drawScreenHeight, targetImage->pitch, 0, ScreenType());
            b.destImage = &b.destHeader;
        }
    } else {
        if (target == nullptr)
            return -1;
        b.destWorkCopy = (videoTarget && blend) || (b.nonNativeScreen && (blend || rawColour == 0)) ? 1 : 0;
        int dx = g_drawState.drawOrigin.left + g_screen.drawTarget.xOffset;
        int dy = g_drawState.drawOrigin.top + g_screen.drawTarget.yOffset;
        RECT surfaceRect = {c.left + dx, c.top + dy, c.right + dx, c.bottom + dy};
        b.targetRect = surfaceRect;
        b.targetSurface = target;
        DDSURFACEDESC2 lock;
        std::memset(&lock, 0, sizeof lock);
        lock.dwSize = sizeof lock;
        if (b.destWorkCopy) {
            IDirectDrawSurface7* work = g_screen.work[0];
            b.destRect = RECT{0, 0, cw, ch};
            if (work == nullptr || CopyBetweenSurfaces(work, target, 0, 0, &surfaceRect, g_screen.copyMethod) != 0 ||
                work->Lock(&b.destRect, &lock, DDLOCK_WAIT, nullptr) != DD_OK)
                return -1;
            b.destSurface = work;
            if (b.nonNativeScreen) {
                ConvertInPlace(lock.lpSurface, lock.lPitch, StandardOfScreen(), &g_screen.screenFormat, cw, ch);
                if (color)
                    *color = ConvertPixelValue(StandardOfScreen(), &g_screen.screenFormat, *color);
            }
        } else {
            b.destRect = surfaceRect;
            if (target->Lock(&b.destRect, &lock, DDLOCK_WAIT, nullptr) != DD_OK)
                return -1;
            b.destSurface = target;
        }
        b.destLocked = 1;
        MakeHeader(&b.destHeader,
                   (uint8_t*)lock.lpSurface - (ptrdiff_t)c.left * screenBytes - (ptrdiff_t)c.top * lock.lPitch,
                   g_drawState.drawScreenWidth, g_drawState.drawScreenHeight, lock.lPitch, 0, ScreenType());
        b.destImage = &b.destHeader;
    }

    if (sd != nullptr) {
        if (sd->memImageStore) {
            MEMIMG& store = sd->memImage;
            if (piece->xInStore == 0 && piece->yInStore == 0 && piece->width == sd->width &&
                piece->height == sd->height) {
                b.sourceImage = &store;
            } else {
                MakeMEMIMGView(&b.sourceHeader, &store, piece->xInStore, piece->yInStore, piece->width, piece->height);
                b.sourceImage = &b.sourceHeader;
            }
        } else if (sd->surface != nullptr && srcRect != nullptr) {
            b.sourceWorkCopy = !sd->systemMemory || b.nonNativeScreen ? 1 : 0;
            RECT storeRect = {srcRect->left + piece->xInStore, srcRect->top + piece->yInStore,
                              srcRect->right + piece->xInStore, srcRect->bottom + piece->yInStore};
            int sw = srcRect->right - srcRect->left, sh = srcRect->bottom - srcRect->top;
            DDSURFACEDESC2 lock;
            std::memset(&lock, 0, sizeof lock);
            lock.dwSize = sizeof lock;
            bool ok;
            if (b.sourceWorkCopy) {
                IDirectDrawSurface7* work = g_screen.work[1];
                b.sourceRect = RECT{0, 0, sw, sh};
                ok = work != nullptr && CopyBetweenSurfaces(work, sd->surface, 0, 0, &storeRect, -1) == 0 &&
                     work->Lock(&b.sourceRect, &lock, DDLOCK_WAIT, nullptr) == DD_OK;
                b.sourceSurface = work;
                if (ok && b.nonNativeScreen)
                    ConvertInPlace(lock.lpSurface, lock.lPitch, StandardOfScreen(), &g_screen.screenFormat, sw, sh);
            } else {
                b.sourceRect = storeRect;
                ok = sd->surface->Lock(&b.sourceRect, &lock, DDLOCK_WAIT, nullptr) == DD_OK;
                b.sourceSurface = sd->surface;
            }
            if (!ok) {
                if (b.destLocked) {
                    b.destSurface->Unlock(&b.destRect);
                    b.destLocked = 0;
                }
                return -1;
            }
            b.sourceLocked = 1;
            // The key the surface's BltFast uses, in the header's format.
            DDCOLORKEY key = {0, 0};
            sd->surface->GetColorKey(DDCKEY_SRCBLT, &key);
            uint32_t headerKey = key.dwColorSpaceLowValue;
            if (b.nonNativeScreen)
                headerKey = ConvertPixelValue(StandardOfScreen(), &g_screen.screenFormat, headerKey);
            MakeHeader(&b.sourceHeader,
                       (uint8_t*)lock.lpSurface - (ptrdiff_t)srcRect->left * screenBytes -
                           (ptrdiff_t)srcRect->top * lock.lPitch,
                       piece->width, piece->height, lock.lPitch, headerKey, ScreenType());
            b.sourceImage = &b.sourceHeader;
        }
    }
    b.savedDrawArea = g_drawState.drawArea;
    SetDrawAreaRect(c);
    b.drawAreaNarrowed = 1;
    return 0;
}

int EndMEMIMGDrawOnSurface() {
    if (IsSoftwareScreen())
        return 0;
    MEMIMGDrawBracket& b = B();
    const RECT& c = b.clippedRect;
    int cw = c.right - c.left, ch = c.bottom - c.top;
    if (b.destWorkCopy && b.nonNativeScreen && b.destLocked) {
        RECT r = c;
        ConvertPixelRect(b.destHeader.pixels, b.destHeader.pitch, &g_screen.screenFormat, b.destHeader.pixels,
                         b.destHeader.pitch, StandardOfScreen(), nullptr, 0, nullptr, c.left, c.top, &r, 0, 0, 0, 0, 0,
                         0, 0);
    }
    if (b.destLocked)
        b.destSurface->Unlock(&b.destRect);
    if (b.sourceLocked)
        b.sourceSurface->Unlock(&b.sourceRect);
    if (b.destWorkCopy && b.destLocked) {
        RECT back = {0, 0, cw, ch};
        CopyBetweenSurfaces(b.targetSurface, b.destSurface, b.targetRect.left, b.targetRect.top, &back, -1);
    }
    if (b.sourceImage == &b.sourceHeader && b.sourceLocked)
        ReleaseMEMIMG(&b.sourceHeader);
    if (b.destImage == &b.destHeader)
        ReleaseMEMIMG(&b.destHeader);
    b.destLocked = b.sourceLocked = 0;
    b.destWorkCopy = b.sourceWorkCopy = 0;
    RestoreDrawArea();
    return 0;
}

int DrawSurface2D(int x, int y, int pieceHandle, int transparent) {
    if (g_screen.directDraw == nullptr)
        return -1;
    Surface2D* piece = GetSurface2D(pieceHandle);
    if (piece == nullptr)
        return -1;
    if (IsSoftwareScreen()) {
        MEMIMG view;
        MEMIMG* source = SoftwareSource(piece, &view);
        MEMIMG* target = SoftwareTarget();
        if (source && target)
            PutMEMIMG(target, source, x, y, transparent, GetBlendGraphMEMIMG());
        return 0;
    }
    // A piece whose far edge would pass the 32-bit range lies off every screen.
    if ((int64_t)x + piece->width > INT_MAX || (int64_t)y + piece->height > INT_MAX)
        return 0;
    FlushBeforeDraw();
    RECT dst = {x, y, x + piece->width, y + piece->height};
    ClipRect(&dst, &g_drawState.drawArea);
    if (dst.left == dst.right || dst.top == dst.bottom)
        return 0;
    RECT src = {dst.left - x, dst.top - y, dst.right - x, dst.bottom - y};
    if (BeginMEMIMGDrawOnSurface(piece, 1, &src, &dst, 0, nullptr) != 0)
        return -1;
    MEMIMGDrawBracket& b = B();
    if (b.plainCopy) {
        b.destSurface->BltFast((DWORD)b.destRect.left, (DWORD)b.destRect.top, b.sourceSurface, &b.sourceRect,
                               transparent ? DDBLTFAST_SRCCOLORKEY : DDBLTFAST_NOCOLORKEY);
        return 0;
    }
    if (b.sourceImage && b.destImage)
        PutMEMIMG(b.destImage, b.sourceImage, x, y, transparent, GetBlendGraphMEMIMG());
    EndMEMIMGDrawOnSurface();
    return 0;
}

int DrawGraphSurface2D(double x, double y, GraphData* graph, int transparent, int intFlag) {
    if (g_screen.directDraw == nullptr)
        return -1;
    if (graph == nullptr || graph->pieceCount < 1)
        return -1;
    G_D3D_FlushVertexBatch();
    (void)intFlag;  // ints and floats alike are taken truncated
    return DrawSurface2D((int)x, (int)y, graph->pieces[0], transparent);
}

int DrawGraphScaled2D(double fx1, double fy1, double fx2, double fy2, GraphData* graph, int transparent, int intFlag,
                      int pieceHandle) {
    if (g_screen.directDraw == nullptr || graph == nullptr)
        return -1;
    for (double v : {fx1, fy1, fx2, fy2})
        if (!std::isfinite(v) || v < INT_MIN || v > INT_MAX)
            return -1;
    int x1 = (int)fx1, y1 = (int)fy1, x2 = (int)fx2, y2 = (int)fy2;
    Surface2D* piece = pieceHandle == -1 ? FirstPiece(graph) : GetSurface2D(pieceHandle);
    if (piece == nullptr)
        return -1;
    int sourceW = pieceHandle == -1 ? graph->width : piece->width;
    int sourceH = pieceHandle == -1 ? graph->height : piece->height;
    bool mirrorX = x2 < x1, mirrorY = y2 < y1;
    RECT sorted = {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    RECT given = {x1, y1, x2, y2};
    if (IsSoftwareScreen()) {
        MEMIMG view;
        MEMIMG* source = SoftwareSource(piece, &view);
        MEMIMG* target = SoftwareTarget();
        if (source && target)
            PutMEMIMGScaled(target, source, &given, transparent, GetBlendGraphMEMIMG());
        return 0;
    }
    if (sorted.left == sorted.right || sorted.top == sorted.bottom)
        return -1;
    int width = sorted.right - sorted.left, height = sorted.bottom - sorted.top;
    if (width == sourceW && height == sourceH && !mirrorX && !mirrorY) {
        if (pieceHandle != -1)
            return DrawSurface2D(x1, y1, pieceHandle, transparent);
        return DrawGraphSurface2D(intFlag == 1 ? (double)x1 : fx1, intFlag == 1 ? (double)y1 : fy1, graph, transparent,
                                  intFlag);
    }
    if (sourceW <= 0 || sourceH <= 0)
        return -1;
    // 16.16 factors in 64 bits; one that is 0 or does not fit is refused.
    int64_t sx = ((int64_t)width << 16) / sourceW;
    int64_t sy = ((int64_t)height << 16) / sourceH;
    if (sx <= 0 || sy <= 0 || sx > INT_MAX || sy > INT_MAX)
        return -1;
    RECT clipped = sorted;
    ClipRect(&clipped, &g_drawState.drawArea);
    if (clipped.left == clipped.right || clipped.top == clipped.bottom)
        return -1;
    int64_t left = clipped.left > sorted.left ? ((int64_t)(clipped.left - sorted.left) << 16) / sx : 0;
    int64_t top = clipped.top > sorted.top ? ((int64_t)(clipped.top - sorted.top) << 16) / sy : 0;
    int64_t right = left + ((((int64_t)(clipped.right - clipped.left)) << 16) + sx - 1) / sx;
    int64_t bottom = top + ((((int64_t)(clipped.bottom - clipped.top)) << 16) + sy - 1) / sy;
    if (mirrorX) {
        int64_t a = left, b = right;
        left = sourceW - b;
        right = sourceW - a;
    }
    if (mirrorY) {
        int64_t a = top, b = bottom;
        top = sourceH - b;
        bottom = sourceH - a;
    }
    RECT src = {(LONG)std::clamp<int64_t>(left, 0, sourceW), (LONG)std::clamp<int64_t>(top, 0, sourceH),
                (LONG)std::clamp<int64_t>(right, 0, sourceW), (LONG)std::clamp<int64_t>(bottom, 0, sourceH)};
    FlushBeforeDraw();
    if (BeginMEMIMGDrawOnSurface(piece, 0, &src, &clipped, 0, nullptr) != 0)
        return -1;
    MEMIMGDrawBracket& b = B();
    if (b.sourceImage && b.destImage)
        PutMEMIMGScaled(b.destImage, b.sourceImage, &given, transparent, GetBlendGraphMEMIMG());
    EndMEMIMGDrawOnSurface();
    return 0;
}

int DrawGraphRotated2D(float x, float y, double scale, double angle, GraphData* graph, int transparent, int mirror) {
    if (g_screen.directDraw == nullptr || graph == nullptr)
        return -1;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(scale) || !std::isfinite(angle))
        return -1;
    Surface2D* piece = FirstPiece(graph);
    if (piece == nullptr)
        return -1;
    int cx = (int)x, cy = (int)y;
    if (IsSoftwareScreen()) {
        MEMIMG view;
        MEMIMG* source = SoftwareSource(piece, &view);
        MEMIMG* target = SoftwareTarget();
        if (source && target)
            PutMEMIMGRotated(target, source, cx, cy, (float)angle, (float)scale, transparent, mirror,
                             GetBlendGraphMEMIMG());
        return 0;
    }
    float s, c;
    GetSinCos((float)angle, &s, &c);
    double hw = graph->width * scale * 0.5, hh = graph->height * scale * 0.5;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    const double corners[4][2] = {{-hw, -hh}, {hw, -hh}, {-hw, hh}, {hw, hh}};
    for (int i = 0; i < 4; ++i) {
        double px = corners[i][0] * c - corners[i][1] * s + x;
        double py = corners[i][0] * s + corners[i][1] * c + y;
        if (i == 0 || px < minX)
            minX = px;
        if (i == 0 || px > maxX)
            maxX = px;
        if (i == 0 || py < minY)
            minY = py;
        if (i == 0 || py > maxY)
            maxY = py;
    }
    // The box is taken outward, one pixel wider on each side than the corners reach.
    double left = std::floor(minX) - 1, top = std::floor(minY) - 1;
    double right = std::ceil(maxX) + 1, bottom = std::ceil(maxY) + 1;
    if (left < INT_MIN / 2 || top < INT_MIN / 2 || right > INT_MAX / 2 || bottom > INT_MAX / 2)
        return -1;
    RECT dst = {(LONG)left, (LONG)top, (LONG)right, (LONG)bottom};
    RECT src = {0, 0, piece->width, piece->height};
    FlushBeforeDraw();
    if (BeginMEMIMGDrawOnSurface(piece, 0, &src, &dst, 0, nullptr) != 0)
        return -1;
    MEMIMGDrawBracket& b = B();
    if (b.sourceImage && b.destImage)
        PutMEMIMGRotated(b.destImage, b.sourceImage, cx, cy, (float)angle, (float)scale, transparent, mirror,
                         GetBlendGraphMEMIMG());
    EndMEMIMGDrawOnSurface();
    return 0;
}

int DrawGraphTriangle2D(const MEMIMGVertex vertex[3], GraphData* graph, int transparent, uint32_t color) {
    if (g_screen.directDraw == nullptr)
        return -1;
    Surface2D* piece = graph ? FirstPiece(graph) : nullptr;
    if (graph && piece == nullptr)
        return -1;
    if (IsSoftwareScreen()) {
        MEMIMG view;
        MEMIMG* source = piece ? SoftwareSource(piece, &view) : nullptr;
        MEMIMG* target = SoftwareTarget();
        if (target)
            PutMEMIMGTriangle(target, source, vertex, transparent, GetBlendGraphMEMIMG(), color);
        return 0;
    }
    RECT dst = {vertex[0].x, vertex[0].y, vertex[0].x, vertex[0].y};
    RECT src = {vertex[0].u, vertex[0].v, vertex[0].u, vertex[0].v};
    for (int i = 0; i < 3; ++i) {
        dst.left = std::min<LONG>(dst.left, vertex[i].x);
        dst.top = std::min<LONG>(dst.top, vertex[i].y);
        dst.right = std::max<LONG>(dst.right, vertex[i].x);
        dst.bottom = std::max<LONG>(dst.bottom, vertex[i].y);
        src.left = std::min<LONG>(src.left, vertex[i].u);
        src.top = std::min<LONG>(src.top, vertex[i].v);
        src.right = std::max<LONG>(src.right, vertex[i].u);
        src.bottom = std::max<LONG>(src.bottom, vertex[i].v);
    }
    ++dst.right;
    ++dst.bottom;
    ++src.right;
    ++src.bottom;
    if (piece) {
        RECT whole = {0, 0, piece->width, piece->height};
        ClipRect(&src, &whole);
    }
    FlushBeforeDraw();
    if (BeginMEMIMGDrawOnSurface(piece, 0, piece ? &src : nullptr, &dst, 0, nullptr) != 0)
        return -1;
    MEMIMGDrawBracket& b = B();
    if (b.destImage)
        PutMEMIMGTriangle(b.destImage, piece ? b.sourceImage : nullptr, vertex, transparent, GetBlendGraphMEMIMG(),
                          color);
    EndMEMIMGDrawOnSurface();
    return 0;
}

int DrawGraphQuad2D(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GraphData* graph,
                    int transparent) {
    if (graph == nullptr)
        return -1;
    MEMIMGVertex p = {x1, y1, 0, 0}, q = {x2, y2, graph->width, 0}, r = {x3, y3, 0, graph->height},
                 s = {x4, y4, graph->width, graph->height};
    MEMIMGVertex first[3] = {p, q, r};
    MEMIMGVertex second[3] = {q, r, s};
    DrawGraphTriangle2D(first, graph, transparent, 0);
    DrawGraphTriangle2D(second, graph, transparent, 0);
    return 0;
}

int DrawGraphQuad2DF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, GraphData* graph,
                     int transparent) {
    for (float v : {x1, y1, x2, y2, x3, y3, x4, y4})
        if (!std::isfinite(v) || std::fabs(v) > 1e9f)
            return -1;
    return DrawGraphQuad2D((int)x1, (int)y1, (int)x2, (int)y2, (int)x3, (int)y3, (int)x4, (int)y4, graph,
                           transparent);
}

int FillBoxByCpu(int x1, int y1, int x2, int y2, uint32_t color) {
    if (g_screen.directDraw == nullptr)
        return -1;
    RECT box = {x1, y1, x2, y2};
    if (IsSoftwareScreen()) {
        if (MEMIMG* target = SoftwareTarget())
            FillMEMIMGRect(target, &box, color);
        return 0;
    }
    FlushBeforeDraw();
    if (BeginMEMIMGDrawOnSurface(nullptr, 0, nullptr, &box, 1, &color) != 0)
        return -1;
    if (B().destImage)
        FillMEMIMGRect(B().destImage, &box, color);
    EndMEMIMGDrawOnSurface();
    return 0;
}

int OutlineBoxByCpu(int x1, int y1, int x2, int y2, uint32_t color) {
    if (x1 > x2)
        std::swap(x1, x2);
    if (y1 > y2)
        std::swap(y1, y2);
    int param = g_drawState.blendParam;
    const MEMIMGLine lines[4] = {
        {x1, y1, x2 - 1, y1, (int)color, param},
        {x2 - 1, y1, x2 - 1, y2 - 1, (int)color, param},
        {x2 - 1, y2 - 1, x1, y2 - 1, (int)color, param},
        {x1, y2 - 1, x1, y1, (int)color, param},
    };
    return DrawLineList2D(lines, 4);
}

int DrawLineList2D(const MEMIMGLine* lines, int count) {
    if (g_screen.directDraw == nullptr)
        return -1;
    if (lines == nullptr || count <= 0)
        return 0;
    if (IsSoftwareScreen()) {
        if (MEMIMG* target = SoftwareTarget())
            PlotMEMIMGLines(target, lines, count);
        return 0;
    }
    RECT box = {lines[0].x1, lines[0].y1, lines[0].x1, lines[0].y1};
    for (int i = 0; i < count; ++i) {
        box.left = std::min({box.left, (LONG)lines[i].x1, (LONG)lines[i].x2});
        box.top = std::min({box.top, (LONG)lines[i].y1, (LONG)lines[i].y2});
        box.right = std::max({box.right, (LONG)lines[i].x1, (LONG)lines[i].x2});
        box.bottom = std::max({box.bottom, (LONG)lines[i].y1, (LONG)lines[i].y2});
    }
    ++box.right;
    ++box.bottom;
    FlushBeforeDraw();
    if (BeginMEMIMGDrawOnSurface(nullptr, 0, nullptr, &box, 0, nullptr) != 0)
        return -1;
    if (B().destImage)
        PlotMEMIMGLines(B().destImage, lines, count);
    EndMEMIMGDrawOnSurface();
    return 0;
}

int DrawStringOnSurface2D(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor, int vertical) {
    if (g_screen.directDraw == nullptr)
        return -1;
    if (FontUsesTextureCache(font))
        return G_D3D_DrawStringWithFont(x, y, text, color, font, edgeColor, vertical);
    int w = 0, h = 0;
    if (MeasureFontString(font, text, vertical, &w, &h) != 0)
        return -1;
    bool antialiased = IsFontAntialiased(font) != 0;
    int mode = g_drawState.blendMode, param = g_drawState.blendParam;
    if (g_screen.colorBitDepth != 8 && (mode != 0 || antialiased) && (antialiased || mode != 1 || param != 255)) {
        int cachePiece = -1;
        MEMIMG* cache = nullptr;
        if (SetupFontCache(font, &cachePiece, &cache) != 0 || cache == nullptr)
            return -1;
        RECT savedArea = g_drawState.drawArea;
        uint32_t savedBright = g_drawState.brightColor;
        int screenW = 0, screenH = 0;
        GetScreenSize(&screenW, &screenH);
        RECT area = {0, 0, w, h};
        RECT screen = {0, 0, screenW, screenH};
        ClipRect(&area, &screen);
        SetDrawAreaRect(area);
        if (cache->useAlpha) {
            cache->colorKey = 0;
        } else {
            while (cache->colorKey == color || cache->colorKey == edgeColor)
                ++cache->colorKey;
        }
        FillMEMIMGRawRect(cache, &area, cache->colorKey);
        int result = -1;
        if (DrawFontStringCore(cache, 0, 0, text, color, font, edgeColor, vertical) == 0) {
            g_drawState.brightColor = 0xFFFFFF;
            RECT at = {x, y, x + w, y + h};
            ClipRect(&at, &savedArea);
            SetDrawAreaRect(at);
            DrawSurface2D(x, y, cachePiece, 1);
            result = 0;
        }
        SetDrawAreaRect(savedArea);
        g_drawState.brightColor = savedBright;
        return result;
    }
    if (IsSoftwareScreen()) {
        MEMIMG* target = SoftwareTarget();
        return target && DrawFontStringCore(target, x, y, text, color, font, edgeColor, vertical) == 0 ? 0 : -1;
    }
    RECT box = {x, y, x + w, y + h};
    FlushBeforeDraw();
    if (BeginMEMIMGDrawOnSurface(nullptr, 0, nullptr, &box, 1, nullptr) != 0)
        return -1;
    MEMIMGDrawBracket& b = B();
    if (b.destWorkCopy && b.nonNativeScreen) {
        color = ConvertPixelValue(StandardOfScreen(), &g_screen.screenFormat, color);
        edgeColor = ConvertPixelValue(StandardOfScreen(), &g_screen.screenFormat, edgeColor);
    }
    if (b.destImage)
        DrawFontStringCore(b.destImage, x, y, text, color, font, edgeColor, vertical);
    EndMEMIMGDrawOnSurface();
    return 0;
}
