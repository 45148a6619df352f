// QzGraphicsReaders.h: the built-in image readers for Windows bitmaps (BMP), the
// library's raw "BGRA" format, TGA and uncompressed DDS files. PNG and JPEG are the codec
// glue's (QzUseCLibCodec.h); the front end (QzGraphicsImage.h) tries them all in turn.
//
// Each reader gets a stream at position 0 and fills the caller's GraphImage (format,
// size, pitch, a tracked pixel block, rows top first) and returns 0, or returns -1 with
// nothing left allocated. The readers measure the stream first and refuse anything the
// stream does not hold in full, so a truncated picture is refused alike from a file, an
// archive member or memory. Callers hold the library lock.
#pragma once

#include <climits>
#include <cstdint>

#include "QzGraphicsImage.h"
#include "QzWinState.h"

int LoadBmpToGraphImage(ReadStream* stream, GraphImage* image);
int LoadBgraToGraphImage(ReadStream* stream, GraphImage* image);
int LoadTgaToGraphImage(ReadStream* stream, GraphImage* image);
int LoadDdsToGraphImage(ReadStream* stream, GraphImage* image);

// ---- for the readers ------------------------------------------------------------------
// The largest block the tracked allocator hands out.
constexpr int64_t kMaxImageBlock = INT_MAX - kAllocHeaderSize;

// The stream's length; the stream is left at position 0. -1 when it cannot be measured.
int64_t MeasureImageStream(ReadStream* stream);
// Reads bytes at the current position into buffer; false, with the buffer's content
// undefined, unless the stream (of streamSize bytes) holds all of them.
bool ReadImageBytes(ReadStream* stream, void* buffer, int64_t bytes, int64_t streamSize);
// Moves to an absolute position inside the stream; false when it lies past the end.
bool SeekImageStream(ReadStream* stream, int64_t position, int64_t streamSize);

inline uint16_t ReadLe16(const uint8_t* p) {
    return (uint16_t)(p[0] | p[1] << 8);
}
inline uint32_t ReadLe32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
