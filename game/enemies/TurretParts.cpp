// TurretParts.cpp: the aimed turrets mounted on ground enemies, parts 1-9, 12, 17 and 22.
// Each stands on its carrier, turns toward the player at most 10 steps a frame and fires on
// its own clock; none can be shot, and each ends with its carrier.
//
// Working values: parts 3, 4 and 7 keep their aim in work4 (from 0, whatever the carrier gave
// them) and draw at aim plus sweep; 4 and 7 sweep by work2 with step work3. Part 2: work2 its
// bullet speed, work3 its spread. Part 5: work2 picks the next fan. Part 8: work4 the stream
// speed.
#include <initializer_list>

#include "EnemyCommon.h"
#include "GroundBehaviours.h"

static int32_t PlayerAim(const EnemyLists* lists, const CharaData* part) { return Aim(lists, part); }

static void TurnToPlayer(const EnemyLists* lists, CharaData* part) {
    part->angle = TurnAngleToward(PlayerAim(lists, part), part->angle, 10);
}

// Parts 3, 4 and 7 turn their aim base, then draw at base plus sweep.
static void TurnBase(const EnemyLists* lists, CharaData* part) {
    part->work4 = TurnAngleToward(PlayerAim(lists, part), part->work4, 10);
    part->angle = NormalizeAngle(part->work4 + part->work2);
}

// The sweep of parts 4 and 7: the offset runs between -bound and bound, turning back at each.
static void Sweep(CharaData* part, int32_t bound, int32_t step) {
    part->work2 += part->work3;
    if (part->work2 > bound)
        part->work3 = -step;
    else if (part->work2 < -bound)
        part->work3 = step;
}

static void Pair(const EnemyLists* lists, const CharaData* part, int32_t side, int32_t forward, int32_t speed,
                 int32_t type) {
    Shot(lists, part, -side, forward, speed, part->angle, type);
    Shot(lists, part, side, forward, speed, part->angle, type);
}

// Part 1 waits, clock frozen, until its carrier has driven L px (120, 100 on stage 7).
void UpdateGroundPartType1(EnemyLists* lists, CharaData* part) {
    RunPart(lists, part, nullptr, [](EnemyLists* l, CharaData* p) {
        TurnToPlayer(l, p);
        int32_t reach = (GameState.stage == 7 ? 100 : 120) * 1024;
        int32_t driven = p->parent->work5;
        if (driven > -reach && driven < reach) return;
        AdvanceClock(p);
        if (p->frameCounter % ScaleFireIntervalMedium(50) == 2) Pair(l, p, 6, 32, 35, 2);
    });
}

void UpdateGroundPartType2(EnemyLists* lists, CharaData* part) {
    RunPart(
        lists, part,
        [](CharaData* p) {
            p->work2 = 25;
            p->work3 = 8;
        },
        [](EnemyLists* l, CharaData* p) {
            TurnToPlayer(l, p);
            AdvanceClock(p);
            int32_t f = p->frameCounter;
            if (f % 120 <= 90 || f % ScaleFireIntervalStrong(6) != 2) return;
            for (int32_t d : {-p->work3, 0, p->work3}) Shot(l, p, 0, 6, p->work2, p->angle + d, 3);
        });
}

void UpdateGroundPartType3(EnemyLists* lists, CharaData* part) {
    RunPart(lists, part, nullptr, [](EnemyLists* l, CharaData* p) {
        TurnBase(l, p);
        AdvanceClock(p);
        if (p->frameCounter % ScaleFireIntervalStrong(40) == 2) Shot(l, p, 0, 6, 24, p->angle, 2);
    });
}

// Nothing mounts part 4; it sweeps 240 steps either side of its aim at 6 a frame.
void UpdateGroundPartType4(EnemyLists* lists, CharaData* part) {
    RunPart(
        lists, part, [](CharaData* p) { p->work3 = -6; },
        [](EnemyLists* l, CharaData* p) {
            TurnBase(l, p);
            AdvanceClock(p);
            if (p->frameCounter % ScaleFireIntervalStrong(36) == 2) Shot(l, p, 0, 6, 16, p->angle, 2);
            Sweep(p, 240, 6);
        });
}

// Fans A (15 bullets) and B (20) alternate.
void UpdateGroundPartType5(EnemyLists* lists, CharaData* part) {
    RunPart(lists, part, nullptr, [](EnemyLists* l, CharaData* p) {
        static constexpr int16_t kFanA[15] = {-94, -87, -80, -73, -66, -14, -7, 0, 7, 14, 66, 73, 80, 87, 94};
        static constexpr int16_t kFanB[20] = {-134, -127, -120, -113, -106, -54, -47, -40, -33, -26,
                                              26,   33,   40,   47,   54,   106, 113, 120, 127, 134};
        TurnToPlayer(l, p);
        AdvanceClock(p);
        if (p->frameCounter % ScaleFireIntervalMedium(60) != 2) return;
        if (p->work2 == 0) {
            for (int32_t d : kFanA) Shot(l, p, 0, 32, 16, p->angle + d, 3);
            p->work2 = 1;
        } else {
            for (int32_t d : kFanB) Shot(l, p, 0, 32, 16, p->angle + d, 3);
            p->work2 = 0;
        }
    });
}

