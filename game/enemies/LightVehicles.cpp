// LightVehicles.cpp: the small ground vehicles. Types 1, 2, 3, 8 and 9 drive along their
// spawn heading with a speed that pulses over an 80-frame cycle; types 23, 24 and 27 first
// climb 120 px onto the field (the first 60 px in state 4, untouchable) and then stand.
// Types 3, 8 and 24 fight only through the turret they carry.
//
// Working values: work3 the volley counter of types 2 and 23; work5 the entry distance
// (type 3 starts at -120 px so that its turret, which waits for 120 px, works at once).
#include "EnemyCommon.h"
#include "GroundBehaviours.h"

static constexpr GroundStats kType1 = {80, 16, 16, 10, 7, 2, 0, Blast::Single};
static constexpr GroundStats kType2 = {300, 32, 32, 10, 3, 2, 0, Blast::Single};
static constexpr GroundStats kType3 = {120, 32, 32, 10, 9, 2, 0, Blast::Single};
static constexpr GroundStats kType8 = {100, 24, 24, 10, 10, 2, 0, Blast::Single};
static constexpr GroundStats kType9 = {240, 26, 26, 10, 7, 2, 0, Blast::Single};
static constexpr GroundStats kType23 = {300, 32, 32, 10, 3, 4, 0, Blast::Single};
static constexpr GroundStats kType24 = {120, 32, 32, 10, 9, 4, 0, Blast::Single};
static constexpr GroundStats kType27 = {240, 26, 26, 10, 7, 4, 0, Blast::Single};

// ---- driving ---------------------------------------------------------------------------

// Speeds over the 80-frame cycle: fast, slow, cruising, by the frame at which each phase ends.
struct SpeedCycle {
    int8_t firstEnd, first, secondEnd, second, rest;
};
static constexpr SpeedCycle kFastCycle = {16, 8, 80, 5, 5};   // types 1, 9
static constexpr SpeedCycle kSlowCycle = {20, 2, 40, 1, 3};   // type 2
static constexpr SpeedCycle kPulseCycle = {20, 5, 40, 1, 6};  // types 3, 8

static void Drive(CharaData* e, const SpeedCycle& cycle) {
    int32_t c = e->frameCounter % 80;
    e->speed = c < cycle.firstEnd ? cycle.first : c < cycle.secondEnd ? cycle.second : cycle.rest;
    Step(e, e->angle, e->speed);
    AdvanceClock(e);
}

// ---- entering --------------------------------------------------------------------------

// Climbs 120 px along its entry heading: untouchable for the first 60, a target from then on.
static void Enter(CharaData* e, int32_t heading) {
    e->speed = 10;
    int32_t travelled = e->work5 < 0 ? -e->work5 : e->work5;
    if (travelled < 122880) {
        Step(e, heading, e->speed);
        e->work5 += e->vy;
        if (travelled >= 61440) e->state = 2;
    }
    AdvanceClock(e);
}

// ---- fire ------------------------------------------------------------------------------

static void BurstForward(EnemyLists* lists, CharaData* e) {
    int32_t f = e->frameCounter;
    if (f % ScaleFireIntervalMild(80) < 24 && f % ScaleFireIntervalMild(8) == 2)
        MildShot(lists, e, 0, 19, 36, e->angle, 1);
}

// Volleys of one to four bullets, eight frames apart, inside a window of each Strong(160)
// cycle; the counter starts again outside every window.
static void WideningVolleys(EnemyLists* lists, CharaData* e) {
    static constexpr int8_t kOffsets[4][4] = {{0}, {-24, 24}, {-48, 0, 48}, {-72, -24, 24, 72}};
    int32_t f = e->frameCounter;
    if (f % ScaleFireIntervalStrong(160) <= 50 || f % ScaleFireIntervalStrong(160) >= 120) {
        e->work3 = 0;
        return;
    }
    if (f % 8 != 2) return;
    if (e->work3 >= 0 && e->work3 < 4)
        for (int i = 0; i <= e->work3; i++) Shot(lists, e, 0, 17, 25, e->angle + kOffsets[e->work3][i], 0);
    e->work3 += 1;
}

static void TwinGuns(EnemyLists* lists, CharaData* e) {
    if (e->frameCounter % ScaleFireIntervalMild(32) != 2) return;
    MildShot(lists, e, -9, 22, 32, e->angle, 1);
    MildShot(lists, e, 9, 22, 32, e->angle, 1);
}

// The carried turret starts aimed at the player.
static void MountTurret(EnemyLists* lists, CharaData* e, int32_t partType, int32_t forward) {
    SpawnGroundPart(partType, lists->partner, 0, forward, Aim(lists, e), e);
}

// ---- the types -------------------------------------------------------------------------

void UpdateGroundEnemyType1(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType1, nullptr,
                                           [](EnemyLists* l, CharaData* r) {
                                               Drive(r, kFastCycle);
                                               BurstForward(l, r);
                                           },
                                           false, nullptr};
    RunGroundEnemy(lists, e, kShape);
}

void UpdateGroundEnemyType2(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType2, nullptr,
                                           [](EnemyLists* l, CharaData* r) {
                                               Drive(r, kSlowCycle);
                                               WideningVolleys(l, r);
                                           },
                                           false, nullptr};
    RunGroundEnemy(lists, e, kShape);
}

void UpdateGroundEnemyType3(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType3,
                                           [](EnemyLists* l, CharaData* r) {
                                               r->work5 = -122880;
                                               MountTurret(l, r, 1, -4);
                                           },
                                           [](EnemyLists*, CharaData* r) { Drive(r, kPulseCycle); }, false,
                                           nullptr};
    RunGroundEnemy(lists, e, kShape);
}

void UpdateGroundEnemyType8(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType8, [](EnemyLists* l, CharaData* r) { MountTurret(l, r, 6, 0); },
                                           [](EnemyLists*, CharaData* r) { Drive(r, kPulseCycle); }, false,
                                           nullptr};
    RunGroundEnemy(lists, e, kShape);
}

void UpdateGroundEnemyType9(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType9, nullptr,
                                           [](EnemyLists* l, CharaData* r) {
                                               Drive(r, kFastCycle);
                                               TwinGuns(l, r);
                                           },
                                           false, nullptr};
    RunGroundEnemy(lists, e, kShape);
}

void UpdateGroundEnemyType23(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType23, nullptr,
                                           [](EnemyLists* l, CharaData* r) {
                                               Enter(r, 256);
                                               if (r->state == 2) WideningVolleys(l, r);
                                           },
                                           true, nullptr};
    RunGroundEnemy(lists, e, kShape);
}

void UpdateGroundEnemyType24(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType24, [](EnemyLists* l, CharaData* r) { MountTurret(l, r, 1, -4); },
                                           [](EnemyLists*, CharaData* r) { Enter(r, 768); }, true, nullptr};
    RunGroundEnemy(lists, e, kShape);
}

void UpdateGroundEnemyType27(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType27, nullptr,
                                           [](EnemyLists* l, CharaData* r) {
                                               Enter(r, 256);
                                               if (r->state == 2) TwinGuns(l, r);
                                           },
                                           true, nullptr};
    RunGroundEnemy(lists, e, kShape);
}
