// Qz3DText.cpp: the Direct3D text step. The cache texture is made again first when it
// was deleted (a device reset, a delete of every graphic), then the text core draws the
// glyphs as tinted graphic draws inside the draw area.
#include "Qz3DText.h"

#include <cstring>

#include "Qz3DSystem.h"
#include "QzDraw2DDraw.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFont.h"
#include "QzGraphicsText.h"

int G_D3D_DrawStringWithFont(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor,
                             int vertical) {
    FontData* f = GetFontData(font);
    if (f == nullptr)
        return -1;
    if (!f->textureCache)
        return DrawStringOnSurface2D(x, y, text, color, font, edgeColor, vertical);
    if (g_d3d.cpuTarget)
        return -1;
    SetupFontCache(font);
    const RECT clip = g_drawState.drawArea;
    const int length = text != nullptr ? (int)std::strlen(text) : 0;
    DrawFontStringCore(1, x, y, 0, 1.0, 1.0, text, color, nullptr, &clip, 1, font, edgeColor, length, vertical,
                       nullptr);
    return 0;
}
