// QzGraphicsFont.cpp: the font table, font creation with its character-set fallbacks
// and cell sizing, the texture cache and its staging image, the memory cache and its
// work piece, and the default font. Glyph rendering is QzGraphicsFontCache.cpp.
//
// Rules: a font's cells are squares of cellWidth = the widest advance (+ 2 x edge for
// edge fonts) rounded up to 8; cellHeight = the text height (+ 2 x edge) made even. The
// texture cache starts at 512 x 512 and doubles (the width while it is not the larger
// side, else the height) until it holds 10 cells; it uses at most 2024 of them, in
// columns of height / cellWidth. The memory cache holds 327680 / cellWidth^2 cells, at
// least 20 and at most 2024, in one column. A texture cache that cannot be made falls
// back to memory. Re-creating a font after a device reset keeps its slot and check
// number, so every handle stays valid. Main thread under the library lock.
#include "QzGraphicsFont.h"

#include <cstring>

#include "Qz3DSystem.h"
#include "QzDraw2D.h"
#include "QzDrawSurfaceData.h"
#include "QzDrawScreen.h"
#include "QzGraphicsData.h"
#include "QzGraphicsDraw.h"
#include "QzGraphicsHandle.h"
#include "QzGraphicsSystem.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"

DefaultFontSettings g_defaultFont = {"", 16, 6, 0, 1, 1, 0, -1};

namespace {

void* g_fontRecords[kFontTableSize];
HandleTable g_fontTable = {kHandleKindFont, kFontTableSize, g_fontRecords, 0, 0, 0, true, 0};

const DWORD kCharSets[3] = {DEFAULT_CHARSET, SHIFTJIS_CHARSET, HANGUL_CHARSET};

HFONT MakeGdiFont(const FontData* f, DWORD charSet) {
    return CreateFontA(f->size, 0, 0, 0, f->thickness * 100, FALSE, FALSE, FALSE, charSet, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, FIXED_PITCH, f->faceName);
}

// Takes the record out of the table and frees everything it holds.
void FreeFontRecord(int slot, FontData* f) {
    if (f->gdiFont != nullptr) DeleteObject(f->gdiFont);
    if (f->memCache != nullptr) FreeMemory(f->memCache);
    if (f->drawSurface != -1) DeleteSurface2D(f->drawSurface);
    // A cache already deleted (with every graphic) took its edge half along: its handles
    // may name other graphics by now.
    if (!f->cacheGraphLost) {
        if (f->edgeGraph != -1) DeleteOneGraph(f->edgeGraph, 0);
        if (f->cacheGraph != -1) DeleteOneGraph(f->cacheGraph, 0);
    }
    FreeGraphImage(&f->staging);
    if (f->deleteNotify != nullptr) *f->deleteNotify = 1;
    FreeMemory(f);
    ReleaseHandleSlot(&g_fontTable, slot);
}

// A failure after the record was made: the GDI font and the record go.
int FailCreation(int slot, FontData* f, const char* message) {
    FreeFontRecord(slot, f);
    return WriteLog(message);
}

bool IsFormat(const ColorFormat* f, int alpha, int channel) {
    return f != nullptr && f->colorBitDepth == 16 && f->alphaWidth == alpha && f->redWidth == channel &&
           f->greenWidth == channel && f->blueWidth == channel;
}

// Largest side the texture cache grows to: a face far wider than any real one falls back
// to memory instead of doubling without end.
constexpr int kMaxTextureCacheSide = 8192;

// Texture mode: the cache size and ring, the cache graphic and the staging image. 1: made;
// 0: the cache could not be made (memory mode follows); -1: the staging image failed.
int SetupTextureMode(FontData* f, int handle) {
    int width = 512, height = 512, side = f->cellWidth;
    while ((width / side) * (height / side) < 10) {
        if (width > height) height *= 2;
        else width *= 2;
        if (width > kMaxTextureCacheSide || height > kMaxTextureCacheSide) {
            WriteLog("テクスチャ文字キャッシュの作成に失敗しました\n");
            return 0;
        }
    }
    int cells = (width / side) * (height / side);
    f->textureCache = 1;
    f->cacheWidth = width;
    f->cacheHeight = height;
    f->cellCount = cells > kFontMaxCells ? kFontMaxCells : cells;
    f->cellsPerColumn = height / side;
    f->cacheGraphLost = 1;
    if (SetupFontCache(handle) != 0) {
        WriteLog("テクスチャ文字キャッシュの作成に失敗しました\n");
        f->textureCache = 0;
        return 0;
    }
    bool edge = (f->fontType & 1) != 0;
    GraphImage& st = f->staging;
    st.colorFormat = *G_D3D_GetTextureColorFormat((f->fontType & 2) ? 2 : 4);
    st.width = edge ? 2 * side : side;
    st.height = edge ? side + 2 * f->edgeSize : side;
    st.pitch = st.width * st.colorFormat.pixelBytes;
    st.pixels = AllocZeroedMemory(st.pitch * st.height, "QzGraphics", __LINE__);
    if (st.pixels == nullptr) {
        WriteLog("文字キャッシュ処理用メモリの確保に失敗しました\n");
        return -1;
    }
    return 1;
}

int FinishFont(int handle, FontData* f, int charsetIndex) {
    ResetFontGlyphCache(handle);
    f->charsetIndex = charsetIndex;
    f->deleteNotify = nullptr;
    return handle;
}

int CreateFontFromSettings() {
    bool edge = (g_defaultFont.fontType & 1) != 0;
    const char* face = g_defaultFont.faceName[0] != '\0' ? g_defaultFont.faceName : nullptr;
    int font = CreateFontToHandle(face, g_defaultFont.size, g_defaultFont.thickness, g_defaultFont.fontType,
                                  g_defaultFont.charsetIndex, edge ? g_defaultFont.edgeSize : -1, -1, -1);
    g_defaultFont.handle = font;
    if (font != -1) SetFontSpacing(g_defaultFont.spacing, font);
    return font;
}

}  // namespace

