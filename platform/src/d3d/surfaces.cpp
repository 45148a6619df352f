// d3d/surfaces.cpp: the Direct3D layer's view of the DirectDraw layer's surfaces (see
// surfaces.h). Reads the surface records; changes nothing but the loss mark of the test
// control. Main thread.
#include "d3d/surfaces.h"

#include "ddraw/internal.h"

namespace d3d {

bool FormatOf(const DDPIXELFORMAT& f, PixelFormat* out) {
    if (!(f.dwFlags & DDPF_RGB) || (f.dwFlags & (DDPF_FOURCC | DDPF_PALETTEINDEXED8)))
        return false;
    DWORD alpha = (f.dwFlags & DDPF_ALPHAPIXELS) ? f.dwRGBAlphaBitMask : 0;
    struct Known {
        DWORD bits, r, g, b, a;
        PixelFormat format;
    };
    static const Known kKnown[] = {
        {16, 0xF800, 0x07E0, 0x001F, 0, PixelFormat::R5G6B5},
        {16, 0x7C00, 0x03E0, 0x001F, 0, PixelFormat::X1R5G5B5},
        {16, 0x7C00, 0x03E0, 0x001F, 0x8000, PixelFormat::A1R5G5B5},
        {16, 0x0F00, 0x00F0, 0x000F, 0xF000, PixelFormat::A4R4G4B4},
        {32, 0xFF0000, 0xFF00, 0xFF, 0, PixelFormat::X8R8G8B8},
        {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u, PixelFormat::A8R8G8B8},
    };
    for (const Known& k : kKnown) {
        if (f.dwRGBBitCount == k.bits && f.dwRBitMask == k.r && f.dwGBitMask == k.g && f.dwBBitMask == k.b &&
            alpha == k.a) {
            *out = k.format;
            return true;
        }
    }
    return false;
}

bool DescribeSurface(IDirectDrawSurface7* surface, SurfaceInfo* info) {
    *info = SurfaceInfo{};
    ddraw::Surface* s = ddraw::AsSurface(surface);
    if (s == nullptr)
        return false;
    info->alive = s->core()->alive;
    info->lost = s->lost();
    info->busy = s->busy();
    info->primary = s->kind() == ddraw::SurfaceKind::Primary;
    info->pixelFormat = s->format();
    info->formatKnown = FormatOf(s->format(), &info->format);
    info->pixels = s->bytes();
    info->pitch = s->pitch();
    info->width = s->width();
    info->height = s->height();
    info->keyed = s->hasSourceKey();
    info->key = s->sourceKey().dwColorSpaceLowValue;
    return true;
}

void AfterWrite(IDirectDrawSurface7* surface) {
    if (ddraw::Surface* s = ddraw::AsSurface(surface))
        s->AfterWrite();
}

bool HasAttachedZBuffer(IDirectDrawSurface7* surface) {
    if (ddraw::AsSurface(surface) == nullptr)
        return false;
    bool found = false;
    surface->EnumAttachedSurfaces(&found, [](IDirectDrawSurface7* attached, DDSURFACEDESC2*, LPVOID context) -> HRESULT {
        ddraw::Surface* a = ddraw::AsSurface(attached);
        if (a != nullptr && a->kind() == ddraw::SurfaceKind::ZBuffer)
            *static_cast<bool*>(context) = true;
        return DDENUMRET_OK;  // the layer hands attached surfaces over without a reference

    });
    return found;
}

void MarkEverySurfaceLost() {
    for (ddraw::Surface* s : ddraw::LiveSurfaces())
        s->MarkLost();
}

}  // namespace d3d
