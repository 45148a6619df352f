// QzDrawStandIns.cpp: the stand-ins of QzDrawStandIns.h.
#include "QzDrawStandIns.h"

#include "QzStandIn.h"






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







int G_D3D_DrawStringWithFont(int, int, const char*, uint32_t, int, uint32_t, int) {
    return StandInCall("G_D3D_DrawStringWithFont", -1);
}
