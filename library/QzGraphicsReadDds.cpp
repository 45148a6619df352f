// QzGraphicsReadDds.cpp: the top-level image of an uncompressed DDS file: "DDS" (the
// fourth byte is not looked at), the 124-byte surface description, the pixels at 128.
// The format comes from the FourCC code when the pixel-format flags are exactly 0x4 (the
// table below: Direct3D's format numbers), else from the RGB bit count and masks (flag
// 0x40). The row pitch is the header's when flag 0x8 is set, else the bit count times
// the width. Mipmaps and further surfaces are ignored. Callers hold the library lock.
#include <cstring>

#include "QzGraphicsReaders.h"
#include "QzWinMemory.h"

namespace {

struct DdsFourCC {
    uint32_t code;
    int bits;
    uint32_t red, green, blue, alpha;
};

const DdsFourCC kDdsFourCC[] = {
    {20, 24, 0xFF0000, 0xFF00, 0xFF, 0},                       // R8G8B8
    {21, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},              // A8R8G8B8
    {22, 32, 0xFF0000, 0xFF00, 0xFF, 0},                       // X8R8G8B8
    {23, 16, 0xF800, 0x07E0, 0x001F, 0},                       // R5G6B5
    {24, 16, 0x7C00, 0x03E0, 0x001F, 0},                       // X1R5G5B5
    {25, 16, 0x7C00, 0x03E0, 0x001F, 0x8000},                  // A1R5G5B5
    {26, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},                  // A4R4G4B4
    {27, 8, 0xE0, 0x1C, 0x03, 0},                              // R3G3B2
    {29, 16, 0xE0, 0x1C, 0x03, 0xFF00},                        // A8R3G3B2
    {30, 16, 0x0F00, 0x00F0, 0x000F, 0},                       // X4R4G4B4
    {31, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},          // A2B10G10R10
    {32, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},              // A8B8G8R8
    {33, 32, 0xFF, 0xFF00, 0xFF0000, 0},                       // X8B8G8R8
    {35, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},          // A2R10G10B10
};

constexpr int kDdsDataOffset = 128;

}  // namespace

int LoadDdsToGraphImage(ReadStream* stream, GraphImage* image) {
    const int64_t size = MeasureImageStream(stream);
    uint8_t h[kDdsDataOffset];
    if (size < 0 || !ReadImageBytes(stream, h, sizeof h, size) || std::memcmp(h, "DDS", 3) != 0)
        return -1;
    const uint32_t flags = ReadLe32(h + 8);
    const uint32_t height = ReadLe32(h + 12), width = ReadLe32(h + 16), headerPitch = ReadLe32(h + 20);
    const uint32_t formatFlags = ReadLe32(h + 80), fourCC = ReadLe32(h + 84), rgbBits = ReadLe32(h + 88);
    if (width < 1 || height < 1 || width > INT_MAX || height > INT_MAX)
        return -1;

    ColorFormat format = {};
    int bits = 0;
    if (formatFlags == 0x4) {
        for (const DdsFourCC& f : kDdsFourCC)
            if (f.code == fourCC) {
                FillColorFormat(&format, f.bits, f.red, f.green, f.blue, f.alpha);
                bits = f.bits;
            }
    } else if (formatFlags & 0x40) {
        if (rgbBits == 8 || rgbBits == 16 || rgbBits == 24 || rgbBits == 32) {
            FillColorFormat(&format, (int)rgbBits, ReadLe32(h + 92), ReadLe32(h + 96), ReadLe32(h + 100),
                            ReadLe32(h + 104));
            bits = (int)rgbBits;
        }
    }
    if (bits == 0)
        return -1;
    // A known FourCC file carries no RGB bit count; its pitch comes from the table.
    const int64_t rowBytes = (int64_t)bits / 8 * width;
    const int64_t pitch = flags & 0x8 ? (int64_t)headerPitch : rowBytes;
    if (pitch < rowBytes || pitch > kMaxImageBlock / height || pitch * height > size - kDdsDataOffset)
        return -1;

    uint8_t* pixels = (uint8_t*)AllocMemory((int)(pitch * height), __FILE_NAME__, __LINE__);
    if (pixels == nullptr || !ReadImageBytes(stream, pixels, pitch * height, size)) {
        if (pixels != nullptr)
            FreeMemory(pixels);
        return -1;
    }
    std::memset(image, 0, sizeof *image);
    image->colorFormat = format;
    image->width = (int32_t)width;
    image->height = (int32_t)height;
    image->pitch = (int32_t)pitch;
    image->pixels = pixels;
    return 0;
}
