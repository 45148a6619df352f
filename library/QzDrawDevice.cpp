// QzDrawDevice.cpp: DirectDraw start-up and end, the object, clipper and palette, the
// overlay probe, the blend lookup tables and the rebuild steps.
#include "QzDrawDevice.h"

#include <cstring>

#include "Qz3DSystem.h"
#include "QzDraw2D.h"
#include "QzDrawPresent.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenMode.h"
#include "QzDrawSurfaceData.h"
#include "QzDrawSurfaces.h"
#include "QzGraphicsData.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsSystem.h"
#include "QzUseCLib.h"
#include "QzWinFileAccess.h"
#include "QzWinLog.h"
#include "QzWinTime.h"
#include "QzWinWindow.h"

int32_t ScaleTable[256][256];
int32_t SignedScaleTable[256][512];
uint8_t LerpTable64[64 * 64 * 64];

namespace {

// The overlay formats, tried in this order.
struct OverlayFormat {
    const char* logName;
    DDPIXELFORMAT format;
};

const OverlayFormat* OverlayFormats() {
    static OverlayFormat formats[4];
    static bool made = false;
    if (!made) {
        made = true;
        formats[0].logName = " UYVY";
        formats[0].format.dwFlags = DDPF_FOURCC;
        formats[0].format.dwFourCC = MAKEFOURCC('U', 'Y', 'V', 'Y');
        formats[1].logName = " YUY2";
        formats[1].format.dwFlags = DDPF_FOURCC;
        formats[1].format.dwFourCC = MAKEFOURCC('Y', 'U', 'Y', '2');
        formats[2].logName = " 16-bit RGB 5:5:5 ";
        formats[2].format.dwFlags = DDPF_RGB;
        formats[2].format.dwRGBBitCount = 16;
        formats[2].format.dwRBitMask = 0x7C00;
        formats[2].format.dwGBitMask = 0x03E0;
        formats[2].format.dwBBitMask = 0x001F;
        formats[3].logName = " 16-bit RGB 5:6:5 ";
        formats[3].format.dwFlags = DDPF_RGB;
        formats[3].format.dwRGBBitCount = 16;
        formats[3].format.dwRBitMask = 0xF800;
        formats[3].format.dwGBitMask = 0x07E0;
        formats[3].format.dwBBitMask = 0x001F;
        for (OverlayFormat& f : formats)
            f.format.dwSize = sizeof(DDPIXELFORMAT);
    }
    return formats;
}

// The palette every 8-bit screen starts with: a 6 x 6 x 6 colour cube, then a grey ramp.
void DefaultPalette(PALETTEENTRY out[256]) {
    int i = 0;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                out[i++] = PALETTEENTRY{(BYTE)(r * 51), (BYTE)(g * 51), (BYTE)(b * 51), 0};
    for (int k = 0; i < 256; ++k)
        out[i++] = PALETTEENTRY{(BYTE)(k * 255 / 39), (BYTE)(k * 255 / 39), (BYTE)(k * 255 / 39), 0};
}

HRESULT WINAPI AttachPaletteCallback(IDirectDrawSurface7* surface, DDSURFACEDESC2*, LPVOID context) {
    surface->SetPalette((IDirectDrawPalette*)context);
    return DDENUMRET_OK;
}

void ProbeOverlay() {
    IDirectDraw* older = nullptr;
    if (g_screen.directDraw->QueryInterface(IID_IDirectDraw, (void**)&older) != S_OK || older == nullptr)
        return;
    std::memset(&g_screen.caps, 0, sizeof g_screen.caps);
    g_screen.caps.dwSize = sizeof g_screen.caps;
    older->GetCaps(&g_screen.caps, nullptr);
    g_screen.overlayFormatIndex = -1;
    if (g_screen.caps.dwMinOverlayStretch < 1000 || g_screen.caps.dwMaxOverlayStretch < 2000) {
        for (int i = 0; i < 4; ++i) {
            DDSURFACEDESC2 desc;
            std::memset(&desc, 0, sizeof desc);
            desc.dwSize = sizeof desc;
            desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
            desc.dwWidth = desc.dwHeight = 16;
            desc.ddsCaps.dwCaps = DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY;
            desc.ddpfPixelFormat = OverlayFormats()[i].format;
            IDirectDrawSurface7* surface = nullptr;
            if (older->CreateSurface(&desc, &surface, nullptr) != DD_OK || surface == nullptr)
                continue;
            DDSCAPS2 caps;
            std::memset(&caps, 0, sizeof caps);
            surface->GetCaps(&caps);
            bool system = (caps.dwCaps & DDSCAPS_SYSTEMMEMORY) != 0;
            surface->Release();
            if (!system) {
                g_screen.overlayFormatIndex = i;
                break;
            }
        }
        if (g_screen.overlayFormatIndex >= 0)
            WriteLogFormat("オーバーレイサーフェスを使用します　　　%s", OverlayFormats()[g_screen.overlayFormatIndex].logName);
        else
            WriteLog("オーバーレイサーフェスは使用しません\n");
    } else {
        WriteLog("オーバーレイサーフェスは使用しません\n");
    }
    older->Release();
}

// Copies at most 255 bytes of a driver string and a terminator, whatever the driver left.
void CopyDriverString(char out[256], const char* in, size_t inSize) {
    size_t n = 0;
    while (n < 255 && n < inSize && in[n] != '\0')
        ++n;
    std::memcpy(out, in, n);
    out[n] = '\0';
}

}  // namespace

