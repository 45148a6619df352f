// QzSoundWave.cpp: the two WAVE kinds of SoundDecoder over one RIFF walk: uncompressed
// PCM read straight from the stream, and every other format tag converted by ACM (IMA
// and Microsoft ADPCM here), whose conversion code the MP3 kind shares. Callers hold the
// library lock.
//
// The walk trusts nothing it reads: the "fmt " chunk must hold 16-65536 bytes inside the
// stream, its cbSize counts only from 18 bytes on, a format with no channels, rate,
// alignment or byte rate is refused, and the data chunk ends where the stream ends.
#include <algorithm>
#include <climits>
#include <cstring>

#include "QzSoundDecoderKinds.h"
#include "QzWinMemory.h"

namespace {

constexpr int kMinFmtBytes = 16;
constexpr int kMaxFmtBytes = 65536;
// DecodeAcmBlock feeds at least this much source at a time (a whole block when larger).
constexpr int kAcmFeedBytes = 2048;

uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// What the RIFF walk found: the "fmt " body (a tracked copy of at least 18 zeroed-out
// bytes, so the fields up to cbSize can always be read) and the data chunk.
struct RiffWave {
    uint8_t* fmt;
    int fmtSize;
    int dataPos;
    int dataSize;
};

int WalkRiffWave(SoundDecoder* decoder, RiffWave* out) {
    ReadStream* stream = &decoder->stream;
    const int64_t length = MeasureSoundStream(stream);
    uint8_t head[12];
    if (ReadSoundStream(stream, head, 12) != 12) return -1;
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return -1;
    uint8_t chunk[8];
    if (ReadSoundStream(stream, chunk, 8) != 8 || std::memcmp(chunk, "fmt ", 4) != 0) return -1;
    const uint32_t fmtSize = GetU32(chunk + 4);
    if (fmtSize < kMinFmtBytes || fmtSize > kMaxFmtBytes || 20 + static_cast<int64_t>(fmtSize) > length) return -1;
    const int size = static_cast<int>(fmtSize);
    uint8_t* fmt = static_cast<uint8_t*>(AllocZeroedMemory(std::max(size, 18), kSoundAllocName, __LINE__));
    if (fmt == nullptr) return -1;
    if (ReadSoundStream(stream, fmt, size) != size) {
        FreeMemory(fmt);
        return -1;
    }
    if (size < 18) {
        // No cbSize field in the file: none follows.
        fmt[16] = 0;
        fmt[17] = 0;
    }
    WAVEFORMATEX f;
    std::memcpy(&f, fmt, sizeof f);
    if (f.nChannels == 0 || f.nSamplesPerSec == 0 || f.nBlockAlign == 0 || f.nAvgBytesPerSec == 0) {
        FreeMemory(fmt);
        return -1;
    }
    int64_t pos = 20 + static_cast<int64_t>(size);
    for (;;) {
        if (pos + 8 > length || SeekSoundStream(stream, static_cast<int>(pos)) != 0 ||
            ReadSoundStream(stream, chunk, 8) != 8) {
            FreeMemory(fmt);
            return -1;
        }
        pos += 8;
        const uint32_t chunkSize = GetU32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0) {
            out->fmt = fmt;
            out->fmtSize = size;
            out->dataPos = static_cast<int>(pos);
            // A data chunk larger than what follows ends where the stream ends.
            out->dataSize = static_cast<int>(std::min<int64_t>(chunkSize, length - pos));
            return 0;
        }
        pos += static_cast<int64_t>(chunkSize) + (chunkSize & 1);
    }
}

// A 16-byte PCM format carries no cbSize, and its bits follow from the alignment.
void CompleteShortPcmFormat(WAVEFORMATEX* f, int fmtSize) {
    if (fmtSize == 16 && f->wFormatTag == WAVE_FORMAT_PCM) {
        f->wBitsPerSample = static_cast<WORD>(f->nBlockAlign / f->nChannels * 8);
        f->cbSize = 0;
    }
}

void ReleaseAcm(SoundDecoder* decoder) {
    AcmDecoderState* acm = &decoder->kind.acm;
    if (acm->acmStream != nullptr) acmStreamClose(acm->acmStream, 0);
    if (acm->spareAcmStream != nullptr) acmStreamClose(acm->spareAcmStream, 0);
    FreeMemory(acm->sourceFormat);
    FreeMemory(acm->sourceData);
    std::memset(acm, 0, sizeof *acm);
}

