// The frame pass, the stage drawing's state changes, the stage advance and the tally.
#include "RulesFixture.h"

namespace PlayLoop_test {

class LoopRules : public Rules {
protected:
    void SetUp() override {
        Rules::SetUp();
        SetUpField();
    }
};

TEST_F(LoopRules, TheEndMarkerStopsTheScrollOnItsFirstFrameInTheTopRow) {
    // Band 21 holds the marker; it enters row 4 at scrolled 17 x 120 = 2040 px.
    int frames = 0;
    while (GameState.scrollSpeed != 0 && frames < 10000) {
        RunHeadlessFrame();
        frames++;
        if (GameState.scrolled < 2040) {
            ASSERT_EQ(512, GameState.scrollSpeed) << GameState.scrolled;
        }
    }
    EXPECT_EQ(2040, GameState.scrolled);
    EXPECT_EQ(0, GameState.scrollFrac);
}

// A map without its marker ends where the band table does: the scan never reads past it.
TEST_F(LoopRules, AMapWithoutAnEndMarkerEndsAtTheTablesLastBand) {
    static const int32_t noEnd[kStageCount][kBgBandsPerStage] = {};
    ActiveStageTables.bands = noEnd;
    int frames = 0;
    while (GameState.scrollSpeed != 0 && frames < 30000) {
        RunHeadlessFrame();
        frames++;
    }
    EXPECT_EQ((kBgBandsPerStage - 4) * 120, GameState.scrolled);
}

TEST_F(LoopRules, PanFollowsThePlayerWithinItsLimit) {
    struct { int32_t x, pan; } cases[] = {{0, 0}, {90, 60}, {-91, -60}, {200, 120}, {-344, -120}};
    for (auto c : cases) {
        PlayerList.self.x = c.x * 1024;
        ApplyStageStateBeforeDraw();
        EXPECT_EQ(c.pan, GameState.panX) << c.x;
    }
}

TEST_F(LoopRules, BossTimerRunsOnlyInTheBossAreaBeforeTheClearOutsideTheFreeze) {
    struct { const char* name; int32_t scrollSpeed, clearCount, bossLife, freeze, timer, after; } cases[] = {
        {"boss area", 0, 0, 10, 0, 2000, 1999},
        {"scrolling", 512, 0, 10, 0, 2000, 2000},
        {"boss destroyed", 0, 0, 0, 0, 2000, 2000},
        {"clearing", 0, 5, 10, 0, 2000, 2000},
        {"frozen", 0, 0, 10, 30, 2000, 2000},
        {"run out", 0, 0, 10, 0, 0, 0},
    };
    static const int32_t noEnd[kStageCount][kBgBandsPerStage] = {};
    for (auto c : cases) {
        ActiveStageTables.bands = noEnd;
        GameState.scrollSpeed = c.scrollSpeed;
        GameState.clearCount = c.clearCount;
        GameState.bossLife = c.bossLife;
        GameState.respawnFreeze = c.freeze;
        GameState.bossTimer = c.timer;
        RunFrameUpdate();
        EXPECT_EQ(c.after, GameState.bossTimer) << c.name;
    }
}

TEST_F(LoopRules, ShotFrameZeroTurnsOneAfterTheFieldIsDrawn) {
    ShotTable.state[5] = 1;
    ShotTable.state[kNapalmSlot] = 1;
    ApplyStageStateAfterDraw();
    EXPECT_EQ(1, ShotTable.frame[5]);
    EXPECT_EQ(0, ShotTable.frame[6]);
    EXPECT_EQ(0, ShotTable.frame[kNapalmSlot]);
}

TEST_F(LoopRules, ClearCountRunsWhileTheBossIsGoneAndThePlayerAlive) {
    GameState.bossLife = 0;
    GameState.dyingTime = 5;
    ApplyStageStateAfterDraw();
    EXPECT_EQ(0, GameState.clearCount);
    GameState.dyingTime = 0;
    ApplyStageStateAfterDraw();
    EXPECT_EQ(1, GameState.clearCount);
}

TEST_F(LoopRules, StageAdvanceAt401WithReplayFrameRunningOn) {
    GameState.bossLife = 0;
    GameState.clearCount = 400;
    GameState.replayFrame = 5000;
    fakeapi::log.clear();
    RunHeadlessFrame();
    EXPECT_EQ(1, GameState.stageEnd);
    EXPECT_EQ(2, GameState.stage);
    SetupStage();
    EXPECT_EQ(5001, GameState.replayFrame);
    EXPECT_EQ(0, GameState.clearCount);
    EXPECT_EQ(10, GameState.bossLife);
    RunHeadlessFrame();
    EXPECT_EQ(5002, GameState.replayFrame);
}

TEST_F(LoopRules, TheLastStageEndsTheGameWithResultTwo) {
    struct { int32_t playMode, stage, stageAfter, result; } cases[] = {
        {0, 6, 7, 0}, {0, 7, 0, 2}, {1, 7, 0, 2}, {2, 5, 6, 0}, {2, 6, 0, 2}, {2, 7, 0, 2},
    };
    for (auto c : cases) {
        GameState.playMode = c.playMode;
        GameState.stage = c.stage;
        GameState.result = 0;
        GameState.clearCount = 401;
        FinishFrame();
        EXPECT_EQ(c.stageAfter, GameState.stage) << "mode " << c.playMode << " stage " << c.stage;
        EXPECT_EQ(c.result, GameState.result) << "mode " << c.playMode << " stage " << c.stage;
    }
}

TEST_F(LoopRules, TallyPaysOnceAt201) {
    struct { int32_t stage, expected; } cases[] = {
        // t = 1234 / 100 + 1 = 13: 13 x 20000 + 2 x 20000 + 3 x 50000, on stage 7 + 2 lives x 100000.
        {3, 260000 + 40000 + 150000},
        {7, 260000 + 40000 + 150000 + 200000},
    };
    for (auto c : cases) {
        GameState.stage = c.stage;
        GameState.score = GameState.extendScore = 0;
        GameState.bossTimer = 1234;
        GameState.bonusCount = 2;
        GameState.shield = 3;
        PlayerList.self.hp = 2;
        GameState.clearCount = 200;
        ApplyStageStateAfterDraw();  // the last field frame: the boss lives, no count
        GameState.clearCount = 201;
        for (int i = 0; i < 200; i++) ApplyStageStateAfterDraw();
        EXPECT_EQ(c.expected, GameState.score) << "stage " << c.stage;
        EXPECT_EQ(401, GameState.clearCount);
    }
}

TEST_F(LoopRules, TimeOverPaysAndUnlocksNothing) {
    GameState.bossTimer = 0;
    GameState.clearCount = 201;
    for (int i = 0; i < 200; i++) ApplyStageStateAfterDraw();
    EXPECT_EQ(0, GameState.score);
    EXPECT_EQ(401, GameState.clearCount);
    EXPECT_EQ(0, UnlockTable[GameState.mode][GameState.level]);
}

TEST_F(LoopRules, UnlockRule) {
    static int saves;
    saves = 0;
    UnlockSaver = [] { saves++; };
    struct { int32_t playMode, stage, stored, expected; int saves; } cases[] = {
        {0, 3, 0, 4, 1}, {0, 2, 4, 4, 0}, {1, 3, 0, 0, 0}, {2, 5, 0, 6, 1}, {2, 6, 0, 0, 0}, {0, 7, 0, 8, 1},
    };
    for (auto c : cases) {
        saves = 0;
        GameState.mode = 1;
        GameState.level = 2;
        UnlockTable[1][2] = c.stored;
        GameState.playMode = c.playMode;
        GameState.stage = c.stage;
        GameState.bossTimer = 500;
        GameState.clearCount = 201;
        for (int i = 0; i < 200; i++) ApplyStageStateAfterDraw();
        EXPECT_EQ(c.expected, UnlockTable[1][2]) << "mode " << c.playMode << " stage " << c.stage;
        EXPECT_EQ(c.saves, saves) << "mode " << c.playMode << " stage " << c.stage;
    }
}

TEST_F(LoopRules, SetupsResetTheRulesState) {
    GameState.mode = 1;
    GameState.playMode = 2;
    GameState.practiceRank = 50;
    GameState.practiceShot = 4;
    GameState.practiceNapalm = 3;
    GameState.practiceShield = 2;
    GameState.pad = 0x33;
    GameState.panX = 77;
    GameState.leftHalfDestroyed = 1;
    SetupGame();
    EXPECT_EQ(1, GameState.remix);
    EXPECT_EQ(2, PlayerList.self.hitW);
    EXPECT_EQ(100, GameState.rank);
    EXPECT_EQ(4, GameState.shotPower);
    EXPECT_EQ(3, GameState.napalmPower);
    EXPECT_EQ(2, GameState.shield);
    EXPECT_EQ(0, GameState.pad);
    EXPECT_EQ(32, GameState.replayFrame);
    EXPECT_EQ(130, NextRandom());  // seeded with 1
    GameState.leftHalfDestroyed = 1;
    SetupStage();
    EXPECT_EQ(0, GameState.panX);
    EXPECT_EQ(0, GameState.leftHalfDestroyed);
    EXPECT_EQ(80, PlayerList.self.work2);
    EXPECT_EQ(120, GameState.panLimit);
}

}  // namespace PlayLoop_test
