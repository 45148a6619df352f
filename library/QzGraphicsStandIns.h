// QzGraphicsStandIns.h: stand-ins for the graphics part that the window system, its
// window procedure and graphics management call until it exists: the mask screen. Each
// keeps its part's name and signature, does the least that part allows, and reports to
// QzStandIn.h. Delete a declaration here when its part lands. The headers of the parts
// that landed are included, so the callers keep one include.
#pragma once

#include <platform/win32.h>

// Landed: the screen mode (QzDrawScreenMode.h), surfaces (QzDrawSurfaces.h), present
// (QzDrawPresent.h), target selection (QzGraphicsFront.h), graphics start-up
// (QzGraphicsSystem.h), the texture pieces (Qz3DTexture.h), the graphic table
// (QzGraphicsData.h), the movie calls (QzGraphicsMovie.h) and device-loss recovery
// (QzGraphicsRecovery.h).
#include "Qz3DTexture.h"
#include "QzDrawPresent.h"
#include "QzDrawScreenMode.h"
#include "QzDrawSurfaces.h"
#include "QzGraphicsData.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsMovie.h"
#include "QzGraphicsRecovery.h"
#include "QzGraphicsSystem.h"

// ---- the mask screen ----------------------------------------------------------------------------
int EnableMaskDraw(int flag);  // -1: there is no mask buffer
int GetMaskDrawFlag();         // 0
int RemoveMaskScreen();        // 0: no mask screen to remove
int FreeMaskScreenParts();     // 0
int RebuildMaskScreen();       // 0
