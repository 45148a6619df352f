// d3d/raster_fast.cpp: the fast paths of the rasterizer. Each draw call is resolved once
// into a span routine: a texel fetcher per sampled stage (by texture format, sampling and
// step), the stage program as row operations, the alpha-test and colour-key masks, and a
// blend-and-store row chosen by the blend factors and the target format. Triangles are
// walked row by row with exact integer span ends; a list or strip pair forming an upright
// rectangle with one set of planes goes to a row loop over the rectangle. There an opaque
// plain copy is a memcpy (or a masked copy) per row, and the library's sprite states (a
// 32-bit texture, its colour and alpha alone or times the flat diffuse, key, alpha test,
// any blend row) run as one fused pass per row, compiled for its common shapes; the same
// states on rotated or scaled triangles walk the texture along each span in one pass (no
// clamp where the span stays inside the texture). Rows of the general routine run in
// chunks of 64 pixels. With SSE2 four pixels go at a time, with
// heads and tails from raster_pixel.h; every routine gives the reference path's bytes
// (raster_reference.cpp).
#include <emmintrin.h>

#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "d3d/raster_setup.h"

namespace d3d {

namespace {

constexpr int kChunk = 64;

// The per-pixel bodies of the span loops: their callers are themselves loops per span,
// where a call per four pixels costs as much as the pixels.
#define QZ_ALWAYS_INLINE inline __attribute__((always_inline))

// The row loops of the sprite kernels start on a cache line: placed where its closing
// branch straddled a 64-byte boundary, the additive loop ran a third slower. (GCC only;
// clang has no such switch per function.)
#if defined(__clang__)
#define QZ_ALIGN_LOOPS
#else
#define QZ_ALIGN_LOOPS __attribute__((optimize("align-loops=64")))
#endif

// ---- SSE2 helpers ----------------------------------------------------------------------------------
inline __m128i Load4(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void Store4(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
inline uint32_t Load1(const void* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void Store1(void* p, uint32_t v) { std::memcpy(p, &v, 4); }
// One to three pixels into the low lanes of a register (the others 0), and back: a span's
// tail goes through registers, where a round trip through memory would stall on the
// wider load of narrower stores.
QZ_ALWAYS_INLINE __m128i LoadPart(const uint8_t* p, int count) {
    if (count == 1) return _mm_cvtsi32_si128(static_cast<int>(Load1(p)));
    const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    return count == 2 ? lo : _mm_unpacklo_epi64(lo, _mm_cvtsi32_si128(static_cast<int>(Load1(p + 8))));
}
QZ_ALWAYS_INLINE void StorePart(uint8_t* p, __m128i v, int count) {
    if (count == 1) {
        Store1(p, static_cast<uint32_t>(_mm_cvtsi128_si32(v)));
        return;
    }
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
    if (count == 3) Store1(p + 8, static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 8))));
}

// round(a * b / 255) on 16-bit lanes that hold bytes, exactly as Mul255.
// (t + (t >> 8)) >> 8 with t = a * b + 128 equals (t * 257) >> 16 for every pair of bytes.
inline __m128i Mul255x(__m128i a, __m128i b) {
    __m128i t = _mm_add_epi16(_mm_mullo_epi16(a, b), _mm_set1_epi16(128));
    return _mm_mulhi_epu16(t, _mm_set1_epi16(257));
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

// Asks for the next row of a rectangle while this one is drawn: sprite rows lie a target
// pitch apart, a stride the hardware prefetcher does not follow. (A prefetch never faults.)
inline void PrefetchRow(const uint8_t* row, int bytes) {
    for (int k = 0; k < bytes; k += 64) _mm_prefetch(reinterpret_cast<const char*>(row + k), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(row + bytes - 1), _MM_HINT_T0);
}
// Rows are asked for this far ahead, and the first rows before the first is drawn.
constexpr int kPrefetchRows = 3;
inline void PrefetchFirstRows(const uint8_t* dst, intptr_t pitch, int rows, int bytes) {
    for (int r = 0; r < kPrefetchRows && r < rows; ++r) PrefetchRow(dst + r * pitch, bytes);
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

// The source alpha of two pixels on 16-bit lanes, in all four channels.
inline __m128i AlphaLanes(__m128i x) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0xFF), 0xFF); }

// Bytes times a factor's bytes, packed back to bytes.
template <uint32_t F>
inline __m128i ScaledBytes(__m128i x, __m128i src, __m128i dst) {
    __m128i zero = _mm_setzero_si128();
    __m128i sl = _mm_unpacklo_epi8(src, zero), sh = _mm_unpackhi_epi8(src, zero);
    __m128i dl = _mm_unpacklo_epi8(dst, zero), dh = _mm_unpackhi_epi8(dst, zero);
    __m128i xl = _mm_unpacklo_epi8(x, zero), xh = _mm_unpackhi_epi8(x, zero);
    return _mm_packus_epi16(Term<F>(xl, sl, dl), Term<F>(xh, sh, dh));
}

// Inlined into every sprite kernel: as a call it spills the kernel's constants and costs a
// rotated span an eighth of its time.
template <uint32_t SF, uint32_t DF>
QZ_ALWAYS_INLINE __m128i BlendVec(__m128i src, __m128i dst) {
    if constexpr (SF == factor::One && DF == factor::Zero) {
        return src;
    } else if constexpr (SF == factor::SrcAlpha && DF == factor::InvSrcAlpha) {
        // One broadcast of the alpha serves both factors.
        const __m128i zero = _mm_setzero_si128(), ff = _mm_set1_epi16(0x00FF);
        __m128i sl = _mm_unpacklo_epi8(src, zero), sh = _mm_unpackhi_epi8(src, zero);
        __m128i dl = _mm_unpacklo_epi8(dst, zero), dh = _mm_unpackhi_epi8(dst, zero);
        __m128i al = AlphaLanes(sl), ah = AlphaLanes(sh);
        __m128i lo = _mm_add_epi16(Mul255x(sl, al), Mul255x(dl, _mm_xor_si128(al, ff)));
        __m128i hi = _mm_add_epi16(Mul255x(sh, ah), Mul255x(dh, _mm_xor_si128(ah, ff)));
        return _mm_packus_epi16(lo, hi);
    } else if constexpr (DF == factor::One) {
        return _mm_adds_epu8(ScaledBytes<SF>(src, src, dst), dst);  // min(255, ...) as bytes
    } else if constexpr (SF == factor::One) {
        return _mm_adds_epu8(src, ScaledBytes<DF>(dst, src, dst));
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

// ---- the alpha test -------------------------------------------------------------------------------
// ALPHAFUNC with its reference folded to 0-255 (a reference above 255 decides alone).
enum class Test : uint8_t { None, Never, Less, LessEqual, Equal, NotEqual, Greater, GreaterEqual };

// The test as three lane masks (pass when less, equal, greater), so a row tests without
// branching: pass = (a < ref & less) | (a == ref & equal) | (a > ref & greater).
struct TestMasks {
    __m128i less, equal, greater, ref;
    TestMasks(Test test, int32_t r) {
        bool lt = test == Test::Less || test == Test::LessEqual || test == Test::NotEqual || test == Test::None;
        bool eq = test == Test::Equal || test == Test::LessEqual || test == Test::GreaterEqual || test == Test::None;
        bool gt = test == Test::Greater || test == Test::GreaterEqual || test == Test::NotEqual || test == Test::None;
        less = _mm_set1_epi32(lt ? -1 : 0);
        equal = _mm_set1_epi32(eq ? -1 : 0);
        greater = _mm_set1_epi32(gt ? -1 : 0);
        ref = _mm_set1_epi32(r);
    }
    __m128i Pass(__m128i alpha) const {
        __m128i l = _mm_and_si128(_mm_cmplt_epi32(alpha, ref), less);
        __m128i e = _mm_and_si128(_mm_cmpeq_epi32(alpha, ref), equal);
        __m128i g = _mm_and_si128(_mm_cmpgt_epi32(alpha, ref), greater);
        return _mm_or_si128(_mm_or_si128(l, e), g);
    }
};

// ---- sprite rows ------------------------------------------------------------------------------------
// The library's sprite states fused into one pass over a row of unscaled 32-bit texels on a
// 32-bit target: the texel (X8R8G8B8 reads alpha 255), times a constant from the flat
// diffuse (colour, alpha or both), or alpha replaced by the diffuse alpha; the colour key
// on the texel and the alpha test; then the blend row.
struct SpriteParams {
    uint32_t texFill = 0;       // 0xFF000000 for an X8R8G8B8 texture
    bool multiply = false;      // the texel is modulated by `multiplier`
    uint32_t multiplier = 0xFFFFFFFFu;
    bool constAlpha = false;    // alpha is `alphaBits` (the diffuse alpha)
    uint32_t alphaBits = 0;
    Test test = Test::None;
    int32_t ref = 0;
    uint32_t func = cmp::Always, rawRef = 0;  // the same test for the scalar pixels
    bool key = false;
    uint32_t keyRgb = 0;
    uint32_t dstFill = 0, andMask = 0xFFFFFFFFu;
};

struct SpriteRect;
using SpriteRowFn = void (*)(const SpriteRect& rect, const SpriteParams& p, bool sse2);

// Rows of a rectangle: row r reads texture row (t + r * dt) >> 16 from texColumn.
struct SpriteRect {
    const uint8_t* texColumn;
    intptr_t texPitch;
    int64_t t, dt;
    uint8_t* dst;
    intptr_t dstPitch;
    int width, rows;
    // Premultiplied rows whose columns start on a multiple of four: per texture row, 1 when
    // no four texels from a multiple of four have all alpha 0 or all alpha 255 (null: unknown).
    const uint8_t* mixedRows = nullptr;
};

// Compile-time shapes of the sprite kernel for the library's states (every combination of
// the first four flags); kGeneric reads every choice from the parameters at run time.
enum SpriteShape : int { kGreater = 1, kKey = 2, kMultiply = 4, kConstAlpha = 8, kGeneric = 16 };
constexpr int kHotShapes = 16;

// One sprite state on four pixels (SSE2) or on one: the raw 32-bit texel, its product with
// the multiplier, the constant alpha, the colour key and the alpha test, then the blend
// onto the target pixel. Made once per row or span, so its constants stay in registers.
template <uint32_t SF, uint32_t DF, int Shape>
struct SpriteKernel {
    static constexpr bool kRuntime = (Shape & kGeneric) != 0;
    // A copy needs no destination unless some pixels are discarded.
    static constexpr bool kCopy = SF == factor::One && DF == factor::Zero;
    const SpriteParams p;  // a copy: stores to the target cannot alias it
    const bool multiply, keyed, tested, greater, constAlpha, masked;
    const __m128i texFill, mul, rgb, alphaBits, key, dstFill, andMask, ref;
    const TestMasks test;

    explicit SpriteKernel(const SpriteParams& params)
        : p(params),
          multiply(kRuntime ? p.multiply : (Shape & kMultiply) != 0),
          keyed(kRuntime ? p.key : (Shape & kKey) != 0),
          tested(kRuntime ? p.test != Test::None : (Shape & kGreater) != 0),
          greater(kRuntime ? p.test == Test::Greater : (Shape & kGreater) != 0),
          constAlpha(kRuntime ? p.constAlpha : (Shape & kConstAlpha) != 0),
          masked(keyed || tested),
          texFill(_mm_set1_epi32(static_cast<int>(p.texFill))),
          mul(_mm_set1_epi32(static_cast<int>(p.multiplier))),
          rgb(_mm_set1_epi32(0x00FFFFFF)),
          alphaBits(_mm_set1_epi32(static_cast<int>(p.alphaBits))),
          key(_mm_set1_epi32(static_cast<int>(p.keyRgb))),
          dstFill(_mm_set1_epi32(static_cast<int>(p.dstFill))),
          andMask(_mm_set1_epi32(static_cast<int>(p.andMask))),
          ref(_mm_set1_epi32(p.ref)),
          test(p.test, p.ref) {}

    QZ_ALWAYS_INLINE void Quad(__m128i raw, uint8_t* out) const {
        const __m128i tv = _mm_or_si128(raw, texFill);
        const __m128i c = Colour(tv);
        if (masked) {
            const __m128i keep = Keep(tv, c);
            if constexpr (kCopy) {
                // No branch on the mask: a sprite's edges mix kept and discarded pixels
                // unpredictably, and a discarded pixel is stored back unchanged.
                const __m128i d = Load4(out);
                Store4(out, _mm_or_si128(_mm_and_si128(_mm_and_si128(c, andMask), keep), _mm_andnot_si128(keep, d)));
                return;
            }
            if (_mm_movemask_epi8(keep) == 0) return;  // four discarded pixels: nothing to write
            const __m128i d = Load4(out);
            const __m128i v = _mm_and_si128(BlendVec<SF, DF>(c, _mm_or_si128(d, dstFill)), andMask);
            Store4(out, _mm_or_si128(_mm_and_si128(v, keep), _mm_andnot_si128(keep, d)));
            return;
        }
        if constexpr (kCopy) {
            Store4(out, _mm_and_si128(c, andMask));
        } else {
            if constexpr (SF == factor::SrcAlpha && (DF == factor::InvSrcAlpha || DF == factor::One)) {
                // Alpha 0 leaves the destination (its X bits cleared); alpha 255 over
                // INVSRCALPHA is the source.
                const __m128i a = _mm_srli_epi32(c, 24);
                if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_setzero_si128())) == 0xFFFF) {
                    if (p.andMask != 0xFFFFFFFFu) Store4(out, _mm_and_si128(Load4(out), andMask));
                    return;
                }
                if constexpr (DF == factor::InvSrcAlpha) {
                    if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_set1_epi32(255))) == 0xFFFF) {
                        Store4(out, _mm_and_si128(c, andMask));
                        return;
                    }
                }
            }
            const __m128i d = Load4(out);
            Store4(out, _mm_and_si128(BlendVec<SF, DF>(c, _mm_or_si128(d, dstFill)), andMask));
        }
    }

    // The last one to three pixels of a row: the four-pixel body without its shortcuts on
    // the lanes held in registers (they are independent), loaded and stored in pieces.
    QZ_ALWAYS_INLINE void Partial(__m128i raw, uint8_t* out, int count) const {
        const __m128i d = LoadPart(out, count);
        const __m128i tv = _mm_or_si128(raw, texFill);
        const __m128i c = Colour(tv);
        __m128i v = kCopy ? c : BlendVec<SF, DF>(c, _mm_or_si128(d, dstFill));
        v = _mm_and_si128(v, andMask);
        if (masked) {
            const __m128i keep = Keep(tv, c);
            v = _mm_or_si128(_mm_and_si128(v, keep), _mm_andnot_si128(keep, d));
        }
        StorePart(out, v, count);
    }

    // The stage's colour of four texels (their X bits filled).
    QZ_ALWAYS_INLINE __m128i Colour(__m128i tv) const {
        __m128i c = multiply ? OpVec<op::Modulate>(tv, mul) : tv;
        if (constAlpha) c = _mm_or_si128(_mm_and_si128(c, rgb), alphaBits);
        return c;
    }

    // All ones in the lanes that the alpha test and the colour key keep.
    QZ_ALWAYS_INLINE __m128i Keep(__m128i tv, __m128i c) const {
        __m128i keep = _mm_set1_epi32(-1);
        if (tested) keep = greater ? _mm_cmpgt_epi32(_mm_srli_epi32(c, 24), ref) : test.Pass(_mm_srli_epi32(c, 24));
        if (keyed) keep = _mm_andnot_si128(_mm_cmpeq_epi32(_mm_and_si128(tv, rgb), key), keep);
        return keep;
    }

    inline void Pixel(uint32_t raw, uint8_t* out) const {
        const uint32_t tx = raw | p.texFill;
        uint32_t c = p.multiply ? ApplyOp(op::Modulate, tx, p.multiplier) : tx;
        if (p.constAlpha) c = (c & 0x00FFFFFFu) | p.alphaBits;
        if (p.key && (tx & 0x00FFFFFFu) == p.keyRgb) return;
        if (!AlphaPasses(p.func, c >> 24, p.rawRef)) return;
        const uint32_t d = Load1(out) | p.dstFill;
        Store1(out, BlendPixel(SF, DF, c, d) & p.andMask);
    }
};

