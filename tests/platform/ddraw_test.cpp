// The DirectDraw layer: flip chains, blits, locks, loss, the emulated vertical blank,
// video memory, presenting and capture, and the GDI bitmaps over surfaces.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "PngRead.h"
#include "TempDir.h"
#include "present_support.h"
#include "platform/ddraw.h"
#include "platform/gdi.h"
#include "platform/testing.h"

namespace ddraw_test {

namespace {

struct Device {
    IDirectDraw7* dd = nullptr;
    explicit Device(DWORD cooperative = DDSCL_NORMAL, int width = 640, int height = 480, int bits = 32) {
        CoInitialize(nullptr);
        EXPECT_EQ(CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, (void**)&dd), S_OK);
        EXPECT_EQ(dd->Initialize(nullptr), DD_OK);
        EXPECT_EQ(dd->SetCooperativeLevel(nullptr, cooperative), DD_OK);
        if (cooperative & DDSCL_EXCLUSIVE) {
            EXPECT_EQ(dd->SetDisplayMode(width, height, bits, 0, 0), DD_OK);
        }
    }
    ~Device() {
        if (dd)
            dd->Release();
        CoUninitialize();
    }
    IDirectDrawSurface7* Surface(int width, int height, DWORD caps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY,
                                 const DDPIXELFORMAT* format = nullptr, HRESULT* result = nullptr) {
        DDSURFACEDESC2 desc = {};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | (format ? DDSD_PIXELFORMAT : 0);
        desc.dwWidth = width;
        desc.dwHeight = height;
        desc.ddsCaps.dwCaps = caps;
        if (format)
            desc.ddpfPixelFormat = *format;
        IDirectDrawSurface7* s = nullptr;
        HRESULT hr = dd->CreateSurface(&desc, &s, nullptr);
        if (result) {
            *result = hr;
        } else {
            EXPECT_EQ(hr, DD_OK);
        }
        return s;
    }
    IDirectDrawSurface7* Primary(DWORD extraCaps = 0, int backBuffers = 0) {
        DDSURFACEDESC2 desc = {};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | (backBuffers ? DDSD_BACKBUFFERCOUNT : 0);
        desc.dwBackBufferCount = backBuffers;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | extraCaps |
                              (backBuffers ? DDSCAPS_FLIP | DDSCAPS_COMPLEX : 0);
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DD_OK);
        return s;
    }
};

uint32_t Get(IDirectDrawSurface7* s, int x, int y) {
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), DD_OK);
    uint32_t v = 0;
    std::memcpy(&v, (uint8_t*)d.lpSurface + y * d.lPitch + x * (d.ddpfPixelFormat.dwRGBBitCount / 8),
                d.ddpfPixelFormat.dwRGBBitCount / 8);
    s->Unlock(nullptr);
    return v;
}

void Put(IDirectDrawSurface7* s, int x, int y, uint32_t v) {
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    std::memcpy((uint8_t*)d.lpSurface + y * d.lPitch + x * (d.ddpfPixelFormat.dwRGBBitCount / 8), &v,
                d.ddpfPixelFormat.dwRGBBitCount / 8);
    s->Unlock(nullptr);
}

