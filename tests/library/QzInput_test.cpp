// The input devices: pad bits from pads and keys, the joystick functions' scale, the key
// translation table both ways, reads once per millisecond, the DirectInput start-up's
// log and failures, the lazy start, focus, vibration and the end.
#include <string>
#include <vector>

#include "LibraryFixture.h"
#include "QzInput.h"
#include "QzWinLog.h"
#include "QzWinMessage.h"
#include "QzWinTime.h"
#include "QzWinWindow.h"
#include "platform/dinput.h"

namespace QzInput_test {

namespace {

class InputTest : public LibraryTest {
protected:
    // Holds or lets go of keys by DirectInput code, as the machine would: through the main
    // window's messages at the next pump.
    static void Keys(const std::vector<int>& diks, bool down) {
        for (int dik : diks) ptest::PressKey(dik, down);
        ApiProcessMessage();
    }
    static int Bits(int type) {
        return Locked([type] { return GetPadInputBits(type); });
    }
    static int Held(int dik) {
        return Locked([dik] { return GetKeyPressFlag(dik); });
    }
    // The log after `from`, its lines without the time prefix, tabs kept.
    std::string LogLines(size_t from) const {
        std::string log = Log().substr(from), out;
        size_t at = 0;
        while (at < log.size()) {
            size_t end = log.find("\r\n", at);
            if (end == std::string::npos) end = log.size();
            std::string line = log.substr(at, end - at);
            size_t colon = line.find(':');
            if (colon != std::string::npos && line.find_first_not_of("0123456789") == colon) line.erase(0, colon + 1);
            out += line + "\n";
            at = end + 2;
        }
        return out;
    }
};

// ---- pad bits ----------------------------------------------------------------------------------------

struct BitsCase {
    const char* name;
    int pads;
    int type;
    std::vector<std::pair<int, int>> axes;  // axis of pad 1, raw value
    std::vector<int> buttons;               // of pad 1
    std::vector<int> keys;                  // DirectInput codes held
    int bits;
};

const std::vector<BitsCase> kBitsCases = {
    {"no pad: keyboard only", 0, 0x1001, {}, {}, {DIK_Z, DIK_ESCAPE}, 0x1010},
    {"no pad: pad 1 alone", 0, 1, {}, {}, {DIK_Z}, 0},
    {"pad 5 of two", 2, 5, {{0, -32768}}, {}, {}, 0},
    {"pad 9 with the keyboard", 2, 0x1009, {{0, -32768}}, {}, {DIK_X}, 0x20},
    {"left", 1, 1, {{0, -32768}}, {}, {}, 0x2},
    {"right and down", 1, 1, {{0, 32767}, {1, 32767}}, {}, {}, 0x5},
    {"up", 1, 1, {{1, -20000}}, {}, {}, 0x8},
    {"inside the dead zone", 1, 1, {{0, 8000}, {1, -8000}}, {}, {}, 0},
    {"just past it", 1, 1, {{0, 16384}}, {}, {}, 0x4},
    {"button 0 and 23", 1, 1, {}, {0, 23}, {}, 0x10 | 0x8000000},
    {"button 24 counts for nothing", 1, 1, {}, {24, 31}, {}, 0},
    {"pad and keys merged", 1, 0x1001, {{0, -32768}}, {2}, {DIK_SPACE, DIK_W}, 0x2 | 0x40 | 0x2000 | 0x800},
    {"keypad 2", 0, 0x1001, {}, {}, {DIK_NUMPAD2}, 0x1},
    {"down arrow", 0, 0x1001, {}, {}, {DIK_DOWN}, 0x1},
    {"the other direction keys", 0, 0x1001, {}, {}, {DIK_NUMPAD4, DIK_RIGHT, DIK_NUMPAD8}, 0xE},
    {"C A S D Q", 0, 0x1000, {}, {}, {DIK_C, DIK_A, DIK_S, DIK_D, DIK_Q}, 0x40 | 0x80 | 0x100 | 0x200 | 0x400},
};

TEST_F(InputTest, PadInputBitsFromPadsAndKeys) {
    for (const BitsCase& c : kBitsCases) {
        SCOPED_TRACE(c.name);
        ptest::ResetControls();
        ptest::SetWindowLockFolder(dir.path());
        ptest::SetClockMode(ptest::ClockMode::Fast);
        ptest::SetFastClockReadStep(1000);
        ptest::CaptureDebugOutput(true);
        std::vector<int> pads;
        for (int i = 0; i < c.pads; i++) pads.push_back(ptest::AttachPad({"Pad", 2, 32}));
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        ASSERT_EQ(g_inputState.padCount, c.pads);
        for (auto [axis, raw] : c.axes) ptest::SetPadAxis(pads[0], axis, raw);
        for (int button : c.buttons) ptest::SetPadButton(pads[0], button, true);
        Keys(c.keys, true);
        EXPECT_EQ(Bits(c.type), c.bits);
        Keys(c.keys, false);
        ApiTerminateLibrary();
    }
}

// ---- the joystick functions ----------------------------------------------------------------------------

TEST_F(InputTest, JoystickPositionsScaleToAThousandWithADeadBand) {
    g_inputState.joystickApiMode = 1;
    ptest::AttachPad({"Two", 2, 24});
    const int both = ptest::AttachPad({"Four", 4, 24});
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    EXPECT_NE(Log().find("入力関連の初期化をしました\r\n"), std::string::npos);
    ASSERT_EQ(g_inputState.padCount, 2);
    EXPECT_EQ(g_inputState.pads[0].hasZAndR, 0);
    EXPECT_EQ(g_inputState.pads[1].hasZAndR, 1);
    const std::pair<int, LONG> cases[] = {{0, -1000},    {0x5000, -166}, {0x6000, 0}, {0x7000, 0}, {0x7FFF, 0},
                                          {0xA000, 0},   {0xB000, 166},  {0xFFFF, 1000}};
    for (auto [position, expected] : cases) {
        for (int axis = 0; axis < 4; axis++) ptest::SetPadAxis(both, axis, position - 32768);
        const DIJOYSTATE state = Locked([] {
            UpdatePadState(1);
            return g_inputState.pads[1].state;
        });
        EXPECT_EQ(state.lX, expected) << "position " << position;
        EXPECT_EQ(state.lY, expected) << "position " << position;
        EXPECT_EQ(state.lZ, expected) << "Z with both Z and R, position " << position;
        EXPECT_EQ(state.lRz, expected) << "R with both, position " << position;
    }
    ptest::SetPadButton(both, 3, true);
    EXPECT_EQ(Bits(2), 0x4 | 0x1 | 0x80) << "right (X), down (Y) and button 3";
    ptest::FailCall("joyGetPosEx");
    const DIJOYSTATE cleared = Locked([] {
        UpdatePadState(1);
        return g_inputState.pads[1].state;
    });
    EXPECT_EQ(cleared.lX, 0) << "a failed read clears the state";
    EXPECT_EQ(cleared.rgbButtons[3], 0);
    ApiTerminateLibrary();
    EXPECT_NE(Log().find("入力関連の終了処理... 完了\r\n"), std::string::npos);
}

// ---- the key translation table ----------------------------------------------------------------------------

TEST_F(InputTest, EveryTranslatedKeyReadsHeldBothWays) {
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    ASSERT_NE(g_inputState.keyboard, nullptr);
    for (bool windowsOnly : {false, true}) {
        Locked([windowsOnly] { return g_inputState.windowsKeysOnly = windowsOnly ? 1 : 0; });
        for (const KeyTranslation& key : kKeyTranslation) {
            Keys({key.dik}, true);
            EXPECT_EQ(Held(key.dik), 1) << std::hex << "VK " << key.virtualKey << " DIK " << key.dik
                                        << (windowsOnly ? " from Windows' state" : " through DirectInput");
            Keys({key.dik}, false);
            EXPECT_EQ(Held(key.dik), 0) << std::hex << "DIK " << key.dik;
        }
    }
    EXPECT_EQ(Held(-1), 0) << "a code outside the table";
    EXPECT_EQ(Held(256), 0);
}

// ---- reads once per millisecond ----------------------------------------------------------------------------

TEST_F(InputTest, TheKeyboardIsReadOncePerMillisecondUnlessItsEventIsSignalled) {
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    ptest::SetFastClockReadStep(0);  // the clock stands still between the test's own steps
    ptest::AdvanceFastClock(5000);
    const auto reads = [] { return ptest::GetDeviceReadCount(ptest::InputDevice::Keyboard); };
    const int start = reads();
    Held(DIK_Z);
    Held(DIK_Z);
    EXPECT_EQ(reads(), start + 1) << "two queries in one millisecond";
    Keys({DIK_Z}, true);
    EXPECT_EQ(Held(DIK_Z), 1) << "the key's change signalled the event";
    EXPECT_EQ(reads(), start + 2);
    ptest::AdvanceFastClock(1000);
    ptest::FailCall("GetDeviceState:Keyboard");
    EXPECT_EQ(Held(DIK_Z), 1);
    EXPECT_EQ(reads(), start + 4) << "a failed read acquires once and reads again";
    ptest::SetFastClockReadStep(1000);
}

// ---- start-up and its failures --------------------------------------------------------------------------

TEST_F(InputTest, AGoodStartLogsTheDirectInputBlock) {
    ptest::AttachPad({"Pad One"});
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    std::string lines = LogLines(0);
    size_t begin = lines.find("DirectInput関係初期化処理");
    size_t end = lines.find("DirectInput 関連の初期化は正常に終了しました\n");
    ASSERT_NE(begin, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(lines.substr(begin, end - begin),
              "DirectInput関係初期化処理\n"
              "\tDirectInputオブジェクトの取得中... 成功\n"
              "\t\t引き続き初期化処理... 初期化成功\n"
              "\tジョイパッドの初期化... \n"
              "\t入力装置を見つけました\n"
              "\t\tデバイスの登録名:Pad One\n"
              "\t\tデバイスの製品登録名:Pad One\n"
              "\tジョイパッドの追加は正常に終了しました\n"
              "\tジョイパッドの初期化は正常に終了しました\n"
              "\tマウスデバイスの初期化... 初期化成功\n"
              "\tキーボードデバイスの初期化... 初期化成功\n");
    EXPECT_EQ(lines[begin - 1], '\n') << "at the start-up's own level";
}

struct StartCase {
    const char* fault;
    int nth;
    int result;
    const char* logged;
    int pads;
    const char* firstPad;
};

TEST_F(InputTest, StartUpFailuresGiveTheirResultAndLine) {
    for (int i = 1; i <= 9; i++) ptest::AttachPad({"Pad " + std::to_string(i)});
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    const StartCase cases[] = {
        {"", 1, 0, "ジョイパッドの追加は正常に終了しました", 8, "Pad 1"},
        {"CreateDirectInput", 1, -1, "DirectInputオブジェクトの取得中... 取得に失敗\n", 0, ""},
        {"DirectInputInitialize", 1, -1, "\t\t引き続き初期化処理... 初期化に失敗\n", 0, ""},
        {"SetEventNotification:Keyboard", 1, 1,
         "\tキーボードデバイスの初期化... キーボードイベントのセットアップが失敗しました\n\t初期化成功\n", 8, "Pad 1"},
        {"SetProperty:Pad:RangeX", 1, 0, "\tジョイパッドデバイスのＸ軸関係の設定に失敗しました\n", 8, "Pad 2"},
        {"SetProperty:Pad:DeadZoneY", 2, 0, "\tジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました\n", 8, "Pad 1"},
        {"SetDataFormat:Pad", 1, 0, "\tジョイパッドデバイスではありませんでした、又は設定に失敗しました\n", 8, "Pad 2"},
        {"SetCooperativeLevel:Pad", 1, 0, "\tジョイパッドデバイスの協調レベルの設定に失敗しました\n", 8, "Pad 2"},
        {"SetEventNotification:Pad", 1, 0, "\tジョイパッドイベントのセットアップが失敗しました\n", 8, "Pad 2"},
        {"CreateDeviceEx:Pad", 1, 0, "\t入力装置の取得に失敗しました\n", 8, "Pad 2"},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.fault);
        Locked([] { return TerminateInputSystem(); });
        EXPECT_EQ(ptest::GetLiveInputObjects(), 0);
        const size_t before = Log().size();
        if (c.fault[0] != '\0') ptest::FailCall(c.fault, c.nth);
        EXPECT_EQ(Locked([] { return InitializeInputSystem(); }), c.result);
        ptest::ClearFaults();
        const std::string lines = LogLines(before);
        EXPECT_NE(lines.find(c.logged), std::string::npos) << lines;
        EXPECT_EQ(g_inputState.padCount, c.pads);
        if (c.pads > 0) {
            DIDEVICEINSTANCEA info = {};
            info.dwSize = sizeof info;
            g_inputState.pads[0].device->GetDeviceInfo(&info);
            EXPECT_STREQ(info.tszInstanceName, c.firstPad);
        }
        if (c.result >= 0) {
            EXPECT_NE(lines.find("\nDirectInput 関連の初期化は正常に終了しました\n"), std::string::npos)
                << "the indentation comes back: " << lines;
        }
        // Every line after the block, and after a failure, is back at the start-up's level.
        const size_t after = Log().size();
        Locked([] { return WriteLog("次の行\n"); });
        EXPECT_EQ(LogLines(after), "次の行\n");
    }
    Locked([] { return InitializeInputSystem(); });
}

TEST_F(InputTest, FailingMouseOrKeyboardSetUpEndsTheProcess) {
    const std::pair<const char*, const char*> cases[] = {
        {"CreateDeviceEx:Mouse", "マウスデバイスの取得に失敗しました"},
        {"SetDataFormat:Mouse", "マウスデバイスのデータ形式の設定に失敗しました"},
        {"SetCooperativeLevel:Mouse", "マウスデバイスの協調レベルの設定に失敗しました"},
        {"CreateDeviceEx:Keyboard", "キーボードデバイスの取得に失敗しました"},
        {"SetDataFormat:Keyboard", "キーボードデバイスのデータ形式の設定に失敗しました"},
        {"SetCooperativeLevel:Keyboard", "キーボードデバイスの協調レベルの設定に失敗しました"},
    };
    for (auto [fault, text] : cases) {
        SCOPED_TRACE(fault);
        // The child is forked (the default style), so it writes this test's folder.
        EXPECT_EXIT(
            {
                ptest::FailCall(fault);
                ApiInitializeLibrary();
            },
            ::testing::ExitedWithCode(255), "");
        EXPECT_NE(Log().find(std::string(text) + "\r\n"), std::string::npos);
    }
}

TEST_F(InputTest, AQueryBeforeTheStartStartsTheInputAndReportsNothing) {
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    Keys({DIK_Z}, true);
    Locked([] { return TerminateInputSystem(); });
    EXPECT_EQ(Held(DIK_Z), 0) << "the start-up's own query";
    EXPECT_NE(g_inputState.directInput, nullptr);
    EXPECT_EQ(Held(DIK_Z), 1);

    Locked([] { return TerminateInputSystem(); });
    ptest::FailCall("CreateDirectInput");
    EXPECT_EQ(Bits(0x1001), 0) << "DirectInput failing: no bits, however the start went";
    EXPECT_EQ(g_inputState.directInput, nullptr);

    // With WM_CLOSE posted nothing starts; the keyboard then comes from Windows.
    g_windowSystem.closePosted = 1;
    EXPECT_EQ(Held(DIK_Z), 1);
    EXPECT_EQ(g_inputState.directInput, nullptr);
    g_windowSystem.closePosted = 0;
}

// ---- focus --------------------------------------------------------------------------------------------------

TEST_F(InputTest, AnInactiveWindowKeepsThePadsLastStateUntilActivationAcquiresAgain) {
    ApiChangeWindowMode(1);
    g_windowSystem.runAlways = 1;  // queries and reads do not wait for the focus
    const int pad = ptest::AttachPad({"Pad"});
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    ptest::SetPadAxis(pad, 0, 32767);
    EXPECT_EQ(Bits(1), 0x4);
    ptest::InjectFocus(GetMainWindowHwnd(), false);
    ApiProcessMessage();
    ASSERT_EQ(IsWindowActive(), 0);
    ptest::SetPadAxis(pad, 0, -32768);
    EXPECT_EQ(Bits(1), 0x4) << "the read fails: the last state stays";
    EXPECT_EQ(Bits(1), 0x4);
    ptest::InjectFocus(GetMainWindowHwnd(), true);
    ApiProcessMessage();
    EXPECT_EQ(Bits(1), 0x2) << "activation acquired the pad again";
}

// ---- vibration ------------------------------------------------------------------------------------------------

class VibrationTest : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        pad = ptest::AttachPad({"Rumble", 2, 8, 0, true});
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        ASSERT_EQ(g_inputState.padCount, 1);
    }
    // The fake device's sine and constant-force effects: running or not.
    std::pair<bool, bool> Running() {
        std::vector<ptest::PadEffectRecord> effects = ptest::GetPadEffects(pad);
        return {effects.at(0).running, effects.at(1).running};
    }
    int pad = 0;
};

