// GraphFixture.h: a started library (headless, window mode, locked for the test's calls)
// for tests of graphics, and reading a graphic's pixels back through its pieces' pixel
// stores, whichever path (texture pieces or a 2D piece) it took.
#pragma once

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ImageWriters.h"
#include "LibraryFixture.h"
#include "Qz3DTexture.h"
#include "QzDraw2D.h"
#include "QzDrawSurfaceData.h"
#include "QzGraphicsData.h"
#include "QzGraphicsLoad.h"
#include "Qz3DScene.h"
#include "QzDrawScreen.h"

class GraphTest : public LibraryTest {
protected:
    void Start(int windowMode = 1) {
        ApiChangeWindowMode(windowMode);
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        EnterLibraryLock();
        locked_ = true;
    }
    void TearDown() override {
        if (locked_) LeaveLibraryLock();
        LibraryTest::TearDown();
    }

    // The colour (0xRRGGBB, channels widened to 8 bits by their top bits) of pixel (x, y)
    // of a graphic, or 0xFF000000 when no piece holds it or its store cannot be locked.
    static uint32_t GraphPixel(int handle, int x, int y) {
        GraphData* g = GetGraphData(handle);
        if (g == nullptr) return 0xFF000000u;
        for (int i = 0; i < g->pieceCount; ++i) {
            int store, sx, sy;
            if (g->useTexture) {
                Surface3DData* p = GetSurface3DData(g->pieces[i]);
                if (p == nullptr || x < p->x || y < p->y || x >= p->x + p->width || y >= p->y + p->height) continue;
                store = p->surfaceData, sx = p->textureX + x - p->x, sy = p->textureY + y - p->y;
            } else {
                Surface2D* p = GetSurface2D(g->pieces[i]);
                if (p == nullptr || x < p->xInGraphic || y < p->yInGraphic || x >= p->xInGraphic + p->width ||
                    y >= p->yInGraphic + p->height)
                    continue;
                store = p->store, sx = p->xInStore + x - p->xInGraphic, sy = p->yInStore + y - p->yInGraphic;
            }
            int pitch = 0;
            void* bits = nullptr;
            const ColorFormat* f = nullptr;
            if (LockSurfaceData(store, &pitch, &bits, 0, nullptr, &f) < 0 || f == nullptr) return 0xFF000000u;
            uint32_t v = 0;
            std::memcpy(&v, (const uint8_t*)bits + sy * pitch + sx * f->pixelBytes, f->pixelBytes);
            UnlockSurfaceData(store, nullptr);
            auto channel = [&](uint32_t mask, int shift, int width) -> uint32_t {
                if (width == 0) return 0;
                uint32_t c = (v & mask) >> shift;
                return width >= 8 ? c >> (width - 8) : c << (8 - width);
            };
            return channel(f->redMask, f->redShift, f->redWidth) << 16 |
                   channel(f->greenMask, f->greenShift, f->greenWidth) << 8 |
                   channel(f->blueMask, f->blueShift, f->blueWidth);
        }
        return 0xFF000000u;
    }

    // The back screen's pixels (0xRRGGBB; the screen is X8R8G8B8), after the pending
    // Direct3D scene has ended.
    static std::vector<uint32_t> BackScreen() {
        G_D3D_EndScene();
        std::vector<uint32_t> out;
        DDSURFACEDESC2 d;
        std::memset(&d, 0, sizeof d);
        d.dwSize = sizeof d;
        IDirectDrawSurface7* back = GetBackSurface();
        if (back == nullptr || back->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return out;
        out.resize((size_t)d.dwWidth * d.dwHeight);
        for (DWORD y = 0; y < d.dwHeight; ++y)
            for (DWORD x = 0; x < d.dwWidth; ++x)
                out[(size_t)y * d.dwWidth + x] =
                    *(const uint32_t*)((const uint8_t*)d.lpSurface + (size_t)y * d.lPitch + x * 4) & 0xFFFFFF;
        back->Unlock(nullptr);
        return out;
    }
    static uint32_t At(const std::vector<uint32_t>& screen, int x, int y) {
        return screen.empty() ? 0xFF000000u : screen[(size_t)y * 640 + x];
    }

    // A 24-bit BMP, pixels 0xRRGGBB top row first.
    static std::string Bmp(int width, int height, const std::vector<uint32_t>& pixels) {
        qztest::BmpSpec s;
        s.width = width;
        s.height = height;
        s.bits = 24;
        s.pixels = pixels;
        return qztest::WriteBmp(s);
    }
    // A graphic from a pixel function (0xRRGGBB), on the texture path or the 2D path.
    static int Graph(int width, int height, const std::function<uint32_t(int, int)>& pixel, int wantsTexture = 1) {
        std::vector<uint32_t> pixels;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) pixels.push_back(pixel(x, y));
        const std::string bmp = Bmp(width, height, pixels);
        GraphImage image = {};
        if (DecodeGraphImageRaw(nullptr, bmp.data(), (int)bmp.size(), 1, &image, 0) != 0) return -1;
        const int handle = BuildGraphFromGraphImage(&image, nullptr, wantsTexture, 0, 0);
        FreeGraphImage(&image);
        return handle;
    }
    // A sheet with no black: every pixel's colour tells its place.
    static uint32_t SheetColor(int x, int y) { return (uint32_t)(0x40 + x) << 16 | (uint32_t)(0x40 + y) << 8 | 0x80; }
    static std::string Sheet(int width, int height) {
        std::vector<uint32_t> pixels;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) pixels.push_back(SheetColor(x, y));
        return Bmp(width, height, pixels);
    }

    bool locked_ = false;
};
