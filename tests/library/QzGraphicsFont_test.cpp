// Fonts, the glyph cache and the text core on a library started headless. Exact cells
// and pixels come from synthetic faces of the platform's test controls; one case runs
// the installed Japanese face.
#include <cstring>
#include <string>
#include <vector>

#include "LibraryFixture.h"
#include "QzDrawMemImg.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFont.h"
#include "QzGraphicsHandle.h"
#include "QzGraphicsSystem.h"
#include "QzGraphicsText.h"

namespace QzGraphicsFont_test {

namespace {

// A glyph of one level everywhere.
ptest::SyntheticGlyph Solid(int width, int height, int advance, int originX = 0, int originY = 12, int level = 16) {
    ptest::SyntheticGlyph g;
    g.width = width;
    g.height = height;
    g.advance = advance;
    g.originX = originX;
    g.originY = originY;
    g.levels.assign((size_t)width * height, (uint8_t)level);
    return g;
}

void RegisterFace(const char* name, int height, int ascent, int maxWidth,
                  std::vector<std::pair<UINT, ptest::SyntheticGlyph>> glyphs = {},
                  ptest::SyntheticGlyph missing = Solid(1, 1, 4)) {
    ptest::SyntheticFace face;
    face.name = name;
    face.height = height;
    face.ascent = ascent;
    face.maxCharWidth = maxWidth;
    face.glyphs = std::move(glyphs);
    face.missing = std::move(missing);
    ptest::RegisterSyntheticFace(face);
}

class FontTest : public LibraryTest {
protected:
    void Start(int depth = 16) {
        g_screen.width = 640;
        g_screen.height = 480;
        g_screen.colorBitDepth = depth;
        ApiChangeWindowMode(0);  // full screen takes the depth asked
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        EnterLibraryLock();
        locked = true;
        // The memory cache: new graphics (and so new fonts) without Direct3D.
        SetNewGraph3DFlag(0);
    }
    void TearDown() override {
        if (locked) LeaveLibraryLock();
        LibraryTest::TearDown();
    }
    bool locked = false;
};

TEST_F(FontTest, CellSizingTable) {
    Start();
    struct Case {
        const char* name;
        int height, maxWidth, type, edge;
        int cellWidth, cellHeight, cellCount, bits;
    };
    const Case cases[] = {
        {"width 16", 16, 16, 0, -1, 16, 16, 1280, 1},
        {"cell 8 capped", 16, 8, 0, -1, 8, 16, 2024, 1},
        {"edge 2", 16, 16, 1, 2, 24, 20, 327680 / (24 * 24), 8},
        {"odd height", 15, 16, 0, -1, 16, 16, 1280, 1},
        {"odd height with edge", 15, 16, 3, 1, 24, 18, 327680 / (24 * 24), 8},
        {"width 200 floor", 16, 200, 2, -1, 200, 16, 20, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegisterFace(c.name, c.height, c.height - 2, c.maxWidth);
        int font = CreateFontToHandle(c.name, 16, -1, c.type, -1, c.edge, -1, -1);
        ASSERT_NE(font, -1);
        FontData* f = GetFontData(font);
        EXPECT_EQ(f->cellWidth, c.cellWidth);
        EXPECT_EQ(f->cellHeight, c.cellHeight);
        EXPECT_EQ(f->cellCount, c.cellCount);
        EXPECT_EQ(f->memCacheBits, c.bits);
        EXPECT_EQ(f->memCachePitch, (c.bits * c.cellWidth + 7) / 8);
        EXPECT_EQ(f->cacheHeight, c.cellCount * c.cellWidth);
        EXPECT_EQ(f->textureCache, 0);
        EXPECT_EQ(f->cells[c.cellCount].slot, -1);
        EXPECT_EQ(DeleteFontData(font), 0);
    }
}

TEST_F(FontTest, CreationDefaultsLimitsAndRecreation) {
    Start();
    int font = CreateFontToHandle(nullptr, -1, -1, -1, -1, -1, -1, -1);
    ASSERT_NE(font, -1);
    FontData* f = GetFontData(font);
    EXPECT_EQ(f->size, 16);
    EXPECT_EQ(f->thickness, 6);
    EXPECT_EQ(f->edgeSize, 1);
    EXPECT_EQ(f->fontType, 0);
    EXPECT_EQ(f->charsetIndex, 1);
    EXPECT_EQ(font & 0x78000000, 0x20000000);
    DeleteFontData(font);

    ptest::OverrideOemCodePage(949);
    font = CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, -1, -1);
    EXPECT_EQ(GetFontData(font)->charsetIndex, 2);
    DeleteFontData(font);
    ptest::OverrideOemCodePage(0);

    font = CreateFontToHandle(nullptr, 12, -1, 1, -1, 0, -1, -1);  // edge 0 keeps the edge bit
    EXPECT_EQ(GetFontData(font)->fontType, 1);
    EXPECT_EQ(GetFontData(font)->edgeSize, 0);
    DeleteFontData(font);

    // Slots and check numbers outside their ranges name nothing.
    for (auto [slot, check] : {std::pair{40, -1}, {-2, -1}, {0, 2048}, {0, -2}})
        EXPECT_EQ(CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, slot, check), -1) << slot << " " << check;

