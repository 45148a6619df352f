// ddraw/object.cpp: the DirectDraw object: initialisation, the cooperative level,
// display modes, vertical-blank services, video memory, the device identifier, and the
// creation of clippers, palettes and surfaces. Its older interface (IDirectDraw) answers
// the capabilities and the overlay probe.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "com/unknown.h"
#include "d3d/hook.h"
#include "ddraw/class.h"
#include "ddraw/internal.h"
#include "kernel/diag.h"

const CLSID CLSID_DirectDraw7 = {0x3C305196, 0x50DB, 0x11D3, {0x9C, 0xFE, 0x00, 0xC0, 0x4F, 0xD9, 0x30, 0xC5}};
const IID IID_IDirectDraw7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
const IID IID_IDirectDraw = {0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectDraw4 = {0xAE252B94, 0x4A57, 0x423C, {0xA6, 0x18, 0xFB, 0x06, 0x8C, 0xEE, 0x99, 0x03}};
const IID IID_IDirectDrawSurface = {0xA1648E57, 0xA6C7, 0x4E2A, {0xB1, 0x15, 0x24, 0xA0, 0x8F, 0x73, 0x4C, 0x94}};
const IID IID_IDirectDrawSurface4 = {0x664AA853, 0x4B5A, 0x4C2E, {0x81, 0xC1, 0x81, 0x6F, 0x6B, 0x99, 0xA5, 0xE8}};
const IID IID_IDirectDrawSurface7 = {0x47DD1DD6, 0xE926, 0x41F3, {0x9D, 0x09, 0xAD, 0x7A, 0xA8, 0x59, 0x94, 0xEC}};

namespace ddraw {
namespace {

constexpr int kMaxSurfaceSide = 16384;

class Object;

class OlderInterface final : public IDirectDraw {
public:
    explicit OlderInterface(Object* owner) : owner_(owner) {}
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetCaps(DDCAPS* driver, DDCAPS* emulation) override;
    HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown* outer) override;
    HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, IUnknown* outer) override;

private:
    Object* owner_;
};

class Version4Interface final : public IDirectDraw4 {
public:
    explicit Version4Interface(Object* owner) : owner_(owner) {}
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

private:
    Object* owner_;
};

class Object final : public IDirectDraw7 {
public:
    Object() : core_(std::make_shared<Core>()), older_(this), version4_(this) {}

    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDirectDraw7) {
            *object = static_cast<IDirectDraw7*>(this);
            AddRef();
            return S_OK;
        }
        if (iid == IID_IDirectDraw) {
            *object = static_cast<IDirectDraw*>(&older_);
            AddRef();
            return S_OK;
        }
        if (iid == IID_IDirectDraw4) {
            if (kernel::ConsumeFault("QueryInterface:IDirectDraw4")) {
                *object = nullptr;
                return E_NOINTERFACE;
            }
            *object = static_cast<IDirectDraw4*>(&version4_);
            AddRef();
            return S_OK;
        }
        if (iid == IID_IDirect3D7)  // the Direct3D layer's object (d3d/direct3d.cpp)
            return d3d::QueryDirect3D(this, object);
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0) {
            // Everything this object made is dead from now on; a changed display mode
            // goes back to the desktop's.
            core_->alive = false;
            if (core_->cooperativeFlags & DDSCL_EXCLUSIVE)
                SetDisplayModeState(0, 0, 0, 0);
            delete this;
        }
        return left;
    }

    HRESULT Initialize(GUID*) override {
        if (core_->initialized)
            return DDERR_ALREADYINITIALIZED;
        HRESULT hr = kernel::ConsumeFault("DirectDrawInitialize") ? DDERR_GENERIC : DD_OK;
        if (hr == DD_OK)
            core_->initialized = true;
        Note("ddraw", "Initialize", 0, nullptr, nullptr, hr);
        return hr;
    }

    HRESULT CreateClipper(DWORD, IDirectDrawClipper** clipper, IUnknown*) override {
        if (!core_->initialized)
            return DDERR_NOTINITIALIZED;
        if (clipper == nullptr)
            return DDERR_INVALIDPARAMS;
        *clipper = nullptr;
        HRESULT hr = kernel::ConsumeFault("CreateClipper") ? DDERR_GENERIC : DD_OK;
        if (hr == DD_OK)
            *clipper = new Clipper(core_);
        Note("ddraw", "CreateClipper", 0, nullptr, nullptr, hr);
        return hr;
    }

    HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** palette, IUnknown*) override {
        if (!core_->initialized)
            return DDERR_NOTINITIALIZED;
        if (palette == nullptr || entries == nullptr || !(flags & DDPCAPS_8BIT))
            return DDERR_INVALIDPARAMS;
        *palette = nullptr;
        HRESULT hr = kernel::ConsumeFault("CreatePalette") ? DDERR_GENERIC : DD_OK;
        if (hr == DD_OK)
            *palette = new Palette(core_, entries);
        Note("ddraw", "CreatePalette", flags, nullptr, nullptr, hr);
        return hr;
    }

    HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown*) override {
        HRESULT hr = MakeSurface(desc, surface);
        Note(hr == DD_OK ? AsSurface(*surface)->label() : std::string("ddraw"), "CreateSurface",
             desc ? desc->ddsCaps.dwCaps : 0, nullptr, nullptr, hr);
        return hr;
    }

    HRESULT GetCaps(DDCAPS* driver, DDCAPS* emulation) override {
        if (!core_->initialized)
            return DDERR_NOTINITIALIZED;
        for (DDCAPS* caps : {driver, emulation}) {
            if (caps == nullptr)
                continue;
            if (caps->dwSize != sizeof(DDCAPS))
                return DDERR_INVALIDPARAMS;
            std::memset(caps, 0, sizeof *caps);
            caps->dwSize = sizeof *caps;
            uint64_t budget = VideoMemoryBudget();
            uint64_t used = core_->videoBytesUsed;
            caps->dwVidMemTotal = (DWORD)budget;
            caps->dwVidMemFree = (DWORD)(used < budget ? budget - used : 0);
            caps->dwAlignBoundarySrc = caps->dwAlignSizeSrc = 1;
            caps->dwAlignBoundaryDest = caps->dwAlignSizeDest = 1;
            caps->ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_TEXTURE |
                                   DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY | DDSCAPS_3DDEVICE;
            // Unless a test set them, no overlay stretching (both factors 0) and no
            // alignment rules.
            FillOverlayCaps(caps);
        }
        return DD_OK;
    }

    HRESULT GetDisplayMode(DDSURFACEDESC2* desc) override {
        if (!core_->initialized)
            return DDERR_NOTINITIALIZED;
        if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC2))
            return DDERR_INVALIDPARAMS;
        DisplayMode m = CurrentDisplayMode();
        std::memset(desc, 0, sizeof *desc);
        desc->dwSize = sizeof *desc;
        desc->dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
        desc->dwWidth = (DWORD)m.width;
        desc->dwHeight = (DWORD)m.height;
        desc->lPitch = m.width * m.bits / 8;
        desc->dwRefreshRate = (DWORD)m.refresh;
        desc->ddpfPixelFormat = m.format;
        return DD_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
        if (!core_->initialized)
            return DDERR_NOTINITIALIZED;
        core_->cooperativeFlags = flags;
        core_->cooperativeWindow = window;
        HRESULT hr = DD_OK;
        ConsumeCooperativeLevelFault(&hr);
        // Leaving exclusive use gives the desktop its mode back.
        if (!(flags & DDSCL_EXCLUSIVE) && DisplayModeIsSet())
            SetDisplayModeState(0, 0, 0, 0);
        Note("ddraw", "SetCooperativeLevel", flags, nullptr, nullptr, hr);
        return hr;
    }

    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD) override {
        if (!core_->initialized)
            return DDERR_NOTINITIALIZED;
        HRESULT hr = DD_OK;
        RECT asked = {0, 0, (LONG)width, (LONG)height};
        if (!(core_->cooperativeFlags & DDSCL_EXCLUSIVE))
            hr = DDERR_INVALIDMODE;
        else if ((bits != 8 && bits != 16 && bits != 32) || (refresh != 0 && refresh != 60))
            hr = DDERR_INVALIDMODE;
        else if (width < 1 || height < 1 || width > 4096 || height > 4096)
            hr = DDERR_INVALIDMODE;
        else if (ModeRefused((int)width, (int)height, (int)bits, (int)refresh))
            hr = DDERR_INVALIDMODE;
        if (hr == DD_OK)
            SetDisplayModeState((int)width, (int)height, (int)bits, (int)refresh);
        Note("ddraw", "SetDisplayMode", bits << 16 | refresh, &asked, nullptr, hr);
        return hr;
    }

    HRESULT RestoreDisplayMode() override {
        if (!core_->initialized)
            return DDERR_NOTINITIALIZED;
        SetDisplayModeState(0, 0, 0, 0);
        Note("ddraw", "RestoreDisplayMode", 0, nullptr, nullptr, DD_OK);
        return DD_OK;
    }

    HRESULT WaitForVerticalBlank(DWORD flags, HANDLE) override {
        if (!core_->initialized)
            return DDERR_NOTINITIALIZED;
        if (NoVerticalBlank())
            return DDERR_UNSUPPORTED;
        if (flags & DDWAITVB_BLOCKBEGIN)
            WaitUntil(NextBlankStart(NowMicroseconds()));
        Note("ddraw", "WaitForVerticalBlank", flags, nullptr, nullptr, DD_OK);
        return DD_OK;
    }

    HRESULT GetVerticalBlankStatus(BOOL* inBlank) override {
        if (!core_->initialized)
            return DDERR_NOTINITIALIZED;
        if (inBlank == nullptr)
            return DDERR_INVALIDPARAMS;
        if (NoVerticalBlank())
            return DDERR_UNSUPPORTED;
        *inBlank = PollBlank().inBlank ? TRUE : FALSE;
        return DD_OK;
    }

    HRESULT GetScanLine(DWORD* line) override {
        if (!core_->initialized)
            return DDERR_NOTINITIALIZED;
        if (line == nullptr)
            return DDERR_INVALIDPARAMS;
        if (NoScanLine())
            return DDERR_UNSUPPORTED;
        BlankPhase phase = PollBlank();
        // Lines scale to the display's height; the blank's lines lie at or past it.
        int height = CurrentDisplayMode().height;
        *line = (DWORD)((int64_t)phase.line * height / 480);
        return phase.inBlank ? DDERR_VERTICALBLANKINPROGRESS : DD_OK;
    }

    HRESULT GetAvailableVidMem(DDSCAPS2*, DWORD* total, DWORD* free) override {
        if (!core_->initialized)
            return DDERR_NOTINITIALIZED;
        uint64_t budget = VideoMemoryBudget();
        uint64_t used = core_->videoBytesUsed;
        if (total)
            *total = (DWORD)budget;
        if (free)
            *free = (DWORD)(used < budget ? budget - used : 0);
        return DD_OK;
    }

    HRESULT GetDeviceIdentifier(DDDEVICEIDENTIFIER2* id, DWORD) override {
        if (id == nullptr)
            return DDERR_INVALIDPARAMS;
        if (kernel::ConsumeFault("GetDeviceIdentifier"))
            return DDERR_GENERIC;
        std::memset(id, 0, sizeof *id);
        std::string driver, description;
        DeviceStrings(&driver, &description);
        if (driver.empty())
            driver = "qzmemory.drv";
        if (description.empty())
            description = "QzLib memory display (platform layer)";
        // A string as long as its field fills it with no terminator.
        std::memcpy(id->szDriver, driver.data(), std::min(driver.size(), sizeof id->szDriver));
        std::memcpy(id->szDescription, description.data(), std::min(description.size(), sizeof id->szDescription));
        id->liDriverVersion.u.HighPart = (1 << 16) | 0;
        id->liDriverVersion.u.LowPart = (0 << 16) | 1;
        return DD_OK;
    }

    HRESULT MakeSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** out);

