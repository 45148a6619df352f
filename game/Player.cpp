// Player.cpp: one frame of the player: input (live, or the replay's byte), the dying and
// respawn sequence, movement and aim, the stage script, napalm charge and launch, the two
// fans of shot streams and the rank. Then the shots and napalm fly and hit: a shot hits
// the first state-2 ground enemy it touches, else the first air enemy; the napalm's burst
// hits every enemy in range on every other frame.
#include "Player.h"

#include "GameRules.h"
#include "QzApi.h"
#include "Spawners.h"
#include "StageScript.h"

// ---- input and replay ------------------------------------------------------------------

void RecordReplayByte(int32_t frame, int32_t pad) {
    // 0xFF cannot be stored: it is written as 0, as replay files have always held it.
    if (frame >= 0 && frame < kReplayBytes) ReplayBuffer[frame] = static_cast<uint8_t>((pad & 0xFF) % 255);
}

int32_t ReadReplayByte(int32_t frame) { return (frame >= 0 && frame < kReplayBytes) ? ReplayBuffer[frame] : 0; }

int32_t ReadPlayInput() {
    int32_t pad = ApiGetPadInputBits(0x1001);
    // Buttons 2 to 8 all count as button 2.
    if (pad & 0xFE0) pad |= kPadButton2;
    if (GameState.playMode == 0) RecordReplayByte(GameState.replayFrame, pad);
    return pad;
}

int32_t ReadMenuInput() { return ApiGetPadInputBits(0x1001); }

// ---- shot table ------------------------------------------------------------------------

void ClearShots(ShotTableRecord* table, int32_t n) {
    int32_t* fields[] = {table->x,      table->y,       table->vx,       table->vy,       table->hitW,
                         table->hitH,   table->scale,   table->state,    table->counter,  table->damage,
                         table->kind,   table->angle,   table->animTick, table->frame,    table->decelStep,
                         table->charge, table->travelled, table->speed16, table->power};
    if (n > kShotSlots) n = kShotSlots;
    for (int32_t* field : fields)
        for (int32_t slot = 0; slot < n; slot++) field[slot] = 0;
}

void AnimateShot(ShotTableRecord* table, int32_t slot, int32_t limit) {
    table->animTick[slot] += 1;
    if (table->animTick[slot] > limit) {
        table->frame[slot] += 1;
        table->animTick[slot] = 0;
    }
}

// ---- firing ----------------------------------------------------------------------------

struct StreamRule {
    int32_t minPower;   // active when shotPower > minPower (stream 0: always)
    int32_t basicAt;    // shotPower at which its shots are basic, else upgraded
};
static const StreamRule kStreams[4] = {{-1000, 1}, {0, 1}, {2, 3}, {4, 5}};

static void PlaceShot(int slot, int32_t side, int32_t direction, int32_t aim, int32_t pixelsPerFrame) {
    const CharaData& player = PlayerList.self;
    ShotTable.state[slot] = 1;
    ShotTable.angle[slot] = NormalizeAngle(direction);
    ShotTable.x[slot] = GetLocalPointX(player.x, side, 4, aim);
    ShotTable.y[slot] = GetLocalPointY(player.y, side, 4, aim);
    ShotTable.vx[slot] = CosTable[ShotTable.angle[slot]] * pixelsPerFrame * 8;
    ShotTable.vy[slot] = SinTable[ShotTable.angle[slot]] * pixelsPerFrame * 8;
    ShotTable.frame[slot] = 0;
}

static void FireShot(int slot, int stream, int32_t side, int32_t direction, int32_t aim) {
    PlayEffect(kSoundShot);
    bool basic = kStreams[stream].basicAt == GameState.shotPower;
    ShotTable.kind[slot] = basic ? 0 : 5;
    ShotTable.damage[slot] = basic ? 32 : 40;
    ShotTable.scale[slot] = 100;
    PlaceShot(slot, side, direction, aim, 16);
    ShotTable.hitW[slot] = ShotTable.hitH[slot] = 4;
}