    // Fill the table (the library's own fonts already hold some slots), then one more.
    RegisterFace("Tiny", 8, 7, 8);
    std::vector<int> made;
    for (int i = 0; i < 40; ++i) {
        int h = CreateFontToHandle("Tiny", 8, -1, -1, -1, -1, -1, -1);
        if (h == -1) break;
        made.push_back(h);
    }
    EXPECT_EQ(CreateFontToHandle("Tiny", 8, -1, -1, -1, -1, -1, -1), -1);
    EXPECT_NE(Log().find("作成できるフォントハンドル数 40 の限界を超えました"), std::string::npos);
    EXPECT_EQ(CreateFontToHandle("Tiny", 8, -1, -1, -1, -1, GetHandleSlot(made[0]), -1), -1) << "slot in use";

    // A device reset re-makes every font under its handle, spacing back to 0.
    int32_t deleted = 7;
    SetFontSpacing(5, made[3]);
    SetFontDeleteNotify(made[3], &deleted);
    EXPECT_EQ(deleted, 0);
    EXPECT_EQ(RecreateAllFonts(), 0);
    EXPECT_EQ(deleted, 1);
    for (int h : made) EXPECT_EQ(CheckFontHandle(h), 1) << std::hex << h;
    EXPECT_EQ(GetFontData(made[3])->spacing, 0);
    for (int h : made) DeleteFontData(h);
    EXPECT_EQ(CheckFontHandle(made[0]), 0);
}

TEST_F(FontTest, CharacterSetFallbacksAndTheirFailures) {
    Start();
    RegisterFace("Face", 16, 14, 16);
    ptest::FailCreateFont(SHIFTJIS_CHARSET, true);  // the index's own set fails: DEFAULT_CHARSET next
    int font = CreateFontToHandle("Face", 16, -1, -1, 1, -1, -1, -1);
    EXPECT_NE(font, -1);
    DeleteFontData(font);
    ptest::FailCreateFont(-1, true);
    std::string before = Log();
    EXPECT_EQ(CreateFontToHandle("Face", 16, -1, -1, 1, -1, -1, -1), -1);
    EXPECT_EQ(CreateFontToHandle(nullptr, 16, -1, -1, 1, -1, -1, -1), -1);
    std::string added = Log().substr(before.size());
    EXPECT_NE(added.find("指定のフォントの作成に失敗しました\r\n"), std::string::npos);
    EXPECT_NE(added.find(":フォントの作成に失敗しました\r\n"), std::string::npos) << added;
}

// 2025 distinct glyphs through a 2024-cell cache: the first is evicted, and drawing it
// again renders it again.
TEST_F(FontTest, TheRingEvictsTheOldestGlyph) {
    Start();
    RegisterFace("Small", 8, 7, 8);
    int font = CreateFontToHandle("Small", 8, -1, 0, -1, -1, -1, -1);
    ASSERT_EQ(GetFontData(font)->cellCount, 2024);
    std::vector<char> cells;
    for (int k = 0; k < 2025; ++k) {
        cells.push_back((char)(0x88 + k / 180));
        cells.push_back((char)(0x40 + k % 180));
        cells.push_back(0);
    }
    UINT first = 0x88 * 256 + 0x40;
    ASSERT_NE(CacheFontGlyphs(2025, cells.data(), font), nullptr);
    FontData* f = GetFontData(font);
    EXPECT_EQ(f->charTable[0x88 + 256 * 0x40].cached, 0);
    EXPECT_EQ(f->charTable[0x88 + 256 * 0x41].cached, 1);
    int calls = ptest::GetSyntheticGlyphCalls("Small", first);
    const char text[] = {(char)0x88, 0x40, 0};
    EXPECT_EQ(MeasureFontStringWidth(text, -1, font, 0), 4);
    EXPECT_GT(ptest::GetSyntheticGlyphCalls("Small", first), calls);
    EXPECT_EQ(f->charTable[0x88 + 256 * 0x40].cached, 1);
}

// A character twice in one batch takes two cells; when the ring reaches the older copy,
// the entry keeps naming the newer cell, so the glyph is not rendered again.
TEST_F(FontTest, EvictingAStaleDuplicateKeepsTheNewerCell) {
    Start();
    RegisterFace("Small", 8, 7, 8);
    int font = CreateFontToHandle("Small", 8, -1, 0, -1, -1, -1, -1);
    FontData* f = GetFontData(font);
    const int count = f->cellCount;
    const char twice[] = {(char)0x88, 0x40, 0, (char)0x88, 0x40, 0};
    ASSERT_NE(CacheFontGlyphs(2, twice, font), nullptr);
    CharEntry& entry = f->charTable[0x88 + 256 * 0x40];
    GlyphCell* newer = &f->cells[1];
    ASSERT_EQ(entry.cell, newer);
    // Round the ring to cell 0 again, with other characters, then over it.
    std::vector<char> cells;
    for (int k = 0; k < count - 1; ++k) {
        cells.push_back((char)(0x89 + k / 180));
        cells.push_back((char)(0x40 + k % 180));
        cells.push_back(0);
    }
    ASSERT_EQ(f->ringPosition, 2);
    ASSERT_NE(CacheFontGlyphs(count - 2, cells.data(), font), nullptr);
    ASSERT_EQ(f->ringPosition, 0);
    ASSERT_NE(CacheFontGlyphs(1, cells.data() + 3 * (count - 2), font), nullptr);
    EXPECT_EQ(entry.cached, 1);
    EXPECT_EQ(entry.cell, newer);
    const int calls = ptest::GetSyntheticGlyphCalls("Small", 0x88 * 256 + 0x40);
    const char text[] = {(char)0x88, 0x40, 0};
    EXPECT_EQ(MeasureFontStringWidth(text, -1, font, 0), 4);
    EXPECT_EQ(ptest::GetSyntheticGlyphCalls("Small", 0x88 * 256 + 0x40), calls) << "rendered again";
}

// A space keeps only its advance, which edge fonts grow by 2e; the measuring walk.
TEST_F(FontTest, MeasuringWalksCharactersAndSpacing) {
    Start();
    RegisterFace("Measure", 16, 14, 16,
                 {{'a', Solid(3, 3, 8)}, {'b', Solid(3, 3, 9)}, {' ', Solid(0, 0, 5)},
                  {0x8140, Solid(0, 0, 16)}, {0x82A0, Solid(12, 12, 16)}, {0x82, Solid(2, 2, 7)}});
    int font = CreateFontToHandle("Measure", 16, -1, 0, -1, -1, -1, -1);
    SetFontSpacing(2, font);
    EXPECT_EQ(MeasureFontStringWidth("ab", -1, font, 0), 21);
    SetFontSpacing(0, font);
    EXPECT_EQ(MeasureFontStringWidth("  \x81\x40", -1, font, 0), 5 + 5 + 16);
    // Length 3 on "a" + a double-byte character + "b" takes two characters.
    EXPECT_EQ(MeasureFontStringWidth("aあb", 3, font, 0), 8 + 16);
    // A lead byte at the end of the text or of the cut is a character of its own.
    EXPECT_EQ(MeasureFontStringWidth("a\x82", -1, font, 0), 8 + 7);
    EXPECT_EQ(MeasureFontStringWidth("aあ", 2, font, 0), 8 + 7);
    SIZE size = {};
    EXPECT_EQ(DrawFontStringCore(0, 0, 0, 0, 1.0, 1.0, "ab", 0, nullptr, nullptr, 0, font, 0, -1, 1, &size), 17);
    EXPECT_EQ(size.cx, 16);  // down the page: (cellHeight, advance)
    EXPECT_EQ(size.cy, 17);
    EXPECT_EQ(MeasureFontStringWidth("", -1, font, 0), 0);
    EXPECT_EQ(MeasureFontStringWidth("a", -1, 12345, 0), -1);

    int edged = CreateFontToHandle("Measure", 16, -1, 1, -1, 2, -1, -1);
    EXPECT_EQ(MeasureFontStringWidth(" ", -1, edged, 0), 5 + 4);
    GlyphCell* cell = GetFontData(edged)->charTable[' '].cell;
    EXPECT_EQ(cell->width, 0);
    EXPECT_EQ(cell->height, 0);
}

// The edge masks, from a one-pixel glyph: body 1 at (e, e), edge 2 under the mask.
TEST_F(FontTest, EdgeMasksFromOnePixel) {
    Start();
    RegisterFace("Dot", 16, 14, 16, {{'.', Solid(1, 1, 4)}});
    const std::vector<std::string> masks[] = {
        {".X.", "XOX", ".X."},
        {".XXX.", "XXXXX", "XXOXX", "XXXXX", ".XXX."},
        {"...X...", ".XXXXX.", ".XXXXX.", "XXXOXXX", ".XXXXX.", ".XXXXX.", "...X..."},
        {"..XXXXX..", ".XXXXXXX.", "XXXXXXXXX", "XXXXXXXXX", "XXXXOXXXX", "XXXXXXXXX", "XXXXXXXXX",
         ".XXXXXXX.", "..XXXXX.."},
        {"XXXXXXXXXXX", "XXXXXXXXXXX", "XXXXXXXXXXX", "XXXXXXXXXXX", "XXXXXXXXXXX", "XXXXXOXXXXX",
         "XXXXXXXXXXX", "XXXXXXXXXXX", "XXXXXXXXXXX", "XXXXXXXXXXX", "XXXXXXXXXXX"},
    };
    for (int e = 1; e <= 5; ++e) {
        int font = CreateFontToHandle("Dot", 16, -1, 1, -1, e, -1, -1);
        EXPECT_EQ(MeasureFontStringWidth(".", -1, font, 0), 4 + 2 * e);
        FontData* f = GetFontData(font);
        GlyphCell* cell = f->charTable['.'].cell;
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->width, 1 + 2 * e);
        std::vector<std::string> got;
        for (int j = 0; j < 2 * e + 1; ++j) {
            std::string row;
            for (int i = 0; i < 2 * e + 1; ++i) {
                int v = GetFontCellValue(f, cell, i, j);
                row += v == 1 ? 'O' : v == 2 ? 'X' : '.';
            }
            got.push_back(row);
        }
        EXPECT_EQ(got, masks[e - 1]) << "edge " << e;
        DeleteFontData(font);
    }
}

