// The image decoding front end: the loader chain, the "_a" companion, mirroring, the pixel
// reader, and the DIB forms of decoded pictures.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "CodecFixtures.h"
#include "ImageWriters.h"
#include "LibraryFixture.h"
#include "QzGraphicsDib.h"
#include "QzGraphicsImage.h"
#include "QzGraphicsReaders.h"
#include "QzArchive_FileSet.h"
#include "QzWinFileStream.h"
#include "QzWinMemory.h"

namespace QzGraphicsImage_test {

namespace {

// A 3 x 2 picture, top row red, green, blue; bottom row white, grey, dark.
const std::vector<uint32_t> kRgb = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x808080, 0x102030};

std::string Bmp24(int width, int height, std::vector<uint32_t> pixels) {
    qztest::BmpSpec s;
    s.width = width;
    s.height = height;
    s.bits = 24;
    s.pixels = std::move(pixels);
    return qztest::WriteBmp(s);
}

int DecodeMemory(const std::string& bytes, GraphImage* image, int mirror = 0) {
    *image = {};
    return DecodeGraphImageRaw(nullptr, bytes.data(), (int)bytes.size(), 1, image, mirror);
}

std::string Bytes(const GraphImage& image) {
    std::string out;
    for (int y = 0; y < image.height; ++y)
        out.append((const char*)image.pixels + y * image.pitch, (size_t)image.width * image.colorFormat.pixelBytes);
    return out;
}

class FrontEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ptest::ResetControls();
        ptest::MapDriveC(dir.path());
        SetFileAccessTable(nullptr);
        ClearUserGraphImageLoaders();
    }
    void TearDown() override {
        ClearUserGraphImageLoaders();
        ptest::ResetControls();
    }
    qztest::TempDir dir;
};

// ---- the "_a" companion ---------------------------------------------------------------
TEST(AlphaCompanionName, Table) {
    const std::string longest(253, 'x');
    const struct {
        std::string path, expect;
    } cases[] = {
        {"data/ship.bmp", "data/ship_a.bmp"},
        {"data/ship", "data/ship_a"},
        {"gfx.old/ship", "gfx_a.old/ship"},  // the last '.' in the whole string
        {"a.b.tga", "a.b_a.tga"},
        {".png", "_a.png"},
        {"\x83\x5C\x83\x74\x83\x67.bmp", "\x83\x5C\x83\x74\x83\x67_a.bmp"},
        {longest, longest + "_a"},
        {longest + "y", ""},  // 256 bytes would not fit
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        char buffer[264];
        if (c.expect.empty()) {
            EXPECT_EQ(MakeAlphaCompanionName(c.path.c_str(), buffer), -1);
        } else {
            ASSERT_EQ(MakeAlphaCompanionName(c.path.c_str(), buffer), 0);
            EXPECT_EQ(std::string(buffer), c.expect);
        }
    }
}

