// The BMP, BGRA, TGA and DDS readers over generated files: what they decode, and the
// damaged and hostile files they refuse without leaving a block behind.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "ImageWriters.h"
#include "QzArchive_FileSet.h"
#include "QzGraphicsReaders.h"
#include "QzWinFileAccess.h"
#include "QzWinFileStream.h"
#include "QzWinMemory.h"
#include "TempDir.h"
#include "platform/testing.h"

namespace QzGraphicsReaders_test {

namespace {

using qztest::BmpSpec;
using qztest::DdsSpec;
using qztest::TgaSpec;

int ReadFromMemory(GraphImageLoader loader, const std::string& bytes, GraphImage* image) {
    MemoryStream* memory = OpenMemoryStream(bytes.data(), (int)bytes.size());
    ReadStream stream;
    MakeMemoryReadStream(&stream, memory);
    *image = {};
    int result = loader(&stream, image);
    CloseMemoryStream(memory);
    return result;
}

uint32_t RawPixel(const GraphImage& image, int x, int y) {
    uint32_t v = 0;
    std::memcpy(&v, (const uint8_t*)image.pixels + y * image.pitch + x * image.colorFormat.pixelBytes,
                image.colorFormat.pixelBytes);
    return v;
}

// ---- fixtures ------------------------------------------------------------------------------
// A 3 x 2 picture: top row red, green, blue; bottom row white, grey, dark.
const std::vector<uint32_t> kRgb = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x808080, 0x102030};

BmpSpec Bmp(int bits, int height, std::vector<uint32_t> pixels, uint32_t compression = 0) {
    BmpSpec s;
    s.width = 3;
    s.height = height;
    s.bits = bits;
    s.compression = compression;
    s.pixels = std::move(pixels);
    return s;
}

BmpSpec Paletted(int bits, int height) {
    BmpSpec s = Bmp(bits, height, {1, 2, 3, 0, 1, 1});
    s.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    s.palette.resize((size_t)1 << bits, 0x123456);
    return s;
}

// The 3 x 2 picture as 16-bit X1R5G5B5 / R5G6B5 values and as 24-bit values seen through
// the platform's widening of 5 and 6 bits.
const std::vector<uint32_t> k555 = {0x7C00, 0x03E0, 0x001F, 0x7FFF, 0x4210, 0x0884};
const std::vector<uint32_t> k565 = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x8410, 0x1106};

std::string Rle8Picture() {
    // 8 x 3, bottom-up. Bottom line: a run of three, an odd literal (padded), end of line.
    // Middle line: five pixels, then a delta (+2, +1): pixel 7 of the top line. End.
    const unsigned char rle[] = {3, 0x11, 0, 3, 0x44, 0x55, 0x66, 0, 0, 0, 5, 0x22, 0, 2, 2, 1, 1, 0x33, 0, 1};
    return std::string((const char*)rle, sizeof rle);
}

TgaSpec Tga(int type, int depth, int descriptor, bool footer = false) {
    TgaSpec s;
    s.type = type;
    s.width = 3;
    s.height = 2;
    s.depth = depth;
    s.descriptor = descriptor;
    s.footer = footer;
    s.pixels = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    if (depth == 16) s.pixels = {0x7C00, 0x83E0, 0x001F, 0x7FFF, 0xC210, 0x0884};
    if (depth == 24) s.pixels = kRgb;
    if (depth == 32) s.pixels = {0x80FF0000, 0xFF00FF00, 0x000000FF, 0x7FFFFFFF, 0x01808080, 0xFE102030};
    return s;
}

TgaSpec MappedTga(int type, bool footer) {
    TgaSpec s = Tga(type, 8, 0x20, footer);
    s.mapType = 1;
    s.firstEntry = 2;
    s.entryBits = 24;
    s.map = {0xAA0000, 0x00BB00, 0x0000CC};  // entries 2, 3, 4
    s.pixels = {2, 3, 4, 4, 4, 2};
    return s;
}

