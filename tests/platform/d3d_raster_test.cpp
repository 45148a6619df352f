// The software rasterizer under the Direct3D device: coverage and the fill rule, the
// per-pixel rules (stages, tests, key, blending, 16-bit targets), lines, sampling,
// robustness, and the fast paths against the reference path on seeded random draws.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <random>
#include <string>

#include "d3d/raster.h"
#include "d3d/raster_pixel.h"
#include "d3d_support.h"
#include "platform/testing.h"

namespace d3d_raster_test {

using d3d::PixelFormat;
using d3d::RasterPath;
using d3d::RasterState;
using d3dtest::Image;
using d3dtest::kPaths;
using d3dtest::PathName;
using d3dtest::VertexBuffer;

namespace {

constexpr uint32_t kGuard = 0x5A5A5A5Au;

TEST(RasterArithmetic, ProductRoundsToNearestForEveryPairOfBytes) {
    for (uint32_t a = 0; a < 256; ++a)
        for (uint32_t b = 0; b < 256; ++b)
            ASSERT_EQ(d3d::Mul255(a, b), (2 * a * b + 255) / 510) << a << " x " << b;
    EXPECT_EQ(d3d::kWiden.w5[16], 131);  // floor(16 * 255 / 31)
    EXPECT_EQ(d3d::kWiden.w5[31], 255);
    EXPECT_EQ(d3d::kWiden.w6[32], 129);
    EXPECT_EQ(d3d::kWiden.w4[8], 136);
}

// The 32x32 sprite at (10, 20): texel (i, j) on pixel (10 + i, 20 + j), nothing else.
TEST(RasterSprite, TexelsLandOnTheirPixelsInBothWindingsAndEveryPath) {
    Image tex(32, 32, PixelFormat::A8R8G8B8);
    for (int j = 0; j < 32; ++j)
        for (int i = 0; i < 32; ++i) tex.Set(i, j, 0xFF000000u | uint32_t(i) << 16 | uint32_t(j) << 8 | 0x5Au);
    for (RasterPath path : kPaths) {
        for (int winding = 0; winding < 2; ++winding) {
            Image target(64, 64, PixelFormat::X8R8G8B8, kGuard);
            VertexBuffer vb(d3d::kFvfColorTex1);
            float l = 9.5f, t = 19.5f, r = 41.5f, b = 51.5f;
            if (winding == 0) {
                vb.Quad(l, t, r, b, 0xFFFFFFFFu);
            } else {  // the other diagonal, listed clockwise on screen
                vb.Add(l, t, 0xFFFFFFFFu, 0, 0);
                vb.Add(l, b, 0xFFFFFFFFu, 0, 1);
                vb.Add(r, b, 0xFFFFFFFFu, 1, 1);
                vb.Add(l, t, 0xFFFFFFFFu, 0, 0);
                vb.Add(r, b, 0xFFFFFFFFu, 1, 1);
                vb.Add(r, t, 0xFFFFFFFFu, 1, 0);
            }
            d3d::Draw(target.Target(), d3dtest::TextureState(64, 64, tex.Texture()), vb.List(), path);
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 64; ++x) {
                    bool inside = x >= 10 && x <= 41 && y >= 20 && y <= 51;
                    uint32_t want = inside ? (tex.Get(x - 10, y - 20) & 0x00FFFFFFu) : kGuard;
                    ASSERT_EQ(target.Get(x, y), want) << PathName(path) << " winding " << winding << " at " << x << ","
                                                      << y;
                }
        }
    }
}

// ---- coverage ----------------------------------------------------------------------------------------
// Additive drawing of 1 per covered pixel shows a double as 2 and a gap as 0.
RasterState CountingState(int w, int h) {
    RasterState st = d3dtest::DiffuseState(w, h);
    st.blend = true;
    st.srcBlend = d3d::factor::One;
    st.destBlend = d3d::factor::One;
    return st;
}

std::vector<uint32_t> Counts(const Image& img) {
    std::vector<uint32_t> out;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) out.push_back(img.Get(x, y) & 0xFF);
    return out;
}

struct Pt {
    float x, y;
};

// A convex polygon drawn as a fan from corner k (list or strip order) covers each pixel once,
// and the same pixels whichever corner the fan starts from.
TEST(RasterCoverage, SharedEdgesDrawEachPixelOnceAtAnyAngle) {
    const double angles[] = {0.0, 30.0, 45.0, 90.0, 17.3};
    for (RasterPath path : kPaths) {
        for (double deg : angles) {
            double a = deg * 3.14159265358979323846 / 180.0;
            std::vector<Pt> quad;
            for (auto [px, py] : {std::pair{-9.0, -6.0}, {9.0, -6.0}, {9.0, 6.0}, {-9.0, 6.0}})
                quad.push_back({float(24.0 + px * std::cos(a) - py * std::sin(a)),
                                float(24.0 + px * std::sin(a) + py * std::cos(a))});
            std::vector<uint32_t> first;
            for (int start = 0; start < 2; ++start) {
                Image img(48, 48, PixelFormat::X8R8G8B8, 0);
                VertexBuffer vb;
                for (int t = 0; t < 2; ++t)
                    for (int k : {0, t + 1, t + 2}) {
                        Pt p = quad[(start + k) % 4];
                        vb.Add(p.x, p.y, 0x00010101u);
                    }
                d3d::Draw(img.Target(), CountingState(48, 48), vb.List(), path);
                std::vector<uint32_t> counts = Counts(img);
                uint32_t covered = 0;
                for (uint32_t c : counts) {
                    ASSERT_LE(c, 1u) << PathName(path) << " angle " << deg;
                    covered += c;
                }
                EXPECT_NEAR(covered, 18 * 12, 18 + 12) << PathName(path) << " angle " << deg;
                if (start == 0)
                    first = counts;
                else
                    EXPECT_EQ(counts, first) << PathName(path) << " angle " << deg << ": the diagonal matters";
            }
        }
    }
}

