// d3d_support.h: fixtures for the rasterizer and device tests: pixel buffers with padded
// rows (pitch slips show), vertex arrays in the three layouts, and a short description
// of a pixel for failure messages.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "d3d/raster.h"

namespace d3dtest {

// A pixel buffer in one of the six formats; rows padded by 12 bytes.
struct Image {
    int width = 0, height = 0, pitch = 0;
    d3d::PixelFormat format = d3d::PixelFormat::X8R8G8B8;
    std::vector<uint8_t> bytes;

    Image() = default;
    Image(int w, int h, d3d::PixelFormat f, uint32_t fill = 0) : width(w), height(h), format(f) {
        pitch = w * d3d::BytesPerPixel(f) + 12;
        bytes.assign(static_cast<size_t>(pitch) * h, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) Set(x, y, fill);
    }
    uint32_t Get(int x, int y) const {
        uint32_t v = 0;
        std::memcpy(&v, bytes.data() + y * pitch + x * d3d::BytesPerPixel(format), d3d::BytesPerPixel(format));
        return v;
    }
    void Set(int x, int y, uint32_t v) {
        std::memcpy(bytes.data() + y * pitch + x * d3d::BytesPerPixel(format), &v, d3d::BytesPerPixel(format));
    }
    d3d::TargetView Target() { return {bytes.data(), pitch, width, height, format}; }
    d3d::TextureView Texture() const { return {bytes.data(), pitch, width, height, format, false, 0}; }
};

// Vertices of one layout, written as bytes exactly as a caller's buffer holds them.
struct VertexBuffer {
    uint32_t fvf = d3d::kFvfColor;
    std::vector<uint8_t> bytes;
    explicit VertexBuffer(uint32_t f = d3d::kFvfColor) : fvf(f) {}

    void Put(const void* p, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
    }
    void PutFloat(float v) { Put(&v, 4); }
    void PutWord(uint32_t v) { Put(&v, 4); }

    // x, y, diffuse, then u, v (0x144) or specular, u1, v1, u2, v2 (0x2C4).
    void Add(float x, float y, uint32_t diffuse, float u = 0, float v = 0, uint32_t specular = 0xFFFFFFFFu,
             float u2 = 0, float v2 = 0) {
        PutFloat(x);
        PutFloat(y);
        PutFloat(0.0f);
        PutFloat(1.0f);
        PutWord(diffuse);
        if (fvf == d3d::kFvfColorTex1) {
            PutFloat(u);
            PutFloat(v);
        } else if (fvf == d3d::kFvfColorSpecTex2) {
            PutWord(specular);
            PutFloat(u);
            PutFloat(v);
            PutFloat(u2);
            PutFloat(v2);
        }
    }
    // An upright quad as two listed triangles (top-left, top-right, bottom-left),
    // (bottom-right, bottom-left, top-right), texture corners (0, 0) to (1, 1).
    void Quad(float x0, float y0, float x1, float y1, uint32_t diffuse, float u0 = 0, float v0 = 0, float u1 = 1,
              float v1 = 1) {
        Add(x0, y0, diffuse, u0, v0, 0xFFFFFFFFu, u0, v0);
        Add(x1, y0, diffuse, u1, v0, 0xFFFFFFFFu, u1, v0);
        Add(x0, y1, diffuse, u0, v1, 0xFFFFFFFFu, u0, v1);
        Add(x1, y1, diffuse, u1, v1, 0xFFFFFFFFu, u1, v1);
        Add(x0, y1, diffuse, u0, v1, 0xFFFFFFFFu, u0, v1);
        Add(x1, y0, diffuse, u1, v0, 0xFFFFFFFFu, u1, v0);
    }
    uint32_t Count() const { return static_cast<uint32_t>(bytes.size() / d3d::VertexStride(fvf)); }

    d3d::Primitives List(d3d::Primitive type = d3d::Primitive::TriangleList) const {
        d3d::Primitives p;
        p.type = type;
        p.fvf = fvf;
        p.vertices = bytes.data();
        p.vertexCount = Count();
        return p;
    }
};

// A state that draws the diffuse colour unblended over the whole target.
inline d3d::RasterState DiffuseState(int width, int height) {
    d3d::RasterState st;
    st.stages[0].colorOp = d3d::op::SelectArg1;
    st.stages[0].colorArg1 = d3d::arg::Diffuse;
    st.stages[0].alphaOp = d3d::op::SelectArg1;
    st.stages[0].alphaArg1 = d3d::arg::Diffuse;
    st.viewWidth = width;
    st.viewHeight = height;
    return st;
}

// Stage 0 copies the texture, colour and alpha.
inline d3d::RasterState TextureState(int width, int height, const d3d::TextureView& tex) {
    d3d::RasterState st = DiffuseState(width, height);
    st.stages[0].colorArg1 = d3d::arg::Texture;
    st.stages[0].alphaArg1 = d3d::arg::Texture;
    st.textures[0] = tex;
    return st;
}

constexpr d3d::RasterPath kPaths[] = {d3d::RasterPath::Reference, d3d::RasterPath::FastScalar,
                                      d3d::RasterPath::FastSse2};
inline const char* PathName(d3d::RasterPath p) {
    return p == d3d::RasterPath::Reference ? "reference" : (p == d3d::RasterPath::FastScalar ? "fast-scalar" : "sse2");
}

}  // namespace d3dtest