DdsSpec Dds(uint32_t fourCC, bool pitchFlag) {
    DdsSpec s;
    s.width = 3;
    s.height = 2;
    s.formatFlags = fourCC ? 0x4 : 0x40;
    s.fourCC = fourCC;
    s.rgbBits = fourCC ? 0 : 16;
    if (!fourCC) {
        s.masks[0] = 0xF800, s.masks[1] = 0x07E0, s.masks[2] = 0x001F, s.masks[3] = 0;
    }
    const int bytes = fourCC ? 4 : 2;
    const int pitch = pitchFlag ? 3 * bytes + 4 : 3 * bytes;
    s.flags = pitchFlag ? 0x100F : 0x1007;
    s.pitch = pitchFlag ? (uint32_t)pitch : 0;
    for (int y = 0; y < 2; ++y) {
        std::string row((size_t)pitch, '\xEE');
        for (int x = 0; x < 3; ++x)
            for (int b = 0; b < bytes; ++b) row[(size_t)(x * bytes + b)] = (char)(0x10 * y + x + b * 0x40);
        s.pixels += row;
    }
    return s;
}

// ---- the readers table -----------------------------------------------------------------------
struct Expect {
    int x, y;
    uint32_t raw;
};

struct ReaderCase {
    std::string name;
    GraphImageLoader loader;
    std::string bytes;
    int bits, width, height, pitch;
    uint32_t redMask, alphaMask, fillMask;
    std::vector<Expect> pixels;
    std::vector<std::pair<int, uint32_t>> palette;  // entries to check
};