TEST(RasterCoverage, FansStripsAndIndexedStripsHitEachPixelOnce) {
    for (RasterPath path : kPaths) {
        // A fan of thin slivers around a centre off the pixel grid.
        Image fan(40, 40, PixelFormat::X8R8G8B8, 0);
        VertexBuffer vb;
        const int kSlices = 37;
        for (int k = 0; k < kSlices; ++k) {
            double a0 = 2 * 3.14159265358979 * k / kSlices, a1 = 2 * 3.14159265358979 * (k + 1) / kSlices;
            vb.Add(20.3f, 19.7f, 0x00010101u);
            vb.Add(float(20.3 + 15 * std::cos(a0)), float(19.7 + 15 * std::sin(a0)), 0x00010101u);
            vb.Add(float(20.3 + 15 * std::cos(a1)), float(19.7 + 15 * std::sin(a1)), 0x00010101u);
        }
        d3d::Draw(fan.Target(), CountingState(40, 40), vb.List(), path);
        for (uint32_t c : Counts(fan)) ASSERT_LE(c, 1u) << PathName(path);
        EXPECT_EQ(fan.Get(20, 20) & 0xFF, 1u);
        EXPECT_EQ(fan.Get(20 + 14, 20) & 0xFF, 1u);

        // A grid of 6 x 5 vertices with jittered inner points as indexed strips, one
        // strip per row pair linked by repeated indices, and the same as plain strips.
        const int cols = 6, rows = 5;
        VertexBuffer grid;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                float jx = (c > 0 && c < cols - 1) ? float((r * 7 + c * 3) % 5) * 0.37f : 0.f;
                float jy = (r > 0 && r < rows - 1) ? float((r * 3 + c * 5) % 7) * 0.29f : 0.f;
                grid.Add(2.5f + c * 6.f + jx, 3.25f + r * 7.f + jy, 0x00010101u);
            }
        std::vector<uint16_t> idx;
        for (int r = 0; r + 1 < rows; ++r) {
            if (!idx.empty()) idx.push_back(uint16_t((r + 1) * cols));
            for (int c = 0; c < cols; ++c) {
                idx.push_back(uint16_t((r + 1) * cols + c));
                idx.push_back(uint16_t(r * cols + c));
            }
            if (r + 2 < rows) idx.push_back(idx.back());
        }
        Image indexed(40, 40, PixelFormat::X8R8G8B8, 0);
        d3d::Primitives p = grid.List(d3d::Primitive::TriangleStrip);
        p.indices = idx.data();
        p.indexCount = uint32_t(idx.size());
        d3d::Draw(indexed.Target(), CountingState(40, 40), p, path);
        uint32_t covered = 0;
        for (uint32_t c : Counts(indexed)) {
            ASSERT_LE(c, 1u) << PathName(path);
            covered += c;
        }
        EXPECT_EQ(covered, 30u * 28u) << PathName(path);  // (2.5, 3.25) - (32.5, 31.25)

        Image strips(40, 40, PixelFormat::X8R8G8B8, 0);
        for (int r = 0; r + 1 < rows; ++r) {
            VertexBuffer strip;
            for (int c = 0; c < cols; ++c) {
                auto copy = [&](int v) { strip.Put(grid.bytes.data() + v * 20, 20); };
                copy((r + 1) * cols + c);
                copy(r * cols + c);
            }
            d3d::Draw(strips.Target(), CountingState(40, 40), strip.List(d3d::Primitive::TriangleStrip), path);
        }
        EXPECT_EQ(Counts(strips), Counts(indexed)) << PathName(path);
    }
}

TEST(RasterCoverage, EdgesOnPixelCentresBelongToTopAndLeft) {
    for (RasterPath path : kPaths) {
        Image img(16, 16, PixelFormat::X8R8G8B8, 0);
        VertexBuffer vb;
        vb.Quad(2.0f, 3.0f, 6.0f, 5.0f, 0x00010101u);  // centres 2..5 x 3..4
        d3d::Draw(img.Target(), CountingState(16, 16), vb.List(), path);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                ASSERT_EQ(img.Get(x, y), (x >= 2 && x <= 5 && y >= 3 && y <= 4) ? 0x00010101u : 0u)
                    << PathName(path) << " " << x << "," << y;
    }
}

// ---- the per-pixel rules --------------------------------------------------------------------------------
struct RuleCase {
    const char* name;
    std::function<void(RasterState&)> configure;
    uint32_t diffuse;
    uint32_t expected;
    PixelFormat target = PixelFormat::X8R8G8B8;
    uint32_t dst = 0x00102030u;
    PixelFormat texFormat = PixelFormat::A8R8G8B8;
    uint32_t texel = 0xFF112233u;
    uint32_t specular = 0xFFFFFFFFu;
};

void Stage(RasterState& st, int k, uint32_t cop, uint32_t c1, uint32_t c2, uint32_t aop, uint32_t a1, uint32_t a2) {
    st.stages[k] = {cop, c1, c2, aop, a1, a2, st.stages[k].texCoordIndex, d3d::filter::Point, d3d::filter::Point};
}

using namespace d3d::op;
namespace A = d3d::arg;
namespace F = d3d::factor;

void Blend(RasterState& st, uint32_t s, uint32_t d) {
    st.blend = true;
    st.srcBlend = s;
    st.destBlend = d;
}

