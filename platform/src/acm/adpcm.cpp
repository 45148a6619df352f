// acm/adpcm.cpp: the IMA and Microsoft ADPCM block decoders (see adpcm.h for the
// layouts). Arithmetic is widened and clamped, so a hostile block decodes to some
// samples and never overflows.
#include "acm/adpcm.h"

#include <algorithm>
#include <cstring>

namespace acm {
namespace {

// The IMA step sizes, indexed 0-88.
constexpr int16_t kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// How the step index moves for the three magnitude bits of a code.
constexpr int kImaIndexMoves[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

// Microsoft ADPCM: how the delta scales (in 1/256) for each 4-bit code.
constexpr int kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                   768, 614, 512, 409, 307, 230, 230, 230};

int16_t Clamp16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767)); }

int16_t ReadS16(const uint8_t* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }

}  // namespace

int ImaBlockCapacity(int channels, int blockAlign) {
    if (channels < 1 || channels > 2 || blockAlign < 4 * channels) return 0;
    if (channels == 1) return 1 + (blockAlign - 4) * 2;
    return 1 + 8 * ((blockAlign - 4 * channels) / (4 * channels));
}

int MsAdpcmBlockCapacity(int channels, int blockAlign) {
    if (channels < 1 || channels > 2 || blockAlign < 7 * channels) return 0;
    return 2 + (blockAlign - 7 * channels) * 2 / channels;
}

void DecodeImaBlock(const uint8_t* block, const ImaLayout& layout, int16_t* out) {
    const int ch = layout.channels;
    for (int c = 0; c < ch; ++c) {
        const uint8_t* header = block + 4 * c;
        int predictor = ReadS16(header);
        int index = std::min<int>(header[2], 88);
        out[c] = static_cast<int16_t>(predictor);
        for (int k = 0; k + 1 < layout.samplesPerBlock; ++k) {
            const int group = k / 8, within = k % 8;
            const uint8_t byte = block[4 * ch + (group * ch + c) * 4 + within / 2];
            const int code = (within & 1) ? (byte >> 4) : (byte & 0x0F);
            const int step = kImaSteps[index];
            int diff = step >> 3;
            if (code & 1) diff += step >> 2;
            if (code & 2) diff += step >> 1;
            if (code & 4) diff += step;
            predictor = Clamp16((code & 8) ? predictor - diff : predictor + diff);
            index = std::clamp(index + kImaIndexMoves[code & 7], 0, 88);
            out[(k + 1) * ch + c] = static_cast<int16_t>(predictor);
        }
    }
}

void DecodeMsAdpcmBlock(const uint8_t* block, const MsAdpcmLayout& layout, int16_t* out) {
    const int ch = layout.channels;
    const int pairs = static_cast<int>(layout.coefficients.size() / 2);
    int coef1[2], coef2[2];
    int64_t delta[2];
    int sample1[2], sample2[2];
    for (int c = 0; c < ch; ++c) {
        const int predictor = block[c];
        if (predictor >= pairs) {
            std::memset(out, 0, sizeof(int16_t) * static_cast<size_t>(layout.samplesPerBlock) * ch);
            return;
        }
        coef1[c] = layout.coefficients[2 * predictor];
        coef2[c] = layout.coefficients[2 * predictor + 1];
        delta[c] = ReadS16(block + ch + 2 * c);
        sample1[c] = ReadS16(block + 3 * ch + 2 * c);
        sample2[c] = ReadS16(block + 5 * ch + 2 * c);
        out[c] = static_cast<int16_t>(sample2[c]);
        if (layout.samplesPerBlock > 1) out[ch + c] = static_cast<int16_t>(sample1[c]);
    }
    const uint8_t* codes = block + 7 * ch;
    for (int s = 2; s < layout.samplesPerBlock; ++s) {
        for (int c = 0; c < ch; ++c) {
            const int n = (s - 2) * ch + c;
            const uint8_t byte = codes[n / 2];
            const int code = (n & 1) ? (byte & 0x0F) : (byte >> 4);
            const int signedCode = code >= 8 ? code - 16 : code;
            const int64_t predicted =
                (static_cast<int64_t>(sample1[c]) * coef1[c] + static_cast<int64_t>(sample2[c]) * coef2[c]) >> 8;
            const int16_t value = Clamp16(predicted + signedCode * delta[c]);
            sample2[c] = sample1[c];
            sample1[c] = value;
            // A valid stream keeps delta small; a hostile one is held where the products
            // above cannot overflow.
            delta[c] = std::clamp<int64_t>((kMsAdaptation[code] * delta[c]) >> 8, 16, 0x0FFFFFFF);
            out[s * ch + c] = value;
        }
    }
}

}  // namespace acm
