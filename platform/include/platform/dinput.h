// dinput.h: DirectInput 7 as far as the library uses it, answered by platform/src/dinput
// over the backend's pads, the window layer's key state and the mouse. The object comes
// from CoCreateInstance(CLSID_DirectInput, ..., IID_IDirectInput7A) and Initialize(instance,
// 0x700).
//
// Rules a caller may rely on:
// - Success codes are non-negative (an Acquire of an acquired device answers
//   DI_NOEFFECT); failures are negative.
// - The keyboard and the mouse (non-exclusive, background) acquire at any time; a pad
//   (exclusive, foreground) only while its cooperative window is the foreground window,
//   else DIERR_OTHERAPPHASPRIO. When that window deactivates, or the pad is unplugged,
//   the pad is unacquired: its next GetDeviceState fails with DIERR_INPUTLOST, later
//   ones with DIERR_NOTACQUIRED until an Acquire succeeds.
// - A device with an event notification has its event signalled whenever its state
//   changes while it is acquired.
// - Pad state: SDL axes 0-5 fill lX, lY, lZ, lRz, lRx, lRy and axes 6-7 the sliders;
//   buttons 0-31 read 0x80 while held; hats fill only the POV values (hundredths of a
//   degree, 0xFFFFFFFF centred). Per axis, a range and a dead zone (ten-thousandths of the
//   half range) apply to the raw value: inside the dead zone the centre, beyond it a
//   linear scale to the end of the range. An axis whose range was never set reads
//   0..65535 with no dead zone.
//
// Threads: any thread. Device states are snapshots that the main thread's message pump
// brings up to date; SDL is touched only there.
#pragma once

#include "platform/win32.h"

#define DIRECTINPUT_VERSION 0x0700

// ---- results ------------------------------------------------------------------------------
#define DI_OK S_OK
#define DI_NOEFFECT S_FALSE
#define DI_PROPNOEFFECT S_FALSE
#define DI_POLLEDDEVICE ((HRESULT)0x00000002)
#define DIERR_GENERIC E_FAIL
#define DIERR_OUTOFMEMORY E_OUTOFMEMORY
#define DIERR_INVALIDPARAM E_INVALIDARG
#define DIERR_NOINTERFACE E_NOINTERFACE
#define DIERR_UNSUPPORTED E_NOTIMPL
#define DIERR_DEVICENOTREG REGDB_E_CLASSNOTREG
#define DIERR_NOTFOUND ((HRESULT)0x80070002)
#define DIERR_OBJECTNOTFOUND DIERR_NOTFOUND
#define DIERR_OTHERAPPHASPRIO ((HRESULT)0x80070005)
#define DIERR_NOTACQUIRED ((HRESULT)0x8007000C)
#define DIERR_NOTINITIALIZED ((HRESULT)0x80070015)
#define DIERR_INPUTLOST ((HRESULT)0x8007001E)
#define DIERR_ACQUIRED ((HRESULT)0x800700AA)
#define DIERR_OLDDIRECTINPUTVERSION ((HRESULT)0x8007047E)

// ---- devices --------------------------------------------------------------------------------
#define DIDEVTYPE_DEVICE 1
#define DIDEVTYPE_MOUSE 2
#define DIDEVTYPE_KEYBOARD 3
#define DIDEVTYPE_JOYSTICK 4

#define DIEDFL_ALLDEVICES 0x00000000u
#define DIEDFL_ATTACHEDONLY 0x00000001u

#define DIENUM_STOP 0
#define DIENUM_CONTINUE 1

#define DISCL_EXCLUSIVE 0x00000001u
#define DISCL_NONEXCLUSIVE 0x00000002u
#define DISCL_FOREGROUND 0x00000004u
#define DISCL_BACKGROUND 0x00000008u

