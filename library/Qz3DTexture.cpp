// Qz3DTexture.cpp: the texture-piece table, the split rule, the pieces of new and
// derived graphics, uploads and restores.
//
// The split rule cuts one dimension into power-of-two texture sides between the lower
// bound (32, or the device minimum when larger) and the largest side M (the device
// maximum for render targets and blend images, else the smallest power of two that
// covers the screen width, capped by the device maximum). A size that fits one texture
// takes one side; otherwise sides of the largest fitting power of two are laid down,
// shrinking for the rest, a rest above three quarters of a side doubling the last side,
// and two equal trailing sides merging into one.
#include "Qz3DTexture.h"

#include <algorithm>
#include <cstring>

#include "Qz3DSystem.h"
#include "QzDrawConvert.h"
#include "QzDrawScreen.h"
#include "QzDrawSurfaceData.h"
#include "QzGraphicsSystem.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzGraphicsImage.h"

namespace {

void* g_records[kSurface3DTableSize];
HandleTable g_table = {kHandleKindSurface3D, kSurface3DTableSize, g_records, 0, 0, 0, false, 0};

constexpr int kMaxPieces = 64;

int LogTooManyPieces() {
    return WriteLogFormat("エラー：画像の分割数が最大数の %d を超えました", kMaxPieces);
}

// Per corner: on or above the graphic's bottom-left to top-right diagonal.
void SetCornerFlags(Surface3DData* p, int graphWidth, int graphHeight) {
    double slope = (double)graphHeight / graphWidth;
    const int cx[4] = {p->x, p->x + p->width, p->x, p->x + p->width};
    const int cy[4] = {p->y, p->y, p->y + p->height, p->y + p->height};
    for (int i = 0; i < 4; ++i)
        p->cornerFlags[i] = (double)graphHeight - slope * cx[i] >= cy[i] ? 1 : 0;
}

void DeletePieces(const int* handles, int count) {
    for (int i = 0; i < count; ++i)
        DeleteSurface3DData(handles[i]);
}

}  // namespace

HandleTable* GetSurface3DTable() {
    return &g_table;
}

Surface3DData* GetSurface3DData(int handle) {
    return (Surface3DData*)GetHandleRecord(&g_table, handle);
}

SurfaceData* GetSurface3DStore(const Surface3DData* piece) {
    return piece ? GetSurfaceData(piece->surfaceData) : nullptr;
}

int AddSurface3DData(int textureWidth, int textureHeight, int x, int y, int width, int height, int sourceX,
                     int sourceY, int ownerGraph, const Surface3DData* parent, int textureX, int textureY,
                     const uint8_t flags[8]) {
    if (g_d3d.direct3D == nullptr)
        return WriteLog("３Ｄグラフィックエンジンが初期化されていません\n");
    int slot = ChooseHandleSlot(&g_table);
    if (slot < 0)
        return WriteLog("３Ｄグラフィックの数が許容量を越えました。\n");
    auto* p = (Surface3DData*)AllocZeroedMemory((int)sizeof(Surface3DData), "Qz3DTexture", __LINE__);
    if (p == nullptr)
        return WriteLog("メモリの確保に失敗しました in AddSurface3DData \n");
    int store;
    if (parent) {
        store = parent->surfaceData;
        if (IncSurfaceDataRefCount(store) < 0) {
            FreeMemory(p);
            return -1;
        }
    } else {
        store = flags ? AddSurfaceData(1, textureWidth, textureHeight, g_graphCreateSettings.transColor, flags) : -1;
        if (store < 0) {
            FreeMemory(p);
            return -1;
        }
    }
    p->x = (int16_t)x;
    p->y = (int16_t)y;
    p->textureX = (uint16_t)textureX;
    p->textureY = (uint16_t)textureY;
    p->width = (uint16_t)width;
    p->height = (uint16_t)height;
    p->sourceX = (uint16_t)sourceX;
    p->sourceY = (uint16_t)sourceY;
    p->ownerGraph = ownerGraph;
    p->surfaceData = store;
    if (parent) {
        p->textureX = (uint16_t)(p->textureX + parent->textureX);
        p->textureY = (uint16_t)(p->textureY + parent->textureY);
        p->sourceX = (uint16_t)(p->sourceX + parent->sourceX);
        p->sourceY = (uint16_t)(p->sourceY + parent->sourceY);
    }
    SurfaceData* sd = GetSurfaceData(store);
    float tw = (float)sd->width, th = (float)sd->height;
    const int cx[4] = {p->x, p->x + p->width, p->x, p->x + p->width};
    const int cy[4] = {p->y, p->y, p->y + p->height, p->y + p->height};
    const int tx[4] = {p->textureX, p->textureX + p->width, p->textureX, p->textureX + p->width};
    const int ty[4] = {p->textureY, p->textureY, p->textureY + p->height, p->textureY + p->height};
    for (int i = 0; i < 4; ++i)
        p->vertices[i] = D3DVertexTex1{(float)cx[i], (float)cy[i], 0.0f, 1.0f, 0xFFFFFFFFu, (float)tx[i] / tw,
                                       (float)ty[i] / th};
    return TakeHandleSlot(&g_table, slot, p);
}

