// The Direct3D rasterizer on sprite work: 2000 sprites per iteration at fixed-seed
// positions wholly inside a 640x480 X8R8G8B8 target, drawn as the library draws them
// (textured quads of pre-transformed vertices, 390 quads per draw call, the states of
// its blend modes), beside the same operation in SDL2's software renderer and pixman,
// with a row-by-row memcpy of the sprites' bytes as the ceiling.
//
// Rows (32x32 and 64x64): opaque copy; colour-keyed through alpha and the alpha test
// (the library's transparent path) and through the device colour key; alpha-blended
// (texture alpha, SRCALPHA/INVSRCALPHA); additive (SRCALPHA/ONE); and a 32x32
// alpha-blended sprite rotated 30 degrees.
// Columns: ours through the device with prebuilt vertices (the SSE2 fast paths and,
// beside it, the scalar path), ours through the rasterizer alone, SDL_RenderCopy (and
// SDL_RenderGeometry for the rotation) on a software renderer over a surface of the
// same format (an RGB888 texture for the opaque row), pixman_image_composite32 (SRC, OVER
// with premultiplied texels, ADD onto a8r8g8b8, a nearest-filtered transform), memcpy.
//
// Before timing, each peer draws 200 sprites of each row onto a patterned target and is
// compared with ours: pixman exactly in every row; SDL2 exactly for opaque and keyed rows
// and within 12 per channel for blends (its blend arithmetic is an approximation); SDL2's
// triangle renderer samples other texels in the rotation, so that row reports how many.
// Ours through the rasterizer alone, its scalar path and the general path must give the
// device's bytes. After the runs one table gives megapixels per second and the ratios.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "d3d/raster.h"
#include "d3d/raster_pixel.h"
#include "platform/d3d.h"
#include "platform/testing.h"

