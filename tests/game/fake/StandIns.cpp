// StandIns.cpp: the stand-in behaviours.
#include "StandIns.h"

#include "GameRules.h"
#include "Spawners.h"
#include "enemies/EnemyUpdaters.h"

// States 3 and 5: 20 frames, then an explosion and the end (a boss's state 4).
static bool RunOutEnd(cChara* effectList, CharaData* e, int32_t nextState) {
    if (e->state != 3 && e->state != 5) return false;
    e->stateTimer += 1;
    if (e->stateTimer > 20) {
        SpawnExplosion(effectList, e->x, e->y, 8, 6, 2, 0, 4);
        e->state = e->state == 3 ? nextState : 0;
        e->stateTimer = 0;
    }
    return true;
}

static void GroundGun(EnemyLists* lists, CharaData* e) {
    if (RunOutEnd(lists->effects, e, 0)) return;
    if (e->state == 1) {
        e->hp = 60;
        e->hitW = e->hitH = 14;
        e->score = 300;
        e->item = 2;
        e->blastKind = 10;
        e->state = 2;
    }
    if (GameState.scrollPause == 0) e->y += GameState.scrollSpeed;
    e->frameCounter += 1;
    if (e->frameCounter % ScaleFireIntervalStrong(40) == 0) {
        const CharaData& player = lists->player->self;
        SpawnEnemyBullet(lists->player, lists->bullets, e->x, e->y, 24,
                         GetAngleTo(e->x, e->y, player.x, player.y), e->frameCounter % 3, 0);
    }
}

static void AirFighter(AirEnemyLists* lists, CharaData* e) {
    if (RunOutEnd(lists->effects, e, 0)) return;
    if (e->state == 1) {
        e->hp = 30;
        e->hitW = e->hitH = 12;
        e->score = 500;
        e->item = 3;
        e->speed = 20;
        e->state = 2;
    }
    e->angle = NormalizeAngle(e->angle + NextRandom() % 9 - 4);
    e->x += e->speed * CosTable[e->angle];
    e->y += e->speed * SinTable[e->angle];
}

static void Boss(EnemyLists* lists, CharaData* e) {
    if (e->state == 4) return;
    if (RunOutEnd(lists->effects, e, 4)) return;
    if (e->state == 1) {
        e->hp = 2500;
        e->hitW = 40;
        e->hitH = 30;
        e->score = 50000;
        e->blastKind = 100;
        e->state = 2;
    }
    if (e->y < -150 * 1024) e->y += 1024;
    e->frameCounter += 1;
    if (e->frameCounter % ScaleFireIntervalStrong(30) == 0)
        SpawnEnemyBullet(lists->player, lists->bullets, e->x, e->y, 16, 256 + (e->frameCounter % 5) * 32 - 64,
                         e->frameCounter % 2 ? 4 : 8, 0);
}

void InstallStandIns() {
    GroundEnemyBehaviours[17] = GroundGun;
    GroundEnemyBehaviours[20] = Boss;
    AirEnemyBehaviours[1] = AirFighter;
}

// Puts back what the game itself runs for these types.
void RemoveStandIns() {
    GroundEnemyBehaviours[17] = DefaultGroundEnemyBehaviour(17);
    GroundEnemyBehaviours[20] = DefaultGroundEnemyBehaviour(20);
    AirEnemyBehaviours[1] = DefaultAirEnemyBehaviour(1);
}
