// QzGraphicsImage.cpp: the decoding front end: the loader chain, decoding from files and
// memory, the alpha companion, mirroring, the pixel reader, and releasing images.
// Callers hold the library lock.
#include "QzGraphicsImage.h"

#include <cstring>

#include "QzDrawConvert.h"
#include "QzGraphicsDib.h"
#include "QzGraphicsReaders.h"
#include "QzUseCLib.h"
#include "QzUseCLibCodec.h"
#include "QzWinFileAccess.h"
#include "QzWinMemory.h"

namespace {

GraphImageLoader g_userLoaders[kMaxUserGraphImageLoaders];
int g_userLoaderCount = 0;

const GraphImageLoader kBuiltInLoaders[] = {
    LoadBmpToGraphImage, LoadJpegToGraphImage, LoadPngToGraphImage, LoadBgraToGraphImage,
    LoadTgaToGraphImage, LoadDdsToGraphImage, nullptr,
};

// The picture in the image's own format, mirrored, in a new block that replaces the old.
int MirrorIntoNewBlock(GraphImage* image) {
    const int64_t bytes = (int64_t)image->pitch * image->height;
    if (bytes <= 0 || bytes > kMaxImageBlock)
        return -1;
    void* mirrored = AllocMemory((int)bytes, __FILE_NAME__, __LINE__);
    if (mirrored == nullptr)
        return -1;
    const RECT whole = {0, 0, image->width, image->height};
    if (ConvertPixelRect(mirrored, image->pitch, &image->colorFormat, image->pixels, image->pitch,
                         &image->colorFormat, nullptr, 0, nullptr, 0, 0, &whole, 1, 0, 0, 0, 0, 0, 0) < 0) {
        FreeMemory(mirrored);
        return -1;
    }
    FreeMemory(image->pixels);
    image->pixels = mirrored;
    return 0;
}

// PNG and JPEG files are read whole, in one read, and decoded from memory: their
// decoders ask for a few bytes or 4 KiB at a time, and every file read is a system
// call. Other files (pictures read in large blocks anyway, movies tried as pictures
// first) and files of program-registered readers, which may expect a file stream,
// keep the file stream. Null when the file stays a stream; the position then does
// not matter, since every reader starts with a seek.
constexpr int64_t kWholeFileLimit = 256 << 20;

void* ReadWholeImageFile(FileHandle file, int* sizeOut) {
    if (g_userLoaderCount != 0 || FileAccessSeek(file, 0, kSeekFromEnd) != 0)
        return nullptr;
    const int size = FileAccessTell(file);
    constexpr int kSignatureBytes = 8;
    if (size < kSignatureBytes || size > kWholeFileLimit || FileAccessSeek(file, 0, kSeekFromStart) != 0)
        return nullptr;
    unsigned char head[kSignatureBytes];
    if (FileAccessRead(head, 1, kSignatureBytes, file) != kSignatureBytes)
        return nullptr;
    const bool png = std::memcmp(head, "\x89PNG\r\n\x1a\n", kSignatureBytes) == 0;
    const bool jpeg = head[0] == 0xFF && head[1] == 0xD8;
    if (!png && !jpeg)
        return nullptr;
    auto* whole = static_cast<unsigned char*>(AllocMemory(size, __FILE_NAME__, __LINE__));
    if (whole == nullptr)
        return nullptr;
    std::memcpy(whole, head, kSignatureBytes);
    const int rest = size - kSignatureBytes;
    if (FileAccessRead(whole + kSignatureBytes, 1, rest, file) != rest) {
        FreeMemory(whole);
        return nullptr;
    }
    *sizeOut = size;
    return whole;
}

}  // namespace

int FreeGraphImage(GraphImage* image) {
    if (image->pixels != nullptr) FreeMemory(image->pixels);
    std::memset(image, 0, sizeof(*image));
    return 0;
}

int AddUserGraphImageLoader(GraphImageLoader loader) {
    if (loader == nullptr || g_userLoaderCount >= kMaxUserGraphImageLoaders)
        return -1;
    g_userLoaders[g_userLoaderCount++] = loader;
    return 0;
}

