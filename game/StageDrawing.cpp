// StageDrawing.cpp: the stage's 21 layers, bottom to top, and the stage-clear tally.
//
// A point of the field is drawn at (GetScreenX / 1024, GetScreenY / 1024). Enemy art faces
// down, so enemies turn by angle - 256; the player, shots, bullets and shockwaves by their
// angle. Indices come from records the rules and behaviours write: one outside its table
// draws nothing.
#include "StageDrawing.h"

#include "GameRules.h"
#include "GameTypes.h"
#include "PlayLoop.h"
#include "SaveFiles.h"
#include "SpriteTables.h"
#include "StageScript.h"
#include "QzApi.h"

namespace {

constexpr double kRadiansPerUnit = 3.14159265358979323846 / 512.0;

// The handle at [row][frame] of a rows x frames table, or kNoSprite outside it.
template <int Rows, int Frames>
int Cell(const int (&table)[Rows][Frames], int32_t row, int32_t frame) {
    if (row < 0 || row >= Rows || frame < 0 || frame >= Frames) return kNoSprite;
    return table[row][frame];
}
template <int Count>
int Cell(const int (&table)[Count], int32_t index) {
    if (index < 0 || index >= Count) return kNoSprite;
    return table[index];
}

int ScreenX(int32_t x) { return GetScreenX(x) / 1024; }
int ScreenY(int32_t y) { return GetScreenY(y) / 1024; }

void DrawTopLeft(int x, int y, int handle) {
    if (handle != kNoSprite) ApiDrawPlainGraph(x, y, handle, 1);
}

void Blend(int mode, int parameter) { ApiSetBlendMode(mode, parameter); }

void Box(int x1, int y1, int x2, int y2, int r, int g, int b, int fill = 1) {
    ApiDrawRectangle(x1, y1, x2, y2, ApiGetScreenColorValue(r, g, b), fill);
}

void DrawText(int x, int y, const char* text, const int (&font)[255]) {
    for (int i = 0;; i++) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        DrawSpriteCentred(x + 12 * i + 6, y + 6, 1.0, 0, Cell(font, c >= 0x80 ? 0 : c));
        if (c == 0) break;
    }
}

int CountDigits(int32_t value) {
    int n = 1;
    for (; value >= 10; value /= 10) n++;
    return n;
}

// ---- layers ------------------------------------------------------------------------------

void DrawBackground() {
    Blend(0, 100);
    for (int32_t row = 0; row < 5; row++) {
        const int32_t id = StageBandAt(row + GameState.scrolled / 120);
        if (id == kBgEndMarker || id < 0 || id >= kBgPatternCount) continue;
        for (int column = 0; column < kBgColumns; column++) {
            const int32_t tile = BgPatternTable[id][column];
            const int x = column * 120 - GameState.panX - 120;
            const int y = GameState.scrolled % 120 - row * 120 + 360;
            if (tile > 0 && x > -120 && x < 480 && y > -120 && y < 480) DrawTopLeft(x, y, Cell(BgTileSprites, tile));
        }
    }
}

void DrawWrecks() {
    static const int kOffset[3][2] = {{-23, -24}, {-46, -48}, {-39, -37}};
    Blend(0, 100);
    for (const CharaData* r = WreckList.head; r; r = r->next) {
        if (r->type < 0 || r->type > 2) continue;
        DrawTopLeft(ScreenX(r->x) + kOffset[r->type][0], ScreenY(r->y) + kOffset[r->type][1],
                    Cell(WreckSprites, r->type, r->animFrame));
    }
}

void DrawSubSprites(const CharaData& r, const int (&table)[64][16]) {
    for (int k = 0; k < 4; k++)
        if (r.subKind[k] > 0)
            DrawSpriteCentred(ScreenX(r.x + r.subX[k]), ScreenY(r.y + r.subY[k]), 1.0, NormalizeAngle(r.subAngle[k] - 256),
                              Cell(table, r.subKind[k], 8 + r.subFrame[k]));
}

