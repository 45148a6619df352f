// The main window's procedure: closing, Alt+Enter, aspect-kept sizing, the screen saver,
// dropped files, display changes and the keys that reach the character buffer.
#include <cstdio>

#include "LibraryFixture.h"
#include "QzInputKey.h"
#include "QzWinMessage.h"
#include "QzWinWindow.h"
#include "platform/win32.h"

namespace QzWinProc_test {

namespace {

using WindowProcTest = LibraryTest;

int g_switches = 0;
int g_switchArg = 0;
void CountSwitch(int arg) {
    ++g_switches;
    g_switchArg = arg;
}

TEST_F(WindowProcTest, CloseFromTheSystemMenuEndsThePump) {
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    HWND window = GetMainWindowHwnd();
    ptest::InjectClose(window);
    EXPECT_EQ(ApiProcessMessage(), -1);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(g_windowSystem.endingFlag, 4) << "a close outside the end sequence";
    EXPECT_EQ(g_windowSystem.windowDestroyed, 1);
    EXPECT_EQ(ApiProcessMessage(), -1);
    std::string missing;
    EXPECT_TRUE(InOrder(Log(),
                        {"ウインドウを閉じようとしています\r\n", "ウインドウが破棄されようとしています\r\n",
                         "ソフトを終了する準備が整いました\r\n"},
                        &missing))
        << missing;
    EXPECT_EQ(ApiTerminateLibrary(), 0);
    EXPECT_NE(Log().find("Total size:0(0.000kb)  Alloc num:0"), std::string::npos);
}

TEST_F(WindowProcTest, AltEnterSwitchesTheModeOnlyWhenAllowed) {
    for (int allowed : {0, 1}) {
        SCOPED_TRACE(allowed ? "allowed" : "not allowed");
        g_switches = 0;
        g_windowSystem.modeSwitchAllowed = allowed;
        g_windowSystem.modeSwitchCallback = CountSwitch;
        g_windowSystem.modeSwitchCallbackArg = 77;
        ApiChangeWindowMode(1);
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        ptest::InjectKey(GetMainWindowHwnd(), ptest::key::Enter, true, true);
        ptest::InjectKey(GetMainWindowHwnd(), ptest::key::Enter, false, true);
        ApiProcessMessage();  // WM_SYSCHAR asks for the switch
        EXPECT_EQ(g_windowSystem.windowMode, 1);
        ApiProcessMessage();  // the next pump makes it
        EXPECT_EQ(g_windowSystem.windowMode, allowed ? 0 : 1);
        EXPECT_EQ(g_switches, allowed);
        if (allowed) {
            EXPECT_EQ(g_switchArg, 77);
        }
        ApiTerminateLibrary();
    }
}

TEST_F(WindowProcTest, SizingKeepsTheScreensAspect) {
    struct Case {
        const char* name;
        WPARAM edge;
        int width, height;  // the dragged client size
        int expectedWidth, expectedHeight;
        double scale;
    };
    const Case cases[] = {
        {"right edge", WMSZ_RIGHT, 800, 480, 800, 600, 1.25},
        {"top edge", WMSZ_TOP, 640, 720, 960, 720, 1.5},
        {"corner, wider", WMSZ_BOTTOMRIGHT, 1000, 600, 1000, 750, 1.5625},
        {"corner, taller", WMSZ_TOPLEFT, 700, 900, 1200, 900, 1.875},
    };
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    HWND window = GetMainWindowHwnd();
    RECT outer, client;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    const int borderWidth = (outer.right - outer.left) - client.right;
    const int borderHeight = (outer.bottom - outer.top) - client.bottom;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RECT rect = {100, 100, 100 + c.width + borderWidth, 100 + c.height + borderHeight};
        Locked([&] { return SendMessageA(window, WM_SIZING, c.edge, reinterpret_cast<LPARAM>(&rect)); });
        EXPECT_EQ(rect.right - rect.left - borderWidth, c.expectedWidth);
        EXPECT_EQ(rect.bottom - rect.top - borderHeight, c.expectedHeight);
        EXPECT_EQ(rect.left, 100);
        EXPECT_EQ(rect.top, 100);
        EXPECT_DOUBLE_EQ(g_windowSystem.windowScale, c.scale);
    }

    // A user's drag takes the same way and leaves the window at the kept aspect.
    g_windowSystem.windowScale = 1.0;
    ptest::InjectResize(window, 800, 500);
    ApiProcessMessage();
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);
}

TEST_F(WindowProcTest, TheScreenSaverNeverStartsAndUnknownSocketsAreReported) {
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    EXPECT_EQ(Locked([] { return SendMessageA(GetMainWindowHwnd(), WM_SYSCOMMAND, SC_SCREENSAVE, 0); }), 1);
    EXPECT_FALSE(ptest::IsScreenSaverEnabled()) << "switched off while the library runs";
    // No connection exists, so a socket notification finds none.
    EXPECT_EQ(Locked([] { return SendMessageA(GetMainWindowHwnd(), WM_USER + 0x105, 3, 1); }), 0);
    EXPECT_EQ(Count(Log(), "通信エラー No.1\r\n"), 1);
}

