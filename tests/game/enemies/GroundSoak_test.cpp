// Every ground type with every heading the stages give it, across the field, for 3000 frames
// and 300 more after the boss's end: each leaves state 1 into its start state, none lingers in
// its sequence or its leave, and two runs agree on every frame.
#include "EnemyWorld.h"
#include <algorithm>

#include "LogicHash.h"
#include "SpriteLayout.h"

#include <map>
#include <set>
#include <string>
#include <tuple>

namespace GroundSoak_test {

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
            for (const cChara* list : {&GroundEnemyList, &AirEnemyList})
                for (const CharaData* r = list->head; r; r = r->next) {
                    if (r->state == 3 || r->state == 5) {
                        EXPECT_LE(r->stateTimer, 20) << "type " << r->type;
                    }
                }
            NoteDrawnSprites();
            if (onFrame) onFrame();
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
    static inline void (*onFrame)() = nullptr;

    // Every (table, row, frame) the behaviours have shown: the body by type and animFrame
    // (states other than 0 and 5), each sub-sprite at 8 + its frame (states 1 and 2).
    using Entry = std::tuple<int, int, int>;
    static inline std::set<Entry> drawn;
    static void NoteDrawnSprites() {
        const std::pair<const cChara*, SpriteTable> lists[] = {
            {&GroundEnemyList, SpriteTable::GroundEnemySprites},
            {&GroundPartList, SpriteTable::GroundPartSprites},
            {&AirEnemyList, SpriteTable::AirEnemySprites},
            {&AirPartList, SpriteTable::AirPartSprites},
        };
        for (auto [list, table] : lists)
            for (const CharaData* r = list->head; r; r = r->next) {
                if (r->state == 0 || r->state == 5) continue;
                drawn.insert({int(table), r->type, r->animFrame});
                if (r->state > 2) continue;
                for (int i = 0; i < 4; i++)
                    if (r->subKind[i] != 0) drawn.insert({int(table), r->subKind[i], 8 + r->subFrame[i]});
            }
    }
    // Each drawn entry is cut from a sheet with a size; ground row 40's body alone is empty.
    static void ExpectDrawnSpritesCut() {
        std::map<Entry, int> area;
        for (int k = 0; k < kStartupStepCount; k++) {
            const SheetStep& step = kStartupSteps[k];
            if (step.how == SheetLoad::Divide) {
                const SpriteTableShape& shape = GetTableShape(step.divTable);
                for (int n = 0; n < step.total; n++)
                    area[{int(step.divTable), n / shape.frames, n % shape.frames}] = step.cellW * step.cellH;
                continue;
            }
            for (int i = 0; i < step.cellCount; i++) {
                const SpriteCell& c = step.cells[i];
                area[{int(c.table), c.row, c.frame}] = c.w * c.h;
            }
        }
        for (const Entry& e : drawn) {
            auto [table, row, frame] = e;
            std::string what = "table " + std::to_string(table) + " [" + std::to_string(row) + "][" +
                               std::to_string(frame) + "]";
            auto found = area.find(e);
            ASSERT_NE(area.end(), found) << what;
            if (table == int(SpriteTable::GroundEnemySprites) && row == 40 && frame == 0) continue;
            EXPECT_GT(found->second, 0) << what;
        }
    }
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
    ExpectDrawnSpritesCut();
}

// Every air type, and in one run per stage that stage's boss, losing hit points steadily so
// that every part passes its threshold; then the boss's end. The same checks hold.
namespace {

struct AirPlacement {
    int32_t type, x, y;
};
constexpr AirPlacement kAirPlacements[] = {
    {1, -200, -300}, {2, 200, -300},  {3, 0, -320},    {4, -420, -150}, {4, 420, -100},
    {5, 0, -320},    {6, -245, -320}, {6, 245, -320},  {7, 100, -300},  {8, -150, -300},
    {9, 150, -300},  {10, -100, -330},
};

struct BossPlacement {
    int32_t type, x, y;
};
constexpr BossPlacement kBosses[7][2] = {
    {{20, 0, -360}, {0, 0, 0}},       {{32, 0, -360}, {0, 0, 0}},      {{22, -120, -360}, {22, 120, -360}},
    {{28, -120, -360}, {28, 120, -360}}, {{37, -120, -360}, {37, 120, -360}}, {{16, 0, -360}, {0, 0, 0}},
    {{41, -120, -384}, {41, 120, -384}},
};

void WearBosses() {
    for (CharaData* r = GroundEnemyList.head; r; r = r->next)
        if (IsBossType(r->type) && r->state == 2) r->hp -= 12;
}

}  // namespace

class AirAndBossSoak : public GroundSoak {
protected:
    static std::vector<uint64_t> RunStage(int32_t stage) {
        ResetGameWorld();
        SetUpField();
        RestoreEnemyBehaviours();
        GameState.stage = stage;
        GameState.level = 3;
        GameState.remix = stage % 2;
        GameState.scrollSpeed = stage == 7 ? 0 : 512;  // stage 7's halves drop lasers on still ground
        hashes.clear();
        onFrame = WearBosses;
        std::vector<CharaData*> bosses;
        for (const BossPlacement& b : kBosses[stage - 1])
            if (b.type) bosses.push_back(Spawn(b.type, b.x, b.y, 256));
        for (int round = 0; round < 6; round++) {
            std::vector<CharaData*> fresh;
            for (const AirPlacement& a : kAirPlacements) {
                SpawnAirEnemy(a.type, &AirEnemyList, a.x * 1024 + round * 7168, a.y * 1024, 256);
                fresh.push_back(AirEnemyList.tail);
            }
            RunFramesChecked(1);
            for (CharaData* e : fresh) EXPECT_EQ(2, e->state) << "air type " << e->type;
            if (round == 0) {
                for (CharaData* b : bosses) EXPECT_EQ(2, b->state) << "boss " << b->type;
            }
            RunFramesChecked(499);
        }
        GameState.bossLife = 0;
        RunFramesChecked(300);
        onFrame = nullptr;
        for (CharaData* b : bosses) EXPECT_EQ(4, b->state) << "boss " << b->type;
        EXPECT_EQ(0, GameState.bossLife);
        EXPECT_EQ(0, CountOf(AirEnemyList));
        return hashes;
    }
};

TEST_F(AirAndBossSoak, EveryAirTypeAndEachStagesBossActsEndsAndRepeats) {
    for (int32_t stage = 1; stage <= 7; stage++) {
        SCOPED_TRACE("stage " + std::to_string(stage));
        std::vector<uint64_t> first = RunStage(stage);
        std::vector<uint64_t> second = RunStage(stage);
        ASSERT_EQ(first, second);
    }
    // Air row 10 shows both its frames.
    EXPECT_TRUE(drawn.count({int(SpriteTable::AirEnemySprites), 10, 1}));
    ExpectDrawnSpritesCut();
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

}  // namespace GroundSoak_test
