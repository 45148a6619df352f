// QzSoundDecoderKinds.h: what the decoder kinds share: byte-exact stream helpers (reads
// of items of one byte, so every kind of source reports bytes) and the ACM conversion
// set-up that both the compressed WAVE and the MP3 kinds end with. Internal to
// QzSoundDecoder.cpp, QzSoundWave.cpp and QzSoundMp3.cpp. Callers hold the library lock.
#pragma once

#include <cstdint>

#include "QzSoundDecoder.h"

// The tracked allocations of the sound files carry this name.
constexpr const char* kSoundAllocName = "QzSound";

// Bytes in the stream, measured from its end; the read position goes back to start.
int MeasureSoundStream(ReadStream* stream);
int SeekSoundStream(ReadStream* stream, int offset);  // from the start; 0 or -1
int ReadSoundStream(ReadStream* stream, void* buffer, int bytes);  // bytes delivered
int TellSoundStream(ReadStream* stream);

// A buffer takes the format: PCM, 8 or 16 bits, 1-2 channels, 100-200000 Hz, and the
// block alignment and byte rate those give.
bool IsBufferPcmFormat(const WAVEFORMATEX& format);

// With acm.sourceFormat, dataPos and dataSize set: suggests the PCM format, copies the
// source data, opens the main and the spare conversion stream, sets blockSize and the
// kind. 0, or -1 with the ACM area released.
int OpenAcmConversion(SoundDecoder* decoder);
