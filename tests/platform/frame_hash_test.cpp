// The present hook and the frame-hash log: three presented frames, the first and third equal.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "platform/ddraw.h"
#include "platform/testing.h"

namespace frame_hash_test {

namespace {

struct Seen {
    uint64_t frame;
    std::vector<uint32_t> pixels;
    int width, height;
};
std::vector<Seen> g_seen;

void Record(uint64_t frame, const uint32_t* pixels, int width, int height) {
    g_seen.push_back({frame, std::vector<uint32_t>(pixels, pixels + size_t(width) * height), width, height});
}

void FillBack(IDirectDrawSurface7* back, uint32_t colour) {
    DDBLTFX fx = {};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = colour;
    ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
}

}  // namespace

TEST(FrameHash, HookSeesEveryPresentAndTheLogHashesEachFrame) {
    qztest::TempDir dir;
    const std::string log = dir.file("hashes.txt");
    ptest::SetFrameHashLog(log);
    ptest::SetPresentHook(Record);
    g_seen.clear();

    CoInitialize(nullptr);
    IDirectDraw7* dd = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, (void**)&dd), S_OK);
    ASSERT_EQ(dd->Initialize(nullptr), DD_OK);
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 32, 0, 0), DD_OK);
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    IDirectDrawSurface7* front = nullptr;
    ASSERT_EQ(dd->CreateSurface(&desc, &front, nullptr), DD_OK);
    DDSCAPS2 backCaps = {DDSCAPS_BACKBUFFER, 0, 0, 0};
    IDirectDrawSurface7* back = nullptr;
    ASSERT_EQ(front->GetAttachedSurface(&backCaps, &back), DD_OK);

    const uint64_t first = ptest::GetPresentedFrameCount();
    for (uint32_t colour : {0x102030u, 0x405060u, 0x102030u}) {
        FillBack(back, colour);
        ASSERT_EQ(front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
    }
    ptest::SetPresentHook(nullptr);
    ptest::SetFrameHashLog("");

    ASSERT_EQ(3u, g_seen.size());
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(first + i, g_seen[i].frame);
        EXPECT_EQ(640, g_seen[i].width);
        EXPECT_EQ(480, g_seen[i].height);
        EXPECT_EQ(i == 1 ? 0x405060u : 0x102030u, g_seen[i].pixels[1000]);
    }
    EXPECT_EQ(g_seen[0].pixels, g_seen[2].pixels);

    std::ifstream in(log);
    std::vector<std::pair<uint64_t, std::string>> lines;
    uint64_t n;
    std::string hash;
    while (in >> n >> hash) lines.push_back({n, hash});
    ASSERT_EQ(3u, lines.size());
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(first + i, lines[i].first);
        EXPECT_EQ(16u, lines[i].second.size());
        char expected[17];
        std::snprintf(expected, sizeof expected, "%016llx",
                      (unsigned long long)ptest::HashFrame(g_seen[i].pixels.data(), g_seen[i].pixels.size()));
        EXPECT_EQ(expected, lines[i].second);
    }
    EXPECT_EQ(lines[0].second, lines[2].second);
    EXPECT_NE(lines[0].second, lines[1].second);

    back->Release();
    front->Release();
    dd->Release();
    CoUninitialize();
}

// The hash is FNV-1a over the bytes of each pixel, least significant first.
TEST(FrameHash, HashIsFnv1aOverLittleEndianPixels) {
    EXPECT_EQ(0xcbf29ce484222325ull, ptest::HashFrame(nullptr, 0));
    const uint32_t one = 0x00000061;  // "a\0\0\0"
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t b : {0x61, 0, 0, 0}) {
        h ^= b;
        h *= 0x100000001b3ull;
    }
    EXPECT_EQ(h, ptest::HashFrame(&one, 1));
}

}  // namespace frame_hash_test
