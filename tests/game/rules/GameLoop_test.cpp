// The game loop around whole games: which result screen follows which ending of a game,
// the music of each stage, and what is saved. Every stage holds one boss that is done for
// on its first turn, so each stage is cleared (with time left) soon after it starts.
#include <filesystem>
#include <map>

#include "FrontEnd.h"
#include "GameLoop.h"
#include "SaveFiles.h"
#include "ScreenFixture.h"
#include "SoundSetup.h"
#include "TempDir.h"

namespace GameLoop_test {

namespace {

int32_t bossRows[kStageCount][kEnemyRowsPerStage][5];

void FallenBoss(EnemyLists*, CharaData* e) { e->state = 4; }

// What a whole run of the game loop showed and wrote, watched at the end of every frame.
struct Seen {
    std::vector<std::string> screens;   // "GAME OVER" / "COMPLETED!", in order
    std::vector<int> musicPlays;        // tracks started, in order
    std::map<int32_t, int> stageMusic;  // the track playing in each stage
    std::vector<int32_t> stagesPlayed;  // in order of their start
    bool played = false, quitting = false;
    int abandonAt = 0;  // Space in this stage, once it runs
};
Seen* run;

void Watch() {
    const std::string text = DrawnText();
    // A result screen is counted once, after the game it follows.
    for (const char* screen : {"GAME OVER", "COMPLETED!"})
        if (run->played && text.find(screen) != std::string::npos) {
            run->screens.push_back(screen);
            run->played = false;
        }
    for (const fakeapi::Call& call : fakeapi::CallsOf("ApiPlaySoundHandle"))
        for (int t = 0; t < kMusicTrackCount; t++)
            if (call.args[0] == MusicHandles[t]) run->musicPlays.push_back(t);
    if (GameState.stage > 0 && GameState.stageFrame > 0) {
        if (run->stagesPlayed.empty() || run->stagesPlayed.back() != GameState.stage)
            run->stagesPlayed.push_back(GameState.stage);
        run->stageMusic[GameState.stage] = GameState.currentMusic;
        run->played = true;
    }
    // Back on the title after the game: Esc ends the program.
    if (!run->stagesPlayed.empty() && text.find("ORIGINAL") != std::string::npos) run->quitting = true;
    fakeapi::log.clear();
}

class GameLoopRun : public Screens {
protected:
    qztest::TempDir dir;
    Seen r;
    void SetUp() override {
        Screens::SetUp();
        std::fill(&bossRows[0][0][0], &bossRows[0][0][0] + sizeof(bossRows) / 4, 0);
        for (int stage = 0; stage < kStageCount; stage++) {
            const int32_t boss[5] = {20, 0, -100, 256, 40};
            std::copy(boss, boss + 5, bossRows[stage][0]);
        }
        ActiveStageTables.enemies = bossRows;
        GroundEnemyBehaviours[20] = FallenBoss;
        for (int t = 0; t < kMusicTrackCount; t++) MusicHandles[t] = 500 + t;
        GameState.soundMode = 1;
        GameState.level = 1;
        UnlockSaver = SaveUnlock;
        run = &r;
    }
    void TearDown() override {
        run = nullptr;
        Screens::TearDown();
    }
    // Menu presses (one frame each) until the game starts, then nothing.
    void Play(std::map<int, int> menu) {
        fakeapi::pad = [menu] {
            if (!run->stagesPlayed.empty()) return 0;
            auto it = menu.find(fakeapi::presents);
            return it == menu.end() ? 0 : it->second;
        };
        fakeapi::keys = [](int code) {
            if (code == kKeyEscape) {
                Watch();
                return run->quitting ? 1 : 0;
            }
            return code == kKeySpace && GameState.stage == run->abandonAt && GameState.stageFrame > 20 ? 1 : 0;
        };
        RunGameLoop();
    }
};

// STAGE SELECT on NORMAL, right `rights` times, start.
std::map<int, int> PracticeFrom(int rights) {
    std::map<int, int> menu = {{1, kPadDown}, {3, kPadDown}, {5, kPadButton1}, {7, kPadButton1}};
    int frame = 9;
    for (int i = 0; i < rights; i++, frame += 2) menu[frame] = kPadRight;
    menu[frame] = kPadButton1;
    return menu;
}

TEST_F(GameLoopRun, ANormalGameClearedShowsTheEndingAfterSavingItsScoreAndUnlocks) {
    Play({{1, kPadButton1}, {3, kPadButton1}});
    EXPECT_EQ((std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7}), r.stagesPlayed);
    EXPECT_EQ((std::vector<std::string>{"COMPLETED!"}), r.screens);
    // Title, the three stage tracks, the ending, the title again.
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 0}), r.musicPlays);
    EXPECT_EQ((std::map<int32_t, int>{{1, 1}, {2, 1}, {3, 1}, {4, 2}, {5, 2}, {6, 2}, {7, 3}}), r.stageMusic);
    ASSERT_GT(GameState.score, 0);
    EXPECT_EQ(HiScoreTable[0][1], GameState.score);
    EXPECT_EQ(qztest::ReadWholeFile(dir.file(HiScoreFileName(0, 1))), std::to_string(GameState.score) + "\r\n");
    EXPECT_EQ(qztest::ReadWholeFile(dir.file(UnlockFileName(0, 1))), "8\r\n");
    EXPECT_EQ(qztest::ReadWholeFile(dir.file(ReplayFileName(0, 1))).size(), sizeof ReplayBuffer);
}

TEST_F(GameLoopRun, PracticeAndReplayClearsShowGameOverAndSaveNoScore) {
    struct Case {
        const char* name;
        std::map<int, int> menu;
        std::vector<int32_t> stages;
    } cases[] = {
        {"practice from stage 6", PracticeFrom(5), {6}},
        {"practice from stage 7", PracticeFrom(6), {7}},
        {"replay", {{1, kPadDown}, {3, kPadButton1}, {5, kPadButton1}}, {1, 2, 3, 4, 5, 6, 7}},
    };
    for (const Case& c : cases) {
        SetUp();
        r = Seen{};
        UnlockTable[0][1] = 8;
        Play(c.menu);
        EXPECT_EQ(c.stages, r.stagesPlayed) << c.name;
        EXPECT_EQ((std::vector<std::string>{"GAME OVER"}), r.screens) << c.name;
        EXPECT_EQ(0, HiScoreTable[0][1]) << c.name;
        EXPECT_FALSE(std::filesystem::exists(dir.file(HiScoreFileName(0, 1)))) << c.name;
        EXPECT_FALSE(std::filesystem::exists(dir.file(ReplayFileName(0, 1)))) << c.name;
    }
}

TEST_F(GameLoopRun, AnAbandonedGameShowsNoResultAndSavesNothing) {
    r.abandonAt = 2;
    Play({{1, kPadButton1}, {3, kPadButton1}});
    EXPECT_EQ((std::vector<int32_t>{1, 2}), r.stagesPlayed);
    EXPECT_TRUE(r.screens.empty());
    EXPECT_EQ(0, GameState.result);
    EXPECT_EQ(0, HiScoreTable[0][1]);
    EXPECT_FALSE(std::filesystem::exists(dir.file(HiScoreFileName(0, 1))));
    EXPECT_FALSE(std::filesystem::exists(dir.file(ReplayFileName(0, 1))));
}

}  // namespace

}  // namespace GameLoop_test