private:
    std::shared_ptr<Core> core_;
    ULONG refs_ = 1;
    OlderInterface older_;
    Version4Interface version4_;
};

HRESULT Object::MakeSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** out) {
    if (!core_->initialized)
        return DDERR_NOTINITIALIZED;
    if (desc == nullptr || out == nullptr || desc->dwSize != sizeof(DDSURFACEDESC2) || !(desc->dwFlags & DDSD_CAPS))
        return DDERR_INVALIDPARAMS;
    *out = nullptr;
    DWORD caps = desc->ddsCaps.dwCaps;
    DWORD caps2 = desc->ddsCaps.dwCaps2;
    DisplayMode mode = CurrentDisplayMode();

    if (caps & DDSCAPS_PRIMARYSURFACE) {
        bool chain = (caps & DDSCAPS_FLIP) != 0;
        if (kernel::ConsumeFault(chain ? "CreateSurface:FlipChain" : "CreateSurface:Primary"))
            return DDERR_OUTOFMEMORY;
        if (core_->hasPrimary)
            return DDERR_INVALIDCAPS;
        if (core_->cooperativeFlags == 0)
            return DDERR_INVALIDPARAMS;
        int width = mode.width, height = mode.height;
        bool system = (caps & DDSCAPS_SYSTEMMEMORY) != 0;
        if (chain) {
            int backs = (desc->dwFlags & DDSD_BACKBUFFERCOUNT) ? (int)desc->dwBackBufferCount : 0;
            if (!(core_->cooperativeFlags & DDSCL_EXCLUSIVE) || !(caps & DDSCAPS_COMPLEX) || backs < 1 || backs > 3)
                return DDERR_INVALIDPARAMS;
            auto* front = new Surface(core_, SurfaceKind::Primary, width, height, mode.format,
                                      caps | DDSCAPS_FRONTBUFFER, caps2, true, 0);
            front->chain().push_back(front);
            for (int i = 0; i < backs; ++i) {
                DWORD backCaps = (caps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER)) |
                                 (i == 0 ? DDSCAPS_BACKBUFFER : 0);
                auto* back = new Surface(core_, SurfaceKind::BackBuffer, width, height, mode.format, backCaps, caps2,
                                         true, 0);
                back->SetChainOwner(front);
                front->chain().push_back(back);
            }
            *out = front;
        } else {
            *out = new Surface(core_, SurfaceKind::Primary, width, height, mode.format, caps, caps2, !system, 0);
        }
        core_->hasPrimary = true;
        return DD_OK;
    }

    SurfaceKind kind = (caps & DDSCAPS_ZBUFFER)   ? SurfaceKind::ZBuffer
                       : (caps & DDSCAPS_TEXTURE) ? SurfaceKind::Texture
                       : (caps & DDSCAPS_OVERLAY) ? SurfaceKind::Overlay
                                                  : SurfaceKind::Offscreen;
    const char* fault = kind == SurfaceKind::ZBuffer   ? "CreateSurface:ZBuffer"
                        : kind == SurfaceKind::Texture ? "CreateSurface:Texture"
                        : kind == SurfaceKind::Overlay ? "CreateSurface:Overlay"
                                                       : "CreateSurface:Offscreen";
    if (kernel::ConsumeFault(fault))
        return DDERR_OUTOFMEMORY;
    if (!(desc->dwFlags & DDSD_WIDTH) || !(desc->dwFlags & DDSD_HEIGHT))
        return DDERR_INVALIDPARAMS;
    int width = (int)desc->dwWidth, height = (int)desc->dwHeight;
    if (width < 1 || height < 1 || width > kMaxSurfaceSide || height > kMaxSurfaceSide)
        return DDERR_INVALIDPARAMS;
    DDPIXELFORMAT format = (desc->dwFlags & DDSD_PIXELFORMAT) ? desc->ddpfPixelFormat : mode.format;
    format.dwSize = sizeof format;
    if (kind == SurfaceKind::ZBuffer) {
        if (!(format.dwFlags & DDPF_ZBUFFER) || format.dwZBufferBitDepth != 16)
            return DDERR_INVALIDPIXELFORMAT;
    } else if (kind == SurfaceKind::Overlay) {
        if (!OverlayAllowed(format))
            return DDERR_NOOVERLAYHW;
        if (format.dwFlags & DDPF_FOURCC)
            format.dwRGBBitCount = 16;  // both packed YUV formats take two bytes a pixel
    } else {
        int bits = (int)format.dwRGBBitCount;
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
            return DDERR_INVALIDPIXELFORMAT;
    }

    // Placement: video memory is charged to the budget; an unspecified surface that does
    // not fit goes to system memory.
    int bytes = (int)(format.dwRGBBitCount / 8);
    uint64_t size = (uint64_t)width * height * bytes;
    uint64_t budget = VideoMemoryBudget();
    bool fits = core_->videoBytesUsed + size <= budget;
    bool video;
    if (caps & DDSCAPS_SYSTEMMEMORY)
        video = false;
    else if (caps & DDSCAPS_VIDEOMEMORY) {
        if (!fits)
            return DDERR_OUTOFVIDEOMEMORY;
        video = true;
    } else {
        video = fits;
    }
    auto* surface = new Surface(core_, kind, width, height, format, caps, caps2, video,
                                (desc->dwFlags & DDSD_TEXTURESTAGE) ? (int)desc->dwTextureStage : 0);
    if (video) {
        core_->videoBytesUsed += size;
        surface->SetCharged(size);
    }
    *out = surface;
    return DD_OK;
}

