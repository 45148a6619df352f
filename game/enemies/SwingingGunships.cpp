// SwingingGunships.cpp: the large gunships of stage 2, air types 5 and 6, and their sweeping
// nose turrets, air parts 3 and 4. A gunship sinks in, brakes, and swings about the x it
// entered at, dropping straight-down bullets while it passes the middle of its swing; after
// 600 turns it sinks out. It holds a spawn gate in every turn of its life.
//
// Working values: vx the entry x; work2 the phase (0 sink, 1 brake, 2-5 swing, 6 leave),
// work3 the swing offset, work4 the swing direction, work5 the swing rate; type 6's work0 its
// gate (2 or 3). Turrets: work4 the base aim, work2 the barrel offset, work3 its change.
#include <algorithm>

#include "AirCommon.h"

namespace {

struct Gunship {
    int32_t brakeLine;
    Swing swing;
    int32_t window;  // the hull guns fire while the offset lies within it
    int32_t part;
};
constexpr Gunship kType5 = {-307200, {80, 1000, 92160}, 61440, 3};
constexpr Gunship kType6 = {-225280, {100, 2000, 153600}, 102400, 4};
constexpr BlastPoint kCorners[4] = {{-32, -32}, {32, -32}, {-32, 32}, {32, 32}};

void SetUp(AirEnemyLists* lists, CharaData* e, const Gunship& g) {
    EnemyLists view = AsEnemyLists(lists);
    SpawnAirPart(g.part, lists->parts, 0, 31, Aim(&view, e), e);
    e->vx = e->x;
    e->work4 = e->x < 0 ? 1 : -1;
    if (g.part == 4) e->work0 = e->x < 0 ? 2 : 3;
    e->subKind[0] = 5;
    e->subFrame[0] = 0;
    e->subAngle[0] = 256;
    e->subX[0] = 0;
    e->subY[0] = -29696;
}

void Act(AirEnemyLists* airLists, CharaData* e, const Gunship& g) {
    EnemyLists lists = AsEnemyLists(airLists);
    int32_t oldY = e->y;
    bool even = EvenTurn(e);
    switch (e->work2) {
    case 0:
        if (even) e->speed = std::min(e->speed + 1, 24);
        break;
    case 1:
        if (even) e->speed -= 1;
        if (e->speed < 2) {
            e->speed = 1;
            e->work2 = 2;
            e->work5 = 0;
        }
        break;
    case 6:
        if (even) e->speed = std::min(e->speed + 1, 20);
        break;
    default: SwingStep(e, g.swing); break;
    }
    if (e->work2 == 0 && oldY > g.brakeLine) e->work2 = 1;
    if (e->frameCounter > 600) e->work2 = 6;
    e->y += SinTable[256] * e->speed;
    e->x = e->vx + e->work3;
    AdvanceClock(e);
    if (e->frameCounter % 2 == 0) e->subFrame[0] = e->subFrame[0] >= 2 ? 0 : e->subFrame[0] + 1;

    if ((e->work2 != 2 && e->work2 != 4) || e->work3 < -g.window || e->work3 > g.window) return;
    int32_t fc = e->frameCounter;
    if (fc % ScaleFireIntervalMild(20) == 2) {
        MildShot(&lists, e, -55, 49, 24, 256, 2);
        MildShot(&lists, e, 55, 49, 24, 256, 2);
    }
    if (fc % ScaleFireIntervalMild(40) == 2) {
        MildShot(&lists, e, -14, 74, 13, 256, 2);
        MildShot(&lists, e, 14, 74, 13, 256, 2);
    }
}

// The turret's barrel swings 128 steps about a base aim that follows the player, and fires
// pairs whatever its gunship does.
void SweepingTurret(EnemyLists* lists, CharaData* part) {
    RunAirPart(
        lists, part,
        [](CharaData* p) {
            p->work2 = 0;
            p->work3 = p->x < PlayerList.self.x ? -4 : 4;
            p->work4 = 0;
        },
        [](EnemyLists* l, CharaData* p) {
            p->work4 = TurnAngleToward(Aim(l, p), p->work4, 10);
            p->angle = NormalizeAngle(p->work4 + p->work2);
            AdvanceClock(p);
            if (p->frameCounter % ScaleFireIntervalStrong(18) == 2) {
                Shot(l, p, -5, 23, 18, p->angle, 2);
                Shot(l, p, 5, 23, 18, p->angle, 2);
            }
            p->work2 += p->work3;
            if (p->work2 > 128)
                p->work3 = -4;
            else if (p->work2 < -128)
                p->work3 = 4;
        });
}

}  // namespace

void UpdateAirEnemyType5(AirEnemyLists* lists, CharaData* e) {
    static constexpr AirShape kShape = {{1500, 64, 64, 0},
                                        [](AirEnemyLists* l, CharaData* r) { SetUp(l, r, kType5); },
                                        [](AirEnemyLists* l, CharaData* r) { Act(l, r, kType5); }, kCorners, 4};
    GameState.spawnGate1000 = 8;
    RunAirEnemy(lists, e, kShape);
}

void UpdateAirEnemyType6(AirEnemyLists* lists, CharaData* e) {
    static constexpr AirShape kShape = {{1500, 64, 64, 0},
                                        [](AirEnemyLists* l, CharaData* r) { SetUp(l, r, kType6); },
                                        [](AirEnemyLists* l, CharaData* r) { Act(l, r, kType6); }, kCorners, 4};
    // Set from the set-up on: the set-up turn itself still holds gate 3000.
    (e->work0 == 2 ? GameState.spawnGate2000 : GameState.spawnGate3000) = 8;
    RunAirEnemy(lists, e, kShape);
}

void UpdateAirPartType3(EnemyLists* lists, CharaData* part) { SweepingTurret(lists, part); }
void UpdateAirPartType4(EnemyLists* lists, CharaData* part) { SweepingTurret(lists, part); }
