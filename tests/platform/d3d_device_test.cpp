// The Direct3D 7 device over DirectDraw surfaces: the object and its enumerations, device
// creation, defaults, refusals, scenes, drawing errors, Load, presenting, the call log,
// and identical bytes with the fast paths on and off.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "d3d/raster_pixel.h"
#include "d3d_support.h"
#include "platform/d3d.h"
#include "platform/ddraw.h"
#include "platform/testing.h"

namespace d3d_device_test {

namespace {

DDPIXELFORMAT Rgb(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB | (a ? DDPF_ALPHAPIXELS : 0);
    f.dwRGBBitCount = bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    f.dwRGBAlphaBitMask = a;
    return f;
}
const DDPIXELFORMAT kX8R8G8B8 = Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0);
const DDPIXELFORMAT kA8R8G8B8 = Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
const DDPIXELFORMAT kR5G6B5 = Rgb(16, 0xF800, 0x07E0, 0x001F, 0);

// DirectDraw, the Direct3D object and surfaces of a test.
struct Fixture {
    IDirectDraw7* dd = nullptr;
    IDirect3D7* d3d = nullptr;
    std::vector<IDirectDrawSurface7*> surfaces;

    Fixture() {
        ptest::ResetControls();
        CoInitialize(nullptr);
        EXPECT_EQ(CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, (void**)&dd), S_OK);
        EXPECT_EQ(dd->Initialize(nullptr), DD_OK);
        EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
        EXPECT_EQ(dd->QueryInterface(IID_IDirect3D7, (void**)&d3d), S_OK);
    }
    ~Fixture() {
        for (IDirectDrawSurface7* s : surfaces) s->Release();
        if (d3d) d3d->Release();
        dd->Release();
        CoUninitialize();
    }
    IDirectDrawSurface7* Surface(int w, int h, const DDPIXELFORMAT& format, DWORD caps = DDSCAPS_OFFSCREENPLAIN) {
        DDSURFACEDESC2 desc = {};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = w;
        desc.dwHeight = h;
        desc.ddsCaps.dwCaps = caps | DDSCAPS_SYSTEMMEMORY;
        desc.ddpfPixelFormat = format;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DD_OK);
        if (s) surfaces.push_back(s);
        return s;
    }
    IDirectDrawSurface7* Texture(int w, int h, const DDPIXELFORMAT& format) {
        return Surface(w, h, format, DDSCAPS_TEXTURE);
    }
    IDirect3DDevice7* Device(IDirectDrawSurface7* target) {
        IDirect3DDevice7* dev = nullptr;
        EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &dev), D3D_OK);
        return dev;
    }
};

uint32_t Get(IDirectDrawSurface7* s, int x, int y) {
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), DD_OK);
    uint32_t v = 0;
    int bytes = int(d.ddpfPixelFormat.dwRGBBitCount / 8);
    std::memcpy(&v, (uint8_t*)d.lpSurface + y * d.lPitch + x * bytes, bytes);
    s->Unlock(nullptr);
    return v;
}

void Fill(IDirectDrawSurface7* s, uint32_t (*pixel)(int x, int y)) {
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    int bytes = int(d.ddpfPixelFormat.dwRGBBitCount / 8);
    for (DWORD y = 0; y < d.dwHeight; ++y)
        for (DWORD x = 0; x < d.dwWidth; ++x) {
            uint32_t v = pixel(int(x), int(y));
            std::memcpy((uint8_t*)d.lpSurface + y * d.lPitch + x * bytes, &v, bytes);
        }
    s->Unlock(nullptr);
}

std::vector<uint32_t> Pixels(IDirectDrawSurface7* s, int w, int h) {
    std::vector<uint32_t> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out.push_back(Get(s, x, y));
    return out;
}

// The sprite states the library sets: texture colour, diffuse alpha, clamp, flat.
void SpriteStates(IDirect3DDevice7* dev) {
    dev->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    dev->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    dev->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    dev->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    dev->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
}

