// Spawners.cpp: every record of the game is made here. Each is zeroed, filled and appended
// at its list's tail. The bullet rules refuse bullets near or below the player and during
// the respawn's grace; explosions and hit sparks draw from the one generator in a fixed order.
#include "Spawners.h"

#include "GameRules.h"

static CharaData* Append(cChara* list) {
    CharaData* record = AllocateChara();
    list->AppendNode(record);
    return record;
}

static void SetVelocity(CharaData* record) {
    record->vx = record->speed * CosTable[record->angle & 1023];
    record->vy = record->speed * SinTable[record->angle & 1023];
}

// A bullet or shockwave: moving at speed along angle, hit half size 2.
static CharaData* AppendMover(cChara* list, int32_t x, int32_t y, int32_t speed, int32_t angle, int32_t type) {
    CharaData* record = Append(list);
    record->state = 1;
    record->angle = angle;
    record->speed = speed;
    record->x = x;
    record->y = y;
    SetVelocity(record);
    record->hitW = record->hitH = 2;
    record->type = type;
    return record;
}

// The screen is the 480x480 view; both edges count as on it.
static bool OnScreen(int32_t x, int32_t y) {
    int32_t sx = GetScreenX(x) / 1024, sy = GetScreenY(y) / 1024;
    return sx >= 0 && sx <= 480 && sy >= 0 && sy <= 480;
}

static void SpawnEnemy(int32_t type, cChara* list, int32_t x, int32_t y, int32_t angle) {
    if (type == 0 || GameState.bossLife == 0) return;
    CharaData* record = Append(list);
    record->state = 1;
    record->type = type;
    record->x = x;
    record->y = y;
    record->angle = angle;
}

void SpawnGroundEnemy(int32_t type, cChara* list, int32_t x, int32_t y, int32_t angle) {
    SpawnEnemy(type, list, x, y, angle);
}

void SpawnAirEnemy(int32_t type, cChara* list, int32_t x, int32_t y, int32_t angle) {
    SpawnEnemy(type, list, x, y, angle);
}

static void SpawnPart(int32_t type, cChara* list, int32_t side, int32_t forward, int32_t angle, CharaData* parent) {
    CharaData* record = Append(list);
    record->state = 1;
    record->type = type;
    record->vx = side;
    record->vy = forward;
    record->muzzleX = 0;
    record->angle = angle;
    record->parent = parent;
}

void SpawnGroundPart(int32_t type, cChara* list, int32_t side, int32_t forward, int32_t angle, CharaData* parent) {
    SpawnPart(type, list, side, forward, angle, parent);
}

void SpawnAirPart(int32_t type, cChara* list, int32_t side, int32_t forward, int32_t angle, CharaData* parent) {
    SpawnPart(type, list, side, forward, angle, parent);
}

// remixNumerator / 50 is the REMIX speed factor: 27 for the normal rule, 37 for the mild one.
static void SpawnBullet(cChara* playerList, cChara* list, int32_t x, int32_t y, int32_t speed, int32_t angle,
                        int32_t type, int32_t noFlash, int32_t remixNumerator) {
    static const int32_t kLevelDivisor[5] = {15, 14, 13, 12, 11};
    angle = NormalizeAngle(angle);
    if (type < 10) {
        int32_t level = GameState.level < 0 ? 0 : GameState.level > 4 ? 4 : GameState.level;
        int64_t scaled = int64_t{speed} * 90 / (83 - RankLevel());
        scaled = scaled * 16 / kLevelDivisor[level];
        if (GameState.noFireTime != 0) return;
        if (y > 60 * 1024) return;
        const CharaData& player = playerList->self;
        if (CheckHitCircle(x / 1024, y / 1024, player.x / 1024, player.y / 1024, 32)) return;
        if (GameState.remix) scaled = scaled * remixNumerator / 50;
        speed = static_cast<int32_t>(scaled);
    }
    if (type < 9 && !OnScreen(x, y)) return;
    CharaData* record = AppendMover(list, x, y, speed, angle, type);
    record->delay = 0;
    record->animFrame = 1;
    record->frameCounter = 0;
    if (noFlash == 0) {
        record->muzzleX = x;
        record->muzzleY = y;
        record->item = (type == 6 || type == 8) ? 6 : 3;
    }
}

