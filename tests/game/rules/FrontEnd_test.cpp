// The menus driven by a scripted pad, and the result screens' lengths and skip rule.
#include <map>
#include <set>

#include "FrontEnd.h"
#include "GameLoop.h"
#include "SaveFiles.h"
#include "ScreenFixture.h"
#include "TempDir.h"

namespace FrontEnd_test {

namespace {

using T = SpriteTable;

// Pad bits from a frame (counted in presents) on, until the next entry.
void ScriptPad(std::map<int, int> script) {
    fakeapi::pad = [script] {
        auto it = script.upper_bound(fakeapi::presents);
        return it == script.begin() ? 0 : std::prev(it)->second;
    };
}
// Keys held from a frame on; every script ends with Esc so that the menus return.
void ScriptKeys(std::map<int, std::set<int>> script) {
    fakeapi::keys = [script](int code) {
        auto it = script.upper_bound(fakeapi::presents - 1);
        return it != script.begin() && std::prev(it)->second.count(code) ? 1 : 0;
    };
}
void EscapeAt(int frame) { ScriptKeys({{frame, {kKeyEscape}}}); }

// A press of the bits on one frame, released on the next.
std::map<int, int> Presses(std::initializer_list<std::pair<int, int>> presses) {
    std::map<int, int> script;
    for (auto [frame, bits] : presses) {
        script[frame] = bits;
        if (!script.count(frame + 1)) script[frame + 1] = 0;
    }
    return script;
}

int PlaysOf(int effect) {
    int n = 0;
    for (const fakeapi::Call& call : fakeapi::CallsOf("ApiPlaySoundHandle")) n += call.args[0] == GameSoundHandles[effect];
    return n;
}

class FrontEnd : public Screens {
protected:
    qztest::TempDir dir;
};

TEST_F(FrontEnd, EndQuitsAfterTheCursorWraps) {
    ScriptPad(Presses({{1, kPadUp}, {3, kPadButton1}}));
    EscapeAt(50);
    RunFrontEnd();
    EXPECT_EQ(GameState.quit, 1);
    EXPECT_EQ(GameState.stage, 0);
    EXPECT_EQ(GameState.stageEnd, 1);
    EXPECT_EQ(fakeapi::presents, 3);  // END leaves before its frame is shown
    EXPECT_EQ(PlaysOf(kSoundHit), 1);
    EXPECT_EQ(PlaysOf(kSoundCursol), 1);
}

TEST_F(FrontEnd, TheTitleShowsItsItemsImagesAndCursors) {
    GameState.mode = 1;
    EscapeAt(0);
    RunFrontEnd();
    const std::vector<Drawn> drawn = DrawnSprites();
    ASSERT_GE(drawn.size(), 3u);
    EXPECT_EQ(drawn[0], (Drawn{SpriteHandle(T::TitleImage, 0), 0, 63}));
    EXPECT_EQ(drawn[1], (Drawn{SpriteHandle(T::MenuFrameImages, 1), 127, 252}));
    EXPECT_EQ(drawn[2], (Drawn{SpriteHandle(T::MenuFrameImages, 0), 127, 307}));
    EXPECT_EQ(DrawnText(), std::string("ORIGINAL\0REMIX\0START\0REPLAY\0STAGE SELECT\0END\0>\0>\0", 49));
    // Cursors at REMIX and START.
    EXPECT_EQ(drawn[drawn.size() - 4].x, 156 + 177 + 6);
    EXPECT_EQ(drawn[drawn.size() - 2], (Drawn{SpriteHandle(T::FontSprites, '>'), 162, 329}));
}

TEST_F(FrontEnd, AButtonHeldIntoAScreenActsOnlyAfterItsRelease) {
    GameState.latch[0] = 1;  // held through start-up
    std::vector<int> screens;
    fakeapi::pad = [&screens] {
        screens.push_back(GameState.menuState);
        // Held for frames 0-4, released on 5, pressed on 6 and held on.
        return fakeapi::presents == 5 ? 0 : kPadButton1;
    };
    EscapeAt(10);
    RunFrontEnd();
    EXPECT_EQ(screens, (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1}));
    EXPECT_EQ(PlaysOf(kSoundCursol), 1);
}

TEST_F(FrontEnd, ShootingGodIsOfferedOnlyAfterInsaneIsCleared) {
    for (int unlocked : {7, 8}) {
        ResetGameWorld();
        FillSpriteTables();
        UnlockTable[0][3] = unlocked;
        // START, then up twice from NORMAL.
        ScriptPad(Presses({{1, kPadButton1}, {3, kPadUp}, {5, kPadUp}}));
        EscapeAt(8);
        RunFrontEnd();
        EXPECT_EQ(GameState.level, unlocked == 8 ? 4 : 3);
        EXPECT_EQ(DrawnText(T::Font2Sprites).find("SHOOTING GOD") != std::string::npos, unlocked == 8);
        EXPECT_NE(DrawnText().find("HI-SCORE"), std::string::npos);
    }
}

TEST_F(FrontEnd, PracticeHidesTheHiScoresAndStageSelectOffersTheUnlockedStages) {
    struct Case {
        int32_t unlocked;
        int rightPresses;
        int32_t stage;
    } cases[] = {{0, 3, 1}, {1, 1, 1}, {8, 3, 4}, {8, 7, 1}, {3, 2, 3}};
    for (const Case& c : cases) {
        ResetGameWorld();
        FillSpriteTables();
        UnlockTable[0][1] = c.unlocked;
        // STAGE SELECT, NORMAL, then right presses on the STAGE row, then button 1.
        std::map<int, int> script = Presses({{1, kPadDown}, {3, kPadDown}, {5, kPadButton1}, {7, kPadButton1}});
        int frame = 9;
        for (int i = 0; i < c.rightPresses; i++, frame += 2) script[frame] = kPadRight, script[frame + 1] = 0;
        script[frame] = kPadButton1;
        script[frame + 1] = 0;
        ScriptPad(script);
        EscapeAt(100);
        RunFrontEnd();
        EXPECT_EQ(GameState.stage, c.stage) << c.unlocked << " " << c.rightPresses;
        EXPECT_EQ(GameState.playMode, 2);
        EXPECT_EQ(GameState.quit, 0);
        EXPECT_EQ(DrawnText().find("HI-SCORE"), std::string::npos);
    }
}

TEST_F(FrontEnd, ValueRowsChangeEveryFrameAndTheStageRowOncePerPress) {
    UnlockTable[0][1] = 8;
    // STAGE SELECT, NORMAL; right held 5 frames on STAGE; down; right held 150 frames on RANK;
    // down to SHIELD; right held 10 frames; then button 1 on SHIELD starts the game.
    std::map<int, int> script = Presses({{1, kPadDown}, {3, kPadDown}, {5, kPadButton1}, {7, kPadButton1}});
    script[9] = kPadRight;
    script[14] = 0;
    script[15] = kPadDown;
    script[16] = kPadRight;
    script[166] = 0;
    script[167] = kPadDown;
    script[168] = 0;
    script[169] = kPadDown;
    script[170] = 0;
    script[171] = kPadDown;
    script[172] = kPadRight;
    script[182] = kPadButton1;
    script[183] = 0;
    ScriptPad(script);
    EscapeAt(300);
    RunFrontEnd();
    EXPECT_EQ(GameState.stage, 2);
    EXPECT_EQ(GameState.practiceRank, 100);
    EXPECT_EQ(GameState.practiceShield, 2);
    EXPECT_EQ(GameState.practiceShot, 1);
}

TEST_F(FrontEnd, SpaceGoesBackToTheTitleWithStartSelected) {
    // REPLAY, then Space in LEVEL SELECTION, then button 1 starts at once: START.
    ScriptPad(Presses({{1, kPadDown}, {3, kPadButton1}, {8, kPadButton1}, {10, kPadButton1}}));
    ScriptKeys({{5, {kKeySpace}}, {6, {}}});
    RunFrontEnd();
    EXPECT_EQ(GameState.playMode, 0);
    EXPECT_EQ(GameState.stage, 1);
    EXPECT_EQ(GameState.level, 1);
    EXPECT_EQ(fakeapi::presents, 11);
}

// Space held on the frame a game is confirmed resets to the title's values, and the game
// still starts: a normal game of stage 1.
TEST_F(FrontEnd, SpaceOnTheConfirmingFrameStartsANormalGameOfStageOne) {
    struct Case {
        const char* name;
        std::map<int, int> pad;
        int confirmAt;
    } cases[] = {
        {"START", Presses({{1, kPadButton1}, {3, kPadButton1}}), 3},
        {"REPLAY", Presses({{1, kPadDown}, {3, kPadButton1}, {5, kPadButton1}}), 5},
        // STAGE SELECT, NORMAL, stage 2, start.
        {"STAGE SELECT",
         Presses({{1, kPadDown}, {3, kPadDown}, {5, kPadButton1}, {7, kPadButton1}, {9, kPadRight}, {11, kPadButton1}}),
         11},
    };
    for (const Case& c : cases) {
        ResetGameWorld();
        FillSpriteTables();
        UnlockTable[0][1] = 8;
        ScriptPad(c.pad);
        ScriptKeys({{c.confirmAt, {kKeySpace}}, {c.confirmAt + 1, {}}, {60, {kKeyEscape}}});
        RunFrontEnd();
        EXPECT_EQ(GameState.quit, 0) << c.name;
        EXPECT_EQ(fakeapi::presents, c.confirmAt + 1) << c.name << ": returned on the confirming frame";
        EXPECT_EQ(GameState.stage, 1) << c.name;
        EXPECT_EQ(GameState.playMode, 0) << c.name;
        EXPECT_EQ(GameState.menuState, 0) << c.name;
    }
}

// The stage chosen on one level does not carry into another level's STAGE SELECT where it is
// still locked: the practice starts on an open stage and its clear unlocks only the next.
TEST_F(FrontEnd, AStageChosenOnAnotherLevelIsNotPractisedWhereItIsLocked) {
    UnlockTable[0][1] = 8;  // NORMAL: all seven stages
    UnlockTable[0][0] = 0;  // EASY: stage 1 only
    // STAGE SELECT, NORMAL, right four times to stage 5, down five times to RETURN, button 1;
    // STAGE SELECT again, up to EASY, button 1, then button 1 on the STAGE row.
    std::map<int, int> script = Presses({{1, kPadDown}, {3, kPadDown}, {5, kPadButton1}, {7, kPadButton1}});
    int frame = 9;
    auto press = [&](int bits) {
        script[frame] = bits;
        script[frame + 1] = 0;
        frame += 2;
    };
    for (int i = 0; i < 4; i++) press(kPadRight);
    for (int i = 0; i < 5; i++) press(kPadDown);
    press(kPadButton1);
    for (int bits : {kPadDown, kPadDown, kPadButton1, kPadUp, kPadButton1, kPadButton1}) press(bits);
    ScriptPad(script);
    EscapeAt(200);
    RunFrontEnd();
    ASSERT_EQ(GameState.quit, 0);
    EXPECT_EQ(GameState.playMode, 2);
    EXPECT_EQ(GameState.level, 0);
    EXPECT_EQ(GameState.stage, 1);

    // The practice clears its stage with time left: the tally writes the stage after it.
    UnlockSaver = SaveUnlock;
    SetupGame();
    SetupStage();
    GameState.clearCount = 201;
    ApplyStageStateAfterDraw();
    EXPECT_EQ(qztest::ReadWholeFile(dir.file(UnlockFileName(0, 0))), "2\r\n");
    EXPECT_EQ(UnlockTable[0][0], 2);
}

TEST_F(FrontEnd, ReplayWithoutItsFileFeedsButtonsOneAndTwo) {
    ReplayBuffer[40] = 3;
    ScriptPad(Presses({{1, kPadDown}, {3, kPadButton1}, {5, kPadButton1}}));
    EscapeAt(100);
    RunFrontEnd();
    EXPECT_EQ(GameState.playMode, 1);
    EXPECT_EQ(GameState.stage, 1);
    for (int i = 0; i < kReplayBytes; i++) ASSERT_EQ(ReplayBuffer[i], 48) << i;
}

TEST_F(FrontEnd, GameOverLasts200Frames) {
    HiScoreTable[0][1] = 77;
    GameState.score = 5;
    EXPECT_EQ(ShowGameOver(), 0);
    EXPECT_EQ(fakeapi::presents, 200);
    fakeapi::Reset();
    fakeapi::results["ApiProcessMessage"] = -1;
    EXPECT_EQ(ShowGameOver(), -1);
    EXPECT_EQ(fakeapi::CallsOf("ApiProcessMessage").size(), 1u);
}

// Per frame: did it draw the glyph at the place, and where did the last credits line go.
struct EndingFrames {
    std::vector<bool> completed, theEnd;
    std::vector<int64_t> lastLineY;
};
EndingFrames WatchEnding() {
    EndingFrames f;
    bool completed = false, theEnd = false;
    int64_t last = -1;
    for (const fakeapi::Call& call : fakeapi::log) {
        if (call.name == "ApiPresentScreen") {
            f.completed.push_back(completed);
            f.theEnd.push_back(theEnd);
            f.lastLineY.push_back(last);
            completed = theEnd = false;
            last = -1;
        }
        const int64_t handle = DrawnHandle(call);
        if (handle == SpriteHandle(T::FontSprites, 'C') && call.args[0] == 251 && call.args[1] == 225) completed = true;
        if (handle == SpriteHandle(T::FontSprites, 'T') && call.args[0] == 266 && call.args[1] == 294) theEnd = true;
        if (handle == SpriteHandle(T::CreditsImages, 6)) last = call.args[1];
    }
    return f;
}

TEST_F(FrontEnd, TheEndingRollsItsCreditsAndASkipRunsOnToFrame1800) {
    ShowEnding();
    EndingFrames f = WatchEnding();
    ASSERT_EQ(f.completed.size(), 1800u);
    EXPECT_TRUE(f.completed[199]);
    EXPECT_FALSE(f.completed[200]);
    EXPECT_EQ(f.lastLineY[1057], 242);
    EXPECT_EQ(f.lastLineY[1058], 241);
    for (int frame = 1059; frame < 1400; frame++) ASSERT_EQ(f.lastLineY[frame], 240) << frame;
    EXPECT_FALSE(f.theEnd[1399]);
    EXPECT_TRUE(f.theEnd[1400]);
    EXPECT_TRUE(f.theEnd[1799]);

    ResetGameWorld();
    FillSpriteTables();
    ScriptKeys({{50, {kKeySpace}}, {51, {}}});
    ShowEnding();
    f = WatchEnding();
    ASSERT_EQ(f.completed.size(), 1800u);
    // Space seen after frame 50: frame 51 shows the scores.
    EXPECT_TRUE(f.completed[50]);
    EXPECT_FALSE(f.theEnd[50]);
    EXPECT_TRUE(f.theEnd[51]);
    EXPECT_TRUE(f.theEnd[1799]);
}

}  // namespace

}  // namespace FrontEnd_test
