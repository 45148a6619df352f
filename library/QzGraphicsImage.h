// QzGraphicsImage.h: the neutral decoded picture, GraphImage, that every image reader
// fills and the graphics are made from; the reader signature, GraphImageLoader; and the
// decoding front end: one decode opens a file (through the file-access layer, so archives
// are searched) or a memory image once and runs the readers over it, the program's own
// first, then BMP, JPEG, PNG, BGRA, TGA and DDS, rewinding before each. On top: the
// optional left-to-right mirror, the "_a" alpha companion (the name with "_a" before its
// last '.'), and a pixel reader. The DIB forms are in QzGraphicsDib.h.
//
// Nothing is kept between calls; the caller owns every image handed out and releases it
// with FreeGraphImage. Callers hold the library lock.
#pragma once

#include <cstdint>

#include "QzDrawColorFormat.h"
#include "QzWinFileStream.h"
#include "platform/gdi.h"

// A plain value: decoders fill the caller's record; FreeGraphImage releases the pixels.
struct GraphImage {
    ColorFormat colorFormat;  // long form; the palette matters for 8-bit images
    int32_t width;
    int32_t height;
    int32_t pitch;  // bytes from one row to the next, at least width x bytes per pixel
    void* pixels;   // tracked block of height x pitch bytes, top row first; owned
};

// 0 when the reader recognised the stream and filled the image; anything else when it
// refused, leaving nothing allocated. The stream position afterwards does not matter.
typedef int (*GraphImageLoader)(ReadStream* stream, GraphImage* image);

// Frees the pixel block when there is one and zeroes the record. Returns 0.
int FreeGraphImage(GraphImage* image);

// The program's own readers, tried before the built-in ones: at most ten. 0, or -1 when
// the list is full. Nothing in the library registers one.
constexpr int kMaxUserGraphImageLoaders = 10;
int AddUserGraphImageLoader(GraphImageLoader loader);
int ClearUserGraphImageLoaders();  // 0

// 0 when a reader accepted the stream (the image is filled), -1 when none did.
int RunGraphImageLoaders(ReadStream* stream, GraphImage* image);

// Source kind 0: path is a file; any other value: memory/size is the picture.
// dibFlag 0: the image goes to out. Otherwise out is not written and the picture is
// handed out as a DIB: a tracked BITMAPINFO (header and 256 palette entries) through
// bmiOut and the bits (a tracked block, rows padded to 4 bytes, top row first) through
// bitsOut; the caller frees both. mirrorFlag 1 mirrors left to right. 0 or -1.
int DecodeGraphImage(const char* path, const void* memory, int size, int sourceKind, int dibFlag, int mirrorFlag,
                     GraphImage* out, BITMAPINFO** bmiOut, void** bitsOut);
int DecodeGraphImageRaw(const char* path, const void* memory, int size, int sourceKind, GraphImage* out,
                        int mirrorFlag);
// The picture and its alpha companion: from memory (alphaSourceKind 1 with alphaMemory),
// or, for a picture from a file (alphaSourceKind 0), the file named with "_a" before the
// last '.' of path (the whole path when it has none). -1: the picture failed; 0: both
// decoded; 1: the picture only (alphaOut is left zeroed).
int DecodeGraphImageWithAlpha(const char* path, const void* memory, int size, int sourceKind, const void* alphaMemory,
                              int alphaSize, int alphaSourceKind, GraphImage* out, GraphImage* alphaOut,
                              int mirrorFlag);
// The "_a" companion's name into buffer (264 bytes); -1 when it would not fit 255 bytes.
int MakeAlphaCompanionName(const char* path, char* buffer);

// Reverses every row in place (1 to 4 bytes per pixel; other sizes are left as they
// are). 0, or -1 when the width or height is 0.
int MirrorGraphImage(GraphImage* image);

// The pixel at (x, y) as 0xAARRGGBB: each channel's bits at the top of its byte (a
// channel wider than 8 bits gives its top 8), alpha 0 for formats without it, the palette
// colour for 1-byte images. 0 outside the image or without pixels.
uint32_t GetGraphImagePixel(const GraphImage* image, int x, int y);

// A GraphImage over a DIB section's pixels, borrowing them; false when the bitmap has none.
bool ImageOfBitmap(HBITMAP bitmap, const ColorFormat* format, GraphImage* out);
