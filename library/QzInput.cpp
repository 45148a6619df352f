// QzInput.cpp: the input devices (see the header).
//
// Rules:
// - Each device is read at most once per millisecond; a signalled notification event
//   forces a read within the same millisecond.
// - Unless the DirectInput-only flag is set, the keys of the table's first run take
//   Windows' key state over DirectInput's; with the Windows-only flag (or in joystick-
//   function mode) the whole table comes from Windows.
// - A lost pad is acquired again at its next read; meanwhile it keeps its last state.
// - A query made before the input started starts it (unless a WM_CLOSE has been posted)
//   and reports nothing: 0, whatever the start-up gave.
// - Vibration: the constant-force effect runs while the vibration state is 1, the sine
//   effect while it is 1 and the power is above 5000; nothing runs while the window is
//   inactive. A positive duration ends the vibration through the pump's timers.
#include "QzInput.h"

#include <cstring>

#include <platform/winmm.h>

#include "QzWinLog.h"
#include "QzWinMessage.h"
#include "QzWinState.h"
#include "QzWinTime.h"

InputState g_inputState;
IDirectInput7A* const kJoystickApiStarted = reinterpret_cast<IDirectInput7A*>(static_cast<intptr_t>(-1));

const KeyTranslation kKeyTranslation[kKeyTranslationCount] = {
    // First run: overlaid in both modes.
    {0x41, 0x1E}, {0x42, 0x30}, {0x43, 0x2E}, {0x44, 0x20}, {0x45, 0x12}, {0x46, 0x21}, {0x47, 0x22},
    {0x48, 0x23}, {0x49, 0x17}, {0x4A, 0x24}, {0x4B, 0x25}, {0x4C, 0x26}, {0x4D, 0x32}, {0x4E, 0x31},
    {0x4F, 0x18}, {0x50, 0x19}, {0x51, 0x10}, {0x52, 0x13}, {0x53, 0x1F}, {0x54, 0x14}, {0x55, 0x16},
    {0x56, 0x2F}, {0x57, 0x11}, {0x58, 0x2D}, {0x59, 0x15}, {0x5A, 0x2C},  // A-Z
    {0x30, 0x0B}, {0x31, 0x02}, {0x32, 0x03}, {0x33, 0x04}, {0x34, 0x05}, {0x35, 0x06}, {0x36, 0x07},
    {0x37, 0x08}, {0x38, 0x09}, {0x39, 0x0A},                              // 0-9
    {0x25, 0xCB}, {0x26, 0xC8}, {0x27, 0xCD}, {0x28, 0xD0},                // arrows
    {0xBB, 0x27}, {0xBA, 0x92}, {0xDB, 0x1A}, {0xDD, 0x1B}, {0xC0, 0x91}, {0xE2, 0x2B},
    {0xBC, 0x33}, {0xBD, 0x0C}, {0xDC, 0x7D}, {0xBE, 0x34}, {0xBF, 0x35},  // the JIS punctuation keys
    {0x2E, 0xD3}, {0x1B, 0x01}, {0x20, 0x39}, {0x08, 0x0E}, {0x09, 0x0F}, {0x0D, 0x1C},
    {0x60, 0x52}, {0x61, 0x4F}, {0x62, 0x50}, {0x63, 0x51}, {0x64, 0x4B}, {0x65, 0x4C}, {0x66, 0x4D},
    {0x67, 0x47}, {0x68, 0x48}, {0x69, 0x49},                              // keypad 0-9
    {0x6A, 0x37}, {0x6B, 0x4E}, {0x6D, 0x4A}, {0x6E, 0x53}, {0x6F, 0xB5},  // keypad * + - . /
    // Second run: only when the keyboard comes from Windows alone.
    {0x0D, 0x9C}, {0xA0, 0x2A}, {0xA1, 0x36}, {0xA2, 0x1D}, {0xA3, 0x9D},
    {0x21, 0xC9}, {0x22, 0xD1}, {0x23, 0xCF}, {0x24, 0xC7}, {0x2D, 0xD2},
    {0xA4, 0x38}, {0xA5, 0xB8}, {0x91, 0x46}, {0x14, 0x3A}, {0x13, 0xC5},
    {0x70, 0x3B}, {0x71, 0x3C}, {0x72, 0x3D}, {0x73, 0x3E}, {0x74, 0x3F}, {0x75, 0x40},
    {0x76, 0x41}, {0x77, 0x42}, {0x78, 0x43}, {0x79, 0x44}, {0x7A, 0x57}, {0x7B, 0x58},  // F1-F12
};

