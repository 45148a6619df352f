// QzDraw2D.cpp: the Surface2D table and the transfers into pieces.
//
// Every copy into a store is clipped first: the source rectangle to the image (and its
// alpha image), the destination to the store. Nothing left is -1; nothing is written
// outside either side.
#include "QzDraw2D.h"

#include <algorithm>
#include <cstring>

#include "Qz3DDevice.h"
#include "Qz3DScene.h"
#include "QzDrawConvert.h"
#include "QzDrawMemImg.h"
#include "QzDrawPresent.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzGraphicsMask.h"
#include "QzDrawSurfaceData.h"
#include "QzGraphicsDib.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsImage.h"
#include "QzGraphicsSystem.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzWinWindow.h"

uint8_t BlendGraphTable[256];

namespace {

void* g_records[kSurface2DTableSize];
HandleTable g_table = {kHandleKindSurface2D, kSurface2DTableSize, g_records, 0, 0, 0, false, 0};

// Clips a copy of (src rect) to (dstX, dstY): the source to srcW x srcH, the destination
// to the box (boxX, boxY, boxW, boxH). False when nothing is left.
bool ClipTransfer(RECT* src, int* dstX, int* dstY, int srcW, int srcH, int boxX, int boxY, int boxW, int boxH) {
    int64_t sx = src->left, sy = src->top, w = (int64_t)src->right - src->left, h = (int64_t)src->bottom - src->top;
    int64_t dx = *dstX, dy = *dstY;
    if (sx < 0) { w += sx; dx -= sx; sx = 0; }
    if (sy < 0) { h += sy; dy -= sy; sy = 0; }
    if (dx < boxX) { w -= boxX - dx; sx += boxX - dx; dx = boxX; }
    if (dy < boxY) { h -= boxY - dy; sy += boxY - dy; dy = boxY; }
    w = std::min({w, srcW - sx, (int64_t)boxX + boxW - dx});
    h = std::min({h, srcH - sy, (int64_t)boxY + boxH - dy});
    if (w <= 0 || h <= 0)
        return false;
    *src = RECT{(LONG)sx, (LONG)sy, (LONG)(sx + w), (LONG)(sy + h)};
    *dstX = (int)dx;
    *dstY = (int)dy;
    return true;
}

// A GraphImage over a MEMIMG (for the mask screen and the movie copy).
void ImageOfMemImg(const MEMIMG* m, GraphImage* out) {
    std::memset(out, 0, sizeof *out);
    out->colorFormat = *GetMEMIMGColorFormat(m->type, m->useAlpha, m->usePalette);
    out->width = m->width;
    out->height = m->height;
    out->pitch = m->pitch;
    out->pixels = m->pixels;
}

Surface2D* FirstPiece(GraphData* graph) {
    return graph && graph->pieceCount > 0 ? GetSurface2D(graph->pieces[0]) : nullptr;
}

}  // namespace

HandleTable* GetSurface2DTable() {
    return &g_table;
}

Surface2D* GetSurface2D(int handle) {
    return (Surface2D*)GetHandleRecord(&g_table, handle);
}

Surface2D* GetSurface2D2(int handle) {
    return (Surface2D*)GetHandleRecord(&g_table, handle);
}

int AddSurface2D(int width, int height, int xInGraphic, int yInGraphic, int owner, Surface2D* parent, int xInStore,
                 int yInStore, const uint8_t flags[8]) {
    if (g_screen.directDraw == nullptr)
        return WriteLog("ＱＺライブラリが初期化されていません\n");
    // The record keeps sizes and positions in 16 bits.
    if (width < 1 || width > 65535 || height < 1 || height > 65535)
        return -1;
    for (int v : {xInGraphic, yInGraphic, xInStore, yInStore})
        if (v < 0 || v > 65535)
            return -1;
    int slot = ChooseHandleSlot(&g_table);
    if (slot < 0)
        return WriteLog("２Ｄグラフィックの量が許容量を越えました\n");
    auto* piece = (Surface2D*)AllocZeroedMemory((int)sizeof(Surface2D), "QzDraw", __LINE__);
    if (piece == nullptr)
        return WriteLog("メモリの確保に失敗しました in AddSurface2D \n");
    int store;
    if (parent) {
        store = parent->store;
        if (IncSurfaceDataRefCount(store) < 0)
            store = -1;
    } else {
        store = AddSurfaceData(1, width, height, g_graphCreateSettings.transColor, flags);
    }
    if (store < 0) {
        FreeMemory(piece);
        return WriteLog("メモリの確保に失敗しました in AddSurface2D \n");
    }
    piece->xInGraphic = (uint16_t)xInGraphic;
    piece->yInGraphic = (uint16_t)yInGraphic;
    piece->xInStore = (uint16_t)xInStore;
    piece->yInStore = (uint16_t)yInStore;
    piece->width = (uint16_t)width;
    piece->height = (uint16_t)height;
    piece->owner = owner;
    piece->store = store;
    piece->deleteNotify = nullptr;
    return TakeHandleSlot(&g_table, slot, piece);
}