namespace d3dbench {

// The states a row sets on the device.
struct DeviceStates {
    uint32_t colorOp = 0, colorArg1 = 0, colorArg2 = 0, alphaOp = 0, alphaArg1 = 0, alphaArg2 = 0;
    bool alphaTest = false;
    uint32_t alphaRef = 0, alphaFunc = 8;
    bool blend = false;
    uint32_t srcBlend = 2, destBlend = 1;
    bool colorKey = false;
};

// The Direct3D device on a DirectDraw surface, as the library drives it: one scene,
// DrawPrimitive per batch of prebuilt vertices.
class Device {
public:
    static std::unique_ptr<Device> Create(int width, int height) {
        auto d = std::unique_ptr<Device>(new Device);
        CoInitialize(nullptr);
        if (CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, (void**)&d->dd_) != S_OK ||
            d->dd_->Initialize(nullptr) != DD_OK || d->dd_->SetCooperativeLevel(nullptr, DDSCL_NORMAL) != DD_OK)
            return nullptr;
        d->target_ = d->Surface(width, height, Format(32, 0), DDSCAPS_OFFSCREENPLAIN);
        if (d->target_ == nullptr || d->dd_->QueryInterface(IID_IDirect3D7, (void**)&d->d3d_) != S_OK ||
            d->d3d_->CreateDevice(IID_IDirect3DHALDevice, d->target_, &d->device_) != D3D_OK)
            return nullptr;
        d->width_ = width;
        d->height_ = height;
        return d;
    }
    ~Device() {
        if (device_) device_->Release();
        if (texture_) texture_->Release();
        if (target_) target_->Release();
        if (d3d_) d3d_->Release();
        if (dd_) dd_->Release();
        CoUninitialize();
    }
    void Upload(const std::vector<uint32_t>& pixels) { Write(target_, pixels.data(), width_, height_); }
    void Prepare(const DeviceStates& s, const d3d::TextureView& tex) {
        bool alpha = tex.format == d3d::PixelFormat::A8R8G8B8;
        texture_ = Surface(tex.width, tex.height, Format(32, alpha ? 0xFF000000u : 0), DDSCAPS_TEXTURE);
        Write(texture_, reinterpret_cast<const uint32_t*>(tex.pixels), tex.width, tex.height);
        if (tex.keyed) {
            DDCOLORKEY key{tex.key, tex.key};
            texture_->SetColorKey(DDCKEY_SRCBLT, &key);
        }
        IDirect3DDevice7* d = device_;
        d->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        d->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
        d->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
        d->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
        d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTEXTUREOP(s.colorOp));
        d->SetTextureStageState(0, D3DTSS_COLORARG1, s.colorArg1);
        d->SetTextureStageState(0, D3DTSS_COLORARG2, s.colorArg2);
        d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTEXTUREOP(s.alphaOp));
        d->SetTextureStageState(0, D3DTSS_ALPHAARG1, s.alphaArg1);
        d->SetTextureStageState(0, D3DTSS_ALPHAARG2, s.alphaArg2);
        d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        d->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, s.alphaTest);
        d->SetRenderState(D3DRENDERSTATE_ALPHAREF, s.alphaRef);
        d->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, s.alphaFunc);
        d->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, s.blend);
        d->SetRenderState(D3DRENDERSTATE_SRCBLEND, s.srcBlend);
        d->SetRenderState(D3DRENDERSTATE_DESTBLEND, s.destBlend);
        d->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, s.colorKey);
        d->SetTexture(0, texture_);
    }
    void Draw(const void* vertices, uint32_t count, uint32_t perDraw) {
        device_->BeginScene();
        const uint8_t* v = static_cast<const uint8_t*>(vertices);
        for (uint32_t first = 0; first < count; first += perDraw) {
            uint32_t n = std::min(perDraw, count - first);
            device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0x144, const_cast<uint8_t*>(v + size_t(first) * 28), n, 0);
        }
        device_->EndScene();
    }
    std::vector<uint32_t> Read() {
        std::vector<uint32_t> out(size_t(width_) * height_);
        DDSURFACEDESC2 d = {};
        d.dwSize = sizeof d;
        if (target_->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return out;
        for (int y = 0; y < height_; ++y)
            std::memcpy(&out[size_t(y) * width_], static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch, size_t(width_) * 4);
        target_->Unlock(nullptr);
        return out;
    }

private:
    Device() = default;
    static DDPIXELFORMAT Format(DWORD bits, DWORD alpha) {
        DDPIXELFORMAT f = {};
        f.dwSize = sizeof f;
        f.dwFlags = DDPF_RGB | (alpha ? DDPF_ALPHAPIXELS : 0);
        f.dwRGBBitCount = bits;
        f.dwRBitMask = 0xFF0000;
        f.dwGBitMask = 0xFF00;
        f.dwBBitMask = 0xFF;
        f.dwRGBAlphaBitMask = alpha;
        return f;
    }
    IDirectDrawSurface7* Surface(int w, int h, const DDPIXELFORMAT& format, DWORD caps) {
        DDSURFACEDESC2 desc = {};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = w;
        desc.dwHeight = h;
        desc.ddsCaps.dwCaps = caps | DDSCAPS_SYSTEMMEMORY;
        desc.ddpfPixelFormat = format;
        IDirectDrawSurface7* s = nullptr;
        return dd_->CreateSurface(&desc, &s, nullptr) == DD_OK ? s : nullptr;
    }
    static void Write(IDirectDrawSurface7* s, const uint32_t* pixels, int w, int h) {
        DDSURFACEDESC2 d = {};
        d.dwSize = sizeof d;
        if (s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK) return;
        for (int y = 0; y < h; ++y)
            std::memcpy(static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch, pixels + size_t(y) * w, size_t(w) * 4);
        s->Unlock(nullptr);
    }

    IDirectDraw7* dd_ = nullptr;
    IDirect3D7* d3d_ = nullptr;
    IDirect3DDevice7* device_ = nullptr;
    IDirectDrawSurface7* target_ = nullptr;
    IDirectDrawSurface7* texture_ = nullptr;
    int width_ = 0, height_ = 0;
};

}  // namespace d3dbench

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kSprites = 2000;
constexpr int kQuadsPerDraw = 390;
constexpr uint32_t kKeyColor = 0x00FF00FFu;

enum class Row { Opaque, KeyAlphaTest, KeyColor, Alpha, Additive, Rotated };
const char* RowName(Row r, int size) {
    static char buf[64];
    const char* names[] = {"opaque", "keyed (alpha test)", "keyed (colour key)", "alpha blend", "additive",
                           "alpha blend, rotated 30"};
    std::snprintf(buf, sizeof buf, "%dx%d %s", size, size, names[int(r)]);
    return buf;
}

