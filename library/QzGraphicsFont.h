// QzGraphicsFont.h: fonts and their glyph caches. A font (handle kind 4, 40 slots, always
// the lowest free slot) is a GDI font plus a cache of rendered glyphs. In memory mode
// that is a block of memory holding one square cell per glyph at 1 bit (type 0) or 8 bits
// (types 1-3) per pixel, with a screen-sized 2D piece that the 2D text path composes
// into. The cache is a ring: the glyph rendered longest ago is evicted first. Font
// types: bit 0 an edge (outline) grown by fixed masks, bit 1 anti-aliasing, 16 levels.
//
// When Direct3D draws new graphics and offers both 16-bit alpha texture formats
// (A4R4G4B4 and A1R5G5B5), the cache is a texture graphic of square cells instead, edge
// fonts keeping their edges in its right half; glyphs are rendered into a staging image
// and uploaded cell by cell. Text drawing and measuring from the cache is
// QzGraphicsText.h. Main thread under the library lock.
#pragma once

#include <cstdint>

#include "QzDrawMemImg.h"
#include "QzGraphicsImage.h"
#include "platform/gdi.h"

constexpr int kFontTableSize = 40;
constexpr int kFontMaxCells = 2024;

struct CharEntry;

struct GlyphCell {
    uint16_t inUse;
    int16_t xOffset;  // of the bitmap from the pen
    int16_t yOffset;  // from the top of the line
    int16_t advance;
    int32_t slot;     // cell slot in the cache; -1 after the last used cell
    int16_t width;    // bitmap size, clipped to the cell
    int16_t height;
    CharEntry* entry;
};

struct CharEntry {
    int32_t cached;
    GlyphCell* cell;
};

struct FontData {
    int32_t checkNumber;
    int32_t* deleteNotify;
    GlyphCell cells[kFontMaxCells + 1];
    CharEntry charTable[65536];  // first byte + 256 x second byte
    int32_t ringPosition;
    int32_t cellCount;
    uint8_t* memCache;
    int32_t memCachePitch;
    int32_t memCacheBits;
    char faceName[256];
    int32_t thickness;
    int32_t size;
    int32_t cellHeight;
    int32_t spacing;
    int32_t cellWidth;
    HFONT gdiFont;
    int32_t fontType;      // bit 0 edge, bit 1 anti-aliased
    int32_t charsetIndex;  // 0 default, 1 Shift-JIS, 2 Hangul
    int32_t edgeSize;
    int32_t cacheWidth;
    int32_t cacheHeight;
    int32_t cellsPerColumn;
    int32_t drawSurface;      // Surface2D handle of the work piece, -1 none
    int32_t drawSurfaceLost;  // the work piece must be (re)made
    int32_t cacheGraph;       // texture mode: the cache texture graphic, -1 none
    int32_t edgeGraph;        // edge fonts: the right half of cacheGraph, -1 none
    int32_t cacheGraphLost;   // cacheGraph must be (re)made
    GraphImage staging;       // texture mode: one glyph (both halves for edge fonts)
    int32_t textureCache;  // 1 texture mode, 0 memory mode
};

// Settings of the library's default font (kept with the graphics state).
struct DefaultFontSettings {
    char faceName[256];
    int32_t size;
    int32_t thickness;
    int32_t fontType;
    int32_t charsetIndex;
    int32_t edgeSize;
    int32_t spacing;
    int32_t handle;  // the default font, -1 none
};
extern DefaultFontSettings g_defaultFont;

// face null or "": the system's default face; -1 for any other argument: its default
// (size 16, thickness 6, type 0, edge 1 without the edge bit, the code page's character
// set, the lowest free slot, the next check number).
int CreateFontToHandle(const char* faceName, int size, int thickness, int fontType, int charsetIndex, int edgeSize,
                       int slot, int checkNumber);
int DeleteFontData(int font);
int SetFontDeleteNotify(int font, int32_t* notify);  // *notify = 0 now, 1 at deletion
int SetFontSpacing(int spacing, int font);
int SetupFontCache(int font);
int ResetFontGlyphCache(int font);
// Renders count characters (3-byte cells) into the next cells of the ring; the last cell
// used, or null for an invalid font or without a DirectDraw object.
GlyphCell* CacheFontGlyphs(int count, const char* cells, int font);
// Splits text (length in bytes, -1 all) into 3-byte cells (3 x characters + 1 bytes in
// outCells, or a buffer of its own) and renders the characters not cached.
int CacheStringGlyphs(int font, const char* text, int length, char* outCells, int* outCount);
int InitializeFonts();
// The check counter starts again at 0, as whenever graphics management starts; 0.
int RestartFontCheckCounter();
int RecreateAllFonts();
int TerminateFonts();
int SetStandardFontSize(const char* faceName, int size, int thickness);  // face ignored
int UpdateStandardFont();
int GetStandardFontHandle();
int GetFontInfo(char* faceName, int* size, int* thickness, int font);
int GetFontHandleSize(int font);
FontData* GetFontData(int font);
int CheckFontHandle(int font);  // 1 live, else 0
// The default font's face, size and thickness when it is live (for the screen-mode
// change, which re-applies them); -1: none.
int GetDefaultFontSettings(char* faceName, int faceSize, int* size, int* thickness);

// The cell's pixels in the memory cache: row j, column i (cell value: 0/1 for type 0,
// the byte for types 1-3).
int GetFontCellValue(const FontData* font, const GlyphCell* cell, int i, int j);
// Where a cell's pixels start in the cache (both modes).
int GetFontCellOrigin(const FontData* font, const GlyphCell* cell, int* x, int* y);
// Texture mode is chosen when Direct3D drawing is usable, new graphics use 3D, the screen
// is not rendered in software and the device offers A4R4G4B4 and A1R5G5B5 textures.
int IsFontTextureModeUsable();

// What the 2D text path asks of a font.
int FontUsesTextureCache(int font);
int IsFontAntialiased(int font);
// SetupFontCache, then the work piece and its MEMIMG; -1.
int SetupFontCache(int font, int* piece, MEMIMG** image);
