// QzSoundDecoder.h: the SoundDecoder record, which turns a sound read through a
// ReadStream into PCM block by block, and the conversion front end around it. Kinds, tried
// in this order: 0 PCM WAVE, 1 through ACM (compressed WAVE), 2 Ogg Vorbis
// (QzUseCLibCodec.h), and MP3, which is kind 1 again. Every block handed out is a tracked
// allocation that the caller frees. Callers hold the library lock.
//
// A decoder opens only when it delivers a format a DirectSound buffer takes: PCM of 8 or
// 16 bits, 1-2 channels, 100-200000 Hz, with consistent block alignment and byte rate.
// Anything else is refused at open, so a bad file fails its load and never reaches the
// fatal path of buffer creation.
#pragma once

#include <cstdint>

// vorbisfile's header would otherwise define unused static callback tables.
#ifndef OV_EXCLUDE_STATIC_CALLBACKS
#define OV_EXCLUDE_STATIC_CALLBACKS
#endif
#include <vorbis/vorbisfile.h>

#include <platform/acm.h>
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

// The ACM kind area (compressed WAVE and MP3).
struct AcmDecoderState {
    WAVEFORMATEX* sourceFormat;  // tracked copy: the "fmt " body (at least 18 bytes), or the MP3 format
    HACMSTREAM acmStream;        // the stream converting now
    HACMSTREAM spareAcmStream;   // opened with the same formats, ready for a restart
    uint8_t* sourceData;         // tracked copy of all source data
    int32_t sourceSize;          // bytes of sourceData
    int32_t sourceUsed;          // source bytes already converted
    int32_t sampleCount;         // PCM frames from the MP3 frame scan, else -1
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
        AcmDecoderState acm;
        OggDecoderState ogg;
    } kind;
    void* blockBuffer;    // tracked, blockSize bytes of decoded PCM
    int32_t blockSize;
    int32_t blockValid;   // bytes of the block not yet delivered
    int32_t blockOffset;  // next byte to deliver in the block
    int32_t outputPos;    // PCM byte position of the next byte, from the start of the sound
};

// MPEG audio frame header values.
struct Mp3FrameHeader {
    int version;         // 1 MPEG-1, 2 MPEG-2 (lower sampling frequencies)
    int layer;           // 1, 2 or 3
    int bitRate;         // kbit/s
    int sampleRate;      // Hz
    int padding;         // 0 or 1
    int channels;        // 1 or 2
    int frameBytes;      // the whole frame, header included
    int samplesPerFrame;
};

// ---- the front end -----------------------------------------------------------------------
// Copies the stream and tries the kinds in order, each from the stream's start. 0, or -1
// with nothing allocated.
int OpenSoundDecoder(ReadStream* stream, SoundDecoder* decoder);
int CloseSoundDecoder(SoundDecoder* decoder);  // 0, or -1 when not open
// Bytes delivered; -1 when not open; 0 once a read has fallen short (until a seek).
int ReadSoundDecoder(SoundDecoder* decoder, void* buffer, int bytes);
// To PCM frame `frame`. Within 16 bytes of the output position nothing moves, unless the
// decoder has reached its end (then a seek always runs, so a short source can restart).
int SeekSoundDecoder(SoundDecoder* decoder, int frame);
int GetSoundDecoderSize(SoundDecoder* decoder);  // total PCM bytes; 0 for an unknown kind
int GetSoundDecoderFormat(SoundDecoder* decoder, WAVEFORMATEX* out);  // 0
// The whole sound as one tracked block, trimmed to the whole frames actually delivered.
// -1 when the size is not positive, nothing is delivered, or memory runs out.
int DecodeWholeSound(SoundDecoder* decoder, WAVEFORMATEX* formatOut, void** dataOut, int* sizeOut);
// What DecodeWholeSound would deliver for a PCM WAVE opened over a memory stream on
// `image`, left where it lies in the image instead of copied: 0 with the format, the
// first sample and the size in whole frames; -1 for any other kind, or nothing to
// deliver (DecodeWholeSound then decides).
int FindWholePcmInImage(SoundDecoder* decoder, const void* image, int imageSize, WAVEFORMATEX* formatOut,
                        const void** dataOut, int* sizeOut);
// An in-memory RIFF WAVE file: "RIFF", size, "WAVE", "fmt " of formatSize bytes, "data".
int BuildWaveImage(void** imageOut, int* sizeOut, const void* format, int formatSize, const void* pcm, int pcmSize);
// The whole file (through the installed file set) or stream as one tracked block.
int ReadSoundFileToMemory(const char* path, void** dataOut, int* sizeOut);
int ReadStreamToMemory(ReadStream* stream, void** dataOut, int* sizeOut);

// 0; -1 for a reserved or unsupported field (free format included); -2 without a sync.
int ParseMp3FrameHeader(const uint8_t header[4], Mp3FrameHeader* out);

// ---- the kinds (QzSoundWave.cpp, QzSoundMp3.cpp) ------------------------------------------
// Each open works on decoder->stream from its start and sets format, blockSize, dataPos,
// dataSize and decoderKind; 0, or -1 with everything it made released.
int OpenPcmWaveDecoder(SoundDecoder* decoder);
int ClosePcmWaveDecoder(SoundDecoder* decoder);  // 0
int ReadPcmWaveBlock(SoundDecoder* decoder);     // 0 with blockValid set, -1 at the end
int SeekPcmWaveDecoder(SoundDecoder* decoder, int frame);  // 0
int GetPcmWaveDecodedSize(SoundDecoder* decoder);

int OpenAcmWaveDecoder(SoundDecoder* decoder);
int OpenMp3Decoder(SoundDecoder* decoder);
int CloseAcmDecoder(SoundDecoder* decoder);  // 0
int DecodeAcmBlock(SoundDecoder* decoder);   // 0 with blockValid set, -1 at the end
int SeekAcmDecoder(SoundDecoder* decoder, int frame);  // 0
int GetAcmDecodedSize(SoundDecoder* decoder);