static void FireFatShot(int slot, int32_t side, int32_t aim) {
    PlayEffect(kSoundJikitama);
    int tier = GameState.shotPower <= 2 ? 0 : GameState.shotPower <= 4 ? 1 : 2;
    static const int32_t kScale[3] = {100, 125, 150}, kDamage[3] = {120, 140, 160}, kHit[3] = {6, 7, 8};
    ShotTable.kind[slot] = 6;
    ShotTable.scale[slot] = kScale[tier];
    ShotTable.damage[slot] = kDamage[tier];
    ShotTable.hitW[slot] = ShotTable.hitH[slot] = kHit[tier];
    PlaceShot(slot, side, aim, aim, 24);
}

static int FreeSlotOfStream(int fan, int stream) {
    int first = fan * 16 + stream * 4;
    for (int slot = first; slot < first + 4; slot++)
        if (ShotTable.state[slot] == 0) return slot;
    return -1;
}

static void LaunchNapalm(int32_t charge) {
    const CharaData& player = PlayerList.self;
    int32_t a = player.work1;
    const int n = kNapalmSlot;
    ShotTable.state[n] = 1;
    ShotTable.counter[n] = 1;
    ShotTable.damage[n] = 80;
    PlayEffect(kSoundJikitama);
    ShotTable.charge[n] = charge;
    ShotTable.travelled[n] = 0;
    ShotTable.speed16[n] = (charge / 3) * 16;
    ShotTable.decelStep[n] = charge / 3;
    ShotTable.angle[n] = a;
    ShotTable.x[n] = GetLocalPointX(player.x, 0, 24, a);
    ShotTable.y[n] = GetLocalPointY(player.y, 0, 24, a);
    ShotTable.vx[n] = (charge / 3) * CosTable[a & 1023];
    ShotTable.vy[n] = (charge / 3) * SinTable[a & 1023];
    ShotTable.hitW[n] = ShotTable.hitH[n] = 45;
    ShotTable.frame[n] = 0;
    ShotTable.power[n] = GameState.napalmPower;
}

// ---- one frame of the player -----------------------------------------------------------

static void Respawn() {
    GameState.dyingTime = 0;
    GameState.respawnFreeze = 60;
    GameState.noFireTime = 240;
    BulletList.Clear();
    ShockwaveList.Clear();
    ClearShots(&ShotTable, 33);
}

// Returns true while the player is dying (nothing else of the frame runs).
static bool UpdateDying(CharaData& player) {
    if (GameState.dyingTime == 0) return false;
    player.work2 = 80;
    GameState.dyingTime += 1;
    if (GameState.dyingTime > 120) {
        if (player.hp > 0) {
            Respawn();
        } else {
            GameState.stageEnd = 1;
            GameState.stage = 0;
            GameState.result = 1;
        }
    } else if (GameState.dyingTime == 2) {
        PlayEffect(kSoundBak1);
    }
    GameState.scrollPause = 1;
    return true;
}

static int32_t AimTarget(const CharaData& player, bool button2) {
    if (GameState.remix && button2) return 768;
    if (player.muzzleX == 1) return player.muzzleY == 0 ? 832 : 848;
    if (player.muzzleX == -1) return player.muzzleY == 0 ? 704 : 688;
    return 768;
}

static void Move(CharaData& player, bool button2) {
    int32_t speed = 4800;
    if (button2) speed = GameState.remix ? 3200 : 7200;
    int32_t h = (player.muzzleX != 0 && player.muzzleY != 0) ? 141 : 100;
    player.vx = speed * player.muzzleX * 100 / h;
    player.vy = speed * player.muzzleY * 100 / h;
    int64_t limitX = (int64_t{GameState.fieldHalfW} - 16) * 1024, limitY = (int64_t{GameState.fieldHalfH} - 16) * 1024;
    int64_t x = int64_t{player.x} + player.vx, y = int64_t{player.y} + player.vy;
    if (-limitX < x && x < limitX) player.x = static_cast<int32_t>(x);
    if (-limitY < y && y < limitY) player.y = static_cast<int32_t>(y);
}

