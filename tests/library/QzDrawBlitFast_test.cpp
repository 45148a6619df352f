// The blitters' fast paths against their general loops: thousands of seeded random
// calls, each drawn once with the fast paths allowed and once through the general loops
// only, onto identical random destinations, compared byte for byte. A CRC of every
// output is pinned so that a change of either path shows even where both agree.
// A failing case prints its number and settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "MemImgPixels.h"
#include "QzDraw2D.h"
#include "QzDrawBlit.h"
#include "QzDrawBlitFast.h"
#include "QzDrawBlitPixel.h"
#include "QzDrawDevice.h"
#include "QzDrawMemImg.h"
#include "QzDrawScreen.h"
#include "QzGraphicsDrawState.h"
#include "QzSimdPixel.h"

namespace QzDrawBlitFast_test {

namespace {

uint32_t Crc32(uint32_t crc, const uint8_t* p, size_t n) {
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

struct Rng {
    std::mt19937 g;
    explicit Rng(uint32_t seed) : g(seed) {}
    uint32_t Next() { return g(); }
    int Below(int n) { return (int)(g() % (uint32_t)n); }
    bool OneIn(int n) { return Below(n) == 0; }
};

// The settings of one random call, printed when it fails.
struct Case {
    int number = 0;
    int type = 1, kind = 0;  // kind 0 direct, 1 per-pixel alpha, 2 palette
    int sw = 1, sh = 1, dw = 1, dh = 1, x = 0, y = 0;
    RECT area{};
    int transparent = 0;
    bool runs = false, blend = false, mmx = false;
    int mode = 0, P = 255;
    uint32_t bright = 0xFFFFFF, key = 0;
    RECT rect{};  // scaled calls only
};

std::ostream& operator<<(std::ostream& os, const Case& c) {
    return os << "case " << c.number << ": type " << c.type << " kind " << c.kind << " src " << c.sw << "x" << c.sh
              << " dst " << c.dw << "x" << c.dh << " at " << c.x << "," << c.y << " area " << c.area.left << ","
              << c.area.top << "-" << c.area.right << "," << c.area.bottom << " rect " << c.rect.left << ","
              << c.rect.top << "-" << c.rect.right << "," << c.rect.bottom << " transparent " << c.transparent
              << " runs " << c.runs << " blend " << c.blend << " mmx " << c.mmx << " mode " << c.mode << " P " << c.P
              << std::hex << " bright " << c.bright << " key " << c.key << std::dec;
}

class BlitFastTest : public testing::Test {
public:
    void SetUp() override {
        BuildBlendLookupTables();
        for (int g = 0; g < 256; ++g)
            BlendGraphTable[g] = (uint8_t)g;
        g_blitGeneralOnly = false;
    }
    void TearDown() override {
        g_blitGeneralOnly = false;
        g_drawState.drawArea = {0, 0, 640, 480};
        g_drawState.blendMode = 0;
        g_drawState.blendParam = 255;
        g_drawState.brightColor = 0xFFFFFF;
        g_screen.mmxAvailable = 0;
    }

    struct Image {
        MEMIMG m{};
        Image(int w, int h, int type, int palette, int alpha, uint32_t key, int extras) {
            EXPECT_EQ(SetupMEMIMG(&m, w, h, -1, key, type, palette, alpha, extras), 0);
            // The padding past each line's pixels goes into the CRC: make it known.
            std::memset(m.pixels, 0, Bytes());
        }
        ~Image() { ReleaseMEMIMG(&m); }
        size_t Bytes() const { return (size_t)m.pitch * m.height; }
    };

    // A random call's source: keyed pixels, alphas 0 and 255 among the rest, and for
    // palette sources random entries.
    static void FillSource(MEMIMG* s, Rng& rng, const Case& c) {
        const int pb = s->format->pixelBytes;
        for (int y = 0; y < s->height; ++y)
            for (int x = 0; x < s->width; ++x) {
                uint32_t v = rng.Next();
                if (c.kind == 2)
                    v = rng.OneIn(4) ? c.key : v & 0xFF;
                else if (c.kind == 0 && rng.OneIn(4))
                    v = c.key;
                else if (c.kind == 1) {
                    int pick = rng.Below(4);
                    uint32_t a = pick == 0 ? 0 : pick == 1 ? 255 : v >> 24;
                    v = c.type == 1 ? (v & 0xFFFFFF) | a << 24 : (v & 0xFFFF) | a << 16;
                }
                std::memcpy(s->pixels + y * s->pitch + x * pb, &v, pb);
            }
        // Long runs of one kind, so that the run tables hold long spans and the four-pixel
        // forms meet whole blocks of transparent and opaque pixels.
        if (s->height > 1 && s->width > 8) {
            const int y = rng.Below(s->height);
            for (int x = 0; x < s->width / 2; ++x) {
                uint32_t v = c.kind == 1 ? 0u : c.key;
                std::memcpy(s->pixels + y * s->pitch + x * pb, &v, pb);
            }
            if (c.kind == 1)
                for (int x = s->width / 2; x < s->width; ++x)
                    s->pixels[y * s->pitch + x * pb + (c.type == 1 ? 3 : 2)] = 0xFF;
        }
        if (c.kind == 2)
            for (int i = 0; i < 256; ++i) {
                uint32_t e = rng.Next();
                std::memcpy((uint8_t*)s->palette + i * (c.type == 1 ? 4 : 2), &e, c.type == 1 ? 4 : 2);
            }
    }

    static void RandomSettings(Case& c, Rng& rng) {
        static const int kParams[] = {0, 1, 127, 128, 254, 255};
        c.type = rng.Below(2);
        c.kind = rng.Below(3);
        c.mode = rng.OneIn(20) ? (rng.OneIn(2) ? -1 : 5) : rng.Below(5);
        c.P = rng.OneIn(3) ? rng.Below(256) : kParams[rng.Below(6)];
        const int b = rng.Below(6);
        c.bright = b < 3 ? 0xFFFFFFu : b == 3 ? rng.Next() : b == 4 ? (rng.Next() | 0xFFFFFFu) : 0u;
        c.blend = rng.OneIn(5);
        c.mmx = rng.OneIn(2);
        c.transparent = rng.Below(3);
        if (c.kind == 2)
            c.key = (uint32_t)rng.Below(256);
        else if (c.type == 1)
            c.key = rng.Next();
        else
            c.key = rng.OneIn(8) ? rng.Next() : rng.Next() & 0xFFFF;  // keys beyond 16 bits match nothing
    }

    static void Apply(const Case& c) {
        g_drawState.drawArea = c.area;
        g_drawState.blendMode = c.mode;
        g_drawState.blendParam = c.P;
        g_drawState.brightColor = c.bright;
        g_screen.mmxAvailable = c.mmx ? 1 : 0;
    }

    // Draws the case both ways; false (with a failure) when the bytes differ.
    template <class Draw>
    static bool BothWays(const Case& c, Image& dst, Draw draw, uint32_t* crc) {
        std::vector<uint8_t> before(dst.m.pixels, dst.m.pixels + dst.Bytes());
        Apply(c);
        g_blitGeneralOnly = true;
        draw(&dst.m);
        std::vector<uint8_t> general(dst.m.pixels, dst.m.pixels + dst.Bytes());
        std::memcpy(dst.m.pixels, before.data(), before.size());
        g_blitGeneralOnly = false;
        draw(&dst.m);
        *crc = Crc32(*crc, general.data(), general.size());
        if (std::memcmp(general.data(), dst.m.pixels, general.size()) != 0) {
            size_t at = 0;
            while (general[at] == dst.m.pixels[at])
                ++at;
            ADD_FAILURE() << c << ": first differing byte " << at << " (row " << at / dst.m.pitch << ", byte "
                          << at % dst.m.pitch << "): general " << (int)general[at] << " fast " << (int)dst.m.pixels[at];
            return false;
        }
        return true;
    }
};

// The 32-bit cases run at both widths of the fast paths: four pixels a vector, and eight
// where the processor has AVX2 (skipped where it has not).
class BlitFastWidthTest : public BlitFastTest, public testing::WithParamInterface<bool> {
public:
    void SetUp() override {
        BlitFastTest::SetUp();
        const bool wide = GetParam();
#if defined(__x86_64__)
        if (wide && !__builtin_cpu_supports("avx2"))
            GTEST_SKIP() << "the processor has no AVX2";
#else
        if (wide)
            GTEST_SKIP() << "no wide forms on this processor";
#endif
        g_blitNarrowOnly = !wide;
    }
    void TearDown() override {
        g_blitNarrowOnly = false;
        BlitFastTest::TearDown();
    }
};
INSTANTIATE_TEST_SUITE_P(Widths, BlitFastWidthTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Wide" : "Narrow"; });

TEST_P(BlitFastWidthTest, PutMEMIMGFastEqualsGeneral) {
    Rng rng(20261211);
    uint32_t crc = 0;
    for (int n = 0; n < 4000; ++n) {
        Case c;
        c.number = n;
        RandomSettings(c, rng);
        // Widths 1 to 300 (odd ones and 1 often), heights keeping a case small.
        c.sw = rng.OneIn(8) ? 1 : 1 + rng.Below(300);
        c.sh = 1 + rng.Below(std::max(1, std::min(300, 3000 / c.sw)));
        c.dw = 1 + rng.Below(300);
        c.dh = 1 + rng.Below(std::max(1, std::min(300, 6000 / c.dw)));
        c.runs = c.transparent == 1 && !rng.OneIn(4);
        Image src(c.sw, c.sh, c.type, c.kind == 2, c.kind == 1, c.key, c.runs ? 1 : 0);
        FillSource(&src.m, rng, c);
        if (c.runs) {
            BuildMEMIMGRuns(&src.m);
            src.m.runsValid = 1;
        }
        Image blend(c.sw + rng.Below(3), c.sh + rng.Below(3), 2, 0, 0, 0, 0);
        qztest::FillMemImgRandomly(&blend.m, rng.g);
        Image dst(c.dw, c.dh, c.type, 0, 0, 0, 0);
        qztest::FillMemImgRandomly(&dst.m, rng.g);
        if (rng.OneIn(2)) {
            // Wholly inside: the run tables are walked when the call asks for them.
            c.x = rng.Below(std::max(1, c.dw - c.sw + 1));
            c.y = rng.Below(std::max(1, c.dh - c.sh + 1));
            c.area = {0, 0, 640, 480};
        } else {
            c.x = rng.Below(c.dw + c.sw + 1) - c.sw;
            c.y = rng.Below(c.dh + c.sh + 1) - c.sh;
            c.area.left = rng.Below(c.dw + 1) - 3;
            c.area.top = rng.Below(c.dh + 1) - 3;
            c.area.right = c.area.left + rng.Below(c.dw + 5);
            c.area.bottom = c.area.top + rng.Below(c.dh + 5);
        }
        if (!BothWays(
                c, dst,
                [&](MEMIMG* d) { PutMEMIMG(d, &src.m, c.x, c.y, c.transparent, c.blend ? &blend.m : nullptr); }, &crc))
            break;
    }
    std::printf("PutMEMIMG outputs CRC %08X\n", crc);
    EXPECT_EQ(crc, 0xDBDF6056u);
}

TEST_P(BlitFastWidthTest, PutMEMIMGScaledFastEqualsGeneral) {
    Rng rng(20261212);
    uint32_t crc = 0;
    for (int n = 0; n < 3000; ++n) {
        Case c;
        c.number = n;
        RandomSettings(c, rng);
        c.sw = rng.OneIn(8) ? 1 : 1 + rng.Below(rng.OneIn(4) ? 300 : 40);
        c.sh = 1 + rng.Below(std::max(1, std::min(300, 1200 / c.sw)));
        c.dw = 1 + rng.Below(300);
        c.dh = 1 + rng.Below(std::max(1, std::min(300, 6000 / c.dw)));
        Image src(c.sw, c.sh, c.type, c.kind == 2, c.kind == 1, c.key, 0);
        FillSource(&src.m, rng, c);
        Image blend(c.sw, c.sh, 2, 0, 0, 0, 0);
        qztest::FillMemImgRandomly(&blend.m, rng.g);
        Image dst(c.dw, c.dh, c.type, 0, 0, 0, 0);
        qztest::FillMemImgRandomly(&dst.m, rng.g);
        // Integer steps (2x, 3x), fractional ones, shrinks and mirrors, clipped or not.
        auto extent = [&](int s) {
            int pick = rng.Below(4);
            return pick == 0 ? 2 * s : pick == 1 ? 3 * s : pick == 2 ? 1 + rng.Below(3 * s + 2) : std::max(1, s / 2);
        };
        const int w = std::min(400, extent(c.sw)), h = std::min(400, extent(c.sh));
        c.rect.left = rng.Below(c.dw + 40) - 20;
        c.rect.top = rng.Below(c.dh + 40) - 20;
        c.rect.right = c.rect.left + w;
        c.rect.bottom = c.rect.top + h;
        if (rng.OneIn(4))
            std::swap(c.rect.left, c.rect.right);
        if (rng.OneIn(4))
            std::swap(c.rect.top, c.rect.bottom);
        c.area = {0, 0, 640, 480};
        if (rng.OneIn(2)) {
            c.area.left = rng.Below(c.dw + 1) - 3;
            c.area.top = rng.Below(c.dh + 1) - 3;
            c.area.right = c.area.left + rng.Below(c.dw + 5);
            c.area.bottom = c.area.top + rng.Below(c.dh + 5);
        }
        if (!BothWays(
                c, dst,
                [&](MEMIMG* d) { PutMEMIMGScaled(d, &src.m, &c.rect, c.transparent, c.blend ? &blend.m : nullptr); },
                &crc))
            break;
    }
    std::printf("PutMEMIMGScaled outputs CRC %08X\n", crc);
    EXPECT_EQ(crc, 0xB76F4794u);
}

// Add and subtract on R5G6B5, plain and scaled: direct and per-pixel alpha sources (the
// 16-bit fast paths' own), with keyed pixels next to drawn ones so that the plain
// blitter's pairs at P 255 meet every mix of keyed and drawn pixels, and run tables that
// no longer match every pixel; now and then a palette source, bright or a blend graphic
// (those fall through).
TEST_F(BlitFastTest, AddSubtract16FastEqualsGeneral) {
    Rng rng(20261213);
    uint32_t crc = 0;
    for (int n = 0; n < 3000; ++n) {
        Case c;
        c.number = n;
        RandomSettings(c, rng);
        c.type = 0;
        const int pick = rng.Below(8);
        c.kind = pick < 5 ? 0 : pick < 7 ? 1 : 2;
        c.mode = 2 + rng.Below(2);
        c.bright = rng.OneIn(8) ? rng.Next() : 0xFFFFFF;
        c.blend = rng.OneIn(10);
        c.key = c.kind == 2 ? (uint32_t)rng.Below(256) : rng.OneIn(8) ? rng.Next() : rng.Next() & 0xFFFF;
        const bool scaled = rng.OneIn(3);
        c.sw = rng.OneIn(6) ? 1 + rng.Below(3) : 1 + rng.Below(300);
        c.sh = 1 + rng.Below(std::max(1, std::min(300, 2000 / c.sw)));
        c.dw = 1 + rng.Below(300);
        c.dh = 1 + rng.Below(std::max(1, std::min(300, 5000 / c.dw)));
        c.runs = !scaled && c.transparent == 1 && rng.OneIn(2);
        Image src(c.sw, c.sh, 0, c.kind == 2, c.kind == 1, c.key, c.runs ? 1 : 0);
        FillSource(&src.m, rng, c);
        if (c.runs) {
            BuildMEMIMGRuns(&src.m);
            src.m.runsValid = 1;
            // The tables say what the pixels were: the general path follows them.
            for (int k = rng.OneIn(3) ? 8 : 0; k > 0; --k) {
                const uint32_t v = rng.Next();
                std::memcpy(src.m.pixels + rng.Below(c.sh) * src.m.pitch + rng.Below(c.sw) * src.m.format->pixelBytes,
                            &v, (size_t)src.m.format->pixelBytes);
            }
        }
        Image blend(c.sw, c.sh, 2, 0, 0, 0, 0);
        qztest::FillMemImgRandomly(&blend.m, rng.g);
        Image dst(c.dw, c.dh, 0, 0, 0, 0, 0);
        qztest::FillMemImgRandomly(&dst.m, rng.g);
        // Placed anywhere over the destination; half the calls clipped to a random area
        // as well, the rest whole when they fit (then the run tables are walked).
        c.x = rng.Below(c.dw + c.sw + 1) - c.sw;
        c.y = rng.Below(c.dh + c.sh + 1) - c.sh;
        c.area = {0, 0, 640, 480};
        if (rng.OneIn(2)) {
            c.area = {rng.Below(c.dw + 1) - 3, rng.Below(c.dh + 1) - 3, 0, 0};
            c.area.right = c.area.left + rng.Below(c.dw + 5);
            c.area.bottom = c.area.top + rng.Below(c.dh + 5);
        } else if (c.sw <= c.dw && c.sh <= c.dh) {
            c.x = rng.Below(c.dw - c.sw + 1);
            c.y = rng.Below(c.dh - c.sh + 1);
        }
        // Scaled: up to three times the source's size or down to one pixel, mirrored now and then.
        c.rect = {c.x, c.y, c.x + 1 + rng.Below(3 * c.sw), c.y + 1 + rng.Below(3 * c.sh)};
        if (rng.OneIn(4))
            std::swap(c.rect.left, c.rect.right);
        const MEMIMG* bg = c.blend ? &blend.m : nullptr;
        auto draw = [&](MEMIMG* d) {
            if (scaled)
                PutMEMIMGScaled(d, &src.m, &c.rect, c.transparent, bg);
            else
                PutMEMIMG(d, &src.m, c.x, c.y, c.transparent, bg);
        };
        if (!BothWays(c, dst, draw, &crc))
            break;
    }
    std::printf("16-bit add and subtract outputs CRC %08X\n", crc);
    EXPECT_EQ(crc, 0x5ECCB9BBu);
}

#if QZ_SIMD_PIXEL
// The R5G6B5 vector forms against the word forms, on every pair of values of the low
// eleven bits (blue, green and green's carry into red) and of the high eleven (green's
// low bit, green and red), the other bits random. The pair forms get the second pixel
// so and a random first, whose red carries or keeps either way, its partner drawn or
// keyed; the first pixel of a pair is checked against the two-pixel word too.
TEST(SimdPixelTest, Packed16FormsEqualWordForms) {
    using namespace simdpx;
    std::mt19937 rng(16);
    int bad = 0;
    auto check = [&](const char* name, const uint16_t* v, const uint16_t* d, const uint16_t* got, uint32_t want,
                     int lane) {
        if (got[lane] != want && bad++ < 8)
            ADD_FAILURE() << std::hex << name << " lane " << lane << " v " << v[lane] << " d " << d[lane] << ": "
                          << got[lane] << ", word form " << want;
    };
    for (int high = 0; high < 2; ++high) {
        const int shift = high ? 5 : 0;
        const uint32_t rest = high ? 0x001Fu : 0xF800u;
        for (uint32_t x = 0; x < 2048; ++x)
            for (uint32_t y0 = 0; y0 < 2048; y0 += 4) {
                alignas(16) uint16_t v[8], d[8], add[8], addLow[8], sub[8], addPair[8], subPair[8];
                for (int i = 0; i < 8; ++i) {
                    // Lanes 1, 3, 5, 7 take the values under test; 0, 2, 4, 6 are random.
                    const uint32_t r = rng();
                    v[i] = (uint16_t)(i % 2 ? (r & rest) | x << shift : r);
                    d[i] = (uint16_t)(i % 2 ? (r >> 16 & rest) | (y0 + i / 2) << shift : r >> 16);
                }
                const V vv = _mm_load_si128((const V*)v), dd = _mm_load_si128((const V*)d);
                // Pairs 0-1 and 4-5 drawn whole, 2-3 and 6-7 with a keyed first pixel.
                const V whole = _mm_setr_epi32(0x10000, 0, 0x10000, 0);
                _mm_store_si128((V*)add, PackedAddNoLowBits16(vv, dd));
                _mm_store_si128((V*)addLow, PackedAdd16(vv, dd));
                _mm_store_si128((V*)sub, PackedSubtract16(vv, dd));
                _mm_store_si128((V*)addPair, PackedAddNoLowBitsPairs16(vv, dd, whole));
                _mm_store_si128((V*)subPair, PackedSubtractPairs16(vv, dd, whole));
                for (int i = 0; i < 8; ++i) {
                    check("add", v, d, add, blitpx::PackedAddNoLowBits16(v[i], d[i]), i);
                    check("add with low bits", v, d, addLow, blitpx::PackedAdd16(v[i], d[i]), i);
                    check("subtract", v, d, sub, blitpx::PackedSubtract16(v[i], d[i]), i);
                    const int first = i & ~1;
                    const uint32_t pv = v[first] | (uint32_t)v[first + 1] << 16,
                                   pd = d[first] | (uint32_t)d[first + 1] << 16;
                    const bool pair = i % 4 < 2;
                    const int part = i % 2 * 16;
                    check("add pair", v, d, addPair,
                          pair ? blitpx::PackedAddNoLowBitsPair16(pv, pd) >> part & 0xFFFF
                               : blitpx::PackedAddNoLowBits16(v[i], d[i]),
                          i);
                    check("subtract pair", v, d, subPair,
                          pair ? blitpx::PackedSubtractPair16(pv, pd) >> part & 0xFFFF
                               : blitpx::PackedSubtract16(v[i], d[i]),
                          i);
                }
            }
    }
}

// The fields of every R5G6B5 pixel weighted by every alpha (256 for opaque) and scaled by
// every P the multiplier serves: floor(c x a / 256), then the ScaleTable row of P.
TEST(SimdPixelTest, WeightAndScaleFields16EqualTheTables) {
    using namespace simdpx;
    BuildBlendLookupTables();
    int bad = 0;
    auto check = [&](const char* what, int k, uint32_t s, uint32_t got, uint32_t want) {
        if (got != want && bad++ < 5)
            ADD_FAILURE() << what << " " << k << std::hex << " s " << s << ": " << got << ", tables " << want << std::dec;
    };
    for (uint32_t s0 = 0; s0 < 65536; s0 += 8) {
        const V s = _mm_add_epi16(Splat16((int)s0), _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7));
        alignas(16) uint16_t out[8];
        for (int a = 0; a <= 256; ++a) {
            _mm_store_si128((V*)out, AlphaFields16(s, Splat16(a)));
            for (uint32_t i = 0; i < 8; ++i) {
                const blitpx::Rgb f = blitpx::Split16(s0 + i);
                check("alpha", a, s0 + i, out[i], blitpx::Pack16({f.r * a >> 8, f.g * a >> 8, f.b * a >> 8}));
            }
        }
        for (int P = 0; P < 255; ++P) {
            _mm_store_si128((V*)out, ScaleFields16(s, ScaleMultiplier(P)));
            for (uint32_t i = 0; i < 8; ++i) {
                const blitpx::Rgb f = blitpx::Split16(s0 + i);
                check("P", P, s0 + i, out[i], blitpx::Pack16({ScaleTable[P][f.r], ScaleTable[P][f.g], ScaleTable[P][f.b]}));
            }
        }
    }
}
#endif

#if QZ_SIMD_PIXEL
// The vector identities of the fast paths against MixChannel, over every input: MixHigh
// for every source, destination and weight, MixOpaque (weight 255) for every pair.
TEST(SimdPixelTest, MixFormsEqualMixChannelForEveryInput) {
    using namespace simdpx;
    int bad = 0;
    for (int a = 0; a < 256 && bad == 0; ++a) {
        V wlo, whi;
        AlphaWeights128(Splat32((uint32_t)a), wlo, whi);
        for (int d = 0; d < 256; ++d)
            for (int s0 = 0; s0 < 256; s0 += 8) {
                alignas(16) uint16_t out[8];
                const V s = _mm_setr_epi16((short)s0, (short)(s0 + 1), (short)(s0 + 2), (short)(s0 + 3), (short)(s0 + 4),
                                           (short)(s0 + 5), (short)(s0 + 6), (short)(s0 + 7));
                _mm_store_si128((V*)out, MixHigh(s, Splat16(d), wlo));
                for (int i = 0; i < 8; ++i) {
                    // Lanes 3 and 7 are the fourth bytes, weight 0: the destination stays.
                    const int want = i % 4 == 3 ? d : blitpx::MixChannel(s0 + i, d, a, 8);
                    if (out[i] != want && bad++ < 5)
                        ADD_FAILURE() << "MixHigh s " << s0 + i << " d " << d << " a " << a << ": " << out[i]
                                      << ", MixChannel " << want;
                }
            }
    }
    for (int d = 0; d < 256; ++d)
        for (int s0 = 0; s0 < 256; s0 += 16) {
            alignas(16) uint8_t in[16], out[16];
            for (int i = 0; i < 16; ++i)
                in[i] = (uint8_t)(s0 + i);
            _mm_store_si128((V*)out, MixOpaque(_mm_load_si128((const V*)in), _mm_set1_epi8((char)d)));
            for (int i = 0; i < 16; ++i) {
                const int want = i % 4 == 3 ? d : blitpx::MixChannel(s0 + i, d, 255, 8);
                if (out[i] != want && bad++ < 10)
                    ADD_FAILURE() << "MixOpaque s " << s0 + i << " d " << d << ": " << (int)out[i] << ", MixChannel "
                                  << want;
            }
        }
}

// The contribution of the add and subtract at P: the ScaleTable entry for every P the
// multiplier serves and every source byte.
TEST(SimdPixelTest, ScaleByEqualsScaleTable) {
    using namespace simdpx;
    BuildBlendLookupTables();
    int bad = 0;
    for (int P = 0; P < 255; ++P)
        for (int s0 = 0; s0 < 256; s0 += 8) {
            alignas(16) uint16_t out[8];
            const V s = _mm_setr_epi16((short)s0, (short)(s0 + 1), (short)(s0 + 2), (short)(s0 + 3), (short)(s0 + 4),
                                       (short)(s0 + 5), (short)(s0 + 6), (short)(s0 + 7));
            _mm_store_si128((V*)out, ScaleBy(s, ScaleMultiplier(P)));
            for (int i = 0; i < 8; ++i)
                if (out[i] != ScaleTable[P][s0 + i] && bad++ < 5)
                    ADD_FAILURE() << "P " << P << " s " << s0 + i << ": " << out[i] << ", table " << ScaleTable[P][s0 + i];
        }
}

// The contribution taken in the words: every P the multiplier serves and every value of
// each colour byte (a byte's result depends on that byte only); the fourth byte is 0.
TEST(SimdPixelTest, ScaleWordsEqualsScaleTable) {
    using namespace simdpx;
    BuildBlendLookupTables();
    std::mt19937 rng(9);
    int bad = 0;
    for (int P = 0; P < 255; ++P)
        for (uint32_t s0 = 0; s0 < 256; s0 += 4) {
            alignas(16) uint32_t in[4], out[4];
            for (uint32_t i = 0; i < 4; ++i)
                in[i] = rng() << 24 | ((s0 + i + 170) & 0xFF) << 16 | ((s0 + i + 85) & 0xFF) << 8 | (s0 + i);
            _mm_store_si128((V*)out, ScaleWords(_mm_load_si128((const V*)in), Splat16(ScaleMultiplier(P))));
            for (int i = 0; i < 4; ++i) {
                const int32_t* row = ScaleTable[P];
                const uint32_t want = (uint32_t)row[in[i] >> 16 & 0xFF] << 16 |
                                      (uint32_t)row[in[i] >> 8 & 0xFF] << 8 | (uint32_t)row[in[i] & 0xFF];
                if (out[i] != want && bad++ < 5)
                    ADD_FAILURE() << std::hex << "P " << P << " s " << in[i] << ": " << out[i] << ", table " << want;
            }
        }
}

// PackedAdd32ClearFourth against the word form for every pair of bytes in each position,
// with and without a carry out of the byte below (a byte's result depends on nothing
// else); v's fourth byte is 0, as the form requires.
TEST(SimdPixelTest, PackedAddClearFourthEqualsWordFormForEveryInput) {
    using namespace simdpx;
    std::mt19937 rng(6);
    int bad = 0;
    for (int shift = 0; shift < 32; shift += 8)
        for (uint32_t below = 0; below < (shift == 0 ? 1u : 2u); ++below)
            for (uint32_t x = 0; x < (shift == 24 ? 1u : 256u); ++x)
                for (uint32_t y0 = 0; y0 < 256; y0 += 4) {
                    alignas(16) uint32_t v[4], d[4], out[4];
                    for (int i = 0; i < 4; ++i) {
                        uint32_t hole = ~(0xFFu << shift);
                        v[i] = (rng() & hole) | x << shift;
                        d[i] = (rng() & hole) | (y0 + i) << shift;
                        if (shift > 0) {
                            // Both bytes below 0xFF carry out of it, both 0 do not.
                            const uint32_t low = 0xFFu << (shift - 8);
                            v[i] = below ? v[i] | low : v[i] & ~low;
                            d[i] = below ? d[i] | low : d[i] & ~low;
                        }
                        v[i] &= 0x00FFFFFFu;
                    }
                    _mm_store_si128((V*)out,
                                    PackedAdd32ClearFourth(_mm_load_si128((const V*)v), _mm_load_si128((const V*)d)));
                    for (int i = 0; i < 4; ++i)
                        if (out[i] != blitpx::PackedAdd32(v[i], d[i]) && bad++ < 5)
                            ADD_FAILURE() << std::hex << "v " << v[i] << " d " << d[i] << ": " << out[i] << ", word "
                                          << blitpx::PackedAdd32(v[i], d[i]);
                }
}

// The packed adds on words holding every pair of bytes in each byte position, the other
// bytes random (the carries between bytes come from them).
TEST(SimdPixelTest, PackedAddsEqualWordForms) {
    using namespace simdpx;
    std::mt19937 rng(5);
    int bad = 0;
    for (int shift = 0; shift < 32; shift += 8)
        for (uint32_t x = 0; x < 256; ++x)
            for (uint32_t y0 = 0; y0 < 256; y0 += 4) {
                alignas(16) uint32_t v[4], d[4], plain[4], low[4];
                for (int i = 0; i < 4; ++i) {
                    const uint32_t hole = ~(0xFFu << shift);
                    v[i] = (rng() & hole) | x << shift;
                    d[i] = (rng() & hole) | (y0 + i) << shift;
                }
                const V vv = _mm_load_si128((const V*)v), dd = _mm_load_si128((const V*)d);
                _mm_store_si128((V*)plain, PackedAddNoLowBits32(vv, dd));
                _mm_store_si128((V*)low, PackedAdd32(vv, dd));
                for (int i = 0; i < 4; ++i)
                    if ((plain[i] != blitpx::PackedAddNoLowBits32(v[i], d[i]) ||
                         low[i] != blitpx::PackedAdd32(v[i], d[i])) &&
                        bad++ < 5)
                        ADD_FAILURE() << std::hex << "v " << v[i] << " d " << d[i] << ": " << plain[i] << " " << low[i]
                                      << ", words " << blitpx::PackedAddNoLowBits32(v[i], d[i]) << " "
                                      << blitpx::PackedAdd32(v[i], d[i]);
            }
}
#endif

}  // namespace

}  // namespace QzDrawBlitFast_test
