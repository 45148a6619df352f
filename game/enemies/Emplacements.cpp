// Emplacements.cpp: the ground enemies that do not drive. Types 6 and 10 are turning gun
// emplacements; 13 is a base under a turret (part 17) and 17 a plain base holding an item;
// 15 is a large square emplacement that drifts sideways, spraying bullets out of its four
// sides and throwing rings while its top spins.
//
// Working values: work3 the drift direction of type 15 (+1 toward +x).
#include "EnemyCommon.h"
#include "GroundBehaviours.h"

static constexpr GroundStats kType6 = {200, 32, 32, 101, 0, 2, 0, Blast::Single};
static constexpr GroundStats kType10 = {360, 38, 38, 101, 0, 2, 0, Blast::Single};
static constexpr GroundStats kType13 = {200, 23, 21, 15, 0, 2, 0, Blast::Quiet};
static constexpr GroundStats kType15 = {1500, 51, 54, 20, 15, 2, 0, Blast::Five};
static constexpr GroundStats kType17 = {120, 23, 21, 15, 0, 2, 1, Blast::Quiet};

void UpdateGroundEnemyType6(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType6, nullptr,
                                           [](EnemyLists* l, CharaData* r) {
                                               AdvanceClock(r);
                                               r->angle = TurnAngleToward(Aim(l, r), r->angle, 18);
                                               if (r->frameCounter % ScaleFireIntervalStrong(22) == 0)
                                                   Shot(l, r, 0, 29, 44, r->angle, 3);
                                           },
                                           false, nullptr};
    RunGroundEnemy(lists, e, kShape);
}

// A slow turret: it fires its four barrels only once within 160 steps of its aim.
void UpdateGroundEnemyType10(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {
        &kType10, nullptr,
        [](EnemyLists* l, CharaData* r) {
            int32_t t = Aim(l, r);
            r->angle = TurnAngleToward(t, r->angle, 2);
            AdvanceClock(r);
            int32_t error = GetAngleDiff(t, r->angle);
            if ((error < 0 ? -error : error) >= 160 || r->frameCounter % ScaleFireIntervalStrong(30) != 2) return;
            static constexpr int8_t kBarrels[4][2] = {{-30, 33}, {-7, 20}, {7, 20}, {30, 33}};
            for (const auto& b : kBarrels) Shot(l, r, b[0], b[1], 36, r->angle, 2);
        },
        false, nullptr};
    RunGroundEnemy(lists, e, kShape);
}

static void CountFrames(EnemyLists*, CharaData* e) { AdvanceClock(e); }

void UpdateGroundEnemyType13(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {
        &kType13, [](EnemyLists* l, CharaData* r) { SpawnGroundPart(17, l->partner, 0, 0, Aim(l, r), r); },
        CountFrames, false, nullptr};
    RunGroundEnemy(lists, e, kShape);
}

void UpdateGroundEnemyType17(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {&kType17, nullptr, CountFrames, false, nullptr};
    RunGroundEnemy(lists, e, kShape);
}

// Four bullets straight out of each side of the square body, muzzles placed with the fixed
// angle 256 whatever the record's heading.
static void SideSpray(EnemyLists* lists, CharaData* e) {
    struct Muzzle {
        int8_t side, forward;
        int16_t direction;
    };
    static constexpr Muzzle kSpray[16] = {
        {-13, -48, 768}, {-5, -48, 768}, {5, -48, 768}, {13, -48, 768}, {-13, 48, 256}, {-5, 48, 256},
        {5, 48, 256},    {13, 48, 256},  {-46, -13, 512}, {-46, -5, 512}, {-46, 5, 512}, {-46, 13, 512},
        {46, -13, 0},    {46, -5, 0},    {46, 5, 0},     {46, 13, 0},
    };
    for (const Muzzle& m : kSpray) MildShotFrom(lists, e, m.side, m.forward, 256, 20, m.direction, 2);
}

void UpdateGroundEnemyType15(EnemyLists* lists, CharaData* e) {
    static constexpr GroundShape kShape = {
        &kType15,
        [](EnemyLists*, CharaData* r) {
            r->work3 = r->x < 10 ? 1 : -1;
            r->subKind[0] = 15;
            r->subFrame[0] = 0;
            r->subAngle[0] = 256;
            r->subX[0] = r->subY[0] = 0;
        },
        [](EnemyLists* l, CharaData* r) {
            r->vx = CosTable[0] * r->speed * r->work3;
            r->x += r->vx;
            AdvanceClock(r);
            if (r->frameCounter % ScaleFireIntervalMild(36) == 2) SideSpray(l, r);
            r->subAngle[0] += 16;
            if (r->frameCounter % ScaleFireIntervalMild(90) < 12) {
                r->subAngle[0] += 16;
                if (r->frameCounter % 3 == 2) CentreRing(l, r, 40);
            }
        },
        false, nullptr};
    RunGroundEnemy(lists, e, kShape);
}
