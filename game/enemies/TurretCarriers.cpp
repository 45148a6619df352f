// TurretCarriers.cpp: ground vehicles and emplacements whose only gun is a part mounted on
// them: the emplacement 29 (part 22); the vehicles 30 and 31 that drive in from a side edge and
// stop (part 6); 33 and 34 that drive 120 px sideways and stop, 38 and 39 that never stop (part
// 1, which waits for their drive); the garage 40 that lets 38s and 39s out; and the crawler 44
// (part 31).
//
// Working values: 33, 34, 38, 39 work5 the signed sideways distance driven (read by part 1);
// 44 work3 the distance crawled down; 40 work4 the step of its release cycle.
#include "EnemyCommon.h"
#include "GroundBehaviours.h"

static constexpr GroundStats kType29 = {200, 23, 21, 15, 0, 2, 0, Blast::Quiet};
static constexpr GroundStats kType30 = {100, 24, 24, 10, 10, 2, 0, Blast::Single};
static constexpr GroundStats kSideDriver = {120, 32, 32, 10, 9, 4, 0, Blast::Single};  // 33, 34, 38, 39
// The garage is never a target: its values only fill the record.
static constexpr GroundStats kType40 = {320, 42, 42, 10, 4, 4, 0, Blast::Single};
static constexpr GroundStats kType44 = {400, 30, 30, 10, 4, 2, 0, Blast::Single};

static constexpr int32_t kLeftStep = -1280, kRightStep = 1280;  // CosTable[512] or [0] x 10

// The part comes first, aimed at the player (the crawler's at 256); then the values. Side
// drivers keep their step in vx, the others start with the scroll's step in vy.
static void SetUpCarrier(EnemyLists* lists, CharaData* e, const GroundStats& stats, int32_t partType,
                         int32_t forward, bool sideDriver) {
    if (partType != 0)
        SpawnGroundPart(partType, lists->partner, 0, forward, e->type == 44 ? 256 : Aim(lists, e), e);
    SetUpGroundEnemy(e, stats);
    e->vx = sideDriver ? 2048 : 0;
    e->vy = sideDriver ? 0 : 2048;
}

// Everything but the garage: set-up, then ride, start, drive and count.
static void RunCarrier(EnemyLists* lists, CharaData* e, const GroundStats& stats, int32_t partType, int32_t forward,
                       void (*drive)(CharaData*)) {
    bool sideDriver = stats.startState == 4;
    switch (e->state) {
    case 1: SetUpCarrier(lists, e, stats, partType, forward, sideDriver); break;
    case 4:
        if (!sideDriver) break;
        [[fallthrough]];
    case 2:
        RideScroll(e);
        if (Started(e)) {
            drive(e);
            AdvanceClock(e);
        }
        break;
    case 3: RunDestruction(lists, e, stats.blast); break;
    case 5: RunLeave(e); break;
    default: break;
    }
}

static int32_t StopLine() { return GameState.stage == 2 || GameState.stage == 7 ? 307200 : 245760; }

static void SideStep(CharaData* e, int32_t step) {
    e->vx = step;
    e->x += step;
    e->work5 += step;
}

void UpdateGroundEnemyType29(EnemyLists* lists, CharaData* e) {
    RunCarrier(lists, e, kType29, 22, 0, [](CharaData*) {});
}

void UpdateGroundEnemyType30(EnemyLists* lists, CharaData* e) {
    RunCarrier(lists, e, kType30, 6, 0, [](CharaData* r) {
        if (r->x > StopLine()) r->x += CosTable[512] * r->speed;
    });
}

void UpdateGroundEnemyType31(EnemyLists* lists, CharaData* e) {
    RunCarrier(lists, e, kType30, 6, 0, [](CharaData* r) {
        if (r->x < -StopLine()) r->x += CosTable[0] * r->speed;
    });
}

// 120 px sideways, a target from the 49th step on, then standing.
void UpdateGroundEnemyType33(EnemyLists* lists, CharaData* e) {
    RunCarrier(lists, e, kSideDriver, 1, -4, [](CharaData* r) {
        r->speed = 10;
        if (r->work5 > -61440) {
            SideStep(r, kLeftStep);
        } else if (r->work5 > -122880) {
            SideStep(r, kLeftStep);
            r->state = 2;
        }
    });
}

void UpdateGroundEnemyType34(EnemyLists* lists, CharaData* e) {
    RunCarrier(lists, e, kSideDriver, 1, -4, [](CharaData* r) {
        r->speed = 10;
        if (r->work5 < 61440) {
            SideStep(r, kRightStep);
        } else if (r->work5 < 122880) {
            SideStep(r, kRightStep);
            r->state = 2;
        }
    });
}

// Untouchable for the first 60 px (40 on stage 7), then driving on until culled.
static int32_t Untouchable() { return (GameState.stage == 7 ? 40 : 60) * 1024; }

void UpdateGroundEnemyType38(EnemyLists* lists, CharaData* e) {
    RunCarrier(lists, e, kSideDriver, 1, -4, [](CharaData* r) {
        r->speed = 10;
        if (r->work5 <= -Untouchable()) r->state = 2;
        SideStep(r, kLeftStep);
    });
}

void UpdateGroundEnemyType39(EnemyLists* lists, CharaData* e) {
    RunCarrier(lists, e, kSideDriver, 1, -4, [](CharaData* r) {
        r->speed = 10;
        if (r->work5 >= Untouchable()) r->state = 2;
        SideStep(r, kRightStep);
    });
}

// The garage lives in state 4: every 84 turns (the first in its 14th) a vehicle drives out
// toward the centre line, set up in the same frame behind the garage in the walk.
void UpdateGroundEnemyType40(EnemyLists* lists, CharaData* e) {
    switch (e->state) {
    case 1: SetUpCarrier(lists, e, kType40, 0, 0, false); break;
    case 2:
    case 4:
        RideScroll(e);
        if (!Started(e)) break;
        AdvanceClock(e);
        if (e->frameCounter % 4 != 2) break;
        if (e->work4 == 3) {
            if (e->x < 0)
                SpawnGroundEnemy(39, lists->self, e->x, e->y, 0);
            else
                SpawnGroundEnemy(38, lists->self, e->x, e->y, 512);
        }
        e->work4 = e->work4 + 1 > 20 ? 0 : e->work4 + 1;
        break;
    case 3: RunDestruction(lists, e, kType40.blast); break;
    case 5: RunLeave(e); break;
    default: break;
    }
}

// Creeps 120 px along its heading, faster in 64 of every 80 frames, then stands.
void UpdateGroundEnemyType44(EnemyLists* lists, CharaData* e) {
    RunCarrier(lists, e, kType44, 31, 0, [](CharaData* r) { DriveForward(r, 4, 6); });
}
