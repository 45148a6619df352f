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

// Landed: fonts (QzGraphicsFont.h), the text core (QzGraphicsText.h), the on-screen
// log (QzWinScreenLog.h) and the mask screen (QzGraphicsMask.h).
#include "QzGraphicsFont.h"
#include "QzGraphicsMask.h"
#include "QzGraphicsText.h"
#include "QzWinScreenLog.h"

// Landed: Direct3D text (Qz3DText.h).
#include "Qz3DText.h"
