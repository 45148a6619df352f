// QzGraphicsText.cpp: the text core over the fonts' caches, its measuring form, the 2D
// path's forms and the front end's text operation.
//
// The texture path draws each glyph from the cache graphic with the graphic draws of the
// front end, the edge half first in the edge colour, then the body in the text colour,
// each as the bright colour (tinted by the current one). Down the page the whole cache is
// drawn as a quarter-turned quad through the glyph's box: the draw area and the viewport
// are narrowed to that box (inside the caller's area), so no other cell shows. Only
// texture caches scale.
//
// Rules of the memory path, per cell value (the colours have the bright colour applied
// and the format's fill bits removed):
//   type 0: a set bit is the text colour; type 1: 1 text, 2 edge;
//   type 2: level L (0..15) is the text colour with alpha 16 L;
//   type 3: body b in the low four bits, edge e in the high four: b = 15 is the text
//   colour at alpha 0xFF; 0 < b < 15 has alpha A = 16 b + e (15 - b) and each channel
//   edge + (text - edge) x (4096 b / A) / 256; b = 0 < e is the edge colour at alpha 16 e.
//   Anything else is background: left alone when transparent, else 0.
// Alpha sits in bits 16-23 of the 32-bit units of a 16-bit anti-aliased image and in
// bits 24-31 of a 32-bit one. Only pixels inside the clip (and the image) are written.
// Main thread under the library lock.
#include "QzGraphicsText.h"

#include <cstring>

#include "Qz3DText.h"
#include "QzDraw2D.h"
#include "QzDraw2DDraw.h"
#include "QzDrawPresent.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "Qz3DSprite.h"
#include "QzGraphicsData.h"
#include "QzGraphicsDraw.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFont.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsSystem.h"
#include "QzUseCLib.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzWinMessage.h"

namespace {

// A screen colour value's channels, each tinted by the current bright colour.
void TintedChannels(uint32_t color, int* r, int* g, int* b) {
    GetColorValueRGB(color, r, g, b);
    const uint32_t bright = g_drawState.brightColor;
    *r = *r * (int)(bright >> 16 & 0xFF) / 255;
    *g = *g * (int)(bright >> 8 & 0xFF) / 255;
    *b = *b * (int)(bright & 0xFF) / 255;
}

// The colour value of the screen format with the bright colour applied, fill bits off.
uint32_t TintColor(uint32_t color) {
    int r = 0, g = 0, b = 0;
    TintedChannels(color, &r, &g, &b);
    return GetScreenColorValue(r, g, b) & ~GetScreenColorValue(0, 0, 0);
}

// Mixes two colour values channel by channel: edge + (text - edge) x ratio / 256.
uint32_t MixColor(uint32_t text, uint32_t edge, int ratio, bool wide) {
    const int shifts16[3] = {11, 5, 0}, masks16[3] = {31, 63, 31};
    const int shifts32[3] = {16, 8, 0}, masks32[3] = {255, 255, 255};
    const int* shifts = wide ? shifts32 : shifts16;
    const int* masks = wide ? masks32 : masks16;
    uint32_t out = 0;
    for (int c = 0; c < 3; ++c) {
        int t = (int)(text >> shifts[c]) & masks[c], e = (int)(edge >> shifts[c]) & masks[c];
        int v = e + (t - e) * ratio / 256;
        out |= (uint32_t)(v & masks[c]) << shifts[c];
    }
    return out;
}

struct PixelWriter {
    int type;        // font type 0-3
    int bytes;       // destination bytes per pixel
    bool wide;       // 32-bit colour channels
    int alphaShift;  // where alpha goes in a unit; -1: no alpha
    uint32_t text, edge;
    bool transparent;

