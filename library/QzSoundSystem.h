// QzSoundSystem.h: the sound system's one state and its start, end and mode. Mode 0 is
// DirectSound with MIDI through the MCI sequencer; mode 1 is DirectMusic, whose
// performance makes the DirectSound object. The library's start-up starts it (a failure
// leaves the library running silent), the shutdown ends it, and a mode change ends and
// starts it again, losing every sound and music handle.
//
// While sound is not started every operation of the sound system returns -1 without
// effect, except SetSoundSystemMode, HandleMciNotify and StopSingleMusicFile. Main thread
// or the message thread, under the library lock.
#pragma once

#include <cstdint>

#include <platform/dmusic.h>
#include <platform/dsound.h>
#include <platform/win32.h>

#include "QzGraphicsHandle.h"
#include "QzSoundData.h"
#include "QzUseCLib.h"

constexpr int kMusicTableSize = 256;

// Mode 0 keeps one MCI song at a time.
struct MciState {
    int32_t mciPlaying;      // a song is open and playing
    int32_t lastMusicHandle;  // the handle played last
    char tempFileName[MAX_PATH];  // the temporary MIDI file
    MCIDEVICEID mciDeviceId;
    int32_t mciLoop;         // restart the song when it ends
    int32_t tempFileInUse;   // the temporary file belongs to the current song
};

struct SoundSystemState {
    IDirectMusicLoader8* musicLoader;            // mode 1
    IDirectMusicPerformance8* musicPerformance;  // mode 1
    IDirectSound* directSound;        // null: sound not started
    IDirectSoundBuffer* primaryBuffer;  // mode 0
    IDirectSoundBuffer* beepBuffer;     // a one-second tone made at start-up
    HandleListNode streamList[2];       // sentinels of the stream sounds, newest first
    int32_t singleSoundHandle;          // -1: none
    IDirectSoundBuffer* keepAliveBuffer;  // a short silent buffer looping from start to end
    int32_t systemMode;                 // 0 or 1
    int32_t createType;                 // loads make: 0 whole sounds; 2 or 3 stream sounds of that source type

    // The sound table (QzSoundData.cpp).
    HandleTable soundTable;
    void* soundSlots[kSoundTableSize];

    // Music (QzSoundMusic.cpp).
    HandleTable musicTable;
    void* musicSlots[kMusicTableSize];
    MciState mci;
    int32_t singleMusicHandle;   // 0: none
    int32_t singleMusicIsSound;  // the single music is a stream sound handle
};

extern SoundSystemState g_soundSystem;

// True once InitializeSoundSystem has the DirectSound object.
inline bool IsSoundStarted() { return g_soundSystem.directSound != nullptr; }

HandleTable* GetSoundTable();
HandleTable* GetMusicTable();

// 0, or -1 when sound is already started or DirectSound cannot be had.
int InitializeSoundSystem();
// 0, or -1 when sound is not started.
int TerminateSoundSystem();
// Stores the mode; a started system in another mode restarts (its result).
int SetSoundSystemMode(int mode);
int GetSoundSystemMode();
// A one-second 16-bit mono tone of `frequency` Hz (1..44100) in the beep buffer. 0 or -1.
int CreateBeepBuffer(int frequency);
// DirectSoundEnumerateA's callback: logs one device; TRUE.
BOOL CALLBACK EnumSoundDeviceCallback(LPGUID guid, LPCSTR description, LPCSTR module, LPVOID context);
