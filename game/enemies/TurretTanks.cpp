// TurretTanks.cpp: types 11, 25 and 26, tanks with a sweeping twin gun (part 7) behind and a
// burst gun (part 8) ahead on their axis. Type 11 hunts the player and, alone among the
// active ground enemies, does not ride the scroll; 25 and 26 wait at a side of the field,
// slide in, and are replaced on their row when destroyed in the upper half.
#include "EnemyCommon.h"
#include "GroundBehaviours.h"

static constexpr GroundStats kType11 = {3000, 41, 41, 20, 20, 2, 0, Blast::CornerRevenge};
static constexpr GroundStats kType25 = {1000, 42, 42, 20, 10, 2, 0, Blast::CornerRevenge};

static void MountGuns(EnemyLists* lists, CharaData* e) {
    int32_t aim = Aim(lists, e);
    SpawnGroundPart(7, lists->partner, 0, -22, aim, e);
    SpawnGroundPart(8, lists->partner, 0, 24, aim, e);
}

// 50 frames of hunting (turning away from a player within 40 px), then 70 straight.
static void Hunt(EnemyLists* lists, CharaData* e) {
    int32_t t = Aim(lists, e);
    if (e->frameCounter % 120 < 50) {
        e->speed = 7;
        const CharaData& player = PlayerOf(lists);
        if (GetDistance(e->x / 1024, e->y / 1024, player.x / 1024, player.y / 1024) < 40) t = (t + 512) % 1024;
        e->angle = TurnAngleToward(t, e->angle, 2);
    } else {
        e->speed = 4;
    }
    Step(e, e->angle, e->speed);
    AdvanceClock(e);
}

void UpdateGroundEnemyType11(EnemyLists* lists, CharaData* e) {
    // Its own movement is its only one while active; the sequence rides the scroll as usual.
    if (e->state == 2) {
        if (Started(e)) Hunt(lists, e);
        return;
    }
    static constexpr GroundShape kShape = {&kType11, MountGuns, Hunt, false, nullptr};
    RunGroundEnemy(lists, e, kShape);
}

// After 200 frames, slides toward the centre until 240 px from it, whatever its heading.
static void SlideToward(EnemyLists*, CharaData* e) {
    if (e->frameCounter > 200) {
        if (e->type == 25 && e->x < -245760) e->x += CosTable[0] * e->speed;
        if (e->type == 26 && e->x > 245760) e->x += CosTable[512] * e->speed;
    }
    AdvanceClock(e);
}

static void ReplaceOnRow(EnemyLists* lists, CharaData* e) {
    if (e->y >= -20) return;
    if (e->type == 25) SpawnGroundEnemy(25, lists->self, -430080, e->y, 0);
    if (e->type == 26) SpawnGroundEnemy(26, lists->self, 430080, e->y, 512);
}

static constexpr GroundShape kSideTankShape = {&kType25, MountGuns, SlideToward, false, ReplaceOnRow};

void UpdateGroundEnemyType25(EnemyLists* lists, CharaData* e) { RunGroundEnemy(lists, e, kSideTankShape); }

void UpdateGroundEnemyType26(EnemyLists* lists, CharaData* e) { RunGroundEnemy(lists, e, kSideTankShape); }
