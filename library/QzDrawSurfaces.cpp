// QzDrawSurfaces.cpp: the screen's surfaces and images, and the draw target.
//
// Hardware, window mode: a desktop-sized primary and an offscreen back surface.
// Hardware, full screen: a flip chain of 1 or 2 back buffers (1 when video memory is
// short). Both: two system-memory work surfaces and a 16-bit Z buffer.
// Software rendering: system-memory primary and back surfaces, and front, back and Z
// MEMIMGs; the back MEMIMG wraps the locked back surface when the formats allow it.
#include "QzDrawSurfaces.h"

#include <algorithm>
#include <cstring>

#include "Qz3DDevice.h"
#include "Qz3DScene.h"
#include "Qz3DTexture.h"
#include "QzDraw2D.h"
#include "QzDrawPrimitive.h"
#include "QzDrawScreen.h"
#include "QzWinMenu.h"
#include "QzDrawSurfaceData.h"
#include "QzGraphicsData.h"
#include "QzGraphicsDrawState.h"
#include "QzWinLog.h"
#include "QzWinWindow.h"

namespace {

IDirectDrawSurface7* Create(DDSURFACEDESC2& desc, const char* fatalText) {
    IDirectDrawSurface7* s = nullptr;
    if (g_screen.directDraw->CreateSurface(&desc, &s, nullptr) != DD_OK || s == nullptr)
        ExitWithFatalError(fatalText);
    return s;
}

DDSURFACEDESC2 Desc(DWORD flags, DWORD caps) {
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = flags;
    desc.dwWidth = (DWORD)g_screen.width;
    desc.dwHeight = (DWORD)g_screen.height;
    desc.ddsCaps.dwCaps = caps;
    return desc;
}

void ColorFill(IDirectDrawSurface7* s, const RECT* rect, DWORD flags) {
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    s->Blt(const_cast<RECT*>(rect), nullptr, nullptr, DDBLT_COLORFILL | flags, &fx);
}

void DepthFill(IDirectDrawSurface7* s, const RECT* rect) {
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    fx.dwFillDepth = 0xFFFF;
    s->Blt(const_cast<RECT*>(rect), nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx);
}

const char* Placement(IDirectDrawSurface7* s) {
    DDSCAPS2 caps;
    std::memset(&caps, 0, sizeof caps);
    s->GetCaps(&caps);
    return (caps.dwCaps & DDSCAPS_VIDEOMEMORY) ? "VIDEOMEMORY" : "SYSTEMMEMORY";
}

// The window clipper goes on the primary only where the primary is shared with other
// windows: window mode, the Blt present, or a visible menu.
bool ClipperMatters() {
    return IsWindowMode() || g_screen.bltPresent || IsMenuEnabled();
}

void ReleaseSurface(IDirectDrawSurface7*& s) {
    if (s) {
        s->Release();
        s = nullptr;
    }
}

}  // namespace

bool BackImageCanWrapSurface() {
    const ColorFormat& f = g_screen.screenFormat;
    if (g_screen.graphicsBitDepth != g_screen.colorBitDepth)
        return false;
    if (g_screen.colorBitDepth == 32)
        return f.redMask == 0xFF0000 && f.greenMask == 0xFF00 && f.blueMask == 0xFF;
    if (g_screen.colorBitDepth == 16)
        return f.redMask == 0xF800 && f.greenMask == 0x07E0 && f.blueMask == 0x001F;
    return false;
}