int DeleteSurface3DData(int handle) {
    Surface3DData* p = GetSurface3DData(handle);
    if (p == nullptr)
        return -1;
    if (DecSurfaceDataRefCount(p->surfaceData) == 0)
        DeleteSurfaceData(p->surfaceData);
    ReleaseHandleSlot(&g_table, GetHandleSlot(handle));
    if (p->deleteNotify)
        *p->deleteNotify = 1;
    FreeMemory(p);
    return 0;
}

int DeleteEverySurface3DData() {
    for (int slot = 0; slot < g_table.highWater; ++slot)
        if (g_table.records[slot] != nullptr)
            DeleteSurface3DData(GetSlotHandle(&g_table, slot));
    return 0;
}

int DeleteAllSurface3DData() {
    if (g_d3d.direct3D == nullptr)
        return -1;
    return DeleteEverySurface3DData();
}

// ---- the split rule -------------------------------------------------------------------------

int G_D3D_SplitTextureSize(int size, int sides[64], int whole) {
    int minT = g_d3d.minTextureSize, maxT = g_d3d.maxTextureSize;
    int limit = g_d3d.textureSizeLimit, single = g_d3d.singleTexture;
    int screenWidth = 0;
    GetScreenSize(&screenWidth, nullptr);
    int lower = std::max(32, minT);
    if (size <= lower) {
        int p = lower;
        while (p > minT && size <= p / 2)
            p /= 2;
        sides[0] = p;
        return 1;
    }
    int largest;
    if (limit != 0) {
        largest = limit;
    } else if (single || whole) {
        largest = maxT;
    } else if (screenWidth <= maxT) {
        largest = 8;
        while (largest < screenWidth)
            largest *= 2;
    } else {
        largest = maxT;
    }
    int p = largest;
    while (p > lower && p > size)
        p /= 2;
    // One texture when allowed (the screen-width test applies to heights too).
    if ((single || whole || (limit == 0 && size < screenWidth)) && largest >= 2 * p) {
        sides[0] = size > p ? 2 * p : p;
        return 1;
    }
    int count = 0, rest = size;
    for (;;) {
        if (count >= kMaxPieces)
            return -1;
        sides[count] = p;
        rest -= p;
        if (rest <= 0)
            break;
        if (rest > 3 * p / 4 && largest > p) {
            sides[count] = 2 * p;
            break;
        }
        if (p > rest)
            while (p > rest && p > lower)
                p /= 2;
        ++count;
    }
    if (count > 0 && sides[count - 1] == sides[count] && largest >= 2 * sides[count - 1]) {
        sides[count - 1] *= 2;
        --count;
    }
    return count + 1;
}

// ---- pieces of a graphic ------------------------------------------------------------------------

