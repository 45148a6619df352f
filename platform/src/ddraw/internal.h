// ddraw/internal.h: what the parts of the DirectDraw layer share: the object's core,
// the surface, clipper and palette classes, the emulated display and the present path.
// Main thread, like the library that calls it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ddraw.h"

namespace ddraw {

// ---- the object's core --------------------------------------------------------------------
// Shared by the object and everything it made. When the object goes, the core is marked
// dead and every call on its surfaces, clippers and palettes returns DDERR_INVALIDOBJECT.
struct Core {
    bool alive = true;
    bool initialized = false;
    DWORD cooperativeFlags = 0;
    HWND cooperativeWindow = nullptr;
    uint64_t videoBytesUsed = 0;  // video placements charged to the budget
    bool hasPrimary = false;
};

// ---- the display ---------------------------------------------------------------------------
// The mode the object set (full screen), or the desktop's when none is set.
struct DisplayMode {
    int width;
    int height;
    int bits;
    int refresh;
    DDPIXELFORMAT format;
};
DisplayMode CurrentDisplayMode();
void SetDisplayModeState(int width, int height, int bits, int refresh);  // bits 0: the desktop's
bool DisplayModeIsSet();
void DesktopSize(int* width, int* height);
// The pixel format of a depth: X8R8G8B8 at 32, R5G6B5 (or the control's) at 16, palette
// indices at 8.
DDPIXELFORMAT FormatOfDepth(int bits);

// ---- the emulated vertical blank ----------------------------------------------------------
// A 60 Hz display of 525 lines a frame on the platform clock; the last 45 lines are the
// blank. Under the fast clock every poll advances the clock 100 microseconds and waits
// jump at once.
struct BlankPhase {
    int line;      // 0..524
    bool inBlank;  // line >= 480
};
BlankPhase PollBlank();                    // the phase now; a poll
uint64_t NowMicroseconds();                // the clock without a poll step
uint64_t NextBlankStart(uint64_t afterUs); // the first blank start after a time
void WaitUntil(uint64_t us);               // real: sleeps; fast: jumps

// ---- clippers and palettes --------------------------------------------------------------------
class Clipper final : public IDirectDrawClipper {
public:
    explicit Clipper(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;
    HRESULT SetHWnd(DWORD flags, HWND window) override;
    HRESULT GetHWnd(HWND* window) override;
    HWND window() const { return window_; }
    bool alive() const { return core_->alive; }

private:
    std::shared_ptr<Core> core_;
    ULONG refs_ = 1;
    HWND window_ = nullptr;
};

class Palette final : public IDirectDrawPalette {
public:
    Palette(std::shared_ptr<Core> core, const PALETTEENTRY* entries);
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;
    HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* entries) override;
    HRESULT GetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* entries) override;
    const PALETTEENTRY* entries() const { return entries_; }

private:
    std::shared_ptr<Core> core_;
    ULONG refs_ = 1;
    PALETTEENTRY entries_[256];
};

// ---- surfaces ---------------------------------------------------------------------------------
enum class SurfaceKind { Primary, BackBuffer, Offscreen, Texture, ZBuffer, Overlay };

// One block of pixels. Flip moves blocks between the surfaces of a chain.
struct Pixels {
    uint8_t* bytes = nullptr;
    size_t size = 0;
    // Still all zero as cleared: nothing has been handed the bytes since. A fill with zero
    // then has nothing to do (a new texture is cleared once more by its creator).
    bool cleared = false;
    ~Pixels();
};

class Surface;

// The first and version-4 views of a surface: the same surface, count and locks.
class SurfaceView1 final : public IDirectDrawSurface {
public:
    explicit SurfaceView1(Surface* owner) : owner_(owner) {}
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event) override;
    HRESULT Unlock(LPVOID lockedPointer) override;
    HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) override;
    HRESULT IsLost() override;
    HRESULT Restore() override;

private:
    Surface* owner_;
};

class SurfaceView4 final : public IDirectDrawSurface4 {
public:
    explicit SurfaceView4(Surface* owner) : owner_(owner) {}
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) override;
    HRESULT Unlock(RECT* rect) override;
    HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) override;
    HRESULT IsLost() override;
    HRESULT Restore() override;

private:
    Surface* owner_;
};

// The first description of a second one (the caps word kept, the rest dropped), and back.
void ToFirstDesc(const DDSURFACEDESC2& in, DDSURFACEDESC* out);
void FromFirstDesc(const DDSURFACEDESC& in, DDSURFACEDESC2* out);

