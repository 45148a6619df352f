// Qz3DSystem.cpp: Direct3D start-up, its end, the object's release and re-acquisition
// around a device loss, and the texture format table.
//
// Start-up accepts the T&L HAL or the HAL device when it renders at the screen's depth
// (a T&L HAL device stops the enumeration; one listed after a HAL device replaces it),
// takes the first plain 16-bit depth format of the HAL device, makes the device slot on
// the back surface and fills the texture formats: the first 16- and 32-bit formats
// without alpha (a later one equal to the screen format wins), and by alpha mask the last
// A4R4G4B4 (entry 2), A8R8G8B8 (entries 3 and 5) and A1R5G5B5 (entry 4). Any failing step
// releases what was made and leaves the object null, so graphics fall back to DirectDraw.
#include "Qz3DSystem.h"

#include <cstring>

#include "Qz3DDevice.h"
#include "Qz3DScene.h"
#include "Qz3DTexture.h"
#include "QzDrawScreen.h"
#include "QzWinLog.h"

Direct3DState g_d3d;

namespace {

bool IsEmpty(const TextureFormat& f) {
    return f.colorFormat.colorBitDepth == 0;
}

void ReleaseObject() {
    if (g_d3d.direct3D) {
        g_d3d.direct3D->Release();
        g_d3d.direct3D = nullptr;
    }
}

// Formats no texture or depth buffer of ours can use.
bool IsSpecialFormat(const DDPIXELFORMAT* f) {
    return (f->dwFlags & (DDPF_LUMINANCE | DDPF_BUMPLUMINANCE | DDPF_BUMPDUDV | DDPF_FOURCC | DDPF_ALPHA)) != 0;
}

HRESULT CALLBACK AcceptDevice(LPSTR, LPSTR, LPD3DDEVICEDESC7 desc, LPVOID) {
    bool tnl = desc->deviceGUID == IID_IDirect3DTnLHalDevice;
    bool hal = desc->deviceGUID == IID_IDirect3DHALDevice;
    if (!tnl && !hal)
        return D3DENUMRET_OK;
    DWORD needed = g_screen.colorBitDepth == 16 ? DDBD_16 : g_screen.colorBitDepth == 32 ? DDBD_32 : 0;
    if (needed == 0 || (desc->dwDeviceRenderBitDepth & needed) == 0)
        return D3DENUMRET_OK;
    g_d3d.deviceFound = 1;
    std::memcpy(&g_d3d.deviceDesc, desc, sizeof g_d3d.deviceDesc);
    return tnl ? D3DENUMRET_CANCEL : D3DENUMRET_OK;
}

HRESULT CALLBACK AcceptDepthFormat(LPDDPIXELFORMAT format, LPVOID) {
    if (format == nullptr)
        return D3DENUMRET_CANCEL;
    if (IsSpecialFormat(format))
        return D3DENUMRET_OK;
    if (format->dwFlags == DDPF_ZBUFFER && format->dwZBufferBitDepth == 16) {
        g_d3d.depthFormat = *format;
        g_d3d.depthFound = 1;
        return D3DENUMRET_CANCEL;
    }
    return D3DENUMRET_OK;
}

HRESULT CALLBACK AcceptTextureFormat(LPDDPIXELFORMAT format, LPVOID) {
    if (format == nullptr || IsSpecialFormat(format))
        return D3DENUMRET_OK;
    TextureFormat entry;
    std::memset(&entry, 0, sizeof entry);
    entry.pixelFormat = *format;
    SetColorFormatFromPixelFormat(format, &entry.colorFormat);
    TextureFormat* table = g_d3d.textureFormats;
    const ColorFormat& cf = entry.colorFormat;
    if (cf.alphaWidth != 0) {
        if (cf.alphaMask == 0xF000u) {
            table[2] = entry;
        } else if (cf.alphaMask == 0xFF000000u) {
            table[3] = entry;
            table[5] = entry;
        } else if (cf.alphaMask == 0x8000u) {
            table[4] = entry;
        }
    } else if (cf.colorBitDepth == 16 || cf.colorBitDepth == 32) {
        TextureFormat& slot = table[cf.colorBitDepth == 16 ? 0 : 1];
        if (IsEmpty(slot) || ComparePixelFormat(&cf, &g_screen.screenFormat))
            slot = entry;
    }
    return D3DENUMRET_OK;
}

void FillMissingFormats() {
    TextureFormat* t = g_d3d.textureFormats;
    static const int kCopies[][2] = {{1, 0}, {3, 2}, {4, 2}, {5, 3}, {6, 0}, {7, 1}, {8, 3}};
    for (const auto& c : kCopies)
        if (IsEmpty(t[c[0]]))
            t[c[0]] = t[c[1]];
}

void LogStartUp() {
    IndentLog();
    WriteLogFormat("テクスチャ最大幅:%u 最小幅:%u ", (unsigned)g_d3d.maxTextureSize, (unsigned)g_d3d.minTextureSize);
    DWORD caps = g_d3d.deviceDesc.dpcTriCaps.dwTextureCaps;
    WriteLogFormat("描画制限: D_D3DPTEXTURECAPS_POW2 = %d  D_D3DPTEXTURECAPS_SQUAREONLY = %d ",
                   (caps & D3DPTEXTURECAPS_POW2) ? 1 : 0, (caps & D3DPTEXTURECAPS_SQUAREONLY) ? 1 : 0);
    WriteLog("テクスチャピクセルフォーマット\n");
    WriteLog("\t通常グラフィック用\n");
    for (int i = 0; i < 2; ++i) {
        const ColorFormat& f = g_d3d.textureFormats[i].colorFormat;
        WriteLogFormat("\t\t BIT:%u  RED:%u  GREEN:%u  BLUE:%u ", (unsigned)f.colorBitDepth, (unsigned)f.redWidth,
                       (unsigned)f.greenWidth, (unsigned)f.blueWidth);
        WriteLogFormat("\t\t RED:%06x GREEN:%06x BLUE:%06x \n", f.redMask, f.greenMask, f.blueMask);
    }
    WriteLog("\tアルファチャンネル付きグラフィック用\n");
    for (int i = 2; i < 4; ++i) {
        const ColorFormat& f = g_d3d.textureFormats[i].colorFormat;
        WriteLogFormat("\t\t BIT:%u  ALPHA:%u  RED:%u  GREEN:%u  BLUE:%u ", (unsigned)f.colorBitDepth,
                       (unsigned)f.alphaWidth, (unsigned)f.redWidth, (unsigned)f.greenWidth, (unsigned)f.blueWidth);
        WriteLogFormat("\t\t ALPHA:%08x RED:%08x GREEN:%08x BLUE:%08x \n", f.alphaMask, f.redMask, f.greenMask,
                       f.blueMask);
    }
    UnindentLog();
}

const TextureFormat& FormatAt(int index) {
    static const TextureFormat empty = {};
    return index >= 0 && index < kTextureFormatCount ? g_d3d.textureFormats[index] : empty;
}

}  // namespace

