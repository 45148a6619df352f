// winmm.h: the multimedia timer services the library uses.
#pragma once

#include "platform/win32.h"

typedef UINT MMRESULT;
#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97

typedef struct timecaps_tag {
    UINT wPeriodMin;
    UINT wPeriodMax;
} TIMECAPS, *LPTIMECAPS;

DWORD timeGetTime();
MMRESULT timeGetDevCaps(LPTIMECAPS caps, UINT size);
MMRESULT timeBeginPeriod(UINT period);
MMRESULT timeEndPeriod(UINT period);

// ---- waveform formats and MCI (the sound layer: platform/src/dsound, acm, dmusic) ------
// Result codes shared by the waveform services (ACM among them).
#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NOMEM 7
#define MMSYSERR_INVALFLAG 10
#define MMSYSERR_INVALPARAM 11

#define WAVE_FORMAT_PCM 1

// The waveform format record: 18 bytes, packed, as every sound file and call carries it.
#pragma pack(push, 1)
typedef struct tWAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;  // bytes of format-specific data after these 18
} WAVEFORMATEX, *PWAVEFORMATEX, *LPWAVEFORMATEX;
typedef const WAVEFORMATEX* LPCWAVEFORMATEX;
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX is 18 bytes");

// MCI: the "sequencer" device plays one standard MIDI file, through the platform's
// MIDI player (the one DirectMusic uses too). Its end is posted to the window named in
// dwCallback as MM_MCINOTIFY(MCI_NOTIFY_SUCCESSFUL, device id), only when a song
// reaches its end: never for a stop, a close or a play that replaces it.
typedef UINT MCIDEVICEID;
typedef DWORD MCIERROR;

#define MCI_NOTIFY_SUCCESSFUL 0x0001
#define MCI_NOTIFY_SUPERSEDED 0x0002
#define MCI_NOTIFY_ABORTED 0x0004
#define MCI_NOTIFY_FAILURE 0x0008

#define MCI_OPEN 0x0803
#define MCI_CLOSE 0x0804
#define MCI_PLAY 0x0806
#define MCI_STOP 0x0808
#define MCI_STATUS 0x0814

#define MCI_NOTIFY 0x00000001u
#define MCI_WAIT 0x00000002u
#define MCI_FROM 0x00000004u
#define MCI_TO 0x00000008u
#define MCI_OPEN_ELEMENT 0x00000200u
#define MCI_OPEN_ALIAS 0x00000400u
#define MCI_OPEN_TYPE 0x00002000u
#define MCI_STATUS_ITEM 0x00000100u

#define MCI_SEQ_STATUS_PORT 0x00004003u
#define MIDI_MAPPER 0xFFFF

#define MCIERR_BASE 256
#define MCIERR_INVALID_DEVICE_ID (MCIERR_BASE + 1)
#define MCIERR_UNRECOGNIZED_COMMAND (MCIERR_BASE + 5)
#define MCIERR_HARDWARE (MCIERR_BASE + 6)
#define MCIERR_INVALID_DEVICE_NAME (MCIERR_BASE + 7)
#define MCIERR_OUT_OF_MEMORY (MCIERR_BASE + 8)
#define MCIERR_MISSING_PARAMETER (MCIERR_BASE + 17)
#define MCIERR_UNSUPPORTED_FUNCTION (MCIERR_BASE + 18)
#define MCIERR_FILE_NOT_FOUND (MCIERR_BASE + 19)
#define MCIERR_OUTOFRANGE (MCIERR_BASE + 26)
#define MCIERR_FLAGS_NOT_COMPATIBLE (MCIERR_BASE + 28)
#define MCIERR_INVALID_FILE (MCIERR_BASE + 40)
#define MCIERR_NULL_PARAMETER_BLOCK (MCIERR_BASE + 41)

typedef struct tagMCI_GENERIC_PARMS {
    DWORD_PTR dwCallback;
} MCI_GENERIC_PARMS, *LPMCI_GENERIC_PARMS;

