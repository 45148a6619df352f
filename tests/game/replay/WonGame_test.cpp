// A whole normal game of NORMAL ORIGINAL won on the headless pass: the game's own stages,
// enemies and bosses from stage 1, flown by the pilot of the whole-game runs, through all
// seven stages to the end of the game (result 2 in normal play: the ending), then the
// game loop's save: the hi-score and the replay, beside the start file the tallies wrote.
#include <filesystem>

#include "../game/Pilot.h"
#include "GameLoop.h"
#include "RulesFixture.h"
#include "SaveFiles.h"
#include "StageTables.h"
#include "TempDir.h"

namespace WonGame_test {

namespace {

struct StageSeen {
    int32_t stage;
    bool timeOver;  // the boss timer ran out: the stage still ends, without its unlock
};

TEST(WonGame, ANormalGameFromStageOneEndsAfterStageSevenWithItsScoreAndUnlocksSaved) {
    qztest::TempDir dir;
    ResetGameWorld();
    RestoreEnemyBehaviours();
    ActiveStageTables = {StageEnemyTable, StageTerrainTable, StageBgTable};
    GameState.mode = 0;
    GameState.level = 1;
    GameState.playMode = 0;
    GameState.soundMode = 0;
    UnlockSaver = SaveUnlock;

    // Keys chosen after one frame reach the game two frames on, as in the window.
    pilot::Pilot pilot;
    int32_t now = 0, next = 0;
    fakeapi::pad = [&now] { return now; };

    SetupGame();
    GameState.stage = 1;
    std::vector<StageSeen> stages;
    int frames = 0;
    while (GameState.stage > 0 && frames < 200000) {
        stages.push_back({GameState.stage, false});
        SetupStage();
        do {
            RunHeadlessFrame();
            if (GameState.bossTimer == 0) stages.back().timeOver = true;
            now = next;
            next = pilot.Choose();
            frames++;
        } while (!GameState.stageEnd);
    }
    fakeapi::pad = nullptr;

    ASSERT_EQ(7u, stages.size());
    for (int i = 0; i < 7; i++) EXPECT_EQ(i + 1, stages[size_t(i)].stage);
    ASSERT_EQ(2, GameState.result) << "the game was lost";
    EXPECT_EQ(0, GameState.stage);
    EXPECT_GT(PlayerList.self.hp, 0);

    // Each stage cleared with time left wrote the stage after it as this level's start.
    int32_t unlocked = 0;
    for (const StageSeen& s : stages)
        if (!s.timeOver) unlocked = s.stage + 1;
    ASSERT_GT(unlocked, 0) << "no stage was cleared before its boss timer ran out";
    EXPECT_EQ(unlocked, UnlockTable[0][1]);
    EXPECT_EQ(std::to_string(unlocked) + "\r\n", qztest::ReadWholeFile(dir.file(UnlockFileName(0, 1))));

    const int32_t score = GameState.score;
    ASSERT_GT(score, 0);
    SaveGameResult();
    EXPECT_EQ(score, HiScoreTable[0][1]);
    EXPECT_EQ(std::to_string(score) + "\r\n", qztest::ReadWholeFile(dir.file(HiScoreFileName(0, 1))));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ReplayBuffer), sizeof ReplayBuffer),
              qztest::ReadWholeFile(dir.file(ReplayFileName(0, 1))));
    ResetGameWorld();
}

}  // namespace

}  // namespace WonGame_test
