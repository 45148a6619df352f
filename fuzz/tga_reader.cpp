// Fuzz target: the TGA reader over a memory stream: mapped and true-colour images, their
// RLE forms, every orientation, with and without footer.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "ImageFuzz.h"
#include "ImageWriters.h"
#include "QzGraphicsReaders.h"

QZ_FUZZ_TARGET(TgaReader)(const uint8_t* data, size_t size) {
    return qzfuzz::RunImageLoader(LoadTgaToGraphImage, data, size);
}

QZ_FUZZ_SEEDS(TgaReader) {
    std::vector<std::string> seeds;
    for (int type : {1, 2, 9, 10})
        for (int depth : {16, 24, 32}) {
            qztest::TgaSpec s;
            s.type = type;
            s.width = 5;
            s.height = 3;
            s.descriptor = (type * 0x10 + depth) & 0x30;
            s.footer = depth != 24;
            const bool mapped = type == 1 || type == 9;
            s.depth = mapped ? 8 : depth;
            if (mapped) {
                s.mapType = 1;
                s.firstEntry = 3;
                s.entryBits = depth;
                for (uint32_t i = 0; i < 6; i++) s.map.push_back(0x11223344u * (i + 1));
            }
            for (uint32_t i = 0; i < 15; i++) s.pixels.push_back(mapped ? 3 + i % 6 : (i / 4) * 0x01020304u);
            seeds.push_back(qztest::WriteTga(s));
        }
    return seeds;
}
