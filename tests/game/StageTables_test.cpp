// StageTables_test.cpp: the stage data keeps every rule the stage script, the terrain scroll
// and the background drawing rely on: rows that end inside the cursors' bounds, times that
// come due in order while the ground scrolls, codes that place only the types each stage
// has, gated rows only while a large enemy holds their gate, the boss rows last, and
// background tiles that the stage's background set loads.
#include "StageTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace StageTables_test {

namespace {

struct StageRules {
    int enemyRows;
    int terrainRows;
    int endBand;  // where the end marker stands
    int group;    // background set: 1 for stages 1-3, 2 for 4-6, 3 for 7
};
constexpr StageRules kStages[kStageCount] = {
    {159, 19, 21, 1}, {164, 19, 21, 1}, {170, 21, 21, 1}, {109, 26, 21, 2},
    {137, 90, 21, 2}, {163, 43, 21, 2}, {205, 5, 31, 3},
};

// The scroll stops once the end marker reaches band row 4, the top row of the screen; no
// row can come due after that.
int StopScrolled(int stage) { return (kStages[stage].endBand - 4) * 120; }
int LastEnemyTime(int stage) { return (StopScrolled(stage) + 480) / 12; }
int LastTerrainTime(int stage) { return (StopScrolled(stage) + 480) / 120; }

// Rows start inside the cull bounds, 120 px beyond the 720 x 480 field.
bool InsideCullBounds(int32_t x, int32_t y) {
    return x >= -480 && x <= 480 && y >= -360 && y <= 360;
}

int EnemyRowCount(int stage) {
    int n = 0;
    while (n < kEnemyRowsPerStage && StageEnemyTable[stage][n][0] != 0) ++n;
    return n;
}

int TerrainRowCount(int stage) {
    int n = 0;
    while (n < kTerrainRowsPerStage && StageTerrainTable[stage][n][0] >= 1) ++n;
    return n;
}

// The closing rows of each stage: {code, x, y, angle, earliest time, latest time}.
struct BossRow {
    int32_t code, x, y, angle, minTime, maxTime;
};
struct BossRows {
    int count;
    BossRow rows[4];
};
const BossRows kBossRows[kStageCount] = {
    {1, {{20, 0, -360, 256, 190, 190}}},
    {1, {{32, 0, -360, 256, 190, 190}}},
    {2, {{22, -120, -360, 256, 190, 190}, {22, 120, -360, 256, 195, 195}}},
    {2, {{28, -120, -360, 256, 190, 190}, {28, 120, -360, 256, 195, 195}}},
    {2, {{37, -120, -360, 256, 190, 190}, {37, 120, -360, 256, 195, 195}}},
    {1, {{16, 0, -360, 256, 190, 190}}},
    {4,
     {{41, -120, -384, 256, 290, 290},
      {41, 120, -384, 256, 290, 290},
      {42, -300, -300, 256, 290, 310},
      {42, 300, -300, 256, 290, 310}}},
};

// Stages whose tables place each type, one bit per stage (bit 0 is stage 1). The bosses
// come only from their own closing rows; 11, 38 and 39 come from no row.
template <class... Stage>
constexpr uint8_t On(Stage... stage) {
    return static_cast<uint8_t>(((1u << (stage - 1)) | ... | 0u));
}
constexpr uint8_t kEvery = On(1, 2, 3, 4, 5, 6, 7);
constexpr uint8_t kBoss = 0;
constexpr uint8_t kGroundStages[45] = {
    0,         On(1, 3), On(3),    On(1, 2, 3, 4, 5), On(1, 5, 7),     // 0-4
    On(3, 5),  On(3, 4), On(1, 6), On(1, 2, 3, 4, 6), On(4),           // 5-9
    On(3, 4),  0,        On(4, 5), On(1),             On(6),           // 10-14
    On(6),     kBoss,    kEvery,   On(1),             On(1),           // 15-19
    kBoss,     On(3),    kBoss,    On(3),             On(3, 4, 5, 6),  // 20-24
    On(4),     On(4, 7), On(4, 6), kBoss,             On(1, 2),        // 25-29
    On(2, 7),  On(5, 7), kBoss,    On(5),             On(2, 5),        // 30-34
    On(5, 7),  On(7),    kBoss,    0,                 0,               // 35-39
    On(7),     kBoss,    On(7),    On(7),             On(2, 5),        // 40-44
};
constexpr uint8_t kAirStages[11] = {
    0, kEvery, On(4, 5, 6, 7), kEvery, On(1, 2, 3), On(2), On(2), On(2, 3), On(5, 7), On(5),
    On(5, 6, 7),
};

struct Spawn {
    bool air;
    int type;
    int gate;  // the thousand whose gate passes the row over, or 0
};

// A code as the stage script reads it; false for a code that spawns nothing.
bool Decode(int32_t code, Spawn* spawn) {
    if (code <= 0) return false;
    spawn->gate = code >= 1000 ? code / 1000 : 0;
    if (spawn->gate == 4 || spawn->gate >= 6) return false;
    code %= 1000;
    spawn->air = code >= 100;
    spawn->type = spawn->air ? code - 100 : code;
    return spawn->type >= 1 && spawn->type <= (spawn->air ? 10 : 44);
}

// The gate a row's enemy holds while it lives, and for how many time units at most (its
// whole life undisturbed, plus the count-down); 0 when it holds none.
struct Hold {
    int gate;
    int units;
};
Hold HeldGate(int stage, const Spawn& s, int32_t xPx) {
    const bool left = xPx * 1024 < 10;  // the carriers compare in 1/1024 px
    const bool onStage5 = stage + 1 == 5;
    if (!s.air) {
        switch (s.type) {
        case 4: return {onStage5 ? 5 : left ? 2 : 3, 100};
        case 7:
        case 12: return {onStage5 ? 5 : left ? 1 : 2, 100};
        case 21: return {1, 100};
        default: return {0, 0};
        }
    }
    switch (s.type) {
    case 5: return {1, 40};
    case 6: return {xPx < 0 ? 2 : 3, 40};
    case 8:
    case 9: return {xPx < -120 ? 2 : xPx > 120 ? 3 : 1, 60};
    default: return {0, 0};
    }
}

TEST(StageTables, RowsEndWithinTheCursorBounds) {
    for (int stage = 0; stage < kStageCount; ++stage) {
        SCOPED_TRACE(testing::Message() << "stage " << stage + 1);
        // A terminator inside the table: the cursors stop at its end.
        EXPECT_EQ(EnemyRowCount(stage), kStages[stage].enemyRows);
        EXPECT_LT(EnemyRowCount(stage), kEnemyRowsPerStage);
        EXPECT_EQ(TerrainRowCount(stage), kStages[stage].terrainRows);
        EXPECT_LT(TerrainRowCount(stage), kTerrainRowsPerStage);
        int end = 0;
        while (end < kBgBandsPerStage && StageBgTable[stage][end] != kBgEndMarker) ++end;
        EXPECT_EQ(end, kStages[stage].endBand);
        // The drawing reads up to band row 4 past the scroll, the marker's band at most.
        EXPECT_LT(end, kBgBandsPerStage);
    }
}

TEST(StageTables, EnemyRowsComeDueInOrderWhileTheGroundScrollsThenTheBoss) {
    for (int stage = 0; stage < kStageCount; ++stage) {
        SCOPED_TRACE(testing::Message() << "stage " << stage + 1);
        const int rows = EnemyRowCount(stage);
        int previous = 40;  // the stage start
        for (int r = 0; r < rows; ++r) {
            const int32_t time = StageEnemyTable[stage][r][4];
            EXPECT_GE(time, previous) << "row " << r;
            previous = time;
        }
        EXPECT_LE(previous, LastEnemyTime(stage));
        const BossRows& boss = kBossRows[stage];
        ASSERT_GE(rows, boss.count);
        for (int b = 0; b < boss.count; ++b) {
            const int32_t* row = StageEnemyTable[stage][rows - boss.count + b];
            const BossRow& want = boss.rows[b];
            SCOPED_TRACE(testing::Message() << "boss row " << b);
            EXPECT_EQ(row[0], want.code);
            EXPECT_EQ(row[1], want.x);
            EXPECT_EQ(row[2], want.y);
            EXPECT_EQ(row[3], want.angle);
            EXPECT_GE(row[4], want.minTime);
            EXPECT_LE(row[4], want.maxTime);
        }
    }
    EXPECT_EQ(LastEnemyTime(0), 210);
    EXPECT_EQ(LastEnemyTime(6), 310);
}

TEST(StageTables, CodesPlaceOnlyTheStagesOwnTypesInsideTheCullBounds) {
    for (int stage = 0; stage < kStageCount; ++stage) {
        SCOPED_TRACE(testing::Message() << "stage " << stage + 1);
        const int regular = EnemyRowCount(stage) - kBossRows[stage].count;
        for (int r = 0; r < regular; ++r) {
            const int32_t* row = StageEnemyTable[stage][r];
            SCOPED_TRACE(testing::Message() << "row " << r << " code " << row[0]);
            Spawn s{};
            ASSERT_TRUE(Decode(row[0], &s));
            const uint8_t stages = s.air ? kAirStages[s.type] : kGroundStages[s.type];
            EXPECT_TRUE(stages & On(stage + 1));
            EXPECT_TRUE(InsideCullBounds(row[1], row[2]));
            EXPECT_GE(row[3], 0);
            EXPECT_LT(row[3], 1024);
        }
    }
}

TEST(StageTables, GatedRowsFollowAnEnemyHoldingTheirGate) {
    for (int stage = 0; stage < kStageCount; ++stage) {
        SCOPED_TRACE(testing::Message() << "stage " << stage + 1);
        const int rows = EnemyRowCount(stage);
        for (int r = 0; r < rows; ++r) {
            const int32_t* row = StageEnemyTable[stage][r];
            Spawn s{};
            ASSERT_TRUE(Decode(row[0], &s)) << "row " << r;
            if (s.gate == 0) continue;
            // A holder placed earlier in the stage that is still there, undisturbed.
            bool held = false;
            for (int h = 0; h < r && !held; ++h) {
                const int32_t* holder = StageEnemyTable[stage][h];
                Spawn hs{};
                if (!Decode(holder[0], &hs)) continue;
                const Hold hold = HeldGate(stage, hs, holder[1]);
                const int32_t since = row[4] - holder[4];
                held = hold.gate == s.gate && since > 0 && since <= hold.units;
            }
            EXPECT_TRUE(held) << "row " << r << " code " << row[0] << " time " << row[4];
        }
    }
}

TEST(StageTables, TerrainRowsComeDueInOrderWithTheirSetsKinds) {
    for (int stage = 0; stage < kStageCount; ++stage) {
        SCOPED_TRACE(testing::Message() << "stage " << stage + 1);
        const int group = kStages[stage].group;
        int previous = 4;  // the stage start
        for (int r = 0; r < TerrainRowCount(stage); ++r) {
            const int32_t* row = StageTerrainTable[stage][r];
            SCOPED_TRACE(testing::Message() << "row " << r << " kind " << row[0]);
            const int kind = row[0];
            const bool loaded = group == 1   ? kind <= 12 || (kind >= 52 && kind <= 54)
                                : group == 2 ? kind >= 13 && kind <= 51
                                             : kind <= 2;
            EXPECT_TRUE(loaded);
            EXPECT_GE(row[3], previous);
            previous = row[3];
            EXPECT_TRUE(InsideCullBounds(row[1], row[2]));
        }
        EXPECT_LE(previous, LastTerrainTime(stage));
    }
    EXPECT_EQ(LastTerrainTime(0), 21);
    EXPECT_EQ(LastTerrainTime(6), 31);
}

TEST(StageTables, BackgroundBandsUseOnlyTilesTheirSetLoads) {
    constexpr int kFirstTile[] = {0, 1, 24, 1};
    constexpr int kLastTile[] = {0, 23, 42, 37};
    for (int stage = 0; stage < kStageCount; ++stage) {
        SCOPED_TRACE(testing::Message() << "stage " << stage + 1);
        const int group = kStages[stage].group;
        for (int band = 0; band < kStages[stage].endBand; ++band) {
            const int32_t id = StageBgTable[stage][band];
            SCOPED_TRACE(testing::Message() << "band " << band << " pattern " << id);
            ASSERT_GE(id, 0);
            ASSERT_LT(id, kBgPatternCount);
            for (int32_t tile : BgPatternTable[id]) {
                if (tile == 0) continue;  // no tile
                EXPECT_GE(tile, kFirstTile[group]);
                EXPECT_LE(tile, kLastTile[group]);
            }
        }
    }
}

// Rows the game's own design names: the stage-1 opening, the rows behind the gates, the
// first terrain piece, the first pattern.
TEST(StageTables, KeepsTheNamedRows) {
    struct Named {
        int stage;
        int32_t row[5];
    };
    const Named kNamed[] = {
        {1, {17, -180, -300, 256, 40}},
        {1, {101, -240, -300, 256, 45}},
        {1, {2029, -180, -300, 256, 120}},
        {2, {3107, 240, -300, 256, 60}},
    };
    for (const Named& named : kNamed) {
        bool found = false;
        const int stage = named.stage - 1;
        for (int r = 0; r < EnemyRowCount(stage) && !found; ++r) {
            const int32_t* row = StageEnemyTable[stage][r];
            found = std::equal(row, row + 5, named.row);
        }
        EXPECT_TRUE(found) << "stage " << named.stage << " code " << named.row[0];
    }
    const int32_t firstTerrain[4] = {1, -180, 180, 4};
    bool terrain = false;
    for (int r = 0; r < TerrainRowCount(0) && !terrain; ++r) {
        const int32_t* row = StageTerrainTable[0][r];
        terrain = std::equal(row, row + 4, firstTerrain);
    }
    EXPECT_TRUE(terrain);
    const int32_t pattern0[kBgColumns] = {16, 16, 1, 1, 16, 16};
    EXPECT_TRUE(std::equal(pattern0, pattern0 + kBgColumns, BgPatternTable[0]));
}

}  // namespace

}  // namespace StageTables_test
