// QzGraphicsStandIns.h: the graphics parts that the window system, its window procedure
// and graphics management call. Every one of them has landed; their headers are included
// here, so the callers keep one include.
#pragma once

#include <platform/win32.h>

// Landed: the screen mode (QzDrawScreenMode.h), surfaces (QzDrawSurfaces.h), present
// (QzDrawPresent.h), target selection (QzGraphicsFront.h), graphics start-up
// (QzGraphicsSystem.h), the texture pieces (Qz3DTexture.h), the graphic table
// (QzGraphicsData.h), the movie calls (QzGraphicsMovie.h), device-loss recovery
// (QzGraphicsRecovery.h) and the mask screen (QzGraphicsMask.h).
#include "Qz3DTexture.h"
#include "QzDrawPresent.h"
#include "QzDrawScreenMode.h"
#include "QzDrawSurfaces.h"
#include "QzGraphicsData.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsMask.h"
#include "QzGraphicsMovie.h"
#include "QzGraphicsRecovery.h"
#include "QzGraphicsSystem.h"
