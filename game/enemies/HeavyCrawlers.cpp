// HeavyCrawlers.cpp: ground enemies that fire from their own hull. Type 35 crawls 120 px down
// under a spinning turret that throws rings in bursts; 42 waits 121 turns above the field,
// crawls and fires an aimed fan and a turning four-way stream, and sends a successor when
// destroyed; 43 has the same guns on a still hull; 36 is a hatch gun, a target only while
// its hatch is open.
//
// Working values: 35, 42 work3 the distance crawled; 42, 43 work2 the turn of the four-way
// stream; 36 work4 the step of its hatch cycle, work5 the aim of its last spread.
#include "EnemyCommon.h"
#include "GroundBehaviours.h"

static constexpr GroundStats kType35 = {1500, 51, 54, 20, 4, 2, 0, Blast::Five};
static constexpr GroundStats kType36 = {320, 42, 42, 1, 4, 4, 0, Blast::Single};
static constexpr GroundStats kType42 = {1900, 51, 54, 20, 4, 4, 0, Blast::Five};
static constexpr GroundStats kType43 = {1900, 51, 54, 20, 4, 2, 0, Blast::Five};

// After the type's values: the scroll's step in vy and sub-sprite 0.
static void SetUpHull(CharaData* e, int32_t subKind) {
    e->vx = 0;
    e->vy = 2048;
    e->subKind[0] = subKind;
    e->subFrame[0] = 0;
    e->subAngle[0] = 256;
    e->subX[0] = e->subY[0] = 0;
}

// ---- type 35 ---------------------------------------------------------------------------

void UpdateGroundEnemyType35(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType35, [](EnemyLists*, CharaData* r) { SetUpHull(r, 15); },
                                           [](EnemyLists* l, CharaData* r) {
                                               DriveForward(r, 4, 6);
                                               AdvanceClock(r);
                                               r->subAngle[0] += 16;
                                               if (r->frameCounter % ScaleFireIntervalStrong(90) >= 12) return;
                                               r->subAngle[0] += 16;
                                               if (r->frameCounter % 3 == 2) CentreRing(l, r, 40);
                                           },
                                           false, nullptr};
    RunGroundEnemy(lists, e, kShape);
}

// ---- types 42 and 43 -------------------------------------------------------------------

// The hatch opens in the first 17 frames of each Strong(70) cycle, on even frames.
static void CycleHatch(CharaData* e) {
    if (e->frameCounter % 2 != 0) return;
    if (e->frameCounter % ScaleFireIntervalStrong(70) <= 16) {
        if (e->subFrame[0] < 3) e->subFrame[0] += 1;
    } else if (e->subFrame[0] > 0) {
        e->subFrame[0] -= 1;
    }
}

// Eleven bullets around the aim, 8 steps apart (32 in REMIX).
static void AimedFan(EnemyLists* lists, const CharaData* e) {
    int32_t a = Aim(lists, e);
    int32_t spread = GameState.remix == 1 ? 32 : 8;
    SpawnEnemyBullet(lists->player, lists->bullets, e->x, e->y, 15, a, 1, 0);
    for (int32_t k = 1; k <= 5; k++) {
        SpawnEnemyBullet(lists->player, lists->bullets, e->x, e->y, 15, NormalizeAngle(a - k * spread), 1, 0);
        SpawnEnemyBullet(lists->player, lists->bullets, e->x, e->y, 15, NormalizeAngle(a + k * spread), 1, 0);
    }
}

// Four streams from the hull's corners, left and right mirrored, turning 41 a volley.
static void FourWayStream(EnemyLists* lists, CharaData* e) {
    int32_t w = e->work2;
    Shot(lists, e, -35, -38, 28, w + 640, 2);
    Shot(lists, e, -35, 38, 28, 384 - w, 2);
    Shot(lists, e, 35, -38, 28, 896 - w, 2);
    Shot(lists, e, 35, 38, 28, w + 128, 2);
    e->work2 = w + 41;
}

static void HullGuns(EnemyLists* lists, CharaData* e) {
    if (e->type == 42) DriveForward(e, 4, 6);
    AdvanceClock(e);
    CycleHatch(e);
    if (e->frameCounter % ScaleFireIntervalMild(70) == 12) AimedFan(lists, e);
    if (e->frameCounter % ScaleFireIntervalStrong(21) == 0) FourWayStream(lists, e);
}

// The wait above the field, from the set-up turn on: a target from its 121st turn.
static void Wait(CharaData* e) {
    AdvanceClock(e);
    if (e->frameCounter > 120) {
        e->state = 2;
        e->frameCounter = 0;
    }
}

// The successor comes in 300 px above the centre at the same x; none once the boss is dead.
static void SendSuccessor(EnemyLists* lists, CharaData* e) {
    SpawnGroundEnemy(42, lists->self, e->x, -307200, 256);
}

void UpdateGroundEnemyType42(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType42, [](EnemyLists*, CharaData* r) { SetUpHull(r, 42); },
                                           HullGuns, false, SendSuccessor};
    if (e->state == 4) {
        Wait(e);
        return;
    }
    RunGroundEnemy(lists, e, kShape);
    if (e->state == 4) Wait(e);
}

void UpdateGroundEnemyType43(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType43, [](EnemyLists*, CharaData* r) { SetUpHull(r, 42); },
                                           HullGuns, false, nullptr};
    RunGroundEnemy(lists, e, kShape);
}

// ---- type 36 ---------------------------------------------------------------------------

// One step of the 21-step hatch cycle: hatch frame (-1 unchanged), state (0 unchanged).
struct HatchStep {
    int8_t frame, state;
};
static constexpr HatchStep kHatchCycle[21] = {
    {1, 4}, {2, 0}, {3, 2}, {-1, 0}, {3, 0}, {2, 4}, {1, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},
    {0, 0}, {0, 0}, {0, 0}, {0, 0},  {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},
};

static void Spread(EnemyLists* lists, CharaData* e) {
    int32_t a = e->work5 = Aim(lists, e);
    static constexpr int16_t kSpread[5][2] = {{0, 30}, {-60, 24}, {60, 24}, {-120, 18}, {120, 18}};
    for (const auto& s : kSpread)
        SpawnEnemyBullet(lists->player, lists->bullets, e->x, e->y, s[1], NormalizeAngle(a + s[0]), 3, 0);
}

void UpdateGroundEnemyType36(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {
        &kType36,
        [](EnemyLists*, CharaData* r) {
            SetUpHull(r, 33);
            r->subKind[1] = 36;
            r->subFrame[1] = 0;
            r->subAngle[1] = 256;
            r->subX[1] = r->subY[1] = 0;
        },
        [](EnemyLists* l, CharaData* r) {
            AdvanceClock(r);
            r->subAngle[0] += 32;
            if (r->subAngle[0] >= 1024) r->subAngle[0] = 0;
            if (r->frameCounter % ScaleFireIntervalStrong(8) != 2) return;
            int32_t step = r->work4;
            if (step >= 0 && step < 21) {
                const HatchStep& s = kHatchCycle[step];
                if (s.frame >= 0) r->subFrame[1] = s.frame;
                if (s.state != 0) r->state = s.state;
                if (step == 3) Spread(l, r);
            }
            r->work4 = step + 1 > 20 ? 0 : step + 1;
        },
        true, nullptr};
    RunGroundEnemy(lists, e, kShape);
}
