// The rasterizer's sprite fast paths against the reference path, bit for bit, on the
// states the library draws with (its stage records, blend rows, alpha test and colour key,
// a diffuse whose alpha is a blend parameter) and random others, for upright, scaled and
// rotated sprites on targets of every format and size, clipped by random viewports. A CRC
// of every output is pinned so that a change of either path shows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "d3d/raster.h"
#include "d3d_support.h"

namespace d3d_fast_test {

using d3d::PixelFormat;
using d3d::RasterPath;
using d3dtest::Image;
using d3dtest::VertexBuffer;

namespace {

namespace op = d3d::op;
namespace arg = d3d::arg;
namespace factor = d3d::factor;

uint32_t Crc32(uint32_t crc, const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

const PixelFormat kFormats[] = {PixelFormat::R5G6B5,   PixelFormat::X1R5G5B5, PixelFormat::A1R5G5B5,
                                PixelFormat::A4R4G4B4, PixelFormat::X8R8G8B8, PixelFormat::A8R8G8B8};

// Sizes 1..300, mostly small so that thousands of reference draws stay quick.
int PickSize(std::mt19937& rng) {
    switch (rng() % 4) {
    case 0: return 1 + int(rng() % 5);
    case 1: return 1 + int(rng() % 40);
    case 2: return 1 + int(rng() % 100);
    default: return 1 + int(rng() % 300);
    }
}

uint8_t PickParameter(std::mt19937& rng) {
    const uint8_t kParameters[] = {0, 1, 127, 128, 254, 255};
    return rng() % 3 == 0 ? uint8_t(rng()) : kParameters[rng() % 6];
}

TEST(RasterFastPaths, LibrarySpritesMatchTheReferenceBitForBit) {
    std::mt19937 rng(0x51A7E5u);
    uint32_t crc = 0;
    int64_t changed = 0;
    for (int n = 0; n < 2500; ++n) {
        const int w = PickSize(rng), h = PickSize(rng);
        // Mostly the game's 32-bit target.
        const PixelFormat targetFormat = rng() % 3 ? PixelFormat::X8R8G8B8 : kFormats[rng() % 6];
        Image target(w, h, targetFormat);
        for (uint8_t& b : target.bytes) b = uint8_t(rng());

        // A 32-bit texture (sometimes 16-bit), with runs of alpha 0 and 255 as sprites have.
        const int sides[] = {1, 2, 3, 5, 8, 12, 16, 31, 32, 64};
        const int tw = sides[rng() % 10], th = sides[rng() % 10];
        const PixelFormat texFormat = rng() % 6 ? (rng() % 2 ? PixelFormat::A8R8G8B8 : PixelFormat::X8R8G8B8)
                                                : kFormats[rng() % 6];
        Image tex(tw, th, texFormat);
        for (uint8_t& b : tex.bytes) b = uint8_t(rng());
        if (texFormat == PixelFormat::A8R8G8B8 && rng() % 2)
            for (int y = 0; y < th; ++y)
                for (int x = 0; x < tw; ++x) {
                    const uint32_t run = uint32_t((x / 4 + y / 3) % 3);
                    const uint32_t a = run == 0 ? 0 : (run == 1 ? 255 : tex.Get(x, y) >> 24);
                    tex.Set(x, y, (tex.Get(x, y) & 0x00FFFFFFu) | a << 24);
                }

        d3d::RasterState st;
        st.viewWidth = w;
        st.viewHeight = h;
        if (rng() % 4 == 0) {
            st.viewX = rng() % w;
            st.viewY = rng() % h;
            st.viewWidth = 1 + rng() % (w + 4);
            st.viewHeight = 1 + rng() % (h + 4);
        }
        st.textures[0] = tex.Texture();
        st.textures[0].keyed = rng() % 3 == 0;
        st.textures[0].key = tex.Get(int(rng() % tw), int(rng() % th));
        st.colorKey = rng() % 3 == 0;
        // The library's stage records: colour from the texture or times the diffuse; alpha
        // from the texture, the diffuse, their product, or the stage's default.
        d3d::StageState& s = st.stages[0];
        s.colorOp = rng() % 3 == 0 ? op::Modulate : op::SelectArg1;
        s.colorArg1 = arg::Texture;
        s.colorArg2 = arg::Diffuse;
        const uint32_t alphaOps[] = {op::SelectArg1, op::SelectArg2, op::Modulate, op::Disable, op::Add};
        s.alphaOp = alphaOps[rng() % 5];
        s.alphaArg1 = arg::Texture;
        s.alphaArg2 = arg::Diffuse;
        if (rng() % 8 == 0) std::swap(s.colorArg1, s.colorArg2);
        s.magFilter = rng() % 6 == 0 ? d3d::filter::Linear : d3d::filter::Point;
        s.minFilter = rng() % 6 == 0 ? d3d::filter::Linear : d3d::filter::Point;
        const uint32_t rows[][2] = {{factor::One, factor::Zero},         {factor::SrcAlpha, factor::InvSrcAlpha},
                                    {factor::SrcAlpha, factor::One},     {factor::InvDestColor, factor::Zero},
                                    {factor::Zero, factor::SrcColor},    {factor::SrcColor, factor::InvSrcAlpha},
                                    {factor::InvSrcAlpha, factor::SrcAlpha}};
        const int row = int(rng() % 7);
        st.blend = row != 0 || rng() % 2;
        st.srcBlend = rows[row][0];
        st.destBlend = rows[row][1];
        st.alphaTest = rng() % 3 == 0;
        st.alphaFunc = rng() % 2 ? uint32_t(d3d::cmp::Greater) : 1 + rng() % 9;
        st.alphaRef = rng() % 2 ? 128 : PickParameter(rng);

        // Sprites: upright on the pixel grid or off it, scaled, or rotated about their centre.
        VertexBuffer vb(d3d::kFvfColorTex1);
        const int sprites = 1 + int(rng() % 6);
        for (int k = 0; k < sprites; ++k) {
            const uint32_t alpha = PickParameter(rng);
            const uint32_t diffuse = alpha << 24 | (rng() % 2 ? 0xFFFFFFu : (rng() & 0xFFFFFFu));
            const int kind = int(rng() % 4);
            const float scale = kind == 1 ? (rng() % 2 ? 2.0f : (rng() % 2 ? 0.5f : 1.5f)) : 1.0f;
            float x = float(int(rng() % (w + 20)) - 10) - 0.5f, y = float(int(rng() % (h + 20)) - 10) - 0.5f;
            if (kind == 3) {
                x += float(rng() % 256) / 256.0f;
                y += float(rng() % 256) / 256.0f;
            }
            if (kind != 2) {
                vb.Quad(x, y, x + tw * scale, y + th * scale, diffuse);
                continue;
            }
            const double angle = (rng() % 6 == 0) ? 0.0 : double(rng() % 6283) / 1000.0;
            const float cs = float(std::cos(angle)), sn = float(std::sin(angle));
            const float cx = x + tw / 2.0f, cy = y + th / 2.0f;
            const float px[4] = {0, float(tw), 0, float(tw)}, py[4] = {0, 0, float(th), float(th)};
            float vx[4], vy[4];
            for (int i = 0; i < 4; ++i) {
                const float qx = px[i] - tw / 2.0f, qy = py[i] - th / 2.0f;
                vx[i] = qx * cs - qy * sn + cx;
                vy[i] = qx * sn + qy * cs + cy;
            }
            for (int i : {0, 1, 2, 3, 2, 1}) vb.Add(vx[i], vy[i], diffuse, px[i] / tw, py[i] / th);
        }
        const d3d::Primitives prims = vb.List();

        Image ref = target;
        d3d::Draw(ref.Target(), st, prims, RasterPath::Reference);
        for (RasterPath path : {RasterPath::FastScalar, RasterPath::FastSse2}) {
            Image fast = target;
            d3d::Draw(fast.Target(), st, prims, path);
            if (fast.bytes == ref.bytes) continue;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(fast.Get(x, y), ref.Get(x, y))
                        << "case " << n << (path == RasterPath::FastSse2 ? " sse2" : " scalar") << " at " << x << ","
                        << y << ": target " << w << "x" << h << " format " << int(targetFormat) << ", texture " << tw
                        << "x" << th << " format " << int(texFormat) << ", blend " << st.blend << " " << st.srcBlend
                        << "/" << st.destBlend << ", ops " << s.colorOp << "/" << s.alphaOp << ", test "
                        << st.alphaTest << " " << st.alphaFunc << "/" << st.alphaRef << ", key " << st.colorKey;
            FAIL() << "case " << n << " row padding differs";
        }
        changed += ref.bytes != target.bytes;
        crc = Crc32(crc, ref.bytes.data(), ref.bytes.size());
    }
    EXPECT_GT(changed, 1200);  // most cases draw something
    std::printf("Direct3D sprites: CRC %08x\n", crc);
    EXPECT_EQ(crc, 0xf4387c97u);
}

// A draw of many copies of one sprite moved by whole pixels (the game's bullets and
// particles), broken now and then by a copy that differs in one thing: its sub-pixel
// position, a corner's texture coordinate or colour, its size, a mirrored or invalid
// corner, a vertex order other than the usual one, or a rotation. Copies also run off
// every edge.
TEST(RasterFastPaths, RepeatedSpritesMatchTheReferenceBitForBit) {
    std::mt19937 rng(0x9E3779B9u);
    Image tex(16, 16, PixelFormat::A8R8G8B8);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint32_t a = (x + y) % 5 == 0 ? 0 : ((x * y) % 7 == 0 ? 255 : uint32_t(rng() & 255));
            tex.Set(x, y, a << 24 | (rng() & 0xFFFFFFu));
        }
    const uint32_t rows[][2] = {{factor::One, factor::Zero},
                                {factor::SrcAlpha, factor::InvSrcAlpha},
                                {factor::SrcAlpha, factor::One},
                                {factor::InvDestColor, factor::Zero}};
    for (int state = 0; state < 16; ++state) {
        Image target(90, 70, PixelFormat::X8R8G8B8);
        for (uint8_t& b : target.bytes) b = uint8_t(rng());
        d3d::RasterState st = d3dtest::TextureState(90, 70, tex.Texture());
        st.stages[0].alphaOp = state & 4 ? op::Modulate : op::SelectArg1;
        st.stages[0].alphaArg2 = arg::Diffuse;
        st.blend = true;
        st.srcBlend = rows[state & 3][0];
        st.destBlend = rows[state & 3][1];
        st.alphaTest = (state & 8) != 0;
        st.alphaFunc = d3d::cmp::Greater;
        st.alphaRef = 128;

        VertexBuffer vb(d3d::kFvfColorTex1);
        const float fx = state % 3 == 0 ? -0.5f : 0.25f, fy = state % 2 ? -0.5f : -0.375f;
        for (int k = 0; k < 120; ++k) {
            float x = float(int(rng() % 110) - 20) + fx, y = float(int(rng() % 90) - 20) + fy;
            float w = 16, h = 16, u1 = 1, v1 = 1;
            uint32_t diffuse = k % 2 ? 0xFFFFFFFFu : 0x80FFFFFFu;
            switch (k % 12 == 7 ? 7 : rng() % 12) {
            case 0: x += 0.5f; break;
            case 1: u1 = 0.5f; break;
            case 2: diffuse = 0xC0FF8040u; break;
            case 3: w = 8; break;
            case 4: w = -16; break;
            case 5: y = NAN; break;
            case 6:  // the second triangle's corners in another order
                vb.Add(x, y, diffuse, 0, 0);
                vb.Add(x + w, y, diffuse, 1, 0);
                vb.Add(x, y + h, diffuse, 0, 1);
                vb.Add(x + w, y, diffuse, 1, 0);
                vb.Add(x, y + h, diffuse, 0, 1);
                vb.Add(x + w, y + h, diffuse, 1, 1);
                continue;
            case 7:  // turned by 30 degrees about its centre
                for (int i : {0, 1, 2, 3, 2, 1}) {
                    const float qx = float(i & 1) * w - 8, qy = float(i >> 1) * h - 8;
                    vb.Add(x + qx * 0.8660254f - qy * 0.5f + 8, y + qx * 0.5f + qy * 0.8660254f + 8, diffuse,
                           float(i & 1), float(i >> 1));
                }
                continue;
            default: break;
            }
            vb.Quad(x, y, x + w, y + h, diffuse, 0, 0, u1, v1);
        }
        Image ref = target;
        d3d::Draw(ref.Target(), st, vb.List(), RasterPath::Reference);
        EXPECT_NE(ref.bytes, target.bytes);
        for (RasterPath path : {RasterPath::FastScalar, RasterPath::FastSse2}) {
            Image fast = target;
            d3d::Draw(fast.Target(), st, vb.List(), path);
            EXPECT_EQ(fast.bytes, ref.bytes) << "state " << state << (path == RasterPath::FastSse2 ? " sse2" : " scalar");
        }
    }
}

// Runs of one sprite quad repeated at random whole-pixel steps, as the game draws bullets
// and particles, for the library's blend rows and keys on 32-bit targets: the repeats
// run the rows kept from the last quad (copies and premultiplied rows) or set up again,
// whole or cut by an edge. Runs change the sub-pixel position, the colour, the texture's
// size or the rhw bytes, which count for nothing.
TEST(RasterFastPaths, RepeatedQuadRunsMatchTheReferenceBitForBit) {
    std::mt19937 rng(0x0DDBA11u);
    const int sides[] = {1, 2, 3, 4, 5, 7, 8, 13, 16, 31, 32, 33, 64};
    const uint32_t rows[][2] = {{factor::One, factor::Zero},
                                {factor::SrcAlpha, factor::InvSrcAlpha},
                                {factor::SrcAlpha, factor::One},
                                {factor::InvDestColor, factor::Zero}};
    uint32_t crc = 0;
    for (int n = 0; n < 400; ++n) {
        const int w = 8 + int(rng() % 120), h = 8 + int(rng() % 90);
        const PixelFormat targetFormat = rng() % 4 ? PixelFormat::X8R8G8B8 : PixelFormat::A8R8G8B8;
        Image target(w, h, targetFormat);
        for (uint8_t& b : target.bytes) b = uint8_t(rng());
        const int tw = sides[rng() % 13], th = sides[rng() % 13];
        const PixelFormat texFormat = rng() % 2 ? PixelFormat::A8R8G8B8 : PixelFormat::X8R8G8B8;
        Image tex(tw, th, texFormat);
        for (uint8_t& b : tex.bytes) b = uint8_t(rng());

        d3d::RasterState st = d3dtest::TextureState(w, h, tex.Texture());
        const int row = int(rng() % 4);
        st.blend = row != 0 || rng() % 2;
        st.srcBlend = rows[row][0];
        st.destBlend = rows[row][1];
        st.stages[0].alphaOp = rng() % 2 ? op::Modulate : op::SelectArg1;
        st.stages[0].alphaArg2 = arg::Diffuse;
        if (rng() % 3 == 0) {
            st.stages[0].colorOp = op::Modulate;
            st.stages[0].colorArg2 = arg::Diffuse;
        }
        st.alphaTest = rng() % 5 == 0;
        st.alphaFunc = d3d::cmp::Greater;
        st.alphaRef = 128;
        st.textures[0].keyed = rng() % 5 == 0;
        st.textures[0].key = tex.Get(0, 0);
        st.colorKey = st.textures[0].keyed;

        VertexBuffer vb(d3d::kFvfColorTex1);
        const int runs = 1 + int(rng() % 4);
        for (int r = 0; r < runs; ++r) {
            const float fx = rng() % 2 ? -0.5f : float(int(rng() % 256) - 128) / 256.0f;
            const float fy = rng() % 2 ? -0.5f : float(int(rng() % 256) - 128) / 256.0f;
            const uint32_t diffuse = rng() % 2 ? 0xFFFFFFFFu : uint32_t(rng());
            const int length = 1 + int(rng() % 30);
            for (int k = 0; k < length; ++k) {
                const float x = float(int(rng() % uint32_t(w + 2 * tw)) - tw) + fx;
                const float y = float(int(rng() % uint32_t(h + 2 * th)) - th) + fy;
                vb.Quad(x, y, x + float(tw), y + float(th), diffuse);
                if (rng() % 8 == 0) {
                    const float rhw = 0.25f;
                    std::memcpy(vb.bytes.data() + vb.bytes.size() - 6 * 28 + 12, &rhw, 4);
                }
            }
        }
        Image ref = target;
        d3d::Draw(ref.Target(), st, vb.List(), RasterPath::Reference);
        for (RasterPath path : {RasterPath::FastScalar, RasterPath::FastSse2}) {
            Image fast = target;
            d3d::Draw(fast.Target(), st, vb.List(), path);
            ASSERT_EQ(fast.bytes, ref.bytes) << "case " << n << (path == RasterPath::FastSse2 ? " sse2" : " scalar")
                                             << ": target " << w << "x" << h << " format " << int(targetFormat)
                                             << ", texture " << tw << "x" << th << " format " << int(texFormat)
                                             << ", blend " << st.blend << " " << st.srcBlend << "/" << st.destBlend
                                             << ", test " << st.alphaTest << ", key " << st.colorKey;
        }
        crc = Crc32(crc, ref.bytes.data(), ref.bytes.size());
    }
    std::printf("Direct3D repeated quads: CRC %08x\n", crc);
    EXPECT_EQ(crc, 0xaed22080u);
}

}  // namespace

}  // namespace d3d_fast_test
