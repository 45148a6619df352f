// Every ground type with every heading the stages give it, across the field, for 3000 frames
// and 300 more after the boss's end: each leaves state 1 into its start state, none lingers in
// its sequence or its leave, and two runs agree on every frame.
#include "EnemyWorld.h"
#include <algorithm>

#include "LogicHash.h"

namespace {

struct Placement {
    int32_t type, angle;
};
// Types 3 and 8 come with three headings, 5 also heading up, 7 and 12 also sideways, 43 also
// facing 512 (all from the stage tables and the edge cases).
constexpr Placement kPlacements[] = {
    {1, 256},  {2, 256},  {3, 0},    {3, 256},  {3, 512},  {4, 256},  {5, 256},  {5, 768},  {6, 256},
    {7, 256},  {7, 0},    {7, 512},  {8, 0},    {8, 256},  {8, 512},  {9, 256},  {10, 256}, {11, 256},
    {12, 256}, {12, 0},   {12, 512}, {13, 256}, {14, 256}, {15, 256}, {17, 256}, {18, 0},   {19, 512},
    {21, 256}, {23, 256}, {24, 768}, {25, 0},   {26, 512}, {27, 256}, {29, 256}, {30, 256}, {31, 256},
    {33, 256}, {34, 256}, {35, 256}, {36, 512}, {38, 512}, {39, 0},   {40, 256}, {42, 256}, {43, 256},
    {43, 512}, {44, 256},
};

int32_t StartState(int32_t type) {
    for (int32_t t : {23, 24, 27, 33, 34, 36, 38, 39, 40, 42})
        if (t == type) return 4;
    return 2;
}

}  // namespace

class GroundSoak : public EnemyWorld {
protected:
    // Spawns the whole set on a grid and checks each one's first turn.
    static void SpawnAll(int round) {
        std::vector<std::pair<CharaData*, int32_t>> fresh;
        int i = 0;
        for (const Placement& p : kPlacements) {
            int32_t x = -330 + (i % 12) * 60 + round * 7, y = -300 + (i / 12) * 70;
            if (p.type == 18 || p.type == 25) x = -420;
            if (p.type == 19 || p.type == 26) x = 420;
            CharaData* e = Spawn(p.type, x, y, p.angle);
            if (e) fresh.push_back({e, p.type});
            i++;
        }
        RunFramesChecked(1);
        for (auto [e, type] : fresh) EXPECT_EQ(StartState(type), e->state) << "type " << type;
    }

    static uint64_t RunFramesChecked(int n) {
        uint64_t hash = 0;
        for (int i = 0; i < n; i++) {
            int32_t t = GameState.stageFrame++ % 400;
            PlacePlayer((t < 200 ? t : 400 - t) - 100, 150);
            RunFrames(1);
            for (const CharaData* r = GroundEnemyList.head; r; r = r->next) {
                if (r->state == 3 || r->state == 5) {
                    EXPECT_LE(r->stateTimer, 20) << "type " << r->type;
                }
            }
            hash = HashLogicState();
            hashes.push_back(hash);
            // Bullets and effects are not updated here; keep the lists short.
            BulletList.Clear();
            EffectList.Clear();
        }
        return hash;
    }

    static std::vector<uint64_t> Run() {
        hashes.clear();
        for (int round = 0; round < 6; round++) {
            SpawnAll(round);
            RunFramesChecked(499);
        }
        GameState.bossLife = 0;
        RunFramesChecked(300);
        return hashes;
    }

    static inline std::vector<uint64_t> hashes;
};

TEST_F(GroundSoak, EveryTypeActsEndsAndRepeats) {
    for (uint8_t remix : {0, 1}) {
        ResetGameWorld();
        SetUpField();
        RestoreEnemyBehaviours();
        GameState.level = 3;
        GameState.remix = remix;
        std::vector<uint64_t> first = Run();
        // With the boss dead, only the state-4 phases (the garage, shut hatch guns, entries) stay.
        for (const CharaData* r = GroundEnemyList.head; r; r = r->next) EXPECT_EQ(4, r->state) << "type " << r->type;

        ResetGameWorld();
        SetUpField();
        RestoreEnemyBehaviours();
        GameState.level = 3;
        GameState.remix = remix;
        std::vector<uint64_t> second = Run();
        ASSERT_EQ(first.size(), second.size());
        for (size_t i = 0; i < first.size(); i++) ASSERT_EQ(first[i], second[i]) << "frame " << i;
    }
}

// Every stage's own table, played without input by a player kept alive, through the boss
// area's TIME OVER: the placed ground enemies act, end and free their guns cleanly.
TEST_F(GroundSoak, EveryStagePlaysToTimeOver) {
    for (int32_t stage = 1; stage <= 7; stage++) {
        ResetGameWorld();
        RestoreEnemyBehaviours();
        ActiveStageTables = {StageEnemyTable, StageTerrainTable, StageBgTable};
        GameState.level = 4;
        GameState.stage = stage;
        SetupGame();
        SetupStage();
        int frames = 0, mostEnemies = 0;
        while (GameState.bossTimer > 0 && frames < 9000) {
            GameState.invulnTime = 100;
            RunHeadlessFrame();
            frames++;
            mostEnemies = std::max(mostEnemies, CountOf(GroundEnemyList));
        }
        EXPECT_EQ(stage, GameState.stage);
        EXPECT_EQ(0, GameState.bossTimer) << "stage " << stage;
        EXPECT_GT(mostEnemies, 3) << "stage " << stage;
        RunFrames(30);
        for (const CharaData* r = GroundEnemyList.head; r; r = r->next) {
            EXPECT_TRUE(r->state == 4 || IsBossType(r->type)) << "stage " << stage << " type " << r->type;
        }
    }
}