const RuleCase kRuleCases[] = {
    {"modulate rounds", [](RasterState& s) { Stage(s, 0, Modulate, A::Texture, A::Diffuse, Disable, 0, 0); },
     0xFF808080u, 0x00404040u, PixelFormat::X8R8G8B8, 0, PixelFormat::A8R8G8B8, 0xFF808080u},
    {"modulate by 255 is identity", [](RasterState& s) { Stage(s, 0, Modulate, A::Texture, A::Diffuse, Disable, 0, 0); },
     0x0080FFFFu, 0x00808001u, PixelFormat::X8R8G8B8, 0, PixelFormat::A8R8G8B8, 0x00FF8001u},
    {"modulate2x saturates", [](RasterState& s) { Stage(s, 0, Modulate2x, A::Texture, A::Diffuse, Disable, 0, 0); },
     0xFFC0C040u, 0x00FFFF20u, PixelFormat::X8R8G8B8, 0, PixelFormat::A8R8G8B8, 0xFFC0C040u},
    {"modulate4x saturates", [](RasterState& s) { Stage(s, 0, Modulate4x, A::Texture, A::Diffuse, Disable, 0, 0); },
     0xFFC0C040u, 0x00FFFF40u, PixelFormat::X8R8G8B8, 0, PixelFormat::A8R8G8B8, 0xFFC0C040u},
    {"add saturates", [](RasterState& s) { Stage(s, 0, Add, A::Texture, A::Diffuse, Disable, 0, 0); }, 0x00808010u,
     0x00FFFF20u, PixelFormat::X8R8G8B8, 0, PixelFormat::A8R8G8B8, 0x00C08010u},
    {"subtract stops at zero", [](RasterState& s) { Stage(s, 0, Subtract, A::Texture, A::Diffuse, Disable, 0, 0); },
     0x00803010u, 0x00005020u, PixelFormat::X8R8G8B8, 0, PixelFormat::A8R8G8B8, 0x00408030u},
    {"select arg 2", [](RasterState& s) { Stage(s, 0, SelectArg2, A::Texture, A::Diffuse, Disable, 0, 0); },
     0x00ABCDEFu, 0x00ABCDEFu},
    {"texture factor", [](RasterState& s) {
         Stage(s, 0, SelectArg1, A::TFactor, A::Diffuse, Disable, 0, 0);
         s.textureFactor = 0x11223344u;
     }, 0, 0x00223344u},
    {"specular", [](RasterState& s) { Stage(s, 0, Modulate, A::Specular, A::Diffuse, Disable, 0, 0); }, 0x00808080u,
     0x00804000u, PixelFormat::X8R8G8B8, 0, PixelFormat::A8R8G8B8, 0, 0x00FF8000u},
    {"current at stage 0 is diffuse", [](RasterState& s) { Stage(s, 0, SelectArg1, A::Current, A::Texture, Disable, 0, 0); },
     0x00456789u, 0x00456789u},
    {"cascade stops at the first disabled stage", [](RasterState& s) {
         Stage(s, 0, SelectArg1, A::Texture, A::Diffuse, Disable, 0, 0);
         Stage(s, 2, SelectArg1, A::TFactor, A::Diffuse, Disable, 0, 0);
     }, 0, 0x00112233u},
    {"second stage adds current and diffuse", [](RasterState& s) {
         Stage(s, 0, SelectArg1, A::Texture, A::Diffuse, Disable, 0, 0);
         Stage(s, 1, Add, A::Current, A::Diffuse, Disable, 0, 0);
     }, 0x00010203u, 0x00111213u, PixelFormat::X8R8G8B8, 0, PixelFormat::A8R8G8B8, 0x00101010u},
    {"unbound texture reads opaque white", [](RasterState& s) {
         Stage(s, 0, Modulate, A::Texture, A::Diffuse, Modulate, A::Texture, A::Diffuse);
         s.textures[0] = d3d::TextureView{};
     }, 0x7F345678u, 0x7F345678u, PixelFormat::A8R8G8B8},
    {"alpha op disabled passes current alpha",
     [](RasterState& s) { Stage(s, 0, SelectArg1, A::Texture, A::Diffuse, Disable, 0, 0); }, 0x7F000000u,
     0x7F112233u, PixelFormat::A8R8G8B8},
    {"alpha modulates apart from colour",
     [](RasterState& s) { Stage(s, 0, SelectArg1, A::Texture, A::Diffuse, Modulate, A::Texture, A::Diffuse); },
     0x80FFFFFFu, 0x40112233u, PixelFormat::A8R8G8B8, 0, PixelFormat::A8R8G8B8, 0x80112233u},
    // Blend factors (texture colour unmodified; destination as given).
    {"src alpha, inverse src alpha", [](RasterState& s) { Blend(s, F::SrcAlpha, F::InvSrcAlpha); }, 0,
     0x0080007Fu, PixelFormat::X8R8G8B8, 0x000000FFu, PixelFormat::A8R8G8B8, 0x80FF0000u},
    {"src alpha, one", [](RasterState& s) { Blend(s, F::SrcAlpha, F::One); }, 0, 0x00C08040u,
     PixelFormat::X8R8G8B8, 0x00404040u, PixelFormat::A8R8G8B8, 0x80FF8000u},
    {"inverse dest colour inverts", [](RasterState& s) { Blend(s, F::InvDestColor, F::Zero); }, 0, 0x00EFDFCFu,
     PixelFormat::X8R8G8B8, 0x00102030u, PixelFormat::A8R8G8B8, 0xFFFFFFFFu},
    {"zero, src colour multiplies", [](RasterState& s) { Blend(s, F::Zero, F::SrcColor); }, 0, 0x00802010u,
     PixelFormat::X8R8G8B8, 0x00FF4020u, PixelFormat::A8R8G8B8, 0xFF808080u},
    {"one, one saturates", [](RasterState& s) { Blend(s, F::One, F::One); }, 0, 0x00FF90A0u, PixelFormat::X8R8G8B8,
     0x00A01020u, PixelFormat::A8R8G8B8, 0x00808080u},
    {"alpha channel blends with the same factors", [](RasterState& s) { Blend(s, F::SrcAlpha, F::InvSrcAlpha); }, 0,
     0x60800000u, PixelFormat::A8R8G8B8, 0x40000000u, PixelFormat::A8R8G8B8, 0x80FF0000u},
    {"inverse dest colour on a target alpha", [](RasterState& s) { Blend(s, F::InvDestColor, F::Zero); }, 0,
     0xBFEFDFCFu, PixelFormat::A8R8G8B8, 0x40102030u, PixelFormat::A8R8G8B8, 0xFFFFFFFFu},
    // 16-bit targets and textures.
    {"R5G6B5 store truncates", [](RasterState& s) { Stage(s, 0, SelectArg1, A::Diffuse, A::Diffuse, Disable, 0, 0); },
     0x00FF8040u, 0xFC08u, PixelFormat::R5G6B5, 0},
    {"X1R5G5B5 writes X 0", [](RasterState& s) { Stage(s, 0, SelectArg1, A::Diffuse, A::Diffuse, Disable, 0, 0); },
     0xFFFFFFFFu, 0x7FFFu, PixelFormat::X1R5G5B5, 0},
    {"A1R5G5B5 keeps alpha from its top bit",
     [](RasterState& s) { Stage(s, 0, SelectArg1, A::Diffuse, A::Diffuse, SelectArg1, A::Diffuse, A::Diffuse); },
     0x80FFFFFFu, 0xFFFFu, PixelFormat::A1R5G5B5, 0},
    {"A4R4G4B4 stores nibbles",
     [](RasterState& s) { Stage(s, 0, SelectArg1, A::Diffuse, A::Diffuse, SelectArg1, A::Diffuse, A::Diffuse); },
     0x8FF1E2D3u, 0x8FEDu, PixelFormat::A4R4G4B4, 0},
    {"R5G6B5 destination widens before blending", [](RasterState& s) { Blend(s, F::InvDestColor, F::Zero); }, 0,
     0x7BEFu, PixelFormat::R5G6B5, 0x8410u, PixelFormat::A8R8G8B8, 0xFFFFFFFFu},
    {"transparent source keeps a 16-bit pixel", [](RasterState& s) { Blend(s, F::SrcAlpha, F::InvSrcAlpha); }, 0,
     0x8411u, PixelFormat::R5G6B5, 0x8411u, PixelFormat::A8R8G8B8, 0x00FFFFFFu},
    {"R5G6B5 texel widens", [](RasterState&) {}, 0, 0x00838183u, PixelFormat::X8R8G8B8, 0, PixelFormat::R5G6B5,
     0x8410u},
    {"A4R4G4B4 texel widens", [](RasterState&) {}, 0, 0xFF88CC33u, PixelFormat::A8R8G8B8, 0, PixelFormat::A4R4G4B4,
     0xF8C3u},
    {"A1R5G5B5 texel widens", [](RasterState&) {}, 0, 0x00000008u, PixelFormat::A8R8G8B8, 0, PixelFormat::A1R5G5B5,
     0x0001u},
    {"X8R8G8B8 texel reads alpha 255", [](RasterState&) {}, 0, 0xFF123456u, PixelFormat::A8R8G8B8, 0,
     PixelFormat::X8R8G8B8, 0x00123456u},
};

