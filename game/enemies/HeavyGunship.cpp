// HeavyGunship.cpp: air type 3 and its nose turret, air part 1. The gunship sinks in, hangs
// for 161 turns while its two pods open and fire 12-bullet fans and the turret sprays aimed
// pairs, then closes its pods and dives out.
//
// Working values: work2 the phase (0 sink, 1 hover, 2 leave), work5 the hovering turns. The
// pods are sub-sprites 0 and 1, both always at the same frame (0 shut to 3 open).
#include <algorithm>

#include "AirCommon.h"

namespace {

constexpr BlastPoint kCorners[4] = {{-32, -32}, {32, -32}, {-32, 32}, {32, 32}};

void SetUp(AirEnemyLists* lists, CharaData* e) {
    EnemyLists view = AsEnemyLists(lists);
    SpawnAirPart(1, lists->parts, 0, 34, Aim(&view, e), e);
    for (int i = 0; i < 2; i++) {
        e->subKind[i] = 3;
        e->subFrame[i] = 0;
        e->subAngle[i] = 256;
        e->subX[i] = i == 0 ? -56320 : 56320;
        e->subY[i] = 30720;
    }
}

// A pod aims from its own muzzle, s px to the side and 29 px below the centre.
void PodVolley(const EnemyLists* lists, const CharaData* e, int32_t side) {
    int32_t a = AimFrom(lists, e->x + side * 1024, e->y + 29696);
    for (int32_t speed : {36, 30})
        for (int32_t d : {-100, 0, 100}) Shot(lists, e, side, 29, speed, a + d, 3);
}

void Act(AirEnemyLists* airLists, CharaData* e) {
    EnemyLists lists = AsEnemyLists(airLists);
    int32_t oldY = e->y;
    bool even = EvenTurn(e);
    switch (e->work2) {
    case 0:
        if (even) e->speed = std::min(e->speed + 1, 12);
        break;
    case 1:
        if (even) e->speed = std::max(e->speed - 1, -2);
        e->work5 += 1;
        if (e->work5 > 160) e->work2 = 2;
        break;
    default:
        if (even) e->speed = std::min(e->speed + 1, 20);
        break;
    }
    if (e->work2 == 0 && (PixelDistanceToPlayer(PlayerOf(&lists), e->x, oldY) < 160 || oldY > -163840)) e->work2 = 1;
    e->vy = SinTable[256] * e->speed;
    e->y += e->vy;
    AdvanceClock(e);
    int32_t fc = e->frameCounter;
    if (e->work2 == 1) {
        if (e->subFrame[0] < 3 && fc % 3 == 0) e->subFrame[1] = ++e->subFrame[0];
        if (fc % ScaleFireIntervalStrong(60) == 2 && e->subFrame[0] >= 3) {
            PodVolley(&lists, e, -55);
            PodVolley(&lists, e, 55);
        }
    } else if (e->subFrame[0] > 0 && fc % 3 == 0) {
        e->subFrame[1] = --e->subFrame[0];
    }
}

}  // namespace

void UpdateAirEnemyType3(AirEnemyLists* lists, CharaData* e) {
    static constexpr AirShape kShape = {{1000, 64, 64, 3}, SetUp, Act, kCorners, 4};
    RunAirEnemy(lists, e, kShape);
}

// The turret tracks at 10 a turn; while the gunship hovers it tracks twice as fast for 50
// turns of every Strong(90) and fires pairs in the rest.
void UpdateAirPartType1(EnemyLists* lists, CharaData* part) {
    RunAirPart(lists, part, nullptr, [](EnemyLists* l, CharaData* p) {
        int32_t aim = Aim(l, p);
        p->angle = TurnAngleToward(aim, p->angle, 10);
        AdvanceClock(p);
        if (p->parent->work2 != 1) return;
        if (p->frameCounter % ScaleFireIntervalStrong(90) < 50) {
            p->angle = TurnAngleToward(aim, p->angle, 10);
        } else if (p->frameCounter % ScaleFireIntervalStrong(8) == 0) {
            Shot(l, p, -5, 23, 34, p->angle, 2);
            Shot(l, p, 5, 23, 34, p->angle, 2);
        }
    });
}
