// DirectDraw's fast paths against its general code, bit for bit: colour and depth fills,
// plain, keyed and stretched copies (Blt and BltFast, clipped by a clipper window or not,
// a surface onto itself), and presents of each primary format, in window mode (the
// window partly off the desktop) and in full screen. Each case runs once with the general
// path forced and once without, on identical random pixels; a CRC of every output is
// pinned so that a change of either path shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "TempDir.h"
#include "present_support.h"
#include "platform/ddraw.h"
#include "platform/testing.h"

namespace ddraw_fast_test {

namespace {

uint32_t Crc32(uint32_t crc, const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// Cheap random bytes for large surfaces.
struct Bytes {
    uint64_t state;
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<uint32_t>(state >> 16);
    }
};

struct Format {
    const char* name;
    int bits;
    DWORD r, g, b, a;
};
const Format kFormats[] = {
    {"R5G6B5", 16, 0xF800, 0x07E0, 0x001F, 0},
    {"X1R5G5B5", 16, 0x7C00, 0x03E0, 0x001F, 0},
    {"A1R5G5B5", 16, 0x7C00, 0x03E0, 0x001F, 0x8000},
    {"X8R8G8B8", 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {"A8R8G8B8", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u},
};

DDPIXELFORMAT PixelFormatOf(const Format& f) {
    DDPIXELFORMAT p = {};
    p.dwSize = sizeof p;
    p.dwFlags = DDPF_RGB | (f.a ? DDPF_ALPHAPIXELS : 0);
    p.dwRGBBitCount = f.bits;
    p.dwRBitMask = f.r;
    p.dwGBitMask = f.g;
    p.dwBBitMask = f.b;
    p.dwRGBAlphaBitMask = f.a;
    return p;
}

struct DirectDraw {
    IDirectDraw7* dd = nullptr;
    DirectDraw() {
        CoInitialize(nullptr);
        EXPECT_EQ(CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, (void**)&dd), S_OK);
        EXPECT_EQ(dd->Initialize(nullptr), DD_OK);
    }
    ~DirectDraw() {
        dd->Release();
        CoUninitialize();
    }
    IDirectDrawSurface7* Surface(int width, int height, const Format& f) {
        DDSURFACEDESC2 desc = {};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = width;
        desc.dwHeight = height;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        desc.ddpfPixelFormat = PixelFormatOf(f);
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DD_OK);
        return s;
    }
};

// A surface's rows, without the pitch's padding.
std::vector<uint8_t> ReadBytes(IDirectDrawSurface7* s) {
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), DD_OK);
    const size_t row = size_t(d.dwWidth) * (d.ddpfPixelFormat.dwRGBBitCount / 8);
    std::vector<uint8_t> out(row * d.dwHeight);
    for (DWORD y = 0; y < d.dwHeight; ++y)
        std::memcpy(&out[y * row], static_cast<uint8_t*>(d.lpSurface) + size_t(y) * d.lPitch, row);
    s->Unlock(nullptr);
    return out;
}

void WriteBytes(IDirectDrawSurface7* s, const std::vector<uint8_t>& bytes) {
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    const size_t row = size_t(d.dwWidth) * (d.ddpfPixelFormat.dwRGBBitCount / 8);
    for (DWORD y = 0; y < d.dwHeight; ++y)
        std::memcpy(static_cast<uint8_t*>(d.lpSurface) + size_t(y) * d.lPitch, &bytes[y * row], row);
    s->Unlock(nullptr);
}

std::vector<uint8_t> RandomBytes(Bytes& random, size_t n) {
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; i += 4) {
        uint32_t v = random.Next();
        std::memcpy(&out[i], &v, std::min<size_t>(4, n - i));
    }
    return out;
}

// Sizes 1..300, mostly small so that thousands of cases stay quick; odd and 1 included.
int PickSize(std::mt19937& rng) {
    switch (rng() % 4) {
    case 0: return 1 + int(rng() % 4);
    case 1: return 1 + int(rng() % 40);
    case 2: return 1 + int(rng() % 100);
    default: return 1 + int(rng() % 300);
    }
}

RECT PickRect(std::mt19937& rng, int width, int height) {
    int l = int(rng() % width), t = int(rng() % height);
    int r = l + 1 + int(rng() % (width - l)), b = t + 1 + int(rng() % (height - t));
    return RECT{l, t, r, b};
}

// A rectangle reaching up to 40 pixels past the surface (only clipped blits take it).
RECT PickLooseRect(std::mt19937& rng, int width, int height) {
    int l = int(rng() % (width + 80)) - 40, t = int(rng() % (height + 80)) - 40;
    return RECT{l, t, l + 1 + int(rng() % (width + 40)), t + 1 + int(rng() % (height + 40))};
}

