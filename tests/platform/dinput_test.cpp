// DirectInput and the joystick functions over virtual pads, on the headless backend:
// enumeration, states with range and dead zone, acquisition and loss, event signals,
// force feedback, and the faults tests inject.
#include <cstring>

#include "input_support.h"
#include "platform/winmm.h"

namespace dinput_test {

namespace {

using inputtest::InputTest;
using DirectInputTest = InputTest;

TEST_F(DirectInputTest, EnumerationNamesEachAttachedPadOnceInOrderAndStops) {
    Start();
    ptest::AttachPad({"Pad A"});
    const int second = ptest::AttachPad({reinterpret_cast<const char*>(u8"パッド")});
    ptest::AttachPad({"Pad C"});
    ptest::DetachPad(ptest::AttachPad({"Gone"}));
    std::vector<DIDEVICEINSTANCEA> pads = Pads();
    ASSERT_EQ(pads.size(), 3u);
    EXPECT_STREQ(pads[0].tszInstanceName, "Pad A");
    EXPECT_STREQ(pads[1].tszProductName, "\x83\x70\x83\x62\x83\x68") << "CP932";
    EXPECT_EQ(pads[2].dwDevType & 0xFF, static_cast<DWORD>(DIDEVTYPE_JOYSTICK));
    EXPECT_NE(pads[0].guidInstance, pads[1].guidInstance);

    int calls = 0;
    di->EnumDevices(
        DIDEVTYPE_JOYSTICK, [](LPCDIDEVICEINSTANCEA, LPVOID context) -> BOOL {
            return ++*static_cast<int*>(context) == 2 ? DIENUM_STOP : DIENUM_CONTINUE;
        },
        &calls, DIEDFL_ATTACHEDONLY);
    EXPECT_EQ(calls, 2);

    ptest::DetachPad(second);
    EXPECT_EQ(Pads().size(), 2u);
}

TEST_F(DirectInputTest, ObjectsCountUntilReleasedAndVersionsAboveSevenAreRefused) {
    IDirectInput7A* object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectInput, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectInput7A,
                               reinterpret_cast<void**>(&object)),
              S_OK);
    IDirectInputDevice7A* keyboard = nullptr;
    EXPECT_EQ(object->CreateDeviceEx(GUID_SysKeyboard, IID_IDirectInputDevice7A, reinterpret_cast<void**>(&keyboard),
                                     nullptr),
              DIERR_NOTINITIALIZED);
    EXPECT_LT(object->Initialize(nullptr, 0x800), 0);
    ASSERT_EQ(object->Initialize(nullptr, 0x700), DI_OK);
    ASSERT_EQ(object->CreateDeviceEx(GUID_SysKeyboard, IID_IDirectInputDevice7A, reinterpret_cast<void**>(&keyboard),
                                     nullptr),
              DI_OK);
    EXPECT_EQ(ptest::GetLiveInputObjects(), 2);
    keyboard->Release();
    object->Release();
    EXPECT_EQ(ptest::GetLiveInputObjects(), 0);
}

// Raw SDL values through the library's range (-1000..1000) and dead zone (2500).
struct AxisCase {
    int raw;
    LONG expected;
};
const AxisCase kAxisCases[] = {
    {0, 0}, {8000, 0}, {-8000, 0}, {8192, 0}, {16384, 333}, {-16384, -333}, {32767, 1000}, {-32768, -1000},
};

TEST_F(DirectInputTest, RangeAndDeadZoneScaleTheRawValue) {
    Start();
    const int pad = ptest::AttachPad({"Stick", 3, 4});
    IDirectInputDevice7A* device = OpenPad(0);
    ASSERT_NE(device, nullptr);
    for (const AxisCase& c : kAxisCases) {
        ptest::SetPadAxis(pad, 0, c.raw);
        ptest::SetPadAxis(pad, 1, c.raw);
        ptest::SetPadAxis(pad, 2, c.raw);
        HRESULT result;
        DIJOYSTATE state = Read(device, &result);
        ASSERT_EQ(result, DI_OK);
        EXPECT_EQ(state.lX, c.expected) << "raw " << c.raw;
        EXPECT_EQ(state.lY, c.expected) << "raw " << c.raw;
        EXPECT_EQ(state.lZ, c.raw + 32768) << "an axis never set reads 0..65535, raw " << c.raw;
    }
    device->Release();
}