// With the system keys off on an NT system, each activation loads the hook library; one
// that gives no hook (here a library without the hook function) is freed again at once.
TEST_F(WindowProcTest, AHookLibraryThatGivesNoHookIsFreedOnEveryActivation) {
    std::snprintf(g_windowSystem.hookDllName, sizeof g_windowSystem.hookDllName, "%s", "DSOUND.DLL");
    g_windowSystem.systemKeysOff = 1;
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    g_windowSystem.osCode = 0x104;
    const int loaded = ptest::GetLoadedModuleCount();
    HWND window = GetMainWindowHwnd();
    for (int i = 0; i < 3; ++i) {
        SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
        SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
    }
    EXPECT_EQ(ptest::GetLoadedModuleCount(), loaded);
    EXPECT_EQ(g_windowSystem.hookDll, nullptr);
    ApiTerminateLibrary();
}

TEST_F(WindowProcTest, DroppedNamesAreKeptUpToAThousandAsTrackedBlocks) {
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    std::vector<std::string> names;
    for (int i = 0; i < 1001; ++i) names.push_back("file" + std::to_string(i) + ".txt");
    HDROP drop = ptest::MakeDrop(names);
    int blocksBefore = g_windowSystem.tracker.count;
    Locked([&] { return SendMessageA(GetMainWindowHwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0); });
    ASSERT_EQ(g_windowSystem.droppedFileCount, 1000);
    EXPECT_STREQ(g_windowSystem.droppedFiles[0], "file0.txt");
    EXPECT_STREQ(g_windowSystem.droppedFiles[999], "file999.txt");
    EXPECT_EQ(g_windowSystem.tracker.count, blocksBefore + 1000);
    EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0), 0u) << "the drop was finished";
    ApiTerminateLibrary();
    EXPECT_NE(Log().find("Total size:0(0.000kb)  Alloc num:0"), std::string::npos) << "freed at the end";
}

TEST_F(WindowProcTest, ADisplayChangeRebuildsOrClosesTheWindow) {
    struct Case {
        const char* name;
        int width, height, depth;
        bool closes, rebuilds;
    };
    // The screen is 640 x 480 at the null desktop's 32 bits (window mode takes the
    // desktop's depth). Start-up installs the default recovery handler, whose reload
    // shows each rebuild in the log.
    const Case cases[] = {
        {"larger desktop", 1024, 768, 32, false, true},
        {"24-bit desktop", 1024, 768, 24, true, false},
        {"8-bit desktop under a 32-bit screen", 1024, 768, 8, true, false},
        {"smaller desktop", 600, 400, 32, true, false},
        {"the screen's own mode", 640, 480, 32, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ApiChangeWindowMode(1);
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        const std::string before = Log();
        // Two changes in one round: the window is asked to close once.
        ptest::InjectDisplayChange(c.width, c.height, c.depth);
        ptest::InjectDisplayChange(c.width, c.height, c.depth);
        ApiProcessMessage();
        std::string log = Log().substr(before.size());
        EXPECT_EQ(Count(log, "ウインドウを閉じようとしています"), c.closes ? 1 : 0);
        EXPECT_EQ(Count(log, "またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します\r\n"),
                  c.closes ? 2 : 0);
        EXPECT_EQ(IsWindow(GetMainWindowHwnd()), c.closes ? FALSE : TRUE);
        EXPECT_EQ(g_windowSystem.displayChangeSeen, c.closes ? 0 : 1);
        EXPECT_EQ(Count(log, "グラフィックを復帰します\r\n"), c.rebuilds ? 2 : 0);
        ApiTerminateLibrary();
    }
}

TEST_F(WindowProcTest, KeysAndTextReachTheCharacterBuffer) {
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    HWND window = GetMainWindowHwnd();
    for (int key : {ptest::key::Enter, ptest::key::Escape, ptest::key::Backspace, ptest::key::Left,
                    ptest::key::Right, ptest::key::Up, ptest::key::Down, ptest::key::Delete}) {
        ptest::InjectKey(window, key, true);
        ptest::InjectKey(window, key, false);
    }
    ptest::InjectText(window, reinterpret_cast<const char*>(u8"ア"));
    for (int i = 0; i < 10; ++i) ApiProcessMessage();
    // Nothing edits text, so the bytes wait in the ring.
    std::vector<int> ring = Locked([] {
        std::vector<int> bytes;
        for (int at = g_keyInput.readPosition; at != g_keyInput.writePosition; at = (at + 1) % kInputRingSlots)
            bytes.push_back(g_keyInput.ring[at]);
        return bytes;
    });
    EXPECT_EQ(ring, (std::vector<int>{13, 27, 8, 0x1D, 0x1C, 0x1E, 0x1F, 0x10, 0x83, 0x41}));
}

}  // namespace

}  // namespace QzWinProc_test
