// QzDrawSurfaceData.cpp: the pixel-store table and every operation on a store.
//
// The store kind follows from the flags: useTexture gives a texture; else memImageStore
// (system memory, or software rendering) gives a MEMIMG; else a DirectDraw offscreen
// surface, in video memory when it fits, falling back to system memory.
#include "QzDrawSurfaceData.h"

#include <cstring>

#include "Qz3DSystem.h"
#include "QzDrawPrimitive.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"

namespace {

void* g_records[kSurfaceDataTableSize];
HandleTable g_table = {kHandleKindSurfaceData, kSurfaceDataTableSize, g_records, 0, 0, 0, false, 0};

bool IsMemImgStore(const SurfaceData* sd) {
    return !sd->useTexture && sd->memImageStore;
}

void ReleaseZSurface(SurfaceData* sd) {
    if (sd->zSurface == nullptr)
        return;
    if (sd->surface)
        sd->surface->DeleteAttachedSurface(0, sd->zSurface);
    sd->zSurface->Release();
    sd->zSurface = nullptr;
}

}  // namespace

HandleTable* GetSurfaceDataTable() {
    return &g_table;
}

SurfaceData* GetSurfaceData(int handle) {
    return (SurfaceData*)GetHandleRecord(&g_table, handle);
}

int AddSurfaceData(int initialRefCount, int width, int height, uint32_t transColor, const uint8_t flags[8]) {
    // The record keeps the size in 16 bits: anything else cannot be stored.
    if (width < 1 || width > 65535 || height < 1 || height > 65535)
        return -1;
    int slot = ChooseHandleSlot(&g_table);
    if (slot < 0)
        return WriteLog("サーフェスのデータ数が許容量を越えました。\n");
    auto* sd = (SurfaceData*)AllocZeroedMemory((int)sizeof(SurfaceData), "QzDraw", __LINE__);
    if (sd == nullptr)
        return WriteLog("サーフェス用データを保存するメモリ領域の確保に失敗しました\n");
    std::memcpy(&sd->useTexture, flags, 8);
    sd->zBufferWanted = 0;
    sd->memImageStore = 0;
    sd->width = (uint16_t)width;
    sd->height = (uint16_t)height;
    sd->refCount = initialRefCount;
    sd->transColor = transColor;
    if (sd->useTexture) {
        // A render-target or alpha texture never takes the alpha-test formats.
        sd->systemMemory = 0;
        if (sd->drawValid || sd->alphaChannel)
            sd->transColorUse = 0;
    } else {
        if (sd->alphaChannel || sd->blendImage)
            sd->systemMemory = 1;
        sd->transColorUse = 0;
        sd->drawValid = 1;
    }
    sd->memImageStore = sd->systemMemory == 1 || IsSoftwareScreen() ? 1 : 0;
    int handle = TakeHandleSlot(&g_table, slot, sd);
    if (SetupSurfaceDataSurface(handle) != 0) {
        DeleteSurfaceData(handle);
        return -1;
    }
    SetSurfaceDataColorKey(handle);
    return handle;
}

