// Start-up, the loops around play, the end of a frame and shutdown, as the calls they make.
#include <filesystem>
#include <map>
#include <set>

#include "GameLoop.h"
#include "ScreenFixture.h"
#include "TempDir.h"

namespace StartUp_test {

extern "C" int WinMain(void* instance, void* prevInstance, char* cmdLine, int showCmd);

namespace {

using fakeapi::Call;

int RunWinMain() { return WinMain(nullptr, nullptr, nullptr, 0); }

std::vector<std::string> Names(size_t first, size_t count) {
    std::vector<std::string> names;
    for (size_t i = first; i < first + count && i < fakeapi::log.size(); i++) names.push_back(fakeapi::log[i].name);
    return names;
}

std::vector<std::string> TextsOf(const std::string& name) {
    std::vector<std::string> texts;
    for (const Call& call : fakeapi::CallsOf(name)) texts.push_back(call.text);
    return texts;
}

// Keys held from the check after frame n (counted in presents) on.
void ScriptKeys(std::map<int, std::set<int>> script) {
    fakeapi::keys = [script](int code) {
        auto it = script.upper_bound(fakeapi::presents - 1);
        return it != script.begin() && std::prev(it)->second.count(code) ? 1 : 0;
    };
}

class StartUp : public Screens {
protected:
    qztest::TempDir dir;
    void SetUp() override {
        Screens::SetUp();
        GameState.soundMode = 1;
    }
};

TEST_F(StartUp, AsksThenStartsTheLibraryCutsTheSheetsAndLoads) {
    for (int answer : {6 /* IDYES */, 7 /* IDNO */}) {
        ResetGameWorld();
        GroundEnemySprites[63][15] = 5;
        fakeapi::messageBoxAnswer = answer;
        fakeapi::results["ApiProcessMessage"] = -1;  // the window closes on the first frame
        EXPECT_EQ(RunWinMain(), 0);

        std::vector<Call> head(fakeapi::log.begin(), fakeapi::log.begin() + 2);
        EXPECT_EQ(head[0], (Call{"ApiSetWindowCaption", {}, "ZARNOVIK"}));
        EXPECT_EQ(head[1], (Call{"MessageBoxA", {0, 0x24}, "FULL SCREEN GO|フルスクリーンで起動しますか？"}));
        const std::vector<std::string> yes = {"ApiInitializeLibrary", "ApiSetScreenMode", "ApiLoadFileToGraph"};
        const std::vector<std::string> no = {"ApiChangeWindowMode", "ApiSetWindowResizableFlag", "ApiInitializeLibrary",
                                             "ApiSetScreenMode", "ApiLoadFileToGraph"};
        EXPECT_EQ(Names(2, answer == 6 ? 3 : 5), answer == 6 ? yes : no);
        if (answer == 7) {
            EXPECT_EQ(fakeapi::log[2].args, std::vector<int64_t>{1});
            EXPECT_EQ(fakeapi::log[3].args, std::vector<int64_t>{1});
        }
        EXPECT_EQ(fakeapi::CallsOf("ApiSetScreenMode")[0].args, (std::vector<int64_t>{640, 480, 32, 60}));

        const std::vector<std::string> sheets = {"data/waku.bmp", "data/jiki.bmp", "data/bonus.bmp", "data/baku.BMP",
                                                 "data/teki.bmp", "data/teki2.bmp", "data/boss.bmp", "data/boss2.bmp",
                                                 "data/tama_01.bmp", "data/tama_02.bmp", "data/titleback.bmp"};
        EXPECT_EQ(TextsOf("ApiLoadFileToGraph"), sheets);
        EXPECT_EQ(TextsOf("ApiLoadFileToDivGraph"),
                  (std::vector<std::string>{"data/bonus.bmp", "data/font.bmp", "data/font2.bmp"}));
        EXPECT_EQ(GroundEnemySprites[63][15], 0);

        // Then the latches, the loading screen and the sounds; at the end the shutdown.
        size_t latches = 0;
        while (fakeapi::log[latches].name != "ApiGetPadInputBits") latches++;
        EXPECT_EQ(fakeapi::log[latches - 1].name, "ApiDeriveGraph");
        EXPECT_EQ(fakeapi::log[latches + 1].name, "ApiDrawScaleRotateGraph");
        EXPECT_EQ(GameState.level, 1);
        EXPECT_EQ(TextsOf("ApiLoadFileToSound").size(), 20u);
        const size_t n = fakeapi::log.size();
        EXPECT_EQ(Names(n - 3, 3),
                  (std::vector<std::string>{"ApiDeleteAllGraphs", "ApiDeleteAllSounds", "ApiTerminateLibrary"}));
        EXPECT_TRUE(fakeapi::CallsOf("ApiPresentScreen").empty());
    }
}

TEST_F(StartUp, ALibraryThatFailsToStartEndsTheProgramAtOnce) {
    fakeapi::results["ApiInitializeLibrary"] = -1;
    EXPECT_EQ(RunWinMain(), -1);
    EXPECT_EQ(fakeapi::log.back().name, "ApiInitializeLibrary");
}

TEST_F(StartUp, WithoutSoundNothingIsLoadedOrDeleted) {
    qztest::WriteWholeFile("soundon.txt", "0\r\n");
    fakeapi::results["ApiProcessMessage"] = -1;
    EXPECT_EQ(RunWinMain(), 0);
    EXPECT_TRUE(fakeapi::CallsOf("ApiLoadFileToSound").empty());
    EXPECT_TRUE(fakeapi::CallsOf("ApiDeleteAllSounds").empty());
    EXPECT_EQ(fakeapi::log.back().name, "ApiTerminateLibrary");
}

TEST_F(StartUp, AButtonHeldThroughStartUpSelectsNothing) {
    fakeapi::pad = [] { return fakeapi::presents < 3 ? kPadButton1 : 0; };
    ScriptKeys({{6, {kKeyEscape}}});
    EXPECT_EQ(RunWinMain(), 0);
    EXPECT_EQ(GameState.menuState, 0);
    EXPECT_EQ(fakeapi::presents, 7);
    for (const Call& call : fakeapi::CallsOf("ApiPlaySoundHandle")) EXPECT_NE(call.args[0], GameSoundHandles[kSoundCursol]);
}

TEST_F(StartUp, SpaceInAStageReturnsToTheTitleAndEscEndsTheProgramWithoutSaving) {
    struct Case {
        std::map<int, std::set<int>> keys;
        int presents;
    } cases[] = {
        {{{300, {kKeySpace}}, {301, {}}, {310, {kKeyEscape}}}, 311},  // Space, then Esc on the title
        {{{300, {kKeyEscape}}}, 301},                                 // Esc in the stage
    };
    for (const Case& c : cases) {
        ResetGameWorld();
        GameState.soundMode = 1;
        // START, NORMAL, then fire and move.
        fakeapi::pad = [] {
            const int f = fakeapi::presents;
            return f == 2 || f == 4 ? kPadButton1 : f > 200 ? kPadButton1 | kPadLeft : 0;
        };
        ScriptKeys(c.keys);
        EXPECT_EQ(RunWinMain(), 0);
        EXPECT_EQ(fakeapi::presents, c.presents);
        EXPECT_EQ(TextsOf("ApiLoadFileToGraph").back(), "data/haikei3.bmp");  // the stage was entered
        EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    }
}

TEST_F(StartUp, EndFrameWaitsUntil17MillisecondsHavePassedAlsoAcrossTheWrap) {
    struct Case {
        uint32_t previous, now, step;
        uint32_t stored;
    } cases[] = {
        {1000, 1000, 1, 1018},             // 17 reads to reach 1017, then a fresh one
        {1000, 1016, 1, 1018},
        {1000, 1017, 1, 1018},             // already past: one read to see it, one to store
        {1000, 5000, 1, 5001},
        {0xFFFFFFF8u, 0xFFFFFFF8u, 1, 10},  // the wait ends after the wrap
        {0xFFFFFFFFu, 0xFFFFFFF0u, 5, 0xFFFFFFF5u},  // a reading behind the previous one does not wait
    };
    for (const Case& c : cases) {
        fakeapi::Reset();
        GameState.frameClock = static_cast<int32_t>(c.previous);
        fakeapi::clockNow = c.now;
        fakeapi::clockStep = c.step;
        EXPECT_EQ(EndFrame(), 0);
        EXPECT_EQ(static_cast<uint32_t>(GameState.frameClock), c.stored) << c.previous << " " << c.now;
        EXPECT_EQ(Names(0, 4), (std::vector<std::string>{"ApiProcessMessage", "ApiPresentScreen", "ApiSelectDrawTarget",
                                                         "ApiClearDrawTarget"}));
        EXPECT_EQ(fakeapi::log[2].args, std::vector<int64_t>{-2});
    }
}

TEST_F(StartUp, EndFrameOnAClosedWindowSetsTheQuitValuesAndPresentsNothing) {
    GameState.stage = 3;
    fakeapi::results["ApiProcessMessage"] = -1;
    EXPECT_EQ(EndFrame(), -1);
    EXPECT_EQ(GameState.quitRequest, 1);
    EXPECT_EQ(GameState.stageEnd, 1);
    EXPECT_EQ(GameState.quit, 1);
    EXPECT_EQ(GameState.stage, 0);
    EXPECT_EQ(fakeapi::log.size(), 1u);
}

}  // namespace

}  // namespace StartUp_test
