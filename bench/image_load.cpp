// Loading pictures into graphics: what LoadFileToGraph (decode, texture split and upload on
// the null backend's Direct3D path, then DeleteOneGraph) and DecodeGraphImage alone cost
// over the bare decode of the same bytes with libpng (the same transforms) or libjpeg into
// a plain buffer. Files: 640 x 480 and 1024 x 1024 sheets of flat shapes on black, and a
// 640 x 480 noisy picture, each as PNG and as JPEG, written at start-up. After the runs
// each pair is printed as a ratio (ours / bare decode; the aim is at most 1.25).
#include <benchmark/benchmark.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "BenchRatios.h"
#include "CodecFixtures.h"
#include "QzApi.h"
#include "QzGraphicsData.h"
#include "QzGraphicsImage.h"
#include "QzGraphicsLoad.h"
#include "QzWinLock.h"
#include "platform/testing.h"

namespace {

struct Picture {
    const char* name;  // file name and benchmark suffix
    int width, height;
    bool noisy;
    bool jpeg;
};

const Picture kPictures[] = {
    {"sheet640.png", 640, 480, false, false},   {"sheet1024.png", 1024, 1024, false, false},
    {"noise640.png", 640, 480, true, false},    {"sheet640.jpg", 640, 480, false, true},
    {"sheet1024.jpg", 1024, 1024, false, true}, {"noise640.jpg", 640, 480, true, true},
};

// r, g, b per pixel: 32 x 32 cells on black, each a flat-coloured disc; or seeded noise.
std::string Pixels(int width, int height, bool noisy) {
    std::string rgb(static_cast<size_t>(width) * height * 3, '\0');
    uint32_t state = 12345;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            unsigned char* p = reinterpret_cast<unsigned char*>(&rgb[(static_cast<size_t>(y) * width + x) * 3]);
            if (noisy) {
                for (int c = 0; c < 3; c++) {
                    state = state * 22695477u + 1;
                    p[c] = static_cast<unsigned char>(state >> 16);
                }
                continue;
            }
            int cx = x % 32 - 16, cy = y % 32 - 16, cell = (y / 32) * 64 + x / 32;
            int radius = 6 + cell % 9;
            if (cx * cx + cy * cy > radius * radius) continue;
            p[0] = static_cast<unsigned char>(64 + cell * 37 % 192);
            p[1] = static_cast<unsigned char>(64 + cell * 91 % 192);
            p[2] = static_cast<unsigned char>(64 + cell * 13 % 192);
        }
    return rgb;
}

std::map<std::string, std::string>& Files() {
    static std::map<std::string, std::string> files;
    return files;
}

// ---- the bare decodes ------------------------------------------------------------------------
struct MemoryReader {
    const std::string* bytes;
    size_t at;
};

void ReadFromMemory(png_structp png, png_bytep data, png_size_t length) {
    MemoryReader* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (r->at + length > r->bytes->size()) png_error(png, "short");
    std::memcpy(data, r->bytes->data() + r->at, length);
    r->at += length;
}

void BarePng(const std::string& bytes, std::vector<unsigned char>* out, std::vector<png_bytep>* rows) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) std::abort();
    MemoryReader reader = {&bytes, 0};
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_read_info(png, info);
    // The glue's transforms.
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_packswap(png);
    png_set_bgr(png);
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    out->resize(rowBytes * height);
    rows->resize(height);
    for (png_uint_32 y = 0; y < height; y++) (*rows)[y] = out->data() + y * rowBytes;
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
}

void BareJpeg(const std::string& bytes, std::vector<unsigned char>* out) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    const size_t rowBytes = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
    out->resize(rowBytes * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out->data() + static_cast<size_t>(cinfo.output_scanline) * rowBytes;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
}

// ---- the three measurements ------------------------------------------------------------------
void BM_LoadFileToGraph(benchmark::State& state, const Picture* picture) {
    EnterLibraryLock();
    for (auto _ : state) {
        int handle = LoadFileToGraph(picture->name);
        if (handle < 0) std::abort();
        DeleteOneGraph(handle, 0);
    }
    LeaveLibraryLock();
}

void BM_DecodeGraphImage(benchmark::State& state, const Picture* picture) {
    EnterLibraryLock();
    for (auto _ : state) {
        GraphImage image = {};
        if (DecodeGraphImageRaw(picture->name, nullptr, 0, 0, &image, 0) != 0) std::abort();
        benchmark::DoNotOptimize(std::as_const(image.pixels));
        FreeGraphImage(&image);
    }
    LeaveLibraryLock();
}

void BM_BareDecode(benchmark::State& state, const Picture* picture) {
    const std::string& bytes = Files()[picture->name];
    std::vector<unsigned char> out;
    std::vector<png_bytep> rows;
    for (auto _ : state) {
        if (picture->jpeg)
            BareJpeg(bytes, &out);
        else
            BarePng(bytes, &out, &rows);
        benchmark::ClobberMemory();
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Headless, in a folder of its own, with a lock folder of its own so that no running
    // program or test sees this one's window.
    setenv("QZ_BACKEND", "null", 1);
    char folder[] = "/tmp/qzbench-image-XXXXXX";
    if (mkdtemp(folder) == nullptr || chdir(folder) != 0) return 1;
    ptest::ResetControls();
    ptest::SetWindowLockFolder(folder);
    for (const Picture& p : kPictures) {
        const std::string rgb = Pixels(p.width, p.height, p.noisy);
        std::string bytes;
        if (p.jpeg) {
            bytes = qztest::WriteJpeg(p.width, p.height, 3, rgb, 90);
        } else {
            qztest::PngSpec spec;
            spec.width = p.width;
            spec.height = p.height;
            spec.colorType = 2;
            spec.bitDepth = 8;
            spec.rows = rgb;
            bytes = qztest::WritePng(spec);
        }
        Files()[p.name] = bytes;
        FILE* out = std::fopen(p.name, "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }
    ApiChangeWindowMode(1);
    if (ApiInitializeLibrary() != 0) return 1;
    // Every load looks up names that do not exist (an archive named after each folder of
    // the path, the "_a" companion), and a folder changed in the last two seconds is read
    // anew for each such look-up, since its listing cannot be trusted yet. A game's data
    // folder has long settled; this one, and /tmp above it, were changed just now (the
    // files, the log). Without the wait the first pictures measure directory reads.
    sleep(3);

    for (const Picture& p : kPictures) {
        benchmark::RegisterBenchmark((std::string("LoadFileToGraph/") + p.name).c_str(), BM_LoadFileToGraph, &p)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("DecodeGraphImage/") + p.name).c_str(), BM_DecodeGraphImage, &p)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("BareDecode/") + p.name).c_str(), BM_BareDecode, &p)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    qzbench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const Picture& p : kPictures) {
        const std::string loaded = std::string("LoadFileToGraph/") + p.name, decoded = std::string("DecodeGraphImage/") + p.name;
        qzbench::PrintRatios(reporter,
                             {{(loaded + " / bare decode").c_str(), loaded, std::string("BareDecode/") + p.name},
                              {(decoded + " / bare decode").c_str(), decoded, std::string("BareDecode/") + p.name}},
                             44);
    }
    benchmark::Shutdown();
    ApiTerminateLibrary();
    return 0;
}
