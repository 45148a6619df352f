// QzGraphicsFront.h: the drawing front end's target selection and clear, as far as the
// DirectDraw screen needs them until the front end is built: SelectDrawTarget of the
// front (-4) or back (-2) screen sets the draw screen, the target size, a whole draw area
// and the draw origin, then selects the surface; ClearDrawTarget clears the DirectDraw
// target. Main thread under the library lock.
#pragma once

int SelectDrawTarget(int target);
int ClearDrawTarget();