TEST_F(FrontEndTest, AlphaCompanionResults) {
    const std::string picture = Bmp24(3, 2, kRgb);
    const std::string alpha = Bmp24(3, 2, {0x808080, 0, 0, 0, 0, 0});
    std::filesystem::create_directories(dir.file("data"));
    std::filesystem::create_directories(dir.file("gfx_a.old"));
    qztest::WriteWholeFile(dir.file("data/ship.bmp"), picture);
    qztest::WriteWholeFile(dir.file("data/lone.bmp"), picture);
    qztest::WriteWholeFile(dir.file("data/ship_a.bmp"), alpha);
    qztest::WriteWholeFile(dir.file("data/ship"), picture);
    qztest::WriteWholeFile(dir.file("data/ship_a"), alpha);
    std::filesystem::create_directories(dir.file("gfx.old"));
    qztest::WriteWholeFile(dir.file("gfx.old/ship"), picture);
    qztest::WriteWholeFile(dir.file("gfx_a.old/ship"), alpha);
    // A main file whose companion's name would not fit 255 bytes.
    std::string deep;
    while (deep.size() < 200) deep += std::string(40, 'd') + "/";
    std::filesystem::create_directories(dir.file(deep));
    const std::string longName = deep + std::string(254 - deep.size() - 4, 'n') + ".bmp";
    ASSERT_EQ(longName.size(), 254u);
    qztest::WriteWholeFile(dir.file(longName), picture);
    qztest::WriteWholeFile(dir.file(longName.substr(0, 250) + "_a.bmp"), alpha);

    struct Case {
        const char* name;
        std::string path;
        int sourceKind;
        const std::string* alphaMemory;
        int alphaKind;
        int expect;
    };
    const Case cases[] = {
        {"with companion", "data/ship.bmp", 0, nullptr, 0, 0},
        {"without companion", "data/lone.bmp", 0, nullptr, 0, 1},
        {"no extension", "data/ship", 0, nullptr, 0, 0},
        {"dot in the directory", "gfx.old/ship", 0, nullptr, 0, 0},
        {"alpha from memory", "data/lone.bmp", 0, &alpha, 1, 0},
        {"alpha kind 1 without memory", "data/ship.bmp", 0, nullptr, 1, 1},
        {"picture from memory, alpha by name", "", 1, nullptr, 0, 1},
        {"companion name too long", longName, 0, nullptr, 0, 1},
        {"other alpha kind", "data/ship.bmp", 0, nullptr, 2, 1},
        {"missing picture", "data/none.bmp", 0, nullptr, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int blocks = g_windowSystem.tracker.count;
        GraphImage image = {}, alphaImage = {};
        const std::string* alphaBytes = c.alphaMemory;
        int result = DecodeGraphImageWithAlpha(c.path.c_str(), picture.data(), (int)picture.size(), c.sourceKind,
                                               alphaBytes ? alphaBytes->data() : nullptr,
                                               alphaBytes ? (int)alphaBytes->size() : 0, c.alphaKind, &image,
                                               &alphaImage, 0);
        EXPECT_EQ(result, c.expect);
        if (result >= 0) {
            EXPECT_EQ(GetGraphImagePixel(&image, 0, 0), 0xFF0000u);
        }
        if (result == 0) {
            EXPECT_EQ(GetGraphImagePixel(&alphaImage, 0, 0), 0x808080u);
        } else {
            EXPECT_EQ(alphaImage.pixels, nullptr);
        }
        FreeGraphImage(&image);
        FreeGraphImage(&alphaImage);
        EXPECT_EQ(g_windowSystem.tracker.count, blocks);
    }
}

// ---- the loader chain -------------------------------------------------------------------------
int g_userCalls = 0;
int g_userSawPosition = -1;

// Accepts "ZZ" streams as a 1 x 1 picture; counts every call.
int UserLoader(ReadStream* stream, GraphImage* image) {
    ++g_userCalls;
    g_userSawPosition = stream->functions.tell(stream->data);
    char magic[2];
    if (stream->functions.read(magic, 1, 2, stream->data) != 2 || magic[0] != 'Z' || magic[1] != 'Z') return -1;
    std::memset(image, 0, sizeof *image);
    SetupRGB24ColorFormat(&image->colorFormat);
    image->width = image->height = 1;
    image->pitch = 3;
    image->pixels = AllocZeroedMemory(3, "test", __LINE__);
    return 0;
}

TEST_F(FrontEndTest, UserLoadersComeFirstAndUnknownStreamsLeaveNothing) {
    ASSERT_EQ(AddUserGraphImageLoader(UserLoader), 0);
    const int blocks = g_windowSystem.tracker.count;
    GraphImage image;
    // A BMP: the user loader is asked first, at position 0, and refuses.
    g_userCalls = 0;
    ASSERT_EQ(DecodeMemory(Bmp24(3, 2, kRgb), &image), 0);
    EXPECT_EQ(g_userCalls, 1);
    EXPECT_EQ(g_userSawPosition, 0);
    EXPECT_EQ(image.colorFormat.colorBitDepth, 24);
    FreeGraphImage(&image);
    // Its own format: no built-in reader is needed.
    ASSERT_EQ(DecodeMemory("ZZ", &image), 0);
    EXPECT_EQ(image.width, 1);
    FreeGraphImage(&image);
    // Nobody's format, from memory and from a file.
    EXPECT_EQ(DecodeMemory("not a picture at all, not even close", &image), -1);
    qztest::WriteWholeFile(dir.file("junk.bin"), std::string(300, '\x42'));
    EXPECT_EQ(DecodeGraphImageRaw("junk.bin", nullptr, 0, 0, &image, 0), -1);
    EXPECT_EQ(DecodeGraphImageRaw("missing.bin", nullptr, 0, 0, &image, 0), -1);
    EXPECT_EQ(g_windowSystem.tracker.count, blocks);
    for (int i = 1; i < kMaxUserGraphImageLoaders; ++i) EXPECT_EQ(AddUserGraphImageLoader(UserLoader), 0);
    EXPECT_EQ(AddUserGraphImageLoader(UserLoader), -1);
}

// PNG and JPEG files are read whole and decoded from memory: every source must still give
// what the same bytes give from memory, damaged and cut-off files included, and leave
// nothing behind.
TEST_F(FrontEndTest, PngAndJpegFilesDecodeAsTheirBytesDoFromMemory) {
    ClearArchiveTable();
    const std::string png = qztest::GradientPng(40, 30);
    const std::string jpeg = qztest::WriteJpeg(40, 30, 3, qztest::GradientRgb(40, 30));
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"png", png},
        {"jpeg", jpeg},
        {"jpeg cut in half", jpeg.substr(0, jpeg.size() / 2)},
        {"png cut in half", png.substr(0, png.size() / 2)},
        {"png signature alone", png.substr(0, 8)},
        {"jpeg start alone", jpeg.substr(0, 2)},
    };
    const int blocks = g_windowSystem.tracker.count;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GraphImage expected;
        const int result = DecodeMemory(c.bytes, &expected);
        qztest::WriteWholeFile(dir.file("picture.bin"), c.bytes);
        qztest::ArchiveWriter writer;
        writer.AddFile("STORED.BIN", c.bytes);
        writer.AddFile("PACKED.BIN", c.bytes, true);
        qztest::WriteWholeFile(dir.file("pack.qza"), writer.Build(qztest::ArchiveKey::First));
        for (const char* path : {"picture.bin", "pack\\stored.bin", "pack\\packed.bin"}) {
            SCOPED_TRACE(path);
            GraphImage image = {};
            ASSERT_EQ(DecodeGraphImageRaw(path, nullptr, 0, 0, &image, 0), result);
            if (result == 0) {
                EXPECT_EQ(image.width, expected.width);
                EXPECT_EQ(image.pitch, expected.pitch);
                EXPECT_EQ(image.colorFormat.colorBitDepth, expected.colorFormat.colorBitDepth);
                EXPECT_TRUE(Bytes(image) == Bytes(expected));
            }
            FreeGraphImage(&image);
        }
        FreeGraphImage(&expected);
        FreeUnusedArchives();
    }
    EXPECT_EQ(g_windowSystem.tracker.count, blocks);
}

