// QzUseCLibOgg.cpp: the Ogg Vorbis kind of SoundDecoder, through libvorbisfile reading
// the decoder's stream. Callers hold the library lock.
//
// A stream whose length is unknown (negative total) or whose PCM would pass INT32_MAX
// bytes is refused at open. A hole in the data is skipped and the read goes on; any other
// error of the library ends the sound.
#include <algorithm>
#include <climits>
#include <vector>

#include "QzUseCLibCodec.h"

namespace {

constexpr int kOggBlockSize = 4096;
// libvorbisfile looks this far for the first page before it calls a stream not Ogg.
constexpr int64_t kOggFirstPageReach = 65536;
constexpr int kOggScanRead = 65536;

size_t OggReadCallback(void* buffer, size_t size, size_t count, void* source) {
    ReadStream* stream = static_cast<ReadStream*>(source);
    if (stream == nullptr || size == 0 || count == 0) return 0;
    if (size > INT_MAX) return 0;
    if (count > INT_MAX) count = INT_MAX;
    int read = stream->functions.read(buffer, static_cast<int>(size), static_cast<int>(count), stream->data);
    return read < 0 ? 0 : static_cast<size_t>(read);
}

int OggSeekCallback(void* source, ogg_int64_t offset, int origin) {
    ReadStream* stream = static_cast<ReadStream*>(source);
    if (stream == nullptr || offset < INT_MIN || offset > INT_MAX) return -1;
    return stream->functions.seek(stream->data, static_cast<int>(offset), origin);
}

int OggCloseCallback(void*) { return 0; }  // the stream belongs to the decoder's owner

long OggTellCallback(void* source) {
    ReadStream* stream = static_cast<ReadStream*>(source);
    if (stream == nullptr) return -1;
    return stream->functions.tell(stream->data);
}

// The Vorbis headers of one link of a chain, read from its pages as they come.
class OggLinkHeaders {
public:
    OggLinkHeaders() {
        vorbis_info_init(&info_);
        vorbis_comment_init(&comment_);
    }
    ~OggLinkHeaders() { Clear(); }
    OggLinkHeaders(const OggLinkHeaders&) = delete;
    OggLinkHeaders& operator=(const OggLinkHeaders&) = delete;

    // A new link: nothing of the last one is kept.
    void Reset() {
        Clear();
        vorbis_info_init(&info_);
        vorbis_comment_init(&comment_);
    }
    bool Complete() const { return headers_ == 3; }

    // A beginning page: the link's Vorbis stream is the first whose first packet is a
    // Vorbis identification header.
    void Begin(ogg_page* page) {
        if (tracking_) return;
        ogg_stream_init(&stream_, ogg_page_serialno(page));
        tracking_ = true;
        if (!Take(page) || headers_ == 0) {
            ogg_stream_clear(&stream_);
            tracking_ = false;
            headers_ = 0;
        }
    }
    // Any later page; false when the Vorbis stream's headers are damaged.
    bool Take(ogg_page* page) {
        if (!tracking_ || headers_ == 3 || ogg_page_serialno(page) != stream_.serialno) return true;
        if (ogg_stream_pagein(&stream_, page) != 0) return true;  // a page out of order: libogg's hole
        ogg_packet packet;
        while (headers_ < 3) {
            const int got = ogg_stream_packetout(&stream_, &packet);
            if (got == 0) break;
            if (got < 0 || vorbis_synthesis_headerin(&info_, &comment_, &packet) != 0) return false;
            headers_++;
        }
        return true;
    }

private:
    void Clear() {
        if (tracking_) ogg_stream_clear(&stream_);
        tracking_ = false;
        headers_ = 0;
        vorbis_comment_clear(&comment_);
        vorbis_info_clear(&info_);
    }