int SetupSurfaceDataSurface(int handle) {
    SurfaceData* sd = GetSurfaceData(handle);
    IDirectDraw7* dd = g_screen.directDraw;
    if (dd == nullptr || sd == nullptr)
        return -1;
    // A store that exists is kept: the rebuild runs this twice, and a second pass must
    // not wipe a MEMIMG store's pixels.
    if (sd->surface != nullptr || sd->memImage.magic == kMemImgMagic)
        return 0;

    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwWidth = sd->width;
    desc.dwHeight = sd->height;
    bool ok = true;
    if (sd->useTexture) {
        sd->formatIndex = G_D3D_GetTextureFormatIndex(&sd->useTexture);
        desc.dwFlags |= DDSD_PIXELFORMAT | DDSD_TEXTURESTAGE;
        desc.dwTextureStage = 0;
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | (sd->drawValid ? DDSCAPS_3DDEVICE : 0);
        desc.ddsCaps.dwCaps2 = sd->drawValid ? 0 : DDSCAPS2_TEXTUREMANAGE;
        desc.ddpfPixelFormat = *G_D3D_GetTexturePixelFormat(sd->formatIndex);
        if (dd->CreateSurface(&desc, &sd->surface, nullptr) != DD_OK) {
            sd->surface = nullptr;
            WriteLog("テクスチャサーフェスの作成に失敗しました\n");
            WriteLogFormat("DrawValid:%d  AlphaChFlag%d  AlphaTestFlag:%d  ColorBitDepth:%d", sd->drawValid,
                           sd->alphaChannel, sd->transColorUse, sd->colorBitDepth);
            ok = false;
        } else {
            DDBLTFX fx;
            std::memset(&fx, 0, sizeof fx);
            fx.dwSize = sizeof fx;
            sd->surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
        }
    } else if (sd->memImageStore) {
        std::memset(&sd->memImage, 0, sizeof sd->memImage);
        int result;
        if (sd->blendImage) {
            result = SetupMEMIMG(&sd->memImage, sd->width, sd->height, -1, 0, kMemImgSingle8, 0, 0, 0);
        } else {
            int type = sd->colorBitDepth == 16 ? 0 : 1;
            sd->formatIndex = 10 + 2 * type + (sd->alphaChannel ? 1 : 0);
            uint32_t key = 0xFFFF;
            if (!sd->paletteImage)
                key = PackPixelRGBA(GetMEMIMGColorFormat(type, sd->alphaChannel, 0), (int)(sd->transColor >> 16 & 0xFF),
                                    (int)(sd->transColor >> 8 & 0xFF), (int)(sd->transColor & 0xFF), 255);
            result = SetupMEMIMG(&sd->memImage, sd->width, sd->height, -1, key, type, sd->paletteImage,
                                 sd->alphaChannel, 0);
        }
        if (result != 0) {
            WriteLog("メモリイメージの作成に失敗しました\n");
            ok = false;
        }
    } else {
        sd->formatIndex = 9;
        int screenWidth = 0;
        GetScreenSize(&screenWidth, nullptr);
        if (sd->systemMemory || sd->width > screenWidth || g_screen.softwareRender)
            desc.ddsCaps.dwCaps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_OFFSCREENPLAIN;
        else
            desc.ddsCaps.dwCaps = DDSCAPS_VIDEOMEMORY | DDSCAPS_3DDEVICE | DDSCAPS_OFFSCREENPLAIN;
        if (dd->CreateSurface(&desc, &sd->surface, nullptr) != DD_OK) {
            desc.ddsCaps.dwCaps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_OFFSCREENPLAIN;
            if (dd->CreateSurface(&desc, &sd->surface, nullptr) != DD_OK) {
                sd->surface = nullptr;
                WriteLog("標準サーフェスの作成に失敗しました\n");
                ok = false;
            }
        }
        if (ok) {
            DDSCAPS2 caps;
            std::memset(&caps, 0, sizeof caps);
            sd->surface->GetCaps(&caps);
            sd->systemMemory = (caps.dwCaps & DDSCAPS_VIDEOMEMORY) ? 0 : 1;
            sd->drawValid = 1;
        }
    }
    if (ok && SetSurfaceDataZBuffer(handle, sd->zBufferWanted) == 0)
        return 0;
    if (sd->surface) {
        ReleaseZSurface(sd);
        sd->surface->Release();
        sd->surface = nullptr;
    }
    if (sd->memImageStore) {
        ReleaseMEMIMG(&sd->zMemImage);
        ReleaseMEMIMG(&sd->memImage);
    }
    std::memset(&sd->memImage, 0, sizeof sd->memImage);
    return -1;
}

