// QzDrawConvertRows.h: the straight row loops behind ConvertPixelRect's fixed
// conversions, for the blit itself and for tests and benchmarks that call each row
// directly. Every row has a plain reference (Ref) that defines its bytes; a faster row
// (Sse2) must give exactly the same bytes. A row converts n pixels from src to dst; src
// and dst may be the same memory when the pixel sizes are equal.
#pragma once

#include <cstdint>

namespace convert_rows {

// Rows take byte pointers: image rows need not be aligned to their pixel size.
typedef void (*Row16To32)(void* dst, const void* src, int n);
typedef void (*Row32To16)(void* dst, const void* src, int n);
typedef void (*Row16To16)(void* dst, const void* src, int n);
typedef void (*Row24To32)(void* dst, const void* src, int n);
// Key-to-alpha copy of 32-bit pixels: pixels whose rgbMask bits equal the key's get
// the alpha bits cleared, others set; bits outside rgbMask are set first.
typedef void (*RowKeyAlpha32)(void* dst, const void* src, int n, uint32_t rgbMask, uint32_t alphaMask,
                              uint32_t key);
typedef void (*Row24Key32)(void* dst, const void* src, int n, uint32_t key);

// R5G6B5 -> X8R8G8B8 with a zero top byte.
void Rgb565To8888Ref(void* dst, const void* src, int n);
// X8R8G8B8 -> R5G6B5.
void Rgb8888To565Ref(void* dst, const void* src, int n);
// R5G6B5 -> X1R5G5B5 with bit 15 clear, and back.
void Rgb565To555Ref(void* dst, const void* src, int n);
void Rgb555To565Ref(void* dst, const void* src, int n);
// 24-bit b, g, r bytes -> X8R8G8B8 with a 0xFF top byte.
void Rgb24To8888Ref(void* dst, const void* src, int n);
void KeyAlpha32Ref(void* dst, const void* src, int n, uint32_t rgbMask, uint32_t alphaMask, uint32_t key);
// 24-bit b, g, r bytes -> A8R8G8B8: opaque, except pixels equal to the key's low 24 bits,
// whose top byte stays 0.
void Rgb24Key8888Ref(void* dst, const void* src, int n, uint32_t key);

#if defined(__SSE2__)
void Rgb565To8888Sse2(void* dst, const void* src, int n);
void Rgb8888To565Sse2(void* dst, const void* src, int n);
void Rgb565To555Sse2(void* dst, const void* src, int n);
void Rgb555To565Sse2(void* dst, const void* src, int n);
void Rgb24To8888Sse2(void* dst, const void* src, int n);
void KeyAlpha32Sse2(void* dst, const void* src, int n, uint32_t rgbMask, uint32_t alphaMask, uint32_t key);
void Rgb24Key8888Sse2(void* dst, const void* src, int n, uint32_t key);
#endif

// The rows the blit uses: the fastest this processor runs.
extern const Row16To32 kRgb565To8888;
extern const Row32To16 kRgb8888To565;
extern const Row16To16 kRgb565To555;
extern const Row16To16 kRgb555To565;
extern const Row24To32 kRgb24To8888;
extern const RowKeyAlpha32 kKeyAlpha32;
extern const Row24Key32 kRgb24Key8888;

}  // namespace convert_rows