uint32_t DrawOnePixelCase(const RuleCase& c, RasterPath path, bool staleOthers, uint32_t* corner) {
    Image tex(1, 1, c.texFormat, c.texel);
    Image target(4, 4, c.target, c.dst);
    RasterState st = d3dtest::TextureState(4, 4, tex.Texture());
    c.configure(st);
    VertexBuffer vb(d3d::kFvfColorSpecTex2);
    uint32_t stale = staleOthers ? 0x9ABCDEF0u : c.diffuse;
    uint32_t staleSpec = staleOthers ? 0x12345678u : c.specular;
    vb.Add(-0.5f, -0.5f, c.diffuse, 0, 0, c.specular);
    vb.Add(3.5f, -0.5f, stale, 1, 0, staleSpec);
    vb.Add(-0.5f, 3.5f, stale, 0, 1, staleSpec);
    vb.Add(3.5f, 3.5f, c.diffuse, 1, 1, c.specular);
    vb.Add(-0.5f, 3.5f, stale, 0, 1, staleSpec);
    vb.Add(3.5f, -0.5f, stale, 1, 0, staleSpec);
    d3d::Draw(target.Target(), st, vb.List(), path);
    *corner = target.Get(3, 3);  // in the second triangle
    return target.Get(0, 0);
}

TEST(RasterRules, CaseTable) {
    for (const RuleCase& c : kRuleCases) {
        for (RasterPath path : kPaths) {
            for (bool stale : {false, true}) {
                uint32_t corner = 0;
                uint32_t got = DrawOnePixelCase(c, path, stale, &corner);
                EXPECT_EQ(got, c.expected) << c.name << " (" << PathName(path) << (stale ? ", stale colours" : "")
                                           << ") got 0x" << std::hex << got;
                EXPECT_EQ(corner, got) << c.name << ": flat colour from the first vertex of each triangle";
            }
        }
    }
}

TEST(RasterRules, AlphaTestFunctionsAtTheirBoundaries) {
    struct Expect {
        uint32_t func;
        bool pass[3];  // alpha 127, 128, 129 against 128
    };
    const Expect kFuncs[] = {
        {d3d::cmp::Never, {false, false, false}},  {d3d::cmp::Less, {true, false, false}},
        {d3d::cmp::Equal, {false, true, false}},   {d3d::cmp::LessEqual, {true, true, false}},
        {d3d::cmp::Greater, {false, false, true}}, {d3d::cmp::NotEqual, {true, false, true}},
        {d3d::cmp::GreaterEqual, {false, true, true}}, {d3d::cmp::Always, {true, true, true}},
        {0, {true, true, true}},                   {9, {true, true, true}},
    };
    for (const Expect& e : kFuncs) {
        for (int k = 0; k < 3; ++k) {
            uint32_t alpha = 127 + k;
            RuleCase c{"alpha test", [&](RasterState& s) {
                           s.alphaTest = true;
                           s.alphaRef = 128;
                           s.alphaFunc = e.func;
                       },
                       0, e.pass[k] ? 0x00112233u : 0x00102030u};
            c.texel = alpha << 24 | 0x112233u;
            for (RasterPath path : kPaths) {
                uint32_t corner;
                EXPECT_EQ(DrawOnePixelCase(c, path, false, &corner), c.expected)
                    << "func " << e.func << " alpha " << alpha << " " << PathName(path);
            }
        }
    }
}