TEST_F(VibrationTest, TheEffectsFollowStatePowerAndFocus) {
    std::vector<ptest::PadEffectRecord> effects = ptest::GetPadEffects(pad);
    ASSERT_EQ(effects.size(), 2u);
    EXPECT_EQ(effects[0].kind, "sine");
    EXPECT_EQ(effects[0].period, 1500000u);
    EXPECT_EQ(effects[0].attackTime, 500000u);
    EXPECT_EQ(effects[0].fadeTime, 1000000u);
    EXPECT_EQ(effects[0].magnitude, 10000);
    EXPECT_EQ(effects[0].duration, INFINITE);
    EXPECT_EQ(effects[1].kind, "constant");
    EXPECT_EQ(effects[1].magnitude, 10000);
    EXPECT_EQ(effects[1].gain, 10000u);

    struct Case {
        int state, power, active;
        bool sine, constant;
    };
    const Case cases[] = {
        {1, 10000, 1, true, true}, {1, 5001, 1, true, true}, {1, 5000, 1, false, true},
        {0, 10000, 1, false, false}, {1, 10000, 0, false, false}, {1, 10000, 1, true, true},
    };
    for (const Case& c : cases) {
        // Under the lock throughout: the message thread's timers apply the state too.
        std::pair<bool, bool> running = Locked([&] {
            g_inputState.pads[0].vibrationState = c.state;
            g_inputState.pads[0].vibrationPower = c.power;
            g_inputState.pads[0].vibrationDuration = -1;
            g_windowSystem.active = c.active;
            ApplyPadVibration();
            std::pair<bool, bool> now = Running();
            g_windowSystem.active = 1;
            return now;
        });
        EXPECT_EQ(running, std::make_pair(c.sine, c.constant))
            << "state " << c.state << " power " << c.power << " active " << c.active;
    }
    EXPECT_EQ(Locked([] { return HaltPadVibration(0x1001); }), 0);
    EXPECT_EQ(Running(), std::make_pair(false, false));
    EXPECT_EQ(g_inputState.pads[0].vibrationPower, 10000);
}

