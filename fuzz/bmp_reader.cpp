// Fuzz target: the BMP reader over a memory stream, its RLE decoders and the platform's
// DIB conversion included. Headers that declare more than a million pixels are skipped:
// uncompressed pixels must all be in the input, so only RLE reaches such sizes, from a few
// bytes, and zeroing up to 16 million of them was most of the runs that drew one; larger
// sizes take no path a million does not.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "ImageFuzz.h"
#include "ImageWriters.h"
#include "QzGraphicsReaders.h"

QZ_FUZZ_TARGET(BmpReader)(const uint8_t* data, size_t size) {
    if (size >= 26) {
        int64_t width = static_cast<int32_t>(ReadLe32(data + 18));
        int64_t height = static_cast<int32_t>(ReadLe32(data + 22));
        if (width < 0) width = -width;
        if (height < 0) height = -height;
        if (width * height > (int64_t(1) << 20)) return 0;
    }
    return qzfuzz::RunImageLoader(LoadBmpToGraphImage, data, size);
}

QZ_FUZZ_SEEDS(BmpReader) {
    std::vector<std::string> seeds;
    auto spec = [](int width, int height, int bits, uint32_t compression) {
        qztest::BmpSpec s;
        s.width = width;
        s.height = height;
        s.bits = bits;
        s.compression = compression;
        for (int i = 0; i < width * (height < 0 ? -height : height); i++) s.pixels.push_back(0x01030507u * (uint32_t)i);
        if (bits <= 8)
            for (int i = 0; i < (1 << bits); i++) s.palette.push_back(0x00102030u * (uint32_t)i);
        return s;
    };
    for (int bits : {1, 4, 8, 16, 24, 32})
        for (int height : {5, -5}) seeds.push_back(qztest::WriteBmp(spec(7, height, bits, 0)));
    qztest::BmpSpec fields = spec(5, 3, 16, 3);
    fields.masks = {0xF800, 0x07E0, 0x001F};
    seeds.push_back(qztest::WriteBmp(fields));
    fields = spec(5, -3, 32, 3);
    fields.masks = {0x3FF00000, 0xFFC00, 0x3FF};
    fields.infoSize = 124;
    seeds.push_back(qztest::WriteBmp(fields));
    qztest::BmpSpec rle8 = spec(8, 3, 8, 1);
    rle8.data = std::string("\x03\x11\x00\x03\x44\x55\x66\x00\x00\x00\x05\x22\x00\x02\x02\x01\x01\x33\x00\x01", 20);
    seeds.push_back(qztest::WriteBmp(rle8));
    qztest::BmpSpec rle4 = spec(6, -2, 4, 2);
    rle4.data = std::string("\x03\x12\x00\x03\x34\x50\x00\x00\x06\x77\x00\x01", 12);
    seeds.push_back(qztest::WriteBmp(rle4));
    return seeds;
}
