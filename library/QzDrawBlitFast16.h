// QzDrawBlitFast16.h: the fast paths of the software blitters' add and subtract on
// R5G6B5 targets (QzDrawBlitFast16.cpp), asked by the 16-bit dispatch of
// QzDrawBlitFast.cpp. Same contract as there: drawn bytes are the general loops' own.
#pragma once

#include <cstdint>

#include "QzDrawBlitFast.h"

// What an add or subtract span reads besides its pixels.
struct AddSub16Ctx {
    int P;
    int multiplier;  // the vector form of the ScaleTable row of P (below 255)
    const int32_t* pRow;
    uint32_t key;
};
using AddSub16Fn = void (*)(uint8_t* dp, const uint8_t* sp, int n, const AddSub16Ctx& c);

struct AddSub16Span {
    AddSub16Fn fn;
    AddSub16Ctx ctx;
};

// The scaled blitter's span for a source of kind 0 (direct, 2 bytes a pixel) or 1
// (per-pixel alpha, 4 bytes), bright off, mode 2 (add) or 3 (subtract) at P, keyed or
// not: every P is the table form there.
AddSub16Span ScaledAddSub16(int mode, int kind, int P, bool key, uint32_t colorKey);

// PutMEMIMG's add and subtract on R5G6B5: true when drawn, false to fall through.
bool PutMEMIMGFastAddSub16(const FastBlitCall& b);
