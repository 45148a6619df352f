// The stage script and the spawners: due rows, gates, blocking rows, terrain, the shield
// bonus, the scroll rate, the bullet refusals, and the generator draws of explosions.
#include "RulesFixture.h"

namespace StageScript_test {

namespace {

int32_t enemyRows[kStageCount][kEnemyRowsPerStage][5];
int32_t terrainRows[kStageCount][kTerrainRowsPerStage][4];
int32_t bands[kStageCount][kBgBandsPerStage];

}  // namespace

class ScriptRules : public Rules {
protected:
    void SetUp() override {
        Rules::SetUp();
        std::fill(&enemyRows[0][0][0], &enemyRows[0][0][0] + sizeof(enemyRows) / 4, 0);
        std::fill(&terrainRows[0][0][0], &terrainRows[0][0][0] + sizeof(terrainRows) / 4, 0);
        std::fill(&bands[0][0], &bands[0][0] + sizeof(bands) / 4, 0);
        ActiveStageTables = {enemyRows, terrainRows, bands};
        SetUpField();
    }
    void SetEnemyRows(int stage, std::initializer_list<std::array<int32_t, 5>> rows) {
        int i = 0;
        for (const auto& row : rows) std::copy(row.begin(), row.end(), enemyRows[stage - 1][i++]);
    }
    // Scroll until the map has moved to scrolled.
    void ScrollTo(int32_t scrolled) {
        while (GameState.scrolled < scrolled) UpdateStageScript();
    }
};

TEST_F(ScriptRules, RowsFireWhenDueInTableOrderAndGatesUseThemUp) {
    SetEnemyRows(1, {{17, -180, -300, 256, 40},
                     {101, -240, -300, 256, 45},
                     {2029, -180, -300, 256, 45},
                     {1005, 100, -300, 256, 45},
                     {4003, 0, 0, 0, 50},
                     {6001, 0, 0, 0, 50},
                     {3107, 240, -300, 256, 60}});
    GameState.spawnGate2000 = 1;
    UpdateStageScript();  // scrolled 0 + 480 = 40 x 12
    ASSERT_EQ(1, CountOf(GroundEnemyList));
    EXPECT_EQ(17, GroundEnemyList.head->type);
    EXPECT_EQ(-180 * 1024, GroundEnemyList.head->x);
    EXPECT_EQ(256, GroundEnemyList.head->angle);
    ScrollTo(60);
    ASSERT_EQ(1, CountOf(AirEnemyList));
    EXPECT_EQ(1, AirEnemyList.head->type);
    EXPECT_EQ(2, CountOf(GroundEnemyList));  // 2029 dropped while its gate runs; 1005 spawns type 5
    EXPECT_EQ(5, GroundEnemyList.tail->type);
    EXPECT_EQ(4, GameState.enemyRowCursor);
    GameState.spawnGate2000 = 0;
    ScrollTo(120);
    EXPECT_EQ(6, GameState.enemyRowCursor);  // 4000 and 6000 codes spawn nothing
    EXPECT_EQ(2, CountOf(GroundEnemyList));
    ScrollTo(240);
    EXPECT_EQ(2, CountOf(AirEnemyList));
    EXPECT_EQ(7, AirEnemyList.tail->type);
}

TEST_F(ScriptRules, ARowBehindTheScrollBlocksEveryLaterRow) {
    SetEnemyRows(1, {{17, 0, 0, 0, 40}, {17, 0, 0, 0, 39}, {17, 0, 0, 0, 50}});
    ScrollTo(600);
    EXPECT_EQ(1, CountOf(GroundEnemyList));
    EXPECT_EQ(1, GameState.enemyRowCursor);
}

TEST_F(ScriptRules, TheCursorStopsAtTheTableEnd) {
    for (int row = 0; row < kEnemyRowsPerStage; row++) {
        int32_t r[5] = {4001, 0, 0, 0, 40};
        std::copy(r, r + 5, enemyRows[0][row]);
    }
    UpdateStageScript();
    EXPECT_EQ(kEnemyRowsPerStage, GameState.enemyRowCursor);
    UpdateStageScript();
    EXPECT_EQ(kEnemyRowsPerStage, GameState.enemyRowCursor);
}

TEST_F(ScriptRules, NothingSpawnsAfterTheBossButParts) {
    GameState.bossLife = 0;
    SpawnGroundEnemy(3, &GroundEnemyList, 0, 0, 0);
    SpawnAirEnemy(3, &AirEnemyList, 0, 0, 0);
    SpawnGroundEnemy(0, &GroundEnemyList, 0, 0, 0);
    EXPECT_EQ(0, CountOf(GroundEnemyList) + CountOf(AirEnemyList));
    SpawnGroundPart(4, &GroundPartList, 5, 6, 7, PlayerList.head);
    ASSERT_EQ(1, CountOf(GroundPartList));
    EXPECT_EQ(5, GroundPartList.head->vx);
    EXPECT_EQ(6, GroundPartList.head->vy);
}

TEST_F(ScriptRules, ScrollAndTerrain) {
    const int32_t row[4] = {1, -180, 180, 4};
    std::copy(row, row + 4, terrainRows[0][0]);
    std::copy(row, row + 4, terrainRows[1][0]);
    for (int32_t stage : {1, 2}) {
        TerrainList.Clear();
        GameState.stage = stage;
        SetupStage();
        UpdateStageScript();
        ASSERT_NE(nullptr, TerrainList.head);
        EXPECT_EQ(180 * 1024, TerrainList.head->y);
        EXPECT_EQ(1, TerrainList.head->active);
        UpdateStageScript();
        EXPECT_EQ(1, GameState.scrolled);  // 1 px every 2 frames
        int calls = 2;
        while (TerrainList.head && calls < 1000) {
            UpdateStageScript();
            calls++;
        }
        // Half a px a frame from 180 px: removed once beyond 300 px (360 px on stage 2).
        EXPECT_EQ(stage == 2 ? 362 : 242, calls) << "stage " << stage;
    }
}

TEST_F(ScriptRules, ShieldBonusOnScrollingFramesByLevel) {
    const int32_t bonus[5] = {30, 40, 50, 60, 70};
    for (int32_t level = 0; level < 5; level++) {
        GameState.level = level;
        GameState.score = 0;
        GameState.shield = 3;
        UpdateStageScript();
        EXPECT_EQ(bonus[level], GameState.score);
        GameState.scrollSpeed = 0;
        UpdateStageScript();
        GameState.scrollSpeed = 512;
        GameState.scrollPause = 1;
        UpdateStageScript();
        GameState.scrollPause = 0;
        GameState.shield = 2;
        UpdateStageScript();
        EXPECT_EQ(bonus[level], GameState.score) << "level " << level;
    }
    EXPECT_EQ(5, GameState.shieldCycle);
}

// Every bullet type against every refusal.
TEST_F(ScriptRules, BulletRefusals) {
    struct Place {
        const char* name;
        int32_t x, y, noFireTime;
        bool refusesUpTo9, refusesUpTo8;
    } places[] = {  // the player at (100, 0) px
        {"open", 0, 0, 0, false, false},
        {"during noFireTime", 0, 0, 1, true, false},
        {"below the 60-px line", 0, 61441, 0, true, false},
        {"at the 60-px line", 0, 61440, 0, false, false},
        {"within 32 px of the player", 69 * 1024, 0, 0, true, false},
        {"32 px from the player", 68 * 1024, 0, 0, false, false},
        {"left screen edge", -240 * 1024, 0, 0, false, false},
        {"past the left edge", -241 * 1024, 0, 0, false, true},
        {"right screen edge", 240 * 1024 + 1023, 0, 0, false, false},
        {"past the right edge", 241 * 1024, 0, 0, false, true},
    };
    PlayerList.self.x = 100 * 1024;
    PlayerList.self.y = 0;
    for (const Place& p : places)
        for (int32_t type = 0; type < 12; type++) {
            BulletList.Clear();
            GameState.noFireTime = p.noFireTime;
            SpawnEnemyBullet(&PlayerList, &BulletList, p.x, p.y, 16, 256, type, 0);
            bool refused = (type < 10 && p.refusesUpTo9) || (type < 9 && p.refusesUpTo8);
            EXPECT_EQ(refused ? 0 : 1, CountOf(BulletList)) << p.name << ", type " << type;
        }
}

TEST_F(ScriptRules, BulletSpeedScalingFlashAndRevenge) {
    GameState.rank = 200;
    GameState.level = 4;
    SpawnEnemyBullet(&PlayerList, &BulletList, 0, 0, 60, -256, 6, 0);
    CharaData* b = BulletList.tail;
    EXPECT_EQ(60 * 90 / 73 * 16 / 11, b->speed);
    EXPECT_EQ(768, b->angle);
    EXPECT_EQ(6, b->item);
    EXPECT_EQ(b->speed * -128, b->vy);
    GameState.remix = 1;
    SpawnEnemyBulletMild(&PlayerList, &BulletList, 0, 0, 60, 0, 1, -2);
    EXPECT_EQ(60 * 90 / 73 * 16 / 11 * 37 / 50, BulletList.tail->speed);
    EXPECT_EQ(0, BulletList.tail->item);
    EXPECT_EQ(0, BulletList.tail->muzzleX);
    SpawnEnemyBullet(&PlayerList, &BulletList, 0, 0, 180, 256, 10, 0);
    EXPECT_EQ(180, BulletList.tail->speed);  // laser segments are not scaled

    BulletList.Clear();
    SpawnRevengeBullet(&PlayerList, &BulletList, 1000, 2000, 60, 1300, 5, 6);
    SpawnRevengeBullet(&PlayerList, &BulletList, 1000, 2000, 30, 1300, 0, 0);
    ASSERT_EQ(2, CountOf(BulletList));
    CharaData* first = BulletList.head;
    CharaData* second = BulletList.tail;
    EXPECT_EQ(3, first->type);
    EXPECT_EQ(276, first->angle);
    EXPECT_EQ(3, first->item);
    for (auto field : {&CharaData::speed, &CharaData::angle, &CharaData::vx, &CharaData::vy, &CharaData::item})
        EXPECT_EQ(first->*field, second->*field);
}

TEST_F(ScriptRules, ExplosionAndSparkDrawsInOrder) {
    SeedRandom(1);
    std::vector<int32_t> draws;
    for (int i = 0; i < 17; i++) draws.push_back(NextRandom());
    SeedRandom(1);
    SpawnExplosion(&EffectList, 0, 0, 16, 12, 3, 2, 8);
    // Exactly 16 draws: the 17th is the next one.
    EXPECT_EQ(draws[16], NextRandom());
    int rings = 0;
    for (CharaData* p = EffectList.head; p && p->type == 2; p = p->next) rings++;
    EXPECT_EQ(8, rings);
    EXPECT_EQ(4 + 3 * 2, EffectList.head->next->delay);
    EXPECT_EQ(256 + 128, EffectList.head->next->angle);
    CharaData* debris = EffectList.head;
    for (int i = 0; i < 8; i++) debris = debris->next;
    for (int i = 0; i < 4; i++, debris = debris->next) {
        EXPECT_EQ(draws[4 * i] % 4, debris->delay);
        EXPECT_EQ(draws[4 * i + 1] % 2 * 2 + 1, debris->type);
        EXPECT_EQ(draws[4 * i + 2] % 1024, debris->angle);
        EXPECT_EQ(draws[4 * i + 3] % 6 + 12, debris->speed);
    }

    EffectList.Clear();
    SeedRandom(1);
    SpawnHitSparks(&EffectList, 5, 6);
    int i = 0;
    for (CharaData* p = EffectList.head; p; p = p->next, i++) {
        EXPECT_EQ(draws[2 * i] % 512, p->angle);
        EXPECT_EQ(draws[2 * i + 1] % 32 + 4, p->speed);
        EXPECT_EQ(3, p->type);
    }
    EXPECT_EQ(4, i);
    EXPECT_EQ(draws[8], NextRandom());
}

TEST_F(ScriptRules, ARingCountOfZeroOrLessMakesNoRing) {
    SpawnExplosion(&EffectList, 0, 0, 0, 12, 0, 0, 0);
    SpawnExplosion(&EffectList, 0, 0, -4, 12, 0, 0, 2);
    EXPECT_EQ(1, CountOf(EffectList));
}

TEST_F(ScriptRules, ShockwavesOnlyOnTheScreen) {
    SpawnShockwave(&ShockwaveList, 0, 0, 1, 256 + 1024, 2, 0);
    SpawnShockwave(&ShockwaveList, 0, -241 * 1024, 1, 256, 2, 0);
    ASSERT_EQ(1, CountOf(ShockwaveList));
    EXPECT_EQ(256, ShockwaveList.head->angle);
    EXPECT_EQ(2, ShockwaveList.head->hitW);
}

}  // namespace StageScript_test
