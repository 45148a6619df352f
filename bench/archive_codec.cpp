// Loading data: the archive's LZ decoder against zlib's inflate of the same bytes (with
// memcpy as the limit), a stored archive member read through the file layer against
// POSIX read of a plain file, and PNG and JPEG decoding through the glue over a memory
// stream against the same library's own in-memory decode. After the runs, each pair is
// printed as a ratio (ours / peer; below 1 is faster than the peer).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

#include "BenchRatios.h"
#include "ArchiveWriter.h"
#include "CodecFixtures.h"
#include "QzArchive_FileSet.h"
#include "QzArchive_LZ.h"
#include "QzUseCLibCodec.h"
#include "QzWinFileAccess.h"
#include "QzWinFileStream.h"
#include "QzWinMemory.h"
#include "platform/testing.h"

namespace {

// 1024 x 1024 32-bit pixels laid out like a sprite sheet: 32 x 32 cells on a black
// (transparent) ground, each a flat-coloured shape with a shaded band.
std::string SpriteSheet() {
    constexpr int kSize = 1024, kCell = 32;
    std::string pixels(static_cast<size_t>(kSize) * kSize * 4, '\0');
    for (int y = 0; y < kSize; y++) {
        for (int x = 0; x < kSize; x++) {
            int cx = x % kCell - kCell / 2, cy = y % kCell - kCell / 2;
            int cell = (y / kCell) * (kSize / kCell) + x / kCell;
            int radius = 6 + cell % 9;
            if (cx * cx + cy * cy > radius * radius) continue;
            unsigned char* p = reinterpret_cast<unsigned char*>(&pixels[(static_cast<size_t>(y) * kSize + x) * 4]);
            p[0] = static_cast<unsigned char>(cell * 37);
            p[1] = static_cast<unsigned char>(cell * 91 + (cy > 0 ? cy * 4 : 0));
            p[2] = static_cast<unsigned char>(cell * 13);
            p[3] = 0xFF;
        }
    }
    return pixels;
}

const std::string& Sheet() {
    static const std::string sheet = SpriteSheet();
    return sheet;
}

void BM_DecodeArchiveLZ(benchmark::State& state) {
    static const std::string block = qztest::CompressArchiveLZ(Sheet());
    std::vector<char> out(Sheet().size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(DecodeArchiveLZ(block.data(), out.data()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(out.size()));
    state.counters["compressed"] = static_cast<double>(block.size());
}
BENCHMARK(BM_DecodeArchiveLZ)->Unit(benchmark::kMillisecond);

void BM_ZlibInflate(benchmark::State& state) {
    static const std::string deflated = [] {
        uLongf size = compressBound(Sheet().size());
        std::string out(size, '\0');
        compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(Sheet().data()),
                  Sheet().size(), 6);
        out.resize(size);
        return out;
    }();
    std::vector<char> out(Sheet().size());
    for (auto _ : state) {
        uLongf size = out.size();
        benchmark::DoNotOptimize(uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                                            reinterpret_cast<const Bytef*>(deflated.data()), deflated.size()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(out.size()));
    state.counters["compressed"] = static_cast<double>(deflated.size());
}
BENCHMARK(BM_ZlibInflate)->Unit(benchmark::kMillisecond);

void BM_Memcpy(benchmark::State& state) {
    std::vector<char> out(Sheet().size());
    for (auto _ : state) {
        std::memcpy(out.data(), Sheet().data(), out.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(out.size()));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

// A folder with the sheet as a stored member of C:\DATA.QZA and as a plain file.
const std::string& Folder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/qzbench-XXXXXX";
        if (mkdtemp(pattern) == nullptr) std::abort();
        std::string made = pattern;
        qztest::ArchiveWriter writer;
        writer.AddFile("SHEET.BIN", Sheet());
        const std::string archive = writer.Build(qztest::ArchiveKey::First);
        const std::pair<const char*, const std::string*> files[] = {{"/DATA.QZA", &archive}, {"/sheet.bin", &Sheet()}};
        for (const auto& [name, bytes] : files) {
            FILE* out = std::fopen((made + name).c_str(), "wb");
            std::fwrite(bytes->data(), 1, bytes->size(), out);
            std::fclose(out);
        }
        ptest::MapDriveC(made);
        ClearArchiveTable();
        SetFileAccessTable(nullptr);
        return made;
    }();
    return folder;
}

constexpr int kPiece = 64 * 1024;

void BM_StoredMemberRead(benchmark::State& state) {
    Folder();
    FileHandle file = FileAccessOpen("C:\\DATA\\SHEET.BIN", 0, 1);
    if (file == 0) std::abort();
    std::vector<char> piece(kPiece);
    for (auto _ : state) {
        FileAccessSeek(file, 0, 0);
        while (FileAccessRead(piece.data(), 1, kPiece, file) > 0) benchmark::ClobberMemory();
    }
    FileAccessClose(file);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(Sheet().size()));
}
BENCHMARK(BM_StoredMemberRead)->Unit(benchmark::kMillisecond);

void BM_PosixRead(benchmark::State& state) {
    int fd = open((Folder() + "/sheet.bin").c_str(), O_RDONLY);
    if (fd < 0) std::abort();
    std::vector<char> piece(kPiece);
    for (auto _ : state) {
        lseek(fd, 0, SEEK_SET);
        while (read(fd, piece.data(), kPiece) > 0) benchmark::ClobberMemory();
    }
    close(fd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(Sheet().size()));
}
BENCHMARK(BM_PosixRead)->Unit(benchmark::kMillisecond);

constexpr int kImageWidth = 512, kImageHeight = 384;

const std::string& PngFile() {
    static const std::string png = qztest::GradientPng(kImageWidth, kImageHeight);
    return png;
}

const std::string& JpegFile() {
    static const std::string jpeg = qztest::WriteJpeg(kImageWidth, kImageHeight, 3, qztest::GradientRgb(kImageWidth, kImageHeight));
    return jpeg;
}

void DecodeThroughGlue(benchmark::State& state, GraphImageLoader loader, const std::string& bytes) {
    for (auto _ : state) {
        MemoryStream* memory = OpenMemoryStream(bytes.data(), static_cast<int>(bytes.size()));
        ReadStream stream;
        MakeMemoryReadStream(&stream, memory);
        GraphImage image = {};
        if (loader(&stream, &image) != 0) std::abort();
        benchmark::DoNotOptimize(std::as_const(image.pixels));
        FreeGraphImage(&image);
        CloseMemoryStream(memory);
    }
}

void BM_PngThroughGlue(benchmark::State& state) { DecodeThroughGlue(state, LoadPngToGraphImage, PngFile()); }
BENCHMARK(BM_PngThroughGlue)->Unit(benchmark::kMillisecond);

void BM_PngSimplifiedRead(benchmark::State& state) {
    std::vector<unsigned char> out(static_cast<size_t>(kImageWidth) * kImageHeight * 3);
    for (auto _ : state) {
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, PngFile().data(), PngFile().size())) std::abort();
        image.format = PNG_FORMAT_BGR;
        if (!png_image_finish_read(&image, nullptr, out.data(), 0, nullptr)) std::abort();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PngSimplifiedRead)->Unit(benchmark::kMillisecond);

void BM_JpegThroughGlue(benchmark::State& state) { DecodeThroughGlue(state, LoadJpegToGraphImage, JpegFile()); }
BENCHMARK(BM_JpegThroughGlue)->Unit(benchmark::kMillisecond);

void BM_JpegMemorySource(benchmark::State& state) {
    std::vector<unsigned char> out(static_cast<size_t>(kImageWidth) * kImageHeight * 3);
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr error;
        cinfo.err = jpeg_std_error(&error);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(JpegFile().data()),
                     static_cast<unsigned long>(JpegFile().size()));
        jpeg_read_header(&cinfo, TRUE);
        jpeg_start_decompress(&cinfo);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = out.data() + static_cast<size_t>(cinfo.output_scanline) * kImageWidth * 3;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_JpegMemorySource)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    qzbench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::vector<qzbench::RatioPair> pairs = {
        {"DecodeArchiveLZ / zlib inflate", "BM_DecodeArchiveLZ", "BM_ZlibInflate"},
        {"DecodeArchiveLZ / memcpy", "BM_DecodeArchiveLZ", "BM_Memcpy"},
        {"stored member via FileAccessRead / POSIX read", "BM_StoredMemberRead", "BM_PosixRead"},
        {"PNG through the glue / libpng simplified read", "BM_PngThroughGlue", "BM_PngSimplifiedRead"},
        {"JPEG through the glue / libjpeg memory source", "BM_JpegThroughGlue", "BM_JpegMemorySource"},
    };
    qzbench::PrintRatios(reporter, pairs);
    benchmark::Shutdown();
    return 0;
}
