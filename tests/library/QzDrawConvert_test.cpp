// ConvertPixelRect: the five paths, the fixed conversions, the general conversion with
// its dither modes, and the straight rows against their references.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "QzDrawColorFormat.h"
#include "QzDrawConvert.h"
#include "QzDrawConvertRows.h"

namespace QzDrawConvert_test {

namespace {

ColorFormat Format(int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    ColorFormat f = {};
    FillColorFormat(&f, bits, r, g, b, a);
    return f;
}
const ColorFormat kRgb565 = Format(16, 0xF800, 0x07E0, 0x001F, 0);
const ColorFormat kRgb555 = Format(16, 0x7C00, 0x03E0, 0x001F, 0);
const ColorFormat kArgb1555 = Format(16, 0x7C00, 0x03E0, 0x001F, 0x8000);
const ColorFormat kXrgb8888 = Format(32, 0xFF0000, 0xFF00, 0xFF, 0);
const ColorFormat kArgb8888 = Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
ColorFormat Rgb24() {
    ColorFormat f = {};
    SetupRGB24ColorFormat(&f);
    return f;
}
ColorFormat Palette8() {
    ColorFormat f = {};
    SetupPalette8ColorFormat(&f);
    for (int i = 0; i < 256; ++i)
        f.palette[i] = (uint32_t)i << 16 | (uint32_t)(255 - i) << 8 | (uint32_t)(i / 2);
    return f;
}

// A small image of one format: width x height pixels with a padded pitch, so that a
// slip of pitch shows.
struct Image {
    ColorFormat format;
    int width, height, pitch;
    std::vector<uint8_t> bytes;
    Image(const ColorFormat& f, int w, int h) : format(f), width(w), height(h) {
        pitch = w * f.pixelBytes + 7;
        bytes.assign((size_t)pitch * h, 0xCD);
    }
    uint32_t Get(int x, int y) const {
        uint32_t v = 0;
        std::memcpy(&v, &bytes[(size_t)y * pitch + x * format.pixelBytes], format.pixelBytes);
        return v;
    }
    void Set(int x, int y, uint32_t v) { std::memcpy(&bytes[(size_t)y * pitch + x * format.pixelBytes], &v, format.pixelBytes); }
};

struct Options {
    int mirror = 0, keyToAlpha = 0, dither = 0, alphaOnly = 0, alphaFromRed = 0, keySkip = 0;
    uint32_t key = 0;
};

int Convert(Image& dst, const Image& src, const Options& o = {}, const Image* alpha = nullptr, int dx = 0, int dy = 0) {
    RECT r = {0, 0, src.width, src.height};
    return ConvertPixelRect(dst.bytes.data(), dst.pitch, &dst.format, src.bytes.data(), src.pitch, &src.format,
                            alpha ? alpha->bytes.data() : nullptr, alpha ? alpha->pitch : 0,
                            alpha ? &alpha->format : nullptr, dx, dy, &r, o.mirror, o.keyToAlpha, o.key, o.dither,
                            o.alphaOnly, o.alphaFromRed, o.keySkip);
}

// One pixel through the blit: the common shape of most edge cases.
struct PixelCase {
    const char* name;
    ColorFormat dst;
    ColorFormat src;
    uint32_t in;
    Options options;
    uint32_t expected;
};

TEST(ConvertPixelRect, SinglePixelTable) {
    Options keyGrey;
    keyGrey.keyToAlpha = 1;
    keyGrey.key = 0x808080;
    Options ordered;
    ordered.dither = 1;
    const PixelCase cases[] = {
        {"565 white to X8R8G8B8 (fixed: low bits stay 0, top byte 0)", kXrgb8888, kRgb565, 0xFFFF, {}, 0x00F8FCF8},
        {"565 white to A8R8G8B8 (general: spread, full alpha)", kArgb8888, kRgb565, 0xFFFF, {}, 0xFFFFFFFF},
        {"565 red 16 to A8R8G8B8 spreads to 131", kArgb8888, kRgb565, 16u << 11, {}, 0xFF830000},
        {"X8R8G8B8 to 565", kRgb565, kXrgb8888, 0x00FF8040, {}, 0xFC08},
        {"565 to 555 drops green's low bit", kRgb555, kRgb565, 0xFFFF, {}, 0x7FFF},
        {"555 to 565 (fixed row keeps bit 5)", kRgb565, kRgb555, 0x7FFF, {}, 0xFFFF},
        {"24-bit to 565", kRgb565, Rgb24(), 0xFF8040, {}, 0xFC08},
        {"24-bit to 555 sets bit 15", kRgb555, Rgb24(), 0x000000, {}, 0x8000},
        {"24-bit to X8R8G8B8", kXrgb8888, Rgb24(), 0x123456, {}, 0xFF123456},
        {"24-bit key to A8R8G8B8: the key keeps alpha 0", kArgb8888, Rgb24(), 0x808080, keyGrey, 0x00808080},
        {"24-bit other to A8R8G8B8: full alpha", kArgb8888, Rgb24(), 0x808081, keyGrey, 0xFF808081},
        {"24-bit near key to A1R5G5B5: same top five bits, alpha 0", kArgb1555, Rgb24(), 0x848587, keyGrey, 0x4210},
        {"24-bit other to A1R5G5B5", kArgb1555, Rgb24(), 0x888888, keyGrey, 0xC631},
        {"X8R8G8B8 key to A8R8G8B8 (key copy)", kArgb8888, kXrgb8888, 0x00808080, keyGrey, 0x00808080},
        {"X8R8G8B8 other to A8R8G8B8 (key copy)", kArgb8888, kXrgb8888, 0x00102030, keyGrey, 0xFF102030},
        // The key copy looks at colour bits only: a clear fill bit does not hide the key.
        {"X1R5G5B5 key without bit 15 to A1R5G5B5", kArgb1555, kRgb555, 0x4210, keyGrey, 0x4210},
        {"X1R5G5B5 other to A1R5G5B5", kArgb1555, kRgb555, 0x0001, keyGrey, 0x8001},
        {"1x1 ordered dither rounds up any dropped bit", kRgb565, Rgb24(), 0x010101, ordered, 0x0821},
        {"1x1 ordered dither keeps exact values", kRgb565, Rgb24(), 0x080408, ordered, 0x0821},
        {"dither at the top stays at the top", kRgb565, Rgb24(), 0xFFFFFF, ordered, 0xFFFF},
    };
    for (const PixelCase& c : cases) {
        SCOPED_TRACE(c.name);
        Image src(c.src, 1, 1), dst(c.dst, 1, 1);
        src.Set(0, 0, c.in);
        EXPECT_EQ(Convert(dst, src, c.options), 0);
        EXPECT_EQ(dst.Get(0, 0), c.expected) << std::hex << "in 0x" << c.in;
    }
}

TEST(ConvertPixelRect, IndexCopyReturnsHighestIndex) {
    ColorFormat pal = Palette8();
    Image src(pal, 4, 2), dst(pal, 4, 2);
    std::fill(src.bytes.begin(), src.bytes.end(), 0);
    EXPECT_EQ(Convert(dst, src), 0);
    src.Set(2, 1, 200);
    src.Set(1, 0, 17);
    EXPECT_EQ(Convert(dst, src), 200);
    EXPECT_EQ(dst.Get(2, 1), 200u);
    EXPECT_EQ(dst.Get(1, 0), 17u);
}

TEST(ConvertPixelRect, RefusesEmptyRectanglesAndNonIndexSourcesForIndexDestinations) {
    ColorFormat pal = Palette8();
    Image src(kRgb565, 2, 2), dst(pal, 2, 2);
    std::vector<uint8_t> before = dst.bytes;
    EXPECT_EQ(Convert(dst, src), -1);
    EXPECT_EQ(dst.bytes, before);

    Image dst16(kRgb565, 2, 2);
    before = dst16.bytes;
    for (RECT r : {RECT{0, 0, 0, 2}, RECT{0, 0, 2, 0}, RECT{2, 0, 1, 2}}) {
        EXPECT_EQ(ConvertPixelRect(dst16.bytes.data(), dst16.pitch, &dst16.format, src.bytes.data(), src.pitch,
                                   &src.format, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0, 0, 0, 0, 0),
                  -1);
    }
    EXPECT_EQ(dst16.bytes, before);
}

TEST(ConvertPixelRect, MirrorWritesRowsRightToLeftOnEveryPath) {
    const ColorFormat* dsts[] = {&kXrgb8888, &kArgb8888, &kRgb565};
    for (const ColorFormat* df : dsts) {
        Image src(kXrgb8888, 3, 1), dst(*df, 3, 1);
        src.Set(0, 0, 0xFF0000);
        src.Set(1, 0, 0x00FF00);
        src.Set(2, 0, 0x0000FF);
        Options o;
        o.mirror = 1;
        ASSERT_EQ(Convert(dst, src, o), 0);
        Image plain(*df, 3, 1);
        ASSERT_EQ(Convert(plain, src), 0);
        EXPECT_EQ(dst.Get(0, 0), plain.Get(2, 0));
        EXPECT_EQ(dst.Get(1, 0), plain.Get(1, 0));
        EXPECT_EQ(dst.Get(2, 0), plain.Get(0, 0));
    }
}

TEST(ConvertPixelRect, KeySkipLeavesDestinationUnderKeyPixels) {
    // Same format and general conversion alike.
    const ColorFormat* dsts[] = {&kXrgb8888, &kRgb565};
    for (const ColorFormat* df : dsts) {
        Image src(kXrgb8888, 3, 1), dst(*df, 3, 1);
        src.Set(0, 0, 0x00112233);
        src.Set(1, 0, 0x00ABCDEF);
        src.Set(2, 0, 0x00112233);
        uint32_t old = dst.Get(1, 0);
        Options o;
        o.keySkip = 1;
        o.key = 0x00ABCDEF;
        ASSERT_EQ(Convert(dst, src, o), 0);
        EXPECT_EQ(dst.Get(1, 0), old);
        EXPECT_NE(dst.Get(0, 0), dst.Get(1, 0));
    }
}

TEST(ConvertPixelRect, AlphaImageWithoutAlphaMaskSuppliesItsGreyLevel) {
    // An "_a" file decodes to a grey palette image; its grey becomes the alpha.
    ColorFormat grey = {};
    SetupGray8ColorFormat(&grey);
    Image src(kXrgb8888, 2, 1), alpha(grey, 2, 1), dst(kArgb8888, 2, 1);
    src.Set(0, 0, 0x102030);
    src.Set(1, 0, 0x405060);
    alpha.Set(0, 0, 0x40);
    alpha.Set(1, 0, 0xFF);
    ASSERT_EQ(Convert(dst, src, {}, &alpha), 0);
    EXPECT_EQ(dst.Get(0, 0), 0x40102030u);
    EXPECT_EQ(dst.Get(1, 0), 0xFF405060u);

    // The same into a 16-bit destination with a 4-bit alpha field is narrowed too.
    ColorFormat argb4444 = Format(16, 0x0F00, 0x00F0, 0x000F, 0xF000);
    Image dst16(argb4444, 2, 1);
    ASSERT_EQ(Convert(dst16, src, {}, &alpha), 0);
    EXPECT_EQ(dst16.Get(0, 0), 0x4123u);
    EXPECT_EQ(dst16.Get(1, 0), 0xF456u);
}

TEST(ConvertPixelRect, AlphaOnlyAndAlphaFromRedFillSingleChannels) {
    // The single-channel MEMIMG layout: every mask 0xFF.
    ColorFormat single = {};
    single.colorBitDepth = 8;
    single.pixelBytes = 1;
    single.redWidth = single.greenWidth = single.blueWidth = single.alphaWidth = 8;
    single.redMask = single.greenMask = single.blueMask = single.alphaMask = 0xFF;
    Image src(kRgb565, 2, 1), dst(single, 2, 1);
    src.Set(0, 0, 0xF800);
    src.Set(1, 0, 16u << 11);
    Options o;
    o.alphaOnly = 1;
    o.alphaFromRed = 1;
    ASSERT_EQ(Convert(dst, src, o), 0);
    EXPECT_EQ(dst.Get(0, 0), 255u);
    EXPECT_EQ(dst.Get(1, 0), 131u);
}

TEST(ConvertPixelRect, ErrorCarryDitherRunsAcrossPixels) {
    // 8 to 5 bits drops 3 bits: 0x03 each time carries over after three pixels.
    Image src(Rgb24(), 4, 1), dst(kRgb565, 4, 1);
    for (int x = 0; x < 4; ++x)
        src.Set(x, 0, 0x030000);
    Options o;
    o.dither = 2;
    ASSERT_EQ(Convert(dst, src, o), 0);
    EXPECT_EQ(dst.Get(0, 0), 0x0000u);
    EXPECT_EQ(dst.Get(1, 0), 0x0000u);
    EXPECT_EQ(dst.Get(2, 0), 0x0800u);  // 3 + 3 + 3 = 9 > 7
    EXPECT_EQ(dst.Get(3, 0), 0x0000u);  // carry 1 + 3 = 4
}

TEST(ConvertPixelRect, OrderedDitherFollowsTheMatrix) {
    // A dropped value of 4 of 8 rounds up where the matrix threshold (t x 8) >> 4 is
    // below 4, that is where t < 8.
    Image src(Rgb24(), 4, 4), dst(kRgb565, 4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            src.Set(x, y, 0x000004);
    Options o;
    o.dither = 1;
    ASSERT_EQ(Convert(dst, src, o), 0);
    const int t[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(dst.Get(x, y), t[y * 4 + x] < 8 ? 1u : 0u) << x << "," << y;
}

TEST(ConvertPixelRect, PaletteSourcesUseThePaletteEntry) {
    ColorFormat pal = Palette8();
    Image src(pal, 2, 1);
    src.Set(0, 0, 0);
    src.Set(1, 0, 255);
    Image d565(kRgb565, 2, 1), d555(kRgb555, 2, 1), d8888(kXrgb8888, 2, 1), dA(kArgb8888, 2, 1);
    ASSERT_EQ(Convert(d565, src), 0);
    ASSERT_EQ(Convert(d555, src), 0);
    ASSERT_EQ(Convert(d8888, src), 0);
    EXPECT_EQ(d565.Get(0, 0), 0x07E0u);          // (0, 255, 0)
    EXPECT_EQ(d565.Get(1, 0), 0xF80Fu);          // (255, 0, 127)
    EXPECT_EQ(d555.Get(1, 0), 0xFC0Fu);          // bit 15 set
    EXPECT_EQ(d8888.Get(1, 0), 0xFFFF007Fu);
    Options key;
    key.keyToAlpha = 1;
    key.key = 0x00FF00;  // palette entry 0
    ASSERT_EQ(Convert(dA, src, key), 0);
    EXPECT_EQ(dA.Get(0, 0), 0x0000FF00u);
    EXPECT_EQ(dA.Get(1, 0), 0xFFFF007Fu);
}

TEST(ConvertPixelRect, InPlaceConversionReadsBeforeWriting) {
    // The software-draw bracket converts a work surface in place, 555 to 565 and back.
    Image img(kRgb555, 19, 3);
    std::mt19937 gen(7);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 19; ++x)
            img.Set(x, y, gen() & 0x7FFF);
    Image expect = img;
    ColorFormat f565 = kRgb565;
    RECT r = {0, 0, 19, 3};
    ASSERT_EQ(ConvertPixelRect(img.bytes.data(), img.pitch, &f565, img.bytes.data(), img.pitch, &img.format, nullptr,
                               0, nullptr, 0, 0, &r, 0, 0, 0, 0, 0, 0, 0),
              0);
    ASSERT_EQ(ConvertPixelRect(img.bytes.data(), img.pitch, &img.format, img.bytes.data(), img.pitch, &f565, nullptr,
                               0, nullptr, 0, 0, &r, 0, 0, 0, 0, 0, 0, 0),
              0);
    EXPECT_EQ(img.bytes, expect.bytes);
}

TEST(ConvertPixelRect, SubRectangleLandsAtTheDestinationPosition) {
    Image src(kXrgb8888, 4, 4), dst(kXrgb8888, 5, 5);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            src.Set(x, y, (uint32_t)(y * 16 + x));
    std::vector<uint8_t> before = dst.bytes;
    RECT r = {1, 2, 3, 4};
    ASSERT_EQ(ConvertPixelRect(dst.bytes.data(), dst.pitch, &dst.format, src.bytes.data(), src.pitch, &src.format,
                               nullptr, 0, nullptr, 3, 1, &r, 0, 0, 0, 0, 0, 0, 0),
              0);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            bool inside = x >= 3 && x < 5 && y >= 1 && y < 3;
            uint32_t expect;
            std::memcpy(&expect, &before[(size_t)y * dst.pitch + x * 4], 4);
            if (inside)
                expect = (uint32_t)((y - 1 + 2) * 16 + (x - 3 + 1));
            EXPECT_EQ(dst.Get(x, y), expect) << x << "," << y;
        }
}

// The general conversion without options maps channels through tables; every 16-bit
// value must come out as the channel formulas say.
TEST(ConvertPixelRect, GeneralConversionOfEverySixteenBitValue) {
    Image src(kRgb565, 256, 256);
    for (int i = 0; i < 65536; ++i)
        src.Set(i % 256, i / 256, (uint32_t)i);
    Image wide(kArgb8888, 256, 256);
    ColorFormat argb4444 = Format(16, 0x0F00, 0x00F0, 0x000F, 0xF000);
    Image narrow(argb4444, 256, 256);
    ASSERT_EQ(Convert(wide, src), 0);
    ASSERT_EQ(Convert(narrow, src), 0);
    for (int i = 0; i < 65536; ++i) {
        uint32_t r = (uint32_t)i >> 11, g = (uint32_t)i >> 5 & 63, b = (uint32_t)i & 31;
        uint32_t r8 = (r << 3) + r * 7 / 31, g8 = (g << 2) + g * 3 / 63, b8 = (b << 3) + b * 7 / 31;
        ASSERT_EQ(wide.Get(i % 256, i / 256), 0xFF000000u | r8 << 16 | g8 << 8 | b8) << i;
        ASSERT_EQ(narrow.Get(i % 256, i / 256), 0xF000u | (r >> 1) << 8 | (g >> 2) << 4 | (b >> 1)) << i;
    }
}

// Every fast row must give its reference's bytes, over lengths that exercise the tails
// and unaligned starts.
TEST(ConvertRows, FastRowsMatchTheirReferences) {
#if defined(__SSE2__)
    std::mt19937 gen(1234);
    std::vector<uint8_t> src(4 * 80 + 3);
    for (uint8_t& b : src)
        b = (uint8_t)gen();
    for (int n : {0, 1, 3, 4, 7, 8, 9, 15, 16, 17, 33, 64}) {
        for (int offset : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "n " << n << " offset " << offset);
            const uint8_t* s = src.data() + offset;
            std::vector<uint8_t> a(4 * 80 + 8, 0x5A), b(4 * 80 + 8, 0x5A);
            convert_rows::Rgb565To8888Ref(a.data() + offset, s, n);
            convert_rows::Rgb565To8888Sse2(b.data() + offset, s, n);
            EXPECT_EQ(a, b);
            convert_rows::Rgb8888To565Ref(a.data() + offset, s, n);
            convert_rows::Rgb8888To565Sse2(b.data() + offset, s, n);
            EXPECT_EQ(a, b);
            convert_rows::Rgb565To555Ref(a.data() + offset, s, n);
            convert_rows::Rgb565To555Sse2(b.data() + offset, s, n);
            EXPECT_EQ(a, b);
            convert_rows::Rgb555To565Ref(a.data() + offset, s, n);
            convert_rows::Rgb555To565Sse2(b.data() + offset, s, n);
            EXPECT_EQ(a, b);
            convert_rows::Rgb24To8888Ref(a.data() + offset, s, n);
            convert_rows::Rgb24To8888Sse2(b.data() + offset, s, n);
            EXPECT_EQ(a, b);
            uint32_t key = 0;
            std::memcpy(&key, s, 4);  // the first pixel is the key: at least one match
            convert_rows::KeyAlpha32Ref(a.data() + offset, s, n, 0xFFFFFF, 0xFF000000u, key);
            convert_rows::KeyAlpha32Sse2(b.data() + offset, s, n, 0xFFFFFF, 0xFF000000u, key);
            EXPECT_EQ(a, b);
            convert_rows::Rgb24Key8888Ref(a.data() + offset, s, n, key);
            convert_rows::Rgb24Key8888Sse2(b.data() + offset, s, n, key);
            EXPECT_EQ(a, b);
        }
    }
#else
    GTEST_SKIP() << "no SSE2 rows on this processor";
#endif
}

}  // namespace

TEST(ConvertPixelRect, Rgb24KeyToAlphaRowsMatchThePixelRule) {
    // 24-bit pictures with a colour key become A8R8G8B8 a row at a time: every width from
    // 1 (all tail) past the four-pixel blocks, the key's pixels scattered through.
    const ColorFormat rgb24 = Format(24, 0xFF0000, 0xFF00, 0xFF, 0);
    std::mt19937 gen(24);
    for (int w = 1; w <= 21; ++w) {
        Image src(rgb24, w, 3), dst(kArgb8888, w, 3);
        const uint32_t key = gen() & 0xFFFFFF;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x)
                src.Set(x, y, gen() % 3 == 0 ? key : gen() & 0xFFFFFF);
        Options o;
        o.keyToAlpha = 1;
        o.key = key | 0xAB000000u;  // the key's fourth byte is not compared
        ASSERT_EQ(Convert(dst, src, o), 0);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x) {
                const uint32_t rgb = src.Get(x, y) & 0xFFFFFF;
                EXPECT_EQ(dst.Get(x, y), rgb == key ? rgb : rgb | 0xFF000000u) << "width " << w << " at " << x << "," << y;
            }
    }
}

}  // namespace QzDrawConvert_test
