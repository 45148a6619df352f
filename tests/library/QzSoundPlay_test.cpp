// Whole sounds, heard on the null device: tones in and samples out through the mixer,
// volume, loops, overlapping copies, resuming, the number of copies and its faults, the
// table's limits, the single sound file and the path splitter.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "SoundFixture.h"
#include "QzWinMemory.h"

namespace QzSoundPlay_test {

namespace {

using namespace soundlib;

using SoundPlayTest = SoundTest;

TEST_F(SoundPlayTest, TonesInSamplesOut) {
    Start();
    // Output format: the test's tone exactly, bit for bit.
    const std::vector<int16_t> stereo = Tone(1000, 44100, 4410, 2);
    int h = Load(WaveFile(stereo, 44100, 2));
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    EXPECT_EQ(ptest::PullAudio(4410), stereo);
    EXPECT_TRUE(AllZero(ptest::PullAudio(100)));
    EXPECT_EQ(IsSoundHandlePlaying(h), 0);

    // Mono goes to both channels.
    const std::vector<int16_t> mono = Tone(440, 44100, 2000, 1);
    h = Load(WaveFile(mono, 44100, 1));
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    const std::vector<int16_t> out = ptest::PullAudio(2000);
    for (int i = 0; i < 2000; i++) {
        ASSERT_EQ(out[2 * i], mono[i]) << i;
        ASSERT_EQ(out[2 * i + 1], mono[i]) << i;
    }

    // 8-bit data is (b - 128) x 256.
    std::string bytes;
    for (int i = 0; i < 512; i++) bytes += static_cast<char>(i & 0xFF);
    h = Load(Wave8(bytes, 44100, 1));
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    const std::vector<int16_t> eight = ptest::PullAudio(512);
    for (int i = 0; i < 512; i++) ASSERT_EQ(eight[2 * i], ((i & 0xFF) - 128) * 256) << i;

    // A 22050 Hz tone is still 1 kHz, over twice the frames.
    h = Load(WaveFile(Tone(1000, 22050, 22050, 1), 22050, 1));
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    const std::vector<int16_t> slow = ptest::PullAudio(44100 + 100);
    EXPECT_NEAR(soundtest::RisingCrossings(slow, 2, 0, 44100), 1000, 1);
    EXPECT_TRUE(AllZero(std::vector<int16_t>(slow.begin() + 2 * 44100, slow.end())));
}

// What the general decode delivers for a file image: the reference a load must play.
std::vector<int16_t> DecodedWhole(const std::string& file) {
    MemoryStream* memory = OpenMemoryStream(file.data(), static_cast<int>(file.size()));
    ReadStream stream;
    MakeMemoryReadStream(&stream, memory);
    SoundDecoder decoder;
    WAVEFORMATEX format;
    void* pcm = nullptr;
    int size = 0;
    std::vector<int16_t> out;
    if (OpenSoundDecoder(&stream, &decoder) == 0) {
        if (DecodeWholeSound(&decoder, &format, &pcm, &size) == 0)
            out.assign(static_cast<const int16_t*>(pcm), static_cast<const int16_t*>(pcm) + size / 2);
        FreeMemory(pcm);
        CloseSoundDecoder(&decoder);
    }
    CloseMemoryStream(memory);
    return out;
}

TEST_F(SoundPlayTest, APcmWavePlaysWhatItsDecodeGivesWithoutKeepingTheImage) {
    Start();
    const std::string plain = WaveFile(Tone(700, 44100, 3001), 44100, 2);
    std::string overstated = plain;
    overstated[40] = '\x7F';  // the data chunk claims more than the file holds
    const struct {
        const char* name;
        std::string file;
    } cases[] = {
        {"plain", plain},
        {"data past the end", overstated},
        {"cut inside a frame", plain.substr(0, plain.size() - 3)},
        {"a chunk after the data", plain + "LIST" + std::string("\x04\0\0\0abcd", 8)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<int16_t> expected = DecodedWhole(c.file);
        ASSERT_FALSE(expected.empty());
        std::string image = c.file;
        const int blocks = LiveBlocks();
        const int h = Load(image, 2);
        ASSERT_NE(h, -1);
        // The buffer holds the samples and the record no second copy; the image may go.
        EXPECT_EQ(GetSoundData(h)->pcmData, nullptr);
        EXPECT_EQ(GetSoundData(h)->pcmSize, static_cast<int>(expected.size() * 2));
        EXPECT_EQ(LiveBlocks(), blocks + 1);  // the record
        image.assign(image.size(), '\x55');
        for (int copy = 0; copy < 2; copy++) {
            ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
            EXPECT_EQ(ptest::PullAudio(static_cast<int>(expected.size() / 2)), expected) << "copy " << copy;
            EXPECT_TRUE(AllZero(ptest::PullAudio(50)));
        }
        EXPECT_EQ(DeleteSoundData(h, 0), 0);
        EXPECT_EQ(LiveBlocks(), blocks);
    }
}

TEST_F(SoundPlayTest, VolumeScalesByTheDecibelsWithinOneStep) {
    Start();
    const std::vector<int16_t> tone = Tone(1000, 44100, 441, 2, 30000.0);
    const int h = Load(WaveFile(tone, 44100, 2));
    struct Case {
        int volume;
        double gain;  // 10^((volume - 10000) / 2000), clamped
    };
    for (const Case c : {Case{10000, 1.0}, Case{12000, 1.0}, Case{9000, std::pow(10.0, -0.5)},
                         Case{8500, std::pow(10.0, -0.75)}, Case{0, 0.0}, Case{-5, 0.0}}) {
        SCOPED_TRACE(c.volume);
        ASSERT_EQ(SetSoundHandleVolume(c.volume, h), 0);
        ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
        const std::vector<int16_t> out = ptest::PullAudio(441);
        for (size_t i = 0; i < out.size(); i++) {
            if (c.gain == 1.0 || c.gain == 0.0) {
                ASSERT_EQ(out[i], static_cast<int16_t>(tone[i] * c.gain)) << i;
            } else {
                ASSERT_NEAR(out[i], tone[i] * c.gain, 1.0) << i;
            }
        }
    }
}

TEST_F(SoundPlayTest, ALoopOfAQuarterSecondIsFourSeamlessCopiesInASecond) {
    Start();
    std::vector<int16_t> quarter(11025 * 2);
    for (size_t i = 0; i < quarter.size(); i++) quarter[i] = static_cast<int16_t>((i * 37) % 20000 - 10000);
    const int h = Load(WaveFile(quarter, 44100, 2));
    ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
    const std::vector<int16_t> out = ptest::PullAudio(44100);
    for (size_t i = 0; i < out.size(); i++) ASSERT_EQ(out[i], quarter[i % quarter.size()]) << i;
    EXPECT_EQ(IsSoundHandlePlaying(h), 1);
    EXPECT_EQ(StopSoundHandle(h), 0);
    EXPECT_TRUE(AllZero(ptest::PullAudio(441)));
}

TEST_F(SoundPlayTest, ThreeCopiesOverlapAndTheFourthPlayRestartsTheSecond) {
    Start();
    const int frames = 8820;  // 200 ms
    const std::vector<int16_t> tone = Tone(700, 44100, frames, 2, 8000.0);
    const int h = Load(WaveFile(tone, 44100, 2), 3);
    SoundData* sound = GetSoundData(h);
    ASSERT_EQ(sound->bufferCount, 3);
    std::vector<int> copies;
    std::vector<int16_t> out;
    for (int play = 0; play < 4; play++) {
        ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
        copies.push_back(sound->lastBuffer);
        const std::vector<int16_t> chunk = ptest::PullAudio(441);  // 10 ms
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(copies, (std::vector<int>{1, 2, 0, 1}));
    const std::vector<int16_t> rest = ptest::PullAudio(frames);
    out.insert(out.end(), rest.begin(), rest.end());
    // From 30 ms on: the tones started at 10, 20 and 30 ms (the one from 0 ms was restarted).
    auto at = [&](int start, int frame) -> int { return frame >= start && frame - start < frames ? tone[2 * (frame - start)] : 0; };
    for (int f = 1323; f < 1323 + frames; f++)
        ASSERT_EQ(out[2 * f], at(441, f) + at(882, f) + at(1323, f)) << "frame " << f;
}

TEST_F(SoundPlayTest, FromTopZeroLeavesAPlayingCopyAndResumesAStoppedOne) {
    Start();
    std::vector<int16_t> ramp(20000 * 2);
    for (size_t i = 0; i < ramp.size(); i++) ramp[i] = static_cast<int16_t>(i / 2 % 30000);
    const int h = Load(WaveFile(ramp, 44100, 2));
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    std::vector<int16_t> out = ptest::PullAudio(5000);
    ASSERT_EQ(PlaySoundHandle(h, 1, 0), 0);  // playing: nothing changes
    std::vector<int16_t> more = ptest::PullAudio(5000);
    out.insert(out.end(), more.begin(), more.end());
    ASSERT_EQ(StopSoundHandle(h), 0);
    EXPECT_TRUE(AllZero(ptest::PullAudio(3000)));
    ASSERT_EQ(PlaySoundHandle(h, 1, 0), 0);  // stopped: on from where it stopped
    more = ptest::PullAudio(10000);
    out.insert(out.end(), more.begin(), more.end());
    EXPECT_EQ(out, ramp);
}

TEST_F(SoundPlayTest, CopiesAndTheirFaults) {
    Start();
    const std::string wave = WaveFile(Tone(1000, 44100, 441), 44100, 2);
    qztest::WriteWholeFile("x.wav", wave);
    int h = LoadFileToSound("x.wav", 11);
    ASSERT_NE(h, -1);
    EXPECT_EQ(GetSoundData(h)->bufferCount, 10);
    EXPECT_EQ(Load(wave, 11), -1);
    EXPECT_EQ(Load(wave, 0), -1);
    EXPECT_EQ(LoadFileToSound("x.wav", 0), -1);
    EXPECT_EQ(LoadFileToSound("x.wav", -3), -1);

    // The second duplicate (the third copy) fails: two copies, and plays go round them.
    ptest::FailCall("DuplicateSoundBuffer", 2);
    h = Load(wave, 3);
    ASSERT_NE(h, -1);
    EXPECT_EQ(GetSoundData(h)->bufferCount, 2);
    PlaySoundHandle(h, 1, 1);
    PlaySoundHandle(h, 1, 1);
    EXPECT_EQ(GetSoundData(h)->lastBuffer, 0);
    StopSoundHandle(h);

    // A refused first request is made again without the focus and frequency controls.
    ptest::FailCall("CreateSoundBuffer:80E2");
    h = Load(wave, 2);
    ASSERT_NE(h, -1);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    EXPECT_EQ(ptest::PullAudio(441), Tone(1000, 44100, 441));
}

TEST_F(SoundPlayTest, BufferCreationRefusedTwiceEndsTheProcess) {
    Start();
    const std::string wave = WaveFile(Tone(1000, 44100, 441), 44100, 2);
    EXPECT_EXIT(
        {
            ptest::FailCall("CreateSoundBuffer:80E2");
            ptest::FailCall("CreateSoundBuffer:C2");
            Load(wave);
        },
        ::testing::ExitedWithCode(255), "");
    EXPECT_NE(Log().find("DirectSoundBuffer の作成に失敗しました\r\n"), std::string::npos);
}

TEST_F(SoundPlayTest, TheTableAndGivenHandles) {
    Start();
    // A free slot under its own handle: that slot, that check number.
    const int given = MakeHandle(kHandleKindSound, 40, 1234);
    EXPECT_EQ(AddSoundData(given), given);
    EXPECT_NE(GetSoundData(given), nullptr);
    EXPECT_EQ(GetSoundTable()->highWater, 41);
    // Other kinds and slots past the table name no slot of it.
    EXPECT_EQ(AddSoundData(MakeHandle(kHandleKindGraph, 1, 0)), -1);
    EXPECT_EQ(AddSoundData(static_cast<int>(0x10000000u | 5000u)), -1);
    EXPECT_EQ(AddSoundData(-7), -1);
    // A taken slot: a new slot by the rule, under a handle that names it.
    const int other = AddSoundData(given);
    ASSERT_NE(other, -1);
    EXPECT_NE(other, given);
    EXPECT_NE(GetSoundData(other), GetSoundData(given));

    // The full table.
    while (GetSoundTable()->count < kSoundTableSize) ASSERT_NE(AddSoundData(-1), -1);
    EXPECT_EQ(Load(WaveFile(Tone(1000, 44100, 441), 44100, 2)), -1);
    EXPECT_NE(Log().find("サウンドの数が許容量を越えました\r\n"), std::string::npos);
    EXPECT_EQ(DeleteAllSounds(0), 0);
    EXPECT_EQ(GetSoundTable()->count, 0);
    EXPECT_EQ(LiveBlocks(), 0);
}

TEST_F(SoundPlayTest, LoadsAndDeletesKeepNoMemory) {
    Start();
    const std::string wave = WaveFile(Tone(1000, 22050, 3000, 1), 22050, 1);
    for (int copies : {1, 3, 10}) {
        const int h = Load(wave, copies);
        ASSERT_NE(h, -1);
        EXPECT_EQ(DeleteSoundData(h, 0), 0);
        EXPECT_EQ(DeleteSoundData(h, 0), -1);
    }
    // Failed loads leave nothing either.
    EXPECT_EQ(Load("RIFF junk"), -1);
    EXPECT_EQ(LoadFileToSound("missing.wav", 1), -1);
    EXPECT_NE(Log().find("右記の音声ファイルのロードに失敗しました_1：missing.wav\r\n"), std::string::npos);
    EXPECT_EQ(LoadStream("RIFF junk"), -1);
    const int stream = LoadStream(wave);
    ASSERT_NE(stream, -1);
    EXPECT_EQ(DeleteSoundData(stream, 0), 0);
    EXPECT_EQ(LiveBlocks(), 0);
}

TEST_F(SoundPlayTest, TheSingleSoundFile) {
    Start();
    const std::vector<int16_t> tone = Tone(500, 44100, 2000);
    qztest::WriteWholeFile("one.wav", WaveFile(tone, 44100, 2));
    EXPECT_EQ(PlaySingleSoundFile("missing.wav", 1), -1);
    EXPECT_EQ(g_soundSystem.singleSoundHandle, -1);
    ASSERT_EQ(PlaySingleSoundFile("one.wav", 1), 0);
    const int first = g_soundSystem.singleSoundHandle;
    EXPECT_EQ(ptest::PullAudio(2000), tone);
    ASSERT_EQ(PlaySingleSoundFile("one.wav", 3), 0);  // the previous one goes
    EXPECT_EQ(IsSoundHandlePlaying(first), -1);
    EXPECT_EQ(ptest::PullAudio(4000), [&] {
        std::vector<int16_t> twice = tone;
        twice.insert(twice.end(), tone.begin(), tone.end());
        return twice;
    }());
    EXPECT_EQ(StopSingleSoundFile(), 0);
    EXPECT_TRUE(AllZero(ptest::PullAudio(100)));
    EXPECT_EQ(DeleteAllSounds(0), 0);
    EXPECT_EQ(g_soundSystem.singleSoundHandle, -1);
    EXPECT_EQ(StopSingleSoundFile(), 0);
}

TEST(SplitPathTest, AtTheLastSeparator) {
    struct Case {
        const char* path;
        const char* file;
        const char* dir;
    };
    const Case cases[] = {
        {"C:\\a\\b.wav", "b.wav", "C:\\a"},
        {"a/b/c", "c", "a/b"},
        {"C:x", "x", "C"},
        {"name", "name", ""},
        {"dir\\", "", "dir"},
        {"表\\x", "x", "表"},  // the second byte of the first character is 0x5C
        {"表", "表", ""},
    };
    for (const Case& c : cases) {
        char file[64], dir[64];
        EXPECT_EQ(SplitPathAndFileName(c.path, file, dir), 0);
        EXPECT_STREQ(file, c.file) << c.path;
        EXPECT_STREQ(dir, c.dir) << c.path;
    }
}

}  // namespace

}  // namespace QzSoundPlay_test