int G_D3D_BuildGraphPieces(GraphData* graph) {
    if (g_d3d.direct3D == nullptr || graph == nullptr)
        return -1;
    int width = graph->width, height = graph->height;
    if (width < 1 || height < 1)
        return -1;
    int whole = graph->drawValid || graph->blendImageSetting ? 1 : 0;
    int columns[kMaxPieces], rows[kMaxPieces];
    int columnCount = G_D3D_SplitTextureSize(width, columns, whole);
    int rowCount = G_D3D_SplitTextureSize(height, rows, whole);
    if (columnCount < 0 || rowCount < 0 || columnCount * rowCount > kMaxPieces)
        return LogTooManyPieces();

    struct Cut {
        int textureWidth, textureHeight, x, y;
    };
    Cut cuts[kMaxPieces];
    int count = 0;
    for (int i = 0, y = 0; i < rowCount; y += rows[i], ++i)
        for (int j = 0, x = 0; j < columnCount; x += columns[j], ++j)
            cuts[count++] = Cut{columns[j], rows[i], x, y};

    if (g_d3d.deviceDesc.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY) {
        // Squares of the shorter side; squares lying wholly outside the graphic are not made.
        int base = count;
        for (int k = 0; k < base; ++k) {
            Cut& c = cuts[k];
            if (c.textureWidth == c.textureHeight)
                continue;
            bool wide = c.textureWidth > c.textureHeight;
            int side = std::min(c.textureWidth, c.textureHeight);
            int squares = std::max(c.textureWidth, c.textureHeight) / side;
            c.textureWidth = c.textureHeight = side;
            for (int m = 1; m < squares; ++m) {
                Cut extra = {side, side, wide ? c.x + m * side : c.x, wide ? c.y : c.y + m * side};
                if (extra.x >= width || extra.y >= height)
                    continue;
                if (count >= kMaxPieces)
                    return LogTooManyPieces();
                cuts[count++] = extra;
            }
        }
    }

    for (int k = 0; k < count; ++k) {
        const Cut& c = cuts[k];
        int visibleWidth = std::min(c.textureWidth, width - c.x);
        int visibleHeight = std::min(c.textureHeight, height - c.y);
        int handle = AddSurface3DData(c.textureWidth, c.textureHeight, c.x, c.y, visibleWidth, visibleHeight, c.x, c.y,
                                      graph->handle, nullptr, 0, 0, &graph->useTexture);
        if (handle < 0) {
            DeletePieces(graph->pieces, k);
            return -1;
        }
        graph->pieces[k] = handle;
        SetCornerFlags(GetSurface3DData(handle), width, height);
    }
    graph->pieceCount = count;
    return 0;
}

int G_D3D_BuildDerivedGraphPieces(GraphData* graph, int x, int y, int width, int height, const GraphData* source) {
    if (graph == nullptr || source == nullptr || width < 1 || height < 1)
        return -1;
    graph->pieceCount = 0;
    if (source->pieceCount == 1) {
        const Surface3DData* parent = GetSurface3DData(source->pieces[0]);
        if (parent == nullptr)
            return -1;
        int handle = AddSurface3DData(0, 0, 0, 0, width, height, x, y, graph->handle, parent, x, y, nullptr);
        if (handle < 0)
            return -1;
        graph->pieces[0] = handle;
        graph->pieceCount = 1;
        SetCornerFlags(GetSurface3DData(handle), width, height);
        return 0;
    }
    for (int i = 0; i < source->pieceCount && i < kGraphMaxPieces; ++i) {
        const Surface3DData* sp = GetSurface3DData(source->pieces[i]);
        if (sp == nullptr) {
            DeletePieces(graph->pieces, graph->pieceCount);
            graph->pieceCount = 0;
            return -1;
        }
        int left = std::max(x, (int)sp->x), right = std::min(x + width, sp->x + sp->width);
        int top = std::max(y, (int)sp->y), bottom = std::min(y + height, sp->y + sp->height);
        if (left >= right || top >= bottom)
            continue;
        int offsetX = std::max(0, x - sp->x), offsetY = std::max(0, y - sp->y);
        int handle = AddSurface3DData(0, 0, std::max(0, sp->x - x), std::max(0, sp->y - y), right - left,
                                      bottom - top, offsetX, offsetY, graph->handle, sp, offsetX, offsetY, nullptr);
        if (handle < 0) {
            DeletePieces(graph->pieces, graph->pieceCount);
            graph->pieceCount = 0;
            return -1;
        }
        graph->pieces[graph->pieceCount++] = handle;
        SetCornerFlags(GetSurface3DData(handle), width, height);
    }
    return 0;
}

int G_D3D_DeleteGraphPieces(GraphData* graph) {
    if (g_d3d.direct3D == nullptr || graph == nullptr)
        return -1;
    DeletePieces(graph->pieces, std::min(graph->pieceCount, kGraphMaxPieces));
    graph->pieceCount = 0;
    return 0;
}

// ---- uploads ----------------------------------------------------------------------------------------------

