// The generator, the angle tables, angles, distances, hit tests, scoring, the loss of a
// life, the rank and the fire-interval scaling.
#include "RulesFixture.h"

namespace MathRules_test {

struct AngleCase {
    int32_t x2, y2, expected;
};

TEST_F(Rules, GetAngleToCases) {
    const AngleCase cases[] = {{0, 10240, 255}, {0, -10240, 769}, {0, 10, 239},    {10, 0, 0},
                               {-10, 0, 512},   {10, 10, 128},    {-10, -10, 640}, {10, -1, 1008}};
    for (const AngleCase& c : cases)
        EXPECT_EQ(c.expected, GetAngleTo(0, 0, c.x2, c.y2)) << "toward (" << c.x2 << ", " << c.y2 << ")";
}

TEST_F(Rules, AngleArithmetic) {
    EXPECT_EQ(34, GetAngleDiff(10, 1000));
    EXPECT_EQ(-34, GetAngleDiff(1000, 10));
    EXPECT_EQ(512, GetAngleDiff(512, 0));
    EXPECT_EQ(3, GetTurnStep(5, 5, 3));
    EXPECT_EQ(-3, GetTurnStep(1000, 10, 3));
    EXPECT_EQ(2, TurnAngleToward(1000, 10, 8));
    EXPECT_EQ(1000, TurnAngleToward(1000, 1003, 8));
    for (int32_t a : {-3000, -1024, -1, 0, 1023, 1024, 5000, INT32_MIN, INT32_MAX}) {
        int32_t n = NormalizeAngle(a);
        EXPECT_TRUE(n >= 0 && n < 1024) << a;
        EXPECT_EQ(0, (int64_t{a} - n) % 1024) << a;
    }
}

TEST_F(Rules, GeneratorSeededWithOneDrawsTheSameSequence) {
    SeedRandom(1);
    EXPECT_EQ(130, NextRandom());
    EXPECT_EQ(10982, NextRandom());
    EXPECT_EQ(1090, NextRandom());
}

TEST_F(Rules, AngleTablesHoldCosineThenSine) {
    EXPECT_EQ(128, CosTable[0]);
    EXPECT_EQ(0, CosTable[256]);
    EXPECT_EQ(-128, CosTable[512]);
    EXPECT_EQ(128, SinTable[256]);
    EXPECT_EQ(SinTable, CosTable + 1024);
    uint64_t hash = 14695981039346656037ull;
    for (int32_t v : AngleTables) hash = (hash ^ static_cast<uint32_t>(v)) * 1099511628211ull;
    EXPECT_EQ(17481877169847098725ull, hash);
}

TEST_F(Rules, DistanceIsExactAndNeverOverflows) {
    EXPECT_EQ(5, GetDistance(0, 0, 3, 4));
    EXPECT_EQ(4, GetDistance(0, 0, 3, 3));  // 4.24 truncated
    // Far apart in 1/1024 px: the squares pass 32 bits.
    EXPECT_EQ(1000 * 1024, GetDistance(0, 0, 600 * 1024, 800 * 1024));
    EXPECT_EQ(50000, GetDistance(0, 0, 40000, 30000));  // 2.5e9: past a 32-bit sum
    EXPECT_EQ(INT32_MAX, GetDistance(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX));
    EXPECT_EQ(46340, IntegerSquareRoot(int64_t{46341} * 46341 - 1));
}

TEST_F(Rules, HitTestsAreStrictAtTheirEdges) {
    GameState.fieldHalfW = 360;
    GameState.fieldHalfH = 240;
    EXPECT_EQ(1, CheckHitCircle(0, 0, 3, 3, 5));   // 18 < 25
    EXPECT_EQ(0, CheckHitCircle(0, 0, 3, 4, 5));   // 25 is not < 25
    EXPECT_EQ(1, CheckHitCircleInField(370, 0, 370, 0, 1, 10));
    EXPECT_EQ(0, CheckHitCircleInField(371, 0, 371, 0, 1, 10));  // target outside the widened field
    EXPECT_EQ(1, CheckHitBoxInField(9, 4, 0, 0, 10, 5, 0, 0));
    EXPECT_EQ(0, CheckHitBoxInField(10, 0, 0, 0, 10, 5, 0, 0));
    EXPECT_EQ(0, CheckHitBoxInField(0, 5, 0, 0, 10, 5, 0, 0));
    EXPECT_EQ(0, CheckHitBoxInField(0, -250, 0, -251, 10, 5, 0, 10));
    EXPECT_EQ(1, CheckHitBoxInField(0, -250, 0, -250, 10, 5, 0, 10));
}

TEST_F(Rules, LocalPointSidesAndUnnormalisedAngles) {
    // Heading down (256): forward is +y; a positive side lies toward angle 0 (+x).
    EXPECT_EQ(10 * 128 * 8, GetLocalPointX(0, 10, 0, 256));
    EXPECT_EQ(20 * 128 * 8, GetLocalPointY(0, 0, 20, 256));
    EXPECT_EQ(-10 * 128 * 8, GetLocalPointX(0, -10, 0, 256));
    for (int32_t side : {-19, 0, 19})
        for (int32_t forward : {0, 4, 30}) {
            EXPECT_EQ(GetLocalPointX(500, side, forward, 300), GetLocalPointX(500, side, forward, 300 + 2048));
            EXPECT_EQ(GetLocalPointY(500, side, forward, 300), GetLocalPointY(500, side, forward, 300 - 3072));
        }
}

TEST_F(Rules, AddScoreGivesOneLifePerCallAndCarriesTheRest) {
    PlayerList.self.hp = 2;
    GameState.extendScore = 2499000;
    AddScore(1000, &PlayerList);
    EXPECT_EQ(3, PlayerList.self.hp);
    EXPECT_EQ(0, GameState.extendScore);
    EXPECT_EQ((std::vector<int>{kSoundExt}), PlayedEffects());
    AddScore(6000000, &PlayerList);
    EXPECT_EQ(4, PlayerList.self.hp);
    EXPECT_EQ(3500000, GameState.extendScore);
}

TEST_F(Rules, KillPlayerRankLossAndPowerHalving) {
    struct { int32_t lives, rankBefore, rankAfter; } rankCases[] = {{3, 100, 52}, {11, 100, 100}, {12, 100, 100},
                                                                    {3, 10, 0},   {1, 200, 140}};
    for (auto c : rankCases) {
        PlayerList.self.hp = c.lives;
        GameState.rank = c.rankBefore;
        KillPlayer(&PlayerList);
        EXPECT_EQ(c.rankAfter, GameState.rank) << c.lives << " lives";
        EXPECT_EQ(c.lives - 1, PlayerList.self.hp);
    }
    const int32_t halved[7] = {0, 1, 2, 2, 3, 3, 4};
    for (int32_t power = 1; power <= 6; power++) {
        GameState.shotPower = GameState.napalmPower = power;
        GameState.shield = 2;
        GameState.bonusCount = 4;
        KillPlayer(&PlayerList);
        EXPECT_EQ(halved[power], GameState.shotPower);
        EXPECT_EQ(halved[power], GameState.napalmPower);
        EXPECT_EQ(0, GameState.shield);
        EXPECT_EQ(0, GameState.bonusCount);
        EXPECT_EQ(1, GameState.dyingTime);
        EXPECT_EQ(200, GameState.invulnTime);
    }
}

TEST_F(Rules, RankGrowsByPowerAndShieldPeriodUpToTheCap) {
    struct { int32_t shot, napalm, shield, period; } cases[] = {{1, 1, 0, 300}, {6, 6, 3, 144}};
    for (auto c : cases) {
        GameState.shotPower = c.shot;
        GameState.napalmPower = c.napalm;
        GameState.shield = c.shield;
        GameState.rank = 0;
        for (GameState.stageFrame = 1; GameState.stageFrame <= c.period * 3; GameState.stageFrame++) UpdateRank();
        EXPECT_EQ(3, GameState.rank) << "period " << c.period;
    }
    GameState.rank = 200;
    GameState.stageFrame = 0;
    UpdateRank();
    EXPECT_EQ(200, GameState.rank);
}

TEST_F(Rules, FireIntervalScaling) {
    struct { int32_t base, rank, level, stage; uint8_t remix; int32_t expected; } cases[] = {
        {1, 0, 1, 1, 0, 3},    {60, 0, 1, 1, 0, 92},   {160, 0, 1, 3, 0, 202},
        {80, 200, 4, 4, 1, 21},
    };
    for (auto c : cases) {
        GameState.rank = c.rank;
        GameState.level = c.level;
        GameState.stage = c.stage;
        GameState.remix = c.remix;
        EXPECT_EQ(c.expected, ScaleFireIntervalStrong(c.base)) << "base " << c.base;
    }
    // The rule sets' steps: REMIX halves, takes three quarters, nine tenths.
    GameState = GameStateRecord{};
    GameState.stage = 4;
    GameState.remix = 1;
    EXPECT_EQ(56, ScaleFireIntervalStrong(100));
    EXPECT_EQ(84, ScaleFireIntervalMedium(100));
    EXPECT_EQ(100, ScaleFireIntervalMild(100));
}

}  // namespace MathRules_test