TEST_F(DirectInputTest, AxesButtonsAndHatsFillTheirFields) {
    Start();
    const int pad = ptest::AttachPad({"Full", 8, 32, 2});
    IDirectInputDevice7A* device = OpenPad(0, false);
    ASSERT_NE(device, nullptr);
    for (int axis = 0; axis < 8; axis++) ptest::SetPadAxis(pad, axis, axis * 1000 - 32768);
    ptest::SetPadButton(pad, 0, true);
    ptest::SetPadButton(pad, 31, true);
    ptest::SetPadHat(pad, 0, 2 | 4);  // right and down
    DIJOYSTATE s = Read(device);
    // Axes 0-5 are X, Y, Z, Rz, Rx, Ry; 6 and 7 the sliders.
    EXPECT_EQ(s.lX, 0);
    EXPECT_EQ(s.lY, 1000);
    EXPECT_EQ(s.lZ, 2000);
    EXPECT_EQ(s.lRz, 3000);
    EXPECT_EQ(s.lRx, 4000);
    EXPECT_EQ(s.lRy, 5000);
    EXPECT_EQ(s.rglSlider[0], 6000);
    EXPECT_EQ(s.rglSlider[1], 7000);
    EXPECT_EQ(s.rgbButtons[0], 0x80);
    EXPECT_EQ(s.rgbButtons[1], 0);
    EXPECT_EQ(s.rgbButtons[31], 0x80);
    EXPECT_EQ(s.rgdwPOV[0], 13500u);
    EXPECT_EQ(s.rgdwPOV[1], 0xFFFFFFFFu) << "centred";
    EXPECT_EQ(s.rgdwPOV[2], 0xFFFFFFFFu) << "no such hat";
    device->Release();
}

TEST_F(DirectInputTest, PropertiesNameOnlyAxesThePadHas) {
    Start();
    ptest::AttachPad({"Two axes", 2, 4});
    IDirectInputDevice7A* device = OpenPad(0, false);
    ASSERT_NE(device, nullptr);
    DIPROPRANGE range = {{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), DIJOFS_Z, DIPH_BYOFFSET}, -1000, 1000};
    EXPECT_EQ(device->SetProperty(DIPROP_RANGE, &range.diph), DIERR_OBJECTNOTFOUND);
    range.diph.dwObj = DIJOFS_Y;
    range.lMin = 5;
    range.lMax = 5;
    EXPECT_EQ(device->SetProperty(DIPROP_RANGE, &range.diph), DIERR_INVALIDPARAM);
    DIPROPDWORD zone = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), DIJOFS_X, DIPH_BYOFFSET}, 10001};
    EXPECT_EQ(device->SetProperty(DIPROP_DEADZONE, &zone.diph), DIERR_INVALIDPARAM);
    EXPECT_EQ(device->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
    device->Release();
}

TEST_F(DirectInputTest, APadNeedsItsWindowInFrontAndReportsTheLossOnce) {
    Start();
    const int pad = ptest::AttachPad({"Pad"});
    IDirectInputDevice7A* device = OpenPad(0);
    ASSERT_NE(device, nullptr);
    ptest::SetPadAxis(pad, 0, 32767);
    EXPECT_EQ(device->Acquire(), DI_NOEFFECT);
    EXPECT_EQ(Read(device).lX, 1000);

    ptest::InjectFocus(window, false);
    inputtest::PumpAll();
    HRESULT result;
    Read(device, &result);
    EXPECT_EQ(result, DIERR_INPUTLOST);
    Read(device, &result);
    EXPECT_EQ(result, DIERR_NOTACQUIRED);
    EXPECT_EQ(device->Acquire(), DIERR_OTHERAPPHASPRIO);

    ptest::InjectFocus(window, true);
    inputtest::PumpAll();
    EXPECT_EQ(device->Acquire(), DI_OK);
    EXPECT_EQ(Read(device).lX, 1000);

    ptest::DetachPad(pad);
    Read(device, &result);
    EXPECT_EQ(result, DIERR_INPUTLOST) << "unplugged";
    Read(device, &result);
    EXPECT_EQ(result, DIERR_NOTACQUIRED);
    EXPECT_LT(device->Acquire(), 0);
    device->Release();
}

