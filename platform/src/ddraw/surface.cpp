// ddraw/surface.cpp: surfaces in memory: creation, Lock and Unlock, Flip, attachments,
// colour keys, clipper and palette, loss and Restore, device contexts. The blits are in
// blit.cpp, presenting in present.cpp.
//
// Rows are padded past their bytes, so code that steps by the row's bytes instead of the
// pitch shows. New pixels are zero.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "ddraw/internal.h"
#include "gdi/bitmaps.h"
#include "kernel/diag.h"

namespace ddraw {

namespace {

uint64_t g_lastFlipUs = 0;
bool g_flipped = false;

bool Overlaps(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

Pixels::~Pixels() {
    std::free(bytes);
}

Surface* AsSurface(IDirectDrawSurface7* surface) {
    if (surface == nullptr)
        return nullptr;
    for (Surface* s : LiveSurfaces())
        if (static_cast<IDirectDrawSurface7*>(s) == surface)
            return s;
    return nullptr;
}

Surface* SurfaceOfView(const IUnknown* view) {
    if (view == nullptr)
        return nullptr;
    for (Surface* s : LiveSurfaces())
        if (s->HasView(view))
            return s;
    return nullptr;
}

Surface::Surface(std::shared_ptr<Core> core, SurfaceKind kind, int width, int height, const DDPIXELFORMAT& format,
                 DWORD caps, DWORD caps2, bool video, int stage)
    : core_(std::move(core)), kind_(kind), width_(width), height_(height), format_(format), caps_(caps),
      caps2_(caps2), video_(video), stage_(stage) {
    bytes_ = kind == SurfaceKind::ZBuffer ? 2 : (int)(format.dwRGBBitCount / 8);
    if (bytes_ < 1)
        bytes_ = 1;
    pitch_ = ((width_ * bytes_ + 15) & ~15) + 16;
    pixels_ = std::make_shared<Pixels>();
    pixels_->size = (size_t)pitch_ * height_;
    pixels_->bytes = (uint8_t*)std::calloc(pixels_->size, 1);
    pixels_->cleared = true;
    label_ = NextLabel(kind);
    LiveSurfaces().push_back(this);
}

Surface::~Surface() {
    auto& live = LiveSurfaces();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    if (busy())
        --LockedSurfaceCount();
    if (dc_)
        gdi::DestroySurfaceDC(dc_);
    if (clipper_)
        clipper_->Release();
    if (palette_)
        palette_->Release();
    for (Surface* s : attached_)
        s->Release();
    if (kind_ == SurfaceKind::Primary) {
        core_->hasPrimary = false;
        for (size_t i = 1; i < chain_.size(); ++i) {
            chain_[i]->chainOwner_ = nullptr;
            chain_[i]->Release();
        }
    }
    core_->videoBytesUsed -= std::min(core_->videoBytesUsed, charged_);
}

// Every view answers for all of them; IUnknown is always the version-7 view, so two
// views of one surface compare equal as IUnknown.
HRESULT Surface::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown) {
        *object = static_cast<IUnknown*>(static_cast<IDirectDrawSurface7*>(this));
    } else if (iid == IID_IDirectDrawSurface7) {
        if (kernel::ConsumeFault("QueryInterface:IDirectDrawSurface7"))
            return E_NOINTERFACE;
        *object = static_cast<IDirectDrawSurface7*>(this);
    } else if (iid == IID_IDirectDrawSurface4) {
        if (kernel::ConsumeFault("QueryInterface:IDirectDrawSurface4"))
            return E_NOINTERFACE;
        *object = static_cast<IDirectDrawSurface4*>(&view4_);
    } else if (iid == IID_IDirectDrawSurface) {
        *object = static_cast<IDirectDrawSurface*>(&view1_);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG Surface::Release() {
    ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT Surface::CheckUsable() const {
    return core_->alive ? DD_OK : DDERR_INVALIDOBJECT;
}

DWORD Surface::capsBits() const {
    DWORD caps = caps_ & ~(DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY | DDSCAPS_LOCALVIDMEM);
    return caps | (video_ ? DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM : DDSCAPS_SYSTEMMEMORY);
}

void Surface::FillDesc(DDSURFACEDESC2* desc, uint8_t* surfacePointer) const {
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = sizeof *desc;
    desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwWidth = (DWORD)width_;
    desc->dwHeight = (DWORD)height_;
    desc->lPitch = pitch_;
    if (surfacePointer) {
        desc->dwFlags |= DDSD_LPSURFACE;
        desc->lpSurface = surfacePointer;
    }
    desc->ddpfPixelFormat = format_;
    desc->ddsCaps.dwCaps = capsBits();
    desc->ddsCaps.dwCaps2 = caps2_;
    if (hasSourceKey_) {
        desc->dwFlags |= DDSD_CKSRCBLT;
        desc->ddckCKSrcBlt = sourceKey_;
    }
    if (chain_.size() > 1) {
        desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
        desc->dwBackBufferCount = (DWORD)(chain_.size() - 1);
    }
    desc->dwTextureStage = (DWORD)stage_;
}

void Surface::Relocate() {
    auto moved = std::make_shared<Pixels>();
    moved->size = pixels_->size;
    moved->bytes = (uint8_t*)std::malloc(moved->size);
    std::memcpy(moved->bytes, pixels_->bytes, moved->size);
    moved->cleared = pixels_->cleared;
    pixels_ = moved;  // the old block is freed here
}

void Surface::AfterWrite() {
    if (kind_ == SurfaceKind::Primary)
        PresentPrimary(this);
}

HRESULT Surface::Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE) {
    HRESULT hr = CheckUsable();
    RECT area = rect ? *rect : RECT{0, 0, width_, height_};
    if (hr == DD_OK && (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC2)))
        hr = DDERR_INVALIDPARAMS;
    if (hr == DD_OK && lost_)
        hr = DDERR_SURFACELOST;
    if (hr == DD_OK && kernel::ConsumeFault("LockSurface"))
        hr = DDERR_GENERIC;
    if (hr == DD_OK && (area.left < 0 || area.top < 0 || area.right > width_ || area.bottom > height_ ||
                        area.left >= area.right || area.top >= area.bottom))
        hr = DDERR_INVALIDRECT;
    if (hr == DD_OK) {
        if (dc_)
            hr = DDERR_SURFACEBUSY;
        for (const HeldLock& held : locks_)
            if (Overlaps(held.rect, area))
                hr = DDERR_SURFACEBUSY;
    }
    if (hr == DD_OK) {
        if (!busy()) {
            if (RelocateOnLock())
                Relocate();
            ++LockedSurfaceCount();
        }
        locks_.push_back(HeldLock{rect == nullptr, area, !(flags & DDLOCK_READONLY)});
        FillDesc(desc, bytes() + (ptrdiff_t)area.top * pitch_ + (ptrdiff_t)area.left * bytes_);
    }
    Note(label_, "Lock", flags, rect, nullptr, hr);
    return hr;
}

HRESULT Surface::Unlock(RECT* rect) {
    HRESULT hr = CheckUsable();
    if (hr != DD_OK)
        return hr;
    auto found = locks_.end();
    if (rect == nullptr) {
        if (locks_.size() == 1)
            found = locks_.begin();
        else
            found = std::find_if(locks_.begin(), locks_.end(), [](const HeldLock& h) { return h.whole; });
    } else {
        found = std::find_if(locks_.begin(), locks_.end(),
                             [&](const HeldLock& h) { return SameRect(h.rect, *rect); });
    }
    if (found == locks_.end()) {
        Note(label_, "Unlock", 0, rect, nullptr, DDERR_NOTLOCKED);
        return DDERR_NOTLOCKED;
    }
    bool writable = found->writable;
    locks_.erase(found);
    if (!busy())
        --LockedSurfaceCount();
    Note(label_, "Unlock", 0, rect, nullptr, DD_OK);
    if (writable)
        AfterWrite();
    return DD_OK;
}

HRESULT Surface::Flip(IDirectDrawSurface7*, DWORD flags) {
    HRESULT hr = CheckUsable();
    if (hr == DD_OK && (kind_ != SurfaceKind::Primary || chain_.size() < 2))
        hr = DDERR_INVALIDPARAMS;
    if (hr == DD_OK)
        for (Surface* s : chain_) {
            if (s->lost_)
                hr = DDERR_SURFACELOST;
            else if (s->busy() && hr == DD_OK)
                hr = DDERR_SURFACEBUSY;
        }
    if (hr == DD_OK) {
        // At most one flip per display frame: one before the blank that follows the
        // previous flip waits for that blank.
        if (!(flags & DDFLIP_NOVSYNC) && g_flipped) {
            uint64_t due = NextBlankStart(g_lastFlipUs);
            if (NowMicroseconds() < due)
                WaitUntil(due);
        }
        std::shared_ptr<Pixels> front = chain_[0]->pixels_;
        for (size_t i = 0; i + 1 < chain_.size(); ++i)
            chain_[i]->pixels_ = chain_[i + 1]->pixels_;
        chain_.back()->pixels_ = front;
        g_lastFlipUs = NowMicroseconds();
        g_flipped = true;
    }
    Note(label_, "Flip", flags, nullptr, nullptr, hr);
    if (hr == DD_OK)
        AfterWrite();
    return hr;
}

HRESULT Surface::GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** surface) {
    HRESULT hr = CheckUsable();
    if (hr != DD_OK)
        return hr;
    if (caps == nullptr || surface == nullptr)
        return DDERR_INVALIDPARAMS;
    *surface = nullptr;
    if (kernel::ConsumeFault("GetAttachedSurface")) {
        Note(label_, "GetAttachedSurface", caps->dwCaps, nullptr, nullptr, DDERR_NOTFOUND);
        return DDERR_NOTFOUND;
    }
    std::vector<Surface*> candidates;
    // In a chain each surface has the next one attached: the front its first back buffer.
    Surface* owner = primaryOfChain();
    auto& chain = owner->chain_;
    auto self = std::find(chain.begin(), chain.end(), this);
    if (self != chain.end() && self + 1 != chain.end())
        candidates.push_back(*(self + 1));
    candidates.insert(candidates.end(), attached_.begin(), attached_.end());
    for (Surface* s : candidates)
        if ((s->capsBits() & caps->dwCaps) == caps->dwCaps) {
            s->AddRef();
            *surface = s;
            Note(label_, "GetAttachedSurface", caps->dwCaps, nullptr, nullptr, DD_OK);
            return DD_OK;
        }
    Note(label_, "GetAttachedSurface", caps->dwCaps, nullptr, nullptr, DDERR_NOTFOUND);
    return DDERR_NOTFOUND;
}

HRESULT Surface::AddAttachedSurface(IDirectDrawSurface7* surface) {
    HRESULT hr = CheckUsable();
    Surface* s = AsSurface(surface);
    if (hr == DD_OK && (s == nullptr || s == this || s->kind_ != SurfaceKind::ZBuffer ||
                        std::find(attached_.begin(), attached_.end(), s) != attached_.end()))
        hr = DDERR_CANNOTATTACHSURFACE;
    if (hr == DD_OK) {
        s->AddRef();
        attached_.push_back(s);
    }
    Note(label_, "AddAttachedSurface", 0, nullptr, nullptr, hr);
    return hr;
}

HRESULT Surface::DeleteAttachedSurface(DWORD, IDirectDrawSurface7* surface) {
    HRESULT hr = CheckUsable();
    if (hr == DD_OK) {
        if (surface == nullptr) {
            for (Surface* s : attached_)
                s->Release();
            attached_.clear();
        } else {
            auto found = std::find(attached_.begin(), attached_.end(), AsSurface(surface));
            if (found == attached_.end()) {
                hr = DDERR_CANNOTDETACHSURFACE;
            } else {
                Surface* s = *found;
                attached_.erase(found);
                s->Release();
            }
        }
    }
    Note(label_, "DeleteAttachedSurface", 0, nullptr, nullptr, hr);
    return hr;
}

HRESULT Surface::EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK7 callback) {
    HRESULT hr = CheckUsable();
    if (hr != DD_OK)
        return hr;
    if (callback == nullptr)
        return DDERR_INVALIDPARAMS;
    std::vector<Surface*> list;
    Surface* owner = primaryOfChain();
    auto& chain = owner->chain_;
    auto self = std::find(chain.begin(), chain.end(), this);
    if (self != chain.end() && chain.size() > 1)
        list.push_back(self + 1 != chain.end() ? *(self + 1) : chain.front());
    list.insert(list.end(), attached_.begin(), attached_.end());
    for (Surface* s : list) {
        DDSURFACEDESC2 desc;
        s->FillDesc(&desc, nullptr);
        if (callback(s, &desc, context) == DDENUMRET_CANCEL)
            break;
    }
    return DD_OK;
}