// A reader the program registers is handed the file stream itself, as before.
int g_sawFileStream = 0;
int FileStreamProbe(ReadStream* stream, GraphImage*) {
    g_sawFileStream = stream->functions.read == GetFileStreamFunctions()->read;
    return -1;
}

TEST_F(FrontEndTest, ProgramReadersOfPngFilesGetTheFileStream) {
    ASSERT_EQ(AddUserGraphImageLoader(FileStreamProbe), 0);
    qztest::WriteWholeFile(dir.file("picture.png"), qztest::GradientPng(2, 2));
    GraphImage image = {};
    g_sawFileStream = 0;
    ASSERT_EQ(DecodeGraphImageRaw("picture.png", nullptr, 0, 0, &image, 0), 0);
    EXPECT_EQ(g_sawFileStream, 1);
    EXPECT_EQ(image.width, 2);
    FreeGraphImage(&image);
}

// ---- mirroring and the pixel reader -----------------------------------------------------------
TEST_F(FrontEndTest, MirrorOddWidthsAtEveryPixelSize) {
    struct Source {
        const char* name;
        std::string bytes;
    };
    qztest::TgaSpec t16;
    t16.width = 3, t16.height = 2, t16.depth = 16, t16.pixels = {0x7C00, 0x03E0, 0x001F, 0x7FFF, 0x4210, 0x0884};
    qztest::TgaSpec t32 = t16;
    t32.depth = 32, t32.pixels = {0x80FF0000, 0xFF00FF00, 0x000000FF, 0x7FFFFFFF, 0x01808080, 0xFE102030};
    qztest::BmpSpec b8;
    b8.width = 3, b8.height = -2, b8.bits = 8, b8.pixels = {1, 2, 3, 4, 5, 6}, b8.palette.assign(256, 0x010203);
    const Source sources[] = {{"8 bits", qztest::WriteBmp(b8)},
                              {"16 bits", qztest::WriteTga(t16)},
                              {"24 bits", Bmp24(3, 2, kRgb)},
                              {"32 bits", qztest::WriteTga(t32)}};
    for (const Source& s : sources) {
        SCOPED_TRACE(s.name);
        GraphImage plain, mirrored;
        ASSERT_EQ(DecodeMemory(s.bytes, &plain), 0);
        ASSERT_EQ(DecodeMemory(s.bytes, &mirrored, 1), 0);
        const int bytes = plain.colorFormat.pixelBytes;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(std::memcmp((uint8_t*)mirrored.pixels + y * mirrored.pitch + x * bytes,
                                      (uint8_t*)plain.pixels + y * plain.pitch + (2 - x) * bytes, (size_t)bytes),
                          0)
                    << x << "," << y;
        // Mirroring in place twice gives the picture back; the middle pixel never moves.
        const std::string before = Bytes(plain);
        ASSERT_EQ(MirrorGraphImage(&plain), 0);
        EXPECT_EQ(Bytes(plain), Bytes(mirrored));
        ASSERT_EQ(MirrorGraphImage(&plain), 0);
        EXPECT_EQ(Bytes(plain), before);
        FreeGraphImage(&plain);
        FreeGraphImage(&mirrored);
    }
    GraphImage empty = {};
    EXPECT_EQ(MirrorGraphImage(&empty), -1);
}

