// EnemyCommon.cpp: the shared enemy rules: set-ups, the start, shots, the four destruction
// sequences and the leave.
#include "EnemyCommon.h"

void SetUpGroundEnemy(CharaData* e, const GroundStats& stats) {
    e->state = stats.startState;
    e->hp = e->score = stats.hp;
    e->hitW = stats.hitW;
    e->hitH = stats.hitH;
    e->blastKind = stats.blastKind;
    e->item = stats.item;
    e->speed = stats.speed;
    e->muzzleX = 8;
    e->muzzleY = 0;
    e->delay = e->stateTimer = e->frameCounter = e->animTick = e->animFrame = 0;
    e->work2 = e->work3 = e->work4 = e->work5 = 0;
}

void SetUpPart(CharaData* part) {
    part->state = 2;
    part->delay = part->stateTimer = part->frameCounter = part->animTick = part->animFrame = 0;
    part->work2 = part->work3 = part->work4 = part->work5 = 0;
}

bool Started(CharaData* e) {
    if (e->stateTimer == 0) {
        e->delay -= 1;
        if (e->delay < 0) e->stateTimer = 1;
    }
    return e->stateTimer != 0;
}

void DriveForward(CharaData* e, int32_t slow, int32_t fast) {
    e->speed = e->frameCounter % 80 < 16 ? slow : fast;
    if (e->work3 < 122880) {
        Step(e, e->angle, e->speed);
        e->work3 += e->vy;
    }
}

void PlaceOnParent(CharaData* part) {
    const CharaData* parent = part->parent;
    part->x = GetLocalPointX(parent->x, part->vx, part->vy, parent->angle);
    part->y = GetLocalPointY(parent->y, part->vx, part->vy, parent->angle);
}

void ShotFrom(const EnemyLists* lists, const CharaData* e, int32_t side, int32_t forward, int32_t muzzleAngle,
              int32_t speed, int32_t direction, int32_t bulletType) {
    SpawnEnemyBullet(lists->player, lists->bullets, GetLocalPointX(e->x, side, forward, muzzleAngle),
                     GetLocalPointY(e->y, side, forward, muzzleAngle), speed, NormalizeAngle(direction), bulletType, 0);
}

void MildShotFrom(const EnemyLists* lists, const CharaData* e, int32_t side, int32_t forward, int32_t muzzleAngle,
                  int32_t speed, int32_t direction, int32_t bulletType) {
    SpawnEnemyBulletMild(lists->player, lists->bullets, GetLocalPointX(e->x, side, forward, muzzleAngle),
                         GetLocalPointY(e->y, side, forward, muzzleAngle), speed, NormalizeAngle(direction),
                         bulletType, 0);
}

void CentreRing(const EnemyLists* lists, const CharaData* e, int32_t speed) {
    for (int32_t a = 0; a < 1024; a += 64) SpawnEnemyBullet(lists->player, lists->bullets, e->x, e->y, speed, a, 4, 0);
}

// ---- destruction -----------------------------------------------------------------------

struct Offset {
    int32_t dx, dy;
};
static constexpr Offset kCorners32[4] = {{-32768, -32768}, {32768, -32768}, {-32768, 32768}, {32768, 32768}};
static constexpr Offset kCorners20[4] = {{-20480, -20480}, {20480, -20480}, {-20480, 20480}, {20480, 20480}};

static void SmallBlast(cChara* effects, int32_t x, int32_t y) { SpawnExplosion(effects, x, y, 1, 0, 0, 0, 8); }

static void RevengeFrom(const EnemyLists* lists, int32_t x, int32_t y) {
    SpawnRevengeBullet(lists->player, lists->bullets, x, y, 60, AimFrom(lists, x, y), 0, 0);
}