void BuildBlendLookupTables() {
    for (int i = 0; i < 256; ++i) {
        for (int k = 0; k < 511; ++k)
            SignedScaleTable[i][k] = i * (k - 255) / 255;
        SignedScaleTable[i][511] = 0;
        for (int j = 0; j < 256; ++j)
            ScaleTable[i][j] = i * j / 255;
    }
    for (int i = 0; i < 64; ++i)
        for (int j = 0; j < 64; ++j)
            for (int k = 0; k < 64; ++k)
                LerpTable64[i * 4096 + j * 64 + k] = (uint8_t)((i * j + (63 - i) * k) / 63);
}

int CreateDirectDrawObject(IDirectDraw7** out) {
    *out = nullptr;
    WriteLog("DirectDraw オブジェクトの取得を行います....  ");
    IDirectDraw7* dd = nullptr;
    if (CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, (void**)&dd) != S_OK ||
        dd == nullptr)
        return WriteLog("オブジェクトの取得に失敗しました\n");
    WriteLog("成功\n");
    WriteLog("引き続き初期化処理... ");
    if (dd->Initialize(nullptr) != DD_OK) {
        WriteLog("DirectDrawオブジェクトの初期化に失敗しました\n");
        dd->Release();
        return -1;
    }
    WriteLog("初期化に成功しました\n");
    WriteLog("ビデオカードの情報\n");
    IndentLog();
    SystemInfoBlock& info = g_windowSystem.systemInfo;
    if (g_windowSystem.logOff == 1) {
        info.videoDriverName[0] = '\0';
        info.videoDriverDescription[0] = '\0';
        info.freeVideoMemory = 0;
        info.totalVideoMemory = 0x1000000;
    } else {
        // Zeroed first, so a failing call leaves empty strings.
        DDDEVICEIDENTIFIER2 id;
        std::memset(&id, 0, sizeof id);
        if (dd->GetDeviceIdentifier(&id, 0) != DD_OK)
            std::memset(&id, 0, sizeof id);
        CopyDriverString(info.videoDriverName, id.szDriver, sizeof id.szDriver);
        CopyDriverString(info.videoDriverDescription, id.szDescription, sizeof id.szDescription);
        uint32_t high = (uint32_t)id.liDriverVersion.u.HighPart, low = id.liDriverVersion.u.LowPart;
        WriteLogFormat("ビデオカードドライバ:%s バージョン:%u.%u.%u.%u ", info.videoDriverName, high >> 16, high & 0xFFFF,
                       low >> 16, low & 0xFFFF);
        char line[kLogFormatBufferSize];
        FormatStringBounded(line, sizeof line, "ドライバ記述:%s \n", info.videoDriverDescription);
        WriteLog(line);
        DDSCAPS2 caps;
        std::memset(&caps, 0, sizeof caps);
        caps.dwCaps = DDSCAPS_VIDEOMEMORY;
        DWORD total = 0, free = 0;
        dd->GetAvailableVidMem(&caps, &total, &free);
        WriteLogFormat("ビデオメモリ総量:%.2fMB ビデオメモリ空き容量:%.2fMB", total / 1048576.0, free / 1048576.0);
        info.freeVideoMemory = free;
        info.totalVideoMemory = total;
    }
    UnindentLog();
    *out = dd;
    return 0;
}

int CreateWindowClipper(IDirectDraw7* dd, IDirectDrawClipper** out, HWND window) {
    *out = nullptr;
    IDirectDrawClipper* clipper = nullptr;
    if (dd == nullptr || dd->CreateClipper(0, &clipper, nullptr) != DD_OK || clipper == nullptr)
        return WriteLog("ＤｉｒｅｃｔＤｒａｗＣｌｉｐｐｅｒオブジェクトの作成に失敗しました\n");
    if (clipper->SetHWnd(0, window) != DD_OK) {
        clipper->Release();
        return WriteLog("ＤｉｒｅｃｔＤｒａｗＣｌｉｐｐｅｒオブジェクトの作成に失敗しました\n");
    }
    *out = clipper;
    return 0;
}