typedef struct DIDEVICEINSTANCEA {
    DWORD dwSize;
    GUID guidInstance;  // stable while the device stays attached
    GUID guidProduct;
    DWORD dwDevType;
    CHAR tszInstanceName[MAX_PATH];  // CP932
    CHAR tszProductName[MAX_PATH];   // CP932
    GUID guidFFDriver;
    WORD wUsagePage;
    WORD wUsage;
} DIDEVICEINSTANCEA, *LPDIDEVICEINSTANCEA;
typedef const DIDEVICEINSTANCEA* LPCDIDEVICEINSTANCEA;
typedef DIDEVICEINSTANCEA DIDEVICEINSTANCE;

typedef BOOL(CALLBACK* LPDIENUMDEVICESCALLBACKA)(LPCDIDEVICEINSTANCEA instance, LPVOID context);

// The three data formats a device takes; each names the state its GetDeviceState gives.
typedef struct _DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;  // bytes of device state
    DWORD dwNumObjs;
    const void* rgodf;  // not read here
} DIDATAFORMAT, *LPDIDATAFORMAT;
typedef const DIDATAFORMAT* LPCDIDATAFORMAT;

extern const DIDATAFORMAT c_dfDIKeyboard;  // 256 bytes, one per DIK code
extern const DIDATAFORMAT c_dfDIMouse;     // DIMOUSESTATE
extern const DIDATAFORMAT c_dfDIJoystick;  // DIJOYSTATE

typedef struct DIMOUSESTATE {
    LONG lX;  // movement since the last read
    LONG lY;
    LONG lZ;
    BYTE rgbButtons[4];
} DIMOUSESTATE, *LPDIMOUSESTATE;

typedef struct DIJOYSTATE {
    LONG lX;
    LONG lY;
    LONG lZ;
    LONG lRx;
    LONG lRy;
    LONG lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];
    BYTE rgbButtons[32];
} DIJOYSTATE, *LPDIJOYSTATE;
static_assert(sizeof(DIJOYSTATE) == 80, "DIJOYSTATE is 80 bytes");

// Object offsets into DIJOYSTATE, as properties and effects name axes.
#define DIJOFS_X 0
#define DIJOFS_Y 4
#define DIJOFS_Z 8
#define DIJOFS_RX 12
#define DIJOFS_RY 16
#define DIJOFS_RZ 20
#define DIJOFS_SLIDER(n) (24 + (n) * 4)

// ---- properties ---------------------------------------------------------------------------
// A property is named by a small number, as the GUID pointers of the interface do.
typedef const GUID* DIPROPERTYID;
#define MAKEDIPROP(n) (reinterpret_cast<DIPROPERTYID>(static_cast<uintptr_t>(n)))
#define DIPROP_BUFFERSIZE MAKEDIPROP(1)
#define DIPROP_RANGE MAKEDIPROP(4)
#define DIPROP_DEADZONE MAKEDIPROP(5)

#define DIPH_DEVICE 0
#define DIPH_BYOFFSET 1

typedef struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;  // an object offset with DIPH_BYOFFSET, 0 with DIPH_DEVICE
    DWORD dwHow;
} DIPROPHEADER, *LPDIPROPHEADER;
typedef const DIPROPHEADER* LPCDIPROPHEADER;

typedef struct DIPROPDWORD {
    DIPROPHEADER diph;
    DWORD dwData;
} DIPROPDWORD, *LPDIPROPDWORD;

typedef struct DIPROPRANGE {
    DIPROPHEADER diph;
    LONG lMin;
    LONG lMax;
} DIPROPRANGE, *LPDIPROPRANGE;

// ---- force feedback -------------------------------------------------------------------------
#define DI_SECONDS 1000000u
#define DI_FFNOMINALMAX 10000
#define DIEB_NOTRIGGER 0xFFFFFFFFu

#define DIEFF_OBJECTIDS 0x00000001u
#define DIEFF_OBJECTOFFSETS 0x00000002u
#define DIEFF_CARTESIAN 0x00000010u
#define DIEFF_POLAR 0x00000020u
#define DIEFF_SPHERICAL 0x00000040u

typedef struct DIENVELOPE {
    DWORD dwSize;
    DWORD dwAttackLevel;
    DWORD dwAttackTime;  // microseconds
    DWORD dwFadeLevel;
    DWORD dwFadeTime;    // microseconds
} DIENVELOPE, *LPDIENVELOPE;

