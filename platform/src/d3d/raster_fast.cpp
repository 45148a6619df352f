// d3d/raster_fast.cpp: the fast paths of the rasterizer. Each draw call is resolved once
// into a span routine: a texel fetcher per sampled stage (by texture format, sampling and
// step), the stage program as row operations, the alpha-test and colour-key masks, and a
// blend-and-store row chosen by the blend factors and the target format. Triangles are
// walked row by row with exact integer span ends; a list or strip pair forming an upright
// rectangle with one set of planes goes to a row loop over the rectangle, and an opaque
// plain copy there is a memcpy (or a masked copy) per row. Rows run in chunks of 64
// pixels; with SSE2 four pixels go at a time, with heads and tails from raster_pixel.h.
// Every routine gives the reference path's bytes (raster_reference.cpp).
#include <emmintrin.h>

#include <cstring>
#include <initializer_list>
#include <utility>

#include "d3d/raster_setup.h"

namespace d3d {

namespace {

constexpr int kChunk = 64;

// ---- SSE2 helpers ----------------------------------------------------------------------------------
inline __m128i Load4(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void Store4(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
inline uint32_t Load1(const void* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void Store1(void* p, uint32_t v) { std::memcpy(p, &v, 4); }

// round(a * b / 255) on 16-bit lanes that hold bytes, exactly as Mul255.
inline __m128i Mul255x(__m128i a, __m128i b) {
    __m128i t = _mm_add_epi16(_mm_mullo_epi16(a, b), _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}

template <uint32_t Op>
inline __m128i OpVec(__m128i a, __m128i b) {
    if constexpr (Op == op::SelectArg1) {
        return a;
    } else if constexpr (Op == op::SelectArg2) {
        return b;
    } else if constexpr (Op == op::Add) {
        return _mm_adds_epu8(a, b);
    } else if constexpr (Op == op::Subtract) {
        return _mm_subs_epu8(a, b);
    } else {
        __m128i zero = _mm_setzero_si128();
        __m128i lo = Mul255x(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
        __m128i hi = Mul255x(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
        if constexpr (Op == op::Modulate2x) {
            lo = _mm_slli_epi16(lo, 1);
            hi = _mm_slli_epi16(hi, 1);
        } else if constexpr (Op == op::Modulate4x) {
            lo = _mm_slli_epi16(lo, 2);
            hi = _mm_slli_epi16(hi, 2);
        }
        return _mm_packus_epi16(lo, hi);  // saturates 2X and 4X at 255
    }
}

// ---- stage rows ----------------------------------------------------------------------------------
// One stage with the same operation on all four channels, or colour and alpha apart.
using FullRowFn = void (*)(const uint32_t* a, const uint32_t* b, uint32_t* out, int n, bool sse2);
using SplitRowFn = void (*)(const uint32_t* c1, const uint32_t* c2, const uint32_t* a1, const uint32_t* a2,
                            uint32_t* out, int n, bool sse2);

template <uint32_t Op>
void FullRow(const uint32_t* a, const uint32_t* b, uint32_t* out, int n, bool sse2) {
    int k = 0;
    if (sse2)
        for (; k + 4 <= n; k += 4) Store4(out + k, OpVec<Op>(Load4(a + k), Load4(b + k)));
    for (; k < n; ++k) out[k] = ApplyOp(Op, a[k], b[k]);
}

template <uint32_t ColorOp, uint32_t AlphaOp>
void SplitRow(const uint32_t* c1, const uint32_t* c2, const uint32_t* a1, const uint32_t* a2, uint32_t* out, int n,
              bool sse2) {
    int k = 0;
    if (sse2) {
        const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
        for (; k + 4 <= n; k += 4) {
            __m128i c = OpVec<ColorOp>(Load4(c1 + k), Load4(c2 + k));
            __m128i a = OpVec<AlphaOp>(Load4(a1 + k), Load4(a2 + k));
            Store4(out + k, _mm_or_si128(_mm_and_si128(c, rgb), _mm_andnot_si128(rgb, a)));
        }
    }
    for (; k < n; ++k)
        out[k] = (ApplyOp(ColorOp, c1[k], c2[k]) & 0x00FFFFFFu) | (ApplyOp(AlphaOp, a1[k], a2[k]) & 0xFF000000u);
}

constexpr uint32_t kOps[] = {op::SelectArg1, op::SelectArg2, op::Modulate, op::Modulate2x,
                             op::Modulate4x, op::Add,        op::Subtract};
constexpr int kOpCount = 7;

int OpIndex(uint32_t operation) {
    for (int i = 0; i < kOpCount; ++i)
        if (kOps[i] == operation) return i;
    return 0;
}

template <int C, int A>
constexpr SplitRowFn SplitEntry() {
    return &SplitRow<kOps[C], kOps[A]>;
}
template <int C, int... A>
constexpr void FillSplitRow(SplitRowFn* row, std::integer_sequence<int, A...>) {
    ((row[A] = SplitEntry<C, A>()), ...);
}
template <int... C>
constexpr void FillSplit(SplitRowFn (*table)[kOpCount], std::integer_sequence<int, C...>) {
    ((FillSplitRow<C>(table[C], std::make_integer_sequence<int, kOpCount>{})), ...);
}
struct SplitTable {
    SplitRowFn fn[kOpCount][kOpCount] = {};
    constexpr SplitTable() { FillSplit(fn, std::make_integer_sequence<int, kOpCount>{}); }
};
constexpr SplitTable kSplitTable{};
constexpr FullRowFn kFullRows[kOpCount] = {&FullRow<op::SelectArg1>, &FullRow<op::SelectArg2>,
                                           &FullRow<op::Modulate>,   &FullRow<op::Modulate2x>,
                                           &FullRow<op::Modulate4x>, &FullRow<op::Add>,
                                           &FullRow<op::Subtract>};

// ---- blend and store -----------------------------------------------------------------------------
// Factors on 16-bit lanes holding two pixels' bytes.
template <uint32_t F>
inline __m128i FactorVec(__m128i s, __m128i d) {
    const __m128i ff = _mm_set1_epi16(0x00FF);
    if constexpr (F == factor::SrcColor) {
        return s;
    } else if constexpr (F == factor::SrcAlpha) {
        return _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xFF), 0xFF);
    } else if constexpr (F == factor::InvSrcAlpha) {
        return _mm_xor_si128(_mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xFF), 0xFF), ff);
    } else {
        static_assert(F == factor::InvDestColor);
        return _mm_xor_si128(d, ff);
    }
}

template <uint32_t F>
inline __m128i Term(__m128i x, __m128i s, __m128i d) {
    if constexpr (F == factor::Zero) {
        return _mm_setzero_si128();
    } else if constexpr (F == factor::One) {
        return x;
    } else {
        return Mul255x(x, FactorVec<F>(s, d));
    }
}

template <uint32_t SF, uint32_t DF>
inline __m128i BlendVec(__m128i src, __m128i dst) {
    if constexpr (SF == factor::One && DF == factor::Zero) {
        return src;
    } else {
        __m128i zero = _mm_setzero_si128();
        __m128i sl = _mm_unpacklo_epi8(src, zero), sh = _mm_unpackhi_epi8(src, zero);
        __m128i dl = _mm_unpacklo_epi8(dst, zero), dh = _mm_unpackhi_epi8(dst, zero);
        __m128i lo = _mm_add_epi16(Term<SF>(sl, sl, dl), Term<DF>(dl, sl, dl));
        __m128i hi = _mm_add_epi16(Term<SF>(sh, sh, dh), Term<DF>(dh, sh, dh));
        return _mm_packus_epi16(lo, hi);  // min(255, sum)
    }
}

// Blends a row of colours onto 32-bit pixels (dst: target memory or a widened row).
// dstAlphaFill is OR-ed into destination values before blending (255 alpha for a
// target without alpha); andMask clears the X bits of the result; keep (may be null)
// holds 0 for pixels that stay untouched.
using BlendRowFn = void (*)(const uint32_t* src, uint8_t* dst, const uint32_t* keep, uint32_t dstAlphaFill,
                            uint32_t andMask, int n, bool sse2);

template <uint32_t SF, uint32_t DF>
void BlendRow(const uint32_t* src, uint8_t* dst, const uint32_t* keep, uint32_t dstAlphaFill, uint32_t andMask,
              int n, bool sse2) {
    int k = 0;
    if (sse2) {
        const __m128i fill = _mm_set1_epi32(static_cast<int>(dstAlphaFill));
        const __m128i mask = _mm_set1_epi32(static_cast<int>(andMask));
        for (; k + 4 <= n; k += 4) {
            __m128i d = Load4(dst + 4 * k);
            __m128i out = _mm_and_si128(BlendVec<SF, DF>(Load4(src + k), _mm_or_si128(d, fill)), mask);
            if (keep != nullptr) {
                __m128i kv = Load4(keep + k);
                out = _mm_or_si128(_mm_and_si128(out, kv), _mm_andnot_si128(kv, d));
            }
            Store4(dst + 4 * k, out);
        }
    }
    for (; k < n; ++k) {
        if (keep != nullptr && keep[k] == 0) continue;
        uint32_t d = Load1(dst + 4 * k) | dstAlphaFill;
        Store1(dst + 4 * k, BlendPixel(SF, DF, src[k], d) & andMask);
    }
}

constexpr uint32_t kFactors[] = {factor::Zero, factor::One, factor::SrcColor,
                                 factor::SrcAlpha, factor::InvSrcAlpha, factor::InvDestColor};
constexpr int kFactorCount = 6;

int FactorIndex(uint32_t f) {
    for (int i = 0; i < kFactorCount; ++i)
        if (kFactors[i] == f) return i;
    return 1;
}

template <int S, int... D>
constexpr void FillBlendRow(BlendRowFn* row, std::integer_sequence<int, D...>) {
    ((row[D] = &BlendRow<kFactors[S], kFactors[D]>), ...);
}
template <int... S>
constexpr void FillBlend(BlendRowFn (*table)[kFactorCount], std::integer_sequence<int, S...>) {
    ((FillBlendRow<S>(table[S], std::make_integer_sequence<int, kFactorCount>{})), ...);
}
struct BlendTable {
    BlendRowFn fn[kFactorCount][kFactorCount] = {};
    constexpr BlendTable() { FillBlend(fn, std::make_integer_sequence<int, kFactorCount>{}); }
};
constexpr BlendTable kBlendTable{};

// ---- texel fetch ----------------------------------------------------------------------------------
// Fills buf with n texels along a row (or returns a pointer straight into an A8R8G8B8
// texture row when the texels are contiguous there).
using FetchFn = const uint32_t* (*)(const TextureView& tex, int64_t s, int64_t t, int64_t ds, int64_t dt, int n,
                                    uint32_t* buf, bool sse2);

template <PixelFormat F>
inline uint32_t TexelOf(const uint8_t* p) {
    if constexpr (F == PixelFormat::X8R8G8B8 || F == PixelFormat::A8R8G8B8) {
        return Widen(F, Load1(p));
    } else {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return Widen(F, v);
    }
}

template <PixelFormat F>
const uint32_t* FetchPoint(const TextureView& tex, int64_t s, int64_t t, int64_t ds, int64_t dt, int n, uint32_t* buf,
                           bool sse2) {
    constexpr int kBytes = (F == PixelFormat::X8R8G8B8 || F == PixelFormat::A8R8G8B8) ? 4 : 2;
    if (dt == 0) {
        const uint8_t* row = tex.pixels + static_cast<intptr_t>(ClampIndex(t >> 16, tex.height)) * tex.pitch;
        int64_t x0 = s >> 16;
        if (ds == 65536 && x0 >= 0 && x0 + n <= tex.width) {
            const uint8_t* p = row + x0 * kBytes;
            if constexpr (F == PixelFormat::A8R8G8B8) {
                if ((reinterpret_cast<uintptr_t>(p) & 3) == 0) return reinterpret_cast<const uint32_t*>(p);
                std::memcpy(buf, p, static_cast<size_t>(n) * 4);
                return buf;
            }
            int k = 0;
            if constexpr (F == PixelFormat::X8R8G8B8) {
                if (sse2) {
                    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
                    for (; k + 4 <= n; k += 4) Store4(buf + k, _mm_or_si128(Load4(p + 4 * k), opaque));
                }
            }
            for (; k < n; ++k) buf[k] = TexelOf<F>(p + k * kBytes);
            return buf;
        }
        for (int k = 0; k < n; ++k, s += ds) buf[k] = TexelOf<F>(row + ClampIndex(s >> 16, tex.width) * kBytes);
        return buf;
    }
    for (int k = 0; k < n; ++k, s += ds, t += dt) {
        const uint8_t* row = tex.pixels + static_cast<intptr_t>(ClampIndex(t >> 16, tex.height)) * tex.pitch;
        buf[k] = TexelOf<F>(row + ClampIndex(s >> 16, tex.width) * kBytes);
    }
    return buf;
}

FetchFn PointFetcher(PixelFormat format) {
    switch (format) {
    case PixelFormat::R5G6B5: return &FetchPoint<PixelFormat::R5G6B5>;
    case PixelFormat::X1R5G5B5: return &FetchPoint<PixelFormat::X1R5G5B5>;
    case PixelFormat::A1R5G5B5: return &FetchPoint<PixelFormat::A1R5G5B5>;
    case PixelFormat::A4R4G4B4: return &FetchPoint<PixelFormat::A4R4G4B4>;
    case PixelFormat::X8R8G8B8: return &FetchPoint<PixelFormat::X8R8G8B8>;
    case PixelFormat::A8R8G8B8: return &FetchPoint<PixelFormat::A8R8G8B8>;
    }
    return &FetchPoint<PixelFormat::A8R8G8B8>;
}

// Linear sampling lands exactly on texels when the half-texel-shifted start and the
// steps have no fraction; it then equals a point fetch of the shifted coordinates.
inline bool OnTexels(int64_t s, int64_t t, int64_t ds, int64_t dt) {
    return ((s - 32768) & 0xFFFF) == 0 && ((t - 32768) & 0xFFFF) == 0 && (ds & 0xFFFF) == 0 && (dt & 0xFFFF) == 0;
}

// ---- the draw ---------------------------------------------------------------------------------------
enum Src : uint8_t { kDiffuse, kSpecular, kTFactor, kCurrent, kTex0 };
constexpr int kSrcCount = kTex0 + kStages;

struct Step {
    bool full = false;     // one operation on all four channels
    uint32_t colorOp = op::SelectArg1;
    Src c1 = kCurrent, c2 = kCurrent, a1 = kCurrent, a2 = kCurrent;
    FullRowFn fullRow = nullptr;
    SplitRowFn splitRow = nullptr;
};

enum class Test : uint8_t { None, Never, Less, LessEqual, Equal, NotEqual, Greater, GreaterEqual };

Src SrcOf(uint32_t a, int stage) {
    switch (a) {
    case arg::Diffuse: return kDiffuse;
    case arg::Specular: return kSpecular;
    case arg::TFactor: return kTFactor;
    case arg::Texture: return static_cast<Src>(kTex0 + stage);
    }
    return kCurrent;
}

struct RectSpan {
    int32_t left, top, right, bottom;  // inclusive, inside the clip
};

int64_t FloorDiv(int64_t a, int64_t d) {  // d > 0
    int64_t q = a / d;
    return (a % d != 0 && a < 0) ? q - 1 : q;
}

class FastDraw {
public:
    FastDraw(const DrawPlan& plan, const TargetView& target, bool sse2)
        : plan_(plan), st_(plan.state), target_(target), sse2_(sse2) {
        bpp_ = BytesPerPixel(target.format);
        wide_ = bpp_ == 4;
        andMask_ = target.format == PixelFormat::X8R8G8B8 ? 0x00FFFFFFu : 0xFFFFFFFFu;
        alphaFill_ = target.format == PixelFormat::X8R8G8B8 ? 0xFF000000u : 0;
        for (int k = 0; k < plan.runStages; ++k)
            if (plan.samples[k] && st_.textures[k].pixels != nullptr) fetch_[k] = PointFetcher(st_.textures[k].format);
        for (int k = 0; k < kChunk; ++k) {
            tfactor_[k] = st_.textureFactor;
            white_[k] = 0xFFFFFFFFu;
        }
        BuildProgram();
        BuildTest();
        blend_ = kBlendTable.fn[FactorIndex(st_.srcBlend)][FactorIndex(st_.destBlend)];
        anyKey_ = false;
        for (int k = 0; k < plan.runStages; ++k) anyKey_ = anyKey_ || plan.keyed[k];
        BuildCopy();
    }

    void Triangles(const Primitives& prims) {
        uint32_t count = PrimitiveCount(prims);
        Triangle bufA, bufB;
        Triangle* cur = &bufA;
        Triangle* next = &bufB;
        bool curOk = count > 0 && Setup(prims, 0, cur);
        for (uint32_t n = 0; n < count;) {
            bool nextOk = n + 1 < count && Setup(prims, n + 1, next);
            RectSpan rect;
            if (curOk && nextOk && RectPair(*cur, *next, &rect)) {
                DrawRect(*cur, rect);
                n += 2;
                curOk = n < count && Setup(prims, n, cur);
                continue;
            }
            if (curOk) DrawTriangle(*cur);
            n += 1;
            Triangle* t = cur;
            cur = next;
            next = t;
            curOk = nextOk;
        }
    }

private:
    bool Setup(const Primitives& prims, uint32_t n, Triangle* tri) {
        uint32_t idx[3];
        PrimitiveVertices(prims, n, idx);
        return SetupTriangle(plan_, ReadVertex(prims, idx[0]), ReadVertex(prims, idx[1]), ReadVertex(prims, idx[2]),
                             tri);
    }

    // Whether the program's final alpha can show: in the target, the alpha test or a
    // blend factor. When it cannot, alpha follows the colour operation.
    bool AlphaMatters() const {
        auto usesSrcAlpha = [](uint32_t f) {
            return f == factor::SrcAlpha || f == factor::InvSrcAlpha;
        };
        return HasAlpha(target_.format) || st_.alphaFunc != cmp::Always || usesSrcAlpha(st_.srcBlend) ||
               usesSrcAlpha(st_.destBlend);
    }

    void BuildProgram() {
        bool alpha = AlphaMatters();
        steps_ = 0;
        for (int k = 0; k < plan_.runStages; ++k) {
            const StageState& s = st_.stages[k];
            Step step;
            Src c1 = SrcOf(s.colorArg1, k), c2 = SrcOf(s.colorArg2, k);
            uint32_t aop = s.alphaOp;
            Src a1 = SrcOf(s.alphaArg1, k), a2 = SrcOf(s.alphaArg2, k);
            if (aop == op::Disable) {
                aop = op::SelectArg1;
                a1 = kCurrent;
            }
            // A selection reads one argument; the other may have no row.
            if (s.colorOp == op::SelectArg1) c2 = c1;
            if (s.colorOp == op::SelectArg2) c1 = c2;
            if (aop == op::SelectArg1) a2 = a1;
            if (aop == op::SelectArg2) a1 = a2;
            if (!alpha || (aop == s.colorOp && a1 == c1 && a2 == c2)) {
                step.full = true;
                step.colorOp = s.colorOp;
                step.fullRow = kFullRows[OpIndex(s.colorOp)];
            } else {
                step.splitRow = kSplitTable.fn[OpIndex(s.colorOp)][OpIndex(aop)];
            }
            step.c1 = c1;
            step.c2 = c2;
            step.a1 = a1;
            step.a2 = a2;
            program_[steps_++] = step;
        }
    }

    void BuildTest() {
        uint32_t ref = st_.alphaRef;
        switch (st_.alphaFunc) {
        case cmp::Never: test_ = Test::Never; break;
        case cmp::Less: test_ = ref > 255 ? Test::None : Test::Less; break;
        case cmp::LessEqual: test_ = ref > 255 ? Test::None : Test::LessEqual; break;
        case cmp::NotEqual: test_ = ref > 255 ? Test::None : Test::NotEqual; break;
        case cmp::Equal: test_ = ref > 255 ? Test::Never : Test::Equal; break;
        case cmp::Greater: test_ = ref > 255 ? Test::Never : Test::Greater; break;
        case cmp::GreaterEqual: test_ = ref > 255 ? Test::Never : Test::GreaterEqual; break;
        default: test_ = Test::None; break;
        }
        ref_ = static_cast<int32_t>(ref > 255 ? 255 : ref);
    }

    // An opaque plain copy: stage 0 selects the texture (alpha too when the target keeps
    // it), nothing tests, keys or blends, and the target stores the texel's own bits.
    void BuildCopy() {
        copy_ = false;
        if (plan_.runStages != 1 || !plan_.samples[0] || anyKey_ || test_ != Test::None) return;
        if (st_.srcBlend != factor::One || st_.destBlend != factor::Zero) return;
        const TextureView& tex = st_.textures[0];
        if (tex.pixels == nullptr) return;
        const StageState& s = st_.stages[0];
        auto selectsTexture = [](uint32_t o, uint32_t a1, uint32_t a2) {
            return (o == op::SelectArg1 && a1 == arg::Texture) || (o == op::SelectArg2 && a2 == arg::Texture);
        };
        if (!selectsTexture(s.colorOp, s.colorArg1, s.colorArg2)) return;
        if (HasAlpha(target_.format) && !selectsTexture(s.alphaOp, s.alphaArg1, s.alphaArg2)) return;
        PixelFormat from = tex.format, to = target_.format;
        using P = PixelFormat;
        if (from == to) {
            copyAnd_ = to == P::X8R8G8B8 ? 0x00FFFFFFu : (to == P::X1R5G5B5 ? 0x7FFFu : 0xFFFFFFFFu);
            copyOr_ = 0;
        } else if (from == P::A8R8G8B8 && to == P::X8R8G8B8) {
            copyAnd_ = 0x00FFFFFFu;
            copyOr_ = 0;
        } else if (from == P::X8R8G8B8 && to == P::A8R8G8B8) {
            copyAnd_ = 0x00FFFFFFu;
            copyOr_ = 0xFF000000u;
        } else if (from == P::A1R5G5B5 && to == P::X1R5G5B5) {
            copyAnd_ = 0x7FFFu;
            copyOr_ = 0;
        } else if (from == P::X1R5G5B5 && to == P::A1R5G5B5) {
            copyAnd_ = 0x7FFFu;
            copyOr_ = 0x8000u;
        } else {
            return;
        }
        copy_ = true;
    }

    // ---- geometry ----
    bool RectPair(const Triangle& a, const Triangle& b, RectSpan* rect) const {
        int64_t xl = a.v[0].x, xr = a.v[0].x, yt = a.v[0].y, yb = a.v[0].y;
        for (const Triangle* t : {&a, &b})
            for (const Vertex& v : t->v) {
                xl = v.x < xl ? v.x : xl;
                xr = v.x > xr ? v.x : xr;
                yt = v.y < yt ? v.y : yt;
                yb = v.y > yb ? v.y : yb;
            }
        int missing[2];
        int which = 0;
        for (const Triangle* t : {&a, &b}) {
            int sum = 0;
            for (const Vertex& v : t->v) {
                if ((v.x != xl && v.x != xr) || (v.y != yt && v.y != yb)) return false;
                sum += (v.x == xr ? 2 : 0) + (v.y == yb ? 1 : 0);
            }
            missing[which++] = 6 - sum;  // three distinct corners of four (non-zero area)
        }
        if ((missing[0] ^ missing[1]) != 3) return false;  // they must share the diagonal
        // One set of planes for both halves.
        if (plan_.needDiffuse || plan_.needSpecular) {
            if (st_.gouraud) {
                for (int ch = 0; ch < 8; ++ch) {
                    if ((ch < 4 && !plan_.needDiffuse) || (ch >= 4 && !plan_.needSpecular)) continue;
                    if (!(a.color[ch] == b.color[ch])) return false;
                }
            } else {
                if (plan_.needDiffuse && a.flatDiffuse != b.flatDiffuse) return false;
                if (plan_.needSpecular && a.flatSpecular != b.flatSpecular) return false;
            }
        }
        for (int k = 0; k < plan_.runStages; ++k) {
            if (fetch_[k] == nullptr) continue;
            if (!(a.s[k] == b.s[k]) || !(a.t[k] == b.t[k]) || a.linear[k] != b.linear[k]) return false;
        }
        // Centres in [xl, xr) x [yt, yb): the top-left rule on the rectangle's own edges.
        int64_t left = (xl + 255) >> 8, right = ((xr + 255) >> 8) - 1;
        int64_t top = (yt + 255) >> 8, bottom = ((yb + 255) >> 8) - 1;
        left = left < plan_.clipLeft ? plan_.clipLeft : left;
        top = top < plan_.clipTop ? plan_.clipTop : top;
        right = right > plan_.clipRight - 1 ? plan_.clipRight - 1 : right;
        bottom = bottom > plan_.clipBottom - 1 ? plan_.clipBottom - 1 : bottom;
        *rect = {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
                 static_cast<int32_t>(bottom)};
        return true;
    }

    void DrawRect(const Triangle& tri, const RectSpan& rect) {
        if (rect.left > rect.right) return;
        for (int32_t j = rect.top; j <= rect.bottom; ++j) Span(tri, j, rect.left, rect.right);
    }

    // Span ends from the edges: E(i) = C - 256 dy i must reach the edge's bias.
    void DrawTriangle(const Triangle& tri) {
        for (int32_t j = tri.top; j <= tri.bottom; ++j) {
            int64_t lo = tri.left, hi = tri.right;
            bool empty = false;
            for (const Edge& e : tri.edges) {
                int64_t c = e.dx * (static_cast<int64_t>(j) * 256 - e.y) + e.dy * e.x - e.bias;
                if (e.dy == 0) {
                    empty = empty || c < 0;
                } else if (e.dy > 0) {
                    int64_t m = FloorDiv(c, 256 * e.dy);
                    hi = m < hi ? m : hi;
                } else {
                    int64_t m = -FloorDiv(c, -256 * e.dy);  // ceil(-c / (256 |dy|))
                    lo = m > lo ? m : lo;
                }
            }
            if (!empty && lo <= hi) Span(tri, j, static_cast<int32_t>(lo), static_cast<int32_t>(hi));
        }
    }

    // ---- spans ----
    bool CopySpan(const Triangle& tri, int32_t j, int32_t x0, int32_t x1) {
        const TextureView& tex = st_.textures[0];
        int64_t s = tri.s[0].At(x0, j), t = tri.t[0].At(x0, j);
        if (tri.s[0].dx != 65536 || tri.t[0].dx != 0) return false;
        if (tri.linear[0]) {
            if (!OnTexels(s, t, tri.s[0].dx, 0)) return false;
            s -= 32768;
            t -= 32768;
        }
        int64_t xi = s >> 16, yi = t >> 16, n = static_cast<int64_t>(x1) - x0 + 1;
        if (xi < 0 || xi + n > tex.width || yi < 0 || yi >= tex.height) return false;
        const uint8_t* from = tex.pixels + yi * tex.pitch + xi * bpp_;
        uint8_t* to = target_.pixels + static_cast<intptr_t>(j) * target_.pitch + static_cast<intptr_t>(x0) * bpp_;
        if (wide_) {
            if (copyAnd_ == 0xFFFFFFFFu && copyOr_ == 0) {
                std::memcpy(to, from, static_cast<size_t>(n) * 4);
                return true;
            }
            int64_t k = 0;
            if (sse2_) {
                const __m128i a = _mm_set1_epi32(static_cast<int>(copyAnd_)), o = _mm_set1_epi32(static_cast<int>(copyOr_));
                for (; k + 4 <= n; k += 4) Store4(to + 4 * k, _mm_or_si128(_mm_and_si128(Load4(from + 4 * k), a), o));
            }
            for (; k < n; ++k) Store1(to + 4 * k, (Load1(from + 4 * k) & copyAnd_) | copyOr_);
            return true;
        }
        if (copyAnd_ == 0xFFFFFFFFu && copyOr_ == 0) {
            std::memcpy(to, from, static_cast<size_t>(n) * 2);
            return true;
        }
        for (int64_t k = 0; k < n; ++k) {
            uint16_t v;
            std::memcpy(&v, from + 2 * k, 2);
            v = static_cast<uint16_t>((v & copyAnd_) | copyOr_);
            std::memcpy(to + 2 * k, &v, 2);
        }
        return true;
    }

    const uint32_t* Gouraud(const Plane* planes, int32_t x, int32_t j, int n, uint32_t* out) {
        for (int k = 0; k < n; ++k) out[k] = 0;
        for (int ch = 0; ch < 4; ++ch) {
            int64_t v = planes[ch].At(x, j), d = planes[ch].dx;
            for (int k = 0; k < n; ++k, v += d) out[k] |= PlaneByte(v) << (ch * 8);
        }
        return out;
    }

    const uint32_t* Constant(uint32_t value, uint32_t* buf, uint32_t* filled, bool* valid) {
        if (!*valid || *filled != value) {
            for (int k = 0; k < kChunk; ++k) buf[k] = value;
            *filled = value;
            *valid = true;
        }
        return buf;
    }

    void KeyMask(const uint32_t* texels, uint32_t key, int n, bool first) {
        int k = 0;
        if (sse2_) {
            const __m128i rgb = _mm_set1_epi32(0x00FFFFFF), kv = _mm_set1_epi32(static_cast<int>(key));
            for (; k + 4 <= n; k += 4) {
                __m128i hit = _mm_cmpeq_epi32(_mm_and_si128(Load4(texels + k), rgb), kv);
                __m128i prev = first ? _mm_set1_epi32(-1) : Load4(keep_ + k);
                Store4(keep_ + k, _mm_andnot_si128(hit, prev));
            }
        }
        for (; k < n; ++k) {
            uint32_t pass = (texels[k] & 0x00FFFFFFu) != key ? 0xFFFFFFFFu : 0;
            keep_[k] = first ? pass : (keep_[k] & pass);
        }
    }

    void AlphaMask(const uint32_t* color, int n, bool first) {
        int k = 0;
        if (sse2_) {
            const __m128i ref = _mm_set1_epi32(ref_);
            for (; k + 4 <= n; k += 4) {
                __m128i a = _mm_srli_epi32(Load4(color + k), 24);
                __m128i lt = _mm_cmplt_epi32(a, ref), eq = _mm_cmpeq_epi32(a, ref), gt = _mm_cmpgt_epi32(a, ref);
                __m128i pass;
                switch (test_) {
                case Test::Less: pass = lt; break;
                case Test::LessEqual: pass = _mm_or_si128(lt, eq); break;
                case Test::Equal: pass = eq; break;
                case Test::NotEqual: pass = _mm_or_si128(lt, gt); break;
                case Test::Greater: pass = gt; break;
                case Test::GreaterEqual: pass = _mm_or_si128(gt, eq); break;
                case Test::Never: pass = _mm_setzero_si128(); break;
                default: pass = _mm_set1_epi32(-1); break;
                }
                Store4(keep_ + k, first ? pass : _mm_and_si128(pass, Load4(keep_ + k)));
            }
        }
        for (; k < n; ++k) {
            uint32_t pass = AlphaPasses(st_.alphaFunc, color[k] >> 24, st_.alphaRef) ? 0xFFFFFFFFu : 0;
            keep_[k] = first ? pass : (keep_[k] & pass);
        }
    }

    void Span(const Triangle& tri, int32_t j, int32_t x0, int32_t x1) {
        if (copy_ && CopySpan(tri, j, x0, x1)) return;
        uint8_t* row = target_.pixels + static_cast<intptr_t>(j) * target_.pitch;
        for (int32_t x = x0; x <= x1; x += kChunk) {
            int n = x1 - x + 1 < kChunk ? x1 - x + 1 : kChunk;
            const uint32_t* src[kSrcCount] = {};
            src[kTFactor] = tfactor_;
            if (plan_.needDiffuse)
                src[kDiffuse] = st_.gouraud ? Gouraud(&tri.color[0], x, j, n, diffuse_)
                                            : Constant(tri.flatDiffuse, diffuse_, &flatDiffuse_, &diffuseValid_);
            if (plan_.needSpecular)
                src[kSpecular] = st_.gouraud ? Gouraud(&tri.color[4], x, j, n, specular_)
                                             : Constant(tri.flatSpecular, specular_, &flatSpecular_, &specularValid_);
            bool masked = false;
            for (int k = 0; k < plan_.runStages; ++k) {
                if (!plan_.samples[k]) continue;
                if (fetch_[k] == nullptr) {
                    src[kTex0 + k] = white_;
                    continue;
                }
                const TextureView& tex = st_.textures[k];
                int64_t s = tri.s[k].At(x, j), t = tri.t[k].At(x, j), ds = tri.s[k].dx, dt = tri.t[k].dx;
                const uint32_t* texels;
                const uint32_t* nearest;
                if (!tri.linear[k]) {
                    texels = nearest = fetch_[k](tex, s, t, ds, dt, n, texel_[k], sse2_);
                } else if (OnTexels(s, t, ds, dt)) {
                    texels = nearest = fetch_[k](tex, s - 32768, t - 32768, ds, dt, n, texel_[k], sse2_);
                } else {
                    int64_t ss = s, tt = t;
                    for (int i = 0; i < n; ++i, ss += ds, tt += dt) texel_[k][i] = SampleLinear(tex, ss, tt);
                    texels = texel_[k];
                    nearest = plan_.keyed[k] ? fetch_[k](tex, s, t, ds, dt, n, nearest_, sse2_) : nullptr;
                }
                src[kTex0 + k] = texels;
                if (plan_.keyed[k]) {
                    KeyMask(nearest, plan_.keyRgb[k], n, !masked);
                    masked = true;
                }
            }
            const uint32_t* current = src[kDiffuse];
            for (int p = 0; p < steps_; ++p) {
                const Step& step = program_[p];
                src[kCurrent] = current;
                if (step.full) {
                    if (step.colorOp == op::SelectArg1) {
                        current = src[step.c1];
                    } else if (step.colorOp == op::SelectArg2) {
                        current = src[step.c2];
                    } else {
                        step.fullRow(src[step.c1], src[step.c2], work_, n, sse2_);
                        current = work_;
                    }
                } else {
                    step.splitRow(src[step.c1], src[step.c2], src[step.a1], src[step.a2], work_, n, sse2_);
                    current = work_;
                }
            }
            if (test_ != Test::None) {
                AlphaMask(current, n, !masked);
                masked = true;
            }
            Store(current, masked ? keep_ : nullptr, row, x, n);
        }
    }

    void Store(const uint32_t* color, const uint32_t* keep, uint8_t* row, int32_t x, int n) {
        uint8_t* p = row + static_cast<intptr_t>(x) * bpp_;
        if (wide_) {
            blend_(color, p, keep, alphaFill_, andMask_, n, sse2_);
            return;
        }
        PixelFormat f = target_.format;
        for (int k = 0; k < n; ++k) {
            uint16_t v;
            std::memcpy(&v, p + 2 * k, 2);
            dst_[k] = Widen(f, v);
        }
        blend_(color, reinterpret_cast<uint8_t*>(dst_), nullptr, 0, 0xFFFFFFFFu, n, sse2_);
        for (int k = 0; k < n; ++k) {
            if (keep != nullptr && keep[k] == 0) continue;
            uint16_t v = static_cast<uint16_t>(Narrow(f, dst_[k]));
            std::memcpy(p + 2 * k, &v, 2);
        }
    }

    const DrawPlan& plan_;
    const RasterState& st_;
    TargetView target_;
    bool sse2_;
    int bpp_ = 4;
    bool wide_ = true;
    uint32_t andMask_ = 0xFFFFFFFFu, alphaFill_ = 0;
    FetchFn fetch_[kStages] = {};
    Step program_[kStages];
    int steps_ = 0;
    Test test_ = Test::None;
    int32_t ref_ = 0;
    BlendRowFn blend_ = nullptr;
    bool anyKey_ = false;
    bool copy_ = false;
    uint32_t copyAnd_ = 0xFFFFFFFFu, copyOr_ = 0;
    uint32_t flatDiffuse_ = 0, flatSpecular_ = 0;
    bool diffuseValid_ = false, specularValid_ = false;

    alignas(16) uint32_t tfactor_[kChunk];
    alignas(16) uint32_t white_[kChunk];
    alignas(16) uint32_t diffuse_[kChunk];
    alignas(16) uint32_t specular_[kChunk];
    alignas(16) uint32_t texel_[kStages][kChunk];
    alignas(16) uint32_t nearest_[kChunk];
    alignas(16) uint32_t work_[kChunk];
    alignas(16) uint32_t keep_[kChunk];
    alignas(16) uint32_t dst_[kChunk];
};

}  // namespace

void DrawFast(const DrawPlan& plan, const TargetView& target, const Primitives& prims, bool sse2) {
    if (prims.type == Primitive::LineList) {
        DrawReference(plan, target, prims);  // lines have one path
        return;
    }
    FastDraw draw(plan, target, sse2);
    draw.Triangles(prims);
}

}  // namespace d3d