int ClearUserGraphImageLoaders() {
    g_userLoaderCount = 0;
    return 0;
}

int RunGraphImageLoaders(ReadStream* stream, GraphImage* image) {
    for (int i = 0; i < g_userLoaderCount; ++i) {
        stream->functions.seek(stream->data, 0, kSeekFromStart);
        if (g_userLoaders[i](stream, image) == 0)
            return 0;
    }
    for (const GraphImageLoader* loader = kBuiltInLoaders; *loader != nullptr; ++loader) {
        stream->functions.seek(stream->data, 0, kSeekFromStart);
        if ((*loader)(stream, image) == 0)
            return 0;
    }
    return -1;
}

int DecodeGraphImage(const char* path, const void* memory, int size, int sourceKind, int dibFlag, int mirrorFlag,
                     GraphImage* out, BITMAPINFO** bmiOut, void** bitsOut) {
    ReadStream stream;
    MemoryStream* memoryStream = nullptr;
    void* wholeFile = nullptr;
    bool fileStream = false;
    if (sourceKind == 0) {
        if (path == nullptr)
            return -1;
        FileHandle file = FileAccessOpen(path, 0, 1);
        if (file == 0)
            return -1;
        int wholeSize = 0;
        wholeFile = ReadWholeImageFile(file, &wholeSize);
        if (wholeFile != nullptr)
            memoryStream = OpenMemoryStream(wholeFile, wholeSize);
        if (memoryStream != nullptr) {
            FileAccessClose(file);
            MakeMemoryReadStream(&stream, memoryStream);
        } else {
            MakeFileReadStream(&stream, file);
            fileStream = true;
        }
    } else {
        memoryStream = OpenMemoryStream(memory, size);
        if (memoryStream == nullptr)
            return -1;
        MakeMemoryReadStream(&stream, memoryStream);
    }

    GraphImage image = {};
    int result = RunGraphImageLoaders(&stream, &image);
    if (memoryStream != nullptr) {
        // The decoded image no longer needs the memory.
        stream.functions.close(stream.data);
        memoryStream = nullptr;
    }
    if (wholeFile != nullptr)
        FreeMemory(wholeFile);
    if (result == 0 && mirrorFlag == 1)
        result = MirrorIntoNewBlock(&image);
    if (result == 0 && dibFlag != 0) {
        BITMAPINFO* bmi = (BITMAPINFO*)AllocZeroedMemory(kDibInfoSize, __FILE_NAME__, __LINE__);
        void* bits = nullptr;
        const int converted = bmi ? ConvertGraphImageToDib(&image, bmi, &bits, 0, 0) : -1;
        if (converted < 0) {
            if (bmi != nullptr)
                FreeMemory(bmi);
            result = -1;
        } else {
            // Result 1: the DIB has its own copy. Result 0: the DIB's bits are the image's
            // block, which now belongs to the caller.
            if (converted == 1)
                FreeMemory(image.pixels);
            image.pixels = nullptr;
            *bmiOut = bmi;
            *bitsOut = bits;
        }
    } else if (result == 0) {
        *out = image;
        image.pixels = nullptr;
    }
    if (result != 0)
        FreeGraphImage(&image);
    if (fileStream)
        stream.functions.close(stream.data);
    return result;
}

int DecodeGraphImageRaw(const char* path, const void* memory, int size, int sourceKind, GraphImage* out,
                        int mirrorFlag) {
    return DecodeGraphImage(path, memory, size, sourceKind, 0, mirrorFlag, out, nullptr, nullptr);
}

int MakeAlphaCompanionName(const char* path, char* buffer) {
    const size_t length = std::strlen(path);
    if (length + 2 > 255)
        return -1;
    const char* dot = FindLastChar(path, '.');
    const size_t stem = dot ? (size_t)(dot - path) : length;
    std::memcpy(buffer, path, stem);
    std::memcpy(buffer + stem, "_a", 2);
    std::memcpy(buffer + stem + 2, path + stem, length - stem + 1);
    return 0;
}