// Cell values of the memory types from one row of levels 0, 1, 8, 16.
TEST_F(FontTest, MemoryCellValuesPerType) {
    Start();
    ptest::SyntheticGlyph row;
    row.width = 4;
    row.height = 1;
    row.advance = 6;
    row.originY = 10;
    row.levels = {0, 1, 8, 16};
    RegisterFace("Levels", 16, 14, 16, {{'r', row}});
    struct Case { int type, edge; std::vector<int> values; };
    const Case cases[] = {
        {0, -1, {0, 0, 1, 1}},                    // bits: level 8 and up
        {2, -1, {0, 0, 7, 15}},                   // level - 1
        {1, 1, {0, 2, 1, 1}},                     // body 1, edge 2 beside it
        // Body level - 1 in the low nibble, the strongest neighbour's in the high one.
        {3, 1, {0x00, 0x70, 0xF7, 0x7F}},
    };
    for (const Case& c : cases) {
        int font = CreateFontToHandle("Levels", 16, -1, c.type, -1, c.edge, -1, -1);
        FontData* f = GetFontData(font);
        MeasureFontStringWidth("r", -1, font, 0);
        GlyphCell* cell = f->charTable['r'].cell;
        int e = (c.type & 1) ? 1 : 0;
        std::vector<int> got;
        for (int i = 0; i < 4; ++i) got.push_back(GetFontCellValue(f, cell, e + i, e));
        EXPECT_EQ(got, c.values) << "type " << c.type;
        DeleteFontData(font);
    }
}

