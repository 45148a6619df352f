// QzDrawBlitRuns.h: the general path's walk of a source's run tables, a span at a time,
// for the blitters' fast paths (QzDrawBlitFast.cpp, QzDrawBlitFast16.cpp).
#pragma once

#include <cstdint>

#include "QzDrawBlitFast.h"
#include "QzDrawMemImg.h"

// Copy runs go to opaque(dp, sp, n), blend runs to translucent(dp, sp, n, room), room the
// pixels the row holds from the run's start; skip runs leave the destination. A run
// longer than the row's rest is cut to it.
template <int SrcBytes, int DstBytes, class Opaque, class Translucent>
inline void WalkRuns(const FastBlitCall& b, Opaque opaque, Translucent translucent) {
    const uint8_t* rp = b.runs;
    const int W = b.W, H = b.H;
    const ptrdiff_t srcPitch = b.srcPitch, dstPitch = b.dstPitch;
    for (int row = 0; row < H; ++row) {
        const uint8_t* sp = b.src + row * srcPitch;
        uint8_t* dp = b.dst + row * dstPitch;
        int left = W;
        for (;;) {
            uint8_t code = *rp++;
            if (code >= kRunEnd)
                break;
            int n = (code & 0x3F) + 1;
            if (n > left)
                n = left;
            const int kind = code >> 6;
            if (kind == 2)
                translucent(dp, sp, n, left);
            else if (kind == 1)
                opaque(dp, sp, n);
            left -= n;
            sp += SrcBytes * n;
            dp += DstBytes * n;
            if (left == 0) {
                if (*rp >= kRunEnd)
                    ++rp;
                break;
            }
        }
    }
}
