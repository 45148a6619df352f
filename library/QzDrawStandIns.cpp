// QzDrawStandIns.cpp: the stand-ins of QzDrawStandIns.h.
#include "QzDrawStandIns.h"

#include "QzStandIn.h"

int DrawScreenLog() {
    return StandInCall("DrawScreenLog", 0);
}

int IsScreenLogVisible() {
    return StandInCall("IsScreenLogVisible", 0);
}

int SetStandardFontSize(const char*, int, int) {
    return StandInCall("SetStandardFontSize", 0);
}

int IsMenuEnabled() {
    return StandInCall("IsMenuEnabled", 0);
}

int GetDefaultFontSettings(char*, int, int*, int*) {
    return StandInCall("GetDefaultFontSettings", -1);
}

IDirectDrawSurface7* GetMaskWorkSurface() {
    StandInCall("GetMaskWorkSurface", 0);
    return nullptr;
}

MEMIMG* GetMaskMEMIMG() {
    StandInCall("GetMaskMEMIMG", 0);
    return nullptr;
}

int SaveMaskBackground(int, int, int, int, GraphImage*, IDirectDrawSurface7*) {
    return StandInCall("SaveMaskBackground", 0);
}

int ApplyMaskAfterDraw(int, int, int, int, GraphImage*, IDirectDrawSurface7*) {
    return StandInCall("ApplyMaskAfterDraw", 0);
}

int ConvertGraphImageToDib(const GraphImage*, BITMAPINFO** info, void** bits) {
    if (info)
        *info = nullptr;
    if (bits)
        *bits = nullptr;
    return StandInCall("ConvertGraphImageToDib", -1);
}

HBITMAP MakeDibSection(const BITMAPINFO*, const void*) {
    StandInCall("MakeDibSection", 0);
    return nullptr;
}
