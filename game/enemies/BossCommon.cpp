// BossCommon.cpp: boss set-up, movement, destruction, the part turn and the shared guns.
#include "BossCommon.h"

#include <algorithm>

const BlastPoint kFourCentres[4] = {{-30, -40}, {-30, 40}, {30, -40}, {30, 40}};
const BlastPoint kSevenCentres[7] = {{0, 0}, {-70, -70}, {-70, 70}, {70, -70}, {70, 70}, {0, -80}, {0, 80}};
const BlastPoint kTwoCentres[2] = {{0, -40}, {0, 40}};

// Each centre blasts at itself and at the four corners 32 px away.
static constexpr BlastPoint kFivePoints[5] = {{0, 0}, {-32, -32}, {32, -32}, {-32, 32}, {32, 32}};

void SetUpBoss(CharaData* e, const BossStats& stats) {
    SetUpGroundEnemy(e, {stats.hp, stats.hitW, stats.hitH, stats.blastKind, stats.speed, 2, 0, Blast::Single});
    e->vx = 0;
    e->vy = 2048;
    e->work2 = stats.direction;
}

void SetHatch(CharaData* e, int i, int32_t kind, int32_t xPx, int32_t yPx) {
    e->subKind[i] = kind;
    e->subFrame[i] = 0;
    e->subAngle[i] = 256;
    e->subX[i] = xPx * 1024;
    e->subY[i] = yPx * 1024;
}

void OpenHatches(CharaData* e, int count) {
    if (e->frameCounter % 2 != 0 || e->subFrame[0] >= 3) return;
    for (int i = 0; i < count; i++) e->subFrame[i] += 1;
}

void CloseHatches(CharaData* e, int count) {
    if (e->frameCounter % 2 != 0 || e->subFrame[0] <= 0) return;
    for (int i = 0; i < count; i++) e->subFrame[i] -= 1;
}

void HullSway(CharaData* e, int32_t low, int32_t high) {
    e->speed = e->frameCounter % 80 > 59 ? 9 : 6;
    e->vx = CosTable[e->angle] * e->speed * e->work2;
    e->vy = SinTable[e->angle] * e->speed * e->work2;
    e->x += e->vx;
    e->y += e->vy;
    if (e->y > low)
        e->work2 = -1;
    else if (e->y < high)
        e->work2 = 1;
}

void HalfCreep(CharaData* e, int32_t low, int32_t high) {
    if (e->work2 > 0) e->speed = e->frameCounter % 80 > 59 ? 6 : 3;
    e->vy = SinTable[e->angle] * e->speed * e->work2;
    e->x += e->vx;
    e->y += e->vy;
    if (e->y > low) {
        e->speed = 9;
        e->work2 = -1;
    } else if (e->y < high) {
        e->work2 = 1;
    }
}

// ---- destruction ---------------------------------------------------------------------------

static void ForEachBlastPoint(const CharaData* e, const BossBlast& b, auto&& at) {
    for (int c = 0; c < b.centreCount; c++)
        for (BlastPoint p : kFivePoints)
            at(e->x + (b.centres[c].dx + p.dx) * 1024, e->y + (b.centres[c].dy + p.dy) * 1024);
}

static void BossRevenge(EnemyLists* lists, const CharaData* e, const BossBlast& b) {
    for (int c = 0; c < b.centreCount; c++) {
        int32_t x = e->x + b.centres[c].dx * 1024, y = e->y + b.centres[c].dy * 1024;
        SpawnRevengeBullet(lists->player, lists->bullets, x, y, 60, AimFrom(lists, x, y), 0, 0);
    }
}

static void Shockwave(EnemyLists* lists, const CharaData* e) {
    SpawnShockwave(lists->shockwaves, e->x, e->y, 1, 256, 2, 0);
    PlayEffect(kSoundBak3);
}

void RunBossDestruction(EnemyLists* lists, CharaData* e, const BossBlast& b) {
    RideScroll(e);
    if (!b.secondFrameShockwave && e->stateTimer == 2) Shockwave(lists, e);
    e->stateTimer += 1;
    if (b.secondFrameShockwave && e->stateTimer == 2) Shockwave(lists, e);
    if (e->stateTimer > 20) {
        ForEachBlastPoint(e, b, [&](int32_t x, int32_t y) {
            SpawnExplosion(lists->effects, x, y, 16, 10, 0, 0, 8);
            SpawnExplosion(lists->effects, x, y, 8, 5, 0, 0, 8);
        });
        e->state = 4;
        if (b.half) EndBossHalf();
        if (b.sideFlags) (e->x < 0 ? GameState.leftHalfDestroyed : GameState.rightHalfDestroyed) = 1;
        e->animFrame = 1;
        if (GameState.level >= 3) BossRevenge(lists, e, b);
    }
    if (e->stateTimer % 4 == 1) {
        ForEachBlastPoint(e, b, [&](int32_t x, int32_t y) { SpawnExplosion(lists->effects, x, y, 1, 0, 0, 0, 8); });
        if (GameState.level >= 3 && GameState.remix == 1) BossRevenge(lists, e, b);
    }
}

