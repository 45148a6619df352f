// HatchGuns.cpp: three guns of their own kind. Part 13, a block of three hatches on the type-21
// carrier, fires aimed rows while the carrier is healthy and breaks off below 4000 hit points;
// part 14, on the same carrier, wakes then and sweeps a fan across the lower field; part 31,
// on the type-44 crawler, throws turning rings.
//
// Working values: part 13 work2 its step (0-11). Part 14 work2 its phase (0 opening swing,
// 1 sweeping), work3 the sweep offset, work4 the sweep step, work5 the pause. Part 31 work2
// alternates so that every second tick throws a ring.
#include "EnemyCommon.h"
#include "GroundBehaviours.h"

static constexpr int32_t kWoundedBelow = 4000;

// ---- part 13 ---------------------------------------------------------------------------

// A row fires from both sides, each around its own aim, then one bullet from each side at the
// right side's aim.
static void HatchRow(EnemyLists* lists, CharaData* p, int32_t row, bool wide, int32_t speed) {
    const CharaData& player = PlayerOf(lists);
    static constexpr int16_t kNarrow[] = {-64, 64};
    static constexpr int16_t kWide[] = {-128, 0, 128};
    auto side = [&](int32_t s) {
        int32_t a = NormalizeAngle(GetAngleTo(p->x + s * 1024, p->y + row * 1024, player.x, player.y));
        if (wide)
            for (int32_t d : kWide) Shot(lists, p, s, row, speed, a + d, 2);
        else
            for (int32_t d : kNarrow) Shot(lists, p, s, row, speed, a + d, 2);
        return a;
    };
    side(-10);
    int32_t right = side(10);
    Shot(lists, p, -10, row, 20, right, 2);
    Shot(lists, p, 10, row, 20, right, 2);
}

static void HatchStep(EnemyLists* lists, CharaData* p) {
    struct Row {
        int8_t row;
        bool wide;
        int8_t speed;
    };
    static constexpr Row kRows[6] = {{-13, false, 20}, {0, true, 25},  {13, false, 30},
                                     {-13, true, 35},  {0, false, 40}, {13, true, 45}};
    if (p->work2 >= 3 && p->work2 <= 8) {
        const Row& r = kRows[p->work2 - 3];
        HatchRow(lists, p, r.row, r.wide, r.speed);
    }
    p->work2 = p->work2 >= 11 ? 0 : p->work2 + 1;
}

// Steps 2-4 open hatch 0-2 a frame on each even frame, steps 8-10 close them: each hatch opens
// one step ahead of the row that fires from it.
static void AnimateHatches(CharaData* p) {
    if (p->frameCounter % 2 != 0) return;
    int32_t step = p->work2;
    if (step >= 2 && step <= 4 && p->subFrame[step - 2] < 3) p->subFrame[step - 2] += 1;
    if (step >= 8 && step <= 10 && p->subFrame[step - 8] > 0) p->subFrame[step - 8] -= 1;
}

void UpdateGroundPartType13(EnemyLists* lists, CharaData* part) {
    if (part->state == 1) {
        SetUpPart(part);
        part->angle = 256;
        for (int i = 0; i < 3; i++) {
            part->subKind[i] = 13;
            part->subFrame[i] = 0;
            part->subAngle[i] = 256;
            part->subX[i] = 0;
            part->subY[i] = (i - 1) * 13312;
        }
    }
    if (BreakOffBelow(lists, part, kWoundedBelow)) return;
    if (part->state != 2 || !Started(part)) return;
    PlaceOnParent(part);
    AdvanceClock(part);
    if (part->frameCounter % ScaleFireIntervalMedium(12) == 2) HatchStep(lists, part);
    AnimateHatches(part);
}

// ---- part 14 ---------------------------------------------------------------------------

static void FanSweep(EnemyLists* lists, CharaData* p) {
    if (p->parent->hp >= kWoundedBelow) return;
    AdvanceClock(p);
    if (p->work2 == 0) {
        // The opening swing from straight down to the side, silent.
        p->work3 += 6;
        if (p->work3 > 255) {
            p->work3 = 256;
            p->work4 = 6;
            p->work2 = 1;
        }
        p->angle = NormalizeAngle(p->work3 + 256);
        p->work5 = 0;
        return;
    }
    if (p->work5 > 0) p->work5 -= 1;
    if (p->work5 != 0) return;
    p->work3 += p->work4;
    if (p->work3 > 256) {
        p->work4 = -6;
        p->work5 = 60;
    }
    if (p->work3 < -256) {
        p->work4 = 6;
        p->work5 = 60;
    }
    p->angle = NormalizeAngle(p->work3 + 256);
    if (p->frameCounter % ScaleFireIntervalStrong(9) != 2) return;
    // The faster bullets lead on the side the gun sweeps toward.
    static constexpr int8_t kSpeeds[5] = {24, 27, 30, 33, 36};
    for (int i = 0; i < 5; i++)
        Shot(lists, p, 0, 6, kSpeeds[p->work4 >= 0 ? i : 4 - i], p->angle + (i - 2) * 10, 3);
}

void UpdateGroundPartType14(EnemyLists* lists, CharaData* part) { RunPart(lists, part, nullptr, FanSweep); }

// ---- part 31 ---------------------------------------------------------------------------

void UpdateGroundPartType31(EnemyLists* lists, CharaData* part) {
    RunPart(
        lists, part, [](CharaData* p) { p->angle = 256; },
        [](EnemyLists* l, CharaData* p) {
            AdvanceClock(p);
            int32_t f = p->frameCounter;
            if (f % 400 >= 201 || f % ScaleFireIntervalStrong(10) != 0) return;
            if (p->work2 == 0) {
                static constexpr int8_t kRing[8][2] = {{0, -9}, {-7, -7}, {-9, 0}, {-7, 7},
                                                       {0, 9},  {7, 7},   {9, 0},  {7, -7}};
                p->angle = NormalizeAngle(p->angle);
                for (int k = 0; k < 8; k++) Shot(l, p, kRing[k][0], kRing[k][1], 20, p->angle + 128 * k, 1);
            }
            p->angle += 32;
            p->work2 = p->work2 == 0 ? 1 : 0;
        });
}
