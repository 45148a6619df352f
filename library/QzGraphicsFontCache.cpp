// QzGraphicsFontCache.cpp: splitting text into character cells and rendering glyphs
// into the ring of cache cells with GDI glyph bitmaps.
//
// Rules: a character is one byte, or two when its first byte is a lead byte of the
// font's character set and a second byte follows inside the text; it travels as a 3-byte
// cell (its bytes, then zeros). Types 0 and 1 ask 1-bit bitmaps, types 2 and 3 levels
// 0..16. In the memory cache a type-0 cell keeps the bits; type 1 keeps 1 for the body
// and 2 for the edge; type 2 keeps level - 1; type 3 keeps the body level - 1 in the low
// four bits and the strongest edge level - 1 in the high four. In the texture cache every
// pixel is white with an alpha: types 0 and 1 opaque where set (A1R5G5B5), types 2 and 3
// level - 1 in the format's alpha bits (A4R4G4B4); level 0 is transparent white. Edge
// fonts keep the body in the left half of the staging image and the edge in the right
// half: type 1 opaque under the mask of every body pixel, type 3 the union of the
// coverages, E = (256 - (16 - E)(16 - g)) / 16 for each body level g. Edge fonts place
// the body e pixels right and down and grow advance and size by 2e. Every write stays
// inside the glyph's cell (a cellWidth square, in each half of the staging image), which
// keeps the clipped size. Main thread under the library lock.
#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "QzDrawScreen.h"
#include "QzGraphicsData.h"
#include "QzGraphicsFont.h"
#include "QzUseCLib.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"

