// Fuzz target: the whole decoding front end from memory: every reader in the chain, then
// the mirror and the DIB conversion, chosen by the first byte; the rest is the picture.
// Pictures declaring more than 16 million pixels (BMP, PNG, JPEG headers) are skipped, so
// the fuzzer's memory limit meets damaged data rather than honest large images.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "CodecFixtures.h"
#include "FuzzSupport.h"
#include "ImageFuzz.h"
#include "ImageWriters.h"
#include "QzGraphicsDib.h"
#include "QzGraphicsImage.h"
#include "QzGraphicsReaders.h"
#include "QzWinMemory.h"

namespace {

uint64_t ReadBe32(const uint8_t* p) {
    return static_cast<uint64_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

bool DeclaresHugePicture(const uint8_t* data, size_t size) {
    const uint64_t limit = uint64_t(1) << 24;
    if (size >= 26 && data[0] == 'B' && data[1] == 'M') {
        int64_t width = static_cast<int32_t>(ReadLe32(data + 18));
        int64_t height = static_cast<int32_t>(ReadLe32(data + 22));
        if ((width < 0 ? -width : width) * (height < 0 ? -height : height) > static_cast<int64_t>(limit)) return true;
    }
    if (size >= 24 && ReadBe32(data + 16) * ReadBe32(data + 20) > limit) return true;
    for (size_t i = 0; i + 9 <= size; i++) {
        if (data[i] != 0xFF || data[i + 1] < 0xC0 || data[i + 1] > 0xCF) continue;
        uint64_t height = data[i + 5] << 8 | data[i + 6];
        uint64_t width = data[i + 7] << 8 | data[i + 8];
        if (width * height > limit) return true;
    }
    return false;
}

}  // namespace

QZ_FUZZ_TARGET(GraphDecode)(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int mode = data[0];
    data++, size--;
    if (DeclaresHugePicture(data, size)) return 0;
    const int blocks = g_windowSystem.tracker.count;
    const int mirror = mode & 1;
    if (mode & 2) {
        BITMAPINFO* bmi = nullptr;
        void* bits = nullptr;
        if (DecodeGraphImage(nullptr, data, static_cast<int>(size), 1, 1, mirror, nullptr, &bmi, &bits) == 0) {
            const BITMAPINFOHEADER& h = bmi->bmiHeader;
            GraphImage view = {};
            if (h.biBitCount == 8) SetupPalette8ColorFormat(&view.colorFormat);
            else SetupRGB24ColorFormat(&view.colorFormat);
            view.width = h.biWidth;
            view.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
            view.pitch = (h.biWidth * (h.biBitCount / 8) + 3) & ~3;
            view.pixels = bits;
            if (h.biHeight >= 0) std::abort();  // always top-down
            qzfuzz::TouchImage(view);
            if (static_cast<int64_t>(view.width) * view.height <= 4096) {
                HBITMAP section = MakeDibSection(bmi, bits, mode >> 2 & 1, nullptr);
                if (section == nullptr) std::abort();
                DeleteObject(section);
            }
            FreeMemory(bmi);
            FreeMemory(bits);
        }
    } else {
        GraphImage image = {};
        if (DecodeGraphImageRaw(nullptr, data, static_cast<int>(size), 1, &image, mirror) == 0) {
            qzfuzz::TouchImage(image);
            GetGraphImagePixel(&image, image.width - 1, image.height - 1);
            FreeGraphImage(&image);
        }
    }
    if (g_windowSystem.tracker.count != blocks) std::abort();
    return 0;
}

QZ_FUZZ_SEEDS(GraphDecode) {
    std::vector<std::string> pictures;
    qztest::BmpSpec bmp;
    bmp.width = 5, bmp.height = 3, bmp.bits = 24;
    for (uint32_t i = 0; i < 15; i++) bmp.pixels.push_back(i * 0x00112233u);
    pictures.push_back(qztest::WriteBmp(bmp));
    bmp.bits = 8, bmp.height = -3, bmp.palette.assign(256, 0x00405060);
    pictures.push_back(qztest::WriteBmp(bmp));
    bmp.bits = 16;
    pictures.push_back(qztest::WriteBmp(bmp));
    qztest::TgaSpec tga;
    tga.type = 10, tga.width = 4, tga.height = 2, tga.depth = 32, tga.descriptor = 0x10, tga.footer = true;
    tga.pixels = {1, 1, 1, 2, 3, 3, 4, 5};
    pictures.push_back(qztest::WriteTga(tga));
    qztest::DdsSpec dds;
    dds.width = 2, dds.height = 2, dds.pixels = std::string(16, '\x33');
    pictures.push_back(qztest::WriteDds(dds));
    pictures.push_back(qztest::WriteBgra(2, 2, true, {1, 2, 3, 4}));
    qztest::PngSpec png;
    png.width = 3, png.height = 2, png.rows = qztest::GradientRgb(3, 2);
    pictures.push_back(qztest::WritePng(png));
    pictures.push_back(qztest::WriteJpeg(5, 4, 3, qztest::GradientRgb(5, 4), 80));
    std::vector<std::string> seeds;
    for (size_t i = 0; i < pictures.size(); i++)
        seeds.push_back(std::string(1, static_cast<char>(i % 8)) + pictures[i]);
    return seeds;
}