int G_D3D_UploadTexturePiece(const ColorFormat* bitmapFormat, HBITMAP colorBitmap, HBITMAP alphaBitmap,
                             const RECT* sourceRect, int textureX, int textureY, int pieceHandle, int useBitmaps,
                             const GraphImage* image, const GraphImage* alphaImage, int alphaFromRed) {
    if (g_d3d.direct3D == nullptr)
        return -1;
    G_D3D_FlushVertexBatch();
    Surface3DData* piece = GetSurface3DData(pieceHandle);
    SurfaceData* sd = GetSurface3DStore(piece);
    if (sd == nullptr || sourceRect == nullptr)
        return -1;
    const ColorFormat* textureFormat = G_D3D_GetTextureColorFormat(sd->formatIndex);

    GraphImage bitmapImage, bitmapAlpha;
    const GraphImage* source = image;
    const GraphImage* alpha = alphaImage;
    int keyToAlpha;
    if (useBitmaps == 1) {
        if (bitmapFormat == nullptr || !ImageOfBitmap(colorBitmap, bitmapFormat, &bitmapImage))
            return -1;
        source = &bitmapImage;
        alpha = ImageOfBitmap(alphaBitmap, bitmapFormat, &bitmapAlpha) ? &bitmapAlpha : nullptr;
        keyToAlpha = bitmapFormat->alphaWidth != 0 && alpha == nullptr;
    } else {
        if (alpha && alpha->pixels == nullptr)
            alpha = nullptr;
        keyToAlpha = source && textureFormat->alphaWidth != 0 && alpha == nullptr &&
                     source->colorFormat.alphaWidth == 0;
    }
    if (source == nullptr || source->pixels == nullptr)
        return -1;

    // The rectangle must lie inside the source, its alpha and the texture: an image that
    // shrank since the graphic was made is refused, not read past its end.
    RECT r = *sourceRect;
    int64_t w = (int64_t)r.right - r.left, h = (int64_t)r.bottom - r.top;
    if (w <= 0 || h <= 0 || r.left < 0 || r.top < 0 || r.right > source->width || r.bottom > source->height)
        return -1;
    if (alpha && (r.right > alpha->width || r.bottom > alpha->height))
        return -1;
    if (textureX < 0 || textureY < 0 || textureX + w > sd->width || textureY + h > sd->height)
        return -1;
    RECT dest = {textureX, textureY, (LONG)(textureX + w), (LONG)(textureY + h)};

    int pitch = 0;
    void* pixels = nullptr;
    IDirectDrawSurface7* temporary = nullptr;
    if (LockSurfaceData(piece->surfaceData, &pitch, &pixels, 1, &dest, nullptr) == -1) {
        HRESULT made;
        temporary = CreateTemporaryTexture(sd, &made);
        if (temporary == nullptr)
            ExitWithFatalError("テンポラリテクスチャサーフェスの作成に失敗しました");
        DDSURFACEDESC2 lock;
        std::memset(&lock, 0, sizeof lock);
        lock.dwSize = sizeof lock;
        if (temporary->Lock(nullptr, &lock, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) != DD_OK) {
            temporary->Release();
            return -1;
        }
        pitch = lock.lPitch;
        pixels = (uint8_t*)lock.lpSurface + (ptrdiff_t)textureY * pitch + (ptrdiff_t)textureX * textureFormat->pixelBytes;
    }

    ConvertPixelRect(pixels, pitch, textureFormat, source->pixels, source->pitch, &source->colorFormat,
                     alpha ? alpha->pixels : nullptr, alpha ? alpha->pitch : 0, alpha ? &alpha->colorFormat : nullptr, 0,
                     0, &r, 0, keyToAlpha, sd->transColor, GetGraphDibOption(), 0, alphaFromRed, 0);

    if (temporary == nullptr) {
        UnlockSurfaceData(piece->surfaceData, &dest);
    } else {
        temporary->Unlock(nullptr);
        IDirect3DDevice7* device = G_D3D_GetCurrentDevice();
        if (device == nullptr) {
            temporary->Release();
            return -1;
        }
        sd->surface->Restore();
        POINT at = {textureX, textureY};
        if (device->Load(sd->surface, &at, temporary, &dest, 0) != D3D_OK)
            ExitWithFatalError("作業用テクスチャサーフェスから描画用テクスチャサーフェスへの画像転送に失敗しました");
        temporary->Release();
    }
    SetSurfaceDataColorKey(piece->surfaceData);
    return 0;
}

