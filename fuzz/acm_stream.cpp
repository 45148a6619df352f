// Fuzz target: the ACM's IMA ADPCM, Microsoft ADPCM and MP3 conversions. The input is a
// source format as a WAVE file carries it (18 bytes and cbSize more), then the data,
// converted as the library converts it: spans of max(2048, block alignment) bytes into
// one second of PCM until a conversion gives nothing.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "ScratchBlock.h"
#include "platform/acm.h"

namespace {

std::string Format(WORD tag, WORD channels, DWORD rate, WORD align, const std::string& extra) {
    WAVEFORMATEX f = {};
    f.wFormatTag = tag;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.nAvgBytesPerSec = rate;
    f.nBlockAlign = align;
    f.wBitsPerSample = tag == WAVE_FORMAT_MPEGLAYER3 ? 0 : 4;
    f.cbSize = static_cast<WORD>(extra.size());
    return std::string(reinterpret_cast<const char*>(&f), sizeof f) + extra;
}

std::string U16(int v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }

}  // namespace

QZ_FUZZ_TARGET(AcmStream)(const uint8_t* data, size_t size) {
    if (size < sizeof(WAVEFORMATEX)) return 0;
    WAVEFORMATEX head;
    std::memcpy(&head, data, sizeof head);
    const size_t formatBytes = sizeof head + head.cbSize;
    if (formatBytes > size) return 0;
    std::vector<uint8_t> format(data, data + formatBytes);  // aligned copy, as a caller holds it
    const uint8_t* source = data + formatBytes;
    const size_t sourceSize = size - formatBytes;
    auto* src = reinterpret_cast<WAVEFORMATEX*>(format.data());

    WAVEFORMATEX pcm = {};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    if (acmFormatSuggest(nullptr, src, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG) != 0) return 0;
    HACMSTREAM stream = nullptr;
    if (acmStreamOpen(&stream, nullptr, src, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0) return 0;
    DWORD estimate = 0;
    acmStreamSize(stream, static_cast<DWORD>(sourceSize), &estimate, ACM_STREAMSIZEF_SOURCE);
    // One second of PCM, in a block kept for the whole process.
    static qzfuzz::ScratchBlock output;
    const size_t blockSize = pcm.nAvgBytesPerSec;
    uint8_t* block = output.Take(blockSize);
    const size_t feed = std::max<size_t>(2048, src->nBlockAlign);
    size_t used = 0;
    for (int calls = 0; used < sourceSize && calls < 10000; ++calls) {
        ACMSTREAMHEADER h = {};
        h.cbStruct = sizeof h;
        h.pbSrc = const_cast<uint8_t*>(source) + used;
        h.cbSrcLength = static_cast<DWORD>(std::min(sourceSize - used, feed));
        h.pbDst = block;
        h.cbDstLength = static_cast<DWORD>(blockSize);
        if (acmStreamPrepareHeader(stream, &h, 0) != 0) std::abort();
        if (acmStreamConvert(stream, &h, ACM_STREAMCONVERTF_BLOCKALIGN) != 0) std::abort();
        acmStreamUnprepareHeader(stream, &h, 0);
        if (h.cbSrcLengthUsed > h.cbSrcLength || h.cbDstLengthUsed > h.cbDstLength) std::abort();
        if (h.cbDstLengthUsed == 0) break;
        used += h.cbSrcLengthUsed;
    }
    acmStreamClose(stream, 0);
    return 0;
}

QZ_FUZZ_SEEDS(AcmStream) {
    const std::string coefficients = U16(256) + U16(0) + U16(512) + U16(0xFF00) + U16(0) + U16(0) + U16(192) +
                                     U16(64) + U16(240) + U16(0) + U16(460) + U16(0xFF30) + U16(392) + U16(0xFF18);
    std::string ima = Format(WAVE_FORMAT_IMA_ADPCM, 2, 22050, 512, U16(505));
    for (int i = 0; i < 3 * 512; ++i) ima += static_cast<char>((i * 37) & 0xFF);
    std::string ms = Format(WAVE_FORMAT_ADPCM, 1, 22050, 256, U16(500) + U16(7) + coefficients);
    for (int i = 0; i < 2 * 256; ++i) ms += static_cast<char>(i % 7 == 0 ? 0 : (i * 13) & 0xFF);
    // MPEG-1 layer III, 128 kbit/s, 44100 Hz: 417-byte frames of silence.
    std::string mp3 = Format(WAVE_FORMAT_MPEGLAYER3, 2, 44100, 1, U16(1) + std::string(4, '\0') + U16(417) + U16(1) + U16(0));
    for (int i = 0; i < 4; ++i) mp3 += std::string("\xFF\xFB\x90\x00", 4) + std::string(413, '\0');
    return {ima, ms, mp3};
}