std::vector<ReaderCase> ReaderCases() {
    std::vector<ReaderCase> c;
    const std::vector<Expect> rgb24 = {{0, 0, 0xFF0000}, {2, 0, 0x0000FF}, {1, 1, 0x808080}, {2, 1, 0x102030}};
    for (int h : {2, -2}) {
        const std::string way = h > 0 ? " bottom-up" : " top-down";
        c.push_back({"bmp 24" + way, LoadBmpToGraphImage, WriteBmp(Bmp(24, h, kRgb)), 24, 3, 2, 12, 0xFF0000, 0, 0, rgb24, {}});
        c.push_back({"bmp 8" + way, LoadBmpToGraphImage, WriteBmp(Paletted(8, h)), 8, 3, 2, 4, 0xFF0000, 0, 0xFF000000,
                     {{0, 0, 1}, {2, 0, 3}, {0, 1, 0}, {2, 1, 1}}, {{1, 0xFF0000}, {3, 0x0000FF}, {200, 0x123456}}});
        c.push_back({"bmp 4" + way, LoadBmpToGraphImage, WriteBmp(Paletted(4, h)), 8, 3, 2, 4, 0xFF0000, 0, 0xFF000000,
                     {{0, 0, 1}, {1, 0, 2}, {2, 0, 3}, {0, 1, 0}}, {{2, 0x00FF00}, {15, 0x123456}, {16, 0}}});
        c.push_back({"bmp 1" + way, LoadBmpToGraphImage, WriteBmp(Paletted(1, h)), 24, 3, 2, 12, 0xFF0000, 0, 0,
                     {{0, 0, 0xFF0000}, {1, 0, 0}, {0, 1, 0}, {2, 1, 0xFF0000}}, {}});
        c.push_back({"bmp 16 555" + way, LoadBmpToGraphImage, WriteBmp(Bmp(16, h, k555)), 24, 3, 2, 12, 0xFF0000, 0, 0,
                     {{0, 0, 0xFF0000}, {1, 0, 0x00FF00}, {0, 1, 0xFFFFFF}, {1, 1, 0x848484}, {2, 1, 0x102121}}, {}});
        c.push_back({"bmp 32" + way, LoadBmpToGraphImage, WriteBmp(Bmp(32, h, {0xAAFF0000, 0x00FF00, 0xFF, 0, 0, 0x123456})),
                     24, 3, 2, 12, 0xFF0000, 0, 0, {{0, 0, 0xFF0000}, {2, 0, 0xFF}, {2, 1, 0x123456}}, {}});
    }
    BmpSpec f565 = Bmp(16, 2, k565, 3);
    f565.masks = {0xF800, 0x07E0, 0x001F};
    c.push_back({"bmp 565 bit fields", LoadBmpToGraphImage, WriteBmp(f565), 24, 3, 2, 12, 0xFF0000, 0, 0,
                 {{0, 0, 0xFF0000}, {1, 0, 0x00FF00}, {1, 1, 0x848284}, {2, 1, 0x1020 << 8 | 0x31}}, {}});
    BmpSpec f32 = Bmp(32, -2, {0x000000FF, 0xFF00, 0xFF0000, 0, 0, 0x563412}, 3);
    f32.masks = {0xFF, 0xFF00, 0xFF0000};  // red in the low byte
    f32.infoSize = 124;
    c.push_back({"bmp 32 bit fields, long header", LoadBmpToGraphImage, WriteBmp(f32), 24, 3, 2, 12, 0xFF0000, 0, 0,
                 {{0, 0, 0xFF0000}, {1, 0, 0x00FF00}, {2, 0, 0x0000FF}, {2, 1, 0x123456}}, {}});
    // The header says 16 colours; the palette is still taken as 256 entries, and those the
    // file lacks at its end are 0.
    BmpSpec sixteen = Paletted(8, 2);
    sixteen.palette.resize(16);
    sixteen.colorsUsed = 16;
    sixteen.pixels = {1, 2, 3, 15, 1, 0};
    c.push_back({"bmp 8 with 16 colours", LoadBmpToGraphImage, WriteBmp(sixteen), 8, 3, 2, 4, 0xFF0000, 0, 0xFF000000,
                 {{0, 0, 1}, {0, 1, 15}}, {{3, 0x0000FF}, {15, 0x123456}, {255, 0}}});
    BmpSpec palette16Long = Paletted(4, -2);
    palette16Long.infoSize = 108;
    c.push_back({"bmp 4 with a long header", LoadBmpToGraphImage, WriteBmp(palette16Long), 8, 3, 2, 4, 0xFF0000, 0,
                 0xFF000000, {{2, 0, 3}}, {{3, 0x0000FF}}});
    BmpSpec rle8 = Paletted(8, 3);
    rle8.width = 8;
    rle8.compression = 1;
    rle8.data = Rle8Picture();
    c.push_back({"bmp RLE8", LoadBmpToGraphImage, WriteBmp(rle8), 8, 8, 3, 8, 0xFF0000, 0, 0xFF000000,
                 {{0, 0, 0}, {2, 0, 0}, {6, 0, 0}, {7, 0, 0x33}, {4, 1, 0x22}, {5, 1, 0}, {2, 2, 0x11}, {3, 2, 0x44}, {5, 2, 0x66}, {6, 2, 0}},
                 {{1, 0xFF0000}}});
    BmpSpec noEnd = rle8;
    noEnd.data = noEnd.data.substr(0, noEnd.data.size() - 2);  // no end-of-bitmap code
    c.push_back({"bmp RLE8 ending without its code", LoadBmpToGraphImage, WriteBmp(noEnd), 8, 8, 3, 8, 0xFF0000, 0,
                 0xFF000000, {{7, 0, 0x33}, {5, 2, 0x66}}, {}});
    // 8 x 2, bottom-up: five pixels, a delta (+2, +1), one pixel at column 7 of the top line.
    BmpSpec rle4Delta = Paletted(4, 2);
    rle4Delta.width = 8;
    rle4Delta.compression = 2;
    rle4Delta.data = std::string("\x05\x12\x00\x02\x02\x01\x01\x30\x00\x01", 10);
    c.push_back({"bmp RLE4 delta from the current position", LoadBmpToGraphImage, WriteBmp(rle4Delta), 8, 8, 2, 8,
                 0xFF0000, 0, 0xFF000000, {{0, 1, 1}, {4, 1, 1}, {5, 1, 0}, {2, 0, 0}, {6, 0, 0}, {7, 0, 3}}, {}});
    BmpSpec rle4 = Paletted(4, -1);
    rle4.width = 6;
    rle4.compression = 2;
    rle4.data = std::string("\x03\x12\x00\x03\x34\x50\x00\x01", 8);
    c.push_back({"bmp RLE4 high nibble first", LoadBmpToGraphImage, WriteBmp(rle4), 8, 6, 1, 8, 0xFF0000, 0, 0xFF000000,
                 {{0, 0, 1}, {1, 0, 2}, {2, 0, 1}, {3, 0, 3}, {4, 0, 4}, {5, 0, 5}}, {{2, 0x00FF00}, {16, 0}}});

    const std::vector<uint32_t> bgra = {0x80FF0000, 0xFF00FF00, 0x000000FF, 0x7F102030};
    for (bool wide : {false, true})
        c.push_back({wide ? "bgra 16-bit layout" : "bgra 8-bit layout", LoadBgraToGraphImage,
                     qztest::WriteBgra(2, 2, wide, bgra), 32, 2, 2, 8, 0xFF0000, 0xFF000000, 0,
                     {{0, 0, 0x80FF0000}, {1, 0, 0xFF00FF00}, {0, 1, 0x000000FF}, {1, 1, 0x7F102030}}, {}});

    // TGA: the same picture whatever the orientation, footer or packing.
    for (int d : {0x00, 0x20, 0x10, 0x30})
        for (int type : {2, 10})
            for (bool footer : {false, true}) {
                const std::string name = "tga type " + std::to_string(type) + " 24-bit descriptor " + std::to_string(d) +
                                         (footer ? " footer" : "");
                c.push_back({name, LoadTgaToGraphImage, WriteTga(Tga(type, 24, d, footer)), 24, 3, 2, 9, 0xFF0000, 0, 0,
                             rgb24, {}});
            }
    for (int type : {2, 10}) {
        const std::string t = std::to_string(type);
        c.push_back({"tga type " + t + " 16-bit, top bit is fill", LoadTgaToGraphImage, WriteTga(Tga(type, 16, 0x00)), 16,
                     3, 2, 6, 0x7C00, 0, 0x8000, {{0, 0, 0x7C00}, {1, 0, 0x83E0}, {1, 1, 0xC210}}, {}});
        c.push_back({"tga type " + t + " 32-bit keeps alpha", LoadTgaToGraphImage, WriteTga(Tga(type, 32, 0x30)), 32, 3,
                     2, 12, 0xFF0000, 0xFF000000, 0, {{0, 0, 0x80FF0000}, {2, 0, 0x000000FF}, {2, 1, 0xFE102030}}, {}});
    }
    for (int type : {1, 9})
        for (bool footer : {false, true})
            c.push_back({"tga type " + std::to_string(type) + " mapped from entry 2" + (footer ? " footer" : ""),
                         LoadTgaToGraphImage, WriteTga(MappedTga(type, footer)), 24, 3, 2, 9, 0xFF0000, 0, 0,
                         {{0, 0, 0xAA0000}, {1, 0, 0x00BB00}, {2, 0, 0x0000CC}, {2, 1, 0xAA0000}}, {}});
    // One packet runs from the end of the first row into the second.
    TgaSpec across = Tga(10, 24, 0x20);
    across.pixels = {0x010203, 0x777777, 0x777777, 0x777777, 0x777777, 0x040506};
    const std::string acrossBytes = WriteTga(across);
    EXPECT_EQ((uint8_t)acrossBytes[18 + 4], 0x83) << "the fixture's second packet repeats four pixels";
    c.push_back({"tga RLE packet across rows", LoadTgaToGraphImage, acrossBytes, 24, 3, 2, 9, 0xFF0000, 0, 0,
                 {{0, 0, 0x010203}, {2, 0, 0x777777}, {1, 1, 0x777777}, {2, 1, 0x040506}}, {}});

    for (bool pitch : {true, false}) {
        const std::string p = pitch ? " header pitch" : " computed pitch";
        c.push_back({"dds FourCC 21" + p, LoadDdsToGraphImage, WriteDds(Dds(21, pitch)), 32, 3, 2, pitch ? 16 : 12,
                     0xFF0000, 0xFF000000, 0, {{0, 0, 0xC0804000}, {2, 1, 0xD2925212}}, {}});
        c.push_back({"dds RGB masks 565" + p, LoadDdsToGraphImage, WriteDds(Dds(0, pitch)), 16, 3, 2, pitch ? 10 : 6,
                     0xF800, 0, 0, {{0, 0, 0x4000}, {1, 1, 0x5111}}, {}});
    }
    return c;
}

