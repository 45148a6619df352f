// Sheets.cpp: builds every sheet by walking the sprite layout, painting each cell where
// the layout cuts it, and encodes the sheets as BMP files.
#include "Sheets.h"

#include "Paint.h"

namespace makedata {
namespace {

void PaintStep(Canvas& canvas, const SheetStep& step) {
    if (step.how == SheetLoad::Divide) {
        for (int n = 0; n < step.total; ++n) {
            const Box box{step.cellW * (n % step.across), step.cellH * (n / step.across), step.cellW, step.cellH};
            canvas.SetClip(box.x, box.y, box.w, box.h);
            if (step.divTable == SpriteTable::ItemSprites)
                PaintItemCell(canvas, box, n);
            else
                PaintFontCell(canvas, box, n, step.divTable == SpriteTable::Font2Sprites);
        }
        canvas.ResetClip();
        return;
    }
    for (int k = 0; k < step.cellCount; ++k) {
        const SpriteCell& cell = step.cells[k];
        if (cell.w <= 0 || cell.h <= 0) continue;
        const Box box{cell.x, cell.y, cell.w, cell.h};
        // A cell cut again (a repeated frame) is painted afresh over its first painting.
        canvas.Clear(box.x, box.y, box.w, box.h);
        canvas.SetClip(box.x, box.y, box.w, box.h);
        switch (cell.table) {
        case SpriteTable::GroundEnemySprites:
        case SpriteTable::AirEnemySprites:
        case SpriteTable::GroundPartSprites:
        case SpriteTable::AirPartSprites: PaintEnemyCell(canvas, box, cell.table, cell.row, cell.frame); break;
        case SpriteTable::BgTileSprites:
        case SpriteTable::TerrainSprites: PaintBackgroundCell(canvas, box, step.sheet, cell.table, cell.frame); break;
        default: PaintFixedCell(canvas, box, cell.table, cell.row, cell.frame); break;
        }
    }
    canvas.ResetClip();
}

}  // namespace

std::vector<SheetImage> BuildSheets() {
    std::vector<SheetImage> sheets;
    sheets.reserve(kSheetCount);
    for (int s = 0; s < kSheetCount; ++s) {
        const SheetFile& file = kSheetFiles[s];
        sheets.push_back({static_cast<Sheet>(s), Canvas(file.width, file.height)});
    }
    for (int k = 0; k < kStartupStepCount; ++k)
        PaintStep(sheets[static_cast<int>(kStartupSteps[k].sheet)].canvas, kStartupSteps[k]);
    for (int k = 0; k < kBackgroundGroupFirst[3]; ++k)
        PaintStep(sheets[static_cast<int>(kBackgroundSteps[k].sheet)].canvas, kBackgroundSteps[k]);
    return sheets;
}

}  // namespace makedata
