// QzSoundDecoder.cpp: the SoundDecoder front end: opening by trying the kinds in order,
// delivering PCM block by block, seeking, and the whole-sound helpers (decode all, wrap
// PCM as a WAVE image, read a file or stream into memory). The kinds live in
// QzSoundWave.cpp, QzSoundMp3.cpp and QzUseCLibOgg.cpp. Callers hold the library lock.
#include <climits>
#include <cstring>

#include <platform/dsound.h>

#include "QzSoundDecoderKinds.h"
#include "QzUseCLib.h"
#include "QzUseCLibCodec.h"
#include "QzWinFileAccess.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"

namespace {

// A seek closer than this to the output position does nothing.
constexpr int kSeekSlack = 16;

int NextBlock(SoundDecoder* decoder) {
    switch (decoder->decoderKind) {
    case kSoundDecoderPcmWave: return ReadPcmWaveBlock(decoder);
    case kSoundDecoderAcm: return DecodeAcmBlock(decoder);
    case kSoundDecoderOgg: return DecodeOggBlock(decoder);
    default: return -1;
    }
}

void CloseKind(SoundDecoder* decoder) {
    switch (decoder->decoderKind) {
    case kSoundDecoderPcmWave: ClosePcmWaveDecoder(decoder); break;
    case kSoundDecoderAcm: CloseAcmDecoder(decoder); break;
    case kSoundDecoderOgg: CloseOggDecoder(decoder); break;
    default: break;
    }
}

}  // namespace

// ---- stream helpers shared by the kinds --------------------------------------------------

int TellSoundStream(ReadStream* stream) { return stream->functions.tell(stream->data); }

int SeekSoundStream(ReadStream* stream, int offset) {
    return stream->functions.seek(stream->data, offset, kSeekFromStart) == 0 ? 0 : -1;
}

int ReadSoundStream(ReadStream* stream, void* buffer, int bytes) {
    if (bytes <= 0) return 0;
    int got = stream->functions.read(buffer, 1, bytes, stream->data);
    if (got < 0) return 0;
    return got > bytes ? bytes : got;
}

int MeasureSoundStream(ReadStream* stream) {
    stream->functions.seek(stream->data, 0, kSeekFromEnd);
    int length = stream->functions.tell(stream->data);
    stream->functions.seek(stream->data, 0, kSeekFromStart);
    return length < 0 ? 0 : length;
}

bool IsBufferPcmFormat(const WAVEFORMATEX& f) {
    if (f.wFormatTag != WAVE_FORMAT_PCM) return false;
    if (f.nChannels < 1 || f.nChannels > 2) return false;
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return false;
    if (f.nSamplesPerSec < DSBFREQUENCY_MIN || f.nSamplesPerSec > DSBFREQUENCY_MAX) return false;
    if (f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8) return false;
    return f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
}

// ---- the front end -------------------------------------------------------------------------

int OpenSoundDecoder(ReadStream* stream, SoundDecoder* decoder) {
    if (stream == nullptr || decoder == nullptr) return -1;
    std::memset(decoder, 0, sizeof *decoder);
    decoder->stream = *stream;
    int (*const kinds[])(SoundDecoder*) = {OpenPcmWaveDecoder, OpenAcmWaveDecoder, OpenOggDecoder, OpenMp3Decoder};
    bool opened = false;
    for (auto open : kinds) {
        SeekSoundStream(&decoder->stream, 0);
        decoder->decoderKind = -1;
        if (open(decoder) == 0) {
            opened = true;
            break;
        }
    }
    if (!opened) return -1;
    // Only what a buffer can take goes on: anything else would make buffer creation
    // fail, which ends the process.
    if (!IsBufferPcmFormat(decoder->format) || decoder->blockSize <= 0) {
        CloseKind(decoder);
        return -1;
    }
    decoder->atEnd = 0;
    decoder->blockBuffer = AllocMemory(decoder->blockSize, kSoundAllocName, __LINE__);
    if (decoder->blockBuffer == nullptr) {
        CloseKind(decoder);
        return -1;
    }
    decoder->blockValid = 0;
    decoder->blockOffset = 0;
    decoder->outputPos = 0;
    decoder->isOpen = 1;
    return 0;
}

