// QzSoundMusic.h: music: standard MIDI files held in memory behind handles of kind 11 (256
// slots). In sound mode 0 a song is written to a temporary file and played by the MCI
// "sequencer", one at a time, looped by restarting it from the window's MM_MCINOTIFY; in
// mode 1 it is a DirectMusic segment on the performance, looped by its repeat count, and
// its end is polled from the message pump. On top sits the single music file, which falls
// back to a stream sound of the same file when it cannot be played as music.
//
// While sound is not started every operation returns -1, except HandleMciNotify (it acts
// on the MCI state) and StopSingleMusicFile (0). Under the library lock; HandleMciNotify
// runs in the window procedure and UpdateMusicPlayState in the pump, on the thread that
// pumps.
#pragma once

#include <cstdint>

#include <platform/dmusic.h>

struct MusicData {
    int32_t checkNumber;
    int32_t isPlaying;   // mode 1: from the play until the segment is seen to have stopped
    int32_t hasStarted;  // mode 1: the segment was seen playing after the latest play
    void* fileImage;     // tracked copy of the whole MIDI file
    int32_t fileSize;
    IDirectMusicSegment8* segment;  // mode 1
    uint32_t playTime;   // mode 1: the millisecond clock at the latest play
};

// A segment not seen playing this long after its play counts as stopped.
constexpr uint32_t kMusicStartTimeoutMs = 2000;

int AddMusicData();
int LoadMusicMem(const char* path);
int CreateMusicDataFromMemory(const void* data, int size);
int DeleteMusicData(int handle);
int DeleteAllMusicData();
// Play types as for sounds (0 wait, 1 background, 3 loop). 0 or -1.
int PlayMusicHandle(int handle, int playType);
int StopMusicHandle(int handle);
int IsMusicHandlePlaying(int handle);  // 1, 0, or -1
int UpdateMusicPlayState();
int HandleMciNotify();
// An end notice from the window procedure: acted on only when it names the open song's
// device, so a late notice of the previous song cannot restart the new one. 0.
int HandleMciNotifyOf(uint32_t deviceId);
// The play's result (the stream sound's, after the fallback).
int PlaySingleMusicFile(const char* path, int playType);
int StopSingleMusicFile();

// Deletes the temporary MIDI file (the end of sound does).
void DeleteMusicTempFile();
