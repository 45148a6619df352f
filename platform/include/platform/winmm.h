// winmm.h: the multimedia timer services the library uses.
#pragma once

#include "platform/win32.h"

typedef UINT MMRESULT;
#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97

typedef struct timecaps_tag {
    UINT wPeriodMin;
    UINT wPeriodMax;
} TIMECAPS, *LPTIMECAPS;

DWORD timeGetTime();
MMRESULT timeGetDevCaps(LPTIMECAPS caps, UINT size);
MMRESULT timeBeginPeriod(UINT period);
MMRESULT timeEndPeriod(UINT period);
