// Flagships.cpp: the largest air enemies, types 8 and 9, and their guns, air parts 5-9. A
// flagship sinks in, brakes and swings slowly about its entry x; after 1200 turns it climbs
// out. Type 8 fires 24-bullet fans in the middle phases of its swing and carries two turrets
// (5, 6); type 9 fires nothing itself and carries two pairs of sweeping centre guns (7, 8)
// and two outer guns (9). The guns fall silent when the flagship begins to leave. While
// active, the flagship holds the spawn gate of the side it entered on.
//
// Working values as the swinging gunships: vx the entry x, work2 the phase (read by the
// guns), work3 the offset, work4 the direction, work5 the rate. Guns 7 and 8: work4 the base
// aim, work2 the barrel offset, work3 its change.
#include <algorithm>

#include "AirCommon.h"

namespace {

constexpr BlastPoint kBlastPoints[10] = {{-64, -32}, {-32, -32}, {64, -32}, {32, -32}, {-64, 32},
                                         {-32, 32},  {64, 32},   {32, 32},  {-96, 0},  {96, 0}};
constexpr Swing kSwing8 = {30, 600, 81920};
constexpr Swing kSwing9 = {25, 500, 81920};

void Gate(const CharaData* e) {
    if (e->vx < -122880)
        GameState.spawnGate2000 = 10;
    else if (e->vx > 122880)
        GameState.spawnGate3000 = 10;
    else
        GameState.spawnGate1000 = 10;
}

void SetUpHull(CharaData* e, int32_t kind, int32_t offsetY) {
    e->vx = e->x;
    e->work4 = e->x < 0 ? 1 : -1;
    e->subKind[0] = kind;
    e->subFrame[0] = 0;
    e->subAngle[0] = 256;
    e->subX[0] = 0;
    e->subY[0] = offsetY;
}

void SetUp8(AirEnemyLists* lists, CharaData* e) {
    EnemyLists view = AsEnemyLists(lists);
    int32_t aim = Aim(&view, e);
    SpawnAirPart(5, lists->parts, -48, -9, aim, e);
    SpawnAirPart(6, lists->parts, 48, -9, aim, e);
    SetUpHull(e, 8, 16384);
}

void SetUp9(AirEnemyLists* lists, CharaData* e) {
    EnemyLists view = AsEnemyLists(lists);
    int32_t aim = Aim(&view, e);
    static constexpr int8_t kGuns[6][3] = {{7, -23, -27}, {8, 23, -27}, {8, -23, 4},
                                           {7, 23, 4},    {9, -53, -6}, {9, 53, -6}};
    for (const auto& g : kGuns) SpawnAirPart(g[0], lists->parts, g[1], g[2], aim, e);
    SetUpHull(e, 9, 19456);
}

// Four rings of six, slowest first, the outer bullets slanting outward.
void Fan(const EnemyLists* lists, const CharaData* e) {
    static constexpr int16_t kMuzzles[6][3] = {{-86, 24, 384}, {-56, 20, 320}, {-26, 16, 256},
                                               {26, 16, 256},  {56, 20, 192},  {86, 24, 128}};
    for (int32_t speed : {12, 18, 24, 30})
        for (const auto& m : kMuzzles) Shot(lists, e, m[0], m[1], speed, m[2], 2);
}

void Act(AirEnemyLists* airLists, CharaData* e, const Swing& swing, bool fans) {
    EnemyLists lists = AsEnemyLists(airLists);
    int32_t oldY = e->y;
    bool even = EvenTurn(e);
    switch (e->work2) {
    case 0:
        if (even) e->speed = std::min(e->speed + 1, 20);
        break;
    case 1:
        if (even) e->speed -= 2;
        if (e->speed <= 0) {
            e->speed = 0;
            e->work2 = 2;
            e->work5 = 0;
        }
        break;
    case 6:
        if (even) e->speed = std::max(e->speed - 1, -32);
        break;
    default: SwingStep(e, swing); break;
    }
    if (e->work2 == 0 && (PixelDistanceToPlayer(PlayerOf(&lists), e->x, oldY) < 160 || oldY > -184320)) e->work2 = 1;
    if (e->frameCounter > 1200) e->work2 = 6;
    e->y += SinTable[256] * e->speed;
    e->x = e->vx + e->work3;
    AdvanceClock(e);
    if (e->frameCounter % 2 == 0) e->subFrame[0] = e->subFrame[0] == 0 ? 1 : 0;
    if (fans && (e->work2 == 2 || e->work2 == 4) && e->frameCounter % ScaleFireIntervalStrong(100) == 10 &&
        e->frameCounter > 100)
        Fan(&lists, e);
}

bool Firing(const CharaData* gun) { return gun->parent->work2 < 6; }

bool BurstTick(int32_t fc, int32_t base) {
    int32_t r = fc % ScaleFireIntervalStrong(base);
    return r == 0 || r == 2 || r == 4;
}

void MildPair(const EnemyLists* lists, const CharaData* p, int32_t forward, int32_t speed) {
    MildShot(lists, p, -5, forward, speed, p->angle, 2);
    MildShot(lists, p, 5, forward, speed, p->angle, 2);
}

// Guns 5 and 6: in each 360 turns, 45 of tracking and 45 of three-pair bursts twice, then 180
// of turning steadily (5 one way, 6 the other) while spraying pairs.
template <int32_t Spin>
void FlankTurret(EnemyLists* l, CharaData* p) {
    int32_t aim = Aim(l, p);
    AdvanceClock(p);
    if (!Firing(p)) return;
    int32_t fc = p->frameCounter;
    if (fc % 360 < 180) {
        if (fc % 90 < 45)
            p->angle = TurnAngleToward(aim, p->angle, 10);
        else if (BurstTick(fc, 28))
            MildPair(l, p, 23, 32);
        return;
    }
    p->angle = NormalizeAngle(TurnAngleToward(aim, p->angle, 10) + Spin);
    if (fc % ScaleFireIntervalStrong(10) == 0) MildPair(l, p, 17, 20);
}

// Guns 7 and 8 sweep their barrels 192 steps about a base aim, 20 steps off while firing;
// the two of a diagonal pair start their sweeps in opposite directions.
template <int32_t Sweep>
void SetUpCentreGun(CharaData* p) {
    p->work3 = Sweep;
}

void CentreGun(EnemyLists* l, CharaData* p) {
    p->work4 = TurnAngleToward(Aim(l, p), p->work4, 10);
    p->angle = NormalizeAngle(p->work4 + p->work2);
    AdvanceClock(p);
    if (!Firing(p)) return;
    if (p->frameCounter % 360 < 280) {
        p->angle = NormalizeAngle(p->angle + 20);
        if (p->frameCounter % ScaleFireIntervalStrong(28) == 0) {
            MildShot(l, p, 0, 11, 16, p->angle, 2);
            if (GameState.remix == 1) MildShot(l, p, 0, 11, 14, p->angle, 2);
        }
    }
    p->work2 += p->work3;
    if (p->work2 > 192)
        p->work3 = -4;
    else if (p->work2 < -192)
        p->work3 = 4;
}

}  // namespace

