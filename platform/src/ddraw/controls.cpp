// ddraw/controls.cpp: the DirectDraw controls of testing.h and their reset.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "ddraw/internal.h"
#include "kernel/controls.h"
#include "kernel/journal.h"
#include "platform/testing.h"

namespace ddraw {
namespace {

struct RefusedMode {
    int width, height, bits, refresh;
};

struct Controls {
    HRESULT cooperativeResult = DD_OK;
    int cooperativeCountdown = 0;
    std::vector<RefusedMode> refused;
    int display16 = 0;
    uint64_t budget = 16u << 20;
    bool noBlank = false;
    bool noScanLine = false;
    std::string overlay;
    ptest::OverlayCaps overlayCaps;
    ptest::OverlayPlacement overlayPlacement;
    bool relocate = false;
    bool generalPath = false;
    int lockedSurfaces = 0;
    int serial = 0;
    std::string driver;
    std::string description;
};

Controls& Get() {
    static Controls controls;
    return controls;
}

}  // namespace

void Note(const std::string& object, const char* method, DWORD flags, const RECT* rect, const RECT* rect2,
          HRESULT result) {
    kernel::JournalNote(object.c_str(), method, flags, rect, rect2, result);
}

int& LockedSurfaceCount() {
    return Get().lockedSurfaces;
}
bool RelocateOnLock() {
    return Get().relocate;
}
bool GeneralPathForced() {
    return Get().generalPath;
}
bool NoVerticalBlank() {
    return Get().noBlank;
}
bool NoScanLine() {
    return Get().noScanLine;
}
uint64_t VideoMemoryBudget() {
    return Get().budget;
}
int Display16Kind() {
    return Get().display16;
}

bool OverlayAllowed(const DDPIXELFORMAT& f) {
    const std::string& name = Get().overlay;
    if (name.empty())
        return false;
    if (f.dwFlags & DDPF_FOURCC) {
        return (name == "UYVY" && f.dwFourCC == MAKEFOURCC('U', 'Y', 'V', 'Y')) ||
               (name == "YUY2" && f.dwFourCC == MAKEFOURCC('Y', 'U', 'Y', '2'));
    }
    return (name == "RGB555" && f.dwRGBBitCount == 16 && f.dwRBitMask == 0x7C00) ||
           (name == "RGB565" && f.dwRGBBitCount == 16 && f.dwRBitMask == 0xF800);
}

void FillOverlayCaps(DDCAPS* caps) {
    const ptest::OverlayCaps& o = Get().overlayCaps;
    caps->dwMinOverlayStretch = o.minStretch;
    caps->dwMaxOverlayStretch = o.maxStretch;
    caps->dwCaps |= o.alignFlags & (DDCAPS_ALIGNBOUNDARYDEST | DDCAPS_ALIGNSIZEDEST | DDCAPS_ALIGNBOUNDARYSRC |
                                    DDCAPS_ALIGNSIZESRC);
    caps->dwAlignBoundarySrc = o.boundarySrc;
    caps->dwAlignSizeSrc = o.sizeSrc;
    caps->dwAlignBoundaryDest = o.boundaryDest;
    caps->dwAlignSizeDest = o.sizeDest;
}

void KeepOverlayPlacement(const std::string& label, bool shown, const RECT& source, const RECT& destination) {
    ptest::OverlayPlacement& p = Get().overlayPlacement;
    ++p.updates;
    p.surface = label;
    p.shown = shown;
    p.source = source;
    p.destination = destination;
}

bool ModeRefused(int width, int height, int bits, int refresh) {
    for (const RefusedMode& m : Get().refused)
        if (m.width == width && m.height == height && m.bits == bits && (m.refresh == -1 || m.refresh == refresh))
            return true;
    return false;
}

bool ConsumeCooperativeLevelFault(HRESULT* result) {
    Controls& c = Get();
    if (c.cooperativeCountdown <= 0)
        return false;
    if (--c.cooperativeCountdown > 0)
        return false;
    *result = c.cooperativeResult;
    return true;
}

std::string NextLabel(SurfaceKind kind) {
    int n = ++Get().serial;
    switch (kind) {
    case SurfaceKind::Primary: return "primary";
    case SurfaceKind::BackBuffer: return "backbuffer" + std::to_string(n);
    case SurfaceKind::Offscreen: return "offscreen" + std::to_string(n);
    case SurfaceKind::Texture: return "texture" + std::to_string(n);
    case SurfaceKind::ZBuffer: return "zbuffer" + std::to_string(n);
    case SurfaceKind::Overlay: return "overlay" + std::to_string(n);
    }
    return "surface";
}

void DeviceStrings(std::string* driver, std::string* description) {
    *driver = Get().driver;
    *description = Get().description;
}

std::vector<Surface*>& LiveSurfaces() {
    static std::vector<Surface*> surfaces;
    return surfaces;
}

void ResetCaptureControls();  // present.cpp

}  // namespace ddraw

namespace kernel {

void ResetGraphicsControls() {
    ddraw::Controls& c = ddraw::Get();
    int locked = c.lockedSurfaces;
    int serial = c.serial;
    c = ddraw::Controls();
    c.lockedSurfaces = locked;  // a count of what exists, not a setting
    c.serial = serial;
    ddraw::ResetCaptureControls();
    ptest::RecordGraphicsCalls(false);
}

}  // namespace kernel

namespace ptest {

void FailCooperativeLevel(HRESULT result, int nth) {
    ddraw::Get().cooperativeResult = result;
    ddraw::Get().cooperativeCountdown = nth;
}

void RefuseDisplayMode(int width, int height, int bits, int refresh) {
    ddraw::Get().refused.push_back({width, height, bits, refresh});
}

void SetDisplay16Format(Display16 format) {
    ddraw::Get().display16 = format == Display16::R5G6B5 ? 0 : format == Display16::X1R5G5B5 ? 1 : 2;
}

void SetVideoMemoryBudget(uint64_t bytes) {
    ddraw::Get().budget = bytes;
}

void SetNoVerticalBlank(bool on) {
    ddraw::Get().noBlank = on;
}

void SetNoScanLine(bool on) {
    ddraw::Get().noScanLine = on;
}

void AllowOverlayFormat(const char* name) {
    ddraw::Get().overlay = name ? name : "";
}

void SetOverlayCaps(const OverlayCaps& caps) {
    ddraw::Get().overlayCaps = caps;
}

OverlayPlacement GetLastOverlayPlacement() {
    return ddraw::Get().overlayPlacement;
}

void MarkSurfaceLost(IDirectDrawSurface7* surface) {
    if (ddraw::Surface* s = ddraw::AsSurface(surface))
        s->MarkLost();
}

void MarkVideoSurfacesLost() {
    for (ddraw::Surface* s : ddraw::LiveSurfaces())
        if (s->video())
            s->MarkLost();
}

void SetRelocateOnLock(bool on) {
    ddraw::Get().relocate = on;
}

void ForceDDrawGeneralPath(bool on) {
    ddraw::Get().generalPath = on;
}

void SetDeviceIdentifier(const std::string& driver, const std::string& description) {
    ddraw::Get().driver = driver;
    ddraw::Get().description = description;
}

int GetLockedSurfaceCount() {
    return ddraw::Get().lockedSurfaces;
}

std::string GetSurfaceLabel(IDirectDrawSurface7* surface) {
    ddraw::Surface* s = ddraw::AsSurface(surface);
    return s ? s->label() : "";
}

}  // namespace ptest
