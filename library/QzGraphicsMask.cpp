// QzGraphicsMask.cpp: the mask screen: its buffer and work copy, masking on and off, and
// the bracket that the drawing front end puts around every draw while masking.
//
// The work copy mirrors the draw target's coordinates, and both it and the mask are only
// as large as the screen was when they were made. A draw target may be larger (a big
// graphic), so every rectangle is cut to the mask screen's size as well as to the draw
// area before a byte of the mask or the work copy is touched.
#include "QzGraphicsMask.h"

#include <algorithm>
#include <cstring>

#include "Qz3DScene.h"
#include "QzDraw2D.h"
#include "QzDrawConvert.h"
#include "QzDrawPresent.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzDrawScreenMode.h"
#include "QzGraphicsData.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsSystem.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzWinMessage.h"
#include "QzWinWindow.h"

MaskScreenState g_maskScreen = {};

namespace {

MaskScreenState& M() {
    return g_maskScreen;
}

bool WorkImageReady() {
    return M().maskUsesImage && M().maskWorkImage.magic == kMemImgMagic && M().maskWorkImage.pixels != nullptr;
}

// The work copy that the current screen mode draws into.
bool WorkCopyExists() {
    return IsSoftwareScreen() ? WorkImageReady() : M().maskWorkSurface != nullptr;
}

bool IsEmpty(const RECT& r) {
    return r.left >= r.right || r.top >= r.bottom;
}

// The rectangle clipped to the draw area and to the mask screen: the work copy, and the
// mask buffer when there is one. False when nothing is left.
bool ClipToMaskScreen(int x1, int y1, int x2, int y2, RECT* out) {
    RECT r = {x1, y1, x2, y2};
    ClipRect(&r, &g_drawState.drawArea);
    int width = M().workWidth, height = M().workHeight;
    if (M().maskBuffer != nullptr) {
        width = std::min(width, (int)M().maskWidth);
        height = std::min(height, (int)M().maskHeight);
    }
    const RECT screen = {0, 0, std::max(width, 0), std::max(height, 0)};
    ClipRect(&r, &screen);
    *out = r;
    return !IsEmpty(r);
}

// Where the target's pixel (0, 0) lies on the surface written: the front surface of a
// hardware screen covers the desktop, so the window's client area moves it.
POINT TargetOffset() {
    POINT p = {0, 0};
    if (g_drawState.drawScreen == kDrawTargetFront && !IsSoftwareScreen()) {
        RECT client = {0, 0, 0, 0};
        GetWindowClientRect(&client);
        p.x = client.left;
        p.y = client.top;
    }
    return p;
}

// Narrows r so that r moved by offset lies inside a width x height image.
bool ClipToImage(RECT* r, POINT offset, int width, int height) {
    const RECT inside = {-offset.x, -offset.y, width - offset.x, height - offset.y};
    ClipRect(r, &inside);
    return !IsEmpty(*r);
}

DDSURFACEDESC2 EmptyDesc() {
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    return desc;
}

// Keys the rectangle of the work copy (its top-left pixel at pixels): every pixel whose
// mask byte is not 0 becomes the key. A drawn pixel whose colour bits are the key's
// becomes the key exactly too, so that the raw compares of the write-back skip it
// whatever the bits outside the colour (a 32-bit screen sets its X byte). The mask is read
// byte by byte inside the rectangle's own rows and columns only.
void KeyMaskedPixels(uint8_t* pixels, int pitch, int pixelBytes, uint32_t colorBits, const RECT& r) {
    const uint32_t key = M().maskKeyColor;
    const int w = r.right - r.left;
    for (int y = r.top; y < r.bottom; ++y) {
        const uint8_t* mask = M().maskBuffer + (ptrdiff_t)y * M().maskPitch + r.left;
        uint8_t* row = pixels + (ptrdiff_t)(y - r.top) * pitch;
        for (int x = 0; x < w; ++x) {
            uint8_t* p = row + (ptrdiff_t)x * pixelBytes;
            uint32_t v = 0;
            std::memcpy(&v, p, (size_t)pixelBytes);
            if (mask[x] != 0 || (v != key && (v & colorBits) == (key & colorBits)))
                std::memcpy(p, &key, (size_t)pixelBytes);
        }
    }
}

// The bits of a pixel that carry its colour: the palette index of an 8-bit pixel.
uint32_t ColorBits(int pixelBytes, uint32_t red, uint32_t green, uint32_t blue) {
    if (pixelBytes == 1)
        return 0xFF;
    const uint32_t bits = red | green | blue;
    return bits != 0 ? bits : 0xFFFFFFFFu;
}

void ReleaseWorkSurface() {
    if (M().maskWorkSurface != nullptr) {
        M().maskWorkSurface->Release();
        M().maskWorkSurface = nullptr;
    }
}

void ReleaseWorkImage() {
    if (M().maskUsesImage)
        ReleaseMEMIMG(&M().maskWorkImage);
    M().maskUsesImage = 0;
}

void FreeMaskBuffer() {
    if (M().maskBuffer != nullptr)
        FreeMemory(M().maskBuffer);
    M().maskBuffer = nullptr;
}

}  // namespace

