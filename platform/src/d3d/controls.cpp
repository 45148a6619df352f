// d3d/controls.cpp: the Direct3D layer's test controls (testing.h) and the platform's own
// enumeration answers. Any thread; the layer itself runs on the main thread.
#include "d3d/controls.h"

#include <atomic>
#include <mutex>

#include "kernel/controls.h"

namespace {

std::atomic<bool> g_generalPath{false};

std::mutex g_lock;
bool g_devicesScripted = false, g_zScripted = false, g_texturesScripted = false;
std::vector<ptest::D3DDeviceScript> g_devices;
std::vector<DDPIXELFORMAT> g_zFormats, g_textureFormats;
int g_loadBusy = 0;
bool g_recording = false;
std::vector<ptest::D3DCall> g_calls;

DDPIXELFORMAT Rgb(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof(DDPIXELFORMAT);
    f.dwFlags = DDPF_RGB | (a != 0 ? DDPF_ALPHAPIXELS : 0);
    f.dwRGBBitCount = bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    f.dwRGBAlphaBitMask = a;
    return f;
}

}  // namespace

namespace d3d {

bool GeneralPathForced() { return g_generalPath.load(std::memory_order_relaxed); }

std::vector<ptest::D3DDeviceScript> EnumeratedDevices() {
    std::lock_guard<std::mutex> hold(g_lock);
    if (g_devicesScripted) return g_devices;
    ptest::D3DDeviceScript hal;
    hal.description = "Software rasterizer for pre-transformed vertices";
    hal.name = "Direct3D HAL";
    hal.desc = ptest::DefaultD3DDeviceDesc();
    return {hal};
}

std::vector<DDPIXELFORMAT> EnumeratedZBufferFormats() {
    std::lock_guard<std::mutex> hold(g_lock);
    if (g_zScripted) return g_zFormats;
    DDPIXELFORMAT z = {};
    z.dwSize = sizeof(DDPIXELFORMAT);
    z.dwFlags = DDPF_ZBUFFER;
    z.dwZBufferBitDepth = 16;
    z.dwZBitMask = 0xFFFF;
    return {z};
}

std::vector<DDPIXELFORMAT> EnumeratedTextureFormats() {
    std::lock_guard<std::mutex> hold(g_lock);
    if (g_texturesScripted) return g_textureFormats;
    return {Rgb(16, 0xF800, 0x07E0, 0x001F, 0),      Rgb(16, 0x7C00, 0x03E0, 0x001F, 0),
            Rgb(16, 0x7C00, 0x03E0, 0x001F, 0x8000), Rgb(16, 0x0F00, 0x00F0, 0x000F, 0xF000),
            Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0),      Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u)};
}

bool ConsumeLoadBusy() {
    std::lock_guard<std::mutex> hold(g_lock);
    if (g_loadBusy <= 0) return false;
    --g_loadBusy;
    return true;
}

bool RecordingCalls() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_recording;
}

void NoteCall(ptest::D3DCall call) {
    std::lock_guard<std::mutex> hold(g_lock);
    if (g_recording) g_calls.push_back(std::move(call));
}

}  // namespace d3d

namespace kernel {

void ResetD3DControls() {
    g_generalPath.store(false, std::memory_order_relaxed);
    std::lock_guard<std::mutex> hold(g_lock);
    g_devicesScripted = g_zScripted = g_texturesScripted = false;
    g_devices.clear();
    g_zFormats.clear();
    g_textureFormats.clear();
    g_loadBusy = 0;
    g_recording = false;
    g_calls.clear();
}

}  // namespace kernel

namespace ptest {

void ForceD3DGeneralPath(bool on) { g_generalPath.store(on, std::memory_order_relaxed); }

D3DDEVICEDESC7 DefaultD3DDeviceDesc() {
    D3DDEVICEDESC7 d = {};
    for (D3DPRIMCAPS* caps : {&d.dpcLineCaps, &d.dpcTriCaps}) {
        caps->dwSize = sizeof(D3DPRIMCAPS);
        caps->dwSrcBlendCaps = caps->dwDestBlendCaps = 0x0000237u;  // ZERO ONE SRCCOLOR SRCALPHA INVSRCALPHA INVDESTCOLOR
        caps->dwAlphaCmpCaps = caps->dwZCmpCaps = 0xFFu;            // every comparison
        caps->dwShadeCaps = 0x0000000Au;                            // flat and Gouraud colour
        caps->dwTextureCaps = D3DPTEXTURECAPS_POW2 | 0x0000000Cu;   // alpha, transparency
        caps->dwTextureFilterCaps = 0x03000303u;                    // point and linear, min and mag
        caps->dwTextureAddressCaps = 0x00000004u;                   // clamp
    }
    d.dwDeviceRenderBitDepth = DDBD_16 | DDBD_32;
    d.dwDeviceZBufferBitDepth = DDBD_16;
    d.dwMinTextureWidth = d.dwMinTextureHeight = 1;
    d.dwMaxTextureWidth = d.dwMaxTextureHeight = 2048;
    d.dwMaxTextureRepeat = 1;
    d.dwMaxTextureAspectRatio = 2048;
    d.dwMaxAnisotropy = 1;
    d.dwFVFCaps = 2;                 // two coordinate sets
    d.dwTextureOpCaps = 0x0000027Fu;  // DISABLE to ADD, SUBTRACT
    d.wMaxTextureBlendStages = 8;
    d.wMaxSimultaneousTextures = 8;
    d.deviceGUID = IID_IDirect3DHALDevice;
    return d;
}

void ScriptD3DDevices(const std::vector<D3DDeviceScript>& devices) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_devicesScripted = true;
    g_devices = devices;
}

void ScriptD3DZBufferFormats(const std::vector<DDPIXELFORMAT>& formats) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_zScripted = true;
    g_zFormats = formats;
}

void ScriptD3DTextureFormats(const std::vector<DDPIXELFORMAT>& formats) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_texturesScripted = true;
    g_textureFormats = formats;
}

void SetD3DLoadBusy(int calls) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_loadBusy = calls;
}

void RecordD3DCalls(bool on) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_recording = on;
    g_calls.clear();
}

std::vector<D3DCall> TakeD3DCalls() {
    std::lock_guard<std::mutex> hold(g_lock);
    std::vector<D3DCall> out;
    out.swap(g_calls);
    return out;
}

}  // namespace ptest
