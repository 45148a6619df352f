// BossCommon.h: what the seven stage bosses share, written once.
//
// A boss is set up in one turn and acts from the next. The one-piece hulls (stages 1, 2, 6)
// sway between two heights without riding the scroll; the halves (stages 3, 4, 5) ride the
// scroll, creep down and dart back up; the stage-7 halves only ride it. Destroyed, a boss runs
// 21 turns of blasts over a table of centres, each centre with the five-blast pattern, with
// a shockwave and "bak3" early on; then it lies in state 4, riding the scroll. A half takes 5
// off bossLife as it enters state 4 (never below 0); the updater holds bossLife at 0 for the
// one-piece hulls.
//
// Guns shared by several bosses: the sweep gun (parts 16, 20, 27), the main-gun cycle
// (parts 10, 18) and the spread gun it breaks into (parts 11, 19). Each part reacts to its
// carrier's hp; a part that blows itself up (state 0) ends its turn there, while a part that
// changes type runs the rest of that turn under the old one.
//
// Work fields by use: a hull's work2 is its direction (+1 down, -1 up). Guns: work2 the base
// aim of a sweep (or the swing state of a sweep gun), work3 the offset, work4 the step,
// work5 the pause.
#pragma once

#include <initializer_list>

#include "AirCommon.h"
#include "EnemyCommon.h"

// ---- hulls ---------------------------------------------------------------------------------

struct BossStats {
    int32_t hp;
    int16_t hitW, hitH;
    int16_t blastKind;
    int16_t speed;
    int32_t direction;  // work2 at set-up
};
// The common values of a boss hull or half; sub-sprites and parts are the caller's.
void SetUpBoss(CharaData* e, const BossStats& stats);

// Sub-sprite i: kind, frame 0, angle 256, offset in px.
void SetHatch(CharaData* e, int i, int32_t kind, int32_t xPx, int32_t yPx);
// On an even clock, every hatch from 0 to count-1 opens (or closes) one frame together,
// while the first is short of fully open (or above shut).
void OpenHatches(CharaData* e, int count);
void CloseHatches(CharaData* e, int count);

// The one-piece hull's sway: speed 6, 9 in the last 20 frames of every 80, down until y
// passes low (px above the centre as 1/1024 units), up until it passes high.
void HullSway(CharaData* e, int32_t low, int32_t high);
// The half's creep: 3 down (6 in the last 20 of every 80) until y passes low, then 9 up until
// it passes high.
void HalfCreep(CharaData* e, int32_t low, int32_t high);

struct BossBlast {
    const BlastPoint* centres;
    int centreCount;
    bool secondFrameShockwave;  // the stage-1 hull; every other boss in its third
    bool half;                  // takes 5 off bossLife
    bool sideFlags;             // stage 7: marks its side destroyed
};
void RunBossDestruction(EnemyLists* lists, CharaData* e, const BossBlast& blast);

struct BossShape {
    void (*setUp)(EnemyLists* lists, CharaData* e);
    void (*active)(EnemyLists* lists, CharaData* e);  // each started state-2 turn
    bool ridesScroll;                                 // in state 2
    BossBlast blast;
};
void RunBoss(EnemyLists* lists, CharaData* e, const BossShape& shape);

// The centres of the blasts, shared by several bosses.
extern const BlastPoint kFourCentres[4];   // stages 1 and 4
extern const BlastPoint kSevenCentres[7];  // stages 2 and 7
extern const BlastPoint kTwoCentres[2];    // stages 3 and 5

// ---- parts ---------------------------------------------------------------------------------

// The sweep gun, once woken: a silent swing from straight down to straight up, then sweeps of
// a whole turn each way at 6 a frame with 10-frame pauses. fire runs in sweep frames in which
// the gun moves, after it has turned.
void SweepGun(EnemyLists* lists, CharaData* gun, void (*fire)(EnemyLists* lists, CharaData* gun));

// The main-gun cycle of parts 10 and 18 (clock mod 1200): aimed twin shots, then sweeps.
struct MainGun {
    int32_t aimedEnd;           // the aimed phase runs below it
    int32_t aimBase, aimWindow; // turns while clock % Mild(aimBase) < aimWindow
    int32_t aimedTwinBase;      // twin shots at Strong(base) == 2 in the aimed phase
    int32_t sweepTwinBase;      // and in the sweep
    int32_t twinSide;           // the twin muzzles lie this far to each side, 50 px ahead
    // Part 18's waves: after the aimed step, and in every frame of the sweep step.
    void (*aimedWave)(EnemyLists* lists, CharaData* gun);
    void (*sweepWave)(EnemyLists* lists, CharaData* gun);
};
void MainGunCycle(EnemyLists* lists, CharaData* gun, const MainGun& spec);

// The spread gun of parts 11 and 19: turns on the player, widens its step every 140 frames,
// and holds still firing six-bullet spreads at the end of each 140.
struct SpreadGun {
    int32_t clockModulus;
    int32_t holdFrom;  // clock % 140 from here on: still and firing
    int32_t (*interval)(int32_t base);
    int32_t fireBase;
    int32_t side;
};
// Returns the turned aim of this frame (part 19 fires its waves along it).
int32_t SpreadGunStep(EnemyLists* lists, CharaData* gun, const SpreadGun& spec);

// Boss behaviours.
void UpdateGroundEnemyType16(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType20(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType22(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType28(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType32(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType37(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType41(EnemyLists* lists, CharaData* e);
void UpdateGroundPartType10(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType11(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType15(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType16(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType18(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType19(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType20(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType21(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType23(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType24(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType25(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType26(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType27(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType28(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType29(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType30(EnemyLists* lists, CharaData* part);
