// Qz3DFixture.h: the library started headless in window mode at 640 x 480 x 32 with the
// Direct3D renderer on the platform's device, under the library lock for the whole test;
// texture graphics built by hand (the graphic table comes later), image fixtures, and
// the back screen's pixels.
#pragma once

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "LibraryFixture.h"
#include "Qz3DDevice.h"
#include "Qz3DScene.h"
#include "Qz3DSprite.h"
#include "Qz3DSystem.h"
#include "Qz3DTexture.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzDrawSurfaceData.h"
#include "QzGraphicsData.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsImage.h"
#include "QzWinMemory.h"

namespace d3dfix {

// A decoded 32-bit image: X8R8G8B8, or A8R8G8B8 with alpha.
struct Image {
    std::vector<uint32_t> pixels;
    GraphImage image = {};
    Image(int w, int h, bool alpha, const std::function<uint32_t(int, int)>& pixel) : pixels((size_t)w * h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                pixels[(size_t)y * w + x] = pixel(x, y);
        FillColorFormat(&image.colorFormat, 32, 0xFF0000, 0xFF00, 0xFF, alpha ? 0xFF000000u : 0);
        image.width = w;
        image.height = h;
        image.pitch = w * 4;
        image.pixels = pixels.data();
    }
};

// A texel pattern that differs in every pixel of a 256 x 256 area.
inline uint32_t Pattern(int x, int y) {
    return (uint32_t)((x * 7 + 1) & 0xFF) << 16 | (uint32_t)((y * 5 + 3) & 0xFF) << 8 | (uint32_t)((x + y) * 3 & 0xFF);
}

constexpr uint32_t kGuard = 0x00123456;  // what the back screen holds before a draw

class D3DTest : public LibraryTest {
protected:
    void Start(int windowMode = 1) {
        g_screen.width = 640;
        g_screen.height = 480;
        g_screen.colorBitDepth = 32;
        ApiChangeWindowMode(windowMode);
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        EnterLibraryLock();
        locked_ = true;
        ASSERT_NE(g_d3d.direct3D, nullptr);
        SelectDrawTarget(kDrawTargetBack);
        ResetDrawState();
    }
    void TearDown() override {
        if (locked_) {
            for (GraphData* g : graphs_) {
                G_D3D_DeleteGraphPieces(g);
                UnregisterGraphData(g->handle);
                FreeMemory(g);
            }
            graphs_.clear();
            LeaveLibraryLock();
        }
        LibraryTest::TearDown();
    }

    // Blend mode 0, no brightness change, no blend graphic, point filtering.
    static void ResetDrawState() {
        SetBlend(0, 255);
        g_drawState.brightColor = 0xFFFFFF;
        g_drawState.filterMode = 0;
        G_D3D_SetDrawFilterMode(0);
        G_D3D_UpdateDiffuseColor2();
    }
    static void SetBlend(int mode, int param) {
        g_drawState.blendMode = mode;
        g_drawState.blendParam = param;
        G_D3D_UpdateDiffuseColor(0, 0);
    }
    static void SetBright(uint32_t rgb) {
        g_drawState.brightColor = rgb;
        G_D3D_UpdateDiffuseColor2();
    }
    static void SetDrawArea(RECT area) {
        SetDrawAreaRect(area);
        G_D3D_SetClipViewport(&g_drawState.drawArea);
    }