template <uint32_t SF, uint32_t DF, int Shape>
void SpriteRows(const SpriteRect& rect, const SpriteParams& params, bool sse2) {
    const SpriteKernel<SF, DF, Shape> kernel(params);
    const int n = rect.width;
    int64_t t = rect.t;
    uint8_t* dst = rect.dst;
    PrefetchFirstRows(dst, rect.dstPitch, rect.rows, 4 * n);
    for (int r = 0; r < rect.rows; ++r, t += rect.dt, dst += rect.dstPitch) {
        const uint8_t* tex = rect.texColumn + (t >> 16) * rect.texPitch;
        if (r + kPrefetchRows < rect.rows) PrefetchRow(dst + kPrefetchRows * rect.dstPitch, 4 * n);
        int k = 0;
        if (sse2) {
            for (; k + 4 <= n; k += 4) kernel.Quad(Load4(tex + 4 * k), dst + 4 * k);
            if (k < n) kernel.Partial(LoadPart(tex + 4 * k, n - k), dst + 4 * k, n - k);
            continue;
        }
        for (; k < n; ++k) kernel.Pixel(Load1(tex + 4 * k), dst + 4 * k);
    }
}

// Whether n coordinates from v in steps of dv all index inside [0, size): they move
// linearly, so both ends inside means every one between is, and none needs its clamp.
QZ_ALWAYS_INLINE bool RunInside(int64_t v, int64_t dv, int n, int32_t size) {
    const int64_t last = v + dv * (n - 1);
    return v >= 0 && last >= 0 && (v >> 16) < size && (last >> 16) < size;
}