HRESULT Surface::GetCaps(DDSCAPS2* caps) {
    HRESULT hr = CheckUsable();
    if (hr != DD_OK)
        return hr;
    if (caps == nullptr)
        return DDERR_INVALIDPARAMS;
    std::memset(caps, 0, sizeof *caps);
    caps->dwCaps = capsBits();
    caps->dwCaps2 = caps2_;
    return DD_OK;
}

HRESULT Surface::GetSurfaceDesc(DDSURFACEDESC2* desc) {
    HRESULT hr = CheckUsable();
    if (hr != DD_OK)
        return hr;
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC2))
        return DDERR_INVALIDPARAMS;
    FillDesc(desc, nullptr);
    return DD_OK;
}

HRESULT Surface::GetPixelFormat(DDPIXELFORMAT* format) {
    HRESULT hr = CheckUsable();
    if (hr != DD_OK)
        return hr;
    if (format == nullptr)
        return DDERR_INVALIDPARAMS;
    *format = format_;
    return DD_OK;
}

HRESULT Surface::SetColorKey(DWORD flags, DDCOLORKEY* key) {
    HRESULT hr = CheckUsable();
    if (hr == DD_OK && !(flags & DDCKEY_SRCBLT))
        hr = DDERR_INVALIDPARAMS;
    if (hr == DD_OK) {
        hasSourceKey_ = key != nullptr;
        if (key)
            sourceKey_ = *key;
    }
    Note(label_, "SetColorKey", flags, nullptr, nullptr, hr);
    return hr;
}

