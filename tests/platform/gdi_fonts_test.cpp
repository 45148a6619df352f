// GDI fonts: creation through fontconfig, metrics, glyph bitmaps from FreeType, the code
// pages, the synthetic faces and the font faults of the test controls. The installed
// face is the Japanese monospaced face that scripts/setup installs.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "gdi/fonts.h"
#include "platform/gdi.h"
#include "platform/testing.h"
#include "platform/win32.h"

namespace gdi_fonts_test {

namespace {

const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

HFONT MakeFont(int height, DWORD charSet, const char* face = "", int weight = 600) {
    return CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, charSet, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       NONANTIALIASED_QUALITY, FIXED_PITCH, face);
}

// A memory context holding one font, freed with it.
struct FontDc {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font;
    HGDIOBJ previous;
    explicit FontDc(HFONT f) : font(f), previous(SelectObject(dc, f)) {}
    ~FontDc() {
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(font);
    }
    TEXTMETRICA Metrics() const {
        TEXTMETRICA tm{};
        EXPECT_TRUE(GetTextMetricsA(dc, &tm));
        return tm;
    }
};

struct GlyphOut {
    DWORD result = 0;
    GLYPHMETRICS gm{};
    std::vector<uint8_t> bits;
};

// The size query, then the bitmap into a buffer 64 bytes larger, filled with 0xEE so that
// what the call left alone shows.
GlyphOut Fetch(HDC dc, UINT code, UINT format) {
    GlyphOut out;
    DWORD needed = GetGlyphOutlineA(dc, code, format, &out.gm, 0, nullptr, &kIdentity);
    EXPECT_NE(needed, GDI_ERROR) << "code " << code;
    out.bits.assign(needed + 64, 0xEE);
    out.result = GetGlyphOutlineA(dc, code, format, &out.gm, needed + 64, out.bits.data(), &kIdentity);
    return out;
}

TEST(FontCodes, ConvertThroughTheFontsCodePage) {
    struct Case { int codePage; UINT code; uint32_t scalar; };
    const Case cases[] = {
        {932, 0x82A0, 0x3042},  // HIRAGANA A
        {949, 0xB0A1, 0xAC00},  // the first Hangul syllable
        {932, 0x41, 'A'},
        {949, 0x41, 'A'},
        {932, 0xB1, 0xFF71},    // a half-width katakana is one byte
        {932, 0x81, 0},         // a lead byte alone
        {932, 0x4142, 0},       // two characters are not one code
        {932, 0x10041, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gdi::CodeToUnicode(c.codePage, c.code), c.scalar) << "cp " << c.codePage << " code " << std::hex << c.code;
}

TEST(FontCreation, EmptyFaceTakesTheLanguageOfTheCharacterSet) {
    struct Case { DWORD charSet; UINT oemCodePage; const char* language; int codePage; };
    const Case cases[] = {
        {SHIFTJIS_CHARSET, 0, "ja", 932},
        {HANGUL_CHARSET, 0, "ko", 949},
        {DEFAULT_CHARSET, 0, "ja", 932},
        {DEFAULT_CHARSET, 949, "ko", 949},   // the ANSI code page follows the control
        {SHIFTJIS_CHARSET, 949, "ja", 932},
    };
    for (const Case& c : cases) {
        ptest::OverrideOemCodePage(c.oemCodePage);
        HFONT font = MakeFont(16, c.charSet);
        ASSERT_NE(font, nullptr) << "charset " << c.charSet;
        ptest::FontView view = ptest::GetFontView(font);
        EXPECT_EQ(view.language, c.language) << "charset " << c.charSet << " oem " << c.oemCodePage;
        EXPECT_EQ(view.codePage, c.codePage) << "charset " << c.charSet << " oem " << c.oemCodePage;
        EXPECT_TRUE(DeleteObject(font));
    }
    ptest::OverrideOemCodePage(0);
    HFONT japanese = MakeFont(16, SHIFTJIS_CHARSET);
    EXPECT_EQ(ptest::GetFontView(japanese).family, "IPAGothic");  // the face scripts/setup installs
    DeleteObject(japanese);
}

TEST(FontCreation, FaceNamesAreCp932AndUnknownOnesTakeTheBestMatch) {
    struct Case { const char* face; const char* family; };
    const Case cases[] = {
        {"DejaVu Sans", "DejaVu Sans"},
        {"IPAゴシック", "IPAGothic"},          // Shift-JIS at run time, matched as UTF-8
        {"No Such Face At All", "IPAGothic"},  // the language's best match
    };
    for (const Case& c : cases) {
        HFONT font = MakeFont(16, SHIFTJIS_CHARSET, c.face);
        ASSERT_NE(font, nullptr) << c.family;
        EXPECT_EQ(ptest::GetFontView(font).family, c.family);
        DeleteObject(font);
    }
}

TEST(FontCreation, CellHeightIsAscentPlusDescent) {
    for (int height : {8, 12, 16, 17, 24, 33}) {
        FontDc f(MakeFont(height, SHIFTJIS_CHARSET));
        TEXTMETRICA tm = f.Metrics();
        int em = ptest::GetFontView(f.font).emHeight;
        EXPECT_EQ(tm.tmHeight, height);
        EXPECT_EQ(tm.tmAscent + tm.tmDescent, height) << "height " << height;
        EXPECT_EQ(tm.tmInternalLeading, height - em) << "height " << height;
        EXPECT_GE(tm.tmInternalLeading, 0) << "height " << height;
        EXPECT_EQ(tm.tmExternalLeading, 0);
        EXPECT_GT(tm.tmAveCharWidth, 0);
        EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth) << "height " << height;
        EXPECT_EQ(tm.tmWeight, 600);
        EXPECT_EQ(tm.tmCharSet, SHIFTJIS_CHARSET);
        EXPECT_EQ(tm.tmPitchAndFamily, FIXED_PITCH);
    }
    // A negative height is the em height.
    FontDc em(MakeFont(-16, SHIFTJIS_CHARSET));
    EXPECT_EQ(ptest::GetFontView(em.font).emHeight, 16);
    EXPECT_EQ(em.Metrics().tmInternalLeading, em.Metrics().tmHeight - 16);
}

TEST(FontCreation, BoldEmboldensAFaceWithoutABoldStyle) {
    FontDc regular(MakeFont(16, SHIFTJIS_CHARSET, "", FW_NORMAL));
    FontDc bold(MakeFont(16, SHIFTJIS_CHARSET, "", FW_BOLD));
    EXPECT_FALSE(ptest::GetFontView(regular.font).emboldened);
    EXPECT_TRUE(ptest::GetFontView(bold.font).emboldened);
    EXPECT_GT(bold.Metrics().tmMaxCharWidth, regular.Metrics().tmMaxCharWidth);
    auto ink = [](const GlyphOut& g) {
        int count = 0;
        for (size_t i = 0; i + 64 < g.bits.size(); ++i) count += g.bits[i];
        return count;
    };
    EXPECT_GT(ink(Fetch(bold.dc, 0x82A0, GGO_GRAY4_BITMAP)), ink(Fetch(regular.dc, 0x82A0, GGO_GRAY4_BITMAP)));

    // A face with a bold style of its own takes it.
    HFONT mono = MakeFont(16, DEFAULT_CHARSET, "DejaVu Sans Mono", FW_BOLD);
    ptest::FontView view = ptest::GetFontView(mono);
    EXPECT_FALSE(view.emboldened);
    EXPECT_NE(view.file.find("Bold"), std::string::npos) << view.file;
    DeleteObject(mono);
}

// Both bitmap formats of the installed face, for a Japanese and an ASCII character: rows
// padded to 4 bytes, size = pitch x box height, levels within range, nothing written past
// the size, and the box is the ink box (ink on each of its four sides).
TEST(FontGlyphs, InstalledFaceBitmapsKeepGdiLayout) {
    FontDc f(MakeFont(16, SHIFTJIS_CHARSET));
    struct Case { UINT code; UINT format; };
    const Case cases[] = {{0x82A0, GGO_BITMAP}, {0x82A0, GGO_GRAY4_BITMAP}, {0x41, GGO_BITMAP}, {0x41, GGO_GRAY4_BITMAP}};
    for (const Case& c : cases) {
        SCOPED_TRACE("code " + std::to_string(c.code) + " format " + std::to_string(c.format));
        GlyphOut g = Fetch(f.dc, c.code, c.format);
        UINT w = g.gm.gmBlackBoxX, h = g.gm.gmBlackBoxY;
        ASSERT_GT(w, 1u);
        ASSERT_GT(h, 1u);
        size_t pitch = c.format == GGO_BITMAP ? (w + 31) / 32 * 4 : (w + 3) / 4 * 4;
        ASSERT_EQ(g.result, pitch * h);
        EXPECT_EQ(g.bits[g.result], 0xEE);  // past the size: untouched
        bool left = false, right = false, top = false, bottom = false;
        for (UINT y = 0; y < h; ++y) {
            const uint8_t* row = &g.bits[pitch * y];
            for (size_t x = 0; x < pitch * (c.format == GGO_BITMAP ? 8 : 1); ++x) {
                int v = c.format == GGO_BITMAP ? (row[x >> 3] >> (7 - (x & 7))) & 1 : row[x];
                ASSERT_LE(v, 16);
                if (x >= w) {
                    ASSERT_EQ(v, 0) << "ink outside the box at " << x << "," << y;
                } else if (v != 0) {
                    left |= x == 0, right |= x == w - 1, top |= y == 0, bottom |= y == h - 1;
                }
            }
        }
        EXPECT_TRUE(left && right && top && bottom);
        EXPECT_LE(g.gm.gmptGlyphOrigin.y, f.Metrics().tmAscent);
        EXPECT_EQ(g.gm.gmCellIncY, 0);
    }
    // The full-width character advances further than the half-width one, and no further
    // than the widest advance.
    GlyphOut a = Fetch(f.dc, 0x41, GGO_BITMAP), hiragana = Fetch(f.dc, 0x82A0, GGO_BITMAP);
    EXPECT_LT(a.gm.gmCellIncX, hiragana.gm.gmCellIncX);
    EXPECT_LE(hiragana.gm.gmCellIncX, f.Metrics().tmMaxCharWidth);

    // The same font made again gives the same bits.
    FontDc again(MakeFont(16, SHIFTJIS_CHARSET));
    EXPECT_EQ(Fetch(again.dc, 0x82A0, GGO_GRAY4_BITMAP).bits, Fetch(f.dc, 0x82A0, GGO_GRAY4_BITMAP).bits);
}

TEST(FontGlyphs, SpacesAndMissingCharactersAreNoErrors) {
    FontDc f(MakeFont(16, SHIFTJIS_CHARSET));
    for (UINT code : {0x20u, 0x8140u}) {  // ASCII and full-width spaces: no ink, an advance
        GLYPHMETRICS gm{};
        EXPECT_EQ(GetGlyphOutlineA(f.dc, code, GGO_GRAY4_BITMAP, &gm, 0, nullptr, &kIdentity), 0u) << code;
        EXPECT_EQ(gm.gmBlackBoxX, 1u);
        EXPECT_EQ(gm.gmBlackBoxY, 1u);
        EXPECT_GT(gm.gmCellIncX, 0) << code;
    }
    // A code that does not convert gives the missing glyph.
    GLYPHMETRICS gm{};
    EXPECT_NE(GetGlyphOutlineA(f.dc, 0x81, GGO_BITMAP, &gm, 0, nullptr, &kIdentity), GDI_ERROR);
    // Hangul converts under the Korean code page; no Korean face is installed.
    FontDc korean(MakeFont(16, HANGUL_CHARSET));
    EXPECT_NE(GetGlyphOutlineA(korean.dc, 0xB0A1, GGO_GRAY4_BITMAP, &gm, 0, nullptr, &kIdentity), GDI_ERROR);
}

TEST(FontGlyphs, ErrorsAndSizeQueries) {
    FontDc f(MakeFont(16, SHIFTJIS_CHARSET));
    GLYPHMETRICS gm{};
    DWORD needed = GetGlyphOutlineA(f.dc, 0x82A0, GGO_BITMAP, &gm, 0, nullptr, &kIdentity);
    ASSERT_NE(needed, GDI_ERROR);
    ASSERT_GT(needed, 0u);
    std::vector<uint8_t> buffer(needed);
    // A buffer with size 0 and a size without a buffer both ask for the size.
    EXPECT_EQ(GetGlyphOutlineA(f.dc, 0x82A0, GGO_BITMAP, &gm, 0, buffer.data(), &kIdentity), needed);
    EXPECT_EQ(GetGlyphOutlineA(f.dc, 0x82A0, GGO_BITMAP, &gm, needed, nullptr, &kIdentity), needed);
    EXPECT_EQ(GetGlyphOutlineA(f.dc, 0x82A0, GGO_BITMAP, &gm, needed - 1, buffer.data(), &kIdentity), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(f.dc, 0x82A0, GGO_BITMAP, &gm, needed, buffer.data(), &kIdentity), needed);
    // GGO_METRICS fills the metrics only.
    GLYPHMETRICS metricsOnly{};
    std::vector<uint8_t> untouched(needed, 0xEE);
    EXPECT_EQ(GetGlyphOutlineA(f.dc, 0x82A0, GGO_METRICS, &metricsOnly, needed, untouched.data(), &kIdentity), 0u);
    EXPECT_EQ(metricsOnly.gmBlackBoxX, gm.gmBlackBoxX);
    EXPECT_EQ(metricsOnly.gmCellIncX, gm.gmCellIncX);
    EXPECT_EQ(untouched, std::vector<uint8_t>(needed, 0xEE));

    MAT2 doubled = kIdentity;
    doubled.eM11.value = 2;
    EXPECT_EQ(GetGlyphOutlineA(f.dc, 0x82A0, GGO_BITMAP, &gm, needed, buffer.data(), &doubled), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(f.dc, 0x82A0, GGO_BITMAP, &gm, needed, buffer.data(), nullptr), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(f.dc, 0x82A0, GGO_BITMAP, nullptr, needed, buffer.data(), &kIdentity), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(f.dc, 0x82A0, 2 /* outlines */, &gm, needed, buffer.data(), &kIdentity), GDI_ERROR);
    ptest::FailCall("GetGlyphOutlineA");
    EXPECT_EQ(GetGlyphOutlineA(f.dc, 0x82A0, GGO_BITMAP, &gm, needed, buffer.data(), &kIdentity), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(f.dc, 0x82A0, GGO_BITMAP, &gm, needed, buffer.data(), &kIdentity), needed);
}

TEST(FontObjects, SelectionDeletionAndTheDefaultFont) {
    HDC dc = CreateCompatibleDC(nullptr);
    // A fresh context holds a default font of height 16.
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    EXPECT_EQ(tm.tmHeight, 16);
    HFONT small = MakeFont(12, SHIFTJIS_CHARSET), large = MakeFont(24, SHIFTJIS_CHARSET);
    HGDIOBJ stock = SelectObject(dc, small);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(SelectObject(dc, large), static_cast<HGDIOBJ>(small));
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    EXPECT_EQ(tm.tmHeight, 24);
    // A font deleted while selected stays usable until the context lets it go.
    EXPECT_TRUE(DeleteObject(large));
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    EXPECT_EQ(tm.tmHeight, 24);
    EXPECT_EQ(SelectObject(dc, large), nullptr);  // no longer selectable
    SelectObject(dc, stock);
    EXPECT_FALSE(ptest::GetFontView(large).exists);
    EXPECT_TRUE(ptest::GetFontView(small).exists);
    // Deleting the context releases its font.
    SelectObject(dc, small);
    EXPECT_TRUE(DeleteObject(small));
    EXPECT_TRUE(ptest::GetFontView(small).exists);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(ptest::GetFontView(small).exists);
    EXPECT_FALSE(DeleteObject(small));
    EXPECT_FALSE(GetTextMetricsA(nullptr, &tm));
}

TEST(FontFaults, CreationFailsPerCharacterSet) {
    ptest::FailCreateFont(SHIFTJIS_CHARSET, true);
    EXPECT_EQ(MakeFont(16, SHIFTJIS_CHARSET), nullptr);
    HFONT other = MakeFont(16, DEFAULT_CHARSET);
    EXPECT_NE(other, nullptr);
    DeleteObject(other);
    ptest::FailCreateFont(SHIFTJIS_CHARSET, false);
    ptest::FailCreateFont(-1, true);
    EXPECT_EQ(MakeFont(16, DEFAULT_CHARSET), nullptr);
    EXPECT_EQ(MakeFont(16, HANGUL_CHARSET, "IPAGothic"), nullptr);
    ptest::ResetControls();
    HFONT again = MakeFont(16, SHIFTJIS_CHARSET);
    EXPECT_NE(again, nullptr);
    DeleteObject(again);
}

TEST(FontSynthetic, FixedMetricsTablesAndCallCounts) {
    ptest::SyntheticFace face;
    face.name = "Synthetic";
    face.height = 15;
    face.ascent = 12;
    face.maxCharWidth = 9;
    ptest::SyntheticGlyph glyph;
    glyph.width = 3;
    glyph.height = 2;
    glyph.originX = 1;
    glyph.originY = 10;
    glyph.advance = 8;
    glyph.levels = {0, 7, 8, 16, 1, 0};
    face.glyphs.push_back({0x82A0, glyph});
    ptest::SyntheticGlyph wide;  // wider and taller than any cell
    wide.width = 40;
    wide.height = 40;
    wide.advance = 5;
    wide.levels.assign(1600, 16);
    face.glyphs.push_back({'W', wide});
    face.missing.advance = 4;
    ptest::RegisterSyntheticFace(face);

    FontDc f(MakeFont(30, SHIFTJIS_CHARSET, "Synthetic"));
    TEXTMETRICA tm = f.Metrics();
    EXPECT_EQ(tm.tmHeight, 15);
    EXPECT_EQ(tm.tmAscent, 12);
    EXPECT_EQ(tm.tmDescent, 3);
    EXPECT_EQ(tm.tmMaxCharWidth, 9);
    EXPECT_TRUE(ptest::GetFontView(f.font).synthetic);

    GlyphOut gray = Fetch(f.dc, 0x82A0, GGO_GRAY4_BITMAP);
    ASSERT_EQ(gray.result, 8u);  // two rows of 4
    EXPECT_EQ(std::vector<uint8_t>(gray.bits.begin(), gray.bits.begin() + 8),
              (std::vector<uint8_t>{0, 7, 8, 0, 16, 1, 0, 0}));
    EXPECT_EQ(gray.gm.gmptGlyphOrigin.x, 1);
    EXPECT_EQ(gray.gm.gmptGlyphOrigin.y, 10);
    EXPECT_EQ(gray.gm.gmCellIncX, 8);
    GlyphOut mono = Fetch(f.dc, 0x82A0, GGO_BITMAP);
    ASSERT_EQ(mono.result, 8u);  // two rows of 4 bytes
    EXPECT_EQ(mono.bits[0], 0x20);  // level 8 and up
    EXPECT_EQ(mono.bits[4], 0x80);
    EXPECT_EQ(Fetch(f.dc, 'W', GGO_GRAY4_BITMAP).result, 1600u);

    GLYPHMETRICS gm{};
    EXPECT_EQ(GetGlyphOutlineA(f.dc, 'x', GGO_BITMAP, &gm, 0, nullptr, &kIdentity), 0u);  // the missing glyph
    EXPECT_EQ(gm.gmCellIncX, 4);
    EXPECT_EQ(ptest::GetSyntheticGlyphCalls("Synthetic", 0x82A0), 4);  // two per Fetch
    EXPECT_EQ(ptest::GetSyntheticGlyphCalls("Synthetic", 'x'), 1);
    EXPECT_EQ(ptest::GetSyntheticGlyphCalls("Synthetic", 'y'), 0);
}

}  // namespace

}  // namespace gdi_fonts_test
