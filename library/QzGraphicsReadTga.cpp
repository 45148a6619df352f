// QzGraphicsReadTga.cpp: TGA images of types 1 (colour-mapped), 2 (true-colour), 9 and
// 10 (their RLE forms), with 16-, 24- or 32-bit pixels or colour-map entries.
//
// Rules: an 18-byte header (ID length, map type, image type, first map entry, map
// length, entry size, x and y origin (both 0), width and height (1..4095), pixel depth,
// descriptor), the ID field, the colour map, the pixels; an optional 26-byte footer
// ("TRUEVISION-XFILE" at +8, extension offset 0) ends the RLE data. Mapped images have
// 8-bit indices into a 256-entry map filled from the first entry on. RLE packets: a
// header byte h, count (h & 0x7F) + 1; h & 0x80: one value repeated, else count values;
// packets run across rows. Descriptor bit 4 set: pixels right to left; bit 5 clear: rows
// bottom first; the image comes out top row first, left to right.
//
// 16-bit pixels are X1R5G5B5 (the top bit is fill, not alpha); 32-bit pixels keep alpha.
// Callers hold the library lock.
#include <cstring>

#include "QzGraphicsReaders.h"
#include "QzWinMemory.h"

namespace {

constexpr int kTgaHeaderSize = 18;
constexpr int kTgaFooterSize = 26;
constexpr int kTgaMaxSide = 4095;

// Decodes RLE packets of valueBytes-sized values from data into count output values,
// each looked up in map (when given) as outBytes, or copied. -1 when a packet would
// write past the end of the image or read past the data.
int DecodeTgaRle(const uint8_t* data, int64_t size, uint8_t* out, int64_t count, int valueBytes, const uint8_t* map,
                 int outBytes) {
    int64_t at = 0, written = 0;
    auto put = [&](const uint8_t* value) {
        const uint8_t* source = map ? map + (size_t)value[0] * outBytes : value;
        std::memcpy(out + written * outBytes, source, (size_t)outBytes);
        ++written;
    };
    while (written < count) {
        if (at >= size)
            return -1;
        const int h = data[at++];
        const int64_t n = (h & 0x7F) + 1;
        if (n > count - written)
            return -1;
        if (h & 0x80) {
            if (size - at < valueBytes)
                return -1;
            for (int64_t i = 0; i < n; ++i)
                put(data + at);
            at += valueBytes;
        } else {
            if ((size - at) / valueBytes < n)
                return -1;
            for (int64_t i = 0; i < n; ++i, at += valueBytes)
                put(data + at);
        }
    }
    return 0;
}

}  // namespace

