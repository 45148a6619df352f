// The enemy lists' own rules: the cull edge, bosses never culled, forced destruction at
// the boss's end and at time over, the one-piece bosses holding bossLife at 0, parts dying
// with their parent, the air enemies' body hit, and types without a behaviour.
#include "RulesFixture.h"

namespace EnemyUpdaters_test {

class EnemyRules : public Rules {
protected:
    void SetUp() override {
        Rules::SetUp();
        SetUpField();
    }
};

TEST_F(EnemyRules, CullStartsStrictlyBeyondTheWidenedField) {
    struct { int32_t x, y, state; } cases[] = {
        {480 * 1024, 0, 1},     {480 * 1024 + 1, 0, 5}, {-480 * 1024, 0, 1}, {-480 * 1024 - 1, 0, 5},
        {0, 360 * 1024, 1},     {0, 360 * 1024 + 1, 5}, {0, -360 * 1024 - 1, 5},
    };
    for (auto c : cases) {
        GroundEnemyList.Clear();
        AirEnemyList.Clear();
        CharaData* ground = AddRecord(&GroundEnemyList, 3, 1, 0, 0);
        CharaData* air = AddRecord(&AirEnemyList, 3, 1, 0, 0);
        ground->x = air->x = c.x;
        ground->y = air->y = c.y;
        ground->stateTimer = air->stateTimer = 9;
        UpdateGroundEnemies(&GroundEnemyLists);
        UpdateAirEnemies(&AirEnemyListsRecord);
        EXPECT_EQ(c.state, ground->state) << c.x << ", " << c.y;
        EXPECT_EQ(c.state, air->state) << c.x << ", " << c.y;
        EXPECT_EQ(c.state == 5 ? 0 : 9, ground->stateTimer);
    }
}

TEST_F(EnemyRules, BossesAreNeverCulled) {
    for (int32_t type : {16, 20, 22, 28, 32, 37, 41}) {
        CharaData* boss = AddRecord(&GroundEnemyList, type, 2, 2000, -2000);
        UpdateGroundEnemies(&GroundEnemyLists);
        EXPECT_EQ(2, boss->state) << "type " << type;
    }
}

TEST_F(EnemyRules, CulledRecordStaysInStateFiveWithItsTimerRunning) {
    GroundEnemyBehaviours[3] = [](EnemyLists*, CharaData* e) { e->stateTimer += 1; };
    CharaData* e = AddRecord(&GroundEnemyList, 3, 2, 600, 0);
    UpdateGroundEnemies(&GroundEnemyLists);
    EXPECT_EQ(5, e->state);
    EXPECT_EQ(0, e->stateTimer);
    UpdateGroundEnemies(&GroundEnemyLists);
    EXPECT_EQ(1, e->stateTimer);
}

TEST_F(EnemyRules, TimeOverDestroysGroundEnemiesButNotAirEnemies) {
    GameState.bossTimer = 0;
    CharaData* spawned = AddRecord(&GroundEnemyList, 3, 1, 0, 0);
    CharaData* active = AddRecord(&GroundEnemyList, 20, 2, 0, 0);
    CharaData* dead = AddRecord(&GroundEnemyList, 22, 4, 0, 0);
    CharaData* air = AddRecord(&AirEnemyList, 3, 2, 0, -100);
    UpdateGroundEnemies(&GroundEnemyLists);
    UpdateAirEnemies(&AirEnemyListsRecord);
    EXPECT_EQ(3, spawned->state);
    EXPECT_EQ(3, active->state);
    EXPECT_EQ(4, dead->state);
    EXPECT_EQ(2, air->state);
    GameState.bossTimer = 100;
    GameState.bossLife = 0;
    UpdateAirEnemies(&AirEnemyListsRecord);
    EXPECT_EQ(3, air->state);
}

TEST_F(EnemyRules, OnePieceBossesInStateFourHoldBossLifeAtZero) {
    for (int32_t type : {16, 20, 32, 22, 28, 37, 41}) {
        GroundEnemyList.Clear();
        GameState.bossLife = 10;
        AddRecord(&GroundEnemyList, type, 4, 0, 0);
        UpdateGroundEnemies(&GroundEnemyLists);
        bool holds = type == 16 || type == 20 || type == 32;
        EXPECT_EQ(holds ? 0 : 10, GameState.bossLife) << "type " << type;
    }
}

TEST_F(EnemyRules, PartActsOnceInItsParentsDestructionAndIsRemoved) {
    static int partTurns;
    partTurns = 0;
    GroundPartBehaviours[2] = [](EnemyLists*, CharaData*) { partTurns++; };
    CharaData* parent = AddRecord(&GroundEnemyList, 3, 2, 0, 0);
    SpawnGroundPart(2, &GroundPartList, 10, 0, 0, parent);
    SpawnGroundPart(0, &GroundPartList, 10, 0, 0, parent);  // inert part type 0
    UpdateGroundParts(&GroundPartLists);
    EXPECT_EQ(1, partTurns);
    EXPECT_EQ(2, CountOf(GroundPartList));
    parent->state = 3;
    UpdateGroundParts(&GroundPartLists);
    EXPECT_EQ(2, partTurns);
    EXPECT_EQ(0, CountOf(GroundPartList));

    parent->state = 4;  // a dead boss keeps its parts
    SpawnAirPart(5, &GroundPartList, 0, 0, 0, parent);
    UpdateGroundParts(&GroundPartLists);
    EXPECT_EQ(1, CountOf(GroundPartList));
}

TEST_F(EnemyRules, AirBodyHitTakesTheShieldOrALife) {
    struct { int32_t shield, shieldAfter, livesAfter; } cases[] = {{3, 1, 3}, {2, 1, 3}, {1, 0, 3}, {0, 0, 2}};
    for (auto c : cases) {
        ResetGameWorld();
        SetUpField();
        GameState.soundMode = 1;
        GameState.shield = c.shield;
        CharaData* air = AddRecord(&AirEnemyList, 3, 2, 5, 120);
        air->hitW = 6;
        UpdateAirEnemies(&AirEnemyListsRecord);
        EXPECT_EQ(3, air->state);
        EXPECT_EQ(c.shieldAfter, GameState.shield) << "shield " << c.shield;
        EXPECT_EQ(c.livesAfter, PlayerList.self.hp);
        EXPECT_EQ(200, GameState.invulnTime);
        EXPECT_EQ(c.shield == 0 ? 1 : 0, GameState.dyingTime);
        EXPECT_EQ((std::vector<int>{kSoundBak1}), PlayedEffects());
        EXPECT_EQ(8 + 4 + 4 + 4, CountOf(EffectList));  // two explosions: 8 + 4 rings, 4 + 4 debris
        EXPECT_EQ(3, AirEnemyList.head->state);
    }
}

TEST_F(EnemyRules, AirBodyPassesThroughABlinkingOrDyingPlayerAndNeedsToBeWithinHitW) {
    CharaData* air = AddRecord(&AirEnemyList, 3, 2, 0, 120);
    air->hitW = 6;
    GameState.invulnTime = 5;
    UpdateAirEnemies(&AirEnemyListsRecord);
    GameState.invulnTime = 0;
    GameState.dyingTime = 3;
    UpdateAirEnemies(&AirEnemyListsRecord);
    GameState.dyingTime = 0;
    air->x = 6 * 1024;  // exactly hitW away: no hit
    UpdateAirEnemies(&AirEnemyListsRecord);
    EXPECT_EQ(2, air->state);
    EXPECT_EQ(3, PlayerList.self.hp);
}

TEST_F(EnemyRules, TypesOutsideTheTablesGetNoCallAndOnlyTheRules) {
    static int calls;
    calls = 0;
    auto count = [](EnemyLists*, CharaData*) { calls++; };
    for (auto& b : GroundEnemyBehaviours) b = count;
    for (int32_t type : {-1, 0, 45, 99, 1000}) AddRecord(&GroundEnemyList, type, 1, 0, 0);
    UpdateGroundEnemies(&GroundEnemyLists);
    EXPECT_EQ(0, calls);
    for (CharaData* r = GroundEnemyList.head; r; r = r->next) EXPECT_EQ(1, r->state);
    GameState.bossLife = 0;
    UpdateGroundEnemies(&GroundEnemyLists);
    for (CharaData* r = GroundEnemyList.head; r; r = r->next) EXPECT_EQ(3, r->state);
}

TEST_F(EnemyRules, RemovalIsDecidedBeforeTheCull) {
    GroundEnemyBehaviours[3] = [](EnemyLists*, CharaData* e) {
        e->x = 900 * 1024;
        e->state = 0;
    };
    AddRecord(&GroundEnemyList, 3, 2, 0, 0);
    UpdateGroundEnemies(&GroundEnemyLists);
    EXPECT_EQ(0, CountOf(GroundEnemyList));
}

}  // namespace EnemyUpdaters_test
