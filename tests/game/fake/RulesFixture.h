// RulesFixture.h: a clean game world for each test: tables built, state and lists reset,
// empty dispatch tables, the game's stage tables, and a fresh recording fake.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "FakeApi.h"
#include "GameRules.h"
#include "GameTypes.h"
#include "PlayLoop.h"
#include "Player.h"
#include "Spawners.h"
#include "StageScript.h"
#include "enemies/EnemyUpdaters.h"

// Stage tables with no rows and the map's end at band 21 (31 on stage 7): the rules act on
// what a test places. Tests of the game's own stages point ActiveStageTables back at them.
inline const int32_t kNoEnemyRows[kStageCount][kEnemyRowsPerStage][5] = {};
inline const int32_t kNoTerrainRows[kStageCount][kTerrainRowsPerStage][4] = {};
inline const auto kPlainBands = [] {
    struct Bands {
        int32_t rows[kStageCount][kBgBandsPerStage] = {};
    } bands;
    for (int stage = 0; stage < kStageCount; stage++) bands.rows[stage][stage == 6 ? 31 : 21] = kBgEndMarker;
    return bands;
}();

inline void ResetGameWorld() {
    BuildSinCosTables();
    GameState = GameStateRecord{};
    for (cChara* list : {&PlayerList, &GroundEnemyList, &GroundPartList, &AirEnemyList, &AirPartList, &BulletList,
                         &EffectList, &ItemList, &WreckList, &PopupList, &ShockwaveList})
        list->Clear();
    TerrainList.Clear();
    ShotTable = ShotTableRecord{};
    for (auto& b : GroundEnemyBehaviours) b = nullptr;
    for (auto& b : GroundPartBehaviours) b = nullptr;
    for (auto& b : AirEnemyBehaviours) b = nullptr;
    for (auto& b : AirPartBehaviours) b = nullptr;
    ActiveStageTables = {kNoEnemyRows, kNoTerrainRows, kPlainBands.rows};
    // Distinct handles, so a logged play names its effect.
    for (int i = 0; i < kSoundEffectCount; i++) GameSoundHandles[i] = 100 + i;
    SeedRandom(1);
    UnlockSaver = nullptr;
    for (int mode = 0; mode < 2; mode++)
        for (int level = 0; level < 5; level++) UnlockTable[mode][level] = HiScoreTable[mode][level] = 0;
    fakeapi::Reset();
}

// A playing field: stage 1 set up, the player alive at (0, 120) px, past the intro.
inline void SetUpField() {
    GameState.stage = 1;
    SetupGame();
    SetupStage();
    GameState.stageFrame = 150;
}

// A list record in a chosen state at a position in px.
inline CharaData* AddRecord(cChara* list, int32_t type, int32_t state, int32_t xPx, int32_t yPx) {
    CharaData* r = AllocateChara();
    r->type = type;
    r->state = state;
    r->x = xPx * 1024;
    r->y = yPx * 1024;
    list->AppendNode(r);
    return r;
}

inline int CountOf(const cChara& list) {
    int n = 0;
    for (const CharaData* r = list.head; r; r = r->next) n++;
    return n;
}

// Effects played through the fake, by index into GameSoundHandles.
inline std::vector<int> PlayedEffects() {
    std::vector<int> played;
    for (const fakeapi::Call& call : fakeapi::CallsOf("ApiPlaySoundHandle")) played.push_back(int(call.args[0]) - 100);
    return played;
}

class Rules : public ::testing::Test {
protected:
    void SetUp() override { ResetGameWorld(); }
    void TearDown() override { ResetGameWorld(); }
};