TEST(ImageReaders, Table) {
    for (const ReaderCase& c : ReaderCases()) {
        SCOPED_TRACE(c.name);
        const int blocks = g_windowSystem.tracker.count;
        GraphImage image;
        ASSERT_EQ(ReadFromMemory(c.loader, c.bytes, &image), 0);
        EXPECT_EQ(image.colorFormat.colorBitDepth, c.bits);
        EXPECT_EQ(image.colorFormat.pixelBytes, c.bits / 8);
        EXPECT_EQ(image.colorFormat.redMask, c.redMask);
        EXPECT_EQ(image.colorFormat.alphaMask, c.alphaMask);
        EXPECT_EQ(image.colorFormat.fillMask, c.fillMask);
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        EXPECT_EQ(image.pitch, c.pitch);
        for (const Expect& e : c.pixels)
            EXPECT_EQ(RawPixel(image, e.x, e.y), e.raw) << std::hex << "pixel " << std::dec << e.x << "," << e.y;
        for (const auto& [index, entry] : c.palette)
            EXPECT_EQ(image.colorFormat.palette[index], entry) << "palette entry " << index;
        FreeGraphImage(&image);
        EXPECT_EQ(g_windowSystem.tracker.count, blocks);
    }
}

// Each reader refuses what is not its format, so the front end can try the next.
TEST(ImageReaders, RefuseOtherFormats) {
    const std::string files[] = {WriteBmp(Bmp(24, 2, kRgb)), qztest::WriteBgra(1, 1, false, {0}),
                                 WriteTga(Tga(3, 8, 0x20)), WriteTga(Tga(11, 8, 0x20)), WriteDds(Dds(21, true))};
    const GraphImageLoader loaders[] = {LoadBmpToGraphImage, LoadBgraToGraphImage, LoadTgaToGraphImage, LoadDdsToGraphImage};
    for (size_t f = 0; f < 5; ++f)
        for (size_t l = 0; l < 4; ++l) {
            const bool own = (f == 0 && l == 0) || (f == 1 && l == 1) || (f == 4 && l == 3);
            if (own) continue;
            SCOPED_TRACE("file " + std::to_string(f) + " reader " + std::to_string(l));
            GraphImage image;
            EXPECT_EQ(ReadFromMemory(loaders[l], files[f], &image), -1);
        }
}