TEST(RasterRules, ColourKeyComparesRgbBitsOnly) {
    struct KeyCase {
        const char* name;
        PixelFormat format;
        uint32_t texel, key;
        bool enabled, keyed, discard;
    };
    const KeyCase kCases[] = {
        {"X bits set on the texel", PixelFormat::X8R8G8B8, 0x12FF00FFu, 0x00FF00FFu, true, true, true},
        {"alpha differs", PixelFormat::A8R8G8B8, 0x80FF00FFu, 0xFFFF00FFu, true, true, true},
        {"one blue step away", PixelFormat::X8R8G8B8, 0x00FF00FEu, 0x00FF00FFu, true, true, false},
        {"16-bit alpha bit ignored", PixelFormat::A1R5G5B5, 0x7C1Fu, 0xFC1Fu, true, true, true},
        {"16-bit unused bit ignored", PixelFormat::X1R5G5B5, 0xFC1Fu, 0x7C1Fu, true, true, true},
        {"R5G6B5 green differs", PixelFormat::R5G6B5, 0xF81Fu, 0xF83Fu, true, true, false},
        {"keying off", PixelFormat::X8R8G8B8, 0x00FF00FFu, 0x00FF00FFu, false, true, false},
        {"texture without key", PixelFormat::X8R8G8B8, 0x00FF00FFu, 0x00FF00FFu, true, false, false},
    };
    for (const KeyCase& k : kCases) {
        for (RasterPath path : kPaths) {
            Image tex(2, 2, k.format, k.texel);
            Image target(4, 4, PixelFormat::X8R8G8B8, 0x00102030u);
            d3d::TextureView view = tex.Texture();
            view.keyed = k.keyed;
            view.key = k.key;
            RasterState st = d3dtest::TextureState(4, 4, view);
            st.colorKey = k.enabled;
            VertexBuffer vb(d3d::kFvfColorTex1);
            vb.Quad(-0.5f, -0.5f, 3.5f, 3.5f, 0xFFFFFFFFu);
            d3d::Draw(target.Target(), st, vb.List(), path);
            uint32_t drawn = d3d::Widen(k.format, k.texel) & 0x00FFFFFFu;
            EXPECT_EQ(target.Get(2, 1), k.discard ? 0x00102030u : drawn) << k.name << " " << PathName(path);
        }
    }
}

TEST(RasterRules, GouraudRoundsAtPixelCentres) {
    for (RasterPath path : kPaths) {
        Image target(4, 1, PixelFormat::X8R8G8B8, 0);
        RasterState st = d3dtest::DiffuseState(4, 1);
        st.gouraud = true;
        VertexBuffer vb;
        vb.Add(-0.5f, -0.5f, 0);
        vb.Add(3.5f, -0.5f, 0x00800000u);
        vb.Add(-0.5f, 0.5f, 0);
        vb.Add(3.5f, 0.5f, 0x00800000u);
        vb.Add(-0.5f, 0.5f, 0);
        vb.Add(3.5f, -0.5f, 0x00800000u);
        d3d::Draw(target.Target(), st, vb.List(), path);
        const uint32_t want[] = {16, 48, 80, 112};
        for (int x = 0; x < 4; ++x) EXPECT_EQ(target.Get(x, 0), want[x] << 16) << PathName(path) << " x " << x;
    }
}

// ---- sampling ----------------------------------------------------------------------------------------------
TEST(RasterSampling, LinearWeightsAndTheFilterChoice) {
    Image tex(2, 1, PixelFormat::X8R8G8B8);
    tex.Set(0, 0, 0x000000u);
    tex.Set(1, 0, 0xFF0000u);
    for (RasterPath path : kPaths) {
        // Magnified 2x: the four texels around (s - 1/2) with 1/256 weights.
        Image target(4, 1, PixelFormat::X8R8G8B8, 0);
        RasterState st = d3dtest::TextureState(4, 1, tex.Texture());
        st.stages[0].magFilter = d3d::filter::Linear;
        VertexBuffer vb(d3d::kFvfColorTex1);
        vb.Quad(-0.5f, -0.5f, 3.5f, 0.5f, 0xFFFFFFFFu);
        d3d::Draw(target.Target(), st, vb.List(), path);
        const uint32_t want[] = {0, 64, 191, 255};
        for (int x = 0; x < 4; ++x) EXPECT_EQ(target.Get(x, 0), want[x] << 16) << PathName(path) << " x " << x;

        // Minified, the min filter (point) applies.
        Image big(8, 1, PixelFormat::X8R8G8B8);
        for (int x = 0; x < 8; ++x) big.Set(x, 0, uint32_t(x * 30) << 16);
        Image small(4, 1, PixelFormat::X8R8G8B8, 0);
        RasterState min = d3dtest::TextureState(4, 1, big.Texture());
        min.stages[0].magFilter = d3d::filter::Linear;
        d3d::Draw(small.Target(), min, vb.List(), path);
        for (int x = 0; x < 4; ++x) EXPECT_EQ(small.Get(x, 0), uint32_t((2 * x + 1) * 30) << 16) << PathName(path);

        // Unscaled, linear equals point.
        Image one(2, 1, PixelFormat::X8R8G8B8, 0);
        VertexBuffer unscaled(d3d::kFvfColorTex1);
        unscaled.Quad(-0.5f, -0.5f, 1.5f, 0.5f, 0xFFFFFFFFu);
        RasterState lin = d3dtest::TextureState(2, 1, tex.Texture());
        lin.stages[0].magFilter = lin.stages[0].minFilter = d3d::filter::Linear;
        d3d::Draw(one.Target(), lin, unscaled.List(), path);
        EXPECT_EQ(one.Get(0, 0), 0u);
        EXPECT_EQ(one.Get(1, 0), 0xFF0000u);
    }
}

// ---- lines ------------------------------------------------------------------------------------------------
std::string LitPixels(const Image& img) {
    std::string out;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (img.Get(x, y) != 0) out += "(" + std::to_string(x) + "," + std::to_string(y) + ")";
    return out;
}

