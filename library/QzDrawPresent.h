// QzDrawPresent.h: presenting a frame (flip, or a copy to the primary), the paced and
// plain vertical-blank waits, surface-to-surface copies by the measured method, the
// front-MEMIMG sync of software rendering and the frame counter. Main thread under the
// library lock; the waits pump window messages.
#pragma once

#include <cstdint>

#include "platform/ddraw.h"

int PresentScreen();         // 0; -1 without an object
int BltBackScreenToFront();  // 0; -1 without an object
int WaitForVBlank(int count);   // 0; -1 when the pump reports the end (or no object)
int WaitVBlankByFrameTime();    // the time at its end (milliseconds)
// method -1: the measured one; 1 GDI BitBlt; 0 BltFast.
int CopyBetweenSurfaces(IDirectDrawSurface7* dst, IDirectDrawSurface7* src, int x, int y, const RECT* srcRect,
                        int method);
int CopyFrontMEMIMGToPrimary(const RECT* rect);
int RefreshFrontMEMIMG();
int ResetFrameCounter();
int CountFrame();
uint64_t GetFrameCount();