namespace {

// The keyboard keys that stand for pad bits when 0x1000 is asked for.
struct KeyBit {
    int dik;
    int bit;
};
const KeyBit kKeyBits[] = {
    {DIK_NUMPAD2, 0x1}, {DIK_DOWN, 0x1},  {DIK_NUMPAD4, 0x2}, {DIK_LEFT, 0x2},   {DIK_NUMPAD6, 0x4},
    {DIK_RIGHT, 0x4},   {DIK_NUMPAD8, 0x8}, {DIK_UP, 0x8},    {DIK_Z, 0x10},      {DIK_X, 0x20},
    {DIK_C, 0x40},      {DIK_A, 0x80},    {DIK_S, 0x100},     {DIK_D, 0x200},    {DIK_Q, 0x400},
    {DIK_W, 0x800},     {DIK_ESCAPE, 0x1000}, {DIK_SPACE, 0x2000},
};

bool DirectInputStarted() {
    IDirectInput7A* di = g_inputState.directInput;
    return di != nullptr && di != kJoystickApiStarted;
}

// A query before the input started starts it; it reports nothing itself.
bool StartsInputLazily() {
    if (g_inputState.directInput != nullptr || g_windowSystem.closePosted) return false;
    InitializeInputSystem();
    return true;
}

bool IsSignalled(HANDLE event) { return event != nullptr && WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

template <typename T>
void ReleaseAndClear(T** object) {
    if (*object != nullptr) (*object)->Release();
    *object = nullptr;
}

// A joystick-function position (0-65535) as -1000..1000, with a dead band around the
// middle.
LONG JoystickAxis(DWORD position) {
    const long p = static_cast<long>(position);
    if (p == 0) return -1000;
    if (p == 0x7FFF) return 0;
    if (p == 0xFFFF) return 1000;
    if (p < 0x6000) return static_cast<LONG>(-((0x6000 - p) * 1000 / 0x6000));
    if (p > 0xA000) return static_cast<LONG>((p * 1000 - 0xA000L * 1000) / 0x6000);
    return 0;
}

int StopPadVibration(int pad) {
    InputState& in = g_inputState;
    int index = (pad & ~0x1000) - 1;
    if (index < 0 || index >= in.padCount) return 0;
    PadRecord& p = in.pads[index];
    if (p.device != nullptr && p.constantEffect != nullptr && p.vibrationState != 0) {
        p.vibrationState = 0;
        p.vibrationPower = 10000;
        ApplyPadVibration();
    }
    return 0;
}

int StartJoystickFunctions() {
    InputState& in = g_inputState;
    for (UINT id = 0; id < kMaxPads; id++) {
        JOYCAPSA caps;
        if (joyGetDevCapsA(id, &caps, sizeof caps) != JOYERR_NOERROR) break;
        in.pads[id].hasZAndR = (caps.wCaps & JOYCAPS_HASZ) && (caps.wCaps & JOYCAPS_HASR) ? 1 : 0;
        in.padCount++;
    }
    in.directInput = kJoystickApiStarted;
    WriteLog("入力関連の初期化をしました\n");
    return 0;
}

[[noreturn]] void FailDevice(IDirectInputDevice7A** device, const char* text) {
    ReleaseAndClear(device);
    ExitWithFatalError(text);
}

void StartMouse() {
    InputState& in = g_inputState;
    WriteLog("マウスデバイスの初期化... ");
    if (FAILED(in.directInput->CreateDeviceEx(GUID_SysMouse, IID_IDirectInputDevice7A,
                                              reinterpret_cast<void**>(&in.mouse), nullptr))) {
        in.mouse = nullptr;
        FailDevice(&in.mouse, "マウスデバイスの取得に失敗しました");
    }
    if (FAILED(in.mouse->SetDataFormat(&c_dfDIMouse))) FailDevice(&in.mouse, "マウスデバイスのデータ形式の設定に失敗しました");
    if (FAILED(in.mouse->SetCooperativeLevel(g_windowSystem.mainWindow, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)))
        FailDevice(&in.mouse, "マウスデバイスの協調レベルの設定に失敗しました");
    WriteLog("初期化成功\n");
}

// 0, or 1 when the keyboard's notification could not be set up.
int StartKeyboard() {
    InputState& in = g_inputState;
    WriteLog("キーボードデバイスの初期化... ");
    if (FAILED(in.directInput->CreateDeviceEx(GUID_SysKeyboard, IID_IDirectInputDevice7A,
                                              reinterpret_cast<void**>(&in.keyboard), nullptr))) {
        in.keyboard = nullptr;
        FailDevice(&in.keyboard, "キーボードデバイスの取得に失敗しました");
    }
    if (FAILED(in.keyboard->SetDataFormat(&c_dfDIKeyboard)))
        FailDevice(&in.keyboard, "キーボードデバイスのデータ形式の設定に失敗しました");
    if (FAILED(in.keyboard->SetCooperativeLevel(g_windowSystem.mainWindow, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)))
        FailDevice(&in.keyboard, "キーボードデバイスの協調レベルの設定に失敗しました");
    DIPROPDWORD buffer = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 100};
    if (FAILED(in.keyboard->SetProperty(DIPROP_BUFFERSIZE, &buffer.diph)))
        WriteLog("キーボードのプロパティ設定に失敗しました\n");
    // Without its event the keyboard is still read once per millisecond; the start-up
    // goes on to the end, so the log's indentation comes back, and reports 1.
    int result = 0;
    in.keyboardEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HRESULT notification = in.keyboard->SetEventNotification(in.keyboardEvent);
    if (notification != DI_OK && notification != DI_POLLEDDEVICE) {
        WriteLog("キーボードイベントのセットアップが失敗しました\n");
        if (in.keyboardEvent != nullptr) CloseHandle(in.keyboardEvent);
        in.keyboardEvent = nullptr;
        result = 1;
    }
    if (FAILED(in.keyboard->Acquire()) && FAILED(in.keyboard->Acquire()))
        FailDevice(&in.keyboard, "キーボードデバイスの取得に失敗しました");
    WriteLog("初期化成功\n");
    in.lastKeyboardUpdate = GetMillisecondTime(0);
    return result;
}

void ReleasePad(PadRecord* pad) {
    if (pad->device != nullptr) {
        pad->device->Unacquire();
        pad->device->SetEventNotification(nullptr);
    }
    if (pad->constantEffect != nullptr) pad->constantEffect->Stop();
    ReleaseAndClear(&pad->constantEffect);
    if (pad->periodicEffect != nullptr) pad->periodicEffect->Stop();
    ReleaseAndClear(&pad->periodicEffect);
    ReleaseAndClear(&pad->device);
    if (pad->event != nullptr) CloseHandle(pad->event);
    pad->event = nullptr;
}

}  // namespace