TEST(GraphImagePixel, ChannelsPaletteAndBounds) {
    uint8_t bytes[8] = {0x1F, 0xF8, 0x34, 0x12, 0, 0, 0, 0};
    GraphImage image = {};
    FillColorFormat(&image.colorFormat, 16, 0xF800, 0x07E0, 0x001F, 0);
    image.width = 2;
    image.height = 1;
    image.pitch = 8;
    image.pixels = bytes;
    // 565: each channel's bits at the top of its byte, not scaled.
    EXPECT_EQ(GetGraphImagePixel(&image, 0, 0), 0xF800F8u);
    EXPECT_EQ(GetGraphImagePixel(&image, 2, 0), 0u);
    EXPECT_EQ(GetGraphImagePixel(&image, -1, 0), 0u);
    EXPECT_EQ(GetGraphImagePixel(&image, 0, 1), 0u);
    // 10-bit channels give their top 8 bits; 2-bit alpha lands at the top of its byte.
    FillColorFormat(&image.colorFormat, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000);
    const uint32_t wide = 0xC0000000u | 0x3FCu << 20 | 0x004u << 10 | 0x3FFu;
    std::memcpy(bytes, &wide, 4);
    EXPECT_EQ(GetGraphImagePixel(&image, 0, 0), 0xC0FF01FFu);
    // One byte per pixel: the palette colour.
    SetupPalette8ColorFormat(&image.colorFormat);
    bytes[0] = 0x1F;
    image.colorFormat.palette[0x1F] = 0x00ABCDEF;
    EXPECT_EQ(GetGraphImagePixel(&image, 0, 0), 0xABCDEFu);
    image.pixels = nullptr;
    EXPECT_EQ(GetGraphImagePixel(&image, 0, 0), 0u);
}

