// QzDrawStandIns.h: stand-ins for the parts the DirectDraw screen and the 2D pieces call
// that are not built yet: the on-screen log's drawing, fonts, the window menu, the mask
// screen. Each keeps its part's name and signature, does the least that part allows and
// reports to QzStandIn.h. Delete a declaration here when its part lands.
#pragma once

#include <cstdint>

#include "QzDrawMemImg.h"
#include "QzGraphicsImage.h"
#include "platform/ddraw.h"
#include "platform/gdi.h"

// Landed: fonts (QzGraphicsFont.h), the text core (QzGraphicsText.h) and the on-screen
// log (QzWinScreenLog.h).
#include "QzGraphicsFont.h"
#include "QzGraphicsText.h"
#include "QzWinScreenLog.h"

// ---- the mask screen ----------------------------------------------------------------------------
IDirectDrawSurface7* GetMaskWorkSurface();  // null: no mask screen
MEMIMG* GetMaskMEMIMG();                    // null
int SaveMaskBackground(int x1, int y1, int x2, int y2, GraphImage* targetImage, IDirectDrawSurface7* surface);  // 0
int ApplyMaskAfterDraw(int x1, int y1, int x2, int y2, GraphImage* targetImage, IDirectDrawSurface7* surface);  // 0


// ---- Direct3D text (the fonts' texture cache is not built) --------------------------------------
int G_D3D_DrawStringWithFont(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor,
                             int vertical);  // -1