void UpdateGroundPartType6(EnemyLists* lists, CharaData* part) {
    RunPart(lists, part, nullptr, [](EnemyLists* l, CharaData* p) {
        TurnToPlayer(l, p);
        AdvanceClock(p);
        if (p->frameCounter % ScaleFireIntervalMedium(50) == 2) Shot(l, p, 0, 25, 33, p->angle, 2);
    });
}

// Sweeps 128 steps either side of its aim at 4 a frame (160 at 8 in REMIX); the first
// sweep, from the set-up's step of 1, is slow until it first meets a bound.
void UpdateGroundPartType7(EnemyLists* lists, CharaData* part) {
    RunPart(
        lists, part, [](CharaData* p) { p->work3 = 1; },
        [](EnemyLists* l, CharaData* p) {
            TurnBase(l, p);
            AdvanceClock(p);
            if (p->frameCounter % ScaleFireIntervalStrong(25) == 2) Pair(l, p, 5, 19, 36, 2);
            if (GameState.remix == 0)
                Sweep(p, 128, 4);
            else
                Sweep(p, 160, 8);
        });
}

// Bursts of pairs, each pair 4 faster than the last, inside a window of every cycle; outside
// the window the stream speed goes back to 16.
void UpdateGroundPartType8(EnemyLists* lists, CharaData* part) {
    RunPart(
        lists, part, [](CharaData* p) { p->work4 = 12; },
        [](EnemyLists* l, CharaData* p) {
            TurnToPlayer(l, p);
            AdvanceClock(p);
            int32_t f = p->frameCounter;
            bool remix = GameState.remix != 0;
            auto interval = remix ? ScaleFireIntervalMild : ScaleFireIntervalStrong;
            if (!(20 < f % interval(95) && f % interval(95) < 40)) {
                p->work4 = 16;
                return;
            }
            if (remix ? f % 3 != 1 : f % 4 != 2) return;
            Pair(l, p, 5, 19, p->work4, 1);
            p->work4 += 4;
        });
}

void UpdateGroundPartType9(EnemyLists* lists, CharaData* part) {
    RunPart(lists, part, nullptr, [](EnemyLists* l, CharaData* p) {
        TurnToPlayer(l, p);
        AdvanceClock(p);
        int32_t f = p->frameCounter;
        if (f % 400 > 200 && f % ScaleFireIntervalStrong(40) == 2) Shot(l, p, 0, 71, 50, p->angle, 5);
    });
}

void UpdateGroundPartType12(EnemyLists* lists, CharaData* part) {
    RunPart(lists, part, nullptr, [](EnemyLists* l, CharaData* p) {
        TurnToPlayer(l, p);
        AdvanceClock(p);
        int32_t f = p->frameCounter;
        if (f % 120 <= 30 || f % ScaleFireIntervalStrong(32) != 2) return;
        for (int32_t speed : {24, 20, 16, 12}) MildShot(l, p, 0, 12, speed, p->angle, 2);
    });
}

// Parts 17 and 22 aim during one part of a 100- or 24-frame cycle and hold still firing in
// the rest; their clocks wrap at 1200.
void UpdateGroundPartType17(EnemyLists* lists, CharaData* part) {
    RunPart(lists, part, nullptr, [](EnemyLists* l, CharaData* p) {
        p->frameCounter = (p->frameCounter + 1) % 1200;
        int32_t f = p->frameCounter;
        if (f % 100 < ScaleFireIntervalMild(50)) {
            TurnToPlayer(l, p);
        } else if (f % ScaleFireIntervalMild(8) == 0 && f % 100 >= ScaleFireIntervalMild(50)) {
            MildShot(l, p, -7, 23, 32, p->angle, 2);
            MildShot(l, p, 7, 23, 32, p->angle, 2);
        }
    });
}

void UpdateGroundPartType22(EnemyLists* lists, CharaData* part) {
    RunPart(lists, part, nullptr, [](EnemyLists* l, CharaData* p) {
        p->frameCounter = (p->frameCounter + 1) % 1200;
        int32_t f = p->frameCounter;
        if (f % 24 < 18)
            TurnToPlayer(l, p);
        else if (f % ScaleFireIntervalMild(6) == 0 && f % 24 > 17)
            MildShot(l, p, 0, 23, 24, p->angle, 2);
    });
}
