// QzGraphicsReadBmp.cpp: Windows bitmaps. The reader decodes RLE8 and RLE4 itself,
// unpacks 4-bit images to one byte per pixel and turns bottom-up 8- and 24-bit images
// upright; every other bitmap (1 bit, 16 and 32 bits, bit fields) is converted by the
// platform into a 24-bit DIB section, whose bits become the image.
//
// Rules of the file: a 14-byte file header ("BM", the pixel data's offset at 10), a
// BITMAPINFOHEADER of at least 40 bytes, then the colour table (2^bits entries for 8 bits
// or fewer, taken whatever the header's colour count says; entries the file lacks are 0)
// or the three colour masks at offset 54. Rows are padded to 4 bytes and stored bottom
// first unless the height is negative.
//
// RLE: pairs (n, v): n > 0 writes n pixels of v (RLE4: its two nibbles in turn, the high
// one first); (0, 0) ends the line, (0, 1) the bitmap, (0, 2, a, b) moves b lines in the
// line direction and to pixel a of that line (both signed); (0, v >= 3) is a literal of v
// pixels, padded to an even byte offset. A write outside the image, or a pair or literal
// cut off by the end of the data, refuses the file; data that simply ends ends the image.
// Callers hold the library lock.
#include <algorithm>
#include <cstring>

#include "QzGraphicsReaders.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "platform/gdi.h"

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;

// The header the platform conversion is handed: the 40-byte header, then the colour
// table or the three masks.
struct BmpHeaderCopy {
    BITMAPINFOHEADER header;
    uint32_t extra[256];
};

struct BmpFields {
    int32_t width;
    int32_t height;
    int32_t rows;  // |height|
    int bits;
    uint32_t compression;
};

// Copies n palette entries into the image's palette with their fourth bytes 0; the
// other entries are 0.
void SetPalette(GraphImage* image, const BmpHeaderCopy* copy, int entries) {
    SetupPalette8ColorFormat(&image->colorFormat);
    for (int i = 0; i < 256; ++i)
        image->colorFormat.palette[i] = i < entries ? copy->extra[i] & 0xFFFFFF : 0;
}

// The RLE decoder over data into a zeroed out block of rows x pitch bytes. -1 for a write
// outside the block or a pair or literal the data cuts off.
int DecodeRle(const uint8_t* data, int64_t size, uint8_t* out, int pitch, const BmpFields& f, bool rle4) {
    const int64_t blockSize = (int64_t)f.rows * pitch;
    const int64_t step = f.height < 0 ? pitch : -(int64_t)pitch;
    int64_t lineStart = f.height < 0 ? 0 : (int64_t)(f.rows - 1) * pitch;
    int64_t current = lineStart;
    int64_t at = 0;
    auto fits = [&](int64_t count) { return current >= 0 && count <= blockSize - current; };
    while (at < size) {
        if (size - at < 2)
            return -1;
        const int n = data[at], v = data[at + 1];
        at += 2;
        if (n > 0) {
            if (!fits(n))
                return -1;
            if (rle4) {
                for (int i = 0; i < n; ++i)
                    out[current + i] = (uint8_t)(i & 1 ? v & 0xF : v >> 4);
            } else {
                std::memset(out + current, v, (size_t)n);
            }
            current += n;
        } else if (v == 0) {
            lineStart += step;
            current = lineStart;
        } else if (v == 1) {
            return 0;
        } else if (v == 2) {
            if (size - at < 2)
                return -1;
            // A move right and down from the current position, as encoders write it (two
            // unsigned bytes); writes past the block are refused as for any run.
            const int dx = data[at], dy = data[at + 1];
            at += 2;
            lineStart += dy * step;
            current += dx + dy * step;
        } else {
            const int64_t bytes = rle4 ? (v + 1) / 2 : v;
            if (size - at < bytes || !fits(v))
                return -1;
            for (int i = 0; i < v; ++i)
                out[current + i] = rle4 ? (uint8_t)(i & 1 ? data[at + i / 2] & 0xF : data[at + i / 2] >> 4) : data[at + i];
            current += v;
            at += bytes;
            at += at & 1;
        }
    }
    return 0;
}

