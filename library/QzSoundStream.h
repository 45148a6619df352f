// QzSoundStream.h: stream sounds: long audio played from one looping ring of six
// seconds, kept three to four seconds ahead of the play cursor from up to three sources
// of one PCM format, played one after the other, each a given number of times. No thread:
// the message pump refills every stream sound on each pass (RefillAllStreamSounds).
//
// Ring: R = 6 x B bytes (B = bytes per second). W (writePos) is where the next data goes,
// K (keepFrom) four seconds behind it; from K up to W (wrapping) is the written zone, and
// a refill writes only while the play cursor lies inside it. After the last source ends
// in a play that does not loop, everything written past the data is silence, and the
// ring stops once the cursor has passed the data's end.
//
// Every operation taking a handle returns -1 while sound is not started or for a handle
// that is not a live sound; the stream operations do nothing and return 0 for a whole
// sound. Under the library lock, on whichever thread pumps.
#pragma once

#include "QzSoundData.h"

constexpr int kStreamNotFilled = -800;  // writePos before the first fill

// The ring parts of one Lock, and how far a refill has got in them.
struct StreamRingParts {
    int32_t lockStart;
    uint8_t* part[2];
    int32_t partBytes[2];
    int32_t written[2];
    int32_t left[2];
};

// Adds one source. *takenOut: 1 when the data was copied (the caller may close its
// stream), 0 when the sound reads the caller's stream while playing (type 3).
int AddSreamSound(ReadStream* stream, int loopCount, int handle, int sourceType, int* takenOut);
int AddFileToStreamSound(const char* path, int loopCount, int handle, int sourceType);
// Type 3 becomes 2: the caller's memory is never kept.
int AddMemoryToStreamSound(const void* image, int size, int loopCount, int handle, int sourceType);
int PrepareStreamSound(int handle);  // first fill of a stream that is neither playing nor prepared
int PlayStreamSound(int handle, int playType, int fromTop);
int StopStreamSound(int handle);  // keeps ring, sources and positions: fromTop 0 resumes
int IsStreamSoundPlaying(int handle);
// Counts the bytes the cursor passed (cursor -1: read it from the ring).
int UpdateStreamSoundCursor(int handle, int cursor);
// 0, or -1 when nothing could be written this time (the cursor outside the zone, a failed
// lock) or for an invalid handle.
int RefillStreamSound(int handle);
int RefillAllStreamSounds();  // newest first; -1 when sound is not started

void FillStreamBufferSilence(SoundData* sound, StreamRingParts* parts, int bytes);
int FillStreamBufferData(StreamRingParts* parts, SoundDecoder* decoder, int bytes);
// The current source has delivered all its data: on to the next play of it, the next
// source, the loop point or the end. 0, or -1 when the data has ended.
int AdvanceStreamSoundSource(SoundData* sound, StreamRingParts* parts, int cursor);

// Releases everything of one source (QzSoundData.cpp's deletion calls it).
void ReleaseStreamSource(SoundData* sound, int index);
