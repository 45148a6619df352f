// Device-loss recovery through the platform's test controls: in full screen the display is
// taken away (focus lost, every surface lost) and given back (focus regained); in window
// mode the desktop's mode changes. Every graphic keeps its handle and gets its pixels back
// from its file, the graphics cut from one sheet with one decode.
#include <cstdio>
#include <string>
#include <vector>

#include "GraphFixture.h"
#include "QzDrawPresent.h"
#include "QzDrawScreenMode.h"
#include "QzGraphicsDraw.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsRecovery.h"
#include "QzWinMessage.h"
#include "QzWinWindow.h"

namespace QzGraphicsRecovery_test {

namespace {

int g_customRuns = 0;
int CustomHandler() {
    ++g_customRuns;
    return 0;
}

class RecoveryTest : public GraphTest {
protected:
    // The sheet cut in two, a single picture, a blank graphic; none of them holds black.
    void SetUpGraphics(int windowMode) {
        qztest::WriteWholeFile(dir.file("sheet.bmp"), Sheet(64, 32));
        std::vector<uint32_t> single;
        for (int i = 0; i < 16 * 16; ++i) single.push_back(0x2080E0u + (uint32_t)i);
        qztest::WriteWholeFile(dir.file("single.bmp"), Bmp(16, 16, single));
        Start(windowMode);
        ASSERT_EQ(SetScreenMode(640, 480, 32, 60), 0);
        ASSERT_EQ(LoadFileToDivGraph("sheet.bmp", 2, 2, 1, 32, 32, pieces), 0);
        single_ = LoadFileToGraph("single.bmp");
        blank_ = CreateBlankGraph(8, 8);
        ASSERT_GE(single_, 0);
        ASSERT_GE(blank_, 0);
        FillGraphColor(blank_, 90, 60, 30, 255);
        before_ = Draw();
        ASSERT_NE(At(before_, 10, 10), 0u);
        logBefore_ = Log().size();
    }
    std::vector<uint32_t> Draw() {
        SelectDrawTarget(kDrawTargetBack);
        ClearDrawTarget();
        DrawPlainGraph(0, 0, pieces[0], 1);
        DrawPlainGraph(40, 0, pieces[1], 1);
        DrawPlainGraph(80, 0, single_, 1);
        DrawPlainGraph(100, 0, blank_, 1);
        return BackScreen();
    }
    // Takes the display away and gives it back the way the mode calls for.
    void LoseAndRegain(int windowMode) {
        HWND window = GetMainWindowHwnd();
        if (windowMode) {
            ptest::MarkAllSurfacesLost();
            ptest::InjectDisplayChange(1024, 768, 32);
        } else {
            ptest::InjectFocus(window, false);
            ptest::MarkAllSurfacesLost();
            ptest::InjectFocus(window, true);
        }
        for (int i = 0; i < 5; ++i) ApiProcessMessage();
    }
    std::string NewLog() const { return Log().substr(logBefore_); }

    int pieces[2] = {-1, -1};
    int single_ = -1, blank_ = -1;
    std::vector<uint32_t> before_;
    size_t logBefore_ = 0;
};

TEST_F(RecoveryTest, EveryGraphicComesBackInBothModes) {
    for (int windowMode : {0, 1}) {
        SCOPED_TRACE(windowMode ? "window mode" : "full screen");
        if (windowMode == 1) {
            // Each mode needs a library of its own: the first run ends here.
            LeaveLibraryLock();
            locked_ = false;
            ApiTerminateLibrary();
        }
        SetUpGraphics(windowMode);
        LoseAndRegain(windowMode);
        const std::string log = NewLog();
        EXPECT_EQ(Count(log, "グラフィックを復帰します\r\n"), 1) << log;
        EXPECT_EQ(Count(log, "ファイル:sheet.bmp をロードします"), 1);
        EXPECT_EQ(Count(log, "ファイル:single.bmp をロードします"), 1);
        for (int h : {pieces[0], pieces[1], single_, blank_}) EXPECT_NE(GetGraphData(h), nullptr);
        EXPECT_EQ(GetGraphData(blank_)->needsRestore, 1);
        EXPECT_EQ(GetGraphData(pieces[1])->needsRestore, 0);
        // The blank graphic is not reloaded: fill it again as its owner would.
        FillGraphColor(blank_, 90, 60, 30, 255);
        const std::vector<uint32_t> after = Draw();
        ASSERT_EQ(after.size(), before_.size());
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 110; ++x) ASSERT_EQ(At(after, x, y), At(before_, x, y)) << x << "," << y;
    }
}

TEST_F(RecoveryTest, AMissingFileIsLoggedAndTheOthersComeBack) {
    SetUpGraphics(1);
    std::remove(dir.file("single.bmp").c_str());
    LoseAndRegain(1);
    const std::string log = NewLog();
    EXPECT_EQ(Count(log, "ファイル:single.bmp がロードできませんでした"), 1) << log;
    EXPECT_EQ(Count(log, "ファイル:sheet.bmp をロードします"), 1);
    const std::vector<uint32_t> after = Draw();
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 72; ++x) ASSERT_EQ(At(after, x, y), At(before_, x, y)) << x << "," << y;
    // The lost picture that could not be reloaded shows: its pixels are gone.
    EXPECT_NE(At(before_, 85, 5), 0u);
    EXPECT_EQ(At(after, 85, 5), 0u);
}

// A sheet that shrank no longer covers its second piece: that piece is skipped.
TEST_F(RecoveryTest, AFileThatNoLongerCoversAGraphicIsSkipped) {
    SetUpGraphics(1);
    qztest::WriteWholeFile(dir.file("sheet.bmp"), Sheet(40, 32));
    LoseAndRegain(1);
    const std::string log = NewLog();
    EXPECT_EQ(Count(log, "ファイル:sheet.bmp をロードします"), 1);
    EXPECT_EQ(Count(log, "ファイル:sheet.bmp がロードできませんでした"), 1) << log;
}

TEST_F(RecoveryTest, AHandlerSetRunsInsteadOfTheReload) {
    SetUpGraphics(1);
    g_customRuns = 0;
    ASSERT_EQ(SetGraphRecoveryHandler(CustomHandler), 0);
    EXPECT_EQ(HasGraphRecoveryHandler(), 1);
    LoseAndRegain(1);
    EXPECT_EQ(g_customRuns, 1);
    EXPECT_EQ(Count(NewLog(), "グラフィックを復帰します"), 0);
    EXPECT_EQ(GetGraphData(single_)->needsRestore, 1) << "the handler did not reload it";
    SetGraphRecoveryHandler(nullptr);
}

}  // namespace

}  // namespace QzGraphicsRecovery_test