TEST_F(DirectInputTest, TheKeyboardAcquiresInTheBackgroundAndReadsKeysByCode) {
    Start();
    IDirectInputDevice7A* keyboard = nullptr;
    ASSERT_EQ(di->CreateDeviceEx(GUID_SysKeyboard, IID_IDirectInputDevice7A, reinterpret_cast<void**>(&keyboard),
                                 nullptr),
              DI_OK);
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIJoystick), DIERR_INVALIDPARAM);
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    ptest::InjectFocus(window, false);
    inputtest::PumpAll();
    EXPECT_EQ(keyboard->Acquire(), DI_OK) << "background: the window need not be in front";
    ptest::PressKey(DIK_Z, true);
    inputtest::PumpAll();
    BYTE keys[256];
    ASSERT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
    EXPECT_EQ(keys[DIK_Z], 0x80);
    EXPECT_EQ(keys[DIK_X], 0);
    keyboard->Release();
}

TEST_F(DirectInputTest, AnAcquiredDeviceSignalsItsEventWhenItsStateChanges) {
    Start();
    const int pad = ptest::AttachPad({"Pad"});
    IDirectInputDevice7A* device = OpenPad(0);
    ASSERT_NE(device, nullptr);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_EQ(device->SetEventNotification(event), DI_OK);
    ptest::SetPadAxis(pad, 0, 0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "no change";
    ptest::SetPadButton(pad, 2, true);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    ResetEvent(event);
    device->Unacquire();
    ptest::SetPadButton(pad, 2, false);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "not acquired";
    device->SetEventNotification(nullptr);
    device->Release();
    CloseHandle(event);
}

TEST_F(DirectInputTest, EffectsKeepDirectInputsUnitsOnAFakeForceFeedbackDevice) {
    Start();
    ptest::AttachPad({"Plain"});
    const int rumble = ptest::AttachPad({"Rumble", 2, 8, 0, true});
    IDirectInputDevice7A* plain = OpenPad(0);
    IDirectInputDevice7A* device = OpenPad(1);
    ASSERT_NE(device, nullptr);
    DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
    LONG directions[2] = {0, 0};
    DIPERIODIC periodic = {10000, 0, 0, 1500000};
    DIENVELOPE envelope = {sizeof envelope, 0, 500000, 0, 1000000};
    DIEFFECT effect = {};
    effect.dwSize = sizeof effect;
    effect.dwFlags = DIEFF_POLAR | DIEFF_OBJECTOFFSETS;
    effect.dwDuration = INFINITE;
    effect.dwGain = 10000;
    effect.dwTriggerButton = DIEB_NOTRIGGER;
    effect.cAxes = 2;
    effect.rgdwAxes = axes;
    effect.rglDirection = directions;
    effect.lpEnvelope = &envelope;
    effect.cbTypeSpecificParams = sizeof periodic;
    effect.lpvTypeSpecificParams = &periodic;
    IDirectInputEffect* sine = nullptr;
    EXPECT_EQ(plain->CreateEffect(GUID_Sine, &effect, &sine, nullptr), DIERR_UNSUPPORTED);
    ASSERT_EQ(device->CreateEffect(GUID_Sine, &effect, &sine, nullptr), DI_OK);
    DICONSTANTFORCE constant = {10000};
    effect.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    effect.lpEnvelope = nullptr;
    effect.cbTypeSpecificParams = sizeof constant;
    effect.lpvTypeSpecificParams = &constant;
    IDirectInputEffect* force = nullptr;
    ASSERT_EQ(device->CreateEffect(GUID_ConstantForce, &effect, &force, nullptr), DI_OK);
    EXPECT_EQ(force->Start(1, 0), DI_OK);
    EXPECT_EQ(force->Stop(), DI_OK);
    EXPECT_EQ(sine->Start(1, 0), DI_OK);

    std::vector<ptest::PadEffectRecord> records = ptest::GetPadEffects(rumble);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].kind, "sine");
    EXPECT_EQ(records[0].duration, INFINITE);
    EXPECT_EQ(records[0].period, 1500000u);
    EXPECT_EQ(records[0].attackTime, 500000u);
    EXPECT_EQ(records[0].fadeTime, 1000000u);
    EXPECT_EQ(records[0].magnitude, 10000);
    EXPECT_TRUE(records[0].running);
    EXPECT_EQ(records[1].kind, "constant");
    EXPECT_EQ(records[1].starts, 1);
    EXPECT_EQ(records[1].stops, 1);
    EXPECT_FALSE(records[1].running);

    sine->Release();
    force->Release();
    records = ptest::GetPadEffects(rumble);
    EXPECT_TRUE(records[0].released && records[1].released);
    EXPECT_FALSE(records[0].running) << "a released effect stops";
    plain->Release();
    device->Release();
}