// ---- the object and its enumerations ---------------------------------------------------------
HRESULT CALLBACK CountDevices(LPSTR, LPSTR, LPD3DDEVICEDESC7 desc, LPVOID context) {
    auto* seen = static_cast<std::vector<D3DDEVICEDESC7>*>(context);
    seen->push_back(*desc);
    return seen->size() == 1 ? D3DENUMRET_CANCEL : D3DENUMRET_OK;
}
HRESULT CALLBACK AllDevices(LPSTR, LPSTR, LPD3DDEVICEDESC7 desc, LPVOID context) {
    static_cast<std::vector<D3DDEVICEDESC7>*>(context)->push_back(*desc);
    return D3DENUMRET_OK;
}
HRESULT CALLBACK CollectFormats(LPDDPIXELFORMAT f, LPVOID context) {
    static_cast<std::vector<DDPIXELFORMAT>*>(context)->push_back(*f);
    return D3DENUMRET_OK;
}

TEST(D3DObject, EnumeratesOneHalDeviceItsDepthFormatAndSixTextureFormats) {
    Fixture f;
    std::vector<D3DDEVICEDESC7> devices;
    ASSERT_EQ(f.d3d->EnumDevices(AllDevices, &devices), D3D_OK);
    ASSERT_EQ(devices.size(), 1u);
    const D3DDEVICEDESC7& d = devices[0];
    EXPECT_TRUE(d.deviceGUID == IID_IDirect3DHALDevice);
    EXPECT_EQ(d.dwDeviceRenderBitDepth, DDBD_16 | DDBD_32);
    EXPECT_EQ(d.dwMinTextureWidth, 1u);
    EXPECT_EQ(d.dwMaxTextureHeight, 2048u);
    EXPECT_TRUE(d.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_POW2);
    EXPECT_FALSE(d.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY);

    std::vector<DDPIXELFORMAT> z;
    ASSERT_EQ(f.d3d->EnumZBufferFormats(IID_IDirect3DHALDevice, CollectFormats, &z), D3D_OK);
    ASSERT_EQ(z.size(), 1u);
    EXPECT_EQ(z[0].dwFlags, DDPF_ZBUFFER);
    EXPECT_EQ(z[0].dwZBufferBitDepth, 16u);
    EXPECT_EQ(z[0].dwZBitMask, 0xFFFFu);

    IDirect3DDevice7* dev = f.Device(f.Surface(8, 8, kX8R8G8B8));
    std::vector<DDPIXELFORMAT> tex;
    ASSERT_EQ(dev->EnumTextureFormats(CollectFormats, &tex), D3D_OK);
    const DWORD alpha[] = {0, 0, 0x8000, 0xF000, 0, 0xFF000000u};
    const DWORD red[] = {0xF800, 0x7C00, 0x7C00, 0x0F00, 0xFF0000, 0xFF0000};
    ASSERT_EQ(tex.size(), 6u);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(tex[k].dwRBitMask, red[k]) << k;
        EXPECT_EQ(tex[k].dwRGBAlphaBitMask, alpha[k]) << k;
    }
    dev->Release();
}