HRESULT Surface::GetColorKey(DWORD flags, DDCOLORKEY* key) {
    HRESULT hr = CheckUsable();
    if (hr != DD_OK)
        return hr;
    if (key == nullptr || !(flags & DDCKEY_SRCBLT))
        return DDERR_INVALIDPARAMS;
    if (!hasSourceKey_)
        return DDERR_NOCOLORKEY;
    *key = sourceKey_;
    return DD_OK;
}

namespace {

// Keeps a reference to `incoming` in `slot`, letting go of the one held before.
template <typename T>
void HoldIn(T*& slot, T* incoming) {
    if (incoming)
        incoming->AddRef();
    if (slot)
        slot->Release();
    slot = incoming;
}

// Hands out a new reference to what `held` is; `empty` when nothing is held.
template <typename T, typename Out>
HRESULT HandOut(T* held, Out** out, HRESULT empty) {
    if (out == nullptr)
        return DDERR_INVALIDPARAMS;
    *out = held;
    if (held == nullptr)
        return empty;
    held->AddRef();
    return DD_OK;
}

}  // namespace

HRESULT Surface::SetClipper(IDirectDrawClipper* clipper) {
    HRESULT hr = CheckUsable();
    if (hr == DD_OK)
        HoldIn(clipper_, static_cast<Clipper*>(clipper));
    Note(label_, "SetClipper", clipper != nullptr, nullptr, nullptr, hr);
    return hr;
}

