// Fuzz target: the raw "BGRA" reader over a memory stream, both layouts.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "ImageFuzz.h"
#include "ImageWriters.h"
#include "QzGraphicsReaders.h"

QZ_FUZZ_TARGET(BgraReader)(const uint8_t* data, size_t size) {
    return qzfuzz::RunImageLoader(LoadBgraToGraphImage, data, size);
}

QZ_FUZZ_SEEDS(BgraReader) {
    std::vector<uint32_t> pixels;
    for (uint32_t i = 0; i < 12; i++) pixels.push_back(0x80402010u + i * 0x01010101u);
    return {qztest::WriteBgra(4, 3, false, pixels), qztest::WriteBgra(3, 4, true, pixels), qztest::WriteBgra(1, 1, false, {0})};
}