int G_D3D_UploadImageToGraph(const ColorFormat* bitmapFormat, HBITMAP colorBitmap, HBITMAP alphaBitmap, int sourceX,
                             int sourceY, GraphData* graph, int useBitmaps, const GraphImage* image,
                             const GraphImage* alphaImage) {
    if (g_d3d.direct3D == nullptr || graph == nullptr)
        return -1;
    for (int i = 0; i < graph->pieceCount && i < kGraphMaxPieces; ++i) {
        const Surface3DData* p = GetSurface3DData(graph->pieces[i]);
        if (p == nullptr)
            return -1;
        RECT source = {sourceX + p->x, sourceY + p->y, sourceX + p->x + p->width, sourceY + p->y + p->height};
        if (G_D3D_UploadTexturePiece(bitmapFormat, colorBitmap, alphaBitmap, &source, p->textureX, p->textureY,
                                     graph->pieces[i], useBitmaps, image, alphaImage, graph->blendImageSetting) != 0)
            return -1;
    }
    return 0;
}

int G_D3D_UploadImageRegionToGraph(const ColorFormat* bitmapFormat, HBITMAP colorBitmap, HBITMAP alphaBitmap,
                                   const RECT* sourceRect, int destX, int destY, GraphData* graph, int useBitmaps,
                                   const GraphImage* image, const GraphImage* alphaImage) {
    if (g_d3d.direct3D == nullptr || graph == nullptr || sourceRect == nullptr)
        return -1;
    int64_t width = (int64_t)sourceRect->right - sourceRect->left, height = (int64_t)sourceRect->bottom - sourceRect->top;
    int64_t regionRight = destX + width, regionBottom = destY + height;
    for (int i = 0; i < graph->pieceCount && i < kGraphMaxPieces; ++i) {
        const Surface3DData* p = GetSurface3DData(graph->pieces[i]);
        if (p == nullptr)
            return -1;
        int64_t left = std::max<int64_t>(destX, p->x), top = std::max<int64_t>(destY, p->y);
        int64_t right = std::min<int64_t>(regionRight, p->x + p->width);
        int64_t bottom = std::min<int64_t>(regionBottom, p->y + p->height);
        if (left >= right || top >= bottom)
            continue;
        RECT source = {(LONG)(sourceRect->left + (left - destX)), (LONG)(sourceRect->top + (top - destY)),
                       (LONG)(sourceRect->left + (right - destX)), (LONG)(sourceRect->top + (bottom - destY))};
        int offsetX = (int)(left - p->x), offsetY = (int)(top - p->y);
        if (G_D3D_UploadTexturePiece(bitmapFormat, colorBitmap, alphaBitmap, &source, p->textureX + offsetX,
                                     p->textureY + offsetY, graph->pieces[i], useBitmaps, image, alphaImage, 0) != 0)
            return -1;
    }
    return 0;
}

// ---- locks and restores ------------------------------------------------------------------------------------

int G_D3D_LockTexture(int piece, int* pitchOut, void** pointerOut, int writeOnly, const RECT* rect,
                      const ColorFormat** formatOut) {
    const Surface3DData* p = GetSurface3DData(piece);
    if (p == nullptr)
        return -1;
    return LockSurfaceData(p->surfaceData, pitchOut, pointerOut, writeOnly, rect, formatOut);
}

int G_D3D_UnlockTexture(int piece, RECT* rect) {
    const Surface3DData* p = GetSurface3DData(piece);
    if (p == nullptr)
        return -1;
    return UnlockSurfaceData(p->surfaceData, rect);
}

int G_D3D_RestoreGraphTextures(GraphData* graph) {
    if (g_d3d.direct3D == nullptr || graph == nullptr)
        return -1;
    int result = 0;
    for (int i = 0; i < graph->pieceCount && i < kGraphMaxPieces; ++i) {
        const Surface3DData* p = GetSurface3DData(graph->pieces[i]);
        if (p == nullptr)
            return -1;
        result |= RestoreSurfaceData(p->surfaceData);
    }
    return result;
}

int G_D3D_RestoreAllTextures() {
    if (g_d3d.direct3D == nullptr)
        return -1;
    for (int slot = 0; slot < g_table.highWater; ++slot)
        if (auto* p = (const Surface3DData*)g_table.records[slot])
            RestoreSurfaceData(p->surfaceData);
    return 0;
}

IDirectDrawSurface7* CreateTemporaryTexture(const SurfaceData* sd, HRESULT* result) {
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = sd->width;
    desc.dwHeight = sd->height;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
    desc.ddpfPixelFormat = *G_D3D_GetTexturePixelFormat(sd->formatIndex);
    IDirectDrawSurface7* surface = nullptr;
    *result = g_screen.directDraw ? g_screen.directDraw->CreateSurface(&desc, &surface, nullptr) : DDERR_GENERIC;
    if (*result != DD_OK)
        surface = nullptr;
    return surface;
}