TEST_F(DirectInputTest, NamedFaultsFailTheirCall) {
    ptest::FailCall("CreateDirectInput");
    EXPECT_LT(CoCreateInstance(CLSID_DirectInput, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectInput7A,
                               reinterpret_cast<void**>(&di)),
              0);
    ptest::FailCall("DirectInputInitialize");
    ASSERT_EQ(CoCreateInstance(CLSID_DirectInput, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectInput7A,
                               reinterpret_cast<void**>(&di)),
              S_OK);
    EXPECT_LT(di->Initialize(nullptr, 0x700), 0);
    ASSERT_EQ(di->Initialize(nullptr, 0x700), DI_OK);
    ptest::AttachPad({"Pad", 4, 4});
    // The third SetProperty of a pad: only the Y range fails.
    ptest::FailCall("SetProperty:Pad:RangeY");
    IDirectInputDevice7A* device = nullptr;
    ASSERT_EQ(di->CreateDeviceEx(Pads()[0].guidInstance, IID_IDirectInputDevice7A, reinterpret_cast<void**>(&device),
                                 nullptr),
              DI_OK);
    DIPROPRANGE range = {{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), DIJOFS_X, DIPH_BYOFFSET}, -1000, 1000};
    EXPECT_EQ(device->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
    range.diph.dwObj = DIJOFS_Y;
    EXPECT_LT(device->SetProperty(DIPROP_RANGE, &range.diph), 0);
    EXPECT_EQ(device->SetProperty(DIPROP_RANGE, &range.diph), DI_OK) << "once";
    device->Release();
    ptest::FailCall("CreateDeviceEx:Mouse");
    EXPECT_LT(di->CreateDeviceEx(GUID_SysMouse, IID_IDirectInputDevice7A, reinterpret_cast<void**>(&device), nullptr),
              0);
}

// ---- the joystick functions -------------------------------------------------------------------

TEST_F(DirectInputTest, JoystickCapsTellZAndRByTheAxisCount) {
    ptest::AttachPad({"Two", 2, 4});
    ptest::AttachPad({"Three", 3, 4});
    ptest::AttachPad({"Four", 4, 12});
    JOYCAPSA caps;
    const UINT kHasZR = JOYCAPS_HASZ | JOYCAPS_HASR;
    ASSERT_EQ(joyGetDevCapsA(0, &caps, sizeof caps), static_cast<MMRESULT>(JOYERR_NOERROR));
    EXPECT_EQ(caps.wCaps & kHasZR, 0u);
    ASSERT_EQ(joyGetDevCapsA(1, &caps, sizeof caps), static_cast<MMRESULT>(JOYERR_NOERROR));
    EXPECT_EQ(caps.wCaps & kHasZR, static_cast<UINT>(JOYCAPS_HASZ));
    ASSERT_EQ(joyGetDevCapsA(2, &caps, sizeof caps), static_cast<MMRESULT>(JOYERR_NOERROR));
    EXPECT_EQ(caps.wCaps & kHasZR, kHasZR);
    EXPECT_EQ(caps.wNumButtons, 12u);
    EXPECT_STREQ(caps.szPname, "Four");
    EXPECT_NE(joyGetDevCapsA(3, &caps, sizeof caps), static_cast<MMRESULT>(JOYERR_NOERROR));
}

TEST_F(DirectInputTest, JoystickPositionsAreTheRawValuePlusHalfTheRange) {
    const int pad = ptest::AttachPad({"Pad", 4, 8});
    ptest::SetPadAxis(pad, 0, -32768);
    ptest::SetPadAxis(pad, 1, 0);
    ptest::SetPadAxis(pad, 2, 32767);
    ptest::SetPadAxis(pad, 3, -1);
    ptest::SetPadButton(pad, 0, true);
    ptest::SetPadButton(pad, 5, true);
    JOYINFOEX info = {};
    info.dwSize = sizeof info;
    info.dwFlags = JOY_RETURNALL;
    ASSERT_EQ(joyGetPosEx(0, &info), static_cast<MMRESULT>(JOYERR_NOERROR));
    EXPECT_EQ(info.dwXpos, 0u);
    EXPECT_EQ(info.dwYpos, 32768u);
    EXPECT_EQ(info.dwZpos, 65535u);
    EXPECT_EQ(info.dwRpos, 32767u);
    EXPECT_EQ(info.dwButtons, 0x21u);
    ptest::DetachPad(pad);
    EXPECT_EQ(joyGetPosEx(0, &info), static_cast<MMRESULT>(JOYERR_UNPLUGGED));
}

}  // namespace

}  // namespace dinput_test
