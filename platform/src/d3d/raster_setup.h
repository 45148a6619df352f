// d3d/raster_setup.h: what every path of the rasterizer shares before the pixels: the
// decoded draw (which stages run and which of them sample), vertices read from the
// caller's layout, primitive assembly with the first vertex of each primitive, and the
// triangle set-up (snapped positions, edges with the top-left bias, the clipped pixel
// box, attribute planes). The planes are built once here, so the reference path and the
// fast paths interpolate from the same integers.
#pragma once

#include <cstdint>

#include "d3d/raster.h"
#include "d3d/raster_pixel.h"

namespace d3d {

// ---- the decoded draw ----------------------------------------------------------------------------
struct DrawPlan {
    RasterState state;          // sanitized: unknown values replaced by their safe meaning
    int runStages = 0;          // stages before the first COLOROP DISABLE
    bool samples[kStages] = {}; // the stage's own operations read TEXTURE
    bool needDiffuse = false;
    bool needSpecular = false;
    int32_t clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;  // viewport and target; right/bottom exclusive
    uint32_t keyRgb[kStages] = {};  // widened key RGB of each sampled, keyed texture
    bool keyed[kStages] = {};       // colour keying applies to this stage's texels
};

// False when nothing can be drawn (empty clip).
bool MakeDrawPlan(const TargetView& target, const RasterState& state, DrawPlan* plan);

// ---- vertices and assembly -------------------------------------------------------------------------
constexpr double kMaxCoordinate = 1048576.0;  // 2^20 pixels

struct Vertex {
    bool valid = false;  // finite position within the limit
    int64_t x = 0, y = 0;  // snapped, 1/256 pixel
    uint32_t diffuse = 0xFFFFFFFFu;
    uint32_t specular = 0;
    float uv[2][2] = {};  // coordinate sets 0 and 1: u, v
};

// floor() for |v| < 2^62 without a library call.
inline int64_t FloorInt(double v) {
    int64_t i = static_cast<int64_t>(v);
    return static_cast<double>(i) > v ? i - 1 : i;
}

// A position coordinate snapped to 1/256 pixel (round half up); false (and 0) when it is
// not finite or lies beyond the limit.
inline bool SnapCoordinate(float f, int64_t* out) {
    const double d = f;
    const bool valid = d <= kMaxCoordinate && d >= -kMaxCoordinate;  // false for NaN
    *out = valid ? FloorInt(d * 256.0 + 0.5) : 0;
    return valid;
}

// Fills every field in place (a copy of a half-written record stalls the store buffer).
inline void ReadVertex(const Primitives& prims, uint32_t index, Vertex* v) {
    const uint8_t* p = static_cast<const uint8_t*>(prims.vertices) + static_cast<size_t>(index) * VertexStride(prims.fvf);
    float xy[2];
    std::memcpy(xy, p, 8);
    std::memcpy(&v->diffuse, p + 16, 4);
    if (prims.fvf == kFvfColorTex1) {
        v->specular = 0;
        std::memcpy(&v->uv[0][0], p + 20, 8);
        v->uv[1][0] = v->uv[1][1] = 0.0f;
    } else if (prims.fvf == kFvfColorSpecTex2) {
        std::memcpy(&v->specular, p + 20, 4);
        std::memcpy(&v->uv[0][0], p + 24, 16);
    } else {
        v->specular = 0;
        v->uv[0][0] = v->uv[0][1] = v->uv[1][0] = v->uv[1][1] = 0.0f;
    }
    // Both coordinates are snapped, even when the first is already invalid.
    const bool xValid = SnapCoordinate(xy[0], &v->x);
    const bool yValid = SnapCoordinate(xy[1], &v->y);
    v->valid = xValid && yValid;
    if (!v->valid) v->x = v->y = 0;
}

inline Vertex ReadVertex(const Primitives& prims, uint32_t index) {
    Vertex v;
    ReadVertex(prims, index, &v);
    return v;
}

// Triangles (or lines) in the draw, and the vertex numbers of one, through the index list;
// out[0] is the primitive's first vertex.
uint32_t PrimitiveCount(const Primitives& prims);
void PrimitiveVertices(const Primitives& prims, uint32_t n, uint32_t out[3]);

// ---- planes ---------------------------------------------------------------------------------------
// value(i, j) = ref + dx * (i - iref) + dy * (j - jref), in 16.16 fixed point.
struct Plane {
    int64_t ref = 0, dx = 0, dy = 0;
    int32_t iref = 0, jref = 0;
    int64_t At(int32_t i, int32_t j) const {
        return ref + dx * (static_cast<int64_t>(i) - iref) + dy * (static_cast<int64_t>(j) - jref);
    }
    bool operator==(const Plane& o) const {
        return dx == o.dx && dy == o.dy && At(o.iref, o.jref) == o.ref;
    }
};

// A plane value as a colour byte: rounded to nearest, clamped.
inline uint32_t PlaneByte(int64_t v) {
    int64_t c = (v + 32768) >> 16;
    return c < 0 ? 0 : (c > 255 ? 255 : static_cast<uint32_t>(c));
}

struct Edge {
    int64_t dx = 0, dy = 0;  // end minus start
    int64_t x = 0, y = 0;    // start
    int64_t bias = 0;        // 0 for a top or left edge (its centres are inside), else 1
    // Inside when At(i, j) >= bias... expressed as At(i, j) - bias >= 0.
    int64_t At(int32_t i, int32_t j) const {
        return dx * (static_cast<int64_t>(j) * 256 - y) - dy * (static_cast<int64_t>(i) * 256 - x);
    }
};

struct Triangle {
    Vertex v[3];      // v[0] is the first vertex; v[1], v[2] ordered so the area is positive
    Edge edges[3];
    int32_t left = 0, top = 0, right = -1, bottom = -1;  // pixel box inside the clip, inclusive
    uint32_t flatDiffuse = 0, flatSpecular = 0;
    Plane color[8];   // Gouraud: diffuse b, g, r, a, then specular b, g, r, a (shift / 8)
    Plane s[kStages], t[kStages];  // sampled stages: texel coordinates
    bool linear[kStages] = {};     // the filter that applies to this triangle
    bool Covers(int32_t i, int32_t j) const {
        return edges[0].At(i, j) >= edges[0].bias && edges[1].At(i, j) >= edges[1].bias &&
               edges[2].At(i, j) >= edges[2].bias;
    }
};

// The planes, the flat colours and the filters of a triangle given in any order with its
// signed doubled area (non-zero): the same values for either winding.
void SetupPlanes(const DrawPlan& plan, const Vertex* v, int64_t area2, Triangle* tri);

// False when the triangle draws nothing (invalid vertex, zero area, outside the clip).
bool SetupTriangle(const DrawPlan& plan, const Vertex& a, const Vertex& b, const Vertex& c, Triangle* tri);

// ---- per-pixel shading (the stage cascade and the tests) -----------------------------------------
struct PixelInput {
    uint32_t diffuse = 0, specular = 0;
    int64_t s[kStages] = {}, t[kStages] = {};
    bool linear[kStages] = {};
};

// The colour after the stages; false when the alpha test or the colour key discards it.
bool ShadePixel(const DrawPlan& plan, const PixelInput& in, uint32_t* color);

// Blends and stores one pixel of the target.
inline void StorePixel(const DrawPlan& plan, const TargetView& target, int32_t x, int32_t y, uint32_t color) {
    uint8_t* p = target.pixels + static_cast<intptr_t>(y) * target.pitch +
                 static_cast<intptr_t>(x) * BytesPerPixel(target.format);
    uint32_t dst = Widen(target.format, ReadRaw(p, target.format));
    uint32_t out = BlendPixel(plan.state.srcBlend, plan.state.destBlend, color, dst);
    WriteRaw(p, target.format, Narrow(target.format, out));
}

// ---- lines ------------------------------------------------------------------------------------------
// True when the segment a-b draws pixel (i, j) by the diamond-exit rule.
bool LineDrawsPixel(int64_t ax, int64_t ay, int64_t bx, int64_t by, int32_t i, int32_t j);

// Draws one line with ShadePixel and StorePixel (lines have one path).
void DrawLine(const DrawPlan& plan, const TargetView& target, const Vertex& a, const Vertex& b, const Vertex& first);

// ---- the paths (raster_reference.cpp, raster_fast.cpp) -------------------------------------------------
void DrawReference(const DrawPlan& plan, const TargetView& target, const Primitives& prims);
void DrawFast(const DrawPlan& plan, const TargetView& target, const Primitives& prims, bool sse2);

}  // namespace d3d