TEST_F(VibrationTest, TimersHaltAtTheDurationButNeverAnEndlessVibration) {
    ptest::SetFastClockReadStep(0);
    const auto start = [](int duration, int tickOffset) {
        Locked([=] {
            PadRecord& p = g_inputState.pads[0];
            p.vibrationState = 1;
            p.vibrationPower = 10000;
            p.vibrationDuration = duration;
            p.vibrationTimeSoFar = 0;
            p.lastVibrationTick = GetMillisecondTime(0) + tickOffset;
            return ApplyPadVibration();
        });
    };
    const auto tick = [](int ms) {
        ptest::AdvanceFastClock(ms * 1000ull);
        return Locked([] {
            UpdatePadVibrationTimers();
            return g_inputState.pads[0].vibrationState;
        });
    };
    start(100, 0);
    EXPECT_EQ(tick(99), 1);
    EXPECT_EQ(tick(1), 0) << "at the duration";
    EXPECT_EQ(Running(), std::make_pair(false, false));

    start(-1, 0);
    EXPECT_EQ(tick(100000), 1) << "a negative duration runs until stopped";

    // A last tick ahead of now counts from now: a millisecond later nothing has passed.
    const int soFar = Locked([] {
        PadRecord& p = g_inputState.pads[0];
        p.vibrationState = 1;
        p.vibrationDuration = 100;
        p.vibrationTimeSoFar = 0;
        p.lastVibrationTick = GetMillisecondTime(0) + 5000;
        ptest::AdvanceFastClock(1000);
        UpdatePadVibrationTimers();
        return p.vibrationTimeSoFar;
    });
    EXPECT_EQ(soFar, 0);
    EXPECT_EQ(tick(99), 1);
    EXPECT_EQ(tick(1), 0);
    ptest::SetFastClockReadStep(1000);
}