// The platform's conversion into a 24-bit top-down DIB section, whose bits are copied
// into a new tracked block. -1 (logged where the platform fails) or 0.
int ConvertThroughPlatform(const uint8_t* data, const BmpHeaderCopy* copy, const BmpFields& f, GraphImage* image) {
    BITMAPINFO target = {};
    target.bmiHeader.biSize = kInfoHeaderSize;
    target.bmiHeader.biWidth = f.width;
    target.bmiHeader.biHeight = -f.rows;
    target.bmiHeader.biPlanes = 1;
    target.bmiHeader.biBitCount = 24;
    target.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP section = CreateDIBSection(dc, &target, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section == nullptr || bits == nullptr) {
        if (section) DeleteObject(section);
        DeleteDC(dc);
        return WriteLog("ＤＩＢの作成に失敗しました3\n");
    }
    HGDIOBJ old = SelectObject(dc, section);
    const int lines = SetDIBitsToDevice(dc, 0, 0, (DWORD)f.width, (DWORD)f.rows, 0, 0, 0, (UINT)f.rows, data,
                                        reinterpret_cast<const BITMAPINFO*>(copy), DIB_RGB_COLORS);
    GdiFlush();
    SelectObject(dc, old);
    DeleteDC(dc);
    int result = -1;
    if (lines != 0) {
        const int64_t pitch = ((int64_t)f.width * 3 + 3) & ~(int64_t)3;
        void* pixels = (int64_t)f.rows * pitch <= kMaxImageBlock
                           ? AllocMemory((int)((int64_t)f.rows * pitch), __FILE_NAME__, __LINE__)
                           : nullptr;
        if (pixels == nullptr) {
            WriteLog("２４ビットカラー化したグラフィックを格納するメモリ領域の確保に失敗しました\n");
        } else {
            std::memcpy(pixels, bits, (size_t)(f.rows * pitch));
            SetupRGB24ColorFormat(&image->colorFormat);
            image->pitch = (int32_t)pitch;
            image->pixels = pixels;
            result = 0;
        }
    }
    DeleteObject(section);
    return result;
}

}  // namespace

