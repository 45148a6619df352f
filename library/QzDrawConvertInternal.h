// QzDrawConvertInternal.h: what the parts of ConvertPixelRect share: pixel access and
// the general per-channel conversion's job record. Not for other callers.
#pragma once

#include <cstdint>
#include <cstring>

#include "QzDrawColorFormat.h"

namespace convert_internal {

inline uint32_t ReadPixel(const uint8_t* p, int bytes) {
    switch (bytes) {
    case 1: return p[0];
    case 2: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    case 3: return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
    default: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    }
}

inline void WritePixel(uint8_t* p, int bytes, uint32_t v) {
    switch (bytes) {
    case 1: p[0] = (uint8_t)v; break;
    case 2: {
        uint16_t w = (uint16_t)v;
        std::memcpy(p, &w, 2);
        break;
    }
    case 3:
        p[0] = (uint8_t)v;
        p[1] = (uint8_t)(v >> 8);
        p[2] = (uint8_t)(v >> 16);
        break;
    default: std::memcpy(p, &v, 4); break;
    }
}

// The general conversion over a prepared rectangle: dst, src and alpha point at the
// rectangle's first pixel (dst at the destination position, before mirroring).
struct GeneralJob {
    uint8_t* dst;
    int dstPitch;
    const uint8_t* src;
    int srcPitch;
    const uint8_t* alpha;  // null unless alpha comes from the alpha image
    int alphaPitch;
    const ColorFormat* df;
    const ColorFormat* sf;
    const ColorFormat* af;
    int width;
    int height;
    bool mirror;
    bool keyToAlpha;
    uint32_t key;
    bool keySkip;
    int dither;  // 0, 1 ordered, 2 error carry
    bool alphaOnly;
    bool alphaFromRed;
};

void ConvertGeneral(const GeneralJob& job);

}  // namespace convert_internal
