// gdi/fontrecord.h: the font record behind an HFONT, shared by fonts.cpp (creation,
// selection, metrics, test controls) and glyphs.cpp (GetGlyphOutlineA). Main thread;
// the test controls take FontLock too.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "gdi/fonts.h"
#include "platform/gdi.h"
#include "platform/testing.h"

namespace gdi {

// ---- the font record ---------------------------------------------------------------------------
struct Font {
    // As asked.
    int weight = 0;
    BYTE charSet = 0;
    BYTE pitchAndFamily = 0;
    // What it became.
    int codePage = 932;
    std::string language;
    std::string family;
    std::string file;
    std::shared_ptr<const ptest::SyntheticFace> synthetic;
    FT_Face face = nullptr;
    bool embolden = false;
    int emHeight = 0;
    TEXTMETRICA metrics = {};
    int heldBy = 0;           // contexts it is selected into
    bool deletePending = false;
};

std::recursive_mutex& FontLock();
// The font selected into a context (the context's default font when none was), or null.
// Call under FontLock.
Font* FontOfContext(HDC dc);
// Counts a GetGlyphOutlineA call on a synthetic face. Under FontLock.
void CountSyntheticCall(const Font& font, UINT code);
// A face without a bold style is emboldened as GDI does it: its strokes and its advance
// grow by whole pixels across (one up to an em of 47), never down.
inline int EmboldenPixels(int emHeight) { return 1 + emHeight / 48; }
// The FreeType library with its fixed settings; null when it cannot start.
FT_Library FreeTypeLibrary();

}  // namespace gdi
