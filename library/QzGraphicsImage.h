// QzGraphicsImage.h: the neutral decoded picture, GraphImage, that every image reader
// fills and the graphics are made from, and the reader signature, GraphImageLoader.
// Callers hold the library lock.
#pragma once

#include <cstdint>

#include "QzDrawColorFormat.h"
#include "QzWinFileStream.h"

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
