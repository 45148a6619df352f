// SheetCells.h: a cell of the generated sheets as the data folder holds it, and how much of
// it a presented frame shows at a place: the harness reads the menus' cursor and digits,
// and the boss timer's label, off the screen this way.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "GameRun.h"
#include "SpriteLayout.h"

namespace sheetcells {

struct Cell {
    int width = 0, height = 0;
    std::vector<std::pair<int, uint32_t>> opaque;  // y x width + x, 0x00RRGGBB
};

// The cell the layout makes for (table, frame), listed or divided; empty when none.
inline Cell LayoutCell(SpriteTable table, int frame) {
    Cell cell;
    int x = 0, y = 0;
    const SheetStep* found = nullptr;
    for (int i = 0; i < kStartupStepCount && !found; i++) {
        const SheetStep& step = kStartupSteps[i];
        if (step.how == SheetLoad::Divide && step.divTable == table && frame < step.total) {
            found = &step;
            x = frame % step.across * step.cellW;
            y = frame / step.across * step.cellH;
            cell.width = step.cellW;
            cell.height = step.cellH;
        }
        for (int c = 0; c < step.cellCount && !found; c++)
            if (step.cells[c].table == table && step.cells[c].frame == frame) {
                found = &step;
                x = step.cells[c].x;
                y = step.cells[c].y;
                cell.width = step.cells[c].w;
                cell.height = step.cells[c].h;
            }
    }
    if (!found) return cell;
    // A 24-bit bottom-up BMP, rows padded to 4 bytes; pure black is transparent.
    const std::string bmp = gamerun::ReadFile(std::string(QZ_DATA_DIR) + "/" + (GetSheetFile(found->sheet).path + 5));
    if (bmp.size() < 54) return cell;
    auto read32 = [&](size_t at) {
        uint32_t v = 0;
        std::memcpy(&v, bmp.data() + at, 4);
        return v;
    };
    const uint32_t offset = read32(10), width = read32(18), height = read32(22);
    const size_t pitch = (width * 3 + 3) & ~size_t{3};
    for (int cy = 0; cy < cell.height; cy++)
        for (int cx = 0; cx < cell.width; cx++) {
            const size_t at = offset + (height - 1 - size_t(y + cy)) * pitch + size_t(x + cx) * 3;
            if (at + 3 > bmp.size()) continue;
            const uint8_t* p = reinterpret_cast<const uint8_t*>(bmp.data()) + at;
            const uint32_t rgb = uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
            if (rgb != 0) cell.opaque.push_back({cy * cell.width + cx, rgb});
        }
    return cell;
}

// How many of the cell's opaque pixels show, in their colours, with its top-left corner at
// (left, top) of a frame of 0x??RRGGBB pixels, top row first.
inline int PixelsShown(const Cell& cell, const uint32_t* pixels, int width, int height, int left, int top) {
    int shown = 0;
    for (const auto& [at, rgb] : cell.opaque) {
        const int x = left + at % cell.width, y = top + at / cell.width;
        if (x >= 0 && y >= 0 && x < width && y < height) shown += (pixels[size_t(y) * width + x] & 0xFFFFFF) == rgb;
    }
    return shown;
}

// The whole cell shows there.
inline bool Shows(const Cell& cell, const uint32_t* pixels, int width, int height, int left, int top) {
    return !cell.opaque.empty() && PixelsShown(cell, pixels, width, height, left, top) == int(cell.opaque.size());
}

}  // namespace sheetcells