// ---- hostile files --------------------------------------------------------------------------
struct HostileCase {
    std::string name;
    GraphImageLoader loader;
    std::string bytes;
};

std::string With32(std::string bytes, size_t at, uint32_t v) {
    qztest::Put32(&bytes, at, v);
    return bytes;
}
std::string With16(std::string bytes, size_t at, uint16_t v) {
    qztest::Put16(&bytes, at, v);
    return bytes;
}

BmpSpec RleBmp(int compression, int height, const std::string& data) {
    BmpSpec s = Paletted(compression == 1 ? 8 : 4, height);
    s.width = 4;
    s.compression = (uint32_t)compression;
    s.data = data;
    return s;
}

std::vector<HostileCase> HostileCases() {
    std::vector<HostileCase> c;
    auto truncations = [&](const std::string& name, GraphImageLoader loader, const std::string& bytes,
                           std::vector<size_t> cuts, bool lastByte = true) {
        if (lastByte) cuts.push_back(bytes.size() - 1);
        for (size_t cut : cuts)
            c.push_back({name + " cut at " + std::to_string(cut), loader, bytes.substr(0, cut)});
    };
    const std::string bmp24 = WriteBmp(Bmp(24, 2, kRgb));
    BmpSpec fields = Bmp(16, 2, k565, 3);
    fields.masks = {0xF800, 0x07E0, 0x001F};
    const std::string bmp565 = WriteBmp(fields);
    truncations("bmp 24", LoadBmpToGraphImage, bmp24, {0, 2, 13, 14, 30, 53});
    truncations("bmp 565 fields", LoadBmpToGraphImage, bmp565, {54, 58, 65});
    truncations("bmp 8", LoadBmpToGraphImage, WriteBmp(Paletted(8, 2)), {54, 300});
    truncations("bmp RLE8 literal", LoadBmpToGraphImage, WriteBmp(RleBmp(1, 1, std::string("\0\3\1\2\3\0", 6))),
                {54 + 1024 + 1, 54 + 1024 + 3}, false);
    c.push_back({"bmp width 0", LoadBmpToGraphImage, With32(bmp24, 18, 0)});
    c.push_back({"bmp width -3", LoadBmpToGraphImage, With32(bmp24, 18, (uint32_t)-3)});
    c.push_back({"bmp height 0", LoadBmpToGraphImage, With32(bmp24, 22, 0)});
    c.push_back({"bmp height INT_MIN", LoadBmpToGraphImage, With32(bmp24, 22, 0x80000000u)});
    c.push_back({"bmp 2 bits", LoadBmpToGraphImage, With16(bmp24, 28, 2)});
    c.push_back({"bmp 12 bits", LoadBmpToGraphImage, With16(bmp24, 28, 12)});
    c.push_back({"bmp header below 40 bytes", LoadBmpToGraphImage, With32(bmp24, 14, 12)});
    c.push_back({"bmp row size overflows", LoadBmpToGraphImage, With32(With16(bmp24, 28, 32), 18, 0x7FFFFFFF)});
    c.push_back({"bmp image size overflows", LoadBmpToGraphImage, With32(With32(bmp24, 18, 1 << 16), 22, 1 << 16)});
    c.push_back({"bmp data shorter than the rows", LoadBmpToGraphImage, With32(bmp24, 22, 3)});
    c.push_back({"bmp data offset past the end", LoadBmpToGraphImage, With32(bmp24, 10, 1000)});
    c.push_back({"bmp 32-bit data short", LoadBmpToGraphImage, With32(WriteBmp(Bmp(32, 2, kRgb)), 22, 3)});
    c.push_back({"bmp compression the platform cannot read", LoadBmpToGraphImage, With32(bmp24, 30, 4)});
    c.push_back({"bmp 8-bit bit fields", LoadBmpToGraphImage, With32(WriteBmp(Paletted(8, 2)), 30, 3)});
    c.push_back({"bmp RLE8 with 4 bits", LoadBmpToGraphImage, With16(WriteBmp(RleBmp(1, 1, std::string("\0\1", 2))), 28, 4)});
    const std::pair<const char*, std::string> rle[] = {
        {"run past the block", std::string("\5\1\0\1", 4)},
        {"run past the block after a line", std::string("\4\1\0\0\4\1\0\1", 8)},
        {"literal past the block", std::string("\0\5\1\2\3\4\5\0", 8)},
        {"delta out then a run", std::string("\0\2\0\1\1\1", 6)},
        {"delta before the block", std::string("\0\2\xFF\0\1\1", 6)},
        {"pair cut off", std::string("\2\1\3", 3)},
        {"delta cut off", std::string("\0\2\1", 3)},
        {"literal cut off", std::string("\0\4\1\2", 4)},
    };
    for (const auto& [name, data] : rle) {
        c.push_back({std::string("bmp RLE8 ") + name, LoadBmpToGraphImage, WriteBmp(RleBmp(1, -1, data))});
        if (std::string(name) != "literal cut off" && std::string(name) != "literal past the block")
            c.push_back({std::string("bmp RLE4 ") + name, LoadBmpToGraphImage, WriteBmp(RleBmp(2, 1, data))});
    }
    c.push_back({"bmp RLE4 literal past the block", LoadBmpToGraphImage,
                 WriteBmp(RleBmp(2, 1, std::string("\0\6\1\2\3\0", 6)))});
    c.push_back({"bmp RLE4 literal cut off", LoadBmpToGraphImage, WriteBmp(RleBmp(2, 1, std::string("\0\4\1", 3)))});

    const std::string bgra = qztest::WriteBgra(2, 2, false, {1, 2, 3, 4});
    const std::string bgra16 = qztest::WriteBgra(2, 2, true, {1, 2, 3, 4});
    truncations("bgra", LoadBgraToGraphImage, bgra, {0, 4, 8, 15, 16});
    truncations("bgra 16", LoadBgraToGraphImage, bgra16, {16, 24});
    c.push_back({"bgra width 0", LoadBgraToGraphImage, With32(bgra, 8, 0)});
    c.push_back({"bgra height negative", LoadBgraToGraphImage, With32(bgra, 12, (uint32_t)-2)});
    c.push_back({"bgra other layout", LoadBgraToGraphImage, With32(bgra, 4, 0x08080800)});
    c.push_back({"bgra block overflows", LoadBgraToGraphImage, With32(With32(bgra, 8, 0x40000000), 12, 2)});
    c.push_back({"bgra row buffer overflows", LoadBgraToGraphImage, With32(bgra16, 8, 0x10000000)});
    c.push_back({"bgra taller than the stream", LoadBgraToGraphImage, With32(bgra, 12, 3)});

    const std::string tga = WriteTga(Tga(2, 24, 0x20));
    const std::string mapped = WriteTga(MappedTga(1, false));
    const std::string mappedRle = WriteTga(MappedTga(9, true));
    truncations("tga", LoadTgaToGraphImage, tga, {0, 17, 18});
    truncations("tga mapped", LoadTgaToGraphImage, mapped, {18, 20, 27});
    c.push_back({"tga width 4096", LoadTgaToGraphImage, With16(tga, 12, 4096)});
    c.push_back({"tga height 0", LoadTgaToGraphImage, With16(tga, 14, 0)});
    c.push_back({"tga x origin", LoadTgaToGraphImage, With16(tga, 8, 1)});
    c.push_back({"tga type 3", LoadTgaToGraphImage, WriteTga(Tga(3, 8, 0x20))});
    c.push_back({"tga type 11", LoadTgaToGraphImage, WriteTga(Tga(11, 8, 0x20))});
    c.push_back({"tga 8-bit true colour", LoadTgaToGraphImage, WriteTga(Tga(2, 8, 0x20))});
    c.push_back({"tga map past 256 entries", LoadTgaToGraphImage, With16(mapped, 3, 254)});
    c.push_back({"tga mapped with 16-bit indices", LoadTgaToGraphImage, [&] {
                     std::string b = mapped;
                     b[16] = 16;
                     return b;
                 }()});
    c.push_back({"tga mapped entry size 8", LoadTgaToGraphImage, [&] {
                     std::string b = mapped;
                     b[7] = 8;
                     return b;
                 }()});
    TgaSpec longRun = Tga(10, 24, 0x20);
    longRun.data = std::string("\x86\x01\x02\x03", 4);  // 7 pixels into 6
    c.push_back({"tga RLE run past the image", LoadTgaToGraphImage, WriteTga(longRun)});
    TgaSpec longRaw = Tga(10, 24, 0x20);
    longRaw.data = std::string("\x06", 1) + std::string(21, '\x01');
    c.push_back({"tga RLE raw packet past the image", LoadTgaToGraphImage, WriteTga(longRaw)});
    TgaSpec shortData = Tga(10, 24, 0x20);
    shortData.data = std::string("\x81\x01\x02\x03\x02\x01\x02\x03", 8);
    c.push_back({"tga RLE data ends early", LoadTgaToGraphImage, WriteTga(shortData)});
    TgaSpec cutValue = Tga(10, 24, 0x20);
    cutValue.data = std::string("\x85\x01\x02", 3);
    c.push_back({"tga RLE value cut off", LoadTgaToGraphImage, WriteTga(cutValue)});
    c.push_back({"tga mapped RLE cut into its footer", LoadTgaToGraphImage,
                 mappedRle.substr(0, mappedRle.size() - 27) + mappedRle.substr(mappedRle.size() - 26)});

    const std::string dds = WriteDds(Dds(21, true));
    truncations("dds", LoadDdsToGraphImage, dds, {0, 3, 4, 127, 128});
    c.push_back({"dds width 0", LoadDdsToGraphImage, With32(dds, 16, 0)});
    c.push_back({"dds height past INT_MAX", LoadDdsToGraphImage, With32(dds, 12, 0x80000000u)});
    c.push_back({"dds pitch below a row", LoadDdsToGraphImage, With32(dds, 20, 11)});
    c.push_back({"dds pitch x height overflows", LoadDdsToGraphImage, With32(dds, 20, 0x7FFFFFFF)});
    c.push_back({"dds unknown FourCC", LoadDdsToGraphImage, With32(dds, 84, 0x31545844)});
    c.push_back({"dds neither FourCC nor RGB", LoadDdsToGraphImage, With32(dds, 80, 0x5)});
    c.push_back({"dds 12-bit RGB", LoadDdsToGraphImage, With32(WriteDds(Dds(0, true)), 88, 12)});
    c.push_back({"dds taller than the stream", LoadDdsToGraphImage, With32(dds, 12, 3)});
    return c;
}

