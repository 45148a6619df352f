// QzDrawSolidPixel.h: the per-pixel rules of one solid colour over a destination pixel in
// every blend mode, shared by the fills, the lines and the untextured triangles. The
// caller applies the bright colour to the colour first (each has its own rounding).
// Channels stay in their own widths (5/6/5 bits in 16-bit colour).
#pragma once

#include <cstdint>
#include <cstring>

#include "QzDrawDevice.h"

struct SolidPixel {
    uint32_t f = 0;      // the colour after the bright colour
    uint32_t s = 0;      // f scaled by the parameter (modes 2 and 3), byte 3 zero
    int type = 0;        // 0: 16-bit R5G6B5, 1: 32-bit X8R8G8B8
    int mode = 0;        // 0-4; mode 1 with 255 becomes 0
    int p = 0;
    const int32_t* signedRow = nullptr;  // SignedScaleTable row of p at its zero column

    // False when the draw writes nothing: a mode above 4 (unsigned), or 0 in modes 1-3.
    bool Prepare(uint32_t color, int destType, int blendMode, int param) {
        f = color;
        type = destType;
        mode = blendMode;
        p = param & 0xFF;
        if ((uint32_t)mode > 4u)
            return false;
        if (mode == 1 && p == 255)
            mode = 0;
        if (mode >= 1 && mode <= 3 && p == 0)
            return false;
        const int32_t* row = ScaleTable[p];
        if (type == 0)
            s = (uint32_t)row[f >> 11 & 31] << 11 | (uint32_t)row[f >> 5 & 63] << 5 | (uint32_t)row[f & 31];
        else
            s = (uint32_t)row[f >> 16 & 0xFF] << 16 | (uint32_t)row[f >> 8 & 0xFF] << 8 | (uint32_t)row[f & 0xFF];
        signedRow = &SignedScaleTable[p][255];
        return true;
    }

    uint32_t Alpha(uint32_t d) const {
        if (type == 0) {
            int fr = (int)(f >> 11 & 31), fg = (int)(f >> 5 & 63), fb = (int)(f & 31);
            int dr = (int)(d >> 11 & 31), dg = (int)(d >> 5 & 63), db = (int)(d & 31);
            return (uint32_t)(dr + signedRow[fr - dr]) << 11 | (uint32_t)(dg + signedRow[fg - dg]) << 5 |
                   (uint32_t)(db + signedRow[fb - db]);
        }
        uint32_t out = d & 0xFF000000u;
        for (int sh = 0; sh <= 16; sh += 8) {
            int fc = (int)(f >> sh & 0xFF), dc = (int)(d >> sh & 0xFF);
            out |= (uint32_t)(((fc - dc) * p + 256 * dc) >> 8) << sh;
        }
        return out;
    }

    uint32_t Add(uint32_t d) const {
        if (type == 0) {
            uint32_t sum = (s & 0xF7DF) + (d & 0xF7DF);
            uint32_t k = sum & 0x10820;
            uint32_t mask = ((k & 0xFFFF) - (k >> 5)) & 0xFFFF;
            return (sum | mask | ((s | d) & 0x0820)) & 0xFFFF;
        }
        uint32_t sum = (s & 0x00FEFEFFu) + (d & 0x00FEFEFFu);
        uint32_t k = sum & 0x01010100u;
        return sum | (k - (k >> 8)) | ((s | d) & 0x00010100u);
    }

    uint32_t Sub(uint32_t d) const {
        if (type == 0) {
            uint32_t diff = (d | 0x10820) - (s & 0xF7DF);
            uint32_t k = diff & 0x10820;
            uint32_t mask = ((k & 0xFFFF) - (k >> 5)) & 0xFFFF;
            return diff & mask & 0xFFFF;
        }
        uint32_t diff = (d | 0x01010100u) - (s & 0x00FEFEFFu);
        uint32_t k = diff & 0x01010100u;
        return diff & (k - (k >> 8));
    }

    uint32_t Mul(uint32_t d) const {
        if (type == 0)
            return (((f & 0xF800) * (d & 0xF800) >> 16) & 0xF800) | (((f & 0x7E0) * (d & 0x7E0) >> 11) & 0x7E0) |
                   (((f & 0x1F) * (d & 0x1F)) >> 5);
        uint32_t out = d & 0xFF000000u;
        for (int sh = 0; sh <= 16; sh += 8)
            out |= ((f >> sh & 0xFF) * (d >> sh & 0xFF) >> 8) << sh;
        return out;
    }

    uint32_t Apply(uint32_t d) const {
        switch (mode) {
        case 0: return f;
        case 1: return Alpha(d);
        case 2: return Add(d);
        case 3: return Sub(d);
        default: return Mul(d);
        }
    }

    // The rule on the pixel at p of a destination with `bytes` per pixel (2 or 4).
    void ApplyAt(uint8_t* p, int bytes) const {
        if (bytes == 2) {
            uint16_t d;
            std::memcpy(&d, p, 2);
            d = (uint16_t)Apply(d);
            std::memcpy(p, &d, 2);
        } else {
            uint32_t d;
            std::memcpy(&d, p, 4);
            d = Apply(d);
            std::memcpy(p, &d, 4);
        }
    }
};
