// MEMIMG: set-up and release, pitches, flag rules, views, conversions from decoded
// images with run tables and the premultiplied copy, and the raw fill.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "QzDrawMemImg.h"
#include "QzGraphicsImage.h"
#include "QzWinState.h"
#include "platform/testing.h"

namespace QzDrawMemImg_test {

namespace {

struct PitchCase {
    int width, type, pitchArg;
    int pitch, shift;
};

TEST(MemImg, PitchTable) {
    const PitchCase cases[] = {
        {3, 1, -1, 16, 4},   {1, 1, -1, 16, -1},     {64, 1, -1, 256, 8},
        {100, 0, -1, 208, -1}, {10, 1, 1024, 1024, 10}, {10, 1, 1000, 1000, -1},
    };
    for (const PitchCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "width " << c.width << " type " << c.type << " pitch " << c.pitchArg);
        MEMIMG m = {};
        ASSERT_EQ(SetupMEMIMG(&m, c.width, 2, c.pitchArg, 0, c.type, 0, 0, 0), 0);
        EXPECT_EQ(m.pitch, c.pitch);
        EXPECT_EQ(m.pitchShift, c.shift);
        EXPECT_EQ(m.magic, kMemImgMagic);
        EXPECT_EQ(m.externalPixels, 0);
        ReleaseMEMIMG(&m);
        EXPECT_EQ(m.magic, 0u);
        EXPECT_EQ(m.pixels, nullptr);
    }
}

TEST(MemImg, FlagRulesAndStandardFormats) {
    MEMIMG a = {};
    ASSERT_EQ(SetupMEMIMG(&a, 4, 4, -1, 0, 0, 0, 1, 0), 0);
    EXPECT_EQ(a.format->pixelBytes, 4);  // type 0 with alpha: 4 bytes
    EXPECT_EQ(a.format->alphaMask, 0xFF0000u);
    ReleaseMEMIMG(&a);

    MEMIMG p = {};
    ASSERT_EQ(SetupMEMIMG(&p, 4, 4, -1, 0, 0, 1, 1, 0), 0);
    EXPECT_EQ(p.useAlpha, 0);  // a palette clears alpha
    EXPECT_EQ(p.format->pixelBytes, 1);
    EXPECT_EQ(p.palette, (void*)p.paletteStore);
    ReleaseMEMIMG(&p);

    MEMIMG s = {};
    ASSERT_EQ(SetupMEMIMG(&s, 4, 4, -1, 0, 2, 1, 1, 1), 0);
    EXPECT_EQ(s.usePalette, 0);
    EXPECT_EQ(s.useAlpha, 0);
    EXPECT_EQ(s.runs, nullptr);  // no run tables for the single channel
    EXPECT_EQ(s.format->redMask, 0xFFu);
    EXPECT_EQ(s.format->alphaWidth, 8);
    ReleaseMEMIMG(&s);

    EXPECT_EQ(GetMEMIMGColorFormat(4, 0, 0), nullptr);
    EXPECT_EQ(GetMEMIMGPixelFormat(-1, 0, 0), nullptr);
    EXPECT_EQ(GetMEMIMGColorFormat(1, 0, 0)->fillMask, 0xFF000000u);
    const DDPIXELFORMAT* depth = GetMEMIMGPixelFormat(3, 0, 0);
    EXPECT_EQ(depth->dwSize, 0u);
    EXPECT_EQ(depth->dwRGBBitCount, 16u);
    EXPECT_EQ(depth->dwRGBAlphaBitMask, 0xFFFFu);
    EXPECT_EQ(GetMEMIMGPixelFormat(1, 1, 0)->dwFlags, DDPF_RGB);
}

TEST(MemImg, SetUpTwiceThenReleaseAndAgain) {
    MEMIMG m = {};
    ASSERT_EQ(SetupMEMIMG(&m, 8, 8, -1, 0, 1, 0, 0, 0), 0);
    uint8_t* pixels = m.pixels;
    EXPECT_EQ(SetupMEMIMG(&m, 16, 16, -1, 0, 1, 0, 0, 0), -1);
    EXPECT_EQ(m.pixels, pixels);
    EXPECT_EQ(m.width, 8);
    ReleaseMEMIMG(&m);
    ReleaseMEMIMG(&m);  // harmless
    EXPECT_EQ(SetupMEMIMG(&m, 16, 16, -1, 0, 1, 0, 0, 0), 0);
    ReleaseMEMIMG(&m);
}

TEST(MemImg, HeaderOverCallerMemoryKeepsIt) {
    std::vector<uint8_t> memory(64 * 4, 0x11);
    MEMIMG m = {};
    m.pixels = memory.data();
    ASSERT_EQ(SetupMEMIMG(&m, 8, 4, 64, 0, 1, 0, 0, 0), 0);
    EXPECT_EQ(m.externalPixels, 1);
    ReleaseMEMIMG(&m);  // frees nothing: the vector's memory is still ours
    EXPECT_EQ(memory[0], 0x11);
}

TEST(MemImg, RefusesBadSizesAndFreesItsOwnBlocksOnFailure) {
    MEMIMG m = {};
    EXPECT_EQ(SetupMEMIMG(&m, 0, 4, -1, 0, 1, 0, 0, 0), -1);
    EXPECT_EQ(SetupMEMIMG(&m, 4, -1, -1, 0, 1, 0, 0, 0), -1);
    EXPECT_EQ(SetupMEMIMG(&m, 0x40000000, 4, -1, 0, 1, 0, 0, 0), -1);  // line bytes overflow
    EXPECT_EQ(SetupMEMIMG(&m, 0x1000000, 0x100, -1, 0, 1, 0, 0, 0), -1);  // image bytes overflow
    EXPECT_EQ(SetupMEMIMG(&m, 8, 4, 16, 0, 1, 0, 0, 0), -1);  // a pitch shorter than a line
    EXPECT_EQ(m.magic, 0u);

    // The pixels succeed and the premultiplied copy fails: nothing stays allocated.
    int before = g_windowSystem.tracker.count;
    ptest::FailCall("HeapAlloc", 2);
    EXPECT_EQ(SetupMEMIMG(&m, 8, 4, -1, 0, 1, 0, 1, 1), -1);
    ptest::ClearFaults();
    EXPECT_EQ(g_windowSystem.tracker.count, before);
    EXPECT_EQ(m.magic, 0u);
}

TEST(MemImg, ViewsAddressTheirRectangle) {
    MEMIMG m = {};
    ASSERT_EQ(SetupMEMIMG(&m, 8, 8, -1, 0x1234, 0, 0, 0, 0), 0);
    MEMIMG v = {};
    MakeMEMIMGView(&v, &m, 2, 3, 4, 5);
    EXPECT_EQ(v.pixels, m.pixels + 3 * m.pitch + 2 * 2);
    EXPECT_EQ(v.width, 4);
    EXPECT_EQ(v.pitch, m.pitch);
    EXPECT_EQ(v.colorKey, 0x1234u);
    EXPECT_EQ(v.externalPixels, 0);
    EXPECT_EQ(v.runs, nullptr);
    EXPECT_DEATH(MakeMEMIMGView(&v, &m, 5, 0, 4, 1), "");
    ReleaseMEMIMG(&m);
}

// A decoded X8R8G8B8 or A8R8G8B8 image over a vector of pixels.
struct TestImage {
    GraphImage image = {};
    std::vector<uint32_t> pixels;
    TestImage(int w, int h, uint32_t alphaMask) : pixels((size_t)w * h, 0) {
        FillColorFormat(&image.colorFormat, 32, 0xFF0000, 0xFF00, 0xFF, alphaMask);
        image.width = w;
        image.height = h;
        image.pitch = w * 4;
        image.pixels = pixels.data();
    }
    void Set(int x, int y, uint32_t v) { pixels[(size_t)y * image.width + x] = v; }
};

std::vector<uint8_t> Runs(const MEMIMG& m) {
    std::vector<uint8_t> out;
    const uint8_t* p = m.runs;
    for (int y = 0; y < m.height; ++y) {
        do
            out.push_back(*p);
        while (*p++ != kRunEnd);
    }
    return out;
}

TEST(MemImg, RunTablesFromAFullConversion) {
    {
        TestImage img(70, 1, 0);  // all 0: the key, top byte included
        MEMIMG m = {};
        ASSERT_EQ(SetupMEMIMG(&m, 70, 1, -1, 0, 1, 0, 0, 1), 0);
        ASSERT_EQ(ConvertImageToMEMIMG(&img.image, nullptr, &m, 0, 0, 70, 1, 0, 0), 0);
        EXPECT_EQ(m.runsValid, 1);
        EXPECT_EQ(Runs(m), (std::vector<uint8_t>{0x3F, 0x05, 0xC0}));
        ReleaseMEMIMG(&m);
    }
    {
        TestImage img(5, 1, 0xFF000000u);
        const uint32_t alphas[5] = {0, 255, 255, 128, 0};
        for (int x = 0; x < 5; ++x)
            img.Set(x, 0, alphas[x] << 24 | 0x102030);
        MEMIMG m = {};
        ASSERT_EQ(SetupMEMIMG(&m, 5, 1, -1, 0, 1, 0, 1, 1), 0);
        ASSERT_EQ(ConvertImageToMEMIMG(&img.image, nullptr, &m, 0, 0, 5, 1, 0, 0), 0);
        EXPECT_EQ(Runs(m), (std::vector<uint8_t>{0x00, 0x41, 0x80, 0x00, 0xC0}));
        ReleaseMEMIMG(&m);
    }
    {
        TestImage img(64, 2, 0);
        for (int x = 0; x < 64; ++x)
            img.Set(x, 0, 0x00FFFFFF);
        MEMIMG m = {};
        ASSERT_EQ(SetupMEMIMG(&m, 64, 2, -1, 0, 1, 0, 0, 1), 0);
        ASSERT_EQ(ConvertImageToMEMIMG(&img.image, nullptr, &m, 0, 0, 64, 2, 0, 0), 0);
        EXPECT_EQ(Runs(m), (std::vector<uint8_t>{0x7F, 0xC0, 0x3F, 0xC0}));
        ReleaseMEMIMG(&m);
    }
}

TEST(MemImg, PremultipliedCopy) {
    TestImage img(1, 1, 0xFF000000u);
    img.Set(0, 0, 128u << 24 | 200 << 16 | 100 << 8 | 50);
    MEMIMG m = {};
    ASSERT_EQ(SetupMEMIMG(&m, 1, 1, -1, 0, 1, 0, 1, 1), 0);
    ASSERT_EQ(ConvertImageToMEMIMG(&img.image, nullptr, &m, 0, 0, 1, 1, 0, 0), 0);
    EXPECT_EQ(m.premultipliedValid, 1);
    EXPECT_EQ(m.premultiplied[0], 25);   // blue
    EXPECT_EQ(m.premultiplied[1], 50);   // green
    EXPECT_EQ(m.premultiplied[2], 100);  // red
    EXPECT_EQ(m.premultiplied[3], 128);  // alpha
    ReleaseMEMIMG(&m);
}

TEST(MemImg, PartialConversionLeavesTheTablesInvalid) {
    TestImage img(4, 4, 0);
    MEMIMG m = {};
    ASSERT_EQ(SetupMEMIMG(&m, 4, 4, -1, 0, 1, 0, 0, 1), 0);
    ASSERT_EQ(ConvertImageToMEMIMG(&img.image, nullptr, &m, 0, 0, 4, 4, 0, 0), 0);
    EXPECT_EQ(m.runsValid, 1);
    ASSERT_EQ(ConvertImageToMEMIMG(&img.image, nullptr, &m, 0, 0, 2, 2, 1, 1), 0);
    EXPECT_EQ(m.runsValid, 0);
    EXPECT_EQ(m.premultipliedValid, 0);
    ReleaseMEMIMG(&m);
}

TEST(MemImg, ConversionIsClippedToImageAndDestination) {
    TestImage img(4, 4, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            img.Set(x, y, (uint32_t)(0x010101 * (y * 4 + x + 1)));
    MEMIMG m = {};
    ASSERT_EQ(SetupMEMIMG(&m, 4, 4, -1, 0xFFFFFFFFu, 1, 0, 0, 0), 0);
    FillMEMIMGRawRect(&m, nullptr, 0xDEADBEEF);
    // Wholly outside: nothing to do.
    EXPECT_EQ(ConvertImageToMEMIMG(&img.image, nullptr, &m, 4, 0, 2, 2, 0, 0), -1);
    EXPECT_EQ(ConvertImageToMEMIMG(&img.image, nullptr, &m, 0, 0, 2, 2, 4, 4), -1);
    // Reaching past both: only the overlap is written, at the moved position.
    ASSERT_EQ(ConvertImageToMEMIMG(&img.image, nullptr, &m, -1, 2, 8, 8, 2, -1), 0);
    auto at = [&](int x, int y) {
        uint32_t v;
        std::memcpy(&v, m.pixels + y * m.pitch + x * 4, 4);
        return v;
    };
    // Source (0, 3) lands at (3, 0); source (0..1, 3) covers destination x 3 only.
    EXPECT_EQ(at(3, 0), 0x010101u * 13);  // same format: copied as it is
    EXPECT_EQ(at(2, 0), 0xDEADBEEFu);
    EXPECT_EQ(at(3, 1), 0xDEADBEEFu);
    ReleaseMEMIMG(&m);
}

TEST(MemImg, PaletteImageTakesIndicesAndPalette) {
    std::vector<uint8_t> indices = {3, 1, 7, 0};
    GraphImage img = {};
    SetupPalette8ColorFormat(&img.colorFormat);
    for (int i = 0; i < 256; ++i)
        img.colorFormat.palette[i] = (uint32_t)(i * 0x10203) & 0xFFFFFF;
    img.width = 4;
    img.height = 1;
    img.pitch = 4;
    img.pixels = indices.data();
    MEMIMG m = {};
    ASSERT_EQ(SetupMEMIMG(&m, 4, 1, -1, 0xFFFF, 0, 1, 0, 0), 0);
    ASSERT_EQ(ConvertImageToMEMIMG(&img, nullptr, &m, 0, 0, 4, 1, 0, 0), 0);
    EXPECT_EQ(m.paletteCount, 8);
    EXPECT_EQ(std::memcmp(m.pixels, indices.data(), 4), 0);
    uint16_t entry;
    std::memcpy(&entry, m.paletteStore + 2 * 2, 2);  // entry 2 = (4, 2, 6) as R5G6B5
    uint32_t e = img.colorFormat.palette[2];
    EXPECT_EQ(entry, (uint16_t)(((e >> 16 & 0xFF) >> 3) << 11 | ((e >> 8 & 0xFF) >> 2) << 5 | ((e & 0xFF) >> 3)));
    ReleaseMEMIMG(&m);
}

TEST(MemImg, RawFillClipsAndSkipsEmptyRectangles) {
    MEMIMG m = {};
    ASSERT_EQ(SetupMEMIMG(&m, 4, 4, -1, 0, 0, 0, 0, 0), 0);
    FillMEMIMGRawRect(&m, nullptr, 0);
    std::vector<uint8_t> before(m.pixels, m.pixels + m.pitch * 4);
    RECT outside = {5, 0, 9, 4};
    RECT flat = {1, 2, 3, 2};
    FillMEMIMGRawRect(&m, &outside, 0xFFFF);
    FillMEMIMGRawRect(&m, &flat, 0xFFFF);
    EXPECT_EQ(std::vector<uint8_t>(m.pixels, m.pixels + m.pitch * 4), before);
    RECT partly = {-2, 3, 2, 9};
    FillMEMIMGRawRect(&m, &partly, 0xABCD);
    uint16_t v;
    std::memcpy(&v, m.pixels + 3 * m.pitch + 1 * 2, 2);
    EXPECT_EQ(v, 0xABCD);
    std::memcpy(&v, m.pixels + 3 * m.pitch + 2 * 2, 2);
    EXPECT_EQ(v, 0);
    ReleaseMEMIMG(&m);
}

TEST(MemImg, CopyToSurfaceMemoryOnlyFromPlainImages) {
    std::vector<uint32_t> memory(16, 0x77777777);
    GraphImage header = {};
    FillColorFormat(&header.colorFormat, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    header.width = 4;
    header.height = 4;
    header.pitch = 16;
    header.pixels = memory.data();
    struct Kind {
        int type, palette, alpha;
        bool copies;
    };
    const Kind kinds[] = {{1, 0, 0, true}, {1, 0, 1, false}, {1, 1, 0, false}, {2, 0, 0, false}, {3, 0, 0, false}};
    for (const Kind& k : kinds) {
        SCOPED_TRACE(testing::Message() << "type " << k.type << " palette " << k.palette << " alpha " << k.alpha);
        std::fill(memory.begin(), memory.end(), 0x77777777);
        MEMIMG m = {};
        ASSERT_EQ(SetupMEMIMG(&m, 4, 4, -1, 0, k.type, k.palette, k.alpha, 0), 0);
        FillMEMIMGRawRect(&m, nullptr, 0x00123456);
        CopyMEMIMGToSurfaceMemory(&header, &m, 0, 0, 2, 2, 1, 1, 0, 0);
        EXPECT_EQ(memory[5], k.copies ? 0x00123456u : 0x77777777u);
        EXPECT_EQ(memory[0], 0x77777777u);
        ReleaseMEMIMG(&m);
    }
    // With the skip flag, pixels of the given raw value are left alone.
    std::fill(memory.begin(), memory.end(), 0x77777777);
    MEMIMG m = {};
    ASSERT_EQ(SetupMEMIMG(&m, 4, 4, -1, 0, 1, 0, 0, 0), 0);
    FillMEMIMGRawRect(&m, nullptr, 0x00ABCDEF);
    CopyMEMIMGToSurfaceMemory(&header, &m, 0, 0, 4, 4, 0, 0, 0x00ABCDEF, 1);
    EXPECT_EQ(memory[5], 0x77777777u);
    ReleaseMEMIMG(&m);
}

}  // namespace

}  // namespace QzDrawMemImg_test