struct RectSpan {
    int32_t left, top, right, bottom;  // inclusive, inside the clip
};

int64_t FloorDiv(int64_t a, int64_t d) {  // d > 0
    int64_t q = a / d;
    return (a % d != 0 && a < 0) ? q - 1 : q;
}

// A triangle's span ends row by row from its top. E(i) = C - 256 dy i must reach the
// edge's bias, so a sloped edge bounds the row at floor(C / (256 |dy|)) (from above when
// dy > 0, negated from below when dy < 0). C grows by 256 dx a row: its quotient and
// remainder step exactly, with no division per row.
class SpanEnds {
public:
    explicit SpanEnds(const Triangle& tri) : left_(tri.left), right_(tri.right) {
        for (int k = 0; k < 3; ++k) {
            const Edge& e = tri.edges[k];
            Bound& b = bounds_[k];
            b.c = e.dx * (static_cast<int64_t>(tri.top) * 256 - e.y) + e.dy * e.x - e.bias;
            b.step = 256 * e.dx;
            b.dir = e.dy > 0 ? 1 : (e.dy < 0 ? -1 : 0);
            if (b.dir == 0) continue;
            b.d = 256 * (e.dy > 0 ? e.dy : -e.dy);
            b.q = FloorDiv(b.c, b.d);
            b.r = b.c - b.q * b.d;
            b.sq = FloorDiv(b.step, b.d);
            b.sr = b.step - b.sq * b.d;
        }
    }
    // The span of the next row; false when it is empty.
    QZ_ALWAYS_INLINE bool Next(int32_t* lo, int32_t* hi) {
        int64_t l = left_, h = right_;
        bool empty = false;
        for (Bound& b : bounds_) {
            if (b.dir == 0) {
                empty = empty || b.c < 0;
                b.c += b.step;
                continue;
            }
            if (b.dir > 0)
                h = b.q < h ? b.q : h;
            else
                l = -b.q > l ? -b.q : l;  // ceil(-C / (256 |dy|))
            b.q += b.sq;
            b.r += b.sr;
            const int64_t carry = b.r >= b.d ? 1 : 0;
            b.q += carry;
            b.r -= carry * b.d;
        }
        *lo = static_cast<int32_t>(l);
        *hi = static_cast<int32_t>(h);
        return !empty && l <= h;
    }

private:
    struct Bound {
        int64_t c = 0, step = 0;  // C at the current row (flat edges); its change per row
        int64_t q = 0, r = 0, sq = 0, sr = 0, d = 0;  // C = q d + r, 0 <= r < d; step = sq d + sr
        int dir = 0;  // the sign of dy
    };
    Bound bounds_[3];
    int64_t left_, right_;
};

// A span whose texel coordinates step by (ds, dt) per pixel (a rotated or scaled sprite),
// point-sampled from a 32-bit texture.
struct SpriteWalk {
    const uint8_t* pixels;
    intptr_t pitch;
    int32_t width, height;
    int64_t s, t, ds, dt;
    uint8_t* dst;
    int n;
};
// The spans of a triangle, or the rows of an upright rectangle, with the texture and the
// 32-bit target they read and write.
struct SpriteArea {
    const Triangle* tri;
    const RectSpan* rect;  // null: the triangle's own spans
    const TextureView* tex;
    uint8_t* pixels;
    intptr_t pitch;
};
// Draws all the spans of an area, so the kernel is made once for them.
using SpriteSpanFn = void (*)(const SpriteArea& area, const SpriteParams& params, bool sse2);

template <bool kClamp>
QZ_ALWAYS_INLINE uint32_t WalkTexel(const SpriteWalk& w, int64_t s, int64_t t) {
    const int64_t x = kClamp ? ClampIndex(s >> 16, w.width) : (s >> 16);
    const int64_t y = kClamp ? ClampIndex(t >> 16, w.height) : (t >> 16);
    return Load1(w.pixels + y * w.pitch + x * 4);
}

template <bool kClamp, typename Kernel>
QZ_ALWAYS_INLINE void Walk(const Kernel& kernel, const SpriteWalk& w, bool sse2) {
    int64_t s = w.s, t = w.t;
    const int64_t ds = w.ds, dt = w.dt;
    int k = 0;
    if (sse2) {
        for (; k + 4 <= w.n; k += 4) {
            const uint32_t a = WalkTexel<kClamp>(w, s, t);
            const uint32_t b = WalkTexel<kClamp>(w, s + ds, t + dt);
            const uint32_t c = WalkTexel<kClamp>(w, s + 2 * ds, t + 2 * dt);
            const uint32_t d = WalkTexel<kClamp>(w, s + 3 * ds, t + 3 * dt);
            kernel.Quad(_mm_setr_epi32(static_cast<int>(a), static_cast<int>(b), static_cast<int>(c),
                                       static_cast<int>(d)),
                        w.dst + 4 * k);
            s += 4 * ds;
            t += 4 * dt;
        }
        if (k < w.n) {
            const int left = w.n - k;
            const uint32_t a = WalkTexel<kClamp>(w, s, t);
            const uint32_t b = left > 1 ? WalkTexel<kClamp>(w, s + ds, t + dt) : 0;
            const uint32_t c = left > 2 ? WalkTexel<kClamp>(w, s + 2 * ds, t + 2 * dt) : 0;
            kernel.Partial(_mm_setr_epi32(static_cast<int>(a), static_cast<int>(b), static_cast<int>(c), 0),
                           w.dst + 4 * k, left);
        }
        return;
    }
    for (; k < w.n; ++k, s += ds, t += dt) kernel.Pixel(WalkTexel<kClamp>(w, s, t), w.dst + 4 * k);
}

template <uint32_t SF, uint32_t DF, int Shape>
void SpriteSpan(const SpriteArea& area, const SpriteParams& params, bool sse2) {
    const SpriteKernel<SF, DF, Shape> kernel(params);
    const Triangle& tri = *area.tri;
    const TextureView& tex = *area.tex;
    auto span = [&](int32_t j, int32_t x0, int32_t x1) {
        const SpriteWalk w{tex.pixels,        tex.pitch,         tex.width,   tex.height,
                           tri.s[0].At(x0, j), tri.t[0].At(x0, j), tri.s[0].dx, tri.t[0].dx,
                           area.pixels + static_cast<intptr_t>(j) * area.pitch + static_cast<intptr_t>(x0) * 4,
                           x1 - x0 + 1};
        if (RunInside(w.s, w.ds, w.n, w.width) && RunInside(w.t, w.dt, w.n, w.height))
            Walk<false>(kernel, w, sse2);
        else
            Walk<true>(kernel, w, sse2);
    };
    if (area.rect != nullptr) {
        for (int32_t j = area.rect->top; j <= area.rect->bottom; ++j) span(j, area.rect->left, area.rect->right);
        return;
    }
    SpanEnds ends(tri);
    for (int32_t j = tri.top; j <= tri.bottom; ++j) {
        int32_t lo, hi;
        if (ends.Next(&lo, &hi)) span(j, lo, hi);
    }
}