int InitializeInputSystem() {
    InputState& in = g_inputState;
    WindowSystemState& ws = g_windowSystem;
    if (in.directInput != nullptr) return 0;
    const int joystickApiMode = in.joystickApiMode;
    std::memset(&in, 0, sizeof in);
    in.joystickApiMode = joystickApiMode;
    if (joystickApiMode == 1) return StartJoystickFunctions();

    WriteLog("DirectInput関係初期化処理\n");
    IndentLog();
    WriteLog("DirectInputオブジェクトの取得中... ");
    IDirectInput7A* directInput = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectInput, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectInput7A,
                                reinterpret_cast<void**>(&directInput)))) {
        WriteLog("取得に失敗\n");
        // The indentation comes back even here: a lazy start is tried again by every
        // query, and each try would leave the log one level deeper.
        UnindentLog();
        return -1;
    }
    WriteLog("成功\n");
    IndentLog();
    WriteLog("引き続き初期化処理... ");
    if (FAILED(directInput->Initialize(ws.moduleInstance, 0x700))) {
        WriteLog("初期化に失敗\n");
        directInput->Release();
        UnindentLog();
        UnindentLog();
        return -1;
    }
    WriteLog("初期化成功\n");
    UnindentLog();
    in.directInput = directInput;

    BringWindowToTop(ws.mainWindow);
    ProcessMessage();

    WriteLog("ジョイパッドの初期化... \n");
    in.padCount = 0;
    in.directInput->EnumDevices(DIDEVTYPE_JOYSTICK, EnumJoystickCallback, nullptr, DIEDFL_ATTACHEDONLY);
    WriteLog("ジョイパッドの初期化は正常に終了しました\n");

    StartMouse();
    int result = in.windowsKeysOnly ? 0 : StartKeyboard();

    UnindentLog();
    WriteLog("DirectInput 関連の初期化は正常に終了しました\n");
    return result;
}