// ---- DIB forms --------------------------------------------------------------------------------
TEST_F(FrontEndTest, ConvertToDibSharesOrCopies) {
    struct Case {
        const char* name;
        std::string bytes;
        int result, bits;
        uint32_t firstPixel;  // blue, green, red of the DIB's top-left pixel (24 bits) or its index
    };
    const std::string jpeg = qztest::WriteJpeg(3, 2, 3, std::string(18, '\x80'));
    qztest::PngSpec rgba;
    rgba.width = 2, rgba.height = 1, rgba.colorType = 6, rgba.rows = std::string("\x11\x22\x33\x44\x55\x66\x77\x88", 8);
    qztest::BmpSpec b8;
    b8.width = 4, b8.height = 1, b8.bits = 8, b8.pixels = {7, 1, 2, 3}, b8.palette.assign(256, 0);
    qztest::BmpSpec b8odd = b8;
    b8odd.width = 3;
    const Case cases[] = {
        {"aligned 24-bit BMP is shared", Bmp24(4, 2, {0xFF0000}), 0, 24, 0xFF0000},
        {"24-bit BMP of width 3 is shared (pitch 12)", Bmp24(3, 2, kRgb), 0, 24, 0xFF0000},
        {"JPEG of width 3 (pitch 9) is copied", jpeg, 1, 24, 0},
        {"32-bit PNG is converted", qztest::WritePng(rgba), 1, 24, 0x112233},
        {"aligned 8-bit BMP is shared", qztest::WriteBmp(b8), 0, 8, 7},
        {"8-bit BMP rows are already padded", qztest::WriteBmp(b8odd), 0, 8, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GraphImage image;
        ASSERT_EQ(DecodeMemory(c.bytes, &image), 0);
        std::vector<uint8_t> info(kDibInfoSize);
        BITMAPINFO* bmi = (BITMAPINFO*)info.data();
        void* bits = nullptr;
        ASSERT_EQ(ConvertGraphImageToDib(&image, bmi, &bits, 0, 0), c.result);
        EXPECT_EQ(bits == image.pixels, c.result == 0);
        EXPECT_EQ(bmi->bmiHeader.biBitCount, c.bits);
        EXPECT_EQ(bmi->bmiHeader.biHeight, -image.height);
        EXPECT_EQ(bmi->bmiHeader.biCompression, (DWORD)BI_RGB);
        const uint8_t* p = (const uint8_t*)bits;
        if (c.bits == 24 && c.firstPixel != 0) {
            EXPECT_EQ((uint32_t)p[0] | p[1] << 8 | p[2] << 16, c.firstPixel);
        }
        if (c.bits == 8) {
            EXPECT_EQ(p[0], c.firstPixel);
        }
        if (c.result == 1) FreeMemory(bits);
        // A forced copy always copies; force24 turns 8 bits into 24.
        ASSERT_EQ(ConvertGraphImageToDib(&image, bmi, &bits, 1, 1), 1);
        EXPECT_EQ(bmi->bmiHeader.biBitCount, 24);
        FreeMemory(bits);
        FreeGraphImage(&image);
    }
    // A PNG decoded as a DIB: 24 bits, top-down, rows padded to 4 bytes.
    qztest::PngSpec rgb;
    rgb.width = 3, rgb.height = 2, rgb.rows = qztest::GradientRgb(3, 2);
    const std::string png = qztest::WritePng(rgb);
    BITMAPINFO* bmi = nullptr;
    void* bits = nullptr;
    const int blocks = g_windowSystem.tracker.count;
    ASSERT_EQ(DecodeGraphImage(nullptr, png.data(), (int)png.size(), 1, 1, 0, nullptr, &bmi, &bits), 0);
    EXPECT_EQ(bmi->bmiHeader.biBitCount, 24);
    EXPECT_EQ(bmi->bmiHeader.biHeight, -2);
    const std::string gradient = qztest::GradientRgb(3, 2);
    const uint8_t* row1 = (const uint8_t*)bits + 12;
    EXPECT_EQ(row1[0], (uint8_t)gradient[9 + 2]);  // blue of the second row's first pixel
    EXPECT_EQ(row1[2], (uint8_t)gradient[9 + 0]);
    EXPECT_EQ(row1[9], 0);  // padding
    FreeMemory(bmi);
    FreeMemory(bits);
    EXPECT_EQ(g_windowSystem.tracker.count, blocks);
}

uint32_t SectionPixel(HBITMAP section, int x, int y) {
    BITMAP bm = {};
    GetObjectA(section, sizeof bm, &bm);
    const uint8_t* p = (const uint8_t*)bm.bmBits + y * bm.bmWidthBytes + x * (bm.bmBitsPixel / 8);
    uint32_t v = 0;
    std::memcpy(&v, p, (size_t)bm.bmBitsPixel / 8);
    return v;
}

TEST_F(FrontEndTest, DibSectionsMirroredAndInFormats) {
    GraphImage image;
    ASSERT_EQ(DecodeMemory(Bmp24(3, 2, kRgb), &image), 0);
    std::vector<uint8_t> info(kDibInfoSize);
    BITMAPINFO* bmi = (BITMAPINFO*)info.data();
    void* bits = nullptr;
    ASSERT_EQ(ConvertGraphImageToDib(&image, bmi, &bits, 0, 0), 0);

    HBITMAP plain = MakeDibSection(bmi, bits, 0, nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(SectionPixel(plain, 0, 0), 0xFF0000u);
    EXPECT_EQ(SectionPixel(plain, 2, 1), 0x102030u);
    HBITMAP mirrored = MakeDibSection(bmi, bits, 1, nullptr);
    ASSERT_NE(mirrored, nullptr);
    EXPECT_EQ(SectionPixel(mirrored, 0, 0), 0x0000FFu);
    EXPECT_EQ(SectionPixel(mirrored, 2, 0), 0xFF0000u);
    EXPECT_EQ(SectionPixel(mirrored, 0, 1), 0x102030u);
    ColorFormat r565 = {};
    FillColorFormat(&r565, 16, 0xF800, 0x07E0, 0x001F, 0);
    HBITMAP fields = MakeDibSection(bmi, bits, 1, &r565);
    ASSERT_NE(fields, nullptr);
    EXPECT_EQ(SectionPixel(fields, 2, 0), 0xF800u);
    EXPECT_EQ(SectionPixel(fields, 1, 1), 0x8410u);
    // 32 bits over a 24-bit source become the 24-bit format, in the caller's record too.
    ColorFormat x8 = {};
    FillColorFormat(&x8, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    HBITMAP deep = MakeDibSection(bmi, bits, 0, &x8);
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(x8.colorBitDepth, 24);
    EXPECT_EQ(SectionPixel(deep, 1, 0), 0x00FF00u);
    // A format of 8 bits would need a colour table: refused.
    ColorFormat eight = {};
    SetupPalette8ColorFormat(&eight);
    EXPECT_EQ(MakeDibSection(bmi, bits, 0, &eight), nullptr);
    for (HBITMAP h : {plain, mirrored, fields, deep}) EXPECT_TRUE(DeleteObject(h));
    FreeGraphImage(&image);
}

TEST_F(FrontEndTest, CreateDibGraphFromFileAndMemory) {
    qztest::WriteWholeFile(dir.file("pic.bmp"), Bmp24(3, 2, kRgb));
    const int blocks = g_windowSystem.tracker.count;
    HBITMAP fromFile = CreateDIBGraphFromFile("pic.bmp", 1, nullptr);
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(SectionPixel(fromFile, 0, 0), 0x0000FFu);
    qztest::BmpSpec b8;
    b8.width = 3, b8.height = 1, b8.bits = 8, b8.pixels = {1, 2, 3}, b8.palette = {0, 0x112233, 0x445566, 0x778899};
    const std::string eight = qztest::WriteBmp(b8);
    HBITMAP paletted = CreateDIBGraph(nullptr, eight.data(), (int)eight.size(), 1, 0, nullptr);
    ASSERT_NE(paletted, nullptr);
    BITMAP bm = {};
    GetObjectA(paletted, sizeof bm, &bm);
    EXPECT_EQ(bm.bmBitsPixel, 8);
    EXPECT_EQ(SectionPixel(paletted, 2, 0), 3u);
    ColorFormat r565 = {};
    FillColorFormat(&r565, 16, 0xF800, 0x07E0, 0x001F, 0);
    HBITMAP fields = CreateDIBGraph(nullptr, eight.data(), (int)eight.size(), 1, 0, &r565);
    ASSERT_NE(fields, nullptr);
    EXPECT_EQ(SectionPixel(fields, 1, 0), (0x44u >> 3) << 11 | (0x55u >> 2) << 5 | 0x66u >> 3);
    EXPECT_EQ(CreateDIBGraphFromFile("none.bmp", 0, nullptr), nullptr);
    for (HBITMAP h : {fromFile, paletted, fields}) EXPECT_TRUE(DeleteObject(h));
    EXPECT_EQ(g_windowSystem.tracker.count, blocks);
}

// The two log lines of a DIB section that cannot be made, with the library started so the
// log exists; nothing stays allocated.
class DibLogTest : public LibraryTest {};

TEST_F(DibLogTest, SectionFailuresAreLogged) {
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    qztest::WriteWholeFile(dir.file("pic.bmp"), Bmp24(3, 2, kRgb));
    qztest::BmpSpec b16;
    b16.width = 2, b16.height = 1, b16.bits = 16, b16.pixels = {0x7C00, 0x1F};
    qztest::WriteWholeFile(dir.file("pic16.bmp"), qztest::WriteBmp(b16));
    const int blocks = Locked([] { return g_windowSystem.tracker.count; });

    ptest::FailCall("CreateDIBSection");
    EXPECT_EQ(Locked([] { return CreateDIBGraphFromFile("pic.bmp", 0, nullptr); }), nullptr);
    EXPECT_EQ(Count(Log(), "ＤＩＢの作成に失敗しました3\r\n"), 1);
    // The BMP reader's own conversion of a 16-bit picture logs the same line.
    ptest::FailCall("CreateDIBSection");
    GraphImage image = {};
    EXPECT_EQ(Locked([&] { return DecodeGraphImageRaw("pic16.bmp", nullptr, 0, 0, &image, 0); }), -1);
    EXPECT_EQ(Count(Log(), "ＤＩＢの作成に失敗しました3\r\n"), 2);
    ptest::FailCall("CreateDIBSection:NoBits");
    EXPECT_EQ(Locked([] { return CreateDIBGraphFromFile("pic.bmp", 0, nullptr); }), nullptr);
    EXPECT_EQ(Count(Log(), "ＤＩＢの作成に失敗しました2\r\n"), 1);
    EXPECT_EQ(Locked([] { return g_windowSystem.tracker.count; }), blocks);
}

}  // namespace

}  // namespace QzGraphicsImage_test
