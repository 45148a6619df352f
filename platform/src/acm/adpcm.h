// acm/adpcm.h: the two ADPCM block decoders, written from the published block layouts
// of the IMA (DVI) and Microsoft ADPCM WAVE formats. Pure functions; any thread.
//
// IMA ADPCM block, per channel a 4-byte header (the first sample, 16-bit; the step
// index 0-88; a reserved byte), then 4-bit codes in groups of 4 bytes (8 samples) per
// channel in turn, the low nibble of each byte first.
//
// Microsoft ADPCM block: a predictor index per channel, then per channel the 16-bit
// delta, the 16-bit first sample and the 16-bit second sample; the second sample is
// output first. Then 4-bit signed codes, the high nibble first, channels interleaved.
#pragma once

#include <cstdint>
#include <vector>

namespace acm {

struct ImaLayout {
    int channels = 1;         // 1 or 2
    int blockAlign = 0;       // bytes per block
    int samplesPerBlock = 0;  // per channel, at most ImaBlockCapacity
};

struct MsAdpcmLayout {
    int channels = 1;
    int blockAlign = 0;
    int samplesPerBlock = 0;  // per channel, at most MsAdpcmBlockCapacity
    std::vector<int16_t> coefficients;  // pairs: coef1, coef2 for each predictor
};

// Samples per channel that a block of this size can hold; 0 when it holds no header.
int ImaBlockCapacity(int channels, int blockAlign);
int MsAdpcmBlockCapacity(int channels, int blockAlign);

// Decodes one whole block into samplesPerBlock x channels interleaved samples.
void DecodeImaBlock(const uint8_t* block, const ImaLayout& layout, int16_t* out);
// A predictor index beyond the table decodes that block as silence.
void DecodeMsAdpcmBlock(const uint8_t* block, const MsAdpcmLayout& layout, int16_t* out);

}  // namespace acm
