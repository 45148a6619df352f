// QzWinExtrasStandIns.cpp: stand-ins for the on-screen log and the toolbar.
#include "QzWinExtrasStandIns.h"

#include "QzStandIn.h"

int BuildToolbar(const char*, int) { return StandInCall("BuildToolbar", 0); }
int FindToolbarButton(int) { return StandInCall("FindToolbarButton", -1); }
int MeasureToolbarHeight() { return StandInCall("MeasureToolbarHeight", 0); }
