// Stage4Boss.cpp: the stage-4 boss, two halves of type 28, each with two twin guns (part 21)
// and a sweeping shell gun (part 20). A half creeps like the stage-3 halves and fires aimed
// volleys from eight muzzles under four hatches; at 8000 hit points or less its volleys come
// half as often, below 8000 its twin guns break off and its shell gun wakes; once the other
// half is down it fires more often and adds side bullets to every volley.
//
// Part 21: work4 the speed of its next pair.
#include "BossCommon.h"

namespace {

void SetUpHalf(EnemyLists* lists, CharaData* e) {
    int32_t a = Aim(lists, e);
    SpawnGroundPart(21, lists->partner, -21, 54, a, e);
    SpawnGroundPart(21, lists->partner, 21, 54, a, e);
    SpawnGroundPart(20, lists->partner, 0, -10, 256, e);
    SetUpBoss(e, {16000, 57, 91, 20, 8, 1});
    SetHatch(e, 0, 28, -21, -75);
    SetHatch(e, 1, 28, 21, -75);
    SetHatch(e, 2, 28, -21, -62);
    SetHatch(e, 3, 28, 21, -62);
}

constexpr int8_t kSides[4] = {-29, -13, 13, 29};

void Volley(EnemyLists* lists, const CharaData* e, bool alone) {
    auto aim = [&](int32_t side, int32_t forward) {
        return AimFrom(lists, e->x + side * 1024, e->y + forward * 1024);
    };
    for (int32_t side : kSides) Shot(lists, e, side, -75, 20, aim(side, -75), 2);
    for (int32_t side : kSides) Shot(lists, e, side, -62, 36, aim(side, -62), 2);
    if (!alone) return;
    for (int32_t side : kSides)
        for (int32_t d : {-32, 32}) Shot(lists, e, side, -75, 20, aim(side, -75) + d, 2);
    for (int32_t side : kSides)
        for (int32_t d : {-128, -48, 48, 128}) Shot(lists, e, side, -62, 36, aim(side, -62) + d, 2);
}

void ActHalf(EnemyLists* lists, CharaData* e) {
    HalfCreep(e, -92160, -153600);
    AdvanceClock(e);
    bool alone = GameState.bossLife < 10;
    int32_t base = alone ? 55 : 66;
    if (e->hp <= 8000) base *= 2;
    int32_t fc = e->frameCounter;
    int32_t r = fc % ScaleFireIntervalStrong(base);
    if (r > 3 && r < ScaleFireIntervalStrong(base) - 5)
        CloseHatches(e, 4);
    else
        OpenHatches(e, 4);
    if (fc % ScaleFireIntervalStrong(base) == 2 && (GameState.remix == 0 || fc % 120 > 40)) Volley(lists, e, alone);
}

void ShellFire(EnemyLists* lists, CharaData* gun) {
    if (gun->frameCounter % ScaleFireIntervalStrong(20) == 2) Shot(lists, gun, 0, 58, 38, gun->angle + 3, 6);
}

}  // namespace

void UpdateGroundEnemyType28(EnemyLists* lists, CharaData* e) {
    static constexpr BossShape kShape = {SetUpHalf, ActHalf, true, {kFourCentres, 4, false, true, false}};
    RunBoss(lists, e, kShape);
}

// A twin gun breaking off becomes inert (type 0) and runs the rest of that turn as before.
void UpdateGroundPartType21(EnemyLists* lists, CharaData* part) {
    RunMountedPart(
        lists, part, [](CharaData* p) { p->work4 = 12; },
        [](EnemyLists* l, CharaData* p) {
            if (p->parent->hp < 8000) {
                GiveWay(l, p);
                p->type = 0;
            }
            return false;
        },
        [](EnemyLists* l, CharaData* p) {
            p->angle = TurnAngleToward(Aim(l, p), p->angle, 10);
            AdvanceClock(p);
            int32_t r = p->frameCounter % ScaleFireIntervalStrong(80);
            if (r <= 20 || r >= 40) {
                p->work4 = 16;
                return;
            }
            if (p->frameCounter % 4 != 2) return;
            Shot(l, p, -5, 19, p->work4, p->angle, 1);
            Shot(l, p, 5, 19, p->work4, p->angle, 1);
            p->work4 += 4;
        });
}

void UpdateGroundPartType20(EnemyLists* lists, CharaData* part) {
    RunMountedPart(lists, part, nullptr, nullptr, [](EnemyLists* l, CharaData* p) {
        if (p->parent->hp < 8000) SweepGun(l, p, ShellFire);
    });
}