    ogg_stream_state stream_ = {};
    bool tracking_ = false;
    int headers_ = 0;
    vorbis_info info_;
    vorbis_comment comment_;
};

// libvorbisfile maps a chain of links at open and, when a later link turns out damaged,
// refuses the file but keeps what it had read of the links before it (their headers and
// serial number lists): 27 KB lost per attempt. So the pages are walked here first, and
// a chain whose every link does not start with its own beginning pages and complete
// Vorbis headers is refused before libvorbisfile sees it; it would refuse it as well.
// A stream without a page near its start is left for libvorbisfile to refuse.
bool OggChainIsWhole(ReadStream* stream) {
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    OggLinkHeaders link;
    std::vector<int> serials;  // the beginning pages of the current link
    bool inBeginning = false, anyPage = false, whole = true;
    int64_t scanned = 0;
    ogg_page page;
    for (;;) {
        const int found = ogg_sync_pageout(&sync, &page);
        if (found < 0) continue;  // bytes skipped to the next capture pattern
        if (found == 0) {
            if (!anyPage && scanned > kOggFirstPageReach) break;
            char* buffer = ogg_sync_buffer(&sync, kOggScanRead);
            const size_t got = buffer != nullptr ? OggReadCallback(buffer, 1, kOggScanRead, stream) : 0;
            if (got == 0) break;
            ogg_sync_wrote(&sync, static_cast<long>(got));
            scanned += static_cast<int64_t>(got);
            continue;
        }
        const int serial = ogg_page_serialno(&page);
        if (ogg_page_bos(&page)) {
            if (!inBeginning) {
                if (anyPage && !link.Complete()) {
                    whole = false;
                    break;
                }
                link.Reset();
                serials.clear();
                inBeginning = true;
            }
            anyPage = true;
            serials.push_back(serial);
            link.Begin(&page);
            continue;
        }
        // A page of a stream the link never began is no part of a chain.
        if (!anyPage || std::find(serials.begin(), serials.end(), serial) == serials.end()) {
            whole = false;
            break;
        }
        inBeginning = false;
        if (!link.Take(&page)) {
            whole = false;
            break;
        }
    }
    if (whole && anyPage && !link.Complete()) whole = false;
    ogg_sync_clear(&sync);
    return whole;
}

}  // namespace

int OpenOggDecoder(SoundDecoder* decoder) {
    OggDecoderState* ogg = &decoder->kind.ogg;
    ogg->oggOpen = 0;
    ov_callbacks callbacks = {OggReadCallback, OggSeekCallback, OggCloseCallback, OggTellCallback};
    ReadStream* stream = &decoder->stream;
    const int start = stream->functions.tell(stream->data);
    const bool whole = OggChainIsWhole(stream);
    stream->functions.seek(stream->data, start, kSeekFromStart);
    if (!whole) return -1;
    if (ov_open_callbacks(&decoder->stream, &ogg->vorbisFile, nullptr, 0, callbacks) != 0) return -1;
    ogg->oggOpen = 1;

    int32_t bytes = oggBytesPerSample;
    vorbis_info* info = ov_info(&ogg->vorbisFile, -1);
    ogg_int64_t frames = ov_pcm_total(&ogg->vorbisFile, -1);
    if (info == nullptr || info->channels <= 0 || info->channels > 255 || info->rate <= 0 || info->rate > INT_MAX ||
        frames < 0 || frames > INT32_MAX / (info->channels * bytes)) {
        CloseOggDecoder(decoder);
        return -1;
    }

    WAVEFORMATEX* format = &decoder->format;
    format->wFormatTag = WAVE_FORMAT_PCM;
    format->nChannels = static_cast<WORD>(info->channels);
    format->nSamplesPerSec = static_cast<DWORD>(info->rate);
    format->wBitsPerSample = static_cast<WORD>(8 * bytes);
    format->nBlockAlign = static_cast<WORD>(bytes * info->channels);
    format->nAvgBytesPerSec = static_cast<DWORD>(format->nBlockAlign) * format->nSamplesPerSec;
    format->cbSize = 0;
    ogg->bytesPerSample = bytes;
    decoder->blockSize = kOggBlockSize;
    decoder->decoderKind = kSoundDecoderOgg;
    return 0;
}

int CloseOggDecoder(SoundDecoder* decoder) {
    OggDecoderState* ogg = &decoder->kind.ogg;
    if (ogg->oggOpen == 1) {
        ov_clear(&ogg->vorbisFile);
        ogg->oggOpen = 0;
    }
    return 0;
}

int DecodeOggBlock(SoundDecoder* decoder) {
    OggDecoderState* ogg = &decoder->kind.ogg;
    if (ogg->oggOpen != 1 || decoder->blockBuffer == nullptr || decoder->blockSize <= 0) return -1;
    int word = ogg->bytesPerSample;
    for (;;) {
        int bitstream = 0;
        long got = ov_read(&ogg->vorbisFile, static_cast<char*>(decoder->blockBuffer), decoder->blockSize, 0, word,
                           word == 1 ? 0 : 1, &bitstream);
        if (got == OV_HOLE) continue;
        if (got <= 0) return -1;
        decoder->blockValid = static_cast<int32_t>(got);
        return 0;
    }
}

int SeekOggDecoder(SoundDecoder* decoder, int frame) {
    ov_pcm_seek(&decoder->kind.ogg.vorbisFile, frame);
    decoder->blockValid = 0;
    decoder->blockOffset = 0;
    decoder->outputPos = static_cast<int32_t>(static_cast<int64_t>(frame) * decoder->format.nBlockAlign);
    return 0;
}

int GetOggDecodedSize(SoundDecoder* decoder) {
    OggDecoderState* ogg = &decoder->kind.ogg;
    ogg_int64_t frames = ov_pcm_total(&ogg->vorbisFile, -1);
    if (frames < 0) return 0;
    return static_cast<int>(frames * decoder->format.nChannels * ogg->bytesPerSample);
}
