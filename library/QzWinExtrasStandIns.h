// QzWinExtrasStandIns.h: stand-ins for the on-screen log and for the toolbar, until
// those parts exist (they need fonts and the image front end). Each keeps its part's
// name and signature and reports to QzStandIn.h. No toolbar is ever built here, so the
// least their parts allow is to do nothing. Delete a declaration here when its part
// lands.
#pragma once

#include <platform/win32.h>

// Landed: the on-screen log (QzWinScreenLog.h).
#include "QzWinScreenLog.h"

// ---- toolbar --------------------------------------------------------------------------------
int BuildToolbar(const char* bitmapFile, int buttonCount);  // 0
int FindToolbarButton(int commandId);    // -1: no toolbar
int MeasureToolbarHeight();              // 0: no toolbar