void ResetMaskScreenState() {
    g_maskScreen = MaskScreenState{};
}

int BuildMaskScreen(int makeBuffer, int makeWork) {
    int width = 0, height = 0;
    GetScreenSize(&width, &height);
    if (makeBuffer && M().maskBuffer == nullptr) {
        M().maskPitch = (width + 3) / 4 * 4;
        M().maskBuffer = (uint8_t*)AllocZeroedMemory(M().maskPitch * height, __FILE_NAME__, __LINE__);
        M().maskWidth = M().maskBuffer ? width : 0;
        M().maskHeight = M().maskBuffer ? height : 0;
    }
    if (makeWork && !WorkImageReady() && M().maskWorkSurface == nullptr) {
        if (IsSoftwareScreen()) {
            if (CreateScreenMEMIMG(&M().maskWorkImage, width, height, -1) != 0)
                ExitWithFatalError("マスク用 MEMIMG の作成に失敗しました");
            M().maskUsesImage = 1;
            g_drawState.maskWorkInVideoMemory = 0;
        } else {
            DDSURFACEDESC2 desc = EmptyDesc();
            desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
            desc.dwWidth = (DWORD)width;
            desc.dwHeight = (DWORD)height;
            desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
            if (g_screen.softwareRender)
                desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
            IDirectDrawSurface7* surface = nullptr;
            IDirectDraw7* dd = GetDirectDrawObject();
            if (dd == nullptr || dd->CreateSurface(&desc, &surface, nullptr) != DD_OK || surface == nullptr)
                ExitWithFatalError("マスク用サーフェスの作成に失敗しました");
            DDCOLORKEY key = {M().maskKeyColor, M().maskKeyColor};
            surface->SetColorKey(DDCKEY_SRCBLT, &key);
            DDSCAPS2 caps;
            std::memset(&caps, 0, sizeof caps);
            surface->GetCaps(&caps);
            M().maskWorkSurface = surface;
            g_drawState.maskWorkInVideoMemory = (caps.dwCaps & DDSCAPS_VIDEOMEMORY) ? 1 : 0;
            M().maskUsesImage = 0;
        }
        M().workWidth = width;
        M().workHeight = height;
    }
    return 0;
}

int RebuildMaskScreen() {
    BuildMaskScreen(M().maskExists, M().maskExists);
    if (g_drawState.maskRequested)
        EnableMaskDraw(1);
    return 0;
}

int FreeMaskScreenParts() {
    FreeMaskBuffer();
    ReleaseWorkSurface();
    ReleaseWorkImage();
    return 0;
}

int RemoveMaskScreen() {
    WaitForWindowActive();
    if (g_drawState.maskRequested)
        EnableMaskDraw(0);
    FreeMaskScreenParts();
    M().maskExists = 0;
    g_drawState.maskActive = 0;
    return 0;
}

int EnableMaskDraw(int flag) {
    if (M().maskBuffer == nullptr)
        return -1;
    DrawState& ds = g_drawState;
    ds.maskRequested = flag;
    ds.maskActive = flag && M().maskExists ? 1 : 0;
    if (IsWindowPrimaryTarget() && !ds.maskRequested && !g_screen.softwareRender) {
        GetWindowClientRect(&ds.drawOrigin);
    } else {
        int width = 0, height = 0;
        GetGraphDimensions(ds.drawScreen, &width, &height);
        ds.drawOrigin = RECT{0, 0, width, height};
    }
    if (IsDirect3DDrawingUsable())
        G_D3D_ResetRenderTarget(flag);
    Surface2DEnableMask(flag);
    return 0;
}

int IsMaskDrawEnabled() {
    return g_drawState.maskRequested;
}

IDirectDrawSurface7* GetMaskWorkSurface() {
    return M().maskWorkSurface;
}

MEMIMG* GetMaskMEMIMG() {
    return WorkImageReady() ? &M().maskWorkImage : nullptr;
}