BOOL CALLBACK EnumJoystickCallback(const DIDEVICEINSTANCE* instance, void*) {
    InputState& in = g_inputState;
    WriteLog("入力装置を見つけました\n");
    IDirectInputDevice7A* device = nullptr;
    if (FAILED(in.directInput->CreateDeviceEx(instance->guidInstance, IID_IDirectInputDevice7A,
                                              reinterpret_cast<void**>(&device), nullptr))) {
        WriteLog("入力装置の取得に失敗しました\n");
        return DIENUM_CONTINUE;
    }
    DIDEVICEINSTANCEA info = {};
    info.dwSize = sizeof info;
    device->GetDeviceInfo(&info);
    IndentLog();
    WriteLogFormat("デバイスの登録名:%s", info.tszInstanceName);
    WriteLogFormat("デバイスの製品登録名:%s", info.tszProductName);
    UnindentLog();

    auto skip = [&](const char* text) {
        device->Release();
        WriteLog(text);
        return DIENUM_CONTINUE;
    };
    if (FAILED(device->SetDataFormat(&c_dfDIJoystick)))
        return skip("ジョイパッドデバイスではありませんでした、又は設定に失敗しました\n");
    if (FAILED(device->SetCooperativeLevel(g_windowSystem.mainWindow, DISCL_EXCLUSIVE | DISCL_FOREGROUND)))
        return skip("ジョイパッドデバイスの協調レベルの設定に失敗しました\n");
    DIPROPRANGE range = {{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), DIJOFS_X, DIPH_BYOFFSET}, -1000, 1000};
    if (FAILED(device->SetProperty(DIPROP_RANGE, &range.diph)))
        return skip("ジョイパッドデバイスのＸ軸関係の設定に失敗しました\n");
    range.diph.dwObj = DIJOFS_Y;
    if (FAILED(device->SetProperty(DIPROP_RANGE, &range.diph)))
        return skip("ジョイパッドデバイスのＹ軸関係の設定に失敗しました\n");
    range.diph.dwObj = DIJOFS_Z;
    device->SetProperty(DIPROP_RANGE, &range.diph);
    range.diph.dwObj = DIJOFS_RZ;
    device->SetProperty(DIPROP_RANGE, &range.diph);
    DIPROPDWORD zone = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), DIJOFS_X, DIPH_BYOFFSET}, 2500};
    if (FAILED(device->SetProperty(DIPROP_DEADZONE, &zone.diph)))
        return skip("ジョイパッドデバイスのＸ軸の無効ゾーンの設定に失敗しました\n");
    zone.diph.dwObj = DIJOFS_Y;
    if (FAILED(device->SetProperty(DIPROP_DEADZONE, &zone.diph)))
        return skip("ジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました\n");
    zone.diph.dwObj = DIJOFS_Z;
    device->SetProperty(DIPROP_DEADZONE, &zone.diph);
    zone.diph.dwObj = DIJOFS_RZ;
    device->SetProperty(DIPROP_DEADZONE, &zone.diph);

    // Both effects push on X and Y, endlessly, at full gain, on no trigger.
    DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
    LONG directions[2] = {0, 0};
    DIPERIODIC periodic = {DI_FFNOMINALMAX, 0, 0, DI_SECONDS * 3 / 2};
    DIENVELOPE envelope = {sizeof(DIENVELOPE), 0, DI_SECONDS / 2, 0, DI_SECONDS};
    DIEFFECT effect = {};
    effect.dwSize = sizeof effect;
    effect.dwFlags = DIEFF_POLAR | DIEFF_OBJECTOFFSETS;
    effect.dwDuration = INFINITE;
    effect.dwGain = DI_FFNOMINALMAX;
    effect.dwTriggerButton = DIEB_NOTRIGGER;
    effect.cAxes = 2;
    effect.rgdwAxes = axes;
    effect.rglDirection = directions;
    effect.lpEnvelope = &envelope;
    effect.cbTypeSpecificParams = sizeof periodic;
    effect.lpvTypeSpecificParams = &periodic;
    IDirectInputEffect* sine = nullptr;
    if (FAILED(device->CreateEffect(GUID_Sine, &effect, &sine, nullptr))) sine = nullptr;
    DICONSTANTFORCE constant = {DI_FFNOMINALMAX};
    effect.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    effect.lpEnvelope = nullptr;
    effect.cbTypeSpecificParams = sizeof constant;
    effect.lpvTypeSpecificParams = &constant;
    IDirectInputEffect* force = nullptr;
    if (FAILED(device->CreateEffect(GUID_ConstantForce, &effect, &force, nullptr))) {
        force = nullptr;
        OutputDebugStringA("周期的エフェクトの作成に失敗しました。");
    }

    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HRESULT notification = device->SetEventNotification(event);
    if (notification != DI_OK && notification != DI_POLLEDDEVICE) {
        WriteLog("ジョイパッドイベントのセットアップが失敗しました\n");
        // Nothing of the skipped pad is kept alive.
        ReleaseAndClear(&force);
        ReleaseAndClear(&sine);
        device->Release();
        if (event != nullptr) CloseHandle(event);
        return DIENUM_CONTINUE;
    }
    device->Acquire();
    PadRecord& pad = in.pads[in.padCount];
    std::memset(&pad, 0, sizeof pad);
    pad.device = device;
    pad.constantEffect = force;
    pad.periodicEffect = sine;
    pad.event = event;
    pad.vibrationState = 0;
    pad.vibrationPower = 10000;
    in.padCount++;
    WriteLog("ジョイパッドの追加は正常に終了しました\n");
    return in.padCount >= kMaxPads ? DIENUM_STOP : DIENUM_CONTINUE;
}

