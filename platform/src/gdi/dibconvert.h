// gdi/dibconvert.h: the conversion of a device-independent bitmap in memory into a
// bitmap or surface of another format, for SetDIBitsToDevice and StretchDIBits.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/gdi.h"

namespace gdi {

// Where the pixels go: 8 (indices), 16 or 32 bits with three channel masks, or 24 bits
// (blue, green, red bytes); rowOf gives row y of the target, top row first.
struct DibTarget {
    int bits = 0;
    uint32_t masks[3] = {0, 0, 0};
    int width = 0, height = 0;
    std::function<uint8_t*(int y)> rowOf;
};

// Converts the whole DIB (1, 4 or 8 bits with a colour table, 16 bits as X1R5G5B5, 24
// bits, 32 bits as X8R8G8B8, or 16 and 32 bits with BI_BITFIELDS masks; bottom-up or
// top-down) into the target's top-left corner, its rows top first, mirrored left to
// right when asked. An 8-bit target takes only an 8-bit source, whose indices are
// copied. Returns the lines written, or 0 for a source it cannot read.
int ConvertDibToTarget(const void* bits, const BITMAPINFO* info, const DibTarget& target, bool mirror);

}  // namespace gdi
