// dsound.h: DirectSound as far as the library uses it, answered by platform/src/dsound.
// Every buffer is mixed by the platform into one output: the SDL audio device, or the
// null device that tests advance by hand (testing.h). The object comes from
// CoCreateInstance(CLSID_DirectSound, ..., IID_IDirectSound) and Initialize(NULL), or
// ready-made from IDirectMusicPerformance8::InitAudio.
//
// Mixing, per playing buffer: 8-bit data is (b - 128) x 256 and mono goes to both
// channels; it is resampled to the output rate (a buffer at that rate passes
// unchanged); it is scaled by 10^(v/2000), where volume 0 is exactly unity and -10000
// exactly silence; the buffers are summed and clipped. So one buffer in the output
// format at volume 0 comes out bit for bit.
//
// Calls come from any thread; one lock of the layer, shared with the mixing, guards
// every buffer's state.
#pragma once

#include "platform/winmm.h"

// ---- results ---------------------------------------------------------------------------
#define DS_OK S_OK
#define DSERR_ALLOCATED ((HRESULT)0x8878000A)
#define DSERR_CONTROLUNAVAIL ((HRESULT)0x8878001E)
#define DSERR_INVALIDPARAM E_INVALIDARG
#define DSERR_INVALIDCALL ((HRESULT)0x88780032)
#define DSERR_GENERIC E_FAIL
#define DSERR_PRIOLEVELNEEDED ((HRESULT)0x88780046)
#define DSERR_OUTOFMEMORY E_OUTOFMEMORY
#define DSERR_BADFORMAT ((HRESULT)0x88780064)
#define DSERR_UNSUPPORTED E_NOTIMPL
#define DSERR_NODRIVER ((HRESULT)0x88780078)
#define DSERR_ALREADYINITIALIZED ((HRESULT)0x88780082)
#define DSERR_NOAGGREGATION CLASS_E_NOAGGREGATION
#define DSERR_UNINITIALIZED ((HRESULT)0x887800AA)

// ---- capabilities ------------------------------------------------------------------------
#define DSCAPS_PRIMARYMONO 0x00000001u
#define DSCAPS_PRIMARYSTEREO 0x00000002u
#define DSCAPS_PRIMARY8BIT 0x00000004u
#define DSCAPS_PRIMARY16BIT 0x00000008u
#define DSCAPS_CONTINUOUSRATE 0x00000010u
#define DSCAPS_EMULDRIVER 0x00000020u
#define DSCAPS_SECONDARYMONO 0x00000100u
#define DSCAPS_SECONDARYSTEREO 0x00000200u
#define DSCAPS_SECONDARY8BIT 0x00000400u
#define DSCAPS_SECONDARY16BIT 0x00000800u

typedef struct _DSCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwMinSecondarySampleRate;
    DWORD dwMaxSecondarySampleRate;
    DWORD dwPrimaryBuffers;
    DWORD dwMaxHwMixingAllBuffers;
    DWORD dwMaxHwMixingStaticBuffers;
    DWORD dwMaxHwMixingStreamingBuffers;
    DWORD dwFreeHwMixingAllBuffers;
    DWORD dwFreeHwMixingStaticBuffers;
    DWORD dwFreeHwMixingStreamingBuffers;
    DWORD dwMaxHw3DAllBuffers;
    DWORD dwMaxHw3DStaticBuffers;
    DWORD dwMaxHw3DStreamingBuffers;
    DWORD dwFreeHw3DAllBuffers;
    DWORD dwFreeHw3DStaticBuffers;
    DWORD dwFreeHw3DStreamingBuffers;
    DWORD dwTotalHwMemBytes;
    DWORD dwFreeHwMemBytes;
    DWORD dwMaxContigFreeHwMemBytes;
    DWORD dwUnlockTransferRateHwBuffers;
    DWORD dwPlayCpuOverheadSwBuffers;
    DWORD dwReserved1;
    DWORD dwReserved2;
} DSCAPS, *LPDSCAPS;
typedef const DSCAPS* LPCDSCAPS;
static_assert(sizeof(DSCAPS) == 96, "DSCAPS is 96 bytes");

// ---- buffers -----------------------------------------------------------------------------
#define DSBCAPS_PRIMARYBUFFER 0x00000001u
#define DSBCAPS_STATIC 0x00000002u
#define DSBCAPS_LOCHARDWARE 0x00000004u
#define DSBCAPS_LOCSOFTWARE 0x00000008u
#define DSBCAPS_CTRL3D 0x00000010u
#define DSBCAPS_CTRLFREQUENCY 0x00000020u
#define DSBCAPS_CTRLPAN 0x00000040u
#define DSBCAPS_CTRLVOLUME 0x00000080u
#define DSBCAPS_CTRLPOSITIONNOTIFY 0x00000100u
#define DSBCAPS_STICKYFOCUS 0x00004000u
#define DSBCAPS_GLOBALFOCUS 0x00008000u
#define DSBCAPS_GETCURRENTPOSITION2 0x00010000u

