// SpriteLayout.h: where every sprite of the game lies on its sheet, as constant data.
// Read by the start-up cutting (which walks kStartupSteps, then kBackgroundSteps of one
// group at a time) and by tools/makedata, which draws each cell where this table says.
//
// A step is one sheet file and what is made of it:
// - Load: `ApiLoadFileToGraph(file)`, then for every cell in order
//   `entry(table, row, frame) = ApiDeriveGraph(x, y, w, h, sheet)`. A later cell may
//   overwrite an entry an earlier one filled (bonus's second load, tama_02's flashes).
// - Divide: `ApiLoadFileToDivGraph(file, total, across, down, cellW, cellH, &entry(table, 0, 0))`:
//   cell n of the division goes to slot n of the table.
// The start-up steps run in the order the game loads its sheets: waku, jiki, bonus
// (divided, then loaded again), baku, font, font2, teki, teki2, boss, boss2, tama_01,
// tama_02, titleback. The background steps run per group (1: stages 1-3, 2: 4-6, 3: 7).
//
// Tables are rows x frames of graphic handles; a one-row table has row 0 and the index as
// its frame. In the four enemy tables the row is the object's type, frames 0-7 its body
// frames and frames 8-15 its sub-sprite frames. Ground row 40's body is a zero-size cut:
// that enemy is never seen.
#pragma once

#include <cstdint>

enum class Sheet : uint8_t {
    Waku, Jiki, Bonus, Baku, Font, Font2, Teki, Teki2, Boss, Boss2, Tama01, Tama02, TitleBack,
    Haikei1, Haikei2, Haikei3, Haikei4, Haikei5, Haikei6, Haikei7,
};
constexpr int kSheetCount = 20;

enum class SpriteTable : uint8_t {
    GroundEnemySprites, AirEnemySprites, GroundPartSprites, AirPartSprites,
    PlayerSprites, ShotSprites, BulletSprites, ShockwaveSprites, EffectSprites,
    ItemSprites, WreckSprites, LabelSprites, FontSprites, Font2Sprites,
    PanelImage,       // the side panel, 160x480
    MenuFrameImages,  // [0] the 384x140 title-menu frame, [1] the 384x43 one
    TitleImage,       // the 640x174 title
    CreditsImages,    // [0] the 365x22 heading, [1..6] the 365x6 lines
    BgTileSprites, TerrainSprites,
};
constexpr int kSpriteTableCount = 20;

struct SheetFile {
    const char* path;  // as the game opens it, relative to its folder
    int16_t width, height;
};

struct SpriteTableShape {
    int16_t rows, frames;
};

struct SpriteCell {
    int16_t x, y, w, h;  // the rectangle on the step's sheet
    SpriteTable table;
    int16_t row, frame;
};

enum class SheetLoad : uint8_t { Load, Divide };

struct SheetStep {
    Sheet sheet;
    SheetLoad how;
    const SpriteCell* cells;  // Load: cut in this order
    int16_t cellCount;
    // Divide: the table filled from slot 0 and the division's geometry.
    SpriteTable divTable;
    int16_t total, across, down, cellW, cellH;
};

extern const SheetFile kSheetFiles[kSheetCount];
extern const SpriteTableShape kSpriteTableShapes[kSpriteTableCount];

extern const SheetStep kStartupSteps[];
extern const int kStartupStepCount;

// Background steps of group g (1-3) are kBackgroundSteps[kBackgroundGroupFirst[g - 1]] up
// to, not including, kBackgroundSteps[kBackgroundGroupFirst[g]].
extern const SheetStep kBackgroundSteps[];
extern const int kBackgroundGroupFirst[4];

inline const SheetFile& GetSheetFile(Sheet sheet) { return kSheetFiles[static_cast<int>(sheet)]; }
inline const SpriteTableShape& GetTableShape(SpriteTable table) {
    return kSpriteTableShapes[static_cast<int>(table)];
}
// The entry's position in its table laid out row after row.
inline int GetTableSlot(SpriteTable table, int row, int frame) {
    return row * GetTableShape(table).frames + frame;
}
