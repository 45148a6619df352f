// The core entry points as the game meets them: the end takes the lock with it and the
// next call makes it again; a refused start-up leaves the lock free and no window; the
// millisecond clock ignores its argument; Space from a scripted frame reaches the key
// flag and the pad bits on that frame only.
#include <sys/stat.h>

#include <string>

#include "LibraryFixture.h"
#include "QzWinLog.h"
#include "QzWinWindow.h"
#include "platform/winuser.h"

namespace QzApiCore_test {

namespace {

using ApiCoreTest = LibraryTest;

TEST_F(ApiCoreTest, TheEndDestroysTheLockAndTheNextCallMakesItAgain) {
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    EXPECT_EQ(ReadLockState(&g_windowSystem.lock).created, 1);

    EXPECT_EQ(ApiTerminateLibrary(), 0);
    LockSnapshot gone = ReadLockState(&g_windowSystem.lock);
    EXPECT_EQ(gone.created, 0);
    EXPECT_EQ(gone.locked, 0);

    // Any entry point will do; this one needs no library.
    ApiGetMillisecondTime(0);
    LockSnapshot again = ReadLockState(&g_windowSystem.lock);
    EXPECT_EQ(again.created, 1);
    EXPECT_EQ(again.locked, 0);
    EXPECT_EQ(again.owner, 0xFFFFFFFFu);
    EXPECT_EQ(again.recursionCount, 0);

    // And a whole start and end works on the lock made again.
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    EXPECT_EQ(ApiTerminateLibrary(), 0);
    EXPECT_EQ(ReadLockState(&g_windowSystem.lock).created, 0);
}

// In a folder that cannot be written the whole start and end go on without their log,
// and standard error says so once.
TEST_F(ApiCoreTest, AStartedLibraryThatCannotWriteItsLogSaysSoOnce) {
    const std::string errors = dir.file("errors.txt"), locks = dir.file("locks");
    ASSERT_EQ(mkdir(locks.c_str(), 0777), 0);
    ASSERT_EQ(chmod(locks.c_str(), 0777), 0);
    const int result = dir.RunReadOnly(errors, [&locks] {
        ptest::CaptureDebugOutput(false);
        ptest::SetWindowLockFolder(locks);
        // As in a new process: an earlier test's start-up folder is gone.
        g_windowSystem.startupDir[0] = '\0';
        ApiChangeWindowMode(1);
        if (ApiInitializeLibrary() != 0) return 1;
        WriteLog("after the start\n");
        return ApiTerminateLibrary() == 0 ? 0 : 2;
    });
    EXPECT_EQ(result, 0);
    const std::string told = qztest::ReadWholeFile(errors);
    EXPECT_EQ(Count(told, "AppLog.txt cannot be written (Access is denied.); the log is lost\n"), 1) << told;
}

TEST_F(ApiCoreTest, ATwentyFourBitDesktopInWindowModeIsRefusedWithTheLockFreeAndNoWindow) {
    ptest::SetDesktopDepth(24);
    ApiChangeWindowMode(1);
    EXPECT_EQ(ApiInitializeLibrary(), -1);
    const LockSnapshot s = ReadLockState(&g_windowSystem.lock);
    EXPECT_EQ(s.locked, 0);
    EXPECT_EQ(s.owner, 0xFFFFFFFFu);
    EXPECT_EQ(s.recursionCount, 0);
    EXPECT_EQ(GetMainWindowHwnd(), nullptr);
    EXPECT_EQ(FindWindowA("QzLib", nullptr), nullptr) << "no window of the library's class exists";
    EXPECT_NE(Log().find("ＱＺライブラリは２４ビットカラーモードに対応していません"), std::string::npos);
    DestroyLibraryLock(false);
}

TEST_F(ApiCoreTest, TheMillisecondClockIgnoresItsArgument) {
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    // Frozen: reads no longer move the fast clock, and other threads never do.
    ptest::SetFastClockReadStep(0);
    const int first = ApiGetMillisecondTime(0);
    EXPECT_EQ(ApiGetMillisecondTime(12345), first);
    EXPECT_EQ(ApiGetMillisecondTime(0), first);
    ptest::AdvanceFastClock(17000);
    EXPECT_EQ(ApiGetMillisecondTime(12345), first + 17);
}

TEST_F(ApiCoreTest, SpaceOnAScriptedFrameIsHeldOnThatFrameOnly) {
    qztest::WriteWholeFile(dir.file("space.txt"),
                           "100 key 39 1\n"
                           "101 key 39 0\n");
    ASSERT_TRUE(ptest::SetInputScript(dir.file("space.txt")));
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    ApiSetScreenMode(640, 480, 32, 60);
    // Start-up's own writes to the screen are presented frames; begin a little before the
    // script's frame and go on presenting as the game does.
    ASSERT_LT(ptest::GetInputFrame(), 97);
    ptest::AdvanceInputFrames(97 - ptest::GetInputFrame());
    bool sawSpaceFrame = false;
    while (ptest::GetInputFrame() <= 103) {
        ASSERT_EQ(ApiProcessMessage(), 0);
        const int frame = ptest::GetInputFrame();
        const bool held = frame == 100;
        sawSpaceFrame = sawSpaceFrame || held;
        EXPECT_EQ(ApiGetKeyPressFlag(57), held ? 1 : 0) << "frame " << frame;
        EXPECT_EQ(ApiGetPadInputBits(0x1001), held ? 0x2000 : 0) << "frame " << frame;
        EXPECT_EQ(ApiGetKeyPressFlag(1), 0) << "Esc, frame " << frame;
        ASSERT_EQ(ApiPresentScreen(), 0);
        ApiSelectDrawTarget(-2);
        ApiClearDrawTarget();
    }
    EXPECT_TRUE(sawSpaceFrame) << "every present is one frame, so frame 100 comes round";
}

}  // namespace

}  // namespace QzApiCore_test