template <int S, int... D>
constexpr void FillSpriteRow(SpriteRowFn* row, SpriteSpanFn* span, std::integer_sequence<int, D...>) {
    ((row[D] = &SpriteRows<kFactors[S], kFactors[D], kGeneric>), ...);
    ((span[D] = &SpriteSpan<kFactors[S], kFactors[D], kGeneric>), ...);
}
template <int... S>
constexpr void FillSprite(SpriteRowFn (*rows)[kFactorCount], SpriteSpanFn (*spans)[kFactorCount],
                          std::integer_sequence<int, S...>) {
    ((FillSpriteRow<S>(rows[S], spans[S], std::make_integer_sequence<int, kFactorCount>{})), ...);
}
struct SpriteTable {
    SpriteRowFn rows[kFactorCount][kFactorCount] = {};
    SpriteSpanFn spans[kFactorCount][kFactorCount] = {};
    constexpr SpriteTable() { FillSprite(rows, spans, std::make_integer_sequence<int, kFactorCount>{}); }
};
constexpr SpriteTable kSpriteTable{};

// The library's blend rows (copy, alpha blend, additive, inverted, multiplied) in every
// compile-time shape.
template <uint32_t SF, uint32_t DF, int... Shape>
constexpr void FillShapes(SpriteRowFn* row, SpriteSpanFn* span, std::integer_sequence<int, Shape...>) {
    ((row[Shape] = &SpriteRows<SF, DF, Shape>), ...);
    ((span[Shape] = &SpriteSpan<SF, DF, Shape>), ...);
}
struct HotSpriteTable {
    SpriteRowFn rows[5][kHotShapes] = {};
    SpriteSpanFn spans[5][kHotShapes] = {};
    constexpr HotSpriteTable() {
        FillShapes<factor::One, factor::Zero>(rows[0], spans[0], std::make_integer_sequence<int, kHotShapes>{});
        FillShapes<factor::SrcAlpha, factor::InvSrcAlpha>(rows[1], spans[1],
                                                          std::make_integer_sequence<int, kHotShapes>{});
        FillShapes<factor::SrcAlpha, factor::One>(rows[2], spans[2], std::make_integer_sequence<int, kHotShapes>{});
        FillShapes<factor::InvDestColor, factor::Zero>(rows[3], spans[3], std::make_integer_sequence<int, kHotShapes>{});
        FillShapes<factor::Zero, factor::SrcColor>(rows[4], spans[4], std::make_integer_sequence<int, kHotShapes>{});
    }
};
constexpr HotSpriteTable kHotSprites{};

int HotBlendRow(uint32_t sf, uint32_t df) {
    if (sf == factor::One && df == factor::Zero) return 0;
    if (sf == factor::SrcAlpha && df == factor::InvSrcAlpha) return 1;
    if (sf == factor::SrcAlpha && df == factor::One) return 2;
    if (sf == factor::InvDestColor && df == factor::Zero) return 3;
    if (sf == factor::Zero && df == factor::SrcColor) return 4;
    return -1;
}

// ---- premultiplied sprite rows ----------------------------------------------------------------------
// Alpha-blended and additive sprites on an X8R8G8B8 target, read from a premultiplied copy of
// the texture (the draw makes it once its pixels outweigh the texels): each texel holds
// round(colour x alpha / 255) per channel, with the alpha itself in the top byte. Then a pixel
// costs one product (SRCALPHA, INVSRCALPHA) or none (SRCALPHA, ONE): the same bytes, since the
// source term is that very product.
void Premultiply(const uint32_t* texels, int n, uint32_t multiplier, uint32_t* out, bool sse2) {
    int k = 0;
    if (sse2) {
        const __m128i mul = _mm_set1_epi32(static_cast<int>(multiplier)), top = _mm_set1_epi32(static_cast<int>(0xFF000000u));
        const __m128i zero = _mm_setzero_si128();
        for (; k + 4 <= n; k += 4) {
            __m128i c = Load4(texels + k);
            if (multiplier != 0xFFFFFFFFu) c = OpVec<op::Modulate>(c, mul);
            __m128i lo = _mm_unpacklo_epi8(c, zero), hi = _mm_unpackhi_epi8(c, zero);
            __m128i pre = _mm_packus_epi16(Mul255x(lo, AlphaLanes(lo)), Mul255x(hi, AlphaLanes(hi)));
            Store4(out + k, _mm_or_si128(_mm_andnot_si128(top, pre), _mm_and_si128(c, top)));
        }
    }
    for (; k < n; ++k) {
        uint32_t c = multiplier != 0xFFFFFFFFu ? ApplyOp(op::Modulate, texels[k], multiplier) : texels[k];
        uint32_t a = c >> 24;
        out[k] = a << 24 | Mul255(Channel(c, 16), a) << 16 | Mul255(Channel(c, 8), a) << 8 | Mul255(Channel(c, 0), a);
    }
}

// Additive rows with SSE2: a texel of alpha 0 holds colour 0, so the saturating add leaves
// the destination as the blend does, and no pixel needs a test. Kept out of line with every
// value in a register: a reload from the stack between rows can wait behind the row's
// pending stores to the target (their addresses may agree in the low 12 bits), and those
// stores wait on the cache; spilled, the same loop ran a fifth slower.
__attribute__((noinline)) QZ_ALIGN_LOOPS void AddPremulRows(const SpriteRect& rect) {
    const int bytes = 4 * rect.width, body = bytes & ~15, tail = (bytes & 15) >> 2;
    const uint8_t* const column = rect.texColumn;
    const intptr_t texPitch = rect.texPitch, pitch = rect.dstPitch;
    const int64_t dt = rect.dt;
    int64_t t = rect.t;
    uint8_t* dst = rect.dst;
    const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
    PrefetchFirstRows(dst, pitch, rect.rows, bytes);
    for (int left = rect.rows; left > 0; --left, t += dt, dst += pitch) {
        if (left > kPrefetchRows) PrefetchRow(dst + kPrefetchRows * pitch, bytes);
        const uint8_t* pre = column + (t >> 16) * texPitch;
        uint8_t* out = dst;
        for (uint8_t* const stop = dst + body; out != stop; out += 16, pre += 16)
            Store4(out, _mm_and_si128(_mm_adds_epu8(Load4(pre), Load4(out)), rgb));
        if (tail != 0)
            StorePart(out, _mm_and_si128(_mm_adds_epu8(LoadPart(pre, tail), LoadPart(out, tail)), rgb), tail);
    }
}

template <bool kAdditive>
void PremulRows(const SpriteRect& rect, bool sse2) {
    if (kAdditive && sse2) {
        AddPremulRows(rect);
        return;
    }
    const int n = rect.width;
    const __m128i rgb = _mm_set1_epi32(0x00FFFFFF), ff = _mm_set1_epi16(0x00FF), zero = _mm_setzero_si128();
    const __m128i opaque = _mm_set1_epi32(255);
    int64_t t = rect.t;
    uint8_t* dst = rect.dst;
    PrefetchFirstRows(dst, rect.dstPitch, rect.rows, 4 * n);
    for (int r = 0; r < rect.rows; ++r, t += rect.dt, dst += rect.dstPitch) {
        const uint8_t* pre = rect.texColumn + (t >> 16) * rect.texPitch;
        if (r + kPrefetchRows < rect.rows) PrefetchRow(dst + kPrefetchRows * rect.dstPitch, 4 * n);
        int k = 0;
        // 255 - alpha in both 16-bit halves of each pixel, then times the destination.
        auto over = [&](__m128i p, __m128i a, __m128i d) {
            __m128i ia = _mm_xor_si128(_mm_or_si128(a, _mm_slli_epi32(a, 16)), ff);
            __m128i dl = _mm_unpacklo_epi8(d, zero), dh = _mm_unpackhi_epi8(d, zero);
            d = _mm_packus_epi16(Mul255x(dl, _mm_unpacklo_epi32(ia, ia)), Mul255x(dh, _mm_unpackhi_epi32(ia, ia)));
            return _mm_and_si128(_mm_adds_epu8(p, d), rgb);
        };
        if (sse2 && !kAdditive && rect.mixedRows != nullptr && rect.mixedRows[t >> 16]) {
            // No four pixels are all transparent or all opaque: blend without looking.
            for (; k + 4 <= n; k += 4) {
                const __m128i p = Load4(pre + 4 * k);
                Store4(dst + 4 * k, over(p, _mm_srli_epi32(p, 24), Load4(dst + 4 * k)));
            }
        }
        if (sse2) {
            for (; k + 4 <= n; k += 4) {
                __m128i p = Load4(pre + 4 * k);
                uint8_t* out = dst + 4 * k;
                __m128i a = _mm_srli_epi32(p, 24);
                if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, zero)) == 0xFFFF) {
                    Store4(out, _mm_and_si128(Load4(out), rgb));  // the destination, X bits cleared
                    continue;
                }
                if (!kAdditive && _mm_movemask_epi8(_mm_cmpeq_epi32(a, opaque)) == 0xFFFF) {
                    Store4(out, _mm_and_si128(p, rgb));
                    continue;
                }
                const __m128i d = Load4(out);
                Store4(out, kAdditive ? _mm_and_si128(_mm_adds_epu8(p, d), rgb) : over(p, a, d));
            }
        }
        for (; k < n; ++k) {
            uint32_t p = Load1(pre + 4 * k), d = Load1(dst + 4 * k), a = p >> 24, v = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                uint32_t sum = Channel(p, shift) + (kAdditive ? Channel(d, shift) : Mul255(Channel(d, shift), 255 - a));
                v |= (sum > 255 ? 255 : sum) << shift;
            }
            Store1(dst + 4 * k, v);
        }
    }
}

