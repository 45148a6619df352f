// StageScript.cpp: the stage script, run once per living frame while the ground scrolls.
//
// The shield-3 bonus is paid every scrolling frame; the map moves one px per 1024 of
// scrollFrac (one px every two frames at speed 512); every enemy row whose time x 12 equals
// scrolled + 480 fires, in table order, and so does every terrain row whose time x 120
// equals it. Rows are never revisited; the cursors stop at the tables' ends.
#include "StageScript.h"

#include "GameRules.h"
#include "GameTypes.h"
#include "Spawners.h"

StageTableSet ActiveStageTables = {StageEnemyTable, StageTerrainTable, StageBgTable};

static int StageIndex() {
    int32_t stage = GameState.stage;
    return stage < 1 ? 0 : stage > kStageCount ? kStageCount - 1 : stage - 1;
}

int32_t StageBandAt(int32_t band) {
    if (band < 0 || band >= kBgBandsPerStage) return kBgEndMarker;
    return ActiveStageTables.bands[StageIndex()][band];
}

// The gate of a thousand's code range, or null for the ranges that spawn nothing.
static int32_t* GateOf(int32_t thousand) {
    switch (thousand) {
    case 1: return &GameState.spawnGate1000;
    case 2: return &GameState.spawnGate2000;
    case 3: return &GameState.spawnGate3000;
    case 5: return &GameState.spawnGate5000;
    default: return nullptr;
    }
}

static void SpawnRow(const int32_t* row) {
    int32_t code = row[0];
    if (code < 1) return;
    if (code >= 1000) {
        int32_t* gate = GateOf(code / 1000);
        if (!gate || *gate > 0) return;  // used up either way: never retried
        code %= 1000;
    }
    int32_t x = row[1] * 1024, y = row[2] * 1024, angle = row[3];
    if (code < 100)
        SpawnGroundEnemy(code, &GroundEnemyList, x, y, angle);
    else
        SpawnAirEnemy(code - 100, &AirEnemyList, x, y, angle);
}

void UpdateStageScript() {
    if (GameState.scrollPause == 1 || GameState.scrollSpeed == 0) return;
    if (GameState.shield > 2) {
        static const int32_t kBonus[5] = {30, 40, 50, 60, 70};
        GameState.shieldCycle += 1;
        if (GameState.shieldCycle == 20) GameState.shieldCycle = 0;
        int32_t level = GameState.level < 0 ? 0 : GameState.level > 4 ? 4 : GameState.level;
        AddScore(kBonus[level], &PlayerList);
    }
    GameState.scrollFrac += GameState.scrollSpeed;
    if (GameState.scrollFrac >= 1024) {
        GameState.scrolled += 1;
        GameState.scrollFrac %= 1024;
    }
    const int stage = StageIndex();
    const int64_t due = int64_t{GameState.scrolled} + 480;
    while (GameState.enemyRowCursor >= 0 && GameState.enemyRowCursor < kEnemyRowsPerStage) {
        const int32_t* row = ActiveStageTables.enemies[stage][GameState.enemyRowCursor];
        if (row[0] == 0 || int64_t{row[4]} * 12 != due) break;
        GameState.enemyRowCursor += 1;
        SpawnRow(row);
    }
    ScrollTerrain();
    while (GameState.terrainRowCursor >= 0 && GameState.terrainRowCursor < kTerrainRowsPerStage) {
        const int32_t* row = ActiveStageTables.terrain[stage][GameState.terrainRowCursor];
        if (row[0] < 1 || int64_t{row[3]} * 120 != due) break;
        GameState.terrainRowCursor += 1;
        SpawnTerrainPiece(row[0], row[1] * 1024, row[2] * 1024);
    }
}

void ScrollTerrain() {
    const int32_t limit = (GameState.stage == 2 ? 360 : 300) * 1024;
    for (ChikeiData* piece = TerrainList.head; piece;) {
        if (piece->kind != 0) {
            piece->y += GameState.scrollSpeed;
            if (piece->y > limit) {
                piece = TerrainList.RemoveNode(piece);
                continue;
            }
        }
        piece = piece->next;
    }
}