TEST(D3DObject, ScriptsCancelAndNamedFailures) {
    Fixture f;
    ptest::D3DDeviceScript hal{"hal", "HAL", ptest::DefaultD3DDeviceDesc()};
    ptest::D3DDeviceScript tnl = hal;
    tnl.desc.deviceGUID = IID_IDirect3DTnLHalDevice;
    ptest::ScriptD3DDevices({tnl, hal});
    std::vector<D3DDEVICEDESC7> seen;
    ASSERT_EQ(f.d3d->EnumDevices(CountDevices, &seen), D3D_OK);
    ASSERT_EQ(seen.size(), 1u);  // the callback cancelled
    EXPECT_TRUE(seen[0].deviceGUID == IID_IDirect3DTnLHalDevice);

    IDirect3DDevice7* dev = nullptr;
    IDirectDrawSurface7* target = f.Surface(8, 8, kX8R8G8B8);
    EXPECT_EQ(f.d3d->CreateDevice(IID_IDirect3DTnLHalDevice, target, &dev), D3D_OK);
    dev->Release();
    ptest::ScriptD3DDevices({hal});
    EXPECT_EQ(f.d3d->CreateDevice(IID_IDirect3DTnLHalDevice, target, &dev), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dev, nullptr);

    for (const char* name : {"EnumDevices", "EnumZBufferFormats"}) {
        ptest::FailCall(name);
        std::vector<DDPIXELFORMAT> z;
        seen.clear();
        HRESULT hr = std::string(name) == "EnumDevices" ? f.d3d->EnumDevices(AllDevices, &seen)
                                                       : f.d3d->EnumZBufferFormats(IID_IDirect3DHALDevice, CollectFormats, &z);
        EXPECT_EQ(hr, DDERR_GENERIC) << name;
        EXPECT_TRUE(seen.empty() && z.empty()) << name;
    }
    ptest::FailCall("CreateDevice");
    EXPECT_EQ(f.d3d->CreateDevice(IID_IDirect3DHALDevice, target, &dev), DDERR_GENERIC);
    ptest::FailCall("QueryDirect3D");
    IDirect3D7* again = reinterpret_cast<IDirect3D7*>(1);
    EXPECT_EQ(f.dd->QueryInterface(IID_IDirect3D7, (void**)&again), E_NOINTERFACE);
    EXPECT_EQ(again, nullptr);
}

TEST(D3DObject, DeviceNeedsARasterFormatAndKeepsItsSurfacesAlive) {
    Fixture f;
    IDirect3DDevice7* dev = nullptr;
    DDPIXELFORMAT rgb24 = Rgb(24, 0xFF0000, 0xFF00, 0xFF, 0);
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = desc.dwHeight = 8;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.ddpfPixelFormat = rgb24;
    IDirectDrawSurface7* odd = nullptr;
    if (f.dd->CreateSurface(&desc, &odd, nullptr) == DD_OK) {
        EXPECT_EQ(f.d3d->CreateDevice(IID_IDirect3DHALDevice, odd, &dev), DDERR_INVALIDPIXELFORMAT);
        odd->Release();
    }
    GUID unknown = IID_IDirect3D7;
    IDirectDrawSurface7* target = f.Surface(16, 16, kX8R8G8B8);
    EXPECT_EQ(f.d3d->CreateDevice(unknown, target, &dev), DDERR_INVALIDPARAMS);

    // The test lets go of target and texture; the device's references keep them.
    IDirectDrawSurface7* tex = f.Texture(4, 4, kA8R8G8B8);
    Fill(tex, [](int, int) { return 0xFF123456u; });
    dev = f.Device(target);
    ASSERT_EQ(dev->SetTexture(0, tex), D3D_OK);
    f.surfaces.clear();
    target->Release();
    tex->Release();
    SpriteStates(dev);
    d3dtest::VertexBuffer vb(d3d::kFvfColorTex1);
    vb.Quad(-0.5f, -0.5f, 15.5f, 15.5f, 0xFFFFFFFFu);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0x144, vb.bytes.data(), vb.Count(), 0), D3D_OK);
    EXPECT_EQ(dev->EndScene(), D3D_OK);
    ptest::D3DDeviceState st;
    ASSERT_TRUE(ptest::GetD3DDeviceState(dev, &st));
    EXPECT_EQ(Get(st.target, 7, 7), 0x123456u);
    dev->Release();  // the surfaces go with it (AddressSanitizer sees any use after)
}

