// Music with the real MIDI player and one-note songs, and the waits of play type 0. Mode
// 0 needs the library's window, which receives the end-of-song notice; mode 1 is polled
// and runs on the sound system alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CodecFixtures.h"
#include "LibraryFixture.h"
#include "QzWinWindow.h"
#include "SoundFixture.h"

namespace QzSoundMusic_test {

namespace {

using namespace soundlib;

bool AnySound(const std::vector<int16_t>& s) { return !AllZero(s); }

bool FileExists(const char* drivePath) {
    HANDLE file = CreateFileA(drivePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// ---- mode 0, with the library's window ---------------------------------------------------

class MusicWindowTest : public LibraryTest {
protected:
    virtual int Mode() const { return 0; }
    void SetUp() override {
        LibraryTest::SetUp();
        SetSoundSystemMode(Mode());
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        ptest::PullAudio(0);  // only the test's own pulls mix
    }
    int LoadSong(double seconds) {
        const std::string song = soundtest::MidiFile(seconds);
        return Locked([&] { return CreateMusicDataFromMemory(song.data(), static_cast<int>(song.size())); });
    }
    // Pulls in steps of 441 frames until the end-of-song notice waits for the window;
    // the frames pulled by then, or -1.
    static long PullUntilNotice(long limit) {
        for (long done = 0; done < limit;) {
            ptest::PullAudio(441);
            done += 441;
            MSG msg;
            if (PeekMessageA(&msg, GetMainWindowHwnd(), MM_MCINOTIFY, MM_MCINOTIFY, PM_NOREMOVE)) return done;
        }
        return -1;
    }
};

TEST_F(MusicWindowTest, ALoopingSongRestartsAtItsNoticeAndAStopEndsIt) {
    const int h = LoadSong(1.0);
    ASSERT_NE(h, -1);
    ASSERT_EQ(Locked([&] { return PlayMusicHandle(h, 3); }), 0);
    const std::string temp = g_soundSystem.mci.tempFileName;
    EXPECT_TRUE(FileExists(temp.c_str()));
    EXPECT_EQ(PullUntilNotice(44100 * 3), 44100 + 441);
    EXPECT_EQ(ApiProcessMessage(), 0);  // the window procedure restarts the song
    EXPECT_EQ(Locked([&] { return IsMusicHandlePlaying(h); }), 1);
    EXPECT_TRUE(AnySound(ptest::PullAudio(4410)));
    EXPECT_EQ(PullUntilNotice(44100 * 3), 44100 - 4410 + 441);

    ASSERT_EQ(Locked([&] { return StopMusicHandle(h); }), 0);
    EXPECT_EQ(Locked([&] { return IsMusicHandlePlaying(h); }), 0);
    EXPECT_FALSE(FileExists(temp.c_str()));
    EXPECT_TRUE(AllZero(ptest::PullAudio(44100 * 2)));
    EXPECT_EQ(PullUntilNotice(44100), -1);
}

// A song played once ends just as a looping song starts, so its end notice arrives after
// the new song opened: it names the old device, and the new song plays on to its own end
// instead of restarting.
TEST_F(MusicWindowTest, ALateNoticeOfThePreviousSongLeavesTheLoopingOneAlone) {
    const int once = LoadSong(0.5), loop = LoadSong(1.0);
    ASSERT_EQ(Locked([&] { return PlayMusicHandle(once, 1); }), 0);
    const MCIDEVICEID old = g_soundSystem.mci.mciDeviceId;
    ASSERT_EQ(Locked([&] { return PlayMusicHandle(loop, 3); }), 0);
    ASSERT_NE(g_soundSystem.mci.mciDeviceId, old);
    ptest::PullAudio(22050);
    PostMessageA(GetMainWindowHwnd(), MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(old));
    EXPECT_EQ(ApiProcessMessage(), 0);  // the old notice arrives
    EXPECT_EQ(Locked([&] { return IsMusicHandlePlaying(loop); }), 1);
    EXPECT_EQ(PullUntilNotice(44100 * 3), 22050 + 441) << "the looping song was restarted";
    ASSERT_EQ(Locked([&] { return StopMusicHandle(loop); }), 0);
}

TEST_F(MusicWindowTest, ASongPlayedOnceClosesAtItsEndAndItsFileLastsUntilTheNextPlay) {
    const int h = LoadSong(0.5);
    ASSERT_EQ(Locked([&] { return PlayMusicHandle(h, 1); }), 0);
    const std::string first = g_soundSystem.mci.tempFileName;
    EXPECT_NE(PullUntilNotice(44100 * 2), -1);
    EXPECT_EQ(ApiProcessMessage(), 0);
    EXPECT_EQ(Locked([&] { return IsMusicHandlePlaying(h); }), 0);
    EXPECT_TRUE(AllZero(ptest::PullAudio(44100)));
    EXPECT_TRUE(FileExists(first.c_str()));
    ASSERT_EQ(Locked([&] { return PlayMusicHandle(h, 1); }), 0);
    const std::string second = g_soundSystem.mci.tempFileName;
    EXPECT_FALSE(FileExists(first.c_str()));
    EXPECT_TRUE(FileExists(second.c_str()));
    ApiTerminateLibrary();
    EXPECT_FALSE(FileExists(second.c_str()));
}

TEST_F(MusicWindowTest, PlayAndWaitEndsWithTheSongOrTheSound) {
    ptest::SetAudioFramesPerPumpPass(441);
    const int h = LoadSong(0.3);
    ASSERT_EQ(Locked([&] { return PlayMusicHandle(h, 0); }), 0);
    EXPECT_EQ(Locked([&] { return IsMusicHandlePlaying(h); }), 0);
    EXPECT_EQ(g_soundSystem.mci.tempFileInUse, 0);
    EXPECT_FALSE(FileExists(g_soundSystem.mci.tempFileName));

    const std::vector<int16_t> tone = Tone(1000, 44100, 4410);
    const std::string wave = WaveFile(tone, 44100, 2);
    const int sound = Locked([&] { return CreateSoundDataFromMemory(wave.data(), static_cast<int>(wave.size()), 1); });
    // Under one lock, so the message thread's passes mix nothing in between.
    std::vector<int16_t> mixed;
    ASSERT_EQ(Locked([&] {
                  ptest::TakeMixedAudio();
                  const int result = PlaySoundHandle(sound, 0, 1);
                  mixed = ptest::TakeMixedAudio();
                  return result;
              }),
              0);
    EXPECT_EQ(Locked([&] { return IsSoundHandlePlaying(sound); }), 0);
    ASSERT_GE(mixed.size(), tone.size());
    EXPECT_EQ(std::vector<int16_t>(mixed.begin(), mixed.begin() + tone.size()), tone);
}

TEST_F(MusicWindowTest, PlayAndWaitEndsWhenTheWindowCloses) {
    // The device stands still: only the window's end can end the wait.
    const std::string wave = WaveFile(Tone(1000, 44100, 44100), 44100, 2);
    const int sound = Locked([&] { return CreateSoundDataFromMemory(wave.data(), static_cast<int>(wave.size()), 1); });
    ptest::InjectClose(GetMainWindowHwnd());
    EXPECT_EQ(Locked([&] { return PlaySoundHandle(sound, 0, 1); }), 0);
    EXPECT_EQ(Locked([&] { return IsSoundHandlePlaying(sound); }), 1);
}

TEST_F(MusicWindowTest, APortOtherThanTheMapperFailsThePlayAndTheFallBack) {
    qztest::WriteWholeFile("song.mid", soundtest::MidiFile(0.5));
    const int h = LoadSong(0.5);
    ptest::FailCall("MciSequencerPort");
    EXPECT_EQ(Locked([&] { return PlayMusicHandle(h, 1); }), -1);
    EXPECT_NE(Log().find("ＭＩＤＩ演奏開始処理でエラーが起きました２\r\n"), std::string::npos);
    EXPECT_EQ(Locked([&] { return IsMusicHandlePlaying(h); }), 0);
    ptest::FailCall("MciSequencerPort");
    EXPECT_EQ(Locked([] { return PlaySingleMusicFile("song.mid", 3); }), -1);
    EXPECT_EQ(g_soundSystem.singleMusicHandle, 0);
    EXPECT_EQ(g_soundSystem.createType, 0);
}

class MusicModeOneWindowTest : public MusicWindowTest {
protected:
    int Mode() const override { return 1; }
};

TEST_F(MusicModeOneWindowTest, ASegmentThatNeverStartsEndsItsWait) {
    const int h = LoadSong(0.5);
    ASSERT_NE(h, -1);
    ptest::FailCall("SegmentNeverStarts");
    EXPECT_EQ(Locked([&] { return PlayMusicHandle(h, 0); }), 0);
    EXPECT_EQ(Locked([&] { return IsMusicHandlePlaying(h); }), 0);
}

// ---- mode 1, polled -------------------------------------------------------------------------

class MusicTest : public SoundTest {
protected:
    int LoadSong(double seconds, int note = 69) {
        const std::string song = soundtest::MidiFile(seconds, note);
        return CreateMusicDataFromMemory(song.data(), static_cast<int>(song.size()));
    }
};

TEST_F(MusicTest, ModeOneCountsASongFromItsPlayToItsSeenEnd) {
    Start(1);
    const int h = LoadSong(1.0);
    ASSERT_NE(h, -1);
    ASSERT_EQ(PlayMusicHandle(h, 1), 0);
    EXPECT_EQ(IsMusicHandlePlaying(h), 1);  // before the performance has started it
    UpdateMusicPlayState();
    EXPECT_EQ(IsMusicHandlePlaying(h), 1);
    EXPECT_TRUE(AnySound(ptest::PullAudio(4410)));
    UpdateMusicPlayState();
    MusicData* m = static_cast<MusicData*>(GetHandleRecord(GetMusicTable(), h));
    EXPECT_EQ(m->hasStarted, 1);
    EXPECT_EQ(IsMusicHandlePlaying(h), 1);
    ptest::PullAudio(44100);
    UpdateMusicPlayState();
    EXPECT_EQ(IsMusicHandlePlaying(h), 0);
}

TEST_F(MusicTest, ModeOneLoopsWithoutEndAndStopsAtOnce) {
    Start(1);
    const int h = LoadSong(0.5);
    ASSERT_EQ(PlayMusicHandle(h, 3), 0);
    ptest::PullAudio(22050 * 3);
    EXPECT_TRUE(AnySound(ptest::PullAudio(4410)));
    UpdateMusicPlayState();
    EXPECT_EQ(IsMusicHandlePlaying(h), 1);
    ASSERT_EQ(StopMusicHandle(h), 0);
    EXPECT_EQ(IsMusicHandlePlaying(h), 0);
    EXPECT_TRUE(AllZero(ptest::PullAudio(4410)));
    // Another song replaces the playing one.
    const int other = LoadSong(2.0, 60);
    ASSERT_EQ(PlayMusicHandle(h, 3), 0);
    ptest::PullAudio(441);
    ASSERT_EQ(PlayMusicHandle(other, 1), 0);
    EXPECT_EQ(IsMusicHandlePlaying(h), 0);
    EXPECT_EQ(DeleteAllMusicData(), 0);
    EXPECT_EQ(LiveBlocks(), 0);
}

TEST_F(MusicTest, ModeOneFaultsOfThePlay) {
    Start(1);
    const int h = LoadSong(0.5);
    ptest::FailCall("PlaySegmentEx");
    EXPECT_EQ(PlayMusicHandle(h, 1), -1);
    EXPECT_EQ(IsMusicHandlePlaying(h), 0);

    ptest::FailCall("SegmentNeverStarts");
    ASSERT_EQ(PlayMusicHandle(h, 1), 0);
    ptest::PullAudio(4410);
    ptest::AdvanceFastClock(1999 * 1000);
    UpdateMusicPlayState();
    EXPECT_EQ(IsMusicHandlePlaying(h), 1);
    ptest::AdvanceFastClock(1000);
    UpdateMusicPlayState();
    EXPECT_EQ(IsMusicHandlePlaying(h), 0);

    // Only standard MIDI files make segments.
    const std::string wave = WaveFile(Tone(1000, 22050, 100), 22050, 2);
    EXPECT_EQ(CreateMusicDataFromMemory(wave.data(), static_cast<int>(wave.size())), -1);
    EXPECT_NE(Log().find("ミュージックデータから DirectMusicSegment8 を取得する処理が失敗しました\r\n"),
              std::string::npos);
}

TEST_F(MusicTest, AnOggSingleMusicFilePlaysAsAStreamInModeZeroOnly) {
    qztest::WriteWholeFile("music.ogg", qztest::WriteOggVorbis(2, 44100, 44100));
    Start(0);
    ASSERT_EQ(PlaySingleMusicFile("music.ogg", 3), 0);
    EXPECT_EQ(g_soundSystem.singleMusicIsSound, 1);
    EXPECT_EQ(g_soundSystem.createType, 0);
    EXPECT_EQ(IsSoundHandlePlaying(g_soundSystem.singleMusicHandle), 1);
    EXPECT_TRUE(AnySound(ptest::PullAudio(4410)));
    EXPECT_EQ(StopSingleMusicFile(), 0);
    EXPECT_EQ(g_soundSystem.singleMusicHandle, 0);
    EXPECT_TRUE(AllZero(ptest::PullAudio(4410)));

    ASSERT_EQ(SetSoundSystemMode(1), 0);
    EXPECT_EQ(PlaySingleMusicFile("music.ogg", 3), -1);
    EXPECT_EQ(g_soundSystem.singleMusicHandle, 0);
    EXPECT_EQ(PlaySingleMusicFile("missing.mid", 3), -1);
    EXPECT_NE(Log().find("ミュージックファイル missing.mid の読み込みに失敗しました in LoadMusicMem\r\n"),
              std::string::npos);
    // A MIDI file plays as music.
    qztest::WriteWholeFile("song.mid", soundtest::MidiFile(0.5));
    ASSERT_EQ(PlaySingleMusicFile("song.mid", 3), 0);
    EXPECT_EQ(g_soundSystem.singleMusicIsSound, 0);
    EXPECT_TRUE(AnySound(ptest::PullAudio(4410)));
    EXPECT_EQ(StopSingleMusicFile(), 0);
    EXPECT_EQ(LiveBlocks(), 0);
}

// What a person hears in a capture of this test (QZ_AUDIO_CAPTURE): a second of tone, an
// Ogg Vorbis loop for two seconds, then a one-note song.
TEST_F(MusicTest, AToneAnOggLoopAndASongInOneOutput) {
    Start(0);
    const int tone = Load(WaveFile(Tone(440, 44100, 44100, 2, 12000.0), 44100, 2));
    ASSERT_EQ(PlaySoundHandle(tone, 1, 1), 0);
    EXPECT_TRUE(AnySound(ptest::PullAudio(44100)));
    const int loop = LoadStream(qztest::WriteOggVorbis(2, 44100, 22050));
    ASSERT_EQ(PlaySoundHandle(loop, 3, 1), 0);
    for (int step = 0; step < 8; step++) {
        EXPECT_TRUE(AnySound(ptest::PullAudio(11025))) << step;
        RefillAllStreamSounds();
    }
    ASSERT_EQ(StopSoundHandle(loop), 0);
    const int song = LoadSong(1.5, 60);
    ASSERT_EQ(PlayMusicHandle(song, 1), 0);
    EXPECT_TRUE(AnySound(ptest::PullAudio(44100 * 3 / 2)));
    ptest::PullAudio(22050);
    EXPECT_EQ(StopMusicHandle(song), 0);
}

}  // namespace

}  // namespace QzSoundMusic_test
