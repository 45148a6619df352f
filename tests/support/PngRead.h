// PngRead.h: reads a PNG file back with libpng, for tests of captured frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qztest {

// The pixels as 0x00RRGGBB, top row first; empty when the file cannot be read.
std::vector<uint32_t> ReadPngRgb(const std::string& path, int* width, int* height);
// The same as 8-bit R, G, B bytes, row after row, as libpng gives them (no conversion: for
// comparing many frames quickly).
std::vector<uint8_t> ReadPngRgbBytes(const std::string& path, int* width, int* height);

}  // namespace qztest
