// QzUseCLibPng.cpp: PNG images through libpng, as a GraphImageLoader. Callers hold the
// library lock.
//
// libpng reports errors by longjmp back to RunPngDecode. No frame that jump crosses owns
// an object with a destructor, and everything the loader must release afterwards lives in
// the loader's own frame, above the jump.
#include <climits>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include <png.h>

#include "QzUseCLibCodec.h"
#include "QzWinMemory.h"

namespace {

// The largest block the tracked allocator accepts.
constexpr int64_t kMaxTrackedBlock = INT_MAX - kAllocHeaderSize;

// A file can declare a chunk of up to 2 GB, which libpng would allocate (and clear) before
// finding the data missing. Two bounds keep that away: the chunk limit, which libpng
// applies to ancillary chunks and their decompression (image data is not limited by it),
// though only as a warning for a chunk it then still reads; and a ceiling on any single
// block libpng asks for, above the largest row it accepts (a million pixels of 8 bytes),
// so such a chunk finds no memory, is skipped, and the read past the end refuses the file.
constexpr png_alloc_size_t kMaxChunkBytes = 8 << 20;
constexpr png_alloc_size_t kMaxLibpngBlock = 16 << 20;

png_voidp AllocPngBlock(png_structp, png_alloc_size_t size) {
    return size <= kMaxLibpngBlock ? std::malloc(size) : nullptr;
}

void FreePngBlock(png_structp, png_voidp block) { std::free(block); }

// libpng's reader: the stream and where it ends, measured when the reader is installed.
struct PngStreamReader {
    ReadStream* stream;
    int32_t endPosition;
};

// Blocks of ours an error must free.
struct PngOwnBlocks {
    png_bytep* rows;
    unsigned char* pixels;
};

void ReadPngStreamData(png_structp png, png_bytep data, png_size_t length) {
    PngStreamReader* reader = static_cast<PngStreamReader*>(png_get_io_ptr(png));
    ReadStream* stream = reader->stream;
    int64_t left = static_cast<int64_t>(reader->endPosition) - stream->functions.tell(stream->data);
    if (left < 0 || static_cast<uint64_t>(length) > static_cast<uint64_t>(left)) png_error(png, "Read Error");
    if (length == 0) return;
    if (stream->functions.read(data, static_cast<int>(length), 1, stream->data) == 0) png_error(png, "Read Error");
}

int SetPngStreamReader(png_structp png, PngStreamReader* reader, ReadStream* stream) {
    int start = stream->functions.tell(stream->data);
    stream->functions.seek(stream->data, 0, kSeekFromEnd);
    reader->endPosition = stream->functions.tell(stream->data);
    stream->functions.seek(stream->data, start, kSeekFromStart);
    reader->stream = stream;
    png_set_read_fn(png, reader, ReadPngStreamData);
    return 0;
}

// The two-byte grey format of grey-with-alpha images: grey in the low byte read as all
// three channels, the alpha byte ignored.
void SetupGrayAlpha16ColorFormat(ColorFormat* format) {
    format->colorBitDepth = 16;
    format->pixelBytes = 2;
    format->redWidth = format->greenWidth = format->blueWidth = 8;
    format->alphaWidth = 0;
    format->redShift = format->greenShift = format->blueShift = format->alphaShift = 0;
    format->redMask = format->greenMask = format->blueMask = 0xFF;
    format->alphaMask = 0;
    format->fillMask = 0xFF00;
}

// Everything after the error return; libpng may jump out of it at any call.
void DecodePng(png_structp png, png_infop info, ReadStream* stream, GraphImage* image, PngOwnBlocks* own) {
    PngStreamReader reader;
    SetPngStreamReader(png, &reader, stream);
    png_set_sig_bytes(png, 0);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlaceType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlaceType, nullptr, nullptr);