typedef struct DIPERIODIC {
    DWORD dwMagnitude;  // 0..10000
    LONG lOffset;
    DWORD dwPhase;
    DWORD dwPeriod;  // microseconds
} DIPERIODIC, *LPDIPERIODIC;

typedef struct DICONSTANTFORCE {
    LONG lMagnitude;  // -10000..10000
} DICONSTANTFORCE, *LPDICONSTANTFORCE;

typedef struct DIEFFECT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwDuration;  // microseconds; INFINITE: until stopped
    DWORD dwSamplePeriod;
    DWORD dwGain;  // 0..10000
    DWORD dwTriggerButton;
    DWORD dwTriggerRepeatInterval;
    DWORD cAxes;
    LPDWORD rgdwAxes;
    LPLONG rglDirection;
    LPDIENVELOPE lpEnvelope;
    DWORD cbTypeSpecificParams;
    LPVOID lpvTypeSpecificParams;
} DIEFFECT, *LPDIEFFECT;
typedef const DIEFFECT* LPCDIEFFECT;

// ---- interfaces ------------------------------------------------------------------------------
extern const CLSID CLSID_DirectInput;
extern const IID IID_IDirectInput7A;
extern const IID IID_IDirectInputDevice7A;
extern const GUID GUID_SysKeyboard;
extern const GUID GUID_SysMouse;
extern const GUID GUID_Sine;
extern const GUID GUID_ConstantForce;

struct IDirectInputEffect : IUnknown {
    // Runs the effect the given number of times (INFINITE: until stopped).
    virtual HRESULT Start(DWORD iterations, DWORD flags) = 0;
    virtual HRESULT Stop() = 0;

protected:
    ~IDirectInputEffect() = default;
};
typedef IDirectInputEffect* LPDIRECTINPUTEFFECT;

struct IDirectInputDevice7A : IUnknown {
    // c_dfDIKeyboard for the keyboard, c_dfDIMouse for the mouse, c_dfDIJoystick for a
    // pad; another format is DIERR_INVALIDPARAM. Not while acquired (DIERR_ACQUIRED).
    virtual HRESULT SetDataFormat(LPCDIDATAFORMAT format) = 0;
    // DISCL_EXCLUSIVE or DISCL_NONEXCLUSIVE with DISCL_FOREGROUND or DISCL_BACKGROUND.
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    // DIPROP_BUFFERSIZE for the whole device; DIPROP_RANGE and DIPROP_DEADZONE (0..10000)
    // by the offset of an axis the pad has (DIERR_OBJECTNOTFOUND for one it lacks).
    virtual HRESULT SetProperty(DIPROPERTYID property, LPCDIPROPHEADER header) = 0;
    // A manual-reset event, or NULL for none; DI_OK.
    virtual HRESULT SetEventNotification(HANDLE event) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;  // DI_NOEFFECT when not acquired
    virtual HRESULT Poll() = 0;       // DI_NOEFFECT: states are always current
    // Copies exactly the data format's size; nothing is written on failure.
    virtual HRESULT GetDeviceState(DWORD size, LPVOID data) = 0;
    virtual HRESULT GetDeviceInfo(LPDIDEVICEINSTANCEA instance) = 0;
    // GUID_Sine or GUID_ConstantForce on a pad with force feedback; DIERR_UNSUPPORTED
    // elsewhere.
    virtual HRESULT CreateEffect(REFGUID kind, LPCDIEFFECT effect, LPDIRECTINPUTEFFECT* out, LPUNKNOWN outer) = 0;

protected:
    ~IDirectInputDevice7A() = default;
};
typedef IDirectInputDevice7A* LPDIRECTINPUTDEVICE7A;
typedef IDirectInputDevice7A IDirectInputDevice7;
typedef IDirectInputDevice7A* LPDIRECTINPUTDEVICE7;

