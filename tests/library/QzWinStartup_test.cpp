// The library's start-up and end: the order of the log, the 24-bit refusal, failures on
// the way up, a second instance, a second start-up, a fatal error inside the end, and
// repeated start and end in one process.
#include <sys/wait.h>
#include <unistd.h>

#include "LibraryFixture.h"
#include "QzDrawScreen.h"
#include "QzWinLog.h"
#include "QzWinStartup.h"
#include "QzWinWindow.h"
#include "platform/win32.h"

namespace QzWinStartup_test {

namespace {

using StartupTest = LibraryTest;

std::string CurrentDirectory() {
    char buffer[MAX_PATH];
    GetCurrentDirectoryA(sizeof buffer, buffer);
    return buffer;
}

TEST_F(StartupTest, ANormalStartAndEndLogsInOrderAndLeavesNothing) {
    for (int cycle = 0; cycle < 3; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        ApiChangeWindowMode(1);
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        HWND window = GetMainWindowHwnd();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(ptest::GetWindowView(window).shown);
        const std::string startupDir = g_windowSystem.startupDir;
        SetCurrentDirectoryA("..");

        EXPECT_EQ(ApiTerminateLibrary(), 0);
        std::string log = Log();
        std::string missing;
        EXPECT_TRUE(InOrder(log,
                            {"システムの情報を出力します", "ＣＯＭの初期化... 成功しました\r\n",
                             "ソフトの２重起動検査... ２重起動はされていませんでした\r\n",
                             "ウインドウクラスを登録します... 登録に成功しました\r\n",
                             "ウインドウモード起動用のウインドウを作成します\r\n", "タイマーの精度を検査します\r\n",
                             "精度結果 更新回数", "ＣＯＭを終了... 完了\r\n", "Alloc memory dump"},
                            &missing))
            << "missing or out of order: " << missing;
        // The empty dump is the end: its total, then the empty line the dump closes with.
        const std::string total = "Total size:0(0.000kb)  Alloc num:0\r\n";
        size_t at = log.rfind(total);
        ASSERT_NE(at, std::string::npos);
        std::string rest = log.substr(at + total.size());
        EXPECT_EQ(rest.find(':'), rest.size() - 3) << "only the closing line follows: " << rest;
        EXPECT_EQ(rest.substr(rest.size() - 2), "\r\n");

        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(g_windowSystem.messageThreadFinished, 1);
        EXPECT_EQ(g_windowSystem.messageThread, nullptr);
        EXPECT_EQ(CurrentDirectory(), startupDir) << "the start-up directory is current again";
        EXPECT_TRUE(ptest::IsScreenSaverEnabled());
        EXPECT_EQ(ReadLockState(&g_windowSystem.lock).created, 0);
    }
}

TEST_F(StartupTest, TwentyFourBitDesktopsAndScreensAreRefusedWhereTheyMatter) {
    struct Case {
        const char* name;
        int desktopDepth;
        int windowMode;
        int requestedDepth;  // 0: unset, which reads 16
        int expected;
    };
    const Case cases[] = {
        {"24-bit desktop, window", 24, 1, 0, -1},
        {"24-bit desktop, full screen", 24, 0, 0, 0},
        {"24-bit desktop, full screen, 32-bit screen", 24, 0, 32, 0},
        {"32-bit desktop, window, 24-bit screen", 32, 1, 24, -1},
        {"32-bit desktop, full screen, 24-bit screen", 32, 0, 24, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ptest::SetDesktopDepth(c.desktopDepth);
        g_screen.graphicsBitDepth = c.requestedDepth;
        ApiChangeWindowMode(c.windowMode);
        EXPECT_EQ(ApiInitializeLibrary(), c.expected);
        if (c.expected == 0) {
            EXPECT_NE(GetMainWindowHwnd(), nullptr);
            ApiTerminateLibrary();
        } else {
            EXPECT_EQ(GetMainWindowHwnd(), nullptr) << "no window is made";
            EXPECT_NE(Log().find("ＱＺライブラリは２４ビットカラーモードに対応していません\r\n"), std::string::npos);
            EXPECT_EQ(Log().find("Alloc memory dump"), std::string::npos) << "the refusal runs no end sequence";
            DestroyLibraryLock(false);
        }
    }
}

TEST_F(StartupTest, AComFailureRunsTheEndSequence) {
    const std::string startupDir = CurrentDirectory();
    ptest::FailCall("CoInitialize");
    EXPECT_EQ(ApiInitializeLibrary(), -1);
    std::string log = Log();
    std::string missing;
    EXPECT_TRUE(InOrder(log, {"ＣＯＭの初期化... ＣＯＭの初期化に失敗しました\r\n", "Alloc memory dump"}, &missing))
        << missing;
    EXPECT_EQ(Count(log, "ＣＯＭを終了"), 0);
    EXPECT_EQ(CurrentDirectory(), startupDir);
    EXPECT_EQ(GetMainWindowHwnd(), nullptr);
    EXPECT_EQ(Locked([] { return TerminateLibrary(); }), 0) << "ending again is harmless";
}

TEST_F(StartupTest, ASecondInstanceIsRefused) {
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Another process of the same user with a window of the library's class.
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "QzLib";
        RegisterClassExA(&wc);
        HWND window = CreateWindowExA(0, "QzLib", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        char byte = window ? 'y' : 'n';
        if (write(ready[1], &byte, 1) != 1) _exit(2);
        if (read(release[0], &byte, 1) != 1) _exit(3);
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');

    EXPECT_EQ(ApiInitializeLibrary(), -1);
    EXPECT_NE(Log().find("ソフトの２重起動検査... ２重起動されています、ソフトを終了します\r\n"), std::string::npos);
    EXPECT_NE(Log().find("Alloc memory dump"), std::string::npos);
    EXPECT_EQ(GetMainWindowHwnd(), nullptr);

    ASSERT_EQ(write(release[1], "x", 1), 1);
    int status = 0;
    waitpid(child, &status, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
}

TEST_F(StartupTest, AFailingSoundStartIsSurvived) {
    ptest::FailCall("SoundDevice");
    EXPECT_EQ(ApiInitializeLibrary(), 0);
    EXPECT_NE(Log().find("初期化に失敗しました"), std::string::npos);
    EXPECT_NE(Log().find("DirectDraw 関連の初期化は正常に終了しました"), std::string::npos);
    EXPECT_NE(Log().find("文字コードバッファの初期化を行います... 完了しました\r\n"), std::string::npos)
        << "the start-up went on to the key input";
}

TEST_F(StartupTest, ASecondStartUpIsRefusedAndTouchesNothing) {
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    HWND window = GetMainWindowHwnd();
    const std::string before = Log();
    EXPECT_EQ(ApiInitializeLibrary(), -1);
    EXPECT_EQ(GetMainWindowHwnd(), window);
    EXPECT_TRUE(IsWindow(window));
    const std::string after = Log();
    EXPECT_EQ(after.substr(0, before.size()), before) << "the running log is not recreated";
    EXPECT_EQ(Count(after, "Alloc memory dump"), 0);
    EXPECT_EQ(Count(after, "ＣＯＭの初期化"), 1);
    EXPECT_EQ(g_windowSystem.libraryInitialized, 1);
}

TEST_F(StartupTest, AFatalErrorInsideTheEndExitsOnceWithoutASecondEnd) {
    // The child is forked (the default style), so it writes this test's folder.
    auto run = [] {
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        // The window is destroyed inside the end; the program's message callback sees it.
        g_windowSystem.userMessageCallback = [](HWND, UINT message, WPARAM, LPARAM) {
            if (message == WM_DESTROY) ExitWithFatalError("終了できません");
        };
        ApiTerminateLibrary();
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(255), "");
    std::string log = Log();
    EXPECT_EQ(Count(log, "終了できません\r\n"), 1);
    EXPECT_EQ(Count(log, "Alloc memory dump"), 0) << "no second end sequence";
    EXPECT_EQ(Count(log, "ＣＯＭを終了"), 0);
}

}  // namespace

}  // namespace QzWinStartup_test