int DeleteSurface2D(int handle) {
    Surface2D* piece = GetSurface2D(handle);
    if (piece == nullptr)
        return 0;
    if (DecSurfaceDataRefCount(piece->store) == 0)
        DeleteSurfaceData(piece->store);
    if (piece->deleteNotify)
        *piece->deleteNotify = 1;
    ReleaseHandleSlot(&g_table, GetHandleSlot(handle));
    FreeMemory(piece);
    return 0;
}

int DeleteAllSurface2D() {
    if (g_screen.directDraw == nullptr)
        return -1;
    int top = g_table.highWater;
    for (int slot = 0; slot < top; ++slot)
        if (g_table.records[slot] != nullptr)
            DeleteSurface2D(GetSlotHandle(&g_table, slot));
    return 0;
}

int DeleteAllSurface2DIfReady() {
    return g_screen.directDraw ? DeleteAllSurface2D() : 0;
}

int SetSurface2DDeleteNotify(int handle, int32_t* notify) {
    Surface2D* piece = GetSurface2D(handle);
    if (piece == nullptr)
        return -1;
    piece->deleteNotify = notify;
    if (notify)
        *notify = 0;
    return 0;
}

int EmptySurface2DHook() {
    return 0;
}
int Surface2DSetClipArea(const RECT*) {
    return 0;
}
int Surface2DEnableMask(int) {
    return 0;
}
int Surface2DSetWorldMatrix(const Matrix*) {
    return 0;
}
int Surface2DSetViewMatrix(const Matrix*) {
    return 0;
}
int Surface2DSetProjectionMatrix(const Matrix*) {
    return 0;
}

int CreateGraphSurface2D(GraphData* graph) {
    int piece = AddSurface2D(graph->width, graph->height, 0, 0, graph->handle, nullptr, 0, 0, &graph->useTexture);
    if (piece < 0)
        return -1;
    graph->pieces[0] = piece;
    graph->pieceCount = 1;
    return 0;
}

int DeriveGraphSurface2D(GraphData* graph, int xInStore, int yInStore, int width, int height, GraphData* source) {
    Surface2D* parent = FirstPiece(source);
    if (parent == nullptr)
        return -1;
    int piece = AddSurface2D(width, height, 0, 0, graph->handle, parent, xInStore, yInStore, &graph->useTexture);
    if (piece < 0)
        return -1;
    graph->pieces[0] = piece;
    graph->pieceCount = 1;
    return 0;
}

int DeleteGraphSurfaces2D(GraphData* graph) {
    int result = 0;
    for (int i = 0; i < graph->pieceCount; ++i)
        result |= DeleteSurface2D(graph->pieces[i]);
    return result;
}

int RestoreGraphSurfaces2D(GraphData* graph) {
    int result = 0;
    for (int i = 0; i < graph->pieceCount; ++i) {
        Surface2D* piece = GetSurface2D(graph->pieces[i]);
        if (piece == nullptr)
            return -1;
        result |= RestoreSurfaceData(piece->store);
    }
    return result;
}

int FillGraphSurfaces2D(GraphData* graph, int r, int g, int b, int a) {
    if (g_screen.endSceneBefore2D)
        G_D3D_EndScene();
    G_D3D_FlushVertexBatch();
    for (int i = 0; i < graph->pieceCount; ++i) {
        Surface2D* piece = GetSurface2D(graph->pieces[i]);
        if (piece == nullptr)
            return -1;
        FillSurfaceData(piece->store, r, g, b, a);
    }
    return 0;
}

