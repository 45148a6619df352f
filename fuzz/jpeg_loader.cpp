// Fuzz target: the JPEG glue over a memory stream. Inputs holding a frame header that
// declares more than a million pixels are skipped: from a few bytes libjpeg would decode
// the whole declared frame, its own work, while the glue's rows and colour order are the
// same for any size.
#include <cstdint>
#include <string>
#include <vector>

#include "CodecFixtures.h"
#include "FuzzSupport.h"
#include "ImageFuzz.h"
#include "QzUseCLibCodec.h"

namespace {

// The largest picture any start-of-frame marker in the bytes declares.
uint64_t LargestDeclaredFrame(const uint8_t* data, size_t size) {
    uint64_t largest = 0;
    for (size_t i = 0; i + 9 <= size; i++) {
        if (data[i] != 0xFF) continue;
        uint8_t marker = data[i + 1];
        if (marker < 0xC0 || marker > 0xCF || marker == 0xC4 || marker == 0xC8 || marker == 0xCC) continue;
        uint64_t height = data[i + 5] << 8 | data[i + 6];
        uint64_t width = data[i + 7] << 8 | data[i + 8];
        if (width * height > largest) largest = width * height;
    }
    return largest;
}

}  // namespace

QZ_FUZZ_TARGET(JpegLoader)(const uint8_t* data, size_t size) {
    if (LargestDeclaredFrame(data, size) > (uint64_t(1) << 20)) return 0;
    return qzfuzz::RunImageLoader(LoadJpegToGraphImage, data, size);
}

QZ_FUZZ_SEEDS(JpegLoader) {
    std::vector<std::string> seeds;
    seeds.push_back(qztest::WriteJpeg(16, 16, 3, qztest::GradientRgb(16, 16), 80));
    seeds.push_back(qztest::WriteJpeg(24, 8, 1, qztest::GradientGray(24, 8), 60));
    std::string full = qztest::WriteJpeg(32, 32, 3, qztest::GradientRgb(32, 32), 90);
    seeds.push_back(full.substr(0, full.size() / 2));
    seeds.push_back(qztest::WriteJpeg(8, 8, 4, std::string(8 * 8 * 4, '\x20'), 75));
    return seeds;
}
