// Stage2Boss.cpp: the stage-2 boss, hull 32. It sways between 80 and 240 px above the centre
// firing three-bullet fans from six muzzles, left to right and back, and carries two spinning
// twin guns (parts 25, 26), a four-muzzle gun (part 24) and a cannon (part 23). Below 14000
// hit points the four-muzzle gun blows up and the cannon wakes.
//
// Part 24: work2 its step in the 10-step fire cycle; sub-sprite 0 its hatch. Parts 25, 26:
// work2 the spin rate.
#include <algorithm>

#include "BossCommon.h"

namespace {

constexpr int32_t kWoundedBelow = 14000;

void SetUpHull(EnemyLists* lists, CharaData* e) {
    SpawnGroundPart(25, lists->partner, -62, -57, 256, e);
    SpawnGroundPart(26, lists->partner, 62, -57, 256, e);
    SpawnGroundPart(24, lists->partner, 0, 32, 256, e);
    SpawnGroundPart(23, lists->partner, 0, -13, 768, e);
    SetUpBoss(e, {28000, 93, 94, 100, 10, 1});
}

// By remainder of the hull's clock: the muzzle and the centre of its three-bullet fan.
struct Volley {
    int8_t remainder;
    int8_t side, forward;
    int16_t centre;
};
constexpr Volley kVolleys[12] = {
    {5, -74, -25, 356}, {10, -62, -23, 256}, {15, -50, -25, 156}, {20, 50, -25, 356},
    {25, 62, -23, 256}, {30, 74, -25, 156},  {90, -74, -25, 356}, {85, -62, -23, 256},
    {80, -50, -25, 156}, {75, 50, -25, 356}, {70, 62, -23, 256},  {65, 74, -25, 156},
};

void ActHull(EnemyLists* lists, CharaData* e) {
    HullSway(e, -81920, -245760);
    AdvanceClock(e);
    for (const Volley& v : kVolleys) {
        if (e->frameCounter % ScaleFireIntervalStrong(120) != v.remainder) continue;
        ShotFrom(lists, e, v.side, v.forward, 256, 20, v.centre, 2);
        ShotFrom(lists, e, v.side, v.forward, 256, 18, v.centre - 16, 2);
        ShotFrom(lists, e, v.side, v.forward, 256, 18, v.centre + 16, 2);
    }
}

// Part 24's muzzles in firing order, and per step the spread and speed of the outer
// (upper) and inner (lower) muzzles.
struct Muzzle {
    int8_t side, forward;
    bool upper;
};
constexpr Muzzle kMuzzles[4] = {{-9, -7, true}, {-9, 7, false}, {9, 7, false}, {9, -7, true}};
struct Step {
    int8_t upperSpread, upperSpeed, lowerSpread, lowerSpeed;
};
constexpr Step kSteps[4] = {{0, 24, 0, 18}, {12, 22, 15, 20}, {24, 20, 30, 22}, {36, 18, 45, 24}};

void FourMuzzleStep(EnemyLists* lists, CharaData* p) {
    if (p->work2 < 2 || p->work2 > 5) return;
    const Step& s = kSteps[p->work2 - 2];
    for (const Muzzle& m : kMuzzles) {
        int32_t a = AimFrom(lists, p->x + m.side * 1024, p->y + m.forward * 1024);
        int32_t spread = m.upper ? s.upperSpread : s.lowerSpread, speed = m.upper ? s.upperSpeed : s.lowerSpeed;
        if (spread == 0) {
            Shot(lists, p, m.side, m.forward, speed, a, 2);
        } else {
            Shot(lists, p, m.side, m.forward, speed, a - spread, 2);
            Shot(lists, p, m.side, m.forward, speed, a + spread, 2);
        }
    }
}

// Parts 25 and 26 spin up in opposite senses and spray both ways, and coast to a stop at the
// start of every interval.
template <int32_t Sense>
void SpinningGun(EnemyLists* lists, CharaData* p) {
    int32_t oldAngle = p->angle;
    AdvanceClock(p);
    int32_t fc = p->frameCounter;
    if (fc % ScaleFireIntervalStrong(400) <= 150) {
        p->work2 = Sense > 0 ? std::max(p->work2 - 1, 0) : std::min(p->work2 + 1, 0);
        return;
    }
    p->angle = NormalizeAngle(p->angle + p->work2);
    if (fc % 2 == 0) p->work2 = Sense > 0 ? std::min(p->work2 + 1, 39) : std::max(p->work2 - 1, -39);
    if (fc % ScaleFireIntervalStrong(10) == 0) {
        ShotFrom(lists, p, -5, -5, oldAngle, 28, p->angle, 3);
        ShotFrom(lists, p, 5, -5, oldAngle, 28, p->angle + 512, 3);
    }
}

void SetUpFacingDown(CharaData* p) { p->angle = 256; }

}  // namespace

void UpdateGroundEnemyType32(EnemyLists* lists, CharaData* e) {
    static constexpr BossShape kShape = {SetUpHull, ActHull, false, {kSevenCentres, 7, false, false, false}};
    RunBoss(lists, e, kShape);
}

// The cannon, still until the hull is wounded; then it tracks and fires in the second half of
// every 400 frames.
void UpdateGroundPartType23(EnemyLists* lists, CharaData* part) {
    RunMountedPart(lists, part, nullptr, nullptr, [](EnemyLists* l, CharaData* p) {
        if (p->parent->hp >= kWoundedBelow) return;
        p->angle = TurnAngleToward(Aim(l, p), p->angle, 10);
        AdvanceClock(p);
        if (p->frameCounter % 400 > 200 && p->frameCounter % ScaleFireIntervalStrong(20) == 2)
            Shot(l, p, 0, 72, 50, p->angle, 5);
    });
}

void UpdateGroundPartType24(EnemyLists* lists, CharaData* part) {
    RunMountedPart(
        lists, part,
        [](CharaData* p) {
            p->angle = 256;
            SetHatch(p, 0, 24, 0, 0);
        },
        [](EnemyLists* l, CharaData* p) { return BreakOffBelow(l, p, kWoundedBelow); },
        [](EnemyLists* l, CharaData* p) {
            AdvanceClock(p);
            if (p->frameCounter % 3 == 0) {
                if (p->work2 >= 1 && p->work2 <= 6) {
                    if (p->subFrame[0] < 3) p->subFrame[0] += 1;
                } else if (p->subFrame[0] > 0) {
                    p->subFrame[0] -= 1;
                }
            }
            if (p->frameCounter % ScaleFireIntervalStrong(17) != 2) return;
            FourMuzzleStep(l, p);
            p->work2 = p->work2 >= 9 ? 0 : p->work2 + 1;
        });
}

void UpdateGroundPartType25(EnemyLists* lists, CharaData* part) {
    RunMountedPart(lists, part, SetUpFacingDown, nullptr, SpinningGun<1>);
}
void UpdateGroundPartType26(EnemyLists* lists, CharaData* part) {
    RunMountedPart(lists, part, SetUpFacingDown, nullptr, SpinningGun<-1>);
}