namespace {

// Whether (dx, dy), relative to a body pixel, lies under the edge mask of size e.
bool UnderEdgeMask(int e, int dx, int dy) {
    int ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
    if (ax > e || ay > e) return false;
    switch (e) {
    case 1: return ax + ay == 1;
    case 2: return !(ax == 2 && ay == 2);
    case 3: return ay == 3 ? ax == 0 : ax == 3 ? ay == 0 : true;
    case 4: return ax + ay <= 6;
    default: return true;  // 0 and above 4: the full square
    }
}

const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

// Visits every pixel of the cell's square under the edge mask centred on an inked pixel
// of the glyph (level above 0), with that pixel's level: the edge, clipped to the cell.
template <typename Level, typename Visit>
void ForEachEdgePixel(int e, int boxW, int boxH, int side, const Level& level, Visit visit) {
    for (int j = 0; j < boxH; ++j)
        for (int i = 0; i < boxW; ++i) {
            const int g = level(i, j);
            if (g == 0) continue;
            for (int dy = -e; dy <= e; ++dy)
                for (int dx = -e; dx <= e; ++dx) {
                    const int x = e + i + dx, y = e + j + dy;
                    if (x < 0 || y < 0 || x >= side || y >= side || !UnderEdgeMask(e, dx, dy)) continue;
                    visit(x, y, g);
                }
        }
}

// The staging pixel of a level (0..16): white, alpha from the level.
uint16_t TexturePixel(const ColorFormat& cf, int type, int level) {
    uint32_t colour = cf.redMask | cf.greenMask | cf.blueMask;
    if (level == 0) return (uint16_t)colour;
    if (type < 2) return (uint16_t)(colour | cf.alphaMask);
    uint32_t alpha = ((uint32_t)level << (cf.alphaShift + cf.alphaWidth - 4)) - 1;
    return (uint16_t)(colour | (alpha & cf.alphaMask));
}

// Texture mode: the glyph's levels (0..16; set bits count 16) composed into the staging
// image, both halves clipped to the cell's square, then uploaded to the cell.
void WriteTextureGlyph(FontData* f, int type, int e, int boxW, int boxH, const std::function<int(int, int)>& level,
                       GlyphCell* cell) {
    const int side = f->cellWidth;
    std::vector<uint8_t> body((size_t)side * side), edge((type & 1) ? (size_t)side * side : 0);
    const int drawW = std::min(boxW, side - e), drawH = std::min(boxH, side - e);
    for (int j = 0; j < drawH; ++j)
        for (int i = 0; i < drawW; ++i) body[(size_t)(e + j) * side + e + i] = (uint8_t)level(i, j);
    if (type & 1)
        ForEachEdgePixel(e, boxW, boxH, side, level, [&](int x, int y, int g) {
            uint8_t& v = edge[(size_t)y * side + x];
            v = type == 1 ? 16 : (uint8_t)((256 - (16 - v) * (16 - g)) / 16);
        });
    GraphImage& st = f->staging;
    const ColorFormat& cf = st.colorFormat;
    uint8_t* pixels = (uint8_t*)st.pixels;
    for (int y = 0; y < side && y < st.height; ++y) {
        uint16_t* row = (uint16_t*)(pixels + (size_t)st.pitch * y);
        for (int x = 0; x < side; ++x) {
            row[x] = TexturePixel(cf, type, body[(size_t)y * side + x]);
            if (type & 1) row[side + x] = TexturePixel(cf, type, edge[(size_t)y * side + x]);
        }
    }
    if (cell->width <= 0 || cell->height <= 0) return;
    int cx = 0, cy = 0;
    GetFontCellOrigin(f, cell, &cx, &cy);
    RECT rect = {0, 0, cell->width, cell->height};
    TransferBitmapToGraph(&st, nullptr, nullptr, nullptr, 0, &st, nullptr, &rect, cx, cy, f->cacheGraph, 0);
    if (type & 1) {
        rect = RECT{side, 0, side + cell->width, cell->height};
        TransferBitmapToGraph(&st, nullptr, nullptr, nullptr, 0, &st, nullptr, &rect, cx + f->cacheWidth, cy,
                              f->cacheGraph, 0);
    }
}

// Fills the staging image with transparent white.
void ClearStaging(FontData* f) {
    GraphImage& st = f->staging;
    uint16_t clear = TexturePixel(st.colorFormat, 0, 0);
    for (int y = 0; y < st.height; ++y) {
        uint16_t* row = (uint16_t*)((uint8_t*)st.pixels + (size_t)st.pitch * y);
        for (int x = 0; x < st.width; ++x) row[x] = clear;
    }
}

// Renders one character into its cell of the cache.
void RenderGlyph(FontData* f, HDC dc, const TEXTMETRICA& tm, const unsigned char* ch, GlyphCell* cell) {
    bool twoBytes = ch[1] != 0;
    UINT code = twoBytes ? ch[0] * 256u + ch[1] : ch[0];
    int type = f->fontType & 3;
    UINT format = type >= 2 ? GGO_GRAY4_BITMAP : GGO_BITMAP;
    int e = (type & 1) ? f->edgeSize : 0;
    int side = f->cellWidth;
    bool texture = f->textureCache != 0;
    uint8_t* cellTop = nullptr;
    if (texture) {
        ClearStaging(f);
    } else {
        cellTop = f->memCache + (size_t)f->memCachePitch * ((size_t)cell->slot * side);
        std::memset(cellTop, 0, (size_t)f->memCachePitch * side);
    }

    GLYPHMETRICS gm = {};
    bool space = (!twoBytes && ch[0] == 0x20) || (ch[0] == 0x81 && ch[1] == 0x40);
    DWORD size = 0;
    if (space) {
        if (GetGlyphOutlineA(dc, code, GGO_METRICS, &gm, 0, nullptr, &kIdentity) == GDI_ERROR)
            ExitWithFatalError("GetGlyphOutline 関数が失敗しました");
    } else {
        size = GetGlyphOutlineA(dc, code, format, &gm, 0, nullptr, &kIdentity);
        if (size == GDI_ERROR) ExitWithFatalError("GetGlyphOutline 関数が失敗しました");
    }
    cell->advance = (int16_t)gm.gmCellIncX;
    cell->width = cell->height = 0;
    cell->xOffset = cell->yOffset = 0;
    if (!space && size > 0 && gm.gmBlackBoxX > 0 && gm.gmBlackBoxY > 0) {
        int boxW = (int)gm.gmBlackBoxX, boxH = (int)gm.gmBlackBoxY;
        int pitch = (int)(size / (DWORD)boxH) / 4 * 4;
        uint8_t* buffer = (uint8_t*)AllocZeroedMemory((int)size + 2 * pitch, "QzGraphics", __LINE__);
        if (buffer == nullptr) ExitWithFatalError("アンチエイリアス文字取得用バッファの確保に失敗しました");
        if (GetGlyphOutlineA(dc, code, format, &gm, size, buffer + pitch, &kIdentity) == GDI_ERROR)
            ExitWithFatalError("GetGlyphOutline 関数が失敗しました");
        const uint8_t* rows = buffer + pitch;
        auto level = [&](int i, int j) -> int {
            const uint8_t* row = rows + (size_t)pitch * j;
            return format == GGO_BITMAP ? ((row[i >> 3] >> (7 - (i & 7))) & 1) : row[i];
        };
        cell->xOffset = (int16_t)gm.gmptGlyphOrigin.x;
        cell->yOffset = (int16_t)(tm.tmAscent - gm.gmptGlyphOrigin.y);
        cell->width = (int16_t)std::min(boxW + 2 * e, side);
        cell->height = (int16_t)std::min(boxH + 2 * e, side);
        if (texture) {
            WriteTextureGlyph(f, type, e, boxW, boxH,
                              [&](int i, int j) { return format == GGO_BITMAP ? 16 * level(i, j) : level(i, j); },
                              cell);
            FreeMemory(buffer);
            if (type & 1) cell->advance = (int16_t)(cell->advance + 2 * e);
            return;
        }
        auto at = [&](int x, int y) -> uint8_t& { return cellTop[(size_t)f->memCachePitch * y + x]; };
        // The part of the box that lands inside the cell.
        int drawW = std::min(boxW, side - e), drawH = std::min(boxH, side - e);
        for (int j = 0; j < drawH; ++j)
            for (int i = 0; i < drawW; ++i) {
                int g = level(i, j);
                if (g == 0) continue;
                int x = e + i, y = e + j;
                switch (type) {
                case 0: cellTop[(size_t)f->memCachePitch * y + (x >> 3)] |= (uint8_t)(0x80 >> (x & 7)); break;
                case 1: at(x, y) = 1; break;
                case 2: at(x, y) = (uint8_t)(g - 1); break;
                case 3: at(x, y) |= (uint8_t)(g - 1); break;
                }
            }
        if (type & 1) {
            // For type 1 the edge goes only where no body is.
            ForEachEdgePixel(e, boxW, boxH, side, level, [&](int x, int y, int g) {
                uint8_t& v = at(x, y);
                if (type == 1) {
                    if (v != 1) v = 2;
                } else if ((v >> 4) < g - 1) {
                    v = (uint8_t)((v & 0x0F) | (g - 1) << 4);
                }
            });
        }
        FreeMemory(buffer);
    }
    if (type & 1) cell->advance = (int16_t)(cell->advance + 2 * e);
}

}  // namespace

