// GDI device-independent bitmaps: what CreateDIBSection makes and refuses, and the
// conversions of SetDIBitsToDevice and StretchDIBits into a section's format.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi.h"
#include "platform/testing.h"

namespace gdi_dib_test {

namespace {

// A BITMAPINFO with room for 256 colours or three masks.
struct Info {
    BITMAPINFOHEADER header;
    uint32_t extra[256];
};

Info MakeInfo(int width, int height, int bits, DWORD compression = BI_RGB) {
    Info info = {};
    info.header.biSize = 40;
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = (WORD)bits;
    info.header.biCompression = compression;
    return info;
}

const BITMAPINFO* AsInfo(const Info& info) {
    return reinterpret_cast<const BITMAPINFO*>(&info);
}

// A section selected into a memory context, released at the end.
struct Section {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    uint8_t* bits = nullptr;
    int stride = 0;
    explicit Section(const Info& info) {
        void* p = nullptr;
        bitmap = CreateDIBSection(nullptr, AsInfo(info), DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<uint8_t*>(p);
        stride = (info.header.biWidth * info.header.biBitCount + 31) / 32 * 4;
        dc = CreateCompatibleDC(nullptr);
        if (bitmap) old = SelectObject(dc, bitmap);
    }
    ~Section() {
        if (bitmap) {
            SelectObject(dc, old);
            DeleteObject(bitmap);
        }
        DeleteDC(dc);
    }
    uint32_t Pixel32(int x, int y) const {
        uint32_t v;
        std::memcpy(&v, bits + y * stride + x * 4, 4);
        return v;
    }
    uint32_t Pixel24(int x, int y) const {
        const uint8_t* p = bits + y * stride + x * 3;
        return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
    }
    uint32_t Pixel16(int x, int y) const { return (uint32_t)bits[y * stride + x * 2] | (uint32_t)bits[y * stride + x * 2 + 1] << 8; }
};

TEST(DibSection, RefusesWhatItDoesNotMake) {
    struct Case {
        const char* name;
        int width, height, bits;
        DWORD compression;
    };
    const Case cases[] = {
        {"width 0", 0, 4, 24, BI_RGB},
        {"width -1", -1, 4, 24, BI_RGB},
        {"height 0", 4, 0, 24, BI_RGB},
        {"4 bits", 4, 4, 4, BI_RGB},
        {"1 bit", 4, 4, 1, BI_RGB},
        {"RLE8", 4, 4, 8, BI_RLE8},
        {"24-bit bit fields", 4, 4, 24, BI_BITFIELDS},
        {"past 2^31 bytes", 32768, 16385, 32, BI_RGB},
        {"past 2^31 bytes, top-down", 32768, -16385, 32, BI_RGB},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Info info = MakeInfo(c.width, c.height, c.bits, c.compression);
        void* bits = reinterpret_cast<void*>(1);
        EXPECT_EQ(CreateDIBSection(nullptr, AsInfo(info), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
        EXPECT_EQ(bits, nullptr);
    }
}

TEST(DibSection, FaultInjectionGivesNull) {
    ptest::FailCall("CreateDIBSection");
    Info info = MakeInfo(4, 4, 24);
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(nullptr, AsInfo(info), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    Section ok(info);
    EXPECT_NE(ok.bitmap, nullptr);
    ptest::ResetControls();
}

// An 8-bit section keeps its colour table; a negative height puts the top row first,
// which shows in where a converted top row lands in memory.
TEST(DibSection, TopDownAndBottomUpRows) {
    Info src = MakeInfo(1, -2, 24);  // top row red, bottom row blue
    const uint8_t pixels[8] = {0, 0, 255, 0, 255, 0, 0, 0};
    for (int height : {-2, 2}) {
        SCOPED_TRACE(height);
        Section s(MakeInfo(1, height, 32));
        ASSERT_EQ(SetDIBitsToDevice(s.dc, 0, 0, 1, 2, 0, 0, 0, 2, pixels, AsInfo(src), DIB_RGB_COLORS), 2);
        EXPECT_EQ(s.Pixel32(0, height < 0 ? 0 : 1), 0xFF0000u);
        EXPECT_EQ(s.Pixel32(0, height < 0 ? 1 : 0), 0x0000FFu);
    }
    // 8 bits into 8 bits copies the indices whatever the tables say.
    Info eight = MakeInfo(3, -1, 8);
    eight.extra[5] = 0x123456;
    Section s8(eight);
    ASSERT_NE(s8.bitmap, nullptr);
    const uint8_t idx[4] = {5, 200, 7, 0};
    EXPECT_EQ(SetDIBitsToDevice(s8.dc, 0, 0, 3, 1, 0, 0, 0, 1, idx, AsInfo(MakeInfo(3, 1, 8)), DIB_RGB_COLORS), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(s8.bits), 3), std::string("\x05\xC8\x07", 3));
}

// One row of four source pixels into a 32-bit X8R8G8B8 section, per source kind.
TEST(SetDIBitsToDevice, SourcesIntoX8R8G8B8) {
    struct Case {
        const char* name;
        int bits;
        DWORD compression;
        std::vector<uint32_t> extra;  // colour table or masks
        std::vector<uint8_t> row;
        uint32_t expect[4];
    };
    const Case cases[] = {
        {"1 bit, two colours", 1, BI_RGB, {0x00102030, 0x00FFEEDD}, {0xA0, 0, 0, 0}, {0xFFEEDD, 0x102030, 0xFFEEDD, 0x102030}},
        {"4 bits, high nibble first", 4, BI_RGB, {0x000000, 0x0000FF, 0x00FF00, 0xFF0000}, {0x12, 0x30, 0, 0}, {0x0000FF, 0x00FF00, 0xFF0000, 0}},
        {"8 bits, index past biClrUsed is black", 8, BI_RGB, {0x111111, 0x222222}, {1, 0, 2, 255}, {0x222222, 0x111111, 0, 0}},
        {"16 bits BI_RGB is X1R5G5B5", 16, BI_RGB, {}, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x80, 0x21, 0x04}, {0xFF0000, 0x00FF00, 0x0000FF, 0x080808}},
        {"16 bits 565 fields", 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0x20, 0x08}, {0xFF0000, 0x00FF00, 0x0000FF, 0x080400}},
        {"16 bits zero masks", 16, BI_BITFIELDS, {0, 0x07E0, 0}, {0xFF, 0xFF, 0, 0, 0, 0, 0, 0}, {0x00FF00, 0, 0, 0}},
        {"24 bits", 24, BI_RGB, {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {0x030201, 0x060504, 0x090807, 0x0C0B0A}},
        {"32 bits BI_RGB ignores the top byte", 32, BI_RGB, {}, {1, 2, 3, 0xAA, 4, 5, 6, 0xBB, 7, 8, 9, 0, 10, 11, 12, 0xFF},
         {0x030201, 0x060504, 0x090807, 0x0C0B0A}},
        {"32 bits 10-bit fields narrow", 32, BI_BITFIELDS, {0x3FF, 0xFFC00, 0x3FF00000},
         {0xFF, 0x03, 0, 0, 0, 0xFC, 0x0F, 0, 0, 0, 0xF0, 0x3F, 0x04, 0x10, 0x40, 0}, {0xFF0000, 0x00FF00, 0x0000FF, 0x010101}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Info info = MakeInfo(4, 1, c.bits, c.compression);
        for (size_t i = 0; i < c.extra.size(); ++i) info.extra[i] = c.extra[i];
        if (c.bits == 8) info.header.biClrUsed = 2;
        std::vector<uint8_t> row = c.row;
        row.resize(16);
        Section s(MakeInfo(4, -1, 32));
        ASSERT_EQ(SetDIBitsToDevice(s.dc, 0, 0, 4, 1, 0, 0, 0, 1, row.data(), AsInfo(info), DIB_RGB_COLORS), 1);
        for (int x = 0; x < 4; ++x) EXPECT_EQ(s.Pixel32(x, 0), c.expect[x]) << "x " << x;
    }
}

// Narrow channels widen by repeating their top bits, wide ones narrow by keeping them.
TEST(SetDIBitsToDevice, ChannelWidthsIntoSectionFormats) {
    Info src = MakeInfo(2, 1, 24);
    const uint8_t row[8] = {0x08, 0x84, 0xFF, 0xFF, 0x7F, 0x00, 0, 0};  // r, g, b (ff, 84, 08) and (00, 7f, ff)
    Info s565 = MakeInfo(2, -1, 16, BI_BITFIELDS);
    s565.extra[0] = 0xF800, s565.extra[1] = 0x07E0, s565.extra[2] = 0x001F;
    Section a(s565);
    ASSERT_EQ(SetDIBitsToDevice(a.dc, 0, 0, 2, 1, 0, 0, 0, 1, row, AsInfo(src), DIB_RGB_COLORS), 1);
    EXPECT_EQ(a.Pixel16(0, 0), (0x1Fu << 11) | (0x21u << 5) | 0x01u);
    EXPECT_EQ(a.Pixel16(1, 0), (0x00u << 11) | (0x1Fu << 5) | 0x1Fu);
    // 565 back into 24 bits: 5 bits v -> (v << 3) | (v >> 2), 6 bits v -> (v << 2) | (v >> 4).
    Info back = MakeInfo(2, -1, 16, BI_BITFIELDS);
    back.extra[0] = 0xF800, back.extra[1] = 0x07E0, back.extra[2] = 0x001F;
    Section b(MakeInfo(2, -1, 24));
    ASSERT_EQ(SetDIBitsToDevice(b.dc, 0, 0, 2, 1, 0, 0, 0, 1, a.bits, AsInfo(back), DIB_RGB_COLORS), 1);
    EXPECT_EQ(b.Pixel24(0, 0), 0xFF8608u);
    EXPECT_EQ(b.Pixel24(1, 0), 0x007DFFu);
}

TEST(SetDIBitsToDevice, RefusesWhatItCannotRead) {
    Section s(MakeInfo(2, -2, 32));
    const uint8_t data[64] = {};
    struct Case {
        const char* name;
        Info info;
        int x, lines;
    };
    Info rle = MakeInfo(2, 2, 8, BI_RLE8);
    Info twelve = MakeInfo(2, 2, 12);
    Info fields24 = MakeInfo(2, 2, 24, BI_BITFIELDS);
    Info fine = MakeInfo(2, 2, 24);
    const Case cases[] = {
        {"compressed", rle, 0, 2}, {"12 bits", twelve, 0, 2}, {"24-bit fields", fields24, 0, 2},
        {"other start", fine, 1, 2}, {"fewer lines", fine, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SetDIBitsToDevice(s.dc, c.x, 0, 2, 2, 0, 0, 0, c.lines, data, AsInfo(c.info), DIB_RGB_COLORS), 0);
    }
    // An 8-bit section takes only 8-bit sources.
    Section eight(MakeInfo(2, -2, 8));
    EXPECT_EQ(SetDIBitsToDevice(eight.dc, 0, 0, 2, 2, 0, 0, 0, 2, data, AsInfo(fine), DIB_RGB_COLORS), 0);
    ptest::FailCall("SetDIBitsToDevice");
    EXPECT_EQ(SetDIBitsToDevice(s.dc, 0, 0, 2, 2, 0, 0, 0, 2, data, AsInfo(fine), DIB_RGB_COLORS), 0);
    EXPECT_EQ(SetDIBitsToDevice(s.dc, 0, 0, 2, 2, 0, 0, 0, 2, data, AsInfo(fine), DIB_RGB_COLORS), 2);
    ptest::ResetControls();
}

// The mirror: columns reversed, rows upright whatever the signs of the heights.
TEST(StretchDIBits, MirrorsLeftToRightOnly) {
    // 3 x 2, top row 1 2 3, bottom row 4 5 6 (as blue values).
    const uint8_t bottomUp[2][12] = {{4, 0, 0, 5, 0, 0, 6, 0, 0, 0, 0, 0}, {1, 0, 0, 2, 0, 0, 3, 0, 0, 0, 0, 0}};
    const uint8_t topDown[2][12] = {{1, 0, 0, 2, 0, 0, 3, 0, 0, 0, 0, 0}, {4, 0, 0, 5, 0, 0, 6, 0, 0, 0, 0, 0}};
    struct Case {
        int srcHeight;
        const void* bits;
        int destHeight;
    };
    const Case cases[] = {{2, bottomUp, 2}, {-2, topDown, -2}, {-2, topDown, 2}, {2, bottomUp, -2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.srcHeight) + " " + std::to_string(c.destHeight));
        Section s(MakeInfo(3, -2, 32));
        Info src = MakeInfo(3, c.srcHeight, 24);
        ASSERT_EQ(StretchDIBits(s.dc, 0, 0, 3, c.destHeight, 2, 0, -3, 2, c.bits, AsInfo(src), DIB_RGB_COLORS, SRCCOPY), 2);
        const uint32_t expect[2][3] = {{3, 2, 1}, {6, 5, 4}};
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) EXPECT_EQ(s.Pixel32(x, y), expect[y][x]) << x << "," << y;
    }
    Section s(MakeInfo(3, -2, 32));
    Info src = MakeInfo(3, 2, 24);
    EXPECT_EQ(StretchDIBits(s.dc, 0, 0, 3, 2, 0, 0, 3, 2, bottomUp, AsInfo(src), DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(StretchDIBits(s.dc, 0, 0, 6, 4, 2, 0, -3, 2, bottomUp, AsInfo(src), DIB_RGB_COLORS, SRCCOPY), 0);
    ptest::FailCall("StretchDIBits");
    EXPECT_EQ(StretchDIBits(s.dc, 0, 0, 3, 2, 2, 0, -3, 2, bottomUp, AsInfo(src), DIB_RGB_COLORS, SRCCOPY), 0);
    ptest::ResetControls();
}

}  // namespace

}  // namespace gdi_dib_test