int InitializeDirectDraw() {
    if (g_screen.directDraw != nullptr)
        return -1;
    WriteLog("DirectDraw 関連の初期化を行います\n");
    IndentLog();
    if (CreateDirectDrawObject(&g_screen.directDraw) != 0)
        ExitWithFatalError("DirectDrawオブジェクトの作成に失敗しました");
    if (CreateWindowClipper(g_screen.directDraw, &g_screen.clipper, GetMainWindowHwnd()) != 0)
        ExitWithFatalError("DirectDrawClipperオブジェクトの作成時にエラーが発生しました");
    if (g_screen.width == 0)
        g_screen.width = 640;
    if (g_screen.height == 0)
        g_screen.height = 480;
    if (g_screen.colorBitDepth == 0)
        g_screen.colorBitDepth = 16;
    g_screen.graphicsBitDepth = g_screen.colorBitDepth;
    ChangeScreenMode(-1, -1, -1, 1, -1);
    if (HasWindowRegion() == 0) {
        SelectDrawTarget(-2);
        ClearDrawTarget();
        BltBackScreenToFront();
        SelectDrawTarget(-4);
    }
    SetEndSceneBefore2DFlag(1);
    g_screen.mmxAvailable = IsMMXAvailable();
    ProbeOverlay();
    UnindentLog();
    WriteLog("DirectDraw 関連の初期化は正常に終了しました\n");
    BuildBlendLookupTables();
    g_screen.directDrawInitialized = 1;
    return 0;
}

int TerminateDirectDraw() {
    if (g_screen.directDraw == nullptr)
        return 0;
    WriteLog("DirectDraw 関連の終了処理をおこないます\n");
    IndentLog();
    ReleaseScreenPalette();
    TerminateGraphData();
    DeleteAllSurface2D();
    TerminateDirect3D();
    ReleaseMainSurfaces();
    ReleaseClipper();
    RestoreDesktopDisplayMode();
    WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
    g_screen.directDraw->Release();
    g_screen.directDraw = nullptr;
    WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n");
    UnindentLog();
    WriteLog("DirectDraw 関連の終了処理は正常に終了しました\n");
    g_screen.directDrawInitialized = 0;
    return 0;
}

int CreateScreenPalette() {
    if (g_screen.palette != nullptr || g_screen.colorBitDepth != 8 || g_screen.directDraw == nullptr)
        return 0;
    DefaultPalette(g_screen.paletteEntries);
    if (g_screen.directDraw->CreatePalette(DDPCAPS_8BIT, g_screen.paletteEntries, &g_screen.palette, nullptr) !=
        DD_OK) {
        g_screen.palette = nullptr;
        ExitWithFatalError("パレットの作成に失敗しました");
    }
    if (IsWindowMode()) {
        if (g_screen.primary)
            g_screen.primary->SetPalette(g_screen.palette);
        if (g_screen.back)
            g_screen.back->SetPalette(g_screen.palette);
    } else if (g_screen.primary) {
        g_screen.primary->SetPalette(g_screen.palette);
        g_screen.primary->EnumAttachedSurfaces(g_screen.palette, AttachPaletteCallback);
    }
    return 0;
}

int ReleaseScreenPalette() {
    if (g_screen.palette) {
        g_screen.palette->Release();
        g_screen.palette = nullptr;
    }
    return 0;
}

int ReleasePaletteForRebuild() {
    return ReleaseScreenPalette();
}

int ReapplyPaletteEntries() {
    if (g_screen.palette) {
        g_screen.palette->SetEntries(0, 0, 256, g_screen.paletteEntries);
        g_screen.palette->GetEntries(0, 0, 256, g_screen.paletteEntries);
    }
    return 0;
}

int RecreateScreenPalette() {
    if (GetScreenBitDepth() != 8)
        return 0;
    PALETTEENTRY copy[256];
    std::memcpy(copy, g_screen.paletteEntries, sizeof copy);
    CreateScreenPalette();
    std::memcpy(g_screen.paletteEntries, copy, sizeof copy);
    ReapplyPaletteEntries();
    return 0;
}

DDCAPS* CopyDirectDrawCaps(DDCAPS* out) {
    std::memcpy(out, &g_screen.caps, sizeof *out);
    return out;
}