#define DSBPLAY_LOOPING 0x00000001u

#define DSBSTATUS_PLAYING 0x00000001u
#define DSBSTATUS_BUFFERLOST 0x00000002u
#define DSBSTATUS_LOOPING 0x00000004u

#define DSBLOCK_FROMWRITECURSOR 0x00000001u
#define DSBLOCK_ENTIREBUFFER 0x00000002u

#define DSBVOLUME_MIN -10000
#define DSBVOLUME_MAX 0

#define DSBFREQUENCY_MIN 100
#define DSBFREQUENCY_MAX 200000

#define DSBSIZE_MIN 4
#define DSBSIZE_MAX 0x0FFFFFFF

#define DSSCL_NORMAL 0x00000001u
#define DSSCL_PRIORITY 0x00000002u
#define DSSCL_EXCLUSIVE 0x00000003u
#define DSSCL_WRITEPRIMARY 0x00000004u

// A buffer request. The primary takes exactly DSBCAPS_PRIMARYBUFFER, no size and no
// format. A secondary takes 8-bit unsigned or 16-bit signed PCM, 1-2 channels,
// 100-200000 Hz, with one of the flag sets 0x80E2, 0xC2, 0x180E2 or 0x8002, and a
// size of DSBSIZE_MIN-DSBSIZE_MAX bytes holding at least one frame. The library writes
// sizeof; the layer checks its own size.
typedef struct _DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    LPWAVEFORMATEX lpwfxFormat;
    GUID guid3DAlgorithm;
} DSBUFFERDESC, *LPDSBUFFERDESC;
typedef const DSBUFFERDESC* LPCDSBUFFERDESC;

// ---- interfaces --------------------------------------------------------------------------
extern const CLSID CLSID_DirectSound;
extern const IID IID_IDirectSound;
extern const IID IID_IDirectSound8;
extern const IID IID_IDirectSoundBuffer;

struct IDirectSoundBuffer : IUnknown {
    // Play and write cursors in bytes; the play cursor moves with the mixer at the
    // buffer's own rate. Either pointer may be NULL.
    virtual HRESULT GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) = 0;
    // DSBSTATUS_PLAYING, with DSBSTATUS_LOOPING when it loops.
    virtual HRESULT GetStatus(LPDWORD status) = 0;
    // Two parts when the span wraps past the end; an offset or size beyond the buffer
    // gives DSERR_INVALIDPARAM. The parts stay valid until Unlock.
    virtual HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* part1, LPDWORD bytes1, LPVOID* part2, LPDWORD bytes2,
                         DWORD flags) = 0;
    // DSBPLAY_LOOPING or 0. A buffer that does not loop stops at its end, and its play
    // cursor then reads 0.
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    virtual HRESULT SetCurrentPosition(DWORD playCursor) = 0;
    // The primary only: the output's format.
    virtual HRESULT SetFormat(LPCWAVEFORMATEX format) = 0;
    // DSBVOLUME_MIN-DSBVOLUME_MAX in hundredths of a decibel; anything else is
    // DSERR_INVALIDPARAM.
    virtual HRESULT SetVolume(LONG volume) = 0;
    // Keeps the position.
    virtual HRESULT Stop() = 0;
    // Commits the bytes written into the parts of the latest Lock.
    virtual HRESULT Unlock(LPVOID part1, DWORD bytes1, LPVOID part2, DWORD bytes2) = 0;

protected:
    ~IDirectSoundBuffer() = default;
};
typedef IDirectSoundBuffer* LPDIRECTSOUNDBUFFER;

struct IDirectSound : IUnknown {
    virtual HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer, LPUNKNOWN outer) = 0;
    // Every PRIMARY/SECONDARY MONO/STEREO/8BIT/16BIT flag, secondary rates
    // 100-200000, no hardware memory (testing.h can change them).
    virtual HRESULT GetCaps(LPDSCAPS caps) = 0;
    // Shares the sample memory; its own position, status and volume.
    virtual HRESULT DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original, LPDIRECTSOUNDBUFFER* duplicate) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
    // NULL: the default device. DSERR_NODRIVER when there is no sound device.
    virtual HRESULT Initialize(const GUID* device) = 0;

protected:
    ~IDirectSound() = default;
};
typedef IDirectSound* LPDIRECTSOUND;

// Reached through LoadLibraryA("DSOUND.DLL") and GetProcAddress: calls back once per
// device, the primary driver first with a NULL GUID; FALSE from the callback stops.
typedef BOOL(CALLBACK* LPDSENUMCALLBACKA)(LPGUID guid, LPCSTR description, LPCSTR module, LPVOID context);
HRESULT WINAPI DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context);