int TransferImageToGraphSurfaces(const ColorFormat* format, HBITMAP bitmap, HBITMAP alphaBitmap, int srcX, int srcY,
                                 GraphData* graph, int bitmapFlag, GraphImage* image, GraphImage* alphaImage) {
    for (int i = 0; i < graph->pieceCount; ++i) {
        Surface2D* piece = GetSurface2D(graph->pieces[i]);
        if (piece == nullptr)
            return -1;
        if (TransferImageToSurface2D(format, bitmap, alphaBitmap, srcX + piece->xInGraphic, srcY + piece->yInGraphic,
                                     graph->pieces[i], bitmapFlag, image, alphaImage, graph->blendImageSetting) != 0)
            return -1;
    }
    return 0;
}

int TransferImageRegionToGraphSurfaces(const ColorFormat* format, HBITMAP bitmap, HBITMAP alphaBitmap,
                                       const RECT* srcRect, int dstX, int dstY, GraphData* graph, int bitmapFlag,
                                       GraphImage* image, GraphImage* alphaImage) {
    int w = srcRect->right - srcRect->left, h = srcRect->bottom - srcRect->top;
    for (int i = 0; i < graph->pieceCount; ++i) {
        Surface2D* piece = GetSurface2D(graph->pieces[i]);
        if (piece == nullptr)
            return -1;
        // The part of the destination (in graphic coordinates) that lies in this piece.
        int left = std::max(dstX, (int)piece->xInGraphic), top = std::max(dstY, (int)piece->yInGraphic);
        int right = std::min(dstX + w, piece->xInGraphic + piece->width);
        int bottom = std::min(dstY + h, piece->yInGraphic + piece->height);
        if (left >= right || top >= bottom)
            continue;
        RECT part = {srcRect->left + (left - dstX), srcRect->top + (top - dstY), srcRect->left + (right - dstX),
                     srcRect->top + (bottom - dstY)};
        if (CopyImageToSurface2D(format, bitmap, alphaBitmap, &part, piece->xInStore + (left - piece->xInGraphic),
                                 piece->yInStore + (top - piece->yInGraphic), graph->pieces[i], bitmapFlag, image,
                                 alphaImage, 0) != 0)
            return -1;
    }
    return 0;
}

int TransferImageToSurface2D(const ColorFormat* format, HBITMAP bitmap, HBITMAP alphaBitmap, int srcX, int srcY,
                             int pieceHandle, int bitmapFlag, GraphImage* image, GraphImage* alphaImage, int option) {
    Surface2D* piece = GetSurface2D(pieceHandle);
    if (piece == nullptr)
        return -1;
    RECT src = {srcX, srcY, srcX + piece->width, srcY + piece->height};
    return CopyImageToSurface2D(format, bitmap, alphaBitmap, &src, piece->xInStore, piece->yInStore, pieceHandle,
                                bitmapFlag, image, alphaImage, option);
}