int LoadTgaToGraphImage(ReadStream* stream, GraphImage* image) {
    const int64_t size = MeasureImageStream(stream);
    if (size < kTgaHeaderSize)
        return -1;
    bool footer = false;
    if (size >= kTgaFooterSize) {
        uint8_t tail[kTgaFooterSize];
        if (!SeekImageStream(stream, size - kTgaFooterSize, size) || !ReadImageBytes(stream, tail, sizeof tail, size))
            return -1;
        footer = std::memcmp(tail + 8, "TRUEVISION-XFILE", 16) == 0 && ReadLe32(tail) == 0;
    }
    uint8_t h[kTgaHeaderSize];
    if (!SeekImageStream(stream, 0, size) || !ReadImageBytes(stream, h, sizeof h, size))
        return -1;
    const int idLength = h[0], mapType = h[1], type = h[2];
    const int firstEntry = ReadLe16(h + 3), mapLength = ReadLe16(h + 5), entryBits = h[7];
    const int width = ReadLe16(h + 12), height = ReadLe16(h + 14), depth = h[16], descriptor = h[17];
    const bool mapped = type == 1 || type == 9;
    if ((type != 1 && type != 2 && type != 9 && type != 10) || ReadLe16(h + 8) != 0 || ReadLe16(h + 10) != 0 ||
        width < 1 || height < 1 || width > kTgaMaxSide || height > kTgaMaxSide)
        return -1;
    const int pixelBits = mapped ? entryBits : depth;
    if (pixelBits != 16 && pixelBits != 24 && pixelBits != 32)
        return -1;
    if (mapped && (depth != 8 || firstEntry + mapLength > 256))
        return -1;
    const int bytes = pixelBits / 8;
    const int64_t mapBytes = (int64_t)mapLength * ((entryBits + 7) / 8);
    int64_t dataStart = kTgaHeaderSize + idLength;
    if (mapped || mapType == 1)
        dataStart += mapBytes;
    const int64_t dataEnd = footer ? size - kTgaFooterSize : size;
    const int64_t pixelCount = (int64_t)width * height;
    const int64_t pitch = (int64_t)width * bytes;

    uint8_t* map = nullptr;
    uint8_t* data = nullptr;
    uint8_t* pixels = (uint8_t*)AllocMemory((int)(pitch * height), __FILE_NAME__, __LINE__);
    bool ok = pixels != nullptr && SeekImageStream(stream, kTgaHeaderSize + idLength, size);
    if (ok && mapped) {
        map = (uint8_t*)AllocZeroedMemory(256 * bytes, __FILE_NAME__, __LINE__);
        ok = map != nullptr && ReadImageBytes(stream, map + firstEntry * bytes, (int64_t)mapLength * bytes, size);
    }
    if (ok)
        ok = SeekImageStream(stream, dataStart, size);
    if (ok && type == 1) {
        data = (uint8_t*)AllocMemory((int)pixelCount, __FILE_NAME__, __LINE__);
        ok = data != nullptr && ReadImageBytes(stream, data, pixelCount, size);
        for (int64_t i = 0; ok && i < pixelCount; ++i)
            std::memcpy(pixels + i * bytes, map + (size_t)data[i] * bytes, (size_t)bytes);
    } else if (ok && type == 2) {
        ok = ReadImageBytes(stream, pixels, pixelCount * bytes, size);
    } else if (ok) {
        const int64_t dataBytes = dataEnd - dataStart;
        ok = dataBytes > 0 && dataBytes <= kMaxImageBlock;
        if (ok) {
            data = (uint8_t*)AllocMemory((int)dataBytes, __FILE_NAME__, __LINE__);
            ok = data != nullptr && ReadImageBytes(stream, data, dataBytes, size) &&
                 DecodeTgaRle(data, dataBytes, pixels, pixelCount, mapped ? 1 : bytes, map, bytes) == 0;
        }
    }

    // Orientation: top row first, left to right.
    const bool rightToLeft = (descriptor & 0x10) != 0, bottomFirst = (descriptor & 0x20) == 0;
    if (ok && (rightToLeft || bottomFirst)) {
        uint8_t* turned = (uint8_t*)AllocMemory((int)(pitch * height), __FILE_NAME__, __LINE__);
        ok = turned != nullptr;
        for (int y = 0; ok && y < height; ++y) {
            const uint8_t* src = pixels + (bottomFirst ? height - 1 - y : y) * pitch;
            uint8_t* dst = turned + y * pitch;
            if (!rightToLeft) {
                std::memcpy(dst, src, (size_t)pitch);
                continue;
            }
            for (int x = 0; x < width; ++x)
                std::memcpy(dst + x * bytes, src + (width - 1 - x) * bytes, (size_t)bytes);
        }
        if (ok) {
            FreeMemory(pixels);
            pixels = turned;
        }
    }

    if (map != nullptr)
        FreeMemory(map);
    if (data != nullptr)
        FreeMemory(data);
    if (!ok) {
        if (pixels != nullptr)
            FreeMemory(pixels);
        return -1;
    }
    std::memset(image, 0, sizeof *image);
    if (bytes == 2)
        FillColorFormat(&image->colorFormat, 16, 0x7C00, 0x3E0, 0x1F, 0);
    else if (bytes == 3)
        FillColorFormat(&image->colorFormat, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    else
        FillColorFormat(&image->colorFormat, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
    image->width = width;
    image->height = height;
    image->pitch = (int32_t)pitch;
    image->pixels = pixels;
    return 0;
}
