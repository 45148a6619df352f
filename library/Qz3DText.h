// Qz3DText.h: text on the Direct3D path. A font with a texture cache draws through the
// text core's texture path onto the current draw target, clipped by the draw area; any
// other font goes to the 2D text path. Main thread under the library lock.
#pragma once

#include <cstdint>

// The font handle is already checked by the caller. 0; -1 while the draw target is a
// graphic Direct3D cannot draw into, or for an invalid font.
int G_D3D_DrawStringWithFont(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor,
                             int vertical);
