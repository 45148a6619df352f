// Stage7Boss.cpp: the stage-7 boss, two halves of type 41, each with a gun block (part 30).
// The halves only ride the scroll; once the ground stops (or while the player is dying) each
// drops four laser emitters every 200 frames. Below 17500 hit points a half's gun block blows
// off and its four hatches open for sweeping volleys, a pause and aimed volleys. A half that
// completes its destruction marks its side destroyed, which clears that side's emitters.
//
// Half: work2 the sweep angle (256 up past 512), work3 the step (0 sweep, 1 pause, 2 aimed),
// work4 the ticks counted in the pause and the aimed step. Part 30: work2 its step in the
// cycle; sub-sprite 0 its cover.
#include "BossCommon.h"

namespace {

constexpr int32_t kWoundedBelow = 17500;

void SetUpHalf(EnemyLists* lists, CharaData* e) {
    SpawnGroundPart(30, lists->partner, 0, -76, 256, e);
    SetUpBoss(e, {35000, 120, 90, 20, 8, 256});
    SetHatch(e, 0, 41, -80, -76);
    SetHatch(e, 1, 41, -80, -23);
    SetHatch(e, 2, 41, 80, -76);
    SetHatch(e, 3, 41, 80, -23);
}

constexpr int8_t kHatchMuzzles[4][2] = {{-80, -76}, {-80, -23}, {80, -76}, {80, -23}};

void DropLasers(EnemyLists* lists, const CharaData* e) {
    for (int32_t side : {-63, -21, 21, 63})
        SpawnEnemyBullet(lists->player, lists->bullets, GetLocalPointX(e->x, side, 91, e->angle),
                         GetLocalPointY(e->y, side, 91, e->angle), 20, 256, 9, -2);
}

void ActHalf(EnemyLists* lists, CharaData* e) {
    AdvanceClock(e);
    int32_t fc = e->frameCounter;
    if ((GameState.scrollPause == 1 || GameState.scrollSpeed == 0) && fc % 200 == 50) DropLasers(lists, e);
    int32_t base = GameState.bossLife < 10 ? 9 : 18;
    if (e->hp >= kWoundedBelow) return;
    if (e->subFrame[0] < 3) {
        OpenHatches(e, 4);
        return;
    }
    switch (e->work3) {
    case 0:
        if (fc % ScaleFireIntervalStrong(base) == 0) {
            int32_t w = e->work2;
            int32_t directions[4] = {w + 128, w, 512 - (w + 128), 512 - w};
            for (int i = 0; i < 4; i++) Shot(lists, e, kHatchMuzzles[i][0], kHatchMuzzles[i][1], 24, directions[i], 2);
            e->work2 += 27;
        }
        if (e->work2 > 512) {
            e->work2 = 256;
            e->work3 = 1;
            e->work4 = 0;
        }
        break;
    case 1:
        if (fc % ScaleFireIntervalStrong(12) == 0) e->work4 += 1;
        if (e->work4 > 3 || GameState.bossLife < 10) {
            e->work3 = 2;
            e->work4 = 0;
        }
        break;
    default:
        if (fc % ScaleFireIntervalStrong(12) == 0) {
            for (const auto& m : kHatchMuzzles)
                Shot(lists, e, m[0], m[1], 24, AimFrom(lists, e->x + m[0] * 1024, e->y + m[1] * 1024), 2);
            e->work4 += 1;
        }
        if (e->work4 > 4) {
            e->work2 = 256;
            e->work3 = 0;
            e->work4 = 0;
        }
        break;
    }
}

// The gun block's cycle: the cover opens over steps 0-2, the upper pair fires two fans, the
// lower pair an aimed stream, and the cover closes.
void BlockStep(EnemyLists* lists, CharaData* p) {
    static constexpr int8_t kCover[13] = {1, 2, 3, 3, 3, 3, 2, 1, 0, 0, 0, 0, 0};
    int32_t step = p->work2;
    p->subFrame[0] = kCover[step];
    for (int32_t side : {-59, 59}) {
        int32_t forward = step == 4 ? 9 : -12;
        int32_t a = AimFrom(lists, p->x + side * 1024, p->y + forward * 1024);
        switch (step) {
        case 2: {
            int32_t m = GameState.remix == 0 ? 1 : 4;
            MildShot(lists, p, side, forward, 12, a, 1);
            for (int32_t k = 8; k <= 48; k += 8) {
                MildShot(lists, p, side, forward, 12, a - k * m, 1);
                MildShot(lists, p, side, forward, 12, a + k * m, 1);
            }
            break;
        }
        case 3:
            for (int32_t d : {0, -64, 64, -128, 128}) MildShot(lists, p, side, forward, 20, a + d, 1);
            break;
        case 4:
            for (int32_t speed : {28, 32, 36}) Shot(lists, p, side, forward, speed, a, 1);
            break;
        default: break;
        }
    }
}

}  // namespace

void UpdateGroundEnemyType41(EnemyLists* lists, CharaData* e) {
    static constexpr BossShape kShape = {SetUpHalf, ActHalf, true, {kSevenCentres, 7, false, true, true}};
    RunBoss(lists, e, kShape);
}

void UpdateGroundPartType30(EnemyLists* lists, CharaData* part) {
    RunMountedPart(
        lists, part,
        [](CharaData* p) {
            p->angle = 256;
            SetHatch(p, 0, 30, 0, 0);
        },
        [](EnemyLists* l, CharaData* p) { return BreakOffBelow(l, p, kWoundedBelow); },
        [](EnemyLists* l, CharaData* p) {
            AdvanceClock(p);
            if (p->frameCounter % ScaleFireIntervalMedium(16) != 2) return;
            BlockStep(l, p);
            int32_t last = GameState.bossLife < 10 ? 6 : 12;
            p->work2 = p->work2 >= last ? 0 : p->work2 + 1;
        });
}
