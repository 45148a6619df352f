// QzSoundData.h: sound handles (kind 2) and their records. A whole sound is decoded once
// at load and copied into up to ten DirectSound buffers, so that one effect can overlap
// itself: each play moves on to the next copy. A stream sound (QzSoundStream.h) uses the
// same record with one ring buffer that the message pump refills. Also the single sound
// file (one file played by name) and SplitPathAndFileName; MakeFullPath is the file
// layer's (QzWinFilePath.h).
//
// Every operation but the path function returns -1 without effect while sound is not
// started (QzSoundSystem.h) or for a handle that is not a live sound. Volumes run
// 0..10000 (full) and become an attenuation of volume - 10000 hundredths of a decibel.
// Play types, shared by every play operation of the sound system: 0 play and wait until
// the end, pumping messages; 1 in the background; 3 in the background, looping; any other
// value plays once in the background. Main thread or the message thread, under the
// library lock.
#pragma once

#include <cstdint>

#include <platform/dsound.h>

#include "QzSoundDecoder.h"
#include "QzUseCLib.h"

constexpr int kSoundTableSize = 4096;
constexpr int kMaxSoundCopies = 10;
constexpr int kMaxStreamSources = 3;

constexpr int kPlayTypeWait = 0;
constexpr int kPlayTypeBack = 1;
constexpr int kPlayTypeLoop = 3;

// One source of a stream sound.
struct StreamSource {
    int8_t loopCount;    // extra plays before the next source: 0 once, n n+1 times, -1 endlessly
    int32_t sourceType;  // 0 decoded at add time into a WAVE image; 2 file data decoded while
                         // playing; 3 decoded while playing from the caller's stream
    void* image;         // tracked: the WAVE image (0) or the file data (2); null for 3
    int32_t imageSize;
    ReadStream stream;   // a memory stream over image (0 and 2)
    SoundDecoder decoder;
};

struct SoundData {
    int32_t checkNumber;
    IDirectSoundBuffer* buffers[kMaxSoundCopies];  // a stream sound uses only the first, its ring
    int32_t bufferCount;
    int32_t lastBuffer;   // the copy the latest play used
    WAVEFORMATEX format;  // of the PCM (a stream sound: shared by every source)
    int32_t pcmSize;
    void* pcmData;        // tracked, owned (whole sound); null when the samples came from a PCM WAVE image
    int32_t isStream;
    StreamSource sources[kMaxStreamSources];
    uint8_t sourceOwned[kMaxStreamSources];  // the source's stream was opened here and is closed with the sound
    int32_t sourceCount;
    // Stream state (QzSoundStream.cpp).
    int32_t currentSource;
    int32_t loopsDone;
    int32_t ringSize;     // six seconds
    int32_t writePos;     // where the next data goes; kStreamNotFilled before the first fill
    int32_t keepFrom;     // four seconds behind writePos
    int32_t sourcePos;    // bytes the current source has delivered
    int32_t playedBytes;  // bytes the play cursor passed since the last rewind or loop point
    int32_t lastCursor;
    int32_t loopPointPending;
    int32_t loopPointPos;
    uint8_t prepared;
    uint8_t playType;
    uint8_t sourcesDone;
    uint8_t endReached;
    int32_t endPos;
    int32_t cursorAtEnd;
    int32_t bytesPerSecond;
    HandleListNode listNode;  // in the stream list (stream sounds only)
};

// The record of a live sound handle, or null.
SoundData* GetSoundData(int handle);

// -1: a new slot by the table's rule. A handle of kind 2 whose slot (below 4096) is free:
// that slot, under that handle. Returns the handle, or -1.
int AddSoundData(int handle);
// Kind 0: `count` copies of `bytes` bytes (0x80E2, once more with 0xC2, else fatal; a
// duplicate that fails only lowers the count). Kind 1: the stream ring (fatal on failure).
int CreateSoundDataBuffers(const WAVEFORMATEX* format, int bytes, int kind, int count, int handle);
int AlignDownToSoundBlock(int bytes, SoundData* sound);
int AlignDownToFormatBlock(int bytes, const WAVEFORMATEX* format);

// Copies: 1..10 (a file asks for more: 10; memory: refused). Fewer than 1 is refused.
int LoadFileToSound(const char* path, int copies);
int CreateSoundDataFromFile(const char* path, int copies);
int CreateSoundDataFromMemory(const void* image, int size, int copies);
int DeleteSoundData(int handle, int ignored);
int DeleteAllSounds(int ignored);  // also forgets the single sound file

int PlaySoundHandle(int handle, int playType, int fromTop);
int StopSoundHandle(int handle);
int IsSoundHandlePlaying(int handle);  // 1, 0, or -1
int SetSoundHandleVolume(int volume, int handle);

// Deletes the previous single sound, loads the file with one copy and plays it from the
// top; the play's result.
int PlaySingleSoundFile(const char* path, int playType);
int StopSingleSoundFile();

// Splits at the last '\', '/' or ':' (Shift-JIS aware). fileOut gets what follows it (the
// whole path when there is none), dirOut what precedes it; either may be null. 0.
int SplitPathAndFileName(const char* path, char* fileOut, char* dirOut);