int SetSurfaceDataZBuffer(int handle, int wanted) {
    SurfaceData* sd = GetSurfaceData(handle);
    if (g_screen.directDraw == nullptr || sd == nullptr)
        return -1;
    bool memStore = IsMemImgStore(sd);
    bool has = memStore ? sd->zMemImage.pixels != nullptr : sd->zSurface != nullptr;
    if (wanted == sd->zBufferWanted && has == (wanted != 0))
        return 0;
    if (!sd->drawValid)
        return -1;
    if (wanted == 0) {
        if (memStore)
            ReleaseMEMIMG(&sd->zMemImage);
        else
            ReleaseZSurface(sd);
    } else if (memStore) {
        if (!has && CreateZBufferMEMIMG(&sd->zMemImage, sd->width, sd->height) != 0)
            return -1;
    } else if (!has) {
        if (sd->surface == nullptr)
            return -1;
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
        desc.dwWidth = sd->width;
        desc.dwHeight = sd->height;
        desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY;
        desc.ddpfPixelFormat = *G_D3D_GetZBufferPixelFormat(16);
        if (g_screen.directDraw->CreateSurface(&desc, &sd->zSurface, nullptr) != DD_OK) {
            sd->zSurface = nullptr;
            return WriteLogFormat("Ｚバッファの作成に失敗しました");
        }
        sd->surface->AddAttachedSurface(sd->zSurface);
    }
    sd->zBufferWanted = wanted;
    return 0;
}

int ReleaseSurfaceDataSurface(int handle) {
    SurfaceData* sd = GetSurfaceData(handle);
    if (sd == nullptr)
        return -1;
    if (IsMemImgStore(sd)) {
        ReleaseMEMIMG(&sd->zMemImage);
        ReleaseMEMIMG(&sd->memImage);
    } else {
        ReleaseZSurface(sd);
        if (sd->surface) {
            sd->surface->Release();
            sd->surface = nullptr;
        }
    }
    return 0;
}

int DeleteSurfaceData(int handle) {
    ReleaseSurfaceDataSurface(handle);
    SurfaceData* sd = GetSurfaceData(handle);
    if (sd == nullptr)
        return -1;
    if (sd->deleteNotify)
        *sd->deleteNotify = 1;
    ReleaseHandleSlot(&g_table, GetHandleSlot(handle));
    FreeMemory(sd);
    return 0;
}

int DeleteAllSurfaceData() {
    for (int slot = 0; slot < g_table.size && g_table.count > 0; ++slot)
        if (g_table.records[slot] != nullptr)
            DeleteSurfaceData(GetSlotHandle(&g_table, slot));
    g_table.highWater = 0;
    return 0;
}

int IncSurfaceDataRefCount(int handle) {
    SurfaceData* sd = GetSurfaceData(handle);
    return sd ? ++sd->refCount : -1;
}

int DecSurfaceDataRefCount(int handle) {
    SurfaceData* sd = GetSurfaceData(handle);
    return sd ? --sd->refCount : -1;
}

int SetSurfaceDataColorKey(int handle) {
    SurfaceData* sd = GetSurfaceData(handle);
    if (sd == nullptr)
        return -1;
    if (sd->surface == nullptr)
        return 0;
    int r = (int)(sd->transColor >> 16 & 0xFF), g = (int)(sd->transColor >> 8 & 0xFF), b = (int)(sd->transColor & 0xFF);
    DDCOLORKEY key;
    if (sd->useTexture) {
        const ColorFormat* f = G_D3D_GetTextureColorFormat(sd->formatIndex);
        key.dwColorSpaceLowValue = key.dwColorSpaceHighValue = PackPixelRGBA(f, r, g, b, 255) | f->fillMask | f->alphaMask;
        if (sd->surface->SetColorKey(DDCKEY_SRCBLT, &key) != DD_OK)
            return WriteLog("テクスチャサーフェスのカラーキーの設定に失敗しました\n");
    } else {
        key.dwColorSpaceLowValue = key.dwColorSpaceHighValue = sd->colorBitDepth == 8 ? 0 : GetScreenColorValue(r, g, b);
        if (sd->surface->SetColorKey(DDCKEY_SRCBLT, &key) != DD_OK)
            return WriteLog("標準サーフェスのカラーキーの設定に失敗しました\n");
    }
    return 0;
}

int RestoreSurfaceData(int handle) {
    SurfaceData* sd = GetSurfaceData(handle);
    if (sd == nullptr)
        return -1;
    if (sd->surface != nullptr && sd->surface->IsLost() == DDERR_SURFACELOST) {
        sd->surface->Restore();
        // An attached depth buffer is lost with its surface.
        if (sd->zSurface != nullptr && sd->zSurface->IsLost() == DDERR_SURFACELOST)
            sd->zSurface->Restore();
        return -1;
    }
    return 0;
}