int CreateMainSurfaces() {
    if (g_screen.directDraw == nullptr || g_screen.primary != nullptr)
        return -1;
    WriteLog("出力画面用の DirectDrawSurface を作成します\n");
    IndentLog();
    bool software = IsSoftwareScreen();
    g_screen.screenImagesMade = software ? 1 : 0;
    if (software) {
        DDSURFACEDESC2 primary = Desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE | DDSCAPS_SYSTEMMEMORY);
        g_screen.primary = Create(primary, "プライマリサーフェスの作成に失敗しました");
        DDSURFACEDESC2 back = Desc(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
        g_screen.back = Create(back, "バックサーフェスの作成に失敗しました");
        ColorFill(g_screen.back, nullptr, DDBLT_WAIT);
        int type = g_screen.graphicsBitDepth == 16 ? 0 : 1;
        if (CreateScreenMEMIMG(&g_screen.frontImage, g_screen.width, g_screen.height, type) != 0)
            ExitWithFatalError("プライマリサーフェス用の MEMIMG の作成に失敗しました\n");
        g_screen.back->PageLock(0);
        g_screen.primary->PageLock(0);
        if (BackImageCanWrapSurface()) {
            // The back image is the back surface itself, locked for its whole life.
            DDSURFACEDESC2 lock;
            std::memset(&lock, 0, sizeof lock);
            lock.dwSize = sizeof lock;
            if (g_screen.back->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr) != DD_OK)
                ExitWithFatalError("バックサーフェスのロックに失敗しました");
            std::memset(&g_screen.backImage, 0, sizeof g_screen.backImage);
            g_screen.backImage.pixels = (uint8_t*)lock.lpSurface;
            if (SetupMEMIMG(&g_screen.backImage, g_screen.width, g_screen.height, lock.lPitch, 0,
                            g_screen.colorBitDepth == 16 ? 0 : 1, 0, 0, 0) != 0)
                ExitWithFatalError("バックサーフェス用の MEMIMG の作成に失敗しました\n");
            g_screen.backImageWrapsSurface = 1;
        } else {
            if (CreateScreenMEMIMG(&g_screen.backImage, g_screen.width, g_screen.height, type) != 0)
                ExitWithFatalError("バックサーフェス用の MEMIMG の作成に失敗しました\n");
            g_screen.backImageWrapsSurface = 0;
        }
        if (CreateZBufferMEMIMG(&g_screen.zImage, g_screen.width, g_screen.height) != 0)
            ExitWithFatalError("Ｚバッファサーフェス用の MEMIMG の作成に失敗しました\n");
    } else {
        g_screen.graphicsBitDepth = g_screen.colorBitDepth;
        if (IsWindowMode()) {
            DDSURFACEDESC2 primary = Desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE);
            g_screen.primary = Create(primary, "プライマリサーフェスの作成に失敗しました");
            DDSURFACEDESC2 back = Desc(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
            g_screen.back = Create(back, "バックサーフェスの作成に失敗しました");
            ColorFill(g_screen.back, nullptr, 0);
        } else {
            DDSURFACEDESC2 chain = Desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT,
                                        DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE);
            uint32_t total = g_windowSystem.systemInfo.totalVideoMemory;
            uint32_t needed = 8u * (uint32_t)g_screen.width * (uint32_t)g_screen.height *
                              (uint32_t)(g_screen.colorBitDepth / 8);
            chain.dwBackBufferCount = total < 0x800000u || total < needed ? 1 : 2;
            g_screen.primary = Create(chain, "プライマリサーフェスの作成に失敗しました");
            DDSCAPS2 caps;
            std::memset(&caps, 0, sizeof caps);
            caps.dwCaps = DDSCAPS_BACKBUFFER;
            if (g_screen.primary->GetAttachedSurface(&caps, &g_screen.back) != DD_OK || g_screen.back == nullptr)
                ExitWithFatalError("バックバッファのポインタ取得に失敗しました");
            // Every buffer of the chain starts black.
            for (int i = 0; i < 3; ++i) {
                ColorFill(g_screen.back, nullptr, DDBLT_WAIT);
                g_screen.primary->Flip(nullptr, DDFLIP_NOVSYNC);
            }
        }
        const char* workTexts[2] = {"作業用サーフェスの作成に失敗しました", "作業用サーフェス２の作成に失敗しました"};
        for (int i = 0; i < 2; ++i) {
            DDSURFACEDESC2 work = Desc(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
            g_screen.work[i] = Create(work, workTexts[i]);
            DDCOLORKEY key = {0, 0};
            g_screen.work[i]->SetColorKey(DDCKEY_SRCBLT, &key);
        }
        DDSURFACEDESC2 z = Desc(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT,
                                DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY);
        z.ddpfPixelFormat.dwSize = sizeof z.ddpfPixelFormat;
        z.ddpfPixelFormat.dwFlags = DDPF_ZBUFFER;
        z.ddpfPixelFormat.dwZBufferBitDepth = 16;
        z.ddpfPixelFormat.dwZBitMask = 0xFFFF;
        g_screen.zSurface = Create(z, "Ｚバッファの作成に失敗しました");
        g_screen.back->AddAttachedSurface(g_screen.zSurface);
    }
    WriteLog("各スクリーンメモリの配置位置\n");
    IndentLog();
    if (software) {
        WriteLogFormat("PrimaryBuffer : SYSTEMMEMORY( MEMIMG ) ");
        WriteLogFormat("BaskBuffer : SYSTEMMEMORY( MEMIMG ) ");
    } else {
        WriteLogFormat("PrimaryBuffer : %s  ", Placement(g_screen.primary));
        WriteLogFormat("BaskBuffer : %s  ", Placement(g_screen.back));
    }
    UnindentLog();
    UnindentLog();
    WriteLog("出力画面用の DirectDrawSurface の作成は正常に終了しました\n");
    return 0;
}