// A glyph far larger than its cell stays inside it: its neighbours keep their pixels.
TEST_F(FontTest, OversizeGlyphStaysInsideItsCell) {
    Start();
    RegisterFace("Huge", 8, 7, 8, {{'a', Solid(2, 2, 4, 0, 7, 16)}, {'W', Solid(60, 60, 8, -3, 20, 16)},
                                    {'z', Solid(2, 2, 4, 0, 7, 16)}});
    for (int type : {0, 1, 2, 3}) {
        int font = CreateFontToHandle("Huge", 8, -1, type, -1, -1, -1, -1);
        FontData* f = GetFontData(font);
        MeasureFontStringWidth("a", -1, font, 0);
        GlyphCell* a = f->charTable['a'].cell;
        std::vector<int> before;
        for (int j = 0; j < f->cellWidth; ++j)
            for (int i = 0; i < f->cellWidth; ++i) before.push_back(GetFontCellValue(f, a, i, j));
        MeasureFontStringWidth("Wz", -1, font, 0);
        GlyphCell* w = f->charTable['W'].cell;
        EXPECT_LE(w->width, f->cellWidth);
        EXPECT_LE(w->height, f->cellWidth);
        std::vector<int> after;
        for (int j = 0; j < f->cellWidth; ++j)
            for (int i = 0; i < f->cellWidth; ++i) after.push_back(GetFontCellValue(f, a, i, j));
        EXPECT_EQ(after, before) << "type " << type;
        int e = (type & 1) ? 1 : 0;
        EXPECT_NE(GetFontCellValue(f, f->charTable['z'].cell, e, e), 0) << "type " << type;
        DeleteFontData(font);
    }
}

