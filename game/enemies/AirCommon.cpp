// AirCommon.cpp: the air-enemy and air-part turns, the two-turn destruction and the swing.
#include "AirCommon.h"

#include <algorithm>

static void SetUpAirEnemy(CharaData* e, const AirStats& stats) {
    e->state = 2;
    e->hp = e->score = stats.hp;
    e->delay = 0;
    e->hitW = stats.hitW;
    e->hitH = stats.hitH;
    e->muzzleX = 8;
    e->muzzleY = 0;
    e->vx = 0;
    e->vy = 2048;
    e->blastKind = 10;
    e->item = stats.item;
    e->animTick = e->animFrame = e->frameCounter = e->stateTimer = 0;
    e->speed = 0;
    e->work2 = e->work3 = e->work4 = e->work5 = 0;
}

static void FinalAirBlasts(AirEnemyLists* lists, const CharaData* e, const AirShape& shape) {
    if (shape.blastCount == 0) {
        SpawnExplosion(lists->effects, e->x, e->y, 16, 16, 0, 0, 8);
        SpawnExplosion(lists->effects, e->x, e->y, 8, 8, 0, 0, 8);
        return;
    }
    for (int i = 0; i < shape.blastCount; i++) {
        int32_t px = e->x + shape.blastPoints[i].dx * 1024, py = e->y + shape.blastPoints[i].dy * 1024;
        SpawnExplosion(lists->effects, px, py, 16, 10, 0, 0, 8);
        SpawnExplosion(lists->effects, px, py, 8, 5, 0, 0, 8);
    }
}

static void AirRevenge(AirEnemyLists* lists, const CharaData* e, const AirShape& shape) {
    EnemyLists view = AsEnemyLists(lists);
    auto from = [&](int32_t px, int32_t py) {
        SpawnRevengeBullet(lists->player, lists->bullets, px, py, 60, AimFrom(&view, px, py), 0, 0);
    };
    if (shape.blastCount == 0) from(e->x, e->y);
    for (int i = 0; i < shape.blastCount; i++)
        from(e->x + shape.blastPoints[i].dx * 1024, e->y + shape.blastPoints[i].dy * 1024);
}

void RunAirEnemy(AirEnemyLists* lists, CharaData* e, const AirShape& shape) {
    switch (e->state) {
    case 1:
        SetUpAirEnemy(e, shape.stats);
        if (shape.setUp) shape.setUp(lists, e);
        break;
    case 2:
        if (e->stateTimer == 0) {
            e->delay -= 1;
            if (e->delay < 0) e->stateTimer = 1;
        }
        if (e->stateTimer != 0) shape.active(lists, e);
        break;
    case 3:
        SpawnExplosion(lists->effects, e->x, e->y, 1, 0, 0, 0, 8);
        e->stateTimer += 1;
        if (e->stateTimer >= 2) {
            FinalAirBlasts(lists, e, shape);
            e->state = 0;
            if (GameState.level >= 3) AirRevenge(lists, e, shape);
        }
        break;
    case 5: RunLeave(e); break;
    default: break;
    }
}

int32_t PixelDistanceToPlayer(const CharaData& player, int32_t x, int32_t y) {
    return GetDistance(x / 1024, y / 1024, player.x / 1024, player.y / 1024);
}

void FillPartStats(CharaData* part) {
    part->hp = 20;
    part->hitW = part->hitH = 32;
    part->blastKind = 10;
    part->score = 0;
    part->item = 2;
    part->speed = 10;
}

void RunMountedPart(EnemyLists* lists, CharaData* part, void (*setUp)(CharaData* part),
                    bool (*breakTest)(EnemyLists* lists, CharaData* part),
                    void (*active)(EnemyLists* lists, CharaData* part)) {
    if (part->state == 1) {
        SetUpPart(part);
        FillPartStats(part);
        if (setUp) setUp(part);
    }
    // A part that ends itself ends its turn: the rest would act on last frame's clock.
    if (breakTest && breakTest(lists, part)) return;
    if (part->state != 2 || !Started(part)) return;
    PlaceOnParent(part);
    active(lists, part);
}

void SwingStep(CharaData* e, const Swing& s) {
    int32_t d = e->work4;
    switch (e->work2) {
    case 2:
        e->work3 += d * e->work5;
        e->work5 = std::min(e->work5 + s.rateStep, s.maxRate);
        if (d > 0 ? e->work3 > s.amplitude : e->work3 < -s.amplitude) e->work2 = 3;
        break;
    case 3:
        e->work3 += d * e->work5;
        e->work5 -= s.rateStep;
        if (e->work5 < 1) e->work2 = 4;
        break;
    case 4:
        e->work3 -= d * e->work5;
        e->work5 = std::min(e->work5 + s.rateStep, s.maxRate);
        if (d > 0 ? e->work3 < -s.amplitude : e->work3 > s.amplitude) e->work2 = 5;
        break;
    case 5:
        e->work3 -= d * e->work5;
        e->work5 -= s.rateStep;
        if (e->work5 < 1) e->work2 = 2;
        break;
    default: break;
    }
}