int TerminateInputSystem() {
    InputState& in = g_inputState;
    if (in.directInput == nullptr) return 0;
    if (in.directInput == kJoystickApiStarted) {
        WriteLog("入力関連の終了処理... 完了\n");
        in.directInput = nullptr;
        return 0;
    }
    WriteLog("DirectInput 関連の終了処理... 完了\n");
    for (int i = 0; i < in.padCount; i++) ReleasePad(&in.pads[i]);
    if (in.keyboard != nullptr) in.keyboard->Unacquire();
    ReleaseAndClear(&in.keyboard);
    if (in.keyboardEvent != nullptr) CloseHandle(in.keyboardEvent);
    in.keyboardEvent = nullptr;
    if (in.mouse != nullptr) in.mouse->Unacquire();
    ReleaseAndClear(&in.mouse);
    ReleaseAndClear(&in.directInput);
    return 0;
}

int UpdateKeyboardState() {
    InputState& in = g_inputState;
    const int now = GetMillisecondTime(0);
    BYTE windows[256];
    if (in.directInput == kJoystickApiStarted || in.windowsKeysOnly || in.keyboard == nullptr) {
        if (now == in.lastKeyboardUpdate) return 0;
        in.lastKeyboardUpdate = now;
        GetKeyboardState(windows);
        std::memset(in.keyTable, 0, sizeof in.keyTable);
        for (const KeyTranslation& key : kKeyTranslation) in.keyTable[key.dik] = windows[key.virtualKey];
        return 1;
    }
    const bool signalled = IsSignalled(in.keyboardEvent);
    if (now == in.lastKeyboardUpdate && !signalled) return 0;
    if (FAILED(in.keyboard->GetDeviceState(sizeof in.keyTable, in.keyTable))) {
        if (FAILED(in.keyboard->Acquire())) return 0;
        if (FAILED(in.keyboard->GetDeviceState(sizeof in.keyTable, in.keyTable))) return 0;
    }
    in.lastKeyboardUpdate = now;
    if (signalled) ResetEvent(in.keyboardEvent);
    if (!in.directInputOnly) {
        GetKeyboardState(windows);
        for (int i = 0; i < kKeyTranslationFirstRun; i++)
            in.keyTable[kKeyTranslation[i].dik] = windows[kKeyTranslation[i].virtualKey];
    }
    return 1;
}

