// QzDrawMemImg.h: MEMIMG, the library's software image: a block of pixels in system
// memory with its size, pitch, pixel kind, colour format, colour key and palette, and
// two optional companions for the software image engine: a premultiplied copy and
// per-line transparency run tables. Screen buffers in software rendering, depth
// buffers, system-memory pixel stores and temporary headers over locked surfaces are
// MEMIMGs; the blitters (QzDrawBlit, QzDrawPrimitive) draw one onto another.
//
// The caller owns the record itself. No function here takes the library lock or logs.
#pragma once

#include <cstdint>

#include "QzDrawColorFormat.h"
#include "platform/ddraw.h"
#include "platform/win32.h"

struct GraphImage;

constexpr uint32_t kMemImgMagic = 0x12345678u;

// Pixel kinds.
enum MemImgType {
    kMemImgRgb565 = 0,   // 16-bit R5G6B5 (4 bytes with alpha, 1 byte with a palette)
    kMemImgXrgb8888 = 1, // 32-bit X8R8G8B8 (A8R8G8B8 with alpha, 1 byte with a palette)
    kMemImgSingle8 = 2,  // one 8-bit value
    kMemImgDepth16 = 3,  // one 16-bit depth value
};

struct MEMIMG {
    uint32_t magic;       // kMemImgMagic while set up, else 0
    int32_t width;
    int32_t height;
    int32_t pitch;        // bytes from one line to the next
    int32_t pitchShift;   // k when pitch = 2^k, else -1
    const ColorFormat* format;  // one of the ten standard formats (short form)
    uint32_t colorKey;    // in the pixel's own encoding (a palette index for palette images)
    int32_t type;         // MemImgType
    int32_t usePalette;
    int32_t paletteCount; // entries in use
    int32_t useAlpha;
    int32_t premultipliedValid;
    int32_t runsValid;
    int32_t externalPixels;  // pixels belong to someone else
    void* palette;           // paletteStore, or a view's source palette
    uint8_t paletteStore[256 * 4];  // R5G6B5 entries 2 bytes apart (type 0), X8R8G8B8 4 apart (type 1)
    uint8_t* pixels;
    uint8_t* premultiplied;  // same size, pitch and layout as pixels, or null
    uint8_t* runs;           // (width + 5) x height bytes, or null
};

// Run bytes of the transparency tables: class in the top two bits, length - 1 below.
constexpr uint8_t kRunSkip = 0x00;
constexpr uint8_t kRunCopy = 0x40;
constexpr uint8_t kRunBlend = 0x80;
constexpr uint8_t kRunEnd = 0xC0;

// Fills the record and allocates its pixels (unless the caller preset pixels: then they
// are kept as external) and, with withExtras, the premultiplied copy and run tables.
// pitch -1 computes it: the line bytes rounded up to 16. 0, or -1 (already set up, a size
// of 0 or less, a size whose bytes do not fit, out of memory: nothing is kept).
int SetupMEMIMG(MEMIMG* m, int width, int height, int pitch, uint32_t colorKey, int type, int usePalette,
                int useAlpha, int withExtras);
// Frees what the record owns and unsets it; nothing for an unset record.
void ReleaseMEMIMG(MEMIMG* m);
// 1 when pixels is not null.
int CheckMEMIMGValid(const MEMIMG* m);
// A header over (x, y, width, height) of src, which must lie inside src. Owns nothing;
// never released. Returns view.
MEMIMG* MakeMEMIMGView(MEMIMG* view, const MEMIMG* src, int x, int y, int width, int height);
// Zeroes the record, then sets it up with the screen's size. type -1: R5G6B5 when the
// graphics depth is 16, else X8R8G8B8.
int CreateScreenMEMIMG(MEMIMG* m, int width, int height, int type);
int CreateZBufferMEMIMG(MEMIMG* m, int width, int height);

// The standard format of a kind and its DirectDraw twin; null for a type outside 0-3.
const ColorFormat* GetMEMIMGColorFormat(int type, int useAlpha, int usePalette);
const DDPIXELFORMAT* GetMEMIMGPixelFormat(int type, int useAlpha, int usePalette);
// Bytes per pixel of a kind after the flag rules.
int GetMEMIMGPixelBytes(int type, int usePalette, int useAlpha);

// ConvertPixelRect of srcRect (null: all of src) to (x, y) of dst.
int CopyMEMIMGConverted(MEMIMG* dst, const MEMIMG* src, const RECT* srcRect, int x, int y);
// Converts a rectangle of a decoded image into dst, copies the palette, and rebuilds
// the run tables and premultiplied copy when the whole image was written. The source
// rectangle is clipped to the image (and the alpha image), the destination to dst;
// nothing left gives -1. Negative on failure, else 0.
int ConvertImageToMEMIMG(const GraphImage* image, const GraphImage* alphaImage, MEMIMG* dst, int srcX, int srcY,
                         int width, int height, int dstX, int dstY);
// Converts a rectangle of a plain (type 0 or 1, no palette, no alpha) MEMIMG into the
// memory that dstImage describes (format, pitch, pixels), clipped to both; with
// transFlag, source pixels equal to transColor are not written. Other sources: nothing.
void CopyMEMIMGToSurfaceMemory(GraphImage* dstImage, const MEMIMG* src, int srcX, int srcY, int width, int height,
                               int dstX, int dstY, uint32_t transColor, int transFlag);
// Sets every pixel of rect (null: the whole image), clipped to the image, to the raw
// value; no blending, no key.
void FillMEMIMGRawRect(MEMIMG* m, const RECT* rect, uint32_t value);

// Rebuilds the run tables (and the premultiplied copy when there is one) from the
// whole image; the conversion calls it after a full-size write.
void BuildMEMIMGRuns(MEMIMG* m);
void BuildMEMIMGPremultiplied(MEMIMG* m);
