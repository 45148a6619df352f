// The Audio Compression Manager: format suggestion, stream checks, and ADPCM and MP3
// files encoded by sox (independently of our decoders) from tones the tests wrote.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/acm.h"
#include "sound_support.h"

namespace acm_test {

using namespace soundtest;

namespace {

// Converts a whole source as the library does: spans of at most max(2048, block
// alignment) bytes into one second of PCM, until a conversion gives nothing.
std::vector<int16_t> DecodeAll(const std::string& format, const std::string& data, size_t* calls = nullptr) {
    std::string src = format;
    auto* wfx = reinterpret_cast<WAVEFORMATEX*>(src.data());
    WAVEFORMATEX pcm = {};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    EXPECT_EQ(acmFormatSuggest(nullptr, wfx, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG), 0u);
    HACMSTREAM stream = nullptr;
    EXPECT_EQ(acmStreamOpen(&stream, nullptr, wfx, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME), 0u);
    std::vector<int16_t> out;
    if (stream == nullptr) return out;
    std::vector<uint8_t> block(pcm.nAvgBytesPerSec);
    const uint32_t feed = std::max<uint32_t>(2048, wfx->nBlockAlign);
    size_t used = 0, n = 0;
    while (used < data.size()) {
        ACMSTREAMHEADER h = {};
        h.cbStruct = sizeof h;
        h.pbSrc = reinterpret_cast<LPBYTE>(const_cast<char*>(data.data())) + used;
        h.cbSrcLength = static_cast<DWORD>(std::min<size_t>(data.size() - used, feed));
        h.pbDst = block.data();
        h.cbDstLength = static_cast<DWORD>(block.size());
        EXPECT_EQ(acmStreamPrepareHeader(stream, &h, 0), 0u);
        EXPECT_EQ(acmStreamConvert(stream, &h, ACM_STREAMCONVERTF_BLOCKALIGN), 0u);
        EXPECT_EQ(acmStreamUnprepareHeader(stream, &h, 0), 0u);
        ++n;
        if (h.cbDstLengthUsed == 0) break;
        used += h.cbSrcLengthUsed;
        const auto* s = reinterpret_cast<const int16_t*>(block.data());
        out.insert(out.end(), s, s + h.cbDstLengthUsed / 2);
    }
    acmStreamClose(stream, 0);
    if (calls != nullptr) *calls = n;
    return out;
}

std::string Fmt(const WAVEFORMATEX& f, const std::string& extra = "") {
    WAVEFORMATEX g = f;
    g.cbSize = static_cast<WORD>(extra.size());
    return std::string(reinterpret_cast<const char*>(&g), sizeof g) + extra;
}

WAVEFORMATEX Adpcm(WORD tag, int channels, int rate, int align) {
    WAVEFORMATEX f = {};
    f.wFormatTag = tag;
    f.nChannels = static_cast<WORD>(channels);
    f.nSamplesPerSec = static_cast<DWORD>(rate);
    f.nAvgBytesPerSec = static_cast<DWORD>(rate);
    f.nBlockAlign = static_cast<WORD>(align);
    f.wBitsPerSample = 4;
    return f;
}

std::string U16(uint16_t v) {
    std::string s;
    PutU16(s, v);
    return s;
}

// The seven coefficient pairs every Microsoft ADPCM file carries.
std::string MsCoefficients(int pairs = 7) {
    const int16_t c[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
    std::string s;
    for (int i = 0; i < pairs; ++i) s += U16(static_cast<uint16_t>(c[i % 7][0])) + U16(static_cast<uint16_t>(c[i % 7][1]));
    return s;
}

TEST(AcmSuggest, SixteenBitPcmForTheThreeCompressedTagsOnly) {
    struct Case {
        WORD tag;
        int channels;
        MMRESULT result;
    };
    const Case cases[] = {
        {WAVE_FORMAT_IMA_ADPCM, 2, 0}, {WAVE_FORMAT_ADPCM, 1, 0},  {WAVE_FORMAT_MPEGLAYER3, 2, 0},
        {WAVE_FORMAT_PCM, 2, ACMERR_NOTPOSSIBLE}, {0x0050, 2, ACMERR_NOTPOSSIBLE},
        {WAVE_FORMAT_IMA_ADPCM, 0, ACMERR_NOTPOSSIBLE}, {WAVE_FORMAT_IMA_ADPCM, 3, ACMERR_NOTPOSSIBLE},
    };
    for (const Case& c : cases) {
        WAVEFORMATEX src = Adpcm(c.tag, c.channels, 32000, 512);
        WAVEFORMATEX dst = {};
        dst.wFormatTag = WAVE_FORMAT_PCM;
        EXPECT_EQ(acmFormatSuggest(nullptr, &src, &dst, sizeof dst, ACM_FORMATSUGGESTF_WFORMATTAG), c.result)
            << "tag " << c.tag << " channels " << c.channels;
        if (c.result != 0) continue;
        EXPECT_EQ(dst.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(dst.nChannels, c.channels);
        EXPECT_EQ(dst.nSamplesPerSec, 32000u);
        EXPECT_EQ(dst.wBitsPerSample, 16);
        EXPECT_EQ(dst.nBlockAlign, 2 * c.channels);
        EXPECT_EQ(dst.nAvgBytesPerSec, 32000u * 2 * c.channels);
        EXPECT_EQ(dst.cbSize, 0);
    }
}

TEST(AcmOpen, RefusesBadSourceFormats) {
    struct Case {
        const char* name;
        std::string format;
        MMRESULT result;
    };
    const Case cases[] = {
        {"IMA mono 256", Fmt(Adpcm(0x11, 1, 22050, 256), U16(505)), 0},
        {"IMA stereo 512", Fmt(Adpcm(0x11, 2, 22050, 512), U16(505)), 0},
        {"IMA too many samples", Fmt(Adpcm(0x11, 1, 22050, 256), U16(506)), ACMERR_NOTPOSSIBLE},
        {"IMA no samples field", Fmt(Adpcm(0x11, 1, 22050, 256)), ACMERR_NOTPOSSIBLE},
        {"IMA block under its header", Fmt(Adpcm(0x11, 2, 22050, 6), U16(1)), ACMERR_NOTPOSSIBLE},
        {"IMA 3 channels", Fmt(Adpcm(0x11, 3, 22050, 512), U16(505)), ACMERR_NOTPOSSIBLE},
        {"MS mono 256", Fmt(Adpcm(2, 1, 22050, 256), U16(500) + U16(7) + MsCoefficients()), 0},
        {"MS too many samples", Fmt(Adpcm(2, 1, 22050, 256), U16(501) + U16(7) + MsCoefficients()), ACMERR_NOTPOSSIBLE},
        {"MS no coefficients", Fmt(Adpcm(2, 1, 22050, 256), U16(500) + U16(0)), ACMERR_NOTPOSSIBLE},
        {"MS table past cbSize", Fmt(Adpcm(2, 1, 22050, 256), U16(500) + U16(7) + MsCoefficients(6)),
         ACMERR_NOTPOSSIBLE},
        {"MS 0 channels", Fmt(Adpcm(2, 0, 22050, 256), U16(500) + U16(7) + MsCoefficients()), ACMERR_NOTPOSSIBLE},
        {"MP3 without its 12 bytes", Fmt(Adpcm(0x55, 2, 44100, 1)), ACMERR_NOTPOSSIBLE},
    };
    for (const Case& c : cases) {
        std::string src = c.format;
        auto* wfx = reinterpret_cast<WAVEFORMATEX*>(src.data());
        WAVEFORMATEX pcm = Pcm(22050, wfx->nChannels, 16);
        HACMSTREAM stream = nullptr;
        EXPECT_EQ(acmStreamOpen(&stream, nullptr, wfx, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME), c.result)
            << c.name;
        if (stream != nullptr) {
            EXPECT_EQ(acmStreamClose(stream, 0), 0u);
        }
    }
    // The destination must be what the suggestion gives.
    std::string src = Fmt(Adpcm(0x11, 1, 22050, 256), U16(505));
    WAVEFORMATEX pcm = Pcm(44100, 1, 16);
    HACMSTREAM stream = nullptr;
    EXPECT_EQ(acmStreamOpen(&stream, nullptr, reinterpret_cast<WAVEFORMATEX*>(src.data()), &pcm, nullptr, 0, 0, 0),
              ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(acmStreamClose(reinterpret_cast<HACMSTREAM>(&pcm), 0), MMSYSERR_INVALHANDLE);
}

// An ADPCM WAVE made by sox from a tone we wrote, with the tone's length a whole number
// of blocks so that the file and the tone agree sample for sample.
struct Encoded {
    std::string format, data;
    std::vector<int16_t> tone;
    int channels = 0, align = 0, samplesPerBlock = 0;
};

Encoded EncodeWithSox(const char* encoding, int channels, int rate, int blocks) {
    Encoded e;
    // sox's block sizes: probe once with a short tone to learn samples per block.
    qztest::WriteWholeFile("probe.wav", WaveFile(Tone(1000, rate, 100, channels), rate, channels));
    if (!Sox(std::string("probe.wav -e ") + encoding + " probe-out.wav")) return e;
    std::string probe = qztest::ReadWholeFile("probe-out.wav");
    const int spb = GetU16(Chunk(probe, "fmt "), 18);
    e.tone = Tone(1000, rate, spb * blocks, channels, 20000.0);
    qztest::WriteWholeFile("tone.wav", WaveFile(e.tone, rate, channels));
    if (!Sox(std::string("tone.wav -e ") + encoding + " out.wav")) return e;
    const std::string file = qztest::ReadWholeFile("out.wav");
    e.format = Chunk(file, "fmt ");
    e.data = Chunk(file, "data");
    e.channels = channels;
    e.align = GetU16(e.format, 12);
    e.samplesPerBlock = spb;
    return e;
}

TEST(AcmAdpcm, SoxFilesDecodeToTheExactCountWithExactBlockHeaders) {
    struct Case {
        const char* encoding;
        int channels, rate;
    };
    const Case cases[] = {{"ima-adpcm", 1, 22050}, {"ima-adpcm", 2, 44100}, {"ms-adpcm", 1, 22050}, {"ms-adpcm", 2, 44100}};
    for (const Case& c : cases) {
        qztest::TempDir dir;
        const Encoded e = EncodeWithSox(c.encoding, c.channels, c.rate, 12);
        ASSERT_FALSE(e.data.empty()) << c.encoding;
        const std::string name = std::string(c.encoding) + " x" + std::to_string(c.channels);
        const int blocks = static_cast<int>(e.data.size()) / e.align;
        ASSERT_EQ(blocks, 12) << name;
        const std::vector<int16_t> pcm = DecodeAll(e.format, e.data);
        ASSERT_EQ(pcm.size(), static_cast<size_t>(blocks) * e.samplesPerBlock * c.channels) << name;

        // acmStreamSize agrees before any decoding.
        std::string src = e.format;
        WAVEFORMATEX dst = Pcm(c.rate, c.channels, 16);
        HACMSTREAM stream = nullptr;
        ASSERT_EQ(acmStreamOpen(&stream, nullptr, reinterpret_cast<WAVEFORMATEX*>(src.data()), &dst, nullptr, 0, 0, 0), 0u);
        DWORD size = 0;
        ASSERT_EQ(acmStreamSize(stream, static_cast<DWORD>(e.data.size()), &size, ACM_STREAMSIZEF_SOURCE), 0u);
        EXPECT_EQ(size, pcm.size() * 2) << name;
        acmStreamClose(stream, 0);

        // Each block's header samples come out as they stand in the block.
        const bool ima = std::string(c.encoding) == "ima-adpcm";
        for (int b = 0; b < blocks; ++b) {
            for (int ch = 0; ch < c.channels; ++ch) {
                const size_t at = static_cast<size_t>(b) * e.align;
                const int16_t first = static_cast<int16_t>(
                    GetU16(e.data, at + (ima ? 4 * ch : 5 * c.channels + 2 * ch)));
                ASSERT_EQ(pcm[(static_cast<size_t>(b) * e.samplesPerBlock) * c.channels + ch], first)
                    << name << " block " << b << " channel " << ch;
                if (!ima) {
                    const int16_t second = static_cast<int16_t>(GetU16(e.data, at + 3 * c.channels + 2 * ch));
                    ASSERT_EQ(pcm[(static_cast<size_t>(b) * e.samplesPerBlock + 1) * c.channels + ch], second)
                        << name << " block " << b;
                }
            }
        }
        // Reference decoders round differently, so the tone is held to a floor, not bytes.
        EXPECT_GT(SnrDb(e.tone, pcm), 25.0) << name;
    }
}

TEST(AcmAdpcm, ConvertsWholeBlocksOnly) {
    qztest::TempDir dir;
    const Encoded e = EncodeWithSox("ima-adpcm", 1, 22050, 4);
    ASSERT_FALSE(e.data.empty());
    std::string src = e.format;
    WAVEFORMATEX dst = Pcm(22050, 1, 16);
    HACMSTREAM stream = nullptr;
    ASSERT_EQ(acmStreamOpen(&stream, nullptr, reinterpret_cast<WAVEFORMATEX*>(src.data()), &dst, nullptr, 0, 0, 0), 0u);
    std::vector<uint8_t> out(100000);
    ACMSTREAMHEADER h = {};
    h.cbStruct = sizeof h;
    h.pbSrc = reinterpret_cast<LPBYTE>(const_cast<char*>(e.data.data()));
    h.pbDst = out.data();
    EXPECT_EQ(acmStreamConvert(stream, &h, ACM_STREAMCONVERTF_BLOCKALIGN), ACMERR_UNPREPARED);
    const uint32_t pcmPerBlock = static_cast<uint32_t>(e.samplesPerBlock) * 2;
    struct Span {
        uint32_t src, dst, usedSrc, usedDst;
    };
    const Span spans[] = {
        {static_cast<uint32_t>(e.align) * 2 + 5, 100000, static_cast<uint32_t>(e.align) * 2, pcmPerBlock * 2},
        {static_cast<uint32_t>(e.align) - 1, 100000, 0, 0},                             // a partial block
        {static_cast<uint32_t>(e.align) * 3, pcmPerBlock + 10, static_cast<uint32_t>(e.align), pcmPerBlock},
    };
    for (const Span& s : spans) {
        h.cbSrcLength = s.src;
        h.cbDstLength = s.dst;
        ASSERT_EQ(acmStreamPrepareHeader(stream, &h, 0), 0u);
        ASSERT_EQ(acmStreamConvert(stream, &h, ACM_STREAMCONVERTF_BLOCKALIGN), 0u);
        EXPECT_EQ(h.cbSrcLengthUsed, s.usedSrc) << s.src << " into " << s.dst;
        EXPECT_EQ(h.cbDstLengthUsed, s.usedDst) << s.src << " into " << s.dst;
        ASSERT_EQ(acmStreamUnprepareHeader(stream, &h, 0), 0u);
    }
    h.cbStruct = 84;  // the 32-bit layout's size is not ours
    EXPECT_EQ(acmStreamPrepareHeader(stream, &h, 0), MMSYSERR_INVALPARAM);
    acmStreamClose(stream, 0);
}

TEST(AcmAdpcm, HostileBlocksDecodeWithoutOverflow) {
    // Every byte 0xFF: IMA step index 255 and codes that always add; Microsoft ADPCM with
    // predictor 255 (past the table: silence) and with predictor 0 and a huge delta.
    std::string ima = Fmt(Adpcm(0x11, 2, 22050, 512), U16(505));
    const std::vector<int16_t> a = DecodeAll(ima, std::string(512 * 3, '\xFF'));
    EXPECT_EQ(a.size(), 3u * 505 * 2);
    std::string ms = Fmt(Adpcm(2, 1, 22050, 256), U16(500) + U16(7) + MsCoefficients());
    const std::vector<int16_t> b = DecodeAll(ms, std::string(256, '\xFF'));
    ASSERT_EQ(b.size(), 500u);
    for (int16_t s : b) ASSERT_EQ(s, 0);
    std::string block(256, '\x77');
    block[0] = 0;
    block[1] = '\xFF';
    block[2] = '\x7F';
    EXPECT_EQ(DecodeAll(ms, block).size(), 500u);
}

// ---- MP3 ---------------------------------------------------------------------------------------

struct Frames {
    size_t first = 0;  // offset of the first frame
    int count = 0;
    int samples = 0;   // per channel, all frames
    int channels = 0, rate = 0, firstBytes = 0;
};

// The frames of an MP3 by the standard's header rules, as a separate reading.
Frames ScanFrames(const std::string& f) {
    static const int kbps1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int kbps2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int rates1[] = {44100, 48000, 32000};
    static const int rates2[] = {22050, 24000, 16000};
    static const int rates25[] = {11025, 12000, 8000};
    Frames r;
    size_t at = 0;
    if (f.compare(0, 3, "ID3") == 0)
        at = 10 + ((f[6] & 0x7F) << 21 | (f[7] & 0x7F) << 14 | (f[8] & 0x7F) << 7 | (f[9] & 0x7F));
    bool firstSeen = false;
    while (at + 4 <= f.size()) {
        const auto h1 = static_cast<uint8_t>(f[at + 1]), h2 = static_cast<uint8_t>(f[at + 2]);
        // Layer III only, of MPEG-1, MPEG-2 or MPEG-2.5 (version bits 3, 2, 0).
        if (static_cast<uint8_t>(f[at]) != 0xFF || (h1 & 0xE6) != 0xE2 || (h1 & 0x18) == 0x08) {
            ++at;
            continue;
        }
        const bool mpeg1 = (h1 & 0x18) == 0x18;
        const int rate = (mpeg1 ? rates1 : (h1 & 0x18) == 0x10 ? rates2 : rates25)[(h2 >> 2) & 3];
        const int bytes = (mpeg1 ? 144 : 72) * (mpeg1 ? kbps1 : kbps2)[h2 >> 4] * 1000 / rate + ((h2 >> 1) & 1);
        if (!firstSeen) {
            r.first = at;
            r.channels = (static_cast<uint8_t>(f[at + 3]) >> 6) == 3 ? 1 : 2;
            r.rate = rate;
            r.firstBytes = bytes;
            firstSeen = true;
        }
        ++r.count;
        r.samples += mpeg1 ? 1152 : 576;
        at += static_cast<size_t>(bytes);
    }
    return r;
}

std::string Mp3Format(const Frames& fr) {
    MPEGLAYER3WAVEFORMAT m = {};
    m.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    m.wfx.nChannels = static_cast<WORD>(fr.channels);
    m.wfx.nSamplesPerSec = static_cast<DWORD>(fr.rate);
    m.wfx.nBlockAlign = 1;
    m.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    m.wID = MPEGLAYER3_ID_MPEG;
    m.nBlockSize = static_cast<WORD>(fr.firstBytes);
    m.nFramesPerBlock = 1;
    m.nCodecDelay = 700;
    return std::string(reinterpret_cast<const char*>(&m), sizeof m);
}

TEST(AcmMp3, SoxToneDecodesToOneKilohertzFrameForFrame) {
    struct Case {
        int rate, channels;
    };
    for (const Case c : {Case{44100, 2}, Case{22050, 1}}) {
        qztest::TempDir dir;
        qztest::WriteWholeFile("tone.wav", WaveFile(Tone(1000, c.rate, c.rate * 2, c.channels), c.rate, c.channels));
        ASSERT_TRUE(Sox("tone.wav tone.mp3"));
        const std::string file = qztest::ReadWholeFile("tone.mp3");
        const Frames fr = ScanFrames(file);
        ASSERT_GT(fr.count, 10) << c.rate;
        ASSERT_EQ(fr.channels, c.channels);
        const std::vector<int16_t> pcm = DecodeAll(Mp3Format(fr), file.substr(fr.first));
        ASSERT_EQ(pcm.size(), static_cast<size_t>(fr.samples) * c.channels) << c.rate;
        // One second from the middle holds a thousand cycles.
        const int from = fr.samples / 4;
        EXPECT_NEAR(RisingCrossings(pcm, c.channels, from, from + c.rate), 1000, 2) << c.rate;
    }
}

// MPEG-2.5, the rates below 16000 Hz: decoded whole, and sample for sample as the mpg123
// command line decodes the same file without gapless trimming, within one step (mpg123
// leaves out an info frame, which we decode as a silent frame).
TEST(AcmMp3, MpegTwoPointFiveRatesDecodeWholeAsMpg123Does) {
    for (const int rate : {8000, 11025, 12000}) {
        SCOPED_TRACE(rate);
        qztest::TempDir dir;
        qztest::WriteWholeFile("tone.wav", WaveFile(Tone(440, rate, rate * 3, 1), rate, 1));
        ASSERT_TRUE(Sox("tone.wav tone.mp3"));
        const std::string file = qztest::ReadWholeFile("tone.mp3");
        const Frames fr = ScanFrames(file);
        ASSERT_GT(fr.count, 10);
        ASSERT_EQ(fr.rate, rate);
        const std::string audio = file.substr(fr.first);
        const std::vector<int16_t> pcm = DecodeAll(Mp3Format(fr), audio);
        ASSERT_EQ(pcm.size(), static_cast<size_t>(fr.samples));
        ASSERT_EQ(std::system("mpg123 -q --no-gapless -w reference.wav tone.mp3 2>mpg123.err"), 0)
            << qztest::ReadWholeFile("mpg123.err");
        const std::vector<int16_t> reference = Samples(Chunk(qztest::ReadWholeFile("reference.wav"), "data"));
        const bool hasInfo = audio.find("Info") < static_cast<size_t>(fr.firstBytes) ||
                             audio.find("Xing") < static_cast<size_t>(fr.firstBytes);
        const size_t skip = hasInfo ? 576 : 0;
        ASSERT_EQ(pcm.size() - skip, reference.size());
        int worst = 0;
        for (size_t i = 0; i < reference.size(); ++i)
            worst = std::max(worst, std::abs(static_cast<int>(pcm[skip + i]) - reference[i]));
        EXPECT_LE(worst, 1);
    }
}

TEST(AcmMp3, InfoFrameIsSilentAndACutLastFrameStillCounts) {
    qztest::TempDir dir;
    qztest::WriteWholeFile("tone.wav", WaveFile(Tone(1000, 44100, 44100, 2), 44100, 2));
    ASSERT_TRUE(Sox("tone.wav tone.mp3"));
    std::string file = qztest::ReadWholeFile("tone.mp3");
    const Frames fr = ScanFrames(file);
    const std::string audio = file.substr(fr.first);
    const bool hasInfo = audio.find("Info") < static_cast<size_t>(fr.firstBytes) ||
                         audio.find("Xing") < static_cast<size_t>(fr.firstBytes);
    const std::vector<int16_t> pcm = DecodeAll(Mp3Format(fr), audio);
    ASSERT_EQ(pcm.size(), static_cast<size_t>(fr.samples) * 2);
    if (hasInfo) {
        for (int i = 0; i < 1152 * 2; ++i) ASSERT_EQ(pcm[i], 0) << "info frame sample " << i;
    }
    // Without its last 100 bytes the last frame is cut short: it still gives its samples.
    const std::vector<int16_t> cut = DecodeAll(Mp3Format(fr), audio.substr(0, audio.size() - 100));
    EXPECT_EQ(cut.size(), pcm.size());
}

TEST(AcmMp3, JunkAndTruncationNeverHang) {
    Frames fr;
    fr.channels = 2;
    fr.rate = 44100;
    fr.firstBytes = 418;
    const std::string format = Mp3Format(fr);
    EXPECT_TRUE(DecodeAll(format, std::string(5000, '\0')).empty());
    EXPECT_TRUE(DecodeAll(format, std::string(3, '\xFF')).empty());
    // A lone header whose frame runs past the data: one padded frame.
    std::string one("\xFF\xFB\x90\x00", 4);
    EXPECT_EQ(DecodeAll(format, one + std::string(50, '\0')).size(), 1152u * 2);
    // Headers everywhere, each claiming a frame: whatever decodes, it ends.
    std::string storm;
    for (int i = 0; i < 3000; ++i) storm += one;
    const std::vector<int16_t> s = DecodeAll(format, storm);
    EXPECT_EQ(s.size() % (1152 * 2), 0u);
}

}  // namespace

}  // namespace acm_test