struct Canvas {
    MEMIMG image = {};
    Canvas(int type, int width, int height, int alpha = 0) { SetupMEMIMG(&image, width, height, -1, 0, type, 0, alpha, 0); }
    ~Canvas() { ReleaseMEMIMG(&image); }
    uint32_t At(int x, int y) const {
        int bytes = GetMEMIMGPixelBytes(image.type, 0, image.useAlpha);
        uint32_t v = 0;
        std::memcpy(&v, image.pixels + (size_t)image.pitch * y + (size_t)x * bytes, (size_t)bytes);
        return v;
    }
    void Fill(uint32_t value) { FillMEMIMGRawRect(&image, nullptr, value); }
};

// Clipping: a partly clipped glyph draws only inside the clip; one wholly outside writes
// nothing and still advances. Transparent 0 writes the background as 0.
TEST_F(FontTest, MemoryDrawClipsAndAdvances) {
    Start(32);
    RegisterFace("Clip", 16, 14, 16, {{'a', Solid(4, 4, 6, 0, 14, 16)}});
    int font = CreateFontToHandle("Clip", 16, -1, 0, -1, -1, -1, -1);
    Canvas c(kMemImgXrgb8888, 32, 16);
    c.Fill(0x123456);
    RECT clip = {2, 0, 10, 2};
    uint32_t white = GetScreenColorValue(255, 255, 255);
    EXPECT_EQ(DrawFontStringCore(1, 0, 0, 0, 1.0, 1.0, "aaaa", white, &c.image, &clip, 1, font, 0, -1, 0, nullptr), 24);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 24; ++x) {
            bool ink = ((x >= 0 && x < 4) || (x >= 6 && x < 10) || (x >= 12 && x < 16) || (x >= 18 && x < 22)) && y < 4;
            bool inside = x >= 2 && x < 10 && y < 2;
            EXPECT_EQ(c.At(x, y), ink && inside ? 0xFFFFFFu : 0x123456u) << x << "," << y;
        }
    RECT whole = {0, 0, 32, 16};
    EXPECT_EQ(DrawFontStringCore(1, 0, 0, 0, 1.0, 1.0, "a", white, nullptr, &whole, 1, font, 0, -1, 0, nullptr), -1);
    EXPECT_EQ(DrawFontStringCore(1, 0, 0, 0, 1.0, 1.0, "a", white, &c.image, nullptr, 1, font, 0, -1, 0, nullptr), -1);
}

