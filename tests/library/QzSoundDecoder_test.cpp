// Sound decoders through the SoundDecoder front end: the RIFF walk and its refusals, the
// MP3 frame header and scan, ADPCM and MP3 files encoded by sox from tones written here,
// Ogg Vorbis from libvorbisenc, seeks, and the WAVE image builder. Memory streams only;
// no sound device is needed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CodecFixtures.h"
#include "SoundFixture.h"
#include "QzWinMemory.h"

namespace QzSoundDecoder_test {

namespace {

using soundlib::Pcm;
using soundlib::Tone;
using soundlib::WaveFile;
using soundtest::GetU16;
using soundtest::GetU32;
using soundtest::PutU16;
using soundtest::PutU32;
using soundtest::Sox;

// A decoder over bytes that outlive it.
class Decoder {
public:
    explicit Decoder(const std::string& bytes) : bytes_(bytes) {
        SetupStreamFunctions();
        memory_ = OpenMemoryStream(bytes_.data(), static_cast<int>(bytes_.size()));
        ReadStream stream;
        MakeMemoryReadStream(&stream, memory_);
        open = OpenSoundDecoder(&stream, &d);
    }
    ~Decoder() {
        if (d.isOpen) CloseSoundDecoder(&d);
        CloseMemoryStream(memory_);
    }
    // The whole sound as samples, or empty when DecodeWholeSound refuses.
    std::vector<int16_t> Whole() {
        WAVEFORMATEX f;
        void* pcm = nullptr;
        int size = 0;
        if (DecodeWholeSound(&d, &f, &pcm, &size) != 0) return {};
        std::vector<int16_t> out(static_cast<size_t>(size) / 2);
        std::memcpy(out.data(), pcm, out.size() * 2);
        FreeMemory(pcm);
        return out;
    }
    std::string Read(int bytes) {
        std::string out(static_cast<size_t>(bytes), '\0');
        const int got = ReadSoundDecoder(&d, out.data(), bytes);
        out.resize(got > 0 ? static_cast<size_t>(got) : 0);
        return out;
    }