enum class Impl { Device, General, Raster, Scalar, Sdl, Pixman, Memcpy };
const char* kImplNames[] = {"ours", "general path", "rasterizer", "scalar", "SDL2", "pixman", "memcpy"};

// ---- the sprites --------------------------------------------------------------------------------
struct SpriteSet {
    int size = 32;
    // X8R8G8B8 with a top byte of 0xFF as the library's uploads leave it.
    std::vector<uint32_t> opaque;
    // A8R8G8B8, alpha 0 on the key (a ring outside a disc), 255 elsewhere.
    std::vector<uint32_t> keyAlpha;
    // X8R8G8B8 with key-coloured texels where keyAlpha is 0.
    std::vector<uint32_t> keyColor;
    // A8R8G8B8 with an alpha ramp.
    std::vector<uint32_t> alpha;
    std::vector<int> xs, ys;
};

SpriteSet MakeSprites(int size) {
    SpriteSet s;
    s.size = size;
    std::mt19937 rng(size * 7919);
    int n = size * size;
    s.opaque.resize(n);
    s.keyAlpha.resize(n);
    s.keyColor.resize(n);
    s.alpha.resize(n);
    for (int j = 0; j < size; ++j)
        for (int i = 0; i < size; ++i) {
            uint32_t rgb = rng() & 0x00FFFFFFu;
            if (rgb == kKeyColor) rgb ^= 1;
            double dx = i + 0.5 - size / 2.0, dy = j + 0.5 - size / 2.0;
            bool key = dx * dx + dy * dy > (size * 0.45) * (size * 0.45);
            int k = j * size + i;
            s.opaque[k] = 0xFF000000u | rgb;
            s.keyAlpha[k] = key ? kKeyColor : (0xFF000000u | rgb);
            s.keyColor[k] = 0xFF000000u | (key ? kKeyColor : rgb);
            s.alpha[k] = uint32_t((i * 255) / (size - 1)) << 24 | rgb;
        }
    std::mt19937 pos(12345);
    for (int k = 0; k < kSprites; ++k) {
        s.xs.push_back(int(pos() % uint32_t(kWidth - size - 8)) + 4);
        s.ys.push_back(int(pos() % uint32_t(kHeight - size - 8)) + 4);
    }
    return s;
}

const std::vector<uint32_t>& TexelsOf(const SpriteSet& s, Row row) {
    switch (row) {
    case Row::Opaque: return s.opaque;
    case Row::KeyAlphaTest: return s.keyAlpha;
    case Row::KeyColor: return s.keyColor;
    default: return s.alpha;
    }
}

bool Is32BitOpaque(Row row) { return row == Row::Opaque || row == Row::KeyColor; }

// ---- the target ------------------------------------------------------------------------------------
struct Target {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(size_t(kWidth) * kHeight);
    void Pattern() {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) pixels[size_t(y) * kWidth + x] = uint32_t(x * 2654435761u ^ y * 40503u) & 0xFFFFFFu;
    }
};

// ---- ours: vertices and states as the library sends them ---------------------------------------------
struct Vtx {
    float x, y, z, rhw;
    uint32_t diffuse;
    float u, v;
};
static_assert(sizeof(Vtx) == 28);

std::vector<Vtx> MakeVertices(const SpriteSet& s, Row row, int count) {
    std::vector<Vtx> v;
    float half = s.size / 2.0f;
    for (int k = 0; k < count; ++k) {
        float x = float(s.xs[k]), y = float(s.ys[k]);
        Vtx c[4];  // top-left, top-right, bottom-left, bottom-right
        const float px[4] = {0, float(s.size), 0, float(s.size)}, py[4] = {0, 0, float(s.size), float(s.size)};
        for (int i = 0; i < 4; ++i) {
            if (row == Row::Rotated) {
                // The rotated draw at scale 1 of an even-sized graphic: pivot at its
                // centre, the centre less 0.5, clockwise.
                float a = float(30.0 * 3.14159265358979323846 / 180.0);
                float cs = std::cos(a), sn = std::sin(a);
                float qx = px[i] - half, qy = py[i] - half;
                float cx = x + half - 0.5f, cy = y + half - 0.5f;
                c[i] = {qx * cs - qy * sn + cx, qx * sn + qy * cs + cy, 0.0f, 1.0f, 0xFFFFFFFFu, px[i] / s.size,
                        py[i] / s.size};
            } else {
                c[i] = {x - 0.5f + px[i], y - 0.5f + py[i], 0.0f, 1.0f, 0xFFFFFFFFu, px[i] / s.size, py[i] / s.size};
            }
        }
        for (int i : {0, 1, 2, 3, 2, 1}) v.push_back(c[i]);
    }
    return v;
}

