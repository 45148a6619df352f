// d3d/raster.h: the software rasterizer under IDirect3DDevice7. It draws pre-transformed
// vertices (x, y in target pixels; z and rhw ignored) into a plain pixel view, with the
// texture-stage cascade, alpha test, colour key and blending. It knows nothing of COM or
// DirectDraw: the device (d3d/device.cpp) hands it views of locked surface memory and
// the states it stored. Pure functions over the views; any thread, one draw at a time
// per target.
//
// Rules (they define the bytes; every path gives the same ones):
// - Positions snap to 1/256 pixel (round half up). Pixel centres lie on integers. A
//   triangle covers a centre strictly inside it, and a centre on an edge only when the
//   edge is a top edge (horizontal, interior below) or a left edge (interior to its
//   right): triangles sharing an edge never both draw a pixel nor both skip it. Both
//   windings draw. Coverage is integer arithmetic on the snapped positions.
// - A primitive with a position that is not finite or lies beyond +-2^20 pixels, or with
//   zero area, draws nothing. Nothing is ever written outside viewport and target.
// - Lines: pixel (i, j) is drawn when the segment meets the open diamond
//   |x - i| + |y - j| < 1/2 and its end point lies outside that diamond.
// - Attributes are affine planes over the snapped triangle, held in 16.16 fixed point
//   relative to a pixel near the first vertex and stepped by exact integer addition, so
//   evaluating a pixel directly and stepping to it agree. Texture coordinates are
//   planes of u x width and v x height of the stage's texture (in texels): unscaled and
//   power-of-two-scaled draws land exactly on texel centres.
// - Flat shading takes diffuse and specular from the primitive's first vertex (3i in
//   lists, i in strips through the index, 2i in line lists); Gouraud rounds the colour
//   planes to nearest at pixel centres.
// - Point sampling reads texel (floor(s), floor(t)), clamped to the texture. Linear
//   reads the four texels around (s - 1/2, t - 1/2), clamped, with weights in 1/256
//   steps, rounded to nearest; exactly on a texel it equals point sampling. A stage uses
//   its MINFILTER when one of its texel steps per pixel exceeds one texel, else its
//   MAGFILTER; LINEAR means linear, any other value point. Texels widen to 8 bits per
//   channel as floor(x * 255 / (2^w - 1)); formats without alpha read 255. An unbound
//   texture reads opaque white. Addressing is always clamp.
// - Stages run from 0 and stop at the first whose COLOROP is DISABLE. Every product
//   a * b / 255 rounds to nearest; MODULATE2X/4X and ADD saturate at 255; SUBTRACT stops
//   at 0. An ALPHAOP of DISABLE passes CURRENT's alpha. CURRENT at stage 0 is DIFFUSE;
//   SPECULAR of a vertex without one is 0.
// - Then the alpha test on the final alpha (ALPHAFUNC outside 1-8 acts as ALWAYS), then
//   the colour key: a sampled texel whose RGB equals its texture's key RGB discards the
//   pixel (with linear filtering the point-sampled texel decides).
// - Blending: min(255, src x SrcFactor + dst x DestFactor) per channel, alpha included
//   (the alpha channel's SRCCOLOR is the source alpha, INVDESTCOLOR 255 - dest alpha).
//   Blending off is ONE, ZERO. The destination widens as texels do; stores truncate
//   (no dither); X bits are written 0.
#pragma once

#include <cstdint>

