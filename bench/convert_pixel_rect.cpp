// ConvertPixelRect against pixman on the same format pairs, at 640x480 and 256x256, with
// a row-by-row memcpy of the destination bytes as the limit. pixman_blt serves equal
// depths, pixman_image_composite32(PIXMAN_OP_SRC) the others, PIXMAN_c8 with the same
// palette the 8-bit sources. Low bits may differ from pixman's (it widens channels by
// repeating bits where the fixed conversions shift).
//
// One run prints bytes per second of each and the ratios: the same-format copy should
// reach 90% of memcpy, the fixed conversions should be no slower than pixman.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "QzDrawColorFormat.h"
#include "QzDrawConvert.h"

namespace {

enum class Impl { Ours, Pixman, Memcpy };
const char* const kImplNames[] = {"ConvertPixelRect", "pixman", "memcpy"};

struct Pair {
    const char* name;
    int srcBits;
    uint32_t srcMasks[4];
    pixman_format_code_t srcPixman;
    int dstBits;
    uint32_t dstMasks[4];
    pixman_format_code_t dstPixman;
    bool keyToAlpha;
    bool inPlace;
};

const Pair kPairs[] = {
    {"X8R8G8B8 to itself", 32, {0xFF0000, 0xFF00, 0xFF, 0}, PIXMAN_x8r8g8b8, 32, {0xFF0000, 0xFF00, 0xFF, 0},
     PIXMAN_x8r8g8b8, false, false},
    {"24-bit to X8R8G8B8", 24, {0xFF0000, 0xFF00, 0xFF, 0}, PIXMAN_r8g8b8, 32, {0xFF0000, 0xFF00, 0xFF, 0},
     PIXMAN_x8r8g8b8, false, false},
    {"8-bit to R5G6B5", 8, {0xFF0000, 0xFF00, 0xFF, 0}, PIXMAN_c8, 16, {0xF800, 0x07E0, 0x001F, 0}, PIXMAN_r5g6b5,
     false, false},
    {"8-bit to X8R8G8B8", 8, {0xFF0000, 0xFF00, 0xFF, 0}, PIXMAN_c8, 32, {0xFF0000, 0xFF00, 0xFF, 0},
     PIXMAN_x8r8g8b8, false, false},
    {"R5G6B5 to X8R8G8B8", 16, {0xF800, 0x07E0, 0x001F, 0}, PIXMAN_r5g6b5, 32, {0xFF0000, 0xFF00, 0xFF, 0},
     PIXMAN_x8r8g8b8, false, false},
    {"X8R8G8B8 to R5G6B5", 32, {0xFF0000, 0xFF00, 0xFF, 0}, PIXMAN_x8r8g8b8, 16, {0xF800, 0x07E0, 0x001F, 0},
     PIXMAN_r5g6b5, false, false},
    {"X1R5G5B5 to R5G6B5 in place", 16, {0x7C00, 0x03E0, 0x001F, 0}, PIXMAN_x1r5g5b5, 16,
     {0xF800, 0x07E0, 0x001F, 0}, PIXMAN_r5g6b5, false, true},
    {"R5G6B5 to A8R8G8B8", 16, {0xF800, 0x07E0, 0x001F, 0}, PIXMAN_r5g6b5, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000u},
     PIXMAN_a8r8g8b8, false, false},
    {"X8R8G8B8 to A8R8G8B8 keyed", 32, {0xFF0000, 0xFF00, 0xFF, 0}, PIXMAN_x8r8g8b8, 32,
     {0xFF0000, 0xFF00, 0xFF, 0xFF000000u}, PIXMAN_a8r8g8b8, true, false},
};

// One pair at one size: the images and formats each implementation works on.
struct Job {
    int width, height;
    ColorFormat src = {}, dst = {};
    int srcPitch, dstPitch;
    std::vector<uint8_t> srcBytes, dstBytes, copyBytes;  // copyBytes: memcpy's source, destination-sized
    pixman_indexed_t indexed;
    pixman_image_t* pixSrc = nullptr;
    pixman_image_t* pixDst = nullptr;

    Job(const Pair& p, int w, int h) : width(w), height(h) {
        if (p.srcBits == 8) {
            SetupPalette8ColorFormat(&src);
        } else if (p.srcBits == 24) {
            SetupRGB24ColorFormat(&src);
        } else {
            FillColorFormat(&src, p.srcBits, p.srcMasks[0], p.srcMasks[1], p.srcMasks[2], p.srcMasks[3]);
        }
        FillColorFormat(&dst, p.dstBits, p.dstMasks[0], p.dstMasks[1], p.dstMasks[2], p.dstMasks[3]);
        std::mt19937 gen(42);
        std::memset(&indexed, 0, sizeof indexed);
        for (int i = 0; i < 256; ++i) {
            src.palette[i] = gen() & 0xFFFFFF;
            indexed.rgba[i] = 0xFF000000u | src.palette[i];
        }
        // pixman pitches must be multiples of 4 bytes.
        srcPitch = (w * p.srcBits / 8 + 3) & ~3;
        dstPitch = (w * p.dstBits / 8 + 3) & ~3;
        srcBytes.resize((size_t)srcPitch * h);
        for (uint8_t& b : srcBytes)
            b = (uint8_t)gen();
        dstBytes.assign((size_t)dstPitch * h, 0);
        copyBytes.assign((size_t)dstPitch * h, 0x5A);
        pixSrc = pixman_image_create_bits(p.srcPixman, w, h, (uint32_t*)srcBytes.data(), srcPitch);
        if (p.srcBits == 8)
            pixman_image_set_indexed(pixSrc, &indexed);
        pixDst = pixman_image_create_bits(p.dstPixman, w, h, (uint32_t*)dstBytes.data(), dstPitch);
    }
    ~Job() {
        pixman_image_unref(pixSrc);
        pixman_image_unref(pixDst);
    }
};

