// StageTables.h: the seven stages as constant data, read by the stage script, the
// terrain scroll and the background drawing.
//
// StageEnemyTable[stage - 1][row] = { code, x px, y px, angle, time }: a code of 0 ends the
//   stage's rows; a row is due when time x 12 == scrolled + 480.
// StageTerrainTable[stage - 1][row] = { kind, x px, y px, time }: a kind below 1 ends the
//   rows; a row is due when time x 120 == scrolled + 480.
// StageBgTable[stage - 1][band] = pattern id of each 120-px band from the bottom; 10000
//   marks the end of the map.
// BgPatternTable[pattern] = six tile ids, one per 120-px column from the left; 0 = no tile.
#pragma once

#include <cstdint>

constexpr int kStageCount = 7;
constexpr int kEnemyRowsPerStage = 220;
constexpr int kTerrainRowsPerStage = 128;
constexpr int kBgBandsPerStage = 100;
constexpr int kBgPatternCount = 69;
constexpr int kBgColumns = 6;
constexpr int32_t kBgEndMarker = 10000;

extern const int32_t StageEnemyTable[kStageCount][kEnemyRowsPerStage][5];
extern const int32_t StageTerrainTable[kStageCount][kTerrainRowsPerStage][4];
extern const int32_t StageBgTable[kStageCount][kBgBandsPerStage];
extern const int32_t BgPatternTable[kBgPatternCount][kBgColumns];