int UpdatePadState(int index) {
    InputState& in = g_inputState;
    if (index < 0 || index >= kMaxPads) return -1;
    PadRecord& pad = in.pads[index];
    const int now = GetMillisecondTime(0);
    if (in.directInput == kJoystickApiStarted) {
        if (now == pad.lastPollTime) return 0;
        pad.lastPollTime = now;
        JOYINFOEX info = {};
        info.dwSize = sizeof info;
        info.dwFlags = JOY_RETURNALL;
        if (joyGetPosEx(static_cast<UINT>(index), &info) != JOYERR_NOERROR) {
            std::memset(&pad.state, 0, sizeof pad.state);
            return 0;
        }
        pad.state.lX = JoystickAxis(info.dwXpos);
        pad.state.lY = JoystickAxis(info.dwYpos);
        pad.state.lZ = pad.hasZAndR ? JoystickAxis(info.dwZpos) : 0;
        pad.state.lRz = pad.hasZAndR ? JoystickAxis(info.dwRpos) : 0;
        for (int b = 0; b < 24; b++) pad.state.rgbButtons[b] = (info.dwButtons >> b & 1) ? 0x80 : 0;
        return 0;
    }
    if (pad.device == nullptr) return 0;
    const bool signalled = IsSignalled(pad.event);
    if (now == pad.lastPollTime && !signalled) return 0;
    pad.lastPollTime = now;
    pad.device->Poll();
    DIJOYSTATE state;
    if (SUCCEEDED(pad.device->GetDeviceState(sizeof state, &state))) {
        pad.state = state;
    } else {
        // Lost: acquire again. The state of this poll stays the last one; the read after
        // the acquisition is not used.
        if (ProcessMessage() != 0) return -1;
        if (SUCCEEDED(pad.device->Acquire())) {
            if (ProcessMessage() != 0) return -1;
            DIJOYSTATE unused;
            pad.device->GetDeviceState(sizeof unused, &unused);
        }
    }
    if (signalled) ResetEvent(pad.event);
    return 0;
}

int GetKeyPressFlag(int code) {
    WaitForWindowActive();
    if (StartsInputLazily()) return 0;
    // The table has 256 entries; any other code names no key.
    if (code < 0 || code > 255) return 0;
    UpdateKeyboardState();
    return (g_inputState.keyTable[code] & 0x80) ? 1 : 0;
}