void BM_Convert(benchmark::State& state, const Pair* pair, int size, Impl impl) {
    int w = size == 640 ? 640 : 256, h = size == 640 ? 480 : 256;
    Job job(*pair, w, h);
    RECT rect = {0, 0, w, h};
    for (auto _ : state) {
        switch (impl) {
        case Impl::Ours:
            if (pair->inPlace) {
                // The bracket's use: a work surface converted where it lies.
                ConvertPixelRect(job.srcBytes.data(), job.srcPitch, &job.dst, job.srcBytes.data(), job.srcPitch,
                                 &job.src, nullptr, 0, nullptr, 0, 0, &rect, 0, 0, 0, 0, 0, 0, 0);
            } else {
                ConvertPixelRect(job.dstBytes.data(), job.dstPitch, &job.dst, job.srcBytes.data(), job.srcPitch,
                                 &job.src, nullptr, 0, nullptr, 0, 0, &rect, 0, pair->keyToAlpha ? 1 : 0, 0x808080, 0,
                                 0, 0, 0);
            }
            break;
        case Impl::Pixman:
            if (pair->srcBits == pair->dstBits && pair->srcPixman == pair->dstPixman)
                pixman_blt((uint32_t*)job.srcBytes.data(), (uint32_t*)job.dstBytes.data(), job.srcPitch / 4,
                           job.dstPitch / 4, pair->srcBits, pair->dstBits, 0, 0, 0, 0, w, h);
            else
                pixman_image_composite32(PIXMAN_OP_SRC, job.pixSrc, nullptr, job.pixDst, 0, 0, 0, 0, 0, 0, w, h);
            break;
        case Impl::Memcpy:
            for (int y = 0; y < h; ++y)
                std::memcpy(job.dstBytes.data() + (size_t)y * job.dstPitch,
                            job.copyBytes.data() + (size_t)y * job.dstPitch, (size_t)w * pair->dstBits / 8);
            break;
        }
        benchmark::ClobberMemory();
    }
    double bytes = (double)w * h * pair->dstBits / 8;
    state.SetBytesProcessed((int64_t)(bytes * (double)state.iterations()));
    state.counters["MB_per_s"] = benchmark::Counter(bytes / 1e6 * (double)state.iterations(), benchmark::Counter::kIsRate);
}

struct Key {
    int pair, size;
    bool operator<(const Key& o) const { return pair != o.pair ? pair < o.pair : size < o.size; }
};
std::map<Key, std::map<int, double>> g_rates;

class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto it = run.counters.find("MB_per_s");
            auto where = names.find(run.benchmark_name());
            if (it != run.counters.end() && !run.error_occurred && where != names.end())
                g_rates[where->second.first][where->second.second] = it->second.value;
        }
    }
    std::map<std::string, std::pair<Key, int>> names;
};

}  // namespace

int main(int argc, char** argv) {
    TableReporter reporter;
    for (int p = 0; p < (int)(sizeof kPairs / sizeof kPairs[0]); ++p)
        for (int size : {640, 256})
            for (int impl = 0; impl < 3; ++impl) {
                std::string name = std::string("Convert/") + kPairs[p].name + "/" + std::to_string(size) + "/" +
                                   kImplNames[impl];
                benchmark::RegisterBenchmark(name.c_str(), BM_Convert, &kPairs[p], size, (Impl)impl)
                    ->Unit(benchmark::kMicrosecond);
                reporter.names[name] = {{p, size}, impl};
            }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nDestination megabytes per second (640 = 640x480, 256 = 256x256)\n");
    std::printf("%-32s %4s %10s %10s %10s  %10s %10s\n", "pair", "size", "ours", "pixman", "memcpy", "ours/pixman",
                "ours/memcpy");
    for (auto& [key, rates] : g_rates) {
        double ours = rates[0], pixman = rates[1], memcpyRate = rates[2];
        std::printf("%-32s %4d %10.0f %10.0f %10.0f  %10.2f %10.2f\n", kPairs[key.pair].name, key.size, ours, pixman,
                    memcpyRate, pixman > 0 ? ours / pixman : 0.0, memcpyRate > 0 ? ours / memcpyRate : 0.0);
    }
    return 0;
}