// The library's records: opaque and colour key use record 0 (alpha from the diffuse,
// colour from the texture); the alpha-test key record 2 (both from the texture); the
// blends record 4 (alpha texture times diffuse).
d3dbench::DeviceStates StatesOf(Row row) {
    d3dbench::DeviceStates st;
    using namespace d3d;
    st.colorOp = op::SelectArg1;
    st.colorArg1 = arg::Texture;
    st.colorArg2 = arg::Diffuse;
    switch (row) {
    case Row::Opaque:
    case Row::KeyColor:
        st.alphaOp = op::SelectArg2;
        st.alphaArg1 = arg::Texture;
        st.alphaArg2 = arg::Diffuse;
        st.colorKey = row == Row::KeyColor;
        break;
    case Row::KeyAlphaTest:
        st.alphaOp = op::SelectArg1;
        st.alphaArg1 = arg::Texture;
        st.alphaArg2 = arg::Diffuse;
        st.alphaTest = true;
        st.alphaRef = 128;
        st.alphaFunc = cmp::Greater;
        break;
    default:
        st.alphaOp = op::Modulate;
        st.alphaArg1 = arg::Texture;
        st.alphaArg2 = arg::Diffuse;
        st.blend = true;
        st.srcBlend = factor::SrcAlpha;
        st.destBlend = row == Row::Additive ? factor::One : factor::InvSrcAlpha;
        break;
    }
    return st;
}

d3d::RasterState RasterStateOf(Row row, const d3d::TextureView& tex) {
    d3dbench::DeviceStates s = StatesOf(row);
    d3d::RasterState st;
    st.stages[0].colorOp = s.colorOp;
    st.stages[0].colorArg1 = s.colorArg1;
    st.stages[0].colorArg2 = s.colorArg2;
    st.stages[0].alphaOp = s.alphaOp;
    st.stages[0].alphaArg1 = s.alphaArg1;
    st.stages[0].alphaArg2 = s.alphaArg2;
    st.textures[0] = tex;
    st.alphaTest = s.alphaTest;
    st.alphaRef = s.alphaRef;
    st.alphaFunc = s.alphaFunc;
    st.blend = s.blend;
    st.srcBlend = s.srcBlend;
    st.destBlend = s.destBlend;
    st.colorKey = s.colorKey;
    st.viewWidth = kWidth;
    st.viewHeight = kHeight;
    return st;
}

struct Ours {
    const SpriteSet* sprites;
    Row row;
    std::vector<Vtx> vertices;
    d3d::TextureView texture;
    d3d::RasterState state;

    Ours(const SpriteSet& s, Row r, int count) : sprites(&s), row(r), vertices(MakeVertices(s, r, count)) {
        const std::vector<uint32_t>& texels = TexelsOf(s, r);
        texture = {reinterpret_cast<const uint8_t*>(texels.data()), s.size * 4, s.size, s.size,
                   Is32BitOpaque(r) ? d3d::PixelFormat::X8R8G8B8 : d3d::PixelFormat::A8R8G8B8,
                   r == Row::KeyColor, kKeyColor};
        state = RasterStateOf(r, texture);
    }
    void DrawRaster(Target& t, d3d::RasterPath path) const {
        d3d::TargetView view{reinterpret_cast<uint8_t*>(t.pixels.data()), kWidth * 4, kWidth, kHeight,
                             d3d::PixelFormat::X8R8G8B8};
        for (size_t first = 0; first < vertices.size(); first += kQuadsPerDraw * 6) {
            size_t n = std::min<size_t>(kQuadsPerDraw * 6, vertices.size() - first);
            d3d::Primitives p;
            p.fvf = d3d::kFvfColorTex1;
            p.vertices = vertices.data() + first;
            p.vertexCount = uint32_t(n);
            d3d::Draw(view, state, p, path);
        }
    }
};