int CopyImageToSurface2D(const ColorFormat* bitmapFormat, HBITMAP bitmap, HBITMAP alphaBitmap, const RECT* srcRect,
                         int dstX, int dstY, int pieceHandle, int bitmapFlag, GraphImage* image,
                         GraphImage* alphaImage, int option) {
    Surface2D* piece = GetSurface2D(pieceHandle);
    SurfaceData* sd = piece ? GetSurfaceData(piece->store) : nullptr;
    if (g_screen.directDraw == nullptr || sd == nullptr || srcRect == nullptr)
        return -1;
    // The pixels come from the image, or in bitmap mode from the bitmaps.
    GraphImage bitmapImage, bitmapAlpha;
    const GraphImage* source = image;
    const GraphImage* alpha = alphaImage;
    if (bitmapFlag == 1) {
        if (bitmapFormat == nullptr || !ImageOfBitmap(bitmap, bitmapFormat, &bitmapImage))
            return -1;
        source = &bitmapImage;
        alpha = ImageOfBitmap(alphaBitmap, bitmapFormat, &bitmapAlpha) ? &bitmapAlpha : nullptr;
    }
    if (source == nullptr || source->pixels == nullptr)
        return -1;
    RECT src = *srcRect;
    int srcW = source->width, srcH = source->height;
    if (alpha && alpha->pixels) {
        srcW = std::min(srcW, alpha->width);
        srcH = std::min(srcH, alpha->height);
    }
    if (!ClipTransfer(&src, &dstX, &dstY, srcW, srcH, 0, 0, sd->width, sd->height))
        return -1;
    int w = src.right - src.left, h = src.bottom - src.top;

    if (g_screen.colorBitDepth != 8 && !sd->memImageStore) {
        RECT lockRect = {dstX, dstY, dstX + w, dstY + h};
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        if (sd->surface == nullptr ||
            sd->surface->Lock(&lockRect, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) != DD_OK)
            return WriteLogFormat("２Ｄサーフェスのロックに失敗しました");
        if (bitmapFlag == 1)
            ConvertPixelRect(desc.lpSurface, desc.lPitch, GetScreenColorFormat(), source->pixels, source->pitch,
                             &source->colorFormat, nullptr, 0, nullptr, 0, 0, &src, 0, 0, 0, GetGraphDibOption(), 0, 0,
                             0);
        else
            ConvertPixelRect(desc.lpSurface, desc.lPitch, GetScreenColorFormat(), source->pixels, source->pitch,
                             &source->colorFormat, nullptr, 0, nullptr, 0, 0, &src, 0, 0, 0, 0, 0, option ? 1 : 0, 0);
        sd->surface->Unlock(&lockRect);
    } else if (g_screen.colorBitDepth != 8) {
        ConvertImageToMEMIMG(source, alpha, &sd->memImage, src.left, src.top, w, h, dstX, dstY);
        if (sd->paletteImage) {
            // The key is the first palette entry of the transparent colour; none matches
            // nothing (0xFFFF is no index).
            MEMIMG& m = sd->memImage;
            uint32_t key = PackPixelRGBA(GetMEMIMGColorFormat(m.type, sd->alphaChannel, 0),
                                         (int)(sd->transColor >> 16 & 0xFF), (int)(sd->transColor >> 8 & 0xFF),
                                         (int)(sd->transColor & 0xFF), 255);
            m.colorKey = 0xFFFF;
            const uint8_t* entries = (const uint8_t*)m.palette;
            for (int i = 0; i < 256; ++i) {
                uint32_t e = 0;
                if (m.type == 0) {
                    std::memcpy(&e, entries + i * 2, 2);
                    if (e == (key & 0xFFFF)) {
                        m.colorKey = (uint32_t)i;
                        break;
                    }
                } else {
                    std::memcpy(&e, entries + i * 4, 4);
                    if ((e & 0xFFFFFF) == (key & 0xFFFFFF)) {
                        m.colorKey = (uint32_t)i;
                        break;
                    }
                }
            }
        }
    } else {
        // An 8-bit screen: through GDI.
        HDC memory = CreateCompatibleDC(nullptr);
        HDC target = nullptr;
        if (sd->surface == nullptr || sd->surface->GetDC(&target) != DD_OK) {
            DeleteDC(memory);
            return -1;
        }
        HBITMAP section = nullptr;
        int result = 0;
        if (bitmapFlag != 1) {
            BITMAPINFO* info = (BITMAPINFO*)AllocZeroedMemory(kDibInfoSize, __FILE_NAME__, __LINE__);
            void* bits = nullptr;
            const int converted = info ? ConvertGraphImageToDib(source, info, &bits, 0, 0) : -1;
            if (converted < 0) {
                result = WriteLogFormat("GraphImage を BMP に変換する処理が失敗しました");
            } else {
                section = MakeDibSection(info, bits, 0, nullptr);
                if (converted == 1)
                    FreeMemory(bits);
                if (section == nullptr)
                    result = WriteLogFormat("ＢＭＰデータからＢＭＰハンドルを作成する処理が失敗しました");
            }
            if (info != nullptr)
                FreeMemory(info);
        }
        if (result == 0) {
            HGDIOBJ old = SelectObject(memory, bitmapFlag == 1 ? bitmap : section);
            BitBlt(target, dstX, dstY, w, h, memory, src.left, src.top, SRCCOPY);
            SelectObject(memory, old);
        }
        if (section)
            DeleteObject(section);
        sd->surface->ReleaseDC(target);
        DeleteDC(memory);
        if (result != 0)
            return -1;
    }
    SetSurfaceDataColorKey(piece->store);
    return 0;
}

