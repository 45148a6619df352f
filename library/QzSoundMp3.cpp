// QzSoundMp3.cpp: the MP3 kind of SoundDecoder: a scan of the frames for the audio's
// range and length, then conversion through ACM (QzSoundWave.cpp). Frame headers follow
// ISO/IEC 11172-3 and ISO/IEC 13818-3; the MPEG-2.5 extension and free-format frames
// (bit-rate index 0) are refused. Callers hold the library lock.
//
// The scan: an ID3v2 tag at the start is skipped (with its footer in version 4), an
// ID3v1 tag in the last 128 bytes is no audio; from the audio's start every byte that is
// no frame sync is passed over, and each frame found is skipped whole. Any invalid header
// fails the open. The last frame ends at the latest where the audio ends.
#include <algorithm>
#include <cstring>

#include "QzSoundDecoderKinds.h"
#include "QzWinMemory.h"

namespace {

// kbit/s by bit-rate index: MPEG-1 layers I, II, III; MPEG-2 layer I; MPEG-2 layers II and III.
constexpr int kBitRates[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};
constexpr int kSampleRates[2][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}};

constexpr int kId3v1Bytes = 128;
constexpr int kMp3FormatBytes = 32;  // the 30-byte MPEGLAYER3WAVEFORMAT, zero-padded
constexpr int kCodecDelay = 700;

}  // namespace

int ParseMp3FrameHeader(const uint8_t h[4], Mp3FrameHeader* out) {
    if (h[0] != 0xFF || (h[1] & 0xF0) != 0xF0) return -2;
    const int version = (h[1] & 0x08) ? 1 : 2;
    const int layerIndex = 3 - ((h[1] >> 1) & 3);  // 0 layer I, 1 layer II, 2 layer III
    if (layerIndex == 3) return -1;
    const int bitRateIndex = h[2] >> 4;
    // 15 is reserved; 0 is free format, whose frame length no header tells.
    if (bitRateIndex == 15 || bitRateIndex == 0) return -1;
    const int rateIndex = (h[2] >> 2) & 3;
    if (rateIndex == 3) return -1;
    const int row = version == 1 ? layerIndex : (layerIndex == 0 ? 3 : 4);
    const int bitRate = kBitRates[row][bitRateIndex];
    const int rate = kSampleRates[version - 1][rateIndex];
    const int padding = (h[2] >> 1) & 1;
    const int bps = bitRate * 1000;
    int bytes;
    int samples;
    if (layerIndex == 0) {
        bytes = (12 * bps / rate + padding) * 4;
        samples = 384;
    } else if (layerIndex == 1) {
        bytes = 144 * bps / rate + padding;
        samples = 1152;
    } else if (version == 1) {
        bytes = 144 * bps / rate + padding;
        samples = 1152;
    } else {
        bytes = 72 * bps / rate + padding;
        samples = 576;
    }
    out->version = version;
    out->layer = layerIndex + 1;
    out->bitRate = bitRate;
    out->sampleRate = rate;
    out->padding = padding;
    out->channels = (h[3] >> 6) == 3 ? 1 : 2;
    out->frameBytes = bytes;
    out->samplesPerFrame = samples;
    return 0;
}

int OpenMp3Decoder(SoundDecoder* decoder) {
    ReadStream* stream = &decoder->stream;
    const int length = MeasureSoundStream(stream);

    int audioStart = 0;
    uint8_t tag[10];
    if (ReadSoundStream(stream, tag, 3) == 3 && std::memcmp(tag, "ID3", 3) == 0) {
        if (ReadSoundStream(stream, tag + 3, 7) != 7) return -1;
        const int64_t body = static_cast<int64_t>(tag[6]) * 2097152 + tag[7] * 16384 + tag[8] * 128 + tag[9];
        int64_t start = body + 10;
        if (tag[3] == 4 && (tag[5] & 0x10)) start += 10;  // a footer follows the body
        if (start >= length) return -1;
        audioStart = static_cast<int>(start);
    }
    int tail = 0;
    if (length > kId3v1Bytes) {
        SeekSoundStream(stream, length - kId3v1Bytes);
        if (ReadSoundStream(stream, tag, 3) == 3 && std::memcmp(tag, "TAG", 3) == 0) tail = kId3v1Bytes;
    }
    const int audioEnd = length - tail;

    int first = -1;
    int64_t lastEnd = 0;
    int64_t samples = 0;
    Mp3FrameHeader frame;
    int pos = audioStart;
    SeekSoundStream(stream, pos);
    while (pos < audioEnd) {
        uint8_t h[4];
        if (ReadSoundStream(stream, h, 1) != 1) break;
        if (h[0] != 0xFF) {
            pos += 1;
            continue;
        }
        if (ReadSoundStream(stream, h + 1, 1) != 1) break;
        if ((h[1] & 0xF0) != 0xF0) {
            pos += 2;
            continue;
        }
        if (ReadSoundStream(stream, h + 2, 2) != 2) break;
        if (ParseMp3FrameHeader(h, &frame) < 0) return -1;
        if (frame.frameBytes <= 0) break;
        if (first < 0) first = pos;
        samples += frame.samplesPerFrame;
        const int64_t frameEnd = static_cast<int64_t>(pos) + frame.frameBytes;
        if (frameEnd >= audioEnd) {
            lastEnd = audioEnd;  // a last frame cut short ends with the audio
            break;
        }
        lastEnd = frameEnd;
        pos = static_cast<int>(frameEnd);
        SeekSoundStream(stream, pos);
    }
    if (first < 0 || samples > INT32_MAX) return -1;

    uint8_t h[4];
    SeekSoundStream(stream, first);
    if (ReadSoundStream(stream, h, 4) != 4 || ParseMp3FrameHeader(h, &frame) != 0) return -1;
    decoder->dataPos = first;
    decoder->dataSize = static_cast<int32_t>(lastEnd - first);

    auto* format = static_cast<MPEGLAYER3WAVEFORMAT*>(AllocZeroedMemory(kMp3FormatBytes, kSoundAllocName, __LINE__));
    if (format == nullptr) return -1;
    format->wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    format->wfx.nChannels = static_cast<WORD>(frame.channels);
    format->wfx.nSamplesPerSec = static_cast<DWORD>(frame.sampleRate);
    format->wfx.nAvgBytesPerSec = static_cast<DWORD>(frame.bitRate * 1000 / 8);
    format->wfx.nBlockAlign = 1;
    format->wfx.wBitsPerSample = 0;
    format->wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    format->wID = MPEGLAYER3_ID_MPEG;
    format->fdwFlags = static_cast<DWORD>(frame.padding);
    format->nBlockSize = static_cast<WORD>(frame.frameBytes);
    format->nFramesPerBlock = 1;
    format->nCodecDelay = kCodecDelay;

    AcmDecoderState* acm = &decoder->kind.acm;
    std::memset(acm, 0, sizeof *acm);
    acm->sourceFormat = &format->wfx;
    acm->sampleCount = static_cast<int32_t>(samples);
    return OpenAcmConversion(decoder);
}
