// Record a whole game from a pad script, scramble the world, then play the recorded bytes
// back with another live pad: every frame's logic state and sound calls must agree.
#include <array>
#include <cstdlib>

#include "LogicHash.h"
#include "RulesFixture.h"
#include "StandIns.h"

namespace RecordPlayback_test {

namespace {

int32_t enemyRows[kStageCount][kEnemyRowsPerStage][5];
int32_t terrainRows[kStageCount][kTerrainRowsPerStage][4];

// Stages 1 and 2: guns and fighters along the way, then the boss.
void BuildTables() {
    std::fill(&enemyRows[0][0][0], &enemyRows[0][0][0] + sizeof(enemyRows) / 4, 0);
    std::fill(&terrainRows[0][0][0], &terrainRows[0][0][0] + sizeof(terrainRows) / 4, 0);
    for (int stage = 0; stage < 2; stage++) {
        int row = 0;
        for (int32_t time = 40; time < 190; time += 6) {
            int32_t side = (time / 6) % 2 ? 1 : -1;
            const int32_t gun[5] = {17, side * (60 + time % 200), -250, 256, time};
            const int32_t fighter[5] = {101, -side * 150, -300, 256 + side * 40, time + 3};
            std::copy(gun, gun + 5, enemyRows[stage][row++]);
            std::copy(fighter, fighter + 5, enemyRows[stage][row++]);
        }
        const int32_t boss[5] = {20, 0, -360, 256, 190};
        std::copy(boss, boss + 5, enemyRows[stage][row]);
        for (int i = 0; i < 6; i++) {
            const int32_t piece[4] = {1 + i, -180 + 60 * i, -200, 4 + 3 * i};
            std::copy(piece, piece + 4, terrainRows[stage][i]);
        }
    }
}

// Stage 1: chase the nearest enemy's x and fire, step aside from close bullets, and now
// and then charge and launch the napalm. Later stages: sit still under the guns until the
// game is over.
int32_t RecordPad(int frame) {
    if (GameState.stage >= 2) return frame % 97 < 10 ? kPadLeft : 0;
    const CharaData& player = PlayerList.self;
    int32_t pad = 0;
    int64_t best = INT64_MAX;
    int32_t targetX = 0;
    for (const cChara* list : {&GroundEnemyList, &AirEnemyList})
        for (const CharaData* e = list->head; e; e = e->next) {
            if (e->state != 2 || e->y > player.y) continue;
            int64_t d = std::abs(int64_t{e->x} - player.x);
            if (d < best) {
                best = d;
                targetX = e->x;
            }
        }
    if (best != INT64_MAX && targetX < player.x - 6 * 1024) pad |= kPadLeft;
    if (best != INT64_MAX && targetX > player.x + 6 * 1024) pad |= kPadRight;
    for (const CharaData* b = BulletList.head; b; b = b->next) {
        int64_t dx = int64_t{b->x} - player.x, dy = int64_t{b->y} - player.y;
        if (dy > -90 * 1024 && dy < 20 * 1024 && std::abs(dx) < 40 * 1024) {
            pad &= ~(kPadLeft | kPadRight);
            pad |= dx > 0 ? kPadLeft : kPadRight;
            if (player.x < -300 * 1024) pad = (pad & ~kPadLeft) | kPadRight;
            if (player.x > 300 * 1024) pad = (pad & ~kPadRight) | kPadLeft;
        }
    }
    if (player.y < 110 * 1024) pad |= kPadDown;
    if (frame % 400 >= 300 && frame % 400 < 370)
        pad |= kPadButton2;
    else
        pad |= kPadButton1;
    if (frame % 700 == 5) pad |= 0x80;  // a button the rules ignore
    return pad;
}

struct FrameRecord {
    uint64_t hash;
    std::vector<fakeapi::Call> sounds;
    std::array<int32_t, 4> shown;  // score, lives, stage, result
};

// One game from stage 1 to its end; watch runs around every frame (before: false, after: true).
std::vector<FrameRecord> PlayGame(const std::function<void(bool after)>& watch = nullptr) {
    std::vector<FrameRecord> frames;
    SetupGame();
    GameState.stage = 1;
    while (GameState.stage > 0 && frames.size() < 40000) {
        SetupStage();
        do {
            fakeapi::log.clear();
            if (watch) watch(false);
            RunHeadlessFrame();
            if (watch) watch(true);
            frames.push_back({HashLogicState(), fakeapi::CallsOf("ApiPlaySoundHandle"),
                              {GameState.score, PlayerList.self.hp, GameState.stage, GameState.result}});
        } while (!GameState.stageEnd);
    }
    return frames;
}

// Everything the game set-up must overwrite, filled with other values.
void Scramble() {
    for (cChara* list : {&GroundEnemyList, &GroundPartList, &AirEnemyList, &AirPartList, &BulletList, &EffectList,
                         &ItemList, &WreckList, &PopupList, &ShockwaveList}) {
        for (int i = 0; i < 3; i++) {
            CharaData* r = AllocateChara();
            r->type = 17;
            r->state = 2;
            r->x = 1000 * i;
            r->hp = 5;
            list->AppendNode(r);
        }
    }
    PlayerList.self.work2 = 190;
    PlayerList.self.subKind[2] = 4;
    SpawnTerrainPiece(3, 0, 0);
    int32_t* shots = &ShotTable.x[0];
    for (size_t i = 0; i < sizeof(ShotTable) / sizeof(int32_t); i++) shots[i] = static_cast<int32_t>(i % 7) + 1;
    GameStateRecord& g = GameState;
    for (int32_t* field : {&g.score, &g.extendScore, &g.rank, &g.shotPower, &g.napalmPower, &g.shield,
                           &g.bonusCount, &g.invulnTime, &g.dyingTime, &g.respawnFreeze, &g.noFireTime,
                           &g.result, &g.replayFrame, &g.stageEnd, &g.stageFrame, &g.scrolled, &g.scrollSpeed,
                           &g.scrollPause, &g.scrollFrac, &g.panX, &g.panLimit, &g.enemyRowCursor,
                           &g.terrainRowCursor, &g.bossLife, &g.bossTimer, &g.clearCount, &g.fieldHalfW,
                           &g.fieldHalfH, &g.spawnGate1000, &g.spawnGate2000, &g.spawnGate3000,
                           &g.spawnGate5000, &g.entryCycle, &g.leftHalfDestroyed, &g.rightHalfDestroyed, &g.pad,
                           &g.shieldCycle, &g.shotCooldown[1][2]})
        *field = 3;
    g.remix = 7;
    SeedRandom(4242);
}

}  // namespace

struct PlaybackCase {
    int32_t mode;
    bool gameStages;  // the game's own stage tables, else the small ones above
};

class RecordPlayback : public ::testing::TestWithParam<PlaybackCase> {
protected:
    void SetUp() override {
        ResetGameWorld();
        BuildTables();
        if (GetParam().gameStages) {
            ActiveStageTables = {StageEnemyTable, StageTerrainTable, StageBgTable};
        } else {
            ActiveStageTables.enemies = enemyRows;
            ActiveStageTables.terrain = terrainRows;
        }
        InstallStandIns();
        GameState.mode = GetParam().mode;
        GameState.level = 1;
        GameState.soundMode = 1;
    }
    void TearDown() override { ResetGameWorld(); }
};

TEST_P(RecordPlayback, PlaybackReproducesTheRecordedGameFrameForFrame) {
    int frame = 0;
    int32_t scoreBeforeTally = -1, scoreAfterTally = -1;
    bool napalmOrFat = false;
    fakeapi::pad = [&frame] { return RecordPad(frame); };
    GameState.playMode = 0;
    std::vector<FrameRecord> recorded = PlayGame([&](bool after) {
        if (!after) {
            if (GameState.clearCount == 201) scoreBeforeTally = GameState.score;
            return;
        }
        if (GameState.clearCount == 202 && scoreAfterTally < 0) scoreAfterTally = GameState.score;
        if (ShotTable.state[kNapalmSlot] != 0 || ShotTable.kind[0] == 6) napalmOrFat = true;
        frame++;
    });
    // The script played what it was meant to: a stage clear with its tally and unlock, then
    // stage 2 until the last life was lost.
    ASSERT_EQ(1, recorded.back().shown[3]) << "the game did not end in a game over";
    EXPECT_GT(scoreAfterTally, scoreBeforeTally);
    EXPECT_EQ(2, UnlockTable[GetParam().mode][1]);
    EXPECT_TRUE(napalmOrFat);
    bool reachedStage2 = false;
    for (const FrameRecord& r : recorded) reachedStage2 |= r.shown[2] == 2;
    EXPECT_TRUE(reachedStage2);

    Scramble();
    GameState.playMode = 1;
    fakeapi::pad = [] { return kPadRight | kPadButton2; };
    std::vector<FrameRecord> played = PlayGame();

    ASSERT_EQ(recorded.size(), played.size());
    for (size_t i = 0; i < recorded.size(); i++) {
        ASSERT_EQ(recorded[i].hash, played[i].hash) << "frame " << i;
        ASSERT_EQ(recorded[i].sounds, played[i].sounds) << "frame " << i;
        ASSERT_EQ(recorded[i].shown, played[i].shown) << "frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(RuleSets, RecordPlayback,
                         ::testing::Values(PlaybackCase{0, false}, PlaybackCase{1, false}, PlaybackCase{0, true},
                                           PlaybackCase{1, true}),
                         [](const auto& info) {
                             return std::string(info.param.mode == 0 ? "Original" : "Remix") +
                                    (info.param.gameStages ? "GameStages" : "");
                         });

// Past the buffer, recording stores nothing and playback feeds no input (ASan sees any
// access beyond it).
TEST(ReplayBound, RecordingAndPlaybackStopAtTheBufferEnd) {
    ResetGameWorld();
    SetupGame();
    GameState.stage = 1;
    SetupStage();
    GameState.stageFrame = 150;
    GameState.replayFrame = 215990;
    std::fill(std::begin(ReplayBuffer), std::end(ReplayBuffer), 0);
    fakeapi::pad = [] { return kPadLeft | kPadButton1; };
    for (int i = 0; i < 20; i++) RunHeadlessFrame();
    EXPECT_EQ(216010, GameState.replayFrame);
    for (int32_t i = 215991; i < kReplayBytes; i++) EXPECT_EQ(kPadLeft | kPadButton1, ReplayBuffer[i]) << i;
    EXPECT_EQ(0, ReplayBuffer[215990]);

    GameState.playMode = 1;
    GameState.replayFrame = kReplayBytes - 1;
    RunHeadlessFrame();
    EXPECT_EQ(0, GameState.pad);  // index 216000: no input
    for (int i = 0; i < 20; i++) RunHeadlessFrame();
    EXPECT_EQ(0, GameState.pad);
}

}  // namespace RecordPlayback_test