// A fill or key value: 0, all ones, bytes of the parameters, or random.
uint32_t PickValue(std::mt19937& rng) {
    const uint32_t kSpecial[] = {0, 1, 127, 128, 254, 255, 0xFFFF, 0x7FFF, 0x8000, 0xFFFFFFFFu, 0x00FF00FFu};
    return rng() % 3 == 0 ? kSpecial[rng() % (sizeof kSpecial / sizeof kSpecial[0])] : uint32_t(rng());
}

enum class Op { Fill, DepthFill, Copy, CopySelf, Fast, FastSelf };
const char* const kOpNames[] = {"fill", "depth fill", "copy", "copy onto itself", "BltFast", "BltFast onto itself"};

TEST(DirectDrawFastPaths, BlitsMatchTheGeneralPathBitForBit) {
    qztest::TempDir dir;
    ptest::SetWindowLockFolder(dir.path());
    ptest::SetDesktopSize(400, 400);
    HWND window = presenttest::MakePopupWindow("DDrawFastTest", 0, 0, 50, 50);
    ASSERT_NE(window, nullptr);
    std::mt19937 rng(20261211);
    Bytes random{0x9E3779B97F4A7C15ull};
    uint32_t crc = 0;
    int drawn = 0;
    {
        DirectDraw dd;
        ASSERT_EQ(dd.dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
        IDirectDrawClipper* clipper = nullptr;
        ASSERT_EQ(dd.dd->CreateClipper(0, &clipper, nullptr), DD_OK);
        ASSERT_EQ(clipper->SetHWnd(0, window), DD_OK);
        for (int n = 0; n < 2500; ++n) {
            const Format& f = kFormats[rng() % (sizeof kFormats / sizeof kFormats[0])];
            const Op op = Op(rng() % 6);
            const int dw = PickSize(rng), dh = PickSize(rng);
            const bool self = op == Op::CopySelf || op == Op::FastSelf;
            const int sw = self ? dw : PickSize(rng), sh = self ? dh : PickSize(rng);
            IDirectDrawSurface7* dst = dd.Surface(dw, dh, f);
            IDirectDrawSurface7* src = self ? dst : dd.Surface(sw, sh, f);
            const bool clipped = (op == Op::Fill || op == Op::Copy) && rng() % 3 == 0;
            if (clipped) {
                // The clip is the window's client area on the desktop.
                const RECT area{int(rng() % (dw + 20)) - 10, int(rng() % (dh + 20)) - 10, 1 + int(rng() % (dw + 10)),
                                1 + int(rng() % (dh + 10))};
                MoveWindow(window, area.left, area.top, area.right, area.bottom, FALSE);
                ASSERT_EQ(dst->SetClipper(clipper), DD_OK);
            }
            RECT to = clipped ? PickLooseRect(rng, dw, dh) : PickRect(rng, dw, dh);
            RECT from = PickRect(rng, sw, sh);
            if (rng() % 2 == 0) {  // unscaled, where it fits
                to.right = std::min<LONG>(to.left + (from.right - from.left), clipped ? to.right + 300 : dw);
                to.bottom = std::min<LONG>(to.top + (from.bottom - from.top), clipped ? to.bottom + 300 : dh);
                from.right = from.left + (to.right - to.left);
                from.bottom = from.top + (to.bottom - to.top);
            }
            const bool keyed = rng() % 2 == 0;
            std::vector<uint8_t> srcBytes = RandomBytes(random, size_t(sw) * sh * f.bits / 8);
            if (keyed) {
                // A key that some pixels hit: one of the source's own values, or a range.
                uint32_t low = 0;
                std::memcpy(&low, &srcBytes[(rng() % (size_t(sw) * sh)) * (f.bits / 8)], f.bits / 8);
                uint32_t high = low;
                if (rng() % 3 == 0) high = low + uint32_t(rng() % (f.bits == 16 ? 0x4000 : 0x40000000));
                if (rng() % 5 == 0) low = PickValue(rng), high = PickValue(rng);
                DDCOLORKEY key{low, high};
                ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
            }
            const std::vector<uint8_t> dstBytes = self ? srcBytes : RandomBytes(random, size_t(dw) * dh * f.bits / 8);
            const uint32_t value = PickValue(rng);
            const bool whole = rng() % 8 == 0;
            std::vector<uint8_t> out[2];
            HRESULT result[2];
            for (int general = 0; general < 2; ++general) {
                ptest::ForceDDrawGeneralPath(general == 1);
                if (!self) WriteBytes(src, srcBytes);
                WriteBytes(dst, dstBytes);
                DDBLTFX fx = {};
                fx.dwSize = sizeof fx;
                fx.dwFillColor = value;
                fx.dwFillDepth = value;
                switch (op) {
                case Op::Fill:
                case Op::DepthFill:
                    result[general] = dst->Blt(whole ? nullptr : &to, nullptr, nullptr,
                                               (op == Op::Fill ? DDBLT_COLORFILL : DDBLT_DEPTHFILL) | DDBLT_WAIT, &fx);
                    break;
                case Op::Copy:
                case Op::CopySelf:
                    result[general] = dst->Blt(&to, src, &from, DDBLT_WAIT | (keyed ? DDBLT_KEYSRC : 0), nullptr);
                    break;
                case Op::Fast:
                case Op::FastSelf:
                    result[general] = dst->BltFast(DWORD(to.left), DWORD(to.top), src, &from,
                                                   DDBLTFAST_WAIT | (keyed ? DDBLTFAST_SRCCOLORKEY : 0));
                    break;
                }
                out[general] = ReadBytes(dst);
            }
            ptest::ForceDDrawGeneralPath(false);
            ASSERT_EQ(result[0], result[1]) << "case " << n;
            ASSERT_TRUE(out[0] == out[1]) << "case " << n << ": " << kOpNames[int(op)] << " " << f.name << " " << dw
                                          << "x" << dh << " from " << sw << "x" << sh << (keyed ? " keyed" : "")
                                          << (clipped ? " clipped" : "");
            drawn += result[0] == DD_OK && out[0] != dstBytes;
            crc = Crc32(crc, &result[0], sizeof result[0]);
            crc = Crc32(crc, out[0].data(), out[0].size());
            if (!self) src->Release();
            dst->Release();
        }
        clipper->Release();
    }
    DestroyWindow(window);
    ptest::ResetControls();
    EXPECT_GT(drawn, 1500);  // the cases write pixels, not only refusals
    std::printf("DirectDraw blits: CRC %08x\n", crc);
    EXPECT_EQ(crc, 0xd513be94u);
}

TEST(DirectDrawFastPaths, PresentsMatchTheGeneralPathBitForBit) {
    qztest::TempDir dir;
    ptest::SetWindowLockFolder(dir.path());
    std::mt19937 rng(777);
    Bytes random{0x2545F4914F6CDD1Dull};
    uint32_t crc = 0;
    for (int n = 0; n < 120; ++n) {
        const bool windowed = n % 2 == 0;
        // A windowed primary has the desktop's 32 bits; full screen takes either depth.
        const int bits = windowed || rng() % 3 == 0 ? 32 : 16;
        const bool rgb555 = rng() % 2 == 0;
        ptest::SetDisplay16Format(rgb555 ? ptest::Display16::X1R5G5B5 : ptest::Display16::R5G6B5);
        const int width = PickSize(rng), height = PickSize(rng);
        HWND window = nullptr;
        if (windowed) {
            // The desktop is the primary; the window may hang over any of its edges.
            ptest::SetDesktopSize(width, height);
        }
        CoInitialize(nullptr);
        IDirectDraw7* dd = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, (void**)&dd), S_OK);
        ASSERT_EQ(dd->Initialize(nullptr), DD_OK);
        if (windowed) {
            const RECT at{int(rng() % (width + 20)) - 10, int(rng() % (height + 20)) - 10, 1 + int(rng() % 300),
                          1 + int(rng() % 300)};  // left, top, width, height
            window = presenttest::MakePopupWindow(("DDrawPresent" + std::to_string(n)).c_str(), at.left, at.top,
                                                  at.right, at.bottom);
            ASSERT_NE(window, nullptr);
            ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
        } else {
            ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
            ASSERT_EQ(dd->SetDisplayMode(width, height, bits, 0, 0), DD_OK);
        }
        DDSURFACEDESC2 desc = {};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        IDirectDrawSurface7* primary = nullptr;
        ASSERT_EQ(dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
        primary->GetSurfaceDesc(&desc);
        const int depth = int(desc.ddpfPixelFormat.dwRGBBitCount);
        EXPECT_EQ(depth, bits) << "case " << n;
        const std::vector<uint8_t> pixels = RandomBytes(random, size_t(desc.dwWidth) * desc.dwHeight * depth / 8);
        std::vector<uint32_t> frame[2];
        for (int general = 0; general < 2; ++general) {
            ptest::ForceDDrawGeneralPath(general == 1);
            WriteBytes(primary, pixels);  // the writable unlock presents
            ptest::PresentedFrame f = ptest::GetLastPresentedFrame();
            frame[general] = f.pixels;
            crc = Crc32(crc, &f.width, sizeof f.width);
            crc = Crc32(crc, &f.height, sizeof f.height);
        }
        ptest::ForceDDrawGeneralPath(false);
        ASSERT_FALSE(frame[0].empty()) << "case " << n;
        ASSERT_TRUE(frame[0] == frame[1]) << "case " << n << ": " << bits << " bits" << (rgb555 ? " X1R5G5B5" : "")
                                          << (windowed ? " windowed " : " full screen ") << width << "x" << height;
        crc = Crc32(crc, frame[0].data(), frame[0].size() * 4);
        primary->Release();
        dd->Release();
        CoUninitialize();
        if (window) DestroyWindow(window);
    }
    ptest::ResetControls();
    std::printf("DirectDraw presents: CRC %08x\n", crc);
    EXPECT_EQ(crc, 0x395c8349u);
}

}  // namespace

}  // namespace ddraw_fast_test
