// Fuzz target: the PNG glue over a memory stream. Inputs that declare a picture above
// 16 million pixels are skipped, so the fuzzer's memory limit meets damaged data rather
// than honest large images.
#include <cstdint>
#include <string>
#include <vector>

#include "CodecFixtures.h"
#include "FuzzSupport.h"
#include "ImageFuzz.h"
#include "QzUseCLibCodec.h"

QZ_FUZZ_TARGET(PngLoader)(const uint8_t* data, size_t size) {
    if (size >= 24) {
        auto read32 = [&](size_t at) {
            return static_cast<uint64_t>(data[at]) << 24 | data[at + 1] << 16 | data[at + 2] << 8 | data[at + 3];
        };
        if (read32(16) * read32(20) > (uint64_t(1) << 24)) return 0;
    }
    return qzfuzz::RunImageLoader(LoadPngToGraphImage, data, size);
}

QZ_FUZZ_SEEDS(PngLoader) {
    std::vector<std::string> seeds;
    auto spec = [](int w, int h, int type, int depth, std::string rows) {
        qztest::PngSpec s;
        s.width = w;
        s.height = h;
        s.colorType = type;
        s.bitDepth = depth;
        s.rows = std::move(rows);
        return s;
    };
    seeds.push_back(qztest::WritePng(spec(16, 8, 2, 8, qztest::GradientRgb(16, 8))));
    seeds.push_back(qztest::WritePng(spec(8, 8, 0, 8, qztest::GradientGray(8, 8))));
    seeds.push_back(qztest::WritePng(spec(8, 2, 4, 8, qztest::GradientGray(16, 2))));
    seeds.push_back(qztest::WritePng(spec(4, 4, 6, 16, std::string(4 * 4 * 8, '\x33'))));
    qztest::PngSpec palette = spec(8, 2, 3, 4, std::string(8, '\x12'));
    palette.palette = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    palette.paletteAlpha = {128};
    seeds.push_back(qztest::WritePng(palette));
    qztest::PngSpec gray2 = spec(8, 1, 0, 2, "\x1B\xE4");
    gray2.transparentGray = 1;
    seeds.push_back(qztest::WritePng(gray2));
    return seeds;
}
