// QzGraphicsStandIns.cpp: stand-ins for the graphics parts (see the header).
#include "QzGraphicsStandIns.h"

#include "QzStandIn.h"

int EnableMaskDraw(int) { return StandInCall("EnableMaskDraw", -1); }
int GetMaskDrawFlag() { return StandInCall("GetMaskDrawFlag", 0); }
int RemoveMaskScreen() { return StandInCall("RemoveMaskScreen", 0); }
int FreeMaskScreenParts() { return StandInCall("FreeMaskScreenParts", 0); }
int RebuildMaskScreen() { return StandInCall("RebuildMaskScreen", 0); }
