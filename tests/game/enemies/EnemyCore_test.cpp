// The updaters with real behaviours, and the rules every behaviour shares: turn timing, the
// scroll, the four destruction sequences with their revenge, rewards and the half's end.
#include "EnemyWorld.h"
#include "StandIns.h"

namespace EnemyCore_test {

class EnemyCore : public EnemyWorld {};

// ---- updaters --------------------------------------------------------------------------

TEST_F(EnemyCore, RemovalIsDecidedBeforeTheCullOnTheFinalTurn) {
    CharaData* e = Spawn(1, 0, -100, 256);
    RunFrames(1);
    e->state = 3;
    e->stateTimer = 20;
    e->x = Px(600);
    uint32_t before = RandomState();
    RunFrames(1);
    EXPECT_EQ(0, CountOf(GroundEnemyList));
    EXPECT_EQ(3 * 16, DrawsBetween(before, RandomState()));  // final pair, then the small blast
}

TEST_F(EnemyCore, CulledRecordGoesAfterItsTwentyFirstTurnOutside) {
    CharaData* e = Spawn(1, 600, -100, 256);
    RunFrames(1);
    EXPECT_EQ(5, e->state);
    RunFrames(20);
    ASSERT_EQ(1, CountOf(GroundEnemyList));
    EXPECT_EQ(5, e->state);
    RunFrames(1);
    EXPECT_EQ(0, CountOf(GroundEnemyList));
}

TEST_F(EnemyCore, CullEdgeHoldsOnY) {
    struct { int32_t y, state; } cases[] = {{368640, 2}, {368641, 5}, {-368640, 2}, {-368641, 5}};
    for (auto c : cases) {
        GroundEnemyList.Clear();
        SpawnGroundEnemy(1, &GroundEnemyList, 0, c.y, 256);
        RunFrames(1);  // the set-up turn does not move
        EXPECT_EQ(c.state, GroundEnemyList.head->state) << c.y;
    }
}

TEST_F(EnemyCore, StateFourIsNeverForcedIntoDestruction) {
    for (int32_t type : {40, 23}) {
        for (bool timeOver : {true, false}) {
            ResetGameWorld();
            SetUpField();
            RestoreEnemyBehaviours();
            CharaData* e = Spawn(type, 0, -200, 256);
            RunFrames(1);
            ASSERT_EQ(4, e->state);
            if (timeOver)
                GameState.bossTimer = 0;
            else
                GameState.bossLife = 0;
            RunFrames(3);
            EXPECT_EQ(4, e->state) << "type " << type;
        }
    }
}

TEST_F(EnemyCore, ReplacementSpawnedDuringTheWalkIsSetUpInTheSameFrame) {
    CharaData* e = Spawn(18, -300, -100, 0);
    RunFrames(1);
    e->state = 3;
    e->stateTimer = 20;
    RunFrames(1);
    ASSERT_EQ(1, CountOf(GroundEnemyList));
    const CharaData* next = GroundEnemyList.head;
    EXPECT_EQ(18, next->type);
    EXPECT_EQ(2, next->state);
    EXPECT_EQ(300, next->hp);
    EXPECT_EQ(-430080, next->x);
}

TEST_F(EnemyCore, AirBodyHitTakesOneShieldStepSoundsOnceAndMakesTwoExplosions) {
    struct { int32_t shield, after, soundMode; } cases[] = {{2, 1, 1}, {1, 0, 1}, {2, 1, 0}};
    for (auto c : cases) {
        ResetGameWorld();
        SetUpField();
        PlacePlayer(0, 100);
        GameState.shield = c.shield;
        GameState.soundMode = c.soundMode;
        CharaData* air = AddRecord(&AirEnemyList, 0, 2, 5, 100);
        air->hitW = 6;
        uint32_t before = RandomState();
        RunFrames(1);
        EXPECT_EQ(c.after, GameState.shield);
        EXPECT_EQ(200, GameState.invulnTime);
        EXPECT_EQ(3, air->state);
        EXPECT_EQ(c.soundMode ? std::vector<int>{kSoundBak1} : std::vector<int>{}, PlayedEffects());
        EXPECT_EQ(32, DrawsBetween(before, RandomState()));
        EXPECT_EQ(PlayerList.self.x, EffectList.head->x - 12 * CosTable[384] * 4);
    }
}

TEST_F(EnemyCore, AirBodyMissesAtItsEdgeWhileBlinkingAndOnceDestroyed) {
    PlacePlayer(0, 100);
    GameState.shield = 2;
    struct { int32_t xPx, state, invuln; } cases[] = {{6, 2, 0}, {0, 2, 1}, {0, 3, 0}};
    for (auto c : cases) {
        AirEnemyList.Clear();
        GameState.invulnTime = c.invuln;
        CharaData* air = AddRecord(&AirEnemyList, 0, c.state, c.xPx, 100);
        air->hitW = 6;
        RunFrames(1);
        EXPECT_EQ(2, GameState.shield) << c.xPx << " " << c.state << " " << c.invuln;
    }
}

TEST_F(EnemyCore, TypesOutsideEveryTableGetNoCallAndCountOutTheirLeave) {
    static int calls;
    calls = 0;
    auto count = [](EnemyLists*, CharaData*) { calls++; };
    auto countAir = [](AirEnemyLists*, CharaData*) { calls++; };
    for (auto& b : GroundEnemyBehaviours) b = count;
    for (auto& b : GroundPartBehaviours) b = count;
    for (auto& b : AirEnemyBehaviours) b = countAir;
    for (auto& b : AirPartBehaviours) b = count;
    CharaData* carrier = AddRecord(&GroundEnemyList, 17, 4, 0, 0);
    CharaData* airCarrier = AddRecord(&AirEnemyList, 1, 4, 0, -200);
    for (int32_t type : {0, -1, 45, 10000}) AddRecord(&GroundEnemyList, type, 1, 600, 0);
    for (int32_t type : {0, -1, 11, 10000}) AddRecord(&AirEnemyList, type, 1, 600, 0);
    for (int32_t type : {0, -1, 32, 10000}) SpawnGroundPart(type, &GroundPartList, 0, 0, 0, carrier);
    for (int32_t type : {0, -1, 10, 10000}) SpawnAirPart(type, &AirPartList, 0, 0, 0, airCarrier);
    int callsBefore = 2;  // the two carriers' own turns
    RunFrames(1);
    EXPECT_EQ(callsBefore, calls);
    EXPECT_EQ(5, CountOf(GroundEnemyList));
    for (const CharaData* r = GroundEnemyList.head->next; r; r = r->next) EXPECT_EQ(5, r->state);
    RunFrames(20);
    EXPECT_EQ(5, CountOf(GroundEnemyList));
    EXPECT_EQ(5, CountOf(AirEnemyList));
    RunFrames(1);
    EXPECT_EQ(1, CountOf(GroundEnemyList));
    EXPECT_EQ(1, CountOf(AirEnemyList));
    EXPECT_EQ(4, CountOf(GroundPartList));  // inert parts stay with their carrier
    EXPECT_EQ(4, CountOf(AirPartList));
    EXPECT_EQ(2 + 2 * 21, calls);
}

// A carrier that ends without a turn in state 3 or 5 (no real behaviour does) must not leave
// a part reading freed memory.
TEST_F(EnemyCore, PartOfAFreedCarrierIsDroppedWithoutACall) {
    static int partCalls;
    partCalls = 0;
    GroundEnemyBehaviours[3] = [](EnemyLists*, CharaData* e) { e->state = 0; };
    GroundPartBehaviours[6] = [](EnemyLists*, CharaData*) { partCalls++; };
    CharaData* carrier = AddRecord(&GroundEnemyList, 3, 2, 0, 0);
    SpawnGroundPart(6, &GroundPartList, 0, 0, 0, carrier);
    UpdateGroundEnemies(&GroundEnemyLists);
    ASSERT_EQ(1, CountOf(GroundPartList));
    EXPECT_EQ(nullptr, GroundPartList.head->parent);
    EXPECT_EQ(0, GroundPartList.head->state);
#ifdef NDEBUG
    UpdateGroundParts(&GroundPartLists);
    EXPECT_EQ(0, CountOf(GroundPartList));
    EXPECT_EQ(0, partCalls);
#else
    EXPECT_DEBUG_DEATH(UpdateGroundParts(&GroundPartLists), "outlived its carrier");
#endif
}

TEST_F(EnemyCore, StandInsPutTheRealBehaviourBack) {
    InstallStandIns();
    EXPECT_NE(DefaultGroundEnemyBehaviour(17), GroundEnemyBehaviours[17]);
    RemoveStandIns();
    EXPECT_EQ(DefaultGroundEnemyBehaviour(17), GroundEnemyBehaviours[17]);
    EXPECT_NE(nullptr, GroundEnemyBehaviours[17]);
}

// ---- shared rules ----------------------------------------------------------------------

TEST_F(EnemyCore, SpawnedInFrameNFirstMovesInFrameNPlusOne) {
    CharaData* e = Spawn(1, 0, -100, 256);
    RunFrames(1);
    EXPECT_EQ(2, e->state);
    EXPECT_EQ(Px(-100), e->y);
    RunFrames(1);
    EXPECT_EQ(Px(-100) + 512 + 8 * 128, e->y);
}

TEST_F(EnemyCore, Type42WaitsFromItsSetUpTurnAndAPartStandsOnItsCarrierAtOnce) {
    CharaData* crawler = Spawn(42, 0, -300, 256);
    CharaData* car = Spawn(8, 50, -100, 0);
    RunFrames(1);
    EXPECT_EQ(1, crawler->frameCounter);
    const CharaData* turret = GroundPartList.head;
    ASSERT_NE(nullptr, turret);
    EXPECT_EQ(car->x, turret->x);
    EXPECT_EQ(car->y, turret->y);
    EXPECT_EQ(1, turret->frameCounter);
}

TEST_F(EnemyCore, ScrollPauseStopsTheRideButNotTheDriveNorTheFire) {
    CharaData* e = Spawn(1, 0, -100, 256);
    RunFrames(1);
    GameState.scrollPause = 1;
    RunFrames(2);
    EXPECT_EQ(Px(-100) + 2 * 8 * 128, e->y);
    EXPECT_EQ(1, CountOf(BulletList));  // fired at frame clock 2
}

TEST_F(EnemyCore, DestructionSequences) {
    struct Case {
        int32_t type, calls, revengeHard, revengeInsane, revengeRemix;
    } cases[] = {{1, 8, 0, 1, 7}, {4, 40, 0, 4, 28}, {11, 32, 0, 4, 28}, {13, 8, 0, 0, 0}};
    struct RuleSet {
        int32_t level;
        uint8_t remix;
    } ruleSets[] = {{0, 0}, {2, 0}, {3, 0}, {4, 0}, {3, 1}, {4, 1}};
    for (const Case& c : cases) {
        for (const RuleSet& r : ruleSets) {
            ResetGameWorld();
            SetUpField();
            RestoreEnemyBehaviours();
            PlacePlayer(0, 200);
            GameState.level = r.level;
            GameState.remix = r.remix;
            CharaData* e = Spawn(c.type, 0, -100, 256);
            RunFrames(1);
            GroundPartList.Clear();
            BulletList.Clear();
            e->state = 3;
            e->stateTimer = 0;
            uint32_t start = RandomState();
            std::vector<int> smallTurns;
            for (int turn = 1; turn <= 21; turn++) {
                uint32_t before = RandomState();
                int effectsBefore = CountOf(EffectList);
                RunFrames(1);
                int draws = DrawsBetween(before, RandomState());
                if (draws > 0 && turn < 21) smallTurns.push_back(turn);
                if (turn == 21) {
                    smallTurns.push_back(turn);
                    // The final pair (ring speed 16, or 10 for five blasts) comes before the small blasts.
                    const CharaData* first = EffectList.head;
                    for (int i = 0; i < effectsBefore; i++) first = first->next;
                    EXPECT_EQ(c.type == 4 ? 10 : 16, first->speed);
                }
                EXPECT_EQ(turn < 21 ? 1 : 0, CountOf(GroundEnemyList)) << "turn " << turn;
            }
            EXPECT_EQ((std::vector<int>{1, 5, 9, 13, 17, 21}), smallTurns) << "type " << c.type;
            EXPECT_EQ(c.calls * 16, DrawsBetween(start, RandomState())) << "type " << c.type;
            int32_t revenge = r.level < 3 ? c.revengeHard : r.remix ? c.revengeRemix : c.revengeInsane;
            EXPECT_EQ(revenge, CountOf(BulletList)) << "type " << c.type << " level " << r.level << " remix "
                                                    << int(r.remix);
            for (const CharaData* b = BulletList.head; b; b = b->next) EXPECT_EQ(3, b->type);
        }
    }
}

TEST_F(EnemyCore, RewardsArePaidOnlyWhileTheGroundScrolls) {
    struct { int32_t type, score, itemKind, wreckKind; } cases[] = {{17, 120, 5, 0}, {4, 4500, -1, 1}, {6, 200, -1, -1}};
    for (auto c : cases) {
        for (int32_t scroll : {512, 0}) {
            ResetGameWorld();
            SetUpField();
            RestoreEnemyBehaviours();
            GameState.scrollSpeed = scroll;
            CharaData* e = Spawn(c.type, 0, -100, 256);
            RunFrames(1);
            DestroyGroundEnemy(e);
            EXPECT_EQ(scroll ? c.score : 0, GameState.score) << "type " << c.type;
            EXPECT_EQ(c.itemKind < 0 ? 0 : 1, CountOf(ItemList));
            if (c.itemKind >= 0) {
                EXPECT_EQ(c.itemKind, ItemList.head->animFrame);
            }
            EXPECT_EQ(c.wreckKind < 0 ? 0 : 1, CountOf(WreckList));
            if (c.wreckKind >= 0) {
                EXPECT_EQ(c.wreckKind, WreckList.head->type);
            }
        }
    }
}

TEST_F(EnemyCore, BossHalfEndsNeverGoBelowZero) {
    GameState.bossLife = 10;
    EndBossHalf();
    EXPECT_EQ(5, GameState.bossLife);
    EndBossHalf();
    EXPECT_EQ(0, GameState.bossLife);
    EndBossHalf();
    EXPECT_EQ(0, GameState.bossLife);
}

}  // namespace EnemyCore_test
