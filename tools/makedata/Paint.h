// Paint.h: the painters of makedata. Each paints one cell of the sprite layout into its
// rectangle (the canvas clip is the cell), or one whole background sheet.
#pragma once

#include "Canvas.h"
#include "SpriteLayout.h"

namespace makedata {

struct Box {
    int x, y, w, h;
    double cx() const { return x + w / 2.0; }
    double cy() const { return y + h / 2.0; }
};

// Shared shading: a shape drawn in an outline colour one pixel larger, then its colour,
// then a lighter top band.
Rgb Darker(Rgb c);
Rgb Lighter(Rgb c);

void PaintEnemyCell(Canvas& canvas, const Box& box, SpriteTable table, int row, int frame);
void PaintFixedCell(Canvas& canvas, const Box& box, SpriteTable table, int row, int frame);
void PaintBackgroundCell(Canvas& canvas, const Box& box, Sheet sheet, SpriteTable table, int id);
// The division cells: bonus's 16x16 items and the two fonts' 12x12 characters.
void PaintItemCell(Canvas& canvas, const Box& box, int index);
void PaintFontCell(Canvas& canvas, const Box& box, int code, bool second);

}  // namespace makedata