static void FinalBlasts(EnemyLists* lists, const CharaData* e, Blast blast) {
    if (blast == Blast::Five) {
        SpawnExplosion(lists->effects, e->x, e->y, 16, 10, 0, 0, 8);
        SpawnExplosion(lists->effects, e->x, e->y, 8, 5, 0, 0, 8);
        for (Offset o : kCorners32) {
            SpawnExplosion(lists->effects, e->x + o.dx, e->y + o.dy, 16, 10, 0, 0, 8);
            SpawnExplosion(lists->effects, e->x + o.dx, e->y + o.dy, 8, 5, 0, 0, 8);
        }
        return;
    }
    SpawnExplosion(lists->effects, e->x, e->y, 16, 16, 0, 0, 8);
    SpawnExplosion(lists->effects, e->x, e->y, 8, 8, 0, 0, 8);
}

static void SmallBlasts(EnemyLists* lists, const CharaData* e, Blast blast) {
    SmallBlast(lists->effects, e->x, e->y);
    if (blast == Blast::Five)
        for (Offset o : kCorners32) SmallBlast(lists->effects, e->x + o.dx, e->y + o.dy);
    if (blast == Blast::CornerRevenge)
        for (Offset o : kCorners20) SmallBlast(lists->effects, e->x + o.dx, e->y + o.dy);
}

static void RevengeShots(EnemyLists* lists, const CharaData* e, Blast blast) {
    switch (blast) {
    case Blast::Single: RevengeFrom(lists, e->x, e->y); break;
    case Blast::Five:
        for (Offset o : kCorners32) RevengeFrom(lists, e->x + o.dx, e->y + o.dy);
        break;
    case Blast::CornerRevenge:
        for (Offset o : kCorners20) RevengeFrom(lists, e->x + o.dx, e->y + o.dy);
        break;
    case Blast::Quiet: break;
    }
}

void RunDestruction(EnemyLists* lists, CharaData* e, Blast blast, FinalAction final) {
    RideScroll(e);
    e->stateTimer += 1;
    if (e->stateTimer > 20) {
        FinalBlasts(lists, e, blast);
        e->state = 0;
        if (GameState.level >= 3) RevengeShots(lists, e, blast);
        if (final) final(lists, e);
    }
    if (e->stateTimer % 4 == 1) {
        SmallBlasts(lists, e, blast);
        if (GameState.level >= 3 && GameState.remix == 1) RevengeShots(lists, e, blast);
    }
}

void RunLeave(CharaData* e) {
    e->stateTimer += 1;
    if (e->stateTimer > 20) e->state = 0;
}

// ---- skeletons -------------------------------------------------------------------------

void RunGroundEnemy(EnemyLists* lists, CharaData* e, const GroundShape& shape) {
    switch (e->state) {
    case 1:
        SetUpGroundEnemy(e, *shape.stats);
        if (shape.setUp) shape.setUp(lists, e);
        break;
    case 4:
        if (!shape.activeInState4) break;
        [[fallthrough]];
    case 2:
        RideScroll(e);
        if (Started(e)) shape.active(lists, e);
        break;
    case 3: RunDestruction(lists, e, shape.stats->blast, shape.final); break;
    case 5: RunLeave(e); break;
    default: break;
    }
}

void RunPart(EnemyLists* lists, CharaData* part, void (*setUp)(CharaData* part),
             void (*active)(EnemyLists* lists, CharaData* part)) {
    if (part->state == 1) {
        SetUpPart(part);
        if (setUp) setUp(part);
    }
    if (part->state != 2 || !Started(part)) return;
    PlaceOnParent(part);
    active(lists, part);
}

bool BreakOffBelow(EnemyLists* lists, CharaData* part, int32_t threshold) {
    if (part->parent->hp >= threshold) return false;
    PlayEffect(kSoundBak2);
    if (GameState.level >= 3)
        SpawnRevengeBullet(lists->player, lists->bullets, part->x, part->y, 30, Aim(lists, part), 0, 0);
    SmallBlast(lists->effects, part->x, part->y);
    part->state = 0;
    return true;
}

void EndBossHalf() { GameState.bossLife = GameState.bossLife > 5 ? GameState.bossLife - 5 : 0; }
