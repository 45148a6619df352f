// Sheets.h: the game's 20 sprite and background sheets, painted from the sprite layout.
#pragma once

#include <vector>

#include "Canvas.h"
#include "SpriteLayout.h"

namespace makedata {

struct SheetImage {
    Sheet sheet;
    Canvas canvas;
};

// One image per sheet, in the order of the Sheet enumeration.
std::vector<SheetImage> BuildSheets();

}  // namespace makedata