int ReleaseMainSurfaces() {
    if (g_screen.directDraw == nullptr)
        return -1;
    // The recorded fact, not the format of the moment: the back surface was left locked.
    if (g_screen.back && g_screen.backImageWrapsSurface)
        g_screen.back->Unlock(nullptr);
    g_screen.backImageWrapsSurface = 0;
    if (g_screen.zSurface) {
        if (g_screen.back)
            g_screen.back->DeleteAttachedSurface(0, g_screen.zSurface);
        ReleaseSurface(g_screen.zSurface);
    }
    if (g_screen.primary) {
        WriteLog("メインサーフェスを破棄をします... 完了しました\n");
        g_screen.primary->SetClipper(nullptr);
        ReleaseSurface(g_screen.back);
        ReleaseSurface(g_screen.primary);
    }
    ReleaseSurface(g_screen.work[0]);
    ReleaseSurface(g_screen.work[1]);
    if (g_screen.screenImagesMade) {
        ReleaseMEMIMG(&g_screen.frontImage);
        ReleaseMEMIMG(&g_screen.backImage);
        ReleaseMEMIMG(&g_screen.zImage);
        std::memset(&g_screen.frontImage, 0, sizeof g_screen.frontImage);
        std::memset(&g_screen.backImage, 0, sizeof g_screen.backImage);
        std::memset(&g_screen.zImage, 0, sizeof g_screen.zImage);
        g_screen.screenImagesMade = 0;
    }
    // Nothing may keep pointing at what is gone.
    std::memset(&g_screen.drawTarget, 0, sizeof g_screen.drawTarget);
    return 0;
}

int RestoreMainSurfaces() {
    if (g_screen.directDraw == nullptr)
        return -1;
    for (IDirectDrawSurface7* s : {g_screen.primary, g_screen.back, g_screen.zSurface})
        if (s && s->IsLost() == DDERR_SURFACELOST)
            s->Restore();
    return 0;
}

int RestoreAllSurface2D() {
    if (g_screen.directDraw == nullptr)
        return -1;
    RestoreMainSurfaces();
    int result = 0;
    HandleTable* table = GetSurface2DTable();
    for (int slot = 0; slot < table->highWater; ++slot)
        if (auto* piece = (Surface2D*)table->records[slot])
            result |= RestoreSurfaceData(piece->store);
    return result;
}