    // A texture graphic with its empty pieces, in the graphic table.
    GraphData* TextureGraph(int w, int h, int alpha = 0, int transColorUse = 0, int drawValid = 0) {
        auto* g = (GraphData*)AllocZeroedMemory((int)sizeof(GraphData), "test", __LINE__);
        g->useTexture = 1;
        g->alphaChannel = (uint8_t)alpha;
        g->drawValid = (uint8_t)drawValid;
        g->transColorUse = (uint8_t)transColorUse;
        g->colorBitDepth = 32;
        g->movie = -1;
        g->width = w;
        g->height = h;
        RegisterGraphData(g);
        graphs_.push_back(g);
        EXPECT_EQ(G_D3D_BuildGraphPieces(g), 0) << w << "x" << h;
        return g;
    }
    // The same, filled from a pixel function (alpha: A8R8G8B8 values, else X8R8G8B8).
    GraphData* FilledGraph(int w, int h, const std::function<uint32_t(int, int)>& pixel, int alpha = 0,
                           int transColorUse = 0) {
        GraphData* g = TextureGraph(w, h, alpha, transColorUse);
        Image image(w, h, alpha != 0, pixel);
        EXPECT_EQ(G_D3D_UploadImageToGraph(nullptr, nullptr, nullptr, 0, 0, g, 0, &image.image, nullptr), 0);
        return g;
    }
    static Surface3DData* Piece(const GraphData* g, int i = 0) { return GetSurface3DData(g->pieces[i]); }
    static SurfaceData* Store(const GraphData* g, int i = 0) { return GetSurface3DStore(Piece(g, i)); }

    // ---- surfaces ----
    static std::vector<uint32_t> Read32(IDirectDrawSurface7* s, int* w = nullptr, int* h = nullptr) {
        DDSURFACEDESC2 d;
        std::memset(&d, 0, sizeof d);
        d.dwSize = sizeof d;
        std::vector<uint32_t> out;
        if (s->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK)
            return out;
        out.resize((size_t)d.dwWidth * d.dwHeight);
        for (DWORD y = 0; y < d.dwHeight; ++y)
            std::memcpy(&out[(size_t)y * d.dwWidth], (const uint8_t*)d.lpSurface + (size_t)y * d.lPitch, d.dwWidth * 4);
        s->Unlock(nullptr);
        if (w)
            *w = (int)d.dwWidth;
        if (h)
            *h = (int)d.dwHeight;
        return out;
    }
    static void Fill32(IDirectDrawSurface7* s, uint32_t value, const RECT* rect = nullptr) {
        DDBLTFX fx;
        std::memset(&fx, 0, sizeof fx);
        fx.dwSize = sizeof fx;
        fx.dwFillColor = value;
        s->Blt(const_cast<RECT*>(rect), nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    }
    // The back screen after everything queued has been drawn.
    static std::vector<uint32_t> Back() {
        G_D3D_EndScene();
        return Read32(GetBackSurface());
    }
    static uint32_t At(const std::vector<uint32_t>& screen, int x, int y) { return screen[(size_t)y * 640 + x]; }
    static void ClearBack(uint32_t value = kGuard) {
        G_D3D_EndScene();
        Fill32(GetBackSurface(), value);
    }
    // Pixels of the screen that differ from the guard colour, outside the rectangle.
    static int ChangedOutside(const std::vector<uint32_t>& screen, int left, int top, int right, int bottom) {
        int n = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                if ((x < left || x >= right || y < top || y >= bottom) && At(screen, x, y) != kGuard)
                    ++n;
        return n;
    }

    static D3DDeviceSlot* Slot() { return GetLiveD3DDeviceSlot(g_d3d.currentSlot); }
    static ptest::D3DDeviceState DeviceState() {
        ptest::D3DDeviceState state;
        EXPECT_TRUE(ptest::GetD3DDeviceState(G_D3D_GetCurrentDevice(), &state));
        return state;
    }
    // Device calls made by f.
    template <typename F>
    static std::vector<ptest::D3DCall> Calls(F f) {
        ptest::RecordD3DCalls(true);
        f();
        std::vector<ptest::D3DCall> calls = ptest::TakeD3DCalls();
        ptest::RecordD3DCalls(false);
        return calls;
    }
    static int CountCalls(const std::vector<ptest::D3DCall>& calls, const std::string& method) {
        int n = 0;
        for (const auto& c : calls)
            n += c.method == method;
        return n;
    }

    bool locked_ = false;
    std::vector<GraphData*> graphs_;
};

}  // namespace d3dfix