TEST(RasterLines, DiamondExitRule) {
    struct LineCase {
        const char* name;
        float x0, y0, x1, y1;
        const char* lit;
    };
    const LineCase kCases[] = {
        {"ends inside a diamond", 1.0f, 1.0f, 4.9f, 1.0f, "(1,1)(2,1)(3,1)(4,1)"},
        {"ends on a centre", 1.0f, 1.0f, 4.0f, 1.0f, "(1,1)(2,1)(3,1)"},
        {"ends on a diamond's border", 1.0f, 1.0f, 4.5f, 1.0f, "(1,1)(2,1)(3,1)(4,1)"},
        {"starts beside a diamond", 1.6f, 2.0f, 4.0f, 2.0f, "(2,2)(3,2)"},
        {"vertical", 2.0f, 1.0f, 2.0f, 3.9f, "(2,1)(2,2)(2,3)"},
        {"zero length", 2.0f, 2.0f, 2.0f, 2.0f, ""},
        {"starts inside a diamond, backwards", 4.9f, 1.0f, 1.0f, 1.0f, "(2,1)(3,1)(4,1)(5,1)"},
    };
    for (const LineCase& c : kCases) {
        for (RasterPath path : kPaths) {
            Image img(6, 5, PixelFormat::X8R8G8B8, 0);
            VertexBuffer vb;
            vb.Add(c.x0, c.y0, 0x00FFFFFFu);
            vb.Add(c.x1, c.y1, 0x00FFFFFFu);
            d3d::Draw(img.Target(), d3dtest::DiffuseState(6, 5), vb.List(d3d::Primitive::LineList), path);
            EXPECT_EQ(LitPixels(img), c.lit) << c.name << " " << PathName(path);
        }
    }
}

// The outline of (10, 10)-(20, 20) as the library sends it: rows 10 and 19, columns 10
// and 19, each pixel once, flat colour from vertex 2i.
TEST(RasterLines, BoxOutlineLightsItsBorderOnce) {
    for (RasterPath path : kPaths) {
        Image img(24, 24, PixelFormat::X8R8G8B8, 0);
        VertexBuffer vb;
        float L = 10, T = 10, R = 19, B = 19;
        const float pts[8][2] = {{L, T}, {R - 0.1f, T}, {R, T}, {R, B - 0.1f}, {L, B}, {R + 0.9f, B}, {L, T + 1.0f}, {L, B - 0.1f}};
        for (int k = 0; k < 8; ++k) vb.Add(pts[k][0], pts[k][1], k % 2 == 0 ? 0x00010101u : 0x00FFFFFFu);
        d3d::Draw(img.Target(), CountingState(24, 24), vb.List(d3d::Primitive::LineList), path);
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x) {
                bool border = x >= 10 && x <= 19 && y >= 10 && y <= 19 && (x == 10 || x == 19 || y == 10 || y == 19);
                ASSERT_EQ(img.Get(x, y), border ? 0x00010101u : 0u) << PathName(path) << " " << x << "," << y;
            }
    }
}

// ---- robustness ----------------------------------------------------------------------------------------------
TEST(RasterGuards, WildVerticesNeverWriteOutsideTheViewport) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    std::mt19937 rng(1234);
    auto pick = [&](float lo, float hi) { return lo + (hi - lo) * float(rng() % 100000) / 100000.0f; };
    for (int round = 0; round < 200; ++round) {
        VertexBuffer vb(d3d::kFvfColorTex1);
        for (int k = 0; k < 12; ++k) {
            float x, y;
            switch (rng() % 6) {
            case 0: x = nan; y = pick(0, 30); break;
            case 1: x = pick(-1e9f, 1e9f); y = pick(-1e9f, 1e9f); break;
            case 2: x = (rng() % 2) ? inf : -inf; y = pick(-50, 50); break;
            case 3: x = 1048575.0f; y = -1048575.0f; break;
            default: x = pick(-20, 50); y = pick(-20, 50); break;
            }
            vb.Add(x, y, rng(), pick(-1e6f, 1e6f), (rng() % 4) ? pick(-2, 2) : nan);
        }
        // Degenerate: collinear and repeated points.
        vb.Add(5, 5, 0xFFFFFFFFu);
        vb.Add(10, 10, 0xFFFFFFFFu);
        vb.Add(15, 15, 0xFFFFFFFFu);
        Image tex(4, 4, PixelFormat::A8R8G8B8, 0xFF00FF00u);
        for (RasterPath path : kPaths) {
            for (d3d::Primitive type :
                 {d3d::Primitive::TriangleList, d3d::Primitive::TriangleStrip, d3d::Primitive::LineList}) {
                Image target(32, 32, PixelFormat::X8R8G8B8, kGuard);
                RasterState st = d3dtest::TextureState(32, 32, tex.Texture());
                st.stages[0].magFilter = st.stages[0].minFilter = (round % 2) ? d3d::filter::Linear : d3d::filter::Point;
                st.gouraud = round % 3 == 0;
                st.viewX = 4;
                st.viewY = 5;
                st.viewWidth = 20;
                st.viewHeight = 22;
                d3d::Draw(target.Target(), st, vb.List(type), path);
                for (int y = 0; y < 32; ++y)
                    for (int x = 0; x < 32; ++x)
                        if (x < 4 || x >= 24 || y < 5 || y >= 27) {
                            ASSERT_EQ(target.Get(x, y), kGuard) << "round " << round << " " << PathName(path);
                        }
            }
        }
    }
}

// ---- fast paths against the reference --------------------------------------------------------------------
// Seeded random draws (formats, states, textures, layouts, primitives, positions on and off
// the pixel grid, upright rectangles), each drawn by every path; the bytes must agree,
// and the reference must leave everything outside viewport and target as it was.
struct RandomCase {
    std::mt19937 rng;
    explicit RandomCase(uint32_t seed) : rng(seed) {}
    uint32_t Next(uint32_t n) { return rng() % n; }
    float Real(float lo, float hi) { return lo + (hi - lo) * float(rng() % 1000001) / 1000000.0f; }
};

using d3d::BytesPerPixel;
const PixelFormat kAllFormats[] = {PixelFormat::R5G6B5,   PixelFormat::X1R5G5B5, PixelFormat::A1R5G5B5,
                                   PixelFormat::A4R4G4B4, PixelFormat::X8R8G8B8, PixelFormat::A8R8G8B8};
const uint32_t kAllOps[] = {SelectArg1, SelectArg2, Modulate, Modulate2x, Modulate4x, Add, Subtract};
const uint32_t kAllFactors[] = {F::Zero, F::One, F::SrcColor, F::SrcAlpha, F::InvSrcAlpha, F::InvDestColor};

