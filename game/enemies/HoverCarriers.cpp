// HoverCarriers.cpp: the large carriers of types 4, 7, 12 and 21. They come down into the
// upper field, hover between about 110 and 200 px above the centre for 1200 frames and then
// ride away with the ground. Type 4 fires two counter-rotating streams through a hatch; the
// others fight through their turrets. While one is in the list it holds a spawn gate, in
// every turn whatever its state, so the stage script passes over a range of its rows.
//
// Working values: work2 the hover direction (+1 along the heading, -1 against, 0 not yet
// moving); type 4: work4 and work5 the directions of its two streams.
#include "EnemyCommon.h"
#include "GroundBehaviours.h"

static constexpr GroundStats kType4 = {4500, 45, 63, 20, 6, 2, 0, Blast::Five};
static constexpr GroundStats kType7 = {4800, 47, 65, 20, 6, 2, 0, Blast::Five};
static constexpr GroundStats kType12 = {4800, 46, 62, 20, 6, 2, 0, Blast::Five};
static constexpr GroundStats kType21 = {5600, 45, 64, 20, 8, 2, 0, Blast::Five};

// The gate a carrier holds: on stage 5, elsewhere left of x 10, elsewhere right of it.
struct GateHold {
    int32_t GameStateRecord::*gate;
    int32_t frames;
};
static void HoldGate(const CharaData* e, const GateHold (&holds)[3]) {
    const GateHold& hold = GameState.stage == 5 ? holds[0] : e->x < 10 ? holds[1] : holds[2];
    GameState.*hold.gate = hold.frames;
}
using S = GameStateRecord;
static constexpr GateHold kGates4[3] = {{&S::spawnGate5000, 8}, {&S::spawnGate2000, 20}, {&S::spawnGate3000, 20}};
static constexpr GateHold kGates7[3] = {{&S::spawnGate5000, 50}, {&S::spawnGate1000, 20}, {&S::spawnGate2000, 20}};
static constexpr GateHold kGates12[3] = {{&S::spawnGate5000, 8}, {&S::spawnGate1000, 20}, {&S::spawnGate2000, 20}};
static constexpr GateHold kGates21[3] = {{&S::spawnGate1000, 20}, {&S::spawnGate1000, 20}, {&S::spawnGate1000, 20}};

// Down to -110 px, up to -200 px, down again (faster in the last 20 frames of every 80), for
// the first 1200 frames; the bounds compare in 1/1024 px.
static void Hover(CharaData* e) {
    if (e->work2 > 0) e->speed = e->frameCounter % 80 > 59 ? 6 : 3;
    e->vy = SinTable[NormalizeAngle(e->angle)] * e->speed * e->work2;
    if (e->frameCounter >= 1200) return;
    e->y += e->vy;
    if (e->y >= -112639) {
        e->speed = 9;
        e->work2 = -1;
    } else if (e->y < -204800) {
        e->work2 = 1;
    }
}

// Sideways carriers of types 7 and 12 never hover.
static bool HeadsSideways(const CharaData* e) { return e->angle == 0 || e->angle == 512; }

// The hatch opens one frame on each even frame in the first 80 of every 120 and closes in the
// last 40; the two streams fire only through the open hatch and turn 37 steps apart.
static void HatchStreams(EnemyLists* lists, CharaData* e) {
    int32_t f = e->frameCounter;
    if (f % 120 < 80) {
        if (e->subFrame[0] < 3 && f % 2 == 0) e->subFrame[0] += 1;
    } else if (e->subFrame[0] > 0 && f % 2 == 0) {
        e->subFrame[0] -= 1;
    }
    if (f % ScaleFireIntervalStrong(6) != 2 || e->subFrame[0] != 3) return;
    Shot(lists, e, -11, -38, 20, e->work4, 2);
    Shot(lists, e, 11, -38, 20, e->work5, 2);
    if (GameState.remix == 1) {
        Shot(lists, e, -11, -38, 22, e->work4, 2);
        Shot(lists, e, 11, -38, 22, e->work5, 2);
    }
    e->work4 += 37;
    if (e->work4 > 1024) e->work4 = 0;
    e->work5 -= 37;
    if (e->work5 < 0) e->work5 = 1024;
}

static void Carrier(EnemyLists* lists, CharaData* e, const GroundShape& shape, const GateHold (&gates)[3]) {
    HoldGate(e, gates);
    RunGroundEnemy(lists, e, shape);
}

void UpdateGroundEnemyType4(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType4,
                                           [](EnemyLists* l, CharaData* r) {
                                               r->work2 = 1;
                                               r->work4 = r->work5 = 256;
                                               r->subKind[0] = 4;
                                               r->subFrame[0] = 0;
                                               r->subAngle[0] = 256;
                                               r->subX[0] = 0;
                                               r->subY[0] = -32768;
                                               SpawnGroundPart(2, l->partner, 0, 16, Aim(l, r), r);
                                           },
                                           [](EnemyLists* l, CharaData* r) {
                                               Hover(r);
                                               AdvanceClock(r);
                                               HatchStreams(l, r);
                                           },
                                           false, nullptr};
    Carrier(lists, e, kShape, kGates4);
}

static void HoverUnlessSideways(EnemyLists*, CharaData* e) {
    if (!HeadsSideways(e)) Hover(e);
    AdvanceClock(e);
}

void UpdateGroundEnemyType7(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType7,
                                           [](EnemyLists* l, CharaData* r) {
                                               int32_t aim = Aim(l, r);
                                               SpawnGroundPart(3, l->partner, -31, -40, 0, r);
                                               SpawnGroundPart(3, l->partner, 31, -40, 0, r);
                                               SpawnGroundPart(5, l->partner, 0, 15, aim, r);
                                           },
                                           HoverUnlessSideways, false, nullptr};
    Carrier(lists, e, kShape, kGates7);
}

void UpdateGroundEnemyType12(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType12,
                                           [](EnemyLists* l, CharaData* r) {
                                               int32_t aim = Aim(l, r);
                                               SpawnGroundPart(9, l->partner, 0, -40, aim, r);
                                               SpawnGroundPart(12, l->partner, -26, 43, aim, r);
                                               SpawnGroundPart(12, l->partner, 26, 43, aim, r);
                                           },
                                           HoverUnlessSideways, false, nullptr};
    Carrier(lists, e, kShape, kGates12);
}

void UpdateGroundEnemyType21(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType21,
                                           [](EnemyLists* l, CharaData* r) {
                                               r->work2 = 1;
                                               SpawnGroundPart(13, l->partner, 0, 32, 256, r);
                                               SpawnGroundPart(14, l->partner, 0, -11, 256, r);
                                           },
                                           [](EnemyLists*, CharaData* r) {
                                               Hover(r);
                                               AdvanceClock(r);
                                           },
                                           false, nullptr};
    Carrier(lists, e, kShape, kGates21);
}