// ---- copy rows ----------------------------------------------------------------------------------------
// 32-bit rows of at least four pixels with SSE2, four blocks a step; the last block may
// overlap the one before it (a copy writes the same bytes twice). Out of line with every
// value in a register, as AddPremulRows and for the same reason.
__attribute__((noinline)) QZ_ALIGN_LOOPS void MaskedCopyRows32(const SpriteRect& rect, uint32_t andMask,
                                                                uint32_t orMask) {
    const int bytes = 4 * rect.width, wide = bytes & ~63, body = bytes & ~15, last = bytes - 16;
    const uint8_t* const column = rect.texColumn;
    const intptr_t texPitch = rect.texPitch, pitch = rect.dstPitch;
    const int64_t dt = rect.dt;
    int64_t t = rect.t;
    uint8_t* to = rect.dst;
    const __m128i a = _mm_set1_epi32(static_cast<int>(andMask)), o = _mm_set1_epi32(static_cast<int>(orMask));
    auto copy = [&](const uint8_t* from, uint8_t* out) { Store4(out, _mm_or_si128(_mm_and_si128(Load4(from), a), o)); };
    for (int left = rect.rows; left > 0; --left, t += dt, to += pitch) {
        const uint8_t* from = column + (t >> 16) * texPitch;
        int k = 0;
        for (; k != wide; k += 64) {
            const __m128i v0 = Load4(from + k), v1 = Load4(from + k + 16);
            const __m128i v2 = Load4(from + k + 32), v3 = Load4(from + k + 48);
            Store4(to + k, _mm_or_si128(_mm_and_si128(v0, a), o));
            Store4(to + k + 16, _mm_or_si128(_mm_and_si128(v1, a), o));
            Store4(to + k + 32, _mm_or_si128(_mm_and_si128(v2, a), o));
            Store4(to + k + 48, _mm_or_si128(_mm_and_si128(v3, a), o));
        }
        for (; k != body; k += 16) copy(from + k, to + k);
        if (k != bytes) copy(from + last, to + last);
    }
}