    SoundDecoder d = {};
    int open = -1;

private:
    std::string bytes_;
    MemoryStream* memory_ = nullptr;
};

std::string Chunk(const char* id, const std::string& body) {
    std::string c = id;
    PutU32(c, static_cast<uint32_t>(body.size()));
    return c + body;
}

std::string Fmt(int tag, int channels, int rate, int avg, int align, int bits) {
    std::string f;
    PutU16(f, static_cast<uint16_t>(tag));
    PutU16(f, static_cast<uint16_t>(channels));
    PutU32(f, static_cast<uint32_t>(rate));
    PutU32(f, static_cast<uint32_t>(avg));
    PutU16(f, static_cast<uint16_t>(align));
    PutU16(f, static_cast<uint16_t>(bits));
    return f;
}

std::string Riff(const std::string& chunks) {
    std::string f = "RIFF";
    PutU32(f, static_cast<uint32_t>(4 + chunks.size()));
    return f + "WAVE" + chunks;
}

std::string Pattern(int bytes) {
    std::string s(static_cast<size_t>(bytes), '\0');
    for (int i = 0; i < bytes; i++) s[i] = static_cast<char>(i * 7 + i / 256);
    return s;
}

TEST(SoundDecoderTest, RiffWalk) {
    const std::string pcm = Pattern(4000);
    const std::string fmt16 = Fmt(1, 2, 22050, 88200, 4, 16);
    struct Case {
        const char* name;
        std::string file;
        int open;             // OpenSoundDecoder's result
        std::string whole;    // what DecodeWholeSound gives when it opens
        int bits = 16;
    };
    std::string cbSize;
    PutU16(cbSize, 0);
    const Case cases[] = {
        {"plain", Riff(Chunk("fmt ", fmt16) + Chunk("data", pcm)), 0, pcm},
        {"first chunk not fmt", Riff(Chunk("LIST", "abcd") + Chunk("fmt ", fmt16) + Chunk("data", pcm)), -1, ""},
        {"odd chunk and its pad", Riff(Chunk("fmt ", fmt16) + Chunk("junk", "xyz") + "p" + Chunk("data", pcm)), 0, pcm},
        // No bits in a 16-byte format: they follow from alignment and channels.
        {"16-byte fmt without bits", Riff(Chunk("fmt ", Fmt(1, 2, 22050, 88200, 4, 0)) + Chunk("data", pcm)), 0, pcm},
        {"18-byte fmt", Riff(Chunk("fmt ", fmt16 + cbSize) + Chunk("data", pcm)), 0, pcm},
        // 17 bytes hold no cbSize; nothing past them is read.
        {"17-byte fmt", Riff(Chunk("fmt ", fmt16 + "\x01") + Chunk("data", pcm)), 0, pcm},
        {"data larger than the file", Riff(Chunk("fmt ", fmt16)) + "data" + std::string("\x10\x27\0\0", 4) + pcm, 0, pcm},
        {"cut inside a frame", Riff(Chunk("fmt ", fmt16) + Chunk("data", pcm)).substr(0, 44 + 1003), 0,
         pcm.substr(0, 1000)},
        {"fmt of 8 bytes", Riff(Chunk("fmt ", fmt16.substr(0, 8)) + Chunk("data", pcm)), -1, ""},
        {"fmt past the file", Riff("fmt " + std::string("\x00\x01\0\0", 4) + fmt16 + Chunk("data", pcm)), -1, ""},
        {"fmt of 70000 bytes", Riff(Chunk("fmt ", fmt16 + std::string(70000 - 16, '\0')) + Chunk("data", pcm)), -1, ""},
        {"no channels", Riff(Chunk("fmt ", Fmt(1, 0, 22050, 88200, 4, 16)) + Chunk("data", pcm)), -1, ""},
        {"no alignment", Riff(Chunk("fmt ", Fmt(1, 2, 22050, 88200, 0, 16)) + Chunk("data", pcm)), -1, ""},
        {"no rate", Riff(Chunk("fmt ", Fmt(1, 2, 0, 88200, 4, 16)) + Chunk("data", pcm)), -1, ""},
        {"no byte rate", Riff(Chunk("fmt ", Fmt(1, 2, 22050, 0, 4, 16)) + Chunk("data", pcm)), -1, ""},
        {"24-bit", Riff(Chunk("fmt ", Fmt(1, 2, 22050, 132300, 6, 24)) + Chunk("data", pcm)), -1, ""},
        {"six channels", Riff(Chunk("fmt ", Fmt(1, 6, 22050, 264600, 12, 16)) + Chunk("data", pcm)), -1, ""},
        {"no data chunk", Riff(Chunk("fmt ", fmt16) + Chunk("junk", "abcd")), -1, ""},
        {"empty data", Riff(Chunk("fmt ", fmt16) + Chunk("data", "")), 0, ""},
        {"not RIFF", "RIFX" + Riff(Chunk("fmt ", fmt16)).substr(4), -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Decoder d(c.file);
        ASSERT_EQ(d.open, c.open);
        if (c.open != 0) continue;
        EXPECT_EQ(d.d.decoderKind, kSoundDecoderPcmWave);
        EXPECT_EQ(d.d.format.wBitsPerSample, c.bits);
        EXPECT_EQ(d.d.format.cbSize, 0);
        const std::vector<int16_t> whole = d.Whole();
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(whole.data()), whole.size() * 2), c.whole);
    }
}

TEST(SoundDecoderTest, BothWaveKindsRefuseAFirstChunkOtherThanFmt) {
    const std::string file = Riff(Chunk("LIST", "abcd") + Chunk("fmt ", Fmt(0x11, 1, 22050, 11100, 256, 4)) +
                                  Chunk("data", Pattern(512)));
    SetupStreamFunctions();
    for (auto open : {OpenPcmWaveDecoder, OpenAcmWaveDecoder}) {
        MemoryStream* memory = OpenMemoryStream(file.data(), static_cast<int>(file.size()));
        SoundDecoder d = {};
        MakeMemoryReadStream(&d.stream, memory);
        EXPECT_EQ(open(&d), -1);
        CloseMemoryStream(memory);
    }
}

struct HeaderCase {
    const char* name;
    uint8_t h[4];
    int result;
    int bytes, samples, channels;
};

TEST(SoundDecoderTest, Mp3FrameHeaders) {
    const HeaderCase cases[] = {
        {"no sync", {0x00, 0x00, 0x00, 0x00}, -2, 0, 0, 0},
        {"MPEG-2.5 is no sync here", {0xFF, 0xE3, 0x90, 0x00}, -2, 0, 0, 0},
        {"reserved layer", {0xFF, 0xF9, 0x90, 0x00}, -1, 0, 0, 0},
        {"bit-rate index 15", {0xFF, 0xFB, 0xF0, 0x00}, -1, 0, 0, 0},
        {"free format", {0xFF, 0xFB, 0x00, 0x00}, -1, 0, 0, 0},
        {"rate index 3", {0xFF, 0xFB, 0x9C, 0x00}, -1, 0, 0, 0},
        {"MPEG-2 III 160 kbit/s 24000 Hz", {0xFF, 0xF3, 0xE4, 0x00}, 0, 480, 576, 2},
        {"MPEG-1 III 128 kbit/s 44100 Hz padded", {0xFF, 0xFB, 0x92, 0x00}, 0, 418, 1152, 2},
        {"MPEG-1 I 384 kbit/s 48000 Hz", {0xFF, 0xFF, 0xC4, 0x00}, 0, 384, 384, 2},
        {"MPEG-1 II 192 kbit/s 32000 Hz", {0xFF, 0xFD, 0xA8, 0x40}, 0, 864, 1152, 2},
        {"single channel", {0xFF, 0xFB, 0x90, 0xC0}, 0, 417, 1152, 1},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        Mp3FrameHeader h = {};
        ASSERT_EQ(ParseMp3FrameHeader(c.h, &h), c.result);
        if (c.result != 0) continue;
        EXPECT_EQ(h.frameBytes, c.bytes);
        EXPECT_EQ(h.samplesPerFrame, c.samples);
        EXPECT_EQ(h.channels, c.channels);
    }
}

// Silent MPEG-1 layer III frames, 128 kbit/s at 44100 Hz: 417 bytes each.
std::string SilentFrames(int count) {
    std::string s;
    for (int i = 0; i < count; i++) s += std::string("\xFF\xFB\x90\x00", 4) + std::string(413, '\0');
    return s;
}

TEST(SoundDecoderTest, Mp3TagsAroundTheFrames) {
    // ID3v2.4 with a footer: 30 body bytes, then 10 footer bytes that would fail the scan
    // as a broken header if they were taken for audio.
    std::string tag = std::string("ID3\x04\x00\x10\x00\x00\x00\x1E", 10) + std::string(30, 'b') +
                      std::string("3DI\xFF\xFF\xFF\xFF\x00\x00\x00", 10);
    // ID3v1 at the end, holding what looks like another frame.
    std::string tail = "TAG" + std::string("\xFF\xFB\x90\x00", 4) + std::string(121, ' ');
    Decoder d(tag + SilentFrames(5) + tail);
    ASSERT_EQ(d.open, 0);
    EXPECT_EQ(d.d.decoderKind, kSoundDecoderAcm);
    EXPECT_EQ(d.d.dataPos, 50);
    EXPECT_EQ(d.d.dataSize, 5 * 417);
    EXPECT_EQ(d.d.kind.acm.sampleCount, 5 * 1152);
    EXPECT_EQ(d.Whole().size(), 5u * 1152 * 2);

    // The last frame cut short ends with the stream; a free-format frame fails the open.
    Decoder cut(SilentFrames(3).substr(0, 3 * 417 - 100));
    ASSERT_EQ(cut.open, 0);
    EXPECT_EQ(cut.d.dataSize, 3 * 417 - 100);
    EXPECT_EQ(Decoder(SilentFrames(2) + std::string("\xFF\xFB\x00\x00", 4) + std::string(500, '\0')).open, -1);
}

TEST(SoundDecoderTest, SoxMp3DecodesToOneKilohertzOverTheScannedLength) {
    qztest::TempDir dir;
    qztest::WriteWholeFile("tone.wav", WaveFile(Tone(1000, 44100, 44100 * 2, 2), 44100, 2));
    ASSERT_TRUE(Sox("tone.wav tone.mp3"));
    Decoder d(qztest::ReadWholeFile("tone.mp3"));
    ASSERT_EQ(d.open, 0);
    ASSERT_EQ(d.d.kind.acm.sampleCount % 1152, 0);
    const std::vector<int16_t> pcm = d.Whole();
    ASSERT_EQ(pcm.size(), static_cast<size_t>(d.d.kind.acm.sampleCount) * 2);
    const int from = d.d.kind.acm.sampleCount / 4;
    EXPECT_NEAR(soundtest::RisingCrossings(pcm, 2, from, from + 44100), 1000, 2);
}

// An ADPCM WAVE made by sox from a tone a whole number of blocks long.
struct Encoded {
    std::string file, data;
    std::vector<int16_t> tone;
    int align = 0, samplesPerBlock = 0;
};

Encoded EncodeWithSox(const char* encoding, int channels, int rate, int blocks) {
    Encoded e;
    qztest::WriteWholeFile("probe.wav", WaveFile(Tone(1000, rate, 100, channels), rate, channels));
    if (!Sox(std::string("probe.wav -e ") + encoding + " probe-out.wav")) return e;
    e.samplesPerBlock = GetU16(soundtest::Chunk(qztest::ReadWholeFile("probe-out.wav"), "fmt "), 18);
    e.tone = Tone(1000, rate, e.samplesPerBlock * blocks, channels, 20000.0);
    qztest::WriteWholeFile("tone.wav", WaveFile(e.tone, rate, channels));
    if (!Sox(std::string("tone.wav -e ") + encoding + " out.wav")) return e;
    e.file = qztest::ReadWholeFile("out.wav");
    e.data = soundtest::Chunk(e.file, "data");
    e.align = GetU16(soundtest::Chunk(e.file, "fmt "), 12);
    return e;
}

TEST(SoundDecoderTest, SoxAdpcmFilesDecodeWhole) {
    struct Case {
        const char* encoding;
        int channels, rate;
    };
    const Case cases[] = {{"ima-adpcm", 1, 22050}, {"ms-adpcm", 2, 44100}, {"ima-adpcm", 2, 48000}};
    for (const Case& c : cases) {
        const std::string name = std::string(c.encoding) + " " + std::to_string(c.rate);
        SCOPED_TRACE(name);
        qztest::TempDir dir;
        const Encoded e = EncodeWithSox(c.encoding, c.channels, c.rate, 10);
        ASSERT_FALSE(e.data.empty());
        Decoder d(e.file);
        ASSERT_EQ(d.open, 0);
        EXPECT_EQ(d.d.decoderKind, kSoundDecoderAcm);
        EXPECT_EQ(d.d.format.wBitsPerSample, 16);
        const std::vector<int16_t> pcm = d.Whole();
        ASSERT_EQ(pcm.size(), e.tone.size());
        const bool ima = std::string(c.encoding) == "ima-adpcm";
        for (int b = 0; b < 10; b++) {
            for (int ch = 0; ch < c.channels; ch++) {
                const size_t at = static_cast<size_t>(b) * e.align + (ima ? 4 * ch : 5 * c.channels + 2 * ch);
                ASSERT_EQ(pcm[static_cast<size_t>(b) * e.samplesPerBlock * c.channels + ch],
                          static_cast<int16_t>(GetU16(e.data, at)))
                    << "block " << b << " channel " << ch;
            }
        }
        EXPECT_GT(soundtest::SnrDb(e.tone, pcm), 25.0);
    }
}

// IMA ADPCM blocks of 4096 bytes, as a 96 kHz stereo file has them: larger than the
// usual feed of 2048 bytes, they still convert whole. The nibbles are arbitrary; the
// count and each block's header sample are what a decoder must give.
TEST(SoundDecoderTest, ImaBlocksLargerThanTheUsualFeedConvert) {
    const int align = 4096, channels = 2, blocks = 5;
    const int samplesPerBlock = (align - 4 * channels) * 2 / channels + 1;
    std::string extra;
    PutU16(extra, static_cast<uint16_t>(samplesPerBlock));
    std::string data;
    for (int b = 0; b < blocks; b++) {
        for (int ch = 0; ch < channels; ch++) {
            PutU16(data, static_cast<uint16_t>(1000 * b - 300 * ch));
            data += static_cast<char>(20 + b);  // step index
            data += '\0';
        }
        data += Pattern(align - 4 * channels).substr(0);
    }
    std::string fmt = Fmt(0x11, channels, 96000, 96000 * align / samplesPerBlock, align, 4);
    PutU16(fmt, static_cast<uint16_t>(extra.size()));
    Decoder d(Riff(Chunk("fmt ", fmt + extra) + Chunk("data", data)));
    ASSERT_EQ(d.open, 0);
    const std::vector<int16_t> pcm = d.Whole();
    ASSERT_EQ(pcm.size(), static_cast<size_t>(blocks) * samplesPerBlock * channels);
    for (int b = 0; b < blocks; b++)
        for (int ch = 0; ch < channels; ch++)
            EXPECT_EQ(pcm[static_cast<size_t>(b) * samplesPerBlock * channels + ch], 1000 * b - 300 * ch) << b;
}

TEST(SoundDecoderTest, AcmSeeksBackRepeatTheFirstPassAndShortSeeksDoNothing) {
    qztest::TempDir dir;
    const Encoded e = EncodeWithSox("ms-adpcm", 1, 22050, 40);
    Decoder d(e.file);
    ASSERT_EQ(d.open, 0);
    const std::string first = d.Read(1 << 20);
    ASSERT_EQ(first.size(), e.tone.size() * 2);
    ASSERT_GT(first.size(), 32000u);
    EXPECT_EQ(SeekSoundDecoder(&d.d, 5000), 0);  // backward: conversion starts again
    EXPECT_EQ(d.Read(20000), first.substr(10000, 20000));
    EXPECT_EQ(SeekSoundDecoder(&d.d, 0), 0);
    EXPECT_EQ(d.Read(1 << 20), first);
    // Within 15 bytes of where the output stands, a seek moves nothing.
    EXPECT_EQ(SeekSoundDecoder(&d.d, 0), 0);
    EXPECT_EQ(d.Read(3000), first.substr(0, 3000));
    EXPECT_EQ(SeekSoundDecoder(&d.d, 1493), 0);
    EXPECT_EQ(d.d.outputPos, 3000);
    EXPECT_EQ(d.Read(10), first.substr(3000, 10));
    // Forward, decoding on.
    EXPECT_EQ(SeekSoundDecoder(&d.d, 15000), 0);
    EXPECT_EQ(d.Read(100), first.substr(30000, 100));
}

TEST(SoundDecoderTest, OggOpensAsTheThirdKindAndMidiAsNone) {
    Decoder ogg(qztest::WriteOggVorbis(2, 44100, 30000));
    ASSERT_EQ(ogg.open, 0);
    EXPECT_EQ(ogg.d.decoderKind, kSoundDecoderOgg);
    EXPECT_EQ(ogg.Whole().size(), 30000u * 2);
    // Six channels: no buffer takes them.
    EXPECT_EQ(Decoder(qztest::WriteOggVorbis(6, 22050, 3000)).open, -1);
    EXPECT_EQ(Decoder(soundtest::MidiFile(1.0)).open, -1);
    EXPECT_EQ(Decoder("").open, -1);
}

TEST(SoundDecoderTest, AShortSourceAtItsEndSeeksBackToItsStart) {
    const std::string pcm = Pattern(8);
    Decoder d(Riff(Chunk("fmt ", Fmt(1, 1, 22050, 44100, 2, 16)) + Chunk("data", pcm)));
    ASSERT_EQ(d.open, 0);
    EXPECT_EQ(d.Read(100), pcm);
    EXPECT_EQ(d.Read(100), "");
    EXPECT_EQ(SeekSoundDecoder(&d.d, 0), 0);
    EXPECT_EQ(d.Read(100), pcm);
}

// Decoded whole, the data is delivered without the decoder reaching its end: a seek to 0
// must still go back, however close the end is to the start.
TEST(SoundDecoderTest, ASeekToTheStartAfterAWholeDecodeRewindsATinySource) {
    for (const int bytes : {2, 8, 14, 16, 40}) {
        SCOPED_TRACE(bytes);
        const std::string pcm = Pattern(bytes);
        Decoder d(Riff(Chunk("fmt ", Fmt(1, 1, 22050, 44100, 2, 16)) + Chunk("data", pcm)));
        ASSERT_EQ(d.open, 0);
        const std::vector<int16_t> whole = d.Whole();
        ASSERT_EQ(whole.size() * 2, pcm.size());
        EXPECT_EQ(SeekSoundDecoder(&d.d, 0), 0);
        EXPECT_EQ(d.Read(100), pcm);
    }
}

TEST(SoundDecoderTest, WaveImageBytes) {
    const WAVEFORMATEX f = Pcm(8000, 1, 8);
    void* image = nullptr;
    int size = 0;
    ASSERT_EQ(BuildWaveImage(&image, &size, &f, sizeof f, "abc", 3), 0);
    std::string want = "RIFF";
    PutU32(want, 3 + 28 + 18 - 8);
    want += "WAVEfmt ";
    PutU32(want, 18);
    want += std::string(reinterpret_cast<const char*>(&f), 18) + "data";
    PutU32(want, 3);
    want += "abc";
    EXPECT_EQ(std::string(static_cast<const char*>(image), static_cast<size_t>(size)), want);
    FreeMemory(image);
    // The image reads back as the same sound.
    Decoder back(want);
    ASSERT_EQ(back.open, 0);
    EXPECT_EQ(back.Read(10), "abc");
}

}  // namespace

}  // namespace QzSoundDecoder_test