HRESULT Surface::GetClipper(IDirectDrawClipper** clipper) {
    HRESULT hr = CheckUsable();
    return hr != DD_OK ? hr : HandOut(clipper_, clipper, DDERR_NOCLIPPERATTACHED);
}

HRESULT Surface::SetPalette(IDirectDrawPalette* palette) {
    HRESULT hr = CheckUsable();
    if (hr == DD_OK)
        HoldIn(palette_, static_cast<Palette*>(palette));
    Note(label_, "SetPalette", palette != nullptr, nullptr, nullptr, hr);
    return hr;
}

HRESULT Surface::GetPalette(IDirectDrawPalette** palette) {
    HRESULT hr = CheckUsable();
    return hr != DD_OK ? hr : HandOut(palette_, palette, DDERR_NOTFOUND);
}

HRESULT Surface::IsLost() {
    HRESULT hr = CheckUsable();
    if (hr != DD_OK)
        return hr;
    return lost_ ? DDERR_SURFACELOST : DD_OK;
}

HRESULT Surface::Restore() {
    HRESULT hr = CheckUsable();
    if (hr == DD_OK && lost_) {
        lost_ = false;
        std::memset(pixels_->bytes, 0, pixels_->size);
        pixels_->cleared = true;
    }
    Note(label_, "Restore", 0, nullptr, nullptr, hr);
    return hr;
}