typedef struct tagMCI_OPEN_PARMSA {
    DWORD_PTR dwCallback;
    MCIDEVICEID wDeviceID;  // out: the new device
    LPCSTR lpstrDeviceType;
    LPCSTR lpstrElementName;
    LPCSTR lpstrAlias;
} MCI_OPEN_PARMSA, *LPMCI_OPEN_PARMSA;
typedef MCI_OPEN_PARMSA MCI_OPEN_PARMS;

typedef struct tagMCI_PLAY_PARMS {
    DWORD_PTR dwCallback;
    DWORD dwFrom;
    DWORD dwTo;
} MCI_PLAY_PARMS, *LPMCI_PLAY_PARMS;

typedef struct tagMCI_STATUS_PARMS {
    DWORD_PTR dwCallback;
    DWORD_PTR dwReturn;
    DWORD dwItem;
    DWORD dwTrack;
} MCI_STATUS_PARMS, *LPMCI_STATUS_PARMS;

// Any thread. MCI_OPEN takes a drive path (either separator), resolved as every
// platform file call resolves its names.
MCIERROR mciSendCommandA(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR parameters);
#define mciSendCommand mciSendCommandA

// ---- joysticks (platform/src/dinput/joystick.cpp) --------------------------------------------
// Ids 0 to n-1 are the attached pads, in DirectInput's enumeration order. Any thread.
#define JOYERR_NOERROR 0
#define JOYERR_PARMS 165
#define JOYERR_UNPLUGGED 167
#define MMSYSERR_BADDEVICEID 2

#define JOYCAPS_HASZ 0x0001u
#define JOYCAPS_HASR 0x0002u
#define JOYCAPS_HASU 0x0004u
#define JOYCAPS_HASV 0x0008u
#define JOYCAPS_HASPOV 0x0010u

#define JOY_RETURNX 0x00000001u
#define JOY_RETURNY 0x00000002u
#define JOY_RETURNZ 0x00000004u
#define JOY_RETURNR 0x00000008u
#define JOY_RETURNU 0x00000010u
#define JOY_RETURNV 0x00000020u
#define JOY_RETURNPOV 0x00000040u
#define JOY_RETURNBUTTONS 0x00000080u
#define JOY_RETURNALL 0x000000FFu

typedef struct tagJOYCAPSA {
    WORD wMid;
    WORD wPid;
    CHAR szPname[32];  // CP932, cut to fit
    UINT wXmin, wXmax, wYmin, wYmax, wZmin, wZmax;
    UINT wNumButtons;
    UINT wPeriodMin, wPeriodMax;
    UINT wRmin, wRmax, wUmin, wUmax, wVmin, wVmax;
    UINT wCaps;  // JOYCAPS_HASZ with 3 or more axes, JOYCAPS_HASR with 4 or more
    UINT wMaxAxes, wNumAxes, wMaxButtons;
} JOYCAPSA, *LPJOYCAPSA;

typedef struct joyinfoex_tag {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwXpos;  // SDL axis 0 + 32768
    DWORD dwYpos;  // axis 1
    DWORD dwZpos;  // axis 2
    DWORD dwRpos;  // axis 3
    DWORD dwUpos;  // axis 4
    DWORD dwVpos;  // axis 5
    DWORD dwButtons;  // button i in bit i
    DWORD dwButtonNumber;
    DWORD dwPOV;
    DWORD dwReserved1;
    DWORD dwReserved2;
} JOYINFOEX, *LPJOYINFOEX;

// JOYERR_NOERROR, MMSYSERR_BADDEVICEID for an id without a pad, JOYERR_PARMS for a bad
// size or pointer.
MMRESULT joyGetDevCapsA(UINT_PTR id, LPJOYCAPSA caps, UINT size);
// JOYERR_UNPLUGGED once the pad is gone.
MMRESULT joyGetPosEx(UINT id, LPJOYINFOEX info);