HRESULT OlderInterface::QueryInterface(REFIID iid, void** object) {
    return owner_->QueryInterface(iid, object);
}
ULONG OlderInterface::AddRef() {
    return owner_->AddRef();
}
ULONG OlderInterface::Release() {
    return owner_->Release();
}
HRESULT OlderInterface::GetCaps(DDCAPS* driver, DDCAPS* emulation) {
    return owner_->GetCaps(driver, emulation);
}
HRESULT OlderInterface::CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown* outer) {
    return owner_->CreateSurface(desc, surface, outer);
}
// The first description makes the same surfaces; the caller gets the first view.
HRESULT OlderInterface::CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, IUnknown* outer) {
    if (desc == nullptr || surface == nullptr || desc->dwSize != sizeof(DDSURFACEDESC))
        return DDERR_INVALIDPARAMS;
    *surface = nullptr;
    DDSURFACEDESC2 full;
    FromFirstDesc(*desc, &full);
    IDirectDrawSurface7* made = nullptr;
    HRESULT hr = owner_->CreateSurface(&full, &made, outer);
    if (hr != DD_OK)
        return hr;
    made->QueryInterface(IID_IDirectDrawSurface, (void**)surface);
    made->Release();
    return DD_OK;
}

HRESULT Version4Interface::QueryInterface(REFIID iid, void** object) {
    return owner_->QueryInterface(iid, object);
}
ULONG Version4Interface::AddRef() {
    return owner_->AddRef();
}
ULONG Version4Interface::Release() {
    return owner_->Release();
}

}  // namespace