int CopyMovieFrameToSurface2D(const MovieFrameSource* movie, GraphData* graph) {
    Surface2D* piece = FirstPiece(graph);
    SurfaceData* sd = piece ? GetSurfaceData(piece->store) : nullptr;
    if (movie == nullptr || movie->frameSurface == nullptr || sd == nullptr)
        return -1;
    DDSURFACEDESC2 frame;
    std::memset(&frame, 0, sizeof frame);
    frame.dwSize = sizeof frame;
    if (movie->frameSurface->Lock(nullptr, &frame, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK)
        return WriteLogFormat("ムービーグラフィックサーフェスのロックに失敗しました");
    uint8_t* dstPixels;
    int dstPitch;
    const ColorFormat* dstFormat;
    bool locked = false;
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    if (IsSoftwareScreen() || sd->memImageStore) {
        dstPixels = sd->memImage.pixels;
        dstPitch = sd->memImage.pitch;
        dstFormat = sd->memImage.format;
    } else {
        if (sd->surface == nullptr || sd->surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) != DD_OK) {
            movie->frameSurface->Unlock(nullptr);
            return WriteLogFormat("ムービーグラフィック転送先サーフェスのロックに失敗しました");
        }
        locked = true;
        dstPixels = (uint8_t*)desc.lpSurface;
        dstPitch = desc.lPitch;
        dstFormat = GetScreenColorFormat();
    }
    // The frame goes to the piece's place in its store, clipped to the frame and the store.
    // A graphic derived from the movie's graphic shows the frame from its own offset.
    RECT src = {graph->sourceX, graph->sourceY, graph->sourceX + graph->width, graph->sourceY + graph->height};
    int dx = piece->xInStore, dy = piece->yInStore;
    if (dstPixels && ClipTransfer(&src, &dx, &dy, movie->width, movie->height, 0, 0, sd->width, sd->height)) {
        if (movie->mode == 2 || !ComparePixelFormat(movie->format, dstFormat)) {
            // Converted into the format the store really has (a MEMIMG's own, or the screen's).
            ConvertPixelRect(dstPixels, dstPitch, dstFormat, frame.lpSurface, frame.lPitch, movie->format, nullptr, 0,
                             nullptr, dx, dy, &src, 0, 0, 0, GetGraphDibOption(), 0, 0, 0);
        } else {
            int rowBytes = (src.right - src.left) * dstFormat->pixelBytes;
            for (int row = 0; row < src.bottom - src.top; ++row)
                std::memcpy(dstPixels + (ptrdiff_t)(dy + row) * dstPitch + (ptrdiff_t)dx * dstFormat->pixelBytes,
                            (uint8_t*)frame.lpSurface + (ptrdiff_t)(src.top + row) * frame.lPitch +
                                (ptrdiff_t)src.left * dstFormat->pixelBytes,
                            (size_t)rowBytes);
        }
    }
    if (locked)
        sd->surface->Unlock(nullptr);
    movie->frameSurface->Unlock(nullptr);
    return 0;
}

