// The message pump and the message thread: six messages a call, the screen saver first,
// a call from another thread, the inactive window's wait, the end, and the message
// thread's upkeep.
#include <atomic>
#include <mutex>
#include <thread>

#include "LibraryFixture.h"
#include "QzGraphicsHandle.h"
#include "QzInputKey.h"
#include "QzWinMemory.h"
#include "QzSoundData.h"
#include "QzSoundSystem.h"
#include "QzWinMessage.h"
#include "QzWinWindow.h"
#include "platform/win32.h"

namespace QzWinMessage_test {

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

// A 20-second stream sound, playing. On a device held still, each pump tail's refill
// moves its write position on by one step of 1/8 s while the writer leads the cursor by
// three to four seconds, so the steps count the tails.
class StreamTail {
public:
    StreamTail(const qztest::TempDir& dir, bool holdStill) {
        if (holdStill) ptest::PullAudio(0);
        const uint32_t rate = 8000;
        std::string wave = "RIFF....WAVEfmt ";
        const uint32_t fmt[4] = {16, 1 | 1u << 16, rate, rate * 2};
        const uint32_t tail[2] = {2 | 16u << 16, 0x61746164};  // 2-byte frames, 16 bits, "data"
        const uint32_t bytes = rate * 2 * 20;
        wave.append(reinterpret_cast<const char*>(fmt), sizeof fmt).append(reinterpret_cast<const char*>(tail), sizeof tail);
        wave.append(reinterpret_cast<const char*>(&bytes), 4).append(bytes, '\x10');
        qztest::WriteWholeFile(dir.file("long.wav"), wave);
        EnterLibraryLock();
        g_soundSystem.createType = 2;
        const int handle = LoadFileToSound("long.wav", 1);
        g_soundSystem.createType = 0;
        PlaySoundHandle(handle, 1, 1);
        sound = GetSoundData(handle);
        LeaveLibraryLock();
    }
    // Under the library lock: the cursor three seconds behind the writer, so the next
    // eight refills write one step each.
    void Arm() {
        const int r = sound->ringSize;
        sound->buffers[0]->SetCurrentPosition((sound->writePos - 3 * sound->bytesPerSecond + r) % r);
        start_ = sound->writePos;
    }
    int Runs() const {
        const int r = sound->ringSize;
        return ((sound->writePos - start_) % r + r) % r / (sound->bytesPerSecond / 8);
    }
    int SecondsDelivered() const { return __atomic_load_n(&sound->sourcePos, __ATOMIC_ACQUIRE) / sound->bytesPerSecond; }

    SoundData* sound = nullptr;

private:
    int start_ = 0;
};

// An active text input of 16 bytes in slot 0, as an application would have made it: the
// pump's upkeep edits it from the typed bytes.
TextInputData* StartTextInput() {
    EnterLibraryLock();
    TextInputData& r = g_keyInput.records[0];
    r.inUse = 1;
    r.maxLength = 16;
    r.text = static_cast<char*>(AllocZeroedMemory(r.maxLength + 1, "test", 0));
    g_keyInput.activeHandle = MakeHandle(kHandleKindTextInput, 0, r.check);
    LeaveLibraryLock();
    return &r;
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

// Only the head of the queue is looked at: a screen-saver request at the head is taken
// at once, one behind other messages waits its turn.
TEST_F(RecordingPumpTest, AScreenSaverRequestIsTakenWhenItIsTheHeadMessage) {
    const std::pair<UINT, WPARAM> screenSaver{WM_SYSCOMMAND, SC_SCREENSAVE};
    Locked([] {
        PostMessageA(GetMainWindowHwnd(), WM_SYSCOMMAND, SC_SCREENSAVE, 0);
        for (int i = 0; i < 2; ++i) PostMessageA(GetMainWindowHwnd(), WM_USER + i, 0, 0);
        return 0;
    });
    ApiProcessMessage();
    std::vector<std::pair<UINT, WPARAM>> seen = TakeSeen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], screenSaver);
    Locked([] {
        for (int i = 0; i < 3; ++i) PostMessageA(GetMainWindowHwnd(), WM_USER + i, 0, 0);
        PostMessageA(GetMainWindowHwnd(), WM_SYSCOMMAND, SC_SCREENSAVE, 0);
        return 0;
    });
    ApiProcessMessage();
    seen = TakeSeen();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].first, static_cast<UINT>(WM_USER));
    EXPECT_EQ(seen[3], screenSaver);
}

TEST_F(RecordingPumpTest, ACallFromAnotherThreadDispatchesNothingAndRunsTheTailOnce) {
    Locked([] { return PostMessageA(GetMainWindowHwnd(), WM_USER + 1, 0, 0); });
    StreamTail stream(dir, true);
    ASSERT_NE(stream.sound, nullptr);
    int tailRuns = -1, result = -1;
    std::thread other([&] {
        // Under the lock the message thread cannot run its own upkeep in between.
        EnterLibraryLock();
        stream.Arm();
        result = ProcessMessage();
        tailRuns = stream.Runs();
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
    // In full screen the display mode was changed: the recovery handler that start-up
    // installs lets the lost focus wait rather than close the window.
    // A stream sound whose first fill holds four seconds.
    StreamTail stream(dir, false);
    ASSERT_NE(stream.sound, nullptr);
    ptest::InjectFocus(window, false);
    // Another thread gives the focus back once the waiting pump has kept the stream
    // sound going past what its first fill held.
    std::thread other([&] {
        while (stream.SecondsDelivered() < 6) std::this_thread::yield();
        ptest::InjectFocus(window, true);
    });
    EXPECT_EQ(ApiProcessMessage(), 0);
    other.join();
    EXPECT_EQ(IsWindowActive(), 1);
    EXPECT_GE(stream.SecondsDelivered(), 6);
}

TEST_F(RecordingPumpTest, AfterTheWindowIsDestroyedEveryCallEndsAndTheThreadFinishes) {
    Locked([] { return PostMessageA(GetMainWindowHwnd(), WM_CLOSE, 0, 0); });
    EXPECT_EQ(ApiProcessMessage(), -1);
    EXPECT_EQ(ApiProcessMessage(), -1);
    while (__atomic_load_n(&g_windowSystem.messageThreadFinished, __ATOMIC_ACQUIRE) == 0)
        std::this_thread::yield();
    EXPECT_EQ(ApiProcessMessage(), -1);
}

TEST_F(RecordingPumpTest, TheMessageThreadRunsTheUpkeepWhileTheMainThreadIsAway) {
    TextInputData* input = StartTextInput();
    Locked([] {
        for (char c : std::string("abc")) PushInputChar(c);
        return 0;
    });
    // The main thread never pumps here: the message thread's upkeep edits the text.
    for (;;) {
        std::string text = Locked([&] { return std::string(input->text); });
        if (text == "abc") break;
        std::this_thread::yield();
    }
    EXPECT_EQ(g_windowSystem.messageThreadFinished, 0);
}

}  // namespace

}  // namespace QzWinMessage_test
