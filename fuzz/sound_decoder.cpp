// Fuzz target: the library's SoundDecoder over a memory stream: PCM WAVE, WAVE through
// the ACM (IMA and Microsoft ADPCM, our own decoders), Ogg Vorbis and MP3, tried in the
// library's order. Each input is opened, decoded whole, sought back and read again; every
// count the decoder hands back must lie inside what was asked.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CodecFixtures.h"
#include "FuzzSupport.h"
#include "ScratchBlock.h"
#include "QzSoundDecoder.h"
#include "QzWinFileStream.h"
#include "QzWinMemory.h"

namespace {

void U16(std::string& s, int v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void U32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; i++) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string Wave(int tag, int channels, int rate, int avg, int align, int bits, const std::string& extra,
                 const std::string& data) {
    std::string fmt;
    U16(fmt, tag);
    U16(fmt, channels);
    U32(fmt, static_cast<uint32_t>(rate));
    U32(fmt, static_cast<uint32_t>(avg));
    U16(fmt, align);
    U16(fmt, bits);
    if (!extra.empty()) {
        U16(fmt, static_cast<int>(extra.size()));
        fmt += extra;
    }
    std::string body = "WAVEfmt ";
    U32(body, static_cast<uint32_t>(fmt.size()));
    body += fmt + "data";
    U32(body, static_cast<uint32_t>(data.size()));
    body += data;
    std::string file = "RIFF";
    U32(file, static_cast<uint32_t>(body.size()));
    return file + body;
}

std::string Bytes(int count, int seed) {
    std::string s(static_cast<size_t>(count), '\0');
    for (int i = 0; i < count; i++) s[i] = static_cast<char>((i * seed + i / 7) & 0xFF);
    return s;
}

}  // namespace

QZ_FUZZ_SMALL_QUARANTINE();

QZ_FUZZ_TARGET(SoundDecoder)(const uint8_t* data, size_t size) {
    static bool ready = (SetupStreamFunctions(), true);
    (void)ready;
    if (size > (1u << 20)) return 0;
    MemoryStream* memory = OpenMemoryStream(data, static_cast<int>(size));
    if (memory == nullptr) return 0;
    ReadStream stream;
    MakeMemoryReadStream(&stream, memory);
    SoundDecoder* decoder = static_cast<SoundDecoder*>(std::calloc(1, sizeof(SoundDecoder)));
    if (OpenSoundDecoder(&stream, decoder) == 0) {
        WAVEFORMATEX format;
        void* pcm = nullptr;
        int pcmSize = 0;
        // Decoding whole is bounded by what the kinds report; keep memory in check.
        if (GetSoundDecoderSize(decoder) <= (64 << 20) && DecodeWholeSound(decoder, &format, &pcm, &pcmSize) == 0) {
            if (pcmSize <= 0 || pcmSize % format.nBlockAlign != 0) std::abort();
            FreeMemory(pcm);
        }
        SeekSoundDecoder(decoder, static_cast<int>(size % 3000));
        constexpr int kReadSize = 20000;
        static qzfuzz::ScratchBlock scratch;
        uint8_t* buffer = scratch.Take(kReadSize);
        for (int reads = 0; reads < 8; reads++) {
            const int got = ReadSoundDecoder(decoder, buffer, kReadSize);
            if (got < 0 || got > kReadSize) std::abort();
            if (got == 0) break;
        }
        SeekSoundDecoder(decoder, 0);
        ReadSoundDecoder(decoder, buffer, 100);
        CloseSoundDecoder(decoder);
    }
    std::free(decoder);
    CloseMemoryStream(memory);
    return 0;
}

QZ_FUZZ_SEEDS(SoundDecoder) {
    std::string coefficients;
    for (int v : {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232}) U16(coefficients, v);
    std::string msExtra;
    U16(msExtra, 500);
    U16(msExtra, 7);
    msExtra += coefficients;
    std::string imaExtra;
    U16(imaExtra, 505);
    // MPEG-1 layer III, 128 kbit/s, 44100 Hz: silent 417-byte frames, behind an ID3v2 tag.
    std::string mp3 = std::string("ID3\x03\x00\x00\x00\x00\x00\x04", 10) + "abcd";
    for (int i = 0; i < 6; i++) mp3 += std::string("\xFF\xFB\x90\x00", 4) + std::string(413, '\0');
    return {
        Wave(1, 2, 22050, 88200, 4, 16, "", Bytes(4000, 13)),
        Wave(1, 1, 8000, 8000, 1, 8, "", Bytes(900, 7)),
        Wave(0x11, 2, 22050, 22311, 512, 4, imaExtra, Bytes(3 * 512, 37)),
        Wave(2, 1, 22050, 11155, 256, 4, msExtra, Bytes(2 * 256, 11)),
        mp3,
        qztest::WriteOggVorbis(1, 8000, 2000),
        qztest::WriteOggVorbis(2, 22050, 3000),
    };
}

// Found by fuzzing, kept as files: Ogg Vorbis streams whose sound pages hide pages of
// other streams (beginning pages among them) that only a seek into the file finds.
// ogg-leaks-on-open.ogg (64 KB, cut short) hides a second link's first pages in its
// first link's last page, and libvorbisfile lost 27 KB of headers over it;
// ogg-leaks-on-decode.ogg (11 KB) hides another stream's first pages in its one sound
// page, and libvorbisfile lost 8 bytes over it.
QZ_FUZZ_FOUND(SoundDecoder, OggLeaksOnOpen, qztest::ReadFixture("ogg-leaks-on-open.ogg"));
QZ_FUZZ_FOUND(SoundDecoder, OggLeaksOnDecode, qztest::ReadFixture("ogg-leaks-on-decode.ogg"));
