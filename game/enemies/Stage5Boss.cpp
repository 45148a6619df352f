// Stage5Boss.cpp: the stage-5 boss, two halves of type 37, each with two side turrets (parts
// 28 and 29, mirror twins) and a sweeping shell gun (part 27). A half creeps like the stage-3
// halves and, in the second half of every 90 frames, fires volleys of accelerating bullets
// from six muzzles: aimed while it is strong, scattered by the shared random sequence below
// 8000 hit points, when its turrets break off and its shell gun wakes.
//
// A scattered volley draws exactly six numbers, one per muzzle in muzzle order, each before
// its bullet is asked for, whether or not the bullet is refused: replays depend on it.
#include "BossCommon.h"

namespace {

constexpr int32_t kWoundedBelow = 8000;

void SetUpHalf(EnemyLists* lists, CharaData* e) {
    int32_t a = Aim(lists, e);
    SpawnGroundPart(28, lists->partner, -26, 54, a, e);
    SpawnGroundPart(29, lists->partner, 26, 54, a, e);
    SpawnGroundPart(27, lists->partner, 0, -35, 256, e);
    SetUpBoss(e, {16000, 44, 93, 20, 8, 1});
    SetHatch(e, 0, 37, 0, 6);
}

constexpr int8_t kMuzzles[6][2] = {{-33, -11}, {33, -11}, {-33, 6}, {33, 6}, {-33, 23}, {33, 23}};

bool OnTick(int32_t r, int32_t last) { return r >= 0 && r <= last && r % 2 == 0; }

void ActHalf(EnemyLists* lists, CharaData* e) {
    HalfCreep(e, -71680, -163840);
    AdvanceClock(e);
    int32_t fc = e->frameCounter;
    if (fc % 90 >= 6 && fc % 90 <= 39)
        CloseHatches(e, 1);
    else
        OpenHatches(e, 1);
    if (fc % 90 < 45) return;
    bool alone = GameState.bossLife < 10;
    auto aim = [&](int i) { return AimFrom(lists, e->x + kMuzzles[i][0] * 1024, e->y + kMuzzles[i][1] * 1024); };
    if (e->hp >= kWoundedBelow) {
        if (!OnTick(fc % ScaleFireIntervalMild(28), alone ? 8 : 4)) return;
        for (int i = 0; i < 6; i++) Shot(lists, e, kMuzzles[i][0], kMuzzles[i][1], 28, aim(i), 0);
        return;
    }
    bool remix = GameState.remix != 0;
    if (!OnTick(fc % ScaleFireIntervalStrong(remix ? 24 : 28), alone ? 10 : 4)) return;
    for (int i = 0; i < 6; i++) {
        if (remix) {
            // Anywhere but within 32 steps of straight at the player.
            int32_t a = aim(i);
            int32_t r = NextRandom();
            Shot(lists, e, kMuzzles[i][0], kMuzzles[i][1], 28, a + 32 + r % 960, 0);
        } else {
            int32_t r = NextRandom();
            Shot(lists, e, kMuzzles[i][0], kMuzzles[i][1], 16, r % 1024, 0);
        }
    }
}

// The side turrets aim and fire bursts for 300 frames, then spin (28 one way, 29 the other)
// firing steadily for 300.
template <int32_t Spin>
void SideTurret(EnemyLists* lists, CharaData* p) {
    AdvanceClock(p);
    int32_t fc = p->frameCounter;
    bool shot;
    if (fc % 600 < 300) {
        if (fc % 90 < 45) {
            p->angle = TurnAngleToward(Aim(lists, p), p->angle, 10);
            return;
        }
        shot = OnTick(fc % ScaleFireIntervalMild(24), 4);
    } else {
        p->angle = NormalizeAngle(p->angle + Spin);
        shot = fc % ScaleFireIntervalStrong(9) == 0;
    }
    if (!shot) return;
    Shot(lists, p, 0, 17, 18, p->angle, 3);
    if (GameState.bossLife < 10) Shot(lists, p, 0, 21, 16, p->angle, 3);
}

bool BreakOff(EnemyLists* lists, CharaData* p) {
    if (p->parent->hp < kWoundedBelow) {
        GiveWay(lists, p);
        p->type = 0;
    }
    return false;
}

void ShellFire(EnemyLists* lists, CharaData* gun) {
    int32_t interval = ScaleFireIntervalStrong(GameState.bossLife < 10 ? 13 : 20);
    if (gun->frameCounter % interval == 2) Shot(lists, gun, 0, 59, 38, gun->angle + 3, 8);
}

void SetUpTurret(CharaData* p) { p->work4 = 12; }

}  // namespace

void UpdateGroundEnemyType37(EnemyLists* lists, CharaData* e) {
    static constexpr BossShape kShape = {SetUpHalf, ActHalf, true, {kTwoCentres, 2, false, true, false}};
    RunBoss(lists, e, kShape);
}

void UpdateGroundPartType28(EnemyLists* lists, CharaData* part) {
    RunMountedPart(lists, part, SetUpTurret, BreakOff, SideTurret<10>);
}
void UpdateGroundPartType29(EnemyLists* lists, CharaData* part) {
    RunMountedPart(lists, part, SetUpTurret, BreakOff, SideTurret<-10>);
}

void UpdateGroundPartType27(EnemyLists* lists, CharaData* part) {
    RunMountedPart(lists, part, nullptr, nullptr, [](EnemyLists* l, CharaData* p) {
        if (p->parent->hp < kWoundedBelow) SweepGun(l, p, ShellFire);
    });
}