std::string Describe(const RasterState& st, const d3d::Primitives& p, const Image& target) {
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "target %dx%d fmt %d, view %lld,%lld %lldx%lld, prim %d fvf 0x%X count %u indexed %d, blend %d "
                  "%u/%u, test %d %u/%u, key %d, gouraud %d, stage0 %u(%u,%u)/%u(%u,%u) tex %dx%d fmt %d",
                  target.width, target.height, int(target.format), (long long)st.viewX, (long long)st.viewY,
                  (long long)st.viewWidth, (long long)st.viewHeight, int(p.type), p.fvf, p.vertexCount,
                  p.indices != nullptr, st.blend, st.srcBlend, st.destBlend, st.alphaTest, st.alphaFunc,
                  st.alphaRef, st.colorKey, st.gouraud, st.stages[0].colorOp, st.stages[0].colorArg1,
                  st.stages[0].colorArg2, st.stages[0].alphaOp, st.stages[0].alphaArg1, st.stages[0].alphaArg2,
                  st.textures[0].width, st.textures[0].height, int(st.textures[0].format));
    return buf;
}

TEST(RasterFastPaths, GiveTheReferenceBytesOnSeededRandomDraws) {
    const int kCases = 10000;
    for (int index = 0; index < kCases; ++index) {
        RandomCase r(0x9E3779B9u * uint32_t(index + 1));
        int w = 1 + int(r.Next(40)), h = 1 + int(r.Next(40));
        Image target(w, h, kAllFormats[r.Next(6)]);
        for (uint8_t& b : target.bytes) b = uint8_t(r.Next(256));
        RasterState st;
        st.viewWidth = w;
        st.viewHeight = h;
        if (r.Next(4) == 0) {
            st.viewX = r.Next(uint32_t(w));
            st.viewY = r.Next(uint32_t(h));
            st.viewWidth = 1 + r.Next(uint32_t(w) + 4);
            st.viewHeight = 1 + r.Next(uint32_t(h) + 4);
        }
        // Textures: contents random, keys taken from a texel so that they hit.
        std::vector<Image> textures;
        int stages = 1 + int(r.Next(3));
        for (int k = 0; k < stages; ++k) {
            const int sides[] = {1, 2, 4, 8, 16, 32, 3, 5};
            Image tex(sides[r.Next(8)], sides[r.Next(8)], kAllFormats[r.Next(6)]);
            for (uint8_t& b : tex.bytes) b = uint8_t(r.Next(4) == 0 ? 0 : r.Next(256));
            textures.push_back(tex);
        }
        for (int k = 0; k < stages; ++k) {
            d3d::StageState& s = st.stages[k];
            bool simple = r.Next(3) == 0;  // the library's common records
            s.colorOp = simple ? SelectArg1 : kAllOps[r.Next(7)];
            s.colorArg1 = simple ? A::Texture : r.Next(5);
            s.colorArg2 = r.Next(5);
            s.alphaOp = r.Next(5) == 0 ? Disable : kAllOps[r.Next(7)];
            s.alphaArg1 = r.Next(5);
            s.alphaArg2 = r.Next(5);
            s.texCoordIndex = r.Next(5) == 0 ? 1 : 0;
            s.magFilter = 1 + r.Next(2);
            s.minFilter = 1 + r.Next(2);
            if (r.Next(8) != 0) {
                st.textures[k] = textures[k].Texture();
                st.textures[k].keyed = r.Next(2) == 0;
                st.textures[k].key = textures[k].Get(int(r.Next(uint32_t(textures[k].width))), 0);
            }
        }
        if (r.Next(4) == 0) st.stages[1 + r.Next(2)].colorOp = Disable;
        st.alphaTest = r.Next(3) == 0;
        st.alphaFunc = r.Next(10);
        st.alphaRef = r.Next(8) == 0 ? 256 + r.Next(10) : r.Next(256);
        st.blend = r.Next(2) == 0;
        st.srcBlend = kAllFactors[r.Next(6)];
        st.destBlend = kAllFactors[r.Next(6)];
        st.colorKey = r.Next(2) == 0;
        st.gouraud = r.Next(3) == 0;
        st.textureFactor = r.rng();
        bool library = r.Next(2) == 0;
        if (library) {
            // A sprite as the library draws one: one texture stage, the texture in the
            // target's format or its 32-bit twin, a blend row of its own, the key as
            // alpha test or as colour key.
            const uint32_t alphaOps[][3] = {{SelectArg1, A::Texture, A::Diffuse}, {SelectArg2, A::Texture, A::Diffuse},
                                            {Modulate, A::Texture, A::Diffuse}};
            const uint32_t* a = alphaOps[r.Next(3)];
            st.stages[0] = {r.Next(3) == 0 ? Modulate : SelectArg1, A::Texture, A::Diffuse, a[0], a[1], a[2], 0,
                            1 + r.Next(2), 1 + r.Next(2)};
            st.stages[1].colorOp = Disable;
            PixelFormat f = target.format;
            if (r.Next(2) == 0 && BytesPerPixel(f) == 4)
                f = r.Next(2) ? PixelFormat::A8R8G8B8 : PixelFormat::X8R8G8B8;
            if (r.Next(2) == 0 && (f == PixelFormat::X1R5G5B5 || f == PixelFormat::A1R5G5B5))
                f = r.Next(2) ? PixelFormat::A1R5G5B5 : PixelFormat::X1R5G5B5;
            Image& tex = textures[0];
            tex = Image(tex.width, tex.height, f);
            for (uint8_t& b : tex.bytes) b = uint8_t(r.Next(4) == 0 ? 0 : r.Next(256));
            if (BytesPerPixel(f) == 4 && r.Next(2) == 0) {
                // Runs of transparent and opaque texels, as sprites have.
                for (int y = 0; y < tex.height; ++y)
                    for (int x = 0; x < tex.width; ++x) {
                        uint32_t run = uint32_t((x / 8 + y) % 3);
                        uint32_t a = run == 0 ? 0 : (run == 1 ? 255 : tex.Get(x, y) >> 24);
                        tex.Set(x, y, (tex.Get(x, y) & 0x00FFFFFFu) | a << 24);
                    }
            }
            st.textures[0] = tex.Texture();
            st.textures[0].keyed = r.Next(2) == 0;
            st.textures[0].key = tex.Get(0, 0);
            const uint32_t rows[][2] = {{F::One, F::Zero}, {F::SrcAlpha, F::InvSrcAlpha}, {F::SrcAlpha, F::One},
                                        {F::InvDestColor, F::Zero}, {F::Zero, F::SrcColor}};
            int row = int(r.Next(5));
            st.blend = row != 0 || r.Next(2) == 0;
            st.srcBlend = rows[row][0];
            st.destBlend = rows[row][1];
            st.alphaTest = r.Next(3) == 0;
            st.alphaFunc = r.Next(2) ? d3d::cmp::Greater : d3d::cmp::GreaterEqual;
            st.alphaRef = r.Next(2) ? 128 : r.Next(256);
            st.colorKey = r.Next(3) == 0;
            st.gouraud = r.Next(6) == 0;
        }

        const uint32_t fvfs[] = {d3d::kFvfColor, d3d::kFvfColorTex1, d3d::kFvfColorSpecTex2};
        VertexBuffer vb(fvfs[r.Next(3)]);
        d3d::Primitive type = d3d::Primitive(r.Next(4) == 0 ? 2 : r.Next(2));
        int shape = library && r.Next(2) == 0 ? 0 : int(r.Next(4));
        int count = 3 + int(r.Next(12));
        auto colour = [&]() { return r.Next(3) == 0 ? 0xFFFFFFFFu : uint32_t(r.rng()); };
        if (shape == 0 && type != d3d::Primitive::LineList) {
            // Upright rectangles as list pairs, unscaled or scaled by powers of two, on
            // the half-pixel grid or off it, one colour per quad.
            type = d3d::Primitive::TriangleList;
            int quads = 1 + int(r.Next(3));
            for (int q = 0; q < quads; ++q) {
                float scale = float(1 << r.Next(3)) / float(1 << r.Next(3));
                float x0 = float(int(r.Next(uint32_t(w) + 8)) - 4) - 0.5f, y0 = float(int(r.Next(uint32_t(h) + 8)) - 4) - 0.5f;
                if (r.Next(3) == 0) {
                    x0 += r.Real(0, 1);
                    y0 += r.Real(0, 1);
                }
                int tw = st.textures[0].pixels ? st.textures[0].width : 8, th = st.textures[0].pixels ? st.textures[0].height : 8;
                float x1 = x0 + tw * scale, y1 = y0 + th * scale;
                float u0 = r.Next(4) == 0 ? r.Real(-0.5f, 0.5f) : 0.f, v0 = 0.f;
                float u1 = r.Next(4) == 0 ? -1.f : 1.f;
                uint32_t diffuse = colour();
                vb.Quad(x0, y0, x1, y1, diffuse, u0, v0, u1, 1.f);
                // The same quad moved by whole pixels, as a batch of one sprite repeats it.
                for (int copies = int(r.Next(4)); copies > 0; --copies) {
                    float dx = float(int(r.Next(9)) - 4), dy = float(int(r.Next(9)) - 4);
                    vb.Quad(x0 + dx, y0 + dy, x1 + dx, y1 + dy, r.Next(4) == 0 ? colour() : diffuse, u0, v0, u1, 1.f);
                }
            }
        } else {
            for (int k = 0; k < count; ++k) {
                float x, y;
                if (shape == 1) {
                    x = float(int(r.Next(uint32_t(w) + 6)) - 3) + (r.Next(2) ? 0.5f : 0.f);
                    y = float(int(r.Next(uint32_t(h) + 6)) - 3) + (r.Next(2) ? 0.5f : 0.f);
                } else {
                    x = r.Real(-6.f, float(w) + 6.f);
                    y = r.Real(-6.f, float(h) + 6.f);
                }
                if (r.Next(40) == 0) x = std::numeric_limits<float>::quiet_NaN();
                vb.Add(x, y, colour(), r.Real(-0.5f, 1.5f), r.Real(-0.5f, 1.5f), colour(), r.Real(-0.2f, 1.2f),
                       r.Real(-0.2f, 1.2f));
            }
        }
        d3d::Primitives p = vb.List(type);
        std::vector<uint16_t> indices;
        if (type == d3d::Primitive::TriangleStrip && r.Next(2) == 0) {
            for (int k = 0; k < count + 2; ++k) indices.push_back(uint16_t(r.Next(p.vertexCount)));
            p.indices = indices.data();
            p.indexCount = uint32_t(indices.size());
        }

        Image ref = target;
        d3d::Draw(ref.Target(), st, p, RasterPath::Reference);
        int64_t cl = std::max<int64_t>(0, st.viewX), ct = std::max<int64_t>(0, st.viewY);
        int64_t cr = std::min<int64_t>(w, st.viewX + st.viewWidth), cb = std::min<int64_t>(h, st.viewY + st.viewHeight);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (x < cl || x >= cr || y < ct || y >= cb) {
                    ASSERT_EQ(ref.Get(x, y), target.Get(x, y)) << "case " << index << " wrote outside the viewport";
                }
        for (RasterPath path : {RasterPath::FastScalar, RasterPath::FastSse2}) {
            Image fast = target;
            d3d::Draw(fast.Target(), st, p, path);
            if (fast.bytes != ref.bytes) {
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        ASSERT_EQ(fast.Get(x, y), ref.Get(x, y))
                            << "case " << index << " " << PathName(path) << " at " << x << "," << y << ": "
                            << Describe(st, p, target);
                FAIL() << "case " << index << " row padding differs";
            }
        }
    }
}

TEST(RasterControls, GeneralPathSwitchSelectsTheReference) {
    ptest::ResetControls();
    EXPECT_EQ(d3d::DefaultRasterPath(), RasterPath::FastSse2);
    ptest::ForceD3DGeneralPath(true);
    EXPECT_EQ(d3d::DefaultRasterPath(), RasterPath::Reference);
    ptest::ResetControls();
    EXPECT_EQ(d3d::DefaultRasterPath(), RasterPath::FastSse2);
}

}  // namespace

}  // namespace d3d_raster_test
