// StageScript.h: the stage script (shield bonus, scroll, enemy and terrain rows) and the
// terrain scroll. The tables are read through ActiveStageTables, which points at the
// game's own; a test may point it at tables of its own.
#pragma once

#include <cstdint>

#include "StageTables.h"

struct StageTableSet {
    const int32_t (*enemies)[kEnemyRowsPerStage][5];
    const int32_t (*terrain)[kTerrainRowsPerStage][4];
    const int32_t (*bands)[kBgBandsPerStage];
};
extern StageTableSet ActiveStageTables;

void UpdateStageScript();
void ScrollTerrain();

// The pattern id of a band of the current stage's map; past the table's end the map ends.
int32_t StageBandAt(int32_t band);
