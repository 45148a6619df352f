// QzUseCLibOgg.cpp: the Ogg Vorbis kind of SoundDecoder, through libvorbisfile reading
// the decoder's stream. Callers hold the library lock.
//
// A stream whose length is unknown (negative total) or whose PCM would pass INT32_MAX
// bytes is refused at open. A hole in the data is skipped and the read goes on; any other
// error of the library ends the sound.
#include <algorithm>
#include <climits>
#include <cstring>
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

// libvorbisfile gives up on a page it has not found within this many bytes while it
// reads a link's headers.
constexpr int64_t kOggHeaderReach = 65536;
// The longest page: a 27-byte header, 255 lacing values and 255 segments of 255 bytes.
constexpr int kOggLongestPage = 27 + 255 + 255 * 255;

// The Vorbis headers of one link of a chain, read from its pages as libvorbisfile reads
// them at open: the first beginning page whose first packet is a Vorbis identification
// header names the link's Vorbis stream, and that stream's next two packets must be its
// comment and setup headers.
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
        serials_.clear();
        vorbis_info_init(&info_);
        vorbis_comment_init(&comment_);
    }
    bool Complete() const { return headers_ == 3; }
    bool Has(int serial) const { return std::find(serials_.begin(), serials_.end(), serial) != serials_.end(); }

    // A beginning page; false when the link is no Vorbis link libvorbisfile takes: a
    // serial number twice among its beginning pages, or a damaged identification header.
    bool Begin(ogg_page* page) {
        const int serial = ogg_page_serialno(page);
        if (Has(serial)) return false;
        serials_.push_back(serial);
        if (tracking_) return true;
        ogg_stream_init(&stream_, serial);
        ogg_stream_pagein(&stream_, page);
        ogg_packet packet;
        if (ogg_stream_packetout(&stream_, &packet) <= 0 || !vorbis_synthesis_idheader(&packet)) {
            ogg_stream_clear(&stream_);
            return true;
        }
        tracking_ = true;
        if (vorbis_synthesis_headerin(&info_, &comment_, &packet) != 0) return false;
        headers_ = 1;
        return TakePackets();
    }
    // Any later page of the link; false when the Vorbis stream's headers are damaged.
    bool Take(ogg_page* page) {
        if (!tracking_ || headers_ == 3 || ogg_page_serialno(page) != stream_.serialno) return true;
        ogg_stream_pagein(&stream_, page);  // a page out of order is libogg's hole, below
        return TakePackets();
    }

private:
    bool TakePackets() {
        ogg_packet packet;
        while (headers_ < 3) {
            const int got = ogg_stream_packetout(&stream_, &packet);
            if (got == 0) break;
            if (got < 0 || vorbis_synthesis_headerin(&info_, &comment_, &packet) != 0) return false;
            headers_++;
        }
        return true;
    }
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
    std::vector<int> serials_;  // the link's beginning pages
    vorbis_info info_;
    vorbis_comment comment_;
};

// Where a page could begin inside the page at `at` (n bytes): each "OggS" after its first
// byte, and its last bytes when they start one.
void NoteCapturesInside(const ogg_page& page, int64_t at, long n, std::vector<int64_t>* candidates) {
    const unsigned char* bytes = page.header;  // header and body lie together in the sync buffer
    for (const unsigned char* p = bytes + 1;;) {
        p = static_cast<const unsigned char*>(memmem(p, static_cast<size_t>(bytes + n - p), "OggS", 4));
        if (p == nullptr) break;
        candidates->push_back(at + (p - bytes));
        p++;
    }
    for (long tail = 3; tail >= 1; tail--) {
        if (n > tail && std::memcmp(bytes + n - tail, "OggS", static_cast<size_t>(tail)) == 0)
            candidates->push_back(at + n - tail);
    }
}

// True when a whole page with a right checksum begins at `at` in the stream.
bool PageBeginsAt(ReadStream* stream, ogg_sync_state* sync, int64_t at) {
    if (at < 0 || at > INT_MAX) return false;
    // The kinds of stream answer a seek differently; where it landed tells.
    stream->functions.seek(stream->data, static_cast<int>(at), kSeekFromStart);
    if (stream->functions.tell(stream->data) != at) return false;
    ogg_sync_reset(sync);
    char* buffer = ogg_sync_buffer(sync, kOggLongestPage);
    const size_t got = buffer != nullptr ? OggReadCallback(buffer, 1, kOggLongestPage, stream) : 0;
    ogg_sync_wrote(sync, static_cast<long>(got));
    ogg_page page;
    return ogg_sync_pageseek(sync, &page) > 0;
}

// libvorbisfile maps a chain of links at open, and when a link it finds turns out
// damaged it refuses the file but keeps what it had read of the links before it (their
// headers and serial number lists): from 8 bytes to 36 KB lost per attempt. It finds the
// links by seeking into the file and looking for the next page from there. So the pages
// are walked here first, and a file is refused before libvorbisfile sees it when any
// link would fail to open as libvorbisfile opens one, or when a page with a right
// checksum begins inside another page (a seek landing there finds a page the walk from
// the start never saw). Such files libvorbisfile would refuse or misread as well.
// A stream without a page near its start is left for libvorbisfile to refuse.
bool OggChainIsWhole(ReadStream* stream) {
    const int64_t start = stream->functions.tell(stream->data);
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    OggLinkHeaders link;
    std::vector<int64_t> captures;  // where pages could hide inside others
    bool inBeginning = false, anyPage = false, whole = true;
    int64_t scanned = 0, offset = 0, skipped = 0;
    ogg_page page;
    for (;;) {
        const long n = ogg_sync_pageseek(&sync, &page);
        if (n < 0) {  // bytes skipped to the next capture pattern
            offset -= n;
            skipped -= n;
            continue;
        }
        if (n == 0) {
            if (!anyPage && scanned > kOggFirstPageReach) break;
            char* buffer = ogg_sync_buffer(&sync, kOggScanRead);
            const size_t got = buffer != nullptr ? OggReadCallback(buffer, 1, kOggScanRead, stream) : 0;
            if (got == 0) break;
            ogg_sync_wrote(&sync, static_cast<long>(got));
            scanned += static_cast<int64_t>(got);
            continue;
        }
        NoteCapturesInside(page, offset, n, &captures);
        offset += n;
        const int64_t gap = skipped;
        skipped = 0;
        const bool startsLink = ogg_page_bos(&page) && !inBeginning;
        // While a link's headers are read, libvorbisfile looks for each next page only so far.
        if (anyPage && !startsLink && !link.Complete() && gap >= kOggHeaderReach) {
            whole = false;
            break;
        }
        if (ogg_page_bos(&page)) {
            if (startsLink) {
                if (anyPage && !link.Complete()) {
                    whole = false;
                    break;
                }
                link.Reset();
                inBeginning = true;
            }
            anyPage = true;
            if (!link.Begin(&page)) {
                whole = false;
                break;
            }
            continue;
        }
        // A page of a stream the link never began is no part of a chain.
        if (!anyPage || !link.Has(ogg_page_serialno(&page))) {
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
    for (size_t i = 0; whole && i < captures.size(); i++) {
        if (PageBeginsAt(stream, &sync, start + captures[i])) whole = false;
    }
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
