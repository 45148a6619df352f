// FuzzSupport.h: one entry function per fuzz target, built two ways.
//
// In the fuzz preset, QZ_FUZZ_TARGET(Name) opens libFuzzer's entry, and the target's seeds
// (QZ_FUZZ_SEEDS(Name), made by code: the archive writer, the codec fixtures) are written
// into the corpus folder given on the command line when that folder is empty.
// In the tested build (QZ_FUZZ_SEED_TEST), the same entry becomes a test that runs over
// every seed, so targets keep compiling and seeds keep passing.
//
//   QZ_FUZZ_TARGET(PngLoader)(const uint8_t* data, size_t size) { ...; return 0; }
//   QZ_FUZZ_SEEDS(PngLoader) { return {WritePng(...), ...}; }
//   QZ_FUZZ_FOUND(PngLoader, HugeChunk, HugeChunkPng());  // a test in the tested build,
//                                                          // over bytes made by code or a kept file
//   QZ_FUZZ_SMALL_QUARANTINE();  // a target whose inputs churn memory
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#define QZ_FUZZ_SEEDS(name) static std::vector<std::string> name##Seeds()

#ifdef QZ_FUZZ_SEED_TEST

#include <gtest/gtest.h>

#define QZ_FUZZ_TARGET(name)                                                                          \
    QZ_FUZZ_SEEDS(name);                                                                              \
    static int name##Entry(const uint8_t* data, size_t size);                                         \
    TEST(FuzzSeeds, name) {                                                                           \
        std::vector<std::string> seeds = name##Seeds();                                               \
        ASSERT_FALSE(seeds.empty());                                                                  \
        for (size_t i = 0; i < seeds.size(); i++) {                                                   \
            SCOPED_TRACE("seed " + std::to_string(i) + " of " #name);                                 \
            EXPECT_EQ(0, name##Entry(reinterpret_cast<const uint8_t*>(seeds[i].data()), seeds[i].size())); \
        }                                                                                             \
    }                                                                                                 \
    static int name##Entry

#include "Fixtures.h"
#include "MemoryWatch.h"

// An input the fuzzer found, made again by the expression `bytes`: the target's entry runs
// over it and leaves no leaked block behind. The tested build keeps the sanitizer's
// defaults.
#define QZ_FUZZ_SMALL_QUARANTINE()

#define QZ_FUZZ_FOUND(name, label, bytes)                                                             \
    TEST(FuzzFound, name##_##label) {                                                                 \
        const std::string input = (bytes);                                                            \
        ASSERT_FALSE(input.empty());                                                                  \
        EXPECT_EQ(0, name##Entry(reinterpret_cast<const uint8_t*>(input.data()), input.size()));      \
        EXPECT_FALSE(qztest::HasLeakedBlocks());                                                       \
    }

#else

#include <filesystem>
#include <fstream>

namespace qzfuzz {

// The first argument that is no option names the corpus folder. An empty one gets the
// seeds; a folder that already holds inputs is left alone.
inline void WriteSeedsToCorpus(int argc, char** argv, const std::vector<std::string>& seeds) {
    for (int i = 1; i < argc; i++) {
        if (argv[i][0] == '-') continue;
        std::error_code error;
        std::filesystem::path folder(argv[i]);
        if (!std::filesystem::is_directory(folder, error) || !std::filesystem::is_empty(folder, error)) return;
        for (size_t k = 0; k < seeds.size(); k++) {
            std::ofstream out(folder / ("seed-" + std::to_string(k)), std::ios::binary);
            out.write(seeds[k].data(), static_cast<std::streamsize>(seeds[k].size()));
        }
        return;
    }
}

}  // namespace qzfuzz

#define QZ_FUZZ_TARGET(name)                                            \
    QZ_FUZZ_SEEDS(name);                                                \
    extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {      \
        qzfuzz::WriteSeedsToCorpus(*argc, *argv, name##Seeds());        \
        return 0;                                                       \
    }                                                                   \
    extern "C" int LLVMFuzzerTestOneInput

// Found inputs run as tests of the tested build only.
#define QZ_FUZZ_FOUND(name, label, file)

// A smaller AddressSanitizer quarantine for targets whose inputs make and free many or
// large blocks. Behind the default 256 MB every new block lands on memory untouched for
// a long time (large ones on fresh mappings and their page faults), which cost a third of
// such a run; 16 MB still holds a freed block for many inputs' worth of frees, far longer
// than a use after free within one input waits. ASAN_OPTIONS still decides when set.
#define QZ_FUZZ_SMALL_QUARANTINE() \
    extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }

#endif