// ---- states -------------------------------------------------------------------------------
TEST(D3DDevice, StartsInDirect3D7Defaults) {
    Fixture f;
    IDirect3DDevice7* dev = f.Device(f.Surface(20, 10, kX8R8G8B8));
    ptest::D3DDeviceState st;
    ASSERT_TRUE(ptest::GetD3DDeviceState(dev, &st));
    struct Expect {
        int state;
        uint32_t value;
    };
    const Expect kRender[] = {
        {D3DRENDERSTATE_TEXTUREPERSPECTIVE, TRUE}, {D3DRENDERSTATE_ZENABLE, D3DZB_FALSE},
        {D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD}, {D3DRENDERSTATE_ZWRITEENABLE, TRUE},
        {D3DRENDERSTATE_ALPHATESTENABLE, FALSE},     {D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE},
        {D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO},   {D3DRENDERSTATE_CULLMODE, D3DCULL_CCW},
        {D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL},    {D3DRENDERSTATE_ALPHAREF, 0},
        {D3DRENDERSTATE_ALPHAFUNC, D3DCMP_ALWAYS},   {D3DRENDERSTATE_ALPHABLENDENABLE, FALSE},
        {D3DRENDERSTATE_COLORKEYENABLE, FALSE},      {D3DRENDERSTATE_LIGHTING, TRUE},
        {D3DRENDERSTATE_TEXTUREFACTOR, 0xFFFFFFFFu},
    };
    for (const Expect& e : kRender) EXPECT_EQ(st.renderStates[e.state], e.value) << "render state " << e.state;
    EXPECT_EQ(st.stageStates[0][D3DTSS_COLOROP], uint32_t(D3DTOP_MODULATE));
    EXPECT_EQ(st.stageStates[0][D3DTSS_ALPHAOP], uint32_t(D3DTOP_SELECTARG1));
    EXPECT_EQ(st.stageStates[1][D3DTSS_COLOROP], uint32_t(D3DTOP_DISABLE));
    EXPECT_EQ(st.stageStates[3][D3DTSS_TEXCOORDINDEX], 3u);
    EXPECT_EQ(st.stageStates[0][D3DTSS_COLORARG1], D3DTA_TEXTURE);
    EXPECT_EQ(st.stageStates[0][D3DTSS_COLORARG2], D3DTA_CURRENT);
    EXPECT_EQ(st.stageStates[5][D3DTSS_ADDRESSU], uint32_t(D3DTADDRESS_WRAP));
    EXPECT_EQ(st.stageStates[0][D3DTSS_MAGFILTER], uint32_t(D3DTFG_POINT));
    EXPECT_EQ(st.viewport.dwWidth, 20u);
    EXPECT_EQ(st.viewport.dwHeight, 10u);
    EXPECT_FALSE(st.inScene);
    dev->Release();
}

