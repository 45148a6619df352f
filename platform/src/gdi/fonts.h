// gdi/fonts.h: what the rest of the GDI layer sees of fonts: the hooks through which the
// object calls of bitmaps.cpp (SelectObject, DeleteObject, DeleteDC) hand fonts over to
// fonts.cpp, and the code-page conversion of glyphs.cpp. The font record is in
// fontrecord.h. Main thread.
#pragma once

#include <cstdint>

#include "platform/gdi.h"

namespace gdi {

// ---- hooks for the object calls ------------------------------------------------------------
// True when the object is a live font; SelectFont then answers the context's previous font.
bool IsFont(HGDIOBJ object);
HGDIOBJ SelectFont(HDC dc, HGDIOBJ font);
// Deletes a font (at once, or when the last context holding it lets it go); false when the
// object is no font.
bool DeleteFontObject(HGDIOBJ object);
// A memory context is going away: it no longer holds its font.
void ForgetContextFont(HDC dc);

// A character code of GetGlyphOutlineA (a byte, or lead x 256 + trail) in a code page
// (932 or 949) as a Unicode scalar; 0 when it does not convert. Any thread.
uint32_t CodeToUnicode(int codePage, UINT code);

}  // namespace gdi
