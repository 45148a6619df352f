// PngRead.h: reads a PNG file back with libpng, for tests of captured frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qztest {

// The pixels as 0x00RRGGBB, top row first; empty when the file cannot be read.
std::vector<uint32_t> ReadPngRgb(const std::string& path, int* width, int* height);

}  // namespace qztest
