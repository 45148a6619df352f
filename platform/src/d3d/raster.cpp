// d3d/raster.cpp: the rasterizer's entry: format facts, the supported state values,
// and the choice between the reference path and the fast paths.
#include "d3d/raster.h"

#include "d3d/controls.h"
#include "d3d/raster_setup.h"

namespace d3d {

int BytesPerPixel(PixelFormat format) {
    return (format == PixelFormat::X8R8G8B8 || format == PixelFormat::A8R8G8B8) ? 4 : 2;
}

bool HasAlpha(PixelFormat format) {
    return format == PixelFormat::A1R5G5B5 || format == PixelFormat::A4R4G4B4 || format == PixelFormat::A8R8G8B8;
}

bool IsSupportedOp(uint32_t value) {
    return (value >= op::Disable && value <= op::Add) || value == op::Subtract;
}

bool IsSupportedArg(uint32_t value) { return value <= arg::Specular; }

bool IsSupportedFactor(uint32_t value) {
    switch (value) {
    case factor::Zero:
    case factor::One:
    case factor::SrcColor:
    case factor::SrcAlpha:
    case factor::InvSrcAlpha:
    case factor::InvDestColor:
        return true;
    }
    return false;
}

RasterPath DefaultRasterPath() {
    return GeneralPathForced() ? RasterPath::Reference : RasterPath::FastSse2;
}

void Draw(const TargetView& target, const RasterState& state, const Primitives& primitives, RasterPath path) {
    if (VertexStride(primitives.fvf) == 0 || primitives.vertices == nullptr) return;
    DrawPlan plan;
    if (!MakeDrawPlan(target, state, &plan)) return;
    if (path == RasterPath::Reference)
        DrawReference(plan, target, primitives);
    else
        DrawFast(plan, target, primitives, path == RasterPath::FastSse2);
}

}  // namespace d3d