// ---- SDL2 --------------------------------------------------------------------------------------------
struct Sdl {
    SDL_Surface* surface = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    const SpriteSet* sprites;
    Row row;
    int count;
    std::vector<SDL_Vertex> geometry;
    std::vector<int> indices;

    Sdl(Target& t, const SpriteSet& s, Row r, int n) : sprites(&s), row(r), count(n) {
        surface = SDL_CreateRGBSurfaceWithFormatFrom(t.pixels.data(), kWidth, kHeight, 32, kWidth * 4,
                                                     SDL_PIXELFORMAT_RGB888);
        renderer = SDL_CreateSoftwareRenderer(surface);
        const std::vector<uint32_t>& texels = TexelsOf(s, r);
        if (r == Row::KeyColor) {
            SDL_Surface* keyed = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(texels.data()), s.size,
                                                                    s.size, 32, s.size * 4, SDL_PIXELFORMAT_RGB888);
            SDL_SetColorKey(keyed, SDL_TRUE, kKeyColor);
            texture = SDL_CreateTextureFromSurface(renderer, keyed);
            SDL_FreeSurface(keyed);
        } else {
            // The opaque row copies RGB888 onto RGB888, so SDL2 takes its plain copy rather
            // than converting every pixel.
            texture = SDL_CreateTexture(renderer, r == Row::Opaque ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_ARGB8888,
                                        SDL_TEXTUREACCESS_STATIC, s.size, s.size);
            SDL_UpdateTexture(texture, nullptr, texels.data(), s.size * 4);
        }
        SDL_BlendMode mode = SDL_BLENDMODE_BLEND;
        if (r == Row::Opaque) mode = SDL_BLENDMODE_NONE;
        if (r == Row::Additive) mode = SDL_BLENDMODE_ADD;
        SDL_SetTextureBlendMode(texture, mode);
        if (r == Row::Rotated) {
            float a = float(30.0 * 3.14159265358979323846 / 180.0), cs = std::cos(a), sn = std::sin(a);
            float half = s.size / 2.0f;
            for (int k = 0; k < n; ++k) {
                float cx = s.xs[k] + half, cy = s.ys[k] + half;
                const float px[4] = {0, float(s.size), 0, float(s.size)}, py[4] = {0, 0, float(s.size), float(s.size)};
                int base = int(geometry.size());
                for (int i = 0; i < 4; ++i) {
                    float qx = px[i] - half, qy = py[i] - half;
                    SDL_Vertex v;
                    v.position = {qx * cs - qy * sn + cx, qx * sn + qy * cs + cy};
                    v.color = {255, 255, 255, 255};
                    v.tex_coord = {px[i] / s.size, py[i] / s.size};
                    geometry.push_back(v);
                }
                for (int i : {0, 1, 2, 3, 2, 1}) indices.push_back(base + i);
            }
        }
    }
    ~Sdl() {
        SDL_DestroyTexture(texture);
        SDL_DestroyRenderer(renderer);
        SDL_FreeSurface(surface);
    }
    void Draw() {
        if (row == Row::Rotated) {
            SDL_RenderGeometry(renderer, texture, geometry.data(), int(geometry.size()), indices.data(),
                               int(indices.size()));
        } else {
            for (int k = 0; k < count; ++k) {
                SDL_Rect dst{sprites->xs[k], sprites->ys[k], sprites->size, sprites->size};
                SDL_RenderCopy(renderer, texture, nullptr, &dst);
            }
        }
        SDL_RenderFlush(renderer);
    }
};

// ---- pixman ------------------------------------------------------------------------------------------
struct Pixman {
    pixman_image_t* dst = nullptr;
    pixman_image_t* src = nullptr;
    std::vector<uint32_t> texels;  // premultiplied where the operator needs it
    const SpriteSet* sprites;
    Row row;
    int count;