TEST(D3DDevice, RefusesWhatTheRasterizerDoesNotImplement) {
    Fixture f;
    IDirect3DDevice7* dev = f.Device(f.Surface(8, 8, kX8R8G8B8));
    struct Call {
        const char* name;
        HRESULT (*call)(IDirect3DDevice7*);
        HRESULT expected;
    };
    const Call kCalls[] = {
        {"DESTALPHA source", [](IDirect3DDevice7* d) { return d->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_DESTALPHA); }, DDERR_INVALIDPARAMS},
        {"INVSRCCOLOR destination", [](IDirect3DDevice7* d) { return d->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCCOLOR); }, DDERR_INVALIDPARAMS},
        {"INVDESTCOLOR source", [](IDirect3DDevice7* d) { return d->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_INVDESTCOLOR); }, D3D_OK},
        {"ALPHAFUNC 0", [](IDirect3DDevice7* d) { return d->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, 0); }, D3D_OK},
        {"render state 0", [](IDirect3DDevice7* d) { return d->SetRenderState(D3DRENDERSTATETYPE(0), 1); }, DDERR_INVALIDPARAMS},
        {"wrap addressing", [](IDirect3DDevice7* d) { return d->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_WRAP); }, DDERR_INVALIDPARAMS},
        {"clamp on U", [](IDirect3DDevice7* d) { return d->SetTextureStageState(2, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP); }, D3D_OK},
        {"ADDSIGNED", [](IDirect3DDevice7* d) { return d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTEXTUREOP(8)); }, DDERR_INVALIDPARAMS},
        {"SUBTRACT", [](IDirect3DDevice7* d) { return d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SUBTRACT); }, D3D_OK},
        {"complemented texture", [](IDirect3DDevice7* d) { return d->SetTextureStageState(0, D3DTSS_COLORARG1, 0x12); }, DDERR_INVALIDPARAMS},
        {"specular argument", [](IDirect3DDevice7* d) { return d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_SPECULAR); }, D3D_OK},
        {"stage 8", [](IDirect3DDevice7* d) { return d->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_DISABLE); }, DDERR_INVALIDPARAMS},
        {"texture on stage 8", [](IDirect3DDevice7* d) { return d->SetTexture(8, nullptr); }, DDERR_INVALIDPARAMS},
        {"empty viewport", [](IDirect3DDevice7* d) { D3DVIEWPORT7 v{0, 0, 0, 8, 0, 1}; return d->SetViewport(&v); }, DDERR_INVALIDPARAMS},
    };
    for (const Call& c : kCalls) {
        ptest::D3DDeviceState before, after;
        ptest::GetD3DDeviceState(dev, &before);
        EXPECT_EQ(c.call(dev), c.expected) << c.name;
        ptest::GetD3DDeviceState(dev, &after);
        if (c.expected != D3D_OK) {
            EXPECT_EQ(0, std::memcmp(&before, &after, sizeof before)) << c.name << " changed a state";
        }
    }
    ptest::FailCall("SetTextureStageState");
    EXPECT_EQ(dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1), DDERR_GENERIC);
    ptest::FailCall("SetViewport");
    D3DVIEWPORT7 v{1, 1, 4, 4, 0, 1};
    EXPECT_EQ(dev->SetViewport(&v), DDERR_GENERIC);
    // Stored only: transforms, lights, the material.
    D3DMATRIX m = {};
    D3DLIGHT7 light = {};
    D3DMATERIAL7 mat = {};
    EXPECT_EQ(dev->SetTransform(D3DTRANSFORMSTATE_WORLD, &m), D3D_OK);
    EXPECT_EQ(dev->SetLight(0, &light), D3D_OK);
    EXPECT_EQ(dev->LightEnable(0, TRUE), D3D_OK);
    EXPECT_EQ(dev->SetMaterial(&mat), D3D_OK);
    dev->Release();
}

// ---- scenes and drawing -----------------------------------------------------------------------
TEST(D3DDevice, ScenesAndDrawErrorsDrawNothing) {
    Fixture f;
    IDirectDrawSurface7* target = f.Surface(8, 8, kX8R8G8B8);
    IDirect3DDevice7* dev = f.Device(target);
    dev->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    d3dtest::VertexBuffer vb;
    vb.Quad(-0.5f, -0.5f, 7.5f, 7.5f, 0x00FF0000u);
    WORD indices[] = {0, 1, 2, 6};

    EXPECT_EQ(dev->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0x44, vb.bytes.data(), 6, 0), D3DERR_SCENE_NOT_IN_SCENE);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    EXPECT_EQ(dev->BeginScene(), D3DERR_SCENE_IN_SCENE);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0x142, vb.bytes.data(), 6, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLEFAN, 0x44, vb.bytes.data(), 6, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_POINTLIST, 0x44, vb.bytes.data(), 6, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0x44, vb.bytes.data(), 6, indices, 4, 0),
              DDERR_INVALIDPARAMS);  // index 6 of 6 vertices
    ptest::MarkAllSurfacesLost();
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0x44, vb.bytes.data(), 6, 0), DDERR_SURFACELOST);
    EXPECT_EQ(target->Restore(), DD_OK);
    EXPECT_EQ(dev->EndScene(), D3D_OK);
    for (uint32_t p : Pixels(target, 8, 8)) ASSERT_EQ(p, 0u);

    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    indices[3] = 5;
    EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0x44, vb.bytes.data(), 6, indices, 4, 0), D3D_OK);
    EXPECT_EQ(dev->EndScene(), D3D_OK);
    EXPECT_EQ(Get(target, 0, 0), 0x00FF0000u);
    dev->Release();
}

