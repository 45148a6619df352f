// GridShooters.cpp: types 5, 14, 18 and 19, which fire from a square of nine muzzles (three
// rows of three, 15 px apart) in a cycle that also opens and closes their hatch sprite.
// Types 5 and 14 drive 120 px down the field; 18 and 19 wait at a side of the field, slide in
// to 240 px from the centre and, destroyed in the upper half, are replaced on their row.
//
// Working values: work3 the distance driven (5, 14), work4 the cycle step, work5 the aim held
// for a cycle (5, 18, 19).
#include "EnemyCommon.h"
#include "GroundBehaviours.h"

static constexpr GroundStats kType5 = {300, 42, 42, 10, 4, 2, 0, Blast::Single};
static constexpr GroundStats kType14 = {300, 42, 42, 10, 8, 2, 0, Blast::Single};
static constexpr GroundStats kType18 = {300, 42, 42, 10, 10, 2, 0, Blast::Single};

// g1..g9 as (side, forward) along the record's angle.
static constexpr int8_t kGrid[9][2] = {{-15, -15}, {0, -15}, {15, -15}, {-15, 0}, {0, 0},
                                       {15, 0},    {-15, 15}, {0, 15}, {15, 15}};

// After 200 frames, slides along the heading until 240 px from the centre.
static void SlideIn(CharaData* e) {
    bool outside = e->type == 18 ? e->x < -245760 : e->x > 245760;
    if (outside && e->frameCounter > 200) e->x += CosTable[NormalizeAngle(e->angle)] * e->speed;
}

// The 17-step cycle of 5, 18 and 19: the aim is taken once, at step 2, and steps 3-11 fire
// one bullet each from g1 to g9 at falling speeds.
static void AimedGridStep(EnemyLists* lists, CharaData* e) {
    static constexpr int8_t kFrames[17] = {1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 2, 1, 0, 0};
    int32_t step = e->work4;
    if (step == 2) e->work5 = Aim(lists, e);
    if (step >= 3 && step <= 11) {
        int32_t g = step - 3;
        Shot(lists, e, kGrid[g][0], kGrid[g][1], 38 - 2 * g, e->work5, 2);
    } else if (step >= 0 && step < 17) {
        e->animFrame = kFrames[step];
    }
    e->work4 = step + 1 > 16 ? 0 : step + 1;
}

// The 16-step cycle of 14: four volleys of nine, each aimed afresh.
static void VolleyGridStep(EnemyLists* lists, CharaData* e) {
    static constexpr int8_t kFrames[16] = {1, 2, 3, 0, 0, 0, 0, 3, 2, 1, 0, 0, 0, 0, 0, 0};
    int32_t a = Aim(lists, e);
    int32_t step = e->work4;
    if (step >= 3 && step <= 6) {
        for (const auto& g : kGrid) Shot(lists, e, g[0], g[1], 32, a, 0);
    } else if (step >= 0 && step < 16) {
        e->animFrame = kFrames[step];
    }
    e->work4 = step + 1 > 15 ? 0 : step + 1;
}

static void GridFire(EnemyLists* lists, CharaData* e, void (*cycleStep)(EnemyLists*, CharaData*)) {
    AdvanceClock(e);
    if (e->frameCounter % ScaleFireIntervalStrong(10) == 2) cycleStep(lists, e);
}

// Destroyed in the upper half, a side-row shooter sends its successor in at 420 px.
static void ReplaceOnRow(EnemyLists* lists, CharaData* e) {
    if (e->y >= 20) return;
    if (e->type == 18) SpawnGroundEnemy(18, lists->self, -430080, e->y, 0);
    if (e->type == 19) SpawnGroundEnemy(19, lists->self, 430080, e->y, 512);
}

void UpdateGroundEnemyType5(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType5, nullptr,
                                           [](EnemyLists* l, CharaData* r) {
                                               DriveForward(r, 4, 6);
                                               GridFire(l, r, AimedGridStep);
                                           },
                                           false, nullptr};
    RunGroundEnemy(lists, e, kShape);
}

void UpdateGroundEnemyType14(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType14, nullptr,
                                           [](EnemyLists* l, CharaData* r) {
                                               DriveForward(r, 8, 12);
                                               GridFire(l, r, VolleyGridStep);
                                           },
                                           false, nullptr};
    RunGroundEnemy(lists, e, kShape);
}

static constexpr GroundShape kSideRowShape = {&kType18, nullptr,
                                              [](EnemyLists* l, CharaData* r) {
                                                  SlideIn(r);
                                                  GridFire(l, r, AimedGridStep);
                                              },
                                              false, ReplaceOnRow};

void UpdateGroundEnemyType18(EnemyLists* lists, CharaData* e) { RunGroundEnemy(lists, e, kSideRowShape); }

void UpdateGroundEnemyType19(EnemyLists* lists, CharaData* e) { RunGroundEnemy(lists, e, kSideRowShape); }
