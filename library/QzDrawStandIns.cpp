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

int FontUsesTextureCache(int) {
    return StandInCall("FontUsesTextureCache", 0);
}

int IsFontAntialiased(int) {
    return StandInCall("IsFontAntialiased", 0);
}

int MeasureFontString(int, const char*, int, int* width, int* height) {
    if (width)
        *width = 0;
    if (height)
        *height = 0;
    return StandInCall("MeasureFontString", -1);
}

int DrawFontStringCore(MEMIMG*, int, int, const char*, uint32_t, int, uint32_t, int) {
    return StandInCall("DrawFontStringCore", -1);
}

int SetupFontCache(int, int* piece, MEMIMG** image) {
    if (piece)
        *piece = -1;
    if (image)
        *image = nullptr;
    return StandInCall("SetupFontCache", -1);
}

int G_D3D_DrawStringWithFont(int, int, const char*, uint32_t, int, uint32_t, int) {
    return StandInCall("G_D3D_DrawStringWithFont", -1);
}