FontData* GetFontData(int font) {
    return static_cast<FontData*>(GetHandleRecord(&g_fontTable, font));
}

int CheckFontHandle(int font) {
    return GetFontData(font) != nullptr ? 1 : 0;
}

int CreateFontToHandle(const char* faceName, int size, int thickness, int fontType, int charsetIndex, int edgeSize,
                       int slot, int checkNumber) {
    if (GetDirectDrawObject() == nullptr) return -1;
    if (fontType == -1) fontType = 0;
    if (edgeSize > 0) fontType |= 1;
    if (size == -1) size = 16;
    if (thickness == -1) thickness = 6;
    if (edgeSize == -1) edgeSize = 1;
    if (charsetIndex == -1) charsetIndex = GetOEMCP() == 949 ? 2 : 1;
    if (charsetIndex < 0 || charsetIndex > 2) charsetIndex = 0;
    // A slot or check number outside the table's range names no handle at all.
    if (slot < -1 || slot >= kFontTableSize || checkNumber < -1 || checkNumber >= kHandleCheckLimit) return -1;

    if (slot == -1) {
        slot = ChooseHandleSlot(&g_fontTable);
        if (slot == -1) return WriteLogFormat("作成できるフォントハンドル数 %d の限界を超えました", kFontTableSize);
    } else if (g_fontRecords[slot] != nullptr) {
        return -1;
    }

    FontData* f = static_cast<FontData*>(AllocZeroedMemory(sizeof(FontData), "QzGraphics", __LINE__));
    if (f == nullptr) return WriteLog("フォント管理用メモリ領域の確保に失敗しました\n");
    f->drawSurface = -1;
    f->cacheGraph = -1;
    f->edgeGraph = -1;
    if (GetColorBitDepth() == 8) fontType &= ~2;
    f->size = size;
    f->thickness = thickness;
    f->fontType = fontType;
    f->edgeSize = edgeSize;
    f->spacing = 0;
    if (faceName != nullptr) {
        std::strncpy(f->faceName, faceName, sizeof f->faceName - 1);
    }
    int savedCounter = g_fontTable.checkCounter;
    int handle = TakeHandleSlot(&g_fontTable, slot, f);
    if (checkNumber != -1) {
        // A font re-made in its own slot keeps its check number; the counter is not used.
        g_fontTable.checkCounter = savedCounter;
        f->checkNumber = checkNumber;
        handle = MakeHandle(kHandleKindFont, slot, checkNumber);
    }

    // The GDI font: the index's character set, then the fallbacks.
    HFONT gdi = MakeGdiFont(f, kCharSets[charsetIndex]);
    if (f->faceName[0] != '\0') {
        if (gdi == nullptr) gdi = MakeGdiFont(f, DEFAULT_CHARSET);
        if (gdi == nullptr) gdi = MakeGdiFont(f, SHIFTJIS_CHARSET);
        if (gdi == nullptr) return FailCreation(slot, f, "指定のフォントの作成に失敗しました\n");
    } else {
        if (gdi == nullptr) gdi = MakeGdiFont(f, DEFAULT_CHARSET);
        if (gdi == nullptr) return FailCreation(slot, f, "フォントの作成に失敗しました\n");
    }

    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) {
        DeleteObject(gdi);
        return FailCreation(slot, f, "ＤＣの取得に失敗しました\n");
    }
    HGDIOBJ old = SelectObject(dc, gdi);
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    int edge = (fontType & 1) ? 2 * edgeSize : 0;
    f->cellWidth = (tm.tmMaxCharWidth + edge + 7) / 8 * 8;
    f->cellHeight = tm.tmHeight + edge;
    if (f->cellHeight & 1) ++f->cellHeight;
    if (f->gdiFont != nullptr) DeleteObject(f->gdiFont);
    f->gdiFont = gdi;
    if (f->cellWidth <= 0) f->cellWidth = 8;

    if (IsFontTextureModeUsable()) {
        int made = SetupTextureMode(f, handle);
        if (made == -1) {
            FreeFontRecord(slot, f);
            return -1;
        }
        if (made == 1) return FinishFont(handle, f, charsetIndex);
    }

    // Memory cache.
    f->textureCache = 0;
    f->memCacheBits = (fontType == 0) ? 1 : 8;
    int cells = 327680 / (f->cellWidth * f->cellWidth);
    f->cellCount = cells < 20 ? 20 : cells > kFontMaxCells ? kFontMaxCells : cells;
    f->cacheWidth = f->cellWidth;
    f->cacheHeight = f->cellCount * f->cellWidth;
    f->cellsPerColumn = f->cellCount;
    f->memCachePitch = (f->memCacheBits * f->cellWidth + 7) / 8;
    f->memCache = static_cast<uint8_t*>(
        AllocZeroedMemory(f->memCachePitch * f->cacheHeight, "QzGraphics", __LINE__));
    if (f->memCache == nullptr)
        return FailCreation(slot, f, "フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle");
    f->drawSurfaceLost = 1;
    if (SetupFontCache(handle) != 0) return FailCreation(slot, f, "フォント用描画スクリーンの作成に失敗しました\n");
    return FinishFont(handle, f, charsetIndex);
}

