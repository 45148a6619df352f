// Fuzz target: the DDS reader over a memory stream: FourCC formats and RGB masks, with the
// header's pitch or a computed one.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "ImageFuzz.h"
#include "ImageWriters.h"
#include "QzGraphicsReaders.h"

QZ_FUZZ_TARGET(DdsReader)(const uint8_t* data, size_t size) {
    return qzfuzz::RunImageLoader(LoadDdsToGraphImage, data, size);
}

QZ_FUZZ_SEEDS(DdsReader) {
    std::vector<std::string> seeds;
    for (uint32_t fourCC : {20u, 21u, 23u, 26u, 27u, 31u, 35u}) {
        qztest::DdsSpec s;
        s.width = 3;
        s.height = 2;
        s.formatFlags = 0x4;
        s.fourCC = fourCC;
        s.rgbBits = 0;
        s.pixels = std::string(2 * 3 * 4, '\x5A');
        seeds.push_back(qztest::WriteDds(s));
    }
    qztest::DdsSpec rgb;
    rgb.width = 3;
    rgb.height = 2;
    rgb.flags = 0x100F;
    rgb.pitch = 8;
    rgb.rgbBits = 16;
    rgb.masks[0] = 0xF800, rgb.masks[1] = 0x07E0, rgb.masks[2] = 0x001F;
    rgb.pixels = std::string(16, '\x21');
    seeds.push_back(qztest::WriteDds(rgb));
    return seeds;
}