TEST(ImageReaders, HostileFilesAreRefusedWithoutLeftovers) {
    for (const HostileCase& c : HostileCases()) {
        SCOPED_TRACE(c.name);
        const int blocks = g_windowSystem.tracker.count;
        GraphImage image;
        EXPECT_EQ(ReadFromMemory(c.loader, c.bytes, &image), -1);
        EXPECT_EQ(image.pixels, nullptr);
        EXPECT_EQ(g_windowSystem.tracker.count, blocks);
    }
}

// The platform's refusal reaches the BMP reader: no DIB section, or no lines converted.
TEST(ImageReaders, BmpPlatformConversionFailures) {
    const std::string bmp = WriteBmp(Bmp(16, 2, k555));
    for (const char* call : {"CreateDIBSection", "SetDIBitsToDevice"}) {
        SCOPED_TRACE(call);
        const int blocks = g_windowSystem.tracker.count;
        ptest::FailCall(call);
        GraphImage image;
        EXPECT_EQ(ReadFromMemory(LoadBmpToGraphImage, bmp, &image), -1);
        EXPECT_EQ(g_windowSystem.tracker.count, blocks);
        ptest::ClearFaults();
    }
    ptest::ResetControls();
}

// A truncated file is refused alike from disk, an archive member and memory; the whole one
// reads alike from all three.
TEST(ImageReaders, EverySourceAlike) {
    qztest::TempDir dir;
    ptest::MapDriveC(dir.path());
    ClearArchiveTable();
    SetFileAccessTable(nullptr);
    const std::string whole = WriteBmp(Bmp(24, 2, kRgb));
    const std::string cut = whole.substr(0, whole.size() - 3);
    const std::pair<GraphImageLoader, std::string> files[] = {
        {LoadBmpToGraphImage, whole}, {LoadTgaToGraphImage, WriteTga(Tga(2, 24, 0x00))},
        {LoadDdsToGraphImage, WriteDds(Dds(21, true))}, {LoadBgraToGraphImage, qztest::WriteBgra(2, 1, true, {1, 2})}};
    for (const auto& [loader, bytes] : files) {
        for (const std::string& variant : {bytes, bytes.substr(0, bytes.size() - 3)}) {
            const bool complete = variant.size() == bytes.size();
            qztest::WriteWholeFile(dir.file("plain.bin"), variant);
            qztest::ArchiveWriter writer;
            writer.AddFile("STORED.BIN", variant);
            writer.AddFile("PACKED.BIN", variant, true);
            qztest::WriteWholeFile(dir.file("pack.qza"), writer.Build(qztest::ArchiveKey::First));
            GraphImage fromMemory;
            ASSERT_EQ(ReadFromMemory(loader, variant, &fromMemory), complete ? 0 : -1);
            for (const char* name : {"plain.bin", "pack\\stored.bin", "pack\\packed.bin"}) {
                SCOPED_TRACE(std::string(name) + (complete ? " whole" : " cut"));
                FileHandle h = FileAccessOpen(name, 0, 1);
                ASSERT_NE(h, 0u);
                ReadStream stream;
                MakeFileReadStream(&stream, h);
                GraphImage image = {};
                ASSERT_EQ(loader(&stream, &image), complete ? 0 : -1);
                if (complete) {
                    EXPECT_EQ(image.pitch, fromMemory.pitch);
                    EXPECT_EQ(0, std::memcmp(image.pixels, fromMemory.pixels, (size_t)image.pitch * image.height));
                }
                FreeGraphImage(&image);
                FileAccessClose(h);
            }
            FreeGraphImage(&fromMemory);
            FreeUnusedArchives();
        }
    }
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
    ptest::ResetControls();
}

}  // namespace

}  // namespace QzGraphicsReaders_test
