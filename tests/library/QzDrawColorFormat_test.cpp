// Colour formats: filling records, packing and converting values, and the screen's
// colour values.
#include <gtest/gtest.h>

#include <cstring>

#include "QzDrawColorFormat.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"

namespace QzDrawColorFormat_test {

namespace {

ColorFormat Format(int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    ColorFormat f = {};
    FillColorFormat(&f, bits, r, g, b, a);
    return f;
}

struct FormatCase {
    const char* name;
    int bits;
    uint32_t r, g, b, a;
    int widths[4];
    int shifts[4];
    uint32_t fill;
};

TEST(ColorFormat, FillFindsWidthsShiftsAndFillMask) {
    const FormatCase cases[] = {
        {"R5G6B5", 16, 0xF800, 0x07E0, 0x001F, 0, {5, 6, 5, 0}, {11, 5, 0, 0}, 0},
        {"X1R5G5B5", 16, 0x7C00, 0x03E0, 0x001F, 0, {5, 5, 5, 0}, {10, 5, 0, 0}, 0x8000},
        {"X8R8G8B8", 32, 0xFF0000, 0xFF00, 0xFF, 0, {8, 8, 8, 0}, {16, 8, 0, 0}, 0xFF000000},
        {"A8R8G8B8", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, {8, 8, 8, 8}, {16, 8, 0, 24}, 0},
        {"A2R10G10B10", 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, {10, 10, 10, 2}, {20, 10, 0, 30}, 0},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.name);
        ColorFormat f = Format(c.bits, c.r, c.g, c.b, c.a);
        EXPECT_EQ(f.colorBitDepth, c.bits);
        EXPECT_EQ(f.pixelBytes, c.bits / 8);
        EXPECT_EQ(f.redWidth, c.widths[0]);
        EXPECT_EQ(f.greenWidth, c.widths[1]);
        EXPECT_EQ(f.blueWidth, c.widths[2]);
        EXPECT_EQ(f.alphaWidth, c.widths[3]);
        EXPECT_EQ(f.redShift, c.shifts[0]);
        EXPECT_EQ(f.greenShift, c.shifts[1]);
        EXPECT_EQ(f.blueShift, c.shifts[2]);
        EXPECT_EQ(f.alphaShift, c.shifts[3]);
        EXPECT_EQ(f.alphaMask, c.a);
        EXPECT_EQ(f.fillMask, c.fill);

        DDPIXELFORMAT pf;
        std::memset(&pf, 0xEE, sizeof pf);
        FillDDPixelFormat(&pf, c.bits, c.r, c.g, c.b, c.a);
        EXPECT_EQ(pf.dwSize, 32u);
        EXPECT_EQ(pf.dwFlags, DDPF_RGB);  // also with an alpha mask
        EXPECT_EQ(pf.dwFourCC, 0u);
        ColorFormat back = {};
        SetColorFormatFromPixelFormat(&pf, &back);
        EXPECT_EQ(std::memcmp(&back, &f, kColorFormatShortSize), 0);
    }
}

TEST(ColorFormat, FixedFormatsOfTheImageReaders) {
    ColorFormat pal;
    std::memset(&pal, 0, sizeof pal);
    pal.palette[7] = 0x123456;
    SetupPalette8ColorFormat(&pal);
    EXPECT_EQ(pal.colorBitDepth, 8);
    EXPECT_EQ(pal.pixelBytes, 1);
    EXPECT_EQ(pal.redMask, 0xFF0000u);
    EXPECT_EQ(pal.redShift, 16);
    EXPECT_EQ(pal.fillMask, 0xFF000000u);
    EXPECT_EQ(pal.palette[7], 0x123456u);  // unchanged

    ColorFormat rgb;
    std::memset(&rgb, 0xAB, sizeof rgb);
    SetupRGB24ColorFormat(&rgb);
    EXPECT_EQ(rgb.colorBitDepth, 24);
    EXPECT_EQ(rgb.pixelBytes, 3);
    EXPECT_EQ(rgb.alphaWidth, 0);
    EXPECT_EQ(rgb.alphaMask, 0u);
    EXPECT_EQ(rgb.fillMask, 0u);
    EXPECT_EQ(rgb.palette[0], 0xABABABABu);  // not touched

    ColorFormat grey = {};
    SetupGray8ColorFormat(&grey);
    EXPECT_EQ(grey.palette[0], 0u);
    EXPECT_EQ(grey.palette[0x80], 0x808080u);
    EXPECT_EQ(grey.palette[255], 0xFFFFFFu);
}

TEST(ColorFormat, PackingAndConvertingValues) {
    ColorFormat r565 = Format(16, 0xF800, 0x07E0, 0x001F, 0);
    ColorFormat x1555 = Format(16, 0x7C00, 0x03E0, 0x001F, 0);
    ColorFormat x8888 = Format(32, 0xFF0000, 0xFF00, 0xFF, 0);
    ColorFormat a8888 = Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    ColorFormat a2r10 = Format(32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000);
    EXPECT_EQ(PackPixelRGBA(&r565, 255, 255, 255, 0), 0xFFFFu);
    EXPECT_EQ(PackPixelRGBA(&x1555, 0, 0, 0, 255), 0x8000u);  // fill bit, no alpha field
    EXPECT_EQ(PackPixelRGBA(&a8888, 1, 2, 3, 4), 0x04010203u);
    // A channel wider than 8 bits is widened, not shifted by a negative count.
    EXPECT_EQ(PackPixelRGBA(&a2r10, 255, 0, 1, 255), 0xC0000000u | 0x3FCu << 20 | 0x4u);

    EXPECT_EQ(ConvertPixelValue(&a8888, &x8888, 0x00123456), 0xFF123456u);
    EXPECT_EQ(ConvertPixelValue(&x8888, &r565, 0xF800), 0xFFF80000u);
    EXPECT_EQ(ConvertPixelValue(&r565, &x8888, 0x00FFFFFF), 0xFFFFu);
    EXPECT_EQ(ConvertPixelValue(&x1555, &r565, 0x0000), 0x8000u);

    EXPECT_EQ(ComparePixelFormat(&x8888, &a8888), 0);
    ColorFormat copy = x8888;
    copy.fillMask = 0;
    copy.redWidth = 3;
    EXPECT_EQ(ComparePixelFormat(&x8888, &copy), 1);  // only depth and masks count
}

// The screen's values: each row sets up a screen and checks one call.
struct ScreenCase {
    const char* name;
    int screenDepth;   // the display's
    int graphicsDepth;
    int software;
    uint32_t r, g, b;  // masks of the screen format
    int in[3];         // GetScreenColorValue arguments, or -1 to skip
    uint32_t value;    // expected value, also fed to GetColorValueRGB
    int out[3];        // expected channels of GetColorValueRGB(value)
};

void SetScreen(int depth, int graphicsDepth, int software, uint32_t r, uint32_t g, uint32_t b) {
    g_screen = ScreenState();
    g_screen.colorBitDepth = depth;
    g_screen.graphicsBitDepth = graphicsDepth;
    g_screen.softwareRender = software;
    FillColorFormat(&g_screen.screenFormat, depth, r, g, b, 0);
}

TEST(ScreenColor, ValuesAndChannelsTable) {
    const ScreenCase cases[] = {
        {"R5G6B5 white", 16, 16, 0, 0xF800, 0x07E0, 0x001F, {255, 255, 255}, 0xFFFF, {255, 255, 255}},
        {"R5G6B5 red", 16, 16, 0, 0xF800, 0x07E0, 0x001F, {255, 0, 0}, 0xF800, {255, 0, 0}},
        {"R5G6B5 red 16 reads 131", 16, 16, 0, 0xF800, 0x07E0, 0x001F, {-1, 0, 0}, 16u << 11, {131, 0, 0}},
        {"X1R5G5B5 black carries the fill bit", 16, 16, 0, 0x7C00, 0x03E0, 0x001F, {0, 0, 0}, 0x8000, {0, 0, 0}},
        {"X8R8G8B8", 32, 32, 0, 0xFF0000, 0xFF00, 0xFF, {1, 2, 3}, 0xFF010203, {1, 2, 3}},
        // Software rendering packs and unpacks in the standard MEMIMG format of the
        // graphics depth, whatever the display's format.
        {"software 16 on a 32-bit desktop", 32, 16, 1, 0xFF0000, 0xFF00, 0xFF, {255, 0, 0}, 0xF800, {255, 0, 0}},
        {"software 32", 32, 32, 1, 0xFF0000, 0xFF00, 0xFF, {0, 0, 255}, 0xFF0000FF, {0, 0, 255}},
    };
    for (const ScreenCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetScreen(c.screenDepth, c.graphicsDepth, c.software, c.r, c.g, c.b);
        if (c.in[0] >= 0) {
            EXPECT_EQ(GetScreenColorValue(c.in[0], c.in[1], c.in[2]), c.value);
        }
        int r = -1, g = -1, b = -1;
        EXPECT_EQ(GetColorValueRGB(c.value, &r, &g, &b), 0);
        EXPECT_EQ(r, c.out[0]);
        EXPECT_EQ(g, c.out[1]);
        EXPECT_EQ(b, c.out[2]);
    }
}

TEST(ScreenColor, PaletteScreenPicksTheLowestNearestIndex) {
    SetScreen(8, 8, 0, 0xFF0000, 0xFF00, 0xFF);
    for (int i = 0; i < 256; ++i)
        g_screen.paletteEntries[i] = PALETTEENTRY{255, 255, 255, 0};
    g_screen.paletteEntries[40] = PALETTEENTRY{10, 20, 30, 0};
    g_screen.paletteEntries[90] = PALETTEENTRY{10, 20, 30, 0};
    g_screen.paletteEntries[12] = PALETTEENTRY{12, 20, 30, 0};
    EXPECT_EQ(GetScreenColorValue(10, 20, 30), 40u);
    EXPECT_EQ(GetScreenColorValue(12, 20, 30), 12u);
    EXPECT_EQ(GetScreenColorValue(250, 250, 250), 0u);

    int r = 7, g = 7, b = 7;
    EXPECT_EQ(GetColorValueRGB(90, &r, &g, &b), 0);
    EXPECT_EQ(r, 10);
    EXPECT_EQ(b, 30);
    r = g = b = 7;
    EXPECT_EQ(GetColorValueRGB(256, &r, &g, &b), -1);
    EXPECT_EQ(r, 7);  // untouched
}

TEST(ScreenColor, ChannelOfWidthZeroReadsZero) {
    // A screen format without a blue field: no division by zero, blue reads 0.
    SetScreen(16, 16, 0, 0xF800, 0x07E0, 0);
    int r, g, b;
    EXPECT_EQ(GetColorValueRGB(0xFFFF, &r, &g, &b), 0);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 255);
    EXPECT_EQ(b, 0);
}

TEST(ScreenColor, FormatClasses) {
    ColorFormat f = Format(16, 0xF800, 0x07E0, 0x001F, 0);
    EXPECT_EQ(ClassifyScreenFormat(&f), 0);
    f = Format(16, 0x7C00, 0x03E0, 0x001F, 0);
    EXPECT_EQ(ClassifyScreenFormat(&f), 1);
    f = Format(32, 0xFF0000, 0xFF00, 0xFF, 0);
    EXPECT_EQ(ClassifyScreenFormat(&f), 2);
    f = Format(32, 0xFF, 0xFF00, 0xFF0000, 0);
    EXPECT_EQ(ClassifyScreenFormat(&f), 3);
}

}  // namespace

}  // namespace QzDrawColorFormat_test