// An opaque plain copy: the texel's own bits with X bits cleared (andMask) and alpha set
// (orMask) as the formats ask; a memcpy per row when neither changes anything.
void CopyRows(const SpriteRect& rect, int bytes, uint32_t andMask, uint32_t orMask, bool sse2) {
    const int n = rect.width;
    int64_t t = rect.t;
    uint8_t* to = rect.dst;
    if (andMask == 0xFFFFFFFFu && orMask == 0) {
        const uint8_t* const column = rect.texColumn;
        const intptr_t texPitch = rect.texPitch, pitch = rect.dstPitch;
        const int64_t dt = rect.dt;
        const size_t rowBytes = static_cast<size_t>(n) * bytes;
        for (int left = rect.rows; left > 0; --left, t += dt, to += pitch)
            std::memcpy(to, column + (t >> 16) * texPitch, rowBytes);
        return;
    }
    if (bytes == 2) {
        for (int r = 0; r < rect.rows; ++r, t += rect.dt, to += rect.dstPitch) {
            const uint8_t* from = rect.texColumn + (t >> 16) * rect.texPitch;
            for (int k = 0; k < n; ++k) {
                uint16_t v;
                std::memcpy(&v, from + 2 * k, 2);
                v = static_cast<uint16_t>((v & andMask) | orMask);
                std::memcpy(to + 2 * k, &v, 2);
            }
        }
        return;
    }
    if (sse2 && n >= 4) {
        MaskedCopyRows32(rect, andMask, orMask);
        return;
    }
    for (int r = 0; r < rect.rows; ++r, t += rect.dt, to += rect.dstPitch) {
        const uint8_t* from = rect.texColumn + (t >> 16) * rect.texPitch;
        for (int k = 0; k < n; ++k) Store1(to + 4 * k, (Load1(from + 4 * k) & andMask) | orMask);
    }
}

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
        if (RunInside(s, ds, n, tex.width)) {
            for (int k = 0; k < n; ++k, s += ds) buf[k] = TexelOf<F>(row + (s >> 16) * kBytes);
            return buf;
        }
        for (int k = 0; k < n; ++k, s += ds) buf[k] = TexelOf<F>(row + ClampIndex(s >> 16, tex.width) * kBytes);
        return buf;
    }
    if (RunInside(s, ds, n, tex.width) && RunInside(t, dt, n, tex.height)) {
        for (int k = 0; k < n; ++k, s += ds, t += dt)
            buf[k] = TexelOf<F>(tex.pixels + (t >> 16) * tex.pitch + (s >> 16) * kBytes);
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

Src SrcOf(uint32_t a, int stage) {
    switch (a) {
    case arg::Diffuse: return kDiffuse;
    case arg::Specular: return kSpecular;
    case arg::TFactor: return kTFactor;
    case arg::Texture: return static_cast<Src>(kTex0 + stage);
    }
    return kCurrent;
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
        BuildSprite();
    }

    void Triangles(const Primitives& prims) {
        uint32_t count = PrimitiveCount(prims);
        // The library's sprite quads: a list of unindexed textured vertices, drawn by a sprite
        // or copy row with flat colours.
        const bool quads = prims.type == Primitive::TriangleList && prims.indices == nullptr &&
                           prims.fvf == kFvfColorTex1 && (sprite_ || copy_) && !st_.gouraud;
        const auto* bytes = static_cast<const uint8_t*>(prims.vertices);
        Corners bufA, bufB;
        Corners* cur = &bufA;
        Corners* next = &bufB;
        bool curRead = false;  // cur holds primitive n
        for (uint32_t n = 0; n < count;) {
            const bool haveNext = n + 1 < count;
            const uint8_t* quad = bytes + static_cast<size_t>(n) * 3 * kQuadStride;
            if (quads && haveNext && quadKnown_ && QuadAgain(quad)) {
                n += 2;
                curRead = false;
                continue;
            }
            if (!curRead) Read(prims, n, cur);
            if (haveNext) Read(prims, n + 1, next);
            RectSpan rect;
            if (haveNext && RectPair(cur->v, next->v, &rect)) {
                const bool keep = quads && RememberQuad(quad, cur->v[0]) && Whole(quad_, rect);
                DrawRect(rectTri_, rect, keep ? &quadJob_ : nullptr);
                n += 2;
                curRead = false;
                continue;
            }
            if (SetupTriangle(plan_, cur->v[0], cur->v[1], cur->v[2], &tri_)) DrawTriangle(tri_);
            n += 1;
            Corners* t = cur;
            cur = next;
            next = t;
            curRead = haveNext;
        }
    }

private:
    // A rectangle's rows as RectRows set them up, kept to be run again at another place.
    struct RectJob {
        enum Kind : uint8_t { kNone, kCopy, kPremul, kSprite } kind = kNone;
        SpriteRect job{};
        SpriteParams params;
        uint64_t premulBuild = 0;  // the premultiplied copy it reads
        int32_t left = 0, top = 0;
    };

    // ---- the sprite quad lane ----
    // A quad as the library writes it: corners top-left, top-right, bottom-left,
    // bottom-right as vertices 0 1 2 3 2 1, with the right corners right of the left ones
    // and the bottom ones below. One that repeats the last quad drawn as a rectangle pair
    // (the same corner colours and texture coordinates, the same sizes and sub-pixel
    // position) moved by whole pixels is that rectangle moved: its pair would match and
    // give the moved planes, so the vertex reading, the matching and the set-up are skipped.
    static constexpr int kQuadStride = 28;
    struct QuadShape {
        int64_t x0 = 0, y0 = 0, x1 = 0, y2 = 0;  // snapped: left, top, right, bottom
    };

    // False when the quad is not in the library's layout or has an invalid coordinate.
    static bool ReadQuad(const uint8_t* q, QuadShape* out) {
        auto same = [](const uint8_t* a, const uint8_t* b) {  // two whole vertices
            return _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(Load4(a), Load4(b)),
                                                   _mm_cmpeq_epi8(Load4(a + 12), Load4(b + 12)))) == 0xFFFF;
        };
        auto bits = [](const uint8_t* p) { return Load1(p); };
        const uint8_t* v0 = q;
        const uint8_t* v1 = q + kQuadStride;
        const uint8_t* v2 = q + 2 * kQuadStride;
        const uint8_t* v3 = q + 3 * kQuadStride;
        if (!same(q + 4 * kQuadStride, v2) || !same(q + 5 * kQuadStride, v1)) return false;
        if (bits(v0) != bits(v2) || bits(v1) != bits(v3) || bits(v0 + 4) != bits(v1 + 4) || bits(v2 + 4) != bits(v3 + 4))
            return false;
        float f[4];
        std::memcpy(&f[0], v0, 4);
        std::memcpy(&f[1], v0 + 4, 4);
        std::memcpy(&f[2], v1, 4);
        std::memcpy(&f[3], v2 + 4, 4);
        // Every coordinate is snapped, without branches between them.
        const bool valid = ((int)SnapCoordinate(f[0], &out->x0) & (int)SnapCoordinate(f[1], &out->y0) &
                            (int)SnapCoordinate(f[2], &out->x1) & (int)SnapCoordinate(f[3], &out->y2)) != 0;
        return valid && out->x1 > out->x0 && out->y2 > out->y0;
    }

    // Bytes 12 to 27 of a corner: rhw (which does not count), then diffuse, u and v.
    static __m128i CornerTail(const uint8_t* q, int corner) { return Load4(q + corner * kQuadStride + 12); }

    // Whether the quad's corner colours and texture coordinates are the remembered ones.
    // Compared in registers straight from the vertices: a copy to the stack read back at
    // another width would stall.
    bool SameAttributes(const uint8_t* q) const {
        const __m128i eq = _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(CornerTail(q, 0), quadTails_[0]),
                                                       _mm_cmpeq_epi8(CornerTail(q, 1), quadTails_[1])),
                                         _mm_and_si128(_mm_cmpeq_epi8(CornerTail(q, 2), quadTails_[2]),
                                                       _mm_cmpeq_epi8(CornerTail(q, 3), quadTails_[3])));
        return (_mm_movemask_epi8(eq) | 0xF) == 0xFFFF;
    }

    // Called after the quad's pair matched as a rectangle: rectTri_ holds its planes.
    bool RememberQuad(const uint8_t* q, const Vertex& first) {
        QuadShape shape;
        quadKnown_ = ReadQuad(q, &shape) && shape.x0 == first.x && shape.y0 == first.y;
        quadJob_.kind = RectJob::kNone;
        if (!quadKnown_) return false;
        quad_ = shape;
        for (int k = 0; k < 4; ++k) quadTails_[k] = CornerTail(q, k);
        MovePlanes(rectTri_, 0, 0, &quadTri_);
        return true;
    }

    // Whether the clip left the quad's rectangle whole.
    static bool Whole(const QuadShape& q, const RectSpan& rect) {
        return rect.left == (q.x0 + 255) >> 8 && rect.right == ((q.x1 + 255) >> 8) - 1 &&
               rect.top == (q.y0 + 255) >> 8 && rect.bottom == ((q.y2 + 255) >> 8) - 1;
    }

    // Draws the quad when it repeats the remembered one.
    bool QuadAgain(const uint8_t* q) {
        QuadShape shape;
        if (!SameAttributes(q) || !ReadQuad(q, &shape)) return false;
        const QuadShape& was = quad_;
        if (((shape.x0 ^ was.x0) & 255) != 0 || ((shape.y0 ^ was.y0) & 255) != 0 ||
            shape.x1 - shape.x0 != was.x1 - was.x0 || shape.y2 - shape.y0 != was.y2 - was.y0)
            return false;
        const RectSpan rect = ClipRect(shape.x0, shape.x1, shape.y0, shape.y2);
        const bool whole = Whole(shape, rect);
        const RectJob& job = quadJob_;
        if (whole && ((job.kind == RectJob::kPremul && job.premulBuild == premulBuilds_) || job.kind == RectJob::kCopy)) {
            // The same rows at another place: the moved planes give the same texels. (Copied
            // and premultiplied rows only: the other sprite rows measured slower run this way.)
            SpriteRect moved = job.job;
            moved.dst += static_cast<intptr_t>(rect.top - job.top) * target_.pitch +
                         static_cast<intptr_t>(rect.left - job.left) * bpp_;
            RunJob(job.kind, job, moved);
            return true;
        }
        const int32_t di = static_cast<int32_t>((shape.x0 >> 8) - (was.x0 >> 8));
        const int32_t dj = static_cast<int32_t>((shape.y0 >> 8) - (was.y0 >> 8));
        MovePlanes(quadTri_, di, dj, &rectTri_);
        DrawRect(rectTri_, rect, whole ? &quadJob_ : nullptr);
        return true;
    }

    // The pixel rectangle of centres in [xl, xr) x [yt, yb) (1/256 pixel), inside the clip.
    RectSpan ClipRect(int64_t xl, int64_t xr, int64_t yt, int64_t yb) const {
        int64_t left = (xl + 255) >> 8, right = ((xr + 255) >> 8) - 1;
        int64_t top = (yt + 255) >> 8, bottom = ((yb + 255) >> 8) - 1;
        left = left < plan_.clipLeft ? plan_.clipLeft : left;
        top = top < plan_.clipTop ? plan_.clipTop : top;
        right = right > plan_.clipRight - 1 ? plan_.clipRight - 1 : right;
        bottom = bottom > plan_.clipBottom - 1 ? plan_.clipBottom - 1 : bottom;
        return {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
                static_cast<int32_t>(bottom)};
    }

    // The flat colours and the planes a span reads, moved by whole pixels.
    void MovePlanes(const Triangle& from, int32_t di, int32_t dj, Triangle* to) const {
        to->flatDiffuse = from.flatDiffuse;
        to->flatSpecular = from.flatSpecular;
        auto move = [&](const Plane& p, Plane* q) {
            *q = p;
            q->iref = p.iref + di;
            q->jref = p.jref + dj;
        };
        if (st_.gouraud)  // flat draws read only the flat colours
            for (int ch = 0; ch < 8; ++ch) move(from.color[ch], &to->color[ch]);
        for (int k = 0; k < plan_.runStages; ++k) {
            move(from.s[k], &to->s[k]);
            move(from.t[k], &to->t[k]);
            to->linear[k] = from.linear[k];
        }
    }

    struct Corners {
        Vertex v[3];
    };

    void Read(const Primitives& prims, uint32_t n, Corners* c) {
        uint32_t idx[3];
        PrimitiveVertices(prims, n, idx);
        for (int k = 0; k < 3; ++k) ReadVertex(prims, idx[k], &c->v[k]);
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

    // The sprite row serves one stage that takes its colour from the texture (or the texture
    // times the diffuse) and its alpha from the texture, the diffuse or their product, with a
    // 32-bit texture on a 32-bit target and flat colours.
    void BuildSprite() {
        sprite_ = false;
        if (copy_ || plan_.runStages != 1 || !plan_.samples[0] || !wide_ || st_.gouraud) return;
        const TextureView& tex = st_.textures[0];
        if (tex.pixels == nullptr || BytesPerPixel(tex.format) != 4) return;
        const StageState& s = st_.stages[0];
        auto pair = [](uint32_t a1, uint32_t a2, uint32_t x, uint32_t y) {
            return (a1 == x && a2 == y) || (a1 == y && a2 == x);
        };
        if ((s.colorOp == op::SelectArg1 && s.colorArg1 == arg::Texture) ||
            (s.colorOp == op::SelectArg2 && s.colorArg2 == arg::Texture)) {
            spriteColorMul_ = false;
        } else if (s.colorOp == op::Modulate && pair(s.colorArg1, s.colorArg2, arg::Texture, arg::Diffuse)) {
            spriteColorMul_ = true;
        } else {
            return;
        }
        SpriteParams& p = sprite_params_;
        spriteAlphaMul_ = false;
        p.constAlpha = false;
        if (AlphaMatters()) {
            uint32_t picked = s.alphaOp == op::SelectArg1 ? s.alphaArg1 : s.alphaArg2;
            if (s.alphaOp == op::Disable) {
                p.constAlpha = true;  // CURRENT at stage 0: the diffuse
            } else if (s.alphaOp == op::SelectArg1 || s.alphaOp == op::SelectArg2) {
                if (picked == arg::Diffuse || picked == arg::Current)
                    p.constAlpha = true;
                else if (picked != arg::Texture)
                    return;
            } else if (s.alphaOp == op::Modulate && pair(s.alphaArg1, s.alphaArg2, arg::Texture, arg::Diffuse)) {
                spriteAlphaMul_ = true;
            } else {
                return;
            }
        }
        p.texFill = tex.format == PixelFormat::X8R8G8B8 ? 0xFF000000u : 0;
        p.test = test_;
        p.ref = ref_;
        p.func = st_.alphaFunc;
        p.rawRef = st_.alphaRef;
        p.key = plan_.keyed[0];
        p.keyRgb = plan_.keyRgb[0];
        p.dstFill = alphaFill_;
        p.andMask = andMask_;
        const int fs = FactorIndex(st_.srcBlend), fd = FactorIndex(st_.destBlend);
        int hot = HotBlendRow(st_.srcBlend, st_.destBlend);
        if (hot >= 0 && (test_ == Test::None || test_ == Test::Greater)) {
            int shape = (test_ == Test::Greater ? kGreater : 0) | (p.key ? kKey : 0) | (p.constAlpha ? kConstAlpha : 0);
            spritePlain_ = kHotSprites.rows[hot][shape];
            spriteMultiply_ = kHotSprites.rows[hot][shape | kMultiply];
            spanPlain_ = kHotSprites.spans[hot][shape];
            spanMultiply_ = kHotSprites.spans[hot][shape | kMultiply];
        } else {
            spritePlain_ = spriteMultiply_ = kSpriteTable.rows[fs][fd];
            spanPlain_ = spanMultiply_ = kSpriteTable.spans[fs][fd];
        }
        sprite_ = true;
        premulAllowed_ = target_.format == PixelFormat::X8R8G8B8 && !p.key && test_ == Test::None && (hot == 1 || hot == 2);
        premulAdditive_ = hot == 2;
    }

    // The premultiplied copy for this multiplier (and constant alpha), made once the pixels
    // drawn with it outweigh the texture's texels; null until then.
    const uint32_t* Premultiplied(uint32_t multiplier, uint32_t alphaBits, int64_t pixels) {
        const uint64_t which = uint64_t(multiplier) << 32 | (sprite_params_.constAlpha ? alphaBits : 0);
        if (premulValid_ && premulWhich_ == which) return premul_.data();
        if (premulPending_ != which) {
            premulPending_ = which;
            premulCredit_ = 0;
        }
        const TextureView& tex = st_.textures[0];
        int64_t texels = static_cast<int64_t>(tex.width) * tex.height;
        premulCredit_ += pixels;
        if (premulCredit_ < texels) return nullptr;
        premul_.resize(static_cast<size_t>(texels));
        // A constant alpha replaces the texel's before the product (the multiplier's alpha
        // is then 255), as the sprite kernel does.
        const uint32_t fill = sprite_params_.texFill;
        const uint32_t keep = sprite_params_.constAlpha ? 0x00FFFFFFu : 0xFFFFFFFFu;
        const uint32_t alpha = sprite_params_.constAlpha ? alphaBits : 0;
        std::vector<uint32_t> row(static_cast<size_t>(tex.width));
        premulMixed_.resize(static_cast<size_t>(tex.height));
        for (int32_t y = 0; y < tex.height; ++y) {
            const uint8_t* from = tex.pixels + static_cast<intptr_t>(y) * tex.pitch;
            for (int32_t x = 0; x < tex.width; ++x) row[x] = ((Load1(from + 4 * x) | fill) & keep) | alpha;
            uint32_t* out = premul_.data() + static_cast<size_t>(y) * tex.width;
            Premultiply(row.data(), tex.width, multiplier, out, sse2_);
            bool mixed = true;
            for (int32_t x = 0; x + 4 <= tex.width && mixed; x += 4) {
                const uint32_t a = out[x] >> 24;
                bool same = a == 0 || a == 255;
                for (int i = 1; i < 4; ++i) same = same && out[x + i] >> 24 == a;
                mixed = !same;
            }
            premulMixed_[y] = mixed;
        }
        premulValid_ = true;
        premulWhich_ = which;
        ++premulBuilds_;
        return premul_.data();
    }

    // ---- geometry ----
    // Two triangles that split an upright rectangle along a diagonal and carry one set
    // of planes; their union covers the centres in [left, right) x [top, bottom).
    bool RectPair(const Vertex* a, const Vertex* b, RectSpan* rect) {
        int64_t xl = a[0].x, xr = a[0].x, yt = a[0].y, yb = a[0].y;
        for (const Vertex* t : {a, b})
            for (int k = 0; k < 3; ++k) {
                if (!t[k].valid) return false;
                xl = t[k].x < xl ? t[k].x : xl;
                xr = t[k].x > xr ? t[k].x : xr;
                yt = t[k].y < yt ? t[k].y : yt;
                yb = t[k].y > yb ? t[k].y : yb;
            }
        if (xl == xr || yt == yb) return false;
        int missing[2];
        int which = 0;
        for (const Vertex* t : {a, b}) {
            int sum = 0, seen = 0;
            for (int k = 0; k < 3; ++k) {
                if ((t[k].x != xl && t[k].x != xr) || (t[k].y != yt && t[k].y != yb)) return false;
                int corner = (t[k].x == xr ? 2 : 0) + (t[k].y == yb ? 1 : 0);
                if (seen & (1 << corner)) return false;
                seen |= 1 << corner;
                sum += corner;
            }
            missing[which++] = 6 - sum;
        }
        if ((missing[0] ^ missing[1]) != 3) return false;  // they must share the diagonal
        if (!PlanesOfPair(a, b)) return false;
        *rect = ClipRect(xl, xr, yt, yb);
        return true;
    }

    // The planes of a rectangle pair into rectTri_; false when the halves differ. A pair
    // that repeats the previous one moved by whole pixels (same offsets between its vertices,
    // same sub-pixel position, same attributes) has the same planes moved by those pixels:
    // the plane set-up sees exactly the same numbers, so it is not run again.
    bool PlanesOfPair(const Vertex* a, const Vertex* b) {
        PairKey key;
        int n = 0;
        key.v[n++] = static_cast<uint64_t>(a[0].x & 255);
        key.v[n++] = static_cast<uint64_t>(a[0].y & 255);
        for (const Vertex* t : {a, b})
            for (int k = 0; k < 3; ++k) {
                const Vertex& v = t[k];
                uint32_t uv[4];
                std::memcpy(uv, v.uv, sizeof uv);
                key.v[n++] = static_cast<uint64_t>(v.x - a[0].x);
                key.v[n++] = static_cast<uint64_t>(v.y - a[0].y);
                key.v[n++] = uint64_t(uv[0]) << 32 | uv[1];
                key.v[n++] = uint64_t(uv[2]) << 32 | uv[3];
                key.v[n++] = uint64_t(v.diffuse) << 32 | v.specular;
            }
        int32_t di = static_cast<int32_t>((a[0].x >> 8) - (pairX_ >> 8));
        int32_t dj = static_cast<int32_t>((a[0].y >> 8) - (pairY_ >> 8));
        if (pairCached_ && key == pairKey_) {
            if (!pairEqual_) return false;
            MovePlanes(pairTri_, di, dj, &rectTri_);
            return true;
        }
        auto area = [](const Vertex* t) { return (t[1].x - t[0].x) * (t[2].y - t[0].y) - (t[2].x - t[0].x) * (t[1].y - t[0].y); };
        SetupPlanes(plan_, a, area(a), &rectTri_);
        SetupPlanes(plan_, b, area(b), &other_);
        const Triangle& p = rectTri_;
        const Triangle& q = other_;
        bool equal = true;
        if (st_.gouraud) {
            for (int ch = 0; ch < 8; ++ch) {
                if ((ch < 4 && !plan_.needDiffuse) || (ch >= 4 && !plan_.needSpecular)) continue;
                equal = equal && p.color[ch] == q.color[ch];
            }
        } else {
            equal = equal && !(plan_.needDiffuse && p.flatDiffuse != q.flatDiffuse);
            equal = equal && !(plan_.needSpecular && p.flatSpecular != q.flatSpecular);
        }
        for (int k = 0; k < plan_.runStages; ++k) {
            if (fetch_[k] == nullptr) continue;
            equal = equal && p.s[k] == q.s[k] && p.t[k] == q.t[k] && p.linear[k] == q.linear[k];
        }
        pairCached_ = true;
        pairKey_ = key;
        pairEqual_ = equal;
        pairX_ = a[0].x;
        pairY_ = a[0].y;
        pairTri_.flatDiffuse = p.flatDiffuse;
        pairTri_.flatSpecular = p.flatSpecular;
        for (int ch = 0; ch < 8; ++ch) pairTri_.color[ch] = p.color[ch];
        for (int k = 0; k < plan_.runStages; ++k) {
            pairTri_.s[k] = p.s[k];
            pairTri_.t[k] = p.t[k];
            pairTri_.linear[k] = p.linear[k];
        }
        return equal;
    }

    void DrawRect(const Triangle& tri, const RectSpan& rect, RectJob* record = nullptr) {
        if (record != nullptr) record->kind = RectJob::kNone;
        if (rect.left > rect.right || rect.top > rect.bottom) return;
        if ((copy_ || sprite_) && RectRows(tri, rect, record)) return;
        const SpanMode mode = SpanModeFor(tri);
        if (mode.walk) {
            const SpriteArea area{&tri, &rect, &st_.textures[0], target_.pixels, target_.pitch};
            mode.fn(area, mode.params, sse2_);
            return;
        }
        for (int32_t j = rect.top; j <= rect.bottom; ++j) Span(tri, j, rect.left, rect.right);
    }

    // Rows of a rectangle whose texels run unscaled along the rows and stay inside the
    // texture: one texture row per target row, copied or drawn by a sprite row.
    bool RectRows(const Triangle& tri, const RectSpan& rect, RectJob* record) {
        const Plane& sp = tri.s[0];
        const Plane& tp = tri.t[0];
        if (sp.dx != 65536 || sp.dy != 0 || tp.dx != 0) return false;
        const TextureView& tex = st_.textures[0];
        int64_t s = sp.At(rect.left, rect.top), t = tp.At(rect.left, rect.top), dt = tp.dy;
        if (tri.linear[0]) {
            if (!OnTexels(s, t, 65536, dt)) return false;
            s -= 32768;
            t -= 32768;
        }
        int64_t n = static_cast<int64_t>(rect.right) - rect.left + 1;
        int64_t rows = static_cast<int64_t>(rect.bottom) - rect.top;
        int64_t xi = s >> 16, firstRow = t >> 16, lastRow = (t + dt * rows) >> 16;
        if (xi < 0 || xi + n > tex.width || firstRow < 0 || firstRow >= tex.height || lastRow < 0 ||
            lastRow >= tex.height)
            return false;
        const int texBytes = BytesPerPixel(tex.format);
        const uint8_t* texColumn = tex.pixels + xi * texBytes;
        uint8_t* to = target_.pixels + static_cast<intptr_t>(rect.top) * target_.pitch +
                      static_cast<intptr_t>(rect.left) * bpp_;
        RectJob made;
        RectJob& r = record != nullptr ? *record : made;
        r.job = {texColumn, tex.pitch, t, dt, to, target_.pitch, static_cast<int>(n), static_cast<int>(rows + 1)};
        r.left = rect.left;
        r.top = rect.top;
        r.kind = RectJob::kCopy;
        if (!copy_) {
            r.params = SpriteParamsFor(tri.flatDiffuse);
            // Sprite rows that may turn premultiplied later are not kept.
            r.kind = premulAllowed_ ? RectJob::kNone : RectJob::kSprite;
            if (premulAllowed_) {
                if (const uint32_t* pre = Premultiplied(r.params.multiplier, r.params.alphaBits, n * (rows + 1))) {
                    r.job.texColumn = reinterpret_cast<const uint8_t*>(pre + xi);
                    r.job.texPitch = static_cast<intptr_t>(tex.width) * 4;
                    if (xi % 4 == 0) r.job.mixedRows = premulMixed_.data();
                    r.kind = RectJob::kPremul;
                    r.premulBuild = premulBuilds_;
                }
            }
        }
        RunJob(r.kind == RectJob::kNone ? RectJob::kSprite : r.kind, r, r.job);
        return true;
    }

    // Runs a rectangle's rows as RectRows chose them, at `job`.
    void RunJob(RectJob::Kind kind, const RectJob& r, const SpriteRect& job) {
        switch (kind) {
        case RectJob::kCopy: CopyRows(job, bpp_, copyAnd_, copyOr_, sse2_); break;
        case RectJob::kPremul: (premulAdditive_ ? &PremulRows<true> : &PremulRows<false>)(job, sse2_); break;
        default: (r.params.multiply ? spriteMultiply_ : spritePlain_)(job, r.params, sse2_); break;
        }
    }

    // The sprite kernel's parameters for a primitive's flat diffuse.
    SpriteParams SpriteParamsFor(uint32_t dif) const {
        SpriteParams params = sprite_params_;
        uint32_t multiplier = (spriteAlphaMul_ ? (dif & 0xFF000000u) : 0xFF000000u) |
                              (spriteColorMul_ ? (dif & 0x00FFFFFFu) : 0x00FFFFFFu);
        params.multiply = multiplier != 0xFFFFFFFFu;
        params.multiplier = multiplier;
        params.alphaBits = dif & 0xFF000000u;
        return params;
    }

    // The spans of a sprite state with point sampling walk the texture in one pass each;
    // the others take the general span.
    struct SpanMode {
        bool walk = false;
        SpriteParams params;
        SpriteSpanFn fn = nullptr;
    };
    SpanMode SpanModeFor(const Triangle& tri) const {
        SpanMode mode;
        if (!sprite_ || tri.linear[0]) return mode;
        mode.walk = true;
        mode.params = SpriteParamsFor(tri.flatDiffuse);
        mode.fn = mode.params.multiply ? spanMultiply_ : spanPlain_;
        return mode;
    }

    void DrawTriangle(const Triangle& tri) {
        const SpanMode mode = SpanModeFor(tri);
        if (mode.walk) {
            const SpriteArea area{&tri, nullptr, &st_.textures[0], target_.pixels, target_.pitch};
            mode.fn(area, mode.params, sse2_);
            return;
        }
        SpanEnds ends(tri);
        for (int32_t j = tri.top; j <= tri.bottom; ++j) {
            int32_t lo, hi;
            if (ends.Next(&lo, &hi)) Span(tri, j, lo, hi);
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
        uint8_t* to = target_.pixels + static_cast<intptr_t>(j) * target_.pitch + static_cast<intptr_t>(x0) * bpp_;
        SpriteRect row{tex.pixels + xi * bpp_, tex.pitch, yi << 16, 0, to, target_.pitch, static_cast<int>(n), 1};
        CopyRows(row, bpp_, copyAnd_, copyOr_, sse2_);
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
            const TestMasks test(test_, ref_);
            for (; k + 4 <= n; k += 4) {
                __m128i pass = test.Pass(_mm_srli_epi32(Load4(color + k), 24));
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
    bool sprite_ = false;
    bool spriteColorMul_ = false, spriteAlphaMul_ = false;
    SpriteParams sprite_params_;
    SpriteRowFn spritePlain_ = nullptr, spriteMultiply_ = nullptr;
    SpriteSpanFn spanPlain_ = nullptr, spanMultiply_ = nullptr;
    bool premulAllowed_ = false, premulAdditive_ = false, premulValid_ = false;
    uint64_t premulWhich_ = 0, premulPending_ = 0;
    int64_t premulCredit_ = 0;
    std::vector<uint32_t> premul_;
    std::vector<uint8_t> premulMixed_;
    uint64_t premulBuilds_ = 0;
    Triangle tri_, rectTri_, other_;
    bool quadKnown_ = false;
    QuadShape quad_;
    __m128i quadTails_[4] = {};
    Triangle quadTri_;
    RectJob quadJob_;
    struct PairKey {
        uint64_t v[2 + 6 * 5];  // every entry written before use (a zeroing costs a pair)
        bool operator==(const PairKey& o) const { return std::memcmp(v, o.v, sizeof v) == 0; }
    };
    bool pairCached_ = false, pairEqual_ = false;
    PairKey pairKey_;
    int64_t pairX_ = 0, pairY_ = 0;
    Triangle pairTri_;
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