void SpawnEnemyBullet(cChara* playerList, cChara* list, int32_t x, int32_t y, int32_t speed, int32_t angle,
                      int32_t type, int32_t noFlash) {
    SpawnBullet(playerList, list, x, y, speed, angle, type, noFlash, 27);
}

void SpawnEnemyBulletMild(cChara* playerList, cChara* list, int32_t x, int32_t y, int32_t speed, int32_t angle,
                          int32_t type, int32_t noFlash) {
    SpawnBullet(playerList, list, x, y, speed, angle, type, noFlash, 37);
}

void SpawnRevengeBullet(cChara* playerList, cChara* list, int32_t x, int32_t y, int32_t speed, int32_t angle,
                        int32_t unused1, int32_t unused2) {
    (void)speed;
    (void)unused1;
    (void)unused2;
    SpawnEnemyBullet(playerList, list, x, y, 35, NormalizeAngle(angle), 3, 0);
}

void SpawnShockwave(cChara* list, int32_t x, int32_t y, int32_t speed, int32_t angle, int32_t type, int32_t delay) {
    angle = NormalizeAngle(angle);
    if (!OnScreen(x, y)) return;
    AppendMover(list, x, y, speed, angle, type)->delay = delay;
}

// A ring count of 0 or less makes no ring (its angle step would divide by zero).
void SpawnExplosion(cChara* list, int32_t x, int32_t y, int32_t ringCount, int32_t ringSpeed, int32_t delayStep,
                    int32_t kind, int32_t debrisCount) {
    if (ringCount > 0) {
        int32_t step = 1024 / ringCount;
        for (int32_t i = 0; i < ringCount; i += 2) {
            int32_t o = step * i;
            int32_t placement = NormalizeAngle(o + 384);
            CharaData* record = Append(list);
            record->state = 1;
            record->x = x + ringSpeed * CosTable[placement] * 4;
            record->y = y + ringSpeed * SinTable[placement] * 4;
            record->delay = delayStep * i + 4;
            record->type = kind;
            record->angle = NormalizeAngle(o + 256);
            record->speed = ringSpeed;
            SetVelocity(record);
        }
    }
    for (int32_t i = 0; i < debrisCount; i += 2) {
        CharaData* record = Append(list);
        record->state = 1;
        record->x = x;
        record->y = y;
        record->delay = NextRandom() % 4;
        record->type = (NextRandom() % 2) * 2 + 1;
        record->angle = NextRandom() % 1024;
        record->speed = NextRandom() % 6 + 12;
        SetVelocity(record);
    }
}

void SpawnHitSparks(cChara* list, int32_t x, int32_t y) {
    for (int i = 0; i < 4; i++) {
        CharaData* record = Append(list);
        record->state = 1;
        record->x = x;
        record->y = y;
        record->type = 3;
        record->delay = 0;
        record->angle = NextRandom() % 512;
        record->speed = NextRandom() % 32 + 4;
        SetVelocity(record);
    }
}

void SpawnItem(cChara* list, int32_t x, int32_t y, int32_t kind) {
    CharaData* record = Append(list);
    record->state = 1;
    record->animFrame = kind;
    record->x = x;
    record->y = y;
    record->hitW = record->hitH = 16;
}

// Wrecks and pop-ups live in state 0; only their own updaters remove them.
void SpawnWreck(cChara* list, int32_t x, int32_t y, int32_t kind) {
    CharaData* record = Append(list);
    record->type = kind;
    record->x = x;
    record->y = y;
}

void SpawnPopup(cChara* list, int32_t x, int32_t y, int32_t kind) { SpawnWreck(list, x, y, kind); }

void SpawnTerrainPiece(int32_t kind, int32_t x, int32_t y) {
    ChikeiData* piece = AllocateChikei();
    piece->x = x;
    piece->y = y;
    piece->active = 1;
    piece->kind = kind;
    TerrainList.AppendNode(piece);
}