const DDPIXELFORMAT* GetOverlayPixelFormat() {
    if (g_screen.overlayFormatIndex < 0 || g_screen.overlayFormatIndex > 3)
        return nullptr;
    int width = 0, height = 0;
    GetScreenSize(&width, &height);
    if (width < 640 || height < 400)
        return nullptr;
    return &OverlayFormats()[g_screen.overlayFormatIndex].format;
}

int RestoreDesktopDisplayMode() {
    if (g_screen.directDraw == nullptr)
        return -1;
    if (g_screen.cooperativeLevel & DDSCL_EXCLUSIVE) {
        g_screen.directDraw->SetCooperativeLevel(GetMainWindowHwnd(), DDSCL_NORMAL);
        g_screen.directDraw->RestoreDisplayMode();
    }
    g_screen.displayModeChanged = 0;
    WriteLog("画面モードを元に戻す処理は正常に終了しました\n");
    return 0;
}

int ReleaseAllSurface2DSurfaces() {
    if (g_screen.directDraw == nullptr)
        return 0;
    // Only DirectDraw surfaces die with the device: a MEMIMG store lives in system memory
    // and keeps its pixels through the rebuild.
    HandleTable* table = GetSurface2DTable();
    for (int slot = 0; slot < table->highWater; ++slot)
        if (auto* piece = (Surface2D*)table->records[slot]) {
            SurfaceData* sd = GetSurfaceData(piece->store);
            if (sd && sd->surface)
                ReleaseSurfaceDataSurface(piece->store);
        }
    return 0;
}

int RecreateAllSurface2DSurfaces() {
    if (g_screen.directDraw == nullptr)
        return 0;
    HandleTable* table = GetSurface2DTable();
    for (int slot = 0; slot < table->highWater; ++slot)
        if (auto* piece = (Surface2D*)table->records[slot]) {
            SetupSurfaceDataSurface(piece->store);
            SetSurfaceDataColorKey(piece->store);
        }
    return 0;
}

int ReleaseClipper() {
    if (g_screen.clipper) {
        g_screen.clipper->Release();
        g_screen.clipper = nullptr;
    }
    return 0;
}

int RecreateClipper() {
    // Running twice must not make a second clipper.
    if (g_screen.clipper != nullptr)
        return 0;
    if (CreateWindowClipper(g_screen.directDraw, &g_screen.clipper, GetMainWindowHwnd()) != 0)
        ExitWithFatalError("クリッパーオブジェクトの作成失敗しました");
    return 0;
}

int ResetCooperativeLevel() {
    if (!IsWindowMode() && g_screen.displayModeChanged == 1 && g_screen.directDraw) {
        g_screen.directDraw->SetCooperativeLevel(GetMainWindowHwnd(), DDSCL_NORMAL);
        g_screen.directDraw->RestoreDisplayMode();
        g_screen.displayModeChanged = 0;
    }
    return 0;
}

int ReapplyDisplayMode() {
    int desktopWidth = 0, desktopHeight = 0, desktopBits = 0;
    GetDesktopScreenMode(&desktopWidth, &desktopHeight, &desktopBits);
    int cooperative = 0;
    ApplyDisplayMode(g_screen.directDraw, desktopWidth, desktopHeight, g_screen.width, g_screen.height,
                     g_screen.colorBitDepth, nullptr, &cooperative, IsWindowMode(), &g_screen.displayModeChanged,
                     GetMainWindowHwnd());
    g_screen.cooperativeLevel = cooperative;
    return 0;
}

int ReleaseDirectDrawObjects() {
    WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
    if (g_screen.directDraw == nullptr) {
        WriteLog("既に解放されています\n");
        return 0;
    }
    ReleaseAllSurface2DSurfaces();
    ResetCooperativeLevel();
    ReleasePaletteForRebuild();
    ReleaseClipper();
    g_screen.directDraw->Release();
    g_screen.directDraw = nullptr;
    WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n");
    return 0;
}

int RecreateDirectDrawObjects() {
    if (g_screen.directDraw != nullptr)
        return 0;
    if (CreateDirectDrawObject(&g_screen.directDraw) != 0)
        ExitWithFatalError("DirectDraw オブジェクトの作成処理時にエラーが発生しました");
    ReapplyDisplayMode();
    RecreateAllSurface2DSurfaces();
    RecreateClipper();
    return 0;
}