// The sprite example through the device: texel (i, j) on pixel (10 + i, 20 + j) only,
// clipped to the viewport; a new render target keeps the viewport.
TEST(D3DDevice, DrawsTheSpriteAndClipsToViewportAndTarget) {
    Fixture f;
    IDirectDrawSurface7* target = f.Surface(64, 64, kX8R8G8B8);
    IDirectDrawSurface7* tex = f.Texture(32, 32, kA8R8G8B8);
    Fill(tex, [](int i, int j) { return 0xFF000000u | uint32_t(i) << 16 | uint32_t(j) << 8 | 0x33u; });
    IDirect3DDevice7* dev = f.Device(target);
    SpriteStates(dev);
    ASSERT_EQ(dev->SetTexture(0, tex), D3D_OK);
    d3dtest::VertexBuffer vb(d3d::kFvfColorTex1);
    vb.Quad(9.5f, 19.5f, 41.5f, 51.5f, 0xFFFFFFFFu);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    ASSERT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0x144, vb.bytes.data(), vb.Count(), 0), D3D_OK);
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            bool inside = x >= 10 && x <= 41 && y >= 20 && y <= 51;
            uint32_t want = inside ? (uint32_t(x - 10) << 16 | uint32_t(y - 20) << 8 | 0x33u) : 0u;
            ASSERT_EQ(Get(target, x, y), want) << x << "," << y;
        }

    // A viewport partly outside a smaller target, kept across SetRenderTarget.
    D3DVIEWPORT7 v{12, 25, 100, 4, 0, 1};
    ASSERT_EQ(dev->SetViewport(&v), D3D_OK);
    IDirectDrawSurface7* small = f.Surface(30, 40, kR5G6B5);
    ASSERT_EQ(dev->SetRenderTarget(small, 0), D3D_OK);
    ptest::D3DDeviceState st;
    ptest::GetD3DDeviceState(dev, &st);
    EXPECT_EQ(st.viewport.dwX, 12u);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    ASSERT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0x144, vb.bytes.data(), vb.Count(), 0), D3D_OK);
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 30; ++x) {
            bool inside = x >= 12 && y >= 25 && y < 29;
            uint32_t texel = 0xFF000000u | uint32_t(x - 10) << 16 | uint32_t(y - 20) << 8 | 0x33u;
            uint32_t want = inside ? d3d::Narrow(d3d::PixelFormat::R5G6B5, texel) : 0u;
            ASSERT_EQ(Get(small, x, y), want) << x << "," << y;
        }
    dev->Release();
}

TEST(D3DDevice, LoadCopiesBetweenTexturesOfOneFormat) {
    Fixture f;
    IDirectDrawSurface7* src = f.Texture(8, 8, kA8R8G8B8);
    IDirectDrawSurface7* dst = f.Texture(16, 16, kA8R8G8B8);
    IDirectDrawSurface7* other = f.Texture(16, 16, kR5G6B5);
    Fill(src, [](int x, int y) { return uint32_t(x * 16 + y) | 0x80000000u; });
    IDirect3DDevice7* dev = f.Device(f.Surface(4, 4, kX8R8G8B8));
    RECT r{2, 3, 6, 5};
    POINT p{10, 1};
    ASSERT_EQ(dev->Load(dst, &p, src, &r, 0), D3D_OK);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            bool inside = x >= 10 && x < 14 && y >= 1 && y < 3;
            ASSERT_EQ(Get(dst, x, y), inside ? (uint32_t((x - 8) * 16 + (y + 2)) | 0x80000000u) : 0u) << x << "," << y;
        }
    EXPECT_EQ(dev->Load(other, &p, src, &r, 0), DDERR_INVALIDPIXELFORMAT);
    POINT far{13, 0};
    EXPECT_EQ(dev->Load(dst, &far, src, &r, 0), DDERR_INVALIDRECT);
    RECT outside{4, 4, 9, 6};
    EXPECT_EQ(dev->Load(dst, &p, src, &outside, 0), DDERR_INVALIDRECT);
    ptest::SetD3DLoadBusy(2);
    EXPECT_EQ(dev->Load(dst, nullptr, src, nullptr, 0), HRESULT(0x887601AE));
    EXPECT_EQ(dev->Load(dst, nullptr, src, nullptr, 0), DDERR_SURFACEBUSY);
    EXPECT_EQ(dev->Load(dst, nullptr, src, nullptr, 0), D3D_OK);
    EXPECT_EQ(Get(dst, 7, 7), uint32_t(7 * 16 + 7) | 0x80000000u);
    dev->Release();
}