namespace d3d {

// ---- pixel formats -------------------------------------------------------------------------
enum class PixelFormat : uint8_t { R5G6B5, X1R5G5B5, A1R5G5B5, A4R4G4B4, X8R8G8B8, A8R8G8B8 };
int BytesPerPixel(PixelFormat format);
bool HasAlpha(PixelFormat format);

// A render target: the locked memory of a surface.
struct TargetView {
    uint8_t* pixels = nullptr;
    int32_t pitch = 0;   // bytes from one row to the next
    int32_t width = 0;
    int32_t height = 0;
    PixelFormat format = PixelFormat::X8R8G8B8;
};

// A texture bound to a stage; pixels null: unbound (reads opaque white).
struct TextureView {
    const uint8_t* pixels = nullptr;
    int32_t pitch = 0;
    int32_t width = 0;
    int32_t height = 0;
    PixelFormat format = PixelFormat::X8R8G8B8;
    bool keyed = false;  // a DDCKEY_SRCBLT key is set
    uint32_t key = 0;    // raw pixel value in the texture's format; only its RGB bits count
};

// ---- state values (Direct3D 7's numbers) ---------------------------------------------------------
namespace op {
enum : uint32_t {
    Disable = 1, SelectArg1 = 2, SelectArg2 = 3, Modulate = 4, Modulate2x = 5, Modulate4x = 6,
    Add = 7, Subtract = 10,
};
}
namespace arg {
enum : uint32_t { Diffuse = 0, Current = 1, Texture = 2, TFactor = 3, Specular = 4 };
}
namespace factor {
enum : uint32_t { Zero = 1, One = 2, SrcColor = 3, SrcAlpha = 5, InvSrcAlpha = 6, InvDestColor = 10 };
}
namespace cmp {
enum : uint32_t { Never = 1, Less, Equal, LessEqual, Greater, NotEqual, GreaterEqual, Always };
}
namespace filter {
enum : uint32_t { Point = 1, Linear = 2 };
}

// Supported values; the device refuses the others before they reach the rasterizer.
bool IsSupportedOp(uint32_t value);
bool IsSupportedArg(uint32_t value);
bool IsSupportedFactor(uint32_t value);

constexpr int kStages = 8;

struct StageState {
    uint32_t colorOp = op::Disable;
    uint32_t colorArg1 = arg::Texture;
    uint32_t colorArg2 = arg::Current;
    uint32_t alphaOp = op::Disable;
    uint32_t alphaArg1 = arg::Texture;
    uint32_t alphaArg2 = arg::Current;
    uint32_t texCoordIndex = 0;  // 0: the first coordinate set, 1: the second; others read 0, 0
    uint32_t magFilter = filter::Point;
    uint32_t minFilter = filter::Point;
};

struct RasterState {
    StageState stages[kStages];
    TextureView textures[kStages];
    bool alphaTest = false;
    uint32_t alphaRef = 0;
    uint32_t alphaFunc = cmp::Always;
    bool blend = false;
    uint32_t srcBlend = factor::One;
    uint32_t destBlend = factor::Zero;
    bool colorKey = false;
    bool gouraud = false;
    uint32_t textureFactor = 0xFFFFFFFFu;
    // The viewport in target pixels; drawing is clipped to viewport and target.
    int64_t viewX = 0, viewY = 0, viewWidth = 0, viewHeight = 0;
};

// ---- primitives -------------------------------------------------------------------------------------
enum class Primitive : uint8_t { TriangleList, TriangleStrip, LineList };
constexpr uint32_t kFvfColor = 0x44;        // x, y, z, rhw, diffuse: 20 bytes
constexpr uint32_t kFvfColorTex1 = 0x144;   // then tu, tv: 28 bytes
constexpr uint32_t kFvfColorSpecTex2 = 0x2C4;  // x, y, z, rhw, diffuse, specular, tu1, tv1, tu2, tv2: 40
// 0 for any other format.
inline int VertexStride(uint32_t fvf) {
    return fvf == kFvfColor ? 20 : (fvf == kFvfColorTex1 ? 28 : (fvf == kFvfColorSpecTex2 ? 40 : 0));
}

struct Primitives {
    Primitive type = Primitive::TriangleList;
    uint32_t fvf = kFvfColor;
    const void* vertices = nullptr;
    uint32_t vertexCount = 0;
    const uint16_t* indices = nullptr;  // null: the vertices in order
    uint32_t indexCount = 0;            // every index below vertexCount (the device checks)
};

// ---- drawing -------------------------------------------------------------------------------------------
// Reference: the plain per-pixel definition. FastScalar: the per-draw specialised span
// routines without SSE2. FastSse2: the same with four pixels at a time. All three give
// identical bytes.
enum class RasterPath : uint8_t { Reference, FastScalar, FastSse2 };

// The path the device uses: FastSse2, or Reference while ptest::ForceD3DGeneralPath is on.
RasterPath DefaultRasterPath();

void Draw(const TargetView& target, const RasterState& state, const Primitives& primitives, RasterPath path);

}  // namespace d3d