    // False: leave the pixel.
    bool Value(int v, uint32_t* out) const {
        uint32_t color = 0;
        int alpha = -1;
        switch (type) {
        case 0: if (v) color = text; else return Background(out); break;
        case 1:
            if (v == 1) color = text;
            else if (v == 2) color = edge;
            else return Background(out);
            break;
        case 2:
            if (v == 0) return Background(out);
            color = text, alpha = v * 16;
            break;
        default: {
            int b = v & 15, e = v >> 4;
            if (b == 15) {
                color = text, alpha = 0xFF;
            } else if (b > 0) {
                int a = 16 * b + e * (15 - b);
                color = MixColor(text, edge, 4096 * b / a, wide), alpha = a;
            } else if (e > 0) {
                color = edge, alpha = 16 * e;
            } else {
                return Background(out);
            }
        }
        }
        if (alpha >= 0 && alphaShift >= 0) color |= (uint32_t)alpha << alphaShift;
        *out = color;
        return true;
    }
    bool Background(uint32_t* out) const {
        *out = 0;
        return !transparent;
    }
    void Put(uint8_t* p, uint32_t value) const {
        if (bytes == 1) *p = (uint8_t)value;
        else if (bytes == 2) { uint16_t v = (uint16_t)value; std::memcpy(p, &v, 2); }
        else std::memcpy(p, &value, 4);
    }
};

// Writes the cell's glyph into dst at its box (turned for vertical text), inside clip.
void PutGlyph(const FontData* f, const GlyphCell* cell, MEMIMG* dst, const RECT& clip, const PixelWriter& writer,
              int boxX, int boxY, bool vertical) {
    int w = cell->width, h = cell->height;
    RECT box = vertical ? RECT{boxX - h, boxY, boxX, boxY + w} : RECT{boxX, boxY, boxX + w, boxY + h};
    ClipRect(&box, &clip);
    if (box.right <= box.left || box.bottom <= box.top) return;
    for (int dy = box.top; dy < box.bottom; ++dy) {
        uint8_t* row = dst->pixels + (ptrdiff_t)dst->pitch * dy;
        for (int dx = box.left; dx < box.right; ++dx) {
            // Down the page the glyph's row j lands in column X - 1 - j, its column i in row Y + i.
            int i = vertical ? dy - boxY : dx - boxX;
            int j = vertical ? boxX - 1 - dx : dy - boxY;
            uint32_t value;
            if (writer.Value(GetFontCellValue(f, cell, i, j), &value))
                writer.Put(row + (ptrdiff_t)dx * writer.bytes, value);
        }
    }
}

// The bright colour of the texture path: the colour's channels tinted by the current
// bright colour.
uint32_t TextureTint(uint32_t color) {
    int r = 0, g = 0, b = 0;
    TintedChannels(color, &r, &g, &b);
    return 0xFF000000u | (uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b;
}

// Draws through the box only: draw area and viewport narrowed to it (inside the current
// area), both put back after.
template <typename Draw>
void ThroughBox(RECT box, Draw draw) {
    const RECT saved = g_drawState.drawArea;
    ClipRect(&box, &saved);
    SetDrawAreaRect(box);
    if (!g_drawState.drawAreaEmpty) {
        if (IsDirect3DDrawingUsable()) G_D3D_SetClipViewport(&box);
        draw();
    }
    SetDrawAreaRect(saved);
    if (IsDirect3DDrawingUsable()) G_D3D_SetClipViewport(&saved);
}

struct TextureGlyphDraw {
    const FontData* f;
    int x, y;
    bool scaled, vertical;
    double sx, sy;
    uint32_t text, edge;  // bright colours
    int transparent;

    void Draw(const GlyphCell* cell, double pen) const {
        int cx = 0, cy = 0;
        GetFontCellOrigin(f, cell, &cx, &cy);
        const int w = cell->width, h = cell->height;
        const bool edged = (f->fontType & 1) != 0 && f->edgeGraph != -1;
        for (int pass = edged ? 0 : 1; pass < 2; ++pass) {
            const int graph = pass == 0 ? f->edgeGraph : f->cacheGraph;
            SetBrightColorPacked(pass == 0 ? edge : text);
            if (!vertical && !scaled) {
                DrawGraphSourceRect(x + (int)pen + cell->xOffset, y + cell->yOffset, cx, cy, w, h, graph, transparent,
                                    0);
            } else if (!vertical) {
                const int x1 = x + (int)(sx * cell->xOffset + pen), y1 = y + (int)(sy * cell->yOffset);
                DrawGraphSourceRectStretched(x1, y1, x1 + (int)(sx * w), y1 + (int)(sy * h), cx, cy, w, h, graph,
                                             transparent);
            } else if (!scaled) {
                // The glyph's top faces right: cache point (u, v) lands at (X + cy - v, Y - cx + u).
                const int X = x + f->cellHeight - cell->yOffset, Y = y + (int)pen + cell->xOffset;
                GraphData* g = GetGraphData(graph);
                if (g == nullptr) continue;
                const float W = (float)g->width, H = (float)g->height;
                const float left = (float)(X + cy) - 0.5f, top = (float)(Y - cx) - 0.5f;
                ThroughBox(RECT{X - h, Y, X, Y + w}, [&] {
                    DrawFreeQuadGraph(left, top, left, top + W, left - H, top + W, left - H, top, graph, transparent);
                });
            } else {
                const int X = x + (int)(sx * (f->cellHeight - cell->yOffset)), Y = y + (int)(sy * cell->xOffset + pen);
                const int boxW = (int)(sx * h), boxH = (int)(sy * w);
                const int part = DeriveGraph(cx, cy, w, h, graph);
                if (part == -1) continue;
                const float left = (float)X - 0.5f, top = (float)Y - 0.5f;
                ThroughBox(RECT{X - boxW, Y, X, Y + boxH}, [&] {
                    DrawFreeQuadGraph(left, top, left, top + (float)boxH, left - (float)boxW, top + (float)boxH,
                                      left - (float)boxW, top, part, transparent);
                });
                DeleteOneGraph(part, 0);
            }
        }
    }
};

}  // namespace

int DrawFontStringCore(int mode, int x, int y, int scaled, double scaleX, double scaleY, const char* text,
                       uint32_t color, MEMIMG* dst, const RECT* clip, int transparent, int font, uint32_t edgeColor,
                       int length, int vertical, SIZE* outSize) {
    if (GetDirectDrawObject() == nullptr) return -1;
    FontData* f = GetFontData(font);
    if (f == nullptr) return -1;
    bool drawing = mode == 1;
    bool texture = f->textureCache != 0;
    // Scaling applies only to texture caches, and when drawing only with the scaled flag.
    if (!texture || (drawing && !scaled)) scaleX = scaleY = 1.0;
    double advanceScale = vertical ? scaleY : scaleX;
    if (text == nullptr || text[0] == '\0') return 0;
    int n = (int)std::strlen(text);
    if (length != -1 && length < n) n = length < 0 ? 0 : length;
    if (n == 0) return 0;
    if (drawing && !texture && (dst == nullptr || clip == nullptr || dst->pixels == nullptr)) return -1;

    PixelWriter writer = {};
    RECT area = {};
    TextureGlyphDraw glyphs = {};
    int savedBlendGraph = -1, savedBorderParam = 0, savedBorderRange = 0;
    uint32_t savedBright = 0;
    if (drawing && texture) {
        glyphs = TextureGlyphDraw{f, x, y, scaled != 0, vertical != 0, scaleX, scaleY, TextureTint(color),
                                  TextureTint(edgeColor), transparent};
        savedBlendGraph = g_drawState.blendGraph;
        savedBorderParam = g_drawState.blendGraphBorderParam;
        savedBorderRange = g_drawState.blendGraphBorderRange;
        savedBright = g_drawState.brightColor;
        SelectBlendGraph(-1, 0, 0);
    } else if (drawing) {
        writer.type = f->fontType & 3;
        writer.bytes = GetMEMIMGPixelBytes(dst->type, dst->usePalette, dst->useAlpha);
        writer.wide = dst->type == kMemImgXrgb8888;
        writer.alphaShift = !(f->fontType & 2) ? -1 : writer.wide ? 24 : writer.bytes == 4 ? 16 : -1;
        writer.text = TintColor(color);
        writer.edge = TintColor(edgeColor);
        writer.transparent = transparent != 0;
        area = *clip;
        RECT image = {0, 0, dst->width, dst->height};
        ClipRect(&area, &image);
    }

    char* cells = (char*)AllocMemory(3 * n + 1, "QzGraphics", __LINE__);
    if (cells == nullptr) return -1;
    int count = 0;
    CacheStringGlyphs(font, text, n, cells, &count);
    double pen = 0.0;
    for (int k = 0; k < count; ++k) {
        const unsigned char* ch = (const unsigned char*)cells + 3 * k;
        CharEntry* entry = &f->charTable[ch[0] + 256 * ch[1]];
        GlyphCell* cell = entry->cached ? entry->cell : nullptr;
        if (cell == nullptr) {
            // Evicted by the ring while this string was cached: rendered again now.
            cell = CacheFontGlyphs(1, (const char*)ch, font);
            if (cell == nullptr) ExitWithFatalError("テキストキャッシュの作成に失敗しました");
        }
        bool space = (ch[1] == 0 && ch[0] == 0x20) || (ch[0] == 0x81 && ch[1] == 0x40);
        if (drawing && texture && !space && cell->width > 0 && cell->height > 0) {
            glyphs.Draw(cell, pen);
        } else if (drawing && !space && cell->width > 0 && cell->height > 0) {
            int boxX, boxY;
            if (vertical) {
                boxX = x + f->cellHeight - cell->yOffset;
                boxY = y + (int)pen + cell->xOffset;
            } else {
                boxX = x + (int)pen + cell->xOffset;
                boxY = y + cell->yOffset;
            }
            PutGlyph(f, cell, dst, area, writer, boxX, boxY, vertical != 0);
        }
        pen += (cell->advance + f->spacing) * advanceScale;
    }
    FreeMemory(cells);
    if (drawing && texture) {
        SelectBlendGraph(savedBlendGraph, savedBorderParam, savedBorderRange);
        SetBrightColorPacked(savedBright);
    }
    int advance = (int)pen;
    if (outSize != nullptr) {
        outSize->cx = vertical ? f->cellHeight : advance;
        outSize->cy = vertical ? advance : f->cellHeight;
    }
    return advance;
}

int MeasureFontStringWidth(const char* text, int length, int font, int vertical) {
    return DrawFontStringCore(0, 0, 0, 0, 1.0, 1.0, text, 0, nullptr, nullptr, 0, font, 0, length, vertical, nullptr);
}

int MeasureFontString(int font, const char* text, int vertical, int* width, int* height) {
    SIZE size = {0, 0};
    if (DrawFontStringCore(0, 0, 0, 0, 1.0, 1.0, text, 0, nullptr, nullptr, 0, font, 0, -1, vertical, &size) < 0)
        return -1;
    if (width) *width = size.cx;
    if (height) *height = size.cy;
    return 0;
}

int DrawFontStringCore(MEMIMG* dst, int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor,
                       int vertical) {
    RECT clip = g_drawState.drawArea;
    return DrawFontStringCore(1, x, y, 0, 1.0, 1.0, text, color, dst, &clip, 1, font, edgeColor, -1, vertical,
                              nullptr) < 0
               ? -1
               : 0;
}

int DrawStringWithFont(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor, int vertical) {
    if (g_drawState.drawAreaEmpty) return 0;
    FontData* f = GetFontData(font);
    if (f == nullptr) return WriteLog("フォントハンドル値が異常です\n");
    if (text == nullptr || text[0] == '\0') return 0;
    WaitForWindowActive();
    const RECT& area = g_drawState.drawArea;
    bool texture = f->textureCache != 0;
    bool softFront = g_drawState.drawScreen == kDrawTargetFront && IsSoftwareScreen();
    bool masked = g_drawState.maskActive && !texture;
    // Direct3D cannot subtract: the text is added between two inversions of R.
    bool subtract = texture && g_drawState.blendMode == 3 && g_graphCreateSettings.use3D && IsDirect3DDrawingUsable();
    RECT r = {};
    if (masked || softFront || subtract) {
        if (vertical) {
            // Down the page the text covers its line's width and runs to the bottom.
            r = RECT{x, y, x + f->cellHeight + 3, area.bottom};
            if (y >= area.bottom) return 0;
        } else {
            r = RECT{x, y, area.right, y + f->size + 3};
            if (x >= area.right) return 0;
        }
    }
    if (masked) BeginMaskedDraw(r.left, r.top, r.right, r.bottom);
    if (softFront) RefreshFrontMEMIMG();
    if (subtract) BeginSubtractBlendDraw(&r);
    int result = texture ? G_D3D_DrawStringWithFont(x, y, text, color, font, edgeColor, vertical)
                         : DrawStringOnSurface2D(x, y, text, color, font, edgeColor, vertical);
    if (subtract) EndSubtractBlendDraw(&r);
    if (masked) EndMaskedDraw(r.left, r.top, r.right, r.bottom);
    if (softFront) CopyFrontMEMIMGToPrimary(&r);
    return result;
}