class Surface final : public IDirectDrawSurface7 {
public:
    Surface(std::shared_ptr<Core> core, SurfaceKind kind, int width, int height, const DDPIXELFORMAT& format,
            DWORD caps, DWORD caps2, bool video, int stage);
    ~Surface();

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;
    HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) override;
    HRESULT Unlock(RECT* rect) override;
    HRESULT Blt(RECT* dstRect, IDirectDrawSurface7* src, RECT* srcRect, DWORD flags, DDBLTFX* fx) override;
    HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface7* src, RECT* srcRect, DWORD flags) override;
    HRESULT Flip(IDirectDrawSurface7* target, DWORD flags) override;
    HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** surface) override;
    HRESULT AddAttachedSurface(IDirectDrawSurface7* surface) override;
    HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface7* surface) override;
    HRESULT EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK7 callback) override;
    HRESULT GetCaps(DDSCAPS2* caps) override;
    HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) override;
    HRESULT GetPixelFormat(DDPIXELFORMAT* format) override;
    HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) override;
    HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) override;
    HRESULT SetClipper(IDirectDrawClipper* clipper) override;
    HRESULT GetClipper(IDirectDrawClipper** clipper) override;
    HRESULT SetPalette(IDirectDrawPalette* palette) override;
    HRESULT GetPalette(IDirectDrawPalette** palette) override;
    HRESULT IsLost() override;
    HRESULT Restore() override;
    HRESULT GetDC(HDC* dc) override;
    HRESULT ReleaseDC(HDC dc) override;
    HRESULT PageLock(DWORD flags) override;
    HRESULT PageUnlock(DWORD flags) override;
    HRESULT UpdateOverlay(RECT* srcRect, IDirectDrawSurface7* primary, RECT* dstRect, DWORD flags,
                          DDOVERLAYFX* fx) override;

    // For the other parts of the layer.
    SurfaceKind kind() const { return kind_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int pitch() const { return pitch_; }
    int bytesPerPixel() const { return bytes_; }
    const DDPIXELFORMAT& format() const { return format_; }
    // Whoever takes the bytes may write them.
    uint8_t* bytes() const {
        pixels_->cleared = false;
        return pixels_->bytes;
    }
    bool cleared() const { return pixels_->cleared; }
    bool video() const { return video_; }
    bool busy() const { return !locks_.empty() || dc_ != nullptr; }
    bool lost() const { return lost_; }
    void MarkLost() { lost_ = true; }
    const std::string& label() const { return label_; }
    Palette* palette() const { return palette_; }
    Clipper* clipper() const { return clipper_; }
    const std::shared_ptr<Core>& core() const { return core_; }
    bool HasView(const IUnknown* view) const {
        return view == static_cast<const IDirectDrawSurface7*>(this) || view == &view1_ || view == &view4_;
    }
    // The chain this primary flips through (front first), or empty.
    std::vector<Surface*>& chain() { return chain_; }
    void SetChainOwner(Surface* owner) { chainOwner_ = owner; }
    Surface* primaryOfChain() { return chainOwner_ ? chainOwner_ : this; }
    std::shared_ptr<Pixels>& pixelBlock() { return pixels_; }
    bool hasSourceKey() const { return hasSourceKey_; }
    DDCOLORKEY sourceKey() const { return sourceKey_; }
    DWORD capsBits() const;
    void FillDesc(DDSURFACEDESC2* desc, uint8_t* surfacePointer) const;
    // A write to the primary shows it.
    void AfterWrite();
    // Bytes charged to the video memory budget, given back when the surface goes.
    void SetCharged(uint64_t bytes) { charged_ = bytes; }

private:
    HRESULT CheckUsable() const;
    void Relocate();

    std::shared_ptr<Core> core_;
    ULONG refs_ = 1;
    SurfaceKind kind_;
    int width_, height_, bytes_, pitch_;
    DDPIXELFORMAT format_;
    DWORD caps_, caps2_;
    bool video_;
    int stage_;
    std::shared_ptr<Pixels> pixels_;
    struct HeldLock {
        bool whole;
        RECT rect;
        bool writable;
    };
    std::vector<HeldLock> locks_;
    HDC dc_ = nullptr;
    bool lost_ = false;
    bool hasSourceKey_ = false;
    DDCOLORKEY sourceKey_ = {};
    Clipper* clipper_ = nullptr;
    Palette* palette_ = nullptr;
    std::vector<Surface*> attached_;  // surfaces attached by AddAttachedSurface (referenced)
    std::vector<Surface*> chain_;     // primary of a flip chain: front, back 1, back 2 ...
    Surface* chainOwner_ = nullptr;   // back buffers: their primary
    std::string label_;
    uint64_t charged_ = 0;
    SurfaceView1 view1_{this};
    SurfaceView4 view4_{this};
};

Surface* AsSurface(IDirectDrawSurface7* surface);  // ours, or null
// The surface behind any of its views (version 7, 4 or the first), or null. Asks no
// QueryInterface, so no injected fault is spent on it.
Surface* SurfaceOfView(const IUnknown* view);

// ---- presenting ---------------------------------------------------------------------------------
// Shows the primary: in window mode the main window's client rectangle of it, in full
// screen the front buffer; converts to X8R8G8B8, captures, hands it to the backend.
void PresentPrimary(Surface* primary);

// ---- journal and controls -----------------------------------------------------------------------
void Note(const std::string& object, const char* method, DWORD flags, const RECT* rect, const RECT* rect2,
          HRESULT result);
int& LockedSurfaceCount();
bool RelocateOnLock();
bool GeneralPathForced();  // ptest::ForceDDrawGeneralPath
bool NoVerticalBlank();
bool NoScanLine();
uint64_t VideoMemoryBudget();
int Display16Kind();  // 0 R5G6B5, 1 X1R5G5B5, 2 a format of class 3
bool OverlayAllowed(const DDPIXELFORMAT& format);
// The overlay capabilities a test set (stretch factors, alignment flags and values) into caps.
void FillOverlayCaps(DDCAPS* caps);
// The overlay model keeps the last successful UpdateOverlay.
void KeepOverlayPlacement(const std::string& label, bool shown, const RECT& source, const RECT& destination);
bool ModeRefused(int width, int height, int bits, int refresh);
bool ConsumeCooperativeLevelFault(HRESULT* result);
std::string NextLabel(SurfaceKind kind);
void DeviceStrings(std::string* driver, std::string* description);  // "" : the platform's own
std::vector<Surface*>& LiveSurfaces();

}  // namespace ddraw