void DrawBody(const CharaData& r, const int (&table)[64][16]) {
    DrawSpriteCentred(ScreenX(r.x), ScreenY(r.y), 1.0, NormalizeAngle(r.angle - 256), Cell(table, r.type, r.animFrame));
}

void DrawGroundEnemies() {
    Blend(0, 100);
    for (const CharaData* r = GroundEnemyList.head; r; r = r->next) {
        if (r->state == 0 || r->state == 5) continue;
        DrawBody(*r, GroundEnemySprites);
        if (r->state == 1 || r->state == 2 || (r->state == 4 && r->type == 36)) DrawSubSprites(*r, GroundEnemySprites);
    }
    for (const CharaData* r = GroundPartList.head; r; r = r->next) {
        if (r->state == 0) continue;
        DrawBody(*r, GroundPartSprites);
        DrawSubSprites(*r, GroundPartSprites);
    }
}

void DrawTerrain() {
    Blend(0, 100);
    for (const ChikeiData* piece = TerrainList.head; piece; piece = piece->next) {
        const int dx = piece->kind == 52 || piece->kind == 53 ? 120 : 60;
        const int dy = piece->kind == 52 || piece->kind == 53 || piece->kind == 54 ? 120 : 60;
        DrawTopLeft(ScreenX(piece->x) - dx, ScreenY(piece->y) - dy, Cell(TerrainSprites, piece->kind));
    }
}

void DrawItems() {
    for (const CharaData* r = ItemList.head; r; r = r->next)
        if (r->state != 0) DrawSpriteCentred(ScreenX(r->x), ScreenY(r->y), 1.0, 0, Cell(ItemSprites, r->animFrame));
}

void DrawAirEnemies() {
    Blend(0, 100);
    for (const CharaData* r = AirEnemyList.head; r; r = r->next) {
        if (r->state == 0 || r->state == 5) continue;
        DrawBody(*r, AirEnemySprites);
        DrawSubSprites(*r, AirEnemySprites);
    }
    for (const CharaData* r = AirPartList.head; r; r = r->next)
        if (r->state != 0) DrawBody(*r, AirPartSprites);
}

void DrawEffects() {
    static const int kOffset[4] = {30, 20, 15, 10};
    Blend(0, 100);
    for (const CharaData* r = EffectList.head; r; r = r->next) {
        if (r->state == 0 || r->type < 0 || r->type > 3) continue;
        if (r->animFrame >= 5 && GameState.stageFrame % 2 == 0) continue;
        DrawTopLeft(ScreenX(r->x) - kOffset[r->type], ScreenY(r->y) - kOffset[r->type],
                    Cell(EffectSprites, r->type, r->animFrame));
    }
}

void DrawPopups() {
    Blend(0, 100);
    for (const CharaData* r = PopupList.head; r; r = r->next)
        DrawSpriteCentred(ScreenX(r->x), ScreenY(r->y), 1.5, 0, Cell(LabelSprites, r->type));
}

void DrawPlayer() {
    const CharaData& p = PlayerList.self;
    const int x = ScreenX(p.x), y = ScreenY(p.y);
    Blend(0, 100);
    if (GameState.dyingTime < 2 && GameState.respawnFreeze < 1 &&
        (GameState.invulnTime < 1 || GameState.stageFrame % 3 == 2)) {
        DrawSpriteCentred(x, y, 1.0, p.angle, PlayerSprites[0]);
        const bool secondBlade = GameState.remix && GameState.stageFrame % 2 == 0;
        DrawSpriteCentred(x, y, 1.0, p.item, PlayerSprites[secondBlade ? 2 : 1]);
    }
    if (GameState.shield < 1) return;
    Blend(2, GameState.shield >= 2 ? 125 : 70);
    DrawSpriteCentred(x, y, 1.2, 0, PlayerSprites[3 + (GameState.stageFrame / 2) % 2]);
}

void DrawShots() {
    Blend(2, 200);
    for (int slot = 0; slot < 32; slot++)
        if (ShotTable.state[slot] != 0)
            DrawSpriteCentred(ScreenX(ShotTable.x[slot]), ScreenY(ShotTable.y[slot]), ShotTable.scale[slot] / 100.0,
                              ShotTable.angle[slot], Cell(ShotSprites, ShotTable.kind[slot], ShotTable.frame[slot]));
}

