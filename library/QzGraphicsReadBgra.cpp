// QzGraphicsReadBgra.cpp: the library's raw "BGRA" format: "BGRA", a layout word
// (0x08080808: 8 bits per channel; 0x10101010: 16), width, height, then the pixels top
// row first, each blue, green, red, alpha as bytes or as little-endian 16-bit values, of
// which the high byte is kept. The image is 32-bit with alpha (bytes blue, green, red,
// alpha). Callers hold the library lock.
#include <cstring>

#include "QzGraphicsReaders.h"
#include "QzWinMemory.h"

int LoadBgraToGraphImage(ReadStream* stream, GraphImage* image) {
    const int64_t size = MeasureImageStream(stream);
    uint8_t head[16];
    if (size < 0 || !ReadImageBytes(stream, head, sizeof head, size) || std::memcmp(head, "BGRA", 4) != 0)
        return -1;
    const uint32_t layout = ReadLe32(head + 4);
    const int32_t width = (int32_t)ReadLe32(head + 8);
    const int32_t height = (int32_t)ReadLe32(head + 12);
    if ((layout != 0x08080808u && layout != 0x10101010u) || width < 1 || height < 1)
        return -1;
    const int64_t pitch = (int64_t)width * 4;
    const int64_t sourceRow = layout == 0x08080808u ? pitch : pitch * 2;
    if (sourceRow > kMaxImageBlock || pitch > kMaxImageBlock / height || sourceRow > (size - 16) / height)
        return -1;

    uint8_t* pixels = (uint8_t*)AllocMemory((int)(pitch * height), __FILE_NAME__, __LINE__);
    uint8_t* row = nullptr;
    bool ok = pixels != nullptr;
    if (ok && layout == 0x08080808u) {
        ok = ReadImageBytes(stream, pixels, pitch * height, size);
    } else if (ok) {
        row = (uint8_t*)AllocMemory((int)sourceRow, __FILE_NAME__, __LINE__);
        ok = row != nullptr;
        for (int y = 0; ok && y < height; ++y) {
            ok = ReadImageBytes(stream, row, sourceRow, size);
            uint8_t* out = pixels + y * pitch;
            for (int64_t i = 0; ok && i < pitch; ++i)
                out[i] = row[i * 2 + 1];
        }
    }
    if (row != nullptr)
        FreeMemory(row);
    if (!ok) {
        if (pixels != nullptr)
            FreeMemory(pixels);
        return -1;
    }
    std::memset(image, 0, sizeof *image);
    SetupRGB24ColorFormat(&image->colorFormat);
    image->colorFormat.colorBitDepth = 32;
    image->colorFormat.pixelBytes = 4;
    image->colorFormat.alphaWidth = 8;
    image->colorFormat.alphaShift = 24;
    image->colorFormat.alphaMask = 0xFF000000u;
    image->width = width;
    image->height = height;
    image->pitch = (int32_t)pitch;
    image->pixels = pixels;
    return 0;
}