    Pixman(Target& t, const SpriteSet& s, Row r, int n) : sprites(&s), row(r), count(n) {
        // Additive sprites go onto a8r8g8b8, where pixman has its SSE2 ADD; on x8r8g8b8 it
        // would take its general path. The alpha byte it adds there is not compared.
        dst = pixman_image_create_bits(r == Row::Additive ? PIXMAN_a8r8g8b8 : PIXMAN_x8r8g8b8, kWidth, kHeight,
                                       t.pixels.data(), kWidth * 4);
        texels = TexelsOf(s, r);
        if (r == Row::Opaque) {
            src = pixman_image_create_bits(PIXMAN_x8r8g8b8, s.size, s.size, texels.data(), s.size * 4);
            return;
        }
        for (uint32_t& c : texels) {
            if (r == Row::KeyColor) c = (c & 0xFFFFFF) == kKeyColor ? 0 : c;
            if (r == Row::KeyAlphaTest) c = (c >> 24) > 128 ? c : 0;
            uint32_t a = c >> 24;
            c = a << 24 | d3d::Mul255((c >> 16) & 255, a) << 16 | d3d::Mul255((c >> 8) & 255, a) << 8 |
                d3d::Mul255(c & 255, a);
        }
        src = pixman_image_create_bits(PIXMAN_a8r8g8b8, s.size, s.size, texels.data(), s.size * 4);
        if (r == Row::Rotated) pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
    }
    ~Pixman() {
        pixman_image_unref(src);
        pixman_image_unref(dst);
    }
    void Draw() {
        pixman_op_t op = row == Row::Opaque ? PIXMAN_OP_SRC : (row == Row::Additive ? PIXMAN_OP_ADD : PIXMAN_OP_OVER);
        int size = sprites->size;
        for (int k = 0; k < count; ++k) {
            int x = sprites->xs[k], y = sprites->ys[k];
            if (row != Row::Rotated) {
                pixman_image_composite32(op, src, nullptr, dst, 0, 0, 0, 0, x, y, size, size);
                continue;
            }
            // Destination pixel centres back to the source: rotate by -30 degrees about
            // the sprite's centre.
            double a = 30.0 * 3.14159265358979323846 / 180.0;
            double reach = size * 0.7072 + 1;
            double cx = x + size / 2.0, cy = y + size / 2.0;
            int bx = int(std::floor(cx - reach)), by = int(std::floor(cy - reach)), bw = int(2 * reach) + 2;
            pixman_transform_t t;
            pixman_transform_init_identity(&t);
            pixman_transform_translate(&t, nullptr, pixman_double_to_fixed(bx - cx), pixman_double_to_fixed(by - cy));
            pixman_transform_rotate(&t, nullptr, pixman_double_to_fixed(std::cos(a)), pixman_double_to_fixed(-std::sin(a)));
            pixman_transform_translate(&t, nullptr, pixman_double_to_fixed(size / 2.0), pixman_double_to_fixed(size / 2.0));
            pixman_image_set_transform(src, &t);
            pixman_image_composite32(op, src, nullptr, dst, 0, 0, 0, 0, bx, by, bw, bw);
        }
    }
};

// ---- memcpy ------------------------------------------------------------------------------------------
void MemcpySprites(Target& t, const SpriteSet& s, int count) {
    const uint32_t* from = s.opaque.data();
    for (int k = 0; k < count; ++k)
        for (int j = 0; j < s.size; ++j)
            std::memcpy(&t.pixels[size_t(s.ys[k] + j) * kWidth + s.xs[k]], from + j * s.size, size_t(s.size) * 4);
}

// ---- one draw of a row by an implementation ----------------------------------------------------------
struct Runner {
    Target target;
    const SpriteSet* sprites;
    Row row;
    Impl impl;
    int count;
    std::unique_ptr<Ours> ours;
    std::unique_ptr<Sdl> sdl;
    std::unique_ptr<Pixman> pixman;
    std::unique_ptr<d3dbench::Device> device;