void RunBoss(EnemyLists* lists, CharaData* e, const BossShape& shape) {
    switch (e->state) {
    case 1: shape.setUp(lists, e); break;
    case 2:
        if (shape.ridesScroll) RideScroll(e);
        if (Started(e)) shape.active(lists, e);
        break;
    case 3: RunBossDestruction(lists, e, shape.blast); break;
    case 4: RideScroll(e); break;
    default: break;
    }
}

// ---- parts ---------------------------------------------------------------------------------

void SweepGun(EnemyLists* lists, CharaData* gun, void (*fire)(EnemyLists* lists, CharaData* gun)) {
    AdvanceClock(gun);
    if (gun->work2 == 0) {
        gun->work3 += 6;
        if (gun->work3 > 511) {
            gun->work3 = 512;
            gun->work4 = 6;
            gun->work2 = 1;
        }
        gun->angle = NormalizeAngle(gun->work3 + 256);
        gun->work5 = 0;
        return;
    }
    gun->work5 = std::max(gun->work5 - 1, 0);
    if (gun->work5 != 0) return;
    gun->work3 += gun->work4;
    if (gun->work3 > 512) {
        gun->work4 = -6;
        gun->work5 = 10;
    }
    if (gun->work3 < -512) {
        gun->work4 = 6;
        gun->work5 = 10;
    }
    gun->angle = NormalizeAngle(gun->work3 + 256);
    fire(lists, gun);
}

static void TwinShot(const EnemyLists* lists, const CharaData* gun, int32_t side) {
    Shot(lists, gun, -side, 50, 40, gun->angle, 3);
    Shot(lists, gun, side, 50, 40, gun->angle, 3);
}

void MainGunCycle(EnemyLists* lists, CharaData* gun, const MainGun& spec) {
    gun->frameCounter = (gun->frameCounter + 1) % 1200;
    int32_t fc = gun->frameCounter;
    if (fc < spec.aimedEnd) {
        if (fc % ScaleFireIntervalMild(spec.aimBase) < spec.aimWindow)
            gun->angle = TurnAngleToward(Aim(lists, gun), gun->angle, 10);
        else if (fc % ScaleFireIntervalStrong(spec.aimedTwinBase) == 2)
            TwinShot(lists, gun, spec.twinSide);
        if (spec.aimedWave) spec.aimedWave(lists, gun);
        return;
    }
    if (fc < 600) return;
    int32_t r = (fc - 600) % ScaleFireIntervalStrong(300);
    if (r < 10) {
        // A fresh base aim at the player.
        gun->work3 = 0;
        gun->work4 = 8;
        gun->work2 = TurnAngleToward(Aim(lists, gun), gun->angle, 10);
        gun->angle = gun->work2;
        gun->work5 = 0;
    } else if (r < 30) {
        // The swing out to one side, silent.
        gun->work3 += gun->work4;
        if (gun->work3 >= 256) {
            gun->work3 = 256;
            gun->work4 = 6;
        }
        gun->angle = NormalizeAngle(gun->work2 + gun->work3);
        gun->work5 = 0;
    } else if (r < 300) {
        gun->work5 = std::max(gun->work5 - 1, 0);
        if (gun->work5 == 0) {
            gun->work3 += gun->work4;
            if (gun->work3 > 256) {
                gun->work4 = -6;
                gun->work5 = 10;
            }
            if (gun->work3 < -256) {
                gun->work4 = 6;
                gun->work5 = 10;
            }
            gun->angle = NormalizeAngle(gun->work2 + gun->work3);
            if (fc % ScaleFireIntervalStrong(spec.sweepTwinBase) == 2) TwinShot(lists, gun, spec.twinSide);
        }
        if (spec.sweepWave) spec.sweepWave(lists, gun);
    }
}

int32_t SpreadGunStep(EnemyLists* lists, CharaData* gun, const SpreadGun& spec) {
    int32_t turned = TurnAngleToward(Aim(lists, gun), gun->angle, 10);
    gun->frameCounter = (gun->frameCounter + 1) % spec.clockModulus;
    int32_t fc = gun->frameCounter;
    if (fc % 140 < spec.holdFrom) {
        if (fc % 140 == 110) {
            gun->work4 += 32;
            if (gun->work4 > 115) gun->work4 = 4;
        } else {
            gun->angle = turned;
        }
    } else if (fc % spec.interval(spec.fireBase) == 2) {
        int32_t a = gun->angle, w = gun->work4;
        for (int32_t d : {a + 2 * w, a + w, a}) Shot(lists, gun, -spec.side, 15, 32, d, 1);
        for (int32_t d : {a - 2 * w, a - w, a}) Shot(lists, gun, spec.side, 15, 32, d, 1);
    }
    return turned;
}
