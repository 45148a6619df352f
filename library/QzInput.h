// QzInput.h: the input devices: the keyboard and up to eight pads through DirectInput 7
// (or the multimedia joystick functions when that mode is chosen before start-up), the
// per-millisecond key table with Windows' key state overlaid, pad bits, and the pads'
// force-feedback vibration. Main thread under the library lock; the vibration timers
// also run from the message thread's pump, under the lock too.
#pragma once

#include <platform/dinput.h>
#include <platform/win32.h>

constexpr int kMaxPads = 8;

// One pad (the record keeps the system's field order).
struct PadRecord {
    IDirectInputDevice7A* device;
    IDirectInputEffect* constantEffect;
    IDirectInputEffect* periodicEffect;  // sine
    HANDLE event;
    DIJOYSTATE state;
    int hasZAndR;          // joystick-function mode
    int lastPollTime;      // ms
    int vibrationState;    // 0 off, 1 on
    int vibrationPower;    // 0-10000
    int vibrationDuration; // ms; negative: until stopped
    int vibrationTimeSoFar;
    int lastVibrationTick;  // ms
    int constantRunning;
    int periodicRunning;
};

// The input record, cleared at every start-up except its first field.
struct InputState {
    int joystickApiMode;  // setting: 1 reads pads with joyGetPosEx instead of DirectInput
    // Null before start-up, the DirectInput object after a DirectInput start-up, or
    // kJoystickApiStarted after a joystick-function start-up.
    IDirectInput7A* directInput;
    IDirectInputDevice7A* mouse;
    IDirectInputDevice7A* keyboard;
    HANDLE keyboardEvent;
    int lastKeyboardUpdate;  // ms
    unsigned char keyTable[256];  // by DirectInput key code; bit 7 while held
    int directInputOnly;  // 0: the Windows key state of the first table run is overlaid
    int padCount;
    PadRecord pads[kMaxPads];
    int windowsKeysOnly;  // the keyboard comes from Windows' key state alone
};

extern InputState g_inputState;
// The input state of a joystick-function start-up.
extern IDirectInput7A* const kJoystickApiStarted;

// The library's virtual-key to DirectInput key table: the first run is overlaid in both
// modes, the whole table only when the keyboard comes from Windows alone.
struct KeyTranslation {
    int virtualKey;
    int dik;
};
constexpr int kKeyTranslationFirstRun = 72;
constexpr int kKeyTranslationCount = 99;
extern const KeyTranslation kKeyTranslation[kKeyTranslationCount];

// 0; -1 when DirectInput cannot be created or initialised; 1 when the keyboard's
// notification cannot be set up (the start-up goes on).
int InitializeInputSystem();
int TerminateInputSystem();  // 0
// 1 while the key of the DirectInput code (0-255) is held, else 0.
int GetKeyPressFlag(int code);
// type: pad number 1-8 (0 none), plus 0x1000 to merge the keyboard.
int GetPadInputBits(int type);
int HaltPadVibration(int pad);  // 0
// 1 when the key table was refreshed, 0 when not.
int UpdateKeyboardState();
// 0; -1 for an index of 8 or more, or when a pump call during a re-acquire returned
// non-zero.
int UpdatePadState(int index);
int ReacquireInputDevices();     // 0
int UpdatePadVibrationTimers();  // 0
int ApplyPadVibration();         // 0
BOOL CALLBACK EnumJoystickCallback(const DIDEVICEINSTANCE* instance, void* context);
