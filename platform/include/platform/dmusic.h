// dmusic.h: DirectMusic 8 as far as the library uses it, answered by platform/src/dmusic.
// Segments are standard MIDI files played by the platform's one MIDI player (the one
// MCI's "sequencer" uses too), rendered into the DirectSound mixer. The loader, the
// performance and DirectMusic come from CoCreateInstance.
//
// Any thread; one object is used by one thread at a time.
#pragma once

#include "platform/dsound.h"

typedef LONG MUSIC_TIME;
typedef LONGLONG REFERENCE_TIME;

// ---- results -----------------------------------------------------------------------------
#define DMUS_E_NOT_INIT ((HRESULT)0x88781133)
#define DMUS_E_ALREADY_INITED ((HRESULT)0x88781134)
#define DMUS_E_TYPE_UNSUPPORTED ((HRESULT)0x88781135)
#define DMUS_E_UNSUPPORTED_STREAM ((HRESULT)0x88781136)
#define DMUS_E_LOADER_NOCLASSID ((HRESULT)0x88781137)
#define DMUS_E_NO_MASTER_CLOCK ((HRESULT)0x88781138)

// ---- object descriptions -----------------------------------------------------------------
#define DMUS_OBJ_OBJECT (1u << 0)
#define DMUS_OBJ_CLASS (1u << 1)
#define DMUS_OBJ_NAME (1u << 2)
#define DMUS_OBJ_CATEGORY (1u << 3)
#define DMUS_OBJ_FILENAME (1u << 4)
#define DMUS_OBJ_FULLPATH (1u << 5)
#define DMUS_OBJ_URL (1u << 6)
#define DMUS_OBJ_VERSION (1u << 7)
#define DMUS_OBJ_DATE (1u << 8)
#define DMUS_OBJ_LOADED (1u << 9)
#define DMUS_OBJ_MEMORY (1u << 10)
#define DMUS_OBJ_STREAM (1u << 11)

#define DMUS_MAX_NAME 64
#define DMUS_MAX_CATEGORY 64
#define DMUS_MAX_FILENAME MAX_PATH

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME;

typedef struct _DMUS_VERSION {
    DWORD dwVersionMS;
    DWORD dwVersionLS;
} DMUS_VERSION;

struct IStream;

// The loader's request. The library writes sizeof; the layer checks its own size.
typedef struct _DMUS_OBJECTDESC {
    DWORD dwSize;
    DWORD dwValidData;
    GUID guidObject;
    GUID guidClass;
    FILETIME ftDate;
    DMUS_VERSION vVersion;
    WCHAR wszName[DMUS_MAX_NAME];
    WCHAR wszCategory[DMUS_MAX_CATEGORY];
    WCHAR wszFileName[DMUS_MAX_FILENAME];
    LONGLONG llMemLength;
    LPBYTE pbMemData;
    IStream* pStream;
} DMUS_OBJECTDESC, *LPDMUS_OBJECTDESC;

// ---- ports ---------------------------------------------------------------------------------
#define DMUS_PC_INPUTCLASS 0
#define DMUS_PC_OUTPUTCLASS 1

#define DMUS_PC_DLS (1u << 0)
#define DMUS_PC_SOFTWARESYNTH (1u << 3)
#define DMUS_PC_GMINHARDWARE (1u << 5)
#define DMUS_PC_SHAREABLE (1u << 8)

#define DMUS_PORT_WINMM_DRIVER 0
#define DMUS_PORT_USER_MODE_SYNTH 1
#define DMUS_PORT_KERNEL_MODE 2

#define DMUS_MAX_DESCRIPTION 128

typedef struct _DMUS_PORTCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    GUID guidPort;
    DWORD dwClass;
    DWORD dwType;
    DWORD dwMemorySize;
    DWORD dwMaxChannelGroups;
    DWORD dwMaxVoices;
    DWORD dwMaxAudioChannels;
    DWORD dwEffectFlags;
    WCHAR wszDescription[DMUS_MAX_DESCRIPTION];
} DMUS_PORTCAPS, *LPDMUS_PORTCAPS;

// ---- audio set-up ----------------------------------------------------------------------------
#define DMUS_APATH_SHARED_STEREOPLUSREVERB 1
#define DMUS_APATH_DYNAMIC_3D 6
#define DMUS_APATH_DYNAMIC_MONO 7
#define DMUS_APATH_DYNAMIC_STEREO 8

#define DMUS_AUDIOF_3D 0x1u
#define DMUS_AUDIOF_ENVIRON 0x2u
#define DMUS_AUDIOF_EAX 0x4u
#define DMUS_AUDIOF_DMOS 0x8u
#define DMUS_AUDIOF_STREAMING 0x10u
#define DMUS_AUDIOF_BUFFERS 0x20u
#define DMUS_AUDIOF_ALL 0x3Fu

