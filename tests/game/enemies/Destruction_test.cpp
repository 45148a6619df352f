// Every air and boss destruction: the number of blasts (each SpawnExplosion with debris makes
// 16 draws), the revenge bullets at levels 0-2, 3-4 and REMIX 3-4, the shockwave and "bak3",
// and the half's end; then the boss parts' breaks.
#include "EnemyWorld.h"

namespace Destruction_test {

namespace {

struct DestroyCase {
    const char* name;
    bool air;
    int32_t type;
    int calls;                  // SpawnExplosion calls over the whole destruction
    int revenge[3];             // NORMAL, INSANE, REMIX INSANE
    int shockwaveFrame;         // destroyed frame of the shockwave and "bak3"; 0: none
    bool half;
};

const DestroyCase kDestroyCases[] = {
    {"air 1", true, 1, 4, {0, 1, 1}, 0, false},
    {"air 2", true, 2, 4, {0, 1, 1}, 0, false},
    {"air 4", true, 4, 4, {0, 1, 1}, 0, false},
    {"air 7", true, 7, 4, {0, 1, 1}, 0, false},
    {"air 10", true, 10, 4, {0, 1, 1}, 0, false},
    {"air 3", true, 3, 10, {0, 4, 4}, 0, false},
    {"air 5", true, 5, 10, {0, 4, 4}, 0, false},
    {"air 6", true, 6, 10, {0, 4, 4}, 0, false},
    {"air 8", true, 8, 22, {0, 10, 10}, 0, false},
    {"air 9", true, 9, 22, {0, 10, 10}, 0, false},
    {"stage 1", false, 20, 160, {0, 4, 28}, 2, false},
    {"stage 2", false, 32, 280, {0, 7, 49}, 3, false},
    {"stage 6", false, 16, 280, {0, 7, 49}, 3, false},
    {"stage 3 half", false, 22, 80, {0, 2, 14}, 3, true},
    {"stage 5 half", false, 37, 80, {0, 2, 14}, 3, true},
    {"stage 4 half", false, 28, 160, {0, 4, 28}, 3, true},
    {"stage 7 half", false, 41, 280, {0, 7, 49}, 3, true},
};

// Levels 0-2, 3-4, and 3-4 in REMIX; the first and last level of each.
struct RuleSet {
    int32_t levels[2];
    uint8_t remix;
};
constexpr RuleSet kRuleSets[3] = {{{0, 2}, 0}, {{3, 4}, 0}, {{3, 4}, 1}};

}  // namespace

class Destruction : public EnemyWorld {
protected:
    // The enemy set up, its parts gone (they would fire in its first destroyed frame).
    CharaData* Destroyed(const DestroyCase& c) {
        CharaData* e;
        if (c.air) {
            SpawnAirEnemy(c.type, &AirEnemyList, 0, Px(-100), 256);
            e = AirEnemyList.tail;
        } else {
            e = Spawn(c.type, 0, -100, 256);
        }
        RunFrames(1);
        GroundPartList.Clear();
        AirPartList.Clear();
        BulletList.Clear();
        e->state = 3;
        e->stateTimer = 0;
        return e;
    }
};

TEST_F(Destruction, BlastsRevengeAndShockwaveOfEveryAirEnemyAndBoss) {
    for (const DestroyCase& c : kDestroyCases) {
        for (int set = 0; set < 3; set++) {
            for (int32_t level : kRuleSets[set].levels) {
                ResetGameWorld();
                SetUpField();
                RestoreEnemyBehaviours();
                PlacePlayer(0, 200);
                GameState.level = level;
                GameState.remix = kRuleSets[set].remix;
                CharaData* e = Destroyed(c);
                fakeapi::Reset();
                uint32_t before = RandomState();
                int frames = 0, shockwaveFrame = 0;
                const cChara& own = c.air ? AirEnemyList : GroundEnemyList;
                while (CountOf(own) == 1 && own.head->state == 3 && frames < 40) {
                    RunFrames(1);
                    frames++;
                    if (shockwaveFrame == 0 && ShockwaveList.head) shockwaveFrame = frames;
                }
                SCOPED_TRACE(std::string(c.name) + " level " + std::to_string(level) + " remix " +
                             std::to_string(kRuleSets[set].remix));
                EXPECT_EQ(c.air ? 2 : 21, frames);
                EXPECT_EQ(c.calls * 16, DrawsBetween(before, RandomState()));
                int revenge = 0;
                for (const ShownBullet& b : Bullets()) revenge += b.type == 3 && b.speed == ScaledSpeed(35);
                EXPECT_EQ(c.revenge[set], revenge);
                EXPECT_EQ(c.revenge[set], CountOf(BulletList));
                EXPECT_EQ(c.shockwaveFrame, shockwaveFrame);
                EXPECT_EQ(c.shockwaveFrame ? 1 : 0, CountOf(ShockwaveList));
                EXPECT_EQ(c.shockwaveFrame ? std::vector<int>{kSoundBak3} : std::vector<int>{}, PlayedEffects());
                if (c.air) {
                    EXPECT_EQ(0, CountOf(AirEnemyList));
                } else {
                    EXPECT_EQ(4, e->state);
                    EXPECT_EQ(1, e->animFrame);
                    EXPECT_EQ(c.half ? 5 : 0, GameState.bossLife);  // a one-piece hull is held at 0
                }
            }
        }
    }
}

TEST_F(Destruction, WithSoundOffNothingPlays) {
    for (const DestroyCase& c : kDestroyCases) {
        ResetGameWorld();
        SetUpField();
        RestoreEnemyBehaviours();
        GameState.soundMode = 0;
        Destroyed(c);
        fakeapi::Reset();
        RunFrames(22);
        EXPECT_TRUE(PlayedEffects().empty()) << c.name;
    }
}

// The first destroyed turn makes one small blast; the second a small blast, the final blasts
// and then the revenge bullets from each blast point in order.
TEST_F(Destruction, AirEnemyBlastsThenFiresFromEachPoint) {
    GameState.level = 3;
    CharaData* e = Destroyed(kDestroyCases[5]);  // the heavy gunship
    int32_t x = e->x, y = e->y;
    uint32_t before = RandomState();
    RunFrames(1);
    EXPECT_EQ(16, DrawsBetween(before, RandomState()));
    EXPECT_EQ(0, CountOf(BulletList));
    RunFrames(1);
    std::vector<std::pair<int32_t, int32_t>> from, expected;
    for (const CharaData* b = BulletList.head; b; b = b->next) from.push_back({b->x, b->y});
    for (auto [dx, dy] : {std::pair{-32, -32}, {32, -32}, {-32, 32}, {32, 32}})
        expected.push_back({x + Px(dx), y + Px(dy)});
    EXPECT_EQ(expected, from);
}

TEST_F(Destruction, CulledAirEnemyNeitherBlastsNorFires) {
    GameState.level = 4;
    SpawnAirEnemy(1, &AirEnemyList, Px(600), Px(-100), 256);
    uint32_t before = RandomState();
    RunFrames(22);
    EXPECT_EQ(0, CountOf(AirEnemyList));
    EXPECT_EQ(0, DrawsBetween(before, RandomState()));
    EXPECT_EQ(0, CountOf(BulletList));
}

// TIME OVER forces a boss through the same destruction, with no "bak2" and no score.
TEST_F(Destruction, TimeOverRunsTheSameDestructionWithoutReward) {
    for (int32_t type : {20, 22}) {
        ResetGameWorld();
        SetUpField();
        RestoreEnemyBehaviours();
        Spawn(type, 0, -100, 256);
        if (type == 22) Spawn(type, 120, -100, 256);
        RunFrames(1);
        int64_t score = GameState.score;
        GameState.bossTimer = 0;
        fakeapi::Reset();
        RunFrames(22);  // forced at the end of the first, then 21 destroyed turns
        EXPECT_EQ(std::vector<int>(type == 22 ? 2 : 1, kSoundBak3), PlayedEffects()) << type;
        EXPECT_EQ(score, GameState.score) << type;
        EXPECT_EQ(0, GameState.bossLife) << type;
        for (const CharaData* r = GroundEnemyList.head; r; r = r->next) EXPECT_EQ(4, r->state);
        GameState.bossLife = 3;
        RunFrames(1);
        EXPECT_EQ(type == 20 ? 0 : 3, GameState.bossLife) << "the one-piece hull holds bossLife at 0";
    }
}

// A third half from a slip in the data cannot push bossLife below 0.
TEST_F(Destruction, HalvesNeverTakeBossLifeBelowZero) {
    for (int i = 0; i < 3; i++) Spawn(28, -120 + 120 * i, -100, 256);
    RunFrames(1);
    GameState.bossTimer = 0;
    RunFrames(22);
    EXPECT_EQ(0, GameState.bossLife);
}

TEST_F(Destruction, StageSevenHalvesMarkTheirSides) {
    CharaData* left = Spawn(41, -120, -100, 256);
    CharaData* right = Spawn(41, 120, -100, 256);
    RunFrames(1);
    left->state = 3;
    RunFrames(21);
    EXPECT_EQ(1, GameState.leftHalfDestroyed);
    EXPECT_EQ(0, GameState.rightHalfDestroyed);
    EXPECT_EQ(5, GameState.bossLife);
    right->state = 3;
    right->stateTimer = 0;
    RunFrames(21);
    EXPECT_EQ(1, GameState.rightHalfDestroyed);
    EXPECT_EQ(0, GameState.bossLife);
}

// Each part that gives way: one small blast, one "bak2", and on INSANE one revenge bullet.
TEST_F(Destruction, BossPartsBreakWithOneBlastAndOneSound) {
    struct Break {
        int32_t boss, threshold;
        int parts;
    } breaks[] = {{20, 6666, 1}, {32, 14000, 1}, {22, 7000, 1}, {28, 8000, 2},
                  {37, 8000, 2}, {16, 10000, 1}, {41, 17500, 1}};
    for (const Break& b : breaks) {
        for (int32_t level : {2, 3}) {
            ResetGameWorld();
            SetUpField();
            RestoreEnemyBehaviours();
            GameState.level = level;
            CharaData* boss = Spawn(b.boss, 0, -100, 256);
            RunFrames(1);
            BulletList.Clear();
            boss->hp = b.threshold - 1;
            fakeapi::Reset();
            uint32_t before = RandomState();
            UpdateGroundEnemies(&GroundEnemyLists);
            uint32_t afterHull = RandomState();
            UpdateGroundParts(&GroundPartLists);
            SCOPED_TRACE("boss " + std::to_string(b.boss) + " level " + std::to_string(level));
            EXPECT_EQ(0, DrawsBetween(before, afterHull));
            EXPECT_EQ(16 * b.parts, DrawsBetween(afterHull, RandomState()));
            EXPECT_EQ(std::vector<int>(b.parts, kSoundBak2), PlayedEffects());
            int revenge = 0;
            for (const ShownBullet& s : Bullets()) revenge += s.type == 3 && s.speed == ScaledSpeed(35);
            EXPECT_EQ(level >= 3 ? b.parts : 0, revenge);
            // Once broken, the part never breaks again.
            fakeapi::Reset();
            RunFrames(1);
            EXPECT_TRUE(PlayedEffects().empty());
        }
    }
}

}  // namespace Destruction_test