int CaptureDrawTargetToSurface2D(int x1, int y1, int x2, int y2, GraphData* graph) {
    if (g_screen.directDraw == nullptr || graph == nullptr)
        return -1;
    int w = x2 - x1, h = y2 - y1;
    if (w < 1 || h < 1 || w != graph->width || h != graph->height || x1 < 0 || y1 < 0 ||
        x2 > g_drawState.drawScreenWidth || y2 > g_drawState.drawScreenHeight)
        return -1;
    Surface2D* piece = FirstPiece(graph);
    SurfaceData* sd = piece ? GetSurfaceData(piece->store) : nullptr;
    if (sd == nullptr)
        return -1;
    if (g_screen.endSceneBefore2D)
        G_D3D_EndScene();
    RECT rect = {x1, y1, x2, y2};
    // The capture lands at the piece's place in its (possibly shared) store.
    int px = piece->xInStore, py = piece->yInStore;
    if (px + w > sd->width || py + h > sd->height)
        return -1;
    DrawTarget& target = g_screen.drawTarget;
    bool front = g_drawState.drawScreen == -4;
    if (IsSoftwareScreen()) {
        if (front)
            RefreshFrontMEMIMG();
        if (target.image == nullptr || !sd->memImageStore)
            return -1;
        CopyMEMIMGConverted(&sd->memImage, target.image, &rect, px, py);
        return 0;
    }
    int ox = 0, oy = 0;
    if (front) {
        RECT client;
        GetWindowClientRect(&client);
        ox = client.left;
        oy = client.top;
    }
    RECT offsetRect = {x1 + ox, y1 + oy, x2 + ox, y2 + oy};
    G_D3D_FlushVertexBatch();
    if (g_screen.endSceneBefore2D)
        G_D3D_EndScene();
    bool imageSetUp = target.image != nullptr && target.image->magic == kMemImgMagic;
    if (target.surface && !sd->memImageStore) {
        RECT to = {px, py, px + w, py + h};
        sd->surface->Blt(&to, target.surface, &offsetRect, DDBLT_WAIT, nullptr);
    } else if (imageSetUp && sd->memImageStore) {
        CopyMEMIMGConverted(&sd->memImage, target.image, &rect, px, py);
    } else if (target.surface) {
        IDirectDrawSurface7* work = g_screen.work[0];
        if (work == nullptr)
            return -1;
        CopyBetweenSurfaces(work, target.surface, 0, 0, &offsetRect, -1);
        RECT lockRect = {0, 0, w, h};
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        if (work->Lock(&lockRect, &desc, DDLOCK_WAIT, nullptr) != DD_OK)
            return -1;
        RECT whole = {0, 0, w, h};
        ConvertPixelRect(sd->memImage.pixels, sd->memImage.pitch, sd->memImage.format, desc.lpSurface, desc.lPitch,
                         GetScreenColorFormat(), nullptr, 0, nullptr, px, py, &whole, 0, 0, 0, 0, 0, 0, 0);
        work->Unlock(&lockRect);
    } else if (imageSetUp) {
        RECT lockRect = {px, py, px + w, py + h};
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        if (sd->surface == nullptr || sd->surface->Lock(&lockRect, &desc, DDLOCK_WAIT, nullptr) != DD_OK)
            return -1;
        ConvertPixelRect(desc.lpSurface, desc.lPitch, GetScreenColorFormat(), target.image->pixels,
                         target.image->pitch, target.image->format, nullptr, 0, nullptr, 0, 0, &rect, 0, 0, 0, 0, 0, 0,
                         0);
        sd->surface->Unlock(&lockRect);
    } else {
        return -1;
    }
    return 0;
}

int BeginMaskedDraw(int x1, int y1, int x2, int y2) {
    DrawTarget& target = g_screen.drawTarget;
    if (target.image != nullptr && target.image->magic == kMemImgMagic) {
        GraphImage view;
        ImageOfMemImg(target.image, &view);
        SaveMaskBackground(x1, y1, x2, y2, nullptr, &view);
    } else {
        SaveMaskBackground(x1, y1, x2, y2, target.surface, nullptr);
    }
    return 0;
}

int EndMaskedDraw(int x1, int y1, int x2, int y2) {
    DrawTarget& target = g_screen.drawTarget;
    if (target.image != nullptr && target.image->magic == kMemImgMagic) {
        GraphImage view;
        ImageOfMemImg(target.image, &view);
        ApplyMaskAfterDraw(x1, y1, x2, y2, nullptr, &view);
    } else {
        ApplyMaskAfterDraw(x1, y1, x2, y2, target.surface, nullptr);
    }
    return 0;
}

int SetupBlendGraphTable(GraphData*, int border, int range) {
    int spread = (65536 / (range + 1) + 256);
    int shift = (border * spread) >> 8;
    for (int i = 0; i < 256; ++i) {
        int v = i * 256 / (range + 1) + 256 - shift;
        BlendGraphTable[i] = (uint8_t)std::clamp(v, 0, 255);
    }
    return 0;
}
