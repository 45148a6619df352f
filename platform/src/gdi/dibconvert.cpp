// gdi/dibconvert.cpp: DIB pixels into another format. Channels are rescaled bit-wise:
// a narrow channel widens by repeating its top bits ((v << 3) | (v >> 2) for 5 bits into
// 8), a wide one narrows by keeping its top bits. A colour-table index past the table
// gives black; a zero mask gives a channel that is always 0. Main thread.
#include "gdi/dibconvert.h"

#include <algorithm>
#include <cstring>

namespace {

struct Channel {
    int shift = 0;
    int width = 0;  // bits from the lowest set bit of the mask to its highest
};

Channel ChannelOf(uint32_t mask) {
    Channel c;
    if (mask == 0)
        return c;
    c.shift = __builtin_ctz(mask);
    c.width = 32 - __builtin_clz(mask) - c.shift;
    return c;
}

uint32_t Rescale(uint32_t value, int from, int to) {
    if (from == 0 || to == 0)
        return 0;
    if (from >= to)
        return value >> (from - to);
    uint64_t out = 0;
    int filled = 0;
    while (filled < to) {
        out = out << from | value;
        filled += from;
    }
    return (uint32_t)(out >> (filled - to));
}

uint32_t Extract(uint32_t value, Channel c) {
    if (c.width == 0)
        return 0;
    uint32_t mask = c.width >= 32 ? 0xFFFFFFFFu : (1u << c.width) - 1;
    return value >> c.shift & mask;
}

// One source pixel as channel values of the source's widths.
struct Pixel {
    uint32_t r, g, b;
};

}  // namespace

namespace gdi {

int ConvertDibToTarget(const void* bits, const BITMAPINFO* info, const DibTarget& target, bool mirror) {
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const int bitCount = h.biBitCount;
    if (h.biSize < 40 || h.biSize > 124 || h.biWidth < 1 || h.biHeight == 0)
        return 0;
    const bool fields = h.biCompression == BI_BITFIELDS;
    if (h.biCompression != BI_RGB && !(fields && (bitCount == 16 || bitCount == 32)))
        return 0;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return 0;
    if (target.bits == 8 && bitCount != 8)
        return 0;
    if (target.bits != 8 && target.bits != 16 && target.bits != 24 && target.bits != 32)
        return 0;

    const int64_t width = h.biWidth;
    const int64_t rows = h.biHeight < 0 ? -(int64_t)h.biHeight : (int64_t)h.biHeight;
    const bool bottomUp = h.biHeight > 0;
    const int64_t stride = (width * bitCount + 31) / 32 * 4;
    const uint8_t* source = static_cast<const uint8_t*>(bits);
    const uint8_t* afterHeader = reinterpret_cast<const uint8_t*>(info) + h.biSize;

    // The colour table: biClrUsed entries when it names fewer than 2^bits.
    const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(afterHeader);
    int tableSize = bitCount <= 8 ? 1 << bitCount : 0;
    if (bitCount <= 8 && h.biClrUsed != 0 && h.biClrUsed < (DWORD)tableSize)
        tableSize = (int)h.biClrUsed;

    Channel src[3];
    if (fields) {
        uint32_t masks[3];
        std::memcpy(masks, reinterpret_cast<const uint8_t*>(info) + 40, sizeof masks);
        for (int i = 0; i < 3; ++i)
            src[i] = ChannelOf(masks[i]);
    } else if (bitCount == 16) {
        src[0] = ChannelOf(0x7C00), src[1] = ChannelOf(0x03E0), src[2] = ChannelOf(0x001F);
    } else {
        src[0] = ChannelOf(0xFF0000), src[1] = ChannelOf(0xFF00), src[2] = ChannelOf(0xFF);
    }
    Channel dst[3];
    if (target.bits == 24) {
        dst[0] = ChannelOf(0xFF0000), dst[1] = ChannelOf(0xFF00), dst[2] = ChannelOf(0xFF);
    } else {
        for (int i = 0; i < 3; ++i)
            dst[i] = ChannelOf(target.masks[i]);
    }
    const int srcWidths[3] = {bitCount <= 8 ? 8 : src[0].width, bitCount <= 8 ? 8 : src[1].width,
                              bitCount <= 8 ? 8 : src[2].width};

    const int outWidth = (int)std::min<int64_t>(width, target.width);
    const int outRows = (int)std::min<int64_t>(rows, target.height);
    for (int y = 0; y < outRows; ++y) {
        const uint8_t* line = source + (bottomUp ? rows - 1 - y : y) * stride;
        uint8_t* out = target.rowOf(y);
        for (int x = 0; x < outWidth; ++x) {
            const int64_t sx = mirror ? width - 1 - x : x;
            uint32_t index = 0, value = 0;
            switch (bitCount) {
            case 1: index = line[sx >> 3] >> (7 - (sx & 7)) & 1; break;
            case 4: index = line[sx >> 1] >> ((sx & 1) ? 0 : 4) & 0xF; break;
            case 8: index = line[sx]; break;
            case 16: value = (uint32_t)line[sx * 2] | (uint32_t)line[sx * 2 + 1] << 8; break;
            case 24: value = (uint32_t)line[sx * 3] | (uint32_t)line[sx * 3 + 1] << 8 | (uint32_t)line[sx * 3 + 2] << 16; break;
            default: std::memcpy(&value, line + sx * 4, 4); break;
            }
            if (target.bits == 8) {
                out[x] = (uint8_t)index;
                continue;
            }
            Pixel p;
            if (bitCount <= 8) {
                if ((int)index < tableSize)
                    p = {table[index].rgbRed, table[index].rgbGreen, table[index].rgbBlue};
                else
                    p = {0, 0, 0};
            } else {
                p = {Extract(value, src[0]), Extract(value, src[1]), Extract(value, src[2])};
            }
            const uint32_t channels[3] = {p.r, p.g, p.b};
            uint32_t pixel = 0;
            for (int i = 0; i < 3; ++i)
                if (dst[i].width)
                    pixel |= Rescale(channels[i], srcWidths[i], dst[i].width) << dst[i].shift;
            switch (target.bits) {
            case 16: out[x * 2] = (uint8_t)pixel, out[x * 2 + 1] = (uint8_t)(pixel >> 8); break;
            case 24: out[x * 3] = (uint8_t)pixel, out[x * 3 + 1] = (uint8_t)(pixel >> 8), out[x * 3 + 2] = (uint8_t)(pixel >> 16); break;
            default: std::memcpy(out + x * 4, &pixel, 4); break;
            }
        }
    }
    return outRows;
}

}  // namespace gdi