int GetPadInputBits(int type) {
    InputState& in = g_inputState;
    const int index = (type & ~0x1000) - 1;
    const bool withKeyboard = (type & 0x1000) != 0;
    WaitForWindowActive();
    if (StartsInputLazily()) return 0;
    const bool padExists = index >= 0 && index < in.padCount;
    if (in.padCount > 0 && !padExists && index != -1 && !withKeyboard) return 0;
    int bits = 0;
    if (padExists) {
        UpdatePadState(index);
        const DIJOYSTATE& s = in.pads[index].state;
        if (s.lX < 0) bits |= 0x2;
        if (s.lX > 0) bits |= 0x4;
        if (s.lY < 0) bits |= 0x8;
        if (s.lY > 0) bits |= 0x1;
        for (int b = 0; b < 24; b++)
            if (s.rgbButtons[b] & 0x80) bits |= 0x10 << b;
    }
    if (withKeyboard) {
        UpdateKeyboardState();
        for (const KeyBit& key : kKeyBits)
            if (in.keyTable[key.dik] & 0x80) bits |= key.bit;
    }
    return bits;
}

int HaltPadVibration(int pad) {
    WaitForWindowActive();
    if (StartsInputLazily()) return 0;
    return StopPadVibration(pad);
}

int ReacquireInputDevices() {
    InputState& in = g_inputState;
    if (!DirectInputStarted()) return 0;
    for (int i = 0; i < in.padCount; i++) {
        if (in.pads[i].device == nullptr) continue;
        in.pads[i].device->Unacquire();
        in.pads[i].device->Acquire();
    }
    if (in.keyboard != nullptr) {
        in.keyboard->Unacquire();
        in.keyboard->Acquire();
    }
    return 0;
}

int UpdatePadVibrationTimers() {
    InputState& in = g_inputState;
    if (!DirectInputStarted()) return 0;
    const int now = GetMillisecondTime(0);
    for (int i = 0; i < in.padCount; i++) {
        PadRecord& p = in.pads[i];
        if (p.device == nullptr || p.vibrationState == 0 || p.vibrationDuration < 0 || now == p.lastVibrationTick)
            continue;
        if (p.lastVibrationTick > now) p.lastVibrationTick = now;
        p.vibrationTimeSoFar += now - p.lastVibrationTick;
        p.lastVibrationTick = now;
        // The halt itself, without HaltPadVibration's wait for an active window: the
        // message thread runs these timers, and waiting there while holding the library
        // lock would keep the main thread from ever activating the window.
        if (p.vibrationTimeSoFar >= p.vibrationDuration) StopPadVibration(i + 1);
    }
    return ApplyPadVibration();
}

int ApplyPadVibration() {
    InputState& in = g_inputState;
    if (!DirectInputStarted()) return 0;
    const bool active = g_windowSystem.active != 0;
    for (int i = 0; i < in.padCount; i++) {
        PadRecord& p = in.pads[i];
        if (p.device == nullptr) continue;
        if (!active) {
            if (p.constantRunning && p.constantEffect != nullptr) p.constantEffect->Stop();
            if (p.periodicRunning && p.periodicEffect != nullptr) p.periodicEffect->Stop();
            p.constantRunning = 0;
            p.periodicRunning = 0;
            continue;
        }
        const int constant = p.vibrationState == 1 ? 1 : 0;
        if (p.constantEffect != nullptr && constant != p.constantRunning) {
            if (constant)
                p.constantEffect->Start(1, 0);
            else
                p.constantEffect->Stop();
            p.constantRunning = constant;
        }
        const int periodic = p.vibrationState == 1 && p.vibrationPower > 5000 ? 1 : 0;
        if (p.periodicEffect != nullptr && periodic != p.periodicRunning) {
            if (periodic)
                p.periodicEffect->Start(1, 0);
            else
                p.periodicEffect->Stop();
            p.periodicRunning = periodic;
        }
    }
    return 0;
}
