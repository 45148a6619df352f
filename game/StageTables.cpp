// StageTables.cpp: the stage data. Empty stages for now: every stage ends its rows at
// once and its map at band 21 (band 31 on stage 7).
#include "StageTables.h"

const int32_t StageEnemyTable[kStageCount][kEnemyRowsPerStage][5] = {};
const int32_t StageTerrainTable[kStageCount][kTerrainRowsPerStage][4] = {};
const int32_t StageBgTable[kStageCount][kBgBandsPerStage] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, kBgEndMarker},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, kBgEndMarker},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, kBgEndMarker},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, kBgEndMarker},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, kBgEndMarker},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, kBgEndMarker},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
     0, 0, 0, 0, 0, 0, 0, 0, 0, 0, kBgEndMarker},
};
const int32_t BgPatternTable[kBgPatternCount][kBgColumns] = {{16, 16, 1, 1, 16, 16}};