#define DMUS_AUDIOPARAMS_FEATURES 0x00000001u
#define DMUS_AUDIOPARAMS_VOICES 0x00000002u
#define DMUS_AUDIOPARAMS_SAMPLERATE 0x00000004u
#define DMUS_AUDIOPARAMS_DEFAULTSYNTH 0x00000008u

typedef struct _DMUS_AUDIOPARAMS {
    DWORD dwSize;
    BOOL fInitNow;
    DWORD dwValidData;
    DWORD dwFeatures;
    DWORD dwVoices;
    DWORD dwSampleRate;
    CLSID clsidDefaultSynth;
} DMUS_AUDIOPARAMS;
static_assert(sizeof(DMUS_AUDIOPARAMS) == 40, "DMUS_AUDIOPARAMS is 40 bytes");

// ---- segments and play ------------------------------------------------------------------------
#define DMUS_SEG_REPEAT_INFINITE 0xFFFFFFFFu
#define DMUS_SEG_ALLTRACKS 0x80000000u

#define DMUS_SEGF_REFTIME (1u << 6)
#define DMUS_SEGF_SECONDARY (1u << 7)
#define DMUS_SEGF_DEFAULT (1u << 14)

// ---- interfaces --------------------------------------------------------------------------------
extern const CLSID CLSID_DirectMusic;
extern const CLSID CLSID_DirectMusicLoader;
extern const CLSID CLSID_DirectMusicPerformance;
extern const CLSID CLSID_DirectMusicSegment;
extern const IID IID_IDirectMusic;
extern const IID IID_IDirectMusic8;
extern const IID IID_IDirectMusicLoader8;
extern const IID IID_IDirectMusicPerformance8;
extern const IID IID_IDirectMusicSegment;
extern const IID IID_IDirectMusicSegment8;
extern const GUID GUID_StandardMIDIFile;

struct IDirectMusic : IUnknown {
    // One output port (index 0); S_FALSE past the last.
    virtual HRESULT EnumPort(DWORD index, LPDMUS_PORTCAPS caps) = 0;

protected:
    ~IDirectMusic() = default;
};

struct IDirectMusic8 : IDirectMusic {
protected:
    ~IDirectMusic8() = default;
};

struct IDirectMusicSegment : IUnknown {
    // Plays after the first: DMUS_SEG_REPEAT_INFINITE loops the song without a gap.
    virtual HRESULT SetRepeats(DWORD repeats) = 0;
    virtual HRESULT SetParam(REFGUID type, DWORD groups, DWORD index, MUSIC_TIME time, void* param) = 0;  // S_OK

protected:
    ~IDirectMusicSegment() = default;
};

struct IDirectMusicSegment8 : IDirectMusicSegment {
    virtual HRESULT Download(IUnknown* target) = 0;  // S_OK
    virtual HRESULT Unload(IUnknown* target) = 0;    // S_OK

protected:
    ~IDirectMusicSegment8() = default;
};

struct IDirectMusicSegmentState : IUnknown {
protected:
    ~IDirectMusicSegmentState() = default;
};

struct IDirectMusicLoader8 : IUnknown {
    // DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY with CLSID_DirectMusicSegment: a segment of the
    // standard MIDI file in memory (copied); anything else is refused.
    virtual HRESULT GetObject(LPDMUS_OBJECTDESC desc, REFIID iid, LPVOID* object) = 0;

protected:
    ~IDirectMusicLoader8() = default;
};

struct IDirectMusicPerformance8 : IUnknown {
    // Hands out a ready DirectSound object on the same mixer (DSERR_NODRIVER without a
    // sound device), and a DirectMusic object when *directMusic is NULL.
    virtual HRESULT InitAudio(IDirectMusic** directMusic, IDirectSound** directSound, HWND window,
                              DWORD defaultPathType, DWORD performanceChannels, DWORD flags,
                              DMUS_AUDIOPARAMS* params) = 0;
    // Replaces the playing segment from the next mix on.
    virtual HRESULT PlaySegmentEx(IUnknown* source, WCHAR* segmentName, IUnknown* transition, DWORD flags,
                                  LONGLONG startTime, IDirectMusicSegmentState** state, IUnknown* from,
                                  IUnknown* audioPath) = 0;
    // These three act at once.
    virtual HRESULT StopEx(IUnknown* object, LONGLONG stopTime, DWORD flags) = 0;
    virtual HRESULT Stop(IDirectMusicSegment* segment, IDirectMusicSegmentState* state, MUSIC_TIME stopTime,
                         DWORD flags) = 0;
    virtual HRESULT CloseDown() = 0;
    // S_FALSE before the segment starts sounding, S_OK while it sounds, S_FALSE after
    // its last repeat.
    virtual HRESULT IsPlaying(IDirectMusicSegment* segment, IDirectMusicSegmentState* state) = 0;

protected:
    ~IDirectMusicPerformance8() = default;
};

// ---- text --------------------------------------------------------------------------------------
// DirectMusic's names are wide; CP_ACP and CP_OEMCP are CP932 here.
#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR out, int outBytes,
                        LPCSTR defaultChar, LPBOOL usedDefault);