// ---- clippers and palettes ---------------------------------------------------------------------
HRESULT Clipper::QueryInterface(REFIID iid, void** object) {
    return com::AnswerAs<IUnknown>(this, iid, object, {});
}

ULONG Clipper::Release() {
    ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT Clipper::SetHWnd(DWORD, HWND window) {
    if (!core_->alive)
        return DDERR_INVALIDOBJECT;
    window_ = window;
    Note("clipper", "SetHWnd", 0, nullptr, nullptr, DD_OK);
    return DD_OK;
}

HRESULT Clipper::GetHWnd(HWND* window) {
    if (!core_->alive)
        return DDERR_INVALIDOBJECT;
    if (window == nullptr)
        return DDERR_INVALIDPARAMS;
    *window = window_;
    return DD_OK;
}

Palette::Palette(std::shared_ptr<Core> core, const PALETTEENTRY* entries) : core_(std::move(core)) {
    std::memcpy(entries_, entries, sizeof entries_);
}

HRESULT Palette::QueryInterface(REFIID iid, void** object) {
    return com::AnswerAs<IUnknown>(this, iid, object, {});
}

ULONG Palette::Release() {
    ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT Palette::SetEntries(DWORD, DWORD start, DWORD count, PALETTEENTRY* entries) {
    if (!core_->alive)
        return DDERR_INVALIDOBJECT;
    if (entries == nullptr || start > 256 || count > 256 - start)
        return DDERR_INVALIDPARAMS;
    std::memcpy(entries_ + start, entries, count * sizeof(PALETTEENTRY));
    Note("palette", "SetEntries", 0, nullptr, nullptr, DD_OK);
    return DD_OK;
}

HRESULT Palette::GetEntries(DWORD, DWORD start, DWORD count, PALETTEENTRY* entries) {
    if (!core_->alive)
        return DDERR_INVALIDOBJECT;
    if (entries == nullptr || start > 256 || count > 256 - start)
        return DDERR_INVALIDPARAMS;
    std::memcpy(entries, entries_ + start, count * sizeof(PALETTEENTRY));
    return DD_OK;
}

HRESULT CreateDirectDrawClass(REFIID iid, void** object) {
    if (kernel::ConsumeFault("CreateDirectDraw"))
        return E_FAIL;
    auto* created = new Object();
    HRESULT hr = created->QueryInterface(iid, object);
    created->Release();
    return hr;
}

}  // namespace ddraw