// A glyph without ink that is no space (GetGlyphOutline gives a size of 0 and a 1 x 1 box)
// has no rows to take a pitch from: it only advances, in every font type.
TEST_F(FontTest, AGlyphWithoutInkOnlyAdvances) {
    Start(32);
    ptest::SyntheticGlyph empty;
    empty.advance = 5;
    RegisterFace("Blank", 16, 14, 16, {{'e', empty}, {'a', Solid(2, 2, 6, 0, 14, 16)}});
    for (int type = 0; type < 4; ++type) {
        SCOPED_TRACE("type " + std::to_string(type));
        int font = CreateFontToHandle("Blank", 16, -1, type, -1, (type & 1) ? 1 : -1, -1, -1);
        ASSERT_GE(font, 0);
        Canvas c(kMemImgXrgb8888, 32, 16, (type & 2) ? 1 : 0);
        c.Fill(0);
        RECT whole = {0, 0, 32, 16};
        const int edge = (type & 1) ? 2 : 0;  // an edged font's cells are two pixels wider
        const int width = DrawFontStringCore(1, 0, 0, 0, 1.0, 1.0, "eae", 0xFFFFFF, &c.image, &whole, 1, font, 0, -1, 0,
                                             nullptr);
        EXPECT_EQ(width, 5 + 6 + 5 + 3 * edge);
        const int aLeft = 5 + edge, aRight = aLeft + 2 + edge;  // the inked glyph's box
        int lit = 0, litAtA = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 32; ++x)
                if (c.At(x, y) != 0) {
                    ++lit;
                    litAtA += x >= aLeft && x < aRight;
                }
        EXPECT_GT(lit, 0) << "the inked glyph is drawn";
        EXPECT_EQ(lit, litAtA) << "only the inked glyph is drawn";
        DeleteFontData(font);
    }
}

// Down the page a 3 x 2 glyph turns a quarter clockwise: its top faces right.
TEST_F(FontTest, VerticalGlyphIsTurned) {
    Start(32);
    ptest::SyntheticGlyph g;
    g.width = 3;
    g.height = 2;
    g.advance = 5;
    g.originX = 1;
    g.originY = 14;  // y offset 0
    g.levels = {16, 0, 0, 0, 0, 16};  // top-left and bottom-right pixels
    RegisterFace("Turn", 16, 14, 16, {{'t', g}});
    int font = CreateFontToHandle("Turn", 16, -1, 0, -1, -1, -1, -1);
    Canvas c(kMemImgXrgb8888, 32, 32);
    RECT whole = {0, 0, 32, 32};
    SIZE size = {};
    EXPECT_EQ(DrawFontStringCore(1, 4, 2, 0, 1.0, 1.0, "t", 0xFFFFFF, &c.image, &whole, 0, font, 0, -1, 1, &size), 5);
    EXPECT_EQ(size.cx, 16);
    EXPECT_EQ(size.cy, 5);
    // X = 4 + 16 - 0 = 20, Y = 2 + 0 + 1 = 3: the box is x 18..19, y 3..5.
    std::vector<std::string> rows;
    for (int y = 2; y < 7; ++y) {
        std::string row;
        for (int x = 17; x < 21; ++x) row += c.At(x, y) == 0xFFFFFF ? 'X' : '.';
        rows.push_back(row);
    }
    EXPECT_EQ(rows, (std::vector<std::string>{"....", "..X.", "....", ".X..", "...."}));
}