void DrawBullets() {
    Blend(0, 100);
    for (const CharaData* r = BulletList.head; r; r = r->next) {
        if (r->state == 0) continue;
        const int handle = Cell(BulletSprites, r->type, r->animFrame);
        if (r->type == 0 || r->type == 3 || r->type == 4 || r->type == 7)
            DrawTopLeft(ScreenX(r->x) - 8, ScreenY(r->y) - 8, handle);
        else
            DrawSpriteCentred(ScreenX(r->x), ScreenY(r->y), 1.0, r->angle, handle);
    }
    for (const CharaData* r = BulletList.head; r; r = r->next)
        if (r->item > 0)
            DrawSpriteCentred(ScreenX(r->muzzleX), ScreenY(r->muzzleY), 1.0, r->angle, Cell(BulletSprites, r->type, 0));
}

void DrawShockwaves() {
    Blend(2, 200);
    for (const CharaData* r = ShockwaveList.head; r; r = r->next) {
        if (r->type == 1)
            DrawSpriteCentred(ScreenX(r->x), ScreenY(r->y), 1.0, r->angle, Cell(ShockwaveSprites, 0, r->animFrame));
        else if (r->type == 2 && r->frameCounter % 2 == 0)
            DrawSpriteCentred(ScreenX(r->x), ScreenY(r->y), r->work2 * 0.1, 0, Cell(ShockwaveSprites, 1, r->animFrame));
    }
}

void DrawNapalm() {
    const int s = kNapalmSlot;
    const int x = ScreenX(ShotTable.x[s]), y = ScreenY(ShotTable.y[s]);
    Blend(0, 100);
    if (ShotTable.state[s] == 1 || ShotTable.state[s] == 2) {
        DrawSpriteCentred(x, y, 1.0, ShotTable.angle[s], Cell(ShotSprites, 2, ShotTable.frame[s]));
    } else if (ShotTable.state[s] == 3) {
        Blend(2, 200);
        if (ShotTable.counter[s] % 2 == 0)
            DrawSpriteCentred(x, y, ShotTable.charge[s] * 0.1, 0, Cell(ShotSprites, 3, ShotTable.frame[s]));
    } else if (ShotTable.state[s] == 0 && PlayerList.self.work2 > 90) {
        DrawSpriteCentred(ScreenX(PlayerList.self.work3), ScreenY(PlayerList.self.work4), 1.0, 0, ShotSprites[1][0]);
    }
}

void DrawIntro() {
    const int32_t n = GameState.stageFrame;
    if (n < 150) {
        Box(0, 0, 480, 480, 1, 1, 1);
        DrawFontText(195, 200, "STAGE ");
        DrawFontNumber(245, 200, GameState.stage, 1);
        DrawFontText(200, 240, "START");
    } else if (1740 - 10 * n > 0) {
        // Two shutters opening from the centre, 10 px a frame.
        Box(0, 0, 1740 - 10 * n, 480, 1, 1, 1);
        Box(10 * n - 1260, 0, 480, 480, 1, 1, 1);
    }
}

void DrawPanel() {
    Blend(0, 100);
    DrawTopLeft(480, 0, PanelImage);
    const int mode = GameState.mode, level = GameState.level;
    const bool tables = mode >= 0 && mode < 2 && level >= 0 && level < 5;
    DrawFontNumber(495, 90, tables ? HiScoreTable[mode][level] : 0, 10);
    DrawFontNumber(495, 120, GameState.score, 10);
    DrawFontNumber(591, 150, GameState.stage, 2);
    DrawFontNumber(603, 180, PlayerList.self.hp > 0 ? PlayerList.self.hp - 1 : 0, 1);
    for (int i = 0; i < GameState.shotPower; i++) Box(499 + 16 * i, 303, 514 + 16 * i, 313, 255, 0, 0);
    for (int i = 0; i < GameState.napalmPower; i++) Box(499 + 16 * i, 333, 514 + 16 * i, 343, 254, 191, 114);
    if (GameState.remix) Box(490, 320, 630, 350, 35, 44, 56);
    if (GameState.shield > 0) Box(499, 363, 546, 373, 0, 255, 255);
    if (GameState.shield > 1) Box(547, 363, 594, 373, 0, 255, 255);
    if (GameState.shield > 2) DrawSpriteCentred(561, 374, 1.5, 0, Cell(LabelSprites, 4 + GameState.shieldCycle));
    for (int i = 0; i < GameState.bonusCount; i++) Box(499 + 11 * i, 413, 508 + 11 * i, 423, 255, 255, 128);
}