int SetDrawTargetSurface(int target) {
    DrawTarget& t = g_screen.drawTarget;
    t.image = nullptr;
    if (target == -4) {
        t.surface = g_screen.primary;
        t.image = &g_screen.frontImage;
        t.depthImage = nullptr;
        t.xOffset = t.yOffset = 0;
        if (ClipperMatters() && g_screen.primary)
            g_screen.primary->SetClipper(nullptr);
    } else if (target == -2) {
        t.surface = g_screen.back;
        t.image = &g_screen.backImage;
        t.depthImage = &g_screen.zImage;
        t.xOffset = t.yOffset = 0;
        if (ClipperMatters() && g_screen.primary)
            g_screen.primary->SetClipper(g_screen.clipper);
    } else {
        GraphData* graph = GetGraphData(target);
        if (graph == nullptr || graph->pieceCount < 1)
            return -1;
        if (graph->useTexture) {
            const Surface3DData* piece = GetSurface3DData(graph->pieces[0]);
            SurfaceData* sd = GetSurface3DStore(piece);
            if (sd == nullptr)
                return -1;
            t.surface = sd->surface;
            t.xOffset = piece->textureX;
            t.yOffset = piece->textureY;
            t.depthImage = nullptr;
        } else {
            Surface2D* piece = GetSurface2D(graph->pieces[0]);
            SurfaceData* sd = piece ? GetSurfaceData(piece->store) : nullptr;
            if (sd == nullptr)
                return -1;
            if (sd->memImageStore) {
                t.surface = nullptr;
                t.image = &sd->memImage;
                t.xOffset = t.yOffset = 0;
            } else {
                t.surface = sd->surface;
                t.xOffset = piece->xInStore;
                t.yOffset = piece->yInStore;
            }
            t.depthImage = sd->zMemImage.magic == kMemImgMagic ? &sd->zMemImage : nullptr;
            if (ClipperMatters() && g_screen.primary)
                g_screen.primary->SetClipper(g_screen.clipper);
        }
    }
    g_drawState.targetInVideoMemory = 0;
    if (t.surface) {
        DDSCAPS2 caps;
        std::memset(&caps, 0, sizeof caps);
        t.surface->GetCaps(&caps);
        g_drawState.targetInVideoMemory = (caps.dwCaps & DDSCAPS_VIDEOMEMORY) ? 1 : 0;
    }
    return 0;
}

int ClearDrawTarget2D() {
    if (g_screen.directDraw == nullptr)
        return -1;
    if (g_screen.endSceneBefore2D)
        G_D3D_EndScene();
    G_D3D_FlushVertexBatch();
    DrawTarget& t = g_screen.drawTarget;
    if (IsSoftwareScreen()) {
        if (t.image && t.image->magic == kMemImgMagic)
            FillMEMIMGRawRect(t.image, nullptr, 0);
        if (t.depthImage && t.depthImage->magic == kMemImgMagic)
            FillMEMIMGRawRect(t.depthImage, nullptr, 0xFFFF);
        return 0;
    }
    int target = g_drawState.drawScreen;
    if (target == -4 || target == -2) {
        int width = 0, height = 0;
        GetScreenSize(&width, &height);
        RECT rect = {0, 0, width, height};
        RECT z = rect;
        if (target == -4 && IsWindowMode()) {
            // Moved to the client area and kept inside it: the primary is the desktop.
            RECT client;
            GetWindowClientRect(&client);
            rect = RECT{client.left, client.top, std::min(client.left + width, client.right),
                        std::min(client.top + height, client.bottom)};
        }
        if (t.surface && rect.left < rect.right && rect.top < rect.bottom)
            ColorFill(t.surface, &rect, 0);
        if (g_screen.zSurface)
            DepthFill(g_screen.zSurface, &z);
        return 0;
    }
    GraphData* graph = GetGraphData(target);
    if (graph == nullptr || graph->pieceCount < 1)
        return -1;
    if (graph->useTexture)
        return 0;
    Surface2D* piece = GetSurface2D(graph->pieces[0]);
    SurfaceData* sd = piece ? GetSurfaceData(piece->store) : nullptr;
    if (sd == nullptr)
        return -1;
    RECT rect = {0, 0, sd->width, sd->height};
    if (sd->memImageStore) {
        if (sd->zMemImage.magic == kMemImgMagic)
            FillMEMIMGRawRect(&sd->zMemImage, nullptr, 0xFFFF);
        FillMEMIMGRect(&sd->memImage, &rect, 0);
    } else {
        if (sd->zSurface)
            DepthFill(sd->zSurface, &rect);
        if (sd->surface)
            ColorFill(sd->surface, &rect, DDBLT_WAIT);
    }
    return 0;
}