int LoadBmpToGraphImage(ReadStream* stream, GraphImage* image) {
    const int64_t size = MeasureImageStream(stream);
    uint8_t head[kFileHeaderSize + kInfoHeaderSize];
    if (size < 0 || !ReadImageBytes(stream, head, sizeof head, size) || head[0] != 'B' || head[1] != 'M')
        return -1;
    const uint32_t dataOffset = ReadLe32(head + 10);
    const uint8_t* info = head + kFileHeaderSize;
    const uint32_t infoSize = ReadLe32(info);
    BmpFields f;
    f.width = (int32_t)ReadLe32(info + 4);
    f.height = (int32_t)ReadLe32(info + 8);
    f.bits = ReadLe16(info + 14);
    f.compression = ReadLe32(info + 16);
    if (infoSize < kInfoHeaderSize || f.width < 1 || f.height == 0 || f.height == INT32_MIN ||
        (f.bits != 1 && f.bits != 4 && f.bits != 8 && f.bits != 16 && f.bits != 24 && f.bits != 32))
        return -1;
    f.rows = f.height < 0 ? -f.height : f.height;
    if ((f.compression == BI_RLE8 && f.bits != 8) || (f.compression == BI_RLE4 && f.bits != 4))
        return -1;

    const int64_t rowBytes = (((int64_t)f.bits * f.width + 7) / 8 + 3) & ~(int64_t)3;
    if (rowBytes > kMaxImageBlock / f.rows)
        return -1;
    const int64_t imageBytes = rowBytes * f.rows;

    // The header copy: the palette follows the header wherever the file's header ends; the
    // masks sit at offset 54 (after a 40-byte header, or inside a longer one).
    BmpHeaderCopy* copy = (BmpHeaderCopy*)AllocZeroedMemory(sizeof(BmpHeaderCopy), __FILE_NAME__, __LINE__);
    if (copy == nullptr)
        return -1;
    std::memcpy(&copy->header, info, kInfoHeaderSize);
    copy->header.biSize = kInfoHeaderSize;
    bool ok = true;
    if (f.bits <= 8) {
        const int64_t at = kFileHeaderSize + (int64_t)infoSize;
        const int64_t wanted = (int64_t)4 << f.bits;
        const int64_t held = at < size ? std::min(wanted, size - at) : 0;
        ok = held == 0 || (SeekImageStream(stream, at, size) && ReadImageBytes(stream, copy->extra, held, size));
    } else if (f.compression == BI_BITFIELDS) {
        ok = ReadImageBytes(stream, copy->extra, 12, size);
    }

    uint8_t* data = nullptr;
    const int64_t dataBytes = (int64_t)size - dataOffset;
    if (ok)
        ok = dataOffset <= size && dataBytes <= kMaxImageBlock && SeekImageStream(stream, dataOffset, size);
    if (ok && dataBytes > 0) {
        data = (uint8_t*)AllocMemory((int)dataBytes, __FILE_NAME__, __LINE__);
        ok = data != nullptr && ReadImageBytes(stream, data, dataBytes, size);
    }
    // Uncompressed pixels must all be there.
    if (ok && (f.compression == BI_RGB || f.compression == BI_BITFIELDS) && dataBytes < imageBytes)
        ok = false;

    std::memset(image, 0, sizeof *image);
    uint8_t* pixels = nullptr;
    int result = -1;
    if (ok && (f.compression == BI_RLE8 || f.compression == BI_RLE4)) {
        const bool rle4 = f.compression == BI_RLE4;
        const int64_t pitch = rle4 ? ((int64_t)f.width + 3) & ~(int64_t)3 : rowBytes;
        if (pitch <= kMaxImageBlock / f.rows)
            pixels = (uint8_t*)AllocZeroedMemory((int)(pitch * f.rows), __FILE_NAME__, __LINE__);
        if (pixels != nullptr && DecodeRle(data, dataBytes, pixels, (int)pitch, f, rle4) == 0) {
            SetPalette(image, copy, rle4 ? 16 : 256);
            image->pitch = (int32_t)pitch;
            result = 0;
        }
    } else if (ok && f.compression == BI_RGB && f.bits == 4) {
        const int64_t pitch = ((int64_t)f.width + 3) & ~(int64_t)3;
        if (pitch <= kMaxImageBlock / f.rows)
            pixels = (uint8_t*)AllocZeroedMemory((int)(pitch * f.rows), __FILE_NAME__, __LINE__);
        if (pixels != nullptr) {
            for (int y = 0; y < f.rows; ++y) {
                const uint8_t* src = data + (f.height > 0 ? f.rows - 1 - y : y) * rowBytes;
                uint8_t* dst = pixels + y * pitch;
                for (int x = 0; x < f.width; ++x)
                    dst[x] = (uint8_t)(x & 1 ? src[x / 2] & 0xF : src[x / 2] >> 4);
            }
            SetPalette(image, copy, 16);
            image->pitch = (int32_t)pitch;
            result = 0;
        }
    } else if (ok && f.compression == BI_RGB && (f.bits == 8 || f.bits == 24)) {
        if (f.height < 0) {
            // Already top first: the data block becomes the pixel block.
            pixels = data;
            data = nullptr;
        } else {
            pixels = (uint8_t*)AllocMemory((int)imageBytes, __FILE_NAME__, __LINE__);
            if (pixels != nullptr)
                for (int y = 0; y < f.rows; ++y)
                    std::memcpy(pixels + y * rowBytes, data + (f.rows - 1 - y) * rowBytes, (size_t)rowBytes);
        }
        if (pixels != nullptr) {
            if (f.bits == 8)
                SetPalette(image, copy, 256);
            else
                SetupRGB24ColorFormat(&image->colorFormat);
            image->pitch = (int32_t)rowBytes;
            result = 0;
        }
    } else if (ok && data != nullptr) {
        result = ConvertThroughPlatform(data, copy, f, image);
    }

    FreeMemory(copy);
    if (data != nullptr)
        FreeMemory(data);
    if (result != 0) {
        if (pixels != nullptr)
            FreeMemory(pixels);
        std::memset(image, 0, sizeof *image);
        return -1;
    }
    if (pixels != nullptr)
        image->pixels = pixels;
    image->width = f.width;
    image->height = f.rows;
    return 0;
}
