// Stage1Boss.cpp: the stage-1 boss, hull 20, with two twin guns (part 8), a main gun (part 10)
// that breaks into a spread gun (part 11) once the hull is below 6666 hit points. The hull
// sways between 80 and 200 px above the centre and never fires itself.
#include "BossCommon.h"
#include "GroundBehaviours.h"

namespace {

void SetUpHull(EnemyLists* lists, CharaData* e) {
    int32_t a = Aim(lists, e);
    SpawnGroundPart(8, lists->partner, -22, 40, a, e);
    SpawnGroundPart(8, lists->partner, 22, 40, a, e);
    SpawnGroundPart(10, lists->partner, 0, -24, a, e);
    SetUpBoss(e, {20000, 60, 78, 100, 10, 1});
}

void ActHull(EnemyLists*, CharaData* e) {
    HullSway(e, -81920, -204800);
    AdvanceClock(e);
}

constexpr MainGun kMainGun = {600, 120, 50, 8, 9, 22, nullptr, nullptr};
constexpr SpreadGun kSpreadGun = {65535, 111, ScaleFireIntervalStrong, 6, 22};

}  // namespace

void UpdateGroundEnemyType20(EnemyLists* lists, CharaData* e) {
    static constexpr BossShape kShape = {SetUpHull, ActHull, false, {kFourCentres, 4, true, false, false}};
    RunBoss(lists, e, kShape);
}

// The main gun becomes the spread gun, and runs the rest of that turn as the main gun.
void UpdateGroundPartType10(EnemyLists* lists, CharaData* part) {
    RunMountedPart(
        lists, part, nullptr,
        [](EnemyLists* l, CharaData* p) {
            if (p->parent->hp < 6666) {
                GiveWay(l, p);
                p->type = 11;
            }
            return false;
        },
        [](EnemyLists* l, CharaData* p) { MainGunCycle(l, p, kMainGun); });
}

void UpdateGroundPartType11(EnemyLists* lists, CharaData* part) {
    RunMountedPart(lists, part, nullptr, nullptr, [](EnemyLists* l, CharaData* p) { SpreadGunStep(l, p, kSpreadGun); });
}
