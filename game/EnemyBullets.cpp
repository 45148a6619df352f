// EnemyBullets.cpp: every enemy bullet, per frame in list order: its type's behaviour, the
// muzzle flash count, then, once active, the hit on the player (not while the player is
// dying or blinking; laser emitters and guide segments never hit) and the cull beyond
// -128..608 px of the screen.
//
// Types: 0 and 7 accelerate; 1, 2, 3, 5 fly straight; 4 decelerates and turns into a 7
// aimed at the player; 6 splits once into eight; 8 decelerates, waits and bursts into
// eight; 9 is a laser emitter that lays guide (10) and beam (11) segments.
#include "GameRules.h"
#include "Spawners.h"
#include "WorldUpdaters.h"

struct BulletKind {
    int32_t hitSize;  // px
    int startSound;   // -1 none
};
static const BulletKind kBulletKinds[12] = {
    {3, kSoundTekitama}, {3, kSoundTekitama}, {4, kSoundTekitama}, {5, kSoundTekitama},
    {3, kSoundTekitama}, {4, kSoundGun},      {10, kSoundGun},     {3, kSoundTekitama},
    {10, kSoundTekitama}, {3, -1},            {5, -1},             {5, -1},
};

// The start every type shares: the wait in state 1, the hit size, the activation sound.
static void StartBullet(CharaData* b) {
    if (b->state != 1) return;
    b->hitW = b->hitH = kBulletKinds[b->type].hitSize;
    b->delay -= 1;
    if (b->delay < 0) {
        b->state = 2;
        if (kBulletKinds[b->type].startSound >= 0) PlayEffect(kBulletKinds[b->type].startSound);
    }
}

// Frames 1-4 cycle; frame 0 is the flash image.
static void Animate(CharaData* b) {
    cChara::TickAnimation(b, 4);
    if (b->animFrame >= 5) b->animFrame = 1;
}

static void MoveAt(CharaData* b, int32_t speed) {
    b->vx = speed * CosTable[b->angle & 1023];
    b->vy = speed * SinTable[b->angle & 1023];
    b->x += b->vx;
    b->y += b->vy;
}

static void MoveStraight(CharaData* b) {
    StartBullet(b);
    if (b->state != 2) return;
    Animate(b);
    b->x += b->vx;
    b->y += b->vy;
}

static void Accelerate(CharaData* b) {
    if (b->state == 1) b->work2 = 0;
    StartBullet(b);
    if (b->state != 2) return;
    Animate(b);
    if (b->work2 < b->speed) b->work2 += 1;
    MoveAt(b, b->work2);
}

void UpdateBulletType0(CharaData* b) { Accelerate(b); }
void UpdateBulletType1(CharaData* b) { MoveStraight(b); }
void UpdateBulletType2(CharaData* b) { MoveStraight(b); }
void UpdateBulletType3(CharaData* b) { MoveStraight(b); }
void UpdateBulletType5(CharaData* b) { MoveStraight(b); }
void UpdateBulletType7(CharaData* b) { Accelerate(b); }

void UpdateBulletType4(CharaData* b) {
    if (b->state == 1) {
        b->work2 = b->speed;
        b->work3 = b->speed / 20 + 1;
    }
    StartBullet(b);
    if (b->state != 2) return;
    Animate(b);
    if (b->work2 <= 0) {
        // Re-aimed at the player, it starts again as an accelerating bullet next frame.
        const CharaData& player = PlayerList.self;
        b->type = 7;
        b->angle = GetAngleTo(b->x, b->y, player.x, player.y) % 1024;
        b->state = 1;
        b->work2 = 0;
        return;
    }
    b->work2 -= b->work3;
    MoveAt(b, b->work2);
}

