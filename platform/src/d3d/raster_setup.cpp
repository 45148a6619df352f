// d3d/raster_setup.cpp: the decoded draw, vertex reading, primitive assembly, triangle
// set-up, the per-pixel stage cascade and lines. Shared by every path of the rasterizer;
// the rules are stated in raster.h.
#include "d3d/raster_setup.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

namespace d3d {

namespace {

bool UsesArg1(uint32_t operation) { return operation != op::SelectArg2; }
bool UsesArg2(uint32_t operation) { return operation != op::SelectArg1; }

// Which arguments an operation reads, as a bit per argument value.
uint32_t ArgsRead(uint32_t operation, uint32_t arg1, uint32_t arg2) {
    uint32_t mask = 0;
    if (operation == op::Disable) return 0;
    if (UsesArg1(operation)) mask |= 1u << arg1;
    if (UsesArg2(operation)) mask |= 1u << arg2;
    return mask;
}

int64_t FloorDiv256(int64_t v) { return v >> 8; }
int64_t CeilDiv256(int64_t v) { return (v + 255) >> 8; }

// 16.16 fixed point, saturating far beyond any texture or colour; NaN reads 0.
int64_t ToFixed(double v) {
    constexpr double kLimit = 1099511627776.0;  // 2^40
    double f = v * 65536.0;
    if (!(f == f)) return 0;
    if (f > kLimit) f = kLimit;
    if (f < -kLimit) f = -kLimit;
    return FloorInt(f + 0.5);
}

// What the planes of one triangle share: its edges from the first vertex, 256 / the signed
// doubled area (so the planes do not depend on the order of v[1] and v[2]), and the
// reference pixel near the first vertex with the offset of its centre.
struct Basis {
    double dx1, dy1, dx2, dy2, perArea, ox, oy;
    int32_t iref, jref;
    Basis(const Vertex* v, int64_t area2) {
        dx1 = static_cast<double>(v[1].x - v[0].x);
        dy1 = static_cast<double>(v[1].y - v[0].y);
        dx2 = static_cast<double>(v[2].x - v[0].x);
        dy2 = static_cast<double>(v[2].y - v[0].y);
        perArea = 256.0 / static_cast<double>(area2);
        iref = static_cast<int32_t>(FloorDiv256(v[0].x));
        jref = static_cast<int32_t>(FloorDiv256(v[0].y));
        ox = static_cast<double>(static_cast<int64_t>(iref) * 256 - v[0].x) / 256.0;
        oy = static_cast<double>(static_cast<int64_t>(jref) * 256 - v[0].y) / 256.0;
    }
};

// The plane through the triangle's vertices with the given values.
inline Plane MakePlane(const Basis& b, double a0, double a1, double a2) {
    double d1 = a1 - a0, d2 = a2 - a0;
    double gx = (d1 * b.dy2 - d2 * b.dy1) * b.perArea;
    double gy = (d2 * b.dx1 - d1 * b.dx2) * b.perArea;
    Plane p;
    p.iref = b.iref;
    p.jref = b.jref;
    p.ref = ToFixed(a0 + gx * b.ox + gy * b.oy);
    p.dx = ToFixed(gx);
    p.dy = ToFixed(gy);
    return p;
}

int64_t Abs64(int64_t v) { return v < 0 ? -v : v; }

}  // namespace

bool MakeDrawPlan(const TargetView& target, const RasterState& in, DrawPlan* plan) {
    *plan = DrawPlan{};
    RasterState& st = plan->state;
    st = in;
    for (int k = 0; k < kStages; ++k) {
        StageState& s = st.stages[k];
        if (!IsSupportedOp(s.colorOp)) s.colorOp = op::Disable;
        if (!IsSupportedOp(s.alphaOp)) s.alphaOp = op::Disable;
        for (uint32_t* a : {&s.colorArg1, &s.colorArg2, &s.alphaArg1, &s.alphaArg2})
            if (!IsSupportedArg(*a)) *a = arg::Current;
        TextureView& t = st.textures[k];
        if (t.pixels != nullptr && (t.width <= 0 || t.height <= 0)) t = TextureView{};
    }
    if (!st.blend) {
        st.srcBlend = factor::One;
        st.destBlend = factor::Zero;
    } else {
        if (!IsSupportedFactor(st.srcBlend)) st.srcBlend = factor::One;
        if (!IsSupportedFactor(st.destBlend)) st.destBlend = factor::Zero;
    }
    if (!st.alphaTest) st.alphaFunc = cmp::Always;

    int run = 0;
    while (run < kStages && st.stages[run].colorOp != op::Disable) ++run;
    plan->runStages = run;
    plan->needDiffuse = (run == 0);
    for (int k = 0; k < run; ++k) {
        const StageState& s = st.stages[k];
        uint32_t read = ArgsRead(s.colorOp, s.colorArg1, s.colorArg2) | ArgsRead(s.alphaOp, s.alphaArg1, s.alphaArg2);
        if (k == 0 && (s.alphaOp == op::Disable || (read & (1u << arg::Current)))) plan->needDiffuse = true;
        if (read & (1u << arg::Diffuse)) plan->needDiffuse = true;
        if (read & (1u << arg::Specular)) plan->needSpecular = true;
        plan->samples[k] = (read & (1u << arg::Texture)) != 0;
        const TextureView& t = st.textures[k];
        plan->keyed[k] = st.colorKey && plan->samples[k] && t.pixels != nullptr && t.keyed;
        if (plan->keyed[k]) plan->keyRgb[k] = KeyRgb(t);
    }

    int64_t left = st.viewX > 0 ? st.viewX : 0;
    int64_t top = st.viewY > 0 ? st.viewY : 0;
    int64_t right = st.viewX + st.viewWidth, bottom = st.viewY + st.viewHeight;
    if (right > target.width) right = target.width;
    if (bottom > target.height) bottom = target.height;
    if (target.pixels == nullptr || left >= right || top >= bottom) return false;
    plan->clipLeft = static_cast<int32_t>(left);
    plan->clipTop = static_cast<int32_t>(top);
    plan->clipRight = static_cast<int32_t>(right);
    plan->clipBottom = static_cast<int32_t>(bottom);
    return true;
}

uint32_t PrimitiveCount(const Primitives& prims) {
    uint32_t count = prims.indices != nullptr ? prims.indexCount : prims.vertexCount;
    switch (prims.type) {
    case Primitive::TriangleList: return count / 3;
    case Primitive::TriangleStrip: return count >= 3 ? count - 2 : 0;
    case Primitive::LineList: return count / 2;
    }
    return 0;
}

void PrimitiveVertices(const Primitives& prims, uint32_t n, uint32_t out[3]) {
    uint32_t first = prims.type == Primitive::TriangleList ? n * 3 : (prims.type == Primitive::LineList ? n * 2 : n);
    int corners = prims.type == Primitive::LineList ? 2 : 3;
    for (int k = 0; k < corners; ++k)
        out[k] = prims.indices != nullptr ? prims.indices[first + k] : first + k;
    if (corners == 2) out[2] = out[1];
}

void SetupPlanes(const DrawPlan& plan, const Vertex* v, int64_t area2, Triangle* tri) {
    const Basis basis(v, area2);
    tri->flatDiffuse = v[0].diffuse;
    tri->flatSpecular = v[0].specular;
    if (plan.state.gouraud) {
        for (int ch = 0; ch < 8; ++ch) {
            if ((ch < 4 && !plan.needDiffuse) || (ch >= 4 && !plan.needSpecular)) continue;
            int shift = (ch & 3) * 8;
            auto value = [&](const Vertex& x) {
                return static_cast<double>(Channel(ch < 4 ? x.diffuse : x.specular, shift));
            };
            tri->color[ch] = MakePlane(basis, value(v[0]), value(v[1]), value(v[2]));
        }
    }
    for (int k = 0; k < plan.runStages; ++k) {
        const TextureView& tex = plan.state.textures[k];
        if (!plan.samples[k] || tex.pixels == nullptr) continue;
        uint32_t set = plan.state.stages[k].texCoordIndex;
        double w = tex.width, h = tex.height;
        auto u = [&](const Vertex& x) { return set <= 1 ? static_cast<double>(x.uv[set][0]) * w : 0.0; };
        auto t = [&](const Vertex& x) { return set <= 1 ? static_cast<double>(x.uv[set][1]) * h : 0.0; };
        tri->s[k] = MakePlane(basis, u(v[0]), u(v[1]), u(v[2]));
        tri->t[k] = MakePlane(basis, t(v[0]), t(v[1]), t(v[2]));
        int64_t step = Abs64(tri->s[k].dx);
        for (int64_t g : {tri->s[k].dy, tri->t[k].dx, tri->t[k].dy}) step = Abs64(g) > step ? Abs64(g) : step;
        const StageState& ss = plan.state.stages[k];
        tri->linear[k] = (step > 65536 ? ss.minFilter : ss.magFilter) == filter::Linear;
    }
}

bool SetupTriangle(const DrawPlan& plan, const Vertex& a, const Vertex& b, const Vertex& c, Triangle* tri) {
    if (!a.valid || !b.valid || !c.valid) return false;
    int64_t area2 = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    if (area2 == 0) return false;
    tri->v[0] = a;
    tri->v[1] = area2 > 0 ? b : c;
    tri->v[2] = area2 > 0 ? c : b;
    const Vertex* v = tri->v;

    int64_t minX = v[0].x, maxX = v[0].x, minY = v[0].y, maxY = v[0].y;
    for (int k = 1; k < 3; ++k) {
        minX = v[k].x < minX ? v[k].x : minX;
        maxX = v[k].x > maxX ? v[k].x : maxX;
        minY = v[k].y < minY ? v[k].y : minY;
        maxY = v[k].y > maxY ? v[k].y : maxY;
    }
    int64_t left = CeilDiv256(minX), right = FloorDiv256(maxX), top = CeilDiv256(minY), bottom = FloorDiv256(maxY);
    if (left < plan.clipLeft) left = plan.clipLeft;
    if (top < plan.clipTop) top = plan.clipTop;
    if (right > plan.clipRight - 1) right = plan.clipRight - 1;
    if (bottom > plan.clipBottom - 1) bottom = plan.clipBottom - 1;
    if (left > right || top > bottom) return false;
    tri->left = static_cast<int32_t>(left);
    tri->right = static_cast<int32_t>(right);
    tri->top = static_cast<int32_t>(top);
    tri->bottom = static_cast<int32_t>(bottom);

    // Top-left rule: an edge whose interior lies to its right (dy < 0) is a left edge;
    // a horizontal one with the interior below (dx > 0) is a top edge.
    for (int k = 0; k < 3; ++k) {
        const Vertex& s = v[k];
        const Vertex& e = v[(k + 1) % 3];
        Edge& edge = tri->edges[k];
        edge.dx = e.x - s.x;
        edge.dy = e.y - s.y;
        edge.x = s.x;
        edge.y = s.y;
        edge.bias = (edge.dy < 0 || (edge.dy == 0 && edge.dx > 0)) ? 0 : 1;
    }

    const Vertex given[3] = {a, b, c};
    SetupPlanes(plan, given, area2, tri);
    return true;
}

bool ShadePixel(const DrawPlan& plan, const PixelInput& in, uint32_t* color) {
    const RasterState& st = plan.state;
    uint32_t current = in.diffuse;
    bool discard = false;
    for (int k = 0; k < plan.runStages; ++k) {
        const StageState& s = st.stages[k];
        uint32_t texel = 0xFFFFFFFFu;
        if (plan.samples[k]) {
            const TextureView& tex = st.textures[k];
            texel = in.linear[k] ? SampleLinear(tex, in.s[k], in.t[k]) : SamplePoint(tex, in.s[k], in.t[k]);
            if (plan.keyed[k]) {
                uint32_t nearest = in.linear[k] ? SamplePoint(tex, in.s[k], in.t[k]) : texel;
                if ((nearest & 0x00FFFFFFu) == plan.keyRgb[k]) discard = true;
            }
        }
        auto value = [&](uint32_t a) -> uint32_t {
            switch (a) {
            case arg::Diffuse: return in.diffuse;
            case arg::Texture: return texel;
            case arg::TFactor: return st.textureFactor;
            case arg::Specular: return in.specular;
            }
            return current;
        };
        uint32_t rgb = ApplyOp(s.colorOp, value(s.colorArg1), value(s.colorArg2)) & 0x00FFFFFFu;
        uint32_t alpha = s.alphaOp == op::Disable ? current : ApplyOp(s.alphaOp, value(s.alphaArg1), value(s.alphaArg2));
        current = rgb | (alpha & 0xFF000000u);
    }
    *color = current;
    if (!AlphaPasses(st.alphaFunc, current >> 24, st.alphaRef)) return false;
    return !discard;
}

// ---- lines --------------------------------------------------------------------------------------------
bool LineDrawsPixel(int64_t ax, int64_t ay, int64_t bx, int64_t by, int32_t i, int32_t j) {
    const int64_t r = 128;
    int64_t cx = static_cast<int64_t>(i) * 256, cy = static_cast<int64_t>(j) * 256;
    if (Abs64(bx - cx) + Abs64(by - cy) < r) return false;  // ends inside: not left
    // In u = x + y, v = x - y the diamond is the open square (cu +- r, cv +- r).
    int64_t u0 = ax + ay, v0 = ax - ay, u1 = bx + by, v1 = bx - by;
    int64_t cu = cx + cy, cv = cx - cy;
    if ((u0 > u1 ? u0 : u1) <= cu - r || (u0 < u1 ? u0 : u1) >= cu + r) return false;
    if ((v0 > v1 ? v0 : v1) <= cv - r || (v0 < v1 ? v0 : v1) >= cv + r) return false;
    // Separation along the segment's normal.
    int64_t nu = -(v1 - v0), nv = u1 - u0;
    int64_t d = nu * u0 + nv * v0;
    int64_t centre = nu * cu + nv * cv, reach = r * (Abs64(nu) + Abs64(nv));
    return d > centre - reach && d < centre + reach;
}

void DrawLine(const DrawPlan& plan, const TargetView& target, const Vertex& a, const Vertex& b, const Vertex& first) {
    if (!a.valid || !b.valid) return;
    int64_t dX = b.x - a.x, dY = b.y - a.y;
    if (dX == 0 && dY == 0) return;
    const RasterState& st = plan.state;
    bool xMajor = Abs64(dX) >= Abs64(dY);
    double length2 = static_cast<double>(dX) * static_cast<double>(dX) + static_cast<double>(dY) * static_cast<double>(dY);
    double length = std::sqrt(length2) / 256.0;

    // Per sampled stage: texel coordinates at both ends, and the filter.
    double s0[kStages] = {}, s1[kStages] = {}, t0[kStages] = {}, t1[kStages] = {};
    bool linear[kStages] = {};
    for (int k = 0; k < plan.runStages; ++k) {
        const TextureView& tex = st.textures[k];
        if (!plan.samples[k] || tex.pixels == nullptr) continue;
        uint32_t set = st.stages[k].texCoordIndex;
        if (set <= 1) {
            s0[k] = static_cast<double>(a.uv[set][0]) * tex.width;
            s1[k] = static_cast<double>(b.uv[set][0]) * tex.width;
            t0[k] = static_cast<double>(a.uv[set][1]) * tex.height;
            t1[k] = static_cast<double>(b.uv[set][1]) * tex.height;
        }
        double texelsPerPixel = std::fmax(std::fabs(s1[k] - s0[k]), std::fabs(t1[k] - t0[k])) / length;
        linear[k] = (texelsPerPixel > 1.0 ? st.stages[k].minFilter : st.stages[k].magFilter) == filter::Linear;
    }

    auto drawPixel = [&](int32_t i, int32_t j) {
        if (i < plan.clipLeft || i >= plan.clipRight || j < plan.clipTop || j >= plan.clipBottom) return;
        if (!LineDrawsPixel(a.x, a.y, b.x, b.y, i, j)) return;
        double t = (static_cast<double>(static_cast<int64_t>(i) * 256 - a.x) * static_cast<double>(dX) +
                    static_cast<double>(static_cast<int64_t>(j) * 256 - a.y) * static_cast<double>(dY)) / length2;
        t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
        PixelInput in;
        if (st.gouraud) {
            auto lerp = [&](uint32_t ca, uint32_t cb) {
                uint32_t out = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    double x = Channel(ca, shift) + (static_cast<double>(Channel(cb, shift)) - Channel(ca, shift)) * t;
                    out |= PlaneByte(ToFixed(x)) << shift;
                }
                return out;
            };
            in.diffuse = lerp(a.diffuse, b.diffuse);
            in.specular = lerp(a.specular, b.specular);
        } else {
            in.diffuse = first.diffuse;
            in.specular = first.specular;
        }
        for (int k = 0; k < plan.runStages; ++k) {
            in.s[k] = ToFixed(s0[k] + (s1[k] - s0[k]) * t);
            in.t[k] = ToFixed(t0[k] + (t1[k] - t0[k]) * t);
            in.linear[k] = linear[k];
        }
        uint32_t color;
        if (ShadePixel(plan, in, &color)) StorePixel(plan, target, i, j, color);
    };

