// Fuzz target: DecodeArchiveLZ on arbitrary blocks, and the round trip of the tests'
// encoder and the decoder. The first byte picks the mode. A block is copied into a buffer
// of exactly its declared compressed size and decoded into one of exactly its declared
// plain size (a block kept for the process, its bytes past that size poisoned), so any
// step outside either is caught.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "FuzzSupport.h"
#include "ScratchBlock.h"
#include "QzArchive_LZ.h"

namespace {

constexpr uint32_t kMaxPlain = 1 << 22;

uint32_t Read32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

}  // namespace

QZ_FUZZ_TARGET(ArchiveLZ)(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t mode = data[0];
    data++;
    size--;
    if (mode & 1) {
        std::string input(reinterpret_cast<const char*>(data), size);
        std::string block = qztest::CompressArchiveLZ(input, static_cast<uint8_t>(mode >> 1));
        std::vector<char> out(input.size());
        if (DecodeArchiveLZ(block.data(), nullptr) != static_cast<int>(input.size()) ||
            DecodeArchiveLZ(block.data(), out.data()) != static_cast<int>(input.size()) ||
            !std::equal(out.begin(), out.end(), input.begin(), input.end()))
            std::abort();
        return 0;
    }
    if (size < kArchiveLZHeaderSize) return 0;
    uint32_t blockSize = Read32(data + 4);
    uint32_t plainSize = Read32(data);
    if (blockSize > size || plainSize > kMaxPlain) return 0;
    // The block holds at least its header; a declared size below that is refused unread.
    std::vector<uint8_t> block(data, data + (blockSize < kArchiveLZHeaderSize ? kArchiveLZHeaderSize : blockSize));
    int declared = DecodeArchiveLZ(block.data(), nullptr);
    if (declared < 0) return 0;
    static qzfuzz::ScratchBlock out;
    DecodeArchiveLZ(block.data(), out.Take(static_cast<size_t>(declared)));
    return 0;
}

QZ_FUZZ_SEEDS(ArchiveLZ) {
    std::vector<std::string> seeds;
    std::string text;
    for (int i = 0; i < 200; i++) text += "tile " + std::to_string(i % 9) + " ";
    seeds.push_back("\x01" + text);
    seeds.push_back("\x00" + qztest::CompressArchiveLZ(text));
    seeds.push_back(std::string(1, '\0') + qztest::ArchiveLZBuilder(0xFF)
                                              .Literals("abcdefgh")
                                              .Match(4, 8, 1)
                                              .Literals("12345678\xFF")
                                              .Match(4, 8, 0)
                                              .Match(200, 300, 2)
                                              .Block());
    seeds.push_back(std::string(1, '\0') + qztest::ArchiveLZBuilder(0x10).Literals("xy").Match(100, 2, 1).Match(6, 70, 3).Block());
    return seeds;
}
