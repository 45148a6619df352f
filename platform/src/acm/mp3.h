// acm/mp3.h: MP3 frames to 16-bit PCM through libmpg123 in feed mode. We find the
// frames ourselves (the library's frame scan's header rules, with MPEG-2.5 added) and hand
// libmpg123 one whole frame at a time, so each frame gives exactly its samples per
// frame: no gapless trimming, and an info frame decodes as one silent frame. One
// decoder per ACM stream; one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace acm {

struct Mp3FrameHeader {
    int bytes = 0;     // whole frame, header included
    int samples = 0;   // per channel
    int channels = 0;  // 1 or 2
    int rate = 0;      // Hz
    int bitrate = 0;   // kbit/s
};

// The four header bytes of an MPEG-1, MPEG-2 or MPEG-2.5 audio frame (layer I, II or
// III): false without the 11-bit sync, for a reserved version, layer, bit-rate or rate,
// or a free-format frame (bit-rate index 0).
bool ParseMp3FrameHeader(const uint8_t* header, Mp3FrameHeader* out);

class Mp3Decoder {
public:
    // Output is 16-bit PCM with these channels (1-2) and rate, whatever a frame holds.
    static std::unique_ptr<Mp3Decoder> Create(int channels, int rate);
    ~Mp3Decoder();

    // Decodes the whole frames in src whose output fits in dst. Bytes between frames
    // that are no frame are passed over. A source that starts with a frame cut short
    // (the end of the data) decodes that frame padded with silence.
    void Convert(const uint8_t* src, uint32_t srcBytes, uint8_t* dst, uint32_t dstBytes, uint32_t* srcUsed,
                 uint32_t* dstUsed);

private:
    Mp3Decoder() = default;
    void DecodeFrame(const uint8_t* frame, uint32_t bytes, int samples, uint8_t* dst);

    void* handle_ = nullptr;  // mpg123_handle
    int channels_ = 0;
    std::vector<uint8_t> carry_;  // output libmpg123 gave beyond the frame it was fed
};

}  // namespace acm
