// QzGraphicsFront.h: the drawing front end's state operations: the draw target with its
// camera, the draw area (clip), clearing the target, the blend mode and parameter, the
// blend graphic, the bright colour, the filter mode, and the subtract emulation of the
// Direct3D path. They keep DrawState (QzGraphicsDrawState.h) and tell the Direct3D layer
// (when Direct3D drawing is usable) and the 2D layer. The draws themselves are
// QzGraphicsDraw.h. Main thread under the library lock; every operation first waits,
// pumping messages, while the main window is inactive.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// -4 front screen, -2 back screen or a graphic handle. 0; -1 before graphics start-up,
// for a raw slot number whose slot is empty, and when neither layer takes the target
// (the previous one is selected again). A target of the size of the previous one keeps
// the draw area; another size gets the whole target.
int SelectDrawTarget(int target);
int GetSelectedDrawTarget();
// Clip rectangle in target coordinates (reversed corners swapped, clamped to the target).
int SetDrawClipArea(int x1, int y1, int x2, int y2);
// Clears the draw target: colour 0, depth 0xFFFF.
int ClearDrawTarget();

int SetDrawFilterMode(int mode);  // 0 nearest, 1 bilinear; 0
int GetDrawFilterMode();
// 0 none, 1 alpha, 2 add, 3 subtract, 4 multiply; the parameter clamped to 0..255. 0.
int SetBlendMode(int mode, int parameter);
// -1 for none; -1 for an invalid handle (nothing changed). 0.
int SelectBlendGraph(int handle, int borderParam, int borderRange);
void SetBrightColorPacked(uint32_t rgb);  // 0xRRGGBB
int SetBrightColor(int r, int g, int b);  // each clamped to 0..255; 0

// Direct3D has no subtractive blend: the target rectangle is inverted (a white box in
// mode 3), the draw adds (mode 5), and the rectangle is inverted back.
int BeginSubtractBlendDraw(const RECT* rect);
int EndSubtractBlendDraw(const RECT* rect);