static void LowerGate(int32_t& gate) {
    if (gate > 0) gate -= 1;
}

static void FireStreams(int32_t v) {
    for (int fan = 0; fan < 2; fan++) {
        for (int stream = 0; stream < 4; stream++) {
            if (stream > 0 && !(GameState.shotPower > kStreams[stream].minPower)) continue;
            int slot = FreeSlotOfStream(fan, stream);
            if (slot < 0 || GameState.shotCooldown[fan][stream] >= 1) continue;
            // The right fan spreads clockwise from 19 px right of the heading, the left fan the other way.
            int32_t direction = fan == 0 ? v + 40 * stream : v - 40 * stream;
            FireShot(slot, stream, fan == 0 ? -19 : 19, direction, v);
            GameState.shotCooldown[fan][stream] = 4;
        }
    }
}

void UpdatePlayer() {
    CharaData& player = PlayerList.self;
    GameState.stageFrame += 1;
    if (GameState.stageFrame < 150) return;

    GameState.pad = GameState.playMode == 1 ? ReadReplayByte(GameState.replayFrame) : ReadPlayInput();
    if (UpdateDying(player)) return;

    const int32_t pad = GameState.pad;
    const bool button1 = pad & kPadButton1, button2 = pad & kPadButton2;
    player.muzzleX = player.muzzleY = 0;
    if (pad & kPadDown) player.muzzleY = 1;
    if (pad & kPadLeft) player.muzzleX = -1;
    if (pad & kPadRight) player.muzzleX = 1;
    if (pad & kPadUp) player.muzzleY = -1;

    int32_t target = AimTarget(player, button2);
    int32_t turn = target < player.type ? -8 : target > player.type ? 8 : 0;
    player.type = NormalizeAngle(player.type + turn);
    player.angle = player.type;
    player.item += 128;
    if (player.item > 1023) player.item = 0;

    Move(player, button2);

    GameState.scrollPause = 0;
    LowerGate(GameState.spawnGate1000);
    LowerGate(GameState.spawnGate2000);
    LowerGate(GameState.spawnGate3000);
    LowerGate(GameState.spawnGate5000);
    UpdateStageScript();

    int32_t v = NormalizeAngle(player.angle);
    const bool napalmIdle = ShotTable.state[kNapalmSlot] == 0;
    if (!GameState.remix && !button2 && napalmIdle) {
        if (player.work2 > 90) LaunchNapalm(player.work2);
        player.work2 = 80;
    }
    for (auto& fan : GameState.shotCooldown)
        for (int32_t& cooldown : fan)
            if (cooldown > 0) cooldown -= 1;

    if (button1 && !button2 && ShotTable.state[kNapalmSlot] != 1) {
        FireStreams(v);
    } else if (button2) {
        if (GameState.remix) {
            for (int fan = 0; fan < 2; fan++) {
                int slot = FreeSlotOfStream(fan, 0);
                if (slot < 0 || GameState.shotCooldown[fan][0] >= 1) continue;
                FireFatShot(slot, fan == 0 ? -19 : 19, v);
                GameState.shotCooldown[fan][0] = 4;
            }
        } else if (ShotTable.state[kNapalmSlot] == 0) {
            player.work2 = player.work2 + 2 > 210 ? 210 : player.work2 + 2;
            player.work3 = GetLocalPointX(player.x, 0, player.work2 + 24, v);
            player.work4 = GetLocalPointY(player.y, 0, player.work2 + 24, v);
            player.work1 = v;
        }
    }
    UpdateRank();
}

// ---- destruction -----------------------------------------------------------------------

// The wreck mark left by a ground enemy of each blast class; -1 none.
static int32_t WreckKindOf(int32_t blastKind) {
    if (blastKind == 1) return 2;
    if (blastKind >= 100) return -1;
    if (blastKind >= 20) return 1;
    return 0;
}

static void BeginDestruction(CharaData* e) {
    PlayEffect(kSoundBak2);
    e->state = 3;
    e->stateTimer = 0;
    if (GameState.scrollSpeed > 0) AddScore(e->score, &PlayerList);
}