int CloseSoundDecoder(SoundDecoder* decoder) {
    if (decoder == nullptr || decoder->isOpen != 1) return -1;
    FreeMemory(decoder->blockBuffer);
    decoder->blockBuffer = nullptr;
    CloseKind(decoder);
    decoder->isOpen = 0;
    return 0;
}

int ReadSoundDecoder(SoundDecoder* decoder, void* buffer, int bytes) {
    if (decoder == nullptr || decoder->isOpen != 1) return -1;
    if (decoder->atEnd) return 0;
    int copied = 0;
    while (copied < bytes) {
        if (decoder->blockValid <= 0) {
            decoder->blockValid = 0;
            decoder->blockOffset = 0;
            if (NextBlock(decoder) == -1 || decoder->blockValid <= 0) {
                decoder->blockValid = 0;
                break;
            }
        }
        int n = bytes - copied;
        if (n > decoder->blockValid) n = decoder->blockValid;
        std::memcpy(static_cast<uint8_t*>(buffer) + copied,
                    static_cast<const uint8_t*>(decoder->blockBuffer) + decoder->blockOffset, static_cast<size_t>(n));
        decoder->blockOffset += n;
        decoder->blockValid -= n;
        decoder->outputPos += n;
        copied += n;
    }
    if (copied < bytes) decoder->atEnd = 1;
    return copied;
}

int SeekSoundDecoder(SoundDecoder* decoder, int frame) {
    if (decoder == nullptr || decoder->isOpen != 1) return -1;
    if (frame < 0) frame = 0;
    int64_t target = static_cast<int64_t>(frame) * decoder->format.nBlockAlign;
    if (target > INT_MAX) frame = INT_MAX / decoder->format.nBlockAlign;
    target = static_cast<int64_t>(frame) * decoder->format.nBlockAlign;
    int64_t distance = target - decoder->outputPos;
    if (distance < 0) distance = -distance;
    // A decoder at its end delivers nothing until a seek runs, so at the end even a short
    // move is made; and a seek to the start always rewinds, or a source shorter than the
    // slack, read whole, could never be heard again.
    if (distance < kSeekSlack && !decoder->atEnd && frame != 0) return 0;
    decoder->atEnd = 0;
    switch (decoder->decoderKind) {
    case kSoundDecoderPcmWave: return SeekPcmWaveDecoder(decoder, frame);
    case kSoundDecoderAcm: return SeekAcmDecoder(decoder, frame);
    case kSoundDecoderOgg: return SeekOggDecoder(decoder, frame);
    default: return 0;
    }
}

int GetSoundDecoderSize(SoundDecoder* decoder) {
    if (decoder == nullptr) return 0;
    switch (decoder->decoderKind) {
    case kSoundDecoderPcmWave: return GetPcmWaveDecodedSize(decoder);
    case kSoundDecoderAcm: return GetAcmDecodedSize(decoder);
    case kSoundDecoderOgg: return GetOggDecodedSize(decoder);
    default: return 0;
    }
}

int GetSoundDecoderFormat(SoundDecoder* decoder, WAVEFORMATEX* out) {
    *out = decoder->format;
    return 0;
}

int DecodeWholeSound(SoundDecoder* decoder, WAVEFORMATEX* formatOut, void** dataOut, int* sizeOut) {
    if (decoder == nullptr || decoder->isOpen != 1) return -1;
    // A kind's size can be an error code or an estimate: nothing positive, nothing to do.
    int size = GetSoundDecoderSize(decoder);
    if (size <= 0) return -1;
    void* data = AllocMemory(size, kSoundAllocName, __LINE__);
    if (data == nullptr) return -1;
    SeekSoundDecoder(decoder, 0);
    int got;
    if (decoder->decoderKind == kSoundDecoderPcmWave) {
        SeekSoundStream(&decoder->stream, decoder->dataPos);
        got = ReadSoundStream(&decoder->stream, data, size);
        decoder->blockValid = 0;
        decoder->blockOffset = 0;
        decoder->outputPos = got;
        if (got < size) decoder->atEnd = 1;
    } else {
        got = ReadSoundDecoder(decoder, data, size);
    }
    // Only what was delivered, in whole frames: the rest of the block was never written.
    got -= got % decoder->format.nBlockAlign;
    if (got <= 0) {
        FreeMemory(data);
        return -1;
    }
    *formatOut = decoder->format;
    *dataOut = data;
    *sizeOut = got;
    return 0;
}