int DeleteFontData(int font) {
    FontData* f = GetFontData(font);
    if (f == nullptr) return -1;
    FreeFontRecord(GetHandleSlot(font), f);
    return 0;
}

int SetFontDeleteNotify(int font, int32_t* notify) {
    FontData* f = GetFontData(font);
    if (f == nullptr) return -1;
    f->deleteNotify = notify;
    if (notify != nullptr) *notify = 0;
    return 0;
}

int SetFontSpacing(int spacing, int font) {
    FontData* f = GetFontData(font);
    if (f == nullptr) return -1;
    f->spacing = spacing;
    return 0;
}

int SetupFontCache(int font) {
    FontData* f = GetFontData(font);
    if (f == nullptr) return -1;
    if (!f->textureCache && f->drawSurfaceLost) {
        f->drawSurfaceLost = 0;
        int width = 0, height = 0;
        GetScreenSize(&width, &height);
        const uint8_t flags[8] = {0, static_cast<uint8_t>((f->fontType & 2) ? 1 : 0), 0, 1, 1,
                                  static_cast<uint8_t>(GetColorBitDepth()), 0, 0};
        f->drawSurface = AddSurface2D(width, height, 0, 0, -1, nullptr, 0, 0, flags);
        if (f->drawSurface == -1) return -1;
        SetSurface2DDeleteNotify(f->drawSurface, &f->drawSurfaceLost);
    }
    if (f->textureCache && f->cacheGraphLost) {
        f->cacheGraphLost = 0;
        f->edgeGraph = -1;
        f->cacheGraph = -1;
        GraphCreateSettings& settings = g_graphCreateSettings;
        const int alpha = settings.alphaChannel, depth = settings.colorBitDepth, trans = settings.transColorUse;
        const int use3D = settings.use3D;
        const bool antialiased = (f->fontType & 2) != 0, edge = (f->fontType & 1) != 0;
        settings.alphaChannel = antialiased ? 1 : 0;
        settings.transColorUse = antialiased ? 0 : 1;
        settings.colorBitDepth = 16;
        settings.use3D = 1;
        f->cacheGraph = CreateBlankGraph(edge ? 2 * f->cacheWidth : f->cacheWidth, f->cacheHeight);
        if (f->cacheGraph != -1 && edge)
            f->edgeGraph = DeriveGraph(f->cacheWidth, 0, f->cacheWidth, f->cacheHeight, f->cacheGraph);
        settings.alphaChannel = alpha;
        settings.transColorUse = trans;
        settings.colorBitDepth = depth;
        settings.use3D = use3D;
        if (f->cacheGraph == -1) return -1;
        SetGraphDeleteNotify(f->cacheGraph, &f->cacheGraphLost);
        FillGraphColor(f->cacheGraph, 255, 255, 255, 0);
        ResetFontGlyphCache(font);
    }
    return 0;
}