TEST(D3DDevice, EndSceneOnThePrimaryPresents) {
    Fixture f;
    ASSERT_EQ(f.dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(f.dd->SetDisplayMode(640, 480, 32, 0, 0), DD_OK);
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface7* primary = nullptr;
    ASSERT_EQ(f.dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
    f.surfaces.push_back(primary);
    IDirect3DDevice7* dev = f.Device(primary);
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    d3dtest::VertexBuffer vb;
    vb.Quad(99.5f, 99.5f, 101.5f, 100.5f, 0x00ABCDEFu);
    uint64_t before = ptest::GetPresentedFrameCount();
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    ASSERT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0x44, vb.bytes.data(), 6, 0), D3D_OK);
    EXPECT_EQ(ptest::GetPresentedFrameCount(), before);  // drawing alone shows nothing yet
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    EXPECT_EQ(ptest::GetPresentedFrameCount(), before + 1);
    ptest::PresentedFrame frame = ptest::GetLastPresentedFrame();
    ASSERT_EQ(frame.width, 640);
    EXPECT_EQ(frame.pixels[100 * 640 + 100] & 0xFFFFFF, 0xABCDEFu);
    EXPECT_EQ(frame.pixels[100 * 640 + 102] & 0xFFFFFF, 0u);
    dev->Release();
}

TEST(D3DDevice, CallLogKeepsArgumentsResultsAndVertices) {
    Fixture f;
    IDirect3DDevice7* dev = f.Device(f.Surface(8, 8, kX8R8G8B8));
    ptest::RecordD3DCalls(true);
    dev->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_DESTALPHA);
    dev->BeginScene();
    d3dtest::VertexBuffer vb;
    vb.Quad(0, 0, 4, 4, 0xFF0000FFu);
    dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0x44, vb.bytes.data(), 6, 0);
    dev->EndScene();
    std::vector<ptest::D3DCall> calls = ptest::TakeD3DCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].method, "SetRenderState");
    EXPECT_EQ(calls[0].args, (std::vector<uint64_t>{D3DRENDERSTATE_SRCBLEND, D3DBLEND_DESTALPHA}));
    EXPECT_EQ(calls[0].result, DDERR_INVALIDPARAMS);
    EXPECT_EQ(calls[2].method, "DrawPrimitive");
    EXPECT_EQ(calls[2].args, (std::vector<uint64_t>{D3DPT_TRIANGLELIST, 0x44, 6, 0}));
    EXPECT_EQ(calls[2].vertices, vb.bytes);
    EXPECT_EQ(calls[3].method, "EndScene");
    dev->Release();
}