GlyphCell* CacheFontGlyphs(int count, const char* cells, int font) {
    if (GetDirectDrawObject() == nullptr) return nullptr;
    FontData* f = GetFontData(font);
    if (f == nullptr) return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = dc != nullptr ? SelectObject(dc, f->gdiFont) : nullptr;
    if (dc == nullptr || old == nullptr) ExitWithFatalError("テキストキャッシュサーフェスのＤＣの取得に失敗しました");
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);
    GlyphCell* last = nullptr;
    for (int n = 0; n < count; ++n) {
        const unsigned char* ch = (const unsigned char*)cells + 3 * n;
        GlyphCell* cell = &f->cells[f->ringPosition];
        // A character cached twice in one batch leaves its older cell behind: evicting
        // that cell must not empty the entry, which names the newer one.
        if (cell->inUse && cell->entry != nullptr && cell->entry->cell == cell) {
            cell->entry->cached = 0;
            cell->entry->cell = nullptr;
        }
        CharEntry* entry = &f->charTable[ch[0] + 256 * ch[1]];
        entry->cached = 1;
        entry->cell = cell;
        cell->entry = entry;
        cell->inUse = 1;
        RenderGlyph(f, dc, tm, ch, cell);
        last = cell;
        if (++f->ringPosition >= f->cellCount) f->ringPosition = 0;
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return last;
}

int CacheStringGlyphs(int font, const char* text, int length, char* outCells, int* outCount) {
    FontData* f = GetFontData(font);
    if (f == nullptr || text == nullptr) return -1;
    int n = (int)std::strlen(text);
    if (length != -1 && length < n) n = length < 0 ? 0 : length;
    char* cells = outCells;
    if (cells == nullptr) {
        cells = (char*)AllocMemory(3 * n + 1, "QzGraphics", __LINE__);
        if (cells == nullptr) return -1;
    }
    char batch[256 * 3];
    int batchCount = 0, count = 0;
    int batchLimit = f->cellCount < 256 ? f->cellCount : 256;
    for (int i = 0; i < n;) {
        // A lead byte with nothing after it inside the cut is a character of its own.
        int bytes = IsDoubleByteLeadChar(text + i, f->charsetIndex) && i + 1 < n ? 2 : 1;
        char* cell = cells + 3 * count;
        cell[0] = text[i];
        cell[1] = bytes == 2 ? text[i + 1] : 0;
        cell[2] = 0;
        const unsigned char* u = (const unsigned char*)cell;
        if (!f->charTable[u[0] + 256 * u[1]].cached && batchCount < batchLimit) {
            std::memcpy(batch + 3 * batchCount, cell, 3);
            ++batchCount;
        }
        ++count;
        i += bytes;
    }
    cells[3 * count] = 0;
    if (batchCount > 0) CacheFontGlyphs(batchCount, batch, font);
    if (outCount != nullptr) *outCount = count;
    if (outCells == nullptr) FreeMemory(cells);
    return 0;
}