    // Walk the major axis; per step only the three pixels next to the line can be hit.
    int64_t lo = (xMajor ? (a.x < b.x ? a.x : b.x) : (a.y < b.y ? a.y : b.y)) - 128;
    int64_t hi = (xMajor ? (a.x > b.x ? a.x : b.x) : (a.y > b.y ? a.y : b.y)) + 128;
    int64_t from = lo >> 8, to = (hi >> 8) + 1;
    int64_t clipLo = xMajor ? plan.clipLeft : plan.clipTop, clipHi = (xMajor ? plan.clipRight : plan.clipBottom) - 1;
    if (from < clipLo) from = clipLo;
    if (to > clipHi) to = clipHi;
    for (int64_t m = from; m <= to; ++m) {
        double along = static_cast<double>(m * 256 - (xMajor ? a.x : a.y));
        double across = static_cast<double>(xMajor ? a.y : a.x) +
                        along * static_cast<double>(xMajor ? dY : dX) / static_cast<double>(xMajor ? dX : dY);
        int64_t centre = FloorInt(across / 256.0);
        for (int64_t n = centre - 1; n <= centre + 2; ++n) {
            if (n < INT32_MIN || n > INT32_MAX) continue;
            if (xMajor)
                drawPixel(static_cast<int32_t>(m), static_cast<int32_t>(n));
            else
                drawPixel(static_cast<int32_t>(n), static_cast<int32_t>(m));
        }
    }
}

}  // namespace d3d