int InitializeDirect3D() {
    if (g_d3d.direct3D != nullptr)
        return -1;
    WriteLog("Direct3D 関連の初期化を行います\n");
    std::memset(&g_d3d, 0, sizeof g_d3d);

    WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得します\n");
    void* object = nullptr;
    if (g_screen.directDraw == nullptr || g_screen.directDraw->QueryInterface(IID_IDirect3D7, &object) != S_OK ||
        object == nullptr)
        return WriteLog("Direct3Dオブジェクトの作成に失敗しました\n");
    g_d3d.direct3D = (IDirect3D7*)object;
    WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得しました\n");

    if (g_d3d.direct3D->EnumDevices(AcceptDevice, nullptr) != D3D_OK || !g_d3d.deviceFound) {
        WriteLog("現在の画面モードで使用できる描画デバイスが見つかりませんでした\n");
        ReleaseObject();
        return -1;
    }

    if (g_d3d.direct3D->EnumZBufferFormats(IID_IDirect3DHALDevice, AcceptDepthFormat, nullptr) != D3D_OK ||
        !g_d3d.depthFound) {
        WriteLog("使用可能なＺバッファが見つかりませんでした\n");
        G_D3D_DeleteAllDevices();
        ReleaseObject();
        return -1;
    }

    int slot = G_D3D_CreateDevice(GetBackSurface());
    if (slot < 0) {
        ReleaseObject();
        return -1;
    }
    g_d3d.currentSlot = slot;
    IDirect3DDevice7* device = G_D3D_GetSlotDevice(slot);

    HRESULT address = D3D_OK;
    for (int k = 3; k >= 0; --k)
        address = device->SetTextureStageState((DWORD)k, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    if (address != D3D_OK) {
        G_D3D_DeleteAllDevices();
        ReleaseObject();
        return -1;
    }

    std::memset(g_d3d.textureFormats, 0, sizeof g_d3d.textureFormats);
    if (device->EnumTextureFormats(AcceptTextureFormat, nullptr) != D3D_OK || IsEmpty(g_d3d.textureFormats[0])) {
        WriteLog("使用可能なテクスチャフォーマットが見つかりませんでした\n");
        G_D3D_DeleteAllDevices();
        ReleaseObject();
        return -1;
    }
    FillMissingFormats();

    g_d3d.frontTarget = 1;
    const D3DDEVICEDESC7& desc = g_d3d.deviceDesc;
    DWORD minSide = desc.dwMinTextureWidth < desc.dwMinTextureHeight ? desc.dwMinTextureWidth : desc.dwMinTextureHeight;
    DWORD maxSide = desc.dwMaxTextureWidth < desc.dwMaxTextureHeight ? desc.dwMaxTextureWidth : desc.dwMaxTextureHeight;
    g_d3d.minTextureSize = minSide == 0 ? 32 : (int32_t)minSide;
    g_d3d.maxTextureSize = maxSide == 0 ? 256 : (int32_t)maxSide;
    g_d3d.captureMethod[0] = -1;
    g_d3d.captureMethod[1] = -1;
    g_d3d.cpuTarget = 0;
    g_d3d.freeQuadOption = 0;

    LogStartUp();
    WriteLog("Direct3D 関連の初期化は正常に終了しました\n");
    g_d3d.started = 1;
    return 0;
}

int TerminateDirect3D() {
    // A renderer lost and never re-acquired still owns its pieces and slot: they go too.
    if (g_d3d.direct3D == nullptr && !g_d3d.started)
        return -1;
    WriteLog("Direct3D 関連の終了処理を行います\n");
    G_D3D_EndScene();
    g_d3d.frontTarget = 0;
    G_D3D_BindTexture(nullptr, g_d3d.currentSlot);
    DeleteEverySurface3DData();
    G_D3D_DeleteAllDevices();
    ReleaseObject();
    WriteLog("Direct3D 関連の終了処理は正常に終了しました\n");
    g_d3d.started = 0;
    return 0;
}

int ReleaseDirect3DObjects() {
    if (!g_d3d.started)
        return -1;
    G_D3D_ReleaseDevice(g_d3d.currentSlot);
    WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを解放します\n");
    if (g_d3d.direct3D) {
        ReleaseObject();
        WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを解放しました\n");
    } else {
        WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に解放されています\n");
    }
    return 0;
}

int RecreateDirect3DObjects() {
    if (!g_d3d.started)
        return 0;
    WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得します\n");
    if (g_d3d.direct3D) {
        WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に取得されています\n");
        return 0;
    }
    void* object = nullptr;
    if (g_screen.directDraw == nullptr || g_screen.directDraw->QueryInterface(IID_IDirect3D7, &object) != S_OK ||
        object == nullptr)
        return WriteLog("Direct3Dオブジェクトの作成に失敗しました\n");
    g_d3d.direct3D = (IDirect3D7*)object;
    WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトは正常に取得されました\n");
    // The back surface, as at start-up: a target select that fails later falls back to the
    // default, which must never be the visible screen.
    if (D3DDeviceSlot* s = GetUsedD3DDeviceSlot(g_d3d.currentSlot)) {
        s->defaultTarget = GetBackSurface();
        s->currentTarget = GetDrawTargetSurface();
    }
    G_D3D_RecreateDevice(g_d3d.currentSlot);
    return 0;
}

int DeleteAllSurface3DDataIfReady() {
    if (g_d3d.direct3D == nullptr)
        return -1;
    DeleteAllSurface3DData();
    return 0;
}

int G_D3D_GetTextureFormatIndex(const uint8_t flags[8]) {
    // The flag bytes: useTexture, alphaChannel, drawValid, systemMemory, transColorUse,
    // colorBitDepth, blendImage, paletteImage.
    int wide = flags[5] != 16 ? 1 : 0;
    if (flags[2])
        return flags[1] || flags[4] ? 8 : 6 + wide;
    if (flags[1])
        return 2 + wide;
    if (flags[4])
        return 4 + wide;
    return wide;
}

const DDPIXELFORMAT* G_D3D_GetTexturePixelFormat(int index) {
    return &FormatAt(index).pixelFormat;
}

const ColorFormat* G_D3D_GetTextureColorFormat(int index) {
    return &FormatAt(index).colorFormat;
}

const ColorFormat* G_D3D_GetFormatColorFormat(const uint8_t flags[8]) {
    return G_D3D_GetTextureColorFormat(G_D3D_GetTextureFormatIndex(flags));
}

const ColorFormat* G_D3D_SelectTextureColorFormat(int alphaChannel, int alphaTest, int use32Bit, int drawValid) {
    uint8_t flags[8] = {1, (uint8_t)alphaChannel, (uint8_t)drawValid, 0, (uint8_t)alphaTest,
                        (uint8_t)(use32Bit ? 32 : 16), 0, 0};
    return G_D3D_GetFormatColorFormat(flags);
}

const DDPIXELFORMAT* G_D3D_GetZBufferPixelFormat(int) {
    return &g_d3d.depthFormat;
}