struct IDirectInput7A : IUnknown {
    // Version 0x700 or below; later versions answer DIERR_OLDDIRECTINPUTVERSION.
    virtual HRESULT Initialize(HINSTANCE instance, DWORD version) = 0;
    // DIDEVTYPE_JOYSTICK: once per attached pad, in a stable order; the callback's
    // DIENUM_STOP ends it.
    virtual HRESULT EnumDevices(DWORD deviceType, LPDIENUMDEVICESCALLBACKA callback, LPVOID context, DWORD flags) = 0;
    // GUID_SysKeyboard, GUID_SysMouse or a pad's instance GUID, as IID_IDirectInputDevice7A.
    virtual HRESULT CreateDeviceEx(REFGUID device, REFIID iid, LPVOID* out, LPUNKNOWN outer) = 0;

protected:
    ~IDirectInput7A() = default;
};
typedef IDirectInput7A* LPDIRECTINPUT7A;
typedef IDirectInput7A IDirectInput7;
typedef IDirectInput7A* LPDIRECTINPUT7;

// ---- key codes ------------------------------------------------------------------------------
// DirectInput key codes of the keys the library names; the key table of 256 bytes is
// indexed by these.
#define DIK_ESCAPE 0x01
#define DIK_1 0x02
#define DIK_0 0x0B
#define DIK_MINUS 0x0C
#define DIK_BACK 0x0E
#define DIK_TAB 0x0F
#define DIK_Q 0x10
#define DIK_W 0x11
#define DIK_E 0x12
#define DIK_LBRACKET 0x1A
#define DIK_RBRACKET 0x1B
#define DIK_RETURN 0x1C
#define DIK_LCONTROL 0x1D
#define DIK_A 0x1E
#define DIK_S 0x1F
#define DIK_D 0x20
#define DIK_SEMICOLON 0x27
#define DIK_LSHIFT 0x2A
#define DIK_BACKSLASH 0x2B
#define DIK_Z 0x2C
#define DIK_X 0x2D
#define DIK_C 0x2E
#define DIK_COMMA 0x33
#define DIK_PERIOD 0x34
#define DIK_SLASH 0x35
#define DIK_RSHIFT 0x36
#define DIK_MULTIPLY 0x37
#define DIK_LMENU 0x38
#define DIK_SPACE 0x39
#define DIK_CAPITAL 0x3A
#define DIK_F1 0x3B
#define DIK_F10 0x44
#define DIK_NUMLOCK 0x45
#define DIK_SCROLL 0x46
#define DIK_NUMPAD7 0x47
#define DIK_NUMPAD8 0x48
#define DIK_NUMPAD9 0x49
#define DIK_SUBTRACT 0x4A
#define DIK_NUMPAD4 0x4B
#define DIK_NUMPAD5 0x4C
#define DIK_NUMPAD6 0x4D
#define DIK_ADD 0x4E
#define DIK_NUMPAD1 0x4F
#define DIK_NUMPAD2 0x50
#define DIK_NUMPAD3 0x51
#define DIK_NUMPAD0 0x52
#define DIK_DECIMAL 0x53
#define DIK_F11 0x57
#define DIK_F12 0x58
#define DIK_KANA 0x70
#define DIK_CONVERT 0x79
#define DIK_NOCONVERT 0x7B
#define DIK_YEN 0x7D
#define DIK_CIRCUMFLEX 0x90
#define DIK_AT 0x91
#define DIK_COLON 0x92
#define DIK_KANJI 0x94
#define DIK_NUMPADENTER 0x9C
#define DIK_RCONTROL 0x9D
#define DIK_DIVIDE 0xB5
#define DIK_SYSRQ 0xB7
#define DIK_RMENU 0xB8
#define DIK_PAUSE 0xC5
#define DIK_HOME 0xC7
#define DIK_UP 0xC8
#define DIK_PRIOR 0xC9
#define DIK_LEFT 0xCB
#define DIK_RIGHT 0xCD
#define DIK_END 0xCF
#define DIK_DOWN 0xD0
#define DIK_NEXT 0xD1
#define DIK_INSERT 0xD2
#define DIK_DELETE 0xD3
#define DIK_LWIN 0xDB
#define DIK_RWIN 0xDC
#define DIK_APPS 0xDD