HRESULT Surface::GetDC(HDC* dc) {
    HRESULT hr = CheckUsable();
    if (hr == DD_OK && dc == nullptr)
        hr = DDERR_INVALIDPARAMS;
    if (hr == DD_OK && lost_)
        hr = DDERR_SURFACELOST;
    if (hr == DD_OK && busy())
        hr = DDERR_SURFACEBUSY;
    if (hr == DD_OK && kernel::ConsumeFault("GetDCSurface"))
        hr = DDERR_CANTCREATEDC;
    if (hr == DD_OK) {
        dc_ = gdi::CreateSurfaceDC(bytes(), pitch_, width_, height_, format_);
        ++LockedSurfaceCount();
        *dc = dc_;
    }
    Note(label_, "GetDC", 0, nullptr, nullptr, hr);
    return hr;
}

HRESULT Surface::ReleaseDC(HDC dc) {
    HRESULT hr = CheckUsable();
    if (hr == DD_OK && (dc == nullptr || dc != dc_))
        hr = DDERR_INVALIDPARAMS;
    if (hr == DD_OK) {
        gdi::DestroySurfaceDC(dc_);
        dc_ = nullptr;
        if (!busy())
            --LockedSurfaceCount();
    }
    Note(label_, "ReleaseDC", 0, nullptr, nullptr, hr);
    if (hr == DD_OK)
        AfterWrite();
    return hr;
}

HRESULT Surface::PageLock(DWORD) {
    return CheckUsable();
}

HRESULT Surface::PageUnlock(DWORD) {
    return CheckUsable();
}

// The overlay model: an overlay surface is placed on the primary or taken away, and the
// placement is kept for tests. Rectangles must lie inside their surfaces.
HRESULT Surface::UpdateOverlay(RECT* srcRect, IDirectDrawSurface7* primary, RECT* dstRect, DWORD flags,
                               DDOVERLAYFX*) {
    HRESULT hr = CheckUsable();
    Surface* target = AsSurface(primary);
    bool show = (flags & DDOVER_SHOW) != 0;
    bool hide = (flags & DDOVER_HIDE) != 0;
    RECT source = srcRect ? *srcRect : RECT{0, 0, width_, height_};
    RECT destination = {};
    if (hr == DD_OK && kind_ != SurfaceKind::Overlay)
        hr = DDERR_NOTAOVERLAYSURFACE;
    if (hr == DD_OK && (target == nullptr || target->kind_ != SurfaceKind::Primary || show == hide))
        hr = DDERR_INVALIDPARAMS;
    if (hr == DD_OK && (lost_ || target->lost_))
        hr = DDERR_SURFACELOST;
    if (hr == DD_OK && show) {
        destination = dstRect ? *dstRect : RECT{0, 0, target->width_, target->height_};
        if (source.left < 0 || source.top < 0 || source.right > width_ || source.bottom > height_ ||
            source.left >= source.right || source.top >= source.bottom || destination.left < 0 ||
            destination.top < 0 || destination.right > target->width_ || destination.bottom > target->height_ ||
            destination.left >= destination.right || destination.top >= destination.bottom)
            hr = DDERR_INVALIDRECT;
    }
    if (hr == DD_OK)
        KeepOverlayPlacement(label_, show, show ? source : RECT{}, destination);
    Note(label_, "UpdateOverlay", flags, show ? &destination : nullptr, show ? &source : nullptr, hr);
    return hr;
}

