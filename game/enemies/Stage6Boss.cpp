// Stage6Boss.cpp: the stage-6 boss, hull 16, the widest of the game. It sways like the
// stage-2 hull, opens two hatches near its rear for an eight-bullet salvo, and carries four
// corner turrets (parts 7 and 8) and a main gun (part 18) that adds fan waves to the stage-1
// main gun's cycle and breaks into a spread gun (part 19) below 10000 hit points.
#include "BossCommon.h"

namespace {

constexpr BlastPoint kCentres[7] = {{0, 0}, {-90, -70}, {-90, 70}, {90, -70}, {90, 70}, {0, -80}, {0, 80}};

void SetUpHull(EnemyLists* lists, CharaData* e) {
    int32_t a = Aim(lists, e);
    SpawnGroundPart(7, lists->partner, -77, -50, a, e);
    SpawnGroundPart(8, lists->partner, -77, 39, a, e);
    SpawnGroundPart(7, lists->partner, 77, -50, a, e);
    SpawnGroundPart(8, lists->partner, 77, 39, a, e);
    SpawnGroundPart(18, lists->partner, 0, -16, a, e);
    SetUpBoss(e, {30000, 119, 79, 100, 10, 1});
    SetHatch(e, 0, 16, -19, -53);
    SetHatch(e, 1, 16, 19, -53);
}

void ActHull(EnemyLists* lists, CharaData* e) {
    HullSway(e, -81920, -245760);
    AdvanceClock(e);
    int32_t fc = e->frameCounter;
    if (fc % 120 >= 5 && fc % 120 <= 75)
        CloseHatches(e, 2);
    else
        OpenHatches(e, 2);
    if (fc % ScaleFireIntervalStrong(16) != 2 || fc % 120 <= 80) return;
    int32_t a = AimFrom(lists, e->x, e->y - 54 * 1024);
    static constexpr int8_t kMuzzles[8][2] = {{-23, -57}, {-23, -49}, {-16, -57}, {-16, -49},
                                              {16, -57},  {16, -49},  {23, -57},  {23, -49}};
    for (const auto& m : kMuzzles) ShotFrom(lists, e, m[0], m[1], 256, 20, a, 0);
}

// A wave: three rows of 3, 4 and 5 bullets around g, each row faster.
void Wave(const EnemyLists* lists, const CharaData* gun, int32_t g, const int32_t (&speeds)[3]) {
    for (int32_t d : {-80, 0, 80}) ShotFrom(lists, gun, 0, 17, g, speeds[0], g + d, 1);
    for (int32_t d : {-120, -40, 40, 120}) ShotFrom(lists, gun, 0, 17, g, speeds[1], g + d, 1);
    for (int32_t d : {-160, -80, 0, 80, 160}) ShotFrom(lists, gun, 0, 17, g, speeds[2], g + d, 1);
}

constexpr int32_t kMainGunSpeeds[3] = {15, 23, 31};
constexpr int32_t kSpreadGunSpeeds[3] = {16, 24, 32};

constexpr MainGun kMainGun = {
    500, 100, 40, 9, 24, 28,
    [](EnemyLists* l, CharaData* g) {
        if (g->frameCounter % ScaleFireIntervalMedium(180) == 2) Wave(l, g, g->angle, kMainGunSpeeds);
    },
    [](EnemyLists* l, CharaData* g) {
        if (g->frameCounter % ScaleFireIntervalStrong(180) == 2) Wave(l, g, g->angle, kMainGunSpeeds);
    },
};
constexpr SpreadGun kSpreadGun = {1200, 129, ScaleFireIntervalMild, 5, 28};

}  // namespace

void UpdateGroundEnemyType16(EnemyLists* lists, CharaData* e) {
    static constexpr BossShape kShape = {SetUpHull, ActHull, false, {kCentres, 7, false, false, false}};
    RunBoss(lists, e, kShape);
}

// The main gun becomes the spread gun with its clock restarted; that turn still runs as the
// main gun, so the spread gun starts from 1.
void UpdateGroundPartType18(EnemyLists* lists, CharaData* part) {
    RunMountedPart(
        lists, part, nullptr,
        [](EnemyLists* l, CharaData* p) {
            if (p->parent->hp < 10000) {
                GiveWay(l, p);
                p->type = 19;
                p->frameCounter = 0;
            }
            return false;
        },
        [](EnemyLists* l, CharaData* p) { MainGunCycle(l, p, kMainGun); });
}

void UpdateGroundPartType19(EnemyLists* lists, CharaData* part) {
    RunMountedPart(lists, part, nullptr, nullptr, [](EnemyLists* l, CharaData* p) {
        int32_t turned = SpreadGunStep(l, p, kSpreadGun);
        if (p->frameCounter % ScaleFireIntervalMedium(40) == 2 && p->frameCounter > 119)
            Wave(l, p, turned, kSpreadGunSpeeds);
    });
}
