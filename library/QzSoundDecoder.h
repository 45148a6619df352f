// QzSoundDecoder.h: the SoundDecoder record, which turns a sound read through a
// ReadStream into PCM block by block. Kinds: 0 PCM WAVE, 1 through ACM (compressed WAVE,
// MP3), 2 Ogg Vorbis (QzUseCLibCodec.h). Callers hold the library lock.
#pragma once

#include <cstdint>

// vorbisfile's header would otherwise define unused static callback tables.
#ifndef OV_EXCLUDE_STATIC_CALLBACKS
#define OV_EXCLUDE_STATIC_CALLBACKS
#endif
#include <vorbis/vorbisfile.h>

#include <platform/winmm.h>

#include "QzWinFileStream.h"

// Output sample width of the Ogg Vorbis kind, in bytes.
constexpr int32_t oggBytesPerSample = 2;

constexpr int kSoundDecoderPcmWave = 0;
constexpr int kSoundDecoderAcm = 1;
constexpr int kSoundDecoderOgg = 2;

// The Ogg Vorbis kind area.
struct OggDecoderState {
    int32_t oggOpen;  // 1 while vorbisFile is open
    OggVorbis_File vorbisFile;
    int32_t bytesPerSample;  // copied at open from oggBytesPerSample
};

struct SoundDecoder {
    int32_t isOpen;
    int32_t atEnd;        // a read was not satisfied in full; cleared by a seek that moves
    int32_t decoderKind;  // kSoundDecoder*
    ReadStream stream;    // a copy of the caller's stream
    int32_t dataPos;      // stream offset of the first source data byte
    int32_t dataSize;     // bytes of source data
    WAVEFORMATEX format;  // the PCM delivered
    union {
        OggDecoderState ogg;
    } kind;
    void* blockBuffer;    // tracked, blockSize bytes of decoded PCM
    int32_t blockSize;
    int32_t blockValid;   // bytes of the block not yet delivered
    int32_t blockOffset;  // next byte to deliver in the block
    int32_t outputPos;    // PCM byte position of the next byte, from the start of the sound
};