// The per-pixel composition at 16 and 32 bits for the four types, with the bright colour
// tinting the text colour.
TEST_F(FontTest, MemoryPixelsPerTypeAndDepth) {
    for (int depth : {16, 32}) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        if (locked) {
            LeaveLibraryLock();
            locked = false;
            ApiTerminateLibrary();
        }
        Start(depth);
        ptest::SyntheticGlyph row;
        row.width = 4;
        row.height = 1;
        row.advance = 6;
        row.originY = 14;
        row.levels = {0, 1, 8, 16};
        RegisterFace("Pix", 16, 14, 16, {{'r', row}});
        bool wide = depth == 32;
        int type = wide ? kMemImgXrgb8888 : kMemImgRgb565;
        // Colour values without the format's fill bits, as the text core writes them.
        uint32_t fill = GetScreenColorValue(0, 0, 0);
        uint32_t red = GetScreenColorValue(255, 0, 0) & ~fill, blue = GetScreenColorValue(0, 0, 255) & ~fill;
        struct Case { int fontType; std::vector<uint64_t> expect; };
        // Pixels at x = e .. e + 3 of row e; alpha units for the anti-aliased types.
        uint32_t a16 = wide ? 24 : 16;
        auto A = [&](uint32_t color, uint32_t alpha) { return (uint64_t)(color | alpha << a16); };
        // type 3, b = 7 (level 8), e = 15: A = 112 + 120 = 232; ratio = 4096 x 7 / 232 = 123.
        auto mix = [&](int t, int e) { return e + (t - e) * 123 / 256; };
        uint32_t mixed = wide ? (uint32_t)mix(255, 0) << 16 | (uint32_t)mix(0, 255)
                              : (uint32_t)mix(31, 0) << 11 | (uint32_t)mix(0, 31);
        const Case cases[] = {
            {0, {0, 0, red, red}},
            {1, {0, blue, red, red}},
            {2, {0, 0, A(red, 7 * 16), A(red, 15 * 16)}},
            {3, {0, A(blue, 7 * 16), A(mixed, 232), A(red, 0xFF)}},
        };
        for (const Case& c : cases) {
            int font = CreateFontToHandle("Pix", 16, -1, c.fontType, -1, (c.fontType & 1) ? 1 : -1, -1, -1);
            Canvas canvas(type, 16, 4, (c.fontType & 2) ? 1 : 0);
            canvas.Fill(0);
            RECT whole = {0, 0, 16, 4};
            DrawFontStringCore(1, 0, 0, 0, 1.0, 1.0, "r", red, &canvas.image, &whole, 1, font, blue, -1, 0, nullptr);
            int e = (c.fontType & 1) ? 1 : 0;
            std::vector<uint64_t> got;
            for (int i = 0; i < 4; ++i) got.push_back(canvas.At(e + i, e));
            EXPECT_EQ(got, c.expect) << "type " << c.fontType;
            DeleteFontData(font);
        }
        // The bright colour tints the text colour: half red.
        g_drawState.brightColor = 0x80FFFF;
        int font = CreateFontToHandle("Pix", 16, -1, 0, -1, -1, -1, -1);
        Canvas canvas(type, 16, 4);
        RECT whole = {0, 0, 16, 4};
        DrawFontStringCore(1, 0, 0, 0, 1.0, 1.0, "r", red, &canvas.image, &whole, 1, font, blue, -1, 0, nullptr);
        EXPECT_EQ(canvas.At(3, 0), GetScreenColorValue(255 * 128 / 255, 0, 0) & ~fill);
        g_drawState.brightColor = 0xFFFFFF;
        DeleteFontData(font);
    }
}

// The installed Japanese face through the whole memory path.
TEST_F(FontTest, InstalledFaceDrawsJapanese) {
    Start(32);
    int font = CreateFontToHandle(nullptr, 16, -1, 2, -1, -1, -1, -1);
    ASSERT_NE(font, -1);
    Canvas c(kMemImgXrgb8888, 64, 20, 1);
    RECT whole = {0, 0, 64, 20};
    int advance = DrawFontStringCore(1, 0, 0, 0, 1.0, 1.0, "あA", 0xFFFFFF, &c.image, &whole, 1, font, 0, -1, 0, nullptr);
    EXPECT_GT(advance, 16);
    int ink = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 64; ++x) ink += (c.At(x, y) >> 24) != 0;
    EXPECT_GT(ink, 40);
}

}  // namespace

}  // namespace QzGraphicsFont_test