HACMSTREAM OpenConversionStream(SoundDecoder* decoder) {
    HACMSTREAM stream = nullptr;
    if (acmStreamOpen(&stream, nullptr, decoder->kind.acm.sourceFormat, &decoder->format, nullptr, 0, 0,
                      ACM_STREAMOPENF_NONREALTIME) != 0)
        return nullptr;
    return stream;
}

}  // namespace

// ---- PCM ---------------------------------------------------------------------------------

int OpenPcmWaveDecoder(SoundDecoder* decoder) {
    RiffWave riff;
    if (WalkRiffWave(decoder, &riff) != 0) return -1;
    WAVEFORMATEX f;
    std::memcpy(&f, riff.fmt, sizeof f);
    FreeMemory(riff.fmt);
    if (f.wFormatTag != WAVE_FORMAT_PCM) return -1;
    CompleteShortPcmFormat(&f, riff.fmtSize);
    decoder->format = f;
    decoder->dataPos = riff.dataPos;
    decoder->dataSize = riff.dataSize;
    decoder->blockSize = static_cast<int32_t>(std::min<uint32_t>(f.nAvgBytesPerSec, INT_MAX));
    decoder->decoderKind = kSoundDecoderPcmWave;
    SeekSoundStream(&decoder->stream, decoder->dataPos);
    return 0;
}

int ClosePcmWaveDecoder(SoundDecoder*) { return 0; }

int ReadPcmWaveBlock(SoundDecoder* decoder) {
    const int64_t left = decoder->dataSize - (static_cast<int64_t>(TellSoundStream(&decoder->stream)) - decoder->dataPos);
    if (left <= 0) return -1;
    const int want = static_cast<int>(std::min<int64_t>(decoder->blockSize, left));
    const int got = ReadSoundStream(&decoder->stream, decoder->blockBuffer, want);
    if (got <= 0) return -1;
    decoder->blockValid = got;
    return 0;
}

int SeekPcmWaveDecoder(SoundDecoder* decoder, int frame) {
    const int64_t offset = static_cast<int64_t>(frame) * decoder->format.nBlockAlign;
    const int64_t at = std::min<int64_t>(decoder->dataPos + offset, static_cast<int64_t>(decoder->dataPos) + decoder->dataSize);
    SeekSoundStream(&decoder->stream, static_cast<int>(at));
    decoder->blockValid = 0;
    decoder->blockOffset = 0;
    decoder->outputPos = static_cast<int32_t>(offset);
    return 0;
}

int GetPcmWaveDecodedSize(SoundDecoder* decoder) { return decoder->dataSize; }

// ---- ACM -----------------------------------------------------------------------------------

int OpenAcmWaveDecoder(SoundDecoder* decoder) {
    RiffWave riff;
    if (WalkRiffWave(decoder, &riff) != 0) return -1;
    WAVEFORMATEX* source = reinterpret_cast<WAVEFORMATEX*>(riff.fmt);
    CompleteShortPcmFormat(source, riff.fmtSize);
    // The converter reads cbSize bytes after the 18: they must be in the copy.
    if (source->cbSize > std::max(riff.fmtSize, 18) - 18) {
        FreeMemory(riff.fmt);
        return -1;
    }
    AcmDecoderState* acm = &decoder->kind.acm;
    std::memset(acm, 0, sizeof *acm);
    acm->sourceFormat = source;
    acm->sampleCount = -1;
    decoder->dataPos = riff.dataPos;
    decoder->dataSize = riff.dataSize;
    return OpenAcmConversion(decoder);
}

int OpenAcmConversion(SoundDecoder* decoder) {
    AcmDecoderState* acm = &decoder->kind.acm;
    std::memset(&decoder->format, 0, sizeof decoder->format);
    decoder->format.wFormatTag = WAVE_FORMAT_PCM;
    if (acmFormatSuggest(nullptr, acm->sourceFormat, &decoder->format, sizeof decoder->format,
                         ACM_FORMATSUGGESTF_WFORMATTAG) != 0) {
        ReleaseAcm(decoder);
        return -1;
    }
    const int size = decoder->dataSize > 0 ? decoder->dataSize : 0;
    acm->sourceData = static_cast<uint8_t*>(AllocMemory(std::max(size, 1), kSoundAllocName, __LINE__));
    if (acm->sourceData == nullptr) {
        ReleaseAcm(decoder);
        return -1;
    }
    SeekSoundStream(&decoder->stream, decoder->dataPos);
    acm->sourceSize = ReadSoundStream(&decoder->stream, acm->sourceData, size);
    acm->sourceUsed = 0;
    SeekSoundStream(&decoder->stream, decoder->dataPos);
    acm->acmStream = OpenConversionStream(decoder);
    acm->spareAcmStream = acm->acmStream != nullptr ? OpenConversionStream(decoder) : nullptr;
    if (acm->acmStream == nullptr || acm->spareAcmStream == nullptr) {
        ReleaseAcm(decoder);
        return -1;
    }
    decoder->blockSize = static_cast<int32_t>(std::min<uint32_t>(decoder->format.nAvgBytesPerSec, INT_MAX));
    decoder->decoderKind = kSoundDecoderAcm;
    return 0;
}

