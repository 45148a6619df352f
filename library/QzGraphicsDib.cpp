// QzGraphicsDib.cpp: DIB conversions of decoded pictures and DIB sections made from them.
// The section is filled by the platform's transfer on a memory device context, which
// converts the DIB into the section's format (StretchDIBits for the mirrored form).
// Callers hold the library lock.
#include "QzGraphicsDib.h"

#include <cstring>

#include "QzDrawConvert.h"
#include "QzGraphicsReaders.h"
#include "QzGraphicsSystem.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"

namespace {

bool IsStandard24(const ColorFormat& f) {
    return f.colorBitDepth == 24 && f.redMask == 0xFF0000 && f.greenMask == 0xFF00 && f.blueMask == 0xFF;
}

// The bit fields case: a 16-bit format, or one above 24 bits while the source is not
// 24-bit.
bool UsesBitFields(const ColorFormat* format, int sourceBits) {
    return format != nullptr && (format->colorBitDepth == 16 || (format->colorBitDepth > 24 && sourceBits != 24));
}

// Transfers the DIB into the section on a new memory context, mirrored or not. The lines
// copied.
int TransferIntoSection(HBITMAP section, const BITMAPINFO* bmi, const void* bits, int mirrorFlag) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, section);
    const BITMAPINFOHEADER& h = bmi->bmiHeader;
    const int width = h.biWidth, rows = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    int lines;
    if (mirrorFlag == 1)
        lines = StretchDIBits(dc, 0, 0, width, h.biHeight, width - 1, 0, -width, rows, bits, bmi, DIB_RGB_COLORS,
                              SRCCOPY);
    else
        lines = SetDIBitsToDevice(dc, 0, 0, (DWORD)width, (DWORD)rows, 0, 0, 0, (UINT)rows, bits, bmi,
                                  DIB_RGB_COLORS);
    GdiFlush();
    SelectObject(dc, old);
    DeleteDC(dc);
    return lines;
}

// A top-down section header of the source's size.
BITMAPINFOHEADER& StartSectionHeader(BITMAPINFO* header, const BITMAPINFOHEADER& source) {
    BITMAPINFOHEADER& h = header->bmiHeader;
    h.biSize = sizeof h;
    h.biWidth = source.biWidth;
    h.biHeight = source.biHeight < 0 ? source.biHeight : -source.biHeight;
    h.biPlanes = 1;
    return h;
}

// A section in `format`: its masks as bit fields, or plain RGB, a 32-bit format turning
// to the standard 24-bit one first.
void SetSectionFormat(BITMAPINFO* header, ColorFormat* format, bool fields) {
    BITMAPINFOHEADER& h = header->bmiHeader;
    if (fields) {
        const uint32_t masks[3] = {format->redMask, format->greenMask, format->blueMask};
        std::memcpy(header->bmiColors, masks, sizeof masks);
        h.biCompression = BI_BITFIELDS;
    } else {
        if (format->colorBitDepth == 32)
            SetupRGB24ColorFormat(format);
        h.biCompression = BI_RGB;
    }
    h.biBitCount = format->colorBitDepth;
}

}  // namespace

int ConvertGraphImageToDib(const GraphImage* image, BITMAPINFO* bmi, void** bitsOut, int forceCopy, int force24) {
    const ColorFormat& f = image->colorFormat;
    BITMAPINFOHEADER& h = bmi->bmiHeader;
    std::memset(&h, 0, sizeof h);
    h.biSize = sizeof h;
    h.biWidth = image->width;
    h.biHeight = -image->height;
    h.biPlanes = 1;
    h.biCompression = BI_RGB;
    const bool eight = f.pixelBytes == 1 && !force24;
    h.biBitCount = eight ? 8 : 24;
    const int64_t rowBytes = eight ? ((int64_t)image->width + 3) & ~(int64_t)3 : ((int64_t)image->width * 3 + 3) & ~(int64_t)3;
    const int64_t blockBytes = rowBytes * image->height;
    if (eight)
        std::memcpy(bmi->bmiColors, f.palette, sizeof f.palette);

    const bool standard = eight || IsStandard24(f);
    if (standard && forceCopy == 0 && rowBytes == image->pitch) {
        *bitsOut = image->pixels;
        return 0;
    }
    if (blockBytes > kMaxImageBlock)
        return -1;
    uint8_t* block = (uint8_t*)AllocMemory((int)blockBytes, __FILE_NAME__, __LINE__);
    if (block == nullptr)
        return -1;
    if (standard) {
        const int64_t used = (int64_t)image->width * (eight ? 1 : 3);
        for (int y = 0; y < image->height; ++y) {
            uint8_t* row = block + y * rowBytes;
            std::memcpy(row, (const uint8_t*)image->pixels + (int64_t)y * image->pitch, (size_t)used);
            std::memset(row + used, 0, (size_t)(rowBytes - used));
        }
    } else {
        ColorFormat rgb24 = {};
        SetupRGB24ColorFormat(&rgb24);
        const RECT whole = {0, 0, image->width, image->height};
        std::memset(block, 0, (size_t)blockBytes);
        ConvertPixelRect(block, (int)rowBytes, &rgb24, image->pixels, image->pitch, &f, nullptr, 0, nullptr, 0, 0,
                         &whole, 0, 0, 0, 0, 0, 0, 0);
    }
    *bitsOut = block;
    return 1;
}