// A mixed scene (plain, stretched and rotated sprites, keyed, blended and additive ones,
// a filled box, an outline, a strip grid) gives the same bytes through the reference path
// and the fast paths.
std::vector<uint32_t> DrawMixedScene(bool generalPath) {
    Fixture f;
    ptest::ForceD3DGeneralPath(generalPath);
    IDirectDrawSurface7* target = f.Surface(96, 80, kX8R8G8B8);
    IDirectDrawSurface7* tex = f.Texture(16, 16, kA8R8G8B8);
    Fill(tex, [](int x, int y) {
        uint32_t a = (x + y) % 5 == 0 ? 0 : uint32_t(x * 16 + 15);
        return a << 24 | uint32_t(x * 13) << 16 | uint32_t(y * 17) << 8 | uint32_t((x ^ y) * 9);
    });
    Fill(target, [](int x, int y) { return uint32_t(x * 3 + y * 5) * 0x010203u & 0xFFFFFF; });
    DDCOLORKEY key{0x0000001Bu, 0x0000001Bu};
    tex->SetColorKey(DDCKEY_SRCBLT, &key);
    IDirect3DDevice7* dev = f.Device(target);
    SpriteStates(dev);
    dev->SetTexture(0, tex);
    dev->BeginScene();
    auto draw = [&](const d3dtest::VertexBuffer& vb, D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST) {
        EXPECT_EQ(dev->DrawPrimitive(type, vb.fvf, (void*)vb.bytes.data(), vb.Count(), 0), D3D_OK);
    };
    d3dtest::VertexBuffer plain(d3d::kFvfColorTex1), stretched(d3d::kFvfColorTex1), rotated(d3d::kFvfColorTex1);
    plain.Quad(3.5f, 4.5f, 19.5f, 20.5f, 0xFFFFFFFFu);
    stretched.Quad(20.5f, 2.5f, 52.5f, 50.5f, 0x80FFFFFFu);
    const float c = std::cos(0.5236f), s = std::sin(0.5236f);
    float corner[4][2];
    for (int k = 0; k < 4; ++k) {
        float qx = (k & 1) ? 8.f : -8.f, qy = (k & 2) ? 8.f : -8.f;
        corner[k][0] = qx * c - qy * s + 60.f;
        corner[k][1] = qx * s + qy * c + 40.f;
    }
    for (int k : {0, 1, 2, 3, 2, 1}) rotated.Add(corner[k][0], corner[k][1], 0xC0FFC0FFu, float(k & 1), float(k >> 1));
    draw(plain);
    dev->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, TRUE);
    draw(stretched);
    dev->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, FALSE);
    dev->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    dev->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
    dev->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
    dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    dev->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    draw(rotated);
    dev->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    dev->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    draw(stretched);
    dev->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, TRUE);
    dev->SetRenderState(D3DRENDERSTATE_ALPHAREF, 128);
    dev->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATER);
    dev->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
    draw(plain);
    // Untextured: a box and an outline.
    dev->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, FALSE);
    dev->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    dev->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
    dev->SetTexture(0, nullptr);
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    d3dtest::VertexBuffer box, outline;
    box.Quad(30, 60, 90, 75, 0x7F2080F0u);
    float L = 5, T = 50, R = 40, B = 78;
    for (auto [x, y] : {std::pair{L, T}, {R - 0.1f, T}, {R, T}, {R, B - 0.1f}, {L, B}, {R + 0.9f, B}, {L, T + 1}, {L, B - 0.1f}})
        outline.Add(x, y, 0xFFFFFF00u);
    draw(box);
    dev->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
    draw(outline, D3DPT_LINELIST);
    dev->EndScene();
    std::vector<uint32_t> out = Pixels(target, 96, 80);
    dev->Release();
    return out;
}

TEST(D3DDevice, MixedSceneGivesTheSameBytesWithFastPathsOnAndOff) {
    std::vector<uint32_t> general = DrawMixedScene(true);
    std::vector<uint32_t> fast = DrawMixedScene(false);
    ASSERT_EQ(general.size(), fast.size());
    for (size_t i = 0; i < general.size(); ++i)
        ASSERT_EQ(fast[i], general[i]) << "pixel " << i % 96 << "," << i / 96;
    size_t changed = 0;
    for (size_t i = 0; i < general.size(); ++i) changed += general[i] != (uint32_t(int(i % 96) * 3 + int(i / 96) * 5) * 0x010203u & 0xFFFFFF);
    EXPECT_GT(changed, 2000u);  // the scene drew
}

}  // namespace

}  // namespace d3d_device_test