int LockSurfaceData(int handle, int* pitchOut, void** pointerOut, int writeOnly, const RECT* rect,
                    const ColorFormat** formatOut) {
    SurfaceData* sd = GetSurfaceData(handle);
    if (sd == nullptr)
        return -1;
    const ColorFormat* format;
    if (sd->useTexture)
        format = G_D3D_GetTextureColorFormat(sd->formatIndex);
    else if (sd->memImageStore)
        format = sd->memImage.format;
    else
        format = GetScreenColorFormat();
    if (formatOut)
        *formatOut = format;
    RECT whole = {0, 0, sd->width, sd->height};
    RECT area = rect ? *rect : whole;
    int bytes = format ? format->pixelBytes : 0;

    if (sd->lockCount > 0) {
        // A nested lock sees its own rectangle of the first lock's memory.
        const RECT& first = sd->lockRect;
        if (area.left < first.left || area.top < first.top || area.right > first.right ||
            area.bottom > first.bottom || area.left > area.right || area.top > area.bottom)
            return -1;
        if (pitchOut && pointerOut) {
            *pitchOut = sd->lockPitch;
            *pointerOut = (uint8_t*)sd->lockPointer + (ptrdiff_t)(area.top - first.top) * sd->lockPitch +
                          (ptrdiff_t)(area.left - first.left) * bytes;
        }
        ++sd->lockCount;
        return -2;
    }

    void* pointer;
    int pitch;
    if (sd->memImageStore && !sd->useTexture) {
        if (sd->memImage.pixels == nullptr || area.left < 0 || area.top < 0 || area.right > sd->width ||
            area.bottom > sd->height || area.left > area.right || area.top > area.bottom)
            return -1;
        pitch = sd->memImage.pitch;
        pointer = sd->memImage.pixels + (ptrdiff_t)area.top * pitch + (ptrdiff_t)area.left * bytes;
    } else {
        if (sd->surface == nullptr)
            return WriteLogFormat("グラフィックのロックに失敗しました");
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        RECT lockRect = area;
        if (sd->surface->Lock(rect ? &lockRect : nullptr, &desc, DDLOCK_WAIT | (writeOnly == 1 ? DDLOCK_WRITEONLY : 0),
                              nullptr) != DD_OK)
            return WriteLogFormat("グラフィックのロックに失敗しました");
        pointer = desc.lpSurface;
        pitch = desc.lPitch;
    }
    sd->lockPointer = pointer;
    sd->lockPitch = pitch;
    sd->lockRect = area;
    if (pitchOut && pointerOut) {
        *pitchOut = pitch;
        *pointerOut = pointer;
    }
    sd->lockCount = 1;
    return 0;
}

int UnlockSurfaceData(int handle, RECT* rect) {
    SurfaceData* sd = GetSurfaceData(handle);
    if (sd == nullptr || sd->lockCount == 0)
        return -1;
    if (--sd->lockCount == 0 && !(sd->memImageStore && !sd->useTexture) && sd->surface)
        sd->surface->Unlock(rect);
    return 0;
}

int FillSurfaceData(int handle, int r, int g, int b, int a) {
    SurfaceData* sd = GetSurfaceData(handle);
    if (g_screen.directDraw == nullptr || sd == nullptr)
        return -1;
    if (IsMemImgStore(sd)) {
        // A MEMIMG store has no surface to blit: the colour goes in packed in its own format.
        if (sd->memImage.pixels)
            FillMEMIMGRawRect(&sd->memImage, nullptr, PackPixelRGBA(sd->memImage.format, r, g, b, a));
        return 0;
    }
    const ColorFormat* f = sd->useTexture ? G_D3D_GetTextureColorFormat(sd->formatIndex) : GetScreenColorFormat();
    if (sd->surface) {
        DDBLTFX fx;
        std::memset(&fx, 0, sizeof fx);
        fx.dwSize = sizeof fx;
        fx.dwFillColor = PackPixelRGBA(f, r, g, b, a);
        sd->surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    }
    return 0;
}