void UpdateBulletType6(CharaData* b) {
    if (b->state == 1) b->frameCounter = b->work2 = b->work3 = 0;
    StartBullet(b);
    if (b->state == 2) {
        Animate(b);
        MoveAt(b, b->speed);
    }
    b->frameCounter = (b->frameCounter + 1) % 65535;
    int32_t n = ScaleFireIntervalStrong(2);
    if (b->frameCounter % n == 0 && b->frameCounter < 60 && b->work3 == 0) {
        static const int32_t kSplit[8][2] = {{448, 24}, {320, 20}, {192, 16}, {64, 12},
                                             {-64, 12}, {-192, 16}, {-320, 20}, {-448, 24}};
        for (const auto& split : kSplit)
            SpawnEnemyBullet(&PlayerList, &BulletList, b->x, b->y, split[1], b->angle + split[0], 0, 1);
        b->work3 = 1;
    }
}

void UpdateBulletType8(CharaData* b) {
    if (b->state == 1) {
        b->work2 = b->speed;
        b->work3 = b->speed / 20 + 1;
        b->work4 = 0;
    }
    StartBullet(b);
    if (b->state != 2) return;
    Animate(b);
    if (b->work2 <= 0) {
        b->work4 += 1;
        if (b->work4 > 40) {
            b->state = 0;
            b->work2 = 0;
            for (int32_t turn = 0; turn < 1024; turn += 256)
                SpawnEnemyBullet(&PlayerList, &BulletList, b->x, b->y, 14, b->angle + turn, 3, 1);
            for (int32_t turn = 128; turn < 1024; turn += 256)
                SpawnEnemyBullet(&PlayerList, &BulletList, b->x, b->y, 18, b->angle + turn, 3, 1);
        }
    } else {
        b->work2 -= b->work3;
    }
    MoveAt(b, b->work2);
}

void UpdateBulletType9(CharaData* b) {
    b->animFrame = 0;
    StartBullet(b);
    if (b->state != 2) return;
    b->frameCounter = (b->frameCounter + 1) % 65535;
    if ((b->x < 0 && GameState.leftHalfDestroyed == 1) || (b->x >= 0 && GameState.rightHalfDestroyed == 1)) {
        b->state = 0;
        return;
    }
    const int32_t f = b->frameCounter;
    if (f < 70) SpawnEnemyBullet(&PlayerList, &BulletList, b->x, b->y, 180, 256, 10, 1);
    if (f == 70) PlayEffect(kSoundLaser);
    if (f >= 71 && f <= 79) SpawnEnemyBullet(&PlayerList, &BulletList, b->x, b->y + 8 * 1024, 180, 256, 11, 1);
    if (f == 80) b->state = 0;
}

static void LaserSegment(CharaData* b) {
    b->animFrame = GameState.stageFrame % 2;
    StartBullet(b);
    if (b->state != 2) return;
    b->x += b->vx;
    b->y += b->vy;
}

void UpdateBulletType10(CharaData* b) { LaserSegment(b); }
void UpdateBulletType11(CharaData* b) { LaserSegment(b); }

using BulletBehaviour = void (*)(CharaData*);
static const BulletBehaviour kBulletBehaviours[12] = {
    UpdateBulletType0, UpdateBulletType1, UpdateBulletType2, UpdateBulletType3, UpdateBulletType4,  UpdateBulletType5,
    UpdateBulletType6, UpdateBulletType7, UpdateBulletType8, UpdateBulletType9, UpdateBulletType10, UpdateBulletType11,
};

void UpdateEnemyBullets(ObjectLists* lists) {
    cChara* player = lists->player;
    for (CharaData* b = lists->self->head; b;) {
        if (b->type >= 0 && b->type < 12) kBulletBehaviours[b->type](b);
        if (b->item > 0) b->item -= 1;
        if (b->state == 2) {
            const CharaData& p = player->self;
            if (b->type != 9 && b->type != 10 && GameState.dyingTime == 0 && GameState.invulnTime == 0 &&
                CheckHitCircle(b->x / 1024, b->y / 1024, p.x / 1024, p.y / 1024, p.hitW + b->hitW)) {
                StrikePlayer(player, lists->aux);
                b->state = 0;
            }
            int32_t sx = GetScreenX(b->x) / 1024, sy = GetScreenY(b->y) / 1024;
            if (sx < -128 || sx > 608 || sy < -128 || sy > 608) b->state = 0;
        }
        b = b->state == 0 ? lists->self->RemoveNode(b) : b->next;
    }
}