    png_set_strip_16(png);
    png_set_packing(png);
    png_set_packswap(png);
    bool expanded = false;
    if ((colorType == PNG_COLOR_TYPE_GRAY && bitDepth <= 8) || png_get_valid(png, info, PNG_INFO_tRNS)) {
        png_set_expand(png);
        expanded = true;
    }
    png_set_bgr(png);
    png_read_update_info(png, info);
    png_size_t rowBytes = png_get_rowbytes(png, info);

    uint64_t total = static_cast<uint64_t>(rowBytes) * height;
    if (width > INT_MAX || height == 0 || rowBytes == 0 || total > static_cast<uint64_t>(kMaxTrackedBlock) ||
        static_cast<uint64_t>(height) * sizeof(png_bytep) > static_cast<uint64_t>(kMaxTrackedBlock))
        png_error(png, "Image too large");
    own->rows = static_cast<png_bytep*>(
        AllocMemory(static_cast<int>(height * sizeof(png_bytep)), __FILE_NAME__, __LINE__));
    own->pixels = static_cast<unsigned char*>(AllocMemory(static_cast<int>(total), __FILE_NAME__, __LINE__));
    if (own->rows == nullptr || own->pixels == nullptr) png_error(png, "Out of memory");
    // The rows land straight in the pixel block that the image keeps.
    for (png_uint_32 y = 0; y < height; y++) own->rows[y] = own->pixels + static_cast<size_t>(y) * rowBytes;
    png_read_image(png, own->rows);
    FreeMemory(own->rows);
    own->rows = nullptr;
    png_read_end(png, nullptr);

    std::memset(&image->colorFormat, 0, sizeof(image->colorFormat));
    if (colorType == PNG_COLOR_TYPE_PALETTE && !expanded) {
        SetupPalette8ColorFormat(&image->colorFormat);
        png_colorp palette = nullptr;
        int entries = 0;
        if (png_get_PLTE(png, info, &palette, &entries) == 0) entries = 0;
        if (entries > 256) entries = 256;
        for (int i = 0; i < 256; i++) {
            image->colorFormat.palette[i] =
                i < entries ? static_cast<uint32_t>(palette[i].blue) | static_cast<uint32_t>(palette[i].green) << 8 |
                                  static_cast<uint32_t>(palette[i].red) << 16
                            : 0;
        }
    } else if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        if (rowBytes / 2 < width)
            SetupGray8ColorFormat(&image->colorFormat);
        else
            SetupGrayAlpha16ColorFormat(&image->colorFormat);
    } else {
        SetupRGB24ColorFormat(&image->colorFormat);
        if (png_get_channels(png, info) == 4) {
            image->colorFormat.colorBitDepth = 32;
            image->colorFormat.pixelBytes = 4;
            image->colorFormat.alphaWidth = 8;
            image->colorFormat.alphaShift = 24;
            image->colorFormat.alphaMask = 0xFF000000u;
        }
    }
    image->width = static_cast<int32_t>(width);
    image->height = static_cast<int32_t>(height);
    image->pitch = static_cast<int32_t>(rowBytes);
    image->pixels = own->pixels;
    own->pixels = nullptr;
}

// The error return: libpng's jumps land here, with nothing of this frame changed since.
__attribute__((noinline)) int RunPngDecode(png_structp png, png_infop info, ReadStream* stream, GraphImage* image, PngOwnBlocks* own) {
    if (setjmp(png_jmpbuf(png))) return -1;
    DecodePng(png, info, stream, image, own);
    return 0;
}

}  // namespace

int LoadPngToGraphImage(ReadStream* stream, GraphImage* image) {
    png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr, nullptr,
                                               AllocPngBlock, FreePngBlock);
    if (png == nullptr) return -1;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return -1;
    }
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    PngOwnBlocks own = {nullptr, nullptr};
    int result = RunPngDecode(png, info, stream, image, &own);
    if (own.rows != nullptr) FreeMemory(own.rows);
    if (own.pixels != nullptr) FreeMemory(own.pixels);
    png_destroy_read_struct(&png, &info, nullptr);
    return result;
}
