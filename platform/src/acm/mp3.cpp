// acm/mp3.cpp: MP3 frames through libmpg123 (see mp3.h). ISO/IEC 11172-3 and 13818-3
// frame headers, and MPEG-2.5 (the low rates 8000, 11025 and 12000 Hz), which a real
// codec decodes though the library's own stand-alone scan does not recognise it.
#include "acm/mp3.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace acm {
namespace {

// kbit/s by [row][index]: MPEG-1 layer I, II, III; MPEG-2 layer I; MPEG-2 layers II and III.
constexpr int kBitrates[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};
// Hz by [version][index]: MPEG-2.5, MPEG-2, MPEG-1.
constexpr int kRates[3][3] = {{11025, 12000, 8000}, {22050, 24000, 16000}, {44100, 48000, 32000}};

mpg123_handle* Handle(void* h) { return static_cast<mpg123_handle*>(h); }

}  // namespace

bool ParseMp3FrameHeader(const uint8_t* h, Mp3FrameHeader* out) {
    // 11 sync bits, then the version: 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1.
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
    const int version = (h[1] >> 3) & 3;
    if (version == 1) return false;
    const bool mpeg1 = version == 3;
    const int layerBits = (h[1] >> 1) & 3;
    if (layerBits == 0) return false;
    const int layer = 3 - layerBits;  // 0: layer I, 1: layer II, 2: layer III
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    if (bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
    const int row = mpeg1 ? layer : (layer == 0 ? 3 : 4);
    const int kbps = kBitrates[row][bitrateIndex];
    const int rate = kRates[version == 0 ? 0 : version - 1][rateIndex];
    const int padding = (h[2] >> 1) & 1;
    const int bps = kbps * 1000;
    Mp3FrameHeader f;
    f.bitrate = kbps;
    f.rate = rate;
    f.channels = (h[3] >> 6) == 3 ? 1 : 2;
    if (layer == 0) {
        f.bytes = (12 * bps / rate + padding) * 4;
        f.samples = 384;
    } else if (layer == 1 || mpeg1) {
        f.bytes = 144 * bps / rate + padding;
        f.samples = 1152;
    } else {
        f.bytes = 72 * bps / rate + padding;
        f.samples = 576;
    }
    *out = f;
    return true;
}

std::unique_ptr<Mp3Decoder> Mp3Decoder::Create(int channels, int rate) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int error = 0;
    mpg123_handle* mh = mpg123_new(nullptr, &error);
    if (mh == nullptr) return nullptr;
    std::unique_ptr<Mp3Decoder> decoder(new Mp3Decoder());
    decoder->handle_ = mh;
    decoder->channels_ = channels;
    const long flags = MPG123_QUIET | MPG123_IGNORE_INFOFRAME | MPG123_NO_READAHEAD |
                       (channels == 1 ? MPG123_MONO_MIX : MPG123_FORCE_STEREO);
    if (mpg123_param(mh, MPG123_ADD_FLAGS, flags, 0) != MPG123_OK ||
        mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0) != MPG123_OK || mpg123_format_none(mh) != MPG123_OK ||
        mpg123_format(mh, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK ||
        mpg123_open_feed(mh) != MPG123_OK)
        return nullptr;
    return decoder;
}

Mp3Decoder::~Mp3Decoder() {
    if (handle_ != nullptr) {
        mpg123_close(Handle(handle_));
        mpg123_delete(Handle(handle_));
    }
}

void Mp3Decoder::DecodeFrame(const uint8_t* frame, uint32_t bytes, int samples, uint8_t* dst) {
    mpg123_handle* mh = Handle(handle_);
    mpg123_feed(mh, frame, bytes);
    uint8_t chunk[4608 * 2];
    for (;;) {
        size_t done = 0;
        const int result = mpg123_read(mh, chunk, sizeof chunk, &done);
        carry_.insert(carry_.end(), chunk, chunk + done);
        if (result == MPG123_NEW_FORMAT || (result == MPG123_OK && done > 0)) continue;
        break;
    }
    // Exactly one frame of output, whatever libmpg123 made of it: a frame it could not
    // decode is silence, so the length always matches the frame count.
    const size_t want = static_cast<size_t>(samples) * channels_ * 2;
    const size_t have = std::min(want, carry_.size());
    std::memcpy(dst, carry_.data(), have);
    std::memset(dst + have, 0, want - have);
    carry_.erase(carry_.begin(), carry_.begin() + static_cast<ptrdiff_t>(have));
}

void Mp3Decoder::Convert(const uint8_t* src, uint32_t srcBytes, uint8_t* dst, uint32_t dstBytes, uint32_t* srcUsed,
                         uint32_t* dstUsed) {
    uint32_t used = 0, out = 0;
    bool decodedAny = false;
    while (used + 4 <= srcBytes) {
        Mp3FrameHeader f;
        if (!ParseMp3FrameHeader(src + used, &f)) {
            ++used;  // not a frame: passed over, as the frame scan does
            continue;
        }
        const uint32_t frameOut = static_cast<uint32_t>(f.samples) * channels_ * 2;
        if (dstBytes - out < frameOut) break;
        if (used + f.bytes > srcBytes) {
            // A frame cut short is decoded only when nothing whole came before it: the
            // caller hands at least 2048 bytes while it has them, more than any frame,
            // so a short frame at the start is the end of the data.
            if (decodedAny) break;
            std::vector<uint8_t> padded(static_cast<size_t>(f.bytes), 0);
            std::memcpy(padded.data(), src + used, srcBytes - used);
            DecodeFrame(padded.data(), static_cast<uint32_t>(padded.size()), f.samples, dst + out);
            out += frameOut;
            used = srcBytes;
            break;
        }
        DecodeFrame(src + used, static_cast<uint32_t>(f.bytes), f.samples, dst + out);
        decodedAny = true;
        used += static_cast<uint32_t>(f.bytes);
        out += frameOut;
    }
    // Fewer than four bytes cannot start a frame: at the end of the data they are
    // passed over, so the caller sees the data used up.
    if (!decodedAny && out == 0 && srcBytes - used < 4) used = srcBytes;
    *srcUsed = used;
    *dstUsed = out;
}

}  // namespace acm
