// Fonts whose glyph cache is a texture (Direct3D on, with the A4R4G4B4 and A1R5G5B5
// formats): cache sizing, the staging pixels as they reach the texture, text drawn through
// Direct3D against the same text through the memory path, vertical text inside a narrowed
// draw area, device loss and a mode change, and one frame of Japanese text.
#include <cstring>
#include <string>
#include <vector>

#include "GraphFixture.h"
#include "PngRead.h"
#include "Qz3DDevice.h"
#include "Qz3DSystem.h"
#include "QzDraw2DDraw.h"
#include "QzDrawPresent.h"
#include "QzDrawScreenColor.h"
#include "QzDrawScreenMode.h"
#include "QzGraphicsDraw.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFont.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsSystem.h"
#include "QzGraphicsText.h"
#include "QzWinScreenLog.h"
#include "QzWinState.h"
#include "QzWinWindow.h"

namespace QzGraphicsFontTexture_test {

namespace {

ptest::SyntheticGlyph Glyph(int width, int height, int advance, int originX, int originY, std::vector<uint8_t> levels) {
    ptest::SyntheticGlyph g;
    g.width = width;
    g.height = height;
    g.advance = advance;
    g.originX = originX;
    g.originY = originY;
    g.levels = std::move(levels);
    return g;
}

ptest::SyntheticGlyph Solid(int width, int height, int advance, int originX = 0, int originY = 14) {
    return Glyph(width, height, advance, originX, originY, std::vector<uint8_t>((size_t)width * height, 16));
}

// A checker of full and empty pixels: any turn or shift of it shows.
ptest::SyntheticGlyph Checker(int width, int height, int advance, int originX, int originY) {
    std::vector<uint8_t> levels;
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) levels.push_back((i * 3 + j) % 4 < 2 ? 16 : 0);
    return Glyph(width, height, advance, originX, originY, levels);
}

int Ink(const ptest::SyntheticGlyph& g) {
    int n = 0;
    for (uint8_t level : g.levels) n += level >= 8;
    return n;
}

void RegisterFace(const char* name, int maxWidth, std::vector<std::pair<UINT, ptest::SyntheticGlyph>> glyphs = {}) {
    ptest::SyntheticFace face;
    face.name = name;
    face.height = 16;
    face.ascent = 14;
    face.maxCharWidth = maxWidth;
    face.glyphs = std::move(glyphs);
    face.missing = Solid(1, 1, 4);
    ptest::RegisterSyntheticFace(face);
}

// 'F' fills its whole cell, so a neighbour cell drawn by mistake shows; 'a' and 'b' are
// checkers with offsets.
void RegisterInkFace() {
    RegisterFace("Ink", 16, {{'F', Solid(16, 16, 16, 0, 14)}, {'a', Checker(5, 7, 8, 1, 10)},
                             {'b', Checker(3, 9, 6, 0, 12)}});
}

class FontTextureTest : public GraphTest {
protected:
    void StartAt32(int windowMode = 1) {
        Start(windowMode);
        ASSERT_EQ(SetScreenMode(640, 480, 32, 60), 0);
        ASSERT_NE(g_d3d.direct3D, nullptr);
        SelectDrawTarget(kDrawTargetBack);
    }
    // The back screen filled with one colour through Direct3D.
    static void Fill(uint32_t rgb) {
        SetDrawClipArea(0, 0, 640, 480);
        ClearDrawTarget();
        DrawFilledBox(0, 0, 640, 480, GetScreenColorValue(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF));
    }
    // A texel of the graphic as stored (16-bit formats).
    static uint32_t Texel(int handle, int x, int y) {
        GraphData* g = GetGraphData(handle);
        if (g == nullptr || !g->useTexture) return 0xFFFFFFFFu;
        for (int i = 0; i < g->pieceCount; ++i) {
            Surface3DData* p = GetSurface3DData(g->pieces[i]);
            if (p == nullptr || x < p->x || y < p->y || x >= p->x + p->width || y >= p->y + p->height) continue;
            int pitch = 0;
            void* bits = nullptr;
            const ColorFormat* f = nullptr;
            if (LockSurfaceData(p->surfaceData, &pitch, &bits, 0, nullptr, &f) < 0) return 0xFFFFFFFFu;
            uint32_t v = 0;
            std::memcpy(&v,
                        (const uint8_t*)bits + (size_t)(p->textureY + y - p->y) * pitch +
                            (size_t)(p->textureX + x - p->x) * f->pixelBytes,
                        f->pixelBytes);
            UnlockSurfaceData(p->surfaceData, nullptr);
            return v;
        }
        return 0xFFFFFFFFu;
    }
};

TEST_F(FontTextureTest, CacheSizingTable) {
    StartAt32();
    struct Case {
        const char* name;
        int maxWidth, type, edge;
        int cellWidth, cacheWidth, cacheHeight, cellCount, graphWidth, stagingW, stagingH, alphaBits;
    };
    const Case cases[] = {
        {"width 16", 16, 0, -1, 16, 512, 512, 1024, 512, 16, 16, 1},
        {"width 200 grows", 200, 0, -1, 200, 1024, 512, 10, 1024, 200, 200, 1},
        {"edge 2, anti-aliased", 16, 3, 2, 24, 512, 512, 21 * 21, 1024, 48, 28, 4},
        {"width 8 capped", 8, 2, -1, 8, 512, 512, 2024, 512, 8, 8, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegisterFace(c.name, c.maxWidth);
        int font = CreateFontToHandle(c.name, 16, -1, c.type, -1, c.edge, -1, -1);
        ASSERT_NE(font, -1);
        FontData* f = GetFontData(font);
        EXPECT_EQ(f->textureCache, 1);
        EXPECT_EQ(f->cellWidth, c.cellWidth);
        EXPECT_EQ(f->cacheWidth, c.cacheWidth);
        EXPECT_EQ(f->cacheHeight, c.cacheHeight);
        EXPECT_EQ(f->cellCount, c.cellCount);
        EXPECT_EQ(f->cellsPerColumn, c.cacheHeight / c.cellWidth);
        EXPECT_EQ(f->memCache, nullptr);
        GraphData* cache = GetGraphData(f->cacheGraph);
        ASSERT_NE(cache, nullptr);
        EXPECT_EQ(cache->width, c.graphWidth);
        EXPECT_EQ(cache->height, c.cacheHeight);
        EXPECT_EQ(f->edgeGraph != -1, (c.type & 1) != 0);
        EXPECT_EQ(f->staging.width, c.stagingW);
        EXPECT_EQ(f->staging.height, c.stagingH);
        EXPECT_EQ(f->staging.colorFormat.alphaWidth, c.alphaBits);
        int cacheGraph = f->cacheGraph;
        EXPECT_EQ(DeleteFontData(font), 0);
        EXPECT_EQ(GetGraphData(cacheGraph), nullptr) << "the cache goes with its font";
    }
    // New graphics without 3D: the memory cache.
    SetNewGraph3DFlag(0);
    int font = CreateFontToHandle("width 16", 16, -1, 0, -1, -1, -1, -1);
    EXPECT_EQ(GetFontData(font)->textureCache, 0);
    EXPECT_EQ(GetFontData(font)->cellCount, 1280);
    EXPECT_EQ(GetFontData(font)->cacheGraph, -1);
}

// Without both 16-bit alpha texture formats a font keeps to memory.
TEST_F(FontTextureTest, MissingAlphaFormatsGiveTheMemoryCache) {
    DDPIXELFORMAT rgb565 = {};
    rgb565.dwSize = sizeof rgb565;
    rgb565.dwFlags = DDPF_RGB;
    rgb565.dwRGBBitCount = 16;
    rgb565.dwRBitMask = 0xF800;
    rgb565.dwGBitMask = 0x07E0;
    rgb565.dwBBitMask = 0x001F;
    DDPIXELFORMAT argb = rgb565;
    argb.dwFlags = DDPF_RGB | DDPF_ALPHAPIXELS;
    argb.dwRGBBitCount = 32;
    argb.dwRBitMask = 0xFF0000;
    argb.dwGBitMask = 0xFF00;
    argb.dwBBitMask = 0xFF;
    argb.dwRGBAlphaBitMask = 0xFF000000;
    ptest::ScriptD3DTextureFormats({rgb565, argb});
    StartAt32();
    RegisterFace("Plain", 16);
    int font = CreateFontToHandle("Plain", 16, -1, 2, -1, -1, -1, -1);
    ASSERT_NE(font, -1);
    EXPECT_EQ(GetFontData(font)->textureCache, 0);
}

// The texels a glyph leaves in the cache: one row of levels 8, 0, 4 with an edge of 1.
// A1R5G5B5 for types 0 and 1 (opaque where the bit is set: level 8 and up), A4R4G4B4 for
// types 2 and 3 (alpha = level - 1); the edge half takes the mask of the body, type 3 as
// the union of coverages: at x = 2, E = 8 from the left, then (256 - 8 x 12) / 16 = 10.
TEST_F(FontTextureTest, StagedPixelsPerType) {
    StartAt32();
    RegisterFace("Row", 16, {{'r', Glyph(3, 1, 6, 0, 10, {8, 0, 4})}, {'q', Glyph(4, 1, 6, 0, 10, {0, 1, 8, 16})}});
    struct Case {
        const char* name;
        int type, edge;
        char ch;
        std::vector<uint32_t> body, edgeRow;  // row e of the cell, x = 0 .. 4 (body) / 0 .. 4 (edge half)
    };
    const Case cases[] = {
        {"type 0", 0, -1, 'q', {0x7FFF, 0x7FFF, 0xFFFF, 0xFFFF, 0x7FFF}, {}},
        {"type 2", 2, -1, 'q', {0x0FFF, 0x0FFF, 0x7FFF, 0xFFFF, 0x0FFF}, {}},
        {"type 1", 1, 1, 'r', {0x7FFF, 0xFFFF, 0x7FFF, 0x7FFF, 0x7FFF}, {0xFFFF, 0x7FFF, 0xFFFF, 0x7FFF, 0x7FFF}},
        {"type 3", 3, 1, 'r', {0x0FFF, 0x7FFF, 0x0FFF, 0x3FFF, 0x0FFF}, {0x7FFF, 0x0FFF, 0x9FFF, 0x0FFF, 0x3FFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int font = CreateFontToHandle("Row", 16, -1, c.type, -1, c.edge, -1, -1);
        ASSERT_NE(font, -1);
        FontData* f = GetFontData(font);
        const char text[] = {'F', c.ch, 0};  // 'F' is the missing glyph here: the second cell is used
        MeasureFontStringWidth(text, -1, font, 0);
        GlyphCell* cell = f->charTable[(unsigned char)c.ch].cell;
        ASSERT_NE(cell, nullptr);
        int cx = 0, cy = 0;
        GetFontCellOrigin(f, cell, &cx, &cy);
        EXPECT_EQ(cy, f->cellWidth);
        int e = (c.type & 1) ? 1 : 0;
        std::vector<uint32_t> body, edgeRow;
        for (int x = 0; x < 5; ++x) body.push_back(Texel(f->cacheGraph, cx + x, cy + e));
        if (e)
            for (int x = 0; x < 5; ++x) edgeRow.push_back(Texel(f->cacheGraph, f->cacheWidth + cx + x, cy + e));
        EXPECT_EQ(body, c.body);
        EXPECT_EQ(edgeRow, c.edgeRow);
        if (e) {
            // Above the body: the edge half only, from the mask's upper arm.
            EXPECT_EQ(Texel(f->cacheGraph, f->cacheWidth + cx + 1, cy), c.type == 1 ? 0xFFFFu : 0x7FFFu);
            EXPECT_EQ(Texel(f->cacheGraph, cx + 1, cy), c.type == 1 ? 0x7FFFu : 0x0FFFu);
        }
        DeleteFontData(font);
    }
}

// A glyph larger than its cell stays inside it in the texture too: the cell below keeps
// its pixels, and the cell records the clipped size.
TEST_F(FontTextureTest, OversizeGlyphStaysInsideItsCell) {
    StartAt32();
    RegisterFace("Big", 8, {{'a', Solid(2, 2, 4, 0, 7)}, {'W', Solid(60, 60, 8, -3, 20)}});
    for (int type : {1, 3}) {
        int font = CreateFontToHandle("Big", 8, -1, type, -1, 1, -1, -1);
        FontData* f = GetFontData(font);
        MeasureFontStringWidth("Wa", -1, font, 0);
        GlyphCell* w = f->charTable['W'].cell;
        GlyphCell* a = f->charTable['a'].cell;
        EXPECT_EQ(w->width, f->cellWidth);
        EXPECT_EQ(w->height, f->cellWidth);
        int ax = 0, ay = 0;
        GetFontCellOrigin(f, a, &ax, &ay);
        // The cell after 'W' holds 'a': its body at (1, 1) and nothing of 'W' at (7, 7).
        EXPECT_NE(Texel(f->cacheGraph, ax + 1, ay + 1) & 0xF000, 0u) << type;
        EXPECT_EQ(Texel(f->cacheGraph, ax + 7, ay + 7) & 0x8000, 0u) << type;
        DeleteFontData(font);
    }
}

// White type-0 text through the texture cache (Direct3D) and through a memory cache of
// the same face (the 2D path) covers the same pixels, across and down the page.
TEST_F(FontTextureTest, TextureAndMemoryTextCoverTheSamePixels) {
    StartAt32();
    RegisterInkFace();
    int texture = CreateFontToHandle("Ink", 16, -1, 0, -1, -1, -1, -1);
    SetNewGraph3DFlag(0);
    int memory = CreateFontToHandle("Ink", 16, -1, 0, -1, -1, -1, -1);
    SetNewGraph3DFlag(1);
    ASSERT_EQ(GetFontData(texture)->textureCache, 1);
    ASSERT_EQ(GetFontData(memory)->textureCache, 0);
    const uint32_t white = GetScreenColorValue(255, 255, 255);
    for (int vertical : {0, 1}) {
        SCOPED_TRACE(vertical ? "down" : "across");
        Fill(0x000000);
        ASSERT_EQ(DrawStringWithFont(100, 50, "FaFbFab", white, texture, 0, vertical), 0);
        const std::vector<uint32_t> viaTexture = BackScreen();
        Fill(0x000000);
        ASSERT_EQ(DrawStringOnSurface2D(100, 50, "FaFbFab", white, memory, 0, vertical), 0);
        const std::vector<uint32_t> viaMemory = BackScreen();
        int ink = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                ASSERT_EQ(At(viaTexture, x, y), At(viaMemory, x, y)) << x << "," << y;
                ink += At(viaMemory, x, y) == 0xFFFFFF;
            }
        EXPECT_EQ(ink, 3 * 256 + 2 * Ink(Checker(5, 7, 8, 1, 10)) + 2 * Ink(Checker(3, 9, 6, 0, 12)));
    }
}

// Down the page in a narrowed draw area: no pixel outside the area changes, the pixels
// inside are those of the full draw, and the area and the viewport are the caller's after.
TEST_F(FontTextureTest, VerticalTextStaysInsideANarrowedArea) {
    StartAt32();
    RegisterInkFace();
    int font = CreateFontToHandle("Ink", 16, -1, 0, -1, -1, -1, -1);
    const uint32_t white = GetScreenColorValue(255, 255, 255);
    const uint32_t guard = 0x204060;
    Fill(guard);
    DrawStringWithFont(100, 100, "FaFbFab", white, font, 0, 1);
    const std::vector<uint32_t> whole = BackScreen();
    const RECT areas[] = {{104, 110, 113, 150}, {111, 117, 140, 128}, {90, 140, 200, 141}};
    for (const RECT& a : areas) {
        SCOPED_TRACE(std::to_string(a.left) + "," + std::to_string(a.top) + "," + std::to_string(a.right) + "," +
                     std::to_string(a.bottom));
        Fill(guard);
        SetDrawClipArea(a.left, a.top, a.right, a.bottom);
        DrawStringWithFont(100, 100, "FaFbFab", white, font, 0, 1);
        EXPECT_EQ(g_drawState.drawArea.left, a.left);
        EXPECT_EQ(g_drawState.drawArea.bottom, a.bottom);
        const D3DVIEWPORT7& vp = GetLiveD3DDeviceSlot(g_d3d.currentSlot)->viewport;
        EXPECT_EQ(vp.dwX, (DWORD)a.left);
        EXPECT_EQ(vp.dwY, (DWORD)a.top);
        EXPECT_EQ(vp.dwWidth, (DWORD)(a.right - a.left));
        EXPECT_EQ(vp.dwHeight, (DWORD)(a.bottom - a.top));
        const std::vector<uint32_t> cut = BackScreen();
        int changed = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                bool inside = x >= a.left && x < a.right && y >= a.top && y < a.bottom;
                ASSERT_EQ(At(cut, x, y), inside ? At(whole, x, y) : guard) << x << "," << y;
                changed += At(cut, x, y) != guard;
            }
        EXPECT_GT(changed, 0);
    }
}

// Only texture caches scale: a 2 x 2 glyph drawn at scale 2 (across and down) covers a
// 4 x 4 box, and the pen moves by the scaled advance.
TEST_F(FontTextureTest, TextureTextScales) {
    StartAt32();
    RegisterFace("Dot2", 16, {{'o', Solid(2, 2, 5, 1, 12)}});
    int font = CreateFontToHandle("Dot2", 16, -1, 0, -1, -1, -1, -1);
    const uint32_t white = GetScreenColorValue(255, 255, 255);
    EXPECT_EQ(DrawFontStringCore(0, 0, 0, 0, 2.0, 3.0, "oo", 0, nullptr, nullptr, 0, font, 0, -1, 0, nullptr), 20);
    EXPECT_EQ(DrawFontStringCore(0, 0, 0, 0, 2.0, 3.0, "oo", 0, nullptr, nullptr, 0, font, 0, -1, 1, nullptr), 30);
    for (int vertical : {0, 1}) {
        SCOPED_TRACE(vertical ? "down" : "across");
        Fill(0);
        RECT area = g_drawState.drawArea;
        EXPECT_EQ(DrawFontStringCore(1, 100, 100, 1, 2.0, 2.0, "o", white, nullptr, &area, 1, font, 0, -1, vertical,
                                     nullptr),
                  10);
        const std::vector<uint32_t> s = BackScreen();
        // Across: x offset 1 and y offset 2, doubled. Down: X = 100 + 2 x (16 - 2) = 128,
        // Y = 100 + 2 x 1; the box is x 124..127, y 102..105.
        const int left = vertical ? 124 : 102, top = vertical ? 102 : 104;
        int ink = 0;
        for (int y = 90; y < 140; ++y)
            for (int x = 90; x < 140; ++x) {
                bool inside = x >= left && x < left + 4 && y >= top && y < top + 4;
                EXPECT_EQ(At(s, x, y), inside ? 0xFFFFFFu : 0u) << x << "," << y;
                ink += inside;
            }
        EXPECT_EQ(ink, 16);
    }
}

// Blend mode 3 through the texture path: the text subtracts, the rest of the affected
// rectangle is inverted twice and keeps its colour.
TEST_F(FontTextureTest, SubtractedTextTakesTheInlineSteps) {
    StartAt32();
    RegisterFace("Block", 16, {{'#', Solid(4, 4, 6, 0, 14)}});
    int font = CreateFontToHandle("Block", 16, -1, 0, -1, -1, -1, -1);
    Fill(0x646464);
    SetBlendMode(3, 255);
    EXPECT_EQ(DrawStringWithFont(10, 10, "#", GetScreenColorValue(255, 40, 255), font, 0, 0), 0);
    SetBlendMode(0, 0);
    const std::vector<uint32_t> s = BackScreen();
    EXPECT_EQ(At(s, 11, 11), 0x003C00u);
    EXPECT_EQ(At(s, 15, 11), 0x646464u);
    EXPECT_EQ(At(s, 11, 20), 0x646464u);
}

// A device loss re-makes every font in its own slot: the handles stay (the log keeps its
// font), an edge font keeps its edge, and the text drawn after matches the text drawn
// before. A mode change keeps the default font's handle.
TEST_F(FontTextureTest, FontsSurviveDeviceLossAndModeChange) {
    StartAt32(0);
    RegisterInkFace();
    int edged = CreateFontToHandle("Ink", 16, -1, 1, -1, 2, -1, -1);
    int standard = GetStandardFontHandle();
    ASSERT_EQ(GetFontData(edged)->textureCache, 1);
    ASSERT_EQ(GetFontData(standard)->textureCache, 1);
    const uint32_t white = GetScreenColorValue(255, 255, 255), red = GetScreenColorValue(255, 0, 0);
    auto draw = [&] {
        SelectDrawTarget(kDrawTargetBack);
        Fill(0x000000);
        DrawStringWithFont(10, 10, "FaFb", white, edged, red, 0);
        DrawStringWithFont(300, 10, "abFa", white, edged, red, 1);
        DrawStringWithFont(10, 100, "Text あいう", white, standard, 0, 0);
        return BackScreen();
    };
    const std::vector<uint32_t> before = draw();
    int oldCache = GetFontData(edged)->cacheGraph;
    AddScreenLogText("log");
    DrawScreenLog();
    const int logFont = g_windowSystem.screenLog.font;
    ASSERT_EQ(CheckFontHandle(logFont), 1);

    HWND window = GetMainWindowHwnd();
    ptest::InjectFocus(window, false);
    ptest::MarkAllSurfacesLost();
    ptest::InjectFocus(window, true);
    for (int i = 0; i < 5; ++i) ApiProcessMessage();

    EXPECT_EQ(CheckFontHandle(edged), 1);
    EXPECT_EQ(GetStandardFontHandle(), standard);
    DrawScreenLog();
    EXPECT_EQ(g_windowSystem.screenLog.font, logFont) << "the log keeps its font";
    EXPECT_EQ(g_windowSystem.screenLog.fontGone, 0);
    EXPECT_EQ(GetFontData(edged)->textureCache, 1);
    EXPECT_EQ(GetFontData(edged)->edgeSize, 2) << "the edge is kept";
    EXPECT_EQ(GetGraphData(oldCache), nullptr) << "the cache was made again";
    const std::vector<uint32_t> after = draw();
    ASSERT_EQ(after.size(), before.size());
    int ink = 0;
    for (int y = 0; y < 130; ++y)
        for (int x = 0; x < 400; ++x) {
            ASSERT_EQ(At(after, x, y), At(before, x, y)) << x << "," << y;
            ink += At(before, x, y) != 0;
        }
    EXPECT_GT(ink, 300);

    ASSERT_EQ(SetScreenMode(800, 600, 32, 60), 0);
    ASSERT_EQ(SetScreenMode(640, 480, 32, 60), 0);
    EXPECT_EQ(GetStandardFontHandle(), standard);
    EXPECT_EQ(CheckFontHandle(standard), 1);
    SelectDrawTarget(kDrawTargetBack);
    Fill(0x000000);
    DrawStringWithFont(10, 100, "Text あいう", white, standard, 0, 0);
    const std::vector<uint32_t> again = BackScreen();
    for (int y = 90; y < 130; ++y)
        for (int x = 0; x < 200; ++x) ASSERT_EQ(At(again, x, y), At(before, x, y)) << x << "," << y;
}

// Japanese text from the installed face, drawn through Direct3D and presented: the
// captured frame shows white glyphs with red edges across and down the screen.
TEST_F(FontTextureTest, CapturedFrameShowsJapaneseText) {
    StartAt32();
    int font = CreateFontToHandle(nullptr, 32, -1, 3, -1, 2, -1, -1);
    ASSERT_NE(font, -1);
    ASSERT_EQ(GetFontData(font)->textureCache, 1);
    qztest::TempDir captures;
    ptest::SetCaptureFolder(captures.path());
    SelectDrawTarget(kDrawTargetBack);
    Fill(0x102040);
    const uint32_t white = GetScreenColorValue(255, 255, 255), red = GetScreenColorValue(255, 0, 0);
    ASSERT_EQ(DrawStringWithFont(20, 40, "日本語のテキスト表示", white, font, red, 0), 0);
    ASSERT_EQ(DrawStringWithFont(40, 120, "ＺＡＲＮＯＶＩＫ　ゲーム", white, font, red, 0), 0);
    ASSERT_EQ(DrawStringWithFont(560, 60, "縦書きの文字", white, font, red, 1), 0);
    ASSERT_EQ(PresentScreen(), 0);
    ptest::SetCaptureFolder("");
    int w = 0, h = 0;
    const std::vector<uint32_t> frame = qztest::ReadPngRgb(captures.file("frame-000000.png"), &w, &h);
    ASSERT_EQ(w, 640);
    ASSERT_EQ(h, 480);
    auto count = [&](int x1, int y1, int x2, int y2, uint32_t rgb) {
        int n = 0;
        for (int y = y1; y < y2; ++y)
            for (int x = x1; x < x2; ++x) n += frame[(size_t)y * 640 + x] == rgb;
        return n;
    };
    EXPECT_GT(count(20, 40, 380, 80, 0xFFFFFF), 500) << "white glyph bodies across";
    EXPECT_GT(count(20, 40, 380, 80, 0xFF0000), 300) << "red edges across";
    EXPECT_GT(count(560, 60, 600, 280, 0xFFFFFF), 300) << "white glyph bodies down";
    EXPECT_EQ(count(0, 300, 640, 480, 0x102040), 640 * 180) << "nothing below the text";
}

}  // namespace

}  // namespace QzGraphicsFontTexture_test