int CloseAcmDecoder(SoundDecoder* decoder) {
    ReleaseAcm(decoder);
    return 0;
}

int DecodeAcmBlock(SoundDecoder* decoder) {
    AcmDecoderState* acm = &decoder->kind.acm;
    if (acm->sourceUsed >= acm->sourceSize || acm->acmStream == nullptr) return -1;
    // A block larger than the usual feed would never convert whole otherwise.
    const int feed = std::max<int>(kAcmFeedBytes, acm->sourceFormat->nBlockAlign);
    ACMSTREAMHEADER header;
    std::memset(&header, 0, sizeof header);
    header.cbStruct = sizeof header;
    header.pbSrc = acm->sourceData + acm->sourceUsed;
    header.cbSrcLength = static_cast<DWORD>(std::min(acm->sourceSize - acm->sourceUsed, feed));
    header.pbDst = static_cast<LPBYTE>(decoder->blockBuffer);
    header.cbDstLength = static_cast<DWORD>(decoder->blockSize);
    if (acmStreamPrepareHeader(acm->acmStream, &header, 0) != 0) return -1;
    if (acmStreamConvert(acm->acmStream, &header, ACM_STREAMCONVERTF_BLOCKALIGN) != 0) {
        header.cbDstLengthUsed = 0;
        header.cbSrcLengthUsed = 0;
    }
    acmStreamUnprepareHeader(acm->acmStream, &header, 0);
    const DWORD used = std::min(header.cbSrcLengthUsed, header.cbSrcLength);
    const DWORD made = std::min(header.cbDstLengthUsed, header.cbDstLength);
    acm->sourceUsed += static_cast<int32_t>(used);
    if (made == 0) {
        // Nothing more will come out of this source.
        acm->sourceUsed = acm->sourceSize;
        decoder->blockValid = 0;
        decoder->blockOffset = 0;
        return -1;
    }
    decoder->blockValid = static_cast<int32_t>(made);
    return 0;
}

int SeekAcmDecoder(SoundDecoder* decoder, int frame) {
    AcmDecoderState* acm = &decoder->kind.acm;
    const int64_t target = static_cast<int64_t>(frame) * decoder->format.nBlockAlign;
    if (target < decoder->outputPos) {
        // Conversion has state: go back to the first source byte on a fresh stream.
        HACMSTREAM old = acm->acmStream;
        acm->acmStream = acm->spareAcmStream;
        if (old != nullptr) acmStreamClose(old, 0);
        if (acm->acmStream == nullptr) acm->acmStream = OpenConversionStream(decoder);
        acm->spareAcmStream = OpenConversionStream(decoder);
        acm->sourceUsed = 0;
        decoder->outputPos = 0;
        decoder->blockValid = 0;
        decoder->blockOffset = 0;
    }
    for (;;) {
        if (target <= static_cast<int64_t>(decoder->outputPos) + decoder->blockValid) {
            const int move = static_cast<int>(target - decoder->outputPos);
            decoder->blockOffset += move;
            decoder->blockValid -= move;
            decoder->outputPos = static_cast<int32_t>(target);
            return 0;
        }
        decoder->outputPos += decoder->blockValid;
        decoder->blockValid = 0;
        decoder->blockOffset = 0;
        if (DecodeAcmBlock(decoder) == -1) {
            decoder->atEnd = 1;
            decoder->blockValid = 0;
            return 0;
        }
    }
}

int GetAcmDecodedSize(SoundDecoder* decoder) {
    AcmDecoderState* acm = &decoder->kind.acm;
    if (acm->sampleCount >= 0) {
        const int64_t bytes = static_cast<int64_t>(acm->sampleCount) * decoder->format.nBlockAlign;
        return bytes > INT_MAX ? 0 : static_cast<int>(bytes);
    }
    DWORD out = 0;
    if (acm->acmStream == nullptr ||
        acmStreamSize(acm->acmStream, static_cast<DWORD>(acm->sourceSize), &out, ACM_STREAMSIZEF_SOURCE) != 0)
        return 0;
    return out > INT_MAX ? 0 : static_cast<int>(out);
}
