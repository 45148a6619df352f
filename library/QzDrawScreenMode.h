// QzDrawScreenMode.h: the screen-mode change: teardown, display mode with its fallback
// chain, rebuild, and the measurements the present path uses (copy method, frame time,
// pacing time). Main thread under the library lock.
#pragma once

#include "platform/ddraw.h"

// 0 done (also with nothing to change, or before DirectDraw exists: the values are only
// stored), -1 the request failed and the previous mode is set again, -2 fell back to
// 640 x 480 x 16. -1 arguments keep the stored value.
int ChangeScreenMode(int width, int height, int bits, int force, int refresh);
int ApplyDisplayMode(IDirectDraw7* dd, int desktopWidth, int desktopHeight, int width, int height, int bits,
                     int* bitsOut, int* cooperativeOut, int windowMode, int* displayModeChanged, HWND window);
int SetScreenMode(int width, int height, int bits, int refresh);
int SetHardwareRenderMode(int flag);
// 1 in window mode when the draw target's surface is the primary.
int IsWindowPrimaryTarget();

// The frame-time rules: the first of four samples that equals a later one, else -1; the
// pacing time of a frame time ((2 x frame time - 4) / 3, -1 for -1).
int FindRepeatedFrameSample(const int samples[4]);
int PacingTimeOf(int frameTime);
// Measures the display frame into ScreenState (frame and pacing time) and logs it.
int MeasureFrameTimeNow();