HBITMAP MakeDibSection(const BITMAPINFO* bmi, const void* bits, int mirrorFlag, ColorFormat* format) {
    // A section of 8 bits or fewer would need a colour table, which no format carries.
    if (format != nullptr && format->colorBitDepth <= 8)
        return nullptr;
    const BITMAPINFOHEADER& source = bmi->bmiHeader;
    const bool fields = UsesBitFields(format, source.biBitCount);
    BITMAPINFO* header =
        (BITMAPINFO*)AllocZeroedMemory((int)sizeof(BITMAPINFOHEADER) + (fields ? 12 : 0), __FILE_NAME__, __LINE__);
    if (header == nullptr)
        return nullptr;
    BITMAPINFOHEADER& h = StartSectionHeader(header, source);
    if (format == nullptr) {
        h.biBitCount = 24;
        h.biCompression = BI_RGB;
    } else {
        SetSectionFormat(header, format, fields);
    }
    void* sectionBits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, header, DIB_RGB_COLORS, &sectionBits, nullptr, 0);
    FreeMemory(header);
    if (section == nullptr)
        return nullptr;
    if (sectionBits == nullptr || TransferIntoSection(section, bmi, bits, mirrorFlag) == 0) {
        DeleteObject(section);
        return nullptr;
    }
    return section;
}

HBITMAP CreateDIBGraph(const char* path, const void* memory, int size, int sourceKind, int mirrorFlag,
                       ColorFormat* format) {
    if (format != nullptr && format->colorBitDepth <= 8)
        return nullptr;
    BITMAPINFO* dib = nullptr;
    void* dibBits = nullptr;
    if (DecodeGraphImage(path, memory, size, sourceKind, 1, 0, nullptr, &dib, &dibBits) != 0)
        return nullptr;
    const int dibDepth = dib->bmiHeader.biBitCount;
    const bool paletteRoute = format == nullptr || (format->colorBitDepth == 16 && GetGraphDibOption() != 0);
    const bool fields = !paletteRoute && UsesBitFields(format, dibDepth);
    const int extra = paletteRoute ? (dibDepth <= 8 ? 1024 : 0) : fields ? 12 : 0;
    BITMAPINFO* header =
        (BITMAPINFO*)AllocZeroedMemory((int)sizeof(BITMAPINFOHEADER) + extra, __FILE_NAME__, __LINE__);
    if (header == nullptr) {
        FreeMemory(dib);
        FreeMemory(dibBits);
        WriteLog("メモリの確保に失敗しました in CreateDIBGraph \n");
        return nullptr;
    }
    BITMAPINFOHEADER& h = StartSectionHeader(header, dib->bmiHeader);
    if (paletteRoute) {
        if (dibDepth <= 8) {
            h.biBitCount = (WORD)dibDepth;
            h.biCompression = dib->bmiHeader.biCompression;
            std::memcpy(header->bmiColors, dib->bmiColors, 1024);
        } else {
            h.biBitCount = 24;
            h.biCompression = BI_RGB;
            if (format != nullptr)
                SetupRGB24ColorFormat(format);
        }
    } else {
        SetSectionFormat(header, format, fields);
    }

    void* sectionBits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, header, DIB_RGB_COLORS, &sectionBits, nullptr, 0);
    FreeMemory(header);
    if (section == nullptr) {
        FreeMemory(dib);
        FreeMemory(dibBits);
        WriteLog("ＤＩＢの作成に失敗しました3\n");
        return nullptr;
    }
    const bool filled = sectionBits != nullptr && TransferIntoSection(section, dib, dibBits, mirrorFlag) != 0;
    FreeMemory(dib);
    FreeMemory(dibBits);
    if (!filled) {
        DeleteObject(section);
        if (sectionBits == nullptr)
            WriteLog("ＤＩＢの作成に失敗しました2\n");
        return nullptr;
    }
    return section;
}

HBITMAP CreateDIBGraphFromFile(const char* path, int mirrorFlag, ColorFormat* format) {
    return CreateDIBGraph(path, nullptr, 0, 0, mirrorFlag, format);
}