void DestroyGroundEnemy(CharaData* e) {
    BeginDestruction(e);
    if (e->item > 2) SpawnItem(&ItemList, e->x, e->y, e->item);
    if (e->item == 1 || e->item == 2) SpawnItem(&ItemList, e->x, e->y, 5);
    int32_t wreck = WreckKindOf(e->blastKind);
    if (wreck >= 0) SpawnWreck(&WreckList, e->x, e->y, wreck);
}

void DestroyAirEnemy(CharaData* e) {
    BeginDestruction(e);
    if (e->item == 1) SpawnItem(&ItemList, e->x, e->y, 5);
    if (e->item == 3) {
        SpawnItem(&ItemList, e->x - 50 * 1024, e->y, 0);
        if (!GameState.remix) SpawnItem(&ItemList, e->x, e->y, 1);
        SpawnItem(&ItemList, e->x + 50 * 1024, e->y, 2);
    }
}

// ---- shots and napalm in flight ----------------------------------------------------------

static void HitEnemy(CharaData* e, int32_t damage, int32_t x, int32_t y, void (*destroy)(CharaData*)) {
    PlayEffect(kSoundHit);
    e->hp -= damage;
    SpawnHitSparks(&EffectList, static_cast<int32_t>((int64_t{x} + e->x) / 2),
                   static_cast<int32_t>((int64_t{y} + e->y) / 2));
    if (e->hp < 0) destroy(e);
}

static bool ShotTouches(int slot, const CharaData* e) {
    int32_t sx = ShotTable.x[slot] / 1024, sy = ShotTable.y[slot] / 1024;
    int32_t ex = e->x / 1024, ey = e->y / 1024, w = ShotTable.hitW[slot];
    if (e->hitW == e->hitH) return CheckHitCircleInField(sx, sy, ex, ey, e->hitW + w, e->hitW);
    return CheckHitBoxInField(sx, sy, ex, ey, e->hitW + w, w + e->hitH, e->hitW, e->hitH);
}

// The first state-2 enemy of the list the shot touches takes the hit.
static bool ShotHitsList(int slot, cChara* list, void (*destroy)(CharaData*)) {
    for (CharaData* e = list->head; e; e = e->next) {
        if (e->state != 2 || !ShotTouches(slot, e)) continue;
        ShotTable.state[slot] = 3;
        ShotTable.animTick[slot] = 0;
        ShotTable.frame[slot] = 5;
        HitEnemy(e, ShotTable.damage[slot], ShotTable.x[slot], ShotTable.y[slot], destroy);
        return true;
    }
    return false;
}

static void UpdateShot(int slot) {
    if (ShotTable.state[slot] == 1) {
        ShotTable.animTick[slot] = 0;
        ShotTable.x[slot] += ShotTable.vx[slot];
        ShotTable.y[slot] += ShotTable.vy[slot];
        int32_t sx = GetScreenX(ShotTable.x[slot]) / 1024, sy = GetScreenY(ShotTable.y[slot]) / 1024;
        // A shot leaving the screen on this frame still hits.
        if (sx < -32 || sx > 512 || sy < -32 || sy > 512) ShotTable.state[slot] = 0;
        if (!ShotHitsList(slot, &GroundEnemyList, DestroyGroundEnemy)) ShotHitsList(slot, &AirEnemyList, DestroyAirEnemy);
    }
    if (ShotTable.state[slot] == 3) {
        AnimateShot(&ShotTable, slot, 4);
        if (ShotTable.frame[slot] > 7) ShotTable.state[slot] = ShotTable.animTick[slot] = ShotTable.frame[slot] = 0;
    }
}