    Runner(const SpriteSet& s, Row r, Impl i, int n) : sprites(&s), row(r), impl(i), count(n) {
        target.Pattern();
        switch (impl) {
        case Impl::Device:
        case Impl::General:
            ours = std::make_unique<Ours>(s, r, n);
            device = d3dbench::Device::Create(kWidth, kHeight);
            if (device) {
                device->Upload(target.pixels);
                device->Prepare(StatesOf(r), ours->texture);
            }
            break;
        case Impl::Raster:
        case Impl::Scalar: ours = std::make_unique<Ours>(s, r, n); break;
        case Impl::Sdl: sdl = std::make_unique<Sdl>(target, s, r, n); break;
        case Impl::Pixman: pixman = std::make_unique<Pixman>(target, s, r, n); break;
        case Impl::Memcpy: break;
        }
    }
    bool Usable() const { return !((impl == Impl::Device || impl == Impl::General) && !device); }
    void Draw() {
        switch (impl) {
        case Impl::Device:
        case Impl::General:
            ptest::ForceD3DGeneralPath(impl == Impl::General);
            device->Draw(ours->vertices.data(), uint32_t(ours->vertices.size()), kQuadsPerDraw * 6);
            ptest::ForceD3DGeneralPath(false);
            break;
        case Impl::Raster: ours->DrawRaster(target, d3d::RasterPath::FastSse2); break;
        case Impl::Scalar: ours->DrawRaster(target, d3d::RasterPath::FastScalar); break;
        case Impl::Sdl: sdl->Draw(); break;
        case Impl::Pixman: pixman->Draw(); break;
        case Impl::Memcpy: MemcpySprites(target, *sprites, count); break;
        }
    }
    // The drawn image (the device keeps its own surface).
    std::vector<uint32_t> Image() {
        if (device) return device->Read();
        return target.pixels;
    }
};

// Compares a peer's image with ours; returns a description of the difference, "" if none.
// pixman gives our bytes exactly (its products round to nearest as ours do, and its
// nearest-filtered transform samples the texels ours does). SDL2 blends with its own
// 8-bit approximations (up to 12 off per channel), and its triangle renderer picks texels
// its own way, so for the rotated row only the pixel count is compared.
std::string Compare(Row row, Impl peer, const std::vector<uint32_t>& ours, const std::vector<uint32_t>& theirs,
                    const std::vector<uint32_t>& before) {
    bool blend = row == Row::Alpha || row == Row::Additive || row == Row::Rotated;
    int tolerance = (peer == Impl::Sdl && blend) ? 12 : 0;
    size_t bad = 0, touchedOurs = 0, touchedTheirs = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
        uint32_t a = ours[i] & 0xFFFFFF, b = theirs[i] & 0xFFFFFF, was = before[i] & 0xFFFFFF;
        touchedOurs += a != was;
        touchedTheirs += b != was;
        for (int shift = 0; shift < 24; shift += 8) {
            int d = int((a >> shift) & 255) - int((b >> shift) & 255);
            if (d > tolerance || d < -tolerance) {
                ++bad;
                break;
            }
        }
    }
    char buf[128];
    if (peer == Impl::Sdl && row == Row::Rotated) {
        std::snprintf(buf, sizeof buf, "other texels at %zu of %zu pixels, %zu pixels touched against our %zu", bad,
                      touchedOurs, touchedTheirs, touchedOurs);
        return buf;
    }
    if (bad == 0) return "";
    std::snprintf(buf, sizeof buf, "%zu of %zu touched pixels differ", bad, touchedOurs);
    return buf;
}

// ---- registration and the table ----------------------------------------------------------------------
struct Key {
    int size;
    Row row;
    bool operator<(const Key& o) const { return size != o.size ? size < o.size : int(row) < int(o.row); }
};
std::map<Key, std::map<int, double>> g_rates;  // megapixels per second by implementation
std::map<Key, std::map<int, std::string>> g_checks;

const SpriteSet& Sprites(int size) {
    static SpriteSet s32 = MakeSprites(32), s64 = MakeSprites(64);
    return size == 32 ? s32 : s64;
}

void BM_Sprites(benchmark::State& state, int size, Row row, Impl impl) {
    Runner runner(Sprites(size), row, impl, kSprites);
    if (!runner.Usable()) {
        state.SkipWithError("no device");
        return;
    }
    for (auto _ : state) {
        runner.Draw();
        benchmark::ClobberMemory();
    }
    double pixels = double(kSprites) * size * size;
    state.SetItemsProcessed(int64_t(state.iterations() * pixels));
    state.counters["Mpx_per_s"] = benchmark::Counter(pixels / 1e6 * double(state.iterations()), benchmark::Counter::kIsRate);
}