void DrawBossTimer() {
    if (GameState.bossTimer >= 2000) return;
    const int32_t e = GameState.bossTimer == 0 ? 0 : GameState.bossTimer / 100 + 1;
    DrawSpriteCentred(232, 18, 1.0, 0, LabelSprites[24]);
    DrawSpriteCentred(263, 18, 1.0, 0, Cell(LabelSprites, 25 + e / 10));
    DrawSpriteCentred(283, 18, 1.0, 0, Cell(LabelSprites, 25 + e % 10));
}

void DrawField() {
    ApplyStageStateBeforeDraw();
    DrawBackground();
    DrawWrecks();
    DrawGroundEnemies();
    DrawTerrain();
    DrawItems();
    DrawAirEnemies();
    DrawEffects();
    DrawPopups();
    DrawPlayer();
    DrawShots();
    DrawBullets();
    DrawShockwaves();
    DrawNapalm();
    DrawIntro();
    DrawPanel();
    DrawBossTimer();
    ApplyStageStateAfterDraw();
    if (GameState.bossTimer == 0) DrawFontText(168, 240, "TIME OVER");
    if (GameState.respawnFreeze > 0) DrawFontText(200, 240, "START");
}

// One row of the tally: heading, count and its points.
void DrawTallyRow(int y, int heading, int32_t count, int32_t points) {
    DrawSpriteCentred(320, y, 1.0, 0, LabelSprites[heading]);
    DrawBigNumber(254, y - 13, count, 2);
    DrawBigNumber(294, y + 12, points, 6);
}

void DrawTally() {
    if (GameState.bossTimer < 1) {
        DrawFontText(168, 240, "TIME OVER");
    } else {
        const int32_t t = GameState.bossTimer / 100 + 1;
        DrawTallyRow(102, 35, t, t * 20000);
        DrawTallyRow(182, 36, GameState.bonusCount, GameState.bonusCount * 20000);
        DrawTallyRow(262, 37, GameState.shield, GameState.shield * 50000);
        if (GameState.stage == 7) DrawTallyRow(342, 38, PlayerList.self.hp, PlayerList.self.hp * 100000);
    }
    ApplyStageStateAfterDraw();
}

}  // namespace

void DrawSpriteCentred(int x, int y, double scale, int32_t angle, int handle) {
    if (handle != kNoSprite) ApiDrawScaleRotateGraph(x, y, scale, angle * kRadiansPerUnit, handle, 1, 0);
}

void DrawFontText(int x, int y, const char* text) { DrawText(x, y, text, FontSprites); }
void DrawFont2Text(int x, int y, const char* text) { DrawText(x, y, text, Font2Sprites); }

void DrawFontNumber(int x, int y, int32_t value, int places) {
    const int n = CountDigits(value);
    for (int j = 0; j <= places && j < n; j++, value /= 10)
        DrawSpriteCentred(x + (places - j) * 12 + 6, y + 6, 1.0, 0, Cell(FontSprites, 48 + value % 10));
}

void DrawBigNumber(int x, int y, int32_t value, int places) {
    const int n = CountDigits(value);
    for (int j = 0; j <= places && j < n; j++, value /= 10) {
        const int32_t digit = value % 10;
        if (digit >= 0) DrawSpriteCentred(x + (places - j) * 20, y, 1.0, 0, Cell(LabelSprites, 25 + digit));
    }
}

void DrawStage() {
    if (GameState.clearCount <= 200)
        DrawField();
    else
        DrawTally();
}