// ---- the older views ------------------------------------------------------------------------
namespace {

// The fields both descriptions have, from one form into a cleared other.
template <typename From, typename To>
void CopySharedDescFields(const From& in, DWORD flags, To* out) {
    std::memset(out, 0, sizeof *out);
    out->dwSize = sizeof *out;
    out->dwFlags = flags;
    out->dwHeight = in.dwHeight;
    out->dwWidth = in.dwWidth;
    out->lPitch = in.lPitch;
    out->dwBackBufferCount = in.dwBackBufferCount;
    out->dwRefreshRate = in.dwRefreshRate;
    out->dwAlphaBitDepth = in.dwAlphaBitDepth;
    out->lpSurface = in.lpSurface;
    out->ddckCKDestOverlay = in.ddckCKDestOverlay;
    out->ddckCKDestBlt = in.ddckCKDestBlt;
    out->ddckCKSrcOverlay = in.ddckCKSrcOverlay;
    out->ddckCKSrcBlt = in.ddckCKSrcBlt;
    out->ddpfPixelFormat = in.ddpfPixelFormat;
    out->ddsCaps.dwCaps = in.ddsCaps.dwCaps;
}

}  // namespace

void ToFirstDesc(const DDSURFACEDESC2& in, DDSURFACEDESC* out) {
    CopySharedDescFields(in, in.dwFlags & ~DDSD_TEXTURESTAGE, out);
}

void FromFirstDesc(const DDSURFACEDESC& in, DDSURFACEDESC2* out) {
    CopySharedDescFields(in, in.dwFlags, out);
}

HRESULT SurfaceView1::QueryInterface(REFIID iid, void** object) {
    return owner_->QueryInterface(iid, object);
}
ULONG SurfaceView1::AddRef() {
    return owner_->AddRef();
}
ULONG SurfaceView1::Release() {
    return owner_->Release();
}

HRESULT SurfaceView1::Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event) {
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC))
        return DDERR_INVALIDPARAMS;
    DDSURFACEDESC2 full = {};
    full.dwSize = sizeof full;
    HRESULT hr = owner_->Lock(rect, &full, flags, event);
    if (hr == DD_OK)
        ToFirstDesc(full, desc);
    return hr;
}

// The first interface names a lock by its pointer; the surface's own rule for an
// unnamed unlock (its only lock, or the whole-surface one) applies.
HRESULT SurfaceView1::Unlock(LPVOID) {
    return owner_->Unlock(nullptr);
}

HRESULT SurfaceView1::GetSurfaceDesc(DDSURFACEDESC* desc) {
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC))
        return DDERR_INVALIDPARAMS;
    DDSURFACEDESC2 full = {};
    full.dwSize = sizeof full;
    HRESULT hr = owner_->GetSurfaceDesc(&full);
    if (hr == DD_OK)
        ToFirstDesc(full, desc);
    return hr;
}

HRESULT SurfaceView1::IsLost() {
    return owner_->IsLost();
}
HRESULT SurfaceView1::Restore() {
    return owner_->Restore();
}

HRESULT SurfaceView4::QueryInterface(REFIID iid, void** object) {
    return owner_->QueryInterface(iid, object);
}
ULONG SurfaceView4::AddRef() {
    return owner_->AddRef();
}
ULONG SurfaceView4::Release() {
    return owner_->Release();
}
HRESULT SurfaceView4::Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) {
    return owner_->Lock(rect, desc, flags, event);
}
HRESULT SurfaceView4::Unlock(RECT* rect) {
    return owner_->Unlock(rect);
}
HRESULT SurfaceView4::GetSurfaceDesc(DDSURFACEDESC2* desc) {
    return owner_->GetSurfaceDesc(desc);
}
HRESULT SurfaceView4::IsLost() {
    return owner_->IsLost();
}
HRESULT SurfaceView4::Restore() {
    return owner_->Restore();
}

}  // namespace ddraw
