// SpriteTables.cpp: the sprite-handle tables and the cutting that fills them, walking
// the one layout table. Load results are not tested: a sheet that fails leaves -1 in
// its entries, which then draw nothing.
#include "SpriteTables.h"

#include <cstring>
#include <initializer_list>

#include "GameTypes.h"
#include "QzApi.h"

int GroundEnemySprites[64][16];
int AirEnemySprites[64][16];
int GroundPartSprites[64][16];
int AirPartSprites[64][16];
int PlayerSprites[5];
int ShotSprites[7][16];
int BulletSprites[12][16];
int ShockwaveSprites[2][16];
int EffectSprites[4][16];
int ItemSprites[32];
int WreckSprites[3][4];
int LabelSprites[45];
int FontSprites[255];
int Font2Sprites[255];
int PanelImage;
int MenuFrameImages[2];
int TitleImage;
int CreditsImages[7];
int BgTileSprites[100];
int TerrainSprites[55];

// The sheets of the loaded background group, to be freed with it.
static int BgSheetHandles[3];

int* GetTableBase(SpriteTable table) {
    switch (table) {
    case SpriteTable::GroundEnemySprites: return &GroundEnemySprites[0][0];
    case SpriteTable::AirEnemySprites: return &AirEnemySprites[0][0];
    case SpriteTable::GroundPartSprites: return &GroundPartSprites[0][0];
    case SpriteTable::AirPartSprites: return &AirPartSprites[0][0];
    case SpriteTable::PlayerSprites: return PlayerSprites;
    case SpriteTable::ShotSprites: return &ShotSprites[0][0];
    case SpriteTable::BulletSprites: return &BulletSprites[0][0];
    case SpriteTable::ShockwaveSprites: return &ShockwaveSprites[0][0];
    case SpriteTable::EffectSprites: return &EffectSprites[0][0];
    case SpriteTable::ItemSprites: return ItemSprites;
    case SpriteTable::WreckSprites: return &WreckSprites[0][0];
    case SpriteTable::LabelSprites: return LabelSprites;
    case SpriteTable::FontSprites: return FontSprites;
    case SpriteTable::Font2Sprites: return Font2Sprites;
    case SpriteTable::PanelImage: return &PanelImage;
    case SpriteTable::MenuFrameImages: return MenuFrameImages;
    case SpriteTable::TitleImage: return &TitleImage;
    case SpriteTable::CreditsImages: return CreditsImages;
    case SpriteTable::BgTileSprites: return BgTileSprites;
    case SpriteTable::TerrainSprites: return TerrainSprites;
    }
    return nullptr;
}

static int TableSize(SpriteTable table) {
    const SpriteTableShape& shape = GetTableShape(table);
    return shape.rows * shape.frames;
}

// The entry a cell fills, or null when the layout points outside the table.
static int* CellEntry(const SpriteCell& cell) {
    int slot = GetTableSlot(cell.table, cell.row, cell.frame);
    if (cell.frame < 0 || cell.frame >= GetTableShape(cell.table).frames || slot < 0 || slot >= TableSize(cell.table))
        return nullptr;
    return GetTableBase(cell.table) + slot;
}

// Runs one step of the layout; returns the sheet's handle (Load) or the division's result.
static int RunSheetStep(const SheetStep& step) {
    const char* path = GetSheetFile(step.sheet).path;
    if (step.how == SheetLoad::Divide) {
        if (step.total > TableSize(step.divTable)) return -1;
        return ApiLoadFileToDivGraph(path, step.total, step.across, step.down, step.cellW, step.cellH,
                                     GetTableBase(step.divTable));
    }
    int sheet = ApiLoadFileToGraph(path);
    for (int i = 0; i < step.cellCount; i++) {
        const SpriteCell& cell = step.cells[i];
        int handle = ApiDeriveGraph(cell.x, cell.y, cell.w, cell.h, sheet);
        if (int* entry = CellEntry(cell)) *entry = handle;
    }
    return sheet;
}

void CutStartupSheets() {
    std::memset(GroundEnemySprites, 0, sizeof GroundEnemySprites);
    std::memset(AirEnemySprites, 0, sizeof AirEnemySprites);
    std::memset(GroundPartSprites, 0, sizeof GroundPartSprites);
    std::memset(AirPartSprites, 0, sizeof AirPartSprites);
    for (int i = 0; i < kStartupStepCount; i++) RunSheetStep(kStartupSteps[i]);
}

static bool IsBackgroundGroup(int group) { return group >= 1 && group <= 3; }

// Frees the group's sheets, then its tiles, then its terrain. A freed handle is zeroed:
// the library may hand the same number to a later graphic once its check counter wraps.
static void FreeBackgroundGroup(int group) {
    const int first = kBackgroundGroupFirst[group - 1], end = kBackgroundGroupFirst[group];
    for (int i = first; i < end; i++) {
        ApiDeleteOneGraph(BgSheetHandles[i - first], 0);
        BgSheetHandles[i - first] = 0;
    }
    for (SpriteTable table : {SpriteTable::BgTileSprites, SpriteTable::TerrainSprites})
        for (int i = first; i < end; i++)
            for (int c = 0; c < kBackgroundSteps[i].cellCount; c++) {
                const SpriteCell& cell = kBackgroundSteps[i].cells[c];
                int* entry = cell.table == table ? CellEntry(cell) : nullptr;
                if (!entry || *entry == 0) continue;
                ApiDeleteOneGraph(*entry, 0);
                *entry = 0;
            }
}

void LoadBackgroundSet(int stage) {
    int group = stage >= 1 && stage <= 3 ? 1 : stage >= 4 && stage <= 6 ? 2 : stage == 7 ? 3 : stage;
    if (group == GameState.currentBgSet) return;
    if (IsBackgroundGroup(GameState.currentBgSet)) FreeBackgroundGroup(GameState.currentBgSet);
    if (IsBackgroundGroup(group))
        for (int i = kBackgroundGroupFirst[group - 1]; i < kBackgroundGroupFirst[group]; i++)
            BgSheetHandles[i - kBackgroundGroupFirst[group - 1]] = RunSheetStep(kBackgroundSteps[i]);
    GameState.currentBgSet = group;
}
