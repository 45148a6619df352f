// The message pump and the message thread: six messages a call, the screen saver first,
// a call from another thread, the inactive window's wait, the end, and a nested call.
#include <atomic>
#include <mutex>
#include <thread>

#include "LibraryFixture.h"
#include "QzSoundData.h"
#include "QzSoundSystem.h"
#include "QzWinMessage.h"
#include "QzWinWindow.h"
#include "platform/win32.h"

namespace {

using PumpTest = LibraryTest;

std::mutex g_seenLock;
std::vector<std::pair<UINT, WPARAM>> g_seen;

// The user message callback sees every message the main window receives.
void Record(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_SYSCOMMAND && (message < WM_USER || message > WM_USER + 100)) return;
    std::lock_guard<std::mutex> hold(g_seenLock);
    g_seen.push_back({message, wParam});
}

std::vector<std::pair<UINT, WPARAM>> TakeSeen() {
    std::lock_guard<std::mutex> hold(g_seenLock);
    std::vector<std::pair<UINT, WPARAM>> seen;
    seen.swap(g_seen);
    return seen;
}

class RecordingPumpTest : public PumpTest {
protected:
    void SetUp() override {
        PumpTest::SetUp();
        g_windowSystem.userMessageCallback = Record;
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        TakeSeen();
    }
};

TEST_F(RecordingPumpTest, TenPostedMessagesTakeTwoCallsOfSixAndFour) {
    Locked([] {
        for (int i = 0; i < 10; ++i) PostMessageA(GetMainWindowHwnd(), WM_USER + i, 0, 0);
        return 0;
    });
    EXPECT_EQ(ApiProcessMessage(), 0);
    EXPECT_EQ(TakeSeen().size(), 6u);
    EXPECT_EQ(ApiProcessMessage(), 0);
    EXPECT_EQ(TakeSeen().size(), 4u);
}

TEST_F(RecordingPumpTest, AScreenSaverRequestPostedLastIsTakenFirst) {
    Locked([] {
        for (int i = 0; i < 3; ++i) PostMessageA(GetMainWindowHwnd(), WM_USER + i, 0, 0);
        PostMessageA(GetMainWindowHwnd(), WM_SYSCOMMAND, SC_SCREENSAVE, 0);
        return 0;
    });
    ApiProcessMessage();
    std::vector<std::pair<UINT, WPARAM>> seen = TakeSeen();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0], (std::pair<UINT, WPARAM>{WM_SYSCOMMAND, SC_SCREENSAVE}));
    EXPECT_EQ(seen[1].first, static_cast<UINT>(WM_USER));
}

TEST_F(RecordingPumpTest, ACallFromAnotherThreadDispatchesNothingAndRunsTheTailOnce) {
    Locked([] { return PostMessageA(GetMainWindowHwnd(), WM_USER + 1, 0, 0); });
    int tailRuns = -1, result = -1;
    std::thread other([&] {
        // Under the lock the message thread cannot run its own upkeep in between.
        EnterLibraryLock();
        int before = StandInCount("UpdatePadVibrationTimers");
        result = ProcessMessage();
        tailRuns = StandInCount("UpdatePadVibrationTimers") - before;
        LeaveLibraryLock();
    });
    other.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(tailRuns, 1);
    EXPECT_TRUE(TakeSeen().empty()) << "the main window's message waits for the main thread";
    ApiProcessMessage();
    EXPECT_EQ(TakeSeen().size(), 1u);
}

TEST_F(RecordingPumpTest, AnInactiveWindowHoldsTheMainThreadInThePumpUntilFocusReturns) {
    HWND window = GetMainWindowHwnd();
    // In full screen the display mode was changed: without a recovery handler the lost
    // focus would close the window instead of waiting.
    SetStandInResult("HasGraphRecoveryHandler", 1);
    // A 20-second stream sound, playing: its first fill holds four seconds.
    const int rate = 8000;
    std::string wave = "RIFF....WAVEfmt ";
    const uint32_t fmt[4] = {16, 1 | 1u << 16, rate, rate * 2};
    const uint32_t tail[2] = {2 | 16u << 16, 0x61746164};
    const uint32_t bytes = rate * 2 * 20;
    wave.append(reinterpret_cast<const char*>(fmt), sizeof fmt).append(reinterpret_cast<const char*>(tail), sizeof tail);
    wave.append(reinterpret_cast<const char*>(&bytes), 4).append(bytes, '\x10');
    qztest::WriteWholeFile(dir.file("long.wav"), wave);
    SoundData* sound = Locked([] {
        g_soundSystem.createType = 2;
        const int handle = LoadFileToSound("long.wav", 1);
        g_soundSystem.createType = 0;
        PlaySoundHandle(handle, 1, 1);
        return GetSoundData(handle);
    });
    ASSERT_NE(sound, nullptr);
    ptest::InjectFocus(window, false);
    // Another thread gives the focus back once the waiting pump has kept the stream
    // sound going past what its first fill held.
    std::thread other([&] {
        while (__atomic_load_n(&sound->sourcePos, __ATOMIC_ACQUIRE) < rate * 2 * 6) std::this_thread::yield();
        ptest::InjectFocus(window, true);
    });
    EXPECT_EQ(ApiProcessMessage(), 0);
    other.join();
    EXPECT_EQ(IsWindowActive(), 1);
    EXPECT_GE(sound->sourcePos, rate * 2 * 6);
    EXPECT_GE(StandInCount("ReacquireInputDevices"), 1);
}

TEST_F(RecordingPumpTest, AfterTheWindowIsDestroyedEveryCallEndsAndTheThreadFinishes) {
    Locked([] { return PostMessageA(GetMainWindowHwnd(), WM_CLOSE, 0, 0); });
    EXPECT_EQ(ApiProcessMessage(), -1);
    EXPECT_EQ(ApiProcessMessage(), -1);
    while (__atomic_load_n(&g_windowSystem.messageThreadFinished, __ATOMIC_ACQUIRE) == 0)
        std::this_thread::yield();
    EXPECT_EQ(ApiProcessMessage(), -1);
}

TEST_F(RecordingPumpTest, ANestedCallFromTheTextInputsUpkeepReturnsAtOnce) {
    int nested = -1;
    int nestedTailRuns = -1;
    SetStandInStep("ProcessActiveTextInput", [&] {
        int before = StandInCount("UpdatePadVibrationTimers");
        nested = ProcessMessage();
        nestedTailRuns = StandInCount("UpdatePadVibrationTimers") - before;
    });
    Locked([] { return PostMessageA(GetMainWindowHwnd(), WM_USER + 5, 0, 0); });
    EXPECT_EQ(ApiProcessMessage(), 0);
    SetStandInStep("ProcessActiveTextInput", nullptr);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(nestedTailRuns, 0);
    EXPECT_EQ(TakeSeen().size(), 1u);
}

TEST_F(RecordingPumpTest, TheMessageThreadRunsTheUpkeepWhileTheMainThreadIsAway) {
    const int before = StandInCount("UpdatePadVibrationTimers");
    while (StandInCount("UpdatePadVibrationTimers") < before + 3) std::this_thread::yield();
    EXPECT_EQ(g_windowSystem.messageThreadFinished, 0);
}

}  // namespace
