// acm/acm.cpp: the Audio Compression Manager calls: format suggestion, streams and
// conversion, over our ADPCM decoders (adpcm.h) and libmpg123 (mp3.h). Any thread;
// the table of open streams has its own lock, a stream is used by one thread at a time.
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "acm/adpcm.h"
#include "acm/mp3.h"
#include "platform/acm.h"

namespace acm {
namespace {

enum class Kind { Ima, MsAdpcm, Mp3 };

struct Stream {
    Kind kind = Kind::Ima;
    int channels = 0;
    int rate = 0;
    ImaLayout ima;
    MsAdpcmLayout ms;
    std::unique_ptr<Mp3Decoder> mp3;
    std::vector<int16_t> scratch;  // one decoded block
};

std::mutex g_streamsLock;
std::set<Stream*> g_streams;

Stream* Find(HACMSTREAM handle) {
    std::lock_guard<std::mutex> hold(g_streamsLock);
    Stream* s = reinterpret_cast<Stream*>(handle);
    return g_streams.count(s) ? s : nullptr;
}

// The tail of a format after its 18 bytes, when cbSize promises it.
const uint8_t* Extra(const WAVEFORMATEX* f, int need) {
    if (f->cbSize < need) return nullptr;
    return reinterpret_cast<const uint8_t*>(f) + sizeof(WAVEFORMATEX);
}

WORD ReadU16(const uint8_t* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

// Rates outside 100-200000 Hz could never be played by a sound buffer, and their byte
// rates overflow: such sources are refused like any unknown one.
bool IsSuggestedSource(const WAVEFORMATEX* src) {
    return (src->wFormatTag == WAVE_FORMAT_IMA_ADPCM || src->wFormatTag == WAVE_FORMAT_ADPCM ||
            src->wFormatTag == WAVE_FORMAT_MPEGLAYER3) &&
           src->nChannels >= 1 && src->nChannels <= 2 && src->nSamplesPerSec >= 100 && src->nSamplesPerSec <= 200000;
}

// Fills a stream from its source format; false when the format is refused.
bool Describe(const WAVEFORMATEX* src, Stream* s) {
    if (!IsSuggestedSource(src)) return false;
    s->channels = src->nChannels;
    s->rate = static_cast<int>(src->nSamplesPerSec);
    switch (src->wFormatTag) {
    case WAVE_FORMAT_IMA_ADPCM: {
        const uint8_t* extra = Extra(src, 2);
        if (extra == nullptr || src->wBitsPerSample != 4) return false;
        s->kind = Kind::Ima;
        s->ima.channels = s->channels;
        s->ima.blockAlign = src->nBlockAlign;
        s->ima.samplesPerBlock = ReadU16(extra);
        const int capacity = ImaBlockCapacity(s->channels, src->nBlockAlign);
        return s->ima.samplesPerBlock >= 1 && s->ima.samplesPerBlock <= capacity;
    }
    case WAVE_FORMAT_ADPCM: {
        const uint8_t* extra = Extra(src, 4);
        if (extra == nullptr || src->wBitsPerSample != 4) return false;
        const int pairs = ReadU16(extra + 2);
        if (pairs < 1 || src->cbSize < 4 + 4 * pairs) return false;
        s->kind = Kind::MsAdpcm;
        s->ms.channels = s->channels;
        s->ms.blockAlign = src->nBlockAlign;
        s->ms.samplesPerBlock = ReadU16(extra);
        s->ms.coefficients.resize(static_cast<size_t>(pairs) * 2);
        for (int i = 0; i < pairs * 2; ++i)
            s->ms.coefficients[i] = static_cast<int16_t>(ReadU16(extra + 4 + 2 * i));
        const int capacity = MsAdpcmBlockCapacity(s->channels, src->nBlockAlign);
        return s->ms.samplesPerBlock >= 2 && s->ms.samplesPerBlock <= capacity;
    }
    default:  // MP3
        if (Extra(src, MPEGLAYER3_WFX_EXTRA_BYTES) == nullptr) return false;
        s->kind = Kind::Mp3;
        return true;
    }
}

bool IsSuggestedDestination(const WAVEFORMATEX* src, const WAVEFORMATEX* dst) {
    return dst->wFormatTag == WAVE_FORMAT_PCM && dst->nChannels == src->nChannels &&
           dst->nSamplesPerSec == src->nSamplesPerSec && dst->wBitsPerSample == 16 &&
           dst->nBlockAlign == 2 * dst->nChannels && dst->nAvgBytesPerSec == dst->nSamplesPerSec * dst->nBlockAlign;
}

int BlockAlign(const Stream& s) { return s.kind == Kind::Ima ? s.ima.blockAlign : s.ms.blockAlign; }
int SamplesPerBlock(const Stream& s) { return s.kind == Kind::Ima ? s.ima.samplesPerBlock : s.ms.samplesPerBlock; }
uint32_t PcmBytesPerBlock(const Stream& s) {
    return static_cast<uint32_t>(SamplesPerBlock(s)) * static_cast<uint32_t>(s.channels) * 2;
}

}  // namespace
}  // namespace acm

using namespace acm;

MMRESULT acmFormatSuggest(HACMDRIVER, LPWAVEFORMATEX source, LPWAVEFORMATEX destination, DWORD destinationBytes,
                          DWORD flags) {
    if (source == nullptr || destination == nullptr || destinationBytes < 16) return MMSYSERR_INVALPARAM;
    if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) == 0 || destination->wFormatTag != WAVE_FORMAT_PCM ||
        !IsSuggestedSource(source))
        return ACMERR_NOTPOSSIBLE;
    WAVEFORMATEX pcm = {};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = source->nChannels;
    pcm.nSamplesPerSec = source->nSamplesPerSec;
    pcm.wBitsPerSample = 16;
    pcm.nBlockAlign = static_cast<WORD>(2 * pcm.nChannels);
    pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
    pcm.cbSize = 0;
    std::memcpy(destination, &pcm, destinationBytes < sizeof pcm ? destinationBytes : sizeof pcm);
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(LPHACMSTREAM stream, HACMDRIVER, LPWAVEFORMATEX source, LPWAVEFORMATEX destination,
                       LPWAVEFILTER filter, DWORD_PTR, DWORD_PTR, DWORD flags) {
    if (source == nullptr || destination == nullptr || filter != nullptr) return MMSYSERR_INVALPARAM;
    if (flags & ACM_STREAMOPENF_ASYNC) return MMSYSERR_INVALFLAG;
    auto s = std::make_unique<Stream>();
    if (!Describe(source, s.get()) || !IsSuggestedDestination(source, destination)) return ACMERR_NOTPOSSIBLE;
    if (flags & ACM_STREAMOPENF_QUERY) return MMSYSERR_NOERROR;
    if (stream == nullptr) return MMSYSERR_INVALPARAM;
    if (s->kind == Kind::Mp3) {
        s->mp3 = Mp3Decoder::Create(s->channels, s->rate);
        if (!s->mp3) return MMSYSERR_NOMEM;
    } else {
        s->scratch.resize(static_cast<size_t>(SamplesPerBlock(*s)) * s->channels);
    }
    std::lock_guard<std::mutex> hold(g_streamsLock);
    Stream* raw = s.release();
    g_streams.insert(raw);
    *stream = reinterpret_cast<HACMSTREAM>(raw);
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM stream, DWORD) {
    Stream* s = nullptr;
    {
        std::lock_guard<std::mutex> hold(g_streamsLock);
        s = reinterpret_cast<Stream*>(stream);
        if (g_streams.erase(s) == 0) return MMSYSERR_INVALHANDLE;
    }
    delete s;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM stream, DWORD inputBytes, LPDWORD outputBytes, DWORD flags) {
    Stream* s = Find(stream);
    if (s == nullptr) return MMSYSERR_INVALHANDLE;
    if (outputBytes == nullptr || (flags & ~ACM_STREAMSIZEF_DESTINATION) != 0) return MMSYSERR_INVALPARAM;
    const bool fromSource = (flags & ACM_STREAMSIZEF_DESTINATION) == 0;
    uint64_t result = 0;
    if (s->kind == Kind::Mp3) {
        // An upper estimate: every frame as short as a frame can be (MPEG-2 layer III,
        // 8 kbit/s, 16 kHz: 36 bytes for 576 samples).
        const uint64_t frameOut = 1152ull * s->channels * 2;
        result = fromSource ? (inputBytes / 36 + 1) * frameOut : (inputBytes / frameOut + 1) * 1728;
    } else if (fromSource) {
        result = static_cast<uint64_t>(inputBytes / BlockAlign(*s)) * PcmBytesPerBlock(*s);
    } else {
        const uint64_t blocks = (inputBytes + PcmBytesPerBlock(*s) - 1) / PcmBytesPerBlock(*s);
        result = blocks * BlockAlign(*s);
    }
    if (result > 0xFFFFFFFFu) return ACMERR_NOTPOSSIBLE;
    *outputBytes = static_cast<DWORD>(result);
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, LPACMSTREAMHEADER header, DWORD) {
    if (Find(stream) == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->cbStruct != sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
    if (header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) return MMSYSERR_INVALPARAM;
    header->fdwStatus = ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, LPACMSTREAMHEADER header, DWORD) {
    if (Find(stream) == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->cbStruct != sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
    if ((header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) == 0) return ACMERR_UNPREPARED;
    header->fdwStatus &= ~(ACMSTREAMHEADER_STATUSF_PREPARED | ACMSTREAMHEADER_STATUSF_DONE);
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM stream, LPACMSTREAMHEADER header, DWORD flags) {
    Stream* s = Find(stream);
    if (s == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->cbStruct != sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
    if ((header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) == 0) return ACMERR_UNPREPARED;
    if (flags & ~(ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END))
        return MMSYSERR_INVALFLAG;
    if ((header->pbSrc == nullptr && header->cbSrcLength > 0) || (header->pbDst == nullptr && header->cbDstLength > 0))
        return MMSYSERR_INVALPARAM;
    header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
    uint32_t srcUsed = 0, dstUsed = 0;
    if (s->kind == Kind::Mp3) {
        s->mp3->Convert(header->pbSrc, header->cbSrcLength, header->pbDst, header->cbDstLength, &srcUsed, &dstUsed);
    } else {
        // ADPCM converts whole blocks only, as many as both sides hold.
        const uint32_t align = static_cast<uint32_t>(BlockAlign(*s));
        const uint32_t pcm = PcmBytesPerBlock(*s);
        uint32_t blocks = header->cbSrcLength / align;
        if (header->cbDstLength / pcm < blocks) blocks = header->cbDstLength / pcm;
        for (uint32_t b = 0; b < blocks; ++b) {
            if (s->kind == Kind::Ima)
                DecodeImaBlock(header->pbSrc + static_cast<size_t>(b) * align, s->ima, s->scratch.data());
            else
                DecodeMsAdpcmBlock(header->pbSrc + static_cast<size_t>(b) * align, s->ms, s->scratch.data());
            std::memcpy(header->pbDst + static_cast<size_t>(b) * pcm, s->scratch.data(), pcm);
        }
        srcUsed = blocks * align;
        dstUsed = blocks * pcm;
    }
    header->cbSrcLengthUsed = srcUsed;
    header->cbDstLengthUsed = dstUsed;
    header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return MMSYSERR_NOERROR;
}