int SaveMaskBackground(int x1, int y1, int x2, int y2, IDirectDrawSurface7* targetSurface, GraphImage* targetImage) {
    if (!WorkCopyExists())
        return 0;
    G_D3D_EndScene();
    RECT r;
    if (!ClipToMaskScreen(x1, y1, x2, y2, &r))
        return 0;
    const POINT offset = TargetOffset();
    if (targetImage != nullptr) {
        if (targetImage->pixels == nullptr ||
            !ClipToImage(&r, offset, targetImage->width, targetImage->height))
            return 0;
        const int w = r.right - r.left, h = r.bottom - r.top;
        const int sx = r.left + offset.x, sy = r.top + offset.y;
        if (IsSoftwareScreen()) {
            ConvertImageToMEMIMG(targetImage, nullptr, &M().maskWorkImage, sx, sy, w, h, r.left, r.top);
            return 0;
        }
        DDSURFACEDESC2 desc = EmptyDesc();
        if (M().maskWorkSurface->Lock(&r, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) != DD_OK)
            return 0;
        const RECT source = {sx, sy, sx + w, sy + h};
        ConvertPixelRect(desc.lpSurface, desc.lPitch, GetScreenColorFormat(), targetImage->pixels, targetImage->pitch,
                         &targetImage->colorFormat, nullptr, 0, nullptr, 0, 0, &source, 0, 0, 0, 0, 0, 0, 0);
        M().maskWorkSurface->Unlock(&r);
        return 0;
    }
    if (targetSurface == nullptr || IsSoftwareScreen())
        return 0;
    RECT source = {r.left + offset.x, r.top + offset.y, r.right + offset.x, r.bottom + offset.y};
    M().maskWorkSurface->BltFast((DWORD)r.left, (DWORD)r.top, targetSurface, &source,
                                 DDBLTFAST_NOCOLORKEY | DDBLTFAST_WAIT);
    return 0;
}

int ApplyMaskAfterDraw(int x1, int y1, int x2, int y2, IDirectDrawSurface7* targetSurface, GraphImage* targetImage) {
    if (!g_drawState.maskActive || !WorkCopyExists() || M().maskBuffer == nullptr)
        return 0;
    G_D3D_EndScene();
    RECT r;
    if (!ClipToMaskScreen(x1, y1, x2, y2, &r))
        return 0;
    const POINT offset = TargetOffset();
    if (targetImage != nullptr &&
        (targetImage->pixels == nullptr || !ClipToImage(&r, offset, targetImage->width, targetImage->height)))
        return 0;
    if (targetImage == nullptr && targetSurface == nullptr)
        return 0;
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int tx = r.left + offset.x, ty = r.top + offset.y;

    if (IsSoftwareScreen()) {
        if (targetImage == nullptr)
            return 0;
        MEMIMG& work = M().maskWorkImage;
        const ColorFormat* f = work.format;
        const int bytes = f->pixelBytes;
        KeyMaskedPixels(work.pixels + (ptrdiff_t)r.top * work.pitch + (ptrdiff_t)r.left * bytes, work.pitch, bytes,
                        ColorBits(bytes, f->redMask, f->greenMask, f->blueMask), r);
        CopyMEMIMGToSurfaceMemory(targetImage, &work, r.left, r.top, w, h, tx, ty, M().maskKeyColor, 1);
        return 0;
    }

    IDirectDrawSurface7* work = M().maskWorkSurface;
    DDSURFACEDESC2 desc = EmptyDesc();
    if (work->Lock(&r, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) != DD_OK)
        return 0;
    const DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
    const int bytes = (int)pf.dwRGBBitCount / 8;
    if (bytes >= 1 && bytes <= 4)
        KeyMaskedPixels((uint8_t*)desc.lpSurface, desc.lPitch, bytes,
                        ColorBits(bytes, pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask), r);
    work->Unlock(&r);

    if (targetImage == nullptr) {
        targetSurface->BltFast((DWORD)tx, (DWORD)ty, work, &r, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
        return 0;
    }
    // Reading video memory is slow: the rectangle goes through the system-memory work
    // surface first.
    IDirectDrawSurface7* read = work;
    RECT readRect = r;
    if (g_drawState.maskWorkInVideoMemory) {
        read = GetWorkSurface();
        readRect = RECT{0, 0, w, h};
        if (read == nullptr || CopyBetweenSurfaces(read, work, 0, 0, &r, -1) != 0)
            return 0;
    }
    desc = EmptyDesc();
    if (read->Lock(&readRect, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK)
        return 0;
    const RECT whole = {0, 0, w, h};
    ConvertPixelRect(targetImage->pixels, targetImage->pitch, &targetImage->colorFormat, desc.lpSurface, desc.lPitch,
                     GetScreenColorFormat(), nullptr, 0, nullptr, tx, ty, &whole, 0, 0, M().maskKeyColor, 0, 0, 0, 1);
    read->Unlock(&readRect);
    return 0;
}