TEST_F(VibrationTest, TheEndLeavesNoDeviceEffectOrEvent) {
    std::vector<HANDLE> events = {g_inputState.keyboardEvent, g_inputState.pads[0].event};
    for (HANDLE event : events) ASSERT_NE(event, nullptr);
    EXPECT_GT(ptest::GetLiveInputObjects(), 0);
    ASSERT_EQ(ApiTerminateLibrary(), 0);
    EXPECT_EQ(ptest::GetLiveInputObjects(), 0);
    for (HANDLE event : events) EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED) << "closed";
    std::vector<ptest::PadEffectRecord> effects = ptest::GetPadEffects(pad);
    EXPECT_TRUE(effects[0].released && effects[1].released);
    EXPECT_NE(Log().find("DirectInput 関連の終了処理... 完了\r\n"), std::string::npos);
}

// ---- scripts --------------------------------------------------------------------------------------------------

TEST_F(InputTest, AScriptDrivesThePadBitsFrameByFrame) {
    qztest::WriteWholeFile(dir.file("play.txt"),
                           "# frame device event\n"
                           "100 pad1 axis0 -32768\n"
                           "101 key 2C 1\n"
                           "102 pad1 button1 1\n"
                           "103 pad1 axis0 0\n"
                           "103 key 2C 0\n");
    ASSERT_TRUE(ptest::SetInputScript(dir.file("play.txt")));
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    // Start-up's own writes to the screen count as presented frames; start the script's
    // events at a frame past them.
    ASSERT_LT(ptest::GetInputFrame(), 100);
    EXPECT_EQ(Bits(0x1001), 0);
    ptest::AdvanceInputFrames(100 - ptest::GetInputFrame());
    ApiProcessMessage();
    const int expected[] = {0x2, 0x2 | 0x10, 0x2 | 0x10 | 0x20, 0x20, 0x20};
    for (int frame = 0; frame < 5; frame++) {
        EXPECT_EQ(Bits(0x1001), expected[frame]) << "frame " << frame;
        ptest::AdvanceInputFrames(1);  // the present
        ApiProcessMessage();
    }
}

}  // namespace

}  // namespace QzInput_test