class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // With repetitions the table takes the median, else the one run.
        for (const Run& run : runs) {
            auto it = run.counters.find("Mpx_per_s");
            if (it == run.counters.end() || run.error_occurred) continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            auto where = names_.find(run.run_name.str());
            if (where == names_.end()) continue;
            double& slot = g_rates[where->second.first][where->second.second];
            if (run.run_type == Run::RT_Aggregate || slot == 0.0) slot = it->second.value;
        }
    }
    std::map<std::string, std::pair<Key, int>> names_;
};

void CheckPeers(int size, Row row) {
    const SpriteSet& s = Sprites(size);
    const int n = 200;
    Runner ours(s, row, Impl::Device, n);
    std::vector<uint32_t> before = ours.target.pixels;
    ours.Draw();
    std::vector<uint32_t> reference = ours.Image();
    for (Impl impl : {Impl::General, Impl::Raster, Impl::Scalar, Impl::Sdl, Impl::Pixman}) {
        Runner peer(s, row, impl, n);
        if (!peer.Usable()) continue;
        peer.Draw();
        std::string diff = Compare(row, impl, reference, peer.Image(), before);
        if (impl == Impl::General || impl == Impl::Raster || impl == Impl::Scalar)
            diff = reference == peer.Image() ? "" : "bytes differ";
        g_checks[{size, row}][int(impl)] = diff;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Row rows[] = {Row::Opaque, Row::KeyAlphaTest, Row::KeyColor, Row::Alpha, Row::Additive, Row::Rotated};
    const Impl impls[] = {Impl::Device, Impl::General, Impl::Raster, Impl::Scalar, Impl::Sdl, Impl::Pixman, Impl::Memcpy};
    TableReporter reporter;
    for (int size : {32, 64}) {
        for (Row row : rows) {
            if (row == Row::Rotated && size != 32) continue;
            CheckPeers(size, row);
            for (Impl impl : impls) {
                std::string name = std::string("Sprites/") + std::to_string(size) + "/" + RowName(row, size) + "/" +
                                   kImplNames[int(impl)];
                benchmark::RegisterBenchmark(name.c_str(), BM_Sprites, size, row, impl)->Unit(benchmark::kMillisecond);
                reporter.names_[name] = {{size, row}, int(impl)};
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nMegapixels per second (2000 sprites per iteration, 640x480 X8R8G8B8); ours: the device with\n"
                "prebuilt vertices; raster: the rasterizer alone; scalar: its fast paths without SSE2; general:\n"
                "the device with the reference path forced\n");
    std::printf("%-30s %7s %7s %7s %7s %7s %7s %7s  %9s %9s  %s\n", "row", "ours", "raster", "scalar", "general",
                "SDL2", "pixman", "memcpy", "ours/peer", "ours/mcpy", "checks");
    for (auto& entry : g_rates) {
        const Key& key = entry.first;
        const std::map<int, double>& rates = entry.second;
        auto rate = [&](Impl i) {
            auto it = rates.find(int(i));
            return it == rates.end() ? 0.0 : it->second;
        };
        double best = std::max(rate(Impl::Sdl), rate(Impl::Pixman));
        std::string checks;
        for (auto& check : g_checks[key])
            if (!check.second.empty()) checks += std::string(kImplNames[check.first]) + ": " + check.second + "; ";
        std::printf("%-30s %7.0f %7.0f %7.0f %7.0f %7.0f %7.0f %7.0f  %9.2f %9.2f  %s\n", RowName(key.row, key.size),
                    rate(Impl::Device), rate(Impl::Raster), rate(Impl::Scalar), rate(Impl::General), rate(Impl::Sdl),
                    rate(Impl::Pixman), rate(Impl::Memcpy), best > 0 ? rate(Impl::Device) / best : 0.0,
                    rate(Impl::Memcpy) > 0 ? rate(Impl::Device) / rate(Impl::Memcpy) : 0.0,
                    checks.empty() ? "peers match" : checks.c_str());
    }
    return 0;
}
