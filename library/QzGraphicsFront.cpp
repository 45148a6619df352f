// QzGraphicsFront.cpp: ClearDrawTarget of the drawing front end (the DirectDraw part).
#include "QzGraphicsFront.h"

#include "QzDrawSurfaces.h"
#include "QzWinMessage.h"

int ClearDrawTarget() {
    WaitForWindowActive();
    ClearDrawTarget2D();
    return 0;
}
