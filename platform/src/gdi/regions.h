// gdi/regions.h: regions for the window layer (SetWindowRgn keeps copies) and for
// DeleteObject. Any thread.
#pragma once

#include <vector>

#include "platform/win32.h"

namespace gdi {

// Frees a region; false when the handle names none (then it is no region's to free).
bool DeleteRegion(HGDIOBJ object);
// A new region with the same pixels; null for a handle that names no region.
HRGN CopyRegion(HRGN region);
// The rectangles, top to bottom and left to right, vertically adjacent equal rows merged;
// false for a handle that names no region.
bool RegionRects(HRGN region, std::vector<RECT>* rects);

}  // namespace gdi