int DecodeGraphImageWithAlpha(const char* path, const void* memory, int size, int sourceKind, const void* alphaMemory,
                              int alphaSize, int alphaSourceKind, GraphImage* out, GraphImage* alphaOut,
                              int mirrorFlag) {
    if (DecodeGraphImageRaw(path, memory, size, sourceKind, out, mirrorFlag) != 0)
        return -1;
    std::memset(alphaOut, 0, sizeof *alphaOut);
    if (alphaSourceKind == 1 && alphaMemory != nullptr)
        return DecodeGraphImageRaw(nullptr, alphaMemory, alphaSize, 1, alphaOut, mirrorFlag) == 0 ? 0 : 1;
    // A name for the companion needs a picture that came from a file.
    if (alphaSourceKind != 0 || sourceKind != 0 || path == nullptr)
        return 1;
    char name[264];
    if (MakeAlphaCompanionName(path, name) != 0)
        return 1;
    return DecodeGraphImageRaw(name, nullptr, 0, 0, alphaOut, mirrorFlag) == 0 ? 0 : 1;
}

int MirrorGraphImage(GraphImage* image) {
    if (image->width == 0 || image->height == 0)
        return -1;
    const int bytes = image->colorFormat.pixelBytes;
    if (bytes < 1 || bytes > 4 || image->pixels == nullptr)
        return 0;
    for (int y = 0; y < image->height; ++y) {
        uint8_t* row = (uint8_t*)image->pixels + (int64_t)y * image->pitch;
        for (int i = 0; i < image->width / 2; ++i) {
            uint8_t* a = row + i * bytes;
            uint8_t* b = row + (image->width - 1 - i) * bytes;
            uint8_t t[4];
            std::memcpy(t, a, (size_t)bytes);
            std::memcpy(a, b, (size_t)bytes);
            std::memcpy(b, t, (size_t)bytes);
        }
    }
    return 0;
}

namespace {

// A channel's bits at the top of a byte: narrow ones shifted up, wide ones cut to 8.
uint32_t TopByte(uint32_t pixel, uint32_t mask, int shift, int width) {
    if (width == 0)
        return 0;
    uint32_t v = (pixel & mask) >> shift;
    return width <= 8 ? v << (8 - width) & 0xFF : v >> (width - 8) & 0xFF;
}

}  // namespace

uint32_t GetGraphImagePixel(const GraphImage* image, int x, int y) {
    if (image->pixels == nullptr || x < 0 || y < 0 || x >= image->width || y >= image->height)
        return 0;
    const ColorFormat& f = image->colorFormat;
    const uint8_t* p = (const uint8_t*)image->pixels + (int64_t)y * image->pitch + (int64_t)x * f.pixelBytes;
    uint32_t pixel = 0;
    switch (f.pixelBytes) {
    case 1: return f.palette[p[0]] & 0xFFFFFF;
    case 2: pixel = (uint32_t)p[0] | (uint32_t)p[1] << 8; break;
    case 3: pixel = (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16; break;
    case 4: std::memcpy(&pixel, p, 4); break;
    default: return 0;
    }
    return TopByte(pixel, f.redMask, f.redShift, f.redWidth) << 16 |
           TopByte(pixel, f.greenMask, f.greenShift, f.greenWidth) << 8 |
           TopByte(pixel, f.blueMask, f.blueShift, f.blueWidth) |
           TopByte(pixel, f.alphaMask, f.alphaShift, f.alphaWidth) << 24;
}

// A GraphImage over a bitmap's pixels (rows padded to 4 bytes, top row first).
bool ImageOfBitmap(HBITMAP bitmap, const ColorFormat* format, GraphImage* out) {
    BITMAP bm;
    std::memset(&bm, 0, sizeof bm);
    if (bitmap == nullptr || GetObjectA(bitmap, sizeof bm, &bm) == 0 || bm.bmBits == nullptr)
        return false;
    std::memset(out, 0, sizeof *out);
    out->colorFormat = *format;
    out->width = bm.bmWidth;
    out->height = bm.bmHeight;
    out->pitch = bm.bmWidthBytes;
    out->pixels = bm.bmBits;
    return true;
}