int SetupFontCache(int font, int* piece, MEMIMG** image) {
    if (piece) *piece = -1;
    if (image) *image = nullptr;
    if (SetupFontCache(font) != 0) return -1;
    FontData* f = GetFontData(font);
    Surface2D* s = GetSurface2D(f->drawSurface);
    SurfaceData* store = s != nullptr ? GetSurfaceData(s->store) : nullptr;
    if (store == nullptr || !store->memImageStore) return -1;
    if (piece) *piece = f->drawSurface;
    if (image) *image = &store->memImage;
    return 0;
}

int ResetFontGlyphCache(int font) {
    FontData* f = GetFontData(font);
    if (f == nullptr) return -1;
    std::memset(f->charTable, 0, sizeof f->charTable);
    std::memset(f->cells, 0, sizeof f->cells);
    for (int i = 0; i < f->cellCount; ++i) f->cells[i].slot = i;
    f->cells[f->cellCount].slot = -1;
    f->ringPosition = 0;
    return 0;
}

int InitializeFonts() {
    if (GetDirectDrawObject() == nullptr) return -1;
    WriteLog("フォントの初期化を行います\n");
    IndentLog();
    FontData* def = GetFontData(g_defaultFont.handle);
    char face[256] = "";
    int size = 16, thickness = 6, type = -1, charset = -1;
    bool had = def != nullptr;
    if (had) {
        std::memcpy(face, def->faceName, sizeof face);
        size = def->size, thickness = def->thickness, type = def->fontType, charset = def->charsetIndex;
    }
    for (int slot = 0; slot < kFontTableSize; ++slot)
        if (g_fontRecords[slot] != nullptr) FreeFontRecord(slot, static_cast<FontData*>(g_fontRecords[slot]));
    g_defaultFont.handle = CreateFontToHandle(face[0] ? face : nullptr, size, thickness, type, charset, -1, -1, -1);
    UnindentLog();
    WriteLog("フォントの初期化は正常に終了しました\n");
    return 0;
}

int RestartFontCheckCounter() {
    g_fontTable.checkCounter = 0;
    return 0;
}