void UpdateAirEnemyType8(AirEnemyLists* lists, CharaData* e) {
    static constexpr AirShape kShape = {{5200, 100, 40, 0}, SetUp8,
                                        [](AirEnemyLists* l, CharaData* r) { Act(l, r, kSwing8, true); },
                                        kBlastPoints, 10};
    if (e->state == 2) Gate(e);
    RunAirEnemy(lists, e, kShape);
}

void UpdateAirEnemyType9(AirEnemyLists* lists, CharaData* e) {
    static constexpr AirShape kShape = {{5200, 100, 40, 0}, SetUp9,
                                        [](AirEnemyLists* l, CharaData* r) { Act(l, r, kSwing9, false); },
                                        kBlastPoints, 10};
    if (e->state == 2) Gate(e);
    RunAirEnemy(lists, e, kShape);
}

void UpdateAirPartType5(EnemyLists* lists, CharaData* part) { RunAirPart(lists, part, nullptr, FlankTurret<20>); }
void UpdateAirPartType6(EnemyLists* lists, CharaData* part) { RunAirPart(lists, part, nullptr, FlankTurret<-20>); }
void UpdateAirPartType7(EnemyLists* lists, CharaData* part) { RunAirPart(lists, part, SetUpCentreGun<4>, CentreGun); }
void UpdateAirPartType8(EnemyLists* lists, CharaData* part) { RunAirPart(lists, part, SetUpCentreGun<-4>, CentreGun); }

void UpdateAirPartType9(EnemyLists* lists, CharaData* part) {
    RunAirPart(lists, part, nullptr, [](EnemyLists* l, CharaData* p) {
        AdvanceClock(p);
        int32_t fc = p->frameCounter;
        if (!Firing(p) || fc % 360 >= 300) return;
        if (fc % 90 < 45)
            p->angle = TurnAngleToward(Aim(l, p), p->angle, 10);
        else if (BurstTick(fc, 32))
            MildPair(l, p, 17, 25);
    });
}