int FindWholePcmInImage(SoundDecoder* decoder, const void* image, int imageSize, WAVEFORMATEX* formatOut,
                        const void** dataOut, int* sizeOut) {
    if (decoder == nullptr || decoder->isOpen != 1 || decoder->decoderKind != kSoundDecoderPcmWave) return -1;
    // The RIFF walk ends the data where the stream ends, so it lies inside the image.
    if (decoder->dataPos < 0 || decoder->dataSize <= 0 ||
        static_cast<int64_t>(decoder->dataPos) + decoder->dataSize > imageSize)
        return -1;
    const int size = decoder->dataSize - decoder->dataSize % decoder->format.nBlockAlign;
    if (size <= 0) return -1;
    *formatOut = decoder->format;
    *dataOut = static_cast<const uint8_t*>(image) + decoder->dataPos;
    *sizeOut = size;
    return 0;
}

int BuildWaveImage(void** imageOut, int* sizeOut, const void* format, int formatSize, const void* pcm, int pcmSize) {
    if (formatSize < 0 || pcmSize < 0) return -1;
    int64_t total = static_cast<int64_t>(pcmSize) + 28 + formatSize;
    if (total > INT_MAX) return -1;
    uint8_t* image = static_cast<uint8_t*>(AllocMemory(static_cast<int>(total), kSoundAllocName, __LINE__));
    if (image == nullptr) return -1;
    auto put32 = [](uint8_t* p, uint32_t v) {
        for (int i = 0; i < 4; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
    };
    std::memcpy(image, "RIFF", 4);
    put32(image + 4, static_cast<uint32_t>(total - 8));
    std::memcpy(image + 8, "WAVE", 4);
    std::memcpy(image + 12, "fmt ", 4);
    put32(image + 16, static_cast<uint32_t>(formatSize));
    if (formatSize > 0) std::memcpy(image + 20, format, static_cast<size_t>(formatSize));
    std::memcpy(image + 20 + formatSize, "data", 4);
    put32(image + 24 + formatSize, static_cast<uint32_t>(pcmSize));
    if (pcmSize > 0) std::memcpy(image + 28 + formatSize, pcm, static_cast<size_t>(pcmSize));
    *imageOut = image;
    *sizeOut = static_cast<int>(total);
    return 0;
}

int ReadSoundFileToMemory(const char* path, void** dataOut, int* sizeOut) {
    FileHandle file = FileAccessOpen(path, 0, 0);
    if (file == 0) return WriteLogFormat("右記のファイルのオープンに失敗しました：%s", path);
    FileAccessSeek(file, 0, kSeekFromEnd);
    int size = FileAccessTell(file);
    FileAccessSeek(file, 0, kSeekFromStart);
    void* data = size >= 0 ? AllocMemory(size > 0 ? size : 1, kSoundAllocName, __LINE__) : nullptr;
    if (data == nullptr) {
        FileAccessClose(file);
        return WriteLogFormat("右記のファイルのロードに必要なメモリの確保に失敗しました：%s", path);
    }
    // Items of one byte, so every file set reports the bytes that really came.
    int got = size > 0 ? FileAccessRead(data, 1, size, file) : 0;
    FileAccessClose(file);
    *dataOut = data;
    *sizeOut = got < 0 ? 0 : got > size ? size : got;
    return 0;
}

int ReadStreamToMemory(ReadStream* stream, void** dataOut, int* sizeOut) {
    int size = MeasureSoundStream(stream);
    void* data = AllocMemory(size > 0 ? size : 1, kSoundAllocName, __LINE__);
    if (data == nullptr) return WriteLogFormat("ストリームの読み込みに必要なメモリの確保に失敗しました");
    int got = ReadSoundStream(stream, data, size);
    *dataOut = data;
    *sizeOut = got;
    return 0;
}