void Fill(IDirectDrawSurface7* s, uint32_t value, RECT* rect = nullptr) {
    DDBLTFX fx = {};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = value;
    ASSERT_EQ(s->Blt(rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
}

// A fill with zero leaves every pixel zero, whatever wrote the surface before it: a
// surface nothing has written since it was made needs no fill, any other does. Fill
// values count only in the pixel's own bytes (0xFFFF0000 writes zero on 16 bits).
TEST(DirectDraw, AZeroFillLeavesZeroWhateverWroteBefore) {
    Device dev;
    DDPIXELFORMAT rgb565 = {sizeof(DDPIXELFORMAT), DDPF_RGB, 0, {16}, {0xF800}, {0x07E0}, {0x001F}, {0}};
    IDirectDrawSurface7* other = dev.Surface(16, 8);
    Fill(other, 0x00123456);
    using Writer = void (*)(IDirectDrawSurface7* s, IDirectDrawSurface7* other);
    const struct {
        const char* name;
        Writer write;
        bool bits16;
        uint32_t zero;
    } cases[] = {
        {"nothing", [](IDirectDrawSurface7*, IDirectDrawSurface7*) {}, false, 0},
        {"a lock", [](IDirectDrawSurface7* s, IDirectDrawSurface7*) { Put(s, 15, 7, 0x00FFFFFF); }, false, 0},
        {"a blit", [](IDirectDrawSurface7* s, IDirectDrawSurface7* o) {
             ASSERT_EQ(s->Blt(nullptr, o, nullptr, DDBLT_WAIT, nullptr), DD_OK);
         }, false, 0},
        {"a fast blit", [](IDirectDrawSurface7* s, IDirectDrawSurface7* o) {
             RECT part = {0, 0, 4, 4};
             ASSERT_EQ(s->BltFast(3, 2, o, &part, DDBLTFAST_WAIT), DD_OK);
         }, false, 0},
        {"a fill", [](IDirectDrawSurface7* s, IDirectDrawSurface7*) { Fill(s, 0x00000001); }, false, 0},
        {"a device context", [](IDirectDrawSurface7* s, IDirectDrawSurface7*) {
             HDC dc = nullptr;
             ASSERT_EQ(s->GetDC(&dc), DD_OK);
             s->ReleaseDC(dc);
             Put(s, 0, 0, 0x00010101);
         }, false, 0},
        {"16-bit, a lock", [](IDirectDrawSurface7* s, IDirectDrawSurface7*) { Put(s, 4, 4, 0xF81F); }, true, 0xFFFF0000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        IDirectDrawSurface7* s =
            dev.Surface(16, 8, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, c.bits16 ? &rgb565 : nullptr);
        ASSERT_NE(s, nullptr);
        c.write(s, other);
        Fill(s, c.zero);
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 16; x++) ASSERT_EQ(Get(s, x, y), 0u) << x << "," << y;
        // Once more after the check's own locks, which could have written as well.
        Put(s, 7, 3, 0x00ABCDEF & (c.bits16 ? 0xFFFF : 0xFFFFFFFF));
        Fill(s, c.zero);
        EXPECT_EQ(Get(s, 7, 3), 0u);
        s->Release();
    }
    other->Release();
}

TEST(DirectDraw, FlipChainRotatesMemoryAndKeepsIdentities) {
    Device dev(DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
    IDirectDrawSurface7* front = dev.Primary(0, 2);
    DDSCAPS2 backCaps = {DDSCAPS_BACKBUFFER, 0, 0, 0};
    IDirectDrawSurface7* back1 = nullptr;
    ASSERT_EQ(front->GetAttachedSurface(&backCaps, &back1), DD_OK);
    DDSCAPS2 flipCaps = {DDSCAPS_FLIP, 0, 0, 0};
    IDirectDrawSurface7* back2 = nullptr;
    ASSERT_EQ(back1->GetAttachedSurface(&flipCaps, &back2), DD_OK);
    EXPECT_NE(back2, front);
    EXPECT_EQ(ptest::GetSurfaceLabel(front), "primary");

    Put(front, 0, 0, 1);
    Put(back1, 0, 0, 2);
    Put(back2, 0, 0, 3);
    uint64_t frames = ptest::GetPresentedFrameCount();
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
    EXPECT_EQ(Get(front, 0, 0), 2u);
    EXPECT_EQ(Get(back1, 0, 0), 3u);
    EXPECT_EQ(Get(back2, 0, 0), 1u);
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
    EXPECT_EQ(Get(front, 0, 0), 3u);
    // Each flip presents the front buffer, whole.
    ptest::PresentedFrame frame = ptest::GetLastPresentedFrame();
    EXPECT_GE(ptest::GetPresentedFrameCount(), frames + 2);
    EXPECT_EQ(frame.width, 640);
    EXPECT_EQ(frame.height, 480);
    EXPECT_EQ(frame.pixels[0], 3u);

    // A locked member of the chain refuses the flip.
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    ASSERT_EQ(back2->Lock(nullptr, &d, 0, nullptr), DD_OK);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_NOVSYNC), DDERR_SURFACEBUSY);
    back2->Unlock(nullptr);
    back2->Release();
    back1->Release();
    front->Release();
}

TEST(DirectDraw, StretchedBltIsNearestAndRefusalsWriteNothing) {
    Device dev;
    IDirectDrawSurface7* src = dev.Surface(2, 2);
    IDirectDrawSurface7* dst = dev.Surface(8, 8);
    Put(src, 0, 0, 0x11);
    Put(src, 1, 0, 0x22);
    Put(src, 0, 1, 0x33);
    Put(src, 1, 1, 0x44);
    Fill(dst, 0x99);
    RECT to = {2, 2, 6, 6};
    ASSERT_EQ(dst->Blt(&to, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Get(dst, 2, 2), 0x11u);
    EXPECT_EQ(Get(dst, 3, 3), 0x11u);
    EXPECT_EQ(Get(dst, 4, 2), 0x22u);
    EXPECT_EQ(Get(dst, 5, 5), 0x44u);
    EXPECT_EQ(Get(dst, 6, 6), 0x99u);
    EXPECT_EQ(Get(dst, 1, 1), 0x99u);

    // Rectangles outside either surface and unequal formats are refused untouched.
    RECT outside = {6, 6, 10, 10};
    RECT srcOutside = {1, 1, 3, 3};
    EXPECT_EQ(dst->Blt(&outside, src, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(dst->Blt(&to, src, &srcOutside, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(dst->BltFast(7, 7, src, nullptr, 0), DDERR_INVALIDRECT);
    EXPECT_EQ(Get(dst, 7, 7), 0x99u);
    DDPIXELFORMAT rgb565 = {sizeof(DDPIXELFORMAT), DDPF_RGB, 0, {16}, {0xF800}, {0x07E0}, {0x001F}, {0}};
    IDirectDrawSurface7* other = dev.Surface(2, 2, DDSCAPS_OFFSCREENPLAIN, &rgb565);
    EXPECT_EQ(dst->Blt(&to, other, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPIXELFORMAT);
    EXPECT_EQ(dst->BltFast(0, 0, other, nullptr, 0), DDERR_INVALIDPIXELFORMAT);
    EXPECT_EQ(Get(dst, 2, 2), 0x11u);

    // Blitting a locked surface is refused too.
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    RECT corner = {0, 0, 1, 1};
    ASSERT_EQ(src->Lock(&corner, &d, 0, nullptr), DD_OK);
    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, 0), DDERR_SURFACEBUSY);
    src->Unlock(&corner);
    other->Release();
    dst->Release();
    src->Release();
}

TEST(DirectDraw, BltFastSkipsTheSourceKeyRange) {
    Device dev;
    IDirectDrawSurface7* src = dev.Surface(3, 1);
    IDirectDrawSurface7* dst = dev.Surface(3, 1);
    Put(src, 0, 0, 0x10);
    Put(src, 1, 0, 0x20);
    Put(src, 2, 0, 0x30);
    Fill(dst, 0x77);
    DDCOLORKEY key = {0x18, 0x28};
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    ASSERT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(Get(dst, 0, 0), 0x10u);
    EXPECT_EQ(Get(dst, 1, 0), 0x77u);
    EXPECT_EQ(Get(dst, 2, 0), 0x30u);
    ASSERT_EQ(dst->BltFast(0, 0, src, nullptr, 0), DD_OK);  // no key flag: everything
    EXPECT_EQ(Get(dst, 1, 0), 0x20u);
    dst->Release();
    src->Release();
}

TEST(DirectDraw, LockRulesAndErrors) {
    Device dev;
    IDirectDrawSurface7* s = dev.Surface(10, 8);
    DDSURFACEDESC2 whole = {}, part = {}, other = {};
    whole.dwSize = part.dwSize = other.dwSize = sizeof(DDSURFACEDESC2);
    RECT a = {2, 3, 5, 6};
    ASSERT_EQ(s->Lock(&a, &part, DDLOCK_WAIT, nullptr), DD_OK);
    ASSERT_EQ(s->Lock(nullptr, &whole, 0, nullptr), DDERR_SURFACEBUSY);
    // The pointer is at the rectangle's corner; the pitch is the whole surface's, padded
    // past its bytes.
    RECT b = {6, 0, 10, 2};
    ASSERT_EQ(s->Lock(&b, &other, 0, nullptr), DD_OK);
    EXPECT_GT(part.lPitch, 10 * 4);
    EXPECT_EQ((uint8_t*)other.lpSurface - (uint8_t*)part.lpSurface, (6 - 2) * 4 - 3 * part.lPitch);
    EXPECT_EQ(ptest::GetLockedSurfaceCount(), 1);
    EXPECT_EQ(s->Unlock(&b), DD_OK);
    EXPECT_EQ(s->Unlock(&a), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
    EXPECT_EQ(ptest::GetLockedSurfaceCount(), 0);
    RECT outside[] = {{-1, 0, 2, 2}, {0, 0, 11, 2}, {0, 7, 2, 9}, {3, 3, 3, 5}};
    for (RECT& r : outside) {
        EXPECT_EQ(s->Lock(&r, &whole, 0, nullptr), DDERR_INVALIDRECT);
    }
    EXPECT_EQ(s->PageLock(0), DD_OK);
    s->Release();
}

TEST(DirectDraw, RelocateOnLockMovesThePixels) {
    ptest::SetRelocateOnLock(true);
    Device dev;
    IDirectDrawSurface7* s = dev.Surface(4, 4);
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    ASSERT_EQ(s->Lock(nullptr, &d, 0, nullptr), DD_OK);
    *(uint32_t*)d.lpSurface = 0xABCDEF;
    void* first = d.lpSurface;
    s->Unlock(nullptr);
    ASSERT_EQ(s->Lock(nullptr, &d, 0, nullptr), DD_OK);
    EXPECT_NE(d.lpSurface, first);
    EXPECT_EQ(*(uint32_t*)d.lpSurface, 0xABCDEFu);
    s->Unlock(nullptr);
    s->Release();
    ptest::SetRelocateOnLock(false);
}

TEST(DirectDraw, LostSurfacesRefuseUntilRestored) {
    Device dev;
    IDirectDrawSurface7* video = dev.Surface(4, 4, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY);
    IDirectDrawSurface7* system = dev.Surface(4, 4);
    Fill(video, 0x55);
    ptest::MarkVideoSurfacesLost();
    EXPECT_EQ(video->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(system->IsLost(), DD_OK);
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    EXPECT_EQ(video->Lock(nullptr, &d, 0, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(system->BltFast(0, 0, video, nullptr, 0), DDERR_SURFACELOST);
    HDC dc = nullptr;
    EXPECT_EQ(video->GetDC(&dc), DDERR_SURFACELOST);
    EXPECT_EQ(video->Restore(), DD_OK);
    EXPECT_EQ(video->IsLost(), DD_OK);
    EXPECT_EQ(Get(video, 1, 1), 0u);  // restored pixels are zero
    ptest::MarkSurfaceLost(system);
    EXPECT_EQ(system->IsLost(), DDERR_SURFACELOST);
    system->Release();
    video->Release();
}

TEST(DirectDraw, VideoMemoryBudgetAndPlacement) {
    ptest::SetVideoMemoryBudget(64 * 64 * 4 + 100);
    Device dev;
    DWORD total = 0, free = 0;
    DDSCAPS2 caps = {DDSCAPS_VIDEOMEMORY, 0, 0, 0};
    ASSERT_EQ(dev.dd->GetAvailableVidMem(&caps, &total, &free), DD_OK);
    EXPECT_EQ(total, 64u * 64 * 4 + 100);
    IDirectDrawSurface7* first = dev.Surface(64, 64, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY);
    dev.dd->GetAvailableVidMem(&caps, &total, &free);
    EXPECT_EQ(free, 100u);
    HRESULT hr;
    dev.Surface(8, 8, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, nullptr, &hr);
    EXPECT_EQ(hr, DDERR_OUTOFVIDEOMEMORY);
    IDirectDrawSurface7* fallback = dev.Surface(8, 8, DDSCAPS_OFFSCREENPLAIN);
    DDSCAPS2 got = {};
    fallback->GetCaps(&got);
    EXPECT_TRUE(got.dwCaps & DDSCAPS_SYSTEMMEMORY);
    first->GetCaps(&got);
    EXPECT_TRUE(got.dwCaps & DDSCAPS_VIDEOMEMORY);
    first->Release();
    dev.dd->GetAvailableVidMem(&caps, &total, &free);
    EXPECT_EQ(free, total);
    // Sizes run from 1 to 16384.
    dev.Surface(0, 8, DDSCAPS_OFFSCREENPLAIN, nullptr, &hr);
    EXPECT_EQ(hr, DDERR_INVALIDPARAMS);
    dev.Surface(16385, 1, DDSCAPS_OFFSCREENPLAIN, nullptr, &hr);
    EXPECT_EQ(hr, DDERR_INVALIDPARAMS);
    fallback->Release();
}

TEST(DirectDraw, OverlaysOnlyInTheAllowedFormat) {
    Device dev;
    DDPIXELFORMAT uyvy = {sizeof(DDPIXELFORMAT), DDPF_FOURCC, MAKEFOURCC('U', 'Y', 'V', 'Y'), {0}, {0}, {0}, {0}, {0}};
    DDPIXELFORMAT yuy2 = uyvy;
    yuy2.dwFourCC = MAKEFOURCC('Y', 'U', 'Y', '2');
    HRESULT hr;
    dev.Surface(16, 16, DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY, &yuy2, &hr);
    EXPECT_EQ(hr, DDERR_NOOVERLAYHW);
    ptest::AllowOverlayFormat("YUY2");
    dev.Surface(16, 16, DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY, &uyvy, &hr);
    EXPECT_EQ(hr, DDERR_NOOVERLAYHW);
    IDirectDrawSurface7* overlay = dev.Surface(16, 16, DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY, &yuy2, &hr);
    EXPECT_EQ(hr, DD_OK);
    overlay->Release();
    ptest::AllowOverlayFormat("");
}

TEST(DirectDraw, ReleasedObjectLeavesDeadChildren) {
    Device dev;
    IDirectDrawSurface7* s = dev.Surface(4, 4);
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(dev.dd->CreateClipper(0, &clipper, nullptr), DD_OK);
    dev.dd->Release();
    dev.dd = nullptr;
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    EXPECT_EQ(s->Lock(nullptr, &d, 0, nullptr), DDERR_INVALIDOBJECT);
    EXPECT_EQ(s->IsLost(), DDERR_INVALIDOBJECT);
    EXPECT_EQ(clipper->SetHWnd(0, nullptr), DDERR_INVALIDOBJECT);
    s->Release();
    clipper->Release();
}

TEST(DirectDraw, ModesAndDisplayFormats) {
    Device dev(DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
    EXPECT_EQ(dev.dd->SetDisplayMode(640, 480, 32, 75, 0), DDERR_INVALIDMODE);
    EXPECT_EQ(dev.dd->SetDisplayMode(640, 480, 24, 0, 0), DDERR_INVALIDMODE);
    ptest::RefuseDisplayMode(800, 600, 16, 60);
    EXPECT_EQ(dev.dd->SetDisplayMode(800, 600, 16, 60, 0), DDERR_INVALIDMODE);
    EXPECT_EQ(dev.dd->SetDisplayMode(800, 600, 16, 0, 0), DD_OK);
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    ASSERT_EQ(dev.dd->GetDisplayMode(&d), DD_OK);
    EXPECT_EQ(d.dwWidth, 800u);
    EXPECT_EQ(d.ddpfPixelFormat.dwRBitMask, 0xF800u);
    ptest::SetDisplay16Format(ptest::Display16::X1R5G5B5);
    dev.dd->GetDisplayMode(&d);
    EXPECT_EQ(d.ddpfPixelFormat.dwRBitMask, 0x7C00u);
    ASSERT_EQ(dev.dd->SetDisplayMode(640, 480, 8, 60, 0), DD_OK);
    dev.dd->GetDisplayMode(&d);
    EXPECT_TRUE(d.ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8);
    ASSERT_EQ(dev.dd->RestoreDisplayMode(), DD_OK);
    dev.dd->GetDisplayMode(&d);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 32u);
    EXPECT_EQ(d.dwWidth, 1920u);  // the null desktop
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES), 32);
    ReleaseDC(nullptr, screen);

    DDDEVICEIDENTIFIER2 id;
    std::memset(&id, 0xEE, sizeof id);
    ASSERT_EQ(dev.dd->GetDeviceIdentifier(&id, 0), DD_OK);
    EXPECT_LT(std::strlen(id.szDriver), sizeof id.szDriver);
    EXPECT_LT(std::strlen(id.szDescription), sizeof id.szDescription);

    IDirectDraw* older = nullptr;
    ASSERT_EQ(dev.dd->QueryInterface(IID_IDirectDraw, (void**)&older), S_OK);
    DDCAPS caps = {};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(older->GetCaps(&caps, nullptr), DD_OK);
    EXPECT_EQ(caps.dwMinOverlayStretch, 0u);
    EXPECT_EQ(caps.dwMaxOverlayStretch, 0u);
    older->Release();
}

TEST(DirectDraw, VerticalBlankPhasesUnderTheFastClock) {
    ptest::SetClockMode(ptest::ClockMode::Fast);
    ptest::SetFastClockMicroseconds(1000000);  // a whole second: line 0 of a frame
    Device dev(DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
    ptest::SetFastClockMicroseconds(1000000);
    BOOL blank = TRUE;
    ASSERT_EQ(dev.dd->GetVerticalBlankStatus(&blank), DD_OK);
    EXPECT_FALSE(blank);
    EXPECT_EQ(ptest::GetFastClockMicroseconds(), 1000100u);  // a poll costs 100 us
    DWORD line = 0;
    EXPECT_EQ(dev.dd->GetScanLine(&line), DD_OK);
    EXPECT_EQ(line, 3u);  // 100 us = 3.15 lines

    // The wait jumps to the next blank start: line 480, 480/31500 s into the frame.
    ASSERT_EQ(dev.dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
    EXPECT_EQ(ptest::GetFastClockMicroseconds(), 1015239u);
    ASSERT_EQ(dev.dd->GetVerticalBlankStatus(&blank), DD_OK);
    EXPECT_TRUE(blank);
    EXPECT_EQ(dev.dd->GetScanLine(&line), DDERR_VERTICALBLANKINPROGRESS);
    EXPECT_GE(line, 480u);
    // A wait inside a blank takes the next frame's; never longer than one frame.
    uint64_t before = ptest::GetFastClockMicroseconds();
    ASSERT_EQ(dev.dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
    uint64_t waited = ptest::GetFastClockMicroseconds() - before;
    EXPECT_GT(waited, 15000u);
    EXPECT_LE(waited, 16667u);

    ptest::SetNoScanLine(true);
    EXPECT_EQ(dev.dd->GetScanLine(&line), DDERR_UNSUPPORTED);
    ptest::SetNoVerticalBlank(true);
    EXPECT_EQ(dev.dd->GetVerticalBlankStatus(&blank), DDERR_UNSUPPORTED);
    EXPECT_EQ(dev.dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DDERR_UNSUPPORTED);
}

TEST(DirectDraw, FlipWaitsForTheBlankAfterThePreviousFlip) {
    ptest::SetClockMode(ptest::ClockMode::Fast);
    Device dev(DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
    IDirectDrawSurface7* front = dev.Primary(0, 1);
    ptest::SetFastClockMicroseconds(2000000);
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    uint64_t first = ptest::GetFastClockMicroseconds();
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(ptest::GetFastClockMicroseconds(), 2015239u);  // the first blank after the first flip
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
    EXPECT_EQ(ptest::GetFastClockMicroseconds(), 2015239u);  // no wait
    (void)first;
    front->Release();
}

TEST(DirectDraw, WindowModeClipsToTheClientAreaAndPresentsIt) {
    qztest::TempDir dir;
    ptest::SetWindowLockFolder(dir.path());
    HWND window = presenttest::MakePopupWindow("DDrawClipTest", 100, 50, 64, 48);
    ASSERT_NE(window, nullptr);
    {
        Device dev;
        ASSERT_EQ(dev.dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
        IDirectDrawSurface7* primary = dev.Primary();
        DDSURFACEDESC2 desc = {};
        desc.dwSize = sizeof desc;
        primary->GetSurfaceDesc(&desc);
        EXPECT_EQ(desc.dwWidth, 1920u);  // the primary covers the desktop
        IDirectDrawClipper* clipper = nullptr;
        ASSERT_EQ(dev.dd->CreateClipper(0, &clipper, nullptr), DD_OK);
        ASSERT_EQ(clipper->SetHWnd(0, window), DD_OK);
        ASSERT_EQ(primary->SetClipper(clipper), DD_OK);
        IDirectDrawSurface7* src = dev.Surface(2, 2);
        Fill(src, 0x00FF0000);
        Put(src, 1, 1, 0x000000FF);
        // Stretched 2x2 -> 80x60 from (90, 40): only the client area (100, 50)-(164, 98) is written.
        RECT to = {90, 40, 170, 100};
        ASSERT_EQ(primary->Blt(&to, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
        EXPECT_EQ(Get(primary, 99, 60) & 0xFFFFFF, 0u);
        EXPECT_EQ(Get(primary, 100, 50) & 0xFFFFFF, 0xFF0000u);
        EXPECT_EQ(Get(primary, 163, 97) & 0xFFFFFF, 0x0000FFu);
        EXPECT_EQ(Get(primary, 164, 97) & 0xFFFFFF, 0u);
        ptest::PresentedFrame frame = ptest::GetLastPresentedFrame();
        ASSERT_EQ(frame.width, 64);
        ASSERT_EQ(frame.height, 48);
        EXPECT_EQ(frame.pixels[0], 0xFF0000u);
        EXPECT_EQ(frame.pixels[47 * 64 + 63], 0x0000FFu);
        src->Release();
        primary->Release();
        clipper->Release();
    }
    DestroyWindow(window);
}

// A primary of each depth, written and presented, read back from the captured PNG.
struct CaptureCase {
    int bits;
    uint32_t pixel;     // raw value written at (5, 6)
    uint32_t expected;  // RGB in the PNG
};

TEST(DirectDraw, CapturedFramesReadBackForEachDepth) {
    const CaptureCase cases[] = {{32, 0x00123456, 0x123456}, {16, 0xF800, 0xFF0000}, {8, 7, 0x0A141E}};
    qztest::TempDir dir;
    ptest::SetCaptureFolder(dir.path());
    int index = 0;
    for (const CaptureCase& c : cases) {
        SCOPED_TRACE(c.bits);
        Device dev(DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN, 320, 240, c.bits);
        IDirectDrawSurface7* primary = dev.Primary();
        IDirectDrawPalette* palette = nullptr;
        if (c.bits == 8) {
            PALETTEENTRY entries[256] = {};
            entries[7] = PALETTEENTRY{10, 20, 30, 0};
            ASSERT_EQ(dev.dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
            primary->SetPalette(palette);
        }
        Put(primary, 5, 6, c.pixel);  // a writable unlock presents
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06d.png", index++);
        int w = 0, h = 0;
        std::vector<uint32_t> png = qztest::ReadPngRgb(dir.file(name), &w, &h);
        ASSERT_EQ(w, 320);
        ASSERT_EQ(h, 240);
        EXPECT_EQ(png[6 * 320 + 5], c.expected);
        EXPECT_EQ(png[0], 0u);
        if (palette)
            palette->Release();
        primary->Release();
    }
    ptest::SetCaptureFolder("");
}

// Screenshots are taken right after the presents they name, numbered as the capture
// numbers its files; a malformed entry is skipped and the others still work.
TEST(DirectDraw, ScreenshotsFollowTheirPresents) {
    qztest::TempDir dir;
    ptest::SetCaptureFolder(dir.path());
    ptest::SetScreenshots("1:" + dir.file("b.png") + ",x:" + dir.file("bad.png") + ",3:" + dir.file("d.png") +
                          ",2:,3:" + dir.file("d2.png"));
    {
        Device dev(DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN, 320, 240, 32);
        IDirectDrawSurface7* primary = dev.Primary();
        const uint32_t colours[4] = {0x00112233, 0x00445566, 0x00778899, 0x00AABBCC};
        for (uint32_t c : colours) Put(primary, 5, 6, c);  // each writable unlock presents once
        primary->Release();
    }
    ptest::SetScreenshots("");
    ptest::SetCaptureFolder("");
    const presenttest::ShotCase cases[] = {{"b.png", "frame-000001.png", 0x445566},
                                           {"d.png", "frame-000003.png", 0xAABBCC},
                                           {"d2.png", "frame-000003.png", 0xAABBCC}};
    for (const presenttest::ShotCase& c : cases) presenttest::ExpectShotMatchesFrame(dir, c, 320, 240, 5, 6);
    EXPECT_TRUE(qztest::ReadWholeFile(dir.file("bad.png")).empty());
    EXPECT_TRUE(qztest::ReadWholeFile(dir.file("frame-000004.png")).empty());
}

TEST(DirectDraw, DeviceContextsAndBitBlt) {
    Device dev;
    IDirectDrawSurface7* s = dev.Surface(8, 8);
    Put(s, 2, 3, 0x00ABCDEF);
    HDC surfaceDc = nullptr;
    ASSERT_EQ(s->GetDC(&surfaceDc), DD_OK);
    EXPECT_EQ(ptest::GetLockedSurfaceCount(), 1);  // held like a lock
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    EXPECT_EQ(s->Lock(nullptr, &d, 0, nullptr), DDERR_SURFACEBUSY);

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 5;
    info.bmiHeader.biHeight = -4;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, dib);
    EXPECT_TRUE(BitBlt(memory, 0, 0, 5, 4, surfaceDc, 1, 2, SRCCOPY));
    EXPECT_EQ(((uint32_t*)bits)[1 * 5 + 1], 0x00ABCDEFu);
    EXPECT_FALSE(BitBlt(memory, 0, 0, 5, 4, surfaceDc, 1, 2, 0x00EE0086));  // only SRCCOPY

    // A 24-bit section is another format: refused. Its rows are rounded up to 4 bytes.
    info.bmiHeader.biBitCount = 24;
    HBITMAP dib24 = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    BITMAP bm = {};
    ASSERT_EQ(GetObjectA(dib24, sizeof bm, &bm), (int)sizeof bm);
    EXPECT_EQ(bm.bmWidthBytes, 16);
    SelectObject(memory, dib24);
    EXPECT_FALSE(BitBlt(memory, 0, 0, 5, 4, surfaceDc, 0, 0, SRCCOPY));
    SelectObject(memory, old);
    EXPECT_TRUE(GdiFlush());
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_TRUE(DeleteObject(dib));
    EXPECT_TRUE(DeleteObject(dib24));
    ASSERT_EQ(s->ReleaseDC(surfaceDc), DD_OK);
    EXPECT_EQ(ptest::GetLockedSurfaceCount(), 0);
    s->Release();
}

TEST(DirectDraw, JournalRecordsCallsInOrder) {
    Device dev;
    IDirectDrawSurface7* s = dev.Surface(4, 4);
    ptest::RecordGraphicsCalls(true);
    Fill(s, 1);
    s->BltFast(0, 0, s, nullptr, 0);
    Sleep(3);
    std::vector<ptest::GraphicsCall> calls = ptest::TakeGraphicsCalls();
    ptest::RecordGraphicsCalls(false);
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].method, "Blt");
    EXPECT_EQ(calls[0].flags, DDBLT_COLORFILL | DDBLT_WAIT);
    EXPECT_EQ(calls[0].object, ptest::GetSurfaceLabel(s));
    EXPECT_EQ(calls[1].method, "BltFast");
    if (calls.size() >= 3) {
        EXPECT_EQ(calls[2].method, "Sleep");
        EXPECT_EQ(calls[2].flags, 3u);
    }
    s->Release();
}

TEST(DirectDraw, FaultPointsFailTheirCalls) {
    CoInitialize(nullptr);
    IDirectDraw7* dd = nullptr;
    ptest::FailCall("CreateDirectDraw");
    EXPECT_EQ(CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, (void**)&dd), E_FAIL);
    ASSERT_EQ(CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, (void**)&dd), S_OK);
    ptest::FailCall("DirectDrawInitialize");
    EXPECT_EQ(dd->Initialize(nullptr), DDERR_GENERIC);
    EXPECT_EQ(dd->Initialize(nullptr), DD_OK);
    ptest::FailCooperativeLevel(DDERR_HWNDALREADYSET);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_HWNDALREADYSET);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);  // the level was recorded
    IDirectDrawClipper* clipper = nullptr;
    ptest::FailCall("CreateClipper");
    EXPECT_EQ(dd->CreateClipper(0, &clipper, nullptr), DDERR_GENERIC);
    dd->Release();
    CoUninitialize();
}

}  // namespace

}  // namespace ddraw_test