int RecreateAllFonts() {
    for (int slot = 0; slot < kFontTableSize; ++slot) {
        FontData* f = static_cast<FontData*>(g_fontRecords[slot]);
        if (f == nullptr) continue;
        char face[256];
        std::memcpy(face, f->faceName, sizeof face);
        int size = f->size, thickness = f->thickness, type = f->fontType, charset = f->charsetIndex;
        int check = f->checkNumber;
        // An edge font keeps its edge size, so its text looks the same after the reset.
        int edge = (type & 1) ? f->edgeSize : -1;
        FreeFontRecord(slot, f);
        CreateFontToHandle(face[0] ? face : nullptr, size, thickness, type, charset, edge, slot, check);
    }
    return 0;
}

int TerminateFonts() {
    InitializeFonts();
    DeleteFontData(g_defaultFont.handle);
    g_defaultFont.handle = -1;
    return 0;
}

int SetStandardFontSize(const char*, int size, int thickness) {
    if (GetDirectDrawObject() == nullptr) return -1;
    g_defaultFont.size = size == -1 ? 16 : size;
    g_defaultFont.thickness = thickness == -1 ? 6 : thickness;
    return UpdateStandardFont();
}

int UpdateStandardFont() {
    FontData* f = GetFontData(g_defaultFont.handle);
    if (f != nullptr && std::strcmp(f->faceName, g_defaultFont.faceName) == 0 &&
        f->fontType == g_defaultFont.fontType && f->size == g_defaultFont.size &&
        f->thickness == g_defaultFont.thickness && f->charsetIndex == g_defaultFont.charsetIndex &&
        f->edgeSize == g_defaultFont.edgeSize)
        return 0;
    if (f != nullptr) DeleteFontData(g_defaultFont.handle);
    CreateFontFromSettings();
    return 0;
}

int GetStandardFontHandle() {
    return g_defaultFont.handle;
}

int GetFontInfo(char* faceName, int* size, int* thickness, int font) {
    FontData* f = GetFontData(font);
    if (f == nullptr) return -1;
    if (faceName) std::strcpy(faceName, f->faceName);
    if (size) *size = f->size;
    if (thickness) *thickness = f->thickness;
    return 0;
}

int GetFontHandleSize(int font) {
    FontData* f = GetFontData(font);
    return f != nullptr ? f->size : -1;
}

int GetDefaultFontSettings(char* faceName, int faceSize, int* size, int* thickness) {
    FontData* f = GetFontData(g_defaultFont.handle);
    if (f == nullptr) return -1;
    if (faceName != nullptr && faceSize > 0) {
        std::strncpy(faceName, f->faceName, (size_t)faceSize - 1);
        faceName[faceSize - 1] = '\0';
    }
    if (size) *size = f->size;
    if (thickness) *thickness = f->thickness;
    return 0;
}

int FontUsesTextureCache(int font) {
    FontData* f = GetFontData(font);
    return f != nullptr && f->textureCache ? 1 : 0;
}

int IsFontAntialiased(int font) {
    FontData* f = GetFontData(font);
    return f != nullptr && (f->fontType & 2) ? 1 : 0;
}

int GetFontCellValue(const FontData* f, const GlyphCell* cell, int i, int j) {
    const uint8_t* row = f->memCache + (size_t)f->memCachePitch * ((size_t)cell->slot * f->cellWidth + j);
    if (f->memCacheBits == 1) return (row[i >> 3] >> (7 - (i & 7))) & 1;
    return row[i];
}

int GetFontCellOrigin(const FontData* f, const GlyphCell* cell, int* x, int* y) {
    *x = cell->slot / f->cellsPerColumn * f->cellWidth;
    *y = cell->slot % f->cellsPerColumn * f->cellWidth;
    return 0;
}

int IsFontTextureModeUsable() {
    if (!IsDirect3DDrawingUsable() || !g_graphCreateSettings.use3D || IsSoftwareScreen()) return 0;
    return IsFormat(G_D3D_GetTextureColorFormat(2), 4, 4) && IsFormat(G_D3D_GetTextureColorFormat(4), 1, 5) ? 1 : 0;
}
