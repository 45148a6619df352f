// QzDrawBlitFast.h: the fast paths of the software blitters, chained ahead of their
// general loops (QzDrawBlit.cpp, QzDrawBlitScaled.cpp). A fast path is chosen once per
// call from the call's shape; every other call falls through to the general loops,
// which define the result. A fast path draws exactly the bytes the general loop would.
// Main thread under the library lock, like the blitters.
#pragma once

#include <cstddef>
#include <cstdint>

// Tests set this to draw every call through the general loops, to compare both ways.
extern bool g_blitGeneralOnly;
// Tests set this to keep the 32-bit fast paths four pixels wide where the processor
// could take eight (AVX2), so that both widths are checked against the general loops.
extern bool g_blitNarrowOnly;

// One PutMEMIMG call after clipping and the mode decisions: W x H pixels from src to
// dst; kind 0 a direct source, 1 one with per-pixel alpha, 2 a palette source.
struct FastBlitCall {
    int W, H;
    const uint8_t* src;
    ptrdiff_t srcPitch;
    uint8_t* dst;
    ptrdiff_t dstPitch;
    const uint8_t* runs;  // the run tables when the call walks them, else null
    bool is32;
    int kind;
    int mode;  // 0-4, alpha at 255 already mode 0
    int P;
    uint32_t bright;  // the bright colour; on when its low 24 bits are not all ones
    bool blendGraph;
    bool key;
    uint32_t colorKey;
    bool mmx;
};

// Draws the call and returns true when a fast path takes its shape; false draws nothing.
bool PutMEMIMGFast(const FastBlitCall& c);

// One PutMEMIMGScaled call after clipping, with the general loop's stepping: the source
// moves by srcStep (srcRowStep) each time its 16.16 accumulator, starting at accX (accY)
// and lowered by 65536 per destination pixel (row), runs out, by stepX (stepY) a time.
struct FastScaledCall {
    int W, H;
    const uint8_t* srcRow;
    ptrdiff_t srcStep, srcRowStep;
    int32_t stepX, stepY, accX, accY;
    uint8_t* dstRow;
    ptrdiff_t dstPitch;
    bool is32;
    int kind;  // as FastBlitCall
    int mode;
    int P;
    uint32_t bright;
    bool blendGraph;
    bool key;
    uint32_t colorKey;
    bool mmx;
};

bool PutMEMIMGScaledFast(const FastScaledCall& c);
