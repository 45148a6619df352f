// MemImgPixels.h: reading and writing single pixels of a MEMIMG in tests, whatever its
// pixel size.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>

#include "QzDrawMemImg.h"

namespace qztest {

inline uint32_t MemImgPixel(const MEMIMG* m, int x, int y) {
    uint32_t v = 0;
    std::memcpy(&v, m->pixels + y * m->pitch + x * m->format->pixelBytes, m->format->pixelBytes);
    return v;
}

inline void SetMemImgPixel(MEMIMG* m, int x, int y, uint32_t v) {
    std::memcpy(m->pixels + y * m->pitch + x * m->format->pixelBytes, &v, m->format->pixelBytes);
}

// Every pixel from the generator.
inline void FillMemImgRandomly(MEMIMG* m, std::mt19937& rng) {
    for (int y = 0; y < m->height; ++y)
        for (int x = 0; x < m->width; ++x) SetMemImgPixel(m, x, y, rng());
}

}  // namespace qztest
