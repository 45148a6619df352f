// Stage3Boss.cpp: the stage-3 boss, two halves of type 22, each with a four-hatch gun (part
// 15) and a fan gun (part 16). A half creeps down and darts back up, riding the scroll, and
// fires aimed three-way spreads from under its hatch; once the other half is down it fires
// twice as often and opens a second hatch for a two-armed spiral. Below 7000 hit points a
// half's four-hatch gun blows up and its fan gun starts to sweep.
//
// Half: work4 and work5 the two spiral arms' angles; sub-sprites 0 and 1 its hatches. Part
// 15: work2 its step in the 10-step fire cycle; sub-sprites 0-3 its hatches.
#include "BossCommon.h"

namespace {

constexpr int32_t kWoundedBelow = 7000;

void SetUpHalf(EnemyLists* lists, CharaData* e) {
    SpawnGroundPart(15, lists->partner, 0, 50, 256, e);
    SpawnGroundPart(16, lists->partner, 0, 0, 256, e);
    SetUpBoss(e, {15000, 45, 94, 20, 8, 1});
    SetHatch(e, 0, 22, 0, -48);
    SetHatch(e, 1, 22, 0, -69);
}

void Spread(EnemyLists* lists, const CharaData* e, int32_t side) {
    int32_t a = AimFrom(lists, e->x + side * 1024, e->y - 48 * 1024);
    for (int32_t d : {-80, 0, 80}) Shot(lists, e, side, -48, 24, a + d, 2);
}

void Spiral(EnemyLists* lists, CharaData* e) {
    e->work4 += 37;
    e->work5 -= 37;
    if (e->work4 > 1024) e->work4 = 0;
    if (e->work5 < 0) e->work5 = 1024;
    Shot(lists, e, -10, -69, 20, e->work4 + 256, 2);
    Shot(lists, e, 10, -69, 20, e->work5 + 256, 2);
    Shot(lists, e, -10, -69, 18, e->work4 + 236, 2);
    Shot(lists, e, -10, -69, 18, e->work4 + 276, 2);
    Shot(lists, e, 10, -69, 18, e->work5 + 236, 2);
    Shot(lists, e, 10, -69, 18, e->work5 + 276, 2);
}

void ActHalf(EnemyLists* lists, CharaData* e) {
    HalfCreep(e, -71680, -163840);
    AdvanceClock(e);
    int32_t fc = e->frameCounter;
    bool alone = GameState.bossLife < 10;
    int32_t base = alone ? 30 : 60;
    int32_t r = fc % ScaleFireIntervalStrong(base);
    if (r > 3 && r < ScaleFireIntervalStrong(base) - 5)
        CloseHatches(e, 1);
    else
        OpenHatches(e, 1);
    if (fc % ScaleFireIntervalStrong(base) == 2 && (GameState.remix == 0 || fc % 120 > 40)) {
        Spread(lists, e, -10);
        Spread(lists, e, 10);
    }
    if (!alone) return;
    // The second hatch works on its own frame, sub-sprite 1.
    if (fc % 2 == 0) {
        if (fc % 120 < 86) {
            if (e->subFrame[1] < 3) e->subFrame[1] += 1;
        } else if (e->subFrame[1] > 0) {
            e->subFrame[1] -= 1;
        }
    }
    if (e->subFrame[1] == 3 && fc % ScaleFireIntervalStrong(15) == 2 && fc % 120 < 80) Spiral(lists, e);
}

// Part 15's steps 2-6: aimed pairs from the hatches back to front, then two rings of eight.
void HatchFire(EnemyLists* lists, CharaData* p) {
    static constexpr int8_t kRows[5] = {-19, -7, 8, 19, 19};
    int32_t step = p->work2;
    if (step < 2 || step > 6) return;
    int32_t f = kRows[step - 2];
    for (int32_t side : {-10, 10}) {
        int32_t a = AimFrom(lists, p->x + side * 1024, p->y + f * 1024);
        if (step <= 4) {
            Shot(lists, p, side, f, 20, a, 2);
            continue;
        }
        int32_t turn = step == 6 ? 64 : 0;
        for (int k = 0; k < 8; k++) Shot(lists, p, side, f, 15, a + turn + 128 * k, 2);
    }
}

void FanFire(EnemyLists* lists, CharaData* gun) {
    if (gun->frameCounter % ScaleFireIntervalStrong(14) != 2) return;
    static constexpr int8_t kOffsets[10] = {-27, -21, -15, -9, -3, 3, 9, 15, 21, 27};
    static constexpr int8_t kSpeeds[10] = {24, 24, 27, 27, 30, 30, 33, 33, 36, 36};
    // The faster bullets lead on the side the gun sweeps toward.
    for (int i = 0; i < 10; i++)
        Shot(lists, gun, 0, 6, kSpeeds[gun->work4 >= 0 ? i : 9 - i], gun->angle + kOffsets[i], 3);
}

}  // namespace

void UpdateGroundEnemyType22(EnemyLists* lists, CharaData* e) {
    static constexpr BossShape kShape = {SetUpHalf, ActHalf, true, {kTwoCentres, 2, false, true, false}};
    RunBoss(lists, e, kShape);
}

void UpdateGroundPartType15(EnemyLists* lists, CharaData* part) {
    RunMountedPart(
        lists, part,
        [](CharaData* p) {
            p->angle = 256;
            static constexpr int8_t kHatchY[4] = {-19, -7, 8, 19};
            for (int i = 0; i < 4; i++) SetHatch(p, i, 13, 0, kHatchY[i]);
        },
        [](EnemyLists* l, CharaData* p) { return BreakOffBelow(l, p, kWoundedBelow); },
        [](EnemyLists* l, CharaData* p) {
            AdvanceClock(p);
            if (p->frameCounter % ScaleFireIntervalMedium(12) == 2) {
                HatchFire(l, p);
                p->work2 = p->work2 >= 9 ? 0 : p->work2 + 1;
            }
            if (p->frameCounter % 2 != 0) return;
            int32_t step = p->work2;
            if (step >= 1 && step <= 4 && p->subFrame[step - 1] < 3) p->subFrame[step - 1] += 1;
            if (step >= 5 && step <= 8 && p->subFrame[step - 5] > 0) p->subFrame[step - 5] -= 1;
        });
}

void UpdateGroundPartType16(EnemyLists* lists, CharaData* part) {
    RunMountedPart(lists, part, nullptr, nullptr, [](EnemyLists* l, CharaData* p) {
        if (p->parent->hp < kWoundedBelow) SweepGun(l, p, FanFire);
    });
}
