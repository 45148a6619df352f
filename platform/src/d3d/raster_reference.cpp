// d3d/raster_reference.cpp: the reference path. Every pixel of a triangle's box is
// tested against the three edges and shaded on its own from the planes; it is slow
// and plain, and it defines the bytes that the fast paths must give.
#include "d3d/raster_setup.h"

namespace d3d {

namespace {

PixelInput Interpolate(const DrawPlan& plan, const Triangle& tri, int32_t i, int32_t j) {
    PixelInput in;
    if (plan.state.gouraud) {
        uint32_t d = 0, s = 0;
        for (int ch = 0; ch < 4; ++ch) {
            if (plan.needDiffuse) d |= PlaneByte(tri.color[ch].At(i, j)) << (ch * 8);
            if (plan.needSpecular) s |= PlaneByte(tri.color[ch + 4].At(i, j)) << (ch * 8);
        }
        in.diffuse = d;
        in.specular = s;
    } else {
        in.diffuse = tri.flatDiffuse;
        in.specular = tri.flatSpecular;
    }
    for (int k = 0; k < plan.runStages; ++k) {
        in.s[k] = tri.s[k].At(i, j);
        in.t[k] = tri.t[k].At(i, j);
        in.linear[k] = tri.linear[k];
    }
    return in;
}

}  // namespace

void DrawReference(const DrawPlan& plan, const TargetView& target, const Primitives& prims) {
    uint32_t count = PrimitiveCount(prims);
    for (uint32_t n = 0; n < count; ++n) {
        uint32_t idx[3];
        PrimitiveVertices(prims, n, idx);
        Vertex a = ReadVertex(prims, idx[0]), b = ReadVertex(prims, idx[1]);
        if (prims.type == Primitive::LineList) {
            DrawLine(plan, target, a, b, a);
            continue;
        }
        Triangle tri;
        if (!SetupTriangle(plan, a, b, ReadVertex(prims, idx[2]), &tri)) continue;
        for (int32_t j = tri.top; j <= tri.bottom; ++j) {
            for (int32_t i = tri.left; i <= tri.right; ++i) {
                if (!tri.Covers(i, j)) continue;
                uint32_t color;
                if (ShadePixel(plan, Interpolate(plan, tri, i, j), &color)) StorePixel(plan, target, i, j, color);
            }
        }
    }
}

}  // namespace d3d