namespace {

struct DeviceTable {
    DirectDrawDeviceEntry* entries;
};

typedef BOOL(WINAPI* DirectDrawEnumCallback)(GUID* guid, LPSTR description, LPSTR name, LPVOID context, HANDLE monitor);
typedef HRESULT(WINAPI* DirectDrawEnumerateExFunction)(DirectDrawEnumCallback callback, LPVOID context, DWORD flags);
constexpr DWORD kEnumAttachedSecondaryDevices = 0x00000001;

BOOL WINAPI EnumerateOneDevice(GUID* guid, LPSTR, LPSTR, LPVOID context, HANDLE) {
    auto* table = (DeviceTable*)context;
    CoInitialize(nullptr);
    IDirectDraw7* dd = nullptr;
    if (CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, (void**)&dd) == S_OK && dd) {
        if (dd->Initialize(guid) == DD_OK) {
            for (int i = 0; i < kDirectDrawDeviceSlots; ++i) {
                DirectDrawDeviceEntry& e = table->entries[i];
                if (e.inUse)
                    continue;
                std::memset(&e, 0, sizeof e);
                if (guid)
                    e.guid = *guid;
                DDDEVICEIDENTIFIER2 id;
                std::memset(&id, 0, sizeof id);
                dd->GetDeviceIdentifier(&id, 0);
                CopyStringBounded(e.driverName, sizeof e.driverName, id.szDriver);
                CopyStringBounded(e.description, sizeof e.description, id.szDescription);
                DDCAPS caps;
                std::memset(&caps, 0, sizeof caps);
                caps.dwSize = sizeof caps;
                dd->GetCaps(&caps, nullptr);
                e.totalVideoMemory = caps.dwVidMemTotal;
                e.has3D = (caps.ddsCaps.dwCaps & DDSCAPS_TEXTURE) ? 1 : 0;
                e.inUse = 1;
                WriteLogFormat("ドライバドライバ:%s ", e.driverName);
                WriteLogFormat("ドライバ記述:%s ", e.description);
                WriteLogFormat("３Ｄ機能の有無:%s ", e.has3D ? "あり" : "なし");
                char line[kLogFormatBufferSize];
                FormatStringBounded(line, sizeof line, "ビデオメモリ総量:%.2fMB ビデオメモリ空き容量:%.2fMB \n",
                                    caps.dwVidMemTotal / 1048576.0, caps.dwVidMemFree / 1048576.0);
                WriteLog(line);
                break;
            }
        }
        dd->Release();
    }
    CoUninitialize();
    return TRUE;
}

}  // namespace

int EnumDirectDrawDevices() {
    WriteLog("DirectDraw デバイスを列挙します\n");
    IndentLog();
    std::memset(g_screen.devices, 0, sizeof g_screen.devices);
    g_screen.deviceCount = 0;
    HMODULE library = LoadLibraryA("DDRAW.DLL");
    if (library == nullptr) {
        UnindentLog();
        return WriteLog("DDRAW.DLL のロードに失敗しました\n");
    }
    // Through void*: a looked-up address has no type of its own.
    auto enumerate = (DirectDrawEnumerateExFunction)(void*)GetProcAddress(library, "DirectDrawEnumerateExA");
    if (enumerate == nullptr) {
        FreeLibrary(library);
        UnindentLog();
        return WriteLog("DirectDraw デバイスの列挙用関数のポインタ取得に失敗しました\n");
    }
    DeviceTable table = {g_screen.devices};
    enumerate(EnumerateOneDevice, &table, kEnumAttachedSecondaryDevices);
    while (g_screen.deviceCount < kDirectDrawDeviceSlots && g_screen.devices[g_screen.deviceCount].inUse)
        ++g_screen.deviceCount;
    FreeLibrary(library);
    UnindentLog();
    return 0;
}

int ReadBmpPalette(const char* path, uint8_t buffer[1024]) {
    FileHandle file = FileAccessOpen(path, 0, 0);
    if (file == 0)
        return -1;
    // Every read is checked: a short file gives -1 rather than a palette of leftovers.
    uint8_t fileHeader[14];
    uint8_t infoHeader[40];
    if (FileAccessRead(fileHeader, 14, 1, file) == 0 || fileHeader[0] != 'B' || fileHeader[1] != 'M' ||
        FileAccessRead(infoHeader, 40, 1, file) == 0) {
        FileAccessClose(file);
        return -1;
    }
    uint32_t infoSize;
    uint16_t bitCount;
    std::memcpy(&infoSize, infoHeader, 4);
    std::memcpy(&bitCount, infoHeader + 14, 2);
    if (bitCount == 8) {
        // The colour table follows the info header, whatever its size.
        if (FileAccessSeek(file, (int)(14 + infoSize), 0) != 0 || FileAccessRead(buffer, 1024, 1, file) == 0) {
            FileAccessClose(file);
            return -1;
        }
    }
    FileAccessClose(file);
    return 0;
}
