// PlayLoop.cpp: the set-ups and one frame of play, headless.
//
// The set-ups reset every value the rules read, so a game depends only on its input bytes:
// a replay seeds the one generator with 1, and replayFrame starts at 32 and rises on every
// pass (intro, freeze, dying, tally) across stages.
#include "PlayLoop.h"

#include "GameRules.h"
#include "GameTypes.h"
#include "Player.h"
#include "StageScript.h"
#include "WorldUpdaters.h"
#include "enemies/EnemyUpdaters.h"

void (*UnlockSaver)() = nullptr;

void SetupGame() {
    SeedRandom(1);
    GameState.remix = GameState.mode != 0 ? 1 : 0;
    PlayerList.Clear();
    CharaData& player = PlayerList.self;
    player.x = 0;
    player.y = 120 * 1024;
    player.hitW = player.hitH = GameState.remix ? 2 : 4;
    player.hp = 3;
    player.type = 768;
    player.item = 768;
    GameState.score = GameState.extendScore = GameState.rank = 0;
    GameState.shotPower = GameState.napalmPower = 1;
    GameState.shield = 0;
    GameState.bonusCount = GameState.invulnTime = 0;
    GameState.spawnGate1000 = GameState.spawnGate2000 = GameState.spawnGate3000 = GameState.spawnGate5000 = 0;
    GameState.entryCycle = GameState.leftHalfDestroyed = GameState.rightHalfDestroyed = 0;
    GameState.stageFrame = GameState.scrolled = GameState.scrollSpeed = GameState.scrollPause = 0;
    GameState.scrollFrac = 0;
    GameState.enemyRowCursor = GameState.terrainRowCursor = 0;
    GameState.bossLife = 10;
    GameState.replayFrame = 32;
    for (auto& fan : GameState.shotCooldown)
        for (int32_t& cooldown : fan) cooldown = 0;
    GameState.dyingTime = GameState.respawnFreeze = GameState.noFireTime = 0;
    // Read by no rule before it is set again, but a game must not inherit it either.
    GameState.pad = 0;
    GameState.shieldCycle = 0;
    if (GameState.playMode == 2) {
        GameState.rank = 2 * GameState.practiceRank;
        GameState.shotPower = GameState.practiceShot;
        GameState.napalmPower = GameState.practiceNapalm;
        GameState.shield = GameState.practiceShield;
    }
}

void SetupStage() {
    GameState.stageEnd = 0;
    GameState.bossTimer = 2000;
    GroundEnemyList.Clear();
    GroundPartList.Clear();
    AirEnemyList.Clear();
    AirPartList.Clear();
    ClearShots(&ShotTable, 33);
    BulletList.Clear();
    EffectList.Clear();
    ItemList.Clear();
    WreckList.Clear();
    PopupList.Clear();
    ShockwaveList.Clear();
    TerrainList.Clear();
    GameState.fieldHalfW = 360;
    GameState.fieldHalfH = 240;
    GameState.panLimit = GameState.fieldHalfW / 3;
    GameState.panX = 0;
    GameState.stageFrame = 0;
    GameState.bonusCount = 0;
    GameState.scrolled = 0;
    GameState.scrollSpeed = 512;
    GameState.scrollPause = 0;
    GameState.scrollFrac = 0;
    GameState.enemyRowCursor = GameState.terrainRowCursor = 0;
    GameState.bossLife = 10;
    GameState.clearCount = 0;
    GameState.result = 0;
    GameState.leftHalfDestroyed = GameState.rightHalfDestroyed = 0;
    CharaData& player = PlayerList.self;
    player.work2 = 80;
    player.work3 = player.work4 = 0;
    player.work1 = 0;
    player.x = 0;
    player.y = 120 * 1024;
}

void UpdateFrameLogic() {
    GameState.replayFrame += 1;
    if (GameState.noFireTime > 0) GameState.noFireTime -= 1;
    if (GameState.respawnFreeze > 0) {
        GameState.respawnFreeze -= 1;
    } else if (GameState.clearCount <= 200) {
        UpdatePlayer();
        UpdateGroundEnemies(&GroundEnemyLists);
        UpdateGroundParts(&GroundPartLists);
        UpdateAirEnemies(&AirEnemyListsRecord);
        UpdateAirParts(&AirPartLists);
        UpdatePlayerShots();
        UpdateEnemyBullets(&BulletLists);
        UpdateEffects(&EffectLists);
        UpdateItems(&ItemLists);
        UpdateWrecks(&WreckLists);
        UpdatePopups(&PopupLists);
        UpdateShockwaves(&ShockwaveLists);
        if (GameState.clearCount == 0 && GameState.scrollSpeed == 0 && GameState.bossLife > 0 &&
            GameState.bossTimer > 0)
            GameState.bossTimer -= 1;
        if (GameState.respawnFreeze < 1 && GameState.invulnTime > 0) GameState.invulnTime -= 1;
    }
}

void RunFrameUpdate() {
    UpdateFrameLogic();
    if (GameState.stage > 0) {
        ApplyStageStateBeforeDraw();
        ApplyStageStateAfterDraw();
    }
}

void FinishFrame() {
    if (GameState.clearCount < 401) return;
    GameState.stageEnd = 1;
    GameState.stage += 1;
    if (GameState.stage > (GameState.playMode == 2 ? 6 : 7)) {
        GameState.stage = 0;
        GameState.result = 2;
    }
}

void RunHeadlessFrame() {
    RunFrameUpdate();
    FinishFrame();
}

void ApplyStageStateBeforeDraw() {
    if (GameState.clearCount > 200) return;
    int32_t pan = (PlayerList.self.x / 1024) * 2 / 3;
    GameState.panX = pan < -GameState.panLimit ? -GameState.panLimit : pan > GameState.panLimit ? GameState.panLimit : pan;
    // The end marker anywhere in the five visible band rows stops the scroll.
    for (int32_t row = 0; row < 5; row++)
        if (StageBandAt(row + GameState.scrolled / 120) == kBgEndMarker) GameState.scrollSpeed = 0;
}

static bool IndexesTables() {
    return GameState.mode >= 0 && GameState.mode < 2 && GameState.level >= 0 && GameState.level < 5;
}

void RecordUnlock() {
    if (!IndexesTables()) return;
    UnlockTable[GameState.mode][GameState.level] = GameState.stage + 1;
    if (UnlockSaver) UnlockSaver();
}

void ApplyStageStateAfterDraw() {
    if (GameState.clearCount <= 200) {
        for (int slot = 0; slot < 32; slot++)
            if (ShotTable.state[slot] != 0 && ShotTable.frame[slot] == 0) ShotTable.frame[slot] = 1;
        if (GameState.bossLife == 0 && GameState.dyingTime == 0) GameState.clearCount += 1;
        return;
    }
    if (GameState.bossTimer < 1) {
        GameState.clearCount += 1;
        return;
    }
    const int32_t t = GameState.bossTimer / 100 + 1;
    if (IndexesTables() && UnlockTable[GameState.mode][GameState.level] < GameState.stage + 1 &&
        GameState.playMode != 1 && (GameState.playMode != 2 || GameState.stage + 1 < 7))
        RecordUnlock();
    if (GameState.clearCount == 201) {
        int32_t bonus = t * 20000 + GameState.bonusCount * 20000 + GameState.shield * 50000;
        if (GameState.stage == 7) bonus += PlayerList.self.hp * 100000;
        AddScore(bonus, &PlayerList);
    }
    GameState.clearCount += 1;
}