static void FlyNapalm() {
    const int n = kNapalmSlot;
    ShotTable.frame[n] = 1;
    int32_t f = ShotTable.speed16[n] / 16;
    ShotTable.vx[n] = f * CosTable[ShotTable.angle[n] & 1023];
    ShotTable.vy[n] = f * SinTable[ShotTable.angle[n] & 1023];
    ShotTable.x[n] += ShotTable.vx[n];
    ShotTable.y[n] += ShotTable.vy[n];
    ShotTable.travelled[n] +=
        IntegerSquareRoot(int64_t{ShotTable.vx[n]} * ShotTable.vx[n] + int64_t{ShotTable.vy[n]} * ShotTable.vy[n]);
    if (ShotTable.speed16[n] <= 0) {
        ShotTable.state[n] = 3;
        ShotTable.counter[n] = 0;
        ShotTable.charge[n] = 5;
        PlayEffect(kSoundGure);
    } else {
        int32_t travelledPx = ShotTable.travelled[n] / 1024, b = ShotTable.charge[n];
        if (travelledPx >= b / 3) {
            if (ShotTable.counter[n] % 2 == 0) ShotTable.speed16[n] -= ShotTable.decelStep[n];
            if (travelledPx >= 2 * b / 3) ShotTable.state[n] = 2;
        }
    }
    ShotTable.counter[n] = (ShotTable.counter[n] + 1) % 255;
    int32_t travelledPx = ShotTable.travelled[n] / 1024, b = ShotTable.charge[n];
    ShotTable.frame[n] = travelledPx >= 4 * b / 5 ? 5
                         : travelledPx >= 3 * b / 5 ? 4
                         : travelledPx >= 2 * b / 5 ? 3
                         : travelledPx >= b / 5     ? 2
                                                    : 1;
}

static bool BurstTouches(const CharaData* e, int32_t nx, int32_t ny, int32_t r) {
    int32_t ex = e->x / 1024, ey = e->y / 1024, w = e->hitW, h = e->hitH;
    if (w == h) return CheckHitCircleInField(nx, ny, ex, ey, w + r, w);
    return CheckHitBoxInField(nx, ny, ex, ey, w + r * 8 / 10, h + r * 8 / 10, w, h) ||
           CheckHitBoxInField(nx, ny, ex, ey, w + r, h + r / 2, w, h) ||
           CheckHitBoxInField(nx, ny, ex, ey, w + r / 2, h + r, w, h);
}

static void BurstOverList(cChara* list, int32_t r, void (*destroy)(CharaData*)) {
    const int n = kNapalmSlot;
    for (CharaData* e = list->head; e; e = e->next) {
        if (e->state != 2 || !BurstTouches(e, ShotTable.x[n] / 1024, ShotTable.y[n] / 1024, r)) continue;
        HitEnemy(e, 80, ShotTable.x[n], ShotTable.y[n], destroy);
    }
}

static void BurnNapalm() {
    static const int32_t kSizeCap[7] = {20, 20, 23, 26, 29, 32, 35};
    const int n = kNapalmSlot;
    ShotTable.counter[n] = (ShotTable.counter[n] + 1) % 255;
    int32_t counter = ShotTable.counter[n];
    ShotTable.frame[n] = counter >= 36 ? 3 : counter > 30 ? 2 : counter > 25 ? 1 : 0;
    if (counter > 40) ShotTable.state[n] = 0;
    int32_t power = ShotTable.power[n] < 1 ? 1 : ShotTable.power[n] > 6 ? 6 : ShotTable.power[n];
    ShotTable.charge[n] += 1;
    if (ShotTable.charge[n] > kSizeCap[power]) ShotTable.charge[n] = kSizeCap[power];
    int32_t r = ShotTable.charge[n] * 45 / 10;
    ShotTable.hitW[n] = ShotTable.hitH[n] = r;
    if (counter % 2 == 0) {
        BurstOverList(&GroundEnemyList, r, DestroyGroundEnemy);
        BurstOverList(&AirEnemyList, r, DestroyAirEnemy);
    }
}

void UpdatePlayerShots() {
    for (int slot = 0; slot < 32; slot++) UpdateShot(slot);
    if (ShotTable.state[kNapalmSlot] == 1 || ShotTable.state[kNapalmSlot] == 2) FlyNapalm();
    if (ShotTable.state[kNapalmSlot] == 3) BurnNapalm();
}
